#include "platform/base/application.h"

#include "platform/base/erreur.h"
#include "platform/base/messages.h"

#include <cstdio>
#include <exception>

namespace kal {

QString messageErreurImprevue(int numero, const QString& description)
{
    QStringList lignes{numero ? QStringLiteral("Une erreur imprévue s'est produite (erreur %1):").arg(numero)
                              : QStringLiteral("Une erreur imprévue s'est produite:")};
    if (!description.isEmpty())
        lignes << description;
    lignes << QStringLiteral("L'opération est abandonnée; le travail en cours est conservé.");
    return lignes.join(QLatin1Char('\r'));
}

namespace {
void signaler(int numero, const QString& description)
{
    std::fprintf(stderr, "kalmorin: erreur imprévue %d: %s\n", numero, qPrintable(description));
    // A box shown while the previous one is still open would stack them without end.
    static bool dejaAffiche = false;
    if (dejaAffiche)
        return;
    dejaAffiche = true;
    MsgBox(messageErreurImprevue(numero, description), msg::OK + msg::Critique, QStringLiteral("ERREUR"));
    dejaAffiche = false;
}
}  // namespace

bool Application::notify(QObject* destinataire, QEvent* evenement)
{
    try {
        return QApplication::notify(destinataire, evenement);
    } catch (const Erreur& e) {
        signaler(e.numero(), e.description());
    } catch (const std::exception& e) {
        signaler(0, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

}  // namespace kal
