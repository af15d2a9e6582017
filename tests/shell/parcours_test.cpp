// The user's road between the windows on a real X display, with real mouse clicks and keys: from
// one editor to the other through the start window, and a text typed in the composition box.
// The message boxes are the real ones, answered by a click on their button.
#include "shell/ecranreel.h"

#include "imaging/fichierstravail.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"
#include "platform/dialogs/dialoguecommun.h"
#include "platform/imaging/controleimage.h"

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QWindow>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace kal;
using kaltest::attendre;

namespace {

// The entry of a list clicked with the mouse; false when the list has no such entry.
bool cliquer(Liste& l, const QString& entree)
{
    QListWidget* w = l.liste();
    for (int i = 0; i < w->count(); ++i) {
        if (w->item(i)->text() != entree)
            continue;
        w->scrollToItem(w->item(i));
        QTest::mouseClick(w->viewport(), Qt::LeftButton, {}, w->visualItemRect(w->item(i)).center());
        return true;
    }
    return false;
}

// The next message boxes, answered in order by a click on the button of the given caption, once
// each box is on the screen (input given before it shows does not count); the title of each box
// answered is recorded.
class Personne {
public:
    explicit Personne(QStringList boutons) : boutons_(std::move(boutons))
    {
        installerRepondeur(nullptr);
        minuterie_.setInterval(30);
        QObject::connect(&minuterie_, &QTimer::timeout, [this] { regarder(); });
        minuterie_.start();
    }
    QStringList titres;

private:
    QStringList boutons_;
    QTimer minuterie_;
    QPointer<QMessageBox> enCours_;
    QString reponse_;

    void regarder()
    {
        QMessageBox* boite = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                boite = b;
        if (!boite)
            return;
        if (boite != enCours_) {
            if (boutons_.isEmpty())
                return;
            enCours_ = boite;
            reponse_ = boutons_.takeFirst();
            titres << boite->windowTitle();
        }
        if (!boite->windowHandle() || !boite->windowHandle()->isExposed())
            return;
        for (QAbstractButton* b : boite->buttons())
            if (b->text() == reponse_)
                QTest::mouseClick(b, Qt::LeftButton);
    }
};

class Parcours : public kaltest::EcranReel {
protected:
    Editeur* editeur(TypeEditeur t) { return qobject_cast<Editeur*>(Fenetres::siChargee(Editeur::nomFenetre(t))); }

    // The editor chosen in the start window, shown (and maximised by the window manager).
    Editeur* ouvrir(TypeEditeur t)
    {
        EXPECT_TRUE(cliquer(depart->L_fonction, t == TypeEditeur::Jaquette ? QStringLiteral("JAQUETTES CD")
                                                                         : QStringLiteral("NORMAL")));
        Editeur* ed = editeur(t);
        if (ed)
            attendre(5000, [ed] { return ed->isVisible() && (!kaltest::avecGestionnaire() || ed->isMaximized()); });
        return ed;
    }

    // One photo on the page, as the open panel hands it over.
    bool placerPhoto(Editeur* ed)
    {
        const QString chemin = dossier.fichier(QStringLiteral("essai.jpg"));
        QImage img(600, 400, QImage::Format_RGB32);
        img.fill(qRgb(90, 140, 60));
        img.save(chemin, "JPEG", 90);
        ControleImage apercu(ed);
        apercu.lirefichier(chemin);
        ed->x.etat.typeobjet = QStringLiteral("photo");
        return ed->x.objets().chargementimage(apercu, QStringLiteral("essai.jpg"));
    }

    QByteArray reglages() const
    {
        QFile f(dossier.fichier(QStringLiteral("quelvard.ini")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // From the open editor to the other one, as the user goes: the other entry of the start
    // window, Oui to closing the open editor, Non to saving its page.
    void passer(TypeEditeur depuis, TypeEditeur vers)
    {
        Editeur* ed = editeur(depuis);
        ASSERT_NE(ed, nullptr);
        ASSERT_TRUE(placerPhoto(ed));
        ASSERT_TRUE(fs::existe(fichierPhoto(0)));
        QFile::remove(dossier.fichier(QStringLiteral("quelvard.ini")));
        Personne p({QStringLiteral("Oui"), QStringLiteral("Non")});
        ASSERT_NE(ouvrir(vers), nullptr);
        EXPECT_EQ(p.titres, QStringList({QStringLiteral("EDITEUR DEJA OUVERT"), QStringLiteral("PAGE EN COURS")}));
        attendre(300);
        EXPECT_EQ(editeur(depuis), nullptr);
        EXPECT_TRUE(editeur(vers)->isVisible());
        EXPECT_TRUE(depart->isVisible());
        EXPECT_FALSE(Programme::termine());
        EXPECT_FALSE(fs::existe(fichierPhoto(0)));
        EXPECT_TRUE(reglages().startsWith(" 180\r\n\r\n[DeltaH]\r\n"));
    }

    // "Bonjour" typed into the composition box shows: the box's picture holds dark pixels.
    int pixelsSombres(Editeur* ed)
    {
        QTextEdit* boite = ed->c.T_compos.editeur();
        attendre(300);
        const QImage vue = boite->viewport()->grab().toImage();
        int sombres = 0;
        for (int y = 0; y < vue.height(); ++y)
            for (int x = 0; x < vue.width(); ++x)
                sombres += qGray(vue.pixel(x, y)) < 100;
        return sombres;
    }
    void taperBonjour(Editeur* ed)
    {
        ASSERT_TRUE(cliquer(ed->c.L_fonction, QStringLiteral("Créer Texte-Image")));
        attendre(300);
        ASSERT_TRUE(ed->c.T_compos.visible());
        QTest::keyClicks(ed->c.T_compos.editeur(), QStringLiteral("Bonjour"));
        EXPECT_EQ(ed->c.T_compos.contenutexte(), QStringLiteral("Bonjour"));
        // More than the caret: the letters themselves.
        EXPECT_GT(pixelsSombres(ed), 200);
    }
    // A line longer than the box: the box follows the caret.
    void taperLaSuite(Editeur* ed)
    {
        QTextEdit* boite = ed->c.T_compos.editeur();
        QTest::keyClicks(boite, QStringLiteral(" les vacances au bord de la mer"));
        attendre(200);
        EXPECT_TRUE(boite->viewport()->rect().contains(boite->cursorRect())) << boite->cursorRect().x();
        EXPECT_GT(pixelsSombres(ed), 200);
    }
};

// Page editor with a photo, "JAQUETTES CD", Oui, Non: the jacket editor opens, the start window
// stays, the page editor's close ran (settings written, work files gone). Then back the same way,
// and the page editor opened afresh works: a text typed in a new text-image shows.
TEST_F(Parcours, DUnEditeurALAutreSansRedemarrer)
{
    ASSERT_NE(ouvrir(TypeEditeur::Page), nullptr);
    passer(TypeEditeur::Page, TypeEditeur::Jaquette);
    passer(TypeEditeur::Jaquette, TypeEditeur::Page);
    Editeur* ed = editeur(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->x.etat.nbobjets, 0);
    taperBonjour(ed);
    EXPECT_TRUE(fs::existe(fichierTexte(ed->x.etat.objetcourant)));

    // Non to closing the open editor changes nothing.
    {
        Personne p({QStringLiteral("Non")});
        cliquer(depart->L_fonction, QStringLiteral("JAQUETTES CD"));
        EXPECT_EQ(p.titres, QStringList{QStringLiteral("EDITEUR DEJA OUVERT")});
    }
    EXPECT_EQ(editeur(TypeEditeur::Page), ed);
    EXPECT_EQ(editeur(TypeEditeur::Jaquette), nullptr);
    EXPECT_TRUE(fs::existe(fichierTexte(ed->x.etat.objetcourant)));
}

// The composition box shows the text typed at the default size, on both editors.
TEST_F(Parcours, TexteTapeVisibleDansLaComposition)
{
    Editeur* ed = ouvrir(TypeEditeur::Jaquette);
    ASSERT_NE(ed, nullptr);
    taperBonjour(ed);
    taperLaSuite(ed);
    Fenetres::decharger(ed->nom());
    attendre(200);
    ed = ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    taperBonjour(ed);
    taperLaSuite(ed);
}

// A text loaded by "Charg Texte" shows in the box too.
TEST_F(Parcours, TexteChargeVisibleDansLaComposition)
{
    const QString rtf = dossier.fichier(QStringLiteral("vacances.rtf"));
    QFile f(rtf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs40 Bonjour les vacances\\par}");
    f.close();
    Editeur* ed = ouvrir(TypeEditeur::Page);
    ASSERT_NE(ed, nullptr);
    RepondeurDialogueEnregistreur dialogues;
    dialogues.prevoirFichier(rtf);
    ASSERT_TRUE(cliquer(ed->c.L_fonction, QStringLiteral("Charg Texte")));
    attendre(300);
    ASSERT_TRUE(ed->c.T_compos.visible());
    EXPECT_TRUE(ed->c.T_compos.contenutexte().startsWith(QStringLiteral("Bonjour les vacances")));
    EXPECT_GT(pixelsSombres(ed), 200);
}

}  // namespace
