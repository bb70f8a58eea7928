#pragma once
// The files the monitoring windows record, read back for charting: the data log (.dat), the
// diagnostics log and the signal table. Plain code: no widget.
//
// Every row that can be read is kept; a line that cannot (cut short, another number of fields, a
// field that is not a number, a line of some other file) is passed over and counted, and the first
// one is named in the outcome. Header lines are not rows: a log appended to an existing file
// carries one header per session. Values are held per column as contiguous doubles.

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace recordings {

enum class Kind { DataLog, DiagLog, SignalTable, Unknown };

struct Column {
    QString name;  // the quantity with its channel: "Flow Rate A"
    QString group; // columns of one group share a value axis: "Flow Rate"
    QString unit;  // empty when the file does not say
    int channel = -1; // 0 for A, 1 for B, -1 for neither
    std::vector<double> values;
};

struct Recording {
    Kind kind = Kind::Unknown;
    QString fileName;
    std::vector<Column> columns;
    // Data log: the row's time of day in minutes (the log keeps hours and minutes).
    std::vector<std::int16_t> minutes;
    // Signal table: the sample of the trigger mark, -1 when the file does not hold it.
    int marker = -1;

    // Lines passed over, and the first of them (1-based) with what was wrong with it.
    std::int64_t skipped = 0;
    std::int64_t firstBadLine = 0;
    QString firstBadWhy;
    // False when the content fitted no kind of recording (it is read as a data log).
    bool recognised = true;
    // Why nothing was read (the file could not be opened, or is too large for the memory free).
    QString refused;

    std::int64_t rows() const;
    // "12:34" for a data-log row.
    QString timeText(std::int64_t row) const;
    // The outcome in words: rows read, or why none were, and the lines passed over.
    QString summary() const;
};

// Which recording a file holds, from its first lines; Unknown when none fits.
Kind Sniff(const QString& fileName);
// "data log", "diagnostics log", "signal table".
QString KindName(Kind kind);

// Bytes of memory free for a new file (MemAvailable), -1 when the system does not say.
std::int64_t AvailableMemory();
// Empty when a file of fileBytes of this kind fits into the memory available (-1: unknown, taken as
// enough), otherwise why it is refused. The rows are estimated from the file's size at the shortest
// line the writer makes, so the estimate is on the safe side.
QString MemoryCheck(Kind kind, std::int64_t fileBytes, std::int64_t available);

// Reads the file as the given kind (Unknown: by its content). progress gets the share read so
// far, 0 to 100, now and then.
Recording Read(const QString& fileName, Kind kind = Kind::Unknown,
               std::int64_t available = AvailableMemory(), const std::function<void(int)>& progress = {});

} // namespace recordings
