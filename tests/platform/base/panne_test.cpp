// The fault seam: a step's write-class operations counted, then each made to fail in turn, once and
// from then on, in the file layer and in the database engine; the step either completes or leaves
// what it replaces as it was, and says the disk is full.
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/panne.h"
#include "platform/database/basedonnees.h"
#include "support/dossiertemp.h"

#include <QFile>
#include <QDir>
#include <gtest/gtest.h>

using namespace kal;

namespace {
QByteArray contenu(const QString& f)
{
    QFile q(f);
    return q.open(QIODevice::ReadOnly) ? q.readAll() : QByteArray("<absent>");
}
struct Desarme {
    ~Desarme() { panne::desarmer(); }
};
}  // namespace

TEST(Panne, FichierRemplaceEntierOuPasDuTout)
{
    kaltest::DossierTravail d;
    const QString f = d.fichier("quelvard.ini");
    fs::ecrireFichier(f, "ancien");
    Desarme desarme;
    panne::compter();
    fs::ecrireFichier(f, "nouveau");
    const long n = panne::compte();
    panne::desarmer();
    ASSERT_GE(n, 4) << "creation, write, flush, rename";
    for (const bool depuis : {false, true})
        for (long k = 1; k <= n; ++k) {
            fs::ecrireFichier(f, "ancien");
            panne::armer(k, depuis, ENOSPC);
            QString message;
            bool nonConfirme = false;
            try {
                fs::ecrireFichier(f, "nouveau");
            } catch (const Erreur& e) {
                message = e.description();
                nonConfirme = fs::ecritureNonConfirmee(e);
            }
            panne::desarmer();
            const QByteArray lu = contenu(f);
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(k).arg(depuis).toStdString());
            if (message.isEmpty()) {
                EXPECT_TRUE(lu == "nouveau" || lu == "ancien");   // a crash before the rename keeps the old one
            } else if (nonConfirme) {
                // The folder's flush after the rename: the new file in place, and said unconfirmed.
                EXPECT_EQ(lu, "nouveau");
                EXPECT_FALSE(message.contains("conservé")) << message.toStdString();
            } else {
                EXPECT_EQ(lu, "ancien");
                EXPECT_TRUE(message.contains("le disque est plein")) << message.toStdString();
            }
            fs::supprimerRestesEcriture(d.chemin(), [] { return QStringList{"quelvard.ini"}; });
            EXPECT_EQ(QDir(d.chemin()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        }
    // A removal that fails says why.
    panne::armer(1, false, EIO);
    try {
        fs::supprimerFichier(f);
        ADD_FAILURE();
    } catch (const Erreur& e) {
        EXPECT_TRUE(e.description().contains("erreur de lecture ou d'écriture du disque")) << e.description().toStdString();
    }
}

TEST(Panne, BaseDeDonneesParLeMoteur)
{
    kaltest::DossierTravail d;
    const QString f = d.fichier("k.mdb");
    {
        bd::Base b = bd::Base::creer(f);
        b.creerTable("t", {{"numero", bd::TypeChamp::Long}});
    }
    auto ajouter = [&](int v) {
        bd::Base b = bd::Base::ouvrir(f);
        bd::JeuEnregistrements j = b.ouvrirJeu("t");
        j.ajouterNouveau();
        j.mettre("numero", v);
        j.miseAJour();
        b.fermer();
    };
    auto lignes = [&] { return bd::Base::ouvrir(f).valeursStockees("t", {"numero"}).size(); };
    Desarme desarme;
    panne::compter();
    ajouter(0);
    const long n = panne::compte();
    panne::desarmer();
    ASSERT_GE(n, 3) << "open for writing, write, sync";
    bool plein = false;
    for (const bool depuis : {false, true})
        for (long k = 1; k <= n; ++k) {
            const size_t avant = lignes();
            panne::armer(k, depuis, ENOSPC);
            QString message;
            try {
                ajouter(1);
            } catch (const Erreur& e) {
                message = e.description();
            }
            panne::desarmer();
            SCOPED_TRACE(QStringLiteral("%1 %2 %3").arg(k).arg(depuis).arg(message).toStdString());
            // Whole or not at all, once the file is opened again.
            const size_t apres = lignes();
            EXPECT_TRUE(apres == avant || (apres == avant + 1 && message.isEmpty()));
            plein = plein || message.contains("plein");
        }
    EXPECT_TRUE(plein);
}
