// End to end over a real pseudo-terminal: the test plays the meter on the master side; the tool
// runs its start window, link window, QSerialPort and real timers on the slave side.

#include "link/modComFun.h"
#include "support/fakesession.h"
#include "support/pty.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
QByteArray qbytes(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}
} // namespace

TEST(IdentifyOverPty, MeterAnswersAndTheFirstImageBlockIsRequested)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", pty.slavePath());
    frmStart& w = t.start();
    w.show();

    QTest::mouseClick(w.imgSetup[1], Qt::LeftButton);
    const QByteArray request = pty.read(8, 2000);
    EXPECT_EQ(request, qbytes(modComFun::CommandFrame(3, 17, 0, 0)));
    EXPECT_EQ(request.toHex(' ').left(11), "11 22 ef cd");
    EXPECT_EQ(w.shpXmit->FillColor(), 65535);

    const QByteArray answer = qbytes(modComFun::AnswerFrame(17, 34, {0x00, 0x00, 1, 5, 0x39, 0x30}));
    pty.write(answer.left(4));
    TestSession::pump(15);
    pty.write(answer.mid(4));

    const QByteArray next = pty.read(8, 2000);
    EXPECT_EQ(next, qbytes(modComFun::CommandFrame(2, 17, 0, 0)));
    EXPECT_EQ(t.s().MeterModel, 1);
    EXPECT_EQ(t.s().FirmwareVersion, 5);
    EXPECT_EQ(t.s().SerialNumber, 12345);
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
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
    ASSERT_TRUE(TestSession::waitFor([&] { return !silent.dialogs->asked.isEmpty(); }, 800));
    EXPECT_EQ(silent.dialogs->asked[0].text, "Work Offline?");
    EXPECT_EQ(silent.dialogs->asked[0].title, "Communication Failed");
    EXPECT_TRUE(silent.start().isVisible());
    EXPECT_EQ(missing.dialogs->asked.size(), 1);
}

TEST(IdentifyOverPty, PortThatGoesAwayIsReportedOnceByName)
{
    auto pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty->ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", pty->slavePath());
    t.dialogs->answers = {DialogService::Answer::OK};
    modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
    ASSERT_EQ(pty->read(8, 1000).size(), 8);
    const QString device = pty->slavePath();
    pty.reset(); // the far end closes

    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 2000));
    TestSession::pump(200);
    t.link().tmrTimeOut->stop();
    ASSERT_EQ(t.dialogs->count(t.dialogs->asked[0].text, "Click Cancel to quit, OK to ignore."), 1)
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_TRUE(t.dialogs->asked[0].text.contains(device)) << t.dialogs->asked[0].text.toStdString();
    EXPECT_FALSE(t.link().MSComm1->isOpen());
}
