#pragma once
// The serial port on QSerialPort.

#include "platform/linesettings.h"
#include "platform/serialdevice.h"

#include <QSerialPort>

class SettingsStore;

class QtSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    explicit QtSerialDevice(const SettingsStore& store, QObject* parent = nullptr);
    ~QtSerialDevice() override;

    bool open(QString* errorText) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesWaiting() const override;
    qint64 outQueueCount() const override;
    bool setSettings(const QString& settings, QString* errorText) override;
    QString settings() const override;
    bool setHandshaking(int code, QString* errorText) override;
    int handshaking() const override;
    bool setPortNumber(int port, QString* errorText) override;
    int portNumber() const override;
    QString deviceName() const override;

    // Why a device did not open, in the terms a technician acts on.
    enum class OpenFailure { NotPresent, Busy, NoPermission, Other };
    // Qt tells a busy device and a forbidden one by the same code: the device's access rights decide.
    static OpenFailure classify(QSerialPort::SerialPortError error, const QString& device);
    // Texts of the port's failures, naming the device and what to do.
    static QString openFailureText(OpenFailure why, const QString& device, const QString& detail);
    static QString lostDeviceText(const QString& device, const QString& detail);

private:
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool applyLineSettings(QString* errorText);

    const SettingsStore& m_store;
    QSerialPort m_port;
    LineSettings m_line;
    int m_handshaking = 0;
    int m_portNumber = 1;
    QString m_openDevice;
};
