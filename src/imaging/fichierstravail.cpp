#include "imaging/fichierstravail.h"

#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/panne.h"

#include <QFile>
#include <cerrno>
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
    const QString cachee = anciennes_.aCote(cible);
    const QByteArray c = QFile::encodeName(cible), h = QFile::encodeName(cachee);
    if (panne::appel("lier", cachee, [&] { return ::link(c.constData(), h.constData()); }) != 0) {
        const QString raison = texteErreurSysteme(errno);
        throw Erreur(err::AccesChemin, cible + QStringLiteral(" : ") + raison + QLatin1Char('.'), raison);
    }
}

void CopiesAnciennes::retablir()
{
    for (const QString& f : neuves_)
        QFile::remove(f);
    neuves_.clear();
    anciennes_.installer();
}

}  // namespace kal
