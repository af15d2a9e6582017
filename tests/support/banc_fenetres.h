#pragma once
// What every window bench of the tests starts from: a temporary work folder, the message boxes
// answered and recorded, a simulated screen with its title bars, the shared settings as the start
// window leaves them, and a test printer of fixed sizes. The registry of windows starts empty
// and is emptied again at the end.
#include "support/dossiertemp.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"
#include "state/partage.h"

#include <QByteArray>
#include <QFile>
#include <QPageSize>

namespace kaltest {

// Hardware margins of the test printer on its portrait sheet, in twips: left, top, right, bottom.
inline QMarginsF margesEssai() { return QMarginsF(240, 180, 300, 420); }

struct BancFenetres {
    explicit BancFenetres(int largeurPx = 1024, int hauteurPx = 768, int orientation = kal::imp::Portrait,
                          const QMarginsF& marges = margesEssai())
        : imp(QPageSize(QPageSize::A4), marges, orientation)
    {
        kal::Programme::reinitialiser();
        kal::Fenetres::reinitialiser();
        kal::Ecran::simuler({largeurPx, hauteurPx, 15, 15});
        kal::Ecran::simulerBordsTitre(375);
        partage.sautligne = QStringLiteral("\r\n");
        partage.repdepart = dossier.chemin();
        // An admitted 800 x 600 screen is taken as exactly that.
        const bool ecran800 = largeurPx > 797 && largeurPx < 803;
        partage.largeurecranpx = ecran800 ? 800 : largeurPx;
        partage.hauteurecranpx = ecran800 ? 600 : hauteurPx;
    }
    ~BancFenetres()
    {
        kal::Fenetres::reinitialiser();
        kal::Programme::reinitialiser();
        kal::Ecran::reel();
    }
    BancFenetres(const BancFenetres&) = delete;
    BancFenetres& operator=(const BancFenetres&) = delete;

    DossierTravail dossier;
    kal::RepondeurEnregistreur repondeur;
    kal::ReglagesPartages partage;
    kal::ImprimanteEssai imp;
};

// The bytes of a file (empty when it cannot be read).
inline QByteArray octets(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace kaltest
