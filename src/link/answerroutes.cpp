#include "link/answerroutes.h"

void AnswerRoutes::route(std::uint8_t code, QString owner, Handler handler)
{
    m_routes[code] = {std::move(owner), std::move(handler)};
}

void AnswerRoutes::clear(std::uint8_t code)
{
    m_routes[code] = {};
}

bool AnswerRoutes::dispatch(std::uint8_t code) const
{
    // A copy: a handler may replace its own route while it runs.
    const Handler handler = m_routes[code].handler;
    if (!handler)
        return false;
    handler();
    return true;
}
