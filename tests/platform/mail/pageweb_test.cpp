// Web page: the address handed to xdg-open as found on PATH.
#include "platform/base/erreur.h"
#include "platform/mail/pageweb.h"
#include "support/puitssmtp.h"
#include "support/erreurs.h"

#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace kal;
using kaltest::CheminEssai;

TEST(PageWeb, AdresseDonneeAXdgOpen)
{
    CheminEssai chemin;
    const QString note = chemin.dossier() + QStringLiteral("/appels");
    chemin.script(QStringLiteral("xdg-open"), "printf '%s\\n' \"$#\" \"$@\" >> '" + note.toLocal8Bit() + "'");
    ASSERT_EQ(web::programmeOuverture(), chemin.dossier() + QStringLiteral("/xdg-open"));

    const QString adresse = QStringLiteral("https://www.vordex.example/kalmorin?a=1&b=deux mots");
    web::ouvrirpageweb(adresse);
    ASSERT_TRUE(kaltest::attendreFichier(note));
    QThread::msleep(100);
    QFile f(note);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), QStringLiteral("1\n") + adresse + QStringLiteral("\n"));
}

TEST(PageWeb, SansXdgOpen)
{
    CheminEssai seul(true);
    EXPECT_TRUE(web::programmeOuverture().isEmpty());
    EXPECT_EQ(kaltest::numeroErreur([] { web::ouvrirpageweb(QStringLiteral("https://www.vordex.example/")); }),
              err::FichierIntrouvable);
}
