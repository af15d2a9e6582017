// The format slider A_format: moving it resizes the current object on the preview, keeps it on
// the printable surface, narrows the position ranges, refreshes the captions and colours, and
// rescales the object's working copy before its record is written again.
#include "layout/disposition.h"

#include "imaging/imagerie.h"
#include "layout/geometrie.h"
#include "pagemodel/fiche.h"
#include "pagemodel/objets.h"
#include "printing/impression.h"
#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"

#include <cmath>
#include <optional>
#include <utility>

namespace kal {

void Disposition::A_format_Change()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // Page: the smallest format is 300 twips above the slider's Min. The change this makes runs
    // the whole handler for the new value first; this run then goes on with it.
    if (!x_.jaquette() && c.A_format.valeur() == c.A_format.min())
        c.A_format.definirValeur(c.A_format.min() + 300);
    // While a turned object's format is worked out (formatangle) the slider only follows. The
    // display procedure of the imaging component names the flag formatencours.
    if (e.formatencours)
        return;
    changeformat();
}

void Disposition::A_format_Scroll()
{
    if (!x_.etat.margesactives || !controleCourant() || !rapportValide())
        return;
    const auto [W, H] = dimensionsFormat(x_.c.A_format.valeur(), modeLargeur());
    x_.c.E_format.definirLegende(legendeFormatDirect(W, H));
}

// The end of the format's editing: the working copy and the record are stored.
void Disposition::A_format_LostFocus()
{
    // Only an object that is there: the slider may lose the focus as its object goes.
    const EtatEditeur& e = x_.etat;
    if (e.nbobjets == 0 || !controleCourant() || !surPartieMontree())
        return;
    try {
        x_.imagerie().sauvder();
        x_.objets().chargimp();
    } catch (const Erreur& err) {
        // The object stays as the sliders show it; the next store writes it.
        MsgBox(lignesMessage({QStringLiteral("L'objet n'a pas pu être enregistré dans la base de travail:"),
                              err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("ENREGISTREMENT OBJET"));
    }
}

std::pair<Twips, Twips> Disposition::tailleFicheFormat() const
{
    const auto [W, H] = dimensionsFormat(x_.c.A_format.valeur(), modeLargeur());
    return tailleAvantRotation(Twips(W), Twips(H), x_.c.L_sauvtot.bitmap().taille(), x_.c.A_angle.valeur());
}

void Disposition::sauvderDepuisFormat()
{
    if (!rapportValide())
        return;
    const auto [l, h] = tailleFicheFormat();
    const double s = echelleApercu();
    x_.c.L_sauvder.definirLargeur(l.reduit(s).valeur());
    x_.c.L_sauvder.definirHauteur(h.reduit(s).valeur());
}

void Disposition::changeformat()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (e.reaffichageencours)
        return;
    ControleImage* photo = controleCourant();
    if (!photo)
        return;
    // The record's store refused (a full disk): the record still holds the format before.
    std::optional<Erreur> refus;
    // A step that fails ends the change where it is; the object is shown again all the same.
    try {
        photo->definirVisible(false);
        const bool jaq = x_.jaquette();
        const Twips SW = e.largeursurface, SH = e.hauteursurface;
        const Twips oH = origineGauche(), oV = origineHaut();
        const auto v = [&c] { return static_cast<double>(c.A_format.valeur()); };

        if (e.margesactives && rapportValide()) {
            const bool largeur = modeLargeur();
            const auto [W, H] = dimensionsFormat(v(), largeur);
            c.E_format.definirLegende(legendeFormatDirect(W, H));
            e.largeurformat = W;

            // Past the surface: back to the surface, at the smallest position.
            if (Twips(v()) > (largeur ? SW : SH)) {
                valeurBornee(c.A_format, (largeur ? SW : SH).entier());
                valeurBornee(c.A_margeV, oV.entier());
                valeurBornee(c.A_margeH, oH.entier());
            }
            // The far edge stays on the surface.
            const auto [Wv, Hv] = dimensionsFormat(v(), largeur);
            if (largeur) {
                c.A_margeH.definirMax((SW + oH - Twips(Wv)).entier());
                c.A_margeV.definirMax((SH + oV - Twips(Hv)).entier());
            } else {
                c.A_margeV.definirMax((SH + oV - Twips(Hv)).entier());
                c.A_margeH.definirMax((SW + oH - Twips(Wv)).entier());
            }
            legendesPositions();
            if (!e.rechargementencours) {
                apercu();
                if (jaq)
                    x_.impression().apercujaq(QStringLiteral("cha"));
            }
            couleurformat();
        }

        if (!e.rechargementencours && !e.rotationencours) {
            Fiches fiches = x_.fiches();
            fiches.sourceTable();
            bd::JeuEnregistrements& fiche = fiches.trouver(e.objetcourant);
            e.rapportfiche = fiche.valeur(champ::heightimp).toDouble() / fiche.valeur(champ::widthimp).toDouble();
            // The working copy's box, and so the record, is the unturned size the new format
            // gives: computed from the slider's value, never scaled from the last box.
            sauvderDepuisFormat();
            x_.imagerie().sauvder();
            try {
                x_.objets().chargimp();
            } catch (const Erreur& err) {
                refus = err;
                throw;
            }
            x_.imagerie().chargephoto(e.objetcourant);
        }

        // The caption of a format change ("Format :" ... " mm") stays the last word, whatever
        // the object's display wrote while it was shown again.
        if (e.margesactives && rapportValide()) {
            const auto [W, H] = dimensionsFormat(v(), modeLargeur());
            c.E_format.definirLegende(legendeFormatDirect(W, H));
        }
        pasCurseur(c.A_format, jaq || e.echelleimp <= 0 ? 15 : Twips(15).reduit(e.echelleimp).entier());
        e.valeurformat = c.A_format.valeur();
        x_.imagerie().changeflag(false, false, false, false, false, false);
    } catch (const Erreur&) {
        // Ends silently, as a format out of range or a missing work file leaves nothing to do.
    }
    if (ControleImage* montree = controleCourant(); montree && !e.rechargementencours)
        montree->definirVisible(true);
    if (refus && !formatRemis_) {
        // What the screen shows follows the record: the slider goes back to the format last
        // stored, which runs this change again for it (its store then finds the record as it
        // is and writes nothing), and the person is told why. While the slider is dragged, the
        // message box ends the drag.
        formatRemis_ = true;
        c.A_format.definirValeur(e.valeurformat);
        formatRemis_ = false;
        // The caption of the format as stored, as the object's display gives it.
        if (rapportValide()) {
            const auto [W, H] = dimensionsFormat(c.A_format.valeur(), modeLargeur());
            c.E_format.definirLegende(legendeFormat(W, H));
        }
        // Nothing runs again while the message is shown: a slider arrow held down repeats.
        const bool encours = std::exchange(e.formatencours, true);
        ModeleObjets::messageEchec(QStringLiteral("FORMAT"), QStringLiteral("Le format de l'objet n'a pas été changé"),
                                   *refus);
        e.formatencours = encours;
    }
}

}  // namespace kal
