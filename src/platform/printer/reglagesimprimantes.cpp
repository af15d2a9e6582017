#include "platform/printer/reglagesimprimantes.h"

#include "platform/base/erreur.h"

#include <QProcess>
#include <QStandardPaths>

namespace kal {

QString pageImprimantes()
{
    QString serveur = qEnvironmentVariable("CUPS_SERVER").trimmed();
    // A socket path or nothing at all: the server of this machine.
    if (serveur.isEmpty() || serveur.startsWith(QLatin1Char('/')))
        serveur = QStringLiteral("localhost");
    if (!serveur.contains(QLatin1Char(':')))
        serveur += QStringLiteral(":631");   // the print server's own port
    return QStringLiteral("http://") + serveur + QStringLiteral("/printers/");
}

void ouvrirreglagesimprimantes()
{
    const QString programme = QStandardPaths::findExecutable(QStringLiteral("system-config-printer"));
    if (!programme.isEmpty() && QProcess::startDetached(programme, {}))
        return;
    const QString navigateur = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!navigateur.isEmpty() && QProcess::startDetached(navigateur, {pageImprimantes()}))
        return;
    throw Erreur(err::FichierIntrouvable,
                 QStringLiteral("ni system-config-printer ni xdg-open n'ont pu être lancés pour régler les imprimantes"));
}

}  // namespace kal
