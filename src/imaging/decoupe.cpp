// Crop of the current photo. The check box C_decoupe ("Découpe") puts the object in crop mode,
// where its position and format are held still; the mouse then draws a rectangle over it
// (layout/souris.cpp) and the release applies it (decoupage). The button B_annuldecoupe
// ("ANNULER") takes a cropped object back to its picture as first placed (init<n>.svc).
//
// The rectangle is drawn over the picture as shown, which carries the object's adjustments, its
// frame and its rotation. It is taken back to the base picture (L_sauvtot, sauv<n>.svc), and
// only the base is cut: the cut picture is the object's base from then on, and its adjustments,
// frame and angle stay settings that display and print apply to it once, as to any base.
#include "imaging/imagerie.h"

#include "imaging/rectangledecoupe.h"
#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "printing/impression.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace kal {

namespace {
// The controls that place and size the object, held still in crop mode, in their order.
std::array<Controle*, 7> controlesGeometrie(ControlesEditeur& c)
{
    return {&c.E_margeH, &c.E_margeV, &c.A_margeH, &c.A_margeV, &c.B_centre, &c.E_format, &c.A_format};
}

void valeurDansBornes(Curseur& a, int v)
{
    a.definirValeur(std::clamp(v, std::min(a.min(), a.max()), std::max(a.min(), a.max())));
}
}  // namespace

void Imagerie::brancherDecoupe()
{
    ControlesEditeur& c = x_.c;
    c.C_decoupe.surClic = [this] { C_decoupe_Click(); };
    c.B_annuldecoupe.surClic = [this] { B_annuldecoupe_Click(); };
}

void Imagerie::C_decoupe_Click()
{
    if (x_.c.C_decoupe.valeur() != 1) {
        quitterDecoupe();
        return;
    }
    if (ControleImage* photo = photoCourante())
        entrerDecoupe(*photo);
}

void Imagerie::entrerDecoupe(ControleImage& photo)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    sauvder();
    e.hauteurdecoupe = arrondi(c.L_sauvder.hauteurReelle());
    e.largeurdecoupe = arrondi(c.L_sauvder.largeurReelle());
    e.margeHdecoupe = c.A_margeH.valeur();
    e.margeVdecoupe = c.A_margeV.valeur();
    c.L_sauvtot.definirLargeur(photo.largeurReelle());
    c.L_sauvtot.definirHauteur(photo.hauteurReelle());
    // Ticked again while in crop mode: the picture is shown whole again.
    if (e.modedecoupe)
        effacerRectangle(photo);
    e.modedecoupe = true;
    for (Controle* k : controlesGeometrie(c))
        k->definirActif(false);
    e.margesactives = false;
}

void Imagerie::quitterDecoupe()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // The base stays as it is, the cut picture after a crop: the working copy follows it.
    if (photoCourante())
        sauvder();
    for (Controle* k : controlesGeometrie(c))
        k->definirActif(true);
    e.modedecoupe = false;
    e.margesactives = true;
}

bool Imagerie::decoupage()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ControleImage* photo = photoCourante();
    if (!photo)
        return false;
    if (c.L_sauvtot.estVide()) {
        c.L_sauvtot.lirefichier(fichierSauv(e.objetcourant), 0, 0, 1);
        copies_.lue(fichierSauv(e.objetcourant), c.L_sauvtot.bitmap());
    }

    // The drawn rectangle in the shown picture's own twips, not clamped to it; an empty one
    // cuts nothing.
    ControleImage coupee;
    coupee.definirBitmap(c.L_sauvtot.bitmap());
    const float lb = static_cast<float>(photo->largeurbitmap()), hb = static_cast<float>(photo->hauteurbitmap());
    const QRect r = rectangleDansImage(*photo, lb, hb);
    if (r.width() > 0 && r.height() > 0 && lb > 0 && hb > 0) {
        // In the shown picture's pixels.
        const double px = photo->bitmap().largeur() / static_cast<double>(lb);
        const double py = photo->bitmap().hauteur() / static_cast<double>(hb);
        couperBase(*photo, QRectF(r.x() * px, r.y() * py, r.width() * px, r.height() * py), coupee);
    }
    // The cut base and its working copy go to sauv<n>.svc and photo<n>.svc together before
    // anything else changes, then the record and the screen, the record's writes one
    // transaction: when either cannot be made, the files are those from before and the object
    // stays as it was, in crop mode.
    ControleImage ajustee;
    ajustee.definirBitmap(coupee.bitmap());
    appliquerReglages(ajustee, valeursCurseurs());
    const QString titre = QStringLiteral("DÉCOUPE"), quoi = QStringLiteral("La découpe n'a pas été faite");
    CopiesAnciennes anciennes;
    try {
        remplacerCopies(e.objetcourant, &ajustee, &coupee, &anciennes);
    } catch (const Erreur& err) {
        effacerRectangle(*photo);
        e.decoupeencours = false;
        ModeleObjets::messageEchec(titre, quoi, err);
        return false;
    }
    try {
        terminerEtape(anciennes, [&] { appliquerDecoupe(*photo, coupee, ajustee); });
    } catch (const Erreur& err) {
        // The rectangle drawn goes, as after files that could not be written.
        if (ControleImage* p = photoCourante())
            effacerRectangle(*p);
        e.decoupeencours = false;
        ModeleObjets::messageEchec(titre, quoi, err);
        return false;
    }
    return true;
}

void Imagerie::appliquerDecoupe(ControleImage& photo, ControleImage& coupee, ControleImage& ajustee)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    c.L_sauvtot.definirBitmap(coupee.bitmap());

    // The object refitted on the preview for its new proportions and shown whole.
    afficherDepuisBase(photo);
    x_.disposition().echelle();
    afficherEntiere(photo);

    e.anglesauv = c.A_angle.valeur();
    boiteTravail(photo);
    // The working copy is the very picture photo<n>.svc now holds, the sliders applied to the
    // cut base once: no slider's working base made before stays valid.
    changeflag(false, false, false, false, false, false);
    c.L_sauvder.definirBitmap(ajustee.bitmap());
    // The format slider scales the working copy from the box the record is given here.
    e.valeurformat = 0;
    x_.objets().chargimp();
    sauvphoto();
    x_.disposition().formatmax();
    c.C_decoupe.definirValeur(0);
    e.modedecoupe = false;
    changeinit(false, QString());
    changeflag(false, false, false, false, false, false);
    c.B_annuldecoupe.definirActif(true);
    e.decoupefaite = true;
    e.decoupeencours = false;
    x_.disposition().couleurformat();
    // The working copy takes the box the object now has on the preview, and the format its
    // value: the next format change scales from both.
    boiteTravail(photo);
    e.valeurformat = c.A_format.valeur();
}

void Imagerie::couperBase(const ControleImage& photo, const QRectF& r, ControleImage& cible)
{
    ControlesEditeur& c = x_.c;
    const image::Photo montree = photo.bitmap();
    const image::Photo base = cible.bitmap();
    if (montree.estVide() || base.estVide())
        return;
    const double W = montree.largeur(), H = montree.hauteur();
    const double w = base.largeur(), h = base.hauteur();
    QRectF dansBase = r;
    const int angle = c.A_angle.valeur();
    if (angle != 0) {
        // The shown picture is the base turned about its centre and grown to the turned box:
        // each corner of the rectangle is turned back onto the base. Right angles map exactly;
        // any other angle keeps the whole drawn area, its box in the base.
        double co = 0, si = 0;
        switch (((angle % 360) + 360) % 360) {
        case 90: si = 1; break;
        case 180: co = -1; break;
        case 270: si = -1; break;
        default: {
            const double a = angle * std::numbers::pi / 180;
            co = std::cos(a);
            si = std::sin(a);
        }
        }
        double gauche = w, haut = h, droite = 0, bas = 0;
        for (const QPointF& p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
            const double dx = p.x() - W / 2, dy = p.y() - H / 2;
            const double bx = dx * co + dy * si + w / 2, by = -dx * si + dy * co + h / 2;
            gauche = std::min(gauche, bx);
            haut = std::min(haut, by);
            droite = std::max(droite, bx);
            bas = std::max(bas, by);
        }
        dansBase = QRectF(QPointF(gauche, haut), QPointF(droite, bas));
    }
    // rogner takes the base's own twips.
    const double ux = cible.largeurbitmap() / w, uy = cible.hauteurbitmap() / h;
    cible.rogner(dansBase.x() * ux, dansBase.y() * uy, dansBase.width() * ux, dansBase.height() * uy);
}

void Imagerie::afficherDepuisBase(ControleImage& photo)
{
    ControlesEditeur& c = x_.c;
    photo.definirBitmap(c.L_sauvtot.bitmap());
    Finition fin{.photo = x_.etat.typeobjet == QLatin1String("photo"), .cadre = std::nullopt, .angle = c.A_angle.valeur()};
    if (c.C_cadre.valeur() == 1)
        fin.cadre = QRectF(0, 0, photo.largeurReelle(), photo.hauteurReelle());
    appliquerChaine(photo, valeursCurseurs(), fin);
}

void Imagerie::boiteTravail(const ControleImage& photo)
{
    // The control shows the turned picture; the working copy keeps the unturned box, as the
    // record does: each side scaled by unturned over turned picture size.
    ControlesEditeur& c = x_.c;
    const image::Photo montree = photo.bitmap();
    const image::Photo base = c.L_sauvtot.bitmap();
    if (montree.estVide() || base.estVide())
        return;
    c.L_sauvder.definirHauteur(photo.hauteurReelle() * base.hauteur() / static_cast<double>(montree.hauteur()));
    c.L_sauvder.definirLargeur(photo.largeurReelle() * base.largeur() / static_cast<double>(montree.largeur()));
}

void Imagerie::arretdecoupe()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ControleImage* photo = photoCourante();
    if (e.decoupeencours) {
        // A rectangle being drawn is given up: crop mode ends, the object stays as it is.
        if (photo) {
            photo->definirTraceelastique(false);
            photo->repeindre();
        }
        e.decoupeencours = false;
        c.C_decoupe.definirValeur(0);
        return;
    }
    if (photo && !annulerDecoupe(*photo))
        return;
    c.B_annuldecoupe.definirActif(false);
    e.decoupefaite = false;
}

bool Imagerie::annulerDecoupe(ControleImage& photo)
{
    EtatEditeur& e = x_.etat;
    const int n = e.objetcourant;

    // The first picture becomes the base and, with the sliders, the working copy: both files
    // are written together before anything changes, or the crop stays.
    ControleImage depart, ajustee;
    const QString quoi = QStringLiteral("La découpe n'a pas été annulée");
    CopiesAnciennes anciennes;
    try {
        depart.lirefichier(fichierInit(n), 0, 0, 1);
        ajustee.definirBitmap(depart.bitmap());
        appliquerReglages(ajustee, valeursCurseurs());
        remplacerCopies(n, &ajustee, &depart, &anciennes);
        // Then the record and the screen; when they cannot be changed, the files come back.
        terminerEtape(anciennes, [&] { remettreDepart(photo, depart, ajustee); });
    } catch (const Erreur& err) {
        ModeleObjets::messageEchec(QStringLiteral("DÉCOUPE"), quoi, err);
        return false;
    }
    return true;
}

void Imagerie::remettreDepart(ControleImage& photo, ControleImage& depart, ControleImage& ajustee)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const int n = e.objetcourant;
    copies_.lue(fichierInit(n), depart.bitmap());

    e.rechargementencours = true;
    photo.definirVisible(false);
    c.L_sauvtot.definirBitmap(depart.bitmap());
    // The box kept when crop mode was entered. Entered again after an earlier crop, it had that
    // crop's proportions: the first picture keeps its own, on the same width.
    const image::Photo premiere = c.L_sauvtot.bitmap();
    const double l = e.largeurdecoupe;
    double h = e.hauteurdecoupe;
    if (l > 0 && premiere.largeur() > 0 && premiere.hauteur() > 0) {
        const double propre = l * premiere.hauteur() / premiere.largeur();
        if (std::abs(propre - h) > 1)
            h = propre;
    }
    photo.definirHauteur(h);
    photo.definirLargeur(l);
    c.L_sauvder.definirHauteur(h);
    c.L_sauvder.definirLargeur(l);
    e.majencours = true;
    valeurDansBornes(c.A_angle, e.anglesauv);
    e.majencours = false;
    x_.objets().chargimp();
    x_.objets().activerImageTotale();

    // The first picture is the base again, its working copy made with the sliders.
    photo.definirBitmap(c.L_sauvtot.bitmap());
    c.L_sauvder.definirBitmap(ajustee.bitmap());
    enregimage();
    chargephoto(n);
    x_.objets().creatminiat(n);
    e.rechargementencours = false;

    // Back where it stood, at the format its record now gives.
    e.valeurformat = 0;
    x_.disposition().initialisation();
    photo.definirHaut(e.margesauvV);
    photo.definirGauche(e.margesauvH);
    valeurDansBornes(c.A_margeH, e.margeHdecoupe);
    valeurDansBornes(c.A_margeV, e.margeVdecoupe);
    x_.disposition().couleurformat();
    c.C_decoupe.definirValeur(0);
    e.decoupeencours = false;
    changeflag(false, false, false, false, false, false);
    e.valeurformat = c.A_format.valeur();
    photo.definirVisible(true);
}

void Imagerie::B_annuldecoupe_Click()
{
    arretdecoupe();
    if (x_.jaquette())
        x_.impression().apercujaq(QStringLiteral("cha"));
    x_.etat.pagemodifiee = true;
}

}  // namespace kal
