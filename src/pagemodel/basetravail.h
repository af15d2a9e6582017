#pragma once
// The installed work database kalmorin.mdb: table kalmorin with the records 0 to 31, every field
// of an object record and of the page-settings record, and a thumbnail colour for each record.
// The program makes it in the work folder when the folder has none.
#include "platform/database/basedonnees.h"

#include <QList>
#include <QString>

namespace kal {

inline const QString& nomBaseTravail()
{
    static const QString n = QStringLiteral("kalmorin.mdb");
    return n;
}
inline const QString& nomTableObjets()
{
    static const QString n = QStringLiteral("kalmorin");
    return n;
}

// The columns of the table kalmorin, in order, with their types and the values a record
// receives when it is added without them.
const QList<bd::DefinitionChamp>& champsTableObjets();

// Thumbnail colour of record n (0..31) as a 0x00BBGGRR colour.
int couleurMiniature(int numero);

// Makes the installed database at that path (records 0 to 31); error 3204 when the file
// exists. The file appears whole or not at all.
void creerBaseTravail(const QString& chemin);

// Makes kalmorin.mdb in the folder when the folder has none; true when it was made.
bool creerBaseSiAbsente(const QString& dossier);

// Adds to the table of the database at that path the records of 0 to 31 it lacks, as the
// installed database holds them; the records there are left as they are. Gives how many were
// added. A table that lacks one of the fields is left as it is; a file that is no work database
// raises its error (kal::Erreur) and is not changed.
int completerBaseTravail(const QString& chemin);

}  // namespace kal
