#pragma once
// One meter parameter: a value plus the place of that value in the parameter image.

#include <cstdint>
#include <string>

namespace modData {

// How a cell's value is laid out in the image (all multi-byte values little-endian).
enum class CellKind : std::uint8_t {
    ByteCell,  // 1 byte, value in u (0..255)
    WordCell,  // 2 bytes, value in u (0..65535, never sign-extended)
    FloatCell, // 4 bytes, IEEE-754 single in f
    TextCell,  // 10 bytes, Latin-1 characters in text, space padded in the image
};

// Bytes a cell of the given kind occupies in the image.
constexpr int CellBytes(CellKind kind)
{
    switch (kind) {
    case CellKind::ByteCell: return 1;
    case CellKind::WordCell: return 2;
    case CellKind::FloatCell: return 4;
    case CellKind::TextCell: return 10;
    }
    return 0;
}

struct ParameterCell {
    CellKind kind = CellKind::ByteCell;
    // First image byte of the value; -1 while the cell has no place in the image (unmapped
    // records, or before the map is built).
    int offset = -1;
    std::uint32_t u = 0; // ByteCell and WordCell
    float f = 0.0f;      // FloatCell
    std::string text;    // TextCell: Latin-1 bytes as decoded (untrimmed) or as typed

    bool mapped() const { return offset >= 0; }
};

// Value-only copy: the destination keeps its kind and its image offset.
inline void CopyCellValue(ParameterCell& to, const ParameterCell& from)
{
    to.u = from.u;
    to.f = from.f;
    to.text = from.text;
}

} // namespace modData
