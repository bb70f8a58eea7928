// The current-loop outputs window and the output trim, headless through their controls on the
// simulator's factory image (loop 1 on, actual flow of channel A up to 2e-4 m^3/s; loop 2 off),
// with the meter played on the in-memory line.

#include "analogio/frmAnalogOUT.h"
#include "analogio/frmTrim.h"
#include "dialogs/frmDiscard.h"
#include "meterdata/frmConfig.h"
#include "support/bytes.h"
#include "support/channelsession.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

using namespace testbytes;

namespace {

struct Loops : ::testing::Test {
    ChannelSession c;
    frmConfig& menu = c.win<frmConfig>();
    frmAnalogOUT* a = nullptr;

    // Opens the loop window from the menu after the image read and `edit` of the cells.
    void open(const std::function<void()>& edit = {})
    {
        menu.show();
        menu.Free_input();
        if (edit)
            edit();
        ui::click(menu.imgCurent);
        a = &c.win<frmAnalogOUT>();
        ASSERT_TRUE(a->isVisible() && !menu.isVisible());
    }
    modData::LoopRecord& loop(int n) { return c.s().LoopCells[n == 1 ? 3 : 2]; }
    // The texts of the named lists and boxes, joined by "|".
    QString shown(std::initializer_list<const char*> names)
    {
        QStringList texts;
        for (const char* n : names) {
            QObject* w = a->findChild<QObject*>(n);
            auto* combo = qobject_cast<QComboBox*>(w);
            texts << (combo ? combo->currentText() : ui::ctl<QLineEdit>(*a, n)->text());
        }
        return texts.join('|');
    }
    void slot(int i) { ui::click(ui::ctl<QRadioButton>(*a, QStringLiteral("optSlot_%1").arg(i))); }
    void check(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }
    frmDiscard& prompt() { return c.win<frmDiscard>(); }
    // A loop's converter counts, high/low.
    std::string counts(int n) { return std::to_string(loop(n).DacHigh.u) + "/" + std::to_string(loop(n).DacLow.u); }
    std::vector<std::uint8_t> loopBytes(int n)
    {
        const auto image = c.encoded();
        const auto first = image.begin() + loop(n).LoopStatus.offset;
        return {first, first + modData::LoopRecord::Bytes};
    }
};

// A trim request as the meter must receive it.
QByteArray trim(int loop, int counts, int end)
{
    const auto b = [](int v) { return static_cast<std::uint8_t>(v); };
    return qbytes(withCrc({17, 46, 0xEF, 0xCD, b(loop), b(counts & 0xFF), b(counts >> 8), b(end), 0, 0}));
}

// The meter's acknowledgement, handed to the link's checks and routes.
void ack(frmCDR& link, std::uint8_t code) { TestSession::deliver(link, withCrc({17, code, 0, 0, 0, 0})); }

} // namespace

TEST_F(Loops, LoadUnitsAndBackStoreTheShownLoop)
{
    std::vector<std::uint8_t> before;
    open([&] {
        loop(1).LoopParam.u = 7; // no quantity of the list: shown as actual flow
        loop(1).OutMin.f = 0.001f;
        loop(1).OutMax.f = 0.5f;
        before = c.encoded();
    });
    EXPECT_EQ(shown({"cmbParam", "cmbUnit", "txtLoFloat", "txtHifloat", "cmbChan", "cmbErrHand", "txtDacLo"}),
              "ACT VOL|lpm|60.00|30000.00|CHAN A|Hold Last|0.00 mA");
    EXPECT_TRUE(a->optSlot[0]->isChecked() && a->chkNorm->isChecked() && !a->chkOdd->isChecked());
    ui::pick(a->cmbParam, "MASS FLOW"); // the numbers follow into kg/s
    EXPECT_EQ(shown({"cmbUnit", "txtLoFloat", "txtHifloat"}), "kg/s|.00|.50");
    ui::pick(a->cmbUnit, "kg/min");
    EXPECT_EQ(shown({"txtLoFloat", "txtHifloat"}), ".00|30.00");
    ui::click(a->imgBack);
    EXPECT_TRUE(!a->isVisible() && menu.isVisible());
    EXPECT_EQ(loop(1).LoopParam.u, 2u);
    EXPECT_FLOAT_EQ(loop(1).OutMax.f, 0.5f);
    ExpectChangedCells(before, c.encoded(), {&loop(1).LoopParam, &loop(1).OutMin});
}

TEST_F(Loops, BackRightAfterOpeningKeepsTheRecordAndItsCountsTellTheRange)
{
    // A 0-20 mA loop, a 4-20 mA loop with counts of its own, a blank record (untrimmed counts).
    struct Case {
        int n;
        std::uint32_t high, low;
        bool odd;
        const char* stored;
    };
    for (const Case& k : {Case{1, 38368, 0, true, "38368/0"}, Case{2, 38400, 7700, false, "38400/7700"},
                          Case{1, 0, 0, false, "38335/7631"}}) {
        SCOPED_TRACE(k.stored);
        std::vector<std::uint8_t> before;
        open([&] {
            loop(k.n).DacHigh.u = k.high;
            loop(k.n).DacLow.u = k.low;
            before = c.encoded();
        });
        if (k.n == 2)
            slot(1);
        EXPECT_TRUE(a->chkOdd->isChecked() == k.odd && a->chkNorm->isChecked() != k.odd);
        ui::click(a->imgBack);
        EXPECT_EQ(counts(k.n), k.stored);
        loop(k.n).DacHigh.u = k.high;
        loop(k.n).DacLow.u = k.low;
        ExpectChangedCells(before, c.encoded(), {});
    }

    // Below 1000 counts the loop is 0-20 mA; "4-20ma" replaces a low count below 1000 and "0-20ma"
    // one above 2000.
    for (const auto& [low, box, stored] : {std::tuple{999u, "chkNorm", "38368/7655"}, {1000u, "chkOdd", "38368/1000"},
                                           {2000u, "chkOdd", "38368/2000"}, {2001u, "chkOdd", "38368/0"}}) {
        open([&, low = low] { loop(1).DacLow.u = low; });
        QCheckBox* b = ui::ctl<QCheckBox>(*a, box);
        EXPECT_FALSE(b->isChecked()) << low;
        check(b);
        ui::click(a->imgBack);
        EXPECT_EQ(counts(1), stored) << low;
    }
}

TEST_F(Loops, ChannelsRangesAndValuesTheListsCannotShow)
{
    open([&] {
        c.s().GlobalCells.NumberChan.u = 1;
        loop(1).LoopChannel.u = 1;
    });
    EXPECT_TRUE(a->cmbChan->isHidden() && a->lblChan->isHidden());
    check(a->chkOdd);
    EXPECT_TRUE(a->chkOdd->isChecked() && !a->chkNorm->isChecked());
    EXPECT_EQ(a->txtDacLo->text(), " 0");
    ui::click(a->imgBack);
    EXPECT_EQ(loop(1).LoopChannel.u, 0u);
    EXPECT_EQ(counts(1), "38368/0");

    // Two channels; loop 2 holds a channel and an action the lists do not have.
    c.s().GlobalCells.NumberChan.u = 2;
    loop(2).LoopChannel.u = 3;
    loop(2).LoopErrAction.u = 7;
    ui::click(menu.imgCurent);
    slot(1);
    EXPECT_TRUE(a->cmbChan->isVisible() && a->cmbChan->currentIndex() == -1 && a->cmbErrHand->currentIndex() == -1);
    check(a->chkOdd);
    check(a->chkNorm);
    EXPECT_EQ(a->txtDacLo->text(), " 7655");
    check(a->chkNorm); // a click on the checked box keeps it
    EXPECT_TRUE(a->chkNorm->isChecked() && !a->chkOdd->isChecked());
    ui::click(a->imgBack);
    EXPECT_EQ(loop(2).LoopChannel.u, 3u);
    EXPECT_EQ(loop(2).LoopErrAction.u, 7u);
    EXPECT_EQ(counts(2), "38368/7655");
}

TEST_F(Loops, SaveChangesActsOnTheLoopLeftWithItsEdits)
{
    open();
    const auto loop2 = loopBytes(2);
    ui::pick(a->cmbParam, "STD VOL");
    ui::type(a->txtHifloat, "90");
    slot(1);
    ASSERT_TRUE(prompt().isVisible());
    EXPECT_TRUE(a->optSlot[0]->isChecked() && a->txtHifloat->text() == "90"); // still on loop 1, with its edits
    ui::click(prompt().imgUdate);
    EXPECT_EQ(loop(1).LoopParam.u, 1u);
    EXPECT_FLOAT_EQ(loop(1).OutMax.f, 90.0f / 60000.0f);
    EXPECT_EQ(loopBytes(2), loop2);
    EXPECT_TRUE(a->optSlot[1]->isChecked() && a->cmbParam->currentText() == "OFF");

    ui::pick(a->cmbErrHand, "HIGH (22ma)");
    ui::type(a->txtLoFloat, "5");
    slot(0);
    ui::click(prompt().imgCancel); // discard: loop 2 keeps its record
    EXPECT_EQ(loopBytes(2), loop2);
    EXPECT_EQ(shown({"cmbParam", "txtHifloat"}), "STD VOL|90.00");

    // Closed with edits: the question comes after the window has gone.
    const auto loop1 = loopBytes(1);
    ui::type(a->txtHifloat, "120");
    a->close();
    ASSERT_TRUE(prompt().isVisible() && menu.isVisible());
    ui::click(prompt().imgCancel);
    EXPECT_EQ(loopBytes(1), loop1);
    ui::click(menu.imgPLC);
    EXPECT_EQ(a->txtHifloat->text(), "90.00");
    ui::type(a->txtHifloat, "120");
    a->close();
    ui::click(prompt().imgUdate);
    EXPECT_FLOAT_EQ(loop(1).OutMax.f, 120.0f / 60000.0f);
    const auto applied = loopBytes(1);

    // A value that is no number is refused; nothing is stored and the window stays.
    ui::click(menu.imgPLC);
    ui::type(a->txtLoFloat, "abc");
    ui::click(a->imgBack);
    ASSERT_EQ(c.t.dialogs->asked.size(), 1);
    EXPECT_TRUE(c.t.dialogs->asked[0].text.startsWith("LOW END") && a->isVisible());
    EXPECT_EQ(loopBytes(1), applied);
}

TEST_F(Loops, TrimStepsWaitForTheAcknowledgementStayInTheirLimitsAndOutliveALostOne)
{
    frmCDR& link = c.t.link();
    open();
    c.s().OfflineMode = Session::kOffline;
    ui::click(a->imgTrimHi);
    ASSERT_EQ(c.t.dialogs->asked.size(), 1);
    EXPECT_EQ(c.t.dialogs->asked[0].text, "Not allowed in Offline Mode");
    EXPECT_EQ(c.t.dialogs->asked[0].title, "Live Input Required");
    c.s().OfflineMode = 0;

    ui::click(a->imgTrimHi);
    frmTrim& tr = c.win<frmTrim>();
    auto sent = [&, mark = qsizetype(0)]() mutable {
        const QByteArray all = c.t.port->written(), fresh = all.mid(mark);
        mark = all.size();
        return fresh;
    };
    auto title = [&](int i) { return ui::ctl<QLabel>(tr, QStringLiteral("lblTitle_%1").arg(i))->text(); };
    auto knob = [&](int i) { return ui::ctl<QLabel>(tr, QStringLiteral("imgPot_%1").arg(i))->isVisible(); };
    auto click = [&](const char* name) { ui::click(ui::ctl<PictureButton>(tr, name)); };
    ASSERT_TRUE(tr.isVisible() && !a->isVisible());
    EXPECT_EQ(title(0) + title(1) + title(2), "LOOP 1HIGH.00 mA");
    EXPECT_EQ(sent(), trim(1, 38335, 1));
    EXPECT_EQ(tr.cursor().shape(), Qt::WaitCursor);

    // Waiting: the knob turns (0 to 3), nothing else; OK is ignored; Cancel shows the loops.
    click("imgInc_1");
    EXPECT_TRUE(knob(3) && !knob(0));
    click("imgOkay");
    click("imgCancel");
    EXPECT_TRUE(tr.isVisible() && a->isVisible());
    EXPECT_EQ(title(2), ".00 mA");
    EXPECT_TRUE(sent().isEmpty());

    ack(link, 46);
    EXPECT_EQ(tr.cursor().shape(), Qt::ArrowCursor);
    click("imgRdc_0"); // 3 to 0
    EXPECT_TRUE(knob(0) && !knob(3));
    EXPECT_EQ(sent(), trim(1, 38332, 1));
    for (int i = 0; i < 300; ++i) {
        ack(link, 46);
        click("imgInc_1");
    }
    EXPECT_EQ(sent().right(12), trim(1, 65535, 1));
    EXPECT_EQ(title(2) + a->txtDacHi->text(), "14.17 mA14.17 mA");
    ack(link, 46);
    click("imgCancel"); // the end command says low end, whichever end was trimmed
    EXPECT_EQ(sent(), trim(99, 65535, 0));
    EXPECT_FALSE(tr.isVisible());

    // Loop 2's low end; a new trim starts afresh, its first step once the end command has been
    // acknowledged (36 for loop 99).
    slot(1);
    ui::click(a->imgTrimLo);
    EXPECT_EQ(title(0) + title(1), "LOOP 2LOW");
    EXPECT_EQ(sent(), QByteArray());
    ack(link, 36);
    EXPECT_EQ(sent(), trim(0, 7631, 0));
    ack(link, 46);
    click("imgInc_1");
    EXPECT_EQ(sent(), trim(0, 7731, 0));
    EXPECT_EQ(a->txtDacLo->text(), ".05 mA");
    ack(link, 46);
    click("imgCancel");
    EXPECT_EQ(sent(), trim(99, 7731, 0));
    ui::click(a->imgTrimLo);
    ack(link, 36);
    EXPECT_EQ(sent(), trim(0, 7631, 0));
    ack(link, 46);
    click("imgRdc_1");
    EXPECT_EQ(sent(), trim(0, 7606, 0));
    EXPECT_EQ(title(2), "-.01 mA");
    for (int i = 0; i < 320; ++i) {
        ack(link, 46);
        click("imgRdc_1");
    }
    EXPECT_EQ(sent().right(12), trim(0, 0, 0));
    ack(link, 46);
    click("imgOkay");
    EXPECT_EQ(sent(), trim(99, 0, 0));
    EXPECT_TRUE(!tr.isVisible() && a->isVisible());
    ack(link, 36);

    // An acknowledgement that never comes ends in the link's time-out; then the trim goes on.
    ui::click(a->imgTrimLo);
    EXPECT_EQ(sent(), trim(0, 7631, 0));
    ASSERT_TRUE(TestSession::waitFor([&] { return c.t.dialogs->asked.size() == 2; }, 6000));
    EXPECT_EQ(c.t.dialogs->asked[1].text, "Work Offline?");
    ASSERT_TRUE(tr.isVisible());
    click("imgInc_0");
    EXPECT_EQ(sent(), trim(0, 7634, 0));
}
