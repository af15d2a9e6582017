#include "help/documentation.h"

#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QGuiApplication>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QWindow>

namespace kal {

const QString Documentation::NomManuel = QStringLiteral("kalmorin.rtf");

namespace {

// A walk through the text that reaches its start or its end.
struct BoutDuTexte {};

bool chiffre(const QString& c) { return c.size() == 1 && c[0] >= QLatin1Char('0') && c[0] <= QLatin1Char('9'); }

constexpr int EssaisMax = 100;

}  // namespace

Documentation::Documentation(ReglagesPartages& partage)
    : Fenetre(QStringLiteral("DOC")),
      T_doc(this),
      B_debut(this, QStringLiteral("DEBUT")),
      B_sommaire(this, QStringLiteral("SOMMAIRE")),
      B_retour(this, QStringLiteral("RETOUR")),
      B_fin(this, QStringLiteral("QUITTER")),
      partage_(partage)
{
    setWindowTitle(QStringLiteral("DOCUMENTATION"));
    QFont police(QStringLiteral("MS Sans Serif"));
    police.setPointSizeF(8.25);
    int gauche = 0;
    for (Bouton* b : {&B_debut, &B_sommaire, &B_retour, &B_fin}) {
        b->widget()->setFont(police);
        b->placer(gauche, 0, LargeurBouton, HauteurBouton);
        gauche += LargeurBouton;
    }
    B_retour.definirActif(false);
    T_doc.placer(0, 0, 4 * LargeurBouton, 0);
    // The manual is read, not edited: the caret and the selection stay for the walks.
    T_doc.editeur()->setReadOnly(true);
    T_doc.editeur()->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The scroll bar always takes its place: a bar that comes and goes would change the width
    // the text is laid out at, and move the line brought to the top.
    T_doc.editeur()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    B_debut.surClic = [this] { B_debut_Click(); };
    B_sommaire.surClic = [this] { B_sommaire_Click(); };
    B_retour.surClic = [this] { B_retour_Click(); };
    B_fin.surClic = [this] { B_fin_Click(); };
    T_doc.surClic = [this] { T_doc_Click(); };

    placer(0, 0, 4 * LargeurBouton, 6000);
}

void Documentation::chargement()
{
    placer(0, 0, largeur(), Ecran::hauteurTwips() - 900);
    const int haut = hauteur() - 390 - B_debut.hauteur() - partage_.hauteurtitre;
    for (Bouton* b : {&B_debut, &B_sommaire, &B_retour, &B_fin})
        b->definirHaut(haut);
    T_doc.definirHauteur(B_fin.haut());
}

void Documentation::activation()
{
    const QString dossier = fs::dossierCourant();
    try {
        T_doc.chargertexte(fs::joindre(dossier, NomManuel), 0);
    } catch (const Erreur& e) {
        T_doc.definirContenutexte(QString());
        T_doc.definirVisible(true);
        caretEnHaut();
        if (e.numero() == err::FichierIntrouvable)
            MsgBox(lignesMessage({QStringLiteral("Le manuel ") + NomManuel + QStringLiteral(" est introuvable dans le répertoire"),
                                  dossier}),
                   msg::Exclamation, QStringLiteral("MANUEL ABSENT"));
        else
            MsgBox(lignesMessage({QStringLiteral("Le manuel ") + NomManuel + QStringLiteral(" ne peut pas être lu:"),
                                  fs::joindre(dossier, NomManuel)}),
                   msg::Exclamation, QStringLiteral("MANUEL ILLISIBLE"));
        return;
    }
    caretEnHaut();
    if (partage_.rubriquedoc == QLatin1String("normal")) {
        T_doc.definirSelectiondebut(0);
        T_doc.definirSelectionlongueur(0);
        caretEnHaut();
    } else if (partage_.rubriquedoc == QLatin1String("jaquette")) {
        rechrubrique(QStringLiteral("11."));
    } else if (partage_.rubriquedoc == QLatin1String("util")) {
        rechrubrique(QStringLiteral("13."));
    }
}

// --- walking through the text

QString Documentation::lire(int position, int longueur)
{
    if (position < 0 || position + longueur > texte_.size())
        throw BoutDuTexte{};
    T_doc.definirSelectiondebut(position);
    T_doc.definirSelectionlongueur(longueur);
    return T_doc.selectiontexte();
}

bool Documentation::souligne(int position)
{
    lire(position);
    return T_doc.selsouligne();
}

int Documentation::reculer(int position) const
{
    int p = position - 1;
    if (p < 0)
        throw BoutDuTexte{};
    // A line break is one step: the caret never stands between its CR and its LF.
    if (p > 0 && texte_[p] == QLatin1Char('\n') && texte_[p - 1] == QLatin1Char('\r'))
        --p;
    return p;
}

int Documentation::avancer(int position) const
{
    const int p = position + 1;
    if (p >= texte_.size())
        throw BoutDuTexte{};
    return p;
}

// The search gives up: caret at the start, nothing selected, the box shown.
void Documentation::abandon()
{
    T_doc.definirSelectiondebut(0);
    T_doc.definirSelectionlongueur(0);
    T_doc.definirVisible(true);
    caretEnHaut();
}

// Scrolls the box so that the caret's line is its top line.
void Documentation::caretEnHaut()
{
    QTextEdit* e = T_doc.editeur();
    // The whole text laid out, so that the scroll range lets any line come to the top.
    QTextDocument* doc = e->document();
    doc->documentLayout()->blockBoundingRect(doc->lastBlock());
    QScrollBar* v = e->verticalScrollBar();
    if (T_doc.selectiondebut() == 0) {
        v->setValue(0);
        return;
    }
    // The text's own margin stays above the line, as above the first one.
    v->setValue(v->value() + e->cursorRect().top() - static_cast<int>(doc->documentMargin()));
}

void Documentation::rechrubrique(const QString& rubrique)
{
    texte_ = T_doc.contenutexte();
    const int n = static_cast<int>(texte_.size());
    const int L = static_cast<int>(rubrique.size());
    T_doc.definirSelectiondebut(0);
    if (L == 0) {
        abandon();
        return;
    }
    int essais = 0;
    for (;;) {
        const int s = T_doc.selectiondebut() + L;
        // The next occurrence cannot lie past the end, nor can one be found before the start.
        if (s > n) {
            abandon();
            return;
        }
        T_doc.definirSelectiondebut(s);
        T_doc.definirSelectionlongueur(n - s);
        T_doc.definirVisible(false);
        const int p = static_cast<int>(texte_.indexOf(rubrique, s - 1)) + 1;
        if (p < 2) {
            abandon();
            return;
        }
        T_doc.definirSelectiondebut(p - 2);
        T_doc.definirSelectionlongueur(1);
        const QString avant = T_doc.selectiontexte();
        T_doc.definirSelectiondebut(p);
        T_doc.definirSelectionlongueur(1);
        if (avant != QLatin1String(".") && T_doc.selsouligne())
            break;
        if (++essais == EssaisMax || p >= n) {
            abandon();
            return;
        }
    }
    T_doc.definirVisible(true);
    T_doc.definirSelectionlongueur(0);
    caretEnHaut();
}

bool Documentation::rechexrub()
{
    try {
        rechexrubPas();
        return true;
    } catch (const BoutDuTexte&) {
        abandon();
        return false;
    }
}

void Documentation::rechexrubPas()
{
    texte_ = T_doc.contenutexte();
    // Back to the end of the heading line above the caret, the only underlined text there is.
    int pos = T_doc.selectiondebut();
    while (!souligne(pos))
        pos = reculer(pos);
    // The summary's references record no return point.
    if (lire(pos - 8, 8) == QLatin1String("SOMMAIRE"))
        return;
    // The last digit of the heading number: the title holds none.
    pos = reculer(pos - 8);
    while (!chiffre(lire(pos)))
        pos = reculer(pos);
    // Back over the number, not across a line break.
    int debut = pos;
    while (debut > 0) {
        const int avant = reculer(debut);
        if (avant != debut - 1)
            break;
        const QString c = lire(avant);
        if (!chiffre(c) && c != QLatin1String("."))
            break;
        debut = avant;
    }
    int fin = debut;
    while (lire(fin) != QLatin1String(" "))
        fin = avancer(fin);
    rubriqueretour = texte_.mid(debut, fin - debut);
    B_retour.definirActif(true);
}

// --- handlers

void Documentation::B_debut_Click()
{
    T_doc.definirSelectiondebut(0);
    T_doc.definirSelectionlongueur(0);
    caretEnHaut();
}

void Documentation::B_sommaire_Click() { rechrubrique(QStringLiteral("SOMMAIRE")); }

void Documentation::B_retour_Click()
{
    rechrubrique(rubriqueretour);
    B_retour.definirActif(false);
}

void Documentation::B_fin_Click() { decharger(); }

void Documentation::T_doc_Click()
{
    if (T_doc.selcouleur() != RougeClair)
        return;
    const bool avaitFocus = T_doc.editeur()->hasFocus();
    try {
        texte_ = T_doc.contenutexte();
        // Back from the click to the nearest digit, then over the number to its start.
        int pos = std::min(T_doc.selectiondebut(), static_cast<int>(texte_.size()) - 1);
        while (!chiffre(lire(pos)))
            pos = reculer(pos);
        int debut = pos;
        while (debut > 0) {
            const int avant = reculer(debut);
            const QString c = lire(avant);
            if (!chiffre(c) && c != QLatin1String("."))
                break;
            debut = avant;
        }
        // The reference runs up to the first blank.
        int fin = debut;
        while (lire(fin) != QLatin1String(" "))
            fin = avancer(fin);
        const QString reference = texte_.mid(debut, fin - debut);
        T_doc.definirVisible(false);
        if (rechexrub()) {
            T_doc.definirVisible(true);
            rechrubrique(reference);
        }
    } catch (const BoutDuTexte&) {
        abandon();
    } catch (const Erreur&) {
        abandon();
    }
    if (avaitFocus)
        T_doc.prendrefocus();
}

}  // namespace kal
