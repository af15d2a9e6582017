// Centring the current object (B_centre, "CENTRER"). The page centres it on the printer's
// physical sheet, not on its printable surface, after shrinking an object that would not fit
// inside the sheet less twice the right and bottom margins; the jacket centres it on the face.
// The position sliders are set with their handlers held back (margesactives False), then the
// object is placed on the preview once.
#include "layout/disposition.h"

#include "platform/base/conversions.h"
#include "platform/printer/imprimante.h"

#include <tuple>

namespace kal {

void Disposition::B_centre_Click()
{
    centrage();
    x_.etat.pagemodifiee = true;
}

void Disposition::centrage()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ControleImage* photo = controleCourant();
    if (!photo || !surPartieMontree() || !rapportValide())
        return;
    const double SW = e.largeursurface, SH = e.hauteursurface;

    status();
    e.margesactives = false;
    const bool largeur = modeLargeur();

    // A slider given its Max first, then its value (each brought within its range: the sheet's
    // centre lies inside the surface on any printer whose margins are even on both sides).
    const auto placer = [](Curseur& a, int max, int valeur) {
        a.definirMax(max);
        valeurBornee(a, valeur);
    };

    double w = 0, h = 0;
    if (!x_.jaquette()) {
        const double PW = x_.imprimante.largeurfeuille();
        const double PH = x_.imprimante.hauteurfeuille();
        const double largeurMax = PW - 2.0 * x_.partage.margedroite;
        const double hauteurMax = PH - 2.0 * x_.partage.margebasse;
        const double v = c.A_format.valeur();
        // Fitted to the sheet, the width first; a fitting object keeps its size.
        if (largeur) {
            if (v > largeurMax)
                valeurBornee(c.A_format, arrondi(largeurMax));
            else if (dimensionsFormat(v, true).second > hauteurMax)
                valeurBornee(c.A_format, arrondi(hauteurMax * e.largeurobjet / e.hauteurobjet));
        } else {
            if (dimensionsFormat(v, false).first > largeurMax)
                valeurBornee(c.A_format, arrondi(largeurMax * e.hauteurobjet / e.largeurobjet));
            else if (v > hauteurMax)
                valeurBornee(c.A_format, arrondi(hauteurMax));
        }
        std::tie(w, h) = dimensionsFormat(c.A_format.valeur(), largeur);
        e.largeurformat = w;
        placer(c.A_margeH, arrondi(SW - w + x_.partage.origineH), arrondi((PW - w) / 2));
        placer(c.A_margeV, arrondi(SH - h + x_.partage.origineV), arrondi((PH - h) / 2));
        c.E_format.definirLegende(legendeFormatDirect(w, h));
    } else {
        // The face's Min values (0) stay as they are.
        std::tie(w, h) = dimensionsFormat(c.A_format.valeur(), largeur);
        e.largeurformat = w;
        placer(c.A_margeH, arrondi(SW - w), arrondi((SW - w) / 2));
        placer(c.A_margeV, arrondi(SH - h), arrondi((SH - h) / 2));
    }
    legendesPositions();
    apercu();

    // The picture's width in pixels (15 twips each) over the printed width in inches.
    e.resolution = e.largeurformat > 0 ? photo->largeurbitmap() / 15 / (e.largeurformat / 1440) : 0;
    couleurformat();
    e.margesactives = true;
}

}  // namespace kal
