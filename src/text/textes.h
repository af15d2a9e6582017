#pragma once
// Text objects as the editors use them: the composition panel F_compos (the rich-text box
// T_compos with its buttons POLICE and COULEUR FOND), the text-images rendered from it, the
// entries "Créer Texte-Image" and (page) "Charg Texte" with the RTF loading.
//
// The panel holds the text, the one font and the background colour of the current
// text-image: whenever a text-image is current the box holds its text. Every key release,
// font or colour change renders the whole text again into the object's picture and writes its
// four work files, texte<n>.svc (the box's RTF) among them.
#include "editor/contexteediteur.h"
#include "platform/dialogs/dialoguecommun.h"
#include "platform/richtext/police.h"
#include "text/lignes.h"

#include <functional>

namespace kal {

// A guard flag raised for the length of a scope and put back as it was, whatever ends the scope.
class Leve {
public:
    explicit Leve(bool& d) : d_(d), avant_(d) { d_ = true; }
    ~Leve() { d_ = avant_; }
    Leve(const Leve&) = delete;
    Leve& operator=(const Leve&) = delete;

private:
    bool& d_;
    bool avant_;
};

class Textes {
public:
    explicit Textes(ContexteEditeur& ctx) : x_(ctx) {}

    // The panel's buttons and box, and the entries "Créer Texte-Image" and "Charg Texte".
    void brancher();

    // --- The composition panel (composition.cpp)

    // Lays the panel out: page, from the text's height, growing upward from E_maximum; jacket,
    // filling the space under the preview page.
    void hauteurcompos();
    // The window's measuring font takes the selection's font.
    void fontfeuille();
    // Keeps the selection's font and the box's back colour; puts them back.
    void sauvpolice();
    void restitpolice();
    // The first character's font on the whole text; caret at the end, nothing selected.
    void totalpolice();
    // Caret at the end, the box shown and given the keyboard focus.
    void focustexte();
    // The font dialog (the chosen font on the whole text) and the background colour dialog,
    // each followed by a rendering. A cancelled dialog changes nothing.
    void police();
    void couleur();
    void B_police_Click() { police(); }
    void B_couleur_Click() { couleur(); }
    // After every key released in the box: the whole text takes the first character's font and
    // the text-image is rendered again.
    void T_compos_KeyUp();
    void T_compos_GotFocus();
    void T_compos_LostFocus();

    // The window's text measure in its measuring font (fontfeuille), in whole twips: the
    // widest line, and the height of all the lines.
    int largeurTexte(const QString& texte) const;
    int hauteurTexte(const QString& texte) const;
    const Police& policeFeuille() const { return policeFeuille_; }

    // --- Rendering (rendu.cpp)

    // Renders the box's text into the current object's picture, keeps the object's stored
    // height in proportion to its line count, writes its four work files and brings the
    // object up to date. The picture and the files are made before anything changes: a
    // failure raises and leaves the last rendering and its files as they were.
    void creattextimage();
    // The same for the controls outside the panel (the frame box): a failure reaches the
    // person as a message; false then.
    bool rendre();

    // --- Text-image objects (texteimage.cpp)

    // "Créer Texte-Image": a new text-image with an empty text in "MS Sans Serif" 24 points.
    bool creerTexteImage();
    // Makes the new text-image object from the box. `vider`: the box is emptied and given the
    // starting font once the object that was current is stored (never before the object
    // limit is checked); otherwise the caller stored the current object and loaded the box.
    // False when refused or failed: then nothing was created and the object that was current
    // stays with its record, files and text.
    bool chargtextimage(bool vider);
    // Jacket: the first character's font becomes the drawing font of the current object.
    void fonttextimage();
    // A duplicated text-image: the text of object k, with the font fields and background of
    // its record, becomes the text of the new object n (texte<n>.svc), its lines counted.
    void copietexte(int k, int n);
    // A photo taken from a saved page that was a text-image there: its text is in the box
    // and in texte<n>.svc. The page renders it anew; the jacket keeps the loaded picture.
    void texteApporte();

    // --- RTF loading (chargementrtf.cpp)

    // "Charg Texte" (page): an RTF file chosen by the person becomes a new text-image.
    bool chargerTexte();
    void ouvrirtexte();
    void chargementtexte(const QString& fichier);
    // Jacket: a saved jacket opened, the current text-image's text goes back into the box.
    void initimagetexte();

    // The common dialog U_dialog of the window.
    DialogueCommun U_dialog;

private:
    ContexteEditeur& x_;
    Police policeFeuille_;     // the window's own font, for measuring only
    Police policesauv_;        // policesauv and attributssauv
    int couleursauv_ = 0;
    int fondsauv_ = 0xFFFFFF;
    int posselection_ = 0;
    int formatsauv_ = 0;
    int largeurtxt_ = 0, hauteurtxt_ = 0;
    QString fichierchoisi_;
    bool pleinTexte_ = false;   // "Charg Texte" refused at the object limit
    bool annultexte_ = false;   // "Charg Texte" made nothing: cancelled, refused or failed
    // The page's background colour being rendered: the record is left for the next store.
    bool couleurencours_ = false;

    bool estTexteImage() const;
    // The current object is an object of the page (of the face shown) whose record says it is
    // a text-image; only then do the box's keys and buttons render anything.
    bool texteImageCourant();
    // Selection start put back, brought within the text.
    void remettreSelection(int debut);
    // Runs a step of the panel; a failure reaches the person as a message, never as a crash.
    bool proteger(const std::function<void()>& etape);
    // The kind of the current object back from its record, and (with `controles`) its
    // editing controls.
    void retablirCourant(bool controles);
    // The current text-image's text, font and background back in the box from its files (an
    // empty box when no text-image is current).
    void rechargerTexteCourant();
    // The record's font fields on the selection, its background on the box.
    void policeDeFiche(int n);
    // A creation that failed halfway: the number taken is freed and the page rebuilt.
    void abandonnerCreation(int nouveau, int courantAvant, int nbAvant);
    // Rendering: the work files written aside, then put in place together.
    void ecrireFichiersTexte(ControleImage& rendu, int n);
};

}  // namespace kal
