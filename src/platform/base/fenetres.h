#pragma once
// Windows: each exists at most once, under its name. The instance is created and loaded the
// first time anything refers to it, shown modeless, brought forward when shown again, and
// created afresh on the next reference after it was unloaded.
#include <QString>
#include <QWidget>
#include <functional>

namespace kal {

class Fenetre : public QWidget {
    Q_OBJECT
public:
    explicit Fenetre(const QString& nom, QWidget* parent = nullptr);
    const QString& nom() const { return nom_; }

    // Outer geometry in twips (title bar and borders included in the height), as the
    // windows size and centre themselves; the client area is what lies under the title bar.
    int gauche() const { return gauche_; }
    int haut() const { return haut_; }
    int largeur() const { return largeur_; }
    int hauteur() const { return hauteur_; }
    void placer(int gaucheTwips, int hautTwips, int largeurTwips, int hauteurTwips);
    void dimensionner(int largeurTwips, int hauteurTwips) { placer(gauche_, haut_, largeurTwips, hauteurTwips); }
    void deplacer(int gaucheTwips, int hautTwips) { placer(gaucheTwips, hautTwips, largeur_, hauteur_); }
    int largeurClient() const { return largeur_; }
    int hauteurClient() const;

    // The window's own mouse pointer (codes of kal::pointeur).
    void definirPointeur(int code);
    int pointeur() const { return pointeur_; }

    // Unloads this window (its unload procedure may refuse).
    void decharger();

protected:
    // The window's load procedure: runs once per instance, before it is first shown.
    virtual void chargement() {}
    // The window's unload procedure; returning false keeps the window loaded.
    virtual bool dechargement() { return true; }
    // The window's Activate procedure: runs when the window becomes the active one coming from
    // another window of the program, or is shown by code where no window manager activates it.
    // Coming back from a message box or from another program is no new activation.
    virtual void activation() {}

    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    friend class Fenetres;
    QString nom_;
    int gauche_ = 0, haut_ = 0, largeur_ = 0, hauteur_ = 0;
    int pointeur_ = 0;
    bool dechargee_ = false;
    // True from an activation until another window of the program becomes active after this
    // one was: a window shown by code is not left before it was ever the active one (a message
    // box of its activation gives the focus back to the window that was active before).
    bool vueFraiche_ = false;
    bool activeDepuis_ = false;
};

class Fenetres {
public:
    using Fabrique = std::function<Fenetre*()>;

    static void enregistrer(const QString& nom, Fabrique fabrique);
    // The loaded instance, created and loaded now when there is none (nullptr when its load
    // unloaded it again or ended the program).
    static Fenetre* instance(const QString& nom);
    // The loaded instance, or nullptr; never creates one.
    static Fenetre* siChargee(const QString& nom);
    static bool chargee(const QString& nom) { return siChargee(nom) != nullptr; }
    // Loads when needed, shows modeless and brings forward.
    static void montrer(const QString& nom);
    // Runs the window's unload procedure and destroys it; nothing when it is not loaded.
    static void decharger(const QString& nom);
    // Destroys every instance without running any unload procedure (end of the program, tests).
    static void toutDetruire();
    // Forgets the factories too (tests).
    static void reinitialiser();
};

// The end of the program: no window's unload or close procedure runs.
class Programme {
public:
    static void terminer();
    static bool termine();
    // Tests start a fresh program run.
    static void reinitialiser();
};

}  // namespace kal
