#include "link/frmCDR.h"

#include "link/answerroutes.h"
#include "link/commands.h"
#include "link/linktrace.h"
#include "platform/dialogservice.h"
#include "platform/finetimer.h"
#include "platform/linesettings.h"
#include "platform/serialdevice.h"
#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {
const QString kProperties = QStringLiteral("Properties");
}

frmCDR::frmCDR(LinkVars& vars, AnswerRoutes& routes, SettingsStore& settings, DialogService& dialogs,
               std::unique_ptr<SerialDevice> port, QObject* parent)
    : QObject(parent), MSComm1(std::move(port)), m_vars(vars), m_routes(routes), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmCDR"));
    // The silence that ends an answer is timed to the microsecond: a millisecond timer may wake
    // up to a millisecond late, on every answer.
    tmrNull = new FineTimer(this);
    tmrNull->setObjectName(QStringLiteral("tmrNull"));
    tmrNull->setInterval(std::chrono::milliseconds(kSilenceMs));
    connect(tmrNull, &FineTimer::timeout, this, &frmCDR::tmrNull_Timer);

    tmrTimeOut = new QTimer(this);
    tmrTimeOut->setObjectName(QStringLiteral("tmrTimeOut"));
    tmrTimeOut->setInterval(kResponseMs);
    tmrTimeOut->setTimerType(Qt::PreciseTimer);
    connect(tmrTimeOut, &QTimer::timeout, this, &frmCDR::tmrTimeOut_Timer);

    tmrEnd = new FineTimer(this);
    tmrEnd->setObjectName(QStringLiteral("tmrEnd"));
    connect(tmrEnd, &FineTimer::timeout, this, &frmCDR::tmrEnd_Timer);
    tmrGap = new FineTimer(this);
    tmrGap->setObjectName(QStringLiteral("tmrGap"));
    connect(tmrGap, &FineTimer::timeout, this, &frmCDR::tmrGap_Timer);

    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1.get(), &SerialDevice::comm, this, &frmCDR::MSComm1_OnComm);

    Form_Load(settings);
}

frmCDR::~frmCDR()
{
    if (MSComm1 && MSComm1->isOpen())
        MSComm1->close();
}

void frmCDR::Form_Load(SettingsStore& store)
{
    RxCount = 0;
    QString error;
    // Our own preference: it does not depend on the port accepting the others.
    EarlyEnd = store.value(kProperties, QStringLiteral("EarlyEnd")) == QLatin1String("True");

    const QString settings = store.value(kProperties, QStringLiteral("Settings"));
    if (!settings.isEmpty() && !MSComm1->setSettings(settings, &error)) {
        m_dialogs.message(error, QString(), DialogService::Buttons::OK, DialogService::Icon::Exclamation);
        return;
    }
    const QString port = store.value(kProperties, QStringLiteral("CommPort"));
    if (!port.isEmpty())
        MSComm1->setPortNumber(port.toInt(), nullptr); // errors resumed at the next statement
    const QString handshaking = store.value(kProperties, QStringLiteral("Handshaking"));
    if (!handshaking.isEmpty() && !MSComm1->setHandshaking(handshaking.toInt(), &error)) {
        m_dialogs.message(error, QString(), DialogService::Buttons::OK, DialogService::Icon::Exclamation);
        return;
    }
    Echo = store.value(kProperties, QStringLiteral("Echo"));
}

std::uint64_t frmCDR::Write_to_COMM_B(const std::uint8_t* frame, std::uint16_t length)
{
    // A frame longer than the buffer is a caller error: never write past it.
    const std::uint16_t n = length > kBufferSize ? static_cast<std::uint16_t>(kBufferSize) : length;
    const std::uint64_t ticket = ++m_tickets;
    if (m_outstanding.open || !m_held.empty()) {
        // One request at a time: an answer the meter still owes must not meet this one's.
        m_held.push_back({QByteArray(reinterpret_cast<const char*>(frame), n), ticket});
        qCDebug(lcLink).noquote() << "held" << linktrace::Hex(frame, n)
                                  << QStringLiteral("(until the answer to code %1)").arg(m_outstanding.code);
        return ticket;
    }
    for (std::uint16_t i = 0; i < n; ++i)
        TxBuffer[i] = frame[i];
    TxLength = n;
    m_txTicket = ticket;
    SendPacket();
    return ticket;
}

void frmCDR::releaseHeld()
{
    while (!m_outstanding.open && !m_held.empty()) {
        const Held next = m_held.front();
        m_held.pop_front();
        const auto n = static_cast<std::uint16_t>(next.frame.size());
        for (std::uint16_t i = 0; i < n; ++i)
            TxBuffer[i] = static_cast<std::uint8_t>(next.frame[i]);
        TxLength = n;
        m_txTicket = next.ticket;
        SendPacket();
    }
}

void frmCDR::abandonOutstanding()
{
    if (!m_outstanding.open)
        return;
    m_outstanding.abandoned = true;
    qCDebug(lcLink).noquote() << QStringLiteral("abandoned: the request of code %1 is given up; its time-out asks nothing")
                                     .arg(m_outstanding.code);
}

bool frmCDR::cancelHeld(std::uint64_t ticket)
{
    for (auto it = m_held.begin(); it != m_held.end(); ++it) {
        if (it->ticket != ticket)
            continue;
        qCDebug(lcLink).noquote() << "dropped held"
                                  << linktrace::Hex(reinterpret_cast<const std::uint8_t*>(it->frame.constData()),
                                                    static_cast<std::size_t>(it->frame.size()))
                                  << "(its transfer has ended)";
        m_held.erase(it);
        return true;
    }
    return false;
}

void frmCDR::endExchange(const char* why)
{
    m_outstanding = {};
    tmrTimeOut->stop();
    m_sendDue = false;
    tmrGap->stop();
    for (const Held& h : m_held)
        qCDebug(lcLink).noquote() << "dropped held"
                                  << linktrace::Hex(reinterpret_cast<const std::uint8_t*>(h.frame.constData()),
                                                    static_cast<std::size_t>(h.frame.size()))
                                  << QStringLiteral("(%1)").arg(QLatin1String(why));
    m_held.clear();
}

void frmCDR::markPortLost()
{
    if (m_portLostSince.isValid())
        return;
    m_portLostSince = QDateTime::currentDateTime();
    emit portLost(m_portLostSince);
}

void frmCDR::openFailed(const QString& errorText)
{
    // The box's words are fixed; the port's own reason stays readable in the status panel.
    PortError = errorText;
    Status = QStringLiteral("Status: ") + errorText;
    qCDebug(lcLink).noquote() << "send failed:" << errorText;
    const bool toldBefore = m_portLostSince.isValid();
    markPortLost();
    endExchange("the port failed");
    emit sendFailed(errorText); // the request never left
    // A poll that keeps meeting a lost port tries again silently at its next tick: the user was
    // told when the port was first lost.
    const std::uint8_t code = TxBuffer[1];
    if (toldBefore && (code == modComFun::LiveData || code == modComFun::DiagData)) {
        qCDebug(lcLink).noquote() << "port still lost since" << m_portLostSince.toString(QStringLiteral("HH:mm:ss"))
                                  << "(not asked again)";
        return;
    }
    askWorkOffline(Failure::NoPort);
}

void frmCDR::askWorkOffline(Failure why)
{
    // A request that fails while the question is open (a poll behind the box) does not ask again.
    if (!interactive || m_askingOffline)
        return;
    m_askingOffline = true;
    // The question and its title stay as they are; the detail says why it is asked and what to
    // check. A port that failed has said so in its own words, naming the device.
    QString detail = PortError;
    if (why == Failure::TimeOut) {
        const QString where = QStringLiteral("%1 (Com%2)").arg(MSComm1->deviceName()).arg(MSComm1->portNumber());
        const QString line = MSComm1->settings();
        detail = FailReason.isEmpty()
                     ? QStringLiteral("The meter on %1 did not answer within %2 s. Check that the meter is powered, "
                                      "that its node address is %3 and its line settings are %4 (Serial Setup), and "
                                      "the wiring between the adapter and the meter.")
                           .arg(where, QString::number(responseMs / 1000.0))
                           .arg(m_vars.NodeAddress)
                           .arg(line)
                     : QStringLiteral("The meter on %1 gave an answer that could not be used: %2. Check the wiring "
                                      "and that the line settings %3 (Serial Setup) are the meter's, then try again.")
                           .arg(where, FailReason, line);
    }
    const auto answer = m_dialogs.message(QStringLiteral("Work Offline?"),
                                          why == Failure::NoPort ? QStringLiteral("No Com Port Found")
                                                                 : QStringLiteral("Communication Failed"),
                                          DialogService::Buttons::YesNo, DialogService::Icon::Question, detail);
    m_askingOffline = false;
    emit offlineChoice(why, answer == DialogService::Answer::Yes);
}

void frmCDR::discardWaiting()
{
    if (MSComm1->bytesWaiting() > 0) {
        const QByteArray junk = MSComm1->readAll();
        qCDebug(lcLink).noquote() << "discarded"
                                  << linktrace::Hex(reinterpret_cast<const std::uint8_t*>(junk.constData()),
                                                    static_cast<std::size_t>(junk.size()))
                                  << "(on the line before the request)";
    }
    // A burst still being collected; never the answer being routed now.
    if (RxCount > 0 && !m_routing) {
        qCDebug(lcLink).noquote() << "discarded" << linktrace::Hex(RxBuffer.data(), RxCount)
                                  << "(on the line before the request)";
        RxCount = 0;
        tmrNull->stop();
    }
}

std::chrono::nanoseconds frmCDR::quietTime() const
{
    LineSettings line;
    const int baud = LineSettings::parse(MSComm1->settings(), &line) && line.baud > 0 ? line.baud : 9600;
    const std::chrono::nanoseconds chars{35'000'000'000LL / baud}; // 3.5 characters of 10 bits
    return std::max(chars, std::chrono::nanoseconds{1'750'000});
}

void frmCDR::SendPacket()
{
    if (!MSComm1->isOpen()) {
        QString error;
        if (!MSComm1->open(&error)) {
            openFailed(error);
            return;
        }
    }
    if (EarlyEnd && m_lastByteAt.isValid()) {
        const std::chrono::nanoseconds left = quietTime() - std::chrono::nanoseconds{m_lastByteAt.nsecsElapsed()};
        if (left.count() > 0) {
            // Bytes came a moment ago: the request is the outstanding one from now on (others are
            // held behind it), but it leaves once the line has been quiet for the quiet time.
            m_outstanding = {true, TxBuffer[1], 0, m_txTicket};
            m_sendDue = true;
            m_dueSince.start();
            tmrGap->start(left);
            return;
        }
    }
    writePacket();
}

void frmCDR::tmrGap_Timer()
{
    if (!m_sendDue)
        return;
    // Bytes that kept coming meanwhile are waited out, but not beyond the 50 ms silence: the
    // request then drops them as it leaves.
    const std::chrono::nanoseconds left = quietTime() - std::chrono::nanoseconds{m_lastByteAt.nsecsElapsed()};
    if (left.count() > 0 && m_dueSince.elapsed() < kSilenceMs) {
        tmrGap->start(left);
        return;
    }
    m_sendDue = false;
    writePacket();
}

void frmCDR::writePacket()
{
    const bool abandoned = m_outstanding.open && m_outstanding.ticket == m_txTicket && m_outstanding.abandoned;
    discardWaiting();
    for (int i = 0; i < TxLength / 2; ++i) {
        const char pair[2] = {static_cast<char>(TxBuffer[static_cast<std::size_t>(2 * i)]),
                              static_cast<char>(TxBuffer[static_cast<std::size_t>(2 * i + 1)])};
        if (!MSComm1->write(QByteArray(pair, 2))) {
            openFailed(QStringLiteral("The frame could not be written to %1.").arg(MSComm1->deviceName()));
            return;
        }
    }
    qCDebug(lcLink).noquote() << "sent" << linktrace::Hex(TxBuffer.data(), TxLength);
    m_outstanding = {true, TxBuffer[1],
                     static_cast<std::uint8_t>(TxBuffer[1] == modComFun::WriteImage && TxLength > 5 ? TxBuffer[5] : 0),
                     m_txTicket, abandoned};
    FailReason.clear();
    m_sentAt.start();
    tmrTimeOut->start(responseMs);
    if (m_portLostSince.isValid()) {
        m_portLostSince = QDateTime();
        qCDebug(lcLink).noquote() << "port works again";
        emit portBack();
    }
    emit requestSent();
}

QString frmCDR::EventText(int code)
{
    switch (code) {
    case SerialDevice::EvCTS: return QStringLiteral("Change in CTS Detected");
    case SerialDevice::EvDSR: return QStringLiteral("Change in DSR Detected");
    case SerialDevice::EvCD: return QStringLiteral("Change in CD Detected");
    case SerialDevice::EvRing: return QStringLiteral("The Phone is Ringing");
    case SerialDevice::EvEOF: return QStringLiteral("End of File Detected");
    default: return {};
    }
}

QString frmCDR::ErrorText(int code)
{
    switch (code) {
    case SerialDevice::EvSend:
    case SerialDevice::EvReceive:
    case SerialDevice::EvCTS:
    case SerialDevice::EvDSR:
    case SerialDevice::EvCD:
    case SerialDevice::EvRing:
    case SerialDevice::EvEOF: return {};
    case SerialDevice::ErBreak: return QStringLiteral("Break Received");
    case SerialDevice::ErCTSTO: return QStringLiteral("CTS Timeout");
    case SerialDevice::ErDSRTO: return QStringLiteral("DSR Timeout");
    case SerialDevice::ErFrame: return QStringLiteral("Framing Error");
    case SerialDevice::ErOverrun: return QStringLiteral("Overrun Error");
    case SerialDevice::ErCDTO: return QStringLiteral("Carrier Detect Timeout");
    case SerialDevice::ErRxOver: return QStringLiteral("Receive Buffer Overflow");
    case SerialDevice::ErRxParity: return QStringLiteral("Parity Error");
    case SerialDevice::ErTxFull: return QStringLiteral("Transmit Buffer Full");
    case SerialDevice::ErDCB: return QStringLiteral("Error retrieving DCB");
    default: return QStringLiteral("Unknown error or event");
    }
}

void frmCDR::storeBytes(const QByteArray& bytes)
{
    if (!bytes.isEmpty())
        m_lastByteAt.start();
    for (const char c : bytes) {
        RxBuffer[RxCount] = static_cast<std::uint8_t>(c);
        ++RxCount;
        if (RxCount > 255)
            RxCount = 0;
    }
}

void frmCDR::MSComm1_OnComm(int code, const QString& text)
{
    tmrNull->stop();
    tmrEnd->stop();
    // The texts describe this notification only: an error reported once is not repeated by the
    // notifications that follow it.
    QString eventText;
    QString errorText;
    if (code == SerialDevice::EvReceive) {
        storeBytes(MSComm1->readAll());
    } else if (code == SerialDevice::EvSend) {
        // nothing
    } else {
        eventText = EventText(code);
        if (eventText.isEmpty())
            errorText = text.isEmpty() ? ErrorText(code) : text;
    }
    tmrNull->start();
    armEarlyEnd();

    if (!eventText.isEmpty()) {
        Status = QStringLiteral("Status: ") + eventText;
    } else if (!errorText.isEmpty()) {
        Status = QStringLiteral("Status: ") + errorText;
        qCDebug(lcLink).noquote() << "port error:" << errorText;
        emit lineError(errorText);
        // A port that closed under the error (a device gone away) ends the exchange now: no
        // time-out and no second question follow the error's own box.
        if (!MSComm1->isOpen()) {
            markPortLost();
            portClosed(errorText);
        }
        if (!interactive)
            return;
        m_dialogs.beep();
        const auto answer = m_dialogs.message(errorText, QStringLiteral("Click Cancel to quit, OK to ignore."),
                                              DialogService::Buttons::OKCancel, DialogService::Icon::None);
        if (answer == DialogService::Answer::Cancel) {
            MSComm1->close();
            portClosed(QStringLiteral("The port was closed."));
        }
    }
}

void frmCDR::portClosed(const QString& why)
{
    if (!m_outstanding.open && m_held.empty())
        return;
    qCDebug(lcLink).noquote() << "exchange ended: the port closed";
    endExchange("the port closed");
    emit sendFailed(why);
}

void frmCDR::tmrNull_Timer()
{
    // A busy event loop can hold the tail of an answer in the port: take it before deciding the
    // answer is complete, so that it does not become a second, broken answer.
    if (MSComm1->isOpen() && MSComm1->bytesWaiting() > 0) {
        storeBytes(MSComm1->readAll());
        tmrNull->start();
        armEarlyEnd();
        return;
    }
    if (RxCount == 0)
        return;
    endOfAnswer();
}

bool frmCDR::wholeFrame() const
{
    return RxCount >= 4 && RxBuffer[0] == m_vars.NodeAddress && m_outstanding.open && !m_sendDue
           && Fits(m_outstanding.code, m_outstanding.flag, RxBuffer[1]) && modComFun::CrcMatches(RxBuffer.data(), RxCount);
}

void frmCDR::armEarlyEnd()
{
    if (EarlyEnd && wholeFrame())
        tmrEnd->start(quietTime());
}

void frmCDR::tmrEnd_Timer()
{
    // The same end as after the 50 ms: bytes the event loop has not told yet mean the line was not
    // quiet, and they join the burst.
    tmrNull_Timer();
}

void frmCDR::endOfAnswer()
{
    tmrNull->stop();
    tmrEnd->stop();
    if (RxBuffer[0] == m_vars.NodeAddress && RxCount >= 3)
        modComFun::HandleResponse(*this);
    else
        qCDebug(lcLink).noquote() << "refused" << linktrace::Hex(RxBuffer.data(), RxCount)
                                  << (RxCount < 3 ? "(short)" : "(foreign node)");
    RxCount = 0;
}

bool frmCDR::Fits(std::uint8_t requestCode, std::uint8_t flag, std::uint8_t answerCode)
{
    using namespace modComFun;
    if (answerCode == Code86)
        return true;
    switch (requestCode) {
    case ReadImage: return answerCode == ReadImage || answerCode == TransferDone;
    case WriteImage:
        return flag == 2 ? answerCode == TransferDone || answerCode == WriteRefused
                         : answerCode == WriteImage || answerCode == WriteRefused;
    case PlotPoll: return answerCode == PlotPoll || answerCode == PlotMark;
    case TrimOutput: return answerCode == TrimOutput || answerCode == TrimAck;
    default: return answerCode == requestCode;
    }
}

void frmCDR::acceptAnswer()
{
    const std::uint8_t code = RxBuffer[1];
    // A request still waiting for a quiet line has not left: nothing can answer it yet.
    const bool open = m_outstanding.open && !m_sendDue;
    if (!open || !Fits(m_outstanding.code, m_outstanding.flag, code)) {
        qCDebug(lcLink).noquote() << "stale" << linktrace::Hex(RxBuffer.data(), RxCount)
                                  << (open
                                          ? QStringLiteral("(code %1 does not answer the request of code %2)")
                                                .arg(code)
                                                .arg(m_outstanding.code)
                                          : QStringLiteral("(code %1, no request outstanding)").arg(code));
        emit staleAnswer(code);
        return;
    }
    const std::uint64_t ticket = m_outstanding.ticket;
    m_outstanding = {};
    tmrTimeOut->stop();
    const QString owner = m_routes.owner(code);
    qCDebug(lcLink).noquote() << "taken" << linktrace::Hex(RxBuffer.data(), RxCount)
                              << (owner.isEmpty() ? QStringLiteral("(code %1, not routed)").arg(code)
                                                  : QStringLiteral("(code %1 to %2)").arg(code).arg(owner));
    if (code == modComFun::Code86)
        qCDebug(lcLink).noquote() << "the meter refused the request (code 86)";
    emit answerAccepted(code);
    m_answeredTicket = ticket;
    m_routing = true;
    m_routes.dispatch(code);
    m_routing = false;
    m_answeredTicket = 0;
    releaseHeld();
}

void frmCDR::failExchange(const QString& why)
{
    FailReason = why;
    qCDebug(lcLink).noquote() << "exchange failed:" << why;
    endExchange("the exchange failed");
    // Asked once the answer's handler has returned, as a time-out would be.
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit timedOut();
            askWorkOffline(Failure::TimeOut);
        },
        Qt::QueuedConnection);
}

void frmCDR::tmrTimeOut_Timer()
{
    // A timer may fire a little early: the wait is never shorter than the response time from the
    // moment the request left.
    const qint64 left = responseMs - (m_sentAt.isValid() ? m_sentAt.elapsed() : responseMs);
    if (left > 0) {
        tmrTimeOut->start(static_cast<int>(left));
        return;
    }
    // Stop first: the box is modal and the timer must not fire again behind it. An answer that
    // comes after this is stale.
    qCDebug(lcLink).noquote() << "time-out: no valid answer within" << responseMs << "ms";
    if (m_outstanding.abandoned) {
        // Nobody waits for this answer any more: the requests behind it go out.
        m_outstanding = {};
        tmrTimeOut->stop();
        releaseHeld();
        return;
    }
    endExchange("time-out");
    // The polling windows stop waiting and poll on, also behind the box; a poll that times out
    // while the box is still open does not open a second one.
    emit timedOut();
    askWorkOffline(Failure::TimeOut);
}

void frmCDR::Stop_COM(std::int16_t& Cancel)
{
    if (!MSComm1->isOpen()) {
        emit programEnds();
        return;
    }
    bool waiting = true;
    while (waiting) {
        QElapsedTimer clock;
        clock.start();
        while (MSComm1->isOpen() && MSComm1->outQueueCount() > 0 && clock.elapsed() < drainMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!MSComm1->isOpen() || MSComm1->outQueueCount() == 0)
            break;
        const auto answer = m_dialogs.message(QStringLiteral("Data cannot be sent"), QString(),
                                              DialogService::Buttons::AbortRetryIgnore, DialogService::Icon::Question);
        if (answer == DialogService::Answer::Abort) {
            Cancel = -1;
            return;
        }
        waiting = answer == DialogService::Answer::Retry;
    }
    MSComm1->close();
    endExchange("the port was closed");
    emit programEnds();
}
