#include "configcommands.h"

#include "clisession.h"
#include "exitstatus.h"
#include "meterjob.h"

#include "configtext/configdiff.h"
#include "configtext/configtext.h"
#include "engine/session.h"
#include "meterdata/sitefile.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace zavcli {

namespace {

const char kMeter[] = "meter";
// A configuration text is some 40 kB; anything far beyond is not one.
constexpr qint64 kTextReadLimit = 4 * 1024 * 1024;

bool writeOut(const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) == static_cast<std::size_t>(bytes.size())
           && std::fflush(stdout) == 0;
}

// The meter's image, read through the engine as `read` reads it.
int readMeter(const CommandLine& line, configtext::Config& config, QString& message)
{
    CliSession cli(line);
    for (const QString& m : cli.dialogs().messages)
        std::fprintf(stderr, "zav-cli: warning: %s\n", m.toLocal8Bit().constData());
    cli.dialogs().messages.clear();
    MeterJob job(cli, ::isatty(STDERR_FILENO) == 1);
    const int status = job.readImage();
    if (status != Done) {
        message = job.message();
        return status;
    }
    const Session& s = cli.session();
    config.model = s.MeterModel;
    config.version = s.FirmwareVersion;
    std::copy_n(s.ParamImage.begin(), configtext::kImageBytes, config.image.begin());
    config.checksum = config.imageChecksum();
    return Done;
}

int diff(const CommandLine& line, QString& message)
{
    configtext::Config a, b;
    const bool meterA = line.file == QLatin1String(kMeter), meterB = line.file2 == QLatin1String(kMeter);
    // The files are checked before the meter is asked for anything.
    for (const auto& [path, config, meter] : {std::tuple{line.file, &a, meterA}, std::tuple{line.file2, &b, meterB}})
        if (!meter && !configtext::ReadSiteConfig(path, *config, message))
            return BadSiteFile;
    if (meterA || meterB) {
        configtext::Config meter;
        const int status = readMeter(line, meter, message);
        if (status != Done)
            return status;
        if (meterA)
            a = meter;
        if (meterB)
            b = meter;
    }
    configtext::Difference d = configtext::Compare(a, b);
    configtext::Ignore(d, a, b, line.ignore);
    const QByteArray out = line.json ? configtext::DiffJson(d, line.file, a, line.file2, b)
                                     : configtext::DiffText(d, line.file, a, line.file2, b).toLatin1();
    if (!writeOut(out)) {
        message = QStringLiteral("cannot write the differences to standard output");
        return CannotWrite;
    }
    return d.equal() ? Done : Differ;
}

int exportText(const CommandLine& line, QString& message)
{
    configtext::Config config;
    if (!configtext::ReadSiteConfig(line.file, config, message))
        return BadSiteFile;
    const QByteArray text = configtext::ExportText(config);
    if (line.output.isEmpty()) {
        if (writeOut(text))
            return Done;
        message = QStringLiteral("cannot write the configuration text to standard output");
        return CannotWrite;
    }
    const QString error = sitefile::SaveFileBytes(line.output, text);
    if (!error.isEmpty()) {
        message = QStringLiteral("cannot write %1: %2").arg(line.output, error);
        return CannotWrite;
    }
    return Done;
}

int importText(const CommandLine& line, QString& message)
{
    QByteArray text;
    const QString readError = sitefile::ReadFileBytes(line.file, kTextReadLimit, text);
    if (!readError.isEmpty()) {
        message = QStringLiteral("cannot read %1: %2; %3 not written").arg(line.file, readError, line.output);
        return BadSiteFile;
    }
    if (text.size() >= kTextReadLimit) {
        message = QStringLiteral("%1 is too long to be a configuration text; %2 not written").arg(line.file, line.output);
        return BadSiteFile;
    }
    configtext::Config config;
    QStringList errors;
    if (!configtext::ImportText(text, config, errors)) {
        const QString more = errors.size() > 1 ? QStringLiteral(" (and %1 more)").arg(errors.size() - 1) : QString();
        message = QStringLiteral("%1 %2%3; %4 not written").arg(line.file, errors.first(), more, line.output);
        return BadSiteFile;
    }
    // Replaced through a temporary file: an earlier site file stays whole if the write fails.
    const QString error = sitefile::SaveFileBytes(line.output, config.siteFileBytes());
    if (!error.isEmpty()) {
        message = QStringLiteral("cannot write %1: %2").arg(line.output, error);
        return CannotWrite;
    }
    std::fprintf(stdout, "%s\n",
                 QStringLiteral("Wrote %1 (model %2, version %3) from %4")
                     .arg(line.output)
                     .arg(config.model)
                     .arg(config.version)
                     .arg(line.file)
                     .toLocal8Bit()
                     .constData());
    return Done;
}

} // namespace

int RunConfigCommand(const CommandLine& line, QString& message)
{
    switch (line.command) {
    case CommandLine::Command::Diff: return diff(line, message);
    case CommandLine::Command::Export: return exportText(line, message);
    case CommandLine::Command::Import: return importText(line, message);
    default: return Usage;
    }
}

} // namespace zavcli
