#include "engine/imagetransfer.h"

#include "engine/session.h"
#include "link/commands.h"
#include "meterdata/modBinaryRW.h"

namespace modBinaryRW {

void ReceiveImageBlock(Session& session)
{
    frmCDR& link = session.link();
    const ImageBlockResult r = ReceiveImageBlock(session, link.RxBuffer.data(), link.RxCount);
    if (r.requestNext)
        modComFun::SendFrame(link, ImageReadRequest(session.NodeAddress));
    if (!r.complete)
        return;
    session.ImageValid = 1;
    session.OfflineMode = 0;
    emit session.imageComplete();
}

void SendImageBlock(Session& session, int flag)
{
    modComFun::SendFrame(session.link(), SendImageBlock(static_cast<modData::MeterData&>(session), session.NodeAddress, flag));
}

bool StartImageWrite(Session& session)
{
    EncodeImage(session);
    if (session.ImageValid != 1)
        return false;
    SendImageBlock(session, 0);
    return true;
}

void TakeImage(Session& session)
{
    BuildCellMap(session);
    DecodeImage(session);
    session.ImageChecksum = static_cast<std::int16_t>(DisplayChecksum(session, session.ImageLength));
}

} // namespace modBinaryRW
