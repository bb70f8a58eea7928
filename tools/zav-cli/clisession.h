#pragma once
// The Instrument Interface's own session, run without windows: the engine's start-up and answer
// routes, every box kept by CliDialogs, the link without questions, and the serial port the
// command line names.

#include "clidialogs.h"
#include "commandline.h"

#include <QString>
#include <memory>

class Session;
class frmCDR;

namespace zavcli {

class CliSession {
public:
    // Runs the start-up sequence's tables and installs the engine's answer routes.
    explicit CliSession(const CommandLine& line);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    Session& session() { return *m_session; }
    CliDialogs& dialogs() { return *m_dialogs; }

    // Creates the link with the stored port preferences, then applies --port, --settings and
    // --early-end over them. Returns an empty text, or why the port refused the choice.
    QString openLink();
    frmCDR& link();

private:
    CommandLine m_line;
    CliDialogs* m_dialogs = nullptr;
    std::unique_ptr<Session> m_session;
};

} // namespace zavcli
