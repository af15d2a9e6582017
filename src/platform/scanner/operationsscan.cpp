#include "platform/scanner/operationsscan.h"

#include "platform/base/erreur.h"

namespace kal {

void OperationsScan::definirScanactif(bool v)
{
    actif_ = v;
    if (v)
        scanner_->activer();
}

void OperationsScan::choisirsource(QWidget* fenetre) { scanner_->choisirSource(fenetre); }

int OperationsScan::acquerir(QWidget*, QImage& image)
{
    ReglagesScan r;
    r.mode = mode_;
    r.sourceAPlat = optionDeux_;
    try {
        image = scanner_->acquerir(r);
        return 0;
    } catch (const Erreur& e) {
        if (optionUn_)
            throw;
        return e.numero();
    }
}

void OperationsScan::suiteacquisition(QWidget* fenetre)
{
    if (apresacquisition)
        apresacquisition(fenetre);
}

}  // namespace kal
