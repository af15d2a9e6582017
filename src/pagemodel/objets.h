#pragma once
// The object table as the editors use it: one record of the table `kalmorin` per object number.
// The page uses records 0 to 15 (16 is its page-settings record); the jacket uses 0 to 31,
// 0-15 its front face and 16-31 its back face.
#include "editor/contexteediteur.h"
#include "pagemodel/fiche.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

#include <functional>

namespace kal {

class ModeleObjets {
public:
    explicit ModeleObjets(ContexteEditeur& ctx) : x_(ctx) {}

    // The face options of the jacket and the entry "Effacer page".
    void brancher();

    // Writes the current object's record from the editing controls. A work database whose
    // table lacks the field `cadre` gains it (champcadre) and the write is made again, once.
    void chargimp();
    // Adds the field `cadre` (16-bit integer) to the table of the database at `chemin`, binds
    // D_image to that file and gives every object record the value 0.
    void champcadre(const QString& chemin);

    // Resets every object record to a free, empty slot with its thumbnail position.
    void inittabimp();
    // Page: takes the 16 page objects off the display (the records stay as they are).
    void initobjets();
    // Page: positions of the two thumbnail columns, written into the records.
    void posminiat();
    // Jacket: the places of the thumbnails, the one rule of every road (reset, reopening).
    void posminiatjaq();
    // Marks every object record free, so that each run starts with an empty page; the
    // jacket's object controls take their record's thumbnail colour.
    void libererfiches();

    // Jacket: selects the face shown, counts its objects, makes the last one met current.
    void initphotoimp();
    // Jacket: the face options. `versAvant` true for the front (O_avant), false for the back.
    void changerface(bool versAvant);
    void O_avant_Click() { changerface(true); }
    void O_arriere_Click() { changerface(false); }
    // Jacket: pointing at an object's image on the face preview shows its label.
    void L_apjaq_MouseMove(int k, int bouton, int shift, double x, double y);

    // The frame box: the current object's frame stored at once and the object redrawn with or
    // without it, so that the preview shows it as it will print.
    void C_cadre_Click();
    // The frame box unticked by code, its click doing nothing (a new or rebuilt object takes
    // the frame of its record afterwards).
    void decocherCadre();
    // The whole-image box: a thin border on every object turned by other than a right angle.
    void C_image_Click();
    // Enables the whole-image box exactly while an occupied object of the page (jacket: of the
    // face shown) is turned by other than a right angle.
    void activerImageTotale();
    // 0, 90, 180, -90 and -180 degrees.
    static bool angleDroit(int rot);

    // Duplicating: a click on thumbnail k makes a new object from a copy of object k's
    // picture (copiephoto, with typeobjet already the kind of object k); pointing at a
    // thumbnail shows its object's label. brancherMiniature wires thumbnail n where it is made.
    void L_miniat_Click(int k);
    void L_miniat_MouseMove(int k, int bouton, int shift, double x, double y);
    void copiephoto(int k);
    void brancherMiniature(int n);

    // Object slots and creation. emplacement takes the lowest free slot (of the face shown on
    // the jacket) and makes it current; false when none was taken. chargementimage makes the
    // picture chosen in the open panel a new photo object with its work copies, or refuses at
    // 16 objects (or with no free record) before anything is touched.
    bool emplacement();
    // The same for a step that has written its files already: the page's display let go first,
    // and no slot taken raised as an error, for the step's way back.
    void prendreEmplacement();
    bool chargementimage(ControleImage& choisie, const QString& nomFichier);
    // What the way back after a failed creation needs of the editor as the step found it.
    struct AvantCreation {
        int32_t nbobjets = 0;                  // the count before the step
        int32_t objetcourant = 0;
        int16_t nbavant = 0, nbarriere = 0;    // jacket: the two faces' counts
        bool courantRange = false;             // the current object was stored: nomobjet is its label
    };
    AvantCreation avantCreation() const;
    // The first half of every creation, before anything of the page changes: the editor noted
    // in `avant`, the current object stored, then the new object's files written for the slot
    // emplacement will take, all or none, by `ecrire` (given that slot and the lot to write
    // them aside into). Gives the slot; a failure raises, the page, its records and its work
    // files as they were.
    int preparerNouvelObjet(AvantCreation& avant, const std::function<void(int, fs::Remplacement&)>& ecrire);
    // The second half of a creation whose files for slot `libre` are in place: `placer` takes the
    // slot and shows the object, all its record writes one transaction. On any failure the
    // records stay as they were, the slot's files go, the page is rebuilt as `avant` found it,
    // and the failure is passed on for the caller's message.
    void placerNouvelObjet(const AvantCreation& avant, int libre, const std::function<void()>& placer);
    // The way back of a creation that failed once its number `nouveau` was taken (-1 before):
    // the number free again and its work files gone, the counts as `avant` says, the page (or
    // face) rebuilt around the object that was current, or the lowest one left; false when the
    // page has none to rebuild. May raise itself, when the disk refuses even that.
    bool retablirApresEchec(const AvantCreation& avant, int nouveau);
    // The second half of a placement, shared by the open panel and the scanner: the picture
    // already in L_photo(objetcourant) of the slot emplacement took gets its three work copies
    // (unless `copiesFaites`: written for that slot already), is shown, recorded, and the page
    // (or face) is rebuilt around it with the edit state clear.
    void placerNouvellePhoto(bool copiesFaites = false);
    // A step that could not be done, said in the program's words under the step's title: what
    // was not done ("La photo x.jpg n'a pas été chargée") and why, the error's cause alone.
    static void messageEchec(const QString& titre, const QString& quoi, const Erreur& err);
    // The refusal at 16 objects: true (and the message shown) when the page or face is full,
    // or none of its records is free.
    bool refusPlein();
    // The current object stored before another becomes current, before a print and when the
    // jacket leaves a face: its box on the preview into tabobjets, its working copy made again
    // from the base and the sliders, its record (written for its own kind), work copies and
    // thumbnail, a text-image's text into texte<n>.svc; nomobjet and objetprecedent then name
    // it. False, and nothing done, when no occupied object of the page or face shown is current.
    bool garderObjetCourant();
    // Page: every occupied slot but the current one gets its display control again, and the
    // count is every occupied slot.
    void recreerControlesPage();
    // Page: slot k's display control made anew on the preview page, hidden, with its mouse.
    ControleImage& creerControlePage(int k);

    // Removal: one page object's display, emptied and hidden, the whole page or jacket.
    void unloadimage(int i);
    void supobjet(int i);
    void effacpage();
    // An object just given slot n whose creation failed (a text refused, a scan that did not
    // come): its record free again, its work files gone, nothing of it on show. The caller
    // puts back what it counted.
    void abandonnerObjet(int n);
    // The entry "Effacer page": the page or jacket without objects and without a name. Every
    // record is freed in one transaction first; when that fails nothing changes and the person
    // is told why.
    void effacerpage();
    // The focus going to or from the composer: cropping is for photos only, so a text-image
    // unticks and disables the crop box; a photo enables it and refreshes the format colour.
    void statustexte();

    // Rebuilding the objects from the table: the page, the jacket's face shown.
    void initpage();
    void initjaq();
    void reconstruire();

    // The thumbnail of object n, from the stamp of its photo<n>.svc.
    void creatminiat(int n);

    // Path of the work database in the current folder.
    static QString cheminBase();

private:
    ContexteEditeur& x_;
    // A face switch that failed puts its option back: that click does nothing.
    bool retourFace_ = false;
    void messagePlein();
    int premierLibre();
    void ecrireChamps(bd::JeuEnregistrements& jeu);
    void ecrirePolice(bd::JeuEnregistrements& jeu);
    // Page: where the thumbnail of object n stands (top, left in screen twips).
    void positionMiniature(bd::JeuEnregistrements& jeu, int n);
    // First number of the page, or of the jacket face shown.
    int debutFace() const;
    // n is an occupied object of the 16 numbers from `debut`.
    bool objetOccupe(int n, int debut);
    // The current object is an occupied object of the page or of the face shown.
    bool objetCourantSurLaFace();
    // The face being left keeps its current object as it was edited.
    void quitterFace();
    // The caption shows the label of the object pointed at, once per object.
    void legendeSurvol(int k);
};

}  // namespace kal
