// The page editor opened on damaged or unusual work folders, then closed with QUITTER: the
// settings file stays byte for byte what it was, the database and the other user files are
// untouched, the user is told in French, and the program ends.
#include "support/banc_editeur.h"
#include "pagemodel/basetravail.h"
#include "platform/base/fichiers.h"
#include "platform/database/basedonnees.h"

#include <QDirIterator>
#include <csignal>
#include <cstdio>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QRandomGenerator>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using kal::TypeEditeur;

namespace {

const QByteArray Reglages(" 135\r\n\r\n[DeltaH]\r\n-45\r\n\r\n[DeltaV]\r\n60\r\n");

void poser(const QString& chemin, const QByteArray& octets)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(octets);
}
QByteArray contenu(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}
QByteArray hasard(int n)
{
    QByteArray b(n, 0);
    for (char& c : b)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return b;
}
// How the editor is opened and closed: as the machine's user (root on the build machines), as an
// ordinary user for whom read-only files really are read-only, or on a disk where nothing more
// can be written.
enum class Conditions { Ordinaires, UtilisateurOrdinaire, DisquePlein };

struct Cas {
    const char* nom;
    std::function<void(const QString& dossier)> preparer;
    Conditions conditions = Conditions::Ordinaires;
};

// Puts the current thread's file rights to those of "nobody" (under root), or makes every write
// of the process fail as on a full disk, for the life of the object.
class Environnement {
public:
    explicit Environnement(Conditions c) : c_(c)
    {
        if (c_ == Conditions::UtilisateurOrdinaire && ::geteuid() == 0) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        } else if (c_ == Conditions::DisquePlein) {
            ::getrlimit(RLIMIT_FSIZE, &avant_);
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit r = avant_;
            r.rlim_cur = 0;
            ::setrlimit(RLIMIT_FSIZE, &r);
        }
    }
    ~Environnement()
    {
        if (c_ == Conditions::UtilisateurOrdinaire && ::geteuid() == 0) {
            ::setfsuid(0);
            ::setfsgid(0);
        } else if (c_ == Conditions::DisquePlein) {
            ::setrlimit(RLIMIT_FSIZE, &avant_);
        }
    }

private:
    Conditions c_;
    rlimit avant_{};
};

void droits(const QString& chemin, mode_t mode) { ::chmod(QFile::encodeName(chemin).constData(), mode); }

// Every case starts from a work folder with a good database and the settings file above.
const Cas TousLesCas[] = {
    {"base_au_hasard", [](const QString& d) { poser(d + "/kalmorin.mdb", hasard(40000)); }},
    {"base_coupee_en_deux",
     [](const QString& d) {
         const QByteArray b = contenu(d + "/kalmorin.mdb");
         poser(d + "/kalmorin.mdb", b.left(b.size() / 2));
     }},
    {"base_vide", [](const QString& d) { poser(d + "/kalmorin.mdb", {}); }},
    {"base_sans_table",
     [](const QString& d) {
         kal::fs::supprimerFichier(d + "/kalmorin.mdb");
         kal::bd::Base b = kal::bd::Base::creer(d + "/kalmorin.mdb");
         b.creerTable(QStringLiteral("autre"), {{QStringLiteral("x"), kal::bd::TypeChamp::Long}});
     }},
    {"base_sans_fiches",
     [](const QString& d) {
         kal::fs::supprimerFichier(d + "/kalmorin.mdb");
         kal::bd::Base b = kal::bd::Base::creer(d + "/kalmorin.mdb");
         b.creerTable(kal::nomTableObjets(), kal::champsTableObjets());
     }},
    {"base_sans_champ_occup",
     [](const QString& d) {
         kal::fs::supprimerFichier(d + "/kalmorin.mdb");
         kal::bd::Base b = kal::bd::Base::creer(d + "/kalmorin.mdb");
         QList<kal::bd::DefinitionChamp> champs;
         for (const auto& c : kal::champsTableObjets())
             if (c.nom != QLatin1String("occup"))
                 champs << c;
         b.creerTable(kal::nomTableObjets(), champs);
     }},
    {"base_est_un_dossier",
     [](const QString& d) {
         kal::fs::supprimerFichier(d + "/kalmorin.mdb");
         kal::fs::creerDossier(d + "/kalmorin.mdb");
     }},
    {"reglages_au_hasard", [](const QString& d) { poser(d + "/quelvard.ini", hasard(3000)); }},
    {"reglages_vides", [](const QString& d) { poser(d + "/quelvard.ini", {}); }},
    {"reglages_une_ligne_de_50_Mo", [](const QString& d) { poser(d + "/quelvard.ini", QByteArray(50 << 20, '7')); }},
    {"reglages_coupes", [](const QString& d) { poser(d + "/quelvard.ini", Reglages.left(12)); }},
    {"reglages_est_un_dossier",
     [](const QString& d) {
         kal::fs::supprimerFichier(d + "/quelvard.ini");
         kal::fs::creerDossier(d + "/quelvard.ini");
     }},
    {"persopag_est_un_fichier", [](const QString& d) { poser(d + "/persopag", "pas un dossier"); }},
    {"base_en_lecture_seule",
     [](const QString& d) {
         droits(d, 0777);
         droits(d + "/quelvard.ini", 0666);
         droits(d + "/kalmorin.mdb", 0444);
     },
     Conditions::UtilisateurOrdinaire},
    {"reglages_en_lecture_seule",
     [](const QString& d) {
         droits(d, 0777);
         droits(d + "/kalmorin.mdb", 0666);
         droits(d + "/quelvard.ini", 0444);
     },
     Conditions::UtilisateurOrdinaire},
    {"dossier_en_lecture_seule",
     [](const QString& d) {
         kal::fs::creerDossier(d + "/persopag");
         droits(d + "/kalmorin.mdb", 0444);
         droits(d + "/quelvard.ini", 0444);
         droits(d, 0555);
     },
     Conditions::UtilisateurOrdinaire},
    {"disque_plein", [](const QString&) {}, Conditions::DisquePlein},
    {"disque_plein_sans_reglages", [](const QString& d) { kal::fs::supprimerFichier(d + "/quelvard.ini"); },
     Conditions::DisquePlein},
};

class DossierAbime : public ::testing::TestWithParam<Cas> {};

TEST_P(DossierAbime, QuitterNeDetruitRien)
{
    kaltest::BancEditeur banc;
    const QString d = banc.dossier.chemin();
    kal::creerBaseSiAbsente(d);
    poser(d + "/quelvard.ini", Reglages);
    poser(d + "/photo.jpg", "une photo de l'utilisateur");
    GetParam().preparer(d);

    // What the folder holds before the editor opens.
    std::map<QString, QByteArray> avant;
    for (QDirIterator it(d, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString f = it.next();
        avant[f] = contenu(f);
    }

    {
        Environnement env(GetParam().conditions);
        kal::Editeur* ed = banc.ouvrir(TypeEditeur::Page);
        ASSERT_NE(ed, nullptr);
        // After a load that stopped, only QUITTER can be used: the other controls would act on
        // objects and records that were never set up.
        bool chargementArrete = false;
        for (const auto& m : banc.repondeur.messages())
            chargementArrete = chargementArrete || m.texte.contains(QStringLiteral("n'a pas pu être chargé"));
        if (chargementArrete) {
            for (kal::Controle* k : std::initializer_list<kal::Controle*>{&ed->c.B_centre, &ed->c.B_initimage, &ed->c.C_cadre,
                                                                         &ed->c.A_contraste, &ed->c.L_fonction, &ed->c.P_page})
                EXPECT_FALSE(k->widget()->isEnabledTo(ed));
            EXPECT_TRUE(ed->c.B_finimprim.widget()->isEnabledTo(ed));
        }
        ed->c.B_finimprim.cliquer();
        EXPECT_TRUE(kal::Programme::termine()) << "QUITTER must end the program";
    }
    droits(d, 0777);

    for (const auto& [f, octets] : avant) {
        if (f.endsWith(QLatin1String("kalmorin.mdb")) && !std::string(GetParam().nom).starts_with("base_"))
            continue;   // a sound database is the editor's own to write
        EXPECT_EQ(contenu(f), octets) << f.toStdString();
    }
    // A settings file the load had to create is whole or absent, never left empty.
    if (!avant.count(d + "/quelvard.ini")) {
        EXPECT_NE(contenu(d + "/quelvard.ini"), QByteArray());
    }
    // Every message is French, in the program's style: an upper-case title, a first line that
    // says what happened.
    for (const auto& m : banc.repondeur.messages()) {
        if (qEnvironmentVariableIsSet("KAL_MONTRER_MESSAGES"))
            std::fprintf(stderr, "%s | %s\n", qPrintable(m.titre), qPrintable(m.lignes().join(QStringLiteral(" / "))));
        EXPECT_EQ(m.titre, m.titre.toUpper());
        EXPECT_FALSE(m.lignes().value(0).contains(QLatin1String("SELECT"))) << m.texte.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cas, DossierAbime, ::testing::ValuesIn(TousLesCas),
                         [](const auto& i) { return std::string(i.param.nom); });

}  // namespace
