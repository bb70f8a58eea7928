#pragma once
// Random parameter images made the way the tool and the simulator make an image: every mapped
// cell filled at random, then encoded at the places of the tool's own cell map over an image whose
// every byte was random first (so the bytes outside the cells are random too). Singles are drawn
// from the awkward ones half of the time: NaNs with their payloads (quiet and signalling, either
// sign), infinities, zeros of both signs, the smallest and largest normal and subnormal values.

#include "meterdata/modBinaryRW.h"
#include "meterdata/modData.h"

#include <bit>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace randomimage {

inline float randomSingle(std::mt19937& rng)
{
    static const std::uint32_t awkward[] = {
        0x7FC00000, 0x7FC00001, 0xFFC00000, 0x7F800001, 0xFF812345, 0x7FBFFFFF, // NaNs
        0x7F800000, 0xFF800000, 0x00000000, 0x80000000,                         // infinities, zeros
        0x00000001, 0x807FFFFF, 0x00800000, 0x7F7FFFFF, 0xFF7FFFFF,             // subnormal, extremes
    };
    std::uniform_int_distribution<std::uint32_t> bits;
    switch (rng() % 4) {
    case 0: return std::bit_cast<float>(awkward[rng() % std::size(awkward)]);
    case 1: // NaN payloads; an all-zero fraction would be an infinity
        return std::bit_cast<float>(static_cast<std::uint32_t>((bits(rng) & 0x007FFFFF) | 0x7F800001 | (rng() & 1u) << 31));
    case 2: return std::uniform_real_distribution<float>(-2000.0f, 2000.0f)(rng);
    default: return std::bit_cast<float>(static_cast<std::uint32_t>(bits(rng)));
    }
}

// The first 1452 bytes of a random image.
inline std::vector<std::uint8_t> randomImage(std::mt19937& rng)
{
    auto data = std::make_unique<modData::MeterData>();
    for (std::uint8_t& b : data->ParamImage)
        b = static_cast<std::uint8_t>(rng());
    modBinaryRW::BuildCellMap(*data);
    modData::ForEachImageCell(*data, [&rng](modData::ParameterCell& c) {
        switch (c.kind) {
        case modData::CellKind::ByteCell: c.u = rng() & 0xFF; break;
        case modData::CellKind::WordCell: c.u = rng() & 0xFFFF; break;
        case modData::CellKind::FloatCell: c.f = randomSingle(rng); break;
        case modData::CellKind::TextCell:
            c.text.clear();
            for (int i = 0; i < 10; ++i)
                c.text += static_cast<char>(rng() & 0xFF);
            break;
        }
    });
    modBinaryRW::EncodeImage(*data);
    return {data->ParamImage.begin(), data->ParamImage.begin() + 1452};
}

} // namespace randomimage
