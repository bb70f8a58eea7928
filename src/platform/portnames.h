#pragma once
// Which device a port number names.

#include <QString>
#include <QList>
#include <QStringList>

class SettingsStore;

namespace portnames {

// The settings section and key that map a port number to a device path ("Ports", "Com<n>").
QString sectionName();
QString keyFor(int port);

// Orders system serial devices the way port numbers count them: USB adapters (ttyUSB*, ttyACM*)
// first, then ttyS*, then anything else, each group in natural name order (ttyS2 before ttyS10).
QStringList orderDevices(QStringList devices);

// The device that port number n names: on Windows "COMn"; elsewhere the device stored for it in the
// settings store, else the n-th serial device the system reports (its stable /dev/serial/by-id alias
// where one exists). Empty when there is none.
QString deviceForPort(int n, const SettingsStore& store);

// A serial device the system reports: its stable name, and what the system says of it (maker,
// product, serial number, USB vendor and product codes, its kernel name when the stable name differs).
struct DetectedDevice {
    QString path;
    QString description;
};
// The system's serial devices in the order port numbers count them.
QList<DetectedDevice> detectedDevices();

// The /dev/serial/by-id alias of a device, or the device itself when it has none.
QString stableAlias(const QString& device, const QString& byIdDir = QStringLiteral("/dev/serial/by-id"));

} // namespace portnames
