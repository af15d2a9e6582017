// The sizes and positions of a photo object against a computation of their own, made here from
// the layout rules alone (never with the program's helpers): for a few hundred generated photo
// sizes, on both editors and both screen sizes, after the load, a turn, CENTRER, a format
// change and a click without a move, the sliders (values and ranges), the captions and the
// stored record are exactly what the rules give.
#include "support/banc_editeur.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/printer/imprimante.h"

#include <QFontMetricsF>
#include <cmath>
#include <tuple>

namespace {

using kal::TypeEditeur;

// Nearest whole number, halves to the even neighbour.
int pres(double x) { return static_cast<int>(std::nearbyint(x)); }
QString mm(double twips) { return kal::format01(twips / 56.7); }

struct Cas {
    TypeEditeur type;
    int largeurEcran, hauteurEcran;
};

class Formules : public ::testing::TestWithParam<Cas> {
protected:
    kaltest::BancEditeur banc{GetParam().largeurEcran, GetParam().hauteurEcran};
    kal::Editeur* ed = nullptr;
    bool jaq = false;
    double SW = 0, SH = 0, oH = 0, oV = 0;

    void SetUp() override
    {
        ed = banc.ouvrir(GetParam().type);
        ASSERT_NE(ed, nullptr);
        jaq = GetParam().type == TypeEditeur::Jaquette;
        SW = ed->x.etat.largeursurface.valeur();
        SH = ed->x.etat.hauteursurface.valeur();
        oH = jaq ? 0 : banc.partage.origineH.valeur();
        oV = jaq ? 0 : banc.partage.origineV.valeur();
    }
    kal::ControlesEditeur& c() { return ed->c; }
    kal::Disposition& d() { return ed->x.disposition(); }
    int n() { return ed->x.etat.objetcourant; }

    // The object as the rules describe it: its printed width and height (the turned box) and
    // the picture it shows, in pixels.
    struct Objet {
        double L, H;    // the object's own turned size, twips
        int px, py;     // pixels shown
        int v = 0;      // the format
        bool modeH = false;
        double W() const { return modeH ? v * L / H : v; }
        double Hh() const { return modeH ? v : v * H / L; }
    };

    // The format of an object of its own size L x H, capped by the surface.
    void formater(Objet& o)
    {
        o.modeH = o.H / SH >= o.L / SW;
        const double cote = o.modeH ? o.H : o.L;
        const int max = pres(o.modeH ? SH : SW);
        o.v = max > cote ? pres(cote) : max;
    }

    // Range of a position slider and its value, compared with what the rules give. A jacket
    // slider whose Max is 5 or less is raised to 15 by its next change.
    void attendreMax(const kal::Curseur& a, int max, const char* quoi)
    {
        if (jaq && max <= 5)
            EXPECT_TRUE(a.max() == max || a.max() == 15) << quoi << " " << a.max() << " " << max;
        else
            EXPECT_EQ(a.max(), max) << quoi;
    }

    void attendre(const Objet& o, int gauche, int haut, const QString& legende, const std::string& etape)
    {
        SCOPED_TRACE(etape);
        EXPECT_EQ(c().A_format.valeur(), o.v);
        EXPECT_EQ(c().A_format.max(), pres(o.modeH ? SH : SW));
        EXPECT_EQ(c().A_margeH.min(), pres(oH));
        EXPECT_EQ(c().A_margeV.min(), pres(oV));
        attendreMax(c().A_margeH, pres(SW + oH - o.W()), "A_margeH.Max");
        attendreMax(c().A_margeV, pres(SH + oV - o.Hh()), "A_margeV.Max");
        EXPECT_EQ(c().A_margeH.valeur(), gauche);
        EXPECT_EQ(c().A_margeV.valeur(), haut);
        const bool direct = legende == QStringLiteral("Format :");
        EXPECT_EQ(c().E_format.legende().toStdString(),
                  (legende + mm(o.W()) + " x " + mm(o.Hh()) + (direct ? " mm" : "mm")).toStdString());
        EXPECT_EQ(c().E_margeH.legende().toStdString(), ("Gauche: " + mm(gauche) + " mm").toStdString());
        EXPECT_EQ(c().E_margeV.legende().toStdString(), ("Haut: " + mm(haut) + " mm").toStdString());
        EXPECT_EQ(c().E_maximum.legende().toStdString(),
                  (QStringLiteral("Format maximal acceptable:") + mm(12.0 * o.px) + " x " + mm(12.0 * o.py) + " mm")
                      .toStdString());
        EXPECT_EQ(c().E_nominal.legende().toStdString(),
                  QStringLiteral("Format photo:%1 x %2 pixels:%3 pixels/pouce")
                      .arg(o.px)
                      .arg(o.py)
                      .arg(static_cast<long long>(std::floor(o.px * 1440.0 / o.W() + 1e-9)))
                      .toStdString());
    }

    // The record: the slider positions and the unturned size that gives the printed one.
    void attendreFiche(double largeur, double hauteur, int rot, const std::string& etape)
    {
        SCOPED_TRACE(etape);
        EXPECT_EQ(banc.champ(n(), kal::champ::leftimp).toInt(), c().A_margeH.valeur());
        EXPECT_EQ(banc.champ(n(), kal::champ::topimp).toInt(), c().A_margeV.valeur());
        EXPECT_NEAR(banc.champ(n(), kal::champ::widthimp).toDouble(), largeur, 1e-6 * largeur);
        EXPECT_NEAR(banc.champ(n(), kal::champ::heightimp).toDouble(), hauteur, 1e-6 * hauteur);
        EXPECT_EQ(banc.champ(n(), kal::champ::rot).toInt(), rot);
    }

    void essayer(int w, int h, int angle)
    {
        const std::string quoi = std::to_string(w) + " x " + std::to_string(h) + " a " + std::to_string(angle);
        SCOPED_TRACE(quoi);
        kal::ControleImage choisie;
        choisie.creerbitmap(w, h, 24);
        choisie.remplir(0x406080);
        ed->x.etat.typeobjet = QStringLiteral("photo");
        ASSERT_TRUE(ed->x.objets().chargementimage(choisie, QStringLiteral("essai.jpg")));

        // Loaded: its own size at 15 twips a pixel, capped by the surface, at the smallest place.
        Objet o{15.0 * w, 15.0 * h, w, h};
        formater(o);
        attendre(o, pres(oH), pres(oV), QStringLiteral("Format:"), "chargement");
        attendreFiche(o.W(), o.Hh(), 0, "chargement");
        double largeur = o.W(), hauteur = o.Hh();

        // Turned: the box of the record's size grows with the picture (a quarter turn swaps
        // it), then the format is taken again from it.
        if (angle != 0) {
            c().A_angle.definirValeur(angle);
            const double a = angle * 3.14159265358979323846 / 180, co = std::abs(std::cos(a)), si = std::abs(std::sin(a));
            const int tx = angle == 90 ? h : std::max(1, static_cast<int>(std::lround(w * co + h * si)));
            const int ty = angle == 90 ? w : std::max(1, static_cast<int>(std::lround(w * si + h * co)));
            o = Objet{angle == 90 ? hauteur : largeur * tx / w, angle == 90 ? largeur : hauteur * ty / h, tx, ty};
            formater(o);
            attendre(o, std::min(pres(oH), pres(SW + oH - o.W())), std::min(pres(oV), pres(SH + oV - o.Hh())),
                     QStringLiteral("Format:"), "rotation");
        }
        // The unturned size that the printed one comes from.
        const auto avantRotation = [&](double W, double H) {
            if (angle == 90)
                return std::pair{H, W};
            if (angle == 0)
                return std::pair{W, H};
            return std::pair{W * w / o.px, H * h / o.py};
        };

        // CENTRER: the page centres on the sheet after fitting the object inside it less twice
        // the right and bottom margins; the jacket on the face.
        c().B_centre.cliquer();
        int gauche, haut;
        // A half reached through sides that are not whole (a turn by an angle that is not
        // right) is not exact in binary: either neighbour is then right.
        const auto centre = [&](double x, int montre) {
            const bool incertain = angle % 90 != 0 && std::abs(x - std::floor(x) - 0.5) < 1e-6;
            return incertain && std::abs(montre - x) < 0.5 + 1e-6 ? montre : pres(x);
        };
        QString legende = c().E_format.legende().startsWith(QStringLiteral("Format :")) ? QStringLiteral("Format :")
                                                                                         : QStringLiteral("Format:");
        if (!jaq) {
            const double PW = ed->x.imprimante.largeurfeuille().valeur(), PH = ed->x.imprimante.hauteurfeuille().valeur();
            const double lmax = PW - 2.0 * banc.partage.margedroite.valeur(), hmax = PH - 2.0 * banc.partage.margebasse.valeur();
            if (!o.modeH) {
                if (o.v > lmax)
                    o.v = pres(lmax);
                else if (o.v * o.H / o.L > hmax)
                    o.v = pres(hmax * o.L / o.H);
            } else {
                if (o.v * o.L / o.H > lmax)
                    o.v = pres(lmax * o.H / o.L);
                else if (o.v > hmax)
                    o.v = pres(hmax);
            }
            gauche = centre((PW - o.W()) / 2, c().A_margeH.valeur());
            haut = centre((PH - o.Hh()) / 2, c().A_margeV.valeur());
            legende = QStringLiteral("Format :");
        } else {
            gauche = centre((SW - o.W()) / 2, c().A_margeH.valeur());
            haut = centre((SH - o.Hh()) / 2, c().A_margeV.valeur());
        }
        attendre(o, gauche, haut, legende, "centrage");

        // A format change: the value set stays, the object keeps its corner within the new
        // ranges, and the record gets the unturned size of the new format.
        const int cible = std::max(c().A_format.min() + 301, pres(o.v * 2 / 3.0));
        c().A_format.definirValeur(cible);
        o.v = cible;
        gauche = std::min(gauche, pres(SW + oH - o.W()));
        haut = std::min(haut, pres(SH + oV - o.Hh()));
        attendre(o, gauche, haut, QStringLiteral("Format :"), "format");
        std::tie(largeur, hauteur) = avantRotation(o.W(), o.Hh());
        attendreFiche(largeur, hauteur, angle, "format");

        // A press and release without a move changes nothing and stores the same.
        d().L_photo_MouseDown(n(), 1, 0, 30, 30);
        d().L_photo_MouseUp(n(), 1, 0, 30, 30);
        attendre(o, gauche, haut, QStringLiteral("Format :"), "clic");
        attendreFiche(largeur, hauteur, angle, "clic");

        // Removed with the right button, for the next size.
        d().L_photo_MouseDown(n(), 2, 0, 30, 30);
        d().L_photo_MouseUp(n(), 2, 0, 30, 30);
    }
};

TEST_P(Formules, TaillesGenerees)
{
    // Sizes spread over 16 to 12000 pixels on a logarithmic scale, ratios from 1:3 to 3:1,
    // a few large ones only (their work copies take long to write).
    uint32_t graine = 2024;
    const auto hasard = [&graine] {
        graine = graine * 1664525u + 1013904223u;
        return (graine >> 8) / double(1u << 24);
    };
    int compte = 0;
    for (int i = 0; i < 70 && !HasFatalFailure(); ++i) {
        const double u = std::pow(hasard(), 1.6);
        int w = std::clamp(pres(16 * std::pow(12000.0 / 16, u)), 16, 12000);
        int h = std::clamp(pres(w * std::pow(3.0, 2 * hasard() - 1)), 16, 9000);
        for (int sens = 0; sens < 2; ++sens, std::swap(w, h)) {
            essayer(w, h, (i + sens) % 3 == 0 ? 0 : (i + sens) % 3 == 1 ? 90 : 30);
            ++compte;
        }
    }
    essayer(12000, 9000, 0);
    essayer(9000, 12000, 30);
    EXPECT_GE(compte, 140);
}

INSTANTIATE_TEST_SUITE_P(Editeurs, Formules,
                         ::testing::Values(Cas{TypeEditeur::Page, 1024, 768}, Cas{TypeEditeur::Page, 800, 600},
                                           Cas{TypeEditeur::Jaquette, 1024, 768},
                                           Cas{TypeEditeur::Jaquette, 800, 600}),
                         [](const ::testing::TestParamInfo<Cas>& i) {
                             return std::string(kaltest::nomType(i.param.type)) + std::to_string(i.param.largeurEcran);
                         });

// What the user meets around one object, on both editors.
class Parcours : public kaltest::EditeurOuvert {
protected:
    bool placer(int w, int h, const QString& nom)
    {
        return kaltest::BancEditeur::placer(ed, banc.jpeg(nom, w, h));
    }
    QRectF boiteMontree(int n)
    {
        const kal::ControleImage& p = *c().L_photo[static_cast<size_t>(n)];
        return {p.gaucheReel() * s(), p.hautReel() * s(), p.largeurReelle() * s(), p.hauteurReelle() * s()};
    }
};

// A photo turned by a quarter that no longer fits the face is made smaller on screen; its
// record, stored when another object becomes current, keeps that size, so that it reopens
// as it was shown.
TEST_P(Parcours, UnObjetTourneGardeDansSaFicheLaTailleMontree)
{
    ASSERT_TRUE(placer(1600, 1200, QStringLiteral("a.jpg")));
    c().A_angle.definirValeur(90);
    const QRectF montree = boiteMontree(0);
    ASSERT_TRUE(placer(300, 200, QStringLiteral("b.jpg")));
    const double l = champ(0, kal::champ::widthimp).toDouble(), h = champ(0, kal::champ::heightimp).toDouble();
    EXPECT_EQ(champ(0, kal::champ::rot).toInt(), 90);
    // Turned by a quarter, the record's box stands on its side.
    EXPECT_NEAR(h, montree.width(), 1e-6 * h);
    EXPECT_NEAR(l, montree.height(), 1e-6 * l);
    EXPECT_LE(l, e().hauteursurface.valeur() + 1e-6);
}

// "Effacer page" leaves no caption, colour or undo of the removed objects.
TEST_P(Parcours, EffacerPageRemetLesLegendesEtLAnnulation)
{
    ASSERT_TRUE(placer(600, 400, QStringLiteral("a.jpg")));
    c().A_angle.definirValeur(30);
    ASSERT_TRUE(c().B_annulangle.actif());
    ed->x.objets().effacerpage();
    EXPECT_EQ(c().E_format.legende(), QStringLiteral("Format"));
    EXPECT_EQ(c().E_format.couleurFond(), 0xFFFFFF);
    EXPECT_EQ(c().E_format.couleurTexte(), 0);
    EXPECT_EQ(c().E_margeH.legende(), QStringLiteral("Gauche"));
    EXPECT_TRUE(c().E_nominal.legende().isEmpty());
    EXPECT_TRUE(c().E_maximum.legende().isEmpty());
    EXPECT_FALSE(c().B_annulangle.actif());
}

// The longest format caption is read whole in its label.
TEST_P(Parcours, LaLegendeDeFormatSeLitEnEntier)
{
    ASSERT_TRUE(placer(600, 400, QStringLiteral("a.jpg")));
    // 158.7 x 105.8 mm on the page; the face's width on the jacket.
    c().A_format.definirValeur(std::min(8998, c().A_format.max() - 1));
    const QString legende = c().E_format.legende();
    EXPECT_TRUE(legende.startsWith(QStringLiteral("Format :")));
    const QLabel& label = *c().E_format.label();
    EXPECT_LE(QFontMetricsF(label.font()).horizontalAdvance(legende), label.width());
}

// The thumbnails keep their places from the load on, and a save leaves them shown. The
// jacket's places follow one rule on every road: two rows of eight at an eighth of the face's
// width under the front face; the page's two columns of eight.
TEST_P(Parcours, LesVignettesGardentLeurPlace)
{
    double gauche0 = kal::Ecran::largeurTwips() - 3000;
    if (jaq()) {
        const kal::ControleImage& face = *c().L_jaq[0];
        const int pas = kal::arrondi(c().L_jaq[16]->largeur() / 8.0);
        gauche0 = face.gauche();
        EXPECT_EQ(champ(9, kal::champ::leftminiat).toDouble(), face.gauche() + pas);
        EXPECT_EQ(champ(9, kal::champ::topminiat).toInt(), face.hauteur() + 1200);
    } else {
        EXPECT_EQ(champ(9, kal::champ::leftminiat).toDouble(), kal::Ecran::largeurTwips() - 1500);
        EXPECT_EQ(champ(9, kal::champ::topminiat).toInt(), e().pasminiat);
    }
    ASSERT_TRUE(placer(600, 400, QStringLiteral("a.jpg")));
    ASSERT_TRUE(c().L_miniat[0]->visible());
    c().L_kalmorin.definirTexte(QStringLiteral("vignettes"));
    ASSERT_TRUE(ed->x.fichierspages().pagesPerso().sauvpage());
    EXPECT_TRUE(c().L_miniat[0]->visible());
    EXPECT_EQ(champ(0, kal::champ::leftminiat).toDouble(), gauche0);
}

// Every value of a slider's range can be set and stays, by the user or a procedure: the format
// (whose change re-displays the object and writes its record) and the two positions.
TEST_P(Parcours, ChaqueValeurDesCurseursResteCommeDonnee)
{
    ASSERT_TRUE(placer(800, 600, QStringLiteral("a.jpg")));
    for (kal::Curseur* a : {&c().A_format, &c().A_margeH, &c().A_margeV}) {
        const int bas = a == &c().A_format && !jaq() ? a->min() + 301 : a->min();
        const int pas = std::max(1, (a->max() - bas) / 120);
        for (int v = a->max(); v >= bas; v -= pas) {
            a->definirValeur(v);
            ASSERT_EQ(a->valeur(), v);
            // The position ranges follow the format: the next values are read afresh.
            if (v > a->max())
                break;
        }
    }
    // The stored record is the last format's: its printed width at a 4:3 photo's ratio.
    const int v = c().A_format.valeur();
    EXPECT_NEAR(champ(0, kal::champ::widthimp).toDouble(), v, 1e-6 * v);
    EXPECT_NEAR(champ(0, kal::champ::heightimp).toDouble(), v * 3.0 / 4, 1e-6 * v);
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Parcours, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

}  // namespace
