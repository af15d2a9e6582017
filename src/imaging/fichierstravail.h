#pragma once
// The work files of object n, in the current folder (the work folder while an editor is open):
//   photo<n>.svc  the picture shown, with its stamp
//   init<n>.svc   the picture as first placed (the same bytes as photo<n>.svc then, stamp included)
//   sauv<n>.svc   the base picture without the slider adjustments
//   texte<n>.svc  a text object's RTF
#include "platform/base/fichiers.h"

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace kal {

QString fichierPhoto(int n);
QString fichierInit(int n);
QString fichierSauv(int n);
QString fichierTexte(int n);
// The four of them, in the order above.
QStringList fichierstravail(int n);
// The name of the save-as panel's preview of a compressed format ("compress.JPG").
QString nomApercuCompression(const QString& extension);
// True when the three picture copies of object n are there: a step that places an object writes
// them before its record is taken, and the object's removal takes them away.
bool copiesPresentes(int n);
// The work files of object n that are there removed; one that cannot be removed stays.
void effacerFichiersTravail(int n);

// The work copies a step replaced, kept until the step's record is stored, so that a failed record
// puts them back.
// garder(cible), called before `cible` is replaced, keeps the file it holds under a hidden name
// beside it (a second name of the same file: it takes no room on the disk, and the start removes
// it when a run stops midway); retablir() puts every file kept back under its name, and removes
// the targets that had none, with renames and removals only. Once the step is done the object
// is simply dropped: the hidden names go.
class CopiesAnciennes {
public:
    void garder(const QString& cible);   // 75 with the cause when the file cannot be kept
    void retablir();                     // 75 when a file cannot be put back

private:
    fs::Remplacement noms_;                              // the hidden names, removed with it
    std::vector<std::pair<QString, QString>> gardees_;   // hidden name, target
    QStringList neuves_;
};

}  // namespace kal
