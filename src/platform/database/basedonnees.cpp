// The work database opened by path: opening and creating the file, its tables and fields, running
// a record source into a record set; and the data source the editors bind to a file.
#include "platform/database/basedonnees.h"

#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/panne.h"
#include "platform/database/interne.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kal::bd {

using namespace interne;

// ---------------------------------------------------------------------------------------- Base

static sqlite3* ouvrirFichier(const QString& chemin, int drapeaux)
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

// Why the file cannot be opened for writing, as the system says it (0 when it can be).
static int causeLectureSeule(const QString& chemin)
{
    const QByteArray nom = QFile::encodeName(chemin);
    const int fd = panne::appel("ouvrir base", nom, [&] { return ::open(nom.constData(), O_RDWR | O_CLOEXEC); });
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

// A file SQLite opened only for reading although its rights allow writing: the disk's cause, or
// a disk error when the system opens it for writing and SQLite did not.
[[noreturn]] static void echecEcriture(const QString& chemin, int cause)
{
    const int code = cause == ENOSPC || cause == EDQUOT ? SQLITE_FULL
                     : cause == ENOMEM                  ? SQLITE_NOMEM
                     : cause == 0 || cause == EIO       ? SQLITE_IOERR
                                                        : SQLITE_CANTOPEN;
    if (code != SQLITE_CANTOPEN)
        echecFichier(nullptr, code, chemin);
    throw Erreur(err::ErreurMoteur, QStringLiteral("La base de données %1 ne peut pas être ouverte en écriture : %2. Vérifier que "
                                                   "le fichier et son dossier existent et sont modifiables, puis recommencer.")
                                        .arg(chemin, texteErreurSysteme(cause)));
}

static void verifierFichier(const QString& chemin)
{
    const QFileInfo info(chemin);
    if (info.isDir())
        throw Erreur(err::FichierIntrouvable,
                     QStringLiteral("%1 est un dossier, pas une base de données. Renommer ce dossier pour que le programme crée "
                                    "une base neuve.")
                         .arg(chemin));
    if (!info.isFile())
        throw Erreur(err::FichierIntrouvable, QStringLiteral("La base de données %1 est introuvable.").arg(chemin));
}

Base Base::lire(const QString& chemin)
{
    verifierFichier(chemin);
    auto c = std::make_shared<Connexion>();
    c->chemin = chemin;
    c->db = ouvrirFichier(chemin, SQLITE_OPEN_READONLY);
    executer(c->db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return Base(std::move(c));
}

Base Base::ouvrir(const QString& chemin)
{
    verifierFichier(chemin);
    auto c = std::make_shared<Connexion>();
    c->chemin = chemin;
    c->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE);
    // SQLite opens read-only, without a word, a file it could not open for writing: one failure
    // of the disk at that moment would have every later write refused as if the file were
    // read-only. The file is opened again once; a file the system keeps read-only (its rights, a
    // read-only disk) stays open for reading, and its writes say so; any other cause fails here.
    for (int essai = 0; sqlite3_db_readonly(c->db, "main") == 1; ++essai) {
        const int cause = causeLectureSeule(chemin);
        if (cause == EACCES || cause == EPERM || cause == EROFS)
            break;
        interne::fermer(*c);
        if (essai == 1)
            echecEcriture(chemin, cause);
        c->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE);
    }
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

void rendreAutonome(const QString& chemin, bool partage)
{
    const QString journal = chemin + QStringLiteral("-wal");
    const auto enLog = [&] {
        // The file format bytes of the header (18 and 19): 2 while in write-ahead logging.
        QFile f(chemin);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const QByteArray tete = f.read(20);
        return tete.size() == 20 && (tete[18] == 2 || tete[19] == 2);
    };
    // A rollback journal left beside it (its last change could not be finished) is played back
    // by the opening below.
    const QString retour = chemin + QStringLiteral("-journal");
    if ((partage || !enLog()) && QFileInfo(journal).size() == 0 && !QFileInfo::exists(retour))
        return;
    auto c = std::make_shared<Connexion>();
    c->chemin = chemin;
    c->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE);
    c->journalEcrit = true;   // the closing takes it back to the rollback journal
    bool rendu = false;
    {
        Requete r(c->db, QStringLiteral("PRAGMA journal_mode=DELETE"));
        rendu = r.pas() && r.brut(0).toString().compare(QLatin1String("delete"), Qt::CaseInsensitive) == 0;
    }
    c->journalEcrit = false;
    sqlite3_close_v2(c->db);
    c->db = nullptr;
    if (!rendu || enLog() || QFileInfo(journal).size() > 0 || QFileInfo::exists(retour))
        throw Erreur(kal::err::AccesChemin, QStringLiteral("%1 : la base de données n'a pas pu être refermée entière (ses dernières "
                                                           "modifications sont restées dans le fichier %2)")
                                                .arg(chemin, QFileInfo(journal).fileName()));
}

bool Base::ouverte() const { return c_ && c_->db; }
bool Base::lectureSeule() const { return ouverte() && sqlite3_db_readonly(c_->db, "main") == 1; }
QString Base::chemin() const { return c_ ? c_->chemin : QString(); }

void Base::fermer()
{
    if (c_)
        interne::fermer(*c_);
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
    preparerEcriture(*c_);
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
    preparerEcriture(*c_);
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

std::vector<QVariantList> Base::valeursStockees(const QString& table, const QStringList& champs) const
{
    sqlite3* db = dbOuverte(c_);
    QString exact;
    if (!tableExiste(db, table, &exact))
        tableAbsente(db, chemin(), table);
    QStringList presents;
    {
        Requete info(db, QStringLiteral("PRAGMA table_info(%1)").arg(nomQuote(exact)));
        while (info.pas())
            presents << info.brut(1).toString();
    }
    QStringList colonnes;
    for (const QString& nom : champs) {
        if (!presents.contains(nom, Qt::CaseInsensitive))
            throw Erreur(err::ChampAbsent, QStringLiteral("Le champ %1 est absent de la table %2 de la base de données %3. %4")
                                               .arg(nom, exact, chemin(), remede()));
        colonnes << nomQuote(nom);
    }
    std::vector<QVariantList> lignes;
    if (colonnes.isEmpty())
        return lignes;
    Requete r(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(colonnes.join(QLatin1Char(',')), nomQuote(exact)));
    while (r.pas()) {
        QVariantList l;
        for (int i = 0; i < r.colonnes(); ++i)
            l << r.brut(i);
        lignes.push_back(std::move(l));
    }
    return lignes;
}

QVariant valeurDuType(TypeChamp t, const QVariant& stockee, const QString& champ)
{
    return depuisStockage(t, versStockage(t, stockee, champ));
}

// --------------------------------------------------------------------------------- Transaction

Transaction::Transaction(Base& base) : c_(base.c_)
{
    sqlite3* db = dbOuverte(c_);
    if (!sqlite3_get_autocommit(db))
        return;   // joins the transaction under way
    // The switch to the log is made before: it cannot be made inside a transaction.
    preparerEcriture(*c_);
    executer(db, QStringLiteral("BEGIN IMMEDIATE"));
    propre_ = true;
}

Transaction::~Transaction() { annuler(); }

void Transaction::annuler()
{
    if (!propre_)
        return;
    propre_ = false;
    // The engine may have rolled back already, after a failed write.
    if (c_ && c_->db && !sqlite3_get_autocommit(c_->db))
        (void)sqlite3_exec(c_->db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::valider()
{
    if (!propre_)
        return;
    try {
        executer(dbOuverte(c_), QStringLiteral("COMMIT"));
    } catch (...) {
        annuler();
        throw;
    }
    propre_ = false;
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
    // A file that was kept read-only and can be written now (its rights given back) is opened
    // again: the data source writes as soon as the file allows it, without a restart.
    if (!base_.ouverte() || cheminOuvert_ != chemin_ || (base_.lectureSeule() && causeLectureSeule(chemin_) == 0)) {
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
