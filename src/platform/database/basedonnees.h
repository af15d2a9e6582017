#pragma once
// The work database: one SQLite file (named kalmorin.mdb by the program) reached the way the
// editors use it: a data source bound to a file and a record source (a table name or an SQL
// text), refreshed into a record set that is walked, searched, edited, updated and added to.
// Values are QVariant with the engine's column types (Boolean, Integer, Long, Single, Double,
// Text, Memo). Every failure is a kal::Erreur carrying the engine's error number
// (kal::bd::err): a field that does not exist raises 3265.
#include "platform/database/sqljet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

namespace kal::bd {

// Column types by the engine's type codes (3 is the 16-bit Integer).
enum class TypeChamp {
    Booleen = 1,
    Octet = 2,
    Entier = 3,   // 16-bit integer
    Long = 4,     // 32-bit integer
    Simple = 6,   // single-precision real
    Double = 7,
    Texte = 10,   // up to 255 characters
    Memo = 12,
};

struct DefinitionChamp {
    QString nom;
    TypeChamp type = TypeChamp::Long;
    QVariant defaut = {};   // value of the column in a record added without it
};

struct Connexion;   // the open SQLite file, shared by a database and its record sets

class JeuEnregistrements;

// A database file opened by path, shared and writable (the engine's "open database").
class Base {
public:
    Base() = default;
    // Opens an existing file: 3024 when it is missing, 3343 when it is no database.
    static Base ouvrir(const QString& chemin);
    // The same, for reading only: nothing of the file or beside it is written.
    static Base lire(const QString& chemin);
    // Makes a new empty database file: 3204 when the file exists.
    static Base creer(const QString& chemin);

    bool ouverte() const;
    // Open for reading only (by Base::lire, or a file the system kept read-only when opened).
    bool lectureSeule() const;
    QString chemin() const;
    void fermer();   // closes the file; the record sets taken from it become unusable (3420)

    QStringList tables() const;
    void creerTable(const QString& table, const QList<DefinitionChamp>& champs);
    // Adds a column to an existing table: 3265 when the table is missing, 3191 when the field
    // exists. The records already there hold no value (null) in it.
    void ajouterChamp(const QString& table, const QString& nom, TypeChamp type);
    // Runs a record source (a table name or an SQL text of the program) into a record set.
    JeuEnregistrements ouvrirJeu(const QString& source) const;
    // The fields `champs` of every record of the table, in the table's order, as the file stores
    // them: before any conversion to the field's type (a text stays a text, SQL NULL is a null
    // value). 3265 for a table or a field that is not there. A file made elsewhere is checked
    // with it before it is used: a record set shows a text stored in a numeric field as 0.
    std::vector<QVariantList> valeursStockees(const QString& table, const QStringList& champs) const;

private:
    friend class Transaction;
    explicit Base(std::shared_ptr<Connexion> c) : c_(std::move(c)) {}
    std::shared_ptr<Connexion> c_;
};

// The writes made on a database while it lives, its record sets' included, form one transaction
// of the engine: all stored by valider(), none when it is rolled back (annuler(), or its end
// without valider). One begun while another is under way joins that one, which decides for both.
// A commit the engine refuses (a full disk) is rolled back and raises its error.
class Transaction {
public:
    explicit Transaction(Base& base);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void valider();
    void annuler();

private:
    std::shared_ptr<Connexion> c_;
    bool propre_ = false;   // begun here, not joined
};

// Makes a closed database file whole on its own, as a copy and other programs expect it: a file
// whose closing could not take it out of write-ahead logging (a write that failed then) is taken
// out now, its log copied in and removed; a rollback journal left beside it is played back. The
// engine's error (a full disk...) when it cannot be, or 75 when a log with changes the file lacks
// stays beside it. `partage`: another connection may hold the file; one whose log holds nothing
// is then whole already and left in its mode.
void rendreAutonome(const QString& chemin, bool partage = false);

// The records of a record source, in its order, with a current record.
class JeuEnregistrements {
public:
    JeuEnregistrements() = default;

    bool fin() const;     // past the last record (also when there is none)
    bool debut() const;   // before the first record (also when there is none)
    int nombre() const;
    void premier();
    void suivant();       // 3021 when already past the end
    void precedent();     // 3021 when already before the start
    void dernier();

    // Positions on the first record satisfying the criterion ("numero=5", "occup=True").
    // When none does, sansCorrespondance() is true and there is no current record.
    void chercherPremier(const QString& critere);
    bool sansCorrespondance() const { return sansCorrespondance_; }

    QStringList champs() const;
    bool aChamp(const QString& nom) const;
    TypeChamp typeChamp(const QString& nom) const;   // 3265 when missing

    // Field of the current record (names without regard to letter case): 3265 for a field
    // that does not exist, 3021 without a current record. While editing, the value put.
    QVariant valeur(const QString& champ) const;

    void modifier();         // begins an edit of the current record (3021 without one)
    void ajouterNouveau();   // begins a new record, to be appended by miseAJour()
    // Puts a value in the edit buffer, converted to the column type: 3020 outside an edit,
    // 3265 for a missing field, 13 when it cannot be converted, 6 when out of range, 3163
    // for a text longer than the field.
    void mettre(const QString& champ, const QVariant& v);
    void miseAJour();        // commits the edit or the new record to the file (3020 without one)
    void annulerMiseAJour(); // drops the edit buffer
    bool enEdition() const { return mode_ != Mode::Aucun; }

private:
    friend class Base;
    enum class Mode { Aucun, Edition, Ajout };
    struct Colonne {
        QString nom;
        TypeChamp type;
    };
    struct Ligne {
        qint64 rowid = -1;
        std::vector<QVariant> valeurs;
    };

    void verifierOuvert() const;
    int indexChamp(const QString& nom) const;   // 3265 when missing
    void verifierCourant() const;
    bool lireLigne(Ligne& l) const;     // false when the record is no longer in the file
    void relireLigne(Ligne& l) const;   // 3167 when the record is no longer in the file
    void suivreFichier() const;
    void sortirEdition() { mode_ = Mode::Aucun; tampon_.clear(); modifies_.clear(); }

    std::shared_ptr<Connexion> c_;
    QString table_;   // empty: the record source cannot be updated
    std::vector<Colonne> colonnes_;
    // The records as read from the file; read again after a rollback on the connection (changes
    // that did not last), however the record set is reached: suivreFichier().
    mutable std::vector<Ligne> lignes_;
    mutable qsizetype pos_ = 0;   // -1 before the start, size() past the end
    mutable quint64 vu_ = 0;      // the connection's rollbacks the records take into account
    mutable bool aRelire_ = false;
    bool sansCorrespondance_ = false;
    Mode mode_ = Mode::Aucun;
    std::vector<QVariant> tampon_;
    std::vector<bool> modifies_;
};

// A stored value (from valeursStockees) as a field of type t reads it: 13 when it is no value of
// that type (a text that is no number in a numeric field), 6 past the type's range, 3163 for a
// text longer than a Texte field. A null stays null.
QVariant valeurDuType(TypeChamp t, const QVariant& stockee, const QString& champ);

// A data source in the manner of the editors' data controls: a database name (full path),
// a record source, refresh, the open record set, and closing the file so that it can be
// copied or replaced.
class SourceDonnees {
public:
    void definirBase(const QString& chemin);     // takes effect at the next refresh
    QString base() const { return chemin_; }
    void definirSource(const QString& source);   // takes effect at the next refresh
    QString source() const { return source_; }

    // Opens the file when needed and runs the record source again; the record set then
    // reflects the file (fields added since included) and stands on its first record.
    void actualiser();
    // The open record set (3420 before the first refresh or after closing).
    JeuEnregistrements& jeu();
    // The open database (3420 when closed).
    Base& baseOuverte();
    // Closes the file held open; the next refresh opens it again.
    void fermerBase();

private:
    QString chemin_;
    QString source_;
    Base base_;
    QString cheminOuvert_;
    JeuEnregistrements jeu_;
    bool jeuValide_ = false;
};

}  // namespace kal::bd
