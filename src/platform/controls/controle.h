#pragma once
// Controls with twip geometry (15 twips a pixel on the required screen) and the event rules the
// windows rely on: every change handler runs synchronously, nested inside the code that made
// the change, also when the change comes from code; it runs only when the value really changes.
#include <QWidget>
#include <functional>

namespace kal {

class Controle {
public:
    virtual ~Controle() = default;

    QWidget* widget() const { return widget_; }

    // Geometry in twips, relative to the parent's client area.
    int gauche() const { return gauche_; }
    int haut() const { return haut_; }
    int largeur() const { return largeur_; }
    int hauteur() const { return hauteur_; }
    void placer(int gaucheTwips, int hautTwips, int largeurTwips, int hauteurTwips);
    void definirGauche(int v) { placer(v, haut_, largeur_, hauteur_); }
    void definirHaut(int v) { placer(gauche_, v, largeur_, hauteur_); }
    void definirLargeur(int v) { placer(gauche_, haut_, v, hauteur_); }
    void definirHauteur(int v) { placer(gauche_, haut_, largeur_, v); }

    bool visible() const { return visible_; }
    void definirVisible(bool v);
    bool actif() const { return widget_->isEnabled(); }
    void definirActif(bool v) { widget_->setEnabled(v); }

    void definirInfobulle(const QString& t) { widget_->setToolTip(t); }

protected:
    explicit Controle(QWidget* w);
    // Geometry designed in twips: kept until placer() changes it.
    void initialiserGeometrie();

private:
    QWidget* widget_;
    int gauche_ = 0, haut_ = 0, largeur_ = 0, hauteur_ = 0;
    bool visible_ = true;
};

// Twips to pixels on the current screen (nearest, half to even).
int pixelsX(int twips);
int pixelsY(int twips);

}  // namespace kal
