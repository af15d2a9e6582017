#pragma once
// Inside of the RTF reader: one pass over the bytes with an explicit stack of group states (no
// recursion), text gathered in runs of one character format and inserted through a cursor.
// Every insertion is made inside one edit block: outside one, each insertion would lay out its
// whole paragraph again (to place the cursor), and a long paragraph of many runs would take a
// time growing with the square of its length.
//
// lecteurrtf.cpp holds the entry points and the group stack, motscontrolertf.cpp the pass over
// the bytes and the control words, constructionrtf.cpp the decoding and the building of the document.
#include <QByteArray>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <iconv.h>

#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace kal::rtf::interne {

// Decodes bytes of a Windows code page with the C library's converters.
class Decodeur {
public:
    Decodeur() = default;
    Decodeur(const Decodeur&) = delete;
    Decodeur& operator=(const Decodeur&) = delete;
    ~Decodeur();

    QString decoder(const QByteArray& octets, int page);

private:
    std::map<int, iconv_t> convertisseurs_;

    iconv_t convertisseur(int page);
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

class Lecteur {
public:
    Lecteur(const QByteArray& octets, QTextDocument& doc) : d_(octets), doc_(doc), curseur_(&doc) {}

    void lire();

private:
    // The pass over the bytes (motscontrolertf.cpp).
    void lireOctets();
    int controle(int i);
    bool ignore() const;
    void octet(char c);
    void symbole(char c);
    void motControle(const QByteArray& mot, bool aParametre, int valeur);
    void unicode(int valeur);

    // The group stack (lecteurrtf.cpp).
    Etat& etat() { return pile_.back(); }
    void ouvrirGroupe();
    void fermerGroupe();

    // Decoding and building the document (constructionrtf.cpp).
    int pageCourante();
    void finirOctets();
    void finirPolice();
    void finirCouleur();
    void finirCouleurPartielle();
    QTextCharFormat formatCourant();
    QTextCharFormat construireFormat();
    QTextBlockFormat formatParagraphe();
    void texte(const QString& brut);
    void finirMorceau();
    void paragraphe();

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

    // The last character format built, with what it was built from.
    std::optional<std::tuple<int, int, bool, bool, bool, bool, int, size_t, size_t>> cleFormat_;
    QTextCharFormat formatCache_;
};

}  // namespace kal::rtf::interne
