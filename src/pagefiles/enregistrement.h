#pragma once
// The save-as panel F_enreg ("ENREGISTRER SOUS") of the page editor: a drive list, a folder
// list, the name box with the names already in the folder, the format list, the quality group
// (caption, value and size, slider, "COMPRESSER"), "ENREGISTRER", "QUITTER", and a preview of
// the picture with its information line.
//
// The panel lists and shows; what its quality slider and its two save buttons do belongs to
// the window's imaging (the compression preview and the save), which the panel reaches only
// through the callbacks below, so that it knows nothing of the window it serves.
#include "pagefiles/panneau.h"
#include "platform/controls/controles.h"
#include "platform/controls/listederoulante.h"
#include "platform/controls/listesfichiers.h"
#include "platform/controls/saisie.h"
#include "platform/imaging/controleimage.h"

#include <functional>

namespace kal {

// The name box L_fichier: a simple combo box, its text over the list of names, always shown.
// Typing in the text (or code setting another text) runs Change; picking a name from the list
// puts it in the text without running Change.
class BoiteNoms {
public:
    explicit BoiteNoms(QWidget* parent);
    void placer(int gauche, int haut, int largeur, int hauteur);
    void definirCouleurFond(int bgr);

    QString texte() const { return saisie.texte(); }
    void definirTexte(const QString& t) { saisie.definirTexte(t); }
    // The list of names; emptying it leaves the text as it is.
    void ajouter(const QString& nom) { liste.ajouter(nom); }
    void viderListe() { liste.vider(); }
    int nombre() const { return liste.nombre(); }
    QString entree(int i) const { return liste.entree(i); }

    std::function<void()> surChangement;
    // A pick of name i that the panel refuses (true) leaves the text as it was.
    std::function<bool(int i)> refuserChoix;

    Saisie saisie;
    Liste liste;

private:
    bool choix_ = false;   // a name picked from the list is being put in the text
};

class PanneauEnregistrement {
public:
    PanneauEnregistrement(QWidget* parent, ContextePanneau contexte);

    Cadre F_enreg;
    ListeLecteurs R_lecteur;
    ListeDossiers R_repertoire;
    BoiteNoms L_fichier;
    Etiquette E_qualite;
    Etiquette E_compression;
    Curseur A_compress;
    Bouton B_okcompress;
    Bouton B_okenreg;
    Bouton B_quitter;
    ListeDeroulante L_formenreg;
    ControleImage L_enreg;
    Etiquette E_infenreg;
    ListeFichiers R_fichier;

    QString lecteurenreg;    // drive of the drive list when it last read well
    QString cheminfichier;   // folder of the last save, ending with "/"

    // The formats offered, in their order; a format is known by the last three characters of
    // its entry. Positions 0 and 1 (JPG, CMP) are the compressed formats.
    static const QStringList& formats();
    static bool formatCompresse(int position) { return position == 0 || position == 1; }

    // The save's side, given by the window:
    // the enabling rule of the quality group and of "ENREGISTRER", as a format is picked or a
    // name typed (the quality group on or off, "ENREGISTRER" on or off);
    std::function<void(bool qualite, bool enregistrement)> surCompression;
    // the quality slider's Change and Scroll, "COMPRESSER" and "ENREGISTRER";
    std::function<void()> surQualite;
    std::function<void()> surDefilementQualite;
    std::function<void()> surCompresser;
    std::function<void()> surEnregistrer;
    // the panel closed (saved or left): the window shows its page again.
    std::function<void()> surFermeture;

    // The preview of the picture to save and its information line: colour kind, size in pixels
    // and the size in bytes of the picture held.
    void infoenreg(const ControleImage& photo);
    // Opens the panel: the folder list read again (it keeps its folder from one opening to the
    // next), the formats listed with the first picked, the panel shown. The name list keeps
    // what it last listed.
    void ouvrir();
    // The names of the chosen format's files in the folder, cut before their first ".".
    void listefichier();
    // Hides the panel and tells the window (surFermeture).
    void fermer();

    void L_fichier_Change();
    void L_formenreg_Click();
    void R_lecteur_Change();
    void R_repertoire_Click();
    void B_quitter_Click();

    // The chosen format: the last three characters of the format box, and its position (-1 for
    // a text typed that is no entry).
    QString extension() const { return L_formenreg.texte().right(3); }
    int position() const { return L_formenreg.indexCourant(); }

private:
    ContextePanneau x_;
    bool retourLecteur_ = false;   // the drive list is being set back after a failed change
};

}  // namespace kal
