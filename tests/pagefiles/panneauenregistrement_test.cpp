// The save-as panel on its own, as the page editor shows it: its lists on real folders, its
// preview and information line, the enabling it asks for as a format is picked or a name typed.
#include "support/dossiertemp.h"
#include "pagefiles/enregistrement.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "state/partage.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

class Panneau : public ::testing::Test {
protected:
    kaltest::DossierTravail dossier;
    kal::ReglagesPartages partage;
    QWidget fenetre;
    std::unique_ptr<kal::PanneauEnregistrement> p;
    std::vector<std::pair<bool, bool>> demandes;   // what surCompression was asked

    void SetUp() override
    {
        partage.gamma = 180;
        p = std::make_unique<kal::PanneauEnregistrement>(&fenetre,
                                                         kal::ContextePanneau{&fenetre, &partage, dossier.chemin()});
        p->surCompression = [this](bool q, bool e) { demandes.emplace_back(q, e); };
        fenetre.resize(800, 600);
        fenetre.show();
    }
    void fichier(const QString& nom)
    {
        QFile f(dossier.fichier(nom));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QStringList noms() const
    {
        QStringList n;
        for (int i = 0; i < p->L_fichier.nombre(); ++i)
            n << p->L_fichier.entree(i);
        return n;
    }
    static kal::image::Photo uni(int l, int h, QRgb c)
    {
        QImage img(l, h, QImage::Format_RGB32);
        img.fill(c);
        return kal::image::Photo(img, qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) ? 8 : 24);
    }
};

TEST_F(Panneau, OuvertureSurLePremierFormatEtListeDesNomsCoupes)
{
    fichier(QStringLiteral("Photo.One.jpg"));
    fichier(QStringLiteral("photo2.JPG"));
    fichier(QStringLiteral("x.jpeg"));
    fichier(QStringLiteral("carte.bmp"));
    p->ouvrir();
    EXPECT_TRUE(p->F_enreg.visible());
    ASSERT_EQ(p->L_formenreg.nombre(), 7);
    QStringList formats;
    for (int i = 0; i < 7; ++i)
        formats << p->L_formenreg.entree(i);
    EXPECT_EQ(formats, (QStringList{"Format JPEG JPG", "Format LeadTools CMP", "Format TARGA TGA", "Format TIF",
                                    "Format Bitmap BMP", "Format Zsoft PCX", "Format Windows Metafile WMF"}));
    EXPECT_EQ(p->position(), 0);
    EXPECT_EQ(p->extension(), QStringLiteral("JPG"));
    // Picking the first format asked for the quality group and the save button both off.
    ASSERT_EQ(demandes.size(), 1u);
    EXPECT_EQ(demandes[0], std::make_pair(false, false));
    // The opening lists no names; the folder's own listing does, cut at the first ".".
    EXPECT_EQ(p->L_fichier.nombre(), 0);
    EXPECT_EQ(p->R_repertoire.chemin(), dossier.chemin());
    p->listefichier();
    EXPECT_EQ(noms(), (QStringList{"Photo", "photo2"}));

    // A format picked alone lists nothing new.
    p->L_formenreg.definirIndex(4);
    EXPECT_EQ(demandes.back(), std::make_pair(false, true));
    EXPECT_EQ(noms(), (QStringList{"Photo", "photo2"}));
    p->listefichier();
    EXPECT_EQ(noms(), QStringList{"carte"});
}

TEST_F(Panneau, UnNomTapeDemandeLaCompressionPourJpgEtCmpSeulement)
{
    p->ouvrir();
    demandes.clear();
    QTest::keyClicks(p->L_fichier.saisie.ligne(), "ab");
    ASSERT_EQ(demandes.size(), 2u);
    EXPECT_EQ(demandes[1], std::make_pair(true, false));
    p->L_fichier.definirTexte(QString());   // an empty text changes nothing
    EXPECT_EQ(demandes.size(), 2u);
    p->L_formenreg.definirIndex(1);         // CMP
    EXPECT_EQ(demandes.back(), std::make_pair(false, false));
    p->L_fichier.definirTexte(QStringLiteral("c"));
    EXPECT_EQ(demandes.back(), std::make_pair(true, false));
    p->L_formenreg.definirIndex(6);         // WMF
    p->L_fichier.definirTexte(QStringLiteral("cd"));
    EXPECT_EQ(demandes.back(), std::make_pair(false, true));
}

TEST_F(Panneau, ChoisirUnNomDeLaListeRemplitLeTexteSansChangement)
{
    fichier(QStringLiteral("vacances.JPG"));
    p->ouvrir();
    p->listefichier();
    ASSERT_EQ(p->L_fichier.nombre(), 1);
    demandes.clear();
    QListWidget* l = p->L_fichier.liste.liste();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(0)).center());
    EXPECT_EQ(p->L_fichier.texte(), QStringLiteral("vacances"));
    EXPECT_TRUE(demandes.empty());
}

// A name the disk holds in Latin-1 ("caf\xe9.jpg", a folder "vac\xe9s"): listed readably, but
// neither taken as the name to write nor opened.
TEST_F(Panneau, UnNomQuiNEstPasEnUtf8NEstNiReprisNiOuvert)
{
    kal::RepondeurEnregistreur repondeur;
    fichier(QStringLiteral("bonne.jpg"));
    const QByteArray d = QFile::encodeName(dossier.chemin());
    ASSERT_TRUE(QFile(dossier.fichier("bonne.jpg")).copy(QFile::decodeName(d + "/cafe.jpg")));
    ASSERT_EQ(::rename(d + "/cafe.jpg", d + "/caf\xe9.jpg"), 0);
    ASSERT_EQ(::mkdir(d + "/vac\xe9s", 0755), 0);
    p->ouvrir();
    p->listefichier();
    EXPECT_EQ(noms(), (QStringList{"bonne", "café"}));
    QListWidget* l = p->L_fichier.liste.liste();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(1)).center());
    EXPECT_EQ(p->L_fichier.texte(), QString());
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(0)).center());
    EXPECT_EQ(p->L_fichier.texte(), QStringLiteral("bonne"));
    QListWidget* r = p->R_repertoire.liste();
    const QList<QListWidgetItem*> vaces = r->findItems(QStringLiteral("vacés"), Qt::MatchEndsWith);
    ASSERT_EQ(vaces.size(), 1);
    QTest::mouseClick(r->viewport(), Qt::LeftButton, {}, r->visualItemRect(vaces[0]).center());
    EXPECT_EQ(p->R_repertoire.chemin(), dossier.chemin());
    ASSERT_EQ(repondeur.messages().size(), 2u);
    EXPECT_EQ(repondeur.messages()[0].lignes()[0], QStringLiteral("Le nom du fichier café.jpg ne peut pas être lu:"));
    EXPECT_EQ(repondeur.messages()[1].lignes()[0], QStringLiteral("Le nom du dossier vacés ne peut pas être lu:"));
}

TEST_F(Panneau, UnClicSurUnDossierLOuvreEtListeSesNoms)
{
    QDir().mkpath(dossier.fichier(QStringLiteral("album")));
    {
        QFile f(dossier.fichier(QStringLiteral("album/ete.2023.JPG")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    p->ouvrir();
    const QString album = dossier.fichier(QStringLiteral("album"));
    int ligne = -1;
    for (int i = 0; i < p->R_repertoire.nombre(); ++i)
        if (p->R_repertoire.entree(i) == album)
            ligne = i;
    ASSERT_GE(ligne, 0);
    QListWidget* l = p->R_repertoire.liste();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(ligne)).center());
    EXPECT_EQ(p->R_repertoire.chemin(), album);
    EXPECT_EQ(noms(), QStringList{"ete"});
    // Browsing never changes the current folder; QUITTER makes the work folder current anyway.
    EXPECT_EQ(kal::fs::dossierCourant(), dossier.chemin());
    bool ferme = false;
    p->surFermeture = [&] { ferme = true; };
    kal::fs::changerDossier(album);
    p->B_quitter.cliquer();
    EXPECT_TRUE(ferme);
    EXPECT_FALSE(p->F_enreg.visible());
    EXPECT_EQ(kal::fs::dossierCourant(), dossier.chemin());
}

TEST_F(Panneau, ApercuCentreEtLigneDInformation)
{
    kal::ControleImage photo(&fenetre);
    photo.definirBitmap(uni(3000, 2000, qRgb(200, 40, 40)));
    p->infoenreg(photo);
    EXPECT_EQ(p->L_enreg.largeur(), 2490);
    EXPECT_EQ(p->L_enreg.hauteur(), 1660);
    EXPECT_EQ(p->L_enreg.gauche(), 4320);
    EXPECT_EQ(p->L_enreg.haut(), 925);
    EXPECT_TRUE(p->L_enreg.visible());
    EXPECT_EQ(p->L_enreg.gammaaffichage(), 180);
    EXPECT_TRUE(p->L_enreg.bitmap().memeEtat(photo.bitmap()));
    EXPECT_EQ(p->E_infenreg.legende(), QStringLiteral("Photo couleur\r3000 x 2000 pixels\r18  000 000  octets"));

    photo.definirBitmap(uni(2000, 3000, qRgb(90, 90, 90)));
    p->infoenreg(photo);
    EXPECT_EQ(p->L_enreg.largeur(), 1660);
    EXPECT_EQ(p->L_enreg.hauteur(), 2490);
    EXPECT_EQ(p->L_enreg.gauche(), 4735);
    EXPECT_EQ(p->L_enreg.haut(), 510);
    // 8 bits a pixel: 6,000,000 bytes; the pattern's blanks stay where the digits run out.
    EXPECT_EQ(p->E_infenreg.legende(), QStringLiteral("Photo monochrome\r2000 x 3000 pixels\r6  000 000  octets"));

    photo.definirBitmap(uni(100, 150, qRgb(10, 200, 30)));
    p->infoenreg(photo);
    EXPECT_EQ(p->E_infenreg.legende().section(QLatin1Char('\r'), 2), QStringLiteral("  45 000  octets"));
}

}  // namespace
