#pragma once
// Page and jacket files as the editors use them: personal pages and jackets, and the panels.
#include "editor/contexteediteur.h"

namespace kal {

class FichiersPages {
public:
    explicit FichiersPages(ContexteEditeur& ctx) : x_(ctx) {}

    // The pages panel's controls have no handlers of their own yet.
    void brancher() {}

private:
    [[maybe_unused]] ContexteEditeur& x_;
};

}  // namespace kal
