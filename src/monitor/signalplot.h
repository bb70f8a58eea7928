#pragma once
// The raw signal download taken apart: blocks of samples (function code 35) assembled into
// waveforms by slot, the gain, trigger and saturation figures that come with them, the points of
// one drawn waveform with its trigger marker, and the signal table file. Plain code: the window
// draws and writes what this computes.

#include "monitor/stripchart.h"

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace signalplot {

inline constexpr int kSlots = 8;
inline constexpr int kMaxSamples = 2048;    // the longest waveform a slot holds
inline constexpr int kBufferSamples = 2101; // SignalBuffer, indexes 0..2100
// 8 + 2 x 122 + 2 = 254 bytes: the most samples one answer can carry within the link's buffer.
inline constexpr int kMaxBlockSamples = 122;
inline constexpr int kFiguresSlot = 6; // the block of figures, not a waveform
inline constexpr int kFigureCount = 5;
inline constexpr int kTableSlots = 7;  // slots 0..6 go to the signal table

using Figures = std::array<std::int16_t, kFigureCount>;

struct Capture {
    enum class Taken {
        Refused,  // outside the buffers or shorter than it says: nothing stored
        Partial,  // stored; the waveform is not complete yet
        Waveform, // a waveform completed and copied into its slot
        Figures,  // the figures block completed
    };

    std::array<std::int16_t, kBufferSamples> SignalBuffer{};
    std::uint16_t SamplesReceived = 0;
    std::array<std::array<std::int16_t, kMaxSamples + 1>, kSlots> SignalSlots{};
    std::array<std::uint16_t, kSlots> SlotCount{};

    // One answer of `length` bytes: byte 2 the slot, byte 3 0 on a waveform's first block, bytes
    // 4-5 the waveform's samples, byte 6 the samples in this block, from byte 8 the samples. A slot
    // of 8 or more, a waveform above 2048 samples, a block above 122 samples, a block that would
    // run past its waveform's end or an answer too short for its samples is refused.
    Taken Take(const std::uint8_t* frame, int length);
    // The first five samples of the completed figures block (0 for those it lacks).
    Figures FigureSamples() const;
};

// The figure boxes: gain (s2), trigger (s3), saturation up (s0) and down (s1); the marker falls on
// sample s3 - s4.
struct FigureTexts {
    QString gain, trigger, satUp, satDown;
    int marker = 0;
};
FigureTexts Texts(const Figures& s);

// One waveform drawn into its frame, twips: the waveform's points from left to right (none for a
// waveform without samples), and the x of the marker line that runs down the frame's height.
struct Trace {
    std::vector<QPoint> points;
    int markerX = 0;
};
// The waveform fills 80 % of the frame's height peak to peak about the middle, positive upwards.
Trace Graph(const stripchart::Frame& frame, int n, const std::int16_t* samples, int markerIndex);

// The signal table: one line per sample index up to the longest slot (one more line of blanks),
// slots 0 to 6 as quoted fields separated by commas, CR LF line ends.
QByteArray SignalTable(const Capture& capture);

} // namespace signalplot
