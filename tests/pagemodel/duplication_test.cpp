// Duplicating an object from its thumbnail, with the mouse on real thumbnails, real JPEG work
// files and a real work database: the lowest free number, independent work copies, the
// refusals, the hover captions (thumbnails, and the jacket's face preview), and the jacket
// without a current object.
#include "banc_objets.h"
#include "imaging/fichierstravail.h"
#include "platform/base/ecran.h"
#include "platform/base/fichiers.h"

using kal::TypeEditeur;

namespace {

class Duplication : public ::testing::TestWithParam<TypeEditeur> {
protected:
    kaltest::EditeurAvecPhotos a{GetParam()};
    // The file the copy starts from: the page's base picture, the jacket's picture as shown.
    QString source(int k) const { return a.jaquette() ? kal::fichierPhoto(k) : kal::fichierSauv(k); }
};

TEST_P(Duplication, LaCopieDUnObjetDeQuatreDevientLObjetQuatre)
{
    a.chargerPhotos(2);
    ASSERT_TRUE(a.charger(a.jpeg(400, 200, QStringLiteral("large.jpg"))));   // object 2
    ASSERT_TRUE(a.charger(a.jpeg(320, 240, QStringLiteral("d.jpg"))));       // object 3, current
    const QByteArray avant = a.octets(source(2));

    a.cliquer(a.miniature(2));
    const kal::EtatEditeur& e = a.etat();
    const int n = 4;
    ASSERT_EQ(e.objetcourant, n);
    EXPECT_EQ(e.nbobjets, 5);
    EXPECT_EQ(e.nomsobjets[static_cast<size_t>(n)], QStringLiteral("Image ") + QString::number(n));
    EXPECT_TRUE(a.champ(n, QStringLiteral("occup")).toBool());
    EXPECT_FALSE(a.champ(n, QStringLiteral("textimage")).toBool());
    // Its own three work copies, of the source's picture; the source's files are untouched.
    for (const QString& f : {kal::fichierPhoto(n), kal::fichierInit(n), kal::fichierSauv(n)})
        EXPECT_TRUE(kal::fs::existe(f)) << f.toStdString();
    EXPECT_EQ(a.octets(kal::fichierInit(n)), a.octets(kal::fichierSauv(n)));
    EXPECT_EQ(a.octets(source(2)), avant);
    EXPECT_EQ(a.photo(n).bitmap().largeur(), 400);
    EXPECT_EQ(a.photo(n).bitmap().hauteur(), 200);
    EXPECT_TRUE(a.photo(n).visible());
    EXPECT_TRUE(a.miniature(n).visible());
    // Every object's control, made again on the page, answers the mouse.
    for (int k = 0; k <= n; ++k)
        EXPECT_TRUE(static_cast<bool>(a.photo(k).surSourisEnfoncee)) << k;
    // The frame and angle start at 0; the pointers are back.
    EXPECT_EQ(a.ed->c.C_cadre.valeur(), 0);
    EXPECT_EQ(a.ed->c.A_angle.valeur(), 0);
    EXPECT_EQ(a.ed->pointeur(), kal::pointeur::Personnalise);
    EXPECT_EQ(a.miniature(2).pointeur(), kal::pointeur::Personnalise);
    EXPECT_TRUE(a.banc.repondeur.messages().empty());
}

TEST_P(Duplication, LaCopiePrendLePlusPetitNumeroLibre)
{
    a.chargerPhotos(3);
    a.ecrire(1, QStringLiteral("occup"), false);   // objects 0 and 2 remain
    a.cliquer(a.miniature(2));
    EXPECT_EQ(a.etat().objetcourant, 1);
    EXPECT_EQ(a.etat().nbobjets, 3);
    // A right-button click copies nothing.
    a.cliquer(a.miniature(2), Qt::RightButton);
    EXPECT_EQ(a.etat().objetcourant, 1);
    EXPECT_FALSE(a.champ(3, QStringLiteral("occup")).toBool());
}

TEST_P(Duplication, PleinOuSansFicheLibreRienNEstCree)
{
    a.chargerPhotos(16, 64, 48);
    const auto refus = [&] {
        ASSERT_EQ(a.banc.repondeur.messages().size(), 1u);
        const auto& m = a.banc.repondeur.messages()[0];
        EXPECT_EQ(m.texte, QString::fromUtf8("Impossible de créer un objet supplémentaire"));
        EXPECT_EQ(m.titre, a.jaquette() ? QStringLiteral("16 OBJETS SUR LA JAQUETTE") : QStringLiteral("16 OBJETS SUR LA PAGE"));
        EXPECT_EQ(m.style, 48);
        a.banc.repondeur.oublier();
    };
    a.banc.repondeur.oublier();
    a.cliquer(a.miniature(4));
    refus();
    EXPECT_EQ(a.etat().objetcourant, 15);
    EXPECT_EQ(a.etat().nbobjets, 16);
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(16)));

    // Fewer objects counted than records taken: refused the same way, the page as it was.
    a.etat().nbobjets = 15;
    a.cliquer(a.miniature(4));
    refus();
    EXPECT_EQ(a.etat().objetcourant, 15);
    EXPECT_TRUE(a.photo(15).visible());
}

TEST_P(Duplication, UnFichierSourceManquantLaisseLaPageIntacte)
{
    a.chargerPhotos(2);
    kal::fs::supprimerFichier(source(0));
    a.cliquer(a.miniature(0));
    ASSERT_EQ(a.banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(a.banc.repondeur.messages()[0].titre, QStringLiteral("COPIE D'OBJET"));
    EXPECT_EQ(a.etat().objetcourant, 1);
    EXPECT_EQ(a.etat().nbobjets, 2);
    EXPECT_FALSE(a.champ(2, QStringLiteral("occup")).toBool());
    EXPECT_TRUE(a.photo(1).visible());
    EXPECT_NE(a.ed->c.L_photo[0], nullptr);
    EXPECT_EQ(a.ed->pointeur(), kal::pointeur::Personnalise);
}

TEST_P(Duplication, LeSurvolDUneMiniatureDonneSonNomUneFois)
{
    a.chargerPhotos(2);
    a.survoler(a.miniature(0));
    EXPECT_EQ(a.ed->windowTitle(), QStringLiteral("Image 0"));
    EXPECT_EQ(a.etat().objetsurvole, 0);
    a.ed->setWindowTitle(QStringLiteral("autre"));
    a.survoler(a.miniature(0), QPointF(6, 4));
    EXPECT_EQ(a.ed->windowTitle(), QStringLiteral("autre"));
    a.survoler(a.miniature(1));
    EXPECT_EQ(a.ed->windowTitle(), QStringLiteral("Image 1"));
    EXPECT_EQ(a.etat().objetsurvole, 1);
    if (a.jaquette()) {   // the objects' images on the face preview do the same
        a.survoler(*a.ed->c.L_apjaq[1]);
        EXPECT_EQ(a.ed->windowTitle(), QStringLiteral("Image 1"));
        a.survoler(*a.ed->c.L_apjaq[0]);
        EXPECT_EQ(a.ed->windowTitle(), QStringLiteral("Image 0"));
    }
}

// After the current object's removal the jacket has no current object (100): the copy stores
// nothing and indexes no element 100.
TEST(DuplicationJaquette, SansObjetCourant)
{
    kaltest::EditeurAvecPhotos a{TypeEditeur::Jaquette};
    a.chargerPhotos(2);
    a.ecrire(1, QStringLiteral("occup"), false);
    a.etat().objetcourant = kal::AucunObjet;
    a.etat().nbobjets = 1;
    a.etat().nbavant = 1;
    a.cliquer(a.miniature(0));
    EXPECT_TRUE(a.banc.repondeur.messages().empty());
    EXPECT_EQ(a.etat().objetcourant, 1);
    EXPECT_EQ(a.etat().nbobjets, 2);
    EXPECT_TRUE(a.champ(1, QStringLiteral("occup")).toBool());
    EXPECT_TRUE(a.ed->c.L_apjaq[1]->visible());

    // On the back, empty, after a switch: the front's thumbnails are hidden and no object is
    // current; the back's own copy then goes to 16.
    a.ed->c.O_arriere.definirValeur(true);
    EXPECT_EQ(a.etat().objetcourant, kal::AucunObjet);
    EXPECT_FALSE(a.miniature(0).visible());
    ASSERT_TRUE(a.charger(a.jpeg(120, 90, QStringLiteral("dos.jpg"))));
    EXPECT_EQ(a.etat().objetcourant, 16);
    a.etat().objetcourant = kal::AucunObjet;
    a.cliquer(a.miniature(16));
    EXPECT_EQ(a.etat().objetcourant, 17);
    EXPECT_EQ(a.etat().nbarriere, 2);
    EXPECT_TRUE(a.banc.repondeur.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Duplication, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
