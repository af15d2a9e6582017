#include "platform/controls/controles.h"

#include <QFontMetricsF>

#include "platform/base/ecran.h"
#include "platform/base/erreur.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QSignalBlocker>

namespace kal {

QColor couleurDepuisRvb(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }
int rvbDepuisCouleur(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

// --- Etiquette

namespace {
class LabelCliquable : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()>* clic = nullptr;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QLabel::mouseReleaseEvent(e);
        if (clic && *clic)
            (*clic)();
    }
};
}  // namespace

Etiquette::Etiquette(QWidget* parent) : Controle(new LabelCliquable(parent)), label_(static_cast<QLabel*>(widget()))
{
    static_cast<LabelCliquable*>(label_)->clic = &surClic;
    label_->setAutoFillBackground(false);
}

namespace {
// A caption as shown: CR LF, or a lone CR, starts a new line.
QString lignesAffichees(QString t)
{
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}
}  // namespace

void Bouton::definirLegende(const QString& t)
{
    legende_ = t;
    bouton_->setText(lignesAffichees(t));
}

void Etiquette::definirLegende(const QString& t)
{
    legende_ = t;
    label_->setText(lignesAffichees(t));
    ajusterPolice();
}

void Etiquette::definirAjustement(bool v)
{
    ajuster_ = v;
    ajusterPolice();
}

void Etiquette::ajusterPolice()
{
    if (!ajuster_)
        return;
    QFont police = label_->parentWidget() ? label_->parentWidget()->font() : label_->font();
    const int place = label_->width() - 2;
    const auto tient = [&] { return QFontMetricsF(police).horizontalAdvance(label_->text()) <= place; };
    if (!tient())
        police.setStretch(QFont::SemiCondensed);
    while (!tient() && police.pointSizeF() > 6)
        police.setPointSizeF(police.pointSizeF() - 0.25);
    label_->setFont(police);
}

void Etiquette::definirCouleurFond(int bgr)
{
    fond_ = bgr;
    label_->setAutoFillBackground(true);
    appliquerCouleurs();
}

void Etiquette::definirCouleurTexte(int bgr)
{
    texte_ = bgr;
    appliquerCouleurs();
}

void Etiquette::appliquerCouleurs()
{
    QPalette p = label_->palette();
    p.setColor(QPalette::Window, couleurDepuisRvb(fond_));
    // The chosen text colour while enabled; a disabled label is greyed as any other.
    p.setColor(QPalette::Active, QPalette::WindowText, couleurDepuisRvb(texte_));
    p.setColor(QPalette::Inactive, QPalette::WindowText, couleurDepuisRvb(texte_));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    label_->setPalette(p);
}

// --- Bouton

Bouton::Bouton(QWidget* parent, const QString& legende)
    : Controle(new QPushButton(legende, parent)), bouton_(static_cast<QPushButton*>(widget())), legende_(legende)
{
    QObject::connect(bouton_, &QPushButton::clicked, bouton_, [this] {
        if (surClic)
            surClic();
    });
}

void Bouton::cliquer()
{
    if (bouton_->isEnabled() && surClic)
        surClic();
}

// --- Liste

namespace {
// The list widget under a Liste: it tells which changes of the current row the user made with
// the mouse or the keyboard. Qt also moves the current row by itself (when the list gets the
// focus, for instance); such a move is no click.
class VueListe : public QListWidget {
public:
    explicit VueListe(QWidget* parent) : QListWidget(parent) {}
    bool parUtilisateur() const { return utilisateur_ > 0; }
    // Run once a press or a release is over: a click handler that refilled the list leaves Qt
    // selecting the row under the pointer in the new entries, which the Liste puts right.
    std::function<void()> apresSouris;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        ++utilisateur_;
        QListWidget::mousePressEvent(e);
        --utilisateur_;
        if (apresSouris)
            apresSouris();
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QListWidget::mouseReleaseEvent(e);
        if (apresSouris)
            apresSouris();
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        // Dragging over the entries with the button down picks them as it goes.
        ++utilisateur_;
        QListWidget::mouseMoveEvent(e);
        --utilisateur_;
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        ++utilisateur_;
        QListWidget::keyPressEvent(e);
        --utilisateur_;
    }

private:
    int utilisateur_ = 0;
};
}  // namespace

Liste::Liste(QWidget* parent) : Controle(new VueListe(parent)), liste_(static_cast<QListWidget*>(widget()))
{
    liste_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The entry shown selected is the list's own index, whatever row the pointer pressed.
    static_cast<VueListe*>(liste_)->apresSouris = [this] {
        const QListWidgetItem* it = index_ >= 0 ? liste_->item(index_) : nullptr;
        const bool juste = it ? liste_->currentRow() == index_ && it->isSelected() : liste_->selectedItems().isEmpty();
        if (juste)
            return;
        parCode_ = true;
        if (it)
            liste_->setCurrentRow(index_);
        else
            liste_->clearSelection();
        parCode_ = false;
    };
    QObject::connect(liste_, &QListWidget::currentRowChanged, liste_, [this](int ligne) {
        if (parCode_ || !static_cast<VueListe*>(liste_)->parUtilisateur())
            return;
        // The user picked another entry: the index changes, then the list's click runs.
        index_ = ligne;
        signale_ = true;
        if (surClic)
            surClic();
    });
    QObject::connect(liste_, &QListWidget::itemClicked, liste_, [this](QListWidgetItem* it) {
        const bool dejaSignale = signale_;
        signale_ = false;
        if (dejaSignale)
            return;
        // A click on the entry already selected changes nothing but is a click all the same;
        // a click on the row Qt made current by itself selects it.
        const int ligne = liste_->row(it);
        if (ligne != index_) {
            index_ = ligne;
            parCode_ = true;
            liste_->setCurrentRow(ligne);
            parCode_ = false;
        }
        if (surClic)
            surClic();
    });
}

void Liste::ajouter(const QString& e) { liste_->addItem(e); }

void Liste::vider()
{
    parCode_ = true;
    liste_->clear();
    parCode_ = false;
    index_ = -1;
    // A click handler that refills the list: the release of that click reaches no entry, and
    // the next click, on whatever entry, is a click of its own.
    signale_ = false;
}

QString Liste::entree(int i) const
{
    const QListWidgetItem* it = liste_->item(i);
    return it ? it->text() : QString();
}

void Liste::definirIndex(int i)
{
    if (i < -1 || i >= liste_->count())
        i = -1;
    if (i == index_)
        return;
    index_ = i;
    parCode_ = true;
    liste_->setCurrentRow(i);
    if (i < 0)
        liste_->clearSelection();
    parCode_ = false;
    if (surClic)
        surClic();
}

// --- Curseur

namespace {
// The bar under a Curseur: it takes the keyboard focus when clicked or tabbed to, as a slider
// of the windows does, and tells when it gains or loses it within its window: the window going
// inactive (another window, a popup) leaves the bar its window's focus, and the window coming
// back gives it no new one. The first focus a window gives when it is first shown is a focus
// like any other. With the focus the keys move the value (Qt's own scroll bar turns the arrows
// of a horizontal bar around).
class BarreCurseur : public QScrollBar {
public:
    BarreCurseur(Qt::Orientation o, QWidget* parent) : QScrollBar(o, parent) { setFocusPolicy(Qt::StrongFocus); }
    std::function<void()>* focus = nullptr;
    std::function<void()>* perteFocus = nullptr;

protected:
    // The keys move the value towards Max: right, down, Page Down and End; towards Min: left, up,
    // Page Up and Home (Max may lie below Min).
    void keyPressEvent(QKeyEvent* e) override
    {
        const bool versMaxCroissant = !invertedAppearance();
        auto pas = [&](bool versMax, SliderAction croit, SliderAction decroit) {
            triggerAction(versMax == versMaxCroissant ? croit : decroit);
        };
        switch (e->key()) {
        case Qt::Key_Right:
        case Qt::Key_Down: pas(true, SliderSingleStepAdd, SliderSingleStepSub); break;
        case Qt::Key_Left:
        case Qt::Key_Up: pas(false, SliderSingleStepAdd, SliderSingleStepSub); break;
        case Qt::Key_PageDown: pas(true, SliderPageStepAdd, SliderPageStepSub); break;
        case Qt::Key_PageUp: pas(false, SliderPageStepAdd, SliderPageStepSub); break;
        case Qt::Key_End: pas(true, SliderToMaximum, SliderToMinimum); break;
        case Qt::Key_Home: pas(false, SliderToMaximum, SliderToMinimum); break;
        default: QScrollBar::keyPressEvent(e); return;
        }
        e->accept();
    }
    void focusInEvent(QFocusEvent* e) override
    {
        QScrollBar::focusInEvent(e);
        if (focusDeLaFenetre_)
            return;
        focusDeLaFenetre_ = true;
        if (focus && *focus)
            (*focus)();
    }
    void focusOutEvent(QFocusEvent* e) override
    {
        QScrollBar::focusOutEvent(e);
        if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason)
            return;
        focusDeLaFenetre_ = false;
        if (perteFocus && *perteFocus)
            (*perteFocus)();
    }

private:
    bool focusDeLaFenetre_ = false;
};

[[noreturn]] void refuser(const QString& quoi, int v)
{
    throw Erreur(ctl::ValeurInvalide, QStringLiteral("Valeur de propriété non valide (%1: %2).").arg(quoi).arg(v));
}
}  // namespace

Curseur::Curseur(QWidget* parent, Qt::Orientation o)
    : Controle(new BarreCurseur(o, parent)), barre_(static_cast<QScrollBar*>(widget()))
{
    static_cast<BarreCurseur*>(barre_)->focus = &surFocus;
    static_cast<BarreCurseur*>(barre_)->perteFocus = &surPerteFocus;
    synchroniser();
    QObject::connect(barre_, &QScrollBar::valueChanged, barre_, [this](int v) {
        if (synchro_)
            return;
        // A value from outside the program's code while the slider is disabled (the
        // accessibility interface, as a screen reader sets it) is refused as the mouse is: the
        // bar goes back to the value and no handler runs. Code still sets it through
        // definirValeur, which never comes this way.
        if (!barre_->isEnabled()) {
            synchroniser();
            return;
        }
        if (barre_->isSliderDown()) {
            // While the thumb is dragged only Scroll runs; Change follows at the release.
            valeur_ = v;
            if (surDefilement)
                surDefilement();
            return;
        }
        changerValeur(v);
    });
    QObject::connect(barre_, &QScrollBar::sliderPressed, barre_, [this] { avantGlisse_ = valeur_; });
    QObject::connect(barre_, &QScrollBar::sliderReleased, barre_, [this] {
        if (valeur_ != avantGlisse_ && surChangement)
            surChangement();
    });
}

void Curseur::synchroniser()
{
    synchro_ = true;
    barre_->setRange(std::min(min_, max_), std::max(min_, max_));
    barre_->setInvertedAppearance(min_ > max_);
    barre_->setValue(valeur_);
    synchro_ = false;
}

void Curseur::changerValeur(int v)
{
    if (v == valeur_)
        return;
    valeur_ = v;
    synchroniser();
    if (surChangement)
        surChangement();
}

void Curseur::definirValeur(int v)
{
    if (v < std::min(min_, max_) || v > std::max(min_, max_))
        refuser(QStringLiteral("Value"), v);
    changerValeur(v);
}

void Curseur::definirPetitPas(int v)
{
    if (v < 1 || v > 32767)
        refuser(QStringLiteral("SmallChange"), v);
    barre_->setSingleStep(v);
}

void Curseur::definirGrandPas(int v)
{
    if (v < 1 || v > 32767)
        refuser(QStringLiteral("LargeChange"), v);
    barre_->setPageStep(v);
}

void Curseur::definirMin(int v)
{
    min_ = v;
    tenirDansLesBornes();
}

void Curseur::definirMax(int v)
{
    max_ = v;
    tenirDansLesBornes();
}

// After a bound moved: a value now outside is pulled along (and Change runs), else the bar
// only follows the new range.
void Curseur::tenirDansLesBornes()
{
    const int bas = std::min(min_, max_);
    const int hautBorne = std::max(min_, max_);
    if (valeur_ < bas || valeur_ > hautBorne)
        changerValeur(std::clamp(valeur_, bas, hautBorne));
    else
        synchroniser();
}

// --- CaseACocher

CaseACocher::CaseACocher(QWidget* parent, const QString& legende)
    : Controle(new QCheckBox(legende, parent)), case_(static_cast<QCheckBox*>(widget()))
{
    QObject::connect(case_, &QCheckBox::toggled, case_, [this](bool coche) {
        if (synchro_)
            return;
        valeur_ = coche ? 1 : 0;
        if (surClic)
            surClic();
    });
}

void CaseACocher::definirValeur(int v)
{
    v = v ? 1 : 0;
    if (v == valeur_)
        return;
    valeur_ = v;
    synchro_ = true;
    case_->setChecked(v == 1);
    synchro_ = false;
    if (surClic)
        surClic();
}

// --- BoutonOption

BoutonOption::BoutonOption(QWidget* parent, const QString& legende)
    : Controle(new QRadioButton(legende, parent)), bouton_(static_cast<QRadioButton*>(widget()))
{
    QObject::connect(bouton_, &QRadioButton::toggled, bouton_, [this](bool coche) {
        if (synchro_ || !coche)
            return;
        if (surClic)
            surClic();
    });
}

void BoutonOption::definirValeur(bool v)
{
    if (v == bouton_->isChecked())
        return;
    synchro_ = true;
    bouton_->setChecked(v);
    synchro_ = false;
    if (v && surClic)
        surClic();
}

// --- Cadre

Cadre::Cadre(QWidget* parent, const QString& legende)
    : Controle(new QGroupBox(legende, parent)), boite_(static_cast<QGroupBox*>(widget()))
{
}

// --- BoiteImage

BoiteImage::BoiteImage(QWidget* parent) : Controle(new QFrame(parent)), surface_(static_cast<QFrame*>(widget()))
{
    surface_->setAutoFillBackground(true);
    definirCouleurFond(0xFFFFFF);
}

void BoiteImage::definirCouleurFond(int bgr)
{
    fond_ = bgr;
    QPalette p = surface_->palette();
    p.setColor(QPalette::Window, couleurDepuisRvb(bgr));
    surface_->setPalette(p);
}

}  // namespace kal

namespace kal {

namespace {
QWidget* nouveauTrait(QWidget* surface)
{
    auto* trait = new QFrame(surface);
    trait->setObjectName(QStringLiteral("trait"));
    trait->setFrameStyle(QFrame::NoFrame);
    trait->setAutoFillBackground(true);
    QPalette p = trait->palette();
    p.setColor(QPalette::Window, Qt::black);
    trait->setPalette(p);
    trait->setAttribute(Qt::WA_TransparentForMouseEvents);
    trait->show();
    return trait;
}
}  // namespace

Trait::Trait(QWidget* surface) : Controle(nouveauTrait(surface)), ligne_(widget()) {}

// The line may have gone with its surface already.
Trait::~Trait() { delete ligne_.data(); }

void Trait::placerVertical(int x, int longueur)
{
    // One pixel wide, at least one pixel long.
    placer(x, 0, Ecran::twipsParPixelX(), std::max(Ecran::twipsParPixelY(), longueur));
}

}  // namespace kal
