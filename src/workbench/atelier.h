#pragma once
// The photo workbench UTIL ("UTILITAIRES PHOTO"). It holds one photo at a time, opened through
// the photo-open panel of the editors or scanned, and always shows it as the JPEG file it would
// be filed as: every change ends with the refresh `taillephoto`, which writes the work file
// saiphot.jpg at the chosen quality and shows that file. Filing copies the work file into the
// photo folder utilphot.
//
// The pictures, each in an imaging control:
//   L_initial  the photo as opened or scanned;
//   L_sauvtot  the base every rendering starts from: the photo with its crops (and the turn a
//              crop fixed) and its red-eye corrections, at its full size, without the sliders;
//   L_photo    what is shown: the base through the adjustment chain (the five adjustments, the
//              photo treatment, the rotation), resized, then written and read back;
//   L_sauvder  the picture shown when red-eye mode began, for its ANNULER.
// A slider, the compression and the resize all render from the base with the whole chain, so
// that every edit is in the picture exactly once whatever was changed last.
//
// One .cpp per behaviour: atelier.cpp (the window, its layout, its file buttons), affichage.cpp
// (opening, fitting, the refresh), reglages.cpp, zoomrotation.cpp, decoupe.cpp, yeuxrouges.cpp,
// classeur.cpp (utilphot, naming, saving, deleting), compression.cpp, numerisation.cpp.
#include "pagefiles/ouverture.h"
#include "platform/base/fenetres.h"
#include "platform/controls/controles.h"
#include "platform/controls/listesfichiers.h"
#include "platform/imaging/controleimage.h"
#include "state/partage.h"
#include "workbench/combosimple.h"

#include <array>

class QShowEvent;

namespace kal {

struct ValeursReglages;

// The workbench window's variables, under their design names.
struct EtatAtelier {
    int32_t largeurzone = 0, hauteurzone = 0;   // twips: the display area above the band
    bool photochargee = false;                   // a photo is in the workbench
    QString nomphoto;
    QString modefichier;                         // "enr" or "sup": what OK does
    int32_t qualitecompression = 2;              // JPEG quality of saiphot.jpg (2 best .. 255)
    double rapportimage = 1;                     // width / height of the shown picture
    double rapportredim = 1;                     // A_resize value / Max
    int32_t largeurredim = 0, hauteurredim = 0;  // pixels after the resize
    // The zoom's bases, set by each refresh: the fitted size (twips), the control's zoom then,
    // and the display scale zoom / 100.
    int32_t largeurbase = 0, hauteurbase = 0, zoombase = 100;
    double echellephoto = 1;
    // Adjustment editing: the slider whose run is current (slots 0 contrast, 1 intensity,
    // 2 colour, 3 sharpness, 4 saturation, 5 rotation) and the values memorised when a slider
    // took over (0 contrast, 1 colour, 2 intensity, 3 sharpness, 4 saturation, 5 rotation).
    std::array<bool, 6> flagreglage{};
    std::array<int32_t, 6> valreglage{};
    QString codereglage;
    bool razreglages = false;                    // the sliders go back to 0: no handler works
    bool blocageangle = false;                   // a crop puts the angle back: no rotation
    bool redimencours = false;                   // initredim sets up A_resize: no rebuild
    // Crop.
    bool modedecoupe = false;
    int32_t departX = 0, departY = 0, arriveeX = 0, arriveeY = 0;
    // Red eyes: the zone in the shown picture's units, signed as it was dragged.
    bool modeyeuxrouges = false;
    int32_t zonegauche = 0, zonehaut = 0, zonelargeur = 0, zonehauteur = 0;
    // Scanning and the photo folder.
    int16_t resultatscan = 0;
    bool nomexistant = false;
    int32_t nbphotos = 0;
    qint64 tailleclasseur = 0;                   // Ko; 64 bits, a large folder does not wrap
};

class Atelier : public Fenetre {
    Q_OBJECT
public:
    explicit Atelier(ReglagesPartages& partage);
    ~Atelier() override;

    static QString nomFenetre() { return QStringLiteral("UTIL"); }
    static const QString NomTravail;     // "saiphot.jpg"
    static const QString NomClasseur;    // "utilphot"
    // A name the workbench files a photo under: "<name>.jpg", the name typed of 1 to 8
    // characters, without a point.
    static bool nomDePhotoClassee(const QString& nomFichier);
    // Colour a red pupil takes (red 75, green 50, blue 50), and how red and how strong.
    static constexpr int CouleurYeux = 75 + 50 * 256 + 50 * 65536;
    static constexpr int SeuilYeux = 150, ForceYeux = 75;

    // The bottom band.
    Cadre F_photo;
    Bouton B_ouvrir, B_enrsous, B_scanner, B_sup, B_okphoto, B_ajust;
    Etiquette E_intensite, E_contraste, E_couleur, E_saturation, E_nettete;
    Curseur A_intensite, A_contraste, A_couleur, A_saturation, A_nettete;
    Bouton B_initreglage;
    Bouton B_redeye, B_appry, B_annry, B_finry;
    Etiquette E_zoom, E_angle;
    Curseur A_zoom, A_angle;
    CaseACocher C_decoupe;
    Bouton B_annuldecoupe, B_annulreglagetot;
    Bouton B_initzoom, B_initangle, B_info;
    Etiquette E_compression;
    Curseur A_compression;
    Etiquette E_resize;
    Curseur A_resize;
    Etiquette E_gamma;
    Curseur A_gamma;
    Bouton B_doc, B_finutil;
    // The name lists, the photo and its hidden copies, the folder's listing, the open panel.
    ComboSimple L_fichier;
    Liste L_fichsup;
    ControleImage L_photo, L_initial, L_sauvtot, L_sauvder;
    ListeFichiers R_fichier;
    PanneauOuverture panneau;

    EtatAtelier etat;

    // The work folder (current when the window loaded): saiphot.jpg and utilphot are in it.
    QString dossier() const { return dossier_; }
    QString fichierTravail() const;
    QString classeur() const;

    // Window.
    void activation() override;
    void dimensionecran();
    void autorfich(bool ouvrir, bool scanner, bool enregistrer, bool supprimer, bool ok, bool listeNoms, bool listeSup);
    void regvisible(bool b);
    void B_finutil_Click();
    void B_ajust_Click();
    void B_doc_Click();
    void L_fichier_Click();

    // Opening and display.
    void B_ouvrir_Click();
    void ouvrirphoto();
    void photoChoisie(ControleImage& apercu, const QString& chemin);
    void nomPhotoAbsent();
    void ouvertureAnnulee();
    void dimphoto();
    void restitsize();
    void taillephoto();
    void initredim();
    // The shown picture rendered from the base: the chain with the sliders' values and the
    // angle, then (unless told otherwise) the resize.
    void reconstruire(bool redim = true);
    // A new quality or size: the picture rendered again with every edit, its work file written
    // and measured, the reset buttons cleared.
    void refaireAuFormat();
    // The compression caption for a file of that many bytes.
    static QString legendeCompression(int qualite, qint64 octets);

    // Adjustments.
    void changeflag(bool contraste, bool couleur, bool intensite, bool nettete, bool saturation, bool rotation);
    void changeinit(bool b, const QString& code);
    void autorcorrect(bool b);
    void initcorrect();
    void changegamma();
    ValeursReglages valeursCurseurs() const;
    void A_reglage_Change(int membre);
    void A_reglage_Scroll(int membre);
    void B_initreglage_Click();
    void B_annulreglagetot_Click();

    // Zoom and rotation.
    void zooming();
    void initialzoom();
    void initialangle();
    void A_angle_Change();
    void A_angle_Scroll();
    void B_initangle_Click();

    // Crop and red eyes.
    void C_decoupe_Click();
    void L_photo_MouseDown(int bouton, int shift, double x, double y);
    void L_photo_MouseMove(int bouton, int shift, double x, double y);
    void L_photo_MouseUp(int bouton, int shift, double x, double y);
    void decoupage();
    void B_annuldecoupe_Click();
    void B_redeye_Click();
    void B_appry_Click();
    void B_annry_Click();
    void B_finry_Click();

    // Photo folder and saving.
    void listefichier();
    void calculsauv();
    void unicfichier();
    void B_enrsous_Click();
    void B_okphoto_Click();
    void B_sup_Click();
    void B_info_Click();
    // The real file names behind the names L_fichsup shows, entry by entry.
    const QStringList& nomsReels() const { return nomsReels_; }

    // Compression and resize.
    void A_compression_Change();
    void A_compression_Scroll();
    void A_resize_Change();
    void A_resize_Scroll();

    // Scanning.
    void B_scanner_Click();
    void scanning();

protected:
    void chargement() override;
    bool dechargement() override;

private:
    ReglagesPartages& partage_;
    QString dossier_;
    QStringList nomsReels_;
    // The row of R_fichier behind each of them.
    QList<int> lignesReelles_;
    // The base as red-eye mode found it, for its ANNULER.
    image::Photo baseAvantYeux_;

    void brancher();
    void concevoir();
    void bandeEtroite();
    // A new photo: red-eye and crop modes end; there is no crop to undo.
    void quitterModes();
    // Makes the picture the base, its full resolution kept for the renderings to come.
    void fixerBase(const image::Photo& p);
    // Size of the shown picture before the resize: the base turned by the angle.
    QSize tailleAvantRedim() const;
    // saiphot.jpg written from the picture shown and read back, the compression caption with
    // its size; on a failure, no work file is left and the caption says so.
    void ecrireTravail();
    bool travailAJour_ = false;   // saiphot.jpg holds the picture shown
    void enregistrer();
    void supprimer();
};

}  // namespace kal
