#pragma once
// The state of one editor window. The page editor and the jacket editor each own one, under
// the same names; a procedure always works on the state of its own window. Everything starts
// at 0, empty or False except where noted; an editor's load sets the rest.
#include "platform/base/twips.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace kal {

enum class TypeEditeur { Page, Jaquette };

// What follows an editor's close: the end of the program (the editor's QUITTER), or the other
// editor opening in its place while the program and its start window go on.
enum class SuiteFermeture { FinProgramme, AutreEditeur };

// Object number meaning "no object" in objetcourant and objetsurvole.
constexpr int32_t AucunObjet = 100;

// Columns of tabobjets.
namespace col {
constexpr int Intensite = 0, Contraste = 1, Saturation = 2, Nettete = 3, Couleur = 4, Angle = 5,
              Hauteur = 6, Largeur = 7, Gauche = 8, Haut = 9, Lignes = 10;
constexpr int Nombre = 11;
}  // namespace col

struct EtatEditeur {
    explicit EtatEditeur(TypeEditeur t);

    TypeEditeur type;
    bool estJaquette() const { return type == TypeEditeur::Jaquette; }
    // 16 object slots on a page, 32 on a jacket (16 a face).
    int nbEmplacements() const { return estJaquette() ? 32 : 16; }

    // Object bookkeeping
    int32_t nbobjets = 0;
    int32_t objetcourant = 0;
    int32_t objetprecedent = 0;
    int32_t objetsurvole = AucunObjet;
    QString typeobjet;                  // "photo" or "textimage"
    std::vector<QString> nomsobjets;    // "Image n" / "Texte-Image n"
    QString nomobjet;
    int16_t basecote = 0, fincote = 0;  // jacket: face shown, [basecote, fincote)
    int16_t nbavant = 0, nbarriere = 0;
    int16_t debutrecherche = 0;

    // Page identity and pending actions
    QString nompage;
    QString nomaouvrir;
    bool pagemodifiee = false;
    bool quitterapres = false;
    SuiteFermeture suitefermeture = SuiteFermeture::FinProgramme;   // what the waiting close does
    bool ouvrirapres = false;
    bool effacementpage = false;
    QString repinitial;
    QString lecteurinitial;
    bool reglagesLus = false;           // gamma and corrections came from the settings file

    // Geometry kept per editor
    double echelleimp = 0;              // page: printer twips per preview twip
    double echellejaq = 0;              // jacket: printer width / preview page width
    Twips margejaqH, margejaqV;         // jacket: the printer's unprintable margin, whole twips
    std::array<Twips, 12> geomjaq{};    // jacket: the faces on the sheet (GeometrieJaquette)
    // The surface an object may cover: page, the printable surface less 15 twips each side,
    // in whole sheet twips; jacket, the face shown.
    Twips largeursurface, hauteursurface;
    double largeurobjet = 0, hauteurobjet = 0, rapportformat = 0;
    int32_t margesauvH = 0, margesauvV = 0;
    int32_t departX = 0, departY = 0;

    // Adjustment state
    std::vector<std::array<double, col::Nombre>> tabobjets;
    std::array<bool, 6> flagreglage{};
    std::array<int32_t, 6> valreglage{};
    QString codereglage;
    bool razreglages = false;
    bool razgardelignes = false;        // initzero from a removal: the rows of tabobjets stay
    bool premiergamma = false;          // page
    QString premiergammajaq;            // jacket: empty, then "oui"

    // Crop, printer set-up and open-panel flags
    bool modedecoupe = false, decoupeencours = false, decoupefaite = false;
    bool configdemandee = false, panneauouvert = false, enregavantconfig = false;
    bool scanfait = false;
    Twips largeurpapier, hauteurpapier;   // the sheet when the printer set-up was asked for

    // Re-entrancy flags
    bool majencours = false;
    bool rechargementencours = false;
    bool margesactives = false;
    bool reaffichageencours = false;
    bool rotationencours = false;
    bool creationtexte = false;

    // Further state used by several procedures
    int32_t valeurformat = 0;           // also the text objects' formatprecedent
    double largeurformat = 0;
    double resolution = 0;
    double rapportfiche = 0;
    int32_t pasminiat = 0;
    Twips largeurapercu, hauteurapercu;   // page: the preview page P_page

    // Imaging: resize
    double rapportredim = 1;           // target longer side / the longer side at set-up
    bool redimencours = false;         // initredim is setting the slider
    int32_t largeurredim = 0, hauteurredim = 0;   // displayed picture's pixels at set-up

    // Imaging: work copies and display
    bool geometriememorisee = false;   // chargephoto puts the current box back from tabobjets
    bool formatencours = false;        // chargephoto is running formatangle

    // Layout: formats and positions
    // Largest printed width and height of the current photo at 180 and at 120 pixels per
    // inch, in twips (8 and 12 twips a pixel), as the last format check found them.
    int32_t largmax180 = 0, hautmax180 = 0;
    int32_t largmax120 = 0, hautmax120 = 0;

    // Crop
    // Kept when crop mode is entered, for the crop's cancelling: the working copy's box
    // (twips), the two positions, and the angle the crop was made at (degrees).
    int32_t hauteurdecoupe = 0, largeurdecoupe = 0;
    int32_t margeHdecoupe = 0, margeVdecoupe = 0;
    int32_t anglesauv = 0;
};

}  // namespace kal
