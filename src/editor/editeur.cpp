#include "editor/editeur.h"

#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagemodel/basetravail.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"
#include "pagemodel/objets.h"
#include "printing/impression.h"
#include "printing/reglages.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"

#include <QEvent>
#include <QMouseEvent>

namespace kal {

namespace {
const QString NomPage = QStringLiteral("IMPRIMER");
const QString NomJaquette = QStringLiteral("JAQUETTE");
}  // namespace

QString Editeur::nomFenetre(TypeEditeur t) { return t == TypeEditeur::Jaquette ? NomJaquette : NomPage; }

Editeur::Editeur(ReglagesPartages& partage, TypeEditeur type, Imprimante* imp)
    : Fenetre(nomFenetre(type)), c(this, type), x(partage, type, c, imp ? *imp : imprimante(), *this)
{
    setWindowTitle(QStringLiteral("Page non référencée"));
    brancher();
    x.brancher();
}

Editeur::~Editeur() = default;

void Editeur::brancher()
{
    brancherSurvol();
    c.L_fonction.surClic = [this] { L_fonction_Click(); };
    c.B_finimprim.surClic = [this] { B_finimprim_Click(); };
    x.reprendreFermeture = [this] { fermerapp(x.etat.suitefermeture); };
    x.enregistrerCommande(QStringLiteral("Documentation"), [this] {
        x.partage.rubriquedoc = x.jaquette() ? QStringLiteral("jaquette") : QStringLiteral("normal");
        Fenetres::montrer(QStringLiteral("DOC"));
        return true;
    });
}

// --- Load

void Editeur::chargement()
{
    // Both editors work on the same database and work files of the work folder, and each
    // one's load frees every record of the other: only one of them may be open at a time.
    const QString autre = x.jaquette() ? NomPage : NomJaquette;
    if (Fenetres::chargee(autre)) {
        refuse_ = true;
        MsgBox(lignesMessage({x.jaquette() ? QStringLiteral("L'éditeur de pages est ouvert.")
                                           : QStringLiteral("L'éditeur de jaquettes est ouvert."),
                              x.jaquette() ? QStringLiteral("Le quitter avant d'ouvrir l'éditeur de jaquettes.")
                                           : QStringLiteral("Le quitter avant d'ouvrir l'éditeur de pages.")}),
               msg::OK + msg::Exclamation, QStringLiteral("EDITEUR DEJA OUVERT"));
        Fenetres::decharger(nom());
        return;
    }
    if (!prendreDossier()) {
        refuse_ = true;
        Fenetres::decharger(nom());
        return;
    }
    if (!x.imprimante.presente())
        MsgBox(x.imprimante.messageAbsence(), msg::OK + msg::Exclamation, QStringLiteral("IMPRIMANTE"));

    try {
        chargerEtapes();
    } catch (const Erreur& e) {
        // The load stops where it failed; the window shows what the completed steps set up,
        // and QUITTER still ends the program without writing over the settings file.
        const QString quitter = QStringLiteral("Cliquer sur QUITTER: le gamma et les corrections d'impression sont conservés.");
        if (e.cause() == QStringLiteral("le disque est plein")) {
            // Said of the work folder's disk, where the load writes, without a number or a file
            // of the program's own.
            QString dossier = x.etat.repinitial;
            if (dossier.isEmpty()) {
                try {
                    dossier = fs::dossierCourant();
                } catch (const Erreur&) {
                    // No folder to name: the disk is named without it.
                }
            }
            MsgBox(lignesMessage({QStringLiteral("L'éditeur n'a pas pu être chargé entièrement : le disque du dossier de travail%1 "
                                                 "est plein. Libérer de la place, puis recommencer.")
                                      .arg(dossier.isEmpty() ? QString() : QLatin1Char(' ') + dossier),
                                  quitter}),
                   msg::OK + msg::Critique, QStringLiteral("ERREUR"));
        } else
            MsgBox(lignesMessage({QStringLiteral("L'éditeur n'a pas pu être chargé entièrement (erreur %1):").arg(e.numero()),
                                  e.description(), quitter}),
                   msg::OK + msg::Critique, QStringLiteral("ERREUR"));
        bloquerSaufQuitter();
    }
}

bool Editeur::prendreDossier()
{
    // Another copy of the program working in this folder would share the database and the work
    // files with this editor, each undoing what the other does.
    QString dossier;
    try {
        dossier = fs::dossierCourant();
    } catch (const Erreur&) {
        return true;   // no folder to share: the load stops on it and says why
    }
    if (verrou_.prendre(dossier) != VerrouDossier::Etat::Occupe)
        return true;
    MsgBox(lignesMessage({QStringLiteral("Une autre copie du programme utilise ce dossier de travail:"), dossier,
                          QStringLiteral("Quitter cette autre copie avant d'ouvrir un éditeur ici.")}),
           msg::OK + msg::Critique, QStringLiteral("ERREUR"));
    return false;
}

void Editeur::bloquerSaufQuitter()
{
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w != c.B_finimprim.widget())
            w->setEnabled(false);
    c.B_finimprim.definirActif(true);
}

void Editeur::chargerEtapes()
{
    EtatEditeur& e = x.etat;
    ReglagesPartages& p = x.partage;
    const bool jaq = x.jaquette();
    Disposition& disposition = x.disposition();
    ModeleObjets& objets = x.objets();
    Impression& impression = x.impression();

    setWindowState(Qt::WindowMaximized);
    placer(0, 0, Ecran::largeurTwips(), Ecran::hauteurTwips());
    // The calibration window gives the printer its orientation and paper back as it goes.
    Fenetres::decharger(QStringLiteral("AJUST"));

    if (jaq)
        disposition.valeurs();
    disposition.dimensionecran();
    if (jaq) {
        e.margejaqH = ((x.imprimante.largeurfeuille() - x.imprimante.largeurimprimable()) / 2).arrondie();
        e.margejaqV = e.margejaqH;
        e.echellejaq = x.imprimante.largeurfeuille() / Twips(c.P_page.largeur());
        impression.pliage();
    }
    for (size_t n = 1; n < c.L_miniat.size(); ++n) {
        c.L_miniat[n] = std::make_unique<ControleImage>(this);
        c.L_miniat[n]->placer(c.L_miniat[0]->gauche(), c.L_miniat[0]->haut(), c.L_miniat[0]->largeur(),
                              c.L_miniat[0]->hauteur());
        c.L_miniat[n]->definirVisible(false);
        objets.brancherMiniature(static_cast<int>(n));
    }
    if (jaq) {
        x.imagerie().preparerdessin();
        e.nbavant = 0;
        e.nbarriere = 0;
    }

    // The installed work database is made when the work folder has none; a table short of
    // records gets them back, as installed (every procedure finds the records 0 to 31).
    if (!creerBaseSiAbsente(fs::dossierCourant()))
        completerBaseTravail(ModeleObjets::cheminBase());
    if (!jaq) {
        x.D_image.definirBase(ModeleObjets::cheminBase());
        objets.posminiat();
        c.C_cadre.definirValeur(0);
    }
    e.repinitial = fs::dossierCourant();
    e.lecteurinitial.clear();   // no drives here: the folder alone is returned to
    if (jaq) {
        x.D_image.definirBase(ModeleObjets::cheminBase());
        x.D_image.definirSource(nomTableObjets());
    }
    listefonction();

    e.objetcourant = 0;
    e.objetsurvole = AucunObjet;
    e.nbobjets = 0;
    e.premiergamma = false;
    e.premiergammajaq.clear();
    if (jaq) {
        e.nbavant = 0;
        e.nbarriere = 0;
    }
    p.gamma = 150;
    objets.inittabimp();

    lireReglages();
    c.A_gamma.definirValeur(arrondi16(p.gamma));
    c.E_gamma.definirLegende(QStringLiteral("Gamma =") + CStr(p.gamma / 100));

    // Every run starts with an empty page, whatever the work database held, and every picture
    // of the objects is shown with the settings' gamma.
    x.imagerie().gammaaffichage();
    objets.libererfiches();
    // Nor any work file of an object of before (a run that ended without its close): a slot
    // taken later never finds one.
    for (int n = 0; n < e.nbEmplacements(); ++n)
        effacerFichiersTravail(n);

    if (!jaq) {
        disposition.dimpage();
        disposition.marges();
        impression.finconfig();
    } else {
        disposition.marges();
        impression.pliage();
        c.O_compos.definirValeur(true);
        e.largeursurface = Twips(c.L_jaq[0]->largeur());
        e.hauteursurface = Twips(c.L_jaq[0]->hauteur());
        e.rechargementencours = true;
        c.O_avant.definirValeur(true);
        e.rechargementencours = false;
        impression.finconfig();
    }

    x.autcontrol(false, false);
    c.A_margeH.definirActif(false);
    c.A_margeV.definirActif(false);

    const QString perso = fs::joindre(fs::dossierCourant(), QStringLiteral("persopag"));
    try {
        fs::creerDossier(perso);
    } catch (const Erreur& err) {
        if (err.numero() != err::AccesChemin)
            throw;   // it exists already: the normal case
        if (!fs::estDossier(perso))
            MsgBox(lignesMessage({QStringLiteral("Le dossier des pages personnelles ne peut pas être créé:"), perso,
                                  QStringLiteral("Un fichier porte ce nom: le renommer ou le déplacer, puis rouvrir l'éditeur.")}),
                   msg::OK + msg::Exclamation, QStringLiteral("PAGES PERSONNELLES"));
    }
    c.R_kalmorin = perso + QLatin1Char('/');

    e.margesactives = true;
    x.autcontrol(false, !jaq);
    c.F_compos.definirVisible(false);
}

void Editeur::lireReglages()
{
    // The settings file: created when missing. A file that cannot be read whole is left as it
    // is, and the close does not write over it: the values in memory did not come from it.
    try {
        EtatReglages etat = lirereglages(x.partage);
        // A gamma the gamma slider cannot hold is read as no gamma.
        if (x.partage.gamma < c.A_gamma.min() || x.partage.gamma > c.A_gamma.max()) {
            x.partage.gamma = 180;
            etat = EtatReglages::Illisible;
        }
        x.etat.reglagesLus = etat == EtatReglages::Lu || etat == EtatReglages::Cree;
        if (etat == EtatReglages::Illisible)
            MsgBox(lignesMessage({QStringLiteral("Le fichier quelvard.ini (gamma et corrections d'impression) est illisible."),
                                  QStringLiteral("Le gamma par défaut (180) est appliqué; le fichier est laissé tel quel."),
                                  QStringLiteral("Refaire l'ajustement de l'imprimante le remplacera.")}),
                   msg::OK + msg::Exclamation, QStringLiteral("FICHIER QUELVARD.INI"));
    } catch (const Erreur& err) {
        MsgBox(lignesMessage({QStringLiteral("Le fichier quelvard.ini ne peut être ni lu ni créé:"), err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("FICHIER QUELVARD.INI"));
    }
}

bool Editeur::dechargement()
{
    if (!refuse_ && !x.etat.repinitial.isEmpty()) {
        try {
            fs::changerDossier(x.etat.repinitial);
        } catch (const Erreur&) {
            // The folder is gone: stay where we are.
        }
    }
    x.etat.margesactives = false;
    verrou_.liberer();
    return true;
}

// --- Hover captions

void Editeur::brancherSurvol()
{
    setMouseTracking(true);
    const std::initializer_list<Controle*> avecRegle = {
        &c.B_annulangle, &c.B_annuldecoupe, &c.B_couleur, &c.B_finimprim, &c.B_initimage, &c.B_police, &c.B_centre,
        &c.C_decoupe,    &c.E_format,       &c.E_margeH,  &c.E_margeV,    &c.E_maximum,   &c.E_nominal, &c.E_surface,
        &c.P_page};
    for (Controle* k : avecRegle) {
        k->widget()->setMouseTracking(true);
        k->widget()->installEventFilter(this);
    }
    QWidget* zone = c.T_compos.editeur()->viewport();
    zone->setMouseTracking(true);
    zone->installEventFilter(this);
}

bool Editeur::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::MouseMove)
        x.survolHorsObjet();
    return Fenetre::eventFilter(o, e);
}

void Editeur::mouseMoveEvent(QMouseEvent* e)
{
    // The window's own background.
    x.survolHorsObjet();
    Fenetre::mouseMoveEvent(e);
}

// --- Function list

void Editeur::listefonction()
{
    const QStringList page = {QStringLiteral("Documentation"),   QString(),
                              QStringLiteral("Effacer page"),    QStringLiteral("Scanner"),
                              QStringLiteral("Charg Image"),     QStringLiteral("Charg Texte"),
                              QStringLiteral("Enregistrer sous"), QStringLiteral("Créer Texte-Image"),
                              QStringLiteral("Redimensionner"),  QStringLiteral("Pages"),
                              QStringLiteral("Configurer imprimante"), QStringLiteral("Imprimer")};
    const QStringList jaquette = {QStringLiteral("Documentation"),     QStringLiteral("Effacer page"),
                                  QStringLiteral("Pages"),             QStringLiteral("Scanner"),
                                  QStringLiteral("Charg Image"),       QStringLiteral("Créer Texte-Image"),
                                  QStringLiteral("Redimensionner"),    QStringLiteral("Configurer imprimante"),
                                  QStringLiteral("Imprimer")};
    for (const QString& entree : x.jaquette() ? jaquette : page)
        c.L_fonction.ajouter(entree);
}

void Editeur::L_fonction_Click()
{
    if (c.L_fonction.indexCourant() == -1)
        return;
    if (!x.jaquette())
        c.P_page.definirVisible(true);
    const ContexteEditeur::Commande* commande = x.commande(c.L_fonction.texte());
    if (commande && !(*commande)())
        return;   // stopped early: the entry stays selected
    c.L_fonction.definirIndex(-1);
}

// --- Close

void Editeur::fermerapp(SuiteFermeture suite)
{
    // A modified page (on the jacket, either face) is offered a save first: the pages panel
    // asks for the name, and the save, once made, comes back here to go on with `suite`.
    if (x.etat.pagemodifiee && !x.fichierspages().pagesPerso().pageVide()) {
        if (MsgBox(QStringLiteral("Voulez-vous enregistrer la page ?"), msg::OuiNon + msg::Question,
                   QStringLiteral("PAGE EN COURS")) == msg::RepOui) {
            x.etat.suitefermeture = suite;
            x.fichierspages().pagesPerso().enregistrerAvantQuitter();
            return;
        }
    }
    // Only values read from the settings file (or the file this load made) are written back:
    // after a load that stopped early, or on a file that could not be read whole, the user's
    // gamma and printer corrections stay as they were.
    try {
        if (x.etat.reglagesLus)
            ecrirereglages(x.partage);
    } catch (const Erreur& err) {
        MsgBox(lignesMessage({QStringLiteral("Le fichier quelvard.ini ne peut pas être écrit:"), err.description(),
                              QStringLiteral("Le gamma et les corrections d'impression ne sont pas enregistrés.")}),
               msg::OK + msg::Exclamation, QStringLiteral("FICHIER QUELVARD.INI"));
    }
    QStringList travail;
    try {
        for (int n = 0; n < x.etat.nbEmplacements(); ++n)
            travail << fichierstravail(n);
    } catch (const Erreur&) {
        travail.clear();   // the work folder was removed, and the work files with it
    }
    for (const QString& f : travail) {
        try {
            fs::supprimerFichier(f);
        } catch (const Erreur& err) {
            if (err.numero() == err::FichierIntrouvable)
                continue;   // the slot never held an object
            // The program stays open with its work files; the user is told why.
            MsgBox(lignesMessage({QStringLiteral("Le fichier de travail ne peut pas être supprimé:"), err.description()}),
                   msg::OK + msg::Exclamation, QStringLiteral("FERMETURE"));
            return;
        }
    }
    // A load that stopped before it noted the folder left the current folder as it was.
    if (!x.etat.repinitial.isEmpty()) {
        try {
            fs::changerDossier(x.etat.repinitial);
        } catch (const Erreur&) {
            // The folder is gone: there is nowhere to return to, and the program ends all the same.
        }
    }
    if (suite == SuiteFermeture::FinProgramme) {
        Programme::terminer();
        return;
    }
    // The window goes (its unload runs; the instance is deleted once this call is over) and
    // the other editor loads at once, on the work folder this one has left clean.
    Fenetres::decharger(nom());
    Fenetres::montrer(nomFenetre(x.jaquette() ? TypeEditeur::Page : TypeEditeur::Jaquette));
}

}  // namespace kal
