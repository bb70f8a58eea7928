#pragma once
// The live-data answer (function code 30) taken apart: the raw fields at their byte offsets, the
// latest values of both channels, the texts the data log window shows, the averaged flow, the
// status alarm caption and the data-log line. Plain code: no window, no port.

#include <QString>
#include <QTime>

#include <array>
#include <cstdint>

namespace livedata {

// Offsets of the fields in the answer frame (byte 0 = node address, byte 1 = function code).
inline constexpr int kMeanFlowAt = 4;
inline constexpr int kSoundAt = 8;
inline constexpr int kFlowAt = 12;
inline constexpr int kSdvAt = 16;
inline constexpr int kTotalTimeAt = 20;
inline constexpr int kTotalAt = 24;
inline constexpr int kLoadAt = 28;
inline constexpr int kSizeAt = 30;
inline constexpr int kAbsorbAt = 32;
inline constexpr int kGateAt = 36;
inline constexpr int kBatchAt = 48;
inline constexpr int kStatusAt = 49;
// The last byte read is 49: a whole answer is 50 bytes and its CRC.
inline constexpr int kAnswerLength = 52;

// The fields of one answer as they arrive, before any unit is applied.
struct Answer {
    float meanFlow = 0;  // bytes 4-7
    float sound = 0;     // bytes 8-11, m/s
    float flow = 0;      // bytes 12-15, m^3/s
    float sdv = 0;       // bytes 16-19, flow standard deviation
    float totalTime = 0; // bytes 20-23, s
    float total = 0;     // bytes 24-27, m^3
    std::int16_t load = 0;   // bytes 28-29, thousandths
    std::int16_t size = 0;   // bytes 30-31, microns
    std::int16_t absorb = 0; // bytes 32-33, tenths of a dB
    std::uint8_t gate = 0;   // byte 36, 0 while the averaging gate is open
    std::uint8_t batch = 0;  // byte 48, 1 while a batch runs
    std::uint8_t status = 0; // byte 49, 0 = no alarm
};

// Reads the fields from a received frame of at least 50 bytes.
Answer Decode(const std::uint8_t* frame);

// Unit factors of the chosen units (base value = shown value x factor).
struct Factors {
    float sound = 1; // velocity
    float flow = 1;  // volume flow
    float total = 1; // volume
};

// Latest decoded values, index 0 = channel A, 1 = channel B.
struct Channels {
    std::array<float, 2> MeanFlowRaw{};
    std::array<float, 2> SoundSpeed{};
    std::array<float, 2> FlowRate{};
    std::array<float, 2> FlowSdvPct{};
    std::array<float, 2> ParticleLoad{};
    std::array<float, 2> Absorption{};
    std::array<float, 2> StatusCode{};
    std::array<std::int16_t, 2> ParticleSize{};
};

// The texts one answer puts into the channel's boxes.
struct Shown {
    QString txtVOS;
    QString txtFlow;
    QString txtReyn;
    QString txtTotalTime; // shared by both channels
    QString txtTotal;
    QString txtLoad;
    QString txtSize;
    QString txtAbsorb;
};

// Stores the answer's values for channel c (0 or 1) in the chosen units and returns the texts to
// show. The deviation is taken in percent of the mean flow; with a mean flow of 0 the box shows the
// deviation as received and FlowSdvPct keeps its previous value.
Shown Apply(Channels& values, int c, const Answer& answer, const Factors& factors);

// Caption of a channel's alarm label; empty for status 0 (label hidden).
QString AlarmCaption(float status);

// The averaged flow: samples of channel A's flow collected while the meter's gate is open, shown
// when it closes.
struct Average {
    enum class Show {
        Collecting, // gate open: the box turns green
        Mean,       // gate closed after samples: the box turns red and shows the mean
        Unchanged,
    };
    std::uint8_t AvgArmed = 0;
    std::int32_t AvgCount = 0; // 32 bits: a day of one-second samples must not overflow it
    float AvgSum = 0;

    Show Step(std::uint8_t gate, float flowA);
    QString Text() const; // AvgSum / AvgCount, "0.0000"
    void Clear();
};

// Data-log lines: fields separated by a TAB; the line end is added by the file writer.
inline constexpr char kSeparator = '\t';
QString HeaderLine();
// One row: the time of day ("HH:mm"), then the latest values of channel A and B. The total time
// and the totals are the texts shown in their boxes.
QString RowLine(const QTime& time, const Channels& values, const QString& totalTime, const QString& total0,
                const QString& total1);

} // namespace livedata
