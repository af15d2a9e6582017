#pragma once
// Text objects as the editors use them: the composition panel and its buttons.
#include "editor/contexteediteur.h"

namespace kal {

class Textes {
public:
    explicit Textes(ContexteEditeur& ctx) : x_(ctx) {}

    // The composition panel's controls have no handlers of their own yet.
    void brancher() {}

private:
    [[maybe_unused]] ContexteEditeur& x_;
};

}  // namespace kal
