// Any text as the stored port preferences, the way the link loads them for the port settings
// dialog: line settings ("9600,n,8,1"), port number, flow control, echo and the device of the port
// number, one per line of the input. Whatever is stored, the port ends with line settings that
// read back to themselves, a port number of 1..255 and a flow control of 0..3.

#include "fuzzsupport.h"
#include "link/answerroutes.h"
#include "link/frmCDR.h"
#include "platform/linesettings.h"
#include "platform/portnames.h"
#include "platform/qtserialdevice.h"
#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

namespace {

SettingsStore* store = nullptr;

bool same(const LineSettings& a, const LineSettings& b)
{
    return a.baud == b.baud && a.parity == b.parity && a.dataBits == b.dataBits && a.stopBits == b.stopBits;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // A settings file of the run's own, never the user's.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    static QCoreApplication app(*argc, *argv);
    store = new SettingsStore;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList fields = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
                                   .split(QLatin1Char('\n'));
    auto field = [&fields](int i) { return i < fields.size() ? fields.at(i) : QString(); };
    const QString properties = QStringLiteral("Properties");

    // The text alone: accepted text reads back to itself once written in its own form.
    LineSettings parsed;
    const bool valid = LineSettings::parse(field(0), &parsed);
    if (valid) {
        LineSettings again;
        require(LineSettings::parse(parsed.text(), &again) && same(parsed, again) && again.text() == parsed.text());
    }

    store->setValue(properties, QStringLiteral("Settings"), field(0));
    store->setValue(properties, QStringLiteral("CommPort"), field(1));
    store->setValue(properties, QStringLiteral("Handshaking"), field(2));
    store->setValue(properties, QStringLiteral("Echo"), field(3));
    // A device for every port the link can end on: an empty entry would list the machine's
    // serial devices.
    const QString device = field(4).isEmpty() ? QStringLiteral("/dev/null") : field(4);
    for (int port : {1, field(1).toInt()})
        store->setValue(portnames::sectionName(), portnames::keyFor(port), device);

    LinkVars vars;
    AnswerRoutes routes;
    NoDialogs dialogs;
    frmCDR link(vars, routes, *store, dialogs, std::make_unique<QtSerialDevice>(*store));
    SerialDevice& port = *link.MSComm1;

    LineSettings now;
    require(LineSettings::parse(port.settings(), &now) && now.text() == port.settings());
    if (valid && parsed.dataBits >= 5)
        require(same(now, parsed));
    require(port.portNumber() >= 1 && port.portNumber() <= 255);
    require(port.handshaking() >= 0 && port.handshaking() <= 3);
    require(!port.deviceName().isEmpty());
    return 0;
}
