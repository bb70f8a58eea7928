// The zero, calibration-table and logic I/O windows, headless through their controls on the
// simulator's factory image, with the zero answers played on the in-memory line.

#include "channel/frmPLC.h"
#include "channel/frmXY.h"
#include "channel/frmZero.h"
#include "dialogs/frmDiscard.h"
#include "meterdata/frmConfig.h"
#include "platform/twips.h"
#include "support/bytes.h"
#include "support/channelsession.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>

#include <cmath>

using namespace testbytes;

namespace {

struct Windows : ::testing::Test {
    ChannelSession c;
    frmConfig& menu = c.win<frmConfig>();
    ScriptedDialogService& said = *c.t.dialogs;

    void SetUp() override
    {
        menu.show();
        menu.Free_input();
    }
    // A zero answer handed to the link's checks and routing, as the end of the line's silence does.
    void answer(float delta, std::uint8_t status)
    {
        Bytes a{17, 38, 0, 0, 0, 0, 0, 0, status, 0};
        putFloat(a, 4, delta);
        a = withCrc(a);
        TestSession::deliver(c.t.link(), a);
    }
    QByteArray zeroRequest(std::uint8_t channel) { return qbytes(withCrc({17, 38, 0xEF, 0xCD, channel, 0})); }
    static int heightFor(int points) { return twips::rect(0, 0, 0, 3855 + 245 * points).height(); }
};

} // namespace

TEST_F(Windows, ZeroAddsTheDeltaToTheChannelAskedForWithinItsBound)
{
    // The trims as last read from the meter; channel B's cell holds an edit that was not sent.
    for (const auto& [ch, trim] : {std::pair{0, 1e-9f}, std::pair{1, 2e-9f}})
        putLE(c.s().ParamImage.data() + c.chan(ch).ZeroTrim.offset, std::bit_cast<std::uint32_t>(trim), 4);
    c.chan(1).ZeroTrim.f = 7e-9f;
    auto& z = c.win<frmZero>();
    ui::click(menu.imgZero);
    ui::pick(z.cmbChan, "CHANB");
    ui::click(z.imgCheck);
    EXPECT_EQ(c.t.port->written(), zeroRequest(1));
    EXPECT_FALSE(z.imgCheck->isVisible());
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    z.cmbChan->setCurrentIndex(0); // the list moves while the answer is on its way
    answer(1e-9f, 0);
    EXPECT_EQ(c.chan(1).ZeroTrim.f, 2e-9f + 1e-9f);
    EXPECT_EQ(c.chan(0).ZeroTrim.f, 0.0f);
    EXPECT_TRUE(!z.isVisible() && menu.isVisible() && QGuiApplication::overrideCursor() == nullptr);

    // The bound is the single nearest 3e-9, itself refused; a refusal sets the trim to 0.
    const float limit = 3e-9f;
    const std::tuple<float, int, bool> cases[] = {{std::nextafter(limit, 0.0f), 0, true}, {limit, 0, false},
                                                  {std::nextafter(-limit, 0.0f), 0, true}, {-limit, 0, false},
                                                  {-2.9e-9f, 0, true}, {0.0f, 1, false}};
    for (const auto& [delta, status, accepted] : cases) {
        SCOPED_TRACE(testing::Message() << delta << " status " << status);
        c.chan(0).ZeroTrim.f = 5.0f;
        ui::click(menu.imgZero);
        ui::click(z.imgCheck);
        answer(delta, static_cast<std::uint8_t>(status));
        EXPECT_EQ(c.chan(0).ZeroTrim.f, accepted ? 1e-9f + delta : 0.0f);
        EXPECT_EQ(said.count("In Error or Not Blocked", "Flow Error"), accepted ? 0 : 1);
        said.asked.clear();
    }

    // "Reset" clears both channels whichever is chosen, and sends nothing.
    const auto sent = c.t.port->written().size();
    c.chan(0).ZeroTrim.f = 1e-9f;
    ui::click(menu.imgZero);
    ui::pick(z.cmbChan, "CHANB");
    ui::click(z.chkZero);
    ui::click(z.imgCheck);
    EXPECT_EQ(std::make_pair(c.chan(0).ZeroTrim.f, c.chan(1).ZeroTrim.f), std::make_pair(0.0f, 0.0f));
    EXPECT_FALSE(z.chkZero->isChecked());
    EXPECT_EQ(c.t.port->written().size(), sent);
}

TEST_F(Windows, ZeroOutlivesALostAnswerAndRefusesOffline)
{
    auto& z = c.win<frmZero>();
    ui::click(menu.imgZero);
    ui::click(z.imgCheck);
    c.t.link().responseMs = 0;
    c.t.link().tmrTimeOut_Timer();
    EXPECT_EQ(said.transcript(), QStringList{"Communication Failed: Work Offline?"});
    EXPECT_TRUE(z.isVisible() && z.imgCheck->isVisible() && QGuiApplication::overrideCursor() == nullptr);
    answer(1e-9f, 0); // too late: nobody waits for it
    EXPECT_EQ(c.chan(0).ZeroTrim.f, 0.0f);
    ui::click(z.imgCheck);
    answer(1e-9f, 0);
    EXPECT_EQ(c.chan(0).ZeroTrim.f, 1e-9f) << "the next try works";

    // Opened before going offline, the window refuses to ask the meter; offline it does not open
    // but offers to clear the trims.
    const auto sent = c.t.port->written().size();
    ui::click(menu.imgZero);
    c.s().OfflineMode = Session::kOffline;
    said.asked.clear();
    ui::click(z.imgCheck);
    z.hide();
    c.chan(1).ZeroTrim.f = 4e-9f;
    said.answers = {DialogService::Answer::Yes};
    ui::click(menu.imgZero);
    EXPECT_EQ(std::make_pair(c.chan(0).ZeroTrim.f, c.chan(1).ZeroTrim.f), std::make_pair(0.0f, 0.0f));
    EXPECT_FALSE(z.isVisible());
    EXPECT_EQ(c.t.port->written().size(), sent);
    EXPECT_EQ(said.transcript(), (QStringList{"Live Input Required: Not allowed in Offline Mode",
                                              "Live Input Required: Clear Existing Zero Trim"}));
}

TEST_F(Windows, CalibrationTableKeepsItsOrderAndNeverPassesTwentyFivePoints)
{
    modData::ChannelRecord& a = c.chan(0);
    a.CalPoints.u = 40; // from an image: more points than the curve holds
    a.CalTableKind.u = 1;
    for (int i = 0; i < 25; ++i)
        a.Curve.x[static_cast<std::size_t>(i)].f = static_cast<float>(i + 1);
    auto& xy = c.win<frmXY>();
    ui::click(menu.imgCal);
    ASSERT_TRUE(xy.isVisible() && !menu.isVisible());
    EXPECT_EQ(xy.Table().count, 25);
    EXPECT_EQ(xy.height(), heightFor(25));
    ui::click(xy.imgAdd);
    EXPECT_EQ(said.transcript(), QStringList{"Enter Calibration Data: Table Full"});
    ui::pick(xy.cmbUnit, "m^3/s");
    ui::click(xy.imgRemove[0]);
    EXPECT_EQ(xy.Label4[0]->text(), "2.00");
    EXPECT_FALSE(xy.Label4[24]->isVisibleTo(&xy));

    // Channel B has no table: the window starts one. Points go in sorted; %Error 2 is 0.98.
    ui::pick(xy.cmbChan, "CHANB");
    EXPECT_FALSE(xy.txtXData->isVisible());
    EXPECT_EQ(xy.height(), heightFor(0));
    ui::click(xy.chkMuiltPoint);
    ui::pick(xy.cmbUnit, "m^3/s");
    ui::click(xy.optError[0]);
    for (const char* x : {"30", "10", "-0.5", "20", "abc", "1e39"}) {
        ui::type(xy.txtXData, x);
        ui::type(xy.txtYData, "2");
        ui::click(xy.imgAdd);
    }
    EXPECT_EQ(said.asked.size(), 3) << "no number, and beyond a single, are refused";
    QStringList rows;
    for (std::size_t i = 0; i < 4; ++i)
        rows << xy.Label4[i]->text() + " " + xy.Label5[i]->text();
    EXPECT_EQ(rows, (QStringList{"-.50 .9800", "10.00 .9800", "20.00 .9800", "30.00 .9800"}));
    EXPECT_EQ(xy.height(), heightFor(4));

    ui::click(xy.chkReynods);
    EXPECT_FALSE(xy.cmbUnit->isVisible());
    ui::type(xy.txtXData, "150000");
    ui::click(xy.imgAdd);
    EXPECT_EQ(xy.Label4[4]->text(), "150000");
    ui::type(xy.txtFixCal, "x");
    ui::click(xy.imgOK);
    EXPECT_TRUE(xy.isVisible()) << "a factor that is no number is refused";
    EXPECT_EQ(c.chan(1).CalTableKind.u, 0u);
    ui::type(xy.txtFixCal, "1.05");
    ui::click(xy.imgOK);
    const modData::ChannelRecord& b = c.chan(1);
    EXPECT_EQ(std::make_tuple(b.CalFactor.f, b.CalTableKind.u, b.CalPoints.u), std::make_tuple(1.05f, 2u, 5u));
    EXPECT_EQ(std::make_tuple(b.Curve.x[0].f, b.Curve.x[4].f, b.Curve.y[2].f), std::make_tuple(-0.5f, 150000.0f, 0.98f));
    EXPECT_EQ(a.CalPoints.u, 40u) << "channel A was left without OK";
    EXPECT_TRUE(menu.isVisible());

    // A complete read with the menu hidden takes the image into the cells and opens the window.
    menu.hide();
    emit c.s().imageComplete();
    EXPECT_TRUE(xy.isVisible() && xy.Channel() == 0);
    EXPECT_EQ(c.chan(1).CalFactor.f, 1.0f) << "the meter's factor, not the edit";
}

TEST_F(Windows, LogicSlotsKeepUnknownValuesAndTheAnswerActsOnTheSlotLeft)
{
    modData::IoRecord& s0 = c.s().IoCells[0];
    s0.LogicMode.u = 2;
    s0.LogicChannel.u = 1;
    s0.LogicValue[0].f = s0.LogicValue[1].f = 0.5f;
    modData::IoRecord& s1 = c.s().IoCells[1];
    s1.LogicMode.u = 7; // values from an image that name no list entry
    s1.LogicChannel.u = 5;
    s1.LogicParam.u = 9;
    s1.LogicValue[0].f = 1.25f;
    c.s().LogicInputMode().u = 1;
    const auto before = c.encoded();

    auto& p = c.win<frmPLC>();
    auto& prompt = c.win<frmDiscard>();
    ui::click(menu.imgLogic);
    ASSERT_TRUE(p.isVisible() && !menu.isVisible());
    EXPECT_TRUE(p.chkSlot[0]->isChecked() && p.OptPulse->isChecked() && p.ChkLogInOpt[0]->isChecked());
    EXPECT_EQ(QStringList({p.lblVar->text(), p.txtData->text(), p.cmbUnit->currentText(), p.cmbChan->currentText()}),
              QStringList({"Pulse Volume", "500.000", "L", "CHAN B"}));

    ui::pick(p.cmbParam, "MASS");
    EXPECT_EQ(std::make_pair(p.cmbUnit->count(), p.cmbUnit->currentText()), std::make_pair(2, QString("lbm")));
    ui::type(p.txtData, "250");
    ui::click(p.ChkLogInOpt[1]);
    EXPECT_FALSE(p.ChkLogInOpt[0]->isChecked());
    ui::click(p.chkSlot[1]);
    ASSERT_TRUE(prompt.isVisible());
    EXPECT_EQ(p.CurrentSlot(), 0) << "the switch waits for the answer";
    EXPECT_TRUE(p.chkSlot[0]->isChecked() && !p.chkSlot[1]->isChecked());
    ui::click(p.imgOkay); // still slot 0's edits
    ui::click(prompt.imgUdate);
    EXPECT_EQ(s0.LogicParam.u, 2u);
    EXPECT_EQ(s0.LogicValue[0].f, static_cast<float>(250.0 * static_cast<double>(c.s().UnitFactor(2, 1))));
    EXPECT_EQ(s0.LogicValue[1].f, s0.LogicValue[0].f);
    EXPECT_EQ(c.s().LogicInputMode().u, 2u);
    EXPECT_TRUE(p.CurrentSlot() == 1 && p.chkSlot[1]->isChecked() && !p.chkSlot[0]->isChecked() && !p.SlotDirty);

    // Slot 1 selects nothing it cannot show, and a save keeps its record as it was; discarding
    // its edits at the switch to slot 2 keeps it too.
    for (QRadioButton* o : {p.optDisabled, p.optTOTAL, p.OptPulse, p.optAlarm})
        EXPECT_FALSE(o->isChecked());
    EXPECT_EQ(p.cmbChan->currentIndex(), -1);
    ui::click(p.imgOkay);
    ui::click(p.optTOTAL);
    EXPECT_EQ(p.cmbParam->currentIndex(), -1);
    ui::click(p.chkSlot[2]);
    ui::click(prompt.imgCancel);
    EXPECT_EQ(p.CurrentSlot(), 2);
    const std::set<int> changed = ChangedBytes(before, c.encoded());
    const std::set<int> owned = CellBytes({&s0.LogicParam, &s0.LogicValue[0], &s0.LogicValue[1], &c.s().LogicInputMode()});
    EXPECT_TRUE(std::includes(owned.begin(), owned.end(), changed.begin(), changed.end()));
    EXPECT_TRUE(changed.count(s0.LogicValue[1].offset) && changed.count(s0.LogicParam.offset));

    // Slot 2: one channel shows no list; a value that is no number is refused, also by back.
    c.s().GlobalCells.NumberChan.u = 1;
    ui::click(p.optTOTAL);
    EXPECT_TRUE(!p.cmbChan->isVisible() && p.lblVar->text() == "Batch Volume");
    ui::type(p.txtData, "lots");
    ui::click(p.imgBack);
    EXPECT_TRUE(p.isVisible() && said.asked.size() == 1 && c.s().IoCells[2].LogicMode.u == 0);
    ui::type(p.txtData, "3");
    ui::click(p.imgBack);
    EXPECT_TRUE(!p.isVisible() && menu.isVisible());
    EXPECT_EQ(c.s().IoCells[2].LogicMode.u, 1u);
    EXPECT_EQ(c.s().IoCells[2].LogicValue[0].f, static_cast<float>(3.0 * static_cast<double>(c.s().UnitFactor(6, 1))));
}
