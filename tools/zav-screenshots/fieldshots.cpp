// Pictures of the whole screen as a technician sees it on a laptop: run on a 1366x768 display with
// a window manager (scripts/field-screenshots.sh makes both), against the meter simulator at
// 9600 baud with small image blocks. Writes field-read.png (the image read in progress),
// field-write.png (the write's outcome on the start window), field-datalog.png (the data log with
// its chart), field-recording.png (that log opened again in its chart, zoomed in, the cursor on a
// row) and field-offline.png (the menu working offline on a site file) into the folder given.

#include "app/windowtool.h"
#include "engine/session.h"
#include "meterdata/frmConfig.h"
#include "monitor/chartsurface.h"
#include "monitor/frmLog.h"
#include "platform/dialogservice.h"
#include "platform/settingsstore.h"
#include "recordings/frmRecording.h"
#include "startup/frmStart.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>

#include <cstdio>
#include <qcustomplot.h>
#include <functional>

namespace {

void waitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

QString startMeter(QProcess& meter, const QStringList& options)
{
    meter.start(QStringLiteral(ZAV_METER_SIM_PATH), options);
    if (!meter.waitForStarted(5000) || !meter.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(meter.readLine()).trimmed();
}

} // namespace

int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(out);
    int failures = 0;
    auto screen = [&](const QString& name) {
        waitFor([] { return false; }, 400); // the window manager draws its frames
        const QString file = QStringLiteral("%1/%2.png").arg(out, name);
        if (!QGuiApplication::primaryScreen()->grabWindow(0).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
    };

    auto dialogs = std::make_unique<ScriptedDialogService>();
    ScriptedDialogService& said = *dialogs;
    Session session(std::move(dialogs));
    session.settings().clear();
    InstallWindowTool(session);
    frmStart& start = session.windows().get<frmStart>();
    start.show();

    QProcess meter;
    const QString device = startMeter(meter, {QStringLiteral("--chunk-words"), QStringLiteral("8")});
    if (device.isEmpty()) {
        std::fprintf(stderr, "the meter simulator did not start\n");
        return 1;
    }
    session.settings().setValue(QStringLiteral("Ports"), QStringLiteral("Com1"), device);

    // The read in progress: blocks of 8 words at 9600 baud take about 10 s.
    start.imgSetup[1]->click();
    frmConfig& config = session.windows().get<frmConfig>();
    waitFor([&session] { return session.ImageLength >= 400; }, 20000);
    screen(QStringLiteral("field-read"));
    waitFor([&session] { return session.ImageValid == 1; }, 30000);
    waitFor([&session] { return !session.link().outstanding().open; }, 4000);

    // Kept as a site file, an edit, then sent: the start window tells the outcome.
    const QString site = QDir(out).filePath(QStringLiteral("field-site.bin"));
    said.files = {site};
    config.imgStore[1]->click();
    session.GlobalCells.MeterName.text = "PUMP HOUSE";
    config.imgSendSite[1]->click();
    waitFor([&start] { return start.lblSendState->text().contains(QStringLiteral("confirmed")); }, 20000);
    screen(QStringLiteral("field-write"));

    // The data log with both channels and its chart.
    start.imgLogdata[1]->click();
    frmLog& log = session.windows().get<frmLog>();
    log.cmbChan->setCurrentIndex(2);
    log.chkPlot->click();
    log.PeriodOverrideMs = 300;
    for (int i = 0; i < 20; ++i)
        log.cmdLscale[1]->click();
    const QString recorded = QDir(out).filePath(QStringLiteral("field-log.dat"));
    QFile::remove(recorded);
    said.answers = {DialogService::Answer::Yes}; // "Save to Disk?"
    said.files = {recorded};
    log.cmdStart->click();
    waitFor([] { return false; }, 12000);
    // The chart whole in view (the window scrolls where the screen is too low for all of it).
    log.View->ensureWidgetVisible(log.shpFlow, 0, 0);
    screen(QStringLiteral("field-datalog"));
    log.cmdStart->click();
    waitFor([&session] { return session.PollBusy == 0; }, 4000);

    // The log just recorded, opened again: a stretch of it zoomed in, the cursor on a row.
    said.files = {recorded};
    log.cmdOpenRecording->click();
    frmRecording& recording = session.windows().get<frmRecording>();
    const double rows = static_cast<double>(recording.Data().rows());
    recording.KeyAxis()->setRange(rows * 0.3, rows * 0.6);
    recording.SetCursor(rows * 0.45);
    recording.plotRecording->replot();
    screen(QStringLiteral("field-recording"));
    recording.close();
    QFile::remove(recorded);
    log.close();

    // The meter gone: Meter Setup ends in "Work Offline?" (Yes), then the kept site file recalled.
    meter.terminate();
    meter.waitForFinished(3000);
    said.answers = {DialogService::Answer::Yes, DialogService::Answer::Yes};
    start.show();
    start.imgSetup[1]->click();
    waitFor([&session] { return session.OfflineMode == Session::kOffline; }, 8000);
    said.files = {site};
    config.imgRecall[1]->click();
    screen(QStringLiteral("field-offline"));
    QFile::remove(site);
    return failures == 0 ? 0 : 1;
}
