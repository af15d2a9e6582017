// TIFF read by libtiff, from memory (or, for the header alone, from an open file), the first
// directory only. Integer samples of grey, RGB and CMYK pictures, in any layout (one plane or
// one per sample, strips or tiles) and any depth up to 32 bits, are read as the file stores them
// and scaled here, on the threads of the pixel work's pool; every other kind (palettes, fewer
// than 8 bits, YCbCr, JPEG-coded colour, CIE L*a*b*, ...) goes through libtiff's RGBA interface.
// Both give the picture as stored; the Orientation tag is applied afterwards. A row, strip or
// tile that libtiff cannot give is left fully transparent. libtiff's own messages never reach
// stderr: they are kept and turned into a French cause.
#include "platform/imaging/codecs/interne.h"
#include "platform/imaging/pixels.h"
#include "platform/imaging/pixelsinternes.h"

#include <QIODevice>
#include <QMutex>

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace kal::image::interne {

namespace {

// ---- the file as libtiff sees it -----------------------------------------------------------------

// Where libtiff reads: bytes in memory (mapped, so strips are decoded in place), or a device.
struct Flux {
    const char* octets = nullptr;
    qint64 taille = 0;
    QIODevice* appareil = nullptr;
    qint64 pos = 0;
};

tmsize_t lire(thandle_t h, void* tampon, tmsize_t n)
{
    auto* f = static_cast<Flux*>(h);
    if (f->appareil) {
        if (!f->appareil->seek(f->pos))
            return 0;
        const qint64 lu = f->appareil->read(static_cast<char*>(tampon), n);
        if (lu > 0)
            f->pos += lu;
        return tmsize_t(std::max<qint64>(lu, 0));
    }
    const qint64 k = std::clamp<qint64>(f->taille - f->pos, 0, n);
    if (k > 0)
        std::memcpy(tampon, f->octets + f->pos, size_t(k));
    f->pos += k;
    return tmsize_t(k);
}

tmsize_t ecrire(thandle_t, void*, tmsize_t) { return 0; }

toff_t placer(thandle_t h, toff_t o, int depuis)
{
    auto* f = static_cast<Flux*>(h);
    const qint64 taille = f->appareil ? f->appareil->size() : f->taille;
    const qint64 base = depuis == SEEK_CUR ? f->pos : depuis == SEEK_END ? taille : 0;
    f->pos = base + qint64(o);
    return toff_t(f->pos);
}

int fermer(thandle_t) { return 0; }
toff_t longueur(thandle_t h)
{
    auto* f = static_cast<Flux*>(h);
    return toff_t(f->appareil ? f->appareil->size() : f->taille);
}

int projeter(thandle_t h, void** base, toff_t* taille)
{
    auto* f = static_cast<Flux*>(h);
    if (f->appareil)
        return 0;
    *base = const_cast<char*>(f->octets);
    *taille = toff_t(f->taille);
    return 1;
}

void oublier(thandle_t, void*, toff_t) {}

// libtiff's messages for one handle: the first error is kept for the French cause.
struct Journal {
    QMutex verrou;
    QByteArray erreur;
};

int surErreur(TIFF*, void* u, const char*, const char* fmt, va_list ap)
{
    auto* j = static_cast<Journal*>(u);
    char texte[512];
    std::vsnprintf(texte, sizeof texte, fmt, ap);
    QMutexLocker garde(&j->verrou);
    if (j->erreur.isEmpty())
        j->erreur = texte;
    return 1;  // handled: nothing goes to stderr
}

int surAvertissement(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct Fermeture {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

// One handle on the file with its own position; several can read the same bytes at once.
struct Poignee {
    Flux flux;
    std::unique_ptr<TIFF, Fermeture> tiff;
    Poignee(const Flux& source, Journal& journal) : flux(source)
    {
        flux.pos = 0;
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        // libtiff's own wall against a directory or strip asking for absurd memory.
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(pixelsMax) * 8);
        TIFFOpenOptionsSetErrorHandlerExtR(options, surErreur, &journal);
        TIFFOpenOptionsSetWarningHandlerExtR(options, surAvertissement, &journal);
        tiff.reset(TIFFClientOpenExt("TIFF", "r", &flux, lire, ecrire, placer, fermer, longueur, projeter, oublier, options));
        TIFFOpenOptionsFree(options);
    }
    TIFF* operator*() const { return tiff.get(); }
};

// Messages given before a handle exists go to the global handlers: silenced once.
void silencer()
{
    static const bool fait = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)fait;
}

// ---- French causes -------------------------------------------------------------------------------

bool contient(const QByteArray& a, const char* b) { return a.contains(b); }

// What stops the reading, in French, from libtiff's first error.
QString cause(const QByteArray& e)
{
    if (contient(e, "Not a TIFF") || contient(e, "bad magic") || contient(e, "header"))
        return QStringLiteral("en-tête TIFF illisible");
    if (contient(e, "directory") || contient(e, "Directory") || contient(e, "IFD"))
        return QStringLiteral("répertoire TIFF illisible ou hors du fichier");
    if (contient(e, "required") || contient(e, "missing"))
        return QStringLiteral("un champ obligatoire manque au répertoire TIFF");
    if (contient(e, "Read error") || contient(e, "Not enough data") || contient(e, "short") || contient(e, "Premature"))
        return QStringLiteral("fichier TIFF coupé avant la fin des données de l'image");
    if (contient(e, "not configured") || contient(e, "not implemented") || contient(e, "Sorry") || contient(e, "unsupported"))
        return QStringLiteral("codage TIFF non pris en charge");
    if (contient(e, "emory") || contient(e, "exceeds") || contient(e, "too large"))
        return QStringLiteral("mémoire demandée par le fichier TIFF hors des limites");
    return QStringLiteral("données de l'image TIFF endommagées");
}

QString nomCompression(int c)
{
    switch (c) {
    case COMPRESSION_NONE: return QStringLiteral("sans compression");
    case COMPRESSION_CCITTRLE: case COMPRESSION_CCITTFAX3: case COMPRESSION_CCITTFAX4: return QStringLiteral("codage de télécopie");
    case COMPRESSION_LZW: return QStringLiteral("compression LZW");
    case COMPRESSION_OJPEG: case COMPRESSION_JPEG: return QStringLiteral("compression JPEG");
    case COMPRESSION_ADOBE_DEFLATE: case COMPRESSION_DEFLATE: return QStringLiteral("compression Deflate");
    case COMPRESSION_PACKBITS: return QStringLiteral("compression PackBits");
    default: return QStringLiteral("compression n° %1").arg(c);
    }
}

// Refuses the file with the cause of libtiff's first error; `compression` (>= 0) names the
// coding of the pixels when they are what failed.
[[noreturn]] void refus(const Journal& j, int compression = -1)
{
    const QString c = cause(j.erreur);
    if (c.startsWith(QStringLiteral("codage")))
        echec(err::FormatNonPris, compression >= 0 ? QStringLiteral("TIFF en ") + nomCompression(compression) + QStringLiteral(", non prise en charge") : c);
    if (compression >= 0 && c.startsWith(QStringLiteral("données")))
        echec(err::FichierEndommage, c + QStringLiteral(" (") + nomCompression(compression) + QLatin1Char(')'));
    echec(err::FichierEndommage, c);
}

// ---- what the directory says ---------------------------------------------------------------------

struct Description {
    quint32 largeur = 0, hauteur = 0;
    int bits = 1, echantillons = 1, photometrie = PHOTOMETRIC_MINISBLACK, plans = PLANARCONFIG_CONTIG;
    int format = SAMPLEFORMAT_UINT, orientation = ORIENTATION_TOPLEFT, compression = COMPRESSION_NONE;
    bool tuiles = false;
    quint32 lignesBande = 0, largeurTuile = 0, hauteurTuile = 0;
    int couleurs = 0;  // colour samples read here: 1 grey, 3 RGB, 4 CMYK; 0: the RGBA interface
    int alpha = 0;     // 0 none, EXTRASAMPLE_ASSOCALPHA or EXTRASAMPLE_UNASSALPHA
};

Description decrire(TIFF* t)
{
    Description d;
    quint16 v16 = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &d.largeur);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &d.hauteur);
    if (TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &v16)) d.bits = v16;
    if (TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &v16)) d.echantillons = v16;
    if (TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &v16)) d.photometrie = v16;
    else d.photometrie = d.echantillons >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &v16)) d.plans = v16;
    if (TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &v16)) d.format = v16;
    if (TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &v16)) d.orientation = v16;
    if (TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &v16)) d.compression = v16;
    d.tuiles = TIFFIsTiled(t);
    if (d.tuiles) {
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &d.largeurTuile);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &d.hauteurTuile);
    } else {
        TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &d.lignesBande);
        if (d.lignesBande == 0 || d.lignesBande > d.hauteur)
            d.lignesBande = d.hauteur;
    }
    if (d.orientation < 1 || d.orientation > 8)
        d.orientation = ORIENTATION_TOPLEFT;
    // Integer samples of grey, RGB or CMYK are read here; the rest by the RGBA interface.
    int couleurs = 0;
    quint16 encre = INKSET_CMYK;
    TIFFGetFieldDefaulted(t, TIFFTAG_INKSET, &encre);
    if (d.photometrie == PHOTOMETRIC_MINISBLACK || d.photometrie == PHOTOMETRIC_MINISWHITE)
        couleurs = 1;
    else if (d.photometrie == PHOTOMETRIC_RGB)
        couleurs = 3;
    else if (d.photometrie == PHOTOMETRIC_SEPARATED && encre == INKSET_CMYK)
        couleurs = 4;
    const bool entiers = d.format == SAMPLEFORMAT_UINT || d.format == SAMPLEFORMAT_VOID;
    if (couleurs && entiers && d.bits >= 8 && d.bits <= 32 && d.echantillons >= couleurs && d.echantillons <= 64
        && d.compression != COMPRESSION_OJPEG && (d.plans == PLANARCONFIG_CONTIG || d.plans == PLANARCONFIG_SEPARATE))
        d.couleurs = couleurs;
    // The first extra sample is the transparency as the RGBA interface takes it: an unspecified
    // one counts as associated alpha when it follows three or more samples.
    quint16 extras = 0;
    quint16* genres = nullptr;
    if (TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extras, &genres) && extras >= 1 && genres) {
        if (genres[0] == EXTRASAMPLE_ASSOCALPHA || genres[0] == EXTRASAMPLE_UNASSALPHA)
            d.alpha = genres[0];
        else if (genres[0] == EXTRASAMPLE_UNSPECIFIED && d.echantillons > 3)
            d.alpha = EXTRASAMPLE_ASSOCALPHA;
    }
    if (d.couleurs == 4 || (d.couleurs && d.echantillons <= d.couleurs))
        d.alpha = 0;  // the RGBA interface ignores a CMYK picture's extra samples
    return d;
}

// The most a compression can shrink the pixels (a safe bound; 0 when none is known).
double tauxMaximal(int compression)
{
    switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 64;     // 128 bytes at most in 2
    case COMPRESSION_LZW: return 4096;        // a 9-bit code gives at most a table entry of about 4,000 bytes
    case COMPRESSION_ADOBE_DEFLATE: case COMPRESSION_DEFLATE: return 1032;
    case COMPRESSION_JPEG: case COMPRESSION_OJPEG: return 1024;  // at least 2 bits a block of 64 samples
    default: return 0;
    }
}

// The sizes against the limits, and the pieces as libtiff will read them (its own estimate when
// the directory's byte counts are bogus) against what they claim to hold: refused when no piece
// begins in the file, or when the pieces given could not hold their rows even at the
// compression's best. A piece without bytes, or running past the end of the file (a cut file), is
// read as far as it goes.
void verifier(TIFF* t, const Description& d, qint64 longueurFichier)
{
    verifierTaille(d.largeur, d.hauteur);
    if (d.bits < 1 || d.bits > 64 || d.echantillons < 1)
        echec(err::FichierEndommage, QStringLiteral("TIFF de %1 bits par échantillon et %2 échantillons par pixel").arg(d.bits).arg(d.echantillons));
    const quint32 pieces = d.tuiles ? TIFFNumberOfTiles(t) : TIFFNumberOfStrips(t);
    const double ligne = double(TIFFScanlineSize64(t)), tuile = double(TIFFTileSize64(t));
    const quint32 bandesParPlan = d.tuiles ? 1 : std::max<quint32>(1, (d.hauteur + d.lignesBande - 1) / d.lignesBande);
    double donnees = 0, attendu = 0;
    bool dedans = false;
    for (quint32 i = 0; i < pieces; ++i) {
        const quint64 o = TIFFGetStrileOffset(t, i), n = TIFFGetStrileByteCount(t, i);
        if (n == 0)
            continue;
        donnees += double(n);
        const quint32 y0 = (i % bandesParPlan) * d.lignesBande;
        attendu += d.tuiles ? tuile : ligne * (y0 < d.hauteur ? std::min(d.lignesBande, d.hauteur - y0) : 0);
        dedans = dedans || (o > 0 && o < quint64(longueurFichier));
    }
    if (!dedans)
        echec(err::FichierEndommage, QStringLiteral("fichier TIFF sans données de l'image (ou coupé avant elles)"));
    const double taux = tauxMaximal(d.compression);
    const bool fax = d.compression == COMPRESSION_CCITTRLE || d.compression == COMPRESSION_CCITTFAX3 || d.compression == COMPRESSION_CCITTFAX4;
    if ((fax && donnees * 8 < double(d.hauteur)) || (!fax && taux > 0 && donnees * taux < attendu))
        echec(err::FichierEndommage, QStringLiteral("fichier TIFF trop court pour une image de %1 x %2 pixels").arg(d.largeur).arg(d.hauteur));
}

Description ouvrirEtVerifier(const Flux& flux, qint64 longueurFichier, InfoFichier& info, Journal& journal,
                             std::unique_ptr<Poignee>& poignee)
{
    silencer();
    poignee = std::make_unique<Poignee>(flux, journal);
    if (!**poignee)
        refus(journal);
    const Description d = decrire(**poignee);
    verifier(**poignee, d, longueurFichier);
    const bool tourne = d.orientation >= ORIENTATION_LEFTTOP;
    info.largeur = int(tourne ? d.hauteur : d.largeur);
    info.hauteur = int(tourne ? d.largeur : d.hauteur);
    info.bitsParPixel = d.bits * d.echantillons;
    return d;
}

// ---- samples read here ----------------------------------------------------------------------------

// Sample i of a row as libtiff gives it: 8, 16 and 32 bits in the machine's order, 24 bits too
// (libtiff swaps them), other depths packed from the most significant bit.
inline quint32 echantillon(const uchar* ligne, qint64 i, int bits)
{
    switch (bits) {
    case 8: return ligne[i];
    case 16: { quint16 v; std::memcpy(&v, ligne + 2 * i, 2); return v; }
    case 32: { quint32 v; std::memcpy(&v, ligne + 4 * i, 4); return v; }
    case 24: {
        const uchar* p = ligne + 3 * i;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16);
#else
        return (quint32(p[0]) << 16) | (quint32(p[1]) << 8) | quint32(p[2]);
#endif
    }
    default: {
        const quint64 bit = quint64(i) * bits;
        const uchar* p = ligne + bit / 8;
        const int decalage = int(bit % 8);
        quint64 v = 0;
        for (int k = 0; k < (decalage + bits + 7) / 8; ++k)
            v = (v << 8) | p[k];
        return quint32((v >> ((8 - (decalage + bits) % 8) % 8)) & ((quint64(1) << bits) - 1));
    }
    }
}

struct Lecture {
    const Description& d;
    EchelleCanal echelle;  // n-bit samples to 8 bits
    int plansLus;        // separate planes read (colours and alpha), or 1
    bool sortieGrise;    // Grayscale8 out
};

// n pixels from the rows of samples of each plane (from pixel x0 of those rows) into `sortie`.
void convertir(const Lecture& l, const uchar* const* plans, int x0, int n, uchar* sortie)
{
    const Description& d = l.d;
    const bool separe = d.plans == PLANARCONFIG_SEPARATE;
    const int pas = separe ? 1 : d.echantillons;
    const quint32 max = l.echelle.maximum();
    auto ech = [&](int c, int x) -> quint32 {
        return separe ? echantillon(plans[c], x0 + x, d.bits) : echantillon(plans[0], qint64(x0 + x) * pas + c, d.bits);
    };
    const bool blanc = d.photometrie == PHOTOMETRIC_MINISWHITE;
    if (l.sortieGrise) {
        for (int x = 0; x < n; ++x) {
            const quint32 v = ech(0, x);
            sortie[x] = l.echelle(blanc ? max - v : v);
        }
        return;
    }
    auto* px = reinterpret_cast<QRgb*>(sortie);
    const bool alpha = d.alpha != 0;
    const bool associe = d.alpha == EXTRASAMPLE_ASSOCALPHA;
    for (int x = 0; x < n; ++x) {
        quint32 a = alpha ? ech(d.couleurs, x) : max;
        // Associated alpha: the colours were multiplied by it.
        auto couleur = [&](quint32 v) -> uchar {
            if (associe)
                v = a ? quint32(std::min<quint64>(max, (quint64(v) * max + a / 2) / a)) : 0;
            return l.echelle(v);
        };
        int r, g, b;
        if (d.couleurs == 1) {
            quint32 v = ech(0, x);
            r = g = b = couleur(blanc ? max - v : v);
        } else if (d.couleurs == 3) {
            r = couleur(ech(0, x));
            g = couleur(ech(1, x));
            b = couleur(ech(2, x));
        } else {  // CMYK turned to RGB as the RGBA interface turns its 8-bit inks
            const int k = 255 - l.echelle(ech(3, x));
            r = k * (255 - l.echelle(ech(0, x))) / 255;
            g = k * (255 - l.echelle(ech(1, x))) / 255;
            b = k * (255 - l.echelle(ech(2, x))) / 255;
        }
        px[x] = qRgba(r, g, b, alpha ? l.echelle(a) : 255);
    }
}

// Rectangles of the stored picture that libtiff could not give.
struct Manques {
    QMutex verrou;
    std::vector<QRect> zones;
    void ajouter(const QRect& r)
    {
        QMutexLocker garde(&verrou);
        zones.push_back(r);
    }
};

// The picture's strips or tiles, read on the pool's threads, each chunk through handles of its
// own (one per plane, so that each plane is decoded straight through).
void lireEchantillons(const Flux& flux, const Description& d, QImage& image, Manques& manques, Journal& journal)
{
    Lecture l{d, EchelleCanal(d.bits), d.plans == PLANARCONFIG_SEPARATE ? d.couleurs + (d.alpha ? 1 : 0) : 1,
              image.format() == QImage::Format_Grayscale8};
    const int octetsPixel = l.sortieGrise ? 1 : 4;
    const Lignes sortie = lignes(image);
    const int largeur = int(d.largeur), hauteur = int(d.hauteur);
    auto ouvrirPlans = [&](std::vector<std::unique_ptr<Poignee>>& p) {
        for (int c = 0; c < l.plansLus; ++c) {
            p.push_back(std::make_unique<Poignee>(flux, journal));
            if (!*(*p.back()))
                refus(journal);
        }
    };
    if (!d.tuiles) {
        const int rps = int(d.lignesBande);
        const int bandes = (hauteur + rps - 1) / rps;
        // Chunks of about 64 rows at least: each opens its own handles.
        enParallele(bandes, std::max(1, 64 / rps), [&](int b0, int b1) {
            std::vector<std::unique_ptr<Poignee>> p;
            ouvrirPlans(p);
            const tmsize_t taille = TIFFScanlineSize(**p[0]);
            std::vector<std::vector<uchar>> tampons(size_t(l.plansLus), std::vector<uchar>(size_t(std::max<tmsize_t>(taille, 1))));
            std::vector<const uchar*> plans(size_t(l.plansLus));
            for (int c = 0; c < l.plansLus; ++c)
                plans[size_t(c)] = tampons[size_t(c)].data();
            for (int b = b0; b < b1; ++b) {
                const int y0 = b * rps, y1 = std::min(hauteur, y0 + rps);
                for (int y = y0; y < y1; ++y) {
                    bool lue = true;
                    for (int c = 0; c < l.plansLus && lue; ++c)
                        lue = TIFFReadScanline(**p[size_t(c)], tampons[size_t(c)].data(), quint32(y), quint16(c)) == 1;
                    if (!lue) {  // the rest of this strip cannot be read after a bad row
                        manques.ajouter(QRect(0, y, largeur, y1 - y));
                        break;
                    }
                    convertir(l, plans.data(), 0, largeur, sortie(y));
                }
            }
        });
        return;
    }
    const int lt = int(d.largeurTuile), ht = int(d.hauteurTuile);
    const int colonnes = (largeur + lt - 1) / lt, rangees = (hauteur + ht - 1) / ht;
    enParallele(rangees, std::max(1, 64 / ht), [&](int r0, int r1) {
        std::vector<std::unique_ptr<Poignee>> p;
        ouvrirPlans(p);
        const tmsize_t taille = TIFFTileSize(**p[0]);
        const tmsize_t ligneTuile = TIFFTileRowSize(**p[0]);
        std::vector<std::vector<uchar>> tampons(size_t(l.plansLus), std::vector<uchar>(size_t(std::max<tmsize_t>(taille, 1))));
        std::vector<const uchar*> plans(size_t(l.plansLus));
        for (int r = r0; r < r1; ++r)
            for (int c = 0; c < colonnes; ++c) {
                const int x0 = c * lt, y0 = r * ht;
                const int l0 = std::min(lt, largeur - x0), h0 = std::min(ht, hauteur - y0);
                bool lue = true;
                for (int k = 0; k < l.plansLus && lue; ++k)
                    lue = TIFFReadTile(**p[size_t(k)], tampons[size_t(k)].data(), quint32(x0), quint32(y0), 0, quint16(k)) >= 0;
                if (!lue) {
                    manques.ajouter(QRect(x0, y0, l0, h0));
                    continue;
                }
                for (int y = 0; y < h0; ++y) {
                    for (int k = 0; k < l.plansLus; ++k)
                        plans[size_t(k)] = tampons[size_t(k)].data() + qsizetype(y) * ligneTuile;
                    convertir(l, plans.data(), 0, l0, sortie(y0 + y) + qsizetype(x0) * octetsPixel);
                }
            }
    });
}

// ---- the RGBA interface -----------------------------------------------------------------------------

struct FinRgba {
    void operator()(TIFFRGBAImage* i) const { TIFFRGBAImageEnd(i); }
};

// Every other kind, strip by strip (a tile row by tile row, then tile by tile where a row fails),
// as stored: libtiff's own flips are turned off and the orientation applied afterwards.
QImage lireRgba(TIFF* t, const Description& d, Manques& manques)
{
    char message[1024] = {};
    TIFFRGBAImage img{};
    if (!TIFFRGBAImageOK(t, message) || !TIFFRGBAImageBegin(&img, t, 1, message)) {
        echec(err::FormatNonPris, QStringLiteral("TIFF de %1 bits par échantillon, %2 échantillons par pixel, interprétation "
                                                 "photométrique %3, format d'échantillon %4 : non pris en charge")
                                      .arg(d.bits).arg(d.echantillons).arg(d.photometrie).arg(d.format));
    }
    std::unique_ptr<TIFFRGBAImage, FinRgba> fin(&img);
    img.req_orientation = ORIENTATION_TOPLEFT;
    img.orientation = ORIENTATION_TOPLEFT;
    const int largeur = int(d.largeur), hauteur = int(d.hauteur);
    // Bytes R, G, B, A: the interface's packing of its 32-bit values on this machine.
    QImage image = nouvelleImage(largeur, hauteur, QImage::Format_RGBA8888_Premultiplied);
    auto* raster = reinterpret_cast<uint32_t*>(image.bits());
    auto bande = [&](int y0, int x0, int l, int h, uint32_t* cible) {
        img.row_offset = y0;
        img.col_offset = x0;
        return TIFFRGBAImageGet(&img, cible, quint32(l), quint32(h)) != 0;
    };
    const int pas = d.tuiles ? int(d.hauteurTuile) : int(d.lignesBande);
    std::vector<uint32_t> tuile;
    for (int y0 = 0; y0 < hauteur; y0 += pas) {
        const int h = std::min(pas, hauteur - y0);
        if (bande(y0, 0, largeur, h, raster + qsizetype(y0) * largeur))
            continue;
        if (!d.tuiles) {
            manques.ajouter(QRect(0, y0, largeur, h));
            continue;
        }
        const int lt = int(d.largeurTuile);
        tuile.resize(size_t(lt) * size_t(h));
        for (int x0 = 0; x0 < largeur; x0 += lt) {
            const int l = std::min(lt, largeur - x0);
            if (!bande(y0, x0, l, h, tuile.data())) {
                manques.ajouter(QRect(x0, y0, l, h));
                continue;
            }
            for (int y = 0; y < h; ++y)
                std::memcpy(raster + qsizetype(y0 + y) * largeur + x0, tuile.data() + qsizetype(y) * l, size_t(l) * 4);
        }
    }
    const bool alpha = img.alpha != 0;
    // R and B exchanged in place: the layer's ARGB32 / RGB32 form.
    enParallele(hauteur, 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            uint32_t* px = raster + qsizetype(y) * largeur;
            for (int x = 0; x < largeur; ++x) {
                const uint32_t v = px[x];
                px[x] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16) | (alpha ? 0 : 0xFF000000u);
            }
        }
    });
    if (!alpha) {
        image.reinterpretAsFormat(QImage::Format_RGB32);
        // A grey picture of fewer than 8 bits, or with a grey palette, is given as grey.
        quint16 *r = nullptr, *g = nullptr, *b = nullptr;
        bool gris = d.photometrie == PHOTOMETRIC_MINISBLACK || d.photometrie == PHOTOMETRIC_MINISWHITE;
        if (d.photometrie == PHOTOMETRIC_PALETTE && d.bits <= 16 && TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b)) {
            gris = true;
            for (int i = 0; i < (1 << d.bits) && gris; ++i)
                gris = r[i] == g[i] && g[i] == b[i];
        }
        return gris && manques.zones.empty() ? enGris(image) : image;
    }
    image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return image.convertToFormat(QImage::Format_ARGB32);
}

// ---- orientation ------------------------------------------------------------------------------------

template <typename P>
void orienterPixels(const QImage& source, QImage& sortie, int orientation)
{
    const int l = source.width(), h = source.height();
    const int ls = sortie.width();
    const uchar* base = source.constBits();
    const qsizetype pas = source.bytesPerLine();
    auto in = [&](int x, int y) { return reinterpret_cast<const P*>(base + y * pas)[x]; };
    const Lignes s = lignes(sortie);
    enParallele(sortie.height(), 32, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            P* o = reinterpret_cast<P*>(s(y));
            for (int x = 0; x < ls; ++x) {
                switch (orientation) {
                case ORIENTATION_TOPRIGHT: o[x] = in(l - 1 - x, y); break;
                case ORIENTATION_BOTRIGHT: o[x] = in(l - 1 - x, h - 1 - y); break;
                case ORIENTATION_BOTLEFT: o[x] = in(x, h - 1 - y); break;
                case ORIENTATION_LEFTTOP: o[x] = in(y, x); break;
                case ORIENTATION_RIGHTTOP: o[x] = in(y, h - 1 - x); break;
                case ORIENTATION_RIGHTBOT: o[x] = in(l - 1 - y, h - 1 - x); break;
                default: o[x] = in(l - 1 - y, x); break;  // left, bottom
                }
            }
        }
    });
}

// The picture as it is to be seen: rows and columns as the Orientation tag says.
QImage orienter(const QImage& source, int orientation)
{
    if (orientation == ORIENTATION_TOPLEFT)
        return source;
    const bool tourne = orientation >= ORIENTATION_LEFTTOP;
    QImage sortie = nouvelleImage(tourne ? source.height() : source.width(), tourne ? source.width() : source.height(), source.format());
    if (source.depth() == 8)
        orienterPixels<uchar>(source, sortie, orientation);
    else
        orienterPixels<QRgb>(source, sortie, orientation);
    return sortie;
}

Flux fluxMemoire(const QByteArray& donnees) { return Flux{donnees.constData(), donnees.size(), nullptr, 0}; }

}  // namespace

void enteteTiff(const QByteArray& donnees, InfoFichier& info)
{
    Journal journal;
    std::unique_ptr<Poignee> p;
    ouvrirEtVerifier(fluxMemoire(donnees), donnees.size(), info, journal, p);
}

void enteteTiffAppareil(QIODevice* appareil, InfoFichier& info)
{
    Journal journal;
    std::unique_ptr<Poignee> p;
    ouvrirEtVerifier(Flux{nullptr, 0, appareil, 0}, appareil->size(), info, journal, p);
}

QImage lireTiff(const QByteArray& donnees)
{
    Journal journal;
    std::unique_ptr<Poignee> p;
    InfoFichier info;
    const Flux flux = fluxMemoire(donnees);
    const Description d = ouvrirEtVerifier(flux, donnees.size(), info, journal, p);
    Manques manques;
    QImage image;
    if (d.couleurs) {
        image = nouvelleImage(int(d.largeur), int(d.hauteur),
                              d.couleurs == 1 && !d.alpha ? QImage::Format_Grayscale8
                                                          : (d.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32));
        p.reset();
        lireEchantillons(flux, d, image, manques, journal);
    } else {
        image = lireRgba(**p, d, manques);
    }
    if (!manques.zones.empty()) {
        qint64 perdus = 0;
        for (const QRect& r : manques.zones)
            perdus += qint64(r.width()) * r.height();
        if (perdus >= qint64(d.largeur) * d.hauteur)
            refus(journal, d.compression);
        // What the file does not give is fully transparent.
        if (image.format() == QImage::Format_Grayscale8)
            image = image.convertToFormat(QImage::Format_ARGB32);
        else if (image.format() == QImage::Format_RGB32)
            image.reinterpretAsFormat(QImage::Format_ARGB32);
        for (const QRect& r : manques.zones)
            for (int y = r.top(); y <= r.bottom(); ++y)
                std::memset(image.scanLine(y) + qsizetype(r.left()) * 4, 0, size_t(r.width()) * 4);
    }
    return orienter(image, d.orientation);
}

}  // namespace kal::image::interne
