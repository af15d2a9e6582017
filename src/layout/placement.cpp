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
    const double l = (ficheValide ? g.boite.largeur : Twips(photo->largeurReelle()).agrandi(s)).valeur();
    const double h = (ficheValide ? g.boite.hauteur : Twips(photo->hauteurReelle()).agrandi(s)).valeur();
    e.largeurobjet = l;
    e.hauteurobjet = h;
    e.rapportformat = l / h;
    if (!rapportValide())
        return;

    // The jacket's sliders keep their Min of 0.
    if (!jaq) {
        c.A_margeH.definirMin(x_.partage.origineH.entier());
        c.A_margeV.definirMin(x_.partage.origineV.entier());
    }
    c.A_margeH.definirMax((e.largeursurface - Twips(l) + origineGauche()).entier());
    c.A_margeV.definirMax((e.hauteursurface - Twips(h) + origineHaut()).entier());

    positionDepuisFiche(c.A_margeH, fiche.valeur(champ::leftimp));
    positionDepuisFiche(c.A_margeV, fiche.valeur(champ::topimp));

    // The format keeps the object's size unless that would take it past the bottom (right)
    // limit from its position: page margebasse (margedroite) above the sheet's edge, jacket
    // the face's edge.
    const bool largeur = modeLargeur();
    // The jacket compares in single precision.
    const auto tient = [jaq](Twips bout, Twips limite) {
        return jaq ? static_cast<float>(bout.valeur()) <= static_cast<float>(limite.valeur()) : bout <= limite;
    };
    if (!largeur) {
        c.A_format.definirMax(e.hauteursurface.entier());
        const Twips limite = jaq ? e.hauteursurface : x_.imprimante.hauteurfeuille() - x_.partage.margebasse;
        const Twips position(c.A_margeV.valeur());
        valeurBornee(c.A_format, tient(position + Twips(h), limite) ? arrondi(h) : (limite - position).entier());
    } else {
        c.A_format.definirMax(e.largeursurface.entier());
        const Twips limite = jaq ? e.largeursurface : x_.imprimante.largeurfeuille() - x_.partage.margedroite;
        const Twips position(c.A_margeH.valeur());
        valeurBornee(c.A_format, tient(position + Twips(l), limite) ? arrondi(l) : (limite - position).entier());
    }

    const auto [W, H] = dimensionsFormat(c.A_format.valeur(), largeur);
    c.E_format.definirLegende(legendeFormat(W, H));
    // The control shows what the sliders now hold.
    photo->placerReel(Twips(c.A_margeH.valeur()).reduit(s).valeur(), Twips(c.A_margeV.valeur()).reduit(s).valeur(),
                      Twips(W).reduit(s).valeur(), Twips(H).reduit(s).valeur());
    if (!e.rechargementencours)
        photo->definirVisible(true);
}

}  // namespace kal
