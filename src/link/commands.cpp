#include "link/commands.h"

#include "link/frmCDR.h"
#include "meterdata/imagetransfer.h"
#include "meterdata/session.h"
#include "monitor/frmLog.h"
#include "startup/frmStart.h"
#include "startup/windowregistry.h"

namespace modComFun {

void SendFrame(Session& session, const std::vector<std::uint8_t>& frame)
{
    session.windows().CDR().Write_to_COMM_B(frame.data(), static_cast<std::uint16_t>(frame.size()));
}

void BuildCommand(Session& session, int kind, std::uint8_t node, std::uint8_t b, std::int32_t w)
{
    session.AccessCode = kAccessCode;
    if (kind == 0)
        node = session.NodeAddress;
    const std::vector<std::uint8_t> frame = CommandFrame(kind, node, b, w);
    if (!frame.empty())
        SendFrame(session, frame);
}

void SendShortCommand(Session& session, std::uint8_t code)
{
    SendFrame(session, ShortCommandFrame(session.NodeAddress, code));
}

void HandleResponse(Session& session)
{
    frmCDR& link = session.windows().CDR();
    const std::size_t m = link.RxCount;
    if (m < 3 || !CrcMatches(link.RxBuffer.data(), m))
        return;
    link.tmrTimeOut->stop();
    frmStart& start = session.windows().Start();
    start.SetLinkColour(frmStart::kColourGreen);
    if (session.answerHook && session.answerHook(link.RxBuffer[1]))
        return;
    switch (link.RxBuffer[1]) {
    case Identify:
        start.RcvID();
        break;
    case LiveData:
        session.windows().Log().Setform();
        break;
    case ReadImage:
        modBinaryRW::ReceiveImageBlock(session);
        break;
    case WriteImage:
        modBinaryRW::SendImageBlock(session, 1);
        break;
    // Diagnostics (31), raw signal (35), output trim
    // (36, 46), zero calibration (38) and the plot mark (99) go to their windows; until a window
    // exists its answers are accepted here and go no further, like 37, 86, 93 and unknown codes.
    default:
        break;
    }
}

} // namespace modComFun
