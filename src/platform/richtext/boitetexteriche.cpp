#include "platform/richtext/boitetexteriche.h"

#include "platform/base/erreur.h"
#include "platform/controls/controles.h"
#include "platform/richtext/rtf.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

namespace kal {

namespace {

class EditeurTexte : public QTextEdit {
public:
    explicit EditeurTexte(QWidget* parent) : QTextEdit(parent) {}
    BoiteTexteRiche* boite = nullptr;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        // Enter always starts a new paragraph, with the paragraph's format. (The edit widget's
        // own rule turns a first Enter on an empty paragraph of a format of its own, as a loaded
        // file gives, into a return to the default format, inserting nothing.)
        if (e == QKeySequence::InsertParagraphSeparator && !isReadOnly()) {
            QTextCursor c = textCursor();
            c.insertBlock();
            setTextCursor(c);
            ensureCursorVisible();
            e->accept();
            return;
        }
        QTextEdit::keyPressEvent(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override
    {
        QTextEdit::keyReleaseEvent(e);
        if (!e->isAutoRepeat() && boite && boite->surToucheRelachee)
            boite->surToucheRelachee();
    }
    void focusInEvent(QFocusEvent* e) override
    {
        QTextEdit::focusInEvent(e);
        if (e->reason() != Qt::PopupFocusReason && boite && boite->surPriseFocus)
            boite->surPriseFocus();
    }
    void focusOutEvent(QFocusEvent* e) override
    {
        QTextEdit::focusOutEvent(e);
        if (e->reason() != Qt::PopupFocusReason && boite && boite->surPerteFocus)
            boite->surPerteFocus();
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QTextEdit::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton && boite && boite->surClic)
            boite->surClic();
    }
};

bool estSeparateur(QChar c) { return c == QChar::ParagraphSeparator || c == QChar::LineSeparator; }

}  // namespace

BoiteTexteRiche::BoiteTexteRiche(QWidget* parent)
    : Controle(new EditeurTexte(parent)), editeur_(static_cast<QTextEdit*>(widget()))
{
    static_cast<EditeurTexte*>(editeur_)->boite = this;
    // Pasted text takes the typing format: the box holds text, not pictures or tables.
    editeur_->setAcceptRichText(false);
    editeur_->document()->setDefaultFont(policeEcran(Police{}));
    editeur_->setTabStopDistance(720.0 / 15.0);
    garde_ = editeur_;
    connexion_ = QObject::connect(editeur_->document(), &QTextDocument::contentsChange, editeur_, [this](int, int, int) {
        carteAJour_ = false;
        ++version_;
    });
    definirFondtexte(fond_);
    initialiserGeometrie();
}

BoiteTexteRiche::~BoiteTexteRiche()
{
    // The editor may outlive the box (its window deletes it later) or be gone already.
    QObject::disconnect(connexion_);
    if (garde_)
        static_cast<EditeurTexte*>(garde_.data())->boite = nullptr;
}

QTextDocument* BoiteTexteRiche::document() const { return editeur_->document(); }

// --- files

void BoiteTexteRiche::chargertexte(const QString& fichier, int type)
{
    if (type != 0)
        throw Erreur(rtf::err::AppelIncorrect, QStringLiteral("type de fichier"));
    // A long text is laid out once only: with the vertical scroll bar already there, it is not
    // laid out again, narrower, when the bar appears. The bar's own rule is put back after.
    const Qt::ScrollBarPolicy barre = editeur_->verticalScrollBarPolicy();
    if (barre == Qt::ScrollBarAsNeeded)
        editeur_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    try {
        rtf::lireFichier(fichier, *editeur_->document());
    } catch (...) {
        editeur_->setVerticalScrollBarPolicy(barre);
        throw;
    }
    editeur_->setVerticalScrollBarPolicy(barre);
    QTextCursor c(editeur_->document());
    editeur_->setTextCursor(c);
}

void BoiteTexteRiche::sauvertexte(const QString& fichier, int type) const
{
    if (type != 0)
        throw Erreur(rtf::err::AppelIncorrect, QStringLiteral("type de fichier"));
    rtf::ecrireFichier(fichier, *editeur_->document());
}

// --- plain text and positions

void BoiteTexteRiche::carte() const
{
    if (carteAJour_)
        return;
    separateurs_.clear();
    const QString brut = editeur_->document()->toRawText();
    const int n = longueurDocument();
    for (int i = 0; i < n && i < brut.size(); ++i)
        if (estSeparateur(brut[i]))
            separateurs_.push_back(i);
    carteAJour_ = true;
}

int BoiteTexteRiche::longueurDocument() const { return std::max(0, editeur_->document()->characterCount() - 1); }

int BoiteTexteRiche::planDepuisDoc(int d) const
{
    carte();
    const auto avant = std::lower_bound(separateurs_.begin(), separateurs_.end(), d) - separateurs_.begin();
    return d + static_cast<int>(avant);
}

int BoiteTexteRiche::docPlancher(int p) const
{
    int bas = 0, haut = longueurDocument();
    while (bas < haut) {
        const int milieu = (bas + haut + 1) / 2;
        if (planDepuisDoc(milieu) <= p)
            bas = milieu;
        else
            haut = milieu - 1;
    }
    return bas;
}

int BoiteTexteRiche::docPlafond(int p) const
{
    const int d = docPlancher(p);
    return planDepuisDoc(d) < p ? std::min(d + 1, longueurDocument()) : d;
}

QString BoiteTexteRiche::contenutexte() const
{
    if (versionTexte_ == version_)
        return texte_;
    QString brut = editeur_->document()->toRawText().left(longueurDocument());
    QString t;
    t.reserve(brut.size() + 16);
    for (QChar c : brut) {
        if (estSeparateur(c))
            t += QStringLiteral("\r\n");
        else if (c != QChar(0xFDD0) && c != QChar(0xFDD1))
            t += c;
    }
    texte_ = t;
    versionTexte_ = version_;
    return t;
}

void BoiteTexteRiche::definirContenutexte(const QString& texte)
{
    QTextCursor premier(editeur_->document());
    premier.setPosition(longueurDocument() > 0 ? 1 : 0);
    const QTextCharFormat f = premier.charFormat();
    QString t = texte;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor c(editeur_->document());
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    c.setBlockFormat(QTextBlockFormat());
    c.setBlockCharFormat(f);
    c.insertText(t, f);
    c.setPosition(0);
    editeur_->setTextCursor(c);
}

void BoiteTexteRiche::synchroniser() const
{
    const QTextCursor c = editeur_->textCursor();
    if (c.anchor() == ancreSynchro_ && c.position() == positionSynchro_ && versionSynchro_ == version_)
        return;
    const int a = std::min(c.anchor(), c.position());
    const int b = std::max(c.anchor(), c.position());
    debut_ = planDepuisDoc(a);
    longueur_ = planDepuisDoc(b) - debut_;
    ancreSynchro_ = c.anchor();
    positionSynchro_ = c.position();
    versionSynchro_ = version_;
}

int BoiteTexteRiche::selectiondebut() const
{
    synchroniser();
    return debut_;
}

int BoiteTexteRiche::selectionlongueur() const
{
    synchroniser();
    return longueur_;
}

void BoiteTexteRiche::selectionner(int debut, int longueur)
{
    QTextCursor c = editeur_->textCursor();
    const int a = docPlancher(debut);
    const int b = longueur > 0 ? docPlafond(debut + longueur) : a;
    c.setPosition(a);
    if (b != a)
        c.setPosition(b, QTextCursor::KeepAnchor);
    editeur_->setTextCursor(c);
    debut_ = debut;
    longueur_ = longueur;
    ancreSynchro_ = c.anchor();
    positionSynchro_ = c.position();
    versionSynchro_ = version_;
}

void BoiteTexteRiche::definirSelectiondebut(int debut)
{
    const int n = planDepuisDoc(longueurDocument());
    if (debut < 0 || debut > n)
        throw Erreur(rtf::err::AppelIncorrect, QStringLiteral("début de sélection"));
    selectionner(debut, 0);
}

void BoiteTexteRiche::definirSelectionlongueur(int longueur)
{
    if (longueur < 0)
        throw Erreur(rtf::err::AppelIncorrect, QStringLiteral("longueur de sélection"));
    synchroniser();
    const int n = planDepuisDoc(longueurDocument());
    selectionner(debut_, std::min(longueur, n - debut_));
}

QString BoiteTexteRiche::selectiontexte() const
{
    synchroniser();
    if (longueur_ <= 0)
        return {};
    // Read from the document over the selection only: the procedures walk long texts one or
    // two characters at a time.
    const int a = docPlancher(debut_);
    const int b = docPlafond(debut_ + longueur_);
    QTextCursor c(editeur_->document());
    c.setPosition(a);
    c.setPosition(b, QTextCursor::KeepAnchor);
    QString t;
    for (QChar ch : c.selectedText()) {
        if (estSeparateur(ch))
            t += QStringLiteral("\r\n");
        else
            t += ch;
    }
    return t.mid(debut_ - planDepuisDoc(a), longueur_);
}

// --- the selection's font

QTextCharFormat BoiteTexteRiche::formatSelection() const
{
    synchroniser();
    const QTextCursor courant = editeur_->textCursor();
    if (!courant.hasSelection())
        return courant.charFormat();
    const int a = std::min(courant.anchor(), courant.position());
    // A paragraph mark's format is the one the next block starts with.
    const QTextBlock bloc = editeur_->document()->findBlock(a);
    if (bloc.isValid() && a == bloc.position() + bloc.length() - 1 && bloc.next().isValid())
        return bloc.next().charFormat();
    QTextCursor c(editeur_->document());
    c.setPosition(a);
    c.setPosition(a + 1, QTextCursor::KeepAnchor);
    return c.charFormat();
}

void BoiteTexteRiche::appliquer(const QTextCharFormat& f)
{
    synchroniser();
    const quint64 versionAvant = version_;
    QTextCursor c = editeur_->textCursor();
    if (!c.hasSelection()) {
        c.mergeCharFormat(f);
        if (c.block().length() <= 1)
            formatDeBloc(c, f);
    } else {
        if (std::max(c.anchor(), c.position()) >= longueurDocument()) {
            // A selection that reaches the end takes the end mark along: text typed after it
            // gets the same format. The mark goes first, so that the change of the text lays
            // its paragraph out again with the rest: a long paragraph is laid out once.
            QTextCursor fin(editeur_->document());
            fin.movePosition(QTextCursor::End);
            formatDeBloc(fin, f);
        }
        c.mergeCharFormat(f);
    }
    // A format does not move the text: the selection stays as it was set, also when it
    // started between a CR and its LF.
    const bool aJour = c.anchor() == ancreSynchro_ && c.position() == positionSynchro_ && versionSynchro_ == versionAvant;
    editeur_->setTextCursor(c);
    if (aJour)
        versionSynchro_ = version_;
}

void BoiteTexteRiche::formatDeBloc(QTextCursor& c, const QTextCharFormat& f)
{
    // The edit widget's document layout drops the lines of a paragraph whose own format
    // changes, but is told of a change of no length and lays nothing out again: the paragraph
    // would stay blank on the screen (cursor and text included) until something lays the whole
    // document out anew. An empty paragraph's line is laid out again here; one with text is
    // laid out by the change of its text that follows (appliquer).
    QTextCharFormat fusion = c.blockCharFormat();
    fusion.merge(f);
    if (fusion == c.blockCharFormat())
        return;   // nothing changes: the lines stand
    c.mergeBlockCharFormat(f);
    const QTextBlock bloc = c.block();
    if (bloc.length() <= 1)
        editeur_->document()->markContentsDirty(bloc.position(), bloc.length());
}

Police BoiteTexteRiche::policeSelection() const
{
    return policeDuFormat(formatSelection(), editeur_->document()->defaultFont());
}

QString BoiteTexteRiche::selpolice() const { return policeSelection().nom; }
double BoiteTexteRiche::seltaille() const { return policeSelection().taille; }
bool BoiteTexteRiche::selgras() const { return policeSelection().gras; }
bool BoiteTexteRiche::selitalique() const { return policeSelection().italique; }
bool BoiteTexteRiche::selsouligne() const { return policeSelection().souligne; }
bool BoiteTexteRiche::selbarre() const { return policeSelection().barre; }

int BoiteTexteRiche::selcouleur() const
{
    const QColor c = couleurDuFormat(formatSelection());
    return c.isValid() ? rvbDepuisCouleur(c) : 0;
}

void BoiteTexteRiche::definirSelpolice(const QString& nom)
{
    installerSubstitutionsPolices();
    QTextCharFormat f;
    f.setFontFamilies(QStringList{nom});
    appliquer(f);
}

void BoiteTexteRiche::definirSeltaille(double points)
{
    QTextCharFormat f;
    f.setFontPointSize(std::clamp(points, 1.0, 1638.0));
    appliquer(f);
}

void BoiteTexteRiche::definirPoliceSelection(const Police& p, int rvb)
{
    installerSubstitutionsPolices();
    QTextCharFormat f;
    appliquerPolice(f, p);
    f.setForeground(couleurDepuisRvb(rvb));
    appliquer(f);
}

void BoiteTexteRiche::definirSelcouleur(int rvb)
{
    QTextCharFormat f;
    f.setForeground(couleurDepuisRvb(rvb));
    appliquer(f);
}

void BoiteTexteRiche::definirSelgras(bool v)
{
    QTextCharFormat f;
    f.setFontWeight(v ? QFont::Bold : QFont::Normal);
    appliquer(f);
}

void BoiteTexteRiche::definirSelitalique(bool v)
{
    QTextCharFormat f;
    f.setFontItalic(v);
    appliquer(f);
}

void BoiteTexteRiche::definirSelsouligne(bool v)
{
    QTextCharFormat f;
    f.setFontUnderline(v);
    appliquer(f);
}

void BoiteTexteRiche::definirSelbarre(bool v)
{
    QTextCharFormat f;
    f.setFontStrikeOut(v);
    appliquer(f);
}

// --- look and focus

void BoiteTexteRiche::definirFondtexte(int rvb)
{
    fond_ = rvb & 0xFFFFFF;
    QPalette p = editeur_->palette();
    p.setColor(QPalette::Base, couleurDepuisRvb(fond_));
    editeur_->setPalette(p);
}

void BoiteTexteRiche::definirLargeurtexte(int twips)
{
    largeurTexte_ = std::max(0, twips);
    if (largeurTexte_ == 0) {
        editeur_->setLineWrapMode(QTextEdit::WidgetWidth);
    } else {
        editeur_->setLineWrapMode(QTextEdit::FixedPixelWidth);
        editeur_->setLineWrapColumnOrWidth(std::max(1, pixelsX(largeurTexte_)));
    }
}

void BoiteTexteRiche::prendrefocus() { editeur_->setFocus(Qt::OtherFocusReason); }

}  // namespace kal
