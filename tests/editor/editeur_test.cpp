// The editors' load, unload and close, enabling of the editing controls, hover captions and
// function lists, run against both editors wherever the behaviour is shared.
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "printing/impression.h"
#include "printing/reglages.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"
#include "support/sansimprimante.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QStyle>
#include <QFile>
#include <QMouseEvent>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

using kal::TypeEditeur;
using kaltest::octets;

namespace {

void poser(const QString& chemin, const QByteArray& octets)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(octets);
}

// A window that only records that it was unloaded (the calibration window, the manual).
class FenetreTemoin : public kal::Fenetre {
public:
    FenetreTemoin(const QString& nom, bool* decharge) : kal::Fenetre(nom), decharge_(decharge) {}

protected:
    bool dechargement() override
    {
        if (decharge_)
            *decharge_ = true;
        return true;
    }

private:
    bool* decharge_;
};

class Editeur : public ::testing::TestWithParam<TypeEditeur> {
protected:
    kaltest::BancEditeur banc{1024, 768};
    TypeEditeur type() const { return GetParam(); }
    bool jaquette() const { return type() == TypeEditeur::Jaquette; }
    int emplacements() const { return jaquette() ? 32 : 16; }
    QString fichier(const QString& nom) const { return banc.dossier.fichier(nom); }
    kal::Editeur* ouvrir() { return banc.ouvrir(type()); }
    bool occupe(int n) const
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        return j.valeur(QStringLiteral("occup")).toBool();
    }
    void occuper(int n) const
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        j.modifier();
        j.mettre(QStringLiteral("occup"), true);
        j.miseAJour();
    }
};

// --- Load

TEST_P(Editeur, ChargementDonneUnePageVide)
{
    kal::creerBaseSiAbsente(banc.dossier.chemin());
    // Records and work files an earlier run left: no object of the new page.
    for (int n : {0, 7, emplacements() - 1}) {
        occuper(n);
        for (const QString& f : kal::fichierstravail(n))
            kal::fs::ecrireFichier(f, "x");
    }
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    const kal::EtatEditeur& e = ed->x.etat;
    for (int n : {0, 7, emplacements() - 1})
        for (const QString& f : kal::fichierstravail(n))
            EXPECT_FALSE(kal::fs::existe(f)) << f.toStdString();
    // The jacket's empty front face leaves no object current.
    EXPECT_EQ(e.objetcourant, jaquette() ? kal::AucunObjet : 0);
    EXPECT_EQ(e.objetsurvole, kal::AucunObjet);
    EXPECT_EQ(e.nbobjets, 0);
    EXPECT_TRUE(e.margesactives);
    EXPECT_EQ(e.repinitial, kal::fs::dossierCourant());
    for (int n : {0, 7, emplacements() - 1})
        EXPECT_FALSE(occupe(n)) << n;
    // The settings file was missing: created, and its gamma read.
    EXPECT_DOUBLE_EQ(banc.partage.gamma, 180);
    EXPECT_EQ(ed->c.A_gamma.valeur(), 180);
    EXPECT_EQ(ed->c.E_gamma.legende(), QStringLiteral("Gamma =1.8"));
    EXPECT_TRUE(kal::fs::estDossier(fichier(QStringLiteral("persopag"))));
    EXPECT_EQ(ed->c.R_kalmorin, fichier(QStringLiteral("persopag/")));
    // Editing controls disabled, composer hidden, page caption
    EXPECT_FALSE(ed->c.A_margeH.actif());
    EXPECT_FALSE(ed->c.A_format.actif());
    EXPECT_FALSE(ed->c.A_contraste.actif());
    EXPECT_FALSE(ed->c.F_compos.visible());
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Page non référencée"));
    EXPECT_EQ(ed->c.L_fonction.nombre(), jaquette() ? 9 : 12);
    EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1);
    EXPECT_TRUE(banc.repondeur.messages().empty());
    if (jaquette()) {
        EXPECT_EQ(e.basecote, 0);
        EXPECT_EQ(e.fincote, 16);
        EXPECT_TRUE(ed->c.O_avant.valeur());
        EXPECT_TRUE(ed->c.O_compos.valeur());
        EXPECT_FALSE(ed->c.O_tout.actif());
        EXPECT_EQ(ed->x.D_image.source(), kal::sourceFace(0));
    } else {
        // The page-settings record holds the printer's settings.
        kal::bd::Base b = kal::bd::Base::ouvrir(fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(16));
        EXPECT_EQ(j.valeur(QStringLiteral("orientation")).toInt(), 1);
        EXPECT_EQ(j.valeur(QStringLiteral("papersize")).toInt(), 9);
        EXPECT_EQ(j.valeur(QStringLiteral("largeurpage")).toInt(), 11906);
        EXPECT_EQ(j.valeur(QStringLiteral("hauteurpage")).toInt(), 16838);
        EXPECT_EQ(j.valeur(QStringLiteral("scalewidth")).toInt(), 11336);
        EXPECT_EQ(j.valeur(QStringLiteral("scaleheight")).toInt(), 16208);
    }
}

TEST_P(Editeur, SansImprimanteOuvreSurUneFeuilleA4)
{
    if (!kaltest::sansImprimante()) {
        const auto* t = ::testing::UnitTest::GetInstance()->current_test_info();
        kaltest::relancerSansImprimante(QString::fromLatin1(t->test_suite_name()) + QLatin1Char('.') +
                                        QString::fromLatin1(t->name()));
        return;
    }
    // The system's printer, of which there is none.
    kal::Fenetres::enregistrer(kal::Editeur::nomFenetre(type()),
                               [this] { return new kal::Editeur(banc.partage, type(), nullptr); });
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("IMPRIMANTE"));
    EXPECT_FALSE(banc.repondeur.messages()[0].texte.isEmpty());
    EXPECT_EQ(ed->x.imprimante.largeurfeuille().valeur(), 11906);
    EXPECT_EQ(ed->x.imprimante.hauteurfeuille().valeur(), 16838);
    EXPECT_TRUE(ed->c.E_surface.legende().startsWith(QStringLiteral("Surface imprimable:")));
    const double echelle = jaquette() ? ed->x.etat.echellejaq : ed->x.etat.echelleimp;
    EXPECT_TRUE(std::isfinite(echelle));
    EXPECT_GT(echelle, 0);
    EXPECT_GT(ed->c.P_page.largeur(), 0);
}

TEST_P(Editeur, FichierReglagesCreeOctetPourOctet)
{
    ASSERT_NE(ouvrir(), nullptr);
    EXPECT_EQ(octets(fichier(QStringLiteral("quelvard.ini"))),
              QByteArray("180\r\n\r\n[DeltaH]\r\n0\r\n\r\n[DeltaV]\r\n0\r\n"));
}

TEST_P(Editeur, FichierReglagesLu)
{
    struct Cas {
        QByteArray texte;
        double gamma, dh, dv;
    };
    const Cas cas[] = {
        {" 150\r\n\r\n[DeltaH]\r\n-15\r\n\r\n[DeltaV]\r\n30\r\n", 150, -15, 30},   // as the close writes it
        {"", 150, 7, 8},                                                            // empty: nothing changes
        {"220\r\n\r\n[DeltaH]\r\n12 twips\r\n\r\n[DeltaV]\r\nx\r\nextra\r\n", 220, 12, 0},
        {"90\r\n\r\n[DeltaH]\r\n", 90, -4, 8},                                      // missing lines keep their value
    };
    for (const Cas& k : cas) {
        kal::Fenetres::toutDetruire();
        banc.partage.DeltaH = k.texte.isEmpty() ? 7 : -4;
        banc.partage.DeltaV = 8;
        poser(fichier(QStringLiteral("quelvard.ini")), k.texte);
        ASSERT_NE(ouvrir(), nullptr);
        EXPECT_DOUBLE_EQ(banc.partage.gamma, k.gamma) << k.texte.constData();
        EXPECT_DOUBLE_EQ(banc.partage.DeltaH, k.dh) << k.texte.constData();
        EXPECT_DOUBLE_EQ(banc.partage.DeltaV, k.dv) << k.texte.constData();
        EXPECT_EQ(octets(fichier(QStringLiteral("quelvard.ini"))), k.texte);   // read, not rewritten
    }
    EXPECT_TRUE(banc.repondeur.messages().empty());
}

// A first line that is not a number: the editor loads whole with the default gamma, keeps the
// corrections it could read, says so, and leaves the file as it is, also at the close.
TEST_P(Editeur, FichierReglagesIllisibleLaisseTelQuel)
{
    kal::creerBaseSiAbsente(banc.dossier.chemin());
    occuper(4);
    const QByteArray texte("gamma?\r\n\r\n[DeltaH]\r\n-86\r\n\r\n[DeltaV]\r\n96\r\n");
    poser(fichier(QStringLiteral("quelvard.ini")), texte);
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    EXPECT_DOUBLE_EQ(banc.partage.gamma, 180);
    EXPECT_DOUBLE_EQ(banc.partage.DeltaH, -86);
    EXPECT_DOUBLE_EQ(banc.partage.DeltaV, 96);
    EXPECT_FALSE(occupe(4));              // the rest of the load ran
    EXPECT_TRUE(ed->x.etat.margesactives);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("FICHIER QUELVARD.INI"));
    EXPECT_EQ(banc.repondeur.messages()[0].style, 48);
    ed->c.B_finimprim.cliquer();
    EXPECT_TRUE(kal::Programme::termine());
    EXPECT_EQ(octets(fichier(QStringLiteral("quelvard.ini"))), texte);
}

// A settings file that can be neither read nor made (here a folder of that name): the
// editor still loads, with the values it had, and says why.
TEST_P(Editeur, FichierReglagesInaccessible)
{
    kal::fs::creerDossier(fichier(QStringLiteral("quelvard.ini")));
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    EXPECT_DOUBLE_EQ(banc.partage.gamma, 150);
    EXPECT_TRUE(ed->x.etat.margesactives);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("FICHIER QUELVARD.INI"));
}

TEST_P(Editeur, ChargementFermeLaFenetreDAjustement)
{
    bool decharge = false;
    kal::Fenetres::enregistrer(QStringLiteral("AJUST"), [&decharge] { return new FenetreTemoin(QStringLiteral("AJUST"), &decharge); });
    ASSERT_NE(kal::Fenetres::instance(QStringLiteral("AJUST")), nullptr);
    ASSERT_NE(ouvrir(), nullptr);
    EXPECT_TRUE(decharge);
    EXPECT_FALSE(kal::Fenetres::chargee(QStringLiteral("AJUST")));
}

// The two editors share the work database and work files: the second one is refused.
TEST_P(Editeur, SecondEditeurRefuse)
{
    const TypeEditeur autre = jaquette() ? TypeEditeur::Page : TypeEditeur::Jaquette;
    kal::Editeur* premier = ouvrir();
    ASSERT_NE(premier, nullptr);
    // An object record in use by the first editor
    occuper(3);
    EXPECT_EQ(banc.ouvrir(autre), nullptr);
    EXPECT_TRUE(occupe(3));
    EXPECT_FALSE(kal::Fenetres::chargee(kal::Editeur::nomFenetre(autre)));
    EXPECT_EQ(kal::Fenetres::siChargee(kal::Editeur::nomFenetre(type())), premier);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    const kal::MessageAffiche& m = banc.repondeur.messages()[0];
    EXPECT_EQ(m.style, 48);
    EXPECT_EQ(m.titre, QStringLiteral("EDITEUR DEJA OUVERT"));
    EXPECT_EQ(m.lignes().size(), 2);
    // Once the first is gone the other opens.
    kal::Fenetres::decharger(kal::Editeur::nomFenetre(type()));
    EXPECT_NE(banc.ouvrir(autre), nullptr);
}

// A first start in a work folder whose disk is full: the load says which disk, in the program's
// words, with no error number and no file of the program's own (the work database is made under a
// temporary name); nothing is left of the database it could not make.
TEST(EditeurDisquePlein, LeChargementNommeLeDisquePlein)
{
    kaltest::BancEditeur banc;
    const QByteArray d = QFile::encodeName(banc.dossier.chemin());
    ASSERT_EQ(::mount("tmpfs", d.constData(), "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    struct Demontage {
        QByteArray d;
        ~Demontage() { ::umount2(d.constData(), MNT_DETACH); }
    } demontage{d};
    kal::fs::changerDossier(banc.dossier.chemin());
    struct statvfs v {};
    ASSERT_EQ(::statvfs(d.constData(), &v), 0);
    const int fd = ::open((d + "/remplissage").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::posix_fallocate(fd, 0, static_cast<off_t>(v.f_bavail) * static_cast<off_t>(v.f_frsize)), 0);
    ::close(fd);

    ASSERT_NE(banc.ouvrir(TypeEditeur::Page), nullptr);
    ASSERT_FALSE(banc.repondeur.messages().empty());
    const kal::MessageAffiche& m = banc.repondeur.messages().back();
    EXPECT_EQ(m.titre, QStringLiteral("ERREUR"));
    EXPECT_EQ(m.lignes().value(0), QStringLiteral("L'éditeur n'a pas pu être chargé entièrement : le disque du dossier de travail ") +
                                       banc.dossier.chemin() + QStringLiteral(" est plein. Libérer de la place, puis recommencer."));
    EXPECT_FALSE(m.texte.contains(QStringLiteral("erreur"))) << m.texte.toStdString();
    EXPECT_FALSE(m.texte.contains(QStringLiteral(".creation"))) << m.texte.toStdString();
    EXPECT_FALSE(QFile::exists(banc.dossier.fichier(QStringLiteral("kalmorin.mdb.creation"))));
    kal::Fenetres::decharger(kal::Editeur::nomFenetre(TypeEditeur::Page));
}

TEST_P(Editeur, DechargementRevientAuDossierInitial)
{
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    const QString initial = kal::fs::dossierCourant();
    kal::fs::creerDossier(fichier(QStringLiteral("ailleurs")));
    kal::fs::changerDossier(fichier(QStringLiteral("ailleurs")));
    kal::Fenetres::decharger(kal::Editeur::nomFenetre(type()));
    EXPECT_EQ(kal::fs::dossierCourant(), initial);
    EXPECT_FALSE(kal::Programme::termine());
    // Nothing is written or deleted by an unload.
    EXPECT_EQ(octets(fichier(QStringLiteral("quelvard.ini"))), QByteArray("180\r\n\r\n[DeltaH]\r\n0\r\n\r\n[DeltaV]\r\n0\r\n"));
}

// --- Close

TEST_P(Editeur, FermetureEcritLesReglagesEtEfface)
{
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    banc.partage.gamma = 150;
    banc.partage.DeltaH = -15;
    banc.partage.DeltaV = 30;
    QStringList fichiers;
    for (int n : {0, 15, 16, 31})
        for (const QString& f : kal::fichierstravail(n)) {
            poser(f, "x");
            fichiers << f;
        }
    kal::fs::creerDossier(fichier(QStringLiteral("ailleurs")));
    kal::fs::changerDossier(fichier(QStringLiteral("ailleurs")));
    kal::fs::changerDossier(ed->x.etat.repinitial);
    ed->c.B_finimprim.cliquer();
    EXPECT_TRUE(kal::Programme::termine());
    EXPECT_EQ(octets(fichier(QStringLiteral("quelvard.ini"))),
              QByteArray(" 150\r\n\r\n[DeltaH]\r\n-15\r\n\r\n[DeltaV]\r\n30\r\n"));
    for (const QString& f : fichiers) {
        const bool duSlot = jaquette() || !(f.contains(QLatin1String("16.svc")) || f.contains(QLatin1String("31.svc")));
        EXPECT_EQ(kal::fs::existe(f), !duSlot) << f.toStdString();
    }
    EXPECT_TRUE(banc.repondeur.messages().empty());
}

// The close that opens the other editor, its save offer answered Oui: the pages panel asks for
// the name; the save made, the close goes on, and the other editor opens, the program running.
TEST_P(Editeur, FermetureVersLAutreEditeurApresLEnregistrement)
{
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    ASSERT_TRUE(kaltest::BancEditeur::placer(ed, banc.jpeg(QStringLiteral("a.jpg"), 300, 200)));
    ASSERT_TRUE(ed->x.etat.pagemodifiee);
    banc.repondeur.prevoir(kal::msg::RepOui);
    ed->fermerapp(kal::SuiteFermeture::AutreEditeur);
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("PAGE EN COURS"));
    EXPECT_EQ(banc.repondeur.messages()[1].texte, QStringLiteral("Désignez un nom de fichier de sauvegarde"));
    EXPECT_TRUE(ed->c.F_page.visible());
    EXPECT_TRUE(kal::fs::existe(kal::fichierPhoto(0)));
    ed->c.L_kalmorin.definirTexte(QStringLiteral("Avant"));
    ed->c.B_okouvrir.cliquer();
    EXPECT_TRUE(kal::fs::existe(fichier(QStringLiteral("persopag/Avant/photo0.jpg"))));
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(0)));
    EXPECT_FALSE(kal::Programme::termine());
    EXPECT_FALSE(kal::Fenetres::chargee(kal::Editeur::nomFenetre(type())));
    kal::Editeur* autre = qobject_cast<kal::Editeur*>(
        kal::Fenetres::siChargee(kal::Editeur::nomFenetre(jaquette() ? TypeEditeur::Page : TypeEditeur::Jaquette)));
    ASSERT_NE(autre, nullptr);
    EXPECT_EQ(autre->x.etat.nbobjets, 0);
    EXPECT_EQ(banc.repondeur.messages().size(), 2u);
}

// --- Enabling

TEST_P(Editeur, Autcontrol)
{
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    kal::ControlesEditeur& c = ed->c;
    // "Image totale" goes with the geometry group only while a turned object is on the page:
    // never on this empty one.
    const std::vector<kal::Controle*> geometrie = {&c.A_format, &c.E_format, &c.A_margeH, &c.E_margeH, &c.A_margeV,
                                                   &c.E_margeV, &c.C_cadre,  &c.B_centre, &c.E_angle,  &c.A_angle,
                                                   &c.B_initimage, &c.A_gamma, &c.E_gamma};
    const std::vector<kal::Controle*> reglages = {&c.C_decoupe, &c.A_contraste, &c.E_contraste, &c.A_couleur,
                                                  &c.E_couleur, &c.A_intensite, &c.E_intensite, &c.A_nettete,
                                                  &c.E_nettete, &c.A_saturation, &c.E_saturation};
    struct Attendu {
        bool objet, texte, geo, regl, compos;
    };
    for (const Attendu& a : {Attendu{true, false, true, true, false}, Attendu{true, true, true, false, true},
                             Attendu{false, true, false, false, true}, Attendu{false, false, false, false, false},
                             Attendu{true, false, true, true, false}}) {
        ed->x.autcontrol(a.objet, a.texte);
        for (kal::Controle* k : geometrie)
            EXPECT_EQ(k->actif(), a.geo) << a.objet << a.texte;
        EXPECT_FALSE(c.C_image.actif());
        for (kal::Controle* k : reglages)
            EXPECT_EQ(k->actif(), a.regl) << a.objet << a.texte;
        EXPECT_EQ(c.F_compos.visible(), a.compos);
    }
}

// --- Hover captions

TEST_P(Editeur, LegendeAuSurvol)
{
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    const auto survoler = [](kal::Controle& k) {
        QMouseEvent e(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(k.widget(), &e);
    };
    ed->setWindowTitle(QStringLiteral("Image 3"));
    ed->x.etat.objetsurvole = 3;
    survoler(ed->c.P_page);
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Page non référencée"));
    EXPECT_EQ(ed->x.etat.objetsurvole, kal::AucunObjet);

    ed->x.etat.nompage = QStringLiteral("vacances");
    for (kal::Controle* k : {static_cast<kal::Controle*>(&ed->c.B_finimprim), static_cast<kal::Controle*>(&ed->c.E_surface),
                             static_cast<kal::Controle*>(&ed->c.C_decoupe)}) {
        ed->setWindowTitle(QStringLiteral("Image 3"));
        ed->x.etat.objetsurvole = 3;
        survoler(*k);
        EXPECT_EQ(ed->windowTitle(), QStringLiteral("Page vacances"));
        EXPECT_EQ(ed->x.etat.objetsurvole, kal::AucunObjet);
    }
    // A control without the rule leaves the caption alone.
    ed->setWindowTitle(QStringLiteral("Image 3"));
    survoler(ed->c.A_contraste);
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("Image 3"));
}

// --- Function list

TEST_P(Editeur, DocumentationEtSelection)
{
    bool decharge = false;
    kal::Fenetres::enregistrer(QStringLiteral("DOC"), [&decharge] { return new FenetreTemoin(QStringLiteral("DOC"), &decharge); });
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    ed->c.L_fonction.definirIndex(0);
    EXPECT_EQ(banc.partage.rubriquedoc, jaquette() ? QStringLiteral("jaquette") : QStringLiteral("normal"));
    EXPECT_TRUE(kal::Fenetres::chargee(QStringLiteral("DOC")));
    EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1);
    // An empty page: the commands that need an object only clear the selection.
    for (const QString& entree : {QStringLiteral("Redimensionner"), QStringLiteral("Configurer imprimante")}) {
        for (int i = 0; i < ed->c.L_fonction.nombre(); ++i)
            if (ed->c.L_fonction.entree(i) == entree)
                ed->c.L_fonction.definirIndex(i);
        EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1) << entree.toStdString();
    }
    EXPECT_TRUE(ed->x.etat.configdemandee);
    EXPECT_EQ(ed->x.etat.largeurpapier.valeur(), 11906);
    EXPECT_EQ(ed->x.etat.hauteurpapier.valeur(), 16838);
}

TEST(EditeurPage, SeparateurEtEffacerPage)
{
    kaltest::BancEditeur banc;
    kal::Editeur* ed = banc.ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    ed->c.L_fonction.definirIndex(1);
    EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1);
    ed->x.etat.nompage = QStringLiteral("vacances");
    ed->c.C_cadre.definirValeur(1);
    ed->c.L_fonction.definirIndex(2);
    EXPECT_TRUE(ed->x.etat.nompage.isEmpty());
    EXPECT_EQ(ed->c.C_cadre.valeur(), 0);
    EXPECT_FALSE(ed->x.etat.majencours);
    EXPECT_FALSE(ed->x.etat.effacementpage);
    EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1);
}

// A printer set-up that turned the sheet: the page is laid out again and the page-settings
// record follows the printer.
TEST(EditeurPage, FinconfigApresChangementDeFeuille)
{
    kaltest::BancEditeur banc;
    kal::Editeur* ed = banc.ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    ed->c.L_fonction.definirIndex(10);   // "Configurer imprimante"
    EXPECT_TRUE(ed->x.etat.configdemandee);
    banc.imp.definirOrientationimprimante(kal::imp::Paysage);
    kal::fs::ecrireFichier(kal::fichierPhoto(3), "x");
    ed->x.impression().finconfig();
    EXPECT_FALSE(ed->x.etat.configdemandee);
    EXPECT_FALSE(kal::fs::existe(kal::fichierPhoto(3)));   // the page emptied takes its objects' files
    EXPECT_EQ(ed->c.P_page.largeur(), 12360);
    EXPECT_DOUBLE_EQ(ed->x.etat.largeursurface.valeur(), 16238 - 30);
    kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
    kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
    j.chercherPremier(kal::critereNumero(16));
    EXPECT_EQ(j.valeur(QStringLiteral("orientation")).toInt(), 2);
    EXPECT_EQ(j.valeur(QStringLiteral("largeurpage")).toInt(), 16838);
    EXPECT_EQ(j.valeur(QStringLiteral("scalewidth")).toInt(), 16208);
}

TEST(EditeurJaquette, ImprimerSansOptionImprimer)
{
    kaltest::BancEditeur banc;
    kal::Editeur* ed = banc.ouvrir(TypeEditeur::Jaquette);
    ASSERT_NE(ed, nullptr);
    ed->c.L_fonction.definirIndex(8);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].lignes(),
              (QStringList{"Pour imprimer:", "-Cocher Imprimer", "-Choisir une option", "-Cliquer sur Imprimer"}));
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("IMPRIMER"));
    EXPECT_EQ(ed->c.L_fonction.indexCourant(), 8);   // stopped: the entry stays selected
    ed->c.O_imprim.definirValeur(true);
    ed->c.L_fonction.definirIndex(-1);
    ed->c.L_fonction.definirIndex(8);
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    EXPECT_EQ(banc.repondeur.messages()[1].texte, QString::fromUtf8("Aucune jaquette à imprimer"));
    EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1);
}

// --- What the load gives the pictures

// Every picture of the objects shows with the settings file's gamma, and the jacket's face
// outlines hold a white picture of their own size in pixels.
TEST_P(Editeur, GammaEtOptionsDAffichage)
{
    poser(fichier(QStringLiteral("quelvard.ini")), " 120\r\n\r\n[DeltaH]\r\n0\r\n\r\n[DeltaV]\r\n0\r\n");
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    kal::ControlesEditeur& c = ed->c;
    for (int n = 0; n < emplacements(); ++n) {
        const auto i = static_cast<size_t>(n);
        ASSERT_NE(c.L_miniat[i], nullptr);
        EXPECT_DOUBLE_EQ(c.L_miniat[i]->gammaaffichage(), 120) << n;
        EXPECT_EQ(c.L_miniat[i]->optionaffichage(), 1) << n;
        if (jaquette()) {
            for (const kal::ControleImage* k : {c.L_photo[i].get(), c.L_apjaq[i].get()}) {
                EXPECT_DOUBLE_EQ(k->gammaaffichage(), 120) << n;
                EXPECT_EQ(k->optionaffichage(), 1) << n;
            }
            EXPECT_TRUE(c.L_photo[i]->optiondessin());
            EXPECT_EQ(c.L_photo[i]->couleurdessin(), 0);
        }
    }
    if (jaquette()) {
        for (int n : {0, 16}) {
            const kal::ControleImage& jaq = *c.L_jaq[static_cast<size_t>(n)];
            EXPECT_DOUBLE_EQ(jaq.gammaaffichage(), 120);
            ASSERT_FALSE(jaq.estVide());
            EXPECT_EQ(jaq.bitmap().largeur(), kal::pixelsX(jaq.largeur()));
            EXPECT_EQ(jaq.bitmap().hauteur(), kal::pixelsY(jaq.hauteur()));
            EXPECT_EQ(jaq.bitmap().pleine().pixel(10, 10), qRgb(255, 255, 255));
        }
        // One fold mark on the front, two on the back, on the outlines and the previews, however
        // often the marks are drawn.
        const auto traits = [](const QWidget* w) {
            return w->findChildren<QWidget*>(QStringLiteral("trait"), Qt::FindDirectChildrenOnly).size();
        };
        ed->x.impression().pliage();
        EXPECT_EQ(traits(c.L_jaq[0]->widget()), 1);
        EXPECT_EQ(traits(c.L_jaq[16]->widget()), 2);
        EXPECT_EQ(traits(c.P_apjaq[0]->widget()), 1);
        EXPECT_EQ(traits(c.P_apjaq[16]->widget()), 2);
        EXPECT_EQ(c.L_jaq[16]->widget()->findChild<QWidget*>(QStringLiteral("trait"))->x(), kal::pixelsX(369));
    }
}

// Giving the function list the focus makes Qt pick a current row by itself: no command runs.
TEST_P(Editeur, LeFocusNOuvreRien)
{
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    ed->show();
    QFocusEvent focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(ed->c.L_fonction.liste(), &focus);
    EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1);
    EXPECT_FALSE(kal::Fenetres::chargee(QStringLiteral("DOC")));
    EXPECT_TRUE(banc.repondeur.messages().empty());
}

// Every caption fits its control with the fonts installed here.
TEST_P(Editeur, LegendesTiennentDansLeursControles)
{
    kal::Editeur* ed = ouvrir();
    ASSERT_NE(ed, nullptr);
    ed->show();
    for (const QAbstractButton* b : ed->findChildren<QAbstractButton*>()) {
        if (b->text().isEmpty() || b->text().contains(QLatin1Char('\r')))
            continue;
        const std::string texte = b->text().toStdString();
        // The text, after the indicator of a check box or an option button.
        int besoin = b->fontMetrics().horizontalAdvance(b->text());
        if (qobject_cast<const QRadioButton*>(b))
            besoin += b->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                      b->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
        else if (qobject_cast<const QCheckBox*>(b))
            besoin += b->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                      b->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        EXPECT_LE(besoin, b->width()) << texte;
        // Inside its frame, an option keeps clear of the frame's border.
        const auto* cadre = qobject_cast<const QGroupBox*>(b->parentWidget());
        if (cadre && qobject_cast<const QRadioButton*>(b)) {
            EXPECT_LE(b->geometry().bottom() + 3, cadre->height() - 1) << texte;
            EXPECT_LE(b->geometry().right() + 3, cadre->width() - 1) << texte;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LesDeux, Editeur, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

}  // namespace
