#pragma once
// What the bench programs share: Qt's offscreen platform, the clock and the minimum and median
// of the rounds, the process's peak memory, generated photos, and the page editor in a work
// folder of its own, as the start window leaves it.
#include "editor/editeur.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/imaging/pixels.h"
#include "platform/printer/imprimante.h"
#include "platform/richtext/police.h"
#include "state/partage.h"

#include <QApplication>
#include <QImage>
#include <QPageSize>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace kalbench {

// Qt's offscreen platform, unless the caller chose one.
inline void horsEcran()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The application of a bench: offscreen as above, with the program's font substitutions.
class Appli : public QApplication {
public:
    Appli(int& argc, char** argv) : QApplication((horsEcran(), argc), argv) { kal::installerSubstitutionsPolices(); }
};

using Horloge = std::chrono::steady_clock;
inline double ms(Horloge::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
inline double msDepuis(Horloge::time_point t0) { return ms(Horloge::now() - t0); }
// The time one call of f takes, in ms.
inline double duree(const std::function<void()>& f)
{
    const auto t0 = Horloge::now();
    f();
    return msDepuis(t0);
}

// The times of the rounds of one row (ms): their minimum and their median (0 when none).
struct Stats {
    std::vector<double> v;
    double min() const { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    double mediane() const
    {
        if (v.empty())
            return 0;
        std::vector<double> t = v;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
};

// The process's peak resident memory in kB (what /usr/bin/time -v reports as maximum resident
// set size).
inline long picMemoireKo()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A 6000 x 4000 JPEG (24 megapixels) of a fixed pattern, at quality 90.
inline void ecrireJpegMotif(const QString& chemin)
{
    QImage img(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* l = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            l[x] = qRgb((x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255);
    }
    img.save(chemin, "JPEG", 90);
}

// A photo-like picture of its own for each seed: gradients, bands and grain, so that its JPEG
// costs what a photo's does.
inline QImage photoBandes(int w, int h, unsigned graine)
{
    QImage img(w, h, QImage::Format_RGB32);
    kal::image::enParallele(h, 64, [&](int y0, int y1) {
        std::mt19937 g(graine * 7919u + unsigned(y0));
        for (int y = y0; y < y1; ++y) {
            auto* l = reinterpret_cast<uint32_t*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double u = double(x) / w, v = double(y) / h;
                double r = 90 + 120 * u + 30 * std::sin(v * (11 + graine)), gg = 70 + 100 * v + 25 * std::cos(u * 23),
                       b = 140 - 60 * u * v;
                if ((x / (200 + 10 * int(graine)) + y / 300) % 7 == 0) {
                    r *= 0.5;
                    gg *= 0.6;
                    b *= 0.9;
                }
                const int n = int(g() % 17) - 8;
                auto c = [&](double q) { return std::clamp(int(q) + n, 0, 255); };
                l[x] = 0xFF000000u | (uint32_t(c(r)) << 16) | (uint32_t(c(gg)) << 8) | uint32_t(c(b));
            }
        }
    });
    return img;
}

// The shared settings as the start window leaves them on a 1024 x 768 screen.
inline kal::ReglagesPartages partage1024(const QString& repdepart)
{
    kal::ReglagesPartages p;
    p.sautligne = QStringLiteral("\r\n");
    p.repdepart = repdepart;
    p.largeurecranpx = 1024;
    p.hauteurecranpx = 768;
    return p;
}

// The page editor's surroundings: the work folder made current, a simulated 1024 x 768 screen,
// the message boxes answered and recorded, a test printer, the shared settings. The folder that
// was current comes back at the end.
struct PosteEditeur {
    explicit PosteEditeur(const QString& travail) : partage(partage1024(travail))
    {
        kal::fs::changerDossier(travail);
        kal::Ecran::simuler({1024, 768, 15, 15});
    }
    ~PosteEditeur() { kal::fs::changerDossier(ancien); }
    PosteEditeur(const PosteEditeur&) = delete;
    PosteEditeur& operator=(const PosteEditeur&) = delete;

    // IMPRIMER registered on the test printer, loaded and shown.
    kal::Editeur* ouvrir()
    {
        kal::Fenetres::enregistrer(QStringLiteral("IMPRIMER"),
                                   [this] { return new kal::Editeur(partage, kal::TypeEditeur::Page, &imp); });
        auto* ed = static_cast<kal::Editeur*>(kal::Fenetres::instance(QStringLiteral("IMPRIMER")));
        ed->show();
        return ed;
    }

    const QString ancien = kal::fs::dossierCourant();
    kal::RepondeurEnregistreur repondeur;
    kal::ImprimanteEssai imp{QPageSize(QPageSize::A4), QMarginsF(240, 180, 300, 420)};
    kal::ReglagesPartages partage;
};

}  // namespace kalbench
