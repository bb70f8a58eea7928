// zav-cli against the meter simulator over its pseudo-terminal: identification, image read and
// write with byte-identical site files, the stored port preferences, progress on a terminal, and
// the failures (no port, a silent meter, a meter that stops in the middle) with their statuses
// and times.

#include "test_zav_cli.h"

#include "link/modComFun.h"
#include "meterdata/sitetest.h"
#include "support/pty.h"
#include "support/simprocess.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstring>

using namespace zavclitest;
using namespace sitetest;

namespace {

QByteArray siteFile(char model, char version, const QByteArray& image)
{
    return QByteArray() + model + version + byteSum(image) + image;
}

QStringList withDevice(QStringList args, const QString& device)
{
    return args << "--device" << device;
}

// The link trace's lines as (time in ms of the day, event, rest).
struct TraceLine {
    qint64 ms = 0;
    QString event;
    QString rest;
};
QList<TraceLine> traceLines(const QString& path)
{
    QList<TraceLine> lines;
    for (const QString& line : QString::fromLatin1(fileBytes(path)).split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = QRegularExpression("^(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d{3}) (\\S+) ?(.*)$").match(line);
        EXPECT_TRUE(m.hasMatch()) << line.toStdString();
        if (m.hasMatch())
            lines.append({((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 + m.captured(3).toLongLong()) * 1000
                              + m.captured(4).toLongLong(),
                          m.captured(5), m.captured(6)});
    }
    return lines;
}
// From the last request written to the time-out, by the trace's own clock.
qint64 waitedAfterLastRequest(const QList<TraceLine>& lines)
{
    qint64 sent = -1;
    for (const TraceLine& l : lines) {
        if (l.event == "sent")
            sent = l.ms;
        else if (l.event == "time-out:" && sent >= 0)
            return l.ms - sent;
    }
    return -1;
}

// zav-cli started on the line of a meter that the test plays itself.
class ScriptedRun {
public:
    ScriptedRun(const QStringList& args, const ConfigHome& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path());
        cli.setProcessEnvironment(env);
        cli.start(ZAV_CLI_PATH, withDevice(args, line.slavePath()));
    }
    // The meter's answer, as the meter frames it.
    void answer(std::uint8_t code, const std::vector<std::uint8_t>& payload)
    {
        const auto frame = modComFun::AnswerFrame(17, code, payload);
        line.write(QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size())));
    }

    PtyPair line;
    QProcess cli;
};

} // namespace

TEST(ZavCliWithMeter, ReadWriteReadGivesIdenticalSiteFiles)
{
    ConfigHome home;
    QTemporaryDir dir;
    const std::string meterFile = dir.filePath("meter.bin").toStdString();
    std::string error;
    ASSERT_TRUE(sim::WriteSiteFile(meterFile, sim::FactoryImage(), 7, 9, error)) << error;
    SimProcess meter({"--baud", "115200", "--model", "7", "--version", "9", "--serial", "4321", "--image",
                      QString::fromStdString(meterFile), "--save"});
    ASSERT_TRUE(meter.ok());

    CliRun r = runCli(withDevice({"identify"}, meter.device()), home);
    expectSuccess(r);
    EXPECT_EQ(r.out, "Model: 7\nVersion: 9\nSerial number: 4321\n");

    // The read replaces an existing file with exactly what the menu's store writes; its trace
    // shows each request followed by its answer: the identification, the image blocks, the end.
    const QString first = dir.filePath("first.bin");
    const QString trace = dir.filePath("read.trace");
    ASSERT_TRUE(writeFile(first, "an older site file"));
    r = runCli(withDevice({"read", first, "--trace", trace}, meter.device()), home);
    expectSuccess(r);
    EXPECT_EQ(fileBytes(first), factorySiteFile(7, 9));
    EXPECT_TRUE(r.out.contains("serial number 4321")) << describe(r);
    const QList<TraceLine> lines = traceLines(trace);
    ASSERT_GE(lines.size(), 6);
    qsizetype blockBytes = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i].event.toStdString() + " " + lines[i].rest.toStdString());
        EXPECT_EQ(lines[i].event, i % 2 == 0 ? "sent" : "taken");
        // The closing answer to the request after the last block is the meter's 37.
        EXPECT_TRUE(lines[i].rest.startsWith(i < 2 ? "11 22" : i + 1 == lines.size() ? "11 25" : "11 20"));
        if (i % 2 == 1 && i > 1 && i + 1 < lines.size())
            blockBytes += 2 * lines[i].rest.mid(18, 2).toInt(nullptr, 16); // byte 6: words in the block
    }
    EXPECT_EQ(blockBytes, 1452) << "every block of the image is in the trace";

    // Files the menu could not send are refused before anything goes on the line (the count of
    // write answers at the end shows that nothing was sent).
    QByteArray damaged = factorySiteFile(7, 9);
    damaged[2] = static_cast<char>(damaged[2] ^ 1);
    ASSERT_TRUE(writeFile(dir.filePath("damaged.bin"), damaged));
    expectFailure(runCli(withDevice({"write", dir.filePath("damaged.bin")}, meter.device()), home), 6,
                  "checksum byte is");
    ASSERT_TRUE(writeFile(dir.filePath("short.bin"), factorySiteFile(7, 9).left(1000)));
    const CliRun shortRun = runCli(withDevice({"write", dir.filePath("short.bin")}, meter.device()), home);
    expectFailure(shortRun, 6, "it has 1000 bytes, a site file has 1455");
    EXPECT_TRUE(shortRun.err.contains("nothing sent")) << describe(shortRun);

    // An edited image goes to the meter whole.
    QByteArray edited = qbytes(sim::FactoryImage());
    std::memcpy(edited.data(), "BENCH 7   ", 10);
    const float k = 1.25f;
    std::memcpy(edited.data() + 1068 + 76, &k, sizeof k);
    const QString editedFile = dir.filePath("edited.bin");
    ASSERT_TRUE(writeFile(editedFile, siteFile(7, 9, edited)));
    r = runCli(withDevice({"write", editedFile}, meter.device()), home);
    expectSuccess(r);
    EXPECT_TRUE(r.out.contains("the meter confirmed the image")) << describe(r);
    sim::Image saved;
    std::uint8_t model = 0;
    std::uint8_t version = 0;
    ASSERT_TRUE(sim::ReadSiteFile(meterFile, saved, model, version, error)) << error;
    EXPECT_EQ(qbytes(saved), edited);

    // Read back: the same file that was written.
    const QString again = dir.filePath("again.bin");
    r = runCli(withDevice({"read", again}, meter.device()), home);
    expectSuccess(r);
    EXPECT_EQ(fileBytes(again), fileBytes(editedFile));

    // The first file back, and read once more: the first file again.
    expectSuccess(runCli(withDevice({"write", first}, meter.device()), home));
    const QString last = dir.filePath("last.bin");
    expectSuccess(runCli(withDevice({"read", last}, meter.device()), home));
    EXPECT_EQ(fileBytes(last), fileBytes(first));

    // One identification per command that reads, seven read answers per read (six blocks of 122
    // words and the closing one), thirteen write answers per write: no retries, no stray requests.
    const QString summary = meter.stop();
    EXPECT_TRUE(summary.contains("answered 32:21 33:26 34:4 (51 in all); ignored 0;")) << summary.toStdString();
}

TEST(ZavCliWithMeter, PortFromTheStoredPreferencesUnlessGiven)
{
    QTemporaryDir dir;
    SimProcess meter({"--baud", "115200", "--serial", "808"});
    ASSERT_TRUE(meter.ok());
    ConfigHome home;
    const QString missing = dir.filePath("no-such-port");
    const QByteArray store = "[Properties]\nSettings=\"115200,n,8,1\"\nCommPort=3\nHandshaking=0\nEcho=False\n[Ports]\nCom3="
                             + meter.device().toLocal8Bit() + "\nCom5=" + missing.toLocal8Bit() + "\n";
    ASSERT_TRUE(home.writeStore(store));

    CliRun r = runCli({"identify"}, home);
    expectSuccess(r);
    EXPECT_EQ(r.out, "Model: 1\nVersion: 3\nSerial number: 808\n");

    // --port takes the device the window tool maps to that number.
    expectFailure(runCli({"identify", "--port", "5"}, home), 3, missing);
    r = runCli({"identify", "--port", "3", "--settings", "9600,e,7,1"}, home);
    expectSuccess(r);
    EXPECT_EQ(r.out, "Model: 1\nVersion: 3\nSerial number: 808\n");
    // --device names the device itself, whatever is stored.
    expectFailure(runCli({"identify", "--device", dir.filePath("absent")}, home), 3, dir.filePath("absent"));
    // The preferences are the window tool's: read, never written.
    EXPECT_EQ(fileBytes(home.storeFile()), store);
}

TEST(ZavCliWithMeter, ProgressGoesToStandardErrorOnATerminal)
{
    ConfigHome home;
    QTemporaryDir dir;
    SimProcess meter({"--baud", "115200", "--chunk-words", "56"});
    ASSERT_TRUE(meter.ok());
    PtyPair terminal;
    ASSERT_TRUE(terminal.ok());
    RunOptions onTerminal;
    onTerminal.stderrFile = terminal.slavePath();

    const QString file = dir.filePath("site.bin");
    CliRun r = runCli(withDevice({"read", file}, meter.device()), home, onTerminal);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << describe(r);
    QString shown = QString::fromLocal8Bit(terminal.read(1 << 20, 300));
    // Thirteen blocks of at most 56 words: the count rises block by block to the whole image.
    EXPECT_TRUE(shown.contains("\rReading the image:  112 of 1452 bytes")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("\rReading the image: 1452 of 1452 bytes\n")) << shown.toStdString();

    r = runCli(withDevice({"write", file}, meter.device()), home, onTerminal);
    EXPECT_EQ(r.status, 0) << describe(r);
    shown = QString::fromLocal8Bit(terminal.read(1 << 20, 300));
    EXPECT_TRUE(shown.endsWith("\rWriting the image: 1452 of 1452 bytes\n")) << shown.toStdString();
}

TEST(ZavCliWithScriptedMeter, RefusedImageAndAnswersThatDoNotContinue)
{
    ConfigHome home;
    QTemporaryDir dir;
    QByteArray image = qbytes(sim::FactoryImage());
    for (int i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(image[i] ^ (i * 7));
    const QString file = dir.filePath("site.bin");
    ASSERT_TRUE(writeFile(file, siteFile(1, 3, image)));

    // The image goes out in twelve blocks of 56 words and one of 54, flagged first, following and
    // last; the meter acknowledges all but the last, which it refuses.
    {
        ScriptedRun run({"write", file}, home);
        ASSERT_TRUE(run.line.ok());
        QByteArray sent;
        for (int block = 0; block < 13; ++block) {
            const int words = block < 12 ? 56 : 54;
            const QByteArray frame = run.line.read(2 * words + 10, 3000);
            ASSERT_EQ(frame.size(), 2 * words + 10) << "block " << block;
            EXPECT_EQ(frame.left(6), QByteArray::fromHex("1121efcd") + char(words)
                                         + char(block == 0 ? 0 : block < 12 ? 1 : 2))
                << "block " << block;
            sent += frame.mid(6, 2 * words);
            run.answer(block < 12 ? modComFun::WriteImage : modComFun::WriteRefused, {0, 0});
        }
        EXPECT_EQ(sent, image);
        ASSERT_TRUE(run.cli.waitForFinished(5000));
        EXPECT_EQ(run.cli.exitCode(), 8);
        EXPECT_EQ(run.cli.readAllStandardError(), "zav-cli: the meter refused the image (answer code 93)\n");
        EXPECT_TRUE(run.line.read(1, 200).isEmpty()) << "nothing follows the last block";
    }

    // A read whose first block request gets an answer that does not continue it ends at once,
    // without waiting for a time-out, and stores nothing.
    {
        const QString out = dir.filePath("read.bin");
        ScriptedRun run({"read", out}, home);
        ASSERT_EQ(run.line.read(8, 3000).left(2), QByteArray::fromHex("1122"));
        run.answer(modComFun::Identify, {0, 0, 1, 3, 0x39, 0x30});
        ASSERT_EQ(run.line.read(8, 3000).left(2), QByteArray::fromHex("1120"));
        QElapsedTimer sinceAnswer;
        sinceAnswer.start();
        run.answer(modComFun::TransferDone, {0, 0});
        ASSERT_TRUE(run.cli.waitForFinished(5000));
        EXPECT_LT(sinceAnswer.elapsed(), 1000);
        EXPECT_EQ(run.cli.exitCode(), 5);
        EXPECT_EQ(run.cli.readAllStandardError(),
                  "zav-cli: the image read stopped: the meter's answer (function code 37) did not continue it (0 of "
                  "1452 bytes arrived); " + out.toLocal8Bit() + " not written\n");
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

TEST(ZavCliFailures, NoPortAndSilentMeter)
{
    ConfigHome home;
    QTemporaryDir dir;
    const QString out = dir.filePath("site.bin");

    CliRun r = runCli(withDevice({"read", out}, dir.filePath("ttyNone")), home);
    expectFailure(r, 3, "The serial port " + dir.filePath("ttyNone") + " was not found.");
    EXPECT_FALSE(QFileInfo::exists(out));

    // A line with nobody at the far end: one identification request, no retry, and after the
    // whole 3 s time-out (timed from the request by the link's trace) the earlier file is still
    // there.
    PtyPair silent;
    ASSERT_TRUE(silent.ok());
    ASSERT_TRUE(writeFile(out, "an older site file"));
    const QString trace = dir.filePath("silent.trace");
    r = runCli(withDevice({"read", out, "--trace", trace}, silent.slavePath()), home);
    expectFailure(r, 4, "no answer from the meter on " + silent.slavePath() + " within 3 s; " + out + " not written");
    const qint64 waited = waitedAfterLastRequest(traceLines(trace));
    EXPECT_GE(waited, 3000);
    EXPECT_LT(waited, 4000);
    EXPECT_EQ(fileBytes(out), "an older site file");
    const QByteArray sent = silent.read(1 << 16, 200);
    ASSERT_EQ(sent.size(), 8) << sent.toHex(' ').toStdString();
    EXPECT_EQ(sent.left(6), QByteArray::fromHex("1122efcd0000"));
}

TEST(ZavCliFailures, MeterStoppingInTheMiddle)
{
    ConfigHome home;
    QTemporaryDir dir;
    const QString out = dir.filePath("site.bin");

    // Seed 3 withholds the fifth read answer: half the image has arrived.
    {
        SimProcess meter({"--baud", "115200", "--drop", "0.25", "--seed", "3"});
        ASSERT_TRUE(meter.ok());
        const QString trace = dir.filePath("stopping.trace");
        const CliRun r = runCli(withDevice({"read", out, "--trace", trace}, meter.device()), home);
        expectFailure(r, 5, "the meter stopped answering during the image read (732 of 1452 bytes arrived); " + out
                                + " not written");
        EXPECT_FALSE(QFileInfo::exists(out));
        const qint64 waited = waitedAfterLastRequest(traceLines(trace));
        EXPECT_GE(waited, 3000) << "the link waits its whole time-out";
        EXPECT_LT(waited, 4000);
    }

    // The line goes away during a slow read (the first block takes 2 s at 1200 baud).
    SimProcess slow({"--baud", "1200"});
    ASSERT_TRUE(slow.ok());
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.path());
    cli.setProcessEnvironment(env);
    cli.start(ZAV_CLI_PATH, withDevice({"read", out}, slow.device()));
    ASSERT_TRUE(cli.waitForStarted(10000));
    EXPECT_FALSE(cli.waitForFinished(1000));
    QElapsedTimer sinceLoss;
    sinceLoss.start();
    slow.stop();
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_LT(sinceLoss.elapsed(), 1500);
    EXPECT_EQ(cli.exitCode(), 5);
    const QByteArray err = cli.readAllStandardError();
    EXPECT_TRUE(err.startsWith("zav-cli: the transfer stopped: The serial port " + slow.device().toLocal8Bit()
                               + " is no longer available"))
        << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1);
    EXPECT_FALSE(QFileInfo::exists(out));
}
