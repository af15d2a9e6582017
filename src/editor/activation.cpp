// Enabling the editing controls: the geometry group (position, format, frame, centring,
// rotation, whole image, gamma) and the adjustment group (crop and the five adjustments).
#include "editor/contexteediteur.h"
#include "pagemodel/objets.h"

namespace kal {

void ContexteEditeur::autcontrol(bool objet, bool texte)
{
    const std::initializer_list<Controle*> geometrie = {&c.A_format, &c.E_format, &c.A_margeH, &c.E_margeH, &c.A_margeV,
                                                        &c.E_margeV, &c.C_cadre,  &c.B_centre, &c.E_angle,  &c.A_angle,
                                                        &c.B_initimage, &c.C_image, &c.A_gamma, &c.E_gamma};
    const std::initializer_list<Controle*> reglages = {&c.C_decoupe,   &c.A_contraste, &c.E_contraste, &c.A_couleur,
                                                       &c.E_couleur,   &c.A_intensite, &c.E_intensite, &c.A_nettete,
                                                       &c.E_nettete,   &c.A_saturation, &c.E_saturation};
    c.F_compos.definirVisible(false);
    for (Controle* k : geometrie)
        k->definirActif(false);
    for (Controle* k : reglages)
        k->definirActif(false);
    if (texte)
        c.F_compos.definirVisible(true);
    if (objet) {
        for (Controle* k : geometrie)
            k->definirActif(true);
        // Whole image is offered only while an object of the page or face is turned by other
        // than a right angle.
        objets().activerImageTotale();
    }
    if (texte)
        c.F_compos.definirVisible(true);
    else if (objet)
        for (Controle* k : reglages)
            k->definirActif(true);
}

}  // namespace kal
