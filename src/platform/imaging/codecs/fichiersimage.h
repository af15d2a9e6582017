#pragma once
// Image files of the imaging layer: reading by content, writing by format code, and the small
// stamp picture that a JPEG work file carries for its thumbnail.
//
// Every failure is a kal::Erreur: 53 when the file is missing, 75 when it cannot be opened, and the
// layer's own numbers below. The formats, the quality mapping and the limits are described in
// docs/image-files.md.
#include <QImage>
#include <QSize>
#include <QString>

namespace kal::image {

// Format codes, as the callers pass them to ecrireFichier and find them in InfoFichier.
namespace code {
constexpr int PCX = 1, TIFF = 3, TARGA = 4, CMP = 5, BMP = 6, JPEG = 10, WMF = 15;
constexpr int ICO = 16;  // icons: read only
}  // namespace code

// The layer's error numbers (20002 and 20090 belong to scanning).
namespace err {
constexpr int FormatNonPris = 20010;      // unknown or unsupported format, bits or format code
constexpr int FichierEndommage = 20011;   // truncated or corrupt file
constexpr int FichierTropGrand = 20012;   // dimensions or file length beyond the limits below
constexpr int VignetteAbsente = 20013;    // the file carries no stamp
constexpr int EcritureImpossible = 20014; // the file could not be written (the old file is kept)
}  // namespace err

// Limits checked from the header, before any picture memory is taken.
constexpr qint64 pixelsMax = qint64(1) << 28;        // width x height
constexpr int coteMax = 65535;                       // either side
constexpr qint64 octetsFichierMax = qint64(1) << 30; // length of a file to read

struct InfoFichier {
    int codeformat = 0;
    int largeur = 0;
    int hauteur = 0;
    int bitsParPixel = 0;   // as stored in the file: 1, 4, 8, 16, 24, 32, ...
    bool vignette = false;  // a stamp is present (JPEG only)
};

// Header only, no full decode.
InfoFichier lireInfo(const QString& chemin);

// Decodes by content (not by extension). Grey pictures come back as Format_Grayscale8, all others as
// Format_RGB32, or Format_ARGB32 when the file holds transparency.
// With tailleMin valid, a JPEG may be decoded reduced by DCT scaling (1/2, 1/4, 1/8) to the smallest
// size still >= tailleMin; *info then still gives the FULL file dimensions.
QImage lireFichier(const QString& chemin, InfoFichier* info = nullptr, QSize tailleMin = {});

// The same from a file's bytes already in memory (its whole content): lireOctets reads a file
// once (53, 75 and the length limit as lireFichier), lireInfoDonnees gives its header,
// lireDonnees decodes it as lireFichier does.
QByteArray lireOctets(const QString& chemin);
InfoFichier lireInfoDonnees(const QByteArray& donnees);
QImage lireDonnees(const QByteArray& donnees, InfoFichier* info = nullptr, QSize tailleMin = {});

// A display copy of exactly `cible` pixels (RGB32): lireDonnees(donnees, nullptr, cible) resampled
// to that size with reechantillonner. A large JPEG without restart markers is read on every core
// (its pixels then near, not equal, to the decoder's reduced ones); a smaller one is resampled row
// by row while it is decoded, without holding the picture at its decoding scale.
QImage lireDonneesReduites(const QByteArray& donnees, QSize cible);

// The bytes of the file ecrireFichier would write, in memory.
QByteArray encoderImage(const QImage& image, int codeformat, int bitsParPixel, int qualite);

// Writes the picture in the format `codeformat`. bitsParPixel 1..8 writes 8 bits (grey when the
// picture is grey, else a palette; JPEG and CMP: grey), 9..31 writes 24 bits, 32 keeps
// transparency where the format holds it (BMP, TIFF, TARGA). `qualite` is the quality factor
// 2..255 (2 the best) for JPEG and CMP, ignored by the others. The file is replaced whole or
// not at all.
void ecrireFichier(const QImage& image, const QString& chemin, int codeformat, int bitsParPixel, int qualite);

// JPEG file (code 10) carrying an embedded stamp image (an Exif thumbnail in the APP1 segment) that
// lireVignette finds without decoding the main picture. The stamp is written as given (the caller
// sizes it), at the same quality.
void ecrireVignette(const QImage& image, const QString& chemin, int codeformat, int bitsParPixel, int qualite,
                    const QImage& vignette);

// The stamp alone; VignetteAbsente when the file has none.
QImage lireVignette(const QString& chemin);

// Quality factor 2..255 (2 best) -> encoder quality 1..100:
// 102 - f for f <= 52, then 2500 / (f - 2) rounded half to even. Factors outside 2..255 are clamped.
int qualiteEncodeur(int facteur);

}  // namespace kal::image
