// What the user waits on when a saved page holding a text-image is opened ("Pages", "Ouvrir", Non
// to the save question), in the real page editor: the same page with a short text and with a
// long one, a texte0.rtf of one paragraph of short words ("Bonjour e " repeated) of the size given.
// Each round opens the other page first, so that every open replaces a page; the figures are the
// minimum and the median of the rounds. Checked after each open of the long page: the box holds the
// whole text, no message was shown, and the line count and the picture are those of the first
// open; then one key released in the long text renders it (its time, line count and picture, the
// pixels as a checksum, printed so that two builds can be compared).
//
//   bench_ouverturetexte [--ko N] [--tours N]        (default: 2400 KB, 3 rounds)
#include "commun.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"
#include "platform/imaging/controleimage.h"
#include "text/textes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void choisir(kal::Editeur* ed, kal::BoutonOption& option, const QString& nom)
{
    ed->x.fichierspages().pagesPerso().listepage();
    ed->c.L_kalmorin.definirTexte(nom);
    option.definirValeur(true);
    ed->c.B_okouvrir.cliquer();
}

QByteArray empreinte(const kal::ControleImage& img)
{
    const QImage i = img.bitmap().pleine();
    QCryptographicHash h(QCryptographicHash::Sha1);
    for (int y = 0; y < i.height(); ++y)
        h.addData(QByteArrayView(reinterpret_cast<const char*>(i.constScanLine(y)), i.bytesPerLine()));
    return h.result().toHex().left(16);
}

}  // namespace

int main(int argc, char** argv)
{
    kalbench::Appli app(argc, argv);
    int tours = 3;
    qsizetype ko = 2400;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--tours")
            tours = std::max(1, atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--ko")
            ko = std::max(1, atoi(argv[i + 1]));
    }

    QTemporaryDir travail;
    QDir().mkpath(travail.filePath(QStringLiteral("persopag")));
    kalbench::PosteEditeur poste(travail.path());
    kal::Editeur* ed = poste.ouvrir();

    // The short page, made as the user makes it; the long one is its copy with the long text.
    (*ed->x.commande(QStringLiteral("Créer Texte-Image")))();
    ed->c.T_compos.definirContenutexte(QStringLiteral("Bonjour"));
    ed->c.T_compos.definirSelectiondebut(7);
    ed->x.textes().T_compos_KeyUp();
    choisir(ed, ed->c.O_ajout, QStringLiteral("court"));
    const QString court = travail.filePath(QStringLiteral("persopag/court"));
    const QString longue = travail.filePath(QStringLiteral("persopag/long"));
    QDir().mkpath(longue);
    for (const QString& f : QDir(court).entryList(QDir::Files))
        QFile::copy(court + QLatin1Char('/') + f, longue + QLatin1Char('/') + f);
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\f0\\fs24 ";
    QString texte;
    while (rtf.size() < ko * 1024) {
        rtf += "Bonjour e ";
        texte += QStringLiteral("Bonjour e ");
    }
    rtf += "\\par}";
    QFile f(longue + QStringLiteral("/texte0.rtf"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(rtf) != rtf.size())
        return 1;
    f.close();

    kalbench::Stats tCourt, tLong;
    bool verifie = true;
    int lignes = -1;
    QByteArray image;
    QSize taille;
    for (int t = 0; t < tours; ++t) {
        for (const QString& nom : {QStringLiteral("court"), QStringLiteral("long")}) {
            poste.repondeur.oublier();
            poste.repondeur.prevoir(kal::msg::RepNon);
            const auto t0 = kalbench::Horloge::now();
            choisir(ed, ed->c.O_ouvrir, nom);
            (void)ed->grab();   // the page opened, painted
            (nom == QLatin1String("court") ? tCourt : tLong).v.push_back(kalbench::msDepuis(t0));
            const bool sansMessage = std::none_of(poste.repondeur.messages().begin(), poste.repondeur.messages().end(),
                                                  [](const kal::MessageAffiche& m) {
                                                      return m.texte != QLatin1String("Voulez-vous enregistrer la page ?");
                                                  });
            verifie = verifie && sansMessage;
            if (nom == QLatin1String("long")) {
                const int n = ed->x.etat.objetcourant;
                const kal::ControleImage& photo = *ed->c.L_photo[static_cast<size_t>(n)];
                const int l = static_cast<int>(ed->x.etat.tabobjets[static_cast<size_t>(n)][kal::col::Lignes]);
                const QByteArray e = empreinte(photo);
                if (lignes < 0) {
                    lignes = l;
                    image = e;
                    taille = photo.bitmap().taille();
                }
                verifie = verifie && ed->c.T_compos.contenutexte() == texte && l == lignes && e == image;
            }
        }
    }
    // The long text rendered once from the box, as a key released in it renders it: the picture
    // and the line count, to compare two builds.
    ed->c.T_compos.definirSelectiondebut(static_cast<int>(texte.size()));
    const auto t0 = kalbench::Horloge::now();
    ed->x.textes().T_compos_KeyUp();
    const double rendu = kalbench::msDepuis(t0);
    const int n = ed->x.etat.objetcourant;
    const kal::ControleImage& photo = *ed->c.L_photo[static_cast<size_t>(n)];
    const QByteArray imageRendue = empreinte(photo);
    const QSize tailleRendue = photo.bitmap().taille();
    const int lignesRendues = static_cast<int>(ed->x.etat.tabobjets[static_cast<size_t>(n)][kal::col::Lignes]);
    verifie = verifie && ed->c.T_compos.contenutexte() == texte;

    std::printf("Open of a saved page with a text-image, %d rounds\n", tours);
    std::printf("  short text                          min %8.1f   median %8.1f ms\n", tCourt.min(), tCourt.mediane());
    std::printf("  %lld KB paragraph (%lld characters)  min %8.1f   median %8.1f ms\n", static_cast<long long>(rtf.size() / 1024),
                static_cast<long long>(texte.size()), tLong.min(), tLong.mediane());
    std::printf("  long text: %d lines, picture %d x %d, pixels %s\n", lignes, taille.width(), taille.height(),
                image.constData());
    std::printf("  key released in the long text: %.1f ms, %d lines, picture %d x %d, pixels %s\n", rendu, lignesRendues,
                tailleRendue.width(), tailleRendue.height(), imageRendue.constData());
    std::printf("  peak resident memory: %.0f MB\n", kalbench::picMemoireKo() / 1024.0);
    std::printf("  outputs checked: %s\n", verifie ? "PASS" : "FAIL");
    kal::Fenetres::toutDetruire();
    return verifie ? 0 : 1;
}
