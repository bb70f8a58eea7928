#pragma once
// The identification answer (function code 34): byte 4 model code, byte 5 firmware version,
// bytes 6-7 serial number, low byte first. One decoder for the window tool and the command line.

#include <cstdint>

class Session;

namespace identification {

struct Identity {
    std::uint8_t model = 0;
    std::uint8_t version = 0;
    std::uint16_t serial = 0;
};

Identity Decode(const std::uint8_t* rx);

// Takes the answer in the link's receive buffer into MeterModel, FirmwareVersion, SerialNumber.
void TakeIdentity(Session& session);
// TakeIdentity, then the first image read request: how meter setup goes on after identifying.
void RcvID(Session& session);

} // namespace identification
