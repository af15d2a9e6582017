// JPEG files with restart markers are decoded in bands on every core: the pixels must be those of
// a decode in one, at every reduction, for every sampling; a damaged banded file is refused as
// one decoded in one is. Our writer puts the markers in large pictures and encodes them in bands:
// the bytes must be those of an encode in one. A display copy of a file without markers is
// resampled row by row while it is decoded: its pixels must be those of the decode resampled after.
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/codecs/interne.h"
#include "platform/imaging/pixels.h"

#include <QImageReader>
#include <QBuffer>
#include <gtest/gtest.h>

#include <random>

namespace img = kal::image;
namespace interne = kal::image::interne;

namespace {

// Smooth light, sharp-edged shapes and grain, so that every block has something to code.
QImage photo(int w, int h, bool gris = false)
{
    std::mt19937 g(unsigned(w * 31 + h));
    QImage i(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* l = reinterpret_cast<QRgb*>(i.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(g() % 23);
            int r = (x * 200 / w + n) % 256, v = (y * 180 / h + 2 * n) % 256, b = ((x / 37 + y / 41) % 2) ? 220 : 30;
            if (gris)
                r = v = b = (r + v) / 2;
            l[x] = qRgb(r, v, b);
        }
    }
    return i;
}

int reprises(const QByteArray& f)
{
    int n = 0;
    for (qsizetype i = 0; i + 1 < f.size(); ++i)
        n += uchar(f[i]) == 0xFF && uchar(f[i + 1]) >= 0xD0 && uchar(f[i + 1]) <= 0xD7;
    return n;
}

int numero(const std::function<void()>& f)
{
    try {
        f();
    } catch (const kal::Erreur& e) {
        return e.numero();
    }
    return 0;
}

}  // namespace

TEST(DecodageEnBandes, LesMemesPixelsQueLeDecodageEnUn)
{
    // 4:2:0 (work copies), 4:4:4 (finest factor), grey; sides that are not whole blocks.
    struct Cas {
        int w, h, facteur, bits;
    };
    for (const Cas c : {Cas{1603, 1207, 20, 24}, Cas{1280, 1024, 2, 24}, Cas{1400, 1001, 20, 8}}) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << ", facteur " << c.facteur << ", " << c.bits << " bits");
        const QByteArray f = img::encoderImage(photo(c.w, c.h, c.bits == 8), img::code::JPEG, c.bits, c.facteur);
        const int lignesMcu = (c.h + (c.facteur == 20 && c.bits == 24 ? 15 : 7)) / (c.facteur == 20 && c.bits == 24 ? 16 : 8);
        EXPECT_EQ(reprises(f), lignesMcu - 1);  // a marker after every row of blocks
        for (const QSize t : {QSize(), QSize(700, 500), QSize(300, 250), QSize(150, 120)}) {
            const QImage enBandes = interne::lireJpeg(f, t, true), enUn = interne::lireJpeg(f, t, false);
            ASSERT_FALSE(enUn.isNull());
            EXPECT_EQ(enBandes.size(), enUn.size()) << t.width();
            EXPECT_TRUE(enBandes == enUn) << "reduced to " << enUn.width() << " x " << enUn.height();
        }
        // Another decoder reads the same pixels from the file with its markers.
        if (c.bits == 24) {
            QBuffer b;
            b.setData(f);
            QImageReader lecteur(&b, "jpeg");
            const QImage qt = lecteur.read().convertToFormat(QImage::Format_RGB32);
            EXPECT_TRUE(qt == img::lireDonnees(f));
        }
    }
}

TEST(DecodageEnBandes, UnFichierEndommageEstRefuseCommeEnUn)
{
    const QByteArray f = img::encoderImage(photo(1600, 1200), img::code::JPEG, 24, 20);
    // Cut inside a band; a restart marker renumbered; entropy bytes scrambled after a marker (the
    // markers still in place: the bands are decoded, and the damage stays inside its interval).
    QByteArray coupe = f.left(f.size() * 3 / 5);
    QByteArray renumerote = f, brouille = f;
    for (qsizetype i = f.size() / 2, vus = 0; i + 1 < f.size(); ++i)
        if (uchar(f[i]) == 0xFF && uchar(f[i + 1]) >= 0xD0 && uchar(f[i + 1]) <= 0xD7 && ++vus == 1) {
            renumerote[i + 1] = char(0xD0 + ((uchar(f[i + 1]) - 0xD0 + 3) & 7));
            for (int k = 2; k < 40; ++k)
                brouille[i + k] = char(k % 3 ? 0x00 : 0x5A);
            break;
        }
    for (const QByteArray& d : {coupe, renumerote, brouille}) {
        const int enUn = numero([&] { interne::lireJpeg(d, {}, false); });
        EXPECT_EQ(numero([&] { interne::lireJpeg(d, {}, true); }), enUn);
        EXPECT_EQ(numero([&] { img::lireDonnees(d); }), enUn);
        EXPECT_EQ(numero([&] { img::lireDonnees(d, nullptr, {400, 300}); }), numero([&] { interne::lireJpeg(d, {400, 300}, false); }));
        if (enUn == 0) {
            EXPECT_TRUE(interne::lireJpeg(d, {}, true) == interne::lireJpeg(d, {}, false));
        }
    }
    EXPECT_EQ(numero([&] { img::lireDonnees(coupe); }), img::err::FichierEndommage);
}

TEST(EncodageEnBandes, LesMemesOctetsQueLEncodageEnUn)
{
    const QByteArray exif = interne::segmentExif(interne::ecrireJpeg(photo(145, 97), false, 82));
    struct Cas {
        int w, h, qualite;
        bool gris;
        const QByteArray* app1;
    };
    const QByteArray aucun;
    for (const Cas c : {Cas{1603, 1207, 82, false, &aucun}, Cas{1280, 1030, 95, false, &aucun}, Cas{1400, 1001, 82, true, &aucun},
                        Cas{1500, 900, 82, false, &exif}}) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << ", qualite " << c.qualite << (c.gris ? ", gris" : ""));
        const QImage source = photo(c.w, c.h, c.gris);
        const QByteArray enBandes = interne::ecrireJpeg(source, c.gris, c.qualite, *c.app1, true);
        const QByteArray enUn = interne::ecrireJpeg(source, c.gris, c.qualite, *c.app1, false);
        EXPECT_EQ(enBandes.size(), enUn.size());
        EXPECT_TRUE(enBandes == enUn);
        EXPECT_EQ(img::lireInfoDonnees(enBandes).hauteur, c.h);
    }
    // A stamped file still gives its stamp.
    const QByteArray f = interne::ecrireJpeg(photo(1500, 900), false, 82, exif, true);
    EXPECT_FALSE(interne::vignetteJpeg(f).isEmpty());
}

namespace {

// What the display copy must be: the reduced decode, resampled after.
QImage reduiteApres(const QByteArray& f, QSize cible)
{
    const QImage r = interne::lireJpeg(f, cible, false);
    return r.size() == cible ? img::enRgb32(r) : img::reechantillonner(r, cible.width(), cible.height());
}

QByteArray sansReprises(const QImage& i, int qualite)
{
    QByteArray f;
    QBuffer b(&f);
    b.open(QIODevice::WriteOnly);
    i.save(&b, "JPEG", qualite);
    return f;
}

}  // namespace

TEST(CopieReduite, LesPixelsDuDecodageReechantillonneApres)
{
    // Files without restart markers (another writer's, 4:2:0 and 4:4:4), with them (ours), and
    // grey; each reduced by DCT scaling or not, resampled down across and along, or only one way.
    const QImage source = photo(1603, 1207);
    const QByteArray fichiers[] = {sansReprises(source, 82), sansReprises(source, 100),
                                   img::encoderImage(source, img::code::JPEG, 24, 20),
                                   img::encoderImage(photo(1603, 1207, true), img::code::JPEG, 8, 20)};
    ASSERT_EQ(reprises(fichiers[0]), 0);
    for (const QByteArray& f : fichiers) {
        for (const QSize cible : {QSize(1600, 1205), QSize(801, 603), QSize(640, 480), QSize(300, 226), QSize(1603, 600),
                                  QSize(97, 1207), QSize(1603, 1207), QSize(1, 1)}) {
            SCOPED_TRACE(testing::Message() << cible.width() << " x " << cible.height() << ", " << reprises(f) << " markers");
            const QImage attendue = reduiteApres(f, cible);
            const QImage lue = img::lireDonneesReduites(f, cible);
            ASSERT_EQ(lue.size(), cible);
            EXPECT_EQ(lue.format(), QImage::Format_RGB32);
            EXPECT_TRUE(lue == attendue);
        }
    }
}

TEST(CopieReduite, UnFichierEndommageEstRefuse)
{
    const QByteArray f = sansReprises(photo(1600, 1200), 82);
    QByteArray brouille = f;
    for (qsizetype i = f.size() / 2; i < f.size() / 2 + 64; ++i)
        brouille[i] = char(0xFF);
    for (const QByteArray& d : {f.left(f.size() * 3 / 5), f.left(f.size() / 10), brouille}) {
        const int attendu = numero([&] { reduiteApres(d, {700, 525}); });
        EXPECT_NE(attendu, 0);
        EXPECT_EQ(numero([&] { img::lireDonneesReduites(d, {700, 525}); }), attendu);
    }
    // The same file whole is read after its damaged copies: nothing was left behind.
    EXPECT_TRUE(img::lireDonneesReduites(f, {700, 525}) == reduiteApres(f, {700, 525}));
}
