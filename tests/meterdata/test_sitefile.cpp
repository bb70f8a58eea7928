// Site file bytes, the recall of whole, damaged, short and long files, the safe file writer, and
// the audit sheet's lines, without windows (the whole factory sheet: the menu's print test).

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
using modData::ChannelRecord;
using modData::LoopRecord;
using modData::ParameterCell;
using sitefile::RecallOutcome;

namespace {

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

// Line k (1-based) of channel 1's and channel 2's section, as a 0-based sheet line.
constexpr int ch1(int k) { return 24 + k; }
constexpr int ch2(int k) { return 57 + k; }

// One cell of record `record` of the factory cells set to each value in turn (a float cell to the
// value, any other to it as a whole number): sheet line `line` is then `label` and the value's text.
template <class Record> struct CellLines {
    int record;
    ParameterCell Record::*cell;
    int line;
    const char* label;
    std::vector<std::pair<float, const char*>> values;
};

template <class Record, std::size_t N, std::size_t M>
void expectLines(std::array<Record, N> modData::MeterData::*records, const CellLines<Record> (&rows)[M])
{
    for (const CellLines<Record>& r : rows)
        for (const auto& [value, text] : r.values) {
            auto d = factoryData();
            ParameterCell& c = ((*d).*records)[r.record].*r.cell;
            if (c.kind == modData::CellKind::FloatCell)
                c.f = value;
            else
                c.u = static_cast<std::uint32_t>(value);
            const QList<QByteArray> lines = sheetLines(sheetOf(*d));
            ASSERT_EQ(lines.size(), 91);
            EXPECT_EQ(lines[r.line].toStdString(), std::string(r.label) + text) << "record " << r.record << ", " << value;
        }
}

} // namespace

TEST(SiteFileBytes, HeadThenTheImageLengthBytes)
{
    EXPECT_EQ(sitefile::SiteFileBytes(1, 3, *factoryData()), factorySiteFile(1, 3));
    // Only ImageLength bytes are stored: 300 bytes of 1 sum to 300 mod 256 = 0x2C.
    auto d = std::make_unique<modData::MeterData>();
    std::fill(d->ParamImage.begin(), d->ParamImage.end(), std::uint8_t{1});
    d->ImageLength = 300;
    EXPECT_EQ(sitefile::SiteFileBytes(0xFE, 0x80, *d), QByteArray("\xFE\x80\x2C", 3) + QByteArray(300, '\x01'));
    d->ImageLength = 0;
    EXPECT_EQ(sitefile::SiteFileBytes(5, 7, *d), QByteArray("\x05\x07\x00", 3));
}

TEST(RecallSiteFile, WholeDamagedShortLongAndTooLongFiles)
{
    const QByteArray good = factorySiteFile(1, 3);
    QByteArray damaged = good, flipped = good, full(3 + 2001, '\0');
    damaged[2] = static_cast<char>(damaged[2] + 1);
    flipped[3 + 700] = static_cast<char>(flipped[3 + 700] ^ 0x10);
    for (qsizetype i = 0; i < full.size(); ++i)
        full[i] = static_cast<char>(i * 13 + 1);
    const struct {
        const char* name;
        QByteArray file;
        RecallOutcome outcome;
        int imageBytes;
    } rows[] = {
        {"whole", good, RecallOutcome::Valid, 1452},
        {"checksum byte off by one", damaged, RecallOutcome::NotValid, 1452},
        {"an image byte changed", flipped, RecallOutcome::NotValid, 1452},
        {"short", good.left(3 + 1000), RecallOutcome::NotValid, 1000},
        {"8 zero bytes more: the same sum", good + QByteArray(8, '\0'), RecallOutcome::NotValid, 1460},
        {"as much as ParamImage holds", full, RecallOutcome::NotValid, 2001},
        {"one byte more", full + "\x77", RecallOutcome::TooLong, 2001},
        {"empty", QByteArray(), RecallOutcome::NotValid, 0},
        {"model only", QByteArray("\x01", 1), RecallOutcome::NotValid, 0},
        {"head without checksum", QByteArray("\x01\x03", 2), RecallOutcome::NotValid, 0},
        {"head only", QByteArray("\x01\x03\x00", 3), RecallOutcome::NotValid, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        auto d = std::make_unique<modData::MeterData>();
        std::fill(d->ParamImage.begin(), d->ParamImage.end(), std::uint8_t{0xAA});
        d->ImageLength = 8;
        const sitefile::Recall got = sitefile::RecallSiteFile(r.file, *d);
        EXPECT_EQ(got.outcome, r.outcome);
        EXPECT_EQ(got.imageBytes, r.imageBytes);
        auto head = [&](int i) { return r.file.size() > i ? static_cast<std::uint8_t>(r.file[i]) : 0; };
        EXPECT_EQ(got.model, head(0));
        EXPECT_EQ(got.version, head(1));
        EXPECT_EQ(got.storedChecksum, head(2));
        // Bytes 0..1999: the file's image bytes, then zeros; byte 2000 changes only when the file reaches it.
        QByteArray image = r.file.mid(3).left(2001).leftJustified(2000, '\0');
        if (image.size() == 2000)
            image += '\xAA';
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(d->ParamImage.data()), 2001), image);
        EXPECT_EQ(d->ImageLength, r.outcome == RecallOutcome::TooLong ? 8 : 1452) << "the full length, unless too long";
    }
}

// Only regular files are replaced, through a temporary file renamed into place; a device or FIFO is
// written where it is; a FIFO is never opened for reading, nor waited on for a reader.
TEST(SiteFileIo, ReplacesRegularFilesWritesDevicesInPlaceAndRefusesTheRest)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("fifo"), piped = dir.filePath("piped"), regular = dir.filePath("site.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(piped).constData(), 0600), 0);
    ASSERT_TRUE(writeFile(regular, "an older, longer file"));
    const int reader = open(QFile::encodeName(piped).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    alarm(30); // an open that waits ends the test rather than hanging it

    const struct {
        bool save;
        QString path;
        const char* error; // nullptr for success, "" for any error
    } cases[] = {
        {false, fifo, "FIFO"}, {false, dir.path(), "folder"}, {false, "/dev/null", nullptr},
        {false, dir.filePath("gone.bin"), ""}, {true, "/dev/full", "No space left on device"},
        {true, fifo, "no reader"}, {true, "/dev/null", nullptr}, {true, piped, nullptr}, {true, regular, nullptr},
        {true, dir.path(), ""}, {true, dir.filePath("missing/site.bin"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.save ? "save " : "read ") + c.path.toStdString());
        const QByteArray name = QFile::encodeName(c.path);
        struct stat before {}, after {};
        const bool existed = stat(name.constData(), &before) == 0;
        QByteArray bytes = "stale";
        const QString error = c.save ? sitefile::SaveFileBytes(c.path, "new") : sitefile::ReadFileBytes(c.path, 100, bytes);
        EXPECT_EQ(error.isEmpty(), c.error == nullptr) << error.toStdString();
        EXPECT_TRUE(!c.error || error.contains(c.error)) << error.toStdString();
        EXPECT_EQ(bytes, c.save ? "stale" : "");
        ASSERT_EQ(stat(name.constData(), &after) == 0, existed) << "nothing created";
        if (existed) {
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_ino == before.st_ino, c.path != regular) << "only a regular file is replaced";
        }
    }
    alarm(0);
    EXPECT_EQ(fileBytes(regular), "new");
    char got[8] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 3);
    EXPECT_EQ(QByteArray(got), "new");
    close(reader);

    // A write that fails part way (file size limit, as a full disk) keeps the previous file whole
    // and leaves no temporary file behind.
    QString error;
    {
        FileSizeLimit limit(100);
        error = sitefile::SaveFileBytes(regular, factorySiteFile());
    }
    EXPECT_TRUE(error.contains("File too large")) << error.toStdString();
    EXPECT_EQ(fileBytes(regular), "new");
    EXPECT_EQ(filesIn(dir.path()), QStringList{"site.bin"});

    // Reading takes at most the limit.
    ASSERT_TRUE(writeFile(dir.filePath("big.bin"), QByteArray(5000, 'b')));
    QByteArray bytes;
    EXPECT_EQ(sitefile::ReadFileBytes(dir.filePath("big.bin"), sitefile::kRecallReadLimit, bytes), QString());
    EXPECT_EQ(bytes, QByteArray(3 + 2001 + 1, 'b'));
}

TEST(AuditSheet, CellValues)
{
    using LR = LoopRecord;
    using CR = ChannelRecord;
    // Loop 1 is record 3 (lines 10..17), loop 2 record 2 (lines 18..25). Out MIN / MAX: value x 1000
    // x 60 as a single; 0x378C8259 x 60000 is 1.00499988 as a single, 1.005000 to 7 digits, so 1.01
    // (1.00 in doubles).
    const CellLines<LR> loops[] = {
        {3, &LR::LoopStatus, 10, "STATUS", {{7, "ON"}, {255, "ON"}, {0, "OFF"}}},
        {2, &LR::LoopStatus, 18, "STATUS", {{1, "ON"}}},
        {3, &LR::LoopParam, 12, "STATUS", {{1, "STD FLOW"}, {2, "MASS FLOW"}, {3, "VOS"}, {200, "VOS"}}},
        {3, &LR::LoopErrAction, 15, "ON ERROR",
         {{1, "FORCE Zero(4ma)"}, {2, "FORCE LOW (2ma)"}, {3, "FORCE HIGH (25ma)"}, {4, "FORCE HIGH (25ma)"}}},
        {3, &LR::OutMin, 13, " \tOut MIN\t", {{std::bit_cast<float>(0x378C8259u), "1.01lpm"}}},
        {3, &LR::OutMax, 14, " \tOut MAX\t", {{-1.0e-4f, "-6.00lpm"}}},
        {2, &LR::OutMin, 21, " \tOut MIN\t", {{0.5f, "30000.00lpm"}}},
        {2, &LR::LoopChannel, 19, " \tDATA CHANNEL\t", {{2, " 2"}}},
    };
    expectLines(&modData::MeterData::LoopCells, loops);

    const CellLines<CR> channels[] = {
        {1, &CR::XducerType, ch2(9), " \tTRANSDUCER\t",
         {{3, "KRB32"}, {4, "KRB58"}, {5, "KRB74"}, {0, "SPECIAL"}, {6, "SPECIAL"}, {65535, "SPECIAL"}}},
        // 1499.9999 is just below 1500: not PFA, although its 7-digit text is 1500.
        {0, &CR::WallSpeed, ch1(10), " \tTube Material\t",
         {{1600.0f, "PTFE"}, {3200.0f, "Stainless Steel"}, {1500.001f, "OTHER Speed  1500.001m/s"},
          {1499.9999f, "OTHER Speed  1500m/s"}, {2300.5f, "OTHER Speed  2300.5m/s"}, {0.0f, "OTHER Speed  0m/s"},
          {-1.0f, "OTHER Speed -1m/s"}}},
        {0, &CR::ResponseTime, ch1(14), " \tAVERAGE\t",
         {{2, "NONE"}, {10, "2SEC"}, {40, "5SEC"}, {50, "30SEC"}, {60, "60SEC"}, {66, "FEEDBACK"}, {99, "AUTO"},
          {7, " 7BOXCAR"}, {0, " 0BOXCAR"}, {255, " 255BOXCAR"}}},
        {1, &CR::ErrHandle, ch2(15), " \tZero ON\t",
         {{1, "Dry Pipe"}, {2, "Wrong Fluid"}, {3, "Range"}, {4, "RANGE"}, {65535, "RANGE"}, {0, "Hold LAST"}}},
        // 1475.0001 is the single just above 1475.
        {0, &CR::FluidVOS, ch1(16), " \tFluid Type\t ",
         {{1475.0f, "OTHER VOS = 1475.0"}, {1495.0f, "OTHER VOS = 1495.0"}, {1475.0001f, "WATER"}, {1494.9999f, "WATER"},
          {343.21f, "OTHER VOS = 343.2"}, {0.0f, "OTHER VOS = .0"}, {12345.67f, "OTHER VOS = 12345.7"}}},
        // Min Signal: 140 - w / 5 to the nearest integer.
        {0, &CR::MinSignal, ch1(24), " \tMin Signal\t",
         {{0, " 140"}, {2, " 140"}, {3, " 139"}, {700, " 0"}, {702, " 0"}, {703, "-1"}, {65535, "-12967"}}},
        {1, &CR::WallThick, ch2(12), " \tWall Thick\t", {{0.0f, ".00mm"}}},
        {1, &CR::Spacing, ch2(13), " \tAxial Space\t", {{0.0f, ".00mm"}}},
        {1, &CR::MinVel, ch2(20), " \tMin Flow\t", {{0.0f, ".00lpm"}}},
        {0, &CR::CalFactor, ch1(5), " \tK_FACTOR\t", {{0.98f, " .98"}}},
        {0, &CR::CalTableKind, ch1(6), " \tMulti-Point\t", {{1, "ON"}}},
        {0, &CR::ZeroTrim, ch1(7), " \tZERO_OFFSET\t", {{-2.5e-9f, "-2.5E-09"}}},
        {0, &CR::MaxVOS, ch1(21), " \tMax VOS\t", {{1650.5f, " 1650.5"}}},
        {0, &CR::MinVOS, ch1(22), " \tMin VOS\t", {{-3.0f, "-3"}}},
        {0, &CR::MaxErrPct, ch1(23), " \tMax % Error\t", {{0, " 0"}}},
        {0, &CR::PulseWidth, ch1(27), " \tNumPulse\t", {{255, " 255"}}},
        {0, &CR::AntiJitter, ch1(28), " \tAnti-Jitter\t", {{0, " 0"}}},
        {0, &CR::Threshold, ch1(29), " \tThreshold\t", {{128, " 128"}}},
        {0, &CR::CutOff, ch1(30), " \tCut Off\t", {{1.0e-5f, " 1E-05"}}},
        {0, &CR::ParticleIndex, ch1(31), " \tPartical Index\t", {{65535, " 65535"}}},
        {0, &CR::LoadingIndex, ch1(32), " \tLoading Index\t", {{0, " 0"}}},
        {0, &CR::SigMode, ch1(33), " \tO-SCOPE MODE\t", {{0, "ON "}}},
        {1, &CR::SigMode, ch2(33), " \tO-SCOPE MODE\t", {{0x8041, "ON "}}},
    };
    expectLines(&modData::MeterData::ChannelCells, channels);

    // Tube OD is the inner diameter and twice the wall. Max Flow in doubles: 0x3A5EBD27 x 0.785 x 0.5
    // x 0.5 x 60000 = 10.0049983, so 10.00 (10.01 in singles).
    auto d = factoryData();
    d->ChannelCells[1].PipeID.f = 0.5f;
    d->ChannelCells[1].WallThick.f = 0.0f;
    d->ChannelCells[1].MaxVel.f = std::bit_cast<float>(0x3A5EBD27u);
    QList<QByteArray> l = sheetLines(sheetOf(*d));
    EXPECT_EQ(l[ch2(11)], " \tTube OD\t500.00mm");
    EXPECT_EQ(l[ch2(19)], " \tMax Flow\t10.00lpm");

    // One-channel meter: the second section is still printed, marked OFF; only a count of 1 does that.
    d->GlobalCells.NumberChan.u = 1;
    l = sheetLines(sheetOf(*d));
    ASSERT_EQ(l.size(), 91);
    EXPECT_EQ(l[6], " \tNumberChan\t 1");
    EXPECT_EQ(l[ch1(3)], " \tChannel Status\tON");
    EXPECT_EQ(l[ch2(2)], "Channel 2");
    EXPECT_EQ(l[ch2(3)], " \tChannel Status\tOFF");
    EXPECT_EQ(l[ch2(9)], " \tTRANSDUCER\tKRB17");
    d->GlobalCells.NumberChan.u = 0;
    EXPECT_EQ(sheetLines(sheetOf(*d))[ch2(3)], " \tChannel Status\tON");
}

TEST(AuditSheet, TextStaysInItsLineAndField)
{
    auto d = factoryData();
    // Control bytes, DEL, a C1 control and a Latin-1 letter; a name as typed, padded or cut to 10.
    const std::pair<std::string, QByteArray> names[] = {
        {std::string("A\tB\r\nC\0\x7F\x85\xE9", 10), "A?B??C???\xE9"},
        {"BENCH 7", "BENCH 7   "},
        {"ABCDEFGHIJKL", "ABCDEFGHIJ"},
        {"", "          "},
    };
    for (const auto& [name, field] : names) {
        d->GlobalCells.MeterName.text = name;
        const QByteArray s = sheetOf(*d);
        const QList<QByteArray> l = sheetLines(s);
        ASSERT_EQ(l.size(), 91);
        EXPECT_EQ(l[4], " \tMeterName\t" + field);
        EXPECT_EQ(s.count("\r\n"), 91);
        EXPECT_EQ(s.count('\n') + s.count('\r'), 2 * 91);
    }

    // Captions: Latin-1 letters as their byte, anything beyond as one "?" per character.
    const QList<QByteArray> l = sheetLines(auditsheet::AuditSheet(
        *d, QString::fromUtf8("Model: \xE6\xB5\x81\xE9\x87\x8F\xF0\x9F\x98\x80 caf\xC3\xA9"), "Ver\nsion", "SN\t1"));
    ASSERT_EQ(l.size(), 91);
    EXPECT_EQ(l[1], QByteArray("MODELModel: ??? caf\xE9"));
    EXPECT_EQ(l[2], "SW_VERSIONVer?sion");
    EXPECT_EQ(l[3], "SERIAL; SN?1");

    EXPECT_EQ(auditsheet::ReportLine({" ", "label"}), " \tlabel\r\n");
    EXPECT_EQ(auditsheet::ReportLine({" ", "label", ""}), " \tlabel\t\r\n");
    EXPECT_EQ(auditsheet::ReportLine({"plain"}), "plain\r\n");
}
