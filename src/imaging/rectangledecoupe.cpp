#include "imaging/rectangledecoupe.h"

#include "platform/base/conversions.h"

#include <algorithm>
#include <cstdlib>

namespace kal {

QRect rectangleTrace(int departX, int departY, int x, int y)
{
    return {std::min(x, departX), std::min(y, departY), std::abs(x - departX), std::abs(y - departY)};
}

QRect rectangleDansImage(const ControleImage& montree, double largeur, double hauteur)
{
    const auto simple = [](double v) { return static_cast<float>(v); };
    const double sx = largeur / simple(montree.largeurvue());
    const double sy = hauteur / simple(montree.hauteurvue());
    return {arrondi((simple(montree.gauchesel()) - simple(montree.gauchevue())) * sx),
            arrondi((simple(montree.hautsel()) - simple(montree.hautvue())) * sy), arrondi(simple(montree.largeursel()) * sx),
            arrondi(simple(montree.hauteursel()) * sy)};
}

void effacerRectangle(ControleImage& c)
{
    c.rectaffichage(c.gauchevue(), c.hautvue(), c.largeurvue(), c.hauteurvue());
    c.repeindre();
}

void afficherEntiere(ControleImage& c)
{
    c.rectsource(0, 0, c.largeurechelle(), c.hauteurechelle());
    c.rectaffichage(0, 0, c.largeurechelle(), c.hauteurechelle());
    c.repeindre();
}

}  // namespace kal
