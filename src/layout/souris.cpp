// The mouse on the objects of the preview: the three handlers of the controls L_photo(n) and the
// drag they share (souris.h). A press on the current object keeps the press point; moving with
// the left button held then steps the position sliders (page: the pointer's travel in preview
// twips times echelleimp, in sheet twips; jacket: face twips as they are), or draws the crop
// rectangle; the release stores the object and selects the one released on (left button), or
// removes it (right button), or applies the crop.
#include "layout/souris.h"

#include "imaging/imagerie.h"
#include "imaging/rectangledecoupe.h"
#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "printing/impression.h"
#include "text/textes.h"

#include <cstdlib>

namespace kal {

namespace {
constexpr int BoutonGauche = 1;
constexpr int BoutonDroit = 2;
// Smallest step of a drag, in sheet twips (page) or face twips (jacket).
constexpr int PasMinimal = 16;
bool estTexteImage(const QString& typeobjet) { return typeobjet == QLatin1String("textimage"); }
}  // namespace

// --- Disposition: the handlers of the object controls

void Disposition::brancherObjet(int n)
{
    if (n < 0 || n >= x_.etat.nbEmplacements() || static_cast<size_t>(n) >= x_.c.L_photo.size())
        return;
    ControleImage* photo = x_.c.L_photo[static_cast<size_t>(n)].get();
    if (!photo)
        return;
    photo->surSourisEnfoncee = [this, n](int b, int s, double px, double py) { L_photo_MouseDown(n, b, s, px, py); };
    photo->surSourisDeplacee = [this, n](int b, int s, double px, double py) { L_photo_MouseMove(n, b, s, px, py); };
    photo->surSourisRelachee = [this, n](int b, int s, double px, double py) { L_photo_MouseUp(n, b, s, px, py); };
}

void Disposition::L_photo_MouseDown(int n, int bouton, int, double x, double y) { souris_.enfoncee(n, bouton, x, y); }
void Disposition::L_photo_MouseMove(int n, int bouton, int, double x, double y) { souris_.deplacee(n, bouton, x, y); }
void Disposition::L_photo_MouseUp(int n, int bouton, int, double x, double y) { souris_.relachee(n, bouton, x, y); }

// --- The drag

ControleImage* SourisObjets::element(int n) const
{
    if (n < 0 || n >= x_.etat.nbEmplacements() || static_cast<size_t>(n) >= x_.c.L_photo.size())
        return nullptr;
    return x_.c.L_photo[static_cast<size_t>(n)].get();
}

bool SourisObjets::estCourant(int n) const { return n == x_.etat.objetcourant && element(n); }

QRect SourisObjets::rectangleDepuisDepart(int X, int Y) const { return rectangleTrace(x_.etat.departX, x_.etat.departY, X, Y); }

void SourisObjets::pas(Curseur& a, int d)
{
    // A step past either bound is refused whole: the object may stop short of the edge.
    const int nouveau = a.valeur() + d;
    if (nouveau <= a.max() && std::abs(d) >= PasMinimal && nouveau >= a.min())
        a.definirValeur(nouveau);
}

void SourisObjets::enfoncee(int n, int, double X, double Y)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // A drag whose release never came ends here; the control a rebuild took away during the
    // last release is no longer handling anything.
    lacher();
    retire_.reset();
    ControleImage* photo = element(n);
    if (!photo)
        return;
    enfonce_ = n;
    if (estCourant(n)) {
        e.departX = arrondi(X);
        e.departY = arrondi(Y);
        tenir(*photo);
        if (c.C_decoupe.valeur() == 1) {
            photo->definirPointeur(pointeur::Croix);
            photo->definirTraceelastique(false);
            e.margesauvH = arrondi(photo->gaucheReel());
            e.margesauvV = arrondi(photo->hautReel());
            etat_ = Etat::Decoupe;
        } else {
            photo->definirPointeur(pointeur::Deplacement);
            x_.fenetre.definirPointeur(pointeur::Deplacement);
            etat_ = Etat::Deplacement;
        }
        return;
    }
    // Another object: a rectangle being drawn on the current one is given up before anything.
    if (e.decoupeencours)
        x_.imagerie().arretdecoupe();
    etat_ = Etat::Autre;
}

void SourisObjets::deplacee(int n, int bouton, double X, double Y)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ControleImage* photo = element(n);
    if (!photo)
        return;
    // The caption shows the object pointed at, written once per object.
    if (n != e.objetsurvole && static_cast<size_t>(n) < e.nomsobjets.size())
        x_.fenetre.setWindowTitle(e.nomsobjets[static_cast<size_t>(n)]);
    e.objetsurvole = n;

    // Only the current object, pressed and dragged with the left button alone.
    const bool tenu = (etat_ == Etat::Deplacement || etat_ == Etat::Decoupe) && enfonce_ == n;
    if (!tenu || !estCourant(n) || bouton != BoutonGauche)
        return;
    photo->definirPointeur(pointeur::Deplacement);
    dernierX_ = arrondi(X);
    dernierY_ = arrondi(Y);

    if (c.C_decoupe.valeur() == 1 && e.modedecoupe) {
        rectangle_ = rectangleDepuisDepart(dernierX_, dernierY_);
        photo->rectelastique(rectangle_.x(), rectangle_.y(), rectangle_.width(), rectangle_.height());
        photo->definirTraceelastique(true);
        e.decoupeencours = true;
        return;
    }

    // Each step measures from the press point inside the control, which the sliders have
    // already moved under the pointer.
    const bool jaq = x_.jaquette();
    const double s = jaq ? 1.0 : e.echelleimp;
    const int dH = jaq ? arrondi(X - e.departX) : Twips(X - e.departX).agrandi(s).entier();
    const int dV = jaq ? arrondi(Y - e.departY) : Twips(Y - e.departY).agrandi(s).entier();
    pas(c.A_margeH, dH);
    pas(c.A_margeV, dV);
    tenir(*photo);
    x_.imagerie().changeinit(false, QString());
    x_.imagerie().changeflag(false, false, false, false, false, false);
}

void SourisObjets::relachee(int signale, int bouton, double X, double Y)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // The release belongs to the element the buttons went down on, wherever the pointer is.
    const int n = etat_ != Etat::Repos && element(enfonce_) ? enfonce_ : signale;
    const Etat etat = etat_;
    etat_ = Etat::Repos;
    enfonce_ = -1;
    lacher();
    ControleImage* photo = element(n);
    if (!photo)
        return;
    photo->definirPointeur(pointeur::Personnalise);
    x_.fenetre.definirPointeur(pointeur::Personnalise);

    if (c.C_decoupe.valeur() == 1) {
        // Crop mode: a rectangle pressed on the current object is applied, whichever button
        // comes up; any other release in crop mode does nothing.
        if (e.modedecoupe && etat == Etat::Decoupe && estCourant(n)) {
            appliquerDecoupe(n, arrondi(X), arrondi(Y));
            e.pagemodifiee = true;
        }
    } else if (bouton == BoutonGauche) {
        selection(n);
    } else if (bouton == BoutonDroit) {
        if (suppression(n))
            e.pagemodifiee = true;
    }
    fin();
}

void SourisObjets::appliquerDecoupe(int n, int X, int Y)
{
    ControlesEditeur& c = x_.c;
    ControleImage& photo = *element(n);
    rectangle_ = rectangleDepuisDepart(X, Y);
    photo.definirVisible(false);
    for (ControleImage* k : {&photo, &c.L_sauvtot}) {
        k->rectaffichage(rectangle_.x(), rectangle_.y(), rectangle_.width(), rectangle_.height());
        k->repeindre();
    }
    photo.definirTraceelastique(false);
    const bool annulable = c.B_annuldecoupe.actif();
    c.B_annuldecoupe.definirActif(true);
    // decoupage leaves L_sauvder the size the object now has; a crop it could not write leaves
    // the object as it was.
    if (!x_.imagerie().decoupage()) {
        c.B_annuldecoupe.definirActif(annulable);
        photo.definirVisible(true);
        return;
    }
    x_.imagerie().sauvder();
    x_.objets().chargimp();
    photo.definirVisible(true);
    if (x_.jaquette())
        x_.impression().apercujaq(QStringLiteral("cha"));
}

void SourisObjets::selection(int n)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    const int courant = e.objetcourant;

    // The current object (none on the jacket after its removal: 100) keeps its place and size.
    if (ControleImage* photo = courant < (jaq ? 32 : 16) ? element(courant) : nullptr) {
        auto& ligne = e.tabobjets[static_cast<size_t>(courant)];
        ligne[col::Hauteur] = photo->hauteurReelle();
        ligne[col::Largeur] = photo->largeurReelle();
        ligne[col::Gauche] = photo->gaucheReel();
        ligne[col::Haut] = photo->hautReel();
        // A text-image's line count is that of its text, which the box holds.
        if (estTexteImage(e.typeobjet))
            ligne[col::Lignes] = compterLignes(c.T_compos.contenutexte());
        try {
            Fiches fiches = x_.fiches();
            fiches.sourceTable();
            fiches.trouver(courant);
            x_.imagerie().sauvder();
            x_.objets().chargimp();
        } catch (const Erreur& err) {
            // Its record could not be stored: nothing else changes.
            ModeleObjets::messageEchec(QStringLiteral("SÉLECTION"), QStringLiteral("L'objet %1 n'a pas été sélectionné").arg(n), err);
            return;
        }
    }
    if (estTexteImage(e.typeobjet)) {
        x_.autcontrol(true, true);
        x_.textes().focustexte();
    } else {
        x_.autcontrol(true, false);
    }
    if (jaq)
        x_.impression().apercujaq(QStringLiteral("mov"));
    if (n == courant)
        return;

    // The object left keeps its working pictures and adjustments.
    if (courant >= 0 && courant < (jaq ? e.fincote : 16) && element(courant)) {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.trouver(courant);
        try {
            x_.imagerie().enregimage();
        } catch (const Erreur& err) {
            // Its files could not be written: it stays the current object, as it is.
            const QString quoi = QStringLiteral("L'objet %1 n'a pas été sélectionné").arg(n);
            ModeleObjets::messageEchec(QStringLiteral("SÉLECTION"), quoi, err);
            return;
        }
    }
    // A crop can be cancelled only on the object it was made on, while it stays current.
    c.B_annuldecoupe.definirActif(false);
    e.decoupefaite = false;

    e.objetcourant = n;
    e.rechargementencours = true;
    if (!jaq)
        reconstruirePage(n);
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    fiches.trouver(n);
    e.reaffichageencours = true;
    if (!jaq) {
        c.L_sauvtot.vider();
        x_.objets().initpage();
    } else {
        x_.objets().initjaq();
    }
    e.reaffichageencours = false;
    x_.disposition().couleurformat();
    e.rechargementencours = false;
    // The rebuild made the working copy without the sliders: it takes them again, so that the
    // object's next store writes its picture as it is shown.
    x_.imagerie().sauvder();
    if (estTexteImage(e.typeobjet))
        x_.textes().focustexte();
}

bool SourisObjets::suppression(int n)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    ControleImage& photo = *element(n);
    const bool courant = n == e.objetcourant;

    // The record first (it keeps its other fields): when it cannot be stored, the object stays
    // as it is, on show, with its work files.
    Fiches fiches = x_.fiches();
    try {
        fiches.sourceTable();
        fiches.transaction([&] { fiches.modifier(n, [](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::occup, false); }); });
    } catch (const Erreur& err) {
        ModeleObjets::messageEchec(QStringLiteral("SUPPRESSION"), QStringLiteral("L'objet %1 n'a pas été supprimé").arg(n), err);
        return false;
    }
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
    photo.definirVisible(false);
    photo.vider();
    if (ControleImage* m = c.L_miniat[static_cast<size_t>(n)].get()) {
        m->definirVisible(false);
        m->vider();
    }
    if (courant && estTexteImage(e.typeobjet))
        c.T_compos.definirContenutexte(QString());
    // The object's work files go with its record: a later object of the slot never finds them.
    effacerFichiersTravail(n);
    // The freed slot keeps no adjustments for the object that takes it next.
    for (int k = col::Intensite; k <= col::Angle; ++k)
        e.tabobjets[static_cast<size_t>(n)][static_cast<size_t>(k)] = 0;
    --e.nbobjets;
    if (courant) {
        c.B_annuldecoupe.definirActif(false);
        e.decoupefaite = false;
    }

    if (courant || e.nbobjets == 0) {
        x_.disposition().legendesSansObjet();
        x_.autcontrol(false, false);
        c.A_margeH.definirActif(false);
        c.A_margeV.definirActif(false);
    }

    if (!jaq) {
        // The first occupied object of the page becomes current and the page is rebuilt.
        if (courant && e.nbobjets > 0) {
            e.rechargementencours = true;
            fiches.sourceTable();
            for (int k = 0; k < 16; ++k) {
                if (fiches.lire(k, champ::occup).toBool()) {
                    e.objetcourant = k;
                    break;
                }
            }
            reconstruirePage(n);
            fiches.sourceTable();
            fiches.trouver(e.objetcourant);
            x_.objets().initpage();
            e.rechargementencours = false;
            x_.imagerie().sauvder();
        }
    } else {
        // The jacket's preview takes the removed object off as the current one; the jacket
        // selects no other object: none is current after the current one goes.
        const int32_t courantAvant = e.objetcourant;
        e.objetcourant = n;
        x_.impression().apercujaq(QStringLiteral("sup"));
        e.objetcourant = courant ? AucunObjet : courantAvant;
    }
    // Whole image stays offered only while a turned object remains.
    x_.objets().activerImageTotale();
    return true;
}

void SourisObjets::reconstruirePage(int enCours)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // The control whose release is being handled outlives the page's clearing.
    retire_ = std::move(c.L_photo[static_cast<size_t>(enCours)]);
    if (retire_)
        retire_->definirVisible(false);
    x_.objets().effacpage();

    const auto creer = [&](int k) {
        x_.objets().creerControlePage(k);
        ++e.nbobjets;
    };
    creer(e.objetcourant);
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    for (int k = 0; k < 16; ++k)
        if (k != e.objetcourant && fiches.lire(k, champ::occup).toBool())
            creer(k);
}

void SourisObjets::tenir(ControleImage& photo)
{
    QWidget* w = photo.widget();
    if (w->isVisible() && QWidget::mouseGrabber() != w) {
        w->grabMouse();
        tenu_ = w;
    }
}

void SourisObjets::lacher()
{
    if (tenu_ && QWidget::mouseGrabber() == tenu_)
        tenu_->releaseMouse();
    tenu_ = nullptr;
}

void SourisObjets::fin()
{
    if (x_.jaquette()) {
        // The composer may be unable to take the focus: that changes nothing here.
        try {
            x_.c.T_compos.prendrefocus();
        } catch (const Erreur&) {
            // The focus only saves a click before typing; nothing is lost.
        }
    }
    x_.fenetre.definirPointeur(pointeur::Personnalise);
}

}  // namespace kal
