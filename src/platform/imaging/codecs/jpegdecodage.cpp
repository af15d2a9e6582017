// JPEG decoding through libjpeg-turbo: the error handling, the decoder, and the whole picture
// (at full size or reduced by DCT scaling). Large files with restart markers are decoded in bands
// by jpegparallele.cpp, large ones without them on every core by jpegentropie.cpp. Functions that call setjmp hold only plain data (see jpeginterne.h).
#include "platform/imaging/codecs/jpeginterne.h"

#include "platform/base/erreur.h"
#include "platform/imaging/pixels.h"

#include <vector>

namespace kal::image::interne {

namespace {

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
        ++g->pub.num_warnings;
        if (c == JWRN_JPEG_EOF || c == JWRN_HIT_MARKER || c == JWRN_HUFF_BAD_CODE || c == JWRN_ARITH_BAD_CODE) {
            // Lost picture data: stop here rather than fill the rest of the picture with grey
            // (a file that claims a large picture and stops early would cost its whole size).
            (*cinfo->err->format_message)(cinfo, g->message);
            g->donneesAbimees = true;
            std::longjmp(g->saut, 1);
        }
    }
}

extern "C" void sortieSilencieuse(j_common_ptr) {}

}  // namespace

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
    // The decoder's own texts are English: the user reads what happened in French, the decoder's
    // code number kept for whoever mends the file.
    const int code = g.donneesAbimees ? g.pub.msg_code : g.codeFatal;
    const QString numero = QStringLiteral(" (code %1 du décodeur JPEG)").arg(code);
    if (g.codeFatal == JERR_OUT_OF_MEMORY || g.codeFatal == JERR_IMAGE_TOO_BIG)
        echec(err::FichierTropGrand, QStringLiteral("image JPEG trop grande pour la mémoire") + numero);
    if (g.codeFatal == JERR_BAD_PRECISION || g.codeFatal == JERR_CONVERSION_NOTIMPL)
        echec(err::FormatNonPris, QStringLiteral("variante de JPEG non prise en charge") + numero);
    if (g.donneesAbimees && code == JWRN_JPEG_EOF)
        echec(err::FichierEndommage, QStringLiteral("fichier JPEG coupé avant la fin de l'image"));
    echec(err::FichierEndommage, QStringLiteral("données de l'image JPEG endommagées") + numero);
}

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

// The decoder on the file's header, at the scale that still gives at least `tailleMin`; a
// damaged header or a picture too large to hold is refused.
void ouvrirDecodeur(Decodeur& d, const QByteArray& donnees, const InfoFichier& info, QSize tailleMin)
{
    const int denominateur = denominateurJpeg(QSize(info.largeur, info.hauteur), tailleMin);
    if (!lireEntete(&d, reinterpret_cast<const uchar*>(donnees.constData()), (unsigned long)donnees.size(), denominateur))
        echecJpeg(d.g);
    verifierTaille(d.cinfo.image_width, d.cinfo.image_height);
}

// Whether the chroma is enlarged with the rows above and below as context (then a band decoded
// alone needs one row of blocks more on either side to give the rows at its edges exactly).
bool upsamplingVertical(const jpeg_decompress_struct& c)
{
    for (int i = 0; i < c.num_components; ++i)
        if (c.comp_info[i].v_samp_factor * c.comp_info[i].DCT_scaled_size != c.max_v_samp_factor * c.min_DCT_scaled_size)
            return true;
    return false;
}

namespace {

void cmykVersRgb(const uchar* tampon, quint32* sortie, JDIMENSION largeur, bool inverse)
{
    for (JDIMENSION x = 0; x < largeur; ++x) {
        int c = tampon[4 * x], m = tampon[4 * x + 1], j = tampon[4 * x + 2], k = tampon[4 * x + 3];
        if (!inverse) {
            c = 255 - c; m = 255 - m; j = 255 - j; k = 255 - k;
        }
        sortie[x] = qRgb(c * k / 255, m * k / 255, j * k / 255);
    }
}

}  // namespace

// Decodes into the rows given (one pointer per output row); CMYK rows go through `tampon`
// (4 bytes a pixel) and are converted.
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
        cmykVersRgb(tampon, reinterpret_cast<quint32*>(lignes[y]), largeur, inverse);
    }
    jpeg_finish_decompress(&d->cinfo);
    return true;
}

QImage lireJpeg(const QByteArray& donnees, QSize tailleMin, bool enBandes)
{
    InfoFichier info;
    // The header and its claim against the length, before any picture memory is taken.
    if (!enteteJpeg(donnees, info, donnees.size()))
        echec(err::FichierEndommage, QStringLiteral("fichier JPEG tronqué"));
    Decodeur d;
    ouvrirDecodeur(d, donnees, info, tailleMin);
    const int l = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
    // A large file without restart markers at full size: its coded data read on every core.
    if (enBandes && d.cinfo.scale_denom == 1) {
        QImage r = lireSurTousLesCoeurs(donnees, d.cinfo);
        if (!r.isNull())
            return r;
    }
    QImage image;
    try {
        image = nouvelleImage(l, h, d.cinfo.out_color_space == JCS_GRAYSCALE ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    } catch (const Erreur&) {
        echec(err::FichierTropGrand, QStringLiteral("mémoire insuffisante pour %1 x %2 pixels").arg(l).arg(h));
    }
    std::vector<uchar*> lignes(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        lignes[size_t(y)] = image.scanLine(y);
    // Large pictures with restart markers: in bands, on every core.
    Bandes bandes;
    if (enBandes && qint64(l) * h >= (qint64(1) << 20) && decouper(donnees, bandes)
        && decoderEnBandes(donnees, bandes, int(d.cinfo.scale_denom), upsamplingVertical(d.cinfo), d.cinfo.out_color_space,
                           d.cinfo.output_width, lignes.data(), h))
        return image;
    std::vector<uchar> tampon(d.cinfo.out_color_space == JCS_CMYK ? size_t(l) * 4 : 0);
    if (!lirePixels(&d, lignes.data(), tampon.data()) || d.g.donneesAbimees)
        echecJpeg(d.g);
    return image;
}

int denominateurJpeg(QSize taille, QSize tailleMin)
{
    // The largest DCT reduction that keeps both sides at least the size asked for.
    if (tailleMin.isValid() && !tailleMin.isEmpty())
        for (int d : {8, 4, 2})
            if ((taille.width() + d - 1) / d >= tailleMin.width() && (taille.height() + d - 1) / d >= tailleMin.height())
                return d;
    return 1;
}

}  // namespace kal::image::interne
