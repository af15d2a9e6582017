// Placing the current object: the refresh after its picture is shown, and the three sliders set
// from its control and its record when a page or face is rebuilt.
#include "layout/disposition.h"

#include "imaging/imagerie.h"
#include "layout/geometrie.h"
#include "pagemodel/fiche.h"
#include "platform/base/conversions.h"
#include "platform/printer/imprimante.h"

namespace kal {

void Disposition::initialisation()
{
    if (!x_.jaquette())
        x_.imagerie().sauvder();
    status();
    initmarge();
    initformat();
    apercu();
}

namespace {
// A stored position brought into the slider's range; an empty field leaves the slider alone.
void positionDepuisFiche(Curseur& a, const QVariant& v)
{
    if (v.isNull())
        return;
    const double p = v.toDouble();
    if (a.min() <= p && p <= a.max())
        a.definirValeur(arrondi(p));
    else if (p < a.min())
        a.definirValeur(a.min());
    else if (p > a.max())
        a.definirValeur(a.max());
}
}  // namespace

// The caller stands D_image on the object's record; the object keeps the size its control has.
void Disposition::posimage()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ControleImage* photo = controleCourant();
    if (!photo)
        return;
    const bool jaq = x_.jaquette();
    const double s = echelleApercu();

    photo->definirVisible(false);
    // The object's size is its turned box from its record (the one object geometry), not the
    // control's size read back; a record without a size leaves the control's.
    bd::JeuEnregistrements& fiche = x_.D_image.jeu();
    const GeometrieObjet g = geometrieObjet(lireGeometrie(fiche), c.L_sauvtot.bitmap().taille());
    const bool ficheValide = g.boite.largeur > Twips(0) && g.boite.hauteur > Twips(0);
    const double l = ficheValide ? g.boite.largeur.valeur() : photo->largeurReelle() * s;
    const double h = ficheValide ? g.boite.hauteur.valeur() : photo->hauteurReelle() * s;
    e.largeurobjet = l;
    e.hauteurobjet = h;
    e.rapportformat = l / h;
    if (!rapportValide())
        return;

    // The jacket's sliders keep their Min of 0.
    if (!jaq) {
        c.A_margeH.definirMin(x_.partage.origineH);
        c.A_margeV.definirMin(x_.partage.origineV);
    }
    c.A_margeH.definirMax(arrondi(e.largeursurface - l + origineGauche()));
    c.A_margeV.definirMax(arrondi(e.hauteursurface - h + origineHaut()));

    positionDepuisFiche(c.A_margeH, fiche.valeur(champ::leftimp));
    positionDepuisFiche(c.A_margeV, fiche.valeur(champ::topimp));

    // The format keeps the object's size unless that would take it past the bottom (right)
    // limit from its position: page margebasse (margedroite) above the sheet's edge, jacket
    // the face's edge.
    const bool largeur = modeLargeur();
    if (!largeur) {
        c.A_format.definirMax(arrondi(e.hauteursurface));
        const double limite = jaq ? e.hauteursurface
                                  : static_cast<double>(x_.imprimante.hauteurfeuille() - x_.partage.margebasse);
        const bool tient = jaq ? static_cast<float>(c.A_margeV.valeur() + h) <= static_cast<float>(limite)
                               : c.A_margeV.valeur() + h <= limite;
        valeurBornee(c.A_format, tient ? arrondi(h) : arrondi(limite - c.A_margeV.valeur()));
    } else {
        c.A_format.definirMax(arrondi(e.largeursurface));
        const double limite = jaq ? e.largeursurface
                                  : static_cast<double>(x_.imprimante.largeurfeuille() - x_.partage.margedroite);
        const bool tient = jaq ? static_cast<float>(c.A_margeH.valeur() + l) <= static_cast<float>(limite)
                               : c.A_margeH.valeur() + l <= limite;
        valeurBornee(c.A_format, tient ? arrondi(l) : arrondi(limite - c.A_margeH.valeur()));
    }

    const auto [W, H] = dimensionsFormat(c.A_format.valeur(), largeur);
    c.E_format.definirLegende(legendeFormat(W, H));
    // The control shows what the sliders now hold.
    photo->placerReel(c.A_margeH.valeur() / s, c.A_margeV.valeur() / s, W / s, H / s);
    if (!e.rechargementencours)
        photo->definirVisible(true);
}

}  // namespace kal
