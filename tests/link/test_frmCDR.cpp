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
    // Parts 15 ms apart are one answer; a tail that arrived without its notification joins it.
    sendIdentify();
    const QByteArray answer = idAnswer();
    t.port->receive(answer.left(3));
    TestSession::pump(15);
    t.port->receive(answer.mid(3, 3));
    TestSession::pump(15);
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

TEST_F(LinkTest, BrokenForeignAndShortAnswersAreDropped)
{
    sendIdentify();
    QByteArray badCrc = idAnswer();
    badCrc[badCrc.size() - 1] = static_cast<char>(badCrc.back() ^ 0x01);
    QByteArray reversed = idAnswer();
    std::swap(reversed[reversed.size() - 1], reversed[reversed.size() - 2]);
    const QByteArray candidates[] = {badCrc, reversed, idAnswer(18), QByteArray("\x11\x22", 2)};
    for (const QByteArray& c : candidates) {
        t.port->receive(c);
        TestSession::pump(80);
        EXPECT_EQ(t.s().MeterModel, 0);
        EXPECT_EQ(t.link().RxCount, 0);
    }
    EXPECT_TRUE(t.link().tmrTimeOut->isActive());
    EXPECT_EQ(t.start().shpXmit->FillColor(), 65535);
    EXPECT_TRUE(t.dialogs->asked.isEmpty());
}

TEST_F(LinkTest, AnswersLongerThanTheBufferWrap)
{
    sendIdentify();
    // 256 bytes of a well-formed answer fill indexes 0..255 and leave nothing to process.
    std::vector<std::uint8_t> payload(252, 0x5A);
    payload[2] = 1;
    const QByteArray a256 = qbytes(modComFun::AnswerFrame(17, modComFun::Identify, payload));
    ASSERT_EQ(a256.size(), 256);
    t.port->receive(a256);
    EXPECT_EQ(t.link().RxCount, 0);
    TestSession::pump(80);
    EXPECT_EQ(t.s().MeterModel, 0);

    // 257 bytes: the last one lands on index 0 and the burst is too short to be an answer.
    QByteArray a257 = a256;
    a257.append('\x42');
    t.port->receive(a257);
    EXPECT_EQ(t.link().RxCount, 1);
    EXPECT_EQ(t.link().RxBuffer[0], 0x42);
    TestSession::pump(80);
    EXPECT_EQ(t.s().MeterModel, 0);
    EXPECT_TRUE(t.link().tmrTimeOut->isActive());
}

TEST_F(LinkTest, CodesWithoutAHandlerStopTheTimeoutAndTurnTheIndicatorGreen)
{
    for (std::uint8_t code : {std::uint8_t(37), std::uint8_t(93), std::uint8_t(77)}) {
        sendIdentify();
        t.port->receive(qbytes(modComFun::AnswerFrame(17, code, {1, 2, 3})));
        TestSession::pump(80);
        EXPECT_FALSE(t.link().tmrTimeOut->isActive()) << int(code);
        EXPECT_EQ(t.start().shpXmit->FillColor(), 65280) << int(code);
    }
    EXPECT_EQ(t.s().MeterModel, 0);
}

TEST_F(LinkTest, MissingPortOffersOfflineWorkWithoutATimeoutAfterwards)
{
    t.port->failOpen = true;
    t.dialogs->answers = {DialogService::Answer::No, DialogService::Answer::Yes};
    sendIdentify();
    ASSERT_EQ(t.dialogs->asked.size(), 1);
    EXPECT_EQ(t.dialogs->asked[0].text, "Work Offline?");
    EXPECT_EQ(t.dialogs->asked[0].title, "No Com Port Found");
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
    t.dialogs->answers = {DialogService::Answer::Yes};
    sendIdentify();
    EXPECT_EQ(t.dialogs->count("Work Offline?", "No Com Port Found"), 3);
    EXPECT_FALSE(t.link().tmrTimeOut->isActive());
}

TEST_F(LinkTest, TimeoutOffersOfflineWorkAndALateAnswerIsStillRouted)
{
    t.link().responseMs = 100;
    t.dialogs->answers = {DialogService::Answer::No, DialogService::Answer::Yes};
    t.start().hide();
    sendIdentify();
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 1000));
    EXPECT_EQ(t.dialogs->asked[0].text, "Work Offline?");
    EXPECT_EQ(t.dialogs->asked[0].title, "Communication Failed");
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
    t.dialogs->answers = {DialogService::Answer::OK};
    sendIdentify();
    t.port->notify(SerialDevice::ErFrame);
    EXPECT_EQ(t.link().Status, "Status: Framing Error");
    ASSERT_EQ(t.dialogs->asked.size(), 1);
    EXPECT_EQ(t.dialogs->asked[0].text, "Framing Error");
    EXPECT_EQ(t.dialogs->asked[0].title, "Click Cancel to quit, OK to ignore.");
    EXPECT_EQ(t.dialogs->asked[0].buttons, DialogService::Buttons::OKCancel);
    EXPECT_EQ(t.dialogs->beeps, 1);
    EXPECT_TRUE(t.port->isOpen());

    // Data afterwards brings no second box.
    t.port->receive(QByteArray("\x01", 1));
    EXPECT_EQ(t.dialogs->asked.size(), 1);

    t.port->notify(SerialDevice::EvCTS);
    EXPECT_EQ(t.link().Status, "Status: Change in CTS Detected");
    EXPECT_EQ(t.dialogs->asked.size(), 1);
    t.port->notify(SerialDevice::EvRing);
    EXPECT_EQ(t.link().Status, "Status: The Phone is Ringing");

    const std::pair<int, const char*> errors[] = {
        {1001, "Break Received"},         {1002, "CTS Timeout"},  {1003, "DSR Timeout"},
        {1006, "Overrun Error"},          {1007, "Carrier Detect Timeout"},
        {1008, "Receive Buffer Overflow"}, {1009, "Parity Error"}, {1010, "Transmit Buffer Full"},
        {1011, "Error retrieving DCB"},   {1234, "Unknown error or event"}};
    for (const auto& [code, text] : errors) {
        t.dialogs->answers = {DialogService::Answer::OK};
        t.port->notify(code);
        EXPECT_EQ(t.dialogs->asked.back().text, text);
    }

    // Cancel closes the port; a device that went away is named in its box.
    t.dialogs->answers = {DialogService::Answer::Cancel};
    t.port->notify(SerialDevice::ErDeviceLost, "The serial port /dev/ttyUSB0 is no longer available");
    EXPECT_EQ(t.dialogs->asked.back().text, "The serial port /dev/ttyUSB0 is no longer available");
    EXPECT_FALSE(t.port->isOpen());
    // The next request opens it again.
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

TEST(LinkLoading, StoredPreferencesAreAppliedUntilOneIsRejected)
{
    {
        TestSession t;
        SettingsStore& store = t.s().settings();
        store.setValue("Properties", "Settings", "19200,E,7,1.5");
        store.setValue("Properties", "CommPort", "3");
        store.setValue("Properties", "Handshaking", "2");
        store.setValue("Properties", "Echo", "True");
        t.link();
        EXPECT_EQ(t.port->settings(), "19200,e,7,1.5");
        EXPECT_EQ(t.port->portNumber(), 3);
        EXPECT_EQ(t.port->handshaking(), 2);
        EXPECT_EQ(t.link().Echo, "True");
        EXPECT_TRUE(t.dialogs->asked.isEmpty());
        EXPECT_FALSE(t.port->isOpen()) << "loading never opens the port";
    }
    {
        TestSession t;
        SettingsStore& store = t.s().settings();
        store.setValue("Properties", "Settings", "fast");
        store.setValue("Properties", "CommPort", "4");
        t.link();
        ASSERT_EQ(t.dialogs->asked.size(), 1);
        EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Exclamation);
        EXPECT_TRUE(t.dialogs->asked[0].text.contains("fast"));
        EXPECT_EQ(t.port->portNumber(), 1) << "loading stops at a rejected settings text";
    }
    {
        TestSession t;
        t.s().settings().setValue("Properties", "Handshaking", "7");
        t.s().settings().setValue("Properties", "Echo", "True");
        t.link();
        ASSERT_EQ(t.dialogs->asked.size(), 1);
        EXPECT_EQ(t.port->handshaking(), 0);
        EXPECT_TRUE(t.link().Echo.isEmpty());
    }
}

TEST(LinkClosing, StopComDrainsClosesAndEnds)
{
    {
        TestSession t;
        std::int16_t cancel = 0;
        t.link().Stop_COM(cancel);
        EXPECT_EQ(t.ended, 1);
        EXPECT_EQ(cancel, 0);
    }
    {
        TestSession t;
        modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
        t.link().drainMs = 40;
        t.port->queued = 8;
        t.dialogs->answers = {DialogService::Answer::Abort};
        std::int16_t cancel = 0;
        t.link().Stop_COM(cancel);
        EXPECT_EQ(cancel, -1);
        EXPECT_EQ(t.ended, 0);
        EXPECT_TRUE(t.port->isOpen());
        ASSERT_EQ(t.dialogs->asked.size(), 1);
        EXPECT_EQ(t.dialogs->asked[0].text, "Data cannot be sent");
        EXPECT_EQ(t.dialogs->asked[0].buttons, DialogService::Buttons::AbortRetryIgnore);

        t.dialogs->answers = {DialogService::Answer::Retry, DialogService::Answer::Ignore};
        cancel = 0;
        t.link().Stop_COM(cancel);
        EXPECT_EQ(t.dialogs->asked.size(), 3);
        EXPECT_EQ(cancel, 0);
        EXPECT_FALSE(t.port->isOpen());
        EXPECT_EQ(t.ended, 1);
    }
    {
        // The queue drains while Stop_COM waits.
        TestSession t;
        modComFun::BuildCommand(t.link(), 3, 17, 0, 0);
        t.port->queued = 8;
        QTimer::singleShot(30, [&] { t.port->queued = 0; });
        std::int16_t cancel = 0;
        t.link().Stop_COM(cancel);
        EXPECT_TRUE(t.dialogs->asked.isEmpty());
        EXPECT_EQ(t.ended, 1);
        EXPECT_FALSE(t.port->isOpen());
    }
}
