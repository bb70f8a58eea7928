#include "monitor/stripchart.h"

#include "platform/vbtext.h"

#include <limits>

namespace stripchart {

namespace {
constexpr double kGrid[5] = {1.0, 0.75, 0.5, 0.25, 0.0};

int roundInt(double v)
{
    return static_cast<int>(vbtext::RoundHalfEven(v));
}

std::int32_t rescale(std::int32_t fullScale, double factor)
{
    const long long r = vbtext::RoundHalfEven(static_cast<double>(fullScale) * factor);
    if (r < 1)
        return 1;
    if (r > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}
} // namespace

int PlotY(double value, const Axis& axis, const Frame& f)
{
    const double hi = axis.FullScale;
    const double lo = axis.BiPolar ? -hi : 0.0;
    double v = value;
    // "Not below hi" also catches a value that is not a number.
    if (!(v < hi))
        v = hi;
    else if (v < lo)
        v = lo;
    const double frac = (v - lo) / (hi - lo);
    int y = roundInt((1.0 - frac) * (f.Height - 50) + (f.Top - 25));
    const int bottom = f.Top + f.Height - 25;
    if (bottom < y)
        y = bottom;
    return y;
}

int NextX(int x, const Frame& f)
{
    return roundInt(x + f.Width / static_cast<double>(kStepDivisor));
}

int LabelTop(int k, const Frame& f)
{
    return roundInt((f.Height - 50) * kGrid[k] + (f.Top - 25));
}

double LabelValue(int k, const Axis& axis)
{
    const double fs = axis.FullScale;
    if (axis.BiPolar) {
        switch (k) {
        case 0: return -fs;
        case 1: return -fs / 2;
        case 2: return 0;
        case 3: return fs / 2;
        default: return fs;
        }
    }
    switch (k) {
    case 0: return 0;
    case 1: return fs / 4;
    case 2: return fs / 2;
    case 3: return 3 * fs / 4;
    default: return fs;
    }
}

QString LabelCaption(int k, const Axis& axis, const QString& picture)
{
    return vbtext::Format(LabelValue(k, axis), picture);
}

std::int32_t Widen(std::int32_t fullScale)
{
    return rescale(fullScale, 1.05);
}

std::int32_t Narrow(std::int32_t fullScale)
{
    return rescale(fullScale, 0.95);
}

Step Pen::PlotPoint(double L, double R, bool right, const Axis& leftAxis, const Axis& rightAxis, const Frame& f)
{
    Step step;
    if (PlotCount == 0)
        PlotX = static_cast<std::int16_t>(f.Left);
    const int x1 = NextX(PlotX, f);
    int penX = PlotX;

    const int yl = PlotY(L, leftAxis, f);
    if (PlotCount >= 1) {
        step.lines.push_back(Line{PlotX, LeftY, x1, yl, true});
        penX = x1;
    }
    LeftY = static_cast<std::int16_t>(yl);

    if (right) {
        const int yr = PlotY(R, rightAxis, f);
        if (PlotCount >= 1) {
            step.lines.push_back(Line{PlotX, RightY, x1, yr, false});
            penX = x1;
        }
        RightY = static_cast<std::int16_t>(yr);
    }

    PlotX = static_cast<std::int16_t>(penX);
    ++PlotCount;
    if (PlotCount > kSteps - 1) {
        PlotCount = 0;
        step.clear = true;
    }
    return step;
}

void Pen::Restart(const Frame& f)
{
    PlotCount = 0;
    PlotX = static_cast<std::int16_t>(f.Left);
    LeftY = static_cast<std::int16_t>(f.Top + f.Height);
    RightY = LeftY;
}

} // namespace stripchart
