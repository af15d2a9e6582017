#pragma once
// A test bench for the editors: a temporary work folder, a simulated screen, a test printer of
// fixed sizes, shared settings as the start window leaves them, and an answerer in place of
// the person. Editors are loaded through the window registry, as the start window does.
#include "support/dossiertemp.h"
#include "editor/editeur.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"

#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <memory>

namespace kaltest {

// Hardware margins of the test printer on its portrait sheet, in twips: left, top, right, bottom.
inline QMarginsF margesEssai() { return QMarginsF(240, 180, 300, 420); }

class BancEditeur {
public:
    explicit BancEditeur(int largeurPx = 1024, int hauteurPx = 768, int orientation = kal::imp::Portrait,
                         const QMarginsF& marges = margesEssai())
        : imp(QPageSize(QPageSize::A4), marges, orientation)
    {
        kal::Ecran::simuler({largeurPx, hauteurPx, 15, 15});
        kal::Ecran::simulerBordsTitre(375);
        partage.sautligne = QStringLiteral("\r\n");
        partage.repdepart = dossier.chemin();
        const bool ecran800 = largeurPx > 797 && largeurPx < 803;
        partage.largeurecranpx = ecran800 ? 800 : largeurPx;
        partage.hauteurecranpx = ecran800 ? 600 : hauteurPx;
        kal::Programme::reinitialiser();
        for (kal::TypeEditeur t : {kal::TypeEditeur::Page, kal::TypeEditeur::Jaquette})
            kal::Fenetres::enregistrer(kal::Editeur::nomFenetre(t),
                                       [this, t] { return new kal::Editeur(partage, t, &imp); });
    }
    ~BancEditeur()
    {
        kal::Fenetres::reinitialiser();
        kal::Programme::reinitialiser();
        kal::Ecran::reel();
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

    DossierTravail dossier;
    kal::ReglagesPartages partage;
    kal::ImprimanteEssai imp;
    kal::RepondeurEnregistreur repondeur;
};

inline const char* nomType(kal::TypeEditeur t) { return t == kal::TypeEditeur::Jaquette ? "Jaquette" : "Page"; }

}  // namespace kaltest
