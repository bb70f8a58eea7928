// zav-cli: the ZAV Instrument Interface's image-level work from the command line: identify a
// meter, read its configuration into a site file, write a site file to it, print a site file's
// audit sheet, check a site file. See --help for the commands and exit statuses.

#include "clisession.h"
#include "commandline.h"
#include "configcommands.h"
#include "exitstatus.h"
#include "meterjob.h"
#include "sitecheck.h"

#include "bus/nodescan.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "engine/sitework.h"
#include "link/linktrace.h"
#include "meterdata/auditsheet.h"
#include "meterdata/sitefile.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace zavcli;

namespace {

const char kName[] = "zav-cli";

void printOut(const QString& text)
{
    if (text.isEmpty())
        return;
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int fail(int status, const QString& reason)
{
    std::fprintf(stderr, "%s: %s\n", kName, CliDialogs::oneLine(reason).toLocal8Bit().constData());
    return status;
}

// Qt's own diagnostics would break the rule of one line on standard error per failure; only fatal
// ones are kept.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s: %s\n", kName, text.toLocal8Bit().constData());
}

int check(const CommandLine& line)
{
    const SiteCheck c = CheckSiteFile(line.file);
    if (!c.sendable())
        return fail(BadSiteFile, c.reason);
    printOut(c.reason);
    return Done;
}

int audit(const CommandLine& line)
{
    const SiteCheck c = CheckSiteFile(line.file);
    if (!c.sendable())
        return fail(BadSiteFile, c.reason);

    // Recalled as the configuration menu recalls it, whose captions head the sheet, as PRINT SITE
    // prints it.
    CliSession cli(line);
    Session& s = cli.session();
    s.SerialNumber = static_cast<std::uint16_t>(line.serial);
    const sitework::Recalled r = sitework::RecallSite(s, line.file);
    if (r.outcome != sitework::Recalled::Outcome::Taken)
        return fail(BadSiteFile, QStringLiteral("cannot read %1: %2").arg(line.file, r.error));
    modBinaryRW::TakeImage(s);
    auditsheet::IdentityLabels labels;
    if (auditsheet::HasIdentityLabels(s.MeterModel))
        labels = auditsheet::MenuLabels(s.MeterModel, s.FirmwareVersion, s.SerialNumber, static_cast<std::uint16_t>(s.ImageChecksum));
    const QByteArray sheet = auditsheet::AuditSheet(s, labels.model, labels.softVer, labels.serial);
    if (line.output.isEmpty()) {
        if (std::fwrite(sheet.constData(), 1, static_cast<std::size_t>(sheet.size()), stdout) != static_cast<std::size_t>(sheet.size())
            || std::fflush(stdout) != 0)
            return fail(CannotWrite, QStringLiteral("cannot write the audit sheet to standard output"));
        return Done;
    }
    const QString error = sitefile::SaveFileBytes(line.output, sheet);
    if (!error.isEmpty())
        return fail(CannotWrite, QStringLiteral("cannot write %1: %2").arg(line.output, error));
    return Done;
}

QString nodeList(const QList<int>& nodes)
{
    if (nodes.isEmpty())
        return QStringLiteral("1-16");
    QStringList parts;
    for (int n : nodes)
        parts << QString::number(n);
    return parts.join(QLatin1Char(','));
}

// The meters on the bus, one line each; done when at least one answered.
int scan(CliSession& cli, const CommandLine& line)
{
    const QString error = cli.openLink();
    if (!error.isEmpty())
        return fail(PortFailed, error);
    NodeScan scan(cli.session());
    QEventLoop loop;
    QObject::connect(&scan, &NodeScan::finished, &loop, &QEventLoop::quit);
    QObject::connect(&scan, &NodeScan::nodeFound, &loop, [](const NodeScan::Found& m) {
        printOut(QStringLiteral("Node %1: model %2, version %3, serial number %4").arg(m.node).arg(m.model).arg(m.version).arg(m.serial));
    });
    QTimer::singleShot(0, &scan, [&] { scan.start(line.nodes, line.waitMs); });
    loop.exec();
    if (!scan.error().isEmpty())
        return fail(PortFailed, scan.error());
    if (scan.found().isEmpty())
        return fail(NoAnswer, QStringLiteral("no meter answered on nodes %1").arg(nodeList(line.nodes)));
    return Done;
}

int meterCommand(const CommandLine& line)
{
    CliSession cli(line);
    // Warnings of the link's start (stored port settings the port refused) come first.
    for (const QString& m : cli.dialogs().messages)
        std::fprintf(stderr, "%s: warning: %s\n", kName, m.toLocal8Bit().constData());
    cli.dialogs().messages.clear();

    if (line.command == CommandLine::Command::Scan)
        return scan(cli, line);
    MeterJob job(cli, ::isatty(STDERR_FILENO) == 1);
    int status = Done;
    switch (line.command) {
    case CommandLine::Command::Identify: status = job.identify(); break;
    case CommandLine::Command::Read: status = job.read(line.file); break;
    case CommandLine::Command::Write: status = job.write(line.file); break;
    default: break;
    }
    if (status != Done)
        return fail(status, job.message());
    printOut(job.message());
    return Done;
}

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(quietQtMessages);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kName));

    const ParseResult parsed = ParseCommandLine(QCoreApplication::arguments());
    if (parsed.kind == ParseResult::Kind::Help) {
        printOut(parsed.text);
        return Done;
    }
    if (parsed.kind == ParseResult::Kind::Error)
        return fail(Usage, parsed.text + QStringLiteral(" (see %1 --help)").arg(QString::fromLatin1(kName)));

    const CommandLine& line = parsed.line;
    if (!line.trace.isEmpty()) {
        const QString error = linktrace::TraceToFile(line.trace);
        if (!error.isEmpty())
            return fail(CannotWrite, QStringLiteral("cannot write the trace to %1: %2").arg(line.trace, error));
    }
    switch (line.command) {
    case CommandLine::Command::Check: return check(line);
    case CommandLine::Command::Audit: return audit(line);
    case CommandLine::Command::Diff:
    case CommandLine::Command::Export:
    case CommandLine::Command::Import: {
        QString reason;
        const int status = RunConfigCommand(line, reason);
        return status == Done || status == Differ ? status : fail(status, reason);
    }
    default: return meterCommand(line);
    }
}
