#pragma once
// The link window: owns the serial port, writes request frames, collects answers by line silence,
// hands complete answers to the answer router, and offers offline work when the meter cannot be
// reached. It is never shown; its effects are message boxes and the start window's link indicator.

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>

class Session;
class SerialDevice;

class frmCDR : public QObject {
    Q_OBJECT
public:
    static constexpr int kBufferSize = 257;
    static constexpr int kSilenceMs = 50;
    static constexpr int kResponseMs = 3000;
    static constexpr int kDrainMs = 10000;

    explicit frmCDR(Session& session, QObject* parent = nullptr);
    ~frmCDR() override;

    // Copies the frame into TxBuffer and sends it at once; nothing waits for the answer.
    void Write_to_COMM_B(const std::uint8_t* frame, std::uint16_t length);
    void SendPacket();
    // Drains and closes the port, then ends the program; Cancel = -1 when the user aborts.
    void Stop_COM(std::int16_t& Cancel);

    // Port notification, end-of-answer tick and time-out tick.
    void MSComm1_OnComm(int code, const QString& text);
    void tmrNull_Timer();
    void tmrTimeOut_Timer();

    std::array<std::uint8_t, kBufferSize> TxBuffer{};
    std::uint16_t TxLength = 0;
    std::array<std::uint8_t, kBufferSize> RxBuffer{};
    std::uint16_t RxCount = 0;

    std::unique_ptr<SerialDevice> MSComm1;
    QTimer* tmrNull = nullptr;    // SilenceTimer
    QTimer* tmrTimeOut = nullptr; // ResponseTimer

    // The status panel text ("Status: ...") and the kept "Echo" preference.
    QString Status;
    QString Echo;
    // The reason the port last failed to open or write.
    QString PortError;

    // How long Stop_COM waits for the output queue each time (tests shorten it).
    int drainMs = kDrainMs;

    // Text of the notification codes; empty for data and send events.
    static QString EventText(int code);
    static QString ErrorText(int code);

private:
    void Form_Load();
    void storeBytes(const QByteArray& bytes);
    // The "No Com Port Found" path: the request never left.
    void openFailed(const QString& errorText);

    Session& m_session;
    // The time-out box is open.
    bool m_askingTimeOut = false;
};
