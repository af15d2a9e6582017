#pragma once
// The documentation window DOC: the manual kalmorin.rtf of the current folder, opened at the
// chapter that the section key names, with chapter search, cross-references and return.
//
// The manual's conventions: a heading is its number (digits and full stops ending with a full
// stop), one blank and its title, the whole line underlined with its paragraph mark; the
// summary heading is "SOMMAIRE"; a cross-reference is light red text holding the number of
// the heading it leads to, followed by a blank.
#include "platform/base/fenetres.h"
#include "platform/controls/controles.h"
#include "platform/richtext/boitetexteriche.h"
#include "state/partage.h"

class QShowEvent;

namespace kal {

class Documentation : public Fenetre {
    Q_OBJECT
public:
    explicit Documentation(ReglagesPartages& partage);

    static const QString NomManuel;    // "kalmorin.rtf"
    static constexpr int RougeClair = 0x0000FF;   // colour 12 of the 16-colour palette
    static constexpr int LargeurBouton = 2715;
    static constexpr int HauteurBouton = 390;

    BoiteTexteRiche T_doc;
    Bouton B_debut;
    Bouton B_sommaire;
    Bouton B_retour;
    Bouton B_fin;

    // The heading number of the return point: the chapter in which the last followed
    // cross-reference stood.
    QString rubriqueretour;

    // Reloads the manual and goes to the section of `rubriquedoc`.
    void activation() override;
    // Puts the caret on the heading's second character, the heading's line at the top.
    void rechrubrique(const QString& rubrique);
    // Records the return point from the caret's position; false when the walk reached the
    // start or the end of the text and gave up like the search (caret at the start).
    bool rechexrub();

    void B_debut_Click();
    void B_sommaire_Click();
    void B_retour_Click();
    void B_fin_Click();
    void T_doc_Click();

protected:
    void chargement() override;

private:
    ReglagesPartages& partage_;

    // The manual's plain text during one walk through it.
    QString texte_;
    void rechexrubPas();
    QString lire(int position, int longueur = 1);
    bool souligne(int position);
    int reculer(int position) const;
    int avancer(int position) const;
    void abandon();
    void caretEnHaut();
};

}  // namespace kal
