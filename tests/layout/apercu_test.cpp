// The current object's control on the preview, on both editors: placed and sized from the
// three sliders, fitted to its picture when first shown, and left alone where no object is.
#include "layout/banc_objet.h"

using kal::arrondi;
using kaltest::ObjetCourant;

namespace {

class Apercu : public ObjetCourant {
protected:
    void sliders(int format, int gauche, int haut)
    {
        sansFiche([&] {
            c().A_format.definirMax(32767);
            c().A_margeH.definirMax(32767);
            c().A_margeV.definirMax(32767);
            c().A_format.definirValeur(format);
            c().A_margeH.definirValeur(gauche);
            c().A_margeV.definirValeur(haut);
        });
    }
};

TEST_P(Apercu, PlaceEtDimensionneDepuisLesCurseurs)
{
    kal::ControleImage& photo = objet(2, 400, 200, 100, 50);
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    // Width-limited: the slider is the printed width, the height follows the ratio.
    e().largeurobjet = SW / 2;
    e().hauteurobjet = SW / 4;
    e().rapportformat = 2;
    sliders(3000, 600, 900);
    d().apercu();
    EXPECT_NEAR(photo.largeurReelle(), 3000 / s(), 1e-3);
    EXPECT_NEAR(photo.hauteurReelle(), 1500 / s(), 1e-3);
    EXPECT_NEAR(photo.gaucheReel(), 600 / s(), 1e-3);
    EXPECT_NEAR(photo.hautReel(), 900 / s(), 1e-3);
    EXPECT_TRUE(photo.visible());
    const auto& ligne = e().tabobjets[2];
    EXPECT_EQ(ligne[kal::col::Largeur], photo.largeurReelle());
    EXPECT_EQ(ligne[kal::col::Hauteur], photo.hauteurReelle());
    EXPECT_EQ(ligne[kal::col::Gauche], photo.gaucheReel());
    EXPECT_EQ(ligne[kal::col::Haut], photo.hautReel());

    // Equal fill ratios: height-limited, the slider is the printed height.
    e().largeurobjet = SW / 2;
    e().hauteurobjet = SH / 2;
    e().rapportformat = SW / SH;
    sliders(2000, 600, 900);
    d().apercu();
    EXPECT_NEAR(photo.hauteurReelle(), 2000 / s(), 1e-3);
    EXPECT_NEAR(photo.largeurReelle(), 2000 * SW / SH / s(), 1e-3);

    // During a rebuild it is placed but stays hidden.
    sliders(2400, 600, 900);
    e().rechargementencours = true;
    d().apercu();
    EXPECT_NEAR(photo.hauteurReelle(), 2400 / s(), 1e-3);
    EXPECT_FALSE(photo.visible());
    e().rechargementencours = false;

    // While a selection rebuilds the preview it stays put; only its geometry is recorded.
    e().reaffichageencours = true;
    photo.placerReel(10, 20, 30, 40);
    d().apercu();
    EXPECT_EQ(photo.largeurReelle(), 30);
    EXPECT_EQ(ligne[kal::col::Gauche], 10);
    EXPECT_EQ(ligne[kal::col::Hauteur], 40);
    EXPECT_TRUE(photo.visible());
}

// An object beyond the face shown (jacket) is not moved, its geometry is still recorded.
TEST_P(Apercu, ObjetHorsDeLaFaceMontree)
{
    const int n = jaq() ? 18 : 15;
    kal::ControleImage& photo = objet(n, 400, 200, 100, 50);
    photo.placerReel(11, 22, 100, 50);
    sliders(3000, 600, 900);
    d().apercu();
    if (jaq()) {
        EXPECT_EQ(photo.gaucheReel(), 11);
        EXPECT_EQ(e().tabobjets[18][kal::col::Largeur], 100);
    } else {
        EXPECT_NE(photo.gaucheReel(), 11);
    }
}

TEST_P(Apercu, EchelleAjusteLaBoiteALImage)
{
    // The box: the preview page (page) or the face (jacket), here 9000 x 6000 twips.
    (jaq() ? e().largeursurface : e().largeurapercu) = kal::Twips(9000);
    (jaq() ? e().hauteursurface : e().hauteurapercu) = kal::Twips(6000);
    struct Cas {
        int w, h;
        double largeur, hauteur;
    };
    const Cas cas[] = {
        {100, 80, 1500, 1200},     // smaller both ways: its own size (15 twips a pixel)
        {600, 10, 9000, 150},      // as wide as the box: fitted
        {900, 600, 9000, 6000},    // the box's proportions: fitted by height
        {3000, 200, 9000, 600},    // relatively wider: to the box's width
        {200, 3000, 400, 6000},    // relatively higher: to the box's height
    };
    for (const Cas& k : cas) {
        SCOPED_TRACE(k.w);
        kal::ControleImage& photo = objet(6, k.w, k.h, 10, 10);
        photo.placerReel(5, 7, 10, 10);
        photo.definirVisible(false);
        d().echelle();
        EXPECT_DOUBLE_EQ(e().largeurobjet, 15.0 * k.w);
        EXPECT_DOUBLE_EQ(e().hauteurobjet, 15.0 * k.h);
        EXPECT_DOUBLE_EQ(e().rapportformat, static_cast<double>(k.w) / k.h);
        EXPECT_NEAR(photo.largeurReelle(), k.largeur, 0.01);
        EXPECT_NEAR(photo.hauteurReelle(), k.hauteur, 0.01);
        EXPECT_EQ(photo.gaucheReel(), 5);
        EXPECT_FALSE(photo.visible());
    }
}

// No current object (100), or a number beyond the slots: nothing is read, moved or written.
TEST_P(Apercu, SansObjetRienNeBouge)
{
    objet(1, 400, 300);
    d().initialisation();
    const QString format = c().E_format.legende(), nominal = c().E_nominal.legende();
    const int valeur = c().A_format.valeur();
    for (int n : {kal::AucunObjet, -1, e().nbEmplacements()}) {
        SCOPED_TRACE(n);
        e().objetcourant = n;
        d().status();
        d().initformat();
        d().couleurformat();
        d().formatmax();
        d().formatangle();
        d().apercu();
        d().echelle();
        d().posimage();
        d().initmarge();
        d().initialisation();
        c().A_format.surDefilement();
        c().A_format.surPerteFocus();
        EXPECT_EQ(c().E_format.legende(), format);
        EXPECT_EQ(c().E_nominal.legende(), nominal);
        EXPECT_EQ(c().A_format.valeur(), valeur);
    }
}

INSTANTIATE_TEST_SUITE_P(Editeurs, Apercu, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

}  // namespace
