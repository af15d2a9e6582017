#pragma once
// Screen layout of an editor window, the preview page and the printable surface.
//
// Every length is in twips. The window is designed for one screen and refitted once at load:
// a band of controls sits on one top line at the bottom of the screen, the indicator labels
// stand directly above it, the pages panel, the composer (page) or the jacket outlines
// (jacket) stand in the top right corner. The printer's sheet becomes the preview page, drawn
// at a scale of `echelleimp` (page) or `echellejaq` (jacket) sheet twips per preview twip.
#include "editor/contexteediteur.h"

#include <array>

namespace kal {

// Jacket sheet geometry on A4 portrait, in sheet twips: the front face as top, left, height,
// width (0-3), the same rectangle as left, top, height, width (4-7; 4 and 5 are the origin of
// front objects), the back face as left, top, height, width (8-11; 8 and 9 its origin).
inline constexpr std::array<int32_t, 12> GeometrieJaquette{1389, 1655, 6832, 8550, 1655, 1389,
                                                          6832, 8550, 1655, 8794, 6691, 8550};

class Disposition {
public:
    explicit Disposition(ContexteEditeur& ctx) : x_(ctx) {}

    // The layout's controls have no handlers of their own yet.
    void brancher() {}

    // Fits the window's controls to the screen (run once by the load). The jacket's version
    // also switches the printer to A4 portrait and sizes its preview page.
    void dimensionecran();
    // Page: sizes the preview page P_page to the proportions of the printer's sheet.
    void dimpage();
    // Page: hardware margin, object limits, scale, printable surface and its caption.
    // Jacket: its own hardware margin, the printable area and the two faces on its preview.
    void marges();
    // Jacket: fills geomjaq.
    void valeurs();

    // Bottom line of the band (the quit button's bottom), from the screen's height.
    int ligneBas() const;

private:
    ContexteEditeur& x_;
    void dimensionecranPage();
    void dimensionecranJaquette();
    void empilerBande();
    void empilerReglages();
    void ligneIndicateurs(int ligne);
    void margesPage();
    void margesJaquette();
};

// The printable-surface caption: "Surface imprimable:" width " x " height " mm", each figure
// in millimetres with one decimal and the user's decimal separator.
QString legendeSurface(double largeurTwips, double hauteurTwips);

}  // namespace kal
