// Windows: one instance each, created and loaded on first use, unloaded on request, and the
// end of the program that runs no unload procedure.
#include "platform/base/application.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kal;

namespace {
struct Journal {
    int chargements = 0;
    int dechargements = 0;
    bool refuser = false;
    bool seDechargerAuChargement = false;
};

class FenetreTest : public Fenetre {
public:
    FenetreTest(const QString& nom, Journal& j) : Fenetre(nom), j_(j) {}

protected:
    void chargement() override
    {
        ++j_.chargements;
        if (j_.seDechargerAuChargement)
            decharger();
    }
    bool dechargement() override
    {
        ++j_.dechargements;
        return !j_.refuser;
    }

private:
    Journal& j_;
};

class Registre : public ::testing::Test {
protected:
    Journal j;
    void SetUp() override
    {
        Programme::reinitialiser();
        Fenetres::reinitialiser();
        Fenetres::enregistrer("UN", [this] { return new FenetreTest("UN", j); });
    }
    void TearDown() override
    {
        Fenetres::reinitialiser();
        Programme::reinitialiser();
    }
};
}  // namespace

TEST_F(Registre, UneSeuleInstanceChargeeAuPremierUsage)
{
    EXPECT_FALSE(Fenetres::chargee("UN"));
    Fenetre* a = Fenetres::instance("UN");
    Fenetre* b = Fenetres::instance("UN");
    Fenetres::montrer("UN");
    EXPECT_EQ(a, b);
    EXPECT_EQ(Fenetres::siChargee("UN"), a);
    EXPECT_EQ(j.chargements, 1);
    EXPECT_TRUE(a->isVisible());
    EXPECT_EQ(Fenetres::instance("INCONNUE"), nullptr);
}

TEST_F(Registre, DechargeePuisRecreeeAvecUnNouveauChargement)
{
    Fenetres::montrer("UN");
    Fenetres::decharger("UN");
    EXPECT_EQ(j.dechargements, 1);
    EXPECT_FALSE(Fenetres::chargee("UN"));
    Fenetres::montrer("UN");
    EXPECT_EQ(j.chargements, 2);
}

TEST_F(Registre, DechargementRefuseGardeLaFenetre)
{
    Fenetres::montrer("UN");
    j.refuser = true;
    Fenetres::siChargee("UN")->close();  // the frame's close button
    EXPECT_EQ(j.dechargements, 1);
    EXPECT_TRUE(Fenetres::chargee("UN"));
}

TEST_F(Registre, ChargementQuiSeDechargeNEstPasMontre)
{
    j.seDechargerAuChargement = true;
    Fenetres::montrer("UN");
    EXPECT_FALSE(Fenetres::chargee("UN"));
    EXPECT_EQ(j.chargements, 1);
}

TEST_F(Registre, FinDuProgrammeSansDechargement)
{
    Fenetres::montrer("UN");
    Programme::terminer();
    EXPECT_TRUE(Programme::termine());
    Fenetres::toutDetruire();
    EXPECT_EQ(j.dechargements, 0);
    EXPECT_EQ(Fenetres::instance("UN"), nullptr);  // nothing loads after the end
}

TEST(Messages, RepondeurEnregistreEtRepond)
{
    RepondeurEnregistreur r;
    r.prevoir(msg::RepNon);
    EXPECT_EQ(MsgBox(lignesMessage({"un", "deux"}), msg::Question | msg::OuiNon, "QUESTION"), msg::RepNon);
    EXPECT_EQ(MsgBox("trois", msg::Exclamation, "ERREUR"), msg::RepOK);
    ASSERT_EQ(r.messages().size(), 2u);
    EXPECT_EQ(r.messages()[0].texte, QStringLiteral("un\rdeux"));
    EXPECT_EQ(r.messages()[0].style, 36);
    EXPECT_EQ(r.messages()[1].titre, QStringLiteral("ERREUR"));
}

// Without an answerer a real box is shown: its buttons speak the program's language.
TEST(Messages, LesBoutonsEnFrancais)
{
    QStringList vus;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons())
            vus << b->text().remove(QLatin1Char('&'));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(MsgBox("Continuer?", msg::Question | msg::OuiNon, "IMPRIMANTE"), msg::RepNon);
    vus.sort();
    EXPECT_EQ(vus, QStringList({"Non", "Oui"}));
}

// A key typed before the box was on the screen, or repeated because it is held down, does not
// close it: the user has not read it yet. A key pressed once it is shown does.
TEST(Messages, UneToucheTapeeAvantOuRepeteeNeFermePasLaBoite)
{
    bool ouverteApresAvance = false, ouverteApresRepetition = false;
    QPointer<QMessageBox> boite;
    QTimer::singleShot(0, [&] {
        boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_FALSE(boite.isNull());
        // Typed ahead: waiting in the queue since before the box, it reaches the box first.
        QTest::keyClick(boite, Qt::Key_Return);
        ouverteApresAvance = boite && boite->isVisible();
    });
    QTimer::singleShot(1500, [&] {
        ASSERT_FALSE(boite.isNull());
        // A held key: repeats marked as such, and repeats the system sends as a release and a
        // press at the same instant.
        auto touche = [&](QEvent::Type type, quint64 instant, bool repetition = false) {
            QKeyEvent k(type, Qt::Key_Return, Qt::NoModifier, QString(), repetition);
            k.setTimestamp(instant);
            QApplication::sendEvent(boite->focusWidget() ? boite->focusWidget() : boite.data(), &k);
        };
        touche(QEvent::KeyPress, 1000, true);
        touche(QEvent::KeyRelease, 1040);
        touche(QEvent::KeyPress, 1040);
        ouverteApresRepetition = boite && boite->isVisible();
        // Released, then pressed again.
        touche(QEvent::KeyRelease, 1060);
        touche(QEvent::KeyPress, 1200);
        touche(QEvent::KeyRelease, 1260);
    });
    // Whatever happens, the test does not wait for ever.
    QTimer::singleShot(10000, [&] {
        if (boite)
            boite->reject();
    });
    EXPECT_EQ(MsgBox("La base de données est occupée.", msg::OK + msg::Critique, "ERREUR"), msg::RepOK);
    EXPECT_TRUE(ouverteApresAvance);
    EXPECT_TRUE(ouverteApresRepetition);
}

// An error no procedure handles, raised in an event handler, is shown in an "ERREUR" box with its
// number; the program goes on and the next event is handled as usual.
TEST(Application, UneErreurImprevueEstMontreeEtLeProgrammeContinue)
{
    ASSERT_NE(dynamic_cast<Application*>(QCoreApplication::instance()), nullptr);
    RepondeurEnregistreur r;
    QPushButton bouton;
    int clics = 0;
    QObject::connect(&bouton, &QPushButton::clicked, [&] {
        if (++clics == 1)
            throw Erreur(53, QStringLiteral("fichier absent: photo3.svc"));
    });
    bouton.show();
    QTest::mouseClick(&bouton, Qt::LeftButton);
    ASSERT_EQ(r.messages().size(), 1u);
    EXPECT_EQ(r.messages()[0].titre, QStringLiteral("ERREUR"));
    EXPECT_EQ(r.messages()[0].style, msg::OK + msg::Critique);
    EXPECT_EQ(r.messages()[0].lignes().value(0), QStringLiteral("Une erreur imprévue s'est produite (erreur 53):"));
    EXPECT_EQ(r.messages()[0].lignes().value(1), QStringLiteral("fichier absent: photo3.svc"));
    QTest::mouseClick(&bouton, Qt::LeftButton);
    EXPECT_EQ(clics, 2);
    EXPECT_EQ(r.messages().size(), 1u);
}
