// Meter setup end to end against the meter simulator over its pseudo-terminal: identification,
// the whole image read in blocks, the unlocked menu, and the edited image written back.

#include "meterdata/frmConfig.h"
#include "meterdata/modBinaryRW.h"
#include "support/fakesession.h"
#include "support/pty.h"
#include "support/simprocess.h"

#include "imagefile.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString readTail(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll().right(3000));
}

void setupReadAndSendBack(int chunkWords, int readTimeoutMs)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("meter.bin").toStdString();
    const sim::Image factory = sim::FactoryImage();
    std::string error;
    ASSERT_TRUE(sim::WriteSiteFile(path, factory, 1, 3, error)) << error;

    const QString log = dir.filePath("meter.log");
    SimProcess meter({"--chunk-words", QString::number(chunkWords), "--baud", "115200", "--image",
                      QString::fromStdString(path), "--save", "--log", log});
    ASSERT_TRUE(meter.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", meter.device());
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    frmConfig& cfg = t.s().windows().get<frmConfig>();
    EXPECT_TRUE(cfg.isVisible());

    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().ImageValid == 1; }, readTimeoutMs))
        << "image bytes read: " << t.s().ImageLength << "\n"
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_TRUE(std::equal(factory.begin(), factory.end(), t.s().ParamImage.begin()));
    unsigned sum = 0;
    for (std::uint8_t b : factory)
        sum += b;
    EXPECT_EQ(cfg.lblModel->text(), "Model:     ARX4400LP");
    EXPECT_EQ(cfg.lblSoftVer->text(), "Version     V 3");
    EXPECT_EQ(cfg.lblSN->text(), "Serial No. FT 12345");
    EXPECT_EQ(cfg.lblChecksum->text(), "ChkSum " + QString::number(sum & 0x7FFF, 16).toUpper());
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "ZAV METER ");
    EXPECT_EQ(t.s().GlobalCells.NumberChan.u, 2u);
    EXPECT_EQ(t.s().ChannelCells[0].XducerType.u, 1u);
    EXPECT_FLOAT_EQ(t.s().ChannelCells[0].FluidVOS.f, 1481.0f);
    EXPECT_EQ(t.s().OfflineMode, 0);

    // The read request after the last block is answered too (transfer done); a send clicked
    // while that answer is on the line would merge with it, so wait for the line to go quiet.
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.link().tmrTimeOut->isActive(); }, 3000));
    TestSession::pump(60);

    // Edit two cells and send: the meter's image becomes the tool's, byte for byte.
    t.s().GlobalCells.MeterName.text = "BENCH 7";
    t.s().ChannelCells[1].CalFactor.f = 1.25f;
    cfg.imgSendSite_Click();
    EXPECT_TRUE(t.start().isVisible());
    sim::Image saved;
    std::uint8_t model = 0;
    std::uint8_t version = 0;
    ASSERT_TRUE(TestSession::waitFor(
        [&] { return sim::ReadSiteFile(path, saved, model, version, error) && saved != factory; }, 5000))
        << error << "\n" << meter.stop().toStdString() << readTail(log).toStdString();
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), t.s().ParamImage.begin()));
    EXPECT_EQ(sim::ImageSingle(saved, 1068 + 76), 1.25f);
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
    const QString summary = meter.stop();
    EXPECT_TRUE(summary.contains("33:13")) << summary.toStdString();
}

} // namespace

TEST(SetupWithSimulator, BlocksOf56Words) { setupReadAndSendBack(56, 10000); }
TEST(SetupWithSimulator, BlocksOf122Words) { setupReadAndSendBack(122, 10000); }
// 726 blocks, each closed by 50 ms of silence: about 45 s.
TEST(SetupWithSimulator, BlocksOf1Word) { setupReadAndSendBack(1, 90000); }

TEST(SetupWithSilentMeter, TimeOutDuringTheReadAndYesLeavesTheMenuOffline)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", pty.slavePath());
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    ASSERT_EQ(pty.read(8, 1000).size(), 8);
    const auto id = modComFun::AnswerFrame(17, modComFun::Identify, {0, 0, 1, 3, 0x39, 0x30});
    pty.write(QByteArray(reinterpret_cast<const char*>(id.data()), static_cast<qsizetype>(id.size())));
    ASSERT_EQ(pty.read(8, 1000).size(), 8) << "no read request after identification";
    std::vector<std::uint8_t> first{0, 0, 0xD6, 0x02, 4, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    const auto block = modComFun::AnswerFrame(17, modComFun::ReadImage, first);
    pty.write(QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size())));
    ASSERT_EQ(pty.read(8, 1000).size(), 8) << "no request for the second block";
    // The meter falls silent.
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 4000));
    EXPECT_EQ(t.dialogs->asked[0].text, "Work Offline?");
    EXPECT_EQ(t.dialogs->asked[0].title, "Communication Failed");
    frmConfig& cfg = t.s().windows().get<frmConfig>();
    EXPECT_TRUE(cfg.isVisible());
    EXPECT_EQ(t.s().OfflineMode, 6);
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_EQ(t.s().ImageLength, 8);
    EXPECT_FALSE(cfg.findChild<PictureButton*>("imgSendSite_1")->isVisible());
}
