#pragma once
// An in-memory serial port for the unit tests: records every write, delivers scripted input.

#include "platform/serialdevice.h"

#include <QList>

class FakeSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    explicit FakeSerialDevice(QObject* parent = nullptr) : SerialDevice(parent) {}

    bool open(QString* errorText) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesWaiting() const override { return m_input.size(); }
    qint64 outQueueCount() const override { return queued; }
    bool setSettings(const QString& settings, QString* errorText) override;
    QString settings() const override { return m_settings; }
    bool setHandshaking(int code, QString* errorText) override;
    int handshaking() const override { return m_handshaking; }
    bool setPortNumber(int port, QString* errorText) override;
    int portNumber() const override { return m_port; }
    QString deviceName() const override { return QStringLiteral("fake%1").arg(m_port); }

    // Puts bytes in the input and raises the receive notification.
    void receive(const QByteArray& bytes);
    // Puts bytes in the input without a notification (a late tail the driver holds).
    void queueInput(const QByteArray& bytes) { m_input += bytes; }
    // Raises a notification with the given code.
    void notify(int code, const QString& text = QString()) { emit comm(code, text); }

    // What the device was asked to do.
    QList<QByteArray> writes;
    QByteArray written() const;
    int openCount = 0;
    bool failOpen = false;
    QString openError = QStringLiteral("Invalid Port Number");
    bool failWrite = false;
    qint64 queued = 0;

private:
    bool m_open = false;
    QByteArray m_input;
    QString m_settings = QStringLiteral("9600,n,8,1");
    int m_handshaking = 0;
    int m_port = 1;
};
