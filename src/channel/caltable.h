#pragma once
// The working copy of a channel's multi-point calibration table: up to 25 points (x, correction
// factor), kept in ascending order of x. Loading never reads past the channel's 25-point curve,
// whatever point count the image holds.

#include "meterdata/modData.h"

#include <array>

namespace caltable {

struct Table {
    static constexpr int Points = modData::CurveTable::Points;

    int count = 0;
    std::array<float, Points> x{};
    std::array<float, Points> y{};

    bool full() const { return count >= Points; }
    // Inserts the point after every point whose x is not above it; false (nothing changes) when
    // the table is full.
    bool add(float px, float py);
    // Removes point i; the points after it move up by one.
    void remove(int i);
    // Points 0..CalPoints-1 of the channel's curve, the count clamped to 0..25.
    void load(const modData::ChannelRecord& r);
    // Stores the count and points 0..count-1; the points after them keep their values.
    void store(modData::ChannelRecord& r) const;
};

} // namespace caltable
