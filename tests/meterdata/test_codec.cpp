// The cell map and the codec: every cell's image offset and kind against the layout typed out
// below on its own, the cells the codec walks, decoding and encoding between cells and the image,
// the checksums, the channel copy and the transducer default tables.

#include "meterdata/modBinaryRW.h"
#include "support/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace modData;
using namespace modBinaryRW;

namespace {

std::unique_ptr<MeterData> MappedData()
{
    auto d = std::make_unique<MeterData>();
    BuildCellMap(*d);
    return d;
}

void FillRandom(MeterData& d, unsigned seed)
{
    std::mt19937 rng(seed);
    for (auto& b : d.ParamImage)
        b = static_cast<std::uint8_t>(rng() & 0xFF);
}

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
std::vector<Expected> Layout(const MeterData& d)
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

int Size(CellKind k)
{
    switch (k) {
    case CellKind::ByteCell: return 1;
    case CellKind::WordCell: return 2;
    case CellKind::FloatCell: return 4;
    case CellKind::TextCell: return 10;
    }
    return 0;
}

} // namespace

TEST(CellMap, EveryCellAtItsPlace)
{
    auto d = std::make_unique<MeterData>();
    // Unmapped until the map is built.
    EXPECT_EQ(d->ChannelCells[0].PipeID.offset, -1);
    modBinaryRW::BuildCellMap(*d);

    const std::vector<Expected> layout = Layout(*d);
    for (const Expected& e : layout) {
        EXPECT_EQ(e.cell->offset, e.offset) << e.what;
        EXPECT_EQ(static_cast<int>(e.cell->kind), static_cast<int>(e.kind)) << e.what;
    }

    EXPECT_EQ(&d->LogicInputMode(), &d->AuxWords[1]);

    // The codec walks exactly these cells, in ascending image order.
    std::vector<std::pair<int, const ParameterCell*>> inOrder;
    for (const Expected& e : layout)
        inOrder.emplace_back(e.offset, e.cell);
    std::sort(inOrder.begin(), inOrder.end());
    std::vector<std::pair<int, const ParameterCell*>> visited;
    ForEachImageCell(*d, [&visited](const ParameterCell& c) { visited.emplace_back(c.offset, &c); });
    EXPECT_EQ(visited, inOrder);

    // No overlap, all inside 0..1451, the last byte used.
    std::vector<int> cover(1452, 0);
    for (const Expected& e : layout) {
        ASSERT_GE(e.offset, 0);
        ASSERT_LE(e.offset + Size(e.kind), 1452) << e.what;
        for (int i = 0; i < Size(e.kind); ++i)
            EXPECT_EQ(++cover[static_cast<std::size_t>(e.offset + i)], 1) << e.what << " overlaps at " << e.offset + i;
    }
    EXPECT_EQ(cover[1451], 1);

    // The records without image bytes.
    auto unmapped = [](const auto& record) {
        int mapped = 0;
        ForEachCell(record, [&mapped](const ParameterCell& c, int) { mapped += c.offset >= 0; });
        return mapped;
    };
    EXPECT_EQ(unmapped(d->LoopCells[4]), 0);
    EXPECT_EQ(unmapped(d->IoCells[3]), 0);
    EXPECT_EQ(unmapped(d->ChannelCells[2]), 0);

    // Building the map again sets offsets only.
    d->ChannelCells[0].PipeID.f = 0.1f;
    d->GlobalCells.MeterName.text = "ABC";
    modBinaryRW::BuildCellMap(*d);
    EXPECT_EQ(d->ChannelCells[0].PipeID.f, 0.1f);
    EXPECT_EQ(d->GlobalCells.MeterName.text, "ABC");
    EXPECT_EQ(d->ChannelCells[0].PipeID.offset, 732);
}

TEST(Codec, DecodeThenEncodeKeepsEveryByte)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        auto d = MappedData();
        FillRandom(*d, seed);
        const auto before = d->ParamImage;
        DecodeImage(*d);
        EncodeImage(*d);
        EXPECT_EQ(d->ParamImage, before) << "seed " << seed;
    }
}

TEST(Codec, DecodesEachKind)
{
    auto d = MappedData();
    std::uint8_t* p = d->ParamImage.data();
    std::memcpy(p, "Meter 1\xE9  ", 10);
    p[20] = 17;
    p[686] = 0xFF; // channel 0 XducerType
    p[687] = 0xFF;
    p[1068 + 64] = 0x40; // channel 1 SigMode 0x8040
    p[1068 + 65] = 0x80;
    testbytes::putLE(p + 1116, std::bit_cast<std::uint32_t>(0.0254f), 4);   // channel 1 PipeID
    testbytes::putLE(p + 592 + 12, std::bit_cast<std::uint32_t>(-12.0f), 4); // loop 3 OutMin
    p[616] = 2;                                // LogicInputMode
    DecodeImage(*d);

    EXPECT_EQ(d->GlobalCells.MeterName.text, std::string("Meter 1\xE9  ")); // untrimmed, Latin-1 kept
    EXPECT_EQ(d->GlobalCells.NodeAddr.u, 17u);
    EXPECT_EQ(d->ChannelCells[0].XducerType.u, 65535u);
    EXPECT_EQ(d->ChannelCells[1].SigMode.u, 32832u);
    EXPECT_EQ(d->ChannelCells[1].PipeID.f, 0.0254f);
    EXPECT_EQ(d->LoopCells[3].OutMin.f, -12.0f);
    EXPECT_EQ(d->LogicInputMode().u, 2u);
    EXPECT_EQ(d->ChannelCells[0].PipeID.f, 0.0f);
}

TEST(Codec, EncodesEachKindAndNothingElse)
{
    auto d = MappedData();
    FillRandom(*d, 7);
    const auto before = d->ParamImage;
    DecodeImage(*d);

    // New values in every mapped cell.
    ForEachImageCell(*d, [](ParameterCell& c) {
        c.u = 0xA5;
        if (c.kind == CellKind::WordCell)
            c.u = 0xBEEF;
        c.f = 1.5f;
        c.text = "AB";
    });
    // Values of the records that have no image bytes must not reach it.
    d->ChannelCells[2].PipeID.f = 9.0f;
    d->LoopCells[4].OutMax.f = 9.0f;
    d->IoCells[3].LogicWord.u = 0x1234;
    EncodeImage(*d);

    std::vector<int> owner(2001, -1);
    const auto layout = Layout(*d);
    for (std::size_t i = 0; i < layout.size(); ++i)
        for (int k = 0; k < Size(layout[i].kind); ++k)
            owner[static_cast<std::size_t>(layout[i].offset + k)] = static_cast<int>(i);

    const std::uint8_t text[10] = {'A', 'B', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    const std::uint8_t word[2] = {0xEF, 0xBE};
    const std::uint8_t single[4] = {0x00, 0x00, 0xC0, 0x3F};
    for (int i = 0; i < 2001; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        if (owner[ui] < 0) {
            EXPECT_EQ(d->ParamImage[ui], before[ui]) << "byte " << i << " outside every cell";
            continue;
        }
        const auto& e = layout[static_cast<std::size_t>(owner[ui])];
        const int k = i - e.offset;
        switch (e.kind) {
        case CellKind::ByteCell: EXPECT_EQ(d->ParamImage[ui], 0xA5) << e.what; break;
        case CellKind::WordCell: EXPECT_EQ(d->ParamImage[ui], word[k]) << e.what; break;
        case CellKind::FloatCell: EXPECT_EQ(d->ParamImage[ui], single[k]) << e.what; break;
        case CellKind::TextCell: EXPECT_EQ(d->ParamImage[ui], text[k]) << e.what; break;
        }
    }

    // Text longer than 10 keeps its first 10; an empty one is all spaces; only the low 8 / 16
    // bits of byte and word values are written.
    d->GlobalCells.MeterName.text = "ABCDEFGHIJKLMN";
    d->GlobalCells.NodeAddr.u = 300;
    d->ChannelCells[1].XducerFreq.u = 70000;
    d->ChannelCells[0].ZeroTrim.f = -2.0f;
    EncodeImage(*d);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->ParamImage.data()), 10), "ABCDEFGHIJ");
    EXPECT_EQ(d->ParamImage[10], before[10]);
    EXPECT_EQ(d->ParamImage[20], 44);
    EXPECT_EQ(d->ParamImage[1074], 0x70);
    EXPECT_EQ(d->ParamImage[1075], 0x11);
    const std::uint8_t minus2[4] = {0x00, 0x00, 0x00, 0xC0};
    EXPECT_EQ(std::memcmp(d->ParamImage.data() + 764, minus2, 4), 0);
    d->GlobalCells.MeterName.text.clear();
    EncodeImage(*d);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->ParamImage.data()), 10), std::string(10, ' '));
}

TEST(Codec, Checksums)
{
    auto d = MappedData();
    d->ParamImage.fill(0xFF);
    std::fill(d->ParamImage.begin(), d->ParamImage.begin() + 300, 0x01);
    EXPECT_EQ(ByteChecksum(*d, 300), 0x2C);
    EXPECT_EQ(DisplayChecksum(*d, 300), 0x12C);
    EXPECT_EQ(ByteChecksum(*d, 0), 0);
    EXPECT_EQ(DisplayChecksum(*d, 0), 0);

    d->ParamImage.fill(0xFF); // 1452 x 255 = 370260 = 0x5A654
    EXPECT_EQ(ByteChecksum(*d, 1452), 0x54);
    EXPECT_EQ(DisplayChecksum(*d, 1452), 0x2654);

    d->ParamImage.fill(0x01); // a length past the array counts the 2001 bytes there are
    EXPECT_EQ(DisplayChecksum(*d, 5000), 2001);
    EXPECT_EQ(ByteChecksum(*d, 5000), 0xD1);
    EXPECT_EQ(DisplayChecksum(*d, -3), 0);
}

TEST(Codec, CopyChannelCopiesValuesNotPlaces)
{
    auto d = MappedData();
    std::uint32_t n = 1;
    ForEachCell(d->ChannelCells[0], [&n](ParameterCell& c, int) {
        c.u = n;
        c.f = 0.5f * static_cast<float>(n);
        c.text = "x";
        ++n;
    });
    d->ChannelCells[1].PipeID.f = 123.0f;

    CopyChannel(*d, 0, 1);
    const ChannelRecord& a = d->ChannelCells[0];
    const ChannelRecord& b = d->ChannelCells[1];
    EXPECT_EQ(b.PipeID.f, a.PipeID.f);
    EXPECT_EQ(b.MountType.u, 1u);
    EXPECT_EQ(b.LoadingIndex.u, a.LoadingIndex.u);
    EXPECT_EQ(b.Curve.y[24].f, a.Curve.y[24].f);
    EXPECT_EQ(b.Limit[5].u, a.Limit[5].u);
    // Encoded, channel 1's bytes (still at their own places) are channel 0's bytes.
    EXPECT_EQ(b.PipeID.offset, 1116);
    EXPECT_EQ(a.PipeID.offset, 732);
    EncodeImage(*d);
    EXPECT_EQ(std::memcmp(d->ParamImage.data() + 684, d->ParamImage.data() + 1068, 384), 0);

    // Into record 2: values arrive, the record stays out of the image.
    CopyChannel(*d, 0, 2);
    EXPECT_EQ(d->ChannelCells[2].PipeID.f, a.PipeID.f);
    EXPECT_EQ(d->ChannelCells[2].PipeID.offset, -1);
    const auto image = d->ParamImage;
    d->ChannelCells[2].PipeID.f = -1.0f;
    EncodeImage(*d);
    EXPECT_EQ(d->ParamImage, image);

    // Out-of-range indexes change nothing.
    CopyChannel(*d, 0, 3);
    CopyChannel(*d, -1, 0);
    EXPECT_EQ(d->ChannelCells[0].PipeID.f, a.PipeID.f);
    EXPECT_EQ(d->ChannelCells[0].MountType.u, 1u);
}

TEST(TransducerDefaults, TableValues)
{
    auto d = std::make_unique<MeterData>();
    FillTransducerDefaults(*d);
    const auto& t = d->TransducerDefaults;
    // column, row, value.
    std::vector<std::tuple<int, int, float>> values = {
        {1, 6, 0.681998f}, {4, 8, 5.73e-6f}, {4, 1, 5.4e-6f}, {15, 11, 0.0f}, {15, 0, 0.0f},
        {0, 8, 0.0f} /* listed 0 */, {3, 10, 2000.0f}, {5, 8, 1500.0f}, {7, 1, 999.8f}, {10, 9, 0.05f},
        {11, 8, 0.015875f}, {14, 3, 1.46e-4f}};
    for (int r = 1; r <= 10; ++r) {
        values.emplace_back(15, r, 50.0f);
        values.emplace_back(16, r, 15.0f);
    }
    for (const auto& [column, row, value] : values) {
        EXPECT_EQ(t[static_cast<std::size_t>(31 * row + column)], value) << column << "," << row;
        EXPECT_EQ(d->TransducerDefault(column, row), value) << column << "," << row;
    }
    EXPECT_EQ(d->TransducerDefault(31, 0), 0.0f);
    EXPECT_EQ(d->TransducerDefault(0, 16), 0.0f);
    // The table lists 136 non-zero values; every other entry is 0.
    EXPECT_EQ(std::count_if(t.begin(), t.end(), [](float v) { return v != 0.0f; }), 136);

    // Column 0: 8 for rows 1-5, 1 for rows 6-8; column 1: 2 for rows 1-6, 4 for rows 7-8; else 0.
    const auto& b = d->TransducerDefaultBytes;
    for (int r = 1; r <= 8; ++r) {
        EXPECT_EQ(b[static_cast<std::size_t>(31 * r)], r <= 5 ? 8 : 1) << r;
        EXPECT_EQ(b[static_cast<std::size_t>(31 * r + 1)], r <= 6 ? 2 : 4) << r;
    }
    EXPECT_EQ(std::count_if(b.begin(), b.end(), [](std::uint8_t v) { return v != 0; }), 16);
    EXPECT_EQ(d->TransducerDefaultByte(1, 7), 4);
}
