#include "pagemodel/objets.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

namespace kal {

QString critereNumero(int n) { return QStringLiteral("numero=") + QString::number(n); }

QString sourceFace(int base)
{
    // Two blanks before WHERE and one at the end, as the face selection has always been written.
    return QStringLiteral("SELECT * FROM [kalmorin]  WHERE [numero] BETWEEN ") + QString::number(base) +
           QStringLiteral(" AND ") + QString::number(base + 15) + QStringLiteral(" ");
}

QString ModeleObjets::cheminBase() { return fs::joindre(fs::dossierCourant(), QStringLiteral("kalmorin.mdb")); }

// --- Writing the current record

void ModeleObjets::ecrirePolice(bd::JeuEnregistrements& jeu)
{
    // The composer's background and the font of its selection.
    const BoiteTexteRiche& t = x_.c.T_compos;
    jeu.mettre(QStringLiteral("backcolor"), t.fondtexte());
    jeu.mettre(QStringLiteral("fontname"), t.selpolice());
    jeu.mettre(QStringLiteral("fontsize"), t.seltaille());
    jeu.mettre(QStringLiteral("fontcolor"), t.selcouleur());
    jeu.mettre(QStringLiteral("fontbold"), t.selgras());
    jeu.mettre(QStringLiteral("fontitalic"), t.selitalique());
    jeu.mettre(QStringLiteral("fontunderline"), t.selsouligne());
    jeu.mettre(QStringLiteral("fontstrikethru"), t.selbarre());
}

void ModeleObjets::ecrireChamps(bd::JeuEnregistrements& jeu)
{
    ControlesEditeur& c = x_.c;
    const EtatEditeur& e = x_.etat;
    jeu.mettre(QStringLiteral("cadre"), c.C_cadre.valeur());
    jeu.mettre(QStringLiteral("rot"), c.A_angle.valeur());
    jeu.mettre(QStringLiteral("occup"), true);
    // The page decides by the kind of the current object, the jacket by the record itself.
    if (!x_.jaquette() && e.typeobjet == QLatin1String("textimage"))
        ecrirePolice(jeu);
    if (x_.jaquette()) {
        // The jacket stores the preview size as it is, in single precision.
        jeu.mettre(QStringLiteral("widthimp"), static_cast<float>(c.L_sauvder.largeur()));
        jeu.mettre(QStringLiteral("heightimp"), static_cast<float>(c.L_sauvder.hauteur()));
    } else {
        jeu.mettre(QStringLiteral("widthimp"), c.L_sauvder.largeur() * e.echelleimp);
        jeu.mettre(QStringLiteral("heightimp"), c.L_sauvder.hauteur() * e.echelleimp);
    }
    jeu.mettre(QStringLiteral("leftimp"), c.A_margeH.valeur());
    jeu.mettre(QStringLiteral("topimp"), c.A_margeV.valeur());
    if (x_.jaquette() && jeu.valeur(QStringLiteral("textimage")).toBool())
        ecrirePolice(jeu);
}

void ModeleObjets::chargimp()
{
    EtatEditeur& e = x_.etat;
    if (x_.jaquette() && !(e.objetcourant < e.fincote))
        return;
    for (;;) {
        x_.D_image.actualiser();
        bd::JeuEnregistrements& jeu = x_.D_image.jeu();
        jeu.chercherPremier(critereNumero(e.objetcourant));
        jeu.modifier();
        try {
            ecrireChamps(jeu);
            jeu.miseAJour();
            return;
        } catch (const Erreur&) {
            // A work database made before frames existed: add the field and write again. When
            // the field is there already, champcadre fails and that failure reaches the caller,
            // so the write is tried at most twice.
            jeu.annulerMiseAJour();
            champcadre(cheminBase());
        }
    }
}

void ModeleObjets::champcadre(const QString& chemin)
{
    x_.D_image.fermerBase();
    {
        bd::Base base = bd::Base::ouvrir(chemin);
        base.ajouterChamp(QStringLiteral("kalmorin"), QStringLiteral("cadre"), bd::TypeChamp::Entier);
        base.fermer();
    }
    x_.D_image.definirBase(chemin);
    x_.D_image.definirSource(QStringLiteral("kalmorin"));
    x_.D_image.actualiser();
    bd::JeuEnregistrements& jeu = x_.D_image.jeu();
    for (int n = 0; n < x_.etat.nbEmplacements(); ++n) {
        jeu.chercherPremier(critereNumero(n));
        jeu.modifier();
        jeu.mettre(QStringLiteral("cadre"), 0);
        jeu.miseAJour();
    }
}

// --- Resetting the table

void ModeleObjets::inittabimp()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    const int largeurEcran = Ecran::largeurTwips();
    x_.D_image.actualiser();
    bd::JeuEnregistrements& jeu = x_.D_image.jeu();

    if (x_.jaquette()) {
        // One row of 16 thumbnail positions, shared by the front slot n and the back slot n + 16.
        e.pasminiat = arrondi(c.L_jaq[16]->largeur() / 16.0);
    }
    for (int n = 0; n < e.nbEmplacements(); ++n) {
        jeu.chercherPremier(critereNumero(n));
        jeu.modifier();
        jeu.mettre(QStringLiteral("occup"), false);
        for (const char* champ : {"heightimp", "leftimp", "topimp", "widthimp", "rot"})
            jeu.mettre(QLatin1String(champ), 0);
        if (x_.jaquette())
            jeu.mettre(QStringLiteral("texte"), false);
        jeu.mettre(QStringLiteral("textimage"), false);
        jeu.mettre(QStringLiteral("backcolor"), 0xFFFFFF);
        if (x_.jaquette()) {
            const double hautJaq = c.L_jaq[0]->hauteur();
            jeu.mettre(QStringLiteral("topminiat"), static_cast<float>((c.E_maximum.haut() - hautJaq) / 2 + hautJaq));
            jeu.mettre(QStringLiteral("leftminiat"),
                       static_cast<double>(largeurEcran - 8505) + static_cast<double>(n % 16) * e.pasminiat);
        } else {
            if (ControleImage* m = c.L_miniat[static_cast<size_t>(n)].get())
                m->definirVisible(false);
            const bool gaucheCol = n < 8;
            jeu.mettre(QStringLiteral("topminiat"), (gaucheCol ? n : n - 8) * e.pasminiat);
            jeu.mettre(QStringLiteral("leftminiat"), static_cast<float>(largeurEcran - (gaucheCol ? 3000 : 1500)));
        }
        jeu.miseAJour();
    }
}

void ModeleObjets::initobjets()
{
    // The page's object controls 0 to 15 go with their objects; element 16 stays.
    ControlesEditeur& c = x_.c;
    for (int n = 0; n < 16; ++n) {
        if (auto& photo = c.L_photo[static_cast<size_t>(n)]) {
            delete photo->widget();
            photo.reset();
        }
        if (ControleImage* m = c.L_miniat[static_cast<size_t>(n)].get())
            m->definirVisible(false);
    }
    c.F_compos.definirVisible(false);
    x_.etat.nbobjets = 0;
}

void ModeleObjets::posminiat()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    const int largeurEcran = Ecran::largeurTwips();
    x_.D_image.definirSource(QStringLiteral("kalmorin"));
    x_.D_image.actualiser();
    // Eight rows from the top of the window down to the composer's height above the
    // indicator line.
    e.pasminiat = arrondi((c.E_maximum.haut() - c.T_compos.hauteur()) / 8.0);
    bd::JeuEnregistrements& jeu = x_.D_image.jeu();
    for (int n = 0; n < 16; ++n) {
        jeu.chercherPremier(critereNumero(n));
        jeu.modifier();
        const bool gaucheCol = n < 8;
        jeu.mettre(QStringLiteral("topminiat"), (gaucheCol ? n : n - 8) * e.pasminiat);
        jeu.mettre(QStringLiteral("leftminiat"), static_cast<float>(largeurEcran - (gaucheCol ? 3000 : 1500)));
        jeu.miseAJour();
    }
}

// --- Jacket faces

void ModeleObjets::initphotoimp()
{
    EtatEditeur& e = x_.etat;
    e.nbobjets = 0;
    x_.D_image.definirSource(sourceFace(e.basecote));
    x_.D_image.actualiser();
    bd::JeuEnregistrements& jeu = x_.D_image.jeu();
    for (jeu.premier(); !jeu.fin(); jeu.suivant()) {
        if (jeu.valeur(QStringLiteral("occup")).toBool()) {
            ++e.nbobjets;
            e.objetcourant = jeu.valeur(QStringLiteral("numero")).toInt();
        }
    }
}

void ModeleObjets::changerface(bool versAvant)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    // Objects are not yet created on a jacket face, so there is never an object to save on
    // the face being left: the switch sets the face, selects and counts its records.
    const int base = versAvant ? 0 : 16;
    for (int n = versAvant ? 16 : 0; n < (versAvant ? 32 : 16); ++n)
        if (ControleImage* m = c.L_miniat[static_cast<size_t>(n)].get())
            m->definirVisible(false);
    e.basecote = static_cast<int16_t>(base);
    e.largeursurface = c.L_jaq[static_cast<size_t>(base)]->largeur();
    e.hauteursurface = c.L_jaq[static_cast<size_t>(base)]->hauteur();
    e.fincote = static_cast<int16_t>(base + 16);
    e.debutrecherche = static_cast<int16_t>(base);
    initphotoimp();
    if (versAvant) {
        c.L_jaq[16]->definirVisible(false);
        if (!e.rechargementencours)
            c.L_jaq[0]->definirVisible(true);
    } else {
        c.L_jaq[16]->definirVisible(true);
        c.L_jaq[0]->definirVisible(false);
    }
    c.F_compos.definirVisible(false);
}

}  // namespace kal
