// Where the pictures of the pixel work come from and how their rows are shared out: the memory of
// new pictures (mapped from the system, in 2 MB pages where it can) and the bands over the cores.
#include "platform/imaging/pixels.h"

#include "platform/base/erreur.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kal::image {

namespace {

std::atomic<bool> pagesDeDeuxMo{true};

// Pictures from this size on take their memory from the system directly (glibc would keep some
// freed blocks of this size in its heaps).
constexpr size_t SeuilSysteme = size_t(256) << 10;
constexpr size_t GrandePage = size_t(2) << 20;

struct Zone {
    void* debut;
    size_t longueur;
};

void libererZone(void* p)
{
    auto* z = static_cast<Zone*>(p);
#if defined(__linux__)
    munmap(z->debut, z->longueur);
#endif
    delete z;
}

}  // namespace

void definirGrandesPages(bool oui) { pagesDeDeuxMo = oui; }
bool grandesPages() { return pagesDeDeuxMo; }

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
        // With 2 MB pages the picture starts on a 2 MB boundary inside a slightly larger mapping.
        const size_t longueur = grandes ? (octets + GrandePage - 1) / GrandePage * GrandePage + GrandePage : octets;
        void* m = mmap(nullptr, longueur, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED)
            throw manque();
        auto* debut = static_cast<uchar*>(m);
#if defined(MADV_HUGEPAGE)
        if (grandes) {
            debut = reinterpret_cast<uchar*>((reinterpret_cast<uintptr_t>(m) + GrandePage - 1) & ~(GrandePage - 1));
            madvise(debut, longueur - size_t(debut - static_cast<uchar*>(m)), MADV_HUGEPAGE);
        }
#endif
        auto* z = new Zone{m, longueur};
        QImage img(debut, w, h, pas, format, libererZone, z);
        if (img.isNull()) {
            libererZone(z);
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

void enParallele(int n, int grain, const std::function<void(int, int)>& travail)
{
    if (n <= 0)
        return;
    const int coeurs = std::max(1u, std::thread::hardware_concurrency());
    const int bandes = std::clamp((n + std::max(1, grain) - 1) / std::max(1, grain), 1, coeurs);
    if (bandes == 1) {
        travail(0, n);
        return;
    }
    // A failure in a band (memory) is carried back to the caller once every band has ended.
    std::vector<std::exception_ptr> erreurs(bandes);
    auto bande = [&](int i) {
        try {
            travail(int(int64_t(n) * i / bandes), int(int64_t(n) * (i + 1) / bandes));
        } catch (...) {
            erreurs[i] = std::current_exception();
        }
    };
    std::vector<std::thread> fils;
    fils.reserve(bandes - 1);
    for (int i = 1; i < bandes; ++i)
        fils.emplace_back(bande, i);
    bande(0);
    for (auto& f : fils)
        f.join();
    for (auto& e : erreurs)
        if (e)
            std::rethrow_exception(e);
}

}  // namespace kal::image
