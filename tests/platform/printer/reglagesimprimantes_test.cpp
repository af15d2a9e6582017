// Starting the system's printer settings: the settings program where it is installed, else the
// print server's page in the browser, else error 53. Stand-in programs on PATH record how they
// were started.
#include "platform/base/erreur.h"
#include "platform/printer/reglagesimprimantes.h"
#include "support/erreurs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// A folder standing for PATH, holding stand-ins that write their arguments to "<name>.lance".
class CheminEssai {
public:
    CheminEssai() : ancien_(qgetenv("PATH")) { qputenv("PATH", dir_.path().toLocal8Bit()); }
    ~CheminEssai() { qputenv("PATH", ancien_); }

    void programme(const QString& nom)
    {
        const QString chemin = dir_.filePath(nom);
        QFile f(chemin);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.lance'\n").arg(chemin).toLocal8Bit());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // What the stand-in was given, once it has run (empty when it did not within 5 s).
    QString lance(const QString& nom) const
    {
        QFile f(dir_.filePath(nom) + QStringLiteral(".lance"));
        QElapsedTimer t;
        t.start();
        while (!f.exists() && t.elapsed() < 5000)
            QThread::msleep(20);
        QThread::msleep(50);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(f.readAll()).trimmed();
    }
    bool aEteLance(const QString& nom) const { return QFile::exists(dir_.filePath(nom) + QStringLiteral(".lance")); }

private:
    QTemporaryDir dir_;
    QByteArray ancien_;
};

struct ServeurCups {
    explicit ServeurCups(const QByteArray& v) : ancien_(qgetenv("CUPS_SERVER")), avait_(qEnvironmentVariableIsSet("CUPS_SERVER"))
    {
        qputenv("CUPS_SERVER", v);
    }
    ~ServeurCups()
    {
        if (avait_)
            qputenv("CUPS_SERVER", ancien_);
        else
            qunsetenv("CUPS_SERVER");
    }
    QByteArray ancien_;
    bool avait_;
};

TEST(ReglagesImprimantes, LeProgrammeDeReglagesEnPremier)
{
    CheminEssai chemin;
    chemin.programme(QStringLiteral("system-config-printer"));
    chemin.programme(QStringLiteral("xdg-open"));
    kal::ouvrirreglagesimprimantes();
    EXPECT_EQ(chemin.lance(QStringLiteral("system-config-printer")), QString());
    EXPECT_TRUE(chemin.aEteLance(QStringLiteral("system-config-printer")));
    EXPECT_FALSE(chemin.aEteLance(QStringLiteral("xdg-open")));
}

TEST(ReglagesImprimantes, SinonLaPageDuServeurDImpression)
{
    CheminEssai chemin;
    chemin.programme(QStringLiteral("xdg-open"));
    {
        ServeurCups local("/run/cups/cups.sock");
        kal::ouvrirreglagesimprimantes();
        EXPECT_EQ(chemin.lance(QStringLiteral("xdg-open")), QStringLiteral("http://localhost:631/printers/"));
    }
    ServeurCups distant("imprimeur.local");
    EXPECT_EQ(kal::pageImprimantes(), QStringLiteral("http://imprimeur.local:631/printers/"));
    ServeurCups port("imprimeur.local:8631");
    EXPECT_EQ(kal::pageImprimantes(), QStringLiteral("http://imprimeur.local:8631/printers/"));
}

TEST(ReglagesImprimantes, RienPourLesOuvrir)
{
    CheminEssai chemin;
    EXPECT_EQ(kaltest::numeroErreur([] { kal::ouvrirreglagesimprimantes(); }), kal::err::FichierIntrouvable);
}

}  // namespace
