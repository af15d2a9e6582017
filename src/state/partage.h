#pragma once
// The settings shared by every window for the whole run. They start empty (0, empty text,
// False) and keep their values until the program ends. The start window sets the screen and
// folder values; the editors, the calibration window and the workbench set the others.
#include "platform/base/twips.h"

#include <QString>
#include <cstdint>

namespace kal {

struct ReglagesPartages {
    QString sautligne;            // CR LF: line separator of the text files the program writes
    int32_t hauteurtitre = 0;     // twips: extra height of title bar and borders beyond 375
    QString repdepart;            // the work folder (current folder at start)
    int32_t largeurecranpx = 0;   // 800 on an admitted 800 x 600 screen, else the measured width
    int32_t hauteurecranpx = 0;   // 600 on an admitted 800 x 600 screen, else the measured height
    int16_t numfichier = 0;       // number of the text file being written or read
    QString ligneini;             // last line read from the settings file by the page editor
    int16_t numligne = 0;         // 0-based counter of lines read line by line
    QString rubriquedoc;          // "normal", "jaquette" or "util": chapter the manual opens at
    double gamma = 0;             // display gamma x 100
    double DeltaH = 0;            // horizontal print correction, whole twips
    double DeltaV = 0;            // vertical print correction, whole twips
    // The page's printable surface on the printer's sheet, in whole twips (each one rounded
    // once, as the page editor's margins step computes it).
    Twips margeimpH;              // printer's unprintable margin, left edge
    Twips margeimpV;              // same value, top edge
    Twips origineH;               // smallest left position of an object = margeimpH + 15
    Twips origineV;               // smallest top position = margeimpV + 15
    Twips margedroite;            // right unprintable margin + 15
    Twips margebasse;             // bottom unprintable margin + 15
    bool ajustactif = false;      // the calibration window switched the printer and must restore it
    int32_t orientsauv = 0;       // printer orientation kept by the calibration window
    int32_t papiersauv = 0;       // printer paper size kept by the calibration window
};

}  // namespace kal
