#include "platform/controls/bip.h"

#include <QApplication>

namespace kal {

static CompteurBips* g_compteur = nullptr;

CompteurBips::CompteurBips() : precedent_(g_compteur) { g_compteur = this; }

CompteurBips::~CompteurBips() { g_compteur = precedent_; }

void bip()
{
    if (g_compteur)
        ++g_compteur->nombre_;
    else
        QApplication::beep();
}

}  // namespace kal
