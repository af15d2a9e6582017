#pragma once
// One-line text entry.
#include "platform/controls/controle.h"

#include <QLineEdit>

namespace kal {

// One-line text entry: Change fires at once when the text changes, by the user or by code.
class Saisie : public Controle {
public:
    explicit Saisie(QWidget* parent);
    QString texte() const;
    void definirTexte(const QString& t);
    std::function<void()> surChangement;
    QLineEdit* ligne() const;

private:
    QLineEdit* ligne_;
};

}  // namespace kal
