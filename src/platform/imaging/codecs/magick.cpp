// PCX, TARGA and metafiles read, and PCX written, through GraphicsMagick. The format is always
// named, so the library never guesses a format of its own from the content.
#include "platform/imaging/codecs/interne.h"


#include <cstring>
#include <memory>
#include <mutex>

#include <magick/api.h>

namespace kal::image::interne {

namespace {

void initialiser()
{
    static std::once_flag fait;
    std::call_once(fait, [] {
        InitializeMagick(nullptr);
        // The library's own walls, behind the header checks made before it is called.
        SetMagickResourceLimit(WidthResource, coteMax);
        SetMagickResourceLimit(HeightResource, coteMax);
        SetMagickResourceLimit(PixelsResource, pixelsMax);
    });
}

struct Exception {
    ExceptionInfo info;
    Exception() { GetExceptionInfo(&info); }
    ~Exception() { DestroyExceptionInfo(&info); }
    QString texte() const
    {
        QString t = QString::fromLocal8Bit(info.reason ? info.reason : "");
        if (info.description)
            t += QStringLiteral(" (") + QString::fromLocal8Bit(info.description) + QLatin1Char(')');
        return t;
    }
};

struct Liberation {
    void operator()(Image* i) const { DestroyImageList(i); }
    void operator()(ImageInfo* i) const { DestroyImageInfo(i); }
};
using ImageGm = std::unique_ptr<Image, Liberation>;
using InfoGm = std::unique_ptr<ImageInfo, Liberation>;

InfoGm infoPour(const char* format)
{
    InfoGm info(CloneImageInfo(nullptr));
    std::strncpy(info->magick, format, MaxTextExtent - 1);
    info->affirm = MagickTrue;  // the named format and no other
    // The first picture only: bytes after it are never read as further pictures (a TARGA
    // reader would take them for the header of a second one, unchecked).
    info->subimage = 0;
    info->subrange = 1;
    return info;
}

}  // namespace

QImage lireMagick(const QByteArray& donnees, const char* format)
{
    initialiser();
    InfoGm info = infoPour(format);
    if (std::strcmp(format, "WMF") == 0)
        CloneString(&info->density, "96x96");
    Exception e;
    ImageGm image(BlobToImage(info.get(), donnees.constData(), size_t(donnees.size()), &e.info));
    const bool abime = e.info.severity >= ErrorException || e.info.severity == CorruptImageWarning;
    if (!image || abime) {
        if (e.info.severity == ResourceLimitError)
            echec(err::FichierTropGrand, QString::fromLatin1(format) + QStringLiteral(": ") + e.texte());
        echec(err::FichierEndommage, QString::fromLatin1(format) + QStringLiteral(": ") + e.texte());
    }
    verifierTaille(qint64(image->columns), qint64(image->rows));
    const int l = int(image->columns), h = int(image->rows);
    const bool alpha = image->matte != MagickFalse;
    Exception e2;
    const bool gris = !alpha && IsGrayImage(image.get(), &e2.info) != MagickFalse;
    QImage sortie(l, h, gris ? QImage::Format_Grayscale8 : (alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32));
    if (sortie.isNull())
        echec(err::FichierTropGrand, QStringLiteral("mémoire insuffisante pour %1 x %2 pixels").arg(l).arg(h));
    // One row at a time: QImage rows may be padded.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const char* ordre = gris ? "I" : (alpha ? "BGRA" : "BGRP");
#else
    const char* ordre = gris ? "I" : (alpha ? "ARGB" : "PRGB");
#endif
    for (int y = 0; y < h; ++y) {
        Exception e3;
        if (DispatchImage(image.get(), 0, y, (unsigned long)l, 1, ordre, CharPixel, sortie.scanLine(y), &e3.info) != MagickPass)
            echec(err::FichierEndommage, QString::fromLatin1(format) + QStringLiteral(": ") + e3.texte());
    }
    if (!gris && !alpha)  // the padding byte is left as found: make the picture opaque
        for (int y = 0; y < h; ++y) {
            auto* ligne = reinterpret_cast<QRgb*>(sortie.scanLine(y));
            for (int x = 0; x < l; ++x)
                ligne[x] |= 0xFF000000u;
        }
    return sortie;
}

QByteArray ecrirePcx(const QImage& source, int bits)
{
    initialiser();
    const QImage image = formeOpaque(source);
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    const int l = image.width(), h = image.height();
    Exception e;
    QByteArray pixels;  // rows without padding, as the library wants them
    pixels.resize(qsizetype(l) * h * 4);
    for (int y = 0; y < h; ++y)
        std::memcpy(pixels.data() + qsizetype(y) * l * 4, image.constScanLine(y), size_t(l) * 4);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const char* ordre = "BGRP";
#else
    const char* ordre = "PRGB";
#endif
    ImageGm gm(ConstituteImage((unsigned long)l, (unsigned long)h, ordre, CharPixel, pixels.constData(), &e.info));
    if (!gm)
        echec(err::EcritureImpossible, QStringLiteral("PCX: ") + e.texte());
    gm->matte = MagickFalse;
    if (bits <= 8)  // one plane of palette indexes (a grey palette for a grey picture)
        SetImageType(gm.get(), estGris(image) ? GrayscaleType : PaletteType);
    InfoGm info = infoPour("PCX");
    std::strncpy(gm->magick, "PCX", MaxTextExtent - 1);
    size_t longueur = 0;
    Exception e2;
    void* blob = ImageToBlob(info.get(), gm.get(), &longueur, &e2.info);
    if (!blob || longueur == 0) {
        MagickFree(blob);
        echec(err::EcritureImpossible, QStringLiteral("PCX: ") + e2.texte());
    }
    QByteArray sortie(static_cast<const char*>(blob), qsizetype(longueur));
    MagickFree(blob);
    return sortie;
}

}  // namespace kal::image::interne
