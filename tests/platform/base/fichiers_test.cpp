// File-system steps and their error numbers, the CR LF text files, files written aside and
// swapped in whole, and reading no more lines than needed.
#include "support/utilisateur.h"
#include "support/erreurs.h"
#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/fichiers.h"
#include "support/dossiertemp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <functional>
#include <thread>

#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace kal;

using kaltest::numeroErreur;

TEST(Fichiers, NumerosDErreur)
{
    kaltest::DossierTravail d;
    const QString rep = d.fichier("rep");
    fs::creerDossier(rep);
    EXPECT_EQ(numeroErreur([&] { fs::creerDossier(rep); }), err::AccesChemin);
    EXPECT_EQ(numeroErreur([&] { fs::creerDossier(d.fichier("absent/sous")); }), err::CheminIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::supprimerFichier(d.fichier("absent.txt")); }), err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::copierFichier(d.fichier("absent.txt"), d.fichier("b")); }), err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::lireLignes(d.fichier("absent.txt")); }), err::FichierIntrouvable);
    EXPECT_EQ(numeroErreur([&] { fs::longueurFichier(d.fichier("absent.txt")); }), err::FichierIntrouvable);
    fs::ecrireTexte(rep + "/f.txt", "x");
    EXPECT_EQ(numeroErreur([&] { fs::supprimerDossier(rep); }), err::AccesChemin);  // not empty
    fs::supprimerFichier(rep + "/f.txt");
    fs::supprimerDossier(rep);
    EXPECT_FALSE(fs::existe(rep));
    EXPECT_EQ(numeroErreur([&] { fs::sousDossiers(rep); }), err::CheminIntrouvable);
}

TEST(Fichiers, TexteEnCrLfEtLignes)
{
    kaltest::DossierTravail d;
    const QString f = d.fichier("quelvard.ini");
    fs::ecrireTexte(f, QStringLiteral("180\r\n\r\n[DeltaH]\r\n0"));
    QFile q(f);
    ASSERT_TRUE(q.open(QIODevice::ReadOnly));
    EXPECT_EQ(q.readAll(), QByteArray("180\r\n\r\n[DeltaH]\r\n0\r\n"));
    EXPECT_EQ(fs::lireLignes(f), QStringList({"180", "", "[DeltaH]", "0"}));
    EXPECT_EQ(fs::longueurFichier(f), 20);
}

TEST(Fichiers, ListesTrieesSansFichiersCaches)
{
    kaltest::DossierTravail d;
    for (const char* n : {"b", "a", "C"})
        fs::creerDossier(d.fichier(n));
    fs::ecrireTexte(d.fichier("z.txt"), "");
    fs::ecrireTexte(d.fichier(".cache"), "");
    EXPECT_EQ(fs::sousDossiers(d.chemin()), QStringList({d.fichier("C"), d.fichier("a"), d.fichier("b")}));
    EXPECT_EQ(fs::fichiersDe(d.chemin()), QStringList({d.fichier("z.txt")}));
    EXPECT_EQ(fs::nomFinal(d.fichier("a/")), QStringLiteral("a"));
}

TEST(Fichiers, NomsSimples)
{
    EXPECT_TRUE(fs::nomSimple("vacances 2026"));
    for (const char* n : {"", ".", "..", "../x", "a/b", "a\\b"})
        EXPECT_FALSE(fs::nomSimple(QString::fromLatin1(n))) << n;
}

namespace {

QByteArray contenu(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(illisible)");
}

int mode(const QString& chemin)
{
    struct stat st {};
    return ::stat(QFile::encodeName(chemin).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

void poser(const QString& chemin, const QByteArray& octets)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(octets), octets.size());
}

// Every name in a folder, hidden ones included: a temporary file left behind would show here.
QStringList tout(const QString& dossier)
{
    return QDir(dossier).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

using kaltest::commeUtilisateur;

// A work folder that "nobody" may enter.
struct DossierOuvert : kaltest::DossierTravail {
    DossierOuvert() { QFile::setPermissions(chemin(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                          QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup); }
};

QString descriptionDe(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        return e.description();
    }
    return {};
}

}  // namespace

TEST(EcritureACote, LeFichierEstRemplaceEntierEtGardeSesDroits)
{
    kaltest::DossierTravail d;
    const QString f = d.fichier("quelvard.ini");
    poser(f, "ancien contenu bien plus long que le nouveau\r\n");
    ASSERT_TRUE(QFile::setPermissions(f, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    fs::ecrireTexte(f, QStringLiteral("175\r\n[DeltaH]"));
    EXPECT_EQ(contenu(f), QByteArray("175\r\n[DeltaH]\r\n"));
    EXPECT_EQ(mode(f), 0640);
    EXPECT_EQ(tout(d.chemin()), QStringList({"quelvard.ini"}));   // nothing left aside

    // A copy replaces its target whole too, larger than one read and with the source's rights.
    const QString source = d.fichier("kalmorin.mdb");
    QByteArray gros(3 * 1024 * 1024 + 17, '\0');
    for (qsizetype i = 0; i < gros.size(); ++i)
        gros[i] = static_cast<char>(i * 7 + i / 4096);
    poser(source, gros);
    const QString copie = d.fichier("copie.mdb");
    poser(copie, "ancienne copie");
    fs::copierFichier(source, copie);
    EXPECT_EQ(contenu(copie), gros);
    EXPECT_EQ(mode(copie), mode(source));
    EXPECT_EQ(tout(d.chemin()), QStringList({"copie.mdb", "kalmorin.mdb", "quelvard.ini"}));

    // The longest name the system takes (its temporary name is cut short).
    const QString long255 = d.fichier(QString(251, QLatin1Char('n')) + QStringLiteral(".BMP"));
    fs::ecrireFichier(long255, "BM");
    EXPECT_EQ(contenu(long255), QByteArray("BM"));
    QFile::remove(long255);

    // A link is followed: the file it points at is replaced, the link stays.
    ASSERT_TRUE(QFile::link(f, d.fichier("lien.ini")));
    fs::ecrireTexte(d.fichier("lien.ini"), QStringLiteral("190"));
    EXPECT_TRUE(QFileInfo(d.fichier("lien.ini")).isSymLink());
    EXPECT_EQ(contenu(f), QByteArray("190\r\n"));
}

TEST(EcritureACote, UnEchecLaisseLAncienFichierTelQuel)
{
    DossierOuvert d;
    const QByteArray ancien = "180\r\n\r\n[DeltaH]\r\n12\r\n";

    // A folder of that name.
    fs::creerDossier(d.fichier("quelvard.ini"));
    EXPECT_EQ(numeroErreur([&] { fs::ecrireTexte(d.fichier("quelvard.ini"), "x"); }), err::AccesChemin);
    poser(d.fichier("source.mdb"), "base");
    EXPECT_EQ(numeroErreur([&] { fs::copierFichier(d.fichier("source.mdb"), d.fichier("quelvard.ini")); }), err::AccesChemin);
    EXPECT_TRUE(fs::estDossier(d.fichier("quelvard.ini")));
    EXPECT_TRUE(descriptionDe([&] { fs::ecrireTexte(d.fichier("quelvard.ini"), "x"); }).contains("un dossier porte ce nom"));

    // A read-only folder: the file in it could be truncated, but nothing can be put beside it.
    const QString lecture = d.fichier("lecture");
    fs::creerDossier(lecture);
    const QString ini = lecture + "/quelvard.ini";
    poser(ini, ancien);
    ASSERT_TRUE(QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                               QFileDevice::WriteOther));
    ASSERT_TRUE(QFile::setPermissions(lecture, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                   QFileDevice::ExeOther));
    QString description;
    commeUtilisateur([&] {
        EXPECT_EQ(numeroErreur([&] { fs::ecrireTexte(ini, "175"); }), err::AccesChemin);
        EXPECT_EQ(numeroErreur([&] { fs::copierFichier(d.fichier("source.mdb"), ini); }), err::AccesChemin);
        description = descriptionDe([&] { fs::ecrireTexte(ini, "175"); });
    });
    EXPECT_EQ(contenu(ini), ancien);
    EXPECT_EQ(tout(lecture), QStringList({"quelvard.ini"}));
    EXPECT_EQ(description, ini + " : le dossier est en lecture seule ; l'ancien fichier est conservé.");

    // A read-only file in a folder that may be written: not replaced behind the user's back.
    const QString protege = d.fichier("protege.ini");
    poser(protege, ancien);
    ASSERT_TRUE(QFile::setPermissions(d.chemin(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                      QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(protege, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    commeUtilisateur([&] { EXPECT_EQ(numeroErreur([&] { fs::ecrireTexte(protege, "175"); }), err::AccesChemin); });
    EXPECT_EQ(contenu(protege), ancien);

    // The disk fills up in the middle of the write (here: a file-size limit of 4 KB).
    const QString plein = d.fichier("plein.ini");
    poser(plein, ancien);
    rlimit avant{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &avant), 0);
    rlimit petite = avant;
    petite.rlim_cur = 4096;
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &petite), 0);
    const int numero = numeroErreur([&] { fs::ecrireTexte(plein, QString(100000, QLatin1Char('7'))); });
    const int numeroCopie = numeroErreur([&] { fs::copierFichier(d.fichier("source.mdb"), plein); });
    ::setrlimit(RLIMIT_FSIZE, &avant);
    std::signal(SIGXFSZ, signal);
    EXPECT_EQ(numero, err::AccesChemin);
    EXPECT_EQ(numeroCopie, 0);   // a small file still fits
    EXPECT_EQ(contenu(plein), QByteArray("base"));
    poser(plein, ancien);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &petite), 0);
    std::signal(SIGXFSZ, SIG_IGN);
    description = descriptionDe([&] { fs::ecrireTexte(plein, QString(100000, QLatin1Char('7'))); });
    ::setrlimit(RLIMIT_FSIZE, &avant);
    std::signal(SIGXFSZ, signal);
    EXPECT_EQ(contenu(plein), ancien);
    EXPECT_TRUE(description.startsWith(plein + " : le fichier dépasse la taille permise")) << description.toStdString();
    EXPECT_EQ(tout(d.chemin()), QStringList({"lecture", "plein.ini", "protege.ini", "quelvard.ini", "source.mdb"}));
    QFile::setPermissions(lecture, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(LectureBornee, PasPlusDeLignesNiDOctetsQueDemande)
{
    kaltest::DossierTravail d;
    const QString f = d.fichier("quelvard.ini");
    poser(f, "180\r\n\r\n[DeltaH]\rééé\n\n0");
    EXPECT_EQ(fs::lireLignes(f, 100, 100), QStringList({"180", "", "[DeltaH]", "ééé", "", "0"}));
    EXPECT_EQ(fs::lireLignes(f, 3, 100), QStringList({"180", "", "[DeltaH]"}));
    EXPECT_EQ(fs::lireLignes(f, 4, 3), QStringList({"180", "", "[De", "é"}));   // cut at a character boundary
    EXPECT_EQ(fs::lireLignes(f, 0, 10), QStringList());
    EXPECT_EQ(fs::lireLignes(f), fs::lireLignes(f, 100, 100));

    // A CR LF split across two reads is one line end.
    poser(f, QByteArray(64 * 1024 - 1, 'a') + "\r\nb");
    const QStringList deux = fs::lireLignes(f, 10, 10);
    EXPECT_EQ(deux, QStringList({"aaaaaaaaaa", "b"}));

    // One line of 50 MB: only what is asked for is kept, and it is read in bounded time.
    QByteArray enorme(50 * 1024 * 1024, '9');
    enorme += "\r\n[DeltaH]\r\n";
    poser(f, enorme);
    enorme.clear();
    QElapsedTimer chrono;
    chrono.start();
    EXPECT_EQ(fs::lireLignes(f, 1, 16), QStringList({"9999999999999999"}));
    EXPECT_LT(chrono.elapsed(), 1000);   // stops at the first 16 bytes
    EXPECT_EQ(fs::lireLignes(f, 5, 16), QStringList({"9999999999999999", "[DeltaH]"}));
    EXPECT_LT(chrono.elapsed(), 10000);   // a guard against a slow path, not a speed measure

    // Empty, missing, a folder.
    poser(f, "");
    EXPECT_EQ(fs::lireLignes(f, 5, 16), QStringList());
    EXPECT_EQ(numeroErreur([&] { fs::lireLignes(d.fichier("absent.ini"), 5, 16); }), err::FichierIntrouvable);
    fs::creerDossier(d.fichier("dossier.ini"));
    EXPECT_EQ(numeroErreur([&] { fs::lireLignes(d.fichier("dossier.ini"), 5, 16); }), err::AccesChemin);
    EXPECT_EQ(numeroErreur([&] { fs::lireLignes(d.fichier("dossier.ini")); }), err::AccesChemin);

    // What never ends is not read: a device behind a link, a named pipe nobody writes to.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), d.fichier("zero.ini")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(d.fichier("tube.ini")).constData(), 0644), 0);
    for (const char* nom : {"zero.ini", "tube.ini"}) {
        for (int lignes : {1, 7}) {
            try {
                fs::lireLignes(d.fichier(nom), lignes, 64);
                ADD_FAILURE() << nom;
            } catch (const Erreur& e) {
                EXPECT_EQ(e.numero(), err::AccesChemin);
                EXPECT_TRUE(e.description().contains(QStringLiteral("pas un fichier ordinaire"))) << e.description().toStdString();
            }
        }
    }
    // Nor is it replaced by a file, through a link or not: a device of the test's own (the null
    // device's numbers), and the pipe.
    ASSERT_EQ(::mknod(QFile::encodeName(d.fichier("nul")).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_TRUE(QFile::link(d.fichier("nul"), d.fichier("lien.ini")));
    for (const char* nom : {"tube.ini", "lien.ini", "nul"})
        EXPECT_EQ(numeroErreur([&] { fs::ecrireTexte(d.fichier(nom), QStringLiteral("180")); }), err::AccesChemin) << nom;
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(d.fichier("tube.ini")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::stat(QFile::encodeName(d.fichier("nul")).constData(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(Fichiers, CausesDuSystemeEnFrancais)
{
    for (int e : {ENOENT, EACCES, ENOSPC, EROFS, EMLINK, ELOOP, ENAMETOOLONG, ENFILE, EMFILE}) {
        const QString t = texteErreurSysteme(e);
        EXPECT_FALSE(t.startsWith(QStringLiteral("erreur du système"))) << e;
        const QString systeme = QString::fromLocal8Bit(std::strerror(e));
        EXPECT_EQ(enFrancais(QStringLiteral("/x/y: ") + systeme), QStringLiteral("/x/y: ") + t) << e;
    }
    EXPECT_EQ(texteErreurSysteme(9999), QStringLiteral("erreur du système n° 9999"));
    // Qt's own text of a real failure.
    kaltest::DossierTravail d;
    QFile absent(d.fichier("absent/x"));
    EXPECT_FALSE(absent.open(QIODevice::ReadOnly));
    EXPECT_EQ(enFrancais(absent.errorString()), texteErreurSysteme(ENOENT));
}

TEST(Fichiers, RestesDEcrituresInterrompues)
{
    kaltest::DossierTravail d;
    // 13 base-36 digits, a 64-bit number at most: what the writer names, not a user's copy.
    // The last is the writer's copy of a hidden file of a Remplacement.
    const QStringList restes = {".quelvard.ini.0k3j9x0ab12cd", ".photo3.svc.0000000000001", ".quelvard.ini.3w5e11264sgsf",
                                "..photo3.svc.0000000000001.0k3j9x0ab12cd"};
    const QStringList autres = {".quelvard.ini.0K3J9X0AB12CD", ".quelvard.ini.", ".quelvard.ini.3w5e11264sgsg",
                                ".quelvard.ini.k3j9x0", ".quelvard.ini.bak", ".quelvard.ini.00k3j9x0ab12cd",
                                "quelvard.ini.0k3j9x0ab12cd", ".quelvard.ini", ".notes.txt.0k3j9x0ab12cd",
                                ".photo3.svc.0k3-9x0ab12cd", "quelvard.ini", "..notes.txt.0000000000001.0k3j9x0ab12cd"};
    for (const QString& n : restes + autres)
        poser(d.fichier(n), "x");
    fs::creerDossier(d.fichier(".photo4.svc.0000000000abc"));   // a folder is no leftover of a write
    EXPECT_EQ(fs::supprimerRestesEcriture(d.chemin(), [] { return QStringList{"quelvard.ini", "photo3.svc", "photo4.svc"}; }), restes.size());
    for (const QString& n : restes)
        EXPECT_FALSE(QFileInfo::exists(d.fichier(n))) << n.toStdString();
    for (const QString& n : autres + QStringList{".photo4.svc.0000000000abc"})
        EXPECT_TRUE(QFileInfo::exists(d.fichier(n))) << n.toStdString();
}
