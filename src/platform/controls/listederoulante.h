#pragma once
// Drop-down combo box: an editable text with a list of entries under it.
#include "platform/controls/controle.h"

#include <QComboBox>

namespace kal {

// Editable drop-down combo box. Two events, never both for one change:
// - Click (surClic) when an entry is picked: by the user from the drop-down list, with the arrow
//   keys or the wheel (also the entry already picked), or by code setting the index; the text
//   becomes the entry's. Setting the index to -1 empties the text and runs Click as well.
// - Change (surChangement) when the text is edited: typed by the user, or set by code.
// After an edit the index is that of the entry whose text is exactly the new text, else -1.
// Emptying the list (vider) empties the text too and runs neither.
class ListeDeroulante : public Controle {
public:
    explicit ListeDeroulante(QWidget* parent);
    void ajouter(const QString& entree);
    void vider();
    int nombre() const { return boite_->count(); }
    QString entree(int i) const;      // empty outside 0..nombre()-1
    int indexCourant() const { return index_; }
    void definirIndex(int i);         // outside 0..nombre()-1 means -1
    QString texte() const;
    void definirTexte(const QString& t);
    std::function<void()> surClic;
    std::function<void()> surChangement;
    QComboBox* boite() const { return boite_; }

private:
    QComboBox* boite_;
    int index_ = -1;
    bool synchro_ = false;
    int indexDuTexte() const;
    void montrerTexte(const QString& t);
};

}  // namespace kal
