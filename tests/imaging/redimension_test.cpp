// Resize on both editors, on a real photo: the panel's range and captions, the resampled
// picture, and APPLIQUER committing a base that carries each adjustment once.
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "pagemodel/objets.h"
#include "printing/impression.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

using kal::TypeEditeur;

namespace {

class Redimension : public kaltest::EditeurOuvert {
protected:
    void SetUp() override
    {
        EditeurOuvert::SetUp();
        if (HasFatalFailure())
            return;
        // A flat picture: its colour tells whether an adjustment was applied once or twice.
        QImage img(1600, 1200, QImage::Format_RGB32);
        img.fill(QColor(120, 100, 80));
        const QString chemin = banc.dossier.fichier(QStringLiteral("p.jpg"));
        ASSERT_TRUE(img.save(chemin, "JPEG", 95));
        ASSERT_TRUE(kaltest::BancEditeur::placer(ed, chemin));
    }
};

TEST_P(Redimension, PanneauPlageEtLegendes)
{
    (*ed->x.commande(QStringLiteral("Redimensionner")))();
    EXPECT_TRUE(c().F_redim.visible());
    EXPECT_FALSE(c().L_fonction.actif());
    EXPECT_FALSE(c().A_contraste.actif());
    EXPECT_EQ(c().A_redim.min(), 100);
    EXPECT_EQ(c().A_redim.max(), 1600);
    EXPECT_EQ(c().A_redim.petitPas(), 160);
    EXPECT_EQ(c().E_redim.legende(), QStringLiteral("Redim:100 %  1600 x 1200"));
    c().A_redim.definirValeur(800);
    EXPECT_EQ(c().E_redim.legende(), QStringLiteral("Redim:50 %  800 x 600"));
    EXPECT_EQ(c().L_photo[0]->bitmap().largeur(), 800);
    c().A_redim.definirValeur(100);
    EXPECT_EQ(c().E_redim.legende(), QStringLiteral("Redim:6 %  100 x 75"));
    // While dragging only the caption follows.
    c().A_redim.definirValeur(800);
    ed->x.etat.rapportredim = 0;
    ed->x.imagerie().A_redim_Scroll();
    EXPECT_EQ(c().E_redim.legende(), QStringLiteral("Redim:50 %  800 x 600"));
}

TEST_P(Redimension, AppliquerNeDoublePasLesReglages)
{
    c().A_contraste.definirValeur(400);
    const QRgb ajustee = c().L_photo[0]->bitmap().pleine().pixel(800, 600);
    c().A_angle.definirValeur(90);
    (*ed->x.commande(QStringLiteral("Redimensionner")))();
    c().A_redim.definirValeur(800);   // the longer side of the turned picture shown
    c().B_finredim.cliquer();
    EXPECT_FALSE(c().F_redim.visible());
    EXPECT_TRUE(c().L_fonction.actif());
    EXPECT_TRUE(c().A_contraste.actif());
    // The base is the bare picture at its new size: no adjustment, no rotation in it.
    const kal::image::Photo base = c().L_sauvtot.bitmap();
    EXPECT_EQ(base.largeur(), 800);
    EXPECT_EQ(base.hauteur(), 600);
    EXPECT_NEAR(qRed(base.pleine().pixel(400, 300)), 120, 4);
    ed->x.imagerie().sauvphoto();
    kal::ControleImage sauv;
    sauv.lirefichier(kal::fichierSauv(0));
    EXPECT_EQ(sauv.bitmap().largeur(), 800);
    EXPECT_NEAR(qRed(sauv.bitmap().pleine().pixel(400, 300)), 120, 6);
    // Shown with the contrast once, and turned once.
    ed->x.imagerie().chargephoto(0);
    const kal::image::Photo vue = c().L_photo[0]->bitmap();
    EXPECT_EQ(vue.largeur(), 600);
    EXPECT_NEAR(qRed(vue.pleine().pixel(300, 400)), qRed(ajustee), 6);
}

// APPLIQUER right after the panel opens on a turned, adjusted object: the base stays unturned
// and bare, so the object prints turned once; the slider being edited then applies its value
// once, on the turned picture.
TEST_P(Redimension, AppliquerSansChangementGardeLaBaseNue)
{
    c().A_contraste.definirValeur(200);
    c().A_angle.definirValeur(90);
    c().A_contraste.definirValeur(300);
    (*ed->x.commande(QStringLiteral("Redimensionner")))();
    EXPECT_EQ(c().E_redim.legende(), QStringLiteral("Redim:100 %  1200 x 1600"));
    c().B_finredim.cliquer();
    const kal::image::Photo base = c().L_sauvtot.bitmap();
    EXPECT_EQ(base.largeur(), 1600);
    EXPECT_NEAR(qRed(base.pleine().pixel(800, 600)), 120, 4);
    c().A_contraste.definirValeur(250);
    kal::ControleImage attendu;
    attendu.definirBitmap(base);
    kal::appliquerChaine(attendu, {.contraste = 250}, {.photo = true, .cadre = std::nullopt, .angle = 90});
    EXPECT_EQ(c().L_photo[0]->bitmap().pleine(), attendu.bitmap().pleine());

    // Printed: the record's quarter turn applied to the bare base once.
    if (GetParam() == TypeEditeur::Jaquette)
        c().O_imprim.definirValeur(true);
    banc.imp.oublierTraces();
    ASSERT_TRUE(ed->x.impression().impression());
    std::vector<QSize> images;
    for (const kal::Trace& t : banc.imp.traces())
        if (t.genre == kal::Trace::Genre::Image)
            images.push_back(t.taillePixels);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0], QSize(1200, 1600));
}

// A resize of a photo turned by a quarter: the largest format, the pixel size and the
// resolution are those of the picture as shown (turned), and what APPLIQUER leaves on the
// preview is what selecting the object again shows.
TEST_P(Redimension, ApresUnQuartDeTourLesLimitesSuiventLaPhotoMontree)
{
    c().A_intensite.definirValeur(300);
    c().A_angle.definirValeur(90);
    (*ed->x.commande(QStringLiteral("Redimensionner")))();
    c().A_redim.definirValeur(400);
    EXPECT_EQ(c().E_maximum.legende(), QStringLiteral("Format maximal acceptable:63.5 x 84.7 mm"));
    c().B_finredim.cliquer();
    const double largeurImprimee = ed->x.etat.largeurformat;
    EXPECT_EQ(c().E_nominal.legende(), QStringLiteral("Format photo:300 x 400 pixels:%1 pixels/pouce")
                                           .arg(static_cast<int>(std::floor(300 * 1440 / largeurImprimee + 1e-9))));
    const QImage apres = c().L_photo[0]->bitmap().pleine();
    ed->x.imagerie().chargephoto(0);
    EXPECT_EQ(c().L_photo[0]->bitmap().pleine(), apres);
    EXPECT_NEAR(ed->x.etat.largeurformat, largeurImprimee, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Redimension, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
