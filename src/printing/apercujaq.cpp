// The jacket preview: beside the face being composed, each face as it will print, with one
// miniature per object, kept in step with the current object's box, picture and visibility.
#include "printing/impression.h"

namespace kal {

void Impression::apercujaq(const QString& action)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // Nothing to follow without a current object on the face, or before the load set the scale.
    if (!x_.jaquette() || e.objetcourant < 0 || e.objetcourant >= e.fincote || !(e.echellejaq > 0))
        return;
    const size_t n = static_cast<size_t>(e.objetcourant);
    ControleImage& miniature = *c.L_apjaq[n];
    const ControleImage& photo = *c.L_photo[n];
    miniature.definirVisible(false);
    c.P_page.definirVisible(false);
    if (action != QLatin1String("sup")) {
        const double s = e.echellejaq;
        miniature.definirHauteur(Twips(photo.hauteurReelle()).reduit(s).valeur());
        miniature.definirLargeur(Twips(photo.largeurReelle()).reduit(s).valeur());
        miniature.definirGauche(Twips(photo.gaucheReel()).reduit(s).valeur());
        miniature.definirHaut(Twips(photo.hautReel()).reduit(s).valeur());
        miniature.definirBitmap(photo.bitmap());
        const bool texteVide = e.typeobjet == QLatin1String("textimage") && c.T_compos.contenutexte().isEmpty();
        miniature.definirVisible(!texteVide);
    }
    c.P_page.definirVisible(true);
}

}  // namespace kal
