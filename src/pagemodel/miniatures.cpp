// Thumbnails: the page's two columns of thumbnail places, and the thumbnail of one object built
// from the stamp inside its photo<n>.svc, turned by the object's rotation and fitted into its box.
#include "pagemodel/objets.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"

namespace kal {

void ModeleObjets::positionMiniature(bd::JeuEnregistrements& jeu, int n)
{
    // Two columns of eight, 3000 and 1500 twips left of the screen's right edge.
    const bool gaucheCol = n < 8;
    jeu.mettre(champ::topminiat, (gaucheCol ? n : n - 8) * x_.etat.pasminiat);
    jeu.mettre(champ::leftminiat, static_cast<float>(Ecran::largeurTwips() - (gaucheCol ? 3000 : 1500)));
}

void ModeleObjets::posminiatjaq()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const ControleImage& avant = *c.L_jaq[0];
    // The thumbnail boxes are 1063 twips wide: two rows of eight under the front face at an
    // eighth of the face's width, or on an 800-pixel screen one row of sixteen in the space
    // between the face and the indicator line. Front object n and back object n + 16 share a
    // place; one face's thumbnails show at a time.
    const bool ecran800 = x_.partage.largeurecranpx == 800;
    const double largeurDos = c.L_jaq[16]->largeur();
    e.pasminiat = arrondi(ecran800 ? largeurDos / 16 - 15 : largeurDos / 8);
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    for (int n = 0; n < 32; ++n) {
        fiches.modifier(n, [&](bd::JeuEnregistrements& j) {
            if (ecran800) {
                j.mettre(champ::topminiat, arrondi(avant.hauteur() + (c.E_maximum.haut() - avant.hauteur()) / 2.0));
                j.mettre(champ::leftminiat, static_cast<double>(avant.gauche() + (n % 16) * e.pasminiat));
            } else {
                j.mettre(champ::topminiat, avant.hauteur() + (n % 16 < 8 ? 0 : 1200));
                j.mettre(champ::leftminiat, static_cast<double>(avant.gauche() + (n % 8) * e.pasminiat));
            }
        });
    }
}

void ModeleObjets::posminiat()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    // Eight rows from the top of the window down to the composer's height above the
    // indicator line.
    e.pasminiat = arrondi((c.E_maximum.haut() - c.T_compos.hauteur()) / 8.0);
    for (int n = 0; n < 16; ++n)
        fiches.modifier(n, [&](bd::JeuEnregistrements& jeu) { positionMiniature(jeu, n); });
}

void ModeleObjets::creatminiat(int n)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (n < 0 || n >= e.nbEmplacements() || !c.L_miniat[static_cast<size_t>(n)])
        return;
    ControleImage& m = *c.L_miniat[static_cast<size_t>(n)];
    const bool jaq = x_.jaquette();
    const ControleImage& face = *c.L_jaq[n >= 16 ? 16 : 0];

    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    const int rot = arrondi(fiches.lire(n, champ::rot).toDouble());
    // A work file without its stamp yet gets one, and the reading is tried once more.
    try {
        m.lirevignette(fichierPhoto(n));
    } catch (const Erreur&) {
        x_.imagerie().creatstamp(n);
        m.lirevignette(fichierPhoto(n));
    }
    m.definirCouleurdessin(c.T_compos.fondtexte());
    m.definirOptiondessin(true);
    m.rotation(rot * 100, 1, 0xFFFFFF);
    const double ratio = static_cast<double>(arrondi(m.bitmap().largeur())) / arrondi(m.bitmap().hauteur());

    bd::JeuEnregistrements& fiche = fiches.trouver(n);
    const double gaucheMin = fiche.valeur(champ::leftminiat).toDouble();
    const double hautMin = fiche.valeur(champ::topminiat).toDouble();
    double largeur = 0, hauteur = 0, gauche = gaucheMin, haut = hautMin;
    bool parHauteur = false;
    if (jaq && x_.partage.largeurecranpx == 800) {
        // Under the face outline, down to the indicator line.
        const double h = arrondi(c.E_surface.haut() - face.hauteur());
        if (h / e.pasminiat >= ratio) {
            hauteur = h;
            largeur = hauteur * ratio;
            gauche = gaucheMin + (1063 - largeur) / 2;
            parHauteur = true;
        } else {
            if (1063 / ratio <= h) {
                largeur = 1063;
                hauteur = largeur / ratio;
            } else {
                hauteur = h;
                largeur = hauteur * ratio;
            }
        }
        haut = face.hauteur() + (h - hauteur) / 2;
    } else {
        const double W = jaq ? 1063 : 1500;
        const double H = e.pasminiat;
        if (W / H >= ratio) {
            hauteur = H;
            largeur = hauteur * ratio;
            gauche = gaucheMin + (W - largeur) / 2;
            parHauteur = true;
        } else {
            largeur = W;
            hauteur = largeur / ratio;
            haut = hautMin + (H - hauteur) / 2;
        }
    }
    m.placerReel(gauche, haut, largeur, hauteur);
    m.definirModeechelle(modeechelle::Pixels);
    if (parHauteur)
        m.redimensionner(145 * ratio, 145, 2);
    else
        m.redimensionner(145, 145 / ratio, 2);
    m.definirModeechelle(modeechelle::Twips);
    m.definirReglageminiat1(3);
    m.definirReglageminiat2(6);
    m.definirCouleurminiat(fiche.valeur(champ::coulminiat).toInt());
    m.tracercadre(0, 0, m.largeurReelle(), m.hauteurReelle());
    m.definirVisible(true);
}

}  // namespace kal
