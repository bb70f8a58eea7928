#include "link/frmCDR.h"

#include "link/commands.h"
#include "meterdata/session.h"
#include "platform/dialogservice.h"
#include "platform/serialdevice.h"
#include "platform/settingsstore.h"
#include "startup/frmStart.h"
#include "startup/windowregistry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

namespace {
const QString kProperties = QStringLiteral("Properties");
}

frmCDR::frmCDR(Session& session, QObject* parent) : QObject(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmCDR"));
    tmrNull = new QTimer(this);
    tmrNull->setObjectName(QStringLiteral("tmrNull"));
    tmrNull->setInterval(kSilenceMs);
    tmrNull->setTimerType(Qt::PreciseTimer);
    connect(tmrNull, &QTimer::timeout, this, &frmCDR::tmrNull_Timer);

    tmrTimeOut = new QTimer(this);
    tmrTimeOut->setObjectName(QStringLiteral("tmrTimeOut"));
    tmrTimeOut->setInterval(kResponseMs);
    connect(tmrTimeOut, &QTimer::timeout, this, &frmCDR::tmrTimeOut_Timer);

    MSComm1 = m_session.makeSerialDevice();
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1.get(), &SerialDevice::comm, this, &frmCDR::MSComm1_OnComm);

    Form_Load();
}

frmCDR::~frmCDR()
{
    if (MSComm1 && MSComm1->isOpen())
        MSComm1->close();
}

void frmCDR::Form_Load()
{
    RxCount = 0;
    SettingsStore& store = m_session.settings();
    QString error;

    const QString settings = store.value(kProperties, QStringLiteral("Settings"));
    if (!settings.isEmpty() && !MSComm1->setSettings(settings, &error)) {
        m_session.dialogs().message(error, QString(), DialogService::Buttons::OK, DialogService::Icon::Exclamation);
        return;
    }
    const QString port = store.value(kProperties, QStringLiteral("CommPort"));
    if (!port.isEmpty())
        MSComm1->setPortNumber(port.toInt(), nullptr); // errors resumed at the next statement
    const QString handshaking = store.value(kProperties, QStringLiteral("Handshaking"));
    if (!handshaking.isEmpty() && !MSComm1->setHandshaking(handshaking.toInt(), &error)) {
        m_session.dialogs().message(error, QString(), DialogService::Buttons::OK, DialogService::Icon::Exclamation);
        return;
    }
    Echo = store.value(kProperties, QStringLiteral("Echo"));
}

void frmCDR::Write_to_COMM_B(const std::uint8_t* frame, std::uint16_t length)
{
    // A frame longer than the buffer is a caller error: never write past it.
    const std::uint16_t n = length > kBufferSize ? static_cast<std::uint16_t>(kBufferSize) : length;
    for (std::uint16_t i = 0; i < n; ++i)
        TxBuffer[i] = frame[i];
    TxLength = n;
    SendPacket();
}

void frmCDR::openFailed(const QString& errorText)
{
    // The box's words are fixed; the port's own reason stays readable in the status panel.
    PortError = errorText;
    Status = QStringLiteral("Status: ") + errorText;
    m_session.windows().LinkFailed(); // the request never left
    const auto answer = m_session.dialogs().message(QStringLiteral("Work Offline?"), QStringLiteral("No Com Port Found"),
                                                    DialogService::Buttons::YesNo, DialogService::Icon::Question);
    WindowRegistry& windows = m_session.windows();
    if (answer == DialogService::Answer::No) {
        windows.HideConfig();
        windows.Start().show();
        // The port settings dialog follows here once it exists.
    } else {
        m_session.OfflineMode = Session::kOffline;
        windows.ShowConfig();
    }
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
    for (int i = 0; i < TxLength / 2; ++i) {
        const char pair[2] = {static_cast<char>(TxBuffer[static_cast<std::size_t>(2 * i)]),
                              static_cast<char>(TxBuffer[static_cast<std::size_t>(2 * i + 1)])};
        if (!MSComm1->write(QByteArray(pair, 2))) {
            openFailed(QStringLiteral("The frame could not be written to %1.").arg(MSComm1->deviceName()));
            return;
        }
    }
    m_session.windows().Start().SetLinkColour(frmStart::kColourYellow);
    tmrTimeOut->start();
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

    if (!eventText.isEmpty()) {
        Status = QStringLiteral("Status: ") + eventText;
    } else if (!errorText.isEmpty()) {
        Status = QStringLiteral("Status: ") + errorText;
        DialogService& dialogs = m_session.dialogs();
        dialogs.beep();
        const auto answer = dialogs.message(errorText, QStringLiteral("Click Cancel to quit, OK to ignore."),
                                            DialogService::Buttons::OKCancel, DialogService::Icon::None);
        if (answer == DialogService::Answer::Cancel)
            MSComm1->close();
    }
}

void frmCDR::tmrNull_Timer()
{
    // A busy event loop can hold the tail of an answer in the port: take it before deciding the
    // answer is complete, so that it does not become a second, broken answer.
    if (MSComm1->isOpen() && MSComm1->bytesWaiting() > 0) {
        storeBytes(MSComm1->readAll());
        tmrNull->start();
        return;
    }
    if (RxCount == 0)
        return;
    tmrNull->stop();
    if (RxBuffer[0] == m_session.NodeAddress && RxCount >= 3)
        modComFun::HandleResponse(m_session);
    RxCount = 0;
}

void frmCDR::tmrTimeOut_Timer()
{
    // Stop first: the box is modal and the timer must not fire again behind it.
    tmrTimeOut->stop();
    // The polling windows stop waiting and poll on, also behind the box; a poll that times out
    // while the box is still open does not open a second one.
    m_session.windows().LinkTimedOut();
    if (m_askingTimeOut)
        return;
    m_askingTimeOut = true;
    const auto answer = m_session.dialogs().message(QStringLiteral("Work Offline?"), QStringLiteral("Communication Failed"),
                                                    DialogService::Buttons::YesNo, DialogService::Icon::Question);
    m_askingTimeOut = false;
    WindowRegistry& windows = m_session.windows();
    if (answer == DialogService::Answer::Yes) {
        windows.ShowConfig();
        m_session.OfflineMode = Session::kOffline;
    } else {
        windows.HideConfig();
        windows.Start().show();
    }
}

void frmCDR::Stop_COM(std::int16_t& Cancel)
{
    if (!MSComm1->isOpen()) {
        m_session.EndProgram();
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
        const auto answer = m_session.dialogs().message(QStringLiteral("Data cannot be sent"), QString(),
                                                        DialogService::Buttons::AbortRetryIgnore,
                                                        DialogService::Icon::Question);
        if (answer == DialogService::Answer::Abort) {
            Cancel = -1;
            return;
        }
        waiting = answer == DialogService::Answer::Retry;
    }
    MSComm1->close();
    m_session.EndProgram();
}
