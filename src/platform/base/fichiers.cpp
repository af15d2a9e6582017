#include "platform/base/fichiers.h"

#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/base/panne.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kal::fs {

namespace stdfs = std::filesystem;

static stdfs::path chemin(const QString& c) { return stdfs::path(c.toStdString()); }
static QString texte(const stdfs::path& p) { return QString::fromStdString(p.string()); }

namespace {

// The cause of a failed file step, in the words shown to the user.
QString cause(int e)
{
    switch (e) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("le disque est plein");
    case EFBIG: return QStringLiteral("le fichier dépasse la taille permise");
    case EACCES:
    case EPERM: return QStringLiteral("accès refusé");
    case EROFS: return QStringLiteral("le disque est en lecture seule");
    case EISDIR: return QStringLiteral("un dossier porte ce nom");
    case ENOENT: return QStringLiteral("le dossier n'existe pas");
    case ENOTDIR: return QStringLiteral("le chemin passe par un fichier qui n'est pas un dossier");
    case EIO: return QStringLiteral("erreur de lecture ou d'écriture du disque");
    default: return texteErreurSysteme(e);
    }
}

// What a write whose file is in place but whose name the disk did not confirm adds to its cause.
const QString NonConfirme = QStringLiteral(" ; le fichier est écrit, mais le disque n'a pas confirmé l'écriture");

[[noreturn]] void echecAcces(const QString& c, int e, bool ancienConserve = false, const QString& precision = {})
{
    const QString raison = precision.isEmpty() ? cause(e) : precision;
    QString t = c + QStringLiteral(" : ") + raison;
    if (ancienConserve)
        t += QStringLiteral(" ; l'ancien fichier est conservé");
    throw Erreur(err::AccesChemin, t + QLatin1Char('.'), raison);
}

bool toutEcrire(int fd, const char* p, size_t n, const QByteArray& nom)
{
    while (n > 0) {
        const ssize_t k = panne::appel("ecrire", nom, [&] { return ::write(fd, p, n); });
        if (k < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

}  // namespace

QString dossierCourant()
{
    std::error_code ec;
    const auto p = stdfs::current_path(ec);
    if (ec)
        throw Erreur(err::AccesChemin, ec.value() == ENOENT
                                           ? QStringLiteral("Le dossier de travail n'existe plus : il a été supprimé ou déplacé.")
                                           : QStringLiteral("Le dossier de travail est inaccessible : %1.")
                                                 .arg(texteErreurSysteme(ec.value())));
    return texte(p);
}

void changerDossier(const QString& c)
{
    std::error_code ec;
    stdfs::current_path(chemin(c), ec);
    if (ec)
        throw Erreur(err::CheminIntrouvable, c);
}

QString joindre(const QString& dossier, const QString& nom)
{
    if (dossier.isEmpty())
        return nom;
    if (dossier.endsWith(QLatin1Char('/')))
        return dossier + nom;
    return dossier + QLatin1Char('/') + nom;
}

QString nomFinal(const QString& c)
{
    QString s = c;
    while (s.size() > 1 && s.endsWith(QLatin1Char('/')))
        s.chop(1);
    const int i = s.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? s : s.mid(i + 1);
}

bool existe(const QString& c)
{
    std::error_code ec;
    return stdfs::exists(chemin(c), ec);
}

bool estDossier(const QString& c)
{
    std::error_code ec;
    return stdfs::is_directory(chemin(c), ec);
}

bool estFichier(const QString& c)
{
    std::error_code ec;
    return stdfs::is_regular_file(chemin(c), ec);
}

void creerDossier(const QString& c)
{
    std::error_code ec;
    const auto p = chemin(c);
    if (stdfs::exists(p, ec))
        throw Erreur(err::AccesChemin, c);
    if (p.has_parent_path() && !stdfs::exists(p.parent_path(), ec))
        throw Erreur(err::CheminIntrouvable, c);
    if (const int e = panne::verifier("creer dossier", c))
        echecAcces(c, e);
    if (!stdfs::create_directory(p, ec) || ec)
        throw Erreur(err::AccesChemin, c);
}

void supprimerDossier(const QString& c)
{
    std::error_code ec;
    const auto p = chemin(c);
    if (!stdfs::is_directory(p, ec))
        throw Erreur(err::CheminIntrouvable, c);
    if (!stdfs::is_empty(p, ec) || ec)
        throw Erreur(err::AccesChemin, c);
    if (const int e = panne::verifier("supprimer dossier", c))
        echecAcces(c, e);
    if (!stdfs::remove(p, ec) || ec)
        throw Erreur(err::AccesChemin, c);
}


namespace {
QStringView cibleReste(const QString& nom);
}  // namespace

bool copieDeTravail(const QString& c)
{
    // A work copy's new content written under its hidden name (Remplacement) is one too.
    const QString nom = nomFinal(c);
    const QStringView cible = cibleReste(nom);
    return (cible.isEmpty() ? QStringView(nom) : cible).endsWith(QStringLiteral(".svc"));
}

namespace {

// The number of a file written aside: a 64-bit number in base 36, always 13 digits, at most this.
constexpr int ChiffresReste = 13;
constexpr QLatin1String PlusGrandReste("3w5e11264sgsf");

// The hidden name a file is written under beside its target: a point, the target's name, a point
// and a number. The name is cut short when the whole would pass the longest name the system takes
// (255 bytes); the number always has its 13 base-36 digits, zeros in front, so that a leftover is
// told by that exact shape from a user's own copy beside the file (".photo.jpg.bak").
std::string nomCache(std::string nom)
{
    constexpr size_t NomMax = 255, Ajout = 2 + ChiffresReste;
    if (nom.size() + Ajout > NomMax)
        nom.resize(NomMax - Ajout);
    const QByteArray suffixe =
        QByteArray::number(QRandomGenerator::global()->generate64(), 36).rightJustified(ChiffresReste, '0');
    return "." + nom + "." + suffixe.toStdString();
}

// A file being written beside its target, renamed over it by installer(): the target changes only
// then, in one step; dropped without installer(), the temporary file is removed.
class FichierAcote {
public:
    // `mode`: the permissions of the new file (a copy takes its source's); -1 keeps those of the
    // file replaced, or gives a new file the usual ones.
    explicit FichierAcote(const QString& cible, int mode = -1) : cible_(cible), durable_(!copieDeTravail(cible))
    {
        std::error_code ec;
        stdfs::path p = chemin(cible);
        // A symbolic link is followed: the file it points at is the one replaced.
        if (stdfs::is_symlink(p, ec)) {
            const stdfs::path r = stdfs::canonical(p, ec);
            if (!ec)
                p = r;
        }
        vrai_ = QByteArray::fromStdString(p.string());
        struct stat ancien {};
        if (::stat(vrai_.constData(), &ancien) == 0) {
            if (S_ISDIR(ancien.st_mode))
                echecAcces(cible, EISDIR);
            // A device or a pipe (a link to /dev/zero) is never replaced by a file.
            if (!S_ISREG(ancien.st_mode))
                echecAcces(cible, EINVAL, false, QStringLiteral("ce n'est pas un fichier ordinaire (un périphérique ou un tube)"));
            // A file the user may not write is not replaced behind their back.
            const int essai = ::open(vrai_.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            if (essai < 0)
                echecAcces(cible, errno);
            ::close(essai);
            existait_ = true;
        }
        const stdfs::path dossier = p.parent_path().empty() ? stdfs::path(".") : p.parent_path();
        for (int essai = 0; essai < 100 && fd_ < 0; ++essai) {
            provisoire_ = QByteArray::fromStdString((dossier / nomCache(p.filename().string())).string());
            fd_ = panne::appel("creer fichier", provisoire_, [&] {
                return ::open(provisoire_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            });
            if (fd_ < 0 && errno != EEXIST) {
                const int e = errno;
                if (e == EACCES || e == EPERM)
                    echecAcces(cible, EACCES, existait_, QStringLiteral("le dossier est en lecture seule"));
                echecAcces(cible, e, existait_);
            }
        }
        if (fd_ < 0)
            echecAcces(cible, EEXIST, existait_);
        if (mode >= 0) {
            (void)::fchmod(fd_, static_cast<mode_t>(mode));
        } else if (existait_) {
            // The new file takes the old one's permissions and, where allowed, its owner.
            (void)::fchmod(fd_, ancien.st_mode & 07777);
            if (ancien.st_uid != ::geteuid() || ancien.st_gid != ::getegid())
                (void)::fchown(fd_, ancien.st_uid, ancien.st_gid);
        }
    }

    ~FichierAcote()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!provisoire_.isEmpty())
            panne::appel("supprimer", provisoire_, [&] { return ::unlink(provisoire_.constData()); });
    }
    FichierAcote(const FichierAcote&) = delete;
    FichierAcote& operator=(const FichierAcote&) = delete;

    void ecrire(const char* p, size_t n)
    {
        if (!toutEcrire(fd_, p, n, provisoire_))
            echecAcces(cible_, errno, existait_);
    }

    // Flushed to the disk (a work copy is not), closed, and renamed over the target.
    void installer()
    {
        if (durable_ && panne::appel("synchroniser", cible_, [&] { return ::fdatasync(fd_); }) != 0 && errno != EINVAL &&
            errno != EROFS)
            echecAcces(cible_, errno, existait_);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            echecAcces(cible_, errno, existait_);
        if (panne::appel("renommer", cible_, [&] { return ::rename(provisoire_.constData(), vrai_.constData()); }) != 0)
            echecAcces(cible_, errno, existait_);
        provisoire_.clear();
        if (!durable_)
            return;
        // The new name itself is made durable with the folder.
        const std::string dossier = stdfs::path(vrai_.toStdString()).parent_path().string();
        const int d = ::open(dossier.empty() ? "." : dossier.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (d >= 0) {
            // A flush that fails is a failed write: the new file is in place, but the disk has not
            // confirmed its name (nothing of the old file is said to be kept).
            const int r = panne::appel("synchroniser dossier", dossier, [&] { return ::fsync(d); });
            const int e = errno;
            ::close(d);
            if (r != 0 && e != EINVAL && e != EROFS) {
                const QString raison = cause(e);
                throw Erreur(err::AccesChemin, cible_ + QStringLiteral(" : ") + raison + NonConfirme + QLatin1Char('.'), raison);
            }
        }
    }

private:
    QString cible_;
    QByteArray vrai_;
    QByteArray provisoire_;
    int fd_ = -1;
    bool existait_ = false;
    bool durable_;
};

}  // namespace

bool ecritureNonConfirmee(const Erreur& e)
{
    return e.numero() == err::AccesChemin && e.description().endsWith(NonConfirme + QLatin1Char('.'));
}

void copierFichier(const QString& source, const QString& cible)
{
    const QByteArray s = QFile::encodeName(source);
    const int entree = ::open(s.constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (entree < 0 || ::fstat(entree, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = errno;
        if (entree >= 0)
            ::close(entree);
        if (entree >= 0 || e == ENOENT || e == ENOTDIR)
            throw Erreur(err::FichierIntrouvable, source);
        echecAcces(source, e);
    }
    struct Fermeture {
        int fd;
        ~Fermeture() { ::close(fd); }
    } fermeture{entree};
    FichierAcote f(cible, static_cast<int>(st.st_mode & 07777));
    std::vector<char> tampon(1 << 20);
    for (;;) {
        const ssize_t k = ::read(entree, tampon.data(), tampon.size());
        if (k < 0) {
            if (errno == EINTR)
                continue;
            echecAcces(source, errno);
        }
        if (k == 0)
            break;
        f.ecrire(tampon.data(), static_cast<size_t>(k));
    }
    f.installer();
}

void supprimerFichier(const QString& c)
{
    std::error_code ec;
    const auto p = chemin(c);
    if (!stdfs::exists(p, ec) || stdfs::is_directory(p, ec))
        throw Erreur(err::FichierIntrouvable, c);
    if (const int e = panne::verifier("supprimer", c))
        echecAcces(c, e);
    if (!stdfs::remove(p, ec) || ec)
        echecAcces(c, ec ? ec.value() : EIO);
}

qint64 longueurFichier(const QString& c)
{
    std::error_code ec;
    const auto n = stdfs::file_size(chemin(c), ec);
    if (ec)
        throw Erreur(err::FichierIntrouvable, c);
    return static_cast<qint64>(n);
}

QDateTime dateFichier(const QString& c)
{
    QFileInfo info(c);
    if (!info.exists())
        throw Erreur(err::FichierIntrouvable, c);
    return info.lastModified();
}

namespace {

// Windows-1252's letters for the bytes 0x80 to 0x9F (Latin-1 has controls there); the five it
// leaves unassigned stay U+FFFD.
constexpr char16_t Cp1252[32] = {u'€', u'\uFFFD', u'‚', u'ƒ', u'„', u'…', u'†', u'‡', u'ˆ', u'‰', u'Š',
                                 u'‹', u'Œ', u'\uFFFD', u'Ž', u'\uFFFD', u'\uFFFD', u'‘', u'’', u'“', u'”', u'•',
                                 u'–', u'—', u'˜', u'™', u'š', u'›', u'œ', u'\uFFFD', u'ž', u'Ÿ'};

// The length of the valid UTF-8 sequence at b[i], 0 when there is none (a stray byte, an
// overlong form, a surrogate, past U+10FFFF).
int sequenceUtf8(const std::string& b, size_t i)
{
    const auto o = [&](size_t k) { return k < b.size() ? static_cast<unsigned char>(b[k]) : 0u; };
    const unsigned c = o(i);
    if (c < 0x80)
        return 1;
    const auto suite = [&](size_t k) { return (o(k) & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF)
        return suite(i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned c1 = o(i + 1);
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F))
            return 0;
        return suite(i + 1) && suite(i + 2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned c1 = o(i + 1);
        if ((c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
            return 0;
        return suite(i + 1) && suite(i + 2) && suite(i + 3) ? 4 : 0;
    }
    return 0;
}

// A name's bytes as text: UTF-8, or, when they are not, its readable form.
Entree entree(const std::string& octets)
{
    Entree e;
    size_t i = 0;
    while (i < octets.size()) {
        const int n = sequenceUtf8(octets, i);
        if (n == 0) {
            e.illisible = true;
            break;
        }
        i += static_cast<size_t>(n);
    }
    if (!e.illisible) {
        e.nom = QString::fromStdString(octets);
        return e;
    }
    for (i = 0; i < octets.size();) {
        const int n = sequenceUtf8(octets, i);
        if (n > 0) {
            e.nom += QString::fromUtf8(octets.data() + i, n);
            i += static_cast<size_t>(n);
            continue;
        }
        const auto c = static_cast<unsigned char>(octets[i++]);
        e.nom += c >= 0x80 && c < 0xA0 ? QChar(Cp1252[c - 0x80]) : QChar(c);
    }
    return e;
}

}  // namespace

std::vector<Entree> entreesDe(const QString& c, bool dossiers)
{
    std::error_code ec;
    if (!stdfs::is_directory(chemin(c), ec))
        throw Erreur(err::CheminIntrouvable, c);
    std::vector<std::pair<std::string, Entree>> lus;
    for (stdfs::directory_iterator it(chemin(c), ec), fin; !ec && it != fin; it.increment(ec)) {
        const std::string octets = it->path().filename().native();
        if (octets.empty() || octets[0] == '.')
            continue;
        std::error_code e2;
        const bool estRep = it->is_directory(e2);
        const bool estOrd = it->is_regular_file(e2);
        if ((dossiers && estRep) || (!dossiers && estOrd))
            lus.emplace_back(octets, entree(octets));
    }
    if (ec)
        throw Erreur(err::AccesChemin, c);
    std::sort(lus.begin(), lus.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Entree> entrees;
    entrees.reserve(lus.size());
    for (auto& l : lus)
        entrees.push_back(std::move(l.second));
    return entrees;
}

static QStringList lister(const QString& c, bool dossiers)
{
    QStringList complets;
    for (const Entree& e : entreesDe(c, dossiers))
        if (!e.illisible)
            complets << joindre(c, e.nom);
    return complets;
}

QStringList sousDossiers(const QString& c) { return lister(c, true); }
QStringList fichiersDe(const QString& c) { return lister(c, false); }

void ecrireFichier(const QString& c, const QByteArray& octets)
{
    FichierAcote f(c);
    f.ecrire(octets.constData(), static_cast<size_t>(octets.size()));
    f.installer();
}

namespace {
// The name FichierAcote gives to the copy it writes aside: a point, the target's name, a point and
// the 13 base-36 digits of a 64-bit number (".quelvard.ini.0k3j9x0ab12cd"). Read by hand: a pattern
// made of every name the program writes would cost more to compile than the whole folder costs to
// read. Gives the target's name, or nothing for a name of another shape.
QStringView cibleReste(const QString& nom)
{
    const qsizetype point = nom.size() - ChiffresReste - 1;
    if (point < 2 || !nom.startsWith(QLatin1Char('.')) || nom[point] != QLatin1Char('.'))
        return {};
    const QStringView chiffres = QStringView(nom).mid(point + 1);
    for (const QChar c : chiffres) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z')))
            return {};
    }
    // Fixed width: the order of the texts is the order of the numbers.
    if (chiffres.compare(PlusGrandReste) > 0)
        return {};
    return QStringView(nom).mid(1, point - 1);
}
}  // namespace

Remplacement::~Remplacement()
{
    for (const auto& paire : fichiers_) {
        const QString& cote = paire.first;
        (void)panne::appel("supprimer", cote, [&] { return ::unlink(QFile::encodeName(cote).constData()); });
    }
}

QString Remplacement::aCote(const QString& cible)
{
    // The shape FichierAcote gives its own.
    const qsizetype coupe = cible.lastIndexOf(QLatin1Char('/')) + 1;
    const std::string nom = nomCache(QFile::encodeName(cible.mid(coupe)).toStdString());
    const QString cote = cible.left(coupe) + QFile::decodeName(QByteArray::fromStdString(nom));
    fichiers_.emplace_back(cote, cible);
    return cote;
}

void Remplacement::installer()
{
    while (!fichiers_.empty()) {
        const QString& cote = fichiers_.front().first;
        const QString& cible = fichiers_.front().second;
        if (panne::appel("renommer", cible, [&] {
                return ::rename(QFile::encodeName(cote).constData(), QFile::encodeName(cible).constData());
            }) != 0)
            echecAcces(cible, errno);
        fichiers_.erase(fichiers_.begin());
    }
}

int supprimerRestesEcriture(const QString& dossier, const std::function<bool(const QString& nom)>& estNom)
{
    int n = 0;
    std::error_code ec;
    for (stdfs::directory_iterator it(chemin(dossier), ec), fin; !ec && it != fin; it.increment(ec)) {
        std::error_code e2;
        if (!it->is_regular_file(e2) || it->is_symlink(e2))
            continue;
        // The program writes no name that is not UTF-8.
        const Entree e = entree(it->path().filename().native());
        QString cible = e.illisible ? QString() : cibleReste(e.nom).toString();
        // A hidden file of a Remplacement is itself written aside: the copy of a copy.
        if (const QString dedans = cibleReste(cible).toString(); !dedans.isEmpty())
            cible = dedans;
        if (cible.isEmpty() || !estNom(cible))
            continue;
        if (panne::verifier("supprimer", it->path().native()) == 0 && stdfs::remove(it->path(), e2))
            ++n;
    }
    return n;
}

int supprimerRestesEcriture(const QString& dossier, const std::function<QStringList()>& noms)
{
    std::optional<QSet<QString>> cibles;
    return supprimerRestesEcriture(dossier, [&](const QString& cible) {
        if (!cibles) {
            const QStringList l = noms();
            cibles.emplace(l.begin(), l.end());
        }
        return cibles->contains(cible);
    });
}

void ecrireTexte(const QString& c, const QString& t) { ecrireFichier(c, (t + sautLigne()).toUtf8()); }

QStringList lireLignes(const QString& c) { return lireLignes(c, INT_MAX, INT_MAX); }

namespace {

// The length of the bytes once an incomplete UTF-8 sequence at their end is dropped.
qsizetype finDeCaractere(const QByteArray& b)
{
    qsizetype n = b.size();
    qsizetype debut = n;
    // Back over at most three continuation bytes to the start of the last character.
    while (debut > 0 && n - debut < 4 && (static_cast<unsigned char>(b[debut - 1]) & 0xC0) == 0x80)
        --debut;
    if (debut == 0)
        return n;
    const unsigned char tete = static_cast<unsigned char>(b[debut - 1]);
    const qsizetype longueur = tete >= 0xF0 ? 4 : tete >= 0xE0 ? 3 : tete >= 0xC0 ? 2 : 1;
    return n - (debut - 1) < longueur ? debut - 1 : n;
}

}  // namespace

QStringList lireLignes(const QString& c, int maxLignes, int maxOctetsParLigne)
{
    const QByteArray nom = QFile::encodeName(c);
    // Opened without waiting (a pipe with no writer would hold the program), and read only when
    // it is an ordinary file: a device or a pipe may never end.
    const int fd = ::open(nom.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            throw Erreur(err::FichierIntrouvable, c);
        echecAcces(c, errno);
    }
    struct Fermeture {
        int fd;
        ~Fermeture() { ::close(fd); }
    } fermeture{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        echecAcces(c, errno);
    if (S_ISDIR(st.st_mode))
        echecAcces(c, EISDIR, false, QStringLiteral("c'est un dossier, pas un fichier"));
    if (!S_ISREG(st.st_mode))
        echecAcces(c, EINVAL, false, QStringLiteral("ce n'est pas un fichier ordinaire (un périphérique ou un tube)"));
    // No more than the file held when it was opened, even if it grows meanwhile.
    qint64 reste = st.st_size;

    QStringList lignes;
    if (maxLignes <= 0)
        return lignes;
    const qsizetype limite = std::max(0, maxOctetsParLigne);
    QByteArray ligne;
    bool pleine = false;       // the line holds its limit: the rest of it is skipped
    bool enCours = false;      // a line has begun (bytes or not) since the last line end
    bool apresCr = false;      // the last line end was a CR: an LF right after it belongs to it
    auto finir = [&] {
        if (pleine)
            ligne.truncate(finDeCaractere(ligne));   // a line cut keeps whole characters
        lignes << QString::fromUtf8(ligne);
        ligne.clear();
        pleine = enCours = false;
    };
    std::vector<char> tampon(64 * 1024);
    while (reste > 0) {
        const ssize_t k = ::read(fd, tampon.data(), static_cast<size_t>(std::min<qint64>(reste, qint64(tampon.size()))));
        if (k < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            echecAcces(c, errno);
        }
        if (k == 0)
            break;
        reste -= k;
        const char* p = tampon.data();
        const char* const fin = p + k;
        while (p < fin) {
            if (apresCr) {
                apresCr = false;
                if (*p == '\n') {
                    ++p;
                    continue;
                }
            }
            // Up to the next line end.
            const char* q = p;
            while (q < fin && *q != '\r' && *q != '\n')
                ++q;
            if (q > p)
                enCours = true;
            if (!pleine) {
                const qsizetype place = limite - ligne.size();
                ligne.append(p, std::min<qsizetype>(place, q - p));
                pleine = ligne.size() >= limite && q - p >= place;
                if (pleine && lignes.size() + 1 >= maxLignes) {
                    finir();   // the last line wanted is full: nothing more is needed
                    return lignes;
                }
            }
            if (q == fin)
                break;
            apresCr = *q == '\r';
            finir();
            if (lignes.size() >= maxLignes)
                return lignes;
            p = q + 1;
        }
    }
    if (enCours)
        finir();   // the last line, without a line end
    return lignes;
}

bool nomSimple(const QString& nom)
{
    return !nom.isEmpty() && nom != QLatin1String(".") && nom != QLatin1String("..")
        && !nom.contains(QLatin1Char('/')) && !nom.contains(QLatin1Char('\\')) && !nom.contains(QChar(0));
}

}  // namespace kal::fs
