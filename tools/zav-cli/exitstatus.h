#pragma once
// The exit statuses of zav-cli: each failure has its own, so a script can tell them apart.

namespace zavcli {

enum ExitStatus : int {
    Done = 0,
    Differ = 1,          // diff: the configurations differ
    Usage = 2,           // bad command line
    PortFailed = 3,      // the serial port cannot be opened or written
    NoAnswer = 4,        // the meter did not answer the first request (3 s)
    TransferStopped = 5, // the meter stopped answering, or the line was lost, before the end
    BadSiteFile = 6,     // the site file cannot be read, or could not be sent (length, checksum)
    CannotWrite = 7,     // the output file cannot be written
    Refused = 8,         // the meter did not accept the written image
};

} // namespace zavcli
