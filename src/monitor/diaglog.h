#pragma once
// The diagnostics answer (function code 31) taken apart: the texts of the fifteen value boxes of
// the diagnostics window, their captions, and the diagnostics-log lines made from the boxes. Plain
// code: no window, no port.

#include <QString>

#include <array>
#include <cstdint>

namespace diaglog {

inline constexpr int kBoxes = 15;
// The last byte read is 34: a whole answer is at least 35 bytes and its CRC.
inline constexpr int kAnswerLength = 37;

using Boxes = std::array<QString, kBoxes>;

// Caption of each value box (txtDATA index); box 14 stands under box 12's "Lead/Lag" and has none.
const std::array<const char*, kBoxes>& Captions();

// The box texts of one answer, by txtDATA index. Times are shown in microseconds (TUP) and
// nanoseconds (Delta): the single's own text, read back and scaled, so no noise digits of the
// single show. Saturation and strength come in tenths. Integers show plainly ("-3").
Boxes Texts(const std::uint8_t* frame);

// Diagnostics-log lines: fields separated by a TAB; the line end is added by the file writer.
QString HeaderLine();
// The box texts in the log's field order: TUP, Delta, Error, Mincount, strength, saturation up
// and down, triggers up and down, SinTheta, phase, wave magnitude and discrimination, lead/lag.
QString RowLine(const Boxes& boxes);

} // namespace diaglog
