#include "channel/caltable.h"

#include <algorithm>

namespace caltable {

bool Table::add(float px, float py)
{
    if (full())
        return false;
    // A linear search: points loaded from an image need not be in order, and a point is never
    // put before one of equal x.
    int at = 0;
    while (at < count && !(x[static_cast<std::size_t>(at)] > px))
        ++at;
    for (int i = count; i > at; --i) {
        x[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(i - 1)];
        y[static_cast<std::size_t>(i)] = y[static_cast<std::size_t>(i - 1)];
    }
    x[static_cast<std::size_t>(at)] = px;
    y[static_cast<std::size_t>(at)] = py;
    ++count;
    return true;
}

void Table::remove(int i)
{
    if (i < 0 || i >= count)
        return;
    for (int k = i; k + 1 < count; ++k) {
        x[static_cast<std::size_t>(k)] = x[static_cast<std::size_t>(k + 1)];
        y[static_cast<std::size_t>(k)] = y[static_cast<std::size_t>(k + 1)];
    }
    --count;
}

void Table::load(const modData::ChannelRecord& r)
{
    count = static_cast<int>(std::min<std::uint32_t>(r.CalPoints.u, Points));
    for (int i = 0; i < count; ++i) {
        x[static_cast<std::size_t>(i)] = r.Curve.x[static_cast<std::size_t>(i)].f;
        y[static_cast<std::size_t>(i)] = r.Curve.y[static_cast<std::size_t>(i)].f;
    }
}

void Table::store(modData::ChannelRecord& r) const
{
    r.CalPoints.u = static_cast<std::uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        r.Curve.x[static_cast<std::size_t>(i)].f = x[static_cast<std::size_t>(i)];
        r.Curve.y[static_cast<std::size_t>(i)].f = y[static_cast<std::size_t>(i)];
    }
}

} // namespace caltable
