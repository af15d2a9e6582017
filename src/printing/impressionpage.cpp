// Printing a page, and the pipeline every printed object goes through on the page and on the
// jacket: its base work file sauv<n>.svc read whole, the five adjustments and the rotation of
// its record applied again at full resolution, the picture drawn at its stored position
// corrected by the calibration and the printer's unprintable margin, its frame right after it.
#include "printing/impression.h"

#include "imaging/imagerie.h"
#include "layout/geometrie.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"

#include <cmath>
#include <new>
#include <optional>

namespace kal {

namespace {
constexpr int ImageInvalide = 481;    // a work file holding a picture without pixels
constexpr int MemoireInsuffisante = 7;
}  // namespace

bool Impression::impression()
{
    const int pointeurAvant = Ecran::pointeurCourant();
    Ecran::definirPointeur(pointeur::Sablier);
    std::optional<Erreur> echec;
    try {
        if (x_.jaquette())
            imprimerJaquetteJob();
        else
            imprimerPageJob();
    } catch (const Erreur& e) {
        echec = e;
    } catch (const std::bad_alloc&) {
        echec = Erreur(MemoireInsuffisante, QStringLiteral("mémoire insuffisante pour l'image à imprimer"));
    }
    if (echec) {
        // Nothing of a failed job is printed; the next one starts afresh.
        x_.imprimante.abandonnerdocument();
        try {
            x_.fiches().sourceTable();
        } catch (const Erreur&) {
            // the database itself failed: the message below says so
        }
    }
    x_.autcontrol(true, x_.etat.typeobjet == QLatin1String("textimage"));
    Ecran::definirPointeur(pointeurAvant);
    if (echec)
        MsgBox(lignesMessage({QStringLiteral("L'impression n'a pas abouti (erreur %1):").arg(echec->numero()),
                              echec->description(), QStringLiteral("Rien n'a été imprimé.")}),
               msg::OK + msg::Critique, QStringLiteral("ERREUR"));
    return !echec;
}

void Impression::garderAvantImpression()
{
    try {
        x_.objets().garderObjetCourant();
    } catch (const Erreur& e) {
        throw Erreur(e.numero(), QStringLiteral("L'objet en cours n'a pas pu être enregistré : %1.").arg(e.cause()));
    }
}

void Impression::imprimerPageJob()
{
    garderAvantImpression();
    Imprimante& imp = x_.imprimante;
    imp.debutdocument();
    // The whole table, whatever record source the last procedure left.
    x_.fiches().sourceTable();
    imprimerobjets(0, 16, -x_.partage.margeimpH, -x_.partage.margeimpV, true);
    imp.findocument();
}

FicheImprimee Impression::lireFiche(int n)
{
    bd::JeuEnregistrements& jeu = x_.fiches().trouver(n);
    FicheImprimee f;
    f.numero = n;
    f.occup = jeu.valeur(champ::occup).toBool();
    if (!f.occup)
        return f;
    f.leftimp = jeu.valeur(champ::leftimp).toDouble();
    f.topimp = jeu.valeur(champ::topimp).toDouble();
    f.widthimp = jeu.valeur(champ::widthimp).toDouble();
    f.heightimp = jeu.valeur(champ::heightimp).toDouble();
    f.rot = jeu.valeur(champ::rot).toInt();
    // A database from before the frames has no field for them: no frame.
    f.cadre = jeu.aChamp(champ::cadre) ? jeu.valeur(champ::cadre).toInt() : 0;
    f.textimage = jeu.valeur(champ::textimage).toBool();
    return f;
}

FicheGeometrie geometrieImprimee(const FicheImprimee& f)
{
    return {Twips(f.leftimp), Twips(f.topimp), Twips(f.widthimp), Twips(f.heightimp), f.rot};
}

void Impression::imprimerobjets(int debut, int fin, Twips origineGauche, Twips origineHaut, bool actualiserChaque)
{
    for (int n = debut; n < fin; ++n) {
        if (actualiserChaque)
            x_.fiches().actualiser();
        const FicheImprimee f = lireFiche(n);
        if (f.occup)
            imprimerobjet(f, origineGauche, origineHaut);
    }
}

void Impression::imprimerobjet(const FicheImprimee& f, Twips origineGauche, Twips origineHaut)
{
    const ReglagesPartages& p = x_.partage;
    const EtatEditeur& e = x_.etat;
    const int n = f.numero;

    ControleImage& L = *L_imprim_;
    try {
        L.lirefichier(fichierSauv(n), 0, 0, 1);
    } catch (const Erreur& err) {
        throw Erreur(err.numero(), QStringLiteral("Objet %1, fichier de travail %2: %3")
                                       .arg(n)
                                       .arg(fichierSauv(n), err.description()));
    }
    const QSize pixels = L.bitmap().taille();
    if (pixels.width() <= 0 || pixels.height() <= 0)
        throw Erreur(ImageInvalide, QStringLiteral("Objet %1: le fichier de travail %2 ne contient pas d'image")
                                        .arg(n)
                                        .arg(fichierSauv(n)));

    // The adjustments as stored, each a 16-bit whole number, then the photo treatment (photos
    // only) and the rotation, which is applied also at 0 degrees.
    const auto& ligne = e.tabobjets[static_cast<size_t>(n)];
    const ValeursReglages v{.contraste = arrondi16(ligne[col::Contraste]),
                            .couleur = arrondi16(ligne[col::Couleur]),
                            .intensite = arrondi16(ligne[col::Intensite]),
                            .nettete = arrondi16(ligne[col::Nettete]),
                            .saturation = arrondi16(ligne[col::Saturation])};
    appliquerChaine(L, v, Finition{.photo = !f.textimage, .cadre = std::nullopt, .angle = f.rot});

    // The turned box of the one object geometry, at its stored corner moved by the origin and
    // the calibration, in whole twips.
    const RectTwips boite = geometrieObjet(geometrieImprimee(f), pixels).boite;
    posgauche_ = (boite.gauche + (origineGauche + Twips(p.DeltaH))).entier();
    poshaut_ = (boite.haut + (origineHaut + Twips(p.DeltaV))).entier();
    x_.imprimante.dessinerimage(L, QRectF(posgauche_, poshaut_, boite.largeur.valeur(), boite.hauteur.valeur()));
    if (f.cadre == 1)
        imprimcadre(f);
}

void Impression::imprimcadre(const FicheImprimee& f)
{
    Imprimante& imp = x_.imprimante;
    const double x = posgauche_, y = poshaut_, w = f.widthimp, h = f.heightimp;
    const int r = f.rot;
    if (r == 0 || r == 180 || r == -180) {
        imp.tracerboite(x, y, w, h);
        return;
    }
    if (r == 90 || r == -90) {
        imp.tracerboite(x, y, h, w);
        return;
    }
    // The w x h rectangle turned by r, inscribed in its bounding box of A + C by B + D twips
    // whose corner is (x, y).
    double degres = 0, A = 0, B = 0, C = 0, D = 0;
    const auto angle = [&degres] { return degres * 3.141593 / 180; };
    if (r > 0 && r < 90) {
        degres = r;
        A = h * std::sin(angle()), B = h * std::cos(angle()), C = w * std::cos(angle()), D = w * std::sin(angle());
    } else if (r > 90 && r < 180) {
        degres = r - 90;
        A = w * std::sin(angle()), B = w * std::cos(angle()), C = h * std::cos(angle()), D = h * std::sin(angle());
    } else if (r < 0 && r > -90) {
        degres = std::abs(r);
        A = w * std::cos(angle()), B = w * std::sin(angle()), C = h * std::sin(angle()), D = h * std::cos(angle());
    } else {
        degres = std::abs(r + 90);
        A = h * std::cos(angle()), B = h * std::sin(angle()), C = w * std::sin(angle()), D = w * std::cos(angle());
    }
    const auto simple = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    const QPointF p1(simple(x + A), simple(y));
    const QPointF p2(simple(x + A + C), simple(y + D));
    const QPointF p3(simple(x + C), simple(y + B + D));
    const QPointF p4(simple(x), simple(y + B));
    imp.tracerligne(p1.x(), p1.y(), p2.x(), p2.y());
    imp.tracerligne(p2.x(), p2.y(), p3.x(), p3.y());
    imp.tracerligne(p3.x(), p3.y(), p4.x(), p4.y());
    imp.tracerligne(p4.x(), p4.y(), p1.x(), p1.y());
}

}  // namespace kal
