// The workbench window: what its load makes and enables, its band laid out for the three kinds
// of screen, its activation, the calibration and documentation buttons, quitting and unloading.
#include "banc.h"

#include "platform/base/fichiers.h"

#include <QFileInfo>

using kal::Atelier;
using kaltest::BancAtelier;

namespace {

TEST(Atelier, ChargementCreeLeClasseurEtNOffreQueLesBoutonsDeDepart)
{
    BancAtelier b;
    Atelier* a = b.ouvrir();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->windowTitle(), QStringLiteral("UTILITAIRES PHOTO"));
    EXPECT_TRUE(QFileInfo(b.classeur()).isDir());
    EXPECT_FALSE(a->L_photo.visible());
    EXPECT_FALSE(a->L_fichier.visible());
    EXPECT_FALSE(a->L_fichsup.visible());
    EXPECT_FALSE(a->panneau.F_ouvrir.visible());
    EXPECT_FALSE(a->etat.photochargee);
    EXPECT_EQ(a->etat.qualitecompression, 2);
    EXPECT_EQ(a->A_compression.valeur(), 2);

    const std::vector<const kal::Controle*> actifs = {&a->B_ouvrir, &a->B_scanner, &a->B_sup,   &a->B_ajust, &a->B_info,
                                                      &a->E_gamma,  &a->A_gamma,   &a->B_doc,   &a->B_finutil};
    const std::vector<const kal::Controle*> bande = {
        &a->B_ouvrir,   &a->B_enrsous,     &a->B_scanner,    &a->B_sup,        &a->B_okphoto,         &a->B_ajust,
        &a->E_intensite, &a->E_contraste,  &a->E_couleur,    &a->E_saturation, &a->E_nettete,         &a->A_intensite,
        &a->A_contraste, &a->A_couleur,    &a->A_saturation, &a->A_nettete,    &a->B_initreglage,     &a->B_redeye,
        &a->B_appry,     &a->B_annry,      &a->B_finry,      &a->E_zoom,       &a->E_angle,           &a->A_zoom,
        &a->A_angle,     &a->C_decoupe,    &a->B_annuldecoupe, &a->B_annulreglagetot, &a->B_initzoom, &a->B_initangle,
        &a->B_info,      &a->E_compression, &a->A_compression, &a->E_resize,   &a->A_resize,          &a->E_gamma,
        &a->A_gamma,     &a->B_doc,        &a->B_finutil};
    for (const kal::Controle* c : bande) {
        const bool attendu = std::find(actifs.begin(), actifs.end(), c) != actifs.end();
        EXPECT_EQ(c->actif(), attendu) << c->widget()->metaObject()->className() << " at " << c->gauche() << ", " << c->haut();
    }
    EXPECT_EQ(a->B_initreglage.legende(), QStringLiteral("X\rX\rX\rX\rX"));
    EXPECT_EQ(kaltest::legende(a->E_angle), QStringLiteral("Angle= 0 deg"));

    // Loaded again with the folder there already: the load goes on.
    a->B_finutil.cliquer();
    EXPECT_FALSE(kal::Fenetres::chargee(Atelier::nomFenetre()));
    a = b.ouvrir();
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->B_ouvrir.actif());
}

TEST(Atelier, LaBandeSelonLEcran)
{
    {
        BancAtelier b(1024, 768);
        Atelier* a = b.ouvrir();
        // As designed, 270 twips above the screen's bottom; raised so that the band stays
        // inside the client area under the 375 twips of title.
        const int T = std::min(11520 - 975 - 270, 11520 - 375 - 975 - 15);
        EXPECT_EQ(a->F_photo.haut(), T);
        EXPECT_EQ(a->etat.largeurzone, 15360);
        EXPECT_EQ(a->etat.hauteurzone, T);
        // The adjustment rows one under the other, 15 twips apart.
        EXPECT_EQ(a->E_contraste.haut(), T + 195);
        EXPECT_EQ(a->A_nettete.haut(), T + 780);
        // The zoom column, the crop box and INITIALISATION under it, no gap.
        EXPECT_EQ(a->E_angle.haut(), T + 240);
        EXPECT_EQ(a->C_decoupe.haut(), T + 450);
        EXPECT_EQ(a->B_annulreglagetot.haut(), T + 675);
        EXPECT_EQ(a->B_annuldecoupe.haut(), T + 450);
        EXPECT_EQ(a->B_info.haut(), T + 450);
        // The red-eye buttons in a column.
        EXPECT_EQ(a->B_redeye.haut(), T);
        EXPECT_EQ(a->B_appry.haut(), T + 255);
        EXPECT_EQ(a->B_finry.haut(), T + 735);
        EXPECT_EQ(a->A_resize.haut(), T + 735);
        EXPECT_EQ(a->B_doc.haut(), T + 480);
        // QUITTER keeps its designed place; the lists run from the top down to the band.
        EXPECT_EQ(a->B_finutil.haut(), T);
        EXPECT_EQ(a->B_finutil.gauche(), 13595);
        EXPECT_EQ(a->B_finutil.largeur(), 1755);
        EXPECT_EQ(a->L_fichier.haut(), 0);
        EXPECT_EQ(a->L_fichier.hauteur(), T);
        EXPECT_EQ(a->L_fichsup.gauche(), 0);
        EXPECT_EQ(a->L_fichsup.hauteur(), T);
    }
    {
        BancAtelier b(800, 600);
        Atelier* a = b.ouvrir();
        const int T = std::min(9000 - 975 - 270, 9000 - 375 - 975 - 15);
        EXPECT_EQ(a->F_photo.largeur(), 2640);
        EXPECT_EQ(a->B_enrsous.gauche(), 1320);
        EXPECT_EQ(kaltest::legende(a->E_saturation), QStringLiteral("Satur"));
        EXPECT_EQ(a->A_intensite.gauche(), 3480);
        // The red-eye buttons in a row just above the band, the photo down to them.
        EXPECT_EQ(a->B_redeye.haut(), T - 255);
        EXPECT_EQ(a->B_redeye.gauche(), 5685);
        EXPECT_EQ(a->B_appry.haut(), T - 255);
        EXPECT_EQ(a->B_appry.gauche(), 5685 + 1320);
        EXPECT_EQ(a->B_finry.gauche(), 5685 + 3 * 1320);
        EXPECT_EQ(a->etat.hauteurzone, T - 255);
        EXPECT_EQ(a->B_annuldecoupe.gauche(), 4695 + 1395);
        EXPECT_EQ(a->B_annulreglagetot.largeur(), 7785 - 4695);
        EXPECT_EQ(a->B_finutil.gauche(), 9785 + 1200);
        EXPECT_EQ(a->B_finutil.largeur(), 12000 - 9785 - 1200);
        EXPECT_DOUBLE_EQ(a->B_finutil.widget()->font().pointSizeF(), 8.0);
    }
    {
        BancAtelier b(1280, 1024);
        Atelier* a = b.ouvrir();
        EXPECT_EQ(a->B_finutil.haut(), std::min(15360 - 975 - 270, 15360 - 375 - 975 - 15));
        EXPECT_EQ(a->B_finutil.gauche(), 12395 + 1200);
        EXPECT_EQ(a->B_finutil.largeur(), 19200 - 13595);
        EXPECT_EQ(a->B_finutil.hauteur(), 975);
        EXPECT_EQ(a->B_doc.largeur(), 1200);
    }
}

TEST(Atelier, ChaqueRetourDUneAutreFenetreRemetLeGammaA180)
{
    BancAtelier b;
    Atelier* a = b.ouvrir();
    ASSERT_TRUE(QTest::qWaitForWindowActive(a));
    EXPECT_EQ(b.partage.gamma, 180);
    EXPECT_EQ(a->A_gamma.valeur(), 180);
    EXPECT_EQ(kaltest::legende(a->E_gamma), QStringLiteral("Gamma =") + kal::CStr(1.8));
    BancAtelier::glisser(a->A_gamma, 120);
    EXPECT_EQ(b.partage.gamma, 120);
    EXPECT_EQ(a->L_photo.gammaaffichage(), 120);

    // The documentation, then back: the gamma is 1.80 again; the section key is the workbench's.
    a->B_doc.cliquer();
    EXPECT_EQ(b.partage.rubriquedoc, QStringLiteral("util"));
    kal::Fenetre* doc = kal::Fenetres::siChargee(QStringLiteral("DOC"));
    ASSERT_NE(doc, nullptr);
    doc->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(doc));
    kal::Fenetres::montrer(Atelier::nomFenetre());
    ASSERT_TRUE(QTest::qWaitForWindowActive(a));
    EXPECT_EQ(b.partage.gamma, 180);
    EXPECT_EQ(a->A_gamma.valeur(), 180);
    EXPECT_EQ(a->L_photo.gammaaffichage(), 180);

    // A message box is no other window of the program: the gamma chosen stays.
    BancAtelier::glisser(a->A_gamma, 150);
    QWidget boite;
    boite.show();
    boite.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&boite));
    a->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(a));
    EXPECT_EQ(b.partage.gamma, 150);
}

TEST(Atelier, QuitterFermeLAjustementOuvertEtEfface_saiphot)
{
    BancAtelier b;
    b.photo(QStringLiteral("p.jpg"), BancAtelier::motif(400, 300));
    // Loading the workbench unloads the calibration window, which gives the printer back.
    b.imp.definirOrientationimprimante(kal::imp::Paysage);
    kal::Fenetres::montrer(kal::Ajustement::nomFenetre());
    ASSERT_TRUE(b.partage.ajustactif);
    Atelier* a = b.ouvrir();
    EXPECT_FALSE(kal::Fenetres::chargee(kal::Ajustement::nomFenetre()));
    EXPECT_FALSE(b.partage.ajustactif);
    EXPECT_EQ(b.imp.orientationimprimante(), kal::imp::Paysage);

    // AJUSTER shows it again, modeless; QUITTER closes it first, then the workbench.
    a->B_ajust.cliquer();
    ASSERT_TRUE(kal::Fenetres::chargee(kal::Ajustement::nomFenetre()));
    EXPECT_TRUE(b.partage.ajustactif);
    b.prendre(*a, 0);
    ASSERT_TRUE(QFileInfo::exists(b.travail()));
    a->B_finutil.cliquer();
    EXPECT_FALSE(kal::Fenetres::chargee(kal::Ajustement::nomFenetre()));
    EXPECT_FALSE(b.partage.ajustactif);
    EXPECT_EQ(b.imp.orientationimprimante(), kal::imp::Paysage);
    EXPECT_FALSE(kal::Fenetres::chargee(Atelier::nomFenetre()));
    EXPECT_FALSE(QFileInfo::exists(b.travail()));
    EXPECT_TRUE(QFileInfo(b.classeur()).isDir());

    // The end of the program unloads nothing, and the work file still goes with the window.
    a = b.ouvrir();
    b.prendre(*a, 0);
    ASSERT_TRUE(QFileInfo::exists(b.travail()));
    kal::Fenetres::toutDetruire();
    EXPECT_FALSE(QFileInfo::exists(b.travail()));
}

}  // namespace
