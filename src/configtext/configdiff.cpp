#include "configtext/configdiff.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstring>

namespace configtext {

namespace {

QString byteText(std::uint8_t b)
{
    return QStringLiteral("0x") + hexText(b, 2);
}

QString plural(qsizetype n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QString sideText(const QString& name, const Config& c)
{
    return QStringLiteral("%1 (model %2, version %3, checksum %4)").arg(name).arg(c.model).arg(c.version).arg(byteText(c.checksum));
}

} // namespace

Difference Compare(const Config& a, const Config& b)
{
    Difference d;
    for (const auto& [side, c] : {std::pair<const char*, const Config*>{"A", &a}, {"B", &b}})
        if (!c->checksumMatches())
            d.notes << QStringLiteral("the checksum byte of %1 (%2) does not match its image (%3)")
                           .arg(QString::fromLatin1(side), byteText(c->checksum), byteText(c->imageChecksum()));
    if (a.model != b.model)
        d.head.push_back({QStringLiteral("Model"), QString::number(a.model), QString::number(b.model)});
    if (a.version != b.version)
        d.head.push_back({QStringLiteral("Version"), QString::number(a.version), QString::number(b.version)});
    if (a.checksum != b.checksum)
        d.head.push_back({QStringLiteral("Checksum"), byteText(a.checksum), byteText(b.checksum)});

    for (Group g : kGroups) {
        for (const Cell& cell : Cells()) {
            if (cell.group != g
                || std::memcmp(a.image.data() + cell.offset, b.image.data() + cell.offset, static_cast<std::size_t>(cell.bytes)) == 0)
                continue;
            CellDifference c{&cell, ShownValue(cell, a), ShownValue(cell, b)};
            if (c.a == c.b) {
                // Alike as shown (rounded, or the same list entry): the exact values tell them apart.
                const auto exact = [&cell](const Config& side) {
                    const QString unit = BaseUnit(cell, side);
                    return QStringLiteral(" [%1%2]").arg(ExactValue(cell, side), unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
                };
                c.a += exact(a);
                c.b += exact(b);
            }
            d.cells.push_back(c);
        }
    }
    for (const Run& run : Uncovered())
        for (int i = run.offset; i < run.offset + run.length; ++i)
            if (a.image[static_cast<std::size_t>(i)] != b.image[static_cast<std::size_t>(i)])
                d.bytes.push_back({i, a.image[static_cast<std::size_t>(i)], b.image[static_cast<std::size_t>(i)]});
    return d;
}

QString DiffSummary(const Difference& d)
{
    if (d.equal())
        return QStringLiteral("The configurations are the same.");
    const qsizetype n = static_cast<qsizetype>(d.head.size() + d.cells.size() + d.bytes.size());
    QStringList parts;
    if (!d.head.empty())
        parts << QStringLiteral("%1 in the head").arg(d.head.size());
    if (!d.cells.empty())
        parts << plural(static_cast<qsizetype>(d.cells.size()), "cell", "cells");
    if (!d.bytes.empty())
        parts << plural(static_cast<qsizetype>(d.bytes.size()), "byte", "bytes") + QStringLiteral(" outside the cells");
    return plural(n, "difference", "differences") + QStringLiteral(": ") + parts.join(QStringLiteral(", ")) + QLatin1Char('.');
}

namespace {

bool matches(const Cell& cell, const QString& pattern)
{
    return pattern.endsWith(QLatin1Char('*')) ? cell.name.startsWith(QStringView(pattern).chopped(1)) : cell.name == pattern;
}

} // namespace

bool NamesACell(const QString& pattern)
{
    return std::any_of(Cells().begin(), Cells().end(), [&pattern](const Cell& c) { return matches(c, pattern); });
}

void Ignore(Difference& d, const Config& a, const Config& b, const QStringList& patterns)
{
    if (patterns.isEmpty())
        return;
    QStringList left;
    std::erase_if(d.cells, [&](const CellDifference& c) {
        const bool out = std::any_of(patterns.begin(), patterns.end(), [&c](const QString& p) { return matches(*c.cell, p); });
        if (out)
            left << c.cell->name;
        return out;
    });
    if (left.isEmpty())
        return;
    d.notes << QStringLiteral("%1 left out as asked: %2").arg(plural(left.size(), "differing cell", "differing cells"), left.join(QStringLiteral(", ")));
    if (a.checksumMatches() && b.checksumMatches())
        std::erase_if(d.head, [](const HeadDifference& h) { return h.what == QLatin1String("Checksum"); });
}

QString DiffText(const Difference& d, const QString& nameA, const Config& a, const QString& nameB, const Config& b)
{
    QStringList lines;
    lines << QStringLiteral("A: ") + sideText(nameA, a) << QStringLiteral("B: ") + sideText(nameB, b);
    for (const QString& note : d.notes)
        lines << QStringLiteral("Note: ") + note;
    for (const HeadDifference& h : d.head)
        lines << QStringLiteral("%1: %2 -> %3").arg(h.what, h.a, h.b);
    const Group* shown = nullptr;
    for (const CellDifference& c : d.cells) {
        if (!shown || *shown != c.cell->group) {
            shown = &c.cell->group;
            lines << GroupTitle(c.cell->group) + QLatin1Char(':');
        }
        lines << QStringLiteral("  %1: %2 -> %3").arg(c.cell->caption, c.a, c.b);
    }
    if (!d.bytes.empty()) {
        lines << QStringLiteral("Bytes outside every cell:");
        for (const ByteDifference& x : d.bytes)
            lines << QStringLiteral("  %1: %2 -> %3").arg(x.offset).arg(byteText(x.a), byteText(x.b));
    }
    lines << DiffSummary(d);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QByteArray DiffJson(const Difference& d, const QString& nameA, const Config& a, const QString& nameB, const Config& b)
{
    const auto side = [](const QString& name, const Config& c) {
        return QJsonObject{{"source", name},
                           {"model", c.model},
                           {"version", c.version},
                           {"checksum", c.checksum},
                           {"checksum_matches", c.checksumMatches()}};
    };
    QJsonArray head;
    for (const HeadDifference& h : d.head)
        head.append(QJsonObject{{"what", h.what}, {"a", h.a}, {"b", h.b}});
    QJsonArray groups;
    QJsonArray cells;
    const Group* current = nullptr;
    const auto closeGroup = [&] {
        if (current)
            groups.append(QJsonObject{{"group", GroupTitle(*current)}, {"cells", cells}});
        cells = QJsonArray();
    };
    for (const CellDifference& c : d.cells) {
        if (!current || *current != c.cell->group) {
            closeGroup();
            current = &c.cell->group;
        }
        cells.append(QJsonObject{{"name", c.cell->name},
                                 {"caption", c.cell->caption},
                                 {"offset", c.cell->offset},
                                 {"a", c.a},
                                 {"b", c.b},
                                 {"a_exact", ExactValue(*c.cell, a)},
                                 {"b_exact", ExactValue(*c.cell, b)}});
    }
    closeGroup();
    QJsonArray bytes;
    for (const ByteDifference& x : d.bytes)
        bytes.append(QJsonObject{{"offset", x.offset}, {"a", x.a}, {"b", x.b}});
    const QJsonObject doc{{"equal", d.equal()},
                          {"a", side(nameA, a)},
                          {"b", side(nameB, b)},
                          {"notes", QJsonArray::fromStringList(d.notes)},
                          {"head", head},
                          {"groups", groups},
                          {"bytes", bytes},
                          {"summary", DiffSummary(d)}};
    return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

} // namespace configtext
