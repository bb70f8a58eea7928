// Meter setup and site files end to end over a pseudo-terminal, against the meter simulator:
// identification and the image read in blocks, a meter that falls silent during the read, and an
// image stored, edited, recalled and sent back.

#include "sitetest.h"
#include "support/pty.h"
#include "support/simread.h"

#include <QLabel>

using namespace sitetest;

// Blocks of 56 words: 13 answers, the last one short (blocks of one word, 726 answers, are counted
// through in the image read test). The menu shows the identity the meter gave.
TEST(SetupWithSimulator, IdentifiesAndReadsTheImageInBlocksOf56Words)
{
    SimRead m;
    ASSERT_NO_FATAL_FAILURE(m.read(56, 10000, {"--version", "7", "--serial", "4242"}));
    EXPECT_EQ(m.toolImage(), qbytes(sim::FactoryImage()));
    EXPECT_EQ(m.menu().lblModel->text(), "Model:     ARX4400LP");
    EXPECT_EQ(m.menu().lblSoftVer->text(), "Version     V 7");
    EXPECT_EQ(m.menu().lblSN->text(), "Serial No. FT 4242");
    EXPECT_EQ(m.t.s().OfflineMode, 0);
    EXPECT_EQ(m.t.s().ChannelCells[0].XducerType.u, 1u) << "decoded";
    EXPECT_TRUE(m.menu().findChild<PictureButton*>("imgSendSite_1")->isVisible());
    EXPECT_TRUE(m.t.dialogs->asked.isEmpty()) << m.t.dialogs->transcript().join('\n').toStdString();
    const QString summary = m.meter->stop();
    EXPECT_EQ(m.meter->exitCode(), 0);
    EXPECT_TRUE(summary.contains("answered 32:14 34:1 ") && summary.contains("ignored 0;")) << summary.toStdString();
}

// Early end of answer over a real line: every answer comes in two halves 10 ms apart, and the
// image still arrives whole, each answer taken once.
TEST(SetupWithSimulator, EarlyEndWaitsOutAPauseInsideEachAnswer)
{
    SimRead m;
    m.t.link().EarlyEnd = true;
    ASSERT_NO_FATAL_FAILURE(m.read(122, 10000, {"--pause-inside", "10"}));
    EXPECT_EQ(m.toolImage(), qbytes(sim::FactoryImage()));
    EXPECT_TRUE(m.t.dialogs->asked.isEmpty()) << m.t.dialogs->transcript().join('\n').toStdString();
    const QString summary = m.meter->stop();
    EXPECT_TRUE(summary.contains("answered 32:7 34:1 ") && summary.contains("ignored 0;")) << summary.toStdString();
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
    ASSERT_EQ(pty.read(8, 3000).size(), 8);
    pty.write(qbytes(withCrc({17, 34, 0, 0, 1, 3, 0x39, 0x30})));
    ASSERT_EQ(pty.read(8, 3000), qbytes(withCrc({17, 32, 0xEF, 0xCD, 0, 0}))) << "a read request after identification";
    pty.write(qbytes(withCrc({17, 32, 0, 0, 0xD6, 0x02, 4, 0, 1, 2, 3, 4, 5, 6, 7, 8})));
    ASSERT_EQ(pty.read(8, 3000).size(), 8) << "no request for the second block";
    // The meter falls silent.
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 4000));
    EXPECT_EQ(t.dialogs->transcript(), QStringList{"Communication Failed: Work Offline?"});
    frmConfig& cfg = t.s().windows().get<frmConfig>();
    EXPECT_TRUE(cfg.isVisible());
    EXPECT_EQ(t.s().OfflineMode, 6);
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_EQ(t.s().ImageLength, 8);
    EXPECT_FALSE(cfg.findChild<PictureButton*>("imgSendSite_1")->isVisible());
}

// The image read in blocks of 122 words (answers of 254 bytes, the most the receive buffer takes)
// is stored exactly as the meter keeps it; an edited file, recalled, is sent back whole.
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

// A meter that answers one request 3.4 s late, after the tool has given up on it: the late answer
// changes nothing. A read block that comes after "Work Offline?" and a recall is not appended to
// the recalled image; a write acknowledgement that comes after a recall does not send the recalled
// image's remaining blocks, so the meter never completes a mixture of two images.
TEST(LateAnswersWithSimulator, ALateBlockOrAcknowledgementAfterARecallChangesNothing)
{
    QTemporaryDir dir;
    const QString meterFile = dir.filePath("meter.bin");
    // A and B differ from the factory image in their first block (the name) and in a late one.
    auto variant = [&](const char* name, char mark) {
        QByteArray image = qbytes(sim::FactoryImage());
        image.replace(0, 10, QByteArray(name).leftJustified(10, ' '));
        image.replace(1300, 10, QByteArray(10, mark));
        const QString file = dir.filePath(QStringLiteral("%1.bin").arg(mark));
        EXPECT_TRUE(writeFile(file, QByteArray() + char(1) + char(3) + char(byteSum(image)) + image));
        return file;
    };
    const QString A = variant("SITE A", 'A'), B = variant("SITE B", 'B');
    ASSERT_TRUE(writeFile(meterFile, factorySiteFile()));
    SimProcess meter({"--baud", "115200", "--image", meterFile, "--save", "--late", "32:4:3400", "--late", "33:5:3400"});
    ASSERT_TRUE(meter.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", meter.device());
    frmConfig& cfg = t.s().windows().get<frmConfig>();
    auto click = [&](const char* name, const QString& file = {}) {
        t.dialogs->files = {file};
        QTest::mouseClick(cfg.findChild<PictureButton*>(name), Qt::LeftButton);
    };
    int stale = 0;
    QObject::connect(&t.link(), &frmCDR::staleAnswer, [&] { ++stale; });

    // The fourth read block is late: "Work Offline?" Yes, then B recalled before the block comes.
    t.dialogs->answers = {DialogService::Answer::Yes, DialogService::Answer::Yes};
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.dialogs->asked.size() == 1; }, 6000));
    click("imgRecall_1", B);
    ASSERT_TRUE(TestSession::waitFor([&] { return stale == 1; }, 2000)) << "the late block never came";
    TestSession::pump(100);
    EXPECT_EQ(t.s().ImageLength, 1452);
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(t.s().ParamImage.data()), 1452), fileBytes(B).mid(3));

    // A sent; its fifth acknowledgement is late: Yes, B recalled, and the late acknowledgement
    // sends nothing more. The meter keeps its image; B sent afterwards reaches it whole.
    click("imgRecall_1", A);
    click("imgSendSite_1");
    ASSERT_TRUE(TestSession::waitFor([&] { return t.dialogs->asked.size() == 2; }, 6000));
    click("imgRecall_1", B);
    ASSERT_TRUE(TestSession::waitFor([&] { return stale == 2; }, 2000)) << "the late acknowledgement never came";
    TestSession::pump(300);
    EXPECT_EQ(fileBytes(meterFile), factorySiteFile()) << "the meter completed an image";
    EXPECT_FALSE(t.link().outstanding().open);
    click("imgSendSite_1");
    ASSERT_TRUE(TestSession::waitFor([&] { return fileBytes(meterFile) == fileBytes(B); }, 5000));
    EXPECT_EQ(t.dialogs->asked.size(), 2) << t.dialogs->transcript().join('\n').toStdString();
    TestSession::pump(100);
    const QString summary = meter.stop();
    // Four read blocks asked for; five blocks of A, then the thirteen of B.
    EXPECT_TRUE(summary.contains("answered 32:4 33:18 34:1 ")) << summary.toStdString();
}

#include "meter.h"

#include <QPushButton>
#include <QRegularExpression>

// A read in blocks of 8 words shows the meter's identity and how far it is; stopped, it leaves no
// valid image and nothing to store or send, and the answer still owed changes nothing. A Reload
// at once reads the whole image.
TEST(ReadProgressWithSimulator, GrowsUntilStoppedThenAReloadReadsTheWholeImage)
{
    SimRead m;
    std::string error;
    ASSERT_TRUE(sim::WriteSiteFile(m.imageFile.toStdString(), sim::FactoryImage(), 1, 3, error)) << error;
    m.meter = std::make_unique<SimProcess>(QStringList{"--chunk-words", "8", "--baud", "115200", "--image", m.imageFile,
                                                       "--version", "5", "--serial", "4242"});
    m.t.s().settings().setValue("Ports", "Com1", m.meter->device());
    m.t.start().show();
    QTest::mouseClick(m.t.start().imgSetup[1], Qt::LeftButton);
    frmConfig& cfg = m.menu();
    QLabel* state = cfg.findChild<QLabel*>("lblReadState");
    QPushButton* stop = cfg.findChild<QPushButton*>("cmdStopRead");
    ASSERT_TRUE(state && stop);
    const QString who = "Meter model 1, version 5, serial number 4242\n";
    const QRegularExpression progress("^" + QRegularExpression::escape(who) +
                                      "Reading the meter's configuration: (\\d+) of 1452 bytes$");
    auto shown = [&] { return progress.match(state->text()).captured(1).toInt(); };
    ASSERT_TRUE(TestSession::waitFor([&] { return shown() >= 64; }, 5000)) << state->text().toStdString();
    const int first = shown();
    ASSERT_TRUE(TestSession::waitFor([&] { return shown() > first; }, 3000)) << state->text().toStdString();

    QTest::mouseClick(stop, Qt::LeftButton);
    const int taken = m.t.s().ImageLength;
    ASSERT_TRUE(TestSession::waitFor([&] { return !m.t.link().outstanding().open; }, 3000)) << "the owed answer";
    TestSession::pump(60);
    EXPECT_LT(taken, 1452);
    EXPECT_EQ(m.t.s().ImageLength, taken);
    EXPECT_EQ(m.t.s().ImageValid, 0);
    EXPECT_FALSE(stop->isVisible() || cfg.imgStore[1]->isVisible() || cfg.imgSendSite[1]->isVisible());
    EXPECT_EQ(state->text(),
              who + QString("Reading stopped by the user after %1 of 1452 bytes: the image is not valid.").arg(taken));

    // Reloaded at once: the meter still gives the rest of the stopped read, which is passed over
    // until it starts the image anew.
    QTest::mouseClick(cfg.imgReload, Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return m.t.s().ImageValid == 1; }, 20000)) << state->text().toStdString();
    EXPECT_EQ(m.toolImage(), qbytes(sim::FactoryImage()));
    EXPECT_EQ(state->text(), who + "Configuration read completely: 1452 bytes");
    EXPECT_TRUE(m.t.dialogs->asked.isEmpty()) << m.t.dialogs->transcript().join('\n').toStdString();
}
