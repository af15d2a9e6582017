#include "layout/geometrie.h"

#include "pagemodel/fiche.h"
#include "platform/base/erreur.h"
#include "platform/database/basedonnees.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/pixels.h"

namespace kal {

FicheGeometrie lireGeometrie(const bd::JeuEnregistrements& fiche)
{
    return {Twips(fiche.valeur(champ::leftimp).toDouble()), Twips(fiche.valeur(champ::topimp).toDouble()),
            Twips(fiche.valeur(champ::widthimp).toDouble()), Twips(fiche.valeur(champ::heightimp).toDouble()),
            fiche.valeur(champ::rot).toInt()};
}

bool angleDroitOuNul(int rot) { return rot == 0 || rot == 90 || rot == 180 || rot == -90 || rot == -180; }

namespace {
bool quart(int rot) { return rot == 90 || rot == -90; }
// The picture turned by rot degrees, in pixels (the picture itself without a size).
QSize tournee(QSize pixels, int rot)
{
    return pixels.width() > 0 && pixels.height() > 0 ? image::tailleTournee(pixels, rot * 100) : pixels;
}
}  // namespace

// Each side grows by the turned picture's pixels over the picture's own, multiplied first so
// that a side that comes out whole stays whole.
std::pair<Twips, Twips> boiteTournee(Twips largeur, Twips hauteur, QSize pixels, int rot)
{
    if (quart(rot))
        return {hauteur, largeur};
    const QSize t = tournee(pixels, rot);
    if (angleDroitOuNul(rot) || t.isEmpty())
        return {largeur, hauteur};
    return {Twips(largeur.valeur() * t.width() / pixels.width()), Twips(hauteur.valeur() * t.height() / pixels.height())};
}

std::pair<Twips, Twips> tailleAvantRotation(Twips largeur, Twips hauteur, QSize pixels, int rot)
{
    if (quart(rot))
        return {hauteur, largeur};
    const QSize t = tournee(pixels, rot);
    if (angleDroitOuNul(rot) || t.isEmpty())
        return {largeur, hauteur};
    return {Twips(largeur.valeur() * pixels.width() / t.width()), Twips(hauteur.valeur() * pixels.height() / t.height())};
}

GeometrieObjet geometrieObjet(const FicheGeometrie& f, QSize pixels)
{
    GeometrieObjet g;
    g.rect = {f.gauche, f.haut, f.largeur, f.hauteur};
    const auto [l, h] = boiteTournee(f.largeur, f.hauteur, pixels, f.rot);
    g.boite = {f.gauche, f.haut, l, h};
    return g;
}

QSize pixelsFichier(const QString& chemin)
{
    try {
        const image::InfoFichier i = image::lireInfo(chemin);
        return {i.largeur, i.hauteur};
    } catch (const Erreur&) {
        return {};
    }
}

}  // namespace kal
