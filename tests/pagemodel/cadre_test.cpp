// The frame box on real photos and a real work database: the record's `cadre`, the redrawn
// picture, the guards that keep code-made changes quiet, and no current object on the jacket.
#include "banc_objets.h"

#include <QCheckBox>

using kal::TypeEditeur;

namespace {

bool noir(QRgb p) { return qRed(p) + qGreen(p) + qBlue(p) < 90; }

class Cadre : public ::testing::TestWithParam<TypeEditeur> {
protected:
    kaltest::EditeurAvecPhotos a{GetParam()};
    // The middle of the picture's top row, where the frame runs.
    QRgb hautMilieu(const kal::ControleImage& k) { return a.pixel(k, k.bitmap().largeur() / 2, 0); }
};

TEST_P(Cadre, UnClicEnregistreLeCadreEtRedessineLObjet)
{
    a.chargerPhotos(2);
    ASSERT_EQ(a.etat().objetcourant, 1);
    EXPECT_FALSE(noir(hautMilieu(a.photo(1))));
    // The user's click on the box.
    a.ed->c.C_cadre.caseACocher()->click();
    EXPECT_EQ(a.champ(1, QStringLiteral("cadre")).toInt(), 1);
    EXPECT_EQ(a.champ(0, QStringLiteral("cadre")).toInt(), 0);
    EXPECT_TRUE(noir(hautMilieu(a.photo(1))));
    if (a.jaquette()) {   // the face preview follows ("cha")
        EXPECT_TRUE(noir(hautMilieu(*a.ed->c.L_apjaq[1])));
    }
    a.ed->c.C_cadre.caseACocher()->click();
    EXPECT_EQ(a.champ(1, QStringLiteral("cadre")).toInt(), 0);
    EXPECT_FALSE(noir(hautMilieu(a.photo(1))));
    if (a.jaquette()) {
        EXPECT_FALSE(noir(hautMilieu(*a.ed->c.L_apjaq[1])));
    }
    EXPECT_TRUE(a.banc.repondeur.messages().empty());
}

TEST_P(Cadre, LesChangementsParCodeNEcriventRien)
{
    kal::EtatEditeur& e = a.etat();
    // No object on the page.
    a.ed->c.C_cadre.definirValeur(1);
    a.ed->c.C_cadre.definirValeur(0);
    for (int n : {0, 15})
        EXPECT_EQ(a.champ(n, QStringLiteral("cadre")).toInt(), 0) << n;

    a.chargerPhotos(1);
    // While code sets the box (majencours), and with the count at 0.
    e.majencours = true;
    a.ed->c.C_cadre.definirValeur(1);
    e.majencours = false;
    a.ed->c.C_cadre.definirValeur(0);
    const int32_t nb = e.nbobjets;
    e.nbobjets = 0;
    a.ed->c.C_cadre.definirValeur(1);
    e.nbobjets = nb;
    EXPECT_EQ(a.champ(0, QStringLiteral("cadre")).toInt(), 0);
    EXPECT_FALSE(noir(hautMilieu(a.photo(0))));

    // During a rebuild the record is written, the picture is left to the rebuild.
    a.ed->c.C_cadre.definirValeur(0);
    e.rechargementencours = true;
    a.ed->c.C_cadre.definirValeur(1);
    e.rechargementencours = false;
    EXPECT_EQ(a.champ(0, QStringLiteral("cadre")).toInt(), 1);
    EXPECT_FALSE(noir(hautMilieu(a.photo(0))));
}

// After the current object's removal the jacket has objects on its face but none current: the
// box has nothing to frame, and no record 100 is looked for.
TEST(CadreJaquette, SansObjetCourantRienNEstEcrit)
{
    kaltest::EditeurAvecPhotos a{TypeEditeur::Jaquette};
    a.chargerPhotos(2);
    a.ecrire(1, QStringLiteral("occup"), false);
    a.etat().objetcourant = kal::AucunObjet;
    a.etat().nbobjets = 1;
    a.ed->c.C_cadre.definirValeur(1);
    EXPECT_EQ(a.champ(0, QStringLiteral("cadre")).toInt(), 0);
    EXPECT_EQ(a.champ(1, QStringLiteral("cadre")).toInt(), 0);
    EXPECT_TRUE(a.banc.repondeur.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Cadre, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
