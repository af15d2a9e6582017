// The shared picture: copies, sizes, the display copy and the full-resolution rendering.
#include "platform/imaging/photo.h"

#include <gtest/gtest.h>

#include <random>

using namespace kal::image;

namespace {

QImage hasard(int w, int h, unsigned graine)
{
    std::mt19937 g(graine);
    QImage i(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            i.setPixel(x, y, qRgb(g() % 256, (x * 3) % 256, y % 256));
    return i;
}

struct LimiteApercu {
    explicit LimiteApercu(int n) : ancienne(Photo::limiteApercu()) { Photo::definirLimiteApercu(n); }
    ~LimiteApercu() { Photo::definirLimiteApercu(ancienne); }
    int ancienne;
};

}  // namespace

TEST(Photo, LesCopiesPartagentEtNeSeGenentPas)
{
    const QImage src = hasard(40, 30, 1);
    const Photo a(src);
    const Photo b = a;
    EXPECT_TRUE(a.memeEtat(b));
    const Photo c = b.regle({.contraste = 300});
    EXPECT_FALSE(c.memeEtat(a));
    EXPECT_EQ(a.pleine(), src);  // the first holder keeps its picture
    EXPECT_EQ(c.pleine(), appliquerReglages(src, {.contraste = 300}));
    EXPECT_TRUE(Photo().estVide());
    EXPECT_TRUE(Photo(QImage()).estVide());
    EXPECT_TRUE(Photo().regle({.teinte = 3}).estVide());
}

TEST(Photo, LesTaillesSontCellesDeLaPleineResolutionSansRendu)
{
    LimiteApercu l(64);
    const Photo p(hasard(600, 400, 2));
    EXPECT_EQ(p.tourne(9000, 0xFFFFFF).taille(), QSize(400, 600));
    EXPECT_EQ(p.tourne(4500, 0xFFFFFF).taille(), tailleTournee(QSize(600, 400), 4500));
    EXPECT_EQ(p.rogne(QRect(550, -20, 100, 100)).taille(), QSize(50, 80));  // clamped to the picture
    EXPECT_EQ(p.rogne(QRect(700, 10, 20, 20)).taille(), QSize(600, 400));   // nothing left: unchanged
    EXPECT_EQ(p.redimensionne(150, 100).taille(), QSize(150, 100));
    EXPECT_EQ(p.apercu().size(), QSize(64, 42));
    EXPECT_EQ(p.tourne(9000, 0).apercu().size(), QSize(42, 64));
}

TEST(Photo, LaPleineResolutionEgaleLesOperationsUneAUne)
{
    const QImage src = hasard(120, 80, 3);
    auto chaine = [&] {
        return Photo(src)
            .regle({.teinte = 30})
            .regle({.intensite = 80})
            .regle({.nettete = -200})
            .regle({.saturation = 400})
            .regle({.contraste = 150})  // after the saturation: a second pass
            .tourne(1250, qRgb(255, 255, 255))
            .rogne(QRect(10, 5, 90, 70))
            .redimensionne(45, 35);
    };
    const Photo p = chaine();
    QImage e = appliquerReglages(src, {.teinte = 30});
    e = appliquerReglages(e, {.intensite = 80});
    e = appliquerReglages(e, {.nettete = -200});
    e = appliquerReglages(e, {.saturation = 400});
    e = appliquerReglages(e, {.contraste = 150});
    e = tourner(e, 1250, qRgb(255, 255, 255)).copy(QRect(10, 5, 90, 70));
    e = reechantillonner(e, 45, 35);
    EXPECT_EQ(p.pleine(), e);
    // A picture within the display limit is its own display copy, rendered step by step: the same.
    const Photo q = chaine();
    EXPECT_EQ(q.apercu(), e);
    EXPECT_EQ(q.pleine(), e);
}

TEST(Photo, LaCopieAffichageSuitLaMemeFormule)
{
    LimiteApercu l(50);
    const QImage src = hasard(200, 100, 4);
    const Photo p(src);
    const QImage a0 = p.apercu();
    ASSERT_EQ(a0.size(), QSize(50, 25));
    EXPECT_DOUBLE_EQ(p.echelleApercu(), 0.25);
    const Photo q = p.regle({.contraste = 400, .saturation = -300}).tourne(9000, 0xFFFFFF);
    EXPECT_EQ(q.apercu(), tourner(appliquerReglages(a0, {.contraste = 400, .saturation = -300}), 9000, 0xFFFFFF));
    // The full rendering, reduced, is close to the display copy.
    const QImage reduite = reechantillonner(q.pleine(), 25, 50);
    double ecart = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 25; ++x)
            ecart += std::abs(qBlue(reduite.pixel(x, y)) - qBlue(q.apercu().pixel(x, y)));
    EXPECT_LE(ecart / (25 * 50), 12.0);
    // A small picture is its own display copy.
    const Photo petite(hasard(30, 20, 5));
    EXPECT_EQ(petite.apercu(), petite.pleine());
    EXPECT_DOUBLE_EQ(petite.echelleApercu(), 1.0);
}

TEST(Photo, DessinsRemplissageEtYeuxRouges)
{
    QImage blanc(20, 10, QImage::Format_RGB32);
    blanc.fill(Qt::white);
    const Photo p = Photo(blanc).cadre(QRectF(0, 0, 20, 10), 1, qRgb(0, 0, 0));
    const QImage c = p.pleine();
    EXPECT_EQ(c.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(c.pixel(19, 9) & 0xFFFFFF, 0u);
    EXPECT_EQ(c.pixel(10, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(c.pixel(10, 5) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(c.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
    const QImage t = Photo(blanc).trait(QPointF(5, 0), QPointF(5, 10), 1, qRgb(255, 0, 0)).pleine();
    EXPECT_EQ(t.pixel(5, 4) & 0xFFFFFF, qRgb(255, 0, 0) & 0xFFFFFFu);
    EXPECT_EQ(t.pixel(8, 4) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(Photo(blanc).remplie(qRgb(1, 2, 3)).pleine().pixel(7, 7) & 0xFFFFFF, qRgb(1, 2, 3) & 0xFFFFFFu);
    QImage rouge(8, 8, QImage::Format_RGB32);
    rouge.fill(qRgb(230, 20, 20));
    const QImage y = Photo(rouge).yeuxRouges(QRect(4, 4, -4, -4), qRgb(75, 50, 50), 150, 75).pleine();
    EXPECT_NE(y.pixel(1, 1), rouge.pixel(1, 1));  // a zone drawn up and left counts from its corner
    EXPECT_EQ(y.pixel(6, 6), rouge.pixel(6, 6));
}

TEST(Photo, UnEtatQuePersonneNeTientRendSaCopieAffichage)
{
    LimiteApercu l(50);
    const QImage src = hasard(400, 200, 6);
    Photo p(src);
    p.apercu();
    // Each move builds on the last and lets it go: only the state held keeps a display copy.
    for (int v = 1; v <= 6; ++v) {
        p = p.regle({.contraste = 100 * v});
        p.apercu();
    }
    const qint64 copie = qint64(50) * 25 * 4;
    EXPECT_EQ(p.memoireTenue(), copie + src.sizeInBytes());  // the root's pixels and one copy
    // A state still held by someone keeps its own.
    const Photo base = p;
    const Photo suite = base.regle({.saturation = 300});
    EXPECT_EQ(suite.apercu(), appliquerReglages(base.apercu(), {.saturation = 300}));
    EXPECT_TRUE(base.tientApercu());
    EXPECT_EQ(suite.memoireTenue(), 2 * copie + src.sizeInBytes());
}

TEST(Photo, UneImageDifereeNeDecodeSaPleineResolutionQueSurDemande)
{
    LimiteApercu l(50);
    const QImage src = hasard(400, 200, 7);
    int pleines = 0, reduites = 0;
    auto creer = [&] {
        return Photo::differee(
            src.size(), 24, QImage(), [&] { ++pleines; return src; },
            [&](QSize t) { ++reduites; return reechantillonner(src, t.width(), t.height()); });
    };
    const Photo p = creer();
    EXPECT_EQ(p.taille(), QSize(400, 200));  // the size without any pixel
    EXPECT_EQ(pleines + reduites, 0);
    EXPECT_EQ(p.apercu(), reechantillonner(src, 50, 25));
    const Photo q = p.regle({.intensite = 200}).tourne(9000, 0xFFFFFF);
    EXPECT_EQ(q.apercu(), tourner(appliquerReglages(p.apercu(), {.intensite = 200}), 9000, 0xFFFFFF));
    EXPECT_EQ(pleines, 0);
    EXPECT_EQ(reduites, 1);
    // A file or a print of the later state: the full resolution decoded for it, kept by it alone.
    EXPECT_EQ(q.pleine(), tourner(appliquerReglages(src, {.intensite = 200}), 9000, 0xFFFFFF));
    EXPECT_EQ(pleines, 1);
    EXPECT_FALSE(p.tientPleine());
    EXPECT_TRUE(q.tientPleine());
    EXPECT_EQ(p.regle({.intensite = 100}).pleine(), appliquerReglages(src, {.intensite = 100}));
    EXPECT_EQ(pleines, 2);
    // Asked of itself, it keeps it.
    EXPECT_EQ(p.pleine(), src);
    EXPECT_TRUE(p.tientPleine());
    EXPECT_EQ(p.pleine(), src);
    EXPECT_EQ(pleines, 3);
    // A display copy already rendered is taken as it is.
    const Photo r = Photo::differee(src.size(), 8, reechantillonner(src, 50, 25), [&] { return src; }, [&](QSize) {
        ADD_FAILURE() << "rendered again";
        return QImage();
    });
    EXPECT_EQ(r.bitsParPixel(), 8);
    EXPECT_EQ(r.apercu(), reechantillonner(src, 50, 25));
}
