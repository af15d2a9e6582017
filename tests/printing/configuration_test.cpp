// Printer set-up from "Configurer imprimante": the questions, the system's printer settings
// started apart (a stand-in on PATH), the completion at the window's next click (page) or
// repaint, the page laid out again for another sheet, the page-settings record, and the
// jacket's A4 portrait. On both editors where they apply.
#include "banc_impression.h"
#include "support/banc_editeur.h"

#include "imaging/fichierstravail.h"
#include "pagemodel/fiche.h"
#include "platform/base/conversions.h"
#include "printing/impression.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <gtest/gtest.h>

using kal::TypeEditeur;

namespace {

class Configuration : public ::testing::TestWithParam<TypeEditeur> {
protected:
    void SetUp() override
    {
        ed = banc.ouvrir(GetParam());
        ASSERT_NE(ed, nullptr);
        banc.repondeur.oublier();
        chemin.programme(QStringLiteral("system-config-printer"));
    }
    kal::ContexteEditeur& x() { return ed->x; }
    kal::EtatEditeur& e() { return ed->x.etat; }
    bool jaquette() const { return GetParam() == TypeEditeur::Jaquette; }

    // A click on the window's own background, where no control stands.
    void clic()
    {
        QPoint p(-1, -1);
        for (int y = 5; y < ed->height() && p.x() < 0; y += 7)
            for (int x = 5; x < ed->width() && p.x() < 0; x += 7)
                if (!ed->childAt(x, y))
                    p = QPoint(x, y);
        ASSERT_GE(p.x(), 0);
        QMouseEvent m(QEvent::MouseButtonPress, QPointF(p), QPointF(p), Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(ed, &m);
    }
    // A click a control let through to the window.
    void clicSurControle()
    {
        const QPoint p = ed->c.P_page.widget()->geometry().center();
        QMouseEvent m(QEvent::MouseButtonPress, QPointF(p), QPointF(p), Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(ed, &m);
    }
    void repeindre()
    {
        QPaintEvent p(QRect(0, 0, 10, 10));
        QCoreApplication::sendEvent(ed, &p);
    }
    QVariant fiche16(const QString& champ)
    {
        kal::Fiches f = x().fiches();
        f.sourceTable();
        return f.lire(kal::NumeroFicheConfig, champ);
    }
    const kal::MessageAffiche& dernier() const { return banc.repondeur.messages().back(); }

    kaltest::BancEditeur banc;
    kaltest::CheminEssai chemin;
    kal::Editeur* ed = nullptr;
};

TEST_P(Configuration, LesReglagesDuSystemeSOuvrentPuisLaFenetreTermine)
{
    banc.repondeur.prevoir(kal::msg::RepOK);
    EXPECT_TRUE(x().impression().configurerimprimante());
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().titre, QStringLiteral("CONFIGURER IMPRIMANTE"));
    EXPECT_EQ(dernier().style, kal::msg::OKAnnuler + kal::msg::Exclamation);
    EXPECT_EQ(dernier().lignes().size(), 2);
    EXPECT_TRUE(chemin.lance(QStringLiteral("system-config-printer")));
    EXPECT_TRUE(e().panneauouvert);
    EXPECT_TRUE(e().configdemandee);
    EXPECT_FALSE(banc.imp.suividefaut());   // the printer is held while the user chooses
    EXPECT_EQ(e().largeurpapier.valeur(), banc.imp.largeurfeuille().valeur());
    EXPECT_EQ(e().hauteurpapier.valeur(), banc.imp.hauteurfeuille().valeur());

    // The jacket completes on its repaint only; the page on a click on its background too.
    clicSurControle();
    EXPECT_TRUE(e().panneauouvert);
    clic();
    EXPECT_EQ(e().panneauouvert, jaquette());
    repeindre();
    EXPECT_FALSE(e().panneauouvert);
    EXPECT_FALSE(e().configdemandee);
    EXPECT_TRUE(banc.imp.suividefaut());
    EXPECT_TRUE(ed->c.A_format.actif());
    EXPECT_TRUE(ed->c.B_centre.actif());
}

TEST_P(Configuration, AnnulerNOuvreRien)
{
    banc.repondeur.prevoir(kal::msg::RepAnnuler);
    x().impression().configurerimprimante();
    EXPECT_FALSE(e().panneauouvert);
    EXPECT_FALSE(banc.imp.suividefaut());
    EXPECT_TRUE(e().configdemandee);
    repeindre();   // nothing pending
    EXPECT_TRUE(e().configdemandee);
    EXPECT_FALSE(chemin.lance(QStringLiteral("system-config-printer"), 300));
}

TEST_P(Configuration, RienNePeutOuvrirLesReglages)
{
    kaltest::CheminEssai vide;
    banc.repondeur.prevoir(kal::msg::RepOK);
    x().impression().configurerimprimante();
    EXPECT_FALSE(e().panneauouvert);
    EXPECT_EQ(dernier().titre, QStringLiteral("SYSTEME D'EXPLOITATION"));
    EXPECT_EQ(dernier().texte, QStringLiteral("Cette action n'est pas valable pour ce système d'exploitation"));
    EXPECT_EQ(dernier().style, kal::msg::OK + kal::msg::Exclamation);
}

TEST_P(Configuration, SansReglagesDuSystemeLaPageDuServeur)
{
    kaltest::CheminEssai autre;
    autre.programme(QStringLiteral("xdg-open"));
    banc.repondeur.prevoir(kal::msg::RepOK);
    x().impression().configurerimprimante();
    EXPECT_TRUE(autre.lance(QStringLiteral("xdg-open")));
    EXPECT_TRUE(e().panneauouvert);
}

// With objects, the page first offers to save; the jacket only says what it keeps.
TEST_P(Configuration, AvecDesObjets)
{
    e().nbobjets = 1;
    e().objetcourant = kal::AucunObjet;
    if (jaquette()) {
        banc.repondeur.prevoir(kal::msg::RepOK);
        banc.repondeur.prevoir(kal::msg::RepAnnuler);
        x().impression().configurerimprimante();
        ASSERT_EQ(banc.repondeur.messages().size(), 2u);
        EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("CONFIGURATION IMPRIMANTE"));
        EXPECT_EQ(banc.repondeur.messages()[0].style, kal::msg::OK + kal::msg::Exclamation);
        EXPECT_EQ(banc.repondeur.messages()[1].titre, QStringLiteral("CONFIGURER IMPRIMANTE"));
        return;
    }
    // No: straight on to the printer settings.
    banc.repondeur.prevoir(kal::msg::RepNon);
    banc.repondeur.prevoir(kal::msg::RepAnnuler);
    x().impression().configurerimprimante();
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    const kal::MessageAffiche& q = banc.repondeur.messages()[0];
    EXPECT_EQ(q.titre, QStringLiteral("CONFIGURATION IMPRIMANTE"));
    EXPECT_EQ(q.style, 36);
    EXPECT_EQ(q.lignes().back(), QStringLiteral("Voulez-vous enregistrer la page ?"));
    EXPECT_EQ(banc.repondeur.messages()[1].titre, QStringLiteral("CONFIGURER IMPRIMANTE"));

    // Yes: the save comes first, in the pages panel, which asks for a name; the printer
    // settings wait for the next request.
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOui);
    x().impression().configurerimprimante();
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    EXPECT_EQ(dernier().texte, QStringLiteral("Désignez un nom de fichier de sauvegarde"));
    EXPECT_TRUE(ed->c.F_page.visible());
    EXPECT_TRUE(ed->c.O_ajout.valeur());
    EXPECT_FALSE(e().enregavantconfig);   // nothing was saved
    EXPECT_FALSE(e().panneauouvert);
    // Asked again while the panel still waits for a name, and again after it was left.
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOui);
    x().impression().configurerimprimante();
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("CONFIGURATION IMPRIMANTE"));
    EXPECT_FALSE(e().enregavantconfig);
    ed->c.B_annulsauv.cliquer();
    EXPECT_FALSE(e().enregavantconfig);
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepNon);
    banc.repondeur.prevoir(kal::msg::RepAnnuler);
    x().impression().configurerimprimante();
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("CONFIGURATION IMPRIMANTE"));

    // Once the page was saved the question is not asked again, and is armed afresh after.
    e().enregavantconfig = true;
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepAnnuler);
    x().impression().configurerimprimante();
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().titre, QStringLiteral("CONFIGURER IMPRIMANTE"));
    EXPECT_FALSE(e().enregavantconfig);
}

INSTANTIATE_TEST_SUITE_P(DeuxEditeurs, Configuration, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

class ConfigurationPage : public Configuration {};

// Another sheet (here landscape): the page is emptied and laid out again, and the
// page-settings record holds the new printer's settings. The same sheet keeps the objects.
TEST_P(ConfigurationPage, LaFeuilleChange)
{
    kaltest::poserObjet(x(), {.n = 3, .leftimp = 1000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000});
    e().nbobjets = 1;
    e().enregavantconfig = true;
    banc.repondeur.prevoir(kal::msg::RepOK);
    x().impression().configurerimprimante();
    EXPECT_TRUE(chemin.lance(QStringLiteral("system-config-printer")));
    clic();   // the same sheet
    EXPECT_TRUE(x().fiches().lire(3, kal::champ::occup).toBool());
    EXPECT_EQ(fiche16(kal::champ::orientation).toInt(), kal::imp::Portrait);

    e().enregavantconfig = true;
    banc.repondeur.prevoir(kal::msg::RepOK);
    x().impression().configurerimprimante();
    EXPECT_TRUE(chemin.lance(QStringLiteral("system-config-printer")));
    banc.imp.definirOrientationimprimante(kal::imp::Paysage);   // what the user chose meanwhile
    repeindre();
    EXPECT_FALSE(x().fiches().lire(3, kal::champ::occup).toBool());
    EXPECT_EQ(e().nbobjets, 0);
    EXPECT_EQ(fiche16(kal::champ::orientation).toInt(), kal::imp::Paysage);
    EXPECT_EQ(fiche16(kal::champ::papersize).toInt(), kal::imp::A4);
    EXPECT_EQ(fiche16(kal::champ::largeurpage).toInt(), 16838);
    EXPECT_EQ(fiche16(kal::champ::hauteurpage).toInt(), 11906);
    EXPECT_EQ(fiche16(kal::champ::scalewidth).toInt(), kal::arrondi(e().largeursurface.valeur()));
    EXPECT_GT(ed->c.P_page.largeur(), ed->c.P_page.hauteur());
}

// A page that was really saved is marked so: the next request goes straight to the printer
// settings, and arms the question afresh.
TEST_P(ConfigurationPage, OuiEnregistreLaPageAvantLesReglages)
{
    ASSERT_TRUE(kaltest::BancEditeur::placer(ed, banc.jpeg(QStringLiteral("photo.jpg"), 600, 400)));
    ASSERT_EQ(e().nbobjets, 1);
    ed->c.L_kalmorin.definirTexte(QStringLiteral("avantconfig"));
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOui);
    x().impression().configurerimprimante();
    EXPECT_TRUE(e().enregavantconfig) << (banc.repondeur.messages().empty() ? std::string()
                                                                             : dernier().texte.toStdString());
    EXPECT_FALSE(e().panneauouvert);
    EXPECT_TRUE(QFileInfo::exists(banc.dossier.fichier(QStringLiteral("persopag/avantconfig"))));

    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOK);
    x().impression().configurerimprimante();
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().titre, QStringLiteral("CONFIGURER IMPRIMANTE"));
    EXPECT_TRUE(e().panneauouvert);
    EXPECT_FALSE(e().enregavantconfig);
    EXPECT_TRUE(chemin.lance(QStringLiteral("system-config-printer")));
}

INSTANTIATE_TEST_SUITE_P(Page, ConfigurationPage, ::testing::Values(TypeEditeur::Page),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

class ConfigurationJaquette : public Configuration {};

// Whatever the user chose, the jacket is back on A4 portrait at its next repaint.
TEST_P(ConfigurationJaquette, ToujoursA4Portrait)
{
    banc.repondeur.prevoir(kal::msg::RepOK);
    x().impression().configurerimprimante();
    banc.imp.definirFormatimprimante(kal::imp::Letter);
    banc.imp.definirOrientationimprimante(kal::imp::Paysage);
    repeindre();
    EXPECT_EQ(banc.imp.formatimprimante(), kal::imp::A4);
    EXPECT_EQ(banc.imp.orientationimprimante(), kal::imp::Portrait);
    EXPECT_FALSE(e().panneauouvert);
}

INSTANTIATE_TEST_SUITE_P(Jaquette, ConfigurationJaquette, ::testing::Values(TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
