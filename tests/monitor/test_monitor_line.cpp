// The data log, diagnostics log and raw signal windows end to end against the meter simulator: the
// tool's QSerialPort and real timers on one side of a pseudo-terminal, zav-meter-sim on the other.

#include "meter.h"
#include "monitor/frmLog.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "monitor/livedata.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/simlog.h"
#include "support/simprocess.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testbytes::fileBytes;

namespace {

std::string said(TestSession& t) { return t.dialogs->transcript().join('\n').toStdString(); }

frmLogdiag& openDiagOn(TestSession& t, const SimProcess& sim)
{
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start().show();
    ui::click(t.start().imgDiagnostics[1]);
    return t.s().windows().get<frmLogdiag>();
}

} // namespace

TEST(DataLogWithSimulator, AlarmBatchAndFileAgainstTheMeter)
{
    OnMeter m({"--status-a", "2", "--seed", "3"});
    ASSERT_TRUE(m.ok());
    auto& [sim, dir, t] = m;
    const QString path = dir.filePath("sim.dat");
    // Polls every 10 s: an answer within a few seconds of a batch button came with its command.
    frmLog& w = startLogOn(t, sim, path, [](frmLog& w) {
        w.Clock = [] { return QTime(14, 30); };
        ui::pick(w.cmbUpdate, 1);
    });
    const auto avgColour = [&] { return w.txtQavg->palette().color(QPalette::Base).rgb(); };

    // Start Batch: the meter runs the batch and opens the averaging gate; channel A's status is 2.
    ui::click(w.cmdStartStop);
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() == 1; }, 5000)) << said(t);
    EXPECT_EQ(w.cmdStartStop->text(), "Stop Batch");
    EXPECT_EQ(avgColour(), qRgb(128, 255, 128));
    EXPECT_TRUE(w.lblAlarm[0]->isVisible());
    EXPECT_EQ(w.lblAlarm[0]->text(), "WRONG FLUID");
    const QString flow = w.txtFlow[0]->text();
    // Stop Batch: the gate closes and the box shows the mean of the one flow it collected.
    ui::click(w.cmdStartStop);
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() == 2; }, 5000)) << said(t);
    EXPECT_EQ(w.cmdStartStop->text(), "Start Batch");
    EXPECT_EQ(avgColour(), qRgb(255, 128, 128));
    EXPECT_EQ(w.txtQavg->text(), flow);

    ui::click(w.cmdStart);
    const QList<QByteArray> lines = fileBytes(path).split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two rows, nothing after the last CR LF
    EXPECT_EQ(lines[0], livedata::HeaderLine().toLatin1() + '\r');
    EXPECT_EQ(lines[1].count('\t'), 17) << lines[1].toStdString();
    // The last row carries the texts still shown; channel B was never polled.
    ASSERT_TRUE(lines[2].endsWith('\r'));
    const QList<QByteArray> last = lines[2].chopped(1).split('\t');
    ASSERT_EQ(last.size(), 18) << lines[2].toStdString();
    EXPECT_EQ(last[0], "14:30");
    EXPECT_EQ(last[3], w.txtTotalTime->text().toLatin1());
    EXPECT_EQ(last[4], w.txtTotal[0]->text().toLatin1());
    EXPECT_EQ(last.mid(10), QList<QByteArray>({".000", ".000", "", ".00", "0.000", ".00", ".0", " 0"}));
    EXPECT_EQ(t.dialogs->asked.size(), 1) << said(t);
    const QString summary = sim.stop();
    EXPECT_TRUE(summary.contains("answered 30:2 (2 in all); ignored 0;")) << summary.toStdString();
}

TEST(DataLogWithSimulator, DroppedAnswersDoNotEndTheLog)
{
    OnMeter m({"--drop", "0.3", "--seed", "11"});
    ASSERT_TRUE(m.ok());
    auto& [sim, dir, t] = m;
    const QString path = dir.filePath("drops.dat");
    frmLog& w = startLogOn(t, sim, path, [&t](frmLog& w) {
        t.link().responseMs = 1000; // answers take about 0.1 s
        w.PeriodOverrideMs = 100;
    });
    w.tmrUpDate_Timer(); // the first poll at once, not after the chosen 1 s

    // Six answers with some lost on the way: every lost one ends in the time-out box, and the log
    // polls on after it.
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() >= 6; }, 15000))
        << w.LogRows.RowCount() << " rows; " << said(t);
    ui::click(w.cmdStart);
    // The poll in flight at the pause is answered or times out.
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().PollBusy == 0; }, 4000));
    t.link().tmrTimeOut->stop();
    const int timeOuts = t.dialogs->count("Work Offline?", "Communication Failed");
    EXPECT_GE(timeOuts, 1);
    const QString summary = sim.stop();
    // Every answer the meter gave is one row (the last perhaps after the pause, not written);
    // every answer it withheld is one time-out.
    const int written = static_cast<int>(fileBytes(path).count('\n')) - 1;
    EXPECT_GE(written, 6);
    const int answered = written + w.LogRows.RowCount();
    EXPECT_TRUE(summary.contains(QStringLiteral("30:%1 ").arg(answered))) << summary.toStdString() << "; rows " << answered;
    EXPECT_TRUE(summary.contains(QStringLiteral("drop:%1 ").arg(timeOuts))) << summary.toStdString();
}

TEST(DiagnosticsWithSimulator, FastestPollingGoesOnThroughLostAnswersAndLogsEachAnswerOnce)
{
    // Which answer the meter withholds first: its faults follow from the seed and the answer's place.
    sim::Meter twin{{.seed = 4, .drop = 0.05}};
    int firstLost = 0;
    while (twin.handle(modComFun::CommandFrame(1, 17, 0, 0), firstLost * 100.0).reply.faults == 0)
        ++firstLost;
    ASSERT_LT(firstLost, 40);

    OnMeter m({"--drop", "0.05", "--seed", "4"});
    ASSERT_TRUE(m.ok());
    auto& [sim, dir, t] = m;
    const QString path = dir.filePath("diag.txt");
    frmLogdiag& w = openDiagOn(t, sim);
    t.link().responseMs = 1000; // answers take about 0.1 s
    int stale = 0; // answers that came after their time-out (a loaded machine)
    QObject::connect(&t.link(), &frmCDR::staleAnswer, [&] { ++stale; });
    ui::pick(ui::ctl<QComboBox>(w, "cmbUpdate"), "20 Hz");
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    ui::click(w.cmdStart);
    TestSession::pump(10000);
    ui::click(w.cmdStart);
    // The poll in flight at the pause is answered or times out.
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().PollBusy == 0; }, 4000));
    t.link().tmrTimeOut->stop();
    const QString summary = sim.stop();

    const QList<QByteArray> lines = fileBytes(path).split('\n');
    ASSERT_GE(lines.size(), 2);
    const int rows = static_cast<int>(lines.size()) - 2 + w.DiagRowIndex(); // header, nothing after the last CR LF
    const int lost = t.dialogs->count("Work Offline?", "Communication Failed");
    EXPECT_GT(rows + lost, firstLost + 1) << "polling went on after the first lost answer";
    EXPECT_TRUE(summary.contains(QStringLiteral("31:%1 (").arg(rows + stale)))
        << summary.toStdString() << "; rows " << rows << ", stale " << stale;
    EXPECT_TRUE(summary.contains(QStringLiteral("drop:%1 ").arg(lost))) << summary.toStdString();
    for (int i = 1; i + 1 < lines.size(); ++i)
        ASSERT_EQ(lines[i].count('\t'), 13) << lines[i].toStdString();
}

TEST(SignalWithSimulator, DownloadsTwoWaveformsOf2048SamplesAndStopsWhenClosed)
{
    OnMeter m({"--baud", "115200", "--samples", "2048"});
    ASSERT_TRUE(m.ok());
    auto& [sim, dir, t] = m;
    ui::click(ui::ctl<QAbstractButton>(openDiagOn(t, sim), "imgSig"));
    frmplt& w = t.s().windows().get<frmplt>();
    int answers = 0;
    QObject::connect(&t.link(), &frmCDR::answerAccepted, &w, [&](quint8 code) { answers += code == 35; });

    ui::pick(ui::ctl<QListWidget>(w, "lstChan"), 0);
    ui::click(w.cmdLive);
    ui::click(w.cmdLive); // a second click starts no second download
    const auto& count = w.Signals.SlotCount;
    ASSERT_TRUE(TestSession::waitFor([&] { return count[0] == 2048 && count[1] == 2048 && count[6] == 5; }, 30000))
        << count[0] << " " << count[1] << " " << count[6] << "; " << said(t);
    EXPECT_TRUE(!w.txtDiag[0]->text().isEmpty() && w.MarkerIndex > 0 && w.MarkerIndex < 2048) << w.MarkerIndex;

    // Closed, the poll in flight is the last one: every poll the meter answered reached the window.
    ui::click(w.cmdClose);
    ASSERT_TRUE(TestSession::waitFor([&] { return !w.PollOutstanding; }, 4000));
    TestSession::pump(300);
    const QString summary = sim.stop();
    EXPECT_GE(answers, 2 * 17 + 1);
    EXPECT_TRUE(summary.contains(QStringLiteral("35:%1 (").arg(answers))) << summary.toStdString();
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << said(t);
}

// The adapter goes away during the fastest diagnostics polling (the meter's line ends): one box,
// the polls go on trying silently, and they find the meter by themselves once it is back.
TEST(DiagnosticsWithSimulator, ALostLineIsToldOnceAndPollingResumesWhenItIsBack)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("meter");
    auto meter = std::make_unique<SimProcess>(QStringList{"--baud", "115200", "--link", link});
    ASSERT_TRUE(meter->ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", link);
    t.start().show();
    ui::click(t.start().imgDiagnostics[1]);
    frmLogdiag& w = t.s().windows().get<frmLogdiag>();
    int answers = 0;
    QObject::connect(&t.link(), &frmCDR::answerAccepted, [&](quint8 code) { answers += code == modComFun::DiagData; });
    ui::pick(ui::ctl<QComboBox>(w, "cmbUpdate"), "20 Hz");
    t.dialogs->answers = {DialogService::Answer::No};
    ui::click(w.cmdStart);
    ASSERT_TRUE(TestSession::waitFor([&] { return answers >= 5; }, 5000)) << said(t);

    meter.reset();
    ASSERT_TRUE(TestSession::waitFor([&] { return t.link().portLostSince().isValid(); }, 3000)) << said(t);
    TestSession::pump(5000); // 100 polls' worth
    EXPECT_EQ(t.dialogs->asked.size(), 2) << said(t); // "Save to Disk?" and the lost line
    EXPECT_TRUE(w.windowTitle().contains("serial port lost since")) << w.windowTitle().toStdString();

    const int before = answers;
    meter = std::make_unique<SimProcess>(QStringList{"--baud", "115200", "--link", link});
    ASSERT_TRUE(meter->ok());
    ASSERT_TRUE(TestSession::waitFor([&] { return answers >= before + 5; }, 5000)) << said(t);
    EXPECT_EQ(w.windowTitle(), "Log Diagnostics");
    EXPECT_EQ(t.dialogs->asked.size(), 2) << said(t);
    ui::click(w.cmdStart);
}

// The third waveform poll is answered 3.4 s late, after the link gave up and polled again: the
// late answer does not start a second poll chain (the meter sees no more polls than one chain
// can make: each waits for an answer and 50 ms of silence), and the download completes.
TEST(SignalWithSimulator, ALateAnswerLeavesOnePollChain)
{
    OnMeter m({"--baud", "115200", "--turnaround", "60", "--late", "35:3:3400"});
    ASSERT_TRUE(m.ok());
    auto& [sim, dir, t] = m;
    ui::click(ui::ctl<QAbstractButton>(openDiagOn(t, sim), "imgSig"));
    frmplt& w = t.s().windows().get<frmplt>();
    ui::pick(ui::ctl<QListWidget>(w, "lstChan"), 0);
    QElapsedTimer clock;
    clock.start();
    ui::click(w.cmdLive);
    const auto& count = w.Signals.SlotCount;
    ASSERT_TRUE(TestSession::waitFor([&] { return count[0] == 1024 && count[1] == 1024 && count[6] == 5; }, 20000))
        << count[0] << " " << count[1] << " " << count[6] << "; " << said(t);
    ui::click(w.cmdClose);
    const qint64 ms = clock.elapsed();
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.link().outstanding().open; }, 4000));
    const QString summary = sim.stop();
    const QRegularExpressionMatch polls = QRegularExpression("35:(\\d+) ").match(summary);
    ASSERT_TRUE(polls.hasMatch()) << summary.toStdString();
    // An answer of 254 bytes takes 22 ms at 115200 baud, then 50 ms of silence end it.
    EXPECT_LE(polls.captured(1).toInt(), ms / 72 + 2) << summary.toStdString() << " in " << ms << " ms";
    // The late poll's time-out; on a loaded machine the late answer and the next one can meet in
    // one burst, which costs that poll its answer too.
    const int timeOuts = t.dialogs->count("Work Offline?", "Communication Failed");
    EXPECT_TRUE(timeOuts == 1 || timeOuts == 2) << said(t);
}
