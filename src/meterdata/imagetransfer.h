#pragma once
// The image read and write as the session runs them: each answer of the meter is taken from the
// link's receive buffer and the next request goes out through the link.

class Session;

namespace modBinaryRW {

// One function-code-32 answer: stores the block, asks for the next one, and when the image is
// complete marks it valid, leaves offline mode and unlocks the configuration menu if it is shown.
void ReceiveImageBlock(Session& session);
// Sends the next block of the image write: flag 0 starts it, flag 1 answers each
// function-code-33 acknowledgement.
void SendImageBlock(Session& session, int flag);

} // namespace modBinaryRW
