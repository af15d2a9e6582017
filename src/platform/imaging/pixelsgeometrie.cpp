// The geometry of the pixel work: turning a picture (quarter turns exactly, other angles
// sampled bilinearly) and resampling it, whole or row by row as a file is decoded.
#include "platform/imaging/pixels.h"

#include "platform/imaging/pixelsinternes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace kal::image {

using namespace interne;

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// Whether the processor has AVX2, for the loops written for it by hand.
bool avecAvx2()
{
    static const bool oui = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return oui;
}
#endif

// floor() for the values a rotation meets, without a call.
inline int plancher(double v)
{
    const int i = static_cast<int>(v);
    return i - (v < i ? 1 : 0);
}

// What a turned row needs of its source.
struct Tour {
    const uint32_t* base;
    qsizetype pas;  // pixels from one row to the next
    int sw, sh;
    double co, si;
    uint32_t fond;
};

// Where a target pixel samples: the source pixel at its top left and the weights in 256ths.
struct Echantillon {
    int x0, y0, fx, fy;
    bool dehors;     // entirely outside: the background colour
    bool interieur;  // its four source pixels inside the picture
};

inline Echantillon echantillon(const Tour& t, double sx, double sy)
{
    Echantillon e{plancher(sx), plancher(sy), 0, 0, false, false};
    if (e.x0 < -1 || e.y0 < -1 || e.x0 >= t.sw || e.y0 >= t.sh) {
        e.dehors = true;
        return e;
    }
    e.fx = static_cast<int>((sx - e.x0) * 256 + 0.5);
    e.fy = static_cast<int>((sy - e.y0) * 256 + 0.5);
    e.interieur = e.x0 >= 0 && e.y0 >= 0 && e.x0 + 1 < t.sw && e.y0 + 1 < t.sh;
    return e;
}

// The bilinear sample: each channel (top gx + fx, bottom likewise, then gy + fy), rounded.
inline uint32_t melange(const Tour& t, const Echantillon& e)
{
    if (e.dehors)
        return t.fond;
    auto at = [&](int xx, int yy) -> uint32_t {
        return (unsigned(xx) >= unsigned(t.sw) || unsigned(yy) >= unsigned(t.sh)) ? t.fond : t.base[yy * t.pas + xx];
    };
    uint32_t p00, p10, p01, p11;
    if (e.interieur) {
        const uint32_t* l0 = t.base + e.y0 * t.pas + e.x0;
        p00 = l0[0], p10 = l0[1], p01 = l0[t.pas], p11 = l0[t.pas + 1];
    } else {
        p00 = at(e.x0, e.y0), p10 = at(e.x0 + 1, e.y0), p01 = at(e.x0, e.y0 + 1), p11 = at(e.x0 + 1, e.y0 + 1);
    }
    // Red and blue side by side in the two halves of 64 bits (their sums never meet), green alone.
    auto rb = [](uint32_t p) { return (uint64_t(p & 0xFF0000u) << 16) | (p & 0xFFu); };
    constexpr uint64_t Demi = (uint64_t(32768) << 32) | 32768;
    const uint32_t gx = uint32_t(256 - e.fx), gy = uint32_t(256 - e.fy), fx = uint32_t(e.fx), fy = uint32_t(e.fy);
    const uint64_t hrb = rb(p00) * gx + rb(p10) * fx, brb = rb(p01) * gx + rb(p11) * fx;
    const uint64_t vrb = (hrb * gy + brb * fy + Demi) >> 16;
    const uint32_t hg = ((p00 >> 8) & 0xFF) * gx + ((p10 >> 8) & 0xFF) * fx;
    const uint32_t bg = ((p01 >> 8) & 0xFF) * gx + ((p11 >> 8) & 0xFF) * fx;
    const uint32_t g = (hg * gy + bg * fy + 32768) >> 16;
    return 0xFF000000u | (uint32_t((vrb >> 32) & 0xFF) << 16) | (g << 8) | uint32_t(vrb & 0xFF);
}

// Target pixels [x0, x1) of a turned row whose first sample point is (sx, sy): pixel x samples at
// (sx + x cos, sy - x sin), computed for each pixel (not stepped).
void ligneTournee(const Tour& t, double sx, double sy, uint32_t* d, int x0, int x1)
{
    for (int x = x0; x < x1; ++x)
        d[x] = melange(t, echantillon(t, sx + x * t.co, sy - x * t.si));
}

#if defined(__x86_64__) && defined(__GNUC__)
// The pairs (top row, then bottom row) of the samples at a and b, a's in the low half.
__attribute__((target("avx2"))) inline __m256i pairesAvx2(const uint32_t* a, const uint32_t* b, qsizetype pas)
{
    const __m128i ha = _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a))),
                                                     reinterpret_cast<const double*>(a + pas)));
    const __m128i hb = _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b))),
                                                     reinterpret_cast<const double*>(b + pas)));
    return _mm256_set_m128i(hb, ha);
}

// The two samples of such a register mixed, four channels in dwords each: fy twice in a dword,
// the across weights gx | fx << 16.
__attribute__((target("avx2"))) inline __m256i melangeDeuxAvx2(__m256i p, __m256i fy, __m256i wx)
{
    // Bytes of a pair b0 g0 r0 a0 b1 g1 r1 a1 into the words b0 b1 g0 g1 r0 r1 a0 a1 (top: the low
    // 8 bytes of each half, bottom: the high 8).
    const __m256i etalerHaut = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                                                0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m256i etalerBas = _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1,  //
                                               8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
    const __m256i haut = _mm256_shuffle_epi8(p, etalerHaut), bas = _mm256_shuffle_epi8(p, etalerBas);
    const __m256i v = _mm256_add_epi16(_mm256_slli_epi16(haut, 8), _mm256_mullo_epi16(_mm256_sub_epi16(bas, haut), fy));
    const __m256i s = _mm256_madd_epi16(_mm256_xor_si256(v, _mm256_set1_epi16(int16_t(0x8000))), wx);
    return _mm256_srli_epi32(_mm256_add_epi32(s, _mm256_set1_epi32(8388608 + 32768)), 16);
}

// The same row, eight pixels a step on AVX2. The first sample point is computed as in
// ligneTournee, split into its source pixel and its fraction in 65536ths; the others are steps
// from it in the same fixed point (under a 256th off at the end of a strip: about the rounding of
// the weights). When the four source pixels of all eight lie inside the picture, each sample's pair
// on the top row and pair on the bottom row are loaded 64 bits at a time into one 128-bit half,
// their bytes spread into 16-bit words channel by channel (left, right side by side). Down first:
// v = 256 top + (bottom - top) fy, exact in 16 bits (v is at most 65280 and the sum is taken modulo
// 65536); then across, both sides in one multiply-add, v less 32768 so that it fits a signed word:
// (vleft gx + vright fx + 32768) >> 16, the same integers as melange (the four weights' products
// are the same whichever axis goes first). Eight points wholly outside give the background; the
// others (along the edges) take the path above.
__attribute__((target("avx2"))) void ligneTourneeAvx2(const Tour& t, double sx, double sy, uint32_t* d, int debut, int n)
{
    alignas(32) int32_t pasX[8], pasY[8];
    for (int k = 0; k < 8; ++k) {
        pasX[k] = static_cast<int32_t>(std::lround(k * t.co * 65536));
        pasY[k] = static_cast<int32_t>(std::lround(-k * t.si * 65536));
    }
    const __m256i dx = _mm256_load_si256(reinterpret_cast<const __m256i*>(pasX));
    const __m256i dy = _mm256_load_si256(reinterpret_cast<const __m256i*>(pasY));
    const __m256i moinsUn = _mm256_set1_epi32(-1), moinsDeux = _mm256_set1_epi32(-2);
    const __m256i largeur1 = _mm256_set1_epi32(t.sw - 1), hauteur1 = _mm256_set1_epi32(t.sh - 1);
    const __m256i pas = _mm256_set1_epi32(int(t.pas)), bas16 = _mm256_set1_epi32(0xFFFF);
    const __m256i cent28 = _mm256_set1_epi32(128), deux56 = _mm256_set1_epi32(256);
    const __m256i fond = _mm256_set1_epi32(int(t.fond)), opaque = _mm256_set1_epi32(int(0xFF000000u));
    const uint32_t* const base = t.base;
    const qsizetype tp = t.pas;
    // The same pixel a few target rows further down samples that far along the turned column: its
    // source rows are asked for now, so that they are in the caches when that row comes (rows
    // reached in a slant are not foreseen by the processor).
    constexpr int Avance = 4;
    const qsizetype avance = std::lround(Avance * t.co) * tp + std::lround(Avance * t.si);
    // Positions from the strip's first pixel on, in 65536ths: the integer part of the first point
    // plus fixed point offsets stepped eight pixels at a time (a strip is at most a few thousand
    // pixels, so they stay well inside 32 bits and their error under a 256th).
    int x = debut;
    const double px = sx + x * t.co, py = sy - x * t.si;
    const int ix = plancher(px), iy = plancher(py);
    const __m256i baseX = _mm256_set1_epi32(ix), baseY = _mm256_set1_epi32(iy);
    const __m256i huitX = _mm256_set1_epi32(int(std::lround(8 * t.co * 65536)));
    const __m256i huitY = _mm256_set1_epi32(int(std::lround(-8 * t.si * 65536)));
    __m256i fxs = _mm256_add_epi32(_mm256_set1_epi32(int((px - ix) * 65536 + 0.5)), dx);
    __m256i fys = _mm256_add_epi32(_mm256_set1_epi32(int((py - iy) * 65536 + 0.5)), dy);
    for (; x + 8 <= n; x += 8, fxs = _mm256_add_epi32(fxs, huitX), fys = _mm256_add_epi32(fys, huitY)) {
        const __m256i x0 = _mm256_add_epi32(baseX, _mm256_srai_epi32(fxs, 16));
        const __m256i y0 = _mm256_add_epi32(baseY, _mm256_srai_epi32(fys, 16));
        // Inside: 0 <= x0 < sw - 1 and 0 <= y0 < sh - 1; wholly outside: x0 < -1, y0 < -1, x0 >= sw or y0 >= sh.
        const __m256i dedans = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpgt_epi32(x0, moinsUn), _mm256_cmpgt_epi32(largeur1, x0)),
            _mm256_and_si256(_mm256_cmpgt_epi32(y0, moinsUn), _mm256_cmpgt_epi32(hauteur1, y0)));
        if (_mm256_movemask_epi8(dedans) != -1) {
            const __m256i hors = _mm256_or_si256(
                _mm256_or_si256(_mm256_cmpgt_epi32(moinsDeux, x0), _mm256_cmpgt_epi32(moinsDeux, y0)),
                _mm256_or_si256(_mm256_cmpgt_epi32(x0, largeur1), _mm256_cmpgt_epi32(y0, hauteur1)));
            if (_mm256_movemask_epi8(hors) == -1)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), fond);
            else
                ligneTournee(t, sx, sy, d, x, x + 8);
            continue;
        }
        // Weights in 256ths, the fraction rounded: fy twice in a dword, gx | fx << 16.
        const __m256i fx = _mm256_srli_epi32(_mm256_add_epi32(_mm256_and_si256(fxs, bas16), cent28), 8);
        const __m256i fy = _mm256_srli_epi32(_mm256_add_epi32(_mm256_and_si256(fys, bas16), cent28), 8);
        const __m256i wx = _mm256_or_si256(_mm256_sub_epi32(deux56, fx), _mm256_slli_epi32(fx, 16));
        const __m256i wy = _mm256_or_si256(fy, _mm256_slli_epi32(fy, 16));
        alignas(32) int32_t ix8[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(ix8), _mm256_add_epi32(_mm256_mullo_epi32(y0, pas), x0));
        for (int k = 0; k < 8; ++k)
            _mm_prefetch(reinterpret_cast<const char*>(base + ix8[k] + avance), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(base + ix8[7] + avance + tp), _MM_HINT_T0);
        // Sample k in the low half and k + 4 in the high half of register k: its weights are then
        // lane k of each half, and the packing at the end puts the eight back in order.
        const __m256i r0 = melangeDeuxAvx2(pairesAvx2(base + ix8[0], base + ix8[4], tp), _mm256_shuffle_epi32(wy, 0x00), _mm256_shuffle_epi32(wx, 0x00));
        const __m256i r1 = melangeDeuxAvx2(pairesAvx2(base + ix8[1], base + ix8[5], tp), _mm256_shuffle_epi32(wy, 0x55), _mm256_shuffle_epi32(wx, 0x55));
        const __m256i r2 = melangeDeuxAvx2(pairesAvx2(base + ix8[2], base + ix8[6], tp), _mm256_shuffle_epi32(wy, 0xAA), _mm256_shuffle_epi32(wx, 0xAA));
        const __m256i r3 = melangeDeuxAvx2(pairesAvx2(base + ix8[3], base + ix8[7], tp), _mm256_shuffle_epi32(wy, 0xFF), _mm256_shuffle_epi32(wx, 0xFF));
        const __m256i r = _mm256_packus_epi16(_mm256_packus_epi32(r0, r1), _mm256_packus_epi32(r2, r3));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), _mm256_or_si256(r, opaque));
    }
    ligneTournee(t, sx, sy, d, x, n);
}
#endif

}  // namespace

QSize tailleTournee(QSize t, int centiemes)
{
    const int quart = ((centiemes % 36000) + 36000) % 36000;
    if (quart % 9000 == 0)
        return (quart / 9000) % 2 ? t.transposed() : t;
    const double a = centiemes / 100.0 * Pi / 180.0;
    const double c = std::abs(std::cos(a)), s = std::abs(std::sin(a));
    return {std::max(1, static_cast<int>(std::lround(t.width() * c + t.height() * s))),
            std::max(1, static_cast<int>(std::lround(t.width() * s + t.height() * c)))};
}

QImage tourner(const QImage& source, int centiemes, QRgb fond)
{
    const QImage src = enRgb32(source);
    if (src.isNull())
        return src;
    const int w = src.width(), h = src.height();
    const int angle = ((centiemes % 36000) + 36000) % 36000;
    if (angle == 0)
        return src;
    const QSize t = tailleTournee(src.size(), centiemes);
    QImage dst = nouvelleImage(t.width(), t.height());
    const int W = t.width(), H = t.height();
    if (angle % 9000 == 0) {
        const int q = angle / 9000;  // 1: a quarter clockwise, 2: half, 3: a quarter back
        const Lignes ld = lignes(dst);
        const auto* base = reinterpret_cast<const uint32_t*>(src.constBits());
        const qsizetype pas = src.bytesPerLine() / 4;
        enParallele(H, 64, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                uint32_t* d = reinterpret_cast<uint32_t*>(ld(y));
                for (int x = 0; x < W; ++x) {
                    int sx, sy;
                    if (q == 1) { sx = y; sy = h - 1 - x; }
                    else if (q == 2) { sx = w - 1 - x; sy = h - 1 - y; }
                    else { sx = w - 1 - y; sy = x; }
                    d[x] = base[sy * pas + sx];
                }
            }
        });
        return dst;
    }
    // Each target pixel centre is turned back onto the source and sampled bilinearly (weights in
    // 256ths); samples that fall outside the picture take the colour fond, which smooths the edges.
    const double a = centiemes / 100.0 * Pi / 180.0, co = std::cos(a), si = std::sin(a);
    const Tour tour{reinterpret_cast<const uint32_t*>(src.constBits()), src.bytesPerLine() / 4, w, h, co, si,
                    0xFF000000u | fond};
    const Lignes ld = lignes(dst);
#if defined(__x86_64__) && defined(__GNUC__)
    const bool avx2 = avecAvx2();
#endif
    // The rows of a chunk go in strips of Bande pixels: the source pixels a strip samples lie on a
    // short slanting band whose rows stay in the caches (and their pages in the TLB) from one
    // target row to the next, where a whole row of a large picture would sample across thousands.
    constexpr int Bande = 2048;
    enParallele(H, 16, [&](int y0, int y1) {
        for (int xa = 0; xa < W; xa += Bande) {
            const int xb = std::min(W, xa + Bande);
            for (int y = y0; y < y1; ++y) {
                uint32_t* d = reinterpret_cast<uint32_t*>(ld(y));
                const double dy = y + 0.5 - H / 2.0, dx0 = 0.5 - W / 2.0;
                const double sx = dx0 * co + dy * si + w / 2.0 - 0.5;
                const double sy = -dx0 * si + dy * co + h / 2.0 - 0.5;
#if defined(__x86_64__) && defined(__GNUC__)
                if (avx2) {
                    ligneTourneeAvx2(tour, sx, sy, d, xa, xb);
                    continue;
                }
#endif
                ligneTournee(tour, sx, sy, d, xa, xb);
            }
        }
    });
    return dst;
}

namespace {

// Weights of one axis: for each target index, the first source index and its weights (x 16384).
struct Axe {
    std::vector<int> debut, nombre;
    std::vector<int> poids;  // nombre entries per target, padded to maxn
    int maxn = 0;
    // A reduction by exactly two: every target o but the first and the last takes the source
    // pixels 2o - 1 .. 2o + 2 with the weights 1 3 3 1 (in eighths), which rows of 8-bit values
    // sum in 16 bits, several pixels an instruction.
    bool parDeux = false;
};

Axe preparerAxe(int src, int dst)
{
    Axe a;
    const double echelle = double(src) / dst;
    const double support = std::max(1.0, echelle);
    a.maxn = static_cast<int>(std::ceil(support)) * 2 + 1;
    a.debut.resize(dst);
    a.nombre.resize(dst);
    a.poids.assign(size_t(dst) * a.maxn, 0);
    std::vector<double> w(a.maxn);
    for (int o = 0; o < dst; ++o) {
        const double centre = (o + 0.5) * echelle;
        int lo = static_cast<int>(std::floor(centre - support));
        int hi = static_cast<int>(std::ceil(centre + support));
        lo = std::max(lo, 0);
        hi = std::min(hi, src);
        double total = 0;
        int n = 0;
        for (int i = lo; i < hi && n < a.maxn; ++i, ++n) {
            const double t = 1.0 - std::abs((i + 0.5 - centre) / support);
            w[n] = std::max(0.0, t);
            total += w[n];
        }
        if (total <= 0) {  // cannot happen with a support of at least one pixel; keep a pixel
            n = 1;
            w[0] = total = 1;
            lo = std::clamp(static_cast<int>(centre), 0, src - 1);
        }
        int somme = 0, plusGrand = 0;
        for (int k = 0; k < n; ++k) {
            const int q = static_cast<int>(std::lround(w[k] / total * 16384));
            a.poids[size_t(o) * a.maxn + k] = q;
            somme += q;
            if (q > a.poids[size_t(o) * a.maxn + plusGrand])
                plusGrand = k;
        }
        a.poids[size_t(o) * a.maxn + plusGrand] += 16384 - somme;  // weights sum to exactly 1
        a.debut[o] = lo;
        a.nombre[o] = n;
    }
    // Said from the weights themselves, so that the short path gives exactly their pixels.
    a.parDeux = src == 2 * dst && dst >= 3;
    for (int o = 1; a.parDeux && o + 1 < dst; ++o) {
        const int* p = &a.poids[size_t(o) * a.maxn];
        a.parDeux = a.debut[o] == 2 * o - 1 && a.nombre[o] == 4 && p[0] == 2048 && p[1] == 6144 && p[2] == 6144
                    && p[3] == 2048;
    }
    return a;
}

}  // namespace

namespace {

// One row down the columns: target row y from the source rows its weights cover (ligne(i) gives
// source row i). Every byte of a row is one channel of one pixel, so the loop runs over the row's
// bytes whatever the channel (the weights sum to 1, so the opaque alpha stays 255).
// One source row's share: acc[i] += q s[i]. 16-bit operands (a weight is at most 16384) let the
// compiler use the 16 x 16 -> 32-bit multiplications.
KAL_VECTORIEL void accumuler(int32_t* __restrict acc, const uint8_t* __restrict s, int16_t q, int n)
{
    for (int i = 0; i < n; ++i)
        acc[i] += int32_t(q) * int16_t(s[i]);
}

KAL_VECTORIEL void ramener(const int32_t* __restrict acc, uint8_t* __restrict d, int n)
{
    for (int i = 0; i < n; ++i)
        d[i] = uint8_t(std::min(255, acc[i] >> 14));
}

// Down the columns by two: (a + 3 b + 3 c + d + 4) / 8, which is what the weights 2048 6144 6144
// 2048 give with the rounding of accumuler and ramener.
void colonnesParDeux(const uint8_t* __restrict a, const uint8_t* __restrict b, const uint8_t* __restrict c,
                                   const uint8_t* __restrict d, uint8_t* __restrict v, int n)
{
    for (int i = 0; i < n; ++i)
        v[i] = uint8_t((a[i] + 3 * (b[i] + c[i]) + d[i] + 4) >> 3);
}

// Across by two, target pixels [o0, o1) (0 < o0, o1 < the row's target width): each channel of
// target o is (s[2o-1] + 3 s[2o] + 3 s[2o+1] + s[2o+2] + 4) / 8.
void traversParDeux(const uint8_t* s, uint8_t* d, int o0, int o1)
{
    for (int o = o0; o < o1; ++o) {
        const uint8_t* e = s + 8 * o - 4;
        for (int c = 0; c < 4; ++c)
            d[4 * o + c] = uint8_t((e[c] + 3 * (e[4 + c] + e[8 + c]) + e[12 + c] + 4) >> 3);
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Down the columns by two on AVX2, 32 bytes a step: the bytes of a and b, then of c and d, side by
// side in pairs, each pair multiplied by 1 3 (3 1) and summed in one instruction.
__attribute__((target("avx2"))) void colonnesParDeuxAvx2(const uint8_t* a, const uint8_t* b, const uint8_t* c,
                                                         const uint8_t* d, uint8_t* v, int n)
{
    const __m256i unTrois = _mm256_set1_epi16(0x0301), troisUn = _mm256_set1_epi16(0x0103);
    const __m256i quatre = _mm256_set1_epi16(4);
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i vc = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i));
        const __m256i vd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i bas = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(va, vb), unTrois),
                                              _mm256_maddubs_epi16(_mm256_unpacklo_epi8(vc, vd), troisUn)),
                             quatre),
            3);
        const __m256i haut = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(va, vb), unTrois),
                                              _mm256_maddubs_epi16(_mm256_unpackhi_epi8(vc, vd), troisUn)),
                             quatre),
            3);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(v + i), _mm256_packus_epi16(bas, haut));
    }
    colonnesParDeux(a + i, b + i, c + i, d + i, v + i, n - i);
}

// Across by two on AVX2, eight target pixels a step. A load of eight source pixels from 2o - 1 holds in
// each 128-bit half the four pixels of one target (o, then o + 2); their channels interleaved in
// pairs and multiplied by 1 3 / 3 1 in one instruction give two partial sums per channel whose
// halves make the target. The load from 2o + 1 gives o + 1 and o + 3 the same way.
__attribute__((target("avx2"))) inline __m256i quatreCiblesAvx2(const uint8_t* e)  // targets o .. o + 3, e at 2o - 1
{
    const __m256i melange = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15,  //
                                             0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    const __m256i poids = _mm256_setr_epi8(1, 3, 1, 3, 1, 3, 1, 3, 3, 1, 3, 1, 3, 1, 3, 1,  //
                                           1, 3, 1, 3, 1, 3, 1, 3, 3, 1, 3, 1, 3, 1, 3, 1);
    const __m256i r1 = _mm256_maddubs_epi16(
        _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(e)), melange), poids);
    const __m256i r2 = _mm256_maddubs_epi16(
        _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(e + 8)), melange), poids);
    const __m256i t = _mm256_add_epi16(_mm256_unpacklo_epi64(r1, r2), _mm256_unpackhi_epi64(r1, r2));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_set1_epi16(4)), 3);  // o, o + 1 | o + 2, o + 3
}

__attribute__((target("avx2"))) void traversParDeuxAvx2(const uint8_t* s, uint8_t* d, int o0, int o1)
{
    int o = o0;
    for (; o + 8 <= o1; o += 8) {
        const uint8_t* e = s + 8 * o - 4;
        const __m256i r = _mm256_packus_epi16(quatreCiblesAvx2(e), quatreCiblesAvx2(e + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * o), _mm256_permute4x64_epi64(r, 0xD8));
    }
    traversParDeux(s, d, o, o1);
}
#endif

template <typename LigneSource>
void passeColonnes(const LigneSource& ligne, int largeur, const Axe& ay, int y, int32_t* acc, uint8_t* d)
{
    const int n = largeur * 4;
    std::fill(acc, acc + n, 8192);
    const int* p = &ay.poids[size_t(y) * ay.maxn];
    for (int k = 0; k < ay.nombre[y]; ++k)
        accumuler(acc, ligne(ay.debut[y] + k), int16_t(p[k]), n);
    ramener(acc, d, n);
}

// One row across: the target pixels [o0, o1) of a row from the source row s.
void passeTravers(const uint8_t* s, const Axe& ax, int o0, int o1, uint8_t* d)
{
    for (int o = o0; o < o1; ++o) {
        const int* p = &ax.poids[size_t(o) * ax.maxn];
        const uint8_t* e = s + 4 * ax.debut[o];
#if defined(__SSE2__)
        // Two source pixels a step: their channels side by side as 16-bit pairs, each pair
        // multiplied by the two weights and summed in one instruction.
        const int nb = ax.nombre[o];
        const __m128i zero = _mm_setzero_si128();
        __m128i acc = _mm_set1_epi32(8192);
        int k = 0;
        for (; k + 1 < nb; k += 2, e += 8) {
            const __m128i px = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(e)), zero);
            const __m128i paires = _mm_unpacklo_epi16(px, _mm_srli_si128(px, 8));
            const __m128i w = _mm_set1_epi32((p[k + 1] << 16) | (p[k] & 0xFFFF));
            acc = _mm_add_epi32(acc, _mm_madd_epi16(paires, w));
        }
        if (k < nb) {
            int v;
            std::memcpy(&v, e, 4);
            const __m128i px = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero), zero);
            acc = _mm_add_epi32(acc, _mm_madd_epi16(px, _mm_set1_epi32(p[k] & 0xFFFF)));
        }
        const __m128i r = _mm_srai_epi32(acc, 14);
        const int q = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(r, r), zero));
        std::memcpy(d + 4 * o, &q, 4);
#else
        int a0 = 8192, a1 = 8192, a2 = 8192, a3 = 8192;
        for (int k = 0; k < ax.nombre[o]; ++k, e += 4) {
            a0 += p[k] * e[0];
            a1 += p[k] * e[1];
            a2 += p[k] * e[2];
            a3 += p[k] * e[3];
        }
        d[4 * o] = uint8_t(std::min(255, a0 >> 14));
        d[4 * o + 1] = uint8_t(std::min(255, a1 >> 14));
        d[4 * o + 2] = uint8_t(std::min(255, a2 >> 14));
        d[4 * o + 3] = uint8_t(std::min(255, a3 >> 14));
#endif
    }
}

// Target row y: down the columns into `ligne` (when the height changes), then across into d.
// The reductions by two take their short paths, the first and last rows and pixels the general one.
template <typename LigneSource>
void ligneReechantillonnee(const LigneSource& source, int sw, const Axe& ay, const Axe& ax, bool bas, bool travers,
                           int largeur, int y, int32_t* acc, uint8_t* ligne, uint8_t* d)
{
    uint8_t* const verticale = travers ? ligne : d;
    const uint8_t* s = verticale;
    if (!bas)
        s = source(y);
    else if (ay.parDeux && y > 0 && y + 1 < int(ay.debut.size())) {
        const uint8_t *a = source(2 * y - 1), *b = source(2 * y), *c = source(2 * y + 1), *e = source(2 * y + 2);
#if defined(__x86_64__) && defined(__GNUC__)
        if (avecAvx2())
            colonnesParDeuxAvx2(a, b, c, e, verticale, sw * 4);
        else
#endif
            colonnesParDeux(a, b, c, e, verticale, sw * 4);
    } else
        passeColonnes(source, sw, ay, y, acc, verticale);
    if (!travers) {
        if (!bas)
            std::memcpy(d, s, size_t(sw) * 4);
        return;
    }
    if (!ax.parDeux) {
        passeTravers(s, ax, 0, largeur, d);
        return;
    }
    passeTravers(s, ax, 0, 1, d);
#if defined(__x86_64__) && defined(__GNUC__)
    if (avecAvx2())
        traversParDeuxAvx2(s, d, 1, largeur - 1);
    else
#endif
        traversParDeux(s, d, 1, largeur - 1);
    passeTravers(s, ax, largeur - 1, largeur, d);
}

// Whether target row y needs the 32-bit sums of the general path.
bool sommesPour(const Axe& ay, bool bas, int y)
{
    return bas && !(ay.parDeux && y > 0 && y + 1 < int(ay.debut.size()));
}

}  // namespace

QImage reechantillonner(const QImage& source, int largeur, int hauteur)
{
    const QImage src = enRgb32(source);
    largeur = std::max(1, largeur);
    hauteur = std::max(1, hauteur);
    if (src.isNull() || (src.width() == largeur && src.height() == hauteur))
        return src;
    const int sw = src.width(), sh = src.height();
    const bool bas = hauteur != sh, travers = largeur != sw;
    const Axe ay = bas ? preparerAxe(sh, hauteur) : Axe{};
    const Axe ax = travers ? preparerAxe(sw, largeur) : Axe{};
    QImage dst = nouvelleImage(largeur, hauteur);
    const Lignes ld = lignes(dst);
    const auto ligneSource = [&src](int i) { return src.constScanLine(i); };
    // Down the columns first, then across, row by row: each thread keeps the row in between
    // (rounded to 8 bits, as a whole picture in between would be) in a buffer of its own.
    enParallele(hauteur, 8, [&](int y0, int y1) {
        std::vector<int32_t> acc(sommesPour(ay, bas, y0) || sommesPour(ay, bas, y1 - 1) ? size_t(sw) * 4 : 0);
        std::vector<uint8_t> ligne(bas && travers ? size_t(sw) * 4 : 0);
        for (int y = y0; y < y1; ++y)
            ligneReechantillonnee(ligneSource, sw, ay, ax, bas, travers, largeur, y, acc.data(), ligne.data(), ld(y));
    });
    return dst;
}

// ---- resampling rows as they come

struct ReechantillonnageFlux::Etat {
    int sw = 0, sh = 0;
    bool bas = false, travers = false;
    Axe ay, ax;
    QImage dst;
    int faites = 0;  // target rows made
    std::vector<int32_t> acc;
    std::vector<uint8_t> ligne;
};

ReechantillonnageFlux::ReechantillonnageFlux(QSize source, QSize cible) : e_(std::make_unique<Etat>())
{
    Etat& e = *e_;
    e.sw = std::max(1, source.width());
    e.sh = std::max(1, source.height());
    const int l = std::max(1, cible.width()), h = std::max(1, cible.height());
    e.bas = h != e.sh;
    e.travers = l != e.sw;
    if (e.bas)
        e.ay = preparerAxe(e.sh, h);
    if (e.travers)
        e.ax = preparerAxe(e.sw, l);
    e.dst = nouvelleImage(l, h);
    e.acc.resize(e.bas ? size_t(e.sw) * 4 : 0);
    e.ligne.resize(e.bas && e.travers ? size_t(e.sw) * 4 : 0);
}

ReechantillonnageFlux::~ReechantillonnageFlux() = default;

int ReechantillonnageFlux::premiereUtile() const
{
    const Etat& e = *e_;
    if (fini())
        return e.sh;
    return e.bas ? e.ay.debut[size_t(e.faites)] : e.faites;
}

int ReechantillonnageFlux::fenetre() const { return e_->bas ? e_->ay.maxn : 1; }

bool ReechantillonnageFlux::fini() const { return e_->faites >= e_->dst.height(); }

void ReechantillonnageFlux::avancer(int disponibles, const std::function<const uint8_t*(int)>& ligneSource)
{
    Etat& e = *e_;
    const Lignes ld = lignes(e.dst);
    while (!fini()) {
        const int y = e.faites;
        const int besoin = e.bas ? e.ay.debut[size_t(y)] + e.ay.nombre[size_t(y)] : y + 1;
        if (besoin > disponibles)
            return;
        ligneReechantillonnee(ligneSource, e.sw, e.ay, e.ax, e.bas, e.travers, e.dst.width(), y, e.acc.data(),
                              e.ligne.data(), ld(y));
        ++e.faites;
    }
}

QImage ReechantillonnageFlux::resultat() const { return e_->dst; }

}  // namespace kal::image
