#pragma once
// Pixel work of the imaging layer: the five adjustments (fused into one pass), rotation,
// resampling, red-eye correction and display gamma. Every function takes and gives pictures in
// QImage::Format_RGB32 and spreads its rows over the processor cores.
#include <QImage>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace kal::image {

// The five adjustments in the order one pass applies them: contrast, colour (hue turn),
// intensity, sharpness, saturation. Each stage rounds to 8 bits before the next, so a pass with
// several values gives exactly the picture the single adjustments give one after the other.
struct Reglages {
    int contraste = 0;   // -1000..1000
    int teinte = 0;      // -180..180 degrees
    int intensite = 0;   // -1000..1000
    int nettete = 0;     // -1000..1000, negative blurs
    int saturation = 0;  // -1000..1000 (the sliders pass their value x 10)
    bool neutre() const { return !contraste && !teinte && !intensite && !nettete && !saturation; }
};

// Values outside the ranges above are brought back to the nearest bound.
Reglages bornes(Reglages r);

// The adjustments applied to a picture (any format; the result is RGB32).
QImage appliquerReglages(const QImage& source, const Reglages& r);

// Turns the picture by centiemes / 100 degrees, clockwise on screen for a positive angle. The
// picture grows to the bounding box of the turned picture; what the picture no longer covers
// takes the colour fond. Quarter turns move pixels exactly.
QImage tourner(const QImage& source, int centiemes, QRgb fond);
QSize tailleTournee(QSize taille, int centiemes);

// Resamples to largeur x hauteur pixels (each at least 1) with a triangle filter widened to the
// reduction ratio, so that a reduction averages every source pixel.
QImage reechantillonner(const QImage& source, int largeur, int hauteur);

// The same resampling for a picture whose rows come one after the other (a file being decoded):
// each target row is made as soon as the source rows it needs have come, so that the source need
// only be held in a window of rows that slides down. The pixels are those reechantillonner gives.
class ReechantillonnageFlux {
public:
    ReechantillonnageFlux(QSize source, QSize cible);   // raises error 7 when memory is lacking
    ~ReechantillonnageFlux();
    ReechantillonnageFlux(const ReechantillonnageFlux&) = delete;
    ReechantillonnageFlux& operator=(const ReechantillonnageFlux&) = delete;

    // The first source row the target rows still to make need: the rows above it may go.
    int premiereUtile() const;
    // The most source rows one target row needs.
    int fenetre() const;
    bool fini() const;
    // Makes, in order, the target rows whose source rows are all below `disponibles`;
    // ligneSource(i) gives source row i (RGB32).
    void avancer(int disponibles, const std::function<const uint8_t*(int)>& ligneSource);
    QImage resultat() const;

private:
    struct Etat;
    std::unique_ptr<Etat> e_;
};

// Red eyes inside zone: a pixel whose red is at least seuil percent of the mean of its green
// and blue (and above 40) moves force percent of the way to the colour teinte, darkened to the
// pixel's own green-blue level so that reflections keep their shape.
void corrigerYeuxRouges(QImage& image, const QRect& zone, QRgb teinte, int seuil, int force);

// Display gamma (x 100; 100 leaves the picture unchanged): v' = 255 (v / 255)^(100 / gamma).
QImage appliquerGamma(const QImage& source, double gamma100);

// True when every pixel has equal red, green and blue.
bool sansCouleur(const QImage& image);

// The picture in Format_RGB32 (shared when it already is).
QImage enRgb32(const QImage& image);

// A new picture of largeur x hauteur pixels (contents undefined). The memory of a large one comes
// straight from the system, asked for in 2 MB pages where the system offers them; once its last
// copy is gone it is kept in a bounded reserve for the next picture of about its size, whose
// threads then fill pages already there instead of taking tens of thousands of page faults.
// Raises error 7 when the memory cannot be had.
QImage nouvelleImage(int largeur, int hauteur, QImage::Format format = QImage::Format_RGB32);
// Whether nouvelleImage asks for 2 MB pages (on unless turned off; the benchmark turns it off to
// compare with libraries on ordinary pages).
void definirGrandesPages(bool oui);
bool grandesPages();
// The memory the reserve holds, and its return to the system.
size_t octetsEnReserve();
void viderReserve();

// Runs travail(debut, fin) over [0, n) cut into chunks of at least grain rows, taken one after the
// other by the threads of a pool that lives with the program. A failure in a chunk is raised here
// once the others have ended.
void enParallele(int n, int grain, const std::function<void(int, int)>& travail);
// The threads the pixel work uses: one per core unless set (0: back to one per core).
void definirFils(int n);
int fils();

}  // namespace kal::image
