// zav-recbench: a recorded night of flow opened offline (bench/recording.sh). Writes a data log of
// N rows (1,000,000 unless told) in the data-log writer's own format, then opens it in the recording
// window and times the read and chart, the fit of the whole recording, one zoom step and one pan
// step (each drawn offscreen), and prints the peak memory of the process. Never part of the tests.
//
// Usage: zav-recbench [rows] [file]

#include "engine/session.h"
#include "monitor/livedata.h"
#include "platform/dialogservice.h"
#include "recordings/frmRecording.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <qcustomplot.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

long statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(static_cast<int>(std::strlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// A night of readings on both channels, a row a second, in blocks as the window writes them.
void writeLog(const QString& name, long rows)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "zav-recbench: cannot write %s\n", qPrintable(name));
        std::exit(2);
    }
    f.write(livedata::HeaderLine().toLatin1() + "\r\n");
    livedata::Channels v;
    QByteArray block;
    for (long i = 0; i < rows; ++i) {
        const double t = static_cast<double>(i);
        for (int c = 0; c < 2; ++c) {
            const auto k = static_cast<std::size_t>(c);
            v.FlowRate[k] = static_cast<float>(120 + 40 * std::sin(t / 3600.0 + c) + 3 * std::sin(t / 7.0));
            v.SoundSpeed[k] = static_cast<float>(1480 + 5 * std::sin(t / 20000.0));
            v.FlowSdvPct[k] = static_cast<float>(1.5 + std::fmod(t, 13.0) / 10.0);
            v.ParticleLoad[k] = static_cast<float>(std::fmod(t, 50.0));
            v.Absorption[k] = static_cast<float>(12 + std::sin(t / 600.0));
            v.ParticleSize[k] = static_cast<std::int16_t>(40 + i % 20);
        }
        const QTime time = QTime(0, 0).addSecs(static_cast<int>(i % 86400));
        const QString total = QString::number(i * 0.0333, 'f', 4);
        block += livedata::RowLine(time, v, QString::number(i % 3600, 'f', 4), total, total).toLatin1() + "\r\n";
        if (block.size() > (1 << 20)) {
            f.write(block);
            block.clear();
        }
    }
    f.write(block);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const QString name = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::temp().filePath(QStringLiteral("zav-recbench.dat"));
    if (!QFileInfo::exists(name) || argc <= 2) {
        QElapsedTimer gen;
        gen.start();
        writeLog(name, rows);
        std::printf("written         %ld rows, %.1f MB in %.1f s (%s)\n", rows, QFileInfo(name).size() / 1048576.0,
                    gen.elapsed() / 1000.0, qPrintable(name));
    }
    const long before = statusKb("VmRSS:");

    Session session(std::make_unique<ScriptedDialogService>());
    frmRecording& w = session.windows().get<frmRecording>();
    w.resize(1100, 680);
    w.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    const bool opened = w.OpenFile(name);
    QApplication::processEvents();
    const double openMs = t.nsecsElapsed() / 1e6;
    if (!opened) {
        std::fprintf(stderr, "zav-recbench: %s\n", qPrintable(w.lblStatus->text()));
        return 1;
    }

    t.restart();
    w.cmdFit_Click();
    const double fitMs = t.nsecsElapsed() / 1e6;

    // One wheel step's worth of zoom about the middle, and a pan of a tenth of the view.
    t.restart();
    w.KeyAxis()->scaleRange(0.85, w.KeyAxis()->range().center());
    w.plotRecording->replot();
    const double zoomMs = t.nsecsElapsed() / 1e6;
    t.restart();
    w.KeyAxis()->moveRange(w.KeyAxis()->range().size() / 10);
    w.plotRecording->replot();
    const double panMs = t.nsecsElapsed() / 1e6;

    std::printf("rows            %lld\n", static_cast<long long>(w.Data().rows()));
    std::printf("open and chart  %8.1f ms   (target under 2000 ms)\n", openMs);
    std::printf("fit all         %8.1f ms\n", fitMs);
    std::printf("zoom step       %8.1f ms\n", zoomMs);
    std::printf("pan step        %8.1f ms\n", panMs);
    std::printf("memory          %8.1f MB before opening, peak %.1f MB (target under 200 MB)\n", before / 1024.0,
                statusKb("VmHWM:") / 1024.0);
    return 0;
}
