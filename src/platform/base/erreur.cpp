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

Erreur::Erreur(int numero, const QString& description, const QString& cause)
    : std::runtime_error(texteErreur(numero, description)), numero_(numero), description_(description), cause_(cause)
{
}

QString Erreur::cause() const
{
    QString c = (cause_.isEmpty() ? description_ : cause_).trimmed();
    while (c.endsWith(QLatin1Char('.')))
        c.chop(1);
    return c;
}

}  // namespace kal
