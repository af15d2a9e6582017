// Image files: reading the fixtures of every format, writing and reading back, the quality factor,
// the stamp, reduced JPEG decoding, and the errors a caller sees.
#include "support/erreurs.h"
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "support/dossiertemp.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>

namespace img = kal::image;

using kaltest::numeroErreur;

namespace {

// The fixtures are 40 x 30: red top left, green top right, blue bottom left, white bottom right.
struct Quadrant {
    int x, y;
    QRgb couleur;
};
const Quadrant quadrants[] = {{5, 4, qRgb(255, 0, 0)}, {34, 4, qRgb(0, 255, 0)}, {5, 25, qRgb(0, 0, 255)}, {34, 25, qRgb(255, 255, 255)}};

QImage imageQuadrants()
{
    QImage image(40, 30, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 20, 15, QColor(255, 0, 0));
    p.fillRect(20, 0, 20, 15, QColor(0, 255, 0));
    p.fillRect(0, 15, 20, 15, QColor(0, 0, 255));
    p.fillRect(20, 15, 20, 15, QColor(255, 255, 255));
    return image;
}

// A picture with detail, so that compression has something to lose.
QImage imageDetaillee(int l, int h)
{
    QImage image(l, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < l; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * y / 5) % 256, (x ^ y) % 256));
    return image;
}

int ecart(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

int grisDe(QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114 + 500) / 1000; }

void verifierQuadrants(const QImage& image, int tolerance, bool gris = false)
{
    ASSERT_EQ(image.size(), QSize(40, 30));
    for (const Quadrant& q : quadrants) {
        const QRgb attendu = gris ? qRgb(grisDe(q.couleur), grisDe(q.couleur), grisDe(q.couleur)) : q.couleur;
        EXPECT_LE(ecart(image.pixel(q.x, q.y), attendu), tolerance)
            << "au point " << q.x << "," << q.y << " : " << std::hex << image.pixel(q.x, q.y);
    }
}

QByteArray contenu(const QString& chemin)
{
    QFile f(chemin);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

}  // namespace

// ---- reading the fixtures -------------------------------------------------------------------------------

struct Fixture {
    const char* nom;
    int code;
    int bits;
    int tolerance;
    bool gris;
};

class LectureFixture : public ::testing::TestWithParam<Fixture> {};

TEST_P(LectureFixture, donneFormatTailleEtCouleurs)
{
    const Fixture f = GetParam();
    const QString chemin = kaltest::donnee(QStringLiteral("imaging/") + QLatin1String(f.nom));
    img::InfoFichier info;
    const QImage image = img::lireFichier(chemin, &info);
    EXPECT_EQ(info.codeformat, f.code);
    EXPECT_EQ(info.largeur, 40);
    EXPECT_EQ(info.hauteur, 30);
    EXPECT_EQ(info.bitsParPixel, f.bits);
    EXPECT_EQ(image.format(), f.gris ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    verifierQuadrants(image, f.tolerance, f.gris);

    const img::InfoFichier entete = img::lireInfo(chemin);
    EXPECT_EQ(entete.codeformat, f.code);
    EXPECT_EQ(entete.largeur, 40);
    EXPECT_EQ(entete.hauteur, 30);
    EXPECT_EQ(entete.bitsParPixel, f.bits);
    EXPECT_FALSE(entete.vignette);
}

INSTANTIATE_TEST_SUITE_P(Formats, LectureFixture,
                         ::testing::Values(Fixture{"quadrants.jpg", img::code::JPEG, 24, 40, false},
                                           Fixture{"quadrants_gris.jpg", img::code::JPEG, 8, 12, true},
                                           Fixture{"quadrants_cmyk.jpg", img::code::JPEG, 32, 40, false},
                                           Fixture{"quadrants.bmp", img::code::BMP, 24, 0, false},
                                           Fixture{"quadrants8.bmp", img::code::BMP, 4, 0, false},
                                           Fixture{"quadrants.tif", img::code::TIFF, 24, 0, false},
                                           Fixture{"quadrants.pcx", img::code::PCX, 24, 0, false},
                                           Fixture{"quadrants8.pcx", img::code::PCX, 8, 0, false},
                                           Fixture{"quadrants_bas.tga", img::code::TARGA, 24, 0, false},
                                           Fixture{"quadrants_rle_haut.tga", img::code::TARGA, 24, 0, false},
                                           Fixture{"quadrants.wmf", img::code::WMF, 24, 0, false},
                                           Fixture{"quadrants.cmp", img::code::CMP, 24, 8, false}),
                         [](const auto& i) {
                             std::string n = i.param.nom;
                             for (char& c : n)
                                 if (!isalnum(uchar(c)))
                                     c = '_';
                             return n;
                         });

// ---- a small compressed file that holds a large picture -------------------------------------------------

namespace {

void poserU16(QByteArray& d, quint16 v) { d.append(char(v & 0xff)).append(char(v >> 8)); }
void poserU32(QByteArray& d, quint32 v) { poserU16(d, quint16(v & 0xffff)); poserU16(d, quint16(v >> 16)); }

// The four colours of the quadrants, as palette entries 0 to 3 (top left, top right, bottom left,
// bottom right), in the blue-green-red order of both formats.
QByteArray palette(bool quatreOctets)
{
    QByteArray p;
    for (const Quadrant& q : quadrants) {
        p.append(char(qBlue(q.couleur))).append(char(qGreen(q.couleur))).append(char(qRed(q.couleur)));
        if (quatreOctets)
            p.append('\0');
    }
    return p;
}

// Palette index of the pixel (x, y) counted from the top of a picture of l x h in quadrants.
int indexQuadrant(int x, int y, int l, int h) { return (y < h / 2 ? 0 : 2) + (x < l / 2 ? 0 : 1); }

// An 8-bit BMP in run-length codes (runs of at most 255 pixels, a row end after each row, rows
// from the bottom).
QByteArray bmpRle8(int l, int h)
{
    QByteArray codes;
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < l;) {
            const int n = std::min(255, (x < l / 2 ? l / 2 : l) - x);
            codes.append(char(n)).append(char(indexQuadrant(x, y, l, h)));
            x += n;
        }
        codes.append('\0').append('\0');
    }
    codes.append('\0').append('\1');
    const QByteArray pal = palette(true);
    QByteArray d("BM");
    poserU32(d, quint32(14 + 40 + pal.size() + codes.size()));
    poserU32(d, 0);
    poserU32(d, quint32(14 + 40 + pal.size()));
    poserU32(d, 40);
    poserU32(d, quint32(l));
    poserU32(d, quint32(h));
    poserU16(d, 1);
    poserU16(d, 8);
    poserU32(d, 1);  // run-length codes of 8 bits
    poserU32(d, quint32(codes.size()));
    poserU32(d, 3780);
    poserU32(d, 3780);
    poserU32(d, 4);
    poserU32(d, 0);
    return d + pal + codes;
}

// A colour-mapped TARGA in run-length packets (at most 128 pixels, none across a row), rows from
// the top.
QByteArray targaRle(int l, int h)
{
    QByteArray d;
    d.append('\0').append('\1').append('\x09');  // no identifier, a colour map, run-length coded
    poserU16(d, 0);
    poserU16(d, 4);
    d.append(char(24));
    poserU16(d, 0);
    poserU16(d, 0);
    poserU16(d, quint16(l));
    poserU16(d, quint16(h));
    d.append(char(8)).append(char(0x20));
    d += palette(false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < l;) {
            const int n = std::min(128, (x < l / 2 ? l / 2 : l) - x);
            d.append(char(0x80 | (n - 1))).append(char(indexQuadrant(x, y, l, h)));
            x += n;
        }
    return d;
}

}  // namespace

// A few megabytes of run-length codes can hold hundreds of megapixels: such a picture, within the
// layer's limits, is read whole, at its size and in its colours (the header first, as the open
// panel does, then the full decode).
TEST(LectureFichier, unPetitFichierCompresseDonneUneGrandeImageEntiere)
{
    const kaltest::DossierTravail dossier;
    struct Cas {
        const char* nom;
        QByteArray octets;
        int code, l, h;
    };
    const Cas cas[] = {{"grande_rle8.bmp", bmpRle8(16000, 16000), img::code::BMP, 16000, 16000},
                       {"grande_rle.tga", targaRle(12000, 9000), img::code::TARGA, 12000, 9000}};
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        const QString chemin = dossier.fichier(QString::fromLatin1(c.nom));
        {
            QFile f(chemin);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.octets);
        }
        EXPECT_LT(c.octets.size(), 4 << 20);
        const img::InfoFichier entete = img::lireInfo(chemin);
        EXPECT_EQ(entete.codeformat, c.code);
        EXPECT_EQ(QSize(entete.largeur, entete.hauteur), QSize(c.l, c.h));
        img::InfoFichier info;
        const QImage image = img::lireFichier(chemin, &info);
        ASSERT_EQ(image.size(), QSize(c.l, c.h));
        EXPECT_EQ(QSize(info.largeur, info.hauteur), QSize(c.l, c.h));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        // Each quadrant's corners and middle, and the pixels on either side of its borders.
        for (int y : {0, c.h / 4, c.h / 2 - 1, c.h / 2, c.h - 1})
            for (int x : {0, c.l / 4, c.l / 2 - 1, c.l / 2, c.l - 1}) {
                const QRgb attendu = quadrants[indexQuadrant(x, y, c.l, c.h)].couleur;
                ASSERT_EQ(image.pixel(x, y) & 0xffffff, attendu & 0xffffff) << x << "," << y;
            }
    }
}

TEST(LectureFichier, reconnaitLeContenuQuelQueSoitLeNom)
{
    kaltest::DossierTravail dossier;
    QFile::copy(kaltest::donnee("imaging/quadrants.bmp"), dossier.fichier("photo3.svc"));
    QFile::copy(kaltest::donnee("imaging/quadrants.pcx"), dossier.fichier("vacances.JPG"));
    img::InfoFichier info;
    verifierQuadrants(img::lireFichier(dossier.fichier("photo3.svc"), &info), 0);
    EXPECT_EQ(info.codeformat, img::code::BMP);
    verifierQuadrants(img::lireFichier(dossier.fichier("vacances.JPG"), &info), 0);
    EXPECT_EQ(info.codeformat, img::code::PCX);
}

TEST(LectureFichier, uneIconePrendSaPlusGrandeImage)
{
    img::InfoFichier info;
    const QImage image = img::lireFichier(kaltest::donnee("imaging/icone.ico"), &info);
    EXPECT_EQ(info.codeformat, img::code::ICO);
    EXPECT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(qRed(image.pixel(10, 10)), 255);
    EXPECT_EQ(qGreen(image.pixel(10, 10)), 128);
    EXPECT_EQ(qBlue(image.pixel(10, 10)), 0);
    EXPECT_EQ(img::lireInfo(kaltest::donnee("imaging/icone.ico")).largeur, 32);
}

// ---- writing and reading back ------------------------------------------------------------------------------

struct Ecriture {
    int code;
    int bits;
    int tolerance;
    QImage::Format lu;
    int bitsLus;
};

class EcritureRelecture : public ::testing::TestWithParam<Ecriture> {};

TEST_P(EcritureRelecture, rendLaMemeImage)
{
    const Ecriture e = GetParam();
    kaltest::DossierTravail dossier;
    const QString chemin = dossier.fichier("sortie.img");
    img::ecrireFichier(imageQuadrants(), chemin, e.code, e.bits, 20);
    img::InfoFichier info;
    const QImage image = img::lireFichier(chemin, &info);
    EXPECT_EQ(info.codeformat, e.code);
    EXPECT_EQ(info.bitsParPixel, e.bitsLus);
    EXPECT_EQ(image.format(), e.lu);
    verifierQuadrants(image, e.tolerance, e.lu == QImage::Format_Grayscale8);
    const img::InfoFichier entete = img::lireInfo(chemin);
    EXPECT_EQ(entete.codeformat, e.code);
    EXPECT_EQ(QSize(entete.largeur, entete.hauteur), QSize(40, 30));
    EXPECT_EQ(entete.bitsParPixel, e.bitsLus);
}

INSTANTIATE_TEST_SUITE_P(Codes, EcritureRelecture,
                         ::testing::Values(Ecriture{img::code::JPEG, 24, 40, QImage::Format_RGB32, 24},
                                           Ecriture{img::code::JPEG, 8, 12, QImage::Format_Grayscale8, 8},
                                           Ecriture{img::code::CMP, 24, 40, QImage::Format_RGB32, 24},
                                           Ecriture{img::code::CMP, 8, 12, QImage::Format_Grayscale8, 8},
                                           Ecriture{img::code::BMP, 24, 0, QImage::Format_RGB32, 24},
                                           Ecriture{img::code::BMP, 8, 0, QImage::Format_RGB32, 8},
                                           Ecriture{img::code::TIFF, 24, 0, QImage::Format_RGB32, 24},
                                           Ecriture{img::code::TIFF, 8, 0, QImage::Format_RGB32, 8},
                                           Ecriture{img::code::TARGA, 24, 0, QImage::Format_RGB32, 24},
                                           Ecriture{img::code::TARGA, 8, 0, QImage::Format_RGB32, 8},
                                           Ecriture{img::code::PCX, 24, 0, QImage::Format_RGB32, 24},
                                           Ecriture{img::code::PCX, 8, 0, QImage::Format_RGB32, 8},
                                           Ecriture{img::code::WMF, 24, 0, QImage::Format_RGB32, 24}),
                         [](const auto& i) { return "code" + std::to_string(i.param.code) + "_" + std::to_string(i.param.bits) + "bits"; });

TEST(EcritureFichier, uneImageGriseEn8BitsResteGrise)
{
    kaltest::DossierTravail dossier;
    const QImage grise = imageQuadrants().convertToFormat(QImage::Format_Grayscale8);
    for (int code : {img::code::BMP, img::code::TIFF, img::code::TARGA, img::code::PCX}) {
        img::ecrireFichier(grise, dossier.fichier("g"), code, 8, 1);
        const QImage lue = img::lireFichier(dossier.fichier("g"));
        EXPECT_EQ(lue.format(), QImage::Format_Grayscale8) << code;
        for (const Quadrant& q : quadrants)
            EXPECT_EQ(lue.pixel(q.x, q.y), grise.pixel(q.x, q.y)) << code;
    }
}

TEST(EcritureFichier, garde32BitsDeTransparenceOuLeFormatLePermet)
{
    kaltest::DossierTravail dossier;
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(qRgba(0, 0, 255, 128));
    for (int code : {img::code::TARGA, img::code::TIFF}) {
        img::ecrireFichier(image, dossier.fichier("a"), code, 32, 1);
        const QImage lue = img::lireFichier(dossier.fichier("a"));
        EXPECT_EQ(lue.format(), QImage::Format_ARGB32) << code;
        EXPECT_NEAR(qAlpha(lue.pixel(3, 3)), 128, 1) << code;
    }
    // A format without transparency lays the picture on white.
    img::ecrireFichier(image, dossier.fichier("a"), img::code::PCX, 32, 1);
    const QRgb c = img::lireFichier(dossier.fichier("a")).pixel(3, 3);
    EXPECT_NEAR(qRed(c), 127, 2);
    EXPECT_NEAR(qBlue(c), 255, 1);
}

TEST(EcritureFichier, targaEcritDepuisLeHautAvecSonPied)
{
    kaltest::DossierTravail dossier;
    img::ecrireFichier(imageQuadrants(), dossier.fichier("t.tga"), img::code::TARGA, 24, 1);
    const QByteArray d = contenu(dossier.fichier("t.tga"));
    EXPECT_EQ(uchar(d[17]) & 0x30, 0x20);  // origin at the top left
    EXPECT_TRUE(d.endsWith(QByteArray("TRUEVISION-XFILE.\0", 18)));
    // Another reader (Qt's) sees the same picture.
    verifierQuadrants(QImage(dossier.fichier("t.tga"), "tga").convertToFormat(QImage::Format_RGB32), 0);
}

TEST(EcritureFichier, metafichierPlacable)
{
    kaltest::DossierTravail dossier;
    const QImage image = imageDetaillee(33, 17);  // odd width: DIB rows are padded
    img::ecrireFichier(image, dossier.fichier("m.wmf"), img::code::WMF, 24, 1);
    const QByteArray d = contenu(dossier.fichier("m.wmf"));
    ASSERT_GE(d.size(), 40);
    EXPECT_TRUE(d.startsWith(QByteArray("\xD7\xCD\xC6\x9A", 4)));
    quint16 somme = 0;
    for (int i = 0; i < 10; ++i)
        somme ^= quint16(uchar(d[2 * i]) | (uchar(d[2 * i + 1]) << 8));
    EXPECT_EQ(somme, quint16(uchar(d[20]) | (uchar(d[21]) << 8)));
    // The library draws the picture through its renderer, which smooths a little: close on
    // average, with the orientation checked exactly on the quadrants.
    const QImage lue = img::lireFichier(dossier.fichier("m.wmf"));
    ASSERT_EQ(lue.size(), image.size());
    qint64 total = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            total += ecart(lue.pixel(x, y), image.pixel(x, y));
    EXPECT_LE(total / (image.width() * image.height()), 12);
    img::ecrireFichier(imageQuadrants(), dossier.fichier("q.wmf"), img::code::WMF, 24, 1);
    verifierQuadrants(img::lireFichier(dossier.fichier("q.wmf")), 0);
}

// ---- quality factor ------------------------------------------------------------------------------------------

TEST(Qualite, correspondanceDuFacteur)
{
    EXPECT_EQ(img::qualiteEncodeur(2), 100);
    EXPECT_EQ(img::qualiteEncodeur(20), 82);
    EXPECT_EQ(img::qualiteEncodeur(52), 50);
    EXPECT_EQ(img::qualiteEncodeur(127), 20);
    EXPECT_EQ(img::qualiteEncodeur(255), 10);
    EXPECT_EQ(img::qualiteEncodeur(0), 100);
    EXPECT_EQ(img::qualiteEncodeur(1000), 10);
    for (int f = 3; f <= 255; ++f)
        EXPECT_LE(img::qualiteEncodeur(f), img::qualiteEncodeur(f - 1)) << f;
}

TEST(Qualite, unFacteurPlusGrandDonneUnFichierPlusPetit)
{
    kaltest::DossierTravail dossier;
    const QImage image = imageDetaillee(160, 120);
    for (int code : {img::code::JPEG, img::code::CMP}) {
        qint64 precedent = -1;
        for (int facteur : {255, 100, 20, 2}) {
            img::ecrireFichier(image, dossier.fichier("q"), code, 24, facteur);
            const qint64 taille = QFile(dossier.fichier("q")).size();
            EXPECT_GT(taille, precedent) << "code " << code << " facteur " << facteur;
            precedent = taille;
        }
    }
}

TEST(Qualite, leFacteur2DuCmpEstSansPerte)
{
    kaltest::DossierTravail dossier;
    const QImage image = imageDetaillee(50, 40);
    img::ecrireFichier(image, dossier.fichier("c.cmp"), img::code::CMP, 24, 2);
    EXPECT_EQ(img::lireFichier(dossier.fichier("c.cmp")), image);
}

// ---- stamp ------------------------------------------------------------------------------------------------------

TEST(Vignette, seRelitSansLaPhoto)
{
    kaltest::DossierTravail dossier;
    const QImage photo = imageDetaillee(320, 240);
    const QImage vignette = imageQuadrants().scaled(145, 109);
    const QString chemin = dossier.fichier("photo0.svc");
    img::ecrireVignette(photo, chemin, img::code::JPEG, 24, 20, vignette);

    const img::InfoFichier info = img::lireInfo(chemin);
    EXPECT_TRUE(info.vignette);
    EXPECT_EQ(QSize(info.largeur, info.hauteur), QSize(320, 240));
    const QImage lue = img::lireVignette(chemin);
    EXPECT_EQ(lue.size(), QSize(145, 109));
    EXPECT_LE(ecart(lue.pixel(10, 10), qRgb(255, 0, 0)), 40);
    EXPECT_EQ(img::lireFichier(chemin).size(), QSize(320, 240));
    // Another reader sees an ordinary JPEG.
    EXPECT_EQ(QImage(chemin, "jpeg").size(), QSize(320, 240));

    // The stamp is found before the picture: a file cut after it still gives its stamp.
    QByteArray d = contenu(chemin);
    d.truncate(d.size() * 3 / 4);
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(d);
    f.close();
    EXPECT_EQ(img::lireVignette(chemin).size(), QSize(145, 109));
    EXPECT_EQ(numeroErreur([&] { img::lireFichier(chemin); }), img::err::FichierEndommage);
}

TEST(Vignette, absenteEstUneErreur)
{
    kaltest::DossierTravail dossier;
    img::ecrireFichier(imageQuadrants(), dossier.fichier("photo1.svc"), img::code::JPEG, 24, 20);
    EXPECT_EQ(numeroErreur([&] { img::lireVignette(dossier.fichier("photo1.svc")); }), img::err::VignetteAbsente);
    EXPECT_FALSE(img::lireInfo(dossier.fichier("photo1.svc")).vignette);
    EXPECT_EQ(numeroErreur([&] { img::lireVignette(kaltest::donnee("imaging/quadrants.bmp")); }), img::err::VignetteAbsente);
    EXPECT_EQ(numeroErreur([&] { img::lireVignette(dossier.fichier("absent.svc")); }), kal::err::FichierIntrouvable);
    // A stamp only goes into a JPEG.
    EXPECT_EQ(numeroErreur([&] {
                  img::ecrireVignette(imageQuadrants(), dossier.fichier("v.bmp"), img::code::BMP, 24, 20, imageQuadrants());
              }),
              img::err::FormatNonPris);
}

// ---- reduced JPEG decoding ------------------------------------------------------------------------------------

TEST(LectureReduite, prendLaPlusPetiteTailleSuffisante)
{
    kaltest::DossierTravail dossier;
    const QString chemin = dossier.fichier("grande.jpg");
    img::ecrireFichier(imageDetaillee(400, 300), chemin, img::code::JPEG, 24, 20);
    const struct {
        QSize demandee, obtenue;
    } cas[] = {{{50, 38}, {50, 38}}, {{40, 10}, {50, 38}},   {{51, 38}, {100, 75}},
               {{100, 75}, {100, 75}}, {{101, 75}, {200, 150}}, {{201, 1}, {400, 300}},
               {{800, 600}, {400, 300}}, {{}, {400, 300}}};
    for (const auto& c : cas) {
        img::InfoFichier info;
        EXPECT_EQ(img::lireFichier(chemin, &info, c.demandee).size(), c.obtenue) << c.demandee.width() << "x" << c.demandee.height();
        EXPECT_EQ(QSize(info.largeur, info.hauteur), QSize(400, 300));
    }
    // Other formats are decoded whole.
    img::ecrireFichier(imageDetaillee(400, 300), dossier.fichier("grande.bmp"), img::code::BMP, 24, 1);
    EXPECT_EQ(img::lireFichier(dossier.fichier("grande.bmp"), nullptr, {50, 38}).size(), QSize(400, 300));
}

// ---- errors --------------------------------------------------------------------------------------------------------

TEST(Erreurs, fichiersAbsentsOuInaccessibles)
{
    kaltest::DossierTravail dossier;
    EXPECT_EQ(numeroErreur([&] { img::lireFichier(dossier.fichier("absent.jpg")); }), kal::err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { img::lireInfo(dossier.fichier("absent.jpg")); }), kal::err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { img::lireFichier(QString()); }), kal::err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { img::lireFichier(dossier.chemin()); }), kal::err::AccesChemin);
}

TEST(Erreurs, argumentsDEcritureRefuses)
{
    kaltest::DossierTravail dossier;
    const QString chemin = dossier.fichier("x");
    EXPECT_EQ(numeroErreur([&] { img::ecrireFichier(imageQuadrants(), chemin, 2, 24, 20); }), img::err::FormatNonPris);
    EXPECT_EQ(numeroErreur([&] { img::ecrireFichier(imageQuadrants(), chemin, img::code::ICO, 24, 20); }), img::err::FormatNonPris);
    EXPECT_EQ(numeroErreur([&] { img::ecrireFichier(imageQuadrants(), chemin, img::code::BMP, 0, 20); }), img::err::FormatNonPris);
    EXPECT_EQ(numeroErreur([&] { img::ecrireFichier(imageQuadrants(), chemin, img::code::BMP, 33, 20); }), img::err::FormatNonPris);
    EXPECT_EQ(numeroErreur([&] { img::ecrireFichier(QImage(), chemin, img::code::JPEG, 24, 20); }), img::err::EcritureImpossible);
    EXPECT_FALSE(QFile::exists(chemin));
}

TEST(Erreurs, uneEcritureManqueeGardeLAncienFichier)
{
    kaltest::DossierTravail dossier;
    const QString chemin = dossier.fichier("garde.wmf");
    img::ecrireFichier(imageQuadrants(), chemin, img::code::WMF, 24, 1);
    const QByteArray avant = contenu(chemin);
    // Too wide for a metafile: refused, and the file already there stays whole.
    EXPECT_EQ(numeroErreur([&] { img::ecrireFichier(QImage(40000, 1, QImage::Format_RGB32), chemin, img::code::WMF, 24, 1); }),
              img::err::EcritureImpossible);
    EXPECT_EQ(contenu(chemin), avant);
    EXPECT_EQ(numeroErreur([&] { img::ecrireFichier(imageQuadrants(), dossier.fichier("absent/x.jpg"), img::code::JPEG, 24, 20); }),
              img::err::EcritureImpossible);
}
