// Mail: the message as handed to sendmail, and its delivery through the system's sendmail to
// a real SMTP sink on 127.0.0.1.
#include "platform/base/erreur.h"
#include "platform/mail/courrier.h"
#include "support/puitssmtp.h"
#include "support/erreurs.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace kal;
using kaltest::CheminEssai;
using kaltest::PuitsSmtp;

namespace {

courrier::Message message(const QString& texte)
{
    return {QStringLiteral("VORDEX"), QStringLiteral("kalmorin@vordex.example"), QStringLiteral("Kalmorin"), texte};
}

const QByteArray EntetesFixes = "To: VORDEX <kalmorin@vordex.example>\r\n"
                                "Subject: Kalmorin\r\n"
                                "MIME-Version: 1.0\r\n"
                                "Content-Type: text/plain; charset=UTF-8\r\n"
                                "Content-Transfer-Encoding: 8bit\r\n"
                                "\r\n";

QByteArray decoderQP(const QByteArray& qp)
{
    QByteArray r;
    for (qsizetype i = 0; i < qp.size(); ++i) {
        if (qp[i] == '=' && qp.mid(i + 1, 2) == "\r\n")
            i += 2;
        else if (qp[i] == '=') {
            r += static_cast<char>(qp.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else
            r += qp[i];
    }
    return r;
}

}  // namespace

TEST(Courrier, EntetesFixesPuisLeCorpsEnLignesCRLF)
{
    // Whatever the typed line breaks, the body goes in CR LF lines after the one blank line,
    // and what looks like a header in the text stays text.
    const QByteArray m = courrier::composer(message(QStringLiteral("Bonjour\nTo: autre@ailleurs\r\n\r\nBcc: x@y\r.\nÉté")));
    EXPECT_EQ(m, EntetesFixes + "Bonjour\r\nTo: autre@ailleurs\r\n\r\nBcc: x@y\r\n.\r\n" + QStringLiteral("Été").toUtf8() + "\r\n");

    // A text that ends its last line is not given an empty one more.
    EXPECT_EQ(courrier::composer(message(QStringLiteral("une ligne\r\n"))), EntetesFixes + "une ligne\r\n");
    EXPECT_EQ(courrier::composer(message(QStringLiteral("   "))), EntetesFixes + "   \r\n");
}

TEST(Courrier, EntetesSansSautDeLigneEtEncodes)
{
    courrier::Message m = message(QStringLiteral("x"));
    m.sujet = QStringLiteral("Kalmorin\r\nBcc: pirate@ailleurs");
    m.nomDestinataire = QStringLiteral("Dupont, Jean");
    QByteArray r = courrier::composer(m);
    EXPECT_TRUE(r.startsWith("To: \"Dupont, Jean\" <kalmorin@vordex.example>\r\nSubject: KalmorinBcc: pirate@ailleurs\r\n"))
        << r.constData();

    m.nomDestinataire = QStringLiteral("Société Vordex");
    m.sujet = QStringLiteral("Mise à jour");
    r = courrier::composer(m);
    EXPECT_TRUE(r.startsWith("To: =?UTF-8?B?" + QStringLiteral("Société Vordex").toUtf8().toBase64()
                             + "?= <kalmorin@vordex.example>\r\nSubject: =?UTF-8?B?"
                             + QStringLiteral("Mise à jour").toUtf8().toBase64() + "?=\r\n"))
        << r.constData();
}

TEST(Courrier, LigneTropLonguePourLeCourrierEnQuotedPrintable)
{
    const QString longue = QString(700, QChar(0xE9)) + QStringLiteral(" = fin ");   // 1400 octets and more
    const QByteArray m = courrier::composer(message(longue + QStringLiteral("\ncourte")));
    const qsizetype i = m.indexOf("\r\n\r\n");
    ASSERT_GT(i, 0);
    EXPECT_TRUE(m.left(i).contains("Content-Transfer-Encoding: quoted-printable"));
    const QByteArray corps = m.mid(i + 4);
    for (const QByteArray& l : corps.split('\n'))
        EXPECT_LE(l.size(), 77) << l.constData();
    EXPECT_EQ(decoderQP(corps), (longue + QStringLiteral("\r\ncourte\r\n")).toUtf8());
}

TEST(Courrier, RemisAuPuitsParLeSendmailDuSysteme)
{
    PuitsSmtp puits;
    ASSERT_TRUE(puits.pret()) << puits.erreur().toStdString();
    CheminEssai chemin;
    puits.installerSendmail(chemin);
    ASSERT_EQ(courrier::programmeCourrier(), chemin.dossier() + QStringLiteral("/sendmail"));

    // A lone ".", a line that starts with one, "From " at a line start, accents and blanks.
    const QString texte = QStringLiteral("Bonjour,\r\n.\r\n..deux points\r\nFrom the start\r\nÉté à Noël — 10 €\r\n   \r\nfin");
    courrier::envoyer(message(texte));
    ASSERT_TRUE(puits.attendre(1));
    const auto recus = puits.recus();
    ASSERT_EQ(recus.size(), 1u);
    EXPECT_EQ(recus[0].destinataires, QStringList{QStringLiteral("kalmorin@vordex.example")});
    EXPECT_EQ(recus[0].entete("To"), "VORDEX <kalmorin@vordex.example>");
    EXPECT_EQ(recus[0].entete("Subject"), "Kalmorin");
    EXPECT_EQ(recus[0].corps(), texte.toUtf8() + "\r\n");
    EXPECT_FALSE(recus[0].entetes().contains("Bonjour"));
    EXPECT_EQ(puits.argumentsSendmail(), (QStringList{QStringLiteral("-t"), QStringLiteral("-oi")}));
}

TEST(Courrier, LigneLongueRemiseEntiere)
{
    PuitsSmtp puits;
    ASSERT_TRUE(puits.pret()) << puits.erreur().toStdString();
    CheminEssai chemin;
    puits.installerSendmail(chemin);
    const QString longue = QString(3000, QLatin1Char('a')) + QStringLiteral(" é");
    courrier::envoyer(message(longue));
    ASSERT_TRUE(puits.attendre(1));
    const auto recus = puits.recus();
    ASSERT_EQ(recus.size(), 1u);
    EXPECT_EQ(recus[0].entete("Content-Transfer-Encoding"), "quoted-printable");
    for (const QByteArray& l : recus[0].contenu.split('\n'))
        EXPECT_LE(l.size(), 999);
    EXPECT_EQ(decoderQP(recus[0].corps()), longue.toUtf8() + "\r\n");
}

TEST(Courrier, EchecsSignalesAvecLeurCause)
{
    const auto m = message(QStringLiteral("x"));
    // No program.
    EXPECT_EQ(kaltest::numeroErreur([&] { courrier::envoyer(m, QStringLiteral("/inexistant/sendmail")); }),
              courrier::err::SystemeAbsent);

    // A program that refuses, saying why.
    CheminEssai chemin;
    const QString refus = chemin.script(QStringLiteral("refus"), "cat > /dev/null\necho 'sendmail: panne simulee' >&2\nexit 75");
    try {
        courrier::envoyer(m, refus);
        ADD_FAILURE() << "pas d'erreur";
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero(), courrier::err::EnvoiEchoue);
        EXPECT_EQ(e.description(), QStringLiteral("sendmail: panne simulee"));
    }

    // A program that never answers is stopped.
    const QString muet = chemin.script(QStringLiteral("muet"), "exec sleep 30");
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(kaltest::numeroErreur([&] { courrier::envoyer(m, muet, 300); }), courrier::err::EnvoiEchoue);
    EXPECT_LT(t.elapsed(), 5000);

    // The system's sendmail with no server to talk to.
    const QString conf = chemin.dossier() + QStringLiteral("/conf");
    {
        PuitsSmtp arrete;   // its port, once it is gone, has no listener
        ASSERT_TRUE(arrete.pret()) << arrete.erreur().toStdString();
        QFile::copy(arrete.configMsmtp(), conf);
    }
    const QString sansServeur = chemin.script(QStringLiteral("sansserveur"), "exec /usr/sbin/sendmail -C '" + conf.toLocal8Bit() + "' \"$@\"");
    EXPECT_EQ(kaltest::numeroErreur([&] { courrier::envoyer(m, sansServeur); }), courrier::err::EnvoiEchoue);
}

TEST(Courrier, ProgrammeCherche)
{
    {
        CheminEssai seul(true);
        // Off PATH, the usual place of the system's sendmail.
        EXPECT_EQ(courrier::programmeCourrier(), QStringLiteral("/usr/sbin/sendmail"));
        seul.script(QStringLiteral("sendmail"), "exit 0");
        EXPECT_EQ(courrier::programmeCourrier(), seul.dossier() + QStringLiteral("/sendmail"));
    }
}
