// The data log window through its controls, with the meter played on the in-memory line.

#include "monitor/chartsurface.h"
#include "platform/twips.h"
#include "logtest.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace logtest;

namespace {

int px(int twipsValue)
{
    return twips::toPixels(twipsValue);
}

QRgb base(QLineEdit* box)
{
    return box->palette().color(QPalette::Base).rgb();
}

std::string said(TestSession& t)
{
    return t.dialogs->transcript().join('\n').toStdString();
}

// A window ready to poll: start-up done (tables filled), link and fake port created, rows
// stamped 09:05.
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
        return testing::AssertionFailure() << "sent [" << sent.toHex(' ').toStdString() << "], expected ["
                                           << expected.toHex(' ').toStdString() << "]";
    route(t.link(), answer);
    return testing::AssertionSuccess();
}

// A channel's boxes: flow, sound speed, deviation, total, load, size, absorption.
QStringList shown(frmLog& w, int c)
{
    const auto k = static_cast<std::size_t>(c);
    QStringList out;
    for (QLineEdit* b : {w.txtFlow[k], w.txtVOS[k], w.txtReyn[k], w.txtTotal[k], w.txtLoad[k], w.txtSize[k], w.txtAbsorb[k]})
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

// A combo's entries, found by name; the current one is marked with a '*'.
QStringList items(frmLog& w, const char* name)
{
    QStringList out;
    auto* c = w.findChild<QComboBox*>(QLatin1String(name));
    for (int i = 0; c && i < c->count(); ++i)
        out << (i == c->currentIndex() ? QStringLiteral("*") : QString()) + c->itemText(i);
    return out;
}

} // namespace

TEST(DataLogWindow, OpensFromTheStartWindowAndLaysOutEachChannelChoice)
{
    TestSession t;
    frmStart& start = t.start();
    start.show();
    QTest::mouseClick(start.imgLogdata[1], Qt::LeftButton);
    ASSERT_NE(t.s().windows().find<frmLog>(), nullptr);
    frmLog& w = t.s().windows().get<frmLog>();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(start.isVisible());
    EXPECT_EQ(w.windowTitle(), "SCADA Simulator");
    EXPECT_EQ(w.cmdStart->text(), "Start");
    EXPECT_EQ(items(w, "cmbChan"), QStringList({"*Chan A", "Chan B", "Both"}));
    EXPECT_EQ(items(w, "cmbUpdate"), QStringList({"*1 sec", "10 sec", "30 sec", "60 sec"}));
    EXPECT_EQ(items(w, "cmbTotalUN"), QStringList({"mL", "*L", "m^3", "ft^3"}));
    EXPECT_EQ(items(w, "cmbQUnit"), QStringList({"*lpm", "cfm", "m^3/s", "gpm", "cc/m"}));
    EXPECT_EQ(items(w, "cmbCunit"), QStringList({"*m/s", "ft/s"}));
    const int periods[] = {10000, 30000, 60000, 1000};
    for (int i = 0; i < 4; ++i) {
        choose(w.cmbUpdate, (i + 1) % 4);
        EXPECT_EQ(w.tmrUpDate->interval(), periods[i]) << i;
    }
    EXPECT_FALSE(w.tmrUpDate->isActive()) << "nothing is polled until Start";
    for (QWidget* hidden : std::initializer_list<QWidget*>{w.shpFlow, w.lblAlarm[0], w.lblAlarm[1]})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();

    // Scales of 30 and 1550, captions from the bottom to the top of the frame.
    EXPECT_EQ(labelTexts(w, "LblLScale"), QStringList({"0", "8", "15", "23", "30"}));
    EXPECT_EQ(labelTexts(w, "LblRScale"), QStringList({"0", "388", "775", "1163", "1550"}));
    EXPECT_EQ(w.LblLScale[0]->y(), px(16245));
    EXPECT_EQ(w.LblRScale[4]->y(), px(5855));

    // The chart check box opens and closes the chart.
    clickBox(w.chkPlot);
    EXPECT_EQ(w.height(), px(16680));
    EXPECT_TRUE(w.shpFlow->isVisible());
    clickBox(w.chkPlot);
    EXPECT_FALSE(w.shpFlow->isVisible());

    // Each channel choice: Both puts B beside A and fixes the chart to the two flows on the left
    // scale (here the Reynolds number's); one channel brings back the chart's defaults.
    clickBox(w.chkLData[1]);
    clickBox(w.chkRData[1]);
    struct Choice {
        int chan, height, xA, xB, xUnits; // x 0: hidden
        const char* rightCaption;
        const char* rightTop;
    };
    const Choice choices[] = {{2, 5000, 1440, 2640, 3840, "Flow Rate CH B", "100000"},
                              {0, 4605, 1440, 0, 2640, "Acoustic Velocity", "1550"},
                              {1, 4605, 0, 1440, 2640, "Acoustic Velocity", "1550"}};
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.chan);
        choose(w.cmbChan, c.chan);
        const bool both = c.chan == 2;
        EXPECT_EQ(w.height(), px(c.height));
        for (std::size_t k = 0; k < 2; ++k) {
            const int x = k == 0 ? c.xA : c.xB;
            EXPECT_EQ(w.txtSize[k]->isVisible() ? w.txtSize[k]->x() : 0, x ? px(x) : 0) << k;
            EXPECT_EQ(w.txtTotal[k]->isVisible() ? w.txtTotal[k]->x() : 0, x ? px(x + 360) : 0) << k;
        }
        EXPECT_EQ(w.cmbQUnit->x(), px(c.xUnits));
        EXPECT_EQ(w.lbldB->x(), px(c.xUnits + 60));
        EXPECT_EQ(w.chkRData[0]->text(), c.rightCaption);
        EXPECT_EQ(labelTexts(w, "LblRScale").last(), c.rightTop);
        EXPECT_TRUE(w.chkLData[0]->isChecked() && w.chkRData[0]->isChecked());
        EXPECT_TRUE(both || !w.chkRData[1]->isChecked());
        EXPECT_EQ((std::vector<bool>{w.chkLData[0]->isEnabled(), w.chkRData[0]->isEnabled(), w.chkLData[1]->isVisible(),
                                     w.chkRData[1]->isVisible()}),
                  std::vector<bool>(4, !both)) << "first quantities enabled, second ones shown";
    }

    // Close goes back to the start window; the window comes back as it was left.
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(start.isVisible());
    QTest::mouseClick(start.imgLogdata[1], Qt::LeftButton);
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
    EXPECT_EQ(t.dialogs->asked[0].buttons, DialogService::Buttons::YesNo);
    EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Question);
    EXPECT_TRUE(t.dialogs->fileAsked.isEmpty());
    EXPECT_EQ(w.cmdStart->text(), "Pause");
    EXPECT_TRUE(w.tmrUpDate->isActive());

    // The poll of channel A; none more while it is in flight. The answer comes over the line and
    // starts the period again.
    w.tmrUpDate_Timer();
    EXPECT_EQ(t.port->written(), poll(0, 0));
    EXPECT_FALSE(w.tmrUpDate->isActive());
    w.tmrUpDate_Timer();
    EXPECT_EQ(t.port->written().size(), 10) << "no second poll while one is in flight";
    t.port->receive(qbytes(testbytes::liveAnswer(Live{})));
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().PollBusy == 0; }, 2000));
    EXPECT_TRUE(w.tmrUpDate->isActive());
    EXPECT_EQ(w.tmrUpDate->interval(), 1000);
    EXPECT_EQ(shown(w, 0), QStringList({"150.0000", "1482.5", "5.000", "37.5000", "1.2", " 12", "-3.5"}));
    EXPECT_EQ(w.txtTotalTime->text(), "12.5000");
    EXPECT_EQ(shown(w, 1), QStringList(7, QString()));
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 255, 255));

    // Gate open: channel A's flows are summed, the box turns green; gate closed: red, with the mean.
    for (int lpm : {10, 11, 15}) {
        Live l = flowing(static_cast<float>(lpm));
        l.gate = 0;
        EXPECT_TRUE(tick(t, w, poll(0, 0), l));
        EXPECT_EQ(base(w.txtQavg), qRgb(128, 255, 128));
        EXPECT_EQ(w.txtQavg->text(), "");
    }
    EXPECT_TRUE(tick(t, w, poll(0, 0)));
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 128, 128));
    EXPECT_EQ(w.txtQavg->text(), "12.0000");

    // Start Batch: 2 in byte 5 of the next poll only, which comes 0.1 s after the click.
    Live running;
    running.batch = 1;
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    EXPECT_EQ(w.tmrUpDate->interval(), 100);
    EXPECT_TRUE(tick(t, w, poll(0, 2), running));
    EXPECT_EQ(w.tmrUpDate->interval(), 1000) << "the chosen period is back";
    EXPECT_EQ(w.cmdStartStop->text(), "Stop Batch");
    EXPECT_TRUE(tick(t, w, poll(0, 0), running));
    // Clear Total while a batch runs: 3; the average starts again.
    QTest::mouseClick(w.cmdClear, Qt::LeftButton);
    EXPECT_EQ(w.txtQavg->text(), "");
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 255, 255));
    EXPECT_TRUE(tick(t, w, poll(0, 3), running));
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 255, 255)) << "gate closed, nothing collected since the clear";
    // Stop Batch: 1; then Clear Total with no batch: 4.
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    EXPECT_TRUE(tick(t, w, poll(0, 1)));
    EXPECT_EQ(w.cmdStartStop->text(), "Start Batch");
    QTest::mouseClick(w.cmdClear, Qt::LeftButton);
    EXPECT_TRUE(tick(t, w, poll(0, 4)));

    // Channel B: byte 4 of the poll, its own boxes; a mean flow of 0 shows the deviation as received.
    choose(w.cmbChan, 1);
    Live b = flowing(10);
    b.size = -3;
    b.mean = 0;
    b.sdv = 0.0123f;
    EXPECT_TRUE(tick(t, w, poll(1, 0), b));
    EXPECT_EQ(shown(w, 1), QStringList({"10.0000", "1482.5", "0.012", "37.5000", "1.2", "-3", "-3.5"}));
    EXPECT_EQ(w.txtFlow[0]->text(), "150.0000");

    // New units leave the values shown; the next answer uses them.
    choose(w.cmbQUnit, 2);   // m^3/s
    choose(w.cmbCunit, 1);   // ft/s
    choose(w.cmbTotalUN, 2); // m^3
    EXPECT_EQ(w.txtFlow[1]->text(), "10.0000");
    EXPECT_TRUE(tick(t, w, poll(1, 0)));
    EXPECT_EQ(shown(w, 1).mid(0, 4), QStringList({"0.0025", "4863.8", "5.000", "0.0375"}));

    // Pause: no more polls; a poll in flight is still answered and shown.
    w.tmrUpDate_Timer();
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(w.cmdStart->text(), "Start");
    route(t.link(), flowing(20));
    EXPECT_EQ(w.txtFlow[1]->text(), "0.0003");
    EXPECT_FALSE(w.tmrUpDate->isActive());
    EXPECT_EQ(t.s().PollBusy, 0);
    EXPECT_EQ(t.dialogs->asked.size(), 1);

    // Start Batch while paused sends nothing; the first poll after Start comes 0.1 s later and
    // carries it, also when that poll cannot leave at first (no port).
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    EXPECT_FALSE(w.tmrUpDate->isActive());
    startLog(t, w);
    EXPECT_TRUE(w.tmrUpDate->isActive());
    EXPECT_EQ(w.tmrUpDate->interval(), 100);
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
    choose(w.cmbChan, 2);
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
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), kHeader + row(0, 10) + row(20, 10) + row(20, 30) + row(40, 30));
}

TEST(DataLogWindow, RecordsEveryAnswerToTheFileInBlocks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("usb");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/flow.dat";
    QByteArray expected = "earlier run\r\n";
    ASSERT_TRUE(testbytes::writeFile(path, expected));
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
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    ASSERT_EQ(t.dialogs->fileAsked.size(), 1);
    const DialogService::FileRequest& r = t.dialogs->fileAsked[0].request;
    EXPECT_TRUE(t.dialogs->fileAsked[0].save);
    EXPECT_EQ(r.filter, "All Files (*.*)|*.*|Data Files (*.dat)|*.dat|");
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.defaultExt, "dat");
    EXPECT_EQ(w.cmdStart->text(), "Start");
    EXPECT_FALSE(w.tmrUpDate->isActive());

    // Yes: the header goes after the old content; rows wait for a flush, which Pause makes.
    startLog(t, w, folder + "/flow"); // the dialog adds ".dat"
    EXPECT_EQ(w.cmdStart->text(), "Pause");
    EXPECT_EQ(fileBytes(path), expected += kHeader);
    QByteArray rows = answer(1, 5);
    EXPECT_EQ(fileBytes(path), expected) << "rows wait for a flush";
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), expected += rows);

    // Start again on the same file and pause at once: a new header, no rows.
    startLog(t, w, path);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), expected += kHeader);

    // 200 rows make a block; the 201st answer writes it first. Close writes the rest.
    startLog(t, w, path);
    expected += kHeader;
    rows = answer(1, 200);
    EXPECT_EQ(fileBytes(path), expected);
    const QByteArray last = answer(201, 201);
    EXPECT_EQ(fileBytes(path), expected += rows);
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), expected += last);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_EQ(w.cmdStart->text(), "Start");

    // Closing from the title bar writes the rest too, and polls no more.
    w.show();
    startLog(t, w, path);
    rows = answer(7, 7);
    t.start().hide();
    w.close();
    EXPECT_EQ(fileBytes(path), expected += kHeader + rows);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_FALSE(w.tmrUpDate->isActive());

    // No to "Save to Disk?": rows are made but never written.
    w.show();
    startLog(t, w);
    answer(1, 2);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_EQ(w.LogRows.RowCount(), 0);
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
    const auto& told = t.dialogs->asked[7];
    EXPECT_TRUE(told.text.startsWith("The data log could not be written to " + QDir::toNativeSeparators(path)))
        << told.text.toStdString();
    EXPECT_EQ(told.title, "Storage Option");
    EXPECT_EQ(told.icon, DialogService::Icon::Exclamation);
    rows += answer(202, 401);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.dialogs->asked.size(), 8) << "told once";
    EXPECT_EQ(w.LogRows.UnwrittenRows(), 400);
    EXPECT_EQ(w.Logging, 1);
    // Back again: Pause writes every kept row once, in order, into the new file.
    ASSERT_TRUE(QDir().mkpath(folder));
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), rows);
    EXPECT_EQ(w.LogRows.UnwrittenRows(), 0);
    EXPECT_EQ(t.dialogs->asked.size(), 8);
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

    // Full scale (30 lpm) on the top line, 775 m/s on the middle one; the window shows them.
    plot(2);
    EXPECT_EQ(colourAt(855, 5855), blue);
    EXPECT_EQ(colourAt(855, 11050), qRgb(255, 0, 0));
    EXPECT_EQ(colourAt(855, 5855 + 150), 0u) << "one line only";
    w.repaint();
    EXPECT_EQ(w.grab().toImage().pixel(px(855), px(5855)), blue);

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
    QTest::mouseClick(w.cmdLscale[1], Qt::LeftButton);
    EXPECT_EQ(labelTexts(w, "LblLScale").last(), "28");
    QTest::mouseClick(w.cmdLscale[0], Qt::LeftButton);
    EXPECT_EQ(labelTexts(w, "LblLScale").last(), "29");
    QTest::mouseClick(w.cmdRscale[0], Qt::LeftButton);
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "1628");
    QTest::mouseClick(w.cmdRscale[1], Qt::LeftButton);
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "1547");
    EXPECT_EQ(w.Pen.PlotCount, 0);
    clickBox(w.chkBPolarL);
    EXPECT_EQ(labelTexts(w, "LblLScale").first(), "-29");

    // The second quantities (Reynolds number 100000, particle size 300): each pair acts as radio
    // buttons, and a change clears the chart.
    clickBox(w.chkLData[1]);
    EXPECT_FALSE(w.chkLData[0]->isChecked());
    EXPECT_EQ(labelTexts(w, "LblLScale").last(), "100000");
    EXPECT_EQ(colourAt(855, 5855), 0u);
    clickBox(w.chkLData[1]);
    EXPECT_TRUE(w.chkLData[1]->isChecked()) << "clicking the checked box keeps it checked";
    clickBox(w.chkRData[1]);
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "300");
    EXPECT_FALSE(w.chkRData[0]->isChecked());
}

namespace {

// Message boxes of a user who is away: the first "Communication Failed" box stays open until
// two polls have left behind it, as events go on behind a modal box; later boxes, and one opened
// over it, are answered at once. Counts the boxes open at the same time.
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
    int open = 0;
    int maxOpen = 0;
    int pollsBehindBox = -1;
};

} // namespace

TEST(DataLogWindow, LostAnswersDoNotEndTheLogNorStackBoxes)
{
    auto away = std::make_unique<AwayDialogs>();
    AwayDialogs* d = away.get();
    TestSession t(TestSession::Port::Fake, std::move(away));
    t.start();
    t.link().responseMs = 40;
    frmLog& w = t.s().windows().get<frmLog>();
    w.PeriodOverrideMs = 20;
    d->polls = [&t] { return static_cast<int>(t.port->written().size()) / 10; };
    w.show();
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
    EXPECT_EQ(w.txtFlow[0]->text(), "150.0000");
    EXPECT_TRUE(w.tmrUpDate->isActive());
    EXPECT_EQ(w.Logging, 1);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    t.link().tmrTimeOut->stop();
    EXPECT_EQ(d->maxOpen, 1);
}
