#pragma once
// One instance of each window for the whole run, created on first use, hidden rather than
// destroyed. Windows reach each other through here.

#include <memory>

class Session;
class frmCDR;
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

    // The configuration menu. Until it exists these do nothing and report false, so callers keep
    // the start window on screen.
    bool ShowConfig();
    bool HideConfig();

private:
    Session& m_session;
    std::unique_ptr<frmStart> m_start;
    std::unique_ptr<frmCDR> m_cdr;
};
