// The configuration menu through its controls, on the in-memory port: locking, unlocking with the
// meter's identity and checksum, reload, checksum, send and back.

#include "link/modComFun.h"
#include "meterdata/frmConfig.h"
#include "meterdata/modBinaryRW.h"
#include "support/fakesession.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray qbytes(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

PictureButton* button(QWidget& w, const QString& name)
{
    auto* b = w.findChild<PictureButton*>(name);
    EXPECT_NE(b, nullptr) << name.toStdString();
    return b;
}

// A read answer: chunk mark, total words, n words from `image` starting at word `first`.
QByteArray readAnswer(const std::vector<std::uint8_t>& image, int first, int n, int total)
{
    std::vector<std::uint8_t> payload{0, static_cast<std::uint8_t>(first == 0 ? 0 : 1),
                                      static_cast<std::uint8_t>(total & 0xFF), static_cast<std::uint8_t>(total >> 8),
                                      static_cast<std::uint8_t>(n), 0};
    payload.insert(payload.end(), image.begin() + 2 * first, image.begin() + 2 * (first + n));
    return qbytes(modComFun::AnswerFrame(17, modComFun::ReadImage, payload));
}

struct ConfigTest : ::testing::Test {
    TestSession t;
    frmConfig* cfg = nullptr;
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(1452);
    void SetUp() override
    {
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
        t.start().show();
        QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
        cfg = &t.s().windows().get<frmConfig>();
        ASSERT_NE(t.port, nullptr);
    }
    // Answers identification and then the read, 122 words a block.
    void answerSetup(std::uint8_t model = 1)
    {
        t.port->receive(qbytes(modComFun::AnswerFrame(17, modComFun::Identify, {0, 0, model, 3, 0x39, 0x30})));
        for (int first = 0; first < 726; first += 122) {
            ASSERT_TRUE(TestSession::waitFor([&] { return t.link().RxCount == 0 && !t.link().tmrNull->isActive(); }, 500));
            t.port->receive(readAnswer(image, first, std::min(122, 726 - first), 726));
            TestSession::pump(60);
        }
    }
};

} // namespace

TEST_F(ConfigTest, SetupLocksTheMenuThenUnlocksItWithIdentityAndChecksum)
{
    EXPECT_EQ(cfg->windowTitle(), "Electronics Setup");
    EXPECT_TRUE(cfg->isVisible());
    EXPECT_FALSE(t.start().isVisible());
    EXPECT_FALSE(button(*cfg, "imgStore_1")->isVisible());
    EXPECT_FALSE(button(*cfg, "imgSendSite_1")->isVisible());
    for (const char* name : {"imgChannel_1", "imgGlobal_1", "imgCurent", "imgLogic", "imgZero", "imgCal", "ImgRespns"})
        EXPECT_FALSE(button(*cfg, name)->isEnabled()) << name;
    for (const char* name : {"imgRecall_1", "imgReload", "imgCKreload", "imgBack"})
        EXPECT_TRUE(button(*cfg, name)->isEnabled() && button(*cfg, name)->isVisible()) << name;
    EXPECT_EQ(button(*cfg, "imgReload")->toolTip(), "RELOAD SITE FROM METER");

    answerSetup();
    ASSERT_EQ(t.s().ImageValid, 1);
    EXPECT_EQ(t.s().ImageLength, 1452);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), t.s().ParamImage.begin()));
    // The request after the last block went out too: identification, then 7 read requests.
    EXPECT_EQ(t.port->written().count(qbytes(modComFun::CommandFrame(2, 17, 0, 0))), 7);

    unsigned sum = 0;
    for (std::uint8_t b : image)
        sum += b;
    EXPECT_EQ(cfg->lblModel->text(), "Model:     ARX4400LP");
    EXPECT_EQ(cfg->lblSoftVer->text(), "Version     V 3");
    EXPECT_EQ(cfg->lblSN->text(), "Serial No. FT 12345");
    EXPECT_EQ(cfg->lblChecksum->text(), "ChkSum " + QString::number(sum & 0x7FFF, 16).toUpper());
    EXPECT_TRUE(button(*cfg, "imgStore_1")->isVisible());
    EXPECT_TRUE(button(*cfg, "imgSendSite_1")->isVisible());
    EXPECT_TRUE(button(*cfg, "imgChannel_1")->isEnabled());
    EXPECT_TRUE(button(*cfg, "imgCal")->isEnabled());
    // The cells were decoded from the image.
    EXPECT_EQ(t.s().GlobalCells.NodeAddr.u, image[20]);
    EXPECT_EQ(t.s().ChannelCells[1].XducerType.u, image[1068 + 2] + 256u * image[1068 + 3]);

    // A language switch keeps the unlocked state; reload hides store and send again.
    QTest::mouseClick(t.start().imgLang[2], Qt::LeftButton);
    EXPECT_TRUE(button(*cfg, "imgStore_2")->isVisible());
    EXPECT_FALSE(button(*cfg, "imgStore_1")->isVisible());
    QTest::mouseClick(button(*cfg, "imgReload"), Qt::LeftButton);
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_FALSE(button(*cfg, "imgStore_2")->isVisible());
    EXPECT_FALSE(button(*cfg, "imgSendSite_2")->isVisible());
    EXPECT_TRUE(button(*cfg, "imgChannel_2")->isEnabled()) << "reload keeps the setup buttons as they were";
    EXPECT_EQ(t.port->written().right(8), qbytes(modComFun::CommandFrame(2, 17, 0, 0)));
}

TEST_F(ConfigTest, OtherModelsKeepTheLabelsAndChecksumWorksWithoutAnImage)
{
    QTest::mouseClick(button(*cfg, "imgCKreload"), Qt::LeftButton);
    EXPECT_EQ(cfg->lblChecksum->text(), "ChkSum 0");
    cfg->lblModel->setText("before");
    answerSetup(2);
    ASSERT_EQ(t.s().ImageValid, 1);
    EXPECT_EQ(cfg->lblModel->text(), "before");
    EXPECT_EQ(cfg->lblChecksum->text(), "ChkSum 0");
    EXPECT_TRUE(button(*cfg, "imgStore_1")->isVisible()) << "the menu unlocks for any model";
}

TEST_F(ConfigTest, SendWritesTheEditedImageInBlocksOnlyWhenValid)
{
    // Without an image nothing is written, but the user is back at the start window.
    const int before = t.port->writes.size();
    cfg->imgSendSite_Click();
    EXPECT_EQ(t.port->writes.size(), before);
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_FALSE(cfg->isVisible());

    cfg->show();
    answerSetup();
    ASSERT_EQ(t.s().ImageValid, 1);
    t.s().GlobalCells.MeterName.text = "AB";
    t.port->writes.clear();
    QTest::mouseClick(button(*cfg, "imgSendSite_1"), Qt::LeftButton);
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_EQ(t.s().ParamImage[0], 'A');
    EXPECT_EQ(t.s().ParamImage[2], ' ');
    // First block: 56 words, flag 0, 122 bytes; each acknowledgement brings the next one.
    QByteArray sent = t.port->written();
    ASSERT_EQ(sent.size(), 122);
    EXPECT_EQ(sent[4], 56);
    EXPECT_EQ(sent[5], 0);
    EXPECT_EQ(sent.mid(6, 4), QByteArray("AB  ", 4));
    int flag2 = 0;
    for (int ack = 0; ack < 13; ++ack) {
        t.port->writes.clear();
        t.port->receive(qbytes(modComFun::AnswerFrame(17, modComFun::WriteImage, {0, 0})));
        ASSERT_TRUE(TestSession::waitFor([&] { return !t.port->writes.isEmpty(); }, 500)) << ack;
        sent = t.port->written();
        flag2 += sent[5] == 2;
        if (ack == 11) {
            EXPECT_EQ(sent.size(), 2 * 54 + 10);
            EXPECT_EQ(sent[5], 2);
            EXPECT_EQ(static_cast<std::uint8_t>(sent[6]), t.s().ParamImage[2 * 672]);
        }
    }
    EXPECT_EQ(sent.size(), 10) << "after the last block only a 0-word frame follows";
    EXPECT_EQ(flag2, 2);
}

TEST_F(ConfigTest, BackAndCloseReturnToTheStartWindow)
{
    QTest::mouseClick(button(*cfg, "imgBack"), Qt::LeftButton);
    EXPECT_FALSE(cfg->isVisible());
    EXPECT_TRUE(t.start().isVisible());
    t.start().hide();
    cfg->show();
    cfg->close();
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_FALSE(cfg->isVisible());
    EXPECT_EQ(t.ended, 0);
}
