// File-system steps and their error numbers, and the CR LF text files.
#include "support/erreurs.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "support/dossiertemp.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kal;

using kaltest::numeroErreur;

TEST(Fichiers, NumerosDErreur)
{
    kaltest::DossierTravail d;
    const QString rep = d.fichier("rep");
    fs::creerDossier(rep);
    EXPECT_EQ(numeroErreur([&] { fs::creerDossier(rep); }), err::AccesChemin);
    EXPECT_EQ(numeroErreur([&] { fs::creerDossier(d.fichier("absent/sous")); }), err::CheminIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::supprimerFichier(d.fichier("absent.txt")); }), err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::copierFichier(d.fichier("absent.txt"), d.fichier("b")); }), err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::lireLignes(d.fichier("absent.txt")); }), err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::longueurFichier(d.fichier("absent.txt")); }), err::FichierIntrouvable);
    fs::ecrireTexte(rep + "/f.txt", "x");
    EXPECT_EQ(numeroErreur([&] { fs::supprimerDossier(rep); }), err::AccesChemin);  // not empty
    fs::supprimerFichier(rep + "/f.txt");
    fs::supprimerDossier(rep);
    EXPECT_FALSE(fs::existe(rep));
    EXPECT_EQ(numeroErreur([&] { fs::sousDossiers(rep); }), err::CheminIntrouvable);
}

TEST(Fichiers, TexteEnCrLfEtLignes)
{
    kaltest::DossierTravail d;
    const QString f = d.fichier("quelvard.ini");
    fs::ecrireTexte(f, QStringLiteral("180\r\n\r\n[DeltaH]\r\n0"));
    QFile q(f);
    ASSERT_TRUE(q.open(QIODevice::ReadOnly));
    EXPECT_EQ(q.readAll(), QByteArray("180\r\n\r\n[DeltaH]\r\n0\r\n"));
    EXPECT_EQ(fs::lireLignes(f), QStringList({"180", "", "[DeltaH]", "0"}));
    EXPECT_EQ(fs::longueurFichier(f), 20);
}

TEST(Fichiers, ListesTrieesSansFichiersCaches)
{
    kaltest::DossierTravail d;
    for (const char* n : {"b", "a", "C"})
        fs::creerDossier(d.fichier(n));
    fs::ecrireTexte(d.fichier("z.txt"), "");
    fs::ecrireTexte(d.fichier(".cache"), "");
    EXPECT_EQ(fs::sousDossiers(d.chemin()), QStringList({d.fichier("C"), d.fichier("a"), d.fichier("b")}));
    EXPECT_EQ(fs::fichiersDe(d.chemin()), QStringList({d.fichier("z.txt")}));
    EXPECT_EQ(fs::nomFinal(d.fichier("a/")), QStringLiteral("a"));
}

TEST(Fichiers, NomsSimples)
{
    EXPECT_TRUE(fs::nomSimple("vacances 2026"));
    for (const char* n : {"", ".", "..", "../x", "a/b", "a\\b"})
        EXPECT_FALSE(fs::nomSimple(QString::fromLatin1(n))) << n;
}
