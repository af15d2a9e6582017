// Text-images on both editors, made as the person makes them: "Créer Texte-Image" from the
// function list, keys typed into the composition box, the font and colour dialogs, the frame
// box and the thumbnail; checked on the real work files, the work database and the pictures.
#include "banc_texte.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"

using kal::TypeEditeur;
using kaltest::BancTexte;

namespace {

constexpr int Gris = 0x808080;

kal::Police police(const QString& nom, double taille, bool gras = false, bool italique = false)
{
    return kal::Police{nom, taille, gras, italique, false, false};
}

class TexteImage : public ::testing::TestWithParam<TypeEditeur> {
protected:
    BancTexte b{GetParam()};
    bool jaq() const { return GetParam() == TypeEditeur::Jaquette; }
    const std::vector<kal::MessageAffiche>& messages() { return b.a.banc.repondeur.messages(); }
    // The current object after a creation.
    int courant() { return b.e().objetcourant; }
};

TEST_P(TexteImage, CreerTexteImageDansLePlusPetitNumeroLibreAvecSesQuatreFichiers)
{
    b.a.chargerPhotos(3, 64, 48);
    b.a.ecrire(1, QStringLiteral("occup"), false);   // objects 0 and 2 remain
    ASSERT_TRUE(b.creer());
    const int n = courant();
    ASSERT_EQ(n, 1);
    EXPECT_EQ(b.e().nomsobjets[1], QStringLiteral("Texte-Image 1"));
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("textimage"));
    EXPECT_TRUE(b.champ(n, "occup").toBool());
    EXPECT_TRUE(b.champ(n, "textimage").toBool());
    for (const QString& f : kal::fichierstravail(n))
        EXPECT_TRUE(kal::fs::estFichier(f)) << f.toStdString();
    // An empty text in the starting font, the panel shown with the caret in the box.
    EXPECT_TRUE(b.boite().contenutexte().isEmpty());
    EXPECT_EQ(b.boite().selpolice(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(b.boite().seltaille(), 24);
    EXPECT_TRUE(b.ed()->c.F_compos.visible());
    EXPECT_EQ(b.ed()->c.L_fonction.indexCourant(), -1);
    EXPECT_TRUE(messages().empty());
    // The page renders the new object at once; the jacket shows the grey placeholder until the
    // first key.
    const QRgb p = b.a.pixel(b.photo(n), 0, 0);
    if (jaq()) {
        EXPECT_EQ(p & 0xFFFFFF, static_cast<QRgb>(Gris));
    } else {
        EXPECT_NE(p & 0xFFFFFF, static_cast<QRgb>(Gris));
    }

    // Typing renders: the picture has the size of the text as measured, and texte<n>.svc is the
    // box's RTF.
    b.taper(QStringLiteral("Bonjour"));
    const kal::Police p24 = police(QStringLiteral("MS Sans Serif"), 24);
    EXPECT_EQ(b.photo(n).bitmap().largeur(), kal::largeurDuTexte(QStringLiteral("Bonjour"), p24));
    EXPECT_EQ(b.photo(n).bitmap().hauteur(), kal::hauteurDuTexte(QStringLiteral("Bonjour"), p24));
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Bonjour"));
    const QString copie = b.a.banc.dossier.fichier(QStringLiteral("boite.rtf"));
    b.boite().sauvertexte(copie, 0);
    EXPECT_EQ(BancTexte::octets(kal::fichierTexte(n)), BancTexte::octets(copie));
    EXPECT_EQ(b.champ(n, "fontname").toString(), QStringLiteral("MS Sans Serif"));
    // The three picture copies are one encoding; no file is left aside.
    EXPECT_EQ(BancTexte::octets(kal::fichierInit(n)), BancTexte::octets(kal::fichierSauv(n)));
    EXPECT_TRUE(QDir(b.a.banc.dossier.chemin()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden).isEmpty());
    // The other objects are still on the page or face.
    EXPECT_EQ(b.e().nbobjets, 3);
}

TEST_P(TexteImage, LeTexteMesureEstLeTexteDessine)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.taper(QStringLiteral("Bonjour"));
    b.entree();
    b.taper(QStringLiteral("le monde"));
    const QString texte = QStringLiteral("Bonjour\r\nle monde");
    ASSERT_EQ(b.boite().contenutexte(), texte);
    const kal::Police p24 = police(QStringLiteral("MS Sans Serif"), 24);
    const int l = kal::largeurDuTexte(texte, p24), h = kal::hauteurDuTexte(texte, p24);
    const QImage img = b.photo(n).bitmap().pleine();
    ASSERT_EQ(img.size(), QSize(l, h));
    // White background, black text reaching from the first line to the second and to within a
    // side bearing of the right edge ("le monde" is the wider line).
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    const QRect r = BancTexte::encre(img, qRgb(255, 255, 255));
    ASSERT_FALSE(r.isNull());
    EXPECT_LT(r.top(), h / 4);
    EXPECT_GT(r.bottom(), h / 2);
    EXPECT_LT(r.left(), 120);
    EXPECT_GT(r.right(), l - 120);
    // The second line is drawn where the first one ends.
    EXPECT_GT(BancTexte::encre(img.copy(0, h / 2, l, h / 2), qRgb(255, 255, 255)).width(), l / 2);
}

TEST_P(TexteImage, DeDeuxATroisLignesLaHauteurRangeeCroitDeMoitie)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.taper(QStringLiteral("A"));
    b.entree();
    b.taper(QStringLiteral("B"));
    // A printed height well inside the surface, set with the format slider.
    kal::Curseur& format = b.ed()->c.A_format;
    format.definirValeur(std::max(format.min() + 300, 2000));
    b.ed()->x.objets().chargimp();
    const double h2 = b.champ(n, "heightimp").toDouble();
    ASSERT_GT(h2, 0);
    EXPECT_EQ(b.e().tabobjets[static_cast<size_t>(n)][kal::col::Lignes], 2);

    b.entree();
    b.taper(QStringLiteral("C"));
    EXPECT_EQ(b.e().tabobjets[static_cast<size_t>(n)][kal::col::Lignes], 3);
    const double h3 = b.champ(n, "heightimp").toDouble();
    EXPECT_NEAR(h3, 1.5 * h2, 1.0);
    // The width follows the text's own proportions.
    const QString texte = QStringLiteral("A\r\nB\r\nC");
    const kal::Police p24 = police(QStringLiteral("MS Sans Serif"), 24);
    const double r = double(kal::largeurDuTexte(texte, p24)) / kal::hauteurDuTexte(texte, p24);
    EXPECT_NEAR(b.champ(n, "widthimp").toDouble(), h3 * r, 1.0);
}

TEST_P(TexteImage, UnCompteDeLignesNulOuPerimeNEstJamaisUnDiviseur)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.taper(QStringLiteral("x"));
    const double h = b.champ(n, "heightimp").toDouble();
    // A count of 0 (or none known) keeps the stored height.
    b.e().tabobjets[static_cast<size_t>(n)][kal::col::Lignes] = 0;
    b.taper(QStringLiteral("y"));
    EXPECT_NEAR(b.champ(n, "heightimp").toDouble(), h, 1.0);
    EXPECT_GT(b.photo(n).hauteurReelle(), 0);
    // An empty text is one line high and at least one twip wide.
    QTest::keyClick(b.boite().editeur(), Qt::Key_Backspace);
    QTest::keyClick(b.boite().editeur(), Qt::Key_Backspace);
    ASSERT_TRUE(b.boite().contenutexte().isEmpty());
    EXPECT_GE(b.photo(n).bitmap().largeur(), 1);
    EXPECT_EQ(b.photo(n).bitmap().hauteur(), kal::hauteurDuTexte(QString(), police(QStringLiteral("MS Sans Serif"), 24)));
    EXPECT_TRUE(messages().empty());
}

TEST_P(TexteImage, LaFicheNeTientJamaisPlusQueLApercu)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    // A line much wider than the surface at the height the new object was given.
    b.taper(QStringLiteral("Une ligne bien plus large que la page"));
    const double echelle = jaq() ? 1.0 : b.e().echelleimp;
    const kal::ControleImage& p = b.photo(n);
    EXPECT_NEAR(b.champ(n, "widthimp").toDouble() / echelle, p.largeurReelle(), 1.0);
    EXPECT_NEAR(b.champ(n, "heightimp").toDouble() / echelle, p.hauteurReelle(), 1.0);
    EXPECT_LE(b.champ(n, "widthimp").toDouble(), b.e().largeursurface.valeur() + 1);
    // A second line keeps the printed line height the record now holds.
    const double h1 = b.champ(n, "heightimp").toDouble();
    b.entree();
    b.taper(QStringLiteral("B"));
    EXPECT_NEAR(b.champ(n, "heightimp").toDouble(), 2 * h1, 2.0);
}

TEST_P(TexteImage, SeizeObjetsLeRefusNeVidePasLaBoite)
{
    b.a.chargerPhotos(15, 64, 48);
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.dialogues.prevoirPolice(kal::ChoixPolice{police(QStringLiteral("Arial"), 12), 0x0000FF});
    b.ed()->c.B_police.cliquer();
    b.taper(QStringLiteral("Garde"));
    const auto avant = BancTexte::fichiers(n);
    b.a.banc.repondeur.oublier();

    ASSERT_TRUE(b.creer());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].texte, QString::fromUtf8("Impossible de créer un objet supplémentaire"));
    EXPECT_EQ(messages()[0].titre, jaq() ? QStringLiteral("16 OBJETS SUR LA JAQUETTE") : QStringLiteral("16 OBJETS SUR LA PAGE"));
    EXPECT_EQ(messages()[0].style, 48);
    // The text-image stays current with its text, its font and its controls.
    EXPECT_EQ(courant(), n);
    EXPECT_EQ(b.boite().contenutexte(), QStringLiteral("Garde"));
    EXPECT_EQ(b.boite().selpolice(), QStringLiteral("Arial"));
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("textimage"));
    EXPECT_TRUE(b.ed()->c.F_compos.visible());
    EXPECT_EQ(BancTexte::fichiers(n), avant);
    // A store now (the save of a page makes one) keeps the text-image's own font and text.
    b.ed()->x.imagerie().sauvphoto();
    EXPECT_EQ(b.champ(n, "fontname").toString(), QStringLiteral("Arial"));
    EXPECT_EQ(b.champ(n, "fontsize").toDouble(), 12);
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Garde"));

    if (jaq()) {
        // The limit counts the face shown: the back face still takes a text-image.
        b.ed()->c.O_arriere.definirValeur(true);
        b.a.banc.repondeur.oublier();
        ASSERT_TRUE(b.creer());
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(courant(), 16);
        EXPECT_TRUE(b.champ(16, "textimage").toBool());
    }
}

TEST_P(TexteImage, LObjetCourantEstRangeAvantQueLaBoiteChange)
{
    b.a.chargerPhotos(1, 64, 48);
    ASSERT_TRUE(b.creer());
    const int premier = courant();
    b.dialogues.prevoirPolice(kal::ChoixPolice{police(QStringLiteral("Arial"), 12, true), 0});
    b.ed()->c.B_police.cliquer();
    b.taper(QStringLiteral("Premier"));

    ASSERT_TRUE(b.creer());
    const int second = courant();
    ASSERT_NE(second, premier);
    // The first keeps its text and its font; the new one starts empty in its own font.
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(premier)), QStringLiteral("Premier"));
    EXPECT_EQ(b.champ(premier, "fontname").toString(), QStringLiteral("Arial"));
    EXPECT_EQ(b.champ(premier, "fontsize").toDouble(), 12);
    EXPECT_TRUE(b.champ(premier, "fontbold").toBool());
    EXPECT_TRUE(b.boite().contenutexte().isEmpty());
    EXPECT_EQ(b.boite().selpolice(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(b.champ(second, "fontname").toString(), QStringLiteral("MS Sans Serif"));
    // The photo stored before the first text-image took no font.
    EXPECT_NE(b.champ(0, "fontname").toString(), QStringLiteral("MS Sans Serif"));
    EXPECT_FALSE(b.champ(0, "textimage").toBool());

    // Making the first one current again brings its text back into the box.
    b.a.cliquer(b.photo(premier));
    EXPECT_EQ(courant(), premier);
    EXPECT_EQ(b.boite().contenutexte(), QStringLiteral("Premier"));
    EXPECT_EQ(b.boite().selpolice(), QStringLiteral("Arial"));
}

TEST_P(TexteImage, LaPoliceChoisieVaATousLesCaracteresEtLAnnulationNeChangeRien)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.taper(QStringLiteral("ab"));
    b.entree();
    b.taper(QStringLiteral("c"));
    const int32_t formatAvant = b.ed()->c.A_format.valeur();
    b.dialogues.prevoirPolice(kal::ChoixPolice{police(QStringLiteral("Times New Roman"), 30, true, true), 0x0000FF});
    b.ed()->c.B_police.cliquer();
    ASSERT_EQ(b.dialogues.demandes().size(), 1u);
    EXPECT_EQ(b.dialogues.demandes()[0].police.police.nom, QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(b.dialogues.demandes()[0].options, 259);
    // Every character, the one typed before included, has the chosen font.
    kal::BoiteTexteRiche& t = b.boite();
    for (int i : {0, 1, 4}) {
        t.definirSelectiondebut(i);
        t.definirSelectionlongueur(1);
        EXPECT_EQ(t.selpolice(), QStringLiteral("Times New Roman")) << i;
        EXPECT_EQ(t.seltaille(), 30) << i;
        EXPECT_TRUE(t.selgras() && t.selitalique()) << i;
        EXPECT_EQ(t.selcouleur(), 0x0000FF) << i;
    }
    const QString texte = QStringLiteral("ab\r\nc");
    const kal::Police p30 = police(QStringLiteral("Times New Roman"), 30, true, true);
    EXPECT_EQ(b.photo(n).bitmap().hauteur(), kal::hauteurDuTexte(texte, p30));
    EXPECT_EQ(b.photo(n).bitmap().largeur(), kal::largeurDuTexte(texte, p30));
    // The text is drawn red.
    const QImage img = b.photo(n).bitmap().pleine();
    bool rouge = false;
    for (int y = 0; y < img.height() && !rouge; ++y)
        for (int x = 0; x < img.width() && !rouge; ++x)
            rouge = qRed(img.pixel(x, y)) > 200 && qGreen(img.pixel(x, y)) < 60;
    EXPECT_TRUE(rouge);
    // The page puts the format back as it was before the dialog.
    if (!jaq()) {
        EXPECT_EQ(b.ed()->c.A_format.valeur(), formatAvant);
    }
    b.ed()->x.imagerie().sauvphoto();
    EXPECT_EQ(b.champ(n, "fontname").toString(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(b.champ(n, "fontcolor").toInt(), 0x0000FF);

    // Cancelled: nothing changes on screen or on disk.
    const auto fichiers = BancTexte::fichiers(n);
    const QByteArray base = BancTexte::octets(b.a.base());
    const int32_t format = b.ed()->c.A_format.valeur();
    const QImage affichee = b.photo(n).bitmap().pleine();
    b.ed()->c.B_police.cliquer();   // no answer prepared: the person cancels
    EXPECT_EQ(b.dialogues.demandes().size(), 2u);
    EXPECT_EQ(BancTexte::fichiers(n), fichiers);
    EXPECT_EQ(BancTexte::octets(b.a.base()), base);
    EXPECT_EQ(b.ed()->c.A_format.valeur(), format);
    EXPECT_EQ(b.photo(n).bitmap().pleine(), affichee);
    t.definirSelectiondebut(0);
    t.definirSelectionlongueur(1);
    EXPECT_EQ(t.selpolice(), QStringLiteral("Times New Roman"));
    EXPECT_TRUE(messages().empty());
}

TEST_P(TexteImage, LaCouleurDeFondEtSonAnnulation)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.taper(QStringLiteral("Fond"));
    b.ed()->x.imagerie().sauvphoto();
    const int32_t margeH = b.ed()->c.A_margeH.valeur(), margeV = b.ed()->c.A_margeV.valeur();
    const int32_t format = b.ed()->c.A_format.valeur();
    const QVariant fondFiche = b.champ(n, "backcolor");

    b.dialogues.prevoirCouleur(0x00FFFF);   // yellow
    b.ed()->c.B_couleur.cliquer();
    ASSERT_EQ(b.dialogues.demandes().size(), 1u);
    EXPECT_EQ(b.dialogues.demandes()[0].couleur, 0xFFFFFF);
    EXPECT_EQ(b.dialogues.demandes()[0].options, 5);
    EXPECT_EQ(b.boite().fondtexte(), 0x00FFFF);
    const QRgb coin = b.a.pixel(b.photo(n), 0, 0);
    EXPECT_GT(qRed(coin), 240);
    EXPECT_GT(qGreen(coin), 240);
    EXPECT_LT(qBlue(coin), 40);
    // The object keeps its place and size.
    EXPECT_EQ(b.ed()->c.A_margeH.valeur(), margeH);
    EXPECT_EQ(b.ed()->c.A_margeV.valeur(), margeV);
    EXPECT_EQ(b.ed()->c.A_format.valeur(), format);
    // The page leaves the record as it was; the next store writes the colour.
    if (!jaq()) {
        EXPECT_EQ(b.champ(n, "backcolor"), fondFiche);
        b.ed()->x.imagerie().sauvphoto();
    }
    EXPECT_EQ(b.champ(n, "backcolor").toInt(), 0x00FFFF);

    // Cancelled: nothing changes on screen or on disk.
    const auto fichiers = BancTexte::fichiers(n);
    const QByteArray base = BancTexte::octets(b.a.base());
    const QImage affichee = b.photo(n).bitmap().pleine();
    b.ed()->c.B_couleur.cliquer();
    EXPECT_EQ(b.dialogues.demandes().size(), 2u);
    EXPECT_EQ(b.boite().fondtexte(), 0x00FFFF);
    EXPECT_EQ(BancTexte::fichiers(n), fichiers);
    EXPECT_EQ(BancTexte::octets(b.a.base()), base);
    EXPECT_EQ(b.photo(n).bitmap().pleine(), affichee);
    EXPECT_EQ(b.ed()->c.A_margeH.valeur(), margeH);
    EXPECT_EQ(b.ed()->c.A_format.valeur(), format);
    EXPECT_TRUE(messages().empty());
}

TEST_P(TexteImage, LeCadreRedessineLeTexteImageEtGardeLeFormat)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.taper(QStringLiteral("Cadre"));
    const int32_t format = b.ed()->c.A_format.valeur();
    const QImage sans = b.photo(n).bitmap().pleine();
    b.ed()->c.C_cadre.definirValeur(1);
    EXPECT_EQ(b.champ(n, "cadre").toInt(), 1);
    EXPECT_EQ(b.ed()->c.A_format.valeur(), format);
    const QImage avec = b.photo(n).bitmap().pleine();
    ASSERT_EQ(avec.size(), sans.size());
    // A dark frame at the picture's edge, where the text left white.
    EXPECT_LT(qRed(avec.pixel(avec.width() / 2, 0)), 200);
    EXPECT_GT(qRed(sans.pixel(sans.width() / 2, 0)), 240);
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("textimage"));
    EXPECT_TRUE(messages().empty());
}

TEST_P(TexteImage, LaCopieDUnTexteImagePrendSonTexteSaPoliceEtSonFond)
{
    ASSERT_TRUE(b.creer());
    const int k = courant();
    b.dialogues.prevoirPolice(kal::ChoixPolice{police(QStringLiteral("Courier New"), 14), 0x008000});
    b.ed()->c.B_police.cliquer();
    b.dialogues.prevoirCouleur(0xE0E0FF);
    b.ed()->c.B_couleur.cliquer();
    b.taper(QStringLiteral("Un"));
    b.entree();
    b.entree();
    b.taper(QStringLiteral("Deux"));
    b.ed()->x.imagerie().sauvphoto();

    b.a.cliquer(b.a.miniature(k));
    const int n = courant();
    ASSERT_NE(n, k);
    EXPECT_TRUE(b.champ(n, "textimage").toBool());
    EXPECT_EQ(b.e().nomsobjets[static_cast<size_t>(n)], QStringLiteral("Texte-Image ") + QString::number(n));
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Un\n\nDeux"));
    EXPECT_EQ(b.boite().contenutexte(), QStringLiteral("Un\r\n\r\nDeux"));
    EXPECT_EQ(b.champ(n, "fontname").toString(), QStringLiteral("Courier New"));
    EXPECT_EQ(b.champ(n, "fontsize").toDouble(), 14);
    EXPECT_EQ(b.champ(n, "fontcolor").toInt(), 0x008000);
    EXPECT_EQ(b.champ(n, "backcolor").toInt(), 0xE0E0FF);
    // The copy's lines are counted by the text-images' rule: a CR LF right after another one
    // is passed over.
    EXPECT_EQ(b.e().tabobjets[static_cast<size_t>(n)][kal::col::Lignes], 2);
    // Its own files: typing into the copy leaves the source's text alone.
    b.taper(QStringLiteral("!"));
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(k)), QStringLiteral("Un\n\nDeux"));
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Un\n\nDeux!"));
}

TEST_P(TexteImage, LesTouchesNeDessinentJamaisDansUnePhoto)
{
    b.a.chargerPhotos(1, 64, 48);
    const auto avant = BancTexte::fichiers(0);
    const QByteArray base = BancTexte::octets(b.a.base());
    b.e().typeobjet = QStringLiteral("textimage");   // even with the kind mistaken
    b.taper(QStringLiteral("zut"));
    EXPECT_EQ(BancTexte::fichiers(0), avant);
    EXPECT_EQ(BancTexte::octets(b.a.base()), base);
    EXPECT_EQ(b.photo(0).bitmap().largeur(), 64);
}

TEST_P(TexteImage, UnGrandTexteEstDessineSousLePlafondDuCalque)
{
    ASSERT_TRUE(b.creer());
    const int n = courant();
    // 30 lines of 80 characters in 24 points: some 19,000 x 16,000 twips, 300 megapixels at
    // 1440 pixels per inch.
    QStringList lignes;
    for (int i = 0; i < 30; ++i)
        lignes << QString(80, QLatin1Char('M'));
    b.boite().definirContenutexte(lignes.join(QStringLiteral("\r\n")));
    b.taper(QStringLiteral("W"));
    ASSERT_TRUE(messages().empty());
    const QString texte = b.boite().contenutexte();
    const kal::Police p24 = police(QStringLiteral("MS Sans Serif"), 24);
    const double l = kal::largeurDuTexte(texte, p24), h = kal::hauteurDuTexte(texte, p24);
    ASSERT_GT(l * h, 4.0 * kal::ControleImage::PixelsTexteMax);
    const QSize t = b.photo(n).bitmap().taille();
    EXPECT_LE(qint64(t.width()) * t.height(), kal::ControleImage::PixelsTexteMax);
    EXPECT_GT(qint64(t.width()) * t.height(), kal::ControleImage::PixelsTexteMax * 0.99);
    EXPECT_NEAR(double(t.width()) / t.height(), l / h, 0.01);
    // The stored size follows the text, whatever the picture's resolution.
    EXPECT_EQ(b.e().tabobjets[static_cast<size_t>(n)][kal::col::Lignes], 30);
    EXPECT_GT(BancTexte::encre(b.photo(n).bitmap().pleine(), qRgb(255, 255, 255)).height(), t.height() * 9 / 10);
}

TEST_P(TexteImage, UnePageEnregistreePuisRouverteGardeSonTexteImage)
{
    b.a.chargerPhotos(1, 64, 48);
    ASSERT_TRUE(b.creer());
    const int n = courant();
    b.dialogues.prevoirPolice(kal::ChoixPolice{police(QStringLiteral("Arial"), 20, true), 0x800000});
    b.ed()->c.B_police.cliquer();
    b.dialogues.prevoirCouleur(0xCCFFCC);
    b.ed()->c.B_couleur.cliquer();
    b.taper(QStringLiteral("Souvenir"));
    const double hauteur = b.champ(n, "heightimp").toDouble();
    // Saved under a name through the pages panel, the page cleared, then opened again.
    kal::PagesPerso& pages = b.ed()->x.fichierspages().pagesPerso();
    pages.listepage();
    b.ed()->c.L_kalmorin.definirTexte(QStringLiteral("Souvenir"));
    b.ed()->c.O_ajout.definirValeur(true);
    b.ed()->c.B_okouvrir.cliquer();
    const QString rtf = b.a.banc.dossier.fichier(QStringLiteral("persopag/Souvenir/texte%1.rtf").arg(n));
    ASSERT_TRUE(kal::fs::estFichier(rtf));
    EXPECT_EQ(BancTexte::texteRtf(rtf), QStringLiteral("Souvenir"));
    ASSERT_TRUE(b.choisir(QStringLiteral("Effacer page")));
    EXPECT_EQ(b.e().nbobjets, 0);
    b.a.banc.repondeur.oublier();
    pages.listepage();
    b.a.banc.repondeur.prevoir(kal::msg::RepNon);
    b.ed()->c.L_kalmorin.definirTexte(QStringLiteral("Souvenir"));
    b.ed()->c.O_ouvrir.definirValeur(true);
    b.ed()->c.B_okouvrir.cliquer();
    EXPECT_TRUE(b.champ(n, "textimage").toBool());
    EXPECT_EQ(b.champ(n, "fontname").toString(), QStringLiteral("Arial"));
    EXPECT_EQ(b.champ(n, "backcolor").toInt(), 0xCCFFCC);
    EXPECT_NEAR(b.champ(n, "heightimp").toDouble(), hauteur, 1.0);
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Souvenir"));
    // Made current, the text-image has its text, font and background in the box again, and the
    // next key renders the whole text. (The jacket's open leaves the back face shown.)
    if (jaq())
        b.ed()->c.O_avant.definirValeur(true);
    b.a.cliquer(b.photo(n));
    ASSERT_EQ(courant(), n);
    EXPECT_EQ(b.boite().contenutexte(), QStringLiteral("Souvenir"));
    EXPECT_EQ(b.boite().selpolice(), QStringLiteral("Arial"));
    EXPECT_EQ(b.boite().fondtexte(), 0xCCFFCC);
    EXPECT_TRUE(b.ed()->c.F_compos.visible());
    QTest::keyClick(b.boite().editeur(), Qt::Key_Backspace);
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Souveni"));
    b.taper(QStringLiteral("r"));
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Souvenir"));
    EXPECT_NEAR(b.champ(n, "heightimp").toDouble(), hauteur, 1.0);
}

INSTANTIATE_TEST_SUITE_P(DeuxEditeurs, TexteImage, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
