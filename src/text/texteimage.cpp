// Text-image objects: a new one made from the composition box (chargtextimage, the entry
// "Créer Texte-Image"), the drawing font of an existing one (fonttextimage), the text of a
// duplicated one (copietexte) and of one brought from a saved page (texteApporte).
//
// A new text-image starts as a grey placeholder of the text's size, gets its four work files
// and its record, and the page (or face) is rebuilt around it; the page renders it at once, the
// jacket at the first key typed. The object that was current is stored before the box changes,
// so that its record keeps its own font and its texte<n>.svc its own text.
#include "text/textes.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "printing/impression.h"

#include <QFile>
#include <algorithm>
#include <new>

namespace kal {

namespace {

constexpr int Gris = 0x808080;   // red, green and blue 128

// An empty text in the starting font of a new text-image.
void compositionNeuve(BoiteTexteRiche& t)
{
    t.definirContenutexte(QString());
    t.definirSelpolice(QStringLiteral("MS Sans Serif"));
    t.definirSeltaille(24);
    t.definirSelgras(false);
    t.definirSelitalique(false);
    t.definirSelsouligne(false);
    t.definirSelbarre(false);
}

void messageEchec(const QString& quoi, const QString& cause)
{
    MsgBox(lignesMessage({quoi, cause}), msg::OK + msg::Exclamation, QStringLiteral("TEXTE-IMAGE"));
}

}  // namespace

// --- The current object

void Textes::retablirCourant(bool controles)
{
    EtatEditeur& e = x_.etat;
    const int fin = x_.jaquette() ? e.fincote : 16;
    const int n = e.objetcourant;
    bool present = e.nbobjets >= 1 && n >= 0 && n < fin && x_.c.L_photo[static_cast<size_t>(n)];
    bool texte = false;
    if (present) {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        bd::JeuEnregistrements& f = fiches.trouver(n);
        present = f.valeur(champ::occup).toBool();
        texte = f.valeur(champ::textimage).toBool();
    }
    if (present)
        e.typeobjet = texte ? QStringLiteral("textimage") : QStringLiteral("photo");
    if (!controles)
        return;
    x_.autcontrol(present, present && texte);
}

void Textes::rechargerTexteCourant()
{
    EtatEditeur& e = x_.etat;
    BoiteTexteRiche& t = x_.c.T_compos;
    const int fin = x_.jaquette() ? e.fincote : 16;
    const int n = e.objetcourant;
    if (e.nbobjets >= 1 && n >= 0 && n < fin) {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        bd::JeuEnregistrements& f = fiches.trouver(n);
        if (f.valeur(champ::occup).toBool() && f.valeur(champ::textimage).toBool()) {
            t.chargertexte(fichierTexte(n), 0);
            t.definirFondtexte(f.valeur(champ::backcolor).toInt());
            totalpolice();
            return;
        }
    }
    t.definirContenutexte(QString());
}

void Textes::policeDeFiche(int n)
{
    BoiteTexteRiche& t = x_.c.T_compos;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    bd::JeuEnregistrements& f = fiches.trouver(n);
    t.definirSelpolice(f.valeur(champ::fontname).toString());
    t.definirSeltaille(f.valeur(champ::fontsize).toDouble());
    t.definirSelcouleur(f.valeur(champ::fontcolor).toInt());
    t.definirSelgras(f.valeur(champ::fontbold).toBool());
    t.definirSelitalique(f.valeur(champ::fontitalic).toBool());
    t.definirSelsouligne(f.valeur(champ::fontunderline).toBool());
    t.definirSelbarre(f.valeur(champ::fontstrikethru).toBool());
    t.definirFondtexte(f.valeur(champ::backcolor).toInt());
}

// --- "Créer Texte-Image"

bool Textes::creerTexteImage()
{
    EtatEditeur& e = x_.etat;
    e.typeobjet = QStringLiteral("textimage");
    x_.autcontrol(false, false);
    bool fait = false;
    try {
        fait = chargtextimage(true);
    } catch (const Erreur& err) {
        const QString quoi = QStringLiteral("Le texte-image n'a pas été créé");
        ModeleObjets::messageEchec(QStringLiteral("TEXTE-IMAGE"), quoi, err);
    } catch (const std::bad_alloc&) {
        messageEchec(QStringLiteral("Le texte-image n'a pas pu être créé:"), QStringLiteral("Mémoire insuffisante."));
    }
    if (!fait) {
        // Nothing was made: the current object keeps its kind and its editing controls.
        retablirCourant(true);
        Ecran::definirPointeur(pointeur::Personnalise);
        return true;
    }
    hauteurcompos();
    e.nomsobjets[static_cast<size_t>(e.objetcourant)] = QStringLiteral("Texte-Image ") + QString::number(e.objetcourant);
    focustexte();
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
    return true;
}

bool Textes::chargtextimage(bool vider)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    const bool jaq = x_.jaquette();
    if (x_.objets().refusPlein())
        return false;
    const int courantAvant = e.objetcourant;
    const int nbAvant = e.nbobjets;
    if (vider) {
        x_.objets().garderObjetCourant();
        // The box changes only now that the object it held is stored (on the jacket once the
        // slot is taken: emplacement stores the current text-image's text from the box).
        if (!jaq)
            compositionNeuve(c.T_compos);
    }
    if (!jaq)
        x_.objets().effacpage();
    int nouveau = -1;
    try {
        // The slot taken, the object's box and the thumbnails are one transaction: on any
        // failure none of them is stored, and the way back below writes no record.
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.transaction([&] {
            if (!x_.objets().emplacement())
                throw Erreur(err::IndiceHorsLimites, QStringLiteral("Aucun emplacement libre pour un nouvel objet."));
            nouveau = e.objetcourant;
            if (vider && jaq)
                compositionNeuve(c.T_compos);
            const size_t i = static_cast<size_t>(nouveau);
            ControleImage& photo = *c.L_photo[i];
            const double echelle = jaq ? 1.0 : e.echelleimp;

            fontfeuille();
            photo.policeimage = c.T_compos.policeSelection();
            const QString texte = c.T_compos.contenutexte();
            photo.definirHauteur(hauteurTexte(texte) / echelle);
            photo.definirLargeur(std::max(1, largeurTexte(texte)) / echelle);

            // The grey placeholder, of the text's size, with no text drawn.
            photo.creerbitmap(photo.largeurReelle(), photo.hauteurReelle(), 24);
            photo.remplir(Gris);
            photo.definirReglagetexte(0);
            photo.textehaut = 0;
            photo.textegauche = 0;
            photo.textelargeur = photo.largeurReelle();
            photo.textehauteur = photo.hauteurReelle();
            photo.definirCouleurdessin(Gris);
            photo.definirOptiondessin(true);
            c.L_sauvtot.definirBitmap(photo.bitmap());

            {
                // The text and the three copies of the placeholder, all or none.
                fs::Remplacement lot;
                c.T_compos.sauvertexte(lot.aCote(fichierTexte(nouveau)), 0);
                x_.imagerie().ecrirecopies(photo, nouveau, lot);
                lot.installer();
                x_.imagerie().copiesEcrites(photo, nouveau);
            }
            c.L_sauvtot.definirBitmap(photo.bitmap());

            {
                Leve m(e.majencours);
                c.A_angle.definirValeur(0);
                c.E_angle.definirLegende(QStringLiteral("Angle=0"));
            }
            x_.objets().decocherCadre();
            {
                Leve r(e.rechargementencours);
                x_.imagerie().affichphoto();
            }
            c.L_sauvder.definirLargeur(photo.largeurReelle());
            c.L_sauvder.definirHauteur(photo.hauteurReelle());
            e.valeurformat = c.A_format.valeur();
            x_.objets().chargimp();
            if (!jaq)
                x_.objets().recreerControlesPage();

            // The placeholder was made at the height of the whole text: its stored height goes with
            // the text's line count (1 for the empty text of a new object; a loaded text keeps its
            // height, instead of being made as many times higher as it has lines).
            Leve r(e.rechargementencours), nouvel(e.creationtexte);
            e.tabobjets[i][col::Lignes] = compterLignes(texte);
            if (!jaq) {
                creattextimage();
                x_.objets().initpage();
            } else {
                x_.objets().initjaq();
            }
        });
    } catch (...) {
        abandonnerCreation(nouveau, courantAvant, nbAvant);
        throw;
    }
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
    x_.autcontrol(true, true);
    Ecran::definirPointeur(pointeur::Personnalise);
    return true;
}

void Textes::abandonnerCreation(int nouveau, int courantAvant, int nbAvant)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    const bool jaq = x_.jaquette();
    e.majencours = false;
    e.rechargementencours = false;
    e.creationtexte = false;
    try {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        if (nouveau >= 0) {
            x_.objets().abandonnerObjet(nouveau);
            if (jaq)
                (nouveau >= 16 ? e.nbarriere : e.nbavant) = static_cast<int16_t>(nbAvant);
        }
        const int debut = jaq ? e.basecote : 0;
        const bool revient = courantAvant >= debut && courantAvant < debut + 16 &&
                             fiches.lire(courantAvant, champ::occup).toBool();
        e.objetcourant = revient ? courantAvant : AucunObjet;
        if (!jaq) {
            for (int k = 0; k < 16; ++k)
                c.L_photo[static_cast<size_t>(k)].reset();
            if (revient) {
                x_.objets().creerControlePage(courantAvant);
                x_.objets().recreerControlesPage();
                Leve r(e.rechargementencours);
                x_.objets().initpage();
            } else {
                e.nbobjets = 0;
            }
        } else {
            e.nbobjets = nbAvant;
            Leve r(e.rechargementencours);
            x_.objets().initjaq();
        }
        rechargerTexteCourant();
    } catch (const Erreur&) {
        // The way back could not be walked whole: what is left shows as it is.
    }
}

// --- The jacket's drawing font

void Textes::fonttextimage()
{
    EtatEditeur& e = x_.etat;
    BoiteTexteRiche& t = x_.c.T_compos;
    t.definirSelectiondebut(0);
    t.definirSelectionlongueur(1);
    if (e.objetcourant < 0 || e.objetcourant >= e.nbEmplacements())
        return;
    if (ControleImage* photo = x_.c.L_photo[static_cast<size_t>(e.objetcourant)].get())
        photo->policeimage = t.policeSelection();
}

// --- Duplicating a text-image

void Textes::copietexte(int k, int n)
{
    EtatEditeur& e = x_.etat;
    BoiteTexteRiche& t = x_.c.T_compos;
    t.chargertexte(fichierTexte(k), 0);
    t.definirSelectiondebut(0);
    t.definirSelectionlongueur(static_cast<int>(t.contenutexte().size()));
    policeDeFiche(k);
    t.sauvertexte(fichierTexte(n), 0);
    sauvpolice();
    fontfeuille();
    totalpolice();
    hauteurcompos();
    restitpolice();
    focustexte();
    e.tabobjets[static_cast<size_t>(n)][col::Lignes] = compterLignes(t.contenutexte());
}

// --- A text brought from a saved page

void Textes::texteApporte()
{
    EtatEditeur& e = x_.etat;
    const int n = e.objetcourant;
    if (n >= 0 && n < e.nbEmplacements())
        e.tabobjets[static_cast<size_t>(n)][col::Lignes] = compterLignes(x_.c.T_compos.contenutexte());
    if (!x_.jaquette()) {
        totalpolice();
        fontfeuille();
        sauvpolice();
        x_.autcontrol(true, true);
        hauteurcompos();
        focustexte();
        creattextimage();
    } else {
        fonttextimage();
        fontfeuille();
        sauvpolice();
        x_.autcontrol(true, true);
        hauteurcompos();
        focustexte();
    }
}

}  // namespace kal
