// Where the pictures of the pixel work come from and how their rows are shared out: the memory of
// new pictures (mapped from the system, in 2 MB pages where it can, and kept warm for the next
// picture once freed) and the rows handed out in small chunks to the cores.
#include "platform/imaging/pixels.h"

#include "platform/base/erreur.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>
#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(_OPENMP)
#include <omp.h>
#endif

namespace kal::image {

namespace {

std::atomic<bool> pagesDeDeuxMo{true};
std::atomic<int> filsVoulus{0};

// Pictures from this size on take their memory from the system directly (glibc would keep some
// freed blocks of this size in its heaps).
constexpr size_t SeuilSysteme = size_t(256) << 10;
constexpr size_t GrandePage = size_t(2) << 20;

struct Zone {
    void* debut;      // the mapping
    size_t longueur;  // its length
    uchar* pixels;    // where the picture starts in it
    size_t utile;     // bytes a picture may use from pixels on
    bool grandes;     // asked for in 2 MB pages
};

// The length of a fresh mapping for a picture of that many bytes: with 2 MB pages the picture
// starts on a 2 MB boundary inside a slightly larger mapping.
size_t longueurPour(size_t octets, bool grandes)
{
    return grandes ? (octets + GrandePage - 1) / GrandePage * GrandePage + GrandePage : octets;
}

// The freed mappings kept for the next pictures. A new picture takes the smallest that holds it,
// so that its pages are already there (no page faults, no zeroing by the system); the reserve is
// bounded, and a request it cannot serve gives back first what is too small to serve it.
class Reserve {
public:
    std::optional<Zone> prendre(size_t octets, bool grandes)
    {
        std::lock_guard<std::mutex> g(m_);
        auto meilleure = zones_.end();
        for (auto i = zones_.begin(); i != zones_.end(); ++i)
            if (i->grandes == grandes && i->utile >= octets && i->longueur <= longueurPour(octets, grandes) / 4 * 5
                && (meilleure == zones_.end() || i->longueur < meilleure->longueur))
                meilleure = i;
        if (meilleure != zones_.end()) {
            const Zone z = *meilleure;
            total_ -= z.longueur;
            zones_.erase(meilleure);
            return z;
        }
        // A fresh mapping follows: what is kept and could not serve it goes back to the system
        // first, so that the reserve never adds to the largest need.
        for (auto i = zones_.begin(); i != zones_.end();)
            if (i->utile < octets) {
                total_ -= i->longueur;
                demapper(*i);
                i = zones_.erase(i);
            } else {
                ++i;
            }
        return std::nullopt;
    }

    void rendre(const Zone& z)
    {
        std::lock_guard<std::mutex> g(m_);
        if (z.longueur > Plafond) {
            demapper(z);
            return;
        }
        zones_.push_back(z);
        total_ += z.longueur;
        // The oldest go first when the reserve is full.
        while (total_ > Plafond || zones_.size() > NombreMax) {
            total_ -= zones_.front().longueur;
            demapper(zones_.front());
            zones_.erase(zones_.begin());
        }
    }

    void vider()
    {
        std::lock_guard<std::mutex> g(m_);
        for (const Zone& z : zones_)
            demapper(z);
        zones_.clear();
        total_ = 0;
    }

    size_t total()
    {
        std::lock_guard<std::mutex> g(m_);
        return total_;
    }

private:
    // Two full-resolution pictures of 24 megapixels with their turned copy's margin.
    static constexpr size_t Plafond = size_t(256) << 20;
    static constexpr size_t NombreMax = 6;

    static void demapper(const Zone& z)
    {
#if defined(__linux__)
        munmap(z.debut, z.longueur);
#endif
    }

    std::mutex m_;
    std::vector<Zone> zones_;
    size_t total_ = 0;
};

Reserve& reserve()
{
    static Reserve* r = new Reserve;  // never destroyed: pictures may outlive static destruction
    return *r;
}

void libererZone(void* p)
{
    auto* z = static_cast<Zone*>(p);
    reserve().rendre(*z);
    delete z;
}

#if defined(__linux__)
Zone nouvelleZone(size_t octets, bool grandes)
{
    const size_t longueur = longueurPour(octets, grandes);
    void* m = mmap(nullptr, longueur, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        return {nullptr, 0, nullptr, 0, grandes};
    auto* debut = static_cast<uchar*>(m);
#if defined(MADV_HUGEPAGE)
    if (grandes) {
        debut = reinterpret_cast<uchar*>((reinterpret_cast<uintptr_t>(m) + GrandePage - 1) & ~(GrandePage - 1));
        madvise(debut, longueur - size_t(debut - static_cast<uchar*>(m)), MADV_HUGEPAGE);
    }
#endif
    return {m, longueur, debut, longueur - size_t(debut - static_cast<uchar*>(m)), grandes};
}
#endif

}  // namespace

void definirGrandesPages(bool oui) { pagesDeDeuxMo = oui; }
bool grandesPages() { return pagesDeDeuxMo; }

void viderReserve() { reserve().vider(); }
size_t octetsEnReserve() { return reserve().total(); }

QImage nouvelleImage(int w, int h, QImage::Format format)
{
    const int profondeur = QImage::toPixelFormat(format).bitsPerPixel();
    const qsizetype pas = qsizetype((qint64(w) * profondeur + 31) / 32 * 4);
    const size_t octets = size_t(pas) * size_t(std::max(h, 0));
    auto manque = [&] {
        return Erreur(7, QStringLiteral("Mémoire insuffisante pour une image de %1 x %2 pixels").arg(w).arg(h));
    };
    if (w <= 0 || h <= 0)
        throw manque();
#if defined(__linux__)
    if (octets >= SeuilSysteme) {
        const bool grandes = pagesDeDeuxMo && octets >= GrandePage;
        std::optional<Zone> z = reserve().prendre(octets, grandes);
        if (!z) {
            z = nouvelleZone(octets, grandes);
            if (!z->debut) {
                // The reserve gives everything back and the mapping is tried once more.
                reserve().vider();
                z = nouvelleZone(octets, grandes);
                if (!z->debut)
                    throw manque();
            }
        }
        auto* zone = new Zone(*z);
        QImage img(zone->pixels, w, h, pas, format, libererZone, zone);
        if (img.isNull()) {
            libererZone(zone);
            throw manque();
        }
        return img;
    }
#endif
    QImage img(w, h, format);
    if (img.isNull())
        throw manque();
    return img;
}

void definirFils(int n) { filsVoulus = std::max(0, n); }

int fils()
{
    const int n = filsVoulus;
    return n > 0 ? n : int(std::max(1u, std::thread::hardware_concurrency()));
}

void enParallele(int n, int grain, const std::function<void(int, int)>& travail)
{
    if (n <= 0)
        return;
    grain = std::max(1, grain);
    const int coeurs = fils();
    // Chunks of at least grain rows, about four per thread, taken by whichever thread is free: a
    // thread the system holds back (a busy machine) leaves its share to the others.
    const int morceau = std::max(grain, (n + 4 * coeurs - 1) / (4 * coeurs));
    const int morceaux = (n + morceau - 1) / morceau;
    if (morceaux == 1 || coeurs == 1) {
        travail(0, n);
        return;
    }
#if defined(_OPENMP)
    // A failure in a chunk (memory) is carried back to the caller once every chunk has ended.
    std::exception_ptr erreur;
    std::atomic<bool> echoue{false};
#pragma omp parallel for schedule(dynamic, 1) num_threads(std::min(coeurs, morceaux))
    for (int i = 0; i < morceaux; ++i) {
        if (echoue.load(std::memory_order_relaxed))
            continue;
        try {
            travail(i * morceau, std::min(n, (i + 1) * morceau));
        } catch (...) {
#pragma omp critical(kal_enparallele_erreur)
            {
                if (!erreur)
                    erreur = std::current_exception();
            }
            echoue = true;
        }
    }
    if (erreur)
        std::rethrow_exception(erreur);
#else
    travail(0, n);
#endif
}

}  // namespace kal::image

// The threads of the pool sleep as soon as they have nothing to do: on a machine that is busy
// with other work, threads spinning while they wait would take the cores the working threads
// need. The OpenMP runtime reads this once, as it is loaded, before any constructor of the
// program runs: hence the pre-initialisation entry of the executable (left alone when the user
// has set it).
#if defined(_OPENMP) && defined(__linux__)
namespace {
void attenteParSommeil(int, char**, char**)
{
    if (!std::getenv("OMP_WAIT_POLICY"))
        putenv(const_cast<char*>("OMP_WAIT_POLICY=PASSIVE"));
}
}  // namespace
__attribute__((section(".preinit_array"), used)) static void (*const kalAttenteOmp)(int, char**, char**) = attenteParSommeil;
#endif
