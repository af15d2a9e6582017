// What the user waits on when a photo goes onto the page, in the real editor: pointing at a name
// in the open panel (the preview and its information line, painted), and the release over it
// (the object with its three work copies, its stamp and thumbnail, fitted and painted). On a
// generated 6000 x 4000 JPEG (24 megapixels), in a temporary work folder.
//
//   bench_photo [--tours N]
//
// Each round starts from a fresh editor; the figures are the minimum and the median of the rounds.
#include "editor/editeur.h"
#include "pagefiles/fichierspages.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"
#include "platform/richtext/police.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPageSize>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

double ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Stats {
    std::vector<double> v;
    double min() const { return *std::min_element(v.begin(), v.end()); }
    double mediane() const
    {
        std::vector<double> t = v;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kal::installerSubstitutionsPolices();
    int tours = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--tours")
            tours = std::max(1, atoi(argv[i + 1]));

    QTemporaryDir travail;
    const QString images = travail.path() + QStringLiteral("/images");
    QDir().mkpath(images);
    {
        QImage img(6000, 4000, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* l = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                l[x] = qRgb((x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255);
        }
        img.save(images + QStringLiteral("/grande.jpg"), "JPEG", 90);
    }
    const QString ancien = kal::fs::dossierCourant();
    kal::fs::changerDossier(travail.path());
    kal::Ecran::simuler({1024, 768, 15, 15});
    kal::RepondeurEnregistreur repondeur;
    kal::ImprimanteEssai imp(QPageSize(QPageSize::A4), QMarginsF(240, 180, 300, 420));
    kal::ReglagesPartages partage;
    partage.sautligne = QStringLiteral("\r\n");
    partage.repdepart = travail.path();
    partage.largeurecranpx = 1024;
    partage.hauteurecranpx = 768;

    Stats apercu, placement;
    bool verifie = true;
    for (int t = 0; t < tours; ++t) {
        kal::Programme::reinitialiser();
        kal::Fenetres::reinitialiser();
        kal::Fenetres::enregistrer(QStringLiteral("IMPRIMER"),
                                   [&] { return new kal::Editeur(partage, kal::TypeEditeur::Page, &imp); });
        auto* ed = static_cast<kal::Editeur*>(kal::Fenetres::instance(QStringLiteral("IMPRIMER")));
        ed->show();
        kal::PanneauOuverture& p = ed->x.fichierspages().panneauOuverture();
        p.repphoto = images;
        (*ed->x.commande(QStringLiteral("Charg Image")))();
        QWidget* zone = p.L_fichouvrir.zone();
        const QPointF pos(10, 5);

        auto t0 = std::chrono::steady_clock::now();
        QMouseEvent survol(QEvent::MouseMove, pos, zone->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &survol);
        (void)p.F_ouvrir.widget()->grab();   // the preview painted
        auto t1 = std::chrono::steady_clock::now();
        QMouseEvent relache(QEvent::MouseButtonRelease, pos, zone->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &relache);
        (void)ed->grab();   // the page with its object painted
        auto t2 = std::chrono::steady_clock::now();

        verifie = verifie && ed->x.etat.nbobjets == 1 && ed->c.L_photo[0] &&
                  ed->c.L_photo[0]->bitmap().largeur() == 6000 && kal::fs::existe(travail.path() + "/sauv0.svc");
        apercu.v.push_back(ms(t1 - t0));
        placement.v.push_back(ms(t2 - t1));
        kal::Fenetres::toutDetruire();
        for (const char* f : {"photo0.svc", "init0.svc", "sauv0.svc"})
            QFile::remove(travail.path() + QLatin1Char('/') + QLatin1String(f));
    }
    kal::fs::changerDossier(ancien);
    std::printf("Photo 6000 x 4000 JPEG, %d rounds (ms)            min     median\n", tours);
    std::printf("  pointing at its name: preview and information  %7.1f  %7.1f\n", apercu.min(), apercu.mediane());
    std::printf("  release: the object placed, copies, thumbnail  %7.1f  %7.1f\n", placement.min(), placement.mediane());
    std::printf("  outputs checked: %s\n", verifie ? "PASS" : "FAIL");
    return verifie ? 0 : 1;
}
