#pragma once
// What the user is told when a log's block cannot be written: once, until a block is written
// again. The rows stay with the log file's writer and go to the file with a later block.

#include "monitor/datalogfile.h"

#include <QString>

class QObject;
class Session;

class FlushNotice {
public:
    // logName names the log in the message ("data log").
    FlushNotice(Session& session, QObject* context, QString logName);

    // Tells a failed flush, unless it has been told already. tellLater: the box waits until the
    // current answer has been handled, so that polling goes on behind it.
    void Report(const DataLogFile::Outcome& outcome, bool tellLater);

private:
    Session& m_session;
    QObject* m_context;
    QString m_logName;
    bool m_shown = false;
};
