#pragma once
// A test bench for the editors: the window bench (a temporary work folder, a simulated screen, a
// test printer of fixed sizes, shared settings as the start window leaves them, and an answerer
// in place of the person) with both editors registered as the start window registers them, and
// the fixture that opens one of them for each editor type.
#include "support/banc_fenetres.h"
#include "editor/editeur.h"
#include "pagemodel/fiche.h"
#include "pagemodel/objets.h"
#include "platform/database/basedonnees.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace kaltest {

class BancEditeur : public BancFenetres {
public:
    explicit BancEditeur(int largeurPx = 1024, int hauteurPx = 768, int orientation = kal::imp::Portrait,
                         const QMarginsF& marges = margesEssai())
        : BancFenetres(largeurPx, hauteurPx, orientation, marges)
    {
        for (kal::TypeEditeur t : {kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette})
            kal::Fenetres::enregistrer(kal::Editeur::nomFenetre(t),
                                       [this, t] { return new kal::Editeur(partage, t, &imp); });
    }

    // Loads the editor (nullptr when its load refused it).
    kal::Editeur* ouvrir(kal::TypeEditeur t)
    {
        return static_cast<kal::Editeur*>(kal::Fenetres::instance(kal::Editeur::nomFenetre(t)));
    }

    // A real JPEG of that size in the work folder, a gradient so that it is no flat picture.
    QString jpeg(const QString& nom, int largeur, int hauteur, int qualite = 95)
    {
        QImage img(largeur, hauteur, QImage::Format_RGB32);
        for (int y = 0; y < hauteur; ++y)
            for (int x = 0; x < largeur; ++x)
                img.setPixel(x, y, qRgb(40 + x * 150 / largeur, 90, 60 + y * 150 / hauteur));
        const QString chemin = dossier.fichier(nom);
        img.save(chemin, "JPEG", qualite);
        return chemin;
    }
    // The picture of that file placed as a new photo object, as the open panel hands it over.
    static bool placer(kal::Editeur* ed, const QString& chemin)
    {
        kal::ControleImage apercu(ed);
        apercu.lirefichier(chemin);
        ed->x.etat.typeobjet = QStringLiteral("photo");
        return ed->x.objets().chargementimage(apercu, QFileInfo(chemin).fileName());
    }

    // One field of record n, read straight from the work database kalmorin.mdb.
    QVariant champ(int n, const QString& nom) const
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(dossier.fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        return j.valeur(nom);
    }
};

// The file's inode: the program writes a file by putting a new one in its place, so a file
// written again has another.
inline unsigned long long inode(const QString& chemin)
{
    struct stat st {};
    return ::stat(QFile::encodeName(chemin).constData(), &st) == 0 ? static_cast<unsigned long long>(st.st_ino) : 0;
}

inline const char* nomType(kal::TypeEditeur t) { return t == kal::TypeEditeur::Jaquette ? "Jaquette" : "Page"; }
inline std::string nomEditeur(const ::testing::TestParamInfo<kal::TypeEditeur>& i) { return nomType(i.param); }

// A test run against both editors: the editor of the parameter's type loaded on a 1024 x 768
// screen. A fixture that does more in its SetUp calls this one first and stops on its failure.
class EditeurOuvert : public ::testing::TestWithParam<kal::TypeEditeur> {
protected:
    BancEditeur banc{1024, 768};
    kal::Editeur* ed = nullptr;

    void SetUp() override
    {
        ed = banc.ouvrir(GetParam());
        ASSERT_NE(ed, nullptr);
    }

    bool jaq() const { return GetParam() == kal::TypeEditeur::Jaquette; }
    kal::ControlesEditeur& c() { return ed->c; }
    kal::EtatEditeur& e() { return ed->x.etat; }
    // Sheet twips per preview twip on the page; the jacket's positions are face twips.
    double s() { return jaq() ? 1.0 : e().echelleimp; }
    QVariant champ(int n, const QString& nom) const { return banc.champ(n, nom); }
};

}  // namespace kaltest
