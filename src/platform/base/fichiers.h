#pragma once
// File-system steps as the procedures use them, each failure raised as the error number the
// callers test: 53 file not found, 75 path or file access error, 76 path not found.
#include <QDateTime>
#include <QString>
#include <QStringList>

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
void copierFichier(const QString& source, const QString& cible);  // replaces the target; 53 when the source is missing
void supprimerFichier(const QString& chemin);             // 53 when missing, 75 when it cannot be deleted
qint64 longueurFichier(const QString& chemin);            // 53 when missing
QDateTime dateFichier(const QString& chemin);             // 53 when missing

// Listings, sorted by name (byte order), ordinary entries only: hidden names are left out.
QStringList sousDossiers(const QString& chemin);          // full paths; 76 when the folder is missing
QStringList fichiersDe(const QString& chemin);            // full paths; 76 when the folder is missing

// Text files as the program writes them: the whole text in one statement, ended by CR LF.
// Written in UTF-8; 75 when the file cannot be made.
void ecrireTexte(const QString& chemin, const QString& texte);
// Lines of a text file, split at CR LF, CR or LF; 53 when the file is missing, 75 when it cannot be read.
QStringList lireLignes(const QString& chemin);

// Carriage return then line feed: the line separator of every text file the program writes.
inline const QString& sautLigne()
{
    static const QString s = QStringLiteral("\r\n");
    return s;
}

// True when the name typed by the user stays inside its folder: not empty, no separator, not "." or "..".
bool nomSimple(const QString& nom);

}  // namespace kal::fs
