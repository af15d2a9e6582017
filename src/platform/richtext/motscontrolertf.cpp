// The RTF reader's pass over the bytes: plain characters, control words with their parameter,
// control symbols, \'hh bytes, \uN characters and \bin data. Each control word either
// changes the destination of its group, the state of the group (character and paragraph
// formatting, \ucN), the font or colour table being read, or gives a character of the text.
#include "platform/richtext/lecteurrtfinterne.h"

#include <QSet>
#include <QTextBlock>

#include <algorithm>
#include <utility>

namespace kal::rtf::interne {

namespace {

// Numbers saturate at this magnitude.
constexpr int64_t NombreMax = 2147483647;

bool estLettre(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool estChiffre(char c) { return c >= '0' && c <= '9'; }
int valeurHexa(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Destinations that hold no running text, written with or without \*.
bool destinationIgnoree(const QByteArray& mot)
{
    static const char* const noms[] = {
        "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "footnote", "annotation", "fldinst", "objdata", "objclass", "objname",
        "xe", "tc", "txe", "rxe", "bkmkstart", "bkmkend", "listtable", "listoverridetable", "revtbl",
        "rsidtbl", "filetbl", "generator", "pn", "pnseclvl", "pntxta", "pntxtb", "template",
        "nonshppict", "shp", "shpinst", "shprslt", "themedata", "colorschememapping", "latentstyles",
        "datastore", "xmlnstbl", "mmathPr", "pgdsctbl", "ftnsep", "ftnsepc", "aftnsep", "aftnsepc",
        "ftncn", "aftncn", "private", "userprops", "docvar", "comment", "author", "operator", "title",
        "subject", "keywords", "doccomm", "company", "category", "manager", "hlinkbase", "buptim",
        "creatim", "revtim", "printim", "atnid", "atnauthor", "atndate", "atnref", "atnicn", "atntime",
        "atrfstart", "atrfend", "passwordhash", "wgrffmtfilter", "listpicture", "protusertbl",
        "background", "blipuid", "picprop", "do", "nonesttables", "falt", "panose", "fontemb",
        "fontfile", "formfield", "datafield", "sp", "sn", "sv", "bin", "pgptbl", "defchp", "defpap",
        "ebcstart", "ebcend", "factoidname", "oldcprops", "oldpprops", "oldsprops", "oldtprops",
        "mmath", "oleclsid", "leveltext", "levelnumbers", "htmltag", "mhtmltag", "fchars", "lchars",
    };
    static const QSet<QByteArray> ensemble = [] {
        QSet<QByteArray> e;
        for (const char* n : noms)
            e.insert(QByteArray(n));
        return e;
    }();
    return ensemble.contains(mot);
}

int64_t sature(int64_t v) { return std::clamp<int64_t>(v, -NombreMax, NombreMax); }

}  // namespace

void Lecteur::lireOctets()
{
    const int n = d_.size();
    int i = 0;
    while (i < n && (d_[i] == ' ' || d_[i] == '\t' || d_[i] == '\r' || d_[i] == '\n'))
        ++i;
    while (i < n && !fini_) {
        const char c = d_[i];
        if (c == '{') {
            finirOctets();
            finirMorceau();
            ouvrirGroupe();
            ++i;
        } else if (c == '}') {
            finirOctets();
            finirMorceau();
            fermerGroupe();
            ++i;
        } else if (c == '\\') {
            i = controle(i + 1);
        } else if (c == '\r' || c == '\n' || c == 0) {
            ++i;
        } else {
            if (saut_ > 0) {
                --saut_;
            } else if (etat().destination == Destination::TablePolices) {
                if (c == ';')
                    finirPolice();
                else if (policeEnCours_ >= 0)
                    polices_[policeEnCours_].nom += c;
            } else if (etat().destination == Destination::TableCouleurs) {
                if (c == ';')
                    finirCouleur();
            } else if (ignore() || etat().cache) {
                // dropped: pictures, hidden text, ...
            } else if (c == '\t') {
                finirOctets();
                texte(QStringLiteral("\t"));
            } else {
                octets_ += c;
            }
            ++i;
        }
    }
    finirOctets();
    finirMorceau();
    // The paragraph mark that ends the last paragraph is the document's own final mark.
    if (!paragrapheEnAttente_ && aDuTexte_) {
        QTextBlockFormat b;
        b.setAlignment(dernierAlignement_);
        curseur_.setBlockFormat(b);
    }
    if (doc_.isEmpty()) {
        // An empty text keeps the format in force, for what is typed into it.
        curseur_.setBlockCharFormat(formatCourant());
        curseur_.setCharFormat(formatCourant());
    }
}

// Reads a control word or symbol starting after its backslash; returns the next index.
int Lecteur::controle(int i)
{
    const int n = d_.size();
    if (i >= n)
        return n;
    const char c = d_[i];
    if (estLettre(c)) {
        int debut = i;
        while (i < n && estLettre(d_[i]))
            ++i;
        QByteArray mot = d_.mid(debut, std::min(i - debut, 32));
        bool aParametre = false;
        int64_t valeur = 0;
        bool negatif = false;
        if (i < n && d_[i] == '-' && i + 1 < n && estChiffre(d_[i + 1])) {
            negatif = true;
            ++i;
        }
        while (i < n && estChiffre(d_[i])) {
            aParametre = true;
            if (valeur <= NombreMax)
                valeur = valeur * 10 + (d_[i] - '0');
            ++i;
        }
        valeur = sature(negatif ? -valeur : valeur);
        if (i < n && d_[i] == ' ')
            ++i;
        if (mot == "bin") {
            // Binary data: skipped whole, whatever destination it stands in.
            finirOctets();
            const int64_t longueur = aParametre ? std::max<int64_t>(0, valeur) : 0;
            return static_cast<int>(std::min<int64_t>(n, i + longueur));
        }
        motControle(mot, aParametre, static_cast<int>(valeur));
        return i;
    }
    if (c == '\'') {
        int h1 = i + 1 < n ? valeurHexa(d_[i + 1]) : -1;
        int h2 = i + 2 < n ? valeurHexa(d_[i + 2]) : -1;
        if (h1 < 0 || h2 < 0)
            return std::min(n, i + 1);
        octet(static_cast<char>(h1 * 16 + h2));
        return i + 3;
    }
    symbole(c);
    return i + 1;
}

bool Lecteur::ignore() const
{
    const Destination d = pile_.back().destination;
    return d == Destination::Ignoree || d == Destination::UnicodeAnsi;
}

void Lecteur::octet(char c)
{
    if (saut_ > 0) {
        --saut_;
        return;
    }
    if (etat().destination == Destination::TablePolices) {
        if (policeEnCours_ >= 0)
            polices_[policeEnCours_].nom += c;
        return;
    }
    if (etat().destination != Destination::Texte || etat().cache)
        return;
    octets_ += c;
}

void Lecteur::symbole(char c)
{
    switch (c) {
    case '\\': case '{': case '}':
        // An escaped character is a character of the text like any other.
        octet(c);
        return;
    case '*':
        etoile_ = true;
        return;
    case '\r': case '\n':
        finirOctets();
        paragraphe();
        return;
    default:
        break;
    }
    finirOctets();
    if (saut_ > 0) {
        --saut_;
        return;
    }
    switch (c) {
    case '~': texte(QString(QChar(0x00A0))); break;
    case '_': texte(QString(QChar(0x2011))); break;
    case '-': break;  // optional hyphen: shown only at a line end
    default: break;   // \: \| and unknown symbols
    }
}

void Lecteur::motControle(const QByteArray& mot, bool aParametre, int valeur)
{
    if (mot != "u")
        finirOctets();
    const bool etoile = etoile_;
    etoile_ = false;
    Etat& e = etat();

    // Destinations first.
    if (mot == "ud") {
        e.destination = Destination::Texte;
        return;
    }
    if (e.destination == Destination::Ignoree)
        return;
    if (mot == "upr") {
        e.destination = Destination::UnicodeAnsi;
        return;
    }
    if (mot == "fonttbl") {
        e.destination = Destination::TablePolices;
        policeEnCours_ = -1;
        return;
    }
    if (mot == "colortbl") {
        e.destination = Destination::TableCouleurs;
        couleurEnCours_ = {};
        return;
    }
    if (destinationIgnoree(mot) || (etoile && mot != "fldrslt" && mot != "listtext" && mot != "pntext")) {
        finirMorceau();
        e.destination = Destination::Ignoree;
        return;
    }
    if (e.destination == Destination::UnicodeAnsi)
        return;

    if (mot == "uc") { e.uc = std::clamp(valeur, 0, 16); return; }
    if (mot == "u") {
        unicode(valeur);
        return;
    }

    const int v = aParametre ? valeur : 1;
    if (e.destination == Destination::TablePolices) {
        if (mot == "f") {
            finirPolice();
            policeEnCours_ = std::max(0, valeur);
            polices_[policeEnCours_];
        } else if (mot == "fcharset" && policeEnCours_ >= 0) {
            polices_[policeEnCours_].jeu = valeur;
        } else if (mot == "cpg" && policeEnCours_ >= 0) {
            polices_[policeEnCours_].page = valeur;
        }
        return;
    }
    if (e.destination == Destination::TableCouleurs) {
        const int c = std::clamp(valeur, 0, 255);
        if (mot == "red") couleurEnCours_.r = c;
        else if (mot == "green") couleurEnCours_.g = c;
        else if (mot == "blue") couleurEnCours_.b = c;
        return;
    }

    // Document settings.
    if (mot == "ansicpg") { pageDocument_ = valeur > 0 ? valeur : 1252; return; }
    if (mot == "ansi") { return; }
    if (mot == "mac") { pageDocument_ = 10000; return; }
    if (mot == "pc") { pageDocument_ = 437; return; }
    if (mot == "pca") { pageDocument_ = 850; return; }
    if (mot == "deff") { policeDefaut_ = std::max(0, valeur); return; }

    // Characters named by a control word. They count as fallback characters after \uN.
    static const std::pair<const char*, char16_t> caracteres[] = {
        {"tab", u'\t'}, {"emdash", 0x2014}, {"endash", 0x2013}, {"bullet", 0x2022},
        {"lquote", 0x2018}, {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
        {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005}, {"zwj", 0x200D},
        {"zwnj", 0x200C}, {"ltrmark", 0x200E}, {"rtlmark", 0x200F}, {"cell", u'\t'},
        {"nestcell", u'\t'},
    };
    for (const auto& [nom, car] : caracteres) {
        if (mot == nom) {
            if (saut_ > 0) {
                --saut_;
                return;
            }
            texte(QString(QChar(car)));
            return;
        }
    }
    if (mot == "par" || mot == "sect" || mot == "page" || mot == "row" || mot == "nestrow") {
        paragraphe();
        return;
    }
    if (mot == "line") {
        texte(QString(QChar(QChar::LineSeparator)));
        return;
    }

    // Character formatting.
    if (mot == "plain") {
        e.police = -1;
        e.taille2 = 24;
        e.gras = e.italique = e.souligne = e.barre = e.cache = false;
        e.couleur = 0;
        return;
    }
    if (mot == "f") { e.police = std::max(0, valeur); return; }
    if (mot == "fs") { e.taille2 = aParametre ? std::clamp(valeur, 2, 3276) : 24; return; }
    if (mot == "b") { e.gras = v != 0; return; }
    if (mot == "i") { e.italique = v != 0; return; }
    if (mot == "strike" || mot == "striked") { e.barre = v != 0; return; }
    if (mot == "ulnone") { e.souligne = false; return; }
    if (mot == "ul" || mot == "uld" || mot == "uldash" || mot == "uldashd" || mot == "uldashdd" || mot == "uldb"
        || mot == "ulhwave" || mot == "ulldash" || mot == "ulth" || mot == "ulthd" || mot == "ulthdash"
        || mot == "ulthdashd" || mot == "ulthdashdd" || mot == "ulthldash" || mot == "ululdbwave" || mot == "ulw"
        || mot == "ulwave") {
        e.souligne = v != 0;
        return;
    }
    if (mot == "cf") { e.couleur = std::max(0, valeur); return; }
    if (mot == "v") { e.cache = v != 0; return; }

    // Paragraph formatting: the alignment is kept.
    if (mot == "pard") { e.alignement = Qt::AlignLeft; return; }
    if (mot == "ql") { e.alignement = Qt::AlignLeft; return; }
    if (mot == "qc") { e.alignement = Qt::AlignHCenter; return; }
    if (mot == "qr") { e.alignement = Qt::AlignRight; return; }
    if (mot == "qj") { e.alignement = Qt::AlignJustify; return; }
    // Everything else (page set-up, spacing, indents, languages, ...) has no effect here.
}

void Lecteur::unicode(int valeur)
{
    finirOctets();
    const int uc = etat().uc;
    if (saut_ > 0)
        saut_ = 0;
    if (etat().destination == Destination::TablePolices) {
        saut_ = uc;
        return;
    }
    int64_t code = valeur;
    if (code < 0)
        code += 65536;
    saut_ = uc;
    if (etat().destination != Destination::Texte || etat().cache)
        return;
    if (code <= 0 || code > 0x10FFFF) {
        if (code != 0)
            texte(QString(QChar(QChar::ReplacementCharacter)));
        return;
    }
    if (code >= 0xD800 && code <= 0xDBFF) {
        surrogatHaut_ = static_cast<uint16_t>(code);
        return;
    }
    if (code >= 0xDC00 && code <= 0xDFFF) {
        if (surrogatHaut_ != 0) {
            const QChar paire[2] = {QChar(surrogatHaut_), QChar(static_cast<char16_t>(code))};
            surrogatHaut_ = 0;
            texte(QString(paire, 2));
        } else {
            texte(QString(QChar(QChar::ReplacementCharacter)));
        }
        return;
    }
    if (code > 0xFFFF) {
        char32_t c32 = static_cast<char32_t>(code);
        texte(QString::fromUcs4(&c32, 1));
        return;
    }
    texte(QString(QChar(static_cast<char16_t>(code))));
}

}  // namespace kal::rtf::interne
