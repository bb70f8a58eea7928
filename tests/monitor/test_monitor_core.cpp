// The plain parts of the data log: one answer taken apart, the row text, the data-log file writer
// and the strip chart arithmetic.

#include "link/modComFun.h"
#include "monitor/datalogfile.h"
#include "monitor/livedata.h"
#include "monitor/stripchart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace mc = modComFun;

void putFloat(Bytes& frame, std::size_t at, float v)
{
    std::memcpy(frame.data() + at, &v, 4);
}
void putShort(Bytes& frame, std::size_t at, std::int16_t v)
{
    frame[at] = static_cast<std::uint8_t>(v & 0xFF);
    frame[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// A live-data answer as the meter writes it; offsets are frame offsets (0 = node address).
Bytes answer(float mean, float sound, float flow, float sdv, float time, float total, std::int16_t load,
             std::int16_t size, std::int16_t absorb, std::uint8_t gate, std::uint8_t batch, std::uint8_t status)
{
    Bytes frame(50, 0);
    putFloat(frame, 4, mean);
    putFloat(frame, 8, sound);
    putFloat(frame, 12, flow);
    putFloat(frame, 16, sdv);
    putFloat(frame, 20, time);
    putFloat(frame, 24, total);
    putShort(frame, 28, load);
    putShort(frame, 30, size);
    putShort(frame, 32, absorb);
    frame[34] = 0xAA; // bytes that are not read
    frame[35] = 0xBB;
    frame[36] = gate;
    for (std::size_t i = 37; i < 48; ++i)
        frame[i] = 0xCC;
    frame[48] = batch;
    frame[49] = status;
    return mc::AnswerFrame(17, 30, Bytes(frame.begin() + 2, frame.end()));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

const char* const kHeader = "Time\tFlow_Rate\tSpeed_Sound\tTotal_Time\tVOL_Total\tAbsorb\tTurbulence\tSpeed_Sound\t"
                            "Loading\tPart_Size\tFlow_Rate\tSpeed_Sound\tVOL_Total\tAbsorb\tTurbulence\tSpeed_Sound\t"
                            "Loading\tPart_Size";

} // namespace

TEST(LiveAnswer, DecodesEveryFieldAtItsOffsetWithUnitsAndFormats)
{
    const Bytes frame = answer(0.002f, 1482.5f, 0.0025f, 0.0001f, 12.5f, 0.0375f, 1234, 12, -35, 0, 1, 2);
    ASSERT_EQ(frame.size(), 52u);
    const livedata::Answer a = livedata::Decode(frame.data());
    EXPECT_EQ(a.meanFlow, 0.002f);
    EXPECT_EQ(a.sound, 1482.5f);
    EXPECT_EQ(a.flow, 0.0025f);
    EXPECT_EQ(a.sdv, 0.0001f);
    EXPECT_EQ(a.totalTime, 12.5f);
    EXPECT_EQ(a.total, 0.0375f);
    EXPECT_EQ(a.load, 1234);
    EXPECT_EQ(a.size, 12);
    EXPECT_EQ(a.absorb, -35);
    EXPECT_EQ(a.gate, 0);
    EXPECT_EQ(a.batch, 1);
    EXPECT_EQ(a.status, 2);

    // Channel B in lpm, m/s and L; channel A untouched.
    livedata::Channels v;
    const livedata::Factors units{1.0f, static_cast<float>(1.0 / 60000), 0.001f};
    livedata::Shown s = livedata::Apply(v, 1, a, units);
    EXPECT_EQ(v.MeanFlowRaw[1], 0.002f);
    EXPECT_EQ(v.SoundSpeed[1], 1482.5f);
    EXPECT_EQ(v.FlowRate[1], 150.0f);
    EXPECT_NEAR(v.FlowSdvPct[1], 5.0f, 1e-5);
    EXPECT_EQ(v.ParticleLoad[1], 1.234f);
    EXPECT_EQ(v.ParticleSize[1], 12);
    EXPECT_EQ(v.Absorption[1], -3.5f);
    EXPECT_EQ(v.StatusCode[1], 2.0f);
    EXPECT_EQ(v.FlowRate[0], 0.0f);
    EXPECT_EQ(v.SoundSpeed[0], 0.0f);
    EXPECT_EQ(s.txtVOS, "1482.5");
    EXPECT_EQ(s.txtFlow, "150.0000");
    EXPECT_EQ(s.txtReyn, "5.000");
    EXPECT_EQ(s.txtTotalTime, "12.5000");
    EXPECT_EQ(s.txtTotal, "37.5000");
    EXPECT_EQ(s.txtLoad, "1.2");
    EXPECT_EQ(s.txtSize, " 12");
    EXPECT_EQ(s.txtAbsorb, "-3.5");

    // Other units: ft/s, cfm, m^3.
    const livedata::Factors other{0.3048f, static_cast<float>(1.0 / 35.3146 / 60), 1.0f};
    s = livedata::Apply(v, 0, a, other);
    EXPECT_EQ(s.txtVOS, "4863.8");
    EXPECT_EQ(s.txtFlow, "5.2972");
    EXPECT_EQ(s.txtTotal, "0.0375");

    // A mean flow of 0: the box shows the deviation as received, the percentage keeps its value.
    const Bytes still = answer(0.0f, 1480.0f, 0.0f, 0.0123f, 0.0f, 0.0f, -500, -3, 0, 1, 0, 0);
    s = livedata::Apply(v, 1, livedata::Decode(still.data()), units);
    EXPECT_EQ(s.txtReyn, "0.012");
    EXPECT_NEAR(v.FlowSdvPct[1], 5.0f, 1e-5);
    EXPECT_EQ(v.MeanFlowRaw[1], 0.0f);
    EXPECT_EQ(s.txtSize, "-3");
    EXPECT_EQ(s.txtLoad, "-0.5");
    EXPECT_EQ(s.txtFlow, "0.0000");
    EXPECT_EQ(s.txtTotalTime, "0.0000");
    EXPECT_EQ(v.StatusCode[1], 0.0f);
}

TEST(LiveAnswer, AlarmCaptionsAndTheAveragedFlow)
{
    EXPECT_EQ(livedata::AlarmCaption(0), "");
    EXPECT_EQ(livedata::AlarmCaption(1), "DRY PIPE");
    EXPECT_EQ(livedata::AlarmCaption(2), "WRONG FLUID");
    EXPECT_EQ(livedata::AlarmCaption(3), "RANGE");
    EXPECT_EQ(livedata::AlarmCaption(4), "RANGE");
    EXPECT_EQ(livedata::AlarmCaption(255), "RANGE");

    using Show = livedata::Average::Show;
    livedata::Average avg;
    EXPECT_EQ(avg.Step(1, 5.0f), Show::Unchanged) << "gate closed before any sample";
    EXPECT_EQ(avg.Step(0, 10.0f), Show::Collecting);
    EXPECT_EQ(avg.Step(0, 11.0f), Show::Collecting);
    EXPECT_EQ(avg.Step(0, 12.5f), Show::Collecting);
    EXPECT_EQ(avg.AvgArmed, 1);
    EXPECT_EQ(avg.AvgCount, 3);
    EXPECT_EQ(avg.Step(7, 99.0f), Show::Mean);
    EXPECT_EQ(avg.Text(), "11.1667");
    // Reopening the gate goes on summing.
    EXPECT_EQ(avg.Step(0, 1.5f), Show::Collecting);
    EXPECT_EQ(avg.Step(1, 0.0f), Show::Mean);
    EXPECT_EQ(avg.Text(), "8.7500");
    avg.Clear();
    EXPECT_EQ(avg.AvgCount, 0);
    EXPECT_EQ(avg.AvgSum, 0.0f);
    EXPECT_EQ(avg.Step(1, 3.0f), Show::Unchanged);
    // A long run does not wrap the count.
    for (int i = 0; i < 40000; ++i)
        avg.Step(0, 2.0f);
    EXPECT_EQ(avg.AvgCount, 40000);
    EXPECT_EQ(avg.Step(1, 0.0f), Show::Mean);
    EXPECT_EQ(avg.Text(), "2.0000");
}

TEST(LogRow, HeaderAndFieldFormats)
{
    EXPECT_EQ(livedata::HeaderLine(), QString::fromLatin1(kHeader));

    livedata::Channels v;
    // Channel B never polled: its initial values.
    v.FlowRate[0] = 0.5f;
    v.SoundSpeed[0] = 1482.456f;
    v.Absorption[0] = -3.5f;
    v.FlowSdvPct[0] = 0.5f;
    v.ParticleLoad[0] = 1.25f;
    v.ParticleSize[0] = 12;
    EXPECT_EQ(livedata::RowLine(QTime(9, 5, 59), v, "12.5000", "37.5000", ""),
              "09:05\t.500\t1482.456\t12.5000\t37.5000\t-3.50\t0.500\t1482.46\t1.3\t 12\t"
              ".000\t.000\t\t.00\t0.000\t.00\t.0\t 0");

    v.FlowRate[1] = 1234.5678f;
    v.SoundSpeed[1] = 0.0625f;
    v.Absorption[1] = 12.345f;
    v.FlowSdvPct[1] = 25.0f;
    v.ParticleLoad[1] = -0.04f;
    v.ParticleSize[1] = -3;
    EXPECT_EQ(livedata::RowLine(QTime(23, 59), v, "0.0000", "1.0000", "2.0000"),
              "23:59\t.500\t1482.456\t0.0000\t1.0000\t-3.50\t0.500\t1482.46\t1.3\t 12\t"
              "1234.568\t.063\t2.0000\t12.35\t25.000\t.06\t-.0\t-3");
}

TEST(DataLogFile, HeaderRowsFlushesAndAppending)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("run.dat");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old content\r\n");
    }

    DataLogFile log;
    log.AddRow("stale"); // a row from before the start is dropped by the start's flush
    EXPECT_EQ(log.FlushLog(false).failed, false);
    EXPECT_EQ(readAll(path), QByteArray("old content\r\n"));

    log.SetFileName(path);
    ASSERT_TRUE(log.WriteLogHeader(livedata::HeaderLine()));
    log.AddRow("r1\ta");
    log.AddRow(QString::fromLatin1("r2\t\xB5m")); // Latin-1 text
    EXPECT_EQ(log.RowCount(), 2);
    EXPECT_EQ(readAll(path), QByteArray("old content\r\n") + kHeader + "\r\n") << "rows wait for the flush";
    EXPECT_FALSE(log.FlushLog(true).failed);
    EXPECT_EQ(log.RowCount(), 0);
    const QByteArray once = QByteArray("old content\r\n") + kHeader + "\r\nr1\ta\r\nr2\t\xB5m\r\n";
    EXPECT_EQ(readAll(path), once);
    // An empty flush, and a flush of a stopped log, add nothing.
    EXPECT_FALSE(log.FlushLog(true).failed);
    log.AddRow("not written");
    EXPECT_FALSE(log.FlushLog(false).failed);
    EXPECT_EQ(readAll(path), once);
    EXPECT_EQ(log.RowCount(), 0);
}

TEST(DataLogFile, FailedFlushKeepsItsRowsAndWritesThemOnceLater)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("logs");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/a.dat";

    DataLogFile log;
    log.SetFileName(path);
    ASSERT_TRUE(log.WriteLogHeader("H"));
    log.AddRow("1");
    log.AddRow("2");
    ASSERT_FALSE(log.FlushLog(true).failed);

    // The folder goes away: the block is kept.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    log.AddRow("3");
    log.AddRow("4");
    DataLogFile::Outcome out = log.FlushLog(true);
    EXPECT_TRUE(out.failed);
    EXPECT_EQ(out.fileName, path);
    EXPECT_FALSE(out.error.isEmpty());
    EXPECT_EQ(log.RowCount(), 0);
    EXPECT_EQ(log.UnwrittenRows(), 2);
    log.AddRow("5");
    EXPECT_TRUE(log.FlushLog(true).failed);
    EXPECT_EQ(log.UnwrittenRows(), 3);

    // Back again: the kept rows come first, each once.
    ASSERT_TRUE(QDir().mkpath(folder));
    log.AddRow("6");
    out = log.FlushLog(true);
    EXPECT_FALSE(out.failed);
    EXPECT_EQ(log.UnwrittenRows(), 0);
    EXPECT_EQ(readAll(path), QByteArray("3\r\n4\r\n5\r\n6\r\n"));

    // A new header for the same file waits behind kept rows; rows kept for another file do not
    // hold it up.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    log.AddRow("7");
    EXPECT_TRUE(log.FlushLog(true).failed);
    EXPECT_FALSE(log.WriteLogHeader("H2"));
    const QString other = dir.filePath("b.dat");
    log.SetFileName(other);
    EXPECT_TRUE(log.WriteLogHeader("H3"));
    log.AddRow("8");
    EXPECT_TRUE(log.FlushLog(true).failed) << "the older block still cannot be written";
    EXPECT_EQ(readAll(other), QByteArray("H3\r\n")) << "later rows wait behind it";
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(log.FlushLog(false).failed);
    EXPECT_EQ(readAll(path), QByteArray("7\r\n"));
    EXPECT_EQ(readAll(other), QByteArray("H3\r\n8\r\n"));

    // A full disk.
    if (QFile::exists("/dev/full")) {
        QString error;
        EXPECT_FALSE(DataLogFile::AppendBlock("/dev/full", QByteArray(100000, 'x'), &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(DataLogFile, WriteThatStopsHalfwayLeavesNoPartialRow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("limited.dat");
    DataLogFile log;
    log.SetFileName(path);
    ASSERT_TRUE(log.WriteLogHeader("HEADER"));
    for (int i = 0; i < 50; ++i)
        log.AddRow(QStringLiteral("row %1 with some text").arg(i));

    // The process may write only 100 bytes beyond the header: the write stops partway.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 8 + 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const DataLogFile::Outcome out = log.FlushLog(true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(out.failed);
    EXPECT_EQ(readAll(path), QByteArray("HEADER\r\n")) << "the file is cut back to its length before the block";
    EXPECT_EQ(log.UnwrittenRows(), 50);
    EXPECT_FALSE(log.FlushLog(true).failed);
    const QByteArray all = readAll(path);
    EXPECT_TRUE(all.startsWith("HEADER\r\nrow 0 with some text\r\nrow 1 "));
    EXPECT_TRUE(all.endsWith("\r\nrow 49 with some text\r\n"));
    EXPECT_EQ(all.count("\r\n"), 51);
}

TEST(StripChart, PositionsClampingRoundingAndLabels)
{
    using namespace stripchart;
    const Frame f{840, 5880, 6600, 10440};
    const Axis left{30, false};
    EXPECT_EQ(PlotY(30, left, f), 5855) << "full scale on the top line";
    EXPECT_EQ(PlotY(0, left, f), 16245);
    EXPECT_EQ(PlotY(1e9, left, f), 5855);
    EXPECT_EQ(PlotY(-5, left, f), 16245);
    EXPECT_EQ(PlotY(std::nan(""), left, f), 5855);
    EXPECT_EQ(PlotY(15, left, f), 11050);
    EXPECT_EQ(PlotY(10, left, f), 12782);
    const Axis bipolar{30, true};
    EXPECT_EQ(PlotY(0, bipolar, f), 11050);
    EXPECT_EQ(PlotY(-30, bipolar, f), 16245);
    EXPECT_EQ(PlotY(-31, bipolar, f), 16245);
    EXPECT_EQ(PlotY(30, bipolar, f), 5855);

    // Halves go to the even neighbour.
    const Frame tiny{0, 25, 110, 60}; // 10 twips of axis from y 0
    EXPECT_EQ(PlotY(7.5, {10, false}, tiny), 2);  // 2.5
    EXPECT_EQ(PlotY(2.5, {10, false}, tiny), 8);  // 7.5
    EXPECT_EQ(NextX(0, tiny), 0);  // 0.5
    EXPECT_EQ(NextX(1, tiny), 2);  // 1.5
    EXPECT_EQ(NextX(840, f), 870);

    const int tops[5] = {16245, 13648, 11050, 8452, 5855};
    const char* uni[5] = {"0", "8", "15", "23", "30"};
    const char* bi[5] = {"-30", "-15", "0", "15", "30"};
    const char* right[5] = {"0", "388", "775", "1163", "1550"};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(LabelTop(k, f), tops[k]) << k;
        EXPECT_EQ(LabelCaption(k, left, kLeftPicture), uni[k]) << k;
        EXPECT_EQ(LabelCaption(k, bipolar, kLeftPicture), bi[k]) << k;
        EXPECT_EQ(LabelCaption(k, {1550, false}, kRightPicture), right[k]) << k;
    }
    EXPECT_EQ(LabelCaption(4, {100000, false}, kLeftPicture), "100000");
    EXPECT_EQ(LabelCaption(1, {31, true}, kLeftPicture), "-16");

    EXPECT_EQ(Widen(30), 32);  // 31.5
    EXPECT_EQ(Narrow(30), 28); // 28.5
    EXPECT_EQ(Widen(10), 10);
    EXPECT_EQ(Narrow(10), 10);
    EXPECT_EQ(Widen(3), 3);
    EXPECT_EQ(Narrow(11), 10);
    EXPECT_EQ(Widen(1550), 1628);  // 1627.5
    EXPECT_EQ(Narrow(1550), 1472); // 1472.5
    EXPECT_EQ(Widen(2147483647), 2147483647);
    EXPECT_EQ(Widen(2100000000), 2147483647);
}

TEST(StripChart, PenStepsAcrossAndClearsAfter211Steps)
{
    using namespace stripchart;
    const Frame f{840, 5880, 6600, 10440};
    Pen pen;
    pen.Restart(f);
    EXPECT_EQ(pen.LeftY, 16320);
    EXPECT_EQ(pen.RightY, 16320);

    // The first step places the pen only.
    Step s = pen.PlotPoint(30, 775, true, {30, false}, {1550, false}, f);
    EXPECT_TRUE(s.lines.empty());
    EXPECT_FALSE(s.clear);
    EXPECT_EQ(pen.PlotX, 840);
    EXPECT_EQ(pen.LeftY, 5855);
    EXPECT_EQ(pen.RightY, 11050);
    EXPECT_EQ(pen.PlotCount, 1);

    s = pen.PlotPoint(0, 1550, true, {30, false}, {1550, false}, f);
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_TRUE(s.lines[0].left);
    EXPECT_EQ(s.lines[0].x0, 840);
    EXPECT_EQ(s.lines[0].y0, 5855);
    EXPECT_EQ(s.lines[0].x1, 870);
    EXPECT_EQ(s.lines[0].y1, 16245);
    EXPECT_FALSE(s.lines[1].left);
    EXPECT_EQ(s.lines[1].x0, 840);
    EXPECT_EQ(s.lines[1].y0, 11050);
    EXPECT_EQ(s.lines[1].x1, 870);
    EXPECT_EQ(s.lines[1].y1, 5855);
    EXPECT_EQ(pen.PlotX, 870);

    // Without a right quantity only the left trace is drawn.
    s = pen.PlotPoint(15, 0, false, {30, false}, {1550, false}, f);
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0].x0, 870);
    EXPECT_EQ(s.lines[0].x1, 900);
    EXPECT_EQ(pen.RightY, 5855) << "the right trace keeps its last point";

    for (int i = 4; i <= 210; ++i) {
        s = pen.PlotPoint(15, 0, true, {30, false}, {1550, false}, f);
        ASSERT_FALSE(s.clear) << i;
    }
    EXPECT_EQ(pen.PlotCount, 210);
    EXPECT_EQ(pen.PlotX, 840 + 209 * 30);
    s = pen.PlotPoint(15, 0, true, {30, false}, {1550, false}, f);
    EXPECT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[0].x1, 840 + 210 * 30);
    EXPECT_TRUE(s.clear) << "step 211 fills the chart";
    EXPECT_EQ(pen.PlotCount, 0);
    s = pen.PlotPoint(15, 0, true, {30, false}, {1550, false}, f);
    EXPECT_TRUE(s.lines.empty());
    EXPECT_EQ(pen.PlotX, 840) << "the next point starts again at the left edge";
}
