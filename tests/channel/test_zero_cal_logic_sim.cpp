// Zero, calibration table and logic output end to end with the meter simulator: the zero exchange
// on both sides of the delta bound and after a lost answer, then a full table and a logic output
// sent to the meter and read back byte for byte.

#include "channel/frmPLC.h"
#include "channel/frmXY.h"
#include "channel/frmZero.h"
#include "support/channelsession.h"
#include "support/simread.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace testbytes;

namespace {

// SimRead's setup read, with the meter's zero answers chosen: channel A's delta inside the bound,
// channel B's outside it, and the answer to the second zero request withheld.
void readWithZeroAnswers(SimRead& m)
{
    std::string error;
    ASSERT_TRUE(sim::WriteSiteFile(m.imageFile.toStdString(), sim::FactoryImage(), 1, 3, error)) << error;
    m.meter = std::make_unique<SimProcess>(QStringList{"--baud", "115200", "--image", m.imageFile, "--save",
                                                       "--zero-delta", "-2.75e-9", "--zero-delta-b", "3e-9",
                                                       "--drop-zero", "2"});
    ASSERT_TRUE(m.meter->ok());
    m.t.s().settings().setValue("Ports", "Com1", m.meter->device());
    m.t.start().show();
    QTest::mouseClick(m.t.start().imgSetup[1], Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return m.t.s().ImageValid == 1; }, 10000)) << m.t.s().ImageLength;
    m.waitForQuietLine();
}

std::vector<std::uint8_t> imageOf(const Session& s) { return {s.ParamImage.begin(), s.ParamImage.begin() + 1452}; }

} // namespace

TEST(ZeroCalLogicWithSimulator, ZeroTableAndLogicOutputReachTheMeterAndComeBack)
{
    SimRead m;
    ASSERT_NO_FATAL_FAILURE(readWithZeroAnswers(m));
    Session& s = m.t.s();
    ScriptedDialogService& said = *m.t.dialogs;
    frmConfig& menu = m.menu();
    auto& z = s.windows().get<frmZero>();
    const auto settled = [&] { return TestSession::waitFor([&] { return !z.Waiting(); }, 5000); };

    // Channel A: the delta is inside the bound and is added to the trim.
    ui::click(menu.imgZero);
    ui::click(z.imgCheck);
    ASSERT_TRUE(settled());
    EXPECT_EQ(s.ChannelCells[0].ZeroTrim.f, 0.0f + -2.75e-9f);

    // Channel B: the answer is lost; the time-out is told once and the window stays usable.
    ui::click(menu.imgZero);
    ui::pick(z.cmbChan, "CHANB");
    ui::click(z.imgCheck);
    ASSERT_TRUE(settled());
    EXPECT_EQ(said.transcript(), QStringList{"Communication Failed: Work Offline?"});
    EXPECT_TRUE(z.isVisible() && z.imgCheck->isVisible());
    // The next try is answered: 3e-9 is at the bound, refused and said so; the trim stays 0.
    ui::click(z.imgCheck);
    ASSERT_TRUE(settled());
    EXPECT_EQ(said.count("In Error or Not Blocked", "Flow Error"), 1);
    m.waitForQuietLine();

    // A full table on channel A, entered in falling order of flow.
    ui::click(menu.imgCal);
    auto& xy = s.windows().get<frmXY>();
    ui::click(xy.chkMuiltPoint);
    ui::pick(xy.cmbUnit, "m^3/s");
    const auto factor = [](int i) { return QStringLiteral("1.%1").arg(i, 3, 10, QLatin1Char('0')); };
    for (int i = 25; i >= 1; --i) {
        ui::type(xy.txtXData, QString::number(i));
        ui::type(xy.txtYData, factor(i));
        ui::click(xy.imgAdd);
    }
    ui::click(xy.imgOK);

    // Logic output 2: a batch total of 12.5 L on channel B; the input clears the total.
    ui::click(menu.imgLogic);
    auto& p = s.windows().get<frmPLC>();
    ui::click(p.chkSlot[1]);
    ui::click(p.optTOTAL);
    ui::pick(p.cmbChan, "CHAN B");
    ui::type(p.txtData, "12.5");
    ui::click(p.ChkLogInOpt[0]);
    ui::click(p.imgBack);

    // Sent: the meter keeps exactly what the tool encoded.
    const QByteArray factoryFile = fileBytes(m.imageFile);
    ui::click(menu.imgSendSite[1]);
    ASSERT_TRUE(TestSession::waitFor([&] { return fileBytes(m.imageFile) != factoryFile; }, 5000));
    m.waitForQuietLine();
    const std::vector<std::uint8_t> sent = imageOf(s);
    const QByteArray saved = fileBytes(m.imageFile).mid(3);
    ASSERT_EQ(std::vector<std::uint8_t>(saved.begin(), saved.end()), sent);

    // Read back: the same bytes, decoded into the same table and slot.
    menu.show();
    ui::click(menu.imgReload);
    ASSERT_TRUE(TestSession::waitFor([&] { return s.ImageValid == 1; }, 10000));
    EXPECT_EQ(imageOf(s), sent);
    const modData::ChannelRecord& a = s.ChannelCells[0];
    const modData::IoRecord& out2 = s.IoCells[1];
    EXPECT_EQ(sim::ImageSingle(sent, a.ZeroTrim.offset), -2.75e-9f);
    EXPECT_EQ(s.ChannelCells[1].ZeroTrim.f, 0.0f);
    EXPECT_EQ(std::make_pair(a.CalPoints.u, a.CalTableKind.u), std::make_pair(25u, 1u));
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(a.Curve.x[static_cast<std::size_t>(i)].f, static_cast<float>(i + 1)) << i;
        EXPECT_EQ(a.Curve.y[static_cast<std::size_t>(i)].f, factor(i + 1).toFloat()) << i;
    }
    EXPECT_EQ(std::make_pair(out2.LogicMode.u, out2.LogicChannel.u), std::make_pair(1u, 1u));
    EXPECT_EQ(out2.LogicValue[1].f, static_cast<float>(12.5 * static_cast<double>(s.UnitFactor(6, 1))));
    EXPECT_EQ(s.LogicInputMode().u, 1u);
    EXPECT_EQ(said.asked.size(), 2) << said.transcript().join('\n').toStdString();
}
