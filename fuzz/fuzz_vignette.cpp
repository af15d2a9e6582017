// The stamp reader: the small picture a JPEG work file carries in its Exif segment, found
// without decoding the main picture. A stamp is a JPEG of its own, and a few bytes of it can
// declare a picture of hundreds of megapixels: its header is read, and it is decoded only when
// small enough (commun.h).
#include "commun.h"

#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/codecs/interne.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kalfuzz::demarrerQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    const QByteArray octets = QByteArray::fromRawData(reinterpret_cast<const char*>(d), static_cast<qsizetype>(n));
    const QByteArray vignette = kal::image::interne::vignetteJpeg(octets);
    if (!vignette.isEmpty()) {
        kal::image::InfoFichier entete;
        try {
            if (kal::image::interne::enteteJpeg(vignette, entete)
                && kalfuzz::tropGrandPourDecoder(entete.largeur, entete.hauteur))
                return 0;
        } catch (const kal::Erreur&) {
        }
    }
    static kalfuzz::FichierMemoire fichier;
    const QString& chemin = fichier.remplir(d, n);
    try {
        kal::image::lireVignette(chemin);
    } catch (const kal::Erreur&) {
    }
    return 0;
}
