// Centring the current object with "CENTRER", on both editors and real photos: the page centres
// it on the printer's sheet (not on the printable surface) after shrinking it to the sheet less
// twice the right and bottom margins; the jacket centres it on the face.
#include "layout/banc_souris.h"

#include "platform/printer/imprimante.h"

using kal::arrondi;
using kaltest::EditeurSouris;

namespace {

class Centrage : public EditeurSouris {
protected:
    double PW() { return banc.imp.largeurfeuille().valeur(); }
    double PH() { return banc.imp.hauteurfeuille().valeur(); }
    // Printed width and height the format slider gives now.
    std::pair<double, double> taille()
    {
        const double v = c().A_format.valeur(), r = e().rapportformat;
        const bool largeur = e().hauteurobjet / e().hauteursurface.valeur() < e().largeurobjet / e().largeursurface.valeur();
        return largeur ? std::pair{v, v / r} : std::pair{v * r, v};
    }
};

TEST_P(Centrage, UnObjetQuiTientEstCentreSansChangerDeTaille)
{
    ASSERT_TRUE(placer(200, 150));
    const int format = c().A_format.valeur();
    e().pagemodifiee = false;
    c().B_centre.cliquer();
    EXPECT_TRUE(e().pagemodifiee);
    EXPECT_TRUE(e().margesactives);
    EXPECT_EQ(c().A_format.valeur(), format);
    const auto [w, h] = taille();
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    if (!jaq()) {
        // The middle of the sheet, which the printable surface need not share.
        EXPECT_EQ(c().A_margeH.valeur(), arrondi((PW() - w) / 2));
        EXPECT_EQ(c().A_margeV.valeur(), arrondi((PH() - h) / 2));
        EXPECT_EQ(c().A_margeH.max(), arrondi(SW - w + banc.partage.origineH.valeur()));
        EXPECT_EQ(c().A_margeV.max(), arrondi(SH - h + banc.partage.origineV.valeur()));
        EXPECT_EQ(c().E_format.legende(), kal::legendeFormatDirect(w, h));
        EXPECT_NE(arrondi((PH() - h) / 2), arrondi((SH - h) / 2 + banc.partage.origineV.valeur()));
    } else {
        EXPECT_EQ(c().A_margeH.valeur(), arrondi((SW - w) / 2));
        EXPECT_EQ(c().A_margeV.valeur(), arrondi((SH - h) / 2));
        EXPECT_EQ(c().A_margeH.max(), arrondi(SW - w));
        EXPECT_EQ(c().A_margeV.max(), arrondi(SH - h));
        EXPECT_EQ(c().A_margeH.min(), 0);
    }
    EXPECT_EQ(c().E_margeH.legende(), kal::legendePosition(QStringLiteral("Gauche: "), c().A_margeH.valeur()));
    EXPECT_EQ(c().E_margeV.legende(), kal::legendePosition(QStringLiteral("Haut: "), c().A_margeV.valeur()));
    // Placed on the preview there.
    EXPECT_NEAR(photo(0).gaucheReel(), c().A_margeH.valeur() / s(), 1e-3);
    EXPECT_NEAR(photo(0).hautReel(), c().A_margeV.valeur() / s(), 1e-3);
    EXPECT_NEAR(e().resolution, 200 * 1440 / w, 1e-6);

    // Nothing moves a second time, and the page is marked all the same.
    const int gauche = c().A_margeH.valeur();
    e().pagemodifiee = false;
    c().B_centre.cliquer();
    EXPECT_EQ(c().A_margeH.valeur(), gauche);
    EXPECT_TRUE(e().pagemodifiee);
}

class CentragePage : public Centrage {};

TEST_P(CentragePage, UnePhotoTropHauteEstRameneeALaFeuille)
{
    // Height-limited, placed at the full height of the surface: higher than the sheet less
    // twice the bottom margin.
    ASSERT_TRUE(placer(1200, 1800));
    const double limite = PH() - 2.0 * banc.partage.margebasse.valeur();
    ASSERT_GT(c().A_format.valeur(), limite);
    c().B_centre.cliquer();
    // The format slider's own step redisplays the object from its box in whole preview twips:
    // the value may come back a twip off.
    EXPECT_NEAR(c().A_format.valeur(), arrondi(limite), 1);
    EXPECT_NEAR(photo(0).hauteurReelle(), c().A_format.valeur() / e().echelleimp, 1e-2);
    const auto [w, h] = taille();
    EXPECT_EQ(c().A_margeV.valeur(), arrondi((PH() - h) / 2));
    EXPECT_EQ(c().A_margeH.valeur(), arrondi((PW() - w) / 2));
    // The record follows the new size through the format slider.
    EXPECT_NEAR(champ(0, kal::champ::heightimp).toDouble(), limite, 2);
}

TEST_P(CentragePage, UnePhotoLargeTropHauteGardeSesProportions)
{
    // Width-limited but so nearly the surface's shape that its height passes the sheet's limit.
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    ASSERT_TRUE(placer(1000, arrondi(1000 * (SH - 45) / SW)));
    ASSERT_EQ(c().A_format.valeur(), c().A_format.max());
    const double r = e().rapportformat;
    const double limite = PH() - 2.0 * banc.partage.margebasse.valeur();
    ASSERT_GT(c().A_format.valeur() / r, limite);
    c().B_centre.cliquer();
    EXPECT_NEAR(c().A_format.valeur(), arrondi(limite * r), 1);
    EXPECT_NEAR(photo(0).largeurReelle() / photo(0).hauteurReelle(), r, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Centrage, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);
INSTANTIATE_TEST_SUITE_P(Page, CentragePage, ::testing::Values(kal::TypeEditeur::Page), kaltest::nomEditeur);

}  // namespace
