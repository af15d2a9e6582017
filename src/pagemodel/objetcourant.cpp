// The current object kept before another takes its place, before a print, and when the jacket
// leaves a face: its box on the preview, its record, its work copies and thumbnail, and a
// text-image's text. Every creating command (photo, duplicate, text-image, RTF text, scan),
// printing and the face switch go through garderObjetCourant.
#include "pagemodel/objets.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"

namespace kal {

int ModeleObjets::debutFace() const { return x_.jaquette() ? x_.etat.fincote - 16 : 0; }

bool ModeleObjets::objetOccupe(int n, int debut)
{
    if (debut < 0 || n < debut || n >= debut + 16 || n >= x_.etat.nbEmplacements())
        return false;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    return fiches.lire(n, champ::occup).toBool();
}

bool ModeleObjets::objetCourantSurLaFace() { return x_.etat.nbobjets >= 1 && objetOccupe(x_.etat.objetcourant, debutFace()); }

bool ModeleObjets::garderObjetCourant()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // Only an occupied object of the page or face shown, with its display: after its removal
    // the number may still be there, and storing it would take its freed record back.
    if (!objetCourantSurLaFace())
        return false;
    const int n = e.objetcourant;
    ControleImage* photo = c.L_photo[static_cast<size_t>(n)].get();
    if (!photo)
        return false;

    auto& ligne = e.tabobjets[static_cast<size_t>(n)];
    ligne[col::Hauteur] = photo->hauteurReelle();
    ligne[col::Largeur] = photo->largeurReelle();
    ligne[col::Gauche] = photo->gaucheReel();
    ligne[col::Haut] = photo->hautReel();

    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    bd::JeuEnregistrements& fiche = fiches.trouver(n);
    const bool texte = fiche.valeur(champ::textimage).toBool();
    // The working copy keeps the record's box (the page's record is in sheet twips), and is
    // made again from the base and the sliders: the picture shown carries the frame and the
    // rotation, which photo<n>.svc must not.
    const double echelle = x_.jaquette() ? 1.0 : e.echelleimp;
    c.L_sauvder.definirLargeur(fiche.valeur(champ::widthimp).toDouble() / echelle);
    c.L_sauvder.definirHauteur(fiche.valeur(champ::heightimp).toDouble() / echelle);
    x_.imagerie().sauvder();

    // The record is written for the object's own kind, whatever kind the command is about to
    // make: a photo takes no font, a text-image the font of its own text, which the box holds.
    const QString typeAvant = e.typeobjet;
    e.typeobjet = texte ? QStringLiteral("textimage") : QStringLiteral("photo");
    try {
        x_.imagerie().sauvphoto();
        if (texte)
            c.T_compos.sauvertexte(fichierTexte(n), 0);
    } catch (...) {
        e.typeobjet = typeAvant;
        throw;
    }
    e.typeobjet = typeAvant;
    e.nomobjet = e.nomsobjets[static_cast<size_t>(n)];
    e.objetprecedent = n;
    return true;
}

}  // namespace kal
