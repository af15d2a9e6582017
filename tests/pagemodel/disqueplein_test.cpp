// The editors' steps that write work files, on a disk that fills up: the work folder on a small
// tmpfs of its own, a filler file leaving a given room. A step that cannot write its files does
// nothing: the records, the work files and what the editor shows are those from before, the
// person reads the program's own words, and once the room is back the step works.
#include "layout/banc_souris.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"
#include "platform/richtext/rtf.h"
#include "printing/impression.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cerrno>
#include <cstring>
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

INSTANTIATE_TEST_SUITE_P(LesDeux, DisquePlein, ::testing::Values(kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette),
                         kaltest::nomEditeur);

}  // namespace
