#pragma once
// The folders of persopag as the personal pages use them: what one folder holds (which editor's
// saved page it is), the check of a name typed for it, and the steps that replace a folder
// whole: a new folder made aside under a hidden name, filled, then put in place in one step.
#include <QString>
#include <QStringList>

namespace kal::perso {

// The folder of the personal pages in the work folder, and the marker of each kind of page.
QString dossierPerso(const QString& dossierTravail);
QString marqueur(bool jaquette);   // "jaquet.txt" or "page.txt"

// Why a name typed in the pages panel cannot be the name of a folder of persopag, in words for
// the user; empty when it can. A page's name is a plain folder name: not empty, neither "." nor
// "..", no "/" or "\", no control character (NUL included), nothing UTF-8 cannot write (a lone
// surrogate), not beginning with "." (the hidden names are the program's own), at most 255 bytes.
QString refusNom(const QString& nom);
// True when a failure's description says the disk is full (the system's or the database's words):
// the message then says so, and not which hidden file of the program was being written.
bool disquePlein(const QString& description);
// The name as a message can show it: control characters as "?", cut after 60 characters.
QString nomAffichable(const QString& nom);

// What bears a name in persopag.
struct Contenu {
    bool existe = false;        // a folder, a file or a link bears the name
    bool dossier = false;       // a real folder (a link to one is not)
    bool page = false;          // it holds the page marker (any letter case)
    bool jaquette = false;      // it holds the jacket marker (any letter case)
    QString fichierJaquette;    // the jacket marker's real name
    bool base = false;          // it holds kalmorin.mdb
    bool sousDossier = false;   // it holds a folder (or a link to one)
    // A saved page of the kind of that editor.
    bool deSorte(bool jaq) const { return dossier && (jaq ? jaquette : page); }
};
Contenu examiner(const QString& chemin);

// A new empty folder in `parent`, hidden (its name begins with `prefixe`, which begins with
// "."), with the permissions of `parent`, to be filled before it is put in place; 75 when it
// cannot be made.
QString dossierAcote(const QString& parent, const QString& prefixe);
// Puts the folder `nouveau` in the place of `cible`, in one step. When `cible` exists the two are
// exchanged and the old content is left under the path `nouveau`; when it does not, `nouveau`
// takes its name (refused if something took the name meanwhile). 75 when it cannot be done:
// nothing has moved then.
void permuter(const QString& nouveau, const QString& cible);
// Moves `chemin` to `vers` (a hidden empty folder beside it, made by dossierAcote), in one step;
// 75 when it cannot be done.
void deplacer(const QString& chemin, const QString& vers);
// For a change staged in such a folder before anything in place is touched (75 with the path and
// the cause, such as a full disk, when a step cannot be done): a new file holding `octets` of the
// disk's room, given back by removing it, so that the writes that must follow the staging find
// room; and `source` renamed over `cible` in one step (no room needed on one disk): false, with
// nothing done, when the two are on different disks (persopag a link to another disk).
void reserver(const QString& fichier, qint64 octets);
bool renommer(const QString& source, const QString& cible);
// Removes a folder and all it holds; a link is removed, never followed. False when something
// could not be removed.
bool supprimerArbre(const QString& chemin);

// Removes the hidden folders that saves, deletions and upgrades of pages left in persopag when
// the program was stopped halfway (".sauvegarde-Ab12Cd" and the others dossierAcote makes): real
// folders named after those exact patterns only. Gives how many were removed.
int supprimerDossiersAcote(const QString& perso);

// Names in the order of the folder lists: without regard to letter case, then by their bytes.
void trierNoms(QStringList& noms);

}  // namespace kal::perso
