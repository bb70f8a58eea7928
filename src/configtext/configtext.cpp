#include "configtext/configtext.h"

#include <QHash>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

namespace configtext {

namespace {

constexpr int kBytesPerLine = 16;
constexpr int kTextBytes = 10;

void line(QByteArray& out, const QString& text)
{
    out += text.toLatin1();
    out += "\r\n";
}

// Splits off a comment: '#' outside quotes (a backslash escapes the next character inside them).
QString withoutComment(const QString& text)
{
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == QLatin1Char('\\'))
            ++i;
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('#'))
            return text.left(i);
    }
    return text;
}

bool parseByte(const QString& text, std::uint8_t& value)
{
    bool ok = false;
    const uint v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toUInt(&ok, 16) : text.toUInt(&ok, 10);
    if (!ok || v > 255)
        return false;
    value = static_cast<std::uint8_t>(v);
    return true;
}

// A quoted text: the bytes between the quotes, escapes resolved; rest is what follows the closing
// quote. Empty error when it reads.
QString parseQuoted(const QString& text, QByteArray& bytes, QString& rest)
{
    if (!text.startsWith(QLatin1Char('"')))
        return QStringLiteral("a text cell needs its value in double quotes");
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) {
            rest = text.mid(i + 1).trimmed();
            return {};
        }
        if (c.unicode() > 0xFF)
            return QStringLiteral("the character %1 is not a single-byte character").arg(c);
        if (c != QLatin1Char('\\')) {
            bytes.append(static_cast<char>(c.unicode()));
            continue;
        }
        if (i + 1 >= text.size())
            break;
        const QChar e = text[++i];
        if (e == QLatin1Char('"') || e == QLatin1Char('\\')) {
            bytes.append(static_cast<char>(e.unicode()));
        } else if (e == QLatin1Char('x')) {
            bool ok = false;
            const uint b = text.mid(i + 1, 2).toUInt(&ok, 16);
            if (!ok || text.mid(i + 1, 2).size() != 2)
                return QStringLiteral("\\x needs two hex digits");
            bytes.append(static_cast<char>(b));
            i += 2;
        } else {
            return QStringLiteral("unknown escape \\%1 (use \\\", \\\\ or \\xNN)").arg(e);
        }
    }
    return QStringLiteral("the text has no closing double quote");
}

// A single from its text: shortest decimal, exponent form, inf, -inf or nan(0xBITS).
QString parseSingle(const QString& text, std::uint32_t& bits)
{
    const QString t = text.startsWith(QLatin1Char('+')) ? text.mid(1) : text;
    if (t.startsWith(QLatin1String("nan(0x"), Qt::CaseInsensitive) && t.endsWith(QLatin1Char(')'))) {
        bool ok = false;
        const uint b = t.mid(6, t.size() - 7).toUInt(&ok, 16);
        if (!ok || !std::isnan(std::bit_cast<float>(static_cast<std::uint32_t>(b))))
            return QStringLiteral("\"%1\" is not the bit pattern of a NaN (exponent bits all set, fraction not zero)").arg(text);
        bits = b;
        return {};
    }
    const QByteArray latin = t.toLatin1();
    float f = 0;
    const std::from_chars_result r = std::from_chars(latin.constData(), latin.constData() + latin.size(), f);
    if (r.ec == std::errc::result_out_of_range)
        return QStringLiteral("%1 is outside the range of a single (about -3.4E+38 to 3.4E+38)").arg(text);
    if (r.ec != std::errc() || r.ptr != latin.constData() + latin.size())
        return QStringLiteral("\"%1\" is not a number").arg(text);
    bits = std::bit_cast<std::uint32_t>(f);
    return {};
}

QString parseWhole(const QString& text, std::uint32_t limit, std::uint32_t& value)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (!ok)
        return QStringLiteral("\"%1\" is not a whole number").arg(text);
    if (v < 0 || v > static_cast<qlonglong>(limit))
        return QStringLiteral("%1 is outside the cell's range 0..%2").arg(text).arg(limit);
    value = static_cast<std::uint32_t>(v);
    return {};
}

QString rangeText(int first, int last)
{
    return first == last ? QString::number(first) : QStringLiteral("%1..%2").arg(first).arg(last);
}

} // namespace

QByteArray ExportText(const Config& config)
{
    QByteArray out;
    line(out, QStringLiteral("# ZAV Instrument Interface configuration: one line per cell, group.name = value unit,"));
    line(out, QStringLiteral("# and the image bytes outside every cell as \"bytes OFFSET = hex\". zav-cli import turns"));
    line(out, QStringLiteral("# it back into the site file."));
    line(out, QStringLiteral("model = %1").arg(config.model));
    line(out, QStringLiteral("version = %1").arg(config.version));
    if (!config.checksumMatches())
        line(out, QStringLiteral("checksum = 0x%1  # does not match the image (0x%2)")
                      .arg(hexText(config.checksum, 2), hexText(config.imageChecksum(), 2)));

    const std::vector<Cell>& cells = Cells();
    const std::vector<Run>& runs = Uncovered();
    auto cell = cells.begin();
    auto run = runs.begin();
    while (cell != cells.end() || run != runs.end()) {
        if (run == runs.end() || (cell != cells.end() && cell->offset < run->offset)) {
            const QString unit = BaseUnit(*cell, config);
            QString text = cell->name + QStringLiteral(" = ") + ExactValue(*cell, config);
            if (!unit.isEmpty())
                text += QLatin1Char(' ') + unit;
            // The audit sheet's caption where it has its own.
            if (cell->print && !cell->name.endsWith(cell->caption))
                text += QStringLiteral("  # ") + cell->caption;
            line(out, text);
            ++cell;
            continue;
        }
        for (int at = run->offset; at < run->offset + run->length; at += kBytesPerLine) {
            QStringList hex;
            for (int i = at; i < std::min(at + kBytesPerLine, run->offset + run->length); ++i)
                hex << hexText(config.image[static_cast<std::size_t>(i)], 2);
            line(out, QStringLiteral("bytes %1 = %2").arg(at).arg(hex.join(QLatin1Char(' '))));
        }
        ++run;
    }
    return out;
}

bool ImportText(const QByteArray& text, Config& config, QStringList& errors)
{
    Config built;
    QHash<QString, int> headLine;                   // model, version, checksum: where given
    std::vector<int> cellLine(Cells().size(), 0);   // by cell index: where given
    std::vector<int> byteLine(kImageBytes, 0);      // uncovered bytes: where given
    std::vector<bool> uncovered(kImageBytes, false);
    for (const Run& r : Uncovered())
        for (int i = r.offset; i < r.offset + r.length; ++i)
            uncovered[static_cast<std::size_t>(i)] = true;
    struct Unit {
        int line;
        const Cell* cell;
        QString unit;
    };
    std::vector<Unit> units;
    bool checksumGiven = false;

    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int lineNo = static_cast<int>(n + 1);
        const auto fail = [&](const QString& why) { errors << QStringLiteral("line %1: %2").arg(lineNo).arg(why); };
        QByteArray raw = lines[n];
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString body = withoutComment(QString::fromLatin1(raw)).trimmed();
        if (body.isEmpty())
            continue;
        const qsizetype eq = body.indexOf(QLatin1Char('='));
        if (eq < 0) {
            fail(QStringLiteral("\"%1\" is not \"name = value\"").arg(body));
            continue;
        }
        const QString key = body.left(eq).trimmed();
        const QString value = body.mid(eq + 1).trimmed();

        if (key == QLatin1String("model") || key == QLatin1String("version") || key == QLatin1String("checksum")) {
            if (headLine.contains(key)) {
                fail(QStringLiteral("%1 given twice (first on line %2)").arg(key).arg(headLine.value(key)));
                continue;
            }
            std::uint8_t b = 0;
            headLine.insert(key, lineNo);
            if (!parseByte(value, b)) {
                fail(QStringLiteral("%1 needs a number from 0 to 255, not \"%2\"").arg(key, value));
                continue;
            }
            (key == QLatin1String("model") ? built.model : key == QLatin1String("version") ? built.version : built.checksum) = b;
            checksumGiven = checksumGiven || key == QLatin1String("checksum");
            continue;
        }

        if (key.startsWith(QLatin1String("bytes "))) {
            bool ok = false;
            const int at = key.mid(6).trimmed().toInt(&ok);
            if (!ok) {
                fail(QStringLiteral("\"%1\" needs an image offset after \"bytes\"").arg(key));
                continue;
            }
            const QStringList hex = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (qsizetype i = 0; i < hex.size(); ++i) {
                const int offset = at + static_cast<int>(i);
                bool okHex = false;
                const uint b = hex[i].toUInt(&okHex, 16);
                if (!okHex || hex[i].size() != 2) {
                    fail(QStringLiteral("\"%1\" is not a byte in two hex digits").arg(hex[i]));
                    break;
                }
                if (offset < 0 || offset >= kImageBytes) {
                    fail(QStringLiteral("image byte %1 is outside the image (bytes 0..%2)").arg(offset).arg(kImageBytes - 1));
                    break;
                }
                if (!uncovered[static_cast<std::size_t>(offset)]) {
                    fail(QStringLiteral("image byte %1 is not outside every cell (cells are given by name)").arg(offset));
                    break;
                }
                int& given = byteLine[static_cast<std::size_t>(offset)];
                if (given != 0) {
                    fail(QStringLiteral("image byte %1 given twice (first on line %2)").arg(offset).arg(given));
                    break;
                }
                given = lineNo;
                built.image[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(b);
            }
            continue;
        }

        const Cell* cell = FindCell(key);
        if (!cell) {
            fail(QStringLiteral("there is no cell named \"%1\"").arg(key));
            continue;
        }
        int& given = cellLine[static_cast<std::size_t>(cell - Cells().data())];
        if (given != 0) {
            fail(QStringLiteral("%1 given twice (first on line %2)").arg(key).arg(given));
            continue;
        }
        std::uint8_t* at = built.image.data() + cell->offset;
        QString rest, why;
        if (cell->kind == modData::CellKind::TextCell) {
            QByteArray bytes;
            why = parseQuoted(value, bytes, rest);
            if (why.isEmpty() && bytes.size() > kTextBytes)
                why = QStringLiteral("a text of %1 characters does not fit the cell's %2").arg(bytes.size()).arg(kTextBytes);
            if (why.isEmpty()) {
                std::memset(at, ' ', kTextBytes);
                std::memcpy(at, bytes.constData(), static_cast<std::size_t>(bytes.size()));
            }
        } else {
            const qsizetype space = value.indexOf(QLatin1Char(' '));
            const QString number = space < 0 ? value : value.left(space);
            rest = space < 0 ? QString() : value.mid(space + 1).trimmed();
            std::uint32_t v = 0;
            switch (cell->kind) {
            case modData::CellKind::ByteCell: why = parseWhole(number, 0xFF, v); break;
            case modData::CellKind::WordCell: why = parseWhole(number, 0xFFFF, v); break;
            default: why = parseSingle(number, v); break;
            }
            if (why.isEmpty())
                std::memcpy(at, &v, static_cast<std::size_t>(cell->bytes)); // little-endian, as the image
        }
        // Given, even when its value is refused: the line is told, not a missing cell.
        given = lineNo;
        if (!why.isEmpty()) {
            fail(key + QStringLiteral(": ") + why);
            continue;
        }
        if (!rest.isEmpty())
            units.push_back({lineNo, cell, rest});
    }

    for (const char* key : {"model", "version"})
        if (!headLine.contains(QString::fromLatin1(key)))
            errors << QStringLiteral("the %1 line is missing").arg(QString::fromLatin1(key));
    QStringList missing;
    for (std::size_t i = 0; i < Cells().size(); ++i)
        if (cellLine[i] == 0)
            missing << Cells()[i].name;
    if (!missing.isEmpty())
        errors << QStringLiteral("%1 missing: %2").arg(missing.size() == 1 ? QStringLiteral("a cell is") : QStringLiteral("%1 cells are").arg(missing.size()),
                                                       missing.mid(0, 5).join(QStringLiteral(", "))
                                                           + (missing.size() > 5 ? QStringLiteral(", ...") : QString()));
    for (const Run& r : Uncovered()) {
        int first = -1;
        for (int i = r.offset; i <= r.offset + r.length; ++i) {
            const bool gap = i < r.offset + r.length && byteLine[static_cast<std::size_t>(i)] == 0;
            if (gap && first < 0)
                first = i;
            if (!gap && first >= 0) {
                errors << QStringLiteral("image bytes %1 outside the cells are missing").arg(rangeText(first, i - 1));
                first = -1;
            }
        }
    }
    // Units are checked once every value is in: a loop's ends are in the unit of its quantity.
    for (const Unit& u : units) {
        const QString expected = BaseUnit(*u.cell, built);
        if (u.unit != expected)
            errors << (expected.isEmpty() ? QStringLiteral("line %1: %2 is a plain number, without a unit (not \"%3\")")
                                                .arg(u.line)
                                                .arg(u.cell->name, u.unit)
                                          : QStringLiteral("line %1: %2 is written in %3, not in \"%4\"")
                                                .arg(u.line)
                                                .arg(u.cell->name, expected, u.unit));
    }
    if (!errors.isEmpty())
        return false;
    if (!checksumGiven)
        built.checksum = built.imageChecksum();
    config = built;
    return true;
}

} // namespace configtext
