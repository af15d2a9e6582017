// The current object's control on the preview: placed and sized from the three sliders (the
// page divides sheet twips by echelleimp, the jacket's sliders are face twips already), and
// fitted to its picture when the picture is first shown.
#include "layout/disposition.h"

namespace kal {

void Disposition::apercu()
{
    EtatEditeur& e = x_.etat;
    const ControlesEditeur& c = x_.c;
    ControleImage* photo = controleCourant();
    if (!photo)
        return;
    const int n = e.objetcourant;
    // While a selection rebuilds the preview the control stays where it is.
    if (!e.reaffichageencours) {
        photo->definirVisible(false);
        if (surPartieMontree() && rapportValide()) {
            const double s = echelleApercu();
            const double f = c.A_format.valeur();
            // Both sides from the slider, never one read back from the control.
            const auto [W, H] = dimensionsFormat(f, modeLargeur());
            photo->definirLargeur(Twips(W).reduit(s).valeur());
            photo->definirHauteur(Twips(H).reduit(s).valeur());
            photo->definirHaut(Twips(c.A_margeV.valeur()).reduit(s).valeur());
            photo->definirGauche(Twips(c.A_margeH.valeur()).reduit(s).valeur());
        }
    }
    auto& ligne = e.tabobjets[static_cast<size_t>(n)];
    ligne[col::Hauteur] = photo->hauteurReelle();
    ligne[col::Largeur] = photo->largeurReelle();
    ligne[col::Gauche] = photo->gaucheReel();
    ligne[col::Haut] = photo->hautReel();
    if (!e.rechargementencours)
        photo->definirVisible(true);
}

// Sizes the current object's control to its picture: at the picture's own size when that is
// smaller than the box both ways, else fitted into the box keeping the picture's proportions.
// The box is the preview page (page) or the face (jacket). Neither position nor visibility
// changes.
void Disposition::echelle()
{
    EtatEditeur& e = x_.etat;
    ControleImage* photo = controleCourant();
    if (!photo)
        return;
    if (x_.jaquette())
        photo->definirModeechelle(modeechelle::Twips);
    e.largeurobjet = photo->largeurbitmap();
    e.hauteurobjet = photo->hauteurbitmap();
    e.rapportformat = e.largeurobjet / e.hauteurobjet;
    if (!rapportValide())
        return;
    const Twips bl = x_.jaquette() ? e.largeursurface : e.largeurapercu;
    const Twips bh = x_.jaquette() ? e.hauteursurface : e.hauteurapercu;
    const Twips L(e.largeurobjet), H(e.hauteurobjet);
    Twips l = L, h = H;   // smaller than the box both ways: its own size
    if (!(H < bh && L < bl)) {
        if (bl / bh < e.rapportformat) {
            l = bl;
            h = bl / e.rapportformat;
        } else {
            l = e.rapportformat * bh;
            h = bh;
        }
    }
    photo->definirLargeur(l.valeur());
    photo->definirHauteur(h.valeur());
}

}  // namespace kal
