#pragma once
// The image read and write as the session runs them: each answer of the meter is taken from the
// link's receive buffer and the next request goes out through the link. No window takes part:
// the configuration menu hears of a complete image through Session::imageComplete, and of the
// end of a write through Session::imageWriteEnded.
//
// Each transfer carries on only with the answer to its own latest request (Session::ReadTicket,
// WriteTicket): an answer to a request of a transfer that has ended is stale and changes nothing.

#include <cstdint>

class Session;

namespace modBinaryRW {

// Ends any transfer in progress and sends the first read request.
void StartImageRead(Session& session);
// One function-code-32 answer: stores the block and asks for the next one; when the image is
// complete it marks it valid, leaves offline mode and tells imageComplete. A block that cannot
// belong to the image ends the read as failed (the link asks "Work Offline?").
void ReceiveImageBlock(Session& session);
// Sends the next block of the image write: flag 0 starts it, flag 1 answers each
// function-code-33 acknowledgement.
void SendImageBlock(Session& session, int flag);
// The menu's send: encodes the cells into the image and, when the image may go to the meter,
// ends any transfer in progress and sends its first block (true).
bool StartImageWrite(Session& session);
// The meter's closing answers (37 done, 93 refused, 86): they end the transfer they answer.
void TransferEnded(Session& session, std::uint8_t code);
// Takes the image into the cells: the cell map, the decode and the shown checksum.
void TakeImage(Session& session);

} // namespace modBinaryRW
