#include "platform/controls/listesfichiers.h"

#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/controls/bip.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStyle>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace kal {

namespace {

namespace stdfs = std::filesystem;

// The one order of the lists: by name without regard to case, then by the bytes of the names.
bool avant(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    if (c != 0)
        return c < 0;
    return a.toUtf8() < b.toUtf8();
}

void trier(QStringList& noms) { std::sort(noms.begin(), noms.end(), avant); }

// Absolute, without "." or ".." parts and without a final "/"; empty is the current folder.
QString absolu(const QString& chemin)
{
    const QString courant = fs::dossierCourant();
    if (chemin.isEmpty())
        return QDir::cleanPath(courant);
    return QDir::cleanPath(QDir(courant).absoluteFilePath(chemin));
}

// Whether p is the drive d or lies inside it.
bool dans(const QString& p, const QString& d)
{
    if (p == d)
        return true;
    return p.startsWith(d.endsWith(QLatin1Char('/')) ? d : d + QLatin1Char('/'));
}

[[noreturn]] void pasPret(const QString& chemin)
{
    throw Erreur(ctl::PeripheriqueIndisponible, QStringLiteral("Périphérique non disponible: %1").arg(chemin));
}

[[noreturn]] void introuvable(const QString& chemin)
{
    throw Erreur(err::CheminIntrouvable, QStringLiteral("Chemin introuvable: %1").arg(chemin));
}

// The folder's subfolders or files, sorted; 76 when it is no folder, 68 when it cannot be read.
std::vector<fs::Entree> nomsDe(const QString& chemin, bool dossiers)
{
    if (!fs::estDossier(chemin))
        introuvable(chemin);
    if (!dossierLisible(chemin))
        pasPret(chemin);
    std::vector<fs::Entree> entrees;
    try {
        entrees = fs::entreesDe(chemin, dossiers);
    } catch (const Erreur& e) {
        if (e.numero() == err::CheminIntrouvable)
            introuvable(chemin);
        pasPret(chemin);
    }
    // A readable form that is also the name of another entry comes after it.
    std::stable_sort(entrees.begin(), entrees.end(), [](const fs::Entree& a, const fs::Entree& b) {
        return avant(a.nom, b.nom) || (!avant(b.nom, a.nom) && !a.illisible && b.illisible);
    });
    return entrees;
}

// Says that the entry's name is not UTF-8 and how to reach it all the same.
void direIllisible(const QString& nom, bool dossier)
{
    bip();
    const QString sorte = dossier ? QStringLiteral("dossier") : QStringLiteral("fichier");
    MsgBox(lignesMessage({QStringLiteral("Le nom du %1 %2 ne peut pas être lu:").arg(sorte, nom),
                          QStringLiteral("il n'est pas écrit en UTF-8 (il vient sans doute d'un ancien système)."),
                          dossier ? QStringLiteral("Renommer le dossier, puis l'ouvrir à nouveau.")
                                  : QStringLiteral("Renommer le fichier, puis le choisir à nouveau.")}),
           msg::OK + msg::Exclamation, QStringLiteral("NOM ILLISIBLE"));
}

// A field of the mount table, its blanks, tabs, new lines and backslashes written as \ooo.
QString champMontage(const QByteArray& b)
{
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    QByteArray r;
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (b[i] == '\\' && i + 3 < b.size() && octal(b[i + 1]) && octal(b[i + 2]) && octal(b[i + 3])) {
            r += static_cast<char>(((b[i + 1] - '0') << 6) | ((b[i + 2] - '0') << 3) | (b[i + 3] - '0'));
            i += 3;
            continue;
        }
        r += b[i];
    }
    return QString::fromUtf8(r);
}

std::optional<SourcesLecteurs>& sourcesSimulees()
{
    static std::optional<SourcesLecteurs> s;
    return s;
}

SourcesLecteurs sources() { return sourcesSimulees() ? *sourcesSimulees() : SourcesLecteurs::systeme(); }

}  // namespace

bool dossierLisible(const QString& chemin)
{
    std::error_code ec;
    const stdfs::path p(QFile::encodeName(chemin).toStdString());
    if (!stdfs::is_directory(p, ec) || ec)
        return false;
    stdfs::directory_iterator it(p, ec);
    return !ec;
}

// --- ListeLecteurs

SourcesLecteurs SourcesLecteurs::systeme()
{
    QString utilisateur;
    if (const passwd* pw = getpwuid(geteuid()))
        utilisateur = QString::fromLocal8Bit(pw->pw_name);
    if (utilisateur.isEmpty())
        utilisateur = qEnvironmentVariable("USER");
    SourcesLecteurs s;
    s.tableMontages = QStringLiteral("/proc/mounts");
    s.dossiersVolumes = {QStringLiteral("/media"), QStringLiteral("/mnt")};
    if (!utilisateur.isEmpty())
        s.dossiersVolumes << QStringLiteral("/run/media/") + utilisateur;
    s.dossierPersonnel = QDir::homePath();
    return s;
}

void ListeLecteurs::simuler(const SourcesLecteurs& s) { sourcesSimulees() = s; }
void ListeLecteurs::reel() { sourcesSimulees().reset(); }

QStringList ListeLecteurs::lecteursDisponibles()
{
    const SourcesLecteurs s = sources();
    QStringList lecteurs{QStringLiteral("/")};
    const QString maison = s.dossierPersonnel.isEmpty() ? QString() : QDir::cleanPath(s.dossierPersonnel);
    if (!maison.isEmpty() && QFileInfo(maison).isDir() && !lecteurs.contains(maison))
        lecteurs << maison;

    QStringList volumes;
    QFile table(s.tableMontages);
    if (table.open(QIODevice::ReadOnly)) {
        // One line per mounted volume: device, mount point, type, options, ...
        for (const QByteArray& ligne : table.readAll().split('\n')) {
            const QList<QByteArray> champs = ligne.simplified().split(' ');
            if (champs.size() < 2)
                continue;
            const QString point = QDir::cleanPath(champMontage(champs[1]));
            const bool retenu = std::any_of(s.dossiersVolumes.begin(), s.dossiersVolumes.end(),
                                            [&](const QString& d) { return dans(point, QDir::cleanPath(d)); });
            if (retenu && QFileInfo(point).isDir() && !lecteurs.contains(point) && !volumes.contains(point))
                volumes << point;
        }
    }
    trier(volumes);
    return lecteurs + volumes;
}

namespace {
// The drop-down of the drive list: opening it reads the drives again.
class BoiteLecteurs : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> avantOuverture;
    void showPopup() override
    {
        if (avantOuverture)
            avantOuverture();
        QComboBox::showPopup();
    }
};
}  // namespace

ListeLecteurs::ListeLecteurs(QWidget* parent)
    : Controle(new BoiteLecteurs(parent)), boite_(static_cast<QComboBox*>(widget()))
{
    static_cast<BoiteLecteurs*>(boite_)->avantOuverture = [this] { rafraichir(); };
    lecteurs_ = lecteursDisponibles();
    const QString courant = absolu(QString());
    lecteur_ = QStringLiteral("/");
    for (const QString& d : lecteurs_)
        if (dans(courant, d) && d.size() > lecteur_.size())
            lecteur_ = d;
    montrer();
    QObject::connect(boite_, &QComboBox::activated, boite_, [this](int i) {
        if (synchro_ || i < 0 || i >= lecteurs_.size() || lecteurs_[i] == lecteur_)
            return;
        lecteur_ = lecteurs_[i];
        if (surChangement)
            surChangement();
    });
}

QString ListeLecteurs::entree(int i) const { return i >= 0 && i < lecteurs_.size() ? lecteurs_[i] : QString(); }

void ListeLecteurs::rafraichir()
{
    lecteurs_ = lecteursDisponibles();
    montrer();
}

// The entries in the box, the drive shown among them (kept even when it has gone).
void ListeLecteurs::montrer()
{
    if (!lecteurs_.contains(lecteur_))
        lecteurs_ << lecteur_;
    synchro_ = true;
    boite_->clear();
    boite_->addItems(lecteurs_);
    boite_->setCurrentIndex(static_cast<int>(lecteurs_.indexOf(lecteur_)));
    synchro_ = false;
}

void ListeLecteurs::definirLecteur(const QString& chemin)
{
    if (chemin.isEmpty())
        pasPret(chemin);
    const QString p = absolu(chemin);
    QString d;
    for (const QString& l : lecteurs_)
        if (dans(p, l) && l.size() > d.size())
            d = l;
    if (d.isEmpty() || !dossierLisible(d))
        pasPret(d.isEmpty() ? chemin : d);
    if (d == lecteur_)
        return;
    lecteur_ = d;
    synchro_ = true;
    boite_->setCurrentIndex(static_cast<int>(lecteurs_.indexOf(lecteur_)));
    synchro_ = false;
    if (surChangement)
        surChangement();
}

// --- ListeDossiers

ListeDossiers::ListeDossiers(QWidget* parent) : ListeDossiers(std::make_unique<Liste>(parent)) {}

ListeDossiers::ListeDossiers(std::unique_ptr<Liste> l) : Controle(l->widget()), liste_(std::move(l))
{
    liste_->surClic = [this] {
        if (!reconstruction_ && surClic)
            surClic();
    };
    try {
        lire(absolu(QString()));
    } catch (const Erreur&) {
        // A current folder that cannot be read (removed meanwhile): the list opens on the root.
        lire(QStringLiteral("/"));
    }
}

ListeDossiers::~ListeDossiers() = default;

QListWidget* ListeDossiers::liste() const { return liste_->liste(); }

QString ListeDossiers::entree(int i) const
{
    return i >= 0 && i < lignes_.size() && !illisibles_[i] ? lignes_[i] : QString();
}

bool ListeDossiers::illisible(int i) const { return i >= 0 && i < illisibles_.size() && illisibles_[i]; }

bool ListeDossiers::refuserIllisible(int i)
{
    if (!illisible(i))
        return false;
    direIllisible(fs::nomFinal(lignes_[i]), true);
    // The pick is undone: the row of the folder shown is the current one again (and the one
    // shown selected once the click is over).
    reconstruction_ = true;
    liste_->definirIndex(profondeur_);
    reconstruction_ = false;
    return true;
}

int ListeDossiers::indexCourant() const { return liste_->indexCourant(); }

// Reads the folder and shows it; on a failure nothing changes.
void ListeDossiers::lire(const QString& chemin)
{
    const std::vector<fs::Entree> sous = nomsDe(chemin, true);

    // The folders from the root down to this one, then its subfolders.
    QStringList chaine{QStringLiteral("/")};
    for (const QString& partie : chemin.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        chaine << fs::joindre(chaine.last(), partie);
    QStringList lignes = chaine;
    QList<bool> illisibles(chaine.size(), false);
    for (const fs::Entree& e : sous) {
        lignes << fs::joindre(chemin, e.nom);
        illisibles << e.illisible;
    }

    chemin_ = chemin;
    lignes_ = lignes;
    illisibles_ = illisibles;
    profondeur_ = static_cast<int>(chaine.size()) - 1;

    reconstruction_ = true;
    liste_->vider();
    const QIcon ouvert = QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon ferme = QApplication::style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (int i = 0; i < lignes_.size(); ++i) {
        const bool ascendant = i <= profondeur_;
        const int niveau = ascendant ? i : profondeur_ + 1;
        const QString nom = i == 0 ? QStringLiteral("/") : fs::nomFinal(lignes_[i]);
        liste_->ajouter(QString(2 * niveau, QLatin1Char(' ')) + nom);
        liste_->liste()->item(i)->setIcon(ascendant ? ouvert : ferme);
    }
    liste_->definirIndex(profondeur_);
    reconstruction_ = false;
}

void ListeDossiers::definirChemin(const QString& chemin)
{
    const QString p = absolu(chemin);
    const bool change = p != chemin_;
    lire(p);
    if (change && surChangement)
        surChangement();
}

void ListeDossiers::rafraichir() { lire(chemin_); }

// --- ListeFichiers

ListeFichiers::ListeFichiers(QWidget* parent) : ListeFichiers(std::make_unique<Liste>(parent)) {}

ListeFichiers::ListeFichiers(std::unique_ptr<Liste> l)
    : Controle(l->widget()), liste_(std::move(l)), chemin_(absolu(QString())), motif_(QStringLiteral("*.*"))
{
    try {
        montrer(lire(chemin_));
    } catch (const Erreur&) {
        // A current folder that cannot be read lists nothing.
    }
}

ListeFichiers::~ListeFichiers() = default;

QListWidget* ListeFichiers::liste() const { return liste_->liste(); }

QString ListeFichiers::entree(int i) const { return i >= 0 && i < noms_.size() ? noms_[i] : QString(); }

QString ListeFichiers::cheminComplet(int i) const
{
    return i >= 0 && i < noms_.size() && !illisibles_[i] ? fs::joindre(chemin_, noms_[i]) : QString();
}

bool ListeFichiers::illisible(int i) const { return i >= 0 && i < illisibles_.size() && illisibles_[i]; }

bool ListeFichiers::refuserIllisible(int i) const
{
    if (!illisible(i))
        return false;
    direIllisible(noms_[i], false);
    return true;
}

// The folder's files whose names match the pattern, sorted.
std::vector<fs::Entree> ListeFichiers::lire(const QString& chemin) const
{
    std::vector<fs::Entree> entrees = nomsDe(chemin, false);
    if (!tous_) {
        std::erase_if(entrees, [this](const fs::Entree& e) {
            return std::none_of(filtres_.begin(), filtres_.end(),
                                [&](const QRegularExpression& r) { return r.match(e.nom).hasMatch(); });
        });
    }
    return entrees;
}

void ListeFichiers::montrer(const std::vector<fs::Entree>& entrees)
{
    noms_.clear();
    illisibles_.clear();
    liste_->vider();
    for (const fs::Entree& e : entrees) {
        noms_ << e.nom;
        illisibles_ << e.illisible;
        liste_->ajouter(e.nom);
    }
}

void ListeFichiers::definirChemin(const QString& chemin)
{
    const QString p = absolu(chemin);
    const std::vector<fs::Entree> entrees = lire(p);
    chemin_ = p;
    montrer(entrees);
}

void ListeFichiers::definirMotif(const QString& motif)
{
    motif_ = motif;
    filtres_.clear();
    tous_ = true;
    for (const QString& partie : motif.split(QLatin1Char(';'))) {
        const QString m = partie.trimmed();
        if (m.isEmpty())
            continue;
        if (m == QLatin1String("*") || m == QLatin1String("*.*")) {
            filtres_.clear();
            tous_ = true;
            break;
        }
        tous_ = false;
        // A pattern that makes no expression (an unclosed "[") matches no name.
        QRegularExpression r(QRegularExpression::wildcardToRegularExpression(m), QRegularExpression::CaseInsensitiveOption);
        if (r.isValid())
            filtres_.push_back(std::move(r));
    }
    rafraichir();
}

void ListeFichiers::rafraichir()
{
    try {
        montrer(lire(chemin_));
    } catch (const Erreur&) {
        montrer({});
        throw;
    }
}

}  // namespace kal
