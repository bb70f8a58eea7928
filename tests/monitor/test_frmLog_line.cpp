// The data log end to end against the meter simulator: the tool's QSerialPort and real timers on
// one side of a pseudo-terminal, zav-meter-sim on the other.

#include "support/simprocess.h"
#include "logtest.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace logtest;

namespace {

// The window opened from the start window, on the simulator's line, starting a log into `file`.
frmLog& startOn(TestSession& t, const SimProcess& sim, const QString& file, const std::function<void(frmLog&)>& before)
{
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start().show();
    QTest::mouseClick(t.start().imgLogdata[1], Qt::LeftButton);
    frmLog& w = t.s().windows().get<frmLog>();
    before(w);
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {file};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    return w;
}

} // namespace

TEST(DataLogWithSimulator, AlarmBatchAndFileAgainstTheMeter)
{
    SimProcess sim({"--status-a", "2", "--seed", "3"});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("sim.dat");
    TestSession t(TestSession::Port::Real);
    // Polls every 10 s: an answer within a few seconds of a batch button came with its command.
    frmLog& w = startOn(t, sim, path, [](frmLog& w) {
        w.Clock = [] { return QTime(14, 30); };
        choose(w.cmbUpdate, 1);
    });
    const auto said = [&] { return t.dialogs->transcript().join('\n').toStdString(); };
    const auto avgColour = [&] { return w.txtQavg->palette().color(QPalette::Base).rgb(); };

    // Start Batch: the meter runs the batch and opens the averaging gate; channel A's status is 2.
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() == 1; }, 5000)) << said();
    EXPECT_EQ(w.cmdStartStop->text(), "Stop Batch");
    EXPECT_EQ(avgColour(), qRgb(128, 255, 128));
    EXPECT_TRUE(w.lblAlarm[0]->isVisible());
    EXPECT_EQ(w.lblAlarm[0]->text(), "WRONG FLUID");
    const QString flow = w.txtFlow[0]->text();
    // Stop Batch: the gate closes and the box shows the mean of the one flow it collected.
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() == 2; }, 5000)) << said();
    EXPECT_EQ(w.cmdStartStop->text(), "Start Batch");
    EXPECT_EQ(avgColour(), qRgb(255, 128, 128));
    EXPECT_EQ(w.txtQavg->text(), flow);

    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    const QList<QByteArray> lines = fileBytes(path).split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two rows, nothing after the last CR LF
    EXPECT_EQ(lines[0] + '\n', QByteArray(kHeader));
    EXPECT_EQ(lines[1].count('\t'), 17) << lines[1].toStdString();
    // The last row carries the texts still shown; channel B was never polled.
    ASSERT_TRUE(lines[2].endsWith('\r'));
    const QList<QByteArray> last = lines[2].chopped(1).split('\t');
    ASSERT_EQ(last.size(), 18) << lines[2].toStdString();
    EXPECT_EQ(last[0], "14:30");
    EXPECT_EQ(last[3], w.txtTotalTime->text().toLatin1());
    EXPECT_EQ(last[4], w.txtTotal[0]->text().toLatin1());
    EXPECT_EQ(last.mid(10), QList<QByteArray>({".000", ".000", "", ".00", "0.000", ".00", ".0", " 0"}));
    EXPECT_EQ(t.dialogs->asked.size(), 1) << said();
    const QString summary = sim.stop();
    EXPECT_TRUE(summary.contains("answered 30:2 (2 in all); ignored 0;")) << summary.toStdString();
}

TEST(DataLogWithSimulator, DroppedAnswersDoNotEndTheLog)
{
    SimProcess sim({"--drop", "0.3", "--seed", "11"});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("drops.dat");
    TestSession t(TestSession::Port::Real);
    frmLog& w = startOn(t, sim, path, [&t](frmLog& w) {
        t.link().responseMs = 1000; // answers take about 0.1 s
        w.PeriodOverrideMs = 100;
    });
    w.tmrUpDate_Timer(); // the first poll at once, not after the chosen 1 s

    // Six answers with some lost on the way: every lost one ends in the time-out box, and the log
    // polls on after it.
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() >= 6; }, 15000))
        << w.LogRows.RowCount() << " rows; " << t.dialogs->transcript().join('\n').toStdString();
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
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
