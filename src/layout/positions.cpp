// The position sliders: A_margeH holds the current object's left side, A_margeV its top side,
// in sheet twips from the sheet's corner on the page and in face twips on the jacket. Their
// labels show the position in millimetres. Both sliders run the same procedure over a table
// of their parameters.
#include "layout/disposition.h"

#include "platform/base/conversions.h"
#include "printing/impression.h"

namespace kal {

struct Disposition::AxePosition {
    Curseur ControlesEditeur::*curseur;
    Etiquette ControlesEditeur::*etiquette;
    const char* mot;     // caption word
    bool horizontal;     // A_margeH
};

const Disposition::AxePosition Disposition::AxeH{&ControlesEditeur::A_margeH, &ControlesEditeur::E_margeH, "Gauche: ",
                                                 true};
const Disposition::AxePosition Disposition::AxeV{&ControlesEditeur::A_margeV, &ControlesEditeur::E_margeV, "Haut: ",
                                                 false};

QString legendePosition(const QString& mot, double twips) { return mot + Twips(twips).mm() + QStringLiteral(" mm"); }

void Disposition::legendesPositions()
{
    ControlesEditeur& c = x_.c;
    c.E_margeH.definirLegende(legendePosition(QString::fromLatin1(AxeH.mot), c.A_margeH.valeur()));
    c.E_margeV.definirLegende(legendePosition(QString::fromLatin1(AxeV.mot), c.A_margeV.valeur()));
}

void Disposition::pasCurseur(Curseur& a, int petit)
{
    a.definirPetitPas(std::max(1, petit));
    // A page step must be at least 1: a slider whose Max is 5 or less gets Max 15 first.
    int grand = arrondi(a.max() / 10.0);
    if (grand < 1) {
        a.definirMax(15);
        grand = arrondi(a.max() / 10.0);
    }
    a.definirGrandPas(grand);
}

// Ranges of both sliders for the current object, fitted to the surface, and the object at its
// smallest position: the top-left corner of the printable surface (page: 15 twips inside it;
// jacket: the face's corner).
void Disposition::initmarge()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (!controleCourant() || !rapportValide())
        return;
    const Twips L(e.largeurobjet), H(e.hauteurobjet);
    const Twips SW = e.largeursurface, SH = e.hauteursurface;
    const Twips oH = origineGauche(), oV = origineHaut();

    c.A_margeH.definirMin(oH.entier());
    c.A_margeV.definirMin(oV.entier());

    // The fitted size W' x H' (whole twips) and which slider is set first.
    Twips Wp, Hp;
    bool horizontalDabord = false;
    const auto parLaLargeur = [&] {
        Wp = SW.arrondie();
        Hp = Wp.prorata(H, L).arrondie();
        horizontalDabord = true;
    };
    const auto parLaHauteur = [&] {
        Hp = SH.arrondie();
        Wp = Hp.prorata(L, H).arrondie();
        horizontalDabord = false;
    };
    if (L < SW && H < SH) {
        Wp = L.arrondie();
        Hp = H.arrondie();
        horizontalDabord = H / SH < L / SW;
    } else if (L >= SW && H < SH) {
        parLaLargeur();
    } else if (L < SW) {
        parLaHauteur();
    } else if (H / SH >= L / SW) {
        parLaHauteur();
    } else {
        parLaLargeur();
    }

    const auto placerH = [&] {
        c.A_margeH.definirMax((SW + oH - Wp).entier());
        c.A_margeH.definirValeur(c.A_margeH.min());
    };
    const auto placerV = [&] {
        c.A_margeV.definirMax((SH + oV - Hp).entier());
        c.A_margeV.definirValeur(c.A_margeV.min());
    };
    if (horizontalDabord) {
        placerH();
        placerV();
    } else {
        placerV();
        placerH();
    }

    // The jacket's objects were just moved on the face: its fold marks are drawn again over them.
    if (x_.jaquette())
        x_.impression().pliage();
}

void Disposition::changemargeH() { changemarge(AxeH); }
void Disposition::changemargeV() { changemarge(AxeV); }

void Disposition::changemarge(const AxePosition& axe)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    Curseur& curseur = c.*axe.curseur;

    if (e.margesactives) {
        // The format slider may not take the object past the surface.
        const Twips L(e.largeurobjet), H(e.hauteurobjet);
        const Twips SW = e.largeursurface, SH = e.hauteursurface;
        const bool parHauteur = H / SH >= L / SW;
        if (L > SW || H > SH)
            c.A_format.definirMax((parHauteur ? SH : SW).entier());
        else if (axe.horizontal && !parHauteur)
            c.A_format.definirMax(SW.entier());
        else if (!axe.horizontal && parHauteur)
            c.A_format.definirMax(SH.entier());
        if (!e.rechargementencours)
            apercu();
    }
    pasCurseur(curseur, x_.jaquette() || e.echelleimp <= 0 ? 15 : Twips(15).reduit(e.echelleimp).entier());
    (c.*axe.etiquette).definirLegende(legendePosition(QString::fromLatin1(axe.mot), curseur.valeur()));
    if (x_.jaquette())
        x_.impression().apercujaq(QStringLiteral("mov"));
    e.pagemodifiee = true;
}

void Disposition::restitmargeh() { restitmarge(AxeH, x_.etat.margesauvH); }
void Disposition::restitmargev() { restitmarge(AxeV, x_.etat.margesauvV); }

void Disposition::restitmarge(const AxePosition& axe, int32_t valeur)
{
    Curseur& curseur = x_.c.*axe.curseur;
    const int bas = std::min(curseur.min(), curseur.max());
    const int haut = std::max(curseur.min(), curseur.max());
    // A kept value outside the present range puts the object at the far end instead.
    curseur.definirValeur(valeur < bas || valeur > haut ? curseur.max() : valeur);
}

}  // namespace kal
