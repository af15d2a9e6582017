#include "shell/depart.h"

#include "editor/editeur.h"
#include "imaging/fichierstravail.h"
#include "pagefiles/dossiersperso.h"
#include "pagefiles/enregistrement.h"
#include "pagemodel/basetravail.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/base/verroudossier.h"
#include "printing/reglages.h"
#include "workbench/atelier.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFont>
#include <QFontDatabase>

namespace kal {

namespace {
// Designed geometry of the start window, in twips.
constexpr int HauteurConcue = 3600;     // outer height: 3225 of client under 375 of title and borders
constexpr int LargeurClientConcue = 4680;
constexpr int LargeurListe = 2400;
constexpr int HauteurListe = 2220;

const QStringList& entreesFonction()
{
    static const QStringList e = {QStringLiteral("NORMAL"),        QStringLiteral("JAQUETTES CD"),
                                  QStringLiteral("UTILITAIRES"),   QString(),
                                  QStringLiteral("AJUSTER"),       QStringLiteral("DOCUMENTATION"),
                                  QStringLiteral("CONTACT"),       QString(),
                                  QStringLiteral("QUITTER")};
    return e;
}

// The list's font, "MS Sans Serif", as this system has it: itself where it is installed, else
// the font it is replaced by, named first. Qt looks for a name it does not know among the
// system's stand-ins (a search of every installed font) before it tries the replacement.
QFont policeListe()
{
    const QString nom = QStringLiteral("MS Sans Serif");
    QStringList familles{nom};
    if (!QFontDatabase::families().contains(nom, Qt::CaseInsensitive))
        familles = QFont::substitutes(nom) + familles;
    QFont police(familles);
    police.setPointSizeF(9.75);
    police.setBold(true);
    return police;
}
}  // namespace

QString Depart::ancienDossierParDefaut() { return QDir::homePath() + QStringLiteral("/kalmorin"); }

QString Depart::texteIdentification()
{
    QFile f(QStringLiteral(":/vordex.txt"));
    if (f.open(QIODevice::ReadOnly))
        return QString::fromUtf8(f.readAll());
    return QStringLiteral("KALMORIN");
}

Depart::Depart(ReglagesPartages& partage, const QString& ancienDossier)
    : Fenetre(QStringLiteral("DEPART")), L_fonction(this), partage_(partage), ancienDossier_(ancienDossier)
{
    setWindowTitle(QStringLiteral("KALMORIN"));
    L_fonction.widget()->setFont(policeListe());
    L_fonction.placer(0, 0, LargeurListe, HauteurListe);
    L_fonction.surClic = [this] { L_fonction_Click(); };
    // The window as designed, before its load fits it to the list.
    placer(0, 0, LargeurClientConcue, Ecran::hauteurBordsTitre() + (HauteurConcue - 375));
}

void Depart::chargement()
{
    partage_.sautligne = fs::sautLigne();
    partage_.hauteurtitre = arrondi(static_cast<double>(hauteur()) - HauteurConcue);

    identauteur();

    if (!controleEcran()) {
        Programme::terminer();
        return;
    }

    for (const QString& e : entreesFonction())
        L_fonction.ajouter(e);

    dimensionner(L_fonction.largeur() + 100, L_fonction.hauteur() + 390 + partage_.hauteurtitre);
    deplacer(arrondi((Ecran::largeurTwips() - largeur()) / 2.0), arrondi((Ecran::hauteurTwips() - hauteur()) / 2.0));

    partage_.repdepart = fs::dossierCourant();
    // Normally it exists already: looked for first, as an exception thrown and caught at every
    // start costs more than the look.
    const QString persopag = fs::joindre(partage_.repdepart, QStringLiteral("persopag"));
    if (!fs::estDossier(persopag)) {
        try {
            fs::creerDossier(persopag);
        } catch (const Erreur&) {
            // A file of that name, or a folder that cannot be made: the start goes on.
        }
    }
    nettoyerRestes();
    transfpage();
}

void Depart::nettoyerRestes()
{
    // What a previous run stopped halfway left behind: the hidden copies its writes were making in
    // the work folder, in the workbench's photo folder and in the pages the migration was filling,
    // the hidden folders of its saves and deletions in persopag. Not while another copy of the
    // program works in the folder: those would be its writes in progress.
    VerrouDossier verrou;
    if (verrou.prendre(partage_.repdepart) != VerrouDossier::Etat::Pris)
        return;
    fs::supprimerRestesEcriture(partage_.repdepart, [] {
        QStringList noms = {fs::nomFinal(cheminReglages()), QStringLiteral("VORDEX.TXT"), nomBaseTravail(),
                            Atelier::NomTravail};
        // The compression previews of the save-as panel.
        const QStringList& formats = PanneauEnregistrement::formats();
        for (int i = 0; i < formats.size(); ++i)
            if (PanneauEnregistrement::formatCompresse(i))
                noms << nomApercuCompression(formats[i].right(3));
        for (int n = 0; n < 32; ++n)
            for (const QString& f : fichierstravail(n))
                noms << fs::nomFinal(f);
        return noms;
    });
    // The workbench's photos, by the names it files them under.
    fs::supprimerRestesEcriture(fs::joindre(partage_.repdepart, Atelier::NomClasseur), &Atelier::nomDePhotoClassee);
    const QString perso = perso::dossierPerso(partage_.repdepart);
    // A replace or an upgrade stopped halfway is finished or undone first: its hidden folders may
    // hold the only copy of a page.
    const QStringList nonRemises = perso::reprendre(perso);
    perso::supprimerDossiersAcote(perso);
    if (!nonRemises.isEmpty())
        MsgBox(lignesMessage(nonRemises), msg::OK + msg::Exclamation, QStringLiteral("PAGES PERSO"));
    // A migration stopped during a copy: the page it was filling holds the copy of a file that is
    // still in the old folder (each is deleted there once copied).
    if (fs::estDossier(ancienDossier_)) {
        try {
            for (const QString& ancien : fs::sousDossiers(ancienDossier_)) {
                const QString page = fs::joindre(perso, fs::nomFinal(ancien));
                if (!fs::estDossier(page))
                    continue;
                fs::supprimerRestesEcriture(page, [&ancien] {
                    QStringList noms;
                    for (const QString& f : fs::fichiersDe(ancien))
                        noms << fs::nomFinal(f);
                    return noms;
                });
            }
        } catch (const Erreur&) {
            // An old folder that cannot be read: the migration finds it so too.
        }
    }
}

bool Depart::event(QEvent* e)
{
    const bool traite = Fenetre::event(e);
    switch (e->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
        mesurerCadre();
        break;
    default:
        break;
    }
    return traite;
}

void Depart::mesurerCadre()
{
    // hauteurtitre is how much taller the real title bar and borders are than the 375 twips
    // the windows were designed with; the editors' layouts subtract it.
    if (Ecran::mesurerBordsTitre(*this))
        partage_.hauteurtitre = Ecran::hauteurBordsTitre() - 375;
}

void Depart::identauteur()
{
    // Written at every start, before the screen checks. A work folder that cannot be written
    // must not keep the program from starting: the file only identifies the program.
    ++partage_.numfichier;
    try {
        fs::ecrireTexte(fs::joindre(fs::dossierCourant(), QStringLiteral("VORDEX.TXT")), texteIdentification());
    } catch (const Erreur&) {
        // Nothing reads the file back: the program starts without it.
    }
}

bool Depart::controleEcran()
{
    const int tx = Ecran::twipsParPixelX();
    const int ty = Ecran::twipsParPixelY();
    if (tx != 15 || ty != 15) {
        MsgBox(lignesMessage({QStringLiteral(" L'écran doit etre configuré en 96 ppp:"),
                              QStringLiteral("   -Panneau de configuration."), QStringLiteral("   -Affichage."),
                              QStringLiteral("   -Paramètres."), QStringLiteral("   -Avancé."),
                              QStringLiteral("   -Paramètre PPP:Normal(96 ppp).")}),
               msg::Critique, QStringLiteral("CONFIGURATION ECRAN"));
        return false;
    }

    const float w = static_cast<float>(Ecran::largeurTwips()) / static_cast<float>(tx);
    const float h = static_cast<float>(Ecran::hauteurTwips()) / static_cast<float>(ty);
    if (w > 797 && w < 803 && h > 598 && h < 602) {
        partage_.largeurecranpx = 800;
        partage_.hauteurecranpx = 600;
    } else if (w > 1020 && h > 765) {
        partage_.largeurecranpx = arrondi(w);
        partage_.hauteurecranpx = arrondi(h);
    } else {
        MsgBox(lignesMessage({QStringLiteral("Les seules dimensions d'écran admises sont 800 x 600"),
                              QStringLiteral("ou largeur >=1024 et hauteur >=768"),
                              QStringLiteral("Configuration trouvée:") + StrSimple(w) + QStringLiteral(" x ")
                                  + StrSimple(h)}),
               msg::Critique, QStringLiteral("DIMENSION ECRAN"));
        return false;
    }

    if (Ecran::hauteurTwips() < partage_.hauteurecranpx * 15) {
        MsgBox(lignesMessage({QStringLiteral(" Pour optimiser la visualisation,masquer la barre des taches:"),
                              QStringLiteral("   -Panneau de configuration"), QStringLiteral("   -Barre des taches"),
                              QStringLiteral("   -Ne pas conserver la barre des taches au-dessus des autre fenetres."),
                              QStringLiteral("   -Rendre invisible la barre des taches."),
                              QStringLiteral("    (Masquer automatiquement la barre des taches)")}),
               msg::Exclamation, QStringLiteral("DIMENSION ECRAN"));
    }
    return true;
}

void Depart::transfpage()
{
    // No old folder is the normal case: the pointer ends as the arrow, as after any migration.
    if (!fs::estDossier(ancienDossier_)) {
        definirPointeur(pointeur::Fleche);
        return;
    }
    definirPointeur(pointeur::Sablier);
    try {
        const QString persopag = fs::joindre(fs::dossierCourant(), QStringLiteral("persopag"));
        for (const QString& sousDossier : fs::sousDossiers(ancienDossier_)) {
            const QString cible = fs::joindre(persopag, fs::nomFinal(sousDossier));
            fs::creerDossier(cible);
            for (const QString& fichier : fs::fichiersDe(sousDossier)) {
                fs::copierFichier(fichier, fs::joindre(cible, fs::nomFinal(fichier)));
                fs::supprimerFichier(fichier);
            }
            fs::supprimerDossier(sousDossier);
        }
        fs::supprimerDossier(ancienDossier_);
    } catch (const Erreur&) {
        // No old folder (the normal case), a page already present, or a file that would not
        // move: the migration stops here; what was moved stays moved, the rest waits.
        definirPointeur(pointeur::Fleche);
        return;
    }
    definirPointeur(pointeur::Fleche);
    MsgBox(lignesMessage({QStringLiteral("Les pages perso stockées dans ") + ancienDossier_,
                          QStringLiteral("ont été transférées dans ") + fs::dossierCourant() + QStringLiteral("/persopag."),
                          QStringLiteral("Le répertoire ") + ancienDossier_ + QStringLiteral(" a été supprimé.")}),
           msg::Exclamation, QStringLiteral("PAGES PERSO"));
}

void Depart::L_fonction_Click()
{
    const QString entree = L_fonction.texte();
    if (entree == QLatin1String("NORMAL"))
        ouvrirEditeur(TypeEditeur::Page);
    else if (entree == QLatin1String("JAQUETTES CD"))
        ouvrirEditeur(TypeEditeur::Jaquette);
    else if (entree == QLatin1String("UTILITAIRES"))
        Fenetres::montrer(QStringLiteral("UTIL"));
    else if (entree == QLatin1String("AJUSTER"))
        Fenetres::montrer(QStringLiteral("AJUST"));
    else if (entree == QLatin1String("DOCUMENTATION")) {
        partage_.rubriquedoc = QStringLiteral("normal");
        Fenetres::montrer(QStringLiteral("DOC"));
    } else if (entree == QLatin1String("CONTACT"))
        Fenetres::montrer(QStringLiteral("CONTACT"));
    else if (entree == QLatin1String("QUITTER"))
        Programme::terminer();
}

void Depart::ouvrirEditeur(TypeEditeur type)
{
    const bool jaquette = type == TypeEditeur::Jaquette;
    auto* ouvert = qobject_cast<Editeur*>(
        Fenetres::siChargee(Editeur::nomFenetre(jaquette ? TypeEditeur::Page : TypeEditeur::Jaquette)));
    if (!ouvert) {
        Fenetres::montrer(Editeur::nomFenetre(type));
        return;
    }
    const QStringList lignes = {jaquette ? QStringLiteral("L'éditeur de pages est ouvert.")
                                         : QStringLiteral("L'éditeur de jaquettes est ouvert."),
                                jaquette ? QStringLiteral("Le fermer et ouvrir l'éditeur de jaquettes ?")
                                         : QStringLiteral("Le fermer et ouvrir l'éditeur de pages ?")};
    if (MsgBox(lignesMessage(lignes), msg::OuiNon + msg::Question, QStringLiteral("EDITEUR DEJA OUVERT")) != msg::RepOui)
        return;
    // The open editor closes as its QUITTER would, but the program goes on: the chosen editor
    // opens once the close is over (after the save, when the user asks for one).
    ouvert->fermerapp(SuiteFermeture::AutreEditeur);
}

}  // namespace kal
