// The wait of a user who prints a full page: 16 objects made from 24-megapixel photos, each
// rebuilt at full resolution from its base work file with five adjustments and its rotation,
// drawn at its place and handed to the system's default printer (the CUPS PDF printer here),
// or written to a PDF file. The program prints the time from "Imprimer" answered to the job's
// end (handed to the print system), the time until the PDF printer's file is there, and the
// peak resident memory (also what /usr/bin/time -v reports as maximum resident set size).
//
//   bench_impression [--pdf] [--rotations] [N]
//     --pdf        a PDF file in place of the printer
//     --rotations  two objects turned 90 degrees and two turned 7 degrees (else none turned)
//     N            number of different photos (1 to 16; the 16 objects take them in turn), 16
#include "commun.h"
#include "imaging/fichierstravail.h"
#include "pagemodel/fiche.h"
#include "platform/imaging/controleimage.h"
#include "printing/impression.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

using kalbench::picMemoireKo;

namespace {

// Seconds since t0.
double depuis(kalbench::Horloge::time_point t0) { return kalbench::msDepuis(t0) / 1000; }

// The newest PDF the CUPS PDF printer wrote for that title, once its size holds still.
QString attendreFichier(const QString& titre)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 120000) {
        for (const QString& d : {QDir::homePath() + QStringLiteral("/PDF"), QStringLiteral("/root/PDF")}) {
            const auto l = QDir(d).entryInfoList({titre + QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
            if (!l.isEmpty()) {
                // The PDF printer makes the file first, then writes it.
                const QString chemin = l.front().absoluteFilePath();
                qint64 taille = -1;
                while ((taille <= 0 || taille != QFileInfo(chemin).size()) && t.elapsed() < 120000) {
                    taille = QFileInfo(chemin).size();
                    QThread::msleep(100);
                }
                return chemin;
            }
        }
        QThread::msleep(20);
    }
    return {};
}

class Oui : public kal::Repondeur {
public:
    int repondre(const kal::MessageAffiche& m) override
    {
        std::printf("  [%s] %s\n", qPrintable(m.titre), qPrintable(QString(m.texte).replace(QLatin1Char('\r'), QLatin1Char('/'))));
        return kal::msg::RepOui;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    kalbench::Appli app(argc, argv);
    bool pdf = false, rotations = false;
    int differentes = 16;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--pdf"))
            pdf = true;
        else if (a == QLatin1String("--rotations"))
            rotations = true;
        else
            differentes = std::clamp(a.toInt(), 1, 16);
    }

    QTemporaryDir dossier;
    QDir::setCurrent(dossier.path());
    kal::Ecran::simuler({1024, 768, 15, 15});
    Oui oui;
    kal::installerRepondeur(&oui);

    // The work copies as the editors write them: JPEG, quality factor 20.
    auto t0 = kalbench::Horloge::now();
    for (int k = 0; k < differentes; ++k) {
        kal::ControleImage c;
        c.definirBitmap(kal::image::Photo(kalbench::photoBandes(6000, 4000, unsigned(k)), 24));
        c.ecrirefichier(kal::fichierSauv(k), 10, 24, 20, 0);
    }
    for (int n = differentes; n < 16; ++n)
        QFile::copy(kal::fichierSauv(n % differentes), kal::fichierSauv(n));
    std::printf("16 copies de travail de 6000 x 4000 (%d différentes, %lld Ko chacune) en %.1f s\n", differentes,
                QFileInfo(kal::fichierSauv(0)).size() / 1024, depuis(t0));

    kal::Imprimante systeme;
    if (!systeme.presente() && !pdf) {
        std::printf("aucune imprimante: lancer scripts/services, ou --pdf\n");
        return 1;
    }
    const QString titre = QStringLiteral("bench%1").arg(QRandomGenerator::global()->generate());
    systeme.definirNomDocument(titre);
    const QString fichierPdf = dossier.filePath(QStringLiteral("page.pdf"));
    if (pdf)
        systeme.sortiePdf(fichierPdf);
    systeme.definirFormatimprimante(kal::imp::A4);
    systeme.definirOrientationimprimante(kal::imp::Portrait);

    kal::ReglagesPartages partage = kalbench::partage1024(dossier.path());
    kal::Fenetres::enregistrer(QStringLiteral("IMPRIMER"),
                               [&] { return new kal::Editeur(partage, kal::TypeEditeur::Page, &systeme); });
    auto* ed = static_cast<kal::Editeur*>(kal::Fenetres::instance(QStringLiteral("IMPRIMER")));
    if (!ed)
        return 1;

    // A 4 x 4 grid of 49 x 33 mm photos, every one adjusted.
    kal::Fiches f = ed->x.fiches();
    f.sourceTable();
    for (int n = 0; n < 16; ++n) {
        const int rot = !rotations ? 0 : n % 8 == 3 ? 90 : n % 8 == 6 ? 7 : 0;
        f.modifier(n, [&](kal::bd::JeuEnregistrements& j) {
            j.mettre(kal::champ::occup, true);
            j.mettre(kal::champ::leftimp, 600 + (n % 4) * 2800);
            j.mettre(kal::champ::topimp, 600 + (n / 4) * 3900);
            j.mettre(kal::champ::widthimp, 2700.0);
            j.mettre(kal::champ::heightimp, 1800.0);
            j.mettre(kal::champ::rot, rot);
            j.mettre(kal::champ::cadre, n % 2);
            j.mettre(kal::champ::textimage, false);
        });
        auto& l = ed->x.etat.tabobjets[size_t(n)];
        l[kal::col::Contraste] = 100;
        l[kal::col::Couleur] = 10;
        l[kal::col::Intensite] = 50;
        l[kal::col::Nettete] = 200;
        l[kal::col::Saturation] = 20;
    }
    ed->x.etat.nbobjets = 16;
    ed->x.etat.objetcourant = kal::AucunObjet;
    const long avant = picMemoireKo();

    t0 = kalbench::Horloge::now();
    const bool ok = ed->x.impression().imprimer();
    const double finTravail = depuis(t0);
    const long pic = picMemoireKo();
    std::printf("impression de 16 objets%s vers %s: fin du travail en %.2f s (%s)\n",
                rotations ? " (4 tournés)" : "", pdf ? "un fichier PDF" : qPrintable(systeme.nomimprimante()), finTravail,
                ok ? "remis" : "échec");
    const QString sortie = pdf ? fichierPdf : attendreFichier(titre);
    const double fichierLa = depuis(t0);
    std::printf("fichier PDF de la page là après %.2f s: %s (%lld Ko)\n", fichierLa, qPrintable(sortie),
                QFileInfo(sortie).size() / 1024);
    std::printf("mémoire résidente maximale: %.0f Mo avant l'impression, %.0f Mo au plus haut\n", avant / 1024.0,
                pic / 1024.0);
    if (!pdf)
        QFile::remove(sortie);
    kal::installerRepondeur(nullptr);
    kal::Fenetres::toutDetruire();
    return ok ? 0 : 1;
}
