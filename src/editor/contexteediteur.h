#pragma once
// The editor context: everything one editor window works on, handed by reference to each of
// its components (objects, layout, imaging, printing, text, page files). The page editor and
// the jacket editor are the same window class; `etat.type` says which one a context belongs
// to, and the jacket's differences are explicit branches in the shared procedures.
#include "editor/etatediteur.h"
#include "imaging/chainereglages.h"
#include "pagemodel/fiche.h"
#include "platform/controls/controles.h"
#include "platform/controls/listederoulante.h"
#include "platform/database/basedonnees.h"
#include "platform/imaging/controleimage.h"
#include "platform/richtext/boitetexteriche.h"
#include "state/partage.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace kal {

class Imprimante;
class Fenetre;

// The controls of an editor window, under their names. Controls of one editor only exist in
// both and stay hidden in the other (see ControlesEditeur::ControlesEditeur).
struct ControlesEditeur {
    ControlesEditeur(QWidget* fenetre, TypeEditeur type);
    ControlesEditeur(const ControlesEditeur&) = delete;
    ControlesEditeur& operator=(const ControlesEditeur&) = delete;

    QWidget* fenetre;

    // The band at the bottom of the window
    Bouton B_finimprim;
    Liste L_fonction;
    Etiquette E_margeH, E_margeV, E_format, E_gamma;
    Curseur A_margeH, A_margeV, A_format, A_gamma;
    CaseACocher C_decoupe;
    Bouton B_annuldecoupe, B_centre;
    CaseACocher C_cadre;
    Etiquette E_angle;
    Curseur A_angle;
    Bouton B_annulangle, B_initimage;
    Etiquette E_intensite, E_contraste, E_couleur, E_saturation, E_nettete;
    Curseur A_intensite, A_contraste, A_couleur, A_saturation, A_nettete;
    Bouton B_initreglage;
    // The caption of an adjustment's label as the page editor is designed ("Contraste=0").
    static QString legendeConcue(Reglage r);
    // Indicator line above the band
    Etiquette E_surface, E_nominal, E_maximum;
    CaseACocher C_image;

    // Pages panel (top right on the page, top left on the jacket)
    Cadre F_page;
    QString R_kalmorin;      // folder that the saved-pages folder list shows

    // Resize panel: the target length of the picture's longer side, applied by APPLIQUER; the
    // resized picture waits in L_redim, which is never shown
    Cadre F_redim;
    Etiquette E_redim;
    Curseur A_redim;
    Bouton B_finredim;
    ControleImage L_redim;

    // Composer panel: the rich-text box wraps its lines where the printer will (largeurtexte)
    Cadre F_compos;
    BoiteTexteRiche T_compos;
    Bouton B_couleur, B_police;

    // Preview page; R_imprim outlines the page's printable area on it, R_apercu the jacket's
    BoiteImage P_page;
    BoiteImage R_imprim;
    BoiteImage R_apercu;

    // Jacket: function and face frames with their options, the face outlines and previews
    // (the outlines L_jaq and the preview images L_apjaq are imaging controls)
    Cadre F_fonction;
    BoutonOption O_compos, O_imprim;
    Cadre F_jaq;
    BoutonOption O_avant, O_arriere, O_tout;
    std::array<std::unique_ptr<ControleImage>, 32> L_jaq;   // elements 0 and 16 only
    std::array<std::unique_ptr<BoiteImage>, 32> P_apjaq;    // elements 0 and 16 only
    std::vector<std::unique_ptr<ControleImage>> L_apjaq;    // jacket: 32, in the face previews

    // Objects: L_photo (page: element 16 permanent, 0-15 made as objects come; jacket: 32),
    // thumbnails L_miniat (element 0 with the window, the others made at load), work copies;
    // all imaging controls
    std::vector<std::unique_ptr<ControleImage>> L_photo;
    std::vector<std::unique_ptr<ControleImage>> L_miniat;
    ControleImage L_sauvder, L_sauvtot;

    // Pages panel: its controls
    // The name worked on, typed or picked from the saved pages of the editor's kind; the three
    // operations (open, save, delete); OK runs the one chosen, QUITTER hides the panel.
    ListeDeroulante L_kalmorin;
    BoutonOption O_ouvrir, O_ajout, O_supp;
    Bouton B_okouvrir, B_annulsauv;
};

class ModeleObjets;
class Disposition;
class Imagerie;
class Impression;
class Textes;
class FichiersPages;

// One editor's context: its controls, state, data sources and printer, its function-list
// commands, and every component of the editor. A procedure of one subsystem calls another
// subsystem's procedure through it, by name: x.imagerie().chargephoto(n).
struct ContexteEditeur {
    ContexteEditeur(ReglagesPartages& p, TypeEditeur t, ControlesEditeur& ctl, Imprimante& imp, Fenetre& f);
    ~ContexteEditeur();
    ContexteEditeur(const ContexteEditeur&) = delete;
    ContexteEditeur& operator=(const ContexteEditeur&) = delete;

    ReglagesPartages& partage;
    EtatEditeur etat;
    ControlesEditeur& c;
    Imprimante& imprimante;
    Fenetre& fenetre;
    bd::SourceDonnees D_image;
    bd::SourceDonnees D_page;

    bool jaquette() const { return etat.estJaquette(); }
    // The object records through D_image.
    Fiches fiches() { return Fiches(D_image); }

    // The components, one per subsystem folder.
    ModeleObjets& objets() const { return *objets_; }
    Disposition& disposition() const { return *disposition_; }
    Imagerie& imagerie() const { return *imagerie_; }
    Impression& impression() const { return *impression_; }
    Textes& textes() const { return *textes_; }
    FichiersPages& fichierspages() const { return *fichierspages_; }

    // Function-list entries: a command returns false when it stops early, which leaves its
    // entry selected. Entries without a command only clear the selection.
    using Commande = std::function<bool()>;
    void enregistrerCommande(const QString& entree, Commande commande);
    const Commande* commande(const QString& entree) const;

    // Each component wires its controls and registers its entries (once, by the window).
    void brancher();

    // The window's close procedure, taken up again by the save it asked for, with what was to
    // follow it (etat.suitefermeture).
    std::function<void()> reprendreFermeture;

    // Enables the editing controls in two groups and shows or hides the composer.
    void autcontrol(bool objet, bool texte);
    // Hover captions: the caption goes back to the page's name, no object counts as hovered.
    void survolHorsObjet();
    QString legendePage() const;

private:
    std::unique_ptr<ModeleObjets> objets_;
    std::unique_ptr<Disposition> disposition_;
    std::unique_ptr<Imagerie> imagerie_;
    std::unique_ptr<Impression> impression_;
    std::unique_ptr<Textes> textes_;
    std::unique_ptr<FichiersPages> fichierspages_;
    std::map<QString, Commande> commandes_;
};

}  // namespace kal
