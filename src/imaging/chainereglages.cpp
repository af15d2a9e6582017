#include "imaging/chainereglages.h"

namespace kal {

int valeurDe(const ValeursReglages& v, Reglage r)
{
    switch (r) {
    case Reglage::Contraste: return v.contraste;
    case Reglage::Couleur: return v.couleur;
    case Reglage::Intensite: return v.intensite;
    case Reglage::Nettete: return v.nettete;
    case Reglage::Saturation: return v.saturation;
    }
    return 0;
}

void appliquerReglage(ControleImage& c, Reglage r, int v)
{
    switch (r) {
    case Reglage::Contraste: c.contraste(v); break;
    case Reglage::Couleur: c.teinte(v); break;
    case Reglage::Intensite: c.intensite(v); break;
    case Reglage::Nettete: c.nettete(v); break;
    case Reglage::Saturation: c.saturation(v * 10); break;
    }
}

void appliquerReglages(ControleImage& c, const ValeursReglages& v)
{
    for (Reglage r : OrdreReglages)
        appliquerReglage(c, r, valeurDe(v, r));
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
