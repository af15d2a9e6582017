// The RTF reader on any bytes, then the writer on what was read: written and read again, the
// document gives back the same text.
#include "commun.h"

#include "platform/base/erreur.h"
#include "platform/richtext/rtf.h"

#include <QTextDocument>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kalfuzz::demarrerQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    const QByteArray octets(reinterpret_cast<const char*>(d), static_cast<qsizetype>(n));
    QTextDocument doc;
    try {
        kal::rtf::lire(octets, doc);
    } catch (const kal::Erreur&) {
        return 0;
    }
    QTextDocument relu;
    kal::rtf::lire(kal::rtf::ecrire(doc), relu);
    if (relu.toRawText() != doc.toRawText())
        __builtin_trap();
    return 0;
}
