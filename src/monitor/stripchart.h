#pragma once
// Strip chart arithmetic of the data log window, in twips: where a value lands inside the chart
// frame, the pen that steps across the frame one line per answer, the five scale labels of an axis
// and the "+" / "-" full-scale buttons. Plain code: the window draws what this computes.

#include <QString>

#include <cstdint>
#include <vector>

namespace stripchart {

// The chart frame (shpFlow), twips.
struct Frame {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// One axis: 0..FullScale, or -FullScale..FullScale when bi-polar.
struct Axis {
    std::int32_t FullScale = 1;
    bool BiPolar = false;
};

// Steps across one chart; the step after the last one clears it.
inline constexpr int kSteps = 211;
inline constexpr int kStepDivisor = 220;

// y (twips) of a value: the axis top at Top - 25, its bottom at Top + Height - 75; values beyond
// either end are drawn at that end.
int PlotY(double value, const Axis& axis, const Frame& frame);
// x (twips) one step right of x.
int NextX(int x, const Frame& frame);

// Scale label k (0 = bottom .. 4 = top): its Top (twips) and its caption.
int LabelTop(int k, const Frame& frame);
double LabelValue(int k, const Axis& axis);
QString LabelCaption(int k, const Axis& axis, const QString& picture);
inline const char* const kLeftPicture = "##0";
inline const char* const kRightPicture = "####0";

// "+" widens the full scale by 5 %, "-" narrows it by 5 %, rounded half to even; the result stays
// within 1 .. 2147483647.
std::int32_t Widen(std::int32_t fullScale);
std::int32_t Narrow(std::int32_t fullScale);

struct Line {
    int x0, y0, x1, y1; // twips
    bool left;          // the left trace (blue), else the right one (red)
};

struct Step {
    std::vector<Line> lines;
    bool clear = false; // the chart is full: clear it, the next point starts at the left edge
};

// The pen state: steps drawn since the chart restarted, pen x, last y of each trace.
struct Pen {
    std::int16_t PlotCount = 0;
    std::int16_t PlotX = 0;
    std::int16_t LeftY = 0;
    std::int16_t RightY = 0;

    // One chart step with the left value L and the right value R (drawn only when right is true).
    // The first step of a chart only places the pen.
    Step PlotPoint(double L, double R, bool right, const Axis& leftAxis, const Axis& rightAxis, const Frame& frame);
    // Restart at the left edge with both traces at the frame's bottom.
    void Restart(const Frame& frame);
};

} // namespace stripchart
