#include "pagefiles/ouverture.h"

#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/controls/bip.h"

#include <QFileInfo>

namespace kal {

namespace {
// Designed geometry inside the frame, in twips.
constexpr int LargeurCadre = 9300, HauteurCadre = 4365;
constexpr int BoiteApercu = 2100, GaucheApercu = 7140, HautApercu = 570;
constexpr int NomsParEcran = 64;

const QStringList& formats(bool avecIcones)
{
    static const QStringList tous = {QStringLiteral("Format JPEG JPG"),      QStringLiteral("Format LeadTools CMP"),
                                     QStringLiteral("Format TARGA TGA"),     QStringLiteral("Format TIF"),
                                     QStringLiteral("Format Bitmap BMP"),    QStringLiteral("Format Zsoft PCX"),
                                     QStringLiteral("Format Windows Metafile WMF"), QStringLiteral("Format Icone ICO")};
    static const QStringList sansIcones = tous.mid(0, tous.size() - 1);
    return avecIcones ? tous : sansIcones;
}

// The name as the list shows it: cut before its first ".", in lower case.
QString nomAffiche(const QString& nomReel) { return nomReel.section(QLatin1Char('.'), 0, 0).toLower(); }
}  // namespace

PanneauOuverture::PanneauOuverture(QWidget* parent, ContextePanneau contexte, bool avecIcones, bool relisterSurChangement)
    : F_ouvrir(parent, QStringLiteral("CHARGER PHOTO")),
      R_lectouvrir(F_ouvrir.widget()),
      R_repouvrir(F_ouvrir.widget()),
      L_fichouvrir(F_ouvrir.widget()),
      A_fichouvrir(F_ouvrir.widget()),
      L_formouvrir(F_ouvrir.widget()),
      L_ouvfich(F_ouvrir.widget()),
      E_info(F_ouvrir.widget()),
      R_fichouvrir(F_ouvrir.widget()),
      B_annulouvfich(F_ouvrir.widget(), QStringLiteral("ANNULER")),
      x_(std::move(contexte)),
      avecIcones_(avecIcones),
      relisterSurChangement_(relisterSurChangement)
{
    F_ouvrir.placer(0, 0, LargeurCadre, HauteurCadre);
    // The panel stands over the preview and the face view: what lies under it must not show
    // through the parts its lists and buttons leave empty.
    F_ouvrir.boite()->setAutoFillBackground(true);
    R_lectouvrir.placer(0, 195, 2250, 315);
    R_repouvrir.placer(0, 510, 2250, 3465);
    L_fichouvrir.placer(2280, 195, 4860, 3150);
    A_fichouvrir.placer(2280, 3345, 4860, 255);
    L_formouvrir.placer(2250, 3600, 4860, 315);
    L_ouvfich.placer(GaucheApercu, HautApercu, BoiteApercu, BoiteApercu);
    E_info.placer(7140, 2670, 2100, 615);
    E_info.definirCouleurFond(0xC0FFFF);
    R_fichouvrir.placer(7200, 3480, 615, 285);
    R_fichouvrir.definirVisible(false);
    B_annulouvfich.placer(30, 3975, 9255, 375);
    A_fichouvrir.definirMin(0);
    A_fichouvrir.definirPetitPas(1);
    A_fichouvrir.definirGrandPas(4);
    F_ouvrir.definirVisible(false);

    L_fichouvrir.surDeplacementSouris = [this](int b, int m, int x, int y) { L_fichouvrir_MouseMove(b, m, x, y); };
    L_fichouvrir.surRelachementSouris = [this](int b, int m, int x, int y) { L_fichouvrir_MouseUp(b, m, x, y); };
    A_fichouvrir.surChangement = [this] { A_fichouvrir_Change(); };
    L_formouvrir.surClic = [this] { L_formouvrir_Click(); };
    L_formouvrir.surChangement = [this] { L_formouvrir_Change(); };
    R_lectouvrir.surChangement = [this] { R_lectouvrir_Change(); };
    R_repouvrir.surClic = [this] { R_repouvrir_Click(); };
    B_annulouvfich.surClic = [this] { B_annulouvfich_Click(); };
}

void PanneauOuverture::ouvrirphoto()
{
    try {
        R_repouvrir.rafraichir();
    } catch (const Erreur&) {
        // A folder gone since: the list stays as it was.
    }
    listage_ = true;   // filling the format list lists once, below
    L_formouvrir.vider();
    for (const QString& f : formats(avecIcones_))
        L_formouvrir.ajouter(f);
    L_formouvrir.definirIndex(0);
    listage_ = false;
    // The folder of the last load or cancel; the work folder at first, or when it has gone.
    try {
        R_repouvrir.definirChemin(repphoto.isEmpty() ? fs::dossierCourant() : repphoto);
    } catch (const Erreur&) {
        R_repouvrir.definirChemin(fs::dossierCourant());
    }
    try {
        R_fichouvrir.definirChemin(R_repouvrir.chemin());
    } catch (const Erreur&) {
        // The file list stays empty: it only shows what the folder holds.
    }
    try {
        R_lectouvrir.definirLecteur(R_repouvrir.chemin());
    } catch (const Erreur&) {
        // The drive list keeps its entry: it only shows where the folder lies.
    }
    lecteurouvrir = R_lectouvrir.lecteur();
    listefichouvrir();
    F_ouvrir.definirVisible(true);
    F_ouvrir.widget()->raise();
}

void PanneauOuverture::listefichouvrir()
{
    listage_ = true;
    L_ouvfich.vider();
    apercuLisible_ = false;
    raisonIllisible_.clear();
    nomsurvole.clear();   // nothing previewed any more: pointing at a name previews it again
    E_info.definirLegende(QString());
    L_fichouvrir.vider();
    try {
        R_fichouvrir.definirChemin(R_repouvrir.chemin());
        R_fichouvrir.definirMotif(QStringLiteral("*.") + extension());
    } catch (const Erreur&) {
        // An unreadable folder lists nothing.
    }
    const int n = R_fichouvrir.nombre();
    // Columns of 16 needed, less the four shown; the slider comes back within a shorter list.
    const int max = n < 65 ? 0 : (n % 16 == 0 ? n / 16 - 4 : n / 16 - 3);
    A_fichouvrir.definirMax(max);
    A_fichouvrir.definirVisible(n >= 65);
    premierNom_ = 16 * A_fichouvrir.valeur();
    for (int k = premierNom_; k < premierNom_ + NomsParEcran && k < n; ++k)
        L_fichouvrir.ajouter(nomAffiche(R_fichouvrir.entree(k)));
    listage_ = false;
}

void PanneauOuverture::infoouvrir()
{
    const int k = premierNom_ + L_fichouvrir.indexCourant();
    L_ouvfich.definirVisible(false);
    cheminfichier = R_repouvrir.chemin();
    if (!cheminfichier.endsWith(QLatin1Char('/')))
        cheminfichier += QLatin1Char('/');
    fichierouvrir = R_fichouvrir.cheminComplet(k);
    nomsurvole = L_fichouvrir.texte();
    if (R_fichouvrir.illisible(k)) {
        // No path reaches a name that is not UTF-8: the release on it says so.
        L_ouvfich.vider();
        apercuLisible_ = false;
        raisonIllisible_.clear();
        E_info.definirLegende(QStringLiteral("Nom illisible"));
        return;
    }
    try {
        L_ouvfich.lirefichier(fichierouvrir, 0, 0, 1);
    } catch (const Erreur& e) {
        // A file that cannot be read shows nothing and cannot be loaded; the release on it says why.
        L_ouvfich.vider();
        apercuLisible_ = false;
        raisonIllisible_ = e.description().isEmpty() ? QStringLiteral("ce n'est pas une image que le programme sait lire")
                                                     : e.description();
        E_info.definirLegende(QStringLiteral("Fichier illisible"));
        return;
    }
    apercuLisible_ = true;
    raisonIllisible_.clear();
    const double W = L_ouvfich.bitmap().largeur(), H = L_ouvfich.bitmap().hauteur();
    double l = BoiteApercu, h = BoiteApercu;
    if (H <= W)
        h = BoiteApercu * H / W;
    else
        l = BoiteApercu * W / H;
    L_ouvfich.placerReel(GaucheApercu + (BoiteApercu - l) / 2, HautApercu + (BoiteApercu - h) / 2, l, h);
    if (x_.partage)
        L_ouvfich.definirGammaaffichage(x_.partage->gamma);
    const QString genre = L_ouvfich.niveaugris() == 0 ? QStringLiteral("couleur") : QStringLiteral("monochrome");
    L_ouvfich.definirVisible(true);
    const QDateTime date = QFileInfo(fichierouvrir).lastModified();
    E_info.definirLegende(QStringLiteral("Photo ") + genre + QLatin1Char('\r') + QString::number(static_cast<int>(W)) +
                          QStringLiteral(" x ") + QString::number(static_cast<int>(H)) + QStringLiteral(" pixels") +
                          QLatin1Char('\r') + date.toString(QStringLiteral("dd/MM/yyyy")));
}

void PanneauOuverture::L_fichouvrir_MouseMove(int, int, int x, int y)
{
    const int k = L_fichouvrir.indexA(x, y);
    if (k < 0 || k > L_fichouvrir.nombre() - 1) {
        L_ouvfich.vider();
        apercuLisible_ = false;
        raisonIllisible_.clear();
        nomsurvole.clear();
        L_fichouvrir.definirIndex(-1);
        return;
    }
    const QString avant = fichierouvrir;
    const bool survoleAvant = !nomsurvole.isEmpty();
    L_fichouvrir.definirIndex(k);
    // Moving within one name reads its file once.
    if (!survoleAvant || R_fichouvrir.cheminComplet(premierNom_ + k) != avant || R_fichouvrir.illisible(premierNom_ + k))
        infoouvrir();
}

void PanneauOuverture::L_fichouvrir_MouseUp(int, int, int, int)
{
    if (!L_fichouvrir.texte().isEmpty() && R_fichouvrir.refuserIllisible(premierNom_ + L_fichouvrir.indexCourant()))
        return;
    if (!L_fichouvrir.texte().isEmpty() && !apercuLisible_ && !raisonIllisible_.isEmpty()) {
        bip();
        MsgBox(lignesMessage({QStringLiteral("Le fichier %1 ne peut pas être lu:").arg(fs::nomFinal(fichierouvrir)),
                              raisonIllisible_}),
               msg::OK + msg::Exclamation, QStringLiteral("FICHIER ILLISIBLE"));
        return;
    }
    if (L_fichouvrir.texte().isEmpty() || !apercuLisible_) {
        if (surNomAbsent) {
            surNomAbsent();
            return;
        }
        bip();
        MsgBox(QStringLiteral("Indiquer un nom de fichier"), msg::OK + msg::Exclamation,
               QStringLiteral("NOM DE FICHIER ABSENT"));
        return;
    }
    repphoto = R_fichouvrir.chemin();
    fermer();
    if (surChoix)
        surChoix(L_ouvfich, fichierouvrir);
    E_info.definirLegende(QString());
}

void PanneauOuverture::A_fichouvrir_Change()
{
    if (!listage_)
        listefichouvrir();
}

void PanneauOuverture::L_formouvrir_Click()
{
    if (!listage_)
        listefichouvrir();
}

void PanneauOuverture::L_formouvrir_Change()
{
    if (relisterSurChangement_ && !listage_)
        listefichouvrir();
}

void PanneauOuverture::R_lectouvrir_Change()
{
    if (retourLecteur_)
        return;
    try {
        R_repouvrir.definirChemin(R_lectouvrir.lecteur());
        lecteurouvrir = R_lectouvrir.lecteur();
        listefichouvrir();
    } catch (const Erreur&) {
        // A drive that is not ready: back to the last good one, without a message.
        retourLecteur_ = true;
        try {
            R_lectouvrir.definirLecteur(lecteurouvrir);
        } catch (const Erreur&) {
            // The last good drive has gone too: the lists stay where they are, and nothing is
            // loaded until the person chooses a file.
        }
        retourLecteur_ = false;
        try {
            R_repouvrir.definirChemin(lecteurouvrir);
        } catch (const Erreur&) {
            // Likewise: the folder list stays where it is.
        }
        listefichouvrir();
    }
}

void PanneauOuverture::R_repouvrir_Click()
{
    if (R_repouvrir.refuserIllisible(R_repouvrir.indexCourant()))
        return;
    const QString dossier = R_repouvrir.entree(R_repouvrir.indexCourant());
    if (dossier.isEmpty())
        return;
    A_fichouvrir.definirValeur(0);
    try {
        R_repouvrir.definirChemin(dossier);
    } catch (const Erreur&) {
        return;   // a folder that cannot be opened: the list stays where it was
    }
    listefichouvrir();
}

void PanneauOuverture::B_annulouvfich_Click()
{
    repphoto = R_fichouvrir.chemin();
    fermer();
    if (surAnnulation)
        surAnnulation();
}

void PanneauOuverture::fermer()
{
    try {
        if (!x_.dossierTravail.isEmpty())
            fs::changerDossier(x_.dossierTravail);
    } catch (const Erreur&) {
        // The panel never leaves the work folder: going back is a safeguard, and a work folder that
        // has gone is reported by the next procedure that writes there.
    }
    F_ouvrir.definirVisible(false);
}

}  // namespace kal
