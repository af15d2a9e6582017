// Rebuilding a page's objects from the object table (initpage, and initjaq on the face shown):
// the current object in full, every other occupied object as a placeholder of its size, in its
// thumbnail colour, framed and turned as its record says.
#include "pagemodel/objets.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "layout/geometrie.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "printing/impression.h"
#include "text/textes.h"

namespace kal {

void ModeleObjets::initpage() { reconstruire(); }
void ModeleObjets::initjaq() { reconstruire(); }

void ModeleObjets::reconstruire()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    const double echelle = jaq ? 1.0 : e.echelleimp;

    c.L_sauvtot.vider();
    c.L_sauvder.vider();
    decocherCadre();
    c.C_image.definirValeur(0);
    c.C_image.definirActif(false);

    // The current object must be on the page, or on the face shown: otherwise nothing is rebuilt.
    const int n = e.objetcourant;
    const bool surLaFace = jaq ? (c.O_avant.valeur() && n >= 0 && n < 16) || (c.O_arriere.valeur() && n >= 16 && n < 32)
                               : n >= 0 && n < 16 && c.L_photo[static_cast<size_t>(n)];
    if (!surLaFace) {
        activerImageTotale();
        x_.fenetre.definirPointeur(pointeur::Fleche);
        return;
    }
    const size_t i = static_cast<size_t>(n);
    ControleImage& photo = *c.L_photo[i];
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    bool texteImage = fiches.lire(n, champ::textimage).toBool();
    e.nomsobjets[i] = QStringLiteral("Image ") + QString::number(n);
    if (texteImage) {
        e.typeobjet = QStringLiteral("textimage");
        c.T_compos.chargertexte(fichierTexte(n), 0);
        // The stored height was made with the line count of this very text.
        e.tabobjets[i][col::Lignes] = compterLignes(c.T_compos.contenutexte());
        x_.textes().totalpolice();
        e.nomsobjets[i] = QStringLiteral("Texte-Image ") + QString::number(n);
        c.T_compos.definirFondtexte(fiches.lire(n, champ::backcolor).toInt());
    } else {
        e.typeobjet = QStringLiteral("photo");
    }
    if (c.L_miniat[i])
        c.L_miniat[i]->definirVisible(true);
    x_.imagerie().chargephoto(n);

    auto& ligne = e.tabobjets[i];
    if (!e.creationtexte) {
        photo.placerReel(ligne[col::Gauche], ligne[col::Haut], ligne[col::Largeur], ligne[col::Hauteur]);
    } else {
        ligne[col::Hauteur] = photo.hauteurReelle();
        ligne[col::Largeur] = photo.largeurReelle();
        if (jaq) {
            ligne[col::Gauche] = fiches.lire(n, champ::leftimp).toDouble();
            ligne[col::Haut] = fiches.lire(n, champ::topimp).toDouble();
        } else {
            ligne[col::Gauche] = photo.gaucheReel();
            ligne[col::Haut] = photo.hautReel();
        }
    }
    bd::JeuEnregistrements& fiche = fiches.trouver(n);
    photo.definirGauche(fiche.valeur(champ::leftimp).toDouble() / echelle);
    photo.definirHaut(fiche.valeur(champ::topimp).toDouble() / echelle);
    x_.disposition().posimage();
    e.valeurformat = c.A_format.valeur();
    // The working copy's box is the size the format now gives (the record's, unless the
    // placing brought the object back onto the surface).
    x_.disposition().sauvderDepuisFormat();
    x_.imagerie().sauvder();
    fiches.sourceTable();
    chargimp();
    creatminiat(n);
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
    photo.definirVisible(true);
    c.F_compos.definirVisible(false);
    x_.autcontrol(true, false);
    x_.disposition().status();
    x_.disposition().initformat();
    if (jaq)
        x_.impression().apercujaq(QStringLiteral("cha"));
    x_.disposition().couleurformat();
    photo.definirVisible(true);
    if (texteImage) {
        c.F_compos.definirVisible(true);
        x_.textes().hauteurcompos();
    }

    // The other objects, as placeholders.
    e.nbobjets = 1;
    x_.fenetre.definirPointeur(pointeur::Sablier);
    const int debut = jaq ? e.basecote : 0;
    for (int k = debut; k < debut + 16; ++k) {
        fiches.sourceTable();
        bd::JeuEnregistrements& f = fiches.trouver(k);
        if (!f.valeur(champ::occup).toBool() || k == n)
            continue;
        const size_t j = static_cast<size_t>(k);
        if (!c.L_photo[j])
            continue;   // a page slot whose control the caller did not make
        ++e.nbobjets;
        e.nomsobjets[j] = (f.valeur(champ::textimage).toBool() ? QStringLiteral("Texte-Image ") : QStringLiteral("Image ")) +
                          QString::number(k);
        ControleImage& autre = *c.L_photo[j];
        autre.definirVisible(false);
        // The placeholder stands where the one object geometry puts the object: its turned box
        // from the record, at the preview's scale.
        const FicheGeometrie fg = lireGeometrie(f);
        const GeometrieObjet g = geometrieObjet(fg, angleDroitOuNul(fg.rot) ? QSize() : pixelsFichier(fichierSauv(k)));
        autre.placerReel(g.rect.gauche.reduit(echelle).valeur(), g.rect.haut.reduit(echelle).valeur(),
                         g.rect.largeur.reduit(echelle).valeur(), g.rect.hauteur.reduit(echelle).valeur());
        // The placeholder's picture is made in screen pixels, never twips taken as pixels.
        autre.creerbitmap(std::max(1, pixelsX(autre.largeur())), std::max(1, pixelsY(autre.hauteur())), 24);
        autre.remplir(f.valeur(champ::coulminiat).toInt());
        e.tabobjets[j][col::Angle] = fg.rot;
        if (f.valeur(champ::cadre).toInt() == 1)
            autre.tracercadre(0, 0, autre.largeurReelle(), autre.hauteurReelle());
        autre.rotation(fg.rot * 100, 1, 0xFFFFFF);
        autre.placerReel(g.boite.gauche.reduit(echelle).valeur(), g.boite.haut.reduit(echelle).valeur(),
                         g.boite.largeur.reduit(echelle).valeur(), g.boite.hauteur.reduit(echelle).valeur());
        auto& l = e.tabobjets[j];
        l[col::Hauteur] = autre.hauteurReelle();
        l[col::Largeur] = autre.largeurReelle();
        l[col::Gauche] = autre.gaucheReel();
        l[col::Haut] = autre.hautReel();
        creatminiat(k);
        autre.definirVisible(true);
        if (jaq) {
            const int courant = e.objetcourant;
            e.objetcourant = k;
            x_.impression().apercujaq(QStringLiteral("des"));
            e.objetcourant = courant;
        }
    }
    fiches.sourceTable();
    // The current object stands in front of the placeholders, whatever order their controls
    // were made in: the picture being worked on is never hidden behind a flat stand-in.
    photo.auPremierPlan();
    // Whole image is offered by the angles of the objects alone, whatever the enabling of the
    // editing controls above gave it.
    activerImageTotale();
    x_.fenetre.definirPointeur(pointeur::Fleche);
}

}  // namespace kal
