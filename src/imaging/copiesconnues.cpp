#include "imaging/copiesconnues.h"

#include <QFile>
#include <optional>
#include <sys/stat.h>

namespace kal {

namespace {
std::optional<CopiesConnues::Etat> etatFichier(const QString& chemin)
{
    struct stat st {};
    if (::stat(QFile::encodeName(chemin).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    constexpr long long ns = 1000000000LL;
    return CopiesConnues::Etat{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                               static_cast<long long>(st.st_size), st.st_mtim.tv_sec * ns + st.st_mtim.tv_nsec,
                               st.st_ctim.tv_sec * ns + st.st_ctim.tv_nsec};
}
}  // namespace

const CopiesConnues::Fichier* CopiesConnues::valide(const QString& chemin) const
{
    const auto it = fichiers_.find(chemin);
    if (it == fichiers_.end())
        return nullptr;
    const std::optional<Etat> maintenant = etatFichier(chemin);
    return maintenant && *maintenant == it->second.etat ? &it->second : nullptr;
}

void CopiesConnues::ecrite(const QString& chemin, const image::Photo& p)
{
    const std::optional<Etat> e = etatFichier(chemin);
    if (!e) {
        fichiers_.erase(chemin);
        return;
    }
    fichiers_[chemin] = {*e, std::make_shared<Contenu>(Contenu{p.repere()})};
}

void CopiesConnues::lue(const QString& chemin, const image::Photo& p)
{
    if (const Fichier* f = valide(chemin)) {
        Contenu& c = *f->contenu;
        std::erase_if(c, [](const image::Photo::Repere& r) { return r.perime(); });
        c.push_back(p.repere());
        return;
    }
    ecrite(chemin, p);
}

void CopiesConnues::copiee(const QString& source, const QString& cible)
{
    const std::optional<Etat> e = etatFichier(cible);
    if (!e) {
        fichiers_.erase(cible);
        return;
    }
    std::shared_ptr<Contenu> contenu;
    if (const Fichier* f = valide(source)) {
        contenu = f->contenu;
    } else if (const std::optional<Etat> s = etatFichier(source)) {
        // A content not read yet: the copies learn together what it is.
        contenu = std::make_shared<Contenu>();
        fichiers_[source] = {*s, contenu};
    } else {
        contenu = std::make_shared<Contenu>();
    }
    fichiers_[cible] = {*e, contenu};
}

bool CopiesConnues::tient(const QString& chemin, const image::Photo& p) const
{
    const Fichier* f = valide(chemin);
    if (!f)
        return false;
    for (const image::Photo::Repere& r : *f->contenu)
        if (r.designe(p))
            return true;
    return false;
}

bool CopiesConnues::connue(const QString& chemin) const { return valide(chemin) != nullptr; }

void CopiesConnues::reecrite(const QString& chemin, bool connueAvant)
{
    const auto it = fichiers_.find(chemin);
    const std::optional<Etat> e = etatFichier(chemin);
    if (!connueAvant || it == fichiers_.end() || !e) {
        fichiers_.erase(chemin);
        return;
    }
    it->second.etat = *e;
}

}  // namespace kal
