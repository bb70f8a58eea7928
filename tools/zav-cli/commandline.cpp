#include "commandline.h"

#include "configtext/configdiff.h"
#include "platform/linesettings.h"

#include <QCommandLineParser>

namespace zavcli {

namespace {

const char kDescription[] =
    "Image-level work with the ZAV flow meter over its serial line, on the link, image codec, site\n"
    "files and audit sheet of the ZAV Instrument Interface.\n"
    "\n"
    "Commands:\n"
    "  identify              Print the meter's model, firmware version and serial number.\n"
    "  read FILE             Read the meter's configuration into the site file FILE\n"
    "                        (replaced only once the whole image has arrived).\n"
    "  write FILE            Write the site file FILE to the meter; a file of the wrong length\n"
    "                        or checksum is refused and nothing is sent.\n"
    "  audit SITEFILE        Write the audit sheet of SITEFILE to standard output, or to OUT\n"
    "        [-o OUT]        with -o (the same bytes as PRINT SITE).\n"
    "  check SITEFILE        Tell whether SITEFILE is a whole site file that can be sent.\n"
    "  diff A B [--json]     Tell how configuration B differs from A, each a site file or\n"
    "       [--ignore CELL]  \"meter\" (the image read from the meter now): the head, then each\n"
    "                        cell that differs by group, caption and value, then the bytes\n"
    "                        outside every cell; --json prints the same as one JSON document.\n"
    "                        --ignore leaves out a cell (global.MeterName) or the cells whose\n"
    "                        names begin so (chanB.*); it may be given more than once.\n"
    "  export SITEFILE       Write SITEFILE as text, one line per cell, to standard output or\n"
    "         [-o TEXT]      to TEXT.\n"
    "  import TEXT           Rebuild the site file SITEFILE from such a text; a text with\n"
    "         -o SITEFILE    any fault writes nothing.\n"
    "  scan [--nodes LIST]   Find the meters on an RS-485 bus: the identification to each node\n"
    "       [--wait MS]      (1-16 unless --nodes gives others, e.g. 1-16 or 3,7,12), each waited\n"
    "                        for MS ms after its request (default 150); one line per meter.\n"
    "\n"
    "The port is the one stored by the Instrument Interface (CommPort Properties) unless\n"
    "--port or --device is given; its line settings likewise unless --settings is given.\n"
    "--node N sends every request to node N (default: the Poll node 17). Each request waits\n"
    "at most 3 s for its answer; nothing is repeated. Progress of a\n"
    "transfer goes to standard error when it is a terminal.";

const char kExitStatuses[] =
    "\nExit status:\n"
    "  0  done; diff: the configurations are the same\n"
    "  1  diff: the configurations differ\n"
    "  2  bad command line\n"
    "  3  the serial port cannot be opened or written\n"
    "  4  the meter did not answer (3 s); scan: no meter answered\n"
    "  5  the transfer stopped before its end (the meter fell silent or the line was lost);\n"
    "     read stores nothing\n"
    "  6  the site file cannot be read, or could not be sent (wrong length or checksum);\n"
    "     import: the text has a fault (each is told with its line)\n"
    "  7  the output file cannot be written\n"
    "  8  the meter did not accept the written image";

ParseResult usageError(const QString& reason)
{
    ParseResult r;
    r.kind = ParseResult::Kind::Error;
    r.text = reason;
    return r;
}

} // namespace

ParseResult ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and the exit statuses."));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("Serial port number n (the device that the Instrument Interface "
                                                 "maps to Com<n>)."),
                                  QStringLiteral("n"));
    const QCommandLineOption device({QStringLiteral("d"), QStringLiteral("device")},
                                    QStringLiteral("Serial device path, instead of a port number."), QStringLiteral("path"));
    const QCommandLineOption settings({QStringLiteral("s"), QStringLiteral("settings")},
                                      QStringLiteral("Line settings: baud,parity,data bits,stop bits (e.g. 9600,n,8,1)."),
                                      QStringLiteral("text"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("audit, export, import: write to this file (replaced safely)."),
                                    QStringLiteral("file"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("audit: serial number shown on the sheet; a site file carries none "
                                                   "(default 0, as before any meter is identified)."),
                                    QStringLiteral("n"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Append the link trace (every frame written, every answer taken or "
                                                  "refused, with time stamps) to this file."),
                                   QStringLiteral("file"));
    const QCommandLineOption node(QStringLiteral("node"), QStringLiteral("Send every request to node n (1..247; 17 is the Poll node)."),
                                  QStringLiteral("n"));
    const QCommandLineOption nodes(QStringLiteral("nodes"), QStringLiteral("scan: the nodes to ask, e.g. 1-16 or 3,7,12."),
                                   QStringLiteral("list"));
    const QCommandLineOption wait(QStringLiteral("wait"), QStringLiteral("scan: each node's wait after its request, in ms (default 150)."),
                                  QStringLiteral("ms"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("diff: print the differences as one JSON document."));
    const QCommandLineOption earlyEnd(QStringLiteral("early-end"),
                                      QStringLiteral("Early end of answer: take an answer whose check sum is right after "
                                                     "3.5 characters of silence instead of 50 ms (as the preference of "
                                                     "CommPort Properties)."));
    const QCommandLineOption ignore(QStringLiteral("ignore"),
                                    QStringLiteral("diff: leave out this cell, or the cells whose names begin so (chanB.*)."),
                                    QStringLiteral("cell"));
    parser.addOptions({help, port, device, settings, output, serial, trace, node, nodes, wait, json, ignore, earlyEnd});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("identify, read, write, audit, check, scan, diff, export or import."));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The site file of read, write, audit and check."),
                                 QStringLiteral("[file]"));

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        ParseResult r;
        r.kind = ParseResult::Kind::Help;
        // The usage line names the program as it is installed, not by the path it was started with.
        QString text = parser.helpText();
        if (!arguments.isEmpty())
            text.replace(text.indexOf(arguments.first()), arguments.first().size(), QStringLiteral("zav-cli"));
        r.text = text + QString::fromLatin1(kExitStatuses);
        return r;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    CommandLine line;
    const QString name = args.first();
    if (name == QLatin1String("identify"))
        line.command = CommandLine::Command::Identify;
    else if (name == QLatin1String("read"))
        line.command = CommandLine::Command::Read;
    else if (name == QLatin1String("write"))
        line.command = CommandLine::Command::Write;
    else if (name == QLatin1String("audit"))
        line.command = CommandLine::Command::Audit;
    else if (name == QLatin1String("check"))
        line.command = CommandLine::Command::Check;
    else if (name == QLatin1String("scan"))
        line.command = CommandLine::Command::Scan;
    else if (name == QLatin1String("diff"))
        line.command = CommandLine::Command::Diff;
    else if (name == QLatin1String("export"))
        line.command = CommandLine::Command::Export;
    else if (name == QLatin1String("import"))
        line.command = CommandLine::Command::Import;
    else
        return usageError(QStringLiteral("unknown command \"%1\"").arg(name));

    const int files = line.command == CommandLine::Command::Identify || line.command == CommandLine::Command::Scan ? 0
                      : line.command == CommandLine::Command::Diff                                               ? 2
                                                                                                                 : 1;
    if (args.size() - 1 < files)
        return usageError(files == 2 ? QStringLiteral("%1 needs two configurations, site files or \"meter\"").arg(name)
                                     : QStringLiteral("%1 needs a file name").arg(name));
    if (args.size() - 1 > files)
        return usageError(QStringLiteral("too many arguments for %1: \"%2\"").arg(name, args.at(files + 1)));
    if (files >= 1) {
        line.file = args.at(1);
        if (line.file.isEmpty())
            return usageError(QStringLiteral("%1 needs a file name").arg(name));
    }
    if (files == 2) {
        line.file2 = args.at(2);
        if (line.file2.isEmpty())
            return usageError(QStringLiteral("%1 needs two configurations, site files or \"meter\"").arg(name));
    }

    if (parser.isSet(port) && parser.isSet(device))
        return usageError(QStringLiteral("give either --port or --device, not both"));
    if (parser.isSet(port)) {
        bool ok = false;
        line.port = parser.value(port).toInt(&ok);
        if (!ok || line.port < 1 || line.port > 255)
            return usageError(QStringLiteral("--port needs a port number from 1 to 255, not \"%1\"").arg(parser.value(port)));
    }
    if (parser.isSet(device)) {
        line.device = parser.value(device);
        if (line.device.isEmpty())
            return usageError(QStringLiteral("--device needs a device path"));
    }
    if (parser.isSet(settings)) {
        line.settings = parser.value(settings);
        LineSettings parsed;
        if (!LineSettings::parse(line.settings, &parsed))
            return usageError(QStringLiteral("--settings needs baud,parity,data bits,stop bits such as 9600,n,8,1, not \"%1\"")
                                  .arg(line.settings));
    }
    if (parser.isSet(output)) {
        if (line.command != CommandLine::Command::Audit && line.command != CommandLine::Command::Export
            && line.command != CommandLine::Command::Import)
            return usageError(QStringLiteral("-o belongs to audit, export and import"));
        line.output = parser.value(output);
        if (line.output.isEmpty())
            return usageError(QStringLiteral("-o needs a file name"));
    }
    if (parser.isSet(serial)) {
        if (line.command != CommandLine::Command::Audit)
            return usageError(QStringLiteral("--serial belongs to audit only"));
        bool ok = false;
        line.serial = parser.value(serial).toInt(&ok);
        if (!ok || line.serial < 0 || line.serial > 65535)
            return usageError(QStringLiteral("--serial needs a number from 0 to 65535, not \"%1\"").arg(parser.value(serial)));
    }

    if (line.command == CommandLine::Command::Import && line.output.isEmpty())
        return usageError(QStringLiteral("import needs the site file to write: -o SITEFILE"));
    if (parser.isSet(json)) {
        if (line.command != CommandLine::Command::Diff)
            return usageError(QStringLiteral("--json belongs to diff only"));
        line.json = true;
    }
    if (parser.isSet(ignore)) {
        if (line.command != CommandLine::Command::Diff)
            return usageError(QStringLiteral("--ignore belongs to diff only"));
        line.ignore = parser.values(ignore);
        for (const QString& cell : line.ignore) {
            if (!configtext::NamesACell(cell))
                return usageError(QStringLiteral("--ignore %1 names no cell (see the names zav-cli export writes)").arg(cell));
        }
    }

    if (parser.isSet(node)) {
        if ((!line.meterCommand() || line.command == CommandLine::Command::Scan) && line.command != CommandLine::Command::Diff)
            return usageError(QStringLiteral("--node belongs to identify, read, write and diff"));
        bool ok = false;
        line.node = parser.value(node).toInt(&ok);
        if (!ok || line.node < 1 || line.node > 247)
            return usageError(QStringLiteral("--node needs a node address from 1 to 247, not \"%1\"").arg(parser.value(node)));
    }
    if (parser.isSet(nodes) || parser.isSet(wait)) {
        if (line.command != CommandLine::Command::Scan)
            return usageError(QStringLiteral("--nodes and --wait belong to scan only"));
    }
    if (parser.isSet(nodes)) {
        const QString text = parser.value(nodes);
        for (const QString& part : text.split(QLatin1Char(','))) {
            const QStringList range = part.trimmed().split(QLatin1Char('-'));
            bool okA = false, okB = true;
            const int a = range.value(0).toInt(&okA);
            const int b = range.size() == 2 ? range[1].toInt(&okB) : a;
            if (range.size() > 2 || !okA || !okB || a < 1 || b > 247 || a > b)
                return usageError(QStringLiteral("--nodes needs nodes 1..247 such as 1-16 or 3,7,12, not \"%1\"").arg(text));
            for (int n = a; n <= b; ++n)
                if (!line.nodes.contains(n))
                    line.nodes << n;
        }
    }
    if (parser.isSet(wait)) {
        bool ok = false;
        line.waitMs = parser.value(wait).toInt(&ok);
        if (!ok || line.waitMs < 1 || line.waitMs > 3000)
            return usageError(QStringLiteral("--wait needs a number of milliseconds from 1 to 3000, not \"%1\"").arg(parser.value(wait)));
    }

    line.earlyEnd = parser.isSet(earlyEnd);
    if (parser.isSet(trace)) {
        line.trace = parser.value(trace);
        if (line.trace.isEmpty())
            return usageError(QStringLiteral("--trace needs a file name"));
    }

    ParseResult r;
    r.kind = ParseResult::Kind::Run;
    r.line = line;
    return r;
}

} // namespace zavcli
