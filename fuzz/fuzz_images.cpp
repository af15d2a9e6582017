// One image reader on any bytes: header only, full decode, reduced decode, as the program reads
// its pictures. Built once per format (KAL_FUZZ_FORMAT, a format code): inputs that are not of
// that format are set aside, so that each reader gets the whole run. A refusal is an Erreur;
// anything else (a crash, a hang, memory beyond the limits) is a finding.
//
// A few bytes can declare a large picture that the readers accept by design (a BMP of
// 16,000 x 16,000 pixels in 1.4 KB of run-length codes, under the 268-megapixel limit): its
// decode takes a gigabyte and many seconds under the sanitizers, so that one input can stop a
// run on time, and finds nothing a small picture would not. The header is read and every refusal
// made on every input; the decodes are skipped for a picture whose header passes
// kalfuzz::pixelsDecodes (commun.h).
#include "commun.h"

#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/codecs/interne.h"

#ifndef KAL_FUZZ_FORMAT
#error "KAL_FUZZ_FORMAT: the format code this target reads"
#endif

namespace img = kal::image;

constexpr int formatLu = KAL_FUZZ_FORMAT;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kalfuzz::demarrerQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    const QByteArray octets = QByteArray::fromRawData(reinterpret_cast<const char*>(d), static_cast<qsizetype>(n));
    // Recognised by content as the program does; another format's input is not kept.
    if (img::interne::detecterFormat(octets, octets.right(26)) != formatLu)
        return -1;

    static kalfuzz::FichierMemoire fichier;
    const QString& chemin = fichier.remplir(d, n);
    try {
        const img::InfoFichier entete = img::lireInfo(chemin);
        if (kalfuzz::tropGrandPourDecoder(entete.largeur, entete.hauteur))
            return 0;
    } catch (const kal::Erreur&) {
        // A header refused: the decodes below refuse it too, each in its own way.
    }
    try {
        img::InfoFichier info;
        const QImage image = img::lireFichier(chemin, &info);
        if (!image.isNull() && (image.width() != info.largeur || image.height() != info.hauteur))
            __builtin_trap();   // the sizes given are those of the picture read
    } catch (const kal::Erreur&) {
    }
    try {
        img::lireFichier(chemin, nullptr, QSize(40, 30));
    } catch (const kal::Erreur&) {
    }
    if constexpr (formatLu == img::code::JPEG) {
        // The display copy of a JPEG is resampled while it is decoded, on a second thread; a large
        // one without restart markers is read on every core (so is its full decode above).
        try {
            const QImage r = img::lireDonneesReduites(octets, QSize(23, 17));
            if (r.size() != QSize(23, 17))
                __builtin_trap();
        } catch (const kal::Erreur&) {
        }
    }
    return 0;
}
