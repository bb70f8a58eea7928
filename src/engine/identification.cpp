#include "engine/identification.h"

#include "engine/session.h"
#include "engine/imagetransfer.h"
#include "link/commands.h"

namespace identification {

Identity Decode(const std::uint8_t* rx)
{
    return {rx[4], rx[5], static_cast<std::uint16_t>(rx[6] + 256 * rx[7])};
}

void TakeIdentity(Session& session)
{
    const Identity id = Decode(session.link().RxBuffer.data());
    session.MeterModel = id.model;
    session.FirmwareVersion = id.version;
    session.SerialNumber = id.serial;
}

void RcvID(Session& session)
{
    TakeIdentity(session);
    modBinaryRW::StartImageRead(session);
}

} // namespace identification
