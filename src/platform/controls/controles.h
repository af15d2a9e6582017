#pragma once
// The standard controls the windows are made of.
#include "platform/controls/controle.h"
#include "platform/controls/erreurscontroles.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>

namespace kal {

// Colours as the windows store them: 0x00BBGGRR.
QColor couleurDepuisRvb(int bgr);
int rvbDepuisCouleur(const QColor& c);

// Label: a caption, a back and a fore colour.
class Etiquette : public Controle {
public:
    explicit Etiquette(QWidget* parent);
    // The caption as it was given; shown with each CR, LF or CR LF as one line break.
    QString legende() const { return legende_; }
    void definirLegende(const QString& t);
    void definirCouleurFond(int bgr);
    void definirCouleurTexte(int bgr);
    int couleurFond() const { return fond_; }
    int couleurTexte() const { return texte_; }
    // A caption wider than the label is then shown in a narrower font (down to 6 points), so
    // that it is read whole; the caption itself is unchanged.
    void definirAjustement(bool v);
    QLabel* label() const { return label_; }
    std::function<void()> surClic;

private:
    QString legende_;
    QLabel* label_;
    bool ajuster_ = false;
    void ajusterPolice();
    int fond_ = 0xFFFFFF;
    int texte_ = 0;
    void appliquerCouleurs();
};

// Command button: a caption and a click.
class Bouton : public Controle {
public:
    explicit Bouton(QWidget* parent, const QString& legende = {});
    // The caption as given; a CR, LF or CR LF in it starts a new line on the button.
    void definirLegende(const QString& t);
    QString legende() const { return legende_; }
    void cliquer();  // as a click of the user
    std::function<void()> surClic;
    QPushButton* bouton() const { return bouton_; }

private:
    QPushButton* bouton_;
    QString legende_;
};

// List box: entries, the selected index (-1 none), and a click that fires whenever the selected
// index changes, by the user or by code (setting -1 clears the selection and fires it too).
class Liste : public Controle {
public:
    explicit Liste(QWidget* parent);
    void ajouter(const QString& entree);
    void vider();
    int nombre() const { return liste_->count(); }
    QString entree(int i) const;
    int indexCourant() const { return index_; }
    void definirIndex(int i);
    QString texte() const { return index_ >= 0 ? entree(index_) : QString(); }
    // Height in twips that shows every entry (the list's designed height otherwise).
    QListWidget* liste() const { return liste_; }
    std::function<void()> surClic;

private:
    QListWidget* liste_;
    int index_ = -1;
    bool parCode_ = false;
    bool signale_ = false;
};

// Scroll bar used as a slider: value between Min and Max; Change fires at once when the value
// changes, also from code; lowering Max (or raising Min) past the value pulls the value along
// and fires Change. Scroll fires while the user drags the thumb. Max may lie below Min: the bar
// then runs from Min at its start to Max at its end, and the values allowed are those between.
// Refusals (error 380, ctl::ValeurInvalide, and nothing changes): a value outside Min..Max, a
// small or large step outside 1..32767.
// The bar takes the keyboard focus when clicked or tabbed to; GotFocus (surFocus) and LostFocus
// (surPerteFocus) run when it gains or loses the focus of its window (the window's first focus
// when it is shown included). The focus going to another window or a popup, and coming back with
// the window, is neither.
class Curseur : public Controle {
public:
    explicit Curseur(QWidget* parent, Qt::Orientation o = Qt::Horizontal);
    int valeur() const { return valeur_; }
    void definirValeur(int v);
    int min() const { return min_; }
    int max() const { return max_; }
    void definirMin(int v);
    void definirMax(int v);
    int petitPas() const { return barre_->singleStep(); }
    int grandPas() const { return barre_->pageStep(); }
    void definirPetitPas(int v);
    void definirGrandPas(int v);
    std::function<void()> surChangement;
    std::function<void()> surDefilement;
    std::function<void()> surFocus;
    std::function<void()> surPerteFocus;
    QScrollBar* barre() const { return barre_; }

private:
    QScrollBar* barre_;
    int valeur_ = 0, min_ = 0, max_ = 32767;
    int avantGlisse_ = 0;
    bool synchro_ = false;
    void synchroniser();
    void changerValeur(int v);
    void tenirDansLesBornes();
};

// Check box: value 0 unticked, 1 ticked; Click fires when the value changes, also from code.
class CaseACocher : public Controle {
public:
    explicit CaseACocher(QWidget* parent, const QString& legende = {});
    int valeur() const { return valeur_; }
    void definirValeur(int v);
    void definirLegende(const QString& t) { case_->setText(t); }
    std::function<void()> surClic;
    QCheckBox* caseACocher() const { return case_; }

private:
    QCheckBox* case_;
    int valeur_ = 0;
    bool synchro_ = false;
};

// Option button: one of a group; setting it True unsets the others of its parent and fires
// Click (only when it was not already set).
class BoutonOption : public Controle {
public:
    explicit BoutonOption(QWidget* parent, const QString& legende = {});
    bool valeur() const { return bouton_->isChecked(); }
    void definirValeur(bool v);
    void definirLegende(const QString& t) { bouton_->setText(t); }
    std::function<void()> surClic;
    QRadioButton* bouton() const { return bouton_; }

private:
    QRadioButton* bouton_;
    bool synchro_ = false;
};

// Frame: a titled panel that holds other controls.
class Cadre : public Controle {
public:
    explicit Cadre(QWidget* parent, const QString& legende = {});
    void definirLegende(const QString& t) { boite_->setTitle(t); }
    QGroupBox* boite() const { return boite_; }

private:
    QGroupBox* boite_;
};

}  // namespace kal

namespace kal {

// Picture box: a plain surface with a back colour that other controls are placed on and that
// can be drawn on.
class BoiteImage : public Controle {
public:
    explicit BoiteImage(QWidget* parent);
    void definirCouleurFond(int bgr);
    int couleurFond() const { return fond_; }
    QFrame* surface() const { return surface_; }

private:
    QFrame* surface_;
    int fond_ = 0xFFFFFF;
};

}  // namespace kal

namespace kal {

// Line control: a thin black line standing on a surface (a picture box, an imaging control),
// drawn over what the surface shows and transparent to the mouse. Placed in twips like every
// control; a vertical line is one pixel wide.
class Trait : public Controle {
public:
    explicit Trait(QWidget* surface);
    ~Trait() override;
    Trait(const Trait&) = delete;
    Trait& operator=(const Trait&) = delete;
    // A vertical line at x, from the top down, `longueur` long.
    void placerVertical(int x, int longueur);

private:
    QPointer<QWidget> ligne_;
};

}  // namespace kal
