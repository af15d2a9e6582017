// The mouse on the objects, on both editors, with real photos and mouse events delivered to the
// editor's window: the drag and its thresholds, its bounds and buttons, the hover caption, the
// selection of another object (its adjustments kept and shown again), the removal with the
// right button, and no current object on the jacket.
#include "layout/banc_souris.h"

#include "platform/base/ecran.h"
#include "printing/impression.h"

#include <QAccessible>

using kal::arrondi;
using kaltest::EditeurSouris;

namespace {

class Souris : public EditeurSouris {
protected:
    // Object 0, then object 1 moved to the far right of the surface: the two never overlap.
    void deuxObjets()
    {
        ASSERT_TRUE(placer(200, 150, QStringLiteral("a.jpg")));
        ASSERT_TRUE(placer(160, 120, QStringLiteral("b.jpg")));
        ASSERT_EQ(e().objetcourant, 1);
        c().A_margeH.definirValeur(c().A_margeH.max());
        ASSERT_GT(photo(1).gaucheReel(), photo(0).gaucheReel() + photo(0).largeurReelle());
    }
    QRgb pixel(int n, int x, int y) { return photo(n).bitmap().pleine().pixel(x, y); }
};

TEST_P(Souris, UnPixelDeGlissementDeplaceSelonLEchelle)
{
    ASSERT_TRUE(placer(200, 150));
    const int h0 = c().A_margeH.valeur(), v0 = c().A_margeV.valeur();
    ASSERT_EQ(h0, c().A_margeH.min());
    e().pagemodifiee = false;
    QPoint f = point(0, {20, 20});
    enfoncer(f);
    EXPECT_EQ(e().departX, 20 * 15);
    EXPECT_EQ(e().departY, 20 * 15);
    EXPECT_EQ(photo(0).pointeur(), kal::pointeur::Deplacement);
    EXPECT_EQ(ed->pointeur(), kal::pointeur::Deplacement);

    f += {1, 0};
    deplacer(f);
    // Page: 15 preview twips are 15 x echelleimp sheet twips, over the 16 of a step. Jacket:
    // 15 face twips, under it: refused; 30 move it.
    if (!jaq()) {
        const int dH = arrondi(15 * e().echelleimp);
        ASSERT_GE(dH, 16);
        EXPECT_EQ(c().A_margeH.valeur(), h0 + dH);
        EXPECT_NEAR(photo(0).gaucheReel(), (h0 + dH) / s(), 1e-3);
        EXPECT_TRUE(e().pagemodifiee);
    } else {
        EXPECT_EQ(c().A_margeH.valeur(), h0);
        EXPECT_FALSE(e().pagemodifiee);
        f += {1, 0};
        deplacer(f);
        EXPECT_EQ(c().A_margeH.valeur(), h0 + 30);
        EXPECT_NEAR(photo(0).gaucheReel(), h0 + 30, 1e-3);
    }
    EXPECT_EQ(c().A_margeV.valeur(), v0);

    // The control moved under the pointer and still holds the mouse: each step measures from
    // the press point inside it.
    const int h1 = c().A_margeH.valeur();
    f += {0, 3};
    deplacer(f);
    EXPECT_EQ(c().A_margeH.valeur(), h1);
    EXPECT_EQ(c().A_margeV.valeur(), v0 + arrondi(45 * s()));
    relacher(f);
    EXPECT_EQ(photo(0).pointeur(), kal::pointeur::Personnalise);
    EXPECT_EQ(ed->pointeur(), kal::pointeur::Personnalise);
    // The release stores the dragged place in the record and the object stays current.
    EXPECT_EQ(champ(0, kal::champ::leftimp).toInt(), c().A_margeH.valeur());
    EXPECT_EQ(champ(0, kal::champ::topimp).toInt(), c().A_margeV.valeur());
    EXPECT_EQ(e().objetcourant, 0);
    EXPECT_EQ(d().souris().etat(), kal::SourisObjets::Etat::Repos);
}

TEST_P(Souris, LeGlissementSArreteAuxBornesAxeParAxe)
{
    ASSERT_TRUE(placer(200, 150));
    const int h0 = c().A_margeH.valeur(), v0 = c().A_margeV.valeur();
    // Towards the top-left corner from the smallest position: refused on both axes.
    QPoint f = point(0, {30, 30});
    enfoncer(f);
    deplacer(f + QPoint(-5, -5));
    EXPECT_EQ(c().A_margeH.valeur(), h0);
    EXPECT_EQ(c().A_margeV.valeur(), v0);
    // A step that would pass Max is refused whole, however far outside the control the pointer
    // went; the other axis still moves.
    const int loin = arrondi((c().A_margeH.max() - h0) / s() / 15) + 40;
    deplacer(f + QPoint(loin, 4));
    EXPECT_EQ(c().A_margeH.valeur(), h0);
    EXPECT_EQ(c().A_margeV.valeur(), v0 + arrondi(60 * s()));
    relacher(f + QPoint(loin, 4));
    EXPECT_LE(c().A_margeH.valeur(), c().A_margeH.max());
}

TEST_P(Souris, SeulLeBoutonGaucheDeplace)
{
    ASSERT_TRUE(placer(200, 150));
    const int h0 = c().A_margeH.valeur(), v0 = c().A_margeV.valeur();
    // The middle button drags nothing and its release changes nothing.
    glisser(0, {20, 20}, {{6, 6}, {6, 6}}, Qt::MiddleButton);
    EXPECT_EQ(c().A_margeH.valeur(), h0);
    EXPECT_EQ(c().A_margeV.valeur(), v0);
    EXPECT_EQ(e().nbobjets, 1);
    EXPECT_TRUE(champ(0, kal::champ::occup).toBool());
    // Both buttons held: nothing moves either.
    QPoint f = point(0, {20, 20});
    enfoncer(f);
    enfoncer(f, Qt::MiddleButton);
    deplacer(f + QPoint(8, 8));
    EXPECT_EQ(c().A_margeH.valeur(), h0);
    relacher(f + QPoint(8, 8), Qt::MiddleButton);
    relacher(f + QPoint(8, 8));
    // The right button drags nothing: its release removes the object.
    QPoint g = point(0, {20, 20});
    enfoncer(g, Qt::RightButton);
    deplacer(g + QPoint(8, 8));
    EXPECT_EQ(c().A_margeH.valeur(), h0);
    EXPECT_EQ(c().A_margeV.valeur(), v0);
    relacher(g + QPoint(8, 8), Qt::RightButton);
    EXPECT_FALSE(champ(0, kal::champ::occup).toBool());
}

TEST_P(Souris, LeSurvolMontreLeNomDeLObjet)
{
    deuxObjets();
    deplacer(point(0, {5, 5}));
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Image 0"));
    EXPECT_EQ(e().objetsurvole, 0);
    // Pointing at the same object again writes nothing.
    ed->setWindowTitle(QStringLiteral("autre"));
    deplacer(point(0, {6, 5}));
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("autre"));
    deplacer(point(1, {5, 5}));
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Image 1"));
    // Over the preview page the caption is the page's again, and the object's label comes back.
    const QPoint page = c().P_page.widget()->mapTo(ed, QPoint(c().P_page.widget()->width() - 2,
                                                               c().P_page.widget()->height() - 2));
    deplacer(page);
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Page non référencée"));
    EXPECT_EQ(e().objetsurvole, kal::AucunObjet);
    deplacer(point(1, {6, 6}));
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Image 1"));
}

// Contrast moved on object A; object B loaded, selected, and A selected again: A shows its
// contrast, displays with it and keeps it in its row, which printing applies to its base.
// The display gamma is the display's, whichever road made the object's control: an object
// selected again looks as it did when it was placed.
TEST_P(Souris, LObjetSelectionneGardeLeGammaDAffichage)
{
    const auto moyenne = [](const QImage& i) {
        double somme = 0;
        for (int y = 0; y < i.height(); ++y)
            for (int x = 0; x < i.width(); ++x)
                somme += qGray(i.pixel(x, y));
        return somme / (i.width() * i.height());
    };
    ASSERT_TRUE(placer(200, 150, QStringLiteral("a.jpg")));
    const double place = moyenne(photo(0).widget()->grab().toImage());
    ASSERT_TRUE(placer(160, 120, QStringLiteral("b.jpg")));
    c().A_margeH.definirValeur(c().A_margeH.max());
    cliquer(0, {5, 5});
    ASSERT_EQ(e().objetcourant, 0);
    EXPECT_NEAR(moyenne(photo(0).widget()->grab().toImage()), place, 2);
}

TEST_P(Souris, UnObjetRetrouveSesReglagesALaSelection)
{
    ASSERT_TRUE(placer(200, 150, QStringLiteral("a.jpg")));
    c().A_contraste.definirValeur(400);
    const QRgb ajuste = pixel(0, 10, 10);
    ASSERT_TRUE(placer(160, 120, QStringLiteral("b.jpg")));
    EXPECT_EQ(c().A_contraste.valeur(), 0);
    c().A_margeH.definirValeur(c().A_margeH.max());

    cliquer(0, {5, 5});
    ASSERT_EQ(e().objetcourant, 0);
    EXPECT_EQ(c().A_contraste.valeur(), 400);
    EXPECT_EQ(c().E_contraste.legende(), QStringLiteral("Cont: 40"));
    EXPECT_EQ(pixel(0, 10, 10), ajuste);
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Contraste], 400);
    // The base stays without it: display and print apply it once.
    const QImage base = image(kal::fichierSauv(0));
    EXPECT_NE(base.pixel(10, 10), ajuste);
    // The object left shows a placeholder: one colour where its photo had a gradient.
    EXPECT_EQ(pixel(1, 2, 2), pixel(1, photo(1).bitmap().largeur() - 3, photo(1).bitmap().hauteur() - 3));

    cliquer(1, {5, 5});
    ASSERT_EQ(e().objetcourant, 1);
    EXPECT_EQ(c().A_contraste.valeur(), 0);
    EXPECT_DOUBLE_EQ(e().tabobjets[0][kal::col::Contraste], 400);
    cliquer(0, {5, 5});
    ASSERT_EQ(e().objetcourant, 0);
    EXPECT_EQ(c().A_contraste.valeur(), 400);
    EXPECT_EQ(pixel(0, 10, 10), ajuste);
    EXPECT_EQ(e().nbobjets, 2);
    // Its working copy carries the contrast too: the next store files the picture as shown.
    EXPECT_EQ(c().L_sauvder.bitmap().pleine().pixel(10, 10), ajuste);
    // And it prints with it, once: the job starts again from sauv0.svc and the stored row.
    cliquer(1, {5, 5}, Qt::RightButton);
    ASSERT_EQ(e().objetcourant, 0);
    if (jaq())
        c().O_imprim.definirValeur(true);
    ASSERT_TRUE(ed->x.impression().impression());
    EXPECT_EQ(ed->x.impression().L_imprim().bitmap().pleine().pixel(10, 10), ajuste);
}

// A press and release on the current object stores it and rebuilds its working copy with the
// sliders: the next move of the slider last used applies its value once, on the turned picture.
TEST_P(Souris, UnClicSurLObjetNeDoublePasLeReglage)
{
    ASSERT_TRUE(placer(200, 150));
    c().A_angle.definirValeur(90);
    c().A_contraste.definirValeur(200);
    cliquer(0, {5, 5});
    ASSERT_EQ(e().objetcourant, 0);
    c().A_contraste.definirValeur(250);
    kal::ControleImage attendu;
    attendu.definirBitmap(c().L_sauvtot.bitmap());
    kal::appliquerChaine(attendu, {.contraste = 250}, {.photo = true, .cadre = std::nullopt, .angle = 90});
    EXPECT_EQ(photo(0).bitmap().largeur(), 150);
    EXPECT_EQ(photo(0).bitmap().pleine(), attendu.bitmap().pleine());
}

TEST_P(Souris, LaSelectionRangeLAncienObjetEtReconstruitEnSilence)
{
    deuxObjets();
    // B dragged, then A selected: B's record has the new place.
    glisser(1, {10, 10}, {{0, 4}});
    const int hautB = c().A_margeV.valeur();
    ASSERT_GT(hautB, c().A_margeV.min());
    const QRectF boiteB(photo(1).gaucheReel(), photo(1).hautReel(), photo(1).largeurReelle(), photo(1).hauteurReelle());

    // Every position change during the selection's rebuild finds the rebuild flag set.
    std::vector<bool> drapeaux;
    auto avant = c().A_margeV.surChangement;
    c().A_margeV.surChangement = [&] {
        drapeaux.push_back(e().rechargementencours);
        avant();
    };
    cliquer(0, {5, 5});
    c().A_margeV.surChangement = avant;
    ASSERT_EQ(e().objetcourant, 0);
    EXPECT_FALSE(drapeaux.empty());
    for (bool b : drapeaux)
        EXPECT_TRUE(b);
    EXPECT_FALSE(e().rechargementencours);
    EXPECT_FALSE(e().reaffichageencours);
    EXPECT_EQ(champ(1, kal::champ::topimp).toInt(), hautB);
    // The placeholder of B stands where B was left.
    EXPECT_NEAR(photo(1).hautReel(), boiteB.y(), 1);
    EXPECT_NEAR(photo(1).largeurReelle(), boiteB.width(), 1);
    EXPECT_TRUE(photo(0).visible());
    EXPECT_TRUE(photo(1).visible());
    EXPECT_TRUE(c().A_margeH.actif());
    EXPECT_EQ(d().souris().etat(), kal::SourisObjets::Etat::Repos);
    // The newly made controls answer the mouse: B is selected back.
    cliquer(1, {5, 5});
    EXPECT_EQ(e().objetcourant, 1);
    EXPECT_EQ(c().A_margeV.valeur(), hautB);
}

TEST_P(Souris, LeBoutonDroitRetireLObjet)
{
    deuxObjets();
    ASSERT_TRUE(placer(100, 100, QStringLiteral("c.jpg")));
    ASSERT_EQ(e().objetcourant, 2);
    c().A_contraste.definirValeur(200);
    c().A_margeV.definirValeur(c().A_margeV.max());
    // A removal of an object that is not current frees its record and takes its work files.
    e().pagemodifiee = false;
    cliquer(0, {5, 5}, Qt::RightButton);
    EXPECT_FALSE(champ(0, kal::champ::occup).toBool());
    EXPECT_GT(champ(0, kal::champ::widthimp).toDouble(), 0);   // the other fields stay
    for (const QString& f : kal::fichierstravail(0))
        EXPECT_FALSE(kal::fs::existe(f)) << f.toStdString();   // its work files go
    EXPECT_FALSE(photo(0).visible());
    EXPECT_FALSE(c().L_miniat[0]->visible());
    EXPECT_EQ(e().nbobjets, 2);
    EXPECT_EQ(e().objetcourant, 2);
    EXPECT_TRUE(e().pagemodifiee);
    EXPECT_TRUE(c().A_margeH.actif());

    // The current object removed: the page makes the first occupied one current, the jacket none
    // (and gives the composer the focus, which the last removal took already).
    if (QWidget* f = QApplication::focusWidget())
        f->clearFocus();
    cliquer(2, {5, 5}, Qt::RightButton);
    EXPECT_FALSE(champ(2, kal::champ::occup).toBool());
    EXPECT_DOUBLE_EQ(e().tabobjets[2][kal::col::Contraste], 0);
    EXPECT_EQ(e().nbobjets, 1);
    if (!jaq()) {
        EXPECT_EQ(e().objetcourant, 1);
        EXPECT_EQ(c().L_photo[2], nullptr);
        EXPECT_EQ(c().L_photo[0], nullptr);
        EXPECT_TRUE(photo(1).visible());
        EXPECT_EQ(photo(1).bitmap().largeur(), 160);   // its full picture
        EXPECT_TRUE(c().A_margeH.actif());
        EXPECT_FALSE(e().rechargementencours);
    } else {
        EXPECT_EQ(e().objetcourant, kal::AucunObjet);
        EXPECT_FALSE(photo(2).visible());
        EXPECT_FALSE(c().L_apjaq[2]->visible());
        EXPECT_FALSE(c().A_margeH.actif());
        EXPECT_FALSE(c().C_decoupe.actif());   // the composer taking the focus gives it no object
        EXPECT_EQ(c().E_margeH.legende(), QStringLiteral("Gauche"));
    }

    // The last object removed: nothing is left to edit.
    if (jaq())
        cliquer(1, {5, 5});   // made current first: the jacket has none now
    cliquer(1, {5, 5}, Qt::RightButton);
    EXPECT_EQ(e().nbobjets, 0);
    EXPECT_EQ(c().E_margeH.legende(), QStringLiteral("Gauche"));
    EXPECT_EQ(c().E_margeV.legende(), QStringLiteral("Haut"));
    EXPECT_EQ(c().E_format.legende(), QStringLiteral("Format"));
    EXPECT_EQ(c().E_nominal.legende(), QString());
    EXPECT_EQ(c().E_maximum.legende(), QString());
    EXPECT_FALSE(c().A_margeH.actif());
    EXPECT_FALSE(c().A_margeV.actif());
    EXPECT_FALSE(c().A_format.actif());
    EXPECT_FALSE(c().A_contraste.actif());
    EXPECT_FALSE(c().C_decoupe.actif());
    EXPECT_EQ(c().C_decoupe.valeur(), 0);
}

TEST(SourisJaquette, SansObjetCourantRienNeVisePlusLObjetCent)
{
    kaltest::BancEditeur banc{1024, 768};
    kal::Editeur* ed = banc.ouvrir(kal::TypeEditeur::Jaquette);
    ASSERT_NE(ed, nullptr);
    kaltest::montrerEditeur(ed);
    kal::EtatEditeur& e = ed->x.etat;
    for (const char* nom : {"a.jpg", "b.jpg"}) {
        QImage img(120, 90, QImage::Format_RGB32);
        img.fill(qRgb(200, 60, 30));
        const QString chemin = banc.dossier.fichier(QString::fromLatin1(nom));
        ASSERT_TRUE(img.save(chemin, "JPEG"));
        kal::ControleImage apercu(ed);
        apercu.lirefichier(chemin);
        e.typeobjet = QStringLiteral("photo");
        ASSERT_TRUE(ed->x.objets().chargementimage(apercu, QString::fromLatin1(nom)));
    }
    ed->c.A_margeH.definirValeur(ed->c.A_margeH.max());
    kal::ControleImage& a = *ed->c.L_photo[0];
    kal::ControleImage& b = *ed->c.L_photo[1];
    QWindow* w = ed->windowHandle();
    const auto ici = [&](kal::ControleImage& k) { return k.widget()->mapTo(ed, QPoint(5, 5)); };
    QTest::mouseClick(w, Qt::RightButton, {}, ici(b));
    ASSERT_EQ(e.objetcourant, kal::AucunObjet);
    const auto lignes = e.tabobjets;

    // No current object: a drag on the other one moves nothing and stores nothing; the
    // centring, crop and cancel buttons do nothing.
    const int gauche = ed->c.A_margeH.valeur();
    QTest::mousePress(w, Qt::LeftButton, {}, ici(a));
    QTest::mouseMove(w, ici(a) + QPoint(6, 6));
    EXPECT_EQ(ed->c.A_margeH.valeur(), gauche);
    EXPECT_EQ(e.objetcourant, kal::AucunObjet);
    QTest::mouseRelease(w, Qt::LeftButton, {}, ici(a) + QPoint(6, 6));
    // The release selected it, with nothing stored for a current object that is not there.
    EXPECT_EQ(e.objetcourant, 0);
    EXPECT_EQ(e.tabobjets.size(), lignes.size());
    EXPECT_TRUE(ed->c.A_margeH.actif());
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(kal::AucunObjet)));

    QTest::mouseClick(w, Qt::RightButton, {}, ici(a));
    ASSERT_EQ(e.objetcourant, kal::AucunObjet);
    ed->c.B_centre.cliquer();
    ed->c.C_decoupe.definirValeur(1);
    EXPECT_FALSE(e.modedecoupe);
    ed->c.C_decoupe.definirValeur(0);
    ed->x.imagerie().B_annuldecoupe_Click();
    EXPECT_EQ(e.objetcourant, kal::AucunObjet);
    EXPECT_EQ(e.nbobjets, 0);
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(kal::AucunObjet)));
    EXPECT_FALSE(kal::fs::existe(kal::fichierSauv(kal::AucunObjet)));
}

// Whole image is offered while a turned object is on the page or face: removing the last
// one takes the offer away, whether it was current or not.
TEST_P(Souris, LeRetraitDuDernierObjetTourneRetireImageTotale)
{
    deuxObjets();
    c().A_angle.definirValeur(30);
    EXPECT_TRUE(c().C_image.actif());
    cliquer(0, {5, 5});
    ASSERT_EQ(e().objetcourant, 0);
    EXPECT_TRUE(c().C_image.actif());
    cliquer(1, {5, 5}, Qt::RightButton);
    EXPECT_FALSE(c().C_image.actif());
}

// The last object removed, its controls disabled: a value given to the angle slider from outside
// (the accessibility interface, as a screen reader sets it) turns nothing and takes no record
// back, and a photo is then placed as on an empty page.
TEST_P(Souris, LeDernierObjetRetireNeTournePlus)
{
    ASSERT_TRUE(placer(200, 150, QStringLiteral("a.jpg")));
    cliquer(0, {5, 5}, Qt::RightButton);
    ASSERT_FALSE(champ(0, kal::champ::occup).toBool());
    ASSERT_FALSE(c().A_angle.actif());
    banc.repondeur.oublier();
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(c().A_angle.barre());
    ASSERT_TRUE(i && i->valueInterface());
    i->valueInterface()->setCurrentValue(45);
    // Code reaching the handler all the same finds no object to turn.
    ed->x.imagerie().A_angle_Change();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_FALSE(champ(0, kal::champ::occup).toBool());
    EXPECT_EQ(champ(0, kal::champ::rot).toInt(), 0);
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(0)));
    ASSERT_TRUE(placer(120, 90, QStringLiteral("b.jpg")));
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_TRUE(champ(0, kal::champ::occup).toBool());
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Souris, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

}  // namespace
