#include "platform/controls/controle.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"

namespace kal {

int pixelsX(int twips) { return arrondi(static_cast<double>(twips) / Ecran::twipsParPixelX()); }
int pixelsY(int twips) { return arrondi(static_cast<double>(twips) / Ecran::twipsParPixelY()); }

Controle::Controle(QWidget* w) : widget_(w) {}

void Controle::placer(int g, int h, int l, int ht)
{
    gauche_ = g;
    haut_ = h;
    largeur_ = l;
    hauteur_ = ht;
    widget_->setGeometry(pixelsX(g), pixelsY(h), std::max(0, pixelsX(l)), std::max(0, pixelsY(ht)));
}

void Controle::definirVisible(bool v)
{
    visible_ = v;
    widget_->setVisible(v);
}

void Controle::initialiserGeometrie()
{
    const QRect r = widget_->geometry();
    gauche_ = r.x() * Ecran::twipsParPixelX();
    haut_ = r.y() * Ecran::twipsParPixelY();
    largeur_ = r.width() * Ecran::twipsParPixelX();
    hauteur_ = r.height() * Ecran::twipsParPixelY();
}

}  // namespace kal
