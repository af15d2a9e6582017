#include "pagemodel/objets.h"

#include "layout/disposition.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "pagemodel/basetravail.h"
#include "printing/impression.h"

namespace kal {

QString ModeleObjets::cheminBase() { return fs::joindre(fs::dossierCourant(), nomBaseTravail()); }

void ModeleObjets::brancher()
{
    ControlesEditeur& c = x_.c;
    c.O_avant.surClic = [this] { O_avant_Click(); };
    c.O_arriere.surClic = [this] { O_arriere_Click(); };
    c.C_cadre.surClic = [this] { C_cadre_Click(); };
    c.C_image.surClic = [this] { C_image_Click(); };
    // Thumbnail 0 comes with the window; the load makes the others and wires each.
    brancherMiniature(0);
    for (size_t n = 0; n < c.L_apjaq.size(); ++n) {
        const int k = static_cast<int>(n);
        c.L_apjaq[n]->surSourisDeplacee = [this, k](int b, int s, double px, double py) { L_apjaq_MouseMove(k, b, s, px, py); };
    }
    x_.enregistrerCommande(QStringLiteral("Effacer page"), [this] {
        effacerpage();
        return true;
    });
}

// --- Writing the current record

void ModeleObjets::ecrirePolice(bd::JeuEnregistrements& jeu)
{
    // The composer's background and the font of its selection.
    const BoiteTexteRiche& t = x_.c.T_compos;
    jeu.mettre(champ::backcolor, t.fondtexte());
    jeu.mettre(champ::fontname, t.selpolice());
    jeu.mettre(champ::fontsize, t.seltaille());
    jeu.mettre(champ::fontcolor, t.selcouleur());
    jeu.mettre(champ::fontbold, t.selgras());
    jeu.mettre(champ::fontitalic, t.selitalique());
    jeu.mettre(champ::fontunderline, t.selsouligne());
    jeu.mettre(champ::fontstrikethru, t.selbarre());
}

void ModeleObjets::ecrireChamps(bd::JeuEnregistrements& jeu)
{
    ControlesEditeur& c = x_.c;
    const EtatEditeur& e = x_.etat;
    jeu.mettre(champ::cadre, c.C_cadre.valeur());
    jeu.mettre(champ::rot, c.A_angle.valeur());
    jeu.mettre(champ::occup, true);
    // The page decides by the kind of the current object, the jacket by the record itself.
    if (!x_.jaquette() && e.typeobjet == QLatin1String("textimage"))
        ecrirePolice(jeu);
    if (x_.jaquette()) {
        // The jacket stores the preview size as it is, in single precision.
        jeu.mettre(champ::widthimp, c.L_sauvder.largeurReelle());
        jeu.mettre(champ::heightimp, c.L_sauvder.hauteurReelle());
    } else {
        jeu.mettre(champ::widthimp, c.L_sauvder.largeurReelle() * e.echelleimp);
        jeu.mettre(champ::heightimp, c.L_sauvder.hauteurReelle() * e.echelleimp);
    }
    jeu.mettre(champ::leftimp, c.A_margeH.valeur());
    jeu.mettre(champ::topimp, c.A_margeV.valeur());
    if (x_.jaquette() && jeu.valeur(champ::textimage).toBool())
        ecrirePolice(jeu);
}

void ModeleObjets::chargimp()
{
    EtatEditeur& e = x_.etat;
    if (x_.jaquette() && !(e.objetcourant < e.fincote))
        return;
    Fiches fiches = x_.fiches();
    for (;;) {
        fiches.actualiser();
        fiches.editer(e.objetcourant);
        try {
            fiches.valider([this](bd::JeuEnregistrements& jeu) { ecrireChamps(jeu); });
            return;
        } catch (const Erreur&) {
            // A work database made before frames existed: add the field and write again, once.
            // Any other failure (a read-only file, a full disk) reaches the caller as it is.
            bool sansCadre = false;
            try {
                sansCadre = !x_.D_image.jeu().aChamp(champ::cadre);
            } catch (const Erreur&) {
                // No record set to tell: the write's own failure is the one reported.
            }
            if (!sansCadre)
                throw;
            champcadre(cheminBase());
        }
    }
}

void ModeleObjets::champcadre(const QString& chemin)
{
    x_.D_image.fermerBase();
    {
        bd::Base base = bd::Base::ouvrir(chemin);
        base.ajouterChamp(nomTableObjets(), champ::cadre, bd::TypeChamp::Entier);
        base.fermer();
    }
    x_.D_image.definirBase(chemin);
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    for (int n = 0; n < x_.etat.nbEmplacements(); ++n)
        fiches.modifier(n, [](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::cadre, 0); });
}

// --- Resetting the table

void ModeleObjets::inittabimp()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    Fiches fiches = x_.fiches();
    fiches.actualiser();

    for (int n = 0; n < e.nbEmplacements(); ++n) {
        fiches.modifier(n, [&](bd::JeuEnregistrements& jeu) {
            jeu.mettre(champ::occup, false);
            for (const QString* nom : {&champ::heightimp, &champ::leftimp, &champ::topimp, &champ::widthimp, &champ::rot})
                jeu.mettre(*nom, 0);
            if (x_.jaquette())
                jeu.mettre(champ::texte, false);
            jeu.mettre(champ::textimage, false);
            jeu.mettre(champ::backcolor, 0xFFFFFF);
            if (!x_.jaquette()) {
                if (ControleImage* m = c.L_miniat[static_cast<size_t>(n)].get()) {
                    m->definirVisible(false);
                    m->definirOptionaffichage(1);
                    m->definirGammaaffichage(x_.partage.gamma);
                }
                positionMiniature(jeu, n);
            }
        });
    }
    if (x_.jaquette())
        posminiatjaq();
}

void ModeleObjets::initobjets()
{
    // The page's object controls 0 to 15 go with their objects; element 16 stays.
    ControlesEditeur& c = x_.c;
    for (int n = 0; n < 16; ++n) {
        c.L_photo[static_cast<size_t>(n)].reset();
        if (ControleImage* m = c.L_miniat[static_cast<size_t>(n)].get())
            m->definirVisible(false);
    }
    c.F_compos.definirVisible(false);
    x_.etat.nbobjets = 0;
}

void ModeleObjets::libererfiches()
{
    ControlesEditeur& c = x_.c;
    Fiches fiches = x_.fiches();
    for (int n = 0; n < x_.etat.nbEmplacements(); ++n) {
        fiches.actualiser();
        fiches.modifier(n, [](bd::JeuEnregistrements& jeu) { jeu.mettre(champ::occup, false); });
        if (x_.jaquette()) {
            const size_t i = static_cast<size_t>(n);
            c.L_photo[i]->definirCouleurFond(fiches.lire(n, champ::coulminiat).toInt());
            c.L_apjaq[i]->definirCouleurFond(c.L_photo[i]->couleurFond());
            c.L_apjaq[i]->definirVisible(false);
        }
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
        if (jeu.valeur(champ::occup).toBool()) {
            ++e.nbobjets;
            e.objetcourant = jeu.valeur(champ::numero).toInt();
        }
    }
}

void ModeleObjets::quitterFace()
{
    // The face left keeps its current object as it was edited; the editing controls stay on,
    // for the kind of that object.
    if (!garderObjetCourant())
        return;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    x_.autcontrol(true, fiches.lire(x_.etat.objetcourant, champ::textimage).toBool());
}

void ModeleObjets::changerface(bool versAvant)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    // The face being left keeps its current object as it was edited: an occupied object of
    // that face only, none after the current object's removal or on an empty face.
    const bool quitte = !e.rechargementencours && (versAvant ? e.basecote == 16 : e.nbobjets >= 1 && e.basecote == 0);
    if (retourFace_)
        return;
    if (quitte && objetOccupe(e.objetcourant, versAvant ? 16 : 0)) {
        try {
            quitterFace();
        } catch (const Erreur& err) {
            // Its files could not be written: the face shown stays, its option ticked again.
            retourFace_ = true;
            (versAvant ? c.O_arriere : c.O_avant).definirValeur(true);
            retourFace_ = false;
            messageEchec(QStringLiteral("JAQUETTE"), QStringLiteral("La face n'a pas été changée"), err);
            return;
        }
    }
    const int base = versAvant ? 0 : 16;
    for (int n = versAvant ? 16 : 0; n < (versAvant ? 32 : 16); ++n)
        if (ControleImage* m = c.L_miniat[static_cast<size_t>(n)].get())
            m->definirVisible(false);
    e.basecote = static_cast<int16_t>(base);
    e.largeursurface = Twips(c.L_jaq[static_cast<size_t>(base)]->largeurReelle());
    e.hauteursurface = Twips(c.L_jaq[static_cast<size_t>(base)]->hauteurReelle());
    e.fincote = static_cast<int16_t>(base + 16);
    e.debutrecherche = static_cast<int16_t>(base);
    const int avant = e.objetcourant;
    initphotoimp();
    // A face without objects leaves no object current, and nothing to edit: the captions no
    // longer describe the other face's object, whether the user switched or a jacket was opened.
    if (e.nbobjets == 0 && avant == e.objetcourant) {
        e.objetcourant = AucunObjet;
        if (!e.rechargementencours) {
            // A crop begun on the face left ends with it; unticked first, since leaving the crop
            // mode gives the geometry controls back.
            c.C_decoupe.definirValeur(0);
            x_.autcontrol(false, false);
        }
        x_.disposition().legendesSansObjet();
    }
    if (versAvant) {
        c.L_jaq[16]->definirVisible(false);
        if (!e.rechargementencours)
            c.L_jaq[0]->definirVisible(true);
    } else {
        c.L_jaq[16]->definirVisible(true);
        c.L_jaq[0]->definirVisible(false);
    }
    c.F_compos.definirVisible(false);
    if (!e.rechargementencours)
        initjaq();
}

void ModeleObjets::L_apjaq_MouseMove(int k, int, int, double, double) { legendeSurvol(k); }

}  // namespace kal
