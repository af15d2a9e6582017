#include "pagemodel/fiche.h"

#include "pagemodel/basetravail.h"
#include "platform/base/erreur.h"

namespace kal {

QString critereNumero(int n) { return champ::numero + QLatin1Char('=') + QString::number(n); }

QString sourceFace(int base)
{
    // Two blanks before WHERE and one at the end, as the face selection has always been written.
    return QStringLiteral("SELECT * FROM [") + nomTableObjets() + QStringLiteral("]  WHERE [numero] BETWEEN ") +
           QString::number(base) + QStringLiteral(" AND ") + QString::number(base + 15) + QStringLiteral(" ");
}

void Fiches::sourceTable()
{
    d_.definirSource(nomTableObjets());
    d_.actualiser();
}

bd::JeuEnregistrements& Fiches::trouver(int n)
{
    bd::JeuEnregistrements& jeu = d_.jeu();
    jeu.chercherPremier(critereNumero(n));
    // The installed database holds every record; one that lacks it was damaged or replaced.
    if (jeu.sansCorrespondance())
        throw Erreur(bd::err::AucunEnregistrement,
                     QStringLiteral("La fiche de l'objet %1 manque dans la base de données %2. Remplacer ce fichier par "
                                    "une copie intacte, ou le renommer pour que le programme crée une base neuve.")
                         .arg(n)
                         .arg(d_.base()));
    return jeu;
}

QVariantList Fiches::valeursEnEdition(const bd::JeuEnregistrements& jeu)
{
    QVariantList v;
    for (const QString& nom : jeu.champs())
        v << jeu.valeur(nom);
    return v;
}

void Fiches::relire()
{
    // The record set shows what the file holds again, not the writes rolled back.
    try {
        d_.actualiser();
    } catch (const Erreur&) {
        // After a failure, that failure is the one reported; after a commit, the records are
        // stored and the next step reads them afresh.
    }
}

bd::JeuEnregistrements& Fiches::editer(int n)
{
    bd::JeuEnregistrements& jeu = trouver(n);
    jeu.modifier();
    return jeu;
}

}  // namespace kal
