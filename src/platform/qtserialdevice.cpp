#include "platform/qtserialdevice.h"

#include "platform/portnames.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

QtSerialDevice::QtSerialDevice(const SettingsStore& store, QObject* parent)
    : SerialDevice(parent), m_store(store)
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] { emit comm(EvReceive, QString()); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialDevice::onErrorOccurred);
}

QtSerialDevice::~QtSerialDevice()
{
    if (m_port.isOpen())
        m_port.close();
}

QtSerialDevice::OpenFailure QtSerialDevice::classify(QSerialPort::SerialPortError error, const QString& device)
{
    if (error == QSerialPort::DeviceNotFoundError || !QFileInfo::exists(device))
        return OpenFailure::NotPresent;
    if (error != QSerialPort::PermissionError)
        return OpenFailure::Other;
#ifdef Q_OS_UNIX
    // Refused with read and write rights: another program holds the device (its lock or exclusive
    // open).
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return OpenFailure::NoPermission;
#endif
    return OpenFailure::Busy;
}

QString QtSerialDevice::openFailureText(OpenFailure why, const QString& device, const QString& detail)
{
    switch (why) {
    case OpenFailure::NotPresent:
        return QStringLiteral("The serial port %1 was not found. Check that the adapter is plugged in, or choose the "
                              "port's device under Serial Setup.")
            .arg(device);
    case OpenFailure::Busy:
        return QStringLiteral("The serial port %1 is in use by another program (%2). Close that program, or choose "
                              "another port under Serial Setup.")
            .arg(device, detail);
    case OpenFailure::NoPermission:
#ifdef Q_OS_LINUX
        return QStringLiteral("No permission to open the serial port %1 (%2). Add the user to the \"dialout\" group "
                              "with the command: sudo usermod -aG dialout $USER, then log out and in again.")
            .arg(device, detail);
#else
        return QStringLiteral("No permission to open the serial port %1 (%2).").arg(device, detail);
#endif
    case OpenFailure::Other:
        break;
    }
    return QStringLiteral("The serial port %1 could not be opened: %2. Check that the adapter is plugged in and "
                          "that no other program uses it, or choose another port under Serial Setup.")
        .arg(device, detail);
}

QString QtSerialDevice::lostDeviceText(const QString& device, const QString& detail)
{
    return QStringLiteral("The serial port %1 is no longer available (%2): the adapter was unplugged or the device "
                          "went away. The port has been closed; plug the adapter back in, and the next request opens "
                          "it again.")
        .arg(device, detail);
}

bool QtSerialDevice::open(QString* errorText)
{
    if (m_port.isOpen()) {
        if (errorText)
            *errorText = QStringLiteral("Port already open");
        return false;
    }
    const QString device = deviceName();
    if (device.isEmpty()) {
        if (errorText)
            *errorText = QStringLiteral("No serial device is known for Com%1. Plug in the adapter, or choose the "
                                        "port's device under Serial Setup.")
                             .arg(m_portNumber);
        return false;
    }
    m_port.setPortName(device);
    if (!applyLineSettings(errorText))
        return false;
    if (!m_port.open(QIODevice::ReadWrite)) {
        if (errorText)
            *errorText = openFailureText(classify(m_port.error(), device), device, m_port.errorString());
        m_port.clearError();
        return false;
    }
    m_openDevice = device;
    // open() keeps whatever was waiting in the driver; a stale answer must not reach the link.
    m_port.clear();
    return true;
}

void QtSerialDevice::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_openDevice.clear();
}

bool QtSerialDevice::isOpen() const
{
    return m_port.isOpen();
}

bool QtSerialDevice::write(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    m_port.flush();
    return true;
}

QByteArray QtSerialDevice::readAll()
{
    if (!m_port.isOpen())
        return {};
    return m_port.readAll();
}

qint64 QtSerialDevice::bytesWaiting() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

qint64 QtSerialDevice::outQueueCount() const
{
    return m_port.isOpen() ? m_port.bytesToWrite() : 0;
}

bool QtSerialDevice::setSettings(const QString& settings, QString* errorText)
{
    LineSettings parsed;
    if (!LineSettings::parse(settings, &parsed)) {
        if (errorText)
            *errorText = QStringLiteral("Invalid Port Settings: \"%1\"").arg(settings);
        return false;
    }
    if (parsed.dataBits < 5) {
        if (errorText)
            *errorText = QStringLiteral("Invalid Port Settings: %1 data bits are not supported").arg(parsed.dataBits);
        return false;
    }
    const LineSettings old = m_line;
    m_line = parsed;
    if (m_port.isOpen() && !applyLineSettings(errorText)) {
        m_line = old;
        applyLineSettings(nullptr);
        return false;
    }
    return true;
}

QString QtSerialDevice::settings() const
{
    return m_line.text();
}

bool QtSerialDevice::setHandshaking(int code, QString* errorText)
{
    if (code < 0 || code > 3) {
        if (errorText)
            *errorText = QStringLiteral("Invalid property value");
        return false;
    }
    m_handshaking = code;
    return !m_port.isOpen() || applyLineSettings(errorText);
}

int QtSerialDevice::handshaking() const
{
    return m_handshaking;
}

bool QtSerialDevice::setPortNumber(int port, QString* errorText)
{
    if (m_port.isOpen()) {
        if (errorText)
            *errorText = QStringLiteral("Port already open");
        return false;
    }
    if (port < 1 || port > 255) {
        if (errorText)
            *errorText = QStringLiteral("Invalid Port Number");
        return false;
    }
    m_portNumber = port;
    return true;
}

int QtSerialDevice::portNumber() const
{
    return m_portNumber;
}

QString QtSerialDevice::deviceName() const
{
    if (m_port.isOpen())
        return m_openDevice;
    return portnames::deviceForPort(m_portNumber, m_store);
}

bool QtSerialDevice::applyLineSettings(QString* errorText)
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (m_line.parity) {
    case 'e': parity = QSerialPort::EvenParity; break;
    case 'o': parity = QSerialPort::OddParity; break;
    case 'm': parity = QSerialPort::MarkParity; break;
    case 's': parity = QSerialPort::SpaceParity; break;
    default: break;
    }
    QSerialPort::StopBits stop = QSerialPort::OneStop;
    if (m_line.stopBits == QLatin1String("1.5"))
        stop = QSerialPort::OneAndHalfStop;
    else if (m_line.stopBits == QLatin1String("2"))
        stop = QSerialPort::TwoStop;
    // Qt knows one flow control at a time; "Xon/Xoff and RTS" uses the hardware lines.
    const QSerialPort::FlowControl flow = m_handshaking == 1 ? QSerialPort::SoftwareControl
                                          : m_handshaking >= 2 ? QSerialPort::HardwareControl
                                                               : QSerialPort::NoFlowControl;
    // A pseudo-terminal accepts the calls but ignores the rate; failures of single calls on a port
    // that is not open are impossible, so only the open port's answers count.
    const bool ok = m_port.setBaudRate(m_line.baud) && m_port.setDataBits(static_cast<QSerialPort::DataBits>(m_line.dataBits))
                    && m_port.setParity(parity) && m_port.setStopBits(stop) && m_port.setFlowControl(flow);
    if (!ok && m_port.isOpen()) {
        if (errorText)
            *errorText = QStringLiteral("Invalid Port Settings: %1").arg(m_port.errorString());
        m_port.clearError();
        return false;
    }
    m_port.clearError();
    return true;
}

void QtSerialDevice::onErrorOccurred(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        if (m_port.isOpen()) {
            // The far end is gone (unplugged adapter, closed pseudo-terminal): Qt would repeat the
            // error for as long as the port stays open, so close at once and report it once.
            const QString device = m_openDevice;
            const QString detail = m_port.errorString();
            m_port.close();
            m_openDevice.clear();
            emit comm(ErDeviceLost, lostDeviceText(device, detail));
        }
        break;
    default:
        break;
    }
}
