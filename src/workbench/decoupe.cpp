// Crop: the rectangle drawn on the photo with the mouse becomes the photo. The crop is made on
// the base, turned first by the current angle, so that the later renderings (sliders,
// compression, resize) start from the cropped picture; the angle then reads 0. The mouse
// handlers also draw the red-eye zone (yeuxrouges.cpp).
#include "workbench/atelier.h"

#include "imaging/rectangledecoupe.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"

namespace kal {

namespace {
// Zero-sized sides of a crop become this many pixels.
constexpr int CoteMinimal = 15;
}  // namespace

void Atelier::C_decoupe_Click()
{
    if (C_decoupe.valeur() != 1)
        return;   // unticked: crop mode stays as it is
    A_zoom.definirValeur(0);
    if (etat.modedecoupe)
        effacerRectangle(L_photo);
    etat.modedecoupe = true;
}

void Atelier::L_photo_MouseDown(int, int, double x, double y)
{
    etat.departX = arrondi(x);
    etat.departY = arrondi(y);
    etat.zonegauche = etat.zonehaut = etat.zonelargeur = etat.zonehauteur = 0;
    if (C_decoupe.valeur() == 1) {
        L_photo.definirPointeur(pointeur::Croix);
        L_photo.definirTraceelastique(false);
    }
    if (etat.modeyeuxrouges) {
        etat.zonegauche = arrondi((x - L_photo.gauchevue()) / etat.echellephoto);
        etat.zonehaut = arrondi((y - L_photo.hautvue()) / etat.echellephoto);
        L_photo.definirPointeur(pointeur::Croix);
        L_photo.definirCadreregion(0);
    }
}

void Atelier::L_photo_MouseMove(int bouton, int, double x, double y)
{
    if (bouton == 1 && etat.modedecoupe) {
        etat.arriveeX = arrondi(x);
        etat.arriveeY = arrondi(y);
        const QRect r = rectangleTrace(etat.departX, etat.departY, etat.arriveeX, etat.arriveeY);
        L_photo.rectelastique(r.x(), r.y(), r.width(), r.height());
        L_photo.definirTraceelastique(true);
    }
    if (bouton == 1 && etat.modeyeuxrouges) {
        etat.zonelargeur = arrondi((x - L_photo.gauchevue()) / etat.echellephoto - etat.zonegauche);
        etat.zonehauteur = arrondi((y - L_photo.hautvue()) / etat.echellephoto - etat.zonehaut);
        L_photo.regionrect(etat.zonegauche, etat.zonehaut, etat.zonelargeur, etat.zonehauteur, 1);
        L_photo.definirCadreregion(1);
    }
}

void Atelier::L_photo_MouseUp(int, int, double x, double y)
{
    if (C_decoupe.valeur() == 1 && etat.modedecoupe) {
        etat.arriveeX = arrondi(x);
        etat.arriveeY = arrondi(y);
        const QRect r = rectangleTrace(etat.departX, etat.departY, etat.arriveeX, etat.arriveeY);
        L_photo.definirVisible(false);
        L_photo.rectaffichage(r.x(), r.y(), r.width(), r.height());
        L_photo.repeindre();
        L_photo.definirTraceelastique(false);
        decoupage();
        L_photo.definirVisible(true);
    }
    L_photo.definirPointeur(pointeur::Fleche);
}

void Atelier::decoupage()
{
    L_photo.definirVisible(false);
    etat.blocageangle = true;
    // The rectangle drawn on the picture shown, taken into the base, once turned as the picture
    // shown is (the shown picture may be resized, the base is not).
    if (L_photo.largeurvue() > 0 && L_photo.hauteurvue() > 0 && !L_sauvtot.estVide()) {
        L_sauvtot.rotation(A_angle.valeur() * 100, 1, 0xFFFFFF);
        L_sauvtot.definirModeechelle(modeechelle::Pixels);
        const QRect r = rectangleDansImage(L_photo, L_sauvtot.largeurbitmap(), L_sauvtot.hauteurbitmap());
        L_sauvtot.rogner(r.x(), r.y(), r.width() == 0 ? CoteMinimal : r.width(), r.height() == 0 ? CoteMinimal : r.height());
        L_sauvtot.definirModeechelle(modeechelle::Twips);
        fixerBase(L_sauvtot.bitmap());
    }
    // The turn is in the base now.
    A_angle.definirValeur(0);
    E_angle.definirLegende(QStringLiteral("Angle=") + Str(0) + QStringLiteral(" deg"));
    reconstruire();
    taillephoto();
    L_photo.definirDefilement(false);
    afficherEntiere(L_photo);
    C_decoupe.definirValeur(0);
    etat.modedecoupe = false;
    L_photo.definirVisible(true);
    L_sauvder.definirBitmap(L_photo.bitmap());
    etat.blocageangle = false;
    changeflag(false, false, false, false, false, false);
    B_annuldecoupe.definirActif(true);
}

void Atelier::B_annuldecoupe_Click()
{
    L_photo.definirVisible(false);
    // Back to the photo as opened: the crops go, with the turns they fixed and the red-eye
    // corrections made before; the sliders' values stay.
    fixerBase(L_initial.bitmap());
    L_sauvder.definirBitmap(L_initial.bitmap());
    reconstruire();
    taillephoto();
    L_photo.definirVisible(true);
    C_decoupe.definirValeur(0);
    changeflag(false, false, false, false, false, false);
    B_annuldecoupe.definirActif(false);
}

}  // namespace kal
