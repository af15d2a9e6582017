// Rotation of the current object by whole degrees (A_angle), and its undo (B_annulangle). The
// angle lives in the object's record; every display, thumbnail and print turns the base picture.
#include "imaging/imagerie.h"

#include "imaging/fichierstravail.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "printing/impression.h"
#include "text/textes.h"

#include <utility>

namespace kal {

namespace {
bool angleDroit(int rot) { return rot == 90 || rot == 180 || rot == -90 || rot == -180; }
}  // namespace

void Imagerie::brancherRotation()
{
    ControlesEditeur& c = x_.c;
    c.A_angle.surChangement = [this] { A_angle_Change(); };
    c.A_angle.surDefilement = [this] { A_angle_Scroll(); };
    c.A_angle.surFocus = [this] { A_angle_GotFocus(); };
    c.B_annulangle.surClic = [this] { B_annulangle_Click(); };
}

void Imagerie::A_angle_GotFocus() { x_.etat.valreglage[5] = x_.c.A_angle.valeur(); }

void Imagerie::A_angle_Scroll() { x_.c.E_angle.definirLegende(QStringLiteral("Angle=") + Str(x_.c.A_angle.valeur())); }

void Imagerie::A_angle_Change()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (e.majencours)
        return;
    ControleImage* photo = photoCourante();
    if (!photo)
        return;
    const int n = e.objetcourant;
    Fiches fiches = x_.fiches();
    bool tourne = false;
    try {
        fiches.sourceTable();
        // A number whose object was removed (its record free, its files gone) has nothing to turn:
        // its record is not taken back.
        if (!fiches.lire(n, champ::occup).toBool() || !copiesPresentes(n))
            return;
        // The angle and the size the turned object is shown at are one transaction.
        fiches.transaction([&] {
            fiches.modifier(n, [&](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::rot, c.A_angle.valeur()); });
            if (!e.rechargementencours) {
                e.rotationencours = true;
                tourne = true;
                chargephoto(n);
                // The turned object may have been brought back onto the surface: its record
                // takes the size it is shown at, which every later store and the reopening
                // start from.
                x_.objets().chargimp();
                e.rotationencours = false;
            }
        });
    } catch (const Erreur& err) {
        e.rotationencours = false;
        // The record keeps the angle it had (a full disk): so do the slider and the object. A
        // database that cannot even be read leaves the angle the slider had when it was taken.
        int avant = e.valreglage[5];
        try {
            avant = arrondi(fiches.lire(n, champ::rot).toDouble());
        } catch (const Erreur&) {
            // Unreadable too: the angle at the focus stands.
        }
        if (tourne) {
            // The object was shown turned already: it is shown again as its record holds it.
            try {
                chargephoto(n);
            } catch (const Erreur&) {
                // Its display could not be made again: the message below says what was not done.
            }
        }
        // Nothing runs again while the message is shown: a slider arrow held down repeats.
        const bool maj = std::exchange(e.majencours, true);
        c.A_angle.definirValeur(avant);
        A_angle_Scroll();
        ModeleObjets::messageEchec(QStringLiteral("ROTATION"), QStringLiteral("L'angle de l'objet n'a pas été changé"), err);
        e.majencours = maj;
        return;
    }
    photo->definirBordure(0);
    changeinit(true, QString());
    e.rotationencours = true;
    if (e.typeobjet == QLatin1String("textimage"))
        x_.textes().focustexte();
    e.rotationencours = false;
    const int rot = arrondi(fiches.lire(n, champ::rot).toDouble());
    const bool droit = angleDroit(rot);
    x_.objets().activerImageTotale();
    if (c.C_image.valeur() == 1 && c.C_image.actif()) {
        if (!droit)
            photo->definirBordure(1);
        else if (c.C_cadre.valeur() == 1)
            photo->definirBordure(1);
        photo->repeindre();
    }
    if (x_.jaquette())
        x_.impression().apercujaq(QStringLiteral("cha"));
    x_.objets().creatminiat(n);
}

void Imagerie::B_annulangle_Click()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (!e.majencours && photoCourante()) {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.modifier(e.objetcourant, [](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::rot, 0); });
        c.A_angle.definirValeur(0);
        if (!e.rechargementencours)
            chargephoto(e.objetcourant);
    }
    c.B_annulangle.definirActif(false);
}

}  // namespace kal
