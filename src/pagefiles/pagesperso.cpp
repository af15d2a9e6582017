// The pages panel F_page: the entry "Pages", the listing of the saved folders of the editor's
// kind, the dispatch of its OK button and its other handlers, and the helpers the personal
// pages share.
#include "pagefiles/pagesperso.h"

#include "imaging/imagerie.h"
#include "pagefiles/dossiersperso.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"

namespace kal {

void PagesPerso::brancher()
{
    ControlesEditeur& c = x_.c;
    // The panel stands over the page's thumbnails: it hides what lies under it.
    c.F_page.boite()->setAutoFillBackground(true);
    x_.enregistrerCommande(QStringLiteral("Pages"), [this] {
        // An open that waited for a save is given up, with the name it kept; so is a close
        // that waited for one (the panel was left and is now used afresh).
        x_.etat.ouvrirapres = false;
        x_.etat.nomaouvrir.clear();
        x_.etat.quitterapres = false;
        listepage();
        return true;
    });
    c.B_okouvrir.surClic = [this] { B_okouvrir_Click(); };
    c.O_supp.surClic = [this] { O_supp_Click(); };
    c.B_annulsauv.surClic = [this] { B_annulsauv_Click(); };
}

// --- Helpers

QString PagesPerso::dossierPerso() const { return perso::dossierPerso(fs::dossierCourant()); }

QString PagesPerso::dossierPage(const QString& nom) const { return fs::joindre(dossierPerso(), nom); }

bool PagesPerso::nomAccepte(const QString& nom)
{
    const QString refus = perso::refusNom(nom);
    if (refus.isEmpty())
        return true;
    MsgBox(lignesMessage({QStringLiteral("Le nom « %1 » ne peut pas désigner une page:").arg(perso::nomAffichable(nom)),
                          refus + QLatin1Char('.'),
                          QStringLiteral("Choisissez un nom de dossier simple, de 255 octets au plus.")}),
           msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
    return false;
}

void PagesPerso::viderNom()
{
    ControlesEditeur& c = x_.c;
    c.L_kalmorin.definirIndex(-1);
    c.L_kalmorin.definirTexte(QString());
}

void PagesPerso::lierBaseTravail()
{
    x_.D_image.definirBase(ModeleObjets::cheminBase());
    x_.D_image.definirSource(nomTableObjets());
    try {
        x_.D_image.actualiser();
    } catch (const Erreur&) {
        // The next procedure that reads the table reports a work database gone bad.
    }
}

void PagesPerso::cacherPanneau()
{
    x_.c.F_page.definirVisible(false);
    if (x_.jaquette())
        x_.c.P_page.definirVisible(true);
}

bool PagesPerso::objetCourantValide() const
{
    const EtatEditeur& e = x_.etat;
    const int debut = x_.jaquette() ? e.basecote : 0;
    const int fin = x_.jaquette() ? e.fincote : 16;
    return e.nbobjets >= 1 && e.objetcourant >= debut && e.objetcourant < fin;
}

bool PagesPerso::pageVide()
{
    if (!x_.jaquette())
        return x_.etat.nbobjets == 0;
    // The jacket counts only the face shown in nbobjets: both faces are looked at here.
    if (x_.etat.nbobjets > 0)
        return false;
    try {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        for (int n = 0; n < x_.etat.nbEmplacements(); ++n)
            if (fiches.lire(n, champ::occup).toBool())
                return false;
    } catch (const Erreur&) {
        // A table that cannot be read may still hold the other face's objects: the page is
        // not taken for empty, so the question to save it is asked and the save reports why
        // it cannot be made.
        return false;
    }
    return true;
}

// --- Listing

void PagesPerso::rechpage(const QString& chemin)
{
    nomdossier_ = chemin.mid(chemin.lastIndexOf(QLatin1Char('/')) + 1);
}

void PagesPerso::listepage()
{
    ControlesEditeur& c = x_.c;
    c.L_kalmorin.vider();
    const QString perso = dossierPerso();
    if (!fs::estDossier(perso)) {
        try {
            fs::creerDossier(perso);
        } catch (const Erreur&) {
            // The load said why it cannot be made; the list stays empty.
        }
    }
    QStringList noms;
    QStringList dossiers;
    try {
        dossiers = fs::sousDossiers(perso);
    } catch (const Erreur&) {
        // persopag cannot be listed: the list shows no page, and the saved pages stay on disk
        // as they are.
    }
    for (const QString& d : dossiers) {
        rechpage(d);
        if (perso::examiner(d).deSorte(x_.jaquette()))
            noms << nomdossier_;
    }
    perso::trierNoms(noms);
    for (const QString& n : noms)
        c.L_kalmorin.ajouter(n);
    viderNom();
    c.F_page.definirVisible(true);
    c.F_page.widget()->raise();
    if (x_.jaquette())
        c.P_page.definirVisible(false);
    c.O_ouvrir.definirValeur(true);
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
}

// --- The panel's handlers

void PagesPerso::B_okouvrir_Click()
{
    ControlesEditeur& c = x_.c;
    if (c.O_ouvrir.valeur())
        ouvrirpage();
    else if (c.O_ajout.valeur())
        sauvpage();
    else if (c.O_supp.valeur())
        suppage();
}

void PagesPerso::O_supp_Click()
{
    x_.etat.ouvrirapres = false;
    x_.etat.nomaouvrir.clear();
}

void PagesPerso::B_annulsauv_Click()
{
    // Left without saving: neither the close, nor an open, nor the printer set-up waits for a
    // later save any more; the set-up asks again whether to save first.
    x_.etat.quitterapres = false;
    x_.etat.ouvrirapres = false;
    x_.etat.nomaouvrir.clear();
    x_.etat.enregavantconfig = false;
    cacherPanneau();
}

void PagesPerso::enregistrerAvantQuitter()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    listepage();
    viderNom();
    c.L_kalmorin.widget()->setFocus();
    c.O_ajout.definirValeur(true);
    e.quitterapres = true;
    e.ouvrirapres = false;
    sauvpage();
}

bool PagesPerso::enregistrerAvantConfig()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const QString nom = c.L_kalmorin.texte();
    listepage();
    c.L_kalmorin.definirTexte(nom);
    c.L_kalmorin.widget()->setFocus();
    c.O_ajout.definirValeur(true);
    e.quitterapres = false;
    e.ouvrirapres = false;
    e.nomaouvrir.clear();
    return sauvpage();
}

}  // namespace kal
