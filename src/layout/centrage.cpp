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
    const Twips SW = e.largeursurface, SH = e.hauteursurface;

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
        const Twips PW = x_.imprimante.largeurfeuille();
        const Twips PH = x_.imprimante.hauteurfeuille();
        const Twips largeurMax = PW - 2.0 * x_.partage.margedroite;
        const Twips hauteurMax = PH - 2.0 * x_.partage.margebasse;
        const Twips L(e.largeurobjet), H(e.hauteurobjet);
        const double v = c.A_format.valeur();
        // Fitted to the sheet, the width first; a fitting object keeps its size.
        if (largeur) {
            if (Twips(v) > largeurMax)
                valeurBornee(c.A_format, largeurMax.entier());
            else if (Twips(dimensionsFormat(v, true).second) > hauteurMax)
                valeurBornee(c.A_format, hauteurMax.prorata(L, H).entier());
        } else {
            if (Twips(dimensionsFormat(v, false).first) > largeurMax)
                valeurBornee(c.A_format, largeurMax.prorata(H, L).entier());
            else if (Twips(v) > hauteurMax)
                valeurBornee(c.A_format, hauteurMax.entier());
        }
        std::tie(w, h) = dimensionsFormat(c.A_format.valeur(), largeur);
        e.largeurformat = w;
        placer(c.A_margeH, (SW - Twips(w) + x_.partage.origineH).entier(), ((PW - Twips(w)) / 2).entier());
        placer(c.A_margeV, (SH - Twips(h) + x_.partage.origineV).entier(), ((PH - Twips(h)) / 2).entier());
        c.E_format.definirLegende(legendeFormatDirect(w, h));
    } else {
        // The face's Min values (0) stay as they are.
        std::tie(w, h) = dimensionsFormat(c.A_format.valeur(), largeur);
        e.largeurformat = w;
        placer(c.A_margeH, (SW - Twips(w)).entier(), ((SW - Twips(w)) / 2).entier());
        placer(c.A_margeV, (SH - Twips(h)).entier(), ((SH - Twips(h)) / 2).entier());
    }
    legendesPositions();
    apercu();

    // The picture's width in pixels (15 twips each) over the printed width in inches.
    e.resolution = e.largeurformat > 0 ? photo->largeurbitmap() / 15 / (e.largeurformat / 1440) : 0;
    couleurformat();
    e.margesactives = true;
}

}  // namespace kal
