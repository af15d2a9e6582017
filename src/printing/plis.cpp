// Fold marks of the jacket: one line on the front face and two on the back, drawn on the face
// previews (at the preview's scale) and on the face outlines (in face twips).
#include "printing/impression.h"

#include "platform/base/conversions.h"

namespace kal {

void Impression::pliage()
{
    if (!x_.jaquette())
        return;
    ControlesEditeur& c = x_.c;
    const double s = x_.etat.echellejaq;
    const auto& g = x_.etat.geomjaq;
    plis_.clear();
    const auto tracer = [this](QWidget* surface, int x, int longueur) {
        plis_.push_back(std::make_unique<Trait>(surface));
        plis_.back()->placerVertical(x, longueur);
    };
    // On a face preview at the preview's scale, on a face outline in whole face twips.
    const auto apercu = [s](Twips t) { return t.reduit(s).entier(); };
    tracer(c.P_apjaq[0]->widget(), apercu(Twips(1712)), apercu(g[2]));
    tracer(c.P_apjaq[16]->widget(), apercu(Twips(369)), apercu(g[10]));
    tracer(c.P_apjaq[16]->widget(), apercu(Twips(8165)), apercu(g[10]));
    tracer(c.L_jaq[0]->widget(), 1712, g[2].entier());
    tracer(c.L_jaq[16]->widget(), 369, g[10].entier());
    tracer(c.L_jaq[16]->widget(), 8165, g[10].entier());
}

}  // namespace kal
