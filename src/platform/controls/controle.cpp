#include "platform/controls/controle.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"

namespace kal {

int pixelsX(int twips) { return arrondi(static_cast<double>(twips) / Ecran::twipsParPixelX()); }
int pixelsY(int twips) { return arrondi(static_cast<double>(twips) / Ecran::twipsParPixelY()); }

Controle::Controle(QWidget* w) : widget_(w) {}

void Controle::placerReel(double g, double h, double l, double ht)
{
    g_ = g;
    h_ = h;
    l_ = l;
    ht_ = ht;
    const double tx = Ecran::twipsParPixelX(), ty = Ecran::twipsParPixelY();
    widget_->setGeometry(arrondi(g_ / tx), arrondi(h_ / ty), std::max(0, arrondi(l_ / tx)), std::max(0, arrondi(ht_ / ty)));
}

void Controle::definirVisible(bool v)
{
    visible_ = v;
    widget_->setVisible(v);
}

void Controle::initialiserGeometrie()
{
    const QRect r = widget_->geometry();
    g_ = r.x() * Ecran::twipsParPixelX();
    h_ = r.y() * Ecran::twipsParPixelY();
    l_ = r.width() * Ecran::twipsParPixelX();
    ht_ = r.height() * Ecran::twipsParPixelY();
}

}  // namespace kal
