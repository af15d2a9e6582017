// The settings file quelvard.ini on its own: one notation for the corrections whatever the
// locale, and nothing read beyond what its seven lines hold.
#include "printing/reglages.h"
#include "platform/base/fichiers.h"
#include "support/dossiertemp.h"

#include <QFile>
#include <QLocale>
#include <optional>
#include <gtest/gtest.h>

namespace {

struct LocaleFrancaise {
    LocaleFrancaise() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    ~LocaleFrancaise() { QLocale::setDefault(QLocale::c()); }
};

TEST(Reglages, CorrectionsRelues_QuelleQueSoitLaLangue)
{
    kaltest::DossierTravail dossier;
    kal::ReglagesPartages p;
    p.gamma = 150;
    p.DeltaH = 0.5;
    p.DeltaV = -15;
    {
        LocaleFrancaise fr;
        kal::ecrirereglages(p);
    }
    QFile f(kal::cheminReglages());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(" 150\r\n\r\n[DeltaH]\r\n0.5\r\n\r\n[DeltaV]\r\n-15\r\n"));

    kal::ReglagesPartages lu;
    for (bool francais : {false, true}) {
        std::optional<LocaleFrancaise> fr;
        if (francais)
            fr.emplace();
        EXPECT_EQ(kal::lirereglages(lu), kal::EtatReglages::Lu);
        EXPECT_DOUBLE_EQ(lu.gamma, 150);
        EXPECT_DOUBLE_EQ(lu.DeltaH, 0.5);
        EXPECT_DOUBLE_EQ(lu.DeltaV, -15);
    }
    // A file written with a decimal comma reads the same.
    kal::fs::ecrireTexte(kal::cheminReglages(), QStringLiteral("150\r\n\r\n[DeltaH]\r\n0,5\r\n\r\n[DeltaV]\r\n-2,25"));
    EXPECT_EQ(kal::lirereglages(lu), kal::EtatReglages::Lu);
    EXPECT_DOUBLE_EQ(lu.DeltaH, 0.5);
    EXPECT_DOUBLE_EQ(lu.DeltaV, -2.25);
}

TEST(Reglages, SeptLignesCourtesSeulement)
{
    kaltest::DossierTravail dossier;
    kal::ReglagesPartages p;
    p.DeltaH = 4;
    // A first line of 1 MB is no gamma; the file is not rewritten by the reading.
    const QByteArray longue = QByteArray(1 << 20, '9') + "\r\n\r\n[DeltaH]\r\n12\r\n\r\n[DeltaV]\r\n3\r\n";
    {
        QFile f(kal::cheminReglages());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(longue);
    }
    EXPECT_EQ(kal::lirereglages(p), kal::EtatReglages::Illisible);
    EXPECT_DOUBLE_EQ(p.gamma, 180);
    EXPECT_DOUBLE_EQ(p.DeltaH, 12);
    EXPECT_DOUBLE_EQ(p.DeltaV, 3);
    EXPECT_EQ(kal::fs::longueurFichier(kal::cheminReglages()), longue.size());
    // Fewer than seven lines: what is there is read, the rest stays.
    kal::fs::ecrireTexte(kal::cheminReglages(), QStringLiteral("120\r\n\r\n[DeltaH]\r\n-30"));
    EXPECT_EQ(kal::lirereglages(p), kal::EtatReglages::Incomplet);
    EXPECT_DOUBLE_EQ(p.gamma, 120);
    EXPECT_DOUBLE_EQ(p.DeltaH, -30);
    EXPECT_DOUBLE_EQ(p.DeltaV, 3);
}

}  // namespace
