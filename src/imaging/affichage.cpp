// Showing a newly placed object, and the stamp: the small copy of the picture, 145 pixels on
// its longer side, kept inside photo<n>.svc for the thumbnail.
#include "imaging/imagerie.h"

#include "layout/disposition.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/pixels.h"

#include <algorithm>

namespace kal {

void Imagerie::affichphoto()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ControleImage* photo = photoCourante();
    if (!photo)
        return;
    if (e.typeobjet == QLatin1String("photo"))
        initzero();
    for (Controle* k : std::initializer_list<Controle*>{&c.E_margeH, &c.E_margeV, &c.A_margeH, &c.A_margeV})
        k->definirActif(true);
    photo->definirVisible(false);
    photo->definirGammaaffichage(x_.partage.gamma);
    x_.disposition().echelle();
    x_.disposition().initialisation();
    c.L_sauvder.definirLargeur(photo->largeurReelle());
    c.L_sauvder.definirHauteur(photo->hauteurReelle());
    sauvder();
    sauvphoto();
    photo->traitementphoto();
    if (!e.rechargementencours)
        photo->definirVisible(true);
    if (e.typeobjet == QLatin1String("photo"))
        x_.autcontrol(true, false);
    else if (e.typeobjet == QLatin1String("textimage"))
        x_.autcontrol(true, true);
    Ecran::definirPointeur(pointeur::Personnalise);
}

void ecrireAvecVignette(ControleImage& c, const QString& chemin)
{
    const image::Photo p = c.bitmap();
    if (p.estVide())
        throw Erreur(image::err::EcritureImpossible, QStringLiteral("Aucune image à écrire dans %1").arg(chemin));
    // The stamp's longer side is 145 pixels. It is made from the display copy, itself the whole
    // picture reduced (a 24-megapixel picture is not gone through again for 145 pixels).
    const float l = static_cast<float>(p.largeur());
    const float h = static_cast<float>(p.hauteur());
    const int largeur = std::max(1, arrondi(h >= l ? l / h * 145 : 145));
    const int hauteur = std::max(1, arrondi(h >= l ? 145 : h / l * 145));
    const QImage vignette = image::reechantillonner(p.apercu(), largeur, hauteur);
    image::ecrireVignette(p.pleine(), chemin, 10, 24, 20, vignette);
}

void Imagerie::creatstamp(int i)
{
    ControleImage& m = *x_.c.L_miniat[static_cast<size_t>(i)];
    // The stamp goes in with the same picture: what the file held stays known.
    const bool connue = copies_.connue(fichierPhoto(i));
    m.lirefichier(fichierPhoto(i), 0, 0, 1);
    m.definirModeechelle(modeechelle::Twips);
    ecrireAvecVignette(m, fichierPhoto(i));
    copies_.reecrite(fichierPhoto(i), connue);
}

void Imagerie::regvisible(bool b)
{
    ControlesEditeur& c = x_.c;
    for (Curseur* a : {&c.A_intensite, &c.A_contraste, &c.A_couleur, &c.A_nettete, &c.A_saturation})
        a->definirVisible(b);
}

}  // namespace kal
