#pragma once
// Sending requests through the link window and routing the answers that come back.

#include "link/modComFun.h"

class Session;

namespace modComFun {

// Builds the request of the given kind (0..6) and sends it at once.
void BuildCommand(Session& session, int kind, std::uint8_t node, std::uint8_t b, std::int32_t w);
// node, code, access code, 0, 0, CRC: sent at once.
void SendShortCommand(Session& session, std::uint8_t code);
// Hands a finished frame to the link window.
void SendFrame(Session& session, const std::vector<std::uint8_t>& frame);

// Checks the CRC of the answer in the link window's RxBuffer (RxCount bytes) and routes it by its
// function code to the window that owns the code.
void HandleResponse(Session& session);

} // namespace modComFun
