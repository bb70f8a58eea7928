#pragma once
// The difference of two configurations, in the meter's own words: the head first (model,
// version, checksum byte), then each cell that differs, by group, with its caption and both values
// as a person reads them, then the image bytes outside every cell that differ, by offset.

#include "configtext/configcells.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace configtext {

struct HeadDifference {
    QString what; // "Model", "Version", "Checksum"
    QString a, b;
};
struct CellDifference {
    const Cell* cell = nullptr;
    // Both values as shown; where the shown texts are alike the exact values follow in brackets.
    QString a, b;
};
struct ByteDifference {
    int offset = 0;
    std::uint8_t a = 0, b = 0;
};

struct Difference {
    // A side whose checksum byte does not match its own image (told, not counted as a difference).
    QStringList notes;
    std::vector<HeadDifference> head;
    std::vector<CellDifference> cells; // in group order, image order within a group
    std::vector<ByteDifference> bytes;
    bool equal() const { return head.empty() && cells.empty() && bytes.empty(); }
};

Difference Compare(const Config& a, const Config& b);

// Leaves out the differing cells the patterns name: a cell's name ("global.MeterName"), or a
// beginning of names followed by '*' ("chanB.*", "cal.chanA.Curve.*"). The cells left out are told
// in the notes, and a checksum difference that only follows the images goes with them (whatever else
// differs in the images is still told cell by cell or byte by byte).
void Ignore(Difference& d, const Config& a, const Config& b, const QStringList& patterns);
// Whether the pattern names at least one cell.
bool NamesACell(const QString& pattern);

// The difference as text, CR LF lines: the two sides named, then the differences, then a count.
QString DiffText(const Difference& d, const QString& nameA, const Config& a, const QString& nameB, const Config& b);
// The same as one JSON document.
QByteArray DiffJson(const Difference& d, const QString& nameA, const Config& a, const QString& nameB, const Config& b);
// "3 differences: 1 in the head, 1 cell, 1 byte outside the cells", or that there are none.
QString DiffSummary(const Difference& d);

} // namespace configtext
