#include "workbench/combosimple.h"

#include <QVBoxLayout>

namespace kal {

ComboSimple::ComboSimple(QWidget* parent) : Controle(new QWidget(parent)), saisie(widget()), liste(widget())
{
    auto* couches = new QVBoxLayout(widget());
    couches->setContentsMargins(0, 0, 0, 0);
    couches->setSpacing(0);
    couches->addWidget(saisie.widget());
    couches->addWidget(liste.widget(), 1);
    liste.surClic = [this] {
        if (liste.indexCourant() >= 0)
            saisie.definirTexte(liste.texte());
        if (surClic)
            surClic();
    };
}

void ComboSimple::vider()
{
    liste.vider();
    saisie.definirTexte(QString());
}

}  // namespace kal
