#pragma once
// Inside of the work-database layer: the open SQLite file, prepared statements, the engine's
// failures turned into the program's messages, and the column types with their value conversions.
#include "platform/base/erreur.h"
#include "platform/database/basedonnees.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace kal::bd {

// The one SQLite connection of the process to a file, shared by every Base opened on it (its
// record sets and transactions included): the connection holds the file's locks alone, so that
// its log needs no index on the disk (see moteursqlite.cpp).
struct Moteur {
    sqlite3* db = nullptr;
    QString chemin;
    bool journalEcrit = false;   // the file went to write-ahead logging for this connection's writes
    // Bumped at each rollback of changes and each new opening: the record sets read their
    // records again from the file before they are next used.
    quint64 annulations = 0;
    const Connexion* transaction = nullptr;   // the Base whose bd::Transaction is under way
    // A write of that transaction failed and the transaction is rolled back: why, given again to
    // the writes and the validation that would follow.
    std::optional<Erreur> echecTransaction;
    ~Moteur();
};

// A database as one Base, its copies and its record sets hold it: closing it (Base::fermer)
// leaves the other Bases on the same file open.
struct Connexion {
    std::shared_ptr<Moteur> m;
    QString chemin;
    bool lecture = false;   // opened by Base::lire: nothing is written through it
    sqlite3* db() const { return m ? m->db : nullptr; }
};

namespace interne {

// The engine's file steps through the file layer's fault seam: made the default VFS once, before
// the first open (vfspanne.cpp).
void inscrireVfs();

// Opens the file with the engine's flags; the engine's failure when it cannot (echecFichier).
sqlite3* ouvrirFichier(const QString& chemin, int drapeaux);
// Settings of a connection that writes, before its first read: its locks held alone, so that its
// log keeps its index in memory. Not for a connection the system opened read-only.
void reglerConnexion(sqlite3* db);
// Before the first write of a connection: see moteursqlite.cpp. Raises when the write must not
// be made (a Base opened for reading, a transaction already rolled back, a log that cannot be made).
void preparerEcriture(Connexion& c);
// After a write or a commit that failed: nothing of it stays, the connection is usable again
// (see moteursqlite.cpp). `e` is the failure, raised again by the caller.
void apresEchec(Connexion& c, const Erreur& e);
// Lets go of one Base: the connection is closed when no Base holds it any more.
void fermer(Connexion& c);
// Closes the connection, the file left whole on its own (no log beside it).
void fermer(Moteur& m);

// A name as an SQL identifier: "name", inner quotes doubled.
QString nomQuote(const QString& nom);

// What the user can do with a damaged or foreign database file (ends the messages about it).
QString remede();

// A table missing from the file at `chemin`; says when the file holds no table at all.
[[noreturn]] void tableAbsente(sqlite3* db, const QString& chemin, const QString& table, const QString& moteur = {});
// A failure of the engine on a database file (the path given, or the connection's own).
[[noreturn]] void echecFichier(sqlite3* db, int code, const QString& chemin);
[[noreturn]] void echec(sqlite3* db, int code);

// The connection of an open database; 3420 when it was closed.
sqlite3* dbOuverte(const std::shared_ptr<Connexion>& c);
// Runs `f` (a write of the connection); its failure goes through apresEchec, then on.
template <class F>
decltype(auto) ecriture(Connexion& c, F&& f)
{
    try {
        return f();
    } catch (const Erreur& e) {
        apresEchec(c, e);
        throw;
    }
}

// A prepared statement, finalised on every path.
class Requete {
public:
    Requete(sqlite3* db, const QString& sql);
    ~Requete() { sqlite3_finalize(st_); }
    Requete(const Requete&) = delete;
    Requete& operator=(const Requete&) = delete;

    bool pas();   // true while a row is there
    void lier(int i, const QVariant& v);
    QVariant brut(int i) const;
    int colonnes() const { return sqlite3_column_count(st_); }
    QString nom(int i) const { return QString::fromUtf8(sqlite3_column_name(st_, i)); }
    QString typeDeclare(int i) const;

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

void executer(sqlite3* db, const QString& sql);
bool tableExiste(sqlite3* db, const QString& table, QString* nomExact = nullptr);

// Column types: the declared SQL type of each, and back (a column without one, an expression,
// reads as a Memo or a Double after its value).
QString typeSql(TypeChamp t);
TypeChamp typeDepuisDeclare(const QString& d, const QVariant& exemple);

// Stored value (as SQLite gives it) to the value of the column type, and a value put by the
// program to the value stored in a column of that type (13, 6 or 3163 when it does not fit).
QVariant depuisStockage(TypeChamp t, const QVariant& brut);
QVariant versStockage(TypeChamp t, const QVariant& v, const QString& champ);

}  // namespace interne
}  // namespace kal::bd
