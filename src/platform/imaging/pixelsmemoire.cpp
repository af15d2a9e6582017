// Where the pictures of the pixel work come from and how their rows are shared out: the memory of
// new pictures (mapped from the system, in 2 MB pages where it can, and kept warm for the next
// picture once freed) and the rows handed out in small chunks to the threads of oneTBB's pool.
// oneTBB first: Qt's headers define "emit", a name oneTBB's use.
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include "platform/imaging/pixels.h"

#include "platform/base/erreur.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
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
        // Over its bytes, the oldest go first; over its count, the smallest (the cheapest to map
        // again), so that a burst of small pictures does not push out a full-resolution one.
        while (total_ > Plafond) {
            total_ -= zones_.front().longueur;
            demapper(zones_.front());
            zones_.erase(zones_.begin());
        }
        while (zones_.size() > NombreMax) {
            auto petite = std::min_element(zones_.begin(), zones_.end(),
                                           [](const Zone& a, const Zone& b) { return a.longueur < b.longueur; });
            total_ -= petite->longueur;
            demapper(*petite);
            zones_.erase(petite);
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

namespace {

// The pool's arena when the number of threads is pinned (null: the whole pool). Arenas replaced are
// kept, since a chunk may still be running in one.
std::mutex mArene;
std::atomic<tbb::task_arena*> areneFixee{nullptr};
std::vector<std::unique_ptr<tbb::task_arena>>& arenes()
{
    static auto* a = new std::vector<std::unique_ptr<tbb::task_arena>>;
    return *a;
}

}  // namespace

void definirFils(int n)
{
    std::lock_guard<std::mutex> g(mArene);
    filsVoulus = std::max(0, n);
    if (n > 0) {
        arenes().push_back(std::make_unique<tbb::task_arena>(n));
        areneFixee = arenes().back().get();
    } else {
        areneFixee = nullptr;
    }
}

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
    // Chunks of at least grain rows, about four per thread, taken by whichever thread is free: the
    // caller works through them too, and waits only for the chunks other threads have taken, so a
    // thread the system holds back on a busy machine leaves its share to the others instead of
    // holding everyone up.
    const int morceau = std::max(grain, (n + 4 * coeurs - 1) / (4 * coeurs));
    const int morceaux = (n + morceau - 1) / morceau;
    if (morceaux == 1 || coeurs == 1) {
        travail(0, n);
        return;
    }
    // A failure in a chunk (memory) cancels the chunks that have not started and is raised here.
    auto tout = [&] {
        tbb::parallel_for(
            tbb::blocked_range<int>(0, morceaux, 1),
            [&](const tbb::blocked_range<int>& r) {
                for (int i = r.begin(); i < r.end(); ++i)
                    travail(i * morceau, std::min(n, (i + 1) * morceau));
            },
            tbb::simple_partitioner());
    };
    if (tbb::task_arena* a = areneFixee.load())
        a->execute(tout);
    else
        tout();
}

}  // namespace kal::image
