// The scanner against SANE's own test device: a real library, a real device driver, real
// pictures. Each test writes its SANE configuration in a temporary folder and brings the
// library up afresh, so the device's settings are those of the test.
#include "support/erreurs.h"
#include "support/configsane.h"
#include "platform/base/erreur.h"
#include "platform/scanner/choixsource.h"
#include "platform/scanner/operationsscan.h"
#include "platform/scanner/scanner.h"

#include <QApplication>
#include <QListWidget>
#include <QMap>
#include <QSet>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace kal;
using kaltest::ConfigSane;

using kaltest::numeroErreur;

namespace {

// The steps a window takes to scan, in its order.
int scanCommeLesFenetres(OperationsScan& op, QWidget* fenetre, QImage& image)
{
    op.definirScanactif(true);
    op.definirScanoptiondeux(true);
    op.definirScanoptionun(true);
    op.choisirsource(fenetre);
    op.definirScanmode(7);
    op.definirScanactif(false);
    return op.acquerir(fenetre, image);
}

int couleursDistinctes(const QImage& img)
{
    QSet<QRgb> c;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            c.insert(img.pixel(x, y));
    return int(c.size());
}

bool gris(const QImage& img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p))
                return false;
        }
    return true;
}

QImage acquerirAvec(const QMap<QString, QString>& reglages, int mode = 0)
{
    ConfigSane conf(reglages);
    Scanner s;
    ReglagesScan r;
    r.mode = mode;
    return s.acquerir(r);
}

const QMap<QString, QString> motif{{"test-picture", "\"Color pattern\""}};

}  // namespace

TEST(Scanner, ScanPhotoEnCouleurDepuisLaSourceChoisie)
{
    ConfigSane conf(motif);
    Scanner s;
    OperationsScan op(s);
    RepondeurSourceEnregistreur personne;
    personne.prevoir(1);
    QWidget fenetre;
    QWidget* vu = nullptr;
    op.apresacquisition = [&](QWidget* f) { vu = f; };
    QImage image;

    ASSERT_EQ(scanCommeLesFenetres(op, &fenetre, image), 0);

    ASSERT_EQ(personne.demandes().size(), 1u);
    EXPECT_EQ(personne.demandes()[0].libelles.size(), 2);
    EXPECT_EQ(personne.demandes()[0].actuel, 0);
    EXPECT_EQ(personne.demandes()[0].fenetre, &fenetre);
    EXPECT_EQ(s.source(), QStringLiteral("test:1"));
    // Mode 7: colour, 300 dpi, the whole 200 mm area of the test device.
    EXPECT_EQ(image.format(), QImage::Format_RGB888);
    EXPECT_EQ(image.size(), QSize(2362, 2362));
    EXPECT_GT(couleursDistinctes(image), 8);
    EXPECT_FALSE(gris(image));

    op.suiteacquisition(&fenetre);
    EXPECT_EQ(vu, &fenetre);

    // The next choice offers the source chosen last.
    personne.prevoir(0);
    op.choisirsource(&fenetre);
    EXPECT_EQ(personne.demandes()[1].actuel, 1);
    EXPECT_EQ(s.source(), QStringLiteral("test:0"));
    EXPECT_EQ(s.recherches(), 1);
}

TEST(Scanner, LeChoixEstDemandeMemeAvecUnSeulAppareil)
{
    ConfigSane conf({{"number_of_devices", "1"}});
    Scanner s;
    RepondeurSourceEnregistreur personne;
    personne.prevoir(0);
    s.choisirSource(nullptr);
    ASSERT_EQ(personne.demandes().size(), 1u);
    EXPECT_EQ(personne.demandes()[0].libelles, QStringList{QStringLiteral("Noname frontend-tester (test:0)")});
    EXPECT_EQ(s.source(), QStringLiteral("test:0"));
}

TEST(Scanner, ChoixAnnuleDonne20002EtNeChangeRien)
{
    ConfigSane conf;
    Scanner s;
    RepondeurSourceEnregistreur personne;
    EXPECT_EQ(numeroErreur([&] { s.choisirSource(nullptr); }), scan::AcquisitionEchouee);
    EXPECT_TRUE(s.source().isEmpty());

    personne.prevoir(1);
    s.choisirSource(nullptr);
    personne.prevoir(std::nullopt);
    EXPECT_EQ(numeroErreur([&] { s.choisirSource(nullptr); }), scan::AcquisitionEchouee);
    personne.prevoir(7);   // not in the list: taken as cancelled
    EXPECT_EQ(numeroErreur([&] { s.choisirSource(nullptr); }), scan::AcquisitionEchouee);
    EXPECT_EQ(s.source(), QStringLiteral("test:1"));
}

TEST(Scanner, SansAppareil20090SansRienMontrerEtUneSeuleRecherche)
{
    ConfigSane conf({}, false);
    Scanner s;
    OperationsScan op(s);
    RepondeurSourceEnregistreur personne;
    QImage image(4, 4, QImage::Format_RGB888);
    image.fill(Qt::red);

    EXPECT_EQ(numeroErreur([&] { scanCommeLesFenetres(op, nullptr, image); }), scan::SourceIndisponible);
    EXPECT_TRUE(personne.demandes().empty());
    // Without a chosen source, the acquisition raises the same or, errors off, returns it.
    EXPECT_EQ(numeroErreur([&] { op.acquerir(nullptr, image); }), scan::SourceIndisponible);
    op.definirScanoptionun(false);
    EXPECT_EQ(op.acquerir(nullptr, image), scan::SourceIndisponible);
    EXPECT_EQ(image.size(), QSize(4, 4));
    EXPECT_EQ(image.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_EQ(s.recherches(), 1);
}

TEST(Scanner, ChaqueBitDuModeDeScan)
{
    // No source chosen: the first device, with its own settings (grey, 50 dpi, 80 x 100 mm).
    const QImage propre = acquerirAvec(motif);
    EXPECT_EQ(propre.size(), QSize(157, 196));
    EXPECT_TRUE(gris(propre));
    EXPECT_GT(couleursDistinctes(propre), 2);
    const QImage couleur = acquerirAvec(motif, scan::mode::Couleur);
    EXPECT_EQ(couleur.size(), QSize(157, 196));
    EXPECT_FALSE(gris(couleur));
    EXPECT_EQ(acquerirAvec(motif, scan::mode::ResolutionPhoto).size(), QSize(944, 1181));
    EXPECT_EQ(acquerirAvec(motif, scan::mode::SurfaceEntiere).size(), QSize(393, 393));
    // A device that cannot reach 300 dpi scans at the nearest it offers.
    QMap<QString, QString> limite = motif;
    limite.insert("resolution_max", "200.0");
    EXPECT_EQ(acquerirAvec(limite, scan::mode::ResolutionPhoto).size(), QSize(629, 787));
}

TEST(Scanner, LesFormesDeDonneesDonnentLaMemeImage)
{
    // A black and white grid reads the same whatever the device sends.
    const QMap<QString, QString> grille{{"test-picture", "Grid"}, {"resolution", "100.0"}};
    const QImage reference = acquerirAvec(grille);
    ASSERT_FALSE(reference.isNull());
    EXPECT_GT(couleursDistinctes(reference), 1);
    const QList<QMap<QString, QString>> variantes{
        {{"depth", "16"}},
        {{"depth", "1"}},
        {{"hand-scanner", "true"}},
        {{"ppl-loss", "7"}},
        {{"read-limit", "true"}, {"read-limit-size", "1001"}},
        {{"mode", "Color"}},
        {{"mode", "Color"}, {"three-pass", "true"}, {"three-pass-order", "GBR"}},
    };
    for (const auto& v : variantes) {
        QMap<QString, QString> r = grille;
        r.insert(v);
        const QImage img = acquerirAvec(r);
        SCOPED_TRACE(QStringList(v.keys()).join(' ').toStdString() + " " + QStringList(v.values()).join(' ').toStdString());
        if (v.contains("hand-scanner")) {
            // A hand-held scanner has its own width and an unknown height; its lines still come whole.
            EXPECT_GT(img.height(), 0);
            EXPECT_TRUE(gris(img));
            continue;
        }
        if (v.contains("ppl-loss")) {
            // The device wastes the last 7 pixels of each line: the picture is that much narrower.
            EXPECT_EQ(img, reference.copy(0, 0, reference.width() - 7, reference.height()));
            continue;
        }
        EXPECT_EQ(img, reference);
    }
}

TEST(Scanner, LesCouleursNeDependentPasDeLaFormeDeDonnees)
{
    const QMap<QString, QString> couleur{{"test-picture", "\"Color pattern\""}, {"mode", "Color"}};
    const QImage reference = acquerirAvec(couleur);
    EXPECT_FALSE(gris(reference));
    for (const char* ordre : {"RGB", "BRG"}) {
        QMap<QString, QString> r = couleur;
        r.insert("three-pass", "true");
        r.insert("three-pass-order", ordre);
        EXPECT_EQ(acquerirAvec(r), reference) << ordre;
    }
    QMap<QString, QString> seize = couleur;
    seize.insert("depth", "16");
    // The device's own 16-bit pattern differs from its 8-bit one; it still comes whole, in colour.
    const QImage s = acquerirAvec(seize);
    EXPECT_EQ(s.size(), reference.size());
    EXPECT_FALSE(gris(s));
    // Photo mode asks for 8 bits a sample of a 16-bit device: the same picture again.
    EXPECT_EQ(acquerirAvec(seize, scan::mode::Couleur), reference);
}

TEST(Scanner, UneLectureQuiEchoueDonne20002EtLaisseLImage)
{
    for (const char* code : {"SANE_STATUS_JAMMED", "SANE_STATUS_NO_DOCS", "SANE_STATUS_CANCELLED",
                             "SANE_STATUS_IO_ERROR", "SANE_STATUS_DEVICE_BUSY"}) {
        ConfigSane conf({{"read-status-code", QString::fromLatin1(code)}});
        Scanner s;
        OperationsScan op(s);
        QImage image;
        op.definirScanoptionun(true);
        EXPECT_EQ(numeroErreur([&] { op.acquerir(nullptr, image); }), scan::AcquisitionEchouee) << code;
        op.definirScanoptionun(false);
        EXPECT_EQ(op.acquerir(nullptr, image), scan::AcquisitionEchouee) << code;
        EXPECT_TRUE(image.isNull());
    }
}

TEST(Scanner, LeVraiDialogueDeChoix)
{
    const std::vector<AppareilScan> appareils{{"test:0", "Marque", "Modèle A", "flatbed scanner"},
                                              {"net:x:test:1", "", "", ""}};
    {
        DialogueSource d(appareils, 1);
        ASSERT_EQ(d.liste()->count(), 2);
        EXPECT_EQ(d.liste()->item(0)->text(), QStringLiteral("Marque Modèle A (test:0)"));
        EXPECT_EQ(d.liste()->item(1)->text(), QStringLiteral("net:x:test:1"));
        EXPECT_EQ(d.choix(), 1);
    }
    // The person picks the first line and confirms; then the person closes the dialog.
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<DialogueSource*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->liste()->setCurrentRow(0);
        d->accept();
    });
    EXPECT_EQ(demanderSource(appareils, 1, nullptr), std::optional<int>(0));
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<DialogueSource*>(QApplication::activeModalWidget()))
            d->reject();
    });
    EXPECT_EQ(demanderSource(appareils, 0, nullptr), std::nullopt);
}
