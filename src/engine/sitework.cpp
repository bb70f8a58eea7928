#include "engine/sitework.h"

#include "engine/session.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"

namespace sitework {

QString StoreSite(Session& session, const QString& path)
{
    modBinaryRW::EncodeImage(session);
    const QString error =
        sitefile::SaveFileBytes(path, sitefile::SiteFileBytes(session.MeterModel, session.FirmwareVersion, session));
    // The edits are kept in the file now: replacing the cells loses nothing of them.
    if (error.isEmpty())
        session.KeepImage();
    return error;
}

Recalled RecallSite(Session& session, const QString& path)
{
    Recalled result;
    QByteArray file;
    result.error = sitefile::ReadFileBytes(path, sitefile::kRecallReadLimit, file);
    if (!result.error.isEmpty())
        return result;
    return RecallSiteBytes(session, file);
}

Recalled RecallSiteBytes(Session& session, const QByteArray& file)
{
    Recalled result;
    // A file with more image bytes than the image holds is no site file: taking its first part
    // would leave an image that matches neither the file nor the cells, and a later store would
    // mix the two. It is refused before anything changes.
    if (file.size() - sitefile::kHeadBytes > static_cast<qsizetype>(modData::ParamImageSize)) {
        result.outcome = Recalled::Outcome::TooLong;
        return result;
    }
    // A transfer still running would go on with the recalled image.
    session.EndTransfers();
    session.ImageValid = 0;
    const sitefile::Recall r = sitefile::RecallSiteFile(file, session);
    session.MeterModel = r.model;
    session.FirmwareVersion = r.version;
    result.outcome = Recalled::Outcome::Taken;
    result.valid = r.outcome == sitefile::RecallOutcome::Valid;
    if (result.valid)
        session.ImageValid = 1;
    return result;
}

} // namespace sitework
