// JPEG through libjpeg-turbo: decoding (whole or reduced by DCT scaling) and encoding.
//
// libjpeg reports fatal errors through a callback that must not return: it jumps back with
// longjmp. Every function that calls setjmp below holds only plain data, so the jump skips no
// destructor; the codec state lives in a guard object of the caller.
#include "platform/imaging/codecs/interne.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace kal::image::interne {

namespace {

struct GestionErreurs {
    jpeg_error_mgr pub;
    std::jmp_buf saut;
    char message[JMSG_LENGTH_MAX];
    int codeFatal;
    bool donneesAbimees;  // a warning that means lost picture data
};

extern "C" void sortieErreur(j_common_ptr cinfo)
{
    auto* g = reinterpret_cast<GestionErreurs*>(cinfo->err);
    g->codeFatal = g->pub.msg_code;
    (*cinfo->err->format_message)(cinfo, g->message);
    std::longjmp(g->saut, 1);
}

extern "C" void emettreMessage(j_common_ptr cinfo, int niveau)
{
    auto* g = reinterpret_cast<GestionErreurs*>(cinfo->err);
    if (niveau < 0) {
        const int c = g->pub.msg_code;
        if (c == JWRN_JPEG_EOF || c == JWRN_HIT_MARKER || c == JWRN_HUFF_BAD_CODE || c == JWRN_ARITH_BAD_CODE) {
            if (!g->donneesAbimees)
                (*cinfo->err->format_message)(cinfo, g->message);
            g->donneesAbimees = true;
        }
        ++g->pub.num_warnings;
    }
}

extern "C" void sortieSilencieuse(j_common_ptr) {}

void preparer(GestionErreurs& g)
{
    jpeg_std_error(&g.pub);
    g.pub.error_exit = sortieErreur;
    g.pub.emit_message = emettreMessage;
    g.pub.output_message = sortieSilencieuse;
    g.message[0] = 0;
    g.codeFatal = 0;
    g.donneesAbimees = false;
}

[[noreturn]] void echecJpeg(const GestionErreurs& g)
{
    const QString texte = QStringLiteral("JPEG: ") + QString::fromLocal8Bit(g.message);
    if (g.codeFatal == JERR_OUT_OF_MEMORY || g.codeFatal == JERR_IMAGE_TOO_BIG)
        echec(err::FichierTropGrand, texte);
    if (g.codeFatal == JERR_BAD_PRECISION || g.codeFatal == JERR_CONVERSION_NOTIMPL)
        echec(err::FormatNonPris, texte);
    echec(err::FichierEndommage, texte);
}

// ---- decoding -----------------------------------------------------------------------------------

struct Decodeur {
    jpeg_decompress_struct cinfo;
    GestionErreurs g;
    bool cree = false;
    ~Decodeur()
    {
        if (cree)
            jpeg_destroy_decompress(&cinfo);
    }
};

// Header and output size. Returns false on a fatal error (message in d->g).
bool lireEntete(Decodeur* d, const uchar* donnees, unsigned long n, int denominateur)
{
    if (setjmp(d->g.saut))
        return false;
    jpeg_create_decompress(&d->cinfo);
    d->cree = true;
    jpeg_mem_src(&d->cinfo, donnees, n);
    jpeg_read_header(&d->cinfo, TRUE);
    d->cinfo.scale_num = 1;
    d->cinfo.scale_denom = unsigned(denominateur);
    switch (d->cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        d->cinfo.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        d->cinfo.out_color_space = JCS_CMYK;
        break;
    default:
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        d->cinfo.out_color_space = JCS_EXT_BGRX;  // the memory order of QImage::Format_RGB32
#else
        d->cinfo.out_color_space = JCS_EXT_XRGB;
#endif
        break;
    }
    jpeg_calc_output_dimensions(&d->cinfo);
    return true;
}

// Decodes into the rows given; CMYK rows go through `tampon` (4 bytes a pixel) and are converted.
bool lirePixels(Decodeur* d, uchar** lignes, uchar* tampon)
{
    if (setjmp(d->g.saut))
        return false;
    jpeg_start_decompress(&d->cinfo);
    const bool cmyk = d->cinfo.out_color_space == JCS_CMYK;
    const bool inverse = d->cinfo.saw_Adobe_marker;
    const JDIMENSION largeur = d->cinfo.output_width;
    while (d->cinfo.output_scanline < d->cinfo.output_height) {
        const JDIMENSION y = d->cinfo.output_scanline;
        if (!cmyk) {
            if (jpeg_read_scanlines(&d->cinfo, lignes + y, d->cinfo.output_height - y) == 0)
                break;
            continue;
        }
        JSAMPROW ligne = tampon;
        if (jpeg_read_scanlines(&d->cinfo, &ligne, 1) != 1)
            break;
        auto* sortie = reinterpret_cast<quint32*>(lignes[y]);
        for (JDIMENSION x = 0; x < largeur; ++x) {
            int c = tampon[4 * x], m = tampon[4 * x + 1], j = tampon[4 * x + 2], k = tampon[4 * x + 3];
            if (!inverse) {
                c = 255 - c; m = 255 - m; j = 255 - j; k = 255 - k;
            }
            sortie[x] = qRgb(c * k / 255, m * k / 255, j * k / 255);
        }
    }
    jpeg_finish_decompress(&d->cinfo);
    return true;
}

// ---- encoding ---------------------------------------------------------------------------------------

struct Encodeur {
    jpeg_compress_struct cinfo;
    GestionErreurs g;
    unsigned char* sortie = nullptr;
    unsigned long taille = 0;
    bool cree = false;
    ~Encodeur()
    {
        if (cree)
            jpeg_destroy_compress(&cinfo);
        std::free(sortie);
    }
};

bool encoder(Encodeur* e, const QImage* image, bool gris, int qualite, const QByteArray* app1)
{
    if (setjmp(e->g.saut))
        return false;
    jpeg_create_compress(&e->cinfo);
    e->cree = true;
    jpeg_mem_dest(&e->cinfo, &e->sortie, &e->taille);
    e->cinfo.image_width = JDIMENSION(image->width());
    e->cinfo.image_height = JDIMENSION(image->height());
    if (gris) {
        e->cinfo.input_components = 1;
        e->cinfo.in_color_space = JCS_GRAYSCALE;
    } else {
        e->cinfo.input_components = 4;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        e->cinfo.in_color_space = JCS_EXT_BGRX;
#else
        e->cinfo.in_color_space = JCS_EXT_XRGB;
#endif
    }
    jpeg_set_defaults(&e->cinfo);
    jpeg_set_quality(&e->cinfo, qualite, TRUE);
    if (!gris && qualite >= 90) {  // fine qualities keep full colour resolution (4:4:4)
        e->cinfo.comp_info[0].h_samp_factor = 1;
        e->cinfo.comp_info[0].v_samp_factor = 1;
    }
    if (!app1->isEmpty())
        e->cinfo.write_JFIF_header = FALSE;  // an Exif file starts with its APP1 segment
    jpeg_start_compress(&e->cinfo, TRUE);
    if (!app1->isEmpty())
        jpeg_write_marker(&e->cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1->constData()), unsigned(app1->size()));
    while (e->cinfo.next_scanline < e->cinfo.image_height) {
        JSAMPROW ligne = const_cast<JSAMPROW>(image->constScanLine(int(e->cinfo.next_scanline)));
        jpeg_write_scanlines(&e->cinfo, &ligne, 1);
    }
    jpeg_finish_compress(&e->cinfo);
    return true;
}

}  // namespace

QImage lireJpeg(const QByteArray& donnees, QSize tailleMin)
{
    InfoFichier info;
    if (!enteteJpeg(donnees, info))
        echec(err::FichierEndommage, QStringLiteral("fichier JPEG tronqué"));
    // The largest DCT reduction that keeps both sides at least the size asked for.
    int denominateur = 1;
    if (tailleMin.isValid() && !tailleMin.isEmpty()) {
        for (int d : {8, 4, 2}) {
            if ((info.largeur + d - 1) / d >= tailleMin.width() && (info.hauteur + d - 1) / d >= tailleMin.height()) {
                denominateur = d;
                break;
            }
        }
    }
    Decodeur d;
    preparer(d.g);
    d.cinfo.err = &d.g.pub;
    if (!lireEntete(&d, reinterpret_cast<const uchar*>(donnees.constData()), (unsigned long)donnees.size(), denominateur))
        echecJpeg(d.g);
    verifierTaille(d.cinfo.image_width, d.cinfo.image_height);
    const int l = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
    QImage image(l, h, d.cinfo.out_color_space == JCS_GRAYSCALE ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (image.isNull())
        echec(err::FichierTropGrand, QStringLiteral("mémoire insuffisante pour %1 x %2 pixels").arg(l).arg(h));
    QList<uchar*> lignes(h);
    for (int y = 0; y < h; ++y)
        lignes[y] = image.scanLine(y);
    QByteArray tampon;
    if (d.cinfo.out_color_space == JCS_CMYK)
        tampon.resize(qsizetype(l) * 4);
    if (!lirePixels(&d, lignes.data(), reinterpret_cast<uchar*>(tampon.data())))
        echecJpeg(d.g);
    if (d.g.donneesAbimees)
        echecJpeg(d.g);
    return image;
}

QByteArray ecrireJpeg(const QImage& source, bool gris, int qualite, const QByteArray& app1)
{
    const QImage image = gris ? enGris(source) : formeOpaque(source);
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    if (image.width() > 65500 || image.height() > 65500)
        echec(err::EcritureImpossible, QStringLiteral("image trop grande pour JPEG"));
    if (app1.size() > 65533)
        echec(err::EcritureImpossible, QStringLiteral("vignette trop grande (%1 octets)").arg(app1.size()));
    Encodeur e;
    preparer(e.g);
    e.cinfo.err = &e.g.pub;
    if (!encoder(&e, &image, gris, qBound(1, qualite, 100), &app1))
        echec(err::EcritureImpossible, QStringLiteral("JPEG: ") + QString::fromLocal8Bit(e.g.message));
    return QByteArray(reinterpret_cast<const char*>(e.sortie), qsizetype(e.taille));
}

}  // namespace kal::image::interne
