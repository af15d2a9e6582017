// The editors' steps that write work files, on a disk that fills up: the work folder on a small
// tmpfs of its own, a filler file leaving a given room. A step that cannot write its files does
// nothing: the records, the work files and what the editor shows are those from before, the
// person reads the program's own words, and once the room is back the step works.
#include "layout/banc_souris.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"
#include "platform/base/panne.h"
#include "platform/richtext/rtf.h"
#include "printing/impression.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

using kal::champ::occup;

class DisquePlein : public kaltest::EditeurSouris {
protected:
    void SetUp() override
    {
        // The work folder becomes a 16 MB disk before the editor installs its database there.
        ASSERT_EQ(::mount("tmpfs", dossier().constData(), "tmpfs", 0, "size=16m"), 0) << std::strerror(errno);
        monte_ = true;
        kal::fs::changerDossier(banc.dossier.chemin());
        EditeurSouris::SetUp();
    }
    ~DisquePlein() override
    {
        if (monte_)
            ::umount2(dossier().constData(), MNT_DETACH);
    }

    QByteArray dossier() const { return QFile::encodeName(banc.dossier.chemin()); }
    // The disk left with `libre` bytes, a filler file taking the rest; liberer() removes it.
    void remplir(qint64 libre)
    {
        struct statvfs v {};
        ASSERT_EQ(::statvfs(dossier().constData(), &v), 0);
        const qint64 prendre = static_cast<qint64>(v.f_bavail) * static_cast<qint64>(v.f_frsize) - libre;
        const int fd = ::open((dossier() + "/remplissage").constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::posix_fallocate(fd, 0, prendre), 0);
        ::close(fd);
    }
    void liberer() { ::unlink((dossier() + "/remplissage").constData()); }

    // A photo of noise, so that its work copies are large: w x h pixels.
    bool placerBruit(int w, int h, const QString& nom)
    {
        QImage img(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, QRandomGenerator::global()->generate() | 0xFF000000u);
        // Off the small disk, which may be full already.
        const QString chemin = sources_.filePath(nom);
        EXPECT_TRUE(img.save(chemin, "JPEG", 90));
        const bool fait = kaltest::BancEditeur::placer(ed, chemin);
        QFile::remove(chemin);
        return fait;
    }
    QString fichier(const QString& nom) const { return banc.dossier.fichier(nom); }

    // What must not change across a failed step: the records' occupation and sizes, the work
    // files' bytes (no hidden leftover either), the current object, the count, the objects and
    // thumbnails shown, the editing controls, the captions (the window's title follows the
    // pointer, not the step).
    struct Etat {
        std::vector<QVariant> occupes, largeurs, hauteurs, gauches, cadres;
        std::map<QString, QByteArray> fichiers;
        int courant = -1, nombre = 0, caseCadre = 0, format = 0, angle = 0;
        QVariant rot;   // the current object's record
        QSize taille;   // the current object as drawn
        std::vector<bool> montres, actifs;
        QStringList legendes;
        bool operator==(const Etat&) const = default;
        friend void PrintTo(const Etat& s, std::ostream* os)
        {
            *os << "courant " << s.courant << ", " << s.nombre << " objets, occupés";
            for (const QVariant& v : s.occupes)
                *os << ' ' << v.toBool();
            *os << ", largeurs";
            for (const QVariant& v : s.largeurs)
                *os << ' ' << v.toDouble();
            *os << ", montrés";
            for (bool b : s.montres)
                *os << ' ' << b;
            *os << ", actifs";
            for (bool b : s.actifs)
                *os << ' ' << b;
            *os << ", légendes " << s.legendes.join(QLatin1Char('|')).toStdString() << ", fichiers";
            for (const auto& [nom, o] : s.fichiers)
                *os << ' ' << nom.toStdString() << '(' << o.size() << ')';
        }
    };
    Etat etat()
    {
        Etat s;
        for (int n = 0; n < 4; ++n) {
            s.occupes.push_back(champ(n, occup));
            s.largeurs.push_back(champ(n, kal::champ::widthimp));
            s.hauteurs.push_back(champ(n, kal::champ::heightimp));
            s.gauches.push_back(champ(n, kal::champ::leftimp));
            s.cadres.push_back(champ(n, kal::champ::cadre));
        }
        // Every file but the filler, hidden ones included: a leftover counts.
        for (const QString& f : QDir(banc.dossier.chemin()).entryList(QDir::Files | QDir::Hidden))
            if (f != QLatin1String("remplissage") && !f.startsWith(QLatin1String("kalmorin.mdb")))
                s.fichiers[f] = kaltest::octets(fichier(f));
        s.courant = e().objetcourant;
        s.nombre = e().nbobjets;
        s.caseCadre = c().C_cadre.valeur();
        s.format = c().A_format.valeur();
        s.angle = c().A_angle.valeur();
        if (s.courant >= 0)
            s.rot = champ(s.courant, kal::champ::rot);
        if (s.courant >= 0 && s.courant < 4 && c().L_photo[static_cast<size_t>(s.courant)])
            s.taille = c().L_photo[static_cast<size_t>(s.courant)]->widget()->size();
        for (int n = 0; n < 4; ++n) {
            const kal::ControleImage* p = c().L_photo[static_cast<size_t>(n)].get();
            const kal::ControleImage* m = c().L_miniat[static_cast<size_t>(n)].get();
            s.montres.push_back(p && p->visible() && !p->estVide());
            s.montres.push_back(m && m->visible());
        }
        for (const kal::Controle* k : std::initializer_list<const kal::Controle*>{
                 &c().A_margeH, &c().A_format, &c().A_contraste, &c().A_angle, &c().B_initimage, &c().C_decoupe})
            s.actifs.push_back(k->actif());
        s.legendes = {c().E_format.legende(), c().E_margeH.legende(), c().E_margeV.legende(), c().E_angle.legende()};
        return s;
    }
    // The one message of the failed step: what was not done and why, in the program's words (no
    // scratch file named, nothing said to be kept).
    void messageSeul(const QString& attendu)
    {
        const auto& m = banc.repondeur.messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].texte, attendu + QStringLiteral(" : le disque est plein."));
        banc.repondeur.oublier();
    }

private:
    bool monte_ = false;
    QTemporaryDir sources_;
};

TEST_P(DisquePlein, ChargerUnePhoto)
{
    ASSERT_TRUE(placer(320, 240, QStringLiteral("petite.jpg")));
    remplir(64 * 1024);
    const Etat avant = etat();
    EXPECT_FALSE(placerBruit(900, 600, QStringLiteral("grande.jpg")));
    messageSeul(QStringLiteral("La photo grande.jpg n'a pas été chargée"));
    EXPECT_EQ(etat(), avant);
    EXPECT_EQ(c().L_photo[0]->bitmap().largeur(), 320);

    liberer();
    ASSERT_TRUE(placerBruit(900, 600, QStringLiteral("grande.jpg")));
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_TRUE(champ(1, occup).toBool());
    EXPECT_EQ(e().objetcourant, 1);
    EXPECT_EQ(image(kal::fichierSauv(1)).size(), QSize(900, 600));
}

TEST_P(DisquePlein, CopierUnObjet)
{
    ASSERT_TRUE(placerBruit(900, 600, QStringLiteral("grande.jpg")));
    remplir(64 * 1024);
    const Etat avant = etat();
    ed->x.objets().L_miniat_Click(0);
    messageSeul(QStringLiteral("L'objet 0 n'a pas été copié"));
    EXPECT_EQ(etat(), avant);

    liberer();
    ed->x.objets().L_miniat_Click(0);
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_TRUE(champ(1, occup).toBool());
    EXPECT_EQ(e().objetcourant, 1);
    EXPECT_EQ(image(kal::fichierSauv(1)).size(), QSize(900, 600));
}

TEST_P(DisquePlein, DecouperEtAnnuler)
{
    ASSERT_TRUE(placerBruit(900, 600, QStringLiteral("grande.jpg")));
    // Most of the object: its cut copies need more room than is left.
    auto decouper = [&] {
        const QSize t = photo(0).widget()->size();
        glisser(0, {2, 2}, {QPoint(t.width() * 4 / 5, t.height() * 4 / 5)});
    };
    c().C_decoupe.definirValeur(1);
    remplir(64 * 1024);
    const Etat avant = etat();
    decouper();
    messageSeul(QStringLiteral("La découpe n'a pas été faite"));
    // Still in crop mode, for another try.
    EXPECT_EQ(etat(), avant);
    EXPECT_FALSE(c().B_annuldecoupe.actif());
    EXPECT_TRUE(e().modedecoupe);

    liberer();
    decouper();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    const QSize coupee = image(kal::fichierSauv(0)).size();
    EXPECT_LT(coupee.width(), 900);
    ASSERT_TRUE(c().B_annuldecoupe.actif());

    // ANNULER on a full disk: the crop stays, and can still be cancelled afterwards.
    remplir(64 * 1024);
    const Etat decoupe = etat();
    c().B_annuldecoupe.cliquer();
    messageSeul(QStringLiteral("La découpe n'a pas été annulée"));
    EXPECT_EQ(etat(), decoupe);
    EXPECT_TRUE(c().B_annuldecoupe.actif());
    liberer();
    c().B_annuldecoupe.cliquer();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(image(kal::fichierSauv(0)).size(), QSize(900, 600));
}

TEST_P(DisquePlein, QuitterUnObjetRegle)
{
    ASSERT_TRUE(placerBruit(900, 600, QStringLiteral("grande.jpg")));
    ASSERT_TRUE(placerBruit(500, 400, QStringLiteral("moyenne.jpg")));
    c().A_contraste.definirValeur(40);
    remplir(64 * 1024);
    const Etat avant = etat();
    // A press on object 0 where object 1, in front, does not cover it.
    const QSize t = photo(0).widget()->size();
    cliquer(0, {t.width() - 4, t.height() - 4});
    messageSeul(QStringLiteral("L'objet 0 n'a pas été sélectionné"));
    EXPECT_EQ(etat(), avant);
    // A print stores the current object first: nothing printed, no work file named.
    EXPECT_FALSE(ed->x.impression().impression());
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    const QString imprime = banc.repondeur.messages()[0].texte;
    EXPECT_TRUE(imprime.contains(QStringLiteral("L'objet en cours n'a pas pu être enregistré : le disque est plein.")))
        << imprime.toStdString();
    EXPECT_FALSE(imprime.contains(QStringLiteral(".svc")));
    banc.repondeur.oublier();
    EXPECT_EQ(etat(), avant);
    if (jaq()) {
        c().O_arriere.definirValeur(true);
        messageSeul(QStringLiteral("La face n'a pas été changée"));
        EXPECT_TRUE(c().O_avant.valeur());
        EXPECT_EQ(etat(), avant);
        // The print option: the jacket stays in composition.
        c().O_imprim.definirValeur(true);
        messageSeul(QStringLiteral("L'objet en cours n'a pas pu être enregistré, la jaquette reste en composition"));
        EXPECT_TRUE(c().O_compos.valeur());
        EXPECT_FALSE(c().O_tout.actif());
        EXPECT_EQ(etat(), avant);
    }

    liberer();
    cliquer(0, {t.width() - 4, t.height() - 4});
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(e().objetcourant, 0);
}

TEST_P(DisquePlein, TaperDansUnTexteImage)
{
    kal::Liste& l = c().L_fonction;
    for (int i = 0; i < l.nombre(); ++i)
        if (l.entree(i) == QStringLiteral("Créer Texte-Image"))
            l.definirIndex(i);
    ASSERT_TRUE(champ(0, kal::champ::textimage).toBool());
    kal::BoiteTexteRiche& t = c().T_compos;
    QTest::keyClicks(t.editeur(), QStringLiteral("Bonjour"));
    auto texteFichier = [&] {
        QTextDocument doc;
        kal::rtf::lireFichier(kal::fichierTexte(0), doc);
        return doc.toPlainText();
    };
    ASSERT_EQ(texteFichier(), QStringLiteral("Bonjour"));

    remplir(0);
    const Etat avant = etat();
    QTest::keyClicks(t.editeur(), QStringLiteral("x"));
    const auto& m = banc.repondeur.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_TRUE(m[0].texte.startsWith(QStringLiteral("Le texte-image n'a pas été mis à jour : le disque est plein.")))
        << m[0].texte.toStdString();
    EXPECT_EQ(m[0].titre, QStringLiteral("TEXTE-IMAGE"));
    EXPECT_FALSE(e().rechargementencours || e().majencours);
    banc.repondeur.oublier();
    // The box, the object and its files all hold the last text rendered.
    EXPECT_EQ(t.contenutexte(), QStringLiteral("Bonjour"));
    EXPECT_EQ(etat(), avant);

    liberer();
    QTest::keyClicks(t.editeur(), QStringLiteral("!"));
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(t.contenutexte(), QStringLiteral("Bonjour!"));
    EXPECT_EQ(texteFichier(), QStringLiteral("Bonjour!"));
}

// The steps that change only records, on a disk without room (a copy also with 20 KB): each
// refused whole in the program's words, the records, the work files and the screen as they were;
// once the room is back a save holds what the person sees; a step with nothing to store then works
// on a full disk.
TEST_P(DisquePlein, EtapesQuiNeChangentQueDesFiches)
{
    ASSERT_TRUE(placerBruit(600, 400, QStringLiteral("a.jpg")));
    ASSERT_TRUE(placerBruit(300, 200, QStringLiteral("c.jpg")));
    const QSize t0 = photo(0).widget()->size();
    struct Etape {
        const char* nom;
        bool deplace;   // the current object moved first: storing it writes its record
        qint64 libre;
        std::function<void()> faire;
        QString quoi;
    };
    std::vector<Etape> etapes = {
        {"sélection", true, 0, [&] { cliquer(0, {t0.width() - 4, t0.height() - 4}); },
         QStringLiteral("L'objet 0 n'a pas été sélectionné")},
        {"cadre", false, 0, [&] { c().C_cadre.caseACocher()->click(); }, QStringLiteral("Le cadre de l'objet n'a pas été enregistré")},
        {"format", true, 0, [&] { d().A_format_LostFocus(); },
         QStringLiteral("L'objet n'a pas pu être enregistré dans la base de travail")},
        {"format glissé", false, 0, [&] { c().A_format.definirValeur(c().A_format.valeur() - 600); },
         QStringLiteral("Le format de l'objet n'a pas été changé")},
        {"angle", false, 0, [&] { c().A_angle.definirValeur(90); }, QStringLiteral("L'angle de l'objet n'a pas été changé")},
        {"copie", true, 0, [&] { ed->x.objets().L_miniat_Click(0); }, QStringLiteral("L'objet 0 n'a pas été copié")},
        {"copie, 20 Ko", false, 20 * 1024, [&] { ed->x.objets().L_miniat_Click(0); },
         QStringLiteral("L'objet 0 n'a pas été copié")},
        {"suppression", false, 0, [&] { cliquer(1, {4, 4}, Qt::RightButton); }, QStringLiteral("L'objet 1 n'a pas été supprimé")},
        {"effacer page", false, 0, [&] { (*ed->x.commande(QStringLiteral("Effacer page")))(); },
         jaq() ? QStringLiteral("La jaquette n'a pas été effacée") : QStringLiteral("La page n'a pas été effacée")},
    };
    if (jaq())
        etapes.push_back({"face", true, 0, [&] { c().O_arriere.definirValeur(true); }, QStringLiteral("La face n'a pas été changée")});
    for (const Etape& et : etapes) {
        SCOPED_TRACE(et.nom);
        if (et.deplace)
            c().A_margeH.definirValeur(c().A_margeH.valeur() + 60);
        remplir(et.libre);
        const Etat avant = etat();
        et.faire();
        const auto& m = banc.repondeur.messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_TRUE(m[0].texte.startsWith(et.quoi + QLatin1Char(':')) || m[0].texte.startsWith(et.quoi + QStringLiteral(" :")))
            << m[0].texte.toStdString();
        EXPECT_TRUE(m[0].texte.contains(QStringLiteral("le disque est plein"))) << m[0].texte.toStdString();
        banc.repondeur.oublier();
        EXPECT_EQ(etat(), avant);
        EXPECT_TRUE(c().O_avant.valeur() || !jaq());
        liberer();
        // The object as shown is stored again before the next step.
        d().A_format_LostFocus();
        ASSERT_TRUE(banc.repondeur.messages().empty());
    }

    ed->x.fichierspages().pagesPerso().listepage();
    c().L_kalmorin.definirTexte(QStringLiteral("plein"));
    c().O_ajout.definirValeur(true);
    c().B_okouvrir.cliquer();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    const QString page = fichier(QStringLiteral("persopag/plein/"));
    kal::bd::Base b = kal::bd::Base::ouvrir(page + QStringLiteral("kalmorin.mdb"));
    kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("SELECT numero, leftimp FROM kalmorin WHERE occup"));
    ASSERT_EQ(j.nombre(), 2);
    for (int n = 0; n < 2; ++n, j.suivant()) {
        EXPECT_EQ(j.valeur(QStringLiteral("numero")).toInt(), n);
        EXPECT_TRUE(QFile::exists(page + QStringLiteral("photo%1.jpg").arg(n)));
    }
    j.dernier();
    EXPECT_EQ(j.valeur(QStringLiteral("leftimp")).toInt(), c().A_margeH.valeur());

    // With nothing to store, a selection or a face switch writes no record: it works on a full disk.
    remplir(0);
    if (jaq()) {
        c().O_arriere.definirValeur(true);
        EXPECT_TRUE(c().O_arriere.valeur());
    } else {
        cliquer(0, {t0.width() - 4, t0.height() - 4});
        EXPECT_EQ(e().objetcourant, 0);
    }
    EXPECT_TRUE(banc.repondeur.messages().empty());
}

// The sweep: each step run on a disk left with 0 to 100 KB, 4 KB at a time, from a page just
// saved (the work database whole on its own, its log to be made again by the step's first write)
// and from a page just opened. A step either works, without a word, or says once that the disk
// is full and leaves everything as it was; the records, the work files and the screen agree
// either way; the next save, with room, holds what is shown; and the step works once the room is
// back. Plain-colour photos: their work copies are small, as on the user's disk.
class Balayage : public DisquePlein {
protected:
    enum class Etape { Charger, Copier, Decouper, Supprimer, Effacer };

    void TearDown() override
    {
        kal::panne::desarmer();
        DisquePlein::TearDown();
    }

    // A photo of one colour, made off the small disk, placed as the open panel places it.
    bool placerUni(int w, int h, QRgb couleur, const QString& nom)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(couleur);
        const QString chemin = sources_.filePath(nom);
        EXPECT_TRUE(img.save(chemin, "JPEG", 90));
        return kaltest::BancEditeur::placer(ed, chemin);
    }
    bool pageOccupee()
    {
        for (int n = 0; n < e().nbEmplacements(); ++n)
            if (champ(n, occup).toBool())
                return true;
        return false;
    }
    void panneau(kal::BoutonOption& option, const QString& nom)
    {
        ed->x.fichierspages().pagesPerso().listepage();
        c().L_kalmorin.definirTexte(nom);
        option.definirValeur(true);
        c().B_okouvrir.cliquer();
    }
    void enregistrer(const QString& nom)
    {
        if (QFileInfo::exists(fichier(QStringLiteral("persopag/") + nom)))
            banc.repondeur.prevoir(kal::msg::RepOui);
        panneau(c().O_ajout, nom);
    }
    void ouvrir(const QString& nom)
    {
        if (pageOccupee())
            banc.repondeur.prevoir(kal::msg::RepNon);
        panneau(c().O_ouvrir, nom);
        // The jacket shows the face of its objects.
        if (jaq())
            c().O_avant.definirValeur(true);
    }
    // The messages but the save's own question.
    QStringList dits() const
    {
        QStringList l;
        for (const kal::MessageAffiche& m : banc.repondeur.messages())
            if (!m.texte.contains(QStringLiteral("Voulez-vous")))
                l << m.texte;
        return l;
    }

    // The records, the work files and the screen agree: an occupied record has its three work
    // copies and is drawn (on the face shown), a free one has neither.
    void coherent()
    {
        const int debut = jaq() ? e().basecote : 0;
        for (int n = 0; n < e().nbEmplacements(); ++n) {
            SCOPED_TRACE(n);
            const bool occupe = champ(n, occup).toBool();
            EXPECT_EQ(kal::copiesPresentes(n), occupe);
            if (!occupe) {
                EXPECT_FALSE(QFile::exists(fichier(QStringLiteral("photo%1.svc").arg(n))));
            }
            if (n >= debut && n < debut + 16) {
                const kal::ControleImage* p = c().L_photo[static_cast<size_t>(n)].get();
                EXPECT_EQ(p && p->visible() && !p->estVide(), occupe);
            }
        }
    }
    // The page saved under `nom` holds what the work folder holds: the same occupied records, each
    // with its box, and each object's picture as its work copy.
    void tientCeQuiEstMontre(const QString& nom)
    {
        const QString dossier = fichier(QStringLiteral("persopag/") + nom + QLatin1Char('/'));
        const auto fiches = [](const QString& base) {
            kal::bd::Base b = kal::bd::Base::lire(base);
            kal::bd::JeuEnregistrements j =
                b.ouvrirJeu(QStringLiteral("SELECT numero, widthimp, heightimp, leftimp, topimp, rot FROM kalmorin WHERE occup ORDER BY numero"));
            QStringList l;
            for (; !j.fin(); j.suivant())
                l << QStringLiteral("%1 %2x%3 %4,%5 %6")
                         .arg(j.valeur(QStringLiteral("numero")).toInt())
                         .arg(j.valeur(QStringLiteral("widthimp")).toDouble())
                         .arg(j.valeur(QStringLiteral("heightimp")).toDouble())
                         .arg(j.valeur(QStringLiteral("leftimp")).toInt())
                         .arg(j.valeur(QStringLiteral("topimp")).toInt())
                         .arg(j.valeur(QStringLiteral("rot")).toInt());
            return l;
        };
        const QStringList sauvees = fiches(dossier + QStringLiteral("kalmorin.mdb"));
        EXPECT_EQ(sauvees, fiches(kal::ModeleObjets::cheminBase()));
        for (const QString& f : sauvees) {
            const int n = f.section(QLatin1Char(' '), 0, 0).toInt();
            EXPECT_EQ(kaltest::octets(dossier + QStringLiteral("photo%1.jpg").arg(n)), kaltest::octets(kal::fichierPhoto(n)));
        }
    }

    void preparer(Etape etape)
    {
        if (etape == Etape::Decouper)
            c().C_decoupe.definirValeur(1);
    }
    void faire(Etape etape)
    {
        switch (etape) {
        case Etape::Charger: placerUni(800, 600, qRgb(0, 255, 255), QStringLiteral("c.jpg")); break;
        case Etape::Copier: ed->x.objets().L_miniat_Click(0); break;
        case Etape::Decouper: {
            const QSize t = photo(e().objetcourant).widget()->size();
            glisser(e().objetcourant, {2, 2}, {QPoint(t.width() / 2, t.height() / 2)});
            break;
        }
        case Etape::Supprimer: {
            int n = -1;
            for (int k = 0; k < 16; ++k)
                if (champ(k, occup).toBool())
                    n = k;
            if (n >= 0)
                cliquer(n, {3, 3}, Qt::RightButton);
            break;
        }
        case Etape::Effacer: (*ed->x.commande(QStringLiteral("Effacer page")))(); break;
        }
    }

    void balayer(Etape etape)
    {
        ASSERT_TRUE(placerUni(600, 400, qRgb(255, 0, 255), QStringLiteral("a.jpg")));
        ASSERT_TRUE(placerUni(300, 200, qRgb(0, 255, 0), QStringLiteral("b.jpg")));
        enregistrer(QStringLiteral("p"));
        ASSERT_TRUE(dits().isEmpty()) << dits().join(QLatin1Char('|')).toStdString();
        for (const bool sauvee : {true, false}) {
            for (qint64 ko = 0; ko <= 100; ko += 4) {
                SCOPED_TRACE(QStringLiteral("%1, %2 Ko libres").arg(sauvee ? "page enregistrée" : "page ouverte").arg(ko).toStdString());
                ouvrir(QStringLiteral("p"));
                if (sauvee)
                    enregistrer(QStringLiteral("p"));
                ASSERT_TRUE(dits().isEmpty()) << dits().join(QLatin1Char('|')).toStdString();
                banc.repondeur.oublier();
                preparer(etape);
                // Read with room: on a full disk a new connection may not even read the database.
                const Etat avant = etat();
                remplir(ko * 1024);
                faire(etape);
                liberer();
                const QStringList dit = dits();
                if (qEnvironmentVariableIsSet("KAL_BALAYAGE"))
                    std::cerr << (sauvee ? "enregistrée " : "ouverte ") << ko << " Ko: "
                              << (dit.isEmpty() ? std::string("fait") : dit.join(QLatin1Char('|')).toStdString()) << '\n';
                if (!dit.isEmpty()) {
                    // Refused: once, in the program's words, and nothing changed.
                    EXPECT_EQ(dit.size(), 1) << dit.join(QLatin1Char('|')).toStdString();
                    EXPECT_TRUE(dit[0].contains(QStringLiteral("le disque est plein"))) << dit[0].toStdString();
                    EXPECT_FALSE(dit[0].contains(QStringLiteral("erreur"))) << dit[0].toStdString();
                    EXPECT_EQ(etat(), avant);
                }
                coherent();
                banc.repondeur.oublier();
                if (etape == Etape::Decouper && c().C_decoupe.valeur() == 1)
                    c().C_decoupe.definirValeur(0);
                if (pageOccupee()) {
                    enregistrer(QStringLiteral("v"));
                    EXPECT_TRUE(dits().isEmpty()) << dits().join(QLatin1Char('|')).toStdString();
                    tientCeQuiEstMontre(QStringLiteral("v"));
                }
                // With the room back, the step works.
                banc.repondeur.oublier();
                preparer(etape);
                faire(etape);
                EXPECT_TRUE(dits().isEmpty()) << dits().join(QLatin1Char('|')).toStdString();
                coherent();
                banc.repondeur.oublier();
                if (HasFailure())
                    return;
            }
        }
    }

    // The same step with each of its write-class operations failing in turn (an I/O error, as the
    // engine meets making its log's index again): whatever the operation, the step works or is
    // refused whole with one message in the program's words, and what is shown is what a save
    // then holds.
    void chaqueOperation(Etape etape)
    {
        ASSERT_TRUE(placerUni(600, 400, qRgb(255, 0, 255), QStringLiteral("a.jpg")));
        ASSERT_TRUE(placerUni(300, 200, qRgb(0, 255, 0), QStringLiteral("b.jpg")));
        enregistrer(QStringLiteral("p"));
        ouvrir(QStringLiteral("p"));
        enregistrer(QStringLiteral("p"));
        preparer(etape);
        kal::panne::compter();
        faire(etape);
        const std::vector<QString> ops = kal::panne::operations();
        kal::panne::desarmer();
        ASSERT_GT(ops.size(), 3u);
        for (size_t k = 1; k <= ops.size(); ++k) {
            SCOPED_TRACE(ops[k - 1].toStdString());
            ouvrir(QStringLiteral("p"));
            enregistrer(QStringLiteral("p"));
            banc.repondeur.oublier();
            preparer(etape);
            const Etat avant = etat();
            kal::panne::armer(static_cast<long>(k), false, EIO);
            faire(etape);
            kal::panne::desarmer();
            const QStringList dit = dits();
            if (!dit.isEmpty()) {
                EXPECT_EQ(dit.size(), 1) << dit.join(QLatin1Char('|')).toStdString();
                EXPECT_FALSE(dit[0].contains(QStringLiteral("imprévue"))) << dit[0].toStdString();
                EXPECT_EQ(etat(), avant);
            }
            coherent();
            banc.repondeur.oublier();
            if (etape == Etape::Decouper && c().C_decoupe.valeur() == 1)
                c().C_decoupe.definirValeur(0);
            enregistrer(QStringLiteral("v"));
            EXPECT_TRUE(dits().isEmpty()) << dits().join(QLatin1Char('|')).toStdString();
            tientCeQuiEstMontre(QStringLiteral("v"));
            if (HasFailure())
                return;
        }
    }

private:
    QTemporaryDir sources_;
};

TEST_P(Balayage, ChaqueOperationCharger) { chaqueOperation(Etape::Charger); }
TEST_P(Balayage, ChaqueOperationCopier) { chaqueOperation(Etape::Copier); }
TEST_P(Balayage, ChaqueOperationDecouper) { chaqueOperation(Etape::Decouper); }
TEST_P(Balayage, Charger) { balayer(Etape::Charger); }
TEST_P(Balayage, Copier) { balayer(Etape::Copier); }
TEST_P(Balayage, Decouper) { balayer(Etape::Decouper); }
TEST_P(Balayage, Supprimer) { balayer(Etape::Supprimer); }
TEST_P(Balayage, EffacerPage) { balayer(Etape::Effacer); }

INSTANTIATE_TEST_SUITE_P(LesDeux, Balayage, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

INSTANTIATE_TEST_SUITE_P(LesDeux, DisquePlein, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

}  // namespace
