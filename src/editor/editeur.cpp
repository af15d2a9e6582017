#include "editor/editeur.h"

#include "editor/reglages.h"
#include "pagemodel/basetravail.h"
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

// Fold lines on a preview box or a face outline: thin black children named "pli".
void tracerPli(QWidget* surface, int x, int longueur)
{
    auto* trait = new QFrame(surface);
    trait->setObjectName(QStringLiteral("pli"));
    trait->setFrameStyle(QFrame::NoFrame);
    trait->setAutoFillBackground(true);
    QPalette p = trait->palette();
    p.setColor(QPalette::Window, Qt::black);
    trait->setPalette(p);
    trait->setGeometry(pixelsX(x), 0, 1, std::max(1, pixelsY(longueur)));
    trait->setAttribute(Qt::WA_TransparentForMouseEvents);
    trait->show();
}
void effacerPlis(QWidget* surface)
{
    for (QFrame* f : surface->findChildren<QFrame*>(QStringLiteral("pli"), Qt::FindDirectChildrenOnly))
        delete f;
}
}  // namespace

QString Editeur::nomFenetre(TypeEditeur t) { return t == TypeEditeur::Jaquette ? NomJaquette : NomPage; }

Editeur::Editeur(ReglagesPartages& partage, TypeEditeur type, Imprimante* imp)
    : Fenetre(nomFenetre(type)),
      c(this, type),
      x(partage, type, c, imp ? *imp : imprimante(), *this),
      objets(x),
      disposition(x)
{
    setWindowTitle(QStringLiteral("Page non référencée"));
    brancherSurvol();
    brancherCommandes();
    // The composer's option: composing a face does not print both faces.
    c.O_compos.surClic = [this] { c.O_tout.definirActif(false); };
    c.O_avant.surClic = [this] { objets.changerface(true); };
    c.O_arriere.surClic = [this] { objets.changerface(false); };
    c.B_finimprim.surClic = [this] { fermerapp(); };
}

Editeur::~Editeur() = default;

QStringList Editeur::fichierstravail(int n)
{
    const QString d = fs::dossierCourant();
    const QString num = QString::number(n);
    return {fs::joindre(d, QStringLiteral("photo") + num + QStringLiteral(".svc")),
            fs::joindre(d, QStringLiteral("init") + num + QStringLiteral(".svc")),
            fs::joindre(d, QStringLiteral("sauv") + num + QStringLiteral(".svc")),
            fs::joindre(d, QStringLiteral("texte") + num + QStringLiteral(".svc"))};
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
    if (!x.imprimante.presente())
        MsgBox(x.imprimante.messageAbsence(), msg::OK + msg::Exclamation, QStringLiteral("IMPRIMANTE"));

    try {
        chargerEtapes();
    } catch (const Erreur& e) {
        // The load stops where it failed; the window shows what the completed steps set up.
        MsgBox(lignesMessage({QStringLiteral("Le chargement de l'éditeur s'est arrêté (erreur %1):").arg(e.numero()),
                              e.description()}),
               msg::OK + msg::Critique, QStringLiteral("ERREUR"));
    }
}

void Editeur::chargerEtapes()
{
    EtatEditeur& e = x.etat;
    ReglagesPartages& p = x.partage;
    const bool jaq = x.jaquette();

    setWindowState(Qt::WindowMaximized);
    placer(0, 0, Ecran::largeurTwips(), Ecran::hauteurTwips());
    // The calibration window gives the printer its orientation and paper back as it goes.
    Fenetres::decharger(QStringLiteral("AJUST"));

    if (jaq)
        disposition.valeurs();
    disposition.dimensionecran();
    if (jaq) {
        e.margejaqH = arrondi((x.imprimante.largeurfeuille() - x.imprimante.largeurimprimable()) / 2);
        e.margejaqV = e.margejaqH;
        e.echellejaq = static_cast<double>(x.imprimante.largeurfeuille()) / c.P_page.largeur();
        pliage();
    }
    for (size_t n = 1; n < c.L_miniat.size(); ++n) {
        c.L_miniat[n] = std::make_unique<ControleImage>(this);
        c.L_miniat[n]->placer(c.L_miniat[0]->gauche(), c.L_miniat[0]->haut(), c.L_miniat[0]->largeur(),
                              c.L_miniat[0]->hauteur());
        c.L_miniat[n]->definirVisible(false);
    }
    if (jaq) {
        e.nbavant = 0;
        e.nbarriere = 0;
    }

    // The installed work database is made when the work folder has none.
    creerBaseSiAbsente(fs::dossierCourant());
    if (!jaq) {
        x.D_image.definirBase(ModeleObjets::cheminBase());
        objets.posminiat();
        c.C_cadre.definirValeur(0);
    }
    e.repinitial = fs::dossierCourant();
    e.lecteurinitial.clear();   // no drives here: the folder alone is returned to
    if (jaq) {
        x.D_image.definirBase(ModeleObjets::cheminBase());
        x.D_image.definirSource(QStringLiteral("kalmorin"));
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

    // The settings file: created when missing; an unreadable first line is replaced. A file
    // that can be neither read nor made leaves the values as they are, and the user is told.
    try {
        if (lirereglages(p) == EtatReglages::Remplace)
            MsgBox(lignesMessage({QStringLiteral("La première ligne du fichier quelvard.ini n'est pas un nombre."),
                                  QStringLiteral("Le gamma par défaut (180) est appliqué et le fichier a été réécrit.")}),
                   msg::OK + msg::Exclamation, QStringLiteral("FICHIER QUELVARD.INI"));
    } catch (const Erreur& err) {
        MsgBox(lignesMessage({QStringLiteral("Le fichier quelvard.ini ne peut être ni lu ni créé:"), err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("FICHIER QUELVARD.INI"));
    }
    c.A_gamma.definirValeur(arrondi16(p.gamma));
    c.E_gamma.definirLegende(QStringLiteral("Gamma =") + CStr(p.gamma / 100));

    // Every run starts with an empty page, whatever the work database held.
    for (int n = 0; n < e.nbEmplacements(); ++n) {
        x.D_image.actualiser();
        bd::JeuEnregistrements& jeu = x.D_image.jeu();
        jeu.chercherPremier(critereNumero(n));
        jeu.modifier();
        jeu.mettre(QStringLiteral("occup"), false);
        jeu.miseAJour();
        if (jaq) {
            const int couleur = jeu.valeur(QStringLiteral("coulminiat")).toInt();
            c.L_photo[static_cast<size_t>(n)]->definirCouleurFond(couleur);
            c.L_apjaq[static_cast<size_t>(n)]->definirCouleurFond(c.L_photo[static_cast<size_t>(n)]->couleurFond());
            c.L_apjaq[static_cast<size_t>(n)]->definirVisible(false);
        }
    }

    if (!jaq) {
        disposition.dimpage();
        disposition.marges();
        finconfig();
    } else {
        disposition.marges();
        pliage();
        c.O_compos.definirValeur(true);
        e.largeursurface = c.L_jaq[0]->largeur();
        e.hauteursurface = c.L_jaq[0]->hauteur();
        e.rechargementencours = true;
        c.O_avant.definirValeur(true);
        e.rechargementencours = false;
        finconfig();
    }

    autcontrol(false, false);
    c.A_margeH.definirActif(false);
    c.A_margeV.definirActif(false);

    const QString perso = fs::joindre(fs::dossierCourant(), QStringLiteral("persopag"));
    try {
        fs::creerDossier(perso);
    } catch (const Erreur& err) {
        if (err.numero() != err::AccesChemin)
            throw;   // it exists already: the normal case
    }
    c.R_kalmorin = perso + QLatin1Char('/');

    e.margesactives = true;
    autcontrol(false, !jaq);
    c.F_compos.definirVisible(false);
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
    return true;
}

// --- Enabling the editing controls

void Editeur::autcontrol(bool objet, bool texte)
{
    const std::initializer_list<Controle*> geometrie = {&c.A_format, &c.E_format, &c.A_margeH, &c.E_margeH, &c.A_margeV,
                                                        &c.E_margeV, &c.C_cadre,  &c.B_centre, &c.E_angle,  &c.A_angle,
                                                        &c.B_initimage, &c.C_image, &c.A_gamma, &c.E_gamma};
    const std::initializer_list<Controle*> reglages = {&c.C_decoupe,   &c.A_contraste, &c.E_contraste, &c.A_couleur,
                                                       &c.E_couleur,   &c.A_intensite, &c.E_intensite, &c.A_nettete,
                                                       &c.E_nettete,   &c.A_saturation, &c.E_saturation};
    c.F_compos.definirVisible(false);
    for (Controle* k : geometrie)
        k->definirActif(false);
    for (Controle* k : reglages)
        k->definirActif(false);
    if (texte)
        c.F_compos.definirVisible(true);
    if (objet)
        for (Controle* k : geometrie)
            k->definirActif(true);
    if (texte)
        c.F_compos.definirVisible(true);
    else if (objet)
        for (Controle* k : reglages)
            k->definirActif(true);
}

// --- Hover captions

QString Editeur::legendePage() const
{
    return x.etat.nompage.isEmpty() ? QStringLiteral("Page non référencée") : QStringLiteral("Page ") + x.etat.nompage;
}

void Editeur::survolHorsObjet()
{
    setWindowTitle(legendePage());
    x.etat.objetsurvole = AucunObjet;
}

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
        survolHorsObjet();
    return Fenetre::eventFilter(o, e);
}

void Editeur::mouseMoveEvent(QMouseEvent* e)
{
    // The window's own background.
    survolHorsObjet();
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
    const auto it = commandes.find(c.L_fonction.texte());
    if (it != commandes.end() && it->second && !it->second())
        return;   // stopped early: the entry stays selected
    c.L_fonction.definirIndex(-1);
}

void Editeur::brancherCommandes()
{
    c.L_fonction.surClic = [this] { L_fonction_Click(); };
    EtatEditeur& e = x.etat;

    commandes[QStringLiteral("Documentation")] = [this] {
        x.partage.rubriquedoc = x.jaquette() ? QStringLiteral("jaquette") : QStringLiteral("normal");
        Fenetres::montrer(QStringLiteral("DOC"));
        return true;
    };
    commandes[QStringLiteral("Effacer page")] = [this] {
        effacerPage();
        return true;
    };
    commandes[QStringLiteral("Configurer imprimante")] = [this, &e] {
        e.configdemandee = true;
        e.largeurpapier = x.imprimante.largeurfeuille();
        e.hauteurpapier = x.imprimante.hauteurfeuille();
        // The printers panel and the completion of the set-up come with printer set-up.
        return true;
    };
    // Commands that need an object do nothing on an empty page, without a message.
    for (const QString& besoinObjet : {QStringLiteral("Redimensionner"), QStringLiteral("Enregistrer sous")})
        commandes[besoinObjet] = [] { return true; };
    if (x.jaquette())
        commandes[QStringLiteral("Imprimer")] = [this] { return imprimerJaquette(); };
    else
        commandes[QStringLiteral("Imprimer")] = [] { return true; };
}

void Editeur::effacerPage()
{
    EtatEditeur& e = x.etat;
    // There is no object to take off the page yet: objects are created by a later part.
    if (x.jaquette()) {
        e.nompage.clear();
        e.nomaouvrir.clear();
        e.ouvrirapres = false;
        c.F_compos.definirVisible(false);
        return;
    }
    e.effacementpage = true;
    e.majencours = true;
    e.nompage.clear();
    e.nomaouvrir.clear();
    disposition.dimpage();
    disposition.marges();
    finconfig();
    c.C_cadre.definirValeur(0);
    autcontrol(false, false);
    e.ouvrirapres = false;
    e.majencours = false;
    e.effacementpage = false;
    c.F_compos.definirVisible(false);
}

bool Editeur::imprimerJaquette()
{
    if (!c.O_imprim.valeur()) {
        MsgBox(lignesMessage({QStringLiteral("Pour imprimer:"), QStringLiteral("-Cocher Imprimer"),
                              QStringLiteral("-Choisir une option"), QStringLiteral("-Cliquer sur Imprimer")}),
               msg::OK + msg::Exclamation, QStringLiteral("IMPRIMER"));
        return false;
    }
    if (x.etat.nbobjets < 1) {
        MsgBox(QStringLiteral("Aucune jaquette à imprimer"), msg::OK + msg::Exclamation, QStringLiteral("IMPRIMER"));
        return true;
    }
    return true;
}

// --- Printer set-up completion

void Editeur::finconfig()
{
    EtatEditeur& e = x.etat;
    Imprimante& imp = x.imprimante;
    if (!x.jaquette() && e.configdemandee &&
        (imp.hauteurfeuille() != e.hauteurpapier || imp.largeurfeuille() != e.largeurpapier)) {
        // Another sheet: the page is laid out again, empty.
        objets.inittabimp();
        disposition.dimpage();
        disposition.marges();
        if (e.nbobjets > 0)
            objets.initobjets();
    }
    if (!imp.suividefaut())
        imp.definirSuividefaut(true);
    if (!x.jaquette()) {
        // The page-settings record travels with every saved page. The whole table is searched,
        // whatever record source the last procedure left.
        x.D_image.definirSource(QStringLiteral("kalmorin"));
        x.D_image.actualiser();
        bd::JeuEnregistrements& jeu = x.D_image.jeu();
        jeu.chercherPremier(critereNumero(16));
        jeu.modifier();
        jeu.mettre(QStringLiteral("orientation"), imp.orientationimprimante());
        jeu.mettre(QStringLiteral("papersize"), imp.formatimprimante());
        jeu.mettre(QStringLiteral("largeurpage"), imp.largeurfeuille());
        jeu.mettre(QStringLiteral("hauteurpage"), imp.hauteurfeuille());
        jeu.mettre(QStringLiteral("scaleheight"), arrondi(e.hauteursurface));
        jeu.mettre(QStringLiteral("scalewidth"), arrondi(e.largeursurface));
        jeu.miseAJour();
    }
    for (Controle* k : std::initializer_list<Controle*>{&c.E_margeH, &c.E_margeV, &c.A_margeH, &c.A_margeV, &c.B_centre,
                                                        &c.E_format, &c.A_format, &c.C_decoupe})
        k->definirActif(true);
    e.configdemandee = false;
}

// --- Fold marks

void Editeur::pliage()
{
    if (!x.jaquette())
        return;
    const double s = x.etat.echellejaq;
    const auto& g = x.etat.geomjaq;
    for (int n : {0, 16}) {
        effacerPlis(c.P_apjaq[static_cast<size_t>(n)]->widget());
        effacerPlis(c.L_jaq[static_cast<size_t>(n)]->widget());
    }
    tracerPli(c.P_apjaq[0]->widget(), arrondi(1712 / s), arrondi(g[2] / s));
    tracerPli(c.P_apjaq[16]->widget(), arrondi(369 / s), arrondi(g[10] / s));
    tracerPli(c.P_apjaq[16]->widget(), arrondi(8165 / s), arrondi(g[10] / s));
    // On the face outlines the marks are in face twips.
    tracerPli(c.L_jaq[0]->widget(), 1712, g[2]);
    tracerPli(c.L_jaq[16]->widget(), 369, g[10]);
    tracerPli(c.L_jaq[16]->widget(), 8165, g[10]);
}

// --- Close

void Editeur::fermerapp()
{
    // The offer to save a modified page comes with the personal pages; until then a page
    // closes without it.
    try {
        ecrirereglages(x.partage);
    } catch (const Erreur& err) {
        MsgBox(lignesMessage({QStringLiteral("Le fichier quelvard.ini ne peut pas être écrit:"), err.description(),
                              QStringLiteral("Le gamma et les corrections d'impression ne sont pas enregistrés.")}),
               msg::OK + msg::Exclamation, QStringLiteral("FICHIER QUELVARD.INI"));
    }
    for (int n = 0; n < x.etat.nbEmplacements(); ++n) {
        for (const QString& f : fichierstravail(n)) {
            try {
                fs::supprimerFichier(f);
            } catch (const Erreur& err) {
                if (err.numero() == err::FichierIntrouvable)
                    continue;   // the slot never held an object
                // The program stays open with its work files; the user is told why.
                MsgBox(lignesMessage({QStringLiteral("Le fichier de travail ne peut pas être supprimé:"), f}),
                       msg::OK + msg::Exclamation, QStringLiteral("FERMETURE"));
                return;
            }
        }
    }
    try {
        fs::changerDossier(x.etat.repinitial);
    } catch (const Erreur&) {
        return;
    }
    Programme::terminer();
}

}  // namespace kal
