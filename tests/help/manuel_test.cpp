// The shipped manual follows the conventions the viewer relies on: a title paragraph, the
// summary listing every heading as red references, numbered headings underlined whole with
// their paragraph mark and nothing else underlined, numbers in increasing order, every red
// reference naming an existing heading followed by a blank.
#include "banc.h"
#include "platform/richtext/rtf.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <gtest/gtest.h>

using namespace kal;

namespace {

struct Ligne {
    QString texte;
    std::vector<bool> souligne;   // per character
    std::vector<bool> rouge;
    bool marqueSoulignee = false;
};

bool estRouge(const QTextCharFormat& f)
{
    return f.foreground().style() != Qt::NoBrush && f.foreground().color() == QColor(255, 0, 0);
}

std::vector<Ligne> lignesDuManuel(QTextDocument& doc)
{
    rtf::lireFichier(kaltest::manuelLivre(), doc);
    std::vector<Ligne> r;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        Ligne l;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            l.texte += f.text();
            for (qsizetype i = 0; i < f.text().size(); ++i) {
                l.souligne.push_back(f.charFormat().fontUnderline());
                l.rouge.push_back(estRouge(f.charFormat()));
            }
        }
        // A paragraph mark has the format the next paragraph starts with.
        l.marqueSoulignee = b.next().isValid() && b.next().charFormat().fontUnderline();
        r.push_back(l);
    }
    return r;
}

QList<int> numeros(const QString& n)
{
    QList<int> r;
    for (const QString& p : n.split(QLatin1Char('.'), Qt::SkipEmptyParts))
        r << p.toInt();
    return r;
}

const QRegularExpression Titre(QStringLiteral("^((?:\\d+\\.)+) ([^\\d ][^\\d]{7,})$"));

}  // namespace

TEST(Manuel, ConventionsDuManuelLivre)
{
    QTextDocument doc;
    const std::vector<Ligne> lignes = lignesDuManuel(doc);
    ASSERT_GT(lignes.size(), 100u);

    // The title paragraph, then nothing but empty lines up to SOMMAIRE.
    ASSERT_FALSE(lignes[0].texte.isEmpty());
    EXPECT_TRUE(lignes[0].texte.startsWith(QStringLiteral("KALMORIN")));
    EXPECT_FALSE(lignes[0].texte.contains(QRegularExpression(QStringLiteral("\\d"))));
    size_t i = 1;
    while (i < lignes.size() && lignes[i].texte.isEmpty())
        ++i;
    ASSERT_LT(i, lignes.size());
    const size_t sommaire = i;
    EXPECT_EQ(lignes[sommaire].texte, QStringLiteral("SOMMAIRE"));

    // Underlined: SOMMAIRE and the headings, whole and with their mark; nothing else.
    QStringList titres, texteTitres;
    for (size_t k = 0; k < lignes.size(); ++k) {
        const Ligne& l = lignes[k];
        const bool unSouligne = l.marqueSoulignee || std::find(l.souligne.begin(), l.souligne.end(), true) != l.souligne.end();
        if (!unSouligne)
            continue;
        const auto m = Titre.match(l.texte);
        EXPECT_TRUE(k == sommaire || (m.hasMatch() && k > sommaire)) << "souligné hors titre: " << l.texte.toStdString();
        EXPECT_TRUE(l.marqueSoulignee) << l.texte.toStdString();
        EXPECT_TRUE(std::all_of(l.souligne.begin(), l.souligne.end(), [](bool s) { return s; })) << l.texte.toStdString();
        EXPECT_TRUE(std::none_of(l.rouge.begin(), l.rouge.end(), [](bool s) { return s; })) << l.texte.toStdString();
        if (k != sommaire && m.hasMatch()) {
            titres << m.captured(1);
            texteTitres << l.texte;
        }
    }
    EXPECT_EQ(lignes[sommaire].texte, QStringLiteral("SOMMAIRE"));
    ASSERT_GE(titres.size(), 14);

    // Numbers in increasing order, each once; chapters 1 to 14 all there.
    for (qsizetype k = 1; k < titres.size(); ++k)
        EXPECT_LT(numeros(titres[k - 1]), numeros(titres[k])) << titres[k].toStdString();
    QStringList chapitres;
    for (const QString& t : texteTitres)
        if (numeros(t.section(QLatin1Char(' '), 0, 0)).size() == 1)
            chapitres << t;
    ASSERT_EQ(chapitres.size(), 14);
    const char* attendus[] = {"Démarrer", "écran", "fenêtre de départ", "éditeur de pages", "réglages", "Formats et positions",
                              "textes-images", "pages perso", "impression", "Enregistrer sous et scanner", "jaquettes de CD",
                              "ajustement des marges", "utilitaires photo", "contact"};
    for (int k = 0; k < 14; ++k) {
        EXPECT_TRUE(chapitres[k].startsWith(QString::number(k + 1) + QStringLiteral(". "))) << chapitres[k].toStdString();
        EXPECT_TRUE(chapitres[k].contains(QString::fromUtf8(attendus[k]))) << chapitres[k].toStdString();
    }

    // Red references: each run is a heading's number, a blank and its title.
    QStringList renvoisDuSommaire;
    size_t premierTitre = sommaire + 1;
    while (premierTitre < lignes.size() && !lignes[premierTitre].marqueSoulignee)
        ++premierTitre;
    int nombreRenvois = 0;
    for (size_t k = 0; k < lignes.size(); ++k) {
        const Ligne& l = lignes[k];
        for (qsizetype c = 0; c < l.texte.size(); ++c) {
            if (!l.rouge[c] || (c > 0 && l.rouge[c - 1]))
                continue;
            qsizetype fin = c;
            while (fin < l.texte.size() && l.rouge[fin])
                ++fin;
            const QString run = l.texte.mid(c, fin - c);
            ++nombreRenvois;
            EXPECT_TRUE(texteTitres.contains(run)) << "renvoi sans titre: " << run.toStdString();
            EXPECT_TRUE(c == 0 || !l.texte[c - 1].isDigit()) << run.toStdString();
            if (k > sommaire && k < premierTitre)
                renvoisDuSommaire << run;
        }
    }
    EXPECT_GT(nombreRenvois, texteTitres.size());
    // The summary lists every heading, in order, and holds nothing else.
    EXPECT_EQ(renvoisDuSommaire, texteTitres);
    for (size_t k = sommaire + 1; k < premierTitre; ++k)
        EXPECT_TRUE(lignes[k].texte.trimmed().isEmpty() || texteTitres.contains(lignes[k].texte.trimmed())) << lignes[k].texte.toStdString();

    // The chapters the windows open at.
    EXPECT_TRUE(texteTitres.contains(QStringLiteral("11. Les jaquettes de CD")));
    EXPECT_TRUE(texteTitres.contains(QStringLiteral("13. Les utilitaires photo")));

    RecordProperty("chapitres", static_cast<int>(chapitres.size()));
    RecordProperty("titres", static_cast<int>(titres.size()));
    RecordProperty("caracteres", static_cast<int>(doc.characterCount()));
}

TEST(Manuel, NeNommeAucunAutreProduit)
{
    QTextDocument doc;
    rtf::lireFichier(kaltest::manuelLivre(), doc);
    const QString texte = doc.toPlainText();
    for (const char* nom : {"Windows", "Microsoft", "LeadTools", "LEAD", "Zsoft", "Outlook", "Thunderbird", "Firefox", "Chrome",
                            "Debian", "Ubuntu", "Linux", "CUPS", "msmtp", "sendmail", "xdg-open", "SANE", "TWAIN", "LibreOffice",
                            "Word", "WordPad", "Photoshop", "Adobe", "Google", "setup.exe", "Panneau de configuration"})
        EXPECT_FALSE(texte.contains(QRegularExpression(QStringLiteral("\\b") + QRegularExpression::escape(QString::fromLatin1(nom)) + QStringLiteral("\\b"))))
            << nom;
}
