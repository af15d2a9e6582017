// SCANNER on SANE's test device: a scanned page becomes the workbench's photo; a cancelled
// choice or a failed page leaves the workbench empty with nothing to file.
#include "banc.h"

#include "support/configsane.h"
#include "platform/scanner/choixsource.h"

#include <QFileInfo>
#include <QImageReader>
#include <QProcess>

using kal::Atelier;
using kaltest::BancAtelier;
using kaltest::legende;

namespace {

void dejaOuverte(BancAtelier& b, Atelier& a)
{
    b.photo(QStringLiteral("p.jpg"), BancAtelier::motif(400, 300));
    b.prendre(a, 0);
    a.A_contraste.definirValeur(200);
    a.A_angle.definirValeur(15);
    ASSERT_TRUE(a.etat.photochargee);
}

TEST(Numerisation, UnePageScanneeDevientLaPhoto)
{
    kaltest::ConfigSane conf({{"test-picture", "\"Color pattern\""}});
    BancAtelier b;
    Atelier* a = b.ouvrir();
    dejaOuverte(b, *a);
    kal::RepondeurSourceEnregistreur personne;
    personne.prevoir(0);

    // Scanning while the open panel stands open: the panel gives way, keeping its folder.
    a->B_ouvrir.cliquer();
    ASSERT_TRUE(a->panneau.F_ouvrir.visible());
    a->B_scanner.cliquer();
    EXPECT_FALSE(a->panneau.F_ouvrir.visible());
    EXPECT_EQ(a->panneau.repphoto, b.images);
    ASSERT_EQ(personne.demandes().size(), 1u);
    EXPECT_EQ(personne.demandes()[0].fenetre, a);
    EXPECT_EQ(a->etat.resultatscan, 0);
    EXPECT_TRUE(a->etat.photochargee);
    EXPECT_EQ(a->etat.modefichier, QStringLiteral("enr"));
    // Mode 7: colour, 300 dpi, the test device's whole 200 mm, shown as its work file.
    EXPECT_EQ(QImageReader(b.travail()).size(), QSize(2362, 2362));
    EXPECT_TRUE(a->L_photo.visible());
    EXPECT_EQ(a->L_initial.bitmap().taille(), QSize(2362, 2362));
    // The corrections start again from 0.
    EXPECT_EQ(a->A_contraste.valeur(), 0);
    EXPECT_EQ(a->A_angle.valeur(), 0);
    EXPECT_EQ(legende(a->E_angle), QStringLiteral("Angle= 0 deg"));
    EXPECT_EQ(legende(a->E_resize), QStringLiteral("Redim:100 %  2362x2362"));
    EXPECT_EQ(a->A_resize.max(), 2362);
    EXPECT_TRUE(a->B_enrsous.actif());
    EXPECT_TRUE(a->A_contraste.actif());
    EXPECT_TRUE(a->A_angle.actif());
    EXPECT_TRUE(a->C_decoupe.actif());
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Defaut);
    // A compression change renders from the page as scanned.
    BancAtelier::glisser(a->A_compression, 60);
    EXPECT_EQ(QImageReader(b.travail()).size(), QSize(2362, 2362));
    EXPECT_TRUE(b.repondeur.messages().empty());
}

// A cancelled choice or a page that fails: the workbench stays empty, nothing to file.
void scanRate(bool page)
{
    BancAtelier b;
    Atelier* a = b.ouvrir();
    dejaOuverte(b, *a);
    ASSERT_TRUE(a->B_enrsous.actif());
    ASSERT_TRUE(legende(a->E_compression).endsWith(QStringLiteral(" Ko")));
    kal::RepondeurSourceEnregistreur personne;
    if (page)
        personne.prevoir(0);
    else
        personne.prevoir(std::nullopt);

    a->B_scanner.cliquer();
    EXPECT_EQ(personne.demandes().size(), 1u);
    EXPECT_NE(a->etat.resultatscan, 0);
    EXPECT_FALSE(a->etat.photochargee);
    EXPECT_FALSE(a->L_photo.visible());
    EXPECT_TRUE(a->L_photo.estVide());
    // The saiphot.jpg of the photo before is not to be filed.
    EXPECT_FALSE(a->B_enrsous.actif());
    EXPECT_TRUE(a->B_ouvrir.actif());
    EXPECT_TRUE(a->B_scanner.actif());
    EXPECT_TRUE(a->B_sup.actif());
    EXPECT_EQ(legende(a->E_angle), QStringLiteral("Angle= 0 deg"));
    EXPECT_EQ(legende(a->E_resize), QStringLiteral("Redim"));
    EXPECT_EQ(legende(a->E_compression), QStringLiteral("Compression"));   // no size of the photo before
    // Nothing to correct: the controls that work on a photo wait for one.
    for (const kal::Controle* c : std::initializer_list<const kal::Controle*>{
             &a->A_contraste, &a->A_angle, &a->C_decoupe, &a->B_redeye, &a->A_resize, &a->B_annulreglagetot})
        EXPECT_FALSE(c->actif());
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Defaut);
    EXPECT_TRUE(b.repondeur.messages().empty());
    // Another photo opened: all is usable again.
    b.prendre(*a, 0);
    EXPECT_TRUE(a->B_enrsous.actif());
    EXPECT_TRUE(a->A_contraste.actif());
}

TEST(Numerisation, UnChoixAnnuleNeLaisseRienAEnregistrer)
{
    kaltest::ConfigSane conf({{"test-picture", "\"Color pattern\""}});
    scanRate(false);
}

// The SANE library reads the test device's settings once per process: the page that jams is
// scanned in a process of its own.
TEST(Numerisation, UnePageCoinceeNeLaisseRienAEnregistrer)
{
    if (qEnvironmentVariableIsEmpty("KAL_ENFANT_PAGE_COINCEE")) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KAL_ENFANT_PAGE_COINCEE"), QStringLiteral("1"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=Numerisation.UnePageCoinceeNeLaisseRienAEnregistrer")});
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString sortie = QString::fromLocal8Bit(p.readAll());
        EXPECT_EQ(p.exitCode(), 0) << sortie.toStdString();
        EXPECT_TRUE(sortie.contains(QLatin1String("[  PASSED  ] 1 test"))) << sortie.toStdString();
        return;
    }
    // A page small enough (10 dpi at most) for the test driver's reader to have sent it whole
    // before the scan gives up: a reader still blocked on a full pipe, cancelled while it ends on
    // its own, now and then leaves a lock of the C library held and hangs the process.
    kaltest::ConfigSane conf({{"read-status-code", "\"SANE_STATUS_JAMMED\""}, {"resolution_max", "10.0"}});
    scanRate(true);
}

}  // namespace
