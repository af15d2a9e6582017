// One geometry for the preview and the paper: 100 random objects (sizes, places, right and
// other angles) rebuilt on the preview and printed on the recording printer. The box each
// shows on the preview, brought to twips, and the box the printer draws are both the turned
// box of its record, as computed here from the record alone.
#include "banc_impression.h"
#include "support/banc_editeur.h"

#include "imaging/fichierstravail.h"
#include "printing/impression.h"

#include <cmath>

using kal::TypeEditeur;

namespace {

constexpr double Marge = 300;

class GeometrieUnique : public ::testing::TestWithParam<TypeEditeur> {
protected:
    kaltest::BancEditeur banc{1024, 768, kal::imp::Portrait, QMarginsF(Marge, Marge, Marge, Marge)};
    kal::Editeur* ed = nullptr;
    uint32_t graine = 77;

    void SetUp() override
    {
        ed = banc.ouvrir(GetParam());
        ASSERT_NE(ed, nullptr);
        if (jaq()) {
            ed->c.O_imprim.definirValeur(true);
            ed->c.O_avant.definirValeur(true);
        }
    }
    bool jaq() const { return GetParam() == TypeEditeur::Jaquette; }
    double hasard(double a, double b)
    {
        graine = graine * 1664525u + 1013904223u;
        return a + (b - a) * ((graine >> 8) / double(1u << 24));
    }

    // The box of the record, computed here: a quarter turn swaps the sides, a half turn keeps
    // them, any other angle grows each side with the turned picture's pixels.
    static QRectF boite(const kaltest::ObjetEssai& o, int w, int h)
    {
        if (o.rot == 90 || o.rot == -90)
            return {o.leftimp, o.topimp, o.heightimp, o.widthimp};
        if (o.rot % 180 == 0)
            return {o.leftimp, o.topimp, o.widthimp, o.heightimp};
        const double a = o.rot * 3.14159265358979323846 / 180, co = std::abs(std::cos(a)), si = std::abs(std::sin(a));
        const double tx = std::max(1l, std::lround(w * co + h * si)), ty = std::max(1l, std::lround(w * si + h * co));
        return {o.leftimp, o.topimp, o.widthimp * tx / w, o.heightimp * ty / h};
    }
};

void attendreRect(const QRectF& r, const QRectF& attendu, const std::string& quoi)
{
    EXPECT_NEAR(r.left(), attendu.left(), 1e-6) << quoi;
    EXPECT_NEAR(r.top(), attendu.top(), 1e-6) << quoi;
    EXPECT_NEAR(r.width(), attendu.width(), 1e-6 * attendu.width()) << quoi;
    EXPECT_NEAR(r.height(), attendu.height(), 1e-6 * attendu.height()) << quoi;
}

TEST_P(GeometrieUnique, CentObjetsAleatoiresAuMemeEndroitSurLApercuEtSurLePapier)
{
    kal::ContexteEditeur& x = ed->x;
    const double SW = x.etat.largeursurface.valeur(), SH = x.etat.hauteursurface.valeur();
    const double oH = jaq() ? 0 : banc.partage.origineH.valeur(), oV = jaq() ? 0 : banc.partage.origineV.valeur();
    const double s = jaq() ? 1.0 : x.etat.echelleimp;
    const double origineX = jaq() ? 1655 - Marge : -Marge, origineY = jaq() ? 1389 - Marge : -Marge;
    const int angles[] = {0, 90, -90, 180, 30, -45, 135, 12};

    for (int fait = 0; fait < 100;) {
        const int lot = std::min(16, 100 - fait);
        std::vector<kaltest::ObjetEssai> objets;
        std::vector<QSize> pixels;
        for (int k = 0; k < 16; ++k)
            x.fiches().modifier(k, [](kal::bd::JeuEnregistrements& j) { j.mettre(kal::champ::occup, false); });
        for (int k = 0; k < lot; ++k) {
            const int w = static_cast<int>(hasard(8, 300)), h = static_cast<int>(hasard(8, 300));
            kaltest::ObjetEssai o{.n = k, .rot = angles[static_cast<int>(hasard(0, 8))]};
            o.widthimp = hasard(300, 3000);
            o.heightimp = o.widthimp * h / w;
            // Anywhere its turned box stays on the surface.
            const QRectF b = boite(o, w, h);
            o.leftimp = std::round(hasard(oH, std::max(oH, oH + SW - b.width())));
            o.topimp = std::round(hasard(oV, std::max(oV, oV + SH - b.height())));
            for (const QString& f : {kal::fichierSauv(k), kal::fichierPhoto(k), kal::fichierInit(k)})
                kaltest::ecrireImage(f, w, h, 0x4080C0);
            kaltest::poserObjet(x, o);
            objets.push_back(o);
            pixels.emplace_back(w, h);
        }
        // The page rebuilt around object 0, the others as placeholders.
        x.etat.objetcourant = 0;
        x.etat.nbobjets = lot;
        x.etat.rechargementencours = true;
        if (jaq()) {
            x.objets().initjaq();
        } else {
            x.objets().effacpage();
            x.objets().creerControlePage(0);
            x.objets().recreerControlesPage();
            x.objets().initpage();
        }
        x.etat.rechargementencours = false;

        // The preview: each control's box, brought to twips, is the record's turned box (the
        // record as the rebuild leaves it).
        for (int k = 0; k < lot; ++k) {
            kaltest::ObjetEssai& o = objets[static_cast<size_t>(k)];
            o.leftimp = banc.champ(k, kal::champ::leftimp).toDouble();
            o.topimp = banc.champ(k, kal::champ::topimp).toDouble();
            o.widthimp = banc.champ(k, kal::champ::widthimp).toDouble();
            o.heightimp = banc.champ(k, kal::champ::heightimp).toDouble();
            const kal::ControleImage& p = *ed->c.L_photo[static_cast<size_t>(k)];
            attendreRect(QRectF(p.gaucheReel() * s, p.hautReel() * s, p.largeurReelle() * s, p.hauteurReelle() * s),
                         boite(o, pixels[static_cast<size_t>(k)].width(), pixels[static_cast<size_t>(k)].height()),
                         "apercu " + std::to_string(fait + k) + " rot " + std::to_string(o.rot));
        }

        // The paper: the same box at the corner moved by the origin, in whole twips.
        banc.imp.oublierTraces();
        ASSERT_TRUE(x.impression().impression());
        const std::vector<kal::Trace> images = kaltest::tracesDe(banc.imp, kal::Trace::Genre::Image);
        ASSERT_EQ(static_cast<int>(images.size()), lot);
        for (int k = 0; k < lot; ++k) {
            const kaltest::ObjetEssai& o = objets[static_cast<size_t>(k)];
            const QRectF b = boite(o, pixels[static_cast<size_t>(k)].width(), pixels[static_cast<size_t>(k)].height());
            attendreRect(images[static_cast<size_t>(k)].rect,
                         QRectF(std::nearbyint(b.left() + origineX), std::nearbyint(b.top() + origineY), b.width(),
                                b.height()),
                         "papier " + std::to_string(fait + k));
        }
        fait += lot;
    }
}

INSTANTIATE_TEST_SUITE_P(Editeurs, GeometrieUnique, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

}  // namespace
