// zav-cli diff, export and import as the built program: statuses, the text on standard output,
// files rebuilt byte for byte, and the faults: a truncated or foreign site file, a text with a bad
// line (nothing written, an earlier file kept), a silent meter.

#include "configtext/configdiff.h"
#include "configtext/configtext.h"
#include "meterdata/sitetest.h"
#include "support/pty.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sitetest;

namespace {

struct CliRun {
    int status = -1;
    QByteArray out, err;
};

CliRun cli(const QStringList& args, const QTemporaryDir& home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZAV_CLI_PATH), args);
    CliRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(2000);
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The failure: its status, one line on standard error with the words, nothing on standard output.
void expectFailure(const CliRun& r, int status, const QString& words)
{
    EXPECT_EQ(r.status, status) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(words)) << "expected \"" << words.toStdString() << "\"\n"
                                                               << r.err.toStdString();
}

} // namespace

TEST(ZavCliConfigText, DiffExportAndImportWithTheirStatusesAndFaults)
{
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const QString before = path("before.bin"), after = path("after.bin"), text = path("after.txt");
    ASSERT_TRUE(writeFile(before, factorySiteFile()));
    QByteArray edited = factorySiteFile();
    const float k = 1.25f;
    std::memcpy(edited.data() + 3 + 1068 + 76, &k, 4); // channel B's K_FACTOR
    edited[2] = static_cast<char>(byteSum(edited.mid(3)));
    ASSERT_TRUE(writeFile(after, edited));

    CliRun r = cli({"diff", before, before}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.endsWith("\r\nThe configurations are the same.\r\n")) << r.out.toStdString();
    r = cli({"diff", before, after}, dir);
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\r\nChannel B:\r\n  K_FACTOR: 1 -> 1.25\r\n2 differences: 1 in the head, 1 cell.\r\n"))
        << r.out.toStdString();
    r = cli({"diff", before, after, "--json"}, dir);
    EXPECT_EQ(r.status, 1);
    const QJsonObject json = QJsonDocument::fromJson(r.out).object();
    EXPECT_FALSE(json["equal"].toBool());
    const QJsonObject cell = json["groups"].toArray()[0].toObject()["cells"].toArray()[0].toObject();
    EXPECT_EQ(json["groups"].toArray()[0].toObject()["group"].toString(), "Channel B");
    EXPECT_EQ(std::make_tuple(cell["name"].toString(), cell["a"].toString(), cell["b_exact"].toString()),
              std::make_tuple(QString("chanB.CalFactor"), QString("1"), QString("1.25")));
    // A fleet's own differences left out: the cell and the checksum that follows it; a name of no
    // cell is a bad command line.
    r = cli({"diff", before, after, "--ignore", "global.MeterName", "--ignore", "chanB.*"}, dir);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\r\nNote: 1 differing cell left out as asked: chanB.CalFactor\r\nThe configurations are the same.\r\n"))
        << r.out.toStdString();
    expectFailure(cli({"diff", before, after, "--ignore", "chanC.*"}, dir), 2, "--ignore chanC.* names no cell");

    // Export to standard output and to a file alike; imported back, the same bytes.
    r = cli({"export", after}, dir);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\r\nchanB.CalFactor = 1.25  # K_FACTOR\r\n"));
    EXPECT_EQ(cli({"export", after, "-o", text}, dir).status, 0);
    EXPECT_EQ(fileBytes(text), r.out);
    r = cli({"import", text, "-o", path("rebuilt.bin")}, dir);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(fileBytes(path("rebuilt.bin")), edited);

    // Site files that are none: told with the file, status 6.
    ASSERT_TRUE(writeFile(path("short.bin"), factorySiteFile().left(1000)));
    ASSERT_TRUE(writeFile(path("sheet.txt"), expectedFactorySheet()));
    expectFailure(cli({"diff", path("short.bin"), after}, dir), 6,
                  path("short.bin") + " is not a whole site file: it has 1000 bytes, a site file has 1455");
    expectFailure(cli({"diff", before, path("sheet.txt")}, dir), 6, path("sheet.txt") + " is not a whole site file");
    expectFailure(cli({"export", path("missing.bin")}, dir), 6, "cannot read " + path("missing.bin"));

    // A bad line, a value out of range: nothing written, an earlier site file kept whole.
    QByteArray bad = fileBytes(text);
    bad.replace("chanB.CalFactor = 1.25", "chanB.CalFactor = 1.25.0");
    ASSERT_TRUE(writeFile(path("bad.txt"), bad));
    const int badLine = static_cast<int>(bad.left(bad.indexOf("chanB.CalFactor")).count('\n')) + 1;
    ASSERT_TRUE(writeFile(path("kept.bin"), "an earlier site file"));
    expectFailure(cli({"import", path("bad.txt"), "-o", path("kept.bin")}, dir), 6,
                  QStringLiteral("%1 line %2: chanB.CalFactor: \"1.25.0\" is not a number; %3 not written")
                      .arg(path("bad.txt")).arg(badLine).arg(path("kept.bin")));
    EXPECT_EQ(fileBytes(path("kept.bin")), "an earlier site file");
    bad = fileBytes(text);
    bad.replace("chanA.AntiJitter = 4", "chanA.AntiJitter = 400");
    bad.replace("chanB.AntiJitter = 4", "chanB.AntiJitter = -1");
    ASSERT_TRUE(writeFile(path("range.txt"), bad));
    expectFailure(cli({"import", path("range.txt"), "-o", path("new.bin")}, dir), 6,
                  "chanA.AntiJitter: 400 is outside the cell's range 0..255 (and 1 more)");
    EXPECT_FALSE(QFileInfo::exists(path("new.bin")));
    EXPECT_TRUE(QDir(dir.path()).entryList({"new.bin*", ".new.bin*"}, QDir::Files | QDir::Hidden).isEmpty());

    // A meter that never answers: the status of a silent meter.
    PtyPair silent;
    ASSERT_TRUE(silent.ok());
    expectFailure(cli({"diff", before, "meter", "--device", silent.slavePath()}, dir), 4,
                  "no answer from the meter on " + silent.slavePath() + " within 3 s");
}
