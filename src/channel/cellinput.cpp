#include "channel/cellinput.h"

#include "platform/vbtext.h"

#include <cmath>

namespace cellinput {

bool HoldsNumber(const QString& text)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    auto skipBlanks = [&] {
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n'))
            ++i;
    };
    skipBlanks();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
        skipBlanks();
    }
    if (i < n && text[i] == u'&')
        return i + 2 < n && QStringLiteral("HhOo").contains(text[i + 1]) && text[i + 2].isLetterOrNumber();
    if (i < n && text[i] == u'.')
        ++i;
    return i < n && text[i] >= u'0' && text[i] <= u'9';
}

std::optional<double> Checked(const QString& text, double scale, Range range)
{
    if (!HoldsNumber(text))
        return std::nullopt;
    const double v = vbtext::Val(text) * scale;
    if (!std::isfinite(v) || v < range.min || v > range.max)
        return std::nullopt;
    return v;
}

QString RefusedLine(const QString& field, const QString& text, Range range, double scale)
{
    const QString shown = text.trimmed().isEmpty() ? QStringLiteral("(nothing)") : QStringLiteral("\"%1\"").arg(text.trimmed());
    if (!HoldsNumber(text))
        return QStringLiteral("%1: %2 is not a number.").arg(field, shown);
    return QStringLiteral("%1: %2 is outside the range %3 to %4.")
        .arg(field, shown, vbtext::CStrDouble(range.min / scale), vbtext::CStrDouble(range.max / scale));
}

QString KeptText(int refused)
{
    return refused == 1 ? QStringLiteral("The old value is kept.") : QStringLiteral("The old values are kept.");
}

bool Store(modData::ParameterCell& cell, const QString& text, double scale, Range range)
{
    const std::optional<double> v = Checked(text, scale, range);
    if (!v)
        return false;
    switch (cell.kind) {
    case modData::CellKind::FloatCell:
        if (std::fabs(*v) > 3.4028234e38)
            return false;
        cell.f = static_cast<float>(*v);
        return true;
    case modData::CellKind::ByteCell:
    case modData::CellKind::WordCell: {
        const long long r = vbtext::RoundHalfEven(*v);
        const long long top = cell.kind == modData::CellKind::ByteCell ? 255 : 65535;
        // A signed range stores its negative values as the word's two's complement.
        const long long stored = r < 0 && cell.kind == modData::CellKind::WordCell && r >= -32768 ? r + 65536 : r;
        if (stored < 0 || stored > top)
            return false;
        cell.u = static_cast<std::uint32_t>(stored);
        return true;
    }
    case modData::CellKind::TextCell:
        return false;
    }
    return false;
}

} // namespace cellinput
