#pragma once
// The process-wide state of one run: the session variables every window reads and writes, the
// services the windows use (dialogs, settings, serial port), and the window registry.

#include <cstdint>
#include <functional>
#include <memory>

class DialogService;
class SerialDevice;
class SettingsStore;
class WindowRegistry;

class Session {
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
    void EndProgram();

private:
    std::unique_ptr<DialogService> m_dialogs;
    std::unique_ptr<SettingsStore> m_settings;
    SerialFactory m_serialFactory;
    std::unique_ptr<WindowRegistry> m_windows;
};
