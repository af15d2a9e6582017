#pragma once
// The imaging control: one picture, shown stretched into the control (or at a zoom, scrolled),
// with the operations the windows call by name. Lengths are in the control's unit: twips
// (modeechelle 1, the normal value) or pixels (modeechelle 3). Picture coordinates use the same
// unit: a picture pixel counts as one screen pixel's worth of twips in twips mode.
//
// Colours are passed as the windows store them: 0x00BBGGRR.
#include "platform/controls/controle.h"
#include "platform/imaging/photo.h"
#include "platform/richtext/police.h"
#include "platform/scanner/operationsscan.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QPainter;

namespace kal {

namespace modeechelle {
constexpr int Twips = 1;
constexpr int Pixels = 3;
}  // namespace modeechelle

// Like the other controls, the control object drives a widget that lives among its window's
// widgets; the widget goes with the control (or before it, with its window).
class ControleImage : public Controle {
public:
    explicit ControleImage(QWidget* parent = nullptr);
    ~ControleImage() override;
    ControleImage(const ControleImage&) = delete;
    ControleImage& operator=(const ControleImage&) = delete;

    // Files. lirefichier loads the first picture of the file whole (the three further arguments
    // are always 0, 0, 1). Failures are raised as kal::Erreur by the image-file layer.
    void lirefichier(const QString& chemin, int = 0, int = 0, int = 1);
    void ecrirefichier(const QString& chemin, int codeformat, int bits, int qualite, int = 0);
    // Rewrites the file as JPEG with a stamp of largeur x hauteur pixels (fractions rounded).
    void ecrirevignette(const QString& chemin, int codeformat, int bits, int qualite, double largeurVignette,
                        double hauteurVignette, int bitsVignette);
    void lirevignette(const QString& chemin);
    qint64 taillefichier() const { return tailleFichier_; }  // bytes of the last file read or written
    qint64 tailleimage() const;                               // bytes of the held picture

    // The picture. Putting another control's bitmap shares it (no pixel copy); vider() is putting 0.
    image::Photo bitmap() const { return photo_; }
    void definirBitmap(const image::Photo& p);
    void vider() { definirBitmap({}); }
    bool estVide() const { return photo_.estVide(); }
    double largeurbitmap() const;
    double hauteurbitmap() const;
    int bitsparpixel() const { return photo_.bitsParPixel(); }
    int niveaugris() const;  // non-zero for a picture without colour

    int modeechelle() const { return mode_; }
    void definirModeechelle(int mode);
    double largeurechelle() const;  // the control's inner size in the current unit
    double hauteurechelle() const;

    // Where the picture is shown (vue) and the rectangle last given to rectaffichage (sel).
    double gauchevue() const;
    double hautvue() const;
    double largeurvue() const;
    double hauteurvue() const;
    double gauchesel() const;
    double hautsel() const;
    double largeursel() const;
    double hauteursel() const;
    // Part of the picture shown, in control coordinates over the whole picture stretched into the
    // control: (0, 0, largeurechelle, hauteurechelle) shows the whole picture.
    void rectsource(double g, double h, double l, double ht);
    // The rectangle of the control the picture is painted in: painting is clipped to it.
    void rectaffichage(double g, double h, double l, double ht);

    // Adjustments (ranges in pixels.h).
    void contraste(int v);
    void intensite(int v);
    void nettete(int v);
    void teinte(int v);
    void saturation(int v);
    // The finishing step after the adjustments of a photo; it leaves the pixels as they are.
    void traitementphoto() {}

    // Geometry. rotation: hundredths of a degree, clockwise on screen; the picture grows to the
    // turned box and the uncovered corners take the colour. rogner: picture coordinates,
    // clamped to the picture. redimensionner: pixels, fractions rounded.
    void rotation(int centiemes, int drapeau, int couleur);
    void rogner(double g, double h, double l, double ht);
    void redimensionner(double largeur, double hauteur, int mode = 2);

    // Drawing. creerbitmap: a new picture of largeur x hauteur pixels in the back colour.
    void creerbitmap(double largeur, double hauteur, int bits);
    void remplir(int couleur);
    // Frame and line, in control coordinates; one screen pixel wide as the control shows it.
    void tracercadre(double g, double h, double l, double ht);
    void tracertrait(double x1, double y1, double x2, double y2);
    // Paints the full-resolution picture into a rectangle of the painter's logical coordinates,
    // resampled to the device's resolution. The display gamma is not applied.
    void rendudc(QPainter& peintre, double g, double h, double l, double ht) const;

    // Text (the text-images): `policeimage` is the font object the text is drawn in (nom,
    // taille, gras, italique, souligne, barre), `reglagetexte` its colour, and the text
    // rectangle (textehaut, textegauche, textelargeur, textehauteur) is in twips of the text
    // as measured at 1440 per inch. `echelletexte` is the picture's pixels per such twip: 1
    // unless the picture was made smaller (echelleTexte). dessinertexte draws the text from the
    // rectangle's top left corner, one line under the other, cut to the rectangle, with no
    // wrapping; with optiondessin the rectangle is first filled with couleurdessin.
    Police policeimage;
    int reglagetexte() const { return reglageTexte_; }
    void definirReglagetexte(int c) { reglageTexte_ = c; }
    double textehaut = 0, textegauche = 0, textelargeur = 0, textehauteur = 0;
    double echelletexte() const { return echelleTexte_; }
    void definirEchelletexte(double e);
    void dessinertexte(const QString& texte, int option = 0);
    // The largest picture a text is drawn into: a text whose picture at 1440 pixels per inch
    // would hold more pixels is drawn at the scale this gives (below 1), the same both ways.
    static constexpr qint64 PixelsTexteMax = qint64(1) << 24;
    static double echelleTexte(double largeur, double hauteur);

    int couleurFond() const { return couleurFond_; }
    void definirCouleurFond(int c);
    int couleurdessin() const { return couleurDessin_; }
    void definirCouleurdessin(int c) { couleurDessin_ = c; }
    bool optiondessin() const { return optionDessin_; }
    void definirOptiondessin(bool b) { optionDessin_ = b; }
    // Frame colour of a thumbnail: once set, frames are drawn in it instead of couleurdessin.
    int couleurminiat() const { return couleurMiniat_.value_or(couleurDessin_); }
    void definirCouleurminiat(int c) { couleurMiniat_ = c; }
    int reglageminiat1() const { return reglageMiniat1_; }
    void definirReglageminiat1(int v) { reglageMiniat1_ = v; }
    int reglageminiat2() const { return reglageMiniat2_; }
    void definirReglageminiat2(int v) { reglageMiniat2_ = v; }
    int lecturewmf() const { return lectureWmf_; }
    void definirReglagewmf(int v) { lectureWmf_ = v; }

    // Mouse: pointer by number (see kal::pointeur), rubber band, and the mouse events with the
    // button mask (1 left, 2 right, 4 middle), the shift state (1 shift, 2 ctrl, 4 alt) and the
    // position in the control's unit.
    int pointeur() const { return pointeur_; }
    void definirPointeur(int code);
    // The editors' own pointer (99); the arrow until one is given.
    static void definirPointeurPersonnalise(const QCursor& c);
    bool traceelastique() const { return elastique_; }
    void definirTraceelastique(bool b);
    void rectelastique(double g, double h, double l, double ht);
    std::function<void(int bouton, int shift, double x, double y)> surSourisEnfoncee;
    std::function<void(int bouton, int shift, double x, double y)> surSourisDeplacee;
    std::function<void(int bouton, int shift, double x, double y)> surSourisRelachee;

    // Display. gammaaffichage: x 100, 100 unchanged; only what is shown changes, never the picture.
    double gammaaffichage() const { return gamma_; }
    void definirGammaaffichage(double g);
    int optionaffichage() const { return optionAffichage_; }
    void definirOptionaffichage(int v) { optionAffichage_ = v; }
    void repeindre();
    int bordure() const { return bordure_; }
    void definirBordure(int b);
    // Display scale in percent (100: a picture pixel on a screen pixel). With defilement on, the
    // picture is shown at that scale and the wheel scrolls it (shift + wheel across).
    double zoom() const;
    void definirZoom(double z);
    bool defilement() const { return defilement_; }
    void definirDefilement(bool b);

    // Region (picture coordinates; a negative width or height counts from the other side).
    void regionrect(double g, double h, double l, double ht, int genre = 1);
    QRect region() const { return region_; }  // pixels, normalised
    int cadreregion() const { return cadreRegion_; }
    void definirCadreregion(int v);
    void supprimerregion();
    // Red eyes in the region: couleur is the colour a red pupil takes, seuil how red a pixel must
    // be (red as a percentage of the mean of green and blue), force the percentage of the change.
    void yeuxrouges(int couleur, int seuil, int force);

    // Scanning (see operationsscan.h): acquerir puts the page in the control and returns 0, or
    // returns (with scanoptionun raises) the failure number and leaves the picture as it was.
    bool scanactif() const { return scan_.scanactif(); }
    void definirScanactif(bool v) { scan_.definirScanactif(v); }
    bool scanoptionun() const { return scan_.scanoptionun(); }
    void definirScanoptionun(bool v) { scan_.definirScanoptionun(v); }
    bool scanoptiondeux() const { return scan_.scanoptiondeux(); }
    void definirScanoptiondeux(bool v) { scan_.definirScanoptiondeux(v); }
    int scanmode() const { return scan_.scanmode(); }
    void definirScanmode(int v) { scan_.definirScanmode(v); }
    void choisirsource(QWidget* fenetre) { scan_.choisirsource(fenetre); }
    int acquerir(QWidget* fenetre);
    void suiteacquisition(QWidget* fenetre) { scan_.suiteacquisition(fenetre); }
    // The hook apresacquisition that suiteacquisition runs.
    OperationsScan& operationsScan() { return scan_; }

    // What the control shows, in widget pixels: the picture's rectangle (may exceed the widget).
    QRectF rectVuePixels() const;

private:
    class Vue;
    friend class Vue;
    static QWidget* creerVue(ControleImage* c, QWidget* parent);
    void peindre(QPainter& p);
    void molette(QWheelEvent* e);

    double unitesX() const;  // control units per widget pixel
    double unitesY() const;
    double unitesImageX() const;  // picture units per picture pixel
    double unitesImageY() const;
    QRectF sourcePixels() const;
    QRectF selPixels() const;
    // Control coordinates to picture pixels.
    QPointF versImage(double x, double y) const;
    double epaisseurTrait() const;
    // Takes the new state; a picture of another size shows whole again.
    void changerPhoto(const image::Photo& p);
    QRgb couleurTrait() const;
    void evenementSouris(QMouseEvent* e, const std::function<void(int, int, double, double)>& f, int boutons);

    image::Photo photo_;
    int mode_ = modeechelle::Twips;
    QRectF source_;                  // picture pixels; empty: the whole picture
    std::optional<QRectF> sel_;      // widget pixels; none: the whole control
    int couleurFond_ = 0xFFFFFF;
    int couleurDessin_ = 0;
    int reglageTexte_ = 0;
    double echelleTexte_ = 1;
    std::optional<int> couleurMiniat_;
    bool optionDessin_ = false;
    int reglageMiniat1_ = 0, reglageMiniat2_ = 0, lectureWmf_ = 0;
    int pointeur_ = 0;
    bool elastique_ = false;
    QRectF rectElastique_;           // widget pixels
    double gamma_ = 100;
    int optionAffichage_ = 0;
    int bordure_ = 0;
    bool defilement_ = false;
    double zoom_ = 100;
    QPointF decalage_;               // scrolling, widget pixels
    QRect region_;
    int cadreRegion_ = 0;
    qint64 tailleFichier_ = 0;
    OperationsScan scan_;

    // The last painted picture, kept while nothing it depends on changes.
    struct Cache {
        image::Photo photo;
        QRect cible;
        QRectF source;
        double gamma = 0;
        QImage image;
    };
    mutable Cache cache_;
    QPointer<QWidget> vue_;
};

}  // namespace kal
