// Any file as a recording to chart (data log, diagnostics log, signal table or none of them),
// read the way the chart window reads it. Whatever the file holds, every column of a log has a
// value for every row read (a signal table's slots may end sooner), a data log a time for each,
// the lines passed over are counted with the first of them named, and the outcome is told in words.

#include "fuzzsupport.h"
#include "recordings/recording.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

QString path;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir;
    path = dir.filePath(QStringLiteral("recording.dat"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        QFile f(path);
        require(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        require(f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) == static_cast<qint64>(size));
    }
    // Plenty of memory, so that nothing is refused for its size.
    const recordings::Recording r = recordings::Read(path, recordings::Kind::Unknown, std::int64_t{1} << 32);
    require(r.refused.isEmpty());
    const std::int64_t rows = r.rows();
    require(rows >= 0);
    const bool log = r.kind == recordings::Kind::DataLog || r.kind == recordings::Kind::DiagLog;
    for (const recordings::Column& c : r.columns) {
        const auto n = static_cast<std::int64_t>(c.values.size());
        require(log ? n == rows : n <= rows);
    }
    if (r.kind == recordings::Kind::DataLog && rows > 0) {
        require(static_cast<std::int64_t>(r.minutes.size()) == rows);
        require(!r.timeText(rows - 1).isEmpty());
    }
    require(r.skipped >= 0);
    require((r.skipped > 0) == (r.firstBadLine > 0));
    if (r.skipped > 0)
        require(!r.firstBadWhy.isEmpty());
    require(!r.summary().isEmpty());
    return 0;
}
