// The composition panel F_compos: the rich-text box T_compos in which the current text-image's
// text is typed, and its two buttons, POLICE (the font of the whole text) and COULEUR FOND (the
// background). A text has one font: the first character's font goes on the whole text after
// every font change and every key release. The window's own font (fontfeuille) serves only to
// measure the text as it will look.
#include "text/textes.h"

#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"
#include "platform/richtext/mesuretexte.h"
#include "printing/impression.h"

#include <algorithm>
#include <new>

namespace kal {

void Textes::brancher()
{
    ControlesEditeur& c = x_.c;
    c.B_police.surClic = [this] { B_police_Click(); };
    c.B_couleur.surClic = [this] { B_couleur_Click(); };
    c.T_compos.surToucheRelachee = [this] { T_compos_KeyUp(); };
    c.T_compos.surPriseFocus = [this] { T_compos_GotFocus(); };
    c.T_compos.surPerteFocus = [this] { T_compos_LostFocus(); };
    x_.enregistrerCommande(QStringLiteral("Créer Texte-Image"), [this] { return creerTexteImage(); });
    if (!x_.jaquette())
        x_.enregistrerCommande(QStringLiteral("Charg Texte"), [this] { return chargerTexte(); });
}

bool Textes::estTexteImage() const { return x_.etat.typeobjet == QLatin1String("textimage"); }

bool Textes::texteImageCourant()
{
    const EtatEditeur& e = x_.etat;
    const int fin = x_.jaquette() ? e.fincote : 16;
    const int debut = x_.jaquette() ? fin - 16 : 0;
    const int n = e.objetcourant;
    if (e.nbobjets < 1 || n < debut || n >= fin || !x_.c.L_photo[static_cast<size_t>(n)])
        return false;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    bd::JeuEnregistrements& f = fiches.trouver(n);
    return f.valeur(champ::occup).toBool() && f.valeur(champ::textimage).toBool();
}

bool Textes::proteger(const std::function<void()>& etape)
{
    EtatEditeur& e = x_.etat;
    QString cause;
    try {
        etape();
        return true;
    } catch (const Erreur& err) {
        cause = err.cause();
    } catch (const std::bad_alloc&) {
        cause = QStringLiteral("mémoire insuffisante");
    }
    // Whatever was under way is over: its guards come down, the pointer comes back.
    e.majencours = false;
    e.rechargementencours = false;
    couleurencours_ = false;
    e.geometriememorisee = false;
    e.reaffichageencours = false;
    x_.c.T_compos.definirVisible(true);
    if (ControleImage* photo = x_.imagerie().photoCourante(); photo && !photo->estVide())
        photo->definirVisible(true);
    // The box takes back the text of the last rendering (its texte<n>.svc), so that the box,
    // the object shown and its work files agree; its background stays the one shown.
    try {
        if (texteImageCourant()) {
            BoiteTexteRiche& t = x_.c.T_compos;
            const int fond = t.fondtexte();
            t.chargertexte(fichierTexte(e.objetcourant), 0);
            t.definirFondtexte(fond);
            totalpolice();
        }
    } catch (const Erreur&) {
        // The text file cannot be read either: the box keeps what it holds.
    }
    Ecran::definirPointeur(pointeur::Personnalise);
    MsgBox(lignesMessage({QStringLiteral("Le texte-image n'a pas été mis à jour : %1.").arg(cause),
                          QStringLiteral("Il garde le dernier texte rendu.")}),
           msg::OK + msg::Exclamation, QStringLiteral("TEXTE-IMAGE"));
    return false;
}

bool Textes::rendre() { return proteger([this] { creattextimage(); }); }

// --- Measuring

int Textes::largeurTexte(const QString& texte) const { return largeurDuTexte(texte, policeFeuille_); }
int Textes::hauteurTexte(const QString& texte) const { return hauteurDuTexte(texte, policeFeuille_); }

void Textes::fontfeuille() { policeFeuille_ = x_.c.T_compos.policeSelection(); }

// --- Layout

void Textes::hauteurcompos()
{
    ControlesEditeur& c = x_.c;
    if (!x_.jaquette()) {
        const int h = hauteurTexte(c.T_compos.contenutexte());
        c.T_compos.definirHauteur(h + 300);
        c.T_compos.definirHaut(0);
        c.F_compos.definirHauteur(c.T_compos.hauteur() + c.B_police.hauteur());
        // The panel grows upward from E_maximum; a text taller than the window keeps the panel
        // inside it, and the box scrolls.
        if (c.F_compos.hauteur() > c.E_maximum.haut() && c.E_maximum.haut() > c.B_police.hauteur()) {
            c.F_compos.definirHauteur(c.E_maximum.haut());
            c.T_compos.definirHauteur(c.F_compos.hauteur() - c.B_police.hauteur());
        }
        c.B_police.definirHaut(c.F_compos.hauteur() - c.B_police.hauteur());
        c.B_couleur.definirHaut(c.F_compos.hauteur() - c.B_couleur.hauteur());
        c.F_compos.definirHaut(c.E_maximum.haut() - c.F_compos.hauteur());
        return;
    }
    c.F_compos.definirLargeur(c.P_page.largeur());
    c.F_compos.definirGauche(0);
    const int basApercu = c.P_page.haut() + c.P_page.hauteur();
    if (x_.partage.largeurecranpx < 801) {
        c.F_compos.definirHaut(basApercu + c.F_jaq.hauteur());
        c.F_compos.definirHauteur(std::max(0, c.E_maximum.haut() - c.F_jaq.haut() - c.F_jaq.hauteur()));
    } else {
        c.F_compos.definirHaut(basApercu);
        c.F_compos.definirHauteur(std::max(0, c.E_maximum.haut() - c.P_page.haut() - c.P_page.hauteur()));
    }
    c.T_compos.definirLargeur(c.F_compos.largeur());
    c.B_police.definirHaut(c.F_compos.hauteur() - c.B_police.hauteur());
    c.T_compos.definirHaut(0);
    c.T_compos.definirHauteur(std::max(0, c.B_police.haut()));
    c.T_compos.definirLargeurtexte((x_.imprimante.largeurimprimable() - Twips(300)).entier());
    c.B_police.definirHaut(c.F_compos.hauteur() - c.B_police.hauteur());
    c.B_couleur.definirHaut(c.B_police.haut());
    c.B_police.definirLargeur(c.T_compos.largeur() / 2);
    c.B_couleur.definirGauche(c.T_compos.largeur() / 2);
    c.B_couleur.definirLargeur(c.T_compos.largeur() / 2);
}

// --- Fonts

void Textes::sauvpolice()
{
    const BoiteTexteRiche& t = x_.c.T_compos;
    policesauv_ = t.policeSelection();
    // The size is kept in whole points, a half to the even one.
    policesauv_.taille = arrondi(policesauv_.taille);
    couleursauv_ = t.selcouleur();
    fondsauv_ = t.fondtexte();
}

void Textes::restitpolice()
{
    BoiteTexteRiche& t = x_.c.T_compos;
    t.definirPoliceSelection(policesauv_, couleursauv_);
    t.definirFondtexte(fondsauv_);
}

void Textes::totalpolice()
{
    BoiteTexteRiche& t = x_.c.T_compos;
    t.definirSelectiondebut(0);
    t.definirSelectionlongueur(1);
    sauvpolice();
    const int longueur = static_cast<int>(t.contenutexte().size());
    t.definirSelectiondebut(0);
    t.definirSelectionlongueur(longueur);
    restitpolice();
    t.definirSelectiondebut(longueur);
}

void Textes::focustexte()
{
    BoiteTexteRiche& t = x_.c.T_compos;
    t.definirSelectiondebut(0);
    t.definirSelectionlongueur(static_cast<int>(t.contenutexte().size()));
    t.definirSelectiondebut(t.selectionlongueur());
    t.definirVisible(true);
    t.prendrefocus();
}

void Textes::remettreSelection(int debut)
{
    BoiteTexteRiche& t = x_.c.T_compos;
    t.definirSelectiondebut(std::clamp(debut, 0, static_cast<int>(t.contenutexte().size())));
}

// --- The two buttons

void Textes::police()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    BoiteTexteRiche& t = c.T_compos;
    if (!texteImageCourant())
        return;
    const int32_t formatAvant = e.valeurformat;
    posselection_ = t.selectiondebut();
    U_dialog.annulationerreur = true;
    U_dialog.optionsdialogue = dialogue::PolicesEcran | dialogue::PolicesImprimante | dialogue::Effets;
    const Police p = t.policeSelection();
    U_dialog.policedialogue = p.nom;
    U_dialog.tailledialogue = p.taille;
    U_dialog.couleurdialogue = t.selcouleur();
    U_dialog.grasdialogue = p.gras;
    U_dialog.italiquedialogue = p.italique;
    U_dialog.soulignedialogue = p.souligne;
    U_dialog.barredialogue = p.barre;
    try {
        U_dialog.choixpolice();
    } catch (const Erreur&) {
        return;   // cancelled: the text, its font and the picture stay as they were
    }
    proteger([&] {
        t.definirSelectiondebut(0);
        t.definirSelectionlongueur(static_cast<int>(t.contenutexte().size()));
        t.definirSelpolice(U_dialog.policedialogue);
        t.definirSeltaille(U_dialog.tailledialogue);
        t.definirSelcouleur(U_dialog.couleurdialogue);
        t.definirSelgras(U_dialog.grasdialogue);
        t.definirSelitalique(U_dialog.italiquedialogue);
        t.definirSelsouligne(U_dialog.soulignedialogue);
        t.definirSelbarre(U_dialog.barredialogue);
        fontfeuille();
        hauteurcompos();
        sauvpolice();
        totalpolice();
        creattextimage();
        // The page puts the format back as it was before the dialog (its change handler reads
        // the format the rendering left as the old one); the jacket keeps the rendering's.
        if (!x_.jaquette())
            c.A_format.definirValeur(formatAvant);
        e.valeurformat = c.A_format.valeur();
        remettreSelection(posselection_);
        if (x_.jaquette())
            x_.impression().apercujaq(QStringLiteral("cha"));
        focustexte();
    });
}

void Textes::couleur()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    BoiteTexteRiche& t = c.T_compos;
    if (!texteImageCourant())
        return;
    posselection_ = t.selectiondebut();
    e.margesauvH = c.A_margeH.valeur();
    e.margesauvV = c.A_margeV.valeur();
    formatsauv_ = c.A_format.valeur();
    const int32_t margeH = e.margesauvH, margeV = e.margesauvV;
    U_dialog.annulationerreur = true;
    U_dialog.optionsdialogue = 5;
    U_dialog.couleurdialogue = t.fondtexte();
    try {
        U_dialog.choixcouleur();
    } catch (const Erreur&) {
        return;   // cancelled: background, picture and sliders stay as they were
    }
    const int fondAvant = t.fondtexte();
    const bool fait = proteger([&] {
        t.definirFondtexte(U_dialog.couleurdialogue);
        fondsauv_ = U_dialog.couleurdialogue;
        {
            // The object keeps its place and size: only its colours change. The page's record
            // is left as it was (the next store writes the colour with the rest).
            Leve couleur(couleurencours_), geometrie(e.geometriememorisee), reaffichage(e.reaffichageencours);
            creattextimage();
        }
        remettreSelection(posselection_);
        c.A_format.definirValeur(formatsauv_);
        c.A_margeH.definirValeur(margeH);
        c.A_margeV.definirValeur(margeV);
        if (x_.jaquette())
            x_.impression().apercujaq(QStringLiteral("cha"));
        focustexte();
    });
    // A rendering that failed leaves the background its picture has.
    if (!fait)
        t.definirFondtexte(fondAvant);
}

// --- The box's events

void Textes::T_compos_KeyUp()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    BoiteTexteRiche& t = c.T_compos;
    // Only a text-image is rendered from the box: never a photo's picture.
    if (!texteImageCourant())
        return;
    const int p = t.selectiondebut();
    proteger([&] {
        totalpolice();
        creattextimage();
        hauteurcompos();
        remettreSelection(p);
        x_.imagerie().sauvder();
        e.valeurformat = c.A_format.valeur();
        if (x_.jaquette())
            x_.impression().apercujaq(QStringLiteral("cha"));
        // The box gives the focus away and takes it back: both focus handlers run.
        T_compos_LostFocus();
        if (x_.jaquette())
            c.F_compos.definirVisible(true);
        t.definirSelectiondebut(0);
        t.definirSelectionlongueur(p);
        t.definirSelectiondebut(t.selectionlongueur());
        t.definirVisible(true);
        t.prendrefocus();
        T_compos_GotFocus();
    });
}

void Textes::T_compos_GotFocus() { x_.objets().statustexte(); }
void Textes::T_compos_LostFocus() { x_.objets().statustexte(); }

}  // namespace kal
