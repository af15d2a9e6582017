// The photo workbench on a 24-megapixel photo (6000 x 4000), what the user waits on, each time
// up to the repainted display: the photo taken from the open panel, a slider move (contrast),
// a turn, a compression change, a resize change. Every one of them renders the photo from its
// base, writes saiphot.jpg at full resolution (the real file that would be filed, whose size the
// compression caption shows) and reads it back at the display's scale.
//
//   bench_atelier [--tours N] [--avec-reprises]
//
// The photo is written by Qt's JPEG writer, without restart markers (as most cameras write
// them), or with our own writer and its restart markers with --avec-reprises. The last lines
// break one refresh down into its steps on the same picture.
#include "commun.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "workbench/atelier.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

// A photo-like picture: smooth gradients with fine grain, so that the JPEG is of a camera's size.
QImage photo(int l, int h)
{
    QImage img = kal::image::nouvelleImage(l, h);
    kal::image::enParallele(h, 64, [&](int y0, int y1) {
        QRandomGenerator g(static_cast<quint32>(y0 + 1));
        for (int y = y0; y < y1; ++y) {
            auto* p = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < l; ++x) {
                const int grain = int(g.bounded(24)) - 12;
                const int r = std::clamp(60 + 150 * x / l + grain, 0, 255);
                const int v = std::clamp(40 + 170 * y / h + grain, 0, 255);
                const int b = std::clamp(200 - 120 * (x + y) / (l + h) + grain, 0, 255);
                p[x] = qRgb(r, v, b);
            }
        }
    });
    return img;
}

struct Mesure {
    const char* nom;
    std::vector<double> ms;
};

void afficher(const Mesure& m)
{
    const kalbench::Stats s{m.ms};
    std::printf("%-44s min %8.1f ms   median %8.1f ms   (%zu)\n", m.nom, s.min(), s.mediane(), m.ms.size());
}

using kalbench::duree;

}  // namespace

int main(int argc, char** argv)
{
    kalbench::Appli app(argc, argv);
    int tours = 7;
    bool reprises = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--tours" && i + 1 < argc)
            tours = std::max(1, atoi(argv[++i]));
        else if (a == "--avec-reprises")
            reprises = true;
    }

    QTemporaryDir dossier;
    kal::fs::changerDossier(dossier.path());
    const QString images = dossier.filePath(QStringLiteral("images"));
    kal::fs::creerDossier(images);
    const QString fichier = images + QStringLiteral("/photo24.jpg");
    {
        const QImage img = photo(6000, 4000);
        if (reprises) {
            kal::image::ecrireFichier(img, fichier, kal::image::code::JPEG, 24, 20);
        } else {
            QImageWriter w(fichier, "jpeg");
            w.setQuality(90);
            w.write(img);
        }
    }
    std::printf("photo 6000 x 4000, %s, %.1f MB; %d rounds; %d cores\n",
                reprises ? "our JPEG writer (restart markers)" : "Qt's JPEG writer (no restart markers)",
                QFileInfo(fichier).size() / 1e6, tours, QThread::idealThreadCount());

    kal::Ecran::simuler({1024, 768, 15, 15});
    kal::Ecran::simulerBordsTitre(375);
    kal::ReglagesPartages partage = kalbench::partage1024(dossier.path());
    kal::Fenetres::enregistrer(kal::Atelier::nomFenetre(), [&partage] { return new kal::Atelier(partage); });
    kal::Fenetres::montrer(kal::Atelier::nomFenetre());
    auto* a = static_cast<kal::Atelier*>(kal::Fenetres::siChargee(kal::Atelier::nomFenetre()));
    if (!a)
        return 1;
    auto repeint = [a] { a->L_photo.widget()->repaint(); };
    QCoreApplication::processEvents();

    // The photo taken from the panel as the user takes it: pointed at (the preview reads the
    // file), then the release.
    Mesure ouverture{"open: point at the name, release, shown", {}};
    for (int t = 0; t < std::max(2, tours / 2); ++t) {
        ouverture.ms.push_back(duree([&] {
            a->panneau.repphoto = images;
            a->B_ouvrir.cliquer();
            QWidget* zone = a->panneau.L_fichouvrir.zone();
            const QPointF pos(20, 5);
            QMouseEvent survol(QEvent::MouseMove, pos, zone->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(zone, &survol);
            QMouseEvent lache(QEvent::MouseButtonRelease, pos, zone->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(zone, &lache);
            repeint();
        }));
    }
    if (!a->etat.photochargee) {
        std::fprintf(stderr, "the photo was not taken\n");
        return 1;
    }

    std::printf("work file at quality 2 (the default, the best): %s\n", qPrintable(a->E_compression.legende()));

    // Each action alone, from the same state: quality 2, angle 0, full size.
    Mesure curseur{"slider move (contrast), repainted", {}};
    Mesure autre{"another slider taking over (colour)", {}};
    Mesure tour{"turn to 12 degrees, repainted", {}};
    Mesure retour{"turn back to 0, repainted", {}};
    Mesure versQ30{"compression change 2 -> 30, repainted", {}};
    Mesure versQ2{"compression change 30 -> 2, repainted", {}};
    Mesure demi{"resize change 100 % -> 50 %, repainted", {}};
    Mesure entier{"resize change 50 % -> 100 %, repainted", {}};
    QString legende30;
    for (int t = 0; t < tours; ++t) {
        curseur.ms.push_back(duree([&] {
            a->A_contraste.definirValeur(t % 2 ? 150 : 300);
            repeint();
        }));
        autre.ms.push_back(duree([&] {
            a->A_couleur.definirValeur(t % 2 ? 10 : 20);
            repeint();
        }));
        a->A_contraste.definirValeur(t % 2 ? 100 : 200);   // contrast takes over again
        tour.ms.push_back(duree([&] {
            a->A_angle.definirValeur(12);
            repeint();
        }));
        retour.ms.push_back(duree([&] {
            a->A_angle.definirValeur(0);
            repeint();
        }));
        versQ30.ms.push_back(duree([&] {
            a->A_compression.definirValeur(30);
            repeint();
        }));
        legende30 = a->E_compression.legende();
        versQ2.ms.push_back(duree([&] {
            a->A_compression.definirValeur(2);
            repeint();
        }));
        demi.ms.push_back(duree([&] {
            a->A_resize.definirValeur(a->A_resize.max() / 2);
            repeint();
        }));
        entier.ms.push_back(duree([&] {
            a->A_resize.definirValeur(a->A_resize.max());
            repeint();
        }));
    }
    for (const Mesure* m : {&ouverture, &curseur, &autre, &tour, &retour, &versQ30, &versQ2, &demi, &entier})
        afficher(*m);
    std::printf("work file at quality 30: %s\n", qPrintable(legende30));

    // One refresh in its steps, on the picture of a contrast move at angle 0 and full size.
    a->A_angle.definirValeur(0);
    a->A_resize.definirValeur(a->A_resize.max());
    Mesure rendu{"  render the chain at full resolution", {}};
    Mesure ecriture{"  encode and write saiphot.jpg", {}};
    Mesure lecture{"  read it back at the display's scale", {}};
    Mesure octets{"    of which: the file's bytes read", {}};
    Mesure entiere{"  (full-resolution decode, to compare)", {}};
    Mesure peinture{"  paint the display copy", {}};
    for (int t = 0; t < tours; ++t) {
        a->L_photo.definirBitmap(a->L_sauvtot.bitmap());
        a->L_photo.contraste(t % 2 ? 150 : 300);
        rendu.ms.push_back(duree([&] { (void)a->L_photo.bitmap().pleine(); }));
        ecriture.ms.push_back(duree([&] { a->L_photo.ecrirefichier(a->fichierTravail(), 10, 24, 2, 0); }));
        lecture.ms.push_back(duree([&] { a->L_photo.lirefichier(a->fichierTravail(), 0, 0, 1); }));
        const QByteArray donnees = kal::image::lireOctets(a->fichierTravail());
        octets.ms.push_back(duree([&] { (void)kal::image::lireOctets(a->fichierTravail()); }));
        entiere.ms.push_back(duree([&] { (void)kal::image::lireDonnees(donnees); }));
        peinture.ms.push_back(duree(repeint));
    }
    std::printf("one refresh, step by step:\n");
    for (const Mesure* m : {&rendu, &ecriture, &lecture, &octets, &entiere, &peinture})
        afficher(*m);
    kal::Fenetres::toutDetruire();
    return 0;
}
