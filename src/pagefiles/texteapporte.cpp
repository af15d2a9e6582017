// A photo loaded through the photo-open panel from a saved page's folder, persopag/<page>/
// photo<k>.jpg, that was a text-image there: the new object becomes a text-image again, with the
// text of that page's texte<k>.rtf. Nothing else is taken for one: not a folder beside persopag
// ("persopagX"), not a file of another name, not a slot beyond the page's, not a page without its
// database or without that text. The saved page's database is read on its own data source: the
// editor's stays on the work database.
#include "pagefiles/pagesperso.h"

#include "imaging/fichierstravail.h"
#include "pagefiles/dossiersperso.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "text/textes.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace kal {

namespace {

struct PhotoSauvee {
    QString dossier;   // the saved page's folder
    int numero = -1;   // its slot
};

// The saved page and the slot of a photo<k>.jpg lying directly in a folder of persopag.
PhotoSauvee photoSauvee(const QString& fichier, const QString& dossierTravail)
{
    static const QRegularExpression nomPhoto(QStringLiteral("^photo(0|[1-9][0-9]?)\\.jpg$"));
    const QFileInfo info(fichier);
    const QRegularExpressionMatch m = nomPhoto.match(info.fileName());
    if (!m.hasMatch())
        return {};
    const QString page = QDir::cleanPath(info.absolutePath());
    const QString perso = QFileInfo(perso::dossierPerso(dossierTravail)).canonicalFilePath();
    const QString parent = QFileInfo(QFileInfo(page).absolutePath()).canonicalFilePath();
    if (perso.isEmpty() || parent != perso)
        return {};
    const perso::Contenu contenu = perso::examiner(page);
    if (!contenu.dossier || !contenu.base || !(contenu.page || contenu.jaquette))
        return {};
    const int k = m.captured(1).toInt();
    if (k >= (contenu.jaquette ? 32 : 16))
        return {};
    if (!fs::estFichier(fs::joindre(page, QStringLiteral("texte%1.rtf").arg(k))))
        return {};
    return {page, k};
}

}  // namespace

void PagesPerso::texteApporte(const QString& fichier)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const QString travail = e.repinitial.isEmpty() ? fs::dossierCourant() : e.repinitial;
    const PhotoSauvee source = photoSauvee(fichier, travail);
    const int n = e.objetcourant;
    if (source.numero >= 0 && n >= 0 && n < e.nbEmplacements()) {
        bool texteImage = false;
        try {
            bd::SourceDonnees sauvee;
            sauvee.definirBase(fs::joindre(source.dossier, nomBaseTravail()));
            Fiches fiches(sauvee);
            fiches.sourceTable();
            texteImage = fiches.lire(source.numero, champ::textimage).toBool();
        } catch (const Erreur&) {
            // A saved database that cannot be read: the photo stays a photo.
        }
        if (texteImage) {
            const QString typeAvant = e.typeobjet;
            try {
                // The text becomes the new object's text file, and its record says so.
                fs::copierFichier(fs::joindre(source.dossier, QStringLiteral("texte%1.rtf").arg(source.numero)),
                                  fichierTexte(n));
                e.typeobjet = QStringLiteral("textimage");
                lierBaseTravail();
                Fiches fiches = x_.fiches();
                fiches.sourceTable();
                fiches.modifier(n, [](bd::JeuEnregistrements& j) { j.mettre(champ::textimage, true); });
                x_.objets().chargimp();
                c.T_compos.chargertexte(fichierTexte(n), 0);
                // The composition panel sets its font and height; the page renders the picture
                // anew from the text, the jacket keeps the loaded picture.
                x_.textes().texteApporte();
            } catch (const Erreur& err) {
                // The text cannot come along: the object stays the photo it was loaded as, and
                // the person is told.
                ModeleObjets::messageEchec(QStringLiteral("CHARGEMENT D'IMAGE"),
                                           QStringLiteral("Le texte de la photo %1 n'a pas été repris, elle est chargée "
                                                          "comme photo")
                                               .arg(fs::nomFinal(fichier)),
                                           err);
                e.typeobjet = typeAvant;
                try {
                    lierBaseTravail();
                    Fiches fiches = x_.fiches();
                    fiches.sourceTable();
                    fiches.modifier(n, [](bd::JeuEnregistrements& j) { j.mettre(champ::textimage, false); });
                    fs::supprimerFichier(fichierTexte(n));
                } catch (const Erreur&) {
                    // The work database refuses the way back: the next procedure that reads it
                    // reports it, and a texte<n>.svc left behind goes with the work files at the
                    // close.
                }
            }
        }
    }
    lierBaseTravail();
}

}  // namespace kal
