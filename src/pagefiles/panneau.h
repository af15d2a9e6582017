#pragma once
// What the photo-open and save-as panels need of the window that shows them. The editors and
// the workbench each give a panel this small context and take its result through callbacks,
// so that a panel knows nothing of the window it serves.
#include "state/partage.h"

#include <QString>
#include <QWidget>

namespace kal {

struct ContextePanneau {
    QWidget* fenetre = nullptr;             // the window the panel stands in
    ReglagesPartages* partage = nullptr;    // the display gamma
    QString dossierTravail;                 // made current again when the panel closes
};

}  // namespace kal
