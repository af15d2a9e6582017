#pragma once
// Page and jacket files as the editors use them: the photo-open panel and its entry
// "Charg Image", and the page editor's save-as panel.
#include "editor/contexteediteur.h"
#include "pagefiles/enregistrement.h"
#include "pagefiles/ouverture.h"

#include <memory>

namespace kal {

class PagesPerso;   // Personal pages

class FichiersPages {
public:
    explicit FichiersPages(ContexteEditeur& ctx);
    ~FichiersPages();

    // The entry "Charg Image" and the panel's results.
    void brancher();

    // "Charg Image": the open panel over the hidden page preview, or the refusal at 16 objects.
    bool chargimage();
    // The panel's results: a picture chosen, or the panel left.
    void photoChoisie(ControleImage& apercu, const QString& chemin);
    void ouvertureAnnulee();

    PanneauOuverture& panneauOuverture();
    // The save-as panel, made on first use; its quality slider and save buttons go to the
    // imaging component's save (Imagerie::enregphoto and the handlers it opens the panel for).
    PanneauEnregistrement& panneauEnregistrement();

private:
    ContexteEditeur& x_;
    std::unique_ptr<PanneauOuverture> ouverture_;
    std::unique_ptr<PanneauEnregistrement> enregistrement_;
    // What the entry changed, put back when the panel is left without a choice.
    QString typeAvant_;

    // Personal pages
public:
    // The pages panel and the personal pages and jackets of persopag (pagesperso.h): the save,
    // the open, the delete, the jacket upgrade, the text a saved page's photo brings along.
    PagesPerso& pagesPerso();

private:
    std::unique_ptr<PagesPerso> pagesPerso_;
};

}  // namespace kal
