#include "meterdata/sitefile.h"

#include "meterdata/modBinaryRW.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace sitefile {

QByteArray SiteFileBytes(std::uint8_t model, std::uint8_t version, const modData::MeterData& data)
{
    const int length = std::min<int>(data.ImageLength, modData::ParamImageSize);
    QByteArray bytes;
    bytes.reserve(kHeadBytes + length);
    bytes.append(static_cast<char>(model));
    bytes.append(static_cast<char>(version));
    bytes.append(static_cast<char>(modBinaryRW::ByteChecksum(data, length)));
    bytes.append(reinterpret_cast<const char*>(data.ParamImage.data()), length);
    return bytes;
}

Recall RecallSiteFile(const QByteArray& file, modData::MeterData& data)
{
    std::fill_n(data.ParamImage.begin(), kClearedBytes, std::uint8_t{0});

    Recall r;
    auto head = [&file](int i) { return i < file.size() ? static_cast<std::uint8_t>(file[i]) : std::uint8_t{0}; };
    r.model = head(0);
    r.version = head(1);
    r.storedChecksum = head(2);

    const qsizetype available = std::max<qsizetype>(0, file.size() - kHeadBytes);
    const qsizetype taken = std::min<qsizetype>(available, modData::ParamImageSize);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(file.constData()) + kHeadBytes, taken, data.ParamImage.begin());
    r.imageBytes = static_cast<int>(taken);
    if (available > modData::ParamImageSize) {
        r.outcome = RecallOutcome::TooLong;
        return r;
    }

    data.ImageLength = kImageBytes;
    const bool whole = r.imageBytes == kImageBytes;
    r.outcome = whole && modBinaryRW::ByteChecksum(data, r.imageBytes) == r.storedChecksum ? RecallOutcome::Valid
                                                                                         : RecallOutcome::NotValid;
    return r;
}

namespace {
QString reason(const QFileDevice& f)
{
    const QString text = f.errorString();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}
} // namespace

QString SaveFileBytes(const QString& path, const QByteArray& bytes)
{
    if (QFileInfo(path).isDir())
        return QStringLiteral("it is a folder");
    QSaveFile f(path);
    // Unbuffered: a short write must show here. Buffered, it would surface only in the flush
    // inside commit(), which does not fail on it, and a truncated file would replace the old one.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return reason(f);
    if (f.write(bytes) != bytes.size()) {
        const QString why = reason(f);
        f.cancelWriting();
        return why;
    }
    if (!f.commit())
        return reason(f);
    return {};
}

QString ReadFileBytes(const QString& path, qint64 maxBytes, QByteArray& bytes)
{
    bytes.clear();
    if (QFileInfo(path).isDir())
        return QStringLiteral("it is a folder");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return reason(f);
    QByteArray read = f.read(maxBytes);
    if (f.error() != QFileDevice::NoError)
        return reason(f);
    bytes = std::move(read);
    return {};
}

} // namespace sitefile
