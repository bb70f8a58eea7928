#pragma once
// The process-wide state of one run: the session variables every window reads and writes (the
// parameter image and its cells, the unit tables and item lists among them), the services the
// windows use (dialogs, settings, serial port), and the window registry.

#include "meterdata/modData.h"
#include "meterdata/modLabels.h"

#include <cstdint>
#include <functional>
#include <memory>

class DialogService;
class SerialDevice;
class SettingsStore;
class WindowRegistry;

class Session : public modData::MeterData, public modLabels::UnitTables {
public:
    using SerialFactory = std::function<std::unique_ptr<SerialDevice>(const SettingsStore&)>;

    // The real serial port unless a factory is given; dialogs are required.
    explicit Session(std::unique_ptr<DialogService> dialogs, SerialFactory serialFactory = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Session variables.
    std::uint8_t NodeAddress = 17;
    std::uint16_t AccessCode = 52719;
    std::int16_t Language = 1;
    std::uint8_t OfflineMode = 0; // 6 while working without a meter
    std::uint8_t MeterModel = 0;
    std::uint8_t FirmwareVersion = 0;
    std::uint16_t SerialNumber = 0;
    std::int16_t ImageChecksum = 0;
    std::uint8_t ImageValid = 0;
    // 1 from the moment a monitoring poll is sent until its answer has been handled; shared by the
    // live data log and the diagnostics log.
    std::int16_t PollBusy = 0;

    static constexpr std::uint8_t kOffline = 6;

    DialogService& dialogs() { return *m_dialogs; }
    SettingsStore& settings() { return *m_settings; }
    WindowRegistry& windows() { return *m_windows; }
    std::unique_ptr<SerialDevice> makeSerialDevice();

    // Ends the program (the start window's unload, once the port is closed). main connects it to
    // the application's quit; the tests record it.
    std::function<void()> endProgram;
    bool programEnded = false;

    // Sees every accepted answer (good CRC) by its function code before it is routed; returning
    // true keeps it from the window that owns the code. The window tool leaves it unset; the
    // command-line companion follows its transfers through it.
    std::function<bool(std::uint8_t code)> answerHook;
    void EndProgram();

private:
    std::unique_ptr<DialogService> m_dialogs;
    std::unique_ptr<SettingsStore> m_settings;
    SerialFactory m_serialFactory;
    std::unique_ptr<WindowRegistry> m_windows;
};
