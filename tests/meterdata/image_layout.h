#pragma once
// The image layout, typed cell by cell from the layout tables, for the map and codec tests.

#include "meterdata/modData.h"

#include <string>
#include <vector>

namespace layout {

using namespace modData;

struct Expected {
    const ParameterCell* cell;
    int offset;
    CellKind kind;
    std::string what;
};

template <class Rec> struct Cells {
    const char* name;
    const ParameterCell& (*cell)(const Rec&);
    int at;
    CellKind kind;
};

// The image layout, cell by cell.
inline std::vector<Expected> Layout(const MeterData& d)
{
    std::vector<Expected> e;
    auto one = [&e](const ParameterCell& c, int offset, CellKind kind, const std::string& what) {
        e.push_back({&c, offset, kind, what});
    };
    auto run = [&e](const auto& cells, int first, int step, CellKind kind, const std::string& what) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            e.push_back({&cells[i], first + step * static_cast<int>(i), kind, what + "[" + std::to_string(i) + "]"});
    };
    const CellKind B = CellKind::ByteCell, W = CellKind::WordCell, F = CellKind::FloatCell, T = CellKind::TextCell;

    const GlobalRecord& g = d.GlobalCells;
    one(g.MeterName, 0, T, "MeterName");
    one(g.NodeAddr, 20, B, "NodeAddr");
    one(g.NumberChan, 28, B, "NumberChan");
    one(g.Byte30, 30, B, "Byte30");
    run(g.Carried36, 36, 4, F, "g36");
    one(g.Byte44, 44, B, "Byte44");
    run(g.Carried48, 48, 4, F, "g48");
    run(g.Carried84, 84, 2, W, "g84");
    run(g.Carried90, 90, 2, B, "g90");
    run(g.Curves[0].x, 96, 4, F, "curve0.x");
    run(g.Curves[0].y, 196, 4, F, "curve0.y");
    one(g.Carried296, 296, W, "g296");
    run(g.Carried298, 298, 2, B, "g298");
    run(g.Curves[1].x, 304, 4, F, "curve1.x");
    run(g.Curves[1].y, 404, 4, F, "curve1.y");
    one(g.Carried504, 504, F, "g504");
    one(g.Carried508, 508, B, "g508");
    run(g.Carried512, 512, 4, F, "g512");

    // A record's cells: member, offset in the record, kind.
#define ZAV_CELL(member, at, kind) {#member, [](const Rec& r) -> const ParameterCell& { return r.member; }, at, kind}
    auto record = [&one](const auto& r, int base, const std::string& prefix, const auto& cells) {
        for (const auto& c : cells)
            one(c.cell(r), base + c.at, c.kind, prefix + c.name);
    };
    {
        using Rec = LoopRecord;
        const Cells<Rec> cells[] = {
            ZAV_CELL(LoopStatus, 0, B), ZAV_CELL(LoopErrAction, 2, B), ZAV_CELL(LoopChannel, 4, B),
            ZAV_CELL(LoopParam, 6, B),  ZAV_CELL(DacHigh, 8, W),       ZAV_CELL(DacLow, 10, W),
            ZAV_CELL(OutMin, 12, F),    ZAV_CELL(OutMax, 16, F)};
        const int start[] = {532, 552, 572, 592};
        for (int i = 0; i < 4; ++i)
            record(d.LoopCells[i], start[i], "loop" + std::to_string(i) + ".", cells);
    }
    one(d.AuxWords[0], 612, W, "aux612");
    one(d.AuxWords[1], 616, W, "LogicInputMode");
    {
        using Rec = IoRecord;
        const Cells<Rec> cells[] = {
            ZAV_CELL(LogicMode, 0, B), ZAV_CELL(LogicChannel, 2, B), ZAV_CELL(LogicParam, 4, B),
            ZAV_CELL(LogicWord, 6, W), ZAV_CELL(LogicValue[0], 8, F), ZAV_CELL(LogicValue[1], 12, F)};
        const int start[] = {620, 636, 652};
        for (int i = 0; i < 3; ++i)
            record(d.IoCells[i], start[i], "io" + std::to_string(i) + ".", cells);
    }
    const int chanStart[] = {684, 1068};
    for (int c = 0; c < 2; ++c) {
        using Rec = ChannelRecord;
        const Cells<Rec> cells[] = {
            ZAV_CELL(MountType, 0, B),     ZAV_CELL(XducerType, 2, W),       ZAV_CELL(TubeGeometry, 4, B),
            ZAV_CELL(XducerFreq, 6, W),    ZAV_CELL(SinRefract, 8, F),       ZAV_CELL(WedgeSpeed, 12, F),
            ZAV_CELL(SamplesPerCycle, 16, B), ZAV_CELL(XducerDelay, 20, F),  ZAV_CELL(PulseWidth, 24, B),
            ZAV_CELL(Spacing, 28, F),      ZAV_CELL(FluidVOS, 32, F),        ZAV_CELL(Traverses, 36, B),
            ZAV_CELL(PathLength, 40, F),   ZAV_CELL(AxialLength, 44, F),     ZAV_CELL(PipeID, 48, F),
            ZAV_CELL(WallThick, 52, F),    ZAV_CELL(WallSpeed, 56, F),       ZAV_CELL(ResponseTime, 60, B),
            ZAV_CELL(Threshold, 62, B),    ZAV_CELL(SigMode, 64, W),         ZAV_CELL(SigByte, 66, B),
            ZAV_CELL(AntiJitter, 68, B),   ZAV_CELL(Carried72, 72, F),       ZAV_CELL(CalFactor, 76, F),
            ZAV_CELL(ZeroTrim, 80, F),     ZAV_CELL(Carried84, 84, F),       ZAV_CELL(CutOff, 88, F),
            ZAV_CELL(Carried92, 92, W),    ZAV_CELL(MinVel, 96, F),          ZAV_CELL(MaxVel, 100, F),
            ZAV_CELL(MaxVOS, 104, F),      ZAV_CELL(MinVOS, 108, F),         ZAV_CELL(MinSignal, 112, W),
            ZAV_CELL(MaxErrPct, 126, W),   ZAV_CELL(ErrHandle, 128, W),      ZAV_CELL(CalPoints, 132, W),
            ZAV_CELL(CalTableKind, 134, B), ZAV_CELL(Carried136, 136, B),    ZAV_CELL(FluidKind, 340, B),
            ZAV_CELL(FluidDensity, 356, F), ZAV_CELL(FluidViscosity, 360, F), ZAV_CELL(ParticleIndex, 380, W),
            ZAV_CELL(LoadingIndex, 382, W)};
        const ChannelRecord& ch = d.ChannelCells[c];
        const int b = chanStart[c];
        const std::string n = "chan" + std::to_string(c) + ".";
        record(ch, b, n, cells);
        run(ch.Limit, b + 114, 2, W, n + "Limit");
        run(ch.Curve.x, b + 140, 4, F, n + "Curve.x");
        run(ch.Curve.y, b + 240, 4, F, n + "Curve.y");
        run(ch.Carried344, b + 344, 4, F, n + "c344");
        run(ch.Carried364, b + 364, 4, F, n + "c364");
    }
#undef ZAV_CELL
    return e;
}

inline int Size(CellKind k)
{
    switch (k) {
    case CellKind::ByteCell: return 1;
    case CellKind::WordCell: return 2;
    case CellKind::FloatCell: return 4;
    case CellKind::TextCell: return 10;
    }
    return 0;
}

} // namespace layout
