#pragma once
// The calibration window AJUST ("AJUSTEMENT DES MARGES"): it prints the outline of a 20 mm
// square whose nominal left and top margins are 20 mm, takes the margins the user measured on
// the paper, and turns the difference into the corrections DeltaH and DeltaV (twips) that every
// later print adds to its positions; they are kept in quelvard.ini. While the window is
// loaded the printer is on A4 portrait; its orientation and paper go back when it closes.
// The window reports in its message label, never in message boxes.
#include "platform/base/fenetres.h"
#include "platform/controls/controles.h"
#include "platform/controls/saisie.h"
#include "state/partage.h"

namespace kal {

class Imprimante;

class Ajustement : public Fenetre {
    Q_OBJECT
public:
    // The printer is the program's printer unless another is given (tests).
    explicit Ajustement(ReglagesPartages& partage, Imprimante* imp = nullptr);
    ~Ajustement() override;

    static QString nomFenetre() { return QStringLiteral("AJUST"); }

    Etiquette E_message;
    Etiquette E_margeH, E_margeV;
    Etiquette E_mesureH, E_mesureV;
    Saisie T_mesureH, T_mesureV;
    Bouton B_imprim, B_correct, B_init, B_doc, B_finajust;

    void B_imprim_Click();
    void T_mesure_Change();   // T_mesureH and T_mesureV alike
    void B_correct_Click();
    void B_init_Click();
    void B_doc_Click();
    void B_finajust_Click();

    // Half the printer's unprintable width on A4 portrait, this window's own (the editors keep
    // theirs in the shared settings).
    Twips margeimpH() const { return margeimpH_; }
    Twips margeimpV() const { return margeimpV_; }

    // A measured margin as CORRIGER accepts it: four characters, a "." third, a last digit and a
    // value other than 0 ("21.5", "05.5").
    static bool mesureValide(const QString& texte);
    // The correction step in twips for a margin measured in millimetres (20 mm nominal),
    // rounded down.
    static double pasCorrection(double mesureMm);

protected:
    void chargement() override;
    bool dechargement() override;

private:
    ReglagesPartages& p_;
    Imprimante& imp_;
    Twips margeimpH_, margeimpV_;

    // Puts the printer on A4 portrait; false (and the reason shown) when it refuses.
    bool a4Portrait();
    void restaurerImprimante();
    // Writes the settings file; false (and the reason shown) when it cannot be written.
    bool ecrireFichier();
    void fermerSaisies();
};

}  // namespace kal
