// The data log, diagnostics log and raw signal windows through their controls, with the meter
// played on the in-memory line (by hand, or by the simulator's own code).

#include "imagefile.h"
#include "meter.h"
#include "monitor/chartsurface.h"
#include "monitor/frmLog.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "platform/finetimer.h"
#include "platform/twips.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace testbytes;

namespace {

int px(int twipsValue) { return twips::toPixels(twipsValue); }
QRgb base(QLineEdit* box) { return box->palette().color(QPalette::Base).rgb(); }
std::string said(TestSession& t) { return t.dialogs->transcript().join('\n').toStdString(); }

void deliver(frmCDR& link, const Bytes& f) { TestSession::deliver(link, f); }
// A live-data answer whose unread bytes hold 0xCC: a field read from the wrong place shows it.
void route(frmCDR& link, const Live& l) { deliver(link, liveAnswer(l, 17, 0xCC)); }

// An answer with the default fields, a flow of `lpm` (1 lpm = 1/60000 m^3/s) and the given status.
Live flowing(float lpm, int status = 0)
{
    Live l;
    l.flow = lpm / 60000.0f;
    l.status = static_cast<std::uint8_t>(status);
    return l;
}

// The live-data poll of a channel with a batch command (byte 5), node 17, access code 52719.
QByteArray poll(int channel, int command)
{
    return qbytes(withCrc({17, 30, 0xEF, 0xCD, static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(command), 0, 0}));
}

void clickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

const QByteArray kHeader = "Time\tFlow_Rate\tSpeed_Sound\tTotal_Time\tVOL_Total\tAbsorb\tTurbulence\tSpeed_Sound\t"
                           "Loading\tPart_Size\tFlow_Rate\tSpeed_Sound\tVOL_Total\tAbsorb\tTurbulence\tSpeed_Sound\t"
                           "Loading\tPart_Size\r\n";

// A row stamped 09:05 after answers with the default fields and flows of `lpmA` and `lpmB`; 0
// stands for a channel never polled. The batch time is shared and stands with channel A.
QByteArray row(int lpmA, int lpmB)
{
    const auto flow = [](int lpm) { return '\t' + QByteArray::number(lpm) + ".000\t1482.500"; };
    const QByteArray a = lpmA ? flow(lpmA) + "\t12.5000\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12"
                              : QByteArray("\t.000\t.000\t12.5000\t\t.00\t0.000\t.00\t.0\t 0");
    const QByteArray b = lpmB ? flow(lpmB) + "\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12"
                              : QByteArray("\t.000\t.000\t\t.00\t0.000\t.00\t.0\t 0");
    return "09:05" + a + b + "\r\n";
}

// A window ready to poll: start-up done, link and fake port created, rows stamped 09:05.
frmLog& openLog(TestSession& t)
{
    t.start();
    t.link();
    frmLog& w = t.s().windows().get<frmLog>();
    w.Clock = [] { return QTime(9, 5, 30); };
    w.show();
    return w;
}

// Start: Yes to "Save to Disk?" and the file when one is given, else No.
void startLog(TestSession& t, frmLog& w, const QString& file = {})
{
    t.dialogs->answers = {file.isEmpty() ? DialogService::Answer::No : DialogService::Answer::Yes};
    t.dialogs->files = file.isEmpty() ? QStringList() : QStringList{file};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
}

// One tick of the poll timer: the poll that leaves must be `expected`; then the meter answers.
testing::AssertionResult tick(TestSession& t, frmLog& w, const QByteArray& expected, const Live& answer = {})
{
    const qsizetype before = t.port->written().size();
    w.tmrUpDate_Timer();
    const QByteArray sent = t.port->written().mid(before);
    if (sent != expected)
        return testing::AssertionFailure() << "sent " << sent.toHex(' ').toStdString() << ", expected "
                                           << expected.toHex(' ').toStdString();
    route(t.link(), answer);
    return testing::AssertionSuccess();
}

// A channel's boxes: flow, sound speed, deviation, total, load, size, absorption.
QStringList shown(frmLog& w, std::size_t c)
{
    QStringList out;
    for (QLineEdit* b : {w.txtFlow[c], w.txtVOS[c], w.txtReyn[c], w.txtTotal[c], w.txtLoad[c], w.txtSize[c], w.txtAbsorb[c]})
        out << b->text();
    return out;
}

// The scale captions from the bottom (0) to the top (4) of the frame, found by name.
QStringList labelTexts(frmLog& w, const char* array)
{
    QStringList out;
    for (int k = 0; k < 5; ++k) {
        auto* l = w.findChild<QLabel*>(QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(k));
        out << (l ? l->text() : QStringLiteral("(missing)"));
    }
    return out;
}

} // namespace

TEST(DataLogWindow, OpensFromTheStartWindowAndLaysOutEachChannelChoice)
{
    TestSession t;
    frmStart& start = t.start();
    start.show();
    ui::click(start.imgLogdata[1]);
    ASSERT_NE(t.s().windows().find<frmLog>(), nullptr);
    frmLog& w = t.s().windows().get<frmLog>();
    EXPECT_TRUE(w.isVisible() && !start.isVisible());
    const int periods[] = {10000, 30000, 60000, 1000};
    for (int i = 0; i < 4; ++i) {
        ui::pick(w.cmbUpdate, (i + 1) % 4);
        EXPECT_EQ(w.tmrUpDate->interval(), periods[i]) << i;
    }
    EXPECT_FALSE(w.tmrUpDate->isActive()) << "nothing is polled until Start";
    for (QWidget* hidden : std::initializer_list<QWidget*>{w.shpFlow, w.lblAlarm[0], w.lblAlarm[1]})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();

    // Scales of 30 and 1550, captions from the bottom to the top of the frame.
    EXPECT_EQ(labelTexts(w, "LblLScale"), QStringList({"0", "8", "15", "23", "30"}));
    EXPECT_EQ(labelTexts(w, "LblRScale"), QStringList({"0", "388", "775", "1163", "1550"}));
    EXPECT_EQ(std::make_pair(w.LblLScale[0]->y(), w.LblRScale[4]->y()), std::make_pair(px(16245), px(5855)));

    // The chart check box opens and closes the chart.
    clickBox(w.chkPlot);
    EXPECT_EQ(w.Form->height(), px(16680));
    EXPECT_TRUE(w.shpFlow->isVisible());
    clickBox(w.chkPlot);
    EXPECT_FALSE(w.shpFlow->isVisible());

    // Each channel choice: Both puts B beside A and fixes the chart to the two flows on the left
    // scale (here the Reynolds number's); one channel brings back the chart's defaults.
    clickBox(w.chkLData[1]);
    clickBox(w.chkRData[1]);
    struct Choice {
        int chan, height, xA, xB, xUnits; // x 0: hidden
        const char *rightCaption, *rightTop;
    };
    const Choice choices[] = {{2, 5000, 1440, 2640, 3840, "Flow Rate CH B", "100000"},
                              {0, 4605, 1440, 0, 2640, "Acoustic Velocity", "1550"},
                              {1, 4605, 0, 1440, 2640, "Acoustic Velocity", "1550"}};
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.chan);
        ui::pick(w.cmbChan, c.chan);
        const bool both = c.chan == 2;
        EXPECT_EQ(w.Form->height(), px(c.height));
        for (std::size_t k = 0; k < 2; ++k) {
            const int x = k == 0 ? c.xA : c.xB;
            EXPECT_EQ(w.txtSize[k]->isVisible() ? w.txtSize[k]->x() : 0, x ? px(x) : 0) << k;
            EXPECT_EQ(w.txtTotal[k]->isVisible() ? w.txtTotal[k]->x() : 0, x ? px(x + 360) : 0) << k;
        }
        EXPECT_EQ(std::make_pair(w.cmbQUnit->x(), w.lbldB->x()), std::make_pair(px(c.xUnits), px(c.xUnits + 60)));
        EXPECT_EQ(w.chkRData[0]->text(), c.rightCaption);
        EXPECT_EQ(labelTexts(w, "LblRScale").last(), c.rightTop);
        EXPECT_TRUE(w.chkLData[0]->isChecked() && w.chkRData[0]->isChecked());
        EXPECT_TRUE(both || !w.chkRData[1]->isChecked());
        EXPECT_EQ((std::vector<bool>{w.chkLData[0]->isEnabled(), w.chkRData[0]->isEnabled(), w.chkLData[1]->isVisible(),
                                     w.chkRData[1]->isVisible()}),
                  std::vector<bool>(4, !both)) << "first quantities enabled, second ones shown";
    }

    // Close goes back to the start window; the window comes back as it was left.
    ui::click(w.cmdClose);
    EXPECT_TRUE(!w.isVisible() && start.isVisible());
    ui::click(start.imgLogdata[1]);
    EXPECT_TRUE(w.isVisible() && w.txtFlow[1]->isVisible() && !w.txtFlow[0]->isVisible());
    EXPECT_EQ(w.cmbChan->currentIndex(), 1);
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << said(t);
    EXPECT_FALSE(t.s().hasLink()) << "the window never touched the line";
}

TEST(DataLogWindow, PollsShowsAveragesAndCarriesBatchCommands)
{
    TestSession t;
    frmLog& w = openLog(t);
    startLog(t, w);
    ASSERT_EQ(t.dialogs->asked.size(), 1);
    EXPECT_EQ(said(t), "Storage Option: Save to Disk?");
    EXPECT_TRUE(t.dialogs->asked[0].buttons == DialogService::Buttons::YesNo &&
                t.dialogs->asked[0].icon == DialogService::Icon::Question && t.dialogs->fileAsked.isEmpty());
    EXPECT_TRUE(w.cmdStart->text() == "Pause" && w.tmrUpDate->isActive());
    // The average box: its colour and text.
    const auto avg = [&] { return std::make_pair(base(w.txtQavg), w.txtQavg->text()); };
    const QRgb white = qRgb(255, 255, 255), green = qRgb(128, 255, 128), red = qRgb(255, 128, 128);

    // The poll of channel A; none more while it is in flight. The answer comes over the line and
    // starts the period again.
    w.tmrUpDate_Timer();
    EXPECT_EQ(t.port->written(), poll(0, 0));
    EXPECT_FALSE(w.tmrUpDate->isActive());
    w.tmrUpDate_Timer();
    EXPECT_EQ(t.port->written().size(), 10) << "no second poll while one is in flight";
    t.port->receive(qbytes(liveAnswer(Live{}, 17, 0xCC)));
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().PollBusy == 0; }, 2000));
    EXPECT_TRUE(w.tmrUpDate->isActive() && w.tmrUpDate->interval() == 1000);
    EXPECT_EQ(shown(w, 0), QStringList({"150.0000", "1482.5", "5.000", "37.5000", "1.2", " 12", "-3.5"}));
    EXPECT_EQ(w.txtTotalTime->text(), "12.5000");
    EXPECT_EQ(shown(w, 1), QStringList(7, QString()));
    EXPECT_EQ(avg(), std::make_pair(white, QString()));

    // Gate open: channel A's flows are summed, the box turns green; gate closed: red, with the mean.
    for (int lpm : {10, 11, 15}) {
        Live l = flowing(static_cast<float>(lpm));
        l.gate = 0;
        EXPECT_TRUE(tick(t, w, poll(0, 0), l));
        EXPECT_EQ(avg(), std::make_pair(green, QString()));
    }
    EXPECT_TRUE(tick(t, w, poll(0, 0)));
    EXPECT_EQ(avg(), std::make_pair(red, QString("12.0000")));

    // Start Batch: 2 in byte 5 of the next poll only, which comes 0.1 s after the click.
    Live running;
    running.batch = 1;
    ui::click(w.cmdStartStop);
    EXPECT_EQ(w.tmrUpDate->interval(), 100);
    EXPECT_TRUE(tick(t, w, poll(0, 2), running));
    EXPECT_EQ(w.tmrUpDate->interval(), 1000) << "the chosen period is back";
    EXPECT_EQ(w.cmdStartStop->text(), "Stop Batch");
    EXPECT_TRUE(tick(t, w, poll(0, 0), running));
    // Clear Total while a batch runs: 3; the average starts again.
    ui::click(w.cmdClear);
    EXPECT_EQ(avg(), std::make_pair(white, QString()));
    EXPECT_TRUE(tick(t, w, poll(0, 3), running));
    EXPECT_EQ(avg().first, white) << "gate closed, nothing collected since the clear";
    // Stop Batch: 1; then Clear Total with no batch: 4.
    ui::click(w.cmdStartStop);
    EXPECT_TRUE(tick(t, w, poll(0, 1)));
    EXPECT_EQ(w.cmdStartStop->text(), "Start Batch");
    ui::click(w.cmdClear);
    EXPECT_TRUE(tick(t, w, poll(0, 4)));

    // Channel B: byte 4 of the poll, its own boxes; a mean flow of 0 shows the deviation as received.
    ui::pick(w.cmbChan, 1);
    Live b = flowing(10);
    std::tie(b.size, b.mean, b.sdv) = std::make_tuple(-3, 0.0f, 0.0123f);
    EXPECT_TRUE(tick(t, w, poll(1, 0), b));
    EXPECT_EQ(shown(w, 1), QStringList({"10.0000", "1482.5", "0.012", "37.5000", "1.2", "-3", "-3.5"}));
    EXPECT_EQ(w.txtFlow[0]->text(), "150.0000");

    // New units leave the values shown; the next answer uses them.
    ui::pick(w.cmbQUnit, "m^3/s");
    ui::pick(w.cmbCunit, "ft/s");
    ui::pick(w.cmbTotalUN, "m^3");
    EXPECT_EQ(w.txtFlow[1]->text(), "10.0000");
    EXPECT_TRUE(tick(t, w, poll(1, 0)));
    EXPECT_EQ(shown(w, 1).mid(0, 4), QStringList({"0.0025", "4863.8", "5.000", "0.0375"}));

    // Pause: no more polls; a poll in flight is still answered and shown.
    w.tmrUpDate_Timer();
    ui::click(w.cmdStart);
    EXPECT_EQ(w.cmdStart->text(), "Start");
    route(t.link(), flowing(20));
    EXPECT_EQ(w.txtFlow[1]->text(), "0.0003");
    EXPECT_TRUE(!w.tmrUpDate->isActive() && t.s().PollBusy == 0 && t.dialogs->asked.size() == 1);

    // Start Batch while paused sends nothing; the first poll after Start comes 0.1 s later and
    // carries it, also when that poll cannot leave at first (no port).
    ui::click(w.cmdStartStop);
    EXPECT_FALSE(w.tmrUpDate->isActive());
    startLog(t, w);
    EXPECT_TRUE(w.tmrUpDate->isActive() && w.tmrUpDate->interval() == 100);
    const qsizetype sent = t.port->written().size();
    t.link().MSComm1->close();
    t.port->failOpen = true;
    w.tmrUpDate_Timer();
    EXPECT_EQ(t.dialogs->count("Work Offline?", "No Com Port Found"), 1) << said(t);
    EXPECT_EQ(t.s().PollBusy, 0) << "the poll never left";
    EXPECT_TRUE(w.tmrUpDate->isActive()) << "the log polls on at its next tick";
    EXPECT_EQ(t.port->written().size(), sent);
    t.port->failOpen = false;
    EXPECT_TRUE(tick(t, w, poll(1, 2)));
}

TEST(DataLogWindow, BothAlternatesChannelsIntoOneRowEach)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("both.dat");
    TestSession t;
    frmLog& w = openLog(t);
    ui::pick(w.cmbChan, 2);
    startLog(t, w, path);

    // B (status 1), A, B (status 0), A: each answer fills the polled channel's boxes and alarm only,
    // and each row holds what both channels last showed.
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const auto c = static_cast<std::size_t>(1 - i % 2);
        EXPECT_TRUE(tick(t, w, poll(static_cast<int>(c), 0), flowing(10.0f * (i + 1), i == 0 ? 1 : 0)));
        EXPECT_EQ(w.txtFlow[c]->text(), QStringLiteral("%1.0000").arg(10 * (i + 1)));
        EXPECT_EQ(w.txtFlow[1 - c]->text(), i == 0 ? QString() : QStringLiteral("%1.0000").arg(10 * i));
        EXPECT_EQ(w.lblAlarm[1]->isVisible() ? w.lblAlarm[1]->text() : QString(), i < 2 ? "DRY PIPE" : "");
        EXPECT_FALSE(w.lblAlarm[0]->isVisible());
    }
    ui::click(w.cmdStart);
    EXPECT_EQ(fileBytes(path), kHeader + row(0, 10) + row(20, 10) + row(20, 30) + row(40, 30));
}

TEST(DataLogWindow, RecordsEveryAnswerToTheFileInBlocks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("usb"), path = folder + "/flow.dat";
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray expected = "earlier run\r\n";
    ASSERT_TRUE(writeFile(path, expected));
    TestSession t;
    frmLog& w = openLog(t);
    // Answers of channel A with flows from..to; the rows they make.
    const auto answer = [&](int from, int to) {
        QByteArray rows;
        for (int i = from; i <= to; ++i) {
            route(t.link(), flowing(static_cast<float>(i)));
            rows += row(i, 0);
        }
        return rows;
    };

    // Cancelling the file dialog leaves the log stopped.
    t.dialogs->answers = {DialogService::Answer::Yes};
    ui::click(w.cmdStart);
    ASSERT_EQ(t.dialogs->fileAsked.size(), 1);
    const DialogService::FileRequest& r = t.dialogs->fileAsked[0].request;
    EXPECT_TRUE(t.dialogs->fileAsked[0].save);
    EXPECT_EQ(std::make_tuple(r.filter, r.filterIndex, r.defaultExt),
              std::make_tuple(QString("All Files (*.*)|*.*|Data Files (*.dat)|*.dat|"), 2, QString("dat")));
    EXPECT_TRUE(w.cmdStart->text() == "Start" && !w.tmrUpDate->isActive());

    // Yes: the header goes after the old content; rows wait for a flush, which Pause makes.
    startLog(t, w, folder + "/flow"); // the dialog adds ".dat"
    EXPECT_EQ(w.cmdStart->text(), "Pause");
    EXPECT_EQ(fileBytes(path), expected += kHeader);
    QByteArray rows = answer(1, 5);
    EXPECT_EQ(fileBytes(path), expected) << "rows wait for a flush";
    ui::click(w.cmdStart);
    EXPECT_EQ(fileBytes(path), expected += rows);

    // Start again on the same file and pause at once: a new header, no rows.
    startLog(t, w, path);
    ui::click(w.cmdStart);
    EXPECT_EQ(fileBytes(path), expected += kHeader);

    // 200 rows make a block; the 201st answer writes it first. Close writes the rest.
    startLog(t, w, path);
    expected += kHeader;
    rows = answer(1, 200);
    EXPECT_EQ(fileBytes(path), expected);
    const QByteArray last = answer(201, 201);
    EXPECT_EQ(fileBytes(path), expected += rows);
    ui::click(w.cmdClose);
    EXPECT_EQ(fileBytes(path), expected += last);
    EXPECT_TRUE(!w.isVisible() && t.start().isVisible() && w.cmdStart->text() == "Start");

    // Closing from the title bar writes the rest too, and polls no more.
    w.show();
    startLog(t, w, path);
    rows = answer(7, 7);
    t.start().hide();
    w.close();
    EXPECT_EQ(fileBytes(path), expected += kHeader + rows);
    EXPECT_TRUE(!w.isVisible() && t.start().isVisible() && !w.tmrUpDate->isActive());

    // No to "Save to Disk?": rows are made but never written.
    w.show();
    startLog(t, w);
    answer(1, 2);
    ui::click(w.cmdStart);
    EXPECT_TRUE(fileBytes(path) == expected && w.LogRows.RowCount() == 0);
    EXPECT_EQ(t.dialogs->transcript(), QStringList(6, QStringLiteral("Storage Option: Save to Disk?")));

    // The stick is pulled: the block of 200 cannot be written at the 201st answer; the failure is
    // told after that answer has been handled, and the next failed block is not told again.
    startLog(t, w, path);
    ASSERT_EQ(fileBytes(path), expected + kHeader);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    rows = answer(1, 200);
    rows += answer(201, 201);
    EXPECT_EQ(t.dialogs->asked.size(), 7) << "told after the answer";
    ASSERT_TRUE(TestSession::waitFor([&] { return t.dialogs->asked.size() == 8; }, 1000)) << said(t);
    EXPECT_TRUE(t.dialogs->transcript()[7].startsWith("Storage Option: The data log could not be written to " +
                                                      QDir::toNativeSeparators(path))) << said(t);
    EXPECT_EQ(t.dialogs->asked[7].icon, DialogService::Icon::Exclamation);
    rows += answer(202, 401);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.dialogs->asked.size(), 8) << "told once";
    EXPECT_TRUE(w.LogRows.UnwrittenRows() == 400 && w.Logging == 1);
    // Back again: Pause writes every kept row once, in order, into the new file.
    ASSERT_TRUE(QDir().mkpath(folder));
    ui::click(w.cmdStart);
    EXPECT_EQ(fileBytes(path), rows);
    EXPECT_TRUE(w.LogRows.UnwrittenRows() == 0 && t.dialogs->asked.size() == 8);
}

TEST(DataLogWindow, RecordedRowsReachTheFileWithinTheFlushDelayAsTheBlocksWouldWriteThem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("flow.dat");
    TestSession t;
    frmLog& w = openLog(t);
    ui::pick(w.cmbUpdate, "60 sec");
    auto* line = ui::ctl<QLabel>(w, "lblRecording");
    auto* flush = ui::ctl<QTimer>(w, "tmrFlush");
    const auto onDisk = [&](const QByteArray& b) { return TestSession::waitFor([&] { return fileBytes(path) == b; }, 5000); };

    // The first row of a block starts a 10 s wait; Pause writes it as before and ends the wait.
    startLog(t, w, path);
    EXPECT_EQ(line->text(), "Recording to flow.dat: 0 rows written");
    route(t.link(), flowing(1));
    EXPECT_TRUE(flush->isActive() && flush->interval() == 10000 && fileBytes(path) == kHeader);
    ui::click(w.cmdStart);
    QByteArray expected = kHeader + row(1, 0);
    EXPECT_TRUE(fileBytes(path) == expected && !flush->isActive() && !line->isVisible());

    // A short wait: the first row is on disk with no further answer. Waits after rows 1 and 57, then
    // a block of 200 and the rest at Close: the bytes the 200-row blocks alone would have written.
    w.FlushDelayMs = 20;
    startLog(t, w, path);
    expected += kHeader;
    for (int i = 1; i <= 260; ++i) {
        route(t.link(), flowing(static_cast<float>(i)));
        expected += row(i, 0);
        if (i == 1 || i == 57)
            ASSERT_TRUE(onDisk(expected)) << i;
    }
    EXPECT_EQ(line->text(), "Recording to flow.dat: 257 rows written");
    ui::click(w.cmdClose);
    EXPECT_EQ(fileBytes(path), expected);
}

TEST(DataLogWindow, StripChartDrawsOnThePersistentSurface)
{
    TestSession t;
    frmLog& w = openLog(t);
    clickBox(w.chkPlot);
    startLog(t, w);
    const auto colourAt = [&](int xTwips, int yTwips) { return w.Surface->Image().pixel(px(xTwips), px(yTwips)); };
    const QRgb blue = qRgb(0, 0, 255);
    // `steps` answers of 30 lpm and 775 m/s.
    const auto plot = [&](int steps) {
        Live l = flowing(30);
        l.sound = 775;
        for (int i = 0; i < steps; ++i)
            route(t.link(), l);
    };

    // Full scale (30 lpm) on the top line, 775 m/s on the middle one, nothing between; the window
    // shows them.
    plot(2);
    EXPECT_EQ(std::make_tuple(colourAt(855, 5855), colourAt(855, 11050), colourAt(855, 5855 + 150)),
              std::make_tuple(blue, qRgb(255, 0, 0), 0u));
    EXPECT_EQ(w.Form->grab().toImage().pixel(px(855), px(5855)), blue);

    // Step 211 fills the chart: it is cleared and starts again at the left edge.
    plot(208);
    EXPECT_EQ(colourAt(840 + 209 * 30 - 15, 5855), blue);
    plot(1);
    QImage blank(w.Surface->Image().size(), w.Surface->Image().format());
    blank.fill(Qt::transparent);
    EXPECT_TRUE(w.Surface->Image() == blank);
    plot(2);
    EXPECT_EQ(colourAt(855, 5855), blue);

    // Each scale button changes its own scale by 5 % and restarts the pen; Bi Polar adds the
    // negative half.
    const std::tuple<QPushButton*, const char*, const char*> buttons[] = {
        {w.cmdLscale[1], "LblLScale", "28"}, {w.cmdLscale[0], "LblLScale", "29"},
        {w.cmdRscale[0], "LblRScale", "1628"}, {w.cmdRscale[1], "LblRScale", "1547"}};
    for (const auto& [button, labels, top] : buttons) {
        ui::click(button);
        EXPECT_EQ(labelTexts(w, labels).last(), top);
    }
    EXPECT_EQ(w.Pen.PlotCount, 0);
    clickBox(w.chkBPolarL);
    EXPECT_EQ(labelTexts(w, "LblLScale").first(), "-29");

    // The second quantities (Reynolds number 100000, particle size 300): each pair acts as radio
    // buttons, and a change clears the chart.
    clickBox(w.chkLData[1]);
    EXPECT_TRUE(!w.chkLData[0]->isChecked() && labelTexts(w, "LblLScale").last() == "100000" && colourAt(855, 5855) == 0u);
    clickBox(w.chkLData[1]);
    EXPECT_TRUE(w.chkLData[1]->isChecked()) << "clicking the checked box keeps it checked";
    clickBox(w.chkRData[1]);
    EXPECT_TRUE(!w.chkRData[0]->isChecked() && labelTexts(w, "LblRScale").last() == "300");
}

namespace {

// Message boxes of a user who is away: the first "Communication Failed" box stays open until two
// polls have left behind it; later boxes, and one opened over it, are answered at once. Counts the
// boxes open at the same time.
class AwayDialogs : public ScriptedDialogService {
public:
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override
    {
        const Answer a = ScriptedDialogService::message(text, title, buttons, icon);
        if (title == QLatin1String("Communication Failed")) {
            maxOpen = std::max(maxOpen, ++open);
            if (open == 1 && pollsBehindBox < 0) {
                const int before = polls();
                TestSession::waitFor([&] { return polls() - before >= 2; }, 5000);
                pollsBehindBox = polls() - before;
            }
            --open;
        }
        return a;
    }
    std::function<int()> polls;
    int open = 0, maxOpen = 0, pollsBehindBox = -1;
};

} // namespace

TEST(DataLogWindow, LostAnswersDoNotEndTheLogNorStackBoxes)
{
    auto away = std::make_unique<AwayDialogs>();
    AwayDialogs* d = away.get();
    TestSession t(TestSession::Port::Fake, std::move(away));
    frmLog& w = openLog(t);
    t.link().responseMs = 40;
    w.PeriodOverrideMs = 20;
    d->polls = [&t] { return static_cast<int>(t.port->written().size()) / 10; };
    startLog(t, w);
    w.tmrUpDate_Timer(); // the first poll at once, not after the chosen 1 s

    // The meter stays silent: the first time-out opens the box; polls go on behind it, and their
    // time-outs open no second one.
    ASSERT_TRUE(TestSession::waitFor([&] { return d->pollsBehindBox >= 0; }, 5000)) << said(t);
    EXPECT_GE(d->pollsBehindBox, 2);
    EXPECT_EQ(d->maxOpen, 1);

    // The user is back and the meter answers again: the log goes on.
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().PollBusy == 1; }, 2000));
    route(t.link(), Live{});
    EXPECT_TRUE(w.txtFlow[0]->text() == "150.0000" && w.tmrUpDate->isActive() && w.Logging == 1);
    ui::click(w.cmdStart);
    t.link().tmrTimeOut->stop();
}

namespace {

// The meter at the far end: answers the request the tool wrote last, 20 ms after the one before.
struct Line {
    TestSession& t;
    sim::Meter meter;
    double now = 1000;
    qsizetype seen = 0;

    QByteArray sent() const { return t.port->written().mid(seen); }
    Bytes serve()
    {
        const Bytes request = fromQ(sent());
        seen = t.port->written().size();
        Bytes answer;
        for (const sim::Piece& p : meter.handle(request, now += 20).reply.pieces)
            answer.insert(answer.end(), p.bytes.begin(), p.bytes.end());
        deliver(t.link(), answer);
        return answer;
    }
};

// The box texts (txtDATA 0..14) of a diagnostics answer, worked out from its bytes: a time's single
// as 7 digits, read back and scaled; tenths as a single; integers plainly.
QStringList diagTexts(const Bytes& a)
{
    const auto i16 = [&](int at) { return QString::number(static_cast<std::int16_t>(a[at] | a[at + 1] << 8)); };
    const auto time = [&](int at, double factor) {
        float f;
        std::memcpy(&f, &a[static_cast<std::size_t>(at)], 4);
        return QString::number(QString::number(f, 'g', 7).toDouble() * factor, 'g', 15);
    };
    const auto tenth = [&](int at) { return QString::number(static_cast<float>(i16(at).toInt() / 10.0), 'g', 7); };
    const auto u8 = [&](int at) { return QString::number(a[at]); };
    return {time(4, 1e6), time(8, 1e9), i16(14), u8(13), i16(18), tenth(22), u8(12), tenth(26),
            tenth(24),    i16(20),      i16(30), i16(28), u8(33), i16(16),   u8(34)};
}
QStringList boxes(frmLogdiag& w)
{
    QStringList out;
    for (QLineEdit* b : w.txtDATA)
        out << b->text();
    return out;
}
// The log row of the box texts.
QByteArray logRow(const QStringList& t)
{
    QStringList fields;
    for (int i : {0, 1, 6, 3, 7, 5, 8, 2, 13, 4, 9, 11, 10, 12})
        fields << t[i];
    return fields.join('\t').toLatin1() + "\r\n";
}

// A diagnostics answer made by hand: 1.5E-04 s, 2.5 ns, error 2, mincount 3, triggers -3 and 12,
// SinTheta 500, phase 950, saturation 1.2 % and 44.5 %, strength 78, magnitude 12000, disc 25.
Bytes handMade()
{
    Bytes f(35, 0);
    f[0] = 17;
    f[1] = 31;
    putFloat(f, 4, 1.5e-4f);
    putFloat(f, 8, 2.5e-9f);
    f[12] = 2;
    f[13] = 3;
    const int words[] = {-3, 12, 500, 950, 12, 445, 780, 12000, 25};
    for (int i = 0; i < 9; ++i)
        put16(f, static_cast<std::size_t>(14 + 2 * i), words[i]);
    f[33] = 1;
    return withCrc(f);
}

// A signal block: slot, block mark, the waveform's samples, the samples here; `count` claims another
// number of samples than the block carries.
Bytes block(int slot, int mark, int total, const std::vector<int>& samples, int count = -1)
{
    Bytes f{17, 35, static_cast<std::uint8_t>(slot), static_cast<std::uint8_t>(mark), 0, 0,
            static_cast<std::uint8_t>(count < 0 ? samples.size() : count), 0};
    put16(f, 4, total);
    for (int s : samples)
        f.insert(f.end(), {static_cast<std::uint8_t>(s & 0xFF), static_cast<std::uint8_t>((s >> 8) & 0xFF)});
    return withCrc(f);
}

} // namespace

TEST(DiagnosticsWindow, PollsShowsTheMetersValuesAndRecordsThemInBlocks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("usb"), path = folder + "/diag.txt";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray header = "Tup\tDelta\tError\tMincount\tGain\tSat_UP\tSat_DN\tTrig_UP\tTrig_DN\tSinTheta\tPhCor\t"
                              "Wave_Mag\tWave_Disc\tLEAD/Lag\r\n";
    TestSession t;
    t.start().show();
    ui::click(t.start().imgDiagnostics[1]);
    frmLogdiag& w = t.s().windows().get<frmLogdiag>();
    EXPECT_TRUE(w.isVisible() && !t.start().isVisible());
    EXPECT_TRUE(w.cmbUpdate->currentText() == "1 Hz" && w.tmrUpDate->interval() == std::chrono::seconds(1));
    ui::pick(ui::ctl<QComboBox>(w, "cmbUpdate"), "20 Hz");
    EXPECT_EQ(w.tmrUpDate->interval(), std::chrono::milliseconds(50));
    ui::pick(ui::ctl<QComboBox>(w, "cmbChan"), "CHAN B");

    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    ui::click(w.cmdStart);
    ASSERT_EQ(t.dialogs->fileAsked.size(), 1);
    EXPECT_EQ(t.dialogs->fileAsked[0].request.filter, "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat");
    EXPECT_TRUE(fileBytes(path) == header && w.cmdStart->text() == "Pause");

    // Each tick sends one poll of channel B; the meter's answer fills the boxes and starts the period.
    Line line{t, sim::Meter{sim::MeterConfig{}}};
    QByteArray rows;
    for (int i = 0; i < 3; ++i) {
        w.tmrUpDate_Timer();
        EXPECT_EQ(line.sent(), qbytes(withCrc({17, 31, 0xEF, 0xCD, 1, 0})));
        EXPECT_TRUE(t.s().PollBusy == 1 && !w.tmrUpDate->isActive());
        const QStringList expected = diagTexts(line.serve());
        EXPECT_EQ(boxes(w), expected);
        EXPECT_TRUE(t.s().PollBusy == 0 && w.tmrUpDate->isActive());
        rows += logRow(expected);
    }
    deliver(t.link(), handMade());
    const QStringList hand = {"150", "2.5", "-3", "3", "500", "1.2", "2", "78", "44.5", "950", "25", "12000", "1", "12", "0"};
    EXPECT_EQ(boxes(w), hand);
    rows += "150\t2.5\t2\t3\t78\t1.2\t44.5\t-3\t12\t500\t950\t12000\t25\t1\r\n";

    // A lost answer: the time-out frees the line for the data log too, and polling goes on.
    w.tmrUpDate_Timer();
    t.link().responseMs = 0;
    t.link().tmrTimeOut_Timer();
    EXPECT_EQ(t.dialogs->count("Work Offline?", "Communication Failed"), 1);
    EXPECT_TRUE(t.s().PollBusy == 0 && w.tmrUpDate->isActive());

    // Pause writes the rows; Resume goes on into the same file. The 201st row writes a block of 201.
    ui::click(w.cmdStart);
    EXPECT_EQ(fileBytes(path), header + rows);
    EXPECT_TRUE(w.cmdStart->text() == "Resume" && !w.tmrUpDate->isActive());
    ui::click(w.cmdStart);
    EXPECT_EQ(w.cmdStart->text(), "Pause");
    const QByteArray handRow = logRow(hand);
    for (int i = 0; i < 200; ++i)
        deliver(t.link(), handMade());
    EXPECT_EQ(fileBytes(path), header + rows);
    deliver(t.link(), handMade());
    EXPECT_EQ(fileBytes(path), header + (rows += handRow.repeated(201)));

    // The stick is pulled: the block is kept and the failure told once, after the answer.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    for (int i = 0; i < 402; ++i)
        deliver(t.link(), handMade());
    QCoreApplication::processEvents();
    EXPECT_EQ(t.dialogs->transcript().filter("Storage Option: The diagnostics log could not be written to " + path).size(), 1);
    ASSERT_TRUE(QDir().mkpath(folder));
    ui::click(w.cmdClose);
    EXPECT_EQ(fileBytes(path), handRow.repeated(402));
    EXPECT_TRUE(!w.isVisible() && t.start().isVisible() && w.cmdStart->text() == "Start" && w.DiagState == 0);

    // No to "Save to Disk?" records nothing; the signal picture leads on to the raw signal window.
    ui::click(t.start().imgDiagnostics[1]);
    ui::click(w.cmdStart);
    deliver(t.link(), handMade());
    EXPECT_EQ(w.DiagRowIndex(), 0);
    ui::click(ui::ctl<QAbstractButton>(w, "imgSig"));
    EXPECT_TRUE(!w.isVisible() && !w.tmrUpDate->isActive() && w.DiagState == 0);
    EXPECT_TRUE(t.s().windows().get<frmplt>().isVisible());
    EXPECT_EQ(fileBytes(path), handRow.repeated(402));
}

TEST(DiagnosticsWindow, RecordedRowsReachTheFileWithinTheFlushDelay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("diag.txt");
    TestSession t;
    frmLogdiag& w = t.s().windows().get<frmLogdiag>();
    w.show();
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    ui::click(w.cmdStart);
    const QByteArray header = fileBytes(path), handRow = "150\t2.5\t2\t3\t78\t1.2\t44.5\t-3\t12\t500\t950\t12000\t25\t1\r\n";
    auto* flush = ui::ctl<QTimer>(w, "tmrFlush");
    deliver(t.link(), handMade());
    EXPECT_TRUE(flush->isActive() && flush->interval() == 10000 && fileBytes(path) == header);

    // Pause writes the row; after Resume, rows reach the file on their own after the short wait.
    ui::click(w.cmdStart);
    w.FlushDelayMs = 20;
    ui::click(w.cmdStart);
    deliver(t.link(), handMade());
    deliver(t.link(), handMade());
    EXPECT_TRUE(TestSession::waitFor([&] { return fileBytes(path) == header + handRow.repeated(3); }, 5000));
    EXPECT_EQ(ui::ctl<QLabel>(w, "lblRecording")->text(), "Recording to diag.txt: 3 rows written");
    ui::click(w.cmdClose);
    EXPECT_EQ(fileBytes(path), header + handRow.repeated(3));
}

TEST(SignalWindow, AssemblesTheSimulatorsWaveformsFromBlocksOfAnySizeAndSavesTheTable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& [blockSamples, samples] : {std::pair{1, 400}, {100, 2048}, {122, 2048}}) {
        SCOPED_TRACE(blockSamples);
        TestSession t;
        frmplt& w = t.s().windows().get<frmplt>();
        w.show();
        EXPECT_FALSE(w.cmdLive->isEnabled());
        ui::pick(ui::ctl<QListWidget>(w, "lstChan"), 0);
        ui::click(w.cmdLive);
        Line line{t, sim::Meter{{.blockSamples = blockSamples, .samples = samples}}};
        EXPECT_EQ(line.sent(), qbytes(withCrc({17, 35, 0xEF, 0xCD, 1, 0})));
        const sim::FlowProcess::Waveforms sent =
            sim::FlowProcess(1).waveforms(0, samples, (line.now + 20) / 1000.0, sim::FactoryImage());
        for (int answers = 0; w.txtDiag[1]->text().isEmpty() && answers < 5000; ++answers)
            line.serve();
        const auto n = static_cast<std::size_t>(samples);
        ASSERT_EQ(std::vector<int>(w.Signals.SlotCount.begin(), w.Signals.SlotCount.end()),
                  std::vector<int>({samples, samples, 0, 0, 0, 0, 5, 0}));
        EXPECT_TRUE(std::equal(sent.upstream.begin(), sent.upstream.end(), w.Signals.SignalSlots[0].begin()));
        EXPECT_TRUE(std::equal(sent.downstream.begin(), sent.downstream.end(), w.Signals.SignalSlots[1].begin()));
        const auto& s = sent.figures;
        EXPECT_EQ(w.MarkerIndex, s[3] - s[4]);
        EXPECT_EQ(w.txtDiag[0]->text(), QString::number(s[2] / 10.0, 'f', 1));
        EXPECT_EQ(w.txtDiag[2]->text(), QString::number(s[0] / 10.0, 'f', 1));
        EXPECT_FALSE(line.sent().isEmpty()) << "the next poll follows the figures";

        // The marker runs down the frame, which is white beside it above the waveform.
        const stripchart::Frame f = w.GraphFrame(1);
        const int x = px(f.Left + static_cast<int>(std::lround(w.MarkerIndex * double(f.Width) / samples)));
        const int y = px(f.Top + f.Height / 20);
        EXPECT_TRUE(w.Surface->Image().pixel(x, y) == qRgb(0, 0, 0) && w.Surface->Image().pixel(x + 3, y) == qRgb(255, 255, 255));

        // The table: slots 0 to 6 quoted, one line per sample and one of blanks; slot 6 holds " 0".
        const auto field = [](bool held, int v) {
            return '"' + (held ? (v < 0 ? "" : " ") + QByteArray::number(v) : QByteArray(" ")) + '"';
        };
        QByteArray table;
        for (std::size_t i = 0; i <= n; ++i)
            table += field(i < n, i < n ? sent.upstream[i] : 0) + ',' + field(i < n, i < n ? sent.downstream[i] : 0) +
                     ",\" \",\" \",\" \",\" \"," + field(i < 5, 0) + "\r\n";
        const QString path = dir.filePath(QStringLiteral("signals%1.txt").arg(blockSamples));
        ASSERT_TRUE(writeFile(path, "an older table, replaced"));
        t.dialogs->files = {path};
        ui::click(w.cmdSave);
        EXPECT_EQ(t.dialogs->fileAsked[0].request.defaultExt, "txt");
        EXPECT_EQ(fileBytes(path), table);
    }
}

TEST(SignalWindow, RefusesAnswersOutsideItsBuffersAndPollsOnOnlyWhileOpen)
{
    TestSession t;
    t.start().show();
    frmplt& w = t.s().windows().get<frmplt>();
    w.show();
    Line line{t, sim::Meter{sim::MeterConfig{}}};
    const QByteArray pollB = qbytes(withCrc({17, 35, 0xEF, 0xCD, 2, 0}));
    ui::pick(ui::ctl<QListWidget>(w, "lstChan"), 1);
    ui::click(w.cmdLive);
    ui::click(w.cmdLive);
    EXPECT_EQ(line.sent(), pollB) << "one poll for two clicks";
    // Each answer is followed by one poll.
    const auto answer = [&](const Bytes& a) {
        line.seen = t.port->written().size();
        deliver(t.link(), a);
        return line.sent() == pollB;
    };

    // Figures before any waveform: the boxes and marker are set, the frames only cleared.
    EXPECT_TRUE(answer(block(6, 0, 5, {453, 447, 236, 0, -40})));
    EXPECT_EQ(QStringList({w.txtDiag[0]->text(), w.txtDiag[1]->text(), w.txtDiag[2]->text(), w.txtDiag[3]->text()}),
              QStringList({"23.6", "", "45.3", "44.7"}));
    EXPECT_EQ(w.MarkerIndex, 40);
    const stripchart::Frame f = w.GraphFrame(0);
    EXPECT_EQ(w.Surface->Image().pixel(px(f.Left + f.Width / 2), px(f.Top + f.Height / 2)), qRgb(255, 255, 255));

    EXPECT_TRUE(answer(block(0, 0, 3, {100, -200, 50})));
    EXPECT_TRUE(answer(block(1, 0, 4, {1, 2})));
    const signalplot::Capture before = w.Signals;
    const std::vector<Bytes> refused = {
        block(8, 0, 2, {1, 2}),                      // no slot 8
        block(0, 0, 2049, {1, 2}),                   // longer than a slot
        block(2, 0, 2, {1, 2, 3}),                   // past the waveform's end
        block(1, 1, 4, {3, 4, 5}),                   // past the end, following on
        block(1, 1, 4, {3, 4}, 122),                 // fewer samples than it says
        block(1, 1, 2048, std::vector<int>(123, 7)), // more than an answer holds
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        EXPECT_TRUE(answer(refused[i])) << i;
        EXPECT_TRUE(w.Signals.SignalSlots == before.SignalSlots && w.Signals.SlotCount == before.SlotCount &&
                    w.Signals.SignalBuffer == before.SignalBuffer && w.Signals.SamplesReceived == 2)
            << "refused answer " << i << " stored something";
    }
    EXPECT_TRUE(answer(block(1, 1, 4, {3, 4})));
    const auto& slot = w.Signals.SignalSlots;
    EXPECT_EQ(std::vector<int>(slot[0].begin(), slot[0].begin() + 3), std::vector<int>({100, -200, 50}));
    EXPECT_EQ(std::vector<int>(slot[1].begin(), slot[1].begin() + 4), std::vector<int>({1, 2, 3, 4}));
    // Four blocks taken: the fourth lamp is yellow.
    EXPECT_EQ(w.shpStatus[3]->FillColor(), frmplt::kLampYellow);

    // A lost answer: the next poll goes out after the time-out.
    line.seen = t.port->written().size();
    t.link().responseMs = 0;
    t.link().tmrTimeOut_Timer();
    EXPECT_EQ(line.sent(), pollB);
    // The plot mark answers it and turns the first lamp blue; a click puts the next poll out.
    deliver(t.link(), withCrc({17, 99, 0, 0}));
    EXPECT_EQ(w.shpStatus[0]->FillColor(), frmplt::kLampBlue);
    ui::click(w.cmdLive);

    // Closed: the answer in flight is the last, and the mark no longer shows.
    ui::click(w.cmdClose);
    EXPECT_TRUE(!w.isVisible() && t.start().isVisible());
    EXPECT_TRUE(!answer(block(0, 0, 1, {5})) && line.sent().isEmpty());
    deliver(t.link(), withCrc({17, 99, 0, 0}));
    EXPECT_NE(w.shpStatus[0]->FillColor(), frmplt::kLampBlue);
    w.show();
    line.seen = t.port->written().size();
    ui::click(w.cmdLive);
    EXPECT_EQ(line.sent(), pollB);
}

TEST(SignalWindow, WaitsForAPickedChannelAndAClickRestartsAfterAMarkOrALostPoll)
{
    TestSession t;
    t.start().show();
    frmplt& w = t.s().windows().get<frmplt>();
    w.show();
    qsizetype seen = 0;
    const auto sent = [&] {
        const QByteArray fresh = t.port->written().mid(seen);
        seen = t.port->written().size();
        return fresh;
    };
    const QByteArray pollB = qbytes(withCrc({17, 35, 0xEF, 0xCD, 2, 0}));

    // The list gets the focus and makes its first line current, unselected: no channel yet.
    auto* list = ui::ctl<QListWidget>(w, "lstChan");
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(list, &focus);
    ASSERT_EQ(list->currentRow(), 0);
    EXPECT_FALSE(w.cmdLive->isEnabled());
    ui::pick(list, 1);
    EXPECT_TRUE(w.cmdLive->isEnabled() && w.SignalChannel == 2);

    // The plot mark answers the poll: the next click polls again.
    ui::click(w.cmdLive);
    EXPECT_EQ(sent(), pollB);
    deliver(t.link(), withCrc({17, 99, 0, 0}));
    EXPECT_TRUE(sent().isEmpty());
    ui::click(w.cmdLive);
    EXPECT_EQ(sent(), pollB);

    // Closed with that poll out, which then times out: nothing follows, and the next click polls.
    ui::click(w.cmdClose);
    t.link().responseMs = 0;
    t.link().tmrTimeOut_Timer();
    EXPECT_TRUE(sent().isEmpty());
    w.show();
    ui::click(w.cmdLive);
    EXPECT_EQ(sent(), pollB);
}

TEST(MonitoringWindows, FitALaptopScreenOpenOverTheirOpenerAndCutNoText)
{
    const QRect laptop(0, 0, 1366, 768);
    twips::setAvailableGeometry(laptop);
    struct Restore {
        ~Restore() { twips::setAvailableGeometry({}); }
    } restore;
    const auto centreOf = [](const QWidget& w) { return w.frameGeometry().center(); };
    // The window lies on the screen; every named control is on the scrolled content and comes
    // whole into view when scrolled to; no label or check box is narrower than its text.
    const auto check = [&](QWidget& w) {
        SCOPED_TRACE(w.objectName().toStdString());
        EXPECT_TRUE(laptop.contains(w.frameGeometry())) << w.frameGeometry().width() << "x" << w.frameGeometry().height();
        auto* view = ui::ctl<QScrollArea>(w, "View");
        ASSERT_NE(view, nullptr);
        for (QWidget* c : w.findChildren<QWidget*>()) {
            const QString name = c->objectName();
            if (name.isEmpty() || name.startsWith("qt_") || c == view || c == view->widget())
                continue;
            EXPECT_TRUE(view->widget()->isAncestorOf(c)) << name.toStdString();
            if (auto* l = qobject_cast<QLabel*>(c))
                EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width()) << name.toStdString();
            if (auto* b = qobject_cast<QCheckBox*>(c))
                EXPECT_LE(b->sizeHint().width(), b->width()) << name.toStdString();
            const QSize room = view->viewport()->size();
            if (c->isVisible() && c->width() <= room.width() && c->height() <= room.height()) {
                view->ensureWidgetVisible(c, 0, 0);
                EXPECT_TRUE(view->viewport()->rect().contains(QRect(c->mapTo(view->viewport(), QPoint()), c->size())))
                    << name.toStdString();
            }
        }
    };

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TestSession t;
    frmStart& start = t.start();
    start.move(300, 200);
    start.show();
    ui::click(start.imgLogdata[1]);
    frmLog& log = t.s().windows().get<frmLog>();
    EXPECT_EQ(centreOf(log), centreOf(start));
    // The chart makes the content taller than the screen; recording to a long name.
    clickBox(log.chkPlot);
    startLog(t, log, dir.filePath(QString(150, 'x') + ".dat"));
    check(log);
    ui::pick(log.cmbChan, "Both");
    check(log);
    // Made wider, the window gives its chart the room.
    log.resize(log.size() + QSize(150, 0));
    EXPECT_EQ(log.shpFlow->width(), px(6600) + 150);
    ui::click(log.cmdClose);

    ui::click(start.imgDiagnostics[1]);
    frmLogdiag& diag = t.s().windows().get<frmLogdiag>();
    EXPECT_EQ(centreOf(diag), centreOf(start));
    check(diag);
    ui::click(ui::ctl<QAbstractButton>(diag, "imgSig"));
    frmplt& plot = t.s().windows().get<frmplt>();
    EXPECT_EQ(centreOf(plot), centreOf(diag)) << "opened from the window that hid itself";
    check(plot);
    plot.resize(plot.size() + QSize(150, 100));
    EXPECT_EQ(plot.shpgraph[1]->size(), QSize(px(8760) + 150, px(4560) + 50));
}
