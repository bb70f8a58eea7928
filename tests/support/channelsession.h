#pragma once
// A window-tool session that holds the simulator's factory image as if it had just been read
// (two channels: KRB41 on A, KRB17 on B, water, default limits and signal processing), for the
// setup windows' tests; plus the image bytes an edit changed. Link zav_meter_sim_lib.

#include "imagefile.h"
#include "meterdata/modBinaryRW.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <algorithm>
#include <set>
#include <vector>

struct ChannelSession {
    TestSession t;
    ChannelSession()
    {
        t.start();
        const sim::Image image = sim::FactoryImage();
        std::copy(image.begin(), image.end(), t.s().ParamImage.begin());
        t.s().ImageLength = static_cast<std::uint16_t>(image.size());
        t.s().ImageValid = 1;
        modBinaryRW::DecodeImage(t.s());
    }
    Session& s() { return t.s(); }
    modData::ChannelRecord& chan(int c) { return s().ChannelCells[static_cast<std::size_t>(c)]; }
    template <class W>
    W& win()
    {
        return s().windows().get<W>();
    }
    // The image the cells encode to now.
    std::vector<std::uint8_t> encoded()
    {
        modBinaryRW::EncodeImage(s());
        return {s().ParamImage.begin(), s().ParamImage.begin() + 1452};
    }
};

// Image offsets at which two images differ.
inline std::set<int> ChangedBytes(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    std::set<int> changed;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            changed.insert(static_cast<int>(i));
    return changed;
}

// The image bytes of the given cells (an edit's cells).
inline std::set<int> CellBytes(std::initializer_list<const modData::ParameterCell*> cells)
{
    std::set<int> bytes;
    for (const modData::ParameterCell* c : cells)
        for (int i = 0; i < modData::CellBytes(c->kind); ++i)
            bytes.insert(c->offset + i);
    return bytes;
}

// The images differ in exactly the given cells: no byte outside them changed, and at least one
// byte of each (a value may keep some of its bytes).
inline void ExpectChangedCells(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                               std::initializer_list<const modData::ParameterCell*> cells)
{
    const std::set<int> changed = ChangedBytes(before, after), owned = CellBytes(cells);
    for (int b : changed)
        EXPECT_TRUE(owned.count(b)) << "image byte " << b << " changed";
    for (const modData::ParameterCell* c : cells) {
        const std::set<int> own = CellBytes({c});
        EXPECT_TRUE(std::any_of(own.begin(), own.end(), [&](int b) { return changed.count(b) > 0; }))
            << "cell at " << c->offset << " unchanged";
    }
}
