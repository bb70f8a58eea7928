#pragma once
// Helpers for the data log window tests: live-data answers as the meter writes them, and ways to
// put them on the tool's line.

#include "link/modComFun.h"
#include "monitor/frmLog.h"
#include "support/fakesession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QTest>

#include <cstring>
#include <vector>

namespace logtest {

using Bytes = std::vector<std::uint8_t>;

// The fields of one answer, in the meter's base units.
struct Live {
    float mean = 0.002f;
    float sound = 1482.5f;
    float flow = 0.0025f; // 150 lpm
    float sdv = 0.0001f;  // 5 % of the mean
    float time = 12.5f;
    float total = 0.0375f; // 37.5 L
    std::int16_t load = 1234;
    std::int16_t size = 12;
    std::int16_t absorb = -35;
    std::uint8_t gate = 1;
    std::uint8_t batch = 0;
    std::uint8_t status = 0;
};

// 1 lpm in m^3/s.
inline constexpr float kLpm = static_cast<float>(1.0 / 60000.0);

inline Bytes frameOf(const Live& l, std::uint8_t node = 17)
{
    Bytes f(50, 0);
    auto putF = [&](std::size_t at, float v) { std::memcpy(f.data() + at, &v, 4); };
    auto putS = [&](std::size_t at, std::int16_t v) {
        f[at] = static_cast<std::uint8_t>(v & 0xFF);
        f[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    };
    putF(4, l.mean);
    putF(8, l.sound);
    putF(12, l.flow);
    putF(16, l.sdv);
    putF(20, l.time);
    putF(24, l.total);
    putS(28, l.load);
    putS(30, l.size);
    putS(32, l.absorb);
    f[36] = l.gate;
    f[48] = l.batch;
    f[49] = l.status;
    return modComFun::AnswerFrame(node, 30, Bytes(f.begin() + 2, f.end()));
}

inline QByteArray qbytes(const Bytes& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// The live-data poll the tool must send.
inline QByteArray poll(int channel, int command)
{
    return qbytes(modComFun::CommandFrame(0, 17, static_cast<std::uint8_t>(channel), command));
}

// Puts the answer on the fake line and waits until the link has handed it on.
inline bool deliver(TestSession& t, const Live& l)
{
    t.port->receive(qbytes(frameOf(l)));
    return TestSession::waitFor([&] { return t.link().RxCount == 0; }, 1000);
}

// Hands an answer to the link's acceptance and routing at once, without the line (for long runs).
inline void route(TestSession& t, const Live& l)
{
    const Bytes f = frameOf(l);
    frmCDR& link = t.link();
    std::copy(f.begin(), f.end(), link.RxBuffer.begin());
    link.RxCount = static_cast<std::uint16_t>(f.size());
    modComFun::HandleResponse(t.link());
    link.RxCount = 0;
}

// The last request on the fake line, empty when there is none.
inline QByteArray lastRequest(TestSession& t, int length = 10)
{
    const QByteArray all = t.port->written();
    return all.size() >= length ? all.right(length) : QByteArray();
}

inline void clickBox(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

inline void choose(QComboBox* combo, int index)
{
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline const char* const kHeader = "Time\tFlow_Rate\tSpeed_Sound\tTotal_Time\tVOL_Total\tAbsorb\tTurbulence\t"
                                   "Speed_Sound\tLoading\tPart_Size\tFlow_Rate\tSpeed_Sound\tVOL_Total\tAbsorb\t"
                                   "Turbulence\tSpeed_Sound\tLoading\tPart_Size\r\n";

// The row of an answer of channel A with the default fields and a flow of `lpm` whole lpm, taken
// at 09:05 before channel B was ever polled.
inline QByteArray rowA(int lpm)
{
    return "09:05\t" + QByteArray::number(lpm) +
           ".000\t1482.500\t12.5000\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12\t.000\t.000\t\t.00\t0.000\t.00\t.0\t 0\r\n";
}

} // namespace logtest
