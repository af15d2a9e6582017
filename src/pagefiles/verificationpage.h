#pragma once
// The checks of a saved page's folder made before anything of it is used: its database, for all
// that the open and the editors read of it, and its pictures; the same rules for an old 16-slot
// jacket before its upgrade. Each raises the first fault it finds, naming the record as the
// folder numbers it and the field, in the words of the open's refusal.
#include <QString>
#include <QVariant>

#include <array>
#include <vector>

namespace kal::perso {

// "La fiche de l'objet n".
QString ficheDe(int n);
// A record's number: a slot's number (0 to 31), not seen before among the records (`vu`).
int verifierNumero(const QVariant& numero, std::array<bool, 32>& vu);
// One value of an occupied object's box (widthimp, heightimp, leftimp, topimp): a size above 0,
// a place not before the sheet's corner, neither past 100 000 twips.
void verifierBoite(int n, const QString& nom, const QVariant& v);
// The saved database at `chemin` for the page editor (slots 0-15) or the jacket (0-31): the table
// with every field (cadre may be missing), every record numbered once, the editor's records and
// the page's settings there, every value of its field's kind, a real box for each occupied
// object. Gives the editor's occupied objects, in order.
std::vector<int> verifierBase(const QString& chemin, bool jaq);
// The photo<n>.jpg of each of those objects that is there, decoded to its end.
void verifierImages(const QString& dossier, const std::vector<int>& occupes);
// An old 16-slot jacket's folder in its own layout, before anything of it is converted.
void verifierAncienne(const QString& dossier);

}  // namespace kal::perso
