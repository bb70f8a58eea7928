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
}
