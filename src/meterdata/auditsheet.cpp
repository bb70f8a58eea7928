#include "meterdata/auditsheet.h"

#include "platform/vbtext.h"

#include <QStringView>

namespace auditsheet {

QString ChecksumLabel(std::uint16_t checksum)
{
    return QStringLiteral("ChkSum ") + vbtext::Hex(checksum);
}

IdentityLabels MenuLabels(std::uint8_t, std::uint8_t version, std::uint16_t serial, std::uint16_t checksum)
{
    return {QStringLiteral("Model:     ARX4400LP"), QStringLiteral("Version     V") + vbtext::StrInt(version),
            QStringLiteral("Serial No. FT") + vbtext::StrInt(serial), ChecksumLabel(checksum)};
}

using modData::ChannelRecord;
using modData::LoopRecord;
using modData::MeterData;
using modData::ParameterCell;

namespace {

constexpr char kTab = '\t';
constexpr char kUnwritable = '?';

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void appendItem(QByteArray& out, QStringView item)
{
    for (char32_t c : item.toUcs4()) {
        if (isControl(c) || c > 0xFF)
            out.append(kUnwritable);
        else
            out.append(static_cast<char>(static_cast<unsigned char>(c)));
    }
}

// The text of a byte or word cell.
QString number(const ParameterCell& c)
{
    return vbtext::StrInt(c.u);
}

QString single(const ParameterCell& c)
{
    return vbtext::StrSingle(c.f);
}

QString offOn(const ParameterCell& c)
{
    return c.u == 0 ? QStringLiteral("OFF") : QStringLiteral("ON");
}

// A flow in cubic metres per second as litres per minute. The value is a single times whole
// numbers, so it stays a single: the exact product, held as a single.
QString litresPerMinute(const ParameterCell& c)
{
    const auto lpm = static_cast<float>(static_cast<double>(c.f) * 1000.0 * 60.0);
    return vbtext::FormatSingle(lpm, QStringLiteral("###.00"));
}

// A length in metres as millimetres, a single like the length itself.
QString millimetreNumber(double metres)
{
    return vbtext::FormatSingle(static_cast<float>(metres * 1000.0), QStringLiteral("###.00"));
}
QString millimetres(const ParameterCell& c)
{
    return millimetreNumber(c.f);
}

// The flow at a pipe velocity, in litres per minute. The area factor 0.785 is a double, so the
// whole product is worked in doubles, left to right.
QString flowAtVelocity(float velocity, float insideDiameter)
{
    const double d = insideDiameter;
    const double lpm = static_cast<double>(velocity) * 0.785 * d * d * 1000.0 * 60.0;
    return vbtext::Format(lpm, QStringLiteral("#####.00")) + QStringLiteral("lpm");
}

QString loopQuantity(const ParameterCell& c)
{
    switch (c.u) {
    case 0: return QStringLiteral("ACT FLOW");
    case 1: return QStringLiteral("STD FLOW");
    case 2: return QStringLiteral("MASS FLOW");
    default: return QStringLiteral("VOS");
    }
}

QString loopErrorAction(const ParameterCell& c)
{
    switch (c.u) {
    case 0: return QStringLiteral("No ACTION");
    case 1: return QStringLiteral("FORCE Zero(4ma)");
    case 2: return QStringLiteral("FORCE LOW (2ma)");
    default: return QStringLiteral("FORCE HIGH (25ma)");
    }
}

QString transducerName(const ParameterCell& c)
{
    switch (c.u) {
    case 1: return QStringLiteral("KRB41");
    case 2: return QStringLiteral("KRB17");
    case 3: return QStringLiteral("KRB32");
    case 4: return QStringLiteral("KRB58");
    case 5: return QStringLiteral("KRB74");
    default: return QStringLiteral("SPECIAL");
    }
}

QString tubeMaterial(const ParameterCell& c)
{
    const float wallSpeed = c.f;
    if (wallSpeed == 1500.0f)
        return QStringLiteral("PFA");
    if (wallSpeed == 1600.0f)
        return QStringLiteral("PTFE");
    if (wallSpeed == 3200.0f)
        return QStringLiteral("Stainless Steel");
    return QStringLiteral("OTHER Speed ") + vbtext::StrSingle(wallSpeed) + QStringLiteral("m/s");
}

QString averaging(const ParameterCell& c)
{
    switch (c.u) {
    case 2: return QStringLiteral("NONE");
    case 10: return QStringLiteral("2SEC");
    case 40: return QStringLiteral("5SEC");
    case 50: return QStringLiteral("30SEC");
    case 60: return QStringLiteral("60SEC");
    case 66: return QStringLiteral("FEEDBACK");
    case 99: return QStringLiteral("AUTO");
    default: return vbtext::StrInt(c.u) + QStringLiteral("BOXCAR");
    }
}

QString zeroOn(const ParameterCell& c)
{
    switch (c.u) {
    case 0: return QStringLiteral("Hold LAST");
    case 1: return QStringLiteral("Dry Pipe");
    case 2: return QStringLiteral("Wrong Fluid");
    case 3: return QStringLiteral("Range");
    default: return QStringLiteral("RANGE");
    }
}

QString fluidType(const ParameterCell& c)
{
    const float soundSpeed = c.f;
    if (soundSpeed > 1475.0f && soundSpeed < 1495.0f)
        return QStringLiteral(" WATER");
    return QStringLiteral(" OTHER VOS = ") + vbtext::FormatSingle(soundSpeed, QStringLiteral("#####.0"));
}

// The minimum signal word holds 5 x (140 - the shown level).
QString minimumSignal(const ParameterCell& c)
{
    return vbtext::StrInt(vbtext::RoundHalfEven(140.0 - static_cast<double>(c.u) / 5.0));
}

QString scopeMode(const ParameterCell& c)
{
    return c.u == 0x8040 ? QStringLiteral("OFF ") : QStringLiteral("ON ");
}

// The meter name as its 10-character field: the first 10 characters, space padded.
QString meterName(const ParameterCell& c)
{
    QString name = QString::fromLatin1(c.text.data(), static_cast<qsizetype>(std::min<std::size_t>(c.text.size(), 10)));
    return name.leftJustified(10, QLatin1Char(' '));
}

// The cells the sheet prints on lines of their own, by record.
template <class R>
struct PrintEntry {
    ParameterCell R::*member;
    CellPrint print;
};

const PrintEntry<modData::GlobalRecord> kGlobalPrints[] = {
    {&modData::GlobalRecord::MeterName, {"MeterName", meterName, "", false}},
    {&modData::GlobalRecord::NodeAddr, {"NodeAddr", number, "", false}},
    {&modData::GlobalRecord::NumberChan, {"NumberChan", number, "", false}},
};

const PrintEntry<LoopRecord> kLoopPrints[] = {
    {&LoopRecord::LoopStatus, {"STATUS", offOn, "", true}},
    {&LoopRecord::LoopChannel, {"DATA CHANNEL", number, "", false}},
    {&LoopRecord::LoopParam, {"STATUS", loopQuantity, "", true}},
    {&LoopRecord::OutMin, {"Out MIN", litresPerMinute, "lpm", false}},
    {&LoopRecord::OutMax, {"Out MAX", litresPerMinute, "lpm", false}},
    {&LoopRecord::LoopErrAction, {"ON ERROR", loopErrorAction, "", true}},
};

const PrintEntry<ChannelRecord> kChannelPrints[] = {
    {&ChannelRecord::CalFactor, {"K_FACTOR", single, "", false}},
    {&ChannelRecord::CalTableKind, {"Multi-Point", offOn, "", false}},
    {&ChannelRecord::ZeroTrim, {"ZERO_OFFSET", single, "", false}},
    {&ChannelRecord::XducerType, {"TRANSDUCER", transducerName, "", false}},
    {&ChannelRecord::WallSpeed, {"Tube Material", tubeMaterial, "", false}},
    {&ChannelRecord::WallThick, {"Wall Thick", millimetres, "mm", false}},
    {&ChannelRecord::Spacing, {"Axial Space", millimetres, "mm", false}},
    {&ChannelRecord::ResponseTime, {"AVERAGE", averaging, "", false}},
    {&ChannelRecord::ErrHandle, {"Zero ON", zeroOn, "", false}},
    {&ChannelRecord::FluidVOS, {"Fluid Type", fluidType, "", false}},
    {&ChannelRecord::MaxVOS, {"Max VOS", single, "", false}},
    {&ChannelRecord::MinVOS, {"Min VOS", single, "", false}},
    {&ChannelRecord::MaxErrPct, {"Max % Error", number, "", false}},
    {&ChannelRecord::MinSignal, {"Min Signal", minimumSignal, "", false}},
    {&ChannelRecord::PulseWidth, {"NumPulse", number, "", false}},
    {&ChannelRecord::AntiJitter, {"Anti-Jitter", number, "", false}},
    {&ChannelRecord::Threshold, {"Threshold", number, "", false}},
    {&ChannelRecord::CutOff, {"Cut Off", single, "", false}},
    {&ChannelRecord::ParticleIndex, {"Partical Index", number, "", false}},
    {&ChannelRecord::LoadingIndex, {"Loading Index", number, "", false}},
    {&ChannelRecord::SigMode, {"O-SCOPE MODE", scopeMode, "", false}},
};

template <class R, std::size_t N>
const CellPrint* printOf(const PrintEntry<R> (&table)[N], const R& record, const ParameterCell& cell)
{
    for (const PrintEntry<R>& e : table)
        if (&(record.*e.member) == &cell)
            return &e.print;
    return nullptr;
}

class Sheet {
public:
    void plain(const QString& text) { m_bytes += ReportLine({text}); }
    void labelled(const QString& label, const QString& value) { m_bytes += ReportLine({QStringLiteral(" "), label, value}); }
    void heading(const QString& label) { m_bytes += ReportLine({QStringLiteral(" "), label}); }
    QByteArray bytes() const { return m_bytes; }

    // The line of one cell, as its table entry prints it.
    template <class R, std::size_t N>
    void cell(const PrintEntry<R> (&table)[N], const R& r, ParameterCell R::*member)
    {
        const ParameterCell& c = r.*member;
        const CellPrint* p = printOf(table, r, c);
        const QString caption = QString::fromLatin1(p->caption);
        const QString value = p->value(c) + QString::fromLatin1(p->unit);
        if (p->plain)
            plain(caption + value);
        else
            labelled(caption, value);
    }

    void loop(int index, const LoopRecord& r)
    {
        plain(QStringLiteral("LOOP") + vbtext::StrInt(index));
        cell(kLoopPrints, r, &LoopRecord::LoopStatus);
        cell(kLoopPrints, r, &LoopRecord::LoopChannel);
        cell(kLoopPrints, r, &LoopRecord::LoopParam);
        cell(kLoopPrints, r, &LoopRecord::OutMin);
        cell(kLoopPrints, r, &LoopRecord::OutMax);
        cell(kLoopPrints, r, &LoopRecord::LoopErrAction);
        plain(QStringLiteral("  "));
    }

    void channel(int index, const ChannelRecord& r, bool on)
    {
        const auto line = [&](ParameterCell ChannelRecord::*member) { cell(kChannelPrints, r, member); };
        plain(QStringLiteral("  "));
        plain(QStringLiteral("Channel") + vbtext::StrInt(index));
        labelled(QStringLiteral("Channel Status"), on ? QStringLiteral("ON") : QStringLiteral("OFF"));
        heading(QStringLiteral("**** Site Specific *****"));
        line(&ChannelRecord::CalFactor);
        line(&ChannelRecord::CalTableKind);
        line(&ChannelRecord::ZeroTrim);
        heading(QStringLiteral("**** ************** *****"));
        line(&ChannelRecord::XducerType);
        line(&ChannelRecord::WallSpeed);
        // Singles throughout: the exact sum and product, held as a single.
        labelled(QStringLiteral("Tube OD"),
                 millimetreNumber(2.0 * static_cast<double>(r.WallThick.f) + static_cast<double>(r.PipeID.f))
                     + QStringLiteral("mm"));
        line(&ChannelRecord::WallThick);
        line(&ChannelRecord::Spacing);
        line(&ChannelRecord::ResponseTime);
        line(&ChannelRecord::ErrHandle);
        line(&ChannelRecord::FluidVOS);
        plain(QStringLiteral(" "));
        heading(QStringLiteral("**** Error Limits *****"));
        labelled(QStringLiteral("Max Flow"), flowAtVelocity(r.MaxVel.f, r.PipeID.f));
        labelled(QStringLiteral("Min Flow"), flowAtVelocity(r.MinVel.f, r.PipeID.f));
        line(&ChannelRecord::MaxVOS);
        line(&ChannelRecord::MinVOS);
        line(&ChannelRecord::MaxErrPct);
        line(&ChannelRecord::MinSignal);
        plain(QStringLiteral(" "));
        heading(QStringLiteral("**** Signal Processing Inputs *****"));
        line(&ChannelRecord::PulseWidth);
        line(&ChannelRecord::AntiJitter);
        line(&ChannelRecord::Threshold);
        line(&ChannelRecord::CutOff);
        line(&ChannelRecord::ParticleIndex);
        line(&ChannelRecord::LoadingIndex);
        line(&ChannelRecord::SigMode);
    }

private:
    QByteArray m_bytes;
};

} // namespace

QByteArray ReportLine(const QStringList& items)
{
    QByteArray line;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            line.append(kTab);
        appendItem(line, items[i]);
    }
    line.append("\r\n");
    return line;
}

const CellPrint* GlobalCellPrint(const modData::GlobalRecord& record, const ParameterCell& cell)
{
    return printOf(kGlobalPrints, record, cell);
}

const CellPrint* LoopCellPrint(const LoopRecord& record, const ParameterCell& cell)
{
    return printOf(kLoopPrints, record, cell);
}

const CellPrint* ChannelCellPrint(const ChannelRecord& record, const ParameterCell& cell)
{
    return printOf(kChannelPrints, record, cell);
}

QByteArray AuditSheet(const MeterData& data, const QString& model, const QString& softVer, const QString& serial)
{
    Sheet s;
    const modData::GlobalRecord& g = data.GlobalCells;
    s.plain(QStringLiteral("FLOW METER CONFIGERATION AUDIT SHEET"));
    s.plain(QStringLiteral("MODEL") + model);
    s.plain(QStringLiteral("SW_VERSION") + softVer);
    s.plain(QStringLiteral("SERIAL; ") + serial);
    s.cell(kGlobalPrints, g, &modData::GlobalRecord::MeterName);
    s.cell(kGlobalPrints, g, &modData::GlobalRecord::NodeAddr);
    s.cell(kGlobalPrints, g, &modData::GlobalRecord::NumberChan);
    s.plain(QStringLiteral("  "));
    s.plain(QStringLiteral(" 4-20ma Settings "));

    // Loop 1 is kept in loop record 3, loop 2 in record 2.
    s.loop(1, data.LoopCells[3]);
    s.loop(2, data.LoopCells[2]);

    for (int c = 1; c <= 2; ++c) {
        const bool on = !(g.NumberChan.u == 1 && c == 2);
        s.channel(c, data.ChannelCells[static_cast<std::size_t>(c - 1)], on);
    }
    return s.bytes();
}

} // namespace auditsheet
