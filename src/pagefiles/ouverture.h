#pragma once
// The photo-open panel F_ouvrir ("CHARGER PHOTO"): a drive list, a folder list, the names of
// the files of one format in four columns of 16 paged by a slider, the format list, a preview
// with its information line, and a cancel button. Pointing at a name previews that file;
// releasing a mouse button over the list hands the previewed picture to the window.
//
// Names are shown as the design has them (lower case, cut before their first "."), but the file
// previewed and loaded is always the real one beside it in the hidden file list.
#include "pagefiles/panneau.h"
#include "platform/controls/controles.h"
#include "platform/controls/listecolonnes.h"
#include "platform/controls/listederoulante.h"
#include "platform/controls/listesfichiers.h"
#include "platform/imaging/controleimage.h"

#include <functional>

namespace kal {

class PanneauOuverture {
public:
    // `avecIcones`: the format list offers icons (the page editor); `relisterSurChangement`: the
    // format box lists again when its text is edited (the jacket), not only on a pick.
    PanneauOuverture(QWidget* parent, ContextePanneau contexte, bool avecIcones, bool relisterSurChangement);

    Cadre F_ouvrir;
    ListeLecteurs R_lectouvrir;
    ListeDossiers R_repouvrir;
    ListeColonnes L_fichouvrir;
    Curseur A_fichouvrir;
    ListeDeroulante L_formouvrir;
    ControleImage L_ouvfich;
    Etiquette E_info;
    ListeFichiers R_fichouvrir;
    Bouton B_annulouvfich;

    QString repphoto;        // folder the panel opens in (empty: the work folder)
    QString lecteurouvrir;   // drive of the drive list when it last read well
    QString cheminfichier;   // folder of the pointed file, ending with "/"
    QString fichierouvrir;   // full path of the file last previewed
    QString nomsurvole;      // name last previewed; empty once the pointer left the names

    // A release over a previewed name: the preview control and the real file's path. The
    // panel has closed and the work folder is current again when it runs.
    std::function<void(ControleImage& apercu, const QString& chemin)> surChoix;
    // The panel closed by its cancel button.
    std::function<void()> surAnnulation;
    // A release with no readable name to take. When set, it runs in place of the editors' beep
    // and "NOM DE FICHIER ABSENT" message (the workbench has its own); the panel stays open.
    std::function<void()> surNomAbsent;

    // Opens the panel (the caller has checked the object limit) and lists the files.
    void ouvrirphoto();
    void listefichouvrir();
    void infoouvrir();

    void L_fichouvrir_MouseMove(int bouton, int maj, int x, int y);
    void L_fichouvrir_MouseUp(int bouton, int maj, int x, int y);
    void A_fichouvrir_Change();
    void L_formouvrir_Click();
    void L_formouvrir_Change();
    void R_lectouvrir_Change();
    void R_repouvrir_Click();
    void B_annulouvfich_Click();

    // The extension of the chosen format: the format box's last three characters.
    QString extension() const { return L_formouvrir.texte().right(3); }

private:
    ContextePanneau x_;
    bool avecIcones_, relisterSurChangement_;
    bool listage_ = false;          // a listing is under way: the slider's pull does not list again
    bool retourLecteur_ = false;    // the drive list is being set back after a failed change
    int premierNom_ = 0;            // file number of the first name shown
    bool apercuLisible_ = false;    // the previewed file could be read
    QString raisonIllisible_;       // why the file pointed at could not be read
    void fermer();
};

}  // namespace kal
