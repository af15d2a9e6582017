#pragma once
// Number conversions with the rules the whole program relies on.
#include <QString>
#include <cstdint>

namespace kal {

// Nearest whole number, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Raises error 6 when the result does not fit in 32 bits.
int32_t arrondi(double x);
// Same rounding into 16 bits (error 6 outside -32768..32767).
int16_t arrondi16(double x);

// Decimal text of a number as the language-neutral conversion writes it: a blank before a
// non-negative number, "-" before a negative one, "." as decimal point, no leading zero
// before the point (" .5"), up to 15 significant digits (7 for the single-precision form).
QString Str(double x);
QString StrSimple(float x);

// Reads the leading number of a text: blanks, tabs and line feeds are skipped anywhere,
// "." is the only decimal point, an exponent E or D is accepted, "&H" / "&O" prefixes
// read hexadecimal / octal. Reading stops at the first character that does not fit; a
// text without a number gives 0.
double Val(const QString& texte);

// Conversions in the user's regional format (QLocale()): decimal separator of the locale,
// no blank before the number.
QString CStr(double x);
// Reads a number written in the user's regional format; raises error 13 when the text is
// not a number.
double CDbl(const QString& texte);

// The pattern "0.0": one decimal, a half rounded away from zero, the locale's separator.
QString format01(double x);

// Twips in a millimetre the user reads (Twips::mm gives the caption).
constexpr double TwipsParMm = 56.7;

}  // namespace kal
