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
    QStringList devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices << info.systemLocation();
    devices = orderDevices(devices);
    if (n > devices.size())
        return {};
    return stableAlias(devices.at(n - 1));
#endif
}

} // namespace portnames
