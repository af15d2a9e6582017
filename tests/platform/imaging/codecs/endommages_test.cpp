// Damaged files: every reader turns truncated, corrupt and absurdly sized files into the layer's
// error. The corpus lies in tests/data/imaging/endommages (names starting "grand" claim sizes beyond
// the limits, "minuscule" files are a few hundred bytes claiming a picture of 16,000 pixels a side
// or more, "vignette" files have a broken stamp, "tolere" files are odd but readable: they must only
// not crash, as a cut run-length TARGA); on top of it, every fixture is cut and scrambled
// here in many ways. Built with the sanitizers, this also proves that no reader overruns memory.
#include "platform/base/erreur.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "support/dossiertemp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace img = kal::image;

// Under the leak checker: GraphicsMagick's metafile reader loses a few error strings when libwmf
// stops on a scrambled record (inside the library, not ours). Only that library is excused.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libGraphicsMagick\n";
}

namespace {

bool erreurDeLaCouche(int n)
{
    return n == img::err::FormatNonPris || n == img::err::FichierEndommage || n == img::err::FichierTropGrand;
}

// 0 when the call succeeded, the error number when it raised kal::Erreur; other exceptions go on.
template <typename F>
int essai(F f)
{
    try {
        f();
    } catch (const kal::Erreur& e) {
        return e.numero();
    }
    return 0;
}

QStringList corpus()
{
    const QDir d(kaltest::donnee("imaging/endommages"));
    return d.entryList(QDir::Files, QDir::Name);
}

// Under AddressSanitizer every allocation carries red zones and the code runs several times slower:
// the bounds of time and memory below are scaled for that build.
#if defined(__SANITIZE_ADDRESS__)
constexpr int Instrumente = 10;
#else
constexpr int Instrumente = 1;
#endif

// The process's peak resident memory (kB) since it was last brought back.
qint64 picMemoire()
{
    std::ifstream f("/proc/self/status");
    std::string ligne;
    while (std::getline(f, ligne))
        if (ligne.rfind("VmHWM:", 0) == 0)
            return std::stoll(ligne.substr(6));
    return -1;
}

// Brings the peak back to the memory held now (Linux: 5 written to clear_refs).
bool remettreLePic()
{
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    f.close();
    return bool(f);
}

void ecrire(const QString& chemin, const QByteArray& d)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(d);
}

}  // namespace

TEST(Endommages, chaqueFichierDuCorpusDonneLErreurDeLaCouche)
{
    const QStringList noms = corpus();
    ASSERT_GE(noms.size(), 40);
    for (const QString& nom : noms) {
        SCOPED_TRACE(nom.toStdString());
        const QString chemin = kaltest::donnee("imaging/endommages/" + nom);
        if (nom.startsWith("minuscule")) {
            continue;  // below, with their time and memory
        }
        if (nom.startsWith("vignette")) {
            EXPECT_EQ(essai([&] { img::lireVignette(chemin); }), img::err::VignetteAbsente);
            continue;
        }
        const int lecture = essai([&] { img::lireFichier(chemin); });
        // A run-length TARGA cut short is read as far as it goes, the rest transparent.
        if (nom.startsWith("tolere") || nom == "tronque_moitie.rle.tga")
            EXPECT_TRUE(lecture == 0 || erreurDeLaCouche(lecture)) << "lireFichier: " << lecture;
        else
            EXPECT_TRUE(erreurDeLaCouche(lecture)) << "lireFichier: " << lecture;
        // The header alone may look sound when the damage lies further on.
        const int info = essai([&] { img::lireInfo(chemin); });
        EXPECT_TRUE(info == 0 || erreurDeLaCouche(info)) << "lireInfo: " << info;
        if (nom.startsWith("grand")) {
            EXPECT_EQ(lecture, img::err::FichierTropGrand);
            EXPECT_EQ(info, img::err::FichierTropGrand);
        }
        const int vignette = essai([&] { img::lireVignette(chemin); });
        EXPECT_TRUE(vignette == img::err::VignetteAbsente || erreurDeLaCouche(vignette)) << "lireVignette: " << vignette;
    }
}

// A tiny file that claims a huge picture is refused from its header, against its length: at once,
// and without the memory of the picture it claims (measured as the growth of the peak resident
// memory over the call; a picture of 16,000 x 16,000 pixels would take 256 MB to 1 GB).
TEST(Endommages, unPetitFichierQuiPretendUneGrandeImageEstRefuseSansLaPrendre)
{
    QStringList noms;
    for (const QString& nom : corpus())
        if (nom.startsWith("minuscule"))
            noms << nom;
    ASSERT_GE(noms.size(), 12);
    QStringList formats;
    for (const QString& nom : noms) {
        SCOPED_TRACE(nom.toStdString());
        const QString chemin = kaltest::donnee("imaging/endommages/" + nom);
        const bool vignette = nom.startsWith("minuscule_vignette");
        const QString suffixe = QFileInfo(nom).suffix();
        if (!formats.contains(suffixe))
            formats << suffixe;
        for (int appel = 0; appel < (vignette ? 1 : 3); ++appel) {
            ASSERT_TRUE(remettreLePic()) << "/proc/self/clear_refs";
            const qint64 avant = picMemoire();
            QElapsedTimer chrono;
            chrono.start();
            const int n = essai([&] {
                if (vignette)
                    img::lireVignette(chemin);
                else if (appel == 0)
                    img::lireFichier(chemin);
                else if (appel == 1)
                    img::lireInfo(chemin);
                else
                    img::lireFichier(chemin, nullptr, {100, 100});
            });
            const qint64 ms = chrono.elapsed();
            const qint64 croissance = picMemoire() - avant;
            EXPECT_EQ(n, img::err::FichierEndommage) << "appel " << appel;
            EXPECT_LT(ms, 100 * Instrumente) << "appel " << appel;
            EXPECT_LT(croissance, 32 * 1024 * (Instrumente > 1 ? 2 : 1))
                << "appel " << appel << ": " << croissance << " kB";
        }
        if (vignette) {  // the picture itself is sound
            EXPECT_EQ(essai([&] { img::lireFichier(chemin); }), 0);
        }
    }
    // Every format read, and the stamp.
    for (const char* f : {"jpg", "cmp", "bmp", "tif", "tga", "pcx", "wmf", "ico"})
        EXPECT_TRUE(formats.contains(QString::fromLatin1(f))) << f;
}

TEST(Endommages, coupesEtOctetsBrouillesNeFontJamaisPlanter)
{
    kaltest::DossierTravail dossier;
    // The fixtures, plus a stamped JPEG and a larger CMP written here.
    QStringList sources;
    for (const QString& n : QDir(kaltest::donnee("imaging")).entryList(QDir::Files, QDir::Name))
        sources << kaltest::donnee("imaging/" + n);
    QImage photo(96, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            photo.setPixel(x, y, qRgb(x * 2, y * 3, (x * y) % 256));
    img::ecrireVignette(photo, dossier.fichier("vignette.jpg"), img::code::JPEG, 24, 20, photo.scaled(48, 32));
    img::ecrireFichier(photo, dossier.fichier("photo.cmp"), img::code::CMP, 24, 20);
    img::ecrireFichier(photo, dossier.fichier("photo.pcx"), img::code::PCX, 8, 1);
    sources << dossier.fichier("vignette.jpg") << dossier.fichier("photo.cmp") << dossier.fichier("photo.pcx");

    QRandomGenerator hasard(20260101);
    const QString essaiChemin = dossier.fichier("essai");
    int erreurs = 0, reussites = 0;
    for (const QString& source : sources) {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray original = f.readAll();
        for (int k = 0; k < 48; ++k) {
            QByteArray d = original;
            if (k < 16) {  // cut at evenly spread lengths
                d.truncate(qsizetype(d.size()) * k / 16);
            } else {  // a few bytes replaced, more of them as k grows, some in the header
                const int n = 1 + k / 8;
                for (int i = 0; i < n; ++i) {
                    const qsizetype pos = (i == 0 && k % 2) ? hasard.bounded(qMin<qsizetype>(64, d.size())) : hasard.bounded(d.size());
                    d[pos] = char(hasard.bounded(256));
                }
            }
            ecrire(essaiChemin, d);
            SCOPED_TRACE((QFileInfo(source).fileName() + " essai " + QString::number(k)).toStdString());
            for (int appel = 0; appel < 4; ++appel) {
                const int n = essai([&] {
                    switch (appel) {
                    case 0: img::lireFichier(essaiChemin); break;
                    case 1: img::lireInfo(essaiChemin); break;
                    case 2: img::lireVignette(essaiChemin); break;
                    default: img::lireFichier(essaiChemin, nullptr, {8, 8}); break;
                    }
                });
                EXPECT_TRUE(n == 0 || n == img::err::VignetteAbsente || erreurDeLaCouche(n)) << "appel " << appel << ": " << n;
                (n == 0 ? reussites : erreurs) += 1;
            }
        }
    }
    EXPECT_GT(erreurs, 0);
    EXPECT_GT(reussites, 0);
}

// Bytes after a TARGA picture are not read as a second picture: here they look like the header
// of one of 63,216 x 4,112 pixels, which GraphicsMagick would take gigabytes for and then find
// without data, refusing the whole file. The picture before them is read as it stands.
TEST(Endommages, lesOctetsApresUneImageTargaNeSontPasLusCommeUneAutre)
{
    kaltest::DossierTravail dossier;
    QFile f(kaltest::donnee("imaging/quadrants_bas.tga"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();
    const QByteArray enTete("\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\xF0\xF6\x10\x10\x18\x20", 18);
    const QString chemin = dossier.fichier("suivie.tga");
    ecrire(chemin, original + enTete + QByteArray(8, '\x7F'));

    ASSERT_TRUE(remettreLePic()) << "/proc/self/clear_refs";
    const qint64 avant = picMemoire();
    QImage image;
    EXPECT_EQ(essai([&] { image = img::lireFichier(chemin); }), 0);
    EXPECT_TRUE(image == img::lireFichier(kaltest::donnee("imaging/quadrants_bas.tga")));
    EXPECT_LT(picMemoire() - avant, 32 * 1024 * (Instrumente > 1 ? 2 : 1));
}
