#pragma once
// The meter parameter image and its parameter cells: the global settings, the current-loop and
// logic-output slot records, the two auxiliary words and the per-channel records, plus the
// transducer default tables filled at start-up.
//
// Every record type lists its cells once, with their offsets relative to the record's first image
// byte, in its Visit function. The cell map, the codec, CopyChannel and the report writers all walk
// the cells through Visit / ForEachCell / ForEachImageCell, so the layout is written down only here.

#include "meterdata/parametercell.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace modData {

// ParamImage holds indexes 0..2000; the meter's image uses bytes 0..1451.
inline constexpr int ParamImageSize = 2001;

inline constexpr CellKind kByte = CellKind::ByteCell;
inline constexpr CellKind kWord = CellKind::WordCell;
inline constexpr CellKind kFloat = CellKind::FloatCell;
inline constexpr CellKind kText = CellKind::TextCell;

inline ParameterCell MakeCell(CellKind kind)
{
    ParameterCell c;
    c.kind = kind;
    return c;
}

template <std::size_t N>
std::array<ParameterCell, N> MakeCells(CellKind kind)
{
    std::array<ParameterCell, N> cells;
    for (ParameterCell& c : cells)
        c.kind = kind;
    return cells;
}

namespace detail {
// f(cell, relativeOffset) for cells[i] at first + step * i.
template <class Cells, class F>
void VisitRun(Cells& cells, int first, int step, F& f)
{
    int rel = first;
    for (auto& c : cells) {
        f(c, rel);
        rel += step;
    }
}
} // namespace detail

// Calls f(cell, relativeOffset) for every cell of a record, in image order.
template <class Record, class F>
void ForEachCell(Record& record, F&& f)
{
    std::remove_const_t<Record>::Visit(record, f);
}

// A calibration curve: 25 x values followed (in the image) by 25 y values, singles.
struct CurveTable {
    static constexpr int Points = 25;
    std::array<ParameterCell, Points> x = MakeCells<Points>(kFloat);
    std::array<ParameterCell, Points> y = MakeCells<Points>(kFloat);
};

// Meter-wide settings, image bytes 0..531 (offsets relative to 0, i.e. absolute).
struct GlobalRecord {
    ParameterCell MeterName = MakeCell(kText);  // 0, "Meter Name"
    ParameterCell NodeAddr = MakeCell(kByte);   // 20, 1..16 "NODE n", 17 "Poll"
    ParameterCell NumberChan = MakeCell(kByte); // 28, 1 "Single", 2 "Dual"
    ParameterCell Byte30 = MakeCell(kByte);     // 30, set to 1 when the global parameters window loads
    std::array<ParameterCell, 2> Carried36 = MakeCells<2>(kFloat); // 36, 40
    ParameterCell Byte44 = MakeCell(kByte);     // 44, read by the transducer window
    std::array<ParameterCell, 9> Carried48 = MakeCells<9>(kFloat); // 48, 52, ..., 80
    std::array<ParameterCell, 3> Carried84 = MakeCells<3>(kWord);  // 84, 86, 88
    std::array<ParameterCell, 2> Carried90 = MakeCells<2>(kByte);  // 90, 92
    // Curves[0]: x at 96 + 4i, y at 196 + 4i; Curves[1]: x at 304 + 4i, y at 404 + 4i.
    std::array<CurveTable, 2> Curves;
    ParameterCell Carried296 = MakeCell(kWord);                      // 296
    std::array<ParameterCell, 2> Carried298 = MakeCells<2>(kByte);  // 298, 300
    ParameterCell Carried504 = MakeCell(kFloat);                     // 504
    ParameterCell Carried508 = MakeCell(kByte);                      // 508
    std::array<ParameterCell, 5> Carried512 = MakeCells<5>(kFloat); // 512, 516, ..., 528

    template <class Self, class F>
    static void Visit(Self& r, F& f)
    {
        f(r.MeterName, 0);
        f(r.NodeAddr, 20);
        f(r.NumberChan, 28);
        f(r.Byte30, 30);
        detail::VisitRun(r.Carried36, 36, 4, f);
        f(r.Byte44, 44);
        detail::VisitRun(r.Carried48, 48, 4, f);
        detail::VisitRun(r.Carried84, 84, 2, f);
        detail::VisitRun(r.Carried90, 90, 2, f);
        detail::VisitRun(r.Curves[0].x, 96, 4, f);
        detail::VisitRun(r.Curves[0].y, 196, 4, f);
        f(r.Carried296, 296);
        detail::VisitRun(r.Carried298, 298, 2, f);
        detail::VisitRun(r.Curves[1].x, 304, 4, f);
        detail::VisitRun(r.Curves[1].y, 404, 4, f);
        f(r.Carried504, 504);
        f(r.Carried508, 508);
        detail::VisitRun(r.Carried512, 512, 4, f);
    }
};

// One current-loop slot, 20 image bytes. The current-loop window edits records 3 and 2.
struct LoopRecord {
    static constexpr int Bytes = 20;
    ParameterCell LoopStatus = MakeCell(kByte);    // +0, 0 = off, else on
    ParameterCell LoopErrAction = MakeCell(kByte); // +2, action on error, 0..4
    ParameterCell LoopChannel = MakeCell(kByte);   // +4, data channel carried
    ParameterCell LoopParam = MakeCell(kByte);     // +6, 0 actual flow, 1 standard flow, 2 mass flow, 3 sound speed
    ParameterCell DacHigh = MakeCell(kWord);       // +8, converter count at the high end
    ParameterCell DacLow = MakeCell(kWord);        // +10, converter count at the low end
    ParameterCell OutMin = MakeCell(kFloat);       // +12, "Out MIN", base units
    ParameterCell OutMax = MakeCell(kFloat);       // +16, "Out MAX", base units

    template <class Self, class F>
    static void Visit(Self& r, F& f)
    {
        f(r.LoopStatus, 0);
        f(r.LoopErrAction, 2);
        f(r.LoopChannel, 4);
        f(r.LoopParam, 6);
        f(r.DacHigh, 8);
        f(r.DacLow, 10);
        f(r.OutMin, 12);
        f(r.OutMax, 16);
    }
};

// One logic-output slot, 16 image bytes.
struct IoRecord {
    static constexpr int Bytes = 16;
    ParameterCell LogicMode = MakeCell(kByte);    // +0
    ParameterCell LogicChannel = MakeCell(kByte); // +2
    ParameterCell LogicParam = MakeCell(kByte);   // +4
    ParameterCell LogicWord = MakeCell(kWord);    // +6
    std::array<ParameterCell, 2> LogicValue = MakeCells<2>(kFloat); // +8, +12

    template <class Self, class F>
    static void Visit(Self& r, F& f)
    {
        f(r.LogicMode, 0);
        f(r.LogicChannel, 2);
        f(r.LogicParam, 4);
        f(r.LogicWord, 6);
        detail::VisitRun(r.LogicValue, 8, 4, f);
    }
};

// One measuring channel, 384 image bytes. Units are the base units (metres, m/s, seconds).
struct ChannelRecord {
    static constexpr int Bytes = 384;
    ParameterCell MountType = MakeCell(kByte);       // +0, 1 clamp-on, 0 insertion
    ParameterCell XducerType = MakeCell(kWord);      // +2, "TRANSDUCER"
    ParameterCell TubeGeometry = MakeCell(kByte);    // +4
    ParameterCell XducerFreq = MakeCell(kWord);      // +6, kHz
    ParameterCell SinRefract = MakeCell(kFloat);     // +8
    ParameterCell WedgeSpeed = MakeCell(kFloat);     // +12
    ParameterCell SamplesPerCycle = MakeCell(kByte); // +16
    ParameterCell XducerDelay = MakeCell(kFloat);    // +20
    ParameterCell PulseWidth = MakeCell(kByte);      // +24, "NumPulse"
    ParameterCell Spacing = MakeCell(kFloat);        // +28, "Axial Space"
    ParameterCell FluidVOS = MakeCell(kFloat);       // +32, "Fluid Type"
    ParameterCell Traverses = MakeCell(kByte);       // +36
    ParameterCell PathLength = MakeCell(kFloat);     // +40
    ParameterCell AxialLength = MakeCell(kFloat);    // +44
    ParameterCell PipeID = MakeCell(kFloat);         // +48
    ParameterCell WallThick = MakeCell(kFloat);      // +52, "Wall Thick"
    ParameterCell WallSpeed = MakeCell(kFloat);      // +56, "Tube Material"
    ParameterCell ResponseTime = MakeCell(kByte);    // +60, "AVERAGE"
    ParameterCell Threshold = MakeCell(kByte);       // +62
    ParameterCell SigMode = MakeCell(kWord);         // +64, "O-SCOPE MODE"
    ParameterCell SigByte = MakeCell(kByte);         // +66
    ParameterCell AntiJitter = MakeCell(kByte);      // +68
    ParameterCell Carried72 = MakeCell(kFloat);      // +72
    ParameterCell CalFactor = MakeCell(kFloat);      // +76, "K_FACTOR"
    ParameterCell ZeroTrim = MakeCell(kFloat);       // +80, "ZERO_OFFSET"
    ParameterCell Carried84 = MakeCell(kFloat);      // +84
    ParameterCell CutOff = MakeCell(kFloat);         // +88, "Cut Off"
    ParameterCell Carried92 = MakeCell(kWord);       // +92
    ParameterCell MinVel = MakeCell(kFloat);         // +96
    ParameterCell MaxVel = MakeCell(kFloat);         // +100
    ParameterCell MaxVOS = MakeCell(kFloat);         // +104
    ParameterCell MinVOS = MakeCell(kFloat);         // +108
    ParameterCell MinSignal = MakeCell(kWord);       // +112, 5 x the shown value
    std::array<ParameterCell, 6> Limit = MakeCells<6>(kWord); // +114, +116, ..., +124
    ParameterCell MaxErrPct = MakeCell(kWord);       // +126, "Max % Error"
    ParameterCell ErrHandle = MakeCell(kWord);       // +128, "Zero ON"
    ParameterCell CalPoints = MakeCell(kWord);       // +132 (byte +130 belongs to no cell)
    ParameterCell CalTableKind = MakeCell(kByte);    // +134, "Multi-Point"
    ParameterCell Carried136 = MakeCell(kByte);      // +136
    CurveTable Curve;                                // x at +140 + 4i, y at +240 + 4i
    ParameterCell FluidKind = MakeCell(kByte);       // +340
    std::array<ParameterCell, 3> Carried344 = MakeCells<3>(kFloat); // +344, +348, +352
    ParameterCell FluidDensity = MakeCell(kFloat);   // +356
    ParameterCell FluidViscosity = MakeCell(kFloat); // +360
    std::array<ParameterCell, 4> Carried364 = MakeCells<4>(kFloat); // +364, +368, +372, +376
    ParameterCell ParticleIndex = MakeCell(kWord);   // +380, "Partical Index"
    ParameterCell LoadingIndex = MakeCell(kWord);    // +382, "Loading Index"

    template <class Self, class F>
    static void Visit(Self& r, F& f)
    {
        f(r.MountType, 0);
        f(r.XducerType, 2);
        f(r.TubeGeometry, 4);
        f(r.XducerFreq, 6);
        f(r.SinRefract, 8);
        f(r.WedgeSpeed, 12);
        f(r.SamplesPerCycle, 16);
        f(r.XducerDelay, 20);
        f(r.PulseWidth, 24);
        f(r.Spacing, 28);
        f(r.FluidVOS, 32);
        f(r.Traverses, 36);
        f(r.PathLength, 40);
        f(r.AxialLength, 44);
        f(r.PipeID, 48);
        f(r.WallThick, 52);
        f(r.WallSpeed, 56);
        f(r.ResponseTime, 60);
        f(r.Threshold, 62);
        f(r.SigMode, 64);
        f(r.SigByte, 66);
        f(r.AntiJitter, 68);
        f(r.Carried72, 72);
        f(r.CalFactor, 76);
        f(r.ZeroTrim, 80);
        f(r.Carried84, 84);
        f(r.CutOff, 88);
        f(r.Carried92, 92);
        f(r.MinVel, 96);
        f(r.MaxVel, 100);
        f(r.MaxVOS, 104);
        f(r.MinVOS, 108);
        f(r.MinSignal, 112);
        detail::VisitRun(r.Limit, 114, 2, f);
        f(r.MaxErrPct, 126);
        f(r.ErrHandle, 128);
        f(r.CalPoints, 132);
        f(r.CalTableKind, 134);
        f(r.Carried136, 136);
        detail::VisitRun(r.Curve.x, 140, 4, f);
        detail::VisitRun(r.Curve.y, 240, 4, f);
        f(r.FluidKind, 340);
        detail::VisitRun(r.Carried344, 344, 4, f);
        f(r.FluidDensity, 356);
        f(r.FluidViscosity, 360);
        detail::VisitRun(r.Carried364, 364, 4, f);
        f(r.ParticleIndex, 380);
        f(r.LoadingIndex, 382);
    }
};

// Where the records sit in the image.
inline constexpr int LoopRecordCount = 5;   // record 4 has no image bytes
inline constexpr int MappedLoopRecords = 4; // record r at 532 + 20 r
inline constexpr int LoopBase = 532;
inline constexpr int AuxWordBase = 612;     // 612 and 616
inline constexpr int AuxWordStep = 4;
inline constexpr int IoRecordCount = 4;     // record 3 has no image bytes
inline constexpr int MappedIoRecords = 3;   // record r at 620 + 16 r
inline constexpr int IoBase = 620;
inline constexpr int ChannelCount = 3;      // record 2 has no image bytes
inline constexpr int MappedChannels = 2;    // channel c at 684 + 384 c
inline constexpr int ChannelBase = 684;

// Transducer default tables: entry (column k, row r) is element 31 r + k.
inline constexpr int DefaultColumns = 31;
inline constexpr int DefaultRows = 16;
constexpr int DefaultsIndex(int column, int row) { return DefaultColumns * row + column; }

struct MeterData {
    std::array<std::uint8_t, ParamImageSize> ParamImage{};
    std::uint16_t ImageLength = 0; // valid bytes of ParamImage
    std::uint16_t WordsSent = 0;   // words already written in the current image write
    // Words the first block of the image read in progress announced; 0 until that block came.
    std::uint16_t ReadAnnounced = 0;

    GlobalRecord GlobalCells;
    std::array<LoopRecord, LoopRecordCount> LoopCells;
    std::array<ParameterCell, 2> AuxWords = MakeCells<2>(kWord); // 612 carried, 616 LogicInputMode
    std::array<IoRecord, IoRecordCount> IoCells;
    std::array<ChannelRecord, ChannelCount> ChannelCells;

    std::array<float, DefaultColumns * DefaultRows> TransducerDefaults{};
    std::array<std::uint8_t, DefaultColumns * DefaultRows> TransducerDefaultBytes{};

    // The logic input's mode word: 0 none, 1 "CLEAR TOTAL", 2 "BLANK ALARM".
    ParameterCell& LogicInputMode() { return AuxWords[1]; }
    const ParameterCell& LogicInputMode() const { return AuxWords[1]; }

    // Table lookups by (column, row); 0 outside the table.
    float TransducerDefault(int column, int row) const;
    std::uint8_t TransducerDefaultByte(int column, int row) const;
};

// Calls f(cell) for every cell that has a place in the image, in the codec's order: the global
// cells, loop records 0..3, the two auxiliary words, I/O records 0..2, channel records 0 and 1.
template <class Data, class F>
void ForEachImageCell(Data& data, F&& f)
{
    auto each = [&f](auto& cell, int) { f(cell); };
    ForEachCell(data.GlobalCells, each);
    for (int r = 0; r < MappedLoopRecords; ++r)
        ForEachCell(data.LoopCells[static_cast<std::size_t>(r)], each);
    for (auto& w : data.AuxWords)
        f(w);
    for (int r = 0; r < MappedIoRecords; ++r)
        ForEachCell(data.IoCells[static_cast<std::size_t>(r)], each);
    for (int c = 0; c < MappedChannels; ++c)
        ForEachCell(data.ChannelCells[static_cast<std::size_t>(c)], each);
}

// The factory error limits of a channel: velocities -12..12 m/s, sound speeds 1000..1700 m/s,
// minimum signal 500, the six further limits 200, 900, 350, 30, 70, 80, maximum error 75 %.
void SetErrorLimitDefaults(ChannelRecord& r);
// The factory signal processing: mode 32832, threshold 60, anti-jitter 4, signal byte 0, zero
// trim 0, cut-off 0.015.
void SetSignalDefaults(ChannelRecord& r);
// Whether a channel holds the factory error limits (all twelve) or signal processing (the five
// settings; the zero trim is not one of them).
bool HasErrorLimitDefaults(const ChannelRecord& r);
bool HasSignalDefaults(const ChannelRecord& r);

// Fills TransducerDefaults and TransducerDefaultBytes (every other entry 0).
void FillTransducerDefaults(MeterData& data);

// Copies every cell value of channel record `from` into channel record `to` (0..2); the cells of
// `to` keep their image offsets. Indexes outside 0..2 do nothing.
void CopyChannel(MeterData& data, int from, int to);
// The same between two records anywhere (a backup copy among them).
void CopyChannelValues(const ChannelRecord& from, ChannelRecord& to);

} // namespace modData
