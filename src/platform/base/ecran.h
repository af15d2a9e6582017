#pragma once
// The screen as the windows measure it: size in twips, twips per pixel, and the screen-wide
// mouse pointer. Tests put any size and resolution in place of the real screen.
#include <QCursor>

class QWidget;
#include <optional>

namespace kal {

// Mouse pointers by their number: 0 default, 1 arrow, 2 cross, 5 four-way arrow (move),
// 11 hourglass, 99 the window's own pointer.
namespace pointeur {
constexpr int Defaut = 0;
constexpr int Fleche = 1;
constexpr int Croix = 2;
constexpr int Deplacement = 5;
constexpr int Sablier = 11;
constexpr int Personnalise = 99;
}  // namespace pointeur

QCursor curseurPour(int code);

struct EcranSimule {
    int largeurPx = 1024;
    int hauteurPx = 768;
    int twipsParPixelX = 15;
    int twipsParPixelY = 15;
};

class Ecran {
public:
    static int largeurTwips();
    static int hauteurTwips();
    static int twipsParPixelX();
    static int twipsParPixelY();

    // Height in twips of a window's title bar and borders: as measured on a framed window,
    // else the customary 375 twips (25 pixels) where no window manager frames the windows.
    static int hauteurBordsTitre();
    // Measures the frame a window manager gave a shown window (frame height against client
    // height); true when the window is framed and the measure was taken.
    static bool mesurerBordsTitre(const QWidget& fenetre);
    // Height in twips of the client area a maximised window gets: the screen's available
    // height less the title bar measured on a framed window (the whole screen where nothing
    // frames the windows).
    static int hauteurMaximiseeTwips();

    // Screen-wide pointer (0 gives every window its own pointer back).
    static void definirPointeur(int code);
    static int pointeurCourant();

    static void simuler(const EcranSimule& e);
    static void simulerBordsTitre(int twips);
    static void reel();

private:
    static std::optional<EcranSimule> simule_;
    static std::optional<int> bordsSimules_;
    static std::optional<int> bordsMesures_;
    static int titreMesure_;
    static int pointeur_;
};

}  // namespace kal
