// Bringing an object into being: the lowest free slot taken (emplacement), and a photo chosen
// in the open panel turned into a new object with its three work copies (chargementimage); a
// scanned page is placed by the same second half (placerNouvellePhoto).
#include "pagemodel/objets.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "printing/impression.h"

#include <QFile>
#include <algorithm>

namespace kal {

namespace {
bool estTexteImage(const QString& typeobjet) { return typeobjet == QLatin1String("textimage"); }
}  // namespace

void ModeleObjets::messagePlein()
{
    MsgBox(QStringLiteral("Impossible de créer un objet supplémentaire"), msg::OK + msg::Exclamation,
           x_.jaquette() ? QStringLiteral("16 OBJETS SUR LA JAQUETTE") : QStringLiteral("16 OBJETS SUR LA PAGE"));
}

bool ModeleObjets::refusPlein()
{
    // A page or face whose records are all taken although the count says otherwise is as full.
    if (x_.etat.nbobjets < 16 && premierLibre() >= 0)
        return false;
    messagePlein();
    return true;
}

int ModeleObjets::premierLibre()
{
    // Searched on the whole table, whatever record source the last procedure left.
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    const int debut = x_.jaquette() ? x_.etat.debutrecherche : 0;
    for (int n = debut; n < debut + 16; ++n)
        if (!fiches.lire(n, champ::occup).toBool())
            return n;
    return -1;
}

bool ModeleObjets::emplacement()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();

    // The callers have stored the current object already; its display is let go here.
    if (objetCourantSurLaFace() && c.L_photo[static_cast<size_t>(e.objetcourant)]) {
        x_.imagerie().enregimage();
        c.L_photo[static_cast<size_t>(e.objetcourant)]->vider();
        if (jaq)
            x_.impression().apercujaq(QStringLiteral("des"));
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        if (fiches.lire(e.objetcourant, champ::textimage).toBool())
            c.T_compos.sauvertexte(fichierTexte(e.objetcourant), 0);
    }
    if (e.nbobjets >= 16)
        return false;

    e.majencours = true;
    c.A_angle.definirValeur(0);
    c.C_cadre.definirValeur(0);
    e.majencours = false;

    const int libre = premierLibre();
    if (libre < 0) {
        if (jaq)
            x_.impression().apercujaq(QStringLiteral("cha"));
        return false;
    }
    e.objetcourant = libre;
    if (!jaq)
        creerControlePage(libre);
    Fiches fiches = x_.fiches();
    fiches.modifier(libre, [&](bd::JeuEnregistrements& jeu) {
        jeu.mettre(champ::occup, true);
        if (!jaq) {
            jeu.mettre(champ::cadre, 0);
            jeu.mettre(champ::rot, 0);
        }
        jeu.mettre(champ::textimage, estTexteImage(e.typeobjet));
        if (jaq) {
            if (estTexteImage(e.typeobjet))
            {
                c.E_format.definirCouleurFond(0xFFFFFF);
                c.E_format.definirCouleurTexte(0);
            }
            jeu.mettre(champ::texte, false);
        }
        e.pagemodifiee = true;
    });
    ++e.nbobjets;
    if (jaq) {
        if (e.objetcourant >= 16)
            e.nbarriere = static_cast<int16_t>(e.nbobjets);
        else
            e.nbavant = static_cast<int16_t>(e.nbobjets);
        x_.impression().apercujaq(QStringLiteral("cha"));
    }
    return true;
}

void ModeleObjets::prendreEmplacement()
{
    if (!x_.jaquette())
        effacpage();
    if (!emplacement())
        throw Erreur(err::IndiceHorsLimites, QStringLiteral("Aucun emplacement libre pour un nouvel objet."));
}

void ModeleObjets::messageEchec(const QString& titre, const QString& quoi, const Erreur& err)
{
    MsgBox(quoi + QStringLiteral(" : ") + err.cause() + QLatin1Char('.'), msg::OK + msg::Exclamation, titre);
}

ModeleObjets::AvantCreation ModeleObjets::avantCreation() const
{
    const EtatEditeur& e = x_.etat;
    return {e.nbobjets, e.objetcourant, e.nbavant, e.nbarriere, false};
}

int ModeleObjets::preparerNouvelObjet(AvantCreation& avant, const std::function<void(int, fs::Remplacement&)>& ecrire)
{
    avant = avantCreation();
    avant.courantRange = garderObjetCourant();
    const int libre = premierLibre();
    if (libre < 0)
        throw Erreur(err::IndiceHorsLimites, QStringLiteral("Aucun emplacement libre pour un nouvel objet."));
    // The slot is free: a file of its that the writing put in place before a failure goes.
    std::vector<bool> avaient;
    for (const QString& f : fichierstravail(libre))
        avaient.push_back(fs::existe(f));
    try {
        fs::Remplacement lot;
        ecrire(libre, lot);
        lot.installer();
    } catch (const Erreur&) {
        const QStringList fichiers = fichierstravail(libre);
        for (qsizetype i = 0; i < fichiers.size(); ++i)
            if (!avaient[static_cast<size_t>(i)])
                QFile::remove(fichiers[i]);
        throw;
    }
    return libre;
}

void ModeleObjets::placerNouvelObjet(const AvantCreation& avant, int libre, const std::function<void()>& placer)
{
    bool commence = false;
    try {
        // Every record the placing writes (the slot taken, the object's box, the thumbnails) is
        // one transaction: on any failure, whatever its number or the engine's code, none of
        // them is stored.
        x_.fiches().transactionSurTable(placer, commence);
    } catch (const Erreur&) {
        // The new slot's files go first: they need neither the database nor room on the disk.
        effacerFichiersTravail(libre);
        // Refused before the page changed (the transaction could not begin): nothing to rebuild.
        if (!commence)
            throw;
        try {
            retablirApresEchec(avant, libre);
        } catch (const Erreur&) {
            // The way back could not rebuild the page: the caller's message still says what was
            // not done, and the records are those from before the step.
        }
        throw;
    }
}

bool ModeleObjets::retablirApresEchec(const AvantCreation& avant, int nouveau)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    // Whatever was under way when it failed is over: its guards come down.
    e.majencours = false;
    e.rechargementencours = false;
    e.nbobjets = avant.nbobjets;
    if (jaq) {
        e.nbavant = avant.nbavant;
        e.nbarriere = avant.nbarriere;
    }
    Fiches fiches = x_.fiches();
    fiches.sourceTable();

    // The number taken is free again, and nothing of it stays on show.
    if (nouveau >= 0) {
        try {
            abandonnerObjet(nouveau);
        } catch (const Erreur&) {
            // Its files and display are gone already; the record stays as the file holds it (a
            // step whose records were one transaction has it free again), and the page is
            // rebuilt all the same.
        }
        if (jaq && avant.courantRange)
            e.nomsobjets[static_cast<size_t>(nouveau)] = e.nomobjet;
    }

    // The object to come back to: the one current before the step while it is still there,
    // otherwise the lowest object of the page or face.
    const int debut = jaq ? e.basecote : 0;
    const int fin = std::min(debut + 16, e.nbEmplacements());
    auto occupe = [&](int k) { return k >= debut && k < fin && fiches.lire(k, champ::occup).toBool(); };
    int retour = occupe(avant.objetcourant) ? avant.objetcourant : -1;
    for (int k = debut; retour < 0 && k < fin; ++k)
        if (occupe(k))
            retour = k;

    if (!jaq) {
        if (avant.nbobjets == 0 || retour < 0) {
            e.nbobjets = 0;
            Ecran::definirPointeur(pointeur::Fleche);
            return false;
        }
        e.objetcourant = retour;
        for (int k = 0; k < 16; ++k)
            if (occupe(k) && !c.L_photo[static_cast<size_t>(k)])
                creerControlePage(k);
        e.rechargementencours = true;
        initpage();
        e.rechargementencours = false;
    } else {
        e.objetcourant = retour >= 0 ? retour : AucunObjet;
        e.rechargementencours = true;
        initjaq();
        e.rechargementencours = false;
    }
    if (retour >= 0 && retour == avant.objetcourant && avant.courantRange)
        e.nomsobjets[static_cast<size_t>(e.objetcourant)] = e.nomobjet;
    Ecran::definirPointeur(pointeur::Personnalise);
    return true;
}

bool ModeleObjets::chargementimage(ControleImage& choisie, const QString& nomFichier)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;

    // No free slot: nothing is touched, the current object's work files least of all.
    if (e.nbobjets >= 16 || premierLibre() < 0) {
        messagePlein();
        return false;
    }

    const QString titre = QStringLiteral("CHARGEMENT D'IMAGE");
    const QString quoi = QStringLiteral("La photo %1 n'a pas été chargée").arg(fs::nomFinal(nomFichier));
    AvantCreation avant;
    int libre = -1;
    try {
        libre = preparerNouvelObjet(avant,
                                    [&](int n, fs::Remplacement& lot) { x_.imagerie().ecrirecopies(choisie, n, lot); });
    } catch (const Erreur& err) {
        // The page as it was shows behind the message (the open panel had it hidden).
        c.P_page.definirVisible(true);
        messageEchec(titre, quoi, err);
        return false;
    }
    x_.imagerie().copiesEcrites(choisie, libre);
    try {
        placerNouvelObjet(avant, libre, [&] {
            prendreEmplacement();
            ControleImage& photo = *c.L_photo[static_cast<size_t>(e.objetcourant)];
            photo.definirBitmap(choisie.bitmap());
            if (nomFichier.right(3).toLower() == QLatin1String("wmf"))
                photo.definirReglagewmf(photo.lecturewmf());
            placerNouvellePhoto(e.objetcourant == libre);
        });
    } catch (const Erreur& err) {
        // Its files were there, but the record or the rebuild failed: the slot went, with them.
        c.P_page.definirVisible(true);
        messageEchec(titre, quoi, err);
        return false;
    }
    choisie.vider();
    return true;
}

void ModeleObjets::placerNouvellePhoto(bool copiesFaites)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    ControleImage& photo = *c.L_photo[static_cast<size_t>(e.objetcourant)];
    if (!copiesFaites)
        x_.imagerie().ecrirecopies(photo, e.objetcourant);
    c.L_sauvtot.definirBitmap(photo.bitmap());

    e.majencours = true;
    c.A_angle.definirValeur(0);
    c.E_angle.definirLegende(QStringLiteral("Angle=0"));
    e.majencours = false;
    decocherCadre();

    e.rechargementencours = true;
    x_.imagerie().affichphoto();
    e.rechargementencours = false;
    c.L_sauvder.definirLargeur(photo.largeurReelle());
    c.L_sauvder.definirHauteur(photo.hauteurReelle());
    e.valeurformat = c.A_format.valeur();
    chargimp();

    // Every occupied slot gets its control again before the rebuild.
    if (!jaq)
        recreerControlesPage();
    e.rechargementencours = true;
    e.creationtexte = false;
    reconstruire();
    e.rechargementencours = false;
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
}

}  // namespace kal
