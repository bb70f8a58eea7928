#pragma once
// The answer routing table: function code -> the one handler that owns answers of that code. The
// owners register their handlers; the link dispatches each accepted answer through here and
// knows none of them. A code without a handler is accepted and goes no further.

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class AnswerRoutes {
public:
    using Handler = std::function<void()>;

    // Sets (or replaces) the handler of a code; owner names it in the link trace ("frmLog.Setform").
    void route(std::uint8_t code, QString owner, Handler handler);
    void clear(std::uint8_t code);

    // Calls the handler of the code, if any; true when there was one.
    bool dispatch(std::uint8_t code) const;
    // The owner's name, or an empty text.
    QString owner(std::uint8_t code) const { return m_routes[code].owner; }
    // The handler of the code (empty when none): kept by a caller that borrows the route.
    Handler handler(std::uint8_t code) const { return m_routes[code].handler; }

private:
    struct Route {
        QString owner;
        Handler handler;
    };
    std::array<Route, 256> m_routes{};
};
