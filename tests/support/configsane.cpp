#include "support/configsane.h"

#include <QCoreApplication>
#include <QFile>
#include <gtest/gtest.h>

namespace kaltest {

ConfigSane::ConfigSane(const QMap<QString, QString>& reglages, bool appareil)
    : dir_(QDir::temp().filePath(QStringLiteral("kal-sane-%1").arg(QCoreApplication::applicationPid())))
{
    EXPECT_TRUE(dir_.mkpath(QStringLiteral(".")));
    ecrire(QStringLiteral("dll.conf"), appareil ? QByteArray("test\n") : QByteArray());
    QMap<QString, QString> r = reglages;
    QByteArray conf;
    QFile modele(QStringLiteral("/etc/sane.d/test.conf"));
    EXPECT_TRUE(modele.open(QIODevice::ReadOnly)) << "the SANE test device's settings are installed";
    for (const QByteArray& ligne : modele.readAll().split('\n')) {
        const QString cle = QString::fromUtf8(ligne).section(QLatin1Char(' '), 0, 0);
        if (r.contains(cle))
            conf += (cle + QLatin1Char(' ') + r.take(cle)).toUtf8() + '\n';
        else
            conf += ligne + '\n';
    }
    for (auto it = r.cbegin(); it != r.cend(); ++it)
        conf += (it.key() + QLatin1Char(' ') + it.value()).toUtf8() + '\n';
    ecrire(QStringLiteral("test.conf"), conf);
    qputenv("SANE_CONFIG_DIR", dir_.path().toLocal8Bit());
}

ConfigSane::~ConfigSane()
{
    qunsetenv("SANE_CONFIG_DIR");
    dir_.removeRecursively();
}

void ConfigSane::ecrire(const QString& nom, const QByteArray& contenu)
{
    QFile f(dir_.filePath(nom));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contenu);
}

}  // namespace kaltest
