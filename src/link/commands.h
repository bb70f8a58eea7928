#pragma once
// Sending requests through the link window and accepting the answers that come back.

#include "link/modComFun.h"

class frmCDR;

namespace modComFun {

// Builds the request of the given kind (0..6) and sends it at once. Each returns the request's
// ticket (frmCDR::Write_to_COMM_B); 0 when no frame was built.
std::uint64_t BuildCommand(frmCDR& link, int kind, std::uint8_t node, std::uint8_t b, std::int32_t w);
// node, code, access code, 0, 0, CRC: sent at once.
std::uint64_t SendShortCommand(frmCDR& link, std::uint8_t code);
// Hands a finished frame to the link window.
std::uint64_t SendFrame(frmCDR& link, const std::vector<std::uint8_t>& frame);

// Checks the CRC of the answer in the link window's RxBuffer (RxCount bytes); a good answer stops
// the time-out, turns the indicator green and is routed by its function code to the handler that
// owns the code. A bad one is dropped without a word.
void HandleResponse(frmCDR& link);

} // namespace modComFun
