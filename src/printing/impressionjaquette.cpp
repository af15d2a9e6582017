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
    x_.objets().garderObjetCourant();
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
    const double mH = x_.etat.margejaqH, mV = x_.etat.margejaqV;
    // The marks are placed with the unprintable margin only; the calibration moves the objects.
    imp.definirStyletrait(imp::TraitPointille);
    imp.tracerligne(g[4] + 1712 - mH, g[5] - mV, g[4] + 1712 - mH, g[5] - mV + g[6], 0);
    imp.definirStyletrait(imp::TraitPlein);
    imp.tracerboite(g[1] - mH, g[0] - mV, g[3], g[2], 0);
    x_.D_image.definirSource(sourceImpressionFace(true));
    x_.fiches().actualiser();
    imprimerobjets(0, 16, g[4] - mH, g[5] - mV, false);
    x_.fiches().sourceTable();
}

void Impression::imprar()
{
    Imprimante& imp = x_.imprimante;
    const auto& g = x_.etat.geomjaq;
    const double mH = x_.etat.margejaqH, mV = x_.etat.margejaqV;
    imp.definirStyletrait(imp::TraitPointille);
    imp.tracerligne(g[8] + 399 - mH, g[9] - mV, g[8] + 399 - mH, g[9] - mV + g[10]);
    imp.tracerligne(g[8] + 8165 - mH, g[9] - mV, g[8] + 8165 - mH, g[9] - mV + g[10]);
    imp.definirStyletrait(imp::TraitPlein);
    imp.tracerboite(g[8] - mH, g[9] - mV, g[11], g[10], 0);
    x_.D_image.definirSource(sourceImpressionFace(false));
    x_.fiches().actualiser();
    imprimerobjets(16, 32, g[8] - mH, g[9] - mV, false);
    x_.fiches().sourceTable();
}

}  // namespace kal
