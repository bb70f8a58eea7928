#pragma once
// One instance of each window for the whole run, created on first use, hidden rather than
// destroyed. Windows reach each other through here.

#include <memory>

class Session;
class frmCDR;
class frmConfig;
class frmLog;
class frmStart;

class WindowRegistry {
public:
    explicit WindowRegistry(Session& session);
    ~WindowRegistry();
    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;

    frmStart& Start();
    frmCDR& CDR();
    bool hasStart() const { return m_start != nullptr; }
    bool hasCDR() const { return m_cdr != nullptr; }
    frmConfig& Config();
    bool hasConfig() const { return m_config != nullptr; }
    frmLog& Log();
    bool hasLog() const { return m_log != nullptr; }

    // The link gave up waiting for an answer, or could not send at all: the polling windows learn
    // that their poll is no longer in flight.
    void LinkTimedOut();
    void LinkFailed();

    // Shows or hides the configuration menu (hiding one that was never created creates nothing).
    void ShowConfig();
    void HideConfig();

private:
    Session& m_session;
    std::unique_ptr<frmStart> m_start;
    std::unique_ptr<frmCDR> m_cdr;
    std::unique_ptr<frmConfig> m_config;
    std::unique_ptr<frmLog> m_log;
};
