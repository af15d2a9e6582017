// Opening a saved page (ouvrirpage) or jacket (ouvrirjaq): the page being edited is offered a
// save first, the name, the folder, the editor's marker, its database and its pictures are
// checked before anything is reset, then the saved database takes the place of the work
// database, every photo's three work copies and every text-image's text are made from the saved
// files, the page gets its printer settings back (the jacket its thumbnail places), and the
// preview is rebuilt. The jacket opens on its back face. Everything is written aside first, then
// put in place by renames before the screen changes: an open that fails by then leaves the page
// shown as it was; past that point, the rebuild is made again once, and the page is cleared whole
// when even that fails. Objects that did not come back whole are told once the open is done.
#include "pagefiles/pagesperso.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagefiles/dossiersperso.h"
#include "pagefiles/verificationpage.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "text/textes.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"

#include <QCoreApplication>

namespace kal {

namespace {

// The saved database as the open stages it, beside the work database kept aside.
const QString BaseOuverte = QStringLiteral("ouverte.mdb");
// The room kept for the work database's log while the page is reset and rebuilt (each record's
// change appends a page of 4 KB to it: a jacket's rebuild writes about 32 of them).
constexpr qint64 PlaceJournal = 1024 * 1024;
const QString Reserve = QStringLiteral("reserve");

void supprimerSiPresent(const QString& chemin)
{
    try {
        fs::supprimerFichier(chemin);
    } catch (const Erreur& err) {
        if (err.numero() != err::FichierIntrouvable)
            throw;
    }
}

// No work file of the page shown before stays in a slot the opened page does not fill.
void supprimerFichiersTravail(int n)
{
    for (const QString& f : fichierstravail(n))
        supprimerSiPresent(f);
}

// A failure's text with the hidden folder's paths as the user knows them: a copy of a work file or
// of a database there stands for the work file or the work database, anything else for persopag.
QString sansDossierCache(QString texte, const QString& aCote, const QString& perso)
{
    if (aCote.isEmpty())
        return texte;
    const QString travail = fs::dossierCourant() + QLatin1Char('/');
    const QString c = aCote + QLatin1Char('/');
    texte.replace(c + QStringLiteral("avant-"), travail);
    texte.replace(c + BaseOuverte, travail + nomBaseTravail());
    texte.replace(c + Reserve, perso);
    texte.replace(c, travail);
    texte.replace(aCote, perso);
    return texte;
}

// Selecting an option runs its click handler; an option already selected has it run all the same.
void selectionner(BoutonOption& option, const std::function<void()>& clic)
{
    if (option.valeur())
        clic();
    else
        option.definirValeur(true);
}

}  // namespace

bool PagesPerso::ouvrirpage()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();

    e.ouvrirapres = false;
    if (!pageVide() && !e.enregavantconfig) {
        const int r = MsgBox(QStringLiteral("Voulez-vous enregistrer la page ?"), msg::OuiNon + msg::Question,
                             QStringLiteral("CHANGEMENT DE PAGE"));
        if (r == msg::RepOui) {
            if (objetCourantValide()) {
                try {
                    x_.objets().chargimp();
                } catch (const Erreur&) {
                    // The save that follows brings the object up to date and reports a failure.
                }
            }
            // The name chosen waits while the page is saved; the save opens it once done.
            e.nomaouvrir = c.L_kalmorin.texte();
            viderNom();
            c.O_ajout.definirValeur(true);
            e.ouvrirapres = true;
            // A save that is made opens the page itself (apresSauvegarde); one that waits for
            // a name marks nothing: the question stays armed until a save happens.
            sauvpage();
            return false;
        }
        e.nomaouvrir.clear();
    }
    if (jaq)
        e.enregavantconfig = false;
    c.O_ouvrir.definirValeur(true);
    e.ouvrirapres = false;
    if (c.L_kalmorin.texte().isEmpty()) {
        MsgBox(QStringLiteral("Aucun nom désigné pour l'ouverture"), msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }
    // The name kept while the page was saved first is opened now, once: a later open takes
    // the name then typed.
    if (!e.nomaouvrir.isEmpty())
        c.L_kalmorin.definirTexte(e.nomaouvrir);
    e.nomaouvrir.clear();
    e.enregavantconfig = false;

    // Everything is checked before anything of the page shown is touched.
    const QString nom = c.L_kalmorin.texte();
    if (!nomAccepte(nom))
        return false;
    if (jaq) {
        if (!objet32())
            return false;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    const QString dossier = dossierPage(nom);
    std::vector<int> occupes;
    if (!verifierPage(nom, dossier, occupes))
        return false;

    // Every write the open needs is made before anything of the page shown changes, in a hidden
    // folder of persopag (of a name the start removes when a run stopped midway): the work
    // database as it is, kept until the open is done, then the saved database and each object's
    // work files, and the room the database's log takes while the page is rebuilt. Without room
    // for all of it nothing is touched; once it is written only renames remain.
    QString aCote;
    QString gardee;
    bool gardeeEcrite = false;
    try {
        aCote = perso::dossierAcote(dossierPerso(), QStringLiteral(".ancien-"));
        gardee = fs::joindre(aCote, nomBaseTravail());
        x_.D_image.fermerBase();
        fs::copierFichier(ModeleObjets::cheminBase(), gardee);
        lierBaseTravail();
        gardeeEcrite = true;
        preparerFichiers(dossier, aCote, occupes);
        // The room kept for the database's log is given back: the reset and the rebuild use it.
        fs::supprimerFichier(fs::joindre(aCote, Reserve));
    } catch (const Erreur& err) {
        if (!aCote.isEmpty())
            perso::supprimerArbre(aCote);
        lierBaseTravail();
        const QString page = QStringLiteral("La page ") + perso::nomAffichable(nom);
        if (perso::disquePlein(err.description()))
            MsgBox(lignesMessage({page + QStringLiteral(" n'a pas été ouverte : le disque est plein."),
                                  QStringLiteral("La page affichée reste telle quelle. Libérez de la place sur le disque "
                                                 "puis ouvrez-la de nouveau.")}),
                   msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        else
            MsgBox(lignesMessage({page + (gardeeEcrite ? QStringLiteral(" n'a pas pu être ouverte:")
                                                       : QStringLiteral(" n'a pas pu être ouverte: la base de données de "
                                                                        "travail n'a pas pu être gardée de côté le temps "
                                                                        "de l'ouverture.")),
                                  sansDossierCache(err.description(), aCote, dossierPerso())}),
                   msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }
    // Only renames remain, made before anything of the page shown changes: the page shown's work
    // files go into the hidden folder, the staged ones take their names, the saved database the
    // work database's. One that fails has them all undone (no room needed): the page shown stays
    // as it was, its records, its work files and its screen.
    Permutations permutations;
    try {
        x_.D_image.fermerBase();
        placerFichiers(aCote, gardee, occupes, permutations);
    } catch (const Erreur& err) {
        const bool remise = permutations.defaire();
        perso::supprimerArbre(aCote);
        lierBaseTravail();
        MsgBox(lignesMessage({QStringLiteral("La page ") + perso::nomAffichable(nom) + QStringLiteral(" n'a pas pu être ouverte:"),
                              sansDossierCache(err.description(), aCote, dossierPerso()),
                              remise ? QStringLiteral("La page affichée reste telle quelle.")
                                     : QStringLiteral("La page affichée n'a pas pu être remise entière : une partie de ses "
                                                      "fichiers de travail manque.")}),
               msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }
    // The opened page's records and files are in place: the screen is rebuilt from them, once
    // more when a write of the rebuild failed. The reset of the page shown writes into the copy
    // of its database, which nothing reads any more.
    retours_.clear();
    for (int essai = 0;; ++essai) {
        try {
            reinitialiserAvantOuverture(gardee);
            ouvrirDossier(nom, dossier);
            break;
        } catch (const Erreur& err) {
            if (essai == 0)
                continue;
            // Neither page can be shown whole: the opened one's files go back to the hidden
            // folder, the records are those of the cleared page, and the page is cleared.
            x_.D_image.fermerBase();
            permutations.defaire();
            for (int n = 0; n < e.nbEmplacements(); ++n)
                effacerFichiersTravail(n);
            perso::supprimerArbre(aCote);
            echecOuverture(nom, Erreur(err.numero(), sansDossierCache(err.description(), aCote, dossierPerso())));
            return false;
        }
    }
    perso::supprimerArbre(aCote);
    signalerRetours();
    return true;
}

void PagesPerso::preparerFichiers(const QString& dossier, const QString& aCote, const std::vector<int>& occupes)
{
    fs::copierFichier(fs::joindre(dossier, nomBaseTravail()), fs::joindre(aCote, BaseOuverte));
    for (int n : occupes) {
        const QString jpg = fs::joindre(dossier, QStringLiteral("photo%1.jpg").arg(n));
        if (fs::estFichier(jpg)) {
            // Three files, not one under three names: what the editor knows of a work copy holds
            // while the file is not touched, and a file losing one of its names is touched.
            for (const QString& copie : {fichierPhoto(n), fichierSauv(n), fichierInit(n)})
                fs::copierFichier(jpg, fs::joindre(aCote, fs::nomFinal(copie)));
            // The text goes only with its picture: an object without one does not come back.
            const QString rtf = fs::joindre(dossier, QStringLiteral("texte%1.rtf").arg(n));
            if (fs::estFichier(rtf))
                fs::copierFichier(rtf, fs::joindre(aCote, fs::nomFinal(fichierTexte(n))));
        }
    }
    perso::reserver(fs::joindre(aCote, Reserve), PlaceJournal);
}

void PagesPerso::placerFichiers(const QString& aCote, const QString& gardee, const std::vector<int>& occupes,
                                Permutations& permutations)
{
    // A file that cannot be renamed there (persopag on another disk) is removed, and a staged one
    // copied, as before the staging. A failure names the work file concerned, never the hidden
    // folder, and the cause.
    auto renommer = [&](const QString& source, const QString& cible, const QString& travail) {
        try {
            return permutations.renommer(source, cible);
        } catch (const Erreur& err) {
            const QString d = err.description();
            throw Erreur(err.numero(), travail + QStringLiteral(" : ") +
                                           (d.startsWith(cible + QStringLiteral(" : ")) ? d.mid(cible.size() + 3) : err.cause()));
        }
    };
    for (int n = 0; n < x_.etat.nbEmplacements(); ++n)
        for (const QString& f : fichierstravail(n))
            if (fs::estFichier(f) && !renommer(f, fs::joindre(aCote, QStringLiteral("avant-") + fs::nomFinal(f)), f))
                fs::supprimerFichier(f);
    for (int n : occupes) {
        for (const QString& copie : {fichierPhoto(n), fichierSauv(n), fichierInit(n), fichierTexte(n)}) {
            const QString prepare = fs::joindre(aCote, fs::nomFinal(copie));
            if (fs::estFichier(prepare) && !renommer(prepare, copie, copie))
                fs::copierFichier(prepare, copie);
        }
    }
    // The database last: the copy kept of the work database puts it back.
    const QString base = ModeleObjets::cheminBase();
    if (!renommer(fs::joindre(aCote, BaseOuverte), base, base))
        fs::copierFichier(fs::joindre(aCote, BaseOuverte), base);
    permutations.noterBase(gardee, base);
}

bool PagesPerso::Permutations::renommer(const QString& source, const QString& cible)
{
    if (!perso::renommer(source, cible))
        return false;
    faits_.emplace_back(source, cible);
    return true;
}

bool PagesPerso::Permutations::defaire()
{
    bool entier = true;
    if (!base_.first.isEmpty()) {
        try {
            if (!perso::renommer(base_.first, base_.second))
                fs::copierFichier(base_.first, base_.second);
        } catch (const Erreur&) {
            entier = false;
        }
        base_ = {};
    }
    for (auto it = faits_.rbegin(); it != faits_.rend(); ++it) {
        try {
            if (!perso::renommer(it->second, it->first))
                entier = false;
        } catch (const Erreur&) {
            entier = false;
        }
    }
    faits_.clear();
    return entier;
}

bool PagesPerso::verifierPage(const QString& nom, const QString& dossier, std::vector<int>& occupes)
{
    const bool jaq = x_.jaquette();
    const perso::Contenu contenu = perso::examiner(dossier);
    if (!contenu.deSorte(jaq) || !contenu.base) {
        viderNom();
        lierBaseTravail();
        x_.fenetre.definirPointeur(pointeur::Personnalise);
        MsgBox(QStringLiteral("Cette page n'existe pas"), msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }
    // Its database must hold all the open reads of it, and every occupied object a picture that
    // can be read: a refusal here leaves the page shown and the work folder as they are.
    QString quoi = QStringLiteral("sa base de données est illisible ou endommagée.");
    try {
        occupes = perso::verifierBase(fs::joindre(dossier, nomBaseTravail()), jaq);
        quoi = QStringLiteral("une de ses images est illisible.");
        perso::verifierImages(dossier, occupes);
    } catch (const Erreur& err) {
        MsgBox(lignesMessage({QStringLiteral("La page ") + perso::nomAffichable(nom) +
                                  QStringLiteral(" ne peut pas être ouverte: ") + quoi,
                              err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
        return false;
    }
    return true;
}

void PagesPerso::reinitialiserAvantOuverture(const QString& base)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    x_.D_image.definirBase(base);
    x_.D_image.definirSource(nomTableObjets());
    if (!x_.jaquette()) {
        x_.fenetre.definirPointeur(pointeur::Sablier);
        c.F_compos.definirVisible(false);
        e.nbobjets = 0;
        c.T_compos.definirContenutexte(QString());
        e.rechargementencours = true;
        x_.objets().inittabimp();
        x_.disposition().dimpage();
        x_.disposition().marges();
        x_.imagerie().initzero();
        x_.imagerie().inittabreg();
        x_.imagerie().zeroReglagesObjets();
        c.C_decoupe.definirValeur(0);
        c.B_annuldecoupe.definirActif(false);
        e.decoupefaite = false;
        e.decoupeencours = false;
    } else {
        x_.objets().effacpage();
        x_.fenetre.definirPointeur(pointeur::Sablier);
        e.rechargementencours = true;
        e.objetcourant = 0;
        e.objetsurvole = AucunObjet;
        e.nbobjets = 0;
        x_.imagerie().initzero();
        x_.imagerie().zeroReglagesObjets();
    }
}

void PagesPerso::ouvrirDossier(const QString& nom, const QString& dossier)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();

    // The saved database is the work database now. The saved folder is only read: what the open
    // adds (the frame field of an old copy, the thumbnail places for this screen) goes into the
    // work database.
    lierBaseTravail();
    if (!x_.D_image.jeu().aChamp(champ::cadre))
        x_.objets().champcadre(ModeleObjets::cheminBase());
    if (jaq) {
        // The frame box takes the first record's frame; its handler does nothing while the
        // count is 0.
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        const int cadre = arrondi16(x_.D_image.jeu().valeur(champ::cadre).toDouble());
        c.C_cadre.definirValeur(cadre == 1 ? 1 : 0);
        c.F_compos.definirVisible(false);
        e.nbobjets = 0;
        c.C_decoupe.definirValeur(0);
        c.B_annuldecoupe.definirActif(false);
        e.decoupefaite = false;
        e.decoupeencours = false;
        e.nbavant = 0;
        e.nbarriere = 0;
    } else {
        x_.objets().posminiat();
        c.P_page.definirVisible(false);
        parametresPage();
        c.P_page.definirVisible(true);
        x_.objets().effacpage();
    }

    copierObjets(dossier);
    if (jaq)
        placerVignettesJaquette();
    reconstruireOuverte();

    cacherPanneau();
    x_.fenetre.definirPointeur(pointeur::Personnalise);
    // Another page is shown: a save agreed to at quit was for the page now gone.
    e.quitterapres = false;
    e.nompage = nom;
    x_.fenetre.setWindowTitle(QStringLiteral("Page ") + e.nompage);
}

void PagesPerso::parametresPage()
{
    EtatEditeur& e = x_.etat;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    bd::JeuEnregistrements& config = fiches.trouver(NumeroFicheConfig);
    const int orientation = arrondi16(config.valeur(champ::orientation).toDouble());
    const int papier = arrondi16(config.valeur(champ::papersize).toDouble());
    const int largeur = config.valeur(champ::scalewidth).toInt();
    const int hauteur = config.valeur(champ::scaleheight).toInt();
    // A setting the printer refuses is left as it is: the check below then tells the user.
    try {
        x_.imprimante.definirOrientationimprimante(orientation);
    } catch (const Erreur&) {
        // The printer keeps its orientation: the check below tells the user.
    }
    try {
        x_.imprimante.definirFormatimprimante(papier);
    } catch (const Erreur&) {
        // The printer keeps its paper: the check below tells the user.
    }
    x_.disposition().dimpage();
    x_.disposition().marges();
    if (largeur != e.largeursurface.entier() || hauteur != e.hauteursurface.entier())
        MsgBox(lignesMessage({QStringLiteral("La surface imprimable de la page chargée"),
                              QStringLiteral("est différente de celle de l'imprimante connectée"),
                              QStringLiteral("les images peuvent subir des modifications légères de format et de position"),
                              QStringLiteral("les textes peuvent subir des modifications légères de position"),
                              QStringLiteral("Veuillez vérifier aprés chargement")}),
               msg::OK + msg::Exclamation, QStringLiteral("CHANGEMENT D'IMPRIMANTE"));
}

void PagesPerso::copierObjets(const QString& dossier)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    const double echelle = jaq ? 1.0 : e.echelleimp;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    for (int n = 0; n < e.nbEmplacements(); ++n) {
        const size_t i = static_cast<size_t>(n);
        bd::JeuEnregistrements& f = fiches.trouver(n);
        if (!f.valeur(champ::occup).toBool()) {
            supprimerFichiersTravail(n);
            continue;
        }
        const bool texteImage = f.valeur(champ::textimage).toBool();
        auto& ligne = e.tabobjets[i];
        ligne[col::Hauteur] = f.valeur(champ::heightimp).toDouble() / echelle;
        ligne[col::Largeur] = f.valeur(champ::widthimp).toDouble() / echelle;
        ligne[col::Gauche] = f.valeur(champ::leftimp).toDouble() / echelle;
        ligne[col::Haut] = f.valeur(champ::topimp).toDouble() / echelle;

        const QString jpg = fs::joindre(dossier, QStringLiteral("photo%1.jpg").arg(n));
        if (!fs::estFichier(jpg)) {
            // The saved picture is missing: the slot is freed rather than filled with the
            // work copy of the page shown before.
            noterRetour(n, texteImage, QStringLiteral("n'est pas revenu : son image photo%1.jpg manque dans la page enregistrée.").arg(n));
            fiches.modifier(n, [](bd::JeuEnregistrements& j) {
                j.mettre(champ::occup, false);
                j.mettre(champ::textimage, false);
                j.mettre(champ::cadre, 0);
            });
            continue;
        }
        // The three work copies, already in place, are the saved picture: a reset goes back to it.
        for (const QString& copie : {fichierPhoto(n), fichierSauv(n), fichierInit(n)})
            x_.imagerie().copiesConnues().copiee(jpg, copie);
        if (!jaq)
            x_.objets().creerControlePage(n);   // the mouse selects it, as any page object
        c.L_photo[i]->definirGammaaffichage(x_.partage.gamma);
        if (jaq)
            ++(n < 16 ? e.nbavant : e.nbarriere);
        e.nomsobjets[i] = QStringLiteral("Image ") + QString::number(n);

        if (!texteImage) {
            supprimerSiPresent(fichierTexte(n));
            continue;
        }
        QString cause = QStringLiteral("son texte texte%1.rtf manque dans la page enregistrée.").arg(n);
        if (fs::estFichier(fichierTexte(n))) {
            try {
                c.T_compos.chargertexte(fichierTexte(n), 0);
                cause.clear();
            } catch (const Erreur& err) {
                // Handled below: without a readable text the object comes back as the picture it
                // showed.
                cause = QStringLiteral("son texte texte%1.rtf ne peut pas être lu (%2).").arg(n).arg(err.cause());
            }
        }
        if (cause.isEmpty()) {
            ligne[col::Lignes] = compterLignes(c.T_compos.contenutexte());
            x_.textes().totalpolice();
            e.nomsobjets[i] = QStringLiteral("Texte-Image ") + QString::number(n);
        } else {
            // Without a readable text the object comes back as the picture it showed.
            noterRetour(n, true, QStringLiteral("est revenu comme photo : ") + cause);
            fiches.modifier(n, [](bd::JeuEnregistrements& j) { j.mettre(champ::textimage, false); });
            supprimerSiPresent(fichierTexte(n));
        }
    }
    if (!jaq) {
        // The current object: the first occupied object of the page.
        e.objetcourant = AucunObjet;
        for (int n = 0; n < 16; ++n) {
            if (fiches.lire(n, champ::occup).toBool()) {
                e.objetcourant = n;
                break;
            }
        }
    }
}

void PagesPerso::placerVignettesJaquette()
{
    x_.objets().posminiatjaq();
    for (auto& m : x_.c.L_miniat)
        if (m)
            m->definirVisible(false);
}

void PagesPerso::reconstruireOuverte()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // The current object's place as it stands once rebuilt: later rebuilds put it back there.
    auto garderPlace = [&] {
        const int n = e.objetcourant;
        if (n < 0 || n >= e.nbEmplacements() || !c.L_photo[static_cast<size_t>(n)])
            return;
        const ControleImage& photo = *c.L_photo[static_cast<size_t>(n)];
        auto& ligne = e.tabobjets[static_cast<size_t>(n)];
        ligne[col::Gauche] = photo.gaucheReel();
        ligne[col::Haut] = photo.hautReel();
    };
    if (!x_.jaquette()) {
        // The rebuild measures each object on its freshly loaded control.
        e.creationtexte = true;
        x_.objets().initpage();
        e.creationtexte = false;
        garderPlace();
        e.rechargementencours = false;
        return;
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    e.creationtexte = true;
    lierBaseTravail();
    // The front face first, then the back face, which stays shown. The face options do not
    // rebuild a face while rechargementencours holds.
    selectionner(c.O_avant, [this] { x_.objets().O_avant_Click(); });
    c.L_jaq[0]->definirVisible(false);
    if (e.nbavant > 0) {
        x_.objets().initjaq();
        garderPlace();
    }
    selectionner(c.O_arriere, [this] { x_.objets().O_arriere_Click(); });
    if (e.nbarriere > 0) {
        x_.objets().initjaq();
        garderPlace();
    }
    e.creationtexte = false;
    x_.textes().initimagetexte();
    e.rechargementencours = false;
    e.ouvrirapres = false;
}

void PagesPerso::noterRetour(int n, bool texteImage, const QString& quoi)
{
    // A rebuild made again finds the record already changed: the first word on it is kept.
    if (retours_.count(n))
        return;
    QString objet = QStringLiteral("L'objet %1 (%2").arg(n).arg(texteImage ? QStringLiteral("texte-image") : QStringLiteral("photo"));
    if (x_.jaquette())
        objet += n < 16 ? QStringLiteral(", face avant") : QStringLiteral(", face arrière");
    retours_[n] = objet + QStringLiteral(") ") + quoi;
}

void PagesPerso::signalerRetours()
{
    if (retours_.empty())
        return;
    QStringList lignes{QStringLiteral("La page ") + perso::nomAffichable(x_.etat.nompage) +
                       QStringLiteral(" est ouverte, mais pas entière :")};
    for (const auto& [n, ligne] : retours_)
        lignes << ligne;
    retours_.clear();
    MsgBox(lignesMessage(lignes), msg::OK + msg::Exclamation, QStringLiteral("OUVERTURE DE PAGE"));
}

void PagesPerso::echecOuverture(const QString& nom, const Erreur& err)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    e.rechargementencours = false;
    e.creationtexte = false;
    e.majencours = false;
    lierBaseTravail();
    // What the preview showed no longer matches the work database: the page is cleared rather
    // than left half opened.
    try {
        e.effacementpage = true;
        x_.objets().effacpage();
    } catch (const Erreur&) {
        // The clearing stops where it failed: the saved page on disk is untouched, and the message
        // below tells that the open failed.
    }
    e.effacementpage = false;
    e.objetcourant = AucunObjet;
    e.nompage.clear();
    c.P_page.definirVisible(true);
    x_.autcontrol(false, false);
    x_.fenetre.definirPointeur(pointeur::Personnalise);
    MsgBox(lignesMessage({QStringLiteral("La page ") + perso::nomAffichable(nom) + QStringLiteral(" n'a pas pu être ouverte:"),
                          err.description(), QStringLiteral("La page affichée n'a pas pu être gardée : elle est vidée.")}),
           msg::OK + msg::Exclamation, QStringLiteral("ERREUR"));
}

}  // namespace kal
