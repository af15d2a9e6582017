#pragma once
// A shared library the program opens itself the first time it needs it, rather than linking it:
// its entry points are taken by name. The library is never closed (what it loads may keep
// threads or coders of its own running).
#include <dlfcn.h>
#include <type_traits>

namespace kal {

class Bibliotheque {
public:
    explicit Bibliotheque(const char* soname) : b_(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {}

    bool ouverte() const { return b_ != nullptr; }
    // Every entry point asked for was found (and the library opened).
    bool complete() const { return b_ && complete_; }

    // Puts the entry point `nom` into `p` (null when missing).
    template <class P>
    void prendre(P& p, const char* nom)
    {
        static_assert(std::is_pointer_v<P>);
        p = b_ ? reinterpret_cast<P>(dlsym(b_, nom)) : nullptr;
        complete_ = complete_ && p;
    }

private:
    void* b_;
    bool complete_ = true;
};

}  // namespace kal
