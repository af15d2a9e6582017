// The common dialog: presets go to the dialog, answers come back, a cancel changes nothing;
// the real font, colour and file dialogs driven headless.
#include "platform/base/erreur.h"
#include "platform/dialogs/dialoguecommun.h"
#include "platform/dialogs/dialoguepolice.h"
#include "support/dossiertemp.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFile>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kal;

namespace {

DialogueCommun dialoguePrepare()
{
    DialogueCommun d;
    d.annulationerreur = true;
    d.optionsdialogue = 259;
    d.policedialogue = "MS Sans Serif";
    d.tailledialogue = 24;
    d.couleurdialogue = 0x0000FF;
    d.grasdialogue = true;
    d.soulignedialogue = true;
    d.filtre = "Format RichText File RTF|*RTF*|";
    d.nomfichier = "ancien.rtf";
    return d;
}

void memeEtat(const DialogueCommun& a, const DialogueCommun& b)
{
    EXPECT_EQ(a.policedialogue, b.policedialogue);
    EXPECT_EQ(a.tailledialogue, b.tailledialogue);
    EXPECT_EQ(a.couleurdialogue, b.couleurdialogue);
    EXPECT_EQ(a.grasdialogue, b.grasdialogue);
    EXPECT_EQ(a.italiquedialogue, b.italiquedialogue);
    EXPECT_EQ(a.soulignedialogue, b.soulignedialogue);
    EXPECT_EQ(a.barredialogue, b.barredialogue);
    EXPECT_EQ(a.nomfichier, b.nomfichier);
}

int erreurDe(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        return e.numero();
    }
    return 0;
}

// Runs f on the modal dialog as soon as it is up. A dialog that f leaves open (a failed check)
// is cancelled, so that a failure never blocks the test program.
void quandModal(std::function<void(QWidget*)> f)
{
    QTimer::singleShot(0, [f] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        f(w);
        if (w->isVisible())
            QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    });
}

}  // namespace

TEST(DialogueCommun, LaPoliceChoisieRevientDansLesProprietes)
{
    RepondeurDialogueEnregistreur r;
    DialogueCommun d = dialoguePrepare();
    r.prevoirPolice(ChoixPolice{Police{"Arial", 10.5, false, true, false, true}, 0x008000});
    EXPECT_TRUE(d.choixpolice());
    ASSERT_EQ(r.demandes().size(), 1u);
    // The dialog opened on the preset font.
    const auto& q = r.demandes()[0];
    EXPECT_EQ(q.genre, "police");
    EXPECT_EQ(q.police.police, (Police{"MS Sans Serif", 24, true, false, true, false}));
    EXPECT_EQ(q.police.couleur, 0x0000FF);
    EXPECT_EQ(q.options, 259);
    EXPECT_EQ(d.policedialogue, "Arial");
    EXPECT_DOUBLE_EQ(d.tailledialogue, 10.5);
    EXPECT_FALSE(d.grasdialogue);
    EXPECT_TRUE(d.italiquedialogue);
    EXPECT_FALSE(d.soulignedialogue);
    EXPECT_TRUE(d.barredialogue);
    EXPECT_EQ(d.couleurdialogue, 0x008000);

    // Without the effects, colour, underline and strike-through are not the dialog's to change.
    DialogueCommun sans = dialoguePrepare();
    sans.optionsdialogue = 3;
    r.prevoirPolice(ChoixPolice{Police{"Arial", 12, false, false, false, true}, 0x00FF00});
    EXPECT_TRUE(sans.choixpolice());
    EXPECT_EQ(sans.policedialogue, "Arial");
    EXPECT_EQ(sans.couleurdialogue, 0x0000FF);
    EXPECT_TRUE(sans.soulignedialogue);
    EXPECT_FALSE(sans.barredialogue);
}

TEST(DialogueCommun, UnDialogueAnnuleNeChangeRien)
{
    RepondeurDialogueEnregistreur r;
    const DialogueCommun avant = dialoguePrepare();
    DialogueCommun d = avant;
    // With the cancel error: error 32755 from each dialog, nothing changed.
    EXPECT_EQ(erreurDe([&] { d.choixpolice(); }), dialogue::ErreurAnnulation);
    EXPECT_EQ(erreurDe([&] { d.choixcouleur(); }), dialogue::ErreurAnnulation);
    r.prevoirFichier(std::nullopt);
    EXPECT_EQ(erreurDe([&] { d.choixfichier(); }), dialogue::ErreurAnnulation);
    memeEtat(d, avant);
    // Without it: false, nothing changed.
    d.annulationerreur = false;
    EXPECT_FALSE(d.choixpolice());
    EXPECT_FALSE(d.choixcouleur());
    EXPECT_FALSE(d.choixfichier());
    memeEtat(d, avant);
    EXPECT_EQ(r.demandes().size(), 6u);
}

TEST(DialogueCommun, CouleurEtFichier)
{
    RepondeurDialogueEnregistreur r;
    DialogueCommun d = dialoguePrepare();
    d.optionsdialogue = 5;
    r.prevoirCouleur(0xFFFF00);
    EXPECT_TRUE(d.choixcouleur());
    EXPECT_EQ(r.demandes().back().couleur, 0x0000FF);
    EXPECT_EQ(r.demandes().back().options, 5);
    EXPECT_EQ(d.couleurdialogue, 0xFFFF00);

    d.optionsdialogue = 12;
    r.prevoirFichier(QString("/home/moi/lettre.rtf"));
    EXPECT_TRUE(d.choixfichier());
    EXPECT_EQ(r.demandes().back().filtre, "Format RichText File RTF|*RTF*|");
    EXPECT_EQ(d.nomfichier, "/home/moi/lettre.rtf");
}

TEST(DialogueCommun, FiltresDeFichiers)
{
    const auto un = lireFiltre("Format RichText File RTF|*RTF*|");
    ASSERT_EQ(un.size(), 1u);
    EXPECT_EQ(un[0], (FiltreFichier{"Format RichText File RTF", {"*RTF*"}}));
    const auto deux = lireFiltre("Images JPEG|*.jpg;*.jpeg|Tous (*.*)|*.*");
    ASSERT_EQ(deux.size(), 2u);
    EXPECT_EQ(deux[0].motifs, (QStringList{"*.jpg", "*.jpeg"}));
    EXPECT_EQ(filtreQt("Format RichText File RTF|*RTF*|"), "Format RichText File RTF (*RTF*)");
    EXPECT_EQ(filtreQt("Images JPEG|*.jpg;*.jpeg|Tous (*.*)|*.*"), "Images JPEG (*.jpg *.jpeg);;Tous *.* (*.*)");
    EXPECT_TRUE(lireFiltre("").empty());
}

TEST(DialoguePolice, AfficheLeChoixEtRendCeQueLaPersonneChoisit)
{
    DialoguePolice d;
    d.definirChoix(ChoixPolice{Police{"MS Sans Serif", 24, true, false, true, false}, 0x0000FF});
    EXPECT_EQ(d.champNom()->text(), "MS Sans Serif");
    EXPECT_EQ(d.listeNoms()->currentItem()->text(), "MS Sans Serif");
    EXPECT_EQ(d.listeStyles()->currentRow(), 2);   // Gras
    EXPECT_EQ(d.champTaille()->text(), "24");
    EXPECT_EQ(d.listeTailles()->currentItem()->text(), "24");
    EXPECT_TRUE(d.caseSouligne()->isChecked());
    EXPECT_FALSE(d.caseBarre()->isChecked());
    EXPECT_EQ(d.listeCouleurs()->currentText(), "Rouge");
    EXPECT_EQ(d.exemple()->font().family(), "MS Sans Serif");

    // The person picks in the lists and boxes.
    d.listeNoms()->setCurrentItem(d.listeNoms()->findItems("Times New Roman", Qt::MatchExactly).first());
    d.listeStyles()->setCurrentRow(3);
    d.listeTailles()->setCurrentItem(d.listeTailles()->findItems("14", Qt::MatchExactly).first());
    d.caseBarre()->setChecked(true);
    d.caseSouligne()->setChecked(false);
    d.listeCouleurs()->setCurrentIndex(d.listeCouleurs()->findText("Bleu marine"));
    EXPECT_EQ(d.choix(), (ChoixPolice{Police{"Times New Roman", 14, true, true, false, true}, 0x800000}));

    // A typed size, with the decimal comma; a size that is not one leaves the size alone.
    d.champTaille()->setText("10,5");
    emit d.champTaille()->editingFinished();
    EXPECT_DOUBLE_EQ(d.choix().police.taille, 10.5);
    d.champTaille()->setText("beaucoup");
    emit d.champTaille()->editingFinished();
    EXPECT_DOUBLE_EQ(d.choix().police.taille, 10.5);
    d.champTaille()->setText("5000");
    emit d.champTaille()->editingFinished();
    EXPECT_DOUBLE_EQ(d.choix().police.taille, 10.5);

    // A colour outside the sixteen is kept as it is.
    d.definirChoix(ChoixPolice{Police{}, 0x123456});
    EXPECT_EQ(d.listeCouleurs()->currentText(), "Personnalisée");
    EXPECT_EQ(d.choix().couleur, 0x123456);
    EXPECT_TRUE(DialoguePolice::nomsProposes().contains("Arial"));
}

TEST(DialoguesReels, AnnulerPuisAccepterLaPolice)
{
    DialogueCommun d = dialoguePrepare();
    const DialogueCommun avant = d;
    quandModal([](QWidget* w) {
        auto* p = qobject_cast<DialoguePolice*>(w);
        ASSERT_NE(p, nullptr);
        p->caseBarre()->setChecked(true);
        p->reject();
    });
    EXPECT_EQ(erreurDe([&] { d.choixpolice(); }), dialogue::ErreurAnnulation);
    memeEtat(d, avant);

    quandModal([](QWidget* w) {
        auto* p = qobject_cast<DialoguePolice*>(w);
        ASSERT_NE(p, nullptr);
        // The effects are offered with option 256.
        EXPECT_FALSE(p->caseBarre()->isHidden());
        p->caseBarre()->setChecked(true);
        p->champNom()->setText("Courier New");
        p->findChild<QDialogButtonBox*>()->buttons().first()->click();
    });
    EXPECT_TRUE(d.choixpolice());
    EXPECT_EQ(d.policedialogue, "Courier New");
    EXPECT_TRUE(d.barredialogue);
    EXPECT_DOUBLE_EQ(d.tailledialogue, 24);
}

TEST(DialoguesReels, CouleurEtFichier)
{
    DialogueCommun d = dialoguePrepare();
    quandModal([](QWidget* w) {
        auto* c = qobject_cast<QColorDialog*>(w);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->currentColor(), QColor(255, 0, 0));
        c->reject();
    });
    EXPECT_EQ(erreurDe([&] { d.choixcouleur(); }), dialogue::ErreurAnnulation);
    EXPECT_EQ(d.couleurdialogue, 0x0000FF);
    quandModal([](QWidget* w) {
        auto* c = qobject_cast<QColorDialog*>(w);
        ASSERT_NE(c, nullptr);
        c->setCurrentColor(QColor(0, 0, 255));
        c->accept();
    });
    EXPECT_TRUE(d.choixcouleur());
    EXPECT_EQ(d.couleurdialogue, 0xFF0000);

    // The file dialog opens in the current folder with the filter; a chosen file comes back
    // with its full path.
    kaltest::DossierTravail dossier;
    for (const char* nom : {"lettre.rtf", "AUTRE.RTF", "note.txt"}) {
        QFile f(dossier.fichier(nom));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    d.nomfichier.clear();
    quandModal([&](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(fd, nullptr);
        EXPECT_EQ(fd->nameFilters(), QStringList{"Format RichText File RTF (*RTF*)"});
        EXPECT_EQ(fd->directory().absolutePath(), QDir(dossier.chemin()).absolutePath());
        // The pattern in capitals lists the files whatever the case of their names.
        auto* modele = fd->findChild<QFileSystemModel*>();
        ASSERT_NE(modele, nullptr);
        const QModelIndex racine = modele->index(dossier.chemin());
        QEventLoop attente;
        QTimer::singleShot(5000, &attente, &QEventLoop::quit);
        QTimer sonde;
        QObject::connect(&sonde, &QTimer::timeout, &attente, [&] {
            if (modele->rowCount(racine) >= 2)
                attente.quit();
        });
        sonde.start(20);
        attente.exec();
        QStringList listes;
        auto* vue = fd->findChild<QListView*>("listView");
        ASSERT_NE(vue, nullptr);
        for (int i = 0; i < vue->model()->rowCount(vue->rootIndex()); ++i)
            listes.append(vue->model()->index(i, 0, vue->rootIndex()).data().toString());
        listes.sort();
        EXPECT_EQ(listes, (QStringList{"AUTRE.RTF", "lettre.rtf"}));
        // The person types the name and confirms.
        auto* nom = fd->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(nom, nullptr);
        nom->setText("lettre.rtf");
        QMetaObject::invokeMethod(fd, "accept");
    });
    EXPECT_TRUE(d.choixfichier());
    EXPECT_EQ(QFileInfo(d.nomfichier).canonicalFilePath(), QFileInfo(dossier.fichier("lettre.rtf")).canonicalFilePath());
}
