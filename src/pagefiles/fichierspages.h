#pragma once
// Page and jacket files as the editors use them: the photo-open panel and its entry
// "Charg Image".
#include "editor/contexteediteur.h"
#include "pagefiles/ouverture.h"

#include <memory>

namespace kal {

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

private:
    ContexteEditeur& x_;
    std::unique_ptr<PanneauOuverture> ouverture_;
    // What the entry changed, put back when the panel is left without a choice.
    QString typeAvant_;
};

}  // namespace kal
