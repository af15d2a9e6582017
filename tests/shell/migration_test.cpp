// Moving personal pages from the old fixed folder into the work folder's persopag.
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "shell/application.h"
#include "support/dossiertemp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kal;

namespace {

void ecrire(const QString& chemin, const QByteArray& contenu)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contenu);
}

QByteArray lire(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

class Migration : public ::testing::Test {
protected:
    kaltest::DossierTravail travail;
    QTemporaryDir maison;
    QString ancien;
    RepondeurEnregistreur repondeur;
    ReglagesPartages partage;

    void SetUp() override
    {
        ancien = maison.path() + QStringLiteral("/kalmorin");
        Programme::reinitialiser();
        Fenetres::reinitialiser();
        Ecran::simuler({1024, 768, 15, 15});
    }
    void TearDown() override
    {
        Fenetres::reinitialiser();
        Ecran::reel();
    }
    bool demarrer() { return demarrerProgramme(partage, {ancien}); }
    QString persopag(const QString& nom = {}) const
    {
        return travail.fichier(QStringLiteral("persopag")) + (nom.isEmpty() ? QString() : QStringLiteral("/") + nom);
    }
};

}  // namespace

TEST_F(Migration, SansAncienDossierRienNeSePasse)
{
    ASSERT_TRUE(demarrer());
    EXPECT_TRUE(repondeur.messages().empty());
    EXPECT_EQ(Fenetres::siChargee("DEPART")->pointeur(), pointeur::Fleche);
    EXPECT_TRUE(fs::sousDossiers(persopag()).isEmpty());
}

TEST_F(Migration, AncienDossierVideSupprimeEtAnnonce)
{
    QDir().mkpath(ancien);
    ASSERT_TRUE(demarrer());
    EXPECT_FALSE(QFile::exists(ancien));
    ASSERT_EQ(repondeur.messages().size(), 1u);
    const MessageAffiche& m = repondeur.messages()[0];
    EXPECT_EQ(m.titre, QStringLiteral("PAGES PERSO"));
    EXPECT_EQ(m.style, msg::Exclamation);
    EXPECT_EQ(m.lignes(), QStringList({QStringLiteral("Les pages perso stockées dans ") + ancien,
                                       QStringLiteral("ont été transférées dans ") + travail.chemin()
                                           + QStringLiteral("/persopag."),
                                       QStringLiteral("Le répertoire ") + ancien + QStringLiteral(" a été supprimé.")}));
}

TEST_F(Migration, PagesDeplaceesFichierParFichier)
{
    QDir().mkpath(ancien + "/vacances");
    QDir().mkpath(ancien + "/noel");
    ecrire(ancien + "/vacances/kalmorin.mdb", "base");
    ecrire(ancien + "/vacances/photo0.jpg", "jpeg");
    ecrire(ancien + "/vacances/page.txt", "");
    ecrire(ancien + "/noel/jaquet.txt", "ok\r\n");
    ASSERT_TRUE(demarrer());
    EXPECT_FALSE(QFile::exists(ancien));
    EXPECT_EQ(lire(persopag("vacances/kalmorin.mdb")), "base");
    EXPECT_EQ(lire(persopag("vacances/photo0.jpg")), "jpeg");
    EXPECT_EQ(lire(persopag("vacances/page.txt")), "");
    EXPECT_EQ(lire(persopag("noel/jaquet.txt")), "ok\r\n");
    EXPECT_EQ(repondeur.messages().size(), 1u);
}

TEST_F(Migration, PageDejaPresenteArreteSansMessage)
{
    QDir().mkpath(ancien + "/a-premiere");
    QDir().mkpath(ancien + "/b-deuxieme");
    QDir().mkpath(ancien + "/c-troisieme");
    ecrire(ancien + "/a-premiere/page.txt", "1");
    ecrire(ancien + "/b-deuxieme/page.txt", "2");
    ecrire(ancien + "/c-troisieme/page.txt", "3");
    QDir().mkpath(persopag("b-deuxieme"));
    ecrire(persopag("b-deuxieme/page.txt"), "existante");

    ASSERT_TRUE(demarrer());
    EXPECT_TRUE(repondeur.messages().empty());
    EXPECT_EQ(lire(persopag("a-premiere/page.txt")), "1");
    EXPECT_FALSE(QFile::exists(ancien + "/a-premiere"));
    // The page in the way and those after it stay where they were, untouched.
    EXPECT_EQ(lire(ancien + "/b-deuxieme/page.txt"), "2");
    EXPECT_EQ(lire(ancien + "/c-troisieme/page.txt"), "3");
    EXPECT_EQ(lire(persopag("b-deuxieme/page.txt")), "existante");
    EXPECT_FALSE(QFile::exists(persopag("c-troisieme")));
    EXPECT_EQ(Fenetres::siChargee("DEPART")->pointeur(), pointeur::Fleche);
}

TEST_F(Migration, DossierCacheEmpecheLaSuppression)
{
    // Hidden files are not moved; the folder that still holds one cannot be removed, and the
    // migration stops there with what it moved already in place.
    QDir().mkpath(ancien + "/page");
    ecrire(ancien + "/page/photo0.jpg", "jpeg");
    ecrire(ancien + "/page/.cache", "x");
    ASSERT_TRUE(demarrer());
    EXPECT_EQ(lire(persopag("page/photo0.jpg")), "jpeg");
    EXPECT_TRUE(QFile::exists(ancien + "/page/.cache"));
    EXPECT_TRUE(repondeur.messages().empty());
}
