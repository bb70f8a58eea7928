#pragma once
// The link window: owns the serial port, writes request frames, collects answers by line silence,
// hands complete answers to HandleResponse, which routes them through the answer routes, and
// offers offline work when the meter cannot be reached. It is never shown and knows no window:
// what it does is told through its signals, and the user's choice at "Work Offline?" is one of
// them.

#include "link/modComFun.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>

class AnswerRoutes;
class DialogService;
class FineTimer;
class SerialDevice;
class SettingsStore;

// The session variables the link reads and writes.
struct LinkVars {
    std::uint8_t NodeAddress = modComFun::kPollNode;
    std::uint16_t AccessCode = modComFun::kAccessCode;
};

class frmCDR : public QObject {
    Q_OBJECT
public:
    static constexpr int kBufferSize = modComFun::kBufferSize;
    static constexpr int kSilenceMs = modComFun::kSilenceMs;
    static constexpr int kResponseMs = modComFun::kResponseMs;
    static constexpr int kDrainMs = 10000;

    // Why the link asks "Work Offline?".
    enum class Failure { NoPort, TimeOut };
    Q_ENUM(Failure)

    // Loads the stored port preferences into the port (a rejected one is told in a box).
    frmCDR(LinkVars& vars, AnswerRoutes& routes, SettingsStore& settings, DialogService& dialogs,
           std::unique_ptr<SerialDevice> port, QObject* parent = nullptr);
    ~frmCDR() override;

    // Copies the frame into TxBuffer and sends it at once; nothing waits for the answer. While an
    // earlier request still awaits its answer the frame is held, and goes out once that answer
    // has been handled (it is dropped when that request times out or the port fails). Returns the
    // request's ticket: answeredTicket() names it while its answer is routed.
    std::uint64_t Write_to_COMM_B(const std::uint8_t* frame, std::uint16_t length);
    void SendPacket();
    // Drains and closes the port, then ends the program (programEnds); Cancel = -1 when the user
    // aborts (the port then stays open and the program runs on).
    void Stop_COM(std::int16_t& Cancel);

    // Port notification, end-of-answer tick and time-out tick.
    void MSComm1_OnComm(int code, const QString& text);
    void tmrNull_Timer();
    void tmrTimeOut_Timer();
    // The early end of an answer: a whole frame of good CRC followed by quietTime() of silence.
    void tmrEnd_Timer();

    // "Early end of answer" (off by default, stored as Properties/EarlyEnd): a burst that forms a
    // whole frame for the node, fitting the outstanding request, with a good CRC, ends after
    // quietTime() of silence instead of 50 ms; any other burst still waits the 50 ms. A request
    // then never leaves sooner than quietTime() after the last byte received.
    bool EarlyEnd = false;
    // 3.5 character times of 10 bits at the port's baud rate, at least 1.75 ms.
    std::chrono::nanoseconds quietTime() const;

    // A complete answer of good CRC: when it answers the request now outstanding it stops the
    // time-out, tells answerAccepted, then routes it by its function code. Any other answer is
    // stale: dropped and traced, and the outstanding request's time-out keeps running.
    void acceptAnswer();

    // The request whose answer is awaited.
    struct Exchange {
        bool open = false;
        std::uint8_t code = 0;
        std::uint8_t flag = 0; // block flag of an image write block
        std::uint64_t ticket = 0;
        bool abandoned = false; // given up by the user: its time-out asks nothing
    };
    const Exchange& outstanding() const { return m_outstanding; }
    // Whether an answer of answerCode can answer a request of requestCode (flag: the block flag
    // of an image write block).
    static bool Fits(std::uint8_t requestCode, std::uint8_t flag, std::uint8_t answerCode);
    // The ticket of the request whose answer is being routed now; 0 outside routing.
    std::uint64_t answeredTicket() const { return m_answeredTicket; }
    // Requests waiting for the outstanding one to be answered.
    int heldCount() const { return static_cast<int>(m_held.size()); }
    // Takes back a held request (its transfer has ended); false when it is not held.
    bool cancelHeld(std::uint64_t ticket);
    // The user gave up the request now outstanding: its answer, if it comes, is still awaited
    // (and handled as stale by the transfer that ended), but its time-out asks nothing.
    void abandonOutstanding();
    // A transfer found the answer it was given unusable: the exchange ends as at a time-out
    // (timedOut, then "Work Offline?"), with the reason in the trace and in FailReason.
    void failExchange(const QString& why);
    // Why the last exchange failed without a time-out; empty otherwise.
    QString FailReason;
    // Since when the port has been lost (not opened, not written, or gone away); invalid while
    // it works. A poll that meets a lost port again is not asked about again.
    QDateTime portLostSince() const { return m_portLostSince; }

    std::array<std::uint8_t, kBufferSize> TxBuffer{};
    std::uint16_t TxLength = 0;
    std::array<std::uint8_t, kBufferSize> RxBuffer{};
    std::uint16_t RxCount = 0;

    std::unique_ptr<SerialDevice> MSComm1;
    FineTimer* tmrNull = nullptr; // SilenceTimer
    QTimer* tmrTimeOut = nullptr; // ResponseTimer
    FineTimer* tmrEnd = nullptr;  // the early end of an answer
    FineTimer* tmrGap = nullptr;  // holds a request until the line has been quiet long enough

    // The status panel text ("Status: ...") and the kept "Echo" preference.
    QString Status;
    QString Echo;
    // The reason the port last failed to open or write.
    QString PortError;

    // The longest wait for a valid answer, and how long Stop_COM waits for the output queue each
    // time (tests shorten them).
    int responseMs = kResponseMs;
    int drainMs = kDrainMs;
    // The link asks the user at a failure ("Work Offline?", port errors). Off for a caller with
    // nobody to ask, which follows the signals instead: a port error then counts as ignored.
    bool interactive = true;

    LinkVars& vars() { return m_vars; }

    // Text of the notification codes; empty for data and send events.
    static QString EventText(int code);
    static QString ErrorText(int code);

signals:
    // A request left (the link indicator turns yellow).
    void requestSent();
    // An answer passed its checks (the indicator turns green); told before it is routed.
    void answerAccepted(quint8 code);
    // No valid answer came within the response time; told before the user is asked.
    void timedOut();
    // The port could not be opened or written: the request never left.
    void sendFailed(const QString& reason);
    // The port reported an error while open.
    void lineError(const QString& text);
    // An answer came that fits no request now outstanding; it was dropped.
    void staleAnswer(quint8 code);
    // The port was lost (since then), or works again after it was lost.
    void portLost(const QDateTime& since);
    void portBack();
    // The user's answer at "Work Offline?": Yes means work offline.
    void offlineChoice(frmCDR::Failure why, bool workOffline);
    // Stop_COM has closed the port: the program ends.
    void programEnds();

private:
    void Form_Load(SettingsStore& settings);
    void storeBytes(const QByteArray& bytes);
    // Takes or refuses the burst collected so far: the end of an answer.
    void endOfAnswer();
    // With early end on: whether the burst so far is a whole answer for the node that fits the
    // outstanding request and has a good CRC.
    bool wholeFrame() const;
    void armEarlyEnd();
    // Writes TxBuffer as the outstanding request.
    void writePacket();
    void tmrGap_Timer();
    // The "No Com Port Found" path: the request never left.
    void openFailed(const QString& errorText);
    void askWorkOffline(Failure why);
    // Ends the outstanding exchange and drops the held requests (traced with the reason).
    void endExchange(const char* why);
    // The port closed under an exchange: it ends as a failed send.
    void portClosed(const QString& why);
    void markPortLost();
    void releaseHeld();
    // Bytes on the line before a request are an earlier answer's, never this one's.
    void discardWaiting();

    LinkVars& m_vars;
    AnswerRoutes& m_routes;
    DialogService& m_dialogs;
    // Since the last request left: the time-out is never shorter than kResponseMs from there.
    QElapsedTimer m_sentAt;
    // "Work Offline?" is being asked.
    bool m_askingOffline = false;
    Exchange m_outstanding;
    struct Held {
        QByteArray frame;
        std::uint64_t ticket;
    };
    std::deque<Held> m_held;
    std::uint64_t m_tickets = 0;
    std::uint64_t m_txTicket = 0;
    std::uint64_t m_answeredTicket = 0;
    bool m_routing = false;
    QDateTime m_portLostSince;
    // Since the last byte was received; a request waiting for the line to be quiet (since when).
    QElapsedTimer m_lastByteAt;
    bool m_sendDue = false;
    QElapsedTimer m_dueSince;
};
