#pragma once
// The system's printer settings, started apart from the program, which does not wait for
// them: the print settings program (system-config-printer) where it is installed, otherwise the
// print server's page of printers in the user's web browser (xdg-open).
#include <QString>

namespace kal {

// The print server's page of printers: http://host:port/printers/ from CUPS_SERVER when it
// names a host, else the local server (localhost:631).
QString pageImprimantes();

// Starts the printer settings; error 53 (kal::Erreur) when nothing can be started.
void ouvrirreglagesimprimantes();

}  // namespace kal
