#pragma once
// The settings file quelvard.ini of the work folder: seven lines read by position.
//   0  gamma x 100          1  empty     2  "[DeltaH]"   3  DeltaH (twips)
//   4  empty                5  "[DeltaV]"              6  DeltaV (twips)
// Line 0 is read in the user's number format (the " 150" the close writes included); lines 3
// and 6 by their leading number, 0 when a line does not start with one, with "." or "," as
// decimal point. Lines after the seventh are ignored; a missing line leaves its value as it was.
#include "state/partage.h"

#include <QString>

namespace kal {

// What the reading found, for the message the load shows and for the close, which rewrites the
// file only when its values came from it.
enum class EtatReglages {
    Lu,          // read whole, as it stands
    Cree,        // was missing: created with the default settings, then read
    Incomplet,   // fewer than seven lines: what was there is read, the rest kept as it was
    Illisible,   // a line holds no usable number: gamma 180 (when line 0) and the file left as it is
};

QString cheminReglages();   // quelvard.ini in the current folder

// The text of the file (without its final line end) as the close writes it: gamma in the
// language-neutral form (" 150"), the corrections in one notation whatever the locale ("-15").
QString texteReglages(double gamma, double deltaH, double deltaV);
// The default file: the literal "180" as line 0, the corrections held in memory.
QString texteReglagesDefaut(double deltaH, double deltaV);
// A correction as the file holds it, and read back ("." or "," as decimal point).
QString texteCorrection(double delta);
double lireCorrection(const QString& ligne);

// Reads quelvard.ini into gamma, DeltaH and DeltaV, creating it first when it is missing. Only
// the first seven lines are read, each no further than a number can reach. A first line that
// is not a number (or far out of any gamma's range) gives gamma 180; the corrections of lines
// 3 and 6 are read all the same. Something else than an ordinary file (a device, a pipe), or a
// file far larger than a settings file, is not read: gamma 180, Illisible. The file is never
// rewritten by the reading. Failures other than a missing file are raised (kal::Erreur).
EtatReglages lirereglages(ReglagesPartages& p);

// Line 0 alone, as the calibration window reads it: the gamma it holds; 180 when it holds no
// usable gamma (as lirereglages); `actuel` when the file is missing or cannot be read. The
// file is neither made nor rewritten.
double lireGammaReglages(double actuel);

// Writes quelvard.ini whole (aside, then put in place) with the current gamma and corrections.
void ecrirereglages(const ReglagesPartages& p);

}  // namespace kal
