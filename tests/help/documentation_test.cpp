// The documentation viewer: its window, the section it opens at, the chapter search,
// cross-references and return, on the shipped manual and on small made-up manuals.
#include "banc.h"

#include <QDir>
#include <QRegularExpression>
#include <QTextDocument>
#include <QWindow>
#include <gtest/gtest.h>

using namespace kal;
using kaltest::BancAide;

namespace {

// A made-up manual, one paragraph a line: "_..." is a heading line underlined whole with its
// paragraph mark; "{r}" and "{/r}" open and close light red text.
QByteArray manuel(std::initializer_list<QString> lignes)
{
    QByteArray r = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}\\f0\\fs20 ";
    for (QString l : lignes) {
        if (l.startsWith(QLatin1Char('_')))
            r += "\\ul " + l.mid(1).toLatin1() + "\\par\\ulnone ";
        else
            r += l.replace(QStringLiteral("{r}"), QStringLiteral("\\cf1 ")).replace(QStringLiteral("{/r}"), QStringLiteral("\\cf0 ")).toLatin1()
                 + "\\par ";
    }
    return r + "}";
}

using kaltest::surTitre;

int position(Documentation* d, const QString& morceau, int apres = 0)
{
    return static_cast<int>(d->T_doc.contenutexte().indexOf(morceau, apres));
}

}  // namespace

TEST(Documentation, FenetreEtRangeeDeBoutons)
{
    for (auto [l, h] : {std::pair{1024, 768}, {800, 600}}) {
        BancAide b(l, h);
        b.installerManuel();
        Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), QStringLiteral("DOCUMENTATION"));
        EXPECT_EQ(d->gauche(), 0);
        EXPECT_EQ(d->haut(), 0);
        EXPECT_EQ(d->hauteur(), h * 15 - 900);
        const int haut = d->hauteur() - 390 - 390;
        int gauche = 0;
        const std::pair<Bouton*, const char*> boutons[] = {
            {&d->B_debut, "DEBUT"}, {&d->B_sommaire, "SOMMAIRE"}, {&d->B_retour, "RETOUR"}, {&d->B_fin, "QUITTER"}};
        for (auto [bouton, legende] : boutons) {
            EXPECT_EQ(bouton->legende(), QString::fromLatin1(legende));
            EXPECT_EQ(bouton->largeur(), 2715);
            EXPECT_EQ(bouton->hauteur(), 390);
            EXPECT_EQ(bouton->gauche(), gauche);
            EXPECT_EQ(bouton->haut(), haut);
            // The caption fits its button.
            EXPECT_LT(bouton->bouton()->fontMetrics().horizontalAdvance(bouton->legende()), bouton->bouton()->width() - 8);
            gauche += 2715;
        }
        EXPECT_FALSE(d->B_retour.actif());
        EXPECT_TRUE(d->B_debut.actif() && d->B_sommaire.actif() && d->B_fin.actif());
        EXPECT_EQ(d->T_doc.gauche(), 0);
        EXPECT_EQ(d->T_doc.haut(), 0);
        EXPECT_EQ(d->T_doc.largeur(), 4 * 2715);
        EXPECT_EQ(d->T_doc.hauteur(), d->B_fin.haut());
        EXPECT_EQ(d->largeurClient(), 4 * 2715);
    }
    // Taller title bars move the row up by as much.
    BancAide b;
    b.partage.hauteurtitre = 60;
    b.installerManuel();
    Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));
    EXPECT_EQ(d->B_debut.haut(), d->hauteur() - 780 - 60);
}

TEST(Documentation, OuvreALaRubriqueDeLaFenetreAppelante)
{
    BancAide b;
    b.installerManuel();
    struct Cas {
        const char* rubrique;
        const char* titre;
    };
    for (const Cas& c : {Cas{"jaquette", "11."}, Cas{"util", "13."}}) {
        Documentation* d = b.ouvrirDoc(QString::fromLatin1(c.rubrique));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QString::fromLatin1(c.titre))) << c.rubrique;
        EXPECT_EQ(d->T_doc.selectionlongueur(), 0);
        EXPECT_TRUE(d->T_doc.visible());
        EXPECT_TRUE(kaltest::ligneDuHaut(d).startsWith(QString::fromLatin1(c.titre) + QLatin1Char(' '))) << kaltest::ligneDuHaut(d).toStdString();
        d->B_fin.cliquer();
        EXPECT_FALSE(Fenetres::chargee(QStringLiteral("DOC")));
    }
    for (const char* rubrique : {"normal", "", "autre"}) {
        Documentation* d = b.ouvrirDoc(QString::fromLatin1(rubrique));
        EXPECT_EQ(d->T_doc.selectiondebut(), 0) << rubrique;
        EXPECT_EQ(kaltest::ligneDuHaut(d), QStringLiteral("KALMORIN")) << rubrique;
        d->B_fin.cliquer();
    }
    EXPECT_TRUE(b.repondeur.messages().empty());
}

TEST(Documentation, ChaqueRetourDUneAutreFenetreRevientALaRubrique)
{
    BancAide b;
    b.installerManuel();
    Documentation* d = b.ouvrirDoc(QStringLiteral("jaquette"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    d->B_debut.cliquer();
    ASSERT_EQ(kaltest::ligneDuHaut(d), QStringLiteral("KALMORIN"));

    // Another window of the program, then back: the manual is read again at its section.
    Fenetre autre(QStringLiteral("AUTRE"));
    autre.show();
    autre.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&autre));
    Fenetres::montrer(QStringLiteral("DOC"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("11.")));
    EXPECT_TRUE(kaltest::ligneDuHaut(d).startsWith(QStringLiteral("11. ")));

    // A window that is not one of the program's (a message box, say) changes nothing.
    d->B_debut.cliquer();
    QWidget boite;
    boite.show();
    boite.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&boite));
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    EXPECT_EQ(d->T_doc.selectiondebut(), 0);
    EXPECT_EQ(kaltest::ligneDuHaut(d), QStringLiteral("KALMORIN"));
}

TEST(Documentation, DebutSommaireRenvoisEtRetourSurLeManuelLivre)
{
    BancAide b;
    b.installerManuel();
    Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));

    d->B_sommaire.cliquer();
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("SOMMAIRE")));
    EXPECT_EQ(kaltest::ligneDuHaut(d), QStringLiteral("SOMMAIRE"));

    // A reference in the summary: its chapter, and no return point.
    const int dansSommaire = position(d, QStringLiteral("6.2. La qualit"));
    kaltest::cliquerAvant(d, dansSommaire + 8);
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("6.2.")));
    EXPECT_TRUE(kaltest::ligneDuHaut(d).startsWith(QStringLiteral("6.2. ")));
    EXPECT_FALSE(d->B_retour.actif());

    // A reference inside chapter 4.5. leads to 5.4.; RETOUR comes back to 4.5. once.
    const int chapitre = surTitre(d, QStringLiteral("4.5."));
    const int renvoi = position(d, QStringLiteral("5.4. La d"), chapitre);
    ASSERT_GT(renvoi, chapitre);
    kaltest::cliquerAvant(d, renvoi + 2);
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("5.4.")));
    EXPECT_TRUE(d->B_retour.actif());
    EXPECT_EQ(d->rubriqueretour, QStringLiteral("4.5."));
    d->B_retour.cliquer();
    EXPECT_EQ(d->T_doc.selectiondebut(), chapitre);
    EXPECT_TRUE(kaltest::ligneDuHaut(d).startsWith(QStringLiteral("4.5. ")));
    EXPECT_FALSE(d->B_retour.actif());

    // Black text does nothing: the caret stays where the click put it.
    const int noir = position(d, QStringLiteral("Sur la page d'aper"), chapitre);
    kaltest::cliquerAvant(d, noir + 5);
    EXPECT_EQ(d->T_doc.selectiondebut(), noir + 5);
    EXPECT_FALSE(d->B_retour.actif());

    d->B_debut.cliquer();
    EXPECT_EQ(d->T_doc.selectiondebut(), 0);
    EXPECT_EQ(kaltest::ligneDuHaut(d), QStringLiteral("KALMORIN"));
    EXPECT_TRUE(b.repondeur.messages().empty());
}

TEST(Documentation, ChaqueRenvoiDuManuelLivreMeneASonTitre)
{
    BancAide b;
    b.installerManuel();
    Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));
    const QString texte = d->T_doc.contenutexte();
    const int premierTitre = surTitre(d, QStringLiteral("1."));

    // The red runs, read through the box itself.
    std::vector<std::pair<int, int>> rouges;
    for (int i = 0; i < texte.size(); ++i) {
        d->T_doc.definirSelectiondebut(i);
        d->T_doc.definirSelectionlongueur(1);
        const bool rouge = d->T_doc.selcouleur() == Documentation::RougeClair && texte[i] != QLatin1Char('\r') && texte[i] != QLatin1Char('\n');
        if (rouge && (rouges.empty() || rouges.back().second != i))
            rouges.push_back({i, i + 1});
        else if (rouge)
            rouges.back().second = i + 1;
    }
    ASSERT_GT(rouges.size(), 60u);

    const QRegularExpression numero(QStringLiteral("^((?:\\d+\\.)+) "));
    // Where each heading stands, found once.
    std::map<QString, int> titres;
    for (auto [debut, fin] : rouges) {
        const QString num = numero.match(texte.mid(debut, fin - debut)).captured(1);
        if (!num.isEmpty() && !titres.count(num))
            titres[num] = surTitre(d, num);
    }
    for (auto [debut, fin] : rouges) {
        const QString run = texte.mid(debut, fin - debut);
        const QString num = numero.match(run).captured(1);
        ASSERT_FALSE(num.isEmpty()) << run.toStdString();
        // The chapter the reference stands in: the nearest heading above it.
        QString chapitre;
        if (debut > premierTitre) {
            int p = debut;
            for (;;) {
                p = static_cast<int>(texte.lastIndexOf(QStringLiteral("\r\n"), p - 1));
                const QString ligne = texte.mid(p + 2, texte.indexOf(QStringLiteral("\r\n"), p + 2) - p - 2);
                const QString n = numero.match(ligne).captured(1);
                if (!n.isEmpty() && titres.count(n) && titres[n] == p + 3) {
                    chapitre = n;
                    break;
                }
            }
        }
        for (int clic : {debut + 1, fin}) {
            d->B_retour.definirActif(false);
            kaltest::cliquerAvant(d, clic);
            ASSERT_EQ(d->T_doc.selectiondebut(), titres[num]) << run.toStdString() << " clic " << clic - debut;
            ASSERT_TRUE(d->T_doc.visible());
            if (chapitre.isEmpty()) {
                EXPECT_FALSE(d->B_retour.actif()) << run.toStdString();
            } else {
                ASSERT_TRUE(d->B_retour.actif()) << run.toStdString();
                EXPECT_EQ(d->rubriqueretour, chapitre) << run.toStdString();
            }
        }
        if (!chapitre.isEmpty()) {
            d->B_retour.cliquer();
            EXPECT_EQ(d->T_doc.selectiondebut(), titres[chapitre]);
        }
    }
}

TEST(Documentation, TitreCacheDansUnNumeroPlusLong)
{
    BancAide b;
    b.ecrireManuel(manuel({QStringLiteral("Essai"), QStringLiteral("_SOMMAIRE"), QStringLiteral("{r}1. Premier chapitre{/r}"),
                           QStringLiteral("_2.1. Partie deux un"), QStringLiteral("version 1. non soulignee"),
                           QStringLiteral("_1. Premier chapitre"), QStringLiteral("texte")}));
    Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));
    // The summary entry is not underlined, the 1. of 2.1. follows a full stop, the third is plain.
    d->rechrubrique(QStringLiteral("1."));
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("1.")));
    EXPECT_GT(d->T_doc.selectiondebut(), position(d, QStringLiteral("2.1.")));
    EXPECT_TRUE(d->T_doc.visible());
    // The heading 2.1. itself is found.
    d->rechrubrique(QStringLiteral("2.1."));
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("2.1.")));
}

TEST(Documentation, CentEssaisAuPlus)
{
    for (int faux : {99, 100}) {
        BancAide b;
        QStringList lignes = {QStringLiteral("Essai"), QStringLiteral("_SOMMAIRE")};
        for (int i = 0; i < faux; ++i)
            lignes << QStringLiteral("cite 5. ici");
        lignes << QStringLiteral("_5. Cinquieme chapitre") << QStringLiteral("fin");
        QByteArray rtf = "{\\rtf1\\ansi\\f0 ";
        for (const QString& l : lignes)
            rtf += l.startsWith(QLatin1Char('_')) ? "\\ul " + l.mid(1).toLatin1() + "\\par\\ulnone " : l.toLatin1() + "\\par ";
        b.ecrireManuel(rtf + "}");
        Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));
        d->rechrubrique(QStringLiteral("5."));
        EXPECT_EQ(d->T_doc.selectiondebut(), faux < 100 ? surTitre(d, QStringLiteral("5.")) : 0) << faux;
        EXPECT_EQ(d->T_doc.selectionlongueur(), 0);
        EXPECT_TRUE(d->T_doc.visible());
    }
}

TEST(Documentation, RenvoiAvantSonNumeroEtRenvoiSansTitre)
{
    BancAide b;
    b.ecrireManuel(manuel({QStringLiteral("Essai {r}voir{/r} plus loin"), QStringLiteral("_SOMMAIRE"),
                           QStringLiteral("{r}1. Premier chapitre{/r}"), QStringLiteral("_1. Premier chapitre"),
                           QStringLiteral("lire {r}9. Chapitre absent{/r} ou rien"), QStringLiteral("_2. Deuxieme chapitre"),
                           QStringLiteral("{r}voir le 3. Troisieme chapitre{/r} ici"), QStringLiteral("_3. Troisieme chapitre"),
                           QStringLiteral("fin {r}4.{/r}")}));
    Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));

    // Red text before its number reads the number before it: the heading 2. it stands under.
    const int voir = position(d, QStringLiteral("voir le 3."));
    kaltest::cliquerAvant(d, voir + 2);
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("2.")));
    // Its number leads to 3.
    kaltest::cliquerAvant(d, voir + 9);
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("3.")));
    EXPECT_EQ(d->rubriqueretour, QStringLiteral("2."));

    // A heading that does not exist: the return point is taken, the search gives up.
    kaltest::cliquerAvant(d, position(d, QStringLiteral("9. Chapitre")) + 3);
    EXPECT_EQ(d->T_doc.selectiondebut(), 0);
    EXPECT_EQ(d->T_doc.selectionlongueur(), 0);
    EXPECT_TRUE(d->T_doc.visible());
    EXPECT_EQ(d->rubriqueretour, QStringLiteral("1."));
    d->B_retour.cliquer();
    EXPECT_EQ(d->T_doc.selectiondebut(), surTitre(d, QStringLiteral("1.")));

    // Red text with no number before it, a number with no blank after it: the walks stop at
    // the ends of the text like a search that gives up.
    for (int clic : {position(d, QStringLiteral("voir plus")) + 2, position(d, QStringLiteral("fin 4.")) + 5}) {
        d->B_retour.definirActif(false);
        kaltest::cliquerAvant(d, clic);
        EXPECT_EQ(d->T_doc.selectiondebut(), 0) << clic;
        EXPECT_TRUE(d->T_doc.visible());
        EXPECT_FALSE(d->B_retour.actif());
    }
    // Searches for nothing, or past the text, give up the same way.
    for (const char* r : {"", "7.", "fin 4."}) {
        d->rechrubrique(QString::fromLatin1(r));
        EXPECT_EQ(d->T_doc.selectiondebut(), 0) << r;
        EXPECT_TRUE(d->T_doc.visible());
    }
    EXPECT_TRUE(b.repondeur.messages().empty());
}

TEST(Documentation, ManuelAbsentOuIllisible)
{
    BancAide b;
    Documentation* d = b.ouvrirDoc(QStringLiteral("jaquette"));
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->T_doc.contenutexte().isEmpty());
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("MANUEL ABSENT"));
    EXPECT_EQ(b.repondeur.messages()[0].style, msg::Exclamation);
    EXPECT_TRUE(b.repondeur.messages()[0].texte.contains(QStringLiteral("kalmorin.rtf")));
    // The buttons work on the empty box.
    d->B_sommaire.cliquer();
    d->B_debut.cliquer();
    EXPECT_EQ(d->T_doc.selectiondebut(), 0);
    d->B_fin.cliquer();

    // Not RTF, or not a file at all.
    b.ecrireManuel("ceci n'est pas un manuel");
    b.repondeur.oublier();
    d = b.ouvrirDoc(QStringLiteral("normal"));
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("MANUEL ILLISIBLE"));
    d->B_fin.cliquer();

    // A manual that goes away between two activations leaves the box empty.
    b.installerManuel();
    b.repondeur.oublier();
    d = b.ouvrirDoc(QStringLiteral("normal"));
    EXPECT_FALSE(d->T_doc.contenutexte().isEmpty());
    QFile::remove(b.dossier.fichier(QStringLiteral("kalmorin.rtf")));
    d->activation();
    EXPECT_TRUE(d->T_doc.contenutexte().isEmpty());
    EXPECT_EQ(b.repondeur.messages().size(), 1u);
}

TEST(Documentation, LePointDeRetourDureJusquaLaFermeture)
{
    BancAide b;
    b.installerManuel();
    Documentation* d = b.ouvrirDoc(QStringLiteral("normal"));
    const int renvoi = position(d, QStringLiteral("5.4. La d"), surTitre(d, QStringLiteral("4.5.")));
    kaltest::cliquerAvant(d, renvoi + 2);
    ASSERT_TRUE(d->B_retour.actif());
    // A new activation reads the manual again but keeps the return point.
    d->activation();
    EXPECT_TRUE(d->B_retour.actif());
    EXPECT_EQ(d->rubriqueretour, QStringLiteral("4.5."));
    d->B_fin.cliquer();
    d = b.ouvrirDoc(QStringLiteral("normal"));
    EXPECT_FALSE(d->B_retour.actif());
    EXPECT_TRUE(d->rubriqueretour.isEmpty());
}
