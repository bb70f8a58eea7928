#pragma once
// One exchange with the meter, driven through the Instrument Interface's own engine: the
// identification, the image read into a site file, or a site file written to the meter. The job
// routes the answers it needs, follows the link's signals, and ends when its last answer has been
// taken, or when the link reports a failure, or when the line has gone quiet without the answer
// the exchange needs.

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
    // The image read alone: on success it is in the session's image (and ImageValid is 1).
    int readImage();
    // The file must have been checked: it is recalled as the menu recalls it and sent as its send
    // button does.
    int write(const QString& path);

    QString message() const { return m_message; }

private:
    enum class Mode { Identify, Read, Write };

    int run(Mode mode);
    void installRoutes();
    void start();
    void onAnswer(std::uint8_t code);
    void onTimeOut();
    void onSendFailed(const QString& reason);
    void onLineError(const QString& text);
    void poll();
    void finish(int status, const QString& message);
    void showProgress();
    QString device();

    CliSession& m_cli;
    bool m_progress = false;
    Mode m_mode = Mode::Identify;
    QEventLoop* m_loop = nullptr;

    int m_answers = 0;        // accepted answers of this exchange
    std::uint8_t m_lastCode = 0;
    std::uint8_t m_finalCode = 0;
    bool m_identified = false; // read: the identification has been taken
    bool m_done = false;       // the last answer the exchange needs has been taken
    bool m_finished = false;
    int m_status = 0;
    QString m_message;
    QElapsedTimer m_quiet;     // since when the line has been quiet
    int m_shown = -1;          // progress last shown, in bytes
};

} // namespace zavcli
