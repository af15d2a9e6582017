#pragma once
// A picture as the imaging controls hold it. It is decoded once and shared: copying a Photo
// copies a handle, and every operation makes a new state on top of the old one, so the holders
// that shared it keep theirs. A state remembers its operations and renders them twice over:
// on a display-sized copy (the proxy) as soon as the screen needs it, and on the full-resolution
// pixels only when these are asked for (a file written, a print, a pixel read). Both renderings
// use the same formulas; sizes are always those of the full-resolution picture.
#include "platform/imaging/pixels.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <functional>
#include <memory>

namespace kal::image {

struct Noeud;
struct Operation;

class Photo {
public:
    Photo() = default;
    explicit Photo(const QImage& image, int bitsParPixel = 24);
    Photo(const Photo& autre);
    Photo(Photo&& autre) noexcept;
    Photo& operator=(const Photo& autre);
    Photo& operator=(Photo&& autre) noexcept;
    ~Photo();

    // A picture of `taille` full-resolution pixels whose pixels are rendered only when asked:
    // `pleine` renders the full resolution (each time a state built on this one needs it: it is
    // kept only when asked of this state itself), `reduite` a display copy of the size given.
    // `apercu`, when not null, is the display copy already rendered (of tailleApercu(taille)).
    // A file read for the screen is held this way: its bytes, and one display copy.
    static Photo differee(QSize taille, int bitsParPixel, const QImage& apercu, std::function<QImage()> pleine,
                          std::function<QImage(QSize)> reduite);

    bool estVide() const { return !noeud_; }
    QSize taille() const;
    int largeur() const { return taille().width(); }
    int hauteur() const { return taille().height(); }
    int bitsParPixel() const;

    // Full-resolution pixels (rendered on first use, then kept).
    QImage pleine() const;
    // The display copy: the picture reduced so that its longer side is at most the proxy limit
    // (the full pixels themselves when smaller), with its scale against the full picture.
    QImage apercu() const;
    double echelleApercu() const;

    // Operations, each giving a new state (lengths in full-resolution pixels).
    Photo regle(const Reglages& r) const;
    Photo tourne(int centiemes, QRgb fond) const;
    Photo rogne(const QRect& zone) const;  // clamped to the picture; nothing left: unchanged
    Photo redimensionne(int largeur, int hauteur) const;
    Photo remplie(QRgb couleur) const;
    Photo cadre(const QRectF& rect, double epaisseur, QRgb couleur) const;
    Photo trait(QPointF a, QPointF b, double epaisseur, QRgb couleur) const;
    Photo yeuxRouges(const QRect& zone, QRgb teinte, int seuil, int force) const;

    // Two holders hold the same state.
    bool memeEtat(const Photo& autre) const { return noeud_ == autre.noeud_; }
    // A mark that tells a state again later without keeping it, nor its pixels, alive.
    class Repere {
    public:
        bool designe(const Photo& p) const
        {
            return p.noeud_ && !etat_.owner_before(p.noeud_) && !p.noeud_.owner_before(etat_);
        }
        bool perime() const { return etat_.expired(); }

    private:
        friend class Photo;
        std::weak_ptr<Noeud> etat_;
    };
    Repere repere() const
    {
        Repere r;
        r.etat_ = noeud_;
        return r;
    }

    // Longer side of the display copy (pixels); pictures up to this size are their own copy.
    static int limiteApercu();
    static void definirLimiteApercu(int pixels);
    // The size of the display copy of a picture of that size.
    static QSize tailleApercu(QSize taille);

    // Memory: a state keeps its display copy while a holder (a Photo) holds it; a state that only
    // others are built on gives its copy back once they have theirs. True when the state holds
    // its full resolution, its display copy.
    bool tientPleine() const;
    bool tientApercu() const;
    // Bytes of pixels held by this state and the states it is built on.
    qint64 memoireTenue() const;

private:
    explicit Photo(std::shared_ptr<Noeud> n);
    Photo ajouter(const Operation& op) const;
    std::shared_ptr<Noeud> noeud_;
};

}  // namespace kal::image
