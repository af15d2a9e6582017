#include "pagefiles/dossiersperso.h"

#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/fichiers.h"
#include "platform/base/panne.h"
#include "platform/database/basedonnees.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

namespace kal::perso {

namespace {

namespace stdfs = std::filesystem;

stdfs::path chemin(const QString& c) { return stdfs::path(c.toStdString()); }

// The longest name a folder may bear on the disks of the system, in bytes.
constexpr int OctetsNomMax = 255;

QString cause(int e)
{
    switch (e) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("le disque est plein");
    case EACCES:
    case EPERM: return QStringLiteral("accès refusé");
    case EROFS: return QStringLiteral("le disque est en lecture seule");
    case ENOENT: return QStringLiteral("le dossier n'existe pas");
    case EEXIST:
    case ENOTEMPTY: return QStringLiteral("un dossier de ce nom vient d'apparaître");
    case ENAMETOOLONG: return QStringLiteral("le nom est trop long");
    case EBUSY: return QStringLiteral("le dossier est utilisé par un autre programme");
    case EIO: return QStringLiteral("erreur de lecture ou d'écriture du disque");
    default: return texteErreurSysteme(e);
    }
}

[[noreturn]] void echec(const QString& c, int e)
{
    throw Erreur(err::AccesChemin, c + QStringLiteral(" : ") + cause(e));
}

// The folder's new names last: flushed to the disk. Gives the errno of a flush that failed, 0 when
// it succeeded or the disk makes no such flush.
int synchroniserDossier(const QString& dossier)
{
    const int fd = ::open(dossier.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int e = 0;
    if (panne::appel("synchroniser dossier", dossier, [&] { return ::fsync(fd); }) != 0 && errno != EINVAL && errno != EROFS)
        e = errno;
    ::close(fd);
    return e;
}

// The journal of a step on folders of persopag (".journal-Ab12Cd"): its kind, then the names, in
// persopag, of the target and of the hidden folders the step moves it through, one a line.
const QString PrefixeJournal = QStringLiteral(".journal-");
const QString Echange = QStringLiteral("echange");

// mkdtemp's six letters or digits after the prefixes the page files use.
bool estDossierAcote(const QString& nom)
{
    static const QRegularExpression motif(
        QStringLiteral("^\\.(sauvegarde|suppression|ancien|conversion)-[A-Za-z0-9]{6}$"));
    return motif.match(nom).hasMatch();
}

bool estJournal(const QString& nom)
{
    static const QRegularExpression motif(QStringLiteral("^\\.journal-[A-Za-z0-9]{6}$"));
    return motif.match(nom).hasMatch();
}

// Written and flushed to the disk before the step's first rename.
QString ecrireJournal(const QString& dossier, const QString& cible, const QStringList& noms)
{
    static const QString chiffres = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    QString nom = PrefixeJournal;
    for (int i = 0; i < 6; ++i)
        nom += chiffres[static_cast<qsizetype>(QRandomGenerator::global()->bounded(static_cast<int>(chiffres.size())))];
    const QString journal = fs::joindre(dossier, nom);
    try {
        // Flushed with its folder: a flush that fails stops the step before its first rename.
        fs::ecrireTexte(journal, (QStringList{Echange} + noms).join(fs::sautLigne()));
    } catch (const Erreur& err) {
        // One whose flush failed is in place: it goes, the step not begun.
        (void)panne::appel("supprimer", journal, [&] { return ::unlink(QFile::encodeName(journal).constData()); });
        // Its own name means nothing to the user: the step on the page is what failed.
        throw Erreur(err::AccesChemin, cible + QStringLiteral(" : ") + err.cause(), err.cause());
    }
    return journal;
}

void supprimerJournal(const QString& journal)
{
    // One that stays is removed by the next start, which finds the step done.
    (void)panne::appel("supprimer", journal, [&] { return ::unlink(QFile::encodeName(journal).constData()); });
}

// The names a journal holds (target first), empty for a file that is no journal of a step.
QStringList lireJournal(const QString& journal)
{
    QStringList l;
    try {
        l = fs::lireLignes(journal, 8, 1024);
    } catch (const Erreur&) {
        return {};
    }
    if (l.size() < 4 || l.first() != Echange)
        return {};
    l.removeFirst();
    if (!refusNom(l.first()).isEmpty())
        return {};
    for (qsizetype i = 1; i < l.size(); ++i)
        if (!estDossierAcote(l[i]))
            return {};
    return l;
}

// renameat2 with its flags (an exchange, no replacing); EINVAL where the disk cannot, or where
// the failure seam plays such a disk.
int renommer2(const QByteArray& source, const QByteArray& cible, unsigned drapeau)
{
    if (panne::echangeRefuse()) {
        errno = EINVAL;
        return -1;
    }
    return ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, cible.constData(), drapeau);
}

// `source` takes the name `cible`, never over something that took it meanwhile.
bool renommerSansRemplacer(const QString& source, const QString& cible)
{
    const QByteArray s = QFile::encodeName(source), c = QFile::encodeName(cible);
    const int r = panne::appel("renommer", cible, [&] { return renommer2(s, c, RENAME_NOREPLACE); });
    if (r == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    return !examiner(cible).existe &&
           panne::appel("renommer", cible, [&] { return ::rename(s.constData(), c.constData()); }) == 0;
}

QString parent(const QString& c) { return QFileInfo(c).absolutePath(); }

}  // namespace

QString dossierPerso(const QString& dossierTravail) { return fs::joindre(dossierTravail, QStringLiteral("persopag")); }

bool disquePlein(const QString& description) { return description.contains(QStringLiteral("le disque est plein")); }

QString marqueur(bool jaquette) { return jaquette ? QStringLiteral("jaquet.txt") : QStringLiteral("page.txt"); }

QString refusNom(const QString& nom)
{
    if (nom.isEmpty())
        return QStringLiteral("le nom est vide");
    if (nom == QLatin1String(".") || nom == QLatin1String(".."))
        return QStringLiteral("« . » et « .. » désignent des dossiers du système");
    if (nom.contains(QLatin1Char('/')) || nom.contains(QLatin1Char('\\')))
        return QStringLiteral("un nom de page ne contient ni « / » ni « \\ »");
    if (std::any_of(nom.begin(), nom.end(), [](QChar ch) { return ch.unicode() < 0x20 || ch.unicode() == 0x7F; }))
        return QStringLiteral("un nom de page ne contient pas de caractère de contrôle");
    if (QString::fromUtf8(nom.toUtf8()) != nom)
        return QStringLiteral("le nom contient un caractère qu'aucun disque n'écrit");
    if (nom.startsWith(QLatin1Char('.')))
        return QStringLiteral("un nom de page ne commence pas par un point");
    if (nom.toUtf8().size() > OctetsNomMax)
        return QStringLiteral("le nom est trop long (%1 octets au plus)").arg(OctetsNomMax);
    return {};
}

QString nomAffichable(const QString& nom)
{
    QString s;
    for (QChar ch : nom)
        s += ch.unicode() < 0x20 || ch.unicode() == 0x7F ? QChar(QLatin1Char('?')) : ch;
    if (s.size() > 60)
        s = s.left(60) + QStringLiteral("…");
    return s;
}

Contenu examiner(const QString& c)
{
    Contenu r;
    std::error_code ec;
    const stdfs::file_status etat = stdfs::symlink_status(chemin(c), ec);
    if (ec || !stdfs::exists(etat))
        return r;
    r.existe = true;
    if (!stdfs::is_directory(etat))
        return r;
    r.dossier = true;
    for (stdfs::directory_iterator it(chemin(c), ec), fin; !ec && it != fin; it.increment(ec)) {
        const QString nom = QString::fromStdString(it->path().filename().string());
        std::error_code e2;
        const stdfs::file_status s = it->symlink_status(e2);
        if (stdfs::is_directory(s) || (stdfs::is_symlink(s) && stdfs::is_directory(it->status(e2)))) {
            r.sousDossier = true;
            continue;
        }
        if (!stdfs::is_regular_file(s))
            continue;   // a link or a special file marks nothing
        const QString bas = nom.toLower();
        if (bas == marqueur(false))
            r.page = true;
        if (bas == marqueur(true)) {
            r.jaquette = true;
            r.fichierJaquette = nom;
        }
        if (nom == QLatin1String("kalmorin.mdb"))
            r.base = true;
    }
    if (ec)
        r.page = r.jaquette = r.base = false;   // a folder that cannot be read holds nothing usable
    return r;
}

QString dossierAcote(const QString& parentDossier, const QString& prefixe)
{
    QByteArray modele = fs::joindre(parentDossier, prefixe + QStringLiteral("XXXXXX")).toLocal8Bit();
    if (const int e = panne::verifier("creer dossier", modele))
        echec(parentDossier, e);
    if (!::mkdtemp(modele.data()))
        echec(parentDossier, errno);
    // mkdtemp makes it private; once in place it is a folder like the others of its parent.
    struct stat etat {};
    if (::stat(parentDossier.toLocal8Bit().constData(), &etat) == 0)
        ::chmod(modele.constData(), etat.st_mode & 07777);
    return QString::fromLocal8Bit(modele);
}

void permuter(const QString& nouveau, const QString& cible, Permutation* etat)
{
    Permutation ignore;
    Permutation& r = etat ? *etat : ignore;
    r = Permutation{};
    const QByteArray n = nouveau.toLocal8Bit(), c = cible.toLocal8Bit();
    const bool existe = examiner(cible).existe;
    const unsigned drapeau = existe ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    if (panne::appel(existe ? "echanger" : "renommer", cible, [&] { return renommer2(n, c, drapeau); }) == 0) {
        r.echecSynchro = synchroniserDossier(parent(cible));
        return;
    }
    const int e = errno;
    if (e != EINVAL && e != ENOSYS)
        echec(cible, e);
    // A disk that cannot exchange two names: the old folder goes aside first, and comes back
    // when the new one cannot take its place.
    if (!existe) {
        if (examiner(cible).existe)
            echec(cible, EEXIST);
        if (panne::appel("renommer", cible, [&] { return ::rename(n.constData(), c.constData()); }) != 0)
            echec(cible, errno);
        r.echecSynchro = synchroniserDossier(parent(cible));
        return;
    }
    // Between the renames the page is under no name of its own: the journal, on the disk before
    // the first of them, tells the next start which hidden folder holds it.
    const QString ancien = dossierAcote(parent(cible), QStringLiteral(".ancien-"));
    const QByteArray a = ancien.toLocal8Bit();
    const auto enleverAncien = [&] { panne::appel("supprimer dossier", ancien, [&] { return ::rmdir(a.constData()); }); };
    QString journal;
    try {
        journal = ecrireJournal(parent(cible), cible, {fs::nomFinal(cible), fs::nomFinal(ancien), fs::nomFinal(nouveau)});
    } catch (...) {
        enleverAncien();
        throw;
    }
    if (panne::appel("renommer", ancien, [&] { return ::rename(c.constData(), a.constData()); }) != 0) {
        const int e2 = errno;
        enleverAncien();
        supprimerJournal(journal);
        echec(cible, e2);
    }
    if (panne::appel("renommer", cible, [&] { return ::rename(n.constData(), c.constData()); }) != 0) {
        const int e2 = errno;
        if (panne::appel("renommer", cible, [&] { return ::rename(a.constData(), c.constData()); }) == 0)
            supprimerJournal(journal);
        else
            r.ancienEnPlace = false;   // both kept, the journal naming them
        echec(cible, e2);
    }
    // The old content under the aside name that the caller clears.
    if (panne::appel("renommer", nouveau, [&] { return ::rename(a.constData(), n.constData()); }) != 0)
        supprimerArbre(ancien);
    r.echecSynchro = synchroniserDossier(parent(cible));
    supprimerJournal(journal);
}

int deplacer(const QString& c, const QString& vers)
{
    // Renaming a folder over an empty folder replaces it in one step.
    if (panne::appel("renommer", vers, [&] { return ::rename(c.toLocal8Bit().constData(), vers.toLocal8Bit().constData()); }) != 0)
        echec(c, errno);
    return synchroniserDossier(parent(c));
}

void reserver(const QString& fichier, qint64 octets)
{
    const QByteArray nom = QFile::encodeName(fichier);
    const int fd = panne::appel("creer fichier", fichier,
                                [&] { return ::open(nom.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600); });
    if (fd < 0)
        echec(fichier, errno);
    int e = panne::verifier("ecrire", fichier);
    if (e == 0)
        e = ::posix_fallocate(fd, 0, static_cast<off_t>(octets));
    if (e == EOPNOTSUPP || e == EINVAL) {
        // A disk that cannot allocate without writing: the room is written.
        const QByteArray bloc(64 * 1024, '\0');
        e = 0;
        for (qint64 fait = 0; fait < octets && e == 0;) {
            const ssize_t n = ::write(fd, bloc.constData(), static_cast<size_t>(std::min<qint64>(bloc.size(), octets - fait)));
            if (n < 0)
                e = errno == EINTR ? 0 : errno;
            else
                fait += n;
        }
    }
    ::close(fd);
    if (e != 0) {
        panne::appel("supprimer", fichier, [&] { return ::unlink(nom.constData()); });
        echec(fichier, e);
    }
}

bool renommer(const QString& source, const QString& cible)
{
    if (panne::appel("renommer", cible,
                     [&] { return ::rename(QFile::encodeName(source).constData(), QFile::encodeName(cible).constData()); }) == 0)
        return true;
    if (errno == EXDEV)
        return false;
    echec(cible, errno);
}

void verifierBaseFermee(const QString& base, bool seule)
{
    bd::rendreAutonome(base, !seule);
    if (!seule)
        return;
    for (const QString& f : {base + QStringLiteral("-wal"), base + QStringLiteral("-shm")})
        if (fs::estFichier(f))
            fs::supprimerFichier(f);
}

bool supprimerArbre(const QString& c)
{
    std::error_code ec;
    const stdfs::file_status etat = stdfs::symlink_status(chemin(c), ec);
    if (ec || !stdfs::exists(etat))
        return true;
    if (panne::verifier("supprimer arbre", c))
        return false;
    // remove_all removes links without following them.
    stdfs::remove_all(chemin(c), ec);
    return !ec;
}

namespace {
// The journals of persopag that remain, by their paths.
QStringList journaux(const QString& perso)
{
    QStringList l;
    std::error_code ec;
    for (stdfs::directory_iterator it(chemin(perso), ec), fin; !ec && it != fin; it.increment(ec)) {
        std::error_code e2;
        const QString nom = QString::fromStdString(it->path().filename().string());
        if (estJournal(nom) && it->is_regular_file(e2) && !it->is_symlink(e2))
            l << fs::joindre(perso, nom);
    }
    return l;
}
}  // namespace

int supprimerDossiersAcote(const QString& perso)
{
    QStringList gardes;
    for (const QString& j : journaux(perso))
        gardes << lireJournal(j);
    int n = 0;
    std::error_code ec;
    for (stdfs::directory_iterator it(chemin(perso), ec), fin; !ec && it != fin; it.increment(ec)) {
        std::error_code e2;
        const QString nom = QString::fromStdString(it->path().filename().string());
        if (it->is_symlink(e2) || !it->is_directory(e2) || !estDossierAcote(nom) || gardes.contains(nom))
            continue;
        if (supprimerArbre(fs::joindre(perso, nom)))
            ++n;
    }
    return n;
}

QStringList reprendre(const QString& perso)
{
    // The journals' own copies being written when the program stopped.
    fs::supprimerRestesEcriture(perso, [](const QString& nom) { return estJournal(nom); });
    QStringList lignes;
    for (const QString& journal : journaux(perso)) {
        const QStringList noms = lireJournal(journal);
        if (noms.isEmpty()) {
            supprimerJournal(journal);
            continue;
        }
        const QString cible = fs::joindre(perso, noms[0]);
        // The target bears its page, old or new, whole: nothing to finish; the hidden folders go.
        // Anything else under the name (a file made meanwhile) is never taken for the page.
        const Contenu t = examiner(cible);
        bool enPlace = t.dossier && (t.page || t.jaquette);
        // Else the page is in one of the hidden folders: the new one (whole, its marker written
        // before the journal) takes the name, or the old one takes it back.
        QStringList gardes;
        for (qsizetype i = noms.size() - 1; i >= 1 && !enPlace; --i) {
            const QString d = fs::joindre(perso, noms[i]);
            const Contenu k = examiner(d);
            if (!k.dossier || (!k.page && !k.jaquette))
                continue;
            if (renommerSansRemplacer(d, cible)) {
                synchroniserDossier(perso);
                enPlace = true;
            } else {
                gardes << d;
            }
        }
        if (enPlace) {
            supprimerJournal(journal);
            continue;
        }
        if (gardes.isEmpty()) {
            supprimerJournal(journal);   // nothing of the page is left to put back
            continue;
        }
        lignes << QStringLiteral("La page %1 n'a pas pu être remise sous son nom après l'arrêt du programme;").arg(nomAffichable(noms[0]))
               << (gardes.size() == 1 ? QStringLiteral("elle est conservée dans le dossier %1.").arg(gardes[0])
                                      : QStringLiteral("elle est conservée dans le dossier %1 (et sa version précédente dans %2).")
                                            .arg(gardes[0], gardes[1]));
    }
    return lignes;
}

void trierNoms(QStringList& noms)
{
    std::sort(noms.begin(), noms.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.toUtf8() < b.toUtf8();
    });
}

}  // namespace kal::perso
