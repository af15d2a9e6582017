#include "platform/base/conversions.h"
#include "platform/base/twips.h"
#include "platform/base/erreur.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace kal;

namespace {
struct LocaleTemporaire {
    explicit LocaleTemporaire(const QLocale& l) { QLocale::setDefault(l); }
    ~LocaleTemporaire() { QLocale::setDefault(QLocale::c()); }
};
}  // namespace

TEST(Conversions, ArrondiVaAuPairSurLesDemis)
{
    EXPECT_EQ(arrondi(0.5), 0);
    EXPECT_EQ(arrondi(1.5), 2);
    EXPECT_EQ(arrondi(2.5), 2);
    EXPECT_EQ(arrondi(3.5), 4);
    EXPECT_EQ(arrondi(-2.5), -2);
    EXPECT_EQ(arrondi(-3.5), -4);
    EXPECT_EQ(arrondi(2.5000001), 3);
    EXPECT_EQ(arrondi(-0.4), 0);
    EXPECT_EQ(arrondi(1133.9999), 1134);
}

TEST(Conversions, ArrondiHorsCapaciteLeveErreur6)
{
    try {
        arrondi(3e9);
        FAIL();
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero(), err::Depassement);
    }
    EXPECT_THROW(arrondi16(32767.6), Erreur);
    EXPECT_EQ(arrondi16(-32768.4), -32768);
}

TEST(Conversions, StrMetUnBlancDevantLesPositifs)
{
    EXPECT_EQ(Str(640), QStringLiteral(" 640"));
    EXPECT_EQ(Str(0), QStringLiteral(" 0"));
    EXPECT_EQ(Str(-12), QStringLiteral("-12"));
    EXPECT_EQ(Str(0.5), QStringLiteral(" .5"));
    EXPECT_EQ(Str(-0.25), QStringLiteral("-.25"));
    EXPECT_EQ(Str(1.5), QStringLiteral(" 1.5"));
    EXPECT_EQ(Str(1e20), QStringLiteral(" 1E+20"));
    EXPECT_EQ(StrSimple(480.0f), QStringLiteral(" 480"));
    EXPECT_EQ(StrSimple(1.0f / 3.0f), QStringLiteral(" .3333333"));
}

TEST(Conversions, StrNeDependPasDeLaLocale)
{
    LocaleTemporaire fr(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(Str(12.5), QStringLiteral(" 12.5"));
}

TEST(Conversions, ValLitLeNombreDeTete)
{
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("180")), 180);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("  -12.75abc")), -12.75);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("1 2 3")), 123);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("12,5")), 12);  // only "." is a decimal point
    EXPECT_DOUBLE_EQ(Val(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("1.5E3")), 1500);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("2e")), 2);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("&HFF")), 255);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("&HFFFFFFFF")), -1);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("[DeltaH]")), 0);
    EXPECT_DOUBLE_EQ(Val(QString()), 0);
    EXPECT_THROW(Val(QStringLiteral("1E999")), Erreur);
}

TEST(Conversions, LocaleFrancaise)
{
    LocaleTemporaire fr(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(CStr(12.5), QStringLiteral("12,5"));
    EXPECT_EQ(CStr(123456), QStringLiteral("123456"));
    EXPECT_DOUBLE_EQ(CDbl(QStringLiteral("12,5")), 12.5);
    EXPECT_EQ(format01(210.0), QStringLiteral("210,0"));
    EXPECT_EQ(Twips(11906).mm(), QStringLiteral("210,0"));
    // The decimal survives: the separator is the locale's.
    EXPECT_EQ(Twips(1000).mm(), QStringLiteral("17,6"));
    try {
        CDbl(QStringLiteral("abc"));
        FAIL();
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero(), err::TypeIncompatible);
    }
}

TEST(Conversions, Format01ArrondiLesDemisVersLeHaut)
{
    LocaleTemporaire c(QLocale::c());
    EXPECT_EQ(format01(0.25), QStringLiteral("0.3"));
    EXPECT_EQ(format01(1.05), QStringLiteral("1.1"));
    EXPECT_EQ(format01(-0.25), QStringLiteral("-0.3"));
    EXPECT_EQ(format01(-0.01), QStringLiteral("0.0"));
    EXPECT_EQ(format01(7), QStringLiteral("7.0"));
}
