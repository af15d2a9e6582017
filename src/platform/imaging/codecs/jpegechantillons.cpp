// Blocks into pixels, for the reader of large JPEG files without restart markers
// (jpegentropie.cpp): the reduced transforms from the coefficients kept at the first reading,
// libjpeg's own integer transform at full size, and the chroma enlarged and the colours converted
// as libjpeg does.
#include "platform/imaging/codecs/jpegentropie.h"

#include "platform/imaging/pixels.h"
#include "platform/imaging/pixelsinternes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kal::image::interne::entropie {

namespace {

// ---- reduced: the low n x n coefficients ------------------------------------------------------

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

}  // namespace

void versPlans(const Plan& p, const Troncon& tr, Echantillons& sortie)
{
    const std::array<float, 64> t = matriceIdct(p.n);
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

// ---- at full size: the decoder's own pixels ---------------------------------------------------

namespace {

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

}  // namespace

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

// ---- the colours ----------------------------------------------------------------------------------

namespace {

// A chroma component's samples for output row y as the decoder enlarges them ("fancy"
// upsampling: 3/4 of the nearer sample, 1/4 of the next, with its roundings); used at every scale.
void ligneChroma(const Echantillons& pl, size_t ci, int rx, int ry, int y, uint8_t* out, int16_t* colonne)
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

KAL_VECTORIEL void convertir(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint32_t* d, int largeur)
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

}  // namespace

QImage enCouleurs(const Plan& p, const Echantillons& pl, int largeur, int hauteur)
{
    // The decoder enlarges a chroma narrower than 3 samples another way.
    for (size_t ci = 1; ci < 3; ++ci)
        if ((p.h[ci] != p.hMax && pl.largeurUtile[ci] < 3) || (p.v[ci] != p.vMax && pl.hauteurUtile[ci] < 2))
            return {};
    QImage image = nouvelleImage(largeur, hauteur);
    enParallele(hauteur, 16, [&](int y0, int y1) {
        const size_t n = size_t(largeur) + 16;
        std::vector<uint8_t> tampon(2 * n);
        std::vector<int16_t> colonne(n);
        uint8_t *cb = tampon.data(), *cr = cb + n;
        for (int y = y0; y < y1; ++y) {
            ligneChroma(pl, 1, p.hMax / p.h[1], p.vMax / p.v[1], y, cb, colonne.data());
            ligneChroma(pl, 2, p.hMax / p.h[2], p.vMax / p.v[2], y, cr, colonne.data());
            convertir(pl.plans[0].constScanLine(y), cb, cr, reinterpret_cast<uint32_t*>(image.scanLine(y)), largeur);
        }
    });
    return image;
}

}  // namespace kal::image::interne::entropie
