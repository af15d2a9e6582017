// Recognising image files by content, and reading the headers that no library gives cheaply.
#include "platform/imaging/codecs/interne.h"

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

bool enteteJpeg(const QByteArray& donnees, InfoFichier& info)
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
    info.largeur = int(largeur);
    info.hauteur = int(hauteur);
    info.bitsParPixel = bits;
}

// ---- PCX ------------------------------------------------------------------------------------------

void entetePcx(const QByteArray& d, InfoFichier& info)
{
    if (d.size() < 128)
        echec(err::FichierEndommage, QStringLiteral("en-tête PCX tronqué"));
    const uchar* p = octets(d);
    const int xmin = lireU16le(p + 4), ymin = lireU16le(p + 6), xmax = lireU16le(p + 8), ymax = lireU16le(p + 10);
    const int plans = p[65];
    if (xmax < xmin || ymax < ymin || plans < 1 || plans > 4)
        echec(err::FichierEndommage, QStringLiteral("en-tête PCX impossible"));
    verifierTaille(qint64(xmax) - xmin + 1, qint64(ymax) - ymin + 1);
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
    }
    info.largeur = largeur;
    info.hauteur = hauteur;
    info.bitsParPixel = prof;
}

// ---- placeable metafile -----------------------------------------------------------------------------
// 22-byte header: key, handle, bounding box (left, top, right, bottom), units per inch, reserved,
// checksum (XOR of the ten words before it). The picture is rendered at 96 dots per inch.

void enteteWmf(const QByteArray& d, InfoFichier& info)
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
    info.largeur = int(l);
    info.hauteur = int(h);
    info.bitsParPixel = 24;
}

// ---- JPEG 2000 (CMP) ----------------------------------------------------------------------------------
// The image header box (ihdr, inside jp2h) of a JP2 file, or the SIZ segment of a bare codestream.

bool enteteJp2(const QByteArray& d, InfoFichier& info)
{
    const uchar* p = octets(d);
    const qsizetype n = d.size();
    auto siz = [&](const uchar* s, qsizetype reste) {
        // SIZ: FF51, Lsiz, Rsiz, Xsiz, Ysiz, XOsiz, YOsiz, tiles..., Csiz, then Ssiz per component.
        if (reste < 42)
            return false;
        const qint64 x = lireU32be(s + 6), y = lireU32be(s + 10), x0 = lireU32be(s + 14), y0 = lireU32be(s + 18);
        const int composantes = lireU16be(s + 38);
        if (x <= x0 || y <= y0 || composantes == 0)
            echec(err::FichierEndommage, QStringLiteral("en-tête JPEG 2000 impossible"));
        verifierTaille(x - x0, y - y0);
        info.largeur = int(x - x0);
        info.hauteur = int(y - y0);
        info.bitsParPixel = composantes * ((s[40] & 0x7F) + 1);
        return true;
    };
    if (n >= 4 && p[0] == 0xFF && p[1] == 0x4F)
        return siz(p + 2, n - 2);
    // Boxes: length (4, big-endian; 1 = 8 more bytes follow; 0 = to the end), type (4).
    qsizetype pos = 0;
    qsizetype finBoite = n;
    while (pos + 8 <= finBoite) {
        qint64 longueur = lireU32be(p + pos);
        const quint32 type = lireU32be(p + pos + 4);
        qsizetype entete = 8;
        if (longueur == 1) {
            if (pos + 16 > n)
                return false;
            longueur = qint64((quint64(lireU32be(p + pos + 8)) << 32) | lireU32be(p + pos + 12));
            entete = 16;
        } else if (longueur == 0) {
            longueur = finBoite - pos;
        }
        if (longueur < entete)
            echec(err::FichierEndommage, QStringLiteral("boîte JPEG 2000 impossible"));
        if (longueur > n - pos && type != 0x6A703263)
            return false;  // the box goes on past what was read
        if (type == 0x6A703268) {  // jp2h: a super-box, look inside
            finBoite = pos + longueur > n ? n : qsizetype(pos + longueur);
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
            return true;
        }
        if (type == 0x6A703263)  // jp2c: the codestream before any header box
            return siz(p + pos + entete + 2, n - pos - entete - 2);
        pos += longueur;
    }
    if (finBoite < n)
        echec(err::FichierEndommage, QStringLiteral("JPEG 2000 sans en-tête d'image"));
    return false;
}

}  // namespace kal::image::interne
