#pragma once
// The crop rectangle, the same in the editors and the workbench: drawn with the mouse from the
// press point over the picture as shown, given to the control's display rectangle, and read
// back into the picture's own units. What each window cuts with it, and how it treats an empty
// rectangle, is its own.
#include "platform/imaging/controleimage.h"

#include <QRect>

namespace kal {

// The rectangle a drag draws from the press point (departX, departY) to (x, y), whichever way
// the drag went: left and top the smaller coordinates, width and height the differences.
QRect rectangleTrace(int departX, int departY, int x, int y);

// The rectangle last given to the display rectangle of the picture shown (gauchesel ...),
// taken into a picture of `largeur` x `hauteur` units: each side scaled by that size over the
// size the picture is shown at (largeurvue, hauteurvue), every value read from the control in
// single precision, rounded to the nearest whole unit (halves to even), not clamped.
QRect rectangleDansImage(const ControleImage& montree, double largeur, double hauteur);

// The picture shown whole again where it is shown, without a rectangle drawn over it.
void effacerRectangle(ControleImage& c);

// After a crop: the picture shown whole in the whole control.
void afficherEntiere(ControleImage& c);

}  // namespace kal
