#pragma once
// What the photo-open and save-as panels need of the window that shows them. The editors and
// the workbench each give a panel this small context and take its result through a callback,
// so that a panel knows nothing of the window it serves.
#include "state/partage.h"

#include <QString>
#include <QWidget>
#include <functional>

namespace kal {

struct ContextePanneau {
    QWidget* fenetre = nullptr;   // the window the panel stands in
    ReglagesPartages* partage = nullptr;
    // The chosen file (full path), or an empty text when the panel was left without a choice.
    std::function<void(const QString& chemin)> resultat;
};

}  // namespace kal
