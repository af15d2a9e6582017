// The steps on whole folders of persopag under the fault seam, as SQLite tests itself: each step
// run once to count its write-class operations, then again with operation N failing, once and from
// N on (a program stopped there), for every N, the start's recovery run after each. Whatever
// happened, the page is then whole under its name, old or new; no hidden folder is left; and the
// message said what was true.
#include "pagefiles/banc_pages.h"

#include "platform/base/panne.h"

#include <filesystem>
#include <iostream>
#include <optional>

using kal::TypeEditeur;
using kaltest::BancPages;
namespace panne = kal::panne;

namespace {

using Arbre = std::map<QString, QByteArray>;
using Etat = std::map<QString, Arbre>;   // the folders of persopag by name, each as its tree
using Etape = std::function<std::optional<Etat>(int err)>;

class Pannes : public BancPages {
protected:
    void TearDown() override
    {
        panne::desarmer();
        panne::refuserEchange(false);
        BancPages::TearDown();
    }
    QString dossierPerso() const { return travail(QStringLiteral("persopag")); }
    // A saved folder by what it holds: its files' bytes, its database's records.
    static Arbre page(const QString& dossier)
    {
        Arbre a = arbre(dossier);
        for (auto& [nom, octets] : a)
            if (nom == QLatin1String("kalmorin.mdb"))
                octets = lire(fs(dossier, nom), QStringLiteral("SELECT * FROM kalmorin ORDER BY numero")).toUtf8();
        return a;
    }
    static QString fs(const QString& d, const QString& n) { return d + QLatin1Char('/') + n; }
    // persopag, as a whole, or its pages only (the names the user sees).
    Etat persopag(bool visibles = false) const
    {
        Etat r;
        for (const QString& n : noms(dossierPerso()))
            if (!visibles || !n.startsWith(QLatin1Char('.')))
                r[n] = page(perso(n));
        return r;
    }
    void garder(const QString& copie)
    {
        std::filesystem::remove_all(copie.toStdString());
        std::filesystem::copy(dossierPerso().toStdString(), copie.toStdString(), std::filesystem::copy_options::recursive);
    }
    void remettre(const QString& copie)
    {
        std::filesystem::remove_all(dossierPerso().toStdString());
        std::filesystem::copy(copie.toStdString(), dossierPerso().toStdString(), std::filesystem::copy_options::recursive);
        // A failed reopen of the work database is not this step's matter: bound afresh.
        ed->x.D_image.fermerBase();
        ed->x.D_image.definirBase(base());
        ed->x.D_image.definirSource(kal::nomTableObjets());
        ed->x.D_image.actualiser();
        banc.repondeur.oublier();
    }
    // The start's recovery of persopag; nothing may be left for the user to mend by hand.
    void demarrer()
    {
        const QStringList restes = kal::perso::reprendre(dossierPerso());
        EXPECT_TRUE(restes.isEmpty()) << restes.join(QLatin1Char('\n')).toStdString();
        kal::perso::supprimerDossiersAcote(dossierPerso());
    }
    // What the step said after the question to replace, if it asked one.
    QString reponse() const
    {
        const QString t = dernier().texte;
        return t.contains(QStringLiteral("Voulez-vous la remplacer")) ? QString() : t;
    }
    static bool cache(const QString& texte)
    {
        for (const char* p : {"/.sauvegarde-", "/.ancien-", "/.conversion-", "/.suppression-", "/.journal-"})
            if (texte.contains(QLatin1String(p)))
                return true;
        return false;
    }

    // The loop: `etape` runs the step and gives, from what it said, what persopag's pages must be
    // right after it (nothing when it leaves that to the next start); `finals`, the states
    // allowed once the start has run. `sansReserve`, when given, tells a message of plain success:
    // with an operation of the file layer that `aConfirmer` names failing (a flush, by default),
    // the step never says that (it fails, or says the disk did not confirm it).
    using Succes = std::function<bool(const QString& texte)>;
    static bool flush(const QString& op)
    {
        return op.startsWith(QLatin1String("synchroniser ")) && !op.startsWith(QLatin1String("synchroniser base"));
    }
    void boucle(const QString& copie, const Etape& etape, const std::vector<Etat>& finals, const Succes& sansReserve = {},
                const std::function<bool(const QString& op)>& aConfirmer = flush)
    {
        remettre(copie);
        panne::compter();
        etape(0);
        const long n = panne::compte();
        const std::vector<QString> compteur = panne::operations();
        panne::desarmer();
        if (qEnvironmentVariableIsSet("KAL_OPERATIONS"))
            for (const QString& o : compteur)
                std::cerr << o.toStdString() << '\n';
        ASSERT_GT(n, 3);
        // Once with a full disk or an I/O error; from N on with a full disk, as a crash leaves it.
        for (const auto& [depuis, err] : {std::pair{false, ENOSPC}, {false, EIO}, {true, ENOSPC}})
            for (long k = 1; k <= n; ++k) {
                remettre(copie);
                SCOPED_TRACE(QStringLiteral("op %1/%2 (%3)%4 errno %5")
                                 .arg(k)
                                 .arg(n)
                                 .arg(size_t(k) <= compteur.size() ? compteur[size_t(k - 1)] : QString())
                                 .arg(depuis ? QStringLiteral(" et suivantes") : QString())
                                 .arg(err)
                                 .toStdString());
                panne::armer(k, depuis, err);
                const std::optional<Etat> dit = etape(err);
                panne::desarmer();
                SCOPED_TRACE(dernier().texte.toStdString());
                EXPECT_FALSE(cache(dernier().texte));
                if (sansReserve && size_t(k) <= compteur.size() && aConfirmer(compteur[size_t(k - 1)])) {
                    EXPECT_FALSE(sansReserve(dernier().texte));
                }
                if (dit) {
                    EXPECT_TRUE(persopag(true) == *dit);
                }
                demarrer();
                EXPECT_TRUE(std::find(finals.begin(), finals.end(), persopag()) != finals.end());
            }
    }

    // The page "Noel" saved (copieAncien: persopag then), and the page shown changed from it;
    // avecNouveau, what a save of it gives.
    void preparer()
    {
        garder(copieVide);
        pageNoel();
        pages().listepage();
        ok(ed->c.O_ajout, QStringLiteral("Noel"));
        avecAncien = {{QStringLiteral("Noel"), page(perso(QStringLiteral("Noel")))}};
        garder(copieAncien);
        ecrire(base(), QStringLiteral("UPDATE kalmorin SET occup=0 WHERE numero=0"));
        remettre(copieAncien);
        enregistrer();
        avecNouveau = {{QStringLiteral("Noel"), page(perso(QStringLiteral("Noel")))}};
        ASSERT_NE(avecNouveau, avecAncien);
    }
    void enregistrer()
    {
        pages().listepage();
        if (QFileInfo::exists(perso(QStringLiteral("Noel"))))
            banc.repondeur.prevoir(kal::msg::RepOui);
        ok(ed->c.O_ajout, QStringLiteral("Noel"));
    }
    // A full disk is named as such; the failures of the work database, the current object's
    // update before the folder is written among them, are that layer's to word.
    static bool plein(const QString& t, int err)
    {
        return err != ENOSPC || t.contains(QStringLiteral("Le disque est plein")) || t.contains(QStringLiteral("La base de données")) ||
               t.contains(AvantEtape);
    }
    static inline const QString AvantEtape = QStringLiteral("l'objet en cours n'a pas pu être mis à jour");
    // The replace: "conservé" only with the old page there, whole.
    void remplacer()
    {
        boucle(copieAncien, [&](int err) -> std::optional<Etat> {
            enregistrer();
            const QString t = reponse();
            if (t.isEmpty() || t.contains(QStringLiteral("a été enregistrée")))
                return avecNouveau;
            EXPECT_TRUE(plein(t, err)) << t.toStdString();
            if (t.contains(QStringLiteral("prochain démarrage")))
                return std::nullopt;
            if (t.contains(AvantEtape))
                return avecAncien;
            EXPECT_TRUE(t.contains(QStringLiteral("ce qui était enregistré sous ce nom est conservé"))) << t.toStdString();
            return avecAncien;
        }, {avecAncien, avecNouveau}, enregistree);
    }
    // The save said done, with nothing held back: no message after the question, or "enregistrée"
    // without the disk's missing confirmation.
    static inline const Succes enregistree = [](const QString& t) {
        return t.contains(QStringLiteral("Voulez-vous la remplacer")) ||
               (t.contains(QStringLiteral("a été enregistrée")) && !t.contains(QStringLiteral("n'a pas confirmé")));
    };

    // A jacket saved with 16 slots: front object 2, back objects 8 (a text-image) and 9.
    QString vieille()
    {
        const QString d = perso(QStringLiteral("Vieille"));
        QDir().mkpath(d);
        const QString b = d + QStringLiteral("/kalmorin.mdb");
        kal::creerBaseTravail(b);
        ecrire(b, QStringLiteral("DELETE FROM kalmorin WHERE numero > 16"));
        ecrire(b, QStringLiteral("UPDATE kalmorin SET occup=1, widthimp=1500, heightimp=1125, leftimp=100, topimp=200 "
                                 "WHERE numero IN (2, 8, 9)"));
        ecrire(b, QStringLiteral("UPDATE kalmorin SET textimage=1 WHERE numero=8"));
        for (int n : {2, 8, 9})
            QFile::copy(jpeg(QStringLiteral("v%1.jpg").arg(n), 160, 120, 0x101010 * n), d + QStringLiteral("/photo%1.jpg").arg(n));
        kal::fs::ecrireFichier(d + QStringLiteral("/texte8.rtf"), "{\\rtf1 Noel}");
        kal::fs::ecrireFichier(d + QStringLiteral("/jaquet.txt"), {});
        return b;
    }
    bool convertir()
    {
        banc.repondeur.oublier();
        ed->c.L_kalmorin.definirTexte(QStringLiteral("Vieille"));
        return pages().objet32();
    }

    QString copieVide = travail(QStringLiteral("ref-vide")), copieAncien = travail(QStringLiteral("ref-ancien"));
    Etat avecAncien, avecNouveau;
};

TEST_P(Pannes, Remplacement)
{
    preparer();
    remplacer();
}

// A disk that cannot exchange two names: the old page goes aside under a journal first.
TEST_P(Pannes, RemplacementSansEchange)
{
    preparer();
    panne::refuserEchange(true);
    remplacer();
}

// A new save: never "conservé", nothing was there.
TEST_P(Pannes, NouvelleSauvegarde)
{
    preparer();
    boucle(copieVide, [&](int err) -> std::optional<Etat> {
        enregistrer();
        const QString t = reponse();
        if (t.isEmpty() || t.contains(QStringLiteral("a été enregistrée")))
            return avecNouveau;
        EXPECT_FALSE(t.contains(QStringLiteral("conservé"))) << t.toStdString();
        EXPECT_TRUE(plein(t, err)) << t.toStdString();
        return Etat{};
    }, {{}, avecNouveau}, [](const QString& t) { return t.isEmpty() || enregistree(t); });
}

// The deletion: gone whole, or there whole.
TEST_P(Pannes, Suppression)
{
    preparer();
    boucle(copieAncien, [&](int) -> std::optional<Etat> {
        pages().listepage();
        ok(ed->c.O_supp, QStringLiteral("Noel"));
        if (dernier().texte.contains(QStringLiteral("n'a pas pu être supprimée")))
            return avecAncien;
        return Etat{};
    }, {{}, avecAncien},
           // Done without reserve only once persopag is flushed and the hidden folder removed.
           [](const QString& t) { return t.contains(QStringLiteral("a été supprimée")) && !t.contains(QStringLiteral("confirmé")); },
           [](const QString& op) { return flush(op) || op.startsWith(QLatin1String("supprimer")); });
}

// The upgrade of an old jacket to 32 slots: the old one whole, or the converted one whole.
TEST_P(Pannes, MiseA32Emplacements)
{
    vieille();
    const Etat avant{{QStringLiteral("Vieille"), page(perso(QStringLiteral("Vieille")))}};
    const QString copie = travail(QStringLiteral("ref-vieille"));
    garder(copie);
    ASSERT_TRUE(convertir());
    const Etat apres{{QStringLiteral("Vieille"), page(perso(QStringLiteral("Vieille")))}};
    ASSERT_NE(apres, avant);
    boucle(copie, [&](int err) -> std::optional<Etat> {
        const bool fait = convertir();
        const QString t = dernier().texte;
        if (fait && t.isEmpty())
            return apres;
        EXPECT_FALSE(fait);
        EXPECT_TRUE(plein(t, err)) << t.toStdString();
        if (t.contains(QStringLiteral("prochain démarrage")))
            return std::nullopt;
        EXPECT_TRUE(t.contains(QStringLiteral("elle est conservée telle quelle"))) << t.toStdString();
        return avant;
    }, {avant, apres});
}

// A damaged old jacket is refused in its own numbers, before anything of it is converted.
TEST_P(Pannes, UneVieilleJaquetteAbimeeEstRefuseeSansEtreConvertie)
{
    for (const char* defaut : {"UPDATE kalmorin SET widthimp=-5 WHERE numero=8",
                               "INSERT INTO kalmorin (numero, occup) VALUES (8, 0)"}) {
        SCOPED_TRACE(defaut);
        std::filesystem::remove_all(dossierPerso().toStdString());
        ecrire(vieille(), QString::fromUtf8(defaut));
        const auto avant = persopag();
        EXPECT_FALSE(convertir());
        const QString t = dernier().texte;
        EXPECT_TRUE(t.contains(QStringLiteral("objet 8")) && !t.contains(QStringLiteral("objet 16")) && !cache(t)) << t.toStdString();
        EXPECT_TRUE(t.contains(QStringLiteral("conservée telle quelle"))) << t.toStdString();
        EXPECT_EQ(persopag(), avant);
    }
}

INSTANTIATE_TEST_SUITE_P(Editeurs, Pannes, ::testing::Values(TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
