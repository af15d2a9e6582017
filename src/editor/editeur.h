#pragma once
// The editor window. One class serves as the page editor IMPRIMER (16 objects on one sheet of
// the current printer) and as the jacket editor JAQUETTE (32 objects on the two faces of a CD
// jacket printed on A4 portrait); the differences are explicit branches on the editor's type.
// The window builds its context and components and asks each to wire itself; it keeps its
// load, unload and close, the function-list dispatch, and the hover captions.
#include "editor/contexteediteur.h"
#include "platform/base/fenetres.h"
#include "platform/base/verroudossier.h"

#include <QString>

namespace kal {

class Editeur : public Fenetre {
    Q_OBJECT
public:
    // The printer is the program's printer unless another is given (tests).
    Editeur(ReglagesPartages& partage, TypeEditeur type, Imprimante* imp = nullptr);
    ~Editeur() override;

    static QString nomFenetre(TypeEditeur t);   // "IMPRIMER" or "JAQUETTE"

    ControlesEditeur c;
    ContexteEditeur x;

    // The function list: its entries, and its click handler.
    void listefonction();
    void L_fonction_Click();

    // The quit button: writes the settings file, deletes the work files, ends the program.
    void B_finimprim_Click() { fermerapp(SuiteFermeture::FinProgramme); }
    // The close: the save offer, the settings file, the work files, the folder of the load; then
    // the end of the program, or (AutreEditeur) this window unloaded and the other editor opened
    // while the program goes on. A close that waits for a save keeps `suite` for it.
    void fermerapp(SuiteFermeture suite);

protected:
    void chargement() override;
    bool dechargement() override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    bool refuse_ = false;   // the load was refused: the unload has nothing to undo
    VerrouDossier verrou_;  // the work folder, for this copy of the program alone
    // Takes the work folder's lock; false, once the user is told, when another copy holds it.
    bool prendreDossier();
    void chargerEtapes();
    // After a load that stopped: every control but QUITTER is disabled, for the objects, records
    // and settings they would act on were never set up.
    void bloquerSaufQuitter();
    void lireReglages();
    void brancher();
    void brancherSurvol();
};

}  // namespace kal
