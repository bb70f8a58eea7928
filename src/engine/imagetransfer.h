#pragma once
// The image read and write as the session runs them: each answer of the meter is taken from the
// link's receive buffer and the next request goes out through the link. No window takes part:
// the configuration menu hears of a complete image through Session::imageComplete.

class Session;

namespace modBinaryRW {

// One function-code-32 answer: stores the block and asks for the next one; when the image is
// complete it marks it valid, leaves offline mode and tells imageComplete.
void ReceiveImageBlock(Session& session);
// Sends the next block of the image write: flag 0 starts it, flag 1 answers each
// function-code-33 acknowledgement.
void SendImageBlock(Session& session, int flag);
// The menu's send: encodes the cells into the image and, when the image may go to the meter,
// sends its first block (true).
bool StartImageWrite(Session& session);
// Takes the image into the cells: the cell map, the decode and the shown checksum.
void TakeImage(Session& session);

} // namespace modBinaryRW
