// The frame box C_cadre ("Cadre"): whether the current object prints with a black frame. A
// tick or untick stores the value in the object's record (`cadre`, 0 or 1) at once and redraws
// the object, so that the preview shows the frame as it will print. Code that sets the box
// holds this back with majencours, or with the count at 0.
#include "pagemodel/objets.h"

#include "imaging/imagerie.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"
#include "printing/impression.h"
#include "text/textes.h"

namespace kal {

void ModeleObjets::decocherCadre()
{
    // With the count at 0 the box's click does nothing.
    EtatEditeur& e = x_.etat;
    const int32_t nb = e.nbobjets;
    e.nbobjets = 0;
    x_.c.C_cadre.definirValeur(0);
    e.nbobjets = nb;
}

void ModeleObjets::C_cadre_Click()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (e.majencours)
        return;
    const int32_t format = e.valeurformat;
    if (e.nbobjets == 0)
        return;
    // No current object (after its removal, or on an empty face): there is nothing to frame.
    if (!objetCourantSurLaFace())
        return;
    const int valeur = c.C_cadre.valeur();
    try {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.modifier(e.objetcourant, [valeur](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::cadre, valeur); });
    } catch (const Erreur& err) {
        // The box goes back to what the record holds: the object prints as the box shows.
        e.majencours = true;
        c.C_cadre.definirValeur(valeur == 1 ? 0 : 1);
        e.majencours = false;
        messageEchec(QStringLiteral("ENREGISTREMENT OBJET"), QStringLiteral("Le cadre de l'objet n'a pas été enregistré"), err);
        return;
    }
    if (!e.rechargementencours) {
        if (e.typeobjet != QLatin1String("textimage")) {
            // Rebuilt from its base copy with its adjustments, rotation and, when ticked, frame.
            x_.imagerie().chargephoto(e.objetcourant);
        } else {
            // A text-image is drawn again, with or without its frame; the format slider then
            // returns to its value from before the click.
            x_.textes().rendre();
            c.A_format.definirValeur(format);
            e.valeurformat = c.A_format.valeur();
        }
    }
    if (x_.jaquette())
        x_.impression().apercujaq(QStringLiteral("cha"));
}

}  // namespace kal
