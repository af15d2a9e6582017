#include "printing/ajustement.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/printer/imprimante.h"
#include "printing/reglages.h"

#include <QLabel>
#include <cmath>

namespace kal {

namespace {

// Designed geometry, in twips: the message on top, the nominal margins, the two entries with
// their captions, the row of buttons.
constexpr int LargeurClient = 8400;
constexpr int HauteurClient = 4215;
constexpr int Marge = 120;
constexpr int HautMarges = 2400;
constexpr int HautMesures = 2880;
constexpr int HautBoutons = 3600;
constexpr int LargeurBouton = 1455;
constexpr int HauteurBouton = 495;

constexpr int CoteCarre = 1134;   // 20 mm: the square's side and its nominal margin
constexpr double MargeNominaleMm = 20;

}  // namespace

Ajustement::Ajustement(ReglagesPartages& partage, Imprimante* imp)
    : Fenetre(nomFenetre()),
      E_message(this),
      E_margeH(this),
      E_margeV(this),
      E_mesureH(this),
      E_mesureV(this),
      T_mesureH(this),
      T_mesureV(this),
      B_imprim(this, QStringLiteral("IMPRIMER")),
      B_correct(this, QStringLiteral("CORRIGER")),
      B_init(this, QStringLiteral("INIT")),
      B_doc(this, QStringLiteral("DOC")),
      B_finajust(this, QStringLiteral("QUITTER")),
      p_(partage),
      imp_(imp ? *imp : imprimante())
{
    setWindowTitle(QStringLiteral("AJUSTEMENT DES MARGES"));
    const int colonne = LargeurClient / 2;
    E_message.placer(Marge, Marge, LargeurClient - 2 * Marge, HautMarges - 2 * Marge);
    static_cast<QLabel*>(E_message.widget())->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    E_margeH.placer(Marge, HautMarges, colonne - 2 * Marge, 285);
    E_margeV.placer(colonne + Marge, HautMarges, colonne - 2 * Marge, 285);
    constexpr int LargeurLegende = 3000;
    E_mesureH.placer(Marge, HautMesures + 45, LargeurLegende, 285);
    E_mesureH.definirLegende(QStringLiteral("Marge gauche mesurée en mm:"));
    T_mesureH.placer(Marge + LargeurLegende, HautMesures, 840, 375);
    E_mesureV.placer(colonne + Marge, HautMesures + 45, LargeurLegende, 285);
    E_mesureV.definirLegende(QStringLiteral("Marge haute mesurée en mm:"));
    T_mesureV.placer(colonne + Marge + LargeurLegende, HautMesures, 840, 375);
    T_mesureH.definirTexte(QStringLiteral("xx.x"));
    T_mesureV.definirTexte(QStringLiteral("yy.y"));
    int g = Marge;
    const int pas = (LargeurClient - 2 * Marge - LargeurBouton) / 4;
    for (Bouton* b : {&B_imprim, &B_correct, &B_init, &B_doc, &B_finajust}) {
        b->placer(g, HautBoutons, LargeurBouton, HauteurBouton);
        g += pas;
    }
    T_mesureH.definirActif(false);
    T_mesureV.definirActif(false);
    B_correct.definirActif(false);

    B_imprim.surClic = [this] { B_imprim_Click(); };
    T_mesureH.surChangement = [this] { T_mesure_Change(); };
    T_mesureV.surChangement = [this] { T_mesure_Change(); };
    B_correct.surClic = [this] { B_correct_Click(); };
    B_init.surClic = [this] { B_init_Click(); };
    B_doc.surClic = [this] { B_doc_Click(); };
    B_finajust.surClic = [this] { B_finajust_Click(); };

    placer(0, 0, LargeurClient, HauteurClient + Ecran::hauteurBordsTitre());
}

Ajustement::~Ajustement() = default;

// --- Load and unload

void Ajustement::chargement()
{
    deplacer(arrondi((Ecran::largeurTwips() - largeur()) / 2.0), arrondi((Ecran::hauteurTwips() - hauteur()) / 2.0));

    // Only the gamma is read: a rewrite of the file keeps it. The corrections are those in
    // memory (what an editor read at its load, else 0).
    p_.gamma = lireGammaReglages(p_.gamma);
    if (p_.gamma == 0)
        p_.gamma = 180;

    p_.orientsauv = imp_.orientationimprimante();
    p_.papiersauv = imp_.formatimprimante();
    p_.ajustactif = true;
    const bool a4 = a4Portrait();

    margeimpH_ = ((imp_.largeurfeuille() - imp_.largeurimprimable()) / 2).arrondie();
    margeimpV_ = margeimpH_;

    E_margeH.definirLegende(QStringLiteral("Marge gauche nominale:20 mm"));
    E_margeV.definirLegende(QStringLiteral("Marge haute nominale:20 mm"));
    if (a4)
        E_message.definirLegende(lignesMessage(
            {QStringLiteral("Vous allez imprimer un carré de 20 x 20 mm"),
             QStringLiteral("dont les marges nominales gauche et haute sont de 20 mm."),
             QStringLiteral("Positionner une feuille A4 en configuration Portrait."), QStringLiteral("Bouton IMPRIMER."),
             QStringLiteral("Mesurer en mm les marges gauche et haute du carré imprimé,puis les reporter dans:"),
             QStringLiteral("Marge gauche mesurée et Marge haute mesurée "), QStringLiteral("Bouton CORRIGER.")}));
}

bool Ajustement::dechargement()
{
    restaurerImprimante();
    p_.ajustactif = false;
    return true;
}

bool Ajustement::a4Portrait()
{
    try {
        imp_.definirFormatimprimante(imp::A4);
        imp_.definirOrientationimprimante(imp::Portrait);
        return true;
    } catch (const Erreur& e) {
        E_message.definirLegende(lignesMessage({QStringLiteral("L'imprimante n'accepte pas la feuille A4 portrait:"),
                                                e.description(),
                                                QStringLiteral("Choisir une autre imprimante avant d'ajuster les marges.")}));
        return false;
    }
}

void Ajustement::restaurerImprimante()
{
    // Values a load took from the printer itself: a refusal leaves the printer as it is.
    try {
        imp_.definirOrientationimprimante(p_.orientsauv);
    } catch (const Erreur&) {
        // The printer keeps its orientation: the next print sets the one it needs.
    }
    try {
        imp_.definirFormatimprimante(p_.papiersauv);
    } catch (const Erreur&) {
        // The printer keeps its paper: the next print sets the one it needs.
    }
}

// --- The test square

void Ajustement::B_imprim_Click()
{
    // 20 mm from the sheet's edges, moved by the corrections; the printer draws from the
    // printable area's corner.
    const float x = static_cast<float>((Twips(CoteCarre) - margeimpH_).entier() + p_.DeltaH);
    const float y = static_cast<float>((Twips(CoteCarre) - margeimpV_).entier() + p_.DeltaV);
    try {
        imp_.debutdocument();
        imp_.tracerboite(x, y, CoteCarre, CoteCarre, 0);
        imp_.findocument();
    } catch (const Erreur& e) {
        imp_.abandonnerdocument();
        E_message.definirLegende(lignesMessage({QStringLiteral("Le carré n'a pas pu être imprimé (erreur %1):").arg(e.numero()),
                                                e.description()}));
        return;
    }
    B_correct.definirActif(true);
    T_mesureH.definirActif(true);
    T_mesureV.definirActif(true);
    E_message.definirLegende(
        lignesMessage({QStringLiteral("Mesurer en mm les marges gauche et haut du carré imprimé,puis les reporter dans:"),
                       QStringLiteral("Marge gauche mesurée et Marge haute mesurée "), QStringLiteral("Bouton CORRIGER.")}));
}

void Ajustement::T_mesure_Change()
{
    B_correct.definirActif(Val(T_mesureH.texte()) != 0 && Val(T_mesureV.texte()) != 0);
}

// --- Corrections

bool Ajustement::mesureValide(const QString& t)
{
    // Every condition is judged; the first two characters only through the value.
    bool refus = t.size() != 4;
    refus = refus || t.indexOf(QLatin1Char('.')) != 2;
    refus = refus || Val(t) == 0;
    refus = refus || t.isEmpty() || t.back() < QLatin1Char('0') || t.back() > QLatin1Char('9');
    return !refus;
}

double Ajustement::pasCorrection(double mesureMm) { return std::floor((MargeNominaleMm - mesureMm) * TwipsParMm); }

bool Ajustement::ecrireFichier()
{
    try {
        ecrirereglages(p_);
        return true;
    } catch (const Erreur& e) {
        E_message.definirLegende(lignesMessage({QStringLiteral("Le fichier quelvard.ini ne peut pas être écrit:"),
                                                e.description(), QStringLiteral("Les corrections ne sont pas changées.")}));
        return false;
    }
}

void Ajustement::fermerSaisies()
{
    B_correct.definirActif(false);
    T_mesureH.definirActif(false);
    T_mesureV.definirActif(false);
}

void Ajustement::B_correct_Click()
{
    if (!mesureValide(T_mesureH.texte())) {
        E_message.definirLegende(QStringLiteral("Format marge gauche incorrect"));
        return;
    }
    if (!mesureValide(T_mesureV.texte())) {
        E_message.definirLegende(QStringLiteral("Format marge haute incorrect"));
        return;
    }
    p_.sautligne = fs::sautLigne();
    // The step is relative to the square just printed, which carried the corrections in
    // memory: their sum is the whole correction.
    const double avantH = p_.DeltaH, avantV = p_.DeltaV;
    p_.DeltaH += pasCorrection(Val(T_mesureH.texte()));
    p_.DeltaV += pasCorrection(Val(T_mesureV.texte()));
    if (!ecrireFichier()) {
        // Nothing is half done: pressing CORRIGER again must not count the step twice.
        p_.DeltaH = avantH;
        p_.DeltaV = avantV;
        return;
    }
    restaurerImprimante();
    p_.ajustactif = false;
    E_message.definirLegende(lignesMessage(
        {QStringLiteral("Les marges ont été corrigées."), QStringLiteral("Vous pouvez vérifier la correction avec IMPRIMER. "),
         QStringLiteral("Les corrections sont sauvegardées jusqu'à la prochaine correction,"),
         QStringLiteral("dans le fichier quelvard.ini"), QStringLiteral("Bouton QUITTER.")}));
    fermerSaisies();
}

void Ajustement::B_init_Click()
{
    p_.sautligne = fs::sautLigne();
    const double avantH = p_.DeltaH, avantV = p_.DeltaV;
    p_.DeltaH = 0;
    p_.DeltaV = 0;
    if (!ecrireFichier()) {
        p_.DeltaH = avantH;
        p_.DeltaV = avantV;
        return;
    }
    // The printer stays in the calibration's set-up, for a check print.
    const bool a4 = a4Portrait();
    p_.ajustactif = false;
    if (a4)
        E_message.definirLegende(lignesMessage(
            {QStringLiteral("Les marges ont été reinitialisées."),
             QStringLiteral("Vous pouvez vérifier la reinitialisation avec IMPRIMER. "),
             QStringLiteral("La reinitialisation est sauvegardée jusqu'à la prochaine correction,"),
             QStringLiteral("dans le fichier quelvard.ini"), QStringLiteral("Bouton QUITTER.")}));
    fermerSaisies();
}

// --- Documentation and quit

void Ajustement::B_doc_Click()
{
    p_.rubriquedoc = QStringLiteral("normal");
    Fenetres::montrer(QStringLiteral("DOC"));
}

void Ajustement::B_finajust_Click() { decharger(); }

}  // namespace kal
