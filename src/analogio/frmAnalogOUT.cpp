#include "analogio/frmAnalogOUT.h"

#include "analogio/frmTrim.h"
#include "channel/cellinput.h"
#include "channel/refusals.h"
#include "dialogs/frmDiscard.h"
#include "engine/session.h"
#include "meterdata/frmConfig.h"
#include "meterdata/unitcombo.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

constexpr int kFormWidth = 6600;
constexpr int kFormHeight = 4440;
constexpr int kCaptionLeft = 240;
constexpr int kCaptionWidth = 1740;
constexpr int kBoxLeft = 2040;
constexpr int kBoxWidth = 1800;
constexpr int kRowHeight = 315;

const QString kValuePicture = QStringLiteral("#####.00");
const QString kNoTrimText = QStringLiteral("0.00 mA");

// The low-end count that tells the two ranges apart when a slot is loaded, and the limits the
// range boxes test before they set their own low-end count.
constexpr std::uint16_t kNormFloor = 1000;
constexpr std::uint16_t kOddCeiling = 2000;

// Selects entry i of a list, or nothing when the list has no such entry (a byte read from an
// image or a site file may be anything).
void selectEntry(QComboBox* combo, std::uint32_t i)
{
    combo->setCurrentIndex(i < static_cast<std::uint32_t>(combo->count()) ? static_cast<int>(i) : -1);
}

} // namespace

frmAnalogOUT::frmAnalogOUT(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmAnalogOUT"));
    setWindowTitle(QStringLiteral("Current Loop Outputs"));
    buildControls();
    // Closing asks "Save Changes?" about an edited loop instead of leaving it: Esc does nothing here.
    keyboard::Install(*this, imgBack, nullptr);

    // The answer to "Save Changes?" about a loop left with edits; the move waits for it.
    m_session.windows().get<frmDiscard>().setOwner(frmDiscard::OwnerAnalogOut,
                                                   {[this](int item) { settleSlot(item & 0xFF, true); },
                                                    [this](int item) { settleSlot(item & 0xFF, false); }});
    Fill_Boxes(1);
}

frmAnalogOUT::~frmAnalogOUT() = default;

void frmAnalogOUT::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    const char* const slotCaptions[2] = {"Current Loop 1", "Current Loop 2"};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(QString::fromLatin1(slotCaptions[i]), this);
        b->setObjectName(QStringLiteral("optSlot_%1").arg(i));
        twips::place(b, kCaptionLeft + i * 2640, 240, 2400, kRowHeight);
        connect(b, &QRadioButton::clicked, this, [this, i] { optSlot_Click(i); });
        optSlot[static_cast<std::size_t>(i)] = b;
    }

    auto caption = [this](const char* name, const char* text, int top) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QLatin1String(name));
        twips::place(l, kCaptionLeft, top, kCaptionWidth, kRowHeight);
        return l;
    };
    auto combo = [this](const char* name, int left, int top, int width) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        twips::place(c, left, top, width, kRowHeight);
        return c;
    };
    auto box = [this](const char* name, int left, int top, int width) {
        auto* t = new QLineEdit(this);
        t->setObjectName(QLatin1String(name));
        twips::place(t, left, top, width, kRowHeight);
        return t;
    };

    caption("lblParam", "OUTPUT", 720);
    cmbParam = combo("cmbParam", kBoxLeft, 720, kBoxWidth);
    cmbParam->addItems({QStringLiteral("OFF"), QStringLiteral("ACT VOL"), QStringLiteral("STD VOL"),
                        QStringLiteral("MASS FLOW"), QStringLiteral("VOS")});
    cmbUnit = combo("cmbUnit", 3960, 720, 1320);

    lblChan = caption("lblChan", "CHANNEL", 1200);
    cmbChan = combo("cmbChan", kBoxLeft, 1200, kBoxWidth);
    cmbChan->addItems({QStringLiteral("CHAN A"), QStringLiteral("CHAN B")});

    caption("lblErrHand", "ERROR HANDLING", 1680);
    cmbErrHand = combo("cmbErrHand", kBoxLeft, 1680, kBoxWidth);
    cmbErrHand->addItems({QStringLiteral("Hold Last"), QStringLiteral("ZERO (4ma)"), QStringLiteral("LOW  (2ma)"),
                          QStringLiteral("SPAN (20ma)"), QStringLiteral("HIGH (22ma)")});

    caption("lblLoFloat", "LOW END", 2160);
    txtLoFloat = box("txtLoFloat", kBoxLeft, 2160, kBoxWidth);
    txtDacLo = box("txtDacLo", 3960, 2160, 1320);
    caption("lblHifloat", "HIGH END", 2640);
    txtHifloat = box("txtHifloat", kBoxLeft, 2640, kBoxWidth);
    txtDacHi = box("txtDacHi", 3960, 2640, 1320);
    for (QLineEdit* t : {txtDacLo, txtDacHi})
        t->setReadOnly(true);
    imgTrimLo = createPictureButton(this, QStringLiteral("imgTrimLo"), "trimlo", 5400, 2115, 1080, 405);
    imgTrimHi = createPictureButton(this, QStringLiteral("imgTrimHi"), "trimhi", 5400, 2595, 1080, 405);

    chkNorm = new QCheckBox(QStringLiteral("4-20ma"), this);
    chkNorm->setObjectName(QStringLiteral("chkNorm"));
    twips::place(chkNorm, kBoxLeft, 3120, 1320, kRowHeight);
    chkOdd = new QCheckBox(QStringLiteral("0-20ma"), this);
    chkOdd->setObjectName(QStringLiteral("chkOdd"));
    twips::place(chkOdd, 3480, 3120, 1320, kRowHeight);

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", 5400, 3720, 1080, 480);

    connect(cmbParam, &QComboBox::activated, this, &frmAnalogOUT::cmbParam_Click);
    connect(cmbUnit, &QComboBox::activated, this, &frmAnalogOUT::cmbUnit_Click);
    connect(cmbChan, &QComboBox::activated, this, &frmAnalogOUT::cmbChan_Click);
    connect(cmbErrHand, &QComboBox::activated, this, &frmAnalogOUT::cmbErrHand_Click);
    // Only what the user types marks the slot changed; the window's own rewriting does not.
    for (QLineEdit* t : {txtLoFloat, txtHifloat})
        connect(t, &QLineEdit::textEdited, this, [this] {
            if (isVisible())
                m_changed = true;
        });
    connect(chkNorm, &QCheckBox::clicked, this, &frmAnalogOUT::chkNorm_Click);
    connect(chkOdd, &QCheckBox::clicked, this, &frmAnalogOUT::chkOdd_Click);
    connect(imgTrimLo, &QAbstractButton::clicked, this, &frmAnalogOUT::imgTrimLo_Click);
    connect(imgTrimHi, &QAbstractButton::clicked, this, &frmAnalogOUT::imgTrimHi_Click);
    connect(imgBack, &QAbstractButton::clicked, this, &frmAnalogOUT::imgBack_Click);
}

int frmAnalogOUT::channelCount() const
{
    return static_cast<int>(m_session.GlobalCells.NumberChan.u);
}

// Public operations.

void frmAnalogOUT::Setform()
{
    m_session.windows().get<frmConfig>().hide();
    m_pendingSlot = -1;
    m_slot = 1;
    Fill_Boxes(1);
    show();
    raise();
}

void frmAnalogOUT::Fill_Boxes(int slot)
{
    if (slot < 0 || slot > 1)
        return;
    const modData::LoopRecord& r = m_session.LoopCells[static_cast<std::size_t>(slot + 2)];
    m_changed = false;
    m_slot = slot;
    selectSlotButton(slot);
    m_buffer = Buffer{r.LoopStatus.u, r.LoopErrAction.u, r.LoopChannel.u, r.LoopParam.u, r.OutMin.f, r.OutMax.f,
                      static_cast<std::uint16_t>(r.DacHigh.u), static_cast<std::uint16_t>(r.DacLow.u)};
    // The loop keeps the counts of its record, and with them its range; a blank record (no counts
    // at all) starts from the untrimmed counts.
    if (m_buffer.highCount == 0 && m_buffer.lowCount == 0) {
        m_buffer.highCount = kStartHigh;
        m_buffer.lowCount = kStartLow;
    }

    const int quantity = m_buffer.quantity >= 4 ? 0 : static_cast<int>(m_buffer.quantity);
    cmbParam->setCurrentIndex(m_buffer.status == 0 ? 0 : quantity + 1);
    applyParam();

    const bool several = channelCount() >= 2;
    if (!several)
        m_buffer.channel = 0;
    cmbChan->setVisible(several);
    lblChan->setVisible(several);
    // A channel or an action the lists do not offer shows no entry and is stored back unchanged.
    selectEntry(cmbChan, m_buffer.channel);
    selectEntry(cmbErrHand, m_buffer.onError);

    chkNorm->setChecked(m_buffer.lowCount >= kNormFloor);
    chkOdd->setChecked(m_buffer.lowCount < kNormFloor);
    txtDacLo->setText(kNoTrimText);
    txtDacHi->setText(kNoTrimText);
    txtHifloat->setText(vbtext::FormatSingle(m_buffer.high / m_factor, kValuePicture));
    txtLoFloat->setText(vbtext::FormatSingle(m_buffer.low / m_factor, kValuePicture));
    m_loadedText = {txtLoFloat->text(), txtHifloat->text()};
    m_loadedFactor = m_factor;
    m_changed = false;
}

void frmAnalogOUT::UpdateSlot(int slot)
{
    if (slot < 0 || slot > 1)
        return;
    modData::LoopRecord& r = m_session.LoopCells[static_cast<std::size_t>(slot + 2)];
    r.LoopStatus.u = m_buffer.status;
    r.LoopChannel.u = m_buffer.channel;
    r.DacHigh.u = m_buffer.highCount;
    r.DacLow.u = m_buffer.lowCount;
    r.LoopErrAction.u = m_buffer.onError;
    r.LoopParam.u = m_buffer.quantity;
    r.OutMax.f = m_buffer.high;
    r.OutMin.f = m_buffer.low;
}

bool frmAnalogOUT::Update_Buffer()
{
    struct Box {
        QLineEdit* box;
        const char* field;
    };
    std::array<float, 2> values{m_buffer.low, m_buffer.high};
    const std::array<Box, 2> boxes = {{{txtLoFloat, "LOW END"}, {txtHifloat, "HIGH END"}}};
    cellinput::Refusals refused;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        // A box still showing what the load put there, in the same unit, keeps the record's value
        // (the rounded text would not give it back to the last bit).
        const bool sameUnit = m_factor == m_loadedFactor;
        if (boxes[i].box->text() == m_loadedText[i] && sameUnit)
            continue;
        const std::optional<double> v = cellinput::Checked(boxes[i].box->text(), m_factor, cellinput::kAnySingle);
        if (v)
            values[i] = static_cast<float>(*v);
        else
            refused.add(boxes[i].box,
                        cellinput::RefusedLine(QString::fromLatin1(boxes[i].field), boxes[i].box->text(),
                                               cellinput::kAnySingle, m_factor),
                        sameUnit ? m_loadedText[i] : vbtext::FormatSingle(values[i] / m_factor, kValuePicture));
    }
    if (refused.tell(m_session.dialogs(), windowTitle()))
        return false;
    const int index = cmbParam->currentIndex();
    m_buffer.status = index >= 1 ? 1 : 0;
    m_buffer.quantity = index >= 1 ? static_cast<std::uint32_t>(index - 1) : 0;
    m_buffer.low = values[0];
    m_buffer.high = values[1];
    m_changed = false;
    UpdateSlot(m_slot);
    return true;
}

// Quantity and unit.

void frmAnalogOUT::applyParam()
{
    const int q = std::clamp(cmbParam->currentIndex() - 1, 0, static_cast<int>(m_session.OutputParamKind.size()) - 1);
    m_kind = m_session.OutputParamKind[static_cast<std::size_t>(q)];
    modLabels::FillUnitCombo(*cmbUnit, m_session, m_kind, 0);
    const float factor = m_session.UnitFactor(m_kind, 0);
    if (!(factor > 0.0f))
        return;
    if (isVisible()) {
        modLabels::ChangeUnitText(*txtLoFloat, m_factor, factor, kValuePicture);
        modLabels::ChangeUnitText(*txtHifloat, m_factor, factor, kValuePicture);
    }
    m_factor = factor;
}

void frmAnalogOUT::cmbParam_Click()
{
    applyParam();
    if (isVisible())
        m_changed = true;
}

void frmAnalogOUT::cmbUnit_Click()
{
    const float factor = m_session.UnitFactor(m_kind, cmbUnit->currentIndex());
    if (!isVisible() || !(factor > 0.0f))
        return;
    const QString low = txtLoFloat->text(), high = txtHifloat->text();
    modLabels::ChangeUnitText(*txtLoFloat, m_factor, factor, kValuePicture);
    modLabels::ChangeUnitText(*txtHifloat, m_factor, factor, kValuePicture);
    m_factor = factor;
    if (txtLoFloat->text() != low || txtHifloat->text() != high)
        m_changed = true;
}

void frmAnalogOUT::cmbChan_Click()
{
    if (!isVisible() || cmbChan->currentIndex() < 0)
        return;
    m_changed = true;
    m_buffer.channel = static_cast<std::uint32_t>(cmbChan->currentIndex());
}

void frmAnalogOUT::cmbErrHand_Click()
{
    if (!isVisible() || cmbErrHand->currentIndex() < 0)
        return;
    m_changed = true;
    m_buffer.onError = static_cast<std::uint32_t>(cmbErrHand->currentIndex());
}

// Range boxes: exactly one is checked; checking one sets the counts of its range.

void frmAnalogOUT::chkNorm_Click()
{
    if (!chkNorm->isChecked()) {
        chkNorm->setChecked(true);
        return;
    }
    if (m_buffer.lowCount < kNormFloor)
        m_buffer.lowCount = kNormLow;
    chkOdd->setChecked(false);
    showCounts();
    m_buffer.highCount = kRangeHigh;
}

void frmAnalogOUT::chkOdd_Click()
{
    if (!chkOdd->isChecked()) {
        chkOdd->setChecked(true);
        return;
    }
    if (m_buffer.lowCount > kOddCeiling)
        m_buffer.lowCount = kOddLow;
    chkNorm->setChecked(false);
    showCounts();
    m_buffer.highCount = kRangeHigh;
}

void frmAnalogOUT::showCounts()
{
    txtDacLo->setText(vbtext::StrInt(m_buffer.lowCount));
}

// Slots.

void frmAnalogOUT::selectSlotButton(int slot)
{
    optSlot[slot == 1 ? 0 : 1]->setChecked(true);
}

void frmAnalogOUT::optSlot_Click(int index)
{
    const int to = index == 0 ? 1 : 0;
    // The loop already shown keeps its edits.
    if (to == m_slot)
        return;
    if (m_changed && isVisible()) {
        // The window stays on the loop being left, with its edits, until the user has answered.
        m_pendingSlot = to;
        selectSlotButton(m_slot);
        m_session.windows().get<frmDiscard>().Ask(frmDiscard::OwnerAnalogOut, m_slot);
        return;
    }
    Fill_Boxes(to);
}

void frmAnalogOUT::settleSlot(int left, bool apply)
{
    const int to = std::exchange(m_pendingSlot, -1);
    if (left != m_slot)
        return;
    // A box that cannot be stored keeps the window on the loop left, to be corrected.
    if (apply && !Update_Buffer())
        return;
    if (to >= 0 && to != m_slot)
        Fill_Boxes(to);
    else if (!apply)
        Fill_Boxes(left); // the edits are gone: the loop shows its record again
}

// Trim, back, close.

void frmAnalogOUT::imgTrimLo_Click() { openTrim(0); }
void frmAnalogOUT::imgTrimHi_Click() { openTrim(1); }

void frmAnalogOUT::openTrim(std::uint8_t end)
{
    if (m_session.OfflineMode == Session::kOffline) {
        m_session.dialogs().message(QStringLiteral("Not allowed in Offline Mode"),
                                    QStringLiteral("Live Input Required"), DialogService::Buttons::OKCancel,
                                    DialogService::Icon::Exclamation);
        return;
    }
    std::uint8_t loop = static_cast<std::uint8_t>(m_slot);
    m_session.windows().get<frmTrim>().TrimInput(end, loop);
}

void frmAnalogOUT::imgBack_Click()
{
    // Leaving through back always stores (unless a box cannot be stored).
    if (!Update_Buffer())
        return;
    hide();
    m_session.windows().get<frmConfig>().show();
}

void frmAnalogOUT::Form_Unload()
{
    if (m_changed) {
        m_pendingSlot = -1;
        m_session.windows().get<frmDiscard>().Ask(frmDiscard::OwnerAnalogOut, m_slot);
    }
    hide();
    m_session.windows().get<frmConfig>().show();
}

void frmAnalogOUT::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
