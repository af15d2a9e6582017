#pragma once
// Personal pages and jackets: a page or jacket saved under a name as a folder of persopag,
// listed by the editor of its kind in the pages panel F_page, opened again as it was saved, and
// deleted on request; an old jacket of 16 slots is converted once to 32 when it is opened.
//
// A saved folder persopag/<name>/ holds exactly: kalmorin.mdb (the whole work database),
// photo<n>.jpg (the bytes of photo<n>.svc) for each occupied slot, texte<n>.rtf (the bytes of
// texte<n>.svc) for each text-image, and its marker: page.txt, empty, or jaquet.txt holding "ok".
//
// A name typed in the panel always stays inside persopag: anything but a plain folder name is
// refused before any change. A saved folder is written aside and put in place in one step, so
// that a save that fails leaves the old one whole; the work database is bound again whatever
// happens. The panel's procedures are one for both editors, with the jacket's differences as
// branches; sauvjaq, supjaq and ouvrirjaq are the jacket's names for them.
#include "editor/contexteediteur.h"
#include "platform/base/erreur.h"
#include "text/lignes.h"

#include <map>
#include <utility>
#include <vector>

namespace kal {

namespace perso {
struct Permutation;
}

class PagesPerso {
public:
    explicit PagesPerso(ContexteEditeur& ctx) : x_(ctx) {}

    // The entry "Pages" and the handlers of the panel's controls.
    void brancher();

    // --- Listing (pagesperso.cpp)
    // Fills L_kalmorin with the saved folders of this editor's kind, empties the name and
    // shows the panel in open mode.
    void listepage();
    // The folder name: the last part of the path, for the listing.
    void rechpage(const QString& chemin);

    // --- Saving and deleting (sauvegarde.cpp)
    // Saves the page (jacket: both faces) under the name of L_kalmorin; true when saved. A save
    // that completes runs what waited for it: the open of nomaouvrir, or the close.
    bool sauvpage();
    bool sauvjaq() { return sauvpage(); }
    // Deletes the saved folder named in L_kalmorin.
    void suppage();
    void supjaq() { suppage(); }

    // --- Opening (ouverturepage.cpp)
    // Replaces the page being edited by the saved one named in L_kalmorin, after offering to
    // save it first; true when it was opened. A saved page whose database or pictures are
    // damaged is refused with nothing changed; an open that fails before the screen is rebuilt
    // leaves the page shown as it was (records, work files, screen).
    bool ouvrirpage();
    bool ouvrirjaq() { return ouvrirpage(); }

    // --- Jacket upgrade (mise32.cpp)
    // Converts the jacket folder named in L_kalmorin from 16 slots to 32 when it is still in
    // the old layout; the work database is bound again. False (after a message) when the
    // conversion failed: the folder is then as it was.
    bool objet32();

    // --- A photo of a saved page (texteapporte.cpp)
    // The photo-open panel loaded `fichier` as the current object: when it is the photo<k>.jpg
    // of a saved page whose object k was a text-image, the new object becomes a text-image with
    // that page's texte<k>.rtf. The work database is bound again in every case.
    void texteApporte(const QString& fichier);

    // --- The panel's handlers
    void B_okouvrir_Click();
    void O_supp_Click();
    void B_annulsauv_Click();

    // True when the page (jacket: either face) holds no object.
    bool pageVide();
    // The close's save offer, answered Yes: the panel shown in save mode with no name, the
    // close to follow the save, and the save asked for (it asks for the name).
    void enregistrerAvantQuitter();
    // "Configurer imprimante" answered Yes (page editor): the panel shown in save mode, keeping
    // the name it holds, and the save asked for: it saves at once under that name (asking first
    // when that page exists), or asks for one. Neither the close nor an open waits for it.
    // True when the page was saved.
    bool enregistrerAvantConfig();

private:
    ContexteEditeur& x_;
    QString nomdossier_;   // the folder name rechpage found last

    QString dossierPerso() const;
    QString dossierPage(const QString& nom) const;
    // The name check: true when the name may be used; otherwise the refusal is shown.
    bool nomAccepte(const QString& nom);
    // The name of L_kalmorin emptied, whatever entry it showed.
    void viderNom();
    // D_image bound to the work database, the whole table as record source.
    void lierBaseTravail();
    // The panel hidden; the jacket's preview page shown again.
    void cacherPanneau();
    // The current object on the page, or on the face shown.
    bool objetCourantValide() const;

    // Save
    // Writes the saved folder aside and puts it in the place of `cible` (perso::permuter, whose
    // outcome `etat` receives); a failure names only paths the user knows.
    void ecrireDossier(const QString& cible, perso::Permutation& etat);
    void apresSauvegarde();
    // Open
    // Gives the editor's occupied objects of the saved page, in order.
    bool verifierPage(const QString& nom, const QString& dossier, std::vector<int>& occupes);
    // The renames that put an opened page in place, noted so that they can all be undone.
    class Permutations {
    public:
        // `source` takes the name `cible`; false, with nothing done, across disks.
        bool renommer(const QString& source, const QString& cible);
        // `base` is put back from its copy `gardee` by the undoing.
        void noterBase(const QString& gardee, const QString& base) { base_ = {gardee, base}; }
        // Everything undone, the last first; false when something could not be put back.
        bool defaire();

    private:
        std::vector<std::pair<QString, QString>> faits_;
        std::pair<QString, QString> base_;
    };
    // Every file the open writes, written into the hidden folder aCote before anything is reset.
    void preparerFichiers(const QString& dossier, const QString& aCote, const std::vector<int>& occupes);
    // The page shown's work files moved into aCote, the staged ones and the saved database
    // (work database kept as `gardee`) put in their places.
    void placerFichiers(const QString& aCote, const QString& gardee, const std::vector<int>& occupes, Permutations& permutations);
    // The page shown reset, its records written into `base`.
    void reinitialiserAvantOuverture(const QString& base);
    void ouvrirDossier(const QString& nom, const QString& dossier);
    void parametresPage();
    void copierObjets(const QString& dossier);
    // Objects of the opened page that did not come back whole, told once the open is done.
    void noterRetour(int n, bool texteImage, const QString& quoi);
    void signalerRetours();
    std::map<int, QString> retours_;
    void placerVignettesJaquette();
    void reconstruireOuverte();
    void echecOuverture(const QString& nom, const Erreur& err);
    // Jacket upgrade
    void convertir(const QString& dossier, const QString& fichierMarque, perso::Permutation& etat);
};

}  // namespace kal
