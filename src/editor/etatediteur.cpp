#include "editor/etatediteur.h"

namespace kal {

EtatEditeur::EtatEditeur(TypeEditeur t) : type(t)
{
    const int n = nbEmplacements();
    nomsobjets.resize(static_cast<size_t>(n));
    tabobjets.assign(static_cast<size_t>(n), std::array<double, col::Nombre>{});
}

}  // namespace kal
