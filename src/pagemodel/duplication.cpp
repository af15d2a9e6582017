// Duplicating an object from its thumbnail: a click on thumbnail k makes a new object holding a
// copy of object k's picture, in the lowest free slot, and makes it current (copiephoto). The
// copy shares no file with its source. Pointing at a thumbnail shows its object's label.
#include "pagemodel/objets.h"

#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "printing/impression.h"
#include "text/textes.h"

namespace kal {

namespace {

// A click: the left button let go over the control it was pressed on (the control keeps the
// mouse from the press to the release).
bool estClic(const ControleImage& k, int bouton, double x, double y)
{
    return bouton == 1 && x >= 0 && y >= 0 && x < k.largeurechelle() && y < k.hauteurechelle();
}

// Raised for the length of a scope: the change handlers keep quiet, whatever ends the scope.
class Drapeau {
public:
    explicit Drapeau(bool& d) : d_(d) { d_ = true; }
    ~Drapeau() { d_ = false; }
    Drapeau(const Drapeau&) = delete;
    Drapeau& operator=(const Drapeau&) = delete;

private:
    bool& d_;
};

}  // namespace

void ModeleObjets::brancherMiniature(int n)
{
    if (n < 0 || n >= static_cast<int>(x_.c.L_miniat.size()) || !x_.c.L_miniat[static_cast<size_t>(n)])
        return;
    ControleImage* m = x_.c.L_miniat[static_cast<size_t>(n)].get();
    m->surSourisDeplacee = [this, n](int b, int s, double px, double py) { L_miniat_MouseMove(n, b, s, px, py); };
    m->surSourisRelachee = [this, n, m](int b, int, double px, double py) {
        if (estClic(*m, b, px, py))
            L_miniat_Click(n);
    };
}

// --- The thumbnail's events

void ModeleObjets::L_miniat_MouseMove(int k, int, int, double, double) { legendeSurvol(k); }

void ModeleObjets::legendeSurvol(int k)
{
    EtatEditeur& e = x_.etat;
    if (k < 0 || k >= static_cast<int>(e.nomsobjets.size()))
        return;
    if (k != e.objetsurvole)
        x_.fenetre.setWindowTitle(e.nomsobjets[static_cast<size_t>(k)]);
    e.objetsurvole = k;
}

void ModeleObjets::L_miniat_Click(int k)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    if (k < 0 || k >= e.nbEmplacements() || !c.L_miniat[static_cast<size_t>(k)])
        return;
    // A full page or face, or one whose records are all taken although the count says
    // otherwise: refused before anything is touched.
    if (e.nbobjets >= 16 || premierLibre() < 0) {
        messagePlein();
        return;
    }
    ControleImage& miniature = *c.L_miniat[static_cast<size_t>(k)];
    x_.fenetre.definirPointeur(pointeur::Sablier);
    miniature.definirPointeur(pointeur::Sablier);
    try {
        Fiches fiches = x_.fiches();
        fiches.sourceTable();
        e.typeobjet = fiches.lire(k, champ::textimage).toBool() ? QStringLiteral("textimage") : QStringLiteral("photo");
        copiephoto(k);
    } catch (const Erreur& err) {
        messageEchec(QStringLiteral("COPIE D'OBJET"), QStringLiteral("L'objet %1 n'a pas été copié").arg(k), err);
    }
    miniature.definirPointeur(pointeur::Personnalise);
    x_.fenetre.definirPointeur(pointeur::Personnalise);
}

// --- The copy

ControleImage& ModeleObjets::creerControlePage(int k)
{
    auto& photo = x_.c.L_photo[static_cast<size_t>(k)];
    photo = std::make_unique<ControleImage>(x_.c.P_page.widget());
    photo->definirVisible(false);
    // Every object's display shows through the shared display gamma, whichever road made it.
    photo->definirGammaaffichage(x_.partage.gamma);
    x_.disposition().brancherObjet(k);
    return *photo;
}

void ModeleObjets::recreerControlesPage()
{
    EtatEditeur& e = x_.etat;
    e.nbobjets = 0;
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    for (int k = 0; k < 16; ++k) {
        if (!fiches.lire(k, champ::occup).toBool())
            continue;
        ++e.nbobjets;
        if (k != e.objetcourant)
            creerControlePage(k);
    }
}

void ModeleObjets::copiephoto(int k)
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();

    // The source picture, read with the current object stored: a work file that is missing or
    // damaged stops the copy with the page as it was. The page copies the base picture without
    // the slider adjustments; the jacket the picture as shown, which becomes the copy's base.
    // The copy's files (a text-image's text with them) are written before the page changes.
    ControleImage source;
    const bool texte = e.typeobjet == QLatin1String("textimage");
    AvantCreation avant;
    const int libre = preparerNouvelObjet(avant, [&](int n, fs::Remplacement& lot) {
        source.lirefichier(jaq ? fichierPhoto(k) : fichierSauv(k), 0, 0, 1);
        x_.imagerie().ecrirecopies(source, n, lot);
        if (texte)
            fs::copierFichier(fichierTexte(k), lot.aCote(fichierTexte(n)));
    });
    x_.imagerie().copiesEcrites(source, libre);
    // Its files are there; a failure of the record or of the rebuild takes the slot back, with
    // them, and the caller says what was not done.
    placerNouvelObjet(avant, libre, [&] {
        prendreEmplacement();

        const int n = e.objetcourant;
        ControleImage& photo = *c.L_photo[static_cast<size_t>(n)];
        photo.definirBitmap(source.bitmap());
        if (n != libre)
            x_.imagerie().ecrirecopies(photo, n);
        c.L_sauvtot.definirBitmap(photo.bitmap());
        x_.imagerie().changeflag(false, false, false, false, false, false);
        x_.imagerie().changeinit(false, QString());
        e.nomsobjets[static_cast<size_t>(n)] = QStringLiteral("Image ") + QString::number(n);
        {
            Drapeau r(e.rechargementencours);
            x_.imagerie().affichphoto();
        }
        // A text-image's copy also takes its text (texte<k>.svc into texte<n>.svc), the seven font
        // fields of record k on the whole text, its background colour and its count of lines
        // (column 10 of tabobjets), before the rebuild loads texte<n>.svc.
        if (e.typeobjet == QLatin1String("textimage"))
            x_.textes().copietexte(k, n);
        if (!jaq)
            recreerControlesPage();
        {
            Drapeau r(e.rechargementencours);
            if (jaq)
                initjaq();
            else
                initpage();
        }
        x_.imagerie().changeflag(false, false, false, false, false, false);
        x_.imagerie().changeinit(false, QString());
        if (jaq)
            x_.impression().apercujaq(QStringLiteral("cha"));
    });
}

}  // namespace kal
