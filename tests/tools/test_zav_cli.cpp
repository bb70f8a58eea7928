// The built zav-cli as a child process with settings of its own: its command line, the check of
// site files, the audit sheet (the configuration menu's PRINT SITE byte for byte); then against the
// meter simulator, or a meter the test plays, over a pseudo-terminal: identification, byte-identical
// read and write, the stored port preferences, progress on a terminal, and the failures.

#include "link/modComFun.h"
#include "meterdata/frmConfig.h"
#include "meterdata/sitetest.h"
#include "support/fakesession.h"
#include "support/pty.h"
#include "support/simprocess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTime>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

using namespace sitetest;

namespace {

// A per-user settings home for the child: the window tool's store lives under it.
struct ConfigHome {
    QTemporaryDir dir;
    QString storeFile() const { return dir.filePath(QStringLiteral("ZAV/Instrument Interface.ini")); }
    bool writeStore(const QByteArray& ini) const { return QDir(dir.path()).mkpath("ZAV") && writeFile(storeFile(), ini); }
};

void startCli(QProcess& p, const QStringList& args, const ConfigHome& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.dir.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZAV_CLI_PATH), args);
}

struct CliRun {
    bool finished = false;
    int status = -1;
    QByteArray out, err;
    qint64 ms = 0;
};

// Runs zav-cli to its end; standard error goes to `stderrFile` when one is given (a terminal).
CliRun runCli(const QStringList& args, const ConfigHome& home, const QString& stderrFile = {}, int timeoutMs = 20000)
{
    CliRun r;
    QProcess p;
    if (!stderrFile.isEmpty())
        p.setStandardErrorFile(stderrFile, QIODevice::Append);
    QElapsedTimer clock;
    clock.start();
    startCli(p, args, home);
    if (!p.waitForStarted(10000))
        return r;
    r.finished = p.waitForFinished(timeoutMs);
    r.ms = clock.elapsed();
    if (!r.finished) {
        p.kill();
        p.waitForFinished(2000);
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

std::string describe(const CliRun& r)
{
    return "status " + std::to_string(r.status) + " after " + std::to_string(r.ms) + " ms\nstdout: " + r.out.toStdString()
           + "\nstderr: " + r.err.toStdString();
}

// A failure: the given status, nothing on standard output, one line on standard error naming the
// program and containing the given words.
void expectFailure(const CliRun& r, int status, const QString& words)
{
    ASSERT_TRUE(r.finished) << describe(r);
    EXPECT_EQ(r.status, status) << describe(r);
    EXPECT_TRUE(r.out.isEmpty() && r.err.startsWith("zav-cli: ") && r.err.count('\n') == 1 && r.err.endsWith('\n'))
        << describe(r);
    EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(words)) << "expected \"" << words.toStdString() << "\"\n"
                                                                << describe(r);
}

// Success: status 0 and nothing on standard error (which is not a terminal here).
void expectSuccess(const CliRun& r)
{
    ASSERT_TRUE(r.finished) << describe(r);
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_TRUE(r.err.isEmpty()) << describe(r);
}

QString hex(char b) { return "0x" + QString::number(static_cast<unsigned char>(b), 16).rightJustified(2, '0').toUpper(); }

QByteArray siteFile(char model, char version, const QByteArray& image)
{
    return QByteArray() + model + version + byteSum(image) + image;
}

QStringList withDevice(QStringList args, const QString& device) { return args << "--device" << device; }

// The sheet the configuration menu prints for a recalled site file, in a fresh window tool (no
// meter identified).
QByteArray windowSheet(const QString& siteFile, const QString& sheetFile)
{
    TestSession t;
    t.start();
    frmConfig& cfg = t.s().windows().get<frmConfig>();
    cfg.RecallFileName = siteFile;
    EXPECT_TRUE(cfg.ReadSiteFile());
    t.dialogs->files = {sheetFile};
    cfg.cmdPrint_Click();
    return fileBytes(sheetFile);
}

// The link trace's lines as (time in ms of the day, event, rest).
struct TraceLine {
    int ms = 0;
    QString event, rest;
};
QList<TraceLine> traceLines(const QString& path)
{
    QList<TraceLine> lines;
    for (const QString& line : QString::fromLatin1(fileBytes(path)).split('\n', Qt::SkipEmptyParts)) {
        const QTime at = QTime::fromString(line.left(12), QStringLiteral("hh:mm:ss.zzz"));
        EXPECT_TRUE(at.isValid() && line.size() > 13 && line[12] == ' ') << line.toStdString();
        lines.append({at.msecsSinceStartOfDay(), line.mid(13).section(' ', 0, 0), line.mid(13).section(' ', 1)});
    }
    return lines;
}
// From the last request written to the time-out, by the trace's own clock.
int waitedAfterLastRequest(const QString& tracePath)
{
    int sent = -1;
    for (const TraceLine& l : traceLines(tracePath)) {
        if (l.event == "sent")
            sent = l.ms;
        else if (l.event == "time-out:" && sent >= 0)
            return l.ms - sent;
    }
    return -1;
}

} // namespace

TEST(ZavCliCommandLine, HelpAndUsageErrors)
{
    ConfigHome home;
    CliRun r = runCli({"--help"}, home);
    expectSuccess(r);
    const QString help = QString::fromLocal8Bit(r.out);
    EXPECT_TRUE(help.startsWith("Usage: zav-cli [options] command [file]\n")) << help.toStdString();
    for (const char* line : {"  identify ", "  read FILE ", "  write FILE ", "  audit SITEFILE ", "  check SITEFILE ", "  diff A B ",
                             "  export SITEFILE ", "  import TEXT ",
                             "--port <n>", "--device <path>", "--settings <text>", "--output <file>"})
        EXPECT_TRUE(help.contains(line)) << line;
    for (int status : {0, 1, 2, 3, 4, 5, 6, 7, 8}) // every exit status is explained
        EXPECT_TRUE(help.contains(QStringLiteral("\n  %1  ").arg(status))) << status;

    const std::pair<QStringList, const char*> bad[] = {
        {{}, "no command given"},
        {{"frob"}, "unknown command \"frob\""},
        {{"read"}, "read needs a file name"},
        {{"identify", "extra"}, "too many arguments for identify"},
        {{"check", "a.bin", "b.bin"}, "too many arguments for check"},
        {{"identify", "--port", "2", "--device", "/dev/null"}, "either --port or --device"},
        {{"identify", "--port", "0"}, "--port needs a port number"},
        {{"identify", "--settings", "9600,x,8,1"}, "--settings needs"},
        {{"read", "a.bin", "-o", "b.txt"}, "-o belongs to audit, export and import"},
        {{"audit", "a.bin", "--serial", "70000"}, "--serial needs"},
        {{"diff", "a.bin"}, "diff needs two configurations"},
        {{"import", "a.txt"}, "import needs the site file to write: -o SITEFILE"},
        {{"export", "a.bin", "--json"}, "--json belongs to diff only"},
        {{"identify", "--bogus"}, "bogus"},
    };
    for (const auto& [args, words] : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        r = runCli(args, home);
        expectFailure(r, 2, words);
        EXPECT_TRUE(r.err.endsWith("(see zav-cli --help)\n")) << describe(r);
        EXPECT_LT(r.ms, 3000) << "a usage error never waits for a meter";
    }
}

TEST(ZavCliSiteFiles, CheckTellsWhatCanBeSentAndAuditIsThePrintSiteSheet)
{
    ConfigHome home;
    QTemporaryDir dir;
    const QByteArray site = factorySiteFile(1, 3);
    const QString good = dir.filePath("good.bin");
    ASSERT_TRUE(writeFile(good, site));
    CliRun r = runCli({"check", good}, home);
    expectSuccess(r);
    EXPECT_EQ(QString::fromLocal8Bit(r.out),
              good + ": site file of model 1, version 3, 1452 image bytes, checksum " + hex(site[2]) + ": can be sent\n");

    QByteArray offByOne = site;
    offByOne[2] = static_cast<char>(offByOne[2] + 1);
    const std::tuple<const char*, QByteArray, QString> wrong[] = {
        {"checksum.bin", offByOne, "checksum byte is " + hex(offByOne[2]) + " but its image sums to " + hex(site[2])},
        {"short.bin", site.left(1454), "it has 1454 bytes, a site file has 1455"},
        {"long.bin", site + QByteArray(1, '\0'), "it has 1456 bytes, a site file has 1455"},
        {"empty-image.bin", site.left(3), "it has 3 bytes"},
        {"huge.bin", site + QByteArray(600, '\x01'), "2055 bytes, more than an image can hold"},
    };
    for (const auto& [name, bytes, words] : wrong) {
        const QString path = dir.filePath(name);
        ASSERT_TRUE(writeFile(path, bytes));
        expectFailure(runCli({"check", path}, home), 6, words);
    }
    expectFailure(runCli({"check", dir.filePath("missing.bin")}, home), 6, "cannot read " + dir.filePath("missing.bin"));
    expectFailure(runCli({"check", dir.path()}, home), 6, "it is a folder");
    // A read that waits for a writer would fail the run's time-out rather than hang the test.
    const QString fifo = dir.filePath("fifo.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    expectFailure(runCli({"check", fifo}, home, {}, 10000), 6, "cannot read " + fifo + ": it is a FIFO");

    // The audit with the serial number of the meter the sheet was written out for: the hand-written sheet.
    r = runCli({"audit", good, "--serial", "12345"}, home);
    expectSuccess(r);
    const QByteArray expected = expectedFactorySheet();
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(r.out, expected);

    // Without it, and into a file that already exists: the window tool's PRINT SITE after a recall.
    const QString out = dir.filePath("sheet.txt");
    ASSERT_TRUE(writeFile(out, "an older sheet"));
    r = runCli({"audit", good, "-o", out}, home);
    expectSuccess(r);
    EXPECT_TRUE(r.out.isEmpty());
    const QByteArray fromWindow = windowSheet(good, dir.filePath("window.txt"));
    EXPECT_EQ(fileBytes(out), fromWindow);
    EXPECT_TRUE(fromWindow.contains("SERIAL; Serial No. FT 0\r\n"));

    // Another model (no identity captions) and an edited image: single channel, K factor 1.5.
    QByteArray image = qbytes(sim::FactoryImage());
    image[28] = 1;
    const float k = 1.5f;
    std::memcpy(image.data() + 684 + 76, &k, sizeof k);
    const QString other = dir.filePath("other.bin");
    ASSERT_TRUE(writeFile(other, siteFile(2, 7, image)));
    r = runCli({"audit", other}, home);
    expectSuccess(r);
    EXPECT_EQ(r.out, windowSheet(other, dir.filePath("window-other.txt")));
    for (const char* line : {"MODEL\r\nSW_VERSION\r\nSERIAL; \r\n", " \tK_FACTOR\t 1.5\r\n", " \tChannel Status\tOFF\r\n"})
        EXPECT_TRUE(r.out.contains(line)) << line;

    // A damaged file gives no sheet; a sheet that cannot be written leaves nothing behind.
    expectFailure(runCli({"audit", dir.filePath("checksum.bin"), "-o", dir.filePath("damaged.txt")}, home), 6, "checksum");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("damaged.txt")));
    const QString nowhere = dir.filePath("no-folder/sheet.txt");
    expectFailure(runCli({"audit", good, "-o", nowhere}, home), 7, "cannot write " + nowhere);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("no-folder")));
    expectFailure(runCli({"audit", good, "-o", "/dev/full"}, home), 7, "cannot write /dev/full: No space left on device");
}

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
    const auto cli = [&](const QStringList& args) { return runCli(withDevice(args, meter.device()), home); };

    CliRun r = cli({"identify"});
    expectSuccess(r);
    EXPECT_EQ(r.out, "Model: 7\nVersion: 9\nSerial number: 4321\n");

    // The read replaces an existing file with exactly what the menu's store writes; its trace
    // shows each request followed by its answer: the identification, the image blocks, the end.
    const QString first = dir.filePath("first.bin"), trace = dir.filePath("read.trace");
    ASSERT_TRUE(writeFile(first, "an older site file"));
    r = cli({"read", first, "--trace", trace});
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

    // Files the menu could not send are refused before anything goes on the line (the meter's
    // count of write answers at the end shows it).
    QByteArray damaged = factorySiteFile(7, 9);
    damaged[2] = static_cast<char>(damaged[2] ^ 1);
    ASSERT_TRUE(writeFile(dir.filePath("damaged.bin"), damaged));
    expectFailure(cli({"write", dir.filePath("damaged.bin")}), 6, "checksum byte is");
    ASSERT_TRUE(writeFile(dir.filePath("short.bin"), factorySiteFile(7, 9).left(1000)));
    r = cli({"write", dir.filePath("short.bin")});
    expectFailure(r, 6, "it has 1000 bytes, a site file has 1455");
    EXPECT_TRUE(r.err.contains("nothing sent")) << describe(r);

    // An edited image goes to the meter whole, and is read back the same.
    QByteArray edited = qbytes(sim::FactoryImage());
    std::memcpy(edited.data(), "BENCH 7   ", 10);
    const float k = 1.25f;
    std::memcpy(edited.data() + 1068 + 76, &k, sizeof k);
    const QString editedFile = dir.filePath("edited.bin"), again = dir.filePath("again.bin");
    ASSERT_TRUE(writeFile(editedFile, siteFile(7, 9, edited)));
    r = cli({"write", editedFile});
    expectSuccess(r);
    EXPECT_TRUE(r.out.contains("the meter confirmed the image")) << describe(r);
    sim::Image saved;
    std::uint8_t model = 0, version = 0;
    ASSERT_TRUE(sim::ReadSiteFile(meterFile, saved, model, version, error)) << error;
    EXPECT_EQ(qbytes(saved), edited);
    expectSuccess(cli({"read", again}));
    EXPECT_EQ(fileBytes(again), fileBytes(editedFile));

    // The first file back, and read once more: the first file again.
    const QString last = dir.filePath("last.bin");
    expectSuccess(cli({"write", first}));
    expectSuccess(cli({"read", last}));
    EXPECT_EQ(fileBytes(last), fileBytes(first));

    // One identification per command that reads, seven read answers per read (six blocks of 122
    // words and the closing one), thirteen write answers per write: no retries, no stray requests.
    const QString summary = meter.stop();
    EXPECT_TRUE(summary.contains("answered 32:21 33:26 34:4 (51 in all); ignored 0;")) << summary.toStdString();
}

// The meter's confirmation of a write comes 3.4 s late, after zav-cli has given up: that write
// is not reported as confirmed, and the late 37 does not confirm the next write, which goes to the
// meter whole (the meter turns round 100 ms after each answer, as one busy with the late answer).
TEST(ZavCliWithMeter, ALateConfirmationConfirmsNothing)
{
    ConfigHome home;
    QTemporaryDir dir;
    const QString meterFile = dir.filePath("meter.bin");
    ASSERT_TRUE(writeFile(meterFile, factorySiteFile(1, 3)));
    SimProcess meter({"--baud", "115200", "--turnaround", "100", "--image", meterFile, "--save", "--late", "33:13:3400"});
    ASSERT_TRUE(meter.ok());
    auto variant = [&](const char* name) {
        QByteArray image = qbytes(sim::FactoryImage());
        image.replace(0, 10, QByteArray(name).leftJustified(10, ' '));
        const QString file = dir.filePath(QString::fromLatin1(name) + ".bin");
        EXPECT_TRUE(writeFile(file, siteFile(1, 3, image)));
        return file;
    };
    const QString A = variant("A"), B = variant("B");
    expectFailure(runCli(withDevice({"write", A}, meter.device()), home), 5, "it has not confirmed the image");
    const QString trace = dir.filePath("b.trace");
    const CliRun r = runCli(withDevice({"write", B, "--trace", trace}, meter.device()), home);
    expectSuccess(r);
    EXPECT_EQ(fileBytes(meterFile), fileBytes(B));
    // The late 37 came during this write (traced as stale), or before it opened the port.
    EXPECT_EQ(fileBytes(trace).count(" taken 11 25 "), 1) << fileBytes(trace).toStdString();
}

// Three meters on one bus: the scan lists exactly their nodes with their serial numbers, and a read
// addressed to one node gets that meter's image.
TEST(ZavCliWithMeter, ScanFindsTheMetersOnABusAndANodeIsReadByItsAddress)
{
    ConfigHome home;
    QTemporaryDir dir;
    SimProcess meter({"--baud", "115200", "--nodes", "3,7,12", "--serial", "500"});
    ASSERT_TRUE(meter.ok());
    const auto cli = [&](const QStringList& args) { return runCli(withDevice(args, meter.device()), home); };
    CliRun r = cli({"scan"});
    expectSuccess(r);
    EXPECT_EQ(r.out, "Node 3: model 1, version 3, serial number 500\nNode 7: model 1, version 3, serial number 501\n"
                     "Node 12: model 1, version 3, serial number 502\n");
    expectFailure(cli({"scan", "--nodes", "1-2,4", "--wait", "50"}), 4, "no meter answered on nodes 1,2,4");

    const QString file = dir.filePath("node12.bin");
    expectSuccess(cli({"read", file, "--node", "12"}));
    const sim::Image image = sim::FactoryImage(12);
    EXPECT_EQ(fileBytes(file), QByteArray("\x01\x03") + char(byteSum(image)) + qbytes(image));
    expectFailure(cli({"identify", "--node", "5"}), 4, "no answer from the meter");
    expectFailure(cli({"scan", "--node", "5"}), 2, "--node belongs to identify, read, write and diff");
    const QString summary = meter.stop();
    EXPECT_TRUE(summary.contains("answered 32:7 34:4 ")) << summary.toStdString();
}

TEST(ZavCliWithMeter, PortFromTheStoredPreferencesUnlessGivenAndProgressOnATerminal)
{
    QTemporaryDir dir;
    SimProcess meter({"--baud", "115200", "--serial", "808", "--chunk-words", "56"});
    ASSERT_TRUE(meter.ok());
    ConfigHome home;
    const QString missing = dir.filePath("no-such-port");
    const QByteArray store = "[Properties]\nSettings=\"115200,n,8,1\"\nCommPort=3\nHandshaking=0\nEcho=False\n[Ports]\nCom3="
                             + meter.device().toLocal8Bit() + "\nCom5=" + missing.toLocal8Bit() + "\n";
    ASSERT_TRUE(home.writeStore(store));

    CliRun r = runCli({"identify"}, home);
    expectSuccess(r);
    EXPECT_EQ(r.out, "Model: 1\nVersion: 3\nSerial number: 808\n");
    // --port takes the device the window tool maps to that number; --device names the device itself.
    expectFailure(runCli({"identify", "--port", "5"}, home), 3, missing);
    r = runCli({"identify", "--port", "3", "--settings", "9600,e,7,1"}, home);
    expectSuccess(r);
    EXPECT_EQ(r.out, "Model: 1\nVersion: 3\nSerial number: 808\n");
    expectFailure(runCli({"identify", "--device", dir.filePath("absent")}, home), 3, dir.filePath("absent"));

    // Progress on a terminal: thirteen blocks of at most 56 words, the count rising block by block
    // to the whole image.
    PtyPair terminal;
    ASSERT_TRUE(terminal.ok());
    const QString file = dir.filePath("site.bin");
    r = runCli({"read", file}, home, terminal.slavePath());
    EXPECT_TRUE(r.finished && r.status == 0) << describe(r);
    QString shown = QString::fromLocal8Bit(terminal.read(1 << 20, 300));
    EXPECT_TRUE(shown.contains("\rReading the image:  112 of 1452 bytes")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("\rReading the image: 1452 of 1452 bytes\n")) << shown.toStdString();
    r = runCli({"write", file}, home, terminal.slavePath());
    EXPECT_EQ(r.status, 0) << describe(r);
    shown = QString::fromLocal8Bit(terminal.read(1 << 20, 300));
    EXPECT_TRUE(shown.endsWith("\rWriting the image: 1452 of 1452 bytes\n")) << shown.toStdString();
    // The preferences are the window tool's: read, never written.
    EXPECT_EQ(fileBytes(home.storeFile()), store);
}

TEST(ZavCliWithScriptedMeter, RefusedImageAndAnswersThatDoNotContinue)
{
    ConfigHome home;
    QTemporaryDir dir;
    QByteArray image = qbytes(sim::FactoryImage());
    for (int i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(image[i] ^ (i * 7));
    const QString file = dir.filePath("site.bin"), out = dir.filePath("read.bin");
    ASSERT_TRUE(writeFile(file, siteFile(1, 3, image)));
    PtyPair line;
    ASSERT_TRUE(line.ok());
    const auto answer = [&](std::uint8_t code, const Bytes& payload) {
        line.write(qbytes(modComFun::AnswerFrame(17, code, payload)));
    };

    // The image goes out in twelve blocks of 56 words and one of 54, flagged first, following and
    // last; the meter acknowledges all but the last, which it refuses.
    QProcess cli;
    startCli(cli, withDevice({"write", file}, line.slavePath()), home);
    QByteArray sent;
    for (int block = 0; block < 13; ++block) {
        const int words = block < 12 ? 56 : 54;
        const QByteArray frame = line.read(2 * words + 10, 3000);
        ASSERT_EQ(frame.size(), 2 * words + 10) << "block " << block;
        EXPECT_EQ(frame.left(6), QByteArray::fromHex("1121efcd") + char(words) + char(block == 0 ? 0 : block < 12 ? 1 : 2))
            << "block " << block;
        sent += frame.mid(6, 2 * words);
        answer(block < 12 ? modComFun::WriteImage : modComFun::WriteRefused, {0, 0});
    }
    EXPECT_EQ(sent, image);
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_EQ(cli.exitCode(), 8);
    EXPECT_EQ(cli.readAllStandardError(), "zav-cli: the meter refused the image (answer code 93)\n");
    EXPECT_TRUE(line.read(1, 200).isEmpty()) << "nothing follows the last block";

    // A read whose first block request gets an answer that does not continue it ends at once,
    // without waiting for a time-out, and stores nothing.
    startCli(cli, withDevice({"read", out}, line.slavePath()), home);
    ASSERT_EQ(line.read(8, 3000).left(2), QByteArray::fromHex("1122"));
    answer(modComFun::Identify, {0, 0, 1, 3, 0x39, 0x30});
    ASSERT_EQ(line.read(8, 3000).left(2), QByteArray::fromHex("1120"));
    QElapsedTimer sinceAnswer;
    sinceAnswer.start();
    answer(modComFun::TransferDone, {0, 0});
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_LT(sinceAnswer.elapsed(), 2500) << "ended before the 3 s time-out";
    EXPECT_EQ(cli.exitCode(), 5);
    EXPECT_EQ(cli.readAllStandardError(), "zav-cli: the transfer stopped: the meter ended the image read (code 37) after "
                                          "0 of 1452 bytes; " + out.toLocal8Bit() + " not written\n");
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST(ZavCliFailures, NoPortSilentMeterAndMeterStoppingInTheMiddle)
{
    ConfigHome home;
    QTemporaryDir dir;
    const QString out = dir.filePath("site.bin");
    expectFailure(runCli(withDevice({"read", out}, dir.filePath("ttyNone")), home), 3,
                  "The serial port " + dir.filePath("ttyNone") + " was not found.");
    EXPECT_FALSE(QFileInfo::exists(out));

    // Nobody at the far end: one identification request, no retry, and after the whole 3 s time-out
    // (timed from the request by the link's trace) the earlier file is still there.
    PtyPair silent;
    ASSERT_TRUE(silent.ok());
    ASSERT_TRUE(writeFile(out, "an older site file"));
    const QString trace = dir.filePath("silent.trace");
    expectFailure(runCli(withDevice({"read", out, "--trace", trace}, silent.slavePath()), home), 4,
                  "no answer from the meter on " + silent.slavePath() + " within 3 s; " + out + " not written");
    int waited = waitedAfterLastRequest(trace);
    EXPECT_TRUE(waited >= 3000 && waited < 4000) << waited;
    EXPECT_EQ(fileBytes(out), "an older site file");
    const QByteArray sent = silent.read(1 << 16, 200);
    ASSERT_EQ(sent.size(), 8) << sent.toHex(' ').toStdString();
    EXPECT_EQ(sent.left(6), QByteArray::fromHex("1122efcd0000"));

    // Seed 3 withholds the fifth read answer: half the image has arrived; the link waits its whole
    // time-out.
    ASSERT_TRUE(QFile::remove(out));
    {
        SimProcess meter({"--baud", "115200", "--drop", "0.25", "--seed", "3"});
        ASSERT_TRUE(meter.ok());
        const QString stopped = dir.filePath("stopped.trace");
        expectFailure(runCli(withDevice({"read", out, "--trace", stopped}, meter.device()), home), 5,
                      "the meter stopped answering during the image read (732 of 1452 bytes arrived); " + out
                          + " not written");
        EXPECT_FALSE(QFileInfo::exists(out));
        waited = waitedAfterLastRequest(stopped);
        EXPECT_TRUE(waited >= 3000 && waited < 4000) << waited;
    }

    // The line goes away during a slow read (the first block takes 2 s at 1200 baud).
    SimProcess slow({"--baud", "1200"});
    ASSERT_TRUE(slow.ok());
    QProcess cli;
    startCli(cli, withDevice({"read", out}, slow.device()), home);
    ASSERT_TRUE(cli.waitForStarted(10000));
    EXPECT_FALSE(cli.waitForFinished(1000));
    QElapsedTimer sinceLoss;
    sinceLoss.start();
    slow.stop();
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_LT(sinceLoss.elapsed(), 2500) << "noticed before the 3 s time-out";
    EXPECT_EQ(cli.exitCode(), 5);
    const QByteArray err = cli.readAllStandardError();
    EXPECT_TRUE(err.startsWith("zav-cli: the transfer stopped: The serial port " + slow.device().toLocal8Bit()
                               + " is no longer available") && err.count('\n') == 1)
        << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));
}
