// The work-database layer on real SQLite files in a temporary work folder.
#include "support/utilisateur.h"
#include "support/erreurs.h"
#include "platform/base/erreur.h"
#include "platform/database/basedonnees.h"
#include "support/dossiertemp.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <exception>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/wait.h>
#include <unistd.h>

using kal::Erreur;
using namespace kal::bd;

using kaltest::numeroErreur;

namespace {

// A small object table: numero 0..n-1, occup True for the numbers given.
QString faireBase(const kaltest::DossierTravail& d, int n = 20, std::initializer_list<int> occupes = {})
{
    const QString chemin = d.fichier(QStringLiteral("kalmorin.mdb"));
    Base b = Base::creer(chemin);
    b.creerTable(QStringLiteral("kalmorin"), {{QStringLiteral("numero"), TypeChamp::Long, 0},
                                              {QStringLiteral("occup"), TypeChamp::Booleen, false},
                                              {QStringLiteral("leftimp"), TypeChamp::Entier, 0},
                                              {QStringLiteral("widthimp"), TypeChamp::Double, 0},
                                              {QStringLiteral("heightimp"), TypeChamp::Simple, 0},
                                              {QStringLiteral("fontname"), TypeChamp::Texte, {}},
                                              {QStringLiteral("note"), TypeChamp::Memo, {}}});
    JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
    for (int i = 0; i < n; ++i) {
        j.ajouterNouveau();
        j.mettre(QStringLiteral("numero"), i);
        j.mettre(QStringLiteral("occup"), std::find(occupes.begin(), occupes.end(), i) != occupes.end());
        j.miseAJour();
    }
    b.fermer();
    return chemin;
}

QList<int> numeros(JeuEnregistrements& j)
{
    QList<int> r;
    j.premier();
    while (!j.fin()) {
        r << j.valeur(QStringLiteral("numero")).toInt();
        j.suivant();
    }
    return r;
}

}  // namespace

TEST(TraductionJet, CrochetsEtBooleensSeulement)
{
    EXPECT_EQ(traduireSql(QStringLiteral("SELECT * FROM [kalmorin] WHERE [occup] = true")),
              QStringLiteral("SELECT * FROM \"kalmorin\" WHERE \"occup\" = 1"));
    EXPECT_EQ(traduireSql(QStringLiteral("x = False AND y = 'true' AND truest = 2")),
              QStringLiteral("x = 0 AND y = 'true' AND truest = 2"));
    EXPECT_EQ(traduireSql(QStringLiteral("[a\"b]")), QStringLiteral("\"a\"\"b\""));
}

TEST(TraductionJet, Criteres)
{
    Critere c = lireCritere(QStringLiteral("numero=7"));
    EXPECT_EQ(c.champ, QStringLiteral("numero"));
    EXPECT_EQ(c.operateur, QStringLiteral("="));
    EXPECT_TRUE(satisfait(c, 7));
    EXPECT_FALSE(satisfait(c, 17));
    EXPECT_FALSE(satisfait(c, QVariant()));   // a null matches nothing

    c = lireCritere(QStringLiteral("occup=True"));
    EXPECT_TRUE(satisfait(c, true));
    EXPECT_TRUE(satisfait(c, -1));   // any non-zero value is True
    EXPECT_FALSE(satisfait(c, false));

    c = lireCritere(QStringLiteral(" [fontname] <> 'Arial' "));
    EXPECT_FALSE(satisfait(c, QStringLiteral("arial")));   // letter case does not count
    EXPECT_TRUE(satisfait(lireCritere(QStringLiteral("numero>=16")), 16));
    EXPECT_FALSE(satisfait(lireCritere(QStringLiteral("numero<16")), 16));

    for (const char* faux : {"", "numero", "numero=", "numero=abc", "= 5", "numero ~ 5"})
        EXPECT_EQ(numeroErreur([&] { lireCritere(QString::fromLatin1(faux)); }), err::CritereInvalide) << faux;
}

TEST(SourceDonnees, ActualiserChercherModifierMettreAJour)
{
    kaltest::DossierTravail d;
    const QString chemin = faireBase(d);
    SourceDonnees src;
    src.definirBase(chemin);
    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    JeuEnregistrements& j = src.jeu();
    ASSERT_EQ(j.nombre(), 20);
    EXPECT_EQ(j.valeur(QStringLiteral("numero")).toInt(), 0);   // refresh stands on the first record

    j.chercherPremier(QStringLiteral("numero=7"));
    ASSERT_FALSE(j.sansCorrespondance());
    j.modifier();
    j.mettre(QStringLiteral("occup"), true);
    j.mettre(QStringLiteral("leftimp"), 1000.5);      // 16-bit: half to the even neighbour
    j.mettre(QStringLiteral("widthimp"), 675.25);
    j.mettre(QStringLiteral("heightimp"), 0.1);       // single precision
    j.mettre(QStringLiteral("FONTNAME"), QStringLiteral("Times New Roman"));   // names without case
    EXPECT_EQ(j.valeur(QStringLiteral("leftimp")).toInt(), 1000);   // the edit buffer is read back
    j.miseAJour();
    EXPECT_EQ(j.valeur(QStringLiteral("numero")).toInt(), 7);   // the record stays current

    // Another connection sees the file as updated.
    SourceDonnees autre;
    autre.definirBase(chemin);
    autre.definirSource(QStringLiteral("kalmorin"));
    autre.actualiser();
    JeuEnregistrements& k = autre.jeu();
    k.chercherPremier(QStringLiteral("numero=7"));
    EXPECT_EQ(k.valeur(QStringLiteral("occup")), QVariant(true));
    EXPECT_EQ(k.valeur(QStringLiteral("leftimp")), QVariant(1000));
    EXPECT_EQ(k.valeur(QStringLiteral("widthimp")), QVariant(675.25));
    EXPECT_EQ(k.valeur(QStringLiteral("heightimp")), QVariant(0.1f));
    EXPECT_EQ(k.valeur(QStringLiteral("fontname")).toString(), QStringLiteral("Times New Roman"));
    EXPECT_FALSE(k.valeur(QStringLiteral("note")).isValid());   // never written: null

    k.chercherPremier(QStringLiteral("occup=True"));
    EXPECT_EQ(k.valeur(QStringLiteral("numero")).toInt(), 7);
    k.chercherPremier(QStringLiteral("numero=99"));
    EXPECT_TRUE(k.sansCorrespondance());
    EXPECT_EQ(numeroErreur([&] { k.modifier(); }), err::AucunEnregistrement);   // nothing edited by mistake
    EXPECT_EQ(numeroErreur([&] { k.valeur(QStringLiteral("numero")); }), err::AucunEnregistrement);
}

TEST(SourceDonnees, RequetesDuProgramme)
{
    kaltest::DossierTravail d;
    const QString chemin = faireBase(d, 32, {3, 17, 20});
    SourceDonnees src;
    src.definirBase(chemin);

    src.definirSource(QStringLiteral("SELECT * FROM [kalmorin] WHERE [occup] = true"));
    src.actualiser();
    EXPECT_EQ(numeros(src.jeu()), (QList<int>{3, 17, 20}));

    src.definirSource(QStringLiteral("SELECT * FROM [kalmorin] WHERE [numero] < 16 ORDER BY [numero]"));
    src.actualiser();
    EXPECT_EQ(src.jeu().nombre(), 16);
    src.definirSource(QStringLiteral("SELECT * FROM [kalmorin] WHERE [numero] > 15 ORDER BY [numero]"));
    src.actualiser();
    EXPECT_EQ(numeros(src.jeu()).front(), 16);
    src.definirSource(QStringLiteral("SELECT * FROM [kalmorin]  WHERE [numero] BETWEEN 16 AND 31"));
    src.actualiser();
    EXPECT_EQ(src.jeu().nombre(), 16);

    // A record of a query can be edited, and a search stays within the query's records.
    JeuEnregistrements& j = src.jeu();
    j.chercherPremier(QStringLiteral("numero=3"));
    EXPECT_TRUE(j.sansCorrespondance());
    j.chercherPremier(QStringLiteral("numero=20"));
    j.modifier();
    j.mettre(QStringLiteral("occup"), false);
    j.miseAJour();
    src.definirSource(QStringLiteral("SELECT * FROM [kalmorin] WHERE [occup] = true"));
    src.actualiser();
    EXPECT_EQ(numeros(src.jeu()), (QList<int>{3, 17}));

    // Walking: fin() after the last record, moving on from there is refused.
    JeuEnregistrements& w = src.jeu();
    w.dernier();
    w.suivant();
    EXPECT_TRUE(w.fin());
    EXPECT_EQ(numeroErreur([&] { w.suivant(); }), err::AucunEnregistrement);

    src.definirSource(QStringLiteral("SELECT * FROM [kalmorin] WHERE [numero] > 99"));
    src.actualiser();
    EXPECT_TRUE(src.jeu().fin());
    EXPECT_TRUE(src.jeu().debut());
}

TEST(SourceDonnees, ChampAbsentEtAjoutDeChamp)
{
    kaltest::DossierTravail d;
    const QString chemin = faireBase(d);
    SourceDonnees src;
    src.definirBase(chemin);
    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    src.jeu().chercherPremier(QStringLiteral("numero=4"));
    EXPECT_EQ(numeroErreur([&] { src.jeu().valeur(QStringLiteral("cadre")); }), err::ChampAbsent);
    src.jeu().modifier();
    EXPECT_EQ(numeroErreur([&] { src.jeu().mettre(QStringLiteral("cadre"), 1); }), err::ChampAbsent);
    src.jeu().annulerMiseAJour();

    // The upgrade: close, open through the engine, add the 16-bit field, close, bind again.
    src.fermerBase();
    EXPECT_EQ(numeroErreur([&] { src.jeu(); }), err::ObjetFerme);
    {
        Base b = Base::ouvrir(chemin);
        b.ajouterChamp(QStringLiteral("kalmorin"), QStringLiteral("cadre"), TypeChamp::Entier);
        EXPECT_EQ(numeroErreur([&] { b.ajouterChamp(QStringLiteral("kalmorin"), QStringLiteral("CADRE"), TypeChamp::Entier); }),
                  err::ChampExistant);
        EXPECT_EQ(numeroErreur([&] { b.ajouterChamp(QStringLiteral("autre"), QStringLiteral("x"), TypeChamp::Entier); }),
                  err::ChampAbsent);
        b.fermer();
    }
    src.actualiser();
    JeuEnregistrements& j = src.jeu();
    j.chercherPremier(QStringLiteral("numero=4"));
    EXPECT_FALSE(j.valeur(QStringLiteral("cadre")).isValid());   // no value until written
    EXPECT_EQ(j.typeChamp(QStringLiteral("cadre")), TypeChamp::Entier);
    j.modifier();
    j.mettre(QStringLiteral("cadre"), 1);
    j.miseAJour();
    src.actualiser();
    src.jeu().chercherPremier(QStringLiteral("numero=4"));
    EXPECT_EQ(src.jeu().valeur(QStringLiteral("cadre")), QVariant(1));
}

TEST(SourceDonnees, FermerPuisCopierLeFichier)
{
    kaltest::DossierTravail d;
    const QString chemin = faireBase(d);
    SourceDonnees src;
    src.definirBase(chemin);
    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    src.jeu().chercherPremier(QStringLiteral("numero=2"));
    src.jeu().modifier();
    src.jeu().mettre(QStringLiteral("occup"), true);
    src.jeu().miseAJour();
    src.fermerBase();

    // The closed file is complete on its own: a copy holds the change, no journal is left.
    const QString copie = d.fichier(QStringLiteral("copie.mdb"));
    ASSERT_TRUE(QFile::copy(chemin, copie));
    EXPECT_FALSE(QFile::exists(chemin + QStringLiteral("-journal")));
    EXPECT_FALSE(QFile::exists(chemin + QStringLiteral("-wal")));
    src.definirBase(copie);
    src.actualiser();
    src.jeu().chercherPremier(QStringLiteral("occup=True"));
    EXPECT_EQ(src.jeu().valeur(QStringLiteral("numero")).toInt(), 2);
}

TEST(SourceDonnees, UnProgrammeTueEnPleineEcritureLaisseUneBaseLisibleAvecSesEcritures)
{
    kaltest::DossierTravail d;
    const QString chemin = faireBase(d, 0);
    int tube[2];
    ASSERT_EQ(::pipe(tube), 0);
    const pid_t enfant = ::fork();
    ASSERT_GE(enfant, 0);
    if (enfant == 0) {
        // Adds records one after the other and says after each which number it committed.
        ::close(tube[0]);
        SourceDonnees src;
        src.definirBase(chemin);
        src.definirSource(QStringLiteral("kalmorin"));
        src.actualiser();
        for (int i = 0;; ++i) {
            src.jeu().ajouterNouveau();
            src.jeu().mettre(QStringLiteral("numero"), i);
            src.jeu().mettre(QStringLiteral("note"), QString(2000, QLatin1Char('x')));
            src.jeu().miseAJour();
            if (::write(tube[1], &i, sizeof i) != sizeof i)
                ::_exit(1);
        }
    }
    ::close(tube[1]);
    int dernier = -1;
    for (int n; dernier < 300 && ::read(tube[0], &n, sizeof n) == sizeof n;)
        dernier = n;
    ::kill(enfant, SIGKILL);   // while it writes the next records
    ::waitpid(enfant, nullptr, 0);
    ::close(tube[0]);
    ASSERT_EQ(dernier, 300);
    EXPECT_TRUE(QFile::exists(chemin + QStringLiteral("-wal")));   // commits were not flushed one by one

    // Reopened: sound, and every record committed before the kill is there.
    SourceDonnees src;
    src.definirBase(chemin);
    src.definirSource(QStringLiteral("PRAGMA integrity_check"));
    src.actualiser();
    EXPECT_EQ(src.jeu().valeur(QStringLiteral("integrity_check")).toString(), QStringLiteral("ok"));
    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    const QList<int> n = numeros(src.jeu());
    ASSERT_GE(n.size(), 301);
    for (int i = 0; i < n.size(); ++i)
        EXPECT_EQ(n[i], i);
    // A write and a close leave the file whole on its own again.
    src.jeu().ajouterNouveau();
    src.jeu().mettre(QStringLiteral("numero"), int(n.size()));
    src.jeu().miseAJour();
    src.fermerBase();
    EXPECT_FALSE(QFile::exists(chemin + QStringLiteral("-wal")));
    EXPECT_FALSE(QFile::exists(chemin + QStringLiteral("-journal")));
}

TEST(SourceDonnees, AjouterNouveauPrendLesValeursParDefaut)
{
    kaltest::DossierTravail d;
    const QString chemin = faireBase(d, 17);
    SourceDonnees src;
    src.definirBase(chemin);
    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    JeuEnregistrements& j = src.jeu();
    j.chercherPremier(QStringLiteral("numero=5"));
    for (int n = 17; n <= 31; ++n) {
        j.ajouterNouveau();
        j.mettre(QStringLiteral("numero"), n);
        j.mettre(QStringLiteral("occup"), false);
        j.miseAJour();
    }
    EXPECT_EQ(j.valeur(QStringLiteral("numero")).toInt(), 5);   // the current record is kept
    EXPECT_EQ(j.nombre(), 32);
    j.chercherPremier(QStringLiteral("numero=31"));
    EXPECT_EQ(j.valeur(QStringLiteral("leftimp")), QVariant(0));   // column default
    EXPECT_FALSE(j.valeur(QStringLiteral("fontname")).isValid());  // no default: null
}

TEST(SourceDonnees, MauvaisesEntreesDonnentUneErreurClaire)
{
    kaltest::DossierTravail d;
    const QString chemin = faireBase(d);
    SourceDonnees src;
    EXPECT_EQ(numeroErreur([&] { src.actualiser(); }), err::FichierIntrouvable);
    src.definirBase(d.fichier(QStringLiteral("absente.mdb")));
    src.definirSource(QStringLiteral("kalmorin"));
    EXPECT_EQ(numeroErreur([&] { src.actualiser(); }), err::FichierIntrouvable);
    EXPECT_FALSE(QFile::exists(d.fichier(QStringLiteral("absente.mdb"))));   // not made by mistake

    // A file that is no database (an old engine's file, say) is refused, not damaged.
    const QString faux = d.fichier(QStringLiteral("ancien.mdb"));
    {
        QFile f(faux);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, '\x01'));
    }
    src.definirBase(faux);
    EXPECT_EQ(numeroErreur([&] { src.actualiser(); }), err::FormatInconnu);
    EXPECT_EQ(QFile(faux).size(), 4096);

    src.definirBase(chemin);
    src.definirSource(QStringLiteral("absente"));
    EXPECT_NE(numeroErreur([&] { src.actualiser(); }), 0);
    EXPECT_EQ(numeroErreur([&] { src.jeu(); }), err::ObjetFerme);

    src.definirSource(QStringLiteral("kalmorin"));
    src.actualiser();
    JeuEnregistrements& j = src.jeu();
    EXPECT_EQ(numeroErreur([&] { j.mettre(QStringLiteral("occup"), true); }), err::SansEdition);
    EXPECT_EQ(numeroErreur([&] { j.miseAJour(); }), err::SansEdition);
    EXPECT_EQ(numeroErreur([&] { j.chercherPremier(QStringLiteral("inconnu=1")); }), err::CritereInvalide);
    j.modifier();
    EXPECT_EQ(numeroErreur([&] { j.mettre(QStringLiteral("leftimp"), 40000); }), kal::err::Depassement);
    EXPECT_EQ(numeroErreur([&] { j.mettre(QStringLiteral("leftimp"), QStringLiteral("douze")); }), kal::err::TypeIncompatible);
    EXPECT_EQ(numeroErreur([&] { j.mettre(QStringLiteral("fontname"), QString(256, QLatin1Char('x'))); }), err::ChampTropPetit);
    j.mettre(QStringLiteral("note"), QString(1000, QLatin1Char('y')));   // a memo holds it
    j.mettre(QStringLiteral("leftimp"), true);                           // True is -1
    j.miseAJour();
    EXPECT_EQ(j.valeur(QStringLiteral("leftimp")).toInt(), -1);
    EXPECT_EQ(j.valeur(QStringLiteral("note")).toString().size(), 1000);

    // A query that is not "SELECT * FROM table" is read-only, and says so.
    src.definirSource(QStringLiteral("SELECT count(*) AS n FROM [kalmorin]"));
    src.actualiser();
    EXPECT_EQ(src.jeu().valeur(QStringLiteral("n")).toInt(), 20);
    EXPECT_EQ(numeroErreur([&] { src.jeu().modifier(); }), err::LectureSeule);
    EXPECT_EQ(numeroErreur([&] { Base::creer(chemin); }), err::BaseExistante);
}

namespace {

QByteArray contenu(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(illisible)");
}

void poser(const QString& chemin, const QByteArray& octets)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(octets), octets.size());
}

// The error a step raises, as the user reads it: its number and its lines.
struct Echec {
    int numero = 0;
    QStringList lignes;
};

Echec echecDe(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        return {e.numero(), e.description().split(QLatin1Char('\r'))};
    }
    return {};
}

// What every message about a damaged file must be: a French first line that names the file and
// says what to do, the engine's text at most on a second line, never the program's SQL.
void verifierMessage(const Echec& e, const QString& fichier, const QString& debut)
{
    ASSERT_FALSE(e.lignes.isEmpty());
    EXPECT_TRUE(e.lignes[0].startsWith(debut)) << e.lignes[0].toStdString();
    EXPECT_TRUE(e.lignes[0].contains(fichier)) << e.lignes[0].toStdString();
    EXPECT_LE(e.lignes.size(), 2);
    if (e.lignes.size() == 2) {
        EXPECT_TRUE(e.lignes[1].startsWith("(SQLite : ")) << e.lignes[1].toStdString();
    }
    for (const QString& l : e.lignes) {
        EXPECT_FALSE(l.contains("SELECT", Qt::CaseInsensitive)) << l.toStdString();
        EXPECT_FALSE(l.contains("rowid")) << l.toStdString();
    }
}

using kaltest::commeUtilisateur;

constexpr auto tout = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                      QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

}  // namespace

TEST(BaseEndommagee, UnFichierQuiNEstPasUneBaseEstRefuseSansEtreTouche)
{
    kaltest::DossierTravail d;
    SourceDonnees src;
    src.definirSource(QStringLiteral("kalmorin"));

    // Random bytes.
    const QString hasard = d.fichier(QStringLiteral("hasard.mdb"));
    QByteArray octets(8192, '\0');
    QRandomGenerator g(3146);
    for (auto& c : octets)
        c = static_cast<char>(g.bounded(256));
    poser(hasard, octets);
    src.definirBase(hasard);
    Echec e = echecDe([&] { src.actualiser(); });
    EXPECT_EQ(e.numero, err::FormatInconnu);
    verifierMessage(e, hasard, QStringLiteral("Le fichier ") + hasard + QStringLiteral(" n'est pas une base de données du programme"));
    EXPECT_TRUE(e.lignes[0].contains("copie intacte"));
    EXPECT_EQ(contenu(hasard), octets);

    // A real database cut in half.
    const QString entiere = faireBase(d, 32);
    {
        Base b = Base::ouvrir(entiere);
        JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        for (int i = 0; i < 300; ++i) {
            j.ajouterNouveau();
            j.mettre(QStringLiteral("numero"), 100 + i);
            j.mettre(QStringLiteral("note"), QString(300, QLatin1Char('n')));
            j.miseAJour();
        }
        b.fermer();
    }
    const QByteArray complete = contenu(entiere);
    ASSERT_GT(complete.size(), 8 * 4096);
    const QString coupee = d.fichier(QStringLiteral("coupee.mdb"));
    poser(coupee, complete.left(complete.size() / 2));
    src.definirBase(coupee);
    e = echecDe([&] {
        src.actualiser();
        numeros(src.jeu());
    });
    EXPECT_EQ(e.numero, err::ErreurMoteur);
    verifierMessage(e, coupee, QStringLiteral("La base de données ") + coupee + QStringLiteral(" est endommagée."));
    ASSERT_EQ(e.lignes.size(), 2);
    EXPECT_EQ(e.lignes[1], QStringLiteral("(SQLite : le contenu du fichier est endommagé)"));
    EXPECT_EQ(contenu(coupee), complete.left(complete.size() / 2));

    // A folder of that name.
    const QString dossier = d.fichier(QStringLiteral("dossier.mdb"));
    QDir().mkdir(dossier);
    src.definirBase(dossier);
    e = echecDe([&] { src.actualiser(); });
    EXPECT_EQ(e.numero, err::FichierIntrouvable);
    verifierMessage(e, dossier, dossier + QStringLiteral(" est un dossier"));
}

TEST(BaseEndommagee, VideSansTableOuSansChamp)
{
    kaltest::DossierTravail d;
    SourceDonnees src;

    // An empty file: the engine takes it as an empty database, and it stays empty.
    const QString vide = d.fichier(QStringLiteral("vide.mdb"));
    poser(vide, {});
    src.definirBase(vide);
    src.definirSource(QStringLiteral("kalmorin"));
    Echec e = echecDe([&] { src.actualiser(); });
    EXPECT_EQ(e.numero, 3078);
    verifierMessage(e, vide, QStringLiteral("La base de données ") + vide + QStringLiteral(" est vide : la table kalmorin n'y est pas."));
    EXPECT_EQ(QFile(vide).size(), 0);

    // Another table but not this one: by name, by the program's query, by any other query.
    const QString autre = d.fichier(QStringLiteral("autre.mdb"));
    {
        Base b = Base::creer(autre);
        b.creerTable(QStringLiteral("photos"), {{QStringLiteral("numero"), TypeChamp::Long, 0}});
    }
    src.definirBase(autre);
    for (const char* source : {"kalmorin", "SELECT * FROM [kalmorin] WHERE [occup] = true", "SELECT count(*) FROM [kalmorin]"}) {
        src.definirSource(QString::fromLatin1(source));
        e = echecDe([&] { src.actualiser(); });
        EXPECT_EQ(e.numero, 3078) << source;
        verifierMessage(e, autre, QStringLiteral("La table kalmorin est absente de la base de données ") + autre);
    }

    // The table without a field the program reads: a query naming it fails, it does not find
    // nothing (the engine would otherwise take the missing name for a text).
    const QString sansChamp = faireBase(d, 4);
    {
        Base b = Base::ouvrir(sansChamp);
        b.creerTable(QStringLiteral("ancienne"), {{QStringLiteral("numero"), TypeChamp::Long, 0}});
    }
    src.definirBase(sansChamp);
    src.definirSource(QStringLiteral("SELECT * FROM [ancienne] WHERE [occup] = true"));
    e = echecDe([&] { src.actualiser(); });
    EXPECT_EQ(e.numero, err::ErreurMoteur);
    verifierMessage(e, sansChamp, QStringLiteral("Le champ occup est absent de la base de données ") + sansChamp);
    EXPECT_EQ(e.lignes.value(1), QStringLiteral("(SQLite : champ absent : occup)"));
    src.definirSource(QStringLiteral("ancienne"));
    src.actualiser();
    e = echecDe([&] { src.jeu().valeur(QStringLiteral("occup")); });
    EXPECT_EQ(e.numero, err::ChampAbsent);
    verifierMessage(e, sansChamp, QStringLiteral("Le champ occup est absent de la table ancienne de la base de données ") + sansChamp);
}

TEST(BaseEndommagee, EnLectureSeuleLaModificationEstRefuseeEtLeFichierIntact)
{
    kaltest::DossierTravail d;
    QFile::setPermissions(d.chemin(), tout | QFileDevice::WriteOther);
    const QString chemin = faireBase(d, 4);
    const QByteArray avant = contenu(chemin);

    // A read-only file: it is read, but a change is refused.
    ASSERT_TRUE(QFile::setPermissions(chemin, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    Echec e;
    int lus = 0;
    commeUtilisateur([&] {
        SourceDonnees src;
        src.definirBase(chemin);
        src.definirSource(QStringLiteral("kalmorin"));
        src.actualiser();
        lus = src.jeu().nombre();
        e = echecDe([&] {
            src.jeu().modifier();
            src.jeu().mettre(QStringLiteral("occup"), true);
            src.jeu().miseAJour();
        });
    });
    EXPECT_EQ(lus, 4);
    EXPECT_EQ(e.numero, err::ErreurMoteur);
    verifierMessage(e, chemin, QStringLiteral("La base de données ") + chemin + QStringLiteral(" est en lecture seule"));
    EXPECT_TRUE(e.lignes[0].contains("Rendre le fichier et son dossier modifiables"));
    EXPECT_EQ(contenu(chemin), avant);

    // A file that may be written in a folder that may not: no journal can be made beside it.
    const QString lecture = d.fichier(QStringLiteral("lecture"));
    QDir().mkdir(lecture);
    const QString dedans = lecture + QStringLiteral("/kalmorin.mdb");
    poser(dedans, avant);
    ASSERT_TRUE(QFile::setPermissions(dedans, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                                  QFileDevice::WriteOther));
    ASSERT_TRUE(QFile::setPermissions(lecture, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                   QFileDevice::ExeOther));
    commeUtilisateur([&] {
        SourceDonnees src;
        src.definirBase(dedans);
        src.definirSource(QStringLiteral("kalmorin"));
        src.actualiser();
        e = echecDe([&] {
            src.jeu().modifier();
            src.jeu().mettre(QStringLiteral("occup"), true);
            src.jeu().miseAJour();
        });
    });
    EXPECT_EQ(e.numero, err::ErreurMoteur);
    verifierMessage(e, dedans, QStringLiteral("La base de données ") + dedans);
    EXPECT_EQ(contenu(dedans), avant);
    QFile::setPermissions(lecture, tout | QFileDevice::WriteOwner);
}
