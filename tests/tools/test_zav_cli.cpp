// zav-cli without a meter: its command line, the check of site files, and the audit sheet, which
// must be the configuration menu's PRINT SITE output byte for byte.

#include "test_zav_cli.h"

#include "meterdata/frmConfig.h"
#include "meterdata/sitetest.h"
#include "support/fakesession.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <sys/stat.h>

using namespace zavclitest;
using namespace sitetest;

namespace {

QString hex(char b)
{
    return "0x" + QString::number(static_cast<unsigned char>(b), 16).rightJustified(2, '0').toUpper();
}

// The sheet the configuration menu prints for a recalled site file, in a fresh run of the window
// tool (no meter identified).
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

} // namespace

TEST(ZavCliCommandLine, HelpAndUsageErrors)
{
    ConfigHome home;
    CliRun r = runCli({"--help"}, home);
    expectSuccess(r);
    const QString help = QString::fromLocal8Bit(r.out);
    EXPECT_TRUE(help.startsWith("Usage: zav-cli [options] command [file]\n")) << help.toStdString();
    for (const char* line : {"  identify ", "  read FILE ", "  write FILE ", "  audit SITEFILE ", "  check SITEFILE ",
                             "--port <n>", "--device <path>", "--settings <text>", "--output <file>"})
        EXPECT_TRUE(help.contains(line)) << line;
    const char* statuses[] = {"\n  0  done\n",
                              "\n  2  bad command line\n",
                              "\n  3  the serial port cannot be opened or written\n",
                              "\n  4  the meter did not answer (3 s)\n",
                              "\n  5  the transfer stopped before its end",
                              "\n  6  the site file cannot be read, or could not be sent (wrong length or checksum)\n",
                              "\n  7  the output file cannot be written\n",
                              "\n  8  the meter did not accept the written image\n"};
    for (const char* s : statuses)
        EXPECT_TRUE(help.contains(s)) << s;

    const struct {
        QStringList args;
        const char* words;
    } bad[] = {
        {{}, "no command given"},
        {{"frob"}, "unknown command \"frob\""},
        {{"read"}, "read needs a file name"},
        {{"identify", "extra"}, "too many arguments for identify"},
        {{"check", "a.bin", "b.bin"}, "too many arguments for check"},
        {{"identify", "--port", "2", "--device", "/dev/null"}, "either --port or --device"},
        {{"identify", "--port", "0"}, "--port needs a port number"},
        {{"identify", "--settings", "9600,x,8,1"}, "--settings needs"},
        {{"read", "a.bin", "-o", "b.txt"}, "-o belongs to audit only"},
        {{"audit", "a.bin", "--serial", "70000"}, "--serial needs"},
        {{"identify", "--bogus"}, "bogus"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.args.join(' ').toStdString());
        r = runCli(b.args, home);
        expectFailure(r, 2, b.words);
        EXPECT_TRUE(r.err.endsWith("(see zav-cli --help)\n")) << describe(r);
        EXPECT_LT(r.ms, 3000) << "a usage error never waits for a meter";
    }
}

TEST(ZavCliSiteFiles, CheckTellsWhatCanBeSent)
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
    const QString bad = dir.filePath("checksum.bin");
    ASSERT_TRUE(writeFile(bad, offByOne));
    expectFailure(runCli({"check", bad}, home), 6,
                  "checksum byte is " + hex(offByOne[2]) + " but its image sums to " + hex(site[2]));

    const struct {
        const char* name;
        QByteArray bytes;
        const char* words;
    } wrong[] = {
        {"short.bin", site.left(1454), "it has 1454 bytes, a site file has 1455"},
        {"long.bin", site + QByteArray(1, '\0'), "it has 1456 bytes, a site file has 1455"},
        {"empty-image.bin", site.left(3), "it has 3 bytes"},
        {"huge.bin", site + QByteArray(600, '\x01'), "2055 bytes, more than an image can hold"},
    };
    for (const auto& w : wrong) {
        SCOPED_TRACE(w.name);
        const QString path = dir.filePath(w.name);
        ASSERT_TRUE(writeFile(path, w.bytes));
        expectFailure(runCli({"check", path}, home), 6, w.words);
    }
    expectFailure(runCli({"check", dir.filePath("missing.bin")}, home), 6, "cannot read " + dir.filePath("missing.bin"));
    expectFailure(runCli({"check", dir.path()}, home), 6, "it is a folder");
    const QString fifo = dir.filePath("fifo.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    RunOptions waitLittle;
    waitLittle.timeoutMs = 10000; // a read that waits for a writer fails instead of hanging the test
    expectFailure(runCli({"check", fifo}, home, waitLittle), 6, "cannot read " + fifo + ": it is a FIFO");
}

TEST(ZavCliSiteFiles, AuditIsThePrintSiteSheet)
{
    ConfigHome home;
    QTemporaryDir dir;
    const QString factory = dir.filePath("factory.bin");
    ASSERT_TRUE(writeFile(factory, factorySiteFile(1, 3)));

    // With the serial number of the meter the sheet was written out for, the hand-written sheet.
    CliRun r = runCli({"audit", factory, "--serial", "12345"}, home);
    expectSuccess(r);
    const QByteArray expected = expectedFactorySheet();
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(r.out, expected);

    // Without it, and into a file that already exists: the window tool's PRINT SITE after a recall.
    const QString out = dir.filePath("sheet.txt");
    ASSERT_TRUE(writeFile(out, "an older sheet"));
    r = runCli({"audit", factory, "-o", out}, home);
    expectSuccess(r);
    EXPECT_TRUE(r.out.isEmpty());
    const QByteArray fromWindow = windowSheet(factory, dir.filePath("window.txt"));
    ASSERT_FALSE(fromWindow.isEmpty());
    EXPECT_EQ(fileBytes(out), fromWindow);
    EXPECT_TRUE(fromWindow.contains("SERIAL; Serial No. FT 0\r\n"));

    // Another model (no identity captions) and an edited image: single channel, K factor 1.5.
    QByteArray image = qbytes(sim::FactoryImage());
    image[28] = 1;
    const float k = 1.5f;
    std::memcpy(image.data() + 684 + 76, &k, sizeof k);
    const QString other = dir.filePath("other.bin");
    ASSERT_TRUE(writeFile(other, QByteArray() + char(2) + char(7) + byteSum(image) + image));
    r = runCli({"audit", other}, home);
    expectSuccess(r);
    const QByteArray otherFromWindow = windowSheet(other, dir.filePath("window-other.txt"));
    EXPECT_EQ(r.out, otherFromWindow);
    EXPECT_TRUE(r.out.contains("MODEL\r\nSW_VERSION\r\nSERIAL; \r\n"));
    EXPECT_TRUE(r.out.contains(" \tK_FACTOR\t 1.5\r\n"));
    EXPECT_TRUE(r.out.contains(" \tChannel Status\tOFF\r\n"));

    // A damaged file gives no sheet; a sheet that cannot be written leaves nothing behind.
    QByteArray damaged = factorySiteFile(1, 3);
    damaged[100] = static_cast<char>(damaged[100] ^ 0x40);
    const QString damagedPath = dir.filePath("damaged.bin");
    ASSERT_TRUE(writeFile(damagedPath, damaged));
    expectFailure(runCli({"audit", damagedPath, "-o", dir.filePath("damaged.txt")}, home), 6, "checksum");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("damaged.txt")));
    const QString nowhere = dir.filePath("no-folder/sheet.txt");
    expectFailure(runCli({"audit", factory, "-o", nowhere}, home), 7, "cannot write " + nowhere);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("no-folder")));
    expectFailure(runCli({"audit", factory, "-o", "/dev/full"}, home), 7, "cannot write /dev/full: No space left on device");
}
