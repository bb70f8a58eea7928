#pragma once
// The configuration as named cells: every cell of the parameter image with its group, its name,
// the audit sheet's caption where the sheet prints it, and its unit; the image bytes outside every
// cell; and a configuration as a site file holds it (head and image).

#include "meterdata/modData.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace auditsheet {
struct CellPrint;
}

namespace configtext {

inline constexpr int kImageBytes = 1452;
inline constexpr int kSiteFileBytes = 3 + kImageBytes;

enum class Group { Global, ChannelA, ChannelB, Loops, LogicIo, CalTables };
inline constexpr Group kGroups[] = {Group::Global,  Group::ChannelA, Group::ChannelB,
                                    Group::Loops,   Group::LogicIo,  Group::CalTables};
// "Global", "Channel A", ... as headings; "global", "chanA", ... as the first part of a name.
QString GroupTitle(Group group);
QString GroupKey(Group group);

struct Cell {
    Group group = Group::Global;
    QString name;      // "chanA.CalFactor", "loops.LoopCells[3].OutMin", "cal.Curves[0].x[4]"
    QString caption;   // the audit sheet's caption ("LOOP1 Out MIN"), else the name without its group
    modData::CellKind kind = modData::CellKind::ByteCell;
    int offset = 0;
    int bytes = 1;
    const auditsheet::CellPrint* print = nullptr; // how the audit sheet prints the cell
    int list = -1;     // item list whose entry the value names
    int unitKind = -1; // unit kind of the base unit; -2: the kind of the loop's quantity
    int record = -1;   // loop record (for the quantity's kind)
};

// Every cell that has a place in the image, in image order.
const std::vector<Cell>& Cells();
// The cell of that name, or null.
const Cell* FindCell(const QString& name);

// Runs of image bytes outside every cell: first offset and length, in image order.
struct Run {
    int offset = 0;
    int length = 0;
};
const std::vector<Run>& Uncovered();

// A configuration as a site file holds it.
struct Config {
    std::uint8_t model = 0;
    std::uint8_t version = 0;
    std::uint8_t checksum = 0; // the head's checksum byte as stored
    std::array<std::uint8_t, kImageBytes> image{};

    std::uint8_t imageChecksum() const; // the byte checksum of the image
    bool checksumMatches() const { return checksum == imageChecksum(); }
    QByteArray siteFileBytes() const;
};

// A site file of exactly 1455 bytes taken apart; false with the reason (which names the path)
// for a file that cannot be read or is no whole site file. A checksum byte that does not match
// the image is kept as it is (see checksumMatches).
bool ReadSiteConfig(const QString& path, Config& config, QString& error);
bool ParseSiteConfig(const QByteArray& bytes, const QString& path, Config& config, QString& error);
// The configuration of a session's cells and image: the cells encoded over a copy of the image
// (its uncovered bytes as they are), the model and version given, the checksum computed.
Config ConfigOfCells(const modData::MeterData& data, std::uint8_t model, std::uint8_t version);

// A cell's value exactly, as the text form writes it: integers in decimal, singles in the
// shortest text that reads back to the same bits (NaN as nan(0x7FC00001) with its bits, infinity
// as inf / -inf), text quoted with \" \\ and \xNN for bytes outside printable ASCII.
QString ExactValue(const Cell& cell, const Config& config);
// The base unit the exact value is in ("m", "m/s", "s", ...); empty for a plain number.
QString BaseUnit(const Cell& cell, const Config& config);
// The value as a person reads it: as the audit sheet prints it (in its unit, "K_FACTOR" 1.25,
// "Wall Thick" .80 mm, "TRANSDUCER" KRB41), a list cell as its list entry, else the exact value
// in its base unit.
QString ShownValue(const Cell& cell, const Config& config);

// Upper-case hexadecimal with at least `digits` digits.
QString hexText(std::uint32_t value, int digits);

// Bits of a single as the image holds them.
std::uint32_t CellBits(const Cell& cell, const Config& config);

} // namespace configtext
