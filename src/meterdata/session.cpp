#include "meterdata/session.h"

#include "platform/dialogservice.h"
#include "platform/qtserialdevice.h"
#include "platform/settingsstore.h"
#include "startup/windowregistry.h"

Session::Session(std::unique_ptr<DialogService> dialogs, SerialFactory serialFactory)
    : m_dialogs(std::move(dialogs)),
      m_settings(std::make_unique<SettingsStore>()),
      m_serialFactory(std::move(serialFactory)),
      m_windows(std::make_unique<WindowRegistry>(*this))
{
    if (!m_serialFactory) {
        m_serialFactory = [](const SettingsStore& store) -> std::unique_ptr<SerialDevice> {
            return std::make_unique<QtSerialDevice>(store);
        };
    }
}

Session::~Session()
{
    // Windows go first: they hold the port and refer to the services.
    m_windows.reset();
}

std::unique_ptr<SerialDevice> Session::makeSerialDevice()
{
    return m_serialFactory(*m_settings);
}

void Session::EndProgram()
{
    programEnded = true;
    if (endProgram)
        endProgram();
}
