#pragma once
// Command line of zav-meter-sim.

#include "meter.h"

#include <QStringList>

#include <string>
#include <vector>

namespace sim {

struct SimOptions {
    MeterConfig meter;
    std::string linkPath;   // symbolic link to the pseudo-terminal
    std::string devicePath; // a serial device to open instead of a pseudo-terminal
    std::string imagePath;  // site file to load the meter's image from
    bool save = false;      // write each accepted image back to imagePath
    std::string logPath;    // time-stamped hex log of requests and answers
    bool logEnds = false;   // also log when each answer's last byte went out (monotonic clock)
    std::vector<int> nodes; // several meters on one line, by node (empty: one meter at meter.node)
};

struct ParseResult {
    // -1: go on and run; otherwise exit with this code after printing out and err.
    int exitCode = -1;
    std::string out; // for standard output (the help text)
    std::string err; // for standard error (what was wrong, then the usage)
    SimOptions options;
};

// args includes the program name first, as QCoreApplication::arguments() gives it.
ParseResult ParseOptions(const QStringList& args);

} // namespace sim
