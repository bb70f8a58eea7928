#include "platform/vbtext.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace {

std::string fmt(double value, const char* picture)
{
    return vbtext::Format(value, QString::fromUtf8(picture)).toStdString();
}

std::string fmtSingle(float value, const char* picture)
{
    return vbtext::FormatSingle(value, QString::fromUtf8(picture)).toStdString();
}

double val(const char* text)
{
    return vbtext::Val(QString::fromUtf8(text));
}

std::string strD(double v) { return vbtext::StrDouble(v).toStdString(); }
std::string strS(float v) { return vbtext::StrSingle(v).toStdString(); }
std::string cstrD(double v) { return vbtext::CStrDouble(v).toStdString(); }
std::string cstrS(float v) { return vbtext::CStrSingle(v).toStdString(); }

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

// ---------------------------------------------------------------------------
// Val
// ---------------------------------------------------------------------------

TEST(VbTextVal, ReadsLeadingNumberAndIgnoresTheRest)
{
    EXPECT_EQ(val(" 12.5abc"), 12.5);
    EXPECT_EQ(val("-.5"), -0.5);
    EXPECT_EQ(val("1e3x"), 1000.0);
    EXPECT_EQ(val("  +3"), 3.0);
    EXPECT_EQ(val("1.2.3"), 1.2);
    EXPECT_EQ(val(".5"), 0.5);
    EXPECT_EQ(val("5."), 5.0);
    EXPECT_EQ(val("1,000"), 1.0);
    EXPECT_EQ(val("42 mA"), 42.0);
    EXPECT_EQ(val("007"), 7.0);
    // Correctly rounded, identical to the compiler's reading of the literal.
    EXPECT_EQ(val("0.1"), 0.1);
    EXPECT_EQ(val("2.675"), 2.675);
    EXPECT_EQ(val("123456789012345678901234567890"), 123456789012345678901234567890.0);
}

TEST(VbTextVal, NoLeadingNumberGivesZero)
{
    for (const char* text :
         {"", "abc", "--1", "+-1", "-", "+", ".", "-.", "e5", ".e5", " x1", "$5"}) {
        const double v = val(text);
        EXPECT_EQ(v, 0.0) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
    }
    EXPECT_FALSE(std::signbit(val("-0")));
    EXPECT_FALSE(std::signbit(val("-0.000e5")));
}

TEST(VbTextVal, BlanksAreSkippedInsideTheNumber)
{
    EXPECT_EQ(val("1 2"), 12.0);
    EXPECT_EQ(val("\t- 1 . 5 e 1"), -15.0);
    EXPECT_EQ(val("\r\n 7"), 7.0);
    EXPECT_EQ(val("1 000 000"), 1000000.0);
}

TEST(VbTextVal, Exponent)
{
    EXPECT_EQ(val("1E"), 1.0);
    EXPECT_EQ(val("1e+"), 1.0);
    EXPECT_EQ(val("2E-x"), 2.0);
    EXPECT_EQ(val("1e-2"), 0.01);
    EXPECT_EQ(val("1.5E+3"), 1500.0);
    EXPECT_EQ(val("1D2"), 100.0);
    EXPECT_EQ(val("2.5d-1"), 0.25);
    EXPECT_EQ(val("3e2e1"), 300.0);
    EXPECT_EQ(val("1e-310"), 1e-310); // subnormal still read
    EXPECT_EQ(val("1e400"), kInf);
    EXPECT_EQ(val("-1e400"), -kInf);
    EXPECT_EQ(val("100000e305"), kInf);
    EXPECT_EQ(val("1e-400"), 0.0);
    EXPECT_EQ(val("0.00001e-320"), 0.0);
    EXPECT_EQ(val("0.001e310"), 1e307);
    EXPECT_EQ(val("0e99999"), 0.0);
    EXPECT_FALSE(std::signbit(val("-1e-400")));
    // Out of range although the written exponent points the other way.
    EXPECT_EQ(val(("1" + std::string(400, '0') + "e-5").c_str()), kInf);
    EXPECT_EQ(val(("0." + std::string(400, '0') + "1e5").c_str()), 0.0);
    EXPECT_EQ(val("1e99999999999999999999"), kInf);
}

TEST(VbTextVal, HexAndOctalPrefixes)
{
    EXPECT_EQ(val("&H10"), 16.0);
    EXPECT_EQ(val("&H1F"), 31.0);
    EXPECT_EQ(val("&h1f"), 31.0);
    EXPECT_EQ(val(" &HFFFF"), 65535.0);
    EXPECT_EQ(val("&HFFFFFFFF"), 4294967295.0);
    EXPECT_EQ(val("&HFFFFFFFFFFFFFFFF"), 18446744073709551615.0);
    EXPECT_EQ(val("&H10000000000000000"), 18446744073709551616.0); // beyond 64 bits
    EXPECT_EQ(val("&H1Fz"), 31.0);
    EXPECT_EQ(val("&O17"), 15.0);
    EXPECT_EQ(val("&o17"), 15.0);
    EXPECT_EQ(val("&O178"), 15.0); // 8 is no octal digit
    EXPECT_EQ(val("&H"), 0.0);
    EXPECT_EQ(val("&HG"), 0.0);
    EXPECT_EQ(val("&X12"), 0.0);
    EXPECT_EQ(val("&"), 0.0);
    EXPECT_EQ(val("-&H10"), 0.0);
}

// ---------------------------------------------------------------------------
// RoundHalfEven
// ---------------------------------------------------------------------------

TEST(VbTextRound, HalvesGoToEven)
{
    EXPECT_EQ(vbtext::RoundHalfEven(0.5), 0);
    EXPECT_EQ(vbtext::RoundHalfEven(1.5), 2);
    EXPECT_EQ(vbtext::RoundHalfEven(2.5), 2);
    EXPECT_EQ(vbtext::RoundHalfEven(3.5), 4);
    EXPECT_EQ(vbtext::RoundHalfEven(-0.5), 0);
    EXPECT_EQ(vbtext::RoundHalfEven(-1.5), -2);
    EXPECT_EQ(vbtext::RoundHalfEven(-2.5), -2);
    EXPECT_EQ(vbtext::RoundHalfEven(-3.5), -4);
    EXPECT_EQ(vbtext::RoundHalfEven(4503599627370495.5), 4503599627370496LL);
    EXPECT_EQ(vbtext::RoundHalfEven(4503599627370494.5), 4503599627370494LL);
    EXPECT_EQ(vbtext::RoundHalfEven(-4503599627370495.5), -4503599627370496LL);
}

TEST(VbTextRound, NonHalvesGoToNearest)
{
    EXPECT_EQ(vbtext::RoundHalfEven(0.0), 0);
    EXPECT_EQ(vbtext::RoundHalfEven(2.4), 2);
    EXPECT_EQ(vbtext::RoundHalfEven(2.6), 3);
    EXPECT_EQ(vbtext::RoundHalfEven(-2.4), -2);
    EXPECT_EQ(vbtext::RoundHalfEven(-2.6), -3);
    EXPECT_EQ(vbtext::RoundHalfEven(std::nextafter(2.5, 0.0)), 2);
    EXPECT_EQ(vbtext::RoundHalfEven(std::nextafter(2.5, 3.0)), 3);
    EXPECT_EQ(vbtext::RoundHalfEven(std::nextafter(-2.5, 0.0)), -2);
    EXPECT_EQ(vbtext::RoundHalfEven(std::nextafter(-2.5, -3.0)), -3);
    EXPECT_EQ(vbtext::RoundHalfEven(0.49999999999999994), 0); // floor(x + 0.5) would give 1
    EXPECT_EQ(vbtext::RoundHalfEven(-0.49999999999999994), 0);
    EXPECT_EQ(vbtext::RoundHalfEven(-0.5000000000000001), -1);
    EXPECT_EQ(vbtext::RoundHalfEven(1e18), 1000000000000000000LL);
    EXPECT_EQ(vbtext::RoundHalfEven(-123456789012.7), -123456789013LL);
}

TEST(VbTextRound, OutOfRangeIsClamped)
{
    EXPECT_EQ(vbtext::RoundHalfEven(1e19), LLONG_MAX);
    EXPECT_EQ(vbtext::RoundHalfEven(9223372036854775808.0), LLONG_MAX);
    EXPECT_EQ(vbtext::RoundHalfEven(-1e19), LLONG_MIN);
    EXPECT_EQ(vbtext::RoundHalfEven(-9223372036854775808.0), LLONG_MIN);
    EXPECT_EQ(vbtext::RoundHalfEven(kInf), LLONG_MAX);
    EXPECT_EQ(vbtext::RoundHalfEven(-kInf), LLONG_MIN);
    EXPECT_EQ(vbtext::RoundHalfEven(kNaN), 0);
}

// ---------------------------------------------------------------------------
// Str$ / CStr / Hex$
// ---------------------------------------------------------------------------

TEST(VbTextStr, DoubleFixedForm)
{
    EXPECT_EQ(strD(0.98), " .98");
    EXPECT_EQ(strD(-0.5), "-.5");
    EXPECT_EQ(strD(12.0), " 12");
    EXPECT_EQ(strD(-3.0), "-3");
    EXPECT_EQ(strD(100.0), " 100");
    EXPECT_EQ(strD(-1234.5), "-1234.5");
    EXPECT_EQ(strD(0.0), " 0");
    EXPECT_EQ(strD(-0.0), " 0");
    EXPECT_EQ(strD(0.1), " .1");
    EXPECT_EQ(strD(0.1 + 0.2), " .3");
    EXPECT_EQ(strD(1.0 / 3.0), " .333333333333333");
    EXPECT_EQ(strD(2.0 / 3.0), " .666666666666667");
    EXPECT_EQ(strD(0.0001), " .0001");
    EXPECT_EQ(strD(0.000123), " .000123");
    EXPECT_EQ(strD(123456789012345.0), " 123456789012345");
    EXPECT_EQ(strD(999999999999999.0), " 999999999999999");
}

TEST(VbTextStr, DoubleExponentForm)
{
    EXPECT_EQ(strD(0.00001), " 1E-05");
    EXPECT_EQ(strD(1e-6), " 1E-06");
    EXPECT_EQ(strD(1.5e-5), " 1.5E-05");
    EXPECT_EQ(strD(-2.5e-7), "-2.5E-07");
    EXPECT_EQ(strD(1e15), " 1E+15");
    EXPECT_EQ(strD(1234567890123456.0), " 1.23456789012346E+15");
    EXPECT_EQ(strD(1e100), " 1E+100");
    EXPECT_EQ(strD(1.5e-300), " 1.5E-300");
    EXPECT_EQ(strD(DBL_MAX), " 1.79769313486232E+308");
    EXPECT_EQ(strD(4.9406564584124654e-324), " 4.94065645841247E-324");
}

TEST(VbTextStr, DoubleRoundingCrossesPowerOfTen)
{
    // 9.99999999999999822... rounds to 10 at 15 digits.
    EXPECT_EQ(strD(std::nextafter(10.0, 0.0)), " 10");
    // Just below 1e-4: the rounded value is no longer in exponent range.
    EXPECT_EQ(strD(std::nextafter(1e-4, 0.0)), " .0001");
    // Just below 1e15: the rounded value needs the exponent form.
    EXPECT_EQ(strD(std::nextafter(1e15, 0.0)), " 1E+15");
    EXPECT_EQ(strD(-std::nextafter(1e15, 0.0)), "-1E+15");
}

TEST(VbTextStr, SingleHidesNoiseDigits)
{
    EXPECT_EQ(strS(0.1f), " .1");
    EXPECT_EQ(strS(0.3f), " .3");
    EXPECT_EQ(strS(1.1f), " 1.1");
    EXPECT_EQ(strS(1481.25f), " 1481.25");
    EXPECT_EQ(strS(-0.5f), "-.5");
    EXPECT_EQ(strS(0.0f), " 0");
    EXPECT_EQ(strS(-0.0f), " 0");
    EXPECT_EQ(strS(0.1234567f), " .1234567");
    EXPECT_EQ(strS(1.2345678f), " 1.234568");
    EXPECT_EQ(strS(1234567.0f), " 1234567");
    EXPECT_EQ(strS(9999999.0f), " 9999999");
    EXPECT_EQ(strS(std::nextafter(10.0f, 0.0f)), " 9.999999");
    // The float nearest 0.01 is 0.0099999997...: rounding carries to .01.
    EXPECT_EQ(strS(0.01f), " .01");
    // 1e-4f is 9.99999974...E-05; the rounded value leaves exponent range.
    EXPECT_EQ(strS(1e-4f), " .0001");
    EXPECT_EQ(strS(1e-5f), " 1E-05");
}

TEST(VbTextStr, SingleExponentForm)
{
    EXPECT_EQ(strS(1e7f), " 1E+07");
    EXPECT_EQ(strS(12345678.0f), " 1.234568E+07");
    EXPECT_EQ(strS(16777217.0f), " 1.677722E+07"); // stored as 16777216
    EXPECT_EQ(strS(-12345678.0f), "-1.234568E+07");
    EXPECT_EQ(strS(3.4028235e38f), " 3.402823E+38");
    EXPECT_EQ(strS(1e-45f), " 1.401298E-45");
    EXPECT_EQ(strS(2.5e-6f), " 2.5E-06");
}

TEST(VbTextStr, NonFiniteValues)
{
    EXPECT_EQ(strD(kNaN), " NaN");
    EXPECT_EQ(strD(kInf), " Inf");
    EXPECT_EQ(strD(-kInf), "-Inf");
    EXPECT_EQ(strS(std::numeric_limits<float>::quiet_NaN()), " NaN");
    EXPECT_EQ(strS(-std::numeric_limits<float>::infinity()), "-Inf");
    EXPECT_EQ(cstrD(kNaN), "NaN");
    EXPECT_EQ(cstrD(kInf), "Inf");
    EXPECT_EQ(cstrS(-std::numeric_limits<float>::infinity()), "-Inf");
}

TEST(VbTextStr, Integers)
{
    EXPECT_EQ(vbtext::StrInt(12).toStdString(), " 12");
    EXPECT_EQ(vbtext::StrInt(-3).toStdString(), "-3");
    EXPECT_EQ(vbtext::StrInt(0).toStdString(), " 0");
    EXPECT_EQ(vbtext::StrInt(LLONG_MAX).toStdString(), " 9223372036854775807");
    EXPECT_EQ(vbtext::StrInt(LLONG_MIN).toStdString(), "-9223372036854775808");
}

TEST(VbTextCStr, PlainTextKeepsLeadingZero)
{
    EXPECT_EQ(cstrD(0.5), "0.5");
    EXPECT_EQ(cstrD(-0.5), "-0.5");
    EXPECT_EQ(cstrD(0.00463), "0.00463");
    EXPECT_EQ(cstrD(12.3), "12.3");
    EXPECT_EQ(cstrD(42.0), "42");
    EXPECT_EQ(cstrD(0.0), "0");
    EXPECT_EQ(cstrD(-0.0), "0");
    EXPECT_EQ(cstrD(1e-5), "1E-05");
    EXPECT_EQ(cstrD(-1e-5), "-1E-05");
    EXPECT_EQ(cstrD(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(cstrD(1e15), "1E+15");
    EXPECT_EQ(cstrS(0.1f), "0.1");
    EXPECT_EQ(cstrS(0.01f), "0.01");
    EXPECT_EQ(cstrS(0.00463f), "0.00463");
    EXPECT_EQ(cstrS(12.3f), "12.3");
    EXPECT_EQ(cstrS(-0.25f), "-0.25");
    EXPECT_EQ(cstrS(1e7f), "1E+07");
}

TEST(VbTextHex, UpperCaseWithoutLeadingZeros)
{
    EXPECT_EQ(vbtext::Hex(0x1A2B).toStdString(), "1A2B");
    EXPECT_EQ(vbtext::Hex(0).toStdString(), "0");
    EXPECT_EQ(vbtext::Hex(0xF).toStdString(), "F");
    EXPECT_EQ(vbtext::Hex(0x100).toStdString(), "100");
    EXPECT_EQ(vbtext::Hex(0xABCDEF).toStdString(), "ABCDEF");
    EXPECT_EQ(vbtext::Hex(ULLONG_MAX).toStdString(), "FFFFFFFFFFFFFFFF");
}

// ---------------------------------------------------------------------------
// Format
// ---------------------------------------------------------------------------

TEST(VbTextFormat, IntegerPlaceholders)
{
    EXPECT_EQ(fmt(0.5, "###.00"), ".50");
    EXPECT_EQ(fmt(0.5, "#0.000"), "0.500");
    EXPECT_EQ(fmt(0.0, "####"), "");
    EXPECT_EQ(fmt(0.0, "###.00"), ".00");
    EXPECT_EQ(fmt(0.1, "####.0"), ".1");
    EXPECT_EQ(fmt(12345.0, "##0.0"), "12345.0");
    EXPECT_EQ(fmt(3.14159, "####0.00"), "3.14");
    EXPECT_EQ(fmt(3.14159, "##.00"), "3.14");
    EXPECT_EQ(fmt(123456.78, "#####.0"), "123456.8");
    EXPECT_EQ(fmt(5.0, "000"), "005");
    EXPECT_EQ(fmt(5.0, "0##"), "005");
    EXPECT_EQ(fmt(42.0, "0"), "42");
    EXPECT_EQ(fmt(0.0, "0"), "0");
    EXPECT_EQ(fmt(12.5, ".00"), "12.50"); // no integer placeholder: digits still shown
    EXPECT_EQ(fmt(0.25, ".00"), ".25");
    EXPECT_EQ(fmt(1e20, "0"), "100000000000000000000");
    // Only 15 significant digits survive.
    EXPECT_EQ(fmt(1234567890123456789.0, "0"), "1234567890123460000");
}

TEST(VbTextFormat, FractionPlaceholders)
{
    EXPECT_EQ(fmt(0.25, "#.##"), ".25");
    EXPECT_EQ(fmt(0.5, "#.##"), ".5");
    EXPECT_EQ(fmt(1.0, "#.##"), "1.");
    EXPECT_EQ(fmt(0.0, "#.##"), ".");
    EXPECT_EQ(fmt(0.0, "#.0000"), ".0000");
    EXPECT_EQ(fmt(1.5, "0.0#"), "1.5");
    EXPECT_EQ(fmt(1.25, "0.0#"), "1.25");
    EXPECT_EQ(fmt(1.256, "0.0#"), "1.26");
    EXPECT_EQ(fmt(1.0, "0.0#"), "1.0");
    EXPECT_EQ(fmt(1.1, "0.##"), "1.1");
    EXPECT_EQ(fmt(1.05, "0.##"), "1.05");
    EXPECT_EQ(fmt(1.001, "0.##"), "1.");
    EXPECT_EQ(fmt(7.0, "0."), "7.");
}

TEST(VbTextFormat, RoundsHalfAwayAfterFifteenDigits)
{
    EXPECT_EQ(fmt(2.675, "0.00"), "2.68");  // double is 2.67499999...
    EXPECT_EQ(fmt(1.005, "0.00"), "1.01");  // double is 1.00499999...
    EXPECT_EQ(fmt(0.125, "0.00"), "0.13");
    EXPECT_EQ(fmt(-0.125, "0.00"), "-0.13");
    EXPECT_EQ(fmt(0.005, "0.00"), "0.01");
    EXPECT_EQ(fmt(0.0049, "0.00"), "0.00");
    EXPECT_EQ(fmt(0.5, "0"), "1");
    EXPECT_EQ(fmt(2.5, "0"), "3");
    EXPECT_EQ(fmt(-2.5, "0"), "-3");
    EXPECT_EQ(fmt(0.4, "0"), "0");
    EXPECT_EQ(fmt(1234.5678, "0"), "1235");
    // Carries into new integer digits.
    EXPECT_EQ(fmt(0.995, "0.00"), "1.00");
    EXPECT_EQ(fmt(9.995, "0.00"), "10.00");
    EXPECT_EQ(fmt(99.5, "#"), "100");
    EXPECT_EQ(fmt(0.96, "#.0"), "1.0");
    // 0.1 + 0.2 is 0.30000000000000004...; the noise is gone at 15 digits.
    EXPECT_EQ(fmt(0.1 + 0.2, "0.00000000000000000"), "0.30000000000000000");
    EXPECT_EQ(fmt(1e-20, "0.00"), "0.00");
}

TEST(VbTextFormat, NegativeValues)
{
    EXPECT_EQ(fmt(-0.01, "##0.00"), "-0.01");
    EXPECT_EQ(fmt(-0.01, "###.00"), "-.01");
    EXPECT_EQ(fmt(-0.01, "###.00").append(" mA"), "-.01 mA");
    EXPECT_EQ(fmt(-5.0, "0"), "-5");
    EXPECT_EQ(fmt(-1234.5, "#,##0.00"), "-1,234.50");
    // Rounds to zero but keeps its minus.
    EXPECT_EQ(fmt(-0.001, "###.00"), "-.00");
    EXPECT_EQ(fmt(-0.004, "0.00"), "-0.00");
    EXPECT_EQ(fmt(-0.001, "####"), "-");
    // Negative zero is zero.
    EXPECT_EQ(fmt(-0.0, "0.00"), "0.00");
    // The minus goes in front of literal text.
    EXPECT_EQ(fmt(-5.0, "\"Q=\"0"), "-Q=5");
}

TEST(VbTextFormat, ThousandsGrouping)
{
    EXPECT_EQ(fmt(1234567.891, "#,##0.00"), "1,234,567.89");
    EXPECT_EQ(fmt(999.999, "#,##0.00"), "1,000.00");
    EXPECT_EQ(fmt(123.0, "#,##0"), "123");
    EXPECT_EQ(fmt(0.0, "#,##0"), "0");
    EXPECT_EQ(fmt(0.5, "#,##0.00"), "0.50");
    EXPECT_EQ(fmt(1234.0, "#,###"), "1,234");
    EXPECT_EQ(fmt(123456.0, "#,#"), "123,456");
    EXPECT_EQ(fmt(1e9, "#,##0"), "1,000,000,000");
    EXPECT_EQ(fmt(5.0, "0,000"), "0,005");
    EXPECT_EQ(fmt(1234.0, "$#,##0.00"), "$1,234.00");
}

TEST(VbTextFormat, ScalingCommasAndPercent)
{
    EXPECT_EQ(fmt(1234567.0, "#,##0,"), "1,235");
    EXPECT_EQ(fmt(1234567.0, "0,,"), "1");
    EXPECT_EQ(fmt(1500000.0, "0,,.0"), "1.5");
    EXPECT_EQ(fmt(1500.0, "0.0,"), "1500.0,"); // after the point a comma is plain text
    EXPECT_EQ(fmt(5.0, ",0"), ",5");           // and so it is before the digits
    EXPECT_EQ(fmt(12345.0, "0,.00"), "12.35");        // exact decimal scaling, half away
    EXPECT_EQ(fmt(2500000.0, "0,,\" M\""), "3 M");
    EXPECT_EQ(fmt(0.125, "0.0%"), "12.5%");
    EXPECT_EQ(fmt(0.5, "0%"), "50%");
    EXPECT_EQ(fmt(0.0115, "0.0%"), "1.2%");
    EXPECT_EQ(fmt(7.0, "0\\%"), "7%"); // escaped: no scaling
    EXPECT_EQ(fmt(7.0, "0\"%\""), "7%");
}

TEST(VbTextFormat, LiteralText)
{
    EXPECT_EQ(fmt(-0.01, "##0.00 mA"), "-0.01 mA");
    EXPECT_EQ(fmt(3.5, "0.0 mA"), "3.5 mA");
    EXPECT_EQ(fmt(12.34, "0.0\" l/s\""), "12.3 l/s");
    EXPECT_EQ(fmt(5.0, "\"Flow: \"0.0"), "Flow: 5.0");
    EXPECT_EQ(fmt(2.0, "0 sec"), "2 sec");
    EXPECT_EQ(fmt(2.0, "0 ke"), "2 ke");
    EXPECT_EQ(fmt(12.0, "(0)"), "(12)");
    EXPECT_EQ(fmt(5.0, "\\#0"), "#5");
    EXPECT_EQ(fmt(5.0, "0\\0"), "50");
    EXPECT_EQ(fmt(5.0, "\"0.00\"0"), "0.005");
    EXPECT_EQ(fmt(123456789.0, "000-00-0000"), "123-45-6789");
    EXPECT_EQ(fmt(1.0, "0\";\"0"), "0;1");  // quoted ';' is no separator
    EXPECT_EQ(fmt(1.0, "0\\;0"), "0;1");
    EXPECT_EQ(fmt(0.0, "#.## \"unterminated"), ". unterminated");
}

TEST(VbTextFormat, Sections)
{
    const char* pic = "0.00;(0.00);zero";
    EXPECT_EQ(fmt(1.5, pic), "1.50");
    EXPECT_EQ(fmt(-1.5, pic), "(1.50)");
    EXPECT_EQ(fmt(0.0, pic), "zero");
    EXPECT_EQ(fmt(-0.0, pic), "zero");
    EXPECT_EQ(fmt(0.001, pic), "0.00");   // section chosen by the value itself
    EXPECT_EQ(fmt(-0.001, pic), "(0.00)");

    EXPECT_EQ(fmt(0.0, "0.0;[0.0]"), "0.0");
    EXPECT_EQ(fmt(-2.0, "0.0;[0.0]"), "[2.0]");
    EXPECT_EQ(fmt(-2.0, "0.00;;zero"), "-2.00"); // empty section: first one, with minus
    EXPECT_EQ(fmt(0.0, "0.00;;zero"), "zero");
    EXPECT_EQ(fmt(0.0, "0.0;(0.0);"), "0.0");
    EXPECT_EQ(fmt(-3.0, "#,##0;-#,##0 \"neg\""), "-3 neg");
    EXPECT_EQ(fmt(-0.5, ";(0.0)"), "(0.5)");
    EXPECT_EQ(fmt(0.5, ";(0.0)"), "0.5"); // empty first section: the plain number text
}

TEST(VbTextFormat, ScientificPictures)
{
    EXPECT_EQ(fmt(12345.0, "0.00E+00"), "1.23E+04");
    EXPECT_EQ(fmt(12345.0, "0.00E-00"), "1.23E04");
    EXPECT_EQ(fmt(0.000123, "0.0E-0"), "1.2E-4");
    EXPECT_EQ(fmt(0.000123, "0.0E+0"), "1.2E-4");
    EXPECT_EQ(fmt(9.999, "0.00E+00"), "1.00E+01");
    EXPECT_EQ(fmt(0.0, "0.00E+00"), "0.00E+00");
    EXPECT_EQ(fmt(-12345.0, "0.0E+0"), "-1.2E+4");
    EXPECT_EQ(fmt(12345.0, "00.0E+00"), "12.3E+03");
    EXPECT_EQ(fmt(1.5e-10, "0.0e+00"), "1.5e-10");
    EXPECT_EQ(fmt(1e100, "0E+0"), "1E+100");
    EXPECT_EQ(fmt(2.5e6, "0.0E+00 Pa"), "2.5E+06 Pa");
    EXPECT_EQ(fmt(1.5, "0.0E+#"), "1.5E+0");   // at least one exponent digit
    EXPECT_EQ(fmt(-1.5e-12, "0.0E+#"), "-1.5E-12");
}

TEST(VbTextFormat, EmptyPictureAndNonFinite)
{
    // No picture: the value's plain text, leading zero kept.
    EXPECT_EQ(fmt(0.5, ""), "0.5");
    EXPECT_EQ(fmt(-0.5, ""), "-0.5");
    EXPECT_EQ(fmt(12.0, ""), "12");
    EXPECT_EQ(fmt(1e-6, ""), "1E-06");
    EXPECT_EQ(fmt(1.0 / 3.0, ""), "0.333333333333333");
    EXPECT_EQ(fmt(kNaN, "0.00"), "NaN");
    EXPECT_EQ(fmt(kInf, "0.00"), "Inf");
    EXPECT_EQ(fmt(-kInf, "0.00;(0.00)"), "-Inf");
}

TEST(VbTextFormat, SinglesUseSevenDigits)
{
    // 2.675f is 2.67499995...; at 15 digits it stays below the half.
    EXPECT_EQ(fmt(static_cast<double>(2.675f), "0.00"), "2.67");
    EXPECT_EQ(fmtSingle(2.675f, "0.00"), "2.68");
    EXPECT_EQ(fmt(static_cast<double>(0.1f), "0.000000000"), "0.100000001");
    EXPECT_EQ(fmtSingle(0.1f, "0.000000000"), "0.100000000");
    EXPECT_EQ(fmtSingle(-0.5f, "0.0"), "-0.5");
    EXPECT_EQ(fmtSingle(1481.25f, ""), "1481.25");
    EXPECT_EQ(fmtSingle(0.1f, ""), "0.1");
    EXPECT_EQ(fmtSingle(std::numeric_limits<float>::quiet_NaN(), "0"), "NaN");
}
