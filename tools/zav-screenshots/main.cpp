// Writes pictures of the windows into a folder: start-japanese.png, start-english.png,
// start-korean.png, datalog.png, diagnostics.png, signal.png, config.png, channel.png, pipe.png,
// analog.png, recording.png and recording-zoomed.png. Runs headless (offscreen) and never touches a serial port of the machine: the
// monitoring windows run against the meter simulator.

#include "analogio/frmAnalogOUT.h"
#include "app/windowtool.h"
#include "channel/frmPipe.h"
#include "channel/frmXducer.h"
#include "engine/session.h"
#include "link/frmProperties.h"
#include "link/modComFun.h"
#include "meterdata/frmConfig.h"
#include "monitor/frmLog.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "monitor/livedata.h"
#include "recordings/frmRecording.h"
#include "platform/dialogservice.h"
#include "platform/picturebutton.h"
#include "platform/settingsstore.h"
#include "startup/frmStart.h"

#include "imagefile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QTime>
#include <QStandardPaths>
#include <cmath>
#include <qcustomplot.h>
#include <functional>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(out);

    Session session(std::make_unique<ScriptedDialogService>());
    InstallWindowTool(session);
    frmStart& start = session.windows().get<frmStart>();
    start.show();
    const char* names[] = {"japanese", "english", "korean"};
    int failures = 0;
    // Writes the window's picture as <out>/<name>.png and says so.
    auto picture = [&out, &failures](QWidget& w, const QString& name) {
        const QString file = QStringLiteral("%1/%2.png").arg(out, name);
        if (!w.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
    };
    for (int lang : {1, 0, 2}) {
        start.imgLang[static_cast<std::size_t>(lang)]->click();
        QApplication::processEvents();
        picture(start, QStringLiteral("start-") + QLatin1String(names[lang]));
    }

    // The data log with both channels and its chart running against the meter simulator, polled
    // every 100 ms for 20 s (the window's own poll cycle, only faster than its shortest period).
    QProcess meter;
    meter.start(QStringLiteral(ZAV_METER_SIM_PATH), {QStringLiteral("--baud"), QStringLiteral("115200")});
    if (!meter.waitForStarted(5000) || !meter.waitForReadyRead(5000)) {
        std::fprintf(stderr, "the meter simulator did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(meter.readLine()).trimmed();
    session.settings().setValue(QStringLiteral("Ports"), QStringLiteral("Com1"), device);
    frmLog& log = session.windows().get<frmLog>();
    log.show();
    log.cmbChan->setCurrentIndex(2);
    log.chkPlot->click();
    log.PeriodOverrideMs = 100;
    for (int i = 0; i < 20; ++i)
        log.cmdLscale[1]->click(); // the factory pipe is small: narrow the flow scale
    log.cmdStart->click();         // "Save to Disk?" answered No
    log.cmdStartStop->click();     // and a batch runs
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    log.cmdStart->click(); // pause

    // Waits, with the windows running, until the condition holds or the time is up.
    const auto waitFor = [](const std::function<bool()>& condition, int ms) {
        QElapsedTimer wait;
        wait.start();
        while (!condition() && wait.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    waitFor([&session] { return session.PollBusy == 0; }, 4000);

    // The diagnostics log of channel A polled at 20 Hz for 3 s, then the raw signal window after
    // one download of the waveforms.
    frmLogdiag& diag = session.windows().get<frmLogdiag>();
    diag.show();
    diag.cmbUpdate->setCurrentIndex(0);
    diag.cmbUpdate_Click();
    diag.cmdStart->click(); // "Save to Disk?" answered No
    waitFor([] { return false; }, 3000);
    diag.cmdStart->click(); // pause
    waitFor([&session] { return session.PollBusy == 0; }, 4000);
    picture(diag, QStringLiteral("diagnostics"));
    diag.imgSig->click();
    frmplt& plot = session.windows().get<frmplt>();
    plot.lstChan->setCurrentRow(0);
    plot.cmdLive->click();
    waitFor([&plot] { return plot.Signals.SlotCount[6] > 0; }, 20000);
    plot.Downloading = false; // the poll in flight is the last
    waitFor([&plot] { return !plot.PollOutstanding; }, 4000);
    picture(plot, QStringLiteral("signal"));
    plot.hide();

    // The port settings dialog, as Serial Setup opens it, with Com1 on the simulator.
    frmProperties properties(session.link(), session.settings(), session.dialogs());
    properties.show();
    QApplication::processEvents();
    picture(properties, QStringLiteral("properties"));
    meter.terminate();
    meter.waitForFinished(3000);
    log.tmrUpDate->stop();
    QApplication::processEvents();
    picture(log, QStringLiteral("datalog"));
    log.hide();

    // The configuration menu unlocked with the simulator's factory image, as after a read.
    const sim::Image factory = sim::FactoryImage();
    std::copy(factory.begin(), factory.end(), session.ParamImage.begin());
    session.ImageLength = static_cast<std::uint16_t>(factory.size());
    session.MeterModel = 1;
    session.FirmwareVersion = 3;
    session.SerialNumber = 12345;
    session.ImageValid = 1;
    start.imgLang[1]->click();
    frmConfig& config = session.windows().get<frmConfig>();
    config.show();
    config.Free_input();
    QApplication::processEvents();
    picture(config, QStringLiteral("config"));

    // Channel setup on channel A, and the pipe window as channel B's KRB17 opens it.
    config.hide();
    frmXducer& xducer = session.windows().get<frmXducer>();
    xducer.Set_Form();
    QApplication::processEvents();
    picture(xducer, QStringLiteral("channel"));
    frmPipe& pipe = session.windows().get<frmPipe>();
    pipe.Channel = 1;
    pipe.MaterialIndex = 8;
    pipe.Set_Form();
    QApplication::processEvents();
    picture(pipe, QStringLiteral("pipe"));
    pipe.hide();

    // The current-loop outputs on loop 1 (actual flow of channel A), as the menu opens them.
    frmAnalogOUT& analog = session.windows().get<frmAnalogOUT>();
    analog.Setform();
    QApplication::processEvents();
    picture(analog, QStringLiteral("analog"));
    analog.hide();

    // A night of flow on both channels recorded at a row every 10 s (a data log in the window's
    // own row text), opened offline: the whole night, then zoomed into half an hour with the
    // cursor on a row.
    const QString night = QDir(QDir::tempPath()).filePath(QStringLiteral("zav-night.dat"));
    {
        QFile f(night);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(livedata::HeaderLine().toLatin1() + "\r\n");
        livedata::Channels v;
        for (int i = 0; i < 4320; ++i) {
            const double t = i / 360.0; // hours
            const double pump = (i / 90) % 7 == 3 ? 0.4 : 1.0;
            v.FlowRate[0] = static_cast<float>(pump * (120 + 25 * std::sin(t * 0.8)) + 2 * std::sin(i * 1.7));
            v.FlowRate[1] = static_cast<float>(pump * (95 + 20 * std::sin(t * 0.8 + 0.5)) + 2 * std::cos(i * 1.3));
            v.SoundSpeed[0] = static_cast<float>(1482 - 3 * std::sin(t / 3));
            v.SoundSpeed[1] = static_cast<float>(1481 - 3 * std::sin(t / 3));
            f.write(livedata::RowLine(QTime(21, 0).addSecs(i * 10), v, QString(), QString(), QString()).toLatin1() + "\r\n");
        }
    }
    frmRecording& recording = session.windows().get<frmRecording>();
    recording.resize(1100, 680);
    recording.show();
    recording.OpenFile(night);
    QApplication::processEvents();
    picture(recording, QStringLiteral("recording"));
    recording.KeyAxis()->setRange(1800, 1980);
    recording.SetCursor(1890);
    recording.plotRecording->replot();
    QApplication::processEvents();
    picture(recording, QStringLiteral("recording-zoomed"));
    QFile::remove(night);
    return failures == 0 ? 0 : 1;
}
