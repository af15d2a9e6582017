// JPEG files with restart markers are decoded in bands on every core: the pixels must be those of
// a decode in one, at every reduction, for every sampling; a damaged banded file is refused as
// one decoded in one is. Our writer puts the markers in large pictures and encodes them in bands:
// the bytes must be those of an encode in one. A display copy of a file without markers is
// resampled row by row while it is decoded: its pixels must be those of the decode resampled after.
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/codecs/interne.h"
#include "platform/imaging/codecs/jpeginterne.h"
#include "platform/imaging/pixels.h"

#include <QImageReader>
#include <QImageWriter>
#include <QBuffer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <utility>

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
    // Below and above the size whose coded data is read on every core.
    for (const QSize taille : {QSize(1600, 1200), QSize(2400, 1200)}) {
        const QByteArray f = sansReprises(photo(taille.width(), taille.height()), 82);
        const QSize cible(700, 350 * taille.height() / 600 / 2 * 2);
        QByteArray brouille = f;
        for (qsizetype i = f.size() / 2; i < f.size() / 2 + 64; ++i)
            brouille[i] = char(0xFF);
        for (const QByteArray& d : {f.left(f.size() * 3 / 5), f.left(f.size() / 10), brouille}) {
            const int attendu = numero([&] { reduiteApres(d, cible); });
            EXPECT_NE(attendu, 0);
            EXPECT_EQ(numero([&] { img::lireDonneesReduites(d, cible); }), attendu);
        }
        // The same file whole is read after its damaged copies: nothing was left behind.
        EXPECT_EQ(img::lireDonneesReduites(f, cible).size(), cible);
    }
}

namespace {

// A file without restart markers whose luma is sampled h x v times the chroma.
QByteArray echantillonne(const QImage& i, int h, int v)
{
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* sortie = nullptr;
    unsigned long taille = 0;
    jpeg_mem_dest(&c, &sortie, &taille);
    c.image_width = JDIMENSION(i.width());
    c.image_height = JDIMENSION(i.height());
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    c.comp_info[0].h_samp_factor = h;
    c.comp_info[0].v_samp_factor = v;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW ligne = const_cast<JSAMPROW>(i.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &ligne, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray f(reinterpret_cast<const char*>(sortie), qsizetype(taille));
    std::free(sortie);
    return f;
}

// The picture at the decoder's scale for `cible`, its coded data read on every core (null when
// that reader does not take the file).
QImage surTousLesCoeurs(const QByteArray& f, QSize cible)
{
    img::InfoFichier info;
    EXPECT_TRUE(interne::enteteJpeg(f, info, f.size()));
    interne::Decodeur d;
    interne::ouvrirDecodeur(d, f, info, cible);
    return interne::lireSurTousLesCoeurs(f, d.cinfo);
}

// The largest and the mean difference of two pictures' channels.
std::pair<int, double> ecart(const QImage& a, const QImage& b)
{
    int pire = 0;
    double somme = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int s : {0, 8, 16}) {
                const int d = std::abs(int((a.pixel(x, y) >> s) & 0xFF) - int((b.pixel(x, y) >> s) & 0xFF));
                pire = std::max(pire, d);
                somme += d;
            }
    return {pire, somme / (3.0 * a.width() * a.height())};
}

}  // namespace

TEST(CopieReduite, UnGrandFichierSansReprisesLuSurTousLesCoeurs)
{
    // 4:2:0 and 4:4:4 (Qt's writer), 4:2:2 and 4:4:0; sides that are not whole units; every scale
    // from the full size to an eighth. The picture is that of the decoder within the rounding of
    // its reduced transforms and of the chroma's enlargement.
    QImage source(2403, 1205, QImage::Format_RGB32);  // smooth light, round shapes and a little grain
    std::mt19937 g(3);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const double u = double(x) / source.width(), v = double(y) / source.height();
            const bool disque = (u - 0.5) * (u - 0.5) + (v - 0.4) * (v - 0.4) < 0.05;
            const int n = int(g() % 9) - 4;
            source.setPixel(x, y, disque ? qRgb(200 + n, 60 + n, 50 + n)
                                         : qRgb(int(90 + 120 * u) + n, int(70 + 100 * v) + n, int(140 - 60 * u * v) + n));
        }
    const QByteArray fichiers[] = {sansReprises(source, 82), sansReprises(source, 100), echantillonne(source, 2, 1),
                                   echantillonne(source, 1, 2)};
    for (const QByteArray& f : fichiers) {
        for (const QSize cible : {QSize(1600, 803), QSize(1000, 502), QSize(600, 301), QSize(300, 150)}) {
            SCOPED_TRACE(testing::Message() << cible.width() << " x " << cible.height() << ", file " << (&f - fichiers));
            const QImage lue = surTousLesCoeurs(f, cible);
            ASSERT_FALSE(lue.isNull());
            EXPECT_EQ(lue.size(), interne::lireJpeg(f, cible, false).size());
            // The display copy is that picture resampled; against the full decode resampled, it is
            // as near as the decoder's own reduction.
            const QImage copie = img::lireDonneesReduites(f, cible);
            EXPECT_TRUE(copie == img::reechantillonner(lue, cible.width(), cible.height()));
            const QImage entiere = img::reechantillonner(interne::lireJpeg(f, {}, false), cible.width(), cible.height());
            const auto [pire, moyenne] = ecart(copie, entiere);
            const auto [pireDecodeur, moyenneDecodeur] = ecart(reduiteApres(f, cible), entiere);
            EXPECT_LE(pire, pireDecodeur + 8);
            EXPECT_LE(moyenne, moyenneDecodeur + 0.3);
        }
    }
    // At full size, the decoder's very pixels (a grainier picture: every coefficient at work).
    for (const QByteArray& f : {sansReprises(photo(2403, 1205), 82), sansReprises(photo(2403, 1205), 100),
                                echantillonne(photo(2403, 1205), 2, 1), echantillonne(photo(2403, 1205), 1, 2)}) {
        const QImage entiere = surTousLesCoeurs(f, {});
        ASSERT_EQ(entiere.size(), QSize(2403, 1205));
        EXPECT_TRUE(entiere == interne::lireJpeg(f, {}, false));
        EXPECT_TRUE(interne::lireJpeg(f, {}, true) == entiere);
    }
    // Not taken: grey, restart markers, progressive; these go to the decoder row by row.
    QByteArray progressif;
    {
        QBuffer b(&progressif);
        b.open(QIODevice::WriteOnly);
        QImageWriter w(&b, "JPEG");
        w.setProgressiveScanWrite(true);
        ASSERT_TRUE(w.write(source));
    }
    for (const QByteArray& f : {img::encoderImage(photo(2403, 1205, true), img::code::JPEG, 8, 20),
                                img::encoderImage(source, img::code::JPEG, 24, 20), progressif})
        EXPECT_TRUE(surTousLesCoeurs(f, {1000, 502}).isNull());
}

TEST(CopieReduite, DesBitsChangesDonnentCeQueDonneLeDecodeur)
{
    // A changed bit in the coded data: the same refusal as the decoder's, or when it reads on,
    // the same picture (within the rounding when reduced).
    const QByteArray f = sansReprises(photo(2400, 1200), 82);
    // This grain is coded finer than the two reductions keep it: they differ this much unchanged.
    const double base = ecart(img::reechantillonner(interne::lireJpeg(f, {1000, 500}, false), 1000, 500),
                              img::lireDonneesReduites(f, {1000, 500})).second;
    std::mt19937 g(7);
    for (int essai = 0; essai < 8; ++essai) {
        QByteArray d = f;
        const qsizetype i = f.size() / 4 + qsizetype(g() % unsigned(f.size() / 2));
        if (uchar(d[i]) == 0xFF || uchar(d[i - 1]) == 0xFF)
            continue;
        d[i] = char(uchar(d[i]) ^ (1u << (g() % 8)));
        if (uchar(d[i]) == 0xFF)
            continue;
        SCOPED_TRACE(testing::Message() << "byte " << i);
        QImage attendue, lue;
        const int attendu = numero([&] { attendue = interne::lireJpeg(d, {1000, 500}, false); });
        EXPECT_EQ(numero([&] { lue = img::lireDonneesReduites(d, {1000, 500}); }), attendu);
        if (!attendu) {
            EXPECT_LT(ecart(img::reechantillonner(attendue, 1000, 500), lue).second, base + 0.3);
        }
        // At full size, the very pixels.
        QImage enUn, partout;
        EXPECT_EQ(numero([&] { partout = interne::lireJpeg(d, {}, true); }), numero([&] { enUn = interne::lireJpeg(d, {}, false); }));
        EXPECT_TRUE(partout == enUn);
    }
}
