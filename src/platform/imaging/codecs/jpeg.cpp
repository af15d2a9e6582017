// JPEG through libjpeg-turbo: decoding (whole or reduced by DCT scaling) and encoding.
//
// libjpeg reports fatal errors through a callback that must not return: it jumps back with
// longjmp. Every function that calls setjmp below holds only plain data, so the jump skips no
// destructor; the codec state lives in a guard object of the caller.
#include "platform/imaging/codecs/interne.h"

#include "platform/base/erreur.h"
#include "platform/imaging/pixels.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

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

// ---- decoding in bands ------------------------------------------------------------------------------
// A file with restart markers (cameras write them; so do we) is cut at the markers into bands of
// whole rows of blocks, each decoded on its own core as a small JPEG file of its own: the header
// with the band's height, the band's entropy-coded intervals (restart markers renumbered from 0)
// and an end marker. The pixels are those of a decode of the whole file.

struct Bandes {
    int hauteur = 0;                  // full-resolution height
    int hauteurMcu = 0;               // pixels in a row of blocks (MCU)
    int mcusParLigne = 0, lignesMcu = 0, intervalle = 0;
    qsizetype posHauteur = 0;         // the SOF's height field
    qsizetype debutDonnees = 0, finDonnees = 0;
    std::vector<qsizetype> reprises;  // where each restart marker starts (its 0xFF)
};

// The file's layout when it can be decoded in bands: one interleaved sequential Huffman scan with
// a restart interval, every restart marker in place, ended by the end marker.
bool decouper(const QByteArray& donnees, Bandes& b)
{
    const auto* p = reinterpret_cast<const uchar*>(donnees.constData());
    const qsizetype n = donnees.size();
    qsizetype pos = 2;
    int composantes = 0, hmax = 1, vmax = 1, largeur = 0;
    while (true) {
        while (pos < n && p[pos] != 0xFF)
            ++pos;
        while (pos < n && p[pos] == 0xFF)
            ++pos;
        if (pos + 3 > n)
            return false;
        const int marqueur = p[pos++];
        if (marqueur == 0xD8 || marqueur == 0xD9 || marqueur == 0x01 || (marqueur >= 0xD0 && marqueur <= 0xD7))
            return false;
        const int longueur = (p[pos] << 8) | p[pos + 1];
        if (longueur < 2 || pos + longueur > n)
            return false;
        const uchar* s = p + pos + 2;
        if (marqueur == 0xC0 || marqueur == 0xC1) {
            if (composantes || longueur < 8)
                return false;
            composantes = s[5];
            if (composantes < 1 || longueur < 8 + 3 * composantes)
                return false;
            b.hauteur = (s[1] << 8) | s[2];
            largeur = (s[3] << 8) | s[4];
            for (int c = 0; c < composantes; ++c) {
                hmax = std::max(hmax, s[7 + 3 * c] >> 4);
                vmax = std::max(vmax, s[7 + 3 * c] & 15);
            }
            b.posHauteur = pos + 3;
        } else if ((marqueur >= 0xC2 && marqueur <= 0xCF && marqueur != 0xC4 && marqueur != 0xCC) || marqueur == 0xDC) {
            return false;  // progressive, lossless, hierarchical, arithmetic coding, DNL
        } else if (marqueur == 0xDD && longueur == 4) {
            b.intervalle = (s[0] << 8) | s[1];
        } else if (marqueur == 0xDA) {
            if (!composantes || s[0] != composantes)
                return false;
            b.debutDonnees = pos + longueur;
            break;
        }
        pos += longueur;
    }
    if (b.intervalle <= 0 || b.hauteur <= 0 || largeur <= 0)
        return false;
    // A scan of one component has blocks for MCUs, whatever its sampling factors.
    const int mcuL = composantes == 1 ? 8 : 8 * hmax;
    b.hauteurMcu = composantes == 1 ? 8 : 8 * vmax;
    b.mcusParLigne = (largeur + mcuL - 1) / mcuL;
    b.lignesMcu = (b.hauteur + b.hauteurMcu - 1) / b.hauteurMcu;

    // The markers, looked for on every core: in entropy-coded data 0xFF is always followed by 0x00
    // (a data byte), 0xFF (fill) or a marker.
    const qsizetype debut = b.debutDonnees;
    const int morceaux = std::max(1, std::min<int>(int((n - debut) >> 16), int(std::thread::hardware_concurrency())));
    std::vector<std::vector<qsizetype>> trouvees(morceaux);
    std::vector<qsizetype> fins(morceaux, -1);
    enParallele(morceaux, 1, [&](int m0, int m1) {
        for (int m = m0; m < m1; ++m) {
            const qsizetype a = debut + (n - debut) * m / morceaux, z = debut + (n - debut) * (m + 1) / morceaux;
            for (qsizetype i = a; i < z;) {
                const void* f = std::memchr(p + i, 0xFF, size_t(z - i));
                if (!f)
                    break;
                i = static_cast<const uchar*>(f) - p;
                if (i + 1 >= n)
                    break;
                const uchar suivant = p[i + 1];
                if (suivant >= 0xD0 && suivant <= 0xD7) {
                    trouvees[m].push_back(i);
                    i += 2;
                } else if (suivant == 0x00 || suivant == 0xFF) {
                    i += 1;
                } else {
                    fins[m] = i;
                    break;
                }
            }
        }
    });
    b.finDonnees = -1;
    for (int m = 0; m < morceaux && b.finDonnees < 0; ++m) {
        b.reprises.insert(b.reprises.end(), trouvees[m].begin(), trouvees[m].end());
        b.finDonnees = fins[m];
    }
    if (b.finDonnees < 0 || b.finDonnees + 1 >= n || p[b.finDonnees + 1] != 0xD9)
        return false;
    const qint64 mcus = qint64(b.mcusParLigne) * b.lignesMcu;
    if (qint64(b.reprises.size()) != (mcus + b.intervalle - 1) / b.intervalle - 1)
        return false;
    for (size_t k = 0; k < b.reprises.size(); ++k)
        if (p[b.reprises[k] + 1] != 0xD0 + (k & 7))
            return false;
    return true;
}

// One band: rows of blocks [debut, fin) of the file as a small JPEG of their own.
QByteArray fichierBande(const QByteArray& donnees, const Bandes& b, int debut, int fin)
{
    const qint64 i0 = qint64(debut) * b.mcusParLigne / b.intervalle;
    const qint64 i1 = qint64(fin) * b.mcusParLigne / b.intervalle;
    const qsizetype a = i0 == 0 ? b.debutDonnees : b.reprises[size_t(i0 - 1)] + 2;
    const qsizetype z = fin == b.lignesMcu ? b.finDonnees : b.reprises[size_t(i1 - 1)];
    QByteArray f;
    f.reserve(b.debutDonnees + (z - a) + 2);
    f.append(donnees.constData(), b.debutDonnees);
    const int hauteur = std::min(fin * b.hauteurMcu, b.hauteur) - debut * b.hauteurMcu;
    f[b.posHauteur] = char(hauteur >> 8);
    f[b.posHauteur + 1] = char(hauteur & 0xFF);
    f.append(donnees.constData() + a, z - a);
    for (qint64 k = i0; k + 1 < i1; ++k)
        f[b.reprises[size_t(k)] + 1 - a + b.debutDonnees] = char(0xD0 + ((k - i0) & 7));
    f.append("\xFF\xD9", 2);
    return f;
}

// Decodes the bands into `lignes` (the output rows of the whole picture). False when a band
// fails: the caller then decodes the whole file in one, which reports the damage as it is.
bool decoderEnBandes(const QByteArray& donnees, const Bandes& b, int denominateur, bool contexte, J_COLOR_SPACE espace,
                     JDIMENSION largeur, uchar** lignes, int hauteurSortie)
{
    // The cuts: rows of blocks that start a restart interval.
    std::vector<int> coupes;
    for (int r = 0; r <= b.lignesMcu; ++r)
        if (r == b.lignesMcu || (qint64(r) * b.mcusParLigne) % b.intervalle == 0)
            coupes.push_back(r);
    const int coeurs = int(std::max(1u, std::thread::hardware_concurrency()));
    const int nb = std::min<int>(coeurs, int(coupes.size()) - 1);
    if (nb < 2)
        return false;
    // Bands of about equal work: half the entropy-coded bytes, half the rows.
    auto octetsAvant = [&](int r) -> double {
        if (r == b.lignesMcu)
            return double(b.finDonnees - b.debutDonnees);
        const qint64 i = qint64(r) * b.mcusParLigne / b.intervalle;
        return i == 0 ? 0.0 : double(b.reprises[size_t(i - 1)] - b.debutDonnees);
    };
    const double parLigne = octetsAvant(b.lignesMcu) / b.lignesMcu;
    auto cout = [&](int r) { return octetsAvant(r) + r * parLigne; };
    const double total = cout(b.lignesMcu);
    std::vector<size_t> bornes{0};
    for (int k = 1; k < nb; ++k) {
        size_t j = bornes.back() + 1;
        while (j + 1 < coupes.size() && cout(coupes[j]) < total * k / nb)
            ++j;
        if (j + 1 >= coupes.size())
            break;
        bornes.push_back(j);
    }
    bornes.push_back(coupes.size() - 1);
    const int bandes = int(bornes.size()) - 1;
    if (bandes < 2)
        return false;
    const int lignesParMcu = b.hauteurMcu / denominateur;
    std::vector<char> reussie(size_t(bandes), 0);
    enParallele(bandes, 1, [&](int k0, int k1) {
        std::vector<uchar> jetable(size_t(largeur) * 4), tampon(espace == JCS_CMYK ? size_t(largeur) * 4 : 0);
        std::vector<uchar*> locales;
        for (int k = k0; k < k1; ++k) {
            const size_t ja = bornes[size_t(k)], jz = bornes[size_t(k) + 1];
            const int debut = coupes[ja], fin = coupes[jz];
            // With vertical chroma context, one more interval on either side, decoded and left.
            const int avant = contexte && ja > 0 ? coupes[ja - 1] : debut;
            const int apres = contexte && jz + 1 < coupes.size() ? coupes[jz + 1] : fin;
            const QByteArray f = fichierBande(donnees, b, avant, apres);
            Decodeur d;
            if (!lireEntete(&d, reinterpret_cast<const uchar*>(f.constData()), (unsigned long)f.size(), denominateur)
                || d.cinfo.output_width != largeur || d.cinfo.out_color_space != espace)
                return;
            const int premiere = avant * lignesParMcu;  // the band's first output row in the picture
            const int n = int(d.cinfo.output_height);
            if (premiere + n > hauteurSortie)
                return;
            locales.assign(size_t(n), jetable.data());
            for (int j = 0; j < n; ++j) {
                const int y = premiere + j;
                if (y >= debut * lignesParMcu && y < std::min(fin * lignesParMcu, hauteurSortie))
                    locales[size_t(j)] = lignes[y];
            }
            if (!lirePixels(&d, locales.data(), tampon.data()) || d.g.donneesAbimees)
                return;
            reussie[size_t(k)] = 1;
        }
    });
    return std::all_of(reussie.begin(), reussie.end(), [](char c) { return c != 0; });
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

bool encoder(Encodeur* e, const QImage* image, bool gris, int qualite, const QByteArray* app1, bool reprises)
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
    // A restart marker after every row of blocks in large pictures: the file can then be
    // decoded on every core (see above); the pixels are the same.
    if (reprises)
        e->cinfo.restart_in_rows = 1;
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

QImage lireJpeg(const QByteArray& donnees, QSize tailleMin, bool enBandes)
{
    InfoFichier info;
    // The header and its claim against the length, before any picture memory is taken.
    if (!enteteJpeg(donnees, info, donnees.size()))
        echec(err::FichierEndommage, QStringLiteral("fichier JPEG tronqué"));
    Decodeur d;
    ouvrirDecodeur(d, donnees, info, tailleMin);
    const int l = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
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

// ---- the display copy, decoded and resampled row by row ----------------------------------------------
// A file without restart markers is decoded on one core whatever is done: its rows go through a
// ring of a few dozen rows to a second core that resamples them as they come. No picture at the
// decoding's scale is ever held whole, and the resampling is done by the time the last row is.

namespace {

// The decoding's start and one call of jpeg_read_scanlines, behind their own setjmp (plain data
// only, see above). False on a fatal error or lost data (message in d->g).
bool commencer(Decodeur* d)
{
    if (setjmp(d->g.saut))
        return false;
    jpeg_start_decompress(&d->cinfo);
    return true;
}

bool lireLignes(Decodeur* d, JSAMPARRAY lignes, JDIMENSION n, JDIMENSION* lues)
{
    if (setjmp(d->g.saut))
        return false;
    *lues = jpeg_read_scanlines(&d->cinfo, lignes, n);
    return true;
}

bool terminer(Decodeur* d)
{
    if (setjmp(d->g.saut))
        return false;
    jpeg_finish_decompress(&d->cinfo);
    return true;
}

// What the decoding thread and the resampling thread share.
struct Anneau {
    std::mutex m;
    std::condition_variable cv;
    int decodees = 0;   // source rows decoded
    int utile = 0;      // first source row the resampling still needs
    bool arret = false;
    std::exception_ptr erreur;
};

}  // namespace

QImage lireJpegReduite(const QByteArray& donnees, QSize cible)
{
    // The whole decode, then the resampling: pictures already the size asked, grey and CMYK
    // pictures, and large ones with restart markers (decoded in bands on every core).
    const auto entiere = [&] {
        const QImage r = lireJpeg(donnees, cible);
        return r.size() == cible ? enRgb32(r) : reechantillonner(r, cible.width(), cible.height());
    };
    InfoFichier info;
    if (!cible.isValid() || cible.isEmpty() || !enteteJpeg(donnees, info, donnees.size()))
        return entiere();
    Decodeur d;
    ouvrirDecodeur(d, donnees, info, cible);
    const int l = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
    Bandes bandes;
    if (d.cinfo.out_color_space == JCS_GRAYSCALE || d.cinfo.out_color_space == JCS_CMYK || QSize(l, h) == cible
        || (qint64(l) * h >= (qint64(1) << 20) && decouper(donnees, bandes)))
        return entiere();

    ReechantillonnageFlux flux(QSize(l, h), cible);
    // The ring: the rows one target row needs, and room for the decoder to run ahead.
    const int pasLecture = std::max(1, int(d.cinfo.rec_outbuf_height) * 8);
    const int rang = flux.fenetre() + 2 * pasLecture + 16;
    const size_t pas = size_t(l) * 4;
    std::vector<uchar> anneau(pas * size_t(rang));
    const auto ligne = [&](int i) -> uchar* { return anneau.data() + pas * size_t(i % rang); };

    Anneau a;
    std::thread reechantillonnage([&] {
        try {
            int vues = 0;   // rows already offered to the resampling
            std::unique_lock<std::mutex> verrou(a.m);
            while (!flux.fini()) {
                a.cv.wait(verrou, [&] { return a.arret || a.decodees > vues; });
                if (a.arret)
                    return;
                vues = a.decodees;
                verrou.unlock();
                flux.avancer(vues, [&](int i) -> const uint8_t* { return ligne(i); });
                verrou.lock();
                a.utile = flux.premiereUtile();
                a.cv.notify_all();
            }
        } catch (...) {
            std::lock_guard<std::mutex> g(a.m);
            a.erreur = std::current_exception();
            a.arret = true;
            a.cv.notify_all();
        }
    });
    const auto arreter = [&] {
        {
            std::lock_guard<std::mutex> g(a.m);
            a.arret = true;
        }
        a.cv.notify_all();
        reechantillonnage.join();
    };

    bool ok = commencer(&d);
    std::vector<uchar*> lignes(static_cast<size_t>(pasLecture));
    while (ok && int(d.cinfo.output_scanline) < h) {
        const int y = int(d.cinfo.output_scanline);
        const int n = std::min(pasLecture, h - y);
        {
            std::unique_lock<std::mutex> verrou(a.m);
            a.cv.wait(verrou, [&] { return a.arret || y + n - a.utile <= rang; });
            if (a.arret)
                break;
        }
        for (int k = 0; k < n; ++k)
            lignes[size_t(k)] = ligne(y + k);
        JDIMENSION lues = 0;
        ok = lireLignes(&d, lignes.data(), JDIMENSION(n), &lues) && lues > 0;
        {
            std::lock_guard<std::mutex> g(a.m);
            a.decodees = y + int(lues);
        }
        a.cv.notify_all();
    }
    ok = ok && int(d.cinfo.output_scanline) == h && terminer(&d) && !d.g.donneesAbimees;
    if (!ok) {
        arreter();
        if (a.erreur)
            std::rethrow_exception(a.erreur);
        echecJpeg(d.g);
    }
    reechantillonnage.join();
    if (a.erreur)
        std::rethrow_exception(a.erreur);
    return flux.resultat();
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

namespace {

// Where the coded data of an encoder's output starts (after the scan header), and the frame
// header's height field.
bool analyserSortie(const QByteArray& f, qsizetype& debutDonnees, qsizetype& posHauteur)
{
    const auto* p = reinterpret_cast<const uchar*>(f.constData());
    const qsizetype n = f.size();
    posHauteur = -1;
    for (qsizetype pos = 2; pos + 4 <= n;) {
        if (p[pos] != 0xFF)
            return false;
        const int marqueur = p[pos + 1];
        const qsizetype longueur = (p[pos + 2] << 8) | p[pos + 3];
        if (marqueur == 0xC0 || marqueur == 0xC1)
            posHauteur = pos + 5;
        if (marqueur == 0xDA) {
            debutDonnees = pos + 2 + longueur;
            return posHauteur > 0 && debutDonnees + 2 <= n && p[n - 2] == 0xFF && p[n - 1] == 0xD9;
        }
        pos += 2 + longueur;
    }
    return false;
}

// Encoding in bands: with a restart marker after every row of blocks, each interval is coded on
// its own (the DC predictions start again, the bits end on a byte), so bands of rows of blocks
// encoded on separate cores, their coded data joined with the restart markers renumbered in
// sequence, make the very bytes of one encode. Empty when it cannot be done (the caller then
// encodes in one).
QByteArray encoderEnBandes(const QImage& image, bool gris, int qualite, const QByteArray& app1, int hauteurMcu)
{
    const int h = image.height();
    const int lignesMcu = (h + hauteurMcu - 1) / hauteurMcu;
    const int nb = std::min(int(std::max(1u, std::thread::hardware_concurrency())), lignesMcu / 4);
    if (nb < 2)
        return {};
    std::vector<int> debuts(size_t(nb) + 1);
    for (int k = 0; k <= nb; ++k)
        debuts[size_t(k)] = int(qint64(lignesMcu) * k / nb);
    std::vector<QByteArray> sorties(static_cast<size_t>(nb));
    const QByteArray vide;
    enParallele(nb, 1, [&](int k0, int k1) {
        for (int k = k0; k < k1; ++k) {
            const int y0 = debuts[size_t(k)] * hauteurMcu, y1 = std::min(debuts[size_t(k) + 1] * hauteurMcu, h);
            const QImage bande(image.constBits() + qsizetype(y0) * image.bytesPerLine(), image.width(), y1 - y0,
                               image.bytesPerLine(), image.format());  // the rows themselves, not a copy
            Encodeur e;
            preparer(e.g);
            e.cinfo.err = &e.g.pub;
            if (encoder(&e, &bande, gris, qualite, k == 0 ? &app1 : &vide, true))
                sorties[size_t(k)] = QByteArray(reinterpret_cast<const char*>(e.sortie), qsizetype(e.taille));
        }
    });
    qsizetype total = 0;
    for (const QByteArray& s : sorties) {
        if (s.isEmpty())
            return {};
        total += s.size();
    }
    QByteArray f;
    f.reserve(total);
    for (int k = 0; k < nb; ++k) {
        const QByteArray& s = sorties[size_t(k)];
        qsizetype debut = 0, posHauteur = 0;
        if (!analyserSortie(s, debut, posHauteur))
            return {};
        if (k == 0) {
            f.append(s.constData(), debut);
            f[posHauteur] = char(h >> 8);
            f[posHauteur + 1] = char(h & 0xFF);
        }
        const qsizetype ici = f.size();
        f.append(s.constData() + debut, s.size() - 2 - debut);
        // The band's own markers follow its intervals: renumbered from its first row of blocks.
        auto* p = reinterpret_cast<uchar*>(f.data());
        int j = 0;
        for (qsizetype i = ici; i + 1 < f.size(); ++i)
            if (p[i] == 0xFF && p[i + 1] >= 0xD0 && p[i + 1] <= 0xD7)
                p[i + 1] = uchar(0xD0 + ((debuts[size_t(k)] + j++) & 7));
        if (j != debuts[size_t(k) + 1] - debuts[size_t(k)] - 1)
            return {};
        if (k + 1 < nb) {
            f.append(char(0xFF));
            f.append(char(0xD0 + ((debuts[size_t(k) + 1] - 1) & 7)));
        }
    }
    f.append("\xFF\xD9", 2);
    return f;
}

}  // namespace

QByteArray ecrireJpeg(const QImage& source, bool gris, int qualite, const QByteArray& app1, bool enBandes)
{
    const QImage image = gris ? enGris(source) : formeOpaque(source);
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    if (image.width() > 65500 || image.height() > 65500)
        echec(err::EcritureImpossible, QStringLiteral("image trop grande pour JPEG"));
    if (app1.size() > 65533)
        echec(err::EcritureImpossible, QStringLiteral("vignette trop grande (%1 octets)").arg(app1.size()));
    const int q = qBound(1, qualite, 100);
    const bool reprises = qint64(image.width()) * image.height() >= (qint64(1) << 20);
    if (reprises && enBandes) {
        // Rows of blocks: 16 rows in colour at 4:2:0 (qualities below 90), else 8.
        const QByteArray f = encoderEnBandes(image, gris, q, app1, !gris && q < 90 ? 16 : 8);
        if (!f.isEmpty())
            return f;
    }
    Encodeur e;
    preparer(e.g);
    e.cinfo.err = &e.g.pub;
    if (!encoder(&e, &image, gris, q, &app1, reprises))
        echec(err::EcritureImpossible, QStringLiteral("JPEG: ") + QString::fromLocal8Bit(e.g.message));
    return QByteArray(reinterpret_cast<const char*>(e.sortie), qsizetype(e.taille));
}

}  // namespace kal::image::interne
