#include "platform/scanner/bibliothequesane.h"

#include "platform/base/bibliotheque.h"

#include <stdexcept>

namespace kal::sane {

namespace {

struct Chargement {
    Fonctions f{};
    bool ok = false;
    const char* raison = nullptr;

    Chargement()
    {
        Bibliotheque b(KAL_SONAME_SANE);
        if (!b.ouverte()) {
            raison = KAL_SONAME_SANE " introuvable";
            return;
        }
        auto prendre = [&](auto& p, const char* nom) { b.prendre(p, nom); };
        prendre(f.init, "sane_init");
        prendre(f.exit, "sane_exit");
        prendre(f.get_devices, "sane_get_devices");
        prendre(f.open, "sane_open");
        prendre(f.close, "sane_close");
        prendre(f.get_option_descriptor, "sane_get_option_descriptor");
        prendre(f.control_option, "sane_control_option");
        prendre(f.get_parameters, "sane_get_parameters");
        prendre(f.start, "sane_start");
        prendre(f.read, "sane_read");
        prendre(f.cancel, "sane_cancel");
        prendre(f.strstatus, "sane_strstatus");
        ok = b.complete();
        if (!ok)
            raison = KAL_SONAME_SANE " incomplète";
    }
};

const Chargement& chargement()
{
    static const Chargement c;
    return c;
}

}  // namespace

const Fonctions* charger(const char** raison)
{
    const Chargement& c = chargement();
    if (raison)
        *raison = c.raison;
    return c.ok ? &c.f : nullptr;
}

const Fonctions& f()
{
    const Fonctions* p = charger();
    if (!p)
        throw std::logic_error("the scanner library is used before it was loaded");
    return *p;
}

}  // namespace kal::sane
