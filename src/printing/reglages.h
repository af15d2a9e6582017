#pragma once
// The settings file quelvard.ini of the work folder: seven lines read by position.
//   0  gamma x 100          1  empty     2  "[DeltaH]"   3  DeltaH (twips)
//   4  empty                5  "[DeltaV]"              6  DeltaV (twips)
// Line 0 is read in the user's number format (the " 150" the close writes included); lines 3
// and 6 by their leading number, 0 when a line does not start with one. Lines after the
// seventh are ignored; a missing line leaves its value as it was.
#include "state/partage.h"

#include <QString>

namespace kal {

// What the reading found, for the message the load shows.
enum class EtatReglages {
    Lu,          // read as it stands
    Cree,        // was missing: created with the default settings, then read
    Remplace,    // line 0 was no number: rewritten with the default gamma, corrections kept
};

QString cheminReglages();   // quelvard.ini in the current folder

// The text of the file (without its final line end) as the close writes it: gamma in the
// language-neutral form (" 150"), the corrections in the user's format.
QString texteReglages(double gamma, double deltaH, double deltaV);
// The default file: the literal "180" as line 0, the corrections held in memory.
QString texteReglagesDefaut(double deltaH, double deltaV);

// Reads quelvard.ini into gamma, DeltaH and DeltaV, creating it first when it is missing.
// A first line that is not a number (or far out of any gamma's range) gives gamma 180; the
// corrections of lines 3 and 6 are read all the same and the file is rewritten in the
// default form with them. Failures other than a missing file are raised (kal::Erreur).
EtatReglages lirereglages(ReglagesPartages& p);

// Writes quelvard.ini whole with the current gamma and corrections (the editors' close).
void ecrirereglages(const ReglagesPartages& p);

}  // namespace kal
