// Window layout, preview page and printable surface of the two editors, on the admitted screen
// sizes, with a test printer of fixed sizes (A4, hardware margins 240/180/300/420 twips).
#include "support/banc_editeur.h"
#include "layout/disposition.h"
#include "platform/base/conversions.h"

#include <QLocale>
#include <gtest/gtest.h>

using kal::TypeEditeur;
using kaltest::BancEditeur;

namespace {

struct Ecran {
    int l, h;
};
const Ecran Admis[] = {{800, 600}, {798, 599}, {1024, 768}, {1021, 766}, {1152, 864}, {1280, 1024}, {1440, 900}};

// Twip values of the band on an 800 x 600 screen, relative to its top line T.
TEST(DispositionPage, Bande800x600)
{
    BancEditeur b(800, 600);
    kal::Editeur* ed = b.ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    const kal::ControlesEditeur& c = ed->c;
    const int T = 9000 - 270 - 120 - 1035;
    EXPECT_EQ(c.B_finimprim.haut(), T);
    EXPECT_EQ(c.B_finimprim.largeur(), 1380);
    EXPECT_EQ(c.F_page.gauche(), 12000 - 2430);
    EXPECT_EQ(c.F_page.haut(), 0);
    for (const kal::Controle* k : {static_cast<const kal::Controle*>(&c.L_fonction), static_cast<const kal::Controle*>(&c.E_margeH),
                                   static_cast<const kal::Controle*>(&c.A_margeH), static_cast<const kal::Controle*>(&c.C_decoupe),
                                   static_cast<const kal::Controle*>(&c.E_angle), static_cast<const kal::Controle*>(&c.E_intensite),
                                   static_cast<const kal::Controle*>(&c.A_intensite), static_cast<const kal::Controle*>(&c.B_initreglage)})
        EXPECT_EQ(k->haut(), T);
    // Position, format and gamma stacks
    EXPECT_EQ(c.E_margeV.haut(), T + 255);
    EXPECT_EQ(c.E_format.haut(), T + 510);
    EXPECT_EQ(c.E_gamma.haut(), T + 765);
    EXPECT_EQ(c.A_margeV.haut(), T + 255);
    EXPECT_EQ(c.A_format.haut(), T + 510);   // its own height, not A_margeV's 230
    EXPECT_EQ(c.A_gamma.haut(), T + 765);
    // Crop and centre column
    EXPECT_EQ(c.B_annuldecoupe.haut(), T + 195);
    EXPECT_EQ(c.B_centre.haut(), T + 510);
    EXPECT_EQ(c.B_centre.gauche(), 5800);
    EXPECT_EQ(c.C_cadre.haut(), T + 825);
    EXPECT_EQ(c.C_cadre.gauche(), 5800);
    // Rotation column: stacked down, the designed left edges kept (the label's 6795 included)
    EXPECT_EQ(c.E_angle.gauche(), 6795);
    EXPECT_EQ(c.A_angle.haut(), T + 195);
    EXPECT_EQ(c.A_angle.gauche(), 6800);
    EXPECT_EQ(c.B_annulangle.haut(), T + 390);
    EXPECT_EQ(c.B_annulangle.gauche(), 6800);
    EXPECT_EQ(c.B_initimage.haut(), T + 705);
    EXPECT_EQ(c.B_initimage.gauche(), 6800);
    // Adjustment stacks: the colour slider lines up with its label
    EXPECT_EQ(c.E_contraste.haut(), T + 215);
    EXPECT_EQ(c.A_contraste.haut(), T + 210);
    EXPECT_EQ(c.E_couleur.haut(), T + 430);
    EXPECT_EQ(c.A_couleur.haut(), T + 430);
    EXPECT_EQ(c.E_saturation.haut(), T + 640);
    EXPECT_EQ(c.A_saturation.haut(), T + 640);
    EXPECT_EQ(c.E_nettete.haut(), T + 855);
    EXPECT_EQ(c.A_nettete.haut(), T + 850);
    // Indicator line
    for (const kal::Etiquette* e : {&c.E_surface, &c.E_nominal, &c.E_maximum})
        EXPECT_EQ(e->haut(), T - 240);
    EXPECT_EQ(c.E_surface.gauche(), 0);
    EXPECT_EQ(c.E_surface.largeur(), 2800);
    EXPECT_EQ(c.E_nominal.gauche(), 2800);
    EXPECT_EQ(c.E_nominal.largeur(), 5800 + 1000 - 2800);
    EXPECT_EQ(c.C_image.haut(), T - 240);
    EXPECT_EQ(c.C_image.gauche(), 6800);
    EXPECT_EQ(c.E_maximum.gauche(), 8000);
    EXPECT_EQ(c.E_maximum.largeur(), 4000);
    // Composer panel on the indicator line at the right edge, wrapping where the printer does
    EXPECT_EQ(c.F_compos.gauche(), 12000 - 3000);
    EXPECT_EQ(c.F_compos.haut(), T - 240 - 1575);
    EXPECT_DOUBLE_EQ(c.T_compos.largeurtexte(), 11906 - 540 - 300);
}

TEST(DispositionJaquette, Bande800x600)
{
    BancEditeur b(800, 600);
    kal::Editeur* ed = b.ouvrir(TypeEditeur::Jaquette);
    ASSERT_NE(ed, nullptr);
    const kal::ControlesEditeur& c = ed->c;
    // No 120 in the jacket: its designed bottom line, 9000 - 270, would lie below the window's
    // client area (9000 less the 375 twips of title and borders), so the band rises into it.
    const int T = 9000 - 375 - 15 - 1035;
    EXPECT_EQ(c.B_finimprim.haut(), T);
    EXPECT_EQ(c.B_finimprim.largeur(), 1500);
    EXPECT_EQ(c.E_gamma.haut(), T + 765);
    EXPECT_EQ(c.A_format.haut(), T + 510);
    EXPECT_EQ(c.B_centre.gauche(), 5800);
    EXPECT_EQ(c.C_cadre.gauche(), 5800);
    EXPECT_EQ(c.C_cadre.haut(), T + 195 + 315 + 315);
    EXPECT_EQ(c.E_angle.haut(), T);
    EXPECT_EQ(c.E_angle.gauche(), 5800 + 990);
    EXPECT_EQ(c.A_angle.gauche(), 6790);
    EXPECT_EQ(c.A_angle.haut(), T + 195);
    EXPECT_EQ(c.B_annulangle.gauche(), 6790);
    EXPECT_EQ(c.B_annulangle.haut(), T + 390);
    EXPECT_EQ(c.B_initimage.gauche(), 5800 + 1000);
    EXPECT_EQ(c.B_initimage.haut(), T + 705);
    EXPECT_EQ(c.E_nettete.haut(), T + 860);   // label heights of 200 each
    EXPECT_EQ(c.E_nominal.gauche(), 2800);
    EXPECT_EQ(c.E_nominal.largeur(), 3990);
    // The maximum-size label starts after the whole-image box, not under it.
    EXPECT_EQ(c.C_image.gauche(), 6790);
    EXPECT_EQ(c.E_maximum.gauche(), 6790 + 1200);
    EXPECT_EQ(c.E_maximum.largeur(), 12000 - 6790 - 1200);
    EXPECT_EQ(c.E_surface.haut(), T - 240);
    // Face outlines in the top right corner, preview page 3000 wide, frames in a row under it
    EXPECT_EQ(c.L_jaq[0]->gauche(), 12000 - 8550);
    EXPECT_EQ(c.L_jaq[0]->largeur(), 8550);
    EXPECT_EQ(c.L_jaq[0]->hauteur(), 6832);
    EXPECT_EQ(c.L_jaq[16]->hauteur(), 6691);
    EXPECT_EQ(c.L_jaq[16]->haut(), 0);
    EXPECT_EQ(c.P_page.largeur(), 3000);
    EXPECT_EQ(c.P_page.hauteur(), 4243);   // 16838 / 11906 x 3000
    EXPECT_EQ(c.P_page.gauche(), 0);
    EXPECT_EQ(c.F_fonction.haut(), 4243);
    EXPECT_EQ(c.F_fonction.gauche(), 0);
    EXPECT_EQ(c.F_jaq.haut(), 4243);
    EXPECT_EQ(c.F_jaq.gauche(), c.F_fonction.largeur());
    EXPECT_EQ(c.F_page.gauche(), 0);
    EXPECT_EQ(c.F_page.haut(), 0);
}

TEST(DispositionJaquette, ApercuSelonLargeurEcran)
{
    const std::pair<Ecran, int> cas[] = {{{800, 600}, 3000},   {{1024, 768}, 4800},  {{1440, 900}, 4800},
                                         {{1280, 1024}, 6795}, {{1152, 864}, 6795}, {{1021, 766}, 6795}};
    for (const auto& [e, largeur] : cas) {
        BancEditeur b(e.l, e.h);
        kal::Editeur* ed = b.ouvrir(TypeEditeur::Jaquette);
        ASSERT_NE(ed, nullptr);
        const kal::ControlesEditeur& c = ed->c;
        EXPECT_EQ(c.P_page.largeur(), largeur) << e.l;
        EXPECT_EQ(c.P_page.hauteur(), kal::arrondi(16838.0 / 11906.0 * largeur)) << e.l;
        if (e.l != 800) {
            // A column right of the preview
            EXPECT_EQ(c.F_fonction.gauche(), largeur);
            EXPECT_EQ(c.F_fonction.haut(), 0);
            EXPECT_EQ(c.F_jaq.gauche(), largeur);
            EXPECT_EQ(c.F_jaq.haut(), 750);
        }
        EXPECT_DOUBLE_EQ(ed->x.etat.echellejaq, 11906.0 / largeur);
    }
}

// Every admitted screen: the same formulas, every width positive, the band on the screen.
TEST(Disposition, EcransAdmis)
{
    for (const Ecran& e : Admis) {
        for (TypeEditeur t : {TypeEditeur::Page, TypeEditeur::Jaquette}) {
            BancEditeur b(e.l, e.h);
            kal::Editeur* ed = b.ouvrir(t);
            ASSERT_NE(ed, nullptr);
            const kal::ControlesEditeur& c = ed->c;
            const int lt = e.l * 15, ht = e.h * 15;
            // The jacket's designed line (no 120) rises to the bottom of the client area.
            const int basLigne = t == TypeEditeur::Page ? ht - 270 - 120 : ht - 375 - 15;
            SCOPED_TRACE(std::to_string(e.l) + "x" + std::to_string(e.h) + " " + kaltest::nomType(t));
            EXPECT_EQ(c.B_finimprim.haut() + c.B_finimprim.hauteur(), basLigne);
            EXPECT_EQ(c.B_finimprim.gauche() + c.B_finimprim.largeur(), lt - (t == TypeEditeur::Page ? 120 : 0));
            EXPECT_EQ(c.E_maximum.gauche() + c.E_maximum.largeur(), lt);
            EXPECT_EQ(c.E_gamma.haut(), c.B_finimprim.haut() + 765);
            for (const kal::Controle* k : {static_cast<const kal::Controle*>(&c.B_finimprim),
                                           static_cast<const kal::Controle*>(&c.E_maximum),
                                           static_cast<const kal::Controle*>(&c.E_nominal),
                                           static_cast<const kal::Controle*>(&c.P_page)})
                EXPECT_GT(k->largeur(), 0);
        }
    }
}

TEST(Disposition, HauteurTitreRetiree)
{
    BancEditeur b(1024, 768);
    b.partage.hauteurtitre = 90;
    kal::Editeur* page = b.ouvrir(TypeEditeur::Page);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->c.B_finimprim.haut(), 11520 - 270 - 90 - 120 - 1035);
}

// --- Preview page and printable surface

TEST(Surface, PagePortrait1024)
{
    BancEditeur b(1024, 768);
    kal::Editeur* ed = b.ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    const kal::ControlesEditeur& c = ed->c;
    const kal::EtatEditeur& e = ed->x.etat;
    const kal::ReglagesPartages& p = b.partage;
    // Sheet 11906 x 16838; printable 11366 x 16238
    EXPECT_EQ(c.P_page.haut(), 0);
    EXPECT_EQ(c.P_page.hauteur(), 10095 - 270);
    EXPECT_EQ(c.P_page.largeur(), kal::arrondi(9825.0 * 11906 / 16838));
    EXPECT_DOUBLE_EQ(e.largeurapercu.valeur(), c.P_page.largeur());
    EXPECT_DOUBLE_EQ(e.hauteurapercu.valeur(), 9825);
    EXPECT_EQ(p.margeimpH.valeur(), 270);
    EXPECT_EQ(p.margeimpV.valeur(), 270);
    EXPECT_EQ(p.origineH.valeur(), 285);
    EXPECT_EQ(p.origineV.valeur(), 285);
    EXPECT_EQ(p.margedroite.valeur(), 540 - 270 + 15);
    EXPECT_EQ(p.margebasse.valeur(), 600 - 270 + 15);
    EXPECT_DOUBLE_EQ(e.echelleimp, 16838.0 / 9825);
    EXPECT_EQ(e.largeursurface.valeur(), 11336);
    EXPECT_EQ(e.hauteursurface.valeur(), 16208);
    EXPECT_EQ(c.R_imprim.gauche(), kal::arrondi(270 / e.echelleimp));
    EXPECT_EQ(c.R_imprim.haut(), kal::arrondi(270 / e.echelleimp));
    EXPECT_EQ(c.R_imprim.largeur(), kal::arrondi(11366 / e.echelleimp));
    EXPECT_EQ(c.R_imprim.hauteur(), kal::arrondi(16238 / e.echelleimp));
    EXPECT_EQ(c.E_surface.legende(), QStringLiteral("Surface imprimable:199.9 x 285.9 mm"));
    EXPECT_EQ(c.E_margeH.legende(), QStringLiteral("Gauche"));
    EXPECT_EQ(c.E_margeV.legende(), QStringLiteral("Haut"));
    EXPECT_EQ(c.E_format.legende(), QStringLiteral("Format"));
    EXPECT_EQ(c.E_angle.legende(), QStringLiteral("Angle"));
}

TEST(Surface, PagePaysage1024EtroiteEtCentree)
{
    BancEditeur b(1024, 768, kal::imp::Paysage);
    kal::Editeur* ed = b.ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    const kal::ControlesEditeur& c = ed->c;
    const kal::EtatEditeur& e = ed->x.etat;
    // 9825 x 16838 / 11906 is wider than 15360 - 3000: narrowed and centred above the band.
    EXPECT_EQ(c.P_page.largeur(), 12360);
    EXPECT_EQ(c.P_page.hauteur(), 8740);
    EXPECT_EQ(c.P_page.haut(), 542);   // (9825 - 8740) / 2 = 542.5, the half to the even
    // Landscape: margin across the sheet's height, scale from its width
    EXPECT_EQ(b.partage.margeimpH.valeur(), 270);
    EXPECT_DOUBLE_EQ(e.echelleimp, 16838.0 / 12360);
    EXPECT_EQ(e.largeursurface.valeur(), 16238 - 30);
    EXPECT_EQ(e.hauteursurface.valeur(), 11366 - 30);
    EXPECT_EQ(b.partage.margedroite.valeur(), 16838 - 16238 - 270 + 15);
    EXPECT_EQ(b.partage.margebasse.valeur(), 11906 - 11366 - 270 + 15);
    EXPECT_EQ(c.E_surface.legende(), QStringLiteral("Surface imprimable:285.9 x 199.9 mm"));
}

TEST(Surface, Page800Portrait)
{
    BancEditeur b(800, 600);
    kal::Editeur* ed = b.ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->c.P_page.hauteur(), 7575 - 270);
    EXPECT_EQ(ed->c.P_page.largeur(), kal::arrondi(7305.0 * 11906 / 16838));
    EXPECT_EQ(ed->c.P_page.haut(), 0);
    EXPECT_DOUBLE_EQ(ed->x.etat.echelleimp, 16838.0 / 7305);
}

TEST(Surface, MargeArrondieAuPair)
{
    // 301 twips between sheet and printable width: 150.5 gives 150; 303 gives 152.
    for (const auto& [droite, attendu] : {std::pair{61.0, 150}, std::pair{63.0, 152}}) {
        BancEditeur b(1024, 768, kal::imp::Portrait, QMarginsF(240, 0, droite, 0));
        kal::Editeur* ed = b.ouvrir(TypeEditeur::Page);
        ASSERT_NE(ed, nullptr);
        EXPECT_EQ(b.partage.margeimpH.valeur(), attendu);
        EXPECT_EQ(ed->x.etat.margejaqH.valeur(), 0);
    }
}

// Where the decimal separator is a comma, the surface keeps its decimal with that separator.
TEST(Surface, SeparateurDecimalDuLieu)
{
    const QLocale avant;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(kal::legendeSurface(kal::Twips(189.94 * 56.7), kal::Twips(100 * 56.7)), QStringLiteral("Surface imprimable:189,9 x 100,0 mm"));
    {
        BancEditeur b(1024, 768);
        kal::Editeur* ed = b.ouvrir(TypeEditeur::Page);
        ASSERT_NE(ed, nullptr);
        EXPECT_EQ(ed->c.E_surface.legende(), QStringLiteral("Surface imprimable:199,9 x 285,9 mm"));
        EXPECT_EQ(ed->c.E_gamma.legende(), QStringLiteral("Gamma =1,8"));
    }
    QLocale::setDefault(avant);
    EXPECT_EQ(kal::legendeSurface(kal::Twips(189.94 * 56.7), kal::Twips(100 * 56.7)), QStringLiteral("Surface imprimable:189.9 x 100.0 mm"));
}

TEST(Surface, JaquettePortraitEtPaysage)
{
    for (int orientation : {kal::imp::Portrait, kal::imp::Paysage}) {
        BancEditeur b(1024, 768, orientation);
        kal::Editeur* ed = b.ouvrir(TypeEditeur::Jaquette);
        ASSERT_NE(ed, nullptr);
        const kal::EtatEditeur& e = ed->x.etat;
        const kal::ControlesEditeur& c = ed->c;
        // The jacket switches the printer to A4 portrait whatever it was.
        EXPECT_EQ(b.imp.orientationimprimante(), kal::imp::Portrait);
        EXPECT_EQ(b.imp.formatimprimante(), kal::imp::A4);
        EXPECT_EQ(e.geomjaq, kal::GeometrieJaquette);
        EXPECT_EQ(e.margejaqH.valeur(), 270);
        EXPECT_EQ(e.margejaqV.valeur(), 270);
        const double s = 11906.0 / 4800;
        EXPECT_DOUBLE_EQ(e.echellejaq, s);
        EXPECT_EQ(c.R_apercu.gauche(), kal::arrondi(270 / s));
        EXPECT_EQ(c.R_apercu.largeur(), kal::arrondi(11366 / s));
        EXPECT_EQ(c.R_apercu.hauteur(), kal::arrondi(16238 / s));
        EXPECT_EQ(c.P_apjaq[0]->gauche(), kal::arrondi(1655 / s));
        EXPECT_EQ(c.P_apjaq[0]->haut(), kal::arrondi(1389 / s));
        EXPECT_EQ(c.P_apjaq[0]->hauteur(), kal::arrondi(6832 / s));
        EXPECT_EQ(c.P_apjaq[16]->haut(), kal::arrondi(8794 / s));
        EXPECT_EQ(c.P_apjaq[16]->hauteur(), kal::arrondi(6691 / s));
        EXPECT_EQ(c.E_surface.legende(), QStringLiteral("Surface imprimable:199.9 x 285.9 mm"));
        EXPECT_DOUBLE_EQ(e.largeursurface.valeur(), 8550);
        EXPECT_DOUBLE_EQ(e.hauteursurface.valeur(), 6832);
        // The jacket never touches the page's shared limits.
        EXPECT_EQ(b.partage.margeimpH.valeur(), 0);
        EXPECT_EQ(b.partage.origineH.valeur(), 0);
    }
}

}  // namespace
