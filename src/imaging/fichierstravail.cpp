#include "imaging/fichierstravail.h"

#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/panne.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kal {

namespace {
QString fichier(const char* nom, int n)
{
    return fs::joindre(fs::dossierCourant(), QLatin1String(nom) + QString::number(n) + QStringLiteral(".svc"));
}
}  // namespace

QString fichierPhoto(int n) { return fichier("photo", n); }
QString fichierInit(int n) { return fichier("init", n); }
QString fichierSauv(int n) { return fichier("sauv", n); }
QString fichierTexte(int n) { return fichier("texte", n); }

QStringList fichierstravail(int n) { return {fichierPhoto(n), fichierInit(n), fichierSauv(n), fichierTexte(n)}; }

QString nomApercuCompression(const QString& extension) { return QStringLiteral("compress.") + extension; }

bool copiesPresentes(int n)
{
    return n >= 0 && fs::estFichier(fichierPhoto(n)) && fs::estFichier(fichierInit(n)) && fs::estFichier(fichierSauv(n));
}

void effacerFichiersTravail(int n)
{
    for (const QString& f : fichierstravail(n))
        QFile::remove(f);
}

void CopiesAnciennes::garder(const QString& cible)
{
    if (!fs::existe(cible)) {
        neuves_ << cible;
        return;
    }
    const QString cachee = noms_.aCote(cible);
    const QByteArray c = QFile::encodeName(cible), h = QFile::encodeName(cachee);
    if (panne::appel("lier", cachee, [&] { return ::link(c.constData(), h.constData()); }) != 0) {
        const QString raison = texteErreurSysteme(errno);
        throw Erreur(err::AccesChemin, cible + QStringLiteral(" : ") + raison + QLatin1Char('.'), raison);
    }
    gardees_.emplace_back(cachee, cible);
}

void CopiesAnciennes::retablir()
{
    for (const QString& f : neuves_)
        QFile::remove(f);
    neuves_.clear();
    while (!gardees_.empty()) {
        const QByteArray h = QFile::encodeName(gardees_.back().first), c = QFile::encodeName(gardees_.back().second);
        // A target never replaced is the kept file itself (a rename between two names of one
        // file does nothing): the second name only goes.
        struct stat sh {}, sc {};
        const bool meme = ::stat(h.constData(), &sh) == 0 && ::stat(c.constData(), &sc) == 0 && sh.st_dev == sc.st_dev &&
                          sh.st_ino == sc.st_ino;
        if (!meme && panne::appel("renommer", gardees_.back().second, [&] { return ::rename(h.constData(), c.constData()); }) != 0) {
            const QString raison = texteErreurSysteme(errno);
            throw Erreur(err::AccesChemin, gardees_.back().second + QStringLiteral(" : ") + raison + QLatin1Char('.'), raison);
        }
        if (meme)
            ::unlink(h.constData());
        gardees_.pop_back();
    }
}

}  // namespace kal
