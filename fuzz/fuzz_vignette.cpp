// The stamp reader: the small picture a JPEG work file carries in its Exif segment, found
// without decoding the main picture.
#include "commun.h"

#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kalfuzz::demarrerQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    static kalfuzz::FichierMemoire fichier;
    const QString& chemin = fichier.remplir(d, n);
    try {
        kal::image::lireVignette(chemin);
    } catch (const kal::Erreur&) {
    }
    return 0;
}
