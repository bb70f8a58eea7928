// The configuration menu through its controls, on the in-memory port: locking, unlocking with the
// meter's identity and checksum, reload, back, and sending the edited image. (Send without a valid
// image: the recall tests.)

#include "meterdata/frmConfig.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <numeric>

using namespace testbytes;

namespace {

const QByteArray kReadRequest = qbytes(withCrc({17, 32, 0xEF, 0xCD, 0, 0}));

struct ConfigTest : ::testing::Test {
    TestSession t;
    frmConfig* cfg = nullptr;
    Bytes image = Bytes(1452);
    void SetUp() override
    {
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
        t.start().show();
        QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
        cfg = &t.s().windows().get<frmConfig>();
        ASSERT_NE(t.port, nullptr);
    }
    PictureButton* button(const QString& name) { return ui::ctl<PictureButton>(*cfg, name); }
    // Answers identification and then the read, 122 words a block (chunk mark, total words, n, 0, data).
    void answerSetup()
    {
        t.port->receive(qbytes(withCrc({17, 34, 0, 0, 1, 3, 0x39, 0x30})));
        for (int first = 0; first < 726; first += 122) {
            ASSERT_TRUE(TestSession::waitFor([&] { return t.link().RxCount == 0 && !t.link().tmrNull->isActive(); }, 3000));
            const int n = std::min(122, 726 - first);
            Bytes answer{17, 32, 0, static_cast<std::uint8_t>(first != 0), 0xD6, 0x02, static_cast<std::uint8_t>(n), 0};
            answer.insert(answer.end(), image.begin() + 2 * first, image.begin() + 2 * (first + n));
            t.port->receive(qbytes(withCrc(answer)));
            TestSession::pump(60);
        }
        // The meter has no more blocks for the request after the last one.
        ASSERT_TRUE(TestSession::waitFor([&] { return t.link().RxCount == 0 && !t.link().tmrNull->isActive(); }, 3000));
        t.port->receive(qbytes(withCrc({17, 37, 0, 0})));
        ASSERT_TRUE(TestSession::waitFor([&] { return !t.link().outstanding().open; }, 3000));
    }
};

} // namespace

TEST_F(ConfigTest, SetupLocksTheMenuThenUnlocksItWithIdentityAndChecksum)
{
    EXPECT_EQ(cfg->windowTitle(), "Electronics Setup");
    EXPECT_TRUE(cfg->isVisible());
    EXPECT_FALSE(t.start().isVisible());
    QTest::mouseClick(button("imgCKreload"), Qt::LeftButton);
    EXPECT_EQ(cfg->lblChecksum->text(), "ChkSum 0") << "the checksum of no image";
    const char* const setup[] = {"imgChannel_1", "imgGlobal_1", "imgCurent", "imgLogic", "imgZero", "imgCal", "ImgRespns"};
    for (bool unlocked : {false, true}) {
        SCOPED_TRACE(unlocked ? "after the read" : "before the read");
        EXPECT_EQ(button("imgStore_1")->isVisible(), unlocked);
        EXPECT_EQ(button("imgSendSite_1")->isVisible(), unlocked);
        for (const char* name : setup)
            EXPECT_EQ(button(name)->isEnabled(), unlocked) << name;
        for (const char* name : {"imgRecall_1", "imgReload", "imgCKreload", "imgBack"})
            EXPECT_TRUE(button(name)->isEnabled() && button(name)->isVisible()) << name;
        if (!unlocked)
            answerSetup();
    }
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_EQ(t.s().ImageLength, 1452);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), t.s().ParamImage.begin()));
    EXPECT_EQ(t.port->written().count(kReadRequest), 7) << "the request after the last block goes out too";
    const unsigned sum = std::accumulate(image.begin(), image.end(), 0u);
    EXPECT_EQ(cfg->lblModel->text(), "Model:     ARX4400LP");
    EXPECT_EQ(cfg->lblSoftVer->text(), "Version     V 3");
    EXPECT_EQ(cfg->lblSN->text(), "Serial No. FT 12345");
    EXPECT_EQ(cfg->lblChecksum->text(), "ChkSum " + QString::number(sum & 0x7FFF, 16).toUpper());
    // The cells were decoded from the image.
    EXPECT_EQ(t.s().GlobalCells.NodeAddr.u, image[20]);
    EXPECT_EQ(t.s().ChannelCells[1].XducerType.u, image[1068 + 2] + 256u * image[1068 + 3]);

    // A language switch keeps the unlocked state; reload hides store and send again.
    QTest::mouseClick(t.start().imgLang[2], Qt::LeftButton);
    EXPECT_TRUE(button("imgStore_2")->isVisible());
    EXPECT_FALSE(button("imgStore_1")->isVisible());
    QTest::mouseClick(button("imgReload"), Qt::LeftButton);
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_FALSE(button("imgStore_2")->isVisible());
    EXPECT_FALSE(button("imgSendSite_2")->isVisible());
    EXPECT_TRUE(button("imgChannel_2")->isEnabled()) << "reload keeps the setup buttons as they were";
    EXPECT_EQ(t.port->written().right(8), kReadRequest);

    // Back and closing return to the start window; neither ends the program.
    QTest::mouseClick(button("imgBack"), Qt::LeftButton);
    EXPECT_FALSE(cfg->isVisible());
    EXPECT_TRUE(t.start().isVisible());
    t.start().hide();
    cfg->show();
    cfg->close();
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_FALSE(cfg->isVisible());
    EXPECT_EQ(t.ended, 0);
}

TEST_F(ConfigTest, SendWritesTheEditedImageInBlocks)
{
    answerSetup();
    ASSERT_EQ(t.s().ImageValid, 1);
    t.s().GlobalCells.MeterName.text = "AB";
    t.port->writes.clear();
    QTest::mouseClick(button("imgSendSite_1"), Qt::LeftButton);
    EXPECT_TRUE(t.start().isVisible());
    const std::uint8_t* sent = t.s().ParamImage.data();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(sent), 4), "AB  ") << "the cells encoded first";
    QList<Session::WriteOutcome> ended;
    QObject::connect(&t.s(), &Session::imageWriteEnded, [&](Session::WriteOutcome o, int) { ended << o; });
    // Frame k: node, 33, access code, n words from word 56 k, block flag, the bytes, 0, 0, CRC. 12
    // blocks of 56 words, then 54 with flag 2, which the meter confirms with 37 (an acknowledgement
    // with 33 cannot answer the last block).
    for (int k = 0; k <= 12; ++k) {
        SCOPED_TRACE(k);
        const int n = k < 12 ? 56 : 54, flag = k == 0 ? 0 : n < 56 ? 2 : 1;
        Bytes frame{17, 33, 0xEF, 0xCD, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(flag)};
        frame.insert(frame.end(), sent + 112 * k, sent + 112 * k + 2 * n);
        frame.insert(frame.end(), {0, 0});
        ASSERT_TRUE(TestSession::waitFor([&] { return !t.port->writes.isEmpty(); }, 3000));
        EXPECT_EQ(t.port->written(), qbytes(withCrc(frame)));
        t.port->writes.clear();
        t.port->receive(qbytes(withCrc({17, 33, 0, 0})));
    }
    TestSession::pump(80);
    EXPECT_TRUE(t.port->writes.isEmpty());
    EXPECT_TRUE(t.link().outstanding().open);
    t.port->receive(qbytes(withCrc({17, 37, 0, 0})));
    ASSERT_TRUE(TestSession::waitFor([&] { return !ended.isEmpty(); }, 3000));
    EXPECT_EQ(ended, QList<Session::WriteOutcome>{Session::WriteOutcome::Confirmed});
    EXPECT_TRUE(t.port->writes.isEmpty());
}
