#pragma once
// The scanner library, loaded the first time a scanner is looked for rather than with the program:
// its backends bring dozens of libraries of their own that a start without a scanner need not map.
#include <sane/sane.h>

namespace kal::sane {

// The library's entry points, taken from it once loaded.
struct Fonctions {
    decltype(&::sane_init) init;
    decltype(&::sane_exit) exit;
    decltype(&::sane_get_devices) get_devices;
    decltype(&::sane_open) open;
    decltype(&::sane_close) close;
    decltype(&::sane_get_option_descriptor) get_option_descriptor;
    decltype(&::sane_control_option) control_option;
    decltype(&::sane_get_parameters) get_parameters;
    decltype(&::sane_start) start;
    decltype(&::sane_read) read;
    decltype(&::sane_cancel) cancel;
    decltype(&::sane_strstatus) strstatus;
};

// The library, loaded on the first call (the later calls give the same); null when it cannot be
// loaded, with the reason in *raison.
const Fonctions* charger(const char** raison = nullptr);

// The library once charger has succeeded.
const Fonctions& f();

}  // namespace kal::sane
