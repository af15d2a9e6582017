#pragma once
// The number of the error a step raises (0 when it raises none).
#include "platform/base/erreur.h"

#include <functional>

namespace kaltest {

inline int numeroErreur(const std::function<void()>& f)
{
    try {
        f();
    } catch (const kal::Erreur& e) {
        return e.numero();
    }
    return 0;
}

}  // namespace kaltest
