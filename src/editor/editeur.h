#pragma once
// The editor window. One class serves as the page editor IMPRIMER (16 objects on one sheet of
// the current printer) and as the jacket editor JAQUETTE (32 objects on the two faces of a CD
// jacket printed on A4 portrait); the differences are explicit branches on the editor's type.
#include "state/contexteediteur.h"
#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/fenetres.h"

#include <QString>
#include <functional>
#include <map>

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
    ModeleObjets objets;
    Disposition disposition;

    // Enables the editing controls in two groups and shows or hides the composer.
    void autcontrol(bool objet, bool texte);
    // The caption goes back to the page's name and no object counts as hovered.
    void survolHorsObjet();
    QString legendePage() const;

    // The function list: its entries, and its click handler.
    void listefonction();
    void L_fonction_Click();
    // Commands of the list by entry; a command returns false when it stops early, which
    // leaves its entry selected. Entries without a command only clear the selection.
    std::map<QString, std::function<bool()>> commandes;

    // The quit button: writes the settings file, deletes the work files, ends the program.
    void fermerapp();
    // Completes a pending printer set-up and, on the page, records the printer's settings.
    void finconfig();
    // Jacket: fold marks on the face previews and the face outlines.
    void pliage();

    // Work files of object n in the current folder.
    static QStringList fichierstravail(int n);

protected:
    void chargement() override;
    bool dechargement() override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    bool refuse_ = false;   // the load was refused: the unload has nothing to undo
    void chargerEtapes();
    void brancherSurvol();
    void brancherCommandes();
    void effacerPage();
    bool imprimerJaquette();
};

}  // namespace kal
