// ZAV Instrument Interface: service tool for the transit-time ultrasonic flow meter.

#include "meterdata/session.h"
#include "platform/dialogservice.h"
#include "startup/frmStart.h"
#include "startup/windowregistry.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("ZAV Instrument Interface"));
    // The start window decides when the program ends (after the port is drained and closed).
    QApplication::setQuitOnLastWindowClosed(false);

    Session session(std::make_unique<QtDialogService>());
    session.endProgram = [] { QCoreApplication::quit(); };
    session.windows().Start().show();
    return app.exec();
}
