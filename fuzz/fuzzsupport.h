#pragma once
// What every fuzz target needs: a dialog service that asks nobody, and the stop of the run where a
// result breaks what the code promises.

#include "platform/dialogservice.h"

class NoDialogs : public DialogService {
public:
    // `reply` answers every message box; file dialogs are cancelled.
    explicit NoDialogs(Answer reply = Answer::OK) : m_reply(reply) {}
    Answer message(const QString&, const QString&, Buttons, Icon) override { return m_reply; }
    QString openFile(const FileRequest&) override { return {}; }
    QString saveFile(const FileRequest&) override { return {}; }
    void beep() override {}

private:
    Answer m_reply;
};

inline void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}
