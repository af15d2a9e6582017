#include "platform/base/fenetres.h"

#include "platform/base/ecran.h"
#include "platform/base/conversions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShowEvent>
#include <QWindow>
#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <map>

namespace kal {

namespace {
struct Registre {
    std::map<QString, Fenetres::Fabrique> fabriques;
    std::map<QString, QPointer<Fenetre>> instances;
};
Registre& registre()
{
    static Registre r;
    return r;
}
bool g_termine = false;

int px(int twips, int twipsParPixel) { return arrondi(static_cast<double>(twips) / twipsParPixel); }
}  // namespace

Fenetre::Fenetre(const QString& nom, QWidget* parent) : QWidget(parent, Qt::Window), nom_(nom)
{
    setObjectName(nom);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Another window of the program becoming active makes the next activation of this one a
    // return to it (a message box or another program is no such window).
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* w) {
        if (!w || w == windowHandle() || !activeDepuis_)
            return;
        for (QWidget* haut : QApplication::topLevelWidgets())
            if (haut->windowHandle() == w && qobject_cast<Fenetre*>(haut))
                vueFraiche_ = false;
    });
}

bool Fenetre::event(QEvent* e)
{
    // An unloaded window waiting for its deletion is hidden: it is not activated.
    if (e->type() == QEvent::WindowActivate && isVisible()) {
        activeDepuis_ = true;
        if (!vueFraiche_) {
            vueFraiche_ = true;
            activation();
        }
    }
    return QWidget::event(e);
}

void Fenetre::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    // Where no window manager gives the window the focus, showing it is its activation.
    if (!e->spontaneous() && !vueFraiche_) {
        vueFraiche_ = true;
        activeDepuis_ = isActiveWindow();
        activation();
    }
}

int Fenetre::hauteurClient() const { return hauteur_ - Ecran::hauteurBordsTitre(); }

void Fenetre::placer(int g, int h, int l, int ht)
{
    gauche_ = g;
    haut_ = h;
    largeur_ = l;
    hauteur_ = ht;
    const int tx = Ecran::twipsParPixelX();
    const int ty = Ecran::twipsParPixelY();
    const int bords = Ecran::hauteurBordsTitre();
    // Qt places the frame's top-left corner with move() and sizes the client area with resize().
    move(px(g, tx), px(h, ty));
    resize(std::max(1, px(l, tx)), std::max(1, px(ht - bords, ty)));
}

void Fenetre::definirPointeur(int code)
{
    pointeur_ = code;
    if (code == pointeur::Defaut)
        unsetCursor();
    else
        setCursor(curseurPour(code));
}

void Fenetre::decharger() { Fenetres::decharger(nom_); }

void Fenetre::closeEvent(QCloseEvent* e)
{
    if (dechargee_ || g_termine) {
        e->accept();
        return;
    }
    // Closing the window from its frame unloads it like the program would.
    e->ignore();
    Fenetres::decharger(nom_);
}

void Fenetres::enregistrer(const QString& nom, Fabrique fabrique) { registre().fabriques[nom] = std::move(fabrique); }

Fenetre* Fenetres::siChargee(const QString& nom)
{
    auto& inst = registre().instances;
    auto it = inst.find(nom);
    if (it == inst.end())
        return nullptr;
    if (!it->second) {
        inst.erase(it);
        return nullptr;
    }
    return it->second.data();
}

Fenetre* Fenetres::instance(const QString& nom)
{
    if (g_termine)
        return nullptr;
    if (Fenetre* f = siChargee(nom))
        return f;
    auto& r = registre();
    auto fab = r.fabriques.find(nom);
    if (fab == r.fabriques.end())
        return nullptr;
    Fenetre* f = fab->second();
    r.instances[nom] = f;
    f->chargement();
    // The load may have unloaded the window again, or ended the program.
    if (g_termine)
        return nullptr;
    return siChargee(nom) == f ? f : nullptr;
}

void Fenetres::montrer(const QString& nom)
{
    Fenetre* f = instance(nom);
    if (!f)
        return;
    f->show();
    f->raise();
    f->activateWindow();
}

void Fenetres::decharger(const QString& nom)
{
    Fenetre* f = siChargee(nom);
    if (!f || f->dechargee_)
        return;
    if (!f->dechargement())
        return;
    f->dechargee_ = true;
    registre().instances.erase(nom);
    f->hide();
    f->deleteLater();
}

void Fenetres::toutDetruire()
{
    auto inst = std::move(registre().instances);
    registre().instances.clear();
    for (auto& [nom, f] : inst)
        if (f) {
            f->dechargee_ = true;
            f->hide();
            delete f.data();
        }
}

void Fenetres::reinitialiser()
{
    toutDetruire();
    registre().fabriques.clear();
}

void Programme::terminer()
{
    g_termine = true;
    for (auto& [nom, f] : registre().instances)
        if (f)
            f->hide();
    QCoreApplication::exit(0);
}

bool Programme::termine() { return g_termine; }

void Programme::reinitialiser() { g_termine = false; }

}  // namespace kal
