#include "platform/imaging/controleimage.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/controls/controles.h"
#include "platform/imaging/codecs/fichiersimage.h"
#include "platform/imaging/pixels.h"
#include "platform/richtext/mesuretexte.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace kal {

namespace {

constexpr int AppelInvalide = 5;      // invalid argument
constexpr int MemoireInsuffisante = 7; // picture too large to hold
constexpr qint64 PixelsMax = qint64(1) << 28;

std::optional<QCursor>& pointeurPersonnalise()
{
    static std::optional<QCursor> c;
    return c;
}

QRgb rgb(int bgr) { return couleurDepuisRvb(bgr).rgb(); }

QSize tailleDemandee(double largeur, double hauteur)
{
    if (!std::isfinite(largeur) || !std::isfinite(hauteur))
        throw Erreur(AppelInvalide, QStringLiteral("Taille d'image invalide"));
    // Nearest whole pixel, a half to the even neighbour.
    const double l = std::max(1.0, std::nearbyint(largeur)), h = std::max(1.0, std::nearbyint(hauteur));
    if (l * h > double(PixelsMax) || l > 65535 || h > 65535)
        throw Erreur(MemoireInsuffisante, QStringLiteral("Image trop grande: %1 x %2 pixels").arg(l).arg(h));
    return {static_cast<int>(l), static_cast<int>(h)};
}

}  // namespace

static int masque(Qt::MouseButtons b)
{
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

// The widget: it paints what the control shows and hands the mouse to the control.
class ControleImage::Vue : public QWidget {
public:
    Vue(ControleImage* c, QWidget* parent) : QWidget(parent), c_(c)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        c_->peindre(p);
    }
    void mousePressEvent(QMouseEvent* e) override { c_->evenementSouris(e, c_->surSourisEnfoncee, masque(e->button())); }
    void mouseMoveEvent(QMouseEvent* e) override { c_->evenementSouris(e, c_->surSourisDeplacee, masque(e->buttons())); }
    void mouseReleaseEvent(QMouseEvent* e) override { c_->evenementSouris(e, c_->surSourisRelachee, masque(e->button())); }
    void wheelEvent(QWheelEvent* e) override { c_->molette(e); }
    void resizeEvent(QResizeEvent* e) override
    {
        QWidget::resizeEvent(e);
        c_->cache_ = {};
    }

private:
    ControleImage* c_;
};

QWidget* ControleImage::creerVue(ControleImage* c, QWidget* parent) { return new Vue(c, parent); }

ControleImage::ControleImage(QWidget* parent) : Controle(creerVue(this, parent)), vue_(widget()) {}

ControleImage::~ControleImage() { delete vue_.data(); }

// --- units

double ControleImage::unitesX() const { return mode_ == modeechelle::Pixels ? 1.0 : Ecran::twipsParPixelX(); }
double ControleImage::unitesY() const { return mode_ == modeechelle::Pixels ? 1.0 : Ecran::twipsParPixelY(); }
double ControleImage::unitesImageX() const { return unitesX(); }
double ControleImage::unitesImageY() const { return unitesY(); }

void ControleImage::definirModeechelle(int mode)
{
    mode_ = mode == modeechelle::Pixels ? modeechelle::Pixels : modeechelle::Twips;
}

double ControleImage::largeurechelle() const { return widget()->width() * unitesX(); }
double ControleImage::hauteurechelle() const { return widget()->height() * unitesY(); }

double ControleImage::largeurbitmap() const { return photo_.largeur() * unitesImageX(); }
double ControleImage::hauteurbitmap() const { return photo_.hauteur() * unitesImageY(); }

qint64 ControleImage::tailleimage() const
{
    return qint64(photo_.largeur()) * photo_.hauteur() * std::max(1, photo_.bitsParPixel()) / 8;
}

// Judged on the display copy: whether a picture has colour shows at any scale, and a preview
// must not decode the whole file to say so.
int ControleImage::niveaugris() const { return !photo_.estVide() && image::sansCouleur(photo_.apercu()) ? 1 : 0; }

// --- rectangles

QRectF ControleImage::sourcePixels() const
{
    const QRectF entiere(0, 0, photo_.largeur(), photo_.hauteur());
    return source_.isEmpty() ? entiere : (source_ & entiere);
}

QRectF ControleImage::rectVuePixels() const
{
    if (defilement_ && !photo_.estVide()) {
        const QRectF s = sourcePixels();
        return QRectF(-decalage_, s.size() * (zoom_ / 100.0));
    }
    return QRectF(0, 0, widget()->width(), widget()->height());
}

QRectF ControleImage::selPixels() const { return sel_ ? *sel_ : QRectF(0, 0, widget()->width(), widget()->height()); }

double ControleImage::gauchevue() const { return rectVuePixels().x() * unitesX(); }
double ControleImage::hautvue() const { return rectVuePixels().y() * unitesY(); }
double ControleImage::largeurvue() const { return rectVuePixels().width() * unitesX(); }
double ControleImage::hauteurvue() const { return rectVuePixels().height() * unitesY(); }
double ControleImage::gauchesel() const { return selPixels().x() * unitesX(); }
double ControleImage::hautsel() const { return selPixels().y() * unitesY(); }
double ControleImage::largeursel() const { return selPixels().width() * unitesX(); }
double ControleImage::hauteursel() const { return selPixels().height() * unitesY(); }

void ControleImage::rectsource(double g, double h, double l, double ht)
{
    // Control coordinates over the whole picture stretched into the control: (0, 0, largeurechelle,
    // hauteurechelle) is the whole picture, whatever the picture's own size.
    const double kx = widget()->width() > 0 ? double(photo_.largeur()) / widget()->width() : 1.0;
    const double ky = widget()->height() > 0 ? double(photo_.hauteur()) / widget()->height() : 1.0;
    source_ = QRectF(g / unitesX() * kx, h / unitesY() * ky, l / unitesX() * kx, ht / unitesY() * ky).normalized();
}

void ControleImage::rectaffichage(double g, double h, double l, double ht)
{
    sel_ = QRectF(g / unitesX(), h / unitesY(), l / unitesX(), ht / unitesY());
}

QPointF ControleImage::versImage(double x, double y) const
{
    const QRectF v = rectVuePixels(), s = sourcePixels();
    const double wx = x / unitesX(), wy = y / unitesY();
    if (v.width() <= 0 || v.height() <= 0)
        return {wx, wy};
    return {s.x() + (wx - v.x()) * s.width() / v.width(), s.y() + (wy - v.y()) * s.height() / v.height()};
}

double ControleImage::epaisseurTrait() const
{
    const QRectF v = rectVuePixels(), s = sourcePixels();
    if (v.width() <= 0 || s.width() <= 0)
        return 1.0;
    return std::max(1.0, s.width() / v.width());
}

void ControleImage::changerPhoto(const image::Photo& p)
{
    if (p.taille() != photo_.taille()) {
        source_ = QRectF();
        sel_.reset();
        region_ = QRect();
        decalage_ = QPointF();
    }
    photo_ = p;
    cache_ = {};  // nothing of the old picture stays held by the display
    // What the control shows changed: it is painted again, even where its place and size stay.
    widget()->update();
}

void ControleImage::definirBitmap(const image::Photo& p) { changerPhoto(p); }

// --- files

namespace {

// A JPEG reduced by DCT scaling to at least `cible`, then resampled to it.
QImage reduiteJpeg(const QByteArray& donnees, QSize cible) { return image::lireDonneesReduites(donnees, cible); }

image::Photo photoDuFichier(const QString& chemin)
{
    // The file is read once. A JPEG larger than the display copy is decoded at the display's
    // scale only (on every core when it has restart markers); its bytes are kept, and its full
    // resolution is decoded from them when a file, a print or a pixel needs it. Every other
    // picture is decoded whole. Any damage is found here: the reduced decode reads all the data.
    const QByteArray donnees = image::lireOctets(chemin);
    const image::InfoFichier info = image::lireInfoDonnees(donnees);
    const int bits = info.bitsParPixel > 0 && info.bitsParPixel <= 8 ? 8 : 24;
    const QSize taille(info.largeur, info.hauteur);
    const QSize cible = image::Photo::tailleApercu(taille);
    if (info.codeformat == image::code::JPEG && cible != taille) {
        const QImage apercu = reduiteJpeg(donnees, cible);
        return image::Photo::differee(
            taille, bits, apercu, [donnees] { return image::lireDonnees(donnees); },
            [donnees](QSize t) { return reduiteJpeg(donnees, t); });
    }
    image::InfoFichier lue;
    const QImage img = image::lireDonnees(donnees, &lue);
    return image::Photo(img, lue.bitsParPixel > 0 && lue.bitsParPixel <= 8 ? 8 : 24);
}

}  // namespace

void ControleImage::lirefichier(const QString& chemin, int, int, int)
{
    changerPhoto(photoDuFichier(chemin));
    source_ = QRectF();
    sel_.reset();
    tailleFichier_ = QFileInfo(chemin).size();
}

void ControleImage::ecrirefichier(const QString& chemin, int codeformat, int bits, int qualite, int)
{
    if (photo_.estVide())
        throw Erreur(image::err::EcritureImpossible, QStringLiteral("Aucune image à écrire dans %1").arg(chemin));
    image::ecrireFichier(photo_.pleine(), chemin, codeformat, bits, qualite);
    tailleFichier_ = QFileInfo(chemin).size();
}

void ControleImage::ecrirevignette(const QString& chemin, int codeformat, int bits, int qualite, double largeurVignette,
                                   double hauteurVignette, int)
{
    if (photo_.estVide())
        throw Erreur(image::err::EcritureImpossible, QStringLiteral("Aucune image à écrire dans %1").arg(chemin));
    const QSize t = tailleDemandee(arrondi(largeurVignette), arrondi(hauteurVignette));
    const QImage vignette = image::reechantillonner(photo_.pleine(), t.width(), t.height());
    image::ecrireVignette(photo_.pleine(), chemin, codeformat, bits, qualite, vignette);
    tailleFichier_ = QFileInfo(chemin).size();
}

void ControleImage::lirevignette(const QString& chemin)
{
    changerPhoto(image::Photo(image::lireVignette(chemin), 24));
}

// --- adjustments and geometry

void ControleImage::contraste(int v) { changerPhoto(photo_.regle({.contraste = v})); }
void ControleImage::intensite(int v) { changerPhoto(photo_.regle({.intensite = v})); }
void ControleImage::nettete(int v) { changerPhoto(photo_.regle({.nettete = v})); }
void ControleImage::teinte(int v) { changerPhoto(photo_.regle({.teinte = v})); }
void ControleImage::saturation(int v) { changerPhoto(photo_.regle({.saturation = v})); }

void ControleImage::rotation(int centiemes, int, int couleur) { changerPhoto(photo_.tourne(centiemes, rgb(couleur))); }

void ControleImage::rogner(double g, double h, double l, double ht)
{
    if (photo_.estVide())
        return;
    const double ux = unitesImageX(), uy = unitesImageY();
    const QRectF r = QRectF(g / ux, h / uy, l / ux, ht / uy).normalized();
    const QRect z(QPoint(arrondi(r.left()), arrondi(r.top())), QPoint(arrondi(r.right()) - 1, arrondi(r.bottom()) - 1));
    changerPhoto(photo_.rogne(z));
}

void ControleImage::redimensionner(double largeur, double hauteur, int)
{
    const QSize t = tailleDemandee(largeur, hauteur);
    changerPhoto(photo_.redimensionne(t.width(), t.height()));
}

void ControleImage::creerbitmap(double largeur, double hauteur, int bits)
{
    const QSize t = tailleDemandee(largeur, hauteur);
    QImage img(t, QImage::Format_RGB32);
    if (img.isNull())
        throw Erreur(MemoireInsuffisante, QStringLiteral("Image trop grande: %1 x %2 pixels").arg(t.width()).arg(t.height()));
    img.fill(rgb(couleurFond_));
    changerPhoto(image::Photo(img, bits <= 8 ? 8 : 24));
    source_ = QRectF();
    sel_.reset();
}

void ControleImage::remplir(int couleur) { changerPhoto(photo_.remplie(rgb(couleur))); }

void ControleImage::definirEchelletexte(double e)
{
    if (!(e > 0) || !std::isfinite(e) || e > 1)
        throw Erreur(AppelInvalide, QStringLiteral("Échelle de texte invalide"));
    echelleTexte_ = e;
}

double ControleImage::echelleTexte(double largeur, double hauteur)
{
    const double l = std::max(1.0, largeur), h = std::max(1.0, hauteur);
    if (!std::isfinite(l * h))
        return 1.0;
    // Within the pixel cap and within the longest side a picture file takes (65535).
    const double cote = 65535.0 / std::max(l, h);
    if (l * h <= double(PixelsTexteMax) && cote >= 1)
        return 1.0;
    // A little under the exact value, so that the rounded sides stay within both.
    return std::min(std::sqrt(double(PixelsTexteMax) / (l * h)), cote) * 0.999;
}

void ControleImage::dessinertexte(const QString& texte, int)
{
    if (photo_.estVide())
        return;
    QImage img = photo_.pleine();
    const QRect rect(QPoint(arrondi(textegauche), arrondi(textehaut)),
                     QSize(std::max(0, arrondi(textelargeur)), std::max(0, arrondi(textehauteur))));
    std::optional<QColor> fond;
    if (optionDessin_)
        fond = couleurDepuisRvb(couleurDessin_);
    const QColor couleur = couleurDepuisRvb(reglageTexte_);
    // Drawn in bands of rows side by side, each band a view of the same pixels.
    uchar* pixels = img.bits();
    const qsizetype ligne = img.bytesPerLine();
    const int largeur = img.width();
    const QImage::Format format = img.format();
    // Bands of fewer than a few lines draw the same glyphs twice over: a small picture is one band.
    const int grain = qint64(largeur) * img.height() < 4'000'000 ? img.height() : 512;
    image::enParallele(img.height(), grain, [&](int debut, int fin) {
        QImage bande(pixels + debut * ligne, largeur, fin - debut, ligne, format);
        kal::dessinertexte(bande, texte, policeimage, couleur, rect, fond, echelleTexte_, debut);
    });
    changerPhoto(image::Photo(img, photo_.bitsParPixel()));
}

QRgb ControleImage::couleurTrait() const { return rgb(couleurMiniat_.value_or(couleurDessin_)); }

void ControleImage::tracercadre(double g, double h, double l, double ht)
{
    if (photo_.estVide())
        return;
    const QPointF a = versImage(g, h), b = versImage(g + l, h + ht);
    changerPhoto(photo_.cadre(QRectF(a, b).normalized(), epaisseurTrait(), couleurTrait()));
}

void ControleImage::tracertrait(double x1, double y1, double x2, double y2)
{
    if (photo_.estVide())
        return;
    changerPhoto(photo_.trait(versImage(x1, y1), versImage(x2, y2), epaisseurTrait(), couleurTrait()));
}

void ControleImage::rendudc(QPainter& peintre, double g, double h, double l, double ht) const
{
    if (photo_.estVide() || l == 0 || ht == 0)
        return;
    const QRectF cible = QRectF(g, h, l, ht).normalized();
    const QRectF appareil = peintre.combinedTransform().mapRect(cible);
    const int tl = std::max(1, static_cast<int>(std::lround(appareil.width())));
    const int th = std::max(1, static_cast<int>(std::lround(appareil.height())));
    QImage img = photo_.pleine();
    // Reduced to the device's own pixels by our filter; enlarged by the painter's smooth scaling.
    if (tl <= img.width() && th <= img.height())
        img = image::reechantillonner(img, tl, th);
    peintre.save();
    peintre.setRenderHint(QPainter::SmoothPixmapTransform, true);
    peintre.drawImage(cible, img);
    peintre.restore();
}

void ControleImage::definirCouleurFond(int c)
{
    couleurFond_ = c;
    widget()->update();
}

// --- mouse

void ControleImage::definirPointeurPersonnalise(const QCursor& c) { pointeurPersonnalise() = c; }

void ControleImage::definirPointeur(int code)
{
    pointeur_ = code;
    if (code == pointeur::Personnalise && pointeurPersonnalise())
        widget()->setCursor(*pointeurPersonnalise());
    else if (code == pointeur::Personnalise)
        widget()->setCursor(Qt::ArrowCursor);
    else
        widget()->setCursor(curseurPour(code));
}

void ControleImage::definirTraceelastique(bool b)
{
    elastique_ = b;
    widget()->update();
}

void ControleImage::rectelastique(double g, double h, double l, double ht)
{
    rectElastique_ = QRectF(g / unitesX(), h / unitesY(), l / unitesX(), ht / unitesY()).normalized();
    widget()->update();
}

void ControleImage::evenementSouris(QMouseEvent* e, const std::function<void(int, int, double, double)>& f, int boutons)
{
    if (!f)
        return;
    int shift = 0;
    if (e->modifiers() & Qt::ShiftModifier) shift |= 1;
    if (e->modifiers() & Qt::ControlModifier) shift |= 2;
    if (e->modifiers() & Qt::AltModifier) shift |= 4;
    f(boutons, shift, e->position().x() * unitesX(), e->position().y() * unitesY());
}

void ControleImage::molette(QWheelEvent* e)
{
    if (!defilement_ || photo_.estVide()) {
        e->ignore();
        return;
    }
    const QRectF v = rectVuePixels();
    const double pas = -e->angleDelta().y() / 120.0 * 40.0;
    if (e->modifiers() & Qt::ShiftModifier)
        decalage_.setX(std::clamp(decalage_.x() + pas, 0.0, std::max(0.0, v.width() - widget()->width())));
    else
        decalage_.setY(std::clamp(decalage_.y() + pas, 0.0, std::max(0.0, v.height() - widget()->height())));
    widget()->update();
}

// --- display

void ControleImage::definirGammaaffichage(double g) { gamma_ = g; }

void ControleImage::repeindre() { widget()->update(); }

void ControleImage::definirBordure(int b)
{
    bordure_ = b;
    widget()->update();
}

double ControleImage::zoom() const
{
    if (defilement_ || photo_.estVide())
        return zoom_;
    const QRectF s = sourcePixels();
    return s.width() > 0 ? 100.0 * widget()->width() / s.width() : 100.0;
}

void ControleImage::definirZoom(double z)
{
    if (std::isfinite(z) && z > 0)
        zoom_ = z;
    widget()->update();
}

void ControleImage::definirDefilement(bool b)
{
    defilement_ = b;
    decalage_ = QPointF();
    widget()->update();
}

void ControleImage::regionrect(double g, double h, double l, double ht, int)
{
    const QRectF r = QRectF(g / unitesImageX(), h / unitesImageY(), l / unitesImageX(), ht / unitesImageY()).normalized();
    region_ = QRect(QPoint(arrondi(r.left()), arrondi(r.top())), QPoint(arrondi(r.right()) - 1, arrondi(r.bottom()) - 1));
    widget()->update();
}

void ControleImage::definirCadreregion(int v)
{
    cadreRegion_ = v;
    widget()->update();
}

void ControleImage::supprimerregion()
{
    region_ = QRect();
    cadreRegion_ = 0;
    widget()->update();
}

void ControleImage::yeuxrouges(int couleur, int seuil, int force)
{
    if (photo_.estVide() || region_.isEmpty())
        return;
    changerPhoto(photo_.yeuxRouges(region_, rgb(couleur), seuil, force));
}

// --- scanning

int ControleImage::acquerir(QWidget* fenetre)
{
    QImage page;
    const int r = scan_.acquerir(fenetre, page);
    if (r == 0) {
        // A new picture, shown whole as a file read is.
        changerPhoto(image::Photo(page, 24));
        source_ = QRectF();
        sel_.reset();
    }
    return r;
}

void ControleImage::peindre(QPainter& p)
{
    const QRect rect = widget()->rect();
    p.fillRect(rect, couleurDepuisRvb(couleurFond_));
    if (!photo_.estVide()) {
        const QRectF v = rectVuePixels(), s = sourcePixels();
        const QRect visible = (v & selPixels() & QRectF(rect)).toAlignedRect() & rect;
        if (!visible.isEmpty() && v.width() > 0 && v.height() > 0 && s.width() > 0 && s.height() > 0) {
            const double sx = s.width() / v.width(), sy = s.height() / v.height();
            const QRectF sv(s.x() + (visible.x() - v.x()) * sx, s.y() + (visible.y() - v.y()) * sy, visible.width() * sx,
                            visible.height() * sy);
            if (!cache_.photo.memeEtat(photo_) || cache_.cible != visible || cache_.source != sv || cache_.gamma != gamma_) {
                // The display copy serves as long as it has at least one pixel for each screen pixel.
                const double e = photo_.echelleApercu();
                const bool apercu = e >= 1.0 || e * 1.001 >= std::min(1.0, 1.0 / std::min(sx, sy));
                const QImage base = apercu ? photo_.apercu() : photo_.pleine();
                const double k = apercu ? e : 1.0;
                const QRect r = QRectF(sv.x() * k, sv.y() * k, sv.width() * k, sv.height() * k).toAlignedRect() & base.rect();
                QImage morceau = image::reechantillonner(r == base.rect() ? base : base.copy(r), visible.width(), visible.height());
                cache_ = {photo_, visible, sv, gamma_, image::appliquerGamma(morceau, gamma_)};
            }
            p.drawImage(visible.topLeft(), cache_.image);
        }
    }
    if (bordure_ == 1) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect.adjusted(0, 0, -1, -1));
    }
    if (elastique_ && !rectElastique_.isEmpty()) {
        // Black dashes on a white line: the band shows on dark and light pictures alike.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(rectElastique_);
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(rectElastique_);
    }
    if (cadreRegion_ == 1 && !region_.isEmpty()) {
        const QRectF v = rectVuePixels(), s = sourcePixels();
        if (s.width() > 0 && s.height() > 0) {
            const double kx = v.width() / s.width(), ky = v.height() / s.height();
            const QRectF z(v.x() + (region_.x() - s.x()) * kx, v.y() + (region_.y() - s.y()) * ky, region_.width() * kx,
                           region_.height() * ky);
            p.setPen(QPen(Qt::white, 1, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(z);
        }
    }
}

}  // namespace kal
