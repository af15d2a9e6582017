#include "platform/controls/controles.h"

#include "platform/base/ecran.h"

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

void Etiquette::definirLegende(const QString& t)
{
    QString s = t;
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    label_->setText(s);
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
    p.setColor(QPalette::WindowText, couleurDepuisRvb(texte_));
    label_->setPalette(p);
}

// --- Bouton

Bouton::Bouton(QWidget* parent, const QString& legende)
    : Controle(new QPushButton(legende, parent)), bouton_(static_cast<QPushButton*>(widget()))
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

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        ++utilisateur_;
        QListWidget::mousePressEvent(e);
        --utilisateur_;
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

Curseur::Curseur(QWidget* parent, Qt::Orientation o)
    : Controle(new QScrollBar(o, parent)), barre_(static_cast<QScrollBar*>(widget()))
{
    synchroniser();
    QObject::connect(barre_, &QScrollBar::valueChanged, barre_, [this](int v) {
        if (synchro_)
            return;
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
    const int bas = std::min(min_, max_);
    const int hautBorne = std::max(min_, max_);
    v = std::clamp(v, bas, hautBorne);
    changerValeur(v);
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
