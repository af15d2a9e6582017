// The RTF reader's output: 8-bit text decoded in the code page of its font or of the document,
// the font and colour table entries completed, the character format of the group in force, and
// the text gathered in runs of one format and inserted through the cursor, with the paragraph
// breaks and their alignment.
#include "platform/richtext/lecteurrtfinterne.h"

#include <QTextBlock>

#include <algorithm>
#include <cerrno>

namespace kal::rtf::interne {

namespace {

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

// Characters that are no text: control characters other than the tab (a damaged file's raw
// bytes, \'05, \u5), and the marks the document keeps for its own structure (frame marks,
// the stand-in of an embedded object). Line and paragraph separators stay: they are breaks.
bool estControle(char16_t c)
{
    return (c < 0x20 && c != u'\t') || c == 0xFDD0 || c == 0xFDD1 || c == QChar::ObjectReplacementCharacter;
}

QString sansControles(const QString& t)
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

}  // namespace

Decodeur::~Decodeur()
{
    for (auto& [page, cd] : convertisseurs_)
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
}

QString Decodeur::decoder(const QByteArray& octets, int page)
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

iconv_t Decodeur::convertisseur(int page)
{
    auto it = convertisseurs_.find(page);
    if (it != convertisseurs_.end())
        return it->second;
    QByteArray nom = page == 10000 ? QByteArray("MACINTOSH") : "CP" + QByteArray::number(page);
    iconv_t cd = iconv_open("UTF-8", nom.constData());
    convertisseurs_[page] = cd;
    return cd;
}

int Lecteur::pageCourante()
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

void Lecteur::finirOctets()
{
    if (octets_.isEmpty())
        return;
    if (etat().destination == Destination::Texte && !etat().cache)
        texte(decodeur_.decoder(octets_, pageCourante()));
    octets_.clear();
}

void Lecteur::finirPolice()
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

void Lecteur::finirCouleur()
{
    couleurs_.push_back(couleurEnCours_);
    couleurEnCours_ = {};
    cleFormat_.reset();
}

void Lecteur::finirCouleurPartielle()
{
    if (couleurEnCours_.r >= 0 || couleurEnCours_.g >= 0 || couleurEnCours_.b >= 0)
        finirCouleur();
}

QTextCharFormat Lecteur::formatCourant()
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

QTextCharFormat Lecteur::construireFormat()
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

QTextBlockFormat Lecteur::formatParagraphe()
{
    QTextBlockFormat b;
    b.setAlignment(etat().alignement);
    return b;
}

// Running text in the current format.
void Lecteur::texte(const QString& brut)
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

void Lecteur::finirMorceau()
{
    if (morceau_.isEmpty())
        return;
    curseur_.insertText(morceau_, formatMorceau_);
    morceau_.clear();
}

// End of a paragraph. The break is made when more text follows, so that the mark of the
// last paragraph stays the document's own end.
void Lecteur::paragraphe()
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

}  // namespace kal::rtf::interne
