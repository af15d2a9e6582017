// The installed work database, made by the program in a work folder that has none.
#include "pagemodel/basetravail.h"
#include "pagemodel/fiche.h"
#include "platform/base/erreur.h"
#include "support/dossiertemp.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

using namespace kal;

TEST(BaseTravail, CreeeQuandLeDossierNenAPas)
{
    kaltest::DossierTravail d;
    EXPECT_TRUE(creerBaseSiAbsente(d.chemin()));
    const QString chemin = d.fichier(QStringLiteral("kalmorin.mdb"));
    ASSERT_TRUE(QFile::exists(chemin));
    EXPECT_EQ(QDir(d.chemin()).entryList(QDir::Files), QStringList{QStringLiteral("kalmorin.mdb")});   // nothing left over

    bd::SourceDonnees src;
    src.definirBase(chemin);
    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    bd::JeuEnregistrements& j = src.jeu();
    ASSERT_EQ(j.nombre(), 32);

    // Every field of the object record and of the page-settings record, in every record.
    for (const char* champ : {"numero", "occup", "topimp", "leftimp", "widthimp", "heightimp", "rot", "cadre", "textimage",
                              "texte", "backcolor", "fontname", "fontsize", "fontcolor", "fontbold", "fontitalic",
                              "fontunderline", "fontstrikethru", "coulminiat", "topminiat", "leftminiat", "orientation",
                              "papersize", "largeurpage", "hauteurpage", "scaleheight", "scalewidth"})
        EXPECT_TRUE(j.aChamp(QString::fromLatin1(champ))) << champ;
    EXPECT_EQ(j.typeChamp(QStringLiteral("cadre")), bd::TypeChamp::Entier);
    EXPECT_EQ(j.typeChamp(QStringLiteral("occup")), bd::TypeChamp::Booleen);

    QSet<int> couleurs;
    for (int n = 0; n <= 31; ++n) {
        j.chercherPremier(QStringLiteral("numero=%1").arg(n));
        ASSERT_FALSE(j.sansCorrespondance()) << n;
        EXPECT_EQ(j.valeur(QStringLiteral("occup")), QVariant(false));
        EXPECT_EQ(j.valeur(QStringLiteral("cadre")), QVariant(0));
        EXPECT_EQ(j.valeur(QStringLiteral("backcolor")), QVariant(0xFFFFFF));
        const int c = j.valeur(QStringLiteral("coulminiat")).toInt();
        EXPECT_EQ(c, couleurMiniature(n));
        EXPECT_GE(c, 0);
        EXPECT_LE(c, 0xFFFFFF);
        couleurs.insert(c);
    }
    EXPECT_EQ(couleurs.size(), 32);   // each slot its own colour

    j.chercherPremier(QStringLiteral("numero=16"));
    EXPECT_EQ(j.valeur(QStringLiteral("orientation")), QVariant(1));
    EXPECT_EQ(j.valeur(QStringLiteral("papersize")), QVariant(9));

    // The SQL texts of the program run on it.
    src.definirSource(QStringLiteral("SELECT * FROM [kalmorin]  WHERE [numero] BETWEEN 16 AND 31"));
    src.actualiser();
    EXPECT_EQ(src.jeu().nombre(), 16);
}

TEST(BaseTravail, UneBaseExistanteNestPasTouchee)
{
    kaltest::DossierTravail d;
    ASSERT_TRUE(creerBaseSiAbsente(d.chemin()));
    const QString chemin = d.fichier(QStringLiteral("kalmorin.mdb"));
    {
        bd::SourceDonnees src;
        src.definirBase(chemin);
        src.definirSource(QStringLiteral("kalmorin"));
        src.actualiser();
        src.jeu().chercherPremier(QStringLiteral("numero=3"));
        src.jeu().modifier();
        src.jeu().mettre(QStringLiteral("occup"), true);
        src.jeu().miseAJour();
        src.fermerBase();
    }
    EXPECT_FALSE(creerBaseSiAbsente(d.chemin()));
    bd::SourceDonnees src;
    src.definirBase(chemin);
    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    src.jeu().chercherPremier(QStringLiteral("occup=True"));
    EXPECT_EQ(src.jeu().valeur(QStringLiteral("numero")), QVariant(3));

    try {
        creerBaseTravail(chemin);
        FAIL() << "la base existante a été remplacée";
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero(), bd::err::BaseExistante);
    }
}

TEST(BaseTravail, DossierImpossibleDonneUneErreur)
{
    kaltest::DossierTravail d;
    try {
        creerBaseSiAbsente(d.fichier(QStringLiteral("absent/sous")));
        FAIL() << "aucune erreur";
    } catch (const Erreur& e) {
        EXPECT_NE(e.numero(), 0);
    }
    EXPECT_TRUE(QDir(d.chemin()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

// Record writes made as one transaction, one joined inside it included: all stored, or, when the
// step fails midway, none, the record set showing again what the file holds.
TEST(BaseTravail, TransactionDesFichesToutOuRien)
{
    kaltest::DossierTravail d;
    ASSERT_TRUE(creerBaseSiAbsente(d.chemin()));
    const QString chemin = d.fichier(QStringLiteral("kalmorin.mdb"));
    bd::SourceDonnees src;
    src.definirBase(chemin);
    Fiches f(src);
    f.sourceTable();
    const auto occuper = [&](int n) { f.modifier(n, [](bd::JeuEnregistrements& j) { j.mettre(champ::occup, true); }); };
    const auto dansLeFichier = [&](int n) {
        bd::Base b = bd::Base::ouvrir(chemin);
        bd::JeuEnregistrements j = b.ouvrirJeu(nomTableObjets());
        j.chercherPremier(critereNumero(n));
        return j.valeur(champ::occup).toBool();
    };
    const auto echoue = [&] {
        occuper(0);
        f.transaction([&] { occuper(1); });
        throw Erreur(err::DisquePlein);
    };
    EXPECT_THROW(f.transaction(echoue), Erreur);
    for (int n : {0, 1}) {
        EXPECT_FALSE(f.lire(n, champ::occup).toBool()) << n;
        EXPECT_FALSE(dansLeFichier(n)) << n;
    }
    f.transaction([&] {
        occuper(0);
        occuper(1);
    });
    for (int n : {0, 1})
        EXPECT_TRUE(dansLeFichier(n)) << n;
}
