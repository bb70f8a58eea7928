// The diagnostics log and the raw signal window end to end against the meter simulator: the
// tool's QSerialPort and real timers on one side of a pseudo-terminal, zav-meter-sim on the other.

#include "meter.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/simprocess.h"
#include "support/widgets.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t kSeed = 4;

// The window opened from the start window on the simulator's line.
frmLogdiag& openOn(TestSession& t, const SimProcess& sim)
{
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start().show();
    ui::click(t.start().imgDiagnostics[1]);
    return t.s().windows().get<frmLogdiag>();
}

} // namespace

TEST(DiagnosticsWithSimulator, FastestPollingGoesOnThroughLostAnswersAndLogsEachAnswerOnce)
{
    // Which answer the meter withholds first: its faults follow from the seed and the answer's place.
    sim::Meter twin{{.seed = kSeed, .drop = 0.05}};
    int firstLost = 0;
    while (twin.handle(modComFun::CommandFrame(1, 17, 0, 0), firstLost * 100.0).reply.faults == 0)
        ++firstLost;
    ASSERT_LT(firstLost, 40);

    SimProcess sim({"--drop", "0.05", "--seed", QString::number(kSeed)});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("diag.txt");
    TestSession t(TestSession::Port::Real);
    frmLogdiag& w = openOn(t, sim);
    t.link().responseMs = 1000; // answers take about 0.1 s
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

    const QList<QByteArray> lines = testbytes::fileBytes(path).split('\n');
    ASSERT_GE(lines.size(), 2);
    const int rows = static_cast<int>(lines.size()) - 2 + w.DiagRowIndex(); // header, nothing after the last CR LF
    const int lost = t.dialogs->count("Work Offline?", "Communication Failed");
    EXPECT_GT(rows + lost, firstLost + 1) << "polling went on after the first lost answer";
    EXPECT_TRUE(summary.contains(QStringLiteral("31:%1 (").arg(rows))) << summary.toStdString() << "; rows " << rows;
    EXPECT_TRUE(summary.contains(QStringLiteral("drop:%1 ").arg(lost))) << summary.toStdString();
    for (int i = 1; i + 1 < lines.size(); ++i)
        ASSERT_EQ(lines[i].count('\t'), 13) << lines[i].toStdString();
}

TEST(SignalWithSimulator, DownloadsTwoWaveformsOf2048SamplesAndStopsWhenClosed)
{
    SimProcess sim({"--baud", "115200", "--samples", "2048"});
    ASSERT_TRUE(sim.ok());
    TestSession t(TestSession::Port::Real);
    frmLogdiag& diag = openOn(t, sim);
    ui::click(ui::ctl<QAbstractButton>(diag, "imgSig"));
    frmplt& w = t.s().windows().get<frmplt>();
    int answers = 0;
    QObject::connect(&t.link(), &frmCDR::answerAccepted, &w, [&](quint8 code) { answers += code == 35; });

    ui::pick(ui::ctl<QListWidget>(w, "lstChan"), 0);
    ui::click(w.cmdLive);
    ui::click(w.cmdLive); // a second click starts no second download
    const auto& count = w.Signals.SlotCount;
    ASSERT_TRUE(TestSession::waitFor([&] { return count[0] == 2048 && count[1] == 2048 && count[6] == 5; }, 30000))
        << count[0] << " " << count[1] << " " << count[6] << "; " << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_TRUE(!w.txtDiag[0]->text().isEmpty() && w.MarkerIndex > 0 && w.MarkerIndex < 2048) << w.MarkerIndex;

    // Closed, the poll in flight is the last one: every poll the meter answered reached the window.
    ui::click(w.cmdClose);
    ASSERT_TRUE(TestSession::waitFor([&] { return !w.PollOutstanding; }, 4000));
    TestSession::pump(300);
    const QString summary = sim.stop();
    EXPECT_GE(answers, 2 * 17 + 1);
    EXPECT_TRUE(summary.contains(QStringLiteral("35:%1 (").arg(answers))) << summary.toStdString();
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
}
