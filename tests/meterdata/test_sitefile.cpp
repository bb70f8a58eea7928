// Site file bytes, the recall of whole, damaged, short and long files, the safe file writer, and
// the audit sheet line by line, without windows.

#include "meterdata/auditsheet.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"
#include "sitetest.h"
#include "support/printers.h"

#include <QTemporaryDir>
#include <bit>
#include <memory>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sitetest;
using sitefile::RecallOutcome;

namespace {

QByteArray paramImage(const modData::MeterData& d, int from, int n)
{
    return QByteArray(reinterpret_cast<const char*>(d.ParamImage.data()) + from, n);
}

// The factory image decoded into cells, as after a complete read.
std::unique_ptr<modData::MeterData> factoryData()
{
    auto d = std::make_unique<modData::MeterData>();
    const sim::Image im = sim::FactoryImage();
    std::copy(im.begin(), im.end(), d->ParamImage.begin());
    d->ImageLength = 1452;
    modBinaryRW::BuildCellMap(*d);
    modBinaryRW::DecodeImage(*d);
    return d;
}

QByteArray sheetOf(const modData::MeterData& d)
{
    return auditsheet::AuditSheet(d, "Model:     ARX4400LP", "Version     V 3", "Serial No. FT 12345");
}

// Line k (1-based, as the channel section lists them) of channel c's section.
std::string channelLine(const QByteArray& sheet, int c, int k)
{
    const QList<QByteArray> lines = sheetLines(sheet);
    const int i = 25 + 33 * (c - 1) + (k - 1);
    return i < lines.size() ? lines[i].toStdString() : std::string("<missing>");
}

} // namespace

TEST(SiteFileBytes, HeadThenImageWithItsByteChecksum)
{
    auto d = factoryData();
    const QByteArray image = imageBytes(sim::FactoryImage());
    const QByteArray file = sitefile::SiteFileBytes(1, 3, *d);
    ASSERT_EQ(file.size(), 1455);
    EXPECT_EQ(file[0], 1);
    EXPECT_EQ(file[1], 3);
    EXPECT_EQ(file[2], byteSum(image));
    EXPECT_EQ(file[2], static_cast<char>(sim::ByteChecksum(sim::FactoryImage())));
    EXPECT_EQ(file.mid(3), image);

    // Only ImageLength bytes are stored.
    modData::MeterData ones;
    std::fill_n(ones.ParamImage.begin(), 400, std::uint8_t{1});
    ones.ImageLength = 300;
    const QByteArray three = sitefile::SiteFileBytes(0xFE, 0x80, ones);
    ASSERT_EQ(three.size(), 303);
    EXPECT_EQ(three.left(3), QByteArray("\xFE\x80\x2C", 3)) << "300 bytes of 1: checksum 300 mod 256 = 0x2C";
    EXPECT_EQ(three.mid(3), QByteArray(300, '\x01'));

    modData::MeterData empty;
    std::fill(empty.ParamImage.begin(), empty.ParamImage.end(), std::uint8_t{9});
    empty.ImageLength = 0;
    EXPECT_EQ(sitefile::SiteFileBytes(5, 7, empty), QByteArray("\x05\x07\x00", 3));
}

TEST(RecallSiteFile, WholeDamagedShortLongAndTooLongFiles)
{
    const QByteArray good = factorySiteFile(1, 3);
    const QByteArray image = good.mid(3);

    // A whole file: the image comes back, the rest of bytes 0..1999 is cleared, byte 2000 is not.
    modData::MeterData d;
    std::fill(d.ParamImage.begin(), d.ParamImage.end(), std::uint8_t{0xAA});
    d.ImageLength = 8;
    sitefile::Recall r = sitefile::RecallSiteFile(good, d);
    EXPECT_EQ(r.outcome, RecallOutcome::Valid);
    EXPECT_EQ(r.model, 1);
    EXPECT_EQ(r.version, 3);
    EXPECT_EQ(r.storedChecksum, static_cast<std::uint8_t>(good[2]));
    EXPECT_EQ(r.imageBytes, 1452);
    EXPECT_EQ(d.ImageLength, 1452);
    EXPECT_EQ(paramImage(d, 0, 1452), image);
    EXPECT_EQ(paramImage(d, 1452, 548), QByteArray(548, '\0'));
    EXPECT_EQ(d.ParamImage[2000], 0xAA);

    // Checksum byte off by one: read whole, not valid.
    QByteArray damaged = good;
    damaged[2] = static_cast<char>(damaged[2] + 1);
    r = sitefile::RecallSiteFile(damaged, d);
    EXPECT_EQ(r.outcome, RecallOutcome::NotValid);
    EXPECT_EQ(paramImage(d, 0, 1452), image);
    EXPECT_EQ(d.ImageLength, 1452);

    // A changed image byte under the old checksum.
    QByteArray flipped = good;
    flipped[3 + 700] = static_cast<char>(flipped[3 + 700] ^ 0x10);
    EXPECT_EQ(sitefile::RecallSiteFile(flipped, d).outcome, RecallOutcome::NotValid);

    // Short: what was read, then zeros; the image length is the full one all the same.
    d.ImageLength = 8;
    const QByteArray shortFile = good.left(3 + 1000);
    r = sitefile::RecallSiteFile(shortFile, d);
    EXPECT_EQ(r.outcome, RecallOutcome::NotValid);
    EXPECT_EQ(r.imageBytes, 1000);
    EXPECT_EQ(d.ImageLength, 1452);
    EXPECT_EQ(paramImage(d, 0, 1000), image.left(1000));
    EXPECT_EQ(paramImage(d, 1000, 1000), QByteArray(1000, '\0'));

    // Long: 1452 good bytes with their checksum, and more behind them.
    QByteArray longFile = good + QByteArray(8, '\0');
    r = sitefile::RecallSiteFile(longFile, d);
    EXPECT_EQ(r.outcome, RecallOutcome::NotValid) << "8 zero bytes more keep the sum but not the length";
    EXPECT_EQ(r.imageBytes, 1460);
    EXPECT_EQ(paramImage(d, 0, 1452), image);

    // Exactly as much as ParamImage holds: read to the end, not valid.
    QByteArray full(3 + 2001, '\0');
    for (int i = 0; i < 2001; ++i)
        full[3 + i] = static_cast<char>(i * 13 + 1);
    r = sitefile::RecallSiteFile(full, d);
    EXPECT_EQ(r.outcome, RecallOutcome::NotValid);
    EXPECT_EQ(r.imageBytes, 2001);
    EXPECT_EQ(paramImage(d, 0, 2001), full.mid(3));
    EXPECT_EQ(d.ImageLength, 1452);

    // One byte more: stopped with the image full; the image length stays as it was.
    d.ImageLength = 8;
    QByteArray tooLong = full + QByteArray("\x77\x78", 2);
    tooLong[0] = 9;
    r = sitefile::RecallSiteFile(tooLong, d);
    EXPECT_EQ(r.outcome, RecallOutcome::TooLong);
    EXPECT_EQ(r.imageBytes, 2001);
    EXPECT_EQ(paramImage(d, 0, 2001), full.mid(3));
    EXPECT_EQ(d.ImageLength, 8);

    // Files without a whole head: missing head bytes count as 0, the image is all zero.
    for (const QByteArray& tiny : {QByteArray(), QByteArray("\x01", 1), QByteArray("\x01\x03", 2), QByteArray("\x01\x03\x00", 3)}) {
        std::fill(d.ParamImage.begin(), d.ParamImage.end(), std::uint8_t{0x55});
        d.ImageLength = 0;
        r = sitefile::RecallSiteFile(tiny, d);
        EXPECT_EQ(r.outcome, RecallOutcome::NotValid) << tiny.size();
        EXPECT_EQ(r.model, tiny.size() > 0 ? 1 : 0);
        EXPECT_EQ(r.version, tiny.size() > 1 ? 3 : 0);
        EXPECT_EQ(r.imageBytes, 0);
        EXPECT_EQ(d.ImageLength, 1452);
        EXPECT_EQ(paramImage(d, 0, 2000), QByteArray(2000, '\0'));
    }
}

TEST(SiteFileIo, ReplacesWholeOrLeavesThePreviousFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("site.bin");

    EXPECT_EQ(sitefile::SaveFileBytes(path, "first version, longer"), QString());
    EXPECT_EQ(fileBytes(path), "first version, longer");
    EXPECT_EQ(sitefile::SaveFileBytes(path, QByteArray("\x00\x01", 2)), QString());
    EXPECT_EQ(fileBytes(path), QByteArray("\x00\x01", 2)) << "replaced, not overwritten in place";

    // A store that fails part way (file size limit, as a full disk) keeps the previous file whole
    // and leaves no temporary file behind.
    const QByteArray previous = factorySiteFile();
    ASSERT_TRUE(writeFile(path, previous));
    QString error;
    {
        FileSizeLimit limit(100);
        error = sitefile::SaveFileBytes(path, factorySiteFile(2, 4));
    }
    EXPECT_TRUE(error.contains("File too large")) << error.toStdString();
    EXPECT_EQ(fileBytes(path), previous);
    EXPECT_EQ(otherEntries(dir.path(), {"site.bin"}), QStringList());

    // Places that cannot take a file.
    EXPECT_FALSE(sitefile::SaveFileBytes(dir.filePath("missing/site.bin"), "x").isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/site.bin")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(sitefile::SaveFileBytes(dir.filePath("folder"), "x").isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath("folder")).isDir());

    // Reading: at most the limit; a missing file is an error with no bytes.
    QByteArray big(5000, 'b');
    ASSERT_TRUE(writeFile(dir.filePath("big.bin"), big));
    QByteArray bytes;
    EXPECT_EQ(sitefile::ReadFileBytes(dir.filePath("big.bin"), sitefile::kRecallReadLimit, bytes), QString());
    EXPECT_EQ(bytes.size(), 3 + 2001 + 1);
    EXPECT_EQ(sitefile::ReadFileBytes(path, sitefile::kRecallReadLimit, bytes), QString());
    EXPECT_EQ(bytes, previous);
    EXPECT_FALSE(sitefile::ReadFileBytes(dir.filePath("gone.bin"), 100, bytes).isEmpty());
    EXPECT_TRUE(bytes.isEmpty());
}

// Only regular files are replaced; a FIFO is never opened for reading, nor waited on for a reader.
TEST(SiteFileIo, DevicesAndFifosAreNeverReplaced)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("fifo"), piped = dir.filePath("piped"), regular = dir.filePath("site.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(piped).constData(), 0600), 0);
    ASSERT_TRUE(writeFile(regular, "old"));
    const int reader = open(QFile::encodeName(piped).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    alarm(30); // an open that waits ends the test rather than hanging it

    const struct {
        bool save;
        QString path;
        const char* error; // "" for success
    } cases[] = {
        {false, fifo, "FIFO"}, {false, dir.path(), "folder"}, {false, "/dev/null", ""},
        {true, "/dev/full", "No space left on device"}, {true, fifo, "no reader"}, {true, "/dev/null", ""},
        {true, piped, ""}, {true, regular, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.save ? "save " : "read ") + c.path.toStdString());
        struct stat before {}, after {};
        ASSERT_EQ(stat(QFile::encodeName(c.path).constData(), &before), 0);
        QByteArray bytes = "stale";
        const QString error = c.save ? sitefile::SaveFileBytes(c.path, "new") : sitefile::ReadFileBytes(c.path, 100, bytes);
        EXPECT_EQ(error.isEmpty(), !*c.error) << error.toStdString();
        EXPECT_TRUE(error.contains(c.error)) << error.toStdString();
        EXPECT_EQ(bytes, c.save ? "stale" : "");
        ASSERT_EQ(stat(QFile::encodeName(c.path).constData(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino == before.st_ino, c.path != regular) << "only a regular file is replaced";
    }
    alarm(0);
    EXPECT_EQ(fileBytes(regular), "new");
    char got[8] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 3);
    EXPECT_EQ(QByteArray(got), "new");
    close(reader);
}

TEST(AuditSheet, FactoryImageLineByLine)
{
    const QByteArray expected = expectedFactorySheet();
    ASSERT_EQ(expected.size(), 1673) << "expected file missing or changed";
    const QByteArray sheet = sheetOf(*factoryData());
    const QList<QByteArray> want = sheetLines(expected);
    const QList<QByteArray> got = sheetLines(sheet);
    ASSERT_EQ(want.size(), 91);
    for (qsizetype i = 0; i < std::min(want.size(), got.size()); ++i)
        EXPECT_EQ(got[i].toStdString(), want[i].toStdString()) << "line " << i + 1;
    EXPECT_EQ(got.size(), want.size());
    EXPECT_EQ(sheet, expected) << "byte for byte, CR LF line ends included";
}

TEST(AuditSheet, LoopValues)
{
    auto d = factoryData();
    modData::LoopRecord& loop1 = d->LoopCells[3];
    modData::LoopRecord& loop2 = d->LoopCells[2];
    auto lines = [&] { return sheetLines(sheetOf(*d)); };

    struct Case {
        std::uint32_t status, quantity, action;
        const char *statusLine, *quantityLine, *actionLine;
    };
    const Case cases[] = {
        {7, 1, 1, "STATUSON", "STATUSSTD FLOW", "ON ERRORFORCE Zero(4ma)"},
        {255, 2, 2, "STATUSON", "STATUSMASS FLOW", "ON ERRORFORCE LOW (2ma)"},
        {0, 3, 3, "STATUSOFF", "STATUSVOS", "ON ERRORFORCE HIGH (25ma)"},
        {1, 200, 4, "STATUSON", "STATUSVOS", "ON ERRORFORCE HIGH (25ma)"},
    };
    for (const Case& c : cases) {
        loop1.LoopStatus.u = c.status;
        loop1.LoopParam.u = c.quantity;
        loop1.LoopErrAction.u = c.action;
        const auto l = lines();
        EXPECT_EQ(l[9], "LOOP 1");
        EXPECT_EQ(l[10], c.statusLine);
        EXPECT_EQ(l[12], c.quantityLine);
        EXPECT_EQ(l[15], c.actionLine);
        EXPECT_EQ(l[18], "STATUSOFF") << "loop 2 is record 2";
    }

    // Out MIN / MAX: the value times 1000 times 60 is a single. The single nearest
    // 1.67499984E-05 (bits 0x378C8259) times 60000 is 1.0049999037; held as a single that is
    // 1.00499988 and to 7 digits 1.005000, so it prints 1.01 (worked in doubles it would be 1.00).
    loop1.OutMin.f = std::bit_cast<float>(0x378C8259u);
    loop1.OutMax.f = -1.0e-4f; // -6 lpm: the minus sign in front of the pattern
    loop2.OutMin.f = 0.5f;     // 30000 lpm: digits left of the point are never cut
    loop2.LoopChannel.u = 2;
    const auto l = lines();
    EXPECT_EQ(l[13], " \tOut MIN\t1.01lpm");
    EXPECT_EQ(l[14], " \tOut MAX\t-6.00lpm");
    EXPECT_EQ(l[21], " \tOut MIN\t30000.00lpm");
    EXPECT_EQ(l[19], " \tDATA CHANNEL\t 2");
    EXPECT_EQ(l[22], " \tOut MAX\t21.60lpm");
}

TEST(AuditSheet, ChannelValues)
{
    auto d = factoryData();
    modData::ChannelRecord& ch1 = d->ChannelCells[0];
    modData::ChannelRecord& ch2 = d->ChannelCells[1];

    // One-channel meter: the second section is still printed, marked OFF.
    d->GlobalCells.NumberChan.u = 1;
    QByteArray s = sheetOf(*d);
    EXPECT_EQ(sheetLines(s).size(), 91);
    EXPECT_EQ(sheetLines(s)[6], " \tNumberChan\t 1");
    EXPECT_EQ(channelLine(s, 1, 3), " \tChannel Status\tON");
    EXPECT_EQ(channelLine(s, 2, 2), "Channel 2");
    EXPECT_EQ(channelLine(s, 2, 3), " \tChannel Status\tOFF");
    EXPECT_EQ(channelLine(s, 2, 9), " \tTRANSDUCER\tKRB17");
    d->GlobalCells.NumberChan.u = 0;
    EXPECT_EQ(channelLine(sheetOf(*d), 2, 3), " \tChannel Status\tON") << "only a count of 1 turns channel 2 off";

    // Transducer names, tube materials, averaging, zero action, fluid, each against its value.
    const std::pair<std::uint32_t, const char*> transducers[] = {
        {3, "KRB32"}, {4, "KRB58"}, {5, "KRB74"}, {0, "SPECIAL"}, {6, "SPECIAL"}, {65535, "SPECIAL"}};
    for (const auto& [type, text] : transducers) {
        ch2.XducerType.u = type;
        EXPECT_EQ(channelLine(sheetOf(*d), 2, 9), std::string(" \tTRANSDUCER\t") + text);
    }
    const std::pair<float, const char*> walls[] = {
        {1600.0f, "PTFE"},
        {3200.0f, "Stainless Steel"},
        {1500.001f, "OTHER Speed  1500.001m/s"},
        // Just below 1500: not PFA, although its 7-digit text is 1500.
        {1499.9999f, "OTHER Speed  1500m/s"},
        {2300.5f, "OTHER Speed  2300.5m/s"},
        {0.0f, "OTHER Speed  0m/s"},
        {-1.0f, "OTHER Speed -1m/s"},
    };
    for (const auto& [speed, text] : walls) {
        ch1.WallSpeed.f = speed;
        EXPECT_EQ(channelLine(sheetOf(*d), 1, 10), std::string(" \tTube Material\t") + text) << speed;
    }
    const std::pair<std::uint32_t, const char*> averages[] = {
        {2, "NONE"}, {10, "2SEC"}, {40, "5SEC"}, {50, "30SEC"}, {60, "60SEC"}, {66, "FEEDBACK"},
        {99, "AUTO"}, {7, " 7BOXCAR"}, {0, " 0BOXCAR"}, {255, " 255BOXCAR"}};
    for (const auto& [code, text] : averages) {
        ch1.ResponseTime.u = code;
        EXPECT_EQ(channelLine(sheetOf(*d), 1, 14), std::string(" \tAVERAGE\t") + text);
    }
    const std::pair<std::uint32_t, const char*> zeroActions[] = {
        {1, "Dry Pipe"}, {2, "Wrong Fluid"}, {3, "Range"}, {4, "RANGE"}, {65535, "RANGE"}, {0, "Hold LAST"}};
    for (const auto& [code, text] : zeroActions) {
        ch2.ErrHandle.u = code;
        EXPECT_EQ(channelLine(sheetOf(*d), 2, 15), std::string(" \tZero ON\t") + text);
    }
    const std::pair<float, const char*> fluids[] = {
        {1475.0f, " OTHER VOS = 1475.0"},
        {1495.0f, " OTHER VOS = 1495.0"},
        {1475.0001f, " WATER"}, // the single just above 1475
        {1494.9999f, " WATER"},
        {343.21f, " OTHER VOS = 343.2"},
        {0.0f, " OTHER VOS = .0"},
        {12345.67f, " OTHER VOS = 12345.7"},
    };
    for (const auto& [speed, text] : fluids) {
        ch1.FluidVOS.f = speed;
        EXPECT_EQ(channelLine(sheetOf(*d), 1, 16), std::string(" \tFluid Type\t") + text) << speed;
    }

    // Lengths in mm (singles), flows in lpm (doubles: 0.785 is a double).
    ch2.PipeID.f = 0.5f;
    ch2.WallThick.f = 0.0f;
    ch2.Spacing.f = 0.0f;
    // 0.00084968138 (bits 0x3A5EBD27) x 0.785 x 0.5 x 0.5 x 60000 = 0.00084968138 x 11775
    // = 10.0049983: 10.00 in doubles (a single would hold 10.005, giving 10.01).
    ch2.MaxVel.f = std::bit_cast<float>(0x3A5EBD27u);
    ch2.MinVel.f = 0.0f;
    s = sheetOf(*d);
    EXPECT_EQ(channelLine(s, 2, 11), " \tTube OD\t500.00mm");
    EXPECT_EQ(channelLine(s, 2, 12), " \tWall Thick\t.00mm");
    EXPECT_EQ(channelLine(s, 2, 13), " \tAxial Space\t.00mm");
    EXPECT_EQ(channelLine(s, 2, 19), " \tMax Flow\t10.00lpm");
    EXPECT_EQ(channelLine(s, 2, 20), " \tMin Flow\t.00lpm");

    // Limits, signal level and the signal processing values.
    ch1.MaxVOS.f = 1650.5f;
    ch1.MinVOS.f = -3.0f;
    ch1.MaxErrPct.u = 0;
    ch1.CalFactor.f = 0.98f;
    ch1.ZeroTrim.f = -2.5e-9f;
    ch1.CalTableKind.u = 1;
    ch1.CutOff.f = 1.0e-5f;
    ch1.PulseWidth.u = 255;
    ch1.AntiJitter.u = 0;
    ch1.Threshold.u = 128;
    ch1.ParticleIndex.u = 65535;
    ch1.LoadingIndex.u = 0;
    ch1.SigMode.u = 0;
    ch2.SigMode.u = 0x8041;
    s = sheetOf(*d);
    EXPECT_EQ(channelLine(s, 1, 5), " \tK_FACTOR\t .98");
    EXPECT_EQ(channelLine(s, 1, 6), " \tMulti-Point\tON");
    EXPECT_EQ(channelLine(s, 1, 7), " \tZERO_OFFSET\t-2.5E-09");
    EXPECT_EQ(channelLine(s, 1, 21), " \tMax VOS\t 1650.5");
    EXPECT_EQ(channelLine(s, 1, 22), " \tMin VOS\t-3");
    EXPECT_EQ(channelLine(s, 1, 23), " \tMax % Error\t 0");
    EXPECT_EQ(channelLine(s, 1, 27), " \tNumPulse\t 255");
    EXPECT_EQ(channelLine(s, 1, 28), " \tAnti-Jitter\t 0");
    EXPECT_EQ(channelLine(s, 1, 29), " \tThreshold\t 128");
    EXPECT_EQ(channelLine(s, 1, 30), " \tCut Off\t 1E-05");
    EXPECT_EQ(channelLine(s, 1, 31), " \tPartical Index\t 65535");
    EXPECT_EQ(channelLine(s, 1, 32), " \tLoading Index\t 0");
    EXPECT_EQ(channelLine(s, 1, 33), " \tO-SCOPE MODE\tON ");
    EXPECT_EQ(channelLine(s, 2, 33), " \tO-SCOPE MODE\tON ");

    // Min Signal: 140 - w / 5 to the nearest integer.
    const std::pair<std::uint32_t, const char*> levels[] = {
        {0, " 140"}, {2, " 140"}, {3, " 139"}, {700, " 0"}, {702, " 0"}, {703, "-1"}, {65535, "-12967"}};
    for (const auto& [w, text] : levels) {
        ch1.MinSignal.u = w;
        EXPECT_EQ(channelLine(sheetOf(*d), 1, 24), std::string(" \tMin Signal\t") + text) << w;
    }
}

TEST(AuditSheet, TextStaysInItsLineAndField)
{
    auto d = factoryData();
    // Control bytes, DEL, a C1 control and a Latin-1 letter in the name field.
    d->GlobalCells.MeterName.text = std::string("A\tB\r\nC\0\x7F\x85\xE9", 10);
    QByteArray s = sheetOf(*d);
    QList<QByteArray> l = sheetLines(s);
    ASSERT_EQ(l.size(), 91);
    EXPECT_EQ(l[4], QByteArray(" \tMeterName\tA?B??C???\xE9"));
    EXPECT_EQ(s.count("\r\n"), 91);
    EXPECT_EQ(s.count('\n'), 91);
    EXPECT_EQ(s.count('\r'), 91);

    // A name as typed: padded or cut to its 10 characters.
    d->GlobalCells.MeterName.text = "BENCH 7";
    EXPECT_EQ(sheetLines(sheetOf(*d))[4], " \tMeterName\tBENCH 7   ");
    d->GlobalCells.MeterName.text = "ABCDEFGHIJKL";
    EXPECT_EQ(sheetLines(sheetOf(*d))[4], " \tMeterName\tABCDEFGHIJ");
    d->GlobalCells.MeterName.text.clear();
    EXPECT_EQ(sheetLines(sheetOf(*d))[4], " \tMeterName\t          ");

    // Captions: Latin-1 letters as their byte, anything beyond as one "?" per character.
    s = auditsheet::AuditSheet(*d, QString::fromUtf8("Model: \xE6\xB5\x81\xE9\x87\x8F\xF0\x9F\x98\x80 caf\xC3\xA9"),
                               "Ver\nsion", "SN\t1");
    l = sheetLines(s);
    ASSERT_EQ(l.size(), 91);
    EXPECT_EQ(l[1], QByteArray("MODELModel: ??? caf\xE9"));
    EXPECT_EQ(l[2], "SW_VERSIONVer?sion");
    EXPECT_EQ(l[3], "SERIAL; SN?1");

    EXPECT_EQ(auditsheet::ReportLine({" ", "label"}), " \tlabel\r\n");
    EXPECT_EQ(auditsheet::ReportLine({" ", "label", ""}), " \tlabel\t\r\n");
    EXPECT_EQ(auditsheet::ReportLine({"plain"}), "plain\r\n");
}
