#pragma once
// The program's windows and its start.
#include "state/partage.h"

#include <QString>

namespace kal {

struct OptionsProgramme {
    QString ancienDossier;   // old personal-pages folder; empty for the default
};

// Registers every window of the program under its name, with the shared settings it uses.
void enregistrerFenetres(ReglagesPartages& partage, const OptionsProgramme& options = {});

// Loads the start window. Returns false when its load ended the program (unsuitable screen);
// otherwise the start window is shown and the event loop may run.
bool demarrerProgramme(ReglagesPartages& partage, const OptionsProgramme& options = {});

// main(): start the program and run it until it ends.
int executerProgramme();

}  // namespace kal
