#include "platform/base/fichiers.h"

#include "platform/base/erreur.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kal::fs {

namespace stdfs = std::filesystem;

static stdfs::path chemin(const QString& c) { return stdfs::path(c.toStdString()); }
static QString texte(const stdfs::path& p) { return QString::fromStdString(p.string()); }

QString dossierCourant()
{
    std::error_code ec;
    const auto p = stdfs::current_path(ec);
    if (ec)
        throw Erreur(err::AccesChemin, QString::fromStdString(ec.message()));
    return texte(p);
}

void changerDossier(const QString& c)
{
    std::error_code ec;
    stdfs::current_path(chemin(c), ec);
    if (ec)
        throw Erreur(err::CheminIntrouvable, c);
}

QString joindre(const QString& dossier, const QString& nom)
{
    if (dossier.isEmpty())
        return nom;
    if (dossier.endsWith(QLatin1Char('/')))
        return dossier + nom;
    return dossier + QLatin1Char('/') + nom;
}

QString nomFinal(const QString& c)
{
    QString s = c;
    while (s.size() > 1 && s.endsWith(QLatin1Char('/')))
        s.chop(1);
    const int i = s.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? s : s.mid(i + 1);
}

bool existe(const QString& c)
{
    std::error_code ec;
    return stdfs::exists(chemin(c), ec);
}

bool estDossier(const QString& c)
{
    std::error_code ec;
    return stdfs::is_directory(chemin(c), ec);
}

bool estFichier(const QString& c)
{
    std::error_code ec;
    return stdfs::is_regular_file(chemin(c), ec);
}

void creerDossier(const QString& c)
{
    std::error_code ec;
    const auto p = chemin(c);
    if (stdfs::exists(p, ec))
        throw Erreur(err::AccesChemin, c);
    if (p.has_parent_path() && !stdfs::exists(p.parent_path(), ec))
        throw Erreur(err::CheminIntrouvable, c);
    if (!stdfs::create_directory(p, ec) || ec)
        throw Erreur(err::AccesChemin, c);
}

void supprimerDossier(const QString& c)
{
    std::error_code ec;
    const auto p = chemin(c);
    if (!stdfs::is_directory(p, ec))
        throw Erreur(err::CheminIntrouvable, c);
    if (!stdfs::is_empty(p, ec) || ec)
        throw Erreur(err::AccesChemin, c);
    if (!stdfs::remove(p, ec) || ec)
        throw Erreur(err::AccesChemin, c);
}

void copierFichier(const QString& source, const QString& cible)
{
    std::error_code ec;
    if (!stdfs::is_regular_file(chemin(source), ec))
        throw Erreur(err::FichierIntrouvable, source);
    stdfs::copy_file(chemin(source), chemin(cible), stdfs::copy_options::overwrite_existing, ec);
    if (ec)
        throw Erreur(err::AccesChemin, cible);
}

void supprimerFichier(const QString& c)
{
    std::error_code ec;
    const auto p = chemin(c);
    if (!stdfs::exists(p, ec) || stdfs::is_directory(p, ec))
        throw Erreur(err::FichierIntrouvable, c);
    if (!stdfs::remove(p, ec) || ec)
        throw Erreur(err::AccesChemin, c);
}

qint64 longueurFichier(const QString& c)
{
    std::error_code ec;
    const auto n = stdfs::file_size(chemin(c), ec);
    if (ec)
        throw Erreur(err::FichierIntrouvable, c);
    return static_cast<qint64>(n);
}

QDateTime dateFichier(const QString& c)
{
    QFileInfo info(c);
    if (!info.exists())
        throw Erreur(err::FichierIntrouvable, c);
    return info.lastModified();
}

static QStringList lister(const QString& c, bool dossiers)
{
    std::error_code ec;
    if (!stdfs::is_directory(chemin(c), ec))
        throw Erreur(err::CheminIntrouvable, c);
    QStringList noms;
    for (stdfs::directory_iterator it(chemin(c), ec), fin; !ec && it != fin; it.increment(ec)) {
        const QString nom = texte(it->path().filename());
        if (nom.startsWith(QLatin1Char('.')))
            continue;
        std::error_code e2;
        const bool estRep = it->is_directory(e2);
        const bool estOrd = it->is_regular_file(e2);
        if ((dossiers && estRep) || (!dossiers && estOrd))
            noms << nom;
    }
    if (ec)
        throw Erreur(err::AccesChemin, c);
    std::sort(noms.begin(), noms.end(), [](const QString& a, const QString& b) {
        return a.toUtf8() < b.toUtf8();
    });
    QStringList complets;
    for (const QString& n : noms)
        complets << joindre(c, n);
    return complets;
}

QStringList sousDossiers(const QString& c) { return lister(c, true); }
QStringList fichiersDe(const QString& c) { return lister(c, false); }

void ecrireTexte(const QString& c, const QString& t)
{
    QFile f(c);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Erreur(err::AccesChemin, c);
    const QByteArray octets = (t + sautLigne()).toUtf8();
    if (f.write(octets) != octets.size() || !f.flush())
        throw Erreur(err::AccesChemin, c);
}

QStringList lireLignes(const QString& c)
{
    QFile f(c);
    if (!f.exists())
        throw Erreur(err::FichierIntrouvable, c);
    if (!f.open(QIODevice::ReadOnly))
        throw Erreur(err::AccesChemin, c);
    QString t = QString::fromUtf8(f.readAll());
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lignes = t.split(QLatin1Char('\n'));
    if (!lignes.isEmpty() && lignes.last().isEmpty())
        lignes.removeLast();  // the line end of the last line does not open a new line
    return lignes;
}

bool nomSimple(const QString& nom)
{
    return !nom.isEmpty() && nom != QLatin1String(".") && nom != QLatin1String("..")
        && !nom.contains(QLatin1Char('/')) && !nom.contains(QLatin1Char('\\')) && !nom.contains(QChar(0));
}

}  // namespace kal::fs
