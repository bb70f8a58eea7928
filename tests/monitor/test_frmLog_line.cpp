// The data log end to end over a real line: the tool's QSerialPort and real timers on one side of a
// pseudo-terminal, and on the other the test playing the meter, or the meter simulator.

#include "support/pty.h"
#include "support/simprocess.h"
#include "logtest.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace logtest;

TEST(DataLogOverPty, BothChannelsAtTheRealPeriodIntoAFile)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("both.dat");
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", pty.slavePath());
    t.start().show();
    QTest::mouseClick(t.start().imgLogdata[1], Qt::LeftButton);
    frmLog& w = t.s().windows().get<frmLog>();
    w.Clock = [] { return QTime(9, 5); };
    choose(w.cmbChan, 2);
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    ASSERT_EQ(w.cmdStart->text(), "Pause");

    // Three polls, one a second, to channel B, A, B; each answer is the meter's reading of the
    // polled channel.
    QElapsedTimer clock;
    clock.start();
    const int channels[] = {1, 0, 1};
    for (int i = 0; i < 3; ++i) {
        const QByteArray request = pty.read(10, 2500);
        ASSERT_EQ(request, poll(channels[i], 0)) << i;
        const qint64 gap = clock.elapsed();
        EXPECT_GT(gap, 900) << "poll " << i << " after the chosen period";
        EXPECT_LT(gap, 1800) << "poll " << i;
        Live l;
        l.flow = static_cast<float>(10 * (i + 1)) * kLpm;
        l.status = channels[i] == 1 ? 1 : 0;
        pty.write(qbytes(frameOf(l)));
        ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() == i + 1; }, 1000)) << i;
        clock.restart();
    }
    EXPECT_EQ(w.txtFlow[0]->text(), "20.0000");
    EXPECT_EQ(w.txtFlow[1]->text(), "30.0000");
    EXPECT_TRUE(w.lblAlarm[1]->isVisible());
    EXPECT_EQ(w.lblAlarm[1]->text(), "DRY PIPE");
    EXPECT_FALSE(w.lblAlarm[0]->isVisible());

    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    const QByteArray a0 = "\t.000\t.000\t12.5000\t\t.00\t0.000\t.00\t.0\t 0";
    const QByteArray a20 = "\t20.000\t1482.500\t12.5000\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12";
    const QByteArray b10 = "\t10.000\t1482.500\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12\r\n";
    const QByteArray b30 = "\t30.000\t1482.500\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12\r\n";
    EXPECT_EQ(fileBytes(path), QByteArray(kHeader) + "09:05" + a0 + b10 + "09:05" + a20 + b10 + "09:05" + a20 + b30);
    EXPECT_TRUE(pty.read(1, 1100).isEmpty()) << "no poll after Pause";
    EXPECT_TRUE(t.dialogs->asked.size() == 1) << t.dialogs->transcript().join('\n').toStdString();
}

TEST(DataLogWithSimulator, AlarmBatchAndFileAgainstTheMeter)
{
    SimProcess sim({"--status-a", "2", "--seed", "3"});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("sim.dat");
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start().show();
    QTest::mouseClick(t.start().imgLogdata[1], Qt::LeftButton);
    frmLog& w = t.s().windows().get<frmLog>();
    w.Clock = [] { return QTime(14, 30); };
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);

    // The first answer, at the real period: channel A's status 2.
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() == 1; }, 2500))
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_EQ(w.lblAlarm[0]->text(), "WRONG FLUID");
    EXPECT_TRUE(w.lblAlarm[0]->isVisible());
    EXPECT_FALSE(w.txtFlow[0]->text().isEmpty());
    EXPECT_EQ(w.cmdStartStop->text(), "Start Batch");

    // Start Batch leaves about 0.1 s later; the meter runs the batch and opens the averaging gate.
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.cmdStartStop, Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() == 2; }, 1500));
    EXPECT_LT(clock.elapsed(), 700);
    EXPECT_EQ(w.cmdStartStop->text(), "Stop Batch");
    EXPECT_EQ(w.txtQavg->palette().color(QPalette::Base).rgb(), qRgb(128, 255, 128));

    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    const QList<QByteArray> lines = fileBytes(path).split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two rows, nothing after the last CR LF
    EXPECT_EQ(lines[0] + '\n', QByteArray(kHeader));
    for (int i = 1; i <= 2; ++i) {
        EXPECT_TRUE(lines[i].startsWith("14:30\t")) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].endsWith('\r'));
        EXPECT_EQ(lines[i].count('\t'), 17) << lines[i].toStdString();
    }
    // The last row carries the texts still shown; channel B was never polled.
    const QList<QByteArray> last = lines[2].chopped(1).split('\t');
    ASSERT_EQ(last.size(), 18);
    EXPECT_EQ(last[3], w.txtTotalTime->text().toLatin1());
    EXPECT_EQ(last[4], w.txtTotal[0]->text().toLatin1());
    EXPECT_EQ(last.mid(10), QList<QByteArray>({".000", ".000", "", ".00", "0.000", ".00", ".0", " 0"}));
    EXPECT_TRUE(lines[3].isEmpty());
    EXPECT_EQ(t.dialogs->asked.size(), 1) << t.dialogs->transcript().join('\n').toStdString();
    const QString summary = sim.stop();
    EXPECT_TRUE(summary.contains("30:2")) << summary.toStdString();
}

TEST(DataLogWithSimulator, DroppedAnswersDoNotEndTheLog)
{
    SimProcess sim({"--drop", "0.3", "--seed", "11"});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("drops.dat");
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start();
    t.link().responseMs = 400;
    frmLog& w = t.s().windows().get<frmLog>();
    w.PeriodOverrideMs = 100;
    w.show();
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);

    // Eight answers with some lost on the way: every lost one ends in the time-out box, and the
    // log polls on after it.
    int rows = 0;
    ASSERT_TRUE(TestSession::waitFor(
        [&] {
            rows = w.LogRows.RowCount();
            return rows >= 8;
        },
        12000))
        << rows << " rows; " << t.dialogs->transcript().join('\n').toStdString();
    QTest::mouseClick(w.cmdStart, Qt::LeftButton);
    // The poll in flight at the pause is answered or times out.
    TestSession::pump(600);
    t.link().tmrTimeOut->stop();
    const int timeOuts = t.dialogs->count("Work Offline?", "Communication Failed");
    EXPECT_GE(timeOuts, 1);
    const QString summary = sim.stop();
    // Every answer the meter gave is one row (the last perhaps after the pause, not written);
    // every answer it withheld is one time-out.
    const QList<QByteArray> lines = fileBytes(path).split('\n');
    const int written = static_cast<int>(lines.size()) - 2;
    EXPECT_GE(written, 8);
    const int answered = written + w.LogRows.RowCount();
    EXPECT_TRUE(summary.contains(QStringLiteral("30:%1 ").arg(answered))) << summary.toStdString() << "; rows " << answered;
    EXPECT_TRUE(summary.contains(QStringLiteral("drop:%1 ").arg(timeOuts))) << summary.toStdString();
}
