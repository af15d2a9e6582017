// The event rules of the controls: change handlers run at once, nested, also when code sets
// the value, and only when the value changes.
#include "platform/base/ecran.h"
#include "platform/controls/controles.h"
#include "support/erreurs.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace kal;

TEST(Curseur, ChangeSynchroneEtSeulementSurChangement)
{
    QWidget parent;
    Curseur c(&parent);
    c.definirMin(-100);
    c.definirMax(100);
    std::vector<int> vus;
    c.surChangement = [&] { vus.push_back(c.valeur()); };
    c.definirValeur(10);
    c.definirValeur(10);
    c.definirValeur(-5);
    EXPECT_EQ(vus, (std::vector<int>{10, -5}));
}

TEST(Curseur, BaisserMaxTireLaValeurEtDeclencheChange)
{
    QWidget parent;
    Curseur c(&parent);
    c.definirMax(1000);
    c.definirValeur(800);
    int appels = 0;
    c.surChangement = [&] { ++appels; };
    c.definirMax(500);
    EXPECT_EQ(c.valeur(), 500);
    EXPECT_EQ(appels, 1);
    c.definirMax(900);  // raising it changes nothing
    EXPECT_EQ(c.valeur(), 500);
    EXPECT_EQ(appels, 1);
    c.definirMin(600);
    EXPECT_EQ(c.valeur(), 600);
    EXPECT_EQ(appels, 2);
}

TEST(Curseur, ChangementsImbriques)
{
    // A handler that moves another slider sees that slider's handler run inside its own.
    QWidget parent;
    Curseur a(&parent), b(&parent);
    a.definirMax(100);
    b.definirMax(100);
    std::vector<std::string> ordre;
    a.surChangement = [&] {
        ordre.push_back("a debut");
        b.definirValeur(a.valeur() / 2);
        ordre.push_back("a fin");
    };
    b.surChangement = [&] { ordre.push_back("b"); };
    a.definirValeur(40);
    EXPECT_EQ(ordre, (std::vector<std::string>{"a debut", "b", "a fin"}));
    EXPECT_EQ(b.valeur(), 20);
}

TEST(Curseur, LUtilisateurDeclencheChange)
{
    QWidget parent;
    Curseur c(&parent);
    c.definirMax(100);
    c.definirGrandPas(10);
    int appels = 0;
    c.surChangement = [&] { ++appels; };
    c.barre()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(c.valeur(), 10);
    EXPECT_EQ(appels, 1);
}

// A disabled control takes no value from the accessibility interface (a screen reader), as it
// takes none from the mouse; code still sets it, with its handler.
TEST(Curseur, InactifSourdALAccessibilite)
{
    QWidget parent;
    Curseur c(&parent);
    CaseACocher k(&parent);
    c.definirMax(360);
    int changes = 0, clics = 0;
    c.surChangement = [&] { ++changes; };
    k.surClic = [&] { ++clics; };
    c.definirActif(false);
    k.definirActif(false);
    parent.show();
    QAccessibleInterface* ic = QAccessible::queryAccessibleInterface(c.barre());
    ASSERT_TRUE(ic && ic->valueInterface());
    ic->valueInterface()->setCurrentValue(90);
    EXPECT_EQ(c.valeur(), 0);
    EXPECT_EQ(c.barre()->value(), 0);
    QAccessibleInterface* ik = QAccessible::queryAccessibleInterface(k.caseACocher());
    ASSERT_TRUE(ik && ik->actionInterface());
    ik->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    ik->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::qWait(400);   // a press is an animated click
    EXPECT_EQ(k.valeur(), 0);
    EXPECT_EQ(changes + clics, 0);

    c.definirValeur(45);
    EXPECT_EQ(changes, 1);
    c.definirActif(true);
    ic->valueInterface()->setCurrentValue(90);
    EXPECT_EQ(c.valeur(), 90);
    EXPECT_EQ(changes, 2);
}

// A value outside Min..Max, or a step below 1, is refused with 380: nothing changes and Change
// does not run. With Max below Min the values between the two are the allowed ones.
TEST(Curseur, RefusHorsDesBornesEtDesPas)
{
    QWidget parent;
    Curseur c(&parent);
    c.definirMin(-100);
    c.definirMax(100);
    c.definirValeur(10);
    int appels = 0;
    c.surChangement = [&] { ++appels; };
    for (int v : {101, -101, 32767})
        EXPECT_EQ(kaltest::numeroErreur([&] { c.definirValeur(v); }), ctl::ValeurInvalide) << v;
    EXPECT_EQ(c.valeur(), 10);
    EXPECT_EQ(c.barre()->value(), 10);
    EXPECT_EQ(kaltest::numeroErreur([&] { c.definirValeur(100); }), 0);
    EXPECT_EQ(kaltest::numeroErreur([&] { c.definirValeur(-100); }), 0);
    EXPECT_EQ(appels, 2);

    // Max below Min: the bar runs from Min at its start to Max at its end.
    Curseur d(&parent);
    d.definirMin(10);   // pulls the value up to 10
    d.definirMax(0);
    EXPECT_EQ(d.valeur(), 10);
    EXPECT_EQ(kaltest::numeroErreur([&] { d.definirValeur(7); }), 0);
    EXPECT_EQ(d.valeur(), 7);
    EXPECT_EQ(kaltest::numeroErreur([&] { d.definirValeur(11); }), ctl::ValeurInvalide);
    EXPECT_EQ(kaltest::numeroErreur([&] { d.definirValeur(-1); }), ctl::ValeurInvalide);
    EXPECT_TRUE(d.barre()->invertedAppearance());

    // The steps: read back as set; below 1 or above 32767 refused, the step kept.
    c.definirPetitPas(1);
    c.definirGrandPas(4);
    EXPECT_EQ(c.petitPas(), 1);
    EXPECT_EQ(c.grandPas(), 4);
    for (int v : {0, -3, 32768}) {
        EXPECT_EQ(kaltest::numeroErreur([&] { c.definirGrandPas(v); }), ctl::ValeurInvalide) << v;
        EXPECT_EQ(kaltest::numeroErreur([&] { c.definirPetitPas(v); }), ctl::ValeurInvalide) << v;
    }
    EXPECT_EQ(c.petitPas(), 1);
    EXPECT_EQ(c.grandPas(), 4);
    c.definirGrandPas(32767);
    EXPECT_EQ(c.grandPas(), 32767);
}

// The slider takes the focus when clicked or given it, and says so when it gains or loses the
// focus of its window; the focus going to another window, and coming back, is neither.
TEST(Curseur, FocusEtPerteDeFocus)
{
    QWidget fenetre;
    fenetre.resize(300, 100);
    Curseur a(&fenetre), b(&fenetre);
    a.placer(0, 0, 3000, 255);
    b.placer(0, 600, 3000, 255);
    a.definirMax(100);
    a.definirPetitPas(5);
    std::vector<std::string> vus;
    a.surFocus = [&] { vus.push_back("a focus"); };
    a.surPerteFocus = [&] { vus.push_back("a perte"); };
    b.surFocus = [&] { vus.push_back("b focus"); };
    b.surPerteFocus = [&] { vus.push_back("b perte"); };
    fenetre.show();
    fenetre.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&fenetre));
    ASSERT_TRUE(a.barre()->hasFocus());   // the window's first focus

    QTest::mouseClick(b.barre(), Qt::LeftButton, {}, QPoint(100, 8));
    EXPECT_TRUE(b.barre()->hasFocus());
    a.barre()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(vus, (std::vector<std::string>{"a focus", "a perte", "b focus", "b perte", "a focus"}));

    // With the focus, the keys move the value by the steps, towards Max to the right.
    a.definirGrandPas(20);
    std::vector<int> valeurs;
    a.surChangement = [&] { valeurs.push_back(a.valeur()); };
    for (Qt::Key k : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home})
        QTest::keyClick(a.barre(), k);
    EXPECT_EQ(valeurs, (std::vector<int>{5, 10, 5, 25, 100, 0}));
    // Max below Min: the right arrow still goes towards Max.
    a.definirMin(100);
    a.definirMax(0);
    valeurs.clear();
    QTest::keyClick(a.barre(), Qt::Key_Right);
    EXPECT_EQ(valeurs, (std::vector<int>{95}));

    vus.clear();
    // The window losing the focus, and getting it back, is no change of focus.
    QFocusEvent perte(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(a.barre(), &perte);
    QFocusEvent retour(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(a.barre(), &retour);
    EXPECT_TRUE(vus.empty());

    // Another window taking the focus, then giving it back.
    QWidget autre;
    autre.resize(100, 100);
    autre.show();
    autre.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&autre));
    EXPECT_FALSE(a.barre()->hasFocus());
    fenetre.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&fenetre));
    EXPECT_TRUE(a.barre()->hasFocus());
    EXPECT_TRUE(vus.empty());
    b.barre()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(vus, (std::vector<std::string>{"a perte", "b focus"}));
}

TEST(Liste, ClicParCodeEtParUtilisateur)
{
    QWidget parent;
    Liste l(&parent);
    for (const char* e : {"un", "deux", "trois"})
        l.ajouter(QString::fromLatin1(e));
    std::vector<QString> clics;
    l.surClic = [&] { clics.push_back(l.texte()); };
    l.definirIndex(1);
    l.definirIndex(1);  // unchanged: no click
    l.definirIndex(-1); // clearing delivers one more click, with no entry
    EXPECT_EQ(clics, (std::vector<QString>{"deux", ""}));
    EXPECT_EQ(l.indexCourant(), -1);

    clics.clear();
    parent.resize(200, 200);
    l.placer(0, 0, 2400, 2220);
    parent.show();
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, l.liste()->visualItemRect(l.liste()->item(2)).center());
    EXPECT_EQ(clics, (std::vector<QString>{"trois"}));
    EXPECT_EQ(l.indexCourant(), 2);

    // The keyboard picks entries too.
    clics.clear();
    QTest::keyClick(l.liste(), Qt::Key_Up);
    EXPECT_EQ(clics, (std::vector<QString>{"deux"}));
}

// Qt makes a row current when a list without one gets the focus: that is no click.
TEST(Liste, LeFocusNEstPasUnClic)
{
    QWidget parent;
    parent.resize(200, 200);
    Liste l(&parent);
    l.placer(0, 0, 2400, 2220);
    for (const char* e : {"NORMAL", "JAQUETTES CD", "QUITTER"})
        l.ajouter(QString::fromLatin1(e));
    parent.show();
    int clics = 0;
    l.surClic = [&] { ++clics; };
    QFocusEvent focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(l.liste(), &focus);
    ASSERT_EQ(l.liste()->currentRow(), 0);
    EXPECT_EQ(clics, 0);
    EXPECT_EQ(l.indexCourant(), -1);
    // The row Qt made current is picked by a click like any other.
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, l.liste()->visualItemRect(l.liste()->item(0)).center());
    EXPECT_EQ(clics, 1);
    EXPECT_EQ(l.indexCourant(), 0);
}

TEST(Liste, RecliquerLEntreeSelectionneeCompteAussi)
{
    QWidget parent;
    parent.resize(200, 200);
    Liste l(&parent);
    l.placer(0, 0, 2400, 2220);
    l.ajouter("NORMAL");
    l.ajouter("QUITTER");
    parent.show();
    int clics = 0;
    l.surClic = [&] { ++clics; };
    const QRect r = l.liste()->visualItemRect(l.liste()->item(0));
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(clics, 1);
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(clics, 2);
}

// A click handler that fills the list anew: the next click counts, on the entry picked too.
TEST(Liste, ClicQuiRemplitLaListe)
{
    QWidget parent;
    parent.resize(200, 200);
    Liste l(&parent);
    l.placer(0, 0, 2400, 2220);
    for (const char* e : {"un", "deux"})
        l.ajouter(QString::fromLatin1(e));
    parent.show();
    int clics = 0;
    bool remplissage = false;
    l.surClic = [&] {
        ++clics;
        if (remplissage)
            return;
        remplissage = true;
        l.vider();
        for (const char* e : {"un", "deux", "trois"})
            l.ajouter(QString::fromLatin1(e));
        l.definirIndex(0);
        remplissage = false;
    };
    const QRect r = l.liste()->visualItemRect(l.liste()->item(1));
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(clics, 2);   // the user's, and the handler's own index
    EXPECT_EQ(l.indexCourant(), 0);
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, l.liste()->visualItemRect(l.liste()->item(0)).center());
    EXPECT_EQ(clics, 4);
}

TEST(CaseEtOption, ClicQuandLaValeurChange)
{
    QWidget parent;
    CaseACocher c(&parent);
    int clicsCase = 0;
    c.surClic = [&] { ++clicsCase; };
    c.definirValeur(1);
    c.definirValeur(1);
    c.definirValeur(0);
    EXPECT_EQ(clicsCase, 2);
    c.caseACocher()->click();
    EXPECT_EQ(c.valeur(), 1);
    EXPECT_EQ(clicsCase, 3);

    BoutonOption a(&parent), b(&parent);
    int clicsA = 0, clicsB = 0;
    a.surClic = [&] { ++clicsA; };
    b.surClic = [&] { ++clicsB; };
    a.definirValeur(true);
    a.definirValeur(true);
    b.definirValeur(true);
    EXPECT_EQ(clicsA, 1);
    EXPECT_EQ(clicsB, 1);
    EXPECT_FALSE(a.valeur());  // options of one parent exclude each other
}

TEST(Controle, GeometrieEnTwips)
{
    Ecran::simuler({1024, 768, 15, 15});
    QWidget parent;
    Etiquette e(&parent);
    e.placer(150, 300, 1500, 285);
    EXPECT_EQ(e.widget()->geometry(), QRect(10, 20, 100, 19));
    EXPECT_EQ(e.hauteur(), 285);  // the twip value is kept as given
    e.definirLegende("un\rdeux");
    EXPECT_EQ(e.label()->text(), QStringLiteral("un\ndeux"));
    Ecran::reel();
}

TEST(Couleurs, UneEtiquetteInactiveEstGriseeMemeColoree)
{
    QWidget parent;
    Etiquette e(&parent);
    e.definirCouleurFond(0xC0FFFF);
    e.definirCouleurTexte(0xFF0000);
    const QPalette p = e.label()->palette();
    EXPECT_EQ(p.color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(p.color(QPalette::Disabled, QPalette::WindowText),
              QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    EXPECT_NE(p.color(QPalette::Disabled, QPalette::WindowText), QColor(0, 0, 255));
}

TEST(Couleurs, RvbDansLOrdreBgr)
{
    EXPECT_EQ(couleurDepuisRvb(255), QColor(255, 0, 0));
    EXPECT_EQ(couleurDepuisRvb(65280), QColor(0, 255, 0));
    EXPECT_EQ(rvbDepuisCouleur(QColor(0, 0, 255)), 0xFF0000);
    EXPECT_EQ(rvbDepuisCouleur(couleurDepuisRvb(56831)), 56831);
}
