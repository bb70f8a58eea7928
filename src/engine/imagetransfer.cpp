#include "engine/imagetransfer.h"

#include "engine/session.h"
#include "link/commands.h"
#include "link/linktrace.h"
#include "meterdata/modBinaryRW.h"

namespace modBinaryRW {

namespace {

// Sends a frame of the transfer; its ticket, or 0 when the send ended the transfers (a failed
// port).
std::uint64_t SendForTransfer(Session& session, const std::vector<std::uint8_t>& frame)
{
    const std::uint64_t epoch = session.TransferEpoch;
    const std::uint64_t ticket = modComFun::SendFrame(session.link(), frame);
    return session.TransferEpoch == epoch ? ticket : 0;
}

// A whole image in one-word blocks: more blocks of an earlier read than this cannot come.
constexpr int kMaxPassedOver = ImageWords + 1;

bool Answers(Session& session, std::uint64_t ticket, const char* transfer)
{
    if (ticket != 0 && session.link().answeredTicket() == ticket)
        return true;
    qCDebug(lcLink).noquote() << "stale: the answer belongs to no" << transfer << "in progress";
    return false;
}

} // namespace

void StartImageRead(Session& session)
{
    session.EndTransfers();
    session.ReadAnnounced = 0;
    session.ReadPassedOver = 0;
    session.ReadTicket = SendForTransfer(session, ImageReadRequest(session.NodeAddress));
}

void ReceiveImageBlock(Session& session)
{
    if (!Answers(session, session.ReadTicket, "image read"))
        return;
    frmCDR& link = session.link();
    if (session.ReadClosing) {
        // The answer to the request after the last block: the read is over.
        session.ReadTicket = 0;
        session.ReadClosing = false;
        return;
    }
    // A meter still in an earlier read (stopped, or left by another program) goes on with it: its
    // blocks are passed over, without storing them, until it starts the image anew.
    if (session.ReadAnnounced == 0 && link.RxCount >= 8 && link.RxBuffer[3] != 0
        && session.ReadPassedOver < kMaxPassedOver) {
        ++session.ReadPassedOver;
        qCDebug(lcLink).noquote() << "passed over: a block of an earlier read";
        session.ReadTicket = SendForTransfer(session, ImageReadRequest(session.NodeAddress));
        return;
    }
    const ImageBlockResult r = ReceiveImageBlock(session, link.RxBuffer.data(), link.RxCount);
    if (!r.stored) {
        session.ReadTicket = 0;
        link.failExchange(QStringLiteral("the meter's image block does not fit the image read (%1 of %2 bytes taken)")
                              .arg(session.ImageLength)
                              .arg(ImageBytes));
        return;
    }
    session.ReadTicket = SendForTransfer(session, ImageReadRequest(session.NodeAddress));
    if (!r.complete)
        return;
    session.ReadClosing = session.ReadTicket != 0;
    session.ImageValid = 1;
    session.OfflineMode = 0;
    emit session.imageComplete();
}

void SendImageBlock(Session& session, int flag)
{
    if (flag != 0 && (!Answers(session, session.WriteTicket, "image write") || session.WriteClosing))
        return;
    const std::vector<std::uint8_t> frame =
        SendImageBlock(static_cast<modData::MeterData&>(session), session.NodeAddress, flag);
    const bool last = frame.size() > 5 && frame[5] == 2;
    session.WriteTicket = SendForTransfer(session, frame);
    session.WriteClosing = session.WriteTicket != 0 && last;
}

bool StartImageWrite(Session& session)
{
    EncodeImage(session);
    if (session.ImageValid != 1)
        return false;
    session.EndTransfers();
    SendImageBlock(session, 0);
    return true;
}

void TransferEnded(Session& session, std::uint8_t code)
{
    frmCDR& link = session.link();
    const std::uint64_t answered = link.answeredTicket();
    if (answered != 0 && answered == session.ReadTicket && !session.ReadClosing && session.ReadAnnounced == 0
        && session.ReadPassedOver > 0 && code == modComFun::TransferDone) {
        // The earlier read is over at the meter: the next request starts the image.
        session.ReadTicket = SendForTransfer(session, ImageReadRequest(session.NodeAddress));
        return;
    }
    if (answered != 0 && answered == session.ReadTicket) {
        const bool whole = session.ReadClosing;
        session.ReadTicket = 0;
        session.ReadClosing = false;
        if (!whole)
            link.failExchange(QStringLiteral("the meter ended the image read (code %1) after %2 of %3 bytes")
                                  .arg(code)
                                  .arg(session.ImageLength)
                                  .arg(ImageBytes));
        return;
    }
    if (answered != 0 && answered == session.WriteTicket) {
        const bool confirmed = code == modComFun::TransferDone && session.WriteClosing;
        session.WriteTicket = 0;
        session.WriteClosing = false;
        emit session.imageWriteEnded(confirmed ? Session::WriteOutcome::Confirmed : Session::WriteOutcome::Refused,
                                     code);
    }
}

void TakeImage(Session& session)
{
    BuildCellMap(session);
    DecodeImage(session);
    session.ImageChecksum = static_cast<std::int16_t>(DisplayChecksum(session, session.ImageLength));
}

} // namespace modBinaryRW
