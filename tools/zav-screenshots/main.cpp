// Writes pictures of the windows into a folder: start-japanese.png, start-english.png,
// start-korean.png. Runs headless (offscreen) and never touches a serial port.

#include "meterdata/session.h"
#include "platform/dialogservice.h"
#include "platform/picturebutton.h"
#include "startup/frmStart.h"
#include "startup/windowregistry.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
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
    return failures == 0 ? 0 : 1;
}
