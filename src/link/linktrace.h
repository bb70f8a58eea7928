#pragma once
// The link trace for service work: every frame written and every answer taken or refused (with
// the reason), in hexadecimal with millisecond time stamps. Off by default; it goes to the logging
// category "zav.link" (enable with QT_LOGGING_RULES="zav.link.debug=true") or, with TraceToFile,
// to a file.

#include <QLoggingCategory>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace linktrace {

// "11 22 EF CD 00 00 8A 1B"
QString Hex(const std::uint8_t* bytes, std::size_t n);

// Turns the trace on and appends it to the file, one line per event, each behind its time stamp
// ("15:02:07.481 "). Other messages keep going where they went. Returns an empty text, or why the
// file cannot be written. An empty path stops the file.
QString TraceToFile(const QString& path);

// A receiver of the trace's lines, each as the file gets it (time stamp, event, no line end).
using Sink = std::function<void(const QString& line)>;
// The trace is on while a file or a receiver takes it, and costs nothing otherwise. AddSink
// returns the receiver's id for RemoveSink.
int AddSink(Sink sink);
void RemoveSink(int id);

} // namespace linktrace
