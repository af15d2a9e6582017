// Undoing work on the current object: the picture as first placed (INIT), and the last
// adjustment-slider run (the narrow reset button).
#include "imaging/imagerie.h"

#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "printing/impression.h"

namespace kal {

void Imagerie::brancherReinitialisation()
{
    x_.c.B_initimage.surClic = [this] { B_initimage_Click(); };
    x_.c.B_initreglage.surClic = [this] { B_initreglage_Click(); };
}

void Imagerie::B_initimage_Click()
{
    EtatEditeur& e = x_.etat;
    ControleImage* photo = photoCourante();
    if (e.nbobjets < 1 || !photo)
        return;
    const int n = e.objetcourant;
    const bool reglagesVisibles = x_.c.A_contraste.visible();
    // The picture as first placed becomes the base and the picture shown: both files are put
    // in place together before anything changes, then the record and the screen; when either
    // cannot be done, the files are those from before and the object stays as it is.
    CopiesAnciennes anciennes;
    try {
        fs::Remplacement lot;
        fs::copierFichier(fichierInit(n), lot.aCote(fichierSauv(n)));
        fs::copierFichier(fichierInit(n), lot.aCote(fichierPhoto(n)));
        anciennes.garder(fichierSauv(n));
        anciennes.garder(fichierPhoto(n));
        lot.installer();
        copies_.copiee(fichierInit(n), fichierSauv(n));
        copies_.copiee(fichierInit(n), fichierPhoto(n));
        terminerEtape(anciennes, [&] { reinitialiser(*photo); });
    } catch (const Erreur& err) {
        // A rename that failed half-way: the one made is undone (nothing left to do after a
        // failure of the rest, which put the files back already).
        try {
            anciennes.retablir();
        } catch (const Erreur&) {
            // Not put back either: the failure below is the one reported.
        }
        regvisible(reglagesVisibles);
        x_.fenetre.definirPointeur(pointeur::Personnalise);
        ModeleObjets::messageEchec(QStringLiteral("INIT"), QStringLiteral("L'objet n'a pas été réinitialisé"), err);
    }
}

void Imagerie::reinitialiser(ControleImage& photo)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    const int n = e.objetcourant;
    x_.fenetre.definirPointeur(pointeur::Sablier);
    regvisible(false);
    changeflag(false, false, false, false, false, false);
    for (Reglage r : OrdreReglages)
        etiquetteDe(r).definirLegende(QLatin1String(curseurReglage(r).neutre));
    c.E_angle.definirLegende(QStringLiteral("Angle=0"));
    e.rechargementencours = true;
    e.majencours = true;
    c.A_angle.definirValeur(0);
    e.majencours = false;
    c.C_cadre.definirValeur(0);
    photo.definirVisible(false);
    c.L_sauvtot.lirefichier(fichierSauv(n), 0, 0, 1);
    copies_.lue(fichierSauv(n), c.L_sauvtot.bitmap());
    photo.definirBitmap(c.L_sauvtot.bitmap());
    affichphoto();
    x_.disposition().formatangle();
    x_.objets().chargimp();
    // Its angle is 0 again: whole image is offered by the other objects' angles alone.
    x_.objets().activerImageTotale();
    enregimage();
    changeinit(false, QString());
    initredim();
    c.B_annulangle.definirActif(false);
    photo.definirVisible(true);
    if (x_.jaquette())
        x_.impression().apercujaq(QStringLiteral("cha"));
    x_.fenetre.definirPointeur(pointeur::Personnalise);
    regvisible(true);
    e.rechargementencours = false;
}

void Imagerie::B_initreglage_Click()
{
    EtatEditeur& e = x_.etat;
    // The slider the key names goes back to the value memorised when its run began.
    if (const std::optional<Reglage> r = reglageDeCle(e.codereglage)) {
        Curseur& curseur = curseurDe(*r);
        curseur.definirValeur(std::clamp(e.valreglage[static_cast<size_t>(*r)], curseur.min(), curseur.max()));
    }
    changeinit(false, QString());
}

}  // namespace kal
