// The plain parts of the data log: one answer taken apart, the row text, the data-log file writer
// and the strip chart arithmetic.

#include "monitor/datalogfile.h"
#include "monitor/livedata.h"
#include "monitor/stripchart.h"
#include "support/bytes.h"
#include "support/printers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <tuple>

using testbytes::fileBytes;

TEST(LiveAnswer, DecodesEveryFieldAtItsOffsetWithUnitsAndFormats)
{
    // Unread bytes hold 0xCC: a field read from the wrong place shows it. (The texts of this answer
    // are checked in the data log window.)
    const testbytes::Bytes frame = testbytes::liveAnswer({.gate = 0, .batch = 1, .status = 2}, 17, 0xCC);
    const livedata::Answer a = livedata::Decode(frame.data());
    EXPECT_EQ(std::make_tuple(a.gate, a.batch), std::make_tuple(0, 1));

    // Channel B in lpm, m/s and L; channel A untouched.
    livedata::Channels v;
    const livedata::Factors units{1.0f, static_cast<float>(1.0 / 60000), 0.001f};
    livedata::Apply(v, 1, a, units);
    EXPECT_EQ(std::make_tuple(v.MeanFlowRaw[1], v.SoundSpeed[1], v.FlowRate[1], v.ParticleLoad[1], v.Absorption[1],
                              v.StatusCode[1], v.ParticleSize[1]),
              std::make_tuple(0.002f, 1482.5f, 150.0f, 1.234f, -3.5f, 2.0f, 12));
    EXPECT_NEAR(v.FlowSdvPct[1], 5.0f, 1e-5);
    EXPECT_EQ(std::make_tuple(v.FlowRate[0], v.SoundSpeed[0]), std::make_tuple(0.0f, 0.0f)) << "channel A untouched";

    // A mean flow of 0: the box shows the deviation as received, the percentage keeps its value.
    const testbytes::Bytes still = testbytes::liveAnswer(
        {.mean = 0, .sound = 1480, .flow = 0, .sdv = 0.0123f, .time = 0, .total = 0, .load = -500, .size = -3, .absorb = 0});
    const livedata::Shown s = livedata::Apply(v, 1, livedata::Decode(still.data()), units);
    EXPECT_EQ(std::make_tuple(s.txtVOS, s.txtFlow, s.txtReyn, s.txtTotalTime, s.txtTotal, s.txtLoad, s.txtSize, s.txtAbsorb),
              std::make_tuple("1480.0", "0.0000", "0.012", "0.0000", "0.0000", "-0.5", "-3", "0.0"));
    EXPECT_NEAR(v.FlowSdvPct[1], 5.0f, 1e-5);
    EXPECT_EQ(std::make_tuple(v.MeanFlowRaw[1], v.StatusCode[1]), std::make_tuple(0.0f, 0.0f));
}

TEST(LiveAnswer, AlarmCaptionsAndTheAveragedFlow)
{
    const std::pair<float, const char*> captions[] = {
        {0, ""}, {1, "DRY PIPE"}, {2, "WRONG FLUID"}, {3, "RANGE"}, {255, "RANGE"}};
    for (const auto& [status, caption] : captions)
        EXPECT_EQ(livedata::AlarmCaption(status), caption) << status;

    // The average (its first steps and a clear show in the data log window): any gate but 0 is
    // closed, reopening goes on summing, a long run does not wrap the count.
    using Show = livedata::Average::Show;
    livedata::Average avg;
    for (float x : {10.0f, 11.0f, 12.5f})
        EXPECT_EQ(avg.Step(0, x), Show::Collecting);
    EXPECT_EQ(avg.Step(7, 99.0f), Show::Mean);
    EXPECT_EQ(avg.Text(), "11.1667");
    EXPECT_EQ(avg.Step(0, 1.5f), Show::Collecting);
    EXPECT_EQ(avg.Step(1, 0.0f), Show::Mean);
    EXPECT_EQ(avg.Text(), "8.7500");
    avg.Clear();
    EXPECT_EQ(avg.Step(1, 3.0f), Show::Unchanged);
    for (int i = 0; i < 40000; ++i)
        avg.Step(0, 2.0f);
    EXPECT_EQ(avg.Step(1, 0.0f), Show::Mean);
    EXPECT_EQ(avg.Text(), "2.0000");
}

TEST(LogRow, FieldFormats)
{
    // Channel B never polled: its initial values.
    livedata::Channels v;
    v.FlowRate = {0.5f, 1234.5678f};
    v.SoundSpeed = {1482.456f, 0.0625f};
    v.Absorption = {-3.5f, 12.345f};
    v.FlowSdvPct = {0.5f, 25.0f};
    v.ParticleLoad = {1.25f, -0.04f};
    v.ParticleSize = {12, -3};
    livedata::Channels onlyA = v;
    onlyA.FlowRate[1] = onlyA.SoundSpeed[1] = onlyA.Absorption[1] = onlyA.FlowSdvPct[1] = onlyA.ParticleLoad[1] = 0;
    onlyA.ParticleSize[1] = 0;
    EXPECT_EQ(livedata::RowLine(QTime(9, 5, 59), onlyA, "12.5000", "37.5000", ""),
              "09:05\t.500\t1482.456\t12.5000\t37.5000\t-3.50\t0.500\t1482.46\t1.3\t 12\t"
              ".000\t.000\t\t.00\t0.000\t.00\t.0\t 0");
    EXPECT_EQ(livedata::RowLine(QTime(23, 59), v, "0.0000", "1.0000", "2.0000"),
              "23:59\t.500\t1482.456\t0.0000\t1.0000\t-3.50\t0.500\t1482.46\t1.3\t 12\t"
              "1234.568\t.063\t2.0000\t12.35\t25.000\t.06\t-.0\t-3");
}

TEST(DataLogFile, RowsWaitForTheFlushAndAFailedFlushKeepsThemForLater)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("logs"), path = folder + "/a.dat";

    // A row from before the start is dropped by the start's flush. The folder is missing: the
    // block is kept.
    DataLogFile log;
    log.AddRow("stale");
    EXPECT_FALSE(log.FlushLog(false).failed);
    log.SetFileName(path);
    log.AddRow("3");
    log.AddRow(QString::fromLatin1("4\t\xB5m")); // Latin-1 text
    DataLogFile::Outcome out = log.FlushLog(true);
    EXPECT_EQ(std::make_tuple(out.failed, out.fileName), std::make_tuple(true, path));
    EXPECT_FALSE(out.error.isEmpty());
    EXPECT_EQ(std::make_tuple(log.RowCount(), log.UnwrittenRows()), std::make_tuple(0, 2));
    log.AddRow("5");
    EXPECT_TRUE(log.FlushLog(true).failed);
    EXPECT_EQ(log.UnwrittenRows(), 3);

    // Back again: the kept rows come first, each once; an empty flush adds nothing.
    ASSERT_TRUE(QDir().mkpath(folder));
    log.AddRow("6");
    EXPECT_FALSE(log.FlushLog(true).failed);
    EXPECT_EQ(log.UnwrittenRows(), 0);
    EXPECT_FALSE(log.FlushLog(true).failed);
    EXPECT_EQ(fileBytes(path), QByteArray("3\r\n4\t\xB5m\r\n5\r\n6\r\n"));

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
    EXPECT_EQ(fileBytes(other), QByteArray("H3\r\n")) << "later rows wait behind it";
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(log.FlushLog(false).failed);
    EXPECT_EQ(fileBytes(path), QByteArray("7\r\n"));
    EXPECT_EQ(fileBytes(other), QByteArray("H3\r\n8\r\n"));
}

TEST(DataLogFile, WriteThatStopsHalfwayLeavesNoPartialRow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("limited.dat");
    DataLogFile log;
    log.SetFileName(path);
    ASSERT_TRUE(log.WriteLogHeader("HEADER"));
    QByteArray all = "HEADER\r\n";
    for (int i = 0; i < 50; ++i) {
        log.AddRow(QStringLiteral("row %1 with some text").arg(i));
        all += "row " + QByteArray::number(i) + " with some text\r\n";
    }

    // The process may write only 100 bytes beyond the header: the write stops partway.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit small {8 + 100, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const DataLogFile::Outcome out = log.FlushLog(true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(out.failed);
    EXPECT_FALSE(out.error.isEmpty());
    EXPECT_EQ(fileBytes(path), QByteArray("HEADER\r\n")) << "the file is cut back to its length before the block";
    EXPECT_EQ(log.UnwrittenRows(), 50);
    EXPECT_FALSE(log.FlushLog(true).failed);
    EXPECT_EQ(fileBytes(path), all);
}

TEST(StripChart, PositionsClampingRoundingAndLabels)
{
    using namespace stripchart;
    const Frame f{840, 5880, 6600, 10440};
    const Axis left{30, false}, bipolar{30, true};
    // Full scale on the top line; out of range and NaN clamped.
    const std::tuple<double, Axis, int> ys[] = {{30, left, 5855}, {1e9, left, 5855}, {NAN, left, 5855},
        {-5, left, 16245}, {10, left, 12782}, {0, bipolar, 11050}, {30, bipolar, 5855}, {-31, bipolar, 16245}};
    for (const auto& [value, axis, y] : ys)
        EXPECT_EQ(PlotY(value, axis, f), y) << value << (axis.BiPolar ? " bipolar" : "");

    // Halves go to the even neighbour.
    const Frame tiny{0, 25, 110, 60}; // 10 twips of axis from y 0
    EXPECT_EQ(PlotY(7.5, {10, false}, tiny), 2);  // 2.5
    EXPECT_EQ(PlotY(2.5, {10, false}, tiny), 8);  // 7.5
    EXPECT_EQ(NextX(0, tiny), 0);  // 0.5
    EXPECT_EQ(NextX(1, tiny), 2);  // 1.5

    // Labels (the one-sided ones show in the data log window).
    const int tops[5] = {16245, 13648, 11050, 8452, 5855};
    const char* bi[5] = {"-30", "-15", "0", "15", "30"};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(std::make_pair(LabelTop(k, f), LabelCaption(k, bipolar, kLeftPicture)), std::make_pair(tops[k], QString(bi[k])));
    EXPECT_EQ(LabelCaption(1, {31, true}, kLeftPicture), "-16");

    // Full scale, its widened (x 1.05) and narrowed (x 0.95) values, halves to even, clamped.
    const std::tuple<int, int, int> scales[] = {
        {30, 32, 28}, {10, 10, 10}, {11, 12, 10}, {2147483647, 2147483647, 2040109465}};
    for (const auto& [scale, wide, narrow] : scales) {
        EXPECT_EQ(Widen(scale), wide) << scale;
        EXPECT_EQ(Narrow(scale), narrow) << scale;
    }
}

TEST(StripChart, PenStepsAcrossAndClearsAfter211Steps)
{
    using namespace stripchart;
    const Frame f{840, 5880, 6600, 10440};
    const Axis l{30, false}, r{1550, false};
    const auto line = [](const Line& x) { return std::make_tuple(x.left, x.x0, x.y0, x.x1, x.y1); };
    Pen pen;
    pen.Restart(f);
    EXPECT_EQ(std::make_tuple(pen.LeftY, pen.RightY), std::make_tuple(16320, 16320));

    // The first step places the pen only.
    Step s = pen.PlotPoint(30, 775, true, l, r, f);
    EXPECT_TRUE(s.lines.empty());
    EXPECT_EQ(std::make_tuple(pen.PlotX, pen.LeftY, pen.RightY, pen.PlotCount), std::make_tuple(840, 5855, 11050, 1));

    s = pen.PlotPoint(0, 1550, true, l, r, f);
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(line(s.lines[0]), std::make_tuple(true, 840, 5855, 870, 16245));
    EXPECT_EQ(line(s.lines[1]), std::make_tuple(false, 840, 11050, 870, 5855));

    // Without a right quantity only the left trace is drawn.
    s = pen.PlotPoint(15, 0, false, l, r, f);
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(line(s.lines[0]), std::make_tuple(true, 870, 16245, 900, 11050));
    EXPECT_EQ(pen.RightY, 5855) << "the right trace keeps its last point";

    for (int i = 4; i <= 210; ++i)
        ASSERT_FALSE(pen.PlotPoint(15, 0, true, l, r, f).clear) << i;
    EXPECT_EQ(std::make_tuple(pen.PlotCount, pen.PlotX), std::make_tuple(210, 840 + 209 * 30));
    s = pen.PlotPoint(15, 0, true, l, r, f);
    EXPECT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[0].x1, 840 + 210 * 30);
    EXPECT_TRUE(s.clear) << "step 211 fills the chart";
    EXPECT_EQ(pen.PlotCount, 0);
    s = pen.PlotPoint(15, 0, true, l, r, f);
    EXPECT_TRUE(s.lines.empty());
    EXPECT_EQ(pen.PlotX, 840) << "the next point starts again at the left edge";
}
