#pragma once
// The drive, folder and file lists through which the panels browse the disks.
//
// Paths are Linux paths: "/" separators, no "/" at the end except for the root "/" itself; a
// relative path is taken from the current folder, and an empty path means the current folder.
// Names are listed in one order everywhere: by name without regard to letter case, and names
// that differ only in case by their bytes ("b.JpG", "IMG_0001.JPG", "Noel.2011.jpg"). Hidden
// entries (names beginning with ".") are never listed.
//
// A name that is not UTF-8 (written on an older system in Latin-1, "caf\xe9.jpg") is listed by its
// readable form (fs::Entree) but cannot be opened: no path reaches it. illisible(i) tells such an
// entry; refuserIllisible(i) beeps and says so ("NOM ILLISIBLE": the name is not UTF-8, rename the
// file or folder), giving true, where a panel would open it.
//
// Failures are raised as Erreur: 76 (err::CheminIntrouvable) for a folder that does not exist,
// 68 (ctl::PeripheriqueIndisponible, "not ready") for a drive or folder that cannot be read.
#include "platform/base/fichiers.h"
#include "platform/controls/controles.h"
#include "platform/controls/erreurscontroles.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QStringList>
#include <memory>
#include <vector>

namespace kal {

// Where the drives come from: the system's table of mounted volumes, the folders in which the
// volumes of the user are mounted, and the user's home folder.
struct SourcesLecteurs {
    QString tableMontages;        // "/proc/mounts"
    QStringList dossiersVolumes;  // "/media", "/mnt", "/run/media/<user>"
    QString dossierPersonnel;     // the home folder
    static SourcesLecteurs systeme();
};

// True when the folder exists and its entries can be read.
bool dossierLisible(const QString& chemin);

// Drive list: the drives are "/", the home folder, then the mounted volumes whose mount point is
// one of the volume folders or lies inside one and is a folder, in the order of the names. A
// drive that cannot be read is "not ready".
// - The list is read when it is made, by rafraichir(), and each time the user opens it (a volume
//   mounted since then appears); the drive shown stays in the list even when it has gone.
// - lecteur() is the drive shown: at first the one holding the current folder.
// - definirLecteur(chemin) shows the drive that holds the path (the longest drive that is the
//   path or one of its parent folders). A drive that is not ready is refused with 68, and
//   nothing changes.
// - Change (surChangement) runs when the drive changes: the user picks another drive (a drive
//   not ready too: reading it is the handler's business), or code sets one.
class ListeLecteurs : public Controle {
public:
    explicit ListeLecteurs(QWidget* parent);
    QString lecteur() const { return lecteur_; }
    void definirLecteur(const QString& chemin);
    void rafraichir();
    int nombre() const { return static_cast<int>(lecteurs_.size()); }
    QString entree(int i) const;
    int indexCourant() const { return static_cast<int>(lecteurs_.indexOf(lecteur_)); }
    std::function<void()> surChangement;
    QComboBox* boite() const { return boite_; }

    // The drives as the sources give them now.
    static QStringList lecteursDisponibles();
    // Tests give their own sources; reel() puts the system's back.
    static void simuler(const SourcesLecteurs& s);
    static void reel();

private:
    QComboBox* boite_;
    QStringList lecteurs_;
    QString lecteur_;
    bool synchro_ = false;
    void montrer();
};

// Folder list: the folders from "/" down to the folder (its path), then the folder's subfolders.
// - It opens on the current folder. definirChemin reads the new folder (76 when it does not
//   exist, 68 when it cannot be read; nothing changes then); rafraichir reads it again, so that
//   folders made or removed since appear (the same errors, the list then left as it was).
// - entree(i) is the full path of row i (empty for a name that is not UTF-8); indexChemin() is the
//   row of the folder itself. refuserIllisible(i) also puts the row picked back on the folder's.
// - Click (surClic) runs when the user picks a row (mouse or keyboard), by the rules of Liste;
//   the list itself does not move: the handler sets the path to the row picked.
// - Change (surChangement) runs when the path changes.
class ListeDossiers : public Controle {
public:
    explicit ListeDossiers(QWidget* parent);
    ~ListeDossiers() override;
    QString chemin() const { return chemin_; }
    void definirChemin(const QString& chemin);
    void rafraichir();
    int nombre() const { return static_cast<int>(lignes_.size()); }
    QString entree(int i) const;
    bool illisible(int i) const;
    bool refuserIllisible(int i);
    int indexCourant() const;
    int indexChemin() const { return profondeur_; }
    std::function<void()> surClic;
    std::function<void()> surChangement;
    QListWidget* liste() const;

private:
    explicit ListeDossiers(std::unique_ptr<Liste> l);
    std::unique_ptr<Liste> liste_;
    QString chemin_;
    QStringList lignes_;
    QList<bool> illisibles_;
    int profondeur_ = 0;
    bool reconstruction_ = false;
    void lire(const QString& chemin);
};

// File list: the files of a folder whose names match the pattern, in the order of the names.
// - Pattern: one or more patterns separated by ";", with "*" and "?" as wildcards, matched
//   against the whole name without regard to letter case ("*.JPG" lists "b.JpG" but not
//   "x.jpeg"); "*.*", the pattern at first, lists every file.
// - Setting the path (76 / 68 as the folder list, nothing changing then) or the pattern reads
//   the folder; rafraichir() reads it again. A folder that can no longer be read leaves the
//   list empty and raises 76 or 68.
// - entree(i) is the file's real name, as the disk has it (its readable form for a name that is not
//   UTF-8); cheminComplet(i) is the folder's path joined to it: the file to open, whatever a panel
//   shows in its place (empty for a name that is not UTF-8). Both are empty outside 0..nombre()-1.
class ListeFichiers : public Controle {
public:
    explicit ListeFichiers(QWidget* parent);
    ~ListeFichiers() override;
    QString chemin() const { return chemin_; }
    void definirChemin(const QString& chemin);
    QString motif() const { return motif_; }
    void definirMotif(const QString& motif);
    void rafraichir();
    int nombre() const { return static_cast<int>(noms_.size()); }
    QString entree(int i) const;
    QString cheminComplet(int i) const;
    bool illisible(int i) const;
    bool refuserIllisible(int i) const;
    QListWidget* liste() const;

private:
    explicit ListeFichiers(std::unique_ptr<Liste> l);
    std::unique_ptr<Liste> liste_;
    QString chemin_;
    QString motif_;
    bool tous_ = true;                          // every file, whatever the names
    std::vector<QRegularExpression> filtres_;
    QStringList noms_;
    QList<bool> illisibles_;
    std::vector<fs::Entree> lire(const QString& chemin) const;
    void montrer(const std::vector<fs::Entree>& entrees);
};

}  // namespace kal
