#include "support/utilisateur.h"

#include <exception>
#include <sys/fsuid.h>
#include <thread>
#include <unistd.h>

namespace kaltest {

void commeUtilisateur(const std::function<void()>& f)
{
    if (::geteuid() != 0) {
        f();
        return;
    }
    std::exception_ptr erreur;
    std::thread t([&] {
        ::setfsgid(65534);
        ::setfsuid(65534);
        try {
            f();
        } catch (...) {
            erreur = std::current_exception();
        }
    });
    t.join();
    if (erreur)
        std::rethrow_exception(erreur);
}

}  // namespace kaltest
