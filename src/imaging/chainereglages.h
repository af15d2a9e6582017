#pragma once
// The adjustment chain, the same for the editors' display, printing and the workbench: from a
// base picture, the five adjustments in their fixed order (contrast, colour, intensity,
// sharpness, saturation x 10), the photo treatment for photos only, then the frame and the
// rotation with white corners. The five sliders that set them are described here once for
// the editors and the workbench: key, range, steps, edit flag and captions.
#include "platform/controls/controles.h"
#include "platform/imaging/controleimage.h"

#include <optional>

namespace kal {

// Slider values, as the sliders hold them (saturation -99..99: the picture gets ten times it).
struct ValeursReglages {
    int contraste = 0;
    int couleur = 0;
    int intensite = 0;
    int nettete = 0;
    int saturation = 0;
};

// The five adjustments, in their fixed order.
enum class Reglage { Contraste, Couleur, Intensite, Nettete, Saturation };
inline constexpr Reglage OrdreReglages[] = {Reglage::Contraste, Reglage::Couleur, Reglage::Intensite, Reglage::Nettete,
                                             Reglage::Saturation};
int valeurDe(const ValeursReglages& v, Reglage r);

// One adjustment slider, alike in the editors and the workbench.
struct CurseurReglage {
    const char* cle;        // the reset key: "CONT", "COUL", "INT", "NET", "SAT"
    int min, max;           // range
    int petitPas, grandPas; // arrow and page steps
    int flag;               // slot of flagreglage: 0 contrast, 1 intensity, 2 colour, 3 sharpness, 4 saturation
    const char* neutre;     // caption of the slider put back to 0 ("Cont=0")
};
const CurseurReglage& curseurReglage(Reglage r);
// The adjustment a reset key names; none for the empty key or any other.
std::optional<Reglage> reglageDeCle(const QString& cle);
// Gives the slider its range and steps.
void bornerCurseur(Curseur& a, Reglage r);

// The caption of an adjustment's slider, the same in the editors and the workbench: after a
// change ("Cont: 25" for 255, "Coul=-3", "Sat= .5") or while the thumb is dragged ("Cont= 25",
// "Coul=-3", "Sat= .5").
QString legendeReglage(Reglage r, int valeurCurseur, bool enDefilement);

// The caption of the adjustments' reset button: five lines (intensity, contrast, colour,
// saturation, sharpness), "X" on the line of the adjustment the key names ("INT", "CONT",
// "COUL", "SAT", "NET"), on every line for no key; empty for a key that names none of them.
QString legendeRemiseReglages(const QString& cle);

// What follows the adjustments.
struct Finition {
    bool photo = true;                 // photos get the photo treatment, text-images do not
    std::optional<QRectF> cadre;       // frame drawn in control coordinates, when wanted
    std::optional<int> angle;          // degrees; the rotation is applied whenever given, 0 too
};

// One adjustment with its slider's value (saturation: ten times it).
void appliquerReglage(ControleImage& c, Reglage r, int valeurCurseur);
// The five adjustments in their order, each applied also when it is 0.
void appliquerReglages(ControleImage& c, const ValeursReglages& v);
// What follows the adjustments: photo treatment, frame, rotation.
void appliquerFinition(ControleImage& c, const Finition& f);
// The whole chain on the picture the control holds.
void appliquerChaine(ControleImage& c, const ValeursReglages& v, const Finition& f);

}  // namespace kal
