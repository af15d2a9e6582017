// The program on a real X display, as a user starts it: the start window's frame, the editors'
// band of controls, the focus that opens nothing.
#include "shell/ecranreel.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <cmath>

using namespace kal;
using kaltest::attendre;
using kaltest::avecGestionnaire;
using kaltest::EcranReel;

namespace {

// The density is the X server's, whatever Qt's scaling shows: 15 twips a pixel at 96 dots per
// inch; a screen at another density (sous-x11 --ppp) is refused at start.
TEST(DensiteEcran, LueAuServeurX)
{
    const int ppp = qEnvironmentVariableIsEmpty("KAL_PPP") ? 96 : qEnvironmentVariableIntValue("KAL_PPP");
    EXPECT_EQ(Ecran::twipsParPixelX(), static_cast<int>(std::lround(1440.0 / ppp)));
    if (ppp == 96)
        return;
    kaltest::DossierTravail dossier;
    RepondeurEnregistreur repondeur;
    ReglagesPartages partage;
    Programme::reinitialiser();
    Fenetres::reinitialiser();
    OptionsProgramme opt;
    opt.ancienDossier = dossier.fichier(QStringLiteral("ancien-inexistant"));
    EXPECT_FALSE(demarrerProgramme(partage, opt));
    ASSERT_FALSE(repondeur.messages().empty());
    EXPECT_EQ(repondeur.messages().front().titre, QStringLiteral("CONFIGURATION ECRAN"));
    Fenetres::reinitialiser();
    Programme::reinitialiser();
}

TEST_F(EcranReel, HauteurDuTitreMesureeSurLaFenetreDeDepart)
{
    const int cadre = depart->frameGeometry().height() - depart->geometry().height();
    if (avecGestionnaire()) {
        ASSERT_GT(cadre, 0) << "the window manager did not frame the start window";
        EXPECT_EQ(Ecran::hauteurBordsTitre(), cadre * 15);
        EXPECT_EQ(partage.hauteurtitre, cadre * 15 - 375);
    } else {
        EXPECT_EQ(cadre, 0);
        EXPECT_EQ(Ecran::hauteurBordsTitre(), 375);
        EXPECT_EQ(partage.hauteurtitre, 0);
    }
}

// The start window gets the focus, its list too: nothing opens until an entry is chosen.
TEST_F(EcranReel, RienNeSOuvreSansChoix)
{
    depart->activateWindow();
    depart->L_fonction.liste()->setFocus();
    attendre(1500);
    EXPECT_FALSE(Fenetres::chargee(QStringLiteral("IMPRIMER")));
    EXPECT_FALSE(Fenetres::chargee(QStringLiteral("JAQUETTE")));
    EXPECT_EQ(depart->L_fonction.indexCourant(), -1);
}

// Both editors, maximised by the window manager or filling a bare screen: the band of controls
// at the bottom is wholly inside the window, and the editor's function list taking the focus
// runs nothing.
TEST_F(EcranReel, BandeDesEditeursDansLaFenetre)
{
    for (TypeEditeur t : {TypeEditeur::Page, TypeEditeur::Jaquette}) {
        const QString nom = Editeur::nomFenetre(t);
        Fenetres::montrer(nom);
        auto* ed = static_cast<Editeur*>(Fenetres::siChargee(nom));
        ASSERT_NE(ed, nullptr) << nom.toStdString();
        // Shown, and maximised by the window manager when there is one.
        attendre(5000, [ed] { return ed->isVisible() && (!avecGestionnaire() || ed->isMaximized()); });
        attendre(500);
        ed->activateWindow();
        ed->c.L_fonction.liste()->setFocus();
        attendre(500);
        EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1) << nom.toStdString();
        EXPECT_FALSE(Fenetres::chargee(QStringLiteral("DOC")));

        const int basClient = ed->height();
        for (const Controle* k : std::initializer_list<const Controle*>{&ed->c.B_finimprim, &ed->c.L_fonction,
                                                                      &ed->c.A_gamma, &ed->c.B_initimage,
                                                                      &ed->c.A_nettete, &ed->c.A_saturation,
                                                                      &ed->c.B_initreglage, &ed->c.C_cadre}) {
            const QRect r = k->widget()->geometry();
            EXPECT_LE(r.bottom(), basClient - 1) << nom.toStdString() << " " << r.bottom() << " / " << basClient;
            EXPECT_GE(r.top(), 0);
        }
        EXPECT_LE(ed->c.B_finimprim.widget()->geometry().right(), ed->width() - 1) << nom.toStdString();
        Fenetres::decharger(nom);
        attendre(200);
    }
    EXPECT_TRUE(repondeur.messages().empty());
}

// DOC chosen with no manual in the folder, real boxes answered as a person does once they show:
// closing the box gives the focus back to the start window before the viewer first becomes
// active, and that is no new activation. One click, one "MANUEL ABSENT".
TEST_F(EcranReel, ManuelAbsentUneSeuleFois)
{
    installerRepondeur(nullptr);
    QStringList boites;
    QElapsedTimer vue;
    QTimer personne;
    personne.setInterval(50);
    QObject::connect(&personne, &QTimer::timeout, [&] {
        auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!b || !b->isVisible()) {
            vue.invalidate();
            return;
        }
        if (!vue.isValid())
            vue.start();
        // Under the window manager the box is read once it has the focus.
        if ((avecGestionnaire() && !b->isActiveWindow()) && vue.elapsed() < 2000)
            return;
        boites << b->windowTitle();
        b->button(QMessageBox::Ok)->click();
    });
    personne.start();
    depart->activateWindow();
    attendre(500);
    Fenetres::montrer(QStringLiteral("DOC"));
    attendre(3000);
    EXPECT_EQ(boites.join(QStringLiteral(", ")).toStdString(), "MANUEL ABSENT");
    EXPECT_TRUE(Fenetres::chargee(QStringLiteral("DOC")));
}

}  // namespace
