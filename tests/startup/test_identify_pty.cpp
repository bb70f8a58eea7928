// End to end with the start window, the link window, QSerialPort and real timers: the meter
// simulator identifies itself on a port mapped to it in the port settings dialog; a missing port
// and a line whose far end goes away. (Identification and a silent meter: the setup tests.)

#include "bus/frmFindMeters.h"
#include "imagefile.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/simprocess.h"
#include "support/widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
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

// Three meters on one RS-485 bus: Find Meters lists exactly their nodes with their serial numbers
// and asks nothing; picking node 7 sends Meter Setup's every request to node 7, whose image is
// read.
TEST(IdentifyOverPty, FindMetersOnABusAndTalkToTheOnePicked)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("sim.log");
    SimProcess sim({"--baud", "115200", "--nodes", "3,7,12", "--serial", "500", "--log", log});
    ASSERT_TRUE(sim.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", sim.device());
    frmStart& start = t.start();
    start.show();
    EXPECT_FALSE(start.cmdFindMeters->isVisibleTo(&start));
    ui::click(start.optRs485);
    EXPECT_EQ(start.txtMeterID->text(), "17");
    ui::click(start.cmdFindMeters);
    frmFindMeters& find = t.s().windows().get<frmFindMeters>();
    find.waitMs = 200; // an answer ends 50 ms after its last byte: room for a loaded machine
    ui::click(find.cmdFind);
    ASSERT_TRUE(TestSession::waitFor([&] { return !find.Scan().running(); }, 8000));
    QStringList rows;
    for (int i = 0; i < find.lstMeters->count(); ++i)
        rows << find.lstMeters->item(i)->text();
    EXPECT_EQ(rows, QStringList({"Node 3: model 1, version 3, serial number 500",
                                 "Node 7: model 1, version 3, serial number 501",
                                 "Node 12: model 1, version 3, serial number 502"}));
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_EQ(find.lblScan->text(), "3 meters found. Pick one to talk to it.");

    ui::pick(find.lstMeters, 1);
    EXPECT_EQ(start.cmbNode->currentText(), "Node 7");
    EXPECT_EQ(start.txtMeterID->text(), "7");
    const qsizetype logged = QString::fromLatin1(testbytes::fileBytes(log)).count(" RX ");
    ui::click(start.imgSetup[1]);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().ImageValid == 1; }, 8000))
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_EQ(t.s().SerialNumber, 501);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(t.s().ParamImage.data()), 1452), testbytes::qbytes(sim::FactoryImage(7)));
    const QStringList requests = QString::fromLatin1(testbytes::fileBytes(log)).split('\n').filter(" RX ").mid(logged);
    EXPECT_GE(requests.size(), 8);
    EXPECT_EQ(requests.filter(" RX 07 ").size(), requests.size()) << requests.join('\n').toStdString();
}
