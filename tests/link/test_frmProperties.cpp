// The port settings dialog through its controls, opened from the start window: what it shows,
// what OK applies and stores, the failed port change, the device mapping and the way in from
// "No Com Port Found".

#include "link/frmProperties.h"
#include "support/fakesession.h"
#include "support/pty.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using ui::ctl;

QString selected(QWidget& d, const char* box) { return ctl<QComboBox>(d, box)->currentText(); }
// Near the left edge: a radio button takes clicks on its circle and text only.
void click(QWidget& d, const QString& name)
{
    QWidget* w = ctl<QWidget>(d, name);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

// Opens the dialog with the serial setup button; `drive` works it while it is up.
void withDialog(TestSession& t, const std::function<void(QDialog&)>& drive)
{
    t.modal = drive;
    t.start().show();
    QTest::mouseClick(t.start().imgSerialSetup, Qt::LeftButton);
}
QString stored(TestSession& t, const char* key, const char* section = "Properties")
{
    return t.s().settings().value(section, key);
}
// Speed, parity, data bits, stop bits as the dialog shows them; the four stored preferences.
QStringList shown(QWidget& d)
{
    return {selected(d, "cboSpeed"), selected(d, "cboParity"), selected(d, "cboDataBits"), selected(d, "cboStopBits")};
}
QStringList prefs(TestSession& t)
{
    return {stored(t, "Settings"), stored(t, "CommPort"), stored(t, "Handshaking"), stored(t, "Echo")};
}

} // namespace

TEST(PortSettings, OneAndAHalfStopBitsOddParityEchoAndEarlyEndSurviveStoreAndReload)
{
    {
        TestSession t;
        t.link().MSComm1->setSettings("19200,o,7,1.5", nullptr);
        t.link().MSComm1->setHandshaking(2, nullptr);
        withDialog(t, [&](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "CommPort Properties");
            EXPECT_EQ(ctl<QComboBox>(d, "cboPort")->itemText(15), "Com16");
            EXPECT_EQ(selected(d, "cboPort"), "Com1");
            QStringList frames;
            for (auto* g : d.findChildren<QGroupBox*>())
                frames << g->title();
            EXPECT_EQ(frames, QStringList({"Maximum Speed", "Connection Preferences", "&Flow Control", "&Echo"}));
            EXPECT_EQ(shown(d), QStringList({"19200", "Odd", "7", "1.5"}));
            EXPECT_TRUE(ctl<QRadioButton>(d, "optFlow_2")->isChecked());
            EXPECT_FALSE(ctl<QCheckBox>(d, "chkEarlyEnd")->isChecked());
            click(d, "chkEarlyEnd");
            click(d, "cmdOK");
        });
        EXPECT_EQ(prefs(t), QStringList({"19200,o,7,1.5", "1", "2", "False"}));
        EXPECT_EQ(stored(t, "EarlyEnd"), "True");
        EXPECT_TRUE(t.link().EarlyEnd);
        t.s().settings().setValue("Properties", "Echo", "True");
        t.s().settings().sync();
    }
    // The next run restores the port from the store; the dialog shows it again, echo "Off".
    TestSession t(TestSession::Port::Fake, std::make_unique<ScriptedDialogService>(), false);
    EXPECT_EQ(t.link().MSComm1->settings(), "19200,o,7,1.5");
    EXPECT_TRUE(t.link().EarlyEnd);
    withDialog(t, [&](QDialog& d) {
        EXPECT_EQ(shown(d), QStringList({"19200", "Odd", "7", "1.5"}));
        EXPECT_TRUE(ctl<QRadioButton>(d, "optEcho_0")->isChecked());
        EXPECT_TRUE(ctl<QCheckBox>(d, "chkEarlyEnd")->isChecked());
        click(d, "optEcho_1");
        click(d, "chkEarlyEnd");
        click(d, "cmdOK");
    });
    EXPECT_EQ(stored(t, "Echo"), "True");
    EXPECT_EQ(stored(t, "EarlyEnd"), "False");
    EXPECT_FALSE(t.link().EarlyEnd);
}

TEST(PortSettings, PortChangeReopensAndStoresTheChoiceWithTheMapping)
{
    TestSession t;
    ASSERT_TRUE(t.link().MSComm1->open(nullptr));
    t.s().settings().setValue("Ports", "Com3", "/dev/ttyUSB7");
    bool accepted = false;
    withDialog(t, [&](QDialog& d) {
        auto* device = ctl<QComboBox>(d, "cboDevice");
        ctl<QComboBox>(d, "cboPort")->setCurrentIndex(2);
        EXPECT_EQ(device->currentText(), "/dev/ttyUSB7");
        EXPECT_TRUE(ctl<QLabel>(d, "lblDevice")->text().startsWith("Com3 opens /dev/ttyUSB7"));
        ui::type(device->lineEdit(), "/dev/pts/42");
        EXPECT_EQ(stored(t, "Com3", "Ports"), "/dev/ttyUSB7") << "stored only by OK";
        ctl<QComboBox>(d, "cboParity")->setCurrentIndex(3);
        click(d, "optFlow_1");
        click(d, "cmdOK");
        accepted = d.result() == QDialog::Accepted;
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(t.port->portNumber(), 3);
    EXPECT_TRUE(t.port->isOpen() && t.port->openCount == 2);
    EXPECT_EQ(t.port->settings(), "9600,m,8,1");
    EXPECT_EQ(t.port->handshaking(), 1);
    EXPECT_EQ(prefs(t), QStringList({"9600,m,8,1", "3", "1", "False"}));
    EXPECT_EQ(stored(t, "Com3", "Ports"), "/dev/pts/42");

    // The same port again changes nothing about the open state; Cancel changes nothing at all.
    withDialog(t, [&](QDialog& d) { click(d, "cmdOK"); });
    EXPECT_TRUE(t.port->isOpen() && t.port->openCount == 2);
    withDialog(t, [&](QDialog& d) {
        ctl<QComboBox>(d, "cboPort")->setCurrentIndex(0);
        click(d, "cmdCancel");
    });
    EXPECT_EQ(t.port->portNumber(), 3);
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
}

TEST(PortSettings, FailedChangeKeepsTheOldPortOpenAndStoresNothing)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", pty.slavePath());
    SerialDevice& port = *t.link().MSComm1;
    ASSERT_TRUE(port.open(nullptr));
    withDialog(t, [&](QDialog& d) {
        ctl<QComboBox>(d, "cboPort")->setCurrentIndex(2);
        ui::type(ctl<QComboBox>(d, "cboDevice")->lineEdit(), "/nonexistent/ttyZAV3");
        click(d, "cmdOK");
        ASSERT_EQ(t.dialogs->asked.size(), 1);
        EXPECT_TRUE(t.dialogs->asked[0].text.startsWith("The serial port /nonexistent/ttyZAV3 was not found."))
            << t.dialogs->asked[0].text.toStdString();
        EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Exclamation);
        EXPECT_TRUE(port.portNumber() == 1 && port.isOpen());
        EXPECT_EQ(port.deviceName(), pty.slavePath());
        // The port layer refuses 4 data bits: reported the same way, and the dialog stays up.
        ctl<QComboBox>(d, "cboPort")->setCurrentIndex(0);
        ctl<QComboBox>(d, "cboDataBits")->setCurrentIndex(0);
        click(d, "cmdOK");
        EXPECT_EQ(t.dialogs->asked.size(), 2);
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(prefs(t).join(""), "");
    EXPECT_EQ(stored(t, "Com3", "Ports"), "");
    EXPECT_EQ(port.settings(), "9600,n,8,1");
}

TEST(PortSettings, NoComPortFoundThenNoOpensTheDialogEvenForAPortBeyondTheList)
{
    TestSession t;
    t.link().MSComm1->setPortNumber(20, nullptr);
    t.port->failOpen = true;
    t.dialogs->answers = {DialogService::Answer::Yes, DialogService::Answer::No};
    modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
    EXPECT_EQ(t.modals, 0) << "working offline needs no port";
    t.modal = [&](QDialog& d) {
        EXPECT_EQ(selected(d, "cboPort"), "Com20");
        click(d, "cmdOK");
    };
    modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
    EXPECT_TRUE(t.modals == 1 && t.start().isVisible());
    EXPECT_EQ(prefs(t), QStringList({"9600,n,8,1", "20", "0", "False"}));
}

TEST(PortSettings, WorkOfflineSaysWhyThePortOrTheMeterFailed)
{
    // A device that is not there: the port's own words under the question, which stays as it was.
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", "/nonexistent/ttyZAV9");
    t.dialogs->answers = {DialogService::Answer::Yes};
    modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
    ASSERT_EQ(t.dialogs->transcript(), QStringList{"No Com Port Found: Work Offline?"});
    EXPECT_EQ(t.dialogs->asked[0].detail, "The serial port /nonexistent/ttyZAV9 was not found. Check that the adapter "
                                          "is plugged in, or choose the port's device under Serial Setup.");
    // A meter that does not answer: where it was asked, and what to check.
    TestSession f;
    f.link().responseMs = 100;
    modComFun::BuildCommand(f.link(), 3, 17, 0, 0);
    ASSERT_TRUE(TestSession::waitFor([&] { return !f.dialogs->asked.isEmpty(); }, 1000));
    EXPECT_EQ(f.dialogs->transcript(), QStringList{"Communication Failed: Work Offline?"});
    EXPECT_EQ(f.dialogs->asked[0].detail,
              "The meter on fake1 (Com1) did not answer within 0.1 s. Check that the meter is powered, that its node "
              "address is 17 and its line settings are 9600,n,8,1 (Serial Setup), and the wiring between the adapter "
              "and the meter.");
}
