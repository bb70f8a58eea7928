#pragma once
// The serial port as the link window uses it: port number, line settings text, handshaking, open
// state, binary input and output, the output queue, and one notification carrying an event or error
// code. One implementation runs on QSerialPort, another in memory for the unit tests.

#include <QByteArray>
#include <QObject>
#include <QString>

class SerialDevice : public QObject {
    Q_OBJECT
public:
    // Notification codes: data received, send buffer low, line events 3..7, errors 1001..1011.
    enum Code {
        EvSend = 1,
        EvReceive = 2,
        EvCTS = 3,
        EvDSR = 4,
        EvCD = 5,
        EvRing = 6,
        EvEOF = 7,
        ErBreak = 1001,
        ErCTSTO = 1002,
        ErDSRTO = 1003,
        ErFrame = 1004,
        ErOverrun = 1006,
        ErCDTO = 1007,
        ErRxOver = 1008,
        ErRxParity = 1009,
        ErTxFull = 1010,
        ErDCB = 1011,
        // The device went away or failed while open; the notification's text names it.
        ErDeviceLost = 1101,
    };

    explicit SerialDevice(QObject* parent = nullptr) : QObject(parent) {}
    ~SerialDevice() override = default;

    // Opens the device that the port number names. On failure returns false and sets errorText.
    virtual bool open(QString* errorText) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Writes bytes; false when the port is not open or the write failed.
    virtual bool write(const QByteArray& bytes) = 0;
    // Takes all waiting input.
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesWaiting() const = 0;
    // Bytes written but not yet sent.
    virtual qint64 outQueueCount() const = 0;

    // "9600,n,8,1" style text: baud, parity letter (lower case), data bits, stop bits.
    virtual bool setSettings(const QString& settings, QString* errorText) = 0;
    virtual QString settings() const = 0;
    // 0 none, 1 Xon/Xoff, 2 RTS, 3 Xon/Xoff and RTS.
    virtual bool setHandshaking(int code, QString* errorText) = 0;
    virtual int handshaking() const = 0;
    virtual bool setPortNumber(int port, QString* errorText) = 0;
    virtual int portNumber() const = 0;
    // The device the port number names now (empty when none does).
    virtual QString deviceName() const = 0;

signals:
    // One port notification; text is set for codes that carry their own description.
    void comm(int code, const QString& text);
};
