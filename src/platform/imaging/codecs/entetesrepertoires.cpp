// Headers of the formats built of boxes or directories: the JPEG 2000 image header, and for icons
// (read by Qt) the check that what the directory claims lies in the file. TIFF's, read by
// libtiff, is in tiff.cpp.
#include "platform/imaging/codecs/interne.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kal::image::interne {

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
