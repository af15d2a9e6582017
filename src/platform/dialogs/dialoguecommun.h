#pragma once
// The common dialog: font chooser (name, size, colour, bold, italic, underline, strike-through),
// colour chooser, RTF file chooser. The dialog is prepared through its properties, shown with
// `choixpolice`, `choixcouleur` or `choixfichier`, and its answer read back from the same
// properties. A cancelled dialog changes none of them; with `annulationerreur` set it raises
// the cancel error, which the caller catches.
//
// The person's side is an answerer: by default the real dialogs are shown (modal); tests
// install an answerer that gives prepared answers and records what was asked.
#include "platform/richtext/police.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace kal {

namespace dialogue {
// Error raised by a cancelled dialog when `annulationerreur` is set.
constexpr int ErreurAnnulation = 32755;
// Font dialog options: screen fonts 1, printer fonts 2, effects (colour, underline,
// strike-through) 256.
constexpr int PolicesEcran = 1;
constexpr int PolicesImprimante = 2;
constexpr int Effets = 256;
}  // namespace dialogue

// A font with its colour (RGB Long, 0x00BBGGRR), as the font chooser shows and returns it.
struct ChoixPolice {
    Police police;
    int couleur = 0;
    bool operator==(const ChoixPolice&) const = default;
};

// One item of a file filter: a label and its patterns ("*RTF*", "*.jpg;*.jpeg").
struct FiltreFichier {
    QString libelle;
    QStringList motifs;
    bool operator==(const FiltreFichier&) const = default;
};
// Reads a filter written "label|patterns|label|patterns|..." (a trailing bar is allowed).
std::vector<FiltreFichier> lireFiltre(const QString& filtre);
// The same as the file dialog of this system takes it: "label (patterns)" separated by ";;".
QString filtreQt(const QString& filtre);

// The person's side of the dialogs. Each function returns false when the person cancels,
// true with the answer put in its argument.
class RepondeurDialogue {
public:
    virtual ~RepondeurDialogue() = default;
    virtual bool police(ChoixPolice& choix, int options) = 0;
    virtual bool couleur(int& rvb, int options) = 0;
    virtual bool fichier(QString& chemin, const QString& filtre, int options) = 0;
};

// Installs an answerer in place of the person (nullptr puts the real dialogs back).
void installerRepondeurDialogue(RepondeurDialogue* r);

// Answerer for tests: each request is recorded with what the dialog was preset with; the
// answers are given in order, a missing answer (or std::nullopt) cancelling the dialog.
class RepondeurDialogueEnregistreur : public RepondeurDialogue {
public:
    RepondeurDialogueEnregistreur() { installerRepondeurDialogue(this); }
    ~RepondeurDialogueEnregistreur() override { installerRepondeurDialogue(nullptr); }

    void prevoirPolice(std::optional<ChoixPolice> r) { polices_.push_back(r); }
    void prevoirCouleur(std::optional<int> r) { couleurs_.push_back(r); }
    void prevoirFichier(std::optional<QString> r) { fichiers_.push_back(r); }

    struct Demande {
        QString genre;   // "police", "couleur" or "fichier"
        ChoixPolice police;
        int couleur = 0;
        QString chemin;
        QString filtre;
        int options = 0;
    };
    const std::vector<Demande>& demandes() const { return demandes_; }

    bool police(ChoixPolice& choix, int options) override;
    bool couleur(int& rvb, int options) override;
    bool fichier(QString& chemin, const QString& filtre, int options) override;

private:
    std::deque<std::optional<ChoixPolice>> polices_;
    std::deque<std::optional<int>> couleurs_;
    std::deque<std::optional<QString>> fichiers_;
    std::vector<Demande> demandes_;
};

// The common dialog `U_dialog` of a window.
class DialogueCommun {
public:
    bool annulationerreur = false;
    int optionsdialogue = 0;

    // File chooser: the filter, and the chosen file (full path) after the dialog.
    QString filtre;
    QString nomfichier;

    // Font chooser.
    QString policedialogue = QStringLiteral("MS Sans Serif");
    double tailledialogue = 8.25;
    bool grasdialogue = false;
    bool italiquedialogue = false;
    bool soulignedialogue = false;
    bool barredialogue = false;
    // Font chooser (text colour) and colour chooser (RGB Long).
    int couleurdialogue = 0;

    // Each returns true when the person chose, false when the dialog was cancelled (or raises
    // error 32755 when `annulationerreur` is set).
    bool choixpolice();
    bool choixcouleur();
    bool choixfichier();

private:
    bool annule();
};

}  // namespace kal
