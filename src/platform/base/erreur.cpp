#include "platform/base/erreur.h"

namespace kal {

static std::string texteErreur(int numero, const QString& description)
{
    QString t = QStringLiteral("erreur %1").arg(numero);
    if (!description.isEmpty())
        t += QStringLiteral(": ") + description;
    return t.toStdString();
}

Erreur::Erreur(int numero, const QString& description)
    : std::runtime_error(texteErreur(numero, description)), numero_(numero), description_(description)
{
}

}  // namespace kal
