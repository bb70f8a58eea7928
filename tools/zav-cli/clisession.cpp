#include "clisession.h"

#include "engine/engineroutes.h"
#include "engine/session.h"
#include "platform/qtserialdevice.h"
#include "platform/serialdevice.h"

namespace zavcli {

namespace {
// The real serial port, on a device given by its path rather than by a port number.
class DevicePathPort : public QtSerialDevice {
public:
    DevicePathPort(const SettingsStore& store, QString path) : QtSerialDevice(store), m_path(std::move(path)) {}
    QString deviceName() const override { return isOpen() ? QtSerialDevice::deviceName() : m_path; }

private:
    QString m_path;
};
} // namespace

CliSession::CliSession(const CommandLine& line) : m_line(line)
{
    auto dialogs = std::make_unique<CliDialogs>();
    m_dialogs = dialogs.get();
    Session::SerialFactory factory;
    if (!line.device.isEmpty()) {
        factory = [path = line.device](const SettingsStore& store) -> std::unique_ptr<SerialDevice> {
            return std::make_unique<DevicePathPort>(store, path);
        };
    }
    m_session = std::make_unique<Session>(std::move(dialogs), factory);
    m_session->StartUp();
    if (line.node > 0)
        m_session->NodeAddress = static_cast<std::uint8_t>(line.node);
    InstallEngineRoutes(*m_session);
    // Nobody to ask: the link's failures reach the job through its signals.
    m_session->onLink(m_session.get(), [](frmCDR& link) { link.interactive = false; });
}

CliSession::~CliSession() = default;

frmCDR& CliSession::link()
{
    return m_session->link();
}

QString CliSession::openLink()
{
    frmCDR& cdr = link();
    QString error;
    if (m_line.port > 0 && !cdr.MSComm1->setPortNumber(m_line.port, &error))
        return error;
    if (!m_line.settings.isEmpty() && !cdr.MSComm1->setSettings(m_line.settings, &error))
        return error;
    if (m_line.earlyEnd)
        cdr.EarlyEnd = true;
    return {};
}

} // namespace zavcli
