// PCX and metafiles read, and PCX written, through GraphicsMagick (TARGA files have a reader of
// their own, tga.cpp). The format is always
// named, so the library never guesses a format of its own from the content. The library is loaded
// the first time one of these files is met, not with the program: with its coders it brings some
// fifty libraries that a start, or a session of JPEG photos, need not map.
#include "platform/imaging/codecs/interne.h"
#include "platform/base/bibliotheque.h"

#include <cstring>
#include <memory>
#include <type_traits>

#include <magick/api.h>

namespace kal::image::interne {

namespace {

// The library's entry points used here, taken from it once loaded.
struct Gm {
    decltype(&::InitializeMagick) InitializeMagick;
    decltype(&::SetMagickResourceLimit) SetMagickResourceLimit;
    decltype(&::GetExceptionInfo) GetExceptionInfo;
    decltype(&::DestroyExceptionInfo) DestroyExceptionInfo;
    decltype(&::DestroyImageList) DestroyImageList;
    decltype(&::DestroyImageInfo) DestroyImageInfo;
    decltype(&::CloneImageInfo) CloneImageInfo;
    decltype(&::CloneString) CloneString;
    decltype(&::BlobToImage) BlobToImage;
    decltype(&::IsGrayImage) IsGrayImage;
    decltype(&::DispatchImage) DispatchImage;
    decltype(&::ConstituteImage) ConstituteImage;
    decltype(&::SetImageType) SetImageType;
    decltype(&::ImageToBlob) ImageToBlob;
    decltype(&::MagickFree) MagickFree;
    bool ok = false;
};

Gm charger()
{
    Gm g{};
    Bibliotheque b(KAL_SONAME_GM);
    auto prendre = [&](auto& p, const char* nom) { b.prendre(p, nom); };
    prendre(g.InitializeMagick, "InitializeMagick");
    prendre(g.SetMagickResourceLimit, "SetMagickResourceLimit");
    prendre(g.GetExceptionInfo, "GetExceptionInfo");
    prendre(g.DestroyExceptionInfo, "DestroyExceptionInfo");
    prendre(g.DestroyImageList, "DestroyImageList");
    prendre(g.DestroyImageInfo, "DestroyImageInfo");
    prendre(g.CloneImageInfo, "CloneImageInfo");
    prendre(g.CloneString, "CloneString");
    prendre(g.BlobToImage, "BlobToImage");
    prendre(g.IsGrayImage, "IsGrayImage");
    prendre(g.DispatchImage, "DispatchImage");
    prendre(g.ConstituteImage, "ConstituteImage");
    prendre(g.SetImageType, "SetImageType");
    prendre(g.ImageToBlob, "ImageToBlob");
    prendre(g.MagickFree, "MagickFree");
    if (!b.complete())
        return g;
    g.InitializeMagick(nullptr);
    // The library's own walls, behind the header checks made before it is called.
    g.SetMagickResourceLimit(WidthResource, coteMax);
    g.SetMagickResourceLimit(HeightResource, coteMax);
    g.SetMagickResourceLimit(PixelsResource, pixelsMax);
    g.ok = true;
    return g;
}

// The library, loaded and set up on the first call.
const Gm& bibliotheque()
{
    static const Gm g = charger();
    return g;
}

// The same, for a file of that format; code is the error raised when it cannot be loaded.
const Gm& gm(int code, const char* format)
{
    const Gm& g = bibliotheque();
    if (!g.ok)
        echec(code, QString::fromLatin1(format) + QStringLiteral(" : bibliothèque GraphicsMagick (" KAL_SONAME_GM ") introuvable"));
    return g;
}

struct Exception {
    ExceptionInfo info;
    Exception() { bibliotheque().GetExceptionInfo(&info); }
    ~Exception() { bibliotheque().DestroyExceptionInfo(&info); }
    // The library's English reason, for the French cause below.
    QByteArray texte() const
    {
        QByteArray t(info.reason ? info.reason : "");
        if (info.description)
            t += QByteArray(" ") + info.description;
        return t.toLower();
    }
};

// What stops the reading of a file of `format`, in French, from the library's exception.
[[noreturn]] void refuser(const Exception& e, const char* format)
{
    const QString nom = std::strcmp(format, "WMF") == 0 ? QStringLiteral("métafichier") : QStringLiteral("fichier ") + QString::fromLatin1(format);
    const QByteArray t = e.texte();
    if (e.info.severity == ResourceLimitError)
        echec(err::FichierTropGrand, nom + QStringLiteral(" : image trop grande pour la mémoire permise"));
    if (e.info.severity == MissingDelegateError || t.contains("not supported") || t.contains("unsupported"))
        echec(err::FormatNonPris, nom + QStringLiteral(" d'une variante non prise en charge"));
    if (t.contains("end-of-file") || t.contains("end of file") || t.contains("insufficient") || t.contains("short"))
        echec(err::FichierEndommage, nom + QStringLiteral(" coupé avant la fin de l'image"));
    if (t.contains("header"))
        echec(err::FichierEndommage, nom + QStringLiteral(" à l'en-tête impossible"));
    echec(err::FichierEndommage, nom + QStringLiteral(" endommagé : les données de l'image sont illisibles"));
}

struct Liberation {
    void operator()(Image* i) const { bibliotheque().DestroyImageList(i); }
    void operator()(ImageInfo* i) const { bibliotheque().DestroyImageInfo(i); }
};
using ImageGm = std::unique_ptr<Image, Liberation>;
using InfoGm = std::unique_ptr<ImageInfo, Liberation>;

InfoGm infoPour(const char* format)
{
    InfoGm info(bibliotheque().CloneImageInfo(nullptr));
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
    const Gm& g = gm(err::FichierEndommage, format);
    InfoGm info = infoPour(format);
    if (std::strcmp(format, "WMF") == 0)
        g.CloneString(&info->density, "96x96");
    Exception e;
    ImageGm image(g.BlobToImage(info.get(), donnees.constData(), size_t(donnees.size()), &e.info));
    const bool abime = e.info.severity >= ErrorException || e.info.severity == CorruptImageWarning;
    if (!image || abime)
        refuser(e, format);
    verifierTaille(qint64(image->columns), qint64(image->rows));
    const int l = int(image->columns), h = int(image->rows);
    const bool alpha = image->matte != MagickFalse;
    Exception e2;
    const bool gris = !alpha && g.IsGrayImage(image.get(), &e2.info) != MagickFalse;
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
        if (g.DispatchImage(image.get(), 0, y, (unsigned long)l, 1, ordre, CharPixel, sortie.scanLine(y), &e3.info) != MagickPass)
            refuser(e3, format);
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
    const Gm& g = gm(err::EcritureImpossible, "PCX");
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
    ImageGm gmi(g.ConstituteImage((unsigned long)l, (unsigned long)h, ordre, CharPixel, pixels.constData(), &e.info));
    if (!gmi)
        echec(err::EcritureImpossible, QStringLiteral("PCX : l'image n'a pas pu être préparée pour l'écriture"));
    gmi->matte = MagickFalse;
    if (bits <= 8)  // one plane of palette indexes (a grey palette for a grey picture)
        g.SetImageType(gmi.get(), estGris(image) ? GrayscaleType : PaletteType);
    InfoGm info = infoPour("PCX");
    std::strncpy(gmi->magick, "PCX", MaxTextExtent - 1);
    size_t longueur = 0;
    Exception e2;
    void* blob = g.ImageToBlob(info.get(), gmi.get(), &longueur, &e2.info);
    if (!blob || longueur == 0) {
        g.MagickFree(blob);
        echec(err::EcritureImpossible, QStringLiteral("PCX : le fichier n'a pas pu être codé"));
    }
    QByteArray sortie(static_cast<const char*>(blob), qsizetype(longueur));
    g.MagickFree(blob);
    return sortie;
}

}  // namespace kal::image::interne
