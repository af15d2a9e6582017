// The photo folder utilphot: filing the photo under a typed name with the naming rules,
// listing, deleting the real file picked (and nothing that is not one of the workbench's JPEG
// photos), and the folder's information box; the work file and the filing on a full disk.
#include "banc.h"

#include "platform/base/fichiers.h"
#include "platform/base/panne.h"
#include "platform/controls/bip.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <sys/mount.h>

using kal::Atelier;
using kaltest::BancAtelier;
using kaltest::octets;

namespace {

void ecrire(const QString& chemin, const QByteArray& contenu)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contenu);
}

class Classeur : public kaltest::AtelierOuvert {
protected:
    void SetUp() override
    {
        AtelierOuvert::SetUp();
        if (HasFatalFailure())
            return;
        b.photo(QStringLiteral("p.jpg"), BancAtelier::motif(400, 300));
        b.prendre(*a, 0);
        ASSERT_TRUE(a->etat.photochargee);
        b.repondeur.oublier();
    }
    QString dans(const QString& nom) const { return b.classeur() + QLatin1Char('/') + nom; }
    QStringList classe() const { return QDir(b.classeur()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // ENREGISTRER answered Yes, the name typed as the user types it, OK.
    void nommer(const QString& nom)
    {
        if (!a->B_okphoto.actif()) {
            b.repondeur.prevoir(kal::msg::RepOui);
            a->B_enrsous.cliquer();
        }
        QLineEdit* ligne = a->L_fichier.saisie.ligne();
        ligne->clear();
        for (const QChar c : nom)
            QTest::sendKeyEvent(QTest::Click, ligne, Qt::Key_unknown, QString(c), {});
        ASSERT_EQ(a->L_fichier.texte(), nom);
        a->B_okphoto.cliquer();
    }
    QString dernierTexte() const { return b.repondeur.messages().empty() ? QString() : b.repondeur.messages().back().texte; }
    QString dernierTitre() const { return b.repondeur.messages().empty() ? QString() : b.repondeur.messages().back().titre; }
};

TEST_F(Classeur, EnregistrerCopieLeFichierDeTravailSousLeNomTape)
{
    b.repondeur.prevoir(kal::msg::RepNon);
    a->B_enrsous.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("ENREGISTREMENT"));
    EXPECT_EQ(b.repondeur.messages()[0].style, 36);
    EXPECT_EQ(b.repondeur.messages()[0].lignes(),
              (QStringList{QStringLiteral("Donner un nom à la photo"), QStringLiteral("La photo sera enregistrée au format .jpg dans"),
                           b.classeur() + QLatin1Char('/'), QStringLiteral("Continuer ?")}));
    // Declined: every file button back, nothing filed.
    EXPECT_TRUE(a->B_enrsous.actif());
    EXPECT_FALSE(a->L_fichier.visible());
    EXPECT_TRUE(classe().isEmpty());

    b.repondeur.prevoir(kal::msg::RepOui);
    a->B_enrsous.cliquer();
    EXPECT_TRUE(a->L_fichier.visible());
    EXPECT_TRUE(a->B_okphoto.actif());
    EXPECT_FALSE(a->B_ouvrir.actif());
    nommer(QStringLiteral("vacances"));
    EXPECT_EQ(classe(), QStringList{QStringLiteral("vacances.jpg")});
    EXPECT_EQ(octets(dans(QStringLiteral("vacances.jpg"))), octets(b.travail()));
    // Idle: the photo hidden, nothing more to save until another photo.
    EXPECT_FALSE(a->L_photo.visible());
    EXPECT_FALSE(a->B_enrsous.actif());
    EXPECT_FALSE(a->B_okphoto.actif());
    EXPECT_FALSE(a->L_fichier.visible());
    EXPECT_EQ(a->L_fichier.nombre(), 1);

    // The part before the first dot; a name kept in the case typed, shown lower-cased.
    b.prendre(*a, 0);
    nommer(QStringLiteral("a.b.c"));
    b.prendre(*a, 0);
    nommer(QStringLiteral("Vacance2"));   // exactly 8 characters
    EXPECT_EQ(classe(), (QStringList{QStringLiteral("Vacance2.jpg"), QStringLiteral("a.jpg"), QStringLiteral("vacances.jpg")}));
    EXPECT_EQ(a->L_fichier.entree(0), QStringLiteral("a"));
    EXPECT_EQ(a->L_fichier.entree(1), QStringLiteral("vacance2"));
    EXPECT_EQ(a->nomsReels().at(1), QStringLiteral("Vacance2.jpg"));
    EXPECT_EQ(b.repondeur.messages().size(), 4u);   // the four questions, no refusal

    // Each flush of the filing failing in turn: the file's own flush is a failed filing; the
    // flush of utilphot after the rename leaves the photo filed, said not confirmed by the disk.
    b.prendre(*a, 0);
    kal::panne::compter();
    nommer(QStringLiteral("essai"));
    const std::vector<QString> ops = kal::panne::operations();
    kal::panne::desarmer();
    QFile::remove(dans(QStringLiteral("essai.jpg")));
    a->listefichier();
    int flushes = 0;
    for (size_t k = 0; k < ops.size(); ++k) {
        if (!ops[k].startsWith(QLatin1String("synchroniser")) || !ops[k].contains(b.classeur()))
            continue;
        ++flushes;
        SCOPED_TRACE(ops[k].toStdString());
        b.prendre(*a, 0);
        b.repondeur.oublier();
        kal::panne::armer(static_cast<long>(k + 1), false, EIO);
        nommer(QStringLiteral("essai"));
        kal::panne::desarmer();
        const QString t = dernierTexte();
        EXPECT_EQ(dernierTitre(), QStringLiteral("ENREGISTREMENT"));
        if (ops[k].startsWith(QLatin1String("synchroniser dossier"))) {
            EXPECT_TRUE(t.startsWith(QStringLiteral("La photo essai a été enregistrée, mais le disque n'a pas confirmé")))
                << t.toStdString();
            EXPECT_TRUE(QFile::exists(dans(QStringLiteral("essai.jpg"))));
        } else {
            EXPECT_TRUE(t.startsWith(QStringLiteral("La photo n'a pas pu être enregistrée"))) << t.toStdString();
            EXPECT_FALSE(QFile::exists(dans(QStringLiteral("essai.jpg"))));
        }
        QFile::remove(dans(QStringLiteral("essai.jpg")));
        a->listefichier();
    }
    EXPECT_EQ(flushes, 2);
}

TEST_F(Classeur, LesNomsRefusesNeDeposentRien)
{
    ecrire(dans(QStringLiteral("photo1.jpg")), "\xFF\xD8\xFF");
    a->listefichier();
    kal::CompteurBips bips;
    struct Cas {
        QString tape, texte, titre;
    };
    const QString absent = QStringLiteral("Nom de photo absent");
    const QString long8 = QStringLiteral("Le nom de photo ne doit pas excéder 8 caractères");
    const std::vector<Cas> cas = {
        {QString(), absent, QStringLiteral("NOM DE PHOTO")},
        {QStringLiteral("vacances1"), long8, QStringLiteral("NOM DE PHOTO")},
        {QStringLiteral("vacances.jpg"), long8, QStringLiteral("NOM DE PHOTO")},
        {QStringLiteral("ééééééééé"), long8, QStringLiteral("NOM DE PHOTO")},
        {QStringLiteral(".x"), absent, QStringLiteral("NOM DE PHOTO")},
        {QStringLiteral(".."), absent, QStringLiteral("NOM DE PHOTO")},
        {QStringLiteral("a/b"), QStringLiteral("Le nom de photo a/b ne doit contenir ni / ni \\.\rChoisir un autre nom."),
         QStringLiteral("NOM DE PHOTO INCORRECT")},
        {QStringLiteral("\\"), QStringLiteral("Le nom de photo \\ ne doit contenir ni / ni \\.\rChoisir un autre nom."),
         QStringLiteral("NOM DE PHOTO INCORRECT")},
        {QStringLiteral("Photo1"), QStringLiteral("La photo Photo1 est déjà enregistrée:\rChoisir un autre nom."),
         QStringLiteral("NOM DE PHOTO INCORRECT")},
        {QStringLiteral("PHOTO1.x"), QStringLiteral("La photo PHOTO1 est déjà enregistrée:\rChoisir un autre nom."),
         QStringLiteral("NOM DE PHOTO INCORRECT")},
    };
    b.repondeur.prevoir(kal::msg::RepOui);
    a->B_enrsous.cliquer();
    for (const Cas& c : cas) {
        b.repondeur.oublier();
        nommer(c.tape);
        ASSERT_EQ(b.repondeur.messages().size(), 1u) << c.tape.toStdString();
        EXPECT_EQ(dernierTexte(), c.texte) << c.tape.toStdString();
        EXPECT_EQ(dernierTitre(), c.titre) << c.tape.toStdString();
        EXPECT_EQ(b.repondeur.messages().back().style, 48);
        // Still naming; nothing filed beside the photo there.
        EXPECT_TRUE(a->B_okphoto.actif());
        EXPECT_TRUE(a->L_fichier.visible());
        EXPECT_EQ(classe(), QStringList{QStringLiteral("photo1.jpg")}) << c.tape.toStdString();
    }
    EXPECT_EQ(bips.nombre(), 8);   // the duplicates do not beep
    EXPECT_FALSE(QFileInfo::exists(dans(QStringLiteral("a"))));
    // Eight characters that are not all ASCII are eight characters.
    b.repondeur.oublier();
    nommer(QStringLiteral("éléphant"));
    EXPECT_TRUE(b.repondeur.messages().empty());
    EXPECT_TRUE(QFileInfo::exists(dans(QStringLiteral("éléphant.jpg"))));
}

TEST_F(Classeur, SupprimerLeVraiFichierChoisi)
{
    const QByteArray jpeg = octets(b.travail());
    ecrire(dans(QStringLiteral("Vacances.jpg")), jpeg);
    ecrire(dans(QStringLiteral("a.b.jpg")), jpeg);
    ecrire(dans(QStringLiteral("a.jpg")), jpeg);
    ecrire(dans(QStringLiteral("Noel.JPG")), jpeg);
    ecrire(dans(QStringLiteral("notes.txt")), "texte");
    ecrire(dans(QStringLiteral("texte.jpg")), "pas une photo");
    ecrire(b.dossier.fichier(QStringLiteral("ailleurs.jpg")), jpeg);
    ASSERT_TRUE(QFile::link(b.dossier.fichier(QStringLiteral("ailleurs.jpg")), dans(QStringLiteral("lien.jpg"))));

    b.repondeur.prevoir(kal::msg::RepOK);
    a->B_sup.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].texte, QStringLiteral("Selectionner la photo à supprimer"));
    EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("SUPPRESSION PHOTO"));
    EXPECT_TRUE(a->L_fichsup.visible());
    EXPECT_TRUE(a->B_okphoto.actif());
    EXPECT_FALSE(a->B_sup.actif());
    // Listed as the design shows them; the other file is not listed.
    QStringList montres;
    for (int i = 0; i < a->L_fichsup.nombre(); ++i)
        montres << a->L_fichsup.entree(i);
    EXPECT_EQ(montres, (QStringList{QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("lien"), QStringLiteral("noel"),
                                    QStringLiteral("texte"), QStringLiteral("vacances")}));
    EXPECT_EQ(a->nomsReels(), (QStringList{QStringLiteral("a.b.jpg"), QStringLiteral("a.jpg"), QStringLiteral("lien.jpg"),
                                           QStringLiteral("Noel.JPG"), QStringLiteral("texte.jpg"), QStringLiteral("Vacances.jpg")}));

    auto supprimer = [&](const QString& reel, bool fin) {
        b.repondeur.oublier();
        a->L_fichsup.definirIndex(static_cast<int>(a->nomsReels().indexOf(reel)));
        b.repondeur.prevoir(kal::msg::RepOui);
        b.repondeur.prevoir(fin ? kal::msg::RepOui : kal::msg::RepNon);
        a->B_okphoto.cliquer();
    };
    // "vacances" is Vacances.jpg; the first "a" is a.b.jpg, not a.jpg.
    supprimer(QStringLiteral("Vacances.jpg"), false);
    EXPECT_FALSE(QFileInfo::exists(dans(QStringLiteral("Vacances.jpg"))));
    ASSERT_EQ(b.repondeur.messages().size(), 2u);
    EXPECT_EQ(b.repondeur.messages()[0].texte, QStringLiteral("Supprimer la photo sélectionnée"));
    EXPECT_EQ(b.repondeur.messages()[1].texte, QStringLiteral("FIN DE SUPPRESSION  ?"));
    // Continuing: OK and the list only.
    EXPECT_TRUE(a->B_okphoto.actif());
    EXPECT_FALSE(a->B_ouvrir.actif());
    EXPECT_TRUE(a->L_fichsup.visible());
    supprimer(QStringLiteral("a.b.jpg"), false);
    EXPECT_FALSE(QFileInfo::exists(dans(QStringLiteral("a.b.jpg"))));
    EXPECT_TRUE(QFileInfo::exists(dans(QStringLiteral("a.jpg"))));

    // A file that is not one of the workbench's JPEG photos stays, with a message.
    for (const QString& autre : {QStringLiteral("texte.jpg"), QStringLiteral("lien.jpg")}) {
        b.repondeur.oublier();
        a->L_fichsup.definirIndex(static_cast<int>(a->nomsReels().indexOf(autre)));
        b.repondeur.prevoir(kal::msg::RepOui);
        a->B_okphoto.cliquer();
        ASSERT_EQ(b.repondeur.messages().size(), 2u) << autre.toStdString();
        EXPECT_EQ(b.repondeur.messages()[1].titre, QStringLiteral("SUPPRESSION PHOTO"));
        EXPECT_TRUE(b.repondeur.messages()[1].texte.startsWith(QStringLiteral("La photo ") + autre)) << autre.toStdString();
        EXPECT_TRUE(QFileInfo(dans(autre)).exists() || QFileInfo(dans(autre)).isSymLink());
        a->B_sup.cliquer();
    }
    EXPECT_TRUE(QFileInfo::exists(b.dossier.fichier(QStringLiteral("ailleurs.jpg"))));

    // No name picked: the message, and OK still offered.
    b.repondeur.oublier();
    a->L_fichsup.definirIndex(-1);
    a->B_okphoto.cliquer();
    EXPECT_EQ(dernierTexte(), QStringLiteral("Nom de photo absent"));
    EXPECT_TRUE(a->B_okphoto.actif());
    // Answered No: nothing deleted.
    a->B_sup.cliquer();
    b.repondeur.oublier();
    a->L_fichsup.definirIndex(static_cast<int>(a->nomsReels().indexOf(QStringLiteral("Noel.JPG"))));
    b.repondeur.prevoir(kal::msg::RepNon);
    a->B_okphoto.cliquer();
    EXPECT_TRUE(QFileInfo::exists(dans(QStringLiteral("Noel.JPG"))));
    EXPECT_FALSE(a->B_okphoto.actif());
    // The end of the run: back to idle.
    a->B_sup.cliquer();
    supprimer(QStringLiteral("Noel.JPG"), true);
    EXPECT_FALSE(QFileInfo::exists(dans(QStringLiteral("Noel.JPG"))));
    EXPECT_TRUE(a->B_ouvrir.actif());
    EXPECT_FALSE(a->B_okphoto.actif());
    EXPECT_FALSE(a->L_fichsup.visible());
    EXPECT_TRUE(QFileInfo::exists(dans(QStringLiteral("notes.txt"))));
}

// The workbench in a work folder on a small disk of its own (a tmpfs the test mounts), which
// the test fills up and frees.
class ClasseurDisquePlein : public Classeur {
protected:
    QString disque;
    bool monte = false;

    void SetUp() override
    {
        disque = b.dossier.fichier(QStringLiteral("disque"));
        ASSERT_TRUE(QDir().mkpath(disque));
        if (::mount("tmpfs", QFile::encodeName(disque).constData(), "tmpfs", 0, "size=4m") != 0)
            FAIL() << "a tmpfs cannot be mounted (the tests run as root): " << std::strerror(errno);
        monte = true;
        ASSERT_TRUE(QDir::setCurrent(disque));
        Classeur::SetUp();
    }
    void TearDown() override
    {
        // The window and its work file go before the disk.
        kal::Fenetres::reinitialiser();
        QDir::setCurrent(b.dossier.chemin());
        if (monte)
            ::umount2(QFile::encodeName(disque).constData(), MNT_DETACH);
    }
    void remplir() const
    {
        QFile f(disque + QStringLiteral("/plein"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray bloc(4096, 'x');
        while (f.write(bloc) == bloc.size() && f.flush()) {
        }
    }
    void liberer() const { QFile::remove(disque + QStringLiteral("/plein")); }
};

TEST_F(ClasseurDisquePlein, LeFichierDeTravailEtLaLegendeDisentVraiEtEnregistrerDitPourquoi)
{
    BancAtelier::glisser(a->A_compression, 200);
    ASSERT_TRUE(QFile::exists(a->fichierTravail()));
    remplir();
    b.repondeur.oublier();
    BancAtelier::glisser(a->A_compression, 2);
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernierTitre(), QStringLiteral("FICHIER DE TRAVAIL"));
    EXPECT_TRUE(dernierTexte().contains(QStringLiteral("le disque est plein"))) << dernierTexte().toStdString();
    EXPECT_FALSE(dernierTexte().contains(QStringLiteral("conservé")));
    EXPECT_FALSE(QFile::exists(a->fichierTravail()));
    EXPECT_EQ(kaltest::legende(a->E_compression), QStringLiteral("Compress  2: non écrit"));
    EXPECT_TRUE(a->L_photo.visible());

    // Filed on the full disk: refused, with the reason.
    nommer(QStringLiteral("apres"));
    EXPECT_EQ(dernierTitre(), QStringLiteral("ENREGISTREMENT"));
    EXPECT_TRUE(dernierTexte().contains(QStringLiteral("le disque est plein"))) << dernierTexte().toStdString();
    EXPECT_FALSE(QFile::exists(a->classeur() + QStringLiteral("/apres.jpg")));
    EXPECT_FALSE(QFile::exists(a->fichierTravail()));

    // The room back: the filing writes the photo as shown, then a change writes its file again.
    liberer();
    b.repondeur.oublier();
    nommer(QStringLiteral("apres"));
    EXPECT_EQ(b.repondeur.messages().size(), 1u);   // the question alone
    ASSERT_TRUE(QFile::exists(a->fichierTravail()));
    EXPECT_EQ(octets(a->classeur() + QStringLiteral("/apres.jpg")), octets(a->fichierTravail()));
    EXPECT_EQ(kaltest::legende(a->E_compression), Atelier::legendeCompression(2, QFileInfo(a->fichierTravail()).size()));
    BancAtelier::glisser(a->A_compression, 60);
    EXPECT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(kaltest::legende(a->E_compression), Atelier::legendeCompression(60, QFileInfo(a->fichierTravail()).size()));
}

TEST_F(Classeur, InformationsDuClasseur)
{
    auto ligne3 = [&] {
        b.repondeur.oublier();
        a->B_info.cliquer();
        EXPECT_EQ(b.repondeur.messages().size(), 1u);
        EXPECT_EQ(b.repondeur.messages()[0].titre, QStringLiteral("INFO SAUVEGARDE"));
        EXPECT_EQ(b.repondeur.messages()[0].style, 0);
        return b.repondeur.messages()[0].lignes().value(2);
    };
    EXPECT_EQ(ligne3(), QStringLiteral("Il contient  0 photos.L'espace disque occupé par ce classeur est de: 0 Ko"));
    EXPECT_EQ(b.repondeur.messages()[0].lignes(),
              (QStringList{QStringLiteral("Les photos modifiées sont enregistrées dans un classeur de sauvegarde."),
                           QStringLiteral("Ce classeur de sauvegarde est:") + b.classeur() + QStringLiteral("/."),
                           QStringLiteral("Il contient  0 photos.L'espace disque occupé par ce classeur est de: 0 Ko"),
                           QStringLiteral("Pour libérer de l'espace disque,il peut etre nécessaire de supprimer les photos de ce "
                                          "classeur devenues inutiles."),
                           QStringLiteral("Pour cela,utiliser le bouton SUPPRIMER.")}));
    // 1.5 Ko three times: 2 + 2 + 2 (halves to the even neighbour, file by file); the other
    // file counts as a photo but not in the size.
    for (const char* nom : {"a.jpg", "b.jpg", "c.JPG"})
        ecrire(dans(QString::fromLatin1(nom)), QByteArray(1536, 'x'));
    ecrire(dans(QStringLiteral("d.txt")), QByteArray(4096, 'x'));
    EXPECT_EQ(ligne3(), QStringLiteral("Il contient  4 photos.L'espace disque occupé par ce classeur est de: 6 Ko"));
    // Sizes beyond what 32 bits of Ko hold are counted.
    for (const char* nom : {"g1.jpg", "g2.jpg"}) {
        QFile f(dans(QString::fromLatin1(nom)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(1) << 42)) << "a sparse file of 4 TiB in the test folder";
    }
    EXPECT_EQ(ligne3(), QStringLiteral("Il contient  6 photos.L'espace disque occupé par ce classeur est de: 8589934598 Ko"));
}

// A photo whose name is not UTF-8 (written on an older system): listed, counted by INFO with its
// size, and refused by SUPPRIMER with the reason rather than taken for another kind of file.
TEST_F(Classeur, UnNomQuiNEstPasEnUtf8EstCompteMaisNonSupprime)
{
    const QByteArray jpeg = octets(b.travail()).left(2048);
    const QByteArray latin1 = QFile::encodeName(b.classeur()) + "/caf\xe9.jpg";
    {
        FILE* f = std::fopen(latin1.constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(jpeg.constData(), 1, static_cast<size_t>(jpeg.size()), f);
        std::fclose(f);
    }
    b.repondeur.oublier();
    a->B_info.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(b.repondeur.messages()[0].lignes().value(2),
              QStringLiteral("Il contient  1 photos.L'espace disque occupé par ce classeur est de: 2 Ko"));

    b.repondeur.prevoir(kal::msg::RepOK);
    a->B_sup.cliquer();
    ASSERT_EQ(a->L_fichsup.nombre(), 1);
    EXPECT_EQ(a->L_fichsup.entree(0), QStringLiteral("café"));
    b.repondeur.oublier();
    a->L_fichsup.definirIndex(0);
    a->B_okphoto.cliquer();
    ASSERT_EQ(b.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernierTitre(), QStringLiteral("NOM ILLISIBLE"));
    EXPECT_TRUE(dernierTexte().contains(QStringLiteral("café.jpg"))) << dernierTexte().toStdString();
    EXPECT_EQ(::unlink(latin1.constData()), 0);   // still there (and a name the folder's removal can't reach)
}

}  // namespace
