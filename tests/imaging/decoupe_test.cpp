// The crop, on both editors, with real photos and the rectangle drawn with mouse events sent to
// the editor's window: crop mode and its held controls, the cut made on the base picture (never
// on the adjusted, framed or turned picture shown), a crop kept through the unticking of the box
// and a selection of another object, a drawing given up, and the cancel back to the first
// picture.
#include "layout/banc_souris.h"

using kal::arrondi;
using kaltest::EditeurSouris;

namespace {

class Decoupe : public EditeurSouris {
protected:
    // Crop mode, then a rectangle dragged on the current object from p to q (control pixels).
    void decouper(QPoint p, QPoint q)
    {
        c().C_decoupe.definirValeur(1);
        ASSERT_TRUE(e().modedecoupe);
        const int n = e().objetcourant;
        const QPoint f = point(n, p);
        enfoncer(f);
        deplacer(f + (q - p));
        EXPECT_TRUE(e().decoupeencours);
        EXPECT_TRUE(photo(n).traceelastique());
        relacher(f + (q - p));
    }
    // Shown picture pixels per control pixel, across and down.
    double echelleX(int n) { return photo(n).bitmap().largeur() / (photo(n).largeurReelle() / 15); }
    double echelleY(int n) { return photo(n).bitmap().hauteur() / (photo(n).hauteurReelle() / 15); }
    static QSize taille(const kal::ControleImage& k) { return {k.bitmap().largeur(), k.bitmap().hauteur()}; }
    // The gradient of the placed photos (see banc_souris.h), at a pixel of a w x h original.
    static QRgb degrade(int x, int y, int w, int h) { return qRgb(20 + x * 215 / w, 100, 20 + y * 215 / h); }
    static bool proche(QRgb a, QRgb b, int tolerance = 10)
    {
        return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
               std::abs(qBlue(a) - qBlue(b)) <= tolerance;
    }
    double rapportFiche(int n) { return champ(n, kal::champ::widthimp).toDouble() / champ(n, kal::champ::heightimp).toDouble(); }
};

TEST_P(Decoupe, LeModeDecoupeTientLaPlaceEtLeFormat)
{
    ASSERT_TRUE(placer(400, 300));
    c().C_decoupe.definirValeur(1);
    EXPECT_TRUE(e().modedecoupe);
    EXPECT_FALSE(e().margesactives);
    for (kal::Controle* k : std::initializer_list<kal::Controle*>{&c().E_margeH, &c().E_margeV, &c().A_margeH, &c().A_margeV,
                                                                  &c().B_centre, &c().E_format, &c().A_format})
        EXPECT_FALSE(k->actif());
    // A press on the object starts a rectangle, with the cross.
    const QPoint f = point(0, {30, 30});
    enfoncer(f);
    EXPECT_EQ(photo(0).pointeur(), kal::pointeur::Croix);
    EXPECT_EQ(e().margesauvH, arrondi(photo(0).gaucheReel()));
    relacher(f);
    // Unticked without a crop: the controls come back, the base picture stays as it was.
    c().C_decoupe.definirValeur(1);
    c().C_decoupe.definirValeur(0);
    EXPECT_FALSE(e().modedecoupe);
    EXPECT_TRUE(e().margesactives);
    EXPECT_TRUE(c().A_margeH.actif());
    EXPECT_TRUE(c().A_format.actif());
    EXPECT_TRUE(c().B_centre.actif());
}

TEST_P(Decoupe, LaBaseEstCoupeeSansReglageNiCadre)
{
    ASSERT_TRUE(placer(400, 300));
    c().A_contraste.definirValeur(500);
    c().C_cadre.definirValeur(1);
    const double ex = echelleX(0), ey = echelleY(0);
    e().pagemodifiee = false;
    decouper({20, 10}, {80, 50});

    // The cut in the picture's pixels: 60 x 40 control pixels from (20, 10).
    const QSize coupe = taille(c().L_sauvtot);
    EXPECT_NEAR(coupe.width(), 60 * ex, 1.5);
    EXPECT_NEAR(coupe.height(), 40 * ey, 1.5);
    // sauv<0>.svc holds the cut base: the original's pixels, no contrast, no frame line.
    const QImage sauv = image(kal::fichierSauv(0));
    EXPECT_EQ(sauv.size(), coupe);
    const int x0 = arrondi(20 * ex), y0 = arrondi(10 * ey);
    for (QPoint p : {QPoint(0, 0), QPoint(5, 5), QPoint(coupe.width() - 1, coupe.height() - 1)})
        EXPECT_TRUE(proche(sauv.pixel(p), degrade(x0 + p.x(), y0 + p.y(), 400, 300), 12)) << p.x() << "," << p.y();
    // The picture shown carries both, over the cut base.
    const QImage montree = photo(0).bitmap().pleine();
    EXPECT_EQ(montree.size(), coupe);
    EXPECT_EQ(qRed(montree.pixel(0, 0)), 0);
    EXPECT_FALSE(proche(montree.pixel(coupe.width() / 2, coupe.height() / 2),
                        sauv.pixel(coupe.width() / 2, coupe.height() / 2), 20));

    // Crop mode is over; the cancel is offered.
    EXPECT_EQ(c().C_decoupe.valeur(), 0);
    EXPECT_FALSE(e().modedecoupe);
    EXPECT_TRUE(e().margesactives);
    EXPECT_FALSE(e().decoupeencours);
    EXPECT_TRUE(e().decoupefaite);
    EXPECT_TRUE(c().B_annuldecoupe.actif());
    EXPECT_TRUE(c().A_margeH.actif());
    EXPECT_TRUE(e().pagemodifiee);
    // The object keeps the cut's proportions on the preview and in its record, its settings
    // as they were.
    const double r = static_cast<double>(coupe.width()) / coupe.height();
    EXPECT_NEAR(photo(0).largeurReelle() / photo(0).hauteurReelle(), r, 0.02);
    EXPECT_NEAR(rapportFiche(0), r, 0.02);
    EXPECT_EQ(champ(0, kal::champ::rot).toInt(), 0);
    EXPECT_EQ(champ(0, kal::champ::cadre).toInt(), 1);
    EXPECT_EQ(c().A_contraste.valeur(), 500);
    EXPECT_EQ(c().A_format.valeur(), c().A_format.max());
    if (jaq()) {
        EXPECT_EQ(taille(*c().L_apjaq[0]), coupe);
    }
}

TEST_P(Decoupe, UnObjetTourneEstCoupeDansSaBaseDroite)
{
    ASSERT_TRUE(placer(400, 300));
    c().A_angle.definirValeur(90);
    ASSERT_EQ(taille(photo(0)), QSize(300, 400));
    const double ex = echelleX(0), ey = echelleY(0);
    decouper({10, 20}, {50, 100});
    // Drawn 40 x 80 on the turned picture: 80 x 40 in the upright base, the angle kept.
    const QSize coupe = taille(c().L_sauvtot);
    EXPECT_NEAR(coupe.width(), 80 * ey, 1.5);
    EXPECT_NEAR(coupe.height(), 40 * ex, 1.5);
    EXPECT_EQ(image(kal::fichierSauv(0)).size(), coupe);
    EXPECT_EQ(taille(photo(0)), coupe.transposed());
    EXPECT_EQ(champ(0, kal::champ::rot).toInt(), 90);
    EXPECT_EQ(c().A_angle.valeur(), 90);
    // A quarter turn clockwise: the drawn top-left corner is the base's bottom-left one.
    const QImage sauv = image(kal::fichierSauv(0));
    const int xb = arrondi(20 * ey), yb = 300 - arrondi(50 * ex);
    EXPECT_TRUE(proche(sauv.pixel(2, coupe.height() - 3), degrade(xb + 2, yb + coupe.height() - 3, 400, 300), 12));
    // The record keeps the upright box: turned, it is the box on the preview.
    EXPECT_NEAR(rapportFiche(0), static_cast<double>(coupe.width()) / coupe.height(), 0.03);
}

// A completed crop survives unticking the box, selecting another object and coming back.
TEST_P(Decoupe, LaDecoupeEstGardee)
{
    ASSERT_TRUE(placer(160, 120, QStringLiteral("b.jpg")));
    c().A_margeH.definirValeur(c().A_margeH.max());
    ASSERT_TRUE(placer(400, 300, QStringLiteral("a.jpg")));
    ASSERT_EQ(e().objetcourant, 1);
    c().A_contraste.definirValeur(300);
    decouper({20, 20}, {90, 60});
    const QSize coupe = taille(c().L_sauvtot);
    ASSERT_LT(coupe.width(), 400);
    const double r = static_cast<double>(coupe.width()) / coupe.height();

    // Ticked and unticked again: the base is still the cut picture.
    c().C_decoupe.definirValeur(1);
    c().C_decoupe.definirValeur(0);
    EXPECT_EQ(taille(c().L_sauvtot), coupe);
    EXPECT_EQ(taille(c().L_sauvder), coupe);

    // Object 0 selected (the cut object, grown to the largest format, made smaller first so
    // that it leaves object 0 uncovered), then object 1 again.
    c().A_format.definirValeur(c().A_format.max() / 3);
    cliquer(0, {5, 5});
    ASSERT_EQ(e().objetcourant, 0);
    EXPECT_FALSE(c().B_annuldecoupe.actif());
    EXPECT_EQ(image(kal::fichierSauv(1)).size(), coupe);
    cliquer(1, {5, 5});
    ASSERT_EQ(e().objetcourant, 1);
    EXPECT_EQ(taille(c().L_sauvtot), coupe);
    EXPECT_EQ(taille(photo(1)), coupe);
    EXPECT_NEAR(photo(1).largeurReelle() / photo(1).hauteurReelle(), r, 0.02);
    EXPECT_NEAR(rapportFiche(1), r, 0.02);
    EXPECT_EQ(c().A_contraste.valeur(), 300);
    // The file printing reads: the cut picture, without the contrast it applies.
    const QImage sauv = image(kal::fichierSauv(1));
    EXPECT_EQ(sauv.size(), coupe);
    const QPoint milieu(coupe.width() / 2, coupe.height() / 2);
    EXPECT_FALSE(proche(sauv.pixel(milieu), photo(1).bitmap().pleine().pixel(milieu), 20));
}

TEST_P(Decoupe, UnDessinInterrompuNeFaitQueQuitterLeMode)
{
    ASSERT_TRUE(placer(160, 120, QStringLiteral("b.jpg")));
    c().A_margeH.definirValeur(c().A_margeH.max());
    ASSERT_TRUE(placer(400, 300, QStringLiteral("a.jpg")));
    decouper({20, 20}, {90, 60});   // made at angle 0
    const QSize coupe = taille(c().L_sauvtot);
    c().A_angle.definirValeur(90);
    ASSERT_EQ(champ(1, kal::champ::rot).toInt(), 90);

    // A rectangle being drawn when another object is pressed.
    c().C_decoupe.definirValeur(1);
    const QPoint f = point(1, {10, 10});
    enfoncer(f);
    deplacer(f + QPoint(30, 30));
    ASSERT_TRUE(e().decoupeencours);
    d().L_photo_MouseDown(0, 1, 0, 75, 75);
    EXPECT_FALSE(e().decoupeencours);
    EXPECT_FALSE(e().modedecoupe);
    EXPECT_EQ(c().C_decoupe.valeur(), 0);
    EXPECT_TRUE(c().A_margeH.actif());
    EXPECT_TRUE(e().margesactives);
    EXPECT_FALSE(photo(1).traceelastique());
    // Nothing else: the angle, the record and the cut base stay.
    EXPECT_EQ(c().A_angle.valeur(), 90);
    EXPECT_EQ(champ(1, kal::champ::rot).toInt(), 90);
    EXPECT_EQ(taille(c().L_sauvtot), coupe);
    relacher(f + QPoint(30, 30));
    EXPECT_EQ(champ(1, kal::champ::rot).toInt(), 90);
    EXPECT_EQ(image(kal::fichierSauv(1)).size(), coupe);
}

TEST_P(Decoupe, AnnulerRevientALaPhotoPremiere)
{
    ASSERT_TRUE(placer(400, 300));
    const int gauche = c().A_margeH.valeur();
    decouper({20, 20}, {90, 60});
    // Crop mode entered again after the first crop, and a second crop.
    decouper({5, 5}, {60, 30});
    ASSERT_TRUE(c().B_annuldecoupe.actif());
    e().pagemodifiee = false;
    c().B_annuldecoupe.cliquer();
    EXPECT_EQ(taille(c().L_sauvtot), QSize(400, 300));
    EXPECT_EQ(image(kal::fichierSauv(0)).size(), QSize(400, 300));
    EXPECT_EQ(taille(photo(0)), QSize(400, 300));
    // The first picture in its own proportions, on the preview and in the record.
    EXPECT_NEAR(photo(0).largeurReelle() / photo(0).hauteurReelle(), 4.0 / 3, 0.02);
    EXPECT_NEAR(rapportFiche(0), 4.0 / 3, 0.02);
    EXPECT_FALSE(c().B_annuldecoupe.actif());
    EXPECT_FALSE(e().decoupefaite);
    EXPECT_FALSE(e().modedecoupe);
    EXPECT_TRUE(e().margesactives);
    EXPECT_EQ(c().A_margeH.valeur(), gauche);
    EXPECT_TRUE(e().pagemodifiee);
    // Its thumbnail shows it whole again.
    EXPECT_NEAR(static_cast<double>(c().L_miniat[0]->bitmap().largeur()) / c().L_miniat[0]->bitmap().hauteur(), 4.0 / 3,
                0.05);
}

TEST_P(Decoupe, UnRectangleNulOuTraceALEnvers)
{
    ASSERT_TRUE(placer(400, 300));
    // A press and release without a move: nothing is cut, crop mode ends all the same.
    c().C_decoupe.definirValeur(1);
    cliquer(0, {40, 40});
    EXPECT_EQ(taille(c().L_sauvtot), QSize(400, 300));
    EXPECT_EQ(c().C_decoupe.valeur(), 0);
    EXPECT_TRUE(e().decoupefaite);
    EXPECT_TRUE(c().B_annuldecoupe.actif());
    // Drawn from the bottom right to the top left: the same rectangle as the other way.
    const double ex = echelleX(0), ey = echelleY(0);
    decouper({80, 50}, {20, 10});
    EXPECT_NEAR(c().L_sauvtot.bitmap().largeur(), 60 * ex, 1.5);
    EXPECT_NEAR(c().L_sauvtot.bitmap().hauteur(), 40 * ey, 1.5);
    EXPECT_EQ(d().souris().rectangle(), QRect(20 * 15, 10 * 15, 60 * 15, 40 * 15));
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Decoupe, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

}  // namespace
