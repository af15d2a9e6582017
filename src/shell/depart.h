#pragma once
// The start window: checks the screen, writes the identification file, prepares the
// personal-pages folder and moves old personal pages into it, then offers the program's
// function list.
#include "platform/base/fenetres.h"
#include "editor/etatediteur.h"
#include "platform/controls/controles.h"
#include "state/partage.h"

namespace kal {

class Depart : public Fenetre {
    Q_OBJECT
public:
    // ancienDossier: the fixed folder where personal pages were kept before they moved into
    // the work folder's persopag (by default the folder "kalmorin" of the user's home).
    explicit Depart(ReglagesPartages& partage, const QString& ancienDossier = ancienDossierParDefaut());

    static QString ancienDossierParDefaut();
    // The identification text written to VORDEX.TXT.
    static QString texteIdentification();

    Liste L_fonction;

    void identauteur();
    void transfpage();
    // Removes the leftovers of writes a previous run was stopped in (exact names only).
    void nettoyerRestes();
    void L_fonction_Click();
    // Shows the editor of that type. The two editors work on the same database and work files:
    // with the other one open, the user is asked whether to close it (its close, save offer
    // included; the program goes on) and the chosen editor then opens in its place.
    void ouvrirEditeur(TypeEditeur type);

protected:
    void chargement() override;
    // A window manager frames the shown window: its title bar and borders are measured then.
    bool event(QEvent* e) override;

private:
    ReglagesPartages& partage_;
    QString ancienDossier_;
    bool controleEcran();
    void mesurerCadre();
};

}  // namespace kal
