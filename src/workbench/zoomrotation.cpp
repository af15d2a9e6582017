// Zoom (the display only) and rotation (a sixth adjustment, rendered from the base like the
// five others), with their INITIAL buttons.
#include "workbench/atelier.h"

#include "imaging/chainereglages.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"

namespace kal {

namespace {
constexpr size_t FlagRotation = 5;
constexpr size_t SlotRotation = 5;
}  // namespace

void Atelier::zooming()
{
    const int v = A_zoom.valeur();
    const double f = 1 + v / 100.0;
    L_photo.definirVisible(false);
    L_photo.definirOptionaffichage(1);
    double largeur = etat.largeurbase, hauteur = etat.hauteurbase;
    if (v < 0) {
        E_zoom.definirLegende(QStringLiteral("Zoom= 0") + Str(f));
        largeur = f * etat.largeurbase;
        hauteur = f * etat.hauteurbase;
    } else if (v == 0) {
        E_zoom.definirLegende(QStringLiteral("Zoom= 1"));
    } else {
        E_zoom.definirLegende(QStringLiteral("Zoom= ") + Str(f));
        largeur = f * etat.largeurbase;
        hauteur = f * etat.hauteurbase;
    }
    if (largeur > etat.largeurzone || hauteur > etat.hauteurzone) {
        // Larger than the area: the control scrolls its picture at that scale.
        L_photo.definirDefilement(true);
        L_photo.definirZoom(f * etat.zoombase);
        if (largeur > etat.largeurzone)
            largeur = etat.largeurzone - 180;
        if (hauteur > etat.hauteurzone)
            hauteur = etat.hauteurzone;
    } else if (L_photo.defilement()) {
        // Back within the area: the picture is stretched into the control again, not shown at
        // the scale of an earlier enlargement.
        L_photo.definirDefilement(false);
    }
    L_photo.definirLargeur(largeur);
    L_photo.definirHauteur(hauteur);
    etat.echellephoto = L_photo.zoom() / 100;
    L_photo.placerReel((etat.largeurzone - largeur) / 2, (etat.hauteurzone - hauteur) / 2, largeur, hauteur);
    L_photo.repeindre();
    L_photo.definirVisible(true);
}

void Atelier::initialzoom()
{
    E_zoom.definirLegende(QStringLiteral("Zoom= 1"));
    A_zoom.definirValeur(0);
    zooming();
}

void Atelier::initialangle()
{
    A_angle.definirValeur(0);
    E_angle.definirLegende(QStringLiteral("Angle=") + Str(0) + QStringLiteral(" deg"));
}

void Atelier::A_angle_Scroll()
{
    E_angle.definirLegende(QStringLiteral("Angle:") + QString::number(A_angle.valeur()) + QStringLiteral(" deg"));
}

void Atelier::A_angle_Change()
{
    if (etat.razreglages || etat.blocageangle)
        return;
    definirPointeur(pointeur::Sablier);
    changeinit(true, QString());
    initialzoom();
    L_photo.definirVisible(false);
    if (!etat.flagreglage[FlagRotation]) {
        changeflag(false, false, false, false, false, true);
        const ValeursReglages v = valeursCurseurs();
        etat.valreglage[1] = v.couleur;
        etat.valreglage[0] = v.contraste;
        etat.valreglage[3] = v.nettete;
        etat.valreglage[4] = v.saturation;
        etat.valreglage[2] = v.intensite;
    }
    reconstruire();
    A_angle_Scroll();
    taillephoto();
    L_photo.definirVisible(true);
    definirPointeur(pointeur::Fleche);
}

void Atelier::B_initangle_Click()
{
    // A new angle is rendered and refreshed by the slider's own handler; the same angle only
    // needs the display fitted again. Either way the photo is written once.
    const int avant = A_angle.valeur();
    A_angle.definirValeur(etat.valreglage[SlotRotation]);
    if (A_angle.valeur() == avant)
        taillephoto();
    B_initangle.definirActif(false);
}

}  // namespace kal
