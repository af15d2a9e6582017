#include "imaging/fichierstravail.h"

#include "platform/base/fichiers.h"

#include <QFile>

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

}  // namespace kal
