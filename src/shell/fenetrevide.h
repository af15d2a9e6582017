#pragma once
// A window that is not built yet: it opens with its caption and nothing else.
#include "platform/base/fenetres.h"

namespace kal {

class FenetreVide : public Fenetre {
    Q_OBJECT
public:
    FenetreVide(const QString& nom, const QString& legende);
};

}  // namespace kal
