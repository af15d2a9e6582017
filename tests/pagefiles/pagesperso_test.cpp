// The pages panel on real folders: the listing by kind, the save of a page or jacket under a
// name (what the folder holds, replacing, the refusals, a failure midway), the delete, and the
// names that would leave persopag, on save, delete and open alike.
#include "pagefiles/banc_pages.h"

#include "platform/base/conversions.h"

using kal::TypeEditeur;
using kaltest::BancPages;

namespace {

class Pages : public BancPages {
protected:
    // Folders of every sort in persopag.
    void peupler()
    {
        for (const char* d : {"Noel", "Été 2011", "Jaq", "Les deux", "Sans", ".cachée"})
            QDir().mkpath(perso(QString::fromUtf8(d)));
        for (auto [d, m] : {std::pair{"Noel", "page.txt"}, {"Été 2011", "PAGE.TXT"}, {"Jaq", "jaquet.txt"},
                            {"Les deux", "page.txt"}, {"Les deux", "jaquet.txt"}, {".cachée", "page.txt"}})
            kal::fs::ecrireFichier(perso(QString::fromUtf8(d) + QLatin1Char('/') + QString::fromUtf8(m)), {});
        kal::fs::ecrireFichier(perso(QStringLiteral("Sans/photo0.jpg")), "x");
        kal::fs::ecrireFichier(perso(QStringLiteral("fichier")), "x");
        QFile::link(perso(QStringLiteral("Noel")), perso(QStringLiteral("lien")));
    }
    QStringList liste()
    {
        QStringList l;
        for (int i = 0; i < ed->c.L_kalmorin.nombre(); ++i)
            l << ed->c.L_kalmorin.entree(i);
        return l;
    }
};

TEST_P(Pages, ListeLesDossiersDuGenreDeLEditeur)
{
    peupler();
    e().ouvrirapres = true;
    ed->c.O_supp.definirValeur(true);
    ed->c.L_kalmorin.definirTexte(QStringLiteral("reste"));
    (*ed->x.commande(QStringLiteral("Pages")))();
    EXPECT_EQ(liste(), jaq() ? QStringList({QStringLiteral("Jaq"), QStringLiteral("Les deux")})
                             : QStringList({QStringLiteral("Les deux"), QStringLiteral("Noel"), QStringLiteral("Été 2011")}));
    EXPECT_TRUE(ed->c.L_kalmorin.texte().isEmpty());
    EXPECT_TRUE(ed->c.O_ouvrir.valeur());
    EXPECT_TRUE(ed->c.F_page.visible());
    EXPECT_EQ(ed->c.P_page.visible(), !jaq());
    EXPECT_FALSE(e().ouvrirapres);
    // QUITTER hides the panel; the jacket's preview comes back.
    ed->c.B_annulsauv.cliquer();
    EXPECT_FALSE(ed->c.F_page.visible());
    EXPECT_TRUE(ed->c.P_page.visible());
}

TEST_P(Pages, EnregistreExactementLaPageEtSesFichiers)
{
    pageNoel();
    e().nompage = QStringLiteral("avant");
    pages().listepage();
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    EXPECT_TRUE(banc.repondeur.messages().empty()) << dernier().texte.toStdString();
    const QString marque = jaq() ? QStringLiteral("jaquet.txt") : QStringLiteral("page.txt");
    QStringList attendus = {QStringLiteral("kalmorin.mdb"), QStringLiteral("photo0.jpg"), QStringLiteral("photo2.jpg"),
                            QStringLiteral("photo5.jpg"), QStringLiteral("texte5.rtf"), marque};
    attendus.sort();
    EXPECT_EQ(noms(perso(QStringLiteral("Noel"))), attendus);
    EXPECT_EQ(octets(perso(QStringLiteral("Noel/") + marque)), jaq() ? QByteArray("ok\r\n") : QByteArray());
    for (int n : {0, 2, 5})
        EXPECT_EQ(octets(perso(QStringLiteral("Noel/photo%1.jpg").arg(n))), octets(kal::fichierPhoto(n))) << n;
    EXPECT_EQ(octets(perso(QStringLiteral("Noel/texte5.rtf"))), octets(kal::fichierTexte(5)));
    EXPECT_EQ(lire(perso(QStringLiteral("Noel/kalmorin.mdb")), QStringLiteral("SELECT numero FROM kalmorin WHERE occup")),
              QStringLiteral("0;2;5"));
    // Nothing else under persopag: no folder left aside.
    EXPECT_EQ(noms(travail(QStringLiteral("persopag"))), QStringList{QStringLiteral("Noel")});
    // A folder like the others of persopag, not the private one it was written in.
    EXPECT_EQ(QFileInfo(perso(QStringLiteral("Noel"))).permissions(), QFileInfo(travail(QStringLiteral("persopag"))).permissions());
    EXPECT_FALSE(ed->c.F_page.visible());
    EXPECT_FALSE(e().pagemodifiee);
    EXPECT_EQ(e().nompage, QStringLiteral("avant"));
    EXPECT_EQ(ed->x.D_image.base(), base());
}

TEST_P(Pages, RemplacerDemandeEtNeLaissePasLAncienContenu)
{
    pageNoel();
    pages().listepage();
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    const auto avant = arbre(perso(QStringLiteral("Noel")));
    ecrire(base(), QStringLiteral("UPDATE kalmorin SET occup=0 WHERE numero=0"));
    pages().listepage();
    banc.repondeur.prevoir(kal::msg::RepNon);
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().texte, QStringLiteral("La page:Noel existe déjà.\rVoulez-vous la remplacer ?"));
    EXPECT_EQ(dernier().style, 36);
    EXPECT_EQ(dernier().titre, QStringLiteral("ERREUR"));
    EXPECT_EQ(arbre(perso(QStringLiteral("Noel"))), avant);
    // The name typed asks too, listed or not.
    ed->c.L_kalmorin.vider();
    banc.repondeur.prevoir(kal::msg::RepOui);
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    EXPECT_FALSE(QFile::exists(perso(QStringLiteral("Noel/photo0.jpg"))));
    EXPECT_TRUE(QFile::exists(perso(QStringLiteral("Noel/photo2.jpg"))));
    EXPECT_EQ(noms(travail(QStringLiteral("persopag"))), QStringList{QStringLiteral("Noel")});
}

TEST_P(Pages, RefusDUnePageVideDUnNomAbsentEtDUnDossierDUnAutreGenre)
{
    pages().listepage();
    ok(ed->c.O_ajout, QStringLiteral("Vide"));
    EXPECT_EQ(dernier().texte, QStringLiteral("La page est vide"));
    EXPECT_EQ(dernier().titre, QStringLiteral("ERREUR"));
    pageNoel();
    ok(ed->c.O_ajout, QString());
    EXPECT_EQ(dernier().texte, QStringLiteral("Désignez un nom de fichier de sauvegarde"));
    EXPECT_EQ(dernier().style, 48);
    // A folder of the other kind, an unmarked one, a file, a folder holding a folder: never
    // emptied, and the question is not even asked.
    const QString autre = jaq() ? QStringLiteral("page.txt") : QStringLiteral("jaquet.txt");
    QDir().mkpath(perso(QStringLiteral("Autre")));
    kal::fs::ecrireFichier(perso(QStringLiteral("Autre/") + autre), {});
    QDir().mkpath(perso(QStringLiteral("Sans")));
    kal::fs::ecrireFichier(perso(QStringLiteral("Sans/photo0.jpg")), "x");
    kal::fs::ecrireFichier(perso(QStringLiteral("Fichier")), "x");
    QDir().mkpath(perso(QStringLiteral("Album/sous")));
    kal::fs::ecrireFichier(perso(QStringLiteral("Album/") + kal::perso::marqueur(jaq())), {});
    const auto avant = arbre(travail(QStringLiteral("persopag")));
    for (const char* nom : {"Autre", "Sans", "Fichier", "Album"}) {
        banc.repondeur.oublier();
        ok(ed->c.O_ajout, QString::fromLatin1(nom));
        ASSERT_EQ(banc.repondeur.messages().size(), 1u) << nom;
        EXPECT_TRUE(dernier().texte.startsWith(QStringLiteral("La page:%1 existe déjà.").arg(QString::fromLatin1(nom))));
        EXPECT_EQ(dernier().style, 48);
    }
    EXPECT_EQ(arbre(travail(QStringLiteral("persopag"))), avant);
    EXPECT_TRUE(e().pagemodifiee);
}

TEST_P(Pages, UnEchecEnCoursLaisseLAnciennePageEntiereEtLaBaseLiee)
{
    pageNoel();
    pages().listepage();
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    const auto avant = arbre(perso(QStringLiteral("Noel")));
    // The text of the text-image is gone: the copy fails after the database and the photos.
    QFile::remove(kal::fichierTexte(5));
    e().pagemodifiee = true;
    pages().listepage();
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOui);
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    EXPECT_EQ(dernier().titre, QStringLiteral("ERREUR"));
    EXPECT_EQ(arbre(perso(QStringLiteral("Noel"))), avant);
    EXPECT_EQ(noms(travail(QStringLiteral("persopag"))), QStringList{QStringLiteral("Noel")});
    EXPECT_TRUE(e().pagemodifiee);
    EXPECT_TRUE(ed->c.F_page.visible());
    EXPECT_EQ(ed->x.D_image.base(), base());
    EXPECT_TRUE(ed->x.fiches().lire(0, kal::champ::occup).toBool());
}

// A record left occupied without its work files, current, while the pictures of the editor are
// another object's: the save names it and keeps the saved page whole, and no work file is made
// for it from that picture. "Effacer page" takes the work files of the objects it removes, so a
// slot taken again without its own never shows an older picture.
TEST_P(Pages, UnObjetSansSesFichiersNestJamaisRempliDUnAutre)
{
    pageNoel();
    pages().listepage();
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    const auto avant = arbre(perso(QStringLiteral("Noel")));
    const auto refuse = [&](int n) {
        e().pagemodifiee = true;
        pages().listepage();
        banc.repondeur.oublier();
        banc.repondeur.prevoir(kal::msg::RepOui);
        ok(ed->c.O_ajout, QStringLiteral("Noel"));
        ASSERT_EQ(banc.repondeur.messages().size(), 1u) << n;
        EXPECT_EQ(dernier().titre, QStringLiteral("ERREUR"));
        EXPECT_TRUE(dernier().texte.contains(QStringLiteral("L'objet %1 (photo").arg(n))) << dernier().texte.toStdString();
        EXPECT_TRUE(dernier().texte.contains(QStringLiteral("ses fichiers de travail manquent")));
        EXPECT_EQ(arbre(perso(QStringLiteral("Noel"))), avant);
        EXPECT_FALSE(QFile::exists(kal::fichierPhoto(n)));
        EXPECT_TRUE(e().pagemodifiee);
    };
    ecrire(base(), QStringLiteral("UPDATE kalmorin SET occup=1, textimage=0 WHERE numero=3"));
    ++e().nbobjets;
    e().objetcourant = 3;
    refuse(3);

    (*ed->x.commande(QStringLiteral("Effacer page")))();
    for (int n : {0, 2, 3, 5})
        for (const QString& f : kal::fichierstravail(n))
            EXPECT_FALSE(QFile::exists(f)) << f.toStdString();
    charger(jpeg(QStringLiteral("d.jpg"), 240, 240, 0x808020));
    ASSERT_EQ(e().objetcourant, 0);
    ecrire(base(), QStringLiteral("UPDATE kalmorin SET occup=1, textimage=0 WHERE numero=2"));
    refuse(2);
    // Freed again: the save holds the one object, with its own picture.
    ecrire(base(), QStringLiteral("UPDATE kalmorin SET occup=0 WHERE numero=2"));
    pages().listepage();
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOui);
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    QStringList attendus = {QStringLiteral("kalmorin.mdb"), kal::perso::marqueur(jaq()), QStringLiteral("photo0.jpg")};
    attendus.sort();
    EXPECT_EQ(noms(perso(QStringLiteral("Noel"))), attendus);
    EXPECT_EQ(octets(perso(QStringLiteral("Noel/photo0.jpg"))), octets(kal::fichierPhoto(0)));
}

TEST_P(Pages, SupprimeSeulementUnePageDeSonGenre)
{
    pageNoel();
    pages().listepage();
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    pages().listepage();
    ok(ed->c.O_supp, QString());
    EXPECT_EQ(dernier().texte, QStringLiteral("Aucun nom désigné pour la suppression"));
    // Refused: no such folder, a link to a saved page, a folder holding a folder, the other kind.
    QFile::link(perso(QStringLiteral("Noel")), perso(QStringLiteral("lien")));
    QDir().mkpath(perso(QStringLiteral("Album/sous")));
    kal::fs::ecrireFichier(perso(QStringLiteral("Album/") + kal::perso::marqueur(jaq())), {});
    QDir().mkpath(perso(QStringLiteral("Autre")));
    kal::fs::ecrireFichier(perso(QStringLiteral("Autre/") + kal::perso::marqueur(!jaq())), {});
    const auto avant = arbre(travail(QStringLiteral("persopag")));
    for (const char* nom : {"Inconnue", "lien", "Album", "Autre"}) {
        banc.repondeur.oublier();
        ok(ed->c.O_supp, QString::fromLatin1(nom));
        EXPECT_EQ(dernier().texte, QStringLiteral("Cette page n'existe pas")) << nom;
        EXPECT_EQ(dernier().titre, QStringLiteral("ERREUR"));
    }
    EXPECT_EQ(arbre(travail(QStringLiteral("persopag"))), avant);
    ok(ed->c.O_supp, QStringLiteral("Noel"));
    EXPECT_EQ(dernier().texte, QStringLiteral("La page Noel a été supprimée"));
    EXPECT_EQ(dernier().titre, QStringLiteral("SUPPRESSION PAGE"));
    EXPECT_EQ(dernier().style, 48);
    EXPECT_FALSE(QFileInfo::exists(perso(QStringLiteral("Noel"))));
    EXPECT_FALSE(ed->c.F_page.visible());
    EXPECT_EQ(noms(travail(QStringLiteral("persopag"))),
              QStringList({QStringLiteral("Album"), QStringLiteral("Autre"), QStringLiteral("lien")}));
}

TEST_P(Pages, UnNomQuiSortiraitDePersopagEstRefuseSansRienToucher)
{
    pageNoel();
    pages().listepage();
    ok(ed->c.O_ajout, QStringLiteral("Noel"));
    kal::fs::creerDossier(travail(QStringLiteral("utilphot")));
    kal::fs::ecrireFichier(travail(QStringLiteral("utilphot/vacances.jpg")), octets(kal::fichierPhoto(0)));
    e().pagemodifiee = true;
    const auto avant = arbre(banc.dossier.chemin());
    const int objets = e().nbobjets;
    for (const QString& nom : kaltest::nomsDangereux()) {
        for (kal::BoutonOption* option : {&ed->c.O_ajout, &ed->c.O_supp, &ed->c.O_ouvrir}) {
            banc.repondeur.oublier();
            if (option == &ed->c.O_ouvrir)
                banc.repondeur.prevoir(kal::msg::RepNon);   // not saved first
            ok(*option, nom);
            ASSERT_FALSE(banc.repondeur.messages().empty());
            EXPECT_EQ(dernier().titre, QStringLiteral("ERREUR")) << nom.toStdString();
            EXPECT_EQ(dernier().style, 48);
            EXPECT_TRUE(dernier().texte.contains(QStringLiteral("ne peut pas désigner une page")));
        }
    }
    EXPECT_EQ(arbre(banc.dossier.chemin()), avant);
    EXPECT_EQ(e().nbobjets, objets);
    EXPECT_TRUE(e().pagemodifiee);
    EXPECT_EQ(ed->x.D_image.base(), base());
}

TEST(NomsDePages, LesNomsSimplesPassentTelsQuels)
{
    for (const char* nom : {"Noel", "Été 2011", " espace ", "a.b", "x..y", "100%"})
        EXPECT_TRUE(kal::perso::refusNom(QString::fromUtf8(nom)).isEmpty()) << nom;
    EXPECT_TRUE(kal::perso::refusNom(QString(255, QLatin1Char('a'))).isEmpty());
    EXPECT_FALSE(kal::perso::refusNom(QString(128, QChar(0xE9))).isEmpty());   // 256 bytes
    EXPECT_EQ(kal::compterLignes(QStringLiteral("a\r\nb\r\nc")), 3);
    EXPECT_EQ(kal::compterLignes(QStringLiteral("seul")), 1);
}

INSTANTIATE_TEST_SUITE_P(Editeurs, Pages, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
