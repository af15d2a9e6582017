#include "imaging/chainereglages.h"

namespace kal {

void appliquerReglages(ControleImage& c, const ValeursReglages& v)
{
    c.contraste(v.contraste);
    c.teinte(v.couleur);
    c.intensite(v.intensite);
    c.nettete(v.nettete);
    c.saturation(v.saturation * 10);
}

void appliquerChaine(ControleImage& c, const ValeursReglages& v, const Finition& f)
{
    appliquerReglages(c, v);
    appliquerFinition(c, f);
}

void appliquerFinition(ControleImage& c, const Finition& f)
{
    if (f.photo)
        c.traitementphoto();
    if (f.cadre)
        c.tracercadre(f.cadre->x(), f.cadre->y(), f.cadre->width(), f.cadre->height());
    if (f.angle)
        c.rotation(*f.angle * 100, 1, 0xFFFFFF);
}

}  // namespace kal
