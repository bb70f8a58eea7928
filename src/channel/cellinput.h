#pragma once
// Values typed into the setup windows' boxes, checked before they reach a parameter cell.
//
// A box is read as the meter's tools always read it (leading number, blanks skipped), but a text
// that holds no number at all, or whose value would not fit its cell (a byte above 255, a negative
// diameter, a word overflowing), or that is not finite, is refused: the window tells the user which
// box it is and keeps the cell's old value. Nothing a user types ever puts NaN, an infinity or a
// wrapped integer into the image. The boxes refused in one attempt are named in one message and
// show their old values again (refusals.h).

#include "meterdata/parametercell.h"

#include <QString>

#include <optional>

namespace cellinput {

// The range a stored value (typed value x scale) must lie in; both ends included.
struct Range {
    double min;
    double max;
};

inline constexpr Range kByte{0.0, 255.0};
inline constexpr Range kWord{0.0, 65535.0};
inline constexpr Range kSignedWord{-32768.0, 32767.0};
inline constexpr Range kPositive{0.0, 3.4e38}; // lengths, speeds, densities
inline constexpr Range kAnySingle{-3.4e38, 3.4e38};

// True when the text starts (after blanks) with a number: "12", " -3.5e2", ".5", "7 mm".
bool HoldsNumber(const QString& text);

// The value to store for a box's text: Val(text) x scale, when the text holds a number and that
// value is finite and inside the range; else nothing.
std::optional<double> Checked(const QString& text, double scale, Range range);

// The line that names a refused box's field and what was typed ("Density: \"kg\" is not a
// number.").
QString RefusedLine(const QString& field, const QString& text, Range range, double scale = 1.0);
// The sentence that closes a message of refused boxes: the cells keep their values.
QString KeptText(int refused);

// Stores a checked value into a cell of its kind (integers rounded half to even). Returns false,
// leaving the cell unchanged, when the value is refused or the cell is text.
bool Store(modData::ParameterCell& cell, const QString& text, double scale, Range range);

// A word cell read as the meter's signed integer.
constexpr int SignedWord(std::uint32_t u)
{
    return u > 32767 ? static_cast<int>(u) - 65536 : static_cast<int>(u);
}

} // namespace cellinput
