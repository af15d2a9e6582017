// The five adjustment sliders: one Change procedure and one Scroll rule, with a table of
// parameters for the five members of the family.
#include "imaging/imagerie.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"


namespace kal {

namespace {
// The editor's controls and column of tabobjets for each slider; the key, range, steps, flag
// and captions are the ones the workbench's sliders have too (chainereglages.h).
struct MembreReglage {
    Reglage reglage;
    Curseur ControlesEditeur::*curseur;
    Etiquette ControlesEditeur::*etiquette;
    int colonne;              // column of tabobjets
};

const MembreReglage Membres[] = {
    {Reglage::Contraste, &ControlesEditeur::A_contraste, &ControlesEditeur::E_contraste, col::Contraste},
    {Reglage::Couleur, &ControlesEditeur::A_couleur, &ControlesEditeur::E_couleur, col::Couleur},
    {Reglage::Intensite, &ControlesEditeur::A_intensite, &ControlesEditeur::E_intensite, col::Intensite},
    {Reglage::Nettete, &ControlesEditeur::A_nettete, &ControlesEditeur::E_nettete, col::Nettete},
    {Reglage::Saturation, &ControlesEditeur::A_saturation, &ControlesEditeur::E_saturation, col::Saturation},
};

const MembreReglage& membre(Reglage r) { return Membres[static_cast<int>(r)]; }

}  // namespace

void Imagerie::brancherCurseurs()
{
    ControlesEditeur& c = x_.c;
    for (const MembreReglage& m : Membres) {
        const Reglage r = m.reglage;
        (c.*m.curseur).surChangement = [this, r] { A_reglage_Change(r); };
        (c.*m.curseur).surDefilement = [this, r] { A_reglage_Scroll(r); };
    }
}

Curseur& Imagerie::curseurDe(Reglage r) { return x_.c.*membre(r).curseur; }
Etiquette& Imagerie::etiquetteDe(Reglage r) { return x_.c.*membre(r).etiquette; }

ValeursReglages Imagerie::valeursCurseurs() const
{
    const ControlesEditeur& c = x_.c;
    return {.contraste = c.A_contraste.valeur(),
            .couleur = c.A_couleur.valeur(),
            .intensite = c.A_intensite.valeur(),
            .nettete = c.A_nettete.valeur(),
            .saturation = c.A_saturation.valeur()};
}

void Imagerie::A_reglage_Scroll(Reglage r)
{
    const MembreReglage& m = membre(r);
    ControlesEditeur& c = x_.c;
    (c.*m.etiquette).definirLegende(legendeReglage(r, (c.*m.curseur).valeur(), true));
}

void Imagerie::A_reglage_Change(Reglage r)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (e.majencours)
        return;
    const MembreReglage& m = membre(r);
    ControleImage* photo = photoCourante();
    if (!photo)
        return;   // the sliders are disabled without a current object
    x_.fenetre.definirPointeur(pointeur::Sablier);
    photo->definirVisible(false);
    const int valeur = (c.*m.curseur).valeur();
    if (!e.razreglages) {
        const int position = static_cast<int>(r);
        if (!e.flagreglage[static_cast<size_t>(curseurReglage(r).flag)] || baseCurseur_.estVide()) {
            changeflag(position == 0, position == 1, position == 2, position == 3, position == 4, false);
            // The values of the other sliders and of the angle, in valreglage's order.
            const ValeursReglages v = valeursCurseurs();
            for (Reglage autre : OrdreReglages)
                if (autre != r)
                    e.valreglage[static_cast<size_t>(autre)] = valeurDe(v, autre);
            e.valreglage[5] = c.A_angle.valeur();
            // The working base: the full base with the four others, the frame and the rotation.
            photo->definirBitmap(c.L_sauvtot.bitmap());
            for (Reglage autre : OrdreReglages)
                if (autre != r)
                    appliquerReglage(*photo, autre, valeurDe(v, autre));
            Finition fin{.photo = false, .cadre = std::nullopt, .angle = c.A_angle.valeur()};
            if (c.C_cadre.valeur() == 1)
                fin.cadre = QRectF(0, 0, photo->largeurReelle(), photo->hauteurReelle());
            appliquerFinition(*photo, fin);
            baseCurseur_ = photo->bitmap();
        }
        photo->definirBitmap(baseCurseur_);
        appliquerReglage(*photo, r, valeur);
        // L_sauvder stays what photo<n>.svc takes: the base with the five adjustments, neither
        // framed nor turned (a state nothing renders before a file is written).
        c.L_sauvder.definirBitmap(c.L_sauvtot.bitmap());
        appliquerReglages(c.L_sauvder, valeursCurseurs());
        (c.*m.etiquette).definirLegende(legendeReglage(r, valeur, false));
        if (e.typeobjet == QLatin1String("photo"))
            photo->traitementphoto();
    }
    changeinit(false, QLatin1String(curseurReglage(r).cle));
    if (!e.rechargementencours)
        photo->definirVisible(true);
    x_.fenetre.definirPointeur(pointeur::Personnalise);
    e.pagemodifiee = true;
    // The sliders put back to 0 when an object's display goes leave the stored rows as they are.
    if (e.razreglages && e.razgardelignes)
        return;
    if (e.objetcourant >= 0 && e.objetcourant < e.nbEmplacements())
        e.tabobjets[static_cast<size_t>(e.objetcourant)][static_cast<size_t>(m.colonne)] = valeur;
}

}  // namespace kal
