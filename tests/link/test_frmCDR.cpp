// The link window on the in-memory port: sending, answer assembly by silence, acceptance, routing,
// the failure dialogs, port notifications, loading the stored preferences and closing.

#include "link/modComFun.h"
#include "support/bytes.h"
#include "support/fakesession.h"

#include <QRandomGenerator>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using testbytes::qbytes;
using Answer = DialogService::Answer;

// The identification answer: model 1, version 5, serial 12345.
QByteArray idAnswer(std::uint8_t node = 17)
{
    return qbytes(modComFun::AnswerFrame(node, modComFun::Identify, {0xAA, 0xBB, 1, 5, 0x39, 0x30}));
}

struct LinkTest : ::testing::Test {
    TestSession t;
    void SetUp() override
    {
        t.start();
        t.link();
        ASSERT_NE(t.port, nullptr);
    }
    void sendIdentify() { modComFun::BuildCommand(t.link(), 3, 17, 0, 0); }
};

} // namespace

TEST_F(LinkTest, RequestIsWrittenInPairsAndArmsTheTimeout)
{
    EXPECT_FALSE(t.link().tmrTimeOut->isActive());
    EXPECT_EQ(t.link().tmrTimeOut->interval(), 3000);
    EXPECT_EQ(t.link().tmrNull->interval(), 50);
    sendIdentify();
    const QByteArray expected = qbytes(modComFun::CommandFrame(3, 17, 0, 0));
    ASSERT_EQ(t.port->writes.size(), 4);
    for (const QByteArray& w : t.port->writes)
        EXPECT_EQ(w.size(), 2);
    EXPECT_EQ(t.port->written(), expected);
    EXPECT_EQ(t.port->openCount, 1);
    EXPECT_EQ(t.start().shpXmit->FillColor(), 65535);
    EXPECT_TRUE(t.link().tmrTimeOut->isActive());
    EXPECT_EQ(t.link().TxLength, 8);

    // A second request reuses the open port; a 10-byte one goes out as five pairs.
    modComFun::BuildCommand(t.link(), 0, 17, 2, 0x0304);
    EXPECT_EQ(t.port->openCount, 1);
    ASSERT_EQ(t.port->writes.size(), 9);
    EXPECT_EQ(t.port->writes[4], QByteArray("\x11\x1E", 2));
    EXPECT_EQ(t.port->writes[6], QByteArray("\x02\x04", 2));
}

TEST_F(LinkTest, AnswerIsAssembledUntilFiftyMillisecondsOfSilenceAndRoutedToRcvID)
{
    // Parts arriving one after another are one answer; a tail that arrived without its
    // notification joins it. (Short pumps: a stalled machine must not make a 50 ms gap.)
    sendIdentify();
    const QByteArray answer = idAnswer();
    t.port->receive(answer.left(3));
    TestSession::pump(1);
    t.port->receive(answer.mid(3, 3));
    TestSession::pump(1);
    t.port->receive(answer.mid(6, 1));
    t.port->queueInput(answer.mid(7));
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().MeterModel != 0; }, 3000));
    EXPECT_EQ(t.s().MeterModel, 1);
    EXPECT_EQ(t.s().FirmwareVersion, 5);
    EXPECT_EQ(t.s().SerialNumber, 12345);
    EXPECT_EQ(t.link().RxCount, 0);
    // RcvID asks for the first image block at once: 17, 32, access code, 0, 0, CRC.
    EXPECT_EQ(t.port->written().right(8), qbytes(modComFun::CommandFrame(2, 17, 0, 0)));
    EXPECT_TRUE(t.link().tmrTimeOut->isActive());

    // 90 ms of silence splits an answer into two candidates, each failing its CRC.
    t.s().MeterModel = 0;
    t.start().SetLinkColour(65535);
    t.port->receive(answer.left(5));
    TestSession::pump(90);
    EXPECT_EQ(t.link().RxCount, 0) << "the first part was taken as an answer of its own";
    t.port->receive(answer.mid(5));
    TestSession::pump(90);
    EXPECT_EQ(t.s().MeterModel, 0);
    EXPECT_TRUE(t.link().tmrTimeOut->isActive());
    EXPECT_EQ(t.start().shpXmit->FillColor(), 65535);
}

// Broken, foreign and short answers are dropped, an answer past the buffer's end wraps to index 0;
// a code without a handler ends the wait and turns the indicator green.
TEST_F(LinkTest, WrongAnswersAreDroppedAndUnhandledCodesEndTheWait)
{
    sendIdentify();
    QByteArray badCrc = idAnswer(), reversed = idAnswer();
    badCrc[badCrc.size() - 1] = static_cast<char>(badCrc.back() ^ 0x01);
    std::swap(reversed[reversed.size() - 1], reversed[reversed.size() - 2]);
    for (const QByteArray& c : {badCrc, reversed, idAnswer(18), QByteArray("\x11\x22", 2)}) {
        t.port->receive(c);
        TestSession::pump(80);
        EXPECT_EQ(t.link().RxCount, 0);
    }
    // 256 bytes of a well-formed answer fill indexes 0..255 and leave nothing to process; with a
    // 257th byte that byte lands on index 0, too short to be an answer.
    std::vector<std::uint8_t> payload(252, 0x5A);
    payload[2] = 1;
    const QByteArray a256 = qbytes(modComFun::AnswerFrame(17, modComFun::Identify, payload));
    ASSERT_EQ(a256.size(), 256);
    t.port->receive(a256);
    EXPECT_EQ(t.link().RxCount, 0);
    TestSession::pump(80);
    t.port->receive(a256 + '\x42');
    EXPECT_EQ(t.link().RxCount, 1);
    EXPECT_EQ(t.link().RxBuffer[0], 0x42);
    TestSession::pump(80);
    EXPECT_EQ(t.s().MeterModel, 0);
    EXPECT_TRUE(t.link().tmrTimeOut->isActive());
    EXPECT_EQ(t.start().shpXmit->FillColor(), 65535);
    EXPECT_TRUE(t.dialogs->asked.isEmpty());

    for (int code : {37, 93, 77}) {
        sendIdentify();
        t.port->receive(qbytes(modComFun::AnswerFrame(17, static_cast<std::uint8_t>(code), {1, 2, 3})));
        TestSession::pump(80);
        EXPECT_FALSE(t.link().tmrTimeOut->isActive()) << code;
        EXPECT_EQ(t.start().shpXmit->FillColor(), 65280) << code;
    }
    EXPECT_EQ(t.s().MeterModel, 0);
}

TEST_F(LinkTest, MissingPortOffersOfflineWorkWithoutATimeoutAfterwards)
{
    const QString offline = "No Com Port Found: Work Offline?";
    t.port->failOpen = true;
    t.dialogs->answers = {Answer::No, Answer::Yes};
    sendIdentify();
    ASSERT_EQ(t.dialogs->transcript(), QStringList{offline});
    EXPECT_EQ(t.dialogs->asked[0].buttons, DialogService::Buttons::YesNo);
    EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Question);
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_EQ(t.s().OfflineMode, 0);
    EXPECT_FALSE(t.link().tmrTimeOut->isActive());
    EXPECT_TRUE(t.port->writes.isEmpty());
    EXPECT_EQ(t.link().Status, "Status: Invalid Port Number");

    sendIdentify();
    EXPECT_EQ(t.s().OfflineMode, 6);
    EXPECT_FALSE(t.link().tmrTimeOut->isActive());
    // A port that opens but refuses the frame takes the same path.
    t.port->failOpen = false;
    t.port->failWrite = true;
    t.dialogs->answers = {Answer::Yes};
    sendIdentify();
    EXPECT_EQ(t.dialogs->transcript(), QStringList(3, offline));
    EXPECT_FALSE(t.link().tmrTimeOut->isActive());
}

TEST_F(LinkTest, TimeoutOffersOfflineWorkAndALateAnswerIsStillRouted)
{
    t.link().responseMs = 100;
    t.dialogs->answers = {Answer::No, Answer::Yes};
    t.start().hide();
    sendIdentify();
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 1000));
    EXPECT_EQ(t.dialogs->transcript(), QStringList{"Communication Failed: Work Offline?"});
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_EQ(t.s().OfflineMode, 0);
    EXPECT_FALSE(t.link().tmrTimeOut->isActive());

    sendIdentify();
    ASSERT_TRUE(TestSession::waitFor([&] { return t.dialogs->asked.size() == 2; }, 1000));
    EXPECT_EQ(t.s().OfflineMode, 6);
    TestSession::pump(250);
    EXPECT_EQ(t.dialogs->asked.size(), 2) << "the time-out repeated itself";

    t.port->receive(idAnswer());
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().MeterModel == 1; }, 3000));
}

TEST_F(LinkTest, PortNotificationsShowTheirTextsOnce)
{
    t.dialogs->answers = {Answer::OK};
    sendIdentify();
    t.port->notify(SerialDevice::ErFrame);
    EXPECT_EQ(t.link().Status, "Status: Framing Error");
    ASSERT_EQ(t.dialogs->transcript(), QStringList{"Click Cancel to quit, OK to ignore.: Framing Error"});
    EXPECT_EQ(t.dialogs->asked[0].buttons, DialogService::Buttons::OKCancel);
    EXPECT_EQ(t.dialogs->beeps, 1);
    EXPECT_TRUE(t.port->isOpen());

    // Data afterwards and events bring no second box.
    t.port->receive(QByteArray("\x01", 1));
    t.port->notify(SerialDevice::EvCTS);
    EXPECT_EQ(t.link().Status, "Status: Change in CTS Detected");
    t.port->notify(SerialDevice::EvRing);
    EXPECT_EQ(t.link().Status, "Status: The Phone is Ringing");
    EXPECT_EQ(t.dialogs->asked.size(), 1);

    const std::pair<int, const char*> errors[] = {
        {1001, "Break Received"},         {1002, "CTS Timeout"},  {1003, "DSR Timeout"},
        {1006, "Overrun Error"},          {1007, "Carrier Detect Timeout"},
        {1008, "Receive Buffer Overflow"}, {1009, "Parity Error"}, {1010, "Transmit Buffer Full"},
        {1011, "Error retrieving DCB"},   {1234, "Unknown error or event"}};
    for (const auto& [code, text] : errors) {
        t.dialogs->answers = {Answer::OK};
        t.port->notify(code);
        EXPECT_EQ(t.dialogs->asked.back().text, text);
    }

    // Cancel closes the port; a device that went away is named in its box. The next request opens it again.
    t.dialogs->answers = {Answer::Cancel};
    t.port->notify(SerialDevice::ErDeviceLost, "The serial port /dev/ttyUSB0 is no longer available");
    EXPECT_EQ(t.dialogs->asked.back().text, "The serial port /dev/ttyUSB0 is no longer available");
    EXPECT_FALSE(t.port->isOpen());
    sendIdentify();
    EXPECT_TRUE(t.port->isOpen());
    EXPECT_EQ(t.port->openCount, 2);
}

TEST_F(LinkTest, AnyBytesOnTheLineLeaveTheLinkWorking)
{
    QRandomGenerator rng(20261206);
    sendIdentify();
    for (int burst = 0; burst < 60; ++burst) {
        QByteArray junk(rng.bounded(1, 700), Qt::Uninitialized);
        for (char& c : junk)
            c = static_cast<char>(rng.bounded(256));
        if (burst % 3 == 0)
            junk[0] = 17; // looks like an answer to us
        for (qsizetype off = 0; off < junk.size();) {
            const qsizetype n = std::min<qsizetype>(rng.bounded(1, 80), junk.size() - off);
            t.port->receive(junk.mid(off, n));
            off += n;
            EXPECT_LT(t.link().RxCount, 256);
        }
        TestSession::pump(burst % 10 == 0 ? 70 : 2);
    }
    TestSession::pump(70);
    t.s().MeterModel = 0;
    t.port->receive(idAnswer());
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().MeterModel == 1; }, 3000));
}

// Loading applies the stored preferences in turn until one is rejected, and never opens the port.
TEST(LinkLoading, StoredPreferencesAreAppliedUntilOneIsRejected)
{
    const struct {
        QStringList stored; // Settings, CommPort, Handshaking, Echo; "" for none
        QString settings;
        int port, handshaking;
        QString echo, told; // part of the box's text, "" for no box
    } cases[] = {
        {{"19200,E,7,1.5", "3", "2", "True"}, "19200,e,7,1.5", 3, 2, "True", ""},
        {{"fast", "4", "", ""}, "9600,n,8,1", 1, 0, "", "fast"},
        {{"", "", "7", "True"}, "9600,n,8,1", 1, 0, "", "Invalid property value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.join(' ').toStdString());
        TestSession t;
        const char* keys[] = {"Settings", "CommPort", "Handshaking", "Echo"};
        for (int i = 0; i < 4; ++i)
            if (!c.stored[i].isEmpty())
                t.s().settings().setValue("Properties", keys[i], c.stored[i]);
        t.link();
        EXPECT_EQ(t.port->settings(), c.settings);
        EXPECT_EQ(t.port->portNumber(), c.port);
        EXPECT_EQ(t.port->handshaking(), c.handshaking);
        EXPECT_EQ(t.link().Echo, c.echo);
        EXPECT_FALSE(t.port->isOpen());
        ASSERT_EQ(t.dialogs->asked.size(), c.told.isEmpty() ? 0 : 1);
        if (!c.told.isEmpty()) {
            EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Exclamation);
            EXPECT_TRUE(t.dialogs->asked[0].text.contains(c.told)) << t.dialogs->asked[0].text.toStdString();
        }
    }
}

// Closing the start window: with no port open the program ends at once; a port whose queue drains
// while it waits is closed; one that does not drain asks, and Abort keeps the window and the port.
TEST(LinkClosing, ClosingTheStartWindowDrainsClosesAndEnds)
{
    TestSession t;
    frmStart& w = t.start();
    w.show();
    EXPECT_TRUE(w.close());
    EXPECT_EQ(t.ended, 1);

    w.show();
    modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
    t.port->queued = 8;
    QTimer::singleShot(30, [&] { t.port->queued = 0; });
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(t.dialogs->asked.isEmpty());
    EXPECT_FALSE(t.port->isOpen());
    EXPECT_EQ(t.ended, 2);

    w.show();
    modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
    ASSERT_TRUE(t.port->isOpen());
    t.link().drainMs = 40;
    t.port->queued = 8;
    t.dialogs->answers = {Answer::Abort};
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(t.ended, 2);
    EXPECT_TRUE(t.port->isOpen());
    ASSERT_EQ(t.dialogs->transcript(), QStringList{": Data cannot be sent"});
    EXPECT_EQ(t.dialogs->asked[0].buttons, DialogService::Buttons::AbortRetryIgnore);

    t.dialogs->answers = {Answer::Retry, Answer::Ignore};
    EXPECT_TRUE(w.close());
    EXPECT_EQ(t.dialogs->asked.size(), 3);
    EXPECT_FALSE(t.port->isOpen());
    EXPECT_EQ(t.ended, 3);
}
