// The rich-text box: plain text with CR LF, selection in plain-text positions, the selection's
// font, typing format, files, events.
#include "platform/base/erreur.h"
#include "platform/richtext/boitetexteriche.h"
#include "platform/richtext/rtf.h"
#include "support/dossiertemp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextEdit>
#include <QWidget>
#include <gtest/gtest.h>

using namespace kal;

namespace {

struct Fenetre {
    QWidget fenetre;
    BoiteTexteRiche boite{&fenetre};
    Fenetre()
    {
        fenetre.resize(400, 300);
        boite.placer(0, 0, 3000, 2000);
    }
};

int erreurDe(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        return e.numero();
    }
    return 0;
}

// Selects from a to a + n as the procedures do.
void selection(BoiteTexteRiche& b, int debut, int longueur)
{
    b.definirSelectiondebut(debut);
    b.definirSelectionlongueur(longueur);
}

}  // namespace

TEST(BoiteTexteRiche, TexteEnCrLfEtPositionsDuTexteSimple)
{
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    b.definirContenutexte("A\nB\r\nC\rD");
    EXPECT_EQ(b.contenutexte(), "A\r\nB\r\nC\r\nD");

    // The line count of the rendering: "A" CR LF "B" has CR LF at positions 1 and 2 (from 0).
    b.definirContenutexte("A\r\nB");
    selection(b, 1, 2);
    EXPECT_EQ(b.selectiontexte(), "\r\n");
    selection(b, 0, 2);
    EXPECT_EQ(b.selectiontexte(), "A\r");
    selection(b, 2, 2);
    EXPECT_EQ(b.selectiontexte(), "\nB");
    b.definirSelgras(true);   // a format keeps the selection as set
    EXPECT_EQ(b.selectiondebut(), 2);
    EXPECT_EQ(b.selectionlongueur(), 2);
    b.definirSelectiondebut(3);
    EXPECT_EQ(b.selectiondebut(), 3);
    EXPECT_EQ(b.selectionlongueur(), 0);
    // The caret after "B" is at the end: position 4 of the plain text.
    b.definirSelectiondebut(4);
    EXPECT_EQ(b.editeur()->textCursor().position(), 3);
    EXPECT_EQ(b.selectiondebut(), 4);

    // A length past the end is cut at the end; the start may not leave the text.
    b.definirSelectiondebut(1);
    b.definirSelectionlongueur(99);
    EXPECT_EQ(b.selectionlongueur(), 3);
    EXPECT_EQ(b.selectiontexte(), "\r\nB");
    EXPECT_EQ(erreurDe([&] { b.definirSelectiondebut(-1); }), rtf::err::AppelIncorrect);
    EXPECT_EQ(erreurDe([&] { b.definirSelectiondebut(5); }), rtf::err::AppelIncorrect);
    EXPECT_EQ(erreurDe([&] { b.definirSelectionlongueur(-1); }), rtf::err::AppelIncorrect);
    EXPECT_EQ(b.selectiondebut(), 1);

    // A selection made by the user reads back in plain-text positions.
    QTextCursor c = b.editeur()->textCursor();
    c.setPosition(3);
    c.setPosition(0, QTextCursor::KeepAnchor);
    b.editeur()->setTextCursor(c);
    EXPECT_EQ(b.selectiondebut(), 0);
    EXPECT_EQ(b.selectionlongueur(), 4);
    EXPECT_EQ(b.selectiontexte(), "A\r\nB");

    // Read in pieces, the text is the plain text, line breaks inside a paragraph included.
    b.chargertexte(kaltest::donnee("rtf/lettre.rtf"));
    b.editeur()->textCursor().insertText(QStringLiteral("a\u00A0b\tc"));
    const QString tout = b.contenutexte();
    selection(b, 0, static_cast<int>(tout.size()));
    EXPECT_EQ(b.selectiontexte(), tout);
    for (int p = 0; p + 2 <= tout.size(); p += 7) {
        selection(b, p, 2);
        EXPECT_EQ(b.selectiontexte(), tout.mid(p, 2)) << p;
    }

    b.definirContenutexte("");
    EXPECT_EQ(b.contenutexte(), "");
    EXPECT_EQ(b.selectiondebut(), 0);
}

TEST(BoiteTexteRiche, PoliceDeLaSelectionLueAuPremierCaractereEtPoseeSurLaSelection)
{
    const auto preparer = [](BoiteTexteRiche& b) {
        b.definirContenutexte("Bonjour\r\nmonde");
        selection(b, 0, 7);
        b.definirSelpolice("Arial");
        b.definirSeltaille(10.5);
        b.definirSelcouleur(0x0000FF);   // red as an RGB Long
        b.definirSelgras(true);
        b.definirSelitalique(true);
        b.definirSelsouligne(true);
        b.definirSelbarre(true);
    };
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    preparer(b);

    selection(b, 3, 1);
    EXPECT_EQ(b.selpolice(), "Arial");
    EXPECT_DOUBLE_EQ(b.seltaille(), 10.5);
    EXPECT_EQ(b.selcouleur(), 0x0000FF);
    EXPECT_TRUE(b.selgras() && b.selitalique() && b.selsouligne() && b.selbarre());

    // The second line was not selected: the box's own font, black.
    selection(b, 9, 5);
    EXPECT_EQ(b.selpolice(), "MS Sans Serif");
    EXPECT_FALSE(b.selgras());
    EXPECT_EQ(b.selcouleur(), 0);

    // A mixed selection reads as its first character.
    selection(b, 5, 6);
    EXPECT_EQ(b.selpolice(), "Arial");

    // The whole text takes the first character's font (as after every key release).
    selection(b, 0, 1);
    const Police premiere = b.policeSelection();
    const int couleur = b.selcouleur();
    selection(b, 0, static_cast<int>(b.contenutexte().size()));
    b.definirSelpolice(premiere.nom);
    b.definirSeltaille(premiere.taille);
    b.definirSelcouleur(couleur);
    b.definirSelgras(premiere.gras);
    b.definirSelitalique(premiere.italique);
    b.definirSelsouligne(premiere.souligne);
    b.definirSelbarre(premiere.barre);
    for (int p : {0, 8, 9, 13}) {
        selection(b, p, 1);
        EXPECT_EQ(b.policeSelection(), premiere) << p;
        EXPECT_EQ(b.selcouleur(), 0x0000FF) << p;
    }
    // The six values and the colour put together give the same text, end marks included.
    Fenetre g;
    BoiteTexteRiche& ensemble = g.boite;
    preparer(ensemble);
    selection(ensemble, 0, static_cast<int>(ensemble.contenutexte().size()));
    ensemble.definirPoliceSelection(premiere, couleur);
    for (QTextBlock x = b.document()->begin(), y = ensemble.document()->begin(); x.isValid() || y.isValid();
         x = x.next(), y = y.next()) {
        ASSERT_TRUE(x.isValid() && y.isValid());
        EXPECT_EQ(x.charFormat().properties(), y.charFormat().properties());
        for (auto i = x.begin(), j = y.begin(); !i.atEnd() || !j.atEnd(); ++i, ++j) {
            ASSERT_TRUE(!i.atEnd() && !j.atEnd());
            EXPECT_EQ(i.fragment().text(), j.fragment().text());
            EXPECT_EQ(i.fragment().charFormat().properties(), j.fragment().charFormat().properties());
        }
    }
    kaltest::DossierTravail dossier;
    b.sauvertexte(dossier.fichier("un.rtf"));
    ensemble.sauvertexte(dossier.fichier("ensemble.rtf"));
    QFile un(dossier.fichier("un.rtf")), tous(dossier.fichier("ensemble.rtf"));
    ASSERT_TRUE(un.open(QIODevice::ReadOnly) && tous.open(QIODevice::ReadOnly));
    EXPECT_EQ(un.readAll(), tous.readAll());
}

TEST(BoiteTexteRiche, CeQuiEstTapeApresLaPoliceDUnTexteVidePrendCettePolice)
{
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    f.fenetre.show();
    QApplication::setActiveWindow(&f.fenetre);
    b.definirContenutexte("ancien");
    b.definirContenutexte("");
    b.definirSelpolice("MS Sans Serif");
    b.definirSeltaille(24);
    b.definirSelgras(false);
    // Caret to the end as the composition does before the user types.
    b.definirSelectiondebut(0);
    b.definirSelectionlongueur(0);
    b.definirSelectiondebut(b.selectionlongueur());
    b.prendrefocus();
    EXPECT_EQ(b.seltaille(), 24.0);
    QTest::keyClicks(b.editeur(), "ab");
    QTest::sendKeyEvent(QTest::Click, b.editeur(), Qt::Key_Eacute, QStringLiteral("é"), {});
    EXPECT_EQ(b.contenutexte(), "abé");
    selection(b, 2, 1);
    EXPECT_EQ(b.selpolice(), "MS Sans Serif");
    EXPECT_DOUBLE_EQ(b.seltaille(), 24.0);

    // Putting a new text keeps the first character's font.
    b.definirContenutexte("nouveau\r\ntexte");
    selection(b, 9, 1);
    EXPECT_DOUBLE_EQ(b.seltaille(), 24.0);
}

TEST(BoiteTexteRiche, EvenementsClavierFocusEtClic)
{
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    QWidget autre(&f.fenetre);
    autre.setFocusPolicy(Qt::StrongFocus);
    autre.setGeometry(0, 250, 50, 20);
    f.fenetre.show();
    QApplication::setActiveWindow(&f.fenetre);
    autre.setFocus();

    std::vector<std::string> journal;
    b.surToucheRelachee = [&] { journal.push_back("touche " + std::to_string(b.selectiondebut())); };
    b.surPriseFocus = [&] { journal.push_back("focus"); };
    b.surPerteFocus = [&] { journal.push_back("perte"); };
    b.surClic = [&] { journal.push_back("clic " + std::to_string(b.selectiondebut())); };

    b.prendrefocus();
    QTest::keyClicks(b.editeur(), "xy");
    autre.setFocus();
    const std::vector<std::string> attendu{"focus", "touche 1", "touche 2", "perte"};
    EXPECT_EQ(journal, attendu);

    // A click puts the caret on the clicked character before the handler runs.
    journal.clear();
    b.definirContenutexte("abcdef");
    QTest::mouseClick(b.editeur()->viewport(), Qt::LeftButton, {}, b.editeur()->cursorRect(QTextCursor(b.document())).center());
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back(), "clic 0");
}

TEST(BoiteTexteRiche, ChargerEtSauverRtf)
{
    kaltest::DossierTravail dossier;
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    b.chargertexte(kaltest::donnee("rtf/lettre.rtf"));
    EXPECT_TRUE(b.contenutexte().startsWith("Invitation\r\nBonjour à tous"));
    EXPECT_EQ(b.selectiondebut(), 0);
    const int rouge = static_cast<int>(b.contenutexte().indexOf("rouge"));
    selection(b, rouge, 5);
    EXPECT_EQ(b.selcouleur(), 0x0000FF);

    // What is saved loads back the same into another box.
    b.sauvertexte(dossier.fichier("texte0.svc"));
    Fenetre g;
    g.boite.chargertexte(dossier.fichier("texte0.svc"), 0);
    EXPECT_EQ(g.boite.contenutexte(), b.contenutexte());
    selection(g.boite, rouge, 5);
    EXPECT_EQ(g.boite.selcouleur(), 0x0000FF);

    // A failed load keeps the box as it was.
    QFile texte(dossier.fichier("lettre.txt"));
    ASSERT_TRUE(texte.open(QIODevice::WriteOnly));
    texte.write("Ceci n'est pas du RTF");
    texte.close();
    const QString avant = b.contenutexte();
    EXPECT_EQ(erreurDe([&] { b.chargertexte(dossier.fichier("lettre.txt")); }), rtf::err::FormatIncorrect);
    EXPECT_EQ(erreurDe([&] { b.chargertexte(dossier.fichier("absent.rtf")); }), err::FichierIntrouvable);
    EXPECT_EQ(erreurDe([&] { b.sauvertexte(dossier.fichier("absent/x.svc")); }), err::AccesChemin);
    EXPECT_EQ(b.contenutexte(), avant);
}

TEST(BoiteTexteRiche, EntreeCommenceToujoursUnParagraphe)
{
    // A loaded text's paragraphs carry a format of their own: Enter on an empty one still
    // starts a new paragraph, keeping that format (a centred line stays centred).
    kaltest::DossierTravail dossier;
    QFile f(dossier.fichier("centre.rtf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\qc\\f0\\fs24 Un\\par\\par}");
    f.close();
    Fenetre w;
    BoiteTexteRiche& b = w.boite;
    b.chargertexte(dossier.fichier("centre.rtf"));
    ASSERT_EQ(b.contenutexte(), "Un\r\n");
    b.definirSelectiondebut(4);
    QTest::keyClick(b.editeur(), Qt::Key_Return);
    QTest::keyClick(b.editeur(), Qt::Key_Return);
    QTest::keyClicks(b.editeur(), "Deux");
    EXPECT_EQ(b.contenutexte(), "Un\r\n\r\n\r\nDeux");
    EXPECT_EQ(b.editeur()->textCursor().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST(BoiteTexteRiche, FondEtLargeurDeRetour)
{
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    b.definirFondtexte(0x00FF00);
    EXPECT_EQ(b.fondtexte(), 0x00FF00);
    EXPECT_EQ(b.editeur()->palette().color(QPalette::Base), QColor(0, 255, 0));
    b.definirLargeurtexte(9000);
    EXPECT_EQ(b.largeurtexte(), 9000);
    EXPECT_EQ(b.editeur()->lineWrapMode(), QTextEdit::FixedPixelWidth);
    EXPECT_EQ(b.editeur()->lineWrapColumnOrWidth(), 600);
}

// The font set on the whole text (end mark included) leaves the text laid out and painted: the
// box does not go blank until something lays it out anew.
TEST(BoiteTexteRiche, TexteToujoursDessineApresUnePoliceSurTout)
{
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    b.definirLargeurtexte(11000);
    f.fenetre.show();
    QTest::keyClicks(b.editeur(), QStringLiteral("Bonjour"));
    b.definirSelectiondebut(0);
    b.definirSelectionlongueur(7);
    b.definirSeltaille(24);
    b.definirSelcouleur(0);
    b.definirSelectiondebut(7);
    QApplication::processEvents();
    EXPECT_EQ(b.document()->firstBlock().layout()->lineCount(), 1);
    const QImage vue = b.editeur()->viewport()->grab().toImage();
    int sombres = 0;
    for (int y = 0; y < vue.height(); ++y)
        for (int x = 0; x < vue.width(); ++x)
            sombres += qGray(vue.pixel(x, y)) < 100;
    EXPECT_GT(sombres, 200);
}

TEST(BoiteTexteRiche, LaFenetreEtLaBoitePeuventDisparaitreDansUnOrdreOuLAutre)
{
    // The window goes first (it deletes the editor), then the box.
    auto* fenetre = new QWidget;
    auto boite = std::make_unique<BoiteTexteRiche>(fenetre);
    int perdus = 0;
    boite->surPerteFocus = [&] { ++perdus; };
    boite->definirContenutexte("x");
    delete fenetre;
    boite.reset();

    // The box goes first; the editor still changes and loses the focus afterwards.
    QWidget autre;
    {
        BoiteTexteRiche b(&autre);
        b.surPerteFocus = [&] { ++perdus; };
        b.surToucheRelachee = [&] { ++perdus; };
    }
    auto* editeur = autre.findChild<QTextEdit*>();
    ASSERT_NE(editeur, nullptr);
    editeur->setPlainText("encore");
    QTest::keyClick(editeur, Qt::Key_A);
    EXPECT_EQ(perdus, 0);
}

TEST(BoiteTexteRiche, ManuelAvecTitresSoulignesEtRenvoisRouges)
{
    // A manual written by a word processor, with a page header, a picture, a list, a table and a
    // bookmark: only the running text is read, with the marks the viewer looks for.
    Fenetre f;
    BoiteTexteRiche& b = f.boite;
    b.chargertexte(kaltest::donnee("rtf/manuel.rtf"));
    const QString t = b.contenutexte();
    EXPECT_TRUE(t.startsWith("SOMMAIRE\r\nLes jaquettes : voir 11.2. ici.\r\n")) << t.toStdString();
    EXPECT_TRUE(t.contains("premier point\r\n"));
    EXPECT_TRUE(t.contains("A1\tB1\t\r\n11.2. Les jaquettes\r\nFin du manuel."));
    EXPECT_FALSE(t.contains("En-t"));

    // The reference is light red (RGB 255, 0, 0) and not underlined; the heading is underlined.
    const int renvoi = static_cast<int>(t.indexOf("11.2."));
    const int titre = static_cast<int>(t.indexOf("11.2.", renvoi + 1));
    selection(b, renvoi + 1, 1);
    EXPECT_EQ(b.selcouleur(), 0x0000FF);
    EXPECT_FALSE(b.selsouligne());
    selection(b, titre + 1, 1);
    EXPECT_TRUE(b.selsouligne());
    EXPECT_EQ(b.selcouleur(), 0);
    selection(b, 1, 1);
    EXPECT_TRUE(b.selsouligne());   // "SOMMAIRE"
    // The paragraph marks take the format in force at their \\par (this word processor leaves
    // them plain): from an underlined mark, the eight characters before it read as a whole word.
    b.editeur()->document()->clear();
    rtf::lire("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\ul SOMMAIRE\\par\\ulnone voir {\\cf1 2.1. }\\par "
              "{\\ul 2.1. Titre\\par}Texte\\par}",
              *b.document());
    EXPECT_EQ(b.contenutexte(), "SOMMAIRE\r\nvoir 2.1. \r\n2.1. Titre\r\nTexte");
    selection(b, 8, 1);
    EXPECT_EQ(b.selectiontexte(), "\r");
    EXPECT_TRUE(b.selsouligne());
    selection(b, 0, 8);
    EXPECT_EQ(b.selectiontexte(), "SOMMAIRE");
    selection(b, 20, 1);
    EXPECT_FALSE(b.selsouligne());
    selection(b, 32, 1);
    EXPECT_EQ(b.selectiontexte(), "\r");
    EXPECT_TRUE(b.selsouligne());

    // Saved and loaded again, the marks keep their format.
    kaltest::DossierTravail dossier;
    b.sauvertexte(dossier.fichier("manuel.rtf"));
    Fenetre g;
    g.boite.chargertexte(dossier.fichier("manuel.rtf"));
    EXPECT_EQ(g.boite.contenutexte(), b.contenutexte());
    for (int p : {8, 20, 32}) {
        selection(b, p, 1);
        selection(g.boite, p, 1);
        EXPECT_EQ(g.boite.selsouligne(), b.selsouligne()) << p;
    }
}

TEST(BoiteTexteRiche, UnLongParagrapheSeChargeEnTempsBorne)
{
    // A 1 MB paragraph of short runs loaded from a file (it took minutes, the box frozen): the
    // text is all there, laid out once, and the scroll bar keeps its rule.
    kaltest::DossierTravail dossier;
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 ";
    QString attendu;
    while (rtf.size() < 1024 * 1024) {
        rtf += "un {\\b mot} de {\\i plus} ";
        attendu += QStringLiteral("un mot de plus ");
    }
    rtf += "}";
    const QString chemin = dossier.fichier("long.rtf");
    {
        QFile f(chemin);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(rtf);
    }
    Fenetre f;
    f.fenetre.show();
    QElapsedTimer chrono;
    chrono.start();
    f.boite.chargertexte(chemin);
    f.boite.editeur()->viewport()->grab();
    EXPECT_LT(chrono.elapsed(), 10000);   // a guard against a slow path, not a speed measure
    EXPECT_EQ(f.boite.contenutexte(), attendu);
    EXPECT_EQ(f.boite.selectiondebut(), 0);
    EXPECT_EQ(f.boite.editeur()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_TRUE(f.boite.editeur()->verticalScrollBar()->isVisible());
    // A short text loaded after it: the bar goes again.
    f.boite.chargertexte(kaltest::donnee("rtf/cyrillique.rtf"));
    EXPECT_FALSE(f.boite.editeur()->verticalScrollBar()->isVisible());
}
