// The one-time upgrade of a jacket saved with 16 slots (front 0-7, back 8-15, no records 17 to
// 31, an empty first line in jaquet.txt) to the 32 slots of today (front 0-15, back 16-31). A
// folder with anything in slots 16 to 31 is no such jacket, whatever its marker says.
// The conversion is made on a copy of the folder, hidden beside it, which then takes the
// folder's place in one step: a conversion stopped anywhere leaves the saved jacket as it was,
// and the next one starts again from it. Each step is also one that can be made twice: a
// record already there is not added again, a slot already moved has nothing left to move.
#include "pagefiles/pagesperso.h"

#include "pagefiles/dossiersperso.h"
#include "pagefiles/verificationpage.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"

#include <array>

namespace kal {

namespace {

// The fields that go with a back object from slot i to slot i + 8, in this order.
const std::array<const QString*, 19>& champsDeplaces()
{
    static const std::array<const QString*, 19> champs = {
        &champ::heightimp,  &champ::leftimp,       &champ::topimp,         &champ::widthimp,  &champ::rot,
        &champ::texte,      &champ::textimage,     &champ::fontname,       &champ::fontsize,  &champ::fontcolor,
        &champ::fontbold,   &champ::fontitalic,    &champ::fontunderline,  &champ::fontstrikethru,
        &champ::backcolor,  &champ::topminiat,     &champ::leftminiat,     &champ::coulminiat, &champ::cadre};
    return champs;
}

bool ficheExiste(bd::SourceDonnees& d, int n)
{
    bd::JeuEnregistrements& jeu = d.jeu();
    jeu.chercherPremier(critereNumero(n));
    return !jeu.sansCorrespondance();
}

// Inside the copy: a file given the new name; a file that is not there has nothing to move. A
// file of the new name is never written over.
void renommer(const QString& dossier, const QString& de, const QString& vers)
{
    const QString source = fs::joindre(dossier, de);
    if (!fs::estFichier(source))
        return;
    const QString cible = fs::joindre(dossier, vers);
    if (fs::existe(cible))
        throw Erreur(err::AccesChemin, cible + QStringLiteral(" : un fichier porte déjà ce nom"));
    if (!perso::renommer(source, cible))
        throw Erreur(err::AccesChemin, source);
}

// A jacket of 16 slots has nothing in slots 16 to 31: no record there in use, no picture or
// text of theirs. A folder that has is a jacket of 32 slots whose marker was lost, and is
// opened as such; a database that cannot be read is left to the open, which says why.
bool ancienneJaquette(const QString& dossier)
{
    for (int n = 16; n <= 31; ++n)
        if (fs::existe(fs::joindre(dossier, QStringLiteral("photo%1.jpg").arg(n))) ||
            fs::existe(fs::joindre(dossier, QStringLiteral("texte%1.rtf").arg(n))))
            return false;
    try {
        bd::Base base = bd::Base::lire(fs::joindre(dossier, nomBaseTravail()));
        for (const QVariantList& l : base.valeursStockees(nomTableObjets(), {champ::numero, champ::occup})) {
            const int n = bd::valeurDuType(bd::TypeChamp::Long, l[0], champ::numero).toInt();
            if (n >= 16 && n <= 31 && bd::valeurDuType(bd::TypeChamp::Booleen, l[1], champ::occup).toBool())
                return false;
        }
    } catch (const Erreur&) {
        return false;
    }
    return true;
}

}  // namespace

bool PagesPerso::objet32()
{
    const QString nom = x_.c.L_kalmorin.texte();
    bool converti = true;
    // Only a jacket folder of persopag is looked at; anything else is left to the open, which
    // says what is wrong with it.
    if (perso::refusNom(nom).isEmpty()) {
        const QString dossier = dossierPage(nom);
        const perso::Contenu contenu = perso::examiner(dossier);
        if (contenu.deSorte(true) && contenu.base) {
            QStringList lignes;
            try {
                lignes = fs::lireLignes(fs::joindre(dossier, contenu.fichierJaquette), 1, 256);
            } catch (const Erreur&) {
                lignes << QStringLiteral("?");   // unreadable: left to the open
            }
            if ((lignes.isEmpty() || lignes.first().isEmpty()) && ancienneJaquette(dossier)) {
                perso::Permutation etat;
                try {
                    // Only the files are copied: a folder inside would not follow the jacket.
                    if (contenu.sousDossier)
                        throw Erreur(err::AccesChemin, dossier + QStringLiteral(" : le dossier contient un autre dossier"));
                    perso::verifierAncienne(dossier);
                    convertir(dossier, contenu.fichierJaquette, etat);
                } catch (const Erreur& err) {
                    converti = false;
                    lierBaseTravail();
                    MsgBox(lignesMessage({QStringLiteral("La jaquette ") + perso::nomAffichable(nom) +
                                              QStringLiteral(" enregistrée sur 16 objets n'a pas pu être convertie sur 32 objets;"),
                                          etat.ancienEnPlace
                                              ? QStringLiteral("elle est conservée telle quelle et n'est pas ouverte.")
                                              : QStringLiteral("elle n'a pas pu être remise sous son nom: le prochain démarrage du "
                                                               "programme l'y remettra."),
                                          perso::disquePlein(err.description()) ? QStringLiteral("Le disque est plein.")
                                                                                : err.description()}),
                           msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
                }
            }
        }
    }
    // The work database is bound again, whatever the folder held.
    lierBaseTravail();
    return converti;
}

void PagesPerso::convertir(const QString& dossier, const QString& fichierMarque, perso::Permutation& etat)
{
    const QString copie = perso::dossierAcote(dossierPerso(), QStringLiteral(".conversion-"));
    try {
        for (const QString& f : fs::fichiersDe(dossier))
            fs::copierFichier(f, fs::joindre(copie, fs::nomFinal(f)));
        const QString base = fs::joindre(copie, nomBaseTravail());
        x_.D_image.fermerBase();
        x_.D_image.definirBase(base);
        Fiches fiches = x_.fiches();
        fiches.sourceTable();

        // Records 17 to 31, free, each added only when it is not there.
        for (int n = 17; n <= 31; ++n) {
            if (ficheExiste(x_.D_image, n))
                continue;
            bd::JeuEnregistrements& jeu = x_.D_image.jeu();
            jeu.ajouterNouveau();
            jeu.mettre(champ::numero, n);
            jeu.mettre(champ::occup, false);
            jeu.miseAJour();
        }
        // A copy made before frames existed gains the field, 0 in every record.
        fiches.sourceTable();
        if (!x_.D_image.jeu().aChamp(champ::cadre))
            x_.objets().champcadre(base);

        // The back objects 8-15 move to 16-23 with their fields; the slot left is freed.
        std::array<bool, 8> photo{}, texte{};
        for (int i = 8; i <= 15; ++i) {
            fiches.sourceTable();
            bd::JeuEnregistrements& f = fiches.trouver(i);
            if (!f.valeur(champ::occup).toBool())
                continue;
            std::array<QVariant, 19> valeurs;
            for (size_t k = 0; k < valeurs.size(); ++k)
                valeurs[k] = f.valeur(*champsDeplaces()[k]);
            photo[static_cast<size_t>(i - 8)] = true;
            texte[static_cast<size_t>(i - 8)] = f.valeur(champ::texte).toBool() || f.valeur(champ::textimage).toBool();
            fiches.modifier(i + 8, [&](bd::JeuEnregistrements& j) {
                j.mettre(champ::occup, true);
                for (size_t k = 0; k < valeurs.size(); ++k)
                    j.mettre(*champsDeplaces()[k], valeurs[k]);
            });
            fiches.modifier(i, [](bd::JeuEnregistrements& j) { j.mettre(champ::occup, false); });
        }
        x_.D_image.fermerBase();
        // The copy's database whole on its own, nothing of its log left beside it.
        perso::verifierBaseFermee(base, true);
        for (int i = 8; i <= 15; ++i) {
            const size_t k = static_cast<size_t>(i - 8);
            if (photo[k])
                renommer(copie, QStringLiteral("photo%1.jpg").arg(i), QStringLiteral("photo%1.jpg").arg(i + 8));
            if (texte[k])
                renommer(copie, QStringLiteral("texte%1.rtf").arg(i), QStringLiteral("texte%1.rtf").arg(i + 8));
        }
        // The marker last: "ok" says the folder has 32 slots.
        fs::ecrireTexte(fs::joindre(copie, fichierMarque), QStringLiteral("ok"));
        perso::permuter(copie, dossier, &etat);
    } catch (const Erreur& err) {
        x_.D_image.fermerBase();
        // Kept when the journal names it: it may then be the one whole copy of the jacket.
        if (etat.ancienEnPlace)
            perso::supprimerArbre(copie);
        // The copy's files are the jacket's own to the user.
        QString d = err.description();
        d.replace(copie, dossier);
        throw Erreur(err.numero(), d, err.cause());
    } catch (...) {
        x_.D_image.fermerBase();
        perso::supprimerArbre(copie);
        throw;
    }
    // The jacket as it was, now under the copy's name.
    perso::supprimerArbre(copie);
}

}  // namespace kal
