// Recognising image files by content, and reading the headers that no library gives cheaply.
#include "platform/imaging/codecs/interne.h"

#include <algorithm>
#include <cstring>

namespace kal::image::interne {

namespace {

const uchar* octets(const QByteArray& a) { return reinterpret_cast<const uchar*>(a.constData()); }

bool commencePar(const QByteArray& a, const char* signature, int n)
{
    return a.size() >= n && std::memcmp(a.constData(), signature, size_t(n)) == 0;
}

bool tgaPied(const QByteArray& fin)
{
    return fin.size() >= 18 && std::memcmp(fin.constData() + fin.size() - 18, "TRUEVISION-XFILE.\0", 18) == 0;
}

// A TARGA header has no signature: it is recognised by every field holding an allowed value.
bool tgaPlausible(const QByteArray& d)
{
    if (d.size() < 18)
        return false;
    const uchar* p = octets(d);
    const int typeCarte = p[1], type = p[2], profCarte = p[7], prof = p[16], desc = p[17];
    const int largeur = lireU16le(p + 12), hauteur = lireU16le(p + 14);
    if (typeCarte > 1 || (desc & 0xC0) != 0 || largeur == 0 || hauteur == 0)
        return false;
    switch (type) {
    case 1: case 9:
        return typeCarte == 1 && (prof == 8 || prof == 16) && (profCarte == 15 || profCarte == 16 || profCarte == 24 || profCarte == 32);
    case 2: case 10:
        return prof == 15 || prof == 16 || prof == 24 || prof == 32;
    case 3: case 11:
        return prof == 8 || prof == 16;
    default:
        return false;
    }
}

}  // namespace

int detecterFormat(const QByteArray& d, const QByteArray& fin)
{
    if (commencePar(d, "\xFF\xD8\xFF", 3))
        return code::JPEG;
    if (commencePar(d, "BM", 2)) {  // a weak signature: the DIB header's size confirms it
        const quint32 entete = d.size() >= 18 ? lireU32le(octets(d) + 14) : 40;
        if (entete == 12 || entete == 40 || entete == 52 || entete == 56 || entete == 64 || entete == 108 || entete == 124)
            return code::BMP;
    }
    if (commencePar(d, "II*\0", 4) || commencePar(d, "MM\0*", 4) || commencePar(d, "II+\0", 4) || commencePar(d, "MM\0+", 4))
        return code::TIFF;
    if (commencePar(d, "\0\0\0\x0CjP  \r\n\x87\n", 12) || commencePar(d, "\xFF\x4F\xFF\x51", 4))
        return code::CMP;
    if (commencePar(d, "\xD7\xCD\xC6\x9A", 4))
        return code::WMF;
    if (commencePar(d, "\0\0\1\0", 4) && d.size() >= 6 && lireU16le(octets(d) + 4) > 0)
        return code::ICO;
    if (d.size() >= 4 && uchar(d[0]) == 0x0A && uchar(d[1]) <= 5 && uchar(d[1]) != 1 && uchar(d[2]) <= 1) {
        const int bits = uchar(d[3]);
        if (bits == 1 || bits == 2 || bits == 4 || bits == 8)
            return code::PCX;
    }
    if (tgaPied(fin) || tgaPlausible(d))
        return code::TARGA;
    return 0;
}

void verifierTaille(qint64 largeur, qint64 hauteur)
{
    if (largeur <= 0 || hauteur <= 0)
        echec(err::FichierEndommage, QStringLiteral("dimensions impossibles (%1 x %2)").arg(largeur).arg(hauteur));
    if (largeur > coteMax || hauteur > coteMax || largeur * hauteur > pixelsMax)
        echec(err::FichierTropGrand, QStringLiteral("image trop grande (%1 x %2 pixels)").arg(largeur).arg(hauteur));
}

// ---- JPEG: markers up to the first scan --------------------------------------------------------------

namespace {

// The least a Huffman-coded JPEG can hold for its blocks: every block of a sequential scan codes at
// least its DC difference and an end of block (a code of at least one bit each); every block of a
// progressive picture at least its DC difference. Arithmetic coding has no such bound.
qint64 octetsMinimauxJpeg(int marqueur, const uchar* s, int taille, qint64 largeur, qint64 hauteur)
{
    const int bitsParBloc = (marqueur == 0xC0 || marqueur == 0xC1) ? 2 : (marqueur == 0xC2 ? 1 : 0);
    const int nc = s[5];
    if (!bitsParBloc || nc < 1 || taille < 6 + 3 * nc)
        return 0;
    int hmax = 1, vmax = 1;
    for (int c = 0; c < nc; ++c) {
        const int h = s[7 + 3 * c] >> 4, v = s[7 + 3 * c] & 15;
        if (h < 1 || h > 4 || v < 1 || v > 4)
            return 0;  // the decoder refuses these itself
        hmax = std::max(hmax, h);
        vmax = std::max(vmax, v);
    }
    qint64 blocs = 0;
    for (int c = 0; c < nc; ++c) {
        const int h = s[7 + 3 * c] >> 4, v = s[7 + 3 * c] & 15;
        const qint64 l = (largeur * h + hmax - 1) / hmax, ht = (hauteur * v + vmax - 1) / vmax;
        blocs += ((l + 7) / 8) * ((ht + 7) / 8);
    }
    return blocs * bitsParBloc / 8;
}

}  // namespace

bool enteteJpeg(const QByteArray& donnees, InfoFichier& info, qint64 longueurFichier)
{
    const uchar* p = octets(donnees);
    const qsizetype n = donnees.size();
    qsizetype pos = 2;
    bool sof = false;
    while (true) {
        while (pos < n && p[pos] != 0xFF)  // stray bytes between segments are skipped, as decoders do
            ++pos;
        while (pos < n && p[pos] == 0xFF)
            ++pos;
        if (pos >= n)
            return false;
        const int marqueur = p[pos++];
        if (marqueur == 0x01 || (marqueur >= 0xD0 && marqueur <= 0xD7))
            continue;
        if (marqueur == 0xD9 || marqueur == 0xDA) {
            if (!sof)
                echec(err::FichierEndommage, QStringLiteral("JPEG sans en-tête d'image"));
            return true;
        }
        if (pos + 2 > n)
            return false;
        const int longueur = lireU16be(p + pos);
        if (longueur < 2)
            echec(err::FichierEndommage, QStringLiteral("segment JPEG de longueur %1").arg(longueur));
        if (pos + longueur > n)
            return false;
        const uchar* s = p + pos + 2;
        const int taille = longueur - 2;
        const bool estSof = (marqueur >= 0xC0 && marqueur <= 0xCF && marqueur != 0xC4 && marqueur != 0xC8 && marqueur != 0xCC);
        if (estSof && !sof) {
            if (taille < 6)
                echec(err::FichierEndommage, QStringLiteral("en-tête JPEG tronqué"));
            info.hauteur = lireU16be(s + 1);
            info.largeur = lireU16be(s + 3);
            info.bitsParPixel = s[0] * s[5];
            sof = true;
            verifierTaille(info.largeur, info.hauteur);
            if (longueurFichier >= 0 && octetsMinimauxJpeg(marqueur, s, taille, info.largeur, info.hauteur) > longueurFichier)
                echec(err::FichierEndommage, QStringLiteral("fichier JPEG trop court pour une image de %1 x %2 pixels")
                                                 .arg(info.largeur).arg(info.hauteur));
        } else if (marqueur == 0xE1 && taille >= 6 && std::memcmp(s, "Exif\0\0", 6) == 0) {
            info.vignette = !vignetteJpeg(QByteArray::fromRawData(reinterpret_cast<const char*>(s - 4), longueur + 2)).isEmpty();
        }
        pos += longueur;
    }
}

// The Exif segment is a small TIFF structure: IFD0, then IFD1 whose JPEGInterchangeFormat and
// JPEGInterchangeFormatLength give the thumbnail's place. Accepts either a whole JPEG file (the first
// Exif segment carrying a thumbnail is used) or one APP1 segment starting at its marker.
namespace {

QByteArray vignetteDansExif(const uchar* t, qsizetype n)
{
    if (n < 8)
        return {};
    const bool le = t[0] == 'I' && t[1] == 'I';
    if (!le && !(t[0] == 'M' && t[1] == 'M'))
        return {};
    auto u16 = [&](qsizetype o) { return le ? lireU16le(t + o) : lireU16be(t + o); };
    auto u32 = [&](qsizetype o) { return le ? lireU32le(t + o) : lireU32be(t + o); };
    if (u16(2) != 42)
        return {};
    qint64 ifd0 = u32(4);
    if (ifd0 < 8 || ifd0 + 2 > n)
        return {};
    const qint64 nb0 = u16(ifd0);
    const qint64 suivant = ifd0 + 2 + nb0 * 12;
    if (suivant + 4 > n)
        return {};
    const qint64 ifd1 = u32(suivant);
    if (ifd1 < 8 || ifd1 + 2 > n || ifd1 == ifd0)
        return {};
    const qint64 nb1 = u16(ifd1);
    qint64 debut = -1, longueur = -1;
    for (qint64 i = 0; i < nb1; ++i) {
        const qint64 e = ifd1 + 2 + i * 12;
        if (e + 12 > n)
            return {};
        const int etiquette = u16(e), type = u16(e + 2);
        const qint64 valeur = type == 3 ? qint64(u16(e + 8)) : qint64(u32(e + 8));
        if (etiquette == 0x0201)
            debut = valeur;
        else if (etiquette == 0x0202)
            longueur = valeur;
    }
    if (debut <= 0 || longueur < 4 || debut + longueur > n)
        return {};
    if (t[debut] != 0xFF || t[debut + 1] != 0xD8)
        return {};
    return QByteArray(reinterpret_cast<const char*>(t + debut), longueur);
}

}  // namespace

QByteArray vignetteJpeg(const QByteArray& donnees)
{
    const uchar* p = octets(donnees);
    const qsizetype n = donnees.size();
    if (n >= 4 && p[0] == 0xFF && p[1] == 0xE1) {  // one segment
        const qsizetype longueur = lireU16be(p + 2);
        if (longueur < 8 || longueur + 2 > n || std::memcmp(p + 4, "Exif\0\0", 6) != 0)
            return {};
        return vignetteDansExif(p + 10, longueur - 8);
    }
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return {};
    qsizetype pos = 2;
    while (pos + 4 <= n) {
        if (p[pos] != 0xFF) {
            ++pos;
            continue;
        }
        const int marqueur = p[pos + 1];
        if (marqueur == 0xFF) {
            ++pos;
            continue;
        }
        if (marqueur == 0xDA || marqueur == 0xD9)
            return {};
        if (marqueur == 0x01 || (marqueur >= 0xD0 && marqueur <= 0xD7)) {
            pos += 2;
            continue;
        }
        const qsizetype longueur = lireU16be(p + pos + 2);
        if (longueur < 2 || pos + 2 + longueur > n)
            return {};
        if (marqueur == 0xE1 && longueur >= 8 && std::memcmp(p + pos + 4, "Exif\0\0", 6) == 0) {
            QByteArray v = vignetteDansExif(p + pos + 10, longueur - 8);
            if (!v.isEmpty())
                return v;
        }
        pos += 2 + longueur;
    }
    return {};
}

QByteArray segmentExif(const QByteArray& jpegVignette)
{
    // "Exif\0\0", then a little-endian TIFF: IFD0 at 8 (one entry), IFD1 at 26 (three entries), the
    // thumbnail at 68.
    QByteArray s("Exif\0\0", 6);
    auto u16 = [&](quint16 v) { s.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](quint32 v) { u16(quint16(v & 0xFFFF)); u16(quint16(v >> 16)); };
    auto entree = [&](quint16 etiquette, quint16 type, quint32 valeur) {
        u16(etiquette); u16(type); u32(1);
        if (type == 3) { u16(quint16(valeur)); u16(0); } else { u32(valeur); }
    };
    s.append("II*\0", 4);
    u32(8);
    u16(1);
    entree(0x0128, 3, 2);  // resolution unit: inch
    u32(26);
    u16(3);
    entree(0x0103, 3, 6);  // compression: JPEG
    entree(0x0201, 4, 68);
    entree(0x0202, 4, quint32(jpegVignette.size()));
    u32(0);
    s.append(jpegVignette);
    return s;
}

// ---- BMP ------------------------------------------------------------------------------------------

namespace {

void parcourirRle(const QByteArray& d, qint64 debut, qint64 hauteur, int bits)
{
    const uchar* p = octets(d);
    const qint64 n = d.size();
    auto tronque = [] { echec(err::FichierEndommage, QStringLiteral("fichier BMP tronqué")); };
    qint64 pos = debut, y = 0;
    while (y < hauteur) {
        if (pos + 2 > n)
            tronque();
        const int c = p[pos], v = p[pos + 1];
        pos += 2;
        if (c > 0)
            continue;  // a run of c pixels
        if (v == 0) {  // end of a row
            ++y;
        } else if (v == 1) {  // end of the picture
            return;
        } else if (v == 2) {  // a jump right and down
            if (pos + 2 > n)
                tronque();
            y += p[pos + 1];
            pos += 2;
        } else {  // v pixels as they are, padded to a whole word
            const qint64 o = bits == 8 ? v : (v + 1) / 2;
            pos += (o + 1) & ~qint64(1);
            if (pos > n)
                tronque();
        }
    }
}

}  // namespace

void enteteBmp(const QByteArray& d, qint64 longueurFichier, InfoFichier& info)
{
    if (d.size() < 26)
        echec(err::FichierEndommage, QStringLiteral("en-tête BMP tronqué"));
    const uchar* p = octets(d);
    const quint32 debutPixels = lireU32le(p + 10);
    const quint32 tailleEntete = lireU32le(p + 14);
    qint64 largeur = 0, hauteur = 0;
    int bits = 0, compression = 0;
    if (tailleEntete == 12) {
        largeur = lireU16le(p + 18);
        hauteur = lireU16le(p + 20);
        bits = lireU16le(p + 24);
    } else if (tailleEntete >= 40 && d.size() >= 34) {
        largeur = qint32(lireU32le(p + 18));
        hauteur = qint32(lireU32le(p + 22));
        bits = lireU16le(p + 28);
        compression = int(lireU32le(p + 30));
    } else {
        echec(err::FichierEndommage, QStringLiteral("en-tête BMP inconnu"));
    }
    hauteur = hauteur < 0 ? -hauteur : hauteur;
    verifierTaille(largeur, hauteur);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        echec(err::FichierEndommage, QStringLiteral("BMP de %1 bits par pixel").arg(bits));
    // Uncompressed rows have a known length: a file shorter than its rows is truncated.
    if (compression == 0 || compression == 3) {
        const qint64 ligne = ((largeur * bits + 31) / 32) * 4;
        if (qint64(debutPixels) + ligne * hauteur > longueurFichier)
            echec(err::FichierEndommage, QStringLiteral("fichier BMP tronqué"));
    }
    // Run-length rows: the codes must go on until the end of the picture (or its end code); when
    // the file stops first it is truncated. Only a whole file can be checked.
    if (((compression == 1 && bits == 8) || (compression == 2 && bits == 4)) && d.size() == longueurFichier)
        parcourirRle(d, debutPixels, hauteur, bits);
    info.largeur = int(largeur);
    info.hauteur = int(hauteur);
    info.bitsParPixel = bits;
}

// ---- PCX ------------------------------------------------------------------------------------------

void entetePcx(const QByteArray& d, qint64 longueurFichier, InfoFichier& info)
{
    if (d.size() < 128)
        echec(err::FichierEndommage, QStringLiteral("en-tête PCX tronqué"));
    const uchar* p = octets(d);
    const int xmin = lireU16le(p + 4), ymin = lireU16le(p + 6), xmax = lireU16le(p + 8), ymax = lireU16le(p + 10);
    const int plans = p[65];
    if (xmax < xmin || ymax < ymin || plans < 1 || plans > 4)
        echec(err::FichierEndommage, QStringLiteral("en-tête PCX impossible"));
    verifierTaille(qint64(xmax) - xmin + 1, qint64(ymax) - ymin + 1);
    // Every byte of every row is coded; a run codes at most 63 bytes in two.
    const qint64 octetsLigne = plans * ((qint64(xmax - xmin + 1) * p[3] + 7) / 8);
    const qint64 minimum = 128 + ((qint64(ymax - ymin + 1) * octetsLigne + 62) / 63) * 2;
    if (minimum > longueurFichier)
        echec(err::FichierEndommage, QStringLiteral("fichier PCX trop court pour une image de %1 x %2 pixels")
                                         .arg(xmax - xmin + 1).arg(ymax - ymin + 1));
    info.largeur = xmax - xmin + 1;
    info.hauteur = ymax - ymin + 1;
    info.bitsParPixel = p[3] * plans;
}

// ---- TARGA ----------------------------------------------------------------------------------------

void enteteTga(const QByteArray& d, qint64 longueurFichier, InfoFichier& info)
{
    if (d.size() < 18)
        echec(err::FichierEndommage, QStringLiteral("en-tête TARGA tronqué"));
    const uchar* p = octets(d);
    const int type = p[2], prof = p[16];
    const int largeur = lireU16le(p + 12), hauteur = lireU16le(p + 14);
    verifierTaille(largeur, hauteur);
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)
        echec(err::FormatNonPris, QStringLiteral("TARGA de type %1").arg(type));
    if (type <= 3) {  // uncompressed: the pixels' length is known
        const qint64 carte = p[1] ? qint64(lireU16le(p + 5)) * ((p[7] + 7) / 8) : 0;
        const qint64 besoin = 18 + p[0] + carte + qint64(largeur) * hauteur * ((prof + 7) / 8);
        if (besoin > longueurFichier)
            echec(err::FichierEndommage, QStringLiteral("fichier TARGA tronqué"));
    } else {  // run-length: a packet (one byte, then one pixel) codes at most 128 pixels
        const qint64 carte = p[1] ? qint64(lireU16le(p + 5)) * ((p[7] + 7) / 8) : 0;
        const qint64 paquets = (qint64(largeur) * hauteur + 127) / 128;
        if (18 + p[0] + carte + paquets * (1 + (prof + 7) / 8) > longueurFichier)
            echec(err::FichierEndommage, QStringLiteral("fichier TARGA trop court pour une image de %1 x %2 pixels").arg(largeur).arg(hauteur));
    }
    info.largeur = largeur;
    info.hauteur = hauteur;
    info.bitsParPixel = prof;
}

// ---- placeable metafile -----------------------------------------------------------------------------
// 22-byte header: key, handle, bounding box (left, top, right, bottom), units per inch, reserved,
// checksum (XOR of the ten words before it). The picture is rendered at 96 dots per inch.

void enteteWmf(const QByteArray& d, qint64 longueurFichier, InfoFichier& info)
{
    if (d.size() < 22 + 18)
        echec(err::FichierEndommage, QStringLiteral("métafichier tronqué"));
    const uchar* p = octets(d);
    quint16 somme = 0;
    for (int i = 0; i < 10; ++i)
        somme ^= lireU16le(p + 2 * i);
    if (somme != lireU16le(p + 20))
        echec(err::FichierEndommage, QStringLiteral("somme de contrôle du métafichier fausse"));
    const qint64 gauche = qint16(lireU16le(p + 6)), haut = qint16(lireU16le(p + 8));
    const qint64 droite = qint16(lireU16le(p + 10)), bas = qint16(lireU16le(p + 12));
    const qint64 pouce = lireU16le(p + 14);
    if (pouce == 0)
        echec(err::FichierEndommage, QStringLiteral("métafichier sans unité"));
    const qint64 l = ((droite > gauche ? droite - gauche : gauche - droite) * 96 + pouce / 2) / pouce;
    const qint64 h = ((bas > haut ? bas - haut : haut - bas) * 96 + pouce / 2) / pouce;
    verifierTaille(l, h);
    const uchar* m = p + 22;  // metafile header: type 1 or 2, header size 9 words
    if ((lireU16le(m) != 1 && lireU16le(m) != 2) || lireU16le(m + 2) != 9)
        echec(err::FichierEndommage, QStringLiteral("en-tête de métafichier impossible"));
    // The records (length in 16-bit words, then the function) up to the end record: one that
    // runs past the end of the file means a truncated file. A drawing's size does not depend on
    // its length, but its records must be whole.
    qint64 pos = 22 + 18;
    while (pos + 6 <= d.size()) {
        const qint64 mots = lireU32le(p + pos);
        if (mots < 3)
            echec(err::FichierEndommage, QStringLiteral("enregistrement de métafichier impossible"));
        if (pos + 2 * mots > longueurFichier)
            echec(err::FichierEndommage, QStringLiteral("métafichier tronqué"));
        if (lireU16le(p + pos + 4) == 0)
            break;
        pos += 2 * mots;
    }
    info.largeur = int(l);
    info.hauteur = int(h);
    info.bitsParPixel = 24;
}

// ---- JPEG 2000 (CMP) ----------------------------------------------------------------------------------
// The image header box (ihdr, inside jp2h) of a JP2 file, or the SIZ segment of a bare codestream.

bool enteteJp2(const QByteArray& d, qint64 longueurFichier, InfoFichier& info)
{
    const uchar* p = octets(d);
    const qsizetype n = d.size();
    // SIZ at s (its marker), in a codestream of `flux` bytes (-1: unknown): the picture's size, and
    // the tiles against the codestream's length: every tile has at least one tile-part, a start of
    // tile (12 bytes) and a start of data (2).
    auto siz = [&](const uchar* s, qsizetype reste, qint64 flux) {
        // SIZ: FF51, Lsiz, Rsiz, Xsiz, Ysiz, XOsiz, YOsiz, XTsiz, YTsiz, XTOsiz, YTOsiz, Csiz, then Ssiz per component.
        if (reste < 42)
            return false;
        const qint64 x = lireU32be(s + 6), y = lireU32be(s + 10), x0 = lireU32be(s + 14), y0 = lireU32be(s + 18);
        const qint64 tx = lireU32be(s + 22), ty = lireU32be(s + 26), tx0 = lireU32be(s + 30), ty0 = lireU32be(s + 34);
        const int composantes = lireU16be(s + 38);
        if (x <= x0 || y <= y0 || composantes == 0 || tx == 0 || ty == 0 || tx0 > x0 || ty0 > y0)
            echec(err::FichierEndommage, QStringLiteral("en-tête JPEG 2000 impossible"));
        verifierTaille(x - x0, y - y0);
        const qint64 tuiles = ((x - tx0 + tx - 1) / tx) * ((y - ty0 + ty - 1) / ty);
        // JPEG 2000 codes a plain picture in almost nothing, so beside that strict bound stands one
        // of plausibility: a byte of codestream for every 65,536 pixels, hundreds of times more
        // than the strongest compression of a photograph needs.
        if (flux >= 0 && (tuiles * 14 > flux || (x - x0) * (y - y0) / 65536 > flux))
            echec(err::FichierEndommage, QStringLiteral("flux JPEG 2000 trop court pour une image de %1 x %2 pixels en %3 tuiles")
                                             .arg(x - x0).arg(y - y0).arg(tuiles));
        if (!info.largeur) {
            info.largeur = int(x - x0);
            info.hauteur = int(y - y0);
            info.bitsParPixel = composantes * ((s[40] & 0x7F) + 1);
        }
        return true;
    };
    if (n >= 4 && p[0] == 0xFF && p[1] == 0x4F)
        return siz(p + 2, n - 2, longueurFichier);
    // Boxes: length (4, big-endian; 1 = 8 more bytes follow; 0 = to the end), type (4). The image
    // header box (ihdr) lies in the header super-box (jp2h), the codestream in jp2c.
    qsizetype pos = 0, finBoite = n, finJp2h = -1;
    bool ihdr = false;
    while (true) {
        if (finJp2h >= 0 && pos >= finJp2h) {
            if (!ihdr)
                echec(err::FichierEndommage, QStringLiteral("JPEG 2000 sans en-tête d'image"));
            finBoite = n;
            finJp2h = -1;
        }
        if (pos + 8 > finBoite)
            break;
        qint64 longueur = lireU32be(p + pos);
        const quint32 type = lireU32be(p + pos + 4);
        qsizetype entete = 8;
        if (longueur == 1) {
            if (pos + 16 > n)
                return ihdr;
            longueur = qint64((quint64(lireU32be(p + pos + 8)) << 32) | lireU32be(p + pos + 12));
            entete = 16;
        } else if (longueur == 0) {
            longueur = (longueurFichier >= 0 ? longueurFichier : n) - pos;
        }
        if (longueur < entete)
            echec(err::FichierEndommage, QStringLiteral("boîte JPEG 2000 impossible"));
        if (type == 0x6A703263) {  // jp2c: the codestream
            const qint64 flux = longueurFichier >= 0 ? std::min<qint64>(longueur, longueurFichier - pos) - entete : -1;
            if (pos + entete + 2 <= n && siz(p + pos + entete + 2, n - pos - entete - 2, flux))
                return true;
            return ihdr;
        }
        if (longueur > n - pos)
            return ihdr;  // the box goes on past what was read
        if (type == 0x6A703268) {  // jp2h: a super-box, look inside
            finJp2h = qsizetype(pos + longueur);
            finBoite = finJp2h;
            pos += entete;
            continue;
        }
        if (type == 0x69686472) {  // ihdr: height, width, components, bits - 1
            if (pos + 8 + 11 > n)
                return false;
            const qint64 h = lireU32be(p + pos + 8), l = lireU32be(p + pos + 12);
            const int composantes = lireU16be(p + pos + 16);
            verifierTaille(l, h);
            if (composantes == 0)
                echec(err::FichierEndommage, QStringLiteral("JPEG 2000 sans composante"));
            info.largeur = int(l);
            info.hauteur = int(h);
            info.bitsParPixel = composantes * ((p[pos + 18] & 0x7F) + 1);
            ihdr = true;
        }
        pos += longueur;
    }
    if (finJp2h >= 0 && !ihdr && finJp2h <= n)
        echec(err::FichierEndommage, QStringLiteral("JPEG 2000 sans en-tête d'image"));
    return ihdr;
}

// ---- TIFF: the first directory's strips or tiles against the file -------------------------------------

namespace {

struct LecteurTiff {
    const uchar* p;
    qint64 n;
    bool le, grand;
    bool dans(qint64 o, qint64 k) const { return o >= 0 && k >= 0 && o + k <= n; }
    quint64 u16(qint64 o) const { return le ? lireU16le(p + o) : lireU16be(p + o); }
    quint64 u32(qint64 o) const { return le ? lireU32le(p + o) : lireU32be(p + o); }
    quint64 u64(qint64 o) const
    {
        return le ? (quint64(u32(o + 4)) << 32) | u32(o) : (quint64(u32(o)) << 32) | u32(o + 4);
    }
    // Values of an entry (SHORT, LONG, LONG8 or IFD8), at most `max`; false when they lie outside
    // what was read.
    bool valeurs(qint64 entree, std::vector<quint64>& v, quint64 max) const
    {
        const int type = int(u16(entree + 2));
        const quint64 nombre = grand ? u64(entree + 4) : u32(entree + 4);
        const int taille = type == 3 ? 2 : (type == 4 || type == 13) ? 4 : (type == 16 || type == 18) ? 8 : 0;
        if (!taille || nombre > max)
            return false;
        const qint64 champ = entree + (grand ? 12 : 8);
        const qint64 place = grand ? 8 : 4;
        const qint64 o = qint64(nombre) * taille <= place ? champ : qint64(grand ? u64(champ) : u32(champ));
        if (!dans(o, qint64(nombre) * taille))
            return false;
        v.resize(size_t(nombre));
        for (quint64 i = 0; i < nombre; ++i)
            v[size_t(i)] = taille == 2 ? u16(o + qint64(i) * 2) : taille == 4 ? u32(o + qint64(i) * 4) : u64(o + qint64(i) * 8);
        return true;
    }
};

// The most a compression can shrink the pixels (a safe bound: 0 when none is known).
double tauxMaximal(quint64 compression)
{
    switch (compression) {
    case 1: return 1;         // none
    case 32773: return 64;    // PackBits: 128 bytes at most in 2
    case 5: return 4096;      // LZW: a 9-bit code gives at most a table entry of about 4,000 bytes
    case 8: case 32946: return 1032;  // Deflate
    case 6: case 7: return 1024;      // JPEG: at least 2 bits a block of 64 samples
    default: return 0;
    }
}

}  // namespace

void verifierTiff(const QByteArray& d, qint64 longueurFichier)
{
    if (d.size() < 16)
        return;  // the reader reports these itself
    LecteurTiff t{octets(d), d.size(), d[0] == 'I', false};
    t.grand = t.u16(2) == 43;
    const qint64 ifd = qint64(t.grand ? t.u64(8) : t.u32(4));
    const qint64 tailleEntree = t.grand ? 20 : 12;
    if (!t.dans(ifd, t.grand ? 8 : 2))
        return;
    const qint64 nombre = qint64(t.grand ? t.u64(ifd) : t.u16(ifd));
    const qint64 premiere = ifd + (t.grand ? 8 : 2);
    if (nombre <= 0 || nombre > 4096 || !t.dans(premiere, nombre * tailleEntree))
        return;
    quint64 largeur = 0, hauteur = 0, bits = 1, compression = 1, echantillons = 1, lignesBande = 0, plans = 1;
    quint64 largeurTuile = 0, hauteurTuile = 0;
    std::vector<quint64> positions, longueurs, v;
    bool positionsLues = false, longueursLues = false;
    // A file of n bytes holds at most n / 4 pieces.
    const quint64 maxPieces = quint64(std::max<qint64>(longueurFichier, 16)) / 4;
    for (qint64 i = 0; i < nombre; ++i) {
        const qint64 e = premiere + i * tailleEntree;
        const int etiquette = int(t.u16(e));
        auto un = [&](quint64& x) {
            if (t.valeurs(e, v, 16) && !v.empty())
                x = v[0];
        };
        switch (etiquette) {
        case 256: un(largeur); break;
        case 257: un(hauteur); break;
        case 258: un(bits); break;
        case 259: un(compression); break;
        case 277: un(echantillons); break;
        case 278: un(lignesBande); break;
        case 284: un(plans); break;
        case 322: un(largeurTuile); break;
        case 323: un(hauteurTuile); break;
        case 273: case 324: positionsLues = t.valeurs(e, positions, maxPieces); break;
        case 279: case 325: longueursLues = t.valeurs(e, longueurs, maxPieces); break;
        default: break;
        }
    }
    if (!largeur || !hauteur || !bits || !echantillons || bits > 64 || echantillons > 64)
        return;
    verifierTaille(qint64(largeur), qint64(hauteur));
    if (!positionsLues || !longueursLues)
        return;
    const quint64 separes = plans == 2 ? echantillons : 1;
    const quint64 parPixel = bits * (plans == 2 ? 1 : echantillons);
    quint64 pieces, attendu;
    if (largeurTuile && hauteurTuile) {
        pieces = ((largeur + largeurTuile - 1) / largeurTuile) * ((hauteur + hauteurTuile - 1) / hauteurTuile) * separes;
        attendu = pieces * hauteurTuile * ((largeurTuile * parPixel + 7) / 8);
    } else {
        const quint64 lignes = lignesBande == 0 || lignesBande > hauteur ? hauteur : lignesBande;
        pieces = ((hauteur + lignes - 1) / lignes) * separes;
        attendu = hauteur * separes * ((largeur * parPixel + 7) / 8);
    }
    auto tronque = [&] {
        echec(err::FichierEndommage, QStringLiteral("fichier TIFF trop court pour une image de %1 x %2 pixels").arg(largeur).arg(hauteur));
    };
    if (positions.size() < pieces || longueurs.size() < pieces)
        tronque();
    quint64 total = 0;
    for (quint64 i = 0; i < pieces; ++i) {
        if (positions[size_t(i)] > quint64(longueurFichier) || longueurs[size_t(i)] > quint64(longueurFichier) - positions[size_t(i)])
            tronque();
        total += longueurs[size_t(i)];
    }
    const double taux = tauxMaximal(compression);
    if (compression >= 2 && compression <= 4) {  // fax coding of black and white: at least a bit a row
        if (total * 8 < hauteur * separes)
            tronque();
    } else if (taux > 0 && double(total) * taux < double(attendu)) {
        tronque();
    }
}

// ---- ICO: each picture of the directory against its place in the file --------------------------------

void verifierIco(const QByteArray& d, qint64 longueurFichier)
{
    const uchar* p = octets(d);
    const qint64 n = d.size();
    if (n < 6)
        return;
    const int nombre = lireU16le(p + 4);
    for (int i = 0; i < nombre && 6 + 16 * (i + 1) <= n; ++i) {
        const uchar* e = p + 6 + 16 * i;
        const qint64 taille = lireU32le(e + 8), debut = lireU32le(e + 12);
        if (debut + 40 > n || debut + 40 > longueurFichier)
            continue;  // the reader judges a directory pointing outside the file
        const qint64 place = std::min<qint64>(taille, longueurFichier - debut);
        const uchar* s = p + debut;
        auto tronque = [&](qint64 l, qint64 h) {
            echec(err::FichierEndommage, QStringLiteral("icône trop courte pour une image de %1 x %2 pixels").arg(l).arg(h));
        };
        if (std::memcmp(s, "\x89PNG\r\n\x1A\n", 8) == 0) {
            // A compressed picture: IHDR gives its size; Deflate shrinks at most 1032 times.
            if (std::memcmp(s + 12, "IHDR", 4) != 0)
                continue;
            const qint64 l = lireU32be(s + 16), h = lireU32be(s + 20);
            const int profondeur = s[24], genre = s[25];
            const int canaux = genre == 2 ? 3 : genre == 4 ? 2 : genre == 6 ? 4 : 1;
            verifierTaille(l, h);
            if (double(h) * (1 + (double(l) * canaux * profondeur + 7) / 8) > double(place) * 1032)
                tronque(l, h);
            continue;
        }
        const qint64 entete = lireU32le(s);
        if (entete < 40)
            continue;
        const qint64 l = qint32(lireU32le(s + 4)), h2 = qint32(lireU32le(s + 8));
        const int bits = lireU16le(s + 14);
        const qint64 h = (h2 < 0 ? -h2 : h2) / 2;  // the height counts the mask too
        verifierTaille(l, h);
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
            continue;
        const qint64 couleurs = bits <= 8 ? (lireU32le(s + 32) ? qint64(lireU32le(s + 32)) : qint64(1) << bits) : 0;
        if (entete + 4 * std::min<qint64>(couleurs, 256) + h * (((l * bits + 31) / 32) * 4) > place)
            tronque(l, h);
    }
}

}  // namespace kal::image::interne
