#pragma once
// The mouse on the objects of the preview (the controls L_photo): a press on the current object
// starts a drag that moves it through the position sliders, or, in crop mode, a rectangle drawn
// over it; the left button released on another object selects it; the right button released on
// an object removes it. The handlers never move a control themselves: the sliders' ranges decide
// where an object may go, the steps here only when it goes.
#include "editor/contexteediteur.h"

#include <QPointer>
#include <QRect>
#include <memory>

namespace kal {

class SourisObjets {
public:
    // What the buttons held on an object are doing.
    enum class Etat {
        Repos,        // no button held on an object
        Deplacement,  // held on the current object: a drag with the left button moves it
        Decoupe,      // held on the current object in crop mode: a drag draws the rectangle
        Autre,        // held on another object: its release selects or removes it
    };

    explicit SourisObjets(ContexteEditeur& x) : x_(x) {}
    SourisObjets(const SourisObjets&) = delete;
    SourisObjets& operator=(const SourisObjets&) = delete;

    // Button mask as the imaging control gives it (1 left, 2 right, 4 middle); the position in
    // the element's own twips.
    void enfoncee(int n, int bouton, double X, double Y);
    void deplacee(int n, int bouton, double X, double Y);
    void relachee(int n, int bouton, double X, double Y);

    Etat etat() const { return etat_; }
    // The last crop rectangle: left, top, width and height in the element's twips.
    QRect rectangle() const { return rectangle_; }

private:
    ContexteEditeur& x_;
    Etat etat_ = Etat::Repos;
    int enfonce_ = -1;                 // the element the buttons went down on
    int dernierX_ = 0, dernierY_ = 0;  // last pointer position of a drag
    QRect rectangle_;
    // The control that holds the mouse during a drag (see tenir).
    QPointer<QWidget> tenu_;
    // A page rebuild takes every element away, the one whose release is being handled
    // included: that control is kept here until the next event reaches the objects.
    std::unique_ptr<ControleImage> retire_;

    ControleImage* element(int n) const;
    bool estCourant(int n) const;
    // Rectangle spanning the press point and (X, Y), whichever way the drag went.
    QRect rectangleDepuisDepart(int X, int Y) const;
    // A move step: the slider takes value + d when that stays within its range and d is at
    // least 16 twips either way.
    static void pas(Curseur& a, int d);

    void appliquerDecoupe(int n, int X, int Y);
    void selection(int n);
    // False, and nothing changed, when the record could not be freed.
    bool suppression(int n);
    // Page: every control made again around the new current object and the page rebuilt.
    void reconstruirePage(int enCours);
    void fin();
    // The mouse held by the pressed control until the release, wherever the pointer goes: the
    // preview hides and shows the control at each step of a drag, which would otherwise end
    // the window system's hold on it.
    void tenir(ControleImage& photo);
    void lacher();
};

}  // namespace kal
