// RTF reading (files written by a word processor, code pages, Unicode, skipped destinations,
// damaged input) and writing (what is written reads back the same).
#include "platform/base/erreur.h"
#include "platform/richtext/police.h"
#include "platform/richtext/rtf.h"
#include "support/dossiertemp.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <gtest/gtest.h>

using namespace kal;

namespace {

// The plain text with lines ended by CR LF, as the rich-text box gives it.
QString texteDe(const QTextDocument& doc)
{
    QString t = doc.toRawText().left(doc.characterCount() - 1);
    t.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    t.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
    return t;
}

QTextCharFormat formatA(const QTextDocument& doc, int position)
{
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(position);
    c.setPosition(position + 1, QTextCursor::KeepAnchor);
    return c.charFormat();
}

// The format of the first occurrence of a word (the word must occur).
QTextCharFormat formatDe(const QTextDocument& doc, const QString& mot)
{
    const int p = doc.toRawText().indexOf(mot);
    EXPECT_GE(p, 0) << mot.toStdString();
    return formatA(doc, std::max(0, p));
}

Police policeDe(const QTextDocument& doc, const QString& mot) { return policeDuFormat(formatDe(doc, mot), doc.defaultFont()); }

QTextDocument* lu(const QByteArray& rtf)
{
    auto* doc = new QTextDocument;
    rtf::lire(rtf, *doc);
    return doc;
}

}  // namespace

TEST(LectureRtf, FichierDuTraitementDeTexteDonneTexteEtMiseEnForme)
{
    QTextDocument doc;
    rtf::lireFichier(kaltest::donnee("rtf/lettre.rtf"), doc);
    EXPECT_EQ(texteDe(doc),
              QStringLiteral("Invitation\r\n"
                             "Bonjour à tous, l’été sera chaud : œuvre, garçon, 20 €.\r\n"
                             "Texte gras, italique, souligné, barré et rouge.\r\n"
                             "Colonne\tsuivante\r\nligne forcée\r\n"
                             "Code α β ł\r\n"
                             "Lien vers le site fin."));

    const Police titre = policeDe(doc, "Invitation");
    EXPECT_EQ(titre.nom, "Times New Roman");
    EXPECT_DOUBLE_EQ(titre.taille, 18.0);
    EXPECT_EQ(doc.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(doc.begin().next().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

    const Police normal = policeDe(doc, "Bonjour");
    EXPECT_EQ(normal.nom, "Arial");
    EXPECT_DOUBLE_EQ(normal.taille, 12.0);
    EXPECT_FALSE(normal.gras || normal.italique || normal.souligne || normal.barre);
    EXPECT_FALSE(couleurDuFormat(formatDe(doc, "Bonjour")).isValid());

    EXPECT_TRUE(policeDe(doc, "gras").gras);
    EXPECT_FALSE(policeDe(doc, ", italique").gras);
    EXPECT_TRUE(policeDe(doc, "italique").italique);
    EXPECT_TRUE(policeDe(doc, "souligné").souligne);
    EXPECT_TRUE(policeDe(doc, "barré").barre);
    EXPECT_EQ(couleurDuFormat(formatDe(doc, "rouge")), QColor(255, 0, 0));

    const Police code = policeDe(doc, "Code");
    EXPECT_EQ(code.nom, "Courier New");
    EXPECT_DOUBLE_EQ(code.taille, 10.0);
    EXPECT_EQ(couleurDuFormat(formatDe(doc, "Code")), QColor(0, 0, 255));

    // The hyperlink's result is shown with its own format; the instruction is not.
    EXPECT_TRUE(policeDe(doc, "vers le site").souligne);
    EXPECT_FALSE(doc.toRawText().contains("HYPERLINK"));
    EXPECT_FALSE(doc.toRawText().contains("Note"));
}

TEST(LectureRtf, UnicodeDuTraitementDeTexteAvecCaracteresDeRemplacement)
{
    QTextDocument doc;
    rtf::lireFichier(kaltest::donnee("rtf/cyrillique.rtf"), doc);
    EXPECT_EQ(texteDe(doc), QStringLiteral("Привет, мир!\r\nΕλληνικά και 日本語"));
    EXPECT_DOUBLE_EQ(policeDe(doc, "мир").taille, 14.0);
}

TEST(LectureRtf, PagesDeCodeDuDocumentEtDesPolices)
{
    // Code page 1252 by default, 1251 through a Cyrillic font, the document's \ansicpg, and a
    // double-byte code page whose characters span two \'hh.
    std::unique_ptr<QTextDocument> doc(lu("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
                                          "{\\f1\\fnil\\fcharset204 Arial Cyr;}{\\f2\\fnil\\fcharset128 MS Mincho;}}"
                                          "\\f0 caf\\'e9 \\'80 \\f1\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\f2\\'82\\'a0\\par}"));
    EXPECT_EQ(texteDe(*doc), QStringLiteral("café € Привет あ"));
    EXPECT_EQ(policeDe(*doc, "Привет").nom, "Arial Cyr");

    // The fallback after a \u in the font table is not part of the name.
    std::unique_ptr<QTextDocument> nom(lu("{\\rtf1{\\fonttbl{\\f0\\fnil\\uc2 Mincho\\u26085\\'93\\'fa;}}\\f0 x}"));
    EXPECT_FALSE(policeDe(*nom, "x").nom.contains(QChar(0x201C)));
    EXPECT_TRUE(policeDe(*nom, "x").nom.startsWith("Mincho"));

    std::unique_ptr<QTextDocument> grec(lu("{\\rtf1\\ansi\\ansicpg1253 \\'e1\\'e2}"));
    EXPECT_EQ(texteDe(*grec), QStringLiteral("αβ"));

    // A code page this system cannot decode falls back to 1252; undefined bytes become U+FFFD.
    std::unique_ptr<QTextDocument> inconnu(lu("{\\rtf1\\ansi\\ansicpg99999 \\'e9\\'81}"));
    EXPECT_EQ(texteDe(*inconnu), QStringLiteral("é\uFFFD"));
}

TEST(LectureRtf, UnicodeEtNombreDeCaracteresDeRemplacement)
{
    // \uc1 (default): one fallback character skipped, a \'hh counting as one.
    std::unique_ptr<QTextDocument> a(lu("{\\rtf1 A\\u233\\'e9B\\u8364?C}"));
    EXPECT_EQ(texteDe(*a), QStringLiteral("AéB€C"));
    // \uc2 skips two; \uc0 skips none; a negative value is taken modulo 65536.
    std::unique_ptr<QTextDocument> b(lu("{\\rtf1\\uc2 x\\u26085\\'93\\'fay\\uc0\\u-3999 z}"));
    EXPECT_EQ(texteDe(*b), QStringLiteral("x日y\uF061z"));
    // The skip count belongs to the group; a group's end stops the skipping.
    std::unique_ptr<QTextDocument> c(lu("{\\rtf1 {\\uc3\\u233 abcd}{\\u233}e}"));
    EXPECT_EQ(texteDe(*c), QStringLiteral("édée"));
    // Characters outside the basic plane as a surrogate pair.
    std::unique_ptr<QTextDocument> d(lu("{\\rtf1 \\u-10179?\\u-8704?}"));
    EXPECT_EQ(texteDe(*d), QString::fromUtf8("\xF0\x9F\x98\x80"));
    // \upr: the Unicode half is read, the ANSI half dropped.
    std::unique_ptr<QTextDocument> e(lu("{\\rtf1 {\\upr{caf\\'e9 ANSI}{\\*\\ud{caf\\u233? U}}}}"));
    EXPECT_EQ(texteDe(*e), QStringLiteral("café U"));
}

TEST(LectureRtf, SymbolesParagraphesTabulationsEtDestinationsIgnorees)
{
    std::unique_ptr<QTextDocument> doc(lu(
        "{\\rtf1{\\*\\generator Msftedit;}{\\info{\\title Titre}}{\\stylesheet{\\s0 Normal;}}"
        "{\\header En-t\\'eate\\{\\}}{\\*\\inconnu du \\\\texte}{\\v \\{cach\\}}\\pard "
        "a\\{b\\}c\\\\d\\~e\\-f\\_g\\tab h\\line i\\par "
        "\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote\\par "
        "{\\field{\\*\\fldinst PAGE}{\\fldrslt 12}} {\\pict\\wmetafile8 0123456789abcdef}"
        "vu{\\v cach\\'e9}\\bin4 }}}}fin}"));
    EXPECT_EQ(texteDe(*doc), QStringLiteral("a{b}c\\d\u00A0ef\u2011g\th\r\ni\r\n—–•‘’“”\r\n12 vufin"));
}

TEST(LectureRtf, DernierParagrapheEtTexteVideGardentLeurFormat)
{
    std::unique_ptr<QTextDocument> a(lu("{\\rtf1 A\\par}"));
    EXPECT_EQ(texteDe(*a), "A");
    std::unique_ptr<QTextDocument> b(lu("{\\rtf1 A\\par\\par }"));
    EXPECT_EQ(texteDe(*b), "A\r\n");
    std::unique_ptr<QTextDocument> c(lu("{\\rtf1 A\\par B}"));
    EXPECT_EQ(texteDe(*c), "A\r\nB");

    // An empty text keeps the font in force for what will be typed into it.
    std::unique_ptr<QTextDocument> vide(lu("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}\\f1\\fs48\\b \\par}"));
    EXPECT_TRUE(vide->isEmpty());
    QTextCursor c0(vide.get());
    const Police p = policeDuFormat(c0.charFormat(), vide->defaultFont());
    EXPECT_EQ(p.nom, "Times New Roman");
    EXPECT_DOUBLE_EQ(p.taille, 24.0);
    EXPECT_TRUE(p.gras);
}

TEST(LectureRtf, MiseEnFormeParGroupesEtPlain)
{
    std::unique_ptr<QTextDocument> doc(lu(
        "{\\rtf1{\\fonttbl\\f0\\fswiss Arial;\\f1\\froman Times New Roman;}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}"
        "\\f1\\fs21 un {\\b\\cf1 deux {\\i\\ul trois}} quatre \\plain cinq \\cf2\\strike six\\strike0 sept \\cf9 huit}"));
    EXPECT_EQ(policeDe(*doc, "un").nom, "Times New Roman");
    EXPECT_DOUBLE_EQ(policeDe(*doc, "un").taille, 10.5);
    EXPECT_TRUE(policeDe(*doc, "deux").gras);
    EXPECT_EQ(couleurDuFormat(formatDe(*doc, "deux")), QColor(255, 0, 0));
    const Police trois = policeDe(*doc, "trois");
    EXPECT_TRUE(trois.gras && trois.italique && trois.souligne);
    const Police quatre = policeDe(*doc, "quatre");
    EXPECT_FALSE(quatre.gras || quatre.italique || quatre.souligne);
    EXPECT_FALSE(couleurDuFormat(formatDe(*doc, "quatre")).isValid());
    EXPECT_EQ(policeDe(*doc, "cinq").nom, "Arial");   // \plain: the default font, 12 points
    EXPECT_DOUBLE_EQ(policeDe(*doc, "cinq").taille, 12.0);
    EXPECT_TRUE(policeDe(*doc, "six").barre);
    EXPECT_FALSE(policeDe(*doc, "sept").barre);
    EXPECT_EQ(couleurDuFormat(formatDe(*doc, "sept")), QColor(0, 128, 0));
    EXPECT_FALSE(couleurDuFormat(formatDe(*doc, "huit")).isValid());  // no such colour: automatic
}

TEST(LectureRtf, CeQuiNestPasDuRtfEstRefuseSansToucherAuDocument)
{
    kaltest::DossierTravail dossier;
    QTextDocument doc;
    doc.setPlainText("avant");
    for (const QByteArray& faux : {QByteArray(), QByteArray("Bonjour"), QByteArray("{\\rtx1 x}"),
                                   QByteArray("\x89PNG\r\n\x1a\n"), QByteArray("{rtf1}")}) {
        try {
            rtf::lire(faux, doc);
            ADD_FAILURE() << faux.toStdString();
        } catch (const Erreur& e) {
            EXPECT_EQ(e.numero(), rtf::err::FormatIncorrect);
        }
    }
    EXPECT_EQ(doc.toPlainText(), "avant");

    try {
        rtf::lireFichier(dossier.fichier("absent.rtf"), doc);
        ADD_FAILURE();
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero(), err::FichierIntrouvable);
    }
    EXPECT_EQ(doc.toPlainText(), "avant");
    // Blanks and a byte-order mark before the group are accepted.
    EXPECT_TRUE(rtf::estRtf("\xEF\xBB\xBF \r\n{\\rtf1 x}"));
}

TEST(LectureRtf, RtfEndommageOuHostileNeBloqueNiNePlante)
{
    QElapsedTimer chrono;
    chrono.start();
    // Deep nesting, opened and never closed, then closed far too often.
    QByteArray profond = "{\\rtf1 " + QByteArray(200000, '{') + "\\b gras" + QByteArray(200000, '}') + " apres}";
    std::unique_ptr<QTextDocument> a(lu(profond));
    EXPECT_EQ(texteDe(*a), "gras apres");
    std::unique_ptr<QTextDocument> b(lu("{\\rtf1 " + QByteArray(300000, '{') + "x"));
    EXPECT_EQ(texteDe(*b), "x");
    // Huge numbers saturate; a huge \bin stops at the end of the data.
    std::unique_ptr<QTextDocument> c(lu("{\\rtf1\\fs99999999999999999999 a\\u99999999999999 b\\uc99999999 c\\f-999999999999 "
                                        "d\\cf4294967296 e\\'zz f\\bin99999999999 xyz"));
    EXPECT_TRUE(texteDe(*c).startsWith("a"));
    // Truncated in the middle of a control word, a hex escape, a group.
    for (const char* tronque : {"{\\rtf1 Hello {\\b world", "{\\rtf1 abc\\", "{\\rtf1 abc\\'e", "{\\rtf1{\\fonttbl{\\f0 Ari",
                                "{\\rtf1{\\colortbl;\\red255\\gr", "{\\rtf1 \\u", "{\\rtf1 \\u-"}) {
        std::unique_ptr<QTextDocument> d(lu(tronque));
        (void)d;
    }
    // Control characters are no text, whether raw, as \\'hh or as \\uN; neither are the
    // document's own structure marks (they would break it).
    std::unique_ptr<QTextDocument> controles(lu("{\\rtf1 a\x05\x1f" "b\\'05c\\u5?d\\u65532?\\u-560?\\u-559?e\\tab f}"));
    EXPECT_EQ(texteDe(*controles), "abcde\tf");
    std::unique_ptr<QTextDocument> e(lu("{\\rtf1 Hello {\\b world"));
    EXPECT_EQ(texteDe(*e), "Hello world");
    EXPECT_TRUE(policeDe(*e, "world").gras);

    // Random damage to a real file, and random bytes behind an RTF header.
    QFile f(kaltest::donnee("rtf/lettre.rtf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray vrai = f.readAll();
    QRandomGenerator hasard(20261209);
    for (int essai = 0; essai < 300; ++essai) {
        QByteArray abime = vrai;
        for (int k = 0; k < 20; ++k)
            abime[hasard.bounded(abime.size())] = static_cast<char>(hasard.bounded(256));
        abime.truncate(hasard.bounded(abime.size()) + 5);
        QTextDocument g;
        try {
            rtf::lire(abime, g);
        } catch (const Erreur& e) {
            EXPECT_EQ(e.numero(), rtf::err::FormatIncorrect);  // the damage reached the header
        }
        QByteArray bruit = "{\\rtf1 ";
        const char alphabet[] = "{}\\'*0123456789-abcdefuinparbfsclt ;\xe9\x80";
        for (int k = 0; k < 2000; ++k)
            bruit += alphabet[hasard.bounded(static_cast<int>(sizeof alphabet) - 1)];
        std::unique_ptr<QTextDocument> h(lu(bruit));
    }
    // Bounded work whatever the input: this is a guard against hangs, not a speed measure.
    EXPECT_LT(chrono.elapsed(), 60000);
}

TEST(LectureRtf, UnLongParagrapheDeCourtsMorceauxSeLitEnUnePasse)
{
    // One paragraph of 1 MB made of short runs (bold and red italic words, \'hh and \uN), with
    // no paragraph mark until the end. Read in bounded time, with every run where it belongs.
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red255\\green0\\blue0;}\\f0 ";
    QString attendu;
    int unites = 0;
    while (rtf.size() < 1024 * 1024) {
        rtf += "Le {\\b chat} a mang\\'e9 {\\i\\cf1 trois} souris \\u8364? ";
        attendu += QStringLiteral("Le chat a mangé trois souris € ");
        ++unites;
    }
    rtf += "fin.\\par}";
    attendu += QStringLiteral("fin.");

    QElapsedTimer chrono;
    chrono.start();
    QTextDocument doc;
    rtf::lire(rtf, doc);
    // A guard against a reader that slows down with the paragraph's length (it took minutes),
    // generous enough for a sanitizer build: not a speed measure.
    EXPECT_LT(chrono.elapsed(), 10000);

    ASSERT_EQ(doc.blockCount(), 1);
    EXPECT_EQ(texteDe(doc), attendu);
    int gras = 0, rouges = 0, morceaux = 0;
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        ++morceaux;
        if (f.charFormat().fontWeight() == QFont::Bold) {
            EXPECT_EQ(f.text(), QStringLiteral("chat"));
            gras += f.length();
        }
        if (couleurDuFormat(f.charFormat()) == QColor(255, 0, 0)) {
            EXPECT_EQ(f.text(), QStringLiteral("trois"));
            EXPECT_TRUE(f.charFormat().fontItalic());
            rouges += f.length();
        }
    }
    EXPECT_EQ(gras, 4 * unites);
    EXPECT_EQ(rouges, 5 * unites);
    EXPECT_EQ(morceaux, 4 * unites + 1);   // plain, bold, plain, italic per unit, and the end
    EXPECT_EQ(policeDe(doc, "fin.").nom, "Arial");
    // The load is not recorded for undo piece by piece.
    EXPECT_FALSE(doc.isUndoAvailable());
}

namespace {

void ajouter(QTextCursor& c, const QString& texte, const Police& p, const QColor& couleur = {})
{
    QTextCharFormat f;
    appliquerPolice(f, p);
    if (couleur.isValid())
        f.setForeground(couleur);
    c.insertText(texte, f);
}

struct Morceau {
    QString texte;
    Police police;
    QColor couleur;
};

std::vector<Morceau> morceaux(const QTextDocument& doc)
{
    std::vector<Morceau> m;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            Morceau x{it.fragment().text(), policeDuFormat(f, doc.defaultFont()), couleurDuFormat(f)};
            if (!m.empty() && m.back().police == x.police && m.back().couleur == x.couleur)
                m.back().texte += x.texte;
            else
                m.push_back(x);
        }
        if (b.next().isValid())
            m.push_back({QStringLiteral("¶"), {}, {}});
    }
    return m;
}

}  // namespace

TEST(EcritureRtf, EcrirepuisLireRendLeMemeTexteEtLaMemeMiseEnForme)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    Police arial{"Arial", 12, false, false, false, false};
    Police titre{"Times New Roman", 10.5, true, true, false, false};
    Police effets{"Courier New", 9, false, false, true, true};
    Police sans{"MS Sans Serif", 24, false, false, false, false};
    ajouter(c, "Titre {avec} \\ accolades", titre, QColor(255, 0, 0));
    QTextBlockFormat centre;
    centre.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(centre);
    c.insertBlock(QTextBlockFormat());
    ajouter(c, "Été : 20 € – «œuvre» α→ł 日本 😀", arial);
    ajouter(c, "\tsouligné barré", effets, QColor(0, 0, 128));
    ajouter(c, QString(QChar(QChar::LineSeparator)) + "ligne; suite\u00A0fin", sans, QColor(1, 2, 3));
    c.insertBlock(QTextBlockFormat());
    c.insertBlock(QTextBlockFormat());
    ajouter(c, "dernier", arial);

    const QByteArray rtf = rtf::ecrire(doc);
    // Written in 7-bit ASCII whatever the text holds.
    EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(), [](char x) { return static_cast<unsigned char>(x) < 0x80; }));
    QTextDocument relu;
    rtf::lire(rtf, relu);
    EXPECT_EQ(texteDe(relu), texteDe(doc));
    const auto avant = morceaux(doc);
    const auto apres = morceaux(relu);
    ASSERT_EQ(avant.size(), apres.size());
    for (size_t i = 0; i < avant.size(); ++i) {
        EXPECT_EQ(avant[i].texte, apres[i].texte);
        if (avant[i].texte == QStringLiteral("¶"))
            continue;
        EXPECT_EQ(avant[i].police.nom, apres[i].police.nom) << i;
        EXPECT_DOUBLE_EQ(avant[i].police.taille, apres[i].police.taille) << i;
        EXPECT_EQ(avant[i].police.gras, apres[i].police.gras) << i;
        EXPECT_EQ(avant[i].police.italique, apres[i].police.italique) << i;
        EXPECT_EQ(avant[i].police.souligne, apres[i].police.souligne) << i;
        EXPECT_EQ(avant[i].police.barre, apres[i].police.barre) << i;
        EXPECT_EQ(avant[i].couleur, apres[i].couleur) << i;
    }
    EXPECT_EQ(relu.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    // Written again, the same bytes.
    EXPECT_EQ(rtf::ecrire(relu), rtf);
}

TEST(EcritureRtf, TexteVideEtFichier)
{
    kaltest::DossierTravail dossier;
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat f;
    appliquerPolice(f, Police{"MS Sans Serif", 24, false, false, false, false});
    c.setBlockCharFormat(f);
    const QString chemin = dossier.fichier("texte3.svc");
    rtf::ecrireFichier(chemin, doc);
    QTextDocument relu;
    rtf::lireFichier(chemin, relu);
    EXPECT_TRUE(relu.isEmpty());
    QTextCursor c0(&relu);
    EXPECT_EQ(policeDuFormat(c0.charFormat(), relu.defaultFont()).nom, "MS Sans Serif");
    EXPECT_DOUBLE_EQ(policeDuFormat(c0.charFormat(), relu.defaultFont()).taille, 24.0);

    // A file that cannot be written: error 75, nothing else.
    try {
        rtf::ecrireFichier(dossier.fichier("absent/texte.svc"), doc);
        ADD_FAILURE();
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero(), err::AccesChemin);
    }
}
