// Channel setup end to end: the image read from the meter simulator, edited through the windows
// (channel B's transducer and fluid with the global parameters; channel A's custom limits, custom
// fluid and response time), the image sent; the meter's saved image differs from its factory image
// exactly in the cells the edits own, and a site file stored afterwards recalls to the same windows.

#include "channel/frmErrorHL.h"
#include "channel/frmFluid.h"
#include "channel/frmPipe.h"
#include "channel/frmResponse.h"
#include "channel/frmXducer.h"
#include "meterdata/frmGlobal.h"
#include "support/channelsession.h"
#include "support/simread.h"

#include <QRadioButton>

using namespace testbytes;

TEST(ChannelSetupWithSimulator, EditsReachTheMeterInTheirOwnCellsAndASiteFileKeepsThem)
{
    SimRead m;
    ASSERT_NO_FATAL_FAILURE(m.read());
    Session& s = m.t.s();
    frmConfig& menu = m.menu();

    ui::click(menu.imgGlobal[1]);
    auto& g = s.windows().get<frmGlobal>();
    ui::type(g.txtGval[0], "PLANT 3");
    ui::pick(g.lstNumChan, 1);
    ui::click(g.imgConfirm);

    ui::click(menu.imgChannel[1]);
    auto& x = s.windows().get<frmXducer>();
    ui::pick(x.cmbChannel, "Chan B");
    ui::pick(x.cmbXducerType, "KRB58");
    auto& pipe = s.windows().get<frmPipe>();
    ASSERT_TRUE(pipe.isVisible());
    ui::click(pipe.imgBack);
    ui::pick(x.cmbFluid, "Diesel");
    ui::click(x.imgPush);

    ui::click(menu.imgSendSite[1]);
    const sim::Image factory = sim::FactoryImage();
    const QByteArray factoryFile = fileBytes(m.imageFile);
    ASSERT_TRUE(TestSession::waitFor([&] { return fileBytes(m.imageFile) != factoryFile; }, 5000))
        << m.meter->stop().toStdString();
    const QByteArray saved = fileBytes(m.imageFile).mid(3);
    ASSERT_EQ(saved.size(), 1452);
    const std::vector<std::uint8_t> meter(saved.begin(), saved.end());

    const modData::GlobalRecord& gl = s.GlobalCells;
    const modData::ChannelRecord& b = s.ChannelCells[1];
    const std::set<int> owned = CellBytes(
        {&gl.MeterName, &gl.NumberChan, &gl.Byte30, &gl.Byte44, &b.XducerType, &b.TubeGeometry, &b.MountType,
         &b.SinRefract, &b.WedgeSpeed, &b.XducerFreq, &b.XducerDelay, &b.PulseWidth, &b.ParticleIndex, &b.LoadingIndex,
         &b.SamplesPerCycle, &b.PathLength, &b.AxialLength, &b.PipeID, &b.WallThick, &b.Spacing, &b.Traverses,
         &b.WallSpeed, &b.FluidKind, &b.FluidDensity, &b.FluidViscosity, &b.FluidVOS});
    const std::set<int> changed = ChangedBytes(factory, meter);
    for (int offset : changed)
        EXPECT_TRUE(owned.count(offset)) << "image byte " << offset << " changed";
    for (const modData::ParameterCell* cell :
         {&gl.MeterName, &b.XducerType, &b.XducerFreq, &b.SamplesPerCycle, &b.XducerDelay, &b.PathLength, &b.PipeID,
          &b.Spacing, &b.FluidVOS, &b.FluidDensity, &b.FluidViscosity}) {
        const std::set<int> bytes = CellBytes({cell});
        EXPECT_TRUE(std::any_of(bytes.begin(), bytes.end(), [&](int o) { return changed.count(o) > 0; }))
            << "cell at " << cell->offset << " unchanged";
    }
    EXPECT_EQ(sim::DecodeChannel(factory, 0).XducerType.u, sim::DecodeChannel(meter, 0).XducerType.u);
    EXPECT_EQ(sim::ImageWord(meter, b.XducerType.offset), 4u);
    EXPECT_EQ(sim::ImageSingle(meter, b.FluidVOS.offset), 1324.0f);
    EXPECT_EQ(meter[static_cast<std::size_t>(gl.NumberChan.offset)], 2);

    // Stored, scrambled, recalled: the windows show the edits again.
    menu.show();
    m.t.dialogs->files = {m.dir.filePath("plant3.bin")};
    ui::click(menu.imgStore[1]);
    s.ChannelCells[1].XducerType.u = 1;
    s.GlobalCells.MeterName.text = "OTHER";
    m.t.dialogs->files = {m.dir.filePath("plant3.bin")};
    m.t.dialogs->answers = {DialogService::Answer::Yes}; // the scrambled cells are unsent edits: replace them
    ui::click(ui::ctl<PictureButton>(menu, "imgRecall_1"));
    ui::click(menu.imgChannel[1]);
    ui::pick(x.cmbChannel, "Chan B");
    EXPECT_EQ(x.cmbXducerType->currentText(), "KRB58");
    EXPECT_EQ(x.cmbFluid->currentText(), "Diesel");
    ui::click(x.imgCancel);
    g.close();
    ui::click(menu.imgGlobal[1]);
    EXPECT_EQ(g.txtGval[0]->text(), "PLANT 3");
    EXPECT_EQ(g.lstNumChan->currentRow(), 1);
    ASSERT_EQ(m.t.dialogs->asked.size(), 1) << m.t.dialogs->transcript().join('\n').toStdString();
    EXPECT_EQ(m.t.dialogs->asked[0].title, "Unsent Edits");
}

TEST(ChannelLimitsWithSimulator, EditsOnChannelAReachTheMeterAndNothingElse)
{
    SimRead m;
    ASSERT_NO_FATAL_FAILURE(m.read());
    Session& s = m.t.s();
    modData::ChannelRecord& a = s.ChannelCells[0];
    ui::click(m.menu().imgChannel[1]);
    auto& x = s.windows().get<frmXducer>();
    ui::pick(x.cmbErr_lim, "CUSTOM");
    frmErrorHL& limits = s.windows().get<frmErrorHL>();
    ASSERT_TRUE(limits.isVisible());
    for (const auto& [name, text] : {std::pair{"txtMaxFlow", "20"}, {"txtMinFlow", "-20"}, {"txtMinAS", "0"}})
        ui::type(ui::ctl<QLineEdit>(limits, name), text);
    ui::click(limits.imgBack);
    ui::pick(x.cmbFluid, "Other");
    frmFluid& fluid = s.windows().get<frmFluid>();
    ASSERT_TRUE(fluid.isVisible());
    for (const auto& [name, text] : {std::pair{"txtVOS", "1490.5"}, {"txtDensity", "950.25"}, {"txtDynVisc", "1.2"}})
        ui::type(ui::ctl<QLineEdit>(fluid, name), text);
    ui::click(fluid.imgBack);
    ui::click(x.imgPush);
    ui::click(m.menu().ImgRespns);
    frmResponse& response = s.windows().get<frmResponse>();
    ui::click(ui::ctl<QRadioButton>(response, "optTime_3"));
    ui::click(response.imgAccept);
    EXPECT_TRUE(m.t.dialogs->asked.isEmpty());

    ui::click(m.menu().findChild<PictureButton*>("imgSendSite_1"));
    sim::Image saved;
    ASSERT_TRUE(TestSession::waitFor(
        [&] {
            std::uint8_t model = 0, version = 0;
            std::string error;
            return sim::ReadSiteFile(m.imageFile.toStdString(), saved, model, version, error) && saved != sim::FactoryImage();
        },
        5000))
        << m.meter->stop().toStdString();
    const modData::ChannelRecord meterA = sim::DecodeChannel(saved, 0);
    EXPECT_EQ(meterA.ResponseTime.u, 10u);
    EXPECT_EQ(meterA.MinSignal.u, 700u);
    EXPECT_EQ(meterA.FluidVOS.f, 1490.5f);
    ExpectChangedCells(sim::FactoryImage(), saved,
                       {&a.MaxVel, &a.MinVel, &a.MinSignal, &a.FluidVOS, &a.FluidDensity, &a.FluidViscosity, &a.ResponseTime});
    ASSERT_NO_FATAL_FAILURE(m.waitForQuietLine());
}

