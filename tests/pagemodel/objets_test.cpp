// The object records as the editors write them: the record writer with its schema upgrade, the
// reset with the thumbnail positions, and the jacket's face selection. Each test works on a
// real work database in a temporary folder, through an editor window that is not loaded.
#include "support/banc_editeur.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

#include <gtest/gtest.h>

using kal::TypeEditeur;

namespace {

class Objets : public ::testing::TestWithParam<TypeEditeur> {
protected:
    kaltest::BancEditeur banc{1024, 768};
    std::unique_ptr<kal::Editeur> ed;

    // An editor on the work database of the folder (the installed one unless made before).
    kal::Editeur& editeur()
    {
        kal::creerBaseSiAbsente(banc.dossier.chemin());
        ed = std::make_unique<kal::Editeur>(banc.partage, GetParam(), &banc.imp);
        ed->x.D_image.definirBase(chemin());
        ed->x.D_image.definirSource(QStringLiteral("kalmorin"));
        if (GetParam() == TypeEditeur::Jaquette) {
            ed->x.etat.basecote = 0;
            ed->x.etat.fincote = 16;
        }
        return *ed;
    }
    QString chemin() const { return banc.dossier.fichier(QStringLiteral("kalmorin.mdb")); }

    // Reads one field of record n straight from the file.
    QVariant champ(int n, const QString& nom) const
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(chemin());
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        return j.valeur(nom);
    }
    void ecrire(int n, const QString& nom, const QVariant& v) const
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(chemin());
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        j.modifier();
        j.mettre(nom, v);
        j.miseAJour();
    }
    // A work database of an older kind: the installed table without some fields.
    void baseSans(const QStringList& absents) const
    {
        QList<kal::bd::DefinitionChamp> champs;
        for (const auto& d : kal::champsTableObjets())
            if (!absents.contains(d.nom))
                champs.push_back(d);
        kal::bd::Base b = kal::bd::Base::creer(chemin());
        b.creerTable(QStringLiteral("kalmorin"), champs);
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        for (int n = 0; n < 32; ++n) {
            j.ajouterNouveau();
            j.mettre(QStringLiteral("numero"), n);
            j.miseAJour();
        }
    }
    // The current object as the editing controls describe it.
    void objetCourant(kal::Editeur& e, int n)
    {
        e.x.etat.objetcourant = n;
        e.x.etat.typeobjet = QStringLiteral("photo");
        e.x.etat.echelleimp = 4.5;
        e.c.L_sauvder.placer(0, 0, 150, 100);
        // Set by code, as the procedures do: the controls' handlers stay quiet.
        e.x.etat.majencours = true;
        e.c.A_margeH.definirValeur(500);
        e.c.A_margeV.definirValeur(700);
        e.c.A_angle.definirValeur(90);
        e.c.C_cadre.definirValeur(1);
        e.x.etat.majencours = false;
    }
    bool jaquette() const { return GetParam() == TypeEditeur::Jaquette; }
};

TEST_P(Objets, ChargimpEcritLeRecordCourant)
{
    kal::Editeur& e = editeur();
    ecrire(3, QStringLiteral("fontname"), QStringLiteral("Courier New"));
    objetCourant(e, 3);
    e.x.objets().chargimp();
    EXPECT_TRUE(champ(3, QStringLiteral("occup")).toBool());
    // The page stores sheet twips (preview size x echelleimp), the jacket the preview size.
    EXPECT_DOUBLE_EQ(champ(3, QStringLiteral("widthimp")).toDouble(), jaquette() ? 150 : 675);
    EXPECT_DOUBLE_EQ(champ(3, QStringLiteral("heightimp")).toDouble(), jaquette() ? 100 : 450);
    EXPECT_EQ(champ(3, QStringLiteral("leftimp")).toInt(), 500);
    EXPECT_EQ(champ(3, QStringLiteral("topimp")).toInt(), 700);
    EXPECT_EQ(champ(3, QStringLiteral("rot")).toInt(), 90);
    EXPECT_EQ(champ(3, QStringLiteral("cadre")).toInt(), 1);
    // A photo leaves the font fields as they were.
    EXPECT_EQ(champ(3, QStringLiteral("fontname")).toString(), QStringLiteral("Courier New"));
    EXPECT_FALSE(champ(2, QStringLiteral("occup")).toBool());
}

// A text-image (page: by the object kind; jacket: by the record) also stores the composer's
// back colour and its selection's font, under the names the windows give the fonts.
TEST_P(Objets, ChargimpEcritLaPoliceDuComposeurPourUnTexteImage)
{
    kal::Editeur& e = editeur();
    objetCourant(e, 4);
    if (jaquette())
        ecrire(4, QStringLiteral("textimage"), true);
    else
        e.x.etat.typeobjet = QStringLiteral("textimage");
    kal::BoiteTexteRiche& t = e.c.T_compos;
    t.definirContenutexte(QStringLiteral("Vacances\r\nà la mer"));
    t.definirSelectionlongueur(8);
    t.definirSelpolice(QStringLiteral("Times New Roman"));
    t.definirSeltaille(14.5);
    t.definirSelcouleur(0x0000FF);
    t.definirSelgras(true);
    t.definirSelitalique(true);
    t.definirSelsouligne(true);
    t.definirSelbarre(true);
    t.definirFondtexte(0x00FFFF);
    e.x.objets().chargimp();
    EXPECT_EQ(champ(4, QStringLiteral("backcolor")).toInt(), 0x00FFFF);
    EXPECT_EQ(champ(4, QStringLiteral("fontname")).toString(), QStringLiteral("Times New Roman"));
    EXPECT_DOUBLE_EQ(champ(4, QStringLiteral("fontsize")).toDouble(), 14.5);
    EXPECT_EQ(champ(4, QStringLiteral("fontcolor")).toInt(), 0x0000FF);
    for (const char* effet : {"fontbold", "fontitalic", "fontunderline", "fontstrikethru"})
        EXPECT_TRUE(champ(4, QString::fromLatin1(effet)).toBool()) << effet;

    // The font is read from the selection's first character: a caret in the plain part of the
    // text gives the default font.
    t.definirSelectiondebut(12);
    e.x.objets().chargimp();
    EXPECT_EQ(champ(4, QStringLiteral("fontname")).toString(), QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(champ(4, QStringLiteral("fontsize")).toDouble(), 8.25);
    EXPECT_FALSE(champ(4, QStringLiteral("fontbold")).toBool());
    EXPECT_EQ(champ(4, QStringLiteral("fontcolor")).toInt(), 0);
}

TEST(ObjetsJaquette, ChargimpHorsDeLaFaceNEcritRien)
{
    kaltest::BancEditeur banc;
    kal::creerBaseSiAbsente(banc.dossier.chemin());
    kal::Editeur e(banc.partage, TypeEditeur::Jaquette, &banc.imp);
    e.x.D_image.definirBase(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
    e.x.D_image.definirSource(QStringLiteral("kalmorin"));
    e.x.etat.basecote = 0;
    e.x.etat.fincote = 16;
    for (int n : {int(kal::AucunObjet), 20}) {
        e.x.etat.objetcourant = n;
        e.x.objets().chargimp();
    }
    kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
    kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("SELECT * FROM [kalmorin] WHERE [occup] = true"));
    EXPECT_TRUE(j.fin());
}

// A work database made before frames existed gains the field on the first write.
TEST_P(Objets, ChargimpAjouteLeChampCadre)
{
    baseSans({QStringLiteral("cadre")});
    kal::Editeur& e = editeur();
    objetCourant(e, 2);
    e.x.objets().chargimp();
    EXPECT_EQ(champ(2, QStringLiteral("cadre")).toInt(), 1);
    EXPECT_DOUBLE_EQ(champ(2, QStringLiteral("widthimp")).toDouble(), jaquette() ? 150 : 675);
    for (int n : {0, 15})
        EXPECT_EQ(champ(n, QStringLiteral("cadre")).toInt(), 0);
    if (jaquette()) {
        EXPECT_EQ(champ(31, QStringLiteral("cadre")).toInt(), 0);
    } else {
        EXPECT_TRUE(champ(16, QStringLiteral("cadre")).isNull());   // the page-settings record gets none
    }
    EXPECT_EQ(e.x.D_image.source(), QStringLiteral("kalmorin"));
}

// A write that fails for another reason reaches the caller with its own cause, not a second try's.
TEST_P(Objets, ChargimpNeBouclePas)
{
    baseSans({QStringLiteral("rot")});
    kal::Editeur& e = editeur();
    objetCourant(e, 1);
    try {
        e.x.objets().chargimp();
        FAIL() << "the write should fail";
    } catch (const kal::Erreur& err) {
        // The write's own failure, not that of adding a frame field the table has.
        EXPECT_EQ(err.numero(), 3265);
        EXPECT_TRUE(err.description().contains(QStringLiteral("rot"))) << err.description().toStdString();
    }
    EXPECT_FALSE(champ(1, QStringLiteral("occup")).toBool());
}

TEST_P(Objets, InittabimpLibereEtPlaceLesMiniatures)
{
    kal::Editeur& e = editeur();
    const int derniere = jaquette() ? 31 : 15;
    for (int n : {0, 9, derniere}) {
        ecrire(n, QStringLiteral("occup"), true);
        ecrire(n, QStringLiteral("widthimp"), 1234.5);
        ecrire(n, QStringLiteral("rot"), 45);
        ecrire(n, QStringLiteral("cadre"), 1);
        ecrire(n, QStringLiteral("textimage"), true);
        ecrire(n, QStringLiteral("backcolor"), 0x123456);
        ecrire(n, QStringLiteral("fontname"), QStringLiteral("Courier New"));
    }
    ecrire(16, QStringLiteral("orientation"), 2);
    ecrire(16, QStringLiteral("widthimp"), 99);
    e.x.etat.pasminiat = 900;
    if (jaquette()) {
        e.c.L_jaq[16]->placer(0, 0, 16 * 300, 6691);
        e.c.L_jaq[0]->placer(0, 0, 8550, 6832);
        e.c.E_maximum.placer(0, 9855, 100, 240);
    }
    e.x.objets().inittabimp();
    for (int n : {0, 9, derniere}) {
        EXPECT_FALSE(champ(n, QStringLiteral("occup")).toBool()) << n;
        EXPECT_DOUBLE_EQ(champ(n, QStringLiteral("widthimp")).toDouble(), 0);
        EXPECT_EQ(champ(n, QStringLiteral("rot")).toInt(), 0);
        EXPECT_FALSE(champ(n, QStringLiteral("textimage")).toBool());
        EXPECT_EQ(champ(n, QStringLiteral("backcolor")).toInt(), 0xFFFFFF);
        EXPECT_EQ(champ(n, QStringLiteral("cadre")).toInt(), 1);   // kept
        EXPECT_EQ(champ(n, QStringLiteral("fontname")).toString(), QStringLiteral("Courier New"));
    }
    const int ecran = 1024 * 15;
    if (jaquette()) {
        // Two rows of eight under the front face, at an eighth of the back face's width.
        EXPECT_EQ(e.x.etat.pasminiat, 600);
        const kal::ControleImage& face = *e.c.L_jaq[0];
        // Slots 13 and 29 share a place, the sixth of the second row.
        for (int n : {13, 29}) {
            EXPECT_DOUBLE_EQ(champ(n, QStringLiteral("leftminiat")).toDouble(), face.gauche() + 5 * 600);
            EXPECT_EQ(champ(n, QStringLiteral("topminiat")).toInt(), face.hauteur() + 1200);
        }
        EXPECT_EQ(champ(0, QStringLiteral("topminiat")).toInt(), face.hauteur());
        // The jacket resets its record 16 like its other slots.
        EXPECT_DOUBLE_EQ(champ(16, QStringLiteral("widthimp")).toDouble(), 0);
        EXPECT_EQ(champ(16, QStringLiteral("orientation")).toInt(), 2);
    } else {
        EXPECT_EQ(champ(9, QStringLiteral("topminiat")).toInt(), 900);
        EXPECT_DOUBLE_EQ(champ(9, QStringLiteral("leftminiat")).toDouble(), ecran - 1500);
        EXPECT_EQ(champ(2, QStringLiteral("topminiat")).toInt(), 1800);
        EXPECT_DOUBLE_EQ(champ(2, QStringLiteral("leftminiat")).toDouble(), ecran - 3000);
        // The page-settings record is not touched.
        EXPECT_DOUBLE_EQ(champ(16, QStringLiteral("widthimp")).toDouble(), 99);
        EXPECT_EQ(champ(16, QStringLiteral("orientation")).toInt(), 2);
    }
}

TEST(ObjetsJaquette, PasDesMiniaturesArrondiAuPair)
{
    for (const auto& [largeur, pas] : {std::pair{4804, 600}, std::pair{4812, 602}}) {
        kaltest::BancEditeur banc;
        kal::creerBaseSiAbsente(banc.dossier.chemin());
        kal::Editeur e(banc.partage, TypeEditeur::Jaquette, &banc.imp);
        e.x.D_image.definirBase(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
        e.x.D_image.definirSource(QStringLiteral("kalmorin"));
        e.c.L_jaq[16]->placer(0, 0, largeur, 6691);
        e.x.objets().inittabimp();
        EXPECT_EQ(e.x.etat.pasminiat, pas) << largeur;
    }
}

TEST(ObjetsPage, Posminiat)
{
    kaltest::BancEditeur banc;
    kal::creerBaseSiAbsente(banc.dossier.chemin());
    kal::Editeur e(banc.partage, TypeEditeur::Page, &banc.imp);
    e.x.D_image.definirBase(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
    e.x.D_image.definirSource(QStringLiteral("SELECT * FROM [kalmorin] WHERE [occup] = true"));
    e.c.E_maximum.placer(0, e.c.T_compos.hauteur() + 8 * 975, 100, 240);
    e.x.objets().posminiat();
    EXPECT_EQ(e.x.etat.pasminiat, 975);
    EXPECT_EQ(e.x.D_image.source(), QStringLiteral("kalmorin"));
    kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
    kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
    const auto position = [&j](int n) {
        j.chercherPremier(kal::critereNumero(n));
        return std::pair{j.valeur(QStringLiteral("topminiat")).toInt(), j.valeur(QStringLiteral("leftminiat")).toDouble()};
    };
    EXPECT_EQ(position(3), (std::pair{3 * 975, 15360.0 - 3000}));
    EXPECT_EQ(position(11), (std::pair{3 * 975, 15360.0 - 1500}));
    EXPECT_EQ(position(8), (std::pair{0, 15360.0 - 1500}));
}

TEST(ObjetsJaquette, FaceArriereCompteSesObjets)
{
    kaltest::BancEditeur banc;
    kal::creerBaseSiAbsente(banc.dossier.chemin());
    kal::Editeur e(banc.partage, TypeEditeur::Jaquette, &banc.imp);
    e.x.D_image.definirBase(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
    e.x.D_image.definirSource(QStringLiteral("kalmorin"));
    for (int n : {3, 17, 20}) {
        e.x.etat.objetcourant = n;
        e.x.etat.fincote = 32;
        e.x.objets().chargimp();
    }
    // The face's selection and count; the rebuild of the face (which reads the objects' work
    // files) is held back as during a reload, and is tested with real photos elsewhere.
    e.x.etat.rechargementencours = true;
    e.x.etat.objetcourant = 3;
    e.c.O_arriere.definirValeur(true);
    EXPECT_EQ(e.x.etat.basecote, 16);
    EXPECT_EQ(e.x.etat.fincote, 32);
    EXPECT_EQ(e.x.etat.debutrecherche, 16);
    EXPECT_EQ(e.x.etat.nbobjets, 2);
    EXPECT_EQ(e.x.etat.objetcourant, 20);
    EXPECT_EQ(e.x.D_image.source(), QStringLiteral("SELECT * FROM [kalmorin]  WHERE [numero] BETWEEN 16 AND 31 "));
    EXPECT_DOUBLE_EQ(e.x.etat.largeursurface.valeur(), e.c.L_jaq[16]->largeur());
    EXPECT_FALSE(e.c.L_jaq[0]->visible());
    EXPECT_TRUE(e.c.L_jaq[16]->visible());

    // A face without objects leaves no object current.
    e.x.etat.objetcourant = 20;
    kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
    kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
    j.chercherPremier(kal::critereNumero(3));
    j.modifier();
    j.mettre(QStringLiteral("occup"), false);
    j.miseAJour();
    b.fermer();
    e.c.O_avant.definirValeur(true);
    EXPECT_EQ(e.x.etat.nbobjets, 0);
    EXPECT_EQ(e.x.etat.objetcourant, kal::AucunObjet);
    EXPECT_EQ(e.x.etat.basecote, 0);
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Objets, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
