#pragma once
// diff, export and import: configurations compared by name and kept as text, on the same cell
// listing, audit captions and site-file code as the configuration menu's Compare window.

#include "commandline.h"

#include <QString>

namespace zavcli {

// Runs the command; its result goes to standard output (or the -o file). Returns the exit
// status; on a failure `message` holds the one-line reason.
int RunConfigCommand(const CommandLine& line, QString& message);

} // namespace zavcli
