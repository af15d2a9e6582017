#include "platform/mail/pageweb.h"

#include "platform/base/erreur.h"

#include <QProcess>
#include <QStandardPaths>

namespace kal::web {

QString programmeOuverture() { return QStandardPaths::findExecutable(QStringLiteral("xdg-open")); }

void ouvrirpageweb(const QString& adresse)
{
    const QString prog = programmeOuverture();
    if (prog.isEmpty())
        throw Erreur(err::FichierIntrouvable, QStringLiteral("xdg-open"));
    if (!QProcess::startDetached(prog, {adresse}))
        throw Erreur(err::AccesChemin, prog);
}

}  // namespace kal::web
