#include "platform/base/panne.h"

#include <mutex>

namespace kal::panne {

namespace detail {
std::atomic<int> actif{0};
}  // namespace detail

namespace {
std::mutex verrou;
bool comptant = false;
long numero = 0;         // operations counted since armer() or compter()
long echecA = 0;         // the operation that fails; 0: none
bool echecDepuis = false;
int erreur = 0;
std::vector<QString> faites;
bool sansEchange = false;

// Under the lock: the fast path of verifier() sees whether anything is to be done.
void publier() { detail::actif.store(comptant || sansEchange ? 1 : 0, std::memory_order_relaxed); }
}  // namespace

void armer(long n, bool depuis, int err)
{
    std::lock_guard l(verrou);
    comptant = true;
    numero = 0;
    echecA = n;
    echecDepuis = depuis;
    erreur = err;
    faites.clear();
    publier();
}

void compter() { armer(0, false, 0); }

void desarmer()
{
    std::lock_guard l(verrou);
    comptant = false;
    echecA = 0;
    publier();
}

long compte()
{
    std::lock_guard l(verrou);
    return numero;
}

std::vector<QString> operations()
{
    std::lock_guard l(verrou);
    return faites;
}

void refuserEchange(bool refuser)
{
    std::lock_guard l(verrou);
    sansEchange = refuser;
    publier();
}

bool echangeRefuse()
{
    if (detail::actif.load(std::memory_order_relaxed) == 0)
        return false;
    std::lock_guard l(verrou);
    return sansEchange;
}

namespace detail {

int verifierArme(const char* quoi, const QString& chemin)
{
    std::lock_guard l(verrou);
    if (!comptant)
        return 0;
    ++numero;
    faites.push_back(QLatin1String(quoi) + QLatin1Char(' ') + chemin);
    if (echecA > 0 && (numero == echecA || (echecDepuis && numero > echecA)))
        return erreur;
    return 0;
}

}  // namespace detail

}  // namespace kal::panne
