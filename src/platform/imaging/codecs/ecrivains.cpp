// BMP and icons read, BMP and TIFF written, through Qt's image plugins; TARGA and metafiles
// written by hand (no library here writes a TARGA from the top row down, and none writes a
// metafile); the picture forms.
#include "platform/imaging/codecs/interne.h"
#include "platform/base/erreursysteme.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <mutex>

namespace kal::image::interne {

// ---- picture forms ------------------------------------------------------------------------------------

bool estGris(const QImage& image)
{
    return image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16 || image.isGrayscale();
}

QImage formeLecture(QImage image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return image;
    case QImage::Format_Grayscale16:
        return image.convertToFormat(QImage::Format_Grayscale8);
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        if (!image.hasAlphaChannel() && image.isGrayscale())
            return image.convertToFormat(QImage::Format_Grayscale8);
        break;
    default:
        break;
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

QImage formeOpaque(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    QImage sortie(image.size(), QImage::Format_RGB32);
    if (sortie.isNull())
        return sortie;
    sortie.fill(Qt::white);
    QPainter p(&sortie);
    p.drawImage(0, 0, image);
    return sortie;
}

QImage enGris(const QImage& image)
{
    if (image.format() == QImage::Format_Grayscale8)
        return image;
    const QImage source = formeOpaque(image);
    QImage sortie(source.size(), QImage::Format_Grayscale8);
    if (source.isNull() || sortie.isNull())
        return {};
    for (int y = 0; y < source.height(); ++y) {
        const auto* px = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uchar* ligne = sortie.scanLine(y);
        for (int x = 0; x < source.width(); ++x)
            ligne[x] = uchar((qRed(px[x]) * 299 + qGreen(px[x]) * 587 + qBlue(px[x]) * 114 + 500) / 1000);
    }
    return sortie;
}

QImage formeHuitBits(const QImage& image)
{
    if (estGris(image) && !image.hasAlphaChannel())
        return enGris(image);
    return formeOpaque(image).convertToFormat(QImage::Format_Indexed8);
}

// ---- Qt plugins ---------------------------------------------------------------------------------------

namespace {

int bitsDuFormat(QImage::Format f)
{
    switch (f) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
        return 8;
    case QImage::Format_Grayscale16:
        return 16;
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return 24;
    case QImage::Format_RGBX64:
        return 48;
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return 64;
    default:
        return QImage(1, 1, f).depth();
    }
}

// The plugin's failure in French (its texts are English, or Qt's own translation of them).
void erreurLecteur(const QImageReader& lecteur, const char* format)
{
    const QString nom = qstrcmp(format, "ico") == 0 ? QStringLiteral("icône") : QStringLiteral("fichier ") + QString::fromLatin1(format).toUpper();
    switch (lecteur.error()) {
    case QImageReader::UnsupportedFormatError:
        echec(err::FormatNonPris, nom + QStringLiteral(" d'une variante non prise en charge"));
    case QImageReader::DeviceError:
        echec(err::FichierEndommage, nom + QStringLiteral(" : la lecture s'est arrêtée avant la fin du fichier"));
    default:
        echec(err::FichierEndommage, nom + QStringLiteral(" : les données de l'image sont endommagées ou illisibles"));
    }
}

}  // namespace

// Reads the header (and the picture when `image` is given) from `appareil`. An icon holds several
// pictures, and the largest is taken.
QImage lireQtAppareil(QIODevice* appareil, const char* format, InfoFichier& info, bool image)
{
    static std::once_flag limite;
    std::call_once(limite, [] {
        // Qt's own wall (128 MB by default) set just above the layer's pixel limit in 32 bits.
        QImageReader::setAllocationLimit(int((pixelsMax * 4) >> 20) + 64);
    });
    QImageReader lecteur(appareil, format);
    lecteur.setAutoDetectImageFormat(false);
    lecteur.setAutoTransform(false);
    if (!lecteur.canRead())
        erreurLecteur(lecteur, format);
    if (qstrcmp(format, "ico") == 0 && lecteur.imageCount() > 1) {
        int meilleure = 0;
        qint64 surface = -1;
        for (int i = 0; i < lecteur.imageCount() && i < 256; ++i) {
            if (!lecteur.jumpToImage(i))
                break;
            const QSize t = lecteur.size();
            if (qint64(t.width()) * t.height() > surface) {
                surface = qint64(t.width()) * t.height();
                meilleure = i;
            }
        }
        lecteur.jumpToImage(meilleure);
    }
    const QSize taille = lecteur.size();
    if (taille.isValid())
        verifierTaille(taille.width(), taille.height());
    else if (!image)
        echec(err::FichierEndommage, QString::fromLatin1(format).toUpper() + QStringLiteral(": en-tête illisible"));
    info.largeur = taille.width();
    info.hauteur = taille.height();
    info.bitsParPixel = bitsDuFormat(lecteur.imageFormat());
    if (!image)
        return {};
    QImage sortie;
    if (!lecteur.read(&sortie))
        erreurLecteur(lecteur, format);
    verifierTaille(sortie.width(), sortie.height());
    if (!taille.isValid()) {
        info.largeur = sortie.width();
        info.hauteur = sortie.height();
    }
    if (info.bitsParPixel <= 0)
        info.bitsParPixel = bitsDuFormat(sortie.format());
    return formeLecture(sortie);
}

QImage lireQt(const QByteArray& donnees, const char* format, InfoFichier* info)
{
    QBuffer tampon;
    tampon.setData(donnees);
    tampon.open(QIODevice::ReadOnly);
    InfoFichier local;
    return lireQtAppareil(&tampon, format, info ? *info : local, true);
}

QByteArray ecrireQt(const QImage& source, const char* format, int bits)
{
    QImage image;
    const bool bmp = qstrcmp(format, "bmp") == 0;
    if (bits <= 8) {
        image = formeHuitBits(source);
        if (bmp && image.format() == QImage::Format_Grayscale8)  // a BMP holds grey as a grey palette
            image = image.convertToFormat(QImage::Format_Indexed8);
        if (image.format() == QImage::Format_Indexed8 && image.colorCount() < 256) {
            // a full table, so that the file holds 8 bits a pixel as asked (not 4 or 1)
            QList<QRgb> table = image.colorTable();
            table.resize(256, qRgb(0, 0, 0));
            image.setColorTable(table);
        }
    } else if (bits == 32 && source.hasAlphaChannel()) {
        image = source.convertToFormat(QImage::Format_ARGB32);
    } else {
        image = formeOpaque(source);
    }
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    QByteArray sortie;
    QBuffer tampon(&sortie);
    tampon.open(QIODevice::WriteOnly);
    QImageWriter ecrivain(&tampon, format);
    if (!ecrivain.write(image))
        echec(err::EcritureImpossible,
              QString::fromLatin1(format).toUpper() + QStringLiteral(": ") + enFrancais(ecrivain.errorString()));
    return sortie;
}

// ---- TARGA ------------------------------------------------------------------------------------------
// Uncompressed, rows from the top (descriptor bit 5), with the TARGA 2.0 footer:
// 8 bits grey (type 3) or palette (type 1, 256 BGR entries), 24 bits BGR, 32 bits BGRA (type 2).

QByteArray ecrireTga(const QImage& source, int bits)
{
    QImage image = bits <= 8 ? formeHuitBits(source)
                             : (bits == 32 && source.hasAlphaChannel() ? source.convertToFormat(QImage::Format_ARGB32) : formeOpaque(source));
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    const int l = image.width(), h = image.height();
    if (l > 65535 || h > 65535)
        echec(err::EcritureImpossible, QStringLiteral("image trop grande pour TARGA"));
    const bool gris = image.format() == QImage::Format_Grayscale8;
    const bool palette = image.format() == QImage::Format_Indexed8;
    const bool alpha = image.format() == QImage::Format_ARGB32;
    const int octetsPixel = (gris || palette) ? 1 : (alpha ? 4 : 3);
    QByteArray s;
    s.reserve(18 + 768 + qsizetype(l) * h * octetsPixel + 26);
    auto u8 = [&](int v) { s.append(char(v)); };
    auto u16 = [&](int v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); };
    u8(0);
    u8(palette ? 1 : 0);
    u8(gris ? 3 : (palette ? 1 : 2));
    u16(0);
    u16(palette ? 256 : 0);
    u8(palette ? 24 : 0);
    u16(0);
    u16(0);
    u16(l);
    u16(h);
    u8(octetsPixel * 8);
    u8(0x20 | (alpha ? 8 : 0));
    if (palette) {
        const QList<QRgb> table = image.colorTable();
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < table.size() ? table[i] : 0;
            u8(qBlue(c)); u8(qGreen(c)); u8(qRed(c));
        }
    }
    for (int y = 0; y < h; ++y) {
        const uchar* ligne = image.constScanLine(y);
        if (octetsPixel == 1) {
            s.append(reinterpret_cast<const char*>(ligne), l);
            continue;
        }
        const auto* px = reinterpret_cast<const QRgb*>(ligne);
        for (int x = 0; x < l; ++x) {
            u8(qBlue(px[x])); u8(qGreen(px[x])); u8(qRed(px[x]));
            if (alpha)
                u8(qAlpha(px[x]));
        }
    }
    s.append(QByteArray(8, '\0'));  // no extension area, no developer area
    s.append("TRUEVISION-XFILE.\0", 18);
    return s;
}

// ---- placeable metafile ----------------------------------------------------------------------------------
// 22-byte placeable header (bounding box in pixels, 96 units per inch), the 18-byte metafile header,
// then: window origin, window extent, stretch mode, one StretchDIB record holding the picture as a
// 24-bit bottom-up DIB, and the end record.

QByteArray ecrireWmf(const QImage& source)
{
    const QImage image = formeOpaque(source);
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    const int l = image.width(), h = image.height();
    if (l > 32767 || h > 32767)
        echec(err::EcritureImpossible, QStringLiteral("image trop grande pour un métafichier (32767 pixels au plus par côté)"));
    const qint64 ligneDib = ((qint64(l) * 3 + 3) / 4) * 4;
    const qint64 octetsDib = 40 + ligneDib * h;
    const qint64 motsStretch = (6 + 4 + 2 + 16 + octetsDib + 1) / 2;
    const qint64 motsEnregistrements = 5 + 5 + 4 + motsStretch + 3;
    const qint64 motsTotal = 9 + motsEnregistrements;
    if (motsTotal > 0x7FFFFFFF)
        echec(err::EcritureImpossible, QStringLiteral("image trop grande pour un métafichier"));

    QByteArray s;
    s.reserve(22 + motsTotal * 2);
    auto u16 = [&](int v) { s.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto u32 = [&](qint64 v) { u16(int(v & 0xFFFF)); u16(int((v >> 16) & 0xFFFF)); };
    // Placeable header and its checksum.
    const int entete[10] = {0xCDD7, 0x9AC6, 0, 0, 0, l, h, 96, 0, 0};
    int somme = 0;
    for (int v : entete) {
        u16(v);
        somme ^= v;
    }
    u16(somme);
    // Metafile header: in memory, 9 words, version 3.0, size, no objects, largest record, unused.
    u16(1); u16(9); u16(0x0300); u32(motsTotal); u16(0); u32(motsStretch); u16(0);
    // SetWindowOrg(0, 0), SetWindowExt(h, w), SetStretchBltMode(COLORONCOLOR).
    u32(5); u16(0x020B); u16(0); u16(0);
    u32(5); u16(0x020C); u16(h); u16(l);
    u32(4); u16(0x0107); u16(3);
    // StretchDIB: raster operation SRCCOPY, DIB_RGB_COLORS, source and destination rectangles.
    u32(motsStretch); u16(0x0F43);
    u32(0x00CC0020); u16(0);
    u16(h); u16(l); u16(0); u16(0);
    u16(h); u16(l); u16(0); u16(0);
    // BITMAPINFOHEADER: 24 bits, uncompressed, 96 dpi (3780 pixels a metre).
    u32(40); u32(l); u32(h); u16(1); u16(24); u32(0); u32(ligneDib * h); u32(3780); u32(3780); u32(0); u32(0);
    const qsizetype debut = s.size();
    s.resize(debut + qsizetype(ligneDib * h), '\0');
    char* dib = s.data() + debut;
    for (int y = 0; y < h; ++y) {
        const auto* px = reinterpret_cast<const QRgb*>(image.constScanLine(h - 1 - y));
        char* ligne = dib + qsizetype(y) * ligneDib;
        for (int x = 0; x < l; ++x) {
            ligne[3 * x] = char(qBlue(px[x]));
            ligne[3 * x + 1] = char(qGreen(px[x]));
            ligne[3 * x + 2] = char(qRed(px[x]));
        }
    }
    if (octetsDib % 2)
        s.append('\0');
    u32(3); u16(0);  // end of the metafile
    return s;
}

}  // namespace kal::image::interne
