#pragma once

// Number <-> text conversions with the conventions of classic Visual Basic
// (Val, CInt rounding, Format pictures, Str$, CStr, Hex$).
//
// Every window and file of the instrument interface shows and reads numbers
// through these functions, so that values look exactly as operators and
// existing parameter files expect them. All conversions are locale
// independent: the decimal point is always '.', the thousands separator
// always ','.

#include <QString>

namespace vbtext {

// Leading-number parse like VB's Val.
//  - Blanks (space, tab, CR, LF) are skipped anywhere in the number, so
//    "  1 2" gives 12.
//  - Optional sign, digits with at most one decimal point, optional exponent
//    introduced by E, e, D or d (optional sign, at least one digit); parsing
//    stops at the first character that does not fit and the rest is ignored.
//  - "&H" / "&O" (any case) read hexadecimal / octal digits: "&H1F" -> 31,
//    "&O17" -> 15. The digits are read as an unsigned magnitude (no 16/32-bit
//    wrap to negative values), and no sign may precede the '&'.
//  - Text with no leading number gives 0. Magnitudes beyond the double range
//    give +/-infinity, those below it 0. A zero result is always +0.
double Val(const QString& text);

// Rounding to integer with halves to even (VB CInt/CLng): 2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2, 0.5 -> 0. NaN gives 0; values outside the range of
// long long are clamped to its limits.
long long RoundHalfEven(double value);

// VB Format(value, picture) for numeric pictures.
//
// Picture characters:
//   0        required digit
//   #        optional digit (left of the point no leading zeros; right of it
//            trailing zeros are dropped)
//   .        decimal point (the first one; it is printed even when no digit
//            follows it)
//   ,        between integer digit placeholders: thousands grouping;
//            directly after the last integer placeholder (before the point
//            or where it would be): divide by 1000 per comma; else literal
//   %        multiply by 100 and print '%'
//   E+ E- e+ e-  followed by 0/# placeholders: scientific notation ("E+"
//            always prints the exponent sign, "E-" only a minus); the
//            mantissa gets as many integer digits as it has placeholders
//   "text"   literal text;  \c  literal character c
//   anything else (spaces, letters, '-', '(' ...) is copied as it stands.
//
// Up to three sections separated by ';': positive;negative;zero. The section
// is chosen by the sign of the value itself (before rounding). The negative
// section prints the magnitude with no minus sign of its own; an empty
// section falls back to the first one. When a negative value is printed
// with the first section, '-' is put in front of the whole text, also when
// the number rounds to zero ("-.00" for -0.001 with "###.00").
//
// The value is first taken to 15 significant digits, then rounded half away
// from zero at the number of decimals of the picture, so 2.675 with "0.00"
// gives "2.68" although the double is slightly below 2.675.
//
// An empty picture (or empty chosen section with an empty first section)
// gives StrDouble() without the leading space. NaN and infinities give
// "NaN", "Inf" and "-Inf" whatever the picture.
QString Format(double value, const QString& picture);

// Format() for a single-precision value: the value is taken to 7 significant
// digits instead of 15, so a single holding 2.675 (really 2.67499995...)
// still shows as "2.68" with "0.00". An empty picture gives StrSingle()
// without the leading space.
QString FormatSingle(float value, const QString& picture);

// Signed-number text (VB Str$): a space for a value that is not negative,
// else '-', then the value rounded to 7 (single) or 15 (double) significant
// digits with trailing zeros removed and no zero before the point:
// " .98", "-.5", " 12", " 0". Exponent form "1E-05", "1.234568E+07" (at
// least two exponent digits) when the decimal exponent is below -4 or at
// least the precision. Negative zero gives " 0"; NaN " NaN"; infinities
// " Inf" / "-Inf".
QString StrSingle(float value);
QString StrDouble(double value);
QString StrInt(long long value); // " 12", "-3", " 0"

// Plain decimal text (VB CStr): as Str$ but with no leading space for
// non-negative values and a zero before the point: "0.5", "-0.5", "0.00463",
// "1E-05". NaN gives "NaN", infinities "Inf" / "-Inf".
QString CStrSingle(float value);
QString CStrDouble(double value);

// Hexadecimal text, upper case, no leading zeros (VB Hex$): 0x1A2B -> "1A2B",
// 0 -> "0".
QString Hex(unsigned long long value);

} // namespace vbtext
