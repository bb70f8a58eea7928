// Meter setup end to end over a pseudo-terminal: identification and the whole image read in blocks
// from the meter simulator, and a meter that falls silent during the read.

#include "support/pty.h"
#include "support/simread.h"

using namespace testbytes;

// Blocks of 56 words: 13 answers, the last one short. (The site file test reads in blocks of 122
// words, answers of 254 bytes, and writes an image back; blocks of one word, 726 answers, are
// counted through in the image read test.)
TEST(SetupWithSimulator, ReadsTheImageInBlocksOf56Words)
{
    SimRead m;
    ASSERT_NO_FATAL_FAILURE(m.read(56));
    EXPECT_EQ(m.toolImage(), qbytes(sim::FactoryImage()));
    EXPECT_EQ(m.t.s().OfflineMode, 0);
    EXPECT_EQ(m.t.s().ChannelCells[0].XducerType.u, 1u) << "decoded";
    EXPECT_TRUE(m.menu().findChild<PictureButton*>("imgSendSite_1")->isVisible());
    EXPECT_TRUE(m.t.dialogs->asked.isEmpty()) << m.t.dialogs->transcript().join('\n').toStdString();
    const QString summary = m.meter->stop();
    EXPECT_TRUE(summary.contains("ignored 0;")) << summary.toStdString();
}

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
    pty.write(qbytes(withCrc({17, 34, 0, 0, 1, 3, 0x39, 0x30})));
    ASSERT_EQ(pty.read(8, 1000), qbytes(withCrc({17, 32, 0xEF, 0xCD, 0, 0}))) << "a read request after identification";
    pty.write(qbytes(withCrc({17, 32, 0, 0, 0xD6, 0x02, 4, 0, 1, 2, 3, 4, 5, 6, 7, 8})));
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
