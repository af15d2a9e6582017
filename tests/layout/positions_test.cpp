// The position sliders and the placing of an object, on both editors: the ranges that keep the
// object on the printable surface (page) or on the face (jacket), the position captions and
// steps, and the sliders set from a stored record.
#include "layout/banc_objet.h"

using kal::arrondi;
using kaltest::ObjetCourant;

namespace {

class Positions : public ObjetCourant {};

TEST_P(Positions, InitmargeTientLObjetSurLaSurface)
{
    objet(3, 400, 300);
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    struct Cas {
        const char* nom;
        double l, h;                  // object size as fractions of the surface
        bool parLargeur, parHauteur;  // the fitted side
    };
    const Cas cas[] = {
        {"tient", 0.5, 0.25, false, false},       {"trop large", 1.5, 0.5, true, false},
        {"aussi large", 1.0, 0.5, true, false},   {"trop haut", 0.5, 1.2, false, true},
        {"les deux, largeur", 3, 1.5, true, false}, {"les deux, hauteur", 1.5, 3, false, true},
    };
    for (const Cas& k : cas) {
        SCOPED_TRACE(k.nom);
        e().largeurobjet = k.l * SW;
        e().hauteurobjet = k.h * SH;
        e().rapportformat = e().largeurobjet / e().hauteurobjet;
        int Wp = arrondi(e().largeurobjet), Hp = arrondi(e().hauteurobjet);
        if (k.parLargeur) {
            Wp = arrondi(SW);
            Hp = arrondi(Wp * e().hauteurobjet / e().largeurobjet);
        } else if (k.parHauteur) {
            Hp = arrondi(SH);
            Wp = arrondi(Hp * e().largeurobjet / e().hauteurobjet);
        }
        c().A_margeH.definirValeur(c().A_margeH.max());
        d().initmarge();
        EXPECT_EQ(c().A_margeH.min(), arrondi(oH()));
        EXPECT_EQ(c().A_margeV.min(), arrondi(oV()));
        EXPECT_EQ(c().A_margeV.max(), arrondi(SH + oV() - Hp));
        // The object starts at the top-left corner of the surface.
        EXPECT_EQ(c().A_margeH.valeur(), c().A_margeH.min());
        EXPECT_EQ(c().A_margeV.valeur(), c().A_margeV.min());
        if (k.parLargeur && jaq()) {
            // A face-wide object gets Max 0, which its first change raises to 15.
            EXPECT_EQ(c().A_margeH.max(), 15);
            EXPECT_EQ(c().A_margeH.grandPas(), 2);
        } else {
            EXPECT_EQ(c().A_margeH.max(), arrondi(SW + oH() - Wp));
        }
    }
}

TEST_P(Positions, UnChangementDePositionDeplaceLObjetEtSaLegende)
{
    kal::ControleImage& photo = objet(3, 400, 300, 1000 / s(), 750 / s());
    d().initmarge();
    e().pagemodifiee = false;
    c().A_margeH.definirValeur(567);
    EXPECT_EQ(c().E_margeH.legende(), QStringLiteral("Gauche: 10.0 mm"));
    EXPECT_TRUE(e().pagemodifiee);
    EXPECT_NEAR(photo.gaucheReel(), 567 / s(), 1e-3);
    // An arrow click moves 15 sheet twips (page: in whole preview twips); a page step a tenth of Max.
    EXPECT_EQ(c().A_margeH.petitPas(), jaq() ? 15 : arrondi(15 / e().echelleimp));
    EXPECT_EQ(c().A_margeH.grandPas(), arrondi(c().A_margeH.max() / 10.0));

    c().A_margeV.definirValeur(1134);
    EXPECT_EQ(c().E_margeV.legende(), QStringLiteral("Haut: 20.0 mm"));
    EXPECT_NEAR(photo.hautReel(), 1134 / s(), 1e-3);
    EXPECT_EQ(e().tabobjets[3][kal::col::Haut], photo.hautReel());

    // While centring holds the handlers back, only the caption, the steps and the page's mark follow.
    e().margesactives = false;
    e().pagemodifiee = false;
    c().A_format.definirMax(20000);
    c().A_margeH.definirValeur(1701);
    EXPECT_EQ(c().E_margeH.legende(), QStringLiteral("Gauche: 30.0 mm"));
    EXPECT_TRUE(e().pagemodifiee);
    EXPECT_NEAR(photo.gaucheReel(), 567 / s(), 1e-3);
    EXPECT_EQ(c().A_format.max(), 20000);
}

// A position change caps the format slider at the side that limits the object.
TEST_P(Positions, UnChangementDePositionBorneLeFormat)
{
    objet(3, 400, 300);
    d().initmarge();
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    // Width mode, inside the surface: A_margeH caps at the width, A_margeV leaves it.
    e().largeurobjet = SW / 2;
    e().hauteurobjet = SH / 4;
    c().A_format.definirMax(30000);
    c().A_margeV.definirValeur(c().A_margeV.valeur() + 1);
    EXPECT_EQ(c().A_format.max(), 30000);
    c().A_margeH.definirValeur(c().A_margeH.valeur() + 1);
    EXPECT_EQ(c().A_format.max(), arrondi(SW));
    // Taller than the surface: either slider caps at the height.
    e().hauteurobjet = SH * 2;
    c().A_format.definirMax(30000);
    c().A_margeH.definirValeur(c().A_margeH.valeur() + 1);
    EXPECT_EQ(c().A_format.max(), arrondi(SH));
}

TEST_P(Positions, RestitutionDUnePositionGardee)
{
    objet(3, 400, 300);
    d().initmarge();
    e().margesauvH = 600;
    d().restitmargeh();
    EXPECT_EQ(c().A_margeH.valeur(), 600);
    // Out of range: the far end instead.
    e().margesauvV = 30000;
    d().restitmargev();
    EXPECT_EQ(c().A_margeV.valeur(), c().A_margeV.max());
    EXPECT_EQ(c().E_margeV.legende(), kal::legendePosition(QStringLiteral("Haut: "), c().A_margeV.max()));
}

// posimage: the size from the control, the position from the record, each brought within
// what the surface allows; the format caption with the printed size.
TEST_P(Positions, PosimagePlaceDepuisLaFiche)
{
    kal::ControleImage& photo = objet(5, 800, 600, 3000 / s(), 2000 / s());
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    struct Cas {
        QVariant gauche, haut;
        int attenduH, attenduV;
    };
    const int maxH = arrondi(SW - 3000 + oH()), maxV = arrondi(SH - 2000 + oV());
    const Cas cas[] = {
        {600, 900, 600, 900},
        {0, 40000, arrondi(oH()), maxV},     // before the origin; past the surface
        {40000, QVariant(), maxH, maxV},     // an empty field leaves the value
    };
    e().rechargementencours = true;
    for (const Cas& k : cas) {
        kal::Fiches fiches = ed->x.fiches();
        fiches.sourceTable();
        fiches.modifier(5, [&](kal::bd::JeuEnregistrements& j) {
            j.mettre(kal::champ::leftimp, k.gauche);
            j.mettre(kal::champ::topimp, k.haut);
        });
        fiches.trouver(5);
        d().posimage();
        EXPECT_EQ(c().A_margeH.min(), arrondi(oH()));
        EXPECT_EQ(c().A_margeH.max(), maxH);
        EXPECT_EQ(c().A_margeV.max(), maxV);
        EXPECT_EQ(c().A_margeH.valeur(), k.attenduH);
        EXPECT_EQ(c().A_margeV.valeur(), k.attenduV);
        EXPECT_FALSE(photo.visible());   // the rebuild shows it
    }
    // 3000 x 2000 twips: relatively wider than the surface, the slider holds the width.
    EXPECT_NEAR(e().rapportformat, 1.5, 1e-6);
    EXPECT_EQ(c().A_format.max(), arrondi(SW));
    EXPECT_EQ(c().A_format.valeur(), 3000);
    EXPECT_EQ(c().E_format.legende(), QStringLiteral("Format:52.9 x 35.3mm"));

    e().rechargementencours = false;
    d().posimage();
    EXPECT_TRUE(photo.visible());
}

class PositionsPage : public ObjetCourant {};

// An object taller than the surface, held at the top origin, gets the room left below it, down
// to margebasse above the sheet's edge.
TEST_P(PositionsPage, PosimageReduitLeFormatALaPlaceRestante)
{
    const double SH = e().hauteursurface.valeur();
    objet(5, 800, 600, 1000 / s(), (SH + 600) / s());
    kal::Fiches fiches = ed->x.fiches();
    fiches.sourceTable();
    fiches.trouver(5);
    e().rechargementencours = true;
    d().posimage();
    EXPECT_EQ(c().A_margeV.valeur(), arrondi(oV()));
    EXPECT_EQ(c().A_format.valeur(), banc.imp.hauteurfeuille().valeur() - banc.partage.margebasse.valeur() - arrondi(oV()));
    EXPECT_EQ(c().A_format.valeur(), arrondi(SH));
}

INSTANTIATE_TEST_SUITE_P(Editeurs, Positions, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);
INSTANTIATE_TEST_SUITE_P(Editeurs, PositionsPage, ::testing::Values(kal::TypeEditeur::Page), kaltest::nomEditeur);

}  // namespace
