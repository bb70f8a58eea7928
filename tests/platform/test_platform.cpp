// The platform layers: line settings text, port names, the dialog service helpers, twips, colour
// values, the QSerialPort layer on a pseudo-terminal, and the language pictures.

#include "platform/dialogservice.h"
#include "platform/linesettings.h"
#include "platform/picturebutton.h"
#include "platform/portnames.h"
#include "platform/qtserialdevice.h"
#include "platform/settingsstore.h"
#include "platform/shape.h"
#include "platform/twips.h"
#include "support/bytes.h"
#include "support/printers.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(LineSettingsText, ParsesAndPrintsWithLowerCaseParity)
{
    for (const auto& [in, out] : {std::pair{"9600,N,8,1", "9600,n,8,1"}, {" 19200 , e , 7 , 1.5 ", "19200,e,7,1.5"},
                                  {"115200,s,5,2", "115200,s,5,2"}}) {
        LineSettings s;
        EXPECT_TRUE(LineSettings::parse(in, &s)) << in;
        EXPECT_EQ(s.text(), out) << in;
    }
    for (const char* bad : {"9600,n,8", "9600,n,8,1,1", "9600,x,8,1", "9600,no,8,1", "0,n,8,1", "abc,n,8,1",
                            "9600,n,9,1", "9600,n,8,3"}) {
        LineSettings keep;
        keep.baud = 1234;
        EXPECT_FALSE(LineSettings::parse(bad, &keep)) << bad;
        EXPECT_EQ(keep.baud, 1234) << "a rejected text must not change the settings: " << bad;
    }
}

TEST(PortNames, OrderStoredMappingAndStableAlias)
{
    EXPECT_EQ(portnames::orderDevices({"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyUSB0",
                                       "/dev/ttyAMA0"}),
              QStringList({"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyAMA0"}));

    SettingsStore store;
    store.clear();
    store.setValue(portnames::sectionName(), portnames::keyFor(3), "/dev/pts/7");
    EXPECT_EQ(portnames::deviceForPort(3, store), "/dev/pts/7");
    EXPECT_EQ(portnames::keyFor(12), "Com12");
    EXPECT_TRUE(portnames::deviceForPort(0, store).isEmpty());
    EXPECT_TRUE(portnames::deviceForPort(250, store).isEmpty());

    QTemporaryDir dir;
    const QString device = dir.filePath("ttyUSB0");
    ASSERT_TRUE(testbytes::writeFile(device, {}));
    ASSERT_TRUE(QDir(dir.path()).mkdir("by-id"));
    const QString alias = dir.filePath("by-id/usb-FTDI_FT232R_A1B2-if00-port0");
    ASSERT_TRUE(QFile::link(device, alias));
    EXPECT_EQ(portnames::stableAlias(device, dir.filePath("by-id")), alias);
    EXPECT_EQ(portnames::stableAlias(dir.filePath("other"), dir.filePath("by-id")), dir.filePath("other"));
    EXPECT_EQ(portnames::stableAlias(device, dir.filePath("none")), device);
}

TEST(DialogServiceHelpers, ExtensionsFiltersAndScriptedAnswers)
{
    EXPECT_EQ(DialogService::withDefaultExtension("/tmp/site", "bin"), "/tmp/site.bin");
    EXPECT_EQ(DialogService::withDefaultExtension("/tmp/site.dat", "bin"), "/tmp/site.dat");
    EXPECT_EQ(DialogService::withDefaultExtension("", "bin"), "");
    EXPECT_EQ(DialogService::qtFilters("Site Files (*.bin)|*.bin|All Files|*.*"),
              QStringList({"Site Files (*.bin)", "All Files (*.*)"}));

    ScriptedDialogService d;
    d.answers = {DialogService::Answer::Yes};
    EXPECT_EQ(d.message("A", "T", DialogService::Buttons::YesNo, DialogService::Icon::Question), DialogService::Answer::Yes);
    EXPECT_EQ(d.message("B", "T", DialogService::Buttons::YesNo, DialogService::Icon::Question), DialogService::Answer::No);
    EXPECT_EQ(d.message("C", "T", DialogService::Buttons::AbortRetryIgnore, DialogService::Icon::None),
              DialogService::Answer::Ignore);
    EXPECT_EQ(d.transcript(), QStringList({"T: A", "T: B", "T: C"}));
    d.files = {"/tmp/x"};
    DialogService::FileRequest r;
    r.defaultExt = "bin";
    EXPECT_EQ(d.saveFile(r), "/tmp/x.bin");
    EXPECT_EQ(d.saveFile(r), "") << "an empty queue is a cancelled dialog";
}

TEST(DialogServiceHelpers, ABoxIsWideEnoughForTheWholeTitleTheDesktopShows)
{
    const QString program = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName("ZAV Instrument Interface");
    QMessageBox box(QMessageBox::Question, "No Com Port Found", "Work Offline?", QMessageBox::Yes | QMessageBox::No);
    QtDialogService::fitTitle(box);
    box.show();
    QFont bold = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    bold.setBold(true);
    EXPECT_GT(box.width(), QFontMetrics(bold).horizontalAdvance("No Com Port Found \u2014 ZAV Instrument Interface"));
    QGuiApplication::setApplicationDisplayName(program);
}

TEST(TwipsAndColours, Conversions)
{
    const std::tuple<int, double, int> pixels[] = {{1440, 96.0, 96}, {15, 96.0, 1}, {3855, 96.0, 257}, {1440, 120.0, 120}};
    for (const auto& [tw, dpi, px] : pixels)
        EXPECT_EQ(twips::toPixels(tw, dpi), px) << tw << " twips at " << dpi << " dpi";
    EXPECT_EQ(twips::fromPixels(257, 96.0), 3855);
    // Colour values are 0xBBGGRR.
    const std::pair<int, QColor> colours[] = {
        {65280, QColor(0, 255, 0)}, {16711680, QColor(0, 0, 255)}, {255, QColor(255, 0, 0)}};
    for (const auto& [value, colour] : colours)
        EXPECT_EQ(Shape::toColor(value), colour) << value;
}

TEST(QtSerialLayer, OpensAPseudoTerminalAndSaysWhyADeviceDoesNotOpen)
{
    SettingsStore store;
    store.clear();
    QtSerialDevice port(store);
    EXPECT_EQ(port.settings(), "9600,n,8,1");
    QString error;
    EXPECT_FALSE(port.setSettings("9600,n,4,1", &error)) << "QSerialPort has no 4-bit characters";
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(port.setSettings("19200,O,7,2", &error));
    EXPECT_EQ(port.settings(), "19200,o,7,2");
    EXPECT_FALSE(port.setHandshaking(4, &error));
    EXPECT_TRUE(port.setHandshaking(1, &error));

    store.setValue("Ports", "Com2", "/nonexistent/ttyQQ");
    ASSERT_TRUE(port.setPortNumber(2, &error));
    EXPECT_FALSE(port.open(&error));
    EXPECT_TRUE(error.startsWith("The serial port /nonexistent/ttyQQ was not found.")) << error.toStdString();
    EXPECT_FALSE(port.isOpen());
    const QString denied = QtSerialDevice::openFailureText(QtSerialDevice::OpenFailure::NoPermission, "/dev/ttyUSB0",
                                                           "Permission denied");
    EXPECT_TRUE(denied.contains("\"dialout\"") && denied.contains("sudo usermod -aG dialout $USER"))
        << denied.toStdString();

    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    store.setValue("Ports", "Com2", pty.slavePath());
    ASSERT_TRUE(port.open(&error)) << error.toStdString();
    EXPECT_EQ(port.deviceName(), pty.slavePath());
    EXPECT_FALSE(port.setPortNumber(3, &error)) << "the port number stays while the port is open";
    // A second program cannot have the device while this one holds it.
    QtSerialDevice other(store);
    ASSERT_TRUE(other.setPortNumber(2, &error));
    EXPECT_FALSE(other.open(&error));
    EXPECT_TRUE(error.contains("in use by another program")) << error.toStdString();
    // Received bytes are announced (code 2) and read then.
    QByteArray in;
    QObject::connect(&port, &SerialDevice::comm,
                     [&](int code, const QString&) { in += code == 2 ? port.readAll() : QByteArray(); });
    EXPECT_TRUE(port.write(QByteArray("\x11\x22", 2)));
    EXPECT_EQ(pty.read(2, 1000), QByteArray("\x11\x22", 2));
    pty.write(QByteArray("\x01\x02\x03", 3));
    (void)QTest::qWaitFor([&in] { return in.size() >= 3; }, 2000);
    EXPECT_EQ(in, QByteArray("\x01\x02\x03", 3));
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST(LanguagePictures, CarryTheirWordsInEachLanguage)
{
    // The Japanese and Korean families must be real fonts, or the words turn into empty boxes.
    for (int lang : {0, 2})
        EXPECT_EQ(QFontInfo(QFont(pictures::fontFamily(lang))).family(), pictures::fontFamily(lang)) << lang;
    ASSERT_NE(pictures::find("setup"), nullptr);
    EXPECT_STREQ(pictures::find("setup")->text[1], "Meter Setup");
    EXPECT_EQ(pictures::find("no such picture"), nullptr);

    const QSize size(240, 52);
    QImage images[3];
    // Each language its own picture, the words drawn in white on the plate: a fair number of white
    // pixels.
    for (int lang = 0; lang < 3; ++lang) {
        images[lang] = pictures::render("setup", lang, size).toImage();
        EXPECT_EQ(images[lang].size(), size);
        for (int other = 0; other < lang; ++other)
            EXPECT_NE(images[lang], images[other]) << lang << " and " << other;
        int white = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                white += images[lang].pixelColor(x, y).lightness() > 240;
        EXPECT_GT(white, 60) << "language " << lang;
    }
}
