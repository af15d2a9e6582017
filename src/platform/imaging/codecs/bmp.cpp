// BMP files, read by a reader of our own as the format describes them: the OS/2 headers (12 bytes
// with 3-byte palette entries, and 16 to 64 bytes), the Windows headers of 40, 52, 56, 108 and 124
// bytes, an OS/2 array of pictures ("BA") by its first picture; palettes of 1, 2, 4 and 8 bits;
// 16 and 32 bits through colour masks of any width and place; 24 bits; run-length codes of 8 and
// 4 bits, and of 24 bits (OS/2). A channel of n bits with the value v gives the 8 bits
// round(v x 255 / (2^n - 1)). A pixel the file does not give (one a run-length code jumps over or
// leaves behind an early end of line or of picture) is fully transparent; an index beyond the
// palette the file holds is opaque black.
#include "platform/imaging/codecs/interne.h"
#include "platform/imaging/pixels.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace kal::image::interne {

namespace {

[[noreturn]] void endommage(const QString& cause) { echec(err::FichierEndommage, cause); }
[[noreturn]] void nonPris(const QString& cause) { echec(err::FormatNonPris, cause); }

enum class Codage { Palette, Masques, Bgr24, Rle8, Rle4, Rle24 };

// One channel of a pixel of 16 or 32 bits: its mask, where it starts, its width in bits.
struct Canal {
    quint32 masque = 0;
    int decalage = 0;
    int largeur = 0;
};

// What the header says, checked.
struct Bmp {
    int largeur = 0, hauteur = 0, bits = 0;
    bool deHautEnBas = false;
    Codage codage = Codage::Palette;
    qint64 debutPixels = 0;   // from the file's start
    qint64 octetsLigne = 0;   // an uncompressed row, padded to 4 bytes
    Canal canaux[4];          // red, green, blue, alpha
    bool alpha = false;       // a mask gives an alpha channel
    qint64 debutPalette = 0;
    int octetsCouleur = 4;    // 3 in an OS/2 1.x palette
    int couleurs = 0;         // entries of the palette the file holds
};

Canal canal(quint32 masque, int bits)
{
    Canal c;
    if (masque == 0)
        return c;
    if (bits < 32 && (masque >> bits) != 0)
        endommage(QStringLiteral("masque de couleur BMP 0x%1 hors d'un pixel de %2 bits").arg(masque, 0, 16).arg(bits));
    c.masque = masque;
    c.decalage = std::countr_zero(masque);
    c.largeur = std::popcount(masque);
    if (std::countr_one(masque >> c.decalage) != c.largeur)
        endommage(QStringLiteral("masque de couleur BMP 0x%1 discontinu").arg(masque, 0, 16));
    return c;
}

// The run-length codes from `debut` on must go on to the last row or to the end code: a file
// that stops first is truncated.
void parcourirRle(const uchar* p, qint64 n, qint64 debut, int hauteur, int bits)
{
    auto tronque = [] { endommage(QStringLiteral("fichier BMP tronqué")); };
    qint64 pos = debut;
    int y = 0;
    while (y < hauteur) {
        if (pos + 2 > n)
            tronque();
        const int c = p[pos], v = p[pos + 1];
        pos += 2;
        if (c > 0) {  // a run of c pixels (of one colour of 3 bytes in 24 bits)
            if (bits == 24) {
                pos += 2;
                if (pos > n)
                    tronque();
            }
        } else if (v == 0) {  // end of a row
            ++y;
        } else if (v == 1) {  // end of the picture
            return;
        } else if (v == 2) {  // a jump right and down
            if (pos + 2 > n)
                tronque();
            y += p[pos + 1];
            pos += 2;
        } else {  // v pixels as they are, padded to a whole word
            const qint64 o = bits == 8 ? v : (bits == 4 ? (v + 1) / 2 : 3 * v);
            pos += (o + 1) & ~qint64(1);
            if (pos > n)
                tronque();
        }
    }
}

// The header of `d` (the whole file, or its beginning) checked against the file's length: every
// refusal is made here, before any picture memory is taken.
Bmp analyser(const QByteArray& d, qint64 longueurFichier)
{
    const uchar* p = octets(d);
    const qint64 n = d.size();
    auto tronque = [] { endommage(QStringLiteral("en-tête BMP tronqué")); };
    // An OS/2 array holds pictures for displays of several sizes, each behind a header of 14
    // bytes and with offsets counted from the file's start: its first picture is read.
    qint64 base = 0;
    if (n >= 2 && p[0] == 'B' && p[1] == 'A') {
        base = 14;
        if (n < base + 2)
            tronque();
        if (p[base] != 'B' || p[base + 1] != 'M')
            nonPris(QStringLiteral("tableau d'images OS/2 dont la première n'est pas un BMP"));
    }
    if (n < base + 18)
        tronque();
    const qint64 debutPixels = lireU32le(p + base + 10);
    const quint32 tailleEntete = lireU32le(p + base + 14);
    const bool os2v1 = tailleEntete == 12;
    const bool windows = tailleEntete == 40 || tailleEntete == 52 || tailleEntete == 56 || tailleEntete == 108 || tailleEntete == 124;
    const bool os2v2 = !windows && tailleEntete >= 16 && tailleEntete <= 64;
    if (tailleEntete < 16 && !os2v1)
        endommage(QStringLiteral("en-tête BMP de %1 octets impossible").arg(tailleEntete));
    if (!os2v1 && !windows && !os2v2)
        nonPris(QStringLiteral("en-tête BMP de %1 octets, d'un type inconnu").arg(tailleEntete));
    const qint64 finEntete = base + 14 + tailleEntete;
    if (n < finEntete)
        tronque();
    const uchar* e = p + base + 14;
    qint64 largeur, hauteur;
    int plans, bits;
    quint32 compression = 0, couleursDites = 0;
    if (os2v1) {
        largeur = lireU16le(e + 4);
        hauteur = lireU16le(e + 6);
        plans = lireU16le(e + 8);
        bits = lireU16le(e + 10);
    } else {
        largeur = qint32(lireU32le(e + 4));
        hauteur = qint32(lireU32le(e + 8));
        plans = lireU16le(e + 12);
        bits = lireU16le(e + 14);
        if (tailleEntete >= 20)
            compression = lireU32le(e + 16);
        if (tailleEntete >= 36)
            couleursDites = lireU32le(e + 32);
    }
    Bmp b;
    b.deHautEnBas = hauteur < 0;
    hauteur = hauteur < 0 ? -hauteur : hauteur;
    verifierTaille(largeur, hauteur);
    b.largeur = int(largeur);
    b.hauteur = int(hauteur);
    b.bits = bits;
    if (plans != 1)
        endommage(QStringLiteral("BMP de %1 plans").arg(plans));

    auto profondeur = [&](std::initializer_list<int> admises, const QString& codage) {
        if (std::find(admises.begin(), admises.end(), bits) == admises.end())
            endommage(QStringLiteral("BMP %1 de %2 bits par pixel").arg(codage).arg(bits));
    };
    // Masks inside a Windows header (52 bytes: red, green, blue; 56 and more: alpha too), the
    // others right after it.
    const int dansEntete = !windows ? 0 : (tailleEntete >= 56 ? 4 : (tailleEntete >= 52 ? 3 : 0));
    int masquesApres = 0;
    switch (compression) {
    case 0:
        if (bits == 64)
            nonPris(QStringLiteral("BMP de 64 bits par pixel"));
        if (bits == 1 || bits == 2 || bits == 4 || bits == 8)
            b.codage = Codage::Palette;
        else if (bits == 24)
            b.codage = Codage::Bgr24;
        else if (bits == 16 || bits == 32)
            b.codage = Codage::Masques;
        else
            endommage(QStringLiteral("BMP de %1 bits par pixel").arg(bits));
        break;
    case 1:
        profondeur({8}, QStringLiteral("compressé en RLE8"));
        b.codage = Codage::Rle8;
        break;
    case 2:
        profondeur({4}, QStringLiteral("compressé en RLE4"));
        b.codage = Codage::Rle4;
        break;
    case 3:  // colour masks; for OS/2, the fax coding of one bit a pixel
        if (os2v2)
            nonPris(QStringLiteral("BMP compressé en Huffman 1D"));
        profondeur({16, 32}, QStringLiteral("à masques de couleurs"));
        b.codage = Codage::Masques;
        masquesApres = std::max(0, 3 - dansEntete);
        break;
    case 4:  // JPEG; for OS/2, run-length codes of 24 bits
        if (!os2v2)
            nonPris(QStringLiteral("BMP compressé en JPEG"));
        profondeur({24}, QStringLiteral("compressé en RLE24"));
        b.codage = Codage::Rle24;
        break;
    case 5:
        nonPris(QStringLiteral("BMP compressé en PNG"));
    case 6:  // colour masks with alpha
        profondeur({16, 32}, QStringLiteral("à masques de couleurs"));
        b.codage = Codage::Masques;
        masquesApres = 4 - dansEntete;
        break;
    case 11: case 12: case 13:
        nonPris(QStringLiteral("BMP en CMJN"));
    default:
        nonPris(QStringLiteral("BMP de compression inconnue (%1)").arg(compression));
    }

    if (b.codage == Codage::Masques) {
        quint32 m[4] = {bits == 16 ? 0x7C00u : 0xFF0000u, bits == 16 ? 0x03E0u : 0xFF00u, bits == 16 ? 0x001Fu : 0xFFu, 0};
        if (compression != 0) {
            // An alpha mask counts only where the header holds one or the compression says so.
            if (n < finEntete + 4 * masquesApres)
                tronque();
            m[3] = 0;
            for (int i = 0; i < dansEntete; ++i)
                m[i] = lireU32le(e + 40 + 4 * i);
            for (int i = 0; i < masquesApres; ++i)
                m[dansEntete + i] = lireU32le(p + finEntete + 4 * i);
        }
        for (int i = 0; i < 4; ++i)
            b.canaux[i] = canal(m[i], bits);
        b.alpha = m[3] != 0;
    }
    const qint64 finEntetes = finEntete + 4 * masquesApres;
    if (debutPixels < finEntetes)
        endommage(QStringLiteral("début des pixels BMP impossible (%1)").arg(debutPixels));

    // The palette: as many entries as the header says (all of its depth when it says 0), but
    // no more than the room before the pixels holds.
    if (bits <= 8) {
        b.octetsCouleur = os2v1 ? 3 : 4;
        b.debutPalette = finEntetes;
        qint64 c = couleursDites ? std::min<qint64>(couleursDites, qint64(1) << bits) : (qint64(1) << bits);
        c = std::min(c, (debutPixels - finEntetes) / b.octetsCouleur);
        b.couleurs = int(c);
    }
    b.debutPixels = debutPixels;

    switch (b.codage) {
    case Codage::Palette: case Codage::Masques: case Codage::Bgr24:
        // Uncompressed rows have a known length: a file shorter than its rows is truncated.
        b.octetsLigne = ((largeur * bits + 31) / 32) * 4;
        if (debutPixels + b.octetsLigne * hauteur > longueurFichier)
            endommage(QStringLiteral("fichier BMP tronqué"));
        break;
    default:
        if (b.deHautEnBas)
            endommage(QStringLiteral("BMP compressé rangé de haut en bas, ce que le format n'admet pas"));
        // Only a whole file can be checked.
        if (n == longueurFichier)
            parcourirRle(p, n, debutPixels, b.hauteur, b.codage == Codage::Rle8 ? 8 : (b.codage == Codage::Rle4 ? 4 : 24));
        break;
    }
    return b;
}

// The rows of a picture for the pool: chunks of about 64 K pixels at least.
int grainLignes(int largeur) { return std::max(1, (1 << 16) / std::max(1, largeur)); }

// The palette's colours, every index beyond the entries the file holds opaque black, and whether
// every entry the file holds is grey.
struct Palette {
    QRgb couleur[256];
    uchar gris[256];
    bool grise = true;
};

Palette lirePalette(const QByteArray& d, const Bmp& b)
{
    Palette pal;
    std::fill(std::begin(pal.couleur), std::end(pal.couleur), qRgb(0, 0, 0));
    std::fill(std::begin(pal.gris), std::end(pal.gris), uchar(0));
    const uchar* p = octets(d);
    for (int i = 0; i < b.couleurs; ++i) {
        const qint64 pos = b.debutPalette + qint64(i) * b.octetsCouleur;
        if (pos + 3 > d.size())
            break;
        const uchar bleu = p[pos], vert = p[pos + 1], rouge = p[pos + 2];
        pal.couleur[i] = qRgb(rouge, vert, bleu);
        pal.gris[i] = rouge;
        pal.grise = pal.grise && rouge == vert && vert == bleu;
    }
    return pal;
}

// One row of palette indexes of `bits` bits (most significant first) through a table.
template <typename T>
void deplier(const uchar* s, int largeur, int bits, const T* table, T* o)
{
    switch (bits) {
    case 8:
        for (int x = 0; x < largeur; ++x)
            o[x] = table[s[x]];
        break;
    case 4:
        for (int x = 0; x < largeur; ++x)
            o[x] = table[(s[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
        break;
    case 2:
        for (int x = 0; x < largeur; ++x)
            o[x] = table[(s[x >> 2] >> (6 - 2 * (x & 3))) & 3];
        break;
    default:
        for (int x = 0; x < largeur; ++x)
            o[x] = table[(s[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    }
}

// A channel of a pixel, from its mask, scaled to 8 bits.
class Echelle {
public:
    explicit Echelle(const Canal& c) : c_(c), echelle_(c.largeur) {}
    uchar operator()(quint32 pixel) const { return echelle_((pixel & c_.masque) >> c_.decalage); }

private:
    Canal c_;
    EchelleCanal echelle_;
};

QImage lireNonCompresse(const QByteArray& d, const Bmp& b)
{
    const uchar* p = octets(d);
    const int l = b.largeur, h = b.hauteur;
    // Row y of the picture: the file's rows go from the bottom up unless the height is negative.
    auto ligne = [&](int y) { return p + b.debutPixels + b.octetsLigne * (b.deHautEnBas ? y : h - 1 - y); };
    const int grain = grainLignes(l);

    if (b.codage == Codage::Palette) {
        const Palette pal = lirePalette(d, b);
        QImage image = nouvelleImage(l, h, pal.grise ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        uchar* sortie = image.bits();
        const qsizetype pas = image.bytesPerLine();
        enParallele(h, grain, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                if (pal.grise)
                    deplier(ligne(y), l, b.bits, pal.gris, sortie + pas * y);
                else
                    deplier(ligne(y), l, b.bits, pal.couleur, reinterpret_cast<QRgb*>(sortie + pas * y));
            }
        });
        return image;
    }

    QImage image = nouvelleImage(l, h, b.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    uchar* sortie = image.bits();
    const qsizetype pas = image.bytesPerLine();
    auto sortieLigne = [&](int y) { return reinterpret_cast<QRgb*>(sortie + pas * y); };

    if (b.codage == Codage::Bgr24) {
        enParallele(h, grain, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uchar* s = ligne(y);
                QRgb* o = sortieLigne(y);
                for (int x = 0; x < l; ++x, s += 3)
                    o[x] = 0xFF000000u | (quint32(s[2]) << 16) | (quint32(s[1]) << 8) | s[0];
            }
        });
        return image;
    }

    const Canal* c = b.canaux;
    if (b.bits == 32 && c[0].masque == 0xFF0000u && c[1].masque == 0xFF00u && c[2].masque == 0xFFu
        && (c[3].masque == 0 || c[3].masque == 0xFF000000u)) {
        // The layout of the picture itself: the bytes as they are, opaque without alpha.
        const quint32 opaque = b.alpha ? 0 : 0xFF000000u;
        enParallele(h, grain, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uchar* s = ligne(y);
                QRgb* o = sortieLigne(y);
                for (int x = 0; x < l; ++x, s += 4)
                    o[x] = lireU32le(s) | opaque;
            }
        });
        return image;
    }

    const Echelle rouge(c[0]), vert(c[1]), bleu(c[2]), alpha(c[3]);
    auto couleur = [&](quint32 v) {
        return qRgba(rouge(v), vert(v), bleu(v), b.alpha ? alpha(v) : 255);
    };
    if (b.bits == 16) {  // every value of a pixel looked up
        std::vector<QRgb> table(65536);
        for (quint32 v = 0; v < 65536; ++v)
            table[v] = couleur(v);
        enParallele(h, grain, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uchar* s = ligne(y);
                QRgb* o = sortieLigne(y);
                for (int x = 0; x < l; ++x, s += 2)
                    o[x] = table[lireU16le(s)];
            }
        });
        return image;
    }
    enParallele(h, grain, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* s = ligne(y);
            QRgb* o = sortieLigne(y);
            for (int x = 0; x < l; ++x, s += 4)
                o[x] = couleur(lireU32le(s));
        }
    });
    return image;
}

// Run-length codes into a picture whose every pixel starts fully transparent. A run past the end
// of a row loses what goes past it; codes that stop early (which the header's check refuses
// beforehand) leave the rest transparent.
QImage lireRle(const QByteArray& d, const Bmp& b)
{
    const uchar* p = octets(d);
    const qint64 n = d.size();
    const int l = b.largeur, h = b.hauteur;
    const Palette pal = b.codage == Codage::Rle24 ? Palette{} : lirePalette(d, b);
    QImage image = nouvelleImage(l, h, QImage::Format_ARGB32);
    uchar* sortie = image.bits();
    const qsizetype pas = image.bytesPerLine();
    enParallele(h, grainLignes(l), [&](int y0, int y1) { std::memset(sortie + pas * y0, 0, size_t(pas) * (y1 - y0)); });

    qint64 pos = b.debutPixels, ecrits = 0;
    int x = 0, y = 0;  // y counted from the bottom row
    while (y < h && pos + 2 <= n) {
        const int c = p[pos], v = p[pos + 1];
        pos += 2;
        QRgb* o = reinterpret_cast<QRgb*>(sortie + pas * (h - 1 - y));
        if (c > 0) {
            const int fin = std::min(l, x + c);
            if (b.codage == Codage::Rle8) {
                std::fill(o + x, o + std::max(x, fin), pal.couleur[v]);
            } else if (b.codage == Codage::Rle4) {
                const QRgb deux[2] = {pal.couleur[v >> 4], pal.couleur[v & 15]};
                for (int i = x; i < fin; ++i)
                    o[i] = deux[(i - x) & 1];
            } else {
                if (pos + 2 > n)
                    break;
                std::fill(o + x, o + std::max(x, fin), qRgb(p[pos + 1], p[pos], v));
                pos += 2;
            }
            ecrits += std::max(0, fin - x);
            x = std::max(x, fin);
        } else if (v == 0) {
            x = 0;
            ++y;
        } else if (v == 1) {
            break;
        } else if (v == 2) {
            if (pos + 2 > n)
                break;
            x = std::min(l, x + p[pos]);
            y += p[pos + 1];
            pos += 2;
        } else {
            const qint64 o8 = b.codage == Codage::Rle8 ? v : (b.codage == Codage::Rle4 ? (v + 1) / 2 : 3 * v);
            if (pos + o8 > n)
                break;
            const uchar* s = p + pos;
            const int fin = std::min(l, x + v);
            for (int i = x; i < fin; ++i) {
                const int k = i - x;
                if (b.codage == Codage::Rle8)
                    o[i] = pal.couleur[s[k]];
                else if (b.codage == Codage::Rle4)
                    o[i] = pal.couleur[(s[k >> 1] >> (k & 1 ? 0 : 4)) & 15];
                else
                    o[i] = qRgb(s[3 * k + 2], s[3 * k + 1], s[3 * k]);
            }
            ecrits += std::max(0, fin - x);
            x = std::max(x, fin);
            pos += (o8 + 1) & ~qint64(1);
        }
    }
    if (ecrits < qint64(l) * h)
        return image;  // some pixels transparent
    if (b.codage != Codage::Rle24 && pal.grise) {
        QImage gris = nouvelleImage(l, h, QImage::Format_Grayscale8);
        uchar* g = gris.bits();
        const qsizetype pasGris = gris.bytesPerLine();
        enParallele(h, grainLignes(l), [&](int y0, int y1) {
            for (int yy = y0; yy < y1; ++yy) {
                const QRgb* s = reinterpret_cast<const QRgb*>(sortie + pas * yy);
                uchar* o = g + pasGris * yy;
                for (int i = 0; i < l; ++i)
                    o[i] = uchar(qBlue(s[i]));
            }
        });
        return gris;
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

}  // namespace

void enteteBmp(const QByteArray& d, qint64 longueurFichier, InfoFichier& info)
{
    const Bmp b = analyser(d, longueurFichier);
    info.largeur = b.largeur;
    info.hauteur = b.hauteur;
    info.bitsParPixel = b.bits;
}

QImage lireBmp(const QByteArray& donnees)
{
    const Bmp b = analyser(donnees, donnees.size());
    switch (b.codage) {
    case Codage::Rle8: case Codage::Rle4: case Codage::Rle24:
        return lireRle(donnees, b);
    default:
        return lireNonCompresse(donnees, b);
    }
}

}  // namespace kal::image::interne
