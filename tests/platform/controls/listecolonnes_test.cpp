// The list of names in four columns of sixteen, driven by real mouse events: the pointer's X and
// Y in twips lead back to the name under it as the panels compute it.
#include "platform/base/ecran.h"
#include "platform/controls/listecolonnes.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace kal;

namespace {

struct Souris {
    int bouton, maj, x, y;
    bool operator==(const Souris&) const = default;
};

// The list of the photo-open panel: 4860 x 3150 twips, names k = 0..n-1 called "nom<k>".
class Colonnes : public ::testing::Test {
protected:
    void SetUp() override
    {
        Ecran::simuler({1024, 768, 15, 15});
        parent.resize(700, 400);
        l = std::make_unique<ListeColonnes>(&parent);
        l->placer(2280, 195, 4860, 3150);
        for (int k = 0; k < 40; ++k)
            l->ajouter(QStringLiteral("nom%1").arg(k));
        l->surDeplacementSouris = [this](int b, int m, int x, int y) { deplacements.push_back({b, m, x, y}); };
        l->surRelachementSouris = [this](int b, int m, int x, int y) { relachements.push_back({b, m, x, y}); };
        l->surClic = [this] { clics.push_back(l->indexCourant()); };
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
    void TearDown() override { Ecran::reel(); }

    // The pixel inside the list at the middle of name k's place: column k div 16, row k mod 16,
    // columns of 1215 twips (81 pixels), rows of 195 twips (13 pixels).
    static QPoint milieu(int k) { return QPoint((k / 16) * 81 + 40, (k % 16) * 13 + 6); }
    // The name the panel computes from the pointer.
    static int nomSous(int x, int y) { return (x / 1215) * 16 + y / 195; }

    QWidget parent;
    std::unique_ptr<ListeColonnes> l;
    std::vector<Souris> deplacements, relachements;
    std::vector<int> clics;
};

}  // namespace

TEST_F(Colonnes, GrilleDeQuatreColonnesDeSeize)
{
    EXPECT_EQ(l->lignesParColonne(), 16);
    EXPECT_EQ(l->largeurColonne(), 1215);
    EXPECT_EQ(l->zone()->geometry(), QRect(1, 1, 322, 208));   // inside the border
    for (int k : {0, 1, 15, 16, 17, 31, 32, 39})
        EXPECT_EQ(l->indexA(milieu(k).x() * 15, milieu(k).y() * 15), k) << k;
    // The edges of a place: the last pixel of column 0 and of row 0, then the next ones.
    EXPECT_EQ(l->indexA(80 * 15, 12 * 15), 0);
    EXPECT_EQ(l->indexA(81 * 15, 12 * 15), 16);
    EXPECT_EQ(l->indexA(80 * 15, 13 * 15), 1);
    // Past the last name, below the last row, outside: none.
    EXPECT_EQ(l->indexA(milieu(40).x() * 15, milieu(40).y() * 15), -1);
    EXPECT_EQ(l->indexA(milieu(63).x() * 15, milieu(63).y() * 15), -1);
    EXPECT_EQ(l->indexA(100, 16 * 195), -1);
    EXPECT_EQ(l->indexA(-15, 100), -1);
    EXPECT_EQ(l->indexA(4830, 100), -1);
}

TEST_F(Colonnes, DeplacementDeLaSourisEnTwips)
{
    for (int k : {0, 15, 16, 31, 39}) {
        deplacements.clear();
        QTest::mouseMove(l->zone(), milieu(k));
        ASSERT_EQ(deplacements.size(), 1u) << k;
        const Souris& s = deplacements.front();
        EXPECT_EQ(s, (Souris{0, 0, milieu(k).x() * 15, milieu(k).y() * 15})) << k;
        EXPECT_EQ(nomSous(s.x, s.y), k);
        EXPECT_EQ(l->entree(nomSous(s.x, s.y)), QStringLiteral("nom%1").arg(k));
    }
    // Moving selects nothing by itself: the handler picks what the pointer is on.
    EXPECT_EQ(l->indexCourant(), -1);
    EXPECT_TRUE(clics.empty());
}

TEST_F(Colonnes, RelachementBoutonsEtTouches)
{
    QTest::mouseMove(l->zone(), milieu(20));
    QTest::mousePress(l->zone(), Qt::LeftButton, {}, milieu(20));
    // Pressing picks the name under the pointer.
    EXPECT_EQ(clics, std::vector<int>{20});
    EXPECT_EQ(l->texte(), QStringLiteral("nom20"));
    // Moving with the button held, then releasing.
    deplacements.clear();
    QTest::mouseMove(l->zone(), milieu(21));
    ASSERT_FALSE(deplacements.empty());
    EXPECT_EQ(deplacements.back().bouton, souris::Gauche);
    QTest::mouseRelease(l->zone(), Qt::LeftButton, {}, milieu(21));
    ASSERT_EQ(relachements.size(), 1u);
    EXPECT_EQ(relachements.back(), (Souris{souris::Gauche, 0, milieu(21).x() * 15, milieu(21).y() * 15}));
    EXPECT_EQ(clics, std::vector<int>{20});   // the release picks nothing

    // Any button, with the shift keys.
    QTest::mouseRelease(l->zone(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, milieu(2));
    ASSERT_EQ(relachements.size(), 2u);
    EXPECT_EQ(relachements.back(), (Souris{souris::Droit, souris::Maj | souris::Ctrl, milieu(2).x() * 15, milieu(2).y() * 15}));

    // Pressing where there is no name keeps the name picked.
    QTest::mouseClick(l->zone(), Qt::LeftButton, {}, milieu(50));
    EXPECT_EQ(l->indexCourant(), 20);
    // Pressing the name already picked runs Click again.
    QTest::mouseClick(l->zone(), Qt::LeftButton, {}, milieu(20));
    EXPECT_EQ(clics, (std::vector<int>{20, 20}));
}

// The panel's pointing: the selection follows the pointer, and past the last name none is left.
TEST_F(Colonnes, LaSelectionSuitLePointeur)
{
    std::vector<QString> montres;
    l->surDeplacementSouris = [&](int, int, int x, int y) {
        const int k = nomSous(x, y);
        l->definirIndex(k > l->nombre() - 1 ? -1 : k);
    };
    l->surClic = [&] { montres.push_back(l->texte()); };
    for (int k : {3, 3, 19, 45})
        QTest::mouseMove(l->zone(), milieu(k));
    EXPECT_EQ(montres, (std::vector<QString>{QStringLiteral("nom3"), QStringLiteral("nom19"), QString()}));
    EXPECT_EQ(l->indexCourant(), -1);

    // By code, with the rules of the lists; emptying runs nothing.
    montres.clear();
    l->definirIndex(5);
    l->definirIndex(99);   // outside: none
    l->definirIndex(7);
    l->vider();
    EXPECT_EQ(montres, (std::vector<QString>{QStringLiteral("nom5"), QString(), QStringLiteral("nom7")}));
    EXPECT_EQ(l->indexCourant(), -1);
    EXPECT_EQ(l->nombre(), 0);
    EXPECT_EQ(l->texte(), QString());
}
