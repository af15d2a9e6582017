#pragma once
// An advisory lock on a work folder. Two copies of the program working in one folder would share
// its database and its work files, each undoing what the other does: the first to take the lock
// keeps it, and the system lets it go when the program ends, however it ends. Within one run the
// lock is shared: every holder of the program takes it, the last to let it go releases it.
#include <QString>
#include <utility>

namespace kal {

class VerrouDossier {
public:
    enum class Etat {
        Pris,         // held now
        Occupe,       // another program holds it
        Impossible,   // the folder cannot be opened, or its disk keeps no locks: nothing is held
    };

    VerrouDossier() = default;
    ~VerrouDossier() { liberer(); }
    VerrouDossier(const VerrouDossier&) = delete;
    VerrouDossier& operator=(const VerrouDossier&) = delete;

    // Takes the lock on the folder without waiting (letting go of one held before).
    Etat prendre(const QString& dossier);
    void liberer();
    bool tenu() const { return tenu_; }

private:
    bool tenu_ = false;
    std::pair<unsigned long long, unsigned long long> cle_{};   // the folder's disk and number while held
};

}  // namespace kal
