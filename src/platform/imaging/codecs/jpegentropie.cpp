// A large JPEG file without restart markers, decoded on every core: whole, or as a display copy.
//
// Without restart markers the Huffman-coded data is one chain: where a block starts depends on
// every block before it, so libjpeg reads it on one core, and that read is most of the time a
// camera file takes to reach the screen. Huffman codes resynchronise, though: a reader started at
// any bit soon falls in step with the true chain of codes. So the data is cut into as many pieces
// as there are cores times four, and each piece is read from its first bit as if a block of the
// first component started there, noting where each block it reads starts (bit and place in the
// unit of blocks). Then, piece after piece, the true chain arriving from the piece before is
// matched against those notes: from the first block where the two agree, the rest of the piece
// is the true one; only the few blocks before it are read again. Then the DC differences are
// summed along the chain and the blocks turned into samples, the chroma enlarged and the colours
// converted, all on every core:
// - at full size, each run of the chain is read a second time straight into libjpeg's own integer
//   inverse transform, chroma enlargement and colour conversion: its very pixels;
// - reduced to n/8, the low n x n coefficients kept at the first reading give each block at that
//   size (near, not equal, to libjpeg's reduced transforms).
//
// Only the plain case is taken: one interleaved baseline scan of the three YCbCr components,
// 8-bit, the luma at full sampling and the chroma at full or half, no restart interval. For
// anything else, and at the least irregularity in the data (a code no table has, data ending
// early, a marker inside), a null picture is returned and the caller decodes with libjpeg, which
// reports the damage as it does.
#include "platform/imaging/codecs/jpeginterne.h"

#include "platform/base/erreur.h"
#include "platform/imaging/pixels.h"
#include "platform/imaging/pixelsinternes.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kal::image::interne {

namespace {

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

// Bytes from the pixel work's reserve, as the rows of a picture of one byte a pixel.
QImage memoireBrute(size_t octets)
{
    return nouvelleImage(4096, int(std::max<size_t>(1, (octets + 4095) / 4096)), QImage::Format_Grayscale8);
}

// From `debut` to the marker that ends the scan. False when the data is not plain: a restart
// marker, no marker before the file's end, or a marker other than the end of the picture.
bool extraire(const uint8_t* debut, const uint8_t* fin, Bits& b)
{
    b.memoire = memoireBrute(size_t(fin - debut) + Marge);
    b.octets = b.memoire.bits();
    uint8_t* d = b.octets;
    const uint8_t* s = debut;
    for (;;) {
        const auto* ff = static_cast<const uint8_t*>(std::memchr(s, 0xFF, size_t(fin - s)));
        if (!ff)
            return false;
        std::memcpy(d, s, size_t(ff - s));
        d += ff - s;
        s = ff + 1;
        while (s < fin && *s == 0xFF)  // fill bytes before a marker
            ++s;
        if (s == fin)
            return false;
        if (*s == 0x00) {
            *d++ = 0xFF;
            ++s;
            continue;
        }
        if (*s != 0xD9)  // a restart marker, or anything but the end of the picture
            return false;
        break;
    }
    b.nombre = uint64_t(d - b.octets) * 8;
    std::memset(d, 0, Marge);
    return true;
}

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

void construireCoefficients(TableHuff& h)
{
    for (int i = 0; i < (1 << bitsRapides); ++i) {
        const unsigned e = h.rapide[size_t(i)];
        if (!e)
            continue;
        const int l = int(e >> 8), r = int(e & 0xFF) >> 4, t = int(e & 15);
        uint32_t entree = 0;
        if (!t)
            entree = uint32_t(l) | (r == 15 ? 15u << 8 : 0xFFu << 8);
        else if (l + t <= bitsRapides) {
            const int valeur = etendre(uint32_t(i >> (bitsRapides - l - t)) & ((1u << t) - 1), t);
            entree = uint32_t(l + t) | uint32_t(r) << 8 | uint32_t(uint16_t(int16_t(valeur))) << 16;
        }
        h.coefficient[size_t(i)] = entree;
    }
}

// False for a table the decoder would refuse (it then says so).
bool construire(const JHUFF_TBL* t, TableHuff& h, bool dc)
{
    if (!t)
        return false;
    int total = 0;
    for (int l = 1; l <= 16; ++l)
        total += t->bits[l];
    if (total > 256 || total == 0)
        return false;
    std::copy(t->huffval, t->huffval + 256, h.valeurs.begin());
    if (dc && std::any_of(t->huffval, t->huffval + total, [](UINT8 v) { return v > 15; }))
        return false;
    int code = 0, k = 0;
    for (int l = 1; l <= 16; ++l) {
        const int n = t->bits[l];
        h.maxcode[size_t(l)] = n ? code + n - 1 : -1;
        h.decalage[size_t(l)] = k - code;
        for (int i = 0; i < n; ++i, ++code, ++k) {
            if (l <= bitsRapides) {
                const int premier = code << (bitsRapides - l), nb = 1 << (bitsRapides - l);
                for (int j = 0; j < nb; ++j)
                    h.rapide[size_t(premier + j)] = uint16_t((l << 8) | t->huffval[k]);
            }
        }
        if (n && code >= (1 << l))  // more codes than the length holds, or a code of all ones
            return false;
        code <<= 1;
    }
    h.maxcode[17] = INT32_MAX;
    return true;
}

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
    int taille = 16;          // coefficients kept per block at the first reading
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

// jpeg_natural_order, as every JPEG reader has it: zig-zag index -> row-major index.
constexpr std::array<uint8_t, 64> naturel = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

bool preparerPlan(const jpeg_decompress_struct& c, Plan& p)
{
    if (c.progressive_mode || c.arith_code || c.data_precision != 8 || c.restart_interval != 0 || c.num_components != 3
        || c.comps_in_scan != 3 || c.jpeg_color_space != JCS_YCbCr || c.Ss != 0 || c.Se != 63 || c.Ah != 0 || c.Al != 0
        || c.scale_num != 1 || (c.scale_denom != 1 && c.scale_denom != 2 && c.scale_denom != 4 && c.scale_denom != 8))
        return false;
    p.n = 8 / int(c.scale_denom);
    p.exact = p.n == 8;
    p.taille = p.exact ? 1 : p.n * p.n;
    p.hMax = c.max_h_samp_factor;
    p.vMax = c.max_v_samp_factor;
    // The luma at full sampling (as every camera writes it), the chroma at full or half.
    if (p.hMax < 1 || p.hMax > 2 || p.vMax < 1 || p.vMax > 2 || c.comp_info[0].h_samp_factor != p.hMax
        || c.comp_info[0].v_samp_factor != p.vMax)
        return false;
    for (int i = 0; i < 3; ++i) {
        const jpeg_component_info& ci = c.comp_info[i];
        if (ci.h_samp_factor < 1 || ci.v_samp_factor < 1 || ci.h_samp_factor > 2 || ci.v_samp_factor > 2)
            return false;
        p.h[size_t(i)] = ci.h_samp_factor;
        p.v[size_t(i)] = ci.v_samp_factor;
        const JQUANT_TBL* q = ci.quant_tbl_no >= 0 && ci.quant_tbl_no < NUM_QUANT_TBLS ? c.quant_tbl_ptrs[ci.quant_tbl_no] : nullptr;
        if (!q)
            return false;
        for (int k = 0; k < 64; ++k) {
            p.quant[size_t(i)][size_t(k)] = float(q->quantval[k]);
            p.quantEntiere[size_t(i)][size_t(k)] = int32_t(q->quantval[k]);
        }
        for (int u = 0; u < 4; ++u)
            for (int v = 0; v < 4; ++v)
                p.quantColonnes[size_t(i)][size_t(u * 4 + v)] = float(q->quantval[v * 8 + u]);
    }
    p.mcusX = int((c.image_width + unsigned(8 * p.hMax) - 1) / unsigned(8 * p.hMax));
    p.mcusY = int((c.image_height + unsigned(8 * p.vMax) - 1) / unsigned(8 * p.vMax));
    std::array<bool, 8> construite{};
    int b = 0;
    for (int s = 0; s < 3; ++s) {
        const jpeg_component_info* ci = c.cur_comp_info[s];
        const int i = int(ci - c.comp_info);
        if (i < 0 || i > 2 || ci->dc_tbl_no < 0 || ci->dc_tbl_no > 3 || ci->ac_tbl_no < 0 || ci->ac_tbl_no > 3)
            return false;
        const size_t td = size_t(ci->dc_tbl_no), ta = size_t(4 + ci->ac_tbl_no);
        if (!construite[td] && !(construite[td] = construire(c.dc_huff_tbl_ptrs[td], p.tables[td], true)))
            return false;
        if (!construite[ta]) {
            if (!(construite[ta] = construire(c.ac_huff_tbl_ptrs[ta - 4], p.tables[ta], false)))
                return false;
            construireCoefficients(p.tables[ta]);
        }
        for (int y = 0; y < ci->v_samp_factor; ++y)
            for (int x = 0; x < ci->h_samp_factor; ++x, ++b) {
                if (b >= 10)
                    return false;
                p.comp[size_t(b)] = i;
                p.dx[size_t(b)] = x;
                p.dy[size_t(b)] = y;
                p.dc[size_t(b)] = &p.tables[td];
                p.ac[size_t(b)] = &p.tables[ta];
            }
    }
    p.blocsParMcu = b;
    for (int k = 0; k < 80; ++k) {
        const int nat = naturel[size_t(std::min(k, 63))];
        const int ligne = nat / 8, col = nat % 8;
        p.garde[size_t(k)] = int8_t(!p.exact && ligne < p.n && col < p.n ? col * p.n + ligne : -1);  // by columns
        p.gardeNaturel[size_t(k)] = int8_t(nat);
    }
    return true;
}

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

// The blocks one piece read: where each started, (bit << 8) | place in the unit, and their
// coefficients, n x n each.
struct Releve {
    uint64_t* cles = nullptr;
    int16_t* coefs = nullptr;  // not zeroed: each block clears its own
    size_t nombre = 0, capacite = 0;
    uint64_t sortie = 0;  // where the first block past the piece starts, (bit << 8) | place
    std::unique_ptr<uint64_t[]> clesPropres;  // once the room given is full
    std::unique_ptr<int16_t[]> coefsPropres;

    void placer(uint64_t* c, int16_t* k, size_t blocs)
    {
        cles = c;
        coefs = k;
        capacite = blocs;
    }
    int16_t* ajouter(uint64_t cle, int taille)
    {
        if (nombre == capacite) {
            const size_t c = std::max<size_t>(2 * capacite, 1024);
            auto nc = std::make_unique_for_overwrite<uint64_t[]>(c);
            auto nk = std::make_unique_for_overwrite<int16_t[]>(c * size_t(taille));
            std::copy(cles, cles + nombre, nc.get());
            std::copy(coefs, coefs + nombre * size_t(taille), nk.get());
            clesPropres = std::move(nc);
            coefsPropres = std::move(nk);
            placer(clesPropres.get(), coefsPropres.get(), c);
        }
        cles[nombre] = cle;
        return coefs + nombre++ * size_t(taille);
    }
    void vider() { nombre = 0; }
    const uint64_t* debut() const { return cles; }
    const uint64_t* fin() const { return cles + nombre; }
};

// The speculative read of one piece, [debut, fin) in bits, from a block of place 0.
void lirePiece(const Bits& b, const Plan& p, uint64_t debut, uint64_t fin, Releve& r)
{
    const int taille = p.taille;
    uint64_t pos = debut;
    int k = 0;
    const uint64_t limite = std::min(fin, b.nombre);
    while (pos < limite) {
        int16_t* out = r.ajouter((pos << 8) | uint64_t(k), taille);
        if (!lireBloc(b.octets, pos, *p.dc[size_t(k)], *p.ac[size_t(k)], p.garde.data(), out, taille)) {
            // Not in step yet (or damaged data): what was read so far cannot be part of the true
            // chain past this point; start again one bit further on.
            r.vider();
            ++pos;
            k = 0;
            continue;
        }
        k = k + 1 == p.blocsParMcu ? 0 : k + 1;
    }
    r.sortie = (pos << 8) | uint64_t(k);
}

// A run of blocks of the true chain, in order: from `premier` (its index in the chain) on.
struct Troncon {
    uint64_t cle = 0;  // where its first block starts, (bit << 8) | place
    const int16_t* coefs = nullptr;
    uint64_t nombre = 0;
    uint64_t premier = 0;
    std::array<int64_t, 3> dcDebut{};  // each component's DC before the run
};

// ---- blocks to pixels ----------------------------------------------------------------------------

struct Echantillons {
    // Per component: its samples at the scale asked, and the width and height that hold data.
    std::array<QImage, 3> plans;
    std::array<int, 3> largeurUtile{}, hauteurUtile{};
};

// T[x][u] = a(u) cos((2x + 1) u pi / 2n) / sqrt(8), a(0) = 1, a(u) = sqrt(2): the inverse DCT of
// the low n x n coefficients gives the block at n/8 of its size (at n = 8, the plain inverse DCT).
std::array<float, 64> matriceIdct(int n)
{
    std::array<float, 64> t{};
    for (int x = 0; x < n; ++x)
        for (int u = 0; u < n; ++u)
            t[size_t(x * n + u)] = float((u ? std::sqrt(2.0) : 1.0) * std::cos((2 * x + 1) * u * std::numbers::pi / (2.0 * n)) / std::sqrt(8.0));
    return t;
}

template <int N>
void idct(const int16_t* c, const float* q, int dc, const float* t, uint8_t* d, qsizetype pas)
{
    float f[N * N], tmp[N * N];
    for (int v = 0; v < N; ++v)
        for (int u = 0; u < N; ++u)
            f[v * N + u] = float(v || u ? c[u * N + v] : dc) * q[v * 8 + u];
    // Across: tmp[v][x] = sum over u of T[x][u] f[v][u].
    for (int v = 0; v < N; ++v)
        for (int x = 0; x < N; ++x) {
            float s = 0;
            for (int u = 0; u < N; ++u)
                s += t[x * N + u] * f[v * N + u];
            tmp[v * N + x] = s;
        }
    // Down: out[y][x] = sum over v of T[y][v] tmp[v][x].
    for (int y = 0; y < N; ++y) {
        uint8_t* ligne = d + pas * y;
        for (int x = 0; x < N; ++x) {
            float s = 128.5f;
            for (int v = 0; v < N; ++v)
                s += t[y * N + v] * tmp[v * N + x];
            ligne[x] = uint8_t(std::clamp(s, 0.0f, 255.0f));  // the floor, clamped
        }
    }
}

#if defined(__SSE2__)
// The same at n = 4, in registers: the coefficients are stored by columns (u), so each load
// gives a column over v; the products by T are summed as vectors, one transposition between the
// two passes. The truncation and the saturating packs give the floor clamped to 0..255.
// tb: T[x][u] repeated in 4 lanes, 16 vectors; qt: the quantisation steps by columns.
void idct4(const int16_t* c, const float* qt, int dc, const __m128* tb, uint8_t* d, qsizetype pas)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 8));
    __m128 f0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(a, a), 16));
    __m128 f1 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(a, a), 16));
    __m128 f2 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(b, b), 16));
    __m128 f3 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(b, b), 16));
    f0 = _mm_mul_ps(_mm_move_ss(f0, _mm_set_ss(float(dc))), _mm_loadu_ps(qt));
    f1 = _mm_mul_ps(f1, _mm_loadu_ps(qt + 4));
    f2 = _mm_mul_ps(f2, _mm_loadu_ps(qt + 8));
    f3 = _mm_mul_ps(f3, _mm_loadu_ps(qt + 12));
    // Across: g[x] (over v) = sum over u of T[x][u] f[u].
    __m128 g[4];
    for (int x = 0; x < 4; ++x)
        g[x] = _mm_add_ps(_mm_add_ps(_mm_mul_ps(tb[4 * x], f0), _mm_mul_ps(tb[4 * x + 1], f1)),
                          _mm_add_ps(_mm_mul_ps(tb[4 * x + 2], f2), _mm_mul_ps(tb[4 * x + 3], f3)));
    _MM_TRANSPOSE4_PS(g[0], g[1], g[2], g[3]);  // now g[v], over x
    const __m128 milieu = _mm_set1_ps(128.5f);
    for (int y = 0; y < 4; ++y) {
        const __m128 s = _mm_add_ps(
            _mm_add_ps(milieu, _mm_add_ps(_mm_mul_ps(tb[4 * y], g[0]), _mm_mul_ps(tb[4 * y + 1], g[1]))),
            _mm_add_ps(_mm_mul_ps(tb[4 * y + 2], g[2]), _mm_mul_ps(tb[4 * y + 3], g[3])));
        const __m128i e = _mm_cvttps_epi32(s);
        const int mot = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(e, e), e));
        std::memcpy(d + pas * y, &mot, 4);
    }
}
#endif

// Where the blocks of a run go, one after the other: each component's samples, and the block's
// unit and place in it.
struct Parcours {
    std::array<uint8_t*, 3> base{};
    std::array<qsizetype, 3> pas{};
    int k = 0, mx = 0, my = 0;

    Parcours(const Plan& p, const Troncon& tr, Echantillons& sortie)
    {
        for (size_t i = 0; i < 3; ++i) {
            base[i] = sortie.plans[i].bits();
            pas[i] = sortie.plans[i].bytesPerLine();
        }
        const uint64_t mcu = tr.premier / uint64_t(p.blocsParMcu);
        k = int(tr.premier % uint64_t(p.blocsParMcu));
        mx = int(mcu % uint64_t(p.mcusX));
        my = int(mcu / uint64_t(p.mcusX));
    }
    size_t composante(const Plan& p) const { return size_t(p.comp[size_t(k)]); }
    // The block's first sample in its component's plane, n x n samples a block.
    uint8_t* destination(const Plan& p, int n) const
    {
        const size_t ci = composante(p);
        const int bx = mx * p.h[ci] + p.dx[size_t(k)], by = my * p.v[ci] + p.dy[size_t(k)];
        return base[ci] + pas[ci] * qsizetype(by * n) + bx * n;
    }
    void suivant(const Plan& p)
    {
        if (++k == p.blocsParMcu) {
            k = 0;
            if (++mx == p.mcusX) {
                mx = 0;
                ++my;
            }
        }
    }
};

void versPlans(const Plan& p, const Troncon& tr, const std::array<float, 64>& t, Echantillons& sortie)
{
    const int n = p.n, taille = n * n;
    std::array<int64_t, 3> dc = tr.dcDebut;
#if defined(__SSE2__)
    __m128 tb[16];
    for (size_t i = 0; i < 16; ++i)
        tb[i] = _mm_set1_ps(t[i]);
#endif
    Parcours parcours(p, tr, sortie);
    for (uint64_t i = 0; i < tr.nombre; ++i, parcours.suivant(p)) {
        const int16_t* c = tr.coefs + i * uint64_t(taille);
        const size_t ci = parcours.composante(p);
        dc[ci] += c[0];
        uint8_t* d = parcours.destination(p, n);
        const qsizetype pas = parcours.pas[ci];
        const int dcBloc = int16_t(uint16_t(dc[ci]));  // as the decoder stores it: 16 bits
        const float* q = p.quant[ci].data();
#if defined(__SSE2__)
        if (n == 4) {
            idct4(c, p.quantColonnes[ci].data(), dcBloc, tb, d, pas);
            continue;
        }
#endif
        switch (n) {
        case 1: idct<1>(c, q, dcBloc, t.data(), d, pas); break;
        case 2: idct<2>(c, q, dcBloc, t.data(), d, pas); break;
        case 4: idct<4>(c, q, dcBloc, t.data(), d, pas); break;
        default: idct<8>(c, q, dcBloc, t.data(), d, pas); break;
        }
    }
}

// A chroma component's samples for output row y, enlarged to the luma's width with the weights
// of a triangle (3/4 of the nearer sample, 1/4 of the next, in each direction it is enlarged),
// scaled by 16. `out` holds at least twice the component's width.
KAL_VECTORIEL void ligneChroma(const Echantillons& pl, size_t ci, int rx, int ry, int y, int32_t* out, int32_t* colonne)
{
    const QImage& plan = pl.plans[ci];
    const int lu = pl.largeurUtile[ci], hu = pl.hauteurUtile[ci];
    if (ry == 2) {
        const int r0 = std::min(y / 2, hu - 1);
        const int r1 = std::clamp((y & 1) ? r0 + 1 : r0 - 1, 0, hu - 1);
        const uint8_t *a = plan.constScanLine(r0), *b = plan.constScanLine(r1);
        for (int x = 0; x < lu; ++x)
            colonne[x] = 3 * a[x] + b[x];
    } else {
        const uint8_t* a = plan.constScanLine(std::min(y, hu - 1));
        for (int x = 0; x < lu; ++x)
            colonne[x] = 4 * a[x];
    }
    if (rx == 2) {
        out[0] = 4 * colonne[0];
        for (int i = 0; i + 1 < lu; ++i) {
            out[2 * i + 1] = 3 * colonne[i] + colonne[i + 1];
            out[2 * i + 2] = 3 * colonne[i + 1] + colonne[i];
        }
        out[2 * lu - 1] = 4 * colonne[lu - 1];
    } else {
        for (int x = 0; x < lu; ++x)
            out[x] = 4 * colonne[x];
    }
}

KAL_VECTORIEL void convertir(const uint8_t* y, const int32_t* cb, const int32_t* cr, uint32_t* d, int largeur)
{
    // YCbCr to RGB as JFIF gives it, the chroma scaled by 16, in 16.16 fixed point.
    for (int x = 0; x < largeur; ++x) {
        const int yy = y[x];
        const int b = cb[x] - 16 * 128, r = cr[x] - 16 * 128;
        const int R = yy + ((91881 * r + (1 << 19)) >> 20);
        const int G = yy + ((-22554 * b - 46802 * r + (1 << 19)) >> 20);
        const int B = yy + ((116130 * b + (1 << 19)) >> 20);
        d[x] = 0xFF000000u | uint32_t(std::clamp(R, 0, 255)) << 16 | uint32_t(std::clamp(G, 0, 255)) << 8
               | uint32_t(std::clamp(B, 0, 255));
    }
}

// ---- at full size: the decoder's own pixels ---------------------------------------------------

// The decoder's integer inverse transform (the slow-but-accurate one, its default): the columns,
// then the rows, in 13-bit fixed point with 2 more bits kept between the passes, and its range
// limit (the 10 low bits of the value, so that a wild value folds as it does there).
inline uint8_t limiteIdct(int64_t v)
{
    const int i = int(v & 1023);
    return uint8_t(i < 128 ? i + 128 : i < 512 ? 255 : i < 896 ? 0 : i - 896);
}

// One 8-point pass, in 13-bit fixed point: x, the 8 inputs; s, the 8 outputs before their descaling.
void idctPasse(const int64_t* x, int64_t* s)
{
    constexpr int Bits = 13;
    constexpr int64_t F0298 = 2446, F0390 = 3196, F0541 = 4433, F0765 = 6270, F0899 = 7373, F1175 = 9633,
                      F1501 = 12299, F1847 = 15137, F1961 = 16069, F2053 = 16819, F2562 = 20995, F3072 = 25172;
    // Even part.
    const int64_t z1 = (x[2] + x[6]) * F0541;
    const int64_t t2 = z1 - x[6] * F1847, t3 = z1 + x[2] * F0765;
    const int64_t t0 = (x[0] + x[4]) * (int64_t(1) << Bits), t1 = (x[0] - x[4]) * (int64_t(1) << Bits);
    const int64_t t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
    // Odd part.
    const int64_t z5 = (x[7] + x[3] + x[5] + x[1]) * F1175;
    const int64_t a1 = (x[7] + x[1]) * -F0899, a2 = (x[5] + x[3]) * -F2562;
    const int64_t a3 = (x[7] + x[3]) * -F1961 + z5, a4 = (x[5] + x[1]) * -F0390 + z5;
    const int64_t o0 = x[7] * F0298 + a1 + a3, o1 = x[5] * F2053 + a2 + a4;
    const int64_t o2 = x[3] * F3072 + a2 + a3, o3 = x[1] * F1501 + a1 + a4;
    s[0] = t10 + o3;
    s[7] = t10 - o3;
    s[1] = t11 + o2;
    s[6] = t11 - o2;
    s[2] = t12 + o1;
    s[5] = t12 - o1;
    s[3] = t13 + o0;
    s[4] = t13 - o0;
}

void idctExacte(const int16_t* c, const int32_t* q, uint8_t* d, qsizetype pas)
{
    constexpr int Bits = 13, Passe1 = 2;
    const auto reduire = [](int64_t x, int n) { return (x + (int64_t(1) << (n - 1))) >> n; };
    int64_t ws[64], x[8], sortie[8];
    for (int col = 0; col < 8; ++col) {
        // A column with its DC alone (the usual case) gives that DC everywhere, as the pass would.
        if (!c[8 + col] && !c[16 + col] && !c[24 + col] && !c[32 + col] && !c[40 + col] && !c[48 + col] && !c[56 + col]) {
            const int64_t dc = int64_t(c[col]) * q[col] * (1 << Passe1);
            for (int r = 0; r < 8; ++r)
                ws[r * 8 + col] = dc;
            continue;
        }
        for (int r = 0; r < 8; ++r)
            x[r] = int64_t(c[r * 8 + col]) * q[r * 8 + col];
        idctPasse(x, sortie);
        for (int r = 0; r < 8; ++r)
            ws[r * 8 + col] = reduire(sortie[r], Bits - Passe1);
    }
    for (int r = 0; r < 8; ++r) {
        const int64_t* w = ws + 8 * r;
        uint8_t* o = d + pas * r;
        if (!w[1] && !w[2] && !w[3] && !w[4] && !w[5] && !w[6] && !w[7]) {
            std::memset(o, limiteIdct(reduire(w[0], Passe1 + 3)), 8);
            continue;
        }
        idctPasse(w, sortie);
        for (int i = 0; i < 8; ++i)
            o[i] = limiteIdct(reduire(sortie[i], Bits + Passe1 + 3));
    }
}

// A run of blocks read again from where it starts, each into the transform at once (the first
// reading kept no coefficients). False if the second reading does not give what the first did.
bool versPlansExacte(const Plan& p, const Bits& b, const Troncon& tr, Echantillons& sortie)
{
    std::array<int64_t, 3> dc = tr.dcDebut;
    Parcours parcours(p, tr, sortie);
    uint64_t pos = tr.cle >> 8;
    alignas(16) int16_t bloc[64];
    for (uint64_t i = 0; i < tr.nombre; ++i, parcours.suivant(p)) {
        const int k = parcours.k;
        if (!lireBloc(b.octets, pos, *p.dc[size_t(k)], *p.ac[size_t(k)], p.gardeNaturel.data(), bloc, 64)
            || bloc[0] != tr.coefs[i])
            return false;
        const size_t ci = parcours.composante(p);
        dc[ci] += bloc[0];
        bloc[0] = int16_t(uint16_t(dc[ci]));  // as the decoder stores it: 16 bits
        idctExacte(bloc, p.quantEntiere[ci].data(), parcours.destination(p, 8), parcours.pas[ci]);
    }
    return true;
}

// A chroma component's samples for output row y as the decoder enlarges them ("fancy"
// upsampling: 3/4 of the nearer sample, 1/4 of the next, with its roundings), at full size.
void ligneChromaExacte(const Echantillons& pl, size_t ci, int rx, int ry, int y, uint8_t* out, int16_t* colonne)
{
    const QImage& plan = pl.plans[ci];
    const int lu = pl.largeurUtile[ci], hu = pl.hauteurUtile[ci];
    const uint8_t* a = plan.constScanLine(ry == 2 ? y / 2 : y);
    if (ry == 2) {
        const int r0 = y / 2, r1 = std::clamp((y & 1) ? r0 + 1 : r0 - 1, 0, hu - 1);
        const uint8_t* b = plan.constScanLine(r1);
        for (int x = 0; x < lu; ++x)
            colonne[x] = int16_t(3 * a[x] + b[x]);
        if (rx == 2) {
            out[0] = uint8_t((colonne[0] * 4 + 8) >> 4);
            out[1] = uint8_t((colonne[0] * 3 + colonne[1] + 7) >> 4);
            for (int i = 1; i + 1 < lu; ++i) {
                out[2 * i] = uint8_t((colonne[i] * 3 + colonne[i - 1] + 8) >> 4);
                out[2 * i + 1] = uint8_t((colonne[i] * 3 + colonne[i + 1] + 7) >> 4);
            }
            out[2 * lu - 2] = uint8_t((colonne[lu - 1] * 3 + colonne[lu - 2] + 8) >> 4);
            out[2 * lu - 1] = uint8_t((colonne[lu - 1] * 4 + 7) >> 4);
        } else {
            const int biais = (y & 1) ? 2 : 1;
            for (int x = 0; x < lu; ++x)
                out[x] = uint8_t((colonne[x] + biais) >> 2);
        }
        return;
    }
    if (rx == 2) {
        out[0] = a[0];
        out[1] = uint8_t((a[0] * 3 + a[1] + 2) >> 2);
        for (int i = 1; i + 1 < lu; ++i) {
            out[2 * i] = uint8_t((a[i] * 3 + a[i - 1] + 1) >> 2);
            out[2 * i + 1] = uint8_t((a[i] * 3 + a[i + 1] + 2) >> 2);
        }
        out[2 * lu - 2] = uint8_t((a[lu - 1] * 3 + a[lu - 2] + 1) >> 2);
        out[2 * lu - 1] = a[lu - 1];
    } else {
        std::memcpy(out, a, size_t(lu));
    }
}

KAL_VECTORIEL void convertirExacte(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint32_t* d, int largeur)
{
    // The decoder's YCbCr to RGB: 16-bit fixed point, each term rounded as its tables are.
    for (int x = 0; x < largeur; ++x) {
        const int yy = y[x], b = cb[x] - 128, r = cr[x] - 128;
        const int R = yy + ((91881 * r + 32768) >> 16);
        const int G = yy + ((-22554 * b + 32768 - 46802 * r) >> 16);
        const int B = yy + ((116130 * b + 32768) >> 16);
        d[x] = 0xFF000000u | uint32_t(std::clamp(R, 0, 255)) << 16 | uint32_t(std::clamp(G, 0, 255)) << 8
               | uint32_t(std::clamp(B, 0, 255));
    }
}

QImage decoder(const QByteArray& donnees, const jpeg_decompress_struct& c, const Plan& p, int coeurs)
{
    const auto* debut = reinterpret_cast<const uint8_t*>(c.src->next_input_byte);
    const auto* fin = reinterpret_cast<const uint8_t*>(donnees.constData()) + donnees.size();
    if (debut < reinterpret_cast<const uint8_t*>(donnees.constData()) || debut >= fin)
        return {};
    Bits b;
    if (!extraire(debut, fin, b) || b.nombre == 0)
        return {};
    // The pieces, read on every core.
    const int pieces = int(std::clamp<uint64_t>(b.nombre / (8 * 16384), 1, uint64_t(4 * coeurs)));
    if (pieces < 2)
        return {};
    std::vector<uint64_t> bornes(size_t(pieces) + 1);
    for (int j = 0; j <= pieces; ++j)
        bornes[size_t(j)] = b.nombre * uint64_t(j) / uint64_t(pieces);
    const int taille = p.taille;
    const uint64_t total = p.blocs();
    std::vector<Releve> releves(static_cast<size_t>(pieces));
    // Each piece's room for its blocks in one stretch of the reserve: its share of the blocks by
    // its share of the bits, and a quarter more (a piece that needs more moves to memory of its own).
    const size_t parBloc = 8 + size_t(taille) * 2;
    std::vector<size_t> places(static_cast<size_t>(pieces)), debuts(static_cast<size_t>(pieces));
    size_t blocsEnTout = 0;
    for (int j = 0; j < pieces; ++j) {
        const uint64_t part = total * (bornes[size_t(j) + 1] - bornes[size_t(j)]) / b.nombre;
        places[size_t(j)] = size_t(part + part / 4 + 64);
        debuts[size_t(j)] = blocsEnTout;
        blocsEnTout += places[size_t(j)];
    }
    if (blocsEnTout * parBloc > (size_t(512) << 20))
        return {};  // the decoder's way needs only rows
    QImage memoireBlocs = memoireBrute(blocsEnTout * parBloc);
    uchar* const zone = memoireBlocs.bits();
    enParallele(pieces, 1, [&](int j0, int j1) {
        for (int j = j0; j < j1; ++j) {
            Releve& r = releves[size_t(j)];
            // Every piece's notes first, then every piece's coefficients: each array aligned.
            r.placer(reinterpret_cast<uint64_t*>(zone) + debuts[size_t(j)],
                     reinterpret_cast<int16_t*>(zone + blocsEnTout * 8) + debuts[size_t(j)] * size_t(taille),
                     places[size_t(j)]);
            lirePiece(b, p, bornes[size_t(j)], bornes[size_t(j) + 1], r);
        }
    });
    // The true chain, piece after piece: from the first block where it meets what the piece read.
    std::vector<Troncon> troncons;
    std::vector<Releve> relus(static_cast<size_t>(pieces));  // blocks read again before the meeting
    uint64_t etat = 0, faits = 0;                              // (bit << 8) | place; blocks so far
    for (int j = 0; j < pieces && faits < total; ++j) {
        const Releve& r = releves[size_t(j)];
        const uint64_t* trouve = std::lower_bound(r.debut(), r.fin(), etat);
        if (trouve == r.fin() || *trouve != etat) {
            // Read the true chain until it meets the piece's notes, or to the piece's end.
            Releve& relu = relus[size_t(j)];
            uint64_t pos = etat >> 8;
            int k = int(etat & 0xFF);
            const uint64_t* note = r.cles;
            const uint64_t finPiece = j + 1 < pieces ? bornes[size_t(j) + 1] : UINT64_MAX;
            bool rencontre = false;
            while (pos < finPiece && faits + relu.nombre < total) {
                if (pos >= b.nombre)
                    return {};  // blocks missing: libjpeg will say so
                const uint64_t cle = (pos << 8) | uint64_t(k);
                note = std::lower_bound(note, r.fin(), cle);
                if (note != r.fin() && *note == cle) {
                    rencontre = true;
                    break;
                }
                int16_t* out = relu.ajouter(cle, taille);
                if (!lireBloc(b.octets, pos, *p.dc[size_t(k)], *p.ac[size_t(k)], p.garde.data(), out, taille)
                    || pos > b.nombre)
                    return {};  // damaged: libjpeg will say so
                k = k + 1 == p.blocsParMcu ? 0 : k + 1;
            }
            if (relu.nombre) {
                troncons.push_back({relu.cles[0], relu.coefs, uint64_t(relu.nombre), faits, {}});
                faits += relu.nombre;
            }
            etat = (pos << 8) | uint64_t(k);
            if (!rencontre)
                continue;
            trouve = note;
        }
        const uint64_t i = uint64_t(trouve - r.cles);
        const uint64_t n = std::min<uint64_t>(r.nombre - i, total - faits);
        troncons.push_back({r.cles[i], r.coefs + i * uint64_t(taille), n, faits, {}});
        faits += n;
        etat = i + n < r.nombre ? r.cles[size_t(i + n)] : r.sortie;
    }
    // Every block, and no block reading past the data.
    if (faits != total || (etat >> 8) > b.nombre)
        return {};
    // The DC values along the chain: each run's sums, then where each run starts.
    std::vector<std::array<int64_t, 3>> sommes(troncons.size());
    enParallele(int(troncons.size()), 1, [&](int t0, int t1) {
        for (int t = t0; t < t1; ++t) {
            const Troncon& tr = troncons[size_t(t)];
            std::array<int64_t, 3> s{};
            int k = int(tr.premier % uint64_t(p.blocsParMcu));
            for (uint64_t i = 0; i < tr.nombre; ++i) {
                s[size_t(p.comp[size_t(k)])] += tr.coefs[i * uint64_t(taille)];
                k = k + 1 == p.blocsParMcu ? 0 : k + 1;
            }
            sommes[size_t(t)] = s;
        }
    });
    std::array<int64_t, 3> dc{};
    for (size_t t = 0; t < troncons.size(); ++t) {
        troncons[t].dcDebut = dc;
        for (size_t ci = 0; ci < 3; ++ci)
            dc[ci] += sommes[t][ci];
    }
    // The blocks into each component's samples.
    Echantillons pl;
    for (size_t ci = 0; ci < 3; ++ci) {
        pl.plans[ci] = nouvelleImage(p.mcusX * p.h[ci] * p.n, p.mcusY * p.v[ci] * p.n, QImage::Format_Grayscale8);
        // The samples that hold data, as the decoder counts them at this scale.
        const uint64_t l = (uint64_t(c.image_width) * uint64_t(p.h[ci]) * uint64_t(p.n) + uint64_t(8 * p.hMax) - 1) / uint64_t(8 * p.hMax);
        const uint64_t h = (uint64_t(c.image_height) * uint64_t(p.v[ci]) * uint64_t(p.n) + uint64_t(8 * p.vMax) - 1) / uint64_t(8 * p.vMax);
        pl.largeurUtile[ci] = int(std::max<uint64_t>(1, l));
        pl.hauteurUtile[ci] = int(std::max<uint64_t>(1, h));
    }
    const int largeur = int((uint64_t(c.image_width) * uint64_t(p.n) + 7) / 8);
    const int hauteur = int((uint64_t(c.image_height) * uint64_t(p.n) + 7) / 8);
    if (p.exact) {
        // The decoder enlarges a chroma narrower than 3 samples another way.
        for (size_t ci = 1; ci < 3; ++ci)
            if ((p.h[ci] != p.hMax && pl.largeurUtile[ci] < 3) || (p.v[ci] != p.vMax && pl.hauteurUtile[ci] < 2))
                return {};
        std::atomic<bool> accord{true};
        enParallele(int(troncons.size()), 1, [&](int t0, int t1) {
            for (int k = t0; k < t1; ++k)
                if (!versPlansExacte(p, b, troncons[size_t(k)], pl))
                    accord = false;
        });
        if (!accord)
            return {};
        QImage image = nouvelleImage(largeur, hauteur);
        enParallele(hauteur, 16, [&](int y0, int y1) {
            const size_t n = size_t(largeur) + 16;
            std::vector<uint8_t> tampon(2 * n);
            std::vector<int16_t> colonne(n);
            uint8_t *cb = tampon.data(), *cr = cb + n;
            for (int y = y0; y < y1; ++y) {
                ligneChromaExacte(pl, 1, p.hMax / p.h[1], p.vMax / p.v[1], y, cb, colonne.data());
                ligneChromaExacte(pl, 2, p.hMax / p.h[2], p.vMax / p.v[2], y, cr, colonne.data());
                convertirExacte(pl.plans[0].constScanLine(y), cb, cr, reinterpret_cast<uint32_t*>(image.scanLine(y)), largeur);
            }
        });
        return image;
    }
    const std::array<float, 64> t = matriceIdct(p.n);
    enParallele(int(troncons.size()), 1, [&](int t0, int t1) {
        for (int k = t0; k < t1; ++k)
            versPlans(p, troncons[size_t(k)], t, pl);
    });
    // The chroma enlarged and the colours converted.
    QImage image = nouvelleImage(largeur, hauteur);
    enParallele(hauteur, 16, [&](int y0, int y1) {
        const size_t n = size_t(largeur) + 16;
        std::vector<int32_t> tampon(3 * n);
        int32_t *cb = tampon.data(), *cr = cb + n, *colonne = cr + n;
        for (int y = y0; y < y1; ++y) {
            ligneChroma(pl, 1, p.hMax / p.h[1], p.vMax / p.v[1], y, cb, colonne);
            ligneChroma(pl, 2, p.hMax / p.h[2], p.vMax / p.v[2], y, cr, colonne);
            convertir(pl.plans[0].constScanLine(y), cb, cr, reinterpret_cast<uint32_t*>(image.scanLine(y)), largeur);
        }
    });
    return image;
}

}  // namespace

QImage lireSurTousLesCoeurs(const QByteArray& donnees, const jpeg_decompress_struct& c)
{
    const int coeurs = fils();
    if (coeurs < 2)
        return {};
    Plan p;
    if (!preparerPlan(c, p))
        return {};
    try {
        return decoder(donnees, c, p, coeurs);
    } catch (const std::bad_alloc&) {
        return {};  // the caller's way takes less memory, and says so when even that fails
    } catch (const Erreur&) {
        return {};
    }
}

}  // namespace kal::image::interne
