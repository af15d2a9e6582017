// The pixel formulas on known inputs.
#include "platform/imaging/pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace kal::image;

namespace {

QImage uni(int w, int h, QRgb c)
{
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(c);
    return i;
}

QRgb px(const QImage& i, int x, int y) { return i.pixel(x, y) & 0xFFFFFF; }

QImage hasard(int w, int h, unsigned graine)
{
    std::mt19937 g(graine);
    QImage i(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            i.setPixel(x, y, qRgb(g() % 256, g() % 256, g() % 256));
    return i;
}

QRgb un(const Reglages& r, QRgb c) { return px(appliquerReglages(uni(3, 3, c), r), 1, 1); }

}  // namespace

TEST(Reglages, ContrasteTourneAutourDuGrisMoyen)
{
    EXPECT_EQ(un({.contraste = -1000}, qRgb(10, 200, 255)), qRgb(128, 128, 128) & 0xFFFFFF);
    // Gain 1 / (1 - 0.4995) at 500: 150 -> 127.5 + 22.5 x 1.998 = 172.45.
    EXPECT_EQ(un({.contraste = 500}, qRgb(150, 105, 200)), qRgb(172, 83, 255) & 0xFFFFFF);
    EXPECT_EQ(un({.contraste = -500}, qRgb(255, 0, 128)), qRgb(191, 64, 128) & 0xFFFFFF);
}

TEST(Reglages, IntensiteAjouteUnePartDe255)
{
    EXPECT_EQ(un({.intensite = 1000}, qRgb(0, 10, 128)), 0xFFFFFFu);
    EXPECT_EQ(un({.intensite = -1000}, qRgb(255, 10, 128)), 0u);
    EXPECT_EQ(un({.intensite = 100}, qRgb(0, 100, 250)), qRgb(26, 126, 255) & 0xFFFFFF);  // 25.5 -> 26
}

TEST(Reglages, TeinteTourneLesCouleursEtGardeLesGris)
{
    EXPECT_EQ(un({.teinte = 120}, qRgb(255, 0, 0)), qRgb(0, 255, 0) & 0xFFFFFF);
    EXPECT_EQ(un({.teinte = -120}, qRgb(255, 0, 0)), qRgb(0, 0, 255) & 0xFFFFFF);
    for (int a : {-180, -37, 1, 90, 180})
        for (int g : {0, 77, 200, 255})
            EXPECT_EQ(un({.teinte = a}, qRgb(g, g, g)), qRgb(g, g, g) & 0xFFFFFF) << a << " " << g;
}

TEST(Reglages, SaturationEloigneOuRapprocheDeLaLuminance)
{
    // L = (77 x 200 + 150 x 100 + 29 x 100 + 128) >> 8 = 130; factor 1.5 (384 / 256).
    EXPECT_EQ(un({.saturation = 500}, qRgb(200, 100, 100)), qRgb(235, 85, 85) & 0xFFFFFF);
    EXPECT_EQ(un({.saturation = -1000}, qRgb(200, 100, 100)), qRgb(130, 130, 130) & 0xFFFFFF);
}

TEST(Reglages, NetteteRenforceOuFloute)
{
    // A uniform picture has no detail to sharpen or blur.
    for (int v : {-1000, -300, 400, 1000})
        EXPECT_EQ(un({.nettete = v}, qRgb(90, 140, 30)), qRgb(90, 140, 30) & 0xFFFFFF);
    QImage point = uni(5, 5, qRgb(0, 0, 0));
    point.setPixel(2, 2, qRgb(255, 100, 0));
    // -1000 is the 3 x 3 binomial blur: the centre keeps 4/16 of itself, a side 2/16, a corner 1/16.
    const QImage flou = appliquerReglages(point, {.nettete = -1000});
    EXPECT_EQ(px(flou, 2, 2), qRgb(64, 25, 0) & 0xFFFFFF);
    EXPECT_EQ(px(flou, 1, 2), qRgb(32, 13, 0) & 0xFFFFFF);
    EXPECT_EQ(px(flou, 1, 1), qRgb(16, 6, 0) & 0xFFFFFF);
    // Sharpening a grey dot on grey raises the dot and darkens its ring.
    QImage gris = uni(5, 5, qRgb(100, 100, 100));
    gris.setPixel(2, 2, qRgb(150, 150, 150));
    const QImage net = appliquerReglages(gris, {.nettete = 500});
    EXPECT_GT(qRed(net.pixel(2, 2)), 150);
    EXPECT_LT(qRed(net.pixel(1, 2)), 100);
    EXPECT_EQ(qRed(net.pixel(0, 0)), 100);
}

TEST(Reglages, UnePasseEgaleLesCinqReglagesUnAUn)
{
    const QImage src = hasard(97, 61, 7);
    const Reglages tous{.contraste = 230, .teinte = -47, .intensite = -120, .nettete = 640, .saturation = 370};
    QImage suite = src;
    suite = appliquerReglages(suite, {.contraste = 230});
    suite = appliquerReglages(suite, {.teinte = -47});
    suite = appliquerReglages(suite, {.intensite = -120});
    suite = appliquerReglages(suite, {.nettete = 640});
    suite = appliquerReglages(suite, {.saturation = 370});
    EXPECT_EQ(appliquerReglages(src, tous), suite);
    // Neutral values give the picture back untouched; values beyond the ranges are bounded.
    EXPECT_EQ(appliquerReglages(src, {}), src);
    EXPECT_EQ(appliquerReglages(src, {.contraste = 5000}), appliquerReglages(src, {.contraste = 1000}));
}

TEST(Rotation, QuartsDeTourExacts)
{
    QImage i = uni(3, 2, qRgb(0, 0, 0));
    i.setPixel(0, 0, qRgb(255, 0, 0));  // top left
    i.setPixel(2, 1, qRgb(0, 0, 255));  // bottom right
    const QImage q = tourner(i, 9000, qRgb(255, 255, 255));
    ASSERT_EQ(q.size(), QSize(2, 3));
    EXPECT_EQ(px(q, 1, 0), qRgb(255, 0, 0) & 0xFFFFFF);  // clockwise: top left goes to top right
    EXPECT_EQ(px(q, 0, 2), qRgb(0, 0, 255) & 0xFFFFFF);
    const QImage d = tourner(i, -9000, qRgb(255, 255, 255));
    EXPECT_EQ(px(d, 0, 2), qRgb(255, 0, 0) & 0xFFFFFF);
    const QImage m = tourner(i, 18000, qRgb(255, 255, 255));
    EXPECT_EQ(px(m, 2, 1), qRgb(255, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(tourner(i, 36000, 0), i);
    EXPECT_EQ(tourner(tourner(i, 9000, 0), 27000, 0), i);
}

TEST(Rotation, AngleQuelconqueAgranditEtBlanchitLesCoins)
{
    const QImage i = uni(100, 50, qRgb(0, 0, 200));
    const QImage r = tourner(i, 4500, qRgb(255, 255, 255));
    EXPECT_EQ(r.size(), QSize(106, 106));  // 150 x cos 45
    EXPECT_EQ(tailleTournee(QSize(100, 50), 4500), QSize(106, 106));
    EXPECT_EQ(px(r, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(px(r, 105, 105), 0xFFFFFFu);
    EXPECT_EQ(px(r, 53, 53), qRgb(0, 0, 200) & 0xFFFFFF);
    // Clockwise: a mark on the right edge's middle moves down.
    QImage m = uni(41, 41, qRgb(0, 0, 0));
    for (int y = 18; y <= 22; ++y)
        for (int x = 36; x <= 40; ++x)
            m.setPixel(x, y, qRgb(255, 255, 255));
    const QImage t = tourner(m, 3000, qRgb(0, 0, 0));
    const int c = t.width() / 2;
    EXPECT_GT(qRed(t.pixel(c + 16, c + 9)), 200);  // (18 cos 30, 18 sin 30) below the centre
    EXPECT_LT(qRed(t.pixel(c + 16, c - 9)), 50);
}

TEST(Rotation, ChaquePixelEstLeMelangeBilineaireDeSesQuatreVoisins)
{
    // Random pixels, so that a pixel taken from the wrong place shows; the background counts for
    // the samples outside. Within two steps of the exact mix (the weights are in 256ths).
    const QImage src = hasard(83, 61, 7);
    const QRgb fond = qRgb(255, 255, 255);
    for (int centiemes : {1250, -3330, 17000}) {
        SCOPED_TRACE(centiemes);
        const QImage r = tourner(src, centiemes, fond);
        ASSERT_EQ(r.size(), tailleTournee(src.size(), centiemes));
        const double a = centiemes / 100.0 * M_PI / 180, co = std::cos(a), si = std::sin(a);
        const int W = r.width(), H = r.height();
        int ecart = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const double dx = x + 0.5 - W / 2.0, dy = y + 0.5 - H / 2.0;
                const double sx = dx * co + dy * si + src.width() / 2.0 - 0.5, sy = -dx * si + dy * co + src.height() / 2.0 - 0.5;
                const int x0 = int(std::floor(sx)), y0 = int(std::floor(sy));
                const double fx = sx - x0, fy = sy - y0;
                auto at = [&](int i, int j, int d) {
                    return int((QRect(QPoint(), src.size()).contains(i, j) ? src.pixel(i, j) : fond) >> d & 0xFF);
                };
                for (int d = 0; d <= 16; d += 8) {
                    const double v = (at(x0, y0, d) * (1 - fx) + at(x0 + 1, y0, d) * fx) * (1 - fy)
                                     + (at(x0, y0 + 1, d) * (1 - fx) + at(x0 + 1, y0 + 1, d) * fx) * fy;
                    ecart = std::max(ecart, std::abs(int(r.pixel(x, y) >> d & 0xFF) - int(std::lround(v))));
                }
            }
        EXPECT_LE(ecart, 2);
    }
}

TEST(Reechantillonnage, TaillesCouleursEtMoyennes)
{
    const QImage u = uni(640, 480, qRgb(12, 180, 250));
    const QImage r = reechantillonner(u, 123, 77);
    ASSERT_EQ(r.size(), QSize(123, 77));
    for (QPoint p : {QPoint(0, 0), QPoint(122, 76), QPoint(60, 40)})
        EXPECT_EQ(px(r, p.x(), p.y()), qRgb(12, 180, 250) & 0xFFFFFF);
    const QImage grand = reechantillonner(u, 1000, 900);
    EXPECT_EQ(px(grand, 999, 899), qRgb(12, 180, 250) & 0xFFFFFF);
    // A reduction by two of a one-pixel checkerboard averages it to mid grey.
    QImage damier(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            damier.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage moitie = reechantillonner(damier, 32, 32);
    EXPECT_NEAR(qRed(moitie.pixel(16, 16)), 128, 1);
    EXPECT_EQ(reechantillonner(damier, 0, -3).size(), QSize(1, 1));
}

// The triangle filter widened to the reduction ratio, in double precision, without rounding between
// the two directions.
QImage filtreExact(const QImage& src, int W, int H)
{
    auto poids = [](int n, int m, int o) {
        std::vector<std::pair<int, double>> t;
        const double e = double(n) / m, s = std::max(1.0, e), c = (o + 0.5) * e;
        double total = 0;
        for (int i = std::max(0, int(std::floor(c - s))); i < std::min(n, int(std::ceil(c + s))); ++i)
            if (const double q = 1 - std::abs((i + 0.5 - c) / s); q > 0)
                t.push_back({i, q}), total += q;
        for (auto& p : t)
            p.second /= total;
        return t;
    };
    QImage r(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            double v[3] = {0, 0, 0};
            for (auto [j, qy] : poids(src.height(), H, y))
                for (auto [i, qx] : poids(src.width(), W, x)) {
                    const QRgb p = src.pixel(i, j);
                    v[0] += qx * qy * qRed(p), v[1] += qx * qy * qGreen(p), v[2] += qx * qy * qBlue(p);
                }
            r.setPixel(x, y, qRgb(int(std::lround(v[0])), int(std::lround(v[1])), int(std::lround(v[2]))));
        }
    return r;
}

TEST(Reechantillonnage, ReductionsParDeuxEtAutresSuiventLeFiltre)
{
    // By two in both directions (the width leaves a few pixels after the vector steps), in one of
    // them only, and by other ratios: every channel within one step of the exact filter.
    for (QSize cible : {QSize(21, 9), QSize(40, 10), QSize(27, 31), QSize(17, 12)}) {
        for (QSize source : {cible * 2, QSize(cible.width() * 2 + 1, cible.height() * 2),
                             QSize(cible.width() * 2, cible.height()), QSize(cible.width() * 3 - 1, cible.height() * 2)}) {
            SCOPED_TRACE(QStringLiteral("%1x%2 -> %3x%4").arg(source.width()).arg(source.height()).arg(cible.width())
                             .arg(cible.height()).toStdString());
            const QImage src = hasard(source.width(), source.height(), unsigned(source.width() * 1000 + source.height()));
            const QImage r = reechantillonner(src, cible.width(), cible.height()), ref = filtreExact(src, cible.width(), cible.height());
            int ecart = 0;
            for (int y = 0; y < cible.height(); ++y)
                for (int x = 0; x < cible.width(); ++x)
                    for (int d = 0; d <= 16; d += 8)
                        ecart = std::max(ecart, std::abs(int((r.pixel(x, y) >> d) & 0xFF) - int((ref.pixel(x, y) >> d) & 0xFF)));
            EXPECT_LE(ecart, 1);
            // Rows given one at a time make the same pixels.
            ReechantillonnageFlux flux(source, cible);
            flux.avancer(source.height(), [&](int i) { return src.constScanLine(i); });
            EXPECT_EQ(flux.resultat(), r);
        }
    }
}

TEST(YeuxRouges, SeulsLesPixelsRougesDeLaZoneChangent)
{
    QImage i = uni(10, 10, qRgb(220, 30, 40));
    i.setPixel(5, 5, qRgb(120, 110, 100));  // skin-like: not red enough
    corrigerYeuxRouges(i, QRect(2, 2, 6, 6), qRgb(75, 50, 50), 150, 75);
    EXPECT_EQ(px(i, 0, 0), qRgb(220, 30, 40) & 0xFFFFFF);  // outside the zone
    EXPECT_EQ(px(i, 5, 5), qRgb(120, 110, 100) & 0xFFFFFF);
    // Target at the pixel's green-blue level 35: (75, 50, 50) x 35 / 50 = (52, 35, 35); 75 % of the way.
    EXPECT_EQ(px(i, 3, 3), qRgb((220 * 25 + 52 * 75 + 50) / 100, (30 * 25 + 35 * 75 + 50) / 100, (40 * 25 + 35 * 75 + 50) / 100) & 0xFFFFFF);
    QImage j = uni(4, 4, qRgb(220, 30, 40));
    corrigerYeuxRouges(j, QRect(10, 10, 5, 5), qRgb(75, 50, 50), 150, 75);  // zone outside the picture
    EXPECT_EQ(px(j, 1, 1), qRgb(220, 30, 40) & 0xFFFFFF);
}

TEST(Gamma, AffichageSeulement)
{
    const QImage i = uni(4, 4, qRgb(64, 0, 255));
    EXPECT_EQ(appliquerGamma(i, 100), i);
    EXPECT_EQ(px(appliquerGamma(i, 200), 0, 0), qRgb(128, 0, 255) & 0xFFFFFF);  // 255 x (64/255)^0.5
    EXPECT_EQ(px(i, 0, 0), qRgb(64, 0, 255) & 0xFFFFFF);
    EXPECT_TRUE(sansCouleur(uni(3, 3, qRgb(9, 9, 9))));
    EXPECT_FALSE(sansCouleur(i));
}

TEST(Memoire, UneImageLibereeSertALaSuivanteDansUneReserveBornee)
{
    viderReserve();
    QImage a = nouvelleImage(1000, 1000);
    const uchar* p = a.constBits();
    a = QImage();
    EXPECT_GE(octetsEnReserve(), size_t(4000000));
    // The next picture of that size takes the same memory, and the reserve gives it up.
    const QImage b = nouvelleImage(1000, 1000);
    EXPECT_EQ(b.constBits(), p);
    EXPECT_EQ(octetsEnReserve(), size_t(0));
    // Ten pictures of 64 MB freed together: the reserve keeps no more than its bound.
    {
        std::vector<QImage> grandes;
        for (int i = 0; i < 10; ++i)
            grandes.push_back(nouvelleImage(4000, 4000));
    }
    EXPECT_LE(octetsEnReserve(), size_t(256) << 20);
    viderReserve();
    EXPECT_EQ(octetsEnReserve(), size_t(0));
}

TEST(EnParallele, ChaqueLigneUneFoisEtUnEchecRemonte)
{
    std::vector<std::atomic<int>> vues(1001);
    enParallele(1001, 1, [&](int a, int b) {
        for (int y = a; y < b; ++y)
            ++vues[size_t(y)];
    });
    for (const auto& v : vues)
        ASSERT_EQ(v.load(), 1);
    EXPECT_THROW(enParallele(1000, 1, [](int a, int) {
                     if (a >= 500)
                         throw std::runtime_error("mémoire");
                 }),
                 std::runtime_error);
    // One thread asked: everything on the caller's.
    definirFils(1);
    const auto ici = std::this_thread::get_id();
    bool ailleurs = false;
    enParallele(1000, 1, [&](int, int) { ailleurs = ailleurs || std::this_thread::get_id() != ici; });
    definirFils(0);
    EXPECT_FALSE(ailleurs);
}
