// The contact window: message mode through the system's sendmail to a real SMTP sink, update
// mode with the maker's page opened by xdg-open (a stand-in first on PATH notes its calls).
#include "banc.h"
#include "platform/base/fichiers.h"
#include "support/puitssmtp.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kal;
using kaltest::BancAide;
using kaltest::CheminEssai;
using kaltest::PuitsSmtp;

namespace {

Contact* ouvrir(BancAide& b)
{
    Fenetres::montrer(QStringLiteral("CONTACT"));
    return b.contact();
}

QStringList lignesAccueil(Contact* c) { return c->E_accueil.legende().split(QLatin1Char('\r')); }

// Types the text into the message box as the user would.
void taper(Contact* c, const QString& texte)
{
    c->T_message.zone()->setFocus();
    for (QChar ch : texte) {
        if (ch == QLatin1Char('\n'))
            QTest::keyClick(c->T_message.zone(), Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, c->T_message.zone(), Qt::Key_unknown, QString(ch), {});
    }
}

void modeMessageAttendu(Contact* c)
{
    EXPECT_TRUE(c->O_mail.valeur());
    EXPECT_FALSE(c->O_maj.valeur());
    EXPECT_EQ(c->B_envoi.legende(), QStringLiteral("ENVOYER"));
    EXPECT_TRUE(c->T_message.visible());
    EXPECT_EQ(c->E_accueil.hauteur(), 1200);
    const QStringList l = lignesAccueil(c);
    ASSERT_EQ(l.size(), 6);
    EXPECT_EQ(l[0], QStringLiteral("Vous avez découvert un bug."));
    EXPECT_EQ(l[1], QStringLiteral("Vous voulez une précision."));
    EXPECT_EQ(l[2], QStringLiteral("Vous souhaitez une amélioration."));
    EXPECT_EQ(l[3], QStringLiteral("      -Composer un message"));
    EXPECT_EQ(l[4], QStringLiteral("      -ENVOYER"));
    EXPECT_EQ(l[5], QStringLiteral("Ce message sera envoyé à:") + fabricant::Adresse);
}

}  // namespace

TEST(Contact, OuvreEnModeMessage)
{
    BancAide b;
    Contact* c = ouvrir(b);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->windowTitle(), QStringLiteral("CONTACT INTERNET"));
    EXPECT_EQ(c->gauche(), (1024 * 15 - c->largeur()) / 2);
    EXPECT_EQ(c->haut(), (768 * 15 - c->hauteur()) / 2);
    EXPECT_EQ(c->O_mail.bouton()->text(), QStringLiteral("Message"));
    EXPECT_EQ(c->O_maj.bouton()->text(), QStringLiteral("Mise à jour"));
    EXPECT_EQ(c->B_doc.legende(), QStringLiteral("DOC"));
    EXPECT_EQ(c->B_fin.legende(), QStringLiteral("QUITTER"));
    modeMessageAttendu(c);
    // The six lines fit their label.
    const QLabel* l = c->E_accueil.label();
    EXPECT_LE(l->sizeHint().height(), l->height());
    EXPECT_LE(l->sizeHint().width(), l->width());
    EXPECT_TRUE(b.repondeur.messages().empty());
}

TEST(Contact, MessageVideRefuse)
{
    BancAide b;
    CheminEssai chemin;
    const QString note = chemin.dossier() + QStringLiteral("/appels");
    chemin.script(QStringLiteral("sendmail"), "cat > '" + note.toLocal8Bit() + "'");
    Contact* c = ouvrir(b);
    QTemporaryDir ailleurs;
    fs::changerDossier(ailleurs.path());
    c->B_envoi.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].texte, QStringLiteral("Composer un message"));
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("PAS DE MESSAGE"));
    EXPECT_EQ(b.repondeur.messages()[0].style, msg::Exclamation);
    EXPECT_FALSE(QFile::exists(note));
    // The refusal does not go back to the start folder.
    EXPECT_EQ(fs::dossierCourant(), QDir(ailleurs.path()).canonicalPath());
}

TEST(Contact, MessageRemisAuFabricant)
{
    BancAide b;
    PuitsSmtp puits;
    ASSERT_TRUE(puits.pret()) << puits.erreur().toStdString();
    CheminEssai chemin;
    puits.installerSendmail(chemin);
    Contact* c = ouvrir(b);

    const QString texte = QStringLiteral("Bonjour,\nla découpe ne garde pas l'été.\n.\nÀ bientôt");
    taper(c, texte);
    ASSERT_EQ(c->T_message.texte(), QString(texte).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    QTemporaryDir ailleurs;
    fs::changerDossier(ailleurs.path());
    c->B_envoi.cliquer();
    EXPECT_TRUE(b.repondeur.messages().empty());
    ASSERT_TRUE(puits.attendre(1));
    auto recus = puits.recus();
    ASSERT_EQ(recus.size(), 1u);
    EXPECT_EQ(recus[0].destinataires, QStringList{fabricant::Adresse});
    EXPECT_EQ(recus[0].entete("To"), (fabricant::Nom + QStringLiteral(" <") + fabricant::Adresse + QStringLiteral(">")).toUtf8());
    EXPECT_EQ(recus[0].entete("Subject"), "Kalmorin");
    EXPECT_EQ(recus[0].corps(), QString(texte).replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toUtf8() + "\r\n");
    // Back in the start folder; the text stays in its box.
    EXPECT_EQ(fs::dossierCourant(), b.partage.repdepart);
    EXPECT_EQ(c->T_message.texte(), QString(texte).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));

    // A message of blanks is a message.
    c->T_message.definirTexte(QStringLiteral("   "));
    c->B_envoi.cliquer();
    ASSERT_TRUE(puits.attendre(2));
    recus = puits.recus();
    ASSERT_EQ(recus.size(), 2u);
    EXPECT_EQ(recus[1].corps(), "   \r\n");
    EXPECT_TRUE(b.repondeur.messages().empty());
}

TEST(Contact, MessageQuiNePartPas)
{
    BancAide b;
    CheminEssai chemin;
    chemin.script(QStringLiteral("sendmail"), "cat > /dev/null\necho 'sendmail: account default not found' >&2\nexit 78");
    Contact* c = ouvrir(b);
    c->T_message.definirTexte(QStringLiteral("Un message"));
    QTemporaryDir ailleurs;
    fs::changerDossier(ailleurs.path());
    c->B_envoi.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    const MessageAffiche& m = b.repondeur.messages()[0];
    EXPECT_EQ(m.style, msg::Exclamation);
    EXPECT_EQ(m.titre, QStringLiteral("MESSAGE NON ENVOYE"));
    EXPECT_TRUE(m.lignes().contains(QStringLiteral("sendmail: account default not found"))) << m.texte.toStdString();
    EXPECT_EQ(c->T_message.texte(), QStringLiteral("Un message"));
    EXPECT_EQ(fs::dossierCourant(), b.partage.repdepart);
    EXPECT_EQ(Ecran::pointeurCourant(), pointeur::Defaut);
}

TEST(Contact, MiseAJourEtPageDuFabricant)
{
    BancAide b;
    CheminEssai chemin;
    const QString note = chemin.dossier() + QStringLiteral("/appels");
    chemin.script(QStringLiteral("xdg-open"), "printf '%s\\n' \"$@\" >> '" + note.toLocal8Bit() + "'");
    Contact* c = ouvrir(b);
    c->O_maj.bouton()->click();
    EXPECT_TRUE(b.repondeur.messages().empty());
    EXPECT_EQ(c->B_envoi.legende(), QStringLiteral("CONNECTER"));
    EXPECT_FALSE(c->T_message.visible());
    EXPECT_EQ(c->E_accueil.hauteur(), 4800);

    const QStringList lignes = c->texteMiseAJour().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lignes.size(), 18);
    EXPECT_EQ(lignes[0], QStringLiteral("Votre logiciel est la version 42 de KALMORIN."));
    EXPECT_EQ(lignes[1], QStringLiteral("Pour vérifier si il existe une version plus récente,"));
    EXPECT_TRUE(lignes[2].contains(QStringLiteral("CONNECTER")));
    EXPECT_EQ(lignes[3], QStringLiteral("Si une version plus récente existe:"));
    EXPECT_EQ(lignes[4], QStringLiteral("      -Télécharger KALMORIN.ZIP"));
    EXPECT_TRUE(lignes[9].contains(b.partage.repdepart.section(QLatin1Char('/'), -1))) << lignes[9].toStdString();
    EXPECT_EQ(lignes[10], QStringLiteral("       vos pages perso seraient supprimées."));
    EXPECT_EQ(lignes[13], QStringLiteral("      -La dernière version sera installée."));
    EXPECT_EQ(lignes[14], QString(70, QLatin1Char('-')));
    EXPECT_EQ(lignes[17], QStringLiteral("Dans la page KALMORIN,cliquer sur Page d'accueil"));
    for (const QString& l : lignes)
        for (const char* windows : {"c:\\", "C:\\", "setup.exe", "Panneau de configuration", "Ajout/Suppression", "program files"})
            EXPECT_FALSE(l.contains(QString::fromLatin1(windows))) << l.toStdString();
    // The label shows one line per line of the text, all of them inside it.
    EXPECT_EQ(lignesAccueil(c), lignes);
    EXPECT_LE(c->E_accueil.label()->sizeHint().height(), c->E_accueil.label()->height());
    EXPECT_LE(c->E_accueil.label()->sizeHint().width(), c->E_accueil.label()->width());

    QTemporaryDir ailleurs;
    fs::changerDossier(ailleurs.path());
    c->B_envoi.cliquer();
    ASSERT_TRUE(kaltest::attendreFichier(note));
    QTest::qWait(200);
    QFile f(note);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), fabricant::PageWeb + QStringLiteral("\n"));
    EXPECT_EQ(fs::dossierCourant(), b.partage.repdepart);
    EXPECT_TRUE(b.repondeur.messages().empty()) << b.repondeur.messages()[0].texte.toStdString();

    // Back to the message mode.
    c->O_mail.bouton()->click();
    modeMessageAttendu(c);
}

TEST(Contact, SansXdgOpenResteEnModeMessage)
{
    BancAide b;
    Contact* c = ouvrir(b);
    CheminEssai seul(true);
    c->O_maj.bouton()->click();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    const MessageAffiche& m = b.repondeur.messages()[0];
    EXPECT_EQ(m.titre, QStringLiteral("FICHIER XDG-OPEN"));
    EXPECT_EQ(m.style, msg::Exclamation);
    const QStringList l = m.lignes();
    ASSERT_EQ(l.size(), 4);
    EXPECT_EQ(l[0], QStringLiteral("Fonction non supportée car le fichier xdg-open n'a pas été trouvé."));
    EXPECT_TRUE(l[1].contains(QStringLiteral("xdg-open")));
    EXPECT_EQ(l[2], QStringLiteral("  -Ou connectez vous sur ") + fabricant::PageWeb);
    EXPECT_EQ(l[3], QStringLiteral("    par votre connexion Internet habituelle."));
    modeMessageAttendu(c);
}

TEST(Contact, PageQuiNeSOuvrePas)
{
    BancAide b;
    Contact* c = ouvrir(b);
    {
        CheminEssai chemin;
        chemin.script(QStringLiteral("xdg-open"), "exit 0");
        c->O_maj.bouton()->click();
        ASSERT_EQ(c->B_envoi.legende(), QStringLiteral("CONNECTER"));
    }
    // xdg-open went away meanwhile.
    CheminEssai seul(true);
    QTemporaryDir ailleurs;
    fs::changerDossier(ailleurs.path());
    c->B_envoi.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("CONNEXION IMPOSSIBLE"));
    EXPECT_EQ(b.repondeur.messages()[0].style, msg::Exclamation);
    EXPECT_TRUE(b.repondeur.messages()[0].texte.contains(fabricant::PageWeb));
    EXPECT_EQ(fs::dossierCourant(), b.partage.repdepart);
}

TEST(Contact, DocSansChangerLaRubriqueEtQuitter)
{
    BancAide b;
    b.installerManuel();
    b.partage.rubriquedoc = QStringLiteral("jaquette");
    Contact* c = ouvrir(b);
    c->B_doc.cliquer();
    Documentation* d = b.doc();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(b.partage.rubriquedoc, QStringLiteral("jaquette"));
    EXPECT_TRUE(kaltest::ligneDuHaut(d).startsWith(QStringLiteral("11. ")));
    c->B_fin.cliquer();
    EXPECT_FALSE(Fenetres::chargee(QStringLiteral("CONTACT")));
    EXPECT_TRUE(Fenetres::chargee(QStringLiteral("DOC")));
    // Every load starts in message mode.
    c = ouvrir(b);
    modeMessageAttendu(c);
}
