// The adjustment chain shared by the editors, printing and the workbench, on a real picture.
#include "imaging/chainereglages.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// A picture of strong colours: red on the left half, blue on the right.
kal::image::Photo coloree(int l, int h)
{
    QImage img(l, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < l; ++x)
            img.setPixel(x, y, x < l / 2 ? qRgb(220, 30, 30) : qRgb(30, 30, 220));
    return kal::image::Photo(img);
}

TEST(ChaineReglages, SaturationDixFoisLaValeurDuCurseurPuisRotationCoinsBlancs)
{
    kal::ControleImage c;
    c.definirModeechelle(kal::modeechelle::Pixels);
    c.definirBitmap(coloree(40, 20));
    // The slider's -99 is -990 for the picture: all but grey.
    kal::appliquerChaine(c, {.saturation = -99}, {.photo = true, .cadre = std::nullopt, .angle = 90});
    const QImage g = c.bitmap().pleine();
    ASSERT_EQ(g.size(), QSize(20, 40));   // turned a quarter
    const QRgb p = g.pixel(10, 5);
    EXPECT_NEAR(qRed(p), qBlue(p), 12);
    EXPECT_NEAR(qGreen(p), qBlue(p), 12);

    // At 45 degrees the picture grows to the turned box and the uncovered corners are white.
    c.definirBitmap(coloree(40, 20));
    kal::appliquerChaine(c, {}, {.photo = false, .cadre = std::nullopt, .angle = 45});
    const QImage t = c.bitmap().pleine();
    EXPECT_GT(t.width(), 40);
    EXPECT_EQ(t.pixel(0, 0), qRgb(255, 255, 255));
    // Unadjusted, the colours stay as they were.
    const QRgb centre = t.pixel(t.width() / 2 - 3, t.height() / 2);
    EXPECT_GT(qRed(centre), 150);
}

TEST(ChaineReglages, CadreAvantLaRotation)
{
    kal::ControleImage c;
    c.definirModeechelle(kal::modeechelle::Pixels);
    c.placer(0, 0, 40 * 15, 20 * 15);   // the frame is given in the control's coordinates
    c.definirBitmap(coloree(40, 20));
    c.definirCouleurdessin(0);
    kal::appliquerChaine(c, {}, {.photo = true, .cadre = QRectF(0, 0, 40, 20), .angle = 0});
    const QImage img = c.bitmap().pleine();
    ASSERT_EQ(img.size(), QSize(40, 20));
    EXPECT_EQ(img.pixel(0, 10), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(20, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(10, 10), qRgb(220, 30, 30));
}

}  // namespace
