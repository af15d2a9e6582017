// Hover captions: the window's caption doubles as a status line.
#include "editor/contexteediteur.h"
#include "platform/base/fenetres.h"

namespace kal {

QString ContexteEditeur::legendePage() const
{
    return etat.nompage.isEmpty() ? QStringLiteral("Page non référencée") : QStringLiteral("Page ") + etat.nompage;
}

void ContexteEditeur::survolHorsObjet()
{
    fenetre.setWindowTitle(legendePage());
    etat.objetsurvole = AucunObjet;
}

}  // namespace kal
