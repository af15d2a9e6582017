// The whole-image box on real photos: the border of the objects turned by other than a right
// angle, and the box offered exactly while the page (or face) holds such an object.
#include "banc_objets.h"

using kal::TypeEditeur;

namespace {

class ImageTotale : public ::testing::TestWithParam<TypeEditeur> {
protected:
    kaltest::EditeurAvecPhotos a{GetParam()};
    kal::CaseACocher& boite() { return a.ed->c.C_image; }
};

TEST_P(ImageTotale, BordureDesSeulsObjetsHorsAngleDroit)
{
    // No occupied object: the page's settings record and the free records are passed over.
    a.ecrire(16, QStringLiteral("rot"), 45);
    if (!a.jaquette())
        a.ecrire(16, QStringLiteral("occup"), true);
    a.ecrire(3, QStringLiteral("rot"), 45);
    a.photo(16).definirBordure(1);
    boite().definirValeur(1);
    EXPECT_EQ(a.photo(16).bordure(), 1);
    boite().definirValeur(0);

    a.chargerPhotos(3);   // object 2 current, at 0 degrees
    a.ecrire(0, QStringLiteral("rot"), 30);
    a.ecrire(1, QStringLiteral("rot"), 90);
    boite().definirValeur(1);
    EXPECT_EQ(a.photo(0).bordure(), 1);
    EXPECT_EQ(a.photo(1).bordure(), 0);
    EXPECT_EQ(a.photo(2).bordure(), 0);
    // The framed current object at a right angle shows its box as well.
    a.ed->c.C_cadre.definirValeur(1);
    boite().definirValeur(0);
    boite().definirValeur(1);
    EXPECT_EQ(a.photo(2).bordure(), 1);
    EXPECT_EQ(a.photo(1).bordure(), 0);
    // Unticked: no border anywhere.
    boite().definirValeur(0);
    for (int n : {0, 1, 2})
        EXPECT_EQ(a.photo(n).bordure(), 0) << n;
    // Nothing is written.
    EXPECT_EQ(a.champ(0, QStringLiteral("rot")).toInt(), 30);
    EXPECT_EQ(a.champ(2, QStringLiteral("occup")).toBool(), true);
}

// The rebuild's rule, whatever the enabling of the editing controls gives the box.
TEST_P(ImageTotale, OfferteTantQuUnObjetEstHorsAngleDroit)
{
    a.chargerPhotos(2);
    EXPECT_FALSE(boite().actif());   // every object at 0 degrees
    a.ecrire(0, QStringLiteral("rot"), 45);
    a.chargerPhotos(1);              // the rebuild sees object 0 at 45 degrees
    EXPECT_TRUE(boite().actif());
    EXPECT_EQ(boite().valeur(), 0);
    a.ecrire(0, QStringLiteral("rot"), -180);
    a.ecrire(1, QStringLiteral("rot"), 90);
    ASSERT_TRUE(a.charger(a.jpeg(200, 100, QStringLiteral("d.jpg"))));
    EXPECT_FALSE(boite().actif());
    EXPECT_TRUE(a.ed->c.A_angle.actif());
}

TEST(ImageTotaleJaquette, SelonLaFaceMontree)
{
    kaltest::EditeurAvecPhotos a{TypeEditeur::Jaquette};
    a.chargerPhotos(2);
    a.ecrire(0, QStringLiteral("rot"), 45);
    // The empty back offers nothing; the front again offers the box, also without a current
    // object (as after the current object's removal).
    a.ed->c.O_arriere.definirValeur(true);
    EXPECT_FALSE(a.ed->c.C_image.actif());
    a.ed->c.O_avant.definirValeur(true);
    EXPECT_TRUE(a.ed->c.C_image.actif());
    a.etat().objetcourant = kal::AucunObjet;
    a.ed->x.objets().initjaq();
    EXPECT_TRUE(a.ed->c.C_image.actif());
    a.ecrire(0, QStringLiteral("occup"), false);
    a.ed->x.objets().initjaq();
    EXPECT_FALSE(a.ed->c.C_image.actif());
}

INSTANTIATE_TEST_SUITE_P(LesDeux, ImageTotale, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
