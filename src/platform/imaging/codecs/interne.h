#pragma once
// Inside of the image-file layer: header parsing, and one reader/writer per library.
#include "platform/imaging/codecs/fichiersimage.h"

#include <QByteArray>
#include <QImage>
#include <QIODevice>

#include <vector>

namespace kal::image::interne {

// Raises the layer's error with its number and a French description.
[[noreturn]] void echec(int numero, const QString& description);

// Refuses (FichierTropGrand) sizes beyond coteMax / pixelsMax; zero or negative sizes are damage.
void verifierTaille(qint64 largeur, qint64 hauteur);

// A byte buffer's bytes, for the reads below.
inline const uchar* octets(const QByteArray& a) { return reinterpret_cast<const uchar*>(a.constData()); }

// Big- and little-endian reads from a byte buffer; the caller checks the bounds.
inline quint16 lireU16le(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
inline quint32 lireU32le(const uchar* p) { return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24); }
inline quint16 lireU16be(const uchar* p) { return quint16((p[0] << 8) | p[1]); }
inline quint32 lireU32be(const uchar* p) { return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]); }

// A channel of n bits (0 to 32) scaled to 8 bits, round(v x 255 / (2^n - 1)); a channel of no bits
// gives 0. Up to 16 bits, through a table of every value.
class EchelleCanal {
public:
    explicit EchelleCanal(int bits) : max_((quint64(1) << bits) - 1)
    {
        if (bits <= 16) {
            table_.resize(size_t(max_) + 1);
            for (quint64 v = 0; v <= max_; ++v)
                table_[size_t(v)] = calcul(v);
        }
    }
    uchar operator()(quint32 v) const { return table_.empty() ? calcul(v) : table_[v]; }
    quint32 maximum() const { return quint32(max_); }

private:
    uchar calcul(quint64 v) const { return max_ ? uchar((v * 510 + max_) / (2 * max_)) : 0; }
    quint64 max_;
    std::vector<uchar> table_;
};

// ---- recognising a file by its first bytes -------------------------------------------------------
// The format code of the content, 0 when none is recognised. `fin` holds the file's last bytes,
// where a TARGA 2.0 footer sits.
int detecterFormat(const QByteArray& debut, const QByteArray& fin);

// Header of each format read by hand: fills largeur, hauteur, bitsParPixel (and vignette for JPEG).
// Raises FichierEndommage for an impossible header, FichierTropGrand for absurd sizes.
// Returns false when `donnees` stops before the header's end (the caller then reads more).
// With the file's length known (>= 0), a file too short to hold the picture it claims is
// refused as damaged (FichierEndommage) from the header, before any picture memory is taken.
bool enteteJpeg(const QByteArray& donnees, InfoFichier& info, qint64 longueurFichier = -1);
void enteteBmp(const QByteArray& donnees, qint64 longueurFichier, InfoFichier& info);
void entetePcx(const QByteArray& donnees, qint64 longueurFichier, InfoFichier& info);
void enteteTga(const QByteArray& donnees, qint64 longueurFichier, InfoFichier& info);
void enteteWmf(const QByteArray& donnees, qint64 longueurFichier, InfoFichier& info);
bool enteteJp2(const QByteArray& donnees, qint64 longueurFichier, InfoFichier& info);
// Icons are read by Qt; this checks, before it reads, that each picture of the icon lies in the
// file and can hold the size claimed.
void verifierIco(const QByteArray& donnees, qint64 longueurFichier);

// ---- JPEG (libjpeg-turbo) -------------------------------------------------------------------------
// Large pictures with restart markers are decoded in bands on every core (`bandes` false: in one,
// as the tests compare).
QImage lireJpeg(const QByteArray& donnees, QSize tailleMin, bool bandes = true);
// A display copy of exactly `cible` pixels: the picture decoded reduced by DCT scaling to at least
// that size and resampled to it (the pixels of reechantillonner on lireJpeg(donnees, cible)).
// A file without restart markers is resampled row by row as it is decoded, on a second core.
QImage lireJpegReduite(const QByteArray& donnees, QSize cible);
// The DCT reduction (1, 2, 4 or 8) lireJpeg uses for a picture of `taille` and the size asked.
int denominateurJpeg(QSize taille, QSize tailleMin);
// Encoder quality 1..100; gris writes one grey component. `app1` (Exif segment payload) is
// written first when not empty.
// Large pictures carry a restart marker after every row of blocks and are encoded in bands on every
// core (`bandes` false: in one, as the tests compare; the bytes are the same).
QByteArray ecrireJpeg(const QImage& image, bool gris, int qualite, const QByteArray& app1 = {}, bool bandes = true);
// The stamp's JPEG bytes inside an Exif APP1 segment; empty when there is none.
QByteArray vignetteJpeg(const QByteArray& donnees);
// The Exif APP1 payload that carries `jpegVignette` as its thumbnail.
QByteArray segmentExif(const QByteArray& jpegVignette);

// ---- CMP: JPEG 2000 (openjpeg) -------------------------------------------------------------------
QImage lireJp2(const QByteArray& donnees);
QByteArray ecrireJp2(const QImage& image, bool gris, int qualite);

// ---- TIFF (libtiff) ------------------------------------------------------------------------------
// The first directory's header (size as seen, bits as stored), its sizes against the limits and
// its strips or tiles against what they claim to hold, from the whole file in memory or from an
// open device (the directory may lie anywhere).
void enteteTiff(const QByteArray& donnees, InfoFichier& info);
void enteteTiffAppareil(QIODevice* appareil, InfoFichier& info);
// The first page, oriented as its Orientation tag says; what the file does not give is fully
// transparent (the picture then comes as ARGB32).
QImage lireTiff(const QByteArray& donnees);

// ---- TARGA (our own reader) -----------------------------------------------------------------------
// Types 1, 2, 3, 9, 10, 11, every depth and palette, either row and column order; pixels a
// run-length file does not give, or a palette does not hold, are fully transparent.
QImage lireTga(const QByteArray& donnees);

// ---- PCX, WMF reading and PCX writing (GraphicsMagick) -------------------------------------
QImage lireMagick(const QByteArray& donnees, const char* format);
QByteArray ecrirePcx(const QImage& image, int bits);

// ---- BMP, read by hand (bmp.cpp) ----------------------------------------------------------------
// The picture in the layer's reading form: Grayscale8 for a grey palette, ARGB32 when a mask gives
// alpha or some pixel is not given by the file (those are 0x00000000), RGB32 otherwise.
QImage lireBmp(const QByteArray& donnees);

// ---- written by hand ------------------------------------------------------------------------------
QByteArray ecrireTga(const QImage& image, int bits);
QByteArray ecrireWmf(const QImage& image);

// ---- ICO reading, BMP and TIFF writing (Qt image plugins) ------------------------------------------
QImage lireQt(const QByteArray& donnees, const char* format, InfoFichier* info);
// Header (and the picture when `image` is true) from a device.
QImage lireQtAppareil(QIODevice* appareil, const char* format, InfoFichier& info, bool image);
QByteArray ecrireQt(const QImage& image, const char* format, int bits);

// ---- picture forms ---------------------------------------------------------------------------------
// The layer's reading form: Grayscale8 for grey, else RGB32 or ARGB32.
QImage formeLecture(QImage image);
// Opaque 24-bit form (RGB32) with transparency laid on white.
QImage formeOpaque(const QImage& image);
// 8-bit form: Grayscale8 when the picture is grey, else Indexed8 with a palette.
QImage formeHuitBits(const QImage& image);
bool estGris(const QImage& image);
// Grayscale8 by the luma of JPEG (0.299 R + 0.587 G + 0.114 B), transparency laid on white.
QImage enGris(const QImage& image);

}  // namespace kal::image::interne
