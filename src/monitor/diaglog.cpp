#include "monitor/diaglog.h"

#include "link/modComFun.h"
#include "monitor/livedata.h"
#include "platform/vbtext.h"

#include <QStringList>

#include <cmath>

namespace diaglog {

namespace {

// The single's shortest text, read back as a double and scaled.
QString scaled(float value, double factor)
{
    if (!std::isfinite(value))
        return vbtext::CStrSingle(value);
    return vbtext::CStrDouble(vbtext::Val(vbtext::CStrSingle(value)) * factor);
}

QString tenths(std::int16_t value)
{
    return vbtext::CStrSingle(static_cast<float>(value / 10.0));
}

QString integer(int value)
{
    return QString::number(value);
}

// Box order of the log's fields.
constexpr std::array<int, 14> kRowBoxes = {0, 1, 6, 3, 7, 5, 8, 2, 13, 4, 9, 11, 10, 12};

} // namespace

const std::array<const char*, kBoxes>& Captions()
{
    static const std::array<const char*, kBoxes> captions = {
        "TUP",    "Delta",   "Trig UP", "Mincount", "SinTheta", "%Sat UP",  "Error", "Acoustic Strength",
        "%Sat DN", "Ph CoR", "WDISC",   "WMAG",     "Lead/Lag", "Trig DN", "",
    };
    return captions;
}

Boxes Texts(const std::uint8_t* f)
{
    using modComFun::GetInteger;
    using modComFun::GetSingle;
    Boxes b;
    b[0] = scaled(GetSingle(f + 4), 1e6);
    b[1] = scaled(GetSingle(f + 8), 1e9);
    b[6] = integer(f[12]);
    b[3] = integer(f[13]);
    b[2] = integer(GetInteger(f + 14));
    b[13] = integer(GetInteger(f + 16));
    b[4] = integer(GetInteger(f + 18));
    b[9] = integer(GetInteger(f + 20));
    b[5] = tenths(GetInteger(f + 22));
    b[8] = tenths(GetInteger(f + 24));
    b[7] = tenths(GetInteger(f + 26));
    b[11] = integer(GetInteger(f + 28));
    b[10] = integer(GetInteger(f + 30));
    b[12] = integer(f[33]);
    b[14] = integer(f[34]);
    return b;
}

QString HeaderLine()
{
    static const QStringList fields = {
        QStringLiteral("Tup"),      QStringLiteral("Delta"),    QStringLiteral("Error"),    QStringLiteral("Mincount"),
        QStringLiteral("Gain"),     QStringLiteral("Sat_UP"),   QStringLiteral("Sat_DN"),   QStringLiteral("Trig_UP"),
        QStringLiteral("Trig_DN"),  QStringLiteral("SinTheta"), QStringLiteral("PhCor"),    QStringLiteral("Wave_Mag"),
        QStringLiteral("Wave_Disc"), QStringLiteral("LEAD/Lag"),
    };
    return fields.join(QLatin1Char(livedata::kSeparator));
}

QString RowLine(const Boxes& boxes)
{
    QStringList f;
    f.reserve(static_cast<qsizetype>(kRowBoxes.size()));
    for (int i : kRowBoxes)
        f << boxes[static_cast<std::size_t>(i)];
    return f.join(QLatin1Char(livedata::kSeparator));
}

} // namespace diaglog
