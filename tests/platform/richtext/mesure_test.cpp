// Measuring text in twips and drawing it at one pixel per twip: what is measured is what is
// drawn. Font names of the other system map to installed fonts of the same metrics.
#include "platform/richtext/mesuretexte.h"

#include <QFontMetricsF>
#include <QImage>
#include <gtest/gtest.h>

using namespace kal;

namespace {

Police police(const QString& nom, double taille, bool gras = false, bool italique = false)
{
    return Police{nom, taille, gras, italique, false, false};
}

// The smallest rectangle holding every pixel that differs from the background.
QRect encre(const QImage& img, QRgb fond)
{
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* ligne = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if ((ligne[x] & 0xFFFFFF) != (fond & 0xFFFFFF)) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

}  // namespace

TEST(PolicesDeSubstitution, NomsDeLAutreSystemeVersPolicesInstallees)
{
    EXPECT_EQ(familleInstallee("Arial"), "Liberation Sans");
    EXPECT_EQ(familleInstallee("MS Sans Serif"), "Liberation Sans");
    EXPECT_EQ(familleInstallee("Times New Roman"), "Liberation Serif");
    EXPECT_EQ(familleInstallee("Courier New"), "Liberation Mono");
    // Same metrics: a text measures the same under the two names.
    const QString t = "Le vif zéphyr jubile sur les kumquats";
    EXPECT_EQ(largeurDuTexte(t, police("Arial", 12)), largeurDuTexte(t, police("Liberation Sans", 12)));
    EXPECT_EQ(largeurDuTexte(t, police("MS Sans Serif", 24)), largeurDuTexte(t, police("Liberation Sans", 24)));
}

TEST(MesureTexte, LignesLargeurEtHauteurEnTwips)
{
    EXPECT_EQ(lignesDuTexte("").size(), 1);
    EXPECT_EQ(lignesDuTexte("A\r\nB").size(), 2);
    EXPECT_EQ(lignesDuTexte("A\r\n\r\nB\n").size(), 4);

    const Police p = police("Arial", 12);
    const double hauteurLigne = QFontMetricsF(police1440(p)).height();
    // Ascent + descent of Arial's metrics: 1.117 em, 12 points being 240 twips.
    EXPECT_NEAR(hauteurLigne, 268, 2);
    EXPECT_EQ(hauteurDuTexte("", p), qRound(hauteurLigne));
    EXPECT_EQ(largeurDuTexte("", p), 0);
    EXPECT_EQ(hauteurDuTexte("un\r\ndeux\r\ntrois", p), qRound(3 * hauteurLigne));
    // The width is the widest line's.
    EXPECT_EQ(largeurDuTexte("court\r\nla plus longue\r\nmoyenne", p), largeurDuTexte("la plus longue", p));
    // Twips scale with the size in points: no rounding to screen pixels.
    const int l12 = largeurDuTexte("Mesure", p);
    const int l24 = largeurDuTexte("Mesure", police("Arial", 24));
    EXPECT_NEAR(l24, 2 * l12, 2);
    EXPECT_GT(largeurDuTexte("Gras", police("Arial", 12, true)), largeurDuTexte("Gras", p));
    // A tab goes to the next half inch.
    EXPECT_EQ(largeurDuTexte("a\tb", p), 720 + largeurDuTexte("b", p));
}

TEST(DessinTexte, UnTexteMesureTientExactementDansSonRectangle)
{
    for (const Police& p : {police("Arial", 12), police("Times New Roman", 24, true), police("MS Sans Serif", 10.5),
                            police("Courier New", 18)}) {
        const QString texte = "Hjgpq Éclat\r\nSeconde ligne, plus longue\r\nfin";
        const int l = largeurDuTexte(texte, p);
        const int h = hauteurDuTexte(texte, p);
        // Drawn into a larger picture, no ink falls outside the measured rectangle ...
        QImage grand(l + 400, h + 400, QImage::Format_RGB32);
        grand.fill(Qt::white);
        dessinertexte(grand, texte, p, Qt::black, QRect(0, 0, grand.width(), grand.height()));
        const QRect r = encre(grand, qRgb(255, 255, 255));
        ASSERT_TRUE(r.isValid());
        EXPECT_GE(r.left(), 0);
        EXPECT_LT(r.right(), l) << p.nom.toStdString();
        EXPECT_LT(r.bottom(), h) << p.nom.toStdString();
        // ... and the text fills it: the widest line ends within a side bearing of the right
        // edge, the descenders of the last line reach into its last line.
        EXPECT_GT(r.right(), l - p.taille * 20 * 0.15) << p.nom.toStdString();
        EXPECT_GT(r.bottom(), h - QFontMetricsF(police1440(p)).height() / 2);
        EXPECT_LT(r.top(), QFontMetricsF(police1440(p)).height() / 2);

        // Drawn into a picture of exactly the measured size, the same pixels.
        QImage juste(l, h, QImage::Format_RGB32);
        juste.fill(Qt::white);
        dessinertexte(juste, texte, p, Qt::black, QRect(0, 0, l, h));
        EXPECT_EQ(juste, grand.copy(0, 0, l, h));
    }
}

TEST(DessinTexte, FondCouleurEtRectangle)
{
    const Police p = police("Arial", 20, false, false);
    const QString texte = "Couleur";
    const int l = largeurDuTexte(texte, p);
    const int h = hauteurDuTexte(texte, p);
    QImage img(l, h, QImage::Format_RGB888);
    img.fill(Qt::gray);
    dessinertexte(img, texte, p, QColor(0, 0, 255), QRect(0, 0, l, h), QColor(255, 255, 0));
    // The background fills the picture, the text is in its colour.
    EXPECT_EQ(img.pixelColor(0, 0), QColor(255, 255, 0));
    EXPECT_EQ(img.pixelColor(l - 1, h - 1), QColor(255, 255, 0));
    bool bleu = false;
    for (int y = 0; y < h && !bleu; ++y)
        for (int x = 0; x < l && !bleu; ++x)
            bleu = img.pixelColor(x, y) == QColor(0, 0, 255);
    EXPECT_TRUE(bleu);

    // Without a background the picture keeps its own; outside the rectangle nothing is drawn.
    QImage cadre(l + 100, h + 100, QImage::Format_RGB32);
    cadre.fill(Qt::white);
    dessinertexte(cadre, texte, p, Qt::black, QRect(50, 50, l / 2, h));
    const QRect r = encre(cadre, qRgb(255, 255, 255));
    EXPECT_GE(r.left(), 50);
    EXPECT_GE(r.top(), 50);
    EXPECT_LT(r.right(), 50 + l / 2);

    // A null picture or an empty text: nothing happens.
    QImage nul;
    dessinertexte(nul, texte, p, Qt::black, QRect(0, 0, 10, 10));
    EXPECT_TRUE(nul.isNull());
}
