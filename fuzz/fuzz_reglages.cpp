// The settings file quelvard.ini, read by the program's own reader in a folder of its own: the
// editors' whole reading (gamma, corrections, what the reading found) and the calibration
// window's reading of the gamma alone.
#include "commun.h"

#include "platform/base/erreur.h"
#include "printing/reglages.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <fcntl.h>

namespace {

int g_fichier = -1;
int g_dossier = -1;   // the settings' folder, current only while an input is read
int g_depart = -1;    // libFuzzer's own folder, where it writes the corpus and the findings
char g_chemin[] = "/tmp/kal-fuzz-reglages-XXXXXX";

// The reading takes the current folder's quelvard.ini.
struct DansDossier {
    DansDossier()
    {
        if (::fchdir(g_dossier) != 0)
            std::abort();
    }
    ~DansDossier()
    {
        if (::fchdir(g_depart) != 0)
            std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kalfuzz::demarrerQt();
    if (!::mkdtemp(g_chemin))
        std::abort();
    std::atexit([] {
        ::unlinkat(g_dossier, "quelvard.ini", 0);
        ::rmdir(g_chemin);
    });
    g_depart = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    g_dossier = ::open(g_chemin, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    g_fichier = ::openat(g_dossier, "quelvard.ini", O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (g_depart < 0 || g_dossier < 0 || g_fichier < 0)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    if (::ftruncate(g_fichier, 0) != 0 || ::pwrite(g_fichier, d, n, 0) != static_cast<ssize_t>(n))
        std::abort();
    const DansDossier dedans;
    kal::ReglagesPartages p;
    p.DeltaH = 11;
    p.DeltaV = -7;
    kal::EtatReglages etat = kal::EtatReglages::Lu;
    try {
        etat = kal::lirereglages(p);
    } catch (const kal::Erreur&) {
        return 0;
    }
    if (etat == kal::EtatReglages::Cree)
        __builtin_trap();   // the file was there: it is never made again
    if (!std::isfinite(p.gamma) || !std::isfinite(p.DeltaH) || !std::isfinite(p.DeltaV))
        __builtin_trap();
    // Reading never rewrites the file.
    std::vector<uint8_t> relu(n + 1);
    if (::pread(g_fichier, relu.data(), n + 1, 0) != static_cast<ssize_t>(n) || !std::equal(d, d + n, relu.begin()))
        __builtin_trap();
    // The calibration window reads the same gamma as the editors.
    if (kal::lireGammaReglages(-1) != p.gamma && n > 0)
        __builtin_trap();
    return 0;
}
