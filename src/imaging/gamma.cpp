// The display gamma: how the pictures are shown, never what is filed or printed.
#include "imaging/imagerie.h"

#include "platform/base/conversions.h"

namespace kal {

void Imagerie::brancherGamma()
{
    ControlesEditeur& c = x_.c;
    c.A_gamma.surChangement = [this] { A_gamma_Change(); };
    c.A_gamma.surDefilement = [this] { A_gamma_Change(); };
}

void Imagerie::changegamma()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    ReglagesPartages& p = x_.partage;
    // The first change, raised by the load, only arms the slider (the jacket stays armed
    // through its later loads).
    if (x_.jaquette() ? e.premiergammajaq != QLatin1String("oui") : !e.premiergamma) {
        if (x_.jaquette())
            e.premiergammajaq = QStringLiteral("oui");
        else
            e.premiergamma = true;
        return;
    }
    p.gamma = c.A_gamma.valeur();
    c.E_gamma.definirLegende(QStringLiteral("Gamma =") + CStr(p.gamma / 100));
    if (x_.jaquette()) {
        // Only the first preview image of the face shown, as the jacket always did; the others
        // take the gamma at their next display.
        if (e.basecote == 0 || e.basecote == 16) {
            ControleImage& apercu = *c.L_apjaq[static_cast<size_t>(e.basecote)];
            apercu.definirGammaaffichage(p.gamma);
            apercu.repeindre();
        }
        return;
    }
    // The occupied objects of the page, walked on the whole table (which stays the record
    // source): their pictures and thumbnails.
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    for (int n = 0; n < 16; ++n) {
        if (!fiches.lire(n, champ::occup).toBool())
            continue;
        for (ControleImage* k : {c.L_photo[static_cast<size_t>(n)].get(), c.L_miniat[static_cast<size_t>(n)].get()}) {
            if (!k)
                continue;
            k->definirGammaaffichage(p.gamma);
            k->repeindre();
        }
    }
    e.premiergamma = true;
}

}  // namespace kal
