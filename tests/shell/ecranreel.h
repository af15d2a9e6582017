#pragma once
// The program on a real X display, as a user starts it: with a window manager framing the
// windows (openbox) and without one. Run by tests/support/sous-x11, which says in
// KAL_GESTIONNAIRE which of the two this is. The fixture starts the program in a work folder of
// its own, with the editors on a test printer of fixed sizes.
#include "editor/editeur.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"
#include "shell/application.h"
#include "shell/depart.h"
#include "support/dossiertemp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPageSize>
#include <QThread>
#include <gtest/gtest.h>

namespace kaltest {

inline bool avecGestionnaire() { return !qEnvironmentVariableIsEmpty("KAL_GESTIONNAIRE"); }

// Lets the display and the window manager do their work for a while, or until `fini` holds.
template <class F>
bool attendre(int ms, F fini)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (fini())
            return true;
        QThread::msleep(10);
    }
    return fini();
}
inline void attendre(int ms)
{
    attendre(ms, [] { return false; });
}

class EcranReel : public ::testing::Test {
protected:
    DossierTravail dossier;
    kal::RepondeurEnregistreur repondeur;
    kal::ReglagesPartages partage;
    kal::ImprimanteEssai imp{QPageSize(QPageSize::A4), QMarginsF(240, 180, 300, 420)};
    kal::Depart* depart = nullptr;

    void SetUp() override
    {
        kal::Programme::reinitialiser();
        kal::Fenetres::reinitialiser();
        kal::OptionsProgramme opt;
        opt.ancienDossier = dossier.fichier(QStringLiteral("ancien-inexistant"));
        ASSERT_TRUE(kal::demarrerProgramme(partage, opt));
        for (kal::TypeEditeur t : {kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette})
            kal::Fenetres::enregistrer(kal::Editeur::nomFenetre(t), [this, t] { return new kal::Editeur(partage, t, &imp); });
        depart = static_cast<kal::Depart*>(kal::Fenetres::siChargee(QStringLiteral("DEPART")));
        ASSERT_NE(depart, nullptr);
        // Shown and, under a window manager, framed.
        attendre(3000, [this] {
            return depart->isVisible() &&
                   (!avecGestionnaire() || depart->frameGeometry().height() > depart->geometry().height());
        });
        attendre(100);
    }
    void TearDown() override
    {
        kal::Fenetres::reinitialiser();
        kal::Programme::reinitialiser();
        kal::Ecran::reel();
    }
};

}  // namespace kaltest
