// The point operations of the pixel work, each pixel from itself (sharpness from its 3 x 3
// neighbours): the five adjustments in one pass, red-eye correction, display gamma, the laying of
// transparent pictures on white, and the test for a picture without colour.
#include "platform/imaging/pixels.h"

#include "platform/imaging/pixelsinternes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kal::image {

using namespace interne;

namespace {

// Everything a pass needs, computed once from the values.
struct Plan {
    std::array<uint8_t, 256> avant{};  // contrast (and intensity when there is no hue turn)
    int decalage = 0;                   // intensity after the hue turn, added then clamped
    bool lutAvant = false, teinte = false;
    // With the hue turn, the contrast's table as arithmetic when it gives exactly the table:
    // (a x + b) >> 16, then clamped.
    bool contrasteCalcule = false;
    int ca = 65536, cb = 0;
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
        p.decalage = static_cast<int>(std::lround(r.intensite * 255.0 / 1000.0));
        // Hue turn: rotation of the colour cube about its grey diagonal (greys stay put);
        // +120 degrees sends red to green, green to blue and blue to red.
        const double t = r.teinte * Pi / 180.0, co = std::cos(t), si = std::sin(t);
        const double b = (1 - co) / 3 - si / std::sqrt(3.0), d = (1 - co) / 3 + si / std::sqrt(3.0);
        const int ib = static_cast<int>(std::lround(b * 4096)), id2 = static_cast<int>(std::lround(d * 4096));
        const int ia = 4096 - ib - id2;  // cos + (1 - cos)/3, so that each row sums to exactly 4096
        const int m[9] = {ia, ib, id2, id2, ia, ib, ib, id2, ia};
        std::copy(std::begin(m), std::end(m), p.m);
        // The table is round(127.5 + (x - 127.5) g) clamped, that is floor(g x + 128 - 127.5 g):
        // the same in 16.16 fixed point unless a value lies within a hair of an integer, which the
        // comparison over the 256 entries finds (the table is kept then).
        if (c) {
            const double g = r.contraste <= 0 ? 1.0 + r.contraste / 1000.0 : 1.0 / (1.0 - 0.999 * r.contraste / 1000.0);
            const int64_t a = std::llround(g * 65536), b = std::llround((128 - 127.5 * g) * 65536);
            bool pareil = a * 255 + std::abs(b) < (int64_t(1) << 31) && std::abs(b) < (int64_t(1) << 31);
            for (int x = 0; x < 256 && pareil; ++x)
                pareil = borne8(int((a * x + b) >> 16)) == lc[x];
            p.contrasteCalcule = pareil;
            p.ca = int(a);
            p.cb = int(b);
        }
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
KAL_VECTORIEL void etapeA(const Plan& p, const uint32_t* src, Plans d, int n)
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
    const int m0 = p.m[0], m1 = p.m[1], m2 = p.m[2], m3 = p.m[3], m4 = p.m[4], m5 = p.m[5], m6 = p.m[6], m7 = p.m[7],
              m8 = p.m[8], dc = p.decalage;
    if (p.contrasteCalcule || !p.lutAvant) {
        // The contrast, the turn and the intensity in plain arithmetic over the row, which the
        // compiler vectorises (no contrast: a = 65536, b = 0).
        const int a = p.contrasteCalcule ? p.ca : 65536, b = p.contrasteCalcule ? p.cb : 0;
        uint8_t* __restrict pr = d.r;
        uint8_t* __restrict pg = d.g;
        uint8_t* __restrict pb = d.b;
        for (int x = 0; x < n; ++x) {
            const uint32_t v = src[x];
            const int r = borne8((a * int((v >> 16) & 0xFF) + b) >> 16), g = borne8((a * int((v >> 8) & 0xFF) + b) >> 16),
                      bl = borne8((a * int(v & 0xFF) + b) >> 16);
            pr[x] = uint8_t(borne8(borne8((m0 * r + m1 * g + m2 * bl + 2048) >> 12) + dc));
            pg[x] = uint8_t(borne8(borne8((m3 * r + m4 * g + m5 * bl + 2048) >> 12) + dc));
            pb[x] = uint8_t(borne8(borne8((m6 * r + m7 * g + m8 * bl + 2048) >> 12) + dc));
        }
        return;
    }
    const uint8_t* av = p.avant.data();
    // The contrast's table first (lookups), then the turn and the intensity in plain arithmetic
    // over the row, which the compiler vectorises.
    for (int x = 0; x < n; ++x) {
        const uint32_t v = src[x];
        d.r[x] = av[rouge(v)];
        d.g[x] = av[vert(v)];
        d.b[x] = av[bleu(v)];
    }
    uint8_t* __restrict pr = d.r;
    uint8_t* __restrict pg = d.g;
    uint8_t* __restrict pb = d.b;
    for (int x = 0; x < n; ++x) {
        const int r = pr[x], g = pg[x], b = pb[x];
        pr[x] = uint8_t(borne8(borne8((m0 * r + m1 * g + m2 * b + 2048) >> 12) + dc));
        pg[x] = uint8_t(borne8(borne8((m3 * r + m4 * g + m5 * b + 2048) >> 12) + dc));
        pb[x] = uint8_t(borne8(borne8((m6 * r + m7 * g + m8 * b + 2048) >> 12) + dc));
    }
}

// Sharpness on one plane of row y from the three stage-A rows around it (h above, c, b below):
// p + k (16 p - S) / 4096 with S the 3 x 3 binomial sum; columns outside repeat the edge.
KAL_VECTORIEL void netteteCanal(int k, const uint8_t* h, const uint8_t* c, const uint8_t* b, uint8_t* dst, int n, int16_t* v)
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
KAL_VECTORIEL void etapeB(const Plan& p, Plans s, uint32_t* dst, int n)
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

}  // namespace

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
