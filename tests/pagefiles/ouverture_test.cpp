// The photo-open panel driven as a user would: pointing at names with the mouse, releasing the
// button, paging, cancelling; on real files with the names people give them.
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "pagefiles/fichierspages.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"
#include "platform/controls/bip.h"

#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using kal::TypeEditeur;

namespace {

class Ouverture : public kaltest::EditeurOuvert {
protected:
    QString images;

    void SetUp() override
    {
        EditeurOuvert::SetUp();
        if (HasFatalFailure())
            return;
        ed->show();
        banc.repondeur.oublier();
        images = banc.dossier.fichier(QStringLiteral("images"));
        QDir().mkpath(images);
    }
    void jpeg(const QString& nom, int l, int h, QColor couleur = QColor(200, 60, 40))
    {
        QImage img(l, h, QImage::Format_RGB32);
        img.fill(couleur);
        ASSERT_TRUE(img.save(images + QLatin1Char('/') + nom, "JPEG"));
    }
    kal::PanneauOuverture& panneau() { return ed->x.fichierspages().panneauOuverture(); }
    void ouvrir()
    {
        panneau().repphoto = images;
        ed->c.L_fonction.definirIndex(-1);
        (*ed->x.commande(QStringLiteral("Charg Image")))();
    }
    // The middle of name k of the screen, in the list's inside, in pixels.
    QPoint centre(int k)
    {
        const kal::ListeColonnes& l = panneau().L_fichouvrir;
        const int x = (k / 16) * l.largeurColonne() + l.largeurColonne() / 2;
        const int y = (k % 16) * l.hauteurLigne() + l.hauteurLigne() / 2;
        return {kal::pixelsX(x), kal::pixelsY(y)};
    }
    void pointer(int k)
    {
        QWidget* zone = panneau().L_fichouvrir.zone();
        const QPointF pos = centre(k);
        QMouseEvent e(QEvent::MouseMove, pos, zone->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &e);
    }
    void relacher(int k) { QTest::mouseRelease(panneau().L_fichouvrir.zone(), Qt::LeftButton, {}, centre(k)); }
};

TEST_P(Ouverture, PointerPuisRelacherChargeLeVraiFichier)
{
    jpeg(QStringLiteral("IMG_0001.JPG"), 1600, 1200);
    jpeg(QStringLiteral("Noel.2011.jpg"), 1000, 2000);
    jpeg(QStringLiteral("b.JpG"), 300, 300);
    jpeg(QStringLiteral("x.jpeg"), 300, 300);   // not of the format's extension
    ouvrir();
    kal::PanneauOuverture& p = panneau();
    ASSERT_TRUE(p.F_ouvrir.visible());
    EXPECT_FALSE(ed->c.P_page.visible());
    ASSERT_EQ(p.L_fichouvrir.nombre(), 3);
    EXPECT_EQ(p.L_fichouvrir.entree(0), QStringLiteral("b"));
    EXPECT_EQ(p.L_fichouvrir.entree(1), QStringLiteral("img_0001"));
    EXPECT_EQ(p.L_fichouvrir.entree(2), QStringLiteral("noel"));
    EXPECT_FALSE(p.A_fichouvrir.visible());

    pointer(1);
    EXPECT_EQ(p.fichierouvrir, images + QStringLiteral("/IMG_0001.JPG"));
    const QStringList info = p.E_info.legende().split(QLatin1Char('\r'));
    ASSERT_EQ(info.size(), 3);
    EXPECT_EQ(info[0], QStringLiteral("Photo couleur"));
    EXPECT_EQ(info[1], QStringLiteral("1600 x 1200 pixels"));
    EXPECT_EQ(info[2], QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    // Landscape: 2100 wide, centred in the preview box.
    EXPECT_EQ(p.L_ouvfich.largeur(), 2100);
    EXPECT_EQ(p.L_ouvfich.hauteur(), 1575);
    EXPECT_EQ(p.L_ouvfich.haut(), 570 + (2100 - 1575) / 2);

    pointer(2);   // a portrait with dots in its name
    EXPECT_EQ(p.fichierouvrir, images + QStringLiteral("/Noel.2011.jpg"));
    EXPECT_EQ(p.L_ouvfich.largeur(), 1050);
    EXPECT_EQ(p.L_ouvfich.gauche(), 7665);

    relacher(2);
    EXPECT_FALSE(p.F_ouvrir.visible());
    EXPECT_TRUE(ed->c.P_page.visible());
    EXPECT_EQ(ed->x.etat.objetcourant, 0);
    EXPECT_EQ(ed->x.etat.nbobjets, 1);
    EXPECT_EQ(ed->c.L_photo[0]->bitmap().largeur(), 1000);
    EXPECT_EQ(kal::fs::dossierCourant(), banc.dossier.chemin());
    EXPECT_TRUE(banc.repondeur.messages().empty());
    // The panel opens again in that folder.
    ouvrir();
    EXPECT_EQ(p.R_repouvrir.chemin(), images);
}

TEST_P(Ouverture, RelacherSansNomOuSurUnFichierAbime)
{
    jpeg(QStringLiteral("bonne.jpg"), 200, 100);
    {
        QFile f(images + QStringLiteral("/cassee.jpg"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF\xE0 pas une image");
    }
    ouvrir();
    kal::PanneauOuverture& p = panneau();
    kal::CompteurBips bips;
    // Below the last name: nothing is picked, the release asks for a name.
    pointer(5);
    EXPECT_EQ(p.L_fichouvrir.indexCourant(), -1);
    relacher(5);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].texte, QStringLiteral("Indiquer un nom de fichier"));
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("NOM DE FICHIER ABSENT"));
    EXPECT_EQ(banc.repondeur.messages()[0].style, 48);
    EXPECT_EQ(bips.nombre(), 1);
    EXPECT_TRUE(p.F_ouvrir.visible());
    // A damaged file: an empty preview, and no slot is taken.
    pointer(1);   // "cassee", after "bonne"
    EXPECT_EQ(p.fichierouvrir, images + QStringLiteral("/cassee.jpg"));
    EXPECT_TRUE(p.L_ouvfich.estVide());
    relacher(1);
    // The release says that file cannot be read, and why, in French.
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    const kal::MessageAffiche& illisible = banc.repondeur.messages()[1];
    EXPECT_EQ(illisible.titre, QStringLiteral("FICHIER ILLISIBLE"));
    ASSERT_EQ(illisible.lignes().size(), 2);
    EXPECT_EQ(illisible.lignes()[0], QStringLiteral("Le fichier cassee.jpg ne peut pas être lu:"));
    EXPECT_EQ(illisible.lignes()[1], QStringLiteral("en-tête JPEG tronqué"));
    EXPECT_EQ(ed->x.etat.nbobjets, 0);
    EXPECT_FALSE(kal::fs::existe(banc.dossier.fichier(QStringLiteral("photo0.svc"))));
    // Cancel: the work folder is current, nothing was made.
    p.B_annulouvfich.cliquer();
    EXPECT_FALSE(p.F_ouvrir.visible());
    EXPECT_TRUE(ed->c.P_page.visible());
    EXPECT_EQ(kal::fs::dossierCourant(), banc.dossier.chemin());
}

// Names the disk holds in Latin-1, not UTF-8 (a real JPEG "caf\xe9.jpg", a folder "vac\xe9s"): shown
// readably, refused with what is wrong and what to do; the rest of the folder as usual.
TEST_P(Ouverture, UnNomQuiNEstPasEnUtf8EstMontreLisibleEtRefuseClairement)
{
    jpeg(QStringLiteral("bonne.jpg"), 200, 100);
    jpeg(QStringLiteral("cafe.jpg"), 100, 100);
    const QByteArray dossier = QFile::encodeName(images);
    ASSERT_EQ(::rename(dossier + "/cafe.jpg", dossier + "/caf\xe9.jpg"), 0);
    ASSERT_EQ(::mkdir(dossier + "/vac\xe9s", 0755), 0);
    ouvrir();
    kal::PanneauOuverture& p = panneau();
    ASSERT_EQ(p.L_fichouvrir.nombre(), 2);
    EXPECT_EQ(p.L_fichouvrir.entree(1), QStringLiteral("café"));
    kal::CompteurBips bips;
    pointer(1);
    EXPECT_TRUE(p.L_ouvfich.estVide());
    EXPECT_EQ(p.E_info.legende(), QStringLiteral("Nom illisible"));
    relacher(1);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    const kal::MessageAffiche m = banc.repondeur.messages()[0];
    EXPECT_EQ(m.titre, QStringLiteral("NOM ILLISIBLE"));
    EXPECT_EQ(m.lignes(), (QStringList{"Le nom du fichier café.jpg ne peut pas être lu:",
                                       "il n'est pas écrit en UTF-8 (il vient sans doute d'un ancien système).",
                                       "Renommer le fichier, puis le choisir à nouveau."}));
    EXPECT_EQ(bips.nombre(), 1);
    EXPECT_TRUE(p.F_ouvrir.visible());
    EXPECT_EQ(ed->x.etat.nbobjets, 0);

    // The folder: refused the same way, the list left on the folder shown.
    QListWidget* l = p.R_repouvrir.liste();
    const int ligne = l->count() - 1;
    ASSERT_EQ(l->item(ligne)->text().trimmed(), QStringLiteral("vacés"));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(ligne)).center());
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    EXPECT_EQ(banc.repondeur.messages()[1].lignes()[0], QStringLiteral("Le nom du dossier vacés ne peut pas être lu:"));
    EXPECT_EQ(p.R_repouvrir.chemin(), images);
    EXPECT_EQ(p.R_repouvrir.indexCourant(), p.R_repouvrir.indexChemin());
    QCoreApplication::processEvents();
    ASSERT_EQ(l->selectedItems().size(), 1);   // the view shows it too
    EXPECT_EQ(l->row(l->selectedItems()[0]), p.R_repouvrir.indexChemin());
    EXPECT_EQ(p.L_fichouvrir.nombre(), 2);

    // The other photo loads as ever.
    pointer(0);
    relacher(0);
    EXPECT_FALSE(p.F_ouvrir.visible());
    EXPECT_EQ(ed->x.etat.nbobjets, 1);
    EXPECT_EQ(banc.repondeur.messages().size(), 2u);
}

TEST_P(Ouverture, SoixanteQuatreNomsSansCurseurSoixanteCinqAvec)
{
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::blue);
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(img.save(images + QStringLiteral("/f%1.jpg").arg(i, 3, 10, QLatin1Char('0')), "JPEG"));
    ouvrir();
    kal::PanneauOuverture& p = panneau();
    EXPECT_EQ(p.L_fichouvrir.nombre(), 64);
    EXPECT_FALSE(p.A_fichouvrir.visible());
    ASSERT_TRUE(img.save(images + QStringLiteral("/f064.jpg"), "JPEG"));
    p.B_annulouvfich.cliquer();
    ouvrir();
    EXPECT_TRUE(p.A_fichouvrir.visible());
    EXPECT_EQ(p.A_fichouvrir.max(), 1);
    p.A_fichouvrir.definirValeur(1);
    EXPECT_EQ(p.L_fichouvrir.nombre(), 49);   // files 16 to 64
    EXPECT_EQ(p.L_fichouvrir.entree(0), QStringLiteral("f016"));
    // A shorter listing brings the slider back within its range.
    for (int i = 20; i < 65; ++i)
        kal::fs::supprimerFichier(images + QStringLiteral("/f%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
    p.listefichouvrir();
    EXPECT_EQ(p.A_fichouvrir.valeur(), 0);
    EXPECT_EQ(p.L_fichouvrir.nombre(), 20);
}

TEST_P(Ouverture, RefusASeizeObjets)
{
    ed->x.etat.nbobjets = 16;
    ouvrir();
    EXPECT_FALSE(panneau().F_ouvrir.visible());
    EXPECT_TRUE(ed->c.P_page.visible());
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre,
              GetParam() == TypeEditeur::Jaquette ? QStringLiteral("16 OBJETS SUR LA JAQUETTE") : QStringLiteral("16 OBJETS SUR LA PAGE"));
}

TEST_P(Ouverture, LePanneauCacheCeQuiEstDessous)
{
    ouvrir();
    kal::PanneauOuverture& p = panneau();
    ASSERT_TRUE(p.F_ouvrir.visible());
    // The empty strip between the information line and the bottom of the panel's right part is
    // of one colour, the panel's: nothing of the editor under the panel shows there.
    QWidget* boite = p.F_ouvrir.boite();
    const QImage vue = ed->grab().toImage();
    const QPoint a = boite->mapTo(ed, QPoint(kal::pixelsX(7200), kal::pixelsY(3310)));
    const QPoint b = boite->mapTo(ed, QPoint(kal::pixelsX(9200), kal::pixelsY(3460)));
    const QColor fond = vue.pixelColor(a * vue.devicePixelRatio());
    int autres = 0;
    for (int y = a.y(); y < b.y(); ++y)
        for (int x = a.x(); x < b.x(); ++x)
            autres += vue.pixelColor(x * vue.devicePixelRatio(), y * vue.devicePixelRatio()) != fond;
    EXPECT_EQ(autres, 0);
}

// A photo of a saved page that was a text-image there, whose text cannot come along (a folder
// stands where its work file goes): loaded as a photo, and the person is told.
TEST_P(Ouverture, UnTexteQuiNePeutPasSuivreLaPhotoEstSignale)
{
    const QString page = banc.dossier.fichier(QStringLiteral("persopag/Souvenir"));
    ASSERT_TRUE(QDir().mkpath(page));
    ASSERT_TRUE(QDir().mkpath(kal::fichierTexte(0)));
    kal::fs::ecrireTexte(page + QStringLiteral("/texte0.rtf"), QStringLiteral("{\\rtf1 Souvenir}"));
    kal::fs::ecrireFichier(page + (jaq() ? QStringLiteral("/jaquet.txt") : QStringLiteral("/page.txt")), {});
    kal::creerBaseTravail(page + QStringLiteral("/kalmorin.mdb"));
    {
        kal::bd::SourceDonnees sauvee;
        sauvee.definirBase(page + QStringLiteral("/kalmorin.mdb"));
        kal::Fiches fiches(sauvee);
        fiches.sourceTable();
        fiches.modifier(0, [](kal::bd::JeuEnregistrements& j) { j.mettre(kal::champ::textimage, true); });
    }
    images = page;
    jpeg(QStringLiteral("photo0.jpg"), 320, 240);
    ouvrir();
    pointer(0);
    relacher(0);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_TRUE(banc.repondeur.messages()[0].texte.startsWith(
        QStringLiteral("Le texte de la photo photo0.jpg n'a pas été repris, elle est chargée comme photo : ")))
        << banc.repondeur.messages()[0].texte.toStdString();
    EXPECT_EQ(ed->x.etat.nbobjets, 1);
    EXPECT_FALSE(banc.champ(0, kal::champ::textimage).toBool());
    EXPECT_EQ(ed->c.L_photo[0]->bitmap().largeur(), 320);
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Ouverture, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
