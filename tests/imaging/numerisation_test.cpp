// "Scanner" on both editors against SANE's test device: a page scanned and placed as a loaded
// photo is, a cancelled choice of source, the refusal at 16 objects, and a failure after the
// page came in (its work copy cannot be written).
#include "imaging/banc_scan.h"

#include "imaging/imagerie.h"
#include "platform/base/ecran.h"
#include "platform/base/messages.h"
#include "platform/imaging/codecs/fichiersimage.h"

using kal::TypeEditeur;
using kaltest::BancScan;

QMap<QString, QString> kaltest::reglagesSane()
{
    // A colour page; 50 dpi at most keeps the whole 200 mm area at 393 pixels a side.
    return {{"test-picture", "\"Color pattern\""}, {"resolution_max", "50.0"}};
}

namespace {

using Numerisation = BancScan;

TEST_P(Numerisation, UnePageScanneeDevientUnePhotoPlacee)
{
    personne.prevoir(0);
    if (jaquette())
        ed->c.O_arriere.definirValeur(true);   // the back face takes its own numbers
    const int n = jaquette() ? 16 : 0;
    etat().scanfait = true;

    EXPECT_TRUE(scanner());

    ASSERT_EQ(personne.demandes().size(), 1u);
    EXPECT_EQ(personne.demandes()[0].fenetre, ed);
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(etat().objetcourant, n);
    EXPECT_EQ(etat().nbobjets, 1);
    EXPECT_FALSE(etat().scanfait);
    EXPECT_TRUE(occupe(n));
    if (jaquette()) {
        EXPECT_EQ(etat().nbarriere, 1);
    }
    EXPECT_EQ(etat().nomsobjets[static_cast<size_t>(n)], QStringLiteral("Image ") + QString::number(n));
    EXPECT_EQ(etat().typeobjet, QStringLiteral("photo"));
    // "Angle=0" is written by the placement; the rebuild that ends it writes the record's
    // angle in the signed-blank form.
    EXPECT_EQ(ed->c.E_angle.legende(), QStringLiteral("Angle= 0"));
    EXPECT_EQ(ed->c.A_angle.valeur(), 0);
    EXPECT_EQ(ed->c.C_cadre.valeur(), 0);
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Personnalise);

    // The three work copies hold the scanned page; photo<n>.svc carries the stamp besides.
    const QImage page = ed->c.L_photo[static_cast<size_t>(n)]->bitmap().pleine();
    EXPECT_EQ(page.size(), QSize(393, 393));
    EXPECT_EQ(octets(kal::fichierInit(n)), octets(kal::fichierSauv(n)));
    for (const QString& f : {kal::fichierPhoto(n), kal::fichierInit(n), kal::fichierSauv(n)}) {
        kal::image::InfoFichier info;
        const QImage relue = kal::image::lireFichier(f, &info);
        EXPECT_EQ(info.codeformat, kal::image::code::JPEG) << f.toStdString();
        EXPECT_EQ(relue.size(), page.size()) << f.toStdString();
    }
    EXPECT_EQ(kal::image::lireVignette(kal::fichierPhoto(n)).size(), QSize(145, 145));
    EXPECT_TRUE(ed->c.L_miniat[static_cast<size_t>(n)]->visible());
    EXPECT_TRUE(ed->c.A_contraste.actif());
}

TEST_P(Numerisation, UnChoixAnnuleRendLaPageCommeElleEtait)
{
    placerPhoto();
    const QString nom = etat().nomsobjets[0];
    personne.prevoir(std::nullopt);

    EXPECT_FALSE(scanner());   // the entry stays selected

    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(etat().nbobjets, 1);
    EXPECT_EQ(etat().objetcourant, 0);
    EXPECT_TRUE(etat().scanfait);
    EXPECT_TRUE(occupe(0));
    EXPECT_FALSE(occupe(1));
    EXPECT_EQ(etat().nomsobjets[0], nom);
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Personnalise);
    ASSERT_TRUE(ed->c.L_photo[0]);
    EXPECT_EQ(ed->c.L_photo[0]->bitmap().taille(), QSize(120, 80));
    if (jaquette()) {
        EXPECT_EQ(etat().nbavant, 1);
    } else {
        EXPECT_FALSE(ed->c.L_photo[1]);
    }
}

TEST_P(Numerisation, UnChoixAnnuleSurUnePageVide)
{
    personne.prevoir(std::nullopt);
    scanner();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(etat().nbobjets, 0);
    EXPECT_FALSE(occupe(0));
    if (jaquette()) {
        EXPECT_EQ(etat().nbavant, 0);
        EXPECT_TRUE(etat().scanfait);
    } else {
        EXPECT_FALSE(etat().scanfait);
        EXPECT_FALSE(ed->c.L_photo[0]);
        EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Fleche);
    }
}

TEST_P(Numerisation, ASeizeObjetsLeRefusNeToucheARien)
{
    placerPhoto();
    // The current object is a text-image, with its label and kind.
    etat().typeobjet = QStringLiteral("textimage");
    etat().nomsobjets[0] = QStringLiteral("Texte-Image 0");
    etat().nbobjets = 16;
    for (bool fait : {false, true}) {
        etat().scanfait = fait;
        banc.repondeur.oublier();
        EXPECT_TRUE(scanner());
        ASSERT_EQ(banc.repondeur.messages().size(), 1u);
        const kal::MessageAffiche& m = banc.repondeur.messages()[0];
        EXPECT_EQ(m.texte, QStringLiteral("Impossible de créer un objet supplémentaire"));
        EXPECT_EQ(m.titre, jaquette() ? QStringLiteral("16 OBJETS SUR LA JAQUETTE") : QStringLiteral("16 OBJETS SUR LA PAGE"));
        EXPECT_EQ(m.style, 48);
        EXPECT_EQ(etat().scanfait, fait);
        EXPECT_EQ(etat().nomsobjets[0], QStringLiteral("Texte-Image 0"));
        EXPECT_EQ(etat().typeobjet, QStringLiteral("textimage"));
        EXPECT_EQ(etat().nbobjets, 16);
        EXPECT_FALSE(occupe(1));
    }
    EXPECT_TRUE(personne.demandes().empty());
}

TEST_P(Numerisation, UneAutreErreurPrendLeCheminDeLEchecAvecUnMessage)
{
    placerPhoto();
    const QString nom = etat().nomsobjets[0];
    // Where the new object's work copy would go stands a folder: the page comes in, its copy fails.
    ASSERT_TRUE(QDir().mkpath(kal::fichierPhoto(1)));
    personne.prevoir(0);

    EXPECT_FALSE(scanner());

    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("SCANNER"));
    EXPECT_TRUE(banc.repondeur.messages()[0].texte.startsWith(QStringLiteral("Le scan n'a pas pu aboutir")));
    EXPECT_EQ(etat().nbobjets, 1);
    EXPECT_EQ(etat().objetcourant, 0);
    EXPECT_TRUE(occupe(0));
    EXPECT_FALSE(occupe(1));
    EXPECT_TRUE(etat().scanfait);
    EXPECT_FALSE(etat().rechargementencours);
    EXPECT_FALSE(etat().majencours);
    EXPECT_EQ(etat().nomsobjets[0], nom);
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Personnalise);
    EXPECT_FALSE(ed->c.L_miniat[1]->visible());
    if (jaquette()) {
        EXPECT_EQ(etat().nbavant, 1);
    } else {
        EXPECT_FALSE(ed->c.L_photo[1]);
    }

    // The next scan works once the way is clear.
    QDir().rmdir(kal::fichierPhoto(1));
    personne.prevoir(0);
    banc.repondeur.oublier();
    EXPECT_TRUE(scanner());
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(etat().nbobjets, 2);
    EXPECT_EQ(etat().objetcourant, 1);
    EXPECT_TRUE(occupe(1));
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Numerisation, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
