// The pipe, spool and special-transducer windows through their controls: what they show, the
// spacing CALC works out, the cells each way out stores and the window it leads to.

#include "channel/frmPipe.h"
#include "channel/frmSPXdcr.h"
#include "channel/frmSpool.h"
#include "channel/frmXducer.h"
#include "channel/spacing.h"
#include "platform/vbtext.h"
#include "support/channelsession.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace {

struct Geometry : ::testing::Test {
    ChannelSession cs;
    std::vector<std::uint8_t> before = cs.encoded();

    std::set<int> changed() { return ChangedBytes(before, cs.encoded()); }
    // Every changed byte lies in one of these cells, and each of them changed.
    void expectStored(std::initializer_list<const modData::ParameterCell*> cells)
    {
        ExpectChangedCells(before, cs.encoded(), cells);
    }
    frmXducer& hub() { return cs.win<frmXducer>(); }
    // `times` message boxes since the last call, each starting with prefix.
    ::testing::AssertionResult told(const QString& prefix, int times = 1)
    {
        const QStringList told = cs.t.dialogs->transcript();
        cs.t.dialogs->asked.clear();
        if (told.size() == times && told.filter(QRegularExpression("^" + QRegularExpression::escape(prefix))) == told)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << told.join(" | ").toStdString();
    }
    template <class W>
    W& open(int channel)
    {
        hub().show();
        W& w = cs.win<W>();
        w.Channel = static_cast<std::int16_t>(channel);
        w.Set_Form();
        return w;
    }
    frmPipe& openPipe(int channel, int material)
    {
        cs.win<frmPipe>().MaterialIndex = static_cast<std::int16_t>(material);
        return open<frmPipe>(channel);
    }
};

QString q(const char* s) { return QString::fromLatin1(s); }
QLineEdit* box(const QWidget& w, const char* name) { return ui::ctl<QLineEdit>(w, q(name)); }
QString shown(const QWidget& w, const char* name) { return box(w, name)->text(); }
QStringList shown(const QWidget& w, std::initializer_list<const char*> names)
{
    QStringList l;
    for (const char* n : names)
        l << shown(w, n);
    return l;
}
void type(const QWidget& w, const char* name, const char* text) { ui::type(box(w, name), q(text)); }
void type(const QWidget& w, std::initializer_list<std::pair<const char*, const char*>> texts)
{
    for (const auto& [name, text] : texts)
        type(w, name, text);
}
void click(const QWidget& w, const char* name) { ui::click(ui::ctl<QAbstractButton>(w, q(name))); }
void pick(const QWidget& w, const char* name, const char* item) { ui::pick(ui::ctl<QComboBox>(w, q(name)), q(item)); }
QString picked(const QWidget& w, const char* name) { return ui::ctl<QComboBox>(w, q(name))->currentText(); }
int border(const QWidget& w, const char* name) { return ui::ctl<QWidget>(w, q(name))->property("BorderStyle").toInt(); }

} // namespace

TEST(SpacingMaths, SnellSpacingAnglesAndUnitScale)
{
    spacing::PipeGeometry g{0.1, 0.005, 3225.0f, 0.866f, 2550.0f, 1700.0f, 1};
    auto mm = [&] { return vbtext::Format(spacing::TransducerSpacing(g).metres / 0.001, "##0.00"); };
    EXPECT_EQ(mm(), "83.64") << "the wall angle has no solution: tangent 2, wall part 20 mm";
    g.traverses = 2;
    EXPECT_EQ(mm(), "147.27");
    g.wallSpeed = 0.0f;
    EXPECT_EQ(mm(), "127.27") << "no wall speed, no wall part";
    g.fluidSpeed = 3000.0f;
    EXPECT_EQ(spacing::TransducerSpacing(g).fault, spacing::Fault::NoFluidRefraction);
    g.wedgeSpeed = 0.0f;
    EXPECT_EQ(spacing::TransducerSpacing(g).fault, spacing::Fault::NoWedgeSpeed);

    EXPECT_EQ(spacing::SinRefract(60.0), static_cast<float>(std::sin(60.0 * 3.1415 / 180.0)));
    EXPECT_EQ(vbtext::Format(spacing::WedgeAngle(spacing::SinRefract(60.0)), "##.00"), "60.00");
    EXPECT_EQ(std::tuple(spacing::WedgeAngle(1.0f), spacing::WedgeAngle(1.5f), spacing::WedgeAngle(-1.0f)),
              std::tuple(90.0, 90.0, -90.0));
    EXPECT_EQ(spacing::MetresPerUnit(0.0254f), 0.0254);
}

TEST_F(Geometry, PipeWindowShowsTheTubeCalculatesTheSpacingAndStoresItsBoxes)
{
    frmPipe& p = openPipe(1, 8); // KRB17 on channel B
    EXPECT_EQ(p.windowTitle(), "Pipe Properties");
    EXPECT_TRUE(p.isVisible() && !hub().isVisible());
    EXPECT_EQ(shown(p, {"txtOD", "txtWall", "txtSpace"}), QStringList({"9.52", "1.6", "6.998"}));
    EXPECT_EQ(picked(p, "cmbMaterial"), "PFA");
    EXPECT_EQ(std::pair(picked(p, "cmbUnit"), ui::ctl<QComboBox>(p, "cmbUnit")->count()), std::pair(QString("mm"), 4));
    EXPECT_EQ(ui::ctl<QPushButton>(p, "cmdCalcSpace")->text(), "CALC");
    EXPECT_EQ(std::pair(border(p, "img1Trav"), border(p, "img2Trav")), std::pair(1, 0));
    click(p, "imgBack");
    EXPECT_EQ(changed(), std::set<int>()) << "an unedited back stores the same values";
    EXPECT_TRUE(!p.isVisible() && hub().isVisible());

    cs.chan(0).PipeID.f = 0.01268f; // LS86
    cs.chan(0).WallThick.f = 0.0016f;
    openPipe(0, 1);
    EXPECT_EQ(shown(p, {"txtOD", "txtWall"}), QStringList({"15.88", "1.6"}));
    EXPECT_EQ(picked(p, "cmbMaterial"), "Stainless Steel");

    before = cs.encoded();
    type(p, {{"txtOD", "100"}, {"txtWall", "5"}});
    pick(p, "cmbMaterial", "Carbon Steel");
    click(p, "cmdCalcSpace");
    EXPECT_EQ(shown(p, "txtSpace"), "83.64");
    click(p, "img2Trav");
    EXPECT_EQ(std::pair(border(p, "img1Trav"), border(p, "img2Trav")), std::pair(0, 1));
    click(p, "cmdCalcSpace");
    EXPECT_EQ(shown(p, "txtSpace"), "147.27");
    pick(p, "cmbMaterial", "Other");
    click(p, "cmdCalcSpace");
    EXPECT_EQ(shown(p, "txtSpace"), "127.27");
    EXPECT_EQ(changed(), std::set<int>()) << "nothing is stored before back";
    click(p, "imgBack");
    const auto& c = cs.chan(0);
    expectStored({&c.PipeID, &c.WallThick, &c.WallSpeed, &c.Spacing, &c.Traverses});
    EXPECT_EQ(std::tuple(c.PipeID.f, c.WallThick.f, c.WallSpeed.f, c.Spacing.f, c.Traverses.u),
              std::tuple(0.09f, 0.005f, 0.0f, 0.12727f, 2u));
}

TEST_F(Geometry, PipeUnitsRefusedBoxesUnsolvableSpacingAndFrameClose)
{
    frmPipe& p = openPipe(0, 8);
    type(p, "txtOD", "25.4");
    pick(p, "cmbUnit", "inch");
    EXPECT_EQ(shown(p, {"txtOD", "txtWall", "txtSpace"}), QStringList({"1.000", "0.0315", "0.200"})); // 0.8, 5.08 mm

    for (auto [name, text, field] : {std::tuple{"txtWall", "abc", "Wall thickness"}, {"txtOD", "-3", "Outside diameter"},
                                     {"txtWall", "3.2", "Wall thickness"}, {"txtSpace", "-1", "Spacing"}}) {
        openPipe(0, 8);
        type(p, name, text);
        click(p, "imgBack");
        EXPECT_TRUE(told(QStringLiteral("Pipe Properties: %1: ").arg(field)));
        EXPECT_TRUE(p.isVisible());
        EXPECT_EQ(changed(), std::set<int>()) << text;
    }

    openPipe(0, 8);
    for (auto [wedge, maxVos] : {std::pair{0.0f, 1700.0f}, std::pair{2550.0f, 3000.0f}}) {
        cs.chan(0).WedgeSpeed.f = wedge;
        cs.chan(0).MaxVOS.f = maxVos;
        before = cs.encoded();
        click(p, "cmdCalcSpace");
        EXPECT_TRUE(told("Pipe Properties: The spacing cannot be calculated: "));
        EXPECT_EQ(shown(p, "txtSpace"), "5.08");
        EXPECT_EQ(changed(), std::set<int>());
    }

    type(p, "txtOD", "50");
    click(p, "img2Trav");
    p.close();
    EXPECT_EQ(changed(), std::set<int>()) << "closing by the frame stores nothing";
    EXPECT_TRUE(hub().isVisible());
}

TEST_F(Geometry, SpoolWindowShowsAndStoresItsThreeLengths)
{
    frmSpool& s = open<frmSpool>(0); // KRB41 tube: 4.63 mm bore
    EXPECT_EQ(s.windowTitle(), "Insertion Meter");
    EXPECT_FALSE(hub().isVisible());
    EXPECT_EQ(shown(s, {"txtID", "txtPath", "txtAxial"}), QStringList({"4.630", "5.174", "2.020"}));
    pick(s, "cmbUnit", "inch");
    EXPECT_EQ(shown(s, "txtID"), ".182");
    type(s, "txtPath", "-1");
    click(s, "imgBack");
    EXPECT_TRUE(told("Insertion Meter: Path length: "));
    EXPECT_TRUE(s.isVisible());
    s.close();
    EXPECT_EQ(changed(), std::set<int>());
    EXPECT_TRUE(!s.isVisible() && hub().isVisible());

    open<frmSpool>(0);
    click(s, "imgBack");
    EXPECT_EQ(changed(), std::set<int>()) << "an unedited back stores the same values";
    open<frmSpool>(0);
    type(s, {{"txtID", "50"}, {"txtPath", "60"}, {"txtAxial", "30"}});
    click(s, "imgBack");
    const auto& c = cs.chan(0);
    expectStored({&c.PathLength, &c.AxialLength, &c.PipeID});
    EXPECT_EQ(std::tuple(c.PipeID.f, c.PathLength.f, c.AxialLength.f), std::tuple(0.05f, 0.06f, 0.03f));
    EXPECT_TRUE(!s.isVisible() && hub().isVisible());
}

TEST_F(Geometry, SpecialTransducerStoresItsValuesAndOpensTheGeometryWindow)
{
    frmSPXdcr& x = open<frmSPXdcr>(0);
    EXPECT_EQ(x.windowTitle(), "Special Transducer");
    EXPECT_FALSE(hub().isVisible());
    EXPECT_EQ(picked(x, "cmbFreq"), "    4 MHz");
    EXPECT_TRUE(ui::ctl<QRadioButton>(x, "optclamp")->isChecked());
    EXPECT_EQ(shown(x, {"txtWangle", "txtWSpeed", "txtwdelay"}), QStringList({"60.00", "2550.0", "5.40"}));
    type(x, {{"txtWangle", "60"}, {"txtwdelay", "6.5"}, {"txtWSpeed", "2400"}});
    pick(x, "cmbFreq", "  90 kHz");
    click(x, "optInsertion");
    EXPECT_FALSE(box(x, "txtWangle")->isVisible());
    EXPECT_FALSE(ui::ctl<QWidget>(x, "lblWSunit")->isVisible());
    click(x, "imgBack");
    const auto& c = cs.chan(0);
    expectStored({&c.MountType, &c.TubeGeometry, &c.XducerFreq, &c.SinRefract, &c.WedgeSpeed, &c.SamplesPerCycle,
                  &c.XducerDelay});
    EXPECT_EQ(c.SinRefract.f, static_cast<float>(std::sin(60.0 * 3.1415 / 180.0)));
    EXPECT_EQ(std::pair(c.XducerFreq.u, c.SamplesPerCycle.u), std::pair(80u, 24u));
    EXPECT_EQ(std::pair(c.XducerDelay.f, c.WedgeSpeed.f), std::pair(6.5e-6f, 2400.0f));
    EXPECT_TRUE(!x.isVisible() && cs.win<frmSpool>().isVisible());
    cs.win<frmSpool>().close();
    cs.chan(0).XducerFreq.u = 90;
    open<frmSPXdcr>(0);
    EXPECT_EQ(shown(x, "txtWangle"), "60.00");
    EXPECT_EQ(picked(x, "cmbFreq"), "    1 MHz ");
    EXPECT_FALSE(box(x, "txtWSpeed")->isVisible());
    click(x, "optclamp");
    EXPECT_EQ(c.MountType.u, 1u) << "the mounting is stored at once";
    EXPECT_TRUE(box(x, "txtWSpeed")->isVisible());
    pick(x, "cmbFreq", "    2 MHz");
    cs.win<frmPipe>().MaterialIndex = 5;
    x.close(); // the frame does what back does
    EXPECT_EQ(std::pair(c.XducerFreq.u, c.SamplesPerCycle.u), std::pair(2000u, 24u));
    EXPECT_TRUE(cs.win<frmPipe>().isVisible() && !cs.win<frmSpool>().isVisible() && !x.isVisible());
    EXPECT_EQ(picked(cs.win<frmPipe>(), "cmbMaterial"), "PVC/CPVC") << "the pipe window keeps its material";

    cs.chan(0).XducerFreq.u = 4000; // with the 12 samples a cycle it keeps
    cs.chan(0).SamplesPerCycle.u = 12;
    for (auto [sine, angle] : {std::pair{0.866f, "60.00"}, std::pair{1.0f, "90.00"}, std::pair{-1.0f, "-90.00"}}) {
        cs.chan(0).SinRefract.f = sine;
        before = cs.encoded();
        open<frmSPXdcr>(0);
        EXPECT_EQ(shown(x, "txtWangle"), angle);
        click(x, "imgBack");
        EXPECT_EQ(changed(), std::set<int>()) << angle;
    }

    for (auto [name, text, field] :
         {std::tuple{"txtWSpeed", "0", "Speed"}, {"txtwdelay", "-1", "Delay"}, {"txtWangle", "x", "Angle"}}) {
        open<frmSPXdcr>(0);
        const QString kept = shown(x, name);
        type(x, name, text);
        pick(x, "cmbFreq", "    2 MHz");
        click(x, "imgBack");
        EXPECT_EQ(shown(x, name), kept) << "the refused text stays on screen";
        type(x, name, text);
        x.close(); // the frame cannot close it either
        EXPECT_TRUE(x.isVisible());
        EXPECT_TRUE(told(QStringLiteral("Special Transducer: %1: ").arg(field), 2));
        EXPECT_EQ(changed(), std::set<int>()) << name;
    }
}

