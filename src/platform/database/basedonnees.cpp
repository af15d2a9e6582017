#include "platform/database/basedonnees.h"

#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <sqlite3.h>

namespace kal::bd {

struct Connexion {
    sqlite3* db = nullptr;
    QString chemin;
    ~Connexion()
    {
        if (db)
            sqlite3_close_v2(db);
    }
};

namespace {

constexpr int TableIntrouvable = 3078;
constexpr int EnregistrementSupprime = 3167;

QString nomQuote(const QString& nom)
{
    QString n = nom;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

// Messages for the user: the first line says what happened to which file and what can be done;
// the engine's own text, when there is one, follows on a second line.
QString remede()
{
    return QStringLiteral("Remplacer ce fichier par une copie intacte, ou le renommer pour que le programme crée une base neuve.");
}

QString message(const QString& premiere, const QString& moteur = {})
{
    if (moteur.isEmpty())
        return premiere;
    return lignesMessage({premiere, QStringLiteral("(SQLite : %1)").arg(moteur)});
}

QString cheminDe(sqlite3* db)
{
    const char* f = db ? sqlite3_db_filename(db, "main") : nullptr;
    return f ? QString::fromUtf8(f) : QString();
}

[[noreturn]] void tableAbsente(sqlite3* db, const QString& chemin, const QString& table, const QString& moteur = {})
{
    bool vide = false;
    if (db) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type='table'", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            vide = sqlite3_column_int(st, 0) == 0;
        sqlite3_finalize(st);
    }
    if (vide)
        throw Erreur(TableIntrouvable,
                     message(QStringLiteral("La base de données %1 est vide : la table %2 n'y est pas. %3").arg(chemin, table, remede()),
                             moteur));
    throw Erreur(TableIntrouvable,
                 message(QStringLiteral("La table %1 est absente de la base de données %2. %3").arg(table, chemin, remede()), moteur));
}

// A failure of the engine on a database file (the path given, or the connection's own).
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
    case SQLITE_READONLY:
        throw moteurErreur(QStringLiteral("La base de données %1 est en lecture seule : la modification n'a pas été enregistrée. "
                                          "Rendre le fichier et son dossier modifiables, puis recommencer.")
                               .arg(f));
    case SQLITE_CANTOPEN:
        throw moteurErreur(QStringLiteral("La base de données %1 ne peut être ni ouverte ni modifiée. Vérifier que le fichier et "
                                          "son dossier existent et sont modifiables, puis recommencer.")
                               .arg(f));
    case SQLITE_FULL:
        throw moteurErreur(QStringLiteral("Le disque de la base de données %1 est plein : la modification n'a pas été "
                                          "enregistrée. Libérer de la place, puis recommencer.")
                               .arg(f));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw moteurErreur(QStringLiteral("La base de données %1 est occupée par un autre programme. Fermer cet autre "
                                          "programme, puis recommencer.")
                               .arg(f));
    case SQLITE_IOERR:
        throw moteurErreur(QStringLiteral("La base de données %1 n'a pas pu être lue ou écrite (erreur du disque). Vérifier "
                                          "le disque, puis recommencer.")
                               .arg(f));
    case SQLITE_PERM:
    case SQLITE_AUTH:
        throw moteurErreur(QStringLiteral("L'accès à la base de données %1 est refusé. Vérifier les droits du fichier et de "
                                          "son dossier, puis recommencer.")
                               .arg(f));
    case SQLITE_NOMEM:
        throw moteurErreur(QStringLiteral("La mémoire manque pour lire la base de données %1. Fermer d'autres programmes, puis "
                                          "recommencer.")
                               .arg(f));
    default:
        break;
    }
    if (moteur.startsWith(QLatin1String("no such table: ")))
        tableAbsente(db, f, moteur.mid(15), moteur);
    if (moteur.startsWith(QLatin1String("no such column: ")))
        throw moteurErreur(QStringLiteral("Le champ %1 est absent de la base de données %2. %3").arg(moteur.mid(16), f, remede()));
    throw moteurErreur(QStringLiteral("La base de données %1 a refusé une opération du programme. Si ce fichier vient d'un autre "
                                      "programme, le remplacer par une copie intacte.")
                           .arg(f));
}

[[noreturn]] void echec(sqlite3* db, int code) { echecFichier(db, code, cheminDe(db)); }

// A prepared statement, finalised on every path.
class Requete {
public:
    Requete(sqlite3* db, const QString& sql) : db_(db)
    {
        const QByteArray u = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(db, u.constData(), int(u.size()), &st_, nullptr);
        if (rc != SQLITE_OK)
            echec(db, rc);
    }
    ~Requete() { sqlite3_finalize(st_); }
    Requete(const Requete&) = delete;
    Requete& operator=(const Requete&) = delete;

    // True while a row is there.
    bool pas()
    {
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        echec(db_, rc);
    }
    void lier(int i, const QVariant& v)
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
    QVariant brut(int i) const
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
    int colonnes() const { return sqlite3_column_count(st_); }
    QString nom(int i) const { return QString::fromUtf8(sqlite3_column_name(st_, i)); }
    QString typeDeclare(int i) const
    {
        const char* t = sqlite3_column_decltype(st_, i);
        return t ? QString::fromUtf8(t) : QString();
    }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

void executer(sqlite3* db, const QString& sql)
{
    Requete r(db, sql);
    while (r.pas()) {
    }
}

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

// The column type from its declared type; a column without one (an expression) reads as a Memo
// or a Double after its value.
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

// A value put by the program to the value stored in a column of that type.
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

bool tableExiste(sqlite3* db, const QString& table, QString* nomExact = nullptr)
{
    Requete r(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name = ?1 COLLATE NOCASE"));
    r.lier(1, table);
    if (!r.pas())
        return false;
    if (nomExact)
        *nomExact = r.brut(0).toString();
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------- Base

static sqlite3* ouvrirFichier(const QString& chemin, int drapeaux)
{
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

Base Base::ouvrir(const QString& chemin)
{
    const QFileInfo info(chemin);
    if (info.isDir())
        throw Erreur(err::FichierIntrouvable,
                     QStringLiteral("%1 est un dossier, pas une base de données. Renommer ce dossier pour que le programme crée "
                                    "une base neuve.")
                         .arg(chemin));
    if (!info.isFile())
        throw Erreur(err::FichierIntrouvable, QStringLiteral("La base de données %1 est introuvable.").arg(chemin));
    auto c = std::make_shared<Connexion>();
    c->chemin = chemin;
    c->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE);
    // A file that is not a database of this program is refused here rather than at first use.
    executer(c->db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return Base(std::move(c));
}

Base Base::creer(const QString& chemin)
{
    if (QFileInfo::exists(chemin))
        throw Erreur(err::BaseExistante, QStringLiteral("la base de données existe déjà : %1").arg(chemin));
    auto c = std::make_shared<Connexion>();
    c->chemin = chemin;
    c->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    executer(c->db, QStringLiteral("PRAGMA user_version = 1"));   // makes the file itself
    return Base(std::move(c));
}

bool Base::ouverte() const { return c_ && c_->db; }
QString Base::chemin() const { return c_ ? c_->chemin : QString(); }

void Base::fermer()
{
    if (c_ && c_->db) {
        sqlite3_close_v2(c_->db);
        c_->db = nullptr;
    }
}

static sqlite3* dbOuverte(const std::shared_ptr<Connexion>& c)
{
    if (!c || !c->db)
        throw Erreur(err::ObjetFerme, QStringLiteral("la base de données est fermée"));
    return c->db;
}

QStringList Base::tables() const
{
    Requete r(dbOuverte(c_), QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"));
    QStringList t;
    while (r.pas())
        t << r.brut(0).toString();
    return t;
}

void Base::creerTable(const QString& table, const QList<DefinitionChamp>& champs)
{
    sqlite3* db = dbOuverte(c_);
    QStringList cols;
    for (const auto& ch : champs) {
        QString col = nomQuote(ch.nom) + QLatin1Char(' ') + typeSql(ch.type);
        if (ch.defaut.isValid() && !ch.defaut.isNull()) {
            const QVariant s = versStockage(ch.type, ch.defaut, ch.nom);
            if (s.typeId() == QMetaType::QString) {
                QString t = s.toString();
                t.replace(QLatin1Char('\''), QStringLiteral("''"));
                col += QStringLiteral(" DEFAULT '%1'").arg(t);
            } else if (s.typeId() == QMetaType::Double) {
                col += QStringLiteral(" DEFAULT %1").arg(QString::number(s.toDouble(), 'g', 17));
            } else {
                col += QStringLiteral(" DEFAULT %1").arg(s.toLongLong());
            }
        }
        cols << col;
    }
    executer(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(nomQuote(table), cols.join(QStringLiteral(", "))));
}

void Base::ajouterChamp(const QString& table, const QString& nom, TypeChamp type)
{
    sqlite3* db = dbOuverte(c_);
    QString exact;
    if (!tableExiste(db, table, &exact))
        throw Erreur(err::ChampAbsent,
                     QStringLiteral("La table %1 est absente de la base de données %2. %3").arg(table, chemin(), remede()));
    Requete info(db, QStringLiteral("PRAGMA table_info(%1)").arg(nomQuote(exact)));
    while (info.pas()) {
        if (info.brut(1).toString().compare(nom, Qt::CaseInsensitive) == 0)
            throw Erreur(err::ChampExistant, QStringLiteral("le champ %1 existe déjà dans la table %2").arg(nom, exact));
    }
    executer(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(nomQuote(exact), nomQuote(nom), typeSql(type)));
}

JeuEnregistrements Base::ouvrirJeu(const QString& source) const
{
    sqlite3* db = dbOuverte(c_);
    static const QRegularExpression nomSeul(QStringLiteral(R"(^\s*(\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_]*)\s*$)"));
    static const QRegularExpression selectTout(
        QStringLiteral(R"(^\s*SELECT\s+\*\s+FROM\s+(\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_]*)(.*)$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    auto sansCrochets = [](QString n) {
        if (n.startsWith(QLatin1Char('[')))
            n = n.mid(1, n.size() - 2);
        return n;
    };

    JeuEnregistrements j;
    j.c_ = c_;
    QString sql;
    if (const auto m = nomSeul.match(source); m.hasMatch()) {
        const QString t = sansCrochets(m.captured(1));
        if (!tableExiste(db, t, &j.table_))
            tableAbsente(db, chemin(), t);
        sql = QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(nomQuote(j.table_));
    } else if (const auto s = selectTout.match(source); s.hasMatch()) {
        const QString t = sansCrochets(s.captured(1));
        if (!tableExiste(db, t, &j.table_))
            tableAbsente(db, chemin(), t);
        sql = QStringLiteral("SELECT %1.rowid, * FROM %1").arg(nomQuote(j.table_)) + traduireSql(s.captured(2));
    } else {
        sql = traduireSql(source);   // any other text: a record set that cannot be updated
    }

    Requete r(db, sql);
    const int premiere = j.table_.isEmpty() ? 0 : 1;
    bool typesLus = false;
    while (r.pas()) {
        if (!typesLus) {
            for (int i = premiere; i < r.colonnes(); ++i)
                j.colonnes_.push_back({r.nom(i), typeDepuisDeclare(r.typeDeclare(i), r.brut(i))});
            typesLus = true;
        }
        JeuEnregistrements::Ligne l;
        l.rowid = premiere ? r.brut(0).toLongLong() : -1;
        for (int i = premiere; i < r.colonnes(); ++i)
            l.valeurs.push_back(depuisStockage(j.colonnes_[size_t(i - premiere)].type, r.brut(i)));
        j.lignes_.push_back(std::move(l));
    }
    if (!typesLus) {
        for (int i = premiere; i < r.colonnes(); ++i)
            j.colonnes_.push_back({r.nom(i), typeDepuisDeclare(r.typeDeclare(i), QVariant())});
    }
    j.pos_ = 0;
    return j;
}

// ------------------------------------------------------------------------- JeuEnregistrements

void JeuEnregistrements::verifierOuvert() const { dbOuverte(c_); }

bool JeuEnregistrements::fin() const { return lignes_.empty() || pos_ >= qsizetype(lignes_.size()); }
bool JeuEnregistrements::debut() const { return lignes_.empty() || pos_ < 0; }
int JeuEnregistrements::nombre() const { return int(lignes_.size()); }

void JeuEnregistrements::premier()
{
    verifierOuvert();
    sortirEdition();
    pos_ = 0;
}

void JeuEnregistrements::dernier()
{
    verifierOuvert();
    sortirEdition();
    pos_ = lignes_.empty() ? 0 : qsizetype(lignes_.size()) - 1;
}

void JeuEnregistrements::suivant()
{
    verifierOuvert();
    if (fin())
        throw Erreur(err::AucunEnregistrement, QStringLiteral("déjà après le dernier enregistrement"));
    sortirEdition();
    ++pos_;
}

void JeuEnregistrements::precedent()
{
    verifierOuvert();
    if (debut())
        throw Erreur(err::AucunEnregistrement, QStringLiteral("déjà avant le premier enregistrement"));
    sortirEdition();
    --pos_;
}

void JeuEnregistrements::chercherPremier(const QString& critere)
{
    verifierOuvert();
    const Critere c = lireCritere(critere);
    int idx = -1;
    for (size_t i = 0; i < colonnes_.size(); ++i)
        if (colonnes_[i].nom.compare(c.champ, Qt::CaseInsensitive) == 0) {
            idx = int(i);
            break;
        }
    if (idx < 0)
        throw Erreur(err::CritereInvalide, QStringLiteral("champ %1 inconnu dans le critère « %2 »").arg(c.champ, critere));
    sortirEdition();
    for (size_t i = 0; i < lignes_.size(); ++i) {
        if (satisfait(c, lignes_[i].valeurs[size_t(idx)])) {
            pos_ = qsizetype(i);
            sansCorrespondance_ = false;
            return;
        }
    }
    sansCorrespondance_ = true;
    pos_ = qsizetype(lignes_.size());   // no current record: nothing can be written by mistake
}

QStringList JeuEnregistrements::champs() const
{
    QStringList n;
    for (const auto& c : colonnes_)
        n << c.nom;
    return n;
}

bool JeuEnregistrements::aChamp(const QString& nom) const
{
    for (const auto& c : colonnes_)
        if (c.nom.compare(nom, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int JeuEnregistrements::indexChamp(const QString& nom) const
{
    for (size_t i = 0; i < colonnes_.size(); ++i)
        if (colonnes_[i].nom.compare(nom, Qt::CaseInsensitive) == 0)
            return int(i);
    const QString base = c_ ? c_->chemin : QString();
    if (table_.isEmpty())
        throw Erreur(err::ChampAbsent,
                     QStringLiteral("Le champ %1 est absent des enregistrements lus dans la base de données %2. %3").arg(nom, base, remede()));
    throw Erreur(err::ChampAbsent, QStringLiteral("Le champ %1 est absent de la table %2 de la base de données %3. %4")
                                       .arg(nom, table_, base, remede()));
}

TypeChamp JeuEnregistrements::typeChamp(const QString& nom) const { return colonnes_[size_t(indexChamp(nom))].type; }

void JeuEnregistrements::verifierCourant() const
{
    if (fin() || debut())
        throw Erreur(err::AucunEnregistrement, QStringLiteral("aucun enregistrement en cours"));
}

QVariant JeuEnregistrements::valeur(const QString& champ) const
{
    verifierOuvert();
    const int i = indexChamp(champ);
    if (mode_ != Mode::Aucun)
        return tampon_[size_t(i)];
    verifierCourant();
    return lignes_[size_t(pos_)].valeurs[size_t(i)];
}

void JeuEnregistrements::relireLigne(Ligne& l) const
{
    QStringList noms;
    for (const auto& c : colonnes_)
        noms << nomQuote(c.nom);
    Requete r(dbOuverte(c_), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(noms.join(QLatin1Char(',')), nomQuote(table_)));
    r.lier(1, l.rowid);
    if (!r.pas())
        throw Erreur(EnregistrementSupprime, QStringLiteral("l'enregistrement a été supprimé"));
    for (size_t i = 0; i < colonnes_.size(); ++i)
        l.valeurs[i] = depuisStockage(colonnes_[i].type, r.brut(int(i)));
}

void JeuEnregistrements::modifier()
{
    verifierOuvert();
    if (table_.isEmpty())
        throw Erreur(err::LectureSeule, QStringLiteral("ce jeu d'enregistrements ne peut pas être modifié"));
    verifierCourant();
    sortirEdition();
    relireLigne(lignes_[size_t(pos_)]);   // edit what the file holds now
    tampon_ = lignes_[size_t(pos_)].valeurs;
    modifies_.assign(colonnes_.size(), false);
    mode_ = Mode::Edition;
}

void JeuEnregistrements::ajouterNouveau()
{
    verifierOuvert();
    if (table_.isEmpty())
        throw Erreur(err::LectureSeule, QStringLiteral("ce jeu d'enregistrements ne peut pas être modifié"));
    sortirEdition();
    tampon_.assign(colonnes_.size(), QVariant());
    modifies_.assign(colonnes_.size(), false);
    mode_ = Mode::Ajout;
}

void JeuEnregistrements::mettre(const QString& champ, const QVariant& v)
{
    verifierOuvert();
    const int i = indexChamp(champ);
    if (mode_ == Mode::Aucun)
        throw Erreur(err::SansEdition, QStringLiteral("écriture du champ %1 sans modification en cours").arg(champ));
    const Colonne& c = colonnes_[size_t(i)];
    tampon_[size_t(i)] = depuisStockage(c.type, versStockage(c.type, v, c.nom));
    modifies_[size_t(i)] = true;
}

void JeuEnregistrements::annulerMiseAJour() { sortirEdition(); }

void JeuEnregistrements::miseAJour()
{
    sqlite3* db = dbOuverte(c_);
    if (mode_ == Mode::Aucun)
        throw Erreur(err::SansEdition, QStringLiteral("mise à jour sans modification en cours"));
    QStringList noms;
    std::vector<QVariant> valeurs;
    for (size_t i = 0; i < colonnes_.size(); ++i)
        if (modifies_[i]) {
            noms << nomQuote(colonnes_[i].nom);
            valeurs.push_back(versStockage(colonnes_[i].type, tampon_[i], colonnes_[i].nom));
        }
    if (mode_ == Mode::Edition) {
        if (!noms.isEmpty()) {
            QStringList affect;
            for (qsizetype i = 0; i < noms.size(); ++i)
                affect << QStringLiteral("%1 = ?%2").arg(noms[i]).arg(i + 1);
            Requete r(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
                              .arg(nomQuote(table_), affect.join(QStringLiteral(", ")))
                              .arg(noms.size() + 1));
            for (size_t i = 0; i < valeurs.size(); ++i)
                r.lier(int(i) + 1, valeurs[i]);
            r.lier(int(valeurs.size()) + 1, lignes_[size_t(pos_)].rowid);
            r.pas();
            if (sqlite3_changes(db) != 1)
                throw Erreur(EnregistrementSupprime, QStringLiteral("l'enregistrement a été supprimé"));
            relireLigne(lignes_[size_t(pos_)]);
        }
    } else {
        QString sql;
        if (noms.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(nomQuote(table_));
        } else {
            QStringList marques;
            for (qsizetype i = 0; i < noms.size(); ++i)
                marques << QStringLiteral("?%1").arg(i + 1);
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(nomQuote(table_), noms.join(QLatin1Char(',')), marques.join(QLatin1Char(',')));
        }
        Requete r(db, sql);
        for (size_t i = 0; i < valeurs.size(); ++i)
            r.lier(int(i) + 1, valeurs[i]);
        r.pas();
        Ligne l;
        l.rowid = sqlite3_last_insert_rowid(db);
        l.valeurs.resize(colonnes_.size());
        relireLigne(l);   // the column defaults fill what was not given
        // The record set gains the record at its end; the current record stays what it was.
        const bool aLaFin = fin();
        lignes_.push_back(std::move(l));
        if (aLaFin)
            pos_ = qsizetype(lignes_.size());
    }
    sortirEdition();
}

// ------------------------------------------------------------------------------ SourceDonnees

void SourceDonnees::definirBase(const QString& chemin) { chemin_ = chemin; }
void SourceDonnees::definirSource(const QString& source) { source_ = source; }

void SourceDonnees::actualiser()
{
    jeuValide_ = false;
    jeu_ = JeuEnregistrements();
    if (chemin_.isEmpty())
        throw Erreur(err::FichierIntrouvable, QStringLiteral("aucune base de données désignée"));
    if (!base_.ouverte() || cheminOuvert_ != chemin_) {
        base_.fermer();
        base_ = Base::ouvrir(chemin_);
        cheminOuvert_ = chemin_;
    }
    if (source_.isEmpty())
        return;
    jeu_ = base_.ouvrirJeu(source_);
    jeuValide_ = true;
}

JeuEnregistrements& SourceDonnees::jeu()
{
    if (!jeuValide_ || !base_.ouverte())
        throw Erreur(err::ObjetFerme, QStringLiteral("aucun jeu d'enregistrements ouvert"));
    return jeu_;
}

Base& SourceDonnees::baseOuverte()
{
    if (!base_.ouverte())
        throw Erreur(err::ObjetFerme, QStringLiteral("la base de données est fermée"));
    return base_;
}

void SourceDonnees::fermerBase()
{
    base_.fermer();
    jeuValide_ = false;
    jeu_ = JeuEnregistrements();
}

}  // namespace kal::bd
