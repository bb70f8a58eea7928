// ZAV Instrument Interface: service tool for the transit-time ultrasonic flow meter.
// Options: --trace FILE writes the link trace (every frame and answer) to FILE; --open FILE
// opens a recording (data log, diagnostics log or signal table, told by its content) into its
// chart instead of showing the start window, which follows when the chart is closed. With
// ZAV_REPORT_SHOWN set, the moment the first window is shown goes to standard error in
// milliseconds of CLOCK_MONOTONIC (for start-up timing).

#include "app/windowtool.h"
#include "engine/session.h"
#include "link/linktrace.h"
#include "platform/dialogservice.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <time.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("ZAV Instrument Interface"));
    // The start window decides when the program ends (after the port is drained and closed).
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption trace(QStringLiteral("trace"), QStringLiteral("Write the link trace to <file>."), QStringLiteral("file"));
    parser.addOption(trace);
    const QCommandLineOption open(QStringLiteral("open"),
                                  QStringLiteral("Open the recording <file> (data log, diagnostics log or signal table) in its chart."),
                                  QStringLiteral("file"));
    parser.addOption(open);
    // A file manager passes the file alone.
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A recording to open, as with --open."), QStringLiteral("[file]"));
    parser.process(app);
    if (parser.isSet(trace)) {
        const QString error = linktrace::TraceToFile(parser.value(trace));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "zav-interface: cannot write the trace to %s: %s\n",
                         qPrintable(parser.value(trace)), qPrintable(error));
            return 2;
        }
    }

    Session session(std::make_unique<QtDialogService>());
    session.endProgram = [] { QCoreApplication::quit(); };
    InstallWindowTool(session);
    QString recording = parser.value(open);
    if (recording.isEmpty() && !parser.positionalArguments().isEmpty())
        recording = parser.positionalArguments().constFirst();
    ShowFirstWindow(session, recording);
    if (qEnvironmentVariableIsSet("ZAV_REPORT_SHOWN")) {
        // Once the event loop has run the show.
        QTimer::singleShot(0, [] {
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            std::fprintf(stderr, "zav-interface: first window shown at %.3f ms\n", ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6);
        });
    }
    return app.exec();
}
