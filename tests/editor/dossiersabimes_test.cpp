// The page editor opened on damaged or unusual work folders, then closed with QUITTER: the
// settings file stays byte for byte what it was, the database and the other user files are
// untouched, the user is told in French, and the program ends.
#include "support/autreprogramme.h"
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
#include <memory>
#include <sqlite3.h>
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
    // What happens to the folder while the editor is open.
    std::function<void(const QString& dossier)> pendant = {};
    // What the folder holds after QUITTER, where its files are rightly not the same bytes.
    std::function<void(const QString& dossier)> verifier = {};
    // Words one of the messages must hold: the user is told what went wrong.
    const char* message = nullptr;
};

// Another program holding a lock for the length of one case.
std::unique_ptr<kaltest::AutreProgramme> g_autre;

void sql(const QString& base, const char* texte)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(base).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, texte, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// The records of the work database, each with its own thumbnail colour as installed.
int nombreDeFiches(const QString& d)
{
    kal::bd::Base b = kal::bd::Base::ouvrir(d + "/kalmorin.mdb");
    kal::bd::JeuEnregistrements j = b.ouvrirJeu(kal::nomTableObjets());
    for (j.premier(); !j.fin(); j.suivant()) {
        const int n = j.valeur(QStringLiteral("numero")).toInt();
        EXPECT_EQ(j.valeur(QStringLiteral("coulminiat")).toInt(), kal::couleurMiniature(n)) << n;
    }
    return j.nombre();
}

// The system's and the engine's English, which a message of the program must not carry.
bool anglais(const QString& t)
{
    static const char* const mots[] = {"No such", "Permission denied", "No space", "Read-only", "read-only",
                                       "Too many", "too long", "directory", "not permitted", "I/O error",
                                       "File exists", "database", "Unknown", "malformed", "locked", "unable"};
    for (const char* m : mots)
        if (t.contains(QLatin1String(m)))
            return true;
    return false;
}

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
     },
     Conditions::Ordinaires, {}, [](const QString& d) { EXPECT_EQ(nombreDeFiches(d), 32); }},
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
    {"base_table_remplacee_par_une_vue",
     [](const QString& d) {
         sql(d + "/kalmorin.mdb", "ALTER TABLE kalmorin RENAME TO ancienne; CREATE VIEW kalmorin AS SELECT * FROM ancienne;");
     },
     Conditions::Ordinaires, {}, {}, "kalmorin est une vue et non la table des objets"},
    {"base_sans_les_fiches_3_a_31",
     [](const QString& d) { sql(d + "/kalmorin.mdb", "DELETE FROM kalmorin WHERE numero BETWEEN 3 AND 31;"); },
     Conditions::Ordinaires, {}, [](const QString& d) { EXPECT_EQ(nombreDeFiches(d), 32); }},
    {"base_verrouillee_par_un_autre_programme",
     [](const QString& d) {
         g_autre = std::make_unique<kaltest::AutreProgramme>(kaltest::AutreProgramme::Verrou::Base, d + "/kalmorin.mdb");
         ASSERT_TRUE(g_autre->pret());
     },
     Conditions::Ordinaires, {}, {}, "occupée par un autre programme. Fermer cet autre programme"},
    {"reglages_lien_vers_dev_zero",
     [](const QString& d) {
         kal::fs::supprimerFichier(d + "/quelvard.ini");
         ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), d + "/quelvard.ini"));
     },
     Conditions::Ordinaires, {},
     [](const QString& d) { EXPECT_EQ(QFileInfo(d + "/quelvard.ini").symLinkTarget(), QStringLiteral("/dev/zero")); },
     "est illisible"},
    {"reglages_tube_nomme",
     [](const QString& d) {
         kal::fs::supprimerFichier(d + "/quelvard.ini");
         ASSERT_EQ(::mkfifo(QFile::encodeName(d + "/quelvard.ini").constData(), 0644), 0);
     },
     Conditions::Ordinaires, {},
     [](const QString& d) {
         struct stat st {};
         EXPECT_EQ(::stat(QFile::encodeName(d + "/quelvard.ini").constData(), &st), 0);
         EXPECT_TRUE(S_ISFIFO(st.st_mode));
     },
     "est illisible"},
    {"dossier_supprime_pendant_l_edition", [](const QString&) {}, Conditions::Ordinaires,
     [](const QString& d) { ASSERT_TRUE(QDir(d).removeRecursively()); },
     [](const QString& d) { EXPECT_FALSE(QFileInfo::exists(d)); }, "Le dossier de travail n'existe plus"},
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
        struct stat st {};
        if (::stat(QFile::encodeName(f).constData(), &st) == 0 && S_ISREG(st.st_mode))
            avant[f] = contenu(f);   // a device or a pipe holds no bytes of the user's
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
        if (GetParam().pendant)
            GetParam().pendant(d);
        ed->c.B_finimprim.cliquer();
        EXPECT_TRUE(kal::Programme::termine()) << "QUITTER must end the program";
    }
    g_autre.reset();
    droits(d, 0777);

    if (GetParam().verifier)
        GetParam().verifier(d);
    for (const auto& [f, octets] : avant) {
        if (f.endsWith(QLatin1String("kalmorin.mdb")) &&
            (!std::string(GetParam().nom).starts_with("base_") || GetParam().verifier))
            continue;   // a sound database is the editor's own to write
        if (QFileInfo::exists(d)) {
            EXPECT_EQ(contenu(f), octets) << f.toStdString();
        }
    }
    // A settings file the load had to create is whole or absent, never left empty.
    if (!avant.count(d + "/quelvard.ini") && !QFileInfo(d + "/quelvard.ini").isSymLink() &&
        QFileInfo(d + "/quelvard.ini").isFile()) {
        EXPECT_NE(contenu(d + "/quelvard.ini"), QByteArray());
    }
    // Every message is French, in the program's style: an upper-case title, a first line that
    // says what happened.
    if (const char* attendu = GetParam().message) {
        bool dit = false;
        for (const auto& m : banc.repondeur.messages())
            dit = dit || m.texte.contains(QString::fromUtf8(attendu));
        EXPECT_TRUE(dit) << attendu;
    }
    for (const auto& m : banc.repondeur.messages()) {
        if (qEnvironmentVariableIsSet("KAL_MONTRER_MESSAGES"))
            std::fprintf(stderr, "%s | %s\n", qPrintable(m.titre), qPrintable(m.lignes().join(QStringLiteral(" / "))));
        EXPECT_EQ(m.titre, m.titre.toUpper());
        EXPECT_FALSE(m.lignes().value(0).contains(QLatin1String("SELECT"))) << m.texte.toStdString();
        EXPECT_FALSE(anglais(m.texte)) << m.texte.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cas, DossierAbime, ::testing::ValuesIn(TousLesCas),
                         [](const auto& i) { return std::string(i.param.nom); });

// Another copy of the program holds the work folder: this one opens no editor, says why, and
// leaves the folder's files alone; once the other copy has ended, the folder is this one's.
TEST(DeuxCopies, LaSecondeNOuvreAucunEditeur)
{
    kaltest::BancEditeur banc;
    const QString d = banc.dossier.chemin();
    kal::creerBaseSiAbsente(d);
    poser(d + "/quelvard.ini", Reglages);
    const QByteArray base = contenu(d + "/kalmorin.mdb");
    {
        kaltest::AutreProgramme autre(kaltest::AutreProgramme::Verrou::Dossier, d);
        ASSERT_TRUE(autre.pret());
        for (TypeEditeur t : {TypeEditeur::Page, TypeEditeur::Jaquette}) {
            banc.repondeur.oublier();
            EXPECT_EQ(banc.ouvrir(t), nullptr);
            ASSERT_FALSE(banc.repondeur.messages().empty());
            const kal::MessageAffiche& m = banc.repondeur.messages().back();
            EXPECT_EQ(m.titre, QStringLiteral("ERREUR"));
            EXPECT_TRUE(m.texte.startsWith(QStringLiteral("Une autre copie du programme utilise ce dossier"))) << m.texte.toStdString();
        }
        EXPECT_EQ(contenu(d + "/kalmorin.mdb"), base);
        EXPECT_EQ(contenu(d + "/quelvard.ini"), Reglages);
    }
    EXPECT_NE(banc.ouvrir(TypeEditeur::Page), nullptr);
}

}  // namespace
