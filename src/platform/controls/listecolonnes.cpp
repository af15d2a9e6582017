#include "platform/controls/listecolonnes.h"

#include "platform/base/ecran.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>

namespace kal {

namespace {

int boutons(Qt::MouseButtons b)
{
    return (b & Qt::LeftButton ? souris::Gauche : 0) | (b & Qt::RightButton ? souris::Droit : 0)
           | (b & Qt::MiddleButton ? souris::Milieu : 0);
}

int touches(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? souris::Maj : 0) | (m & Qt::ControlModifier ? souris::Ctrl : 0)
           | (m & Qt::AltModifier ? souris::Alt : 0);
}

// The list's border; the inside is the zone it holds.
class CadreColonnes : public QFrame {
public:
    explicit CadreColonnes(QWidget* parent) : QFrame(parent)
    {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
    }
    QWidget* zone = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QFrame::resizeEvent(e);
        if (zone)
            zone->setGeometry(contentsRect());
    }
};

// The inside of the list, as its geometry gives it even before the list is shown.
QRect interieur(const QWidget* cadre) { return static_cast<const QFrame*>(cadre)->contentsRect(); }

}  // namespace

class ZoneColonnes : public QWidget {
public:
    ZoneColonnes(QWidget* parent, ListeColonnes& l) : QWidget(parent), liste_(l)
    {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QPalette& pal = palette();
        for (int k = 0; k < liste_.nombre(); ++k) {
            const QRect r = liste_.rectangle(k);
            if (r.left() >= width())
                break;
            const bool choisi = k == liste_.index_;
            if (choisi)
                p.fillRect(r, pal.color(QPalette::Highlight));
            p.setPen(pal.color(choisi ? QPalette::HighlightedText : QPalette::Text));
            const QRect texte = r.adjusted(2, 0, -1, 0);
            p.drawText(texte, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                       fontMetrics().elidedText(liste_.entrees_[k], Qt::ElideRight, texte.width()));
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (liste_.surDeplacementSouris) {
            const QPoint t = twips(e);
            liste_.surDeplacementSouris(boutons(e->buttons()), touches(e->modifiers()), t.x(), t.y());
        }
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        const QPoint t = twips(e);
        const int k = liste_.indexA(t.x(), t.y());
        if (k >= 0)
            liste_.cliquer(k);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (liste_.surRelachementSouris) {
            const QPoint t = twips(e);
            liste_.surRelachementSouris(boutons(e->button()), touches(e->modifiers()), t.x(), t.y());
        }
    }

private:
    ListeColonnes& liste_;
    static QPoint twips(const QMouseEvent* e)
    {
        const QPointF p = e->position();
        return QPoint(static_cast<int>(std::floor(p.x())) * Ecran::twipsParPixelX(),
                      static_cast<int>(std::floor(p.y())) * Ecran::twipsParPixelY());
    }
};

ListeColonnes::ListeColonnes(QWidget* parent, int colonnes)
    : Controle(new CadreColonnes(parent)), colonnes_(std::max(1, colonnes))
{
    auto* cadre = static_cast<CadreColonnes*>(widget());
    zone_ = new ZoneColonnes(cadre, *this);
    cadre->zone = zone_;
    cadre->setFocusProxy(zone_);
    zone_->setGeometry(cadre->contentsRect());
}

void ListeColonnes::ajouter(const QString& e)
{
    entrees_ << e;
    zone_->update();
}

void ListeColonnes::vider()
{
    entrees_.clear();
    index_ = -1;
    zone_->update();
}

QString ListeColonnes::entree(int i) const { return i >= 0 && i < entrees_.size() ? entrees_[i] : QString(); }

void ListeColonnes::definirIndex(int i)
{
    if (i < -1 || i >= nombre())
        i = -1;
    if (i == index_)
        return;
    index_ = i;
    zone_->update();
    if (surClic)
        surClic();
}

void ListeColonnes::cliquer(int i)
{
    index_ = i;
    zone_->update();
    if (surClic)
        surClic();
}

void ListeColonnes::definirHauteurLigne(int twips)
{
    hauteurLigne_ = std::max(1, twips);
    zone_->update();
}

// In whole pixels, so that the pointer's twips give back the same column and row.
int ListeColonnes::largeurColonne() const
{
    const int largeurTwips = largeur() > 0 ? largeur() : widget()->width() * Ecran::twipsParPixelX();
    return std::max(1, pixelsX(largeurTwips / colonnes_)) * Ecran::twipsParPixelX();
}

int ListeColonnes::lignesParColonne() const
{
    const int lignePx = std::max(1, pixelsY(hauteurLigne_));
    return std::max(1, interieur(widget()).height() / lignePx);
}

int ListeColonnes::indexA(int x, int y) const
{
    if (x < 0 || y < 0)
        return -1;
    const int hauteurTwips = std::max(1, pixelsY(hauteurLigne_)) * Ecran::twipsParPixelY();
    const int colonne = x / largeurColonne();
    const int ligne = y / hauteurTwips;
    const int lignes = lignesParColonne();
    if (ligne >= lignes || x >= interieur(widget()).width() * Ecran::twipsParPixelX())
        return -1;
    const int k = colonne * lignes + ligne;
    return k < nombre() ? k : -1;
}

QRect ListeColonnes::rectangle(int k) const
{
    const int lignes = lignesParColonne();
    const int l = largeurColonne() / Ecran::twipsParPixelX();
    const int h = std::max(1, pixelsY(hauteurLigne_));
    return QRect((k / lignes) * l, (k % lignes) * h, l, h);
}

}  // namespace kal
