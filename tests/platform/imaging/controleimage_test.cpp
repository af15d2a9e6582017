// The imaging control: units, rectangles, drawing, display, mouse, printing, files and scanning.
#include "platform/imaging/controleimage.h"
#include "platform/richtext/mesuretexte.h"

#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/scanner/choixsource.h"
#include "platform/scanner/scanner.h"
#include "support/configsane.h"
#include "support/dossiertemp.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>

using kal::ControleImage;
namespace image = kal::image;

namespace {

QImage uni(int w, int h, QRgb c)
{
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(c);
    return i;
}

QRgb px(const QImage& i, int x, int y) { return i.pixel(x, y) & 0xFFFFFF; }

constexpr int Blanc = 0xFFFFFF;
constexpr int Noir = 0;

// A control of w x h pixels on screen holding the given picture.
struct Banc {
    Banc(int w, int h, const QImage& img)
    {
        c.placer(0, 0, w * 15, h * 15);
        c.definirBitmap(image::Photo(img));
    }
    ControleImage c;
};

}  // namespace

TEST(ControleImage, UnitesTwipsEtPixels)
{
    Banc b(100, 50, uni(200, 100, qRgb(1, 2, 3)));
    EXPECT_EQ(b.c.largeurbitmap(), 3000);
    EXPECT_EQ(b.c.hauteurbitmap(), 1500);
    EXPECT_EQ(b.c.largeurechelle(), 1500);
    b.c.definirModeechelle(kal::modeechelle::Pixels);
    EXPECT_EQ(b.c.largeurbitmap(), 200);
    EXPECT_EQ(b.c.hauteurechelle(), 50);
    EXPECT_EQ(b.c.bitsparpixel(), 24);
    EXPECT_EQ(b.c.tailleimage(), 200 * 100 * 3);
    EXPECT_EQ(b.c.niveaugris(), 0);
}

TEST(ControleImage, LeWidgetVaAvecLeControleOuAvecSaFenetre)
{
    auto fenetre = std::make_unique<QWidget>();
    auto a = std::make_unique<ControleImage>(fenetre.get());
    auto b = std::make_unique<ControleImage>(fenetre.get());
    EXPECT_EQ(a->widget()->parentWidget(), fenetre.get());
    a.reset();  // the control first: its widget leaves the window
    EXPECT_EQ(fenetre->findChildren<QWidget*>().size(), 1);
    delete b->widget();  // the widget first (a window removing an object), then the control
    b.reset();
    auto c = std::make_unique<ControleImage>(fenetre.get());
    fenetre.reset();  // the window first
    c.reset();
}

TEST(ControleImage, BitmapPartageCopieEtVide)
{
    ControleImage a, b;
    a.creerbitmap(30, 20, 24);
    b.definirBitmap(a.bitmap());
    EXPECT_TRUE(b.bitmap().memeEtat(a.bitmap()));
    b.contraste(500);  // changes b only
    EXPECT_FALSE(b.bitmap().memeEtat(a.bitmap()));
    EXPECT_EQ(px(a.bitmap().pleine(), 5, 5), 0xFFFFFFu);
    a.vider();
    EXPECT_TRUE(a.estVide());
    EXPECT_EQ(a.largeurbitmap(), 0);
    EXPECT_NO_THROW(a.contraste(100));  // an empty control ignores the operations
    EXPECT_NO_THROW(a.rogner(0, 0, 10, 10));
    EXPECT_THROW(a.ecrirefichier("x.jpg", image::code::JPEG, 24, 20), kal::Erreur);
    EXPECT_THROW(a.creerbitmap(100000, 100000, 24), kal::Erreur);
}

TEST(ControleImage, CreerRemplirEtCouleurDeFond)
{
    ControleImage c;
    c.definirCouleurFond(0x0000FF);  // red, as the windows store it
    c.creerbitmap(12.4, 7.6, 24);    // pixel counts, fractions rounded
    EXPECT_EQ(c.bitmap().taille(), QSize(12, 8));
    EXPECT_EQ(px(c.bitmap().pleine(), 3, 3), qRgb(255, 0, 0) & 0xFFFFFFu);
    c.remplir(0xFF0000);  // blue
    EXPECT_EQ(px(c.bitmap().pleine(), 11, 7), qRgb(0, 0, 255) & 0xFFFFFFu);
}

TEST(ControleImage, CadreEtTraitEnCoordonneesDuControle)
{
    // A 200 x 100 picture shown in a 100 x 50 pixel control: one screen pixel is two picture pixels.
    Banc b(100, 50, uni(200, 100, qRgb(255, 255, 255)));
    b.c.tracercadre(0, 0, b.c.largeur(), b.c.hauteur());
    const QImage f = b.c.bitmap().pleine();
    EXPECT_EQ(px(f, 0, 0), 0u);
    EXPECT_EQ(px(f, 1, 50), 0u);
    EXPECT_EQ(px(f, 198, 99), 0u);
    EXPECT_EQ(px(f, 2, 50), 0xFFFFFFu);
    EXPECT_EQ(px(f, 100, 50), 0xFFFFFFu);
    // A line at 750 twips (50 screen pixels) crosses the picture's middle column.
    Banc t(100, 50, uni(200, 100, qRgb(255, 255, 255)));
    t.c.definirCouleurdessin(0x00FF00);
    t.c.tracertrait(750, 0, 750, 750);
    EXPECT_EQ(px(t.c.bitmap().pleine(), 100, 40), qRgb(0, 255, 0) & 0xFFFFFFu);
    EXPECT_EQ(px(t.c.bitmap().pleine(), 90, 40), 0xFFFFFFu);
}

TEST(ControleImage, RognerPrendLesUnitesDuControleEtBorne)
{
    Banc b(100, 50, uni(100, 50, qRgb(9, 9, 9)));
    b.c.rogner(150, 150, 300, 150);  // twips: 10, 10, 20 x 10 pixels
    EXPECT_EQ(b.c.bitmap().taille(), QSize(20, 10));
    Banc d(100, 50, uni(100, 50, qRgb(9, 9, 9)));
    d.c.definirModeechelle(kal::modeechelle::Pixels);
    d.c.rogner(-10, 40, 50, 50);  // partly outside: clamped
    EXPECT_EQ(d.c.bitmap().taille(), QSize(40, 10));
    d.c.rogner(500, 500, 10, 10);  // wholly outside: unchanged
    EXPECT_EQ(d.c.bitmap().taille(), QSize(40, 10));
}

TEST(ControleImage, RotationRedimensionnementEtReglages)
{
    Banc b(100, 50, uni(100, 50, qRgb(0, 0, 200)));
    b.c.rotation(9000, 1, Blanc);
    EXPECT_EQ(b.c.bitmap().taille(), QSize(50, 100));
    b.c.rotation(-4500, 1, Blanc);
    EXPECT_EQ(b.c.bitmap().taille(), QSize(106, 106));
    EXPECT_EQ(px(b.c.bitmap().pleine(), 0, 0), 0xFFFFFFu);
    b.c.redimensionner(52.5, 20.2, 2);
    EXPECT_EQ(b.c.bitmap().taille(), QSize(52, 20));
    Banc r(10, 10, uni(10, 10, qRgb(100, 100, 100)));
    r.c.contraste(0);
    r.c.intensite(100);
    r.c.teinte(0);
    r.c.nettete(300);
    r.c.saturation(990);
    r.c.traitementphoto();
    EXPECT_EQ(px(r.c.bitmap().pleine(), 5, 5), qRgb(126, 126, 126) & 0xFFFFFFu);
}

TEST(ControleImage, RectanglesVueSelectionEtSource)
{
    Banc b(100, 50, uni(300, 150, qRgb(0, 0, 0)));
    EXPECT_EQ(b.c.gauchevue(), 0);
    EXPECT_EQ(b.c.largeurvue(), 1500);
    EXPECT_EQ(b.c.hauteurvue(), 750);
    EXPECT_EQ(b.c.largeursel(), 1500);
    b.c.rectaffichage(150, 300, 450, 150);
    EXPECT_EQ(b.c.gauchesel(), 150);
    EXPECT_EQ(b.c.hautsel(), 300);
    EXPECT_EQ(b.c.largeursel(), 450);
    EXPECT_EQ(b.c.hauteursel(), 150);
    EXPECT_DOUBLE_EQ(b.c.zoom(), 100.0 * 100 / 300);
    // The crop of the workbench: the drawn rectangle turned into picture units.
    const double sx = b.c.largeurbitmap() / b.c.largeurvue();
    EXPECT_DOUBLE_EQ((b.c.gauchesel() - b.c.gauchevue()) * sx, 450);
    b.c.rectsource(0, 0, b.c.largeurechelle(), b.c.hauteurechelle());
    b.c.rectaffichage(0, 0, b.c.largeurechelle(), b.c.hauteurechelle());
    EXPECT_EQ(b.c.largeursel(), 1500);
    EXPECT_DOUBLE_EQ(b.c.zoom(), 100.0 * 100 / 300);  // the whole picture again
    // Scrolled at a zoom: the picture's rectangle grows past the control.
    b.c.definirDefilement(true);
    b.c.definirZoom(200);
    EXPECT_DOUBLE_EQ(b.c.zoom(), 200);
    b.c.rectsource(0, 0, b.c.largeurechelle(), b.c.hauteurechelle());
    EXPECT_EQ(b.c.largeurvue(), 300 * 2 * 15);
}

TEST(ControleImage, RectangleSourceMontreUnePartie)
{
    QImage img = uni(300, 150, qRgb(0, 0, 255));
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 150; ++x)
            img.setPixel(x, y, qRgb(255, 0, 0));
    Banc b(100, 50, img);
    b.c.rectsource(0, 0, b.c.largeurechelle() / 2, b.c.hauteurechelle());  // the left half
    const QImage vue = b.c.widget()->grab().toImage();
    EXPECT_EQ(px(vue, 90, 25), qRgb(255, 0, 0) & 0xFFFFFFu);
    EXPECT_DOUBLE_EQ(b.c.zoom(), 100.0 * 100 / 150);
    b.c.rectsource(0, 0, b.c.largeurechelle(), b.c.hauteurechelle());
    EXPECT_EQ(px(b.c.widget()->grab().toImage(), 90, 25), qRgb(0, 0, 255) & 0xFFFFFFu);
}

TEST(ControleImage, AffichageGammaEtCadres)
{
    QImage img = uni(40, 20, qRgb(64, 64, 64));
    Banc b(40, 20, img);
    b.c.definirBordure(0);
    const QImage vue1 = b.c.widget()->grab().toImage();
    EXPECT_EQ(px(vue1, 20, 10), qRgb(64, 64, 64) & 0xFFFFFFu);
    b.c.definirGammaaffichage(200);
    b.c.repeindre();
    const QImage vue2 = b.c.widget()->grab().toImage();
    EXPECT_EQ(px(vue2, 20, 10), qRgb(128, 128, 128) & 0xFFFFFFu);
    EXPECT_EQ(b.c.bitmap().pleine(), img);  // the picture itself is unchanged
    b.c.definirBordure(1);
    EXPECT_EQ(px(b.c.widget()->grab().toImage(), 0, 10), 0u);
    b.c.definirTraceelastique(true);
    b.c.rectelastique(150, 75, 150, 150);  // 10, 5, 10 x 10 pixels
    const QImage vue3 = b.c.widget()->grab().toImage();
    EXPECT_NE(px(vue3, 10, 5), px(vue2, 10, 5));
    b.c.definirTraceelastique(false);
    EXPECT_EQ(px(b.c.widget()->grab().toImage(), 10, 5), px(vue2, 10, 5));
    // Painting is clipped to the rectangle given by rectaffichage.
    b.c.definirBordure(0);
    b.c.definirCouleurFond(Blanc);
    b.c.rectaffichage(0, 0, 150, 300);
    const QImage vue4 = b.c.widget()->grab().toImage();
    EXPECT_EQ(px(vue4, 5, 5), qRgb(128, 128, 128) & 0xFFFFFFu);
    EXPECT_EQ(px(vue4, 30, 5), 0xFFFFFFu);
}

TEST(ControleImage, AffichageDeGrandesImagesParLaCopieReduite)
{
    QImage img(3000, 2000, QImage::Format_RGB32);
    img.fill(qRgb(10, 200, 30));
    for (int y = 0; y < 2000; ++y)
        for (int x = 0; x < 1500; ++x)
            img.setPixel(x, y, qRgb(250, 0, 0));
    Banc b(300, 200, img);
    b.c.contraste(100);
    const QImage vue = b.c.widget()->grab().toImage();
    const QImage attendu = image::appliquerReglages(img.copy(0, 0, 1, 1), {.contraste = 100});
    EXPECT_EQ(px(vue, 50, 100), px(attendu, 0, 0));
    EXPECT_EQ(qGreen(vue.pixel(250, 100)), qGreen(image::appliquerReglages(uni(1, 1, qRgb(10, 200, 30)), {.contraste = 100}).pixel(0, 0)));
}

TEST(ControleImage, AffichagePleineResolutionQuandLaCopieNeSuffitPas)
{
    const int ancienne = image::Photo::limiteApercu();
    image::Photo::definirLimiteApercu(50);
    QImage img(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            img.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    Banc b(200, 100, img);  // one picture pixel on one screen pixel: the 50-pixel copy would blur it
    const QImage vue = b.c.widget()->grab().toImage();
    image::Photo::definirLimiteApercu(ancienne);
    EXPECT_EQ(px(vue, 10, 50), 0u);
    EXPECT_EQ(px(vue, 11, 50), 0xFFFFFFu);
}

TEST(ControleImage, PointeursEtSouris)
{
    Banc b(100, 50, uni(100, 50, qRgb(0, 0, 0)));
    b.c.definirPointeur(kal::pointeur::Croix);
    EXPECT_EQ(b.c.widget()->cursor().shape(), Qt::CrossCursor);
    b.c.definirPointeur(kal::pointeur::Deplacement);
    EXPECT_EQ(b.c.widget()->cursor().shape(), Qt::SizeAllCursor);
    b.c.definirPointeur(kal::pointeur::Sablier);
    EXPECT_EQ(b.c.widget()->cursor().shape(), Qt::WaitCursor);
    b.c.definirPointeur(kal::pointeur::Fleche);
    EXPECT_EQ(b.c.widget()->cursor().shape(), Qt::ArrowCursor);
    ControleImage::definirPointeurPersonnalise(QCursor(Qt::PointingHandCursor));
    b.c.definirPointeur(kal::pointeur::Personnalise);
    EXPECT_EQ(b.c.widget()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(b.c.pointeur(), 99);

    std::vector<std::tuple<char, int, int, double, double>> vus;
    b.c.surSourisEnfoncee = [&](int bt, int sh, double x, double y) { vus.emplace_back('E', bt, sh, x, y); };
    b.c.surSourisDeplacee = [&](int bt, int sh, double x, double y) { vus.emplace_back('D', bt, sh, x, y); };
    b.c.surSourisRelachee = [&](int bt, int sh, double x, double y) { vus.emplace_back('R', bt, sh, x, y); };
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(10, 20), QPointF(10, 20), Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(b.c.widget(), &e);
    QMouseEvent d(QEvent::MouseMove, QPointF(30, 25), QPointF(30, 25), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b.c.widget(), &d);
    QMouseEvent r(QEvent::MouseButtonRelease, QPointF(30, 25), QPointF(30, 25), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(b.c.widget(), &r);
    ASSERT_EQ(vus.size(), 3u);
    EXPECT_EQ(vus[0], std::make_tuple('E', 1, 1, 150.0, 300.0));
    EXPECT_EQ(vus[1], std::make_tuple('D', 1, 0, 450.0, 375.0));
    EXPECT_EQ(vus[2], std::make_tuple('R', 1, 0, 450.0, 375.0));
}

TEST(ControleImage, RegionEtYeuxRouges)
{
    Banc b(20, 20, uni(20, 20, qRgb(230, 20, 20)));
    b.c.yeuxrouges(75 + 50 * 256 + 50 * 65536, 150, 75);  // no region: nothing changes
    EXPECT_EQ(px(b.c.bitmap().pleine(), 5, 5), qRgb(230, 20, 20) & 0xFFFFFFu);
    b.c.regionrect(10 * 15, 10 * 15, -5 * 15, -5 * 15, 1);  // drawn up and left
    EXPECT_EQ(b.c.region(), QRect(5, 5, 5, 5));
    b.c.yeuxrouges(75 + 50 * 256 + 50 * 65536, 150, 75);
    const QImage f = b.c.bitmap().pleine();
    EXPECT_NE(px(f, 7, 7), qRgb(230, 20, 20) & 0xFFFFFFu);
    EXPECT_EQ(px(f, 12, 12), qRgb(230, 20, 20) & 0xFFFFFFu);
    b.c.supprimerregion();
    EXPECT_TRUE(b.c.region().isEmpty());
    EXPECT_EQ(b.c.cadreregion(), 0);
}

TEST(ControleImage, RenduDansUnPeintreATouteResolution)
{
    QImage img = uni(400, 200, qRgb(0, 0, 255));
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            img.setPixel(x, y, qRgb(255, 255, 0));
    ControleImage c;
    c.definirBitmap(image::Photo(img));
    c.definirGammaaffichage(250);  // the display gamma never reaches paper
    for (int echelle : {1, 8}) {
        QImage page(100 * echelle, 100 * echelle, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        p.scale(echelle, echelle);
        c.rendudc(p, 10, 20, 80, 40);
        p.end();
        EXPECT_EQ(px(page, 5 * echelle, 5 * echelle), 0xFFFFFFu);
        EXPECT_EQ(px(page, 30 * echelle, 40 * echelle), qRgb(255, 255, 0) & 0xFFFFFFu) << echelle;
        EXPECT_EQ(px(page, 70 * echelle, 40 * echelle), qRgb(0, 0, 255) & 0xFFFFFFu) << echelle;
        EXPECT_EQ(px(page, 50 * echelle, 70 * echelle), 0xFFFFFFu);
    }
}

TEST(ControleImage, FichiersEtVignette)
{
    kaltest::DossierTravail dossier;
    QImage img(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            img.setPixel(x, y, qRgb(x * 255 / 319, y, 128));
    ControleImage c;
    c.definirBitmap(image::Photo(img));
    c.contraste(200);
    c.ecrirefichier(dossier.fichier("photo0.svc"), image::code::JPEG, 24, 20);
    EXPECT_GT(c.taillefichier(), 1000);
    ControleImage d;
    d.lirefichier(dossier.fichier("photo0.svc"), 0, 0, 1);
    EXPECT_EQ(d.bitmap().taille(), QSize(320, 240));
    EXPECT_EQ(d.taillefichier(), c.taillefichier());
    const QImage attendu = image::appliquerReglages(img, {.contraste = 200});
    EXPECT_NEAR(qRed(d.bitmap().pleine().pixel(100, 100)), qRed(attendu.pixel(100, 100)), 12);
    // The stamp: 145 across, 108.75 rounded down the side.
    d.definirModeechelle(kal::modeechelle::Pixels);
    d.ecrirevignette(dossier.fichier("photo0.svc"), image::code::JPEG, 24, 20, 145, 108.75, 24);
    ControleImage v;
    v.lirevignette(dossier.fichier("photo0.svc"));
    EXPECT_EQ(v.bitmap().taille(), QSize(145, 109));
    EXPECT_THROW(v.lirefichier(dossier.fichier("absent.jpg")), kal::Erreur);
    EXPECT_EQ(v.bitmap().taille(), QSize(145, 109));  // a failed read keeps the picture
}

// A photo larger than the display copy: shown from a decode at the display's scale; its full
// resolution is decoded from the file's bytes only for a file, a print or a pixel, and sizes come
// from the full resolution all along.
TEST(ControleImage, UnePhotoLueSeMontreAvantSaPleineResolution)
{
    kaltest::DossierTravail dossier;
    QImage img(2400, 1800, QImage::Format_RGB32);
    for (int y = 0; y < 1800; ++y)
        for (int x = 0; x < 2400; ++x)
            img.setPixel(x, y, x < 1200 ? qRgb(230, 30, 20) : qRgb((x * 7) % 256, (y * 3) % 256, 90));
    const QString chemin = dossier.fichier("photo1.svc");
    image::ecrireFichier(img, chemin, image::code::JPEG, 24, 20);
    Banc b(400, 300, uni(10, 10, 0));
    b.c.lirefichier(chemin, 0, 0, 1);
    EXPECT_EQ(b.c.bitmap().taille(), QSize(2400, 1800));
    EXPECT_EQ(b.c.largeurbitmap(), 2400 * 15);
    EXPECT_EQ(b.c.tailleimage(), 2400 * 1800 * 3);
    EXPECT_FALSE(b.c.bitmap().tientPleine());
    EXPECT_EQ(b.c.bitmap().apercu().size(), image::Photo::tailleApercu(QSize(2400, 1800)));
    const QImage vue = b.c.widget()->grab().toImage();
    EXPECT_NEAR(qRed(vue.pixel(50, 150)), 230, 6);
    b.c.contraste(300);
    b.c.rotation(9000, 1, Blanc);
    b.c.widget()->grab();
    EXPECT_FALSE(b.c.bitmap().tientPleine());
    EXPECT_EQ(b.c.bitmap().taille(), QSize(1800, 2400));
    // The work copy: the full resolution, the same as from a full decode.
    const QImage attendu = image::tourner(image::appliquerReglages(image::lireFichier(chemin), {.contraste = 300}), 9000, qRgb(255, 255, 255));
    b.c.ecrirefichier(dossier.fichier("photo2.svc"), image::code::JPEG, 24, 20);
    EXPECT_TRUE(b.c.bitmap().tientPleine());
    EXPECT_EQ(b.c.bitmap().pleine(), attendu);
    // A damaged file is refused at once and the picture stays.
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray d = f.readAll();
    f.close();
    QFile coupe(dossier.fichier("coupe.jpg"));
    ASSERT_TRUE(coupe.open(QIODevice::WriteOnly));
    coupe.write(d.left(d.size() / 2));
    coupe.close();
    EXPECT_THROW(b.c.lirefichier(dossier.fichier("coupe.jpg")), kal::Erreur);
    EXPECT_EQ(b.c.bitmap().taille(), QSize(1800, 2400));
}

// The steps a window takes to scan, through the control, from SANE's test device. The control
// works on the program's scanner, brought up once per process: this is the only test of the
// program here that uses it.
TEST(ControleImage, AcquisitionDepuisLeScanner)
{
    kaltest::ConfigSane conf({{"test-picture", "\"Color pattern\""}});
    kal::RepondeurSourceEnregistreur personne;
    personne.prevoir(std::nullopt);   // the first choice is cancelled
    personne.prevoir(1);
    QWidget fenetre;
    ControleImage c(&fenetre);
    c.definirBitmap(image::Photo(uni(10, 10, qRgb(255, 0, 0))));
    QWidget* suite = nullptr;
    c.operationsScan().apresacquisition = [&](QWidget* f) { suite = f; };

    c.definirScanactif(true);
    EXPECT_TRUE(c.scanactif());
    c.definirScanoptiondeux(true);
    c.definirScanoptionun(true);
    try {
        c.choisirsource(&fenetre);
        ADD_FAILURE() << "a cancelled choice is raised";
    } catch (const kal::Erreur& e) {
        EXPECT_EQ(e.numero(), kal::scan::AcquisitionEchouee);
    }
    EXPECT_EQ(c.bitmap().taille(), QSize(10, 10));
    c.choisirsource(&fenetre);
    ASSERT_EQ(personne.demandes().size(), 2u);
    EXPECT_EQ(personne.demandes()[1].fenetre, &fenetre);
    EXPECT_EQ(kal::Scanner::global().source(), QStringLiteral("test:1"));
    c.definirScanmode(7);
    EXPECT_EQ(c.scanmode(), 7);
    c.definirScanactif(false);

    ASSERT_EQ(c.acquerir(&fenetre), 0);
    // Mode 7: colour, 300 dpi, the whole 200 mm area of the test device, in the control.
    EXPECT_EQ(c.bitmap().taille(), QSize(2362, 2362));
    EXPECT_EQ(c.bitsparpixel(), 24);
    EXPECT_EQ(c.niveaugris(), 0);
    EXPECT_DOUBLE_EQ(c.largeurbitmap(), 2362.0 * kal::Ecran::twipsParPixelX());
    EXPECT_EQ(suite, nullptr);
    c.suiteacquisition(&fenetre);
    EXPECT_EQ(suite, &fenetre);
}

// --- Text drawn into a picture (the text-images)

namespace {
// The rectangle of the pixels far from white.
QRect encreTexte(const QImage& img)
{
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qRed(img.pixel(x, y)) < 128) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}
}  // namespace

TEST(ControleImageTexte, UneImageDeTexteResteSousLePlafond)
{
    EXPECT_EQ(ControleImage::echelleTexte(4000, 1000), 1.0);
    EXPECT_EQ(ControleImage::echelleTexte(0, 0), 1.0);
    // A full A4 page of text at 1440 pixels per inch: 182 megapixels.
    const double l = 11520, h = 15840;
    const double s = ControleImage::echelleTexte(l, h);
    ASSERT_LT(s, 1.0);
    const qint64 pixels = qint64(std::nearbyint(l * s)) * qint64(std::nearbyint(h * s));
    EXPECT_LE(pixels, ControleImage::PixelsTexteMax);
    EXPECT_GT(pixels, ControleImage::PixelsTexteMax * 0.99);
    // One very long line: no side beyond what a picture file holds.
    const double s2 = ControleImage::echelleTexte(1'000'000, 536);
    EXPECT_LE(std::nearbyint(1'000'000 * s2), 65535);
    ControleImage k;
    k.creerbitmap(1'000'000 * s2, 536 * s2, 24);
    EXPECT_LE(k.bitmap().largeur(), 65535);
}

TEST(ControleImageTexte, LeTexteSeDessineALEchelleDeLImage)
{
    const kal::Police arial{QStringLiteral("Arial"), 24, false, false, false, false};
    const QString texte = QStringLiteral("Texte\r\nimage");
    QRect encres[2];
    const double echelles[2] = {1.0, 0.5};
    for (int i = 0; i < 2; ++i) {
        ControleImage k;
        k.policeimage = arial;
        k.definirEchelletexte(echelles[i]);
        k.creerbitmap(3000 * echelles[i], 1200 * echelles[i], 24);
        k.remplir(0xFFFFFF);
        k.definirReglagetexte(0);
        k.textelargeur = 3000;
        k.textehauteur = 1200;
        k.dessinertexte(texte, 0);
        encres[i] = encreTexte(k.bitmap().pleine());
        ASSERT_FALSE(encres[i].isNull());
    }
    // Half the scale, half the text, at the same place.
    EXPECT_NEAR(encres[1].width(), encres[0].width() / 2.0, 3);
    EXPECT_NEAR(encres[1].height(), encres[0].height() / 2.0, 3);
    EXPECT_NEAR(encres[1].left(), encres[0].left() / 2.0, 2);
    // A scale above 1, or none, is refused.
    ControleImage k;
    EXPECT_THROW(k.definirEchelletexte(0), kal::Erreur);
    EXPECT_THROW(k.definirEchelletexte(2), kal::Erreur);

    // With optiondessin the text rectangle takes couleurdessin first; the text takes reglagetexte.
    k.creerbitmap(3000, 1200, 24);
    k.remplir(0xFFFFFF);
    k.policeimage = arial;
    k.definirReglagetexte(0x0000FF);
    k.textelargeur = 1000;
    k.textehauteur = 600;
    k.definirCouleurdessin(0x00FFFF);
    k.definirOptiondessin(true);
    k.dessinertexte(texte, 0);
    const QImage img = k.bitmap().pleine();
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0xFFFF00u);      // yellow inside the rectangle
    EXPECT_EQ(img.pixel(2000, 900) & 0xFFFFFF, 0xFFFFFFu); // white outside
    bool rouge = false;
    for (int y = 0; y < 600 && !rouge; ++y)
        for (int x = 0; x < 1000 && !rouge; ++x)
            rouge = qRed(img.pixel(x, y)) > 200 && qGreen(img.pixel(x, y)) < 60;
    EXPECT_TRUE(rouge);
}

TEST(ControleImageTexte, UnGrandTexteDessineParBandesEstLeMemeQuEnUneFois)
{
    // 2600 x 2400 pixels: drawn by the control in bands of rows side by side.
    const kal::Police p{QStringLiteral("Times New Roman"), 30, true, false, false, false};
    QStringList lignes;
    for (int i = 0; i < 4; ++i)
        lignes << QStringLiteral("Été %1 — gâteau, ÇA, Qyj").arg(i);
    const QString texte = lignes.join(QStringLiteral("\r\n"));
    ControleImage k;
    k.policeimage = p;
    k.creerbitmap(2600, 2400, 24);
    k.remplir(0xFFFFFF);
    k.definirReglagetexte(0);
    k.textelargeur = 5200;
    k.textehauteur = 4800;
    k.definirEchelletexte(0.5);
    k.dessinertexte(texte, 0);
    QImage seule(2600, 2400, QImage::Format_RGB32);
    seule.fill(Qt::white);
    kal::dessinertexte(seule, texte, p, Qt::black, QRect(0, 0, 5200, 4800), std::nullopt, 0.5);
    const QImage bandes = k.bitmap().pleine();
    ASSERT_EQ(bandes.size(), seule.size());
    int ecart = 0;
    for (int y = 0; y < seule.height(); ++y)
        for (int x = 0; x < seule.width(); ++x)
            ecart = std::max(ecart, std::abs(qRed(bandes.pixel(x, y)) - qRed(seule.pixel(x, y))));
    EXPECT_LE(ecart, 2);
    EXPECT_FALSE(encreTexte(bandes).isNull());
}
