#pragma once
// Photo imaging as the editors use it: the entries of the function list that work on the
// current photo, and the display settings of the editor's imaging controls.
#include "editor/contexteediteur.h"
#include "imaging/chainereglages.h"
#include "imaging/copiesconnues.h"
#include "imaging/fichierstravail.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"

namespace kal {

// Writes the control's picture as a work copy (JPEG, quality factor 20) with its stamp: the
// picture again, 145 pixels on its longer side, which the thumbnail is read from.
void ecrireAvecVignette(ControleImage& c, const QString& chemin);

class Imagerie {
public:
    explicit Imagerie(ContexteEditeur& ctx) : x_(ctx) {}

    // The entries "Redimensionner" and "Enregistrer sous".
    void brancher();

    // The shared display gamma on every picture the editor shows of its objects (thumbnails;
    // on the jacket also the objects, the face previews and the face outlines), shown with
    // display option 1.
    void gammaaffichage();
    // Jacket: its object controls draw in black.
    void preparerdessin();

    // The adjustment set: which slider is being edited, the reset key on the reset button,
    // the sliders back to neutral, the current object's adjustments zeroed.
    void changeflag(bool contraste, bool couleur, bool intensite, bool nettete, bool saturation, bool sixieme);
    void changeinit(bool annulangle, const QString& code);
    void initzero();
    void inittabreg();
    // The adjustment values of every slot zeroed, as inittabreg does the current one's: a page
    // opened holds its pictures with their adjustments in them.
    void zeroReglagesObjets();

    // The five adjustment sliders, one family: the Change and Scroll handlers of each member.
    void A_reglage_Change(Reglage r);
    void A_reglage_Scroll(Reglage r);
    void A_contraste_Change() { A_reglage_Change(Reglage::Contraste); }
    void A_couleur_Change() { A_reglage_Change(Reglage::Couleur); }
    void A_intensite_Change() { A_reglage_Change(Reglage::Intensite); }
    void A_nettete_Change() { A_reglage_Change(Reglage::Nettete); }
    void A_saturation_Change() { A_reglage_Change(Reglage::Saturation); }
    ValeursReglages valeursCurseurs() const;
    // The slider and the label of an adjustment.
    Curseur& curseurDe(Reglage r);
    Etiquette& etiquetteDe(Reglage r);

    // Rotation and its undo; the display gamma; INIT and the adjustment reset.
    void A_angle_Change();
    void A_angle_Scroll();
    void A_angle_GotFocus();
    void B_annulangle_Click();
    void changegamma();
    void A_gamma_Change() { changegamma(); }
    void B_initimage_Click();
    void B_initreglage_Click();
    // Resize: the entry "Redimensionner", the panel's set-up, its slider and APPLIQUER.
    bool redimensionner();
    void initredim();
    void A_redim_Change();
    void A_redim_Scroll();
    void B_finredim_Click();

    // Work copies: the current object's files and adjustment row written, its adjusted working
    // image rebuilt, the object committed (record, files, thumbnail), object i rebuilt on the
    // preview from its base picture and stored settings.
    // False when the object has no work copies to store into (nothing is written then).
    bool enregimage();
    void sauvder();
    void sauvphoto();
    void chargephoto(int i);
    // Writes the same picture as the three work copies of object n, encoded once, all or none.
    void ecrirecopies(ControleImage& source, int n);
    // The same, written aside into `lot` with whatever else goes with them (a text-image's
    // text); once the lot is in place, copiesEcrites says what the three files now hold.
    void ecrirecopies(ControleImage& source, int n, fs::Remplacement& lot);
    void copiesEcrites(const ControleImage& source, int n);
    // photo<n>.svc from `montree` (with its stamp) and sauv<n>.svc from `base`, each only when
    // its picture changed, and both or neither: a failure leaves both files as they were. A
    // null control leaves its file alone. With `anciennes`, the files replaced are kept there
    // for the step's way back.
    void remplacerCopies(int n, ControleImage* montree, ControleImage* base, CopiesAnciennes* anciennes = nullptr);
    // The rest of a step on the current object whose files are in place (`anciennes` holding
    // those they replaced): `suite` changes the record, the controls and the screen, its record
    // writes one transaction. On any failure the records stay as they were, the files come back,
    // the object is shown again as its record and files hold it (its sliders and crop mode as
    // they were), and the failure is passed on for the step's message.
    void terminerEtape(CopiesAnciennes& anciennes, const std::function<void()>& suite);
    // What the work copies are known to hold: a procedure that copies or reads one says so.
    CopiesConnues& copiesConnues() { return copies_; }

    // Display: a newly placed object shown; the stamp written into photo<i>.svc; the five
    // adjustment sliders shown or hidden together.
    void affichphoto();
    void creatstamp(int i);
    void regvisible(bool b);

    // Save-as of the current object with the compression preview ("Enregistrer sous"), and
    // scanning a page onto the page as a new object ("Scanner"). Built in enregistrement.cpp
    // and numerisation.cpp.
    bool enregphoto();
    void compression();
    bool scanning();

    // The current object, when there is one in the editor's range (of the face shown on the
    // jacket); nullptr otherwise.
    ControleImage* photoCourante() const;

private:
    ContexteEditeur& x_;
    CopiesConnues copies_;
    // The working base of the adjustment slider being edited (its flag set): the full base with
    // the four other adjustments, the frame and the rotation. Kept aside from L_sauvder, which
    // always holds what the object's next store writes to photo<n>.svc.
    image::Photo baseCurseur_;
    void brancherCurseurs();
    void brancherRotation();
    void brancherGamma();
    void brancherReinitialisation();
    void brancherRedimension();

    // Save-as and scanning
public:
    // Save-as (enregistrement.cpp). `compression()` above is the compression preview: the
    // picture written at the slider's quality to compress.JPG or compress.CMP of the work
    // folder, the quality and the file's size shown; this `compression` is the enabling rule of
    // the panel's quality group and of its save button.
    void compression(bool qualite, bool enregistrement);
    void A_compress_Change();
    void A_compress_Scroll();
    void B_okcompress_Click();
    void B_okenreg_Click();
    // The format code of a format's extension ("JPG" 10, "CMP" 5, "TGA" 4, "TIF" 3, "BMP" 6,
    // "PCX" 1, "WMF" 15); -1 for any other text.
    static int codeformat(const QString& extension);
    // The quality label after a preview: "35 Disque=87 Ko" for quality 35 and 89,500 bytes.
    static QString legendeCompression(int qualite, qint64 octets);

private:
    // compress.JPG, compress.CMP written since the save-as panel opened: the save copies only
    // a preview made of the picture being saved.
    bool apercujpg_ = false, apercucmp_ = false;
    bool& apercuFait(int codeformat) { return codeformat == 10 ? apercujpg_ : apercucmp_; }

    // Scanning (numerisation.cpp): the scan itself (false when refused at the object limit),
    // and the way back after a failure, `nouveau` being the number taken (-1 before it was).
    bool numerisation();
    void echecNumerisation(const ModeleObjets::AvantCreation& avant, int nouveau);

    // Crop (decoupe.cpp). C_decoupe puts the current photo in crop mode and takes it out;
    // the mouse draws the rectangle (layout/souris.cpp) and its release calls decoupage, which
    // cuts the base picture to it: the cut picture is the object's base from then on, its
    // adjustments, frame and angle stay settings applied over it. arretdecoupe gives up a
    // rectangle being drawn (crop mode ends, nothing else changes) or, after a crop, takes the
    // object back to its picture as first placed (B_annuldecoupe, "ANNULER").
public:
    void C_decoupe_Click();
    void B_annuldecoupe_Click();
    // False when the crop could not be written: the object and crop mode stay as they were.
    bool decoupage();
    void arretdecoupe();

private:
    void brancherDecoupe();
    void entrerDecoupe(ControleImage& photo);
    void quitterDecoupe();
    // False when the first picture could not be written back: the crop stays.
    bool annulerDecoupe(ControleImage& photo);
    // The base picture in `cible` cut to a rectangle of the shown picture (its pixels), taken
    // back through the object's rotation.
    void couperBase(const ControleImage& photo, const QRectF& rectangle, ControleImage& cible);
    // The crop's files in place: the cut base and its working copy become the object's, in its
    // record, its controls and on the screen.
    void appliquerDecoupe(ControleImage& photo, ControleImage& coupee, ControleImage& ajustee);
    // INIT's files in place: the picture as first placed is the object's again, unturned,
    // unframed, without adjustments.
    void reinitialiser(ControleImage& photo);
    // The cancel's files in place: the first picture is the object's base again.
    void remettreDepart(ControleImage& photo, ControleImage& depart, ControleImage& ajustee);
    // The shown picture rebuilt from the base with the sliders, the frame and the angle.
    void afficherDepuisBase(ControleImage& photo);
    // L_sauvder given the unturned box of the object's control.
    void boiteTravail(const ControleImage& photo);
};

}  // namespace kal
