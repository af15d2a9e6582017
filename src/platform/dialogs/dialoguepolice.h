#pragma once
// The font chooser: font name, style (normal, italic, bold, bold italic), size in points, and,
// with the effects, strike-through, underline and one of the sixteen standard colours, over a
// sample of the chosen font.
#include "platform/dialogs/dialoguecommun.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace kal {

class DialoguePolice : public QDialog {
    Q_OBJECT
public:
    explicit DialoguePolice(QWidget* parent = nullptr, bool effets = true);

    void definirChoix(const ChoixPolice& c);
    ChoixPolice choix() const { return choix_; }

    // The sixteen colours offered (RGB Longs) with their names.
    static const std::vector<std::pair<int, QString>>& couleursStandard();
    // The font names offered: the usual names of the other system, then the installed families.
    static QStringList nomsProposes();

    QLineEdit* champNom() const { return nom_; }
    QListWidget* listeNoms() const { return noms_; }
    QListWidget* listeStyles() const { return styles_; }
    QLineEdit* champTaille() const { return taille_; }
    QListWidget* listeTailles() const { return tailles_; }
    QCheckBox* caseBarre() const { return barre_; }
    QCheckBox* caseSouligne() const { return souligne_; }
    QComboBox* listeCouleurs() const { return couleurs_; }
    QLabel* exemple() const { return exemple_; }

private:
    ChoixPolice choix_;
    bool maj_ = false;
    QLineEdit* nom_;
    QListWidget* noms_;
    QListWidget* styles_;
    QLineEdit* taille_;
    QListWidget* tailles_;
    QGroupBox* effets_;
    QCheckBox* barre_;
    QCheckBox* souligne_;
    QComboBox* couleurs_;
    QLabel* exemple_;

    void afficher();
    void lireChamps();
};

}  // namespace kal
