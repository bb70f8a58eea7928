#pragma once
// A configuration kept as text that rebuilds its site file byte for byte: a head (model, version,
// and the checksum byte only where it does not match the image), then one line per cell in image
// order, "group.name = value unit", and the image bytes outside every cell as hex lines,
// "bytes OFFSET = hh hh ...". A '#' outside quotes starts a comment. Lines end with CR LF; LF
// alone is read too.

#include "configtext/configcells.h"

#include <QByteArray>
#include <QStringList>

namespace configtext {

QByteArray ExportText(const Config& config);

// Reads the whole text; true with the configuration built when every line reads, every cell and
// every byte outside the cells is given exactly once and every value fits its cell. Otherwise
// false, with the errors: each line that does not read, by its number ("line 12: ..."), then what
// is missing, then the units that do not match their cells.
bool ImportText(const QByteArray& text, Config& config, QStringList& errors);

} // namespace configtext
