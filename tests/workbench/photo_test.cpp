// A photo in the workbench, on real JPEG files: opened through the panel with the mouse, shown
// as the work file it would be filed as, adjusted, zoomed, turned, cropped, freed of red eyes,
// resized and compressed, with the captions the user reads.
#include "banc.h"

#include "platform/base/fichiers.h"
#include "platform/controls/bip.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <array>
#include <cmath>
#include <numbers>
#include <tuple>

using kal::Atelier;
using kaltest::BancAtelier;
using kaltest::legende;
using kaltest::moyenne;
using kaltest::octets;

namespace {

QSize taille(const QString& chemin) { return QImageReader(chemin).size(); }

// A red pupil's pixel: red well above both green and blue.
bool rouge(QColor c) { return c.red() - std::max(c.green(), c.blue()) > 100; }

class Photo : public kaltest::AtelierOuvert {
protected:
    void SetUp() override
    {
        AtelierOuvert::SetUp();
        if (HasFatalFailure())
            return;
        b.photo(QStringLiteral("p1000.jpg"), BancAtelier::motif(1000, 750));
        b.repondeur.oublier();
    }
};

TEST_F(Photo, OuvrirMontreLaPhotoCommeLeFichierDeTravail)
{
    kal::CompteurBips bips;
    // An empty folder: releasing over the list does nothing at all.
    a->panneau.repphoto = b.dossier.fichier(QStringLiteral("utilphot"));
    a->B_ouvrir.cliquer();
    ASSERT_TRUE(a->panneau.F_ouvrir.visible());
    // Centred over the area above the band; the workbench offers seven formats.
    EXPECT_EQ(a->panneau.F_ouvrir.gauche(), (15360 - 9300) / 2);
    EXPECT_EQ(a->panneau.F_ouvrir.haut(), (a->B_finutil.haut() - 4365) / 2);
    EXPECT_EQ(a->panneau.L_formouvrir.nombre(), 7);
    BancAtelier::relacher(*a, 0);
    EXPECT_TRUE(b.repondeur.messages().empty());
    EXPECT_EQ(bips.nombre(), 0);
    // Cancelled: the next opening starts in that folder; nothing to save.
    a->panneau.B_annulouvfich.cliquer();
    EXPECT_FALSE(a->panneau.F_ouvrir.visible());
    EXPECT_FALSE(a->B_enrsous.actif());
    EXPECT_EQ(a->panneau.repphoto, b.dossier.fichier(QStringLiteral("utilphot")));

    // Names listed, none pointed at: the workbench's own message.
    a->panneau.repphoto = b.images;
    a->B_ouvrir.cliquer();
    BancAtelier::pointer(*a, 5);
    BancAtelier::relacher(*a, 5);
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].texte, QStringLiteral("Indiquer un nom de photo,sans suffixe"));
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("NOM DE PHOTO ABSENT"));
    EXPECT_EQ(b.repondeur.messages()[0].style, 48);
    EXPECT_EQ(bips.nombre(), 1);
    EXPECT_TRUE(a->panneau.F_ouvrir.visible());

    BancAtelier::pointer(*a, 0);
    BancAtelier::relacher(*a, 0);
    EXPECT_FALSE(a->panneau.F_ouvrir.visible());
    EXPECT_EQ(kal::fs::dossierCourant(), b.dossier.chemin());
    EXPECT_TRUE(a->etat.photochargee);
    EXPECT_TRUE(a->L_photo.visible());
    EXPECT_TRUE(a->panneau.L_ouvfich.estVide());
    // The work file at quality 2, and what the user reads of it.
    ASSERT_TRUE(QFileInfo::exists(b.travail()));
    EXPECT_EQ(taille(b.travail()), QSize(1000, 750));
    EXPECT_EQ(legende(a->E_compression), Atelier::legendeCompression(2, QFileInfo(b.travail()).size()));
    EXPECT_EQ(Atelier::legendeCompression(2, 153700), QStringLiteral("Compress  2: 150 Ko"));
    EXPECT_EQ(legende(a->E_resize), QStringLiteral("Redim:100 %  1000x750"));
    EXPECT_EQ(a->A_resize.min(), 100);
    EXPECT_EQ(a->A_resize.max(), 750);
    EXPECT_EQ(a->A_resize.petitPas(), 75);
    EXPECT_EQ(a->A_resize.grandPas(), 75);
    EXPECT_EQ(a->A_resize.valeur(), 750);
    // Fitted into the area (the height limits it), centred.
    EXPECT_EQ(a->L_photo.hauteur(), a->etat.hauteurzone);
    EXPECT_NEAR(a->L_photo.largeur(), a->etat.hauteurzone * 1000.0 / 750, 1);
    EXPECT_EQ(a->etat.largeurbase, a->L_photo.largeur());
    // Save, and every correction control, become usable.
    EXPECT_TRUE(a->B_enrsous.actif());
    EXPECT_FALSE(a->B_okphoto.actif());
    for (const kal::Controle* c : std::initializer_list<const kal::Controle*>{&a->A_contraste, &a->A_angle, &a->A_zoom, &a->C_decoupe,
                                                                            &a->B_redeye, &a->A_compression, &a->A_resize,
                                                                            &a->B_annulreglagetot})
        EXPECT_TRUE(c->actif());

    // Resized while dragging, then released.
    BancAtelier::tenir(a->A_resize, 375);
    EXPECT_EQ(legende(a->E_resize), QStringLiteral("Redim:50 %  500x375"));
    a->A_resize.barre()->setSliderDown(false);
    EXPECT_EQ(taille(b.travail()), QSize(500, 375));
    EXPECT_EQ(legende(a->E_resize), QStringLiteral("Redim:50 %  500x375"));

    // A grey photo is written in 8 bits.
    QImage gris(640, 480, QImage::Format_Grayscale8);
    gris.fill(90);
    b.photo(QStringLiteral("gris.jpg"), gris);
    b.prendre(*a, 0);   // "gris" comes before "p1000"
    EXPECT_EQ(QImageReader(b.travail()).imageFormat(), QImage::Format_Grayscale8);
    EXPECT_EQ(legende(a->E_resize), QStringLiteral("Redim:100 %  640x480"));
    EXPECT_EQ(a->A_resize.max(), 480);
}

TEST_F(Photo, LegendesDesCurseurs)
{
    // Ranges and arrow and page steps as designed, the editors' too.
    for (auto [k, min, max, petit, grand] : {std::tuple{&a->A_contraste, -1000, 1000, 10, 100},
                                             std::tuple{&a->A_couleur, -180, 180, 1, 10},
                                             std::tuple{&a->A_intensite, -1000, 1000, 10, 100},
                                             std::tuple{&a->A_nettete, -1000, 1000, 10, 100},
                                             std::tuple{&a->A_saturation, -99, 99, 1, 10}})
        EXPECT_EQ((std::array{k->min(), k->max(), k->petitPas(), k->grandPas()}), (std::array{min, max, petit, grand}));
    b.prendre(*a, 0);
    a->A_contraste.definirValeur(-5);
    EXPECT_EQ(legende(a->E_contraste), QStringLiteral("Cont:-1"));
    a->A_contraste.definirValeur(5);
    EXPECT_EQ(legende(a->E_contraste), QStringLiteral("Cont: 0"));
    BancAtelier::tenir(a->A_contraste, -120);
    EXPECT_EQ(legende(a->E_contraste), QStringLiteral("Cont=-12"));
    a->A_contraste.barre()->setSliderDown(false);
    BancAtelier::tenir(a->A_couleur, 5);
    EXPECT_EQ(legende(a->E_couleur), QStringLiteral("Coul=5"));
    a->A_couleur.barre()->setSliderDown(false);
    EXPECT_EQ(legende(a->E_couleur), QStringLiteral("Coul= 5"));
    a->A_saturation.definirValeur(5);
    EXPECT_EQ(legende(a->E_saturation), QStringLiteral("Sat= .5"));
    a->A_intensite.definirValeur(-10);
    EXPECT_EQ(legende(a->E_intensite), QStringLiteral("Int=-1"));
    a->A_angle.definirValeur(-30);
    EXPECT_EQ(legende(a->E_angle), QStringLiteral("Angle:-30 deg"));
    a->A_zoom.definirValeur(-50);
    EXPECT_EQ(legende(a->E_zoom), QStringLiteral("Zoom= 0 .5"));
    a->A_zoom.definirValeur(50);
    EXPECT_EQ(legende(a->E_zoom), QStringLiteral("Zoom=  1.5"));
    BancAtelier::tenir(a->A_compression, 12);
    EXPECT_EQ(legende(a->E_compression), QStringLiteral("Compress=12"));
}

TEST_F(Photo, UnCurseurRepartDeLaBaseEtSeRemetASaValeurMemorisee)
{
    // Contrast 500 then 300 gives exactly what contrast 300 gives at once: the second move does
    // not adjust the adjusted picture.
    b.prendre(*a, 0);
    a->A_contraste.definirValeur(300);
    const QByteArray direct = octets(b.travail());
    a->A_contraste.definirValeur(0);
    a->A_contraste.definirValeur(500);
    a->A_contraste.definirValeur(300);
    EXPECT_EQ(octets(b.travail()), direct);

    // Intensity takes over (contrast memorised at 300), contrast moves again, its reset brings
    // back the value it had when intensity took over.
    a->A_intensite.definirValeur(100);
    EXPECT_EQ(a->B_initreglage.legende(), QStringLiteral("X\r \r \r \r "));
    EXPECT_TRUE(a->B_initreglage.actif());
    EXPECT_FALSE(a->B_initangle.actif());
    a->A_contraste.definirValeur(-200);
    EXPECT_EQ(a->B_initreglage.legende(), QStringLiteral(" \rX\r \r \r "));
    a->B_initreglage.cliquer();
    EXPECT_EQ(a->A_contraste.valeur(), 300);
    EXPECT_EQ(legende(a->E_contraste), QStringLiteral("Cont: 30"));
    EXPECT_FALSE(a->B_initreglage.actif());
    EXPECT_EQ(a->B_initreglage.legende(), QStringLiteral("X\rX\rX\rX\rX"));

    // The angle after an adjustment: its reset offered, the adjustment's withdrawn; INITIAL
    // goes back to the angle memorised (0).
    a->A_angle.definirValeur(20);
    EXPECT_TRUE(a->B_initangle.actif());
    EXPECT_FALSE(a->B_initreglage.actif());
    a->A_angle.definirValeur(35);
    a->B_initangle.cliquer();
    EXPECT_EQ(a->A_angle.valeur(), 0);
    EXPECT_FALSE(a->B_initangle.actif());
    EXPECT_EQ(taille(b.travail()), QSize(1000, 750));

    // INITIALISATION: the photo as opened, every slider at 0, no slider handler rebuilding.
    a->B_annulreglagetot.cliquer();
    for (const kal::Curseur* c : {&a->A_contraste, &a->A_couleur, &a->A_intensite, &a->A_nettete, &a->A_saturation, &a->A_angle,
                                  &a->A_zoom})
        EXPECT_EQ(c->valeur(), 0);
    EXPECT_EQ(legende(a->E_contraste), QStringLiteral("Cont=0"));
    EXPECT_TRUE(a->A_contraste.visible());
    EXPECT_TRUE(a->B_annulreglagetot.actif());
    a->B_initreglage.cliquer();   // nothing to reset
    EXPECT_EQ(a->A_contraste.valeur(), 0);
    const QImage t = b.imageTravail();
    EXPECT_NEAR(moyenne(t, QRect(450, 400, 80, 80)).red(), 128, 3);
}

TEST_F(Photo, ZoomEtDefilement)
{
    b.prendre(*a, 0);
    const int l = a->etat.largeurbase, h = a->etat.hauteurbase;
    a->A_zoom.definirValeur(-50);
    EXPECT_NEAR(a->L_photo.largeur(), l / 2.0, 1);
    EXPECT_FALSE(a->L_photo.defilement());
    // Ten times: the control scrolls its picture at ten times the fitted scale.
    a->A_zoom.definirValeur(900);
    EXPECT_TRUE(a->L_photo.defilement());
    EXPECT_DOUBLE_EQ(a->L_photo.zoom(), 10.0 * a->etat.zoombase);
    EXPECT_EQ(a->L_photo.largeur(), a->etat.largeurzone - 180);
    EXPECT_EQ(a->L_photo.hauteur(), a->etat.hauteurzone);
    EXPECT_DOUBLE_EQ(a->etat.echellephoto, a->L_photo.zoom() / 100);
    // Back to 1: stretched into the control again.
    a->B_initzoom.cliquer();
    EXPECT_FALSE(a->L_photo.defilement());
    EXPECT_EQ(a->L_photo.largeur(), l);
    EXPECT_EQ(a->L_photo.hauteur(), h);
    EXPECT_EQ(legende(a->E_zoom), QStringLiteral("Zoom= 1"));
    // A turn brings the zoom back to 1 and grows the picture to the turned box.
    a->A_zoom.definirValeur(200);
    a->A_angle.definirValeur(90);
    EXPECT_EQ(a->A_zoom.valeur(), 0);
    EXPECT_EQ(taille(b.travail()), QSize(750, 1000));
}

TEST_F(Photo, DecoupeAuTraceDeLaSouris)
{
    b.prendre(*a, 0);
    a->C_decoupe.definirValeur(1);
    EXPECT_TRUE(a->etat.modedecoupe);
    // From the bottom right of the left half to its top left: the left half.
    BancAtelier::tracer(a->L_photo, BancAtelier::part(a->L_photo, 0.5, 1.0), BancAtelier::part(a->L_photo, 0.0, 0.0));
    EXPECT_EQ(a->C_decoupe.valeur(), 0);
    EXPECT_FALSE(a->etat.modedecoupe);
    EXPECT_TRUE(a->B_annuldecoupe.actif());
    const QSize moitie = taille(b.travail());
    EXPECT_NEAR(moitie.width(), 500, 2);
    EXPECT_NEAR(moitie.height(), 750, 2);
    // The blue square is in the crop, the red pupil is not.
    const QImage t = b.imageTravail();
    EXPECT_GT(moyenne(t, QRect(200, 150, 20, 20)).blue(), 150);

    // Undone: the photo as opened.
    a->B_annuldecoupe.cliquer();
    EXPECT_EQ(taille(b.travail()), QSize(1000, 750));
    EXPECT_FALSE(a->B_annuldecoupe.actif());

    // A click without a drag crops 15 x 15 pixels at the point clicked.
    a->C_decoupe.definirValeur(1);
    const QPoint p = BancAtelier::part(a->L_photo, 0.2, 0.2);
    BancAtelier::tracer(a->L_photo, p, p);
    EXPECT_EQ(taille(b.travail()), QSize(15, 15));
    a->B_annuldecoupe.cliquer();

    // After a quarter turn the crop takes the turned picture: its top half. The turn is in
    // the base now and the angle reads 0.
    a->A_angle.definirValeur(90);
    ASSERT_EQ(taille(b.travail()), QSize(750, 1000));
    a->C_decoupe.definirValeur(1);
    BancAtelier::tracer(a->L_photo, BancAtelier::part(a->L_photo, 0.0, 0.0), BancAtelier::part(a->L_photo, 1.0, 0.5));
    const QSize haut = taille(b.travail());
    EXPECT_NEAR(haut.width(), 750, 2);
    EXPECT_NEAR(haut.height(), 500, 2);
    EXPECT_EQ(a->A_angle.valeur(), 0);
    EXPECT_EQ(legende(a->E_angle), QStringLiteral("Angle= 0 deg"));
    // The blue square of the top-left quarter turned to the top right.
    EXPECT_GT(moyenne(b.imageTravail(), QRect(550, 240, 20, 20)).blue(), 150);
    // A compression change keeps the crop and its turn.
    BancAtelier::glisser(a->A_compression, 20);
    EXPECT_EQ(taille(b.travail()), haut);
    EXPECT_GT(moyenne(b.imageTravail(), QRect(550, 240, 20, 20)).blue(), 150);

    // Below 100 %: the crop is the share drawn of the picture shown, and stays through a
    // compression change.
    BancAtelier::glisser(a->A_resize, a->A_resize.max() / 2);
    const QSize reduite = taille(b.travail());
    EXPECT_NEAR(reduite.width(), haut.width() / 2.0, 1);
    a->C_decoupe.definirValeur(1);
    BancAtelier::tracer(a->L_photo, BancAtelier::part(a->L_photo, 0.0, 0.0), BancAtelier::part(a->L_photo, 1.0, 0.5));
    const QSize quart = taille(b.travail());
    EXPECT_NEAR(quart.width(), reduite.width(), 2);
    EXPECT_NEAR(quart.height(), reduite.height() / 2.0, 2);
    BancAtelier::glisser(a->A_compression, 2);
    EXPECT_EQ(taille(b.travail()), quart);
    EXPECT_GT(moyenne(b.imageTravail(), QRect(quart.width() * 3 / 4 - 5, quart.height() / 2 - 5, 10, 10)).blue(), 150);
}

// Where the centre of the pupil of the test photo (w x h) lands once turned by `degres`, as a
// share of the turned picture.
QPointF pupilleTournee(int w, int h, double degres)
{
    const QSize t = kal::image::tailleTournee(QSize(w, h), int(degres * 100));
    const double a = degres * std::numbers::pi / 180, co = std::cos(a), si = std::sin(a);
    const double dx = w * 0.75 - w / 2.0, dy = h * 0.25 - h / 2.0;
    return {(dx * co - dy * si + t.width() / 2.0) / t.width(), (dx * si + dy * co + t.height() / 2.0) / t.height()};
}

int pixelsRouges(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += rouge(QColor(img.pixel(x, y))) ? 1 : 0;
    return n;
}

TEST_F(Photo, YeuxRougesPuisCompressionEtRedimGardentChaqueRetouche)
{
    b.prendre(*a, 0);
    ASSERT_GT(pixelsRouges(b.imageTravail()), 5000);
    a->A_intensite.definirValeur(300);
    a->A_angle.definirValeur(30);
    const QSize tournee = taille(b.travail());

    a->B_redeye.cliquer();
    EXPECT_FALSE(a->A_contraste.actif());
    EXPECT_FALSE(a->B_annulreglagetot.actif());
    EXPECT_FALSE(a->A_resize.actif());
    EXPECT_TRUE(a->A_zoom.actif());
    EXPECT_TRUE(a->B_appry.actif());
    EXPECT_FALSE(a->B_annry.actif());
    // No zone yet.
    a->B_appry.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].texte, QStringLiteral("Sélecter la zone à corriger"));
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("ZONE YEUX ROUGES"));
    EXPECT_EQ(b.repondeur.messages()[0].style, 48);

    // A zone round the pupil, dragged up and to the left.
    const QPointF c = pupilleTournee(1000, 750, 30);
    auto zone = [&] {
        BancAtelier::tracer(a->L_photo, BancAtelier::part(a->L_photo, c.x() + 0.07, c.y() + 0.08),
                            BancAtelier::part(a->L_photo, c.x() - 0.07, c.y() - 0.08));
    };
    zone();
    EXPECT_LT(a->etat.zonelargeur, 0);
    EXPECT_LT(a->etat.zonehauteur, 0);
    a->B_appry.cliquer();
    EXPECT_LT(pixelsRouges(a->L_photo.bitmap().pleine()), 20);
    EXPECT_TRUE(a->B_annry.actif());
    // Twice without a new zone: refused.
    a->B_appry.cliquer();
    EXPECT_EQ(b.repondeur.messages().size(), 2u);
    // ANNULER takes it back; done again, then TERMINER.
    a->B_annry.cliquer();
    EXPECT_GT(pixelsRouges(a->L_photo.bitmap().pleine()), 3000);
    zone();
    a->B_appry.cliquer();
    a->B_finry.cliquer();
    EXPECT_FALSE(a->etat.modeyeuxrouges);
    EXPECT_TRUE(a->A_contraste.actif());
    EXPECT_TRUE(a->A_resize.actif());
    EXPECT_FALSE(a->B_appry.actif());
    QImage t = b.imageTravail();
    EXPECT_EQ(t.size(), tournee);
    EXPECT_LT(pixelsRouges(t), 20);
    // The intensity once: grey 128 moved by 255 x 0.3.
    const QPoint gris(t.width() / 2, t.height() * 3 / 4);
    EXPECT_NEAR(moyenne(t, QRect(gris, QSize(10, 10))).green(), 128 + 76.5, 4);

    // Half size, then another compression, then full size again: the turn, the red-eye
    // correction and the intensity are each in the picture once.
    BancAtelier::glisser(a->A_resize, a->A_resize.max() / 2);
    t = b.imageTravail();
    EXPECT_NEAR(t.width(), tournee.width() / 2.0, 1);
    EXPECT_LT(pixelsRouges(t), 10);
    BancAtelier::glisser(a->A_compression, 40);
    QImage u = b.imageTravail();
    EXPECT_EQ(u.size(), t.size());
    EXPECT_LT(pixelsRouges(u), 10);
    EXPECT_NEAR(moyenne(u, QRect(u.width() / 2, u.height() * 3 / 4, 6, 6)).green(), 128 + 76.5, 5);
    BancAtelier::glisser(a->A_resize, a->A_resize.max());
    u = b.imageTravail();
    EXPECT_EQ(u.size(), tournee);
    EXPECT_LT(pixelsRouges(u), 20);
    EXPECT_NEAR(moyenne(u, QRect(gris, QSize(10, 10))).green(), 128 + 76.5, 5);
    // The angle moves on from the corrected base: the correction follows the photo.
    a->A_angle.definirValeur(-45);
    EXPECT_LT(pixelsRouges(b.imageTravail()), 20);
}

}  // namespace
