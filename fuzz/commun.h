#pragma once
// What the fuzz targets share: a Qt application on the offscreen platform, started once, and
// the input put in a file of memory whose path the readers open like any other file.
#include <QGuiApplication>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

// GraphicsMagick's metafile reader loses a few error strings when libwmf stops on a scrambled
// record: inside the library, not ours (the test suite excuses it the same way).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libGraphicsMagick\n";
}

namespace kalfuzz {

// The largest picture the image targets decode, in pixels: 4 megapixels (the seeds go up to
// 1500 x 1500). A larger one accepted by its header costs seconds of the run for no new path;
// the ordinary tests read such pictures (tests/platform/imaging/codecs/).
constexpr long long pixelsDecodes = 4ll << 20;

inline bool tropGrandPourDecoder(int largeur, int hauteur)
{
    return static_cast<long long>(largeur) * hauteur > pixelsDecodes;
}

inline void demarrerQt()
{
    static int argc = 1;
    static char nom[] = "fuzz";
    static char* argv[] = {nom, nullptr};
    if (QGuiApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

// A file holding the bytes, reached by a path; replaced at each input.
class FichierMemoire {
public:
    FichierMemoire()
    {
        fd_ = ::memfd_create("entree", MFD_CLOEXEC);
        if (fd_ < 0)
            std::abort();
        chemin_ = QStringLiteral("/proc/self/fd/%1").arg(fd_);
    }
    const QString& remplir(const uint8_t* d, size_t n)
    {
        if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, d, n, 0) != static_cast<ssize_t>(n))
            std::abort();
        return chemin_;
    }

private:
    int fd_ = -1;
    QString chemin_;
};

}  // namespace kalfuzz
