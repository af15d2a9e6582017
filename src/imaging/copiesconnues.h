#pragma once
// What an editor knows its work copies hold. For each work file it wrote, read or copied, the
// pictures known to be its content, and the file as it stood then (device, inode, size and
// times: every write of the program replaces a file by another one). A work copy is written
// again only when the picture is none of these or the file changed since: encoding a picture
// that is there already only loses a little of it each time.
#include "platform/imaging/photo.h"

#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace kal {

class CopiesConnues {
public:
    // The picture was written to that file, or read from it.
    void ecrite(const QString& chemin, const image::Photo& p);
    void lue(const QString& chemin, const image::Photo& p);
    // `cible` was just made a copy of `source`, byte for byte.
    void copiee(const QString& source, const QString& cible);
    // True when the file holds that picture as far as is known.
    bool tient(const QString& chemin, const image::Photo& p) const;
    // True when what the file holds is known (it has not changed since).
    bool connue(const QString& chemin) const;
    // The file was rewritten with the picture it held (its stamp added): when what it held was
    // known before (`connueAvant`), it still is.
    void reecrite(const QString& chemin, bool connueAvant);

    struct Etat {
        unsigned long long dev = 0, ino = 0;
        long long taille = 0, mtime = 0, ctime = 0;
        bool operator==(const Etat&) const = default;
    };

private:
    using Contenu = std::vector<image::Photo::Repere>;
    struct Fichier {
        Etat etat;
        // Shared by the copies of one content.
        std::shared_ptr<Contenu> contenu;
    };
    std::map<QString, Fichier> fichiers_;

    const Fichier* valide(const QString& chemin) const;
};

}  // namespace kal
