#include "configtext/configcells.h"

#include "meterdata/auditsheet.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/modLabels.h"
#include "meterdata/sitefile.h"

#include <QHash>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>

namespace configtext {

using modData::CellKind;
using modData::ParameterCell;

QString GroupTitle(Group group)
{
    switch (group) {
    case Group::Global: return QStringLiteral("Global");
    case Group::ChannelA: return QStringLiteral("Channel A");
    case Group::ChannelB: return QStringLiteral("Channel B");
    case Group::Loops: return QStringLiteral("Loops");
    case Group::LogicIo: return QStringLiteral("Logic I/O");
    case Group::CalTables: return QStringLiteral("Calibration tables");
    }
    return {};
}

QString GroupKey(Group group)
{
    switch (group) {
    case Group::Global: return QStringLiteral("global");
    case Group::ChannelA: return QStringLiteral("chanA");
    case Group::ChannelB: return QStringLiteral("chanB");
    case Group::Loops: return QStringLiteral("loops");
    case Group::LogicIo: return QStringLiteral("logic");
    case Group::CalTables: return QStringLiteral("cal");
    }
    return {};
}

namespace {

// The field names of each record: C++ keeps no names, so they are listed here once; the places
// and the order come from the records' own Visit.
template <class R>
struct Field {
    const char* name;
    std::span<const ParameterCell> (*cells)(const R&);
    bool run; // an array: its cells are named name[i]
};
#define ZAV_ONE(R, m) Field<R>{#m, +[](const R& r) { return std::span<const ParameterCell>(&r.m, 1); }, false}
#define ZAV_RUN(R, m) Field<R>{#m, +[](const R& r) { return std::span<const ParameterCell>(r.m.data(), r.m.size()); }, true}

using modData::ChannelRecord;
using modData::GlobalRecord;
using modData::IoRecord;
using modData::LoopRecord;

const Field<GlobalRecord> kGlobalFields[] = {
    ZAV_ONE(GlobalRecord, MeterName),   ZAV_ONE(GlobalRecord, NodeAddr),     ZAV_ONE(GlobalRecord, NumberChan),
    ZAV_ONE(GlobalRecord, Byte30),      ZAV_RUN(GlobalRecord, Carried36),    ZAV_ONE(GlobalRecord, Byte44),
    ZAV_RUN(GlobalRecord, Carried48),   ZAV_RUN(GlobalRecord, Carried84),    ZAV_RUN(GlobalRecord, Carried90),
    ZAV_RUN(GlobalRecord, Curves[0].x), ZAV_RUN(GlobalRecord, Curves[0].y),  ZAV_ONE(GlobalRecord, Carried296),
    ZAV_RUN(GlobalRecord, Carried298),  ZAV_RUN(GlobalRecord, Curves[1].x),  ZAV_RUN(GlobalRecord, Curves[1].y),
    ZAV_ONE(GlobalRecord, Carried504),  ZAV_ONE(GlobalRecord, Carried508),   ZAV_RUN(GlobalRecord, Carried512),
};
const Field<LoopRecord> kLoopFields[] = {
    ZAV_ONE(LoopRecord, LoopStatus), ZAV_ONE(LoopRecord, LoopErrAction), ZAV_ONE(LoopRecord, LoopChannel),
    ZAV_ONE(LoopRecord, LoopParam),  ZAV_ONE(LoopRecord, DacHigh),       ZAV_ONE(LoopRecord, DacLow),
    ZAV_ONE(LoopRecord, OutMin),     ZAV_ONE(LoopRecord, OutMax),
};
const Field<IoRecord> kIoFields[] = {
    ZAV_ONE(IoRecord, LogicMode), ZAV_ONE(IoRecord, LogicChannel), ZAV_ONE(IoRecord, LogicParam),
    ZAV_ONE(IoRecord, LogicWord), ZAV_RUN(IoRecord, LogicValue),
};
const Field<ChannelRecord> kChannelFields[] = {
    ZAV_ONE(ChannelRecord, MountType),      ZAV_ONE(ChannelRecord, XducerType),    ZAV_ONE(ChannelRecord, TubeGeometry),
    ZAV_ONE(ChannelRecord, XducerFreq),     ZAV_ONE(ChannelRecord, SinRefract),    ZAV_ONE(ChannelRecord, WedgeSpeed),
    ZAV_ONE(ChannelRecord, SamplesPerCycle), ZAV_ONE(ChannelRecord, XducerDelay),  ZAV_ONE(ChannelRecord, PulseWidth),
    ZAV_ONE(ChannelRecord, Spacing),        ZAV_ONE(ChannelRecord, FluidVOS),      ZAV_ONE(ChannelRecord, Traverses),
    ZAV_ONE(ChannelRecord, PathLength),     ZAV_ONE(ChannelRecord, AxialLength),   ZAV_ONE(ChannelRecord, PipeID),
    ZAV_ONE(ChannelRecord, WallThick),      ZAV_ONE(ChannelRecord, WallSpeed),     ZAV_ONE(ChannelRecord, ResponseTime),
    ZAV_ONE(ChannelRecord, Threshold),      ZAV_ONE(ChannelRecord, SigMode),       ZAV_ONE(ChannelRecord, SigByte),
    ZAV_ONE(ChannelRecord, AntiJitter),     ZAV_ONE(ChannelRecord, Carried72),     ZAV_ONE(ChannelRecord, CalFactor),
    ZAV_ONE(ChannelRecord, ZeroTrim),       ZAV_ONE(ChannelRecord, Carried84),     ZAV_ONE(ChannelRecord, CutOff),
    ZAV_ONE(ChannelRecord, Carried92),      ZAV_ONE(ChannelRecord, MinVel),        ZAV_ONE(ChannelRecord, MaxVel),
    ZAV_ONE(ChannelRecord, MaxVOS),         ZAV_ONE(ChannelRecord, MinVOS),        ZAV_ONE(ChannelRecord, MinSignal),
    ZAV_RUN(ChannelRecord, Limit),          ZAV_ONE(ChannelRecord, MaxErrPct),     ZAV_ONE(ChannelRecord, ErrHandle),
    ZAV_ONE(ChannelRecord, CalPoints),      ZAV_ONE(ChannelRecord, CalTableKind),  ZAV_ONE(ChannelRecord, Carried136),
    ZAV_RUN(ChannelRecord, Curve.x),        ZAV_RUN(ChannelRecord, Curve.y),       ZAV_ONE(ChannelRecord, FluidKind),
    ZAV_RUN(ChannelRecord, Carried344),     ZAV_ONE(ChannelRecord, FluidDensity),  ZAV_ONE(ChannelRecord, FluidViscosity),
    ZAV_RUN(ChannelRecord, Carried364),     ZAV_ONE(ChannelRecord, ParticleIndex), ZAV_ONE(ChannelRecord, LoadingIndex),
};
#undef ZAV_ONE
#undef ZAV_RUN

template <class R, std::size_t N>
QString fieldName(const Field<R> (&fields)[N], const R& record, const ParameterCell& cell)
{
    for (const Field<R>& f : fields) {
        const std::span<const ParameterCell> cells = f.cells(record);
        if (&cell >= cells.data() && &cell < cells.data() + cells.size()) {
            const QString name = QString::fromLatin1(f.name);
            return f.run ? name + QStringLiteral("[%1]").arg(&cell - cells.data()) : name;
        }
    }
    return QStringLiteral("Cell%1").arg(cell.offset);
}

// The unit kinds of the channel cells held in a unit of the unit tables (in its base choice).
int channelUnitKind(const QString& field)
{
    static const QHash<QString, int> kinds{
        {QStringLiteral("Spacing"), modLabels::KindLength},       {QStringLiteral("PathLength"), modLabels::KindLength},
        {QStringLiteral("AxialLength"), modLabels::KindLength},   {QStringLiteral("PipeID"), modLabels::KindLength},
        {QStringLiteral("WallThick"), modLabels::KindLength},     {QStringLiteral("FluidVOS"), modLabels::KindVelocity},
        {QStringLiteral("WallSpeed"), modLabels::KindVelocity},   {QStringLiteral("WedgeSpeed"), modLabels::KindVelocity},
        {QStringLiteral("MinVel"), modLabels::KindVelocity},      {QStringLiteral("MaxVel"), modLabels::KindVelocity},
        {QStringLiteral("MaxVOS"), modLabels::KindVelocity},      {QStringLiteral("MinVOS"), modLabels::KindVelocity},
        {QStringLiteral("XducerDelay"), modLabels::KindTime},     {QStringLiteral("XducerFreq"), 11 /* kHz */},
        {QStringLiteral("FluidDensity"), 8 /* kg/m^3 */},
    };
    return kinds.value(field, -1);
}

const modLabels::UnitTables& tables()
{
    static const modLabels::UnitTables t = [] {
        modLabels::UnitTables u;
        modLabels::FillItemLists(u);
        modLabels::FillUnitTables(u);
        return u;
    }();
    return t;
}

std::vector<Cell> buildCells()
{
    auto data = std::make_unique<modData::MeterData>();
    modBinaryRW::BuildCellMap(*data);
    std::vector<Cell> cells;
    const auto add = [&cells](Group group, const QString& name, const QString& caption, const ParameterCell& c) {
        Cell cell;
        cell.group = group;
        cell.name = GroupKey(group) + QLatin1Char('.') + name;
        cell.caption = caption;
        cell.kind = c.kind;
        cell.offset = c.offset;
        cell.bytes = modData::CellBytes(c.kind);
        cells.push_back(cell);
        return &cells.back();
    };
    const auto captionOf = [](const auditsheet::CellPrint* p, const QString& otherwise) {
        return p ? QString::fromLatin1(p->caption) : otherwise;
    };

    const GlobalRecord& g = data->GlobalCells;
    modData::ForEachCell(g, [&](const ParameterCell& c, int) {
        const QString field = fieldName(kGlobalFields, g, c);
        const auditsheet::CellPrint* p = auditsheet::GlobalCellPrint(g, c);
        Cell* cell = add(field.startsWith(QLatin1String("Curves")) ? Group::CalTables : Group::Global, field,
                         captionOf(p, field), c);
        cell->print = p;
    });
    for (int r = 0; r < modData::MappedLoopRecords; ++r) {
        const LoopRecord& l = data->LoopCells[static_cast<std::size_t>(r)];
        modData::ForEachCell(l, [&](const ParameterCell& c, int) {
            const QString field = QStringLiteral("LoopCells[%1].").arg(r) + fieldName(kLoopFields, l, c);
            // The sheet prints loop 1 from record 3 and loop 2 from record 2.
            const auditsheet::CellPrint* p = r >= 2 ? auditsheet::LoopCellPrint(l, c) : nullptr;
            Cell* cell = add(Group::Loops, field, p ? QStringLiteral("LOOP%1 %2").arg(4 - r).arg(QString::fromLatin1(p->caption)) : field, c);
            cell->print = p;
            cell->record = r;
            if (&c == &l.OutMin || &c == &l.OutMax)
                cell->unitKind = -2;
        });
    }
    add(Group::LogicIo, QStringLiteral("AuxWords[0]"), QStringLiteral("AuxWords[0]"), data->AuxWords[0]);
    add(Group::LogicIo, QStringLiteral("LogicInputMode"), QStringLiteral("LogicInputMode"), data->AuxWords[1]);
    for (int r = 0; r < modData::MappedIoRecords; ++r) {
        const IoRecord& io = data->IoCells[static_cast<std::size_t>(r)];
        modData::ForEachCell(io, [&](const ParameterCell& c, int) {
            const QString field = QStringLiteral("IoCells[%1].").arg(r) + fieldName(kIoFields, io, c);
            add(Group::LogicIo, field, field, c);
        });
    }
    for (int ch = 0; ch < modData::MappedChannels; ++ch) {
        const ChannelRecord& rec = data->ChannelCells[static_cast<std::size_t>(ch)];
        const Group own = ch == 0 ? Group::ChannelA : Group::ChannelB;
        modData::ForEachCell(rec, [&](const ParameterCell& c, int) {
            const QString field = fieldName(kChannelFields, rec, c);
            const auditsheet::CellPrint* p = auditsheet::ChannelCellPrint(rec, c);
            const bool calibration = field.startsWith(QLatin1String("Curve")) || &c == &rec.CalPoints || &c == &rec.CalTableKind;
            Cell* cell = calibration ? add(Group::CalTables, GroupKey(own) + QLatin1Char('.') + field,
                                           GroupTitle(own) + QLatin1Char(' ') + captionOf(p, field), c)
                                     : add(own, field, captionOf(p, field), c);
            cell->print = p;
            cell->unitKind = channelUnitKind(field);
            if (&c == &rec.FluidKind)
                cell->list = modLabels::ListLiquid;
        });
    }
    std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) { return a.offset < b.offset; });
    return cells;
}

// The base choice of a unit kind: the one whose factor is 1.
QString baseUnitName(int kind)
{
    const modLabels::UnitTables& t = tables();
    for (int choice = 0; choice < t.UnitCount(kind); ++choice)
        if (t.UnitFactor(kind, choice) == 1.0f)
            return t.UnitName(kind, choice).trimmed();
    return {};
}

ParameterCell decoded(const Cell& cell, const Config& config)
{
    ParameterCell c;
    c.kind = cell.kind;
    c.offset = cell.offset;
    const std::uint8_t* at = config.image.data() + cell.offset;
    switch (cell.kind) {
    case CellKind::ByteCell: c.u = at[0]; break;
    case CellKind::WordCell: c.u = static_cast<std::uint32_t>(at[0] | (at[1] << 8)); break;
    case CellKind::FloatCell: std::memcpy(&c.f, at, sizeof c.f); break;
    case CellKind::TextCell: c.text.assign(reinterpret_cast<const char*>(at), 10); break;
    }
    return c;
}

} // namespace

QString hexText(std::uint32_t value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

const std::vector<Cell>& Cells()
{
    static const std::vector<Cell> cells = buildCells();
    return cells;
}

const Cell* FindCell(const QString& name)
{
    static const QHash<QString, const Cell*> byName = [] {
        QHash<QString, const Cell*> h;
        for (const Cell& c : Cells())
            h.insert(c.name, &c);
        return h;
    }();
    return byName.value(name, nullptr);
}

const std::vector<Run>& Uncovered()
{
    static const std::vector<Run> runs = [] {
        std::vector<bool> covered(kImageBytes, false);
        for (const Cell& c : Cells())
            for (int i = 0; i < c.bytes; ++i)
                covered[static_cast<std::size_t>(c.offset + i)] = true;
        std::vector<Run> r;
        for (int i = 0; i < kImageBytes; ++i) {
            if (covered[static_cast<std::size_t>(i)])
                continue;
            if (!r.empty() && r.back().offset + r.back().length == i)
                ++r.back().length;
            else
                r.push_back({i, 1});
        }
        return r;
    }();
    return runs;
}

std::uint8_t Config::imageChecksum() const
{
    unsigned sum = 0;
    for (std::uint8_t b : image)
        sum += b;
    return static_cast<std::uint8_t>(sum & 0xFF);
}

QByteArray Config::siteFileBytes() const
{
    QByteArray bytes;
    bytes.reserve(kSiteFileBytes);
    bytes.append(static_cast<char>(model)).append(static_cast<char>(version)).append(static_cast<char>(checksum));
    bytes.append(reinterpret_cast<const char*>(image.data()), kImageBytes);
    return bytes;
}

bool ParseSiteConfig(const QByteArray& bytes, const QString& path, Config& config, QString& error)
{
    if (bytes.size() != kSiteFileBytes) {
        const QString size = bytes.size() >= sitefile::kRecallReadLimit ? QStringLiteral("at least %1").arg(bytes.size())
                                                                        : QString::number(bytes.size());
        error = QStringLiteral("%1 is not a whole site file: it has %2 bytes, a site file has %3 (a 3-byte head and %4 "
                               "image bytes)")
                    .arg(path, size)
                    .arg(kSiteFileBytes)
                    .arg(kImageBytes);
        return false;
    }
    config.model = static_cast<std::uint8_t>(bytes[0]);
    config.version = static_cast<std::uint8_t>(bytes[1]);
    config.checksum = static_cast<std::uint8_t>(bytes[2]);
    std::memcpy(config.image.data(), bytes.constData() + 3, kImageBytes);
    return true;
}

bool ReadSiteConfig(const QString& path, Config& config, QString& error)
{
    QByteArray bytes;
    const QString readError = sitefile::ReadFileBytes(path, sitefile::kRecallReadLimit, bytes);
    if (!readError.isEmpty()) {
        error = QStringLiteral("cannot read %1: %2").arg(path, readError);
        return false;
    }
    return ParseSiteConfig(bytes, path, config, error);
}

Config ConfigOfCells(const modData::MeterData& data, std::uint8_t model, std::uint8_t version)
{
    auto copy = std::make_unique<modData::MeterData>(data);
    modBinaryRW::BuildCellMap(*copy);
    modBinaryRW::EncodeImage(*copy);
    Config c;
    c.model = model;
    c.version = version;
    std::copy_n(copy->ParamImage.begin(), kImageBytes, c.image.begin());
    c.checksum = c.imageChecksum();
    return c;
}

std::uint32_t CellBits(const Cell& cell, const Config& config)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, config.image.data() + cell.offset, std::min(cell.bytes, 4));
    return bits;
}

QString ExactValue(const Cell& cell, const Config& config)
{
    const ParameterCell c = decoded(cell, config);
    switch (cell.kind) {
    case CellKind::ByteCell:
    case CellKind::WordCell: return QString::number(c.u);
    case CellKind::FloatCell: {
        if (std::isnan(c.f))
            return QStringLiteral("nan(0x%1)").arg(hexText(CellBits(cell, config), 8));
        char text[32];
        const std::to_chars_result r = std::to_chars(text, text + sizeof text, c.f);
        return QString::fromLatin1(text, r.ptr - text);
    }
    case CellKind::TextCell: {
        QString out = QStringLiteral("\"");
        for (char ch : c.text) {
            const auto b = static_cast<unsigned char>(ch);
            if (b == '"' || b == '\\')
                out += QStringLiteral("\\") + QLatin1Char(ch);
            else if (b < 0x20 || b > 0x7E)
                out += QStringLiteral("\\x") + hexText(b, 2);
            else
                out += QLatin1Char(ch);
        }
        return out + QLatin1Char('"');
    }
    }
    return {};
}

QString BaseUnit(const Cell& cell, const Config& config)
{
    int kind = cell.unitKind;
    if (kind == -2) {
        // The loop's quantity decides what its ends hold.
        const std::uint8_t quantity = config.image[static_cast<std::size_t>(modData::LoopBase + 20 * cell.record + 6)];
        const modLabels::UnitTables& t = tables();
        kind = quantity < t.OutputParamKind.size() ? t.OutputParamKind[quantity] : -1;
    }
    return kind < 0 ? QString() : baseUnitName(kind);
}

QString ShownValue(const Cell& cell, const Config& config)
{
    if (cell.print) {
        QString value = cell.print->value(decoded(cell, config)).trimmed();
        // A text cell may hold any byte: control characters show as "?", as on the sheet, so
        // that no value breaks a line (two names alike then are told by their exact values).
        for (QChar& ch : value)
            if (ch.unicode() < 0x20 || (ch.unicode() >= 0x7F && ch.unicode() <= 0x9F))
                ch = QLatin1Char('?');
        const QString unit = QString::fromLatin1(cell.print->unit);
        return unit.isEmpty() ? value : value + QLatin1Char(' ') + unit;
    }
    if (cell.list >= 0) {
        const QString item = tables().PickItem(cell.list, static_cast<int>(decoded(cell, config).u));
        if (!item.isEmpty())
            return item;
    }
    const QString unit = BaseUnit(cell, config);
    const QString value = ExactValue(cell, config);
    return unit.isEmpty() ? value : value + QLatin1Char(' ') + unit;
}

} // namespace configtext
