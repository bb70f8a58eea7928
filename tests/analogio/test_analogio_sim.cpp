// Current-loop outputs end to end with the meter simulator: both loops set up through the window
// (loop 1 left with "Save Changes?" answered apply), a trim of loop 2's high end whose every frame,
// as the meter logged it, is checked byte for byte; the image sent, the meter's saved image
// differs from its factory image in the loop cells alone, and read back it holds the same loop
// bytes and the window shows the same settings.

#include "analogio/frmAnalogOUT.h"
#include "analogio/frmTrim.h"
#include "dialogs/frmDiscard.h"
#include "support/channelsession.h"
#include "support/simread.h"

#include <QCheckBox>
#include <QRadioButton>

using namespace testbytes;

namespace {

// The trim requests (function code 46) among the requests the meter logged ("RX 11 2E ..."), in order.
QStringList loggedTrims(const QString& log)
{
    QStringList frames;
    for (const QByteArray& line : fileBytes(log).split('\n'))
        if (const qsizetype at = line.indexOf(" RX 11 2E "); at >= 0)
            frames << QString::fromLatin1(line.mid(at + 4).trimmed());
    return frames;
}

QString trim(int loop, int counts, int end)
{
    const auto b = [](int v) { return static_cast<std::uint8_t>(v); };
    const Bytes frame = withCrc({17, 46, 0xEF, 0xCD, b(loop), b(counts & 0xFF), b(counts >> 8), b(end), 0, 0});
    return QString::fromLatin1(qbytes(frame).toHex(' ').toUpper());
}

} // namespace

TEST(AnalogOutputsWithSimulator, TrimFramesAndLoopSettingsReachTheMeterByteForByte)
{
    SimRead m;
    const QString log = m.dir.filePath("meter.log");
    ASSERT_NO_FATAL_FAILURE(m.read(122, 10000, {"--log", log}));
    Session& s = m.t.s();
    frmConfig& menu = m.menu();
    ui::click(menu.imgCurent);
    auto& a = s.windows().get<frmAnalogOUT>();

    // Loop 1: mass flow in kg/min, 0-20 mA, span on error; loop 2: sound speed of channel A.
    ui::pick(a.cmbParam, "MASS FLOW");
    ui::pick(a.cmbUnit, "kg/min");
    ui::type(a.txtLoFloat, "3");
    ui::type(a.txtHifloat, "30");
    ui::pick(a.cmbErrHand, "SPAN (20ma)");
    QTest::mouseClick(a.chkOdd, Qt::LeftButton, {}, QPoint(6, a.chkOdd->height() / 2));
    ui::click(a.optSlot[1]);
    ui::click(s.windows().get<frmDiscard>().imgUdate);
    ui::pick(a.cmbParam, "VOS");
    ui::pick(a.cmbChan, "CHAN A");
    ui::type(a.txtLoFloat, "1400");
    ui::type(a.txtHifloat, "1600");

    // Trim: up 100, up 3, down 25, down 3, each after the acknowledgement; then OK.
    auto& tr = s.windows().get<frmTrim>();
    auto acked = [&] { return TestSession::waitFor([&] { return tr.AckPending == 0; }, 3000); };
    ui::click(a.imgTrimHi);
    ASSERT_TRUE(acked());
    for (PictureButton* b : {tr.imgInc[1], tr.imgInc[0], tr.imgRdc[1], tr.imgRdc[0]}) {
        ui::click(b);
        ASSERT_TRUE(acked());
    }
    ui::click(tr.imgOkay);
    ASSERT_NO_FATAL_FAILURE(m.waitForQuietLine());
    EXPECT_EQ(a.txtDacHi->text(), ".04 mA");
    EXPECT_EQ(loggedTrims(log), (QStringList{trim(0, 38335, 1), trim(0, 38435, 1), trim(0, 38438, 1), trim(0, 38413, 1),
                                             trim(0, 38410, 1), trim(99, 38410, 1)}));
    ui::click(a.imgBack);

    const QByteArray factoryFile = fileBytes(m.imageFile);
    ui::click(menu.imgSendSite[1]);
    ASSERT_TRUE(TestSession::waitFor([&] { return fileBytes(m.imageFile) != factoryFile; }, 5000))
        << m.meter->stop().toStdString();
    ASSERT_NO_FATAL_FAILURE(m.waitForQuietLine());
    const QByteArray saved = fileBytes(m.imageFile).mid(3);
    ASSERT_EQ(saved.size(), 1452);
    const std::vector<std::uint8_t> meter(saved.begin(), saved.end());
    const modData::LoopRecord &l1 = s.LoopCells[3], &l2 = s.LoopCells[2];
    ExpectChangedCells(sim::FactoryImage(), meter,
                       {&l1.LoopParam, &l1.LoopErrAction, &l1.DacHigh, &l1.DacLow, &l1.OutMin, &l1.OutMax,
                        &l2.LoopStatus, &l2.LoopChannel, &l2.LoopParam, &l2.OutMin, &l2.OutMax});
    const int loops = modData::LoopBase, bytes = 4 * modData::LoopRecord::Bytes;
    EXPECT_EQ(saved.mid(loops, bytes).toHex(' '), m.toolImage().mid(loops, bytes).toHex(' '));
    EXPECT_EQ(sim::ImageWord(meter, l1.DacHigh.offset), 38368);
    EXPECT_EQ(sim::ImageWord(meter, l1.DacLow.offset), 0);
    EXPECT_FLOAT_EQ(sim::ImageSingle(meter, l1.OutMin.offset), 0.05f);

    // Scrambled and read again: the same loop bytes come back, and the window shows them.
    s.LoopCells[3].LoopParam.u = 0;
    s.LoopCells[2].OutMax.f = 0.0f;
    s.ImageValid = 0;
    ui::click(m.t.start().imgSetup[1]);
    ASSERT_TRUE(TestSession::waitFor([&] { return s.ImageValid == 1; }, 10000));
    ASSERT_NO_FATAL_FAILURE(m.waitForQuietLine());
    EXPECT_EQ(m.toolImage().mid(loops, bytes).toHex(' '), saved.mid(loops, bytes).toHex(' '));
    ui::click(menu.imgCurent);
    EXPECT_EQ(a.cmbParam->currentText() + a.cmbUnit->currentText() + a.cmbErrHand->currentText(),
              "MASS FLOWkg/sSPAN (20ma)");
    EXPECT_EQ(a.txtLoFloat->text() + a.txtHifloat->text(), ".05.50");
    ui::click(a.optSlot[1]);
    EXPECT_EQ(a.cmbParam->currentText() + a.cmbChan->currentText(), "VOSCHAN A");
    EXPECT_EQ(a.txtLoFloat->text() + a.txtHifloat->text(), "1400.001600.00");
    EXPECT_TRUE(m.t.dialogs->asked.isEmpty()) << m.t.dialogs->transcript().join('\n').toStdString();
}
