// The RTF reader: one pass over the bytes with an explicit stack of group states (no
// recursion), text gathered in runs of one character format and inserted through a cursor.
// Every insertion is made inside one edit block: outside one, each insertion would lay out its
// whole paragraph again (to place the cursor), and a long paragraph of many runs would take a
// time growing with the square of its length.
#include "platform/base/erreur.h"
#include "platform/richtext/rtf.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace kal::rtf {

namespace {

// Nesting deeper than this is read as if it were flat: the formatting of the deeper groups
// stays with the group at the limit. Word processors nest a few dozen levels at most.
constexpr int ProfondeurMax = 256;
// Numbers saturate at this magnitude.
constexpr int64_t NombreMax = 2147483647;

// Code page of a font's character set (\fcharsetN). 0 means "the document's code page".
int pageDeJeu(int jeu)
{
    switch (jeu) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    case 2: return 1252;   // symbol fonts: the bytes are kept as in code page 1252
    default: return 0;
    }
}

// Decodes bytes of a Windows code page with the C library's converters.
class Decodeur {
public:
    ~Decodeur()
    {
        for (auto& [page, cd] : convertisseurs_)
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
    }

    QString decoder(const QByteArray& octets, int page)
    {
        if (octets.isEmpty())
            return {};
        bool ascii = std::all_of(octets.begin(), octets.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii)
            return QString::fromLatin1(octets);
        if (page == 65001)
            return QString::fromUtf8(octets);
        iconv_t cd = convertisseur(page);
        if (cd == reinterpret_cast<iconv_t>(-1))
            cd = convertisseur(1252);
        if (cd == reinterpret_cast<iconv_t>(-1))
            return QString::fromLatin1(octets);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        QByteArray sortie(octets.size() * 4 + 16, Qt::Uninitialized);
        char* entree = const_cast<char*>(octets.constData());
        size_t resteEntree = static_cast<size_t>(octets.size());
        QString resultat;
        while (resteEntree > 0) {
            char* out = sortie.data();
            size_t resteSortie = static_cast<size_t>(sortie.size());
            size_t r = iconv(cd, &entree, &resteEntree, &out, &resteSortie);
            resultat += QString::fromUtf8(sortie.constData(), out - sortie.constData());
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                // A byte the code page does not define, or a lead byte without its trail byte.
                resultat += QChar(QChar::ReplacementCharacter);
                ++entree;
                --resteEntree;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return resultat;
    }

private:
    std::map<int, iconv_t> convertisseurs_;

    iconv_t convertisseur(int page)
    {
        auto it = convertisseurs_.find(page);
        if (it != convertisseurs_.end())
            return it->second;
        QByteArray nom = page == 10000 ? QByteArray("MACINTOSH") : "CP" + QByteArray::number(page);
        iconv_t cd = iconv_open("UTF-8", nom.constData());
        convertisseurs_[page] = cd;
        return cd;
    }
};

enum class Destination {
    Texte,          // running text
    Ignoree,        // read and dropped
    TablePolices,
    TableCouleurs,
    UnicodeAnsi,    // the ANSI half of \upr: dropped, its \ud half is read
};

struct Etat {
    Destination destination = Destination::Texte;
    int police = -1;          // index in the font table, -1 = the default font
    int taille2 = 24;         // half-points
    bool gras = false, italique = false, souligne = false, barre = false, cache = false;
    int couleur = 0;          // index in the colour table, 0 = automatic
    int uc = 1;               // bytes of fallback after \uN
    Qt::Alignment alignement = Qt::AlignLeft;
};

struct EntreePolice {
    QByteArray nom;
    int jeu = 0;
    int page = 0;
    QString nomDecode;
};

struct EntreeCouleur {
    int r = -1, g = -1, b = -1;  // -1: not given (an automatic entry when all three are)
};

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

class Lecteur {
public:
    Lecteur(const QByteArray& octets, QTextDocument& doc) : d_(octets), doc_(doc), curseur_(&doc) {}

    void lire()
    {
        curseur_.beginEditBlock();
        lireOctets();
        curseur_.endEditBlock();
    }

private:
    void lireOctets()
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

    const QByteArray& d_;
    QTextDocument& doc_;
    QTextCursor curseur_;
    Decodeur decodeur_;

    std::vector<Etat> pile_{Etat{}};
    int debordement_ = 0;         // groups opened past the depth limit
    bool fini_ = false;
    bool ouvert_ = false;         // the outermost group has been opened
    bool etoile_ = false;         // \* seen: the next destination may be dropped

    std::map<int, EntreePolice> polices_;
    int policeEnCours_ = -1;
    int policeDefaut_ = 0;
    int pageDocument_ = 1252;
    std::vector<EntreeCouleur> couleurs_;
    EntreeCouleur couleurEnCours_;

    QByteArray octets_;           // 8-bit text waiting to be decoded
    QString morceau_;             // decoded text of the current run
    QTextCharFormat formatMorceau_;
    bool paragrapheEnAttente_ = false;
    QTextCharFormat formatMarque_;
    bool aDuTexte_ = false;
    Qt::Alignment dernierAlignement_ = Qt::AlignLeft;
    int saut_ = 0;                // fallback characters still to skip after \uN
    uint16_t surrogatHaut_ = 0;

    Etat& etat() { return pile_.back(); }

    void ouvrirGroupe()
    {
        saut_ = 0;
        if (!ouvert_) {
            ouvert_ = true;
            return;
        }
        if (static_cast<int>(pile_.size()) >= ProfondeurMax) {
            ++debordement_;
            return;
        }
        Etat e = etat();
        pile_.push_back(e);
        etoile_ = false;
    }

    void fermerGroupe()
    {
        saut_ = 0;
        if (debordement_ > 0) {
            --debordement_;
            return;
        }
        if (pile_.size() <= 1) {
            fini_ = true;  // the outermost group is closed: what follows is not part of the document
            return;
        }
        const Destination quittee = etat().destination;
        pile_.pop_back();
        if (quittee == Destination::TablePolices)
            finirPolice();
        if (quittee == Destination::TableCouleurs && etat().destination != Destination::TableCouleurs)
            finirCouleurPartielle();
    }

    static int64_t sature(int64_t v) { return std::clamp<int64_t>(v, -NombreMax, NombreMax); }

    // Reads a control word or symbol starting after its backslash; returns the next index.
    int controle(int i)
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

    bool ignore() const
    {
        const Destination d = pile_.back().destination;
        return d == Destination::Ignoree || d == Destination::UnicodeAnsi;
    }

    void octet(char c)
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

    void symbole(char c)
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

    void motControle(const QByteArray& mot, bool aParametre, int valeur)
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

    void unicode(int valeur)
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

    int pageCourante()
    {
        auto it = polices_.find(etat().police >= 0 ? etat().police : policeDefaut_);
        if (it != polices_.end()) {
            if (it->second.page > 0)
                return it->second.page;
            const int p = pageDeJeu(it->second.jeu);
            if (p > 0)
                return p;
        }
        return pageDocument_;
    }

    void finirOctets()
    {
        if (octets_.isEmpty())
            return;
        if (etat().destination == Destination::Texte && !etat().cache)
            texte(decodeur_.decoder(octets_, pageCourante()));
        octets_.clear();
    }

    void finirPolice()
    {
        if (policeEnCours_ < 0)
            return;
        EntreePolice& p = polices_[policeEnCours_];
        p.nom = p.nom.trimmed();
        const int page = p.page > 0 ? p.page : pageDeJeu(p.jeu) > 0 ? pageDeJeu(p.jeu) : pageDocument_;
        p.nomDecode = decodeur_.decoder(p.nom, page);
        policeEnCours_ = -1;
        cleFormat_.reset();
    }

    void finirCouleur()
    {
        couleurs_.push_back(couleurEnCours_);
        couleurEnCours_ = {};
        cleFormat_.reset();
    }

    void finirCouleurPartielle()
    {
        if (couleurEnCours_.r >= 0 || couleurEnCours_.g >= 0 || couleurEnCours_.b >= 0)
            finirCouleur();
    }

    QTextCharFormat formatCourant()
    {
        const Etat& e = etat();
        const auto cle = std::make_tuple(e.police, e.taille2, e.gras, e.italique, e.souligne, e.barre, e.couleur,
                                         polices_.size(), couleurs_.size());
        if (cleFormat_ && *cleFormat_ == cle)
            return formatCache_;
        cleFormat_ = cle;
        formatCache_ = construireFormat();
        return formatCache_;
    }

    std::optional<std::tuple<int, int, bool, bool, bool, bool, int, size_t, size_t>> cleFormat_;
    QTextCharFormat formatCache_;

    QTextCharFormat construireFormat()
    {
        const Etat& e = etat();
        QTextCharFormat f;
        auto it = polices_.find(e.police >= 0 ? e.police : policeDefaut_);
        if (it != polices_.end() && !it->second.nomDecode.isEmpty())
            f.setFontFamilies(QStringList{it->second.nomDecode});
        f.setFontPointSize(e.taille2 / 2.0);
        f.setFontWeight(e.gras ? QFont::Bold : QFont::Normal);
        f.setFontItalic(e.italique);
        f.setFontUnderline(e.souligne);
        f.setFontStrikeOut(e.barre);
        if (e.couleur > 0 && e.couleur < static_cast<int>(couleurs_.size())) {
            const EntreeCouleur& c = couleurs_[e.couleur];
            if (c.r >= 0 || c.g >= 0 || c.b >= 0)
                f.setForeground(QColor(std::max(0, c.r), std::max(0, c.g), std::max(0, c.b)));
        }
        return f;
    }

    QTextBlockFormat formatParagraphe()
    {
        QTextBlockFormat b;
        b.setAlignment(etat().alignement);
        return b;
    }

    // Characters that are no text: control characters other than the tab (a damaged file's raw
    // bytes, \'05, \u5), and the marks the document keeps for its own structure (frame marks,
    // the stand-in of an embedded object). Line and paragraph separators stay: they are breaks.
    static bool estControle(char16_t c)
    {
        return (c < 0x20 && c != u'\t') || c == 0xFDD0 || c == 0xFDD1 || c == QChar::ObjectReplacementCharacter;
    }

    static QString sansControles(const QString& t)
    {
        if (std::none_of(t.begin(), t.end(), [](QChar c) { return estControle(c.unicode()); }))
            return t;
        QString r;
        r.reserve(t.size());
        for (QChar c : t)
            if (!estControle(c.unicode()))
                r += c;
        return r;
    }

    // Running text in the current format.
    void texte(const QString& brut)
    {
        if (etat().destination != Destination::Texte || etat().cache || brut.isEmpty())
            return;
        const QString t = sansControles(brut);
        if (t.isEmpty())
            return;
        if (paragrapheEnAttente_) {
            finirMorceau();
            curseur_.insertBlock(formatParagraphe(), formatMarque_);
            paragrapheEnAttente_ = false;
        }
        aDuTexte_ = true;
        dernierAlignement_ = etat().alignement;
        QTextCharFormat f = formatCourant();
        if (!morceau_.isEmpty() && f != formatMorceau_)
            finirMorceau();
        if (morceau_.isEmpty())
            formatMorceau_ = f;
        morceau_ += t;
    }

    void finirMorceau()
    {
        if (morceau_.isEmpty())
            return;
        curseur_.insertText(morceau_, formatMorceau_);
        morceau_.clear();
    }

    // End of a paragraph. The break is made when more text follows, so that the mark of the
    // last paragraph stays the document's own end.
    void paragraphe()
    {
        if (etat().destination != Destination::Texte || etat().cache)
            return;
        if (paragrapheEnAttente_) {
            finirMorceau();
            curseur_.insertBlock(formatParagraphe(), formatMarque_);
        }
        finirMorceau();
        curseur_.setBlockFormat(formatParagraphe());
        if (curseur_.block().length() <= 1 && curseur_.block().position() == 0)
            curseur_.setBlockCharFormat(formatCourant());
        // The paragraph mark keeps the format in force at \par (an underlined heading has an
        // underlined mark); it is the separator that the next block starts after.
        formatMarque_ = formatCourant();
        paragrapheEnAttente_ = true;
    }
};

}  // namespace

bool estRtf(const QByteArray& octets)
{
    int i = 0;
    if (octets.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < octets.size() && (octets[i] == ' ' || octets[i] == '\t' || octets[i] == '\r' || octets[i] == '\n'))
        ++i;
    return octets.mid(i, 5) == "{\\rtf";
}

void lire(const QByteArray& octets, QTextDocument& doc)
{
    // Bytes that are not RTF are refused before the document is touched.
    if (!estRtf(octets))
        throw Erreur(err::FormatIncorrect, QStringLiteral("Ce format de fichier n'est pas autorisé"));
    const QByteArray utile = octets.mid(octets.indexOf('{'));
    // The text is built straight into the document, in one edit block and without recording
    // each insertion for undo: a load is not something to undo piece by piece.
    const bool annulation = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    try {
        Lecteur(utile, doc).lire();
    } catch (...) {
        doc.setUndoRedoEnabled(annulation);
        throw;
    }
    doc.setUndoRedoEnabled(annulation);
}

void lireFichier(const QString& chemin, QTextDocument& doc)
{
    QFileInfo info(chemin);
    if (!info.exists() || !info.isFile())
        throw Erreur(kal::err::FichierIntrouvable, chemin);
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        throw Erreur(kal::err::AccesChemin, chemin);
    const QByteArray octets = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Erreur(kal::err::AccesChemin, chemin);
    lire(octets, doc);
}

}  // namespace kal::rtf
