// The image readers on any bytes: header only, full decode, reduced decode. A refusal is an
// Erreur; anything else (a crash, a hang, memory beyond the limits) is a finding.
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
        kal::image::lireInfo(chemin);
    } catch (const kal::Erreur&) {
    }
    try {
        kal::image::InfoFichier info;
        const QImage image = kal::image::lireFichier(chemin, &info);
        if (!image.isNull() && (image.width() != info.largeur || image.height() != info.hauteur))
            __builtin_trap();   // the sizes given are those of the picture read
    } catch (const kal::Erreur&) {
    }
    try {
        kal::image::lireFichier(chemin, nullptr, QSize(40, 30));
    } catch (const kal::Erreur&) {
    }
    return 0;
}
