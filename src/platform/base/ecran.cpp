#include "platform/base/ecran.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cmath>
#include <xcb/xcb.h>

namespace kal {

std::optional<EcranSimule> Ecran::simule_;
std::optional<int> Ecran::bordsSimules_;
std::optional<int> Ecran::bordsMesures_;
int Ecran::titreMesure_ = 0;
int Ecran::pointeur_ = pointeur::Defaut;

QCursor curseurPour(int code)
{
    switch (code) {
    case pointeur::Croix: return QCursor(Qt::CrossCursor);
    case pointeur::Deplacement: return QCursor(Qt::SizeAllCursor);
    case pointeur::Sablier: return QCursor(Qt::WaitCursor);
    case pointeur::Personnalise: return QCursor(Qt::PointingHandCursor);
    default: return QCursor(Qt::ArrowCursor);
    }
}

static QScreen* ecranPrincipal() { return QGuiApplication::primaryScreen(); }

// The density the X desktop declares (the resource Xft.dpi), which Qt's scaling hides from the
// program. None outside X or where the desktop declares none: a bare server's own millimetres
// are no measure (Xvfb makes every screen 100 dpi), so Qt's figure stands then.
static std::optional<double> densiteX11()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* cx = x11 ? x11->connection() : nullptr;
    if (!cx)
        return std::nullopt;
    const xcb_screen_t* ecran = xcb_setup_roots_iterator(xcb_get_setup(cx)).data;
    if (!ecran)
        return std::nullopt;
    const xcb_get_property_cookie_t q =
        xcb_get_property(cx, 0, ecran->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16);
    if (xcb_get_property_reply_t* r = xcb_get_property_reply(cx, q, nullptr)) {
        const QByteArray ressources(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
        free(r);
        for (const QByteArray& ligne : ressources.split('\n')) {
            if (!ligne.startsWith("Xft.dpi:"))
                continue;
            bool ok = false;
            const double d = ligne.mid(8).trimmed().toDouble(&ok);
            if (ok && d > 0)
                return d;
        }
    }
    return std::nullopt;
}

static int twipsParPixelReel(bool horizontal)
{
    // Read once the application exists: the X server's density does not change in a run.
    static bool lue = false;
    static std::optional<double> densite;
    if (!lue && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        densite = densiteX11();
        lue = true;
    }
    if (densite)
        return static_cast<int>(std::lround(1440.0 / *densite));
    QScreen* s = ecranPrincipal();
    if (!s)
        return 15;
    const double dpi = horizontal ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
    // High-dpi scaling turns logical pixels into device pixels: count in device pixels.
    const double ppp = dpi * s->devicePixelRatio();
    return ppp > 0 ? static_cast<int>(std::lround(1440.0 / ppp)) : 15;
}

int Ecran::twipsParPixelX() { return simule_ ? simule_->twipsParPixelX : twipsParPixelReel(true); }
int Ecran::twipsParPixelY() { return simule_ ? simule_->twipsParPixelY : twipsParPixelReel(false); }

int Ecran::largeurTwips()
{
    if (simule_)
        return simule_->largeurPx * simule_->twipsParPixelX;
    QScreen* s = ecranPrincipal();
    const int px = s ? static_cast<int>(std::lround(s->geometry().width() * s->devicePixelRatio())) : 800;
    return px * twipsParPixelX();
}

int Ecran::hauteurTwips()
{
    if (simule_)
        return simule_->hauteurPx * simule_->twipsParPixelY;
    QScreen* s = ecranPrincipal();
    const int px = s ? static_cast<int>(std::lround(s->geometry().height() * s->devicePixelRatio())) : 600;
    return px * twipsParPixelY();
}

int Ecran::hauteurBordsTitre()
{
    // The frame a window manager adds is only known once a window is shown and framed; until
    // then, and where nothing frames the windows, the customary 375 twips (25 pixels).
    if (bordsSimules_)
        return *bordsSimules_;
    return bordsMesures_ ? *bordsMesures_ : 375;
}

bool Ecran::mesurerBordsTitre(const QWidget& fenetre)
{
    if (!fenetre.isVisible())
        return false;
    const int cadre = fenetre.frameGeometry().height() - fenetre.geometry().height();
    if (cadre <= 0)
        return false;
    bordsMesures_ = cadre * twipsParPixelY();
    titreMesure_ = std::max(0, fenetre.geometry().top() - fenetre.frameGeometry().top()) * twipsParPixelY();
    return true;
}

int Ecran::hauteurMaximiseeTwips()
{
    if (simule_)
        return hauteurTwips();
    QScreen* s = ecranPrincipal();
    if (!s)
        return hauteurTwips();
    const int px = static_cast<int>(std::lround(s->availableGeometry().height() * s->devicePixelRatio()));
    return px * twipsParPixelY() - titreMesure_;
}

void Ecran::definirPointeur(int code)
{
    if (pointeur_ != pointeur::Defaut && qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
    pointeur_ = code;
    if (code != pointeur::Defaut && qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(curseurPour(code));
}

int Ecran::pointeurCourant() { return pointeur_; }

void Ecran::simuler(const EcranSimule& e) { simule_ = e; }
void Ecran::simulerBordsTitre(int twips) { bordsSimules_ = twips; }
void Ecran::reel()
{
    simule_.reset();
    bordsSimules_.reset();
    bordsMesures_.reset();
    titreMesure_ = 0;
}

}  // namespace kal
