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
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kal::bd {

using namespace interne;

// ---------------------------------------------------------------------------------------- Base

namespace {

// The connections of the process that write, by the file they are open on (its device and inode:
// a file put in the place of another is another file).
using Cle = std::pair<quint64, quint64>;
std::mutex verrouRegistre;
std::map<Cle, std::weak_ptr<Moteur>> registre;

std::optional<Cle> cleDe(const QString& chemin)
{
    struct stat st {};
    if (::stat(QFile::encodeName(chemin).constData(), &st) != 0)
        return std::nullopt;
    return Cle{quint64(st.st_dev), quint64(st.st_ino)};
}

// The connection of the process that writes to the file at `chemin`, if there is one.
std::shared_ptr<Moteur> moteurOuvert(const QString& chemin)
{
    const std::optional<Cle> cle = cleDe(chemin);
    if (!cle)
        return nullptr;
    std::lock_guard l(verrouRegistre);
    const auto it = registre.find(*cle);
    if (it == registre.end())
        return nullptr;
    std::shared_ptr<Moteur> m = it->second.lock();
    if (!m)
        registre.erase(it);
    return m && m->db ? m : nullptr;
}

void inscrire(const std::shared_ptr<Moteur>& m)
{
    if (const std::optional<Cle> cle = cleDe(m->chemin)) {
        std::lock_guard l(verrouRegistre);
        std::erase_if(registre, [](const auto& e) { return e.second.expired(); });
        registre[*cle] = m;
    }
}

std::shared_ptr<Connexion> connexion(std::shared_ptr<Moteur> m, const QString& chemin, bool lecture)
{
    auto c = std::make_shared<Connexion>();
    c->m = std::move(m);
    c->chemin = chemin;
    c->lecture = lecture;
    return c;
}

}  // namespace

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
    // A file the process writes is read through that connection, which holds its locks.
    if (std::shared_ptr<Moteur> m = moteurOuvert(chemin))
        return Base(connexion(std::move(m), chemin, true));
    auto m = std::make_shared<Moteur>();
    m->chemin = chemin;
    m->db = ouvrirFichier(chemin, SQLITE_OPEN_READONLY);
    executer(m->db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return Base(connexion(std::move(m), chemin, true));
}

Base Base::ouvrir(const QString& chemin)
{
    verifierFichier(chemin);
    if (std::shared_ptr<Moteur> m = moteurOuvert(chemin))
        return Base(connexion(std::move(m), chemin, false));
    auto m = std::make_shared<Moteur>();
    m->chemin = chemin;
    m->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE);
    // SQLite opens read-only, without a word, a file it could not open for writing: one failure
    // of the disk at that moment would have every later write refused as if the file were
    // read-only. The file is opened again once; a file the system keeps read-only (its rights, a
    // read-only disk) stays open for reading, and its writes say so; any other cause fails here.
    for (int essai = 0; sqlite3_db_readonly(m->db, "main") == 1; ++essai) {
        const int cause = causeLectureSeule(chemin);
        if (cause == EACCES || cause == EPERM || cause == EROFS)
            break;
        interne::fermer(*m);
        if (essai == 1)
            echecEcriture(chemin, cause);
        m->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE);
    }
    const bool ecrit = sqlite3_db_readonly(m->db, "main") != 1;
    if (ecrit)
        reglerConnexion(m->db);
    // A file that is not a database of this program is refused here rather than at first use.
    executer(m->db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (ecrit)
        inscrire(m);
    return Base(connexion(std::move(m), chemin, false));
}

Base Base::creer(const QString& chemin)
{
    if (QFileInfo::exists(chemin))
        throw Erreur(err::BaseExistante, QStringLiteral("la base de données existe déjà : %1").arg(chemin));
    auto m = std::make_shared<Moteur>();
    m->chemin = chemin;
    m->db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    reglerConnexion(m->db);
    Base b(connexion(m, chemin, false));
    preparerEcriture(*b.c_);
    ecriture(*b.c_, [&] { executer(m->db, QStringLiteral("PRAGMA user_version = 1")); });   // makes the file itself
    inscrire(m);
    return b;
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
    const auto resteDansLog = [&] {
        return Erreur(kal::err::AccesChemin, QStringLiteral("%1 : la base de données n'a pas pu être refermée entière (ses dernières "
                                                            "modifications sont restées dans le fichier %2)")
                                                 .arg(chemin, QFileInfo(journal).fileName()));
    };
    // A file another Base of the process holds: its connection, which alone may, empties the log
    // into the file. The file alone then holds every commit.
    if (std::shared_ptr<Moteur> m = moteurOuvert(chemin)) {
        const int rc = sqlite3_wal_checkpoint_v2(m->db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        if (rc != SQLITE_OK)
            echecFichier(m->db, rc, chemin);
        if (QFileInfo(journal).size() > 0)
            throw resteDansLog();
        return;
    }
    // A rollback journal left beside it (its last change could not be finished) is played back
    // by the opening below.
    const QString retour = chemin + QStringLiteral("-journal");
    if ((partage || !enLog()) && QFileInfo(journal).size() == 0 && !QFileInfo::exists(retour))
        return;
    bool rendu = false;
    {
        Moteur m;
        m.chemin = chemin;
        m.db = ouvrirFichier(chemin, SQLITE_OPEN_READWRITE);
        reglerConnexion(m.db);
        {
            Requete r(m.db, QStringLiteral("PRAGMA journal_mode=DELETE"));
            rendu = r.pas() && r.brut(0).toString().compare(QLatin1String("delete"), Qt::CaseInsensitive) == 0;
        }
        // A journal whose end could not be written (a connection that holds its locks alone
        // keeps its journal until it closes) stays beside a file that no longer needs it: the
        // engine plays back a journal that holds changes, but leaves an emptied one. One more
        // commit, the locks shared, writes it anew and removes it.
        if (rendu && QFileInfo::exists(retour)) {
            executer(m.db, QStringLiteral("PRAGMA locking_mode=NORMAL"));
            int version = 0;
            {
                Requete v(m.db, QStringLiteral("PRAGMA user_version"));
                if (v.pas())
                    version = v.brut(0).toInt();
            }
            executer(m.db, QStringLiteral("PRAGMA user_version = %1").arg(version));
        }
    }
    if (!rendu || enLog() || QFileInfo(journal).size() > 0 || QFileInfo::exists(retour))
        throw resteDansLog();
}

bool Base::ouverte() const { return c_ && c_->db(); }
bool Base::lectureSeule() const { return ouverte() && (c_->lecture || sqlite3_db_readonly(c_->db(), "main") == 1); }
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
    ecriture(*c_, [&] { executer(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(nomQuote(table), cols.join(QStringLiteral(", ")))); });
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
    ecriture(*c_, [&] {
        executer(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(nomQuote(exact), nomQuote(nom), typeSql(type)));
    });
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
    j.vu_ = c_->m->annulations;
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
    ecriture(*c_, [&] { executer(db, QStringLiteral("BEGIN IMMEDIATE")); });
    c_->m->transaction = c_.get();
    c_->m->echecTransaction.reset();
    propre_ = true;
}

Transaction::~Transaction() { annuler(); }

void Transaction::annuler()
{
    if (!propre_)
        return;
    propre_ = false;
    Moteur* m = c_ ? c_->m.get() : nullptr;
    if (!m || m->transaction != c_.get())
        return;   // its Base was closed, which rolled it back
    m->transaction = nullptr;
    m->echecTransaction.reset();
    // The engine may have rolled back already, after a failed write; what the record sets read
    // during the transaction is read again from the file all the same.
    ++m->annulations;
    if (m->db && !sqlite3_get_autocommit(m->db))
        apresEchec(*c_, Erreur(err::ErreurMoteur, QStringLiteral("transaction annulée")));
}

void Transaction::valider()
{
    if (!propre_)
        return;
    Moteur* m = c_ ? c_->m.get() : nullptr;
    // A transaction whose write failed was rolled back whole: it says so again, it stores nothing.
    if (m && m->transaction == c_.get() && m->echecTransaction) {
        const Erreur e = *m->echecTransaction;
        annuler();
        throw e;
    }
    try {
        ecriture(*c_, [&] { executer(dbOuverte(c_), QStringLiteral("COMMIT")); });
    } catch (...) {
        annuler();
        throw;
    }
    propre_ = false;
    if (m) {
        m->transaction = nullptr;
        m->echecTransaction.reset();
    }
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
