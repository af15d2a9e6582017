// "Charg Texte" on the page editor with real RTF files: letters written by a word processor
// (tests/data/rtf), a paragraph left to wrap (too wide), a hundred lines (too high), both, and
// a file that is no RTF; the dialog's cancel and the object limit; and the jacket's
// initimagetexte after an open.
#include "banc_texte.h"
#include "platform/base/ecran.h"
#include "printing/impression.h"

using kal::TypeEditeur;
using kaltest::BancTexte;

namespace {

QString fixture(const char* nom) { return QStringLiteral(KAL_TEST_DATA "/rtf/") + QString::fromLatin1(nom); }

class ChargementRtf : public ::testing::Test {
protected:
    BancTexte b{TypeEditeur::Page};
    const std::vector<kal::MessageAffiche>& messages() { return b.a.banc.repondeur.messages(); }
    // "Charg Texte" with that file chosen in the dialog (none: the dialog is cancelled).
    void charger(const std::optional<QString>& fichier)
    {
        b.dialogues.prevoirFichier(fichier);
        b.ed()->c.L_fonction.definirIndex(-1);
        ASSERT_TRUE(b.choisir(QStringLiteral("Charg Texte")));
    }
    // The plain text of a file as the box reads it (CR LF line ends) and the font at its start.
    struct Lu {
        QString texte;
        kal::Police police;
    };
    Lu lire(const QString& fichier)
    {
        kal::BoiteTexteRiche boite(nullptr);
        boite.chargertexte(fichier, 0);
        boite.definirSelectiondebut(0);
        boite.definirSelectionlongueur(1);
        return {boite.contenutexte(), boite.policeSelection()};
    }
    // Nothing was made: no record taken beyond those given, no work file of slot n.
    void rienDeCree(int n)
    {
        EXPECT_FALSE(b.champ(n, "occup").toBool());
        for (const QString& f : kal::fichierstravail(n))
            EXPECT_FALSE(kal::fs::existe(f)) << f.toStdString();
        EXPECT_FALSE(b.ed()->c.F_compos.visible());
        // The entry stays chosen, as after every road that made nothing.
        EXPECT_NE(b.ed()->c.L_fonction.indexCourant(), -1);
    }
};

TEST_F(ChargementRtf, UneLettreDUnTraitementDeTexteDevientUnTexteImage)
{
    b.a.chargerPhotos(1, 64, 48);
    const Lu lu = lire(fixture("lettre.rtf"));
    ASSERT_FALSE(lu.texte.isEmpty());
    charger(fixture("lettre.rtf"));
    ASSERT_TRUE(messages().empty()) << messages()[0].texte.toStdString();
    ASSERT_EQ(b.dialogues.demandes().size(), 1u);
    EXPECT_EQ(b.dialogues.demandes()[0].filtre, QStringLiteral("Format RichText File RTF|*RTF*|"));
    EXPECT_EQ(b.dialogues.demandes()[0].options, 12);

    const int n = b.e().objetcourant;
    ASSERT_EQ(n, 1);
    EXPECT_EQ(b.e().nomsobjets[1], QStringLiteral("Texte-Image 1"));
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("textimage"));
    EXPECT_TRUE(b.champ(n, "textimage").toBool());
    EXPECT_EQ(b.e().nbobjets, 2);
    EXPECT_TRUE(b.ed()->c.F_compos.visible());
    EXPECT_TRUE(b.photo(n).visible());
    EXPECT_EQ(b.ed()->c.L_fonction.indexCourant(), -1);
    // The text, in the one font found at its start.
    EXPECT_EQ(b.boite().contenutexte(), lu.texte);
    kal::BoiteTexteRiche& t = b.boite();
    for (int i : {0, 12, static_cast<int>(lu.texte.size()) - 1}) {
        t.definirSelectiondebut(i);
        t.definirSelectionlongueur(1);
        EXPECT_EQ(t.selpolice(), lu.police.nom) << i;
        EXPECT_EQ(t.seltaille(), lu.police.taille) << i;
    }
    // Its picture is the text measured in that font (22 megapixels at 1440 pixels per inch,
    // drawn at the scale that keeps it under the cap); its files are there.
    const int l = kal::largeurDuTexte(lu.texte, lu.police), h = kal::hauteurDuTexte(lu.texte, lu.police);
    const double s = kal::ControleImage::echelleTexte(l, h);
    EXPECT_LT(s, 1.0);
    EXPECT_EQ(b.photo(n).bitmap().largeur(), qRound(l * s));
    EXPECT_EQ(b.photo(n).bitmap().hauteur(), qRound(h * s));
    EXPECT_EQ(b.photo(n).echelletexte(), s);
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)).replace(QLatin1Char('\n'), QStringLiteral("\r\n")), lu.texte);
    EXPECT_EQ(b.champ(n, "fontname").toString(), lu.police.nom);
    // The stored size is what the preview shows (the text is not made as many times higher as it
    // has lines), within the surface.
    EXPECT_EQ(b.e().tabobjets[static_cast<size_t>(n)][kal::col::Lignes], kal::compterLignes(lu.texte));
    EXPECT_NEAR(b.champ(n, "heightimp").toDouble() / b.e().echelleimp, b.photo(n).hauteurReelle(), 1.0);
    EXPECT_NEAR(b.champ(n, "widthimp").toDouble() / b.e().echelleimp, b.photo(n).largeurReelle(), 1.0);
    EXPECT_LE(b.champ(n, "widthimp").toDouble(), b.e().largeursurface.valeur() + 1);
    // The photo stored before the load took no font.
    EXPECT_FALSE(b.champ(0, "textimage").toBool());
    EXPECT_NE(b.champ(0, "fontname").toString(), lu.police.nom);
}

TEST_F(ChargementRtf, UnTexteCyrilliqueEstDessine)
{
    const Lu lu = lire(fixture("cyrillique.rtf"));
    charger(fixture("cyrillique.rtf"));
    ASSERT_TRUE(messages().empty());
    const int n = b.e().objetcourant;
    EXPECT_EQ(b.boite().contenutexte(), lu.texte);
    const QImage img = b.photo(n).bitmap().pleine();
    EXPECT_FALSE(BancTexte::encre(img, img.pixel(0, 0)).isNull());
}

TEST_F(ChargementRtf, TropLargeTropHautEtLaLargeurDAbord)
{
    b.a.chargerPhotos(1, 64, 48);
    const auto photo = BancTexte::fichiers(0);
    const struct {
        const char* fichier;
        QString texte;
        QString titre;
    } cas[] = {{"paragraphe-long.rtf",
                QString::fromUtf8("Texte trop large:\rvérifier que chaque ligne se termine par un caractère de saut de ligne"),
                QStringLiteral("TEXTE TROP LARGE")},
               {"cent-lignes.rtf", QStringLiteral("Texte trop haut:"), QStringLiteral("TEXTE TROP HAUT")},
               {"large-et-haut.rtf",
                QString::fromUtf8("Texte trop large:\rvérifier que chaque ligne se termine par un caractère de saut de ligne"),
                QStringLiteral("TEXTE TROP LARGE")}};
    for (const auto& c : cas) {
        SCOPED_TRACE(c.fichier);
        b.a.banc.repondeur.oublier();
        b.ed()->c.L_fonction.definirIndex(-1);
        charger(fixture(c.fichier));
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].texte, c.texte);
        EXPECT_EQ(messages()[0].titre, c.titre);
        EXPECT_EQ(messages()[0].style, 48);
        rienDeCree(1);
        // The photo stays on the page with its record, files and thumbnail; it keeps its kind.
        EXPECT_EQ(b.e().nbobjets, 1);
        EXPECT_TRUE(b.champ(0, "occup").toBool());
        EXPECT_EQ(BancTexte::fichiers(0), photo);
        EXPECT_TRUE(b.a.miniature(0).visible());
        EXPECT_EQ(b.e().typeobjet, QStringLiteral("photo"));
        EXPECT_TRUE(b.boite().contenutexte().isEmpty());
        // A key in the hidden box draws nothing into the photo.
        b.taper(QStringLiteral("k"));
        EXPECT_EQ(BancTexte::fichiers(0), photo);
    }
}

TEST_F(ChargementRtf, UneLargeurEgaleALaSurfacePasse)
{
    const Lu lu = lire(fixture("lettre.rtf"));
    const int largeur = kal::largeurDuTexte(lu.texte, lu.police);
    const int hauteur = kal::hauteurDuTexte(lu.texte, lu.police);
    b.e().hauteursurface = kal::Twips(hauteur);
    b.e().largeursurface = kal::Twips(largeur - 1);
    charger(fixture("lettre.rtf"));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].titre, QStringLiteral("TEXTE TROP LARGE"));
    rienDeCree(0);

    b.a.banc.repondeur.oublier();
    b.ed()->c.L_fonction.definirIndex(-1);
    b.e().largeursurface = kal::Twips(largeur);
    b.e().hauteursurface = kal::Twips(hauteur - 1);
    charger(fixture("lettre.rtf"));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].titre, QStringLiteral("TEXTE TROP HAUT"));
    rienDeCree(0);

    b.a.banc.repondeur.oublier();
    b.e().hauteursurface = kal::Twips(hauteur);
    charger(fixture("lettre.rtf"));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(b.champ(0, "textimage").toBool());
}

TEST_F(ChargementRtf, UnFichierQuiNEstPasDuRtf)
{
    b.a.chargerPhotos(1, 64, 48);
    charger(fixture("pas-rtf.rtf"));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].texte, QString::fromUtf8("Ce format de fichier n'est pas autorisé"));
    EXPECT_EQ(messages()[0].titre, QStringLiteral("FORMAT DE FICHIER INCORRECT"));
    EXPECT_EQ(messages()[0].style, 48);
    rienDeCree(1);
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("photo"));
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Personnalise);

    // A file that cannot be read is told as well, and makes nothing.
    b.a.banc.repondeur.oublier();
    b.ed()->c.L_fonction.definirIndex(-1);
    charger(b.a.banc.dossier.fichier(QStringLiteral("absent.rtf")));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].titre, QStringLiteral("CHARGEMENT TEXTE"));
    rienDeCree(1);
}

// A refused text stores the current photo, whose picture did not change: its work copies are
// not written again (each writing would encode the picture once more).
TEST_F(ChargementRtf, UnRefusNeReecritPasLesCopiesDeLaPhoto)
{
    b.a.chargerPhotos(1, 64, 48);
    const QString png = b.a.banc.dossier.fichier(QStringLiteral("x.rtf"));
    ASSERT_TRUE(QImage(QSize(8, 8), QImage::Format_RGB32).save(png, "PNG"));
    const QStringList copies = {kal::fichierPhoto(0), kal::fichierSauv(0)};
    std::vector<unsigned long long> avant;
    for (const QString& f : copies)
        avant.push_back(kaltest::inode(f));
    for (const QString& fichier : {png, fixture("paragraphe-long.rtf")}) {
        b.a.banc.repondeur.oublier();
        b.ed()->c.L_fonction.definirIndex(-1);
        charger(fichier);
        ASSERT_EQ(messages().size(), 1u);
        for (qsizetype i = 0; i < copies.size(); ++i)
            EXPECT_EQ(kaltest::inode(copies[i]), avant[static_cast<size_t>(i)]) << copies[i].toStdString();
    }
}

TEST_F(ChargementRtf, LeDialogueAnnuleEtLaLimiteDesSeizeObjets)
{
    b.a.chargerPhotos(15, 64, 48);
    charger(std::nullopt);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(b.e().nbobjets, 15);
    EXPECT_FALSE(b.ed()->c.F_compos.visible());
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("photo"));

    b.a.chargerPhotos(1, 64, 48);
    b.ed()->c.L_fonction.definirIndex(-1);
    const size_t demandes = b.dialogues.demandes().size();
    const int courant = b.e().objetcourant;
    const auto fichiers = BancTexte::fichiers(courant);
    ASSERT_TRUE(b.choisir(QStringLiteral("Charg Texte")));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].titre, QStringLiteral("16 OBJETS SUR LA PAGE"));
    // No dialog, no panel over the photo, which keeps its kind and files.
    EXPECT_EQ(b.dialogues.demandes().size(), demandes);
    EXPECT_FALSE(b.ed()->c.F_compos.visible());
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("photo"));
    EXPECT_EQ(b.e().objetcourant, courant);
    b.taper(QStringLiteral("k"));
    EXPECT_EQ(BancTexte::fichiers(courant), fichiers);
}

TEST_F(ChargementRtf, UnRefusGardeLeTexteImageCourant)
{
    ASSERT_TRUE(b.creer());
    const int n = b.e().objetcourant;
    b.dialogues.prevoirPolice(kal::ChoixPolice{kal::Police{QStringLiteral("Arial"), 12, false, false, false, false}, 0});
    b.ed()->c.B_police.cliquer();
    b.taper(QStringLiteral("Garde"));
    const QByteArray texteAvant = BancTexte::octets(kal::fichierTexte(n));

    charger(fixture("paragraphe-long.rtf"));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].titre, QStringLiteral("TEXTE TROP LARGE"));
    // No object freed or made: the text-image stays with its record, files and text.
    EXPECT_EQ(b.e().objetcourant, n);
    EXPECT_EQ(b.e().nbobjets, 1);
    EXPECT_TRUE(b.champ(n, "occup").toBool());
    EXPECT_FALSE(b.champ(n + 1, "occup").toBool());
    EXPECT_EQ(BancTexte::octets(kal::fichierTexte(n)), texteAvant);
    for (const QString& f : kal::fichierstravail(n))
        EXPECT_TRUE(kal::fs::estFichier(f)) << f.toStdString();
    EXPECT_EQ(b.boite().contenutexte(), QStringLiteral("Garde"));
    EXPECT_EQ(b.boite().selpolice(), QStringLiteral("Arial"));
    // A store, as a save makes, keeps its own text and font.
    b.ed()->x.imagerie().sauvphoto();
    EXPECT_EQ(b.champ(n, "fontname").toString(), QStringLiteral("Arial"));
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Garde"));

    // A text loaded while it is current: it keeps its text too.
    b.a.banc.repondeur.oublier();
    b.ed()->c.L_fonction.definirIndex(-1);
    b.a.cliquer(b.photo(n));
    charger(fixture("lettre.rtf"));
    ASSERT_TRUE(messages().empty());
    EXPECT_NE(b.e().objetcourant, n);
    EXPECT_EQ(BancTexte::texteRtf(kal::fichierTexte(n)), QStringLiteral("Garde"));
    EXPECT_EQ(b.champ(n, "fontname").toString(), QStringLiteral("Arial"));
}

TEST(InitImageTexte, LaJaquetteRendSonTexteALaBoite)
{
    BancTexte b{TypeEditeur::Jaquette};
    b.a.chargerPhotos(1, 64, 48);
    ASSERT_TRUE(b.creer());
    const int n = b.e().objetcourant;
    b.taper(QStringLiteral("Avant"));
    b.boite().definirContenutexte(QString());
    b.ed()->c.F_compos.definirVisible(false);
    b.textes().initimagetexte();
    EXPECT_EQ(b.boite().contenutexte(), QStringLiteral("Avant"));
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("textimage"));
    EXPECT_TRUE(b.ed()->c.F_compos.visible());
    EXPECT_EQ(b.e().tabobjets[static_cast<size_t>(n)][kal::col::Lignes], 1);
    EXPECT_EQ(b.photo(n).policeimage.nom, QStringLiteral("MS Sans Serif"));

    // A photo current: the box stays as it was.
    b.a.cliquer(b.photo(0));
    ASSERT_EQ(b.e().objetcourant, 0);
    b.boite().definirContenutexte(QStringLiteral("reste"));
    b.textes().initimagetexte();
    EXPECT_EQ(b.boite().contenutexte(), QStringLiteral("reste"));
    EXPECT_EQ(b.e().typeobjet, QStringLiteral("photo"));
}

}  // namespace

TEST(ImpressionTexteImage, UnTexteImageSImprimeCommeUnePhoto)
{
    BancTexte b{TypeEditeur::Page};
    ASSERT_TRUE(b.creer());
    const int n = b.e().objetcourant;
    b.taper(QStringLiteral("Imprime"));
    b.ed()->c.C_cadre.definirValeur(1);
    b.ed()->x.imagerie().sauvphoto();
    b.a.banc.imp.oublierTraces();
    ASSERT_TRUE(b.ed()->x.impression().impression());
    const auto& traces = b.a.banc.imp.traces();
    const auto image = std::find_if(traces.begin(), traces.end(), [](const kal::Trace& t) { return t.genre == kal::Trace::Genre::Image; });
    ASSERT_NE(image, traces.end());
    // At the record's size, from the rendered picture, framed.
    EXPECT_NEAR(image->rect.width(), b.champ(n, "widthimp").toDouble(), 1.0);
    EXPECT_NEAR(image->rect.height(), b.champ(n, "heightimp").toDouble(), 1.0);
    EXPECT_EQ(image->taillePixels, b.photo(n).bitmap().taille());
    EXPECT_TRUE(std::any_of(traces.begin(), traces.end(), [](const kal::Trace& t) { return t.genre == kal::Trace::Genre::Boite; }));
}

TEST(HauteurCompos, LaPageSuitLeTexteLaJaquetteRemplitLeBas)
{
    for (int largeurEcran : {1024, 800}) {
        SCOPED_TRACE(largeurEcran);
        kaltest::BancEditeur banc(largeurEcran, largeurEcran == 800 ? 600 : 768);
        for (TypeEditeur t : {TypeEditeur::Page, TypeEditeur::Jaquette}) {
            kal::Editeur* ed = banc.ouvrir(t);
            ASSERT_NE(ed, nullptr);
            kal::ControlesEditeur& c = ed->c;
            c.T_compos.definirContenutexte(QStringLiteral("un\r\ndeux\r\ntrois"));
            c.T_compos.definirSelectiondebut(0);
            c.T_compos.definirSelectionlongueur(13);
            c.T_compos.definirSelpolice(QStringLiteral("Arial"));
            c.T_compos.definirSeltaille(12);
            ed->x.textes().fontfeuille();
            ed->x.textes().hauteurcompos();
            if (t == TypeEditeur::Page) {
                // Three lines of 12 points and 300 twips; the panel's bottom on E_maximum.
                const int h = kal::hauteurDuTexte(QStringLiteral("un\r\ndeux\r\ntrois"), kal::Police{QStringLiteral("Arial"), 12});
                EXPECT_EQ(c.T_compos.hauteur(), h + 300);
                EXPECT_EQ(c.F_compos.haut() + c.F_compos.hauteur(), c.E_maximum.haut());
                EXPECT_EQ(c.B_police.haut(), c.T_compos.hauteur());
            } else {
                // Under the preview page, below F_jaq on a screen of 800 pixels; down to E_maximum.
                const int haut = c.P_page.haut() + c.P_page.hauteur() + (largeurEcran == 800 ? c.F_jaq.hauteur() : 0);
                EXPECT_EQ(c.F_compos.haut(), haut);
                EXPECT_EQ(c.F_compos.largeur(), c.P_page.largeur());
                EXPECT_EQ(c.B_couleur.gauche(), c.T_compos.largeur() / 2);
                EXPECT_EQ(c.B_police.haut(), c.F_compos.hauteur() - c.B_police.hauteur());
            }
            kal::Fenetres::toutDetruire();
        }
    }
}
