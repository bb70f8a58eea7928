#pragma once
// One exchange with the meter, driven through the window tool's own link and handlers: the
// identification, the image read into a site file, or a site file written to the meter. The
// answers are followed through the session's answer hook; the job ends when the line has gone
// quiet after its last answer (so a following exchange or the exit never cuts an answer short),
// or when the link reports a failure.

#include "clidialogs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdint>

class QEventLoop;

namespace zavcli {

class CliSession;

class MeterJob : public QObject {
    Q_OBJECT
public:
    // progress: show the progress of a transfer on standard error.
    MeterJob(CliSession& cli, bool progress);
    ~MeterJob() override;

    // Each returns an exit status; message() then holds the one-line result (the summary on
    // success, the reason otherwise).
    int identify();
    int read(const QString& path);
    // The file must have been checked: it is recalled through the configuration menu and sent
    // as its send button does.
    int write(const QString& path);

    QString message() const { return m_message; }

private:
    enum class Mode { Identify, Read, Write };

    int run(Mode mode, void (MeterJob::*start)());
    void startIdentify();
    void startRead();
    void startWrite();
    bool onAnswer(std::uint8_t code);
    void onLinkFailure(CliDialogs::LinkFailure kind, const QString& text);
    void poll();
    void finish(int status, const QString& message);
    void showProgress();
    QString device() const;

    CliSession& m_cli;
    bool m_progress = false;
    Mode m_mode = Mode::Identify;
    QEventLoop* m_loop = nullptr;

    int m_answers = 0;       // accepted answers of this exchange
    std::uint8_t m_lastCode = 0;
    std::uint8_t m_finalCode = 0;
    bool m_done = false;     // the last answer the exchange needs has arrived
    bool m_finished = false;
    int m_status = 0;
    QString m_message;
    QElapsedTimer m_quiet;   // since when the line has been quiet
    int m_shown = -1;        // progress last shown, in bytes
};

} // namespace zavcli
