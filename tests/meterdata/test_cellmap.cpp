// The cell map: every cell's image offset and kind against the layout typed on its own in
// image_layout.h, and the cells the codec walks.

#include "image_layout.h"
#include "meterdata/modBinaryRW.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace modData;

using namespace layout;

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
    std::set<const ParameterCell*> expectedCells;
    for (const Expected& e : layout)
        expectedCells.insert(e.cell);
    std::vector<const ParameterCell*> visited;
    ForEachImageCell(*d, [&visited](const ParameterCell& c) { visited.push_back(&c); });
    EXPECT_EQ(visited.size(), layout.size());
    EXPECT_EQ(std::set<const ParameterCell*>(visited.begin(), visited.end()), expectedCells);
    for (std::size_t i = 1; i < visited.size(); ++i)
        EXPECT_LT(visited[i - 1]->offset, visited[i]->offset) << "cell " << i;

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
