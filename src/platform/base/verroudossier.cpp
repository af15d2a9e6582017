#include "platform/base/verroudossier.h"

#include <QFile>
#include <cerrno>
#include <map>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kal {

namespace {
// The folders this run holds: one open descriptor each, locked once, and how many holders share it.
struct Tenu {
    int fd = -1;
    int detenteurs = 0;
};
using Cle = std::pair<unsigned long long, unsigned long long>;
std::map<Cle, Tenu>& tenus()
{
    static std::map<Cle, Tenu> t;
    return t;
}
}  // namespace

VerrouDossier::Etat VerrouDossier::prendre(const QString& dossier)
{
    liberer();
    const int fd = ::open(QFile::encodeName(dossier).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Etat::Impossible;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return Etat::Impossible;
    }
    const Cle cle{st.st_dev, st.st_ino};
    auto it = tenus().find(cle);
    if (it != tenus().end()) {
        // Held already by this run.
        ::close(fd);
        ++it->second.detenteurs;
        cle_ = cle;
        tenu_ = true;
        return Etat::Pris;
    }
    // flock belongs to the open folder, not to the process: it is not lost when another part of
    // the program opens and closes the same folder, and the system drops it with the program.
    int r;
    do
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        const int e = errno;
        ::close(fd);
        return e == EWOULDBLOCK ? Etat::Occupe : Etat::Impossible;
    }
    tenus()[cle] = Tenu{fd, 1};
    cle_ = cle;
    tenu_ = true;
    return Etat::Pris;
}

void VerrouDossier::liberer()
{
    if (!tenu_)
        return;
    tenu_ = false;
    auto it = tenus().find(cle_);
    if (it == tenus().end() || --it->second.detenteurs > 0)
        return;
    ::close(it->second.fd);   // closing the last descriptor of the folder lets the lock go
    tenus().erase(it);
}

}  // namespace kal
