#pragma once
// The geometry of one object, from its record alone: its rectangle (the stored position and
// the unturned size) and its turned box, the box that grows with a picture turned by an angle.
// The preview places the objects with it and the printer prints them with it, so that screen
// and paper cannot disagree. Lengths are in the editor's unit: sheet twips on the page, face
// twips on the jacket; the preview divides them by its scale.
#include "platform/base/twips.h"

#include <QSize>
#include <QString>
#include <utility>

namespace kal {

namespace bd {
class JeuEnregistrements;
}

// What the geometry takes from an object record: leftimp, topimp, widthimp, heightimp, rot.
struct FicheGeometrie {
    Twips gauche, haut, largeur, hauteur;
    int rot = 0;
};
FicheGeometrie lireGeometrie(const bd::JeuEnregistrements& fiche);

struct GeometrieObjet {
    RectTwips rect;    // the stored position and the unturned size
    RectTwips boite;   // the turned box, from the same corner
};

// An angle of 0, 90, 180, -90 or -180 degrees.
bool angleDroitOuNul(int rot);

// The box of an unturned largeur x hauteur picture of `pixels` turned by rot degrees. A quarter
// turn swaps the sides and a half turn keeps them; any other angle grows each side by the
// turned picture's pixels over the picture's own, as the imaging layer turns it.
std::pair<Twips, Twips> boiteTournee(Twips largeur, Twips hauteur, QSize pixels, int rot);
// The unturned size whose turned box is largeur x hauteur: the inverse of boiteTournee.
std::pair<Twips, Twips> tailleAvantRotation(Twips largeur, Twips hauteur, QSize pixels, int rot);

// The object's rectangle and turned box. `pixels` is the size of its base picture (sauv<n>.svc);
// only a turn by an angle that is not right needs it.
GeometrieObjet geometrieObjet(const FicheGeometrie& f, QSize pixels);

// The size in pixels of an image file, from its header (an empty size when it cannot be read).
QSize pixelsFichier(const QString& chemin);

}  // namespace kal
