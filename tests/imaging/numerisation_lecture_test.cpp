// "Scanner" on both editors when SANE's test device fails the very first read of the page: the
// number taken is freed and the objects are rebuilt as they were, without a message.
#include "imaging/banc_scan.h"

#include "platform/base/ecran.h"

using kal::TypeEditeur;
using kaltest::BancScan;

QMap<QString, QString> kaltest::reglagesSane()
{
    // A page small enough (10 dpi at most: 79 x 79 pixels) for the test driver's reader to have
    // sent it whole and ended before the scan gives up. A reader still blocked on a full pipe is
    // cancelled by the driver while it may be ending on its own, which now and then leaves a lock
    // of the C library held and hangs the process.
    return {{"read-status-code", "SANE_STATUS_IO_ERROR"}, {"resolution_max", "10.0"}};
}

namespace {

using LectureEchouee = BancScan;

TEST_P(LectureEchouee, AvecUnObjetIlResteCourant)
{
    placerPhoto();
    const QString nom = etat().nomsobjets[0];
    personne.prevoir(0);

    EXPECT_FALSE(scanner());

    ASSERT_EQ(personne.demandes().size(), 1u);
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
    // The object put back answers the mouse as before the scan.
    EXPECT_TRUE(ed->c.L_photo[0]->surSourisEnfoncee);
    EXPECT_TRUE(ed->c.L_photo[0]->surSourisRelachee);
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(1)));
    if (jaquette()) {
        EXPECT_EQ(etat().nbavant, 1);
        EXPECT_EQ(etat().nbarriere, 0);
    } else {
        EXPECT_FALSE(ed->c.L_photo[1]);
    }
}

TEST_P(LectureEchouee, SurUneFaceVideRienNeReste)
{
    personne.prevoir(0);
    scanner();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(etat().nbobjets, 0);
    EXPECT_FALSE(occupe(0));
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(0)));
    if (jaquette()) {
        EXPECT_EQ(etat().nbavant, 0);
    } else {
        EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Fleche);
    }
}

INSTANTIATE_TEST_SUITE_P(LesDeux, LectureEchouee, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
