// Rendering a text-image (creattextimage): the box's whole text drawn in its one font on its
// background, one pixel per twip of the text as the window measures it (fewer where the
// picture would pass the imaging layer's cap for text pictures), into the current object's
// picture. The object's stored height follows its line count, its width the text's own
// proportions; its four work files are written, texte<n>.svc (the box's RTF) first.
#include "text/textes.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

#include <algorithm>
#include <cmath>

namespace kal {

namespace {

// The stamp of the thumbnail, 145 pixels on the longer side.
std::pair<double, double> tailleVignette(const ControleImage& k)
{
    const double l = k.bitmap().largeur(), h = k.bitmap().hauteur();
    return h >= l ? std::pair{l / h * 145, 145.0} : std::pair{145.0, h / l * 145};
}

}  // namespace

void Textes::ecrireFichiersTexte(ControleImage& rendu, int n)
{
    fs::Remplacement lot;
    const QString photo = lot.aCote(fichierPhoto(n));
    x_.c.T_compos.sauvertexte(lot.aCote(fichierTexte(n)), 0);
    // Encoded once, with its stamp: the other two copies are the same bytes.
    const auto [lv, hv] = tailleVignette(rendu);
    rendu.ecrirevignette(photo, 10, 24, 20, lv, hv, 24);
    fs::copierFichier(photo, lot.aCote(fichierInit(n)));
    fs::copierFichier(photo, lot.aCote(fichierSauv(n)));
    lot.installer();
    x_.imagerie().copiesEcrites(rendu, n);
}

void Textes::creattextimage()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    BoiteTexteRiche& t = c.T_compos;
    const bool jaq = x_.jaquette();
    const int n = e.objetcourant;
    if (n < 0 || n >= e.nbEmplacements() || !c.L_photo[static_cast<size_t>(n)])
        return;
    const size_t i = static_cast<size_t>(n);
    ControleImage& photo = *c.L_photo[i];
    const double echelle = jaq ? 1.0 : e.echelleimp;
    const QString texte = t.contenutexte();

    const int lignes = compterLignes(texte);
    fontfeuille();
    // The whole text as the window measures it: an empty text is one line high and, so that
    // it makes a picture at all, one twip wide.
    hauteurtxt_ = std::max(1, hauteurTexte(texte));
    largeurtxt_ = std::max(1, largeurTexte(texte));

    // The picture and the four files are made first, beside the object: until they are all
    // there, the object keeps its last rendering and its files.
    ControleImage rendu;
    rendu.policeimage = t.policeSelection();
    const double s = ControleImage::echelleTexte(largeurtxt_, hauteurtxt_);
    rendu.definirEchelletexte(s);
    rendu.creerbitmap(largeurtxt_ * s, hauteurtxt_ * s, 24);
    rendu.definirReglagetexte(t.selcouleur());
    rendu.remplir(t.fondtexte());
    rendu.textehaut = 0;
    rendu.textegauche = 0;
    rendu.textelargeur = largeurtxt_;
    rendu.textehauteur = hauteurtxt_;
    rendu.definirCouleurdessin(t.fondtexte());
    rendu.definirOptiondessin(true);
    rendu.dessinertexte(texte, 0);
    ecrireFichiersTexte(rendu, n);

    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    e.margesauvH = c.A_margeH.valeur();
    e.margesauvV = c.A_margeV.valeur();
    e.anglesauv = c.A_angle.valeur();
    const double hauteurFiche = fiches.trouver(n).valeur(champ::heightimp).toDouble() / echelle;

    photo.vider();
    x_.imagerie().changeflag(false, false, false, false, false, false);
    photo.definirVisible(false);
    photo.policeimage = rendu.policeimage;
    photo.definirReglagetexte(rendu.reglagetexte());
    photo.definirEchelletexte(s);
    photo.definirBitmap(rendu.bitmap());

    // The stored height keeps the printed line height: it follows the line count against the
    // count it was made with. No count (0), or none known, keeps the height; a record without
    // a size takes the text's own.
    auto& ligne = e.tabobjets[i];
    const double ancien = ligne[col::Lignes] >= 1 ? ligne[col::Lignes] : lignes;
    double hauteur = hauteurFiche * (lignes / ancien);
    if (!(hauteur > 0) || !std::isfinite(hauteur))
        hauteur = hauteurtxt_ / echelle;
    const double r = static_cast<double>(largeurtxt_) / hauteurtxt_;
    c.L_sauvder.definirHauteur(hauteur);
    c.L_sauvder.definirLargeur(hauteur * r);
    ligne[col::Lignes] = lignes;

    c.L_sauvtot.lirefichier(fichierInit(n), 0, 0, 1);
    x_.imagerie().copiesConnues().lue(fichierInit(n), c.L_sauvtot.bitmap());
    {
        Leve m(e.majencours);
        c.A_angle.definirValeur(0);
    }
    {
        Leve m(e.majencours);
        c.A_angle.definirValeur(e.anglesauv);
    }
    x_.imagerie().sauvder();
    if (jaq || !couleurencours_)
        x_.objets().chargimp();
    if (!jaq) {
        Leve m(e.majencours);
        c.A_angle.definirValeur(0);
    }
    x_.imagerie().chargephoto(n);
    e.valeurformat = c.A_format.valeur();
    {
        Leve r(e.rechargementencours);
        x_.disposition().initmarge();
        x_.disposition().restitmargeh();
        x_.disposition().restitmargev();
    }
    x_.disposition().status();
    x_.objets().creatminiat(n);
    ControleImage* miniature = c.L_miniat[i].get();
    if (!jaq && miniature)
        miniature->definirVisible(true);
    ligne[col::Lignes] = lignes;
    x_.disposition().initformat();
    x_.disposition().apercu();
    // A text grown past what the format admits is shown at the largest format: the stored size
    // (what prints, and what the next rendering scales) comes down with it, so that the record
    // of an unturned object never holds more than the preview shows.
    if (c.A_angle.valeur() == 0) {
        fiches.sourceTable();
        const double hauteurFinale = fiches.lire(n, champ::heightimp).toDouble() / echelle;
        if (photo.hauteurReelle() > 0 && photo.hauteurReelle() < hauteurFinale - 0.5) {
            c.L_sauvder.definirHauteur(photo.hauteurReelle());
            c.L_sauvder.definirLargeur(photo.largeurReelle());
            if (jaq || !couleurencours_)
                x_.objets().chargimp();
        }
    }
    ligne[col::Hauteur] = photo.hauteurReelle();
    ligne[col::Largeur] = photo.largeurReelle();
    photo.definirGauche(ligne[col::Gauche]);
    photo.definirHaut(ligne[col::Haut]);
    if (miniature)
        miniature->definirVisible(true);
    t.definirVisible(true);
    c.F_compos.definirVisible(true);
    if (!e.rechargementencours)
        photo.definirVisible(true);
}

}  // namespace kal
