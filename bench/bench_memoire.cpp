// Memory held by the pictures a user works on: N photos of 24 megapixels, each read into its own
// imaging control, adjusted five times, turned and painted after every step, all kept on screen
// together. Measure the peak with /usr/bin/time -v (maximum resident set size); the program
// prints the time of each step and, per picture, what the control shows.
//
//   bench_memoire --preparer DOSSIER [N]   writes N different 6000 x 4000 JPEG photos (work-copy quality)
//   bench_memoire DOSSIER [N]              reads them all and keeps them shown
#include "commun.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/controleimage.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace image = kal::image;
using kalbench::Horloge;
using kalbench::msDepuis;

namespace {

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

}  // namespace

int main(int argc, char** argv)
{
    kalbench::horsEcran();
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
            image::ecrireFichier(kalbench::photoBandes(6000, 4000, unsigned(i + 1)), dossier.filePath(QString("photo%1.jpg").arg(i)),
                                 image::code::JPEG, 24, 20);
        std::printf("%d photos in %s\n", n, qPrintable(dossier.path()));
        return 0;
    }

    // One window of N controls of 800 x 533 screen pixels, as a page of photos shows them.
    QWidget fenetre;
    std::vector<std::unique_ptr<kal::ControleImage>> controles;
    QImage ecran(800, 533, QImage::Format_RGB32);
    auto peindre = [&](kal::ControleImage& c) { c.widget()->render(&ecran); };
    kalbench::Stats premiers, etapes;
    const long depart = residente();
    for (int i = 0; i < n; ++i) {
        auto c = std::make_unique<kal::ControleImage>(&fenetre);
        c->placer(0, 0, 800 * 15, 533 * 15);
        auto t0 = Horloge::now();
        c->lirefichier(dossier.filePath(QString("photo%1.jpg").arg(i)), 0, 0, 1);
        peindre(*c);
        premiers.v.push_back(msDepuis(t0));
        const QSize lue = c->bitmap().taille();
        const std::function<void()> pas[] = {
            [&] { c->contraste(250); }, [&] { c->teinte(20); },     [&] { c->intensite(80); },
            [&] { c->nettete(300); },   [&] { c->saturation(400); }, [&] { c->rotation(1250, 1, 0xFFFFFF); },
        };
        for (const auto& p : pas) {
            t0 = Horloge::now();
            p();
            peindre(*c);
            etapes.v.push_back(msDepuis(t0));
        }
        std::printf("photo %2d: %d x %d read, %d x %d turned; first display %.1f ms; resident %ld MB\n", i, lue.width(),
                    lue.height(), c->bitmap().largeur(), c->bitmap().hauteur(), premiers.v.back(), residente() / 1024);
        controles.push_back(std::move(c));
    }
    std::printf("%d photos held: resident %ld MB (%ld MB before the first), %.1f MB a photo\n", n, residente() / 1024,
                depart / 1024, double(residente() - depart) / 1024 / n);
    std::printf("file -> first display: median %.1f ms, min %.1f ms; a step (adjust or turn, then paint): median %.1f ms\n",
                premiers.mediane(), premiers.min(), etapes.mediane());
    return 0;
}
