// Printer set-up: the entry "Configurer imprimante" hands the choice of printer to the system's
// printer settings, which run apart from the program; the next click on or repaint of the
// editor window completes the set-up (finconfig): the page is laid out again when the sheet
// changed, and the printer's settings go into the page-settings record of the page.
#include "printing/impression.h"

#include "imaging/fichierstravail.h"
#include "layout/disposition.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"
#include "platform/printer/reglagesimprimantes.h"

namespace kal {

bool Impression::configurerimprimante()
{
    EtatEditeur& e = x_.etat;
    e.configdemandee = true;
    e.largeurpapier = x_.imprimante.largeurfeuille();
    e.hauteurpapier = x_.imprimante.hauteurfeuille();
    configxp();
    return true;
}

void Impression::configxp()
{
    EtatEditeur& e = x_.etat;
    if (!x_.jaquette()) {
        if (e.nbobjets >= 1 && !e.enregavantconfig) {
            const int r = MsgBox(lignesMessage({QStringLiteral("Si vous changez l'orientation ou le format de la page:"),
                                                QStringLiteral("        vous devrez recharger les images."),
                                                QStringLiteral("Voulez-vous enregistrer la page ?")}),
                                 msg::OuiNon + msg::Question, QStringLiteral("CONFIGURATION IMPRIMANTE"));
            if (r == msg::RepOui) {
                if (e.objetcourant < 16)
                    x_.objets().chargimp();
                // The pages panel in save mode: the page is saved at once under the name the
                // panel still holds, or waits there for one. The printer settings wait for the
                // next request, which asks no more only when the save was made: a change of
                // sheet empties the page.
                e.enregavantconfig = x_.fichierspages().pagesPerso().enregistrerAvantConfig();
                return;
            }
        }
    } else if (e.nbobjets >= 1) {
        MsgBox(lignesMessage({QStringLiteral("Vous pouvez changer le type et la qualité du papier et l'encre."),
                              QStringLiteral("Le papier sera toujours configuré en portrait,format A4 .")}),
               msg::OK + msg::Exclamation, QStringLiteral("CONFIGURATION IMPRIMANTE"));
    }
    e.enregavantconfig = false;
    try {
        e.panneauouvert = false;
        x_.imprimante.definirSuividefaut(false);
        const int r = MsgBox(
            lignesMessage({QStringLiteral("Cette action ouvre la fenetre Imprimantes et Télécopieurs du panneau de "
                                          "configuration Windows."),
                           QStringLiteral("Aprés avoir configuré l'imprimante,refermer cette fenetre.")}),
            msg::OKAnnuler + msg::Exclamation, QStringLiteral("CONFIGURER IMPRIMANTE"));
        if (r == msg::RepOK) {
            ouvrirreglagesimprimantes();
            e.panneauouvert = true;
        } else {
            e.panneauouvert = false;
        }
    } catch (const Erreur&) {
        e.panneauouvert = false;
        MsgBox(QStringLiteral("Cette action n'est pas valable pour ce système d'exploitation"), msg::OK + msg::Exclamation,
               QStringLiteral("SYSTEME D'EXPLOITATION"));
    }
}

void Impression::Form_Click()
{
    // The jacket completes a set-up on its repaint only.
    if (x_.jaquette() || !x_.etat.panneauouvert)
        return;
    x_.imprimante.definirSuividefaut(true);
    x_.etat.panneauouvert = false;
    finconfig();
}

void Impression::Form_Paint()
{
    if (!x_.etat.panneauouvert)
        return;
    if (!x_.jaquette()) {
        Form_Click();
        return;
    }
    terminerConfigJaquette();
}

void Impression::terminerConfigJaquette()
{
    // Whatever was chosen, the jacket is printed on A4 portrait.
    x_.imprimante.definirSuividefaut(true);
    try {
        x_.imprimante.definirFormatimprimante(imp::A4);
        x_.imprimante.definirOrientationimprimante(imp::Portrait);
    } catch (const Erreur& err) {
        MsgBox(lignesMessage({QStringLiteral("L'imprimante n'accepte pas la feuille A4 portrait de la jaquette:"),
                              err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("IMPRIMANTE"));
    }
    finconfig();
    x_.etat.panneauouvert = false;
}

void Impression::finconfig()
{
    EtatEditeur& e = x_.etat;
    Imprimante& imp = x_.imprimante;
    if (!x_.jaquette() && e.configdemandee &&
        (imp.hauteurfeuille() != e.hauteurpapier || imp.largeurfeuille() != e.largeurpapier)) {
        // Another sheet: the page is laid out again, empty, and its objects' work files go.
        x_.objets().inittabimp();
        for (int n = 0; n < e.nbEmplacements(); ++n)
            effacerFichiersTravail(n);
        x_.disposition().dimpage();
        x_.disposition().marges();
        if (e.nbobjets > 0)
            x_.objets().initobjets();
    }
    if (!imp.suividefaut())
        imp.definirSuividefaut(true);
    if (!x_.jaquette()) {
        // The page-settings record travels with every saved page. The whole table is searched,
        // whatever record source the last procedure left.
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.modifier(NumeroFicheConfig, [&](bd::JeuEnregistrements& jeu) {
            jeu.mettre(champ::orientation, imp.orientationimprimante());
            jeu.mettre(champ::papersize, imp.formatimprimante());
            jeu.mettre(champ::largeurpage, imp.largeurfeuille().entier());
            jeu.mettre(champ::hauteurpage, imp.hauteurfeuille().entier());
            jeu.mettre(champ::scaleheight, e.hauteursurface.entier());
            jeu.mettre(champ::scalewidth, e.largeursurface.entier());
        });
    }
    ControlesEditeur& c = x_.c;
    for (Controle* k : std::initializer_list<Controle*>{&c.E_margeH, &c.E_margeV, &c.A_margeH, &c.A_margeV, &c.B_centre,
                                                        &c.E_format, &c.A_format, &c.C_decoupe})
        k->definirActif(true);
    e.configdemandee = false;
}

}  // namespace kal
