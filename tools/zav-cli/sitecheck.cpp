#include "sitecheck.h"

#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"

#include <QFileInfo>
#include <memory>

namespace zavcli {

namespace {
QString hexByte(std::uint8_t b)
{
    return QStringLiteral("0x") + QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}
} // namespace

SiteCheck CheckSiteFile(const QString& path)
{
    SiteCheck c;
    QByteArray bytes;
    const QString error = sitefile::ReadFileBytes(path, sitefile::kRecallReadLimit, bytes);
    if (!error.isEmpty()) {
        c.verdict = SiteCheck::Verdict::Unreadable;
        c.reason = QStringLiteral("cannot read %1: %2").arg(path, error);
        return c;
    }
    // What was read is the whole file unless the read stopped at its limit; the size of a longer
    // file is known only for a regular file (a device has none).
    const QFileInfo info(path);
    c.fileBytes = bytes.size() < sitefile::kRecallReadLimit ? bytes.size() : info.isFile() ? info.size() : -1;
    const qint64 wholeFile = sitefile::kHeadBytes + sitefile::kImageBytes;

    // A scratch image: the recall clears and fills it exactly as the menu's recall does.
    auto scratch = std::make_unique<modData::MeterData>();
    const sitefile::Recall r = sitefile::RecallSiteFile(bytes, *scratch);
    c.model = r.model;
    c.version = r.version;
    c.storedChecksum = r.storedChecksum;
    c.imageChecksum = modBinaryRW::ByteChecksum(*scratch, r.imageBytes);

    switch (r.outcome) {
    case sitefile::RecallOutcome::TooLong:
        c.verdict = SiteCheck::Verdict::TooLong;
        c.reason = QStringLiteral("%1 is not a site file: %2, more than an image can hold (a site file has %3)")
                       .arg(path,
                            c.fileBytes < 0 ? QStringLiteral("at least %1 bytes").arg(bytes.size())
                                            : QStringLiteral("%1 bytes").arg(c.fileBytes))
                       .arg(wholeFile);
        break;
    case sitefile::RecallOutcome::NotValid:
        if (r.imageBytes != sitefile::kImageBytes) {
            c.verdict = SiteCheck::Verdict::WrongLength;
            c.reason = QStringLiteral("%1 cannot be sent: it has %2 bytes, a site file has %3 (3-byte head and %4 image "
                                      "bytes)")
                           .arg(path)
                           .arg(c.fileBytes)
                           .arg(wholeFile)
                           .arg(sitefile::kImageBytes);
        } else {
            c.verdict = SiteCheck::Verdict::WrongChecksum;
            c.reason = QStringLiteral("%1 cannot be sent: its checksum byte is %2 but its image sums to %3")
                           .arg(path, hexByte(c.storedChecksum), hexByte(c.imageChecksum));
        }
        break;
    case sitefile::RecallOutcome::Valid:
        c.verdict = SiteCheck::Verdict::Sendable;
        c.reason = QStringLiteral("%1: site file of model %2, version %3, %4 image bytes, checksum %5: can be sent")
                       .arg(path)
                       .arg(c.model)
                       .arg(c.version)
                       .arg(sitefile::kImageBytes)
                       .arg(hexByte(c.storedChecksum));
        break;
    }
    return c;
}

} // namespace zavcli
