// The installed work database, made by the program in a work folder that has none.
#include "pagemodel/basetravail.h"
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
