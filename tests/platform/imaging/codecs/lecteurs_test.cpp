// TIFF, TARGA and JPEG files as their reference decoders read them: TIFFs written here with
// libtiff's own API in the layouts cameras, scanners and tools write (planes, tiles, depths,
// inks, palettes, orientations), checked against the values written and against libtiff's RGBA
// reader; what a damaged file does not give is transparent, the same on every run; and every
// refusal speaks French.
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/pixels.h"
#include "support/dossiertemp.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <malloc.h>
#include <tiffio.h>

#include <cstring>
#include <vector>

namespace img = kal::image;

namespace {

struct Disposition {
    const char* nom;
    int bits, echantillons, photometrie;
    bool separe;
    int tuile;  // side of the tiles, 0: strips
    int compression;
    int largeur = 37, hauteur = 23;
    int orientation = ORIENTATION_TOPLEFT;
};

quint64 maxi(int bits) { return (quint64(1) << bits) - 1; }

// The sample written for channel c of pixel (x, y): spread over the whole range.
quint32 valeur(const Disposition& d, int c, int x, int y)
{
    if (d.photometrie == PHOTOMETRIC_PALETTE)
        return quint32((x * 7 + y * 11) % 256);
    const quint64 v = (quint64(x) * 2654435761u + quint64(y) * 40503u + quint64(c) * 977u) % (maxi(d.bits) + 1);
    return c == 3 && d.photometrie == PHOTOMETRIC_RGB ? quint32(maxi(d.bits) - v / 3) : quint32(v);  // a mostly opaque alpha
}

inline int huit(quint64 v, int bits) { return int((v * 510 + maxi(bits)) / (2 * maxi(bits))); }

QRgb palette(int i) { return qRgb(i, 255 - i, (i * 37) % 256); }

// The pixel expected from what was written (8 bits a channel, not premultiplied).
QRgb attendu(const Disposition& d, int x, int y)
{
    auto v = [&](int c) { return huit(valeur(d, c, x, y), d.bits); };
    switch (d.photometrie) {
    case PHOTOMETRIC_PALETTE: return palette(int(valeur(d, 0, x, y)));
    case PHOTOMETRIC_MINISBLACK: return qRgb(v(0), v(0), v(0));
    case PHOTOMETRIC_SEPARATED: {
        const int k = 255 - v(3);
        return qRgb(k * (255 - v(0)) / 255, k * (255 - v(1)) / 255, k * (255 - v(2)) / 255);
    }
    default: return qRgba(v(0), v(1), v(2), d.echantillons == 4 ? v(3) : 255);
    }
}

// Samples of one row (of one plane, or all of them interleaved), packed as the file holds them.
std::vector<uchar> ligne(const Disposition& d, int y, int x0, int n, int plan)
{
    const int parPixel = d.separe ? 1 : d.echantillons;
    std::vector<uchar> o(size_t((qint64(n) * parPixel * d.bits + 7) / 8), 0);
    qint64 bit = 0;
    for (int x = x0; x < x0 + n; ++x)
        for (int c = 0; c < parPixel; ++c, bit += d.bits) {
            const quint32 v = x < d.largeur ? valeur(d, d.separe ? plan : c, x, y) : 0;
            if (d.bits == 8) o[size_t(bit / 8)] = uchar(v);
            else if (d.bits == 16) { const quint16 w = quint16(v); std::memcpy(&o[size_t(bit / 8)], &w, 2); }
            else if (d.bits == 32) std::memcpy(&o[size_t(bit / 8)], &v, 4);
            else
                for (int b = 0; b < d.bits; ++b)
                    if (v >> (d.bits - 1 - b) & 1)
                        o[size_t((bit + b) / 8)] |= uchar(0x80 >> ((bit + b) % 8));
        }
    return o;
}

// The file, directory first (so that a cut keeps it), written through libtiff.
void ecrireTiff(const QString& chemin, const Disposition& d)
{
    TIFF* t = TIFFOpen(QFile::encodeName(chemin).constData(), "w");
    ASSERT_TRUE(t);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, d.largeur);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, d.hauteur);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, d.bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, d.echantillons);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, d.photometrie);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, d.separe ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, d.compression);
    TIFFSetField(t, TIFFTAG_ORIENTATION, d.orientation);
    if (d.photometrie == PHOTOMETRIC_RGB && d.echantillons == 4) {
        const quint16 genre = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &genre);
    }
    if (d.photometrie == PHOTOMETRIC_PALETTE) {
        std::vector<quint16> r(256), g(256), b(256);
        for (int i = 0; i < 256; ++i) {
            r[size_t(i)] = quint16(qRed(palette(i)) * 257);
            g[size_t(i)] = quint16(qGreen(palette(i)) * 257);
            b[size_t(i)] = quint16(qBlue(palette(i)) * 257);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    if (d.tuile) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, d.tuile);
        TIFFSetField(t, TIFFTAG_TILELENGTH, d.tuile);
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 4);
    }
    TIFFDeferStrileArrayWriting(t);
    TIFFWriteCheck(t, d.tuile != 0, "essai");
    TIFFWriteDirectory(t);
    TIFFSetDirectory(t, 0);
    const int plans = d.separe ? d.echantillons : 1;
    for (int p = 0; p < plans; ++p) {
        if (!d.tuile) {
            for (int s = 0; s * 4 < d.hauteur; ++s) {
                std::vector<uchar> bande;
                for (int y = s * 4; y < std::min(d.hauteur, s * 4 + 4); ++y) {
                    const auto l = ligne(d, y, 0, d.largeur, p);
                    bande.insert(bande.end(), l.begin(), l.end());
                }
                ASSERT_GE(TIFFWriteEncodedStrip(t, TIFFComputeStrip(t, quint32(s * 4), quint16(p)), bande.data(), tmsize_t(bande.size())), 0);
            }
            continue;
        }
        for (int y0 = 0; y0 < d.hauteur; y0 += d.tuile)
            for (int x0 = 0; x0 < d.largeur; x0 += d.tuile) {
                std::vector<uchar> tuile;
                for (int y = y0; y < y0 + d.tuile; ++y) {
                    const auto l = ligne(d, std::min(y, d.hauteur - 1), x0, d.tuile, p);
                    tuile.insert(tuile.end(), l.begin(), l.end());
                }
                ASSERT_GE(TIFFWriteEncodedTile(t, TIFFComputeTile(t, quint32(x0), quint32(y0), 0, quint16(p)), tuile.data(), tmsize_t(tuile.size())), 0);
            }
    }
    TIFFForceStrileArrayWriting(t);
    TIFFClose(t);
}

// libtiff's own RGBA reading of the file (premultiplied, rows from the top), empty when it refuses.
std::vector<quint32> rgbaDeLibtiff(const QString& chemin, int l, int h)
{
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFF* t = TIFFOpen(QFile::encodeName(chemin).constData(), "r");
    std::vector<quint32> r(size_t(l) * size_t(h));
    char message[1024];
    const bool ok = t && TIFFRGBAImageOK(t, message) && TIFFReadRGBAImageOriented(t, quint32(l), quint32(h), r.data(), ORIENTATION_TOPLEFT, 1);
    if (t)
        TIFFClose(t);
    return ok ? r : std::vector<quint32>{};
}

int ecart(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

QByteArray contenu(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ecrireFichierBrut(const QString& chemin, const QByteArray& d)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(d);
}

// English words the libraries use in their messages; none may reach the user.
const QRegularExpression anglais(QStringLiteral("\\b(the|not|unable|error|cannot|can|invalid|unsupported|corrupt|failed|"
                                                "missing|sorry|unexpected|insufficient|improper|directory|header|reading|"
                                                "read|data|bad|file)\\b|Impossible de lire les données"),
                                 QRegularExpression::CaseInsensitiveOption);

}  // namespace

TEST(LectureTiff, chaqueDispositionDonneLesValeursEcrites)
{
    kaltest::DossierTravail dossier;
    const Disposition cas[] = {
        {"rgb16_bandes", 16, 3, PHOTOMETRIC_RGB, false, 0, COMPRESSION_NONE},
        {"rgb16_plans_lzw", 16, 3, PHOTOMETRIC_RGB, true, 0, COMPRESSION_LZW},
        {"rgb16_plans_tuiles", 16, 3, PHOTOMETRIC_RGB, true, 16, COMPRESSION_ADOBE_DEFLATE},
        {"rgb16_tuile_plus_grande", 16, 3, PHOTOMETRIC_RGB, false, 64, COMPRESSION_ADOBE_DEFLATE},
        {"rgb8_packbits", 8, 3, PHOTOMETRIC_RGB, false, 0, COMPRESSION_PACKBITS},
        {"rgba16_plans", 16, 4, PHOTOMETRIC_RGB, true, 0, COMPRESSION_NONE},
        {"rgba8_tuiles", 8, 4, PHOTOMETRIC_RGB, false, 16, COMPRESSION_LZW},
        {"gris12", 12, 1, PHOTOMETRIC_MINISBLACK, false, 0, COMPRESSION_NONE},
        {"gris16", 16, 1, PHOTOMETRIC_MINISBLACK, false, 0, COMPRESSION_ADOBE_DEFLATE},
        {"gris32", 32, 1, PHOTOMETRIC_MINISBLACK, false, 0, COMPRESSION_NONE},
        {"cmjn16", 16, 4, PHOTOMETRIC_SEPARATED, false, 0, COMPRESSION_LZW},
        {"cmjn8_plans", 8, 4, PHOTOMETRIC_SEPARATED, true, 0, COMPRESSION_NONE},
        {"palette8", 8, 1, PHOTOMETRIC_PALETTE, false, 0, COMPRESSION_LZW},
    };
    for (const Disposition& d : cas) {
        SCOPED_TRACE(d.nom);
        const QString chemin = dossier.fichier(QString::fromLatin1(d.nom) + ".tif");
        ecrireTiff(chemin, d);
        const img::InfoFichier info = img::lireInfo(chemin);
        EXPECT_EQ(info.codeformat, img::code::TIFF);
        EXPECT_EQ(info.bitsParPixel, d.bits * d.echantillons);
        QImage lue;
        ASSERT_NO_THROW(lue = img::lireFichier(chemin));
        ASSERT_EQ(lue.size(), QSize(d.largeur, d.hauteur));
        EXPECT_EQ(lue.hasAlphaChannel(), d.echantillons == 4 && d.photometrie == PHOTOMETRIC_RGB);
        const QImage argb = lue.convertToFormat(QImage::Format_ARGB32);
        const std::vector<quint32> reference = rgbaDeLibtiff(chemin, d.largeur, d.hauteur);
        int pire = 0, pireLibtiff = 0;
        for (int y = 0; y < d.hauteur; ++y)
            for (int x = 0; x < d.largeur; ++x) {
                const QRgb p = argb.pixel(x, y);
                pire = std::max(pire, ecart(p, attendu(d, x, y)));
                if (!reference.empty()) {  // libtiff gives R, G, B, A premultiplied
                    const quint32 r = reference[size_t(y) * size_t(d.largeur) + size_t(x)];
                    const QRgb pre = qPremultiply(p);
                    pireLibtiff = std::max(pireLibtiff, ecart(pre, qRgba(int(r & 0xFF), int(r >> 8 & 0xFF), int(r >> 16 & 0xFF), int(r >> 24))));
                }
            }
        EXPECT_LE(pire, 1);
        EXPECT_LE(pireLibtiff, 1);
    }
}

// Orientation 1 to 8: the sides swap for 5 to 8, and three corners of the stored picture land
// where the tag says; through the samples read here (RGB) and the RGBA interface (a palette).
TEST(LectureTiff, lOrientationEstAppliquee)
{
    kaltest::DossierTravail dossier;
    enum { HG, HD, BD, BG };
    // Where the stored (0, 0), (w-1, 0) and (0, h-1) are seen, orientations 1 to 8.
    const int coins[8][3] = {{HG, HD, BG}, {HD, HG, BD}, {BD, BG, HD}, {BG, BD, HG},
                             {HG, BG, HD}, {HD, BD, HG}, {BD, HD, BG}, {BG, HG, BD}};
    for (int photometrie : {PHOTOMETRIC_RGB, PHOTOMETRIC_PALETTE})
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE(QStringLiteral("photométrie %1, orientation %2").arg(photometrie).arg(o).toStdString());
            Disposition d{"o", 8, photometrie == PHOTOMETRIC_RGB ? 3 : 1, photometrie, false, 0, COMPRESSION_NONE, 7, 4, o};
            const QString chemin = dossier.fichier(QStringLiteral("o%1_%2.tif").arg(o).arg(photometrie));
            ecrireTiff(chemin, d);
            const QSize vue = o >= 5 ? QSize(4, 7) : QSize(7, 4);
            EXPECT_EQ(QSize(img::lireInfo(chemin).largeur, img::lireInfo(chemin).hauteur), vue);
            const QImage lue = img::lireFichier(chemin).convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(lue.size(), vue);
            const QPoint coin[4] = {{0, 0}, {vue.width() - 1, 0}, {vue.width() - 1, vue.height() - 1}, {0, vue.height() - 1}};
            const QPoint stocke[3] = {{0, 0}, {6, 0}, {0, 3}};
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(lue.pixel(coin[coins[o - 1][k]]), attendu(d, stocke[k].x(), stocke[k].y()) | 0xFF000000u) << "coin " << k;
        }
}

// Damage: a strip byte count libtiff ignores is read; a cut file gives what lies before the cut,
// and the rest fully transparent, the same whatever the heap held before (the freed memory is
// filled with another byte for each decode, and a picture of that size is left in the reserve).
TEST(LectureTiff, desFichiersAbimesLusCommeLibtiffLesLit)
{
    kaltest::DossierTravail dossier;
    // One uncompressed strip whose byte count says more than the file holds.
    Disposition simple{"simple", 8, 3, PHOTOMETRIC_RGB, false, 0, COMPRESSION_NONE, 52, 53};
    const QString faux = dossier.fichier("compte_faux.tif");
    {
        TIFF* t = TIFFOpen(QFile::encodeName(faux).constData(), "w");
        ASSERT_TRUE(t);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 52);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 53);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 53);
        for (int y = 0; y < 53; ++y) {
            auto l = ligne(simple, y, 0, 52, 0);
            TIFFWriteScanline(t, l.data(), quint32(y), 0);
        }
        TIFFClose(t);
    }
    QByteArray octets = contenu(faux);
    const uchar* p = reinterpret_cast<const uchar*>(octets.constData());
    const quint32 ifd = p[4] | p[5] << 8 | p[6] << 16 | quint32(p[7]) << 24;
    const int entrees = p[ifd] | p[ifd + 1] << 8;
    bool change = false;
    for (int i = 0; i < entrees; ++i) {
        const qsizetype e = ifd + 2 + 12 * i;
        if ((p[e] | p[e + 1] << 8) == TIFFTAG_STRIPBYTECOUNTS) {
            const quint32 enorme = 8000000;
            std::memcpy(octets.data() + e + 8, &enorme, 4);
            change = true;
        }
    }
    ASSERT_TRUE(change);
    ecrireFichierBrut(faux, octets);
    QImage lue;
    ASSERT_NO_THROW(lue = img::lireFichier(faux));
    ASSERT_EQ(lue.size(), QSize(52, 53));
    EXPECT_EQ(lue.pixel(51, 52), attendu(simple, 51, 52));

    // Cut files: 16-bit RGB in planes (the third plane cut) and a run-length TARGA.
    Disposition plans{"plans", 16, 3, PHOTOMETRIC_RGB, true, 0, COMPRESSION_NONE, 300, 240};
    const QString coupe = dossier.fichier("coupe.tif");
    ecrireTiff(coupe, plans);
    const QByteArray entier = contenu(coupe);
    ecrireFichierBrut(coupe, entier.left(entier.size() * 5 / 6));
    QImage lectures[2];
    const int remplissages[2] = {0xAA, 0x55};
    for (int k = 0; k < 2; ++k) {
        {
            QImage vieille = img::nouvelleImage(300, 240, QImage::Format_ARGB32);
            vieille.fill(QColor(remplissages[k], 255 - remplissages[k], 17));
        }
        mallopt(M_PERTURB, remplissages[k]);
        try {
            lectures[k] = img::lireFichier(coupe);
        } catch (const kal::Erreur& e) {
            ADD_FAILURE() << e.description().toStdString();
        }
        mallopt(M_PERTURB, 0);
    }
    ASSERT_EQ(lectures[0].format(), QImage::Format_ARGB32);
    EXPECT_TRUE(lectures[0] == lectures[1]);
    EXPECT_EQ(lectures[0].pixel(299, 0), attendu(plans, 299, 0));     // before the cut
    EXPECT_EQ(lectures[0].pixel(0, 239), 0u);                          // after it
}

// TARGA: grey with transparency (8 + 8 bits), plain and in runs; a run-length file ending early
// leaves the rest transparent.
TEST(LectureTarga, grisAvecTransparenceEtFinPrematuree)
{
    kaltest::DossierTravail dossier;
    auto entete = [](int type, int l, int h) {
        QByteArray e(18, '\0');
        e[2] = char(type);
        e[12] = char(l); e[14] = char(h);
        e[16] = 16;
        e[17] = char(0x28);  // rows from the top, 8 bits of alpha
        return e;
    };
    QByteArray brut = entete(3, 3, 2), rle = entete(11, 3, 2);
    for (int i = 0; i < 6; ++i)
        brut.append(char(i * 40)).append(char(255 - i * 50));
    rle.append(char(0x82)).append(char(200)).append(char(100));   // 3 pixels grey 200, alpha 100
    rle.append(char(0x00)).append(char(10)).append(char(20));     // 1 pixel as it is; then the file ends
    ecrireFichierBrut(dossier.fichier("brut.tga"), brut);
    ecrireFichierBrut(dossier.fichier("rle.tga"), rle);
    const QImage a = img::lireFichier(dossier.fichier("brut.tga"));
    ASSERT_EQ(a.format(), QImage::Format_ARGB32);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(a.pixel(i % 3, i / 3), qRgba(i * 40, i * 40, i * 40, 255 - i * 50)) << i;
    const QImage b = img::lireFichier(dossier.fichier("rle.tga"));
    ASSERT_EQ(b.format(), QImage::Format_ARGB32);
    EXPECT_EQ(b.pixel(2, 0), qRgba(200, 200, 200, 100));
    EXPECT_EQ(b.pixel(0, 1), qRgba(10, 10, 10, 20));
    EXPECT_EQ(b.pixel(2, 1), 0u);
}

// Stray bytes between a JPEG's start marker and its first segment: the decoder skips them, so
// does the layer.
TEST(LectureJpeg, desOctetsParasitesApresLeDebut)
{
    QImage photo(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            photo.setPixel(x, y, qRgb(x * 4, y * 5, 128));
    const QByteArray sain = img::encoderImage(photo, img::code::JPEG, 24, 20);
    const QByteArray parasite = sain.left(2) + QByteArray("\x00\x13\x37\x00", 4) + sain.mid(2);
    img::InfoFichier info;
    QImage lue;
    ASSERT_NO_THROW(lue = img::lireDonnees(parasite, &info));
    EXPECT_EQ(info.codeformat, img::code::JPEG);
    EXPECT_TRUE(lue == img::lireDonnees(sain));
    // One the decoder refuses after such bytes is a damaged JPEG, not an unknown format.
    try {
        img::lireDonnees(QByteArray("\xFF\xD8\x00\x01\xFF\xD9", 6));
        ADD_FAILURE() << "lu";
    } catch (const kal::Erreur& e) {
        EXPECT_EQ(e.numero(), img::err::FichierEndommage);
    }
}

// Every refusal is French: files each library refuses, none of their English words.
TEST(Refus, chaqueRefusEstEnFrancais)
{
    kaltest::DossierTravail dossier;
    Disposition d{"d", 8, 3, PHOTOMETRIC_RGB, false, 0, COMPRESSION_LZW, 40, 30};
    const QString tif = dossier.fichier("base.tif");
    ecrireTiff(tif, d);
    const QByteArray tiff = contenu(tif);
    QByteArray lzwAbime = tiff;  // every LZW code scrambled, the directory kept
    {
        TIFF* t = TIFFOpen(QFile::encodeName(tif).constData(), "r");
        ASSERT_TRUE(t);
        for (qsizetype i = qsizetype(TIFFGetStrileOffset(t, 0)); i < lzwAbime.size(); ++i)
            lzwAbime[i] = char(0xFF);
        TIFFClose(t);
    }
    QByteArray compressionInconnue = tiff;  // compression 0x7777
    {
        const uchar* p = reinterpret_cast<const uchar*>(tiff.constData());
        const quint32 ifd = p[4] | p[5] << 8 | p[6] << 16 | quint32(p[7]) << 24;
        for (int i = 0; i < (p[ifd] | p[ifd + 1] << 8); ++i) {
            const qsizetype e = ifd + 2 + 12 * i;
            if ((p[e] | p[e + 1] << 8) == TIFFTAG_COMPRESSION)
                compressionInconnue[e + 8] = compressionInconnue[e + 9] = char(0x77);
        }
    }
    const QByteArray pcxCoupe = contenu(kaltest::donnee("imaging/endommages/tronque_moitie.pcx"));
    const QByteArray ico = contenu(kaltest::donnee("imaging/icone.ico"));
    const QByteArray wmf = contenu(kaltest::donnee("imaging/quadrants.wmf"));
    QByteArray icoAbime = ico;
    for (qsizetype i = 22 + 40; i < icoAbime.size(); ++i)
        icoAbime[i] = char(0x3C);
    const QByteArray essais[] = {tiff.left(tiff.size() / 3), lzwAbime, compressionInconnue, tiff.left(40),
                                 pcxCoupe, icoAbime, ico.left(30), wmf.left(wmf.size() - 30),
                                 contenu(kaltest::donnee("imaging/endommages/sans_fin.cmp"))};
    int refus = 0;
    for (const QByteArray& e : essais) {
        try {
            img::lireDonnees(e);
        } catch (const kal::Erreur& err) {
            ++refus;
            SCOPED_TRACE(err.description().toStdString());
            EXPECT_FALSE(err.description().isEmpty());
            EXPECT_FALSE(anglais.match(err.description()).hasMatch());
        }
    }
    EXPECT_GE(refus, 7);
}
