#include "meterdata/modData.h"

#include <initializer_list>
#include <vector>

namespace modData {

namespace {

struct DefaultColumn {
    int column;
    std::initializer_list<float> rows; // rows 1, 2, 3, ... in order
};

// Columns of TransducerDefaults by row; row 0 ("Special" / "Other") has no defaults. Rows are the
// index of the list the using window offers (transducer type, pipe material or liquid). Columns
// read by the channel windows: 0 mount type, 1 sine of the refraction angle, 2 wedge speed,
// 3 frequency (kHz), 4 transducer delay (s), 5 wall sound speed of the pipe material, 6 and 7 the
// liquid's sound speed and density, 9 tube geometry, 10..13 tube path length, axial length,
// outside diameter and wall, 14 the liquid's viscosity, 15 loading index, 16 particle index.
const DefaultColumn kDefaultColumns[] = {
    {0, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f}},
    {1, {0.866f, 0.866f, 0.866f, 0.866f, 0.866f, 0.681998f, 0.681998f, 0.681998f}},
    {2, {2550.0f, 2550.0f, 2550.0f, 2550.0f, 2550.0f, 2500.0f, 2500.0f, 2500.0f}},
    {3, {4000.0f, 4000.0f, 2000.0f, 2000.0f, 2000.0f, 4000.0f, 2000.0f, 4000.0f, 2000.0f, 2000.0f}},
    {4, {5.4e-6f, 5.4e-6f, 5.6e-6f, 5.8e-6f, 5.8e-6f, 5.4e-6f, 4e-6f, 5.73e-6f}},
    {5, {3200.0f, 3225.0f, 2320.0f, 3240.0f, 2400.0f, 1600.0f, 1700.0f, 1500.0f}},
    {6, {1481.0f, 1520.0f, 1257.0f, 1306.0f, 1324.0f, 1540.0f, 1200.0f}},
    {7, {999.8f, 1010.0f, 1000.0f, 900.0f, 881.0f, 1000.0f, 785.0f}},
    {8, {1e-6f, 1e-6f, 7.6e-7f, 6e-7f, 2e-6f, 3e-6f, 7e-7f, 3e-6f, 7e-7f}},
    {9, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f}},
    {10, {0.005174f, 0.005174f, 0.00683f, 0.00683f, 0.0085f, 0.0185f, 0.0f, 0.01575f, 0.05f}},
    {11, {0.00202f, 0.00202f, 0.00267f, 0.00267f, 0.0038f, 0.00943f, 0.0087f, 0.015875f}},
    {12, {0.00623f, 0.00952f, 0.0127f, 0.01905f, 0.0254f, 0.01588f, 0.0f, 0.01905f}},
    {13, {0.0008f, 0.0016f, 0.0016f, 0.0016f, 0.0016f, 0.0016f, 0.0f, 0.0016f}},
    {14, {8.6e-7f, 1.83e-6f, 1.46e-4f, 6.4e-6f, 2.7e-6f, 1.78e-5f, 2.8e-6f}},
    {15, {50.0f, 50.0f, 50.0f, 50.0f, 50.0f, 50.0f, 50.0f, 50.0f, 50.0f, 50.0f}},
    {16, {15.0f, 15.0f, 15.0f, 15.0f, 15.0f, 15.0f, 15.0f, 15.0f, 15.0f, 15.0f}},
};

struct DefaultByteColumn {
    int column;
    std::initializer_list<std::uint8_t> rows; // rows 1, 2, 3, ...
};

// Column 0: pipe material offered for the transducer type; column 1: transmit pulse width.
const DefaultByteColumn kDefaultByteColumns[] = {
    {0, {8, 8, 8, 8, 8, 1, 1, 1}},
    {1, {2, 2, 2, 2, 2, 2, 4, 4}},
};

bool InTable(int column, int row)
{
    return column >= 0 && column < DefaultColumns && row >= 0 && row < DefaultRows;
}

} // namespace

float MeterData::TransducerDefault(int column, int row) const
{
    return InTable(column, row) ? TransducerDefaults[static_cast<std::size_t>(DefaultsIndex(column, row))] : 0.0f;
}

std::uint8_t MeterData::TransducerDefaultByte(int column, int row) const
{
    return InTable(column, row) ? TransducerDefaultBytes[static_cast<std::size_t>(DefaultsIndex(column, row))] : 0;
}

void FillTransducerDefaults(MeterData& data)
{
    data.TransducerDefaults.fill(0.0f);
    data.TransducerDefaultBytes.fill(0);
    for (const DefaultColumn& col : kDefaultColumns) {
        int row = 1;
        for (float v : col.rows)
            data.TransducerDefaults[static_cast<std::size_t>(DefaultsIndex(col.column, row++))] = v;
    }
    for (const DefaultByteColumn& col : kDefaultByteColumns) {
        int row = 1;
        for (std::uint8_t v : col.rows)
            data.TransducerDefaultBytes[static_cast<std::size_t>(DefaultsIndex(col.column, row++))] = v;
    }
}

namespace {
constexpr std::uint32_t kLimitDefaults[6] = {200, 900, 350, 30, 70, 80};
} // namespace

void SetErrorLimitDefaults(ChannelRecord& r)
{
    r.MaxVel.f = 12.0f;
    r.MinVel.f = -12.0f;
    r.MaxVOS.f = 1700.0f;
    r.MinVOS.f = 1000.0f;
    r.MinSignal.u = 500;
    for (std::size_t i = 0; i < r.Limit.size(); ++i)
        r.Limit[i].u = kLimitDefaults[i];
    r.MaxErrPct.u = 75;
}

void SetSignalDefaults(ChannelRecord& r)
{
    r.SigMode.u = 32832;
    r.Threshold.u = 60;
    r.AntiJitter.u = 4;
    r.SigByte.u = 0;
    r.ZeroTrim.f = 0.0f;
    r.CutOff.f = 0.015f;
}

bool HasErrorLimitDefaults(const ChannelRecord& r)
{
    bool defaults = r.MaxVel.f == 12.0f && r.MinVel.f == -12.0f && r.MaxVOS.f == 1700.0f && r.MinVOS.f == 1000.0f &&
                    r.MinSignal.u == 500 && r.MaxErrPct.u == 75;
    for (std::size_t i = 0; i < r.Limit.size(); ++i)
        defaults = defaults && r.Limit[i].u == kLimitDefaults[i];
    return defaults;
}

bool HasSignalDefaults(const ChannelRecord& r)
{
    return r.SigMode.u == 32832 && r.Threshold.u == 60 && r.AntiJitter.u == 4 && r.SigByte.u == 0 && r.CutOff.f == 0.015f;
}

void CopyChannel(MeterData& data, int from, int to)
{
    if (from < 0 || from >= ChannelCount || to < 0 || to >= ChannelCount || from == to)
        return;
    CopyChannelValues(data.ChannelCells[static_cast<std::size_t>(from)], data.ChannelCells[static_cast<std::size_t>(to)]);
}

void CopyChannelValues(const ChannelRecord& from, ChannelRecord& to)
{
    if (&from == &to)
        return;
    // Both records list their cells in the same order; collect the source cells, then copy
    // value by value so that every cell of `to` keeps its own offset.
    std::vector<const ParameterCell*> sources;
    sources.reserve(160);
    ForEachCell(from, [&sources](const ParameterCell& c, int) { sources.push_back(&c); });
    std::size_t i = 0;
    ForEachCell(to, [&sources, &i](ParameterCell& c, int) { CopyCellValue(c, *sources[i++]); });
}

} // namespace modData
