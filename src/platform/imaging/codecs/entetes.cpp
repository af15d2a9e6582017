// Recognising image files by content, and the headers of the formats that hold one header at their
// start: JPEG (markers up to the first scan), PCX, TARGA and the placeable metafile (BMP: bmp.cpp).
// JPEG 2000, TIFF and icons, built of boxes or directories, are read in entetesrepertoires.cpp.
#include "platform/imaging/codecs/interne.h"

#include <algorithm>
#include <cstring>

namespace kal::image::interne {

namespace {

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

// A JPEG's start marker followed by stray bytes before its first segment, which the decoder skips
// (with a warning) as it looks for the next marker: a marker must follow them (a zero after 0xFF
// is a stuffed byte, stray too). Whatever that marker is, the file is then a JPEG, damaged or not.
bool jpegApresOctetsParasites(const QByteArray& d)
{
    if (!commencePar(d, "\xFF\xD8", 2))
        return false;
    const uchar* p = octets(d);
    const qsizetype n = std::min<qsizetype>(d.size(), 65536);
    for (qsizetype pos = 2; pos + 1 < n; ++pos)
        if (p[pos] == 0xFF && p[pos + 1] != 0x00 && p[pos + 1] != 0xFF)
            return true;
    return false;
}

}  // namespace

int detecterFormat(const QByteArray& d, const QByteArray& fin)
{
    if (commencePar(d, "\xFF\xD8\xFF", 3) || jpegApresOctetsParasites(d))
        return code::JPEG;
    if (commencePar(d, "BM", 2)) {  // a weak signature: the DIB header's size confirms it
        const quint32 entete = d.size() >= 18 ? lireU32le(octets(d) + 14) : 40;
        if (entete >= 12 && entete <= 255)
            return code::BMP;
    }
    if (commencePar(d, "BA", 2) && d.size() >= 16 && d[14] == 'B' && d[15] == 'M')  // an OS/2 array of BMP pictures
        return code::BMP;
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

}  // namespace kal::image::interne
