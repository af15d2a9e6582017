#pragma once
// Combo box of the simple style: a text entry with its list always shown under it. A pick in
// the list puts the entry into the text, then runs the click.
#include "platform/controls/controles.h"
#include "platform/controls/saisie.h"

namespace kal {

class ComboSimple : public Controle {
public:
    explicit ComboSimple(QWidget* parent);

    QString texte() const { return saisie.texte(); }
    void definirTexte(const QString& t) { saisie.definirTexte(t); }
    void ajouter(const QString& entree) { liste.ajouter(entree); }
    // Empties the list and the text (the list's click does not run).
    void vider();
    int nombre() const { return liste.nombre(); }
    QString entree(int i) const { return liste.entree(i); }

    // A name picked in the list (by the user, or by code setting the list's index).
    std::function<void()> surClic;

    Saisie saisie;
    Liste liste;
};

}  // namespace kal
