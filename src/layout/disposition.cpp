#include "layout/disposition.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/printer/imprimante.h"

#include <algorithm>
#include <cmath>

namespace kal {

namespace {
// Room kept under the band's bottom line when the window is too short for it.
constexpr int MargeBasBande = 15;
int bas(const Controle& c) { return c.haut() + c.hauteur(); }
// Puts `c` directly below `dessus`.
void dessous(Controle& c, const Controle& dessus) { c.definirHaut(bas(dessus)); }
// A white picture of the control's size, in screen pixels.
void remplirBlanc(ControleImage& c)
{
    c.creerbitmap(pixelsX(c.largeur()), pixelsY(c.hauteur()), 24);
    c.remplir(0xFFFFFF);
}
}  // namespace

QString legendeSurface(Twips largeur, Twips hauteur)
{
    // Each figure keeps its decimal, written with the user's decimal separator.
    return QStringLiteral("Surface imprimable:") + largeur.mm() + QStringLiteral(" x ") + hauteur.mm() +
           QStringLiteral(" mm");
}

void Disposition::brancher()
{
    ControlesEditeur& c = x_.c;
    // The format slider as designed, before its handlers are set: Min 15, steps 11 and 567,
    // value 15; its Max stays the slider's largest value.
    c.A_format.definirMin(15);
    c.A_format.definirValeur(15);
    c.A_format.definirPetitPas(11);
    c.A_format.definirGrandPas(567);

    c.A_margeH.surChangement = [this] { A_margeH_Change(); };
    c.A_margeH.surDefilement = [this] { A_margeH_Scroll(); };
    c.A_margeV.surChangement = [this] { A_margeV_Change(); };
    c.A_margeV.surDefilement = [this] { A_margeV_Scroll(); };
    c.A_format.surChangement = [this] { A_format_Change(); };
    c.A_format.surDefilement = [this] { A_format_Scroll(); };
    c.A_format.surPerteFocus = [this] { A_format_LostFocus(); };
    c.B_centre.surClic = [this] { B_centre_Click(); };
    // The jacket's object controls live as long as the window; the page's are wired as they
    // are made.
    if (x_.jaquette())
        for (int n = 0; n < x_.etat.nbEmplacements(); ++n)
            brancherObjet(n);
}

int Disposition::ligneBas() const
{
    // The jacket's band sits 120 twips lower than the page's. Where the window's client area
    // is shorter than the design counted on (the title bar of a maximised window, or a window
    // of the screen's height with the designed 375 twips of title over it), the band rises so
    // that it stays wholly inside the window, the sharpness slider included, which reaches
    // 10 twips below the quit button.
    const double h = static_cast<double>(Ecran::hauteurTwips()) - 270 - x_.partage.hauteurtitre;
    const int concue = arrondi(x_.jaquette() ? h : h - 120);
    const int client = x_.fenetre.hauteur() > 0 ? x_.fenetre.hauteurClient() : Ecran::hauteurTwips();
    return std::min({concue, client - MargeBasBande, Ecran::hauteurMaximiseeTwips() - MargeBasBande});
}

void Disposition::dimensionecran()
{
    if (x_.jaquette())
        dimensionecranJaquette();
    else
        dimensionecranPage();
}

// The position, format and gamma stacks, the crop and centre column and the adjustment
// stacks: the same formulas in both windows.
void Disposition::empilerBande()
{
    ControlesEditeur& c = x_.c;
    c.E_margeV.definirHaut(c.E_margeH.haut() + c.E_margeH.hauteur() + 15);
    c.A_margeV.definirHaut(c.A_margeH.haut() + c.A_margeH.hauteur() + 15);
    // The format and gamma rows step by their own height.
    c.E_format.definirHaut(c.E_margeV.haut() + c.E_format.hauteur() + 15);
    c.A_format.definirHaut(c.A_margeV.haut() + c.A_format.hauteur() + 15);
    c.E_gamma.definirHaut(c.E_format.haut() + c.E_gamma.hauteur() + 15);
    c.A_gamma.definirHaut(c.A_format.haut() + c.A_gamma.hauteur() + 15);

    dessous(c.B_annuldecoupe, c.C_decoupe);
    dessous(c.B_centre, c.B_annuldecoupe);
    c.B_centre.definirGauche(c.B_annuldecoupe.gauche());
    dessous(c.C_cadre, c.B_centre);
    c.C_cadre.definirGauche(c.B_annuldecoupe.gauche());
}

// The adjustment stacks under the intensity row, the same in both windows.
void Disposition::empilerReglages()
{
    ControlesEditeur& c = x_.c;
    c.E_contraste.definirHaut(bas(c.E_intensite) + 15);
    c.A_contraste.definirHaut(bas(c.A_intensite) + 15);
    c.E_couleur.definirHaut(bas(c.E_contraste) + 15);
    // The colour slider lines up with its label: it is stacked on the label column.
    c.A_couleur.definirHaut(bas(c.E_contraste) + 15);
    c.E_saturation.definirHaut(bas(c.E_couleur) + 15);
    c.A_saturation.definirHaut(bas(c.A_couleur) + 15);
    c.E_nettete.definirHaut(bas(c.E_saturation) + 15);
    c.A_nettete.definirHaut(bas(c.A_saturation) + 15);
}

// The line of indicator labels directly above the band.
void Disposition::ligneIndicateurs(int ligne)
{
    ControlesEditeur& c = x_.c;
    const int hautBande = ligne - c.B_finimprim.hauteur();
    for (Etiquette* e : {&c.E_surface, &c.E_maximum, &c.E_nominal})
        e->definirHaut(hautBande - e->hauteur());
    c.C_image.placer(c.A_angle.gauche(), hautBande - c.E_nominal.hauteur(), c.C_image.largeur(), c.C_image.hauteur());
    c.E_surface.placer(0, c.E_surface.haut(), c.L_fonction.largeur(), c.E_surface.hauteur());
    c.E_nominal.definirGauche(c.L_fonction.largeur());
    c.E_nominal.definirLargeur(c.B_centre.gauche() + c.B_centre.largeur() - c.E_nominal.gauche());
    // The maximum-size label starts after the whole-image box. (The jacket was laid out with it
    // starting where the nominal one ends, under the box: the two captions were written over
    // each other.)
    c.E_maximum.definirGauche(c.C_image.gauche() + c.C_image.largeur());
    c.E_maximum.definirLargeur(Ecran::largeurTwips() - c.E_maximum.gauche());
}

void Disposition::dimensionecranPage()
{
    ControlesEditeur& c = x_.c;
    const int largeurEcran = Ecran::largeurTwips();
    const int ligne = ligneBas();

    c.B_finimprim.placer(c.B_finimprim.gauche(), ligne - c.B_finimprim.hauteur(),
                         largeurEcran - c.B_finimprim.gauche() - 120, c.B_finimprim.hauteur());
    const int T = c.B_finimprim.haut();
    c.F_page.placer(largeurEcran - c.F_page.largeur(), 0, c.F_page.largeur(), c.F_page.hauteur());

    for (Controle* k : std::initializer_list<Controle*>{&c.L_fonction, &c.E_margeH, &c.A_margeH, &c.C_decoupe, &c.E_angle,
                                                        &c.B_centre, &c.E_intensite, &c.A_intensite, &c.B_initreglage})
        k->definirHaut(T);

    empilerBande();
    // The rotation column only moves down: the page keeps its designed left edges.
    dessous(c.A_angle, c.E_angle);
    dessous(c.B_annulangle, c.A_angle);
    dessous(c.B_initimage, c.B_annulangle);

    empilerReglages();
    ligneIndicateurs(ligne);

    // The composer panel stands on the indicator line at the right edge, and wraps its
    // lines where the printer will.
    c.F_compos.placer(largeurEcran - 3000, c.E_maximum.haut() - c.F_compos.hauteur(), c.F_compos.largeur(),
                      c.F_compos.hauteur());
    c.T_compos.definirLargeurtexte((x_.imprimante.largeurimprimable() - Twips(300)).entier());
}

void Disposition::dimensionecranJaquette()
{
    ControlesEditeur& c = x_.c;
    const int largeurEcran = Ecran::largeurTwips();
    const int ligne = ligneBas();
    const auto& g = x_.etat.geomjaq;

    c.B_finimprim.placer(c.B_finimprim.gauche(), ligne - c.B_finimprim.hauteur(), largeurEcran - c.B_finimprim.gauche(),
                         c.B_finimprim.hauteur());
    const int T = c.B_finimprim.haut();
    for (Controle* k : std::initializer_list<Controle*>{&c.L_fonction, &c.E_margeH, &c.A_margeH, &c.C_decoupe, &c.B_centre,
                                                        &c.E_intensite, &c.A_intensite, &c.B_initreglage})
        k->definirHaut(T);

    empilerBande();

    // Rotation column, right of the centre button
    c.E_angle.definirHaut(T);
    dessous(c.A_angle, c.E_angle);
    c.E_angle.definirGauche(c.B_centre.gauche() + c.B_centre.largeur());
    c.A_angle.definirGauche(c.E_angle.gauche());
    dessous(c.B_annulangle, c.A_angle);
    c.B_initimage.definirGauche(c.B_annuldecoupe.gauche() + c.B_annuldecoupe.largeur());
    dessous(c.B_initimage, c.B_annulangle);
    c.B_annulangle.definirGauche(c.E_angle.gauche());

    empilerReglages();
    ligneIndicateurs(ligne);

    // The two face outlines, one over the other in the top right corner, each holding a
    // white picture of its own size.
    ControleImage& avant = *c.L_jaq[0];
    avant.placer(avant.gauche(), 0, g[7].entier(), g[6].entier());
    remplirBlanc(avant);
    avant.definirGauche(largeurEcran - g[7].entier());
    ControleImage& arriere = *c.L_jaq[16];
    arriere.placer(arriere.gauche(), 0, g[11].entier(), g[10].entier());
    remplirBlanc(arriere);
    arriere.definirGauche(largeurEcran - g[11].entier());

    // The jacket always prints on A4 portrait.
    c.P_page.definirHaut(0);
    x_.imprimante.definirFormatimprimante(imp::A4);
    x_.imprimante.definirOrientationimprimante(imp::Portrait);

    const int px = x_.partage.largeurecranpx;
    const int largeurApercu = px == 800 ? 3000 : (px == 1024 || px == 1440) ? 4800 : 6795;
    c.P_page.definirLargeur(largeurApercu);
    const double rapport = x_.imprimante.hauteurfeuille() / x_.imprimante.largeurfeuille();
    c.P_page.placer(0, c.P_page.haut(), c.P_page.largeur(), arrondi(rapport * c.P_page.largeur()));

    // Function frames: a column right of the preview, or a row under it on an 800-pixel screen.
    if (px != 800) {
        c.F_fonction.definirHaut(c.P_page.haut());
        c.F_jaq.definirHaut(c.F_fonction.haut() + c.F_fonction.hauteur());
        c.F_fonction.definirGauche(c.P_page.largeur());
        c.F_jaq.definirGauche(c.P_page.largeur());
    } else {
        c.F_fonction.definirHaut(c.P_page.hauteur());
        c.F_jaq.definirHaut(c.P_page.hauteur());
        c.F_fonction.definirGauche(0);
        c.F_jaq.definirGauche(c.F_fonction.largeur());
    }
    c.F_page.placer(0, 0, c.F_page.largeur(), c.F_page.hauteur());
}

void Disposition::dimpage()
{
    ControlesEditeur& c = x_.c;
    const Twips lf = x_.imprimante.largeurfeuille();
    const Twips hf = x_.imprimante.hauteurfeuille();
    const int largeurEcran = Ecran::largeurTwips();
    const int haut = c.B_finimprim.haut();

    c.P_page.definirHaut(0);
    c.P_page.definirHauteur(haut - 270);
    c.P_page.definirLargeur(Twips(c.P_page.hauteur()).prorata(lf, hf).entier());
    if (c.P_page.largeur() > largeurEcran - 3000) {
        // Too wide for the room left of the thumbnails: narrowed and centred vertically.
        c.P_page.definirLargeur(largeurEcran - 3000);
        c.P_page.definirHauteur((Twips(c.P_page.largeur()) / lf * hf).entier());
        c.P_page.definirHaut(arrondi((haut - 270 - c.P_page.hauteur()) / 2.0));
    }
    c.P_page.definirGauche(0);
    x_.etat.largeurapercu = Twips(c.P_page.largeur());
    x_.etat.hauteurapercu = Twips(c.P_page.hauteur());
}

void Disposition::marges()
{
    if (x_.jaquette())
        margesJaquette();
    else
        margesPage();
}

void Disposition::margesPage()
{
    ControlesEditeur& c = x_.c;
    ReglagesPartages& p = x_.partage;
    EtatEditeur& e = x_.etat;
    Imprimante& pr = x_.imprimante;

    pr.definirOriginegauche(Twips(0));
    pr.definirOriginehaut(Twips(0));
    const Twips lf = pr.largeurfeuille();
    const Twips hf = pr.hauteurfeuille();
    const Twips li = pr.largeurimprimable();
    const Twips hi = pr.hauteurimprimable();
    const Twips bord(15);   // kept inside the printable surface on every side

    // Every margin and both sides of the surface are whole twips, each rounded once.
    if (pr.orientationimprimante() == imp::Paysage) {
        // Landscape: the margin is taken across the sheet's height, the scale from its width.
        p.margeimpH = ((hf - hi) / 2).arrondie();
        p.margeimpV = p.margeimpH;
        e.echelleimp = lf / Twips(c.P_page.largeur());
    } else {
        p.margeimpH = ((lf - li) / 2).arrondie();
        p.margeimpV = p.margeimpH;
        e.echelleimp = hf / Twips(c.P_page.hauteur());
    }
    p.margedroite = (lf - li - p.margeimpH + bord).arrondie();
    p.margebasse = (hf - hi - p.margeimpH + bord).arrondie();
    p.origineH = p.margeimpH + bord;
    p.origineV = p.margeimpV + bord;
    e.largeursurface = (li - Twips(30)).arrondie();
    e.hauteursurface = (hi - Twips(30)).arrondie();

    const double s = e.echelleimp;
    c.R_imprim.placer(p.margeimpH.reduit(s).entier(), p.margeimpV.reduit(s).entier(), li.reduit(s).entier(),
                      hi.reduit(s).entier());
    c.R_imprim.definirVisible(true);

    c.E_surface.definirLegende(legendeSurface(e.largeursurface, e.hauteursurface));
    c.E_margeH.definirLegende(QStringLiteral("Gauche"));
    c.E_margeV.definirLegende(QStringLiteral("Haut"));
    c.E_format.definirLegende(QStringLiteral("Format"));
    c.E_angle.definirLegende(QStringLiteral("Angle"));
}

void Disposition::legendesSansObjet()
{
    ControlesEditeur& c = x_.c;
    c.E_margeH.definirLegende(QStringLiteral("Gauche"));
    c.E_margeV.definirLegende(QStringLiteral("Haut"));
    c.E_format.definirLegende(QStringLiteral("Format"));
    c.E_format.definirCouleurFond(0xFFFFFF);
    c.E_format.definirCouleurTexte(0);
    c.E_nominal.definirLegende(QString());
    c.E_maximum.definirLegende(QString());
}

void Disposition::margesJaquette()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const Twips lf = x_.imprimante.largeurfeuille();
    const Twips li = x_.imprimante.largeurimprimable();
    const Twips hi = x_.imprimante.hauteurimprimable();
    const double s = e.echellejaq;
    const auto& g = e.geomjaq;
    // A length of the sheet on the preview, in the preview control's whole twips.
    const auto ap = [s](Twips t) { return t.reduit(s).entier(); };

    e.margejaqH = ((lf - li) / 2).arrondie();
    e.margejaqV = e.margejaqH;
    c.R_apercu.placer(ap(e.margejaqH), ap(e.margejaqV), ap(li), ap(hi));
    c.P_apjaq[0]->placer(ap(g[4]), ap(g[5]), ap(g[7]), ap(g[6]));
    c.P_apjaq[16]->placer(ap(g[8]), ap(g[9]), ap(g[11]), ap(g[10]));
    // The jacket shows the printer's printable surface too, measured as the page measures it.
    c.E_surface.definirLegende(legendeSurface((li - Twips(30)).arrondie(), (hi - Twips(30)).arrondie()));
}

void Disposition::valeurs() { x_.etat.geomjaq = GeometrieJaquette; }

// --- The current object, as the placing, position, format and preview steps see it

ControleImage* Disposition::controleCourant() const
{
    const int n = x_.etat.objetcourant;
    // No object (100), or a number beyond the editor's slots, has no control.
    if (n < 0 || n >= x_.etat.nbEmplacements() || static_cast<size_t>(n) >= x_.c.L_photo.size())
        return nullptr;
    return x_.c.L_photo[static_cast<size_t>(n)].get();
}

bool Disposition::surPartieMontree() const
{
    const EtatEditeur& e = x_.etat;
    return e.objetcourant < (x_.jaquette() ? e.fincote : 16);
}

bool Disposition::modeLargeur() const
{
    const EtatEditeur& e = x_.etat;
    return Twips(e.hauteurobjet) / e.hauteursurface < Twips(e.largeurobjet) / e.largeursurface;
}

bool Disposition::rapportValide() const
{
    const EtatEditeur& e = x_.etat;
    const double r = e.rapportformat, q = e.largeurobjet / e.hauteurobjet;
    return std::isfinite(r) && r > 0 && std::isfinite(q) && q > 0;
}

std::pair<double, double> Disposition::dimensionsFormat(double v, bool largeur) const
{
    // The other side by the object's own two sides (v x H / L rather than v / (L / H)): a side
    // that is whole stays whole.
    const EtatEditeur& e = x_.etat;
    return largeur ? std::pair{v, v * e.hauteurobjet / e.largeurobjet} : std::pair{v * e.largeurobjet / e.hauteurobjet, v};
}

void Disposition::valeurBornee(Curseur& a, int v)
{
    a.definirValeur(std::clamp(v, std::min(a.min(), a.max()), std::max(a.min(), a.max())));
}

Twips Disposition::origineGauche() const { return x_.jaquette() ? Twips(0) : x_.partage.origineH; }
Twips Disposition::origineHaut() const { return x_.jaquette() ? Twips(0) : x_.partage.origineV; }
double Disposition::echelleApercu() const { return x_.jaquette() ? 1 : x_.etat.echelleimp; }

}  // namespace kal
