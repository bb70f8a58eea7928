// Number reading and number text: Val, RoundHalfEven, Str/CStr/Hex and Format. Each table row
// names its input when it fails.

#include "platform/vbtext.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <iomanip>
#include <limits>
#include <string>
#include <tuple>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();

double val(const std::string& text) { return vbtext::Val(QString::fromStdString(text)); }

std::string plain(const QString& s) { return s.toStdString(); }
template <class T> T plain(T v) { return v; }

// Checks f(input) == want for each row.
template <class In, class Want, class Fn> void rows(Fn f, std::initializer_list<std::pair<In, Want>> table)
{
    for (const auto& [in, want] : table)
        EXPECT_EQ(plain(f(in)), want) << "input " << std::setprecision(17) << in;
}

// value, picture, text.
template <class V>
void formats(QString (*format)(V, const QString&), std::initializer_list<std::tuple<V, const char*, const char*>> table)
{
    for (const auto& [v, picture, want] : table)
        EXPECT_EQ(format(v, QString::fromUtf8(picture)).toStdString(), want)
            << "Format(" << std::setprecision(17) << v << ", " << picture << ")";
}

} // namespace

TEST(VbTextVal, LeadingNumberBlanksExponentAndPrefixes)
{
    rows<std::string, double>(val, {
        // The leading number; the rest is ignored. Correctly rounded, as the compiler reads the literal.
        {" 12.5abc", 12.5}, {"-.5", -0.5}, {"  +3", 3.0}, {"1.2.3", 1.2}, {"5.", 5.0}, {"1,000", 1.0}, {"007", 7.0},
        {"2.675", 2.675}, {"123456789012345678901234567890", 123456789012345678901234567890.0},
        // No leading number.
        {"", 0}, {"abc", 0}, {"--1", 0}, {"+-1", 0}, {"-", 0}, {".", 0}, {"-.", 0}, {"e5", 0}, {".e5", 0},
        // Blanks inside the number are skipped.
        {"\t- 1 . 5 e 1", -15.0}, {"\r\n 7", 7.0}, {"1 000 000", 1000000.0},
        // Exponents, D as E, subnormals, overflow to infinity and underflow to 0.
        {"1E", 1.0}, {"2E-x", 2.0}, {"1.5E+3", 1500.0}, {"1D2", 100.0}, {"2.5d-1", 0.25}, {"3e2e1", 300.0},
        {"1e-310", 1e-310}, {"1e400", kInf}, {"-1e400", -kInf}, {"100000e305", kInf}, {"1e-400", 0.0},
        {"0.00001e-320", 0.0}, {"0.001e310", 1e307}, {"0e99999", 0.0}, {"1e99999999999999999999", kInf},
        {"1" + std::string(400, '0') + "e-5", kInf}, {"0." + std::string(400, '0') + "1e5", 0.0},
        // Hex and octal.
        {"&h1f", 31.0}, {"&H1Fz", 31.0}, {" &HFFFF", 65535.0}, {"&HFFFFFFFFFFFFFFFF", 18446744073709551615.0},
        {"&H10000000000000000", 18446744073709551616.0}, {"&O17", 15.0}, {"&o178", 15.0}, {"&H", 0.0},
        {"&X12", 0.0}, {"&", 0.0}, {"-&H10", 0.0},
    });
    // Zero is never negative zero.
    for (const char* text : {"-", "--1", "-0", "-0.000e5", "-1e-400"})
        EXPECT_FALSE(std::signbit(val(text))) << text;
}

TEST(VbTextRound, HalvesToEvenOthersToNearestOutOfRangeClamped)
{
    rows<double, long long>(vbtext::RoundHalfEven, {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {4503599627370495.5, 4503599627370496LL}, {4503599627370494.5, 4503599627370494LL},
        {std::nextafter(2.5, 0.0), 2}, {std::nextafter(2.5, 3.0), 3}, {std::nextafter(-2.5, -3.0), -3},
        {0.49999999999999994, 0}, // floor(x + 0.5) would give 1
        {-0.5000000000000001, -1}, {1e18, 1000000000000000000LL}, {-123456789012.7, -123456789013LL},
        {9223372036854775808.0, LLONG_MAX}, {-9223372036854775808.0, LLONG_MIN}, {kInf, LLONG_MAX},
        {-kInf, LLONG_MIN}, {kNaN, 0},
    });
}

TEST(VbTextStr, DoublesSinglesIntegersAndHex)
{
    rows<double, std::string>(vbtext::StrDouble, {
        // Fixed form, 15 significant digits, no leading zero, a blank for the sign of positives.
        {0.98, " .98"}, {-0.5, "-.5"}, {12.0, " 12"}, {-3.0, "-3"}, {-0.0, " 0"}, {0.1 + 0.2, " .3"},
        {2.0 / 3.0, " .666666666666667"}, {0.0001, " .0001"}, {999999999999999.0, " 999999999999999"},
        // Exponent form.
        {0.00001, " 1E-05"}, {-2.5e-7, "-2.5E-07"}, {1e15, " 1E+15"}, {1234567890123456.0, " 1.23456789012346E+15"},
        {1e100, " 1E+100"}, {DBL_MAX, " 1.79769313486232E+308"}, {4.9406564584124654e-324, " 4.94065645841247E-324"},
        // Rounding that crosses a power of ten, into or out of the exponent range.
        {std::nextafter(10.0, 0.0), " 10"}, {std::nextafter(1e-4, 0.0), " .0001"},
        {std::nextafter(1e15, 0.0), " 1E+15"}, {kNaN, " NaN"}, {kInf, " Inf"}, {-kInf, "-Inf"},
    });
    rows<float, std::string>(vbtext::StrSingle, {
        // Seven digits hide the noise digits of a single.
        {0.1f, " .1"}, {1481.25f, " 1481.25"}, {-0.5f, "-.5"}, {-0.0f, " 0"}, {1.2345678f, " 1.234568"},
        {9999999.0f, " 9999999"}, {std::nextafter(10.0f, 0.0f), " 9.999999"},
        {0.01f, " .01"},   // 0.0099999997...: rounding carries
        {1e-4f, " .0001"}, // 9.99999974E-05: the rounded value leaves the exponent range
        {1e-5f, " 1E-05"}, {1e7f, " 1E+07"}, {-12345678.0f, "-1.234568E+07"}, {3.4028235e38f, " 3.402823E+38"},
        {1e-45f, " 1.401298E-45"}, {kNaNF, " NaN"}, {-kInfF, "-Inf"},
    });
    // Plain text keeps its leading zero and has no sign blank.
    rows<double, std::string>(vbtext::CStrDouble, {
        {0.5, "0.5"}, {-0.5, "-0.5"}, {42.0, "42"}, {-0.0, "0"}, {-1e-5, "-1E-05"}, {1.0 / 3.0, "0.333333333333333"},
        {1e15, "1E+15"}, {kNaN, "NaN"},
    });
    rows<float, std::string>(vbtext::CStrSingle, {{0.1f, "0.1"}, {0.01f, "0.01"}, {-0.25f, "-0.25"}, {1e7f, "1E+07"}});
    rows<long long, std::string>(vbtext::StrInt, {
        {12, " 12"}, {-3, "-3"}, {LLONG_MAX, " 9223372036854775807"}, {LLONG_MIN, "-9223372036854775808"},
    });
    rows<unsigned long long, std::string>(vbtext::Hex, {
        {0, "0"}, {0x100, "100"}, {0xABCDEF, "ABCDEF"}, {ULLONG_MAX, "FFFFFFFFFFFFFFFF"},
    });
}

TEST(VbTextFormat, DigitPlaceholdersAndRounding)
{
    formats(vbtext::Format, {
        // Integer placeholders: # drops a zero integer part, 0 keeps it; all integer digits shown.
        {0.5, "###.00", ".50"}, {0.5, "#0.000", "0.500"}, {0.0, "####", ""}, {12345.0, "##0.0", "12345.0"},
        {5.0, "000", "005"}, {5.0, "0##", "005"}, {12.5, ".00", "12.50"}, {0.25, ".00", ".25"},
        {1e20, "0", "100000000000000000000"}, {1234567890123456789.0, "0", "1234567890123460000"},
        // Fraction placeholders.
        {0.5, "#.##", ".5"}, {1.0, "#.##", "1."}, {0.0, "#.##", "."}, {1.5, "0.0#", "1.5"}, {1.256, "0.0#", "1.26"},
        {1.0, "0.0#", "1.0"}, {1.001, "0.##", "1."}, {7.0, "0.", "7."},
        // Half away from zero, after rounding to 15 digits (2.675 is 2.67499999...).
        {2.675, "0.00", "2.68"}, {0.125, "0.00", "0.13"}, {-0.125, "0.00", "-0.13"}, {2.5, "0", "3"},
        {0.0049, "0.00", "0.00"}, {9.995, "0.00", "10.00"}, {99.5, "#", "100"}, {0.96, "#.0", "1.0"},
        {0.1 + 0.2, "0.00000000000000000", "0.30000000000000000"}, {1e-20, "0.00", "0.00"},
        // Negative values: a value that rounds to zero keeps its minus, negative zero does not; the
        // minus goes in front of literal text.
        {-0.01, "###.00", "-.01"}, {-1234.5, "#,##0.00", "-1,234.50"}, {-0.001, "###.00", "-.00"},
        {-0.001, "####", "-"}, {-0.0, "0.00", "0.00"}, {-5.0, "\"Q=\"0", "-Q=5"},
    });
}

TEST(VbTextFormat, GroupingScalingLiteralsSectionsAndExponents)
{
    formats(vbtext::Format, {
        // Thousands separators.
        {1234567.891, "#,##0.00", "1,234,567.89"}, {999.999, "#,##0.00", "1,000.00"}, {0.0, "#,##0", "0"},
        {123456.0, "#,#", "123,456"}, {5.0, "0,000", "0,005"}, {1234.0, "$#,##0.00", "$1,234.00"},
        // Commas before the point scale by 1000 (exactly, half away); after it, or before the
        // digits, they are text. Percent scales by 100 unless escaped or quoted.
        {1234567.0, "#,##0,", "1,235"}, {1500000.0, "0,,.0", "1.5"}, {1500.0, "0.0,", "1500.0,"}, {5.0, ",0", ",5"},
        {12345.0, "0,.00", "12.35"}, {2500000.0, "0,,\" M\"", "3 M"}, {0.125, "0.0%", "12.5%"},
        {0.0115, "0.0%", "1.2%"}, {7.0, "0\\%", "7%"}, {7.0, "0\"%\"", "7%"},
        // Literal text, quoted or escaped.
        {12.34, "0.0\" l/s\"", "12.3 l/s"}, {2.0, "0 ke", "2 ke"}, {12.0, "(0)", "(12)"}, {5.0, "\\#0", "#5"},
        {5.0, "0\\0", "50"}, {5.0, "\"0.00\"0", "0.005"}, {123456789.0, "000-00-0000", "123-45-6789"},
        {1.0, "0\";\"0", "0;1"}, {1.0, "0\\;0", "0;1"}, {0.0, "#.## \"unterminated", ". unterminated"},
        // Sections: positive;negative;zero, chosen by the value itself, not its rounded text.
        {0.001, "0.00;(0.00);zero", "0.00"}, {-0.001, "0.00;(0.00);zero", "(0.00)"},
        {0.0, "0.00;(0.00);zero", "zero"}, {-0.0, "0.00;(0.00);zero", "zero"}, {0.0, "0.0;[0.0]", "0.0"},
        {-2.0, "0.00;;zero", "-2.00"}, // empty section: the first one, with minus
        {0.0, "0.0;(0.0);", "0.0"}, {-3.0, "#,##0;-#,##0 \"neg\"", "-3 neg"},
        {-0.5, ";(0.0)", "(0.5)"}, {0.5, ";(0.0)", "0.5"}, // empty first section: the plain number text
        // Scientific pictures; at least one exponent digit.
        {12345.0, "0.00E+00", "1.23E+04"}, {12345.0, "0.00E-00", "1.23E04"}, {0.000123, "0.0E-0", "1.2E-4"},
        {0.000123, "0.0E+0", "1.2E-4"}, {9.999, "0.00E+00", "1.00E+01"}, {0.0, "0.00E+00", "0.00E+00"},
        {12345.0, "00.0E+00", "12.3E+03"}, {1.5e-10, "0.0e+00", "1.5e-10"}, {1e100, "0E+0", "1E+100"},
        {1.5, "0.0E+#", "1.5E+0"}, {-1.5e-12, "0.0E+#", "-1.5E-12"},
        // No picture: the plain text, leading zero kept. Non-finite values in any picture.
        {0.5, "", "0.5"}, {1e-6, "", "1E-06"}, {kNaN, "0.00", "NaN"}, {kInf, "0.00", "Inf"},
        {-kInf, "0.00;(0.00)", "-Inf"},
    });
}

TEST(VbTextFormat, SinglesUseSevenDigits)
{
    // 2.675f is 2.67499995...; as a double, at 15 digits, it stays below the half.
    formats(vbtext::Format, {{2.675f, "0.00", "2.67"}, {0.1f, "0.000000000", "0.100000001"}});
    formats(vbtext::FormatSingle, {{2.675f, "0.00", "2.68"}, {0.1f, "0.000000000", "0.100000000"}, {-0.5f, "0.0", "-0.5"},
                                   {0.1f, "", "0.1"}, {kNaNF, "0", "NaN"}});
}
