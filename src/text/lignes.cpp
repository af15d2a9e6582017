#include "text/lignes.h"

namespace kal {

int compterLignes(const QString& texte)
{
    int lignes = 1;
    // Positions 1 to length - 1, the bound taken once; a CR LF at p resumes the scan at p + 3.
    const qsizetype fin = texte.size() - 1;
    for (qsizetype p = 0; p < fin; ++p) {
        if (texte[p] == QLatin1Char('\r') && texte[p + 1] == QLatin1Char('\n')) {
            ++lignes;
            p += 2;
        }
    }
    return lignes;
}

}  // namespace kal
