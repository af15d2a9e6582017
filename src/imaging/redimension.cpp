// Resize: fewer pixels for the current object's picture, the printed size unchanged. The slider
// gives the new length of the longer side; the bare base is resampled and the whole chain is
// applied to it once, so that APPLIQUER commits a base without adjustments, frame or rotation.
#include "imaging/imagerie.h"
#include "platform/base/twips.h"

#include "layout/disposition.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"

namespace kal {

namespace {
QString legendeRedim(double rapport, double largeur, double hauteur)
{
    return QStringLiteral("Redim:") + QString::number(arrondi(rapport * 100)) + QStringLiteral(" %  ") +
           QString::number(largeur) + QStringLiteral(" x ") + QString::number(hauteur);
}
}  // namespace

void Imagerie::brancherRedimension()
{
    ControlesEditeur& c = x_.c;
    c.A_redim.surChangement = [this] { A_redim_Change(); };
    c.A_redim.surDefilement = [this] { A_redim_Scroll(); };
    c.B_finredim.surClic = [this] { B_finredim_Click(); };
}

bool Imagerie::redimensionner()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (e.nbobjets < 1 || !photoCourante())
        return true;
    initredim();
    c.F_redim.placer(c.L_fonction.largeur(), c.L_fonction.haut(), c.F_redim.largeur(), c.F_redim.hauteur());
    c.F_redim.definirVisible(true);
    c.F_redim.widget()->raise();
    x_.autcontrol(false, false);
    c.L_fonction.definirActif(false);
    return true;
}

void Imagerie::initredim()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    ControleImage* photo = photoCourante();
    if (!photo)
        return;
    e.redimencours = true;
    Curseur& a = c.A_redim;
    photo->definirVisible(false);
    const int w = photo->bitmap().largeur(), h = photo->bitmap().hauteur();
    // The bounds are set in an order the slider accepts whatever they were before.
    const int longueur = h < w ? w : h;
    int max = longueur, min = 100;
    if (longueur < 100) {
        if (x_.jaquette())
            max = 100;
        else
            min = longueur;
    }
    a.definirMin(0);
    a.definirMax(std::max(max, a.min()));
    a.definirMin(std::min(min, max));
    const int pas = std::max(1, arrondi(max / 10.0));
    a.definirPetitPas(pas);
    a.definirGrandPas(pas);
    a.definirValeur(a.max());
    e.rapportredim = static_cast<double>(a.valeur()) / a.max();
    c.E_redim.definirLegende(legendeRedim(e.rapportredim, arrondi(w * e.rapportredim), arrondi(h * e.rapportredim)));
    a.definirActif(true);
    c.E_redim.definirActif(true);
    e.largeurredim = w;
    e.hauteurredim = h;
    // Nothing resized yet: APPLIQUER would commit the base as it is.
    c.L_redim.definirBitmap(c.L_sauvtot.bitmap());
    photo->definirVisible(true);
    e.redimencours = false;
}

void Imagerie::A_redim_Scroll()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (e.redimencours)
        return;
    e.rapportredim = static_cast<double>(c.A_redim.valeur()) / c.A_redim.max();
    x_.fenetre.definirPointeur(pointeur::Fleche);
    c.E_redim.definirLegende(legendeRedim(e.rapportredim, arrondi(e.largeurredim * e.rapportredim),
                                          arrondi(e.hauteurredim * e.rapportredim)));
}

void Imagerie::A_redim_Change()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    ControleImage* photo = photoCourante();
    if (e.redimencours || !photo)
        return;
    x_.fenetre.definirPointeur(pointeur::Sablier);
    photo->definirVisible(false);
    e.rapportredim = static_cast<double>(c.A_redim.valeur()) / c.A_redim.max();
    // The bare base at the new size: this is what APPLIQUER commits.
    const image::Photo base = c.L_sauvtot.bitmap();
    const double W = arrondi(base.largeur() * e.rapportredim);
    const double H = arrondi(base.hauteur() * e.rapportredim);
    c.L_redim.definirBitmap(base);
    c.L_redim.definirModeechelle(modeechelle::Pixels);
    c.L_redim.redimensionner(W, H, 2);
    c.L_redim.definirModeechelle(modeechelle::Twips);
    // Shown with the whole chain, once.
    photo->definirBitmap(c.L_redim.bitmap());
    Finition fin{.photo = true, .cadre = std::nullopt, .angle = c.A_angle.valeur()};
    if (c.C_cadre.valeur() == 1)
        fin.cadre = QRectF(0, 0, photo->largeurReelle(), photo->hauteurReelle());
    appliquerChaine(*photo, valeursCurseurs(), fin);
    // The limits and the object's own size are those of the picture as shown, turned: a
    // quarter turn puts the resized width upright.
    const QSize montre = photo->bitmap().taille();
    e.largmax180 = arrondi(montre.width() / 180.0 * 1440);
    e.largmax120 = arrondi(montre.width() / 120.0 * 1440);
    e.hautmax180 = arrondi(montre.height() / 180.0 * 1440);
    e.hautmax120 = arrondi(montre.height() / 120.0 * 1440);
    x_.fenetre.definirPointeur(pointeur::Fleche);
    c.E_redim.definirLegende(legendeRedim(e.rapportredim, montre.width(), montre.height()));
    e.largeurobjet = Twips::pixels(montre.width()).valeur();
    e.hauteurobjet = Twips::pixels(montre.height()).valeur();
    x_.disposition().legendeMaximum();
    x_.disposition().couleurformat();
    photo->definirVisible(true);
}

void Imagerie::B_finredim_Click()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (!photoCourante())
        return;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    const bool texteImage = fiches.lire(e.objetcourant, champ::textimage).toBool();
    x_.autcontrol(!texteImage, texteImage);
    c.L_fonction.definirActif(true);
    c.F_redim.definirVisible(false);
    // The resized bare base, and the working image built from it with the sliders' values.
    c.L_sauvtot.definirBitmap(c.L_redim.bitmap());
    sauvder();
}

}  // namespace kal
