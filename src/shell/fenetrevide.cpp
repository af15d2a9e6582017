#include "shell/fenetrevide.h"

namespace kal {

FenetreVide::FenetreVide(const QString& nom, const QString& legende) : Fenetre(nom)
{
    setWindowTitle(legende);
    placer(1500, 1500, 6000, 4500);
}

}  // namespace kal
