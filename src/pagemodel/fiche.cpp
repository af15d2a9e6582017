#include "pagemodel/fiche.h"

#include "pagemodel/basetravail.h"

namespace kal {

QString critereNumero(int n) { return champ::numero + QLatin1Char('=') + QString::number(n); }

QString sourceFace(int base)
{
    // Two blanks before WHERE, as the face selection has always been written.
    return QStringLiteral("SELECT * FROM [") + nomTableObjets() + QStringLiteral("]  WHERE [numero] BETWEEN ") +
           QString::number(base) + QStringLiteral(" AND ") + QString::number(base + 15);
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
    return jeu;
}

bd::JeuEnregistrements& Fiches::editer(int n)
{
    bd::JeuEnregistrements& jeu = trouver(n);
    jeu.modifier();
    return jeu;
}

}  // namespace kal
