#pragma once
// Printing as the editors use it: the entries "Configurer imprimante" and "Imprimer", the end
// of a printer set-up with the page-settings record, the jacket's function options and the
// fold marks on the jacket's previews.
#include "editor/contexteediteur.h"

#include <memory>
#include <vector>

namespace kal {

class Impression {
public:
    explicit Impression(ContexteEditeur& ctx);
    ~Impression();

    // The jacket's function options and the printing entries of the function list.
    void brancher();

    // Completes a pending printer set-up and, on the page, records the printer's settings in
    // the page-settings record.
    void finconfig();
    // Jacket: fold marks on the face previews and the face outlines.
    void pliage();

    // The entries of the function list; false when the entry stops early.
    bool configurerimprimante();
    bool imprimer();

    // Jacket: choosing "Composer" takes back the choice of printing both faces.
    void O_compos_Click();

private:
    ContexteEditeur& x_;
    std::vector<std::unique_ptr<Trait>> plis_;
    bool imprimerJaquette();
};

}  // namespace kal
