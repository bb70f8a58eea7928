// The built zav-meter-sim program: its exit codes and messages, its own pseudo-terminal with a
// link, a serial device given with --device with a log, and its end by SIGTERM or SIGINT with the
// summary line.

#include "link/modComFun.h"
#include "options.h"
#include "support/bytes.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using testbytes::Bytes;

namespace {

const QString kSim = QStringLiteral(ZAV_METER_SIM_PATH);

// Starts the simulator and returns the first line of its standard output.
QString start(QProcess& p, const QStringList& args)
{
    p.start(kSim, args);
    if (!p.waitForStarted(10000))
        return {};
    QElapsedTimer t;
    t.start();
    while (!p.canReadLine() && t.elapsed() < 10000)
        p.waitForReadyRead(100);
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

// Runs the simulator to its end: exit code (-1 if it did not exit), standard output and error.
std::tuple<int, QString, QString> run(const QStringList& args)
{
    QProcess p;
    p.start(kSim, args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, {}, {}};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// Ends the simulator with a signal: it exits 0 after printing one more line, which is returned.
QString stop(QProcess& p, int signal)
{
    ::kill(static_cast<pid_t>(p.processId()), signal);
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QStringList rest = QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(rest.size(), 1) << rest.join('\n').toStdString();
    return rest.value(0);
}

} // namespace

TEST(MeterSimProgram, ExitsAsItsParserSaysAndRefusesSiteFilesItCannotLoad)
{
    // The usage line names the running program: here this test, there the simulator.
    const auto asSim = [](const std::string& text) {
        return QString::fromStdString(text).replace(QCoreApplication::arguments().constFirst(), kSim);
    };
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"--bogus"}, QStringList{"--split", "2"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const sim::ParseResult parsed = sim::ParseOptions(QStringList{kSim} << args);
        ASSERT_GE(parsed.exitCode, 0);
        EXPECT_EQ(run(args), std::make_tuple(parsed.exitCode, asSim(parsed.out), asSim(parsed.err)));
    }

    // Files that are not site files: exit 1 with the reason, before the line is opened.
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("site.bin"));
    for (const auto& [bytes, why] : std::vector<std::pair<QByteArray, QString>>{
             {QByteArray(100, 'x'), "holds 100 bytes"}, {QByteArray(1455, 'x'), "checksum"}}) {
        SCOPED_TRACE(why.toStdString());
        ASSERT_TRUE(testbytes::writeFile(path, bytes));
        const auto [code, out, err] = run({QStringLiteral("--image"), path});
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(out.isEmpty() && err.startsWith(QLatin1String("zav-meter-sim: ")) && err.contains(why))
            << err.toStdString();
    }
}

TEST(MeterSimProgram, OnItsPseudoTerminalItMakesTheLinkThenStopsOnSigterm)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = QDir(dir.path()).filePath(QStringLiteral("meter"));
    QProcess sim;
    const QString path = start(sim, {"--link", link});
    ASSERT_TRUE(path.startsWith(QStringLiteral("/dev/pts/"))) << path.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);
    EXPECT_EQ(stop(sim, SIGTERM), QStringLiteral("zav-meter-sim: answered none (0 in all); ignored 0; faults drop:0 "
                                                 "corrupt:0 split:0 noise:0 foreign:0 delay:0"));
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link is removed at exit";
}

TEST(MeterSimProgram, OnADeviceItAnswersAndLogsThenStopsOnSigint)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    const QString logPath = QDir(dir.path()).filePath(QStringLiteral("meter.log"));
    QProcess sim;
    ASSERT_EQ(start(sim, {"--device", pty.slavePath(), "--baud", "115200", "--serial", "4660", "--split", "1", "--log",
                          logPath, "--log-ends"}),
              pty.slavePath());
    // A request with a bad CRC and an identification in one write: one answer, sent in two parts.
    const Bytes identify = modComFun::CommandFrame(3, 17, 0, 0);
    Bytes bad = identify;
    bad[6] ^= 0xFF;
    pty.write(testbytes::qbytes(bad) + testbytes::qbytes(identify));
    EXPECT_EQ(testbytes::fromQ(pty.read(10, 3000)), testbytes::withCrc({17, 34, 0, 0, 1, 3, 0x34, 0x12}));
    const QString summary = stop(sim, SIGINT);
    EXPECT_EQ(summary, QStringLiteral("zav-meter-sim: answered 34:1 (1 in all); ignored 1; faults drop:0 corrupt:0 "
                                      "split:1 noise:0 foreign:0 delay:0"));

    // The log: time-stamped lines for the start, each request and answer in hex, when the answer's
    // last byte went out, and the summary.
    const QStringList log = QString::fromLatin1(testbytes::fileBytes(logPath)).split('\n', Qt::SkipEmptyParts);
    const QString stamp = QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    const QStringList expected = {
        "meter on " + QRegularExpression::escape(pty.slavePath()) + " \\(node 17, 115200 baud\\)",
        "RX 11 22 EF CD 00 00 \\w\\w \\w\\w \\(ignored: bad CRC\\)", "RX 11 22 EF CD 00 00 \\w\\w \\w\\w",
        "TX 11 22 00 00 01 03 34 12 \\w\\w \\w\\w \\[split\\]", "TX end \\d+\\.\\d{3}", QRegularExpression::escape(summary)};
    ASSERT_EQ(log.size(), expected.size()) << log.join('\n').toStdString();
    for (qsizetype i = 0; i < log.size(); ++i)
        EXPECT_TRUE(QRegularExpression(stamp + expected[i] + '$').match(log[i]).hasMatch()) << log[i].toStdString();
}
