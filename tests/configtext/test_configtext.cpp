// Configurations as named cells and as text: export then import rebuilds every test site file and
// 1000 random images byte for byte; a text with a fault is refused with its line and builds
// nothing; the difference of two configurations reads in the audit sheet's words.

#include "configtext/configdiff.h"
#include "configtext/configtext.h"
#include "meterdata/sitetest.h"
#include "support/printers.h"
#include "support/randomimage.h"

#include <QSet>
#include <set>
#include <gtest/gtest.h>

using namespace configtext;
using namespace sitetest;

namespace {

Config configOf(const QByteArray& siteFile)
{
    Config c;
    QString error;
    EXPECT_TRUE(ParseSiteConfig(siteFile, QStringLiteral("test"), c, error)) << error.toStdString();
    return c;
}

Config factory() { return configOf(factorySiteFile()); }

void setSingleBits(Config& c, const QString& name, std::uint32_t bits)
{
    const Cell* cell = FindCell(name);
    ASSERT_NE(cell, nullptr) << name.toStdString();
    std::memcpy(c.image.data() + cell->offset, &bits, 4);
}
void setSingle(Config& c, const QString& name, float f) { setSingleBits(c, name, std::bit_cast<std::uint32_t>(f)); }

} // namespace

TEST(ConfigText, ExportThenImportRebuildsTestSiteFilesAndRandomImagesByteForByte)
{
    QSet<QString> names;
    for (const Cell& c : Cells()) {
        EXPECT_FALSE(c.name.contains(QLatin1String(".Cell"))) << "unnamed cell at " << c.offset;
        names.insert(c.name);
    }
    EXPECT_EQ(names.size(), static_cast<qsizetype>(Cells().size())) << "names are unique";

    QByteArray damaged = factorySiteFile();
    damaged[2] = static_cast<char>(damaged[2] ^ 1);
    QList<QByteArray> files{factorySiteFile(1, 3), factorySiteFile(7, 9), damaged};
    std::mt19937 rng(20261207);
    for (int i = 0; i < 1000; ++i) {
        const std::vector<std::uint8_t> image = randomimage::randomImage(rng);
        QByteArray file;
        file.append(static_cast<char>(rng())).append(static_cast<char>(rng()));
        file.append(static_cast<char>(i % 2 ? byteSum(image) : rng())); // a checksum byte that may not match
        file.append(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
        files << file;
    }
    for (qsizetype i = 0; i < files.size(); ++i) {
        const Config original = configOf(files[i]);
        const QByteArray text = ExportText(original);
        Config back;
        QStringList errors;
        ASSERT_TRUE(ImportText(text, back, errors)) << "file " << i << ": " << errors.join('\n').toStdString();
        ASSERT_EQ(back.siteFileBytes(), files[i]) << "file " << i << "\n" << text.toStdString();
        if (i % 10 == 0) {
            // Whatever the cells hold, each difference keeps to its own line.
            const Difference d = Compare(factory(), original);
            std::set<Group> groups;
            for (const CellDifference& c : d.cells)
                groups.insert(c.cell->group);
            const qsizetype lines = 3 + d.notes.size() + static_cast<qsizetype>(d.head.size() + groups.size() + d.cells.size())
                                    + (d.bytes.empty() ? 0 : 1 + static_cast<qsizetype>(d.bytes.size()));
            EXPECT_EQ(DiffText(d, "a", factory(), "b", original).count(QStringLiteral("\r\n")), lines);
            EXPECT_EQ(DiffText(d, "a", factory(), "b", original).count(QLatin1Char('\n')), lines);
        }
    }

    // Singles read back to their bits, and read well where they are ordinary.
    Config c = factory();
    setSingleBits(c, "chanA.CalFactor", 0x7FC00001);
    setSingleBits(c, "chanB.CalFactor", 0xFF800000);
    setSingle(c, "chanA.ZeroTrim", 0.1f);
    const QByteArray text = ExportText(c);
    for (const char* line : {"\r\nchanA.CalFactor = nan(0x7FC00001)  # K_FACTOR\r\n", "\r\nchanB.CalFactor = -inf  # K_FACTOR\r\n",
                             "\r\nchanA.ZeroTrim = 0.1  # ZERO_OFFSET\r\n", "\r\nchanA.PipeID = 0.00463 m\r\n",
                             "\r\nglobal.MeterName = \"ZAV METER \"\r\n", "\r\nbytes 668 = 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n"})
        EXPECT_TRUE(text.contains(line)) << line;
}

TEST(ConfigText, ATextWithAFaultIsRefusedWithItsLineAndBuildsNothing)
{
    const QList<QByteArray> lines = ExportText(factory()).split('\n');
    const auto lineOf = [&](const char* start) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith(start))
                return static_cast<int>(i);
        ADD_FAILURE() << start;
        return 0;
    };
    // The text with line `at` (0-based) replaced, or removed when `with` is null, or with `with`
    // added at the end when `at` is -1.
    const auto edited = [&](int at, const char* with) {
        QList<QByteArray> l = lines;
        if (at < 0)
            l.insert(l.size() - 1, QByteArray(with) + "\r");
        else if (with)
            l[at] = QByteArray(with) + "\r";
        else
            l.removeAt(at);
        return l.join('\n');
    };
    const int k = lineOf("chanA.CalFactor"), rt = lineOf("chanA.ResponseTime"), pipe = lineOf("chanA.PipeID");
    const int free668 = lineOf("bytes 668");
    struct Case {
        Case(const QByteArray& t, const QString& e) : text(t), errors{e} {}
        Case(const QByteArray& t, const QStringList& e) : text(t), errors(e) {}
        QByteArray text;
        QStringList errors;
    };
    const Case cases[] = {
        {edited(k, "chanA.CalFactor 1.25"),
         {QStringLiteral("line %1: \"chanA.CalFactor 1.25\" is not \"name = value\"").arg(k + 1),
          QStringLiteral("a cell is missing: chanA.CalFactor")}},
        {edited(rt, "chanA.ResponseTime = 300"), QStringLiteral("line %1: chanA.ResponseTime: 300 is outside the cell's range 0..255").arg(rt + 1)},
        {edited(k, "chanA.CalFactor = 1e39"), QStringLiteral("line %1: chanA.CalFactor: 1e39 is outside the range of a single (about "
                                                             "-3.4E+38 to 3.4E+38)").arg(k + 1)},
        {edited(k, "chanA.CalFactor = nan(0x7F800000)"), QStringLiteral("line %1: chanA.CalFactor: \"nan(0x7F800000)\" is not the bit pattern of a NaN "
                                                                        "(exponent bits all set, fraction not zero)").arg(k + 1)},
        {edited(-1, "chanA.PipeID = 0.005 m"), QStringLiteral("line %1: chanA.PipeID given twice (first on line %2)").arg(lines.size()).arg(pipe + 1)},
        {edited(k, nullptr), QStringLiteral("a cell is missing: chanA.CalFactor")},
        {edited(pipe, "chanA.PipeID = 4.63 mm"), QStringLiteral("line %1: chanA.PipeID is written in m, not in \"mm\"").arg(pipe + 1)},
        {edited(lineOf("global.MeterName"), "global.MeterName = \"PLANT 3 EAST\""),
         QStringLiteral("line 6: global.MeterName: a text of 12 characters does not fit the cell's 10")},
        {edited(-1, "bytes 0 = 00"), QStringLiteral("line %1: image byte 0 is not outside every cell (cells are given by name)").arg(lines.size())},
        {edited(free668, nullptr), QStringLiteral("image bytes 668..683 outside the cells are missing")},
        {edited(lineOf("model"), "model = 256"), QStringLiteral("line 4: model needs a number from 0 to 255, not \"256\"")},
        {edited(lineOf("chanB.Carried72"), "chanB.Carried27 = 0"),
         {QStringLiteral("line %1: there is no cell named \"chanB.Carried27\"").arg(lineOf("chanB.Carried72") + 1),
          QStringLiteral("a cell is missing: chanB.Carried72")}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(expected.first().toStdString());
        Config untouched;
        untouched.model = 42;
        QStringList errors;
        EXPECT_FALSE(ImportText(text, untouched, errors));
        EXPECT_EQ(errors, expected);
        EXPECT_EQ(untouched.model, 42) << "nothing built";
    }

    // Written by hand: LF lines, comments, a short name padded, the checksum made for the image.
    QByteArray hand = edited(lineOf("global.MeterName"), "global.MeterName = \"PLANT #3\"  # where it is");
    hand.replace("\r\n", "\n");
    Config c;
    QStringList errors;
    ASSERT_TRUE(ImportText(hand, c, errors)) << errors.join('\n').toStdString();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(c.image.data()), 10), "PLANT #3  ");
    EXPECT_TRUE(c.checksumMatches());
}

TEST(ConfigDiff, TellsTheHeadFirstThenTheCellsByGroupInTheSheetsWordsThenTheBytes)
{
    const Config a = factory();
    Config b = a;
    b.model = 7;
    setSingle(b, "chanB.CalFactor", 1.25f);
    setSingle(b, "chanA.Spacing", 0.0050801f);                   // the same on the sheet
    setSingle(b, "loops.LoopCells[3].OutMax", 0.001f);           // shown in lpm
    b.image[static_cast<std::size_t>(FindCell("chanB.FluidKind")->offset)] = 5; // a list entry
    setSingle(b, "cal.chanA.Curve.y[2]", 2.5f);
    b.image[668] = 0x5A;
    b.checksum = b.imageChecksum();

    const Difference d = Compare(a, b);
    EXPECT_EQ(DiffText(d, "before.bin", a, "after.bin", b),
              QStringLiteral("A: before.bin (model 1, version 3, checksum 0x%1)\r\n"
                             "B: after.bin (model 7, version 3, checksum 0x%2)\r\n"
                             "Model: 1 -> 7\r\n"
                             "Checksum: 0x%1 -> 0x%2\r\n"
                             "Channel A:\r\n"
                             "  Axial Space: 5.08 mm [0.00508 m] -> 5.08 mm [0.0050801 m]\r\n"
                             "Channel B:\r\n"
                             "  K_FACTOR: 1 -> 1.25\r\n"
                             "  FluidKind: Other -> Diesel\r\n"
                             "Loops:\r\n"
                             "  LOOP1 Out MAX: 12.00 lpm -> 60.00 lpm\r\n"
                             "Calibration tables:\r\n"
                             "  Channel A Curve.y[2]: 0 -> 2.5\r\n"
                             "Bytes outside every cell:\r\n"
                             "  668: 0x00 -> 0x5A\r\n"
                             "8 differences: 2 in the head, 5 cells, 1 byte outside the cells.\r\n")
                  .arg(hexText(a.checksum, 2), hexText(b.checksum, 2)));
    EXPECT_TRUE(Compare(b, b).equal());
}
