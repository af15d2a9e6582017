// The current object kept, as edited, before a photo, a duplicate or a text-image takes its
// place, and before a print: what its record and its work files hold afterwards, in both
// editors, whichever command comes.
#include "banc_objets.h"
#include "imaging/fichierstravail.h"
#include "printing/impression.h"
#include "text/textes.h"

#include <tuple>

using kal::TypeEditeur;

namespace {

enum class Commande { Photo, Copie, TexteImage, Impression };

class GarderObjetCourant : public ::testing::TestWithParam<std::tuple<TypeEditeur, Commande>> {
protected:
    kaltest::EditeurAvecPhotos a{std::get<0>(GetParam())};
    Commande commande() const { return std::get<1>(GetParam()); }

    void executer()
    {
        switch (commande()) {
        case Commande::Photo: ASSERT_TRUE(a.charger(a.jpeg(200, 100, QStringLiteral("autre.jpg")))); break;
        case Commande::Copie: a.cliquer(a.miniature(0)); break;
        case Commande::TexteImage: a.ed->x.textes().creerTexteImage(); break;
        case Commande::Impression: ASSERT_TRUE(a.ed->x.impression().impression()); break;
        }
    }
    static QSize taille(const QString& fichier)
    {
        kal::ControleImage k;
        k.definirModeechelle(kal::modeechelle::Pixels);
        k.lirefichier(fichier, 0, 0, 1);
        return k.bitmap().taille();
    }
};

TEST_P(GarderObjetCourant, LObjetCourantEstRangeTelQuEdite)
{
    a.chargerPhotos(1, 320, 240);
    kal::ControlesEditeur& c = a.ed->c;
    ASSERT_EQ(a.etat().objetcourant, 0);
    // Edited and not yet stored: contrast, a turn, a frame, a new place.
    c.A_contraste.definirValeur(600);
    c.A_angle.definirValeur(30);
    c.C_cadre.definirValeur(1);
    c.A_margeH.definirValeur(c.A_margeH.valeur() + 300);
    const int gauche = c.A_margeH.valeur();
    a.banc.repondeur.oublier();

    executer();
    EXPECT_TRUE(a.banc.repondeur.messages().empty());
    // The record holds the object as it was edited.
    EXPECT_EQ(a.champ(0, QStringLiteral("leftimp")).toInt(), gauche);
    EXPECT_EQ(a.champ(0, QStringLiteral("rot")).toInt(), 30);
    EXPECT_EQ(a.champ(0, QStringLiteral("cadre")).toInt(), 1);
    EXPECT_TRUE(a.champ(0, QStringLiteral("occup")).toBool());
    // A photo keeps the fonts it had, whatever kind of object comes next.
    EXPECT_NE(a.champ(0, QStringLiteral("fontname")).toString(), QStringLiteral("MS Sans Serif"));
    // photo0.svc: the base with its contrast; neither it nor the base is turned or framed.
    EXPECT_EQ(taille(kal::fichierPhoto(0)), QSize(320, 240));
    EXPECT_EQ(taille(kal::fichierSauv(0)), QSize(320, 240));
    kal::ControleImage montree, brute;
    montree.lirefichier(kal::fichierPhoto(0), 0, 0, 1);
    brute.lirefichier(kal::fichierSauv(0), 0, 0, 1);
    EXPECT_NE(montree.bitmap().pleine().pixel(40, 120), brute.bitmap().pleine().pixel(40, 120));
}

std::string nom(const ::testing::TestParamInfo<std::tuple<TypeEditeur, Commande>>& i)
{
    static const char* const commandes[] = {"Photo", "Copie", "TexteImage", "Impression"};
    return std::string(std::get<0>(i.param) == TypeEditeur::Page ? "Page" : "Jaquette") +
           commandes[static_cast<int>(std::get<1>(i.param))];
}

INSTANTIATE_TEST_SUITE_P(Editeurs, GarderObjetCourant,
                         ::testing::Combine(::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                                            ::testing::Values(Commande::Photo, Commande::Copie, Commande::TexteImage,
                                                              Commande::Impression)),
                         nom);

}  // namespace
