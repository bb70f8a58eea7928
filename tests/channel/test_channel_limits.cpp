// The fluid, error-limit, signal-processing and response-time windows through their controls:
// what they show from the channel records, what back and accept store (and nothing else), refused
// input.

#include "channel/frmErrorHL.h"
#include "channel/frmFluid.h"
#include "channel/frmResponse.h"
#include "channel/frmSPinputs.h"
#include "meterdata/frmConfig.h"
#include "support/channelsession.h"

#include <QCheckBox>
#include <QRadioButton>

namespace {

using Image = std::vector<std::uint8_t>;
using Typed = std::initializer_list<std::pair<const char*, const char*>>;

QLineEdit* box(const QWidget& w, const char* name) { return ui::ctl<QLineEdit>(w, name); }
[[maybe_unused]] QStringList texts(const QWidget& w, std::initializer_list<const char*> names)
{
    QStringList l;
    for (const char* n : names)
        l << box(w, n)->text();
    return l;
}
void type(const QWidget& w, Typed typed)
{
    for (const auto& [name, text] : typed)
        ui::type(box(w, name), text);
}
QRadioButton* option(const frmResponse& w, int i) { return ui::ctl<QRadioButton>(w, QStringLiteral("optTime_%1").arg(i)); }

// As the channel setup window opens it.
void openLimits(frmErrorHL& w, int channel)
{
    w.Channel = static_cast<std::int16_t>(channel);
    w.show();
    w.Load_existing();
}

} // namespace


TEST(FluidWindow, LiquidTableToTheLastDigitCustomFluidAndRefusedBoxes)
{
    ChannelSession cs;
    frmFluid& w = cs.win<frmFluid>();
    EXPECT_EQ(w.windowTitle(), "User Specified Fluid");
    struct Liquid {
        float vos, density, viscosity;
        QStringList shown; // txtVOS, txtDensity, txtDynVisc
    };
    const Liquid table[7] = {{1481.0f, 999.8f, 8.6e-7f, {"1481.00", "999.80", "0.86"}},
                             {1520.0f, 1010.0f, 1.83e-6f, {"1520.00", "1010.00", "1.83"}},
                             {1257.0f, 1000.0f, 1.46e-4f, {"1257.00", "1000.00", "146.00"}},
                             {1306.0f, 900.0f, 6.4e-6f, {"1306.00", "900.00", "6.40"}},
                             {1324.0f, 881.0f, 2.7e-6f, {"1324.00", "881.00", "2.70"}},
                             {1540.0f, 1000.0f, 1.78e-5f, {"1540.00", "1000.00", "17.80"}},
                             {1200.0f, 785.0f, 2.8e-6f, {"1200.00", "785.00", "2.80"}}};
    modData::ChannelRecord &a = cs.chan(0), &b = cs.chan(1);
    for (int row = 1; row <= 7; ++row) {
        const Liquid& l = table[row - 1];
        EXPECT_EQ(cs.s().TransducerDefault(6, row), l.vos) << row;
        EXPECT_EQ(cs.s().TransducerDefault(7, row), l.density) << row;
        EXPECT_EQ(cs.s().TransducerDefault(14, row), l.viscosity) << row;
        // Shown in the window and taken back to the single's last bit.
        b.FluidVOS.f = l.vos, b.FluidDensity.f = l.density, b.FluidViscosity.f = l.viscosity;
        const Image before = cs.encoded();
        w.Fill_Boxes(1);
        EXPECT_EQ(texts(w, {"txtVOS", "txtDensity", "txtDynVisc"}), l.shown);
        ui::click(w.imgBack);
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty()) << row;
    }

    Image before = cs.encoded();
    w.Fill_Boxes(0);
    type(w, {{"txtVOS", "1490.5"}, {"txtDensity", "950.25"}, {"txtDynVisc", "1"}});
    ui::click(w.imgBack);
    EXPECT_EQ(a.FluidVOS.f, 1490.5f);
    EXPECT_EQ(a.FluidDensity.f, 950.25f);
    EXPECT_EQ(a.FluidViscosity.f, 1e-6f);
    ExpectChangedCells(before, cs.encoded(), {&a.FluidVOS, &a.FluidDensity, &a.FluidViscosity});

    // No number, or a negative one: a message, nothing stored, the window stays open.
    before = cs.encoded();
    for (const auto& [name, text] : Typed{{"txtDensity", "kg"}, {"txtDynVisc", "-0.5"}}) {
        w.Fill_Boxes(0);
        type(w, {{"txtVOS", "1400"}, {name, text}});
        ui::click(w.imgBack);
        EXPECT_TRUE(w.isVisible()) << name;
    }
    ASSERT_EQ(cs.t.dialogs->asked.size(), 2);
    EXPECT_EQ(cs.t.dialogs->asked[0].title, "User Specified Fluid");
    EXPECT_TRUE(cs.t.dialogs->asked[0].text.startsWith("Density: \"kg\"")) << cs.t.dialogs->asked[0].text.toStdString();
    w.close();
    EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty());
}

TEST(ErrorLimitWindow, UnitRoundTripsKeepTheStoredVelocities)
{
    ChannelSession cs;
    frmErrorHL& w = cs.win<frmErrorHL>();
    EXPECT_EQ(w.windowTitle(), "Program Error Limits");
    modData::ChannelRecord& a = cs.chan(0);
    const Image factory = cs.encoded();
    // KRB41: through the 4.63 mm tube 12 m/s is 12.1 lpm.
    openLimits(w, 0);
    EXPECT_EQ(texts(w, {"txtMaxFlow", "txtMinFlow", "txtMinAS", "txtMinVOS", "txtMaxVOS", "txtErrPct"}),
              QStringList({"12.1", "-12.1", "40", "1000", "1700", "75"}));
    QComboBox* unit = ui::ctl<QComboBox>(w, "cmbUnitFlow");
    ui::pick(unit, "m^3/s");
    EXPECT_EQ(texts(w, {"txtMaxFlow", "txtMinFlow"}), QStringList({".0", "-.0"}));
    ui::pick(unit, "lpm");
    EXPECT_EQ(box(w, "txtMaxFlow")->text(), "12.1");
    ui::click(w.imgBack);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(ChangedBytes(factory, cs.encoded()).empty());
    // Back in m^3/s, where both limits show as nothing; the unit stays chosen for the next opening.
    ui::pick(unit, "m^3/s");
    ui::click(w.imgBack);
    EXPECT_TRUE(ChangedBytes(factory, cs.encoded()).empty());
    cs.chan(1).PipeID.f = 0.1f; // 12 m/s: .0942 m^3/s
    openLimits(w, 1);
    EXPECT_EQ(unit->currentText(), "m^3/s");
    EXPECT_EQ(texts(w, {"txtMaxFlow", "txtMinFlow"}), QStringList({".1", "-.1"}));

    // An edited flow is taken in the unit it was typed in, never from the rounded text shown
    // after a switch: 30 lpm through the small tube.
    const Image before = cs.encoded();
    openLimits(w, 0);
    ui::pick(unit, "lpm");
    ui::type(box(w, "txtMaxFlow"), "30");
    ui::pick(unit, "m^3/s");
    EXPECT_EQ(box(w, "txtMaxFlow")->text(), ".0");
    ui::click(w.imgBack);
    EXPECT_NEAR(a.MaxVel.f, 30.0 / 60000.0 / (0.00463 * 0.00463 * 0.785), 1e-3);
    ExpectChangedCells(before, cs.encoded(), {&a.MaxVel});
}

TEST(ErrorLimitWindow, StoredFormsRoundingAndRefusedInput)
{
    ChannelSession cs;
    frmErrorHL& w = cs.win<frmErrorHL>();
    modData::ChannelRecord &a = cs.chan(0), &b = cs.chan(1);
    // Minimum acoustic strength: (140 - typed) x 5, halves to even.
    for (const auto& [typed, stored] : {std::pair{"45", 475u}, {"45.1", 474u}, {"44.9", 476u}, {"140", 0u}}) {
        openLimits(w, 0);
        ui::type(box(w, "txtMinAS"), typed);
        ui::click(w.imgBack);
        EXPECT_EQ(a.MinSignal.u, stored) << typed;
    }
    Image before = cs.encoded();
    openLimits(w, 0);
    type(w, {{"txtMaxFlow", "20"}, {"txtMinFlow", "-5"}, {"txtMinAS", "0"}, {"txtMinVOS", "987.65"},
             {"txtMaxVOS", "2345.5"}, {"txtErrPct", "300"}});
    ui::click(w.imgBack);
    EXPECT_EQ(a.MinSignal.u, 700u);
    EXPECT_EQ(a.MinVOS.f, 987.65f);
    EXPECT_EQ(a.MaxErrPct.u, 300u);
    ExpectChangedCells(before, cs.encoded(), {&a.MaxVel, &a.MinVel, &a.MinSignal, &a.MinVOS, &a.MaxVOS, &a.MaxErrPct});

    // A negative or overflowing word, no number, an infinite flow: a message, nothing stored (not
    // even the valid box typed with it), the window open.
    before = cs.encoded();
    const Typed bad = {{"txtMinAS", "141"}, {"txtMinAS", "-7000"}, {"txtErrPct", "40000"},
                       {"txtErrPct", "-1"}, {"txtMinVOS", "abc"},  {"txtMaxFlow", "1e400"}};
    for (const auto& [name, text] : bad) {
        openLimits(w, 0);
        type(w, {{"txtMaxVOS", "1800"}, {name, text}});
        ui::click(w.imgBack);
        EXPECT_TRUE(w.isVisible()) << name << " " << text;
    }
    EXPECT_EQ(cs.t.dialogs->asked.size(), bad.size());
    EXPECT_EQ(cs.t.dialogs->asked[0].title, "Program Error Limits");
    EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty());

    // Words held above 32767 show negative: left as shown they are kept, without a message; a box
    // the user changes is taken alone.
    a.MinSignal.u = 40000;
    a.MaxErrPct.u = 40000;
    before = cs.encoded();
    openLimits(w, 0);
    ui::click(w.imgBack);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(cs.t.dialogs->asked.size(), bad.size());
    EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty());
    openLimits(w, 0);
    type(w, {{"txtErrPct", "80"}});
    ui::click(w.imgBack);
    EXPECT_EQ(a.MaxErrPct.u, 80u);
    ExpectChangedCells(before, cs.encoded(), {&a.MaxErrPct});

    // No pipe: the velocities stay as they are; a typed flow cannot be converted.
    b.PipeID.f = 0.0f;
    openLimits(w, 1);
    ui::type(box(w, "txtMinAS"), "45");
    ui::click(w.imgBack);
    EXPECT_EQ(b.MaxVel.f, 12.0f);
    EXPECT_EQ(b.MinVel.f, -12.0f);
    EXPECT_EQ(b.MinSignal.u, 475u);
    before = cs.encoded();
    openLimits(w, 1);
    type(w, {{"txtMaxFlow", "5"}, {"txtMinAS", "30"}});
    ui::click(w.imgBack);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(cs.t.dialogs->asked.last().text.contains("pipe inside diameter is 0"));
    w.close();
    EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty());
}

TEST(SignalWindow, StoredFormsAndRefusedInput)
{
    ChannelSession cs;
    frmSPinputs& w = cs.win<frmSPinputs>();
    EXPECT_EQ(w.windowTitle(), "Custom Signal Processing");
    modData::ChannelRecord& a = cs.chan(0);
    w.Channel = 0;
    w.LoadSP();
    QCheckBox* scope = ui::ctl<QCheckBox>(w, "optOscope");
    EXPECT_FALSE(scope->isChecked());
    EXPECT_EQ(texts(w, {"txtThresh", "txtOver", "txtCutoff", "txtPulseWidth", "txtPsize", "txtPload"}),
              QStringList({"60", "4", "0.015", "2", "15", "50"}));

    Image before = cs.encoded();
    ui::click(scope);
    type(w, {{"txtThresh", "61.5"}, {"txtOver", "2.5"}, {"txtCutoff", "0.02"}, {"txtPulseWidth", "4"},
             {"txtPsize", "20"}, {"txtPload", "32767"}});
    ui::click(w.imgBack);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(std::vector<std::uint32_t>({a.SigMode.u, a.Threshold.u, a.AntiJitter.u, a.PulseWidth.u,
                                          a.ParticleIndex.u, a.LoadingIndex.u}),
              std::vector<std::uint32_t>({64, 62, 2, 4, 20, 32767}));
    EXPECT_EQ(a.CutOff.f, 0.02f);
    ExpectChangedCells(before, cs.encoded(),
                       {&a.SigMode, &a.Threshold, &a.AntiJitter, &a.CutOff, &a.PulseWidth, &a.ParticleIndex, &a.LoadingIndex});

    before = cs.encoded();
    const Typed bad = {{"txtThresh", "256"}, {"txtPulseWidth", "-1"}, {"txtCutoff", "1e39"}, {"txtPsize", "abc"},
                       {"txtPload", "32768"}};
    for (const auto& [name, text] : bad) {
        w.LoadSP();
        ui::click(scope);
        ui::type(box(w, name), text);
        ui::click(w.imgBack);
        EXPECT_TRUE(w.isVisible()) << name;
    }
    EXPECT_EQ(cs.t.dialogs->asked.size(), bad.size());
    EXPECT_TRUE(cs.t.dialogs->asked.last().text.startsWith("Loading Index"));
    EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty());

    // Two refused boxes of one back: one message with a line for each, and both show the values
    // their cells keep again; a good box typed with them keeps its text.
    w.LoadSP();
    type(w, {{"txtThresh", "256"}, {"txtCutoff", "0.03"}, {"txtPload", "abc"}});
    ui::click(w.imgBack);
    ASSERT_EQ(cs.t.dialogs->asked.size(), bad.size() + 1);
    EXPECT_EQ(cs.t.dialogs->asked.last().text, "Threshold: \"256\" is outside the range 0 to 255.\n"
                                                "Loading Index: \"abc\" is not a number.\nThe old values are kept.");
    EXPECT_EQ(texts(w, {"txtThresh", "txtCutoff", "txtPload"}), QStringList({"62", "0.03", "32767"}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty());
}

TEST(ResponseWindow, CodesPerChannelWithOneAndTwoChannels)
{
    ChannelSession cs;
    frmConfig& menu = cs.win<frmConfig>();
    menu.show();
    modData::ChannelRecord &a = cs.chan(0), &b = cs.chan(1);
    frmResponse& w = cs.win<frmResponse>();
    QComboBox* chan = ui::ctl<QComboBox>(w, "cmbChann");
    ui::click(menu.ImgRespns);
    EXPECT_EQ(w.windowTitle(), "Respoonse Time");
    EXPECT_TRUE(w.isVisible() && chan->isVisible() && chan->isEnabled());
    EXPECT_TRUE(option(w, 0)->isChecked());
    // "Feed Back" on A, "30 Sec" on B; back on A its stored code shows and its choice stays.
    Image before = cs.encoded();
    ui::click(option(w, 1));
    ui::pick(chan, 1);
    EXPECT_TRUE(option(w, 0)->isChecked());
    ui::click(option(w, 5));
    ui::pick(chan, 0);
    EXPECT_TRUE(option(w, 0)->isChecked());
    ui::click(w.imgAccept);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(a.ResponseTime.u, 66u);
    EXPECT_EQ(b.ResponseTime.u, 50u);
    ExpectChangedCells(before, cs.encoded(), {&a.ResponseTime, &b.ResponseTime});

    // A's choice survives showing B with another stored code; B's unknown 7 shows "5 Sec", stored 40.
    a.ResponseTime.u = 99;
    b.ResponseTime.u = 7;
    ui::click(menu.ImgRespns);
    ui::click(option(w, 1));
    ui::pick(chan, 1);
    EXPECT_TRUE(option(w, 4)->isChecked());
    ui::pick(chan, 0);
    ui::click(w.imgAccept);
    EXPECT_EQ(a.ResponseTime.u, 66u);
    EXPECT_EQ(b.ResponseTime.u, 40u);

    // Cancel and the frame store nothing.
    before = cs.encoded();
    ui::click(menu.ImgRespns);
    ui::click(option(w, 6));
    ui::click(w.imgCancel);
    ui::click(menu.ImgRespns);
    ui::click(option(w, 2));
    w.close();
    EXPECT_TRUE(ChangedBytes(before, cs.encoded()).empty());

    // One channel: no channel list, only A changes; B keeps a code it would otherwise take as 40.
    cs.s().GlobalCells.NumberChan.u = 1;
    b.ResponseTime.u = 7;
    before = cs.encoded();
    ui::click(menu.ImgRespns);
    EXPECT_FALSE(chan->isVisible() || chan->isEnabled());
    ui::click(option(w, 3));
    ui::click(w.imgAccept);
    EXPECT_EQ(a.ResponseTime.u, 10u);
    ExpectChangedCells(before, cs.encoded(), {&a.ResponseTime});
}

