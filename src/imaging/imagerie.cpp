#include "imaging/imagerie.h"

namespace kal {

void Imagerie::brancher()
{
    brancherCurseurs();
    brancherRotation();
    brancherGamma();
    brancherReinitialisation();
    brancherRedimension();
    brancherDecoupe();
    // Commands that need an object do nothing on an empty page, without a message.
    x_.enregistrerCommande(QStringLiteral("Redimensionner"), [this] { return redimensionner(); });
    x_.enregistrerCommande(QStringLiteral("Enregistrer sous"), [this] { return enregphoto(); });
    x_.enregistrerCommande(QStringLiteral("Scanner"), [this] { return scanning(); });
}

void Imagerie::gammaaffichage()
{
    ControlesEditeur& c = x_.c;
    const double gamma = x_.partage.gamma;
    if (x_.jaquette()) {
        for (int n : {0, 16})
            c.L_jaq[static_cast<size_t>(n)]->definirGammaaffichage(gamma);
    }
    for (size_t n = 0; n < static_cast<size_t>(x_.etat.nbEmplacements()); ++n) {
        if (!x_.jaquette()) {
            if (ControleImage* m = c.L_miniat[n].get())
                m->definirGammaaffichage(gamma);
            continue;
        }
        for (ControleImage* k : {c.L_photo[n].get(), c.L_miniat[n].get(), c.L_apjaq[n].get()})
            k->definirGammaaffichage(gamma);
        for (ControleImage* k : {c.L_photo[n].get(), c.L_miniat[n].get(), c.L_apjaq[n].get()})
            k->definirOptionaffichage(1);
    }
}

void Imagerie::preparerdessin()
{
    for (auto& photo : x_.c.L_photo) {
        photo->definirCouleurdessin(0);
        photo->definirOptiondessin(true);
    }
}

}  // namespace kal
