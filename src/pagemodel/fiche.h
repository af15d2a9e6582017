#pragma once
// The object records of the table `kalmorin`, read and written in one place. A record is
// found with the criterion "numero=" followed by its number; a write begins an edit, puts
// fields by name and commits with an update. The field names are the constants of `champ`.
#include "platform/database/basedonnees.h"

#include <QString>
#include <QVariant>

namespace kal {

namespace champ {
inline const QString numero = QStringLiteral("numero");
inline const QString occup = QStringLiteral("occup");
inline const QString topimp = QStringLiteral("topimp");
inline const QString leftimp = QStringLiteral("leftimp");
inline const QString widthimp = QStringLiteral("widthimp");
inline const QString heightimp = QStringLiteral("heightimp");
inline const QString rot = QStringLiteral("rot");
inline const QString cadre = QStringLiteral("cadre");
inline const QString textimage = QStringLiteral("textimage");
inline const QString texte = QStringLiteral("texte");
inline const QString backcolor = QStringLiteral("backcolor");
inline const QString fontname = QStringLiteral("fontname");
inline const QString fontsize = QStringLiteral("fontsize");
inline const QString fontcolor = QStringLiteral("fontcolor");
inline const QString fontbold = QStringLiteral("fontbold");
inline const QString fontitalic = QStringLiteral("fontitalic");
inline const QString fontunderline = QStringLiteral("fontunderline");
inline const QString fontstrikethru = QStringLiteral("fontstrikethru");
inline const QString coulminiat = QStringLiteral("coulminiat");
inline const QString topminiat = QStringLiteral("topminiat");
inline const QString leftminiat = QStringLiteral("leftminiat");
// Page-settings record (numero 16 of a page)
inline const QString orientation = QStringLiteral("orientation");
inline const QString papersize = QStringLiteral("papersize");
inline const QString largeurpage = QStringLiteral("largeurpage");
inline const QString hauteurpage = QStringLiteral("hauteurpage");
inline const QString scaleheight = QStringLiteral("scaleheight");
inline const QString scalewidth = QStringLiteral("scalewidth");
}  // namespace champ

// Number of the page's settings record.
constexpr int NumeroFicheConfig = 16;

// Criterion that finds the record of object n: "numero=" immediately followed by n.
QString critereNumero(int n);
// Record source of one jacket face: its 16 records, base to base + 15.
QString sourceFace(int base);

// The records as a data source holds them.
class Fiches {
public:
    explicit Fiches(bd::SourceDonnees& source) : d_(source) {}

    // Runs the record source again (the record set then reflects the file).
    void actualiser() { d_.actualiser(); }
    // The whole table as record source, refreshed.
    void sourceTable();

    // Positions on record n of the open record set and returns it.
    bd::JeuEnregistrements& trouver(int n);
    QVariant lire(int n, const QString& nom) { return trouver(n).valeur(nom); }

    // Finds record n and begins its edit; a failure here reaches the caller as it is.
    bd::JeuEnregistrements& editer(int n);
    // Puts the fields of the record being edited with `remplir` and commits them; a record
    // left as the file holds it is not written at all, so that a step that only restates it
    // (a rebuild, a slot freed again) writes nothing and cannot fail on a full disk. A failure
    // drops the edit and reaches the caller.
    template <class F>
    void valider(F&& remplir)
    {
        bd::JeuEnregistrements& jeu = d_.jeu();
        try {
            const QVariantList avant = valeursEnEdition(jeu);
            remplir(jeu);
            if (valeursEnEdition(jeu) == avant) {
                jeu.annulerMiseAJour();
                return;
            }
            jeu.miseAJour();
        } catch (...) {
            jeu.annulerMiseAJour();
            throw;
        }
    }
    // Edits record n of the open record set with `remplir`.
    template <class F>
    void modifier(int n, F&& remplir)
    {
        editer(n);
        valider(remplir);
    }

    // Runs `etapes` (writes of records of the open table) as one transaction: every record
    // stored, or, when one cannot be (a full disk), none, the failure passed on. Either way the
    // record set is then read again from the file: the next reader finds the log's index as every
    // other write leaves it (a step whose reads were all inside its transaction left none after
    // its commit). The source must be open (sourceTable()).
    template <class F>
    void transaction(F&& etapes)
    {
        bd::Transaction t(d_.baseOuverte());
        try {
            etapes();
            t.valider();
        } catch (...) {
            t.annuler();
            relire();
            throw;
        }
        relire();
    }

    // The table opened and `etapes` run as one transaction, as above. `commencee` becomes true
    // once the transaction has begun: a caller whose step fails tells by it whether anything of
    // the step ran (a table or a transaction that could not even be opened changed nothing).
    template <class F>
    void transactionSurTable(F&& etapes, bool& commencee)
    {
        sourceTable();
        transaction([&] {
            commencee = true;
            etapes();
        });
    }

private:
    static QVariantList valeursEnEdition(const bd::JeuEnregistrements& jeu);
    void relire();
    bd::SourceDonnees& d_;
};

}  // namespace kal
