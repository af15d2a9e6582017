// Real jobs through the machine's CUPS PDF printer, rasterised with pdftoppm and measured in
// millimetres on the sheet: a page object lands where its position and format say, after the
// printer was calibrated with AJUST; the jacket's outlines and dotted fold lines land where the
// jacket's geometry puts them.
#include "banc_impression.h"
#include "support/banc_editeur.h"

#include "imaging/fichierstravail.h"
#include "platform/base/conversions.h"
#include "platform/base/fenetres.h"
#include "printing/ajustement.h"
#include "printing/impression.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <memory>

using kal::TypeEditeur;

namespace {

constexpr double TwipsParMmExact = 1440.0 / 25.4;
double mmDe(double twips) { return twips / TwipsParMmExact; }
int pixelDe(double twips) { return static_cast<int>(std::lround(mmDe(twips) / kaltest::MmParPixel)); }

class Papier : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!kaltest::imprimantePdfParDefaut())
            KAL_SERVICE_ABSENT("pas d'imprimante PDF par défaut (scripts/services la crée)");
        reel = std::make_unique<kal::Imprimante>();
        reel->definirFormatimprimante(kal::imp::A4);
        reel->definirOrientationimprimante(kal::imp::Portrait);
        for (TypeEditeur t : {TypeEditeur::Page, TypeEditeur::Jaquette})
            kal::Fenetres::enregistrer(kal::Editeur::nomFenetre(t),
                                       [this, t] { return new kal::Editeur(banc.partage, t, reel.get()); });
        kal::Fenetres::enregistrer(kal::Ajustement::nomFenetre(),
                                   [this] { return new kal::Ajustement(banc.partage, reel.get()); });
    }

    // The page printed through CUPS, rasterised (null when it does not come out).
    QImage travail(const std::function<void()>& imprimer)
    {
        const QString titre = kaltest::titreUnique();
        reel->definirNomDocument(titre);
        imprimer();
        const QString pdf = kaltest::attendreTravailCups(titre);
        if (pdf.isEmpty())
            return {};
        const QImage page = kaltest::rasteriser(pdf);
        QFile::remove(pdf);
        return page;
    }

    kaltest::BancEditeur banc;
    std::unique_ptr<kal::Imprimante> reel;
};

TEST_F(Papier, UnObjetDeLaPageOuSaLegendeLeDit)
{
    // Calibration first, as a user does: square, measure, CORRIGER.
    auto* a = static_cast<kal::Ajustement*>(kal::Fenetres::instance(kal::Ajustement::nomFenetre()));
    ASSERT_NE(a, nullptr);
    const QImage carre = travail([&] { a->B_imprim_Click(); });
    if (carre.isNull())
        KAL_SERVICE_ABSENT("le travail n'est pas ressorti de CUPS, ou pdftoppm manque");
    const QRectF c = kaltest::encreMm(carre);
    a->T_mesureH.definirTexte(QString::number(c.left(), 'f', 1));
    a->T_mesureV.definirTexte(QString::number(c.top(), 'f', 1));
    a->B_correct_Click();
    a->B_finajust_Click();

    // A real photo placed as the open panel places it, moved and sized with the sliders; its
    // captions then say where it is and how large, in millimetres.
    kal::Editeur* ed = banc.ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    ASSERT_TRUE(kaltest::BancEditeur::placer(ed, banc.jpeg(QStringLiteral("photo.jpg"), 1200, 800)));
    kal::ControlesEditeur& k = ed->c;
    k.A_format.definirValeur(4536);
    k.A_margeH.definirValeur(2835);
    k.A_margeV.definirValeur(3402);
    const auto nombres = [](const kal::Etiquette& e) {
        QString t = static_cast<QLabel*>(e.widget())->text();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        std::vector<double> v;
        const QRegularExpression nombre(QStringLiteral("[0-9]+(\\.[0-9]+)?"));
        for (auto it = nombre.globalMatch(t); it.hasNext();)
            v.push_back(it.next().captured(0).toDouble());
        return v;
    };
    const std::vector<double> gauche = nombres(k.E_margeH), haut = nombres(k.E_margeV), format = nombres(k.E_format);
    ASSERT_EQ(gauche.size(), 1u);
    ASSERT_EQ(haut.size(), 1u);
    ASSERT_EQ(format.size(), 2u);
    EXPECT_TRUE(static_cast<QLabel*>(k.E_margeH.widget())->text().startsWith(QStringLiteral("Gauche:")));
    EXPECT_TRUE(static_cast<QLabel*>(k.E_format.widget())->text().startsWith(QStringLiteral("Format")));

    const QImage page = travail([&] {
        banc.repondeur.prevoir(kal::msg::RepOui);
        ed->x.impression().imprimer();
    });
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(page.width() * kaltest::MmParPixel, 210, 0.2);
    const QRectF r = kaltest::encreMm(page, {}, 235);
    EXPECT_NEAR(r.left(), gauche[0], 0.3);
    EXPECT_NEAR(r.top(), haut[0], 0.3);
    EXPECT_NEAR(r.width(), format[0], 0.3);
    EXPECT_NEAR(r.height(), format[1], 0.3);
    std::printf("objet sur papier: %.2f, %.2f mm, %.2f x %.2f mm; ses légendes: %.1f, %.1f mm, %.1f x %.1f mm\n", r.left(),
                r.top(), r.width(), r.height(), gauche[0], haut[0], format[0], format[1]);
}

TEST_F(Papier, LesMarquesDeLaJaquette)
{
    kal::Editeur* ed = banc.ouvrir(TypeEditeur::Jaquette);
    ASSERT_NE(ed, nullptr);
    kal::ControlesEditeur& c = ed->c;
    c.O_imprim.definirValeur(true);
    ASSERT_TRUE(c.O_tout.valeur());
    // An object on each face, clear of the folds.
    const kaltest::ObjetEssai avant{.n = 2, .leftimp = 3000, .topimp = 1000, .widthimp = 2000, .heightimp = 1500};
    const kaltest::ObjetEssai arriere{.n = 18, .leftimp = 3000, .topimp = 1000, .widthimp = 2000, .heightimp = 1500};
    for (const auto& o : {avant, arriere}) {
        kaltest::ecrireImage(kal::fichierSauv(o.n), 400, 300, 0x000000);
        kaltest::poserObjet(ed->x, o);
    }
    ed->x.etat.nbobjets = 1;
    ed->x.etat.objetcourant = kal::AucunObjet;
    const QImage page = travail([&] { ed->x.impression().impression(); });
    if (page.isNull())
        KAL_SERVICE_ABSENT("le travail n'est pas ressorti de CUPS, ou pdftoppm manque");
    ASSERT_EQ(ed->x.etat.margejaqH.valeur(), 0);   // the PDF printer prints to the edges

    // Outlines: the front's in the upper half of the sheet, the back's in the lower half.
    const int milieu = pixelDe(8794) - 20;
    const QRectF haut = kaltest::encreMm(page, QRect(0, 0, page.width(), milieu));
    const QRectF bas = kaltest::encreMm(page, QRect(0, milieu, page.width(), page.height() - milieu));
    EXPECT_NEAR(haut.left(), mmDe(1655), 0.3);
    EXPECT_NEAR(haut.top(), mmDe(1389), 0.3);
    EXPECT_NEAR(haut.width(), mmDe(8550), 0.3);
    EXPECT_NEAR(haut.height(), mmDe(6832), 0.3);
    EXPECT_NEAR(bas.left(), mmDe(1655), 0.3);
    EXPECT_NEAR(bas.top(), mmDe(8794), 0.3);
    EXPECT_NEAR(bas.width(), mmDe(8550), 0.3);
    EXPECT_NEAR(bas.height(), mmDe(6691), 0.3);

    // Folds: dotted across each face's height at 1712 twips into the front, 399 and 8165 into
    // the back; the outline's side is solid.
    const auto couverture = [&](double xTwips, double hautTwips, double longueur) {
        int meilleur = 0;
        for (int dx = -3; dx <= 3; ++dx)
            meilleur = std::max(meilleur, kaltest::sombresColonne(page, pixelDe(xTwips) + dx, pixelDe(hautTwips) + 10,
                                                                  pixelDe(hautTwips + longueur) - 10));
        return double(meilleur) / (pixelDe(hautTwips + longueur) - pixelDe(hautTwips) - 20);
    };
    for (const auto& [x, y, l] : {std::tuple{1655.0 + 1712, 1389.0, 6832.0}, std::tuple{1655.0 + 399, 8794.0, 6691.0},
                                  std::tuple{1655.0 + 8165, 8794.0, 6691.0}}) {
        const double part = couverture(x, y, l);
        EXPECT_GT(part, 0.3) << mmDe(x) << " mm";
        EXPECT_LT(part, 0.8) << mmDe(x) << " mm";
        std::printf("pli à %.2f mm: encré sur %.0f %% de sa longueur\n", mmDe(x), part * 100);
    }
    EXPECT_GT(couverture(1655, 1389, 6832), 0.97);
    // Between the folds nothing else is drawn but the objects.
    EXPECT_LT(couverture(1655 + 1000, 1389, 6832), 0.02);

    // The front object at its place from the face's corner.
    const QRectF objet = kaltest::encreMm(page, QRect(pixelDe(1655 + 2500), pixelDe(1389 + 500), pixelDe(3000),
                                                      pixelDe(2500)));
    EXPECT_NEAR(objet.left(), mmDe(1655 + 3000), 0.3);
    EXPECT_NEAR(objet.top(), mmDe(1389 + 1000), 0.3);
    EXPECT_NEAR(objet.width(), mmDe(2000), 0.3);
}

}  // namespace
