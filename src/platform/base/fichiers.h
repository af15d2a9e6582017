#pragma once
// File-system steps as the procedures use them, each failure raised as the error number the
// callers test: 53 file not found, 75 path or file access error, 76 path not found.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

namespace kal::fs {

QString dossierCourant();
void changerDossier(const QString& chemin);               // 76 when missing
QString joindre(const QString& dossier, const QString& nom);
QString nomFinal(const QString& chemin);                  // last part of a path

bool existe(const QString& chemin);
bool estDossier(const QString& chemin);
bool estFichier(const QString& chemin);

void creerDossier(const QString& chemin);                 // 75 when it exists or cannot be made, 76 when its parent is missing
void supprimerDossier(const QString& chemin);             // 75 when not empty or not removable, 76 when missing
// Copies a file, replacing the target whole (see ecrireFichier); 53 when the source is missing,
// 75 when the copy cannot be made (the old target is then left as it was).
void copierFichier(const QString& source, const QString& cible);
void supprimerFichier(const QString& chemin);             // 53 when missing, 75 (with the cause) when it cannot be deleted
qint64 longueurFichier(const QString& chemin);            // 53 when missing
QDateTime dateFichier(const QString& chemin);             // 53 when missing

// An entry of a folder. The disk holds names as bytes, the program as UTF-8 text: a name whose
// bytes are not UTF-8 (written on an older system in Latin-1, "caf\xe9.jpg") has no QString that
// gives those bytes back, so no path the program makes can reach the entry. Such a name is
// `illisible`, and `nom` is then only its readable form, to be shown: the bytes that are not UTF-8
// read as the letters of Windows-1252 ("café.jpg").
struct Entree {
    QString nom;
    bool illisible = false;
};
// The folder's subfolders or files, hidden names left out, sorted by their bytes; 76 when the
// folder is missing, 75 when it cannot be read.
std::vector<Entree> entreesDe(const QString& chemin, bool dossiers);
// The same as full paths, names that are not UTF-8 left out (no path reaches them).
QStringList sousDossiers(const QString& chemin);
QStringList fichiersDe(const QString& chemin);

}  // namespace kal::fs

namespace kal {
class Erreur;
}

namespace kal::fs {

// A write the disk did not confirm: the file is in place, but the flush of its folder after the
// rename failed (75, like any failed write). The step that needs it on the disk fails; one that is
// done says it is not confirmed.
bool ecritureNonConfirmee(const Erreur& e);

// Writes a file aside and puts it in place whole: the bytes go to a temporary file in the same
// folder, flushed to the disk, which is then renamed over the target, so that a full disk or a
// program killed halfway leaves the old file as it was. A failure (a full disk, a read-only
// folder or file, a folder of that name) removes the temporary file and raises 75, with the path
// and the cause in French. The new file keeps the old one's permissions.
void ecrireFichier(const QString& chemin, const QByteArray& octets);

// Several files replaced together, all or none: the new content of each target is written (by
// any writer of the program) to the hidden name aCote gives, beside it and of the shape of
// ecrireFichier's temporary files, which the start's leftover removal takes; installer() then
// renames them over their targets, which takes no room on the disk. Before installer() every
// target holds its old content; an object dropped without it removes the hidden files.
class Remplacement {
public:
    Remplacement() = default;
    ~Remplacement();
    Remplacement(const Remplacement&) = delete;
    Remplacement& operator=(const Remplacement&) = delete;
    QString aCote(const QString& cible);
    void installer();                                     // 75 when a file cannot be renamed

private:
    std::vector<std::pair<QString, QString>> fichiers_;   // hidden name, target
};

// Removes from the folder the hidden temporary files that writes of the files `noms()` names left
// when the program was stopped halfway (".quelvard.ini.0k3j9x0ab12cd": a point, the name, a point
// and the 13 base-36 digits of a 64-bit number): ordinary files named after that exact pattern
// only. Gives how many were removed. The names are asked for only when the folder holds a file of
// that pattern at all: the usual folder holds none, and the program's list of names costs more to
// make than the folder to read.
int supprimerRestesEcriture(const QString& dossier, const std::function<QStringList()>& noms);
// The same where the names are a rule rather than a list (the photos the user names): `estNom`
// says whether a target name is one the program writes in that folder.
int supprimerRestesEcriture(const QString& dossier, const std::function<bool(const QString& nom)>& estNom);

// The work copies (names ending in .svc) are the program's scratch files, made again from the
// others whenever needed: ecrireFichier and copierFichier put them in place whole the same way but
// do not wait for the disk, which is only waited on for what the user would lose (settings, saved
// pages, saved photos).
bool copieDeTravail(const QString& chemin);

// Text files as the program writes them: the whole text in one statement, ended by CR LF,
// in UTF-8, written as ecrireFichier does (75 when the file cannot be written).
void ecrireTexte(const QString& chemin, const QString& texte);
// Lines of a text file, split at CR LF, CR or LF; 53 when the file is missing, 75 when it cannot
// be read (a folder, a device or a pipe, no read access). Only an ordinary file is read, and no
// further than the length it had when it was opened.
QStringList lireLignes(const QString& chemin);
// The same, reading no more than it needs: at most maxLignes lines, each cut after
// maxOctetsParLigne bytes (at a character boundary); the rest of a long line is skipped
// without being kept, and reading stops once the last line wanted is complete or full. A file of
// one line of 50 MB costs no more than its first bytes.
QStringList lireLignes(const QString& chemin, int maxLignes, int maxOctetsParLigne);

// Carriage return then line feed: the line separator of every text file the program writes.
inline const QString& sautLigne()
{
    static const QString s = QStringLiteral("\r\n");
    return s;
}

// True when the name typed by the user stays inside its folder: not empty, no separator, not "." or "..".
bool nomSimple(const QString& nom);

}  // namespace kal::fs
