// The BMP reader on the public BMP test suite (KAL_ECHANTILLONS/bmpsuite): every "good" file read
// exactly, every "questionable" one read with its meaning or refused in French, every "bad" one
// refused or read without a fault, and a pixel the file does not give never taken from memory.
//
// References. rgb24.bmp is the plain picture, checked against its own bytes. A file of another
// layout is expected to give the picture of its plain sibling (the same picture in another depth
// or header). The files of palettes and masks are checked against values worked out here from
// their raw pixels: the palette entry of each index, and for masks (given in the table, as the
// suite names them) round(v x 255 / (2^n - 1)) for each channel of n bits.
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/pixels.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <malloc.h>

namespace img = kal::image;

namespace {

QString echantillon(const char* nom) { return QStringLiteral(KAL_ECHANTILLONS "/bmpsuite/") + QLatin1String(nom); }

QByteArray contenu(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 u32(const QByteArray& d, qsizetype i) { return quint32(uchar(d[i])) | quint32(uchar(d[i + 1])) << 8 | quint32(uchar(d[i + 2])) << 16 | quint32(uchar(d[i + 3])) << 24; }

uchar echelle(quint32 pixel, quint32 masque)
{
    if (!masque)
        return 0;
    const int n = std::popcount(masque);
    return uchar(std::lround(double((pixel & masque) >> std::countr_zero(masque)) * 255.0 / double((quint64(1) << n) - 1)));
}

// The picture an uncompressed file holds, from its bytes: a Windows header, rows from the bottom
// (from the top for a negative height), 4-byte palette entries right after the header for depths
// up to 8, the masks given (alpha when a mask says so) for 16 and 32 bits.
QImage brut(const QByteArray& d, std::array<quint32, 4> masques = {})
{
    const int l = int(u32(d, 18)), hs = int(u32(d, 22)), h = std::abs(hs), bits = uchar(d[28]);
    const qsizetype debut = u32(d, 10), palette = 14 + u32(d, 14), ligne = (qsizetype(l) * bits + 31) / 32 * 4;
    QImage r(l, h, masques[3] ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const qsizetype s = debut + ligne * (hs < 0 ? y : h - 1 - y);
        for (int x = 0; x < l; ++x) {
            QRgb c;
            if (bits <= 8) {
                const int bit = x * bits;
                const int i = (uchar(d[s + bit / 8]) >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
                const qsizetype e = palette + 4 * i;
                c = qRgb(uchar(d[e + 2]), uchar(d[e + 1]), uchar(d[e]));
            } else if (bits == 24) {
                c = qRgb(uchar(d[s + 3 * x + 2]), uchar(d[s + 3 * x + 1]), uchar(d[s + 3 * x]));
            } else {
                const quint32 v = bits == 16 ? (u32(d, s + 2 * x) & 0xFFFF) : u32(d, s + 4 * x);
                c = qRgba(echelle(v, masques[0]), echelle(v, masques[1]), echelle(v, masques[2]),
                          masques[3] ? echelle(v, masques[3]) : 255);
            }
            r.setPixel(x, y, c);
        }
    }
    return r;
}

// The first pixel where two pictures differ, or an empty string.
std::string difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return "taille " + std::to_string(a.width()) + "x" + std::to_string(a.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "(" + std::to_string(x) + "," + std::to_string(y) + ") " + QString::number(a.pixel(x, y), 16).toStdString()
                       + " au lieu de " + QString::number(b.pixel(x, y), 16).toStdString();
    return {};
}

bool francais(const QString& s) { return !s.isEmpty() && !s.contains(QRegularExpression(QStringLiteral("\\b(the|not|invalid|unsupported|error)\\b"))); }

constexpr std::array<quint32, 4> m555{0x7C00, 0x3E0, 0x1F, 0}, m565{0xF800, 0x7E0, 0x1F, 0};

// What a file of the suite must give: the picture of `reference` (another file of the suite read
// by this reader; empty: worked out from the file's bytes with `masques`), in `forme`, or the
// refusal `erreur` whose text holds `motif`.
struct Attendu {
    const char* nom;
    const char* reference;
    QImage::Format forme;
    int bits;
    std::array<quint32, 4> masques = {};
    int erreur = 0;
    const char* motif = nullptr;
};

void verifier(const Attendu& a)
{
    SCOPED_TRACE(a.nom);
    const QString chemin = echantillon(a.nom);
    img::InfoFichier info;
    QImage lue;
    try {
        lue = img::lireFichier(chemin, &info);
    } catch (const kal::Erreur& e) {
        EXPECT_EQ(e.numero(), a.erreur) << e.description().toStdString();
        if (a.motif) {
            EXPECT_TRUE(e.description().contains(QLatin1String(a.motif))) << e.description().toStdString();
        }
        EXPECT_TRUE(francais(e.description())) << e.description().toStdString();
        return;
    }
    ASSERT_EQ(a.erreur, 0) << "lu au lieu d'être refusé";
    EXPECT_EQ(lue.format(), a.forme);
    EXPECT_EQ(info.codeformat, img::code::BMP);
    EXPECT_EQ(info.bitsParPixel, a.bits);
    const img::InfoFichier entete = img::lireInfo(chemin);
    EXPECT_EQ(QSize(entete.largeur, entete.hauteur), lue.size());
    const QImage attendue = a.reference ? img::lireFichier(echantillon(a.reference)) : brut(contenu(chemin), a.masques);
    const QImage::Format f = lue.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    EXPECT_EQ(difference(lue.convertToFormat(f), attendue.convertToFormat(f)), "");
}

}  // namespace

TEST(SuiteBmp, chaqueBonFichierEstLuExactement)
{
    constexpr auto G = QImage::Format_Grayscale8, C = QImage::Format_RGB32;
    const Attendu cas[] = {
        {"g/rgb24.bmp", nullptr, C, 24},         {"g/rgb24pal.bmp", "g/rgb24.bmp", C, 24},
        {"g/rgb32.bmp", "g/rgb24.bmp", C, 32},   {"g/rgb32bf.bmp", "g/rgb24.bmp", C, 32},
        {"g/rgb32bfdef.bmp", "g/rgb24.bmp", C, 32},
        {"g/rgb16.bmp", nullptr, C, 16, m555},   {"g/rgb16bfdef.bmp", nullptr, C, 16, m555},
        {"g/rgb16-565.bmp", nullptr, C, 16, m565}, {"g/rgb16-565pal.bmp", nullptr, C, 16, m565},
        {"g/pal1.bmp", nullptr, G, 1},           {"g/pal1wb.bmp", nullptr, G, 1},
        {"g/pal1bg.bmp", nullptr, C, 1},         {"g/pal4.bmp", nullptr, C, 4},
        {"g/pal4gs.bmp", nullptr, G, 4},         {"g/pal4rle.bmp", "g/pal4.bmp", C, 4},
        {"g/pal8.bmp", nullptr, C, 8},           {"g/pal8-0.bmp", "g/pal8.bmp", C, 8},
        {"g/pal8gs.bmp", nullptr, G, 8},         {"g/pal8nonsquare.bmp", nullptr, C, 8},
        {"g/pal8os2.bmp", "g/pal8.bmp", C, 8},   {"g/pal8rle.bmp", "g/pal8.bmp", C, 8},
        {"g/pal8topdown.bmp", "g/pal8.bmp", C, 8}, {"g/pal8v4.bmp", "g/pal8.bmp", C, 8},
        {"g/pal8v5.bmp", "g/pal8.bmp", C, 8},    {"g/pal8w124.bmp", nullptr, C, 8},
        {"g/pal8w125.bmp", nullptr, C, 8},       {"g/pal8w126.bmp", nullptr, C, 8},
    };
    EXPECT_EQ(std::size(cas), 27u);
    for (const Attendu& a : cas)
        verifier(a);
    // The plain picture is not flat: the references above mean something.
    const QImage r = img::lireFichier(echantillon("g/rgb24.bmp"));
    EXPECT_NE(r.pixel(10, 10), r.pixel(100, 50));
}

TEST(SuiteBmp, chaqueFichierDouteuxEstLuAvecSonSensOuRefuse)
{
    constexpr auto G = QImage::Format_Grayscale8, C = QImage::Format_RGB32, A = QImage::Format_ARGB32;
    const int nonPris = img::err::FormatNonPris;
    const Attendu cas[] = {
        // Refused: compressions of printers, fax coding, more than 32 bits.
        {"q/rgb24jpeg.bmp", nullptr, C, 0, {}, nonPris, "JPEG"},
        {"q/rgb24png.bmp", nullptr, C, 0, {}, nonPris, "PNG"},
        {"q/pal1huffmsb.bmp", nullptr, C, 0, {}, nonPris, "Huffman"},
        {"q/rgba64.bmp", nullptr, C, 0, {}, nonPris, "64 bits"},
        // Headers and palettes out of the common run.
        {"q/pal1p1.bmp", nullptr, C, 1},  // index 1 beyond a palette of one: opaque black
        {"q/pal2.bmp", nullptr, G, 2},
        {"q/pal2color.bmp", nullptr, C, 2},
        {"q/pal8offs.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8oversizepal.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8os2-hs.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8os2-sz.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8os2sp.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8os2v2.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8os2v2-16.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8os2v2-40sz.bmp", "g/pal8.bmp", C, 8},
        {"q/pal8os2v2-sz.bmp", "g/pal8.bmp", C, 8},
        {"q/rgb24largepal.bmp", "g/rgb24.bmp", C, 24},
        {"q/rgb24lprof.bmp", "g/rgb24.bmp", C, 24},
        {"q/rgb24prof.bmp", "g/rgb24.bmp", C, 24},
        {"q/rgb24prof2.bmp", nullptr, C, 24},  // its colour profile is not applied: the layer manages no colours
        {"q/rgb24rle24.bmp", "g/pal8.bmp", C, 24},  // the palette picture in 24 bits
        // Masks of every width and place; the unused bits of a file without an alpha mask are not alpha.
        {"q/rgb32h52.bmp", "g/rgb24.bmp", C, 32},
        {"q/rgb32-xbgr.bmp", "g/rgb24.bmp", C, 32},
        {"q/rgb32fakealpha.bmp", "g/rgb24.bmp", C, 32},
        {"q/rgb16faketrns.bmp", "g/rgb16.bmp", C, 16},
        {"q/rgb16-231.bmp", nullptr, C, 16, {0x30, 0xE, 0x1, 0}},
        {"q/rgb16-3103.bmp", nullptr, C, 16, {0x38, 0xFFC0, 0x7, 0}},
        {"q/rgb32-111110.bmp", nullptr, C, 32, {0xFFE00000, 0x1FFC00, 0x3FF, 0}},
        {"q/rgb32-7187.bmp", nullptr, C, 32, {0xFE000000, 0x1FFFF80, 0x7F, 0}},
        {"q/rgba16-1924.bmp", nullptr, A, 16, {0x800, 0x1FF, 0x600, 0xF000}},
        {"q/rgba16-4444.bmp", nullptr, A, 16, {0xF00, 0xF0, 0xF, 0xF000}},
        {"q/rgba16-5551.bmp", nullptr, A, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}},
        {"q/rgba32-1.bmp", nullptr, A, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
        {"q/rgba32-2.bmp", "q/rgba32-1.bmp", A, 32},
        {"q/rgba32h56.bmp", "q/rgba32-1.bmp", A, 32},
        {"q/rgba32abf.bmp", "q/rgba32-1.bmp", A, 32},
        {"q/rgba32-1010102.bmp", nullptr, A, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},
        {"q/rgba32-61754.bmp", nullptr, A, 32, {0xFC00000, 0x3FFFE0, 0x1F, 0xF0000000}},
        {"q/rgba32-81284.bmp", nullptr, A, 32, {0xFF00, 0xFFF0000, 0xFF, 0xF0000000}},
    };
    for (const Attendu& a : cas)
        verifier(a);
    // A 1-bit alpha of 1 is opaque, a 4-bit alpha of 15 too.
    for (const char* nom : {"q/rgba16-5551.bmp", "q/rgba16-4444.bmp"}) {
        const QImage i = img::lireFichier(echantillon(nom));
        int opaques = 0;
        for (int y = 0; y < i.height(); ++y)
            for (int x = 0; x < i.width(); ++x)
                opaques += qAlpha(i.pixel(x, y)) == 255;
        EXPECT_GT(opaques, 0) << nom;
    }
}

// The run-length files that leave pixels out: the pixels they give are those of the picture, the
// others transparent.
TEST(SuiteBmp, lesPixelsQueLeFichierNeDonnePasSontTransparents)
{
    const struct {
        const char *nom, *plein;
    } cas[] = {{"q/pal8rletrns.bmp", "g/pal8.bmp"}, {"q/pal8rlecut.bmp", "g/pal8.bmp"},
               {"q/pal4rletrns.bmp", "g/pal4.bmp"}, {"q/pal4rlecut.bmp", "g/pal4.bmp"}};
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        const QImage i = img::lireFichier(echantillon(c.nom)), plein = img::lireFichier(echantillon(c.plein));
        ASSERT_EQ(i.format(), QImage::Format_ARGB32);
        ASSERT_EQ(i.size(), plein.size());
        int transparents = 0;
        for (int y = 0; y < i.height(); ++y)
            for (int x = 0; x < i.width(); ++x) {
                const QRgb p = i.pixel(x, y);
                if (p == 0)
                    ++transparents;
                else
                    ASSERT_EQ(p, plein.pixel(x, y)) << x << "," << y;
            }
        EXPECT_GT(transparents, 100);
    }
}

TEST(SuiteBmp, unMauvaisFichierEstRefuseEnFrancaisOuLuSansFaute)
{
    const struct {
        const char* nom;
        int erreur;
    } cas[] = {
        {"b/badbitcount.bmp", img::err::FichierEndommage},   {"b/badbitssize.bmp", 0},
        {"b/baddens1.bmp", 0},                               {"b/baddens2.bmp", 0},
        {"b/badfilesize.bmp", 0},                            {"b/badheadersize.bmp", img::err::FormatNonPris},
        {"b/badpalettesize.bmp", 0},                         {"b/badplanes.bmp", img::err::FichierEndommage},
        {"b/badrle.bmp", 0},                                 {"b/badrlebis.bmp", 0},
        {"b/badrleter.bmp", 0},                              {"b/badrle4.bmp", 0},
        {"b/badrle4bis.bmp", 0},                             {"b/badrle4ter.bmp", 0},
        {"b/badwidth.bmp", img::err::FichierEndommage},      {"b/pal8badindex.bmp", 0},
        {"b/reallybig.bmp", img::err::FichierTropGrand},     {"b/rgb16-880.bmp", 0},
        {"b/rletopdown.bmp", img::err::FichierEndommage},    {"b/shortfile.bmp", img::err::FichierEndommage},
        {"x/ba-bm.bmp", 0},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        int n = 0;
        QString texte;
        QImage i;
        try {
            i = img::lireFichier(echantillon(c.nom));
        } catch (const kal::Erreur& e) {
            n = e.numero();
            texte = e.description();
        }
        EXPECT_EQ(n, c.erreur) << texte.toStdString();
        if (n) {
            EXPECT_TRUE(francais(texte)) << texte.toStdString();
        } else {
            EXPECT_EQ(i.size(), QSize(127, 64));
        }
    }
    // The array's first picture is the suite's picture in an OS/2 header.
    EXPECT_EQ(difference(img::lireFichier(echantillon("x/ba-bm.bmp")), img::lireFichier(echantillon("g/pal8.bmp"))), "");
}

// A pixel the file does not give never shows what the memory held: the same file read with freed
// memory filled two ways (glibc's perturbation of every allocation and free, and the picture
// reserve holding a picture painted over) gives the same pixels.
TEST(SuiteBmp, lesPixelsNonDonnesNeDependentPasDeLaMemoire)
{
    // A larger picture than the suite's, so that it comes from the reserve: rows of two runs with
    // a jump between them, rows ended early, and the picture ended at two thirds of its height.
    QByteArray rle;
    const int l = 1024, h = 300;
    for (int y = 0; y < 200; ++y)
        rle.append(char(100)).append(char(1)).append('\0').append('\2').append(char(50)).append('\0')
            .append(char(100)).append(char(2)).append('\0').append('\0');
    rle.append('\0').append('\1');
    QByteArray grand("BM");
    auto u16 = [&](int v) { grand.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](quint32 v) { u16(int(v & 0xFFFF)); u16(int(v >> 16)); };
    u32(14 + 40 + 12 + rle.size()); u32(0); u32(14 + 40 + 12);
    u32(40); u32(l); u32(h); u16(1); u16(8); u32(1); u32(rle.size()); u32(0); u32(0); u32(3); u32(0);
    grand += QByteArray::fromHex("00000000" "0000ff00" "ff000000");  // black, red, blue
    grand += rle;

    auto lire = [&](const QByteArray& octets, int perturbation, QRgb fond) {
        // Freed memory filled with `fond` in the reserve, then with the perturbation byte.
        {
            QImage vieille = img::nouvelleImage(l, h, QImage::Format_ARGB32);
            vieille.fill(fond);
        }
        mallopt(M_PERTURB, perturbation);
        const QImage i = img::lireDonnees(octets);
        mallopt(M_PERTURB, 0);
        return i;
    };
    QStringList noms = {"q/pal8rlecut.bmp", "q/pal8rletrns.bmp", "q/pal4rlecut.bmp", "q/pal4rletrns.bmp",
                        "q/pal8os2sp.bmp", "q/pal1p1.bmp", "b/pal8badindex.bmp"};
    for (const char* b : {"badrle.bmp", "badrlebis.bmp", "badrleter.bmp", "badrle4.bmp", "badrle4bis.bmp", "badrle4ter.bmp"})
        noms << QStringLiteral("b/") + QLatin1String(b);
    for (const QString& nom : noms) {
        SCOPED_TRACE(nom.toStdString());
        const QByteArray octets = contenu(echantillon(nom.toLatin1().constData()));
        ASSERT_FALSE(octets.isEmpty());
        EXPECT_EQ(difference(lire(octets, 170, 0xFF00FF00), lire(octets, 85, 0x80FF0000)), "");
    }
    const QImage a = lire(grand, 170, 0xFF00FF00), b = lire(grand, 85, 0x80FF0000);
    EXPECT_EQ(difference(a, b), "");
    ASSERT_EQ(a.format(), QImage::Format_ARGB32);
    EXPECT_EQ(a.pixel(50, h - 1), qRgb(255, 0, 0));
    EXPECT_EQ(a.pixel(120, h - 1), 0u);   // jumped over
    EXPECT_EQ(a.pixel(200, h - 1), qRgb(0, 0, 255));
    EXPECT_EQ(a.pixel(600, h - 1), 0u);   // after the row's early end
    EXPECT_EQ(a.pixel(50, 0), 0u);        // after the picture's early end
}
