#pragma once
// Helpers for the data log tests: the poll the meter must receive, answers handed to the link,
// controls worked as a user would, and the rows the log writes.

#include "link/commands.h"
#include "monitor/frmLog.h"
#include "support/bytes.h"
#include "support/fakesession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

namespace logtest {

using testbytes::fileBytes;
using testbytes::Live;
using testbytes::qbytes;

// 1 lpm in m^3/s.
inline constexpr float kLpm = static_cast<float>(1.0 / 60000.0);

// An answer with the default fields, a flow of `lpm` and the given status.
inline Live flowing(float lpm, int status = 0)
{
    Live l;
    l.flow = lpm * kLpm;
    l.status = static_cast<std::uint8_t>(status);
    return l;
}

// The live-data poll of a channel with a batch command (byte 5), node 17, access code 52719.
inline QByteArray poll(int channel, int command)
{
    return qbytes(testbytes::withCrc(
        {17, 30, 0xEF, 0xCD, static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(command), 0, 0}));
}

// Hands an answer to the link's checks and routing at once, as the end of the line's silence does.
inline void route(frmCDR& link, const Live& l)
{
    const testbytes::Bytes f = testbytes::liveAnswer(l);
    std::copy(f.begin(), f.end(), link.RxBuffer.begin());
    link.RxCount = static_cast<std::uint16_t>(f.size());
    modComFun::HandleResponse(link);
    link.RxCount = 0;
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

inline const char* const kHeader = "Time\tFlow_Rate\tSpeed_Sound\tTotal_Time\tVOL_Total\tAbsorb\tTurbulence\t"
                                   "Speed_Sound\tLoading\tPart_Size\tFlow_Rate\tSpeed_Sound\tVOL_Total\tAbsorb\t"
                                   "Turbulence\tSpeed_Sound\tLoading\tPart_Size\r\n";

// A row stamped 09:05 after answers with the default fields and flows of `lpmA` and `lpmB`; 0
// stands for a channel never polled. The batch time is shared and stands with channel A.
inline QByteArray row(int lpmA, int lpmB)
{
    const auto flow = [](int lpm) { return '\t' + QByteArray::number(lpm) + ".000\t1482.500"; };
    const QByteArray a = lpmA ? flow(lpmA) + "\t12.5000\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12"
                              : QByteArray("\t.000\t.000\t12.5000\t\t.00\t0.000\t.00\t.0\t 0");
    const QByteArray b = lpmB ? flow(lpmB) + "\t37.5000\t-3.50\t5.000\t1482.50\t1.2\t 12"
                              : QByteArray("\t.000\t.000\t\t.00\t0.000\t.00\t.0\t 0");
    return "09:05" + a + b + "\r\n";
}

} // namespace logtest
