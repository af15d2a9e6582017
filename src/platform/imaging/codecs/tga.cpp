// TARGA read by hand: colour-mapped (types 1, 9), true-colour (2, 10) and grey (3, 11), plain or
// run-length, 8 to 32 bits a pixel, palettes of 15 to 32 bits, rows from the bottom or the top and
// columns from either side. No library here reads them all (grey with transparency, 16 bits: 8
// grey and 8 alpha, is one that GraphicsMagick refuses). The header was checked by enteteTga.
#include "platform/imaging/codecs/interne.h"
#include "platform/imaging/pixels.h"

#include <algorithm>
#include <vector>

namespace kal::image::interne {

namespace {

// A 5-bit channel to 8 bits, round(v x 255 / 31).
inline int cinqBits(int v) { return (v * 510 + 31) / 62; }

// A pixel of `octets` bytes (little-endian) in the form the depth gives it: 15/16 bits are
// X/A RRRRR GGGGG BBBBB, 24 BGR, 32 BGRA; grey 8 or 16 (grey, then alpha).
QRgb couleur(const uchar* p, int bits, bool gris, bool alpha)
{
    if (gris)
        return bits == 16 ? qRgba(p[0], p[0], p[0], alpha ? p[1] : 255) : qRgb(p[0], p[0], p[0]);
    switch (bits) {
    case 15: case 16: {
        const int v = lireU16le(p);
        return qRgba(cinqBits((v >> 10) & 31), cinqBits((v >> 5) & 31), cinqBits(v & 31), alpha ? ((v & 0x8000) ? 255 : 0) : 255);
    }
    case 24: return qRgb(p[2], p[1], p[0]);
    default: return qRgba(p[2], p[1], p[0], alpha ? p[3] : 255);
    }
}

}  // namespace

QImage lireTga(const QByteArray& donnees)
{
    const uchar* p = octets(donnees);
    const qint64 n = donnees.size();
    const int type = p[2], bits = p[16], desc = p[17];
    const int largeur = lireU16le(p + 12), hauteur = lireU16le(p + 14);
    const bool palette = type == 1 || type == 9, gris = type == 3 || type == 11, rle = type >= 9;
    const int bitsAlpha = desc & 0x0F;
    const int octetsPixel = (bits + 7) / 8;
    if (bits < 8 || bits > 32 || (gris && bits != 8 && bits != 16) || (palette && bits != 8 && bits != 16))
        echec(err::FormatNonPris, QStringLiteral("TARGA de type %1 à %2 bits par pixel").arg(type).arg(bits));
    // The palette: entries from `premiere`, of 15 to 32 bits.
    const int premiere = lireU16le(p + 3), entrees = p[1] ? lireU16le(p + 5) : 0, bitsCarte = p[7];
    const int octetsEntree = (bitsCarte + 7) / 8;
    qint64 pos = 18 + p[0];
    std::vector<QRgb> carte;
    bool alpha = false;
    if (p[1]) {
        if (palette && bitsCarte != 15 && bitsCarte != 16 && bitsCarte != 24 && bitsCarte != 32)
            echec(err::FormatNonPris, QStringLiteral("palette TARGA de %1 bits").arg(bitsCarte));
        const bool alphaCarte = (bitsCarte == 32 || bitsCarte == 16) && bitsAlpha > 0;
        for (int i = 0; i < entrees && pos + octetsEntree <= n; ++i, pos += octetsEntree)
            carte.push_back(couleur(p + pos, bitsCarte, false, alphaCarte));
        pos = 18 + p[0] + qint64(entrees) * octetsEntree;
        alpha = palette && alphaCarte;
    }
    if (!palette)
        alpha = bitsAlpha > 0 && (bits == 32 || bits == 16);
    // Rows from the top (bit 5) or the bottom, columns from the right (bit 4) or the left.
    const bool haut = desc & 0x20, droite = desc & 0x10;
    bool manque = false;
    QImage image = nouvelleImage(largeur, hauteur, QImage::Format_ARGB32);
    const qint64 total = qint64(largeur) * hauteur;
    auto valeur = [&](const uchar* q) -> QRgb {
        if (!palette)
            return couleur(q, bits, gris, alpha);
        const int i = (bits == 16 ? lireU16le(q) : q[0]) - premiere;
        // An index beyond the entries the file holds is opaque black, as in a BMP.
        return i < 0 || i >= int(carte.size()) ? qRgb(0, 0, 0) : carte[size_t(i)];
    };
    // The pixels in the order the file stores them, each put in its place.
    qint64 k = 0;
    int colonne = 0;
    QRgb* ligne = nullptr;
    auto poser = [&](QRgb v) {
        if (colonne == 0)
            ligne = reinterpret_cast<QRgb*>(image.scanLine(int(haut ? k / largeur : hauteur - 1 - k / largeur)));
        ligne[droite ? largeur - 1 - colonne : colonne] = v;
        ++k;
        if (++colonne == largeur)
            colonne = 0;
    };
    while (k < total) {
        if (!rle) {
            if (pos + octetsPixel > n)
                break;
            poser(valeur(p + pos));
            pos += octetsPixel;
            continue;
        }
        // A packet: a repeated pixel, or up to 128 as they are. A run may go on into the next row.
        if (pos >= n)
            break;
        const int entete = p[pos++];
        const int compte = (entete & 0x7F) + 1;
        if (entete & 0x80) {
            if (pos + octetsPixel > n)
                break;
            const QRgb v = valeur(p + pos);
            pos += octetsPixel;
            for (int j = 0; j < compte && k < total; ++j)
                poser(v);
        } else {
            for (int j = 0; j < compte && k < total && pos + octetsPixel <= n; ++j, pos += octetsPixel)
                poser(valeur(p + pos));
            if (pos + octetsPixel > n && k < total)
                break;
        }
    }
    // What the file does not give (a run-length file ending early) is fully transparent.
    manque = manque || k < total;
    while (k < total)
        poser(0);
    const bool transparence = alpha || manque;
    if (!transparence)
        image.reinterpretAsFormat(QImage::Format_RGB32);
    // An opaque picture whose pixels are all grey is given as grey.
    if (!transparence && sansCouleur(image))
        return enGris(image);
    return image;
}

}  // namespace kal::image::interne
