// The checks of a saved folder before it is used: the open's of its database and pictures, and
// the old 16-slot jacket's before its upgrade (docs/pagefiles.md).
#include "pagefiles/verificationpage.h"

#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/pixels.h"

#include <algorithm>
#include <optional>

namespace kal::perso {

namespace {

// An object's sizes and places are twips of the sheet (the page) or of the face (the jacket):
// never negative, and never past 100 000 twips (1.76 m), beyond any sheet or face laid out here.
constexpr double LongueurMax = 100000;

}  // namespace

QString ficheDe(int n) { return QStringLiteral("La fiche de l'objet %1").arg(n); }

void verifierBoite(int n, const QString& nom, const QVariant& v)
{
    const bool taille = nom == champ::widthimp || nom == champ::heightimp;
    const double d = v.toDouble();
    if (!v.isNull() && (taille ? d > 0 : d >= 0) && d <= LongueurMax)
        return;
    const QString quoi = nom == champ::widthimp    ? QStringLiteral("une largeur")
                         : nom == champ::heightimp ? QStringLiteral("une hauteur")
                         : nom == champ::leftimp   ? QStringLiteral("une position à gauche")
                                                   : QStringLiteral("une position en haut");
    throw Erreur(err::Depassement, ficheDe(n) + QStringLiteral(" donne %1 impossible (%2 %3).")
                                                    .arg(quoi, nom, v.isNull() ? QStringLiteral("vide")
                                                                               : QStringLiteral("= ") + v.toString()));
}

int verifierNumero(const QVariant& numero, std::array<bool, 32>& vu)
{
    const qint64 n = numero.typeId() == QMetaType::LongLong ? numero.toLongLong() : -1;
    if (n < 0 || n > 31)
        throw Erreur(bd::err::AucunEnregistrement,
                     numero.isNull() ? QStringLiteral("Une fiche de la table %1 n'a pas de numéro.").arg(nomTableObjets())
                                     : QStringLiteral("Une fiche porte le numéro « %1 », qui n'est celui d'aucun objet "
                                                      "(0 à 31).")
                                           .arg(numero.toString()));
    const int k = static_cast<int>(n);
    if (vu[static_cast<size_t>(k)])
        throw Erreur(bd::err::AucunEnregistrement,
                     QStringLiteral("Deux fiches portent le numéro %1 : l'objet %1 est en double.").arg(k));
    vu[static_cast<size_t>(k)] = true;
    return k;
}

// The saved database checked for all that the open and the editors read of it, before it takes
// the work database's place: the table with every field (an old copy may lack cadre: the open
// adds it), each record numbered with a slot's number (0 to 31) and that number given once, the
// records of the editor's slots and of the page's settings there, every value of its field's
// kind, and a real box for each occupied object of the editor. The first fault found is raised,
// naming the record and the field. Gives the editor's occupied objects, in order.
std::vector<int> verifierBase(const QString& chemin, bool jaq)
{
    bd::Base base = bd::Base::lire(chemin);
    const bd::JeuEnregistrements table = base.ouvrirJeu(nomTableObjets());
    QList<bd::DefinitionChamp> champs;
    QStringList noms;
    for (const bd::DefinitionChamp& c : champsTableObjets()) {
        if (c.nom == champ::cadre && !table.aChamp(c.nom))
            continue;
        table.typeChamp(c.nom);   // a field missing: 3265, naming it and the file
        champs << c;
        noms << c.nom;
    }
    const std::vector<QVariantList> lignes = base.valeursStockees(nomTableObjets(), noms);
    base.fermer();

    const int emplacements = jaq ? 32 : 16;
    std::array<bool, 32> vu{};
    std::vector<int> occupes;
    for (const QVariantList& l : lignes) {
        // numero is the first field asked for.
        const int k = verifierNumero(l[0], vu);
        QVariantList valeurs;
        for (qsizetype i = 0; i < champs.size(); ++i) {
            try {
                valeurs << bd::valeurDuType(champs[i].type, l[i], noms[i]);
            } catch (const Erreur& err) {
                throw Erreur(err.numero(), ficheDe(k) + QStringLiteral(" : ") + err.description() + QLatin1Char('.'));
            }
        }
        if (k >= emplacements || !valeurs[noms.indexOf(champ::occup)].toBool())
            continue;
        for (const QString* nom : {&champ::widthimp, &champ::heightimp, &champ::leftimp, &champ::topimp})
            verifierBoite(k, *nom, valeurs[noms.indexOf(*nom)]);
        occupes.push_back(k);
    }
    for (int n = 0; n <= (jaq ? 31 : NumeroFicheConfig); ++n)
        if (!vu[static_cast<size_t>(n)])
            throw Erreur(bd::err::AucunEnregistrement,
                         (!jaq && n == NumeroFicheConfig ? QStringLiteral("La fiche des réglages de la page (numéro %1)").arg(n)
                                                         : ficheDe(n)) +
                             QStringLiteral(" manque dans la base de données %1.").arg(chemin));
    std::sort(occupes.begin(), occupes.end());
    return occupes;
}

// The picture of each of those objects decoded to its last byte (reduced: the cost is the reading
// of the coded data), the pictures side by side on the cores; a missing one is left to the open,
// which frees its slot. The first object whose picture fails is named.
void verifierImages(const QString& dossier, const std::vector<int>& occupes)
{
    std::vector<int> objets;
    for (int n : occupes)
        if (fs::estFichier(fs::joindre(dossier, QStringLiteral("photo%1.jpg").arg(n))))
            objets.push_back(n);
    std::vector<std::optional<Erreur>> echecs(objets.size());
    image::enParallele(static_cast<int>(objets.size()), 1, [&](int debut, int fin) {
        for (int i = debut; i < fin; ++i) {
            try {
                image::lireFichier(fs::joindre(dossier, QStringLiteral("photo%1.jpg").arg(objets[size_t(i)])), nullptr,
                                   QSize(1, 1));
            } catch (const Erreur& err) {
                echecs[size_t(i)] = err;
            }
        }
    });
    for (size_t i = 0; i < objets.size(); ++i)
        if (echecs[i])
            throw Erreur(echecs[i]->numero(), QStringLiteral("L'image de l'objet %1 (photo%1.jpg) ne peut pas être lue : %2.")
                                                  .arg(objets[i])
                                                  .arg(echecs[i]->description()));
}

// The old jacket is checked for what the conversion moves and the open then refuses: every
// record numbered once with a slot's number, and a real box for each occupied object (0 to 15).
void verifierAncienne(const QString& dossier)
{
    const QStringList champs = {champ::numero, champ::occup, champ::widthimp, champ::heightimp, champ::leftimp, champ::topimp};
    bd::Base base = bd::Base::lire(fs::joindre(dossier, nomBaseTravail()));
    const std::vector<QVariantList> lignes = base.valeursStockees(nomTableObjets(), champs);
    base.fermer();
    std::array<bool, 32> vu{};
    for (const QVariantList& l : lignes) {
        const int n = verifierNumero(l[0], vu);
        if (n > 15 || !bd::valeurDuType(bd::TypeChamp::Booleen, l[1], champ::occup).toBool())
            continue;
        for (qsizetype i = 2; i < champs.size(); ++i) {
            QVariant v;
            try {
                v = bd::valeurDuType(bd::TypeChamp::Double, l[i], champs[i]);
            } catch (const Erreur& err) {
                throw Erreur(err.numero(), ficheDe(n) + QStringLiteral(" : ") + err.description() + QLatin1Char('.'));
            }
            verifierBoite(n, champs[i], v);
        }
    }
}

}  // namespace kal::perso
