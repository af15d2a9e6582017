#include "pagefiles/enregistrement.h"

#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

#include <QPalette>

namespace kal {

namespace {
// Designed geometry inside the frame, in twips.
constexpr int LargeurCadre = 6810, HauteurCadre = 4200;
constexpr int BoiteApercu = 2490, GaucheApercu = 4320, HautApercu = 510;
constexpr int HauteurTexteNom = 300;

// A whole number through the pattern "###  ### ### ": its digits fill the nine digit places
// from the right, the places in front of the first digit print nothing, digits beyond the
// ninth go in front, and the pattern's blanks are always printed.
QString motifOctets(qint64 n)
{
    static const QString motif = QStringLiteral("###  ### ### ");
    const QString chiffres = n == 0 ? QString() : QString::number(n);
    int reste = static_cast<int>(chiffres.size());
    QString t;
    for (qsizetype i = motif.size() - 1; i >= 0; --i) {
        if (motif[i] != QLatin1Char('#'))
            t.prepend(motif[i]);
        else if (reste > 0)
            t.prepend(chiffres[--reste]);
    }
    return chiffres.left(reste) + t;
}

void fondSaisie(QWidget* w, int bgr)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, couleurDepuisRvb(bgr));
    w->setPalette(p);
}
}  // namespace

// --- the name box

BoiteNoms::BoiteNoms(QWidget* parent) : saisie(parent), liste(parent)
{
    saisie.surChangement = [this] {
        if (!choix_ && surChangement)
            surChangement();
    };
    liste.surClic = [this] {
        if (liste.indexCourant() < 0 || (refuserChoix && refuserChoix(liste.indexCourant())))
            return;
        choix_ = true;
        saisie.definirTexte(liste.texte());
        choix_ = false;
    };
}

void BoiteNoms::placer(int gauche, int haut, int largeur, int hauteur)
{
    saisie.placer(gauche, haut, largeur, HauteurTexteNom);
    liste.placer(gauche, haut + HauteurTexteNom, largeur, hauteur - HauteurTexteNom);
}

void BoiteNoms::definirCouleurFond(int bgr)
{
    fondSaisie(saisie.widget(), bgr);
    fondSaisie(liste.widget(), bgr);
}

// --- the panel

const QStringList& PanneauEnregistrement::formats()
{
    static const QStringList f = {QStringLiteral("Format JPEG JPG"),   QStringLiteral("Format LeadTools CMP"),
                                  QStringLiteral("Format TARGA TGA"),  QStringLiteral("Format TIF"),
                                  QStringLiteral("Format Bitmap BMP"), QStringLiteral("Format Zsoft PCX"),
                                  QStringLiteral("Format Windows Metafile WMF")};
    return f;
}

PanneauEnregistrement::PanneauEnregistrement(QWidget* parent, ContextePanneau contexte)
    : F_enreg(parent, QStringLiteral("ENREGISTRER SOUS")),
      R_lecteur(F_enreg.widget()),
      R_repertoire(F_enreg.widget()),
      L_fichier(F_enreg.widget()),
      E_qualite(F_enreg.widget()),
      E_compression(F_enreg.widget()),
      A_compress(F_enreg.widget()),
      B_okcompress(F_enreg.widget(), QStringLiteral("COMPRESSER")),
      B_okenreg(F_enreg.widget(), QStringLiteral("ENREGISTRER")),
      B_quitter(F_enreg.widget(), QStringLiteral("QUITTER")),
      L_formenreg(F_enreg.widget()),
      L_enreg(F_enreg.widget()),
      E_infenreg(F_enreg.widget()),
      R_fichier(F_enreg.widget()),
      x_(std::move(contexte))
{
    F_enreg.placer(0, 0, LargeurCadre, HauteurCadre);
    QPalette fond = F_enreg.boite()->palette();
    fond.setColor(QPalette::Window, couleurDepuisRvb(0xC0C0C0));
    F_enreg.boite()->setPalette(fond);
    F_enreg.boite()->setAutoFillBackground(true);

    R_lecteur.placer(20, 195, 2160, 315);
    R_repertoire.placer(0, 510, 2160, 3690);
    L_fichier.placer(2160, 195, 2160, 2520);
    L_fichier.definirCouleurFond(0xC0E0FF);
    E_qualite.placer(2160, 2715, 660, 225);
    E_qualite.definirLegende(QStringLiteral("Qualite:"));
    E_qualite.definirCouleurFond(0xFFFFC0);
    E_compression.placer(2820, 2715, 1500, 225);
    E_compression.definirCouleurFond(0xC0FFFF);
    A_compress.placer(2160, 2940, 2160, 240);
    // The quality keeps its value from one opening to the next: nothing resets it.
    A_compress.definirMin(2);
    A_compress.definirMax(255);
    A_compress.definirGrandPas(10);
    A_compress.definirValeur(2);
    B_okcompress.placer(2160, 3180, 2160, 345);
    B_okenreg.placer(2160, 3510, 2160, 345);
    B_quitter.placer(2160, 3855, 2160, 345);
    L_formenreg.placer(4320, 195, 2490, 315);
    L_enreg.placer(GaucheApercu, HautApercu, BoiteApercu, 3090);
    E_infenreg.placer(4320, 3600, 2490, 600);
    E_infenreg.definirCouleurFond(0xC0FFFF);
    R_fichier.placer(5760, 3720, 615, 285);
    R_fichier.definirVisible(false);
    F_enreg.definirVisible(false);

    L_fichier.surChangement = [this] { L_fichier_Change(); };
    // A name that is not UTF-8 cannot be written over: picking it says so.
    L_fichier.refuserChoix = [this](int i) { return R_fichier.refuserIllisible(i); };
    L_formenreg.surClic = [this] { L_formenreg_Click(); };
    R_lecteur.surChangement = [this] { R_lecteur_Change(); };
    R_repertoire.surClic = [this] { R_repertoire_Click(); };
    B_quitter.surClic = [this] { B_quitter_Click(); };
    A_compress.surChangement = [this] {
        if (surQualite)
            surQualite();
    };
    A_compress.surDefilement = [this] {
        if (surDefilementQualite)
            surDefilementQualite();
    };
    B_okcompress.surClic = [this] {
        if (surCompresser)
            surCompresser();
    };
    B_okenreg.surClic = [this] {
        if (surEnregistrer)
            surEnregistrer();
    };
}

void PanneauEnregistrement::infoenreg(const ControleImage& photo)
{
    L_enreg.definirVisible(false);
    L_enreg.definirBitmap(photo.bitmap());
    const double W = L_enreg.bitmap().largeur(), H = L_enreg.bitmap().hauteur();
    double l = BoiteApercu, h = BoiteApercu;
    if (H <= W)
        h = BoiteApercu * H / W;
    else
        l = BoiteApercu * W / H;
    L_enreg.placerReel(GaucheApercu + (BoiteApercu - l) / 2, HautApercu + (BoiteApercu - h) / 2, l, h);
    if (x_.partage)
        L_enreg.definirGammaaffichage(x_.partage->gamma);
    const QString genre = L_enreg.niveaugris() == 0 ? QStringLiteral("couleur") : QStringLiteral("monochrome");
    // The size of the picture held, not of any file.
    E_infenreg.definirLegende(QStringLiteral("Photo ") + genre + QLatin1Char('\r') + QString::number(static_cast<int>(W)) +
                              QStringLiteral(" x ") + QString::number(static_cast<int>(H)) + QStringLiteral(" pixels") +
                              QLatin1Char('\r') + motifOctets(photo.tailleimage()) + QStringLiteral(" octets"));
    L_enreg.definirVisible(true);
}

void PanneauEnregistrement::ouvrir()
{
    try {
        R_repertoire.rafraichir();
    } catch (const Erreur&) {
        // The folder of the last opening has gone: the work folder instead.
        try {
            R_repertoire.definirChemin(fs::dossierCourant());
        } catch (const Erreur&) {
            // Not even the work folder can be listed: the lists stay empty and nothing is written
            // until the person chooses a folder.
        }
    }
    try {
        R_fichier.definirChemin(R_repertoire.chemin());
    } catch (const Erreur&) {
        // The file list stays empty: it only shows what the folder holds.
    }
    try {
        R_lecteur.definirLecteur(R_repertoire.chemin());
    } catch (const Erreur&) {
        // The drive list keeps its entry: it only shows where the folder lies.
    }
    lecteurenreg = R_lecteur.lecteur();
    L_formenreg.vider();
    for (const QString& f : formats())
        L_formenreg.ajouter(f);
    L_formenreg.definirIndex(0);
    F_enreg.definirVisible(true);
    F_enreg.widget()->raise();
}

void PanneauEnregistrement::listefichier()
{
    L_fichier.viderListe();
    try {
        R_fichier.definirChemin(R_repertoire.chemin());
        R_fichier.definirMotif(QStringLiteral("*.") + extension());
    } catch (const Erreur&) {
        return;   // a folder that cannot be read lists nothing
    }
    for (int i = 0; i < R_fichier.nombre(); ++i)
        L_fichier.ajouter(R_fichier.entree(i).section(QLatin1Char('.'), 0, 0));
}

void PanneauEnregistrement::fermer()
{
    F_enreg.definirVisible(false);
    if (surFermeture)
        surFermeture();
}

void PanneauEnregistrement::L_fichier_Change()
{
    if (L_fichier.texte().isEmpty() || !surCompression)
        return;
    // A compressed format asks for its preview before the save.
    if (formatCompresse(position()))
        surCompression(true, false);
    else
        surCompression(false, true);
}

void PanneauEnregistrement::L_formenreg_Click()
{
    if (surCompression)
        surCompression(false, !formatCompresse(position()));
}

void PanneauEnregistrement::R_lecteur_Change()
{
    if (retourLecteur_)
        return;
    try {
        R_repertoire.definirChemin(R_lecteur.lecteur());
        lecteurenreg = R_lecteur.lecteur();
    } catch (const Erreur&) {
        // A drive that is not ready: back to the last good one, without a message.
        retourLecteur_ = true;
        try {
            R_lecteur.definirLecteur(lecteurenreg);
        } catch (const Erreur&) {
            // The last good drive has gone too: the lists stay where they are, and nothing is
            // written until the person chooses a folder.
        }
        retourLecteur_ = false;
        try {
            R_repertoire.definirChemin(lecteurenreg);
        } catch (const Erreur&) {
            // Likewise: the folder list stays where it is.
        }
    }
    listefichier();
}

void PanneauEnregistrement::R_repertoire_Click()
{
    if (R_repertoire.refuserIllisible(R_repertoire.indexCourant()))
        return;
    const QString dossier = R_repertoire.entree(R_repertoire.indexCourant());
    if (dossier.isEmpty())
        return;
    try {
        R_repertoire.definirChemin(dossier);
    } catch (const Erreur&) {
        return;   // a folder that cannot be opened: the list stays where it was
    }
    listefichier();
}

void PanneauEnregistrement::B_quitter_Click()
{
    try {
        if (!x_.dossierTravail.isEmpty())
            fs::changerDossier(x_.dossierTravail);
    } catch (const Erreur&) {
        // The panel never leaves the work folder: going back is a safeguard, and a work folder that
        // has gone is reported by the next procedure that writes there.
    }
    fermer();
}

}  // namespace kal
