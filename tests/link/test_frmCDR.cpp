// The link window on the in-memory port: sending, answer assembly by silence, acceptance, routing,
// the failure dialogs, port notifications, loading the stored preferences and closing.

#include "link/modComFun.h"
#include "monitor/frmLogdiag.h"
#include "platform/finetimer.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QPushButton>
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
    EXPECT_EQ(t.link().tmrNull->interval(), std::chrono::milliseconds(50));
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

    // A second request reuses the open port; a 10-byte one goes out as five pairs (once the
    // first one is over).
    t.link().tmrTimeOut->stop();
    t.link().failExchange("test");
    modComFun::BuildCommand(t.link(), 0, 17, 2, 0x0304);
    EXPECT_EQ(t.port->openCount, 1);
    ASSERT_EQ(t.port->writes.size(), 9);
    EXPECT_EQ(t.port->writes[4], QByteArray("\x11\x1E", 2));
    EXPECT_EQ(t.port->writes[6], QByteArray("\x02\x04", 2));
}

// One request at a time: a request made while another awaits its answer is held until that answer
// has been routed; bytes on the line before a request are discarded, never taken as its answer.
TEST_F(LinkTest, RequestsWaitForTheAnswerBeforeThemAndStaleBytesAreDiscarded)
{
    frmCDR& link = t.link();
    const std::uint64_t diag = modComFun::BuildCommand(link, modComFun::KindDiagData, 17, 1, 0);
    const std::uint64_t live = modComFun::BuildCommand(link, modComFun::KindLiveData, 17, 0, 0);
    EXPECT_NE(diag, live);
    EXPECT_EQ(t.port->written(), qbytes(modComFun::CommandFrame(modComFun::KindDiagData, 17, 1, 0)));
    EXPECT_EQ(link.heldCount(), 1);
    EXPECT_EQ(link.TxBuffer[1], modComFun::DiagData) << "a held frame must not overwrite the one on the line";

    std::uint64_t routedFor = 0;
    t.s().routes().route(modComFun::DiagData, "test", [&] { routedFor = link.answeredTicket(); });
    t.port->receive(qbytes(modComFun::AnswerFrame(17, modComFun::DiagData, {1, 2})));
    ASSERT_TRUE(TestSession::waitFor([&] { return link.heldCount() == 0; }, 2000));
    EXPECT_EQ(routedFor, diag);
    EXPECT_EQ(t.port->written().mid(8), qbytes(modComFun::CommandFrame(modComFun::KindLiveData, 17, 0, 0)));
    EXPECT_EQ(link.outstanding().ticket, live);
    EXPECT_TRUE(link.tmrTimeOut->isActive());

    // An answer that arrived after its time-out sits in the port, and a broken burst is half
    // collected, when the next request leaves: both are dropped, and the real answer is taken.
    link.responseMs = 60;
    link.tmrTimeOut->start(60);
    ASSERT_TRUE(TestSession::waitFor([&] { return !link.outstanding().open; }, 2000));
    t.port->receive(QByteArray("\x11\x1F\x05", 3));
    t.port->queueInput(qbytes(modComFun::AnswerFrame(17, modComFun::DiagData, {9, 9})));
    routedFor = 0;
    const std::uint64_t again = modComFun::BuildCommand(link, modComFun::KindDiagData, 17, 1, 0);
    EXPECT_EQ(link.RxCount, 0);
    EXPECT_EQ(t.port->bytesWaiting(), 0);
    t.port->receive(qbytes(modComFun::AnswerFrame(17, modComFun::DiagData, {7, 7})));
    ASSERT_TRUE(TestSession::waitFor([&] { return routedFor != 0; }, 2000));
    EXPECT_EQ(routedFor, again);
    EXPECT_EQ(link.RxBuffer[2], 7);
}

// Which answer fits which request: anything else, or an answer with nothing outstanding, is stale
// (dropped, the indicator stays yellow and the time-out keeps running); 86 ends any exchange.
TEST_F(LinkTest, OnlyAnAnswerThatFitsTheOutstandingRequestIsTaken)
{
    frmCDR& link = t.link();
    int stale = 0;
    QObject::connect(&link, &frmCDR::staleAnswer, [&] { ++stale; });
    t.s().routes().clear(modComFun::WriteImage);
    auto writeBlock = [&](std::uint8_t flag) {
        modComFun::SendFrame(link, modComFun::RequestFrame(17, modComFun::WriteImage, {1, flag, 0xAB, 0xCD, 0, 0}));
    };
    auto answer = [&](std::uint8_t code) {
        t.port->receive(qbytes(modComFun::AnswerFrame(17, code, {0, 0})));
        TestSession::pump(70);
    };
    const struct {
        std::function<void()> send;
        std::vector<std::uint8_t> staleCodes;
        std::uint8_t taken;
    } cases[] = {
        {[&] { sendIdentify(); }, {modComFun::TransferDone, modComFun::WriteRefused, 77, modComFun::ReadImage}, 86},
        {[&] { writeBlock(0); }, {modComFun::TransferDone, modComFun::Identify}, modComFun::WriteImage},
        {[&] { writeBlock(1); }, {modComFun::TransferDone}, modComFun::WriteRefused},
        {[&] { writeBlock(2); }, {modComFun::WriteImage}, modComFun::TransferDone},
        {[&] { modComFun::SendFrame(link, modComFun::RequestFrame(17, modComFun::PlotPoll, {1, 0})); }, {modComFun::TrimAck}, modComFun::PlotMark},
    };
    for (const auto& c : cases) {
        c.send();
        const int before = stale;
        for (std::uint8_t code : c.staleCodes) {
            t.start().SetLinkColour(65535);
            answer(code);
            EXPECT_TRUE(link.tmrTimeOut->isActive()) << int(code);
            EXPECT_EQ(t.start().shpXmit->FillColor(), 65535) << int(code);
        }
        EXPECT_EQ(stale - before, static_cast<int>(c.staleCodes.size()));
        answer(c.taken);
        EXPECT_FALSE(link.tmrTimeOut->isActive()) << int(c.taken);
        EXPECT_EQ(t.start().shpXmit->FillColor(), 65280) << int(c.taken);
    }
    // With nothing outstanding every answer is stale.
    answer(modComFun::Identify);
    EXPECT_EQ(t.s().MeterModel, 0);
    EXPECT_EQ(stale, 10);
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

// Broken, foreign and short answers are dropped, an answer past the buffer's end wraps to index 0.
TEST_F(LinkTest, WrongAnswersAreDropped)
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

    EXPECT_EQ(t.s().MeterModel, 0);

    // On a bus: node 3's answer while node 7 is addressed is refused; node 7's is taken.
    t.link().failExchange("next");
    t.s().NodeAddress = 7;
    modComFun::BuildCommand(t.link(), modComFun::KindIdentify, 7, 0, 0);
    t.port->receive(idAnswer(3));
    TestSession::pump(80);
    EXPECT_EQ(t.s().MeterModel, 0);
    t.port->receive(idAnswer(7));
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().MeterModel == 1; }, 3000));
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

TEST_F(LinkTest, TimeoutOffersOfflineWorkAndALateAnswerIsDropped)
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

    // The answer that comes after its time-out is stale: nothing is routed.
    t.port->receive(idAnswer());
    TestSession::pump(80);
    EXPECT_EQ(t.s().MeterModel, 0);
    EXPECT_EQ(t.port->written().size(), 16) << "a late identification started an image read";
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

// A port lost under a running diagnostics log is told once: the log keeps its period and tries
// again silently, its caption says since when the port is lost, and it goes on by itself once the
// port opens again. A request the user makes still asks.
TEST_F(LinkTest, ALostPortIsToldOnceAndPollingResumesByItself)
{
    frmLogdiag& diag = t.s().windows().get<frmLogdiag>();
    diag.show();
    ui::pick(diag.cmbUpdate, 0); // 50 ms
    int failed = 0;
    QObject::connect(&t.link(), &frmCDR::sendFailed, [&] { ++failed; });
    t.dialogs->answers = {Answer::No, Answer::OK};
    ui::click(diag.cmdStart);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.port->writes.size() >= 3; }, 2000));
    const QString caption = diag.windowTitle();
    t.dialogs->asked.clear();

    // The adapter goes away while a poll is out: one box, no time-out behind it.
    t.port->close();
    t.port->failOpen = true;
    t.port->notify(SerialDevice::ErDeviceLost, "The serial port fake1 went away.");
    TestSession::pump(600);
    EXPECT_EQ(t.dialogs->transcript(), QStringList{"Click Cancel to quit, OK to ignore.: The serial port fake1 went away."});
    EXPECT_GT(failed, 4) << "the log stopped trying";
    EXPECT_TRUE(diag.windowTitle().startsWith(caption + " - serial port lost since "));
    EXPECT_TRUE(t.link().portLostSince().isValid());

    // Back: the next tick opens the port and polls on.
    t.port->failOpen = false;
    const qsizetype before = t.port->writes.size();
    ASSERT_TRUE(TestSession::waitFor([&] { return t.port->writes.size() > before; }, 2000));
    EXPECT_EQ(diag.windowTitle(), caption);
    EXPECT_EQ(t.dialogs->asked.size(), 1);
    ui::click(diag.cmdStart); // pause

    // A request of the user's own on a lost port is answered with the question, each time.
    t.port->close();
    t.port->failOpen = true;
    t.dialogs->answers = {Answer::OK, Answer::No, Answer::No};
    t.port->notify(SerialDevice::ErDeviceLost, "The serial port fake1 went away.");
    EXPECT_FALSE(t.link().outstanding().open);
    sendIdentify();
    sendIdentify();
    EXPECT_EQ(t.dialogs->transcript().mid(2), QStringList(2, "No Com Port Found: Work Offline?"));
}

// A request the user gave up (Stop Reading): its time-out asks nothing and lets the request held
// behind it go out; its answer, had it come, would have been awaited as before.
TEST_F(LinkTest, AnAbandonedRequestTimesOutWithoutAQuestion)
{
    frmCDR& link = t.link();
    link.responseMs = 60;
    int timedOut = 0;
    QObject::connect(&link, &frmCDR::timedOut, [&] { ++timedOut; });
    sendIdentify();
    link.abandonOutstanding();
    EXPECT_TRUE(link.outstanding().open);
    modComFun::BuildCommand(link, modComFun::KindReadImage, 17, 0, 0);
    ASSERT_EQ(link.heldCount(), 1);
    ASSERT_TRUE(TestSession::waitFor([&] { return link.heldCount() == 0; }, 2000));
    EXPECT_EQ(link.outstanding().code, modComFun::ReadImage);
    EXPECT_EQ(t.port->written().right(8), qbytes(modComFun::CommandFrame(modComFun::KindReadImage, 17, 0, 0)));
    EXPECT_TRUE(t.dialogs->asked.isEmpty());
    EXPECT_EQ(timedOut, 0);
    // The next request's own time-out asks as always.
    ASSERT_TRUE(TestSession::waitFor([&] { return !t.dialogs->asked.isEmpty(); }, 2000));
    EXPECT_EQ(timedOut, 1);
}

// Early end of answer: a whole answer of good CRC ends after 3.5 characters of silence; a burst
// that is not whole yet, or has a bad CRC, still waits for the 50 ms; a request asked for while
// bytes are still coming leaves once the line has been quiet that long.
TEST_F(LinkTest, EarlyEndTakesAWholeAnswerAtOnceAndLeavesAnyOtherBurstToTheSilence)
{
    frmCDR& link = t.link();
    EXPECT_EQ(link.quietTime(), std::chrono::nanoseconds(3'645'833)) << "3.5 x 10 bits at 9600 baud";
    link.MSComm1->setSettings("115200,n,8,1", nullptr);
    EXPECT_EQ(link.quietTime(), std::chrono::microseconds(1750)) << "never shorter";
    link.MSComm1->setSettings("9600,n,8,1", nullptr);

    int taken = 0;
    t.s().routes().route(modComFun::DiagData, "test", [&] { ++taken; });
    auto poll = [&] { modComFun::BuildCommand(link, modComFun::KindDiagData, 17, 1, 0); };
    const QByteArray answer = qbytes(modComFun::AnswerFrame(17, modComFun::DiagData, {1, 2, 3, 4, 5, 6}));

    // Off: a whole answer waits for the silence.
    poll();
    t.port->receive(answer);
    EXPECT_FALSE(link.tmrEnd->isActive());
    ASSERT_TRUE(TestSession::waitFor([&] { return taken == 1; }, 2000));

    // On: the first part of a split answer arms only the silence, the whole answer the early end,
    // which takes it by itself.
    link.EarlyEnd = true;
    poll();
    t.port->receive(answer.left(5));
    EXPECT_FALSE(link.tmrEnd->isActive());
    EXPECT_TRUE(link.tmrNull->isActive());
    t.port->receive(answer.mid(5));
    ASSERT_TRUE(link.tmrEnd->isActive());
    EXPECT_EQ(link.tmrEnd->interval(), link.quietTime());
    link.tmrNull->stop();
    ASSERT_TRUE(TestSession::waitFor([&] { return taken == 2; }, 2000));
    EXPECT_FALSE(link.tmrTimeOut->isActive());

    // A burst with a bad CRC is refused after the silence, as before.
    poll();
    QByteArray bad = answer;
    bad[bad.size() - 1] = static_cast<char>(bad.back() ^ 0x01);
    t.port->receive(bad);
    EXPECT_FALSE(link.tmrEnd->isActive());
    TestSession::pump(80);
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(link.RxCount, 0);
    EXPECT_TRUE(link.tmrTimeOut->isActive());

    // Stray bytes a moment ago: the next request is outstanding at once but leaves only after the
    // quiet time (318 ms at 110 baud: no stall of a busy machine outlasts it); the strays are
    // dropped, not taken as its answer.
    link.failExchange("next");
    link.MSComm1->setSettings("110,n,8,1", nullptr);
    const int written = static_cast<int>(t.port->written().size());
    t.port->receive(answer.left(3));
    poll();
    EXPECT_TRUE(link.outstanding().open);
    EXPECT_EQ(t.port->written().size(), written);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.port->written().size() == written + 8; }, 2000));
    EXPECT_EQ(link.RxCount, 0);
    t.port->receive(answer);
    ASSERT_TRUE(TestSession::waitFor([&] { return taken == 3; }, 2000));
}
