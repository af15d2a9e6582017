// The drive, folder and file lists on real folders: what they list, in which order, their
// events and their failures.
#include "platform/base/erreur.h"
#include "platform/controls/listesfichiers.h"
#include "support/erreurs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace kal;
using kaltest::numeroErreur;

namespace {

void poser(const QString& chemin, const QByteArray& octets = "x")
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << chemin.toStdString();
    f.write(octets);
}

// Makes a folder current for the length of a test.
class DansLeDossier {
public:
    explicit DansLeDossier(const QString& d) : ancien_(QDir::currentPath()) { QDir::setCurrent(d); }
    ~DansLeDossier() { QDir::setCurrent(ancien_); }

private:
    QString ancien_;
};

// A disk of the test: volume folders, a home folder and a mount table of its own.
class Disques : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(racine.isValid());
        r = racine.path();
        for (const char* d : {"maison", "media/cle", "media/ma photo", "media/Ancienne", "mnt", "ailleurs/vol"})
            ASSERT_TRUE(QDir().mkpath(r + QLatin1Char('/') + QLatin1String(d)));
        table = r + QStringLiteral("/mounts");
        ecrireTable({});
        ListeLecteurs::simuler({table, {r + QStringLiteral("/media"), r + QStringLiteral("/mnt")}, r + QStringLiteral("/maison")});
    }
    void TearDown() override { ListeLecteurs::reel(); }

    // The table as the system writes it (blanks in a mount point as \040), with the given extras.
    void ecrireTable(const QStringList& autres)
    {
        QByteArray t = "sysfs /sys sysfs rw,nosuid 0 0\n";
        t += "/dev/sdb1 " + r.toUtf8() + "/media/cle vfat rw 0 0\n";
        t += "/dev/sdc1 " + r.toUtf8() + "/media/ma\\040photo ext4 rw 0 0\n";
        t += "/dev/sdd1 " + r.toUtf8() + "/mnt ext4 rw 0 0\n";
        t += "/dev/sde1 " + r.toUtf8() + "/media/retiree vfat rw 0 0\n";    // no such folder
        t += "/dev/sdf1 " + r.toUtf8() + "/ailleurs/vol ext4 rw 0 0\n";     // not a volume folder
        t += "/dev/sdb1 " + r.toUtf8() + "/media/cle vfat rw 0 0\n";        // mounted twice
        for (const QString& a : autres)
            t += "/dev/sdz1 " + a.toUtf8() + " ext4 rw 0 0\n";
        poser(table, t);
    }

    QTemporaryDir racine;
    QString r, table;
};

}  // namespace

TEST_F(Disques, LecteursRacineMaisonPuisVolumes)
{
    EXPECT_EQ(ListeLecteurs::lecteursDisponibles(),
              (QStringList{QStringLiteral("/"), r + QStringLiteral("/maison"), r + QStringLiteral("/media/cle"),
                           r + QStringLiteral("/media/ma photo"), r + QStringLiteral("/mnt")}));

    // The list opens on the drive that holds the current folder.
    QDir().mkpath(r + QStringLiteral("/media/cle/photos"));
    {
        DansLeDossier dans(r + QStringLiteral("/media/cle/photos"));
        QWidget parent;
        ListeLecteurs l(&parent);
        EXPECT_EQ(l.lecteur(), r + QStringLiteral("/media/cle"));
        EXPECT_EQ(l.nombre(), 5);
        EXPECT_EQ(l.boite()->currentText(), l.lecteur());
    }
    DansLeDossier dans(r + QStringLiteral("/ailleurs/vol"));
    QWidget parent;
    ListeLecteurs l(&parent);
    EXPECT_EQ(l.lecteur(), QStringLiteral("/"));
}

// Without simulation: the root, then the home folder, every drive a folder.
TEST(Lecteurs, DuSysteme)
{
    ListeLecteurs::reel();
    QStringList l = ListeLecteurs::lecteursDisponibles();
    ASSERT_FALSE(l.isEmpty());
    EXPECT_EQ(l.first(), QStringLiteral("/"));
    if (QDir::homePath() != QStringLiteral("/")) {
        EXPECT_EQ(l.value(1), QDir::homePath());
    }
    for (const QString& d : l)
        EXPECT_TRUE(QFileInfo(d).isDir()) << d.toStdString();
    EXPECT_EQ(l.removeDuplicates(), 0);
}

TEST_F(Disques, ChangementDeLecteurParCodeEtParUtilisateur)
{
    DansLeDossier dans(r + QStringLiteral("/maison"));
    QWidget parent;
    ListeLecteurs l(&parent);
    QStringList changes;
    l.surChangement = [&] { changes << l.lecteur(); };

    // By code: the drive that holds the path; the same drive again changes nothing.
    l.definirLecteur(r + QStringLiteral("/media/ma photo/2011"));
    l.definirLecteur(r + QStringLiteral("/media/ma photo"));
    EXPECT_EQ(changes, QStringList{r + QStringLiteral("/media/ma photo")});
    EXPECT_EQ(l.boite()->currentText(), r + QStringLiteral("/media/ma photo"));

    // By the user, with the keyboard on the box.
    changes.clear();
    QTest::keyClick(l.boite(), Qt::Key_Down);
    EXPECT_EQ(changes, QStringList{r + QStringLiteral("/mnt")});
    EXPECT_EQ(l.lecteur(), r + QStringLiteral("/mnt"));

    // A drive that has gone is not ready: refused with 68, nothing changes.
    changes.clear();
    ASSERT_TRUE(QDir(r + QStringLiteral("/media/cle")).removeRecursively());
    EXPECT_EQ(numeroErreur([&] { l.definirLecteur(r + QStringLiteral("/media/cle")); }), ctl::PeripheriqueIndisponible);
    EXPECT_EQ(numeroErreur([&] { l.definirLecteur(QString()); }), ctl::PeripheriqueIndisponible);
    EXPECT_EQ(l.lecteur(), r + QStringLiteral("/mnt"));
    EXPECT_TRUE(changes.isEmpty());

    // Opening the list reads the drives again: the gone drive leaves, a new volume comes.
    QDir().mkpath(r + QStringLiteral("/media/neuve"));
    ecrireTable({r + QStringLiteral("/media/neuve")});
    ASSERT_TRUE(QDir(r + QStringLiteral("/media/cle")).exists() == false);
    l.boite()->showPopup();
    l.boite()->hidePopup();
    EXPECT_EQ(l.nombre(), 5);
    EXPECT_EQ(l.entree(2), r + QStringLiteral("/media/ma photo"));
    EXPECT_EQ(l.entree(3), r + QStringLiteral("/media/neuve"));
    EXPECT_EQ(l.lecteur(), r + QStringLiteral("/mnt"));
    EXPECT_EQ(l.indexCourant(), 4);
    EXPECT_TRUE(changes.isEmpty());
}

// The drive change of the panels: the folder list follows the drive; when the drive cannot be
// read the drive list goes back to the last good drive, which runs the handler again, nested.
TEST_F(Disques, LecteurPasPretRevientAuDernierBon)
{
    DansLeDossier dans(r + QStringLiteral("/maison"));
    QWidget parent;
    ListeLecteurs lecteurs(&parent);
    ListeDossiers dossiers(&parent);
    QString dernierBon = lecteurs.lecteur();
    QStringList vus;
    lecteurs.surChangement = [&] {
        vus << lecteurs.lecteur();
        try {
            dossiers.definirChemin(lecteurs.lecteur());
            dernierBon = lecteurs.lecteur();
        } catch (const Erreur&) {
            lecteurs.definirLecteur(dernierBon);
        }
        vus << QStringLiteral("fin");
    };
    QTest::keyClick(lecteurs.boite(), Qt::Key_Down);   // the first volume
    ASSERT_EQ(dossiers.chemin(), r + QStringLiteral("/media/cle"));

    // The volume is pulled out; the user picks it again.
    ASSERT_TRUE(QDir(r + QStringLiteral("/media/cle")).removeRecursively());
    vus.clear();
    QTest::keyClick(lecteurs.boite(), Qt::Key_Up);
    QTest::keyClick(lecteurs.boite(), Qt::Key_Down);
    EXPECT_EQ(vus, (QStringList{r + QStringLiteral("/maison"), QStringLiteral("fin"), r + QStringLiteral("/media/cle"),
                                r + QStringLiteral("/maison"), QStringLiteral("fin"), QStringLiteral("fin")}));
    EXPECT_EQ(lecteurs.lecteur(), r + QStringLiteral("/maison"));
    EXPECT_EQ(lecteurs.boite()->currentText(), r + QStringLiteral("/maison"));
    EXPECT_EQ(dossiers.chemin(), r + QStringLiteral("/maison"));
}

TEST(ListeDossiers, AscendantsPuisSousDossiersDansLOrdreDesNoms)
{
    QTemporaryDir t;
    const QString d = t.path();
    for (const char* n : {"Zeta", "alpha", "Beta", ".cache", "beta"})
        ASSERT_TRUE(QDir(d).mkdir(QLatin1String(n)));
    poser(d + QStringLiteral("/fichier.txt"));

    DansLeDossier dans(d + QStringLiteral("/alpha"));
    QWidget parent;
    ListeDossiers l(&parent);
    EXPECT_EQ(l.chemin(), d + QStringLiteral("/alpha"));   // opens on the current folder
    int changes = 0, clics = 0;
    l.surChangement = [&] { ++changes; };
    l.surClic = [&] { ++clics; };

    l.definirChemin(d + QStringLiteral("/alpha/.."));
    EXPECT_EQ(l.chemin(), d);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(clics, 0);
    const QStringList parties = d.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    ASSERT_EQ(l.indexChemin(), parties.size());
    EXPECT_EQ(l.entree(0), QStringLiteral("/"));
    EXPECT_EQ(l.entree(1), QLatin1Char('/') + parties.first());
    EXPECT_EQ(l.entree(l.indexChemin()), d);
    EXPECT_EQ(l.indexCourant(), l.indexChemin());
    QStringList sous;
    for (int i = l.indexChemin() + 1; i < l.nombre(); ++i)
        sous << l.entree(i);
    EXPECT_EQ(sous, (QStringList{d + QStringLiteral("/alpha"), d + QStringLiteral("/Beta"), d + QStringLiteral("/beta"),
                                 d + QStringLiteral("/Zeta")}));

    // The same path again, or the root's own form, is no change.
    l.definirChemin(d + QLatin1Char('/'));
    EXPECT_EQ(changes, 1);
    l.definirChemin(QStringLiteral("/"));
    EXPECT_EQ(l.indexChemin(), 0);
    EXPECT_EQ(l.entree(0), QStringLiteral("/"));
    EXPECT_EQ(changes, 2);
    // An empty path is the current folder.
    l.definirChemin(QString());
    EXPECT_EQ(l.chemin(), d + QStringLiteral("/alpha"));
}

TEST(ListeDossiers, ClicDeLUtilisateurRafraichissementEtErreurs)
{
    QTemporaryDir t;
    const QString d = t.path();
    for (const char* n : {"photos", "textes"})
        ASSERT_TRUE(QDir(d).mkdir(QLatin1String(n)));
    QWidget parent;
    parent.resize(300, 600);
    ListeDossiers l(&parent);
    l.placer(0, 0, 4000, 8000);
    l.definirChemin(d);
    parent.show();

    // One click on a folder: Click runs; the handler opens the folder picked.
    QStringList vus;
    l.surClic = [&] {
        vus << QStringLiteral("clic ") + l.entree(l.indexCourant());
        l.definirChemin(l.entree(l.indexCourant()));
    };
    l.surChangement = [&] { vus << QStringLiteral("change ") + l.chemin(); };
    const int ligne = l.indexChemin() + 2;   // "textes"
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, l.liste()->visualItemRect(l.liste()->item(ligne)).center());
    EXPECT_EQ(vus, (QStringList{QStringLiteral("clic ") + d + QStringLiteral("/textes"),
                                QStringLiteral("change ") + d + QStringLiteral("/textes")}));
    EXPECT_EQ(l.chemin(), d + QStringLiteral("/textes"));
    EXPECT_EQ(l.nombre(), l.indexChemin() + 1);
    // A click on the folder shown (its row is picked already) is a click all the same.
    vus.clear();
    const QRect r = l.liste()->visualItemRect(l.liste()->item(l.indexChemin()));
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(vus, QStringList{QStringLiteral("clic ") + d + QStringLiteral("/textes")});
    // The parent folder, then back down with the keyboard.
    vus.clear();
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {},
                      l.liste()->visualItemRect(l.liste()->item(l.indexChemin() - 1)).center());
    EXPECT_EQ(l.chemin(), d);
    QTest::keyClick(l.liste(), Qt::Key_Down);
    EXPECT_EQ(vus, (QStringList{QStringLiteral("clic ") + d, QStringLiteral("change ") + d,
                                QStringLiteral("clic ") + d + QStringLiteral("/photos"),
                                QStringLiteral("change ") + d + QStringLiteral("/photos")}));
    l.definirChemin(d + QStringLiteral("/textes"));

    // Folders made since appear at the refresh.
    ASSERT_TRUE(QDir(d + QStringLiteral("/textes")).mkdir(QStringLiteral("2012")));
    EXPECT_EQ(l.nombre(), l.indexChemin() + 1);
    l.rafraichir();
    EXPECT_EQ(l.entree(l.indexChemin() + 1), d + QStringLiteral("/textes/2012"));

    // A folder that does not exist, or a file: 76, nothing changes.
    vus.clear();
    poser(d + QStringLiteral("/f.txt"));
    EXPECT_EQ(numeroErreur([&] { l.definirChemin(d + QStringLiteral("/absent")); }), err::CheminIntrouvable);
    EXPECT_EQ(numeroErreur([&] { l.definirChemin(d + QStringLiteral("/f.txt")); }), err::CheminIntrouvable);
    EXPECT_EQ(l.chemin(), d + QStringLiteral("/textes"));
    EXPECT_EQ(l.entree(l.indexChemin() + 1), d + QStringLiteral("/textes/2012"));
    EXPECT_TRUE(vus.isEmpty());

    // The folder removed: the refresh says so and leaves the list as it was.
    ASSERT_TRUE(QDir(d + QStringLiteral("/textes")).removeRecursively());
    EXPECT_EQ(numeroErreur([&] { l.rafraichir(); }), err::CheminIntrouvable);
    EXPECT_EQ(l.chemin(), d + QStringLiteral("/textes"));
}

// A click that opens a folder refills the list: the row shown selected is then the folder
// opened, not the new entry that happens to lie under the pointer.
TEST(ListeDossiers, LaLigneChoisieEstLeDossierOuvert)
{
    QTemporaryDir t;
    const QString d = t.path();
    for (const char* n : {"a", "b", "b/sous"})
        ASSERT_TRUE(QDir(d).mkdir(QLatin1String(n)));
    QWidget parent;
    parent.resize(300, 600);
    ListeDossiers l(&parent);
    l.placer(0, 0, 4000, 8000);
    l.definirChemin(d);
    parent.show();
    l.surClic = [&] { l.definirChemin(l.entree(l.indexCourant())); };
    // "b" is two rows below the folder shown; once it is open, "sous" is there.
    const QRect b = l.liste()->visualItemRect(l.liste()->item(l.indexChemin() + 2));
    QTest::mouseClick(l.liste()->viewport(), Qt::LeftButton, {}, b.center());
    ASSERT_EQ(l.chemin(), d + QStringLiteral("/b"));
    ASSERT_EQ(l.entree(l.indexChemin() + 1), d + QStringLiteral("/b/sous"));
    const QList<QListWidgetItem*> choisies = l.liste()->selectedItems();
    ASSERT_EQ(choisies.size(), 1);
    EXPECT_EQ(l.liste()->row(choisies[0]), l.indexChemin());
    EXPECT_EQ(l.liste()->currentRow(), l.indexChemin());
}

namespace {
// The folder of the file-list tests: photos of several cases and extensions, a hidden file,
// a folder whose name looks like a photo, another format.
class DossierPhotos : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(t.isValid());
        d = t.path();
        for (const char* n : {"IMG_0001.JPG", "Noel.2011.jpg", "b.JpG", "x.jpeg", "z.JPG", "PHOTO.jpg", "photo.jpg",
                              ".vignette.jpg", "carte.tif", "sans suffixe"})
            poser(d + QLatin1Char('/') + QLatin1String(n));
        ASSERT_TRUE(QDir(d).mkdir(QStringLiteral("album.jpg")));
    }
    static QStringList noms(const ListeFichiers& l)
    {
        QStringList n;
        for (int i = 0; i < l.nombre(); ++i)
            n << l.entree(i);
        return n;
    }
    QTemporaryDir t;
    QString d;
};
}  // namespace

TEST_F(DossierPhotos, MotifSansEgardALaCasseNomsReelsDansLOrdre)
{
    QWidget parent;
    ListeFichiers l(&parent);
    l.definirChemin(d);
    l.definirMotif(QStringLiteral("*.JPG"));
    // Only files, not hidden, not ".jpeg"; by name without regard to case, then by bytes.
    EXPECT_EQ(noms(l), (QStringList{QStringLiteral("b.JpG"), QStringLiteral("IMG_0001.JPG"), QStringLiteral("Noel.2011.jpg"),
                                    QStringLiteral("PHOTO.jpg"), QStringLiteral("photo.jpg"), QStringLiteral("z.JPG")}));
    EXPECT_EQ(l.liste()->count(), 6);
    EXPECT_EQ(l.liste()->item(2)->text(), QStringLiteral("Noel.2011.jpg"));
    // The real file behind an entry, whatever a panel shows for it.
    EXPECT_EQ(l.cheminComplet(2), d + QStringLiteral("/Noel.2011.jpg"));
    EXPECT_TRUE(QFileInfo::exists(l.cheminComplet(0)));
    EXPECT_EQ(l.cheminComplet(6), QString());
    EXPECT_EQ(l.entree(-1), QString());

    l.definirMotif(QStringLiteral("*.jpeg;*.Tif"));
    EXPECT_EQ(noms(l), (QStringList{QStringLiteral("carte.tif"), QStringLiteral("x.jpeg")}));
    l.definirMotif(QStringLiteral("?.jpg"));
    EXPECT_EQ(noms(l), (QStringList{QStringLiteral("b.JpG"), QStringLiteral("z.JPG")}));
    l.definirMotif(QStringLiteral("*.*"));
    EXPECT_EQ(l.nombre(), 9);
    EXPECT_TRUE(noms(l).contains(QStringLiteral("sans suffixe")));
    // A pattern typed by the user that is no pattern lists nothing, and breaks nothing.
    for (const char* m : {"*.[", "*.\\", "*.(", "*."}) {
        l.definirMotif(QLatin1String(m));
        EXPECT_EQ(l.nombre(), 0) << m;
    }
    EXPECT_EQ(l.motif(), QStringLiteral("*."));
}

TEST_F(DossierPhotos, CheminRafraichissementEtErreurs)
{
    DansLeDossier dans(d);
    QWidget parent;
    ListeFichiers l(&parent);   // the current folder, every file
    EXPECT_EQ(l.chemin(), d);
    EXPECT_EQ(l.motif(), QStringLiteral("*.*"));
    EXPECT_EQ(l.nombre(), 9);

    l.definirMotif(QStringLiteral("*.jpg"));
    poser(d + QStringLiteral("/A.JPG"));
    EXPECT_EQ(l.nombre(), 6);   // read when set, and at each refresh
    l.rafraichir();
    EXPECT_EQ(l.entree(0), QStringLiteral("A.JPG"));

    // A folder that does not exist: 76, the list as it was.
    EXPECT_EQ(numeroErreur([&] { l.definirChemin(d + QStringLiteral("/absent")); }), err::CheminIntrouvable);
    EXPECT_EQ(l.chemin(), d);
    EXPECT_EQ(l.nombre(), 7);
    // A subfolder without photos lists nothing.
    l.definirChemin(QStringLiteral("album.jpg"));
    EXPECT_EQ(l.chemin(), d + QStringLiteral("/album.jpg"));
    EXPECT_EQ(l.nombre(), 0);
    // The folder removed: the refresh empties the list and says so.
    l.definirChemin(d);
    ASSERT_TRUE(QDir(d).removeRecursively());
    EXPECT_EQ(numeroErreur([&] { l.rafraichir(); }), err::CheminIntrouvable);
    EXPECT_EQ(l.nombre(), 0);
    EXPECT_EQ(l.liste()->count(), 0);
}
