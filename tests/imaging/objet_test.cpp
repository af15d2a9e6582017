// Working on the current object with the band's controls, on both editors and a real photo:
// the five adjustment sliders, the rotation and its undo, the display gamma, INIT and the
// adjustment reset.
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <array>
#include <tuple>
#include <gtest/gtest.h>

using kal::TypeEditeur;
using kaltest::octets;

namespace {

class Objet : public kaltest::EditeurOuvert {
protected:
    void SetUp() override
    {
        EditeurOuvert::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(placer(800, 600, "a.jpg"));
        banc.repondeur.oublier();
    }
    bool placer(int l, int h, const char* nom)
    {
        return kaltest::BancEditeur::placer(ed, banc.jpeg(QString::fromLatin1(nom), l, h));
    }
    QRgb centre() { return c().L_photo[0]->bitmap().pleine().pixel(400, 300); }
    // The picture the preview must show: the base with the sliders, the photo treatment and the
    // angle, each applied once.
    QImage attendu()
    {
        kal::ControleImage ref;
        ref.definirBitmap(c().L_sauvtot.bitmap());
        kal::appliquerChaine(ref, ed->x.imagerie().valeursCurseurs(),
                             {.photo = true, .cadre = std::nullopt, .angle = c().A_angle.valeur()});
        return ref.bitmap().pleine();
    }
    // Width and height in millimetres of the format caption "Format :w x h mm".
    std::pair<double, double> format()
    {
        static const QRegularExpression nombre(QStringLiteral("[0-9]+(?:[.,][0-9]+)?"));
        QList<double> v;
        for (auto m = nombre.globalMatch(c().E_format.legende()); m.hasNext();)
            v << m.next().captured().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        return {v.value(0), v.value(1)};
    }
};

TEST_P(Objet, LesCinqCurseursEtLeursLegendes)
{
    // Ranges and arrow and page steps as designed, the workbench's too.
    for (auto [a, min, max, petit, grand] : {std::tuple{&c().A_contraste, -1000, 1000, 10, 100},
                                             std::tuple{&c().A_couleur, -180, 180, 1, 10},
                                             std::tuple{&c().A_intensite, -1000, 1000, 10, 100},
                                             std::tuple{&c().A_nettete, -1000, 1000, 10, 100},
                                             std::tuple{&c().A_saturation, -99, 99, 1, 10}})
        EXPECT_EQ((std::array{a->min(), a->max(), a->petitPas(), a->grandPas()}), (std::array{min, max, petit, grand}));
    const QRgb avant = centre();
    c().A_contraste.definirValeur(255);
    EXPECT_EQ(c().E_contraste.legende(), QStringLiteral("Cont: 25"));
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Contraste], 255);
    EXPECT_EQ(e().codereglage, QStringLiteral("CONT"));
    EXPECT_EQ(c().B_initreglage.legende().split(QLatin1Char('\r')),
              (QStringList{" ", "X", " ", " ", " "}));
    EXPECT_TRUE(c().B_initreglage.actif());
    EXPECT_TRUE(e().pagemodifiee);
    EXPECT_NE(centre(), avant);
    // While dragging the label follows with its own form.
    ed->x.imagerie().A_reglage_Scroll(kal::Reglage::Contraste);
    EXPECT_EQ(c().E_contraste.legende(), QStringLiteral("Cont= 25"));
    c().A_contraste.definirValeur(-255);
    EXPECT_EQ(c().E_contraste.legende(), QStringLiteral("Cont:-26"));

    c().A_couleur.definirValeur(30);
    EXPECT_EQ(c().E_couleur.legende(), QStringLiteral("Coul= 30"));
    ed->x.imagerie().A_reglage_Scroll(kal::Reglage::Couleur);
    EXPECT_EQ(c().E_couleur.legende(), QStringLiteral("Coul=30"));
    c().A_saturation.definirValeur(5);
    EXPECT_EQ(c().E_saturation.legende(), QStringLiteral("Sat= .5"));
    c().A_saturation.definirValeur(-99);
    EXPECT_EQ(c().E_saturation.legende(), QStringLiteral("Sat=-9.9"));
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Saturation], -99);
    c().A_intensite.definirValeur(0);   // unchanged: no Change
    EXPECT_EQ(e().codereglage, QStringLiteral("SAT"));
    // While code moves the sliders, nothing happens.
    e().majencours = true;
    c().A_nettete.definirValeur(300);
    e().majencours = false;
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Nettete], 0);
}

// A removal puts the sliders back to neutral; the stored adjustments of the objects stay.
TEST_P(Objet, LesReglagesStockesSurviventAUnNouvelObjet)
{
    c().A_contraste.definirValeur(300);
    c().A_intensite.definirValeur(-200);
    ASSERT_TRUE(placer(640, 480, "b.jpg"));
    EXPECT_EQ(e().objetcourant, 1);
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Contraste], 300);
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Intensite], -200);
    EXPECT_EQ(c().A_contraste.valeur(), 0);   // the new object shows neutral sliders
}

TEST_P(Objet, RotationEtAnnulation)
{
    // Whole degrees with the arrows, quarter turns with the page steps.
    EXPECT_EQ(c().A_angle.petitPas(), 1);
    EXPECT_EQ(c().A_angle.grandPas(), 90);
    c().A_angle.definirValeur(90);
    EXPECT_EQ(champ(0, QStringLiteral("rot")).toInt(), 90);
    EXPECT_TRUE(c().B_annulangle.actif());
    EXPECT_FALSE(c().B_initreglage.actif());
    EXPECT_EQ(c().L_photo[0]->bitmap().largeur(), 600);   // turned a quarter
    EXPECT_EQ(c().L_photo[0]->bitmap().hauteur(), 800);
    EXPECT_EQ(c().E_angle.legende(), QStringLiteral("Angle= 90"));
    // The thumbnail turns with it.
    EXPECT_LT(c().L_miniat[0]->bitmap().largeur(), c().L_miniat[0]->bitmap().hauteur());
    // The base work copy is never turned.
    kal::ControleImage base;
    base.lirefichier(kal::fichierSauv(0));
    EXPECT_EQ(base.bitmap().largeur(), 800);

    c().B_annulangle.cliquer();
    EXPECT_EQ(champ(0, QStringLiteral("rot")).toInt(), 0);
    EXPECT_EQ(c().A_angle.valeur(), 0);
    EXPECT_FALSE(c().B_annulangle.actif());
    EXPECT_EQ(c().L_photo[0]->bitmap().largeur(), 800);
}

// The angle changed while a slider is being edited: its next move starts from the turned
// picture, and the thumbnail is turned once, from an unturned photo<n>.svc.
TEST_P(Objet, UnReglageApresUnTourPartDuTour)
{
    const auto [l0, h0] = format();
    EXPECT_GT(l0, h0);
    c().A_contraste.definirValeur(200);
    c().A_angle.definirValeur(90);
    EXPECT_EQ(c().L_photo[0]->bitmap().largeur(), 600);
    // The format caption follows the turn: the object is now higher than wide.
    const auto [l1, h1] = format();
    EXPECT_LT(l1, h1);
    c().A_contraste.definirValeur(250);
    EXPECT_EQ(c().L_photo[0]->bitmap().largeur(), 600);
    EXPECT_EQ(c().L_photo[0]->bitmap().pleine(), attendu());
    // Stored now, while the slider's working base (turned) is still in use.
    ed->x.imagerie().sauvphoto();
    kal::ControleImage photo;
    photo.lirefichier(kal::fichierPhoto(0));
    EXPECT_EQ(photo.bitmap().largeur(), 800);
    EXPECT_LT(c().L_miniat[0]->bitmap().largeur(), c().L_miniat[0]->bitmap().hauteur());
    // The frame ticked and unticked: the slider's next move has the frame as the box says.
    c().C_cadre.definirValeur(1);
    c().C_cadre.definirValeur(0);
    c().A_contraste.definirValeur(300);
    EXPECT_EQ(c().L_photo[0]->bitmap().pleine(), attendu());
}

TEST_P(Objet, GammaDAffichage)
{
    c().A_gamma.definirValeur(120);
    EXPECT_DOUBLE_EQ(banc.partage.gamma, 120);
    EXPECT_EQ(c().E_gamma.legende(), QStringLiteral("Gamma =1.2"));
    if (GetParam() == TypeEditeur::Page) {
        EXPECT_DOUBLE_EQ(c().L_photo[0]->gammaaffichage(), 120);
        EXPECT_DOUBLE_EQ(c().L_miniat[0]->gammaaffichage(), 120);
    } else {
        EXPECT_DOUBLE_EQ(c().L_apjaq[0]->gammaaffichage(), 120);
    }
    // The walk leaves the whole table as record source: a find by number still works.
    EXPECT_EQ(ed->x.D_image.source(), QStringLiteral("kalmorin"));
}

// The caption shows gamma in the user's own number format.
TEST_P(Objet, GammaAuSeparateurDeLUtilisateur)
{
    const QLocale avant;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    c().A_gamma.definirValeur(150);
    EXPECT_EQ(c().E_gamma.legende(), QStringLiteral("Gamma =1,5"));
    c().A_gamma.definirValeur(1);
    EXPECT_EQ(c().E_gamma.legende(), QStringLiteral("Gamma =0,01"));
    QLocale::setDefault(avant);
}

TEST_P(Objet, InitRemetLaPhotoPremiere)
{
    c().A_contraste.definirValeur(300);
    c().A_angle.definirValeur(90);
    ed->x.imagerie().sauvphoto();
    ASSERT_NE(octets(kal::fichierSauv(0)), QByteArray());
    c().B_initimage.cliquer();
    EXPECT_EQ(champ(0, QStringLiteral("rot")).toInt(), 0);
    EXPECT_EQ(champ(0, QStringLiteral("cadre")).toInt(), 0);
    EXPECT_EQ(c().A_angle.valeur(), 0);
    EXPECT_EQ(c().A_contraste.valeur(), 0);
    for (int k = kal::col::Intensite; k <= kal::col::Angle; ++k)
        EXPECT_DOUBLE_EQ(e().tabobjets[0][static_cast<size_t>(k)], 0) << k;
    EXPECT_EQ(c().L_photo[0]->bitmap().largeur(), 800);
    EXPECT_FALSE(c().B_annulangle.actif());
    EXPECT_FALSE(c().B_initreglage.actif());
}

TEST_P(Objet, LeBoutonDeReglageRevientALaValeurMemorisee)
{
    c().A_intensite.definirValeur(-100);   // memorises contrast 0 when contrast begins its run below
    c().A_contraste.definirValeur(200);
    EXPECT_EQ(e().valreglage[2], -100);
    c().B_initreglage.cliquer();
    EXPECT_EQ(c().A_contraste.valeur(), 0);   // the contrast slot held 0
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Contraste], 0);
    EXPECT_TRUE(e().codereglage.isEmpty());
    EXPECT_FALSE(c().B_initreglage.actif());
}

// INIT turns the object back to 0: whole image is no longer offered by it.
TEST_P(Objet, InitRetireImageTotale)
{
    c().A_angle.definirValeur(30);
    EXPECT_TRUE(c().C_image.actif());
    c().B_initimage.cliquer();
    EXPECT_FALSE(c().C_image.actif());
}

// "Imprimer" ticked on the jacket: no face is composed (basecote 100); the gamma slider still
// works and touches no preview image of its own.
TEST(ObjetJaquette, GammaSansFaceComposee)
{
    kaltest::BancEditeur banc{1024, 768};
    kal::Editeur* ed = banc.ouvrir(TypeEditeur::Jaquette);
    ASSERT_NE(ed, nullptr);
    ASSERT_TRUE(kaltest::BancEditeur::placer(ed, banc.jpeg(QStringLiteral("a.jpg"), 400, 300)));
    ed->c.O_imprim.definirValeur(true);
    ASSERT_EQ(ed->x.etat.basecote, 100);
    const double avant = ed->c.L_apjaq[0]->gammaaffichage();
    ed->c.A_gamma.definirValeur(150);
    EXPECT_DOUBLE_EQ(banc.partage.gamma, 150);
    EXPECT_EQ(ed->c.E_gamma.legende(), QStringLiteral("Gamma =1.5"));
    EXPECT_DOUBLE_EQ(ed->c.L_apjaq[0]->gammaaffichage(), avant);
    EXPECT_TRUE(banc.repondeur.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Objet, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
