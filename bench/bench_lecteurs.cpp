// File to picture through the image-file layer (kal::image::lireFichier), for the readers whose
// files come uncompressed and large: a 24-bit BMP and a TIFF of 16 bits a channel, each of
// 6000 x 4000 pixels (24 megapixels), made here beforehand from a generated photo.
//
//   bench_lecteurs [--tours N] [--pages-ordinaires] [--seulement TEXTE]
//
// --tours: rounds per row (9); --pages-ordinaires: the pictures on 4 KB pages (nouvelleImage asks
// for 2 MB pages otherwise); --seulement: only the rows whose name holds TEXTE.
//
// Every row has the same memory policy: the picture of a round is freed before the next one is
// read, so that each read finds the layer's reserve as a second photo finds it in the program;
// the files are read once before the rounds (in the page cache for all of them). Every output is
// checked outside the timed region against the picture the file was made from: the BMP exactly,
// the TIFF within one level of round(v x 255 / 65535). The table gives the minimum and the median
// of the rounds.
#include "commun.h"
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/pixels.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace image = kal::image;
using kalbench::duree;
using kalbench::Stats;

namespace {

constexpr int L = 6000, H = 4000;

// The 16-bit value of channel c (0 red, 1 green, 2 blue) of pixel (x, y): the photo's 8 bits
// with fine detail below them, so that the reduction to 8 bits has something to round.
inline quint16 valeur16(const QImage& photo, int x, int y, int c)
{
    const QRgb p = reinterpret_cast<const QRgb*>(photo.constScanLine(y))[x];
    const int v8 = c == 0 ? qRed(p) : (c == 1 ? qGreen(p) : qBlue(p));
    return quint16(v8 * 256 + ((x * 37 + y * 11 + c * 85) & 255));
}

void poser16(QByteArray& d, quint16 v) { d.append(char(v & 0xff)).append(char(v >> 8)); }
void poser32(QByteArray& d, quint32 v) { poser16(d, quint16(v & 0xffff)); poser16(d, quint16(v >> 16)); }

// An uncompressed little-endian TIFF, RGB of 16 bits a sample, strips of 64 rows.
QByteArray tiff16(const QImage& photo)
{
    const int w = photo.width(), h = photo.height(), lignesBande = 64;
    const int bandes = (h + lignesBande - 1) / lignesBande;
    const qint64 octetsLigne = qint64(w) * 6;
    QByteArray d("II*\0", 4);
    poser32(d, 0);  // the directory's place, set below
    const int debutPixels = 8;
    QByteArray pixels(qsizetype(octetsLigne * h), Qt::Uninitialized);
    image::enParallele(h, 16, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* q = reinterpret_cast<uchar*>(pixels.data() + octetsLigne * y);
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    const quint16 v = valeur16(photo, x, y, c);
                    *q++ = uchar(v & 0xff);
                    *q++ = uchar(v >> 8);
                }
        }
    });
    d += pixels;
    // Extra values: bits per sample (3 shorts), the strips' offsets and byte counts.
    const quint32 bits = quint32(d.size());
    for (int i = 0; i < 3; ++i)
        poser16(d, 16);
    const quint32 offsets = quint32(d.size());
    for (int b = 0; b < bandes; ++b)
        poser32(d, quint32(debutPixels + octetsLigne * lignesBande * b));
    const quint32 longueurs = quint32(d.size());
    for (int b = 0; b < bandes; ++b)
        poser32(d, quint32(octetsLigne * std::min(lignesBande, h - lignesBande * b)));
    if (d.size() % 2)
        d.append('\0');
    const quint32 ifd = quint32(d.size());
    struct Entree { quint16 tag, type; quint32 n, v; };
    const Entree entrees[] = {{256, 4, 1, quint32(w)},         {257, 4, 1, quint32(h)},        {258, 3, 3, bits},
                              {259, 3, 1, 1},                  {262, 3, 1, 2},                 {273, 4, quint32(bandes), offsets},
                              {277, 3, 1, 3},                  {278, 4, 1, quint32(lignesBande)}, {279, 4, quint32(bandes), longueurs},
                              {284, 3, 1, 1}};
    poser16(d, quint16(std::size(entrees)));
    for (const Entree& e : entrees) {
        poser16(d, e.tag);
        poser16(d, e.type);
        poser32(d, e.n);
        poser32(d, e.v);  // a single short sits in the low half, as little-endian wants
    }
    poser32(d, 0);
    d[4] = char(ifd & 0xff);
    d[5] = char((ifd >> 8) & 0xff);
    d[6] = char((ifd >> 16) & 0xff);
    d[7] = char(ifd >> 24);
    return d;
}

// The largest difference of a channel between the picture read and the expected value of each
// pixel; -1 when the size is not the photo's.
int ecartMax(const QImage& lue, int w, int h, const std::function<int(int, int, int)>& attendu)
{
    if (lue.size() != QSize(w, h))
        return -1;
    const QImage l = lue.format() == QImage::Format_RGB32 ? lue : lue.convertToFormat(QImage::Format_RGB32);
    std::atomic<int> pire{0};
    image::enParallele(h, 16, [&](int y0, int y1) {
        int p = 0;
        for (int y = y0; y < y1; ++y) {
            const auto* s = reinterpret_cast<const QRgb*>(l.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                p = std::max({p, std::abs(qRed(s[x]) - attendu(x, y, 0)), std::abs(qGreen(s[x]) - attendu(x, y, 1)),
                              std::abs(qBlue(s[x]) - attendu(x, y, 2))});
            }
        }
        int v = pire.load();
        while (p > v && !pire.compare_exchange_weak(v, p)) {
        }
    });
    return pire.load();
}

struct Ligne {
    const char* nom;
    QString chemin;
    int tolerance;
    std::function<int(int, int, int)> attendu;
};

}  // namespace

int main(int argc, char** argv)
{
    kalbench::horsEcran();
    QGuiApplication app(argc, argv);
    int tours = 9;
    std::string seulement;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--tours" && i + 1 < argc)
            tours = std::max(1, std::atoi(argv[++i]));
        else if (a == "--pages-ordinaires")
            image::definirGrandesPages(false);
        else if (a == "--seulement" && i + 1 < argc)
            seulement = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench_lecteurs [--tours N] [--pages-ordinaires] [--seulement TEXTE]\n");
            return 2;
        }
    }

    QTemporaryDir dossier;
    const QImage photo = kalbench::photoBandes(L, H, 3);
    const QString bmp = dossier.filePath(QStringLiteral("photo.bmp"));
    const QString tif = dossier.filePath(QStringLiteral("photo.tif"));
    image::ecrireFichier(photo, bmp, image::code::BMP, 24, 1);
    {
        QFile f(tif);
        if (!f.open(QIODevice::WriteOnly) || f.write(tiff16(photo)) <= 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(tif));
            return 3;
        }
    }
    const auto octet = [&](int x, int y, int c) {
        const QRgb p = reinterpret_cast<const QRgb*>(photo.constScanLine(y))[x];
        return c == 0 ? qRed(p) : (c == 1 ? qGreen(p) : qBlue(p));
    };
    const Ligne lignes[] = {
        {"BMP 24 bits 6000 × 4000", bmp, 0, octet},
        {"TIFF RGB 16 bits 6000 × 4000", tif, 1,
         [&](int x, int y, int c) { return int(std::lround(valeur16(photo, x, y, c) * 255.0 / 65535.0)); }},
    };

    std::printf("File to picture (lireFichier), %d rounds, %s pages, %d threads\n", tours,
                image::grandesPages() ? "2 MB" : "4 KB", image::fils());
    std::printf("%-32s %10s %10s %8s\n", "row", "min ms", "median ms", "check");
    int faux = 0;
    for (const Ligne& l : lignes) {
        if (!seulement.empty() && std::string(l.nom).find(seulement) == std::string::npos)
            continue;
        (void)image::lireOctets(l.chemin);  // into the page cache
        Stats s;
        int ecart = 0;
        for (int t = 0; t < tours; ++t) {
            QImage lue;
            try {
                s.v.push_back(duree([&] { lue = image::lireFichier(l.chemin); }));
            } catch (const kal::Erreur& e) {
                std::fprintf(stderr, "%s: %s\n", l.nom, qPrintable(e.description()));
                return 3;
            }
            const int e = ecartMax(lue, L, H, l.attendu);
            ecart = e < 0 ? 1000 : std::max(ecart, e);
        }
        const bool bon = ecart <= l.tolerance;
        faux += !bon;
        std::printf("%-32s %10.1f %10.1f %8s\n", l.nom, s.min(), s.mediane(),
                    bon ? "ok" : qPrintable(QStringLiteral("FAUX %1").arg(ecart)));
    }
    std::printf("peak resident memory %ld MB\n", kalbench::picMemoireKo() / 1024);
    return faux ? 1 : 0;
}
