#include "platform/imaging/photo.h"

#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

namespace kal::image {

struct Operation {
    enum class Genre { Reglage, Rotation, Rogner, Redim, Remplir, Cadre, Trait, YeuxRouges };
    Genre genre = Genre::Reglage;
    Reglages reglages;
    int centiemes = 0;
    QRgb couleur = 0;
    QRect zone;
    QSize taille;
    QRectF rect;
    QPointF a, b;
    double epaisseur = 1;
    int seuil = 0, force = 0;
};

// How a picture decoded on demand is rendered: its full resolution, and its display copy.
struct Source {
    std::function<QImage()> pleine;
    std::function<QImage(QSize)> reduite;
};

struct Noeud {
    std::shared_ptr<Noeud> parent;  // null once both renderings are kept (and for the first state)
    Operation op;
    QSize taille;
    int bits = 24;
    QImage pleine;
    QImage apercu;
    bool apercuExact = false;  // the display copy was rendered at full size all the way: it is the full picture
    std::shared_ptr<const Source> source;  // the first state of a picture decoded when asked
    std::atomic<int> detenteurs{0};         // Photo handles on this state
};

namespace {

int limite = 1600;

QSize ajustee(QSize t, int max)
{
    if (t.width() <= max && t.height() <= max)
        return t;
    return t.scaled(max, max, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// Position of each adjustment in a pass: contrast, colour, intensity, sharpness, saturation.
std::vector<int> rangs(const Reglages& r)
{
    std::vector<int> v;
    if (r.contraste) v.push_back(0);
    if (r.teinte) v.push_back(1);
    if (r.intensite) v.push_back(2);
    if (r.nettete) v.push_back(3);
    if (r.saturation) v.push_back(4);
    return v;
}

// Whether b can run in the same pass after a (every stage of b comes after every stage of a).
bool fusionnable(const Reglages& a, const Reglages& b)
{
    const auto ra = rangs(a), rb = rangs(b);
    return ra.empty() || rb.empty() || rb.front() > ra.back();
}

Reglages fusion(Reglages a, const Reglages& b)
{
    if (b.contraste) a.contraste = b.contraste;
    if (b.teinte) a.teinte = b.teinte;
    if (b.intensite) a.intensite = b.intensite;
    if (b.nettete) a.nettete = b.nettete;
    if (b.saturation) a.saturation = b.saturation;
    return a;
}

QRect zoneEchelle(const QRect& z, double sx, double sy, const QRect& limites)
{
    if (sx == 1.0 && sy == 1.0)
        return z & limites;
    const int g = static_cast<int>(std::floor(z.x() * sx)), h = static_cast<int>(std::floor(z.y() * sy));
    const int d = static_cast<int>(std::ceil((z.x() + z.width()) * sx)), b = static_cast<int>(std::ceil((z.y() + z.height()) * sy));
    return QRect(QPoint(g, h), QPoint(std::max(g, d - 1), std::max(h, b - 1))) & limites;
}

// A copy of part of a picture, in memory that goes back to the system when freed.
QImage copie(const QImage& source, const QRect& zone)
{
    const QImage src = enRgb32(source);
    const QRect z = zone & src.rect();
    QImage r = nouvelleImage(std::max(1, z.width()), std::max(1, z.height()));
    for (int y = 0; y < z.height(); ++y)
        std::memcpy(r.scanLine(y), src.constScanLine(z.y() + y) + 4 * z.x(), size_t(z.width()) * 4);
    return r;
}

// One operation on a rendering whose scale against the full picture is (sx, sy); cible is the
// size the result must have (the full size, or the display copy's).
QImage rendre(const QImage& img, const Operation& op, double sx, double sy, QSize cible)
{
    using G = Operation::Genre;
    switch (op.genre) {
    case G::Reglage:
        return appliquerReglages(img, op.reglages);
    case G::Rotation:
        // The display copy keeps the size its own turn gives (within a pixel of the scaled size).
        return tourner(img, op.centiemes, op.couleur);
    case G::Rogner: {
        QRect z = zoneEchelle(op.zone, sx, sy, img.rect());
        if (z.isEmpty())
            z = img.rect();
        return copie(img, z);
    }
    case G::Redim:
        return reechantillonner(img, cible.width(), cible.height());
    case G::Remplir: {
        QImage r = nouvelleImage(img.width(), img.height());
        r.fill(0xFF000000u | op.couleur);
        return r;
    }
    case G::Cadre: {
        QImage r = copie(img, img.rect());
        const QRectF z(op.rect.x() * sx, op.rect.y() * sy, op.rect.width() * sx, op.rect.height() * sy);
        const int e = std::max(1, static_cast<int>(std::lround(op.epaisseur * std::min(sx, sy))));
        const QRect ze = QRect(QPoint(static_cast<int>(std::floor(z.left())), static_cast<int>(std::floor(z.top()))),
                               QPoint(static_cast<int>(std::ceil(z.right())) - 1, static_cast<int>(std::ceil(z.bottom())) - 1))
                             .normalized();
        QPainter p(&r);
        const QColor c = QColor::fromRgb(op.couleur);
        p.fillRect(QRect(ze.left(), ze.top(), ze.width(), e), c);
        p.fillRect(QRect(ze.left(), ze.bottom() - e + 1, ze.width(), e), c);
        p.fillRect(QRect(ze.left(), ze.top(), e, ze.height()), c);
        p.fillRect(QRect(ze.right() - e + 1, ze.top(), e, ze.height()), c);
        return r;
    }
    case G::Trait: {
        QImage r = copie(img, img.rect());
        QPainter p(&r);
        QPen stylo(QColor::fromRgb(op.couleur));
        stylo.setWidthF(std::max(1.0, op.epaisseur * std::min(sx, sy)));
        stylo.setCapStyle(Qt::FlatCap);
        p.setPen(stylo);
        p.drawLine(QPointF(op.a.x() * sx, op.a.y() * sy), QPointF(op.b.x() * sx, op.b.y() * sy));
        return r;
    }
    case G::YeuxRouges: {
        QImage r = copie(img, img.rect());
        corrigerYeuxRouges(r, zoneEchelle(op.zone, sx, sy, r.rect()), op.couleur, op.seuil, op.force);
        return r;
    }
    }
    return img;
}

QSize tailleApres(QSize avant, const Operation& op)
{
    using G = Operation::Genre;
    switch (op.genre) {
    case G::Rotation: return tailleTournee(avant, op.centiemes);
    case G::Rogner: {
        const QRect z = op.zone & QRect(QPoint(0, 0), avant);
        return z.isEmpty() ? avant : z.size();
    }
    case G::Redim: return op.taille;
    default: return avant;
    }
}

void assurerApercu(const std::shared_ptr<Noeud>& n);

QImage calculerApercu(const std::shared_ptr<Noeud>& n)
{
    if (!n->parent && n->pleine.isNull() && n->source) {
        const QSize t = ajustee(n->taille, limite);
        n->apercuExact = false;
        return enRgb32(n->source->reduite(t));
    }
    if (!n->parent) {
        const QSize t = ajustee(n->taille, limite);
        n->apercuExact = t == n->pleine.size();
        return n->apercuExact ? enRgb32(n->pleine) : reechantillonner(n->pleine, t.width(), t.height());
    }
    assurerApercu(n->parent);
    const QImage& pa = n->parent->apercu;
    const double sx = double(pa.width()) / n->parent->taille.width(), sy = double(pa.height()) / n->parent->taille.height();
    // The display copy of the result: the result's own size when the source copy was the full
    // picture, otherwise the result at the source copy's scale, at most the proxy limit.
    QSize cible;
    if (pa.size() == n->parent->taille)
        cible = n->taille;
    else
        cible = QSize(std::max(1, static_cast<int>(std::lround(n->taille.width() * sx))),
                      std::max(1, static_cast<int>(std::lround(n->taille.height() * sy))));
    if (n->op.genre == Operation::Genre::Redim)
        cible = ajustee(n->taille, limite);
    QImage r = rendre(pa, n->op, sx, sy, cible);
    n->apercuExact = n->parent->apercuExact && r.size() == n->taille;
    // A state nobody holds any more keeps no display copy once the states on it have theirs.
    if (n->parent->detenteurs.load() == 0)
        n->parent->apercu = QImage();
    return r;
}

void assurerApercu(const std::shared_ptr<Noeud>& n)
{
    if (!n->apercu.isNull())
        return;
    // Walk down from the nearest state that has its copy, so that a long chain needs no deep recursion.
    std::vector<std::shared_ptr<Noeud>> chaine;
    for (auto m = n; m && m->apercu.isNull(); m = m->parent)
        chaine.push_back(m);
    for (auto it = chaine.rbegin(); it != chaine.rend(); ++it)
        (*it)->apercu = calculerApercu(*it);
}

void assurerPleine(const std::shared_ptr<Noeud>& n)
{
    if (!n->pleine.isNull())
        return;
    if (!n->apercu.isNull() && n->apercuExact) {
        // The display copy was rendered at full size by the same formulas: it is the picture.
        n->pleine = n->apercu;
        n->parent.reset();
        return;
    }
    std::vector<std::shared_ptr<Noeud>> chaine;
    auto m = n;
    for (; m->pleine.isNull() && !m->source; m = m->parent)
        chaine.push_back(m);
    // A picture decoded when asked: decoded for this rendering only, unless asked of itself.
    QImage img = m->pleine.isNull() ? enRgb32(m->source->pleine()) : m->pleine;
    if (chaine.empty()) {
        n->pleine = img;
        n->source.reset();
        return;
    }
    // Forward, running consecutive adjustments that fit one pass as one pass.
    for (size_t i = chaine.size(); i-- > 0;) {
        const Operation& op = chaine[i]->op;
        if (op.genre == Operation::Genre::Reglage) {
            Reglages r = op.reglages;
            while (i > 0 && chaine[i - 1]->op.genre == Operation::Genre::Reglage && fusionnable(r, chaine[i - 1]->op.reglages))
                r = fusion(r, chaine[--i]->op.reglages);
            img = appliquerReglages(img, r);
        } else {
            img = rendre(img, op, 1.0, 1.0, chaine[i]->taille);
        }
    }
    n->pleine = img;
    // Both renderings are now kept: the state no longer needs the states it came from.
    assurerApercu(n);
    n->parent.reset();
}

}  // namespace

Photo::Photo(const QImage& image, int bitsParPixel)
{
    if (image.isNull())
        return;
    auto n = std::make_shared<Noeud>();
    n->pleine = enRgb32(image);
    n->taille = image.size();
    n->bits = bitsParPixel;
    noeud_ = std::move(n);
    noeud_->detenteurs.fetch_add(1);
}

Photo::Photo(std::shared_ptr<Noeud> n) : noeud_(std::move(n))
{
    if (noeud_)
        noeud_->detenteurs.fetch_add(1);
}

Photo::Photo(const Photo& autre) : Photo(autre.noeud_) {}

Photo::Photo(Photo&& autre) noexcept : noeud_(std::move(autre.noeud_)) {}

Photo& Photo::operator=(const Photo& autre)
{
    if (noeud_ != autre.noeud_)
        *this = Photo(autre.noeud_);
    return *this;
}

Photo& Photo::operator=(Photo&& autre) noexcept
{
    if (this != &autre) {
        if (noeud_)
            noeud_->detenteurs.fetch_sub(1);
        noeud_ = std::move(autre.noeud_);
    }
    return *this;
}

Photo::~Photo()
{
    if (noeud_)
        noeud_->detenteurs.fetch_sub(1);
}

Photo Photo::differee(QSize taille, int bitsParPixel, const QImage& apercu, std::function<QImage()> pleine,
                      std::function<QImage(QSize)> reduite)
{
    if (taille.isEmpty() || !pleine || !reduite)
        return {};
    auto n = std::make_shared<Noeud>();
    n->taille = taille;
    n->bits = bitsParPixel;
    n->source = std::make_shared<const Source>(Source{std::move(pleine), std::move(reduite)});
    if (!apercu.isNull() && apercu.size() == ajustee(taille, limite))
        n->apercu = enRgb32(apercu);
    return Photo(std::move(n));
}

QSize Photo::tailleApercu(QSize taille) { return ajustee(taille, limite); }

bool Photo::tientPleine() const { return noeud_ && !noeud_->pleine.isNull(); }
bool Photo::tientApercu() const { return noeud_ && !noeud_->apercu.isNull(); }

qint64 Photo::memoireTenue() const
{
    qint64 n = 0;
    for (const Noeud* m = noeud_.get(); m; m = m->parent.get()) {
        n += m->pleine.sizeInBytes();
        // A display copy that is the full picture itself shares its pixels.
        if (m->apercu.constBits() != m->pleine.constBits())
            n += m->apercu.sizeInBytes();
    }
    return n;
}

QSize Photo::taille() const { return noeud_ ? noeud_->taille : QSize(0, 0); }
int Photo::bitsParPixel() const { return noeud_ ? noeud_->bits : 0; }

QImage Photo::pleine() const
{
    if (!noeud_)
        return {};
    assurerPleine(noeud_);
    return noeud_->pleine;
}

QImage Photo::apercu() const
{
    if (!noeud_)
        return {};
    assurerApercu(noeud_);
    return noeud_->apercu;
}

double Photo::echelleApercu() const
{
    if (!noeud_)
        return 1.0;
    assurerApercu(noeud_);
    return double(noeud_->apercu.width()) / noeud_->taille.width();
}

Photo Photo::ajouter(const Operation& op) const
{
    if (!noeud_)
        return {};
    auto n = std::make_shared<Noeud>();
    n->parent = noeud_;
    n->op = op;
    n->taille = tailleApres(noeud_->taille, op);
    n->bits = noeud_->bits;
    return Photo(std::move(n));
}

Photo Photo::regle(const Reglages& r) const
{
    if (r.neutre())
        return *this;
    Operation op;
    op.genre = Operation::Genre::Reglage;
    op.reglages = bornes(r);
    return ajouter(op);
}

Photo Photo::tourne(int centiemes, QRgb fond) const
{
    if (centiemes % 36000 == 0)
        return *this;
    Operation op;
    op.genre = Operation::Genre::Rotation;
    op.centiemes = centiemes;
    op.couleur = fond & 0xFFFFFF;
    return ajouter(op);
}

Photo Photo::rogne(const QRect& zone) const
{
    if (!noeud_)
        return {};
    const QRect z = zone.normalized() & QRect(QPoint(0, 0), noeud_->taille);
    if (z.isEmpty() || z.size() == noeud_->taille)
        return *this;
    Operation op;
    op.genre = Operation::Genre::Rogner;
    op.zone = z;
    return ajouter(op);
}

Photo Photo::redimensionne(int largeur, int hauteur) const
{
    if (!noeud_)
        return {};
    const QSize t(std::max(1, largeur), std::max(1, hauteur));
    if (t == noeud_->taille)
        return *this;
    Operation op;
    op.genre = Operation::Genre::Redim;
    op.taille = t;
    return ajouter(op);
}

Photo Photo::remplie(QRgb couleur) const
{
    Operation op;
    op.genre = Operation::Genre::Remplir;
    op.couleur = couleur & 0xFFFFFF;
    return ajouter(op);
}

Photo Photo::cadre(const QRectF& rect, double epaisseur, QRgb couleur) const
{
    Operation op;
    op.genre = Operation::Genre::Cadre;
    op.rect = rect;
    op.epaisseur = epaisseur;
    op.couleur = couleur & 0xFFFFFF;
    return ajouter(op);
}

Photo Photo::trait(QPointF a, QPointF b, double epaisseur, QRgb couleur) const
{
    Operation op;
    op.genre = Operation::Genre::Trait;
    op.a = a;
    op.b = b;
    op.epaisseur = epaisseur;
    op.couleur = couleur & 0xFFFFFF;
    return ajouter(op);
}

Photo Photo::yeuxRouges(const QRect& zone, QRgb teinte, int seuil, int force) const
{
    Operation op;
    op.genre = Operation::Genre::YeuxRouges;
    op.zone = zone.normalized();
    op.couleur = teinte & 0xFFFFFF;
    op.seuil = seuil;
    op.force = force;
    return ajouter(op);
}

int Photo::limiteApercu() { return limite; }
void Photo::definirLimiteApercu(int pixels) { limite = std::max(16, pixels); }

}  // namespace kal::image
