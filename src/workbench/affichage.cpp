// Opening a photo through the photo-open panel, and showing it: the fit into the display area,
// the resize, the rendering from the base and the refresh that writes saiphot.jpg and shows it.
// saiphot.jpg holds the picture shown or is not there: a failed write leaves no older picture
// to be filed, and the compression caption says that no file was written.
#include "workbench/atelier.h"

#include "imaging/chainereglages.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/controls/bip.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace kal {

void Atelier::B_ouvrir_Click()
{
    ouvrirphoto();
    etat.modefichier = QStringLiteral("enr");
    autorfich(true, true, false, true, false, false, false);
}

void Atelier::ouvrirphoto()
{
    // The panel stands in the middle of the area above the band.
    Cadre& f = panneau.F_ouvrir;
    f.placer((largeur() - f.largeur()) / 2, (B_finutil.haut() - f.hauteur()) / 2, f.largeur(), f.hauteur());
    panneau.ouvrirphoto();
}

void Atelier::nomPhotoAbsent()
{
    // An empty folder: the release does nothing.
    if (panneau.L_fichouvrir.nombre() == 0)
        return;
    bip();
    MsgBox(QStringLiteral("Indiquer un nom de photo,sans suffixe"), msg::OK + msg::Exclamation,
           QStringLiteral("NOM DE PHOTO ABSENT"));
}

void Atelier::photoChoisie(ControleImage& apercu, const QString& chemin)
{
    // The panel has closed; the photo is the one the pointing read for the preview.
    quitterModes();
    L_initial.definirBitmap(apercu.bitmap());
    L_sauvder.definirBitmap(apercu.bitmap());
    fixerBase(apercu.bitmap());
    apercu.vider();
    panneau.E_info.definirLegende(QString());
    if (QFileInfo(chemin).suffix().compare(QLatin1String("wmf"), Qt::CaseInsensitive) == 0)
        L_photo.definirReglagewmf(L_photo.lecturewmf());
    // The sliders keep their values: the photo is shown with them, as any later rendering will
    // show it; the resize starts again at the photo's full size.
    reconstruire(false);
    etat.rapportredim = 1;
    taillephoto();
    L_photo.definirVisible(true);
    initredim();
    autorfich(true, true, true, true, false, false, false);
    autorcorrect(true);
    etat.photochargee = true;
    Ecran::definirPointeur(pointeur::Personnalise);
}

void Atelier::ouvertureAnnulee()
{
    Ecran::definirPointeur(pointeur::Personnalise);
    autorfich(true, true, false, true, false, false, false);
}

void Atelier::quitterModes()
{
    if (etat.modeyeuxrouges) {
        etat.modeyeuxrouges = false;
        for (Bouton* b : {&B_appry, &B_annry, &B_finry})
            b->definirActif(false);
        L_photo.supprimerregion();
        baseAvantYeux_ = {};
    }
    etat.modedecoupe = false;
    L_photo.definirTraceelastique(false);
    if (C_decoupe.valeur() == 1)
        C_decoupe.definirValeur(0);
    B_annuldecoupe.definirActif(false);   // the new photo has no crop to undo
}

void Atelier::fixerBase(const image::Photo& p)
{
    L_sauvtot.definirBitmap(p);
    // Every refresh writes the full picture: the base keeps its full resolution, decoded or
    // rendered once here, for all of them.
    (void)L_sauvtot.bitmap().pleine();
}

QSize Atelier::tailleAvantRedim() const
{
    return image::tailleTournee(L_sauvtot.bitmap().taille(), A_angle.valeur() * 100);
}

ValeursReglages Atelier::valeursCurseurs() const
{
    return {.contraste = A_contraste.valeur(),
            .couleur = A_couleur.valeur(),
            .intensite = A_intensite.valeur(),
            .nettete = A_nettete.valeur(),
            .saturation = A_saturation.valeur()};
}

void Atelier::reconstruire(bool redim)
{
    if (L_sauvtot.estVide())
        return;
    L_photo.definirBitmap(L_sauvtot.bitmap());
    appliquerChaine(L_photo, valeursCurseurs(), Finition{.photo = true, .cadre = std::nullopt, .angle = A_angle.valeur()});
    if (redim)
        restitsize();
}

void Atelier::dimphoto()
{
    L_photo.definirDefilement(false);
    const double l = L_photo.largeurbitmap(), h = L_photo.hauteurbitmap();
    if (l <= 0 || h <= 0)
        return;
    etat.rapportimage = l / h;
    double largeur = l, hauteur = h;
    // The fit only shrinks.
    if (double(etat.largeurzone) / etat.hauteurzone < etat.rapportimage) {
        if (largeur > etat.largeurzone) {
            largeur = etat.largeurzone;
            hauteur = largeur / etat.rapportimage;
        }
    } else if (hauteur > etat.hauteurzone) {
        hauteur = etat.hauteurzone;
        largeur = hauteur * etat.rapportimage;
    }
    L_photo.definirLargeur(largeur);
    L_photo.definirHauteur(hauteur);
}

void Atelier::restitsize()
{
    etat.rapportredim = double(A_resize.valeur()) / A_resize.max();
    L_photo.definirModeechelle(modeechelle::Pixels);
    etat.largeurredim = arrondi(L_photo.largeurbitmap() * etat.rapportredim);
    etat.hauteurredim = arrondi(L_photo.hauteurbitmap() * etat.rapportredim);
    L_photo.redimensionner(etat.largeurredim, etat.hauteurredim, 2);
    L_photo.definirModeechelle(modeechelle::Twips);
}

QString Atelier::legendeCompression(int qualite, qint64 octets)
{
    // Ko to the nearest, a half to the even neighbour.
    const auto ko = static_cast<qint64>(std::nearbyint(static_cast<double>(octets) / 1024.0));
    return QStringLiteral("Compress ") + Str(qualite) + QStringLiteral(": ") + QString::number(ko) + QStringLiteral(" Ko");
}

void Atelier::taillephoto()
{
    L_photo.definirVisible(false);
    if (L_photo.estVide())
        return;
    dimphoto();
    const double largeur = L_photo.largeurReelle(), hauteur = L_photo.hauteurReelle();
    // Centred, and shifted right of the name list's strip as far as the area allows.
    const double gauche = std::min((etat.largeurzone - largeur) / 2 + L_fichier.largeur(), etat.largeurzone - largeur);
    L_photo.placerReel(gauche, (etat.hauteurzone - hauteur) / 2, largeur, hauteur);
    etat.largeurbase = arrondi(largeur);
    etat.hauteurbase = arrondi(hauteur);
    etat.zoombase = arrondi(L_photo.zoom());
    etat.echellephoto = L_photo.zoom() / 100;
    L_photo.definirGammaaffichage(partage_.gamma);

    try {
        ecrireTravail();
    } catch (const Erreur& e) {
        // What became of the file, as the disk has it.
        const QString reste = fs::existe(fichierTravail())
                                  ? QStringLiteral("Il garde la photo d'avant, qui ne sera pas enregistrée à la place de celle-ci.")
                                  : QStringLiteral("Ce fichier n'existe plus.");
        MsgBox(lignesMessage({QStringLiteral("La photo modifiée n'a pas pu être écrite dans le fichier de travail:"),
                              e.description(),
                              reste + QStringLiteral(" La photo affichée sera écrite à la prochaine modification, ou par ENREGISTRER.")}),
               msg::OK + msg::Exclamation, QStringLiteral("FICHIER DE TRAVAIL"));
    }
    L_photo.definirModeechelle(modeechelle::Pixels);
    E_resize.definirLegende(QStringLiteral("Redim:") + QString::number(arrondi(etat.rapportredim * 100)) + QStringLiteral(" %  ") +
                            QString::number(arrondi(L_photo.largeurbitmap())) + QLatin1Char('x') +
                            QString::number(arrondi(L_photo.hauteurbitmap())));
    L_photo.definirModeechelle(modeechelle::Twips);
    L_photo.definirVisible(true);
}

void Atelier::ecrireTravail()
{
    // The file of the picture shown before goes first: it is never filed in place of this one,
    // and its room serves the new one.
    QFile::remove(fichierTravail());
    travailAJour_ = false;
    const int bits = L_photo.niveaugris() != 0 ? 8 : 24;
    try {
        L_photo.ecrirefichier(fichierTravail(), 10, bits, etat.qualitecompression, 0);
        L_photo.lirefichier(fichierTravail(), 0, 0, 1);
        travailAJour_ = true;
    } catch (const Erreur&) {
        QFile::remove(fichierTravail());
        E_compression.definirLegende(QStringLiteral("Compress ") + Str(etat.qualitecompression) +
                                     QStringLiteral(": non écrit"));
        throw;
    }
    E_compression.definirLegende(legendeCompression(etat.qualitecompression, L_photo.taillefichier()));
}

void Atelier::initredim()
{
    etat.redimencours = true;
    A_resize.definirMin(0);
    L_photo.definirVisible(false);
    L_photo.definirModeechelle(modeechelle::Pixels);
    const int l = arrondi(L_photo.largeurbitmap()), h = arrondi(L_photo.hauteurbitmap());
    // Measured on the smaller side, down to 100 pixels.
    A_resize.definirMax(std::max(h < l ? h : l, 100));
    A_resize.definirMin(100);
    const int pas = arrondi(A_resize.max() / 10.0);
    A_resize.definirGrandPas(pas);
    A_resize.definirPetitPas(pas);
    A_resize.definirValeur(A_resize.max());
    etat.redimencours = false;
    etat.rapportredim = double(A_resize.valeur()) / A_resize.max();
    E_resize.definirLegende(QStringLiteral("Redim:") + QString::number(arrondi(etat.rapportredim * 100)) + QStringLiteral(" %  ") +
                            QString::number(arrondi(l * etat.rapportredim)) + QLatin1Char('x') +
                            QString::number(arrondi(h * etat.rapportredim)));
    A_resize.definirActif(true);
    E_resize.definirActif(true);
    L_photo.definirModeechelle(modeechelle::Twips);
    L_photo.definirVisible(true);
}

}  // namespace kal
