// The printer: sizes and paper codes of the fixed-size printer, its recording of the drawing
// calls, real PDF jobs measured after rasterising with pdftoppm, the CUPS default printer when
// one runs, and the state without any printer.
#include "support/services.h"
#include "support/erreurs.h"
#include "platform/base/erreur.h"
#include "platform/imaging/controleimage.h"
#include "platform/printer/imprimante.h"
#include "support/dossiertemp.h"
#include "support/sansimprimante.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace kal;

using kaltest::numeroErreur;

namespace {

constexpr double TwipsParMmExact = 1440.0 / 25.4;


// The page of a PDF as a grey image at 300 dpi (null when pdftoppm is missing or fails).
QImage rasteriser(const QString& pdf)
{
    QTemporaryDir dossier;
    const QString base = dossier.filePath(QStringLiteral("page"));
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"),
                                         QStringLiteral("-singlefile"), pdf, base});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QImage(base + QStringLiteral(".pgm"));
}

// Bounding box of the dark pixels, in millimetres from the sheet's corner.
QRectF encreMm(const QImage& img)
{
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y) {
        const uchar* l = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x)
            if (l[x] < 128) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    }
    if (x1 < 0)
        return {};
    const double mm = 25.4 / 300.0;
    return QRectF(x0 * mm, y0 * mm, (x1 + 1 - x0) * mm, (y1 + 1 - y0) * mm);
}

int pixelsSombres(const QImage& img, int y)
{
    int n = 0;
    const uchar* l = img.constScanLine(y);
    for (int x = 0; x < img.width(); ++x)
        n += l[x] < 160 ? 1 : 0;
    return n;
}

}  // namespace

TEST(ImprimanteEssai, TaillesEnTwipsDepuisLesMargesMaterielles)
{
    // A4 with unequal margins, given on the portrait sheet.
    ImprimanteEssai imp(QPageSize(QPageSize::A4), QMarginsF(300, 200, 301, 250));
    EXPECT_TRUE(imp.presente());
    EXPECT_TRUE(imp.messageAbsence().isEmpty());
    EXPECT_EQ(imp.formatimprimante(), imp::A4);
    EXPECT_EQ(imp.orientationimprimante(), imp::Portrait);
    EXPECT_EQ(imp.largeurfeuille().valeur(), 11906);
    EXPECT_EQ(imp.hauteurfeuille().valeur(), 16838);
    EXPECT_DOUBLE_EQ(imp.largeurimprimable().valeur(), 11906 - 601);
    EXPECT_DOUBLE_EQ(imp.hauteurimprimable().valeur(), 16838 - 450);

    // Landscape: the width is the long side and the margins turn with the sheet, so the
    // unprintable total across the height is the portrait one across the width.
    imp.definirOrientationimprimante(imp::Paysage);
    EXPECT_EQ(imp.orientationimprimante(), imp::Paysage);
    EXPECT_EQ(imp.largeurfeuille().valeur(), 16838);
    EXPECT_EQ(imp.hauteurfeuille().valeur(), 11906);
    EXPECT_DOUBLE_EQ(imp.hauteurimprimable().valeur(), 11906 - 601);
    EXPECT_DOUBLE_EQ(imp.largeurimprimable().valeur(), 16838 - 450);
    EXPECT_EQ(imp.margesMaterielles(), QMarginsF(250, 300, 200, 301));
    EXPECT_EQ(numeroErreur([&] { imp.definirOrientationimprimante(0); }), imp::ValeurInvalide);
    EXPECT_EQ(imp.orientationimprimante(), imp::Paysage);
}

TEST(ImprimanteEssai, CodesDePapier)
{
    ImprimanteEssai imp;
    struct Cas {
        int code, largeur, hauteur;
    };
    for (const Cas c : {Cas{imp::Letter, 12240, 15840}, Cas{imp::Legal, 12240, 20160}, Cas{imp::A3, 16838, 23811},
                        Cas{imp::A5, 8391, 11906}, Cas{imp::A4, 11906, 16838}}) {
        imp.definirFormatimprimante(c.code);
        EXPECT_EQ(imp.formatimprimante(), c.code);
        EXPECT_EQ(imp.largeurfeuille().valeur(), c.largeur) << c.code;
        EXPECT_EQ(imp.hauteurfeuille().valeur(), c.hauteur) << c.code;
    }
    for (int faux : {0, -1, imp::Personnalise, 9999})
        EXPECT_EQ(numeroErreur([&] { imp.definirFormatimprimante(faux); }), imp::ValeurInvalide) << faux;
    EXPECT_EQ(imp.formatimprimante(), imp::A4);   // a refused code changes nothing

    // A sheet without a paper code, as a test printer may have it.
    ImprimanteEssai autre(QPageSize(QSizeF(100, 150), QPageSize::Millimeter));
    EXPECT_EQ(autre.formatimprimante(), imp::Personnalise);
    EXPECT_EQ(autre.largeurfeuille().valeur(), qRound(100 * TwipsParMmExact));
}

TEST(ImprimanteEssai, EnregistreLesTracesEnTwips)
{
    ImprimanteEssai imp(QPageSize(QPageSize::A4), QMarginsF(300, 300, 300, 300));
    EXPECT_EQ(numeroErreur([&] { imp.hdcimprimante(); }), imp::ErreurImprimante);
    imp.debutdocument();
    ASSERT_TRUE(imp.documentOuvert());
    ASSERT_NE(imp.hdcimprimante(), nullptr);
    imp.definirStyletrait(imp::TraitPointille);
    imp.tracerligne(3067, 1089, 3067, 1089 + 6832, 0);
    imp.definirStyletrait(imp::TraitPlein);
    imp.tracerboite(1355, 1089, 8550, 6832, 0);
    imp.dessinerimage(QImage(600, 400, QImage::Format_RGB32), QRectF(1134, 1643, 3000, 2000));
    imp.tracerboite(1134, 1643, 3000, 2000);
    imp.findocument();
    EXPECT_FALSE(imp.documentOuvert());
    imp.findocument();   // nothing open: nothing happens

    const auto& t = imp.traces();
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].genre, Trace::Genre::Debut);
    EXPECT_EQ(t[1].genre, Trace::Genre::Ligne);
    EXPECT_EQ(t[1].ligne, QLineF(3067, 1089, 3067, 7921));
    EXPECT_EQ(t[1].style, imp::TraitPointille);
    EXPECT_EQ(t[1].couleur, std::optional<int>(0));
    EXPECT_EQ(t[2].genre, Trace::Genre::Boite);
    EXPECT_EQ(t[2].rect, QRectF(1355, 1089, 8550, 6832));
    EXPECT_EQ(t[2].style, imp::TraitPlein);
    EXPECT_EQ(t[3].genre, Trace::Genre::Image);
    EXPECT_EQ(t[3].rect, QRectF(1134, 1643, 3000, 2000));
    EXPECT_EQ(t[3].taillePixels, QSize(600, 400));
    EXPECT_FALSE(t[4].couleur.has_value());
    EXPECT_EQ(t[5].genre, Trace::Genre::Fin);
    EXPECT_EQ(numeroErreur([&] { imp.definirStyletrait(7); }), imp::ValeurInvalide);
}

TEST(ImprimanteEssai, UnTraitHorsDocumentOuvreLeDocument)
{
    ImprimanteEssai imp;
    imp.tracerligne(0, 0, 100, 100);
    EXPECT_TRUE(imp.documentOuvert());
    imp.findocument();
    ASSERT_EQ(imp.traces().size(), 3u);
    EXPECT_EQ(imp.traces().front().genre, Trace::Genre::Debut);
}

// A picture held by an imaging control is painted at full resolution and recorded with its
// rectangle and its size in pixels.
TEST(ImprimanteEssai, ImageDUnControle)
{
    ControleImage c;
    c.definirModeechelle(modeechelle::Pixels);
    c.creerbitmap(600, 400, 24);
    ImprimanteEssai imp;
    imp.dessinerimage(c, QRectF(1134, 1643.5, 3000, 2000));
    imp.findocument();
    ASSERT_EQ(imp.traces().size(), 3u);
    EXPECT_EQ(imp.traces()[1].genre, Trace::Genre::Image);
    EXPECT_EQ(imp.traces()[1].rect, QRectF(1134, 1643.5, 3000, 2000));
    EXPECT_EQ(imp.traces()[1].taillePixels, QSize(600, 400));
}

// A discarded job leaves nothing: no PDF file, no open document; the next job is whole.
TEST(ImprimanteEssai, TravailAbandonne)
{
    kaltest::DossierTravail d;
    ImprimanteEssai imp;
    const QString pdf = d.fichier(QStringLiteral("abandon.pdf"));
    imp.sortiePdf(pdf);
    imp.abandonnerdocument();   // nothing open: nothing happens
    EXPECT_TRUE(imp.traces().empty());
    imp.tracerboite(100, 100, 1000, 1000);
    imp.abandonnerdocument();
    EXPECT_FALSE(imp.documentOuvert());
    EXPECT_FALSE(QFileInfo::exists(pdf));
    ASSERT_EQ(imp.traces().size(), 3u);
    EXPECT_EQ(imp.traces().back().genre, Trace::Genre::Abandon);
    imp.tracerboite(100, 100, 1000, 1000);
    imp.findocument();
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(imp.traces()[3].genre, Trace::Genre::Debut);
}

// The printed square of the calibration: 20 mm from the sheet's edges whatever the hardware
// margin, since drawing starts at the printable area's corner.
TEST(ImpressionPdf, PositionsAuMillimetreSurLaFeuille)
{
    kaltest::DossierTravail d;
    const double marge = 10 * TwipsParMmExact;   // 10 mm standing in for the hardware margin
    ImprimanteEssai imp(QPageSize(QPageSize::A4), QMarginsF(marge, marge, marge, marge));
    const QString pdf = d.fichier(QStringLiteral("carre.pdf"));
    imp.sortiePdf(pdf);
    imp.debutdocument();
    const double m = std::round(marge);
    imp.tracerboite(1134 - m, 1134 - m, 1134, 1134, 0);
    imp.findocument();
    ASSERT_TRUE(QFileInfo(pdf).size() > 0);
    const QImage ras = rasteriser(pdf);
    if (ras.isNull())
        KAL_SERVICE_ABSENT("pdftoppm absent");
    EXPECT_NEAR(ras.width() * 25.4 / 300, 210.0, 0.2);
    const QRectF r = encreMm(ras);
    EXPECT_NEAR(r.left(), 20.0, 0.2);
    EXPECT_NEAR(r.top(), 20.0, 0.2);
    EXPECT_NEAR(r.width(), 20.0, 0.2);
    EXPECT_NEAR(r.height(), 20.0, 0.2);
}

TEST(ImpressionPdf, MargesTourneesEnPaysage)
{
    kaltest::DossierTravail d;
    ImprimanteEssai imp(QPageSize(QPageSize::A4), QMarginsF(300, 400, 500, 600), imp::Paysage);
    const QMarginsF m = imp.margesMaterielles();
    ASSERT_EQ(m, QMarginsF(600, 300, 400, 500));
    const QString pdf = d.fichier(QStringLiteral("paysage.pdf"));
    imp.sortiePdf(pdf);
    imp.tracerboite(1134 - m.left(), 1134 - m.top(), 1134, 1134, 0);
    imp.findocument();
    const QImage ras = rasteriser(pdf);
    if (ras.isNull())
        KAL_SERVICE_ABSENT("pdftoppm absent");
    EXPECT_NEAR(ras.width() * 25.4 / 300, 297.0, 0.2);
    const QRectF r = encreMm(ras);
    EXPECT_NEAR(r.left(), 20.0, 0.2);
    EXPECT_NEAR(r.top(), 20.0, 0.2);
    EXPECT_NEAR(r.width(), 20.0, 0.2);
}

TEST(ImpressionPdf, ImageEtPointilles)
{
    kaltest::DossierTravail d;
    ImprimanteEssai imp(QPageSize(QPageSize::A4), {}, imp::Paysage);
    const QString pdf = d.fichier(QStringLiteral("image.pdf"));
    imp.sortiePdf(pdf);
    QImage noire(60, 40, QImage::Format_RGB32);
    noire.fill(Qt::black);
    imp.dessinerimage(noire, QRectF(30 * TwipsParMmExact, 40 * TwipsParMmExact, 60 * TwipsParMmExact, 40 * TwipsParMmExact));
    imp.definirStyletrait(imp::TraitPointille);
    imp.tracerligne(10 * TwipsParMmExact, 150 * TwipsParMmExact, 200 * TwipsParMmExact, 150 * TwipsParMmExact);
    imp.definirStyletrait(imp::TraitPlein);
    imp.tracerligne(10 * TwipsParMmExact, 170 * TwipsParMmExact, 200 * TwipsParMmExact, 170 * TwipsParMmExact);
    imp.findocument();
    const QImage ras = rasteriser(pdf);
    if (ras.isNull())
        KAL_SERVICE_ABSENT("pdftoppm absent");
    EXPECT_NEAR(ras.width() * 25.4 / 300, 297.0, 0.2);   // landscape sheet
    const int px = 300 / 25.4 * 60;                        // middle of the picture
    const uchar* l = ras.constScanLine(px);
    EXPECT_LT(l[int(300 / 25.4 * 60)], 64);
    EXPECT_GT(l[int(300 / 25.4 * 20)], 192);
    // The dotted line leaves gaps that the solid one does not.
    int pointille = 0, plein = 0;
    for (int dy = -2; dy <= 2; ++dy) {
        pointille = std::max(pointille, pixelsSombres(ras, int(300 / 25.4 * 150) + dy));
        plein = std::max(plein, pixelsSombres(ras, int(300 / 25.4 * 170) + dy));
    }
    EXPECT_GT(plein, int(300 / 25.4 * 185));
    EXPECT_GT(pointille, 0);
    EXPECT_LT(pointille, plein * 3 / 4);
}

TEST(ImprimanteSysteme, ImprimanteParDefautDeCups)
{
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        KAL_SERVICE_ABSENT("aucune imprimante (cupsd n'est pas lancé)");
    Imprimante imp;
    ASSERT_TRUE(imp.presente());
    EXPECT_FALSE(imp.nomimprimante().isEmpty());
    EXPECT_GT(imp.largeurfeuille().valeur(), 0);
    EXPECT_GT(imp.largeurimprimable().valeur(), 0);
    EXPECT_LE(imp.largeurimprimable().valeur(), imp.largeurfeuille().valeur());
    EXPECT_LE(imp.hauteurimprimable().valeur(), imp.hauteurfeuille().valeur());
    // Printable size is the sheet less the printer's own margins, not Qt's 10-point page margins.
    const QMarginsF m = imp.margesMaterielles();
    EXPECT_DOUBLE_EQ(imp.largeurimprimable().valeur(), imp.largeurfeuille().valeur() - m.left() - m.right());

    imp.definirFormatimprimante(imp::A4);
    imp.definirOrientationimprimante(imp::Portrait);
    EXPECT_EQ(imp.formatimprimante(), imp::A4);
    EXPECT_EQ(imp.hauteurfeuille().valeur(), 16838);

    // Following the default again while it is the same printer keeps the program's settings.
    imp.definirSuividefaut(false);
    imp.definirOrientationimprimante(imp::Paysage);
    imp.definirFormatimprimante(imp::A5);
    imp.definirSuividefaut(true);
    if (!QPrinterInfo::defaultPrinter().isNull()) {
        EXPECT_EQ(imp.nomimprimante(), QPrinterInfo::defaultPrinter().printerName());
        EXPECT_EQ(imp.orientationimprimante(), imp::Paysage);
        EXPECT_EQ(imp.formatimprimante(), imp::A5);
    }
}

// A job sent through CUPS comes out of the PDF printer of the test machine as a PDF file named
// after the job's title; this waits for it (empty when it does not come).
QString attendreTravail(const QString& titre)
{
    const QStringList dossiers = {QDir::homePath() + QStringLiteral("/PDF"), QStringLiteral("/root/PDF"),
                                  QStringLiteral("/var/spool/cups-pdf/ANONYMOUS")};
    QElapsedTimer chrono;
    chrono.start();
    while (chrono.elapsed() < 20000) {
        for (const QString& dd : dossiers)
            for (const QFileInfo& f : QDir(dd).entryInfoList({titre + QStringLiteral("*.pdf")}, QDir::Files)) {
                QThread::msleep(300);   // let cups-pdf finish writing
                return f.absoluteFilePath();
            }
        QThread::msleep(100);
    }
    return {};
}

QString titreUnique() { return QStringLiteral("kaltest%1").arg(QRandomGenerator::global()->generate()); }

// The box of the calibration print, 20 mm from the sheet's edges, printed through CUPS and
// measured on the PDF that comes out.
void imprimerCarreEtMesurer(Imprimante& imp)
{
    const QString titre = titreUnique();
    imp.definirNomDocument(titre);
    const QMarginsF m = imp.margesMaterielles();
    imp.debutdocument();
    imp.tracerboite(1134 - std::round(m.left()), 1134 - std::round(m.top()), 1134, 1134, 0);
    imp.findocument();
    const QString pdf = attendreTravail(titre);
    if (pdf.isEmpty())
        KAL_SERVICE_ABSENT("le travail n'est pas ressorti de CUPS (dossier de cups-pdf inconnu)");
    const QImage ras = rasteriser(pdf);
    QFile::remove(pdf);
    if (ras.isNull())
        KAL_SERVICE_ABSENT("pdftoppm absent");
    const QRectF r = encreMm(ras);
    EXPECT_NEAR(r.left(), 20.0, 0.3);
    EXPECT_NEAR(r.top(), 20.0, 0.3);
    EXPECT_NEAR(r.width(), 20.0, 0.3);
    EXPECT_NEAR(r.height(), 20.0, 0.3);
}

TEST(ImprimanteSysteme, TravailEnvoyeACups)
{
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (def.isNull() || def.printerName() != QLatin1String("PDF"))
        KAL_SERVICE_ABSENT("pas d'imprimante PDF par défaut (scripts/services la crée)");
    Imprimante imp;
    imp.definirFormatimprimante(imp::A4);
    imp.definirOrientationimprimante(imp::Portrait);
    imprimerCarreEtMesurer(imp);
}

// A job discarded half-way never reaches the printer, and leaves no file of its own behind.
TEST(ImprimanteSysteme, TravailAbandonneNeSortPasDeCups)
{
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (def.isNull() || def.printerName() != QLatin1String("PDF"))
        KAL_SERVICE_ABSENT("pas d'imprimante PDF par défaut (scripts/services la crée)");
    // A temporary folder of its own, where the job's file is looked for.
    QTemporaryDir temp;
    const QByteArray ancienTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    struct Retour {
        QByteArray v;
        ~Retour() { v.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", v); }
    } retour{ancienTemp};
    const auto fichiersDeTravail = [] {
        return QDir::temp().entryList({QStringLiteral("kalmorin-*.pdf")}, QDir::Files);
    };
    const QStringList avant = fichiersDeTravail();
    ASSERT_TRUE(avant.isEmpty());
    Imprimante imp;
    const QString abandonne = titreUnique();
    imp.definirNomDocument(abandonne);
    imp.debutdocument();
    imp.tracerboite(1000, 1000, 1134, 1134, 0);
    EXPECT_EQ(fichiersDeTravail().size(), avant.size() + 1);
    imp.abandonnerdocument();
    EXPECT_EQ(fichiersDeTravail(), avant);
    // The next job goes through; by the time it is out, the discarded one would have been.
    imprimerCarreEtMesurer(imp);
    for (const QString& dd : {QDir::homePath() + QStringLiteral("/PDF"), QStringLiteral("/root/PDF")})
        EXPECT_TRUE(QDir(dd).entryList({abandonne + QStringLiteral("*")}).isEmpty());
    EXPECT_EQ(fichiersDeTravail(), avant);
}

// The temporary folder where a job is drawn (TMPDIR) on a disk of its own that is full: the job is
// refused with that cause and that folder, never handed to the printer as an empty file, and
// leaves nothing there; once there is room the next job comes out whole.
TEST(ImprimanteSysteme, DossierTemporairePlein)
{
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (def.isNull() || def.printerName() != QLatin1String("PDF"))
        KAL_SERVICE_ABSENT("pas d'imprimante PDF par défaut (scripts/services la crée)");
    QTemporaryDir temp;
    const QByteArray chemin = QFile::encodeName(temp.path());
    ASSERT_EQ(::mount("tmpfs", chemin.constData(), "tmpfs", 0, "size=16m"), 0) << std::strerror(errno);
    struct Demontage {
        QByteArray c, ancien;
        ~Demontage()
        {
            ancien.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", ancien);
            ::umount2(c.constData(), MNT_DETACH);
        }
    } demontage{chemin, qgetenv("TMPDIR")};
    const QByteArray remplissage = chemin + "/remplissage";
    struct statvfs v {};
    ASSERT_EQ(::statvfs(chemin.constData(), &v), 0);
    const int fd = ::open(remplissage.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::posix_fallocate(fd, 0, static_cast<off_t>(v.f_bavail * v.f_frsize)), 0);
    ::close(fd);
    qputenv("TMPDIR", chemin);

    Imprimante imp;
    const QString titre = titreUnique();
    imp.definirNomDocument(titre);
    imp.debutdocument();
    imp.tracerboite(1000, 1000, 1134, 1134, 0);
    try {
        imp.findocument();
        ADD_FAILURE() << "travail imprimé sans place pour son fichier";
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero(), imp::ErreurImprimante);
        EXPECT_EQ(e.description().toStdString(), QStringLiteral("le fichier de l'impression n'a pas pu être écrit dans "
                                                                "le dossier temporaire %1 : le disque est plein")
                                                     .arg(temp.path())
                                                     .toStdString());
    }
    EXPECT_FALSE(imp.documentOuvert());
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList{QStringLiteral("remplissage")});

    ::unlink(remplissage.constData());
    imprimerCarreEtMesurer(imp);
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList{});
}

// A CUPS printer whose driver declares unprintable borders (18, 30, 28 and 36 points on the
// left, top, right and bottom of A4): the printable size comes from them, in both orientations,
// and drawing starts at the printable area's corner.
TEST(ImprimanteSysteme, MargesMateriellesDuPiloteCups)
{
    const QString ppdPdf = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
    if (QPrinterInfo::availablePrinterNames().isEmpty() || !QFileInfo::exists(ppdPdf))
        KAL_SERVICE_ABSENT("pas de CUPS avec cups-pdf");
    kaltest::DossierTravail d;
    QFile source(ppdPdf);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray ppd = source.readAll();
    const QByteArray a4 = "*ImageableArea A4/A4: ";
    const qsizetype i = ppd.indexOf(a4);
    ASSERT_GE(i, 0);
    ppd.replace(i, ppd.indexOf('\n', i) - i, a4 + "\"18 36 567 812\"");
    const QString cheminPpd = d.fichier(QStringLiteral("marges.ppd"));
    {
        QFile f(cheminPpd);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ppd);
    }
    const QString nom = QStringLiteral("KALESSAIMARGES");
    if (QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-p"), nom, QStringLiteral("-E"), QStringLiteral("-v"),
                                                      QStringLiteral("cups-pdf:/"), QStringLiteral("-P"), cheminPpd}) != 0)
        KAL_SERVICE_ABSENT("lpadmin refusé");
    struct Retrait {
        QString nom;
        ~Retrait() { QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-x"), nom}); }
    } retrait{nom};

    // A printer object bound to that printer rather than to the default one.
    class ImprimanteNommee : public Imprimante {
    public:
        explicit ImprimanteNommee(const QString& n) { lier(QPrinterInfo::printerInfo(n)); }
    };
    ImprimanteNommee imp(nom);
    ASSERT_TRUE(imp.presente());
    ASSERT_EQ(imp.nomimprimante(), nom);
    imp.definirFormatimprimante(imp::A4);
    imp.definirOrientationimprimante(imp::Portrait);
    const double tol = 10;   // the print system rounds the sheet to whole points
    QMarginsF m = imp.margesMaterielles();
    EXPECT_NEAR(m.left(), 360, tol);
    EXPECT_NEAR(m.top(), 600, tol);
    EXPECT_NEAR(m.right(), 566, tol);
    EXPECT_NEAR(m.bottom(), 720, tol);
    EXPECT_NEAR(imp.largeurimprimable().valeur(), 11906 - 926, tol);
    EXPECT_NEAR(imp.hauteurimprimable().valeur(), 16838 - 1320, tol);

    imp.definirOrientationimprimante(imp::Paysage);
    m = imp.margesMaterielles();
    EXPECT_NEAR(m.left(), 720, tol);
    EXPECT_NEAR(m.top(), 360, tol);
    EXPECT_NEAR(imp.largeurimprimable().valeur(), 16838 - 1320, tol);
    EXPECT_NEAR(imp.hauteurimprimable().valeur(), 11906 - 926, tol);

    imp.definirOrientationimprimante(imp::Portrait);
    imprimerCarreEtMesurer(imp);
}

// Without any printer the editors still open: a clear message, an A4 portrait sheet, sizes
// that are never zero, and a job refused with error 482 rather than lost silently. Run in a
// child process that sees no print server.
TEST(SansImprimante, UneFeuilleA4EstSupposee)
{
    if (!kaltest::sansImprimante()) {
        kaltest::relancerSansImprimante(QStringLiteral("SansImprimante.*"));
        return;
    }
    ASSERT_TRUE(QPrinterInfo::availablePrinterNames().isEmpty());
    Imprimante imp;
    EXPECT_FALSE(imp.presente());
    EXPECT_FALSE(imp.messageAbsence().isEmpty());
    EXPECT_TRUE(imp.nomimprimante().isEmpty());
    EXPECT_EQ(imp.formatimprimante(), imp::A4);
    EXPECT_EQ(imp.orientationimprimante(), imp::Portrait);
    EXPECT_EQ(imp.largeurfeuille().valeur(), 11906);
    EXPECT_EQ(imp.hauteurfeuille().valeur(), 16838);
    EXPECT_DOUBLE_EQ(imp.largeurimprimable().valeur(), 11906);
    EXPECT_DOUBLE_EQ(imp.hauteurimprimable().valeur(), 16838);
    imp.definirOrientationimprimante(imp::Paysage);   // settings still work
    imp.definirFormatimprimante(imp::A3);
    EXPECT_EQ(imp.largeurfeuille().valeur(), 23811);
    imp.definirSuividefaut(true);
    EXPECT_FALSE(imp.presente());
    EXPECT_EQ(numeroErreur([&] { imp.debutdocument(); }), imp::ErreurImprimante);
    EXPECT_FALSE(imp.documentOuvert());

    // A PDF file can still be made.
    kaltest::DossierTravail d;
    imp.sortiePdf(d.fichier(QStringLiteral("x.pdf")));
    imp.tracerboite(100, 100, 1000, 1000);
    imp.findocument();
    EXPECT_GT(QFileInfo(d.fichier(QStringLiteral("x.pdf"))).size(), 0);

    // The program's printer object answers the same way.
    EXPECT_FALSE(imprimante().presente());
    ImprimanteEssai essai;
    installerImprimante(&essai);
    EXPECT_TRUE(imprimante().presente());
    installerImprimante(nullptr);
}
