#pragma once
// List of names in columns, with the mouse reported in twips.
#include "platform/controls/controle.h"

#include <QStringList>

namespace kal {

// Mouse buttons and shift keys as the mouse events pass them (bit masks).
namespace souris {
constexpr int Gauche = 1;
constexpr int Droit = 2;
constexpr int Milieu = 4;
constexpr int Maj = 1;
constexpr int Ctrl = 2;
constexpr int Alt = 4;
}  // namespace souris

// List of names in columns: the entries run down the first column, then down the next. A column
// is the list's width divided by the number of columns (4 unless told), a row 195 twips high
// unless told; a column holds as many rows as the inside of the list is high (16 in a list
// 3150 twips high). Entry k stands in column k div r, row k mod r, r rows to a column; a column
// beyond the list's width is not shown (the list has no scroll bar of its own).
//
// The mouse is measured in twips from the top-left corner of the inside of the list (within
// its border), so that X div the column width and Y div the row height give the column and row
// under the pointer:
// - MouseMove (surDeplacementSouris) whenever the pointer moves over the list, or anywhere while
//   a button pressed on it is held; the buttons held and the shift keys as masks (souris::).
// - MouseUp (surRelachementSouris) when a button is released: that button, the shift keys, X, Y.
// - Pressing a button on an entry picks it (Click), as a click does in a Liste.
// Click (surClic) runs when the index changes by the user or by code; setting -1 leaves no entry
// picked and runs it once more; pressing on the entry already picked runs it too. Emptying the
// list (vider) leaves no entry picked and runs nothing.
class ListeColonnes : public Controle {
public:
    explicit ListeColonnes(QWidget* parent, int colonnes = 4);
    void ajouter(const QString& entree);
    void vider();
    int nombre() const { return static_cast<int>(entrees_.size()); }
    QString entree(int i) const;
    int indexCourant() const { return index_; }
    void definirIndex(int i);   // outside 0..nombre()-1 means -1
    QString texte() const { return entree(index_); }

    int colonnes() const { return colonnes_; }
    int hauteurLigne() const { return hauteurLigne_; }
    void definirHauteurLigne(int twips);
    int largeurColonne() const;     // twips
    int lignesParColonne() const;
    // The entry under a point of the inside of the list, in twips (-1 when none).
    int indexA(int xTwips, int yTwips) const;

    std::function<void()> surClic;
    std::function<void(int bouton, int maj, int x, int y)> surDeplacementSouris;
    std::function<void(int bouton, int maj, int x, int y)> surRelachementSouris;

    // The inside of the list: where the names are drawn and the mouse is measured.
    QWidget* zone() const { return zone_; }

private:
    QWidget* zone_;
    QStringList entrees_;
    int colonnes_;
    int hauteurLigne_ = 195;
    int index_ = -1;
    friend class ZoneColonnes;
    void cliquer(int i);
    QRect rectangle(int k) const;   // pixels of the zone
};

}  // namespace kal
