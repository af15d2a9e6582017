#pragma once
// A loaded editor (page or jacket) with one current photo object: a real JPEG file of the
// chosen size in the object's control, its base picture in L_sauvtot and in sauv<n>.svc, its
// record occupied in the work database kalmorin.mdb, and its box on the preview.
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "layout/disposition.h"
#include "pagemodel/fiche.h"
#include "platform/base/conversions.h"
#include "platform/database/basedonnees.h"

#include <gtest/gtest.h>

namespace kaltest {

class ObjetCourant : public EditeurOuvert {
protected:
    kal::Disposition& d() { return ed->x.disposition(); }
    double oH() { return jaq() ? 0.0 : banc.partage.origineH.valeur(); }
    double oV() { return jaq() ? 0.0 : banc.partage.origineV.valeur(); }

    // A JPEG of w x h pixels, one colour, in the work folder.
    QString jpeg(int w, int h, const QString& nom = QStringLiteral("photo_essai.jpg"))
    {
        kal::ControleImage img;
        img.creerbitmap(w, h, 24);
        img.remplir(0x3366CC);
        const QString chemin = banc.dossier.fichier(nom);
        img.ecrirefichier(chemin, 10, 24, 20, 0);
        return chemin;
    }

    // Object n made current with a w x h pixel photo; its box on the preview is
    // largeur x hauteur preview twips (0: the picture's own size in twips).
    kal::ControleImage& objet(int n, int w, int h, double largeur = 0, double hauteur = 0)
    {
        const QString fichier = jpeg(w, h);
        auto& photo = c().L_photo[static_cast<size_t>(n)];
        if (!jaq())
            photo = std::make_unique<kal::ControleImage>(c().P_page.widget());
        photo->lirefichier(fichier, 0, 0, 1);
        if (largeur <= 0) {
            largeur = photo->largeurbitmap();
            hauteur = photo->hauteurbitmap();
        }
        photo->placerReel(0, 0, largeur, hauteur);
        photo->definirVisible(true);
        QFile::copy(fichier, kal::fichierSauv(n));
        c().L_sauvtot.lirefichier(kal::fichierSauv(n), 0, 0, 1);
        c().L_sauvder.placerReel(0, 0, largeur, hauteur);
        e().objetcourant = n;
        e().nbobjets = 1;
        e().typeobjet = QStringLiteral("photo");
        e().largeurobjet = largeur * s();
        e().hauteurobjet = hauteur * s();
        e().rapportformat = e().largeurobjet / e().hauteurobjet;
        kal::Fiches fiches = ed->x.fiches();
        fiches.sourceTable();
        fiches.modifier(n, [&](kal::bd::JeuEnregistrements& j) {
            j.mettre(kal::champ::occup, true);
            j.mettre(kal::champ::widthimp, largeur * s());
            j.mettre(kal::champ::heightimp, hauteur * s());
        });
        return *photo;
    }

    // A slider value set without the format's record step (as the rebuild does it).
    void sansFiche(const std::function<void()>& f)
    {
        e().rechargementencours = true;
        f();
        e().rechargementencours = false;
    }
};

}  // namespace kaltest
