// What the user waits on when a photo goes onto the page, in the real editor: pointing at a name
// in the open panel (the preview and its information line, painted), and the release over it
// (the object with its three work copies, its stamp and thumbnail, fitted and painted). On a
// generated 6000 x 4000 JPEG (24 megapixels), in a temporary work folder.
//
//   bench_photo [--tours N]
//   bench_photo --seize
//
// Each round starts from a fresh editor; the figures are the minimum and the median of the rounds.
// --seize: 16 different photos put on one page one after the other, each then adjusted with the
// five sliders and turned with A_angle, the page painted after every step; the program prints the
// times and the peak resident memory (what /usr/bin/time -v reports as maximum resident set size).
#include "commun.h"
#include "pagefiles/fichierspages.h"
#include "pagemodel/objets.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <random>
#include <cstdio>

namespace {

using kalbench::Horloge;
using kalbench::ms;
using kalbench::msDepuis;
using kalbench::Stats;

long picMo() { return kalbench::picMemoireKo() / 1024; }

// A photo-like 6000 x 4000 picture of its own for each seed.
QImage photo(unsigned graine)
{
    QImage img(6000, 4000, QImage::Format_RGB32);
    std::mt19937 g(graine);
    for (int y = 0; y < img.height(); ++y) {
        auto* l = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(g() % 13);
            l[x] = qRgb((x / 25 + graine * 20 + n) & 255, (y / 17 + n) & 255, ((x ^ y) / 40 + n) & 255);
        }
    }
    return img;
}

int seizePhotos()
{
    QTemporaryDir travail;
    const QString images = travail.path() + QStringLiteral("/images");
    QDir().mkpath(images);
    for (unsigned k = 0; k < 16; ++k)
        photo(k).save(images + QStringLiteral("/photo%1.jpg").arg(k, 2, 10, QLatin1Char('0')), "JPEG", 90);
    kalbench::PosteEditeur poste(travail.path());
    kal::Editeur* ed = poste.ouvrir();
    const long depart = picMo();
    Stats placement, pas;
    int inchangees = 0;   // slider values that left the painted page as it was
    kal::PanneauOuverture& p = ed->x.fichierspages().panneauOuverture();
    p.repphoto = images;
    for (int k = 0; k < 16; ++k) {
        (*ed->x.commande(QStringLiteral("Charg Image")))();
        // The k-th name pointed at (its preview read), then the release over it.
        p.L_fichouvrir.definirIndex(k);
        p.infoouvrir();
        auto t0 = Horloge::now();
        p.L_fichouvrir_MouseUp(1, 0, 0, 0);
        (void)ed->grab();
        placement.v.push_back(msDepuis(t0));
        kal::ControlesEditeur& c = ed->c;
        for (auto [curseur, valeur] : {std::pair{&c.A_contraste, 250}, std::pair{&c.A_couleur, 20}, std::pair{&c.A_intensite, 80},
                                       std::pair{&c.A_nettete, 300}, std::pair{&c.A_saturation, 40}, std::pair{&c.A_angle, 12}}) {
            const QImage avant = ed->grab().toImage();
            t0 = Horloge::now();
            curseur->definirValeur(valeur);
            const QImage apres = ed->grab().toImage();
            pas.v.push_back(msDepuis(t0));
            inchangees += apres == avant;
        }
    }
    const bool ok = ed->x.etat.nbobjets == 16 && inchangees == 0;
    std::printf("16 photos 6000 x 4000 onto one page, each adjusted five times and turned (ms)   min     median\n");
    std::printf("  release over a name: the object placed, copies, thumbnail, painted  %7.1f  %7.1f\n", placement.min(),
                placement.mediane());
    std::printf("  a slider value: the page repainted                                   %7.1f  %7.1f\n", pas.min(), pas.mediane());
    std::printf("  objects on the page: %d, slider values that changed nothing on the screen: %d (%s)\n",
                ed->x.etat.nbobjets, inchangees, ok ? "PASS" : "FAIL");
    std::printf("  peak resident memory %ld MB (%ld MB before the first photo)\n", picMo(), depart);
    kal::Fenetres::toutDetruire();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    kalbench::Appli app(argc, argv);
    int tours = 5;
    bool seize = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--tours" && i + 1 < argc)
            tours = std::max(1, atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--seize")
            seize = true;
    }
    if (seize)
        return seizePhotos();

    QTemporaryDir travail;
    const QString images = travail.path() + QStringLiteral("/images");
    QDir().mkpath(images);
    kalbench::ecrireJpegMotif(images + QStringLiteral("/grande.jpg"));
    kalbench::PosteEditeur poste(travail.path());

    Stats apercu, placement;
    bool verifie = true;
    for (int t = 0; t < tours; ++t) {
        kal::Programme::reinitialiser();
        kal::Fenetres::reinitialiser();
        kal::Editeur* ed = poste.ouvrir();
        kal::PanneauOuverture& p = ed->x.fichierspages().panneauOuverture();
        p.repphoto = images;
        (*ed->x.commande(QStringLiteral("Charg Image")))();
        QWidget* zone = p.L_fichouvrir.zone();
        const QPointF pos(10, 5);

        auto t0 = Horloge::now();
        QMouseEvent survol(QEvent::MouseMove, pos, zone->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &survol);
        (void)p.F_ouvrir.widget()->grab();   // the preview painted
        auto t1 = Horloge::now();
        QMouseEvent relache(QEvent::MouseButtonRelease, pos, zone->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &relache);
        (void)ed->grab();   // the page with its object painted
        auto t2 = Horloge::now();

        verifie = verifie && ed->x.etat.nbobjets == 1 && ed->c.L_photo[0] &&
                  ed->c.L_photo[0]->bitmap().largeur() == 6000 && kal::fs::existe(travail.path() + "/sauv0.svc");
        apercu.v.push_back(ms(t1 - t0));
        placement.v.push_back(ms(t2 - t1));
        kal::Fenetres::toutDetruire();
        for (const char* f : {"photo0.svc", "init0.svc", "sauv0.svc"})
            QFile::remove(travail.path() + QLatin1Char('/') + QLatin1String(f));
    }
    std::printf("Photo 6000 x 4000 JPEG, %d rounds (ms)            min     median\n", tours);
    std::printf("  pointing at its name: preview and information  %7.1f  %7.1f\n", apercu.min(), apercu.mediane());
    std::printf("  release: the object placed, copies, thumbnail  %7.1f  %7.1f\n", placement.min(), placement.mediane());
    std::printf("  outputs checked: %s\n", verifie ? "PASS" : "FAIL");
    return verifie ? 0 : 1;
}
