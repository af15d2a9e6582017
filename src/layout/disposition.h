#pragma once
// Screen layout of an editor window, the preview page and the printable surface, and the
// current object on that page: its positions, its print format and its place on the preview.
//
// Every length is in twips. The window is designed for one screen and refitted once at load:
// a band of controls sits on one top line at the bottom of the screen, the indicator labels
// stand directly above it, the pages panel, the composer (page) or the jacket outlines
// (jacket) stand in the top right corner. The printer's sheet becomes the preview page, drawn
// at a scale of `echelleimp` (page) or `echellejaq` (jacket) sheet twips per preview twip.
#include "editor/contexteediteur.h"
#include "layout/souris.h"
#include "platform/base/twips.h"

#include <array>
#include <utility>

namespace kal {

// Jacket sheet geometry on A4 portrait, in sheet twips: the front face as top, left, height,
// width (0-3), the same rectangle as left, top, height, width (4-7; 4 and 5 are the origin of
// front objects), the back face as left, top, height, width (8-11; 8 and 9 its origin).
inline constexpr std::array<Twips, 12> GeometrieJaquette{
    Twips(1389), Twips(1655), Twips(6832), Twips(8550), Twips(1655), Twips(1389),
    Twips(6832), Twips(8550), Twips(1655), Twips(8794), Twips(6691), Twips(8550)};

class Disposition {
public:
    explicit Disposition(ContexteEditeur& ctx) : x_(ctx), souris_(ctx) {}

    // The position and format sliders and the centre button: their handlers, and the format
    // slider as designed; the jacket's object controls, which live as long as the window.
    void brancher();

    // Fits the window's controls to the screen (run once by the load). The jacket's version
    // also switches the printer to A4 portrait and sizes its preview page.
    void dimensionecran();
    // Page: sizes the preview page P_page to the proportions of the printer's sheet.
    void dimpage();
    // Page: hardware margin, object limits, scale, printable surface and its caption.
    // Jacket: its own hardware margin, the printable area and the two faces on its preview.
    void marges();
    // Jacket: fills geomjaq.
    void valeurs();

    // The size and position captions with no object to describe: "Gauche", "Haut", "Format"
    // on white, the pixel and largest-format captions empty.
    void legendesSansObjet();

    // Bottom line of the band (the quit button's bottom), from the screen's height.
    int ligneBas() const;

    // --- The current object on the page (positions.cpp, placement.cpp, formats.cpp,
    // curseurformat.cpp, apercu.cpp). Every length is in the editor's unit: sheet twips on the
    // page, face twips on the jacket. Each procedure works on `objetcourant` and does nothing
    // when no object control stands under that number.

    // Refreshes the current object after its picture was (re)displayed: page sauvder, then
    // status, initmarge, initformat, apercu.
    void initialisation();
    // Sets the three sliders from the current object's control and the record D_image stands on.
    void posimage();

    // Position sliders: ranges and the smallest position for the current object; what a change
    // of either slider does; a kept value put back.
    void initmarge();
    void changemargeH();
    void changemargeV();
    void restitmargeh();
    void restitmargev();
    void A_margeH_Change() { changemargeH(); }
    void A_margeH_Scroll() { changemargeH(); }
    void A_margeV_Change() { changemargeV(); }
    void A_margeV_Scroll() { changemargeV(); }

    // Formats: the four limits of the photo and "Format maximal acceptable:"; the format
    // slider's range and value; the largest format; the resolution colours and "Format photo:".
    void status();
    // "Format maximal acceptable:" with the limits at 120 pixels per inch as they stand.
    void legendeMaximum();
    void initformat();
    void formatmax();
    void couleurformat();
    // The format of a turned object, from its new width, height and ratio.
    void formatangle();

    // Format slider: the change, its live caption while dragged, the end of its editing.
    void A_format_Change();
    void A_format_Scroll();
    void A_format_LostFocus();
    void changeformat();
    // The current object's unturned size (widthimp x heightimp) that the format slider gives,
    // and the working copy's box set to it at the preview's scale (chargimp stores that box).
    std::pair<Twips, Twips> tailleFicheFormat() const;
    void sauvderDepuisFormat();

    // Preview: places and sizes the current object's control from the three sliders and keeps
    // its geometry in tabobjets; sizes the control to its picture when the picture is shown.
    void apercu();
    void echelle();

    // --- Centring (centrage.cpp): the page centres the current object on the printer's
    // sheet, shrunk first when it would not fit inside the sheet less twice the right and
    // bottom margins; the jacket centres it on the face.
    void B_centre_Click();
    void centrage();

    // --- The mouse on the objects (souris.cpp). brancherObjet wires the handlers of object
    // control n; whoever makes a page object's control calls it there.
    void brancherObjet(int n);
    void L_photo_MouseDown(int n, int bouton, int shift, double x, double y);
    void L_photo_MouseMove(int n, int bouton, int shift, double x, double y);
    void L_photo_MouseUp(int n, int bouton, int shift, double x, double y);
    const SourisObjets& souris() const { return souris_; }

private:
    ContexteEditeur& x_;
    SourisObjets souris_;
    // The format slider is being put back to the format its record holds, after a store refused.
    bool formatRemis_ = false;

    // The two position sliders as one procedure over a table of their parameters.
    struct AxePosition;
    static const AxePosition AxeH, AxeV;
    void changemarge(const AxePosition& axe);
    void restitmarge(const AxePosition& axe, int32_t valeur);

    // The current object's control; nullptr when objetcourant names no object control.
    ControleImage* controleCourant() const;
    // The object lies on what the editor shows: page below 16, jacket below fincote.
    bool surPartieMontree() const;
    // Width mode: the format slider holds the printed width (the height fill ratio is strictly
    // the smaller); height mode otherwise, ties included.
    bool modeLargeur() const;
    // The object's width/height ratio is a usable number (a picture of no size has none).
    bool rapportValide() const;
    // Printed width and height that a format value gives in width mode (or height mode).
    std::pair<double, double> dimensionsFormat(double v, bool largeur) const;
    // Smallest positions (page origineH/origineV, jacket 0) and the preview scale (page
    // echelleimp, jacket 1).
    Twips origineGauche() const;
    Twips origineHaut() const;
    double echelleApercu() const;
    // Arrow step, and page step of a tenth of Max; a Max too small for a page step of 1 is
    // raised to 15 first.
    void pasCurseur(Curseur& a, int petit);
    void legendesPositions();
    // A value put in a slider, brought within its range first.
    static void valeurBornee(Curseur& a, int v);

    void dimensionecranPage();
    void dimensionecranJaquette();
    void empilerBande();
    void empilerReglages();
    void ligneIndicateurs(int ligne);
    void margesPage();
    void margesJaquette();
};

// The printable-surface caption: "Surface imprimable:" width " x " height " mm", each figure
// in millimetres with one decimal and the user's decimal separator.
QString legendeSurface(Twips largeur, Twips hauteur);
// The format captions: "Format:" width " x " height "mm" as the format steps set it, and
// "Format :" width " x " height " mm" as the format slider shows it live; each figure in
// millimetres with one decimal and the user's decimal separator.
QString legendeFormat(double largeurTwips, double hauteurTwips);
QString legendeFormatDirect(double largeurTwips, double hauteurTwips);
// A position caption: the word ("Gauche: ", "Haut: "), the millimetres, " mm".
QString legendePosition(const QString& mot, double twips);

}  // namespace kal
