#include "platform/imaging/pixels.h"

#include "platform/base/erreur.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kal::image {

namespace {

// Row addresses of a picture taken once, before the rows are shared out between threads.
struct Lignes {
    uchar* base;
    qsizetype pas;
    uchar* operator()(int y) const { return base + y * pas; }
};
Lignes lignes(QImage& i) { return {i.bits(), i.bytesPerLine()}; }

std::atomic<bool> pagesDeDeuxMo{true};

// Pictures from this size on take their memory from the system directly (glibc would keep some
// freed blocks of this size in its heaps).
constexpr size_t SeuilSysteme = size_t(256) << 10;
constexpr size_t GrandePage = size_t(2) << 20;

struct Zone {
    void* debut;
    size_t longueur;
};

void libererZone(void* p)
{
    auto* z = static_cast<Zone*>(p);
#if defined(__linux__)
    munmap(z->debut, z->longueur);
#endif
    delete z;
}

}  // namespace

void definirGrandesPages(bool oui) { pagesDeDeuxMo = oui; }
bool grandesPages() { return pagesDeDeuxMo; }

QImage nouvelleImage(int w, int h, QImage::Format format)
{
    const int profondeur = QImage::toPixelFormat(format).bitsPerPixel();
    const qsizetype pas = qsizetype((qint64(w) * profondeur + 31) / 32 * 4);
    const size_t octets = size_t(pas) * size_t(std::max(h, 0));
    auto manque = [&] {
        return Erreur(7, QStringLiteral("Mémoire insuffisante pour une image de %1 x %2 pixels").arg(w).arg(h));
    };
    if (w <= 0 || h <= 0)
        throw manque();
#if defined(__linux__)
    if (octets >= SeuilSysteme) {
        const bool grandes = pagesDeDeuxMo && octets >= GrandePage;
        // With 2 MB pages the picture starts on a 2 MB boundary inside a slightly larger mapping.
        const size_t longueur = grandes ? (octets + GrandePage - 1) / GrandePage * GrandePage + GrandePage : octets;
        void* m = mmap(nullptr, longueur, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED)
            throw manque();
        auto* debut = static_cast<uchar*>(m);
#if defined(MADV_HUGEPAGE)
        if (grandes) {
            debut = reinterpret_cast<uchar*>((reinterpret_cast<uintptr_t>(m) + GrandePage - 1) & ~(GrandePage - 1));
            madvise(debut, longueur - size_t(debut - static_cast<uchar*>(m)), MADV_HUGEPAGE);
        }
#endif
        auto* z = new Zone{m, longueur};
        QImage img(debut, w, h, pas, format, libererZone, z);
        if (img.isNull()) {
            libererZone(z);
            throw manque();
        }
        return img;
    }
#endif
    QImage img(w, h, format);
    if (img.isNull())
        throw manque();
    return img;
}

namespace {

inline int borne8(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline int rouge(uint32_t p) { return (p >> 16) & 0xFF; }
inline int vert(uint32_t p) { return (p >> 8) & 0xFF; }
inline int bleu(uint32_t p) { return p & 0xFF; }
inline uint32_t pixel(int r, int g, int b) { return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

constexpr double Pi = 3.14159265358979323846;

// Everything a pass needs, computed once from the values.
struct Plan {
    std::array<uint8_t, 256> avant{};  // contrast (and intensity when there is no hue turn)
    std::array<uint8_t, 256> apres{};  // intensity after the hue turn
    bool lutAvant = false, teinte = false, lutApres = false;
    int m[9] = {};                      // hue turn, x 4096
    int k256 = 0;                       // sharpness amount x 256
    int f256 = 256;                     // saturation factor x 256
};

std::array<uint8_t, 256> lutContraste(int v)
{
    // Contrast turns each channel about the middle grey 127.5 by the gain g:
    // g = 1 + v/1000 for v <= 0 (0 at -1000: flat grey), g = 1 / (1 - 0.999 v/1000) above.
    const double g = v <= 0 ? 1.0 + v / 1000.0 : 1.0 / (1.0 - 0.999 * v / 1000.0);
    std::array<uint8_t, 256> t{};
    for (int x = 0; x < 256; ++x)
        t[x] = static_cast<uint8_t>(borne8(static_cast<int>(std::lround(127.5 + (x - 127.5) * g))));
    return t;
}

std::array<uint8_t, 256> lutIntensite(int v)
{
    // Intensity adds v x 255 / 1000 to every channel (-1000 black, 1000 white).
    const int d = static_cast<int>(std::lround(v * 255.0 / 1000.0));
    std::array<uint8_t, 256> t{};
    for (int x = 0; x < 256; ++x)
        t[x] = static_cast<uint8_t>(borne8(x + d));
    return t;
}

Plan preparer(const Reglages& r)
{
    Plan p;
    const bool c = r.contraste != 0, i = r.intensite != 0;
    p.teinte = r.teinte % 360 != 0;
    std::array<uint8_t, 256> id{};
    for (int x = 0; x < 256; ++x)
        id[x] = static_cast<uint8_t>(x);
    const auto lc = c ? lutContraste(r.contraste) : id;
    const auto li = i ? lutIntensite(r.intensite) : id;
    if (p.teinte) {
        p.avant = lc;
        p.lutAvant = c;
        p.apres = li;
        p.lutApres = i;
        // Hue turn: rotation of the colour cube about its grey diagonal (greys stay put);
        // +120 degrees sends red to green, green to blue and blue to red.
        const double t = r.teinte * Pi / 180.0, co = std::cos(t), si = std::sin(t);
        const double b = (1 - co) / 3 - si / std::sqrt(3.0), d = (1 - co) / 3 + si / std::sqrt(3.0);
        const int ib = static_cast<int>(std::lround(b * 4096)), id2 = static_cast<int>(std::lround(d * 4096));
        const int ia = 4096 - ib - id2;  // cos + (1 - cos)/3, so that each row sums to exactly 4096
        const int m[9] = {ia, ib, id2, id2, ia, ib, ib, id2, ia};
        std::copy(std::begin(m), std::end(m), p.m);
    } else {
        // Without the hue turn contrast and intensity make one table (each is 8 bits to 8 bits).
        for (int x = 0; x < 256; ++x)
            p.avant[x] = li[lc[x]];
        p.lutAvant = c || i;
    }
    // Sharpness: p + k (p - blur), blur the 3 x 3 binomial mean; k = 2 v/1000 above 0 (up to
    // twice the detail), k = v/1000 below (the plain blur at -1000).
    const double k = r.nettete > 0 ? 2.0 * r.nettete / 1000.0 : r.nettete / 1000.0;
    p.k256 = static_cast<int>(std::lround(k * 256));
    // Saturation: L + (x - L)(1 + v/1000), L = (77 R + 150 G + 29 B) / 256.
    p.f256 = static_cast<int>(std::lround((1.0 + r.saturation / 1000.0) * 256));
    return p;
}

// A row in three planes (red, green, blue), the form the stages work on.
struct Plans {
    uint8_t* r;
    uint8_t* g;
    uint8_t* b;
};

// Contrast, hue turn and intensity on one row, from packed pixels to planes.
void etapeA(const Plan& p, const uint32_t* src, Plans d, int n)
{
    if (!p.teinte) {
        if (!p.lutAvant) {
            for (int x = 0; x < n; ++x) {
                const uint32_t v = src[x];
                d.r[x] = uint8_t(v >> 16);
                d.g[x] = uint8_t(v >> 8);
                d.b[x] = uint8_t(v);
            }
            return;
        }
        const uint8_t* t = p.avant.data();
        for (int x = 0; x < n; ++x) {
            const uint32_t v = src[x];
            d.r[x] = t[rouge(v)];
            d.g[x] = t[vert(v)];
            d.b[x] = t[bleu(v)];
        }
        return;
    }
    const int* m = p.m;
    const uint8_t* av = p.avant.data();
    const uint8_t* ap = p.apres.data();
    for (int x = 0; x < n; ++x) {
        const uint32_t v = src[x];
        const int r = av[rouge(v)], g = av[vert(v)], b = av[bleu(v)];
        d.r[x] = ap[borne8((m[0] * r + m[1] * g + m[2] * b + 2048) >> 12)];
        d.g[x] = ap[borne8((m[3] * r + m[4] * g + m[5] * b + 2048) >> 12)];
        d.b[x] = ap[borne8((m[6] * r + m[7] * g + m[8] * b + 2048) >> 12)];
    }
}

// Sharpness on one plane of row y from the three stage-A rows around it (h above, c, b below):
// p + k (16 p - S) / 4096 with S the 3 x 3 binomial sum; columns outside repeat the edge.
void netteteCanal(int k, const uint8_t* h, const uint8_t* c, const uint8_t* b, uint8_t* dst, int n, int16_t* v)
{
    for (int x = 0; x < n; ++x)
        v[x + 1] = int16_t(h[x] + 2 * c[x] + b[x]);
    v[0] = v[1];
    v[n + 1] = v[n];
    for (int x = 0; x < n; ++x) {
        const int somme = v[x] + 2 * v[x + 1] + v[x + 2];
        const int pc = c[x];
        dst[x] = uint8_t(borne8(pc + ((k * (16 * pc - somme) + 2048) >> 12)));
    }
}

// Saturation on the planes, then packed into the target row.
void etapeB(const Plan& p, Plans s, uint32_t* dst, int n)
{
    const int f = p.f256;
    if (f == 256) {
        for (int x = 0; x < n; ++x)
            dst[x] = pixel(s.r[x], s.g[x], s.b[x]);
        return;
    }
    for (int x = 0; x < n; ++x) {
        const int r = s.r[x], g = s.g[x], b = s.b[x];
        const int l = (77 * r + 150 * g + 29 * b + 128) >> 8;
        const int r2 = borne8(l + (((r - l) * f + 128) >> 8));
        const int g2 = borne8(l + (((g - l) * f + 128) >> 8));
        const int b2 = borne8(l + (((b - l) * f + 128) >> 8));
        dst[x] = pixel(r2, g2, b2);
    }
}

// floor() for the values a rotation meets, without a call.
inline int plancher(double v)
{
    const int i = static_cast<int>(v);
    return i - (v < i ? 1 : 0);
}

}  // namespace

void enParallele(int n, int grain, const std::function<void(int, int)>& travail)
{
    if (n <= 0)
        return;
    const int coeurs = std::max(1u, std::thread::hardware_concurrency());
    const int bandes = std::clamp((n + std::max(1, grain) - 1) / std::max(1, grain), 1, coeurs);
    if (bandes == 1) {
        travail(0, n);
        return;
    }
    // A failure in a band (memory) is carried back to the caller once every band has ended.
    std::vector<std::exception_ptr> erreurs(bandes);
    auto bande = [&](int i) {
        try {
            travail(int(int64_t(n) * i / bandes), int(int64_t(n) * (i + 1) / bandes));
        } catch (...) {
            erreurs[i] = std::current_exception();
        }
    };
    std::vector<std::thread> fils;
    fils.reserve(bandes - 1);
    for (int i = 1; i < bandes; ++i)
        fils.emplace_back(bande, i);
    bande(0);
    for (auto& f : fils)
        f.join();
    for (auto& e : erreurs)
        if (e)
            std::rethrow_exception(e);
}

QImage enRgb32(const QImage& image)
{
    if (image.format() == QImage::Format_RGB32)
        return image;
    if (image.hasAlphaChannel()) {
        // Transparent parts show the white paper they would be printed on.
        QImage fond = nouvelleImage(image.width(), image.height());
        fond.fill(Qt::white);
        QImage pre = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < pre.height(); ++y) {
            const uint32_t* s = reinterpret_cast<const uint32_t*>(pre.constScanLine(y));
            uint32_t* d = reinterpret_cast<uint32_t*>(fond.scanLine(y));
            for (int x = 0; x < pre.width(); ++x) {
                const int a = qAlpha(s[x]);
                auto m = [&](int c) { return c + ((255 - a) * 255 + 127) / 255; };
                d[x] = pixel(m(rouge(s[x])), m(vert(s[x])), m(bleu(s[x])));
            }
        }
        return fond;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

Reglages bornes(Reglages r)
{
    r.contraste = std::clamp(r.contraste, -1000, 1000);
    r.teinte = std::clamp(r.teinte, -180, 180);
    r.intensite = std::clamp(r.intensite, -1000, 1000);
    r.nettete = std::clamp(r.nettete, -1000, 1000);
    r.saturation = std::clamp(r.saturation, -1000, 1000);
    return r;
}

QImage appliquerReglages(const QImage& source, const Reglages& reglages)
{
    const QImage src = enRgb32(source);
    if (src.isNull() || reglages.neutre())
        return src;
    const Plan p = preparer(bornes(reglages));
    const int w = src.width(), h = src.height();
    QImage dst = nouvelleImage(w, h);
    auto ligneSrc = [&](int y) { return reinterpret_cast<const uint32_t*>(src.constScanLine(std::clamp(y, 0, h - 1))); };
    const Lignes ld = lignes(dst);
    enParallele(h, 16, [&](int y0, int y1) {
        // Planes of three stage-A rows (above, current, below) and of the sharpened row.
        std::vector<uint8_t> tampon(size_t(w) * 12);
        std::vector<int16_t> sommes(size_t(w) + 2);
        auto plans = [&](int i) { return Plans{&tampon[size_t(w) * (3 * i)], &tampon[size_t(w) * (3 * i + 1)], &tampon[size_t(w) * (3 * i + 2)]}; };
        const Plans net = plans(3);
        if (p.k256 == 0) {
            const Plans a = plans(0);
            for (int y = y0; y < y1; ++y) {
                etapeA(p, ligneSrc(y), a, w);
                etapeB(p, a, reinterpret_cast<uint32_t*>(ld(y)), w);
            }
            return;
        }
        // The three rows slide down the band (rows outside the picture repeat the edge).
        Plans l[3] = {plans(0), plans(1), plans(2)};
        etapeA(p, ligneSrc(y0 - 1), l[0], w);
        etapeA(p, ligneSrc(y0), l[1], w);
        for (int y = y0; y < y1; ++y) {
            etapeA(p, ligneSrc(y + 1), l[2], w);
            netteteCanal(p.k256, l[0].r, l[1].r, l[2].r, net.r, w, sommes.data());
            netteteCanal(p.k256, l[0].g, l[1].g, l[2].g, net.g, w, sommes.data());
            netteteCanal(p.k256, l[0].b, l[1].b, l[2].b, net.b, w, sommes.data());
            etapeB(p, net, reinterpret_cast<uint32_t*>(ld(y)), w);
            std::rotate(l, l + 1, l + 3);
        }
    });
    return dst;
}

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
    const uint32_t f = 0xFF000000u | fond;
    const Lignes ld = lignes(dst);
    const auto* base = reinterpret_cast<const uint32_t*>(src.constBits());
    const qsizetype pas = src.bytesPerLine() / 4;
    enParallele(H, 16, [&](int y0, int y1) {
        const int sw = w, sh = h, tw = W;
        auto at = [&](int xx, int yy) -> uint32_t {
            return (unsigned(xx) >= unsigned(sw) || unsigned(yy) >= unsigned(sh)) ? f : base[yy * pas + xx];
        };
        // Red and blue side by side in the two halves of 64 bits (their sums never meet), green alone.
        auto rb = [](uint32_t p) { return (uint64_t(p & 0xFF0000u) << 16) | (p & 0xFFu); };
        constexpr uint64_t Demi = (uint64_t(32768) << 32) | 32768;
        for (int y = y0; y < y1; ++y) {
            uint32_t* d = reinterpret_cast<uint32_t*>(ld(y));
            const double dy = y + 0.5 - H / 2.0, dx0 = 0.5 - W / 2.0;
            double sx = dx0 * co + dy * si + sw / 2.0 - 0.5;
            double sy = -dx0 * si + dy * co + sh / 2.0 - 0.5;
            for (int x = 0; x < tw; ++x, sx += co, sy -= si) {
                const int x0 = plancher(sx), yb = plancher(sy);
                if (x0 < -1 || yb < -1 || x0 >= sw || yb >= sh) {
                    d[x] = f;
                    continue;
                }
                const int fx = static_cast<int>((sx - x0) * 256 + 0.5), fy = static_cast<int>((sy - yb) * 256 + 0.5);
                uint32_t p00, p10, p01, p11;
                if (x0 >= 0 && yb >= 0 && x0 + 1 < sw && yb + 1 < sh) {
                    const uint32_t* l0 = base + yb * pas + x0;
                    p00 = l0[0], p10 = l0[1], p01 = l0[pas], p11 = l0[pas + 1];
                } else {
                    p00 = at(x0, yb), p10 = at(x0 + 1, yb), p01 = at(x0, yb + 1), p11 = at(x0 + 1, yb + 1);
                }
                const uint32_t gx = uint32_t(256 - fx), gy = uint32_t(256 - fy);
                const uint64_t hrb = rb(p00) * gx + rb(p10) * uint32_t(fx), brb = rb(p01) * gx + rb(p11) * uint32_t(fx);
                const uint64_t vrb = (hrb * gy + brb * uint32_t(fy) + Demi) >> 16;
                const uint32_t hg = ((p00 >> 8) & 0xFF) * gx + ((p10 >> 8) & 0xFF) * uint32_t(fx);
                const uint32_t bg = ((p01 >> 8) & 0xFF) * gx + ((p11 >> 8) & 0xFF) * uint32_t(fx);
                const uint32_t g = (hg * gy + bg * uint32_t(fy) + 32768) >> 16;
                d[x] = 0xFF000000u | (uint32_t((vrb >> 32) & 0xFF) << 16) | (g << 8) | uint32_t(vrb & 0xFF);
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
    return a;
}

}  // namespace

namespace {

// One row down the columns: target row y from the source rows its weights cover (ligne(i) gives
// source row i). Every byte of a row is one channel of one pixel, so the loop runs over the row's
// bytes whatever the channel (the weights sum to 1, so the opaque alpha stays 255).
template <typename LigneSource>
void passeColonnes(const LigneSource& ligne, int largeur, const Axe& ay, int y, int32_t* acc, uint8_t* d)
{
    const int n = largeur * 4;  // a local bound: the stores below cannot change it
    std::fill(acc, acc + n, 8192);
    const int* p = &ay.poids[size_t(y) * ay.maxn];
    for (int k = 0; k < ay.nombre[y]; ++k) {
        const uint8_t* s = ligne(ay.debut[y] + k);
        // 16-bit operands (a weight is at most 16384) let the compiler use the 16 x 16 -> 32-bit
        // multiplications every x86-64 processor has.
        const int16_t q = int16_t(p[k]);
        for (int i = 0; i < n; ++i)
            acc[i] += int32_t(q) * int16_t(s[i]);
    }
    for (int i = 0; i < n; ++i)
        d[i] = uint8_t(std::min(255, acc[i] >> 14));
}

// One row across: the n target pixels of a row from the source row s.
void passeTravers(const uint8_t* s, const Axe& ax, int n, uint8_t* d)
{
    for (int o = 0; o < n; ++o) {
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
template <typename LigneSource>
void ligneReechantillonnee(const LigneSource& source, int sw, const Axe& ay, const Axe& ax, bool bas, bool travers,
                           int largeur, int y, int32_t* acc, uint8_t* ligne, uint8_t* d)
{
    if (!travers) {
        if (bas)
            passeColonnes(source, sw, ay, y, acc, d);
        else
            std::memcpy(d, source(y), size_t(sw) * 4);
        return;
    }
    const uint8_t* s = source(y);
    if (bas) {
        passeColonnes(source, sw, ay, y, acc, ligne);
        s = ligne;
    }
    passeTravers(s, ax, largeur, d);
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
        std::vector<int32_t> acc(bas ? size_t(sw) * 4 : 0);
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

void corrigerYeuxRouges(QImage& image, const QRect& zone, QRgb teinte, int seuil, int force)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_RGB32)
        image = enRgb32(image);
    const QRect z = zone.normalized() & image.rect();
    if (z.isEmpty())
        return;
    const int f = std::clamp(force, 0, 100);
    const int tr = qRed(teinte), tg = qGreen(teinte), tb = qBlue(teinte);
    const int tgb = std::max(1, (tg + tb) / 2);
    for (int y = z.top(); y <= z.bottom(); ++y) {
        uint32_t* l = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = z.left(); x <= z.right(); ++x) {
            const int r = rouge(l[x]), g = vert(l[x]), b = bleu(l[x]);
            const int gb = (g + b) / 2;
            if (r <= 40 || r * 100 < seuil * std::max(gb, 1))
                continue;
            // The target colour at the pixel's own green-blue level.
            auto cible = [&](int c) { return std::min(255, c * std::max(gb, 1) / tgb); };
            auto mix = [&](int v, int c) { return borne8((v * (100 - f) + cible(c) * f + 50) / 100); };
            l[x] = pixel(mix(r, tr), mix(g, tg), mix(b, tb));
        }
    }
}

QImage appliquerGamma(const QImage& source, double gamma100)
{
    const QImage src = enRgb32(source);
    if (src.isNull() || gamma100 <= 0 || std::abs(gamma100 - 100.0) < 1e-9)
        return src;
    std::array<uint8_t, 256> t{};
    for (int x = 0; x < 256; ++x)
        t[x] = static_cast<uint8_t>(borne8(static_cast<int>(std::lround(255.0 * std::pow(x / 255.0, 100.0 / gamma100)))));
    QImage dst = nouvelleImage(src.width(), src.height());
    const Lignes ld = lignes(dst);
    enParallele(src.height(), 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint32_t* s = reinterpret_cast<const uint32_t*>(src.constScanLine(y));
            uint32_t* d = reinterpret_cast<uint32_t*>(ld(y));
            for (int x = 0; x < src.width(); ++x)
                d[x] = pixel(t[rouge(s[x])], t[vert(s[x])], t[bleu(s[x])]);
        }
    });
    return dst;
}

bool sansCouleur(const QImage& image)
{
    const QImage src = enRgb32(image);
    for (int y = 0; y < src.height(); ++y) {
        const uint32_t* s = reinterpret_cast<const uint32_t*>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x)
            if (rouge(s[x]) != vert(s[x]) || vert(s[x]) != bleu(s[x]))
                return false;
    }
    return true;
}

}  // namespace kal::image
