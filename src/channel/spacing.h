#pragma once
// Clamp-on geometry: the transducer spacing along the pipe from Snell's law, the wedge angle shown
// for a refraction sine and the sine stored for a typed angle, and the scale from a length unit's
// factor to metres.

namespace spacing {

// The value of pi the meter's angle conversions have always used; an angle stored with it reopens
// on the same degrees.
inline constexpr double kPi = 3.1415;

struct PipeGeometry {
    double outsideDiameter = 0.0; // m
    double wall = 0.0;            // m
    float wallSpeed = 0.0f;       // m/s; 0 when the material has none ("Other")
    float sinRefract = 0.0f;      // sine of the wedge refraction angle
    float wedgeSpeed = 0.0f;      // m/s
    float fluidSpeed = 0.0f;      // m/s: the channel's upper sound-speed limit
    int traverses = 1;
};

enum class Fault {
    None,
    NoWedgeSpeed,      // the wedge speed is not above 0
    NoFluidRefraction, // the sine of the refraction angle in the fluid is 1 or more
    NoLength,          // the result is not a finite length of 0 or more
};

struct Result {
    double metres = 0.0;
    Fault fault = Fault::None;
};

// The spacing of the two transducers: the fluid part, inside diameter x tan(fluid angle) per
// traverse, plus the wall part, twice the wall x tan(wall angle). A wall angle without solution
// counts with a tangent of 2.
Result TransducerSpacing(const PipeGeometry& g);

// The wedge angle in degrees for a refraction sine: 90 for a sine of 1 or more, -90 for -1 or less.
double WedgeAngle(float sinRefract);
// The refraction sine stored for an angle in degrees.
float SinRefract(double degrees);

// Metres per shown unit for a unit factor held as a single, taken to the single's 7 significant
// digits (0.001 for "mm", 0.0254 for "inch"): a typed 25.4 mm stores the same single as 0.0254 m.
double MetresPerUnit(float factor);

} // namespace spacing
