#include "engine/engineroutes.h"

#include "engine/identification.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"

void InstallEngineRoutes(Session& session)
{
    using namespace modComFun;
    AnswerRoutes& r = session.routes();
    r.route(Identify, QStringLiteral("identification"), [&session] { identification::RcvID(session); });
    r.route(ReadImage, QStringLiteral("image reader"), [&session] { modBinaryRW::ReceiveImageBlock(session); });
    r.route(WriteImage, QStringLiteral("image writer"), [&session] { modBinaryRW::SendImageBlock(session, 1); });
    for (std::uint8_t code : {TransferDone, WriteRefused, Code86})
        r.route(code, QStringLiteral("image transfer end"), [&session, code] { modBinaryRW::TransferEnded(session, code); });
}
