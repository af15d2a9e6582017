// Scanning a page onto the page, or onto the jacket's face shown, as a new photo object (the
// entry "Scanner" of both editors). The current object is stored, a number is taken, the person
// picks the source and one page is acquired through the new object's control; the page is then
// placed as a photo chosen in the open panel is. A failed acquisition frees the number again and
// rebuilds the other objects as they were; so does any other failure on the way, with a message.
#include "imaging/imagerie.h"

#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "platform/scanner/scanner.h"

#include <algorithm>
#include <optional>

namespace kal {

namespace {
// A scan that did not give a page: cancelled, no scanner, the page failing. No message: the
// person saw the chooser or the device.
bool acquisitionManquee(int numero) { return numero == scan::AcquisitionEchouee || numero == scan::SourceIndisponible; }
}  // namespace

bool Imagerie::scanning()
{
    EtatEditeur& e = x_.etat;
    const QString typeAvant = e.typeobjet;
    e.typeobjet = QStringLiteral("photo");
    x_.autcontrol(false, false);
    if (!numerisation()) {
        // Refused at the object limit: the current object keeps its kind, label and controls.
        e.typeobjet = typeAvant;
        const int fin = x_.jaquette() ? e.fincote : 16;
        if (e.nbobjets > 0 && e.objetcourant >= 0 && e.objetcourant < fin)
            x_.autcontrol(true, e.typeobjet == QLatin1String("textimage"));
        return true;
    }
    // A failure that rebuilt the objects has done its own follow-up: the entry stays selected.
    if (e.scanfait)
        return false;
    changeflag(false, false, false, false, false, false);
    changeinit(false, QString());
    if (!x_.jaquette() && e.objetcourant >= 0 && e.objetcourant < 16)
        e.nomsobjets[static_cast<size_t>(e.objetcourant)] = QStringLiteral("Image ") + QString::number(e.objetcourant);
    return true;
}

bool Imagerie::numerisation()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    ModeleObjets::AvantCreation avant = x_.objets().avantCreation();
    if (x_.objets().refusPlein())
        return false;

    Ecran::definirPointeur(pointeur::Sablier);
    QWidget* fenetre = &x_.fenetre;
    int nouveau = -1;
    std::optional<Erreur> erreur;
    // A scan that gave no page: the slot's record is rolled back with the others.
    struct SansPage {};
    try {
        avant.courantRange = x_.objets().garderObjetCourant();
        // The slot taken, the object's box and the thumbnails are one transaction: a scan that
        // fails on the way stores none of them, and the way back writes no record.
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        fiches.transaction([&] {
            x_.objets().prendreEmplacement();
            nouveau = e.objetcourant;
            e.scanfait = false;

            ControleImage& element = *c.L_photo[static_cast<size_t>(nouveau)];
            element.definirScanactif(true);
            element.definirScanoptiondeux(true);
            element.definirScanoptionun(true);
            element.choisirsource(fenetre);
            element.definirScanmode(scan::mode::Couleur | scan::mode::ResolutionPhoto | scan::mode::SurfaceEntiere);
            element.definirScanactif(false);
            if (element.acquerir(fenetre) != 0)
                throw SansPage{};
            Ecran::definirPointeur(pointeur::Personnalise);
            element.suiteacquisition(fenetre);
            x_.objets().placerNouvellePhoto();
        });
        return true;
    } catch (const SansPage&) {
        // No page came: the person saw the chooser or the device, and the way back below follows.
    } catch (const Erreur& err) {
        // Whatever was under way when it failed is over: its guards come down.
        e.majencours = false;
        e.rechargementencours = false;
        erreur = err;
    }

    try {
        echecNumerisation(avant, nouveau);
    } catch (const Erreur& err) {
        // The way back failed too: that is what the person must hear of.
        e.rechargementencours = false;
        Ecran::definirPointeur(pointeur::Fleche);
        erreur = err;
    }
    if (erreur && !acquisitionManquee(erreur->numero()))
        MsgBox(lignesMessage({QStringLiteral("Le scan n'a pas pu aboutir (erreur %1):").arg(erreur->numero()),
                              erreur->cause() + QLatin1Char('.')}),
               msg::OK + msg::Exclamation, QStringLiteral("SCANNER"));
    return true;
}

void Imagerie::echecNumerisation(const ModeleObjets::AvantCreation& avant, int nouveau)
{
    ControlesEditeur& c = x_.c;
    if (nouveau >= 0 && c.L_photo[static_cast<size_t>(nouveau)])
        c.L_photo[static_cast<size_t>(nouveau)]->suiteacquisition(&x_.fenetre);
    if (x_.objets().retablirApresEchec(avant, nouveau))
        x_.etat.scanfait = true;
}

}  // namespace kal
