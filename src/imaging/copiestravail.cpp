// Work copies of an object: photo<n>.svc (the picture shown, with its stamp), init<n>.svc (as
// first placed) and sauv<n>.svc (the base without the slider adjustments), and the three
// imaging controls that hold its states: L_sauvtot (base), L_sauvder (adjusted working image)
// and L_photo(n) (what the preview shows).
#include "imaging/imagerie.h"

#include "layout/disposition.h"
#include "layout/geometrie.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/fichiers.h"

#include <cmath>

namespace kal {

namespace {
// The work copies are JPEG, 24 bits per pixel, quality factor 20.
void ecrireCopie(ControleImage& c, const QString& chemin) { c.ecrirefichier(chemin, 10, 24, 20, 0); }
// Slider value / 10 rounded down, as the adjustment labels show it.
QString dixiemesEntiers(int v) { return Str(std::floor(v / 10.0)); }
}  // namespace

ControleImage* Imagerie::photoCourante() const
{
    const EtatEditeur& e = x_.etat;
    const int fin = x_.jaquette() ? e.fincote : 16;
    if (e.objetcourant < 0 || e.objetcourant >= fin)
        return nullptr;
    return x_.c.L_photo[static_cast<size_t>(e.objetcourant)].get();
}

void Imagerie::ecrirecopies(ControleImage& source, int n)
{
    fs::Remplacement lot;
    ecrirecopies(source, n, lot);
    lot.installer();
    copiesEcrites(source, n);
}

void Imagerie::ecrirecopies(ControleImage& source, int n, fs::Remplacement& lot)
{
    // Encoded once, with the stamp the thumbnail is read from: the other two copies are the same
    // bytes.
    const QString photo = lot.aCote(fichierPhoto(n));
    ecrireAvecVignette(source, photo);
    for (const QString& copie : {fichierInit(n), fichierSauv(n)})
        fs::copierFichier(photo, lot.aCote(copie));
}

void Imagerie::copiesEcrites(const ControleImage& source, int n)
{
    copies_.ecrite(fichierPhoto(n), source.bitmap());
    for (const QString& copie : {fichierInit(n), fichierSauv(n)})
        copies_.copiee(fichierPhoto(n), copie);
}

void Imagerie::remplacerCopies(int n, ControleImage* montree, ControleImage* base, CopiesAnciennes* anciennes)
{
    // Each file is written only when its picture changed since it was written or read.
    const bool photo = montree && !copies_.tient(fichierPhoto(n), montree->bitmap());
    const bool sauv = base && !copies_.tient(fichierSauv(n), base->bitmap());
    fs::Remplacement lot;
    // The thumbnail's stamp goes in with the same encode rather than by reading the file back.
    if (photo)
        ecrireAvecVignette(*montree, lot.aCote(fichierPhoto(n)));
    if (sauv)
        ecrireCopie(*base, lot.aCote(fichierSauv(n)));
    // The files replaced are kept until both new ones are in place: a rename that fails puts
    // back the one already made.
    CopiesAnciennes locales;
    CopiesAnciennes& gardees = anciennes ? *anciennes : locales;
    if (photo)
        gardees.garder(fichierPhoto(n));
    if (sauv)
        gardees.garder(fichierSauv(n));
    try {
        lot.installer();
    } catch (const Erreur&) {
        try {
            gardees.retablir();
        } catch (const Erreur&) {
            // Not put back either: the rename's own failure is the one reported.
        }
        throw;
    }
    if (photo)
        copies_.ecrite(fichierPhoto(n), montree->bitmap());
    if (sauv)
        copies_.ecrite(fichierSauv(n), base->bitmap());
}

void Imagerie::terminerEtape(CopiesAnciennes& anciennes, const std::function<void()>& suite)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const EtatEditeur avant = e;
    const ValeursReglages reglages = valeursCurseurs();
    const bool annulDecoupe = c.B_annuldecoupe.actif(), annulAngle = c.B_annulangle.actif();
    // The pictures and boxes of the object as they stand: put back as they are when the way back
    // cannot read the record (a database that the full disk keeps from being read at all).
    struct Vue {
        ControleImage* k;
        image::Photo photo;
        double gauche, haut, largeur, hauteur;
        bool visible;
    };
    std::vector<Vue> vues;
    for (ControleImage* k : {&c.L_sauvtot, &c.L_sauvder, photoCourante()})
        if (k)
            vues.push_back({k, k->bitmap(), k->gaucheReel(), k->hautReel(), k->largeurReelle(), k->hauteurReelle(), k->visible()});
    const auto remettreVues = [&] {
        for (const Vue& v : vues) {
            v.k->definirBitmap(v.photo);
            v.k->placerReel(v.gauche, v.haut, v.largeur, v.hauteur);
            v.k->definirVisible(v.visible);
        }
    };
    bool commence = false;
    try {
        x_.fiches().transactionSurTable(suite, commence);
    } catch (const Erreur&) {
        try {
            anciennes.retablir();
        } catch (const Erreur&) {
            // A file that could not be put back: the object is shown from what is there.
        }
        // Refused before anything changed (the transaction could not begin): only the files
        // were the step's.
        if (!commence)
            throw;
        // The editor's state from before the step, the sliders' values kept for the object's
        // display, which the rebuild makes from its record and its files as they are again.
        e = avant;
        if (e.objetcourant >= 0 && e.objetcourant < e.nbEmplacements()) {
            auto& ligne = e.tabobjets[static_cast<size_t>(e.objetcourant)];
            ligne[col::Contraste] = reglages.contraste;
            ligne[col::Couleur] = reglages.couleur;
            ligne[col::Intensite] = reglages.intensite;
            ligne[col::Nettete] = reglages.nettete;
            ligne[col::Saturation] = reglages.saturation;
        }
        e.modedecoupe = false;
        e.margesactives = true;
        remettreVues();
        try {
            e.rechargementencours = true;
            if (x_.jaquette())
                x_.objets().initjaq();
            else
                x_.objets().initpage();
        } catch (const Erreur&) {
            // The rebuild could not be made whole: the object keeps the pictures it had, and the
            // step's own failure is the one reported.
            remettreVues();
        }
        e.rechargementencours = avant.rechargementencours;
        e.majencours = avant.majencours;
        // Crop mode as it was: its box and position kept from when it began.
        if (avant.modedecoupe) {
            if (ControleImage* photo = photoCourante()) {
                if (c.C_decoupe.valeur() != 1)
                    c.C_decoupe.definirValeur(1);
                else
                    entrerDecoupe(*photo);
            }
            e.hauteurdecoupe = avant.hauteurdecoupe;
            e.largeurdecoupe = avant.largeurdecoupe;
            e.margeHdecoupe = avant.margeHdecoupe;
            e.margeVdecoupe = avant.margeVdecoupe;
            e.decoupeencours = false;
        }
        e.decoupefaite = avant.decoupefaite;
        c.B_annuldecoupe.definirActif(annulDecoupe);
        c.B_annulangle.definirActif(annulAngle);
        throw;
    }
}

bool Imagerie::enregimage()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    // Only over the copies the object was given when it was placed: a number that never got
    // them, or lost them with its removal, is given none from these controls, which may hold
    // another object's picture.
    if (!copiesPresentes(e.objetcourant))
        return false;
    remplacerCopies(e.objetcourant, &c.L_sauvder, &c.L_sauvtot);
    if (e.objetcourant < 0 || e.objetcourant >= e.nbEmplacements())
        return true;
    auto& ligne = e.tabobjets[static_cast<size_t>(e.objetcourant)];
    ligne[col::Intensite] = c.A_intensite.valeur();
    ligne[col::Contraste] = c.A_contraste.valeur();
    ligne[col::Saturation] = c.A_saturation.valeur();
    ligne[col::Nettete] = c.A_nettete.valeur();
    ligne[col::Couleur] = c.A_couleur.valeur();
    ligne[col::Angle] = c.A_angle.valeur();
    return true;
}

void Imagerie::sauvder()
{
    ControlesEditeur& c = x_.c;
    // The base, the sliders or the angle may have changed since a slider's working base was
    // made: the next slider move makes its own again.
    changeflag(false, false, false, false, false, false);
    c.L_sauvder.definirBitmap(c.L_sauvtot.bitmap());
    if (x_.etat.rechargementencours)
        return;
    appliquerReglages(c.L_sauvder, {.contraste = c.A_contraste.valeur(),
                                    .couleur = c.A_couleur.valeur(),
                                    .intensite = c.A_intensite.valeur(),
                                    .nettete = c.A_nettete.valeur(),
                                    .saturation = c.A_saturation.valeur()});
}

void Imagerie::sauvphoto()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const int fin = x_.jaquette() ? e.fincote : 16;
    if (e.nbobjets < 1 || e.objetcourant < 0 || e.objetcourant >= fin)
        return;
    const size_t n = static_cast<size_t>(e.objetcourant);
    // The files first: when they cannot be written, the record, the thumbnail and the display
    // stay as they were; an object without its copies is not stored at all.
    if (!enregimage())
        return;
    if (e.decoupefaite)
        c.B_annuldecoupe.definirActif(false);
    x_.objets().chargimp();
    ControleImage* miniat = c.L_miniat[n].get();
    ControleImage* photo = c.L_photo[n].get();
    if (miniat)
        miniat->definirVisible(false);
    if (photo)
        photo->definirVisible(false);
    x_.objets().creatminiat(e.objetcourant);
    if (miniat)
        miniat->definirVisible(true);
    if (photo && !e.rechargementencours)
        photo->definirVisible(true);
}

void Imagerie::chargephoto(int i)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    if (i < 0 || i >= e.nbEmplacements() || !c.L_photo[static_cast<size_t>(i)])
        return;
    const bool jaq = x_.jaquette();
    ControleImage& photo = *c.L_photo[static_cast<size_t>(i)];
    photo.definirVisible(false);
    // Shown again with the angle and frame of its record: a slider's working base made with
    // the ones it had before is no longer valid.
    changeflag(false, false, false, false, false, false);

    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    bd::JeuEnregistrements& fiche = fiches.trouver(i);
    const FicheGeometrie geometrie = lireGeometrie(fiche);
    photo.vider();
    const double echelle = jaq ? 1.0 : e.echelleimp;
    photo.definirLargeur(fiche.valeur(champ::widthimp).toDouble() / echelle);
    photo.definirHauteur(fiche.valeur(champ::heightimp).toDouble() / echelle);
    if (c.L_sauvtot.estVide()) {
        c.L_sauvtot.lirefichier(fichierSauv(i), 0, 0, 1);
        copies_.lue(fichierSauv(i), c.L_sauvtot.bitmap());
    }
    photo.definirBitmap(c.L_sauvtot.bitmap());
    e.rapportformat = photo.largeurbitmap() / photo.hauteurbitmap();

    e.majencours = true;
    const int rot = arrondi16(fiche.valeur(champ::rot).toDouble());
    c.A_angle.definirValeur(rot);
    c.C_cadre.definirValeur(arrondi16(fiche.valeur(champ::cadre).toDouble()));

    // The stored adjustments of row i, each with its slider and label.
    const auto& ligne = e.tabobjets[static_cast<size_t>(i)];
    const ValeursReglages v{.contraste = arrondi16(ligne[col::Contraste]),
                            .couleur = arrondi16(ligne[col::Couleur]),
                            .intensite = arrondi16(ligne[col::Intensite]),
                            .nettete = arrondi16(ligne[col::Nettete]),
                            .saturation = arrondi16(ligne[col::Saturation])};
    appliquerReglages(photo, v);
    c.A_contraste.definirValeur(v.contraste);
    c.E_contraste.definirLegende(QStringLiteral("Cont:") + dixiemesEntiers(c.A_contraste.valeur()));
    c.A_couleur.definirValeur(v.couleur);
    c.E_couleur.definirLegende(QStringLiteral("Coul=") + Str(c.A_couleur.valeur()));
    c.A_intensite.definirValeur(v.intensite);
    c.E_intensite.definirLegende(QStringLiteral("Int=") + dixiemesEntiers(c.A_intensite.valeur()));
    c.A_nettete.definirValeur(v.nettete);
    c.E_nettete.definirLegende(QStringLiteral("Net=") + dixiemesEntiers(c.A_nettete.valeur()));
    c.A_saturation.definirValeur(v.saturation);
    c.E_saturation.definirLegende(QStringLiteral("Sat=") + Str(c.A_saturation.valeur() / 10.0));

    // The picture before the turn: the turned box grows from the record's size by it.
    const QSize pixels = photo.bitmap().taille();
    photo.definirCouleurFond(0xFFFFFF);
    Finition fin{.photo = e.typeobjet == QLatin1String("photo"), .cadre = std::nullopt, .angle = c.A_angle.valeur()};
    if (c.C_cadre.valeur() == 1)
        fin.cadre = QRectF(0, 0, photo.largeurReelle(), photo.hauteurReelle());
    appliquerFinition(photo, fin);
    c.E_angle.definirLegende(QStringLiteral("Angle=") + Str(rot));

    // The box after the rotation.
    if (e.geometriememorisee) {
        const size_t k = static_cast<size_t>(e.objetcourant);
        if (e.objetcourant >= 0 && e.objetcourant < e.nbEmplacements())
            photo.placerReel(e.tabobjets[k][col::Gauche], e.tabobjets[k][col::Haut], e.tabobjets[k][col::Largeur],
                             e.tabobjets[k][col::Hauteur]);
    } else {
        // The turned box of the one object geometry, from the record: the page shows it at
        // the preview's scale, and the object's size stays in the editor's unit as it is.
        const RectTwips boite = geometrieObjet(geometrie, pixels).boite;
        photo.definirHauteur(boite.hauteur.reduit(echelle).valeur());
        photo.definirLargeur(boite.largeur.reduit(echelle).valeur());
        e.largeurobjet = boite.largeur.valeur();
        e.hauteurobjet = boite.hauteur.valeur();
        e.formatencours = true;
        e.rapportformat = e.largeurobjet / e.hauteurobjet;
        x_.disposition().formatangle();
        e.formatencours = false;
        // The record's size follows the format formatangle gave the turned object (a turn that
        // brought it back to the surface made it smaller).
        if (!e.rechargementencours)
            x_.disposition().sauvderDepuisFormat();
    }
    e.majencours = false;
    if (!e.rechargementencours)
        photo.definirVisible(true);
}

}  // namespace kal
