#include "platform/base/conversions.h"

#include "platform/base/erreur.h"

#include <QLocale>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kal {

static double arrondiPair(double x)
{
    // std::nearbyint follows the current rounding mode, which is "to nearest, ties to even"
    // unless someone changed it; force it to be sure.
    const int mode = std::fegetround();
    if (mode != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(x);
    if (mode != FE_TONEAREST)
        std::fesetround(mode);
    return r;
}

int32_t arrondi(double x)
{
    if (std::isnan(x))
        throw Erreur(err::Depassement, QStringLiteral("nombre indéfini"));
    const double r = arrondiPair(x);
    if (r < static_cast<double>(std::numeric_limits<int32_t>::min())
        || r > static_cast<double>(std::numeric_limits<int32_t>::max()))
        throw Erreur(err::Depassement, QStringLiteral("dépassement de capacité"));
    return static_cast<int32_t>(r);
}

int16_t arrondi16(double x)
{
    const int32_t r = arrondi(x);
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max())
        throw Erreur(err::Depassement, QStringLiteral("dépassement de capacité"));
    return static_cast<int16_t>(r);
}

// Shortest "%G"-style text with at most `chiffres` significant digits, written the way the
// language-neutral conversion does it: no leading zero before the point, exponent as E+NN.
static QString texteNeutre(double x, int chiffres)
{
    if (x == 0)
        return QStringLiteral(" 0");
    char tampon[64];
    std::snprintf(tampon, sizeof tampon, "%.*G", chiffres, x);
    QString t = QString::fromLatin1(tampon);
    // "%G" keeps the exponent form only for very large or very small numbers, as wanted;
    // it writes "1E+20", and "1.5E-07" where the neutral form writes "1.5E-07" too.
    QString mantisse = t;
    QString exposant;
    const int e = t.indexOf(QLatin1Char('E'));
    if (e >= 0) {
        mantisse = t.left(e);
        exposant = t.mid(e);
    }
    if (mantisse.startsWith(QLatin1String("0.")))
        mantisse.remove(0, 1);
    else if (mantisse.startsWith(QLatin1String("-0.")))
        mantisse.remove(1, 1);
    t = mantisse + exposant;
    if (!t.startsWith(QLatin1Char('-')))
        t.prepend(QLatin1Char(' '));
    return t;
}

QString Str(double x) { return texteNeutre(x, 15); }

QString StrSimple(float x) { return texteNeutre(static_cast<double>(x), 7); }

double Val(const QString& texte)
{
    // Keep only the characters that matter: blanks, tabs and line feeds are ignored.
    QString s;
    s.reserve(texte.size());
    for (QChar c : texte)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            s += c;

    if (s.size() >= 2 && s[0] == QLatin1Char('&')) {
        const QChar b = s[1].toUpper();
        int base = 0;
        int debut = 2;
        if (b == QLatin1Char('H'))
            base = 16;
        else if (b == QLatin1Char('O'))
            base = 8;
        else if (b.isDigit()) {
            base = 8;
            debut = 1;
        }
        if (base) {
            qint64 v = 0;
            for (int i = debut; i < s.size() && i < debut + 11; ++i) {
                const int d = s[i].isDigit() ? s[i].digitValue()
                    : (s[i].toUpper() >= QLatin1Char('A') && s[i].toUpper() <= QLatin1Char('F'))
                        ? s[i].toUpper().unicode() - 'A' + 10 : -1;
                if (d < 0 || d >= base)
                    break;
                v = v * base + d;
            }
            // Hexadecimal and octal texts are 32-bit values: &HFFFFFFFF is -1.
            return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
        }
        return 0;
    }

    int i = 0;
    QByteArray nombre;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        nombre += static_cast<char>(s[i++].toLatin1());
    bool chiffres = false;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        nombre += static_cast<char>(s[i++].toLatin1());
        chiffres = true;
    }
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        nombre += '.';
        ++i;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            nombre += static_cast<char>(s[i++].toLatin1());
            chiffres = true;
        }
    }
    if (!chiffres)
        return 0;
    if (i < s.size() && (s[i].toUpper() == QLatin1Char('E') || s[i].toUpper() == QLatin1Char('D'))) {
        int j = i + 1;
        QByteArray exp = "e";
        if (j < s.size() && (s[j] == QLatin1Char('-') || s[j] == QLatin1Char('+')))
            exp += static_cast<char>(s[j++].toLatin1());
        bool expChiffres = false;
        while (j < s.size() && s[j].isDigit() && s[j].unicode() < 128 && exp.size() < 8) {
            exp += static_cast<char>(s[j++].toLatin1());
            expChiffres = true;
        }
        if (expChiffres)
            nombre += exp;
    }
    const double v = std::strtod(nombre.constData(), nullptr);
    if (!std::isfinite(v))
        throw Erreur(err::Depassement, QStringLiteral("dépassement de capacité"));
    return v;
}

QString CStr(double x)
{
    QString t = QLocale().toString(x, 'g', 15);
    // QLocale writes group separators for large numbers; the regional conversion does not.
    t.remove(QLocale().groupSeparator());
    return t;
}

double CDbl(const QString& texte)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = loc.toDouble(texte.trimmed(), &ok);
    if (!ok) {
        // The regional reader also accepts the neutral "." form when it is unambiguous.
        QLocale c = QLocale::c();
        v = c.toDouble(texte.trimmed(), &ok);
    }
    if (!ok)
        throw Erreur(err::TypeIncompatible, QStringLiteral("« %1 » n'est pas un nombre").arg(texte));
    return v;
}

QString format01(double x)
{
    // Round on the decimal value, a half away from zero, then write with the locale's
    // separator. The product by 10 is corrected for the binary error of numbers like 1.05.
    double dixiemes = x * 10.0;
    const double eps = std::abs(dixiemes) * 1e-12;
    dixiemes = dixiemes >= 0 ? std::floor(dixiemes + 0.5 + eps) : -std::floor(-dixiemes + 0.5 + eps);
    if (dixiemes == 0)
        dixiemes = 0;  // no "-0.0"
    QString t = QLocale().toString(dixiemes / 10.0, 'f', 1);
    t.remove(QLocale().groupSeparator());
    return t;
}


}  // namespace kal
