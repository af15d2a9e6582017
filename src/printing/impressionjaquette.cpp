// Printing a jacket: the front face in the upper part of an A4 portrait sheet, the back face
// in the lower part, or both on the one sheet; each face with its dotted fold lines and its
// cut outline, then its objects through the page's pipeline.
#include "printing/impression.h"

#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/erreur.h"
#include "platform/printer/imprimante.h"

namespace kal {

namespace {

// The jacket prints on A4 portrait of its own: the printer's orientation and paper are put
// back after the job, so that a page laid out for another sheet is not printed on it.
class FeuilleJaquette {
public:
    explicit FeuilleJaquette(Imprimante& imp)
        : imp_(imp), orientation_(imp.orientationimprimante()), format_(imp.formatimprimante())
    {
        imp_.definirFormatimprimante(imp::A4);
        imp_.definirOrientationimprimante(imp::Portrait);
    }
    ~FeuilleJaquette()
    {
        try {
            imp_.definirFormatimprimante(format_);
        } catch (const Erreur&) {
            // a sheet without a paper code cannot be asked for again: it stays A4
        }
        imp_.definirOrientationimprimante(orientation_);
    }
    FeuilleJaquette(const FeuilleJaquette&) = delete;
    FeuilleJaquette& operator=(const FeuilleJaquette&) = delete;

private:
    Imprimante& imp_;
    int orientation_;
    int format_;
};

// The records of one face in number order.
QString sourceImpressionFace(bool avant)
{
    return QStringLiteral("SELECT * FROM [") + nomTableObjets() +
           (avant ? QStringLiteral("] WHERE [numero] < 16 ORDER BY [numero]")
                  : QStringLiteral("] WHERE [numero] > 15 ORDER BY [numero]"));
}

}  // namespace

void Impression::imprimerJaquetteJob()
{
    Imprimante& imp = x_.imprimante;
    const FeuilleJaquette feuille(imp);
    x_.c.C_image.definirValeur(0);   // its click shows the objects fitted in their boxes
    garderAvantImpression();
    imp.debutdocument();
    // Both faces lie at different heights of the one sheet: no page break between them.
    if (x_.c.O_avant.valeur()) {
        imprav();
    } else if (x_.c.O_arriere.valeur()) {
        imprar();
    } else if (x_.c.O_tout.valeur()) {
        imprav();
        imprar();
    }
    imp.findocument();
}

void Impression::imprav()
{
    Imprimante& imp = x_.imprimante;
    const auto& g = x_.etat.geomjaq;
    const Twips mH = x_.etat.margejaqH, mV = x_.etat.margejaqV;
    // The marks are placed with the unprintable margin only; the calibration moves the objects.
    imp.definirStyletrait(imp::TraitPointille);
    const Twips pli = g[4] + Twips(1712) - mH;
    imp.tracerligne(pli.valeur(), (g[5] - mV).valeur(), pli.valeur(), (g[5] - mV + g[6]).valeur(), 0);
    imp.definirStyletrait(imp::TraitPlein);
    imp.tracerboite((g[1] - mH).valeur(), (g[0] - mV).valeur(), g[3].valeur(), g[2].valeur(), 0);
    x_.D_image.definirSource(sourceImpressionFace(true));
    x_.fiches().actualiser();
    imprimerobjets(0, 16, g[4] - mH, g[5] - mV, false);
    x_.fiches().sourceTable();
}

void Impression::imprar()
{
    Imprimante& imp = x_.imprimante;
    const auto& g = x_.etat.geomjaq;
    const Twips mH = x_.etat.margejaqH, mV = x_.etat.margejaqV;
    const double haut = (g[9] - mV).valeur(), bas = (g[9] - mV + g[10]).valeur();
    imp.definirStyletrait(imp::TraitPointille);
    for (const Twips pli : {g[8] + Twips(399) - mH, g[8] + Twips(8165) - mH})
        imp.tracerligne(pli.valeur(), haut, pli.valeur(), bas);
    imp.definirStyletrait(imp::TraitPlein);
    imp.tracerboite((g[8] - mH).valeur(), haut, g[11].valeur(), g[10].valeur(), 0);
    x_.D_image.definirSource(sourceImpressionFace(false));
    x_.fiches().actualiser();
    imprimerobjets(16, 32, g[8] - mH, g[9] - mV, false);
    x_.fiches().sourceTable();
}

}  // namespace kal
