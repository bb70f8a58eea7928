// End to end with the start window, the link window, QSerialPort and real timers: the meter
// simulator identifies itself on a port mapped to it in the port settings dialog; a missing port
// and a line whose far end goes away. (Identification and a silent meter: the setup tests.)

#include "support/fakesession.h"
#include "support/simprocess.h"
#include "support/widgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(IdentifyOverPty, SimulatorMappedToCom2InTheDialogIdentifiesInTheNextRun)
{
    SimProcess sim({"--serial", "4343"});
    ASSERT_TRUE(sim.ok());
    {
        TestSession t(TestSession::Port::Real);
        t.modal = [&](QDialog& d) {
            d.findChild<QComboBox*>("cboPort")->setCurrentIndex(1);
            ui::type(d.findChild<QComboBox*>("cboDevice")->lineEdit(), sim.device());
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

// The real port layer cannot open the mapped path: the box comes at once, the status names the
// path, and no time-out follows.
TEST(IdentifyOverPty, MissingPortIsReportedByPathWithoutATimeout)
{
    TestSession t(TestSession::Port::Real);
    const QString nowhere = QStringLiteral("/nonexistent/ttyZAV0");
    t.s().settings().setValue("Ports", "Com1", nowhere);
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    EXPECT_EQ(t.dialogs->transcript(), QStringList{"No Com Port Found: Work Offline?"});
    EXPECT_TRUE(t.link().Status.contains(nowhere)) << t.link().Status.toStdString();
    EXPECT_FALSE(t.link().tmrTimeOut->isActive());
    EXPECT_TRUE(t.start().isVisible());
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
