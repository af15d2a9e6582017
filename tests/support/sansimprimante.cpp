#include "support/sansimprimante.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace kaltest {

bool sansImprimante() { return !qEnvironmentVariableIsEmpty("KAL_ENFANT_SANS_IMPRIMANTE"); }

void relancerSansImprimante(const QString& filtre)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAL_ENFANT_SANS_IMPRIMANTE"), QStringLiteral("1"));
    env.insert(QStringLiteral("CUPS_SERVER"), QDir::tempPath() + QStringLiteral("/aucun-serveur-cups.sock"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filtre});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString sortie = QString::fromLocal8Bit(p.readAll());
    EXPECT_EQ(p.exitCode(), 0) << sortie.toStdString();
    EXPECT_TRUE(sortie.contains(QLatin1String("[  PASSED  ]"))) << sortie.toStdString();
    EXPECT_FALSE(sortie.contains(QLatin1String("[  PASSED  ] 0 tests"))) << sortie.toStdString();
    EXPECT_FALSE(sortie.contains(QLatin1String("[  FAILED  ]"))) << sortie.toStdString();
}

}  // namespace kaltest
