// Memory held by the pictures a user works on: N photos of 24 megapixels, each read into its own
// imaging control, adjusted five times, turned and painted after every step, all kept on screen
// together. Measure the peak with /usr/bin/time -v (maximum resident set size); the program
// prints the time of each step and, per picture, what the control shows.
//
//   bench_memoire --preparer DOSSIER [N]   writes N different 6000 x 4000 JPEG photos (work-copy quality)
//   bench_memoire DOSSIER [N]              reads them all and keeps them shown
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/controleimage.h"
#include "platform/imaging/pixels.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace image = kal::image;

namespace {

double depuis(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Resident memory now (kB), from the system's own accounting.
long residente()
{
    std::ifstream f("/proc/self/status");
    std::string l;
    while (std::getline(f, l))
        if (l.rfind("VmRSS:", 0) == 0)
            return std::stol(l.substr(6));
    return -1;
}

QImage photo(int w, int h, unsigned graine)
{
    QImage img(w, h, QImage::Format_RGB32);
    image::enParallele(h, 64, [&](int y0, int y1) {
        std::mt19937 g(graine * 7919u + unsigned(y0));
        for (int y = y0; y < y1; ++y) {
            auto* l = reinterpret_cast<uint32_t*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double u = double(x) / w, v = double(y) / h;
                double r = 90 + 120 * u + 30 * std::sin(v * (11 + graine)), gg = 70 + 100 * v + 25 * std::cos(u * 23),
                       b = 140 - 60 * u * v;
                if ((x / (200 + 10 * int(graine)) + y / 300) % 7 == 0) { r *= 0.5; gg *= 0.6; b *= 0.9; }
                const int n = int(g() % 17) - 8;
                auto c = [&](double q) { return std::clamp(int(q) + n, 0, 255); };
                l[x] = 0xFF000000u | (c(r) << 16) | (c(gg) << 8) | c(b);
            }
        }
    });
    return img;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool preparer = !args.isEmpty() && args[0] == "--preparer";
    const QStringList reste = preparer ? args.mid(1) : args;
    if (reste.isEmpty()) {
        std::fprintf(stderr, "usage: bench_memoire [--preparer] DOSSIER [N]\n");
        return 2;
    }
    const QDir dossier(reste[0]);
    const int n = reste.size() > 1 ? reste[1].toInt() : 16;
    if (preparer) {
        QDir().mkpath(dossier.path());
        for (int i = 0; i < n; ++i)
            image::ecrireFichier(photo(6000, 4000, unsigned(i + 1)), dossier.filePath(QString("photo%1.jpg").arg(i)),
                                 image::code::JPEG, 24, 20);
        std::printf("%d photos in %s\n", n, qPrintable(dossier.path()));
        return 0;
    }

    // One window of N controls of 800 x 533 screen pixels, as a page of photos shows them.
    QWidget fenetre;
    std::vector<std::unique_ptr<kal::ControleImage>> controles;
    QImage ecran(800, 533, QImage::Format_RGB32);
    auto peindre = [&](kal::ControleImage& c) { c.widget()->render(&ecran); };
    std::vector<double> premiers, etapes;
    const long depart = residente();
    for (int i = 0; i < n; ++i) {
        auto c = std::make_unique<kal::ControleImage>(&fenetre);
        c->placer(0, 0, 800 * 15, 533 * 15);
        auto t0 = std::chrono::steady_clock::now();
        c->lirefichier(dossier.filePath(QString("photo%1.jpg").arg(i)), 0, 0, 1);
        peindre(*c);
        premiers.push_back(depuis(t0));
        const QSize lue = c->bitmap().taille();
        const std::function<void()> pas[] = {
            [&] { c->contraste(250); }, [&] { c->teinte(20); },     [&] { c->intensite(80); },
            [&] { c->nettete(300); },   [&] { c->saturation(400); }, [&] { c->rotation(1250, 1, 0xFFFFFF); },
        };
        for (const auto& p : pas) {
            t0 = std::chrono::steady_clock::now();
            p();
            peindre(*c);
            etapes.push_back(depuis(t0));
        }
        std::printf("photo %2d: %d x %d read, %d x %d turned; first display %.1f ms; resident %ld MB\n", i, lue.width(),
                    lue.height(), c->bitmap().largeur(), c->bitmap().hauteur(), premiers.back(), residente() / 1024);
        controles.push_back(std::move(c));
    }
    auto mediane = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    std::printf("%d photos held: resident %ld MB (%ld MB before the first), %.1f MB a photo\n", n, residente() / 1024,
                depart / 1024, double(residente() - depart) / 1024 / n);
    std::printf("file -> first display: median %.1f ms, min %.1f ms; a step (adjust or turn, then paint): median %.1f ms\n",
                mediane(premiers), *std::min_element(premiers.begin(), premiers.end()), mediane(etapes));
    return 0;
}
