// What the user waits on while typing a text-image, in the real page editor: one key released in
// the composition box (the whole text drawn, its four work files written, the object shown again
// with its thumbnail, and the page painted), and the memory the process holds for it. Three
// texts: none (the editor alone), a short one (two lines of 24 points), and the largest text
// the page admits ("Charg Texte" refuses a text wider or higher than the printable surface):
// 12-point lines as wide and as many as the surface takes.
//
//   bench_texteimage [--texte aucun|court|plein] [--tours N]
//
// Each round starts from a fresh editor; the figures are the minimum and the median of the
// rounds. The peak resident memory of the process (getrusage) is printed at the end: run one
// text per process to compare them.
#include "editor/editeur.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"
#include "platform/richtext/mesuretexte.h"
#include "platform/richtext/police.h"
#include "text/textes.h"

#include <QApplication>
#include <QPageSize>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

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

// 12-point lines of "M" and blanks as wide as `largeur` twips, as many as `hauteur` takes.
QString textePlein(double largeur, double hauteur)
{
    const kal::Police p{QStringLiteral("MS Sans Serif"), 12, false, false, false, false};
    QString ligne;
    while (kal::largeurDuTexte(ligne + QStringLiteral("M "), p) <= largeur)
        ligne += QStringLiteral("M ");
    QStringList lignes{ligne};
    while (kal::hauteurDuTexte((lignes + QStringList{ligne}).join(QStringLiteral("\r\n")), p) <= hauteur)
        lignes << ligne;
    return lignes.join(QStringLiteral("\r\n"));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kal::installerSubstitutionsPolices();
    int tours = 5;
    QByteArray genre = "court";
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--tours")
            tours = std::max(1, atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--texte")
            genre = argv[i + 1];
    }

    QTemporaryDir travail;
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

    Stats touche;
    bool verifie = true;
    QSize image;
    int lignes = 0;
    for (int t = 0; t < tours; ++t) {
        kal::Programme::reinitialiser();
        kal::Fenetres::reinitialiser();
        kal::Fenetres::enregistrer(QStringLiteral("IMPRIMER"),
                                   [&] { return new kal::Editeur(partage, kal::TypeEditeur::Page, &imp); });
        auto* ed = static_cast<kal::Editeur*>(kal::Fenetres::instance(QStringLiteral("IMPRIMER")));
        ed->show();
        if (genre == "aucun") {
            (void)ed->grab();
            kal::Fenetres::toutDetruire();
            continue;
        }
        (*ed->x.commande(QStringLiteral("Créer Texte-Image")))();
        const QString texte = genre == "plein" ? textePlein(ed->x.etat.largeursurface, ed->x.etat.hauteursurface)
                                               : QStringLiteral("Bonjour\r\nle monde");
        ed->c.T_compos.definirContenutexte(texte);
        ed->c.T_compos.definirSelectiondebut(static_cast<int>(texte.size()));

        const auto t0 = std::chrono::steady_clock::now();
        ed->x.textes().T_compos_KeyUp();
        (void)ed->grab();   // the page with its text-image painted
        touche.v.push_back(ms(std::chrono::steady_clock::now() - t0));

        const int n = ed->x.etat.objetcourant;
        image = ed->c.L_photo[static_cast<size_t>(n)]->bitmap().taille();
        lignes = ed->x.etat.lignestexte;
        verifie = verifie && repondeur.messages().empty() && kal::fs::existe(travail.path() + "/texte0.svc") &&
                  qint64(image.width()) * image.height() <= kal::ControleImage::PixelsTexteMax;
        kal::Fenetres::toutDetruire();
        for (const char* f : {"photo0.svc", "init0.svc", "sauv0.svc", "texte0.svc"})
            QFile::remove(travail.path() + QLatin1Char('/') + QLatin1String(f));
    }
    kal::fs::changerDossier(ancien);
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    std::printf("Text-image, text \"%s\", %d rounds\n", genre.constData(), tours);
    if (genre != "aucun") {
        std::printf("  %d lines, picture %d x %d pixels (cap %lld)\n", lignes, image.width(), image.height(),
                    static_cast<long long>(kal::ControleImage::PixelsTexteMax));
        std::printf("  key released to page painted (ms)   min %8.1f   median %8.1f\n", touche.min(), touche.mediane());
    }
    std::printf("  peak resident memory: %.0f MB\n", r.ru_maxrss / 1024.0);
    std::printf("  outputs checked: %s\n", verifie ? "PASS" : "FAIL");
    return verifie ? 0 : 1;
}
