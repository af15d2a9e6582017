// Loading a text from an RTF file ("Charg Texte", page editor): the file chosen by the person is
// read into the composition box, measured in the font at its start and checked against the
// printable surface, width first; a text that fits becomes a new text-image as a typed one
// does. A refused text creates nothing and removes nothing: the object that was current stays
// with its record, files and text, and the box holds that text again. The jacket's companion
// initimagetexte puts the current text-image's text back into the box after an open.
#include "text/textes.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"
#include "platform/richtext/rtf.h"

#include <new>

namespace kal {

bool Textes::chargerTexte()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    const bool panneauAvant = c.F_compos.visible();
    e.typeobjet = QStringLiteral("textimage");
    pleinTexte_ = false;
    ouvrirtexte();
    if (annultexte_) {
        // Nothing was made: the panel is not opened over the current object, which keeps its
        // kind. A refusal at the object limit leaves the panel as it was.
        c.F_compos.definirVisible(false);
        annultexte_ = false;
        Ecran::definirPointeur(pointeur::Personnalise);
        retablirCourant(false);
        if (pleinTexte_)
            c.F_compos.definirVisible(panneauAvant);
        return false;
    }
    x_.autcontrol(false, true);
    e.typeobjet = QStringLiteral("textimage");
    x_.autcontrol(true, true);
    hauteurcompos();
    const size_t n = static_cast<size_t>(e.objetcourant);
    c.L_photo[n]->definirVisible(true);
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
    e.nomsobjets[n] = QStringLiteral("Texte-Image ") + QString::number(e.objetcourant);
    return true;
}

void Textes::ouvrirtexte()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    annultexte_ = false;
    if (x_.objets().refusPlein()) {
        annultexte_ = true;
        pleinTexte_ = true;
        return;
    }
    Ecran::definirPointeur(pointeur::Sablier);
    QString cause;
    try {
        U_dialog.optionsdialogue = 12;
        U_dialog.annulationerreur = true;
        U_dialog.filtre = QStringLiteral("Format RichText File RTF|*RTF*|");
        try {
            U_dialog.choixfichier();
        } catch (const Erreur& err) {
            if (err.numero() != dialogue::ErreurAnnulation)
                throw;
            annultexte_ = true;
            Ecran::definirPointeur(pointeur::Personnalise);
            return;
        }
        fichierchoisi_ = U_dialog.nomfichier;
        e.valeurformat = 15;
        chargementtexte(fichierchoisi_);
        if (annultexte_)
            return;
        totalpolice();
        c.F_compos.definirVisible(true);
        Ecran::definirPointeur(pointeur::Personnalise);
        return;
    } catch (const Erreur& err) {
        if (err.numero() == rtf::err::FormatIncorrect) {
            annultexte_ = true;
            Ecran::definirPointeur(pointeur::Personnalise);
            MsgBox(QStringLiteral("Ce format de fichier n'est pas autorisé"), msg::OK + msg::Exclamation,
                   QStringLiteral("FORMAT DE FICHIER INCORRECT"));
            return;
        }
        cause = err.cause() + QLatin1Char('.');
    } catch (const std::bad_alloc&) {
        cause = QStringLiteral("Mémoire insuffisante.");
    }
    // Any other failure: nothing was made, and the person is told why.
    annultexte_ = true;
    e.rechargementencours = false;
    e.majencours = false;
    try {
        rechargerTexteCourant();
    } catch (const Erreur&) {
        // The box could not take the current text-image's text back: that text is safe in its
        // texte<n>.svc, stored before the load, and the next rebuild reads it from there.
    }
    Ecran::definirPointeur(pointeur::Personnalise);
    MsgBox(lignesMessage({QStringLiteral("Le texte n'a pas pu être chargé:"), fichierchoisi_, cause}),
           msg::OK + msg::Exclamation, QStringLiteral("CHARGEMENT TEXTE"));
}

void Textes::chargementtexte(const QString& fichier)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    BoiteTexteRiche& t = c.T_compos;
    c.F_compos.definirVisible(false);
    // The object that was current is stored, its text with it, before the box takes the file.
    x_.objets().garderObjetCourant();
    Ecran::definirPointeur(pointeur::Sablier);
    t.chargertexte(fichier, 0);
    // The window measures in the font found at the start of the text.
    t.definirSelectiondebut(0);
    t.definirSelectionlongueur(1);
    fontfeuille();
    t.definirSelectiondebut(0);
    const QString texte = t.contenutexte();
    largeurtxt_ = largeurTexte(texte);
    hauteurtxt_ = hauteurTexte(texte);

    QString message, titre;
    if (Twips(largeurtxt_) > e.largeursurface) {
        message = lignesMessage({QStringLiteral("Texte trop large:"),
                                 QStringLiteral("vérifier que chaque ligne se termine par un caractère de saut de ligne")});
        titre = QStringLiteral("TEXTE TROP LARGE");
    } else if (Twips(hauteurtxt_) > e.hauteursurface) {
        message = QStringLiteral("Texte trop haut:");
        titre = QStringLiteral("TEXTE TROP HAUT");
    }
    if (!titre.isEmpty()) {
        Ecran::definirPointeur(pointeur::Personnalise);
        MsgBox(message, msg::OK + msg::Exclamation, titre);
        // The loaded text is dropped: the box holds the current text-image's text again (or
        // nothing), no object is made or removed.
        rechargerTexteCourant();
        c.F_compos.definirVisible(false);
        x_.autcontrol(false, false);
        annultexte_ = true;
        return;
    }
    fontfeuille();
    totalpolice();
    if (!chargtextimage(false)) {
        rechargerTexteCourant();
        annultexte_ = true;
        return;
    }
    c.F_compos.definirVisible(true);
    Ecran::definirPointeur(pointeur::Personnalise);
}

void Textes::initimagetexte()
{
    EtatEditeur& e = x_.etat;
    BoiteTexteRiche& t = x_.c.T_compos;
    const int n = e.objetcourant;
    const bool surLaFace = n >= e.fincote - 16 && n < e.fincote;
    bool texte = false, present = false;
    if (surLaFace) {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        bd::JeuEnregistrements& f = fiches.trouver(n);
        present = f.valeur(champ::occup).toBool();
        texte = present && f.valeur(champ::textimage).toBool();
        if (texte) {
            t.chargertexte(fichierTexte(n), 0);
            t.definirFondtexte(f.valeur(champ::backcolor).toInt());
        }
    }
    if (!texte) {
        // A photo, or no object on the face shown: the box stays as it was.
        x_.autcontrol(present, false);
        return;
    }
    e.tabobjets[static_cast<size_t>(n)][col::Lignes] = compterLignes(t.contenutexte());
    fonttextimage();
    fontfeuille();
    sauvpolice();
    hauteurcompos();
    e.typeobjet = QStringLiteral("textimage");
    // The composer is shown with its text-image, as every rebuild shows it.
    x_.autcontrol(true, true);
    focustexte();
}

}  // namespace kal
