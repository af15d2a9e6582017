#pragma once
// The choice of the scanner source: a small dialog listing the devices. The person's side is an
// answerer: by default the real dialog is shown (modal); tests install an answerer that gives
// prepared answers and records what was offered.
#include "platform/scanner/scanner.h"

#include <QDialog>

#include <deque>
#include <optional>
#include <vector>

class QListWidget;

namespace kal {

class RepondeurSource {
public:
    virtual ~RepondeurSource() = default;
    // The index chosen in `appareils`, or std::nullopt when the person cancels.
    virtual std::optional<int> choisir(const std::vector<AppareilScan>& appareils, int actuel, QWidget* fenetre) = 0;
};

// Installs an answerer in place of the person (nullptr puts the real dialog back).
void installerRepondeurSource(RepondeurSource* r);

// Asks the installed answerer, or shows the real dialog. An answer outside the list counts as
// cancelled.
std::optional<int> demanderSource(const std::vector<AppareilScan>& appareils, int actuel, QWidget* fenetre);

// Answerer for tests: answers in order, then cancels; records each request.
class RepondeurSourceEnregistreur : public RepondeurSource {
public:
    RepondeurSourceEnregistreur() { installerRepondeurSource(this); }
    ~RepondeurSourceEnregistreur() override { installerRepondeurSource(nullptr); }

    void prevoir(std::optional<int> reponse) { reponses_.push_back(reponse); }

    struct Demande {
        QStringList libelles;
        int actuel = -1;
        QWidget* fenetre = nullptr;
    };
    const std::vector<Demande>& demandes() const { return demandes_; }

    std::optional<int> choisir(const std::vector<AppareilScan>& appareils, int actuel, QWidget* fenetre) override;

private:
    std::deque<std::optional<int>> reponses_;
    std::vector<Demande> demandes_;
};

// The real dialog: the list, "Sélectionner" and "Annuler"; a double click selects.
class DialogueSource : public QDialog {
    Q_OBJECT
public:
    DialogueSource(const std::vector<AppareilScan>& appareils, int actuel, QWidget* parent = nullptr);
    int choix() const;   // the selected row, -1 for none
    QListWidget* liste() const { return liste_; }

private:
    QListWidget* liste_;
};

}  // namespace kal
