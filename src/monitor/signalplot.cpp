#include "monitor/signalplot.h"

#include "link/modComFun.h"
#include "platform/vbtext.h"

#include <algorithm>
#include <cstdlib>

namespace signalplot {

Capture::Taken Capture::Take(const std::uint8_t* frame, int length)
{
    constexpr int kHead = 8; // node, code, slot, mark, count (2), block count, 0
    constexpr int kCrc = 2;
    if (length < kHead + kCrc)
        return Taken::Refused;
    const int k = frame[2];
    const bool first = frame[3] == 0;
    const int total = modComFun::GetWordAt(frame, 4);
    const int m = frame[6];
    const int from = first ? 0 : SamplesReceived;
    if (k >= kSlots || total > kMaxSamples || m > kMaxBlockSamples || length < kHead + 2 * m + kCrc || from + m > total)
        return Taken::Refused;

    for (int i = 0; i < m; ++i)
        SignalBuffer[static_cast<std::size_t>(from + i)] = modComFun::GetInteger(frame + kHead + 2 * i);
    SamplesReceived = static_cast<std::uint16_t>(from + m);
    if (SamplesReceived != total)
        return Taken::Partial;

    const auto slot = static_cast<std::size_t>(k);
    SlotCount[slot] = static_cast<std::uint16_t>(total);
    if (k == kFiguresSlot)
        return Taken::Figures;
    std::copy_n(SignalBuffer.begin(), total, SignalSlots[slot].begin());
    return Taken::Waveform;
}

Figures Capture::FigureSamples() const
{
    Figures s{};
    for (std::size_t i = 0; i < s.size() && i < SamplesReceived; ++i)
        s[i] = SignalBuffer[i];
    return s;
}

FigureTexts Texts(const Figures& s)
{
    const QString tenths = QStringLiteral("##0.0");
    FigureTexts t;
    t.gain = vbtext::Format(s[2] / 10.0, tenths);
    t.trigger = vbtext::Format(s[3], QStringLiteral("####"));
    t.satUp = vbtext::Format(s[0] / 10.0, tenths);
    t.satDown = vbtext::Format(s[1] / 10.0, tenths);
    t.marker = s[3] - s[4];
    return t;
}

Trace Graph(const stripchart::Frame& f, int n, const std::int16_t* v, int markerIndex)
{
    Trace t;
    if (n <= 0)
        return t;
    int mx = 1;
    for (int i = 0; i < n; ++i)
        mx = std::max<int>(mx, v[i]);
    int mn = mx;
    for (int i = 0; i < n; ++i)
        mn = std::min<int>(mn, v[i]);
    const double amplitude = std::max(mx, std::abs(mn));
    const double y0 = static_cast<double>(vbtext::RoundHalfEven(f.Top + f.Height / 2.0));
    const double scale = -0.4 * f.Height / amplitude;
    const double dx = static_cast<double>(f.Width) / n;
    const auto round = [](double x) { return static_cast<int>(vbtext::RoundHalfEven(x)); };

    t.points.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        t.points.emplace_back(round(f.Left + i * dx), round(y0 + v[i] * scale));
    t.markerX = round(f.Left + markerIndex * dx);
    return t;
}

QByteArray SignalTable(const Capture& c)
{
    const int rows = *std::max_element(c.SlotCount.begin(), c.SlotCount.end());
    QByteArray out;
    for (int i = 0; i <= rows; ++i) {
        for (std::size_t j = 0; j < kTableSlots; ++j) {
            const bool held = i < c.SlotCount[j];
            out += '"';
            out += held ? vbtext::StrInt(c.SignalSlots[j][static_cast<std::size_t>(i)]).toLatin1() : QByteArray(" ");
            out += j + 1 < kTableSlots ? "\"," : "\"\r\n";
        }
    }
    return out;
}

} // namespace signalplot
