// The calibration window AJUST: its load (A4 portrait, its own margin, the gamma of the settings
// file), the test square on the recording printer, the measured entries and their refusals,
// CORRIGER and INIT with the file they write, the printer given back; then the round trip on
// paper, through a PDF job and through the CUPS PDF printer: print, measure, correct, print
// again, and the square's edges land at 20.0 mm.
#include "banc_impression.h"
#include "support/dossiertemp.h"

#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "printing/ajustement.h"
#include "printing/reglages.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <gtest/gtest.h>
#include <memory>

using kal::Ajustement;

namespace {

constexpr double TwipsParMmExact = 1440.0 / 25.4;

QByteArray lire(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Ajust : public ::testing::Test {
protected:
    // A4 with margins of 240, 180, 300 and 420 twips (left, top, right, bottom): half the
    // unprintable width is 270.
    explicit Ajust(const QMarginsF& marges = QMarginsF(240, 180, 300, 420)) : imp(QPageSize(QPageSize::A4), marges)
    {
        kal::Ecran::simuler({1024, 768, 15, 15});
        kal::Ecran::simulerBordsTitre(375);
        partage.sautligne = QStringLiteral("\r\n");
        partage.margeimpH = kal::Twips(777);   // the editors' own, left alone
        partage.margeimpV = kal::Twips(777);
        kal::Fenetres::enregistrer(Ajustement::nomFenetre(), [this] { return new Ajustement(partage, imprimanteFenetre()); });
    }
    ~Ajust() override
    {
        kal::Fenetres::reinitialiser();
        kal::Ecran::reel();
    }
    virtual kal::Imprimante* imprimanteFenetre() { return &imp; }

    Ajustement& ouvrir()
    {
        auto* f = static_cast<Ajustement*>(kal::Fenetres::instance(Ajustement::nomFenetre()));
        EXPECT_NE(f, nullptr);
        return *f;
    }
    static QString message(const Ajustement& a) { return static_cast<QLabel*>(a.E_message.widget())->text(); }
    static QString premiereLigne(const Ajustement& a) { return message(a).split(QLatin1Char('\n')).front(); }

    kaltest::DossierTravail dossier;
    kal::ReglagesPartages partage;
    kal::ImprimanteEssai imp;
};

TEST_F(Ajust, ChargementEnA4PortraitEtRetourALaFermeture)
{
    imp.definirFormatimprimante(kal::imp::Letter);
    imp.definirOrientationimprimante(kal::imp::Paysage);
    Ajustement& a = ouvrir();
    EXPECT_EQ(a.windowTitle(), QStringLiteral("AJUSTEMENT DES MARGES"));
    EXPECT_EQ(imp.formatimprimante(), kal::imp::A4);
    EXPECT_EQ(imp.orientationimprimante(), kal::imp::Portrait);
    EXPECT_TRUE(partage.ajustactif);
    EXPECT_EQ(partage.orientsauv, kal::imp::Paysage);
    EXPECT_EQ(partage.papiersauv, kal::imp::Letter);
    EXPECT_EQ(a.margeimpH().valeur(), 270);
    EXPECT_EQ(a.margeimpV().valeur(), 270);
    EXPECT_EQ(partage.margeimpH.valeur(), 777);
    EXPECT_EQ(partage.margeimpV.valeur(), 777);
    const QStringList lignes = message(a).split(QLatin1Char('\n'));
    ASSERT_EQ(lignes.size(), 7);
    EXPECT_EQ(lignes[0], QStringLiteral("Vous allez imprimer un carré de 20 x 20 mm"));
    EXPECT_EQ(lignes[6], QStringLiteral("Bouton CORRIGER."));
    EXPECT_EQ(static_cast<QLabel*>(a.E_margeH.widget())->text(), QStringLiteral("Marge gauche nominale:20 mm"));
    EXPECT_EQ(static_cast<QLabel*>(a.E_margeV.widget())->text(), QStringLiteral("Marge haute nominale:20 mm"));
    EXPECT_EQ(a.T_mesureH.texte(), QStringLiteral("xx.x"));
    EXPECT_EQ(a.T_mesureV.texte(), QStringLiteral("yy.y"));
    EXPECT_FALSE(a.T_mesureH.actif());
    EXPECT_FALSE(a.T_mesureV.actif());
    EXPECT_FALSE(a.B_correct.actif());
    EXPECT_TRUE(a.B_imprim.actif());
    EXPECT_TRUE(a.B_init.actif());
    // Centred on the screen.
    EXPECT_EQ(a.gauche(), (kal::Ecran::largeurTwips() - a.largeur()) / 2);

    a.B_finajust_Click();
    EXPECT_FALSE(partage.ajustactif);
    EXPECT_EQ(imp.formatimprimante(), kal::imp::Letter);
    EXPECT_EQ(imp.orientationimprimante(), kal::imp::Paysage);
}

// Opened before any editor: no corrections in memory, and the gamma from the file's first line
// (180 when there is no file, or when its first line is no gamma). The load writes nothing;
// CORRIGER and INIT write the whole file.
TEST_F(Ajust, AvantToutEditeurSansFichierOuFichierAbime)
{
    const QString ini = kal::cheminReglages();
    {
        Ajustement& a = ouvrir();
        EXPECT_DOUBLE_EQ(partage.gamma, 180);
        EXPECT_FALSE(QFile::exists(ini));
        a.B_init_Click();
        EXPECT_EQ(lire(ini), QByteArray(" 180\r\n\r\n[DeltaH]\r\n0\r\n\r\n[DeltaV]\r\n0\r\n"));
        a.B_finajust_Click();
    }
    for (const QByteArray& abime : {QByteArray("gamma?\r\n\r\n[DeltaH]\r\n-86\r\n"), QByteArray("0\r\n"), QByteArray()}) {
        kal::Fenetres::reinitialiser();
        kal::Fenetres::enregistrer(Ajustement::nomFenetre(), [this] { return new Ajustement(partage, &imp); });
        kal::fs::ecrireFichier(ini, abime);
        partage.gamma = 0;
        Ajustement& a = ouvrir();
        EXPECT_DOUBLE_EQ(partage.gamma, 180) << abime.constData();
        EXPECT_DOUBLE_EQ(partage.DeltaH, 0);   // the corrections are not read here
        EXPECT_EQ(lire(ini), abime);
        a.B_imprim_Click();
        a.T_mesureH.definirTexte(QStringLiteral("20.0"));
        a.T_mesureV.definirTexte(QStringLiteral("20.0"));
        a.B_correct_Click();
        EXPECT_EQ(lire(ini), QByteArray(" 180\r\n\r\n[DeltaH]\r\n0\r\n\r\n[DeltaV]\r\n0\r\n"));
    }
}

TEST_F(Ajust, LeCarreDeVingtMillimetres)
{
    kal::fs::ecrireTexte(kal::cheminReglages(), QStringLiteral(" 150\r\n\r\n[DeltaH]\r\n-86\r\n\r\n[DeltaV]\r\n96"));
    partage.DeltaH = 30;
    partage.DeltaV = -12;
    Ajustement& a = ouvrir();
    EXPECT_DOUBLE_EQ(partage.gamma, 150);
    EXPECT_DOUBLE_EQ(partage.DeltaH, 30);
    a.B_imprim_Click();
    const auto& t = imp.traces();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].genre, kal::Trace::Genre::Boite);
    EXPECT_EQ(t[1].rect, QRectF(1134 - 270 + 30, 1134 - 270 - 12, 1134, 1134));
    EXPECT_EQ(t[1].couleur, std::optional<int>(0));
    EXPECT_EQ(t[2].genre, kal::Trace::Genre::Fin);
    EXPECT_TRUE(a.T_mesureH.actif());
    EXPECT_TRUE(a.T_mesureV.actif());
    EXPECT_TRUE(a.B_correct.actif());
    EXPECT_EQ(message(a).split(QLatin1Char('\n')).size(), 3);
}

TEST_F(Ajust, MesuresRefusees)
{
    Ajustement& a = ouvrir();
    a.B_imprim_Click();
    const QByteArray avant = lire(kal::cheminReglages());
    // Right after IMPRIMER the entries still hold "xx.x" and "yy.y".
    a.B_correct_Click();
    EXPECT_EQ(message(a), QStringLiteral("Format marge gauche incorrect"));

    // CORRIGER is offered only while both entries hold a value other than 0.
    a.T_mesureH.definirTexte(QStringLiteral("21.5"));
    EXPECT_FALSE(a.B_correct.actif());
    a.T_mesureV.definirTexte(QStringLiteral("18.3"));
    EXPECT_TRUE(a.B_correct.actif());
    a.T_mesureV.definirTexte(QStringLiteral("0"));
    EXPECT_FALSE(a.B_correct.actif());

    for (const QString& faux : {QStringLiteral("21,5"), QStringLiteral("5.5"), QStringLiteral("00.0"), QStringLiteral("215."),
                                QStringLiteral("21.x"), QStringLiteral("2.15")}) {
        a.T_mesureH.definirTexte(faux);
        a.T_mesureV.definirTexte(QStringLiteral("yy.y"));   // both wrong: only the left one is told
        a.B_correct_Click();
        EXPECT_EQ(message(a), QStringLiteral("Format marge gauche incorrect")) << faux.toStdString();
    }
    a.T_mesureH.definirTexte(QStringLiteral("05.5"));
    a.T_mesureV.definirTexte(QStringLiteral("18,3"));
    a.B_correct_Click();
    EXPECT_EQ(message(a), QStringLiteral("Format marge haute incorrect"));
    // A refusal changes nothing.
    EXPECT_DOUBLE_EQ(partage.DeltaH, 0);
    EXPECT_DOUBLE_EQ(partage.DeltaV, 0);
    EXPECT_EQ(lire(kal::cheminReglages()), avant);
    EXPECT_TRUE(partage.ajustactif);

    EXPECT_TRUE(Ajustement::mesureValide(QStringLiteral("05.5")));
    EXPECT_TRUE(Ajustement::mesureValide(QStringLiteral("20.0")));
    EXPECT_DOUBLE_EQ(Ajustement::pasCorrection(20.0), 0);
    EXPECT_DOUBLE_EQ(Ajustement::pasCorrection(19.9), 5);
    EXPECT_DOUBLE_EQ(Ajustement::pasCorrection(20.1), -6);
}

TEST_F(Ajust, CorrigerEcritLeFichierEtRendLImprimante)
{
    imp.definirFormatimprimante(kal::imp::A5);
    imp.definirOrientationimprimante(kal::imp::Paysage);
    kal::fs::ecrireTexte(kal::cheminReglages(), QStringLiteral("180"));
    Ajustement& a = ouvrir();
    a.B_imprim_Click();
    a.T_mesureH.definirTexte(QStringLiteral("21.5"));
    a.T_mesureV.definirTexte(QStringLiteral("18.3"));
    a.B_correct_Click();
    EXPECT_DOUBLE_EQ(partage.DeltaH, -86);
    EXPECT_DOUBLE_EQ(partage.DeltaV, 96);
    EXPECT_EQ(lire(kal::cheminReglages()), QByteArray(" 180\r\n\r\n[DeltaH]\r\n-86\r\n\r\n[DeltaV]\r\n96\r\n"));
    EXPECT_EQ(premiereLigne(a), QStringLiteral("Les marges ont été corrigées."));
    EXPECT_EQ(message(a).split(QLatin1Char('\n')).size(), 5);
    EXPECT_FALSE(partage.ajustactif);
    EXPECT_EQ(imp.formatimprimante(), kal::imp::A5);
    EXPECT_EQ(imp.orientationimprimante(), kal::imp::Paysage);
    EXPECT_FALSE(a.B_correct.actif());
    EXPECT_FALSE(a.T_mesureH.actif());

    // The next correction adds to these: the square printed already carried them.
    a.B_imprim_Click();
    EXPECT_EQ(imp.traces().back().genre, kal::Trace::Genre::Fin);
    a.T_mesureH.definirTexte(QStringLiteral("19.9"));
    a.T_mesureV.definirTexte(QStringLiteral("20.1"));
    a.B_correct_Click();
    EXPECT_DOUBLE_EQ(partage.DeltaH, -81);
    EXPECT_DOUBLE_EQ(partage.DeltaV, 90);
    a.B_finajust_Click();
    EXPECT_EQ(imp.formatimprimante(), kal::imp::A5);
}

TEST_F(Ajust, InitRemetLesCorrectionsAZero)
{
    imp.definirOrientationimprimante(kal::imp::Paysage);
    imp.definirFormatimprimante(kal::imp::Letter);
    kal::fs::ecrireTexte(kal::cheminReglages(), QStringLiteral(" 165\r\n\r\n[DeltaH]\r\n-86\r\n\r\n[DeltaV]\r\n96"));
    partage.DeltaH = -86;
    partage.DeltaV = 96;
    Ajustement& a = ouvrir();
    a.B_imprim_Click();
    a.B_init_Click();
    EXPECT_DOUBLE_EQ(partage.DeltaH, 0);
    EXPECT_DOUBLE_EQ(partage.DeltaV, 0);
    EXPECT_EQ(lire(kal::cheminReglages()), QByteArray(" 165\r\n\r\n[DeltaH]\r\n0\r\n\r\n[DeltaV]\r\n0\r\n"));
    EXPECT_EQ(premiereLigne(a), QStringLiteral("Les marges ont été reinitialisées."));
    EXPECT_FALSE(partage.ajustactif);
    EXPECT_FALSE(a.B_correct.actif());
    // Still A4 portrait for a check print; the close gives the printer back.
    EXPECT_EQ(imp.orientationimprimante(), kal::imp::Portrait);
    EXPECT_EQ(imp.formatimprimante(), kal::imp::A4);
    a.B_finajust_Click();
    EXPECT_EQ(imp.orientationimprimante(), kal::imp::Paysage);
    EXPECT_EQ(imp.formatimprimante(), kal::imp::Letter);
}

// A settings file that cannot be written: the window says so and nothing is counted, so that
// CORRIGER pressed again does not add the step twice.
TEST_F(Ajust, FichierQuiNePeutEtreEcrit)
{
    QDir(dossier.chemin()).mkdir(QStringLiteral("quelvard.ini"));
    Ajustement& a = ouvrir();
    a.B_imprim_Click();
    a.T_mesureH.definirTexte(QStringLiteral("21.5"));
    a.T_mesureV.definirTexte(QStringLiteral("18.3"));
    a.B_correct_Click();
    EXPECT_DOUBLE_EQ(partage.DeltaH, 0);
    EXPECT_DOUBLE_EQ(partage.DeltaV, 0);
    EXPECT_EQ(premiereLigne(a), QStringLiteral("Le fichier quelvard.ini ne peut pas être écrit:"));
    EXPECT_TRUE(a.B_correct.actif());
    EXPECT_TRUE(partage.ajustactif);
}

// --- On paper

// Measures the printed square: its outer edges, in millimetres from the sheet's corner.
QRectF mesurerCarre(const QString& pdf)
{
    const QImage page = kaltest::rasteriser(pdf);
    if (page.isNull())
        return {};
    EXPECT_NEAR(page.width() * kaltest::MmParPixel, 210, 0.2);
    return kaltest::encreMm(page);
}

QString mm(double v) { return QString::number(v, 'f', 1); }

// Unequal margins (10, 6, 4 and 8 mm) stand in for a printer's hardware margins on the PDF
// job: the first square lands 3 mm right of and 1 mm above its place; measured, corrected and
// printed again it lands at 20.0 mm.
class AjustPdf : public Ajust {
protected:
    AjustPdf() : Ajust(QMarginsF(10 * TwipsParMmExact, 6 * TwipsParMmExact, 4 * TwipsParMmExact, 8 * TwipsParMmExact)) {}
};

TEST_F(AjustPdf, AllerRetourDeCalibration)
{
    const QString pdf = dossier.fichier(QStringLiteral("carre.pdf"));
    imp.sortiePdf(pdf);
    Ajustement& a = ouvrir();
    a.B_imprim_Click();
    const QRectF avant = mesurerCarre(pdf);
    if (avant.isNull())
        KAL_SERVICE_ABSENT("pdftoppm");
    EXPECT_NEAR(avant.left(), 23.0, 0.2);
    EXPECT_NEAR(avant.top(), 19.0, 0.2);
    EXPECT_NEAR(avant.width(), 20.0, 0.2);
    a.T_mesureH.definirTexte(mm(avant.left()));
    a.T_mesureV.definirTexte(mm(avant.top()));
    a.B_correct_Click();
    ASSERT_EQ(premiereLigne(a), QStringLiteral("Les marges ont été corrigées."));
    a.B_imprim_Click();
    const QRectF apres = mesurerCarre(pdf);
    EXPECT_NEAR(apres.left(), 20.0, 0.2);
    EXPECT_NEAR(apres.top(), 20.0, 0.2);
    EXPECT_NEAR(apres.width(), 20.0, 0.2);
    EXPECT_NEAR(apres.height(), 20.0, 0.2);
    std::printf("carré PDF: avant %.2f x %.2f mm, corrections %g / %g twips, après %.2f x %.2f mm (%.2f x %.2f)\n",
                avant.left(), avant.top(), partage.DeltaH, partage.DeltaV, apres.left(), apres.top(), apres.width(),
                apres.height());
}

// The same round trip on the machine's CUPS PDF printer, as a user does it.
class AjustCups : public Ajust {
protected:
    kal::Imprimante* imprimanteFenetre() override
    {
        if (!systeme)
            systeme = std::make_unique<kal::Imprimante>();
        return systeme.get();
    }
    std::unique_ptr<kal::Imprimante> systeme;
};

TEST_F(AjustCups, AllerRetourSurLImprimantePdf)
{
    if (!kaltest::imprimantePdfParDefaut())
        KAL_SERVICE_ABSENT("pas d'imprimante PDF par défaut (scripts/services la crée)");
    Ajustement& a = ouvrir();
    const auto imprimer = [&] {
        const QString titre = kaltest::titreUnique();
        systeme->definirNomDocument(titre);
        a.B_imprim_Click();
        const QString pdf = kaltest::attendreTravailCups(titre);
        EXPECT_FALSE(pdf.isEmpty()) << "le travail n'est pas ressorti de CUPS";
        const QRectF r = pdf.isEmpty() ? QRectF() : mesurerCarre(pdf);
        QFile::remove(pdf);
        return r;
    };
    const QRectF avant = imprimer();
    if (avant.isNull())
        KAL_SERVICE_ABSENT("pas de travail mesurable (CUPS ou pdftoppm)");
    a.T_mesureH.definirTexte(mm(avant.left()));
    a.T_mesureV.definirTexte(mm(avant.top()));
    a.B_correct_Click();
    ASSERT_EQ(premiereLigne(a), QStringLiteral("Les marges ont été corrigées."));
    const QRectF apres = imprimer();
    EXPECT_NEAR(apres.left(), 20.0, 0.2);
    EXPECT_NEAR(apres.top(), 20.0, 0.2);
    EXPECT_NEAR(apres.width(), 20.0, 0.2);
    EXPECT_NEAR(apres.height(), 20.0, 0.2);
    std::printf("carré CUPS: avant %.2f x %.2f mm, corrections %g / %g twips, après %.2f x %.2f mm (%.2f x %.2f)\n",
                avant.left(), avant.top(), partage.DeltaH, partage.DeltaV, apres.left(), apres.top(), apres.width(),
                apres.height());
    a.B_finajust_Click();
}

}  // namespace
