#include "platform/richtext/mesuretexte.h"

#include "platform/base/conversions.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kal {

namespace {

// Default tab stops every half inch (720 twips), as in the composition box.
constexpr double PasTabulation = 720.0;

// One line laid out without wrapping.
std::unique_ptr<QTextLayout> disposer(const QString& ligne, const QFont& f)
{
    auto l = std::make_unique<QTextLayout>(ligne, f);
    QTextOption o;
    o.setWrapMode(QTextOption::NoWrap);
    o.setTabStopDistance(PasTabulation);
    l->setTextOption(o);
    l->setCacheEnabled(true);
    l->beginLayout();
    QTextLine tl = l->createLine();
    if (tl.isValid())
        tl.setPosition(QPointF(0, 0));
    l->endLayout();
    return l;
}

double avance(const QTextLayout& l)
{
    if (l.lineCount() == 0)
        return 0.0;
    return std::max(0.0, l.lineAt(0).horizontalAdvance());
}

}  // namespace

QStringList lignesDuTexte(const QString& texte)
{
    static const QRegularExpression fin(QStringLiteral("\r\n|\r|\n"));
    return texte.split(fin);
}

int largeurDuTexte(const QString& texte, const Police& police)
{
    const QFont f = police1440(police);
    double max = 0.0;
    for (const QString& ligne : lignesDuTexte(texte))
        max = std::max(max, avance(*disposer(ligne, f)));
    return arrondi(max);
}

int hauteurDuTexte(const QString& texte, const Police& police)
{
    const QFontMetricsF m(police1440(police));
    return arrondi(m.height() * lignesDuTexte(texte).size());
}

void dessinertexte(QImage& image, const QString& texte, const Police& police, const QColor& couleur,
                   const QRect& rectangle, const std::optional<QColor>& fond, double echelle, int bande)
{
    if (image.isNull() || !(echelle > 0) || !std::isfinite(echelle))
        return;
    const QFont f = police1440(police);
    const QFontMetricsF m(f);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.translate(0, -bande);
    p.scale(echelle, echelle);
    p.setClipRect(rectangle);
    if (fond)
        p.fillRect(rectangle, *fond);
    p.setPen(couleur);
    p.setFont(f);
    // The rows of the text this band shows, with a line's height to spare either way for the
    // glyphs that reach beyond their line.
    const double haut = bande / echelle - m.height(), bas = (bande + image.height()) / echelle + m.height();
    double y = rectangle.top();
    for (const QString& ligne : lignesDuTexte(texte)) {
        if (y >= rectangle.bottom() + 1 || y > bas)
            break;
        if (y + m.height() < haut) {
            y += m.height();
            continue;
        }
        auto l = disposer(ligne, f);
        if (l->lineCount() > 0) {
            // The baseline of every line is one font ascent below its top, whatever fallback
            // fonts the line needed.
            const double decalage = m.ascent() - l->lineAt(0).ascent();
            l->draw(&p, QPointF(rectangle.left(), y + decalage));
        }
        y += m.height();
    }
}

}  // namespace kal
