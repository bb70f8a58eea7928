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
    one(g.Carried36[0], 36, F, "g36");
    one(g.Carried36[1], 40, F, "g40");
    one(g.Byte44, 44, B, "Byte44");
    run(g.Carried48, 48, 4, F, "g48");
    one(g.Carried84[0], 84, W, "g84");
    one(g.Carried84[1], 86, W, "g86");
    one(g.Carried84[2], 88, W, "g88");
    one(g.Carried90[0], 90, B, "g90");
    one(g.Carried90[1], 92, B, "g92");
    run(g.Curves[0].x, 96, 4, F, "curve0.x");
    run(g.Curves[0].y, 196, 4, F, "curve0.y");
    one(g.Carried296, 296, W, "g296");
    one(g.Carried298[0], 298, B, "g298");
    one(g.Carried298[1], 300, B, "g300");
    run(g.Curves[1].x, 304, 4, F, "curve1.x");
    run(g.Curves[1].y, 404, 4, F, "curve1.y");
    one(g.Carried504, 504, F, "g504");
    one(g.Carried508, 508, B, "g508");
    run(g.Carried512, 512, 4, F, "g512");

    const int loopStart[] = {532, 552, 572, 592};
    for (int r = 0; r < 4; ++r) {
        const LoopRecord& l = d.LoopCells[r];
        const int b = loopStart[r];
        const std::string n = "loop" + std::to_string(r) + ".";
        one(l.LoopStatus, b + 0, B, n + "LoopStatus");
        one(l.LoopErrAction, b + 2, B, n + "LoopErrAction");
        one(l.LoopChannel, b + 4, B, n + "LoopChannel");
        one(l.LoopParam, b + 6, B, n + "LoopParam");
        one(l.DacHigh, b + 8, W, n + "DacHigh");
        one(l.DacLow, b + 10, W, n + "DacLow");
        one(l.OutMin, b + 12, F, n + "OutMin");
        one(l.OutMax, b + 16, F, n + "OutMax");
    }
    one(d.AuxWords[0], 612, W, "aux612");
    one(d.AuxWords[1], 616, W, "LogicInputMode");

    const int ioStart[] = {620, 636, 652};
    for (int r = 0; r < 3; ++r) {
        const IoRecord& io = d.IoCells[r];
        const int b = ioStart[r];
        const std::string n = "io" + std::to_string(r) + ".";
        one(io.LogicMode, b + 0, B, n + "LogicMode");
        one(io.LogicChannel, b + 2, B, n + "LogicChannel");
        one(io.LogicParam, b + 4, B, n + "LogicParam");
        one(io.LogicWord, b + 6, W, n + "LogicWord");
        one(io.LogicValue[0], b + 8, F, n + "LogicValue0");
        one(io.LogicValue[1], b + 12, F, n + "LogicValue1");
    }

    const int chanStart[] = {684, 1068};
    for (int c = 0; c < 2; ++c) {
        const ChannelRecord& ch = d.ChannelCells[c];
        const int b = chanStart[c];
        const std::string n = "chan" + std::to_string(c) + ".";
        one(ch.MountType, b + 0, B, n + "MountType");
        one(ch.XducerType, b + 2, W, n + "XducerType");
        one(ch.TubeGeometry, b + 4, B, n + "TubeGeometry");
        one(ch.XducerFreq, b + 6, W, n + "XducerFreq");
        one(ch.SinRefract, b + 8, F, n + "SinRefract");
        one(ch.WedgeSpeed, b + 12, F, n + "WedgeSpeed");
        one(ch.SamplesPerCycle, b + 16, B, n + "SamplesPerCycle");
        one(ch.XducerDelay, b + 20, F, n + "XducerDelay");
        one(ch.PulseWidth, b + 24, B, n + "PulseWidth");
        one(ch.Spacing, b + 28, F, n + "Spacing");
        one(ch.FluidVOS, b + 32, F, n + "FluidVOS");
        one(ch.Traverses, b + 36, B, n + "Traverses");
        one(ch.PathLength, b + 40, F, n + "PathLength");
        one(ch.AxialLength, b + 44, F, n + "AxialLength");
        one(ch.PipeID, b + 48, F, n + "PipeID");
        one(ch.WallThick, b + 52, F, n + "WallThick");
        one(ch.WallSpeed, b + 56, F, n + "WallSpeed");
        one(ch.ResponseTime, b + 60, B, n + "ResponseTime");
        one(ch.Threshold, b + 62, B, n + "Threshold");
        one(ch.SigMode, b + 64, W, n + "SigMode");
        one(ch.SigByte, b + 66, B, n + "SigByte");
        one(ch.AntiJitter, b + 68, B, n + "AntiJitter");
        one(ch.Carried72, b + 72, F, n + "c72");
        one(ch.CalFactor, b + 76, F, n + "CalFactor");
        one(ch.ZeroTrim, b + 80, F, n + "ZeroTrim");
        one(ch.Carried84, b + 84, F, n + "c84");
        one(ch.CutOff, b + 88, F, n + "CutOff");
        one(ch.Carried92, b + 92, W, n + "c92");
        one(ch.MinVel, b + 96, F, n + "MinVel");
        one(ch.MaxVel, b + 100, F, n + "MaxVel");
        one(ch.MaxVOS, b + 104, F, n + "MaxVOS");
        one(ch.MinVOS, b + 108, F, n + "MinVOS");
        one(ch.MinSignal, b + 112, W, n + "MinSignal");
        run(ch.Limit, b + 114, 2, W, n + "Limit");
        one(ch.MaxErrPct, b + 126, W, n + "MaxErrPct");
        one(ch.ErrHandle, b + 128, W, n + "ErrHandle");
        one(ch.CalPoints, b + 132, W, n + "CalPoints");
        one(ch.CalTableKind, b + 134, B, n + "CalTableKind");
        one(ch.Carried136, b + 136, B, n + "c136");
        run(ch.Curve.x, b + 140, 4, F, n + "Curve.x");
        run(ch.Curve.y, b + 240, 4, F, n + "Curve.y");
        one(ch.FluidKind, b + 340, B, n + "FluidKind");
        run(ch.Carried344, b + 344, 4, F, n + "c344");
        one(ch.FluidDensity, b + 356, F, n + "FluidDensity");
        one(ch.FluidViscosity, b + 360, F, n + "FluidViscosity");
        run(ch.Carried364, b + 364, 4, F, n + "c364");
        one(ch.ParticleIndex, b + 380, W, n + "ParticleIndex");
        one(ch.LoadingIndex, b + 382, W, n + "LoadingIndex");
    }
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
