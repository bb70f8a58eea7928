// The channel setup hub, the global parameters window and the save/discard prompt, headless
// through their controls on the simulator's factory image (KRB41 on A, KRB17 on B, water).

#include "channel/frmErrorHL.h"
#include "channel/frmFluid.h"
#include "channel/frmPipe.h"
#include "channel/frmSpool.h"
#include "channel/frmXducer.h"
#include "dialogs/frmDiscard.h"
#include "meterdata/frmConfig.h"
#include "meterdata/frmGlobal.h"
#include "support/channelsession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QRadioButton>

namespace {

struct Hub : ::testing::Test {
    ChannelSession c;
    frmConfig& menu = c.win<frmConfig>();
    frmXducer* x = nullptr;

    // Opens channel setup from the menu, as the user does, after the image read and `edit`.
    void open(const std::function<void()>& edit = {})
    {
        menu.show();
        menu.Free_input();
        if (edit)
            edit();
        ui::click(menu.imgChannel[1]);
        x = &c.win<frmXducer>();
        ASSERT_TRUE(x->isVisible());
        ASSERT_FALSE(menu.isVisible());
    }
    QComboBox* list(const char* name) { return ui::ctl<QComboBox>(*x, name); }
    frmDiscard& prompt() { return c.win<frmDiscard>(); }
    // The image bytes of one channel record.
    std::vector<std::uint8_t> channelBytes(int ch)
    {
        const auto image = c.encoded();
        const auto first = image.begin() + modData::ChannelBase + ch * modData::ChannelRecord::Bytes;
        return {first, first + modData::ChannelRecord::Bytes};
    }
};

} // namespace

TEST_F(Hub, TransducerTypesApplyTheirDefaultsAndOpenTheirGeometryWindow)
{
    open();
    EXPECT_EQ(list("cmbXducerType")->currentText(), "KRB41");
    EXPECT_EQ(list("cmbFluid")->currentText(), "Water");
    ui::pick(list("cmbXducerType"), "KRB58");
    EXPECT_EQ(c.chan(0).XducerFreq.u, 2000u);
    EXPECT_EQ(c.chan(0).SamplesPerCycle.u, 24u);
    EXPECT_EQ(c.chan(0).XducerType.u, 4u);
    EXPECT_FLOAT_EQ(c.chan(0).PipeID.f, 0.01585f);
    EXPECT_FLOAT_EQ(c.chan(0).Spacing.f, 0.01346f);
    EXPECT_FLOAT_EQ(c.chan(0).XducerDelay.f, 5.8e-6f);
    EXPECT_EQ(c.win<frmPipe>().MaterialIndex, 8) << "PFA";
    EXPECT_TRUE(c.win<frmPipe>().isVisible());

    ui::click(c.win<frmPipe>().imgBack);
    ui::pick(list("cmbXducerType"), "KRB41");
    EXPECT_EQ(c.chan(0).XducerFreq.u, 4000u);
    EXPECT_EQ(c.chan(0).SamplesPerCycle.u, 12u);

    ui::click(c.win<frmPipe>().imgBack);
    ASSERT_TRUE(x->isVisible());
    ui::pick(list("cmbXducerType"), "LS86");
    EXPECT_FLOAT_EQ(c.chan(0).PipeID.f, 0.01268f);
    EXPECT_EQ(c.chan(0).WallThick.f, 0.0016f);
    EXPECT_EQ(c.chan(0).Traverses.u, 1u);
    EXPECT_EQ(c.win<frmPipe>().txtOD->text(), "15.88");
    EXPECT_EQ(c.win<frmPipe>().txtWall->text(), "1.6");
    EXPECT_EQ(c.win<frmPipe>().cmbMaterial->currentText(), "Stainless Steel");

    ui::click(c.win<frmPipe>().imgBack);
    ASSERT_TRUE(x->isVisible());
    ui::pick(list("cmbXducerType"), "NEV52");
    EXPECT_EQ(c.chan(0).MountType.u, 0u);
    EXPECT_EQ(c.chan(0).PulseWidth.u, 4u);
    EXPECT_TRUE(c.win<frmSpool>().isVisible());
    EXPECT_FALSE(c.win<frmPipe>().isVisible());
    EXPECT_EQ(c.chan(1).XducerType.u, 2u) << "channel B untouched";
}

TEST_F(Hub, ListsFollowTheRecordAndNeverIndexPastTheirTables)
{
    open([this] {
        c.chan(0).FluidVOS.f = 1482.0f;
        c.chan(0).MinVOS.f = 999.0f;
        c.chan(0).ZeroTrim.f = 0.25f;
        c.chan(1).XducerType.u = 12;
        c.chan(1).ErrHandle.u = 9;
        c.chan(1).FluidVOS.f = 1540.0f;
        c.s().GlobalCells.NumberChan.u = 3;
    });
    EXPECT_EQ(list("cmbChannel")->count(), 2) << "the image holds two channels";
    EXPECT_EQ(list("cmbFluid")->currentText(), "Other");
    EXPECT_EQ(list("cmbErr_lim")->currentText(), "CUSTOM");
    EXPECT_EQ(list("cmbSig_Proc")->currentText(), "DEFAULT") << "the zero trim is not a signal setting";
    ui::pick(list("cmbChannel"), "Chan B");
    EXPECT_EQ(x->CurrentChannel(), 1);
    EXPECT_EQ(list("cmbXducerType")->currentIndex(), -1);
    EXPECT_EQ(list("cmbError_Handle")->currentIndex(), -1);
    EXPECT_EQ(list("cmbFluid")->currentText(), "50/50 Antifreeze");
    EXPECT_EQ(c.chan(1).XducerType.u, 12u);
    // The first pick after a channel switch acts.
    ui::pick(list("cmbFluid"), "Water");
    EXPECT_EQ(c.chan(1).FluidVOS.f, 1481.0f);
    EXPECT_EQ(c.chan(1).FluidDensity.f, 999.8f);
    EXPECT_EQ(c.chan(1).FluidViscosity.f, 8.6e-7f);
    ui::pick(list("cmbFluid"), "Other");
    EXPECT_TRUE(c.win<frmFluid>().isVisible());
    EXPECT_EQ(c.win<frmFluid>().txtVOS->text(), "1481.00") << "channel B's fluid";
    ui::pick(list("cmbError_Handle"), "RANGE");
    EXPECT_EQ(c.chan(1).ErrHandle.u, 3u);
    ui::pick(list("cmbErr_lim"), "DEFAULT");
    EXPECT_EQ(c.chan(1).MaxErrPct.u, 75u);
}

TEST_F(Hub, LeavingAnEditedChannelAsksAndTheAnswerActsOnTheChannelLeft)
{
    open();
    const auto a = channelBytes(0);
    ui::pick(list("cmbFluid"), "IPA");
    ui::pick(list("cmbChannel"), "Chan B");
    ASSERT_TRUE(prompt().isVisible());
    EXPECT_EQ(ui::ctl<QLabel>(prompt(), "lblSave")->text(), "Save Changes?");
    EXPECT_EQ(x->CurrentChannel(), 0) << "the switch waits for the answer";
    EXPECT_EQ(list("cmbChannel")->currentIndex(), 0);
    ui::click(prompt().imgCancel);
    EXPECT_FALSE(prompt().isVisible());
    EXPECT_EQ(channelBytes(0), a) << "discard restores channel A as it was opened";
    EXPECT_EQ(x->CurrentChannel(), 1);
    EXPECT_EQ(list("cmbFluid")->currentText(), "Water");

    ui::pick(list("cmbXducerType"), "LS39");
    ui::click(c.win<frmPipe>().imgBack);
    ASSERT_TRUE(x->isVisible());
    const auto b = channelBytes(1);
    ui::pick(list("cmbChannel"), "Chan A");
    ui::click(prompt().imgUdate);
    EXPECT_EQ(channelBytes(1), b) << "apply keeps the edits";
    EXPECT_EQ(c.chan(1).XducerType.u, 7u);
    EXPECT_EQ(x->CurrentChannel(), 0);

    // An unedited channel switches without asking.
    ui::pick(list("cmbChannel"), "Chan B");
    EXPECT_FALSE(prompt().isVisible());
    EXPECT_EQ(x->CurrentChannel(), 1);

    // A second request overwrites the first; the answer goes to the second owner and item.
    std::vector<std::pair<int, int>> calls;
    prompt().setOwner(frmDiscard::OwnerPLC, {[&](int i) { calls.push_back({1, i}); }, [&](int i) { calls.push_back({0, i}); }});
    prompt().Ask(frmDiscard::OwnerXducer, 0);
    prompt().Ask(frmDiscard::OwnerPLC, 2);
    ui::click(prompt().imgUdate);
    prompt().Ask(frmDiscard::OwnerPLC, 1);
    ui::click(prompt().imgCancel);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 2}, {0, 1}}));
    EXPECT_EQ(x->CurrentChannel(), 1);
}

TEST_F(Hub, OkMirrorsChannelAIntoChannelBAndClearsTheGlobalByte)
{
    open([this] { c.s().GlobalCells.Byte44.u = 5; });
    ui::pick(list("cmbXducerType"), "KRB32");
    ui::click(c.win<frmPipe>().imgBack);
    ASSERT_TRUE(x->isVisible());
    ui::click(ui::ctl<QCheckBox>(*x, "chkMirror"));
    ui::click(x->imgPush);
    EXPECT_EQ(channelBytes(1), channelBytes(0));
    EXPECT_EQ(c.chan(1).PipeID.offset, modData::ChannelBase + modData::ChannelRecord::Bytes + 48);
    EXPECT_FALSE(x->chkMirror->isChecked());
    EXPECT_EQ(c.s().GlobalCells.Byte44.u, 0u);
    EXPECT_FALSE(x->isVisible());
    EXPECT_TRUE(menu.isVisible());

    // The start window's language buttons reach the channel setup.
    ui::click(c.t.start().imgLang[2]);
    EXPECT_TRUE(x->imgSensor[2]->isVisibleTo(x));
    EXPECT_FALSE(x->imgSensor[1]->isVisibleTo(x));
    EXPECT_EQ(x->imgSensor[2]->pos(), x->imgSensor[0]->pos());
}

TEST_F(Hub, GlobalParametersStoreNameNodeAndChannelCount)
{
    menu.show();
    menu.Free_input();
    ui::click(menu.imgGlobal[1]);
    auto& g = c.win<frmGlobal>();
    ASSERT_TRUE(g.isVisible());
    EXPECT_EQ(g.txtGval[0]->text(), "ZAV METER");
    EXPECT_FALSE(g.cmbMeterID->isEnabled()) << "RS-232 line";
    EXPECT_EQ(g.cmbMeterID->count(), 17);
    EXPECT_EQ(g.cmbMeterID->currentText(), "Poll");
    EXPECT_EQ(c.s().GlobalCells.Byte30.u, 1u);

    ui::type(g.txtGval[0], "PUMP HOUSE 7");
    ui::pick(g.lstNumChan, 0);
    ui::click(g.imgCancel);
    EXPECT_EQ(c.s().GlobalCells.NumberChan.u, 2u);
    EXPECT_EQ(c.s().GlobalCells.MeterName.text.substr(0, 9), "ZAV METER");

    c.s().GlobalCells.NodeAddr.u = 30;
    g.close();
    ui::click(c.t.start().optRs485);
    ui::click(menu.imgGlobal[1]);
    EXPECT_EQ(g.cmbMeterID->currentIndex(), -1) << "node 30 has no entry";
    ui::pick(g.lstNumChan, 0);
    ui::click(g.imgConfirm);
    EXPECT_EQ(c.s().GlobalCells.NodeAddr.u, 30u);
    EXPECT_EQ(c.s().GlobalCells.NumberChan.u, 1u);

    // One channel: the channel list is hidden and every edit goes to channel A.
    ui::click(menu.imgChannel[1]);
    x = &c.win<frmXducer>();
    EXPECT_FALSE(x->cmbChannel->isVisible());
    EXPECT_FALSE(x->chkMirror->isVisible());
    ui::pick(list("cmbFluid"), "Diesel");
    EXPECT_EQ(c.chan(0).FluidVOS.f, 1324.0f);
    EXPECT_EQ(c.chan(1).FluidVOS.f, 1481.0f);
    ui::click(x->imgCancel);

    ui::click(menu.imgGlobal[1]);
    ui::type(g.txtGval[0], "PUMP HOUSE 7");
    ui::pick(g.cmbMeterID, "Poll");
    ui::pick(g.lstNumChan, 1);
    ui::click(g.imgConfirm);
    EXPECT_EQ(c.s().GlobalCells.NodeAddr.u, 17u);
    EXPECT_EQ(c.s().GlobalCells.NumberChan.u, 2u);
    EXPECT_EQ(c.s().GlobalCells.MeterName.text, "PUMP HOUSE");
    EXPECT_TRUE(menu.isVisible());
}

TEST_F(Hub, ReturnStoresEscLeavesAndTheFocusFollowsTheLayout)
{
    // Global parameters: shown with the name box in focus; Esc is cancel, Return confirm (also from
    // the channel count list).
    menu.show();
    menu.Free_input();
    ui::click(menu.imgGlobal[1]);
    auto& g = c.win<frmGlobal>();
    EXPECT_EQ(g.focusWidget(), g.txtGval[0]);
    ui::type(g.txtGval[0], "PLANT 9");
    QTest::keyClick(g.txtGval[0], Qt::Key_Escape);
    EXPECT_TRUE(!g.isVisible() && menu.isVisible());
    EXPECT_EQ(c.s().GlobalCells.MeterName.text.substr(0, 9), "ZAV METER");
    ui::click(menu.imgGlobal[1]);
    ui::pick(g.lstNumChan, 0);
    QTest::keyClick(g.lstNumChan, Qt::Key_Return);
    EXPECT_TRUE(!g.isVisible() && menu.isVisible());
    EXPECT_EQ(c.s().GlobalCells.MeterName.text, "PLANT 9");
    EXPECT_EQ(c.s().GlobalCells.NumberChan.u, 1u);

    // Fluid: Esc closes storing nothing, Return is back.
    frmFluid& f = c.win<frmFluid>();
    const float vos = c.chan(0).FluidVOS.f;
    f.Fill_Boxes(0);
    EXPECT_EQ(f.focusWidget(), f.txtVOS);
    ui::type(f.txtVOS, "1500");
    QTest::keyClick(f.txtVOS, Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(c.chan(0).FluidVOS.f, vos);
    f.Fill_Boxes(0);
    ui::type(f.txtDensity, "950");
    QTest::keyClick(f.txtDensity, Qt::Key_Return);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(c.chan(0).FluidDensity.f, 950.0f);

    // Error limits: Tab goes along each row, to the unit list beside the first box, then down.
    frmErrorHL& e = c.win<frmErrorHL>();
    e.show();
    EXPECT_EQ(e.focusWidget(), e.txtMaxFlow);
    QTest::keyClick(e.txtMaxFlow, Qt::Key_Tab);
    EXPECT_EQ(e.focusWidget(), e.cmbUnitFlow);
    QTest::keyClick(e.cmbUnitFlow, Qt::Key_Tab);
    EXPECT_EQ(e.focusWidget(), e.txtMinFlow);
}
