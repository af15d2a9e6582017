#pragma once
// A web address opened in the user's browser through xdg-open.
#include <QString>

namespace kal::web {

// xdg-open as found on PATH; empty when it cannot be found.
QString programmeOuverture();

// Opens the address with xdg-open, which goes on by itself. Raises Erreur 53 when xdg-open
// cannot be found, 75 when it cannot be started.
void ouvrirpageweb(const QString& adresse);

}  // namespace kal::web
