#include "platform/fakeserialdevice.h"

#include "platform/linesettings.h"

bool FakeSerialDevice::open(QString* errorText)
{
    if (failOpen || m_open) {
        if (errorText)
            *errorText = m_open ? QStringLiteral("Port already open") : openError;
        return false;
    }
    m_open = true;
    ++openCount;
    return true;
}

void FakeSerialDevice::close()
{
    m_open = false;
}

bool FakeSerialDevice::write(const QByteArray& bytes)
{
    if (!m_open || failWrite)
        return false;
    writes.append(bytes);
    return true;
}

QByteArray FakeSerialDevice::readAll()
{
    QByteArray out;
    out.swap(m_input);
    return out;
}

bool FakeSerialDevice::setSettings(const QString& settings, QString* errorText)
{
    LineSettings parsed;
    if (!LineSettings::parse(settings, &parsed)) {
        if (errorText)
            *errorText = QStringLiteral("Invalid Port Settings: \"%1\"").arg(settings);
        return false;
    }
    m_settings = parsed.text();
    return true;
}

bool FakeSerialDevice::setHandshaking(int code, QString* errorText)
{
    if (code < 0 || code > 3) {
        if (errorText)
            *errorText = QStringLiteral("Invalid property value");
        return false;
    }
    m_handshaking = code;
    return true;
}

bool FakeSerialDevice::setPortNumber(int port, QString* errorText)
{
    if (m_open || port < 1 || port > 255) {
        if (errorText)
            *errorText = m_open ? QStringLiteral("Port already open") : QStringLiteral("Invalid Port Number");
        return false;
    }
    m_port = port;
    return true;
}

void FakeSerialDevice::receive(const QByteArray& bytes)
{
    m_input += bytes;
    emit comm(EvReceive, QString());
}

QByteArray FakeSerialDevice::written() const
{
    QByteArray all;
    for (const QByteArray& w : writes)
        all += w;
    return all;
}
