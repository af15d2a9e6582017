// The work database on a disk that fills up: a small tmpfs of its own, a filler file leaving the
// room swept from nothing to 100 KB. Whatever the state the file is in, a write is stored whole or
// refused whole as a full disk; the records read after a refusal are those of before, and once the
// room is back the same database takes the next write; nothing stays beside the file once closed.
#include "platform/base/erreur.h"
#include "platform/database/basedonnees.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

using kal::Erreur;
using namespace kal::bd;

namespace {

const QString table = QStringLiteral("kalmorin");

class BaseSurDisquePlein : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_EQ(::mount("tmpfs", nom().constData(), "tmpfs", 0, "size=2m"), 0) << std::strerror(errno);
        monte_ = true;
    }
    void TearDown() override
    {
        if (monte_)
            ::umount2(nom().constData(), MNT_DETACH);
    }
    QByteArray nom() const { return QFile::encodeName(dir_.path()); }
    QString base() const { return dir_.path() + QStringLiteral("/kalmorin.mdb"); }
    QString aCote() const { return dir_.path() + QStringLiteral("/autre.mdb"); }

    // The disk left with `libre` bytes, a filler file taking the rest; liberer() removes it.
    void remplir(qint64 libre)
    {
        struct statvfs v {};
        ASSERT_EQ(::statvfs(nom().constData(), &v), 0);
        const qint64 prendre = static_cast<qint64>(v.f_bavail) * static_cast<qint64>(v.f_frsize) - libre;
        const int fd = ::open((nom() + "/remplissage").constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        if (prendre > 0) {
            EXPECT_EQ(::posix_fallocate(fd, 0, prendre), 0);
        }
        ::close(fd);
    }
    void liberer() { ::unlink((nom() + "/remplissage").constData()); }
    QStringList fichiers() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // A table of the work database's shape: 32 records, each a few hundred bytes.
    static void remplirTable(Base& b)
    {
        b.creerTable(table, {{QStringLiteral("numero"), TypeChamp::Long, 0},
                             {QStringLiteral("occup"), TypeChamp::Booleen, false},
                             {QStringLiteral("widthimp"), TypeChamp::Double, 0},
                             {QStringLiteral("note"), TypeChamp::Memo, {}}});
        JeuEnregistrements j = b.ouvrirJeu(table);
        for (int n = 0; n < 32; ++n) {
            j.ajouterNouveau();
            j.mettre(QStringLiteral("numero"), n);
            j.mettre(QStringLiteral("note"), QString(300, QLatin1Char('a' + n % 26)));
            j.miseAJour();
        }
    }

    QTemporaryDir dir_;
    bool monte_ = false;
};

// What the records hold, as the file has them: "numero:occup:widthimp" for each.
std::string lire(const QString& chemin)
{
    Base b = Base::lire(chemin);
    QStringList l;
    for (const QVariantList& v : b.valeursStockees(table, {QStringLiteral("numero"), QStringLiteral("occup"), QStringLiteral("widthimp")}))
        l << QStringLiteral("%1:%2:%3").arg(v[0].toInt()).arg(v[1].toInt()).arg(v[2].toDouble());
    return l.join(QLatin1Char(' ')).toStdString();
}

// The record set's view of the same fields.
std::string vu(JeuEnregistrements& j)
{
    QStringList l;
    for (j.premier(); !j.fin(); j.suivant())
        l << QStringLiteral("%1:%2:%3")
                 .arg(j.valeur(QStringLiteral("numero")).toInt())
                 .arg(j.valeur(QStringLiteral("occup")).toBool() ? 1 : 0)
                 .arg(j.valeur(QStringLiteral("widthimp")).toDouble());
    return l.join(QLatin1Char(' ')).toStdString();
}

// Record n taken: occupied, of width w; in one transaction with a new record when `ensemble`.
void ecrire(Base& b, JeuEnregistrements& j, int n, double w, bool ensemble)
{
    auto fiche = [&] {
        j.chercherPremier(QStringLiteral("numero=%1").arg(n));
        j.modifier();
        j.mettre(QStringLiteral("occup"), true);
        j.mettre(QStringLiteral("widthimp"), w);
        j.miseAJour();
    };
    if (!ensemble) {
        fiche();
        return;
    }
    Transaction t(b);
    fiche();
    j.ajouterNouveau();
    j.mettre(QStringLiteral("numero"), 100 + n);
    j.mettre(QStringLiteral("note"), QString(2000, QLatin1Char('z')));
    j.miseAJour();
    t.valider();
}

// The states a write can find the work database in.
enum class Etat {
    Creee,      // the connection that made it (the table and its records just written)
    Fermee,     // closed and made whole, as after a save: the first write puts it in its log again
    Ecrite,     // the connection has written already: its log is there
    Abandonnee, // a program killed while writing left its log beside it
};

struct Cas {
    const char* nom;
    Etat etat;
};

}  // namespace

TEST_F(BaseSurDisquePlein, UneEcritureEstEntiereOuRefuseeEtLaSuivanteReussit)
{
    const Cas cas[] = {{"créée", Etat::Creee}, {"fermée", Etat::Fermee}, {"écrite", Etat::Ecrite}, {"abandonnée", Etat::Abandonnee}};
    int refusees = 0, reussies = 0;
    for (const Cas& c : cas)
        for (const bool ensemble : {false, true})
            for (qint64 libre = 0; libre <= 100 * 1024; libre += 4096) {
                SCOPED_TRACE(QStringLiteral("%1, %2, %3 Ko libres").arg(QString::fromUtf8(c.nom)).arg(ensemble ? "transaction" : "fiche").arg(libre / 1024).toStdString());
                for (const QString& f : fichiers())
                    QFile::remove(dir_.path() + QLatin1Char('/') + f);
                std::optional<Base> b;
                switch (c.etat) {
                case Etat::Creee:
                    b = Base::creer(base());
                    remplirTable(*b);
                    break;
                case Etat::Fermee: {
                    Base f = Base::creer(base());
                    remplirTable(f);
                    f.fermer();
                    rendreAutonome(base(), true);
                    break;
                }
                case Etat::Ecrite:
                    b = Base::creer(base());
                    remplirTable(*b);
                    b->fermer();
                    b = Base::ouvrir(base());
                    {
                        JeuEnregistrements j = b->ouvrirJeu(table);
                        ecrire(*b, j, 5, 5, false);
                    }
                    break;
                case Etat::Abandonnee: {
                    // The file and its log as a kill leaves them: copied while the connection is open.
                    Base f = Base::creer(aCote());
                    remplirTable(f);
                    JeuEnregistrements j = f.ouvrirJeu(table);
                    ecrire(f, j, 5, 5, false);
                    ASSERT_TRUE(QFile::exists(aCote() + QStringLiteral("-wal")));
                    ASSERT_TRUE(QFile::copy(aCote(), base()));
                    ASSERT_TRUE(QFile::copy(aCote() + QStringLiteral("-wal"), base() + QStringLiteral("-wal")));
                    f.fermer();
                    QFile::remove(aCote());
                    break;
                }
                }
                remplir(libre);
                if (!b)
                    b = Base::ouvrir(base());   // on the full disk: an open only reads
                const std::string avant = lire(base());
                JeuEnregistrements j = b->ouvrirJeu(table);
                std::optional<Erreur> echec;
                try {
                    ecrire(*b, j, 1, 1000, ensemble);
                } catch (const Erreur& e) {
                    echec = e;
                }
                if (echec) {
                    ++refusees;
                    EXPECT_TRUE(echec->description().contains(QStringLiteral("le disque est plein"))) << echec->description().toStdString();
                    EXPECT_EQ(echec->cause(), QStringLiteral("le disque est plein"));
                    // Nothing of it, in the file or in the record set.
                    EXPECT_EQ(lire(base()), avant);
                    EXPECT_EQ(vu(j), avant);
                } else {
                    ++reussies;
                }
                // The room back, the same database takes the next write.
                liberer();
                try {
                    ecrire(*b, j, 2, 2000, ensemble);
                } catch (const Erreur& e) {
                    ADD_FAILURE() << e.description().toStdString();
                }
                const std::string apres = lire(base());
                EXPECT_EQ(vu(j), apres);
                b->fermer();
                EXPECT_EQ(fichiers(), QStringList{QStringLiteral("kalmorin.mdb")});
                // Once closed, the failed write never turns up.
                Base r = Base::lire(base());
                EXPECT_EQ(lire(base()), apres);
                JeuEnregistrements k = r.ouvrirJeu(QStringLiteral("SELECT occup, widthimp FROM kalmorin WHERE numero=1"));
                EXPECT_EQ(k.valeur(QStringLiteral("occup")).toBool(), !echec);
                EXPECT_EQ(k.valeur(QStringLiteral("widthimp")).toDouble(), echec ? 0.0 : 1000.0);
                JeuEnregistrements i = r.ouvrirJeu(QStringLiteral("PRAGMA integrity_check"));
                EXPECT_EQ(i.valeur(QStringLiteral("integrity_check")).toString(), QStringLiteral("ok"));
                r.fermer();
            }
    // The sweep met both ends: refusals on the full disk, writes once there was room.
    EXPECT_GT(refusees, 0);
    EXPECT_GT(reussies, 0);
}

