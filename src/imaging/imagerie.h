#pragma once
// Photo imaging as the editors use it: the entries of the function list that work on the
// current photo, and the display settings of the editor's imaging controls.
#include "editor/contexteediteur.h"
#include "imaging/chainereglages.h"
#include "imaging/fichierstravail.h"

namespace kal {

class Imagerie {
public:
    explicit Imagerie(ContexteEditeur& ctx) : x_(ctx) {}

    // The entries "Redimensionner" and "Enregistrer sous".
    void brancher();

    // The shared display gamma on every picture the editor shows of its objects (thumbnails;
    // on the jacket also the objects, the face previews and the face outlines), shown with
    // display option 1.
    void gammaaffichage();
    // Jacket: its object controls draw in black.
    void preparerdessin();

private:
    ContexteEditeur& x_;
};

}  // namespace kal
