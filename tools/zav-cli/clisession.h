#pragma once
// The Instrument Interface's own session, run without a screen: the windows are created as in the
// window tool (on the offscreen platform they never appear), every box goes to CliDialogs, and
// the serial port is the one the command line names.

#include "clidialogs.h"
#include "commandline.h"

#include <QString>
#include <memory>

class Session;
class frmCDR;
class frmConfig;

namespace zavcli {

class CliSession {
public:
    // Runs the start window's start-up (tables, cell map), as the window tool does at launch.
    explicit CliSession(const CommandLine& line);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    Session& session() { return *m_session; }
    CliDialogs& dialogs() { return *m_dialogs; }
    frmConfig& config();

    // Creates the link window with the stored port preferences, then applies --port and
    // --settings over them. Returns an empty text, or why the port refused the choice.
    QString openLink();
    frmCDR& link();

private:
    CommandLine m_line;
    CliDialogs* m_dialogs = nullptr;
    std::unique_ptr<Session> m_session;
};

} // namespace zavcli
