// Image files of the imaging layer: recognition by content, the limits, and atomic writing.
#include "platform/imaging/codecs/fichiersimage.h"

#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/fichiers.h"
#include "platform/imaging/codecs/interne.h"
#include "platform/imaging/pixels.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace kal::image {

namespace interne {

void echec(int numero, const QString& description) { throw Erreur(numero, description); }

}  // namespace interne

using namespace interne;

namespace {

constexpr qint64 debutLu = 256 * 1024;  // what lireInfo reads first

QString nomFormat(int codeformat)
{
    switch (codeformat) {
    case code::PCX: return QStringLiteral("PCX");
    case code::TIFF: return QStringLiteral("TIFF");
    case code::TARGA: return QStringLiteral("TARGA");
    case code::CMP: return QStringLiteral("CMP");
    case code::BMP: return QStringLiteral("BMP");
    case code::JPEG: return QStringLiteral("JPEG");
    case code::WMF: return QStringLiteral("WMF");
    case code::ICO: return QStringLiteral("ICO");
    default: return QStringLiteral("code %1").arg(codeformat);
    }
}

// Opens a file for reading: 53 when it is missing, 75 when it cannot be read, FichierTropGrand past
// the length limit.
void ouvrir(QFile& fichier)
{
    const QFileInfo fi(fichier.fileName());
    if (fichier.fileName().isEmpty() || !fi.exists())
        throw Erreur(kal::err::FichierIntrouvable, fichier.fileName());
    if (fi.isDir())
        throw Erreur(kal::err::AccesChemin, fichier.fileName());
    if (fi.size() > octetsFichierMax)
        echec(err::FichierTropGrand, QStringLiteral("fichier de %1 octets").arg(fi.size()));
    if (!fichier.open(QIODevice::ReadOnly))
        throw Erreur(kal::err::AccesChemin, fichier.fileName() + QStringLiteral(": ") + enFrancais(fichier.errorString()));
}

QByteArray lireTout(QFile& fichier)
{
    fichier.seek(0);
    QByteArray d = fichier.readAll();
    if (d.size() != fichier.size())
        throw Erreur(kal::err::AccesChemin, fichier.fileName() + QStringLiteral(": ") + enFrancais(fichier.errorString()));
    return d;
}

QByteArray finDe(QFile& fichier)
{
    const qint64 n = qMin<qint64>(fichier.size(), 26);
    fichier.seek(fichier.size() - n);
    return fichier.read(n);
}

int reconnaitre(const QByteArray& debut, const QByteArray& fin)
{
    const int format = detecterFormat(debut, fin);
    if (format == 0)
        echec(err::FormatNonPris, debut.isEmpty() ? QStringLiteral("fichier vide") : QStringLiteral("format d'image inconnu"));
    return format;
}

// Header fields of the formats read by hand, from `donnees` (the whole file, or its beginning
// when `entier` is false). Returns false when more of the file is needed.
bool entete(int format, const QByteArray& donnees, qint64 longueur, InfoFichier& info)
{
    info.codeformat = format;
    switch (format) {
    case code::JPEG:
        return enteteJpeg(donnees, info, longueur);
    case code::BMP:
        enteteBmp(donnees, longueur, info);
        return true;
    case code::PCX:
        entetePcx(donnees, longueur, info);
        return true;
    case code::TARGA:
        enteteTga(donnees, longueur, info);
        return true;
    case code::WMF:
        enteteWmf(donnees, longueur, info);
        return true;
    case code::CMP:
        return enteteJp2(donnees, longueur, info);
    case code::TIFF:  // its directory may lie anywhere: the whole file is needed
        if (donnees.size() < longueur)
            return false;
        enteteTiff(donnees, info);
        return true;
    case code::ICO:
        verifierIco(donnees, longueur);
        return true;
    default:
        return true;
    }
}

void verifierArguments(const QImage& image, int codeformat, int bitsParPixel)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        echec(err::EcritureImpossible, QStringLiteral("aucune image à écrire"));
    if (bitsParPixel < 1 || bitsParPixel > 32)
        echec(err::FormatNonPris, QStringLiteral("%1 bits par pixel").arg(bitsParPixel));
    switch (codeformat) {
    case code::PCX: case code::TIFF: case code::TARGA: case code::CMP: case code::BMP: case code::JPEG: case code::WMF:
        return;
    case code::ICO:
        echec(err::FormatNonPris, QStringLiteral("les icônes se lisent mais ne s'écrivent pas"));
    default:
        echec(err::FormatNonPris, QStringLiteral("format d'écriture inconnu (%1)").arg(nomFormat(codeformat)));
    }
}

QByteArray encoder(const QImage& image, int codeformat, int bits, int qualite)
{
    switch (codeformat) {
    case code::JPEG: return ecrireJpeg(image, bits <= 8, qualiteEncodeur(qualite));
    case code::CMP: return ecrireJp2(image, bits <= 8, qualiteEncodeur(qualite));
    case code::BMP: return ecrireQt(image, "bmp", bits);
    case code::TIFF: return ecrireQt(image, "tiff", bits);
    case code::TARGA: return ecrireTga(image, bits);
    case code::PCX: return ecrirePcx(image, bits);
    case code::WMF: return ecrireWmf(image);
    default: echec(err::FormatNonPris, nomFormat(codeformat));
    }
}

// The new file replaces the old one only once it is whole, written as every file of the program
// is: flushed to the disk first, unless it is a work copy (the program makes those again).
void enregistrer(const QString& chemin, const QByteArray& donnees)
{
    try {
        fs::ecrireFichier(chemin, donnees);
    } catch (const Erreur& e) {
        throw Erreur(err::EcritureImpossible, e.description(), e.cause());
    }
}

}  // namespace

int qualiteEncodeur(int facteur)
{
    const int f = qBound(2, facteur, 255);
    if (f <= 52)
        return 102 - f;
    return qMax(1, arrondi(2500.0 / (f - 2)));
}

InfoFichier lireInfo(const QString& chemin)
{
    QFile fichier(chemin);
    ouvrir(fichier);
    const qint64 longueur = fichier.size();
    QByteArray debut = fichier.read(debutLu);
    const int format = reconnaitre(debut, finDe(fichier));
    InfoFichier info;
    if (format == code::TIFF) {  // libtiff reads the directory from the file where it lies
        enteteTiffAppareil(&fichier, info);
        info.codeformat = format;
        return info;
    }
    if (format == code::ICO) {
        entete(format, debut, longueur, info);
        fichier.seek(0);
        lireQtAppareil(&fichier, "ico", info, false);
        info.codeformat = format;
        return info;
    }
    if (!entete(format, debut, longueur, info)) {
        if (debut.size() < longueur)
            debut = lireTout(fichier);
        if (!entete(format, debut, longueur, info))
            echec(err::FichierEndommage, QStringLiteral("en-tête %1 tronqué").arg(nomFormat(format)));
    }
    return info;
}

QByteArray lireOctets(const QString& chemin)
{
    QFile fichier(chemin);
    ouvrir(fichier);
    return lireTout(fichier);
}

InfoFichier lireInfoDonnees(const QByteArray& donnees)
{
    const int format = reconnaitre(donnees, donnees.right(26));
    InfoFichier info;
    if (!entete(format, donnees, donnees.size(), info))
        echec(err::FichierEndommage, QStringLiteral("en-tête %1 tronqué").arg(nomFormat(format)));
    if (format == code::ICO) {
        QBuffer tampon;
        tampon.setData(donnees);
        tampon.open(QIODevice::ReadOnly);
        lireQtAppareil(&tampon, "ico", info, false);
    }
    info.codeformat = format;
    return info;
}

QImage lireDonnees(const QByteArray& donnees, InfoFichier* info, QSize tailleMin)
{
    if (donnees.size() > octetsFichierMax)
        echec(err::FichierTropGrand, QStringLiteral("fichier de %1 octets").arg(donnees.size()));
    const int format = reconnaitre(donnees, donnees.right(26));
    InfoFichier local;
    InfoFichier& i = info ? *info : local;
    i = InfoFichier{};
    // The header, and its claim against the file's length, before any picture memory is taken.
    if (!entete(format, donnees, donnees.size(), i))
        echec(err::FichierEndommage, QStringLiteral("en-tête %1 tronqué").arg(nomFormat(format)));
    QImage image;
    switch (format) {
    case code::JPEG: image = lireJpeg(donnees, tailleMin); break;
    case code::CMP: image = lireJp2(donnees); break;
    case code::BMP: image = lireBmp(donnees); break;
    case code::TIFF: image = lireTiff(donnees); break;
    case code::ICO: image = lireQt(donnees, "ico", &i); break;
    case code::PCX: image = formeLecture(lireMagick(donnees, "PCX")); break;
    case code::TARGA: image = lireTga(donnees); break;
    case code::WMF: image = formeLecture(lireMagick(donnees, "WMF")); break;
    default: echec(err::FormatNonPris, nomFormat(format));
    }
    i.codeformat = format;
    if (format != code::JPEG) {  // the picture as decoded gives the size
        i.largeur = image.width();
        i.hauteur = image.height();
    }
    return image;
}

QImage lireDonneesReduites(const QByteArray& donnees, QSize cible)
{
    if (donnees.size() > octetsFichierMax)
        echec(err::FichierTropGrand, QStringLiteral("fichier de %1 octets").arg(donnees.size()));
    if (reconnaitre(donnees, donnees.right(26)) == code::JPEG && cible.isValid() && !cible.isEmpty())
        return lireJpegReduite(donnees, cible);
    const QImage r = lireDonnees(donnees, nullptr, cible);
    return r.size() == cible ? enRgb32(r) : reechantillonner(r, cible.width(), cible.height());
}

QImage lireFichier(const QString& chemin, InfoFichier* info, QSize tailleMin)
{
    return lireDonnees(lireOctets(chemin), info, tailleMin);
}

QByteArray encoderImage(const QImage& image, int codeformat, int bitsParPixel, int qualite)
{
    verifierArguments(image, codeformat, bitsParPixel);
    return encoder(image, codeformat, bitsParPixel, qualite);
}

void ecrireFichier(const QImage& image, const QString& chemin, int codeformat, int bitsParPixel, int qualite)
{
    verifierArguments(image, codeformat, bitsParPixel);
    enregistrer(chemin, encoder(image, codeformat, bitsParPixel, qualite));
}

void ecrireVignette(const QImage& image, const QString& chemin, int codeformat, int bitsParPixel, int qualite,
                    const QImage& vignette)
{
    verifierArguments(image, codeformat, bitsParPixel);
    if (codeformat != code::JPEG)
        echec(err::FormatNonPris, QStringLiteral("la vignette ne se range que dans un JPEG"));
    if (vignette.isNull())
        echec(err::EcritureImpossible, QStringLiteral("vignette vide"));
    const int q = qualiteEncodeur(qualite);
    const QByteArray segment = segmentExif(ecrireJpeg(vignette, false, q));
    enregistrer(chemin, ecrireJpeg(image, bitsParPixel <= 8, q, segment));
}

QImage lireVignette(const QString& chemin)
{
    QFile fichier(chemin);
    ouvrir(fichier);
    // The stamp sits in the segments before the picture: the file's beginning is read first.
    QByteArray donnees = fichier.read(debutLu);
    if (detecterFormat(donnees, {}) != code::JPEG)
        echec(err::VignetteAbsente, QStringLiteral("pas de vignette dans ce fichier"));
    QByteArray vignette = vignetteJpeg(donnees);
    if (vignette.isEmpty() && donnees.size() < fichier.size())
        vignette = vignetteJpeg(lireTout(fichier));
    if (vignette.isEmpty())
        echec(err::VignetteAbsente, QStringLiteral("pas de vignette dans ce fichier"));
    return lireJpeg(vignette, {});
}

}  // namespace kal::image
