// The workbench window: its controls as designed, their handlers, its load, activation, unload
// and quit, its layout for the screen, and the enabling of the file buttons.
#include "workbench/atelier.h"

#include "imaging/chainereglages.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QShowEvent>
#include <QWindow>

namespace kal {

const QString Atelier::NomTravail = QStringLiteral("saiphot.jpg");
const QString Atelier::NomClasseur = QStringLiteral("utilphot");

namespace {
int bas(const Controle& c) { return c.haut() + c.hauteur(); }
int droite(const Controle& c) { return c.gauche() + c.largeur(); }

void bornes(Curseur& a, int min, int max, int petit, int grand)
{
    a.definirMin(min);
    a.definirMax(max);
    a.definirPetitPas(petit);
    a.definirGrandPas(grand);
}
}  // namespace

Atelier::Atelier(ReglagesPartages& partage)
    : Fenetre(nomFenetre()),
      F_photo(this),
      B_ouvrir(F_photo.widget(), QStringLiteral("OUVRIR")),
      B_enrsous(F_photo.widget(), QStringLiteral("ENREGISTRER")),
      B_scanner(F_photo.widget(), QStringLiteral("SCANNER")),
      B_sup(F_photo.widget(), QStringLiteral("SUPPRIMER")),
      B_okphoto(F_photo.widget(), QStringLiteral("OK")),
      B_ajust(F_photo.widget(), QStringLiteral("AJUSTER")),
      E_intensite(this), E_contraste(this), E_couleur(this), E_saturation(this), E_nettete(this),
      A_intensite(this), A_contraste(this), A_couleur(this), A_saturation(this), A_nettete(this),
      B_initreglage(this),
      B_redeye(this, QStringLiteral("YEUX ROUGES")),
      B_appry(this, QStringLiteral("APPLIQUER")),
      B_annry(this, QStringLiteral("ANNULER")),
      B_finry(this, QStringLiteral("TERMINER")),
      E_zoom(this), E_angle(this),
      A_zoom(this), A_angle(this),
      C_decoupe(this, QStringLiteral("DECOUPE")),
      B_annuldecoupe(this, QStringLiteral("ANNULER")),
      B_annulreglagetot(this, QStringLiteral("INITIALISATION")),
      B_initzoom(this, QStringLiteral("INITIAL")),
      B_initangle(this, QStringLiteral("INITIAL")),
      B_info(this, QStringLiteral("INFO")),
      E_compression(this), A_compression(this),
      E_resize(this), A_resize(this),
      E_gamma(this), A_gamma(this),
      B_doc(this, QStringLiteral("DOC")),
      B_finutil(this, QStringLiteral("QUITTER")),
      L_fichier(this),
      L_fichsup(this),
      L_photo(this), L_initial(this), L_sauvtot(this), L_sauvder(this),
      R_fichier(this),
      panneau(this, ContextePanneau{this, &partage, QString()}, false, false),
      partage_(partage)
{
    QFont police(QStringLiteral("MS Sans Serif"));
    police.setPointSizeF(8.25);
    setFont(police);
    concevoir();
    brancher();
    placer(0, 0, Ecran::largeurTwips(), Ecran::hauteurTwips());
}

Atelier::~Atelier()
{
    // The work file is the window's: it goes with it, also when the program ends without
    // unloading its windows.
    if (!dossier_.isEmpty())
        QFile::remove(fichierTravail());
}

QString Atelier::fichierTravail() const { return fs::joindre(dossier_, NomTravail); }
QString Atelier::classeur() const { return fs::joindre(dossier_, NomClasseur); }

// The controls as designed (twips; the band's tops are set by dimensionecran).
void Atelier::concevoir()
{
    F_photo.placer(0, 0, 3285, 975);
    B_ouvrir.placer(0, 0, 1635, 315);
    B_enrsous.placer(1635, 0, 1650, 330);
    B_scanner.placer(0, 330, 1635, 315);
    B_sup.placer(1635, 330, 1650, 330);
    B_okphoto.placer(0, 660, 1635, 330);
    B_ajust.placer(1635, 660, 1635, 330);

    const std::pair<Etiquette*, const char*> etiquettes[] = {{&E_intensite, "Intensité"}, {&E_contraste, "Contraste"},
                                                             {&E_couleur, "Couleur"},     {&E_saturation, "Saturation"},
                                                             {&E_nettete, "Netteté"}};
    for (auto [e, legende] : etiquettes) {
        e->placer(3285, 0, 900, 180);
        e->definirLegende(QString::fromUtf8(legende));
    }
    for (Curseur* a : {&A_intensite, &A_contraste, &A_couleur, &A_saturation, &A_nettete})
        a->placer(4185, 0, 1200, 180);
    for (auto [a, r] : {std::pair{&A_contraste, Reglage::Contraste}, std::pair{&A_couleur, Reglage::Couleur},
                        std::pair{&A_intensite, Reglage::Intensite}, std::pair{&A_nettete, Reglage::Nettete},
                        std::pair{&A_saturation, Reglage::Saturation}})
        bornerCurseur(*a, r);
    B_initreglage.placer(5385, 0, 300, 975);

    B_redeye.placer(5685, 0, 1320, 255);
    for (Bouton* b : {&B_appry, &B_annry, &B_finry})
        b->placer(5685, 0, 1320, 240);

    E_zoom.placer(7005, 0, 1200, 225);
    E_zoom.definirLegende(QStringLiteral("Zoom"));
    E_angle.placer(7005, 0, 1200, 210);
    E_angle.definirLegende(QStringLiteral("Rotation"));
    A_zoom.placer(8205, 0, 1200, 225);
    A_angle.placer(8205, 0, 1200, 225);
    bornes(A_zoom, -90, 900, 1, 10);
    bornes(A_angle, -180, 180, 1, 90);
    C_decoupe.placer(7005, 0, 1395, 225);
    B_annuldecoupe.placer(8400, 0, 1005, 225);
    B_annulreglagetot.placer(7005, 0, 3390, 300);
    for (Bouton* b : {&B_initzoom, &B_initangle, &B_info})
        b->placer(9405, 0, 990, 225);

    E_compression.placer(10400, 0, 1995, 225);
    E_compression.definirLegende(QStringLiteral("Compression"));
    A_compression.placer(10400, 0, 1995, 240);
    bornes(A_compression, 2, 255, 1, 10);
    E_resize.placer(10400, 0, 1995, 225);
    E_resize.definirLegende(QStringLiteral("Redim"));
    A_resize.placer(10400, 0, 1995, 240);
    bornes(A_resize, 120, 300, 1, 10);
    E_gamma.placer(12395, 0, 1200, 225);
    E_gamma.definirLegende(QStringLiteral("Gamma"));
    A_gamma.placer(12395, 0, 1200, 240);
    bornes(A_gamma, 10, 300, 1, 10);
    B_doc.placer(12395, 0, 1200, 495);
    B_finutil.placer(13595, 0, 1755, 975);

    L_fichier.placer(0, 1920, 1500, 6810);
    L_fichier.definirVisible(false);
    L_fichsup.placer(9120, 0, 1500, 3540);
    L_fichsup.definirVisible(false);
    panneau.F_ouvrir.placer(1560, 4440, 9300, 4365);
    for (ControleImage* c : {&L_photo, &L_initial, &L_sauvtot, &L_sauvder})
        c->definirVisible(false);
    R_fichier.definirVisible(false);

    // Usable at first: the file buttons, the calibration, the information, the gamma, the
    // documentation and QUITTER; the others wait for a photo.
    for (Controle* c : std::initializer_list<Controle*>{
             &B_enrsous, &B_okphoto, &E_intensite, &E_contraste, &E_couleur, &E_saturation, &E_nettete, &A_intensite,
             &A_contraste, &A_couleur, &A_saturation, &A_nettete, &B_initreglage, &B_redeye, &B_appry, &B_annry,
             &B_finry, &E_zoom, &E_angle, &A_zoom, &A_angle, &C_decoupe, &B_annuldecoupe, &B_annulreglagetot,
             &B_initzoom, &B_initangle, &E_compression, &A_compression, &E_resize, &A_resize})
        c->definirActif(false);
}

void Atelier::brancher()
{
    B_ouvrir.surClic = [this] { B_ouvrir_Click(); };
    B_enrsous.surClic = [this] { B_enrsous_Click(); };
    B_scanner.surClic = [this] { B_scanner_Click(); };
    B_sup.surClic = [this] { B_sup_Click(); };
    B_okphoto.surClic = [this] { B_okphoto_Click(); };
    B_ajust.surClic = [this] { B_ajust_Click(); };
    B_info.surClic = [this] { B_info_Click(); };
    B_doc.surClic = [this] { B_doc_Click(); };
    B_finutil.surClic = [this] { B_finutil_Click(); };

    // The five adjustment sliders, in the order of the chain (Reglage).
    Curseur* const famille[] = {&A_contraste, &A_couleur, &A_intensite, &A_nettete, &A_saturation};
    for (int m = 0; m < 5; ++m) {
        famille[m]->surChangement = [this, m] { A_reglage_Change(m); };
        famille[m]->surDefilement = [this, m] { A_reglage_Scroll(m); };
    }
    B_initreglage.surClic = [this] { B_initreglage_Click(); };
    B_annulreglagetot.surClic = [this] { B_annulreglagetot_Click(); };
    A_gamma.surChangement = [this] { changegamma(); };
    A_gamma.surDefilement = [this] { changegamma(); };

    A_zoom.surChangement = [this] { zooming(); };
    A_zoom.surDefilement = [this] { zooming(); };
    B_initzoom.surClic = [this] { initialzoom(); };
    A_angle.surChangement = [this] { A_angle_Change(); };
    A_angle.surDefilement = [this] { A_angle_Scroll(); };
    B_initangle.surClic = [this] { B_initangle_Click(); };

    C_decoupe.surClic = [this] { C_decoupe_Click(); };
    B_annuldecoupe.surClic = [this] { B_annuldecoupe_Click(); };
    L_photo.surSourisEnfoncee = [this](int b, int s, double x, double y) { L_photo_MouseDown(b, s, x, y); };
    L_photo.surSourisDeplacee = [this](int b, int s, double x, double y) { L_photo_MouseMove(b, s, x, y); };
    L_photo.surSourisRelachee = [this](int b, int s, double x, double y) { L_photo_MouseUp(b, s, x, y); };
    B_redeye.surClic = [this] { B_redeye_Click(); };
    B_appry.surClic = [this] { B_appry_Click(); };
    B_annry.surClic = [this] { B_annry_Click(); };
    B_finry.surClic = [this] { B_finry_Click(); };

    A_compression.surChangement = [this] { A_compression_Change(); };
    A_compression.surDefilement = [this] { A_compression_Scroll(); };
    A_resize.surChangement = [this] { A_resize_Change(); };
    A_resize.surDefilement = [this] { A_resize_Scroll(); };

    L_fichier.surClic = [this] { L_fichier_Click(); };
    panneau.surChoix = [this](ControleImage& apercu, const QString& chemin) { photoChoisie(apercu, chemin); };
    panneau.surAnnulation = [this] { ouvertureAnnulee(); };
    panneau.surNomAbsent = [this] { nomPhotoAbsent(); };
}

void Atelier::chargement()
{
    setWindowTitle(QStringLiteral("UTILITAIRES PHOTO"));
    // The calibration window gives the printer its orientation and paper back as it goes.
    Fenetres::decharger(QStringLiteral("AJUST"));
    dossier_ = fs::dossierCourant();
    try {
        fs::creerDossier(classeur());
    } catch (const Erreur&) {
        // It is there already.
    }
    dimensionecran();
    listefichier();
    changeflag(false, false, false, false, false, false);
    etat.largeurzone = Ecran::largeurTwips();
    etat.hauteurzone = partage_.largeurecranpx == 800 ? B_redeye.haut() : E_gamma.haut();
    initialzoom();
    initialangle();
    etat.qualitecompression = 2;
    A_compression.definirValeur(2);
    changeinit(false, QString());
    L_photo.definirVisible(false);
    autorfich(true, true, false, true, false, false, false);
}

bool Atelier::dechargement()
{
    QFile::remove(fichierTravail());
    return true;
}

void Atelier::activation()
{
    partage_.gamma = 180;
    A_gamma.definirValeur(180);
    L_photo.definirGammaaffichage(180);
}

void Atelier::B_finutil_Click()
{
    if (partage_.ajustactif)
        Fenetres::decharger(QStringLiteral("AJUST"));
    Fenetres::decharger(nomFenetre());
}

void Atelier::B_ajust_Click() { Fenetres::montrer(QStringLiteral("AJUST")); }

void Atelier::B_doc_Click()
{
    partage_.rubriquedoc = QStringLiteral("util");
    Fenetres::montrer(QStringLiteral("DOC"));
}

void Atelier::L_fichier_Click()
{
    etat.nomphoto.clear();
    etat.photochargee = false;
}

void Atelier::autorfich(bool ouvrir, bool scanner, bool enregistrer, bool supprimer, bool ok, bool listeNoms, bool listeSup)
{
    B_ouvrir.definirActif(ouvrir);
    B_scanner.definirActif(scanner);
    B_enrsous.definirActif(enregistrer);
    B_sup.definirActif(supprimer);
    B_okphoto.definirActif(ok);
    L_fichier.definirVisible(listeNoms);
    L_fichsup.definirVisible(listeSup);
    // The lists stand over the photo.
    if (listeNoms)
        L_fichier.widget()->raise();
    if (listeSup)
        L_fichsup.widget()->raise();
}

void Atelier::regvisible(bool b)
{
    for (Curseur* a : {&A_intensite, &A_contraste, &A_couleur, &A_nettete, &A_saturation})
        a->definirVisible(b);
}

// --- layout

void Atelier::bandeEtroite()
{
    F_photo.definirLargeur(2640);
    for (Bouton* b : {&B_ouvrir, &B_scanner})
        b->definirLargeur(1320);
    for (Bouton* b : {&B_enrsous, &B_sup}) {
        b->definirGauche(1320);
        b->definirLargeur(1320);
    }
    B_okphoto.definirLargeur(2640);
    const std::pair<Etiquette*, const char*> etiquettes[] = {{&E_intensite, "Intensité"}, {&E_contraste, "Contrast"},
                                                             {&E_couleur, "Couleur"},     {&E_saturation, "Satur"},
                                                             {&E_nettete, "Netteté"}};
    for (auto [e, legende] : etiquettes) {
        e->definirGauche(2640);
        e->definirLargeur(840);
        e->definirLegende(QString::fromUtf8(legende));
    }
    for (Curseur* a : {&A_intensite, &A_contraste, &A_couleur, &A_saturation, &A_nettete}) {
        a->definirGauche(3480);
        a->definirLargeur(915);
    }
    B_initreglage.definirGauche(4395);
    for (Controle* c : std::initializer_list<Controle*>{&E_zoom, &E_angle, &C_decoupe, &B_annulreglagetot})
        c->definirGauche(4695);
    A_zoom.definirGauche(5895);
    A_angle.definirGauche(5895);
    for (Bouton* b : {&B_initzoom, &B_initangle}) {
        b->definirGauche(7095);
        b->definirLargeur(690);
    }
    B_annuldecoupe.definirGauche(droite(C_decoupe));
    B_info.definirGauche(7095);
    B_info.definirLargeur(690);
    for (Controle* c : std::initializer_list<Controle*>{&E_compression, &A_compression, &E_resize, &A_resize})
        c->definirGauche(7785);
    for (Controle* c : std::initializer_list<Controle*>{&E_gamma, &A_gamma, &B_doc})
        c->definirGauche(9785);
    B_annulreglagetot.definirLargeur(A_resize.gauche() - B_annulreglagetot.gauche());
    B_finutil.definirGauche(droite(E_gamma));
    B_finutil.definirLargeur(Ecran::largeurTwips() - B_finutil.gauche());
    QFont f = B_finutil.widget()->font();
    f.setPointSizeF(8);
    B_finutil.widget()->setFont(f);
}

void Atelier::dimensionecran()
{
    setWindowState(Qt::WindowMaximized);
    placer(0, 0, Ecran::largeurTwips(), Ecran::hauteurTwips());
    const bool etroit = partage_.largeurecranpx == 800;
    if (etroit)
        bandeEtroite();
    // The top of the band. Where the window's client area is shorter than the design counted
    // on (the title bar of a maximised window, or a window of the screen's height with the
    // designed 375 twips of title over it), the band rises so that it stays wholly inside.
    const int concu = arrondi(double(Ecran::hauteurTwips()) - B_finutil.hauteur() - 270 - partage_.hauteurtitre);
    const int T = std::min({concu, hauteurClient() - B_finutil.hauteur() - 15,
                            Ecran::hauteurMaximiseeTwips() - B_finutil.hauteur() - 15});
    F_photo.definirHaut(T);

    if (etroit) {
        B_redeye.definirHaut(T - B_redeye.hauteur());
        const Bouton* avant = &B_redeye;
        for (Bouton* b : {&B_appry, &B_annry, &B_finry}) {
            b->placer(droite(*avant), B_redeye.haut(), b->largeur(), b->hauteur());
            avant = b;
        }
    } else {
        B_redeye.definirHaut(T);
        const Bouton* avant = &B_redeye;
        for (Bouton* b : {&B_appry, &B_annry, &B_finry}) {
            b->definirHaut(bas(*avant));
            avant = b;
        }
    }

    E_intensite.definirHaut(T);
    A_intensite.definirHaut(T);
    const std::pair<Etiquette*, Curseur*> lignes[] = {
        {&E_contraste, &A_contraste}, {&E_couleur, &A_couleur}, {&E_saturation, &A_saturation}, {&E_nettete, &A_nettete}};
    const Etiquette* precedente = &E_intensite;
    for (auto [e, a] : lignes) {
        e->definirHaut(bas(*precedente) + 15);
        a->definirHaut(e->haut());
        precedente = e;
    }

    E_zoom.definirHaut(T);
    A_zoom.definirHaut(T);
    E_angle.definirHaut(bas(E_zoom) + 15);
    A_angle.definirHaut(E_angle.haut());
    C_decoupe.definirHaut(bas(E_angle));
    B_annulreglagetot.definirHaut(bas(C_decoupe));

    B_initreglage.definirHaut(T);
    B_initzoom.definirHaut(T);
    B_initangle.definirHaut(bas(B_initzoom));
    B_annuldecoupe.definirHaut(C_decoupe.haut());
    B_info.definirHaut(bas(B_initangle));

    E_compression.definirHaut(T);
    A_compression.definirHaut(bas(E_compression) + 15);
    E_resize.definirHaut(bas(A_compression) + 15);
    A_resize.definirHaut(bas(E_resize) + 15);

    E_gamma.definirHaut(T);
    A_gamma.definirHaut(bas(E_gamma));
    B_doc.definirHaut(bas(A_gamma) + 15);

    L_fichier.placer(L_fichier.gauche(), 0, L_fichier.largeur(), T);
    L_fichsup.placer(0, 0, L_fichsup.largeur(), T);

    B_finutil.definirHaut(E_gamma.haut());
    if (!etroit && partage_.largeurecranpx != 1024) {
        B_finutil.placer(droite(E_gamma), E_gamma.haut(), Ecran::largeurTwips() - droite(E_gamma), 975);
        B_doc.definirLargeur(E_gamma.largeur());
    }
}

}  // namespace kal
