#include "pagefiles/dossiersperso.h"

#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/fichiers.h"
#include "platform/base/panne.h"

#include <QFile>
#include <QFileInfo>
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

// The folder's new names last: flushed to the disk.
void synchroniserDossier(const QString& dossier)
{
    const int fd = ::open(dossier.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)panne::appel("synchroniser dossier", dossier, [&] { return ::fsync(fd); });
        ::close(fd);
    }
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

void permuter(const QString& nouveau, const QString& cible)
{
    const QByteArray n = nouveau.toLocal8Bit(), c = cible.toLocal8Bit();
    const bool existe = examiner(cible).existe;
    const unsigned drapeau = existe ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    const auto echange = [&] {
        if (panne::echangeRefuse()) {
            errno = EINVAL;
            return -1;
        }
        return ::renameat2(AT_FDCWD, n.constData(), AT_FDCWD, c.constData(), drapeau);
    };
    if (panne::appel(existe ? "echanger" : "renommer", cible, echange) == 0) {
        synchroniserDossier(parent(cible));
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
        synchroniserDossier(parent(cible));
        return;
    }
    const QString ancien = dossierAcote(parent(cible), QStringLiteral(".ancien-"));
    const QByteArray a = ancien.toLocal8Bit();
    if (panne::appel("renommer", ancien, [&] { return ::rename(c.constData(), a.constData()); }) != 0) {
        const int e2 = errno;
        panne::appel("supprimer dossier", ancien, [&] { return ::rmdir(a.constData()); });
        echec(cible, e2);
    }
    if (panne::appel("renommer", cible, [&] { return ::rename(n.constData(), c.constData()); }) != 0) {
        const int e2 = errno;
        panne::appel("renommer", cible, [&] { return ::rename(a.constData(), c.constData()); });
        echec(cible, e2);
    }
    // The old content under the aside name that the caller clears.
    if (panne::appel("renommer", nouveau, [&] { return ::rename(a.constData(), n.constData()); }) != 0)
        supprimerArbre(ancien);
    synchroniserDossier(parent(cible));
}

void deplacer(const QString& c, const QString& vers)
{
    // Renaming a folder over an empty folder replaces it in one step.
    if (panne::appel("renommer", vers, [&] { return ::rename(c.toLocal8Bit().constData(), vers.toLocal8Bit().constData()); }) != 0)
        echec(c, errno);
    synchroniserDossier(parent(c));
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

int supprimerDossiersAcote(const QString& perso)
{
    // mkdtemp's six letters or digits after the prefixes the page files use.
    static const QRegularExpression motif(
        QStringLiteral("^\\.(sauvegarde|suppression|ancien|conversion)-[A-Za-z0-9]{6}$"));
    int n = 0;
    std::error_code ec;
    for (stdfs::directory_iterator it(chemin(perso), ec), fin; !ec && it != fin; it.increment(ec)) {
        std::error_code e2;
        const QString nom = QString::fromStdString(it->path().filename().string());
        if (it->is_symlink(e2) || !it->is_directory(e2) || !motif.match(nom).hasMatch())
            continue;
        if (supprimerArbre(fs::joindre(perso, nom)))
            ++n;
    }
    return n;
}

void trierNoms(QStringList& noms)
{
    std::sort(noms.begin(), noms.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.toUtf8() < b.toUtf8();
    });
}

}  // namespace kal::perso
