#pragma once
// The rich-text box: the composition box of the editors and the manual's viewer.
//
// Positions and lengths count the characters of the plain text `contenutexte`, where every line
// ends with CR LF (two characters). The selection's font is read from its first character (from
// the caret's typing format when nothing is selected) and set on the whole selection (on the
// typing format when nothing is selected). Colours are RGB Longs (0x00BBGGRR).
#include "platform/controls/controle.h"
#include "platform/richtext/police.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QTextEdit>
#include <functional>
#include <vector>

class QTextCursor;
class QTextDocument;

namespace kal {

class BoiteTexteRiche : public Controle {
public:
    explicit BoiteTexteRiche(QWidget* parent);
    ~BoiteTexteRiche() override;

    // Loads an RTF file (type 0): 53 missing, 75 unreadable, 321 not RTF; the box keeps its
    // content when the load fails. The caret goes to the start.
    void chargertexte(const QString& fichier, int type = 0);
    // Writes the whole content as RTF (type 0); 75 when the file cannot be written.
    void sauvertexte(const QString& fichier, int type = 0) const;

    // The plain text, lines ended by CR LF. Putting a text replaces everything; the new text
    // takes the font of the old text's first character; the caret goes to the start.
    QString contenutexte() const;
    void definirContenutexte(const QString& texte);

    // The box's back colour.
    int fondtexte() const { return fond_; }
    void definirFondtexte(int rvb);

    // Selection. Setting the start collapses the selection there (error 5 outside 0..length);
    // setting the length selects from the start, cut at the end of the text (error 5 when negative).
    int selectiondebut() const;
    void definirSelectiondebut(int debut);
    int selectionlongueur() const;
    void definirSelectionlongueur(int longueur);
    QString selectiontexte() const;

    QString selpolice() const;
    void definirSelpolice(const QString& nom);
    double seltaille() const;   // points
    void definirSeltaille(double points);
    int selcouleur() const;
    void definirSelcouleur(int rvb);
    bool selgras() const;
    void definirSelgras(bool v);
    bool selitalique() const;
    void definirSelitalique(bool v);
    bool selsouligne() const;
    void definirSelsouligne(bool v);
    bool selbarre() const;
    void definirSelbarre(bool v);
    // The six font values of the selection at once.
    Police policeSelection() const;
    // The six font values and the text colour put on the selection together: one change of the
    // document, so that a long text is laid out again once, not once for each value.
    void definirPoliceSelection(const Police& p, int rvb);

    // Width in twips at which lines wrap; 0 wraps at the box's own width.
    int largeurtexte() const { return largeurTexte_; }
    void definirLargeurtexte(int twips);

    // Gives the box the keyboard focus.
    void prendrefocus();

    // Events, run synchronously: a key released (auto-repeat excluded), focus gained or lost,
    // a click in the text (after the caret has moved to the clicked character).
    std::function<void()> surToucheRelachee;
    std::function<void()> surPriseFocus;
    std::function<void()> surPerteFocus;
    std::function<void()> surClic;

    QTextEdit* editeur() const { return editeur_; }
    QTextDocument* document() const;

private:
    QTextEdit* editeur_;
    QPointer<QTextEdit> garde_;
    QMetaObject::Connection connexion_;
    int fond_ = 0xFFFFFF;
    int largeurTexte_ = 0;

    // Positions of the paragraph and line separators in the document, kept until it changes.
    mutable std::vector<int> separateurs_;
    mutable bool carteAJour_ = false;
    // The selection in plain-text positions, and the cursor it was taken from.
    mutable int debut_ = 0, longueur_ = 0;
    mutable int ancreSynchro_ = -1, positionSynchro_ = -1;
    mutable quint64 versionSynchro_ = 0;
    quint64 version_ = 1;
    // The plain text, kept until the document changes.
    mutable QString texte_;
    mutable quint64 versionTexte_ = 0;

    void carte() const;
    int longueurDocument() const;
    int planDepuisDoc(int d) const;
    int docPlancher(int p) const;
    int docPlafond(int p) const;
    void synchroniser() const;
    QTextCharFormat formatSelection() const;
    void appliquer(const QTextCharFormat& f);
    // The paragraph's own format (its end mark's), the paragraph laid out again.
    void formatDeBloc(QTextCursor& c, const QTextCharFormat& f);
    void selectionner(int debut, int longueur);
};

}  // namespace kal
