// Time to load one long RTF paragraph: the bytes read into a document, and a file loaded into
// the rich-text box and shown. The paragraph is made of short runs (bold and italic words,
// \'hh and \uN characters), as a word processor writes them, with no paragraph mark until the
// end. Every output is checked against the text the generator put in.
//
// Usage: bench_rtf [size in KB ...]   (default: 50 1024 10240)
#include "commun.h"
#include "platform/base/erreur.h"
#include "platform/richtext/boitetexteriche.h"
#include "platform/richtext/rtf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

struct Paragraphe {
    QByteArray rtf;
    QString texte;   // the text the reader must give
    int gras = 0;    // characters in bold
};

// One paragraph of about `octets` bytes of RTF.
Paragraphe paragraphe(qsizetype octets)
{
    static const char* const debut = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
                                     "{\\colortbl;\\red255\\green0\\blue0;}\\pard\\f0\\fs24 ";
    // One unit: five runs of text (plain, bold, plain, italic red, plain).
    static const char* const unite = "Le {\\b chat} de la voisine a mang\\'e9 {\\i\\cf1 trois} souris \\u8364? ";
    static const QString texteUnite = QStringLiteral("Le chat de la voisine a mangé trois souris € ");
    Paragraphe p;
    p.rtf.reserve(octets + 256);
    p.rtf = debut;
    while (p.rtf.size() < octets) {
        p.rtf += unite;
        p.texte += texteUnite;
        p.gras += 4;
    }
    p.rtf += "fin.\\par}";
    p.texte += QStringLiteral("fin.");
    return p;
}

void verifier(const QTextDocument& doc, const Paragraphe& p, const char* quoi)
{
    const QString lu = doc.toRawText().left(doc.characterCount() - 1);
    int gras = 0;
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().fontWeight() == QFont::Bold)
            gras += it.fragment().length();
    if (doc.blockCount() != 1 || lu != p.texte || gras != p.gras) {
        std::fprintf(stderr, "%s: wrong output (%d blocks, %lld characters instead of %lld, %d bold instead of %d)\n",
                     quoi, doc.blockCount(), static_cast<long long>(lu.size()), static_cast<long long>(p.texte.size()),
                     gras, p.gras);
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    kalbench::Appli app(argc, argv);

    QList<qsizetype> tailles;
    for (int i = 1; i < argc; ++i)
        tailles << static_cast<qsizetype>(std::atoll(argv[i])) * 1024;
    if (tailles.isEmpty())
        tailles = {50 * 1024, 1024 * 1024, 10 * 1024 * 1024};

    QTemporaryDir dossier;
    std::printf("%-10s %-10s %14s %18s %14s\n", "RTF", "text", "read (ms)", "box load (ms)", "shown (ms)");
    for (const qsizetype taille : tailles) {
        const Paragraphe p = paragraphe(taille);
        const QString fichier = dossier.filePath(QStringLiteral("long.rtf"));
        {
            QFile f(fichier);
            if (!f.open(QIODevice::WriteOnly) || f.write(p.rtf) != p.rtf.size())
                return 1;
        }

        QElapsedTimer chrono;
        chrono.start();
        QTextDocument doc;
        kal::rtf::lire(p.rtf, doc);
        const qint64 lecture = chrono.elapsed();
        verifier(doc, p, "read");

        QWidget fenetre;
        fenetre.resize(640, 480);
        kal::BoiteTexteRiche boite(&fenetre);
        boite.placer(0, 0, 9000, 6750);
        fenetre.show();
        QApplication::processEvents();
        chrono.restart();
        boite.chargertexte(fichier, 0);
        const qint64 chargement = chrono.elapsed();
        // Shown: the box is laid out and painted once.
        boite.editeur()->viewport()->grab();
        const qint64 affiche = chrono.elapsed();
        verifier(*boite.document(), p, "box");

        std::printf("%7lld KB %7lld kc %14lld %18lld %14lld\n", static_cast<long long>(p.rtf.size() / 1024),
                    static_cast<long long>(p.texte.size() / 1000), static_cast<long long>(lecture),
                    static_cast<long long>(chargement), static_cast<long long>(affiche));
        std::fflush(stdout);
    }
    return 0;
}
