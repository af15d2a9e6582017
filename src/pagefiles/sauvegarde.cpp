// Saving a page or jacket under a name (sauvpage, the jacket's sauvjaq) and deleting a saved one
// (suppage, supjaq). The saved folder is written aside under a hidden name of persopag, marker
// last, then put in the place of the old one in one step: a save that fails anywhere leaves the
// old saved page whole, and the work database bound again.
#include "pagefiles/pagesperso.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "pagefiles/dossiersperso.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "printing/impression.h"

namespace kal {

namespace {
QString pageOuJaquette(bool jaq) { return jaq ? QStringLiteral("jaquette") : QStringLiteral("page"); }

// The first occupied record without its own work files (its three picture copies, and the text
// of a text-image), or -1.
int objetSansFichiers(Fiches& fiches, int emplacements)
{
    fiches.sourceTable();
    for (int n = 0; n < emplacements; ++n) {
        if (!fiches.lire(n, champ::occup).toBool())
            continue;
        if (!copiesPresentes(n) || (fiches.lire(n, champ::textimage).toBool() && !fs::estFichier(fichierTexte(n))))
            return n;
    }
    return -1;
}
}  // namespace

bool PagesPerso::sauvpage()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();

    if (pageVide()) {
        MsgBox(QStringLiteral("La page est vide"), msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }
    // The name is checked before anything is touched.
    const QString nom = c.L_kalmorin.texte();
    if (nom.isEmpty()) {
        // configxp and the close come here too: the question they asked is asked again until
        // a save has really been made.
        MsgBox(QStringLiteral("Désignez un nom de fichier de sauvegarde"), msg::OK + msg::Exclamation,
               QStringLiteral("ERREUR"));
        return false;
    }
    if (!nomAccepte(nom))
        return false;
    try {
        // The current object's record, work files and thumbnail, and the latest text of a
        // current text-image, before anything is copied.
        x_.imagerie().sauvphoto();
        lierBaseTravail();
        if (objetCourantValide()) {
            Fiches fiches = x_.fiches();
            fiches.sourceTable();
            bd::JeuEnregistrements& f = fiches.trouver(e.objetcourant);
            if (f.valeur(champ::occup).toBool() && f.valeur(champ::textimage).toBool())
                c.T_compos.sauvertexte(fichierTexte(e.objetcourant), 0);
        }
    } catch (const Erreur& err) {
        lierBaseTravail();
        MsgBox(lignesMessage({QStringLiteral("La page ne peut pas être enregistrée: l'objet en cours n'a pas pu être mis à jour."),
                              err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }

    // Each object is saved with its own picture and text: one whose work files are gone is not
    // filled from another's, and nothing saved under the name is touched.
    {
        Fiches fiches = x_.fiches();
        const int n = objetSansFichiers(fiches, e.nbEmplacements());
        if (n >= 0) {
            QString objet = QStringLiteral("L'objet %1 (%2").arg(n).arg(
                fiches.lire(n, champ::textimage).toBool() ? QStringLiteral("texte-image") : QStringLiteral("photo"));
            if (jaq)
                objet += n < 16 ? QStringLiteral(", face avant") : QStringLiteral(", face arrière");
            MsgBox(lignesMessage({QStringLiteral("La page ") + perso::nomAffichable(nom) +
                                      QStringLiteral(" n'a pas été enregistrée; ce qui était enregistré sous ce nom est conservé."),
                                  objet + QStringLiteral(") ne peut pas être enregistré: ses fichiers de travail manquent.")}),
                   msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
            return false;
        }
    }

    const QString cible = dossierPage(nom);
    const perso::Contenu existant = perso::examiner(cible);
    if (existant.existe) {
        // Only a saved page of this editor's kind may be replaced, and only a whole one: a
        // folder of the other kind, an unmarked folder, a file, a link, or a folder holding
        // folders of its own is never emptied.
        if (!existant.deSorte(jaq) || existant.sousDossier) {
            MsgBox(lignesMessage({QStringLiteral("La page:") + perso::nomAffichable(nom) + QStringLiteral(" existe déjà."),
                                  QStringLiteral("Ce n'est pas une %1 enregistrée par cet éditeur: elle ne peut pas être "
                                                 "remplacée. Choisissez un autre nom.")
                                      .arg(pageOuJaquette(jaq))}),
                   msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
            return false;
        }
        if (MsgBox(QStringLiteral("La page:") + nom + QStringLiteral(" existe déjà.") + QLatin1Char('\r') +
                       QStringLiteral("Voulez-vous la remplacer ?"),
                   msg::OuiNon + msg::Question, QStringLiteral("ERREUR")) != msg::RepOui)
            return false;
    }

    if (!jaq)
        x_.fenetre.definirPointeur(pointeur::Sablier);
    perso::Permutation etat;
    try {
        ecrireDossier(cible, etat);
    } catch (const Erreur& err) {
        lierBaseTravail();
        x_.fenetre.definirPointeur(pointeur::Personnalise);
        // What is under the name now, said as it is.
        const QString tete = QStringLiteral("La page ") + perso::nomAffichable(nom) + QStringLiteral(" n'a pas été enregistrée");
        const QString etatNom =
            !existant.existe      ? tete + QLatin1Char('.')
            : etat.ancienEnPlace ? tete + QStringLiteral("; ce qui était enregistré sous ce nom est conservé.")
                                 : tete + QStringLiteral(", et ce qui était enregistré sous ce nom n'a pas pu y être remis: les deux "
                                                         "sont gardés, et le prochain démarrage du programme remettra la page "
                                                         "sous son nom.");
        MsgBox(lignesMessage({etatNom, perso::disquePlein(err.description()) ? QStringLiteral("Le disque est plein.")
                                                                             : err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }
    if (etat.echecSynchro != 0) {
        // The names are changed; only their lasting on the disk is unconfirmed.
        MsgBox(lignesMessage({QStringLiteral("La page ") + perso::nomAffichable(nom) +
                                  QStringLiteral(" a été enregistrée, mais le disque n'a pas confirmé l'écriture: elle "
                                                 "pourrait manquer après une coupure de courant."),
                              cible + QStringLiteral(" : ") + texteErreurSysteme(etat.echecSynchro)}),
               msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
    }
    if (jaq) {
        // The face outlines drawn anew, white, with their fold marks.
        for (int n : {0, 16}) {
            ControleImage& face = *c.L_jaq[static_cast<size_t>(n)];
            face.creerbitmap(std::max(1, pixelsX(c.L_jaq[0]->largeur())), std::max(1, pixelsY(c.L_jaq[0]->hauteur())), 24);
            face.remplir(0xFFFFFF);
        }
        x_.impression().pliage();
    }
    cacherPanneau();
    e.pagemodifiee = false;
    apresSauvegarde();
    return true;
}

void PagesPerso::ecrireDossier(const QString& cible, perso::Permutation& etat)
{
    const bool jaq = x_.jaquette();
    const QString perso = dossierPerso();
    if (!fs::estDossier(perso))
        fs::creerDossier(perso);
    const QString acote = perso::dossierAcote(perso, QStringLiteral(".sauvegarde-"));
    try {
        // The database is copied closed, then bound again before anything else is read. A log
        // left beside it holds changes the file alone lacks: such a copy would not be the page.
        x_.D_image.fermerBase();
        try {
            perso::verifierBaseFermee(ModeleObjets::cheminBase(), false);
            fs::copierFichier(ModeleObjets::cheminBase(), fs::joindre(acote, nomBaseTravail()));
            // The copy alone, in the mode a copy is read in: nothing beside it once opened.
            perso::verifierBaseFermee(fs::joindre(acote, nomBaseTravail()), true);
        } catch (...) {
            lierBaseTravail();
            throw;
        }
        lierBaseTravail();
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        for (int n = 0; n < x_.etat.nbEmplacements(); ++n) {
            bd::JeuEnregistrements& f = fiches.trouver(n);
            if (!f.valeur(champ::occup).toBool())
                continue;
            const bool texteImage = f.valeur(champ::textimage).toBool();
            fs::copierFichier(fichierPhoto(n), fs::joindre(acote, QStringLiteral("photo%1.jpg").arg(n)));
            if (texteImage)
                fs::copierFichier(fichierTexte(n), fs::joindre(acote, QStringLiteral("texte%1.rtf").arg(n)));
        }
        // The marker last: a folder without it is no saved page.
        const QString marque = fs::joindre(acote, perso::marqueur(jaq));
        if (jaq)
            fs::ecrireTexte(marque, QStringLiteral("ok"));
        else
            fs::ecrireFichier(marque, QByteArray());
        perso::permuter(acote, cible, &etat);
    } catch (const Erreur& err) {
        // Kept when the journal names it: it may then be the one whole copy of the page.
        if (etat.ancienEnPlace)
            perso::supprimerArbre(acote);
        // The hidden folder's files are the page's own to the user; one the disk did not confirm
        // is one more failure of the disk, the page not saved.
        QString d = fs::ecritureNonConfirmee(err) ? cible + QStringLiteral(" : ") + err.cause() + QLatin1Char('.')
                                                  : err.description();
        d.replace(acote, cible);
        throw Erreur(err.numero(), d, err.cause());
    } catch (...) {
        perso::supprimerArbre(acote);
        throw;
    }
    // The old saved page, now under the aside name; a part that cannot be removed stays hidden.
    perso::supprimerArbre(acote);
}

void PagesPerso::apresSauvegarde()
{
    EtatEditeur& e = x_.etat;
    if (e.ouvrirapres) {
        // The page just saved needs no question; it stays shown until the open has checked
        // the name it kept, and the open clears it then.
        e.enregavantconfig = true;
        if (ouvrirpage()) {
            e.nompage = x_.c.L_kalmorin.texte();
            x_.fenetre.setWindowTitle(QStringLiteral("Page ") + e.nompage);
        }
        x_.fenetre.definirPointeur(pointeur::Personnalise);
    } else if (e.quitterapres) {
        // The close that asked for the save: it now finds the page saved and goes on, to the
        // end of the program or to the other editor.
        if (x_.reprendreFermeture)
            x_.reprendreFermeture();
    } else if (!x_.jaquette()) {
        x_.fenetre.definirPointeur(pointeur::Personnalise);
    }
}

// --- Deleting

void PagesPerso::suppage()
{
    const QString nom = x_.c.L_kalmorin.texte();
    if (nom.isEmpty()) {
        MsgBox(QStringLiteral("Aucun nom désigné pour la suppression"), msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return;
    }
    if (!nomAccepte(nom))
        return;
    const QString dossier = dossierPage(nom);
    // Only a saved page of this editor's kind, directly in persopag, holding no folder.
    const perso::Contenu contenu = perso::examiner(dossier);
    if (!contenu.deSorte(x_.jaquette()) || contenu.sousDossier) {
        MsgBox(QStringLiteral("Cette page n'existe pas"), msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return;
    }
    // Moved aside in one step first, so that the page is gone whole or not at all.
    int echecSynchro = 0;
    bool resteSurLeDisque = false;
    try {
        const QString acote = perso::dossierAcote(dossierPerso(), QStringLiteral(".suppression-"));
        try {
            echecSynchro = perso::deplacer(dossier, acote);
        } catch (...) {
            perso::supprimerArbre(acote);
            throw;
        }
        // Left behind, the hidden folder is removed by the next start: the deletion is done.
        resteSurLeDisque = !perso::supprimerArbre(acote);
    } catch (const Erreur& err) {
        MsgBox(lignesMessage({QStringLiteral("La page ") + perso::nomAffichable(nom) + QStringLiteral(" n'a pas pu être supprimée:"),
                              err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return;
    }
    if (echecSynchro != 0 || resteSurLeDisque) {
        // The page is gone from the list; only the disk's confirmation is missing.
        MsgBox(lignesMessage({QStringLiteral("La page ") + perso::nomAffichable(nom) +
                                  QStringLiteral(" a été supprimée, mais le disque n'a pas confirmé l'écriture: elle "
                                                 "pourrait revenir après une coupure de courant."),
                              echecSynchro != 0 ? dossierPerso() + QStringLiteral(" : ") + texteErreurSysteme(echecSynchro)
                                                : QStringLiteral("Ses fichiers n'ont pas pu être effacés du disque; le "
                                                                 "prochain démarrage du programme les effacera.")}),
               msg::OK + msg::Exclamation, QStringLiteral("SUPPRESSION PAGE"));
    } else {
        MsgBox(QStringLiteral("La page ") + nom + QStringLiteral(" a été supprimée"), msg::OK + msg::Exclamation,
               QStringLiteral("SUPPRESSION PAGE"));
    }
    cacherPanneau();
}

}  // namespace kal
