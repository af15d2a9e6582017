#pragma once
// The little of the Jet dialect that the program sends to the work database, brought to
// SQLite: record-source texts with bracketed names and the words true / false, and search
// criteria made of one comparison ("numero=5", "occup=True").
#include <QString>
#include <QVariant>

namespace kal::bd {

// Error numbers of the database engine that callers may meet.
namespace err {
constexpr int ChampAbsent = 3265;          // item not found in this collection (field, table)
constexpr int SansEdition = 3020;          // update or put without edit / add new
constexpr int AucunEnregistrement = 3021;  // no current record
constexpr int FichierIntrouvable = 3024;   // the database file does not exist
constexpr int LectureSeule = 3027;         // the record source cannot be updated
constexpr int CritereInvalide = 3070;      // a criterion that cannot be read
constexpr int ChampTropPetit = 3163;       // text longer than the field
constexpr int ChampExistant = 3191;        // a field of that name already exists
constexpr int BaseExistante = 3204;        // the database to create already exists
constexpr int ErreurMoteur = 3146;         // any other failure of the engine
constexpr int FormatInconnu = 3343;        // the file is not a database of this program
constexpr int ObjetFerme = 3420;           // the database was closed
}  // namespace err

// Record-source text in the Jet dialect to SQLite: "[name]" becomes a quoted identifier and
// the words true / false become 1 / 0. Quoted strings are left alone; nothing else changes.
QString traduireSql(const QString& jet);

// One comparison "field op value": op is one of = <> < > <= >=, the field may be bracketed,
// the value is a number, True / False, or a quoted text.
struct Critere {
    QString champ;
    QString operateur;
    QVariant valeur;   // double, bool or QString
};

// Reads a criterion; error 3070 when it is not one comparison of that form.
Critere lireCritere(const QString& texte);

// True when the field value satisfies the criterion. A null field matches nothing; a
// Boolean criterion compares the truth of the value (any non-zero number is True); texts
// compare without regard to letter case, as the engine does.
bool satisfait(const Critere& c, const QVariant& valeurChamp);

}  // namespace kal::bd
