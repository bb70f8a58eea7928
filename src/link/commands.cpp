#include "link/commands.h"

#include "link/frmCDR.h"
#include "link/linktrace.h"

namespace modComFun {

std::uint64_t SendFrame(frmCDR& link, const std::vector<std::uint8_t>& frame)
{
    return link.Write_to_COMM_B(frame.data(), static_cast<std::uint16_t>(frame.size()));
}

std::uint64_t BuildCommand(frmCDR& link, int kind, std::uint8_t node, std::uint8_t b, std::int32_t w)
{
    link.vars().AccessCode = kAccessCode;
    if (kind == KindLiveData)
        node = link.vars().NodeAddress;
    const std::vector<std::uint8_t> frame = CommandFrame(kind, node, b, w);
    return frame.empty() ? 0 : SendFrame(link, frame);
}

std::uint64_t SendShortCommand(frmCDR& link, std::uint8_t code)
{
    return SendFrame(link, ShortCommandFrame(link.vars().NodeAddress, code));
}

void HandleResponse(frmCDR& link)
{
    const std::size_t m = link.RxCount;
    if (m < 3 || !CrcMatches(link.RxBuffer.data(), m)) {
        qCDebug(lcLink).noquote() << "refused" << linktrace::Hex(link.RxBuffer.data(), m) << "(bad CRC)";
        return;
    }
    link.acceptAnswer();
}

} // namespace modComFun
