#include "pagefiles/fichierspages.h"

#include "imaging/imagerie.h"
#include "pagefiles/pagesperso.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/fenetres.h"

#include <QFileInfo>

namespace kal {

FichiersPages::FichiersPages(ContexteEditeur& ctx) : x_(ctx) {}
FichiersPages::~FichiersPages() = default;

PanneauOuverture& FichiersPages::panneauOuverture()
{
    if (!ouverture_) {
        ouverture_ = std::make_unique<PanneauOuverture>(
            &x_.fenetre, ContextePanneau{&x_.fenetre, &x_.partage, x_.etat.repinitial}, !x_.jaquette(), x_.jaquette());
        ouverture_->surChoix = [this](ControleImage& apercu, const QString& chemin) { photoChoisie(apercu, chemin); };
        ouverture_->surAnnulation = [this] { ouvertureAnnulee(); };
    }
    return *ouverture_;
}

PanneauEnregistrement& FichiersPages::panneauEnregistrement()
{
    if (!enregistrement_) {
        enregistrement_ = std::make_unique<PanneauEnregistrement>(
            &x_.fenetre, ContextePanneau{&x_.fenetre, &x_.partage, x_.etat.repinitial});
        PanneauEnregistrement& p = *enregistrement_;
        Imagerie& im = x_.imagerie();
        p.surCompression = [&im](bool qualite, bool enregistrement) { im.compression(qualite, enregistrement); };
        p.surQualite = [&im] { im.A_compress_Change(); };
        p.surDefilementQualite = [&im] { im.A_compress_Scroll(); };
        p.surCompresser = [&im] { im.B_okcompress_Click(); };
        p.surEnregistrer = [&im] { im.B_okenreg_Click(); };
        p.surFermeture = [this] { x_.c.P_page.definirVisible(true); };
    }
    return *enregistrement_;
}

void FichiersPages::brancher()
{
    x_.enregistrerCommande(QStringLiteral("Charg Image"), [this] { return chargimage(); });
    pagesPerso().brancher();   // Personal pages: the entry "Pages" and the pages panel
}

bool FichiersPages::chargimage()
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    typeAvant_ = e.typeobjet;
    e.typeobjet = QStringLiteral("photo");
    x_.autcontrol(false, false);
    c.P_page.definirVisible(false);
    if (x_.objets().refusPlein()) {
        c.P_page.definirVisible(true);
        ouvertureAnnulee();
        return true;
    }
    PanneauOuverture& p = panneauOuverture();
    p.F_ouvrir.definirGauche(0);
    p.F_ouvrir.definirHaut(0);
    p.ouvrirphoto();
    x_.imagerie().changeflag(false, false, false, false, false, false);
    x_.imagerie().changeinit(false, QString());
    return true;
}

void FichiersPages::photoChoisie(ControleImage& apercu, const QString& chemin)
{
    EtatEditeur& e = x_.etat;
    ControlesEditeur& c = x_.c;
    const bool charge = x_.objets().chargementimage(apercu, chemin);
    c.P_page.definirVisible(true);
    x_.D_image.definirBase(ModeleObjets::cheminBase());
    if (!charge) {
        ouvertureAnnulee();
        return;
    }
    pagesPerso().texteApporte(chemin);   // Personal pages: a saved text-image brings its text
    // The new object's label: the page names it by its number, the jacket by its file.
    const size_t n = static_cast<size_t>(e.objetcourant);
    if (n < e.nomsobjets.size())
        e.nomsobjets[n] = x_.jaquette() ? QFileInfo(chemin).completeBaseName()
                                        : QStringLiteral("Image") + QString::number(e.objetcourant);
    Ecran::definirPointeur(pointeur::Personnalise);
}

void FichiersPages::ouvertureAnnulee()
{
    EtatEditeur& e = x_.etat;
    // Left without a choice: the labels, the object's kind and its editing controls as before.
    e.typeobjet = typeAvant_;
    x_.c.P_page.definirVisible(true);
    const int fin = x_.jaquette() ? e.fincote : 16;
    if (e.nbobjets > 0 && e.objetcourant >= 0 && e.objetcourant < fin)
        x_.autcontrol(true, e.typeobjet == QLatin1String("textimage"));
}

// Personal pages

PagesPerso& FichiersPages::pagesPerso()
{
    if (!pagesPerso_)
        pagesPerso_ = std::make_unique<PagesPerso>(x_);
    return *pagesPerso_;
}

}  // namespace kal
