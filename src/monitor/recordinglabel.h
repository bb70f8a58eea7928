#pragma once
// The line a log window shows while it records: the file's name and the rows now in the file,
// "Recording to flow.dat: 57 rows written". A name too long for the line is shortened in its
// middle (the whole path is the line's tool tip).

class DataLogFile;
class QLabel;

namespace recordinglabel {

// Shows the line for log while recording is true, hides it otherwise.
void Show(QLabel& label, const DataLogFile& log, bool recording);

} // namespace recordinglabel
