#include "platform/richtext/police.h"

#include "platform/base/conversions.h"

#include <QFontInfo>
#include <algorithm>
#include <mutex>

namespace kal {

void installerSubstitutionsPolices()
{
    static std::once_flag fait;
    std::call_once(fait, [] {
        // fontconfig already gives the metric-compatible Liberation fonts for Arial, Times New
        // Roman and Courier New; the names below it does not know.
        const QString sans = QStringLiteral("Liberation Sans");
        const QString serif = QStringLiteral("Liberation Serif");
        const QString mono = QStringLiteral("Liberation Mono");
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), sans);
        QFont::insertSubstitution(QStringLiteral("Microsoft Sans Serif"), sans);
        QFont::insertSubstitution(QStringLiteral("MS Serif"), serif);
        QFont::insertSubstitution(QStringLiteral("Arial"), sans);
        QFont::insertSubstitution(QStringLiteral("Helvetica"), sans);
        QFont::insertSubstitution(QStringLiteral("Times New Roman"), serif);
        QFont::insertSubstitution(QStringLiteral("Times"), serif);
        QFont::insertSubstitution(QStringLiteral("Courier New"), mono);
        QFont::insertSubstitution(QStringLiteral("Courier"), mono);
    });
}

QString familleInstallee(const QString& nom)
{
    installerSubstitutionsPolices();
    QFont f(nom);
    return QFontInfo(f).family();
}

static void appliquer(QFont& f, const Police& p)
{
    f.setFamilies({p.nom});
    f.setBold(p.gras);
    f.setItalic(p.italique);
    f.setUnderline(p.souligne);
    f.setStrikeOut(p.barre);
}

QFont policeEcran(const Police& p)
{
    installerSubstitutionsPolices();
    QFont f;
    appliquer(f, p);
    f.setPointSizeF(std::clamp(p.taille, 1.0, 1638.0));
    return f;
}

QFont police1440(const Police& p)
{
    installerSubstitutionsPolices();
    QFont f;
    appliquer(f, p);
    // 1 point = 20 twips = 20 pixels at 1440 pixels per inch.
    // Sizes are kept between 1 and 1638 points, the largest a font dialog offers.
    const double taille = std::clamp(p.taille, 0.05, 1638.0);
    f.setPixelSize(std::max(1, arrondi(taille * 20.0)));
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(true);
    return f;
}

Police policeDuFormat(const QTextCharFormat& f, const QFont& defaut)
{
    Police p;
    p.nom = defaut.family();
    if (f.hasProperty(QTextFormat::FontFamilies)) {
        const QStringList noms = f.fontFamilies().toStringList();
        if (!noms.isEmpty() && !noms.first().isEmpty())
            p.nom = noms.first();
    } else if (f.hasProperty(QTextFormat::FontFamily) && !f.stringProperty(QTextFormat::FontFamily).isEmpty()) {
        p.nom = f.stringProperty(QTextFormat::FontFamily);
    }
    p.taille = f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0 ? f.fontPointSize()
                                                                                   : defaut.pointSizeF();
    p.gras = f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold : defaut.bold();
    p.italique = f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : defaut.italic();
    p.souligne = f.hasProperty(QTextFormat::TextUnderlineStyle) || f.hasProperty(QTextFormat::FontUnderline)
                     ? f.fontUnderline()
                     : defaut.underline();
    p.barre = f.hasProperty(QTextFormat::FontStrikeOut) ? f.fontStrikeOut() : defaut.strikeOut();
    return p;
}

void appliquerPolice(QTextCharFormat& f, const Police& p)
{
    f.setFontFamilies(QStringList{p.nom});
    f.setFontPointSize(std::clamp(p.taille, 1.0, 1638.0));
    f.setFontWeight(p.gras ? QFont::Bold : QFont::Normal);
    f.setFontItalic(p.italique);
    f.setFontUnderline(p.souligne);
    f.setFontStrikeOut(p.barre);
}

QColor couleurDuFormat(const QTextCharFormat& f)
{
    if (!f.hasProperty(QTextFormat::ForegroundBrush) || f.foreground().style() == Qt::NoBrush)
        return {};
    return f.foreground().color();
}

}  // namespace kal
