#include "printing/impression.h"

#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"

namespace kal {

Impression::Impression(ContexteEditeur& ctx) : x_(ctx) {}
Impression::~Impression() = default;

void Impression::brancher()
{
    x_.c.O_compos.surClic = [this] { O_compos_Click(); };
    x_.enregistrerCommande(QStringLiteral("Configurer imprimante"), [this] { return configurerimprimante(); });
    x_.enregistrerCommande(QStringLiteral("Imprimer"), [this] { return imprimer(); });
}

void Impression::O_compos_Click() { x_.c.O_tout.definirActif(false); }

bool Impression::configurerimprimante()
{
    EtatEditeur& e = x_.etat;
    e.configdemandee = true;
    e.largeurpapier = x_.imprimante.largeurfeuille();
    e.hauteurpapier = x_.imprimante.hauteurfeuille();
    return true;
}

bool Impression::imprimer()
{
    // An empty page prints nothing, without a message.
    return x_.jaquette() ? imprimerJaquette() : true;
}

bool Impression::imprimerJaquette()
{
    if (!x_.c.O_imprim.valeur()) {
        MsgBox(lignesMessage({QStringLiteral("Pour imprimer:"), QStringLiteral("-Cocher Imprimer"),
                              QStringLiteral("-Choisir une option"), QStringLiteral("-Cliquer sur Imprimer")}),
               msg::OK + msg::Exclamation, QStringLiteral("IMPRIMER"));
        return false;
    }
    if (x_.etat.nbobjets < 1) {
        MsgBox(QStringLiteral("Aucune jaquette à imprimer"), msg::OK + msg::Exclamation, QStringLiteral("IMPRIMER"));
        return true;
    }
    return true;
}

// --- Printer set-up completion

void Impression::finconfig()
{
    EtatEditeur& e = x_.etat;
    Imprimante& imp = x_.imprimante;
    if (!x_.jaquette() && e.configdemandee &&
        (imp.hauteurfeuille() != e.hauteurpapier || imp.largeurfeuille() != e.largeurpapier)) {
        // Another sheet: the page is laid out again, empty.
        x_.objets().inittabimp();
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
            jeu.mettre(champ::largeurpage, imp.largeurfeuille());
            jeu.mettre(champ::hauteurpage, imp.hauteurfeuille());
            jeu.mettre(champ::scaleheight, arrondi(e.hauteursurface));
            jeu.mettre(champ::scalewidth, arrondi(e.largeursurface));
        });
    }
    ControlesEditeur& c = x_.c;
    for (Controle* k : std::initializer_list<Controle*>{&c.E_margeH, &c.E_margeV, &c.A_margeH, &c.A_margeV, &c.B_centre,
                                                        &c.E_format, &c.A_format, &c.C_decoupe})
        k->definirActif(true);
    e.configdemandee = false;
}

}  // namespace kal
