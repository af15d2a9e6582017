// Scanning a photo into the workbench, in place of the photo shown. The page acquired is the
// new photo as opened: the base of the renderings, kept as the scanner gave it.
#include "workbench/atelier.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"

namespace kal {

void Atelier::B_scanner_Click()
{
    // The open panel left open gives way to the scan, as its ANNULER would.
    if (panneau.F_ouvrir.visible())
        panneau.B_annulouvfich_Click();
    scanning();
    etat.modefichier = QStringLiteral("enr");
    // A failed or cancelled scan leaves nothing to file: saiphot.jpg is an older picture's.
    autorfich(true, true, etat.photochargee, true, false, false, false);
}

void Atelier::scanning()
{
    B_annulreglagetot.definirActif(false);
    etat.photochargee = false;
    quitterModes();
    initcorrect();
    initialzoom();
    initialangle();
    E_angle.definirLegende(QStringLiteral("Angle=") + Str(0) + QStringLiteral(" deg"));
    E_angle.definirActif(false);
    A_angle.definirActif(false);
    E_resize.definirActif(false);
    E_resize.definirLegende(QStringLiteral("Redim"));
    C_decoupe.definirActif(false);
    B_annuldecoupe.definirActif(false);
    L_photo.definirVisible(false);

    bool reussi = false;
    try {
        L_photo.definirScanactif(true);
        L_photo.definirScanoptiondeux(true);
        L_photo.definirScanoptionun(true);
        L_photo.choisirsource(this);
        L_photo.definirScanmode(7);
        L_photo.definirScanactif(false);
        Ecran::definirPointeur(pointeur::Sablier);
        etat.resultatscan = static_cast<int16_t>(L_photo.acquerir(this));
        reussi = etat.resultatscan == 0;
    } catch (const Erreur& e) {
        // Cancelled, no scanner, a failed page: no message, the photo area stays empty.
        etat.resultatscan = static_cast<int16_t>(e.numero());
    }
    L_photo.suiteacquisition(this);
    Ecran::definirPointeur(pointeur::Defaut);
    if (!reussi) {
        // No photo: the pictures of the one before go, and with them the controls that work on
        // a photo.
        for (ControleImage* c : {&L_photo, &L_initial, &L_sauvtot, &L_sauvder})
            c->vider();
        autorcorrect(false);
        A_resize.definirActif(false);
        // The compressed size shown was the photo's before: the label says what it is for.
        E_compression.definirLegende(QStringLiteral("Compression"));
        return;
    }
    L_photo.traitementphoto();
    L_initial.definirBitmap(L_photo.bitmap());
    fixerBase(L_photo.bitmap());
    reconstruire(false);
    etat.rapportredim = 1;
    taillephoto();
    L_sauvder.definirBitmap(L_photo.bitmap());
    L_photo.definirVisible(true);
    initredim();
    autorfich(true, true, true, true, false, false, false);
    autorcorrect(true);
    etat.photochargee = true;
}

}  // namespace kal
