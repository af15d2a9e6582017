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
#include "commun.h"
#include "pagemodel/objets.h"
#include "platform/richtext/mesuretexte.h"
#include "text/textes.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

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
    kalbench::Appli app(argc, argv);
    int tours = 5;
    QByteArray genre = "court";
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--tours")
            tours = std::max(1, atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--texte")
            genre = argv[i + 1];
    }

    QTemporaryDir travail;
    kalbench::PosteEditeur poste(travail.path());

    kalbench::Stats touche;
    bool verifie = true;
    QSize image;
    int lignes = 0;
    for (int t = 0; t < tours; ++t) {
        kal::Programme::reinitialiser();
        kal::Fenetres::reinitialiser();
        kal::Editeur* ed = poste.ouvrir();
        if (genre == "aucun") {
            (void)ed->grab();
            kal::Fenetres::toutDetruire();
            continue;
        }
        (*ed->x.commande(QStringLiteral("Créer Texte-Image")))();
        const QString texte = genre == "plein" ? textePlein(ed->x.etat.largeursurface.valeur(), ed->x.etat.hauteursurface.valeur())
                                               : QStringLiteral("Bonjour\r\nle monde");
        ed->c.T_compos.definirContenutexte(texte);
        ed->c.T_compos.definirSelectiondebut(static_cast<int>(texte.size()));

        const auto t0 = kalbench::Horloge::now();
        ed->x.textes().T_compos_KeyUp();
        (void)ed->grab();   // the page with its text-image painted
        touche.v.push_back(kalbench::msDepuis(t0));

        const int n = ed->x.etat.objetcourant;
        image = ed->c.L_photo[static_cast<size_t>(n)]->bitmap().taille();
        lignes = static_cast<int>(ed->x.etat.tabobjets[static_cast<size_t>(n)][kal::col::Lignes]);
        verifie = verifie && poste.repondeur.messages().empty() && kal::fs::existe(travail.path() + "/texte0.svc") &&
                  qint64(image.width()) * image.height() <= kal::ControleImage::PixelsTexteMax;
        kal::Fenetres::toutDetruire();
        for (const char* f : {"photo0.svc", "init0.svc", "sauv0.svc", "texte0.svc"})
            QFile::remove(travail.path() + QLatin1Char('/') + QLatin1String(f));
    }
    std::printf("Text-image, text \"%s\", %d rounds\n", genre.constData(), tours);
    if (genre != "aucun") {
        std::printf("  %d lines, picture %d x %d pixels (cap %lld)\n", lignes, image.width(), image.height(),
                    static_cast<long long>(kal::ControleImage::PixelsTexteMax));
        std::printf("  key released to page painted (ms)   min %8.1f   median %8.1f\n", touche.min(), touche.mediane());
    }
    std::printf("  peak resident memory: %.0f MB\n", kalbench::picMemoireKo() / 1024.0);
    std::printf("  outputs checked: %s\n", verifie ? "PASS" : "FAIL");
    return verifie ? 0 : 1;
}
