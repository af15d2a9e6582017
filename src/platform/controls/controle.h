#pragma once
// Controls with twip geometry (15 twips a pixel on the required screen) and the event rules the
// windows rely on: every change handler runs synchronously, nested inside the code that made
// the change, also when the change comes from code; it runs only when the value really changes.
#include "platform/base/conversions.h"

#include <QWidget>
#include <functional>

namespace kal {

class Controle {
public:
    virtual ~Controle() = default;

    QWidget* widget() const { return widget_; }

    // Geometry in twips, relative to the parent's client area, kept as it was set (a box of
    // 675.5 twips stays 675.5, a sheet length divided by a preview scale keeps its fractions);
    // the whole-twip getters round it. Only the widget on screen is in whole pixels.
    int gauche() const { return arrondi(g_); }
    int haut() const { return arrondi(h_); }
    int largeur() const { return arrondi(l_); }
    int hauteur() const { return arrondi(ht_); }
    double gaucheReel() const { return g_; }
    double hautReel() const { return h_; }
    double largeurReelle() const { return l_; }
    double hauteurReelle() const { return ht_; }
    void placer(int gaucheTwips, int hautTwips, int largeurTwips, int hauteurTwips)
    {
        placerReel(gaucheTwips, hautTwips, largeurTwips, hauteurTwips);
    }
    void placerReel(double gaucheTwips, double hautTwips, double largeurTwips, double hauteurTwips);
    void definirGauche(double v) { placerReel(v, h_, l_, ht_); }
    void definirHaut(double v) { placerReel(g_, v, l_, ht_); }
    void definirLargeur(double v) { placerReel(g_, h_, v, ht_); }
    void definirHauteur(double v) { placerReel(g_, h_, l_, v); }

    bool visible() const { return visible_; }
    void definirVisible(bool v);
    bool actif() const { return widget_->isEnabled(); }
    void definirActif(bool v) { widget_->setEnabled(v); }

    void definirInfobulle(const QString& t) { widget_->setToolTip(t); }
    // In front of its sibling controls (it covers them where they overlap).
    void auPremierPlan() { widget_->raise(); }

protected:
    explicit Controle(QWidget* w);
    // Geometry designed in twips: kept until placer() changes it.
    void initialiserGeometrie();

private:
    QWidget* widget_;
    double g_ = 0, h_ = 0, l_ = 0, ht_ = 0;
    bool visible_ = true;
};

// Twips to pixels on the current screen (nearest, half to even).
int pixelsX(int twips);
int pixelsY(int twips);

}  // namespace kal
