// Site files and the audit sheet against the meter simulator: the image read from the meter is
// stored, printed, recalled and sent back; a damaged file is shown but never reaches the meter.

#include "meterdata/frmConfig.h"
#include "sitetest.h"
#include "support/fakesession.h"
#include "support/simprocess.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace sitetest;

namespace {

// Waits until the link has no request in flight, then lets the line go quiet.
void waitForQuietLine(TestSession& t)
{
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.link().tmrTimeOut->isActive(); }, 3000));
    TestSession::pump(60);
}

QByteArray savedImage(const QString& path)
{
    sim::Image image;
    std::uint8_t model = 0;
    std::uint8_t version = 0;
    std::string error;
    if (!sim::ReadSiteFile(path.toStdString(), image, model, version, error))
        return {};
    return imageBytes(image);
}

} // namespace

TEST(SiteFilesWithSimulator, StorePrintRecallAndSendBackThenADamagedFileSendsNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The meter keeps its image in a site file of its own and saves every image it is sent.
    const QString meterFile = dir.filePath("meter-image.bin");
    const QByteArray factory = imageBytes(sim::FactoryImage());
    ASSERT_TRUE(writeFile(meterFile, factorySiteFile(1, 3)));
    SimProcess meter({"--baud", "115200", "--image", meterFile, "--save"});
    ASSERT_TRUE(meter.ok());

    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", meter.device());
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    frmConfig& cfg = t.s().windows().get<frmConfig>();
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().ImageValid == 1; }, 10000))
        << t.dialogs->transcript().join('\n').toStdString();
    waitForQuietLine(t);
    auto* store = cfg.findChild<PictureButton*>("imgStore_1");
    auto* recall = cfg.findChild<PictureButton*>("imgRecall_1");
    ASSERT_TRUE(store && recall);
    ASSERT_TRUE(store->isVisible());

    // Store: the meter's image behind model 1, version 3 and the byte checksum, exactly as the
    // simulator writes a site file of the same image.
    t.dialogs->files = {dir.filePath("site")};
    QTest::mouseClick(store, Qt::LeftButton);
    const QByteArray stored = fileBytes(dir.filePath("site.bin"));
    ASSERT_EQ(stored.size(), 1455);
    std::string error;
    ASSERT_TRUE(sim::WriteSiteFile(dir.filePath("sim-written.bin").toStdString(), sim::FactoryImage(), 1, 3, error));
    EXPECT_EQ(stored, fileBytes(dir.filePath("sim-written.bin")));

    // Print: the hand-written sheet of the factory image, with the identified meter's labels.
    t.dialogs->files = {dir.filePath("audit")};
    QTest::mouseClick(cfg.findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    EXPECT_EQ(fileBytes(dir.filePath("audit.txt")), expectedFactorySheet());

    // An edited configuration stored to a second file.
    t.s().ChannelCells[1].CalFactor.f = 1.25f;
    t.s().GlobalCells.MeterName.text = "SITE 42";
    t.dialogs->files = {dir.filePath("edited.bin")};
    QTest::mouseClick(store, Qt::LeftButton);
    const QByteArray edited = fileBytes(dir.filePath("edited.bin"));
    ASSERT_EQ(edited.size(), 1455);

    // Recall the first file over a spoiled image: the identical 1452 bytes, sendable.
    std::fill(t.s().ParamImage.begin(), t.s().ParamImage.end(), std::uint8_t{0x5A});
    t.dialogs->files = {dir.filePath("site.bin")};
    QTest::mouseClick(recall, Qt::LeftButton);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(t.s().ParamImage.data()), 1452), factory);
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "ZAV METER ");

    // Recall the edited file and send it: the meter now holds exactly the file's image.
    t.dialogs->files = {dir.filePath("edited.bin")};
    QTest::mouseClick(recall, Qt::LeftButton);
    ASSERT_EQ(t.s().ImageValid, 1);
    auto* send = cfg.findChild<PictureButton*>("imgSendSite_1");
    ASSERT_TRUE(send && send->isVisible());
    QTest::mouseClick(send, Qt::LeftButton);
    EXPECT_TRUE(t.start().isVisible());
    ASSERT_TRUE(TestSession::waitFor([&] { return savedImage(meterFile) == edited.mid(3); }, 5000))
        << meter.stop().toStdString();
    EXPECT_EQ(sim::ImageSingle(sim::Image(edited.begin() + 3, edited.end()), 1068 + 76), 1.25f);
    waitForQuietLine(t);

    // A copy with its checksum byte off by one: shown, not offered, and nothing reaches the meter.
    QByteArray damaged = factorySiteFile(1, 3);
    damaged[2] = static_cast<char>(damaged[2] + 1);
    ASSERT_TRUE(writeFile(dir.filePath("damaged.bin"), damaged));
    cfg.show();
    t.dialogs->files = {dir.filePath("damaged.bin")};
    QTest::mouseClick(recall, Qt::LeftButton);
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "ZAV METER ") << "decoded and shown";
    EXPECT_FALSE(send->isVisible());
    cfg.imgSendSite_Click();
    TestSession::pump(500);
    EXPECT_EQ(savedImage(meterFile), edited.mid(3)) << "the meter keeps the image sent before";
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
    const QString summary = meter.stop();
    EXPECT_TRUE(summary.contains(" 33:13 ")) << "one write of 13 blocks, no more: " << summary.toStdString();
    EXPECT_TRUE(summary.contains("ignored 0;")) << summary.toStdString();
}
