// Recordings opened again in their chart window, through its controls: a data log the tool
// recorded against the simulator, pictures of a live and an offline chart, and files with bad
// lines. The charted points are read from the traces' data, not from pixels.

#include "app/windowtool.h"
#include "monitor/diaglog.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "monitor/livedata.h"
#include "recordings/frmRecording.h"
#include "startup/frmStart.h"
#include "support/simlog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <sys/stat.h>

namespace {

std::string said(TestSession& t) { return t.dialogs->transcript().join('\n').toStdString(); }

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One data-log row as the log writes it (channel B's batch total not yet known).
const char kRow[] = "09:00\t1.500\t1480.000\t0.0000\t2.0000\t10.00\t1.000\t1480.00\t5.0\t 40"
                    "\t.500\t1479.000\t\t11.00\t2.000\t1479.00\t6.0\t 41\r\n";

// The data-log field (0-based) each chart column shows.
constexpr int kFieldOf[] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 16, 17};

double value(const QByteArray& field) { return field.trimmed().isEmpty() ? NAN : field.toDouble(); }

void clickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

// Pixels of exactly this colour in the image: a trace drawn in it.
int pixelsOf(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    }
    return n;
}

} // namespace

TEST(RecordingWithSimulator, ARecordedLogChartsEveryLoggedValueAndTheCursorReadsItsRow)
{
    OnMeter m({"--seed", "7"});
    ASSERT_TRUE(m.ok());
    auto& [sim, dir, t] = m;
    const QString path = dir.filePath("night.dat");
    int minute = 0;
    frmLog& w = startLogOn(t, sim, path, [&minute](frmLog& w) {
        w.Clock = [&minute] { return QTime(23, 57).addSecs(60 * minute++); };
        w.PeriodOverrideMs = 50;
        ui::pick(w.cmbChan, 2); // both channels
    });
    ASSERT_TRUE(TestSession::waitFor([&] { return w.LogRows.RowCount() >= 9; }, 15000)) << said(t);
    ui::click(w.cmdStart); // Pause writes the rows
    QList<QByteArray> lines = readAll(path).split('\n');
    lines.removeFirst(); // the header
    lines.removeLast();  // nothing after the last line end
    ASSERT_GE(lines.size(), 9);

    t.dialogs->files = {path};
    ui::click(w.cmdOpenRecording);
    auto& r = t.s().windows().get<frmRecording>();
    ASSERT_TRUE(r.isVisible()) << said(t);
    EXPECT_TRUE(t.dialogs->asked.size() == 1) << said(t); // only "Save to Disk?": nothing passed over
    for (QCheckBox* box : r.chkColumn) {
        if (!box->isChecked())
            clickBox(box);
    }
    for (int c = 0; c < 15; ++c) {
        const QCPGraph* g = r.GraphOf(c);
        ASSERT_NE(g, nullptr) << c;
        ASSERT_EQ(g->data()->size(), lines.size()) << c;
        for (int i = 0; i < lines.size(); ++i) {
            const QList<QByteArray> f = lines[i].chopped(1).split('\t');
            const double logged = value(f[kFieldOf[c]]);
            const QCPGraphData& p = *(g->data()->constBegin() + i);
            EXPECT_EQ(p.key, i + 1);
            EXPECT_TRUE(p.value == logged || (std::isnan(p.value) && std::isnan(logged)))
                << g->name().toStdString() << " row " << i + 1 << ": " << p.value << " logged " << f[kFieldOf[c]].toStdString();
        }
    }

    // A click over row 6 of the lowest pane puts the cursor there: its time and every value.
    const int row = 5;
    const QPoint at(qRound(r.KeyAxis()->coordToPixel(row + 1)), r.KeyAxis()->axisRect()->center().y());
    QTest::mouseClick(r.plotRecording, Qt::LeftButton, {}, at);
    const QStringList read = r.lblCursor->text().split(QStringLiteral("   "));
    const QList<QByteArray> f = lines[row].chopped(1).split('\t');
    ASSERT_EQ(read.size(), 2 + 15) << r.lblCursor->text().toStdString();
    EXPECT_EQ(read[0], "Row 6");
    EXPECT_EQ(read[1], QString::fromLatin1(f[0]));
    EXPECT_EQ(read[1], "00:02");
    for (int c = 0; c < 15; ++c) {
        const QString shown = read[2 + c].section(QStringLiteral(" = "), 1);
        const double logged = value(f[kFieldOf[c]]);
        if (std::isnan(logged))
            EXPECT_EQ(shown, "none");
        else
            EXPECT_EQ(shown.toDouble(), logged) << read[2 + c].toStdString();
    }
    QTest::keyClick(r.plotRecording, Qt::Key_Right); // the next row
    EXPECT_TRUE(r.lblCursor->text().startsWith("Row 7   00:03   ")) << r.lblCursor->text().toStdString();

    // A box drawn from row 2 to row 5 with "Zoom Box" down shows those rows; "Show All" all again.
    ui::click(r.cmdZoomBox);
    const auto mouse = [&r](QEvent::Type type, double key, Qt::MouseButtons buttons) {
        const QPointF at(r.KeyAxis()->coordToPixel(key), r.KeyAxis()->axisRect()->center().y() + (key - 3) * 10);
        QMouseEvent e(type, at, r.plotRecording->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(r.plotRecording, &e);
    };
    mouse(QEvent::MouseButtonPress, 2, Qt::LeftButton);
    mouse(QEvent::MouseMove, 5, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, 5, Qt::NoButton);
    EXPECT_NEAR(r.KeyAxis()->range().lower, 2, 0.05);
    EXPECT_NEAR(r.KeyAxis()->range().upper, 5, 0.05);
    ui::click(r.cmdFit);
    EXPECT_EQ(r.KeyAxis()->range(), QCPRange(1, lines.size()));
    sim.stop();
}

TEST(RecordingPictures, LiveAndOfflineChartsAreSavedAsPngAndSvgWithTheirCaption)
{
    TestSession t;
    QTemporaryDir dir;
    // The live strip chart: some steps of both traces.
    frmLog& live = t.s().windows().get<frmLog>();
    live.show();
    clickBox(live.chkPlot);
    ASSERT_TRUE(live.cmdSavePicture->isEnabled());
    for (int i = 0; i < 40; ++i)
        live.PlotPoint(10 + 5 * std::sin(i / 4.0), 1400);
    // An offline chart of a data log written by the log's own row text.
    QByteArray log = livedata::HeaderLine().toLatin1() + "\r\n";
    livedata::Channels v;
    for (int i = 0; i < 200; ++i) {
        v.FlowRate[0] = static_cast<float>(i % 50);
        v.FlowRate[1] = static_cast<float>(50 - i % 50);
        log += livedata::RowLine(QTime(8, 0).addSecs(i * 60), v, "1.0000", "2.0000", "3.0000").toLatin1() + "\r\n";
    }
    write(dir.filePath("flow.dat"), log);
    auto& offline = t.s().windows().get<frmRecording>();
    t.dialogs->files = {dir.filePath("flow.dat")};
    ui::click(offline.cmdOpen);
    ASSERT_TRUE(offline.isVisible()) << said(t);

    struct Case {
        QPushButton* button;
        QString name;
        QString caption;
        QSize least;
    };
    for (const Case& c : {Case{live.cmdSavePicture, "live", "SCADA Simulator, Chan A - No meter identified", {300, 300}},
                          Case{offline.cmdSavePicture, "offline", "flow.dat - data log, 200 rows", {960, 600}}}) {
        t.dialogs->files = {dir.filePath(c.name + ".png"), dir.filePath(c.name + ".svg")};
        ui::click(c.button);
        ui::click(c.button);
        const QImage png(dir.filePath(c.name + ".png"));
        ASSERT_FALSE(png.isNull()) << c.name.toStdString() << said(t);
        EXPECT_GE(png.width(), c.least.width());
        EXPECT_GE(png.height(), c.least.height());
        // The blue trace (channel A, the left trace) is drawn in the plot area.
        EXPECT_GT(pixelsOf(png, qRgb(0, 0, 255)), 40) << c.name.toStdString();
        const QByteArray svg = readAll(dir.filePath(c.name + ".svg"));
        EXPECT_TRUE(svg.contains("<svg")) << c.name.toStdString();
        EXPECT_TRUE(svg.contains(c.caption.toUtf8())) << c.name.toStdString();
        EXPECT_TRUE(svg.contains("Flow Rate")) << c.name.toStdString(); // the legend and the axis
    }
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << said(t);
}

TEST(RecordingFiles, ReadableRowsAreChartedAndTheFirstBadLineIsNamed)
{
    TestSession t;
    QTemporaryDir dir;
    auto& r = t.s().windows().get<frmRecording>();
    const QByteArray row = kRow;
    QByteArray bad = livedata::HeaderLine().toLatin1() + "\r\n" + row + row + row;
    bad += "09:01\t1.500\t1480.000\r\n";            // line 5: 3 fields
    bad += QByteArray(row).replace("10.00", "1O.00"); // line 6: not a number
    bad += livedata::HeaderLine().toLatin1() + "\r\n" + row; // a second session
    bad += row.left(30);                              // line 9: the file ends inside it
    write(dir.filePath("bad.dat"), bad);
    t.dialogs->files = {dir.filePath("bad.dat")};
    ui::click(r.cmdOpen);
    ASSERT_EQ(t.dialogs->asked.size(), 1);
    EXPECT_EQ(t.dialogs->asked[0].text, "4 rows read from the data log. Line 5 has 3 fields, not 18; 3 lines were passed over.");
    ASSERT_NE(r.GraphOf(0), nullptr);
    EXPECT_EQ(r.GraphOf(0)->data()->size(), 4);
    EXPECT_EQ(r.GraphOf(8)->data()->constBegin()->value, 0.5); // Flow Rate B

    // A foreign file: nothing to chart, said with its first line; the chart shown stays.
    write(dir.filePath("notes.txt"), "Site visit notes\r\nPump 2 was off\r\n");
    t.dialogs->files = {dir.filePath("notes.txt")};
    ui::click(r.cmdOpen);
    ASSERT_EQ(t.dialogs->asked.size(), 2);
    EXPECT_TRUE(t.dialogs->asked[1].text.endsWith("this tool: no row of it could be read. Line 1 has 1 field, not 18; "
                                                  "2 lines were passed over."))
        << said(t);
    EXPECT_EQ(r.GraphOf(0)->data()->size(), 4);

    // A file too large for the memory free is refused before it is read.
    EXPECT_TRUE(recordings::MemoryCheck(recordings::Kind::DataLog, 1LL << 30, 100LL << 20).contains("too large"));
    const recordings::Recording big = recordings::Read(dir.filePath("bad.dat"), recordings::Kind::Unknown, 512);
    EXPECT_EQ(big.rows(), 0);
    EXPECT_TRUE(big.summary().startsWith("This file is too large to chart here")) << big.summary().toStdString();
    // A line longer than any recording's (a file without line ends) is passed over, not gathered.
    // Alike whether it ends in the block read with it (a row behind 100 kB of spaces) or not.
    write(dir.filePath("long.dat"), livedata::HeaderLine().toLatin1() + "\r\n" + row + QByteArray(5 << 20, 'x') + "\r\n" + row +
                                        QByteArray(100 << 10, ' ') + row);
    const recordings::Recording longLine = recordings::Read(dir.filePath("long.dat"));
    EXPECT_EQ(longLine.summary(), "2 rows read from the data log. Line 3 is longer than any line of a recording; 2 lines were "
                                  "passed over.");
    // A pipe is refused before it is opened (the open would wait for a writer for ever).
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.dat")).constData(), 0600), 0);
    EXPECT_TRUE(recordings::Read(dir.filePath("pipe.dat")).refused.contains("a device or a pipe"));

    // A signal table from the raw signal window, and a diagnostics log from its window, each in
    // the writer's own format.
    signalplot::Capture capture;
    capture.SlotCount = {400, 380, 0, 0, 0, 0, 5, 0};
    for (int i = 0; i < 400; ++i) {
        capture.SignalSlots[0][static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i - 200);
        capture.SignalSlots[1][static_cast<std::size_t>(i)] = static_cast<std::int16_t>(3 * i);
    }
    write(dir.filePath("signals.txt"), signalplot::SignalTable(capture));
    diaglog::Boxes boxes;
    boxes.fill("7");
    boxes[0] = "150";
    write(dir.filePath("diag.txt"), (diaglog::HeaderLine() + "\r\n" + diaglog::RowLine(boxes) + "\r\n").toLatin1());
    t.dialogs->files = {dir.filePath("signals.txt"), dir.filePath("diag.txt")};
    ui::click(t.s().windows().get<frmplt>().cmdOpenRecording);
    ASSERT_EQ(r.Data().kind, recordings::Kind::SignalTable);
    ASSERT_EQ(r.GraphOf(1)->data()->size(), 380);
    EXPECT_EQ(r.GraphOf(0)->data()->constBegin()->value, -200);
    EXPECT_EQ((r.GraphOf(1)->data()->constEnd() - 1)->value, 3 * 379);
    r.SetCursor(2);
    QTest::keyClick(r.plotRecording, Qt::Key_PageUp); // past the first sample: stops at it
    EXPECT_TRUE(r.lblCursor->text().startsWith("Sample 0   ")) << r.lblCursor->text().toStdString();
    ui::click(t.s().windows().get<frmLogdiag>().cmdOpenRecording);
    ASSERT_EQ(r.Data().kind, recordings::Kind::DiagLog);
    EXPECT_EQ(r.GraphOf(0)->data()->constBegin()->value, 150);
    EXPECT_EQ(t.dialogs->asked.size(), 2) << said(t);
}

// zav-interface FILE: the chart is the first window, and the start window follows it; a file that
// cannot be charted is said to be one and the start window comes at once.
TEST(RecordingFiles, ARecordingNamedOnTheCommandLineIsTheFirstWindow)
{
    QTemporaryDir dir;
    write(dir.filePath("night.dat"), livedata::HeaderLine().toLatin1() + "\r\n" + kRow);
    for (const QString& name : {QStringLiteral("night.dat"), QStringLiteral("missing.dat")}) {
        TestSession t;
        ShowFirstWindow(t.s(), dir.filePath(name));
        auto& chart = t.s().windows().get<frmRecording>();
        frmStart& start = t.start();
        const bool good = name == "night.dat";
        EXPECT_EQ(chart.isVisible(), good) << name.toStdString();
        EXPECT_EQ(start.isVisible(), !good) << name.toStdString();
        EXPECT_EQ(t.dialogs->asked.size(), good ? 0 : 1) << said(t);
        if (good) {
            EXPECT_EQ(chart.Data().rows(), 1);
            ui::click(chart.cmdClose);
            EXPECT_TRUE(!chart.isVisible() && start.isVisible());
        } else {
            EXPECT_TRUE(t.dialogs->asked[0].text.contains("missing.dat")) << said(t);
        }
    }
}
