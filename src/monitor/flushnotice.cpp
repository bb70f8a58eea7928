#include "monitor/flushnotice.h"

#include "engine/session.h"
#include "platform/dialogservice.h"

#include <QDir>
#include <QTimer>

FlushNotice::FlushNotice(Session& session, QObject* context, QString logName)
    : m_session(session), m_context(context), m_logName(std::move(logName))
{
}

void FlushNotice::Report(const DataLogFile::Outcome& outcome, bool tellLater)
{
    if (!outcome.failed) {
        m_shown = false;
        return;
    }
    if (m_shown)
        return;
    m_shown = true;
    const QString text = QStringLiteral("The %1 could not be written to %2 (%3). The readings are kept and "
                                        "written with the next block.")
                             .arg(m_logName, QDir::toNativeSeparators(outcome.fileName), outcome.error);
    Session& session = m_session;
    const auto tell = [&session, text] {
        session.dialogs().message(text, QStringLiteral("Storage Option"), DialogService::Buttons::OK,
                                  DialogService::Icon::Exclamation);
    };
    if (tellLater)
        QTimer::singleShot(0, m_context, tell);
    else
        tell();
}
