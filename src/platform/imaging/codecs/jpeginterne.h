#pragma once
// Inside of the JPEG reader and writer (libjpeg-turbo), shared by their files: the error handling,
// the decoder on a file's header, and the layout of a file that can be decoded in bands.
//
// libjpeg reports fatal errors through a callback that must not return: it jumps back with
// longjmp. Every function that calls setjmp holds only plain data, so the jump skips no
// destructor; the codec state lives in a guard object of the caller.
#include "platform/imaging/codecs/interne.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace kal::image::interne {

struct GestionErreurs {
    jpeg_error_mgr pub;
    std::jmp_buf saut;
    char message[JMSG_LENGTH_MAX];
    int codeFatal;
    bool donneesAbimees;  // a warning that means lost picture data
};

// libjpeg's error handling into `g`: fatal errors, and warnings that mean lost picture data,
// jump back to g.saut.
void preparer(GestionErreurs& g);
// Raises the layer's error for the fatal error libjpeg reported.
[[noreturn]] void echecJpeg(const GestionErreurs& g);

// ---- decoding -----------------------------------------------------------------------------------

struct Decodeur {
    jpeg_decompress_struct cinfo;
    GestionErreurs g;
    bool cree = false;
    Decodeur()
    {
        preparer(g);
        cinfo.err = &g.pub;
    }
    ~Decodeur()
    {
        if (cree)
            jpeg_destroy_decompress(&cinfo);
    }
    Decodeur(const Decodeur&) = delete;
    Decodeur& operator=(const Decodeur&) = delete;
};

// Header and output size at 1/`denominateur`. Returns false on a fatal error (message in d->g).
bool lireEntete(Decodeur* d, const uchar* donnees, unsigned long n, int denominateur);
// The decoder on the file's header, at the scale that still gives at least `tailleMin`; a
// damaged header or a picture too large to hold is refused.
void ouvrirDecodeur(Decodeur& d, const QByteArray& donnees, const InfoFichier& info, QSize tailleMin);
// Whether the chroma is enlarged with the rows above and below as context.
bool upsamplingVertical(const jpeg_decompress_struct& c);
// Decodes into the rows given (one pointer per output row); CMYK rows go through `tampon`
// (4 bytes a pixel) and are converted.
bool lirePixels(Decodeur* d, uchar** lignes, uchar* tampon);

// ---- decoding in bands (jpegparallele.cpp) ------------------------------------------------------

struct Bandes {
    int hauteur = 0;                  // full-resolution height
    int hauteurMcu = 0;               // pixels in a row of blocks (MCU)
    int mcusParLigne = 0, lignesMcu = 0, intervalle = 0;
    qsizetype posHauteur = 0;         // the SOF's height field
    qsizetype debutDonnees = 0, finDonnees = 0;
    std::vector<qsizetype> reprises;  // where each restart marker starts (its 0xFF)
};

// The file's layout when it can be decoded in bands (one sequential Huffman scan with restart markers).
bool decouper(const QByteArray& donnees, Bandes& b);
// Decodes the bands into `lignes` (the output rows of the whole picture), on every core. False when
// a band fails: the caller then decodes the whole file in one, which reports the damage as it is.
bool decoderEnBandes(const QByteArray& donnees, const Bandes& b, int denominateur, bool contexte, J_COLOR_SPACE espace,
                     JDIMENSION largeur, uchar** lignes, int hauteurSortie);

// ---- a large file without restart markers (jpegentropie.cpp) --------------------------------------

// The picture at the decoder's scale (c: the header read, the scale set), its coded data read on
// every core: at full size the decoder's very pixels, reduced a near copy of them. Null under two
// megapixels, when the file is not of the plain kind this reader takes (one interleaved baseline
// YCbCr scan without restart interval) or when its data is irregular: the caller then decodes
// with libjpeg, which reports the damage as it is.
QImage lireSurTousLesCoeurs(const QByteArray& donnees, const jpeg_decompress_struct& c);

}  // namespace kal::image::interne
