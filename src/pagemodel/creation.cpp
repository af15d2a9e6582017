// Bringing an object into being: the lowest free slot taken (emplacement), and a photo chosen
// in the open panel turned into a new object with its three work copies (chargementimage); a
// scanned page is placed by the same second half (placerNouvellePhoto).
#include "pagemodel/objets.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "platform/base/messages.h"
#include "printing/impression.h"

namespace kal {

namespace {
bool estTexteImage(const QString& typeobjet) { return typeobjet == QLatin1String("textimage"); }
}  // namespace

bool ModeleObjets::objetCourantPresent() const
{
    const EtatEditeur& e = x_.etat;
    const int fin = x_.jaquette() ? e.fincote : 16;
    return e.nbobjets >= 1 && e.objetcourant >= 0 && e.objetcourant < fin;
}

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

    if (objetCourantPresent()) {
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

bool ModeleObjets::chargementimage(ControleImage& choisie, const QString& nomFichier)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();

    // No free slot: nothing is touched, the current object's work files least of all.
    if (e.nbobjets >= 16 || premierLibre() < 0) {
        messagePlein();
        return false;
    }

    if (objetCourantPresent()) {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        bd::JeuEnregistrements& fiche = fiches.trouver(e.objetcourant);
        const double echelle = jaq ? 1.0 : e.echelleimp;
        c.L_sauvder.definirLargeur(fiche.valeur(champ::widthimp).toDouble() / echelle);
        c.L_sauvder.definirHauteur(fiche.valeur(champ::heightimp).toDouble() / echelle);
        chargimp();
        x_.imagerie().sauvphoto();
        e.nomobjet = e.nomsobjets[static_cast<size_t>(e.objetcourant)];
        e.objetprecedent = e.objetcourant;
    }
    if (!jaq)
        effacpage();
    if (!emplacement())
        return false;

    ControleImage& photo = *c.L_photo[static_cast<size_t>(e.objetcourant)];
    photo.definirBitmap(choisie.bitmap());
    choisie.vider();
    if (nomFichier.right(3).toLower() == QLatin1String("wmf"))
        photo.definirReglagewmf(photo.lecturewmf());
    placerNouvellePhoto();
    return true;
}

void ModeleObjets::placerNouvellePhoto()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    ControleImage& photo = *c.L_photo[static_cast<size_t>(e.objetcourant)];
    x_.imagerie().ecrirecopies(photo, e.objetcourant);
    c.L_sauvtot.definirBitmap(photo.bitmap());

    e.majencours = true;
    c.A_angle.definirValeur(0);
    c.E_angle.definirLegende(QStringLiteral("Angle=0"));
    e.majencours = false;
    e.nbobjetssauv = e.nbobjets;
    e.nbobjets = 0;
    c.C_cadre.definirValeur(0);
    e.nbobjets = e.nbobjetssauv;

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
