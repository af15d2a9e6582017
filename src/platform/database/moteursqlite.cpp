// The SQLite engine as the work-database layer uses it: its failures turned into the program's
// messages, prepared statements, and the column types with the conversion of values to and from
// what the file stores.
#include "platform/database/interne.h"

#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"

#include <QByteArray>
#include <QRegularExpression>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace kal::bd {

Moteur::~Moteur() { interne::fermer(*this); }

}  // namespace kal::bd

namespace kal::bd::interne {

namespace {

constexpr int TableIntrouvable = 3078;

// The engine's own texts in French: the fixed ones, then those that end with a name.
QString moteurEnFrancais(const QString& moteur)
{
    static const std::pair<const char*, const char*> fixes[] = {
        {"database is locked", "la base est verrouillée"},
        {"database table is locked", "la table est verrouillée"},
        {"file is not a database", "le fichier n'est pas une base de données"},
        {"database disk image is malformed", "le contenu du fichier est endommagé"},
        {"attempt to write a readonly database", "écriture refusée : la base est en lecture seule"},
        {"unable to open database file", "le fichier de la base ne peut pas être ouvert"},
        {"disk I/O error", "erreur de lecture ou d'écriture du disque"},
        {"database or disk is full", "la base ou le disque est plein"},
        {"out of memory", "la mémoire manque"},
        {"access permission denied", "accès refusé"},
        {"authorization denied", "autorisation refusée"},
        {"SQL logic error", "opération refusée par le moteur"},
    };
    for (const auto& [anglais, francais] : fixes)
        if (moteur == QLatin1String(anglais))
            return QString::fromUtf8(francais);
    static const std::pair<const char*, const char*> avecNom[] = {
        {"no such table: ", "table absente : "},
        {"no such column: ", "champ absent : "},
    };
    for (const auto& [anglais, francais] : avecNom)
        if (moteur.startsWith(QLatin1String(anglais)))
            return QString::fromUtf8(francais) + moteur.mid(int(std::strlen(anglais)));
    static const QRegularExpression vue(QStringLiteral("^cannot modify (.+) because it is a view$"));
    if (const QRegularExpressionMatch m = vue.match(moteur); m.hasMatch())
        return QStringLiteral("%1 est une vue, qui ne peut pas être modifiée").arg(m.captured(1));
    return QStringLiteral("erreur du moteur");
}

// Messages for the user: the first line says what happened to which file and what can be done;
// the engine's own text, when there is one, follows on a second line, in French.
QString message(const QString& premiere, const QString& moteur = {})
{
    if (moteur.isEmpty())
        return premiere;
    return lignesMessage({premiere, QStringLiteral("(SQLite : %1)").arg(moteurEnFrancais(moteur))});
}

QString cheminDe(sqlite3* db)
{
    const char* f = db ? sqlite3_db_filename(db, "main") : nullptr;
    return f ? QString::fromUtf8(f) : QString();
}

// Engine failures the user can mend: what happened to the file (%1) and what to do before trying
// again. A SQLite result code and its neighbour of the same meaning share one entry.
struct ARecommencer {
    int code;
    int autreCode;
    const char* constat;
    const char* geste;
};

constexpr ARecommencer aRecommencer[] = {
    {SQLITE_READONLY, SQLITE_READONLY,
     "La base de données %1 est en lecture seule : la modification n'a pas été enregistrée.",
     "Rendre le fichier et son dossier modifiables"},
    {SQLITE_CANTOPEN, SQLITE_CANTOPEN, "La base de données %1 ne peut être ni ouverte ni modifiée.",
     "Vérifier que le fichier et son dossier existent et sont modifiables"},
    {SQLITE_BUSY, SQLITE_LOCKED, "La base de données %1 est occupée par un autre programme.",
     "Fermer cet autre programme"},
    {SQLITE_IOERR, SQLITE_IOERR, "La base de données %1 n'a pas pu être lue ou écrite (erreur du disque).",
     "Vérifier le disque"},
    {SQLITE_PERM, SQLITE_AUTH, "L'accès à la base de données %1 est refusé.",
     "Vérifier les droits du fichier et de son dossier"},
    {SQLITE_NOMEM, SQLITE_NOMEM, "La mémoire manque pour lire la base de données %1.", "Fermer d'autres programmes"},
};

}  // namespace

QString nomQuote(const QString& nom)
{
    QString n = nom;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QString remede()
{
    return QStringLiteral("Remplacer ce fichier par une copie intacte, ou le renommer pour que le programme crée une base neuve.");
}

[[noreturn]] void tableAbsente(sqlite3* db, const QString& chemin, const QString& table, const QString& moteur)
{
    bool vide = false;
    bool vue = false;   // the name is a view's: another program's work on the file
    if (db) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type='table'", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            vide = sqlite3_column_int(st, 0) == 0;
        sqlite3_finalize(st);
        st = nullptr;
        const QByteArray nom = table.toUtf8();
        if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type='view' AND name = ?1 COLLATE NOCASE", -1, &st,
                               nullptr) == SQLITE_OK &&
            sqlite3_bind_text(st, 1, nom.constData(), int(nom.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            vue = true;
        sqlite3_finalize(st);
    }
    if (vue)
        throw Erreur(TableIntrouvable,
                     message(QStringLiteral("Dans la base de données %1, %2 est une vue et non la table des objets : le "
                                            "fichier a été modifié par un autre programme. %3")
                                 .arg(chemin, table, remede()),
                             moteur));
    if (vide)
        throw Erreur(TableIntrouvable,
                     message(QStringLiteral("La base de données %1 est vide : la table %2 n'y est pas. %3").arg(chemin, table, remede()),
                             moteur));
    throw Erreur(TableIntrouvable,
                 message(QStringLiteral("La table %1 est absente de la base de données %2. %3").arg(table, chemin, remede()), moteur));
}

[[noreturn]] void echecFichier(sqlite3* db, int code, const QString& chemin)
{
    const QString moteur = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    const QString f = chemin.isEmpty() ? QStringLiteral("(en mémoire)") : chemin;
    auto moteurErreur = [&](const QString& premiere) { return Erreur(err::ErreurMoteur, message(premiere, moteur)); };
    switch (code & 0xFF) {
    case SQLITE_NOTADB:
        throw Erreur(err::FormatInconnu,
                     message(QStringLiteral("Le fichier %1 n'est pas une base de données du programme ; il n'a pas été modifié. %2")
                                 .arg(f, remede()),
                             moteur));
    case SQLITE_CORRUPT:
        throw moteurErreur(QStringLiteral("La base de données %1 est endommagée. %2").arg(f, remede()));
    default:
        break;
    }
    // A full disk, whether the engine says so or meets it as a failed write of its log or of the
    // log's index: the cause is said as the file system's failures say it.
    const bool plein = (code & 0xFF) == SQLITE_FULL ||
                       ((code & 0xFF) == SQLITE_IOERR && db &&
                        (sqlite3_system_errno(db) == ENOSPC || sqlite3_system_errno(db) == EDQUOT));
    if (plein)
        throw Erreur(err::ErreurMoteur,
                     message(QStringLiteral("La base de données %1 n'a pas pu être modifiée : le disque est plein. Libérer "
                                            "de la place, puis recommencer.")
                                 .arg(f),
                             moteur),
                     QStringLiteral("le disque est plein"));
    for (const ARecommencer& a : aRecommencer)
        if ((code & 0xFF) == a.code || (code & 0xFF) == a.autreCode)
            throw moteurErreur(QString::fromUtf8(a.constat).arg(f) + QLatin1Char(' ') + QString::fromUtf8(a.geste) +
                               QStringLiteral(", puis recommencer."));
    if (moteur.startsWith(QLatin1String("no such table: ")))
        tableAbsente(db, f, moteur.mid(15), moteur);
    if (moteur.startsWith(QLatin1String("no such column: ")))
        throw moteurErreur(QStringLiteral("Le champ %1 est absent de la base de données %2. %3").arg(moteur.mid(16), f, remede()));
    throw moteurErreur(QStringLiteral("La base de données %1 a refusé une opération du programme. Si ce fichier vient d'un autre "
                                      "programme, le remplacer par une copie intacte.")
                           .arg(f));
}

[[noreturn]] void echec(sqlite3* db, int code) { echecFichier(db, code, cheminDe(db)); }

sqlite3* ouvrirFichier(const QString& chemin, int drapeaux)
{
    inscrireVfs();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(chemin.toUtf8().constData(), &db, drapeaux, nullptr);
    if (rc != SQLITE_OK) {
        struct Fermeture {
            sqlite3* db;
            ~Fermeture() { sqlite3_close_v2(db); }
        } fermeture{db};
        echecFichier(db, rc, chemin);
    }
    sqlite3_busy_timeout(db, 2000);
    // A double-quoted name is a name only: without this, a field missing from the table would be
    // taken as a text ("occup" = 1 is then false for every record) and a query naming it would
    // silently find nothing instead of failing.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    return db;
}

// How the work database is kept sound. A connection that writes holds the file's locks alone
// (locking_mode=EXCLUSIVE, from its first read to its close): the program is alone in its work
// folder (verroudossier), and in the process every Base opened on the file shares its one
// connection. The log then keeps its index in the connection's memory: nothing is mapped from the
// disk (no <file>-shm), and the only files a write needs are the log and, in the rollback
// journal, the journal, both written by ordinary writes that fail whole on a full disk.
//
// The first write of a connection puts the file in write-ahead logging with synchronous=NORMAL:
// a commit appends the changed pages to the log beside the file (<file>-wal) and waits on no disk
// flush; only a checkpoint, which copies the log into the file (when the log passes its limit,
// and at close), flushes the log then the file. A program killed at any moment leaves every commit
// it made, replayed from the log at the next opening. After a power cut the file holds a
// consistent state, at worst without the last few commits: the log's checksums tell a torn write,
// and the file is only written from a log that is on the disk. The work database is the program's
// working state, so a user action costs no flush; what the user would lose (saved pages) is copied
// from the file once closed. A closed file is back in the usual rollback-journal mode, whole on its
// own, as copies and other programs expect. Where the log cannot be made (a full disk, a folder
// that cannot be written) the write fails with that cause, before anything is written; a file
// that stays in its rollback journal all the same has every commit flushed as before.
void reglerConnexion(sqlite3* db) { (void)sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr); }

void preparerEcriture(Connexion& c)
{
    Moteur& m = *c.m;
    if (c.lecture)
        echecFichier(nullptr, SQLITE_READONLY, c.chemin);
    if (m.echecTransaction)
        throw *m.echecTransaction;
    if (m.journalEcrit || !sqlite3_get_autocommit(m.db) || sqlite3_db_readonly(m.db, "main") == 1)
        return;   // a file the system keeps read-only: the write says so itself
    // NORMAL first: the switch itself is then flushed once and not as a rollback-journal commit.
    ecriture(c, [&] {
        executer(m.db, QStringLiteral("PRAGMA synchronous=NORMAL"));
        Requete r(m.db, QStringLiteral("PRAGMA journal_mode=WAL"));
        m.journalEcrit = r.pas() && r.brut(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    });
    if (!m.journalEcrit)
        (void)sqlite3_exec(m.db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
}

namespace {

// The connection opened again on its file, after a failure that left it unusable. When that
// fails too it stays closed: its Bases are then closed (3420), and a data source opens the file
// anew at its next refresh.
void rouvrir(Moteur& m)
{
    sqlite3_close_v2(m.db);
    m.db = nullptr;
    m.journalEcrit = false;
    ++m.annulations;
    try {
        m.db = ouvrirFichier(m.chemin, SQLITE_OPEN_READWRITE);
        if (sqlite3_db_readonly(m.db, "main") != 1)
            reglerConnexion(m.db);
        executer(m.db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const Erreur&) {
        // The failure under way is the one reported; the file is tried again at the next open.
        sqlite3_close_v2(m.db);
        m.db = nullptr;
    }
}

}  // namespace

// A write or a commit that failed leaves nothing behind: a transaction the engine kept open is
// rolled back (all of it: a transaction of the program is then over, and its later writes and its
// validation fail with the same cause), the record sets read their records from the file again,
// and the engine is made to clear what the failure left (a journal to play back) at once by a
// read; a connection that cannot roll back or read is closed and opened again.
void apresEchec(Connexion& c, const Erreur& e)
{
    if (!c.m || !c.m->db)
        return;
    Moteur& m = *c.m;
    bool reouvrir = false;
    if (!sqlite3_get_autocommit(m.db))
        reouvrir = sqlite3_exec(m.db, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK || !sqlite3_get_autocommit(m.db);
    ++m.annulations;
    if (m.transaction && !m.echecTransaction)
        m.echecTransaction = e;
    if (!reouvrir) {
        const int rc = sqlite3_exec(m.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) & 0xFF;
        reouvrir = rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED;
    }
    if (reouvrir)
        rouvrir(m);
}

void fermer(Connexion& c)
{
    if (!c.m)
        return;
    std::shared_ptr<Moteur> m = std::move(c.m);
    // A transaction of this Base left under way ends with it, even when other Bases keep the file.
    if (m->transaction == &c) {
        m->transaction = nullptr;
        m->echecTransaction.reset();
        if (m->db && !sqlite3_get_autocommit(m->db)) {
            (void)sqlite3_exec(m->db, "ROLLBACK", nullptr, nullptr, nullptr);
            ++m->annulations;
        }
    }
    // Other Bases keep the file open: the log is at least emptied into the file, so that the file
    // alone holds every commit, as a closed file does (the copy of a save, a file replaced). When
    // that cannot be done, bd::rendreAutonome says why.
    if (m.use_count() > 1 && m->db && m->journalEcrit && sqlite3_get_autocommit(m->db))
        (void)sqlite3_wal_checkpoint_v2(m->db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

void fermer(Moteur& m)
{
    if (!m.db)
        return;
    if (!sqlite3_get_autocommit(m.db))
        (void)sqlite3_exec(m.db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (m.journalEcrit) {
        // Back to the rollback journal, which copies the log into the file and removes it; when
        // that cannot be done (a full disk), the log is at least emptied into the file, and the
        // closing removes it.
        sqlite3_busy_timeout(m.db, 0);
        sqlite3_stmt* st = nullptr;
        bool rendu = false;
        if (sqlite3_prepare_v2(m.db, "PRAGMA journal_mode=DELETE", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            const char* mode = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            rendu = mode && qstricmp(mode, "delete") == 0;
        }
        sqlite3_finalize(st);
        if (!rendu)
            (void)sqlite3_wal_checkpoint_v2(m.db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        m.journalEcrit = false;
    }
    sqlite3_close_v2(m.db);
    m.db = nullptr;
}

sqlite3* dbOuverte(const std::shared_ptr<Connexion>& c)
{
    if (!c || !c->db())
        throw Erreur(err::ObjetFerme, QStringLiteral("la base de données est fermée"));
    return c->db();
}

// ------------------------------------------------------------------------------------ Requete

Requete::Requete(sqlite3* db, const QString& sql) : db_(db)
{
    const QByteArray u = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, u.constData(), int(u.size()), &st_, nullptr);
    if (rc != SQLITE_OK)
        echec(db, rc);
}

bool Requete::pas()
{
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    echec(db_, rc);
}

void Requete::lier(int i, const QVariant& v)
{
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull())
        rc = sqlite3_bind_null(st_, i);
    else if (v.typeId() == QMetaType::QString) {
        const QByteArray u = v.toString().toUtf8();
        rc = sqlite3_bind_text(st_, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        rc = sqlite3_bind_double(st_, i, v.toDouble());
    else
        rc = sqlite3_bind_int64(st_, i, v.toLongLong());
    if (rc != SQLITE_OK)
        echec(db_, rc);
}

QVariant Requete::brut(int i) const
{
    switch (sqlite3_column_type(st_, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(st_, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st_, i));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st_, i)),
                                          sqlite3_column_bytes(st_, i)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(reinterpret_cast<const char*>(sqlite3_column_blob(st_, i)),
                                   sqlite3_column_bytes(st_, i)));
    default:
        return QVariant();
    }
}

QString Requete::typeDeclare(int i) const
{
    const char* t = sqlite3_column_decltype(st_, i);
    return t ? QString::fromUtf8(t) : QString();
}

void executer(sqlite3* db, const QString& sql)
{
    Requete r(db, sql);
    while (r.pas()) {
    }
}

bool tableExiste(sqlite3* db, const QString& table, QString* nomExact)
{
    Requete r(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name = ?1 COLLATE NOCASE"));
    r.lier(1, table);
    if (!r.pas())
        return false;
    if (nomExact)
        *nomExact = r.brut(0).toString();
    return true;
}

// ------------------------------------------------------------------------------ Types, values

QString typeSql(TypeChamp t)
{
    switch (t) {
    case TypeChamp::Booleen: return QStringLiteral("BOOLEAN");
    case TypeChamp::Octet: return QStringLiteral("TINYINT");
    case TypeChamp::Entier: return QStringLiteral("SMALLINT");
    case TypeChamp::Long: return QStringLiteral("INTEGER");
    case TypeChamp::Simple: return QStringLiteral("FLOAT");
    case TypeChamp::Double: return QStringLiteral("DOUBLE");
    case TypeChamp::Texte: return QStringLiteral("VARCHAR(255)");
    case TypeChamp::Memo: return QStringLiteral("LONGTEXT");
    }
    return QStringLiteral("INTEGER");
}

TypeChamp typeDepuisDeclare(const QString& d, const QVariant& exemple)
{
    const QString t = d.toUpper();
    if (t.isEmpty()) {
        if (exemple.typeId() == QMetaType::QString)
            return TypeChamp::Memo;
        return exemple.typeId() == QMetaType::Double ? TypeChamp::Double : TypeChamp::Long;
    }
    if (t.contains(QLatin1String("BOOL")) || t == QLatin1String("BIT") || t == QLatin1String("YESNO"))
        return TypeChamp::Booleen;
    if (t == QLatin1String("TINYINT") || t == QLatin1String("BYTE"))
        return TypeChamp::Octet;
    if (t == QLatin1String("SMALLINT") || t == QLatin1String("SHORT"))
        return TypeChamp::Entier;
    if (t.contains(QLatin1String("INT")) || t == QLatin1String("LONG"))
        return TypeChamp::Long;
    if (t == QLatin1String("FLOAT") || t == QLatin1String("SINGLE") || t == QLatin1String("REAL4"))
        return TypeChamp::Simple;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("NUM")) || t.contains(QLatin1String("DEC")))
        return TypeChamp::Double;
    if (t.startsWith(QLatin1String("VARCHAR")) || t == QLatin1String("CHAR"))
        return TypeChamp::Texte;
    return TypeChamp::Memo;
}

// Stored value (as SQLite gives it) to the value of the column type.
QVariant depuisStockage(TypeChamp t, const QVariant& brut)
{
    if (!brut.isValid() || brut.isNull())
        return QVariant();
    switch (t) {
    case TypeChamp::Booleen: return QVariant(brut.toDouble() != 0);
    case TypeChamp::Octet:
    case TypeChamp::Entier:
    case TypeChamp::Long: return QVariant(int(brut.toLongLong()));
    case TypeChamp::Simple: return QVariant(float(brut.toDouble()));
    case TypeChamp::Double: return QVariant(brut.toDouble());
    case TypeChamp::Texte:
    case TypeChamp::Memo: return QVariant(brut.toString());
    }
    return brut;
}

namespace {

// A value put by the program to a number (Booleans as the engine stores them: True is -1).
double enNombre(const QVariant& v, const QString& champ)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1.0 : 0.0;
    bool ok = false;
    const double d = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw Erreur(kal::err::TypeIncompatible,
                     QStringLiteral("valeur « %1 » impossible à ranger dans le champ numérique %2").arg(v.toString(), champ));
    return d;
}

}  // namespace

QVariant versStockage(TypeChamp t, const QVariant& v, const QString& champ)
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    auto hors = [&]() {
        return Erreur(kal::err::Depassement, QStringLiteral("valeur %1 hors des limites du champ %2").arg(v.toString(), champ));
    };
    switch (t) {
    case TypeChamp::Booleen: {
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s.compare(QLatin1String("vrai"), Qt::CaseInsensitive) == 0)
                return QVariant(qint64(1));
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.compare(QLatin1String("faux"), Qt::CaseInsensitive) == 0)
                return QVariant(qint64(0));
        }
        return QVariant(qint64(enNombre(v, champ) != 0 ? 1 : 0));
    }
    case TypeChamp::Octet:
    case TypeChamp::Entier:
    case TypeChamp::Long: {
        const double d = enNombre(v, champ);
        int32_t n = 0;
        try {
            n = kal::arrondi(d);
        } catch (const Erreur&) {
            throw hors();
        }
        if (t == TypeChamp::Entier && (n < -32768 || n > 32767))
            throw hors();
        if (t == TypeChamp::Octet && (n < 0 || n > 255))
            throw hors();
        return QVariant(qint64(n));
    }
    case TypeChamp::Simple: {
        const double d = enNombre(v, champ);
        if (std::fabs(d) > double(std::numeric_limits<float>::max()))
            throw hors();
        return QVariant(double(float(d)));
    }
    case TypeChamp::Double: return QVariant(enNombre(v, champ));
    case TypeChamp::Texte:
    case TypeChamp::Memo: {
        const QString s = v.typeId() == QMetaType::Bool ? (v.toBool() ? QStringLiteral("True") : QStringLiteral("False"))
                                                        : v.toString();
        if (t == TypeChamp::Texte && s.size() > 255)
            throw Erreur(err::ChampTropPetit, QStringLiteral("texte de %1 caractères trop long pour le champ %2").arg(s.size()).arg(champ));
        return QVariant(s);
    }
    }
    return v;
}

}  // namespace kal::bd::interne
