// Red-eye removal. In red-eye mode the user drags a zone round each eye on the photo shown and
// applies the correction there; ANNULER takes back every correction of the mode, TERMINER
// keeps them. Each correction is made twice: on the picture shown, so that it is seen at once,
// and on the base, in the base's own pixels, so that every later rendering keeps it.
#include "workbench/atelier.h"

#include "platform/base/ecran.h"
#include "platform/base/messages.h"

#include <cmath>
#include <numbers>

namespace kal {

namespace {

// A zone of the picture shown (pixels) as the zone of the base it came from: the picture
// shown is the base turned by `centiemes` (about its centre, growing to the turned box) and
// then resized to `montree`. The corners are turned back; their bounding box is the zone.
QRect zoneSurLaBase(const QRect& zone, QSize montree, QSize base, int centiemes)
{
    const QSize tournee = image::tailleTournee(base, centiemes);
    if (montree.isEmpty() || tournee.isEmpty())
        return {};
    const double kx = double(tournee.width()) / montree.width(), ky = double(tournee.height()) / montree.height();
    const double a = centiemes / 100.0 * std::numbers::pi / 180.0, co = std::cos(a), si = std::sin(a);
    double gauche = 1e18, haut = 1e18, droite = -1e18, bas = -1e18;
    for (const QPointF coin : {QPointF(zone.left(), zone.top()), QPointF(zone.right() + 1, zone.top()),
                               QPointF(zone.left(), zone.bottom() + 1), QPointF(zone.right() + 1, zone.bottom() + 1)}) {
        const double dx = coin.x() * kx - tournee.width() / 2.0, dy = coin.y() * ky - tournee.height() / 2.0;
        const double x = dx * co + dy * si + base.width() / 2.0, y = -dx * si + dy * co + base.height() / 2.0;
        gauche = std::min(gauche, x);
        droite = std::max(droite, x);
        haut = std::min(haut, y);
        bas = std::max(bas, y);
    }
    const QRect r(QPoint(static_cast<int>(std::floor(gauche)), static_cast<int>(std::floor(haut))),
                  QPoint(static_cast<int>(std::ceil(droite)) - 1, static_cast<int>(std::ceil(bas)) - 1));
    return r & QRect(QPoint(0, 0), base);
}

}  // namespace

void Atelier::B_redeye_Click()
{
    // A crop armed before stays out of red-eye mode: a drag here draws a zone, not a crop.
    etat.modedecoupe = false;
    if (C_decoupe.valeur() == 1)
        C_decoupe.definirValeur(0);
    L_sauvder.definirBitmap(L_photo.bitmap());
    baseAvantYeux_ = L_sauvtot.bitmap();
    autorcorrect(false);
    B_appry.definirActif(true);
    B_annry.definirActif(false);
    B_finry.definirActif(true);
    for (Controle* c : std::initializer_list<Controle*>{&A_zoom, &E_zoom, &B_initzoom})
        c->definirActif(true);
    A_resize.definirActif(false);
    E_resize.definirActif(false);
    etat.modeyeuxrouges = true;
}

void Atelier::B_appry_Click()
{
    if (etat.zonelargeur == 0 || etat.zonehauteur == 0) {
        MsgBox(QStringLiteral("Sélecter la zone à corriger"), msg::OK + msg::Exclamation, QStringLiteral("ZONE YEUX ROUGES"));
    } else {
        const QRect zone = L_photo.region();
        L_photo.yeuxrouges(CouleurYeux, SeuilYeux, ForceYeux);
        const QRect surBase = zoneSurLaBase(zone, L_photo.bitmap().taille(), L_sauvtot.bitmap().taille(), A_angle.valeur() * 100);
        if (!surBase.isEmpty()) {
            L_sauvtot.definirModeechelle(modeechelle::Pixels);
            L_sauvtot.regionrect(surBase.x(), surBase.y(), surBase.width(), surBase.height(), 1);
            L_sauvtot.yeuxrouges(CouleurYeux, SeuilYeux, ForceYeux);
            L_sauvtot.supprimerregion();
            L_sauvtot.definirModeechelle(modeechelle::Twips);
        }
        B_annry.definirActif(true);
    }
    etat.zonehauteur = 0;
    etat.zonelargeur = 0;
    L_photo.definirCadreregion(0);
}

void Atelier::B_annry_Click()
{
    L_photo.definirBitmap(L_sauvder.bitmap());
    L_sauvtot.definirBitmap(baseAvantYeux_);
    B_annry.definirActif(false);
}

void Atelier::B_finry_Click()
{
    L_photo.supprimerregion();
    L_photo.definirPointeur(pointeur::Fleche);
    autorcorrect(true);
    for (Bouton* b : {&B_appry, &B_annry, &B_finry})
        b->definirActif(false);
    A_resize.definirActif(true);
    E_resize.definirActif(true);
    etat.modeyeuxrouges = false;
    baseAvantYeux_ = {};
    // The corrected base, rendered and shown as it will be filed.
    fixerBase(L_sauvtot.bitmap());
    reconstruire();
    taillephoto();
    L_sauvder.definirBitmap(L_photo.bitmap());
}

}  // namespace kal
