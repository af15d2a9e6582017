// The start window: screen checks with their messages, the identification file, the function list.
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/base/panne.h"
#include "platform/richtext/police.h"
#include "shell/application.h"
#include "shell/depart.h"
#include "support/autreprogramme.h"
#include "support/dossiertemp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <csignal>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kal;

namespace {

struct Demarrage {
    kaltest::DossierTravail dossier;
    RepondeurEnregistreur repondeur;
    ReglagesPartages partage;
    bool demarre = false;

    // `avant` prepares the work folder before the program starts.
    Demarrage(int l, int h, int tpp = 15, const std::function<void(const QString&)>& avant = {})
    {
        if (avant)
            avant(dossier.chemin());
        Programme::reinitialiser();
        Fenetres::reinitialiser();
        Ecran::simuler({l, h, tpp, tpp});
        Ecran::simulerBordsTitre(375);
        OptionsProgramme opt;
        opt.ancienDossier = dossier.fichier(QStringLiteral("ancien-inexistant"));
        demarre = demarrerProgramme(partage, opt);
    }
    ~Demarrage()
    {
        Fenetres::reinitialiser();
        Programme::reinitialiser();
        Ecran::reel();
    }
    Depart* depart() const { return static_cast<Depart*>(Fenetres::siChargee(QStringLiteral("DEPART"))); }
};

const QString LigneMesure = QStringLiteral("Configuration trouvée:");

}  // namespace

TEST(Depart, EcransAdmisComme800x600)
{
    for (auto [l, h] : {std::pair{798, 599}, {800, 600}, {802, 601}}) {
        Demarrage d(l, h);
        ASSERT_TRUE(d.demarre) << l << "x" << h;
        EXPECT_EQ(d.partage.largeurecranpx, 800);
        EXPECT_EQ(d.partage.hauteurecranpx, 600);
    }
}

TEST(Depart, GrandsEcransAdmisTelsQueMesures)
{
    for (auto [l, h] : {std::pair{1021, 766}, {1024, 768}, {1920, 1080}}) {
        Demarrage d(l, h);
        ASSERT_TRUE(d.demarre) << l << "x" << h;
        EXPECT_EQ(d.partage.largeurecranpx, l);
        EXPECT_EQ(d.partage.hauteurecranpx, h);
        EXPECT_TRUE(d.repondeur.messages().empty());
    }
}

TEST(Depart, EcransRefusesAvecLaDimensionMesuree)
{
    for (auto [l, h] : {std::pair{797, 600}, {800, 602}, {1020, 768}, {1024, 765}, {640, 480}}) {
        Demarrage d(l, h);
        EXPECT_FALSE(d.demarre) << l << "x" << h;
        EXPECT_TRUE(Programme::termine());
        ASSERT_EQ(d.repondeur.messages().size(), 1u);
        const MessageAffiche& m = d.repondeur.messages()[0];
        EXPECT_EQ(m.titre, QStringLiteral("DIMENSION ECRAN"));
        EXPECT_EQ(m.style, msg::Critique);
        const QStringList lignes = m.lignes();
        ASSERT_EQ(lignes.size(), 3);
        EXPECT_EQ(lignes[0], QStringLiteral("Les seules dimensions d'écran admises sont 800 x 600"));
        EXPECT_EQ(lignes[1], QStringLiteral("ou largeur >=1024 et hauteur >=768"));
        EXPECT_EQ(lignes[2], LigneMesure + QStringLiteral(" %1 x  %2").arg(l).arg(h));
        // The identification file is written before the checks.
        EXPECT_TRUE(QFile::exists(d.dossier.fichier(QStringLiteral("VORDEX.TXT"))));
        EXPECT_FALSE(QFile::exists(d.dossier.fichier(QStringLiteral("persopag"))));
    }
}

TEST(Depart, Ecran640x480MessageExact)
{
    Demarrage d(640, 480);
    ASSERT_EQ(d.repondeur.messages().size(), 1u);
    EXPECT_EQ(d.repondeur.messages()[0].texte,
              QStringLiteral("Les seules dimensions d'écran admises sont 800 x 600\rou largeur >=1024 et hauteur "
                             ">=768\rConfiguration trouvée: 640 x  480"));
}

TEST(Depart, ResolutionAutreQue96pppRefusee)
{
    Demarrage d(1280, 1024, 12);
    EXPECT_FALSE(d.demarre);
    ASSERT_EQ(d.repondeur.messages().size(), 1u);
    const MessageAffiche& m = d.repondeur.messages()[0];
    EXPECT_EQ(m.titre, QStringLiteral("CONFIGURATION ECRAN"));
    EXPECT_EQ(m.style, msg::Critique);
    EXPECT_EQ(m.lignes().size(), 6);
    EXPECT_EQ(m.lignes()[0], QStringLiteral(" L'écran doit etre configuré en 96 ppp:"));
    EXPECT_EQ(m.lignes()[5], QStringLiteral("   -Paramètre PPP:Normal(96 ppp)."));
}

TEST(Depart, ConseilBarreDesTachesSeulementSur599)
{
    {
        Demarrage d(800, 599);
        ASSERT_TRUE(d.demarre);
        ASSERT_EQ(d.repondeur.messages().size(), 1u);
        const MessageAffiche& m = d.repondeur.messages()[0];
        EXPECT_EQ(m.titre, QStringLiteral("DIMENSION ECRAN"));
        EXPECT_EQ(m.style, msg::Exclamation);
        EXPECT_EQ(m.lignes().size(), 6);
        EXPECT_EQ(m.lignes()[0], QStringLiteral(" Pour optimiser la visualisation,masquer la barre des taches:"));
    }
    for (int h : {600, 601}) {
        Demarrage d(800, h);
        EXPECT_TRUE(d.demarre);
        EXPECT_TRUE(d.repondeur.messages().empty()) << h;
    }
}

TEST(Depart, ListeDimensionneeEtCentree)
{
    Demarrage d(1024, 768);
    ASSERT_TRUE(d.demarre);
    Depart* w = d.depart();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("KALMORIN"));
    ASSERT_EQ(w->L_fonction.nombre(), 9);
    const QStringList attendues = {"NORMAL", "JAQUETTES CD", "UTILITAIRES", "", "AJUSTER", "DOCUMENTATION",
                                   "CONTACT", "", "QUITTER"};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(w->L_fonction.entree(i), attendues[i]);
    EXPECT_EQ(d.partage.hauteurtitre, 0);
    EXPECT_EQ(w->largeur(), 2400 + 100);
    EXPECT_EQ(w->hauteur(), 2220 + 390);
    EXPECT_EQ(w->gauche(), (15360 - 2500) / 2);
    EXPECT_EQ(w->haut(), (11520 - 2610) / 2);
    EXPECT_EQ(d.partage.sautligne, QStringLiteral("\r\n"));
    EXPECT_EQ(d.partage.repdepart, d.dossier.chemin());
    EXPECT_TRUE(fs::estDossier(d.dossier.fichier(QStringLiteral("persopag"))));
}

TEST(Depart, BordsDeFenetrePlusHautsComptentDansHauteurtitre)
{
    Programme::reinitialiser();
    Fenetres::reinitialiser();
    kaltest::DossierTravail dossier;
    RepondeurEnregistreur r;
    Ecran::simuler({1024, 768, 15, 15});
    Ecran::simulerBordsTitre(450);
    ReglagesPartages p;
    ASSERT_TRUE(demarrerProgramme(p, {dossier.fichier("x")}));
    EXPECT_EQ(p.hauteurtitre, 75);
    EXPECT_EQ(Fenetres::siChargee("DEPART")->hauteur(), 2220 + 390 + 75);
    Fenetres::reinitialiser();
    Ecran::reel();
}

TEST(Depart, FichierIdentificationEcritEnEntier)
{
    Demarrage d(1024, 768);
    QFile f(d.dossier.fichier(QStringLiteral("VORDEX.TXT")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray contenu = f.readAll();
    EXPECT_EQ(contenu, (Depart::texteIdentification() + QStringLiteral("\r\n")).toUtf8());
    EXPECT_TRUE(contenu.contains("KALMORIN"));
}

TEST(Depart, IdentificationEnEchecNeBloquePas)
{
    // A VORDEX.TXT that is a folder cannot be replaced: the start goes on all the same.
    kaltest::DossierTravail dossier;
    fs::creerDossier(dossier.fichier(QStringLiteral("VORDEX.TXT")));
    Programme::reinitialiser();
    Fenetres::reinitialiser();
    RepondeurEnregistreur r;
    Ecran::simuler({1024, 768, 15, 15});
    ReglagesPartages p;
    EXPECT_TRUE(demarrerProgramme(p, {dossier.fichier("x")}));
    EXPECT_TRUE(r.messages().empty());
    EXPECT_TRUE(fs::estDossier(dossier.fichier(QStringLiteral("persopag"))));
    Fenetres::reinitialiser();
    Ecran::reel();
}

TEST(Depart, ListeDeFonctions)
{
    Demarrage d(1024, 768);
    Depart* w = d.depart();
    ASSERT_NE(w, nullptr);
    // In "MS Sans Serif" as this system shows it, bold.
    const QFontInfo police(w->L_fonction.widget()->font());
    EXPECT_EQ(police.family(), familleInstallee(QStringLiteral("MS Sans Serif")));
    EXPECT_TRUE(police.bold());
    EXPECT_EQ(w->L_fonction.widget()->font().pointSizeF(), 9.75);

    w->L_fonction.definirIndex(3);  // a separator: nothing
    EXPECT_FALSE(Fenetres::chargee("IMPRIMER"));

    w->L_fonction.definirIndex(0);
    EXPECT_TRUE(Fenetres::chargee("IMPRIMER"));
    // The two editors share the work folder's database and files: one at a time. Choosing the
    // other asks whether to close the open one; Non changes nothing.
    d.repondeur.prevoir(msg::RepNon);
    w->L_fonction.definirIndex(1);
    EXPECT_FALSE(Fenetres::chargee("JAQUETTE"));
    EXPECT_TRUE(Fenetres::chargee("IMPRIMER"));
    ASSERT_EQ(d.repondeur.messages().size(), 1u);
    EXPECT_EQ(d.repondeur.messages()[0].titre, QStringLiteral("EDITEUR DEJA OUVERT"));
    EXPECT_EQ(d.repondeur.messages()[0].style, 36);
    EXPECT_EQ(d.repondeur.messages()[0].lignes(),
              QStringList({QStringLiteral("L'éditeur de pages est ouvert."),
                           QStringLiteral("Le fermer et ouvrir l'éditeur de jaquettes ?")}));
    w->L_fonction.definirIndex(-1);
    // Oui: the page editor closes (an empty page: no save offer), the program goes on.
    d.repondeur.prevoir(msg::RepOui);
    w->L_fonction.definirIndex(1);
    EXPECT_FALSE(Fenetres::chargee("IMPRIMER"));
    EXPECT_TRUE(Fenetres::chargee("JAQUETTE"));
    EXPECT_FALSE(Programme::termine());
    EXPECT_EQ(d.repondeur.messages().size(), 2u);
    Fenetres::decharger("JAQUETTE");
    w->L_fonction.definirIndex(2);
    EXPECT_TRUE(Fenetres::chargee("UTIL"));
    w->L_fonction.definirIndex(4);
    EXPECT_TRUE(Fenetres::chargee("AJUST"));
    w->L_fonction.definirIndex(5);
    EXPECT_TRUE(Fenetres::chargee("DOC"));
    EXPECT_EQ(d.partage.rubriquedoc, QStringLiteral("normal"));
    w->L_fonction.definirIndex(6);
    EXPECT_TRUE(Fenetres::chargee("CONTACT"));

    // Shown a second time: the same instance, brought forward.
    Fenetre* doc = Fenetres::siChargee("DOC");
    w->L_fonction.definirIndex(5);
    EXPECT_EQ(Fenetres::siChargee("DOC"), doc);

    EXPECT_FALSE(Programme::termine());
    w->L_fonction.definirIndex(8);
    EXPECT_TRUE(Programme::termine());
}

namespace {
// The workbench's writer killed in the middle of a save into utilphot (by the kernel, at a
// file-size limit): the hidden copy it was writing stays, named as that writer names it.
QString copieInterrompue(const QString& source, const QString& cible)
{
    const pid_t enfant = ::fork();
    if (enfant == 0) {
        rlimit petite{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &petite);
        std::signal(SIGXFSZ, SIG_DFL);
        fs::copierFichier(source, cible);
        ::_exit(0);
    }
    int etat = 0;
    ::waitpid(enfant, &etat, 0);
    EXPECT_TRUE(WIFSIGNALED(etat) && WTERMSIG(etat) == SIGXFSZ);
    const QStringList restes = QFileInfo(cible).dir().entryList({"." + fs::nomFinal(cible) + ".*"}, QDir::Hidden | QDir::Files);
    return restes.size() == 1 ? restes[0] : QString();
}
}  // namespace

// What writes and saves stopped halfway by an earlier run left: removed at the next start, by
// their exact names only, and only when no other copy of the program works in the folder.
TEST(Depart, RestesDEcrituresInterrompuesSupprimes)
{
    const QString n13 = QStringLiteral("0k3j9x0ab12cd");
    const QStringList restes = {".quelvard.ini." + n13, ".kalmorin.mdb.3w5e11264sgsf", ".photo3.svc.0000000000000",
                                ".saiphot.jpg." + n13, ".compress.JPG." + n13, "utilphot/.Noël 24.jpg." + n13,
                                "persopag/.sauvegarde-Ab12Cd", "persopag/.suppression-x9Y8z7",
                                // a page the migration was filling from the old folder
                                "persopag/vacances/.photo0.jpg." + n13};
    const QStringList gardes = {"quelvard.ini.bak", ".quelvard.ini.bak", ".quelvard.ini.k3j9x0", ".quelvard.ini.3w5e11264sgsg",
                                ".quelvard.ini.0K3J9X0AB12CD", ".notes.txt." + n13, "utilphot/.x.jpg.bak", "utilphot/notes.txt",
                                "utilphot/.vacances.JPG." + n13, "utilphot/.souvenirs.jpg." + n13, "utilphot/.a.b.jpg." + n13,
                                "persopag/vacances/.photo1.jpg." + n13, "persopag/.sauvegarde-notes",
                                "persopag/sauvegarde-Ab12Cd", "persopag/.sauvegarde-Ab12Cd7", "persopag/.sauvegarde-Ab12Ce"};
    QString interrompue;   // the killed writer's own leftover in utilphot
    auto preparer = [&](const QString& d) {
        QDir().mkpath(d + "/persopag/vacances");
        QDir().mkpath(d + "/utilphot");
        QDir().mkpath(d + "/ancien-inexistant/vacances");
        QFile(d + "/ancien-inexistant/vacances/photo0.jpg").open(QIODevice::WriteOnly);
        for (const QString& n : restes + gardes) {
            if (n.startsWith(QLatin1String("persopag/.sauvegarde-Ab12Ce"))) {
                QFile(d + "/" + n).open(QIODevice::WriteOnly);   // a file, not a folder of a save
            } else if (n.startsWith(QLatin1String("persopag/")) && !n.startsWith(QLatin1String("persopag/vacances/"))) {
                QDir().mkpath(d + "/" + n);
                QFile(d + "/" + n + "/photo0.jpg").open(QIODevice::WriteOnly);
            } else {
                QFile(d + "/" + n).open(QIODevice::WriteOnly);
            }
        }
        QFile saiphot(d + "/saiphot.jpg");
        saiphot.open(QIODevice::WriteOnly);
        saiphot.write(QByteArray(100000, 'x'));
        saiphot.close();
        interrompue = "utilphot/" + copieInterrompue(d + "/saiphot.jpg", d + "/utilphot/apres.jpg");
    };
    {
        std::unique_ptr<kaltest::AutreProgramme> autre;
        Demarrage d(1024, 768, 15, [&](const QString& dossier) {
            preparer(dossier);
            autre = std::make_unique<kaltest::AutreProgramme>(kaltest::AutreProgramme::Verrou::Dossier, dossier);
        });
        ASSERT_TRUE(autre->pret());
        ASSERT_TRUE(d.demarre);
        ASSERT_TRUE(QFileInfo(d.dossier.fichier(interrompue)).isFile()) << interrompue.toStdString();
        for (const QString& n : restes)
            EXPECT_TRUE(QFileInfo::exists(d.dossier.fichier(n))) << "another copy's write: " << n.toStdString();
    }
    Demarrage d(1024, 768, 15, preparer);
    ASSERT_TRUE(d.demarre);
    for (const QString& n : restes + QStringList{interrompue})
        EXPECT_FALSE(QFileInfo::exists(d.dossier.fichier(n))) << n.toStdString();
    for (const QString& n : gardes)
        EXPECT_TRUE(QFileInfo::exists(d.dossier.fichier(n))) << n.toStdString();
}

// A replace stopped between its renames (a disk that cannot exchange two names): the start puts the
// page back under its name, the new one when it is whole, else the old one; where neither rename can
// be made the hidden copies stay and the person is told where.
TEST(Depart, UnRemplacementInterrompuEstFiniOuDefait)
{
    struct Cas {
        bool nouvelleEntiere;
        bool disqueBloque;
        QByteArray attendu;   // photo0.jpg of "Noel" after the start; empty: no page of that name
    };
    for (const Cas& c : {Cas{true, false, "nouveau"}, Cas{false, false, "ancien"}, Cas{true, true, {}}}) {
        SCOPED_TRACE(c.attendu.isEmpty() ? "bloqué" : c.attendu.constData());
        Demarrage d(1024, 768, 15, [&](const QString& dossier) {
            const QString p = dossier + "/persopag/";
            for (const auto& [nom, octets] : {std::pair{".ancien-Aaaaaa", "ancien"}, {".sauvegarde-Bbbbbb", "nouveau"}}) {
                QDir().mkpath(p + nom);
                fs::ecrireFichier(p + nom + "/photo0.jpg", octets);
                if (QByteArray(octets) == "ancien" || c.nouvelleEntiere)
                    fs::ecrireFichier(p + nom + "/page.txt", {});
            }
            fs::ecrireTexte(p + ".journal-Cccccc", "echange\r\nNoel\r\n.ancien-Aaaaaa\r\n.sauvegarde-Bbbbbb");
            if (c.disqueBloque)
                panne::armer(1, true, EIO);
        });
        panne::desarmer();
        ASSERT_TRUE(d.demarre);
        const QString p = d.dossier.fichier("persopag/");
        const QStringList caches =
            QDir(p).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).filter(QRegularExpression("^\\."));
        if (c.attendu.isEmpty()) {
            EXPECT_FALSE(QFileInfo::exists(p + "Noel"));
            EXPECT_EQ(caches.size(), 3) << caches.join(' ').toStdString();
            ASSERT_FALSE(d.repondeur.messages().empty());
            EXPECT_TRUE(d.repondeur.messages().back().texte.contains(p + ".sauvegarde-Bbbbbb"))
                << d.repondeur.messages().back().texte.toStdString();
            continue;
        }
        QFile f(p + "Noel/photo0.jpg");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), c.attendu);
        EXPECT_TRUE(caches.isEmpty()) << caches.join(' ').toStdString();
    }
}
