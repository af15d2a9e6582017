// The RTF writer: a header with the font and colour tables, then one \pard ... \par per
// paragraph; character formatting is written where it changes.
#include "platform/base/fichiers.h"
#include "platform/richtext/police.h"
#include "platform/richtext/rtf.h"

#include <QTextBlock>

#include <algorithm>
#include <optional>
#include <vector>

namespace kal::rtf {

namespace {

// The byte of code page 1252 for a character, or -1 when the code page has none.
int octet1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    static const char16_t hauts[32] = {
        0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
    };
    for (int i = 0; i < 32; ++i)
        if (hauts[i] == c)
            return 0x80 + i;
    return -1;
}

struct Attributs {
    int police = 0;
    int taille2 = 24;
    bool gras = false, italique = false, souligne = false, barre = false;
    int couleur = 0;
    bool operator==(const Attributs&) const = default;
};

class Ecrivain {
public:
    explicit Ecrivain(const QTextDocument& doc) : doc_(doc) {}

    QByteArray ecrire()
    {
        // First pass: the tables.
        for (QTextBlock b = doc_.begin(); b.isValid(); b = b.next()) {
            if (b.length() <= 1) {
                indexPolice(policeDuFormat(b.charFormat(), doc_.defaultFont()).nom);
                indexCouleur(couleurDuFormat(b.charFormat()));
            }
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                indexPolice(policeDuFormat(f, doc_.defaultFont()).nom);
                indexCouleur(couleurDuFormat(f));
            }
        }
        if (polices_.isEmpty())
            indexPolice(doc_.defaultFont().family());

        QByteArray sortie = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
        for (int i = 0; i < polices_.size(); ++i) {
            sortie += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
            texte(sortie, polices_[i], true);
            sortie += ";}";
        }
        sortie += "}\n{\\colortbl ;";
        for (const QColor& c : couleurs_)
            sortie += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) + "\\blue"
                      + QByteArray::number(c.blue()) + ";";
        sortie += "}\n";

        for (QTextBlock b = doc_.begin(); b.isValid(); b = b.next()) {
            sortie += "\\pard";
            const Qt::Alignment a = b.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
            if (a & Qt::AlignHCenter)
                sortie += "\\qc";
            else if (a & Qt::AlignRight)
                sortie += "\\qr";
            else if (a & Qt::AlignJustify)
                sortie += "\\qj";
            sortie += ' ';
            bool vide = true;
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment fr = it.fragment();
                if (fr.text().isEmpty())
                    continue;
                vide = false;
                attributs(sortie, fr.charFormat());
                texte(sortie, fr.text(), false);
            }
            if (vide)
                attributs(sortie, b.charFormat());
            // The paragraph mark's own format: the separator that the next block starts after.
            if (b.next().isValid())
                attributs(sortie, b.next().charFormat());
            sortie += "\\par\n";
        }
        sortie += "}\n";
        return sortie;
    }

private:
    const QTextDocument& doc_;
    QStringList polices_;
    std::vector<QColor> couleurs_;
    std::optional<Attributs> courant_;

    int indexPolice(const QString& nom)
    {
        int i = polices_.indexOf(nom);
        if (i < 0) {
            polices_.append(nom);
            i = polices_.size() - 1;
        }
        return i;
    }

    int indexCouleur(const QColor& c)
    {
        if (!c.isValid())
            return 0;
        const QRgb v = c.rgb();
        for (size_t i = 0; i < couleurs_.size(); ++i)
            if (couleurs_[i].rgb() == v)
                return static_cast<int>(i) + 1;
        couleurs_.push_back(QColor(v));
        return static_cast<int>(couleurs_.size());
    }

    void attributs(QByteArray& s, const QTextCharFormat& f)
    {
        const Police p = policeDuFormat(f, doc_.defaultFont());
        Attributs a;
        a.police = indexPolice(p.nom);
        a.taille2 = std::clamp(static_cast<int>(p.taille * 2.0 + 0.5), 2, 3276);
        a.gras = p.gras;
        a.italique = p.italique;
        a.souligne = p.souligne;
        a.barre = p.barre;
        a.couleur = indexCouleur(couleurDuFormat(f));
        if (courant_ && *courant_ == a)
            return;
        const bool tout = !courant_;
        const Attributs avant = courant_.value_or(Attributs{});
        QByteArray mots;
        if (tout || a.police != avant.police) mots += "\\f" + QByteArray::number(a.police);
        if (tout || a.taille2 != avant.taille2) mots += "\\fs" + QByteArray::number(a.taille2);
        if (tout || a.gras != avant.gras) mots += a.gras ? "\\b" : "\\b0";
        if (tout || a.italique != avant.italique) mots += a.italique ? "\\i" : "\\i0";
        if (tout || a.souligne != avant.souligne) mots += a.souligne ? "\\ul" : "\\ulnone";
        if (tout || a.barre != avant.barre) mots += a.barre ? "\\strike" : "\\strike0";
        if (tout || a.couleur != avant.couleur) mots += "\\cf" + QByteArray::number(a.couleur);
        s += mots + ' ';
        courant_ = a;
    }

    // Text with its characters escaped; in the font table a ";" cannot be written.
    static void texte(QByteArray& s, const QString& t, bool nomPolice)
    {
        for (QChar qc : t) {
            const char16_t c = qc.unicode();
            if (c == u'\\' || c == u'{' || c == u'}') {
                s += '\\';
                s += static_cast<char>(c);
            } else if (c == u'\t') {
                s += "\\tab ";
            } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
                if (!nomPolice)
                    s += "\\line ";
            } else if (c == 0x00A0) {
                s += "\\~";
            } else if (c < 0x20 || c == 0xFDD0 || c == 0xFDD1 || c == QChar::ObjectReplacementCharacter) {
                // control characters and frame marks: nothing to write
            } else if (nomPolice && c == u';') {
                continue;
            } else if (c < 0x80) {
                s += static_cast<char>(c);
            } else if (int o = octet1252(c); o >= 0) {
                s += "\\'" + QByteArray::number(o, 16).rightJustified(2, '0');
            } else {
                s += "\\u" + QByteArray::number(static_cast<int16_t>(c)) + '?';
            }
        }
    }
};

}  // namespace

QByteArray ecrire(const QTextDocument& doc)
{
    return Ecrivain(doc).ecrire();
}

void ecrireFichier(const QString& chemin, const QTextDocument& doc)
{
    // Written aside and put in place whole: a failed write (75) leaves the old file as it was.
    fs::ecrireFichier(chemin, ecrire(doc));
}

}  // namespace kal::rtf
