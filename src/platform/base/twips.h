#pragma once
// Lengths and positions in twips, the one unit of every stored size and position: 1440 an
// inch, 15 a pixel on the required 96-dpi screen, 56.7 a millimetre in what the user reads.
// A length keeps its fractions while it is computed; it becomes a whole number only through
// entier() (nearest, a half to the even neighbour, as sliders, records and print positions
// take it), and text only through mm() (the "0.0" millimetres of the captions).
#include "platform/base/conversions.h"

#include <QString>
#include <cstdint>

namespace kal {

class Twips {
public:
    static constexpr double ParPouce = 1440.0;
    static constexpr double ParPixel = 15.0;
    static constexpr double ParMm = TwipsParMm;

    constexpr Twips() = default;
    constexpr explicit Twips(double v) : v_(v) {}
    static constexpr Twips pixels(double px) { return Twips(px * ParPixel); }
    static constexpr Twips pouces(double p) { return Twips(p * ParPouce); }

    constexpr double valeur() const { return v_; }
    // Nearest whole twip, a half to the even neighbour (error 6 past 32 bits).
    int32_t entier() const { return arrondi(v_); }
    // The same length brought to its nearest whole twip, as entier() rounds it.
    Twips arrondie() const { return Twips(entier()); }
    // Whole pixels at 15 twips a pixel, the same rounding.
    int32_t pixelsEntiers() const { return arrondi(v_ / ParPixel); }
    constexpr double enPixels() const { return v_ / ParPixel; }
    constexpr double enPouces() const { return v_ / ParPouce; }
    constexpr double enMm() const { return v_ / ParMm; }
    // Millimetres with one decimal in the user's format ("0.0").
    QString mm() const { return format01(enMm()); }

    // Sheet twips to preview twips and back, by a scale of sheet twips per preview twip.
    constexpr Twips reduit(double echelle) const { return Twips(v_ / echelle); }
    constexpr Twips agrandi(double echelle) const { return Twips(v_ * echelle); }
    // This length in the proportion a / b, multiplied first: a whole length taken by two whole
    // sides stays as exact as the division allows.
    constexpr Twips prorata(Twips a, Twips b) const { return Twips(v_ * a.v_ / b.v_); }

    constexpr Twips operator+(Twips o) const { return Twips(v_ + o.v_); }
    constexpr Twips operator-(Twips o) const { return Twips(v_ - o.v_); }
    constexpr Twips operator-() const { return Twips(-v_); }
    constexpr Twips operator*(double k) const { return Twips(v_ * k); }
    constexpr Twips operator/(double k) const { return Twips(v_ / k); }
    constexpr double operator/(Twips o) const { return v_ / o.v_; }
    Twips& operator+=(Twips o)
    {
        v_ += o.v_;
        return *this;
    }
    Twips& operator-=(Twips o)
    {
        v_ -= o.v_;
        return *this;
    }
    constexpr auto operator<=>(const Twips&) const = default;

private:
    double v_ = 0;
};

constexpr Twips operator*(double k, Twips t) { return t * k; }

// A rectangle in twips: left, top, width, height.
struct RectTwips {
    Twips gauche, haut, largeur, hauteur;
    constexpr Twips droite() const { return gauche + largeur; }
    constexpr Twips bas() const { return haut + hauteur; }
    constexpr bool operator==(const RectTwips&) const = default;
};

}  // namespace kal
