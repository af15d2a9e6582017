#include "platform/controls/saisie.h"

namespace kal {

Saisie::Saisie(QWidget* parent) : Controle(new QLineEdit(parent)), ligne_(static_cast<QLineEdit*>(widget()))
{
    // Every change of the text, typed, pasted, undone or set by code, runs Change at once.
    QObject::connect(ligne_, &QLineEdit::textChanged, ligne_, [this] {
        if (surChangement)
            surChangement();
    });
}

QString Saisie::texte() const { return ligne_->text(); }

void Saisie::definirTexte(const QString& t)
{
    if (t == ligne_->text())
        return;
    ligne_->setText(t);
}

QLineEdit* Saisie::ligne() const { return ligne_; }

}  // namespace kal
