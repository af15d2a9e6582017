// The printing entries of the function list, the jacket's function options, and the window's
// events that complete a printer set-up.
#include "printing/impression.h"

#include "imaging/imagerie.h"
#include "pagemodel/objets.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"

#include <QEvent>
#include <QMouseEvent>

namespace kal {

namespace {

// The editor window's own click (on no control) and repaint. Becoming the active window again
// counts as a repaint: the window manager shows the window again over the printer settings
// without Qt painting it anew.
class FiltreFenetre : public QObject {
public:
    FiltreFenetre(QWidget* fenetre, Impression& imp) : fenetre_(fenetre), imp_(imp) { fenetre_->installEventFilter(this); }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == fenetre_) {
            switch (e->type()) {
            case QEvent::MouseButtonPress:
                // A click a control let through to the window is not a click on the window.
                if (!fenetre_->childAt(static_cast<QMouseEvent*>(e)->position().toPoint()))
                    imp_.Form_Click();
                break;
            case QEvent::Paint:
            case QEvent::WindowActivate: imp_.Form_Paint(); break;
            default: break;
            }
        }
        return QObject::eventFilter(o, e);
    }

private:
    QWidget* fenetre_;
    Impression& imp_;
};

}  // namespace

Impression::Impression(ContexteEditeur& ctx) : x_(ctx), L_imprim_(std::make_unique<ControleImage>(ctx.c.fenetre))
{
    // Never shown; its sizes are read in pixels.
    L_imprim_->definirVisible(false);
    L_imprim_->definirModeechelle(modeechelle::Pixels);
}

Impression::~Impression() = default;

void Impression::brancher()
{
    x_.c.O_compos.surClic = [this] { O_compos_Click(); };
    x_.c.O_imprim.surClic = [this] { O_imprim_Click(); };
    x_.c.O_tout.surClic = [this] { O_tout_Click(); };
    x_.enregistrerCommande(QStringLiteral("Configurer imprimante"), [this] { return configurerimprimante(); });
    x_.enregistrerCommande(QStringLiteral("Imprimer"), [this] { return imprimer(); });
    filtreFenetre_ = std::make_unique<FiltreFenetre>(x_.c.fenetre, *this);
}

// --- Jacket options

void Impression::O_compos_Click()
{
    ControlesEditeur& c = x_.c;
    c.O_tout.definirActif(false);
    // Back to composing: "Les deux" leaves no face to compose, so the face composed before is
    // selected again, and its click shows it as a user's would.
    if (c.O_tout.valeur())
        (faceAvant_ ? c.O_avant : c.O_arriere).definirValeur(true);
}

void Impression::O_imprim_Click()
{
    if (x_.etat.basecote == 0 || x_.etat.basecote == 16)
        faceAvant_ = x_.etat.basecote == 0;
    try {
        x_.imagerie().sauvphoto();
    } catch (const Erreur& err) {
        // The object could not be stored: the jacket stays in composition, the object as it is.
        ModeleObjets::messageEchec(QStringLiteral("IMPRESSION"),
                                   QStringLiteral("L'objet en cours n'a pas pu être enregistré, la jaquette reste en composition"),
                                   err);
        x_.c.O_compos.definirValeur(true);
        return;
    }
    // Selecting "Les deux" runs its own click when it was not selected already.
    x_.c.O_tout.definirActif(true);
    x_.c.O_tout.definirValeur(true);
}

void Impression::O_tout_Click()
{
    try {
        x_.imagerie().sauvphoto();
    } catch (const Erreur& err) {
        ModeleObjets::messageEchec(QStringLiteral("IMPRESSION"),
                                   QStringLiteral("L'objet en cours n'a pas pu être enregistré, la face composée reste choisie"),
                                   err);
        return;
    }
    x_.fenetre.setWindowTitle(QStringLiteral("JAQUETTES AVANT ET ARRIERE"));
    x_.etat.basecote = 100;   // neither face is being composed
}

// --- "Imprimer"

bool Impression::imprimer() { return x_.jaquette() ? imprimerJaquetteEntree() : imprimerPage(); }

bool Impression::questionImprimante()
{
    const QString texte = lignesMessage({QStringLiteral("Imprimante:") + x_.imprimante.nomimprimante(),
                                         QStringLiteral("Pour choisir une autre imprimante:"),
                                         QStringLiteral("    -Configurer imprimante."),
                                         QStringLiteral("    -Click droit sur l'imprimante choisie."),
                                         QStringLiteral("    -Définir comme imprimante par défaut."),
                                         QStringLiteral("    -Fermer la configuration imprimante."),
                                         QStringLiteral("Continuer?")});
    if (MsgBox(texte, msg::OuiNon + msg::Question, QStringLiteral("IMPRIMANTE")) == msg::RepOui)
        return true;
    Ecran::definirPointeur(pointeur::Fleche);
    return false;
}

bool Impression::imprimerPage()
{
    // An empty page prints nothing, without a message.
    if (x_.etat.nbobjets < 1)
        return true;
    x_.imprimante.definirSuividefaut(true);
    if (!questionImprimante())
        return false;
    impression();
    return true;
}

bool Impression::imprimerJaquetteEntree()
{
    if (!x_.c.O_imprim.valeur()) {
        MsgBox(lignesMessage({QStringLiteral("Pour imprimer:"), QStringLiteral("-Cocher Imprimer"),
                              QStringLiteral("-Choisir une option"), QStringLiteral("-Cliquer sur Imprimer")}),
               msg::OK + msg::Exclamation, QStringLiteral("IMPRIMER"));
        return false;
    }
    if (x_.etat.nbobjets < 1) {
        MsgBox(QStringLiteral("Aucune jaquette à imprimer"), msg::OK + msg::Exclamation, QStringLiteral("IMPRIMER"));
        return true;
    }
    // The job itself puts the printer on A4 portrait, and back as it was after.
    x_.imprimante.definirSuividefaut(true);
    if (!questionImprimante())
        return false;
    impression();
    return true;
}

}  // namespace kal
