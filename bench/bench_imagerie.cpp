// Speed of the imaging layer on a generated 6000 x 4000 photo, beside GraphicsMagick and libvips
// doing the same work in the same run. Each figure is the best of several runs, in milliseconds.
//
//   bench_imagerie [largeur hauteur]
//
// The five adjustments are the same arithmetic in the three: contrast and intensity as a gain and
// an offset per channel, the hue turn and the saturation as 3 x 3 colour matrices, the sharpness
// as a 3 x 3 convolution. Ours runs them as one pass; the libraries as five.
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/controleimage.h"
#include "platform/imaging/photo.h"
#include "platform/imaging/pixels.h"

#include <Magick++.h>
#include <vips/vips.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace image = kal::image;

namespace {

double mesurer(int essais, const std::function<void()>& f)
{
    double meilleur = 1e300;
    for (int i = 0; i < essais; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const auto t1 = std::chrono::steady_clock::now();
        meilleur = std::min(meilleur, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return meilleur;
}

// Processor time of the whole process (every thread), ms.
double tempsCpu()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

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

// Mean absolute difference (0..255) between our result and a packed RGB result of another library.
double ecart(const QImage& notre, const unsigned char* autre, int w, int h)
{
    if (notre.width() != w || notre.height() != h)
        return -1;
    double s = 0;
    for (int y = 0; y < h; y += 7) {
        auto* l = reinterpret_cast<const uint32_t*>(notre.constScanLine(y));
        const unsigned char* a = autre + size_t(y) * w * 3;
        for (int x = 0; x < w; x += 7)
            s += std::abs(int((l[x] >> 16) & 0xFF) - a[3 * x]) + std::abs(int((l[x] >> 8) & 0xFF) - a[3 * x + 1]) +
                 std::abs(int(l[x] & 0xFF) - a[3 * x + 2]);
    }
    return s / (3.0 * ((h + 6) / 7) * ((w + 6) / 7));
}

// The arithmetic of the five adjustments as the libraries take it.
struct Formules {
    double gainC, offC, offI, hue[9], sharpen[9], sat[9];
    explicit Formules(const image::Reglages& r)
    {
        gainC = r.contraste <= 0 ? 1.0 + r.contraste / 1000.0 : 1.0 / (1.0 - 0.999 * r.contraste / 1000.0);
        offC = 127.5 * (1 - gainC);
        offI = std::round(r.intensite * 255.0 / 1000.0);
        const double t = r.teinte * M_PI / 180, co = std::cos(t), si = std::sin(t);
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

struct Ligne;
void trio(Ligne& l, const std::function<void()>& fo, const std::function<void()>& fg, const std::function<void()>& fv);

struct Ligne {
    const char* nom;
    double notre, gm, vips;
    double ecartGm = -1, ecartVips = -1;
    double cpuNotre = 1e300, cpuGm = 1e300, cpuVips = 1e300;
};

// The three take turns, round after round, so that they meet the same machine load.
void trio(Ligne& l, const std::function<void()>& fo, const std::function<void()>& fg, const std::function<void()>& fv)
{
    l.notre = l.gm = l.vips = 1e300;
    auto un = [](const std::function<void()>& f, double& mur, double& cpu) {
        const double c0 = tempsCpu();
        mur = std::min(mur, mesurer(1, f));
        cpu = std::min(cpu, tempsCpu() - c0);
    };
    for (int i = 0; i < 5; ++i) {
        un(fo, l.notre, l.cpuNotre);
        un(fg, l.gm, l.cpuGm);
        un(fv, l.vips, l.cpuVips);
    }
}

void imprimer(const Ligne& l)
{
    auto ratio = [&](double autre) { return autre > 0 && l.notre > 0 ? autre / l.notre : 0.0; };
    std::printf("%-34s %9.1f %9.1f %9.1f   %6.2fx %6.2fx   %8.0f %8.0f %8.0f", l.nom, l.notre, l.gm, l.vips, ratio(l.gm),
                ratio(l.vips), l.cpuNotre, l.cpuGm, l.cpuVips);
    if (l.ecartGm >= 0 || l.ecartVips >= 0)
        std::printf("   (mean |diff| GM %.2f, vips %.2f)", l.ecartGm, l.ecartVips);
    std::printf("\n");
}

VipsImage* vipsDepuis(const std::vector<unsigned char>& rgb, int w, int h)
{
    return vips_image_new_from_memory(rgb.data(), rgb.size(), w, h, 3, VIPS_FORMAT_UCHAR);
}

// Runs a vips pipeline to the end into memory (the pipelines are lazy otherwise).
std::vector<unsigned char> vipsEnMemoire(VipsImage* im)
{
    size_t n = 0;
    void* p = vips_image_write_to_memory(im, &n);
    std::vector<unsigned char> v(static_cast<unsigned char*>(p), static_cast<unsigned char*>(p) + n);
    g_free(p);
    return v;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Magick::InitializeMagick(argv[0]);
    if (VIPS_INIT(argv[0]))
        return 1;
    vips_cache_set_max(0);

    const int W = argc > 2 ? std::atoi(argv[1]) : 6000, H = argc > 2 ? std::atoi(argv[2]) : 4000;
    const QSize affichage = QSize(W, H).scaled(1600, 1600, Qt::KeepAspectRatio);
    std::printf("Picture %d x %d, %u cores; display copy %d x %d. Best of several runs, ms.\n\n", W, H,
                std::thread::hardware_concurrency(), affichage.width(), affichage.height());
    std::printf("%-34s %9s %9s %9s   %7s %7s   %8s %8s %8s\n", "operation (wall ms; then CPU ms)", "ours", "GM", "vips",
                "GM/ours", "vips/ours", "cpu ours", "cpu GM", "cpu vips");

    QTemporaryDir dossier;
    const QString fichier = dossier.filePath("photo.jpg");
    const QImage photo = photoGeneree(W, H);
    image::ecrireFichier(photo, fichier, image::code::JPEG, 24, 20);  // quality factor 20: encoder 82
    const std::string fichierStd = fichier.toStdString();
    const std::vector<unsigned char> rgb = enRgb888(photo);

    // Decoding.
    {
        Ligne l{"decode JPEG, full size", 0, 0, 0};
        auto fo = [&] { image::lireFichier(fichier); };
        auto fg = [&] { Magick::Image i; i.read(fichierStd); };
        auto fv = [&] {
            VipsImage* i = vips_image_new_from_file(fichierStd.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, NULL);
            vipsEnMemoire(i);
            g_object_unref(i);
        };
        trio(l, fo, fg, fv);
        imprimer(l);
    }
    {
        Ligne l{"decode JPEG to display size", 0, 0, 0};
        auto fo = [&] {
            const QImage r = image::lireFichier(fichier, nullptr, affichage);
            image::reechantillonner(r, affichage.width(), affichage.height());
        };
        auto fg = [&] {
            Magick::Image i;
            i.size(Magick::Geometry(affichage.width(), affichage.height()));
            i.read(fichierStd);
            i.filterType(Magick::TriangleFilter);
            i.resize(Magick::Geometry(affichage.width(), affichage.height()));
        };
        auto fv = [&] {
            VipsImage* i = nullptr;
            vips_thumbnail(fichierStd.c_str(), &i, affichage.width(), NULL);
            vipsEnMemoire(i);
            g_object_unref(i);
        };
        trio(l, fo, fg, fv);
        imprimer(l);
    }
    {
        kal::ControleImage c;
        const double t = mesurer(3, [&] { c.lirefichier(fichier); c.bitmap().apercu(); });
        std::printf("%-34s %9.1f\n", "lirefichier (full + display copy)", t);
    }

    // The five adjustments at full resolution.
    const image::Reglages cinq{.contraste = 250, .teinte = 20, .intensite = 80, .nettete = 300, .saturation = 400};
    const Formules f(cinq);
    {
        Ligne l{"five adjustments, full resolution", 0, 0, 0};
        QImage notre;
        auto fo = [&] { notre = image::appliquerReglages(photo, cinq); };
        const Magick::Image source(W, H, "RGB", Magick::CharPixel, rgb.data());
        Magick::Image gmRes;
        auto fg = [&] {
            Magick::Image i = source;
            const double mc[25] = {f.gainC, 0, 0, 0, f.offC / 255, 0, f.gainC, 0, 0, f.offC / 255, 0, 0, f.gainC, 0, f.offC / 255,
                                   0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
            i.colorMatrix(5, mc);
            i.colorMatrix(3, f.hue);
            const double mi[25] = {1, 0, 0, 0, f.offI / 255, 0, 1, 0, 0, f.offI / 255, 0, 0, 1, 0, f.offI / 255,
                                   0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
            i.colorMatrix(5, mi);
            i.convolve(3, f.sharpen);
            i.colorMatrix(3, f.sat);
            i.modifyImage();
            i.getConstPixels(0, 0, 1, 1);
            gmRes = i;
        };
        std::vector<unsigned char> vipsOctets;
        auto fv = [&] {
            VipsImage* src = vipsDepuis(rgb, W, H);
            double gc[3] = {f.gainC, f.gainC, f.gainC}, oc[3] = {f.offC, f.offC, f.offC}, un[3] = {1, 1, 1},
                   oi[3] = {f.offI, f.offI, f.offI};
            VipsImage *a, *b, *c, *d, *e, *g;
            VipsImage* mh = vips_image_new_matrix_from_array(3, 3, f.hue, 9);
            VipsImage* ms = vips_image_new_matrix_from_array(3, 3, f.sat, 9);
            VipsImage* mk = vips_image_new_matrix_from_array(3, 3, f.sharpen, 9);
            vips_linear(src, &a, gc, oc, 3, NULL);
            vips_recomb(a, &b, mh, NULL);
            vips_linear(b, &c, un, oi, 3, NULL);
            vips_conv(c, &d, mk, "precision", VIPS_PRECISION_FLOAT, NULL);
            vips_recomb(d, &e, ms, NULL);
            vips_cast(e, &g, VIPS_FORMAT_UCHAR, NULL);
            vipsOctets = vipsEnMemoire(g);
            for (VipsImage* x : {src, a, b, c, d, e, g, mh, ms, mk})
                g_object_unref(x);
        };
        trio(l, fo, fg, fv);
        std::vector<unsigned char> gmOctets(size_t(W) * H * 3);
        gmRes.write(0, 0, W, H, "RGB", Magick::CharPixel, gmOctets.data());
        l.ecartGm = ecart(notre, gmOctets.data(), W, H);
        l.ecartVips = ecart(notre, vipsOctets.data(), W, H);
        imprimer(l);
    }

    // A slider move: the working base already holds the four other adjustments; the move adds
    // the slider's own and shows the result in an 800-pixel-wide control.
    {
        const image::Photo base(photo);
        base.apercu();
        const image::Photo sauvder = base.regle({.teinte = 20, .intensite = 80, .nettete = 300, .saturation = 400});
        const double reconstruction = mesurer(5, [&] {
            base.regle({.teinte = 21, .intensite = 80, .nettete = 300, .saturation = 400}).apercu();
        });
        sauvder.apercu();
        int v = 0;
        const double calcul = mesurer(20, [&] { sauvder.regle({.contraste = 10 + 10 * (v++ % 90)}).apercu(); });
        kal::ControleImage c;
        c.placer(0, 0, 800 * 15, 533 * 15);
        c.definirGammaaffichage(180);
        const double complet = mesurer(20, [&] {
            c.definirBitmap(sauvder);
            c.contraste(10 + 10 * (v++ % 90));
            c.widget()->grab();
        });
        std::printf("%-34s %9.1f\n", "slider move: display copy", calcul);
        std::printf("%-34s %9.1f\n", "slider move: copy + paint 800x533", complet);
        std::printf("%-34s %9.1f\n", "first move of another slider", reconstruction);
    }

    // Rotation by 12.5 degrees, white corners.
    {
        Ligne l{"rotation 12.5 degrees", 0, 0, 0};
        auto fo = [&] { image::tourner(photo, 1250, qRgb(255, 255, 255)); };
        const Magick::Image source(W, H, "RGB", Magick::CharPixel, rgb.data());
        auto fg = [&] {
            Magick::Image i = source;
            i.backgroundColor(Magick::Color("white"));
            i.rotate(12.5);
            i.getConstPixels(0, 0, 1, 1);
        };
        auto fv = [&] {
            VipsImage* src = vipsDepuis(rgb, W, H);
            VipsImage* r = nullptr;
            VipsArrayDouble* fond = vips_array_double_newv(3, 255.0, 255.0, 255.0);
            vips_similarity(src, &r, "angle", 12.5, "background", fond, NULL);
            vipsEnMemoire(r);
            vips_area_unref(VIPS_AREA(fond));
            g_object_unref(r);
            g_object_unref(src);
        };
        trio(l, fo, fg, fv);
        imprimer(l);
    }

    // Resize to half, linear (triangle) filter.
    {
        Ligne l{"resize to 50 %", 0, 0, 0};
        QImage notre;
        auto fo = [&] { notre = image::reechantillonner(photo, W / 2, H / 2); };
        const Magick::Image source(W, H, "RGB", Magick::CharPixel, rgb.data());
        Magick::Image gmRes;
        auto fg = [&] {
            Magick::Image i = source;
            i.filterType(Magick::TriangleFilter);
            i.resize(Magick::Geometry(W / 2, H / 2));
            gmRes = i;
        };
        std::vector<unsigned char> vipsOctets;
        auto fv = [&] {
            VipsImage* src = vipsDepuis(rgb, W, H);
            VipsImage* r = nullptr;
            vips_resize(src, &r, 0.5, "kernel", VIPS_KERNEL_LINEAR, NULL);
            vipsOctets = vipsEnMemoire(r);
            g_object_unref(r);
            g_object_unref(src);
        };
        trio(l, fo, fg, fv);
        std::vector<unsigned char> gmOctets(size_t(W / 2) * (H / 2) * 3);
        gmRes.write(0, 0, W / 2, H / 2, "RGB", Magick::CharPixel, gmOctets.data());
        l.ecartGm = ecart(notre, gmOctets.data(), W / 2, H / 2);
        l.ecartVips = ecart(notre, vipsOctets.data(), W / 2, H / 2);
        imprimer(l);
    }

    // JPEG encode at the work-copy quality (factor 20: encoder quality 82), to a file / a buffer.
    {
        Ligne l{"JPEG encode, quality 82", 0, 0, 0};
        const QString sortie = dossier.filePath("sortie.jpg");
        auto fo = [&] { image::ecrireFichier(photo, sortie, image::code::JPEG, 24, 20); };
        const Magick::Image source(W, H, "RGB", Magick::CharPixel, rgb.data());
        auto fg = [&] {
            Magick::Image i = source;
            i.quality(image::qualiteEncodeur(20));
            Magick::Blob b;
            i.magick("JPEG");
            i.write(&b);
        };
        auto fv = [&] {
            VipsImage* src = vipsDepuis(rgb, W, H);
            void* buf = nullptr;
            size_t n = 0;
            vips_jpegsave_buffer(src, &buf, &n, "Q", image::qualiteEncodeur(20), NULL);
            g_free(buf);
            g_object_unref(src);
        };
        trio(l, fo, fg, fv);
        imprimer(l);
    }
    vips_shutdown();
    return 0;
}
