// The road of one photo onto the page or jacket, on real JPEG files and a real work database:
// the slot taken, the three work copies with the stamp, the thumbnail, the placeholders of the
// other objects, the refusals, and "Effacer page".
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

using kal::TypeEditeur;
using kaltest::octets;

namespace {

class Photo : public kaltest::EditeurOuvert {
protected:
    bool jaquette() const { return jaq(); }

    void SetUp() override
    {
        EditeurOuvert::SetUp();
        if (HasFatalFailure())
            return;
        banc.repondeur.oublier();
    }
    // A real JPEG of that size, with a gradient so that it is no flat picture.
    QString jpeg(int l, int h, const char* nom = "photo.jpg")
    {
        QImage img(l, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < l; ++x)
                img.setPixel(x, y, qRgb(x * 255 / l, y * 255 / h, 128));
        const QString chemin = banc.dossier.fichier(QStringLiteral("images/") + QString::fromLatin1(nom));
        QDir().mkpath(banc.dossier.fichier(QStringLiteral("images")));
        EXPECT_TRUE(img.save(chemin, "JPEG", 90));
        return chemin;
    }
    // What the open panel hands over: the picture read into its preview control.
    bool charger(const QString& chemin) { return kaltest::BancEditeur::placer(ed, chemin); }
    void occuper(int n)
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        j.modifier();
        j.mettre(QStringLiteral("occup"), true);
        j.miseAJour();
    }
    void liberer(int n)
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        j.modifier();
        j.mettre(QStringLiteral("occup"), false);
        j.miseAJour();
    }
};

TEST_P(Photo, UnePhotoDevientUnObjetAvecSesTroisCopies)
{
    ASSERT_TRUE(charger(jpeg(1600, 1200)));
    const kal::EtatEditeur& e = ed->x.etat;
    EXPECT_EQ(e.objetcourant, 0);
    EXPECT_EQ(e.nbobjets, 1);
    EXPECT_TRUE(champ(0, QStringLiteral("occup")).toBool());
    EXPECT_FALSE(champ(0, QStringLiteral("textimage")).toBool());
    EXPECT_GT(champ(0, QStringLiteral("widthimp")).toDouble(), 0);
    // Written in the work folder, and only there.
    EXPECT_EQ(kal::fs::dossierCourant(), banc.dossier.chemin());
    for (const QString& f : {kal::fichierPhoto(0), kal::fichierInit(0), kal::fichierSauv(0)})
        EXPECT_TRUE(kal::fs::existe(f)) << f.toStdString();
    EXPECT_FALSE(kal::fs::existe(banc.dossier.fichier(QStringLiteral("images/photo0.svc"))));
    // init and sauv are the first placement; photo carries the stamp of the requested size.
    EXPECT_EQ(octets(kal::fichierInit(0)), octets(kal::fichierSauv(0)));
    kal::ControleImage v;
    v.lirevignette(kal::fichierPhoto(0));
    EXPECT_EQ(v.bitmap().largeur(), 145);
    EXPECT_EQ(v.bitmap().hauteur(), 109);   // 108.75 to the nearest pixel
    // The object shows its full picture, its thumbnail is up, editing is on.
    const kal::ControleImage& photo = *ed->c.L_photo[0];
    EXPECT_EQ(photo.bitmap().largeur(), 1600);
    EXPECT_TRUE(photo.visible());
    EXPECT_TRUE(ed->c.L_miniat[0]->visible());
    EXPECT_TRUE(ed->c.A_contraste.actif());
    EXPECT_TRUE(banc.repondeur.messages().empty());
}

TEST_P(Photo, LePlusPetitNumeroLibreEtDesSubstitutsEnPixels)
{
    for (const char* nom : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        ASSERT_TRUE(charger(jpeg(800, 600, nom)));
    liberer(2);   // objects 0, 1 and 3 remain
    ASSERT_TRUE(charger(jpeg(640, 480, "e.jpg")));
    EXPECT_EQ(ed->x.etat.objetcourant, 2);
    EXPECT_EQ(ed->x.etat.nbobjets, 4);
    // The objects that are not current are placeholders of their size, made in pixels.
    for (int n : {0, 1}) {
        const kal::ControleImage& autre = *ed->c.L_photo[static_cast<size_t>(n)];
        EXPECT_EQ(autre.bitmap().largeur(), kal::pixelsX(autre.largeur())) << n;
        EXPECT_LT(autre.bitmap().largeur(), 800) << n;
    }
}

TEST_P(Photo, RefusASeizeObjetsOuSansFicheLibre)
{
    ASSERT_TRUE(charger(jpeg(400, 300)));
    const QByteArray avant = octets(kal::fichierPhoto(0));
    // Every record taken, although the count says otherwise: nothing is touched.
    for (int n = 0; n < 32; ++n)
        occuper(n);
    banc.repondeur.oublier();
    EXPECT_FALSE(charger(jpeg(500, 300, "autre.jpg")));
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].texte, QString::fromUtf8("Impossible de créer un objet supplémentaire"));
    EXPECT_EQ(banc.repondeur.messages()[0].titre,
              jaquette() ? QStringLiteral("16 OBJETS SUR LA JAQUETTE") : QStringLiteral("16 OBJETS SUR LA PAGE"));
    EXPECT_EQ(banc.repondeur.messages()[0].style, 48);
    EXPECT_EQ(ed->x.etat.objetcourant, 0);
    EXPECT_EQ(octets(kal::fichierPhoto(0)), avant);
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(1)));
}

TEST_P(Photo, EffacerPageLibereToutEtCoupeLEdition)
{
    ASSERT_TRUE(charger(jpeg(800, 600)));
    ASSERT_TRUE(charger(jpeg(600, 800, "b.jpg")));
    ed->x.etat.nompage = QStringLiteral("vacances");
    const kal::ContexteEditeur::Commande* effacer = ed->x.commande(QStringLiteral("Effacer page"));
    ASSERT_NE(effacer, nullptr);
    (*effacer)();
    for (int n = 0; n < (jaquette() ? 32 : 16); ++n)
        EXPECT_FALSE(champ(n, QStringLiteral("occup")).toBool()) << n;
    EXPECT_EQ(ed->x.etat.nbobjets, 0);
    EXPECT_EQ(ed->x.etat.objetcourant, kal::AucunObjet);
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Page non référencée"));
    EXPECT_FALSE(ed->c.A_contraste.actif());
    EXPECT_FALSE(ed->c.A_format.actif());
    for (int n : {0, 1}) {
        EXPECT_FALSE(ed->c.L_miniat[static_cast<size_t>(n)]->visible());
        if (jaquette())
            EXPECT_FALSE(ed->c.L_photo[static_cast<size_t>(n)]->visible());
        else
            EXPECT_EQ(ed->c.L_photo[static_cast<size_t>(n)], nullptr);
    }
    if (jaquette()) {
        EXPECT_EQ(ed->x.etat.nbavant, 0);
        // No face switch brings an object back.
        ed->c.O_arriere.definirValeur(true);
        ed->c.O_avant.definirValeur(true);
        EXPECT_EQ(ed->x.etat.nbobjets, 0);
        EXPECT_EQ(ed->x.etat.objetcourant, kal::AucunObjet);
        EXPECT_FALSE(champ(0, QStringLiteral("occup")).toBool());
    }
    // The next photo takes slot 0 again.
    ASSERT_TRUE(charger(jpeg(300, 300, "c.jpg")));
    EXPECT_EQ(ed->x.etat.objetcourant, 0);
}

// The other objects are flat placeholders: the object worked on must cover them where they
// overlap, whichever slot it has and whatever order the controls were made in.
TEST_P(Photo, LObjetCourantEstDevantLesRemplacants)
{
    ASSERT_TRUE(charger(jpeg(400, 300, "a.jpg")));
    ASSERT_TRUE(charger(jpeg(300, 400, "b.jpg")));
    ASSERT_TRUE(charger(jpeg(400, 300, "c.jpg")));
    auto devant = [&](int n) {
        const QWidget* w = ed->c.L_photo[static_cast<size_t>(n)]->widget();
        return w->parentWidget()->childAt(w->geometry().center()) == w;
    };
    EXPECT_EQ(ed->x.etat.objetcourant, 2);
    EXPECT_TRUE(devant(2));
    // Pressed with the mouse, an older object comes in front of the newer ones.
    ed->x.disposition().L_photo_MouseDown(0, 1, 0, 75, 75);
    ed->x.disposition().L_photo_MouseUp(0, 1, 0, 75, 75);
    ASSERT_EQ(ed->x.etat.objetcourant, 0);
    EXPECT_TRUE(devant(0));
    const QWidget* w0 = ed->c.L_photo[0]->widget();
    const QRect r = w0->geometry().intersected(ed->c.L_photo[1]->widget()->geometry());
    ASSERT_FALSE(r.isEmpty());
    EXPECT_EQ(w0->parentWidget()->childAt(r.center()), w0);
}

TEST(PhotoJaquette, UneFaceVideNeLaissePasDObjetCourant)
{
    kaltest::BancEditeur banc;
    kal::Editeur* ed = banc.ouvrir(TypeEditeur::Jaquette);
    ASSERT_NE(ed, nullptr);
    QImage img(300, 200, QImage::Format_RGB32);
    img.fill(Qt::red);
    const QString chemin = banc.dossier.fichier(QStringLiteral("rouge.jpg"));
    ASSERT_TRUE(img.save(chemin, "JPEG"));
    kal::ControleImage apercu(ed);
    apercu.lirefichier(chemin);
    ed->x.etat.typeobjet = QStringLiteral("photo");
    ASSERT_TRUE(ed->x.objets().chargementimage(apercu, QStringLiteral("rouge.jpg")));
    EXPECT_EQ(ed->x.etat.nbavant, 1);
    // The back is empty: no object is current there, nothing to edit, no crop going on.
    ed->c.C_decoupe.definirValeur(1);
    ASSERT_TRUE(ed->x.etat.modedecoupe);
    ed->c.O_arriere.definirValeur(true);
    EXPECT_EQ(ed->x.etat.nbobjets, 0);
    EXPECT_EQ(ed->x.etat.objetcourant, kal::AucunObjet);
    EXPECT_FALSE(ed->c.A_contraste.actif());
    EXPECT_FALSE(ed->c.C_decoupe.actif());
    EXPECT_EQ(ed->c.C_decoupe.valeur(), 0);
    EXPECT_FALSE(ed->x.etat.modedecoupe);
    // and no caption describes the front's object.
    EXPECT_EQ(ed->c.E_format.legende(), QStringLiteral("Format"));
    EXPECT_EQ(ed->c.E_margeH.legende(), QStringLiteral("Gauche"));
    EXPECT_EQ(ed->c.E_nominal.legende(), QString());
    EXPECT_EQ(ed->c.E_maximum.legende(), QString());
    // Back to the front: its object is current again, with its miniature on the preview.
    ed->c.O_avant.definirValeur(true);
    EXPECT_EQ(ed->x.etat.nbobjets, 1);
    EXPECT_EQ(ed->x.etat.objetcourant, 0);
    EXPECT_TRUE(ed->c.L_apjaq[0]->visible());
    EXPECT_TRUE(ed->c.A_format.actif());
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Photo, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
