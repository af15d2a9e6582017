#pragma once
// Inside of the work-database layer: the open SQLite file, prepared statements, the engine's
// failures turned into the program's messages, and the column types with their value conversions.
#include "platform/database/basedonnees.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <sqlite3.h>

namespace kal::bd {

struct Connexion {
    sqlite3* db = nullptr;
    QString chemin;
    bool journalEcrit = false;   // the file went to write-ahead logging for this connection's writes
    ~Connexion();
};

namespace interne {

// The engine's file steps through the file layer's fault seam: made the default VFS once, before
// the first open (vfspanne.cpp).
void inscrireVfs();

// Before the first write of a connection: see moteursqlite.cpp.
void preparerEcriture(Connexion& c);
// Closes the connection, the file left whole on its own (no log beside it).
void fermer(Connexion& c);

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
