#pragma once
// The bench of the scanning tests: an editor of either kind, SANE's test device, the person at
// the source chooser. The program's scanner is brought up once per process and reads the
// device's settings then, so every test of one program uses the same settings
// (`reglagesSane`, given by each program).
#include "support/banc_editeur.h"
#include "support/configsane.h"
#include "imaging/fichierstravail.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"
#include "platform/database/basedonnees.h"
#include "platform/scanner/choixsource.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace kaltest {

// The device's settings of this test program.
QMap<QString, QString> reglagesSane();

class BancScan : public ::testing::TestWithParam<kal::TypeEditeur> {
protected:
    ConfigSane sane{reglagesSane()};
    BancEditeur banc{1024, 768};
    kal::RepondeurSourceEnregistreur personne;
    kal::Editeur* ed = nullptr;

    bool jaquette() const { return GetParam() == kal::TypeEditeur::Jaquette; }
    kal::EtatEditeur& etat() { return ed->x.etat; }

    void SetUp() override
    {
        ed = banc.ouvrir(GetParam());
        ASSERT_NE(ed, nullptr);
        banc.repondeur.oublier();
    }
    // A photo placed as the open panel places it.
    void placerPhoto()
    {
        QImage img(120, 80, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb(x * 2, y * 3, 90));
        const QString chemin = banc.dossier.fichier(QStringLiteral("depart.jpg"));
        ASSERT_TRUE(img.save(chemin, "JPEG", 90));
        kal::ControleImage apercu(ed);
        apercu.lirefichier(chemin);
        etat().typeobjet = QStringLiteral("photo");
        ASSERT_TRUE(ed->x.objets().chargementimage(apercu, QStringLiteral("depart.jpg")));
    }
    // The entry "Scanner" picked in the function list; true when it ran to its end (the
    // selection cleared).
    bool scanner()
    {
        const int entree = 3;
        EXPECT_EQ(ed->c.L_fonction.entree(entree), QStringLiteral("Scanner"));
        ed->c.L_fonction.definirIndex(-1);
        ed->c.L_fonction.definirIndex(entree);
        return ed->c.L_fonction.indexCourant() == -1;
    }
    bool occupe(int n)
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(banc.dossier.fichier(QStringLiteral("kalmorin.mdb")));
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        return j.valeur(QStringLiteral("occup")).toBool();
    }
    static QByteArray octets(const QString& chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The face's count on the jacket: front or back as the object's number says.
    int16_t compteFace(int n) { return n >= 16 ? etat().nbarriere : etat().nbavant; }
};

}  // namespace kaltest
