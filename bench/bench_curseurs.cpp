// A slider value to the repainted display, in the real page editor, on a 24-megapixel photo: the
// value given to the slider (its Change handler runs as the user's release runs it), then the
// object's control painted. The photo is turned by 12 degrees and carries the four other
// adjustments, as a photo being worked on does. Beside it, the same chain at full resolution:
// what a file written or a print of that state costs.
//
//   bench_curseurs [--tours N]
//
// Rows (minimum and median of the rounds, ms):
//   - first move of a slider after another one: its working base made again (the base with the
//     four other adjustments and the turn), its own value, the paint;
//   - a further move of the same slider: its own value on the working base, the paint;
//   - the displayed state at full resolution, the base's full resolution already decoded;
//   - the same, the base decoded from its file's bytes as well.
#include "commun.h"
#include "imaging/imagerie.h"
#include "pagemodel/objets.h"

#include <QTemporaryDir>
#include <cstdio>

using kalbench::Horloge;
using kalbench::ms;
using kalbench::Stats;

int main(int argc, char** argv)
{
    kalbench::Appli app(argc, argv);
    int tours = 15;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--tours")
            tours = std::max(3, atoi(argv[i + 1]));

    QTemporaryDir travail;
    const QString fichier = travail.path() + QStringLiteral("/grande.jpg");
    kalbench::ecrireJpegMotif(fichier);
    kalbench::PosteEditeur poste(travail.path());
    kal::Editeur* ed = poste.ouvrir();
    kal::ControlesEditeur& c = ed->c;
    {
        kal::ControleImage choisie(ed);
        choisie.lirefichier(fichier);
        ed->x.etat.typeobjet = QStringLiteral("photo");
        if (!ed->x.objets().chargementimage(choisie, QStringLiteral("grande.jpg"))) {
            std::fprintf(stderr, "the photo was not placed\n");
            return 1;
        }
    }
    kal::ControleImage& photo = *c.L_photo[0];
    c.A_angle.definirValeur(12);
    c.A_couleur.definirValeur(20);
    c.A_intensite.definirValeur(80);
    c.A_nettete.definirValeur(300);
    c.A_saturation.definirValeur(40);
    (void)photo.widget()->grab();

    Stats premier, suivant, pleineSeule, pleineFichier;
    bool verifie = true;
    int v = 100;
    for (int t = 0; t < tours; ++t) {
        // Another slider moved: the contrast's next move makes its working base again.
        c.A_couleur.definirValeur(t % 2 ? 20 : 21);
        v += 10;
        auto t0 = Horloge::now();
        c.A_contraste.definirValeur(v);
        (void)photo.widget()->grab();
        auto t1 = Horloge::now();
        premier.v.push_back(ms(t1 - t0));
        for (int k = 0; k < 4; ++k) {
            v += 10;
            t0 = Horloge::now();
            c.A_contraste.definirValeur(v);
            (void)photo.widget()->grab();
            t1 = Horloge::now();
            suivant.v.push_back(ms(t1 - t0));
        }
        verifie = verifie && ed->x.etat.tabobjets[0][kal::col::Contraste] == v &&
                  photo.bitmap().largeur() > 6000 && photo.bitmap().tientApercu();
        if (v > 900)
            v = 100;

        // The state shown, at full resolution: first with the base's pixels decoded already, as a
        // second print or file of the same object finds them; then from the file's bytes.
        const kal::image::Photo base = c.L_sauvtot.bitmap();
        (void)base.pleine();
        {
            kal::ControleImage copie;
            copie.definirBitmap(base);
            kal::appliquerChaine(copie, ed->x.imagerie().valeursCurseurs(),
                                 {.photo = true, .cadre = std::nullopt, .angle = c.A_angle.valeur()});
            t0 = Horloge::now();
            const QImage p = copie.bitmap().pleine();
            t1 = Horloge::now();
            pleineSeule.v.push_back(ms(t1 - t0));
            verifie = verifie && p.size() == QSize(photo.bitmap().largeur(), photo.bitmap().hauteur());
        }
        {
            kal::ControleImage relue;
            relue.lirefichier(kal::fs::joindre(travail.path(), QStringLiteral("sauv0.svc")));
            kal::appliquerChaine(relue, ed->x.imagerie().valeursCurseurs(),
                                 {.photo = true, .cadre = std::nullopt, .angle = c.A_angle.valeur()});
            t0 = Horloge::now();
            const QImage p = relue.bitmap().pleine();
            t1 = Horloge::now();
            pleineFichier.v.push_back(ms(t1 - t0));
            verifie = verifie && !p.isNull();
        }
    }
    const QImage apercu = photo.bitmap().apercu();
    const QSize controle = photo.widget()->size();
    kal::Fenetres::toutDetruire();

    std::printf("Page editor, photo 6000 x 4000 turned 12 degrees, four other adjustments; %d rounds (ms)\n", tours);
    std::printf("display copy %d x %d, control %d x %d pixels\n", apercu.width(), apercu.height(), controle.width(),
                controle.height());
    std::printf("                                                       min    median\n");
    std::printf("  slider value -> repainted display, first move      %7.1f  %7.1f\n", premier.min(), premier.mediane());
    std::printf("  slider value -> repainted display, further moves   %7.1f  %7.1f\n", suivant.min(), suivant.mediane());
    std::printf("  same chain at full resolution, base decoded        %7.1f  %7.1f\n", pleineSeule.min(), pleineSeule.mediane());
    std::printf("  same chain at full resolution, base from its file  %7.1f  %7.1f\n", pleineFichier.min(), pleineFichier.mediane());
    std::printf("  outputs checked: %s\n", verifie ? "PASS" : "FAIL");
    return verifie ? 0 : 1;
}
