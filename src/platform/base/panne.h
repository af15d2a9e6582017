#pragma once
// A fault seam for the tests: every write-class step of the program's file layer and of its
// database engine (a write, a flush, a truncation, a rename, a removal, the creation of a file or
// folder, an open for writing) asks verifier() first, which can count the steps and make step N
// fail, once or from N on, with the error number a real disk would give (ENOSPC, EIO). "From N on"
// also stands for a program stopped before step N: the disk is then left as a crash would leave it.
// Not armed, verifier() is one atomic load.
#include <QString>
#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

namespace kal::panne {

namespace detail {
extern std::atomic<int> actif;   // 0: nothing counted, nothing failed
int verifierArme(const char* quoi, const QString& chemin);
inline QString texte(const QString& c) { return c; }
inline QString texte(const QByteArray& c) { return QString::fromLocal8Bit(c); }
inline QString texte(const char* c) { return QString::fromUtf8(c); }
inline QString texte(const std::string& c) { return QString::fromStdString(c); }
}  // namespace detail

// Counts from now on and makes operation n (1 = the first one after this call) fail with `err`;
// with `depuis`, every operation from n on fails.
void armer(long n, bool depuis, int err);
// Counts from now on, fails nothing.
void compter();
// Neither counts nor fails any more (the count stays readable).
void desarmer();
// The operations counted since the last armer() or compter().
long compte();
// What each counted operation was ("renommer /…/persopag/base"), in order.
std::vector<QString> operations();

// The exchange of two names in one rename answered EINVAL, as on disks that cannot do it (network
// and FAT disks, most FUSE disks): the callers take their fallback.
void refuserEchange(bool refuser);
bool echangeRefuse();

// The errno a write-class step must fail with, or 0. The path (a QString, the bytes of a name, a
// C string) is made into text only when the seam is armed.
template <class C>
inline int verifier(const char* quoi, const C& chemin)
{
    return detail::actif.load(std::memory_order_relaxed) == 0 ? 0 : detail::verifierArme(quoi, detail::texte(chemin));
}

// A system call made through the seam: its own result, or -1 with errno set when the seam fails it.
template <class C, class F>
auto appel(const char* quoi, const C& chemin, F&& f) -> decltype(f())
{
    if (const int e = verifier(quoi, chemin)) {
        errno = e;
        return -1;
    }
    return f();
}

}  // namespace kal::panne
