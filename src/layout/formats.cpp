// Print formats: the printed size of the current object, held by A_format in whole twips (the
// printed width in width mode, the printed height in height mode), its limits at 180 and 120
// pixels per inch, and the colours of its resolution band in E_format and E_nominal.
#include "layout/disposition.h"

#include "pagemodel/fiche.h"
#include "platform/base/conversions.h"

#include <cmath>

namespace kal {

namespace {
// Resolution bands: above 180 pixels per inch, 180 to 120 inclusive, below 120.
constexpr int FondBon = 65280;         // green
constexpr int FondAcceptable = 56831;  // gold
constexpr int FondInsuffisant = 255;   // red, with white text
constexpr int TexteNoir = 0;
constexpr int TexteBlanc = 0xFFFFFF;

// The picture's size in pixels, whatever unit the control is in.
std::pair<double, double> taillePixels(ControleImage& photo)
{
    const int mode = photo.modeechelle();
    photo.definirModeechelle(modeechelle::Pixels);
    const std::pair<double, double> t{photo.largeurbitmap(), photo.hauteurbitmap()};
    photo.definirModeechelle(mode);
    return t;
}

QString legendeDeuxCotes(const QString& debut, double l, double h, const QString& fin)
{
    return debut + Twips(l).mm() + QStringLiteral(" x ") + Twips(h).mm() + fin;
}
}  // namespace

QString legendeFormat(double l, double h) { return legendeDeuxCotes(QStringLiteral("Format:"), l, h, QStringLiteral("mm")); }

QString legendeFormatDirect(double l, double h)
{
    return legendeDeuxCotes(QStringLiteral("Format :"), l, h, QStringLiteral(" mm"));
}

// The four limits of the current photo, from its size in pixels, and the largest format
// that still gives 120 pixels per inch. A free record, or an object outside what the editor
// shows, leaves the limits and the caption as they were.
void Disposition::status()
{
    EtatEditeur& e = x_.etat;
    ControleImage* photo = controleCourant();
    if (!photo)
        return;
    photo->definirModeechelle(modeechelle::Twips);
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    if (!fiches.lire(e.objetcourant, champ::occup).toBool() || !surPartieMontree())
        return;

    const auto [w, h] = taillePixels(*photo);
    e.largmax180 = arrondi(w / 180 * 1440);
    e.largmax120 = arrondi(w / 120 * 1440);
    e.hautmax180 = arrondi(h / 180 * 1440);
    e.hautmax120 = arrondi(h / 120 * 1440);
    legendeMaximum();
}

void Disposition::legendeMaximum()
{
    const EtatEditeur& e = x_.etat;
    x_.c.E_maximum.definirLegende(QStringLiteral("Format maximal acceptable:") + Twips(e.largmax120).mm() +
                                  QStringLiteral(" x ") + Twips(e.hautmax120).mm() + QStringLiteral(" mm"));
}

// The format slider for the current object: its own size, capped by the surface.
void Disposition::initformat()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (!controleCourant() || !rapportValide())
        return;
    const bool largeur = modeLargeur();
    const double cote = largeur ? e.largeurobjet : e.hauteurobjet;
    c.A_format.definirMax((largeur ? e.largeursurface : e.hauteursurface).entier());
    valeurBornee(c.A_format, c.A_format.max() > cote ? arrondi(cote) : c.A_format.max());
    const auto [W, H] = dimensionsFormat(c.A_format.valeur(), largeur);
    c.E_format.definirLegende(legendeFormat(W, H));
    couleurformat();
}

// The current object enlarged to the largest format that fits the surface, at the smallest
// position.
void Disposition::formatmax()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    status();
    initmarge();
    if (!controleCourant() || !rapportValide())
        return;
    const bool largeur = modeLargeur();
    c.A_format.definirMax((largeur ? e.largeursurface : e.hauteursurface).entier());
    c.A_format.definirValeur(c.A_format.max());
    const auto [W, H] = dimensionsFormat(c.A_format.valeur(), largeur);
    c.E_format.definirLegende(legendeFormat(W, H));
    couleurformat();
    apercu();
}

// Colours E_format and E_nominal by the resolution band of the present format, and writes the
// photo's size in pixels and its resolution into E_nominal. Both editors decide the mode from
// the surface the object is placed on (the jacket: the face shown).
void Disposition::couleurformat()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ControleImage* photo = controleCourant();
    if (!photo)
        return;
    const double v = c.A_format.valeur();
    double bas, haut;
    if (modeLargeur()) {
        e.largeurformat = v;
        bas = e.largmax180;
        haut = e.largmax120;
    } else {
        e.largeurformat = dimensionsFormat(v, false).first;
        bas = e.hautmax180;
        haut = e.hautmax120;
    }
    const int fond = v < bas ? FondBon : v <= haut ? FondAcceptable : FondInsuffisant;
    const int texte = fond == FondInsuffisant ? TexteBlanc : TexteNoir;
    for (Etiquette* k : {&c.E_format, &c.E_nominal}) {
        k->definirCouleurFond(fond);
        k->definirCouleurTexte(texte);
    }

    const auto [wpx, hpx] = taillePixels(*photo);
    // A format of no width gives no resolution. Its whole part is shown: a figure that is whole
    // (a 600-pixel photo printed 9000 twips wide is at 96) stays whole through the divisions.
    e.resolution = e.largeurformat > 0 && std::isfinite(e.largeurformat) ? wpx * 1440 / e.largeurformat : 0;
    c.E_nominal.definirLegende(QStringLiteral("Format photo:") + QString::number(std::llround(wpx)) + QStringLiteral(" x ") +
                               QString::number(std::llround(hpx)) + QStringLiteral(" pixels:") +
                               QString::number(static_cast<long long>(std::floor(e.resolution + 1e-9))) +
                               QStringLiteral(" pixels/pouce"));
}

// After a rotation the object has a new width, height and ratio: the format slider, the
// position ranges and the captions follow, then the preview, the limits and the colours.
// The position sliders keep their values within their new ranges; nothing else moves them.
void Disposition::formatangle()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (!controleCourant() || !rapportValide())
        return;
    const Twips SW = e.largeursurface, SH = e.hauteursurface;
    const Twips oH = origineGauche(), oV = origineHaut();
    const bool largeur = modeLargeur();
    if (largeur) {
        c.A_format.definirMax(SW.entier());
        valeurBornee(c.A_format, c.A_format.max() > e.largeurobjet ? arrondi(e.largeurobjet) : c.A_format.max());
        const double v = c.A_format.valeur();
        c.A_margeH.definirMax((SW + oH - Twips(v)).entier());
        const auto [W, H] = dimensionsFormat(v, true);
        c.A_margeV.definirMax((SH + oV - Twips(H)).entier());
        c.E_format.definirLegende(legendeFormat(W, H));
    } else {
        c.A_format.definirMax(SH.entier());
        valeurBornee(c.A_format, c.A_format.max() > e.hauteurobjet ? arrondi(e.hauteurobjet) : c.A_format.max());
        const double v = c.A_format.valeur();
        c.A_margeV.definirMax((SH + oV - Twips(v)).entier());
        const auto [W, H] = dimensionsFormat(v, false);
        c.A_margeH.definirMax((SW + oH - Twips(W)).entier());
        c.E_format.definirLegende(legendeFormat(W, H));
    }
    legendesPositions();
    apercu();
    status();
    couleurformat();
}

}  // namespace kal
