// Site files against the meter simulator: the image read from the meter (blocks of 122 words,
// answers of 254 bytes, the most the receive buffer takes) is stored exactly as the meter keeps
// it, and an edited file, recalled, is sent back whole.

#include "sitetest.h"
#include "support/simread.h"

using namespace sitetest;

TEST(SiteFilesWithSimulator, StoreRecallAndSendBack)
{
    SimRead m;
    ASSERT_NO_FATAL_FAILURE(m.read());
    frmConfig& cfg = m.menu();
    auto click = [&](const char* name, const QString& file = {}) {
        m.t.dialogs->files = {file};
        QTest::mouseClick(cfg.findChild<PictureButton*>(name), Qt::LeftButton);
    };

    // Store: the meter's image behind model 1, version 3 and the byte checksum, the very bytes of
    // the meter's own site file, and of the one written here.
    click("imgStore_1", m.dir.filePath("site"));
    EXPECT_EQ(fileBytes(m.dir.filePath("site.bin")), fileBytes(m.imageFile));
    EXPECT_EQ(fileBytes(m.dir.filePath("site.bin")), factorySiteFile(1, 3));

    // An edited configuration stored to a second file, recalled and sent: the meter then holds
    // exactly the file's image.
    m.t.s().ChannelCells[1].CalFactor.f = 1.25f;
    m.t.s().GlobalCells.MeterName.text = "SITE 42";
    click("imgStore_1", m.dir.filePath("edited.bin"));
    const QByteArray edited = fileBytes(m.dir.filePath("edited.bin"));
    ASSERT_EQ(edited.size(), 1455);
    EXPECT_EQ(edited.mid(3 + 1068 + 76, 4), qbytes(floatBytes(1.25f)));
    std::fill(m.t.s().ParamImage.begin(), m.t.s().ParamImage.end(), std::uint8_t{0x5A});
    click("imgRecall_1", m.dir.filePath("edited.bin"));
    ASSERT_EQ(m.t.s().ImageValid, 1);
    click("imgSendSite_1");
    EXPECT_TRUE(m.t.start().isVisible());
    ASSERT_TRUE(TestSession::waitFor([&] { return fileBytes(m.imageFile) == edited; }, 5000))
        << m.meter->stop().toStdString();
    EXPECT_TRUE(m.t.dialogs->asked.isEmpty()) << m.t.dialogs->transcript().join('\n').toStdString();
    ASSERT_NO_FATAL_FAILURE(m.waitForQuietLine());
    const QString summary = m.meter->stop();
    EXPECT_TRUE(summary.contains(" 33:13 ")) << "one write of 13 blocks: " << summary.toStdString();
    EXPECT_TRUE(summary.contains("ignored 0;")) << summary.toStdString();
}
