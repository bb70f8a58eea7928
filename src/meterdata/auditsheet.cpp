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

// A flow in cubic metres per second as litres per minute. The value is a single times whole
// numbers, so it stays a single: the exact product, held as a single.
QString litresPerMinute(float cubicMetresPerSecond)
{
    const auto lpm = static_cast<float>(static_cast<double>(cubicMetresPerSecond) * 1000.0 * 60.0);
    return vbtext::FormatSingle(lpm, QStringLiteral("###.00"));
}

// A length in metres as millimetres, a single like the length itself.
QString millimetres(double metres)
{
    return vbtext::FormatSingle(static_cast<float>(metres * 1000.0), QStringLiteral("###.00")) + QStringLiteral("mm");
}

// The flow at a pipe velocity, in litres per minute. The area factor 0.785 is a double, so the
// whole product is worked in doubles, left to right.
QString flowAtVelocity(float velocity, float insideDiameter)
{
    const double d = insideDiameter;
    const double lpm = static_cast<double>(velocity) * 0.785 * d * d * 1000.0 * 60.0;
    return vbtext::Format(lpm, QStringLiteral("#####.00")) + QStringLiteral("lpm");
}

QString loopQuantity(std::uint32_t code)
{
    switch (code) {
    case 0: return QStringLiteral("ACT FLOW");
    case 1: return QStringLiteral("STD FLOW");
    case 2: return QStringLiteral("MASS FLOW");
    default: return QStringLiteral("VOS");
    }
}

QString loopErrorAction(std::uint32_t code)
{
    switch (code) {
    case 0: return QStringLiteral("No ACTION");
    case 1: return QStringLiteral("FORCE Zero(4ma)");
    case 2: return QStringLiteral("FORCE LOW (2ma)");
    default: return QStringLiteral("FORCE HIGH (25ma)");
    }
}

QString transducerName(std::uint32_t type)
{
    switch (type) {
    case 1: return QStringLiteral("KRB41");
    case 2: return QStringLiteral("KRB17");
    case 3: return QStringLiteral("KRB32");
    case 4: return QStringLiteral("KRB58");
    case 5: return QStringLiteral("KRB74");
    default: return QStringLiteral("SPECIAL");
    }
}

QString tubeMaterial(float wallSpeed)
{
    if (wallSpeed == 1500.0f)
        return QStringLiteral("PFA");
    if (wallSpeed == 1600.0f)
        return QStringLiteral("PTFE");
    if (wallSpeed == 3200.0f)
        return QStringLiteral("Stainless Steel");
    return QStringLiteral("OTHER Speed ") + vbtext::StrSingle(wallSpeed) + QStringLiteral("m/s");
}

QString averaging(std::uint32_t code)
{
    switch (code) {
    case 2: return QStringLiteral("NONE");
    case 10: return QStringLiteral("2SEC");
    case 40: return QStringLiteral("5SEC");
    case 50: return QStringLiteral("30SEC");
    case 60: return QStringLiteral("60SEC");
    case 66: return QStringLiteral("FEEDBACK");
    case 99: return QStringLiteral("AUTO");
    default: return vbtext::StrInt(code) + QStringLiteral("BOXCAR");
    }
}

QString zeroOn(std::uint32_t code)
{
    switch (code) {
    case 0: return QStringLiteral("Hold LAST");
    case 1: return QStringLiteral("Dry Pipe");
    case 2: return QStringLiteral("Wrong Fluid");
    case 3: return QStringLiteral("Range");
    default: return QStringLiteral("RANGE");
    }
}

QString fluidType(float soundSpeed)
{
    if (soundSpeed > 1475.0f && soundSpeed < 1495.0f)
        return QStringLiteral(" WATER");
    return QStringLiteral(" OTHER VOS = ") + vbtext::FormatSingle(soundSpeed, QStringLiteral("#####.0"));
}

// The minimum signal word holds 5 x (140 - the shown level).
QString minimumSignal(std::uint32_t word)
{
    return vbtext::StrInt(vbtext::RoundHalfEven(140.0 - static_cast<double>(word) / 5.0));
}

// The meter name as its 10-character field: the first 10 characters, space padded.
QString meterName(const ParameterCell& c)
{
    QString name = QString::fromLatin1(c.text.data(), static_cast<qsizetype>(std::min<std::size_t>(c.text.size(), 10)));
    return name.leftJustified(10, QLatin1Char(' '));
}

class Sheet {
public:
    void plain(const QString& text) { m_bytes += ReportLine({text}); }
    void labelled(const QString& label, const QString& value) { m_bytes += ReportLine({QStringLiteral(" "), label, value}); }
    void heading(const QString& label) { m_bytes += ReportLine({QStringLiteral(" "), label}); }
    QByteArray bytes() const { return m_bytes; }

    void loop(int index, const LoopRecord& r)
    {
        plain(QStringLiteral("LOOP") + vbtext::StrInt(index));
        plain(QStringLiteral("STATUS") + (r.LoopStatus.u == 0 ? QStringLiteral("OFF") : QStringLiteral("ON")));
        labelled(QStringLiteral("DATA CHANNEL"), number(r.LoopChannel));
        plain(QStringLiteral("STATUS") + loopQuantity(r.LoopParam.u));
        labelled(QStringLiteral("Out MIN"), litresPerMinute(r.OutMin.f) + QStringLiteral("lpm"));
        labelled(QStringLiteral("Out MAX"), litresPerMinute(r.OutMax.f) + QStringLiteral("lpm"));
        plain(QStringLiteral("ON ERROR") + loopErrorAction(r.LoopErrAction.u));
        plain(QStringLiteral("  "));
    }

    void channel(int index, const ChannelRecord& r, bool on)
    {
        plain(QStringLiteral("  "));
        plain(QStringLiteral("Channel") + vbtext::StrInt(index));
        labelled(QStringLiteral("Channel Status"), on ? QStringLiteral("ON") : QStringLiteral("OFF"));
        heading(QStringLiteral("**** Site Specific *****"));
        labelled(QStringLiteral("K_FACTOR"), vbtext::StrSingle(r.CalFactor.f));
        labelled(QStringLiteral("Multi-Point"), r.CalTableKind.u == 0 ? QStringLiteral("OFF") : QStringLiteral("ON"));
        labelled(QStringLiteral("ZERO_OFFSET"), vbtext::StrSingle(r.ZeroTrim.f));
        heading(QStringLiteral("**** ************** *****"));
        labelled(QStringLiteral("TRANSDUCER"), transducerName(r.XducerType.u));
        labelled(QStringLiteral("Tube Material"), tubeMaterial(r.WallSpeed.f));
        // Singles throughout: the exact sum and product, held as a single.
        labelled(QStringLiteral("Tube OD"),
                 millimetres(2.0 * static_cast<double>(r.WallThick.f) + static_cast<double>(r.PipeID.f)));
        labelled(QStringLiteral("Wall Thick"), millimetres(r.WallThick.f));
        labelled(QStringLiteral("Axial Space"), millimetres(r.Spacing.f));
        labelled(QStringLiteral("AVERAGE"), averaging(r.ResponseTime.u));
        labelled(QStringLiteral("Zero ON"), zeroOn(r.ErrHandle.u));
        labelled(QStringLiteral("Fluid Type"), fluidType(r.FluidVOS.f));
        plain(QStringLiteral(" "));
        heading(QStringLiteral("**** Error Limits *****"));
        labelled(QStringLiteral("Max Flow"), flowAtVelocity(r.MaxVel.f, r.PipeID.f));
        labelled(QStringLiteral("Min Flow"), flowAtVelocity(r.MinVel.f, r.PipeID.f));
        labelled(QStringLiteral("Max VOS"), vbtext::StrSingle(r.MaxVOS.f));
        labelled(QStringLiteral("Min VOS"), vbtext::StrSingle(r.MinVOS.f));
        labelled(QStringLiteral("Max % Error"), number(r.MaxErrPct));
        labelled(QStringLiteral("Min Signal"), minimumSignal(r.MinSignal.u));
        plain(QStringLiteral(" "));
        heading(QStringLiteral("**** Signal Processing Inputs *****"));
        labelled(QStringLiteral("NumPulse"), number(r.PulseWidth));
        labelled(QStringLiteral("Anti-Jitter"), number(r.AntiJitter));
        labelled(QStringLiteral("Threshold"), number(r.Threshold));
        labelled(QStringLiteral("Cut Off"), vbtext::StrSingle(r.CutOff.f));
        labelled(QStringLiteral("Partical Index"), number(r.ParticleIndex));
        labelled(QStringLiteral("Loading Index"), number(r.LoadingIndex));
        labelled(QStringLiteral("O-SCOPE MODE"), r.SigMode.u == 0x8040 ? QStringLiteral("OFF ") : QStringLiteral("ON "));
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

QByteArray AuditSheet(const MeterData& data, const QString& model, const QString& softVer, const QString& serial)
{
    Sheet s;
    const modData::GlobalRecord& g = data.GlobalCells;
    s.plain(QStringLiteral("FLOW METER CONFIGERATION AUDIT SHEET"));
    s.plain(QStringLiteral("MODEL") + model);
    s.plain(QStringLiteral("SW_VERSION") + softVer);
    s.plain(QStringLiteral("SERIAL; ") + serial);
    s.labelled(QStringLiteral("MeterName"), meterName(g.MeterName));
    s.labelled(QStringLiteral("NodeAddr"), number(g.NodeAddr));
    s.labelled(QStringLiteral("NumberChan"), number(g.NumberChan));
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
