#include "recordings/recording.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <array>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace recordings {

namespace {

using Field = std::string_view;

// Data log fields 2 to 18 by column; the two sound-speed fields written with two decimals repeat
// the three-decimal ones and are checked but not kept.
struct DataField {
    int field;
    const char* name;
    const char* group;
    const char* unit;
    int channel;
};
constexpr std::array<DataField, 15> kDataFields = {{
    {1, "Flow Rate A", "Flow Rate", "", 0},
    {2, "Speed of Sound A", "Speed of Sound", "", 0},
    {3, "Batch Time", "Batch Time", "sec", -1},
    {4, "Batch Total A", "Batch Total", "", 0},
    {5, "Absorption A", "Absorption", "dB", 0},
    {6, "Turbulence A", "Turbulence", "%", 0},
    {8, "Particle Load A", "Particle Load", "", 0},
    {9, "Particle Size A", "Particle Size", "microns", 0},
    {10, "Flow Rate B", "Flow Rate", "", 1},
    {11, "Speed of Sound B", "Speed of Sound", "", 1},
    {12, "Batch Total B", "Batch Total", "", 1},
    {13, "Absorption B", "Absorption", "dB", 1},
    {14, "Turbulence B", "Turbulence", "%", 1},
    {16, "Particle Load B", "Particle Load", "", 1},
    {17, "Particle Size B", "Particle Size", "microns", 1},
}};
constexpr int kDataFieldCount = 18;

struct DiagField {
    const char* header;
    const char* name;
    const char* unit;
};
constexpr std::array<DiagField, 14> kDiagFields = {{
    {"Tup", "Upstream Time", "us"},
    {"Delta", "Delta Time", "ns"},
    {"Error", "Error", ""},
    {"Mincount", "Mincount", ""},
    {"Gain", "Acoustic Strength", ""},
    {"Sat_UP", "Saturation Up", "%"},
    {"Sat_DN", "Saturation Down", "%"},
    {"Trig_UP", "Trigger Up", ""},
    {"Trig_DN", "Trigger Down", ""},
    {"SinTheta", "SinTheta", ""},
    {"PhCor", "Phase Correction", ""},
    {"Wave_Mag", "Wave Magnitude", ""},
    {"Wave_Disc", "Wave Discrimination", ""},
    {"LEAD/Lag", "Lead/Lag", ""},
}};

constexpr int kTableFields = 7;
constexpr int kFiguresColumn = 6;

// The shortest line each writer makes, and the memory a row takes here and in two charted traces.
struct Sizes {
    int shortestLine;
    int rowBytes;
};
Sizes SizesOf(Kind kind)
{
    switch (kind) {
    case Kind::DataLog:
        return {50, 15 * 8 + 2 + 2 * 16};
    case Kind::DiagLog:
        return {28, 14 * 8 + 2 * 16};
    case Kind::SignalTable:
    case Kind::Unknown:
        break;
    }
    return {28, 7 * 8 + 2 * 16};
}

Field trim(Field f)
{
    while (!f.empty() && (f.front() == ' ' || f.front() == '\r'))
        f.remove_prefix(1);
    while (!f.empty() && (f.back() == ' ' || f.back() == '\r'))
        f.remove_suffix(1);
    return f;
}

bool number(Field f, double& out)
{
    f = trim(f);
    if (f.empty())
        return false;
    const char* end = f.data() + f.size();
    const auto [ptr, ec] = std::from_chars(f.data(), end, out);
    return ec == std::errc() && ptr == end;
}

// Splits on sep into at most out.size() fields; the count of fields found (more than out.size()
// when there are more).
template <std::size_t N>
int split(Field line, char sep, std::array<Field, N>& out)
{
    std::size_t n = 0;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = line.find(sep, from);
        const Field f = line.substr(from, at == Field::npos ? Field::npos : at - from);
        if (n < N)
            out[n] = f;
        ++n;
        if (at == Field::npos)
            break;
        from = at + 1;
    }
    return static_cast<int>(n);
}

QString fieldCount(int n, int wanted)
{
    return QStringLiteral("has %1 %2, not %3").arg(n).arg(n == 1 ? QStringLiteral("field") : QStringLiteral("fields")).arg(wanted);
}

QString shown(Field f)
{
    constexpr std::size_t kLongest = 24;
    QString s = QString::fromLatin1(f.data(), static_cast<qsizetype>(std::min(f.size(), kLongest)));
    return f.size() > kLongest ? s + QStringLiteral("...") : s;
}

class Reader {
public:
    Reader(Recording& r) : m_r(r) {}

    void start(std::int64_t rowsEstimate)
    {
        const auto reserve = static_cast<std::size_t>(rowsEstimate);
        switch (m_r.kind) {
        case Kind::DataLog:
            for (const DataField& f : kDataFields)
                m_r.columns.push_back({QString::fromLatin1(f.name), QString::fromLatin1(f.group),
                                       QString::fromLatin1(f.unit), f.channel, {}});
            m_r.minutes.reserve(reserve);
            break;
        case Kind::DiagLog:
            for (const DiagField& f : kDiagFields)
                m_r.columns.push_back({QString::fromLatin1(f.name), QString::fromLatin1(f.name),
                                       QString::fromLatin1(f.unit), -1, {}});
            break;
        case Kind::SignalTable:
        case Kind::Unknown:
            m_r.columns.push_back({QStringLiteral("Upstream Signal"), QStringLiteral("Upstream Signal"),
                                   QStringLiteral("counts"), -1, {}});
            m_r.columns.push_back({QStringLiteral("Downstream Signal"), QStringLiteral("Downstream Signal"),
                                   QStringLiteral("counts"), -1, {}});
            for (int j = 2; j < kTableFields; ++j)
                m_r.columns.push_back({QStringLiteral("Slot %1").arg(j), QStringLiteral("Slot %1").arg(j),
                                       QStringLiteral("counts"), -1, {}});
            return; // a signal table is short
        }
        for (Column& c : m_r.columns)
            c.values.reserve(reserve);
    }

    // One line without its line end; cut is true for a last line the file ends inside.
    void line(Field text, bool cut)
    {
        ++m_line;
        if (trim(text).empty())
            return;
        if (cut)
            return bad(QStringLiteral("is cut short (the file ends inside it)"));
        switch (m_r.kind) {
        case Kind::DataLog:
            return dataRow(text);
        case Kind::DiagLog:
            return diagRow(text);
        case Kind::SignalTable:
        case Kind::Unknown:
            return tableRow(text);
        }
    }

    // A line longer than any recording writes, passed over unread.
    void overlong()
    {
        ++m_line;
        bad(QStringLiteral("is longer than any line of a recording"));
    }

    void finish()
    {
        if (m_r.kind != Kind::SignalTable)
            return;
        // The figures column: gain, trigger and saturation figures when a capture stored them.
        const std::vector<double>& s = m_r.columns[kFiguresColumn].values;
        bool any = false;
        for (double v : s)
            any = any || v != 0;
        const double marker = s.size() >= 5 ? s[3] - s[4] : 0;
        if (any && marker > -1e6 && marker < 1e6)
            m_r.marker = static_cast<int>(marker);
    }

private:
    void bad(const QString& why)
    {
        ++m_r.skipped;
        if (m_r.firstBadLine == 0) {
            m_r.firstBadLine = m_line;
            m_r.firstBadWhy = why;
        }
    }

    // n fields, the first of them field number first on the line.
    bool numbers(const Field* f, int n, double* out, int first)
    {
        for (int i = 0; i < n; ++i) {
            if (!number(f[i], out[i])) {
                bad(QStringLiteral("field %1 (\"%2\") is not a number").arg(i + first).arg(shown(f[i])));
                return false;
            }
        }
        return true;
    }

    void dataRow(Field text)
    {
        std::array<Field, kDataFieldCount> f;
        const int n = split(text, '\t', f);
        if (n != kDataFieldCount)
            return bad(fieldCount(n, kDataFieldCount));
        if (trim(f[0]) == "Time" && trim(f[1]) == "Flow_Rate")
            return; // the header of a session
        const Field t = trim(f[0]);
        const auto digit = [&t](std::size_t i) { return t[i] >= '0' && t[i] <= '9'; };
        if (t.size() != 5 || t[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4))
            return bad(QStringLiteral("field 1 (\"%1\") is not a time of day").arg(shown(f[0])));
        std::array<double, kDataFieldCount> v{};
        // The batch time and totals are the texts the window showed: empty before the channel's
        // first answer, which is no value (a gap in the trace).
        for (int i : {3, 4, 12}) {
            if (trim(f[static_cast<std::size_t>(i)]).empty())
                f[static_cast<std::size_t>(i)] = "nan";
        }
        if (!numbers(f.data() + 1, kDataFieldCount - 1, v.data() + 1, 2))
            return;
        for (std::size_t c = 0; c < kDataFields.size(); ++c)
            m_r.columns[c].values.push_back(v[static_cast<std::size_t>(kDataFields[c].field)]);
        m_r.minutes.push_back(static_cast<std::int16_t>(((t[0] - '0') * 10 + (t[1] - '0')) * 60 +
                                                        (t[3] - '0') * 10 + (t[4] - '0')));
    }

    void diagRow(Field text)
    {
        std::array<Field, kDiagFields.size()> f;
        const int n = split(text, '\t', f);
        if (n != static_cast<int>(kDiagFields.size()))
            return bad(fieldCount(n, static_cast<int>(kDiagFields.size())));
        if (trim(f[0]) == "Tup" && trim(f[1]) == "Delta")
            return;
        std::array<double, kDiagFields.size()> v{};
        if (!numbers(f.data(), n, v.data(), 1))
            return;
        for (std::size_t c = 0; c < v.size(); ++c)
            m_r.columns[c].values.push_back(v[c]);
    }

    void tableRow(Field text)
    {
        std::array<Field, kTableFields> f;
        const int n = split(text, ',', f);
        if (n != kTableFields)
            return bad(fieldCount(n, kTableFields));
        std::array<double, kTableFields> v{};
        std::array<bool, kTableFields> held{};
        for (int j = 0; j < kTableFields; ++j) {
            Field q = trim(f[static_cast<std::size_t>(j)]);
            if (q.size() < 2 || q.front() != '"' || q.back() != '"')
                return bad(QStringLiteral("field %1 (\"%2\") is not quoted").arg(j + 1).arg(shown(q)));
            q = q.substr(1, q.size() - 2);
            if (trim(q).empty())
                continue;
            if (!number(q, v[static_cast<std::size_t>(j)]))
                return bad(QStringLiteral("field %1 (\"%2\") is not a number").arg(j + 1).arg(shown(q)));
            held[static_cast<std::size_t>(j)] = true;
        }
        // A slot's samples run from the first line without a gap.
        for (std::size_t j = 0; j < held.size(); ++j) {
            if (held[j] && static_cast<std::int64_t>(m_r.columns[j].values.size()) != m_tableRow)
                return bad(QStringLiteral("field %1 goes on after its slot's samples ended").arg(j + 1));
        }
        for (std::size_t j = 0; j < held.size(); ++j) {
            if (held[j])
                m_r.columns[j].values.push_back(v[j]);
        }
        ++m_tableRow;
    }

    Recording& m_r;
    std::int64_t m_line = 0;
    std::int64_t m_tableRow = 0;
};

Kind SniffLines(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 0; i < lines.size() && i < 20; ++i) {
        const QByteArray l = lines[i].trimmed();
        if (l.isEmpty())
            continue;
        const qsizetype tabs = l.count('\t');
        if (l.startsWith('"') && l.count(',') == kTableFields - 1)
            return Kind::SignalTable;
        if (tabs == kDataFieldCount - 1)
            return Kind::DataLog;
        if (tabs == static_cast<qsizetype>(kDiagFields.size()) - 1)
            return Kind::DiagLog;
    }
    return Kind::Unknown;
}

} // namespace

std::int64_t Recording::rows() const
{
    std::size_t n = 0;
    for (const Column& c : columns)
        n = std::max(n, c.values.size());
    return static_cast<std::int64_t>(n);
}

QString Recording::timeText(std::int64_t row) const
{
    if (row < 0 || row >= static_cast<std::int64_t>(minutes.size()))
        return {};
    const int m = minutes[static_cast<std::size_t>(row)];
    return QStringLiteral("%1:%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
}

QString Recording::summary() const
{
    if (!refused.isEmpty())
        return refused;
    const QLocale c = QLocale::c();
    QString s = rows() > 0 ? QStringLiteral("%1 rows read from the %2.").arg(c.toString(rows()), KindName(kind))
                   : recognised ? QStringLiteral("No row of this file could be read as a %1.").arg(KindName(kind))
                                : QStringLiteral("This file is not a data log, diagnostics log or signal table recorded by "
                                                 "this tool: no row of it could be read.");
    if (skipped > 0) {
        s += QStringLiteral(" Line %1 %2; %3 %4 passed over.")
                 .arg(c.toString(firstBadLine), firstBadWhy, c.toString(skipped),
                      skipped == 1 ? QStringLiteral("line was") : QStringLiteral("lines were"));
    }
    return s;
}

QString KindName(Kind kind)
{
    switch (kind) {
    case Kind::DataLog:
        return QStringLiteral("data log");
    case Kind::DiagLog:
        return QStringLiteral("diagnostics log");
    case Kind::SignalTable:
        return QStringLiteral("signal table");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("recording");
}

Kind Sniff(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return Kind::Unknown;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Kind::Unknown;
    return SniffLines(file.read(64 * 1024));
}

std::int64_t AvailableMemory()
{
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f)
        return -1;
    char line[256];
    std::int64_t kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        long long v = 0;
        if (std::sscanf(line, "MemAvailable: %lld kB", &v) == 1) {
            kb = v;
            break;
        }
    }
    std::fclose(f);
    return kb < 0 ? -1 : kb * 1024;
}

QString MemoryCheck(Kind kind, std::int64_t fileBytes, std::int64_t available)
{
    if (available < 0)
        return {};
    const Sizes s = SizesOf(kind);
    const std::int64_t rows = fileBytes / s.shortestLine + 1;
    const std::int64_t need = rows * s.rowBytes;
    // Room is left for the program and for the system.
    if (need <= available / 10 * 8)
        return {};
    const auto mb = [](std::int64_t bytes) { return QLocale::c().toString((bytes + (1 << 20) - 1) >> 20); };
    return QStringLiteral("This file is too large to chart here: its %1 MB may need up to %2 MB of memory, and %3 MB "
                          "are free. Close other programs and open it again, or split the file into parts.")
        .arg(mb(fileBytes), mb(need), mb(available));
}

Recording Read(const QString& fileName, Kind kind, std::int64_t available, const std::function<void(int)>& progress)
{
    Recording r;
    r.fileName = fileName;
    // A device or a pipe would hold the open (or the read) for ever.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        r.kind = kind;
        r.refused = QStringLiteral("%1 is not a file that can be charted (it is a folder, a device or a pipe). "
                                   "Choose a recording file.").arg(fileName);
        return r;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        r.kind = kind;
        r.refused = QStringLiteral("The file %1 cannot be opened: %2.").arg(fileName, file.errorString());
        return r;
    }
    if (kind == Kind::Unknown) {
        kind = SniffLines(file.peek(64 * 1024));
        // A foreign file is read as a data log, so its lines are named as passed over.
        if (kind == Kind::Unknown) {
            kind = Kind::DataLog;
            r.recognised = false;
        }
    }
    r.kind = kind;
    const std::int64_t size = file.size();
    r.refused = MemoryCheck(kind, size, available);
    if (!r.refused.isEmpty())
        return r;

    Reader reader(r);
    // Reserved room that is never filled takes no memory.
    reader.start(size / SizesOf(kind).shortestLine + 1);
    constexpr qint64 kChunk = 4 << 20;
    // No writer makes a line of even a kilobyte: a longer one (a file without line ends) is passed
    // over as it streams by, never gathered whole.
    constexpr std::size_t kLongestLine = 64 * 1024;
    std::vector<char> buffer;
    std::size_t kept = 0; // bytes of an unfinished line at the buffer's start
    bool overlong = false; // inside a line too long to be read
    std::int64_t done = 0;
    while (true) {
        buffer.resize(kept + kChunk);
        const qint64 got = file.read(buffer.data() + kept, kChunk);
        if (got <= 0)
            break;
        done += got;
        const std::size_t end = kept + static_cast<std::size_t>(got);
        std::size_t from = 0;
        for (std::size_t i = 0; i < end; ++i) {
            if (buffer[i] != '\n')
                continue;
            if (overlong || i - from > kLongestLine)
                reader.overlong();
            else
                reader.line(Field(buffer.data() + from, i - from), false);
            overlong = false;
            from = i + 1;
        }
        kept = end - from;
        overlong = overlong || kept > kLongestLine;
        if (overlong)
            kept = 0;
        else
            std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.begin() + static_cast<std::ptrdiff_t>(end),
                      buffer.begin());
        if (progress && size > 0)
            progress(static_cast<int>(done * 100 / size));
    }
    if (overlong)
        reader.overlong();
    else if (kept > 0)
        reader.line(Field(buffer.data(), kept), true);
    reader.finish();
    return r;
}

} // namespace recordings
