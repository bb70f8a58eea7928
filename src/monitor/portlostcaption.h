#pragma once
// A polling window tells in its caption that the serial port is lost, and since when, while its
// polls go on trying at their period; the caption is itself again once a request has left.

class QWidget;
class Session;

namespace portlostcaption {

// Follows the session's link for the window: its caption as it is now is kept as the plain one.
void Follow(Session& session, QWidget& window);

} // namespace portlostcaption
