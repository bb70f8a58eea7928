#include "platform/portnames.h"

#include "platform/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace portnames {

QString sectionName()
{
    return QStringLiteral("Ports");
}

QString keyFor(int port)
{
    return QStringLiteral("Com%1").arg(port);
}

namespace {
int groupOf(const QString& device)
{
    const QString base = QFileInfo(device).fileName();
    if (base.startsWith(QLatin1String("ttyUSB")) || base.startsWith(QLatin1String("ttyACM")))
        return 0;
    if (base.startsWith(QLatin1String("ttyS")))
        return 1;
    return 2;
}
} // namespace

namespace {
// Natural order: runs of digits compare by their value, so ttyS2 comes before ttyS10.
bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const qulonglong va = a.mid(i, ei - i).toULongLong();
            const qulonglong vb = b.mid(j, ej - j).toULongLong();
            if (va != vb)
                return va < vb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}
} // namespace

QStringList orderDevices(QStringList devices)
{
    std::stable_sort(devices.begin(), devices.end(), [](const QString& a, const QString& b) {
        const int ga = groupOf(a);
        const int gb = groupOf(b);
        if (ga != gb)
            return ga < gb;
        return naturalLess(a, b);
    });
    return devices;
}

QString stableAlias(const QString& device, const QString& byIdDir)
{
    const QDir dir(byIdDir);
    if (!dir.exists())
        return device;
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return device;
    const QFileInfoList links = dir.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        if (link.canonicalFilePath() == target)
            return link.absoluteFilePath();
    }
    return device;
}

QList<DetectedDevice> detectedDevices()
{
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    QStringList locations;
    for (const QSerialPortInfo& info : infos)
        locations << info.systemLocation();
    QList<DetectedDevice> out;
    for (const QString& location : orderDevices(locations)) {
        const auto info = std::find_if(infos.begin(), infos.end(),
                                       [&](const QSerialPortInfo& i) { return i.systemLocation() == location; });
        QStringList about;
        if (!info->manufacturer().isEmpty())
            about << info->manufacturer();
        if (!info->description().isEmpty() && info->description() != info->manufacturer())
            about << info->description();
        if (!info->serialNumber().isEmpty())
            about << QStringLiteral("serial %1").arg(info->serialNumber());
        if (info->hasVendorIdentifier() && info->hasProductIdentifier())
            about << QStringLiteral("USB %1:%2")
                         .arg(info->vendorIdentifier(), 4, 16, QLatin1Char('0'))
                         .arg(info->productIdentifier(), 4, 16, QLatin1Char('0'));
        const QString path = stableAlias(location);
        if (path != location)
            about << info->portName();
        out.append({path, about.join(QStringLiteral(", "))});
    }
    return out;
}

QString deviceForPort(int n, const SettingsStore& store)
{
#ifdef Q_OS_WIN
    Q_UNUSED(store);
    return QStringLiteral("COM%1").arg(n);
#else
    const QString stored = store.value(sectionName(), keyFor(n));
    if (!stored.isEmpty())
        return stored;
    if (n < 1)
        return {};
    const QList<DetectedDevice> devices = detectedDevices();
    if (n > devices.size())
        return {};
    return devices.at(n - 1).path;
#endif
}

} // namespace portnames
