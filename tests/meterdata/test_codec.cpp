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
#include <utility>
#include <vector>

using namespace modData;
using namespace modBinaryRW;

namespace {

constexpr CellKind B = CellKind::ByteCell, W = CellKind::WordCell, F = CellKind::FloatCell, T = CellKind::TextCell;

int Size(CellKind k) { return k == B ? 1 : k == W ? 2 : k == F ? 4 : 10; }

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

// The image layout, cell by cell: C(member, offset in its record, kind); R(array, first, step, kind).
std::vector<Expected> Layout(const MeterData& d)
{
    std::vector<Expected> e;
    int base = 0;
    std::string prefix;
    auto one = [&](const ParameterCell& c, int at, CellKind kind, const std::string& what) {
        e.push_back({&c, base + at, kind, prefix + what});
    };
    auto run = [&](const auto& cells, int first, int step, CellKind kind, const std::string& what) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            one(cells[i], first + step * static_cast<int>(i), kind, what + "[" + std::to_string(i) + "]");
    };
#define C(member, at, kind) one(r.member, at, kind, #member)
#define R(member, first, step, kind) run(r.member, first, step, kind, #member)
    {
        const GlobalRecord& r = d.GlobalCells;
        C(MeterName, 0, T); C(NodeAddr, 20, B); C(NumberChan, 28, B); C(Byte30, 30, B); R(Carried36, 36, 4, F);
        C(Byte44, 44, B); R(Carried48, 48, 4, F); R(Carried84, 84, 2, W); R(Carried90, 90, 2, B);
        R(Curves[0].x, 96, 4, F); R(Curves[0].y, 196, 4, F); C(Carried296, 296, W); R(Carried298, 298, 2, B);
        R(Curves[1].x, 304, 4, F); R(Curves[1].y, 404, 4, F); C(Carried504, 504, F); C(Carried508, 508, B);
        R(Carried512, 512, 4, F);
    }
    const int loopAt[] = {532, 552, 572, 592};
    for (int i = 0; i < 4; ++i) {
        const LoopRecord& r = d.LoopCells[static_cast<std::size_t>(i)];
        base = loopAt[i];
        prefix = "loop" + std::to_string(i) + ".";
        C(LoopStatus, 0, B); C(LoopErrAction, 2, B); C(LoopChannel, 4, B); C(LoopParam, 6, B);
        C(DacHigh, 8, W); C(DacLow, 10, W); C(OutMin, 12, F); C(OutMax, 16, F);
    }
    base = 0;
    prefix.clear();
    one(d.AuxWords[0], 612, W, "aux612");
    one(d.AuxWords[1], 616, W, "LogicInputMode");
    const int ioAt[] = {620, 636, 652};
    for (int i = 0; i < 3; ++i) {
        const IoRecord& r = d.IoCells[static_cast<std::size_t>(i)];
        base = ioAt[i];
        prefix = "io" + std::to_string(i) + ".";
        C(LogicMode, 0, B); C(LogicChannel, 2, B); C(LogicParam, 4, B); C(LogicWord, 6, W);
        C(LogicValue[0], 8, F); C(LogicValue[1], 12, F);
    }
    const int chanAt[] = {684, 1068};
    for (int i = 0; i < 2; ++i) {
        const ChannelRecord& r = d.ChannelCells[static_cast<std::size_t>(i)];
        base = chanAt[i];
        prefix = "chan" + std::to_string(i) + ".";
        C(MountType, 0, B); C(XducerType, 2, W); C(TubeGeometry, 4, B); C(XducerFreq, 6, W); C(SinRefract, 8, F);
        C(WedgeSpeed, 12, F); C(SamplesPerCycle, 16, B); C(XducerDelay, 20, F); C(PulseWidth, 24, B);
        C(Spacing, 28, F); C(FluidVOS, 32, F); C(Traverses, 36, B); C(PathLength, 40, F); C(AxialLength, 44, F);
        C(PipeID, 48, F); C(WallThick, 52, F); C(WallSpeed, 56, F); C(ResponseTime, 60, B); C(Threshold, 62, B);
        C(SigMode, 64, W); C(SigByte, 66, B); C(AntiJitter, 68, B); C(Carried72, 72, F); C(CalFactor, 76, F);
        C(ZeroTrim, 80, F); C(Carried84, 84, F); C(CutOff, 88, F); C(Carried92, 92, W); C(MinVel, 96, F);
        C(MaxVel, 100, F); C(MaxVOS, 104, F); C(MinVOS, 108, F); C(MinSignal, 112, W); R(Limit, 114, 2, W);
        C(MaxErrPct, 126, W); C(ErrHandle, 128, W); C(CalPoints, 132, W); C(CalTableKind, 134, B);
        C(Carried136, 136, B); R(Curve.x, 140, 4, F); R(Curve.y, 240, 4, F); C(FluidKind, 340, B);
        R(Carried344, 344, 4, F); C(FluidDensity, 356, F); C(FluidViscosity, 360, F); R(Carried364, 364, 4, F);
        C(ParticleIndex, 380, W); C(LoadingIndex, 382, W);
    }
#undef C
#undef R
    return e;
}

} // namespace

TEST(CellMap, EveryCellAtItsPlace)
{
    auto d = std::make_unique<MeterData>();
    EXPECT_EQ(d->ChannelCells[0].PipeID.offset, -1) << "unmapped until the map is built";
    d->ChannelCells[0].PipeID.f = 0.1f;
    d->GlobalCells.MeterName.text = "ABC";
    BuildCellMap(*d);
    EXPECT_EQ(d->ChannelCells[0].PipeID.f, 0.1f) << "the map sets offsets only";
    EXPECT_EQ(d->GlobalCells.MeterName.text, "ABC");

    // Every cell inside 0..1451 (overlaps show in the encoding test).
    std::vector<std::pair<int, const ParameterCell*>> inOrder;
    for (const Expected& e : Layout(*d)) {
        SCOPED_TRACE(e.what);
        EXPECT_EQ(e.cell->offset, e.offset);
        EXPECT_EQ(static_cast<int>(e.cell->kind), static_cast<int>(e.kind));
        ASSERT_TRUE(e.offset >= 0 && e.offset + Size(e.kind) <= 1452);
        inOrder.emplace_back(e.offset, e.cell);
    }

    // The codec walks exactly these cells, in ascending image order.
    std::sort(inOrder.begin(), inOrder.end());
    std::vector<std::pair<int, const ParameterCell*>> visited;
    ForEachImageCell(*d, [&visited](const ParameterCell& c) { visited.emplace_back(c.offset, &c); });
    EXPECT_EQ(visited, inOrder);

    // The records without image bytes.
    int mapped = 0;
    const auto count = [&mapped](const ParameterCell& c, int) { mapped += c.offset >= 0; };
    ForEachCell(d->LoopCells[4], count);
    ForEachCell(d->IoCells[3], count);
    ForEachCell(d->ChannelCells[2], count);
    EXPECT_EQ(mapped, 0);
}

TEST(Codec, DecodesEachKindAndEncodesBackEveryByte)
{
    auto d = MappedData();
    FillRandom(*d, 1);
    std::uint8_t* p = d->ParamImage.data();
    std::memcpy(p, "Meter 1\xE9  ", 10);
    p[20] = 17;
    testbytes::putLE(p + 686, 0xFFFF, 2);                                    // channel 0 XducerType
    testbytes::putLE(p + 1068 + 64, 0x8040, 2);                              // channel 1 SigMode
    testbytes::putLE(p + 1116, std::bit_cast<std::uint32_t>(0.0254f), 4);   // channel 1 PipeID
    testbytes::putLE(p + 592 + 12, std::bit_cast<std::uint32_t>(-12.0f), 4); // loop 3 OutMin
    testbytes::putLE(p + 616, 2, 2);                                         // LogicInputMode
    const auto before = d->ParamImage;
    DecodeImage(*d);

    EXPECT_EQ(d->GlobalCells.MeterName.text, std::string("Meter 1\xE9  ")); // untrimmed, Latin-1 kept
    EXPECT_EQ(d->GlobalCells.NodeAddr.u, 17u);
    EXPECT_EQ(d->ChannelCells[0].XducerType.u, 65535u);
    EXPECT_EQ(d->ChannelCells[1].SigMode.u, 32832u);
    EXPECT_EQ(d->ChannelCells[1].PipeID.f, 0.0254f);
    EXPECT_EQ(d->LoopCells[3].OutMin.f, -12.0f);
    EXPECT_EQ(d->LogicInputMode().u, 2u);

    EncodeImage(*d);
    EXPECT_EQ(d->ParamImage, before);
}

TEST(Codec, EncodesEachKindAndNothingElse)
{
    auto d = MappedData();
    FillRandom(*d, 7);
    const auto before = d->ParamImage;
    DecodeImage(*d);

    // New values in every mapped cell; byte and word cells write only their low 8 / 16 bits.
    ForEachImageCell(*d, [](ParameterCell& c) {
        c.u = c.kind == CellKind::WordCell ? 0x1BEEFu : 0x1A5u;
        c.f = 1.5f;
        c.text = "AB";
    });
    EncodeImage(*d);

    // Which cell owns each image byte: no byte two, and the last image byte one.
    std::vector<int> owner(2001, -1);
    const auto layout = Layout(*d);
    for (std::size_t i = 0; i < layout.size(); ++i)
        for (int k = 0; k < Size(layout[i].kind); ++k)
            EXPECT_EQ(std::exchange(owner[static_cast<std::size_t>(layout[i].offset + k)], static_cast<int>(i)), -1)
                << layout[i].what << " overlaps at " << layout[i].offset + k;
    EXPECT_GE(owner[1451], 0);

    const std::uint8_t text[10] = {'A', 'B', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    const std::uint8_t word[2] = {0xEF, 0xBE};
    const std::uint8_t single[4] = {0x00, 0x00, 0xC0, 0x3F};
    for (std::size_t i = 0; i < 2001; ++i) {
        if (owner[i] < 0) {
            EXPECT_EQ(d->ParamImage[i], before[i]) << "byte " << i << " outside every cell";
            continue;
        }
        const auto& e = layout[static_cast<std::size_t>(owner[i])];
        const auto k = i - static_cast<std::size_t>(e.offset);
        const std::uint8_t want = e.kind == B ? 0xA5 : e.kind == W ? word[k] : e.kind == F ? single[k] : text[k];
        EXPECT_EQ(d->ParamImage[i], want) << e.what;
    }

    // Text longer than 10 keeps its first 10; an empty one is all spaces.
    d->GlobalCells.MeterName.text = "ABCDEFGHIJKLMN";
    EncodeImage(*d);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->ParamImage.data()), 11),
              "ABCDEFGHIJ" + std::string(1, static_cast<char>(before[10])));
    d->GlobalCells.MeterName.text.clear();
    EncodeImage(*d);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->ParamImage.data()), 10), std::string(10, ' '));
}

TEST(Codec, Checksums)
{
    auto d = MappedData();
    d->ParamImage.fill(0xFF);
    d->ParamImage[0] = 0x01; // 1 + 1451 x 255 = 0x5A556; all 2001 bytes: 1 + 2000 x 255 = 0x7C831
    EXPECT_EQ(ByteChecksum(*d, 1452), 0x56);
    EXPECT_EQ(DisplayChecksum(*d, 1452), 0x2556);
    EXPECT_EQ(ByteChecksum(*d, 5000), 0x31) << "a length past the array counts the 2001 bytes there are";
    EXPECT_EQ(DisplayChecksum(*d, 5000), 0x4831);
    EXPECT_EQ(ByteChecksum(*d, 0), 0);
    EXPECT_EQ(DisplayChecksum(*d, -3), 0);
}

TEST(Codec, CopyChannelCopiesValuesNotPlaces)
{
    auto d = MappedData();
    std::uint32_t n = 1;
    ForEachCell(d->ChannelCells[0], [&n](ParameterCell& c, int) {
        c.u = n;
        c.f = 0.5f * static_cast<float>(n++);
    });
    d->ChannelCells[1].PipeID.f = 123.0f;

    // Encoded, channel 1's bytes (still at their own places) are channel 0's bytes.
    CopyChannel(*d, 0, 1);
    EncodeImage(*d);
    EXPECT_EQ(d->ParamImage[1068], 1) << "channel 0's MountType";
    EXPECT_EQ(std::memcmp(d->ParamImage.data() + 684, d->ParamImage.data() + 1068, 384), 0);

    // Into record 2: values arrive, the record stays out of the image.
    CopyChannel(*d, 0, 2);
    EXPECT_EQ(d->ChannelCells[2].PipeID.f, d->ChannelCells[0].PipeID.f);
    EXPECT_EQ(d->ChannelCells[2].PipeID.offset, -1);

    // Out-of-range indexes change nothing.
    d->ChannelCells[2].MountType.u = 99;
    CopyChannel(*d, 0, 3);
    CopyChannel(*d, 3, 0);
    CopyChannel(*d, -1, 0);
    EXPECT_EQ(d->ChannelCells[0].MountType.u, 1u);
}

TEST(TransducerDefaults, TableValues)
{
    auto d = std::make_unique<MeterData>();
    FillTransducerDefaults(*d);
    const auto& t = d->TransducerDefaults;
    // column, row, value; columns 15 and 16 hold 50 and 15 in rows 1-10.
    const std::tuple<int, int, float> values[] = {
        {1, 6, 0.681998f}, {4, 8, 5.73e-6f}, {4, 1, 5.4e-6f}, {0, 8, 0.0f} /* listed 0 */, {3, 10, 2000.0f},
        {5, 8, 1500.0f}, {7, 1, 999.8f}, {10, 9, 0.05f}, {11, 8, 0.015875f}, {14, 3, 1.46e-4f}, {15, 0, 0.0f},
        {15, 1, 50.0f}, {15, 10, 50.0f}, {15, 11, 0.0f}, {16, 1, 15.0f}, {16, 10, 15.0f}, {16, 11, 0.0f}};
    for (const auto& [column, row, value] : values)
        EXPECT_EQ(d->TransducerDefault(column, row), value) << column << "," << row;
    EXPECT_EQ(d->TransducerDefault(31, 0), 0.0f);
    EXPECT_EQ(d->TransducerDefault(0, 16), 0.0f);
    // The table lists 136 non-zero values; every other entry is 0.
    EXPECT_EQ(std::count_if(t.begin(), t.end(), [](float v) { return v != 0.0f; }), 136);

    // Column 0: 8 for rows 1-5, 1 for rows 6-8; column 1: 2 for rows 1-6, 4 for rows 7-8; else 0.
    const auto& b = d->TransducerDefaultBytes;
    for (int r = 1; r <= 8; ++r) {
        EXPECT_EQ(d->TransducerDefaultByte(0, r), r <= 5 ? 8 : 1) << r;
        EXPECT_EQ(d->TransducerDefaultByte(1, r), r <= 6 ? 2 : 4) << r;
    }
    EXPECT_EQ(std::count_if(b.begin(), b.end(), [](std::uint8_t v) { return v != 0; }), 16);
}
