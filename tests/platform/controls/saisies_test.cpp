// Text entry, drop-down combo box and beep: which event runs for which change.
#include "platform/controls/bip.h"
#include "platform/controls/listederoulante.h"
#include "platform/controls/saisie.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace kal;

TEST(Saisie, ChangeAChaqueChangementDuTexte)
{
    QWidget parent;
    Saisie h(&parent), v(&parent);
    std::vector<QString> vus;
    h.surChangement = [&] {
        vus.push_back(QStringLiteral("h ") + h.texte());
        v.definirTexte(h.texte());   // nested: v's Change runs inside h's
        vus.push_back(QStringLiteral("h fin"));
    };
    v.surChangement = [&] { vus.push_back(QStringLiteral("v ") + v.texte()); };
    h.definirTexte(QStringLiteral("xx.x"));
    h.definirTexte(QStringLiteral("xx.x"));   // unchanged: nothing
    EXPECT_EQ(vus, (std::vector<QString>{QStringLiteral("h xx.x"), QStringLiteral("v xx.x"), QStringLiteral("h fin")}));
    EXPECT_EQ(h.ligne()->text(), QStringLiteral("xx.x"));

    // Typing: one Change a key.
    vus.clear();
    h.surChangement = [&] { vus.push_back(h.texte()); };
    h.ligne()->selectAll();
    QTest::keyClicks(h.ligne(), QStringLiteral("21.5"));
    QTest::keyClick(h.ligne(), Qt::Key_Backspace);
    EXPECT_EQ(vus, (std::vector<QString>{QStringLiteral("2"), QStringLiteral("21"), QStringLiteral("21."),
                                         QStringLiteral("21.5"), QStringLiteral("21.")}));
    EXPECT_EQ(h.texte(), QStringLiteral("21."));
    // A disabled entry takes no keys but code still sets it.
    h.definirActif(false);
    QTest::keyClicks(h.ligne(), QStringLiteral("9"));
    h.definirTexte(QStringLiteral("yy.y"));
    EXPECT_EQ(vus.back(), QStringLiteral("yy.y"));
    EXPECT_EQ(vus.size(), 6u);
}

namespace {
class Deroulante : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent.resize(400, 300);
        b = std::make_unique<ListeDeroulante>(&parent);
        b->placer(2250, 3600, 4860, 315);
        for (const char* f : {"Format JPEG JPG", "Format LeadTools CMP", "Format TARGA TGA", "Format TIF"})
            b->ajouter(QLatin1String(f));
        b->surClic = [this] { vus.push_back(QStringLiteral("clic ") + b->texte()); };
        b->surChangement = [this] { vus.push_back(QStringLiteral("change ") + b->texte()); };
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
    QWidget parent;
    std::unique_ptr<ListeDeroulante> b;
    std::vector<QString> vus;
};
}  // namespace

TEST_F(Deroulante, ClicSurUnChoixChangeSurLaFrappe)
{
    EXPECT_EQ(b->texte(), QString());   // adding entries picks none
    EXPECT_EQ(b->indexCourant(), -1);

    b->definirIndex(0);
    b->definirIndex(0);   // unchanged
    EXPECT_EQ(vus, std::vector<QString>{QStringLiteral("clic Format JPEG JPG")});

    // The user picks with the keys, then from the drop-down list (the entry already picked too).
    vus.clear();
    QTest::keyClick(b->boite(), Qt::Key_Down);
    EXPECT_EQ(b->indexCourant(), 1);
    b->boite()->showPopup();
    QAbstractItemView* vue = b->boite()->view();
    const QPoint p = vue->visualRect(vue->model()->index(3, 0)).center();
    QTest::mouseClick(vue->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(b->indexCourant(), 3);
    b->boite()->showPopup();
    QTest::mouseClick(vue->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(vus, (std::vector<QString>{QStringLiteral("clic Format LeadTools CMP"), QStringLiteral("clic Format TIF"),
                                         QStringLiteral("clic Format TIF")}));

    // Typing runs Change at every key, never Click; the index follows the text.
    vus.clear();
    b->boite()->lineEdit()->selectAll();
    QTest::keyClicks(b->boite()->lineEdit(), QStringLiteral("bmp"));
    EXPECT_EQ(vus, (std::vector<QString>{QStringLiteral("change b"), QStringLiteral("change bm"), QStringLiteral("change bmp")}));
    EXPECT_EQ(b->indexCourant(), -1);
    EXPECT_EQ(b->nombre(), 4);   // Enter adds nothing
    QTest::keyClick(b->boite()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(b->nombre(), 4);
    EXPECT_EQ(b->texte(), QStringLiteral("bmp"));

    // Code setting the text runs Change; an entry's text gives its index.
    vus.clear();
    b->definirTexte(QStringLiteral("Format TARGA TGA"));
    b->definirTexte(QStringLiteral("Format TARGA TGA"));
    EXPECT_EQ(vus, std::vector<QString>{QStringLiteral("change Format TARGA TGA")});
    EXPECT_EQ(b->indexCourant(), 2);

    // Index -1 empties the text (Click); emptying the list runs nothing.
    vus.clear();
    b->definirIndex(-1);
    EXPECT_EQ(vus, std::vector<QString>{QStringLiteral("clic ")});
    b->definirIndex(1);
    vus.clear();
    b->vider();
    EXPECT_TRUE(vus.empty());
    EXPECT_EQ(b->texte(), QString());
    EXPECT_EQ(b->indexCourant(), -1);
    EXPECT_EQ(b->entree(0), QString());
}

// Clearing the list, adding the formats and picking the first, as the panels open: one Click,
// no Change; adding entries leaves a typed text as it is.
TEST_F(Deroulante, RemplissageDuPanneau)
{
    b->definirTexte(QStringLiteral("Format TIF"));
    vus.clear();
    b->vider();
    for (const char* f : {"Format JPEG JPG", "Format Bitmap BMP"})
        b->ajouter(QLatin1String(f));
    b->definirIndex(0);
    EXPECT_EQ(vus, std::vector<QString>{QStringLiteral("clic Format JPEG JPG")});
    b->definirTexte(QStringLiteral("tapé"));
    b->ajouter(QStringLiteral("Format Zsoft PCX"));
    EXPECT_EQ(b->texte(), QStringLiteral("tapé"));
    EXPECT_EQ(b->indexCourant(), -1);
    EXPECT_EQ(b->texte().right(3), QStringLiteral("apé"));
}

TEST(Bip, CompteParLeCompteurEnPlace)
{
    CompteurBips externe;
    bip();
    {
        CompteurBips interne;
        bip();
        bip();
        EXPECT_EQ(interne.nombre(), 2);
    }
    bip();
    EXPECT_EQ(externe.nombre(), 2);
    externe.oublier();
    EXPECT_EQ(externe.nombre(), 0);
}
