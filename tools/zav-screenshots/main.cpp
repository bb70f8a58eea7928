// Writes pictures of the windows into a folder: start-japanese.png, start-english.png,
// start-korean.png, datalog.png, config.png. Runs headless (offscreen) and never touches a serial
// port.

#include "link/frmCDR.h"
#include "link/modComFun.h"
#include "meterdata/frmConfig.h"
#include "meterdata/session.h"
#include "monitor/frmLog.h"
#include "platform/dialogservice.h"
#include "platform/picturebutton.h"
#include "startup/frmStart.h"
#include "startup/windowregistry.h"

#include "imagefile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QDir>
#include <QStandardPaths>
#include <cmath>
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
    frmStart& start = session.windows().Start();
    start.show();
    const char* names[] = {"japanese", "english", "korean"};
    int failures = 0;
    for (int lang : {1, 0, 2}) {
        start.imgLang[static_cast<std::size_t>(lang)]->click();
        QApplication::processEvents();
        const QString file = QStringLiteral("%1/start-%2.png").arg(out, QLatin1String(names[lang]));
        if (!start.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
    }

    // The data log with both channels and its chart running: synthetic answers handed to the window
    // as the link hands them over, channel A and B in turn.
    frmLog& log = session.windows().Log();
    log.show();
    log.cmbChan->setCurrentIndex(2);
    log.chkPlot->click();
    log.cmdStart->click(); // "Save to Disk?" answered No
    log.tmrUpDate->stop();  // no port here: nothing is polled
    auto& rx = session.windows().CDR().RxBuffer;
    for (int i = 0; i < 120; ++i) {
        const int c = i % 2;
        const double t = i / 2.0;
        std::vector<std::uint8_t> p(48, 0);
        const float lpm = static_cast<float>(c == 0 ? 18.0 + 6.0 * std::sin(t / 9.0) : 11.0 + 3.0 * std::cos(t / 7.0));
        const float flow = lpm / 60000.0f;
        modComFun::PutSingle(flow, p.data() + 2);
        modComFun::PutSingle(static_cast<float>(1482.0 + std::sin(t / 5.0)), p.data() + 6);
        modComFun::PutSingle(flow, p.data() + 10);
        modComFun::PutSingle(flow * 0.015f, p.data() + 14);
        modComFun::PutSingle(static_cast<float>(t), p.data() + 18);
        modComFun::PutSingle(static_cast<float>(0.00025 * t), p.data() + 22);
        modComFun::PutInteger(static_cast<std::int16_t>(250 + i % 7), p.data() + 26);
        modComFun::PutInteger(12, p.data() + 28);
        modComFun::PutInteger(36, p.data() + 30);
        p[34] = i < 100 ? 0 : 1; // the averaging gate closes near the end
        p[46] = 1;                // a batch runs
        const std::vector<std::uint8_t> frame = modComFun::AnswerFrame(session.NodeAddress, modComFun::LiveData, p);
        std::copy(frame.begin(), frame.end(), rx.begin());
        log.PollChannel = static_cast<std::uint8_t>(c);
        log.Setform();
    }
    log.tmrUpDate->stop();
    QApplication::processEvents();
    const QString logFile = QStringLiteral("%1/datalog.png").arg(out);
    if (!log.grab().save(logFile)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(logFile));
        ++failures;
    } else {
        std::printf("%s\n", qPrintable(logFile));
    }
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
    frmConfig& config = session.windows().Config();
    config.show();
    config.Free_input();
    QApplication::processEvents();
    const QString configFile = QStringLiteral("%1/config.png").arg(out);
    if (!config.grab().save(configFile)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(configFile));
        ++failures;
    } else {
        std::printf("%s\n", qPrintable(configFile));
    }
    return failures == 0 ? 0 : 1;
}
