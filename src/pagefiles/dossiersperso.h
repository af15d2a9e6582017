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
// takes its name (refused if something took the name meanwhile). 75 when it cannot be done.
// On a disk that cannot exchange two names the old folder goes aside first, under a journal of
// persopag that lets the next start finish or undo the step (reprendre). `etat`, when given, says
// after a failure whether `cible` still holds its old content (else both copies are kept hidden
// and the next start puts one back: the caller removes neither), and after a success whether the
// flush of the folder failed (the names are changed, their lasting on the disk unconfirmed).
struct Permutation {
    bool ancienEnPlace = true;
    int echecSynchro = 0;   // the errno of the folder's flush, 0 when it succeeded
};
void permuter(const QString& nouveau, const QString& cible, Permutation* etat = nullptr);
// Moves `chemin` to `vers` (a hidden empty folder beside it, made by dossierAcote), in one step;
// 75 when it cannot be done. Gives the errno of the flush of their folder that followed, 0 when it
// succeeded (a failure: the move is made, its lasting on the disk unconfirmed).
int deplacer(const QString& chemin, const QString& vers);
// For a change staged in such a folder before anything in place is touched (75 with the path and
// the cause, such as a full disk, when a step cannot be done): a new file holding `octets` of the
// disk's room, given back by removing it, so that the writes that must follow the staging find
// room; and `source` renamed over `cible` in one step (no room needed on one disk): false, with
// nothing done, when the two are on different disks (persopag a link to another disk).
void reserver(const QString& fichier, qint64 octets);
bool renommer(const QString& source, const QString& cible);
// A database file closed whole, to be copied or kept as it stands (bd::rendreAutonome: its log and
// journal taken in; raises when that fails). `seule`: no other connection holds it (a copy): it is
// also taken out of write-ahead logging, and no log or log index stays beside it.
void verifierBaseFermee(const QString& base, bool seule);
// Removes a folder and all it holds; a link is removed, never followed. False when something
// could not be removed.
bool supprimerArbre(const QString& chemin);

// Removes the hidden folders that saves, deletions and upgrades of pages left in persopag when
// the program was stopped halfway (".sauvegarde-Ab12Cd" and the others dossierAcote makes): real
// folders named after those exact patterns only, never one that a journal still names. Gives how
// many were removed.
int supprimerDossiersAcote(const QString& perso);
// At start, before the removal above: each step that a journal of persopag shows stopped halfway
// is finished (the new page, whole, takes its name) or undone (the old one takes it back), and its
// journal removed. Gives, for a page that could be put back under its name neither way, the
// lines that tell the user where it is kept; its journal and hidden folders then stay.
QStringList reprendre(const QString& perso);

// Names in the order of the folder lists: without regard to letter case, then by their bytes.
void trierNoms(QStringList& noms);

}  // namespace kal::perso
