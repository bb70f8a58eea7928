#include "meterdata/imagetransfer.h"

#include "link/commands.h"
#include "link/frmCDR.h"
#include "meterdata/frmConfig.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/session.h"
#include "startup/windowregistry.h"

namespace modBinaryRW {

void ReceiveImageBlock(Session& session)
{
    frmCDR& link = session.windows().CDR();
    const ImageBlockResult r = ReceiveImageBlock(session, link.RxBuffer.data(), link.RxCount);
    if (r.requestNext)
        modComFun::SendFrame(session, ImageReadRequest(session.NodeAddress));
    if (!r.complete)
        return;
    session.ImageValid = 1;
    session.OfflineMode = 0;
    WindowRegistry& windows = session.windows();
    if (windows.hasConfig() && windows.Config().isVisible())
        windows.Config().Free_input();
    // Otherwise the calibration tables window takes the new image, once it exists.
}

void SendImageBlock(Session& session, int flag)
{
    modComFun::SendFrame(session, SendImageBlock(static_cast<modData::MeterData&>(session), session.NodeAddress, flag));
}

} // namespace modBinaryRW
