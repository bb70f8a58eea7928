#include "platform/vbtext.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

namespace vbtext {

namespace {

constexpr int kSinglePrecision = 7;
constexpr int kDoublePrecision = 15;

// ---------------------------------------------------------------------------
// Decimal digit strings
// ---------------------------------------------------------------------------

// A non-negative decimal number: value = 0.<digits> * 10^intLen.
// digits has no leading or trailing zeros; empty digits means zero.
struct Decimal {
    std::string digits;
    int intLen = 0;

    bool isZero() const { return digits.empty(); }
};

void stripTrailingZeros(Decimal& d)
{
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.intLen = 0;
}

// The magnitude of value correctly rounded to `significant` digits.
template <typename T>
Decimal toDecimal(T value, int significant)
{
    Decimal d;
    value = std::fabs(value);
    if (value == 0 || !std::isfinite(value))
        return d;

    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value,
                                   std::chars_format::scientific, significant - 1);
    // Text looks like "1.234560e+07".
    const char* p = buf;
    for (; p != res.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits.push_back(*p);
    }
    int exponent = 0;
    if (p != res.ptr) {
        ++p; // 'e'
        const bool negative = (*p == '-');
        if (*p == '+' || *p == '-')
            ++p;
        std::from_chars(p, res.ptr, exponent);
        if (negative)
            exponent = -exponent;
    }
    d.intLen = exponent + 1;
    stripTrailingZeros(d);
    return d;
}

// Round half away from zero so that at most `decimals` digits follow the
// point.
void roundToDecimals(Decimal& d, int decimals)
{
    if (d.isZero())
        return;
    const long long keepLong = static_cast<long long>(d.intLen) + decimals;
    if (keepLong >= static_cast<long long>(d.digits.size()))
        return;
    if (keepLong < 0) {
        d.digits.clear();
        d.intLen = 0;
        return;
    }
    const auto keep = static_cast<std::size_t>(keepLong);
    const bool roundUp = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (roundUp) {
        std::size_t i = keep;
        while (i > 0 && d.digits[i - 1] == '9') {
            d.digits[i - 1] = '0';
            --i;
        }
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.intLen;
        } else {
            ++d.digits[i - 1];
        }
    }
    stripTrailingZeros(d);
}

// Digits left of the point, without leading zeros ("" for values below 1).
std::string integerDigits(const Decimal& d)
{
    if (d.isZero() || d.intLen <= 0)
        return {};
    std::string s = d.digits.substr(0, static_cast<std::size_t>(d.intLen));
    s.resize(static_cast<std::size_t>(d.intLen), '0');
    return s;
}

// The first `count` digits right of the point.
std::string fractionDigits(const Decimal& d, int count)
{
    std::string s;
    s.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int j = 0; j < count; ++j) {
        const long long idx = static_cast<long long>(d.intLen) + j;
        if (d.isZero() || idx < 0 || idx >= static_cast<long long>(d.digits.size()))
            s.push_back('0');
        else
            s.push_back(d.digits[static_cast<std::size_t>(idx)]);
    }
    return s;
}

// ---------------------------------------------------------------------------
// Str$ / CStr
// ---------------------------------------------------------------------------

// Unsigned text of a rounded magnitude in VB's general number style.
QString generalText(const Decimal& d, int precision, bool zeroBeforePoint)
{
    if (d.isZero())
        return QStringLiteral("0");

    const QString digits = QString::fromLatin1(d.digits.data(),
                                               static_cast<qsizetype>(d.digits.size()));
    const int exponent = d.intLen - 1;
    if (exponent < -4 || exponent >= precision) {
        QString text = digits.left(1);
        if (digits.size() > 1)
            text += QLatin1Char('.') + digits.mid(1);
        text += QLatin1Char('E');
        text += QLatin1Char(exponent < 0 ? '-' : '+');
        text += QString::number(std::abs(exponent)).rightJustified(2, QLatin1Char('0'));
        return text;
    }
    if (d.intLen > 0) {
        QString text = digits.left(d.intLen);
        if (text.size() < d.intLen)
            text += QString(d.intLen - text.size(), QLatin1Char('0'));
        if (digits.size() > d.intLen)
            text += QLatin1Char('.') + digits.mid(d.intLen);
        return text;
    }
    QString text = zeroBeforePoint ? QStringLiteral("0.") : QStringLiteral(".");
    text += QString(-d.intLen, QLatin1Char('0'));
    text += digits;
    return text;
}

QString nonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
}

// strStyle: Str$ (sign column, no zero before the point); else CStr.
template <typename T>
QString numberText(T value, int precision, bool strStyle)
{
    if (!std::isfinite(value)) {
        const QString text = nonFiniteText(static_cast<double>(value));
        return (strStyle && !text.startsWith(QLatin1Char('-'))) ? QLatin1Char(' ') + text : text;
    }
    const Decimal d = toDecimal(value, precision);
    const bool negative = value < 0; // -0.0 counts as not negative
    QString text = generalText(d, precision, !strStyle);
    if (negative)
        return QLatin1Char('-') + text;
    return strStyle ? QLatin1Char(' ') + text : text;
}

// ---------------------------------------------------------------------------
// Format pictures
// ---------------------------------------------------------------------------

struct Token {
    enum Kind { Literal, Digit, Point, Comma, Percent, Exponent };
    enum CommaRole { CommaLiteral, CommaGroup, CommaScale };

    Kind kind = Literal;
    QString text;          // Literal text; Exponent letter
    bool zero = false;     // Digit: '0' (true) or '#'
    bool plus = false;     // Exponent: "E+" (true) or "E-"
    CommaRole role = CommaLiteral;
};

// Splits at ';' outside quotes and backslash escapes.
QStringList splitSections(const QString& picture)
{
    QStringList sections;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < picture.size(); ++i) {
        const QChar c = picture[i];
        if (!quoted && c == QLatin1Char('\\')) {
            current += c;
            if (i + 1 < picture.size())
                current += picture[++i];
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char(';')) {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

bool isPlaceholder(QChar c)
{
    return c == QLatin1Char('0') || c == QLatin1Char('#');
}

std::vector<Token> tokenize(const QString& section)
{
    std::vector<Token> tokens;
    auto literal = [&tokens](const QString& text) {
        Token t;
        t.kind = Token::Literal;
        t.text = text;
        tokens.push_back(t);
    };
    bool haveExponent = false;
    const qsizetype n = section.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = section[i];
        Token t;
        if (c == QLatin1Char('"')) {
            qsizetype end = section.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                end = n;
            literal(section.mid(i + 1, end - i - 1));
            i = end;
            continue;
        }
        if (c == QLatin1Char('\\')) {
            if (i + 1 < n)
                literal(QString(section[++i]));
            continue;
        }
        if (isPlaceholder(c)) {
            t.kind = Token::Digit;
            t.zero = (c == QLatin1Char('0'));
        } else if (c == QLatin1Char('.')) {
            t.kind = Token::Point;
        } else if (c == QLatin1Char(',')) {
            t.kind = Token::Comma;
        } else if (c == QLatin1Char('%')) {
            t.kind = Token::Percent;
        } else if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && !haveExponent && i + 2 < n
                   && (section[i + 1] == QLatin1Char('+') || section[i + 1] == QLatin1Char('-'))
                   && isPlaceholder(section[i + 2])) {
            t.kind = Token::Exponent;
            t.text = QString(c);
            t.plus = (section[i + 1] == QLatin1Char('+'));
            haveExponent = true;
            ++i;
        } else {
            literal(QString(c));
            continue;
        }
        tokens.push_back(t);
    }
    return tokens;
}

// Where the parts of the number sit in a section's token list.
struct Layout {
    std::vector<std::size_t> intDigits;  // token indices, left to right
    std::vector<std::size_t> fracDigits;
    std::vector<std::size_t> expDigits;
    std::ptrdiff_t point = -1;    // token index of the decimal point
    std::ptrdiff_t exponent = -1; // token index of E+/E-
    bool grouping = false;
    int scaleCommas = 0;
    int percents = 0;

    bool hasNumber() const { return !intDigits.empty() || point >= 0 || exponent >= 0; }
};

Layout analyze(std::vector<Token>& tokens)
{
    Layout lay;
    const std::size_t n = tokens.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (tokens[i].kind == Token::Exponent) {
            lay.exponent = static_cast<std::ptrdiff_t>(i);
            break;
        }
    }
    const std::size_t mantissaEnd = lay.exponent >= 0 ? static_cast<std::size_t>(lay.exponent) : n;

    for (std::size_t i = 0; i < n; ++i) {
        Token& t = tokens[i];
        if (t.kind == Token::Point) {
            if (i < mantissaEnd && lay.point < 0) {
                lay.point = static_cast<std::ptrdiff_t>(i);
            } else {
                t.kind = Token::Literal;
                t.text = QStringLiteral(".");
            }
        } else if (t.kind == Token::Digit) {
            if (i > mantissaEnd)
                lay.expDigits.push_back(i);
            else if (lay.point >= 0)
                lay.fracDigits.push_back(i);
            else
                lay.intDigits.push_back(i);
        } else if (t.kind == Token::Percent) {
            ++lay.percents;
        }
    }

    // Commas in the integer part: grouping between placeholders, scaling
    // right after the last one, literal otherwise.
    const std::size_t intEnd = lay.point >= 0 ? static_cast<std::size_t>(lay.point) : mantissaEnd;
    for (std::size_t i = 0; i < n; ++i) {
        Token& t = tokens[i];
        if (t.kind != Token::Comma)
            continue;
        t.role = Token::CommaLiteral;
        if (i >= intEnd || lay.intDigits.empty() || lay.intDigits.front() > i)
            continue;
        if (lay.intDigits.back() > i) {
            t.role = Token::CommaGroup;
            lay.grouping = true;
            continue;
        }
        bool onlyCommasBetween = true;
        for (std::size_t k = lay.intDigits.back() + 1; k < i; ++k)
            onlyCommasBetween = onlyCommasBetween && tokens[k].kind == Token::Comma;
        if (onlyCommasBetween) {
            t.role = Token::CommaScale;
            ++lay.scaleCommas;
        }
    }
    return lay;
}

QString formatSection(double value, const QString& section, int significant)
{
    std::vector<Token> tokens = tokenize(section);
    const Layout lay = analyze(tokens);

    const int nInt = static_cast<int>(lay.intDigits.size());
    const int nFrac = static_cast<int>(lay.fracDigits.size());

    Decimal d = toDecimal(value, significant);
    if (!d.isZero())
        d.intLen += 2 * lay.percents - 3 * lay.scaleCommas;

    int exponentValue = 0;
    if (lay.exponent >= 0) {
        if (!d.isZero()) {
            exponentValue = d.intLen - nInt;
            d.intLen = nInt;
            roundToDecimals(d, nFrac);
            if (!d.isZero() && d.intLen > nInt) { // rounded up to the next power of ten
                --d.intLen;
                ++exponentValue;
            }
        }
    } else {
        roundToDecimals(d, nFrac);
    }

    const std::string intText = integerDigits(d);
    const std::string fracText = fractionDigits(d, nFrac);
    const int intCount = static_cast<int>(intText.size());

    // '#' right of a '0' in the integer part prints zeros as well.
    std::vector<bool> intZero(lay.intDigits.size());
    bool seenZero = false;
    for (std::size_t k = 0; k < lay.intDigits.size(); ++k) {
        seenZero = seenZero || tokens[lay.intDigits[k]].zero;
        intZero[k] = seenZero;
    }
    // Fraction digits print up to the last significant one, at least up to
    // the last '0' placeholder.
    int fracShown = 0;
    for (int j = 0; j < nFrac; ++j) {
        const auto k = static_cast<std::size_t>(j);
        if (tokens[lay.fracDigits[k]].zero || fracText[k] != '0')
            fracShown = j + 1;
    }

    QString out;
    // Digit at position p counted from the right of the integer part (0 = units).
    auto putIntDigit = [&](int p, char digit) {
        out += QLatin1Char(digit);
        if (lay.grouping && p > 0 && p % 3 == 0)
            out += QLatin1Char(',');
    };
    auto intDigitAt = [&](int p) { return intText[static_cast<std::size_t>(intCount - 1 - p)]; };
    // With no integer placeholders the integer digits go in front of the
    // point (or of the exponent when there is no point either).
    const std::ptrdiff_t bareIntegerAt =
        nInt > 0 ? -1 : (lay.point >= 0 ? lay.point : lay.exponent);

    int intOrdinal = 0;
    int fracOrdinal = 0;
    bool exponentWritten = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (static_cast<std::ptrdiff_t>(i) == bareIntegerAt)
            out += QString::fromLatin1(intText.data(), static_cast<qsizetype>(intText.size()));

        switch (t.kind) {
        case Token::Literal:
            out += t.text;
            break;
        case Token::Percent:
            out += QLatin1Char('%');
            break;
        case Token::Comma:
            if (t.role == Token::CommaLiteral)
                out += QLatin1Char(',');
            break;
        case Token::Point:
            out += QLatin1Char('.');
            break;
        case Token::Exponent:
            out += t.text;
            if (exponentValue < 0)
                out += QLatin1Char('-');
            else if (t.plus)
                out += QLatin1Char('+');
            break;
        case Token::Digit:
            if (lay.exponent >= 0 && static_cast<std::ptrdiff_t>(i) > lay.exponent) {
                if (!exponentWritten) {
                    int minDigits = 0;
                    for (std::size_t k : lay.expDigits)
                        minDigits += tokens[k].zero ? 1 : 0;
                    out += QString::number(std::abs(exponentValue))
                               .rightJustified(minDigits, QLatin1Char('0'));
                    exponentWritten = true;
                }
            } else if (lay.point < 0 || static_cast<std::ptrdiff_t>(i) < lay.point) {
                const int p = nInt - 1 - intOrdinal; // position of this placeholder
                if (intOrdinal == 0) {
                    for (int q = intCount - 1; q > p; --q) // digits beyond the placeholders
                        putIntDigit(q, intDigitAt(q));
                }
                if (p < intCount)
                    putIntDigit(p, intDigitAt(p));
                else if (intZero[static_cast<std::size_t>(intOrdinal)])
                    putIntDigit(p, '0');
                ++intOrdinal;
            } else {
                if (fracOrdinal < fracShown)
                    out += QLatin1Char(fracText[static_cast<std::size_t>(fracOrdinal)]);
                ++fracOrdinal;
            }
            break;
        }
    }
    return out;
}

QString formatValue(double value, const QString& picture, int significant,
                    const QString& generalText)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);

    auto general = [&generalText]() {
        return generalText.startsWith(QLatin1Char(' ')) ? generalText.mid(1) : generalText;
    };
    if (picture.isEmpty())
        return general();

    const QStringList sections = splitSections(picture);
    const bool negative = value < 0;
    QString section = sections[0];
    bool printMinus = negative;
    if (negative && sections.size() >= 2 && !sections[1].isEmpty()) {
        section = sections[1];
        printMinus = false;
    } else if (value == 0 && sections.size() >= 3 && !sections[2].isEmpty()) {
        section = sections[2];
    }
    if (section.isEmpty())
        return general();

    const QString text = formatSection(value, section, significant);
    return printMinus ? QLatin1Char('-') + text : text;
}

// ---------------------------------------------------------------------------
// Val
// ---------------------------------------------------------------------------

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r')
        || c == QLatin1Char('\n');
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int v = -1;
    if (u >= u'0' && u <= u'9')
        v = u - u'0';
    else if (u >= u'a' && u <= u'f')
        v = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        v = u - u'A' + 10;
    return v < base ? v : -1;
}

// Reads radix digits after "&H" / "&O", starting at pos.
double radixValue(const QString& text, qsizetype pos, int base)
{
    unsigned long long exact = 0;
    double approx = 0;
    bool overflow = false;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (isBlank(c))
            continue;
        const int v = digitValue(c, base);
        if (v < 0)
            break;
        const auto digit = static_cast<unsigned>(v);
        if (!overflow && exact > (ULLONG_MAX - digit) / static_cast<unsigned>(base)) {
            overflow = true;
            approx = static_cast<double>(exact);
        }
        if (overflow)
            approx = approx * base + v;
        else
            exact = exact * static_cast<unsigned>(base) + digit;
    }
    return overflow ? approx : static_cast<double>(exact);
}

} // namespace

double Val(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype pos = 0;
    auto skipBlanks = [&]() {
        while (pos < n && isBlank(text[pos]))
            ++pos;
    };
    auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };

    skipBlanks();
    if (pos < n && text[pos] == QLatin1Char('&')) {
        ++pos;
        skipBlanks();
        if (pos >= n)
            return 0;
        const QChar radix = text[pos].toUpper();
        if (radix == QLatin1Char('H'))
            return radixValue(text, pos + 1, 16);
        if (radix == QLatin1Char('O'))
            return radixValue(text, pos + 1, 8);
        return 0;
    }

    bool negative = false;
    if (pos < n && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        negative = (text[pos] == QLatin1Char('-'));
        ++pos;
    }

    std::string mantissa;
    bool seenPoint = false;
    bool seenDigit = false;
    bool seenSignificant = false;
    for (; pos < n; ++pos) {
        const QChar c = text[pos];
        if (isBlank(c))
            continue;
        if (isDigit(c)) {
            seenDigit = true;
            seenSignificant = seenSignificant || c != QLatin1Char('0');
            mantissa.push_back(static_cast<char>(c.unicode()));
        } else if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
            mantissa.push_back('.');
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0;

    // Optional exponent; only taken when at least one digit follows.
    long long exponent = 0;
    if (pos < n) {
        const QChar e = text[pos].toUpper();
        if (e == QLatin1Char('E') || e == QLatin1Char('D')) {
            qsizetype p = pos + 1;
            auto skip = [&]() {
                while (p < n && isBlank(text[p]))
                    ++p;
            };
            skip();
            bool expNegative = false;
            if (p < n && (text[p] == QLatin1Char('+') || text[p] == QLatin1Char('-'))) {
                expNegative = (text[p] == QLatin1Char('-'));
                ++p;
            }
            for (; p < n; ++p) {
                if (isBlank(text[p]))
                    continue;
                if (!isDigit(text[p]))
                    break;
                exponent = std::min(exponent * 10 + (text[p].unicode() - u'0'), 1000000000LL);
            }
            if (expNegative)
                exponent = -exponent;
        }
    }

    if (!seenSignificant)
        return 0;

    std::string number = mantissa + 'e' + std::to_string(exponent);
    double result = 0;
    const auto res = std::from_chars(number.data(), number.data() + number.size(), result,
                                     std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Decimal exponent of the leading significant digit decides.
        std::size_t point = mantissa.find('.');
        if (point == std::string::npos)
            point = mantissa.size();
        const std::size_t first = mantissa.find_first_of("123456789");
        const long long leading = first < point ? static_cast<long long>(point - first) - 1
                                                : -static_cast<long long>(first - point);
        result = (leading + exponent >= 0) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (res.ec != std::errc()) {
        return 0;
    }
    if (result == 0)
        return 0;
    return negative ? -result : result;
}

long long RoundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    const double lower = std::floor(value);
    // Exact, except for values in (-1, 0) where the rounding of the
    // difference cannot move it across 0.5.
    const double diff = value - lower;
    double rounded = lower;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(lower, 2.0) != 0))
        rounded = lower + 1;
    // 2^63 is exactly representable; everything at or above it overflows.
    constexpr double kLimit = 9223372036854775808.0;
    if (rounded >= kLimit)
        return LLONG_MAX;
    if (rounded < -kLimit)
        return LLONG_MIN;
    return static_cast<long long>(rounded);
}

QString Format(double value, const QString& picture)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    return formatValue(value, picture, kDoublePrecision, CStrDouble(value));
}

QString FormatSingle(float value, const QString& picture)
{
    if (!std::isfinite(value))
        return nonFiniteText(static_cast<double>(value));
    return formatValue(static_cast<double>(value), picture, kSinglePrecision, CStrSingle(value));
}

QString StrSingle(float value)
{
    return numberText(value, kSinglePrecision, true);
}

QString StrDouble(double value)
{
    return numberText(value, kDoublePrecision, true);
}

QString StrInt(long long value)
{
    const QString digits = QString::number(value);
    return value < 0 ? digits : QLatin1Char(' ') + digits;
}

QString CStrSingle(float value)
{
    return numberText(value, kSinglePrecision, false);
}

QString CStrDouble(double value)
{
    return numberText(value, kDoublePrecision, false);
}

QString Hex(unsigned long long value)
{
    return QString::number(value, 16).toUpper();
}

} // namespace vbtext
