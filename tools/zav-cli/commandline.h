#pragma once
// The command line of zav-cli: one command, its file argument, and the options.

#include <QString>
#include <QList>
#include <QStringList>

namespace zavcli {

struct CommandLine {
    enum class Command { Identify, Read, Write, Audit, Check, Scan, Diff, Export, Import };

    Command command = Command::Identify;
    QString file;       // read, write, audit, check, export, import; diff: the first configuration
    QString output;     // audit, export, import -o; empty: standard output
    QString file2;      // diff: the second configuration ("meter" for the meter's)
    bool json = false;  // diff --json
    QStringList ignore; // diff --ignore, each a cell name or a beginning of names with '*'
    int port = 0;       // --port; 0: the stored port number
    QString device;     // --device; empty: the device the port number names
    QString settings;   // --settings; empty: the stored line settings
    int serial = 0;     // audit --serial: the serial number shown on the sheet
    QString trace;      // --trace: the file the link trace goes to
    int node = 0;       // --node: the node every request goes to; 0: the Poll node 17
    QList<int> nodes;   // scan --nodes; empty: 1..16
    int waitMs = 150;   // scan --wait: each node's wait after its request
    bool earlyEnd = false; // --early-end: answers end after 3.5 characters of silence (else as stored)

    bool meterCommand() const
    {
        return command == Command::Identify || command == Command::Read || command == Command::Write
               || command == Command::Scan;
    }
};

struct ParseResult {
    enum class Kind { Run, Help, Error };
    Kind kind = Kind::Error;
    CommandLine line;
    QString text; // the help text, or the one-line reason of a usage error
};

// arguments include the program name first, as QCoreApplication::arguments() gives them.
ParseResult ParseCommandLine(const QStringList& arguments);

} // namespace zavcli
