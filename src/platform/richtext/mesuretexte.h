#pragma once
// Measuring text in twips and drawing it into a picture at 1440 pixels per inch (one pixel per
// twip). Both lay the text out the same way: lines split at CR LF (or a lone CR or LF), each
// line as high as the font (ascent + descent), no wrapping, tabs every eight average
// character widths. So a text drawn into a picture of its measured size fits it exactly.
#include "platform/richtext/police.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

namespace kal {

// The lines of a text: an empty text is one empty line.
QStringList lignesDuTexte(const QString& texte);

// Width of the widest line, in twips, rounded to a whole twip.
int largeurDuTexte(const QString& texte, const Police& police);
// Height of all the lines, in twips, rounded to a whole twip.
int hauteurDuTexte(const QString& texte, const Police& police);

// Draws the text into the picture, in the rectangle (twips), from its top left corner, in the
// font and colour given; what falls outside the rectangle is cut off. With a background colour
// the rectangle is filled with it first. `echelle` is the picture's pixels per twip: 1 draws at
// 1440 pixels per inch, 0.5 at 720 (the rectangle and the text shrink alike; hinting is off, so
// the lines keep their proportions). The picture is used as it is (any format QPainter draws
// on); a null picture, or a scale that is not a positive number, leaves it alone. `bande`: the
// picture is the band of a larger picture that starts that many rows down (the rectangle and
// the text stay placed on the larger picture; only the lines that reach the band are drawn), so
// that the bands of one picture can be drawn side by side.
void dessinertexte(QImage& image, const QString& texte, const Police& police, const QColor& couleur,
                   const QRect& rectangle, const std::optional<QColor>& fond = std::nullopt, double echelle = 1.0,
                   int bande = 0);

}  // namespace kal
