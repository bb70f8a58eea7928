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

template <typename T>
T* child(QWidget& w, const QString& name)
{
    T* c = w.findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name.toStdString();
    return c;
}

int px(int twipsValue)
{
    return twips::toPixels(twipsValue);
}

QRgb base(QLineEdit* box)
{
    return box->palette().color(QPalette::Base).rgb();
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

// Start with No to "Save to Disk?".
void startNoFile(TestSession& t, frmLog& w)
{
    t.dialogs->answers.append(DialogService::Answer::No);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
}

QStringList labelTexts(frmLog& w, const char* array)
{
    QStringList out;
    for (int k = 0; k < 5; ++k)
        out << child<QLabel>(w, QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(k))->text();
    return out;
}

} // namespace

TEST(DataLogWindow, OpensFromTheStartWindowWithItsControlsAndLoadState)
{
    TestSession t;
    frmStart& start = t.start();
    start.show();
    QTest::mouseClick(start.imgLogdata[1], Qt::LeftButton);
    ASSERT_TRUE(t.s().windows().find<frmLog>() != nullptr);
    frmLog& w = t.s().windows().get<frmLog>();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(start.isVisible());
    EXPECT_EQ(w.windowTitle(), "SCADA Simulator");
    EXPECT_EQ(w.height(), px(4605));

    auto* chan = child<QComboBox>(w, "cmbChan");
    ASSERT_EQ(chan->count(), 3);
    EXPECT_EQ(chan->itemText(0), "Chan A");
    EXPECT_EQ(chan->itemText(1), "Chan B");
    EXPECT_EQ(chan->itemText(2), "Both");
    EXPECT_EQ(chan->currentIndex(), 0);
    auto* update = child<QComboBox>(w, "cmbUpdate");
    ASSERT_EQ(update->count(), 4);
    const char* periods[] = {"1 sec", "10 sec", "30 sec", "60 sec"};
    const int data[] = {1000, 10000, 30000, 60000};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(update->itemText(i), periods[i]);
        EXPECT_EQ(update->itemData(i).toInt(), data[i]);
    }
    auto* timer = w.findChild<QTimer*>("tmrUpDate");
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive()) << "nothing is polled until Start";
    EXPECT_EQ(timer->interval(), 1000);

    EXPECT_EQ(child<QPushButton>(w, "cmdStart")->text(), "Start");
    EXPECT_EQ(child<QPushButton>(w, "cmdClose")->text(), "Close");
    EXPECT_EQ(child<QPushButton>(w, "cmdStartStop")->text(), "Start Batch");
    EXPECT_EQ(child<QPushButton>(w, "cmdClear")->text(), "Clear Total");
    EXPECT_EQ(child<QCheckBox>(w, "chkPlot")->text(), "Plot Data");
    EXPECT_FALSE(w.chkPlot->isChecked());
    EXPECT_FALSE(child<QWidget>(w, "shpFlow")->isVisible());
    EXPECT_EQ(child<QCheckBox>(w, "chkLData_0")->text(), "Flow Rate");
    EXPECT_EQ(child<QCheckBox>(w, "chkLData_1")->text(), "Reynolds Number");
    EXPECT_EQ(child<QCheckBox>(w, "chkRData_0")->text(), "Acoustic Velocity");
    EXPECT_EQ(child<QCheckBox>(w, "chkRData_1")->text(), "Particle Size");
    EXPECT_TRUE(w.chkLData[0]->isChecked());
    EXPECT_FALSE(w.chkLData[1]->isChecked());
    EXPECT_TRUE(w.chkRData[0]->isChecked());
    EXPECT_FALSE(w.chkRData[1]->isChecked());
    EXPECT_EQ(child<QCheckBox>(w, "chkBPolarL")->text(), "Bi Polar");
    EXPECT_EQ(child<QCheckBox>(w, "chkBPolarR")->text(), "Bi Polar");
    EXPECT_EQ(child<QPushButton>(w, "cmdLscale_0")->text(), "+");
    EXPECT_EQ(child<QPushButton>(w, "cmdLscale_1")->text(), "-");
    EXPECT_EQ(child<QPushButton>(w, "cmdRscale_0")->text(), "+");
    EXPECT_EQ(child<QPushButton>(w, "cmdRscale_1")->text(), "-");
    EXPECT_EQ(child<QLabel>(w, "lblpercent")->text(), "%");
    EXPECT_EQ(child<QLabel>(w, "lblmicron")->text(), "Microns");
    EXPECT_EQ(child<QLabel>(w, "lblAbsorb")->text(), "Acoustic Absorbsion");
    EXPECT_EQ(child<QLabel>(w, "lblSDV")->text(), "Flow SDV");
    EXPECT_EQ(child<QLabel>(w, "lblAVG")->text(), "AVG");
    EXPECT_EQ(child<QLabel>(w, "lblsec")->text(), "sec");
    for (int c = 0; c < 2; ++c)
        EXPECT_FALSE(child<QLabel>(w, QStringLiteral("lblAlarm_%1").arg(c))->isVisible());

    // Units: volume in L, flow in lpm, sound speed in m/s.
    auto items = [](QComboBox* c) {
        QStringList l;
        for (int i = 0; i < c->count(); ++i)
            l << c->itemText(i);
        return l;
    };
    auto* totalUnit = child<QComboBox>(w, "cmbTotalUN");
    auto* flowUnit = child<QComboBox>(w, "cmbQUnit");
    auto* soundUnit = child<QComboBox>(w, "cmbCunit");
    EXPECT_EQ(items(totalUnit), QStringList({"mL", "L", "m^3", "ft^3"}));
    EXPECT_EQ(totalUnit->currentIndex(), 1);
    EXPECT_EQ(items(flowUnit), QStringList({"lpm", "cfm", "m^3/s", "gpm", "cc/m"}));
    EXPECT_EQ(flowUnit->currentIndex(), 0);
    EXPECT_EQ(items(soundUnit), QStringList({"m/s", "ft/s"}));
    EXPECT_EQ(soundUnit->currentIndex(), 0);
    EXPECT_EQ(w.FlowFactor, kLpm);
    EXPECT_EQ(w.TotalFactor, 0.001f);
    EXPECT_EQ(w.SoundFactor, 1.0f);

    // One channel in the first value column, the units beside it.
    auto* flowA = child<QLineEdit>(w, "txtFlow_0");
    EXPECT_TRUE(flowA->isVisible());
    EXPECT_EQ(flowA->x(), px(1440));
    EXPECT_EQ(child<QLineEdit>(w, "txtTotal_0")->x(), px(1800));
    EXPECT_FALSE(child<QLineEdit>(w, "txtFlow_1")->isVisible());
    EXPECT_FALSE(child<QLineEdit>(w, "txtSize_1")->isVisible());
    EXPECT_EQ(flowUnit->x(), px(2640));
    EXPECT_EQ(soundUnit->x(), px(2640));
    EXPECT_EQ(w.lbldB->x(), px(2700));

    // Scales of 30 and 1550, labels from the bottom (0) to the top (4) of the frame.
    EXPECT_EQ(labelTexts(w, "LblLScale"), QStringList({"0", "8", "15", "23", "30"}));
    EXPECT_EQ(labelTexts(w, "LblRScale"), QStringList({"0", "388", "775", "1163", "1550"}));
    const int tops[5] = {16245, 13648, 11050, 8452, 5855};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(w.LblLScale[static_cast<std::size_t>(k)]->y(), px(tops[k])) << k;
        EXPECT_EQ(w.LblRScale[static_cast<std::size_t>(k)]->y(), px(tops[k])) << k;
    }

    // The chart check box opens and closes the chart.
    clickBox(w.chkPlot);
    EXPECT_TRUE(w.chkPlot->isChecked());
    EXPECT_EQ(w.height(), px(16680));
    EXPECT_TRUE(w.shpFlow->isVisible());
    EXPECT_EQ(w.shpFlow->geometry(), twips::rect(840, 5880, 6600, 10440));
    clickBox(w.chkPlot);
    EXPECT_EQ(w.height(), px(4605));
    EXPECT_FALSE(w.shpFlow->isVisible());

    // Close goes back to the start window; the window comes back as it was left.
    choose(chan, 1);
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(start.isVisible());
    QTest::mouseClick(start.imgLogdata[1], Qt::LeftButton);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(chan->currentIndex(), 1);
    EXPECT_TRUE(child<QLineEdit>(w, "txtFlow_1")->isVisible());
    EXPECT_FALSE(flowA->isVisible());
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_FALSE(t.s().hasLink()) << "the window never touched the line";
}

TEST(DataLogWindow, PollsOneChannelAndShowsItsAnswer)
{
    TestSession t;
    frmLog& w = openLog(t);
    startNoFile(t, w);
    ASSERT_EQ(t.dialogs->asked.size(), 1);
    EXPECT_EQ(t.dialogs->asked[0].text, "Save to Disk?");
    EXPECT_EQ(t.dialogs->asked[0].title, "Storage Option");
    EXPECT_EQ(t.dialogs->asked[0].buttons, DialogService::Buttons::YesNo);
    EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Question);
    EXPECT_TRUE(t.dialogs->fileAsked.isEmpty());
    EXPECT_EQ(w.cmdStart->text(), "Pause");
    EXPECT_TRUE(w.tmrUpDate->isActive());
    EXPECT_EQ(w.SaveAnswer, 7);

    w.tmrUpDate_Timer();
    EXPECT_EQ(t.port->written(), poll(0, 0));
    EXPECT_EQ(t.s().PollBusy, 1);
    EXPECT_FALSE(w.tmrUpDate->isActive()) << "the answer re-arms the timer";
    w.tmrUpDate_Timer();
    EXPECT_EQ(t.port->written().size(), 10) << "no second poll while one is in flight";

    ASSERT_TRUE(deliver(t, Live{}));
    EXPECT_EQ(t.s().PollBusy, 0);
    EXPECT_TRUE(w.tmrUpDate->isActive());
    EXPECT_EQ(w.tmrUpDate->interval(), 1000);
    EXPECT_EQ(w.txtFlow[0]->text(), "150.0000");
    EXPECT_EQ(w.txtVOS[0]->text(), "1482.5");
    EXPECT_EQ(w.txtReyn[0]->text(), "5.000");
    EXPECT_EQ(w.txtTotalTime->text(), "12.5000");
    EXPECT_EQ(w.txtTotal[0]->text(), "37.5000");
    EXPECT_EQ(w.txtLoad[0]->text(), "1.2");
    EXPECT_EQ(w.txtSize[0]->text(), " 12");
    EXPECT_EQ(w.txtAbsorb[0]->text(), "-3.5");
    EXPECT_EQ(w.txtFlow[1]->text(), "");
    EXPECT_EQ(w.LogRows.RowCount(), 1);

    // Channel B: the other boxes, byte 4 of the poll.
    choose(w.cmbChan, 1);
    EXPECT_TRUE(w.txtFlow[1]->isVisible());
    EXPECT_EQ(w.txtFlow[1]->x(), px(1440));
    EXPECT_FALSE(w.txtFlow[0]->isVisible());
    w.tmrUpDate_Timer();
    EXPECT_EQ(lastRequest(t), poll(1, 0));
    Live b;
    b.flow = 10 * kLpm;
    b.size = -3;
    b.mean = 0;      // the deviation is shown as received
    b.sdv = 0.0123f;
    ASSERT_TRUE(deliver(t, b));
    EXPECT_EQ(w.txtFlow[1]->text(), "10.0000");
    EXPECT_EQ(w.txtSize[1]->text(), "-3");
    EXPECT_EQ(w.txtReyn[1]->text(), "0.012");
    EXPECT_EQ(w.txtFlow[0]->text(), "150.0000");

    // A new unit leaves the shown values; the next answer uses it.
    choose(w.cmbQUnit, 2); // m^3/s
    choose(w.cmbCunit, 1); // ft/s
    choose(w.cmbTotalUN, 2); // m^3
    EXPECT_EQ(w.txtFlow[1]->text(), "10.0000");
    w.tmrUpDate_Timer();
    ASSERT_TRUE(deliver(t, Live{}));
    EXPECT_EQ(w.txtFlow[1]->text(), "0.0025");
    EXPECT_EQ(w.txtVOS[1]->text(), "4863.8");
    EXPECT_EQ(w.txtTotal[1]->text(), "0.0375");

    // The alarm caption follows the status code of the polled channel.
    const std::pair<int, const char*> alarms[] = {{1, "DRY PIPE"}, {2, "WRONG FLUID"}, {3, "RANGE"}, {9, "RANGE"}, {0, nullptr}};
    for (const auto& [status, text] : alarms) {
        Live s;
        s.status = static_cast<std::uint8_t>(status);
        w.tmrUpDate_Timer();
        ASSERT_TRUE(deliver(t, s));
        EXPECT_EQ(w.lblAlarm[1]->isVisible(), text != nullptr) << status;
        if (text) {
            EXPECT_EQ(w.lblAlarm[1]->text(), text);
        }
        EXPECT_FALSE(w.lblAlarm[0]->isVisible());
    }

    // Pause: no more polls; a poll in flight is still answered and shown.
    w.tmrUpDate_Timer();
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(w.cmdStart->text(), "Start");
    EXPECT_FALSE(w.tmrUpDate->isActive());
    Live late;
    late.flow = 20 * kLpm;
    ASSERT_TRUE(deliver(t, late));
    EXPECT_EQ(w.txtFlow[1]->text(), "0.0003");
    EXPECT_FALSE(w.tmrUpDate->isActive());
    EXPECT_EQ(t.s().PollBusy, 0);
    EXPECT_EQ(t.dialogs->asked.size(), 1);
}

TEST(DataLogWindow, BothAlternatesChannelsAndSharesOneFlowScale)
{
    TestSession t;
    frmLog& w = openLog(t);
    clickBox(w.chkLData[1]); // Reynolds number, full scale 100000
    clickBox(w.chkRData[1]); // particle size, full scale 300
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "300");
    choose(w.cmbChan, 2);
    EXPECT_EQ(w.BothChannels, 1);
    EXPECT_EQ(w.height(), px(5000));
    EXPECT_TRUE(w.txtFlow[0]->isVisible());
    EXPECT_TRUE(w.txtFlow[1]->isVisible());
    EXPECT_EQ(w.txtFlow[0]->x(), px(1440));
    EXPECT_EQ(w.txtFlow[1]->x(), px(2640));
    EXPECT_EQ(w.txtLoad[1]->x(), px(2640));
    EXPECT_EQ(w.txtSize[1]->x(), px(2640));
    EXPECT_EQ(w.txtTotal[0]->x(), px(1800));
    EXPECT_EQ(w.cmbQUnit->x(), px(3840));
    EXPECT_EQ(w.cmbCunit->x(), px(3840));
    EXPECT_EQ(w.chkRData[0]->text(), "Flow Rate CH B");
    EXPECT_TRUE(w.chkRData[0]->isChecked());
    EXPECT_TRUE(w.chkLData[0]->isChecked());
    EXPECT_FALSE(w.chkRData[0]->isEnabled());
    EXPECT_FALSE(w.chkLData[0]->isEnabled());
    EXPECT_FALSE(w.chkRData[1]->isVisible());
    EXPECT_FALSE(w.chkLData[1]->isVisible());
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "100000") << "the right scale takes the left one";

    startNoFile(t, w);
    int expected = 1;
    for (int i = 0; i < 4; ++i) {
        w.tmrUpDate_Timer();
        ASSERT_EQ(lastRequest(t), poll(expected, 0)) << i;
        Live l;
        l.flow = static_cast<float>(10 * (i + 1)) * kLpm;
        ASSERT_TRUE(deliver(t, l));
        // The answer fills the polled channel's boxes only.
        EXPECT_EQ(w.txtFlow[static_cast<std::size_t>(expected)]->text(), QStringLiteral("%1.0000").arg(10 * (i + 1)));
        if (i == 0) {
            EXPECT_EQ(w.txtFlow[0]->text(), "");
        }
        expected = 1 - expected;
    }
    EXPECT_EQ(w.txtFlow[0]->text(), "40.0000");
    EXPECT_EQ(w.txtFlow[1]->text(), "30.0000");
    EXPECT_EQ(w.LogRows.RowCount(), 4);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);

    // Back to one channel.
    choose(w.cmbChan, 0);
    EXPECT_EQ(w.BothChannels, 0);
    EXPECT_EQ(w.height(), px(4605));
    EXPECT_EQ(w.chkRData[0]->text(), "Acoustic Velocity");
    EXPECT_TRUE(w.chkRData[0]->isEnabled());
    EXPECT_TRUE(w.chkRData[1]->isVisible());
    EXPECT_FALSE(w.chkRData[1]->isChecked());
    EXPECT_FALSE(w.txtFlow[1]->isVisible());
    EXPECT_EQ(w.cmbQUnit->x(), px(2640));
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "1550");
}

TEST(DataLogWindow, AveragedFlowBatchCommandsAndClear)
{
    TestSession t;
    frmLog& w = openLog(t);
    startNoFile(t, w);
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 255, 255));

    // Gate open: channel A's flows are summed, the box turns green.
    for (int lpm : {10, 11, 15}) {
        Live l;
        l.gate = 0;
        l.flow = static_cast<float>(lpm) * kLpm;
        w.tmrUpDate_Timer();
        ASSERT_TRUE(deliver(t, l));
        EXPECT_EQ(base(w.txtQavg), qRgb(128, 255, 128));
        EXPECT_EQ(w.txtQavg->text(), "");
    }
    // Gate closed: red, with the mean.
    w.tmrUpDate_Timer();
    ASSERT_TRUE(deliver(t, Live{}));
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 128, 128));
    EXPECT_EQ(w.txtQavg->text(), "12.0000");

    // Start Batch rides in byte 5 of the next poll, once, and brings the period down to 0.1 s.
    EXPECT_EQ(w.cmdStartStop->text(), "Start Batch");
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    EXPECT_EQ(w.tmrUpDate->interval(), 100);
    w.tmrUpDate_Timer();
    EXPECT_EQ(lastRequest(t), poll(0, 2));
    EXPECT_EQ(w.tmrUpDate->interval(), 1000);
    Live running;
    running.batch = 1;
    ASSERT_TRUE(deliver(t, running));
    EXPECT_EQ(w.cmdStartStop->text(), "Stop Batch");
    w.tmrUpDate_Timer();
    EXPECT_EQ(lastRequest(t), poll(0, 0));
    ASSERT_TRUE(deliver(t, running));

    // Clear Total while a batch runs: 3; the average starts again.
    QTest::mouseClick(w.cmdClear, Qt::LeftButton);
    EXPECT_EQ(w.txtQavg->text(), "");
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 255, 255));
    w.tmrUpDate_Timer();
    EXPECT_EQ(lastRequest(t), poll(0, 3));
    ASSERT_TRUE(deliver(t, running));
    EXPECT_EQ(base(w.txtQavg), qRgb(255, 255, 255)) << "gate closed, nothing collected since the clear";

    // Stop Batch: 1; then Clear Total with no batch: 4.
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    w.tmrUpDate_Timer();
    EXPECT_EQ(lastRequest(t), poll(0, 1));
    ASSERT_TRUE(deliver(t, Live{}));
    EXPECT_EQ(w.cmdStartStop->text(), "Start Batch");
    QTest::mouseClick(w.cmdClear, Qt::LeftButton);
    w.tmrUpDate_Timer();
    EXPECT_EQ(lastRequest(t), poll(0, 4));
    ASSERT_TRUE(deliver(t, Live{}));
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);

    // A command whose poll cannot leave (no port) is kept for the next poll.
    t.dialogs->answers = {DialogService::Answer::No, DialogService::Answer::No};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    t.link().MSComm1->close();
    t.port->failOpen = true;
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    const int before = t.port->written().size();
    w.tmrUpDate_Timer();
    EXPECT_EQ(t.dialogs->count("Work Offline?", "No Com Port Found"), 1);
    EXPECT_EQ(t.s().PollBusy, 0) << "the poll never left";
    EXPECT_EQ(t.port->written().size(), before);
    t.port->failOpen = false;
    w.tmrUpDate_Timer();
    EXPECT_EQ(lastRequest(t), poll(0, 2));
    ASSERT_TRUE(deliver(t, Live{}));
}

TEST(DataLogWindow, RecordsEveryAnswerToTheFileInBlocks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("flow.dat");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier run\r\n");
    }
    TestSession t;
    frmLog& w = openLog(t);

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
    EXPECT_EQ(w.Logging, 0);

    // Yes: the header goes after the old content; five answers, then Pause.
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {dir.filePath("flow")}; // the dialog adds ".dat"
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(w.cmdStart->text(), "Pause");
    EXPECT_EQ(fileBytes(path), QByteArray("earlier run\r\n") + kHeader);
    QByteArray expected = QByteArray("earlier run\r\n") + kHeader;
    for (int i = 1; i <= 5; ++i) {
        Live l;
        l.flow = static_cast<float>(i) * kLpm;
        w.tmrUpDate_Timer();
        ASSERT_TRUE(deliver(t, l));
        expected += rowA(i);
    }
    EXPECT_EQ(fileBytes(path), QByteArray("earlier run\r\n") + kHeader) << "rows wait for a flush";
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), expected);

    // Start again on the same file and pause at once: a new header, no rows.
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    expected += kHeader;
    EXPECT_EQ(fileBytes(path), expected);

    // 200 rows make a block; the 201st answer writes it first.
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    expected += kHeader;
    QByteArray block;
    for (int i = 1; i <= 200; ++i) {
        Live l;
        l.flow = static_cast<float>(i) * kLpm;
        route(t, l);
        block += rowA(i);
    }
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_EQ(w.LogRows.RowCount(), 200);
    Live l201;
    l201.flow = 201 * kLpm;
    route(t, l201);
    expected += block;
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_EQ(w.LogRows.RowCount(), 1);
    // Close writes the rest and goes back to the start window.
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    expected += rowA(201);
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_EQ(w.Logging, 0);
    EXPECT_EQ(w.cmdStart->text(), "Start");

    // Closing from the title bar writes the rest too.
    w.show();
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    expected += kHeader;
    Live l7;
    l7.flow = 7 * kLpm;
    route(t, l7);
    t.start().hide();
    w.close();
    expected += rowA(7);
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_FALSE(w.tmrUpDate->isActive());

    // No to "Save to Disk?": rows are made but never written.
    w.show();
    startNoFile(t, w);
    route(t, Live{});
    route(t, Live{});
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_EQ(w.LogRows.RowCount(), 0);
    EXPECT_EQ(t.dialogs->count("Save to Disk?", "Storage Option"), 6);
    EXPECT_EQ(t.dialogs->asked.size(), 6) << t.dialogs->transcript().join('\n').toStdString();
}

TEST(DataLogWindow, FlushThatCannotWriteIsToldOnceAndLosesNoRow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("usb");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/run.dat";
    TestSession t;
    frmLog& w = openLog(t);
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    ASSERT_EQ(fileBytes(path), QByteArray(kHeader));

    // The stick is pulled: the block of 200 cannot be written.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QByteArray rows;
    for (int i = 1; i <= 401; ++i) {
        Live l;
        l.flow = static_cast<float>(i) * kLpm;
        route(t, l);
        rows += rowA(i);
        if (i == 201) {
            TestSession::pump(20);
            ASSERT_EQ(t.dialogs->asked.size(), 2) << t.dialogs->transcript().join('\n').toStdString();
            EXPECT_TRUE(t.dialogs->asked[1].text.startsWith("The data log could not be written to "));
            EXPECT_TRUE(t.dialogs->asked[1].text.contains(QDir::toNativeSeparators(path)));
            EXPECT_EQ(t.dialogs->asked[1].title, "Storage Option");
            EXPECT_EQ(t.dialogs->asked[1].icon, DialogService::Icon::Exclamation);
        }
    }
    TestSession::pump(20);
    EXPECT_EQ(t.dialogs->asked.size(), 2) << "told once";
    EXPECT_EQ(w.LogRows.UnwrittenRows(), 400);
    EXPECT_EQ(w.Logging, 1);
    EXPECT_EQ(t.s().PollBusy, 0);

    // Back again: Pause writes every kept row once, in order.
    ASSERT_TRUE(QDir().mkpath(folder));
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    EXPECT_EQ(fileBytes(path), rows);
    EXPECT_EQ(w.LogRows.UnwrittenRows(), 0);
    EXPECT_EQ(t.dialogs->asked.size(), 2);
}

TEST(DataLogWindow, StripChartDrawsOnThePersistentSurface)
{
    TestSession t;
    frmLog& w = openLog(t);
    clickBox(w.chkPlot);
    startNoFile(t, w);
    const auto colourAt = [&](int xTwips, int yTwips) { return w.Surface->Image().pixel(px(xTwips), px(yTwips)); };
    const QRgb blue = qRgb(0, 0, 255);
    const QRgb red = qRgb(255, 0, 0);

    // Full scale (30 lpm) on the top line, sound speed 775 on the middle one.
    Live top;
    top.flow = 30 * kLpm;
    top.sound = 775;
    route(t, top);
    route(t, top);
    EXPECT_EQ(colourAt(855, 5855), blue);
    EXPECT_EQ(colourAt(855, 11050), red);
    EXPECT_EQ(colourAt(855, 5855 + 150), 0u) << "one line only";
    // A repaint keeps the traces, and the window shows them.
    w.repaint();
    EXPECT_EQ(colourAt(855, 5855), blue);
    EXPECT_EQ(w.grab().toImage().pixel(px(855), px(5855)), blue);

    // Beyond either end: drawn at that end.
    Live high;
    high.flow = 1000 * kLpm;
    high.sound = 5000;
    route(t, high);
    EXPECT_EQ(colourAt(885, 5855), blue);
    EXPECT_EQ(colourAt(900, 5855), red) << "the right trace ends on the top line too";
    route(t, high);
    EXPECT_EQ(colourAt(915, 5855), red);
    Live low;
    low.flow = -5 * kLpm;
    low.sound = 775;
    route(t, low);
    route(t, low);
    EXPECT_EQ(colourAt(975, 16245), blue);
    EXPECT_EQ(colourAt(975, 11050), red);

    // Step 211 fills the chart: it is cleared and starts again at the left edge.
    for (int i = 7; i <= 210; ++i)
        route(t, top);
    EXPECT_EQ(w.Pen.PlotCount, 210);
    EXPECT_EQ(colourAt(840 + 209 * 30 - 15, 5855), blue);
    route(t, top);
    EXPECT_EQ(w.Pen.PlotCount, 0);
    const QImage cleared = w.Surface->Image();
    int coloured = 0;
    for (int y = 0; y < cleared.height(); ++y)
        for (int x = 0; x < cleared.width(); ++x)
            coloured += qAlpha(cleared.pixel(x, y)) != 0;
    EXPECT_EQ(coloured, 0);
    route(t, top);
    EXPECT_EQ(w.Pen.PlotX, 840);

    // "-" down to a full scale of 10, where neither button changes it.
    for (int i = 0; i < 40; ++i)
        QTest::mouseClick(w.cmdLscale[1], Qt::LeftButton);
    EXPECT_EQ(w.LeftFullScale, 10);
    EXPECT_EQ(labelTexts(w, "LblLScale"), QStringList({"0", "3", "5", "8", "10"}));
    QTest::mouseClick(w.cmdLscale[0], Qt::LeftButton);
    EXPECT_EQ(w.LeftFullScale, 10);
    EXPECT_EQ(w.Pen.PlotCount, 0);
    QTest::mouseClick(w.cmdRscale[0], Qt::LeftButton);
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "1628");
    QTest::mouseClick(w.cmdRscale[1], Qt::LeftButton);
    EXPECT_EQ(labelTexts(w, "LblRScale").last(), "1547");
    clickBox(w.chkBPolarL);
    EXPECT_EQ(labelTexts(w, "LblLScale"), QStringList({"-10", "-5", "0", "5", "10"}));

    // The left quantity: Reynolds number at 100000, a radio pair that clears the chart.
    route(t, top);
    route(t, top);
    clickBox(w.chkLData[1]);
    EXPECT_TRUE(w.chkLData[1]->isChecked());
    EXPECT_FALSE(w.chkLData[0]->isChecked());
    EXPECT_EQ(w.LeftFullScale, 100000);
    EXPECT_EQ(labelTexts(w, "LblLScale").last(), "100000");
    EXPECT_EQ(colourAt(855, 5855), 0u);
    clickBox(w.chkLData[1]);
    EXPECT_TRUE(w.chkLData[1]->isChecked()) << "clicking the checked box keeps it checked";
    clickBox(w.chkRData[1]);
    EXPECT_EQ(w.RightFullScale, 300);
    EXPECT_FALSE(w.chkRData[0]->isChecked());
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
}

TEST(DataLogWindow, BatchGivenWhilePausedLeavesWithTheFirstPollAfterStart)
{
    TestSession t;
    frmLog& w = openLog(t);
    startNoFile(t, w);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    TestSession::pump(250);
    EXPECT_TRUE(t.port->written().isEmpty()) << "nothing leaves while paused";

    QElapsedTimer clock;
    clock.start();
    startNoFile(t, w);
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.port->written().isEmpty(); }, 1500));
    const qint64 first = clock.elapsed();
    EXPECT_LT(first, 600) << "the batch poll leaves about 0.1 s after Start";
    EXPECT_EQ(t.port->written(), poll(0, 2));
    ASSERT_TRUE(deliver(t, Live{}));
    clock.restart();
    ASSERT_TRUE(TestSession::waitFor([&] { return t.port->written().size() == 20; }, 2000));
    EXPECT_GT(clock.elapsed(), 850) << "the chosen period is back";
    EXPECT_EQ(lastRequest(t), poll(0, 0));
    ASSERT_TRUE(deliver(t, Live{}));
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
}

namespace {

// Message boxes that stay open for a while, as a user who is away would leave them; events go on
// behind them as behind a modal box. Counts the polls sent while a time-out box is open.
class SlowDialogs : public ScriptedDialogService {
public:
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override
    {
        const Answer a = ScriptedDialogService::message(text, title, buttons, icon);
        if (title == QLatin1String("Communication Failed")) {
            ++open;
            maxOpen = std::max(maxOpen, open);
            // A second box over the first one is answered at once, so that stacking fails the test
            // instead of nesting for ever.
            if (open == 1) {
                const int before = polls();
                TestSession::pump(openMs);
                pollsBehindBox.append(polls() - before);
            }
            --open;
        }
        return a;
    }
    std::function<int()> polls;
    int openMs = 1000;
    int open = 0;
    int maxOpen = 0;
    QList<int> pollsBehindBox;
};

} // namespace

TEST(DataLogWindow, LostAnswersDoNotEndALongLogNorStackBoxes)
{
    auto dialogs = std::make_unique<SlowDialogs>();
    SlowDialogs* d = dialogs.get();
    FakeSerialDevice* port = nullptr;
    Session s(std::move(dialogs), [&port](const SettingsStore&) -> std::unique_ptr<SerialDevice> {
        auto p = std::make_unique<FakeSerialDevice>();
        port = p.get();
        return p;
    });
    s.settings().clear();
    InstallWindowTool(s);
    s.windows().get<frmStart>();
    s.link().responseMs = 300;
    frmLog& w = s.windows().get<frmLog>();
    w.PeriodOverrideMs = 200;
    d->polls = [&port] { return static_cast<int>(port->written().size()) / 10; };
    w.show();
    d->answers = {DialogService::Answer::No};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);

    // The meter stays silent: the first time-out opens the box; polls go on behind it, and their
    // time-outs do not open a second one.
    ASSERT_TRUE(TestSession::waitFor([&] { return !d->pollsBehindBox.isEmpty(); }, 4000))
        << d->transcript().join('\n').toStdString();
    EXPECT_GE(d->pollsBehindBox[0], 2);
    EXPECT_EQ(d->maxOpen, 1);
    EXPECT_EQ(d->count("Work Offline?", "Communication Failed"), 1);

    // The user is back (boxes are answered at once) and the meter answers again: the log goes on.
    d->openMs = 0;
    ASSERT_TRUE(TestSession::waitFor([&] { return s.PollBusy == 1; }, 1000));
    port->receive(qbytes(frameOf(Live{})));
    ASSERT_TRUE(TestSession::waitFor([&] { return w.txtFlow[0]->text() == "150.0000"; }, 1000));
    EXPECT_TRUE(w.tmrUpDate->isActive() || s.PollBusy == 1) << "polling or waiting for the next tick";
    EXPECT_EQ(w.Logging, 1);
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    s.link().tmrTimeOut->stop();
    EXPECT_EQ(d->maxOpen, 1);
}
