// The configuration menu through its controls, on the in-memory port: locking, unlocking with the
// meter's identity and checksum, reload, back, sending the edited image and the write's outcome on
// the start window, and the question before unsent edits are replaced. (Send without a valid
// image: the recall tests.)

#include "meterdata/frmConfig.h"
#include "meterdata/frmGlobal.h"
#include "platform/finetimer.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QLabel>
#include <QTemporaryDir>
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
    // Answers identification and then the read.
    void answerSetup()
    {
        t.port->receive(qbytes(withCrc({17, 34, 0, 0, 1, 3, 0x39, 0x30})));
        answerRead();
    }
    // Answers the read, 122 words a block (chunk mark, total words, n, 0, data).
    void answerRead()
    {
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
    QString sendState() { return ui::ctl<QLabel>(t.start(), "lblSendState")->text(); }
    // Types a meter name in the global parameters window and confirms it there.
    void editName(const QString& name)
    {
        ui::click(cfg->imgGlobal[1]);
        frmGlobal& g = t.s().windows().get<frmGlobal>();
        ui::type(g.txtGval[0], name);
        ui::click(g.imgConfirm);
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
        EXPECT_EQ(sendState(), QString("Sending the configuration: block %1 of 13").arg(k + 1));
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
    EXPECT_EQ(sendState(), "Configuration sent and confirmed by the meter (13 blocks).");
}

// A refusal (93 to the second block) and a lost answer (the first block's), each told on the start
// window after a fresh setup read.
TEST_F(ConfigTest, TheStartWindowTellsARefusedOrUnconfirmedWrite)
{
    answerSetup();
    ui::click(button("imgSendSite_1"));
    TestSession::deliver(t.link(), withCrc({17, 33, 0, 0}));
    EXPECT_EQ(sendState(), "Sending the configuration: block 2 of 13");
    TestSession::deliver(t.link(), withCrc({17, 93, 0, 0}));
    EXPECT_EQ(sendState(), "The meter refused the configuration (answer 93 to block 2 of 13).");
    EXPECT_FALSE(t.link().outstanding().open);

    ui::click(t.start().imgSetup[1]);
    answerSetup();
    t.link().responseMs = 300;
    ui::click(button("imgSendSite_1"));
    EXPECT_EQ(sendState(), "Sending the configuration: block 1 of 13");
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 5000));
    EXPECT_EQ(t.dialogs->transcript(), QStringList{"Communication Failed: Work Offline?"});
    EXPECT_EQ(sendState(), "The configuration was not confirmed: the meter did not answer block 1 of 13.");
    EXPECT_TRUE(t.start().isVisible());
}

// Edits made in a setup window are marked in the menu; a setup read, a reload and a recall ask once
// before they replace them (No: nothing happens), Back asks nothing, and after a send nothing is asked.
TEST_F(ConfigTest, UnsentEditsAreAskedAboutBeforeTheyAreReplaced)
{
    using A = DialogService::Answer;
    answerSetup();
    QLabel* unsent = ui::ctl<QLabel>(*cfg, "lblUnsent");
    EXPECT_FALSE(unsent->isVisible());
    editName("EDITED");
    EXPECT_TRUE(unsent->isVisible());
    EXPECT_EQ(unsent->text(), "Edits not yet sent to the meter or stored");
    const QString question = "Unsent Edits: The configuration has edits that were neither sent to the meter nor "
                             "stored.\n%1 replaces them.\n\nGo on?";
    const QString read = question.arg("Reading the meter's configuration"), recall = question.arg("Recalling a site file");

    const QByteArray written = t.port->written();
    t.dialogs->answers = {A::No, A::No, A::No};
    ui::click(button("imgReload"));
    ui::click(button("imgRecall_1"));
    ui::click(button("imgBack"));
    ui::click(t.start().imgSetup[1]);
    EXPECT_EQ(t.dialogs->transcript(), (QStringList{read, recall, read}));
    EXPECT_TRUE(t.dialogs->fileAsked.isEmpty());
    EXPECT_TRUE(t.start().isVisible() && !cfg->isVisible());
    EXPECT_EQ(t.port->written(), written) << "nothing sent";
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "EDITED");

    // Yes: the setup read, a recall and a reload each replace the edits.
    QTemporaryDir dir;
    Bytes fromFile = image;
    std::fill_n(fromFile.begin(), 10, std::uint8_t{'F'});
    ASSERT_TRUE(writeFile(dir.filePath("site.bin"), QByteArray("\1\3") + char(byteSum(fromFile)) + qbytes(fromFile)));
    t.dialogs->answers = {A::Yes, A::Yes, A::Yes};
    ui::click(t.start().imgSetup[1]);
    answerSetup();
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, std::string(image.begin(), image.begin() + 10));
    editName("EDITED");
    t.dialogs->files = {dir.filePath("site.bin")};
    ui::click(button("imgRecall_1"));
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "FFFFFFFFFF");
    editName("EDITED");
    ui::click(button("imgReload"));
    answerRead();
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_FALSE(unsent->isVisible());
    EXPECT_EQ(t.dialogs->asked.size(), 6);

    // Sent: a setup read asks nothing.
    editName("SENT");
    ui::click(button("imgSendSite_1"));
    ui::click(t.start().imgSetup[1]);
    EXPECT_TRUE(cfg->isVisible());
    EXPECT_EQ(t.dialogs->asked.size(), 6) << t.dialogs->transcript().join('\n').toStdString();
}
