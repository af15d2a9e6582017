// Print formats on both editors: the limits of a photo at 180 and 120 pixels per inch, the
// resolution bands and their edges, the format slider's range, its changes with the working
// copy and the record they rewrite, and the format of a turned object.
#include "layout/banc_objet.h"
#include "pagemodel/objets.h"

#include <QLocale>

using kal::arrondi;
using kal::TypeEditeur;
using kaltest::ObjetCourant;

namespace {

constexpr int Vert = 65280, Or = 56831, Rouge = 255, Noir = 0, Blanc = 0xFFFFFF;

class Formats : public ObjetCourant {
protected:
    // The format value set without any handling of its own, then coloured.
    void colorer(int v)
    {
        e().reaffichageencours = true;
        c().A_format.definirValeur(v);
        e().reaffichageencours = false;
        d().couleurformat();
    }
    void attendreCouleurs(int fond, int texte)
    {
        EXPECT_EQ(c().E_format.couleurFond(), fond);
        EXPECT_EQ(c().E_format.couleurTexte(), texte);
        EXPECT_EQ(c().E_nominal.couleurFond(), fond);
        EXPECT_EQ(c().E_nominal.couleurTexte(), texte);
    }
};

TEST_P(Formats, StatusCalculeLesLimitesDeLaPhoto)
{
    objet(3, 1000, 750);
    d().status();
    EXPECT_EQ(e().largmax180, 8000);
    EXPECT_EQ(e().largmax120, 12000);
    EXPECT_EQ(e().hautmax180, 6000);
    EXPECT_EQ(e().hautmax120, 9000);
    EXPECT_EQ(c().E_maximum.legende(), QStringLiteral("Format maximal acceptable:211.6 x 158.7 mm"));

    // A free record leaves the limits and the caption as they were.
    kal::Fiches fiches = ed->x.fiches();
    fiches.sourceTable();
    fiches.modifier(3, [](kal::bd::JeuEnregistrements& j) { j.mettre(kal::champ::occup, false); });
    c().L_photo[3]->lirefichier(jpeg(500, 500, QStringLiteral("autre.jpg")));
    d().status();
    EXPECT_EQ(e().largmax120, 12000);
    EXPECT_EQ(c().E_maximum.legende(), QStringLiteral("Format maximal acceptable:211.6 x 158.7 mm"));
}

// The jacket's status only counts objects of the face shown; the lookup runs on the whole
// table, whatever face selection the record source was left on.
TEST_P(Formats, StatusSurLaFaceMontree)
{
    if (!jaq()) {
        objet(15, 300, 200);
        d().status();
        EXPECT_EQ(e().largmax180, 2400);
        return;
    }
    ed->x.D_image.definirSource(kal::sourceFace(0));
    objet(20, 300, 200);
    ed->x.D_image.definirSource(kal::sourceFace(0));
    ed->x.D_image.actualiser();
    e().fincote = 32;
    e().basecote = 16;
    d().status();
    EXPECT_EQ(e().largmax180, 2400);
    e().largmax180 = 0;
    e().fincote = 16;
    e().basecote = 0;
    d().status();
    EXPECT_EQ(e().largmax180, 0);
}

TEST_P(Formats, BandesDeResolutionEtLeursBords)
{
    objet(3, 1000, 750);
    d().status();
    c().A_format.definirMax(32767);
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    struct Cas {
        bool largeur;
        int v, fond, texte, ppp;
    };
    const Cas cas[] = {
        {true, 7999, Vert, Noir, 180},  {true, 8000, Or, Noir, 180},    {true, 12000, Or, Noir, 120},
        {true, 12001, Rouge, Blanc, 119}, {false, 5999, Vert, Noir, 0},  {false, 6000, Or, Noir, 0},
        {false, 9000, Or, Noir, 0},     {false, 9001, Rouge, Blanc, 0},
    };
    for (const Cas& k : cas) {
        SCOPED_TRACE(k.v);
        e().largeurobjet = k.largeur ? SW / 2 : SW / 4;
        e().hauteurobjet = k.largeur ? SH / 4 : SH / 2;
        e().rapportformat = e().largeurobjet / e().hauteurobjet;
        colorer(k.v);
        attendreCouleurs(k.fond, k.texte);
        EXPECT_DOUBLE_EQ(e().largeurformat, k.largeur ? k.v : k.v * e().largeurobjet / e().hauteurobjet);
        if (k.ppp) {
            EXPECT_EQ(c().E_nominal.legende(),
                      QStringLiteral("Format photo:1000 x 750 pixels:%1 pixels/pouce").arg(k.ppp));
        }
    }
}

// Both editors take the mode from the surface the object stands on. A square object is
// relatively wider than the tall printable page (width mode) but higher than the landscape
// face (height mode), so the same format falls in another band.
TEST_P(Formats, CouleurSelonLaSurfaceDeLObjet)
{
    objet(3, 1000, 500);
    d().status();   // width limits 8000 / 12000, height limits 4000 / 6000
    e().largeurobjet = e().hauteurobjet = 3000;
    e().rapportformat = 1;
    colorer(5000);
    attendreCouleurs(jaq() ? Or : Vert, Noir);
    EXPECT_EQ(c().E_nominal.legende(), QStringLiteral("Format photo:1000 x 500 pixels:288 pixels/pouce"));
}

TEST_P(Formats, InitformatEtFormatmax)
{
    objet(3, 800, 600, 2000 / s(), 1500 / s());
    d().status();
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    // Smaller than the surface: its own size.
    e().rechargementencours = true;
    d().initformat();
    EXPECT_EQ(c().A_format.max(), arrondi(SW));
    EXPECT_EQ(c().A_format.valeur(), 2000);
    EXPECT_EQ(c().E_format.legende(), QStringLiteral("Format:35.3 x 26.5mm"));
    // Exactly as high as the surface, in height mode (equal fill ratios count as height).
    e().largeurobjet = SW;
    e().hauteurobjet = SH;
    e().rapportformat = SW / SH;
    d().initformat();
    EXPECT_EQ(c().A_format.max(), arrondi(SH));
    EXPECT_EQ(c().A_format.valeur(), arrondi(SH));

    // The largest format: the surface, from the top-left origin.
    e().largeurobjet = 2000;
    e().hauteurobjet = 1500;
    e().rapportformat = 4.0 / 3;
    d().formatmax();
    EXPECT_EQ(c().A_format.valeur(), c().A_format.max());
    EXPECT_EQ(c().A_format.max(), arrondi(SW));
    EXPECT_EQ(c().A_margeH.valeur(), arrondi(oH()));
    EXPECT_EQ(c().A_margeV.valeur(), arrondi(oV()));
    EXPECT_EQ(c().E_maximum.legende(), QStringLiteral("Format maximal acceptable:169.3 x 127.0 mm"));
}

// --- The format slider

class CurseurFormat : public Formats {
protected:
    // The object shown and fitted as a newly placed photo is, and its record written.
    kal::ControleImage& pose(int w = 400, int h = 300)
    {
        kal::ControleImage& photo = objet(4, w, h);
        sansFiche([this] {
            d().echelle();
            d().initialisation();
        });
        c().L_sauvder.placerReel(0, 0, photo.largeurReelle(), photo.hauteurReelle());
        ed->x.objets().chargimp();
        e().valeurformat = c().A_format.valeur();
        photo.definirVisible(true);
        return photo;
    }
};

TEST_P(CurseurFormat, LeFormatMinimum)
{
    pose();
    c().A_format.definirValeur(15);
    // Page: 300 twips above Min; jacket: the format may rest at Min.
    EXPECT_EQ(c().A_format.valeur(), jaq() ? 15 : 315);
    EXPECT_EQ(e().valeurformat, c().A_format.valeur());
}

TEST_P(CurseurFormat, UnChangementReduitLaCopieEtReecritLaFiche)
{
    pose();
    const double largeurAvant = c().L_sauvder.largeurReelle();
    const int v1 = c().A_format.valeur();
    const int v2 = v1 / 2;
    c().A_format.definirValeur(v2);
    // The re-displayed object takes its size back from the record (to a twip).
    EXPECT_NEAR(e().valeurformat, v2, 2);
    EXPECT_NEAR(c().L_sauvder.largeurReelle(), largeurAvant * v2 / v1, 0.01);
    EXPECT_NEAR(champ(4, kal::champ::widthimp).toDouble(), c().L_sauvder.largeurReelle() * s(), s());
    EXPECT_NEAR(champ(4, kal::champ::heightimp).toDouble(), c().L_sauvder.largeurReelle() * s() * 900 / 1200, 2 * s());
    EXPECT_TRUE(champ(4, kal::champ::occup).toBool());
    // Width mode on both surfaces for this photo: the position range follows, and the caption
    // is the one of the re-displayed object's format.
    const int v = c().A_format.valeur();
    EXPECT_EQ(c().E_format.legende().toStdString(), kal::legendeFormatDirect(v, v * 3.0 / 4).toStdString());
    EXPECT_EQ(c().A_margeH.max(), arrondi(e().largeursurface.valeur() + oH() - c().A_format.valeur()));
    EXPECT_TRUE(c().L_photo[4]->visible());

    // While the angle slider re-displays the object, the record is left alone.
    e().rotationencours = true;
    const QVariant avant = champ(4, kal::champ::widthimp);
    c().A_format.definirValeur(v2 + 500);
    EXPECT_EQ(champ(4, kal::champ::widthimp), avant);
    EXPECT_EQ(e().valeurformat, v2 + 500);
}

// Before any format was recorded the record's printed size stands for the last one.
TEST_P(CurseurFormat, SansFormatEnregistreLaFicheSert)
{
    pose();
    const double largeurAvant = c().L_sauvder.largeurReelle();
    const int v1 = c().A_format.valeur();
    e().valeurformat = 0;
    c().A_format.definirValeur(v1 - 300);
    EXPECT_NEAR(c().L_sauvder.largeurReelle(), largeurAvant * (v1 - 300) / v1, 1);
    EXPECT_NEAR(e().valeurformat, v1 - 300, 2);
    EXPECT_TRUE(c().L_photo[4]->visible());
}

TEST_P(CurseurFormat, AuDelaDeLaSurfaceRetourALaSurfaceEtALOrigine)
{
    pose();
    c().A_margeH.definirValeur(c().A_margeH.min() + 30);
    c().A_format.definirMax(32767);
    c().A_format.definirValeur(arrondi(e().largeursurface.valeur()) + 500);
    EXPECT_EQ(c().A_format.valeur(), arrondi(e().largeursurface.valeur()));
    EXPECT_EQ(c().A_margeH.valeur(), arrondi(oH()));
    EXPECT_EQ(c().A_margeV.valeur(), arrondi(oV()));
    // As wide as the surface: it can only sit at the left origin.
    EXPECT_EQ(c().A_margeH.max(), arrondi(oH()));
}

TEST_P(CurseurFormat, LesDrapeauxRetiennentLeChangement)
{
    kal::ControleImage& photo = pose();
    const QString legende = c().E_format.legende();
    const int v = c().A_format.valeur();

    e().formatencours = true;
    c().A_format.definirValeur(v - 100);
    EXPECT_EQ(c().E_format.legende(), legende);
    EXPECT_EQ(e().valeurformat, v);
    e().formatencours = false;

    // A selection rebuilding the preview: nothing at all, the control stays as it is.
    e().reaffichageencours = true;
    c().A_format.definirValeur(v - 200);
    EXPECT_EQ(e().valeurformat, v);
    EXPECT_TRUE(photo.visible());
    e().reaffichageencours = false;

    // Centring: the captions and the position ranges stay (here with the record step held back
    // by a rotation, which would show the re-displayed object's format).
    e().margesactives = false;
    e().rotationencours = true;
    const int maxH = c().A_margeH.max();
    c().A_format.definirValeur(v - 300);
    EXPECT_EQ(c().E_format.legende(), legende);
    EXPECT_EQ(c().A_margeH.max(), maxH);
    EXPECT_EQ(e().valeurformat, v - 300);
    // ... while the working copy and the record still follow the format.
    e().rotationencours = false;
    c().A_format.definirValeur(v - 600);
    // The working copy's box is the one the format gives, whatever changes were held back.
    EXPECT_NEAR(c().L_sauvder.largeurReelle() * s(), v - 600, 1e-6);
    EXPECT_NEAR(champ(4, kal::champ::widthimp).toDouble(), c().L_sauvder.largeurReelle() * s(), s());
}

TEST_P(CurseurFormat, LegendeEnDirectPendantLeGlissement)
{
    pose();
    c().A_format.surDefilement();
    const int v = c().A_format.valeur();
    EXPECT_EQ(c().E_format.legende(), kal::legendeFormatDirect(v, v * 3.0 / 4));
    EXPECT_TRUE(c().E_format.legende().startsWith(QStringLiteral("Format :")));
    EXPECT_TRUE(c().E_format.legende().endsWith(QStringLiteral(" mm")));
}

// Leaving the slider stores the object: its record takes the sliders' position.
TEST_P(CurseurFormat, LaPerteDuFocusEnregistreLObjet)
{
    pose();
    sansFiche([this] { c().A_margeH.definirValeur(c().A_margeH.min() + 123); });
    ASSERT_TRUE(c().A_format.surPerteFocus);
    c().A_format.surPerteFocus();
    EXPECT_EQ(champ(4, kal::champ::leftimp).toInt(), c().A_margeH.valeur());
    // With no object left, nothing is written.
    e().nbobjets = 0;
    sansFiche([this] { c().A_margeH.definirValeur(c().A_margeH.min() + 7); });
    c().A_format.surPerteFocus();
    EXPECT_EQ(champ(4, kal::champ::leftimp).toInt(), c().A_margeH.min() + 123);

    // A record that cannot be written is reported, and nothing else changes.
    e().nbobjets = 1;
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(4));
        j.modifier();
        j.mettre(kal::champ::numero, 99);
        j.miseAJour();
    }
    banc.repondeur.oublier();
    c().A_format.surPerteFocus();
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("ENREGISTREMENT OBJET"));
    EXPECT_EQ(banc.repondeur.messages()[0].style, kal::msg::OK + kal::msg::Exclamation);
}

// A turned object switches from width to height mode when its box grows taller.
TEST_P(CurseurFormat, FormatDUnObjetTourne)
{
    pose();
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    e().formatencours = true;
    e().largeurobjet = SW / 4;
    e().hauteurobjet = SH / 2;
    e().rapportformat = e().largeurobjet / e().hauteurobjet;
    d().formatangle();
    EXPECT_EQ(c().A_format.max(), arrondi(SH));
    EXPECT_EQ(c().A_format.valeur(), arrondi(SH / 2));
    EXPECT_EQ(c().A_margeV.max(), arrondi(SH + oV() - c().A_format.valeur()));
    EXPECT_EQ(c().A_margeH.max(), arrondi(SW + oH() - c().A_format.valeur() * e().rapportformat));
    EXPECT_EQ(c().E_margeH.legende(), kal::legendePosition(QStringLiteral("Gauche: "), c().A_margeH.valeur()));

    // A box at least as high as the surface: the surface, held at the top origin.
    e().hauteurobjet = SH * 1.2;
    e().rapportformat = e().largeurobjet / e().hauteurobjet;
    d().formatangle();
    EXPECT_EQ(c().A_format.valeur(), arrondi(SH));
    EXPECT_EQ(c().A_margeV.max(), arrondi(oV()));
    EXPECT_EQ(c().A_margeV.valeur(), arrondi(oV()));
}

// --- A photo placed on the page: fitted to the preview, its format shown and coloured by its
// resolution band, its position sliders at the surface's top-left corner, its record written.
TEST_P(CurseurFormat, UnePhotoPoseeEstAjusteeEtColoree)
{
    struct Taille {
        int w, h, bandePage, bandeJaquette;
    };
    const Taille tailles[] = {{600, 400, Rouge, Rouge}, {1200, 900, Or, Vert}, {3000, 2000, Vert, Vert},
                              {900, 1600, Or, Vert}};
    const double SW = e().largeursurface.valeur(), SH = e().hauteursurface.valeur();
    for (const Taille& t : tailles) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(t.w).arg(t.h).toStdString());
        kal::ControleImage& photo = objet(4, t.w, t.h);
        sansFiche([this] {
            d().echelle();
            d().initialisation();
        });
        // The picture is shown at 15 twips a pixel, the format capped by the surface on the side
        // that limits it.
        const bool largeur = 15.0 * t.h / SH < 15.0 * t.w / SW;
        const double cote = 15.0 * (largeur ? t.w : t.h), surface = largeur ? SW : SH;
        const int v = surface > cote ? arrondi(cote) : arrondi(surface);
        EXPECT_EQ(c().A_format.valeur(), v);
        const double r = static_cast<double>(t.w) / t.h;
        EXPECT_EQ(c().E_format.legende(), largeur ? kal::legendeFormat(v, v / r) : kal::legendeFormat(v * r, v));
        EXPECT_EQ(c().E_format.couleurFond(), jaq() ? t.bandeJaquette : t.bandePage);
        const double largeurImprimee = largeur ? v : v * r;
        EXPECT_EQ(c().E_nominal.legende(), QStringLiteral("Format photo:%1 x %2 pixels:%3 pixels/pouce")
                                               .arg(t.w)
                                               .arg(t.h)
                                               .arg(static_cast<int>(t.w * 1440 / largeurImprimee)));
        // On the preview at the printed size, within the surface.
        EXPECT_NEAR(largeur ? photo.largeurReelle() : photo.hauteurReelle(), v / s(), 0.01);
        EXPECT_LE(photo.gaucheReel() + photo.largeurReelle(), (SW + oH()) / s() + 0.5);
        EXPECT_LE(photo.hautReel() + photo.hauteurReelle(), (SH + oV()) / s() + 0.5);
        EXPECT_EQ(c().A_margeH.valeur(), arrondi(oH()));
        EXPECT_EQ(c().A_margeV.valeur(), arrondi(oV()));
        EXPECT_EQ(c().A_margeH.max(), arrondi(SW + oH() - (largeur ? v : arrondi(v * r))));

        c().L_sauvder.placerReel(0, 0, photo.largeurReelle(), photo.hauteurReelle());
        ed->x.objets().chargimp();
        EXPECT_EQ(champ(4, kal::champ::leftimp).toInt(), arrondi(oH()));
        EXPECT_EQ(champ(4, kal::champ::topimp).toInt(), arrondi(oV()));
        EXPECT_NEAR(champ(4, kal::champ::widthimp).toDouble(), photo.largeurReelle() * s(), s());
    }
}

// Where the decimal separator is a comma, the format captions keep their decimal with it.
TEST(LegendesFormat, SeparateurDecimalDuLieu)
{
    const QLocale avant;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(kal::legendeFormat(100.36 * 56.7, 50 * 56.7), QStringLiteral("Format:100,4 x 50,0mm"));
    EXPECT_EQ(kal::legendeFormatDirect(100.36 * 56.7, 50 * 56.7), QStringLiteral("Format :100,4 x 50,0 mm"));
    EXPECT_EQ(kal::legendePosition(QStringLiteral("Gauche: "), 567), QStringLiteral("Gauche: 10,0 mm"));
    QLocale::setDefault(avant);
    EXPECT_EQ(kal::legendeFormat(100.36 * 56.7, 50 * 56.7), QStringLiteral("Format:100.4 x 50.0mm"));
}

const auto Editeurs = ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette);
INSTANTIATE_TEST_SUITE_P(Editeurs, Formats, Editeurs, kaltest::nomEditeur);
INSTANTIATE_TEST_SUITE_P(Editeurs, CurseurFormat, Editeurs, kaltest::nomEditeur);

}  // namespace
