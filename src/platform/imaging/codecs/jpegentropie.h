#pragma once
// Inside of the reader of large JPEG files without restart markers (jpegentropie.cpp), shared
// with its second half, the blocks turned into pixels (jpegechantillons.cpp).
#include "platform/imaging/codecs/jpeginterne.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <cstring>

namespace kal::image::interne::entropie {

// ---- the coded bits ------------------------------------------------------------------------------

// The entropy-coded data with its stuffed zero bytes taken out, and zero bytes after it: a block
// reads at most 64 codes of 31 bits, 8 bytes at a time, and none starts past the end of the data
// but the first block after a piece, noted and never read from.
constexpr size_t Marge = 1024;
struct Bits {
    QImage memoire;        // from the pixel work's reserve: warm from one picture to the next
    uint8_t* octets = nullptr;
    uint64_t nombre = 0;  // bits of data
};

// The 64 bits from bit `pos` on, the first in the highest place.
inline uint64_t lire64(const uint8_t* o, uint64_t pos)
{
    uint64_t v;
    std::memcpy(&v, o + (pos >> 3), 8);
    return __builtin_bswap64(v) << (pos & 7);
}

// ---- Huffman tables ------------------------------------------------------------------------------

constexpr int bitsRapides = 10;

struct TableHuff {
    // For each value of the next 10 bits: (length << 8) | symbol, or 0 when the code is longer.
    std::array<uint16_t, 1 << bitsRapides> rapide{};
    std::array<int32_t, 18> maxcode{};   // the largest code of each length, -1 when none
    std::array<int32_t, 17> decalage{};  // code -> index in valeurs, per length
    std::array<uint8_t, 256> valeurs{};
    // For an AC table, the same 10 bits when they hold a whole coefficient (its code and its extra
    // bits): (value << 16) | (run << 8) | bits used, the run 0xFF for the end of the block; 0 when
    // they don't.
    std::array<uint32_t, 1 << bitsRapides> coefficient{};
};

inline int etendre(uint32_t bits, int s) { return bits < (1u << (s - 1)) ? int(bits) - (1 << s) + 1 : int(bits); }

// The next symbol from bits v (taken at `pos`): its length in *longueur, 0 when no code matches.
inline int symbole(const TableHuff& h, uint64_t v, int* longueur)
{
    const unsigned e = h.rapide[size_t(v >> (64 - bitsRapides))];
    if (e) {
        *longueur = int(e >> 8);
        return int(e & 0xFF);
    }
    for (int l = bitsRapides + 1; l <= 16; ++l) {
        const int32_t code = int32_t(v >> (64 - l));
        if (code <= h.maxcode[size_t(l)]) {
            *longueur = l;
            return h.valeurs[size_t(code + h.decalage[size_t(l)]) & 0xFF];
        }
    }
    *longueur = 0;
    return 0;
}

// ---- the scan's layout -------------------------------------------------------------------------

struct Plan {
    int n = 4;                // samples per block side at the scale asked (8 / denominator)
    // At full size the pixels are the decoder's own: the blocks are read twice, first noting only
    // where each starts and its DC difference, then again into the inverse transform.
    bool exact = false;
    // Coefficients kept per block at the first reading.
    int taille() const { return exact ? 1 : n * n; }
    int mcusX = 0, mcusY = 0;
    int blocsParMcu = 0;
    int hMax = 1, vMax = 1;
    // Per block of a unit: its component (frame order), and its place in the unit.
    std::array<int, 10> comp{}, dx{}, dy{};
    std::array<int, 3> h{}, v{};
    std::array<const TableHuff*, 10> dc{}, ac{};
    std::array<TableHuff, 8> tables;  // DC 0-3, AC 4-7
    std::array<std::array<float, 64>, 3> quant{};  // natural order
    std::array<std::array<float, 16>, 3> quantColonnes{};  // the low 4 x 4, by columns
    std::array<std::array<int32_t, 64>, 3> quantEntiere{};  // natural order
    // Zig-zag index -> place in the stored N x N coefficients, -1 when not kept; a run that goes
    // past the last coefficient lands on it, as in the decoder.
    std::array<int8_t, 80> garde{};
    std::array<int8_t, 80> gardeNaturel{};  // the same at full size: the natural order
    uint64_t blocs() const { return uint64_t(mcusX) * uint64_t(mcusY) * uint64_t(blocsParMcu); }
};

// ---- reading blocks ------------------------------------------------------------------------------

// One block from bit `pos`: the DC difference in out[0], the kept coefficients in place (out is
// zeroed first). False when a code matches no table entry. The bits are taken from a 64-bit word
// read again once fewer than 32 are left in it (a code and its extra bits take 31 at most).
inline bool lireBloc(const uint8_t* o, uint64_t& pos, const TableHuff& dc, const TableHuff& ac, const int8_t* garde,
                     int16_t* out, int taille)
{
    std::memset(out, 0, size_t(taille) * sizeof(int16_t));
    uint64_t v = lire64(o, pos);
    int reste = 64 - int(pos & 7);
    int l = 0;
    const int s = symbole(dc, v, &l);
    if (!l || s > 15)
        return false;
    int diff = 0;
    if (s)
        diff = etendre(uint32_t((v << l) >> (64 - s)), s);
    out[0] = int16_t(diff);
    v <<= l + s;
    pos += uint64_t(l + s);
    reste -= l + s;
    for (int k = 1; k < 64;) {
        if (reste < 32) {
            v = lire64(o, pos);
            reste = 64 - int(pos & 7);
        }
        const uint32_t e = ac.coefficient[size_t(v >> (64 - bitsRapides))];
        if (e) {
            const int n = int(e & 0xFF), r = int(e >> 8) & 0xFF;
            v <<= n;
            pos += uint64_t(n);
            reste -= n;
            if (r == 0xFF)
                break;
            k += r;
            const int g = garde[k];
            if (g > 0)
                out[g] = int16_t(e >> 16);
            ++k;
            continue;
        }
        const int rs = symbole(ac, v, &l);
        if (!l)
            return false;
        const int r = rs >> 4, t = rs & 15;
        if (!t) {
            v <<= l;
            pos += uint64_t(l);
            reste -= l;
            if (r != 15)
                break;
            k += 16;
            continue;
        }
        k += r;
        const int valeur = etendre(uint32_t((v << l) >> (64 - t)), t);
        v <<= l + t;
        pos += uint64_t(l + t);
        reste -= l + t;
        const int g = garde[k];
        if (g > 0)
            out[g] = int16_t(valeur);
        ++k;
    }
    return true;
}

// A run of blocks of the true chain, in order: from `premier` (its index in the chain) on.
struct Troncon {
    uint64_t cle = 0;  // where its first block starts, (bit << 8) | place
    const int16_t* coefs = nullptr;
    uint64_t nombre = 0;
    uint64_t premier = 0;
    std::array<int64_t, 3> dcDebut{};  // each component's DC before the run
};

// ---- blocks to pixels (jpegechantillons.cpp) ----------------------------------------------------

struct Echantillons {
    // Per component: its samples at the scale asked, and the width and height that hold data.
    std::array<QImage, 3> plans;
    std::array<int, 3> largeurUtile{}, hauteurUtile{};
};

// Reduced: the run's blocks into their components' samples, from the coefficients kept.
void versPlans(const Plan& p, const Troncon& tr, Echantillons& sortie);
// At full size: the run read again from its first block into the decoder's own transform. False
// if the second reading does not give what the first did.
bool versPlansExacte(const Plan& p, const Bits& b, const Troncon& tr, Echantillons& sortie);
// The picture of largeur x hauteur pixels: the chroma enlarged as the decoder does and the colours
// converted as it does. Null when a chroma enlarged is narrower than the decoder's way takes.
QImage enCouleurs(const Plan& p, const Echantillons& pl, int largeur, int hauteur);

}  // namespace kal::image::interne::entropie
