// The jacket's faces with real photos: what the face being left keeps of its current object,
// and no current object (after its removal, or on an empty face).
#include "banc_objets.h"

#include "platform/base/fichiers.h"
#include "imaging/fichierstravail.h"

using kal::TypeEditeur;

namespace {

class Faces : public ::testing::Test {
protected:
    kaltest::EditeurAvecPhotos a{TypeEditeur::Jaquette};
};

TEST_F(Faces, LaFaceQuitteeGardeSonObjetCourant)
{
    a.chargerPhotos(2);
    kal::ControleImage& p = a.photo(1);
    p.definirGauche(p.gauche() + 300);
    a.ed->c.O_arriere.definirValeur(true);
    const auto& ligne = a.etat().tabobjets[1];
    EXPECT_DOUBLE_EQ(ligne[kal::col::Gauche], p.gaucheReel());
    EXPECT_DOUBLE_EQ(ligne[kal::col::Largeur], p.largeurReelle());
    EXPECT_TRUE(a.champ(1, QStringLiteral("occup")).toBool());
    for (int n : {0, 1})
        EXPECT_FALSE(a.miniature(n).visible()) << n;
    EXPECT_EQ(a.etat().objetcourant, kal::AucunObjet);
    EXPECT_FALSE(a.ed->c.A_format.actif());
    // Back to the front: its last object is current again, shown in full.
    a.ed->c.O_avant.definirValeur(true);
    EXPECT_EQ(a.etat().objetcourant, 1);
    EXPECT_EQ(a.etat().nbobjets, 2);
    EXPECT_TRUE(a.photo(1).visible());
    EXPECT_EQ(a.photo(1).bitmap().largeur(), 320);
    EXPECT_TRUE(a.ed->c.A_format.actif());
}

// Objects on both faces: each face counts and shows its own, and its highest object is current
// when the face is shown again.
TEST_F(Faces, ChaqueFaceGardeSesObjets)
{
    a.chargerPhotos(2);
    a.ed->c.O_arriere.definirValeur(true);
    a.chargerPhotos(2);
    ASSERT_EQ(a.etat().objetcourant, 17);
    EXPECT_TRUE(a.champ(16, QStringLiteral("occup")).toBool());
    a.ed->c.O_avant.definirValeur(true);
    EXPECT_EQ(a.etat().objetcourant, 1);
    EXPECT_EQ(a.etat().nbobjets, 2);
    EXPECT_TRUE(a.miniature(0).visible());
    EXPECT_FALSE(a.miniature(16).visible());
    a.ed->c.O_arriere.definirValeur(true);
    EXPECT_EQ(a.etat().objetcourant, 17);
    EXPECT_EQ(a.etat().nbobjets, 2);
    EXPECT_EQ(a.ed->x.D_image.source(), QStringLiteral("kalmorin"));
    for (int n : {16, 17}) {
        EXPECT_TRUE(a.photo(n).visible()) << n;
        EXPECT_TRUE(a.miniature(n).visible()) << n;
    }
    for (int n : {0, 1})
        EXPECT_FALSE(a.miniature(n).visible()) << n;
}

// The leaving block acts on an occupied object of the face being left only: never on record
// 100, never on a record freed behind the current number (which it would mark occupied again).
TEST_F(Faces, SansObjetCourantLaFaceQuitteeNEstPasTouchee)
{
    a.chargerPhotos(2);
    a.ecrire(1, QStringLiteral("occup"), false);
    const QByteArray photo1 = a.octets(kal::fichierPhoto(1));
    a.ed->c.O_arriere.definirValeur(true);
    EXPECT_FALSE(a.champ(1, QStringLiteral("occup")).toBool());
    EXPECT_EQ(a.octets(kal::fichierPhoto(1)), photo1);
    a.ed->c.O_avant.definirValeur(true);
    EXPECT_EQ(a.etat().objetcourant, 0);
    EXPECT_EQ(a.etat().nbobjets, 1);

    a.etat().objetcourant = kal::AucunObjet;
    a.ed->c.O_arriere.definirValeur(true);
    EXPECT_EQ(a.etat().objetcourant, kal::AucunObjet);
    a.ed->c.O_avant.definirValeur(true);
    EXPECT_EQ(a.etat().objetcourant, 0);
    EXPECT_TRUE(a.champ(0, QStringLiteral("occup")).toBool());
    EXPECT_TRUE(a.banc.repondeur.messages().empty());
}

}  // namespace
