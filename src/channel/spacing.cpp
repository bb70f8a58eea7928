#include "channel/spacing.h"

#include "platform/vbtext.h"

#include <cmath>

namespace spacing {

Result TransducerSpacing(const PipeGeometry& g)
{
    const double s = g.sinRefract;
    const double cx = g.wedgeSpeed;
    if (!(cx > 0.0))
        return {0.0, Fault::NoWedgeSpeed};
    const double sw = s * g.wallSpeed / cx;
    const double tw = 1.0 - sw * sw > 0.0 ? sw / std::sqrt(1.0 - sw * sw) : 2.0;
    const double sf = s * g.fluidSpeed / cx;
    if (!(1.0 - sf * sf > 0.0))
        return {0.0, Fault::NoFluidRefraction};
    const double tf = sf / std::sqrt(1.0 - sf * sf);
    const double inside = g.outsideDiameter - 2.0 * g.wall;
    const double metres = inside * tf * g.traverses + 2.0 * g.wall * tw;
    if (!std::isfinite(metres) || metres < 0.0)
        return {0.0, Fault::NoLength};
    return {metres, Fault::None};
}

double WedgeAngle(float sinRefract)
{
    const double s = sinRefract;
    if (s >= 1.0)
        return 90.0;
    if (s <= -1.0)
        return -90.0;
    if (std::isnan(s))
        return 0.0;
    return std::atan(s / std::sqrt(1.0 - s * s)) * 180.0 / kPi;
}

float SinRefract(double degrees)
{
    return static_cast<float>(std::sin(degrees * kPi / 180.0));
}

double MetresPerUnit(float factor)
{
    return vbtext::Val(vbtext::CStrSingle(factor));
}

} // namespace spacing
