#include "platform/base/erreursysteme.h"

#include <cerrno>
#include <cstring>
#include <iterator>

namespace kal {

namespace {

struct Cause {
    int numero;
    const char* texte;     // in French
    const char* qt;        // Qt's own English text for it, when Qt has one
};

// The causes a user meets: a missing file, a refusal, a full or read-only disk, and the few
// others file steps give. A text that holds another's comes before it ("Too many open files in
// system" before "Too many open files").
constexpr Cause causes[] = {
    {ENOENT, "le fichier ou le dossier n'existe pas", "No such file or directory"},
    {EACCES, "accès refusé", "Permission denied"},
    {EPERM, "opération non permise", nullptr},
    {ENOSPC, "le disque est plein", "No space left on device"},
    {EDQUOT, "le quota du disque est atteint", nullptr},
    {EROFS, "le disque est en lecture seule", nullptr},
    {EMLINK, "trop de liens", nullptr},
    {ELOOP, "trop de liens symboliques à suivre", nullptr},
    {ENAMETOOLONG, "le nom est trop long", nullptr},
    {ENFILE, "trop de fichiers ouverts dans le système", nullptr},
    {EMFILE, "trop de fichiers ouverts", "Too many open files"},
    {EISDIR, "c'est un dossier", nullptr},
    {ENOTDIR, "le chemin passe par un fichier qui n'est pas un dossier", nullptr},
    {EEXIST, "le fichier existe déjà", nullptr},
    {ENOTEMPTY, "le dossier n'est pas vide", nullptr},
    {EBUSY, "le fichier ou le dossier est utilisé", nullptr},
    {ETXTBSY, "le fichier est utilisé", nullptr},
    {EFBIG, "le fichier dépasse la taille permise", nullptr},
    {EIO, "erreur de lecture ou d'écriture du disque", nullptr},
    {EXDEV, "le fichier ne peut pas passer d'un disque à l'autre", nullptr},
    {ENOMEM, "la mémoire manque", nullptr},
    {EINVAL, "opération impossible sur ce fichier", nullptr},
    {ENXIO, "le périphérique n'existe pas", nullptr},
    {ENODEV, "le périphérique n'existe pas", nullptr},
    {EAGAIN, "ressource momentanément indisponible", nullptr},
    {EINTR, "opération interrompue", nullptr},
    {ESTALE, "le fichier n'est plus accessible sur le disque réseau", nullptr},
};

}  // namespace

QString texteErreurSysteme(int numero)
{
    for (const Cause& c : causes)
        if (c.numero == numero)
            return QString::fromUtf8(c.texte);
    return QStringLiteral("erreur du système n° %1").arg(numero);
}

QString enFrancais(const QString& texteSysteme)
{
    QString t = texteSysteme;
    for (const Cause& c : causes) {
        // The C library's text in the program's language (English where the system has no
        // translation), and Qt's own, which is never translated.
        const QString systeme = QString::fromLocal8Bit(std::strerror(c.numero));
        if (!systeme.isEmpty())
            t.replace(systeme, QString::fromUtf8(c.texte), Qt::CaseInsensitive);
        if (c.qt)
            t.replace(QLatin1String(c.qt), QString::fromUtf8(c.texte), Qt::CaseInsensitive);
    }
    return t;
}

}  // namespace kal
