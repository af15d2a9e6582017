// Speed of the imaging layer beside GraphicsMagick and libvips, in one process, on a generated
// 6000 x 4000 photo: the paths a user waits on (file to first display, a slider value to the
// repainted display, the commit of the work copies, the print of one object at full resolution)
// and the full-resolution operations (decode, five adjustments, rotation, resize, encode).
//
//   bench_imagerie [--tours N] [--fils N] [--seulement TEXTE] [largeur hauteur]
//
// --tours: rounds per row (7); --fils: threads for every side (one per core); --seulement: only
// the rows whose name holds TEXTE.
//
// Fairness. The program runs itself twice, and prints both tables: once on ordinary 4 KB pages
// for everyone (our pictures too), once with 2 MB pages for everyone (ours by madvise, the
// libraries' through glibc's malloc, GLIBC_TUNABLES=glibc.malloc.hugetlb=1). Inputs are made
// before the timed region (the libraries' inputs as their own images in memory, GraphicsMagick's
// already its private copy); results are freed after it; every encode goes to memory, except in
// the commit row where all three write a file and flush it to disk (fdatasync), as the program's
// atomic write does. The sides take turns within each round (the order turning round by round);
// the table gives the minimum and the median of the rounds, the medians' ratios, and the
// machine's load average (1 minute) when the row ended. Every side is given the same number of
// threads (--fils, printed with each table).
//
// Every output is compared, pixel by pixel and channel by channel, with a reference computed here
// in double precision from the documented formulas (decodes: another decoder's output; encodes:
// the source picture), and checked against the tolerance stated on its row: largest difference,
// mean difference, and the difference that 99.9 % of the channel values stay within.
#include "commun.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/controleimage.h"
#include "platform/imaging/photo.h"
#include "platform/imaging/pixels.h"

#include <Magick++.h>
#include <vips/vips.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace image = kal::image;

namespace {

constexpr double Pi = 3.14159265358979323846;
int tours = 7;
int nbFils = 0;  // threads every side may use (one per core unless given)
std::string seulement;

bool garder(const char* nom) { return seulement.empty() || std::string(nom).find(seulement) != std::string::npos; }

// ---- pictures ----------------------------------------------------------------------------------

// A photo-like picture: smooth light, shapes with sharp edges, fine grain.
QImage photoGeneree(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    image::enParallele(h, 64, [&](int y0, int y1) {
        std::mt19937 g(y0 * 7919u + 1);
        for (int y = y0; y < y1; ++y) {
            auto* l = reinterpret_cast<uint32_t*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double u = double(x) / w, v = double(y) / h;
                double r = 90 + 120 * u + 30 * std::sin(v * 17), gg = 70 + 100 * v + 25 * std::cos(u * 23),
                       b = 140 - 60 * u * v;
                const double dx = u - 0.5, dy = v - 0.45;
                if (dx * dx + dy * dy < 0.04) { r = 210; gg = 60; b = 50; }
                if ((x / 300 + y / 300) % 7 == 0) { r *= 0.5; gg *= 0.6; b *= 0.9; }
                const int n = int(g() % 17) - 8;
                auto c = [&](double q) { return std::clamp(int(q) + n, 0, 255); };
                l[x] = 0xFF000000u | (c(r) << 16) | (c(gg) << 8) | c(b);
            }
        }
    });
    return img;
}

std::vector<unsigned char> enRgb888(const QImage& img)
{
    std::vector<unsigned char> v(size_t(img.width()) * img.height() * 3);
    image::enParallele(img.height(), 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* s = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
            unsigned char* d = &v[size_t(y) * img.width() * 3];
            for (int x = 0; x < img.width(); ++x) {
                d[3 * x] = (s[x] >> 16) & 0xFF;
                d[3 * x + 1] = (s[x] >> 8) & 0xFF;
                d[3 * x + 2] = s[x] & 0xFF;
            }
        }
    });
    return v;
}

QImage depuisRgb888(const unsigned char* p, int w, int h, int bandes = 3)
{
    QImage img(w, h, QImage::Format_RGB32);
    image::enParallele(h, 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* d = reinterpret_cast<uint32_t*>(img.scanLine(y));
            const unsigned char* s = p + size_t(y) * w * bandes;
            for (int x = 0; x < w; ++x) {
                const unsigned char* q = s + size_t(x) * bandes;
                d[x] = bandes >= 3 ? qRgb(q[0], q[1], q[2]) : qRgb(q[0], q[0], q[0]);
            }
        }
    });
    return img;
}

QImage depuisGm(const Magick::Image& i)
{
    Magick::Image m = i;
    const int w = int(m.columns()), h = int(m.rows());
    QImage img(w, h, QImage::Format_RGB32);
    m.write(0, 0, w, h, "BGRP", Magick::CharPixel, img.bits());
    for (int y = 0; y < h; ++y) {
        auto* l = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            l[x] |= 0xFF000000u;
    }
    return img;
}

QImage decoderQt(const QByteArray& octets)
{
    QBuffer b;
    b.setData(octets);
    QImageReader r(&b, "jpeg");
    return r.read().convertToFormat(QImage::Format_RGB32);
}

QByteArray lire(const QString& chemin)
{
    QFile f(chemin);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void synchroniser(const char* chemin)
{
    const int fd = ::open(chemin, O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
}

// ---- references, in double precision from the documented formulas ------------------------------

inline int rond(double v) { return std::clamp(int(std::lround(v)), 0, 255); }

QImage refReglages(const QImage& src, const image::Reglages& r)
{
    const int w = src.width(), h = src.height();
    const double gc = r.contraste <= 0 ? 1.0 + r.contraste / 1000.0 : 1.0 / (1.0 - 0.999 * r.contraste / 1000.0);
    const double t = r.teinte * Pi / 180, co = std::cos(t), si = std::sin(t);
    const double a = co + (1 - co) / 3, b = (1 - co) / 3 - si / std::sqrt(3.0), c = (1 - co) / 3 + si / std::sqrt(3.0);
    const int di = int(std::lround(r.intensite * 255.0 / 1000.0));
    const double k = r.nettete > 0 ? 2.0 * r.nettete / 1000.0 : r.nettete / 1000.0;
    const double f = 1 + r.saturation / 1000.0;
    // Stage A (contrast, colour, intensity) on every pixel, in three planes.
    std::vector<std::array<uint8_t, 3>> A(size_t(w) * h);
    image::enParallele(h, 16, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const auto* s = reinterpret_cast<const uint32_t*>(src.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                double p[3] = {double(qRed(s[x])), double(qGreen(s[x])), double(qBlue(s[x]))};
                if (r.contraste)
                    for (double& v : p)
                        v = rond(127.5 + (v - 127.5) * gc);
                if (r.teinte) {
                    const double q[3] = {a * p[0] + b * p[1] + c * p[2], c * p[0] + a * p[1] + b * p[2], b * p[0] + c * p[1] + a * p[2]};
                    for (int i = 0; i < 3; ++i)
                        p[i] = rond(q[i]);
                }
                auto& o = A[size_t(y) * w + x];
                for (int i = 0; i < 3; ++i)
                    o[i] = uint8_t(std::clamp(int(p[i]) + di, 0, 255));
            }
        }
    });
    QImage dst(w, h, QImage::Format_RGB32);
    image::enParallele(h, 16, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* d = reinterpret_cast<uint32_t*>(dst.scanLine(y));
            for (int x = 0; x < w; ++x) {
                double p[3];
                for (int i = 0; i < 3; ++i) {
                    const double v = A[size_t(y) * w + x][i];
                    if (!r.nettete) {
                        p[i] = v;
                        continue;
                    }
                    double B = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int yy = std::clamp(y + dy, 0, h - 1), xx = std::clamp(x + dx, 0, w - 1);
                            B += A[size_t(yy) * w + xx][i] * (dx ? 1 : 2) * (dy ? 1 : 2);
                        }
                    p[i] = rond(v + k * (v - B / 16));
                }
                if (r.saturation) {
                    const double L = std::floor((77 * p[0] + 150 * p[1] + 29 * p[2] + 128) / 256);
                    for (double& v : p)
                        v = rond(L + (v - L) * f);
                }
                d[x] = qRgb(int(p[0]), int(p[1]), int(p[2]));
            }
        }
    });
    return dst;
}

QImage refRotation(const QImage& src, double degres, QRgb fond)
{
    const int w = src.width(), h = src.height();
    const double an = degres * Pi / 180, co = std::cos(an), si = std::sin(an);
    const int W = int(std::lround(w * std::abs(co) + h * std::abs(si))), H = int(std::lround(w * std::abs(si) + h * std::abs(co)));
    QImage dst(W, H, QImage::Format_RGB32);
    auto at = [&](int x, int y, int c) -> double {
        const QRgb p = (x < 0 || y < 0 || x >= w || y >= h) ? fond : reinterpret_cast<const QRgb*>(src.constScanLine(y))[x];
        return c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p);
    };
    image::enParallele(H, 16, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* d = reinterpret_cast<uint32_t*>(dst.scanLine(y));
            for (int x = 0; x < W; ++x) {
                const double dx = x + 0.5 - W / 2.0, dy = y + 0.5 - H / 2.0;
                const double sx = dx * co + dy * si + w / 2.0 - 0.5, sy = -dx * si + dy * co + h / 2.0 - 0.5;
                const int x0 = int(std::floor(sx)), y0b = int(std::floor(sy));
                const double fx = sx - x0, fy = sy - y0b;
                int v[3];
                for (int c = 0; c < 3; ++c)
                    v[c] = rond((at(x0, y0b, c) * (1 - fx) + at(x0 + 1, y0b, c) * fx) * (1 - fy) +
                                (at(x0, y0b + 1, c) * (1 - fx) + at(x0 + 1, y0b + 1, c) * fx) * fy);
                d[x] = qRgb(v[0], v[1], v[2]);
            }
        }
    });
    return dst;
}

// Triangle filter widened to the reduction ratio, down then across, without rounding between.
QImage refReechantillonnage(const QImage& src, int W, int H)
{
    const int w = src.width(), h = src.height();
    auto poids = [](int n, int m) {
        std::vector<std::vector<std::pair<int, double>>> t(static_cast<size_t>(m));
        const double e = double(n) / m, s = std::max(1.0, e);
        for (int o = 0; o < m; ++o) {
            const double c = (o + 0.5) * e;
            double total = 0;
            for (int i = std::max(0, int(std::floor(c - s))); i < std::min(n, int(std::ceil(c + s))); ++i) {
                const double q = std::max(0.0, 1 - std::abs((i + 0.5 - c) / s));
                if (q > 0)
                    t[size_t(o)].push_back({i, q});
                total += q;
            }
            for (auto& p : t[size_t(o)])
                p.second /= total;
        }
        return t;
    };
    const auto py = poids(h, H), px = poids(w, W);
    std::vector<double> inter(size_t(w) * H * 3);
    image::enParallele(H, 8, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            for (const auto& [i, q] : py[size_t(y)]) {
                const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(i));
                double* d = &inter[size_t(y) * w * 3];
                for (int x = 0; x < w; ++x) {
                    d[3 * x] += q * qRed(s[x]);
                    d[3 * x + 1] += q * qGreen(s[x]);
                    d[3 * x + 2] += q * qBlue(s[x]);
                }
            }
    });
    QImage dst(W, H, QImage::Format_RGB32);
    image::enParallele(H, 8, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* d = reinterpret_cast<uint32_t*>(dst.scanLine(y));
            const double* s = &inter[size_t(y) * w * 3];
            for (int x = 0; x < W; ++x) {
                double v[3] = {0, 0, 0};
                for (const auto& [i, q] : px[size_t(x)])
                    for (int c = 0; c < 3; ++c)
                        v[c] += q * s[3 * i + c];
                d[x] = qRgb(rond(v[0]), rond(v[1]), rond(v[2]));
            }
        }
    });
    return dst;
}

// ---- pixel check -------------------------------------------------------------------------------

struct Tolerance {
    int max;          // largest difference of a channel
    double moyenne;   // mean difference
    int p999;         // 99.9 % of the channel values differ by at most this
    bool recentrer = false;  // rotations: sizes may differ by a few pixels; the centred common part,
                             // without its outer 3 pixels, is compared
};

struct Ecart {
    bool tailles = true;
    int max = 0, p999 = 0;
    double moyenne = 0;
    bool dans(const Tolerance& t) const { return tailles && max <= t.max && moyenne <= t.moyenne && p999 <= t.p999; }
};

Ecart comparer(const QImage& a, const QImage& ref, const Tolerance& t)
{
    Ecart e;
    if (a.isNull() || (!t.recentrer && a.size() != ref.size()) ||
        (t.recentrer && (std::abs(a.width() - ref.width()) > 8 || std::abs(a.height() - ref.height()) > 8))) {
        e.tailles = false;
        return e;
    }
    const int w = std::min(a.width(), ref.width()), h = std::min(a.height(), ref.height());
    const int ax = (a.width() - w) / 2, ay = (a.height() - h) / 2, rx = (ref.width() - w) / 2, ry = (ref.height() - h) / 2;
    const int m = t.recentrer ? 3 : 0;
    std::vector<std::array<qint64, 256>> hist(std::max(1u, std::thread::hardware_concurrency()) * 4);
    std::atomic<int> prochain{0};
    image::enParallele(int(hist.size()), 1, [&](int b0, int b1) {
        for (int b = b0; b < b1; ++b) {
            auto& hh = hist[size_t(b)];
            hh.fill(0);
            const int y0 = m + (h - 2 * m) * b / int(hist.size()), y1 = m + (h - 2 * m) * (b + 1) / int(hist.size());
            for (int y = y0; y < y1; ++y) {
                const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y + ay)) + ax;
                const auto* q = reinterpret_cast<const QRgb*>(ref.constScanLine(y + ry)) + rx;
                for (int x = m; x < w - m; ++x) {
                    ++hh[size_t(std::abs(qRed(p[x]) - qRed(q[x])))];
                    ++hh[size_t(std::abs(qGreen(p[x]) - qGreen(q[x])))];
                    ++hh[size_t(std::abs(qBlue(p[x]) - qBlue(q[x])))];
                }
            }
        }
    });
    (void)prochain;
    std::array<qint64, 256> tot{};
    for (const auto& hh : hist)
        for (int i = 0; i < 256; ++i)
            tot[size_t(i)] += hh[size_t(i)];
    qint64 n = 0;
    double somme = 0;
    for (int i = 0; i < 256; ++i) {
        n += tot[size_t(i)];
        somme += double(i) * double(tot[size_t(i)]);
        if (tot[size_t(i)])
            e.max = i;
    }
    e.moyenne = n ? somme / double(n) : 0;
    qint64 cumul = 0;
    for (int i = 0; i < 256; ++i) {
        cumul += tot[size_t(i)];
        if (double(cumul) >= 0.999 * double(n)) {
            e.p999 = i;
            break;
        }
    }
    return e;
}

// ---- one row ---------------------------------------------------------------------------------------

// One side of a row: what is made before its timed region, the timed work, its result as a
// picture (after the rounds), and what frees the result (after the timed region).
struct Cote {
    std::function<void()> preparer;
    std::function<void()> executer;
    std::function<QImage()> resultat;
    std::function<void()> liberer;
};

struct Stats {
    double min = 0, mediane = 0;
    Ecart ecart;
    bool mesure = false;
};

std::vector<std::string> echecs;

// The machine's load average over the last minute, as the row ends.
double chargeMachine()
{
    std::ifstream f("/proc/loadavg");
    double c = -1;
    f >> c;
    return c;
}

void ligne(const char* nom, Cote notre, Cote gm, Cote vips, const QImage& reference, const Tolerance& t)
{
    Cote* cotes[3] = {&notre, &gm, &vips};
    std::vector<double> ms[3];
    for (int tour = 0; tour < tours; ++tour) {
        for (int k = 0; k < 3; ++k) {
            Cote& c = *cotes[(tour + k) % 3];
            if (!c.executer)
                continue;
            if (c.preparer)
                c.preparer();
            ms[(tour + k) % 3].push_back(kalbench::duree(c.executer));
            if (tour + 1 < tours && c.liberer)
                c.liberer();
        }
    }
    Stats s[3];
    for (int k = 0; k < 3; ++k) {
        if (ms[k].empty())
            continue;
        std::sort(ms[k].begin(), ms[k].end());
        s[k].mesure = true;
        s[k].min = ms[k].front();
        s[k].mediane = ms[k][ms[k].size() / 2];
        s[k].ecart = comparer(cotes[k]->resultat(), reference, t);
        if (cotes[k]->liberer)
            cotes[k]->liberer();
    }
    auto temps = [&](const Stats& x) {
        char b[32];
        if (!x.mesure)
            std::snprintf(b, sizeof b, "%15s", "-");
        else
            std::snprintf(b, sizeof b, "%7.1f %7.1f", x.min, x.mediane);
        return std::string(b);
    };
    auto ratio = [&](const Stats& x) {
        char b[16];
        if (!x.mesure || !s[0].mesure)
            std::snprintf(b, sizeof b, "%7s", "-");
        else
            std::snprintf(b, sizeof b, "%6.2fx", x.mediane / s[0].mediane);
        return std::string(b);
    };
    auto verdict = [&](const Stats& x, const char* qui) {
        if (!x.mesure)
            return std::string("   -   ");
        const bool ok = x.ecart.dans(t);
        if (!ok)
            echecs.push_back(std::string(nom) + " (" + qui + ")");
        char b[64];
        if (!x.ecart.tailles)
            std::snprintf(b, sizeof b, "FAIL size");
        else
            std::snprintf(b, sizeof b, "%s %d/%.2f/%d", ok ? "PASS" : "FAIL", x.ecart.max, x.ecart.moyenne, x.ecart.p999);
        return std::string(b);
    };
    std::printf("%-40s %s  %s  %s  %s %s   %-18s %-18s %-18s  [%d/%.2f/%d]  %5.2f\n", nom, temps(s[0]).c_str(),
                temps(s[1]).c_str(), temps(s[2]).c_str(), ratio(s[1]).c_str(), ratio(s[2]).c_str(),
                verdict(s[0], "ours").c_str(), verdict(s[1], "GM").c_str(), verdict(s[2], "vips").c_str(), t.max, t.moyenne,
                t.p999, chargeMachine());
    std::fflush(stdout);
}

// ---- the libraries' pipelines ----------------------------------------------------------------------

// The arithmetic of the five adjustments as the libraries take it: contrast and intensity as a
// gain and an offset per channel, the colour turn and the saturation as 3 x 3 colour matrices, the
// sharpness as a 3 x 3 convolution.
struct Formules {
    double gainC, offC, offI, hue[9], sharpen[9], sat[9];
    explicit Formules(const image::Reglages& r)
    {
        gainC = r.contraste <= 0 ? 1.0 + r.contraste / 1000.0 : 1.0 / (1.0 - 0.999 * r.contraste / 1000.0);
        offC = 127.5 * (1 - gainC);
        offI = std::round(r.intensite * 255.0 / 1000.0);
        const double t = r.teinte * Pi / 180, co = std::cos(t), si = std::sin(t);
        const double a = co + (1 - co) / 3, b = (1 - co) / 3 - si / std::sqrt(3.0), d = (1 - co) / 3 + si / std::sqrt(3.0);
        const double h[9] = {a, b, d, d, a, b, b, d, a};
        std::copy(h, h + 9, hue);
        const double k = r.nettete > 0 ? 2.0 * r.nettete / 1000.0 : r.nettete / 1000.0;
        const double bin[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
        for (int i = 0; i < 9; ++i)
            sharpen[i] = (i == 4 ? 1 + k : 0) - k * bin[i] / 16;
        const double f = 1 + r.saturation / 1000.0, L[3] = {77 / 256.0, 150 / 256.0, 29 / 256.0};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                sat[i * 3 + j] = (1 - f) * L[j] + (i == j ? f : 0);
    }
};

// The chain as a libvips user writes it, each operation giving what the next takes: contrast and
// intensity as a gain and offset giving 8 bits, the colour turn and the saturation as 3 x 3
// matrices, each brought back to 8 bits (libvips 8.14 has no clip of its own, and the stage after
// the turn must start from clipped values, or the check fails by up to 13 levels), the sharpness
// as a 3 x 3 integer convolution on the 8 bits, which gives 8 bits itself.
VipsImage* vipsLineaire8(VipsImage* in, double gain, double decalage)
{
    double a[3] = {gain, gain, gain}, b[3] = {decalage + 0.5, decalage + 0.5, decalage + 0.5};
    VipsImage* c = nullptr;
    vips_linear(in, &c, a, b, 3, "uchar", TRUE, NULL);
    return c;
}

// in is taken (unreferenced); the result is the five adjustments, 8 bits.
VipsImage* vipsCinq(VipsImage* in, const Formules& f, bool teinte, bool saturation)
{
    VipsImage* mh = vips_image_new_matrix_from_array(3, 3, f.hue, 9);
    VipsImage* ms = vips_image_new_matrix_from_array(3, 3, f.sat, 9);
    // The sharpness matrix in whole numbers over its scale (the amount is in thousandths, the
    // binomial mean in sixteenths).
    double entiers[9];
    for (int i = 0; i < 9; ++i)
        entiers[i] = std::round(f.sharpen[i] * 16000);
    VipsImage* mk = vips_image_new_matrix_from_array(3, 3, entiers, 9);
    vips_image_set_double(mk, "scale", 16000);
    VipsImage* x = nullptr;
    auto prendre = [&](VipsImage* nouvelle) {
        g_object_unref(in);
        in = nouvelle;
    };
    prendre(vipsLineaire8(in, f.gainC, f.offC));
    if (teinte) {
        vips_recomb(in, &x, mh, NULL);
        prendre(vipsLineaire8(x, 1, 0));
        g_object_unref(x);
    }
    prendre(vipsLineaire8(in, 1, f.offI));
    vips_conv(in, &x, mk, "precision", VIPS_PRECISION_INTEGER, NULL);
    prendre(x);
    if (saturation) {
        vips_recomb(in, &x, ms, NULL);
        prendre(vipsLineaire8(x, 1, 0));
        g_object_unref(x);
    }
    for (VipsImage* m : {mh, ms, mk})
        g_object_unref(m);
    return in;
}

void gmCinq(Magick::Image& i, const Formules& f, bool teinte, bool saturation)
{
    const double mc[25] = {f.gainC, 0, 0, 0, f.offC / 255, 0, f.gainC, 0, 0, f.offC / 255, 0, 0, f.gainC, 0, f.offC / 255,
                           0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    i.colorMatrix(5, mc);
    if (teinte)
        i.colorMatrix(3, f.hue);
    const double mi[25] = {1, 0, 0, 0, f.offI / 255, 0, 1, 0, 0, f.offI / 255, 0, 0, 1, 0, f.offI / 255,
                           0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    i.colorMatrix(5, mi);
    i.convolve(3, f.sharpen);
    if (saturation)
        i.colorMatrix(3, f.sat);
}

struct TamponVips {
    void* p = nullptr;
    size_t n = 0;
    int w = 0, h = 0, bandes = 3;
    void liberer()
    {
        g_free(p);
        p = nullptr;
    }
    void prendre(VipsImage* im)
    {
        w = im->Xsize;
        h = im->Ysize;
        bandes = im->Bands;
        p = vips_image_write_to_memory(im, &n);
        g_object_unref(im);
    }
    QImage image() const { return p ? depuisRgb888(static_cast<const unsigned char*>(p), w, h, bandes) : QImage(); }
};

long anonHugePages()
{
    std::ifstream f("/proc/self/smaps_rollup");
    std::string l;
    while (std::getline(f, l))
        if (l.rfind("AnonHugePages:", 0) == 0)
            return std::stol(l.substr(14));
    return -1;
}

int executer(int argc, char** argv, bool grandes, int W, int H)
{
    QApplication app(argc, argv);
    QImageReader::setAllocationLimit(0);  // the references of turned pictures are larger than Qt's default wall
    Magick::InitializeMagick(argv[0]);
    if (VIPS_INIT(argv[0]))
        return 1;
    vips_cache_set_max(0);
    // The same number of threads for the three sides.
    image::definirFils(nbFils);
    vips_concurrency_set(nbFils);
    MagickLib::SetMagickResourceLimit(MagickLib::ThreadsResource, static_cast<unsigned long>(nbFils));
    image::definirGrandesPages(grandes);
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("== %s: ours %s, libraries' malloc %s (GLIBC_TUNABLES=%s); %u cores; %d threads for every side "
                "(ours %d, GM %lu, vips %d); %d rounds\n",
                grandes ? "2 MB pages for everyone" : "ordinary 4 KB pages for everyone",
                grandes ? "madvise(MADV_HUGEPAGE)" : "no madvise", grandes ? "madvised" : "plain", tunables ? tunables : "",
                std::thread::hardware_concurrency(), nbFils, image::fils(),
                static_cast<unsigned long>(MagickLib::GetMagickResourceLimit(MagickLib::ThreadsResource)), vips_concurrency_get(), tours);
    std::printf("%-40s %15s  %15s  %15s  %7s %7s   %-18s %-18s %-18s  %-24s  %s\n", "row (ms: min median)", "ours", "GM", "vips",
                "GM/ours", "vips/o.", "check ours", "check GM", "check vips", "tolerance max/mean/99.9%", "load");

    QTemporaryDir dossier(QDir::tempPath() + "/bench_imagerie-XXXXXX");
    const QImage photo = photoGeneree(W, H);
    const std::vector<unsigned char> rgb = enRgb888(photo);
    // Two files of the same photo at the work-copy quality (factor 20: encoder quality 82): ours,
    // with a restart marker after every row of blocks (as cameras and our work copies have), and
    // one written by libvips without restart markers.
    const QString fichier = dossier.filePath("photo.jpg"), fichierSans = dossier.filePath("sans_reprises.jpg");
    image::ecrireFichier(photo, fichier, image::code::JPEG, 24, 20);
    {
        VipsImage* v = vips_image_new_from_memory(rgb.data(), rgb.size(), W, H, 3, VIPS_FORMAT_UCHAR);
        vips_jpegsave(v, fichierSans.toUtf8().constData(), "Q", image::qualiteEncodeur(20), NULL);
        g_object_unref(v);
    }
    const std::string f1 = fichier.toStdString(), f0 = fichierSans.toStdString();
    const QByteArray octets1 = lire(fichier), octets0 = lire(fichierSans);
    const QImage decode1 = decoderQt(octets1), decode0 = decoderQt(octets0);

    const image::Reglages cinq{.contraste = 250, .teinte = 20, .intensite = 80, .nettete = 300, .saturation = 400};
    const Formules f(cinq);
    const QSize affichage = image::Photo::tailleApercu(QSize(W, H));
    const int ecranL = 800, ecranH = int(std::lround(800.0 * H / W));
    QImage ecran(ecranL, ecranH, QImage::Format_RGB32);

    // ---- the program's paths ----
    std::printf("-- the program's paths (the imaging control, as the windows use it)\n");
    for (int sans = 0; sans < 2 && garder("file -> first display"); ++sans) {
        const std::string& fs = sans ? f0 : f1;
        const QString fq = QString::fromStdString(fs);
        const QImage ref = refReechantillonnage(sans ? decode0 : decode1, affichage.width(), affichage.height());
        std::unique_ptr<kal::ControleImage> c;
        Cote notre{[&] {
                       c = std::make_unique<kal::ControleImage>();
                       c->placer(0, 0, ecranL * 15, ecranH * 15);
                   },
                   [&] {
                       c->lirefichier(fq);
                       c->widget()->render(&ecran);
                   },
                   [&] { return c->bitmap().apercu(); }, [&] { c.reset(); }};
        Magick::Image gmi;
        Cote gm{nullptr,
                [&] {
                    gmi = Magick::Image();
                    gmi.size(Magick::Geometry(affichage.width(), affichage.height()));
                    gmi.read(fs);
                    gmi.filterType(Magick::TriangleFilter);
                    Magick::Geometry g(affichage.width(), affichage.height());
                    g.aspect(true);
                    gmi.resize(g);
                },
                [&] { return depuisGm(gmi); }, [&] { gmi = Magick::Image(); }};
        TamponVips tv;
        Cote vipsVignette{nullptr,
                          [&] {
                              VipsImage* im = nullptr;
                              vips_thumbnail(fs.c_str(), &im, affichage.width(), "height", affichage.height(), "size",
                                             VIPS_SIZE_FORCE, NULL);
                              tv.prendre(im);
                          },
                          [&] { return tv.image(); }, [&] { tv.liberer(); }};
        Cote vipsReduit{nullptr,
                        [&] {
                            VipsImage *a = nullptr, *b = nullptr;
                            vips_jpegload(fs.c_str(), &a, "shrink", 2, NULL);
                            vips_resize(a, &b, double(affichage.width()) / a->Xsize, "vscale",
                                        double(affichage.height()) / a->Ysize, "kernel", VIPS_KERNEL_LINEAR, NULL);
                            g_object_unref(a);
                            tv.prendre(b);
                        },
                        [&] { return tv.image(); }, [&] { tv.liberer(); }};
        const Tolerance t{32, 1.0, 10};
        ligne(sans ? "file -> first display, no restart mk" : "file -> first display, restart markers", notre, gm, vipsVignette, ref, t);
        ligne(sans ? "  (vips: shrink-on-load + linear)" : "  (vips: shrink-on-load + linear) ", notre, {}, vipsReduit, ref, t);
    }
    if (garder("slider value -> repainted display")) {
        // A slider value: the workbench puts the saved picture (four adjustments done) back in the
        // control, then the slider's own value, and the control repaints. The libraries start from
        // the same display copy in memory and give the picture at the screen's size.
        kal::ControleImage base;
        base.placer(0, 0, ecranL * 15, ecranH * 15);
        base.lirefichier(fichier);
        base.teinte(20);
        base.intensite(80);
        base.nettete(300);
        base.saturation(400);
        base.widget()->render(&ecran);
        const QImage copie = base.bitmap().apercu();
        const std::vector<unsigned char> copieRgb = enRgb888(copie);
        kal::ControleImage c;
        c.placer(0, 0, ecranL * 15, ecranH * 15);
        int v = 300;
        Cote notre{nullptr,
                   [&] {
                       c.definirBitmap(base.bitmap());
                       c.contraste(v);
                       c.widget()->render(&ecran);
                   },
                   [&] { return ecran.copy(); }, [&] { c.vider(); }};
        Magick::Image source(copie.width(), copie.height(), "RGB", Magick::CharPixel, copieRgb.data()), gmi;
        const Formules fv(image::Reglages{.contraste = v});
        Cote gm{[&] {
                    gmi = source;
                    gmi.modifyImage();
                },
                [&] {
                    const double mc[25] = {fv.gainC, 0, 0, 0, fv.offC / 255, 0, fv.gainC, 0, 0, fv.offC / 255, 0, 0, fv.gainC, 0,
                                           fv.offC / 255, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
                    gmi.colorMatrix(5, mc);
                    gmi.filterType(Magick::TriangleFilter);
                    Magick::Geometry g(ecranL, ecranH);
                    g.aspect(true);
                    gmi.resize(g);
                },
                [&] { return depuisGm(gmi); }, [&] { gmi = Magick::Image(); }};
        TamponVips tv;
        VipsImage* entree = nullptr;
        Cote vips{[&] { entree = vips_image_new_from_memory(copieRgb.data(), copieRgb.size(), copie.width(), copie.height(), 3, VIPS_FORMAT_UCHAR); },
                  [&] {
                      VipsImage* b = nullptr;
                      VipsImage* a8 = vipsLineaire8(entree, fv.gainC, fv.offC);
                      vips_resize(a8, &b, double(ecranL) / copie.width(), "vscale", double(ecranH) / copie.height(), "kernel",
                                  VIPS_KERNEL_LINEAR, NULL);
                      for (VipsImage* x : {a8, entree})
                          g_object_unref(x);
                      tv.prendre(b);
                  },
                  [&] { return tv.image(); }, [&] { tv.liberer(); }};
        const QImage ref = refReechantillonnage(refReglages(copie, {.contraste = v}), ecranL, ecranH);
        ligne("slider value -> repainted display", notre, gm, vips, ref, Tolerance{3, 0.6, 2});
    }
    // The commit and the print start from a picture already read: ours holds the file's bytes (and
    // its display copy), the libraries get the same bytes in memory, and every side decodes them
    // in its timed region.
    const Magick::Blob blob1(octets1.constData(), size_t(octets1.size()));
    if (garder("commit: 5 adjustments + turn -> file")) {
        // Commit of the work copies: the picture decoded, five adjustments and a turn of 12.5
        // degrees, written at the work-copy quality. The three write a file and flush it to disk.
        const std::string sortie = dossier.filePath("engage.jpg").toStdString();
        const std::string sortieGm = dossier.filePath("engage_gm.jpg").toStdString(), sortieVips = dossier.filePath("engage_vips.jpg").toStdString();
        std::unique_ptr<kal::ControleImage> c;
        Cote notre{[&] {
                       c = std::make_unique<kal::ControleImage>();
                       c->lirefichier(fichier);
                       c->contraste(cinq.contraste);
                       c->teinte(cinq.teinte);
                       c->intensite(cinq.intensite);
                       c->nettete(cinq.nettete);
                       c->saturation(cinq.saturation);
                       c->rotation(1250, 1, 0xFFFFFF);
                   },
                   [&] { c->ecrirefichier(QString::fromStdString(sortie), image::code::JPEG, 24, 20); },
                   [&] { return decoderQt(lire(QString::fromStdString(sortie))); }, [&] { c.reset(); }};
        Magick::Image gmi;
        Cote gm{nullptr,
                [&] {
                    gmi = Magick::Image();
                    gmi.read(blob1);
                    gmCinq(gmi, f, true, true);
                    gmi.backgroundColor(Magick::Color("white"));
                    gmi.rotate(12.5);
                    gmi.quality(image::qualiteEncodeur(20));
                    gmi.write(sortieGm);
                    synchroniser(sortieGm.c_str());
                },
                [&] { return decoderQt(lire(QString::fromStdString(sortieGm))); }, [&] { gmi = Magick::Image(); }};
        Cote vips{nullptr,
                  [&] {
                      VipsImage *a = nullptr, *r = nullptr;
                      vips_jpegload_buffer(const_cast<char*>(octets1.constData()), size_t(octets1.size()), &a, NULL);
                      a = vipsCinq(a, f, true, true);
                      VipsArrayDouble* fond = vips_array_double_newv(3, 255.0, 255.0, 255.0);
                      vips_similarity(a, &r, "angle", 12.5, "background", fond, NULL);
                      vips_area_unref(VIPS_AREA(fond));
                      vips_jpegsave(r, sortieVips.c_str(), "Q", image::qualiteEncodeur(20), NULL);
                      g_object_unref(r);
                      g_object_unref(a);
                      synchroniser(sortieVips.c_str());
                  },
                  [&] { return decoderQt(lire(QString::fromStdString(sortieVips))); }, nullptr};
        const QImage ref = refRotation(refReglages(decode1, cinq), 12.5, qRgb(255, 255, 255));
        ligne("commit: 5 adjustments + turn -> file", notre, gm, vips, ref, Tolerance{255, 2.5, 24, true});
    }
    if (garder("print one object, full res -> 3000x2000")) {
        // Print of one object at full resolution: the picture with its five adjustments painted
        // into 3000 x 2000 device pixels (the printer's page is made before).
        const int pl = W / 2, ph = H / 2;
        QImage page(pl, ph, QImage::Format_RGB32);
        page.fill(Qt::white);
        std::unique_ptr<kal::ControleImage> c;
        Cote notre{[&] {
                       c = std::make_unique<kal::ControleImage>();
                       c->lirefichier(fichier);
                       c->contraste(cinq.contraste);
                       c->teinte(cinq.teinte);
                       c->intensite(cinq.intensite);
                       c->nettete(cinq.nettete);
                       c->saturation(cinq.saturation);
                   },
                   [&] {
                       QPainter p(&page);
                       c->rendudc(p, 0, 0, pl, ph);
                   },
                   [&] { return page.copy(); }, [&] { c.reset(); }};
        Magick::Image gmi;
        Cote gm{nullptr,
                [&] {
                    gmi = Magick::Image();
                    gmi.read(blob1);
                    gmCinq(gmi, f, true, true);
                    gmi.filterType(Magick::TriangleFilter);
                    Magick::Geometry g(pl, ph);
                    g.aspect(true);
                    gmi.resize(g);
                },
                [&] { return depuisGm(gmi); }, [&] { gmi = Magick::Image(); }};
        TamponVips tv;
        Cote vips{nullptr,
                  [&] {
                      VipsImage *a = nullptr, *r = nullptr;
                      vips_jpegload_buffer(const_cast<char*>(octets1.constData()), size_t(octets1.size()), &a, NULL);
                      a = vipsCinq(a, f, true, true);
                      vips_resize(a, &r, 0.5, "kernel", VIPS_KERNEL_LINEAR, NULL);
                      g_object_unref(a);
                      tv.prendre(r);
                  },
                  [&] { return tv.image(); }, [&] { tv.liberer(); }};
        const QImage ref = refReechantillonnage(refReglages(decode1, cinq), pl, ph);
        ligne("print one object, full res -> 3000x2000", notre, gm, vips, ref, Tolerance{4, 0.6, 3});
    }

    // ---- full-resolution operations, in memory ----
    {
        // The memory floor of a point operation: the picture's bytes copied on every thread into
        // a picture already in memory (its pages touched), the median of the rounds.
        QImage copie(photo.size(), QImage::Format_RGB32);
        copie.fill(0);
        std::vector<double> t;
        for (int tour = 0; tour < std::max(tours, 5); ++tour)
            t.push_back(kalbench::duree([&] {
                image::enParallele(H, 16, [&](int y0, int y1) {
                    std::memcpy(copie.scanLine(y0), photo.constScanLine(y0), size_t(y1 - y0) * size_t(photo.bytesPerLine()));
                });
            }));
        std::sort(t.begin(), t.end());
        std::printf("-- full-resolution operations, in memory (memory floor: a copy of the picture's %.0f MB into a "
                    "touched picture takes %.1f ms, median; load %.2f)\n",
                    double(photo.sizeInBytes()) / 1e6, t[t.size() / 2], chargeMachine());
    }
    for (int sans = 0; sans < 2 && garder("decode JPEG, restart markers / no restart markers"); ++sans) {
        const QByteArray& o = sans ? octets0 : octets1;
        QImage notreRes;
        Cote notre{nullptr, [&] { notreRes = image::lireDonnees(o); }, [&] { return notreRes; }, [&] { notreRes = QImage(); }};
        const Magick::Blob blob(o.constData(), size_t(o.size()));
        Magick::Image gmi;
        Cote gm{nullptr,
                [&] {
                    gmi = Magick::Image();
                    gmi.read(blob);
                },
                [&] { return depuisGm(gmi); }, [&] { gmi = Magick::Image(); }};
        TamponVips tv;
        Cote vips{nullptr,
                  [&] {
                      VipsImage* im = nullptr;
                      vips_jpegload_buffer(const_cast<char*>(o.constData()), size_t(o.size()), &im, NULL);
                      tv.prendre(im);
                  },
                  [&] { return tv.image(); }, [&] { tv.liberer(); }};
        ligne(sans ? "decode JPEG, no restart markers" : "decode JPEG, restart markers", notre, gm, vips, sans ? decode0 : decode1,
              Tolerance{1, 0.01, 0});
    }
    const Magick::Image sourceGm(W, H, "RGB", Magick::CharPixel, rgb.data());
    if (garder("five adjustments")) {
        QImage notreRes;
        Cote notre{nullptr, [&] { notreRes = image::appliquerReglages(photo, cinq); }, [&] { return notreRes; },
                   [&] { notreRes = QImage(); }};
        Magick::Image gmi;
        Cote gm{[&] {
                    gmi = sourceGm;
                    gmi.modifyImage();
                },
                [&] { gmCinq(gmi, f, true, true); }, [&] { return depuisGm(gmi); }, [&] { gmi = Magick::Image(); }};
        TamponVips tv;
        VipsImage* entree = nullptr;
        Cote vips{[&] { entree = vips_image_new_from_memory(rgb.data(), rgb.size(), W, H, 3, VIPS_FORMAT_UCHAR); },
                  [&] { tv.prendre(vipsCinq(entree, f, true, true)); }, [&] { return tv.image(); }, [&] { tv.liberer(); }};
        ligne("five adjustments", notre, gm, vips, refReglages(photo, cinq), Tolerance{4, 0.75, 3});
    }
    if (garder("rotation 12.5 degrees")) {
        QImage notreRes;
        Cote notre{nullptr, [&] { notreRes = image::tourner(photo, 1250, qRgb(255, 255, 255)); }, [&] { return notreRes; },
                   [&] { notreRes = QImage(); }};
        Magick::Image gmi;
        Cote gm{[&] {
                    gmi = sourceGm;
                    gmi.modifyImage();
                },
                [&] {
                    gmi.backgroundColor(Magick::Color("white"));
                    gmi.rotate(12.5);
                },
                [&] { return depuisGm(gmi); }, [&] { gmi = Magick::Image(); }};
        TamponVips tv;
        Cote vips{nullptr,
                  [&] {
                      VipsImage* src = vips_image_new_from_memory(rgb.data(), rgb.size(), W, H, 3, VIPS_FORMAT_UCHAR);
                      VipsImage* r = nullptr;
                      VipsArrayDouble* fond = vips_array_double_newv(3, 255.0, 255.0, 255.0);
                      vips_similarity(src, &r, "angle", 12.5, "background", fond, NULL);
                      vips_area_unref(VIPS_AREA(fond));
                      g_object_unref(src);
                      tv.prendre(r);
                  },
                  [&] { return tv.image(); }, [&] { tv.liberer(); }};
        ligne("rotation 12.5 degrees", notre, gm, vips, refRotation(photo, 12.5, qRgb(255, 255, 255)), Tolerance{255, 1.0, 12, true});
    }
    if (garder("resize to 50 %")) {
        QImage notreRes;
        Cote notre{nullptr, [&] { notreRes = image::reechantillonner(photo, W / 2, H / 2); }, [&] { return notreRes; },
                   [&] { notreRes = QImage(); }};
        Magick::Image gmi;
        Cote gm{[&] {
                    gmi = sourceGm;
                    gmi.modifyImage();
                },
                [&] {
                    gmi.filterType(Magick::TriangleFilter);
                    gmi.resize(Magick::Geometry(W / 2, H / 2));
                },
                [&] { return depuisGm(gmi); }, [&] { gmi = Magick::Image(); }};
        TamponVips tv;
        Cote vips{nullptr,
                  [&] {
                      VipsImage* src = vips_image_new_from_memory(rgb.data(), rgb.size(), W, H, 3, VIPS_FORMAT_UCHAR);
                      VipsImage* r = nullptr;
                      vips_resize(src, &r, 0.5, "kernel", VIPS_KERNEL_LINEAR, NULL);
                      g_object_unref(src);
                      tv.prendre(r);
                  },
                  [&] { return tv.image(); }, [&] { tv.liberer(); }};
        ligne("resize to 50 %", notre, gm, vips, refReechantillonnage(photo, W / 2, H / 2), Tolerance{2, 0.6, 1});
    }
    if (garder("JPEG encode (quality 82), to memory")) {
        QByteArray notreRes;
        Cote notre{nullptr, [&] { notreRes = image::encoderImage(photo, image::code::JPEG, 24, 20); },
                   [&] { return decoderQt(notreRes); }, [&] { notreRes = QByteArray(); }};
        Magick::Image gmi;
        Magick::Blob gb;
        Cote gm{[&] { gmi = sourceGm; },
                [&] {
                    gmi.quality(image::qualiteEncodeur(20));
                    gmi.magick("JPEG");
                    gmi.write(&gb);
                },
                [&] { return decoderQt(QByteArray(static_cast<const char*>(gb.data()), qsizetype(gb.length()))); },
                [&] {
                    gb = Magick::Blob();
                    gmi = Magick::Image();
                }};
        void* vb = nullptr;
        size_t vn = 0;
        Cote vips{nullptr,
                  [&] {
                      VipsImage* src = vips_image_new_from_memory(rgb.data(), rgb.size(), W, H, 3, VIPS_FORMAT_UCHAR);
                      vips_jpegsave_buffer(src, &vb, &vn, "Q", image::qualiteEncodeur(20), NULL);
                      g_object_unref(src);
                  },
                  [&] { return decoderQt(QByteArray(static_cast<const char*>(vb), qsizetype(vn))); },
                  [&] {
                      g_free(vb);
                      vb = nullptr;
                  }};
        ligne("JPEG encode (quality 82), to memory", notre, gm, vips, photo, Tolerance{96, 4.0, 20});
    }
    std::printf("AnonHugePages of the process at the end: %ld kB\n", anonHugePages());
    if (!echecs.empty()) {
        std::printf("pixel check FAILED:");
        for (const auto& e : echecs)
            std::printf(" %s;", e.c_str());
        std::printf("\n");
    }
    vips_shutdown();
    return echecs.empty() ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv)
{
    kalbench::horsEcran();
    std::string pages;
    std::vector<std::string> autres;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--pages" && i + 1 < argc)
            pages = argv[++i];
        else if (a == "--tours" && i + 1 < argc)
            tours = std::max(1, std::atoi(argv[++i]));
        else if (a == "--fils" && i + 1 < argc)
            nbFils = std::max(1, std::atoi(argv[++i]));
        else if (a == "--seulement" && i + 1 < argc)
            seulement = argv[++i];
        else
            autres.push_back(a);
    }
    const int W = autres.size() >= 2 ? std::atoi(autres[0].c_str()) : 6000;
    const int H = autres.size() >= 2 ? std::atoi(autres[1].c_str()) : 4000;
    if (nbFils <= 0)
        nbFils = int(std::max(1u, std::thread::hardware_concurrency()));
    if (pages.empty()) {
        // Both memory policies, each in a process of its own (glibc reads its tunables at start).
        std::string suite = " --tours " + std::to_string(tours) + " --fils " + std::to_string(nbFils) + " " + std::to_string(W) + " " + std::to_string(H);
        if (!seulement.empty())
            suite += " --seulement '" + seulement + "'";
        std::printf("Picture %d x %d. Transparent huge pages: ", W, H);
        std::fflush(stdout);
        std::system("cat /sys/kernel/mm/transparent_hugepage/enabled");
        int r1 = std::system(("env -u GLIBC_TUNABLES /proc/" + std::to_string(getpid()) + "/exe --pages ordinaires" + suite).c_str());
        int r2 = std::system(("env GLIBC_TUNABLES=glibc.malloc.hugetlb=1 /proc/" + std::to_string(getpid()) + "/exe --pages grandes" + suite).c_str());
        return (r1 == 0 && r2 == 0) ? 0 : 3;
    }
    return executer(argc, argv, pages == "grandes", W, H);
}
