// Taking objects off the page or jacket: one page object's display (unloadimage, supobjet) and
// the whole page or jacket (effacpage, and the entry "Effacer page"). A record is never deleted:
// a slot is freed by putting its `occup` to False. The work files of an object removed by the
// user go with it (effacerpage, abandonnerObjet, the mouse's removal): a later object of the slot
// never finds them. The records are freed first, in one transaction, and only then do the screen
// and the files change: a clearing the disk refuses leaves the page whole.
#include "pagemodel/objets.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "printing/impression.h"

namespace kal {

void ModeleObjets::abandonnerObjet(int n)
{
    ControlesEditeur& c = x_.c;
    if (n < 0 || n >= x_.etat.nbEmplacements())
        return;
    const size_t k = static_cast<size_t>(n);
    // Its files and its display go first: they need neither the database nor room on the disk,
    // so that a record the disk refuses to free leaves no picture behind for a later object.
    effacerFichiersTravail(n);
    if (c.L_miniat[k])
        c.L_miniat[k]->definirVisible(false);
    if (!x_.jaquette()) {
        c.L_photo[k].reset();
    } else if (c.L_photo[k]) {
        c.L_photo[k]->vider();
        c.L_photo[k]->definirVisible(false);
        if (k < c.L_apjaq.size())
            c.L_apjaq[k]->definirVisible(false);
    }
    // The record last; a step whose records were one transaction finds it free again already,
    // and writes nothing.
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    fiches.modifier(n, [](bd::JeuEnregistrements& j) {
        j.mettre(champ::occup, false);
        j.mettre(champ::textimage, false);
    });
}

void ModeleObjets::unloadimage(int i)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (i < 0 || i >= 16)
        return;
    try {
        // The sliders go back to neutral without zeroing the object's stored adjustments.
        e.razgardelignes = true;
        x_.imagerie().initzero();
        e.razgardelignes = false;
        if (e.effacementpage) {
            Fiches fiches = x_.fiches();
            fiches.sourceTable();
            fiches.modifier(i, [](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::occup, false); });
        }
    } catch (const Erreur&) {
        return;   // the removal stops quietly, as any failure of it does
    }
    // A number without a display control ends here: nothing else happens, the count stays.
    auto& photo = c.L_photo[static_cast<size_t>(i)];
    if (!photo)
        return;
    photo.reset();
    if (ControleImage* m = c.L_miniat[static_cast<size_t>(i)].get())
        m->definirVisible(false);
    --e.nbobjets;
}

void ModeleObjets::supobjet(int i)
{
    ControlesEditeur& c = x_.c;
    if (i < 0 || i >= 16)
        return;
    for (ControleImage* k : {c.L_miniat[static_cast<size_t>(i)].get(), c.L_photo[static_cast<size_t>(i)].get()}) {
        if (!k)
            return;
        k->vider();
        k->definirVisible(false);
    }
}

void ModeleObjets::effacpage()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (!x_.jaquette()) {
        for (int n = 0; n < 16; ++n)
            unloadimage(n);
    } else {
        // Every record freed in one transaction before the faces change.
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.transaction([&] {
            for (int k = 0; k < 32; ++k)
                fiches.modifier(k, [](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::occup, false); });
        });
        for (int k = 0; k < 32; ++k) {
            const size_t n = static_cast<size_t>(k);
            c.L_photo[n]->vider();
            c.L_photo[n]->definirVisible(false);
            c.L_miniat[n]->definirVisible(false);
            c.L_apjaq[n]->definirVisible(false);
        }
        // Both faces are empty now: their counts say so, and no object is current.
        e.nbavant = 0;
        e.nbarriere = 0;
        e.objetcourant = AucunObjet;
    }
    e.nbobjets = 0;
    x_.fenetre.setWindowTitle(QStringLiteral("Page non référencée"));
}

void ModeleObjets::effacerpage()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    // The records first, all of them in one transaction: when the disk refuses them the page,
    // its records and its work files stay as they are, and the person is told.
    try {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.transaction([&] {
            for (int n = 0; n < e.nbEmplacements(); ++n)
                fiches.modifier(n, [](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::occup, false); });
        });
    } catch (const Erreur& err) {
        messageEchec(QStringLiteral("EFFACER PAGE"),
                     x_.jaquette() ? QStringLiteral("La jaquette n'a pas été effacée") : QStringLiteral("La page n'a pas été effacée"),
                     err);
        return;
    }
    // The files of the freed slots go; a record the clearing could not free keeps its own.
    const auto effacerFichiersLiberes = [this] {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        for (int n = 0; n < x_.etat.nbEmplacements(); ++n)
            if (!fiches.lire(n, champ::occup).toBool())
                effacerFichiersTravail(n);
    };
    if (x_.jaquette()) {
        effacpage();
        effacerFichiersLiberes();
        e.nompage.clear();
        e.nomaouvrir.clear();
        e.ouvrirapres = false;
        // Nothing is left to edit: the editing controls go as on the page, and the captions
        // and the angle's undo no longer speak of the removed objects.
        x_.autcontrol(false, false);
        x_.disposition().legendesSansObjet();
        x_.imagerie().changeinit(false, QString());
        c.F_compos.definirVisible(false);
        return;
    }
    e.effacementpage = true;
    e.majencours = true;
    effacpage();
    effacerFichiersLiberes();
    e.objetcourant = AucunObjet;
    e.nompage.clear();
    e.nomaouvrir.clear();
    x_.disposition().dimpage();
    x_.disposition().marges();
    x_.impression().finconfig();
    c.C_cadre.definirValeur(0);
    x_.autcontrol(false, false);
    x_.disposition().legendesSansObjet();
    x_.imagerie().changeinit(false, QString());
    e.ouvrirapres = false;
    e.majencours = false;
    e.effacementpage = false;
    c.F_compos.definirVisible(false);
}

void ModeleObjets::statustexte()
{
    ControlesEditeur& c = x_.c;
    const EtatEditeur& e = x_.etat;
    // The kind stays that of the last object after its removal: without an object shown on the
    // page or face there is nothing to crop. Read from the editor's state alone: the focus moves
    // in the middle of procedures that hold the data source on a record.
    const bool present = e.nbobjets >= 1 && x_.imagerie().photoCourante();
    if (e.typeobjet != QLatin1String("photo")) {
        c.C_decoupe.definirValeur(0);
        c.C_decoupe.definirActif(false);
    } else if (!present) {
        c.C_decoupe.definirActif(false);
    } else {
        c.C_decoupe.definirActif(true);
        x_.disposition().couleurformat();
    }
}

}  // namespace kal
