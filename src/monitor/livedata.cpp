#include "monitor/livedata.h"

#include "link/modComFun.h"
#include "platform/vbtext.h"

#include <QStringList>

namespace livedata {

Answer Decode(const std::uint8_t* frame)
{
    using namespace modComFun;
    Answer a;
    a.meanFlow = GetSingle(frame + kMeanFlowAt);
    a.sound = GetSingle(frame + kSoundAt);
    a.flow = GetSingle(frame + kFlowAt);
    a.sdv = GetSingle(frame + kSdvAt);
    a.totalTime = GetSingle(frame + kTotalTimeAt);
    a.total = GetSingle(frame + kTotalAt);
    a.load = GetInteger(frame + kLoadAt);
    a.size = GetInteger(frame + kSizeAt);
    a.absorb = GetInteger(frame + kAbsorbAt);
    a.gate = frame[kGateAt];
    a.batch = frame[kBatchAt];
    a.status = frame[kStatusAt];
    return a;
}

Shown Apply(Channels& v, int c, const Answer& a, const Factors& f)
{
    const auto i = static_cast<std::size_t>(c & 1);
    Shown s;
    v.MeanFlowRaw[i] = a.meanFlow;

    v.SoundSpeed[i] = a.sound / f.sound;
    s.txtVOS = vbtext::FormatSingle(v.SoundSpeed[i], QStringLiteral("0.0"));

    v.FlowRate[i] = a.flow / f.flow;
    s.txtFlow = vbtext::FormatSingle(v.FlowRate[i], QStringLiteral("0.0000"));

    if (v.MeanFlowRaw[i] != 0) {
        const float percent = a.sdv * 100.0f;
        v.FlowSdvPct[i] = percent / v.MeanFlowRaw[i];
        s.txtReyn = vbtext::FormatSingle(v.FlowSdvPct[i], QStringLiteral("0.000"));
    } else {
        s.txtReyn = vbtext::FormatSingle(a.sdv, QStringLiteral("0.000"));
    }

    s.txtTotalTime = vbtext::FormatSingle(a.totalTime, QStringLiteral("0.0000"));
    s.txtTotal = vbtext::FormatSingle(a.total / f.total, QStringLiteral("0.0000"));

    v.ParticleLoad[i] = static_cast<float>(a.load / 1000.0);
    s.txtLoad = vbtext::FormatSingle(v.ParticleLoad[i], QStringLiteral("0.0"));

    v.ParticleSize[i] = a.size;
    s.txtSize = vbtext::StrInt(a.size);

    v.Absorption[i] = static_cast<float>(a.absorb / 10.0);
    s.txtAbsorb = vbtext::FormatSingle(v.Absorption[i], QStringLiteral("0.0"));

    v.StatusCode[i] = a.status;
    return s;
}

QString AlarmCaption(float status)
{
    if (status == 0)
        return {};
    if (status == 1)
        return QStringLiteral("DRY PIPE");
    if (status == 2)
        return QStringLiteral("WRONG FLUID");
    return QStringLiteral("RANGE");
}

Average::Show Average::Step(std::uint8_t gate, float flowA)
{
    if (gate == 0) {
        AvgArmed = 1;
        AvgSum += flowA;
        ++AvgCount;
        return Show::Collecting;
    }
    if (AvgArmed == 1 && AvgCount >= 1)
        return Show::Mean;
    return Show::Unchanged;
}

QString Average::Text() const
{
    if (AvgCount < 1)
        return {};
    return vbtext::FormatSingle(AvgSum / static_cast<float>(AvgCount), QStringLiteral("0.0000"));
}

void Average::Clear()
{
    AvgCount = 0;
    AvgSum = 0;
    AvgArmed = 0;
}

QString HeaderLine()
{
    static const QStringList fields = {
        QStringLiteral("Time"),        QStringLiteral("Flow_Rate"),  QStringLiteral("Speed_Sound"),
        QStringLiteral("Total_Time"),  QStringLiteral("VOL_Total"),  QStringLiteral("Absorb"),
        QStringLiteral("Turbulence"),  QStringLiteral("Speed_Sound"), QStringLiteral("Loading"),
        QStringLiteral("Part_Size"),   QStringLiteral("Flow_Rate"),  QStringLiteral("Speed_Sound"),
        QStringLiteral("VOL_Total"),   QStringLiteral("Absorb"),     QStringLiteral("Turbulence"),
        QStringLiteral("Speed_Sound"), QStringLiteral("Loading"),    QStringLiteral("Part_Size"),
    };
    return fields.join(QLatin1Char(kSeparator));
}

QString RowLine(const QTime& time, const Channels& v, const QString& totalTime, const QString& total0,
                const QString& total1)
{
    using vbtext::FormatSingle;
    QStringList f;
    f.reserve(18);
    f << time.toString(QStringLiteral("HH:mm"));
    f << FormatSingle(v.FlowRate[0], QStringLiteral("###.000"));
    f << FormatSingle(v.SoundSpeed[0], QStringLiteral("###.000"));
    f << totalTime;
    f << total0;
    f << FormatSingle(v.Absorption[0], QStringLiteral("###.00"));
    f << FormatSingle(v.FlowSdvPct[0], QStringLiteral("#0.000"));
    f << FormatSingle(v.SoundSpeed[0], QStringLiteral("###.00"));
    f << FormatSingle(v.ParticleLoad[0], QStringLiteral("###.0"));
    f << vbtext::StrInt(v.ParticleSize[0]);
    f << FormatSingle(v.FlowRate[1], QStringLiteral("###.000"));
    f << FormatSingle(v.SoundSpeed[1], QStringLiteral("###.000"));
    f << total1;
    f << FormatSingle(v.Absorption[1], QStringLiteral("###.00"));
    f << FormatSingle(v.FlowSdvPct[1], QStringLiteral("#0.000"));
    f << FormatSingle(v.SoundSpeed[1], QStringLiteral("###.00"));
    f << FormatSingle(v.ParticleLoad[1], QStringLiteral("###.0"));
    f << vbtext::StrInt(v.ParticleSize[1]);
    return f.join(QLatin1Char(kSeparator));
}

} // namespace livedata
