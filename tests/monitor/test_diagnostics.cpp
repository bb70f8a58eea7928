// The diagnostics log and the raw signal windows through their controls, with the meter played on
// the in-memory line by the simulator's own code.

#include "imagefile.h"
#include "meter.h"
#include "monitor/chartsurface.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "platform/twips.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testbytes;

namespace {

// Hands an answer to the link's checks and routing at once, as the end of the line's silence does.
void deliver(frmCDR& link, const Bytes& f)
{
    std::copy(f.begin(), f.end(), link.RxBuffer.begin());
    link.RxCount = static_cast<std::uint16_t>(f.size());
    modComFun::HandleResponse(link);
    link.RxCount = 0;
}

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

const QByteArray kHeader = "Tup\tDelta\tError\tMincount\tGain\tSat_UP\tSat_DN\tTrig_UP\tTrig_DN\tSinTheta\tPhCor\t"
                           "Wave_Mag\tWave_Disc\tLEAD/Lag\r\n";

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
    TestSession t;
    t.start().show();
    ui::click(t.start().imgDiagnostics[1]);
    frmLogdiag& w = t.s().windows().get<frmLogdiag>();
    EXPECT_TRUE(w.isVisible() && !t.start().isVisible() && w.windowTitle() == "Log Diagnostics");
    EXPECT_TRUE(w.cmbUpdate->currentText() == "1 Hz" && w.tmrUpDate->interval() == 1000);
    ui::pick(ui::ctl<QComboBox>(w, "cmbUpdate"), "20 Hz");
    EXPECT_EQ(w.tmrUpDate->interval(), 50);
    ui::pick(ui::ctl<QComboBox>(w, "cmbChan"), "CHAN B");

    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {path};
    ui::click(w.cmdStart);
    ASSERT_EQ(t.dialogs->fileAsked.size(), 1);
    EXPECT_EQ(t.dialogs->fileAsked[0].request.filter, "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat");
    EXPECT_TRUE(fileBytes(path) == kHeader && w.cmdStart->text() == "Pause");

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
    EXPECT_EQ(fileBytes(path), kHeader + rows);
    EXPECT_TRUE(w.cmdStart->text() == "Resume" && !w.tmrUpDate->isActive());
    ui::click(w.cmdStart);
    EXPECT_EQ(w.cmdStart->text(), "Pause");
    const QByteArray handRow = logRow(hand);
    for (int i = 0; i < 200; ++i)
        deliver(t.link(), handMade());
    EXPECT_EQ(fileBytes(path), kHeader + rows);
    deliver(t.link(), handMade());
    EXPECT_EQ(fileBytes(path), kHeader + (rows += handRow.repeated(201)));

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
        const int x = twips::toPixels(f.Left + static_cast<int>(std::lround(w.MarkerIndex * double(f.Width) / samples)));
        const int y = twips::toPixels(f.Top + f.Height / 20);
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
    ui::pick(ui::ctl<QListWidget>(w, "lstChan"), 1);
    ui::click(w.cmdLive);
    ui::click(w.cmdLive);
    EXPECT_EQ(line.sent(), qbytes(withCrc({17, 35, 0xEF, 0xCD, 2, 0}))) << "one poll for two clicks";
    // Each answer is followed by one poll.
    const auto answer = [&](const Bytes& a) {
        line.seen = t.port->written().size();
        deliver(t.link(), a);
        return line.sent() == qbytes(withCrc({17, 35, 0xEF, 0xCD, 2, 0}));
    };

    // Figures before any waveform: the boxes and marker are set, the frames only cleared.
    EXPECT_TRUE(answer(block(6, 0, 5, {453, 447, 236, 0, -40})));
    EXPECT_EQ(QStringList({w.txtDiag[0]->text(), w.txtDiag[1]->text(), w.txtDiag[2]->text(), w.txtDiag[3]->text()}),
              QStringList({"23.6", "", "45.3", "44.7"}));
    EXPECT_EQ(w.MarkerIndex, 40);
    const stripchart::Frame f = w.GraphFrame(0);
    EXPECT_EQ(w.Surface->Image().pixel(twips::toPixels(f.Left + f.Width / 2), twips::toPixels(f.Top + f.Height / 2)),
              qRgb(255, 255, 255));

    EXPECT_TRUE(answer(block(0, 0, 3, {100, -200, 50})));
    EXPECT_TRUE(answer(block(1, 0, 4, {1, 2})));
    const signalplot::Capture before = w.Signals;
    const std::vector<Bytes> refused = {
        block(8, 0, 2, {1, 2}),                         // no slot 8
        block(0, 0, 2049, {1, 2}),                      // longer than a slot
        block(2, 0, 2, {1, 2, 3}),                      // past the waveform's end
        block(1, 1, 4, {3, 4, 5}),                      // past the end, following on
        block(1, 1, 4, {3, 4}, 122),                    // fewer samples than it says
        block(1, 1, 2048, std::vector<int>(123, 7)),    // more than an answer holds
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
    // Four blocks taken: the fourth lamp is yellow. The plot mark turns the first one blue.
    EXPECT_EQ(w.shpStatus[3]->FillColor(), frmplt::kLampYellow);
    deliver(t.link(), withCrc({17, 99, 0, 0}));
    EXPECT_EQ(w.shpStatus[0]->FillColor(), frmplt::kLampBlue);

    // A lost answer: the next poll goes out after the time-out.
    line.seen = t.port->written().size();
    t.link().responseMs = 0;
    t.link().tmrTimeOut_Timer();
    EXPECT_EQ(line.sent(), qbytes(withCrc({17, 35, 0xEF, 0xCD, 2, 0})));

    // Closed: the answer in flight is the last, and the mark no longer shows.
    ui::click(w.cmdClose);
    EXPECT_TRUE(!w.isVisible() && t.start().isVisible());
    EXPECT_TRUE(!answer(block(0, 0, 1, {5})) && line.sent().isEmpty());
    deliver(t.link(), withCrc({17, 99, 0, 0}));
    EXPECT_NE(w.shpStatus[0]->FillColor(), frmplt::kLampBlue);
    w.show();
    ui::click(w.cmdLive);
    EXPECT_EQ(line.sent(), qbytes(withCrc({17, 35, 0xEF, 0xCD, 2, 0})));
}
