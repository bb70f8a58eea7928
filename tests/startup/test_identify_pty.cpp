// End to end over a real pseudo-terminal, with the start window, the link window, QSerialPort and
// real timers: the meter simulator identifies itself, also on a port mapped to it in the port
// settings dialog; a silent line, a missing port and a line whose far end goes away.

#include "link/modComFun.h"
#include "support/fakesession.h"
#include "support/pty.h"
#include "support/simprocess.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(IdentifyOverPty, StartWindowIdentifiesTheSimulatorAndStartsTheImageRead)
{
    SimProcess sim({"--model", "1", "--version", "7", "--serial", "4242"});
    ASSERT_TRUE(sim.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().SerialNumber == 4242; }, 3000))
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_EQ(t.s().MeterModel, 1);
    EXPECT_EQ(t.s().FirmwareVersion, 7);
    // The image read follows at once: its first block arrives.
    EXPECT_TRUE(TestSession::waitFor([&] { return t.s().ImageLength > 0; }, 3000));
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
    const QString summary = sim.stop();
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_TRUE(summary.contains("answered 32:") && summary.contains(" 34:1 ")) << summary.toStdString();
}

TEST(IdentifyOverPty, SimulatorMappedToCom2InTheDialogIdentifiesInTheNextRun)
{
    SimProcess sim({"--serial", "4343"});
    ASSERT_TRUE(sim.ok());
    {
        TestSession t(TestSession::Port::Real);
        t.modal = [&](QDialog& d) {
            d.findChild<QComboBox*>("cboPort")->setCurrentIndex(1);
            QLineEdit* device = d.findChild<QComboBox*>("cboDevice")->lineEdit();
            device->clear();
            QTest::keyClicks(device, sim.device());
            QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        };
        t.start().show();
        QTest::mouseClick(t.start().imgSerialSetup, Qt::LeftButton);
        ASSERT_EQ(t.modals, 1);
    }
    TestSession t(TestSession::Port::Real, std::make_unique<ScriptedDialogService>(), false);
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().SerialNumber == 4343; }, 3000))
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_EQ(t.link().MSComm1->portNumber(), 2);
    EXPECT_EQ(t.link().MSComm1->deviceName(), sim.device());
}

TEST(IdentifyOverPty, SilentMeterTimesOutAndAMissingPortDoesNot)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TestSession silent(TestSession::Port::Real);
    TestSession missing(TestSession::Port::Real);
    silent.dialogs->answers = {DialogService::Answer::No};
    missing.dialogs->answers = {DialogService::Answer::No};

    // Both sessions read the same store: the port is looked up when it opens.
    const QString nowhere = QStringLiteral("/nonexistent/ttyZAV0");
    missing.s().settings().setValue("Ports", "Com1", nowhere);
    missing.start().show();
    QTest::mouseClick(missing.start().imgSetup[1], Qt::LeftButton);
    ASSERT_EQ(missing.dialogs->asked.size(), 1);
    EXPECT_EQ(missing.dialogs->asked[0].text, "Work Offline?");
    EXPECT_EQ(missing.dialogs->asked[0].title, "No Com Port Found");
    EXPECT_TRUE(missing.link().Status.contains(nowhere)) << missing.link().Status.toStdString();

    silent.s().settings().setValue("Ports", "Com1", pty.slavePath());
    silent.start().show();
    QTest::mouseClick(silent.start().imgSetup[1], Qt::LeftButton);
    EXPECT_EQ(pty.read(8, 1000).size(), 8);

    // Nothing answers: after 3 s the silent session asks; the missing port never does.
    EXPECT_FALSE(TestSession::waitFor([&] { return !silent.dialogs->asked.isEmpty(); }, 2700));
    ASSERT_TRUE(TestSession::waitFor([&] { return !silent.dialogs->asked.isEmpty(); }, 3000));
    EXPECT_EQ(silent.dialogs->asked[0].text, "Work Offline?");
    EXPECT_EQ(silent.dialogs->asked[0].title, "Communication Failed");
    EXPECT_TRUE(silent.start().isVisible());
    EXPECT_EQ(missing.dialogs->asked.size(), 1);
}

TEST(IdentifyOverPty, PortThatGoesAwayIsReportedOnceByNameAndOpensAgainOnTheNextRequest)
{
    // Com1 is a fixed path, a link to the meter's pseudo-terminal, as a by-id name is to an adapter.
    QTemporaryDir dir;
    const QString device = dir.filePath("ttyMeter");
    auto meter = std::make_unique<SimProcess>(QStringList{"--baud", "115200", "--link", device});
    ASSERT_TRUE(meter->ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", device);
    t.dialogs->answers = {DialogService::Answer::OK};
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().ImageLength > 0; }, 3000));
    meter.reset(); // the adapter is pulled out in the middle of the read

    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 3000));
    TestSession::pump(200);
    t.link().tmrTimeOut->stop();
    ASSERT_EQ(t.dialogs->count(t.dialogs->asked[0].text, "Click Cancel to quit, OK to ignore."), 1)
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_TRUE(t.dialogs->asked[0].text.contains(device)) << t.dialogs->asked[0].text.toStdString();
    EXPECT_TRUE(t.dialogs->asked[0].text.contains("unplugged")) << t.dialogs->asked[0].text.toStdString();
    EXPECT_FALSE(t.link().MSComm1->isOpen());

    // The adapter comes back on the same path: the next identification opens it and succeeds.
    meter = std::make_unique<SimProcess>(QStringList{"--baud", "115200", "--link", device, "--serial", "777"});
    ASSERT_TRUE(meter->ok());
    t.dialogs->asked.clear();
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    EXPECT_TRUE(TestSession::waitFor([&] { return t.s().SerialNumber == 777; }, 3000));
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
}
