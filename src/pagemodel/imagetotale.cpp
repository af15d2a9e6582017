// The whole-image box C_image ("Image totale"): a thin border around the control of every
// object turned by other than a right angle, so that the whole turned box shows, white corners
// included; and the rule that enables the box.
#include "pagemodel/objets.h"

#include "platform/base/conversions.h"

namespace kal {

bool ModeleObjets::angleDroit(int rot) { return rot == 0 || rot == 90 || rot == 180 || rot == -90 || rot == -180; }

void ModeleObjets::C_image_Click()
{
    ControlesEditeur& c = x_.c;
    const EtatEditeur& e = x_.etat;
    const bool coche = c.C_image.valeur() == 1;
    // The record source set last: the whole table after a rebuild; on the jacket, the face
    // selection until the next rebuild. The page's record 16 holds its settings.
    x_.D_image.actualiser();
    bd::JeuEnregistrements& jeu = x_.D_image.jeu();
    for (jeu.premier(); !jeu.fin(); jeu.suivant()) {
        if (!jeu.valeur(champ::occup).toBool())
            continue;
        const int n = jeu.valeur(champ::numero).toInt();
        if (n < 0 || n >= e.nbEmplacements())
            continue;
        ControleImage* photo = c.L_photo[static_cast<size_t>(n)].get();
        if (!photo)
            continue;
        // A framed current object at a right angle shows its box too: its frame is that box.
        const bool droit = angleDroit(arrondi(jeu.valeur(champ::rot).toDouble()));
        const bool cadreCourant = n == e.objetcourant && c.C_cadre.valeur() == 1;
        photo->definirBordure(coche && (!droit || cadreCourant) ? 1 : 0);
    }
}

void ModeleObjets::activerImageTotale()
{
    ControlesEditeur& c = x_.c;
    const int debut = debutFace();
    bool offert = false;
    if (debut >= 0) {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        for (int k = debut; k < debut + 16 && !offert; ++k) {
            bd::JeuEnregistrements& f = fiches.trouver(k);
            offert = f.valeur(champ::occup).toBool() && !angleDroit(arrondi(f.valeur(champ::rot).toDouble()));
        }
    }
    c.C_image.definirActif(offert);
}

}  // namespace kal
