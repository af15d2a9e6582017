// The settings file quelvard.ini: its lines read no further than needed, then the numbers of
// its first, fourth and seventh lines (gamma, horizontal and vertical corrections) read as the
// settings are.
#include "commun.h"

#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kalfuzz::demarrerQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    static kalfuzz::FichierMemoire fichier;
    const QString& chemin = fichier.remplir(d, n);
    const QStringList lignes = kal::fs::lireLignes(chemin, 7, 256);
    if (lignes.size() > 7)
        __builtin_trap();
    for (const QString& l : lignes)
        if (l.size() > 256)
            __builtin_trap();
    for (int i : {0, 3, 6}) {
        if (i >= lignes.size())
            break;
        try {
            (void)(i == 0 ? kal::CDbl(lignes[i]) : kal::Val(lignes[i]));
        } catch (const kal::Erreur&) {
        }
    }
    if (lignes != kal::fs::lireLignes(chemin).mid(0, 7) && n < 256)
        __builtin_trap();   // a short file reads the same with or without the limits
    return 0;
}
