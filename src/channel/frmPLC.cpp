#include "channel/frmPLC.h"

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
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>

namespace {
constexpr int kFormWidth = 6600;
constexpr int kFormHeight = 4560;
const char* const kCaption = "Program Logic I/O";
const QString kValuePicture = QStringLiteral("######.000");

enum Mode : int { ModeDisabled = 0, ModeTotal = 1, ModePulse = 2, ModeAlarm = 3 };
constexpr int kDataTypes = 3;

// Selects entry i of a list, or nothing when the list has no such entry (a value read from an
// image may be anything).
void selectEntry(QComboBox* combo, std::uint32_t i)
{
    combo->setCurrentIndex(i < static_cast<std::uint32_t>(combo->count()) ? static_cast<int>(i) : -1);
}

void copyRecord(const modData::IoRecord& from, modData::IoRecord& to)
{
    modData::CopyCellValue(to.LogicMode, from.LogicMode);
    modData::CopyCellValue(to.LogicChannel, from.LogicChannel);
    modData::CopyCellValue(to.LogicParam, from.LogicParam);
    modData::CopyCellValue(to.LogicWord, from.LogicWord);
    for (std::size_t i = 0; i < to.LogicValue.size(); ++i)
        modData::CopyCellValue(to.LogicValue[i], from.LogicValue[i]);
}
} // namespace

frmPLC::frmPLC(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmPLC"));
    setWindowTitle(QString::fromLatin1(kCaption));
    buildControls();
    // Esc closes the window, saving nothing.
    keyboard::Install(*this, imgBack, [this] { close(); });

    // The answer to "Save Changes?" about the slot left; the switch waits for it. The item is the
    // slot left, passed as its low 8 bits.
    m_session.windows().get<frmDiscard>().setOwner(frmDiscard::OwnerPLC, {[this](int item) {
                                                                              Publish(item & 0xFF);
                                                                              settleSwitch();
                                                                              SetSlotButton();
                                                                          },
                                                                          [this](int) {
                                                                              settleSwitch();
                                                                              SetSlotButton();
                                                                          }});
}

frmPLC::~frmPLC() = default;

void frmPLC::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    const char* const slotTexts[] = {"Logic Out 1", "Logic Out 2", "Logic Out 3"};
    for (int i = 0; i < Slots; ++i) {
        auto* c = new QCheckBox(QString::fromLatin1(slotTexts[i]), this);
        c->setObjectName(QStringLiteral("chkSlot_%1").arg(i));
        twips::place(c, 240 + 1800 * i, 200, 1680, 300);
        chkSlot[static_cast<std::size_t>(i)] = c;
        connect(c, &QAbstractButton::clicked, this, [this, i] { chkSlot_Click(i); });
    }

    auto group = [this](const char* name, const char* title, int left, int top, int width, int height) {
        auto* g = new QGroupBox(QString::fromLatin1(title), this);
        g->setObjectName(QString::fromLatin1(name));
        twips::place(g, left, top, width, height);
        return g;
    };
    QGroupBox* output = group("fraOutput", "LOGIC OUTPUT", 240, 660, 1800, 2040);
    QGroupBox* source = group("fraSource", "Data Source", 2160, 660, 4200, 2040);
    QGroupBox* input = group("fraInput", "LOGIC INPUT", 240, 2820, 6120, 780);

    const std::pair<QRadioButton**, const char*> modes[] = {
        {&optDisabled, "optDisabled"}, {&optTOTAL, "optTOTAL"}, {&OptPulse, "OptPulse"}, {&optAlarm, "optAlarm"}};
    const char* const modeTexts[] = {"DISABLE", "TOTAL", "PULSE", "ALARM"};
    for (int i = 0; i < 4; ++i) {
        auto* o = new QRadioButton(QString::fromLatin1(modeTexts[i]), output);
        o->setObjectName(QString::fromLatin1(modes[i].second));
        twips::place(o, 120, 300 + 420 * i, 1560, 300);
        *modes[i].first = o;
        connect(o, &QAbstractButton::clicked, this, [this, i] { modeClicked(i); });
    }

    auto label = [source](const char* name, const char* text, int top) {
        auto* l = new QLabel(QString::fromLatin1(text), source);
        l->setObjectName(QString::fromLatin1(name));
        twips::place(l, 120, top, 1260, 300);
        return l;
    };
    auto combo = [source](const char* name, int left, int top) {
        auto* c = new QComboBox(source);
        c->setObjectName(QString::fromLatin1(name));
        twips::place(c, left, top, 1560, 360);
        return c;
    };
    lblChan = label("lblChan", "Channel", 340);
    cmbChan = combo("cmbChan", 1440, 300);
    cmbChan->addItems({QStringLiteral("CHAN A"), QStringLiteral("CHAN B")});
    lblOptionData = label("lblOptionData", "Data Type", 820);
    cmbParam = combo("cmbParam", 1440, 780);
    lblVar = label("lblVar", "Batch Volume", 1300);
    txtData = new QLineEdit(source);
    txtData->setObjectName(QStringLiteral("txtData"));
    twips::place(txtData, 1440, 1280, 1200, 330);
    cmbUnit = combo("cmbUnit", 2760, 1260);
    cmbUnit->resize(twips::rect(0, 0, 1320, 360).size());

    const char* const inputTexts[] = {"CLEAR TOTAL", "BLANK ALARM"};
    for (int i = 0; i < 2; ++i) {
        auto* c = new QCheckBox(QString::fromLatin1(inputTexts[i]), input);
        c->setObjectName(QStringLiteral("ChkLogInOpt_%1").arg(i));
        twips::place(c, 120 + 2640 * i, 330, 2400, 300);
        ChkLogInOpt[static_cast<std::size_t>(i)] = c;
        connect(c, &QAbstractButton::clicked, this, [this, i] { ChkLogInOpt_Click(i); });
    }

    imgOkay = createPictureButton(this, QStringLiteral("imgOkay"), "tick", 3000, 3840, 1560, 480);
    imgOkay->setToolTip(QStringLiteral("SAVE CHANGES"));
    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", 4800, 3840, 1560, 480);

    connect(cmbChan, &QComboBox::activated, this, &frmPLC::cmbChan_Click);
    connect(cmbParam, &QComboBox::activated, this, &frmPLC::cmbParam_Click);
    connect(cmbUnit, &QComboBox::activated, this, &frmPLC::cmbUnit_Click);
    connect(txtData, &QLineEdit::textEdited, this, [this] {
        if (isVisible())
            SlotDirty = true;
    });
    connect(imgOkay, &QAbstractButton::clicked, this, &frmPLC::imgOkay_Click);
    connect(imgBack, &QAbstractButton::clicked, this, &frmPLC::imgBack_Click);
}

// Public operations.

void frmPLC::Setform()
{
    m_slot = 0;
    m_pendingSlot = -1;
    const std::uint32_t input = m_session.LogicInputMode().u;
    ChkLogInOpt[0]->setChecked(input == 1);
    ChkLogInOpt[1]->setChecked(input == 2);
    SetSlotButton();
    if (auto* menu = m_session.windows().find<frmConfig>())
        menu->hide();
    show();
}

void frmPLC::SetSlotButton()
{
    for (int i = 0; i < Slots; ++i)
        chkSlot[static_cast<std::size_t>(i)]->setChecked(i == m_slot);
    SlotDirty = false;
    FillBoxes(m_slot);
}

void frmPLC::FillBoxes(int slot)
{
    if (slot < 0 || slot >= Slots)
        return;
    SlotDirty = false;
    m_loaded = m_session.IoCells[static_cast<std::size_t>(slot)];
    m_shownMode = m_loaded.LogicMode.u;
    m_shownChannel = m_loaded.LogicChannel.u;

    // A mode the window does not know selects no option button and shows no data source.
    QRadioButton* const options[] = {optDisabled, optTOTAL, OptPulse, optAlarm};
    for (QRadioButton* o : options)
        o->setAutoExclusive(false);
    for (std::uint32_t i = 0; i < 4; ++i)
        options[i]->setChecked(i == m_shownMode);
    for (QRadioButton* o : options)
        o->setAutoExclusive(true);
    modeView(static_cast<int>(std::min<std::uint32_t>(m_shownMode, 4)));
    selectEntry(cmbChan, m_shownChannel);

    if (m_factor > 0.0f)
        txtData->setText(vbtext::FormatSingle(m_loaded.LogicValue[0].f / m_factor, kValuePicture));
    else
        txtData->clear();
    m_loadedText = txtData->text();
    m_loadedFactor = m_factor;
}

void frmPLC::Publish(int slot)
{
    SlotDirty = false;
    if (slot < 0 || slot >= Slots)
        return;
    copyRecord(EditedSlot, m_session.IoCells[static_cast<std::size_t>(slot)]);
    modData::ParameterCell& input = m_session.LogicInputMode();
    if (ChkLogInOpt[0]->isChecked())
        input.u = 1;
    else if (ChkLogInOpt[1]->isChecked())
        input.u = 2;
    else if (input.u <= 2) // a mode the boxes cannot show is kept
        input.u = 0;
}

// The shown mode and its data source.

void frmPLC::modeView(int mode)
{
    const bool value = mode == ModeTotal || mode == ModePulse;
    const bool source = value || mode == ModeAlarm;
    txtData->setVisible(value);
    lblVar->setVisible(value);
    cmbUnit->setVisible(value);
    if (value)
        lblVar->setText(mode == ModeTotal ? QStringLiteral("Batch Volume") : QStringLiteral("Pulse Volume"));
    cmbParam->setVisible(source);
    lblOptionData->setVisible(source);
    const bool channels = source && m_session.GlobalCells.NumberChan.u >= 2;
    cmbChan->setVisible(channels);
    lblChan->setVisible(channels);

    cmbParam->clear();
    if (mode <= ModePulse)
        cmbParam->addItems({QStringLiteral("VOLUME"), QStringLiteral("SD VOL"), QStringLiteral("MASS")});
    else if (mode == ModeAlarm)
        cmbParam->addItems({QStringLiteral("ALL"), QStringLiteral("SIGNAL"), QStringLiteral("V0S")});
    selectEntry(cmbParam, m_loaded.LogicParam.u);
    dataTypeStep();
}

void frmPLC::dataTypeStep()
{
    const int type = cmbParam->currentIndex();
    if (type < 0 || type >= kDataTypes) {
        // No data type: no unit, and the record's values stay as they are.
        m_unitKind = -1;
        m_factor = 0.0f;
        cmbUnit->clear();
        return;
    }
    m_unitKind = m_session.TotalKind[static_cast<std::size_t>(type)];
    modLabels::FillUnitCombo(*cmbUnit, m_session, m_unitKind, 1);
    m_factor = m_session.UnitFactor(m_unitKind, 1);
}

void frmPLC::modeClicked(int mode)
{
    m_shownMode = static_cast<std::uint32_t>(mode);
    modeView(mode);
    if (isVisible())
        SlotDirty = true;
}

void frmPLC::optDisabled_Click() { modeClicked(ModeDisabled); }
void frmPLC::optTOTAL_Click() { modeClicked(ModeTotal); }
void frmPLC::OptPulse_Click() { modeClicked(ModePulse); }
void frmPLC::optAlarm_Click() { modeClicked(ModeAlarm); }

void frmPLC::cmbChan_Click()
{
    if (cmbChan->currentIndex() < 0)
        return;
    m_shownChannel = static_cast<std::uint32_t>(cmbChan->currentIndex());
    if (isVisible())
        SlotDirty = true;
}

void frmPLC::cmbParam_Click()
{
    dataTypeStep();
    if (isVisible())
        SlotDirty = true;
}

void frmPLC::cmbUnit_Click()
{
    const float f0 = m_factor;
    m_factor = m_session.UnitFactor(m_unitKind, cmbUnit->currentIndex());
    // A box that holds no number is left for the save to refuse.
    if (m_factor > 0.0f && cellinput::HoldsNumber(txtData->text())) {
        const double base = vbtext::Val(txtData->text()) * static_cast<double>(f0);
        txtData->setText(vbtext::FormatSingle(static_cast<float>(base / static_cast<double>(m_factor)), kValuePicture));
    }
}

void frmPLC::ChkLogInOpt_Click(int box)
{
    // At most one action for the input.
    ChkLogInOpt[static_cast<std::size_t>(1 - box)]->setChecked(false);
}

// Saving and slot switches.

bool frmPLC::captureEdits()
{
    modData::IoRecord edited = m_loaded;
    edited.LogicMode.u = m_shownMode;
    edited.LogicChannel.u = m_shownChannel;
    if (cmbParam->currentIndex() >= 0)
        edited.LogicParam.u = static_cast<std::uint32_t>(cmbParam->currentIndex());
    // An untouched value box keeps the record's values (the box shows them rounded); without a
    // unit there is nothing to convert.
    const bool touched = txtData->text() != m_loadedText || m_factor != m_loadedFactor;
    if (touched && m_factor > 0.0f) {
        const std::optional<double> v = cellinput::Checked(txtData->text(), m_factor, cellinput::kAnySingle);
        const bool shown = m_shownMode == ModeTotal || m_shownMode == ModePulse;
        if (!v && shown) {
            cellinput::Refusals refused;
            refused.add(txtData, cellinput::RefusedLine(lblVar->text(), txtData->text(), cellinput::kAnySingle, m_factor),
                        m_factor == m_loadedFactor
                            ? m_loadedText
                            : vbtext::FormatSingle(m_loaded.LogicValue[0].f / m_factor, kValuePicture));
            refused.tell(m_session.dialogs(), windowTitle());
            return false;
        }
        if (v)
            for (modData::ParameterCell& c : edited.LogicValue)
                c.f = static_cast<float>(*v);
    }
    EditedSlot = edited;
    return true;
}

void frmPLC::chkSlot_Click(int slot)
{
    if (slot < 0 || slot >= Slots)
        return;
    if (SlotDirty && isVisible()) {
        // The window stays on the slot being left until the user has answered for it, so the
        // answer can only act on that slot's edits.
        if (captureEdits()) {
            m_pendingSlot = slot;
            m_session.windows().get<frmDiscard>().Ask(frmDiscard::OwnerPLC, m_slot);
        }
        for (int i = 0; i < Slots; ++i)
            chkSlot[static_cast<std::size_t>(i)]->setChecked(i == m_slot);
        return;
    }
    m_slot = slot;
    SetSlotButton();
}

void frmPLC::settleSwitch()
{
    if (m_pendingSlot >= 0)
        m_slot = m_pendingSlot;
    m_pendingSlot = -1;
}

void frmPLC::imgOkay_Click()
{
    if (captureEdits())
        Publish(m_slot);
}

void frmPLC::imgBack_Click()
{
    if (!captureEdits())
        return;
    Publish(m_slot);
    showMenu();
    hide();
}

void frmPLC::showMenu()
{
    m_session.windows().get<frmConfig>().show();
}

void frmPLC::closeEvent(QCloseEvent* event)
{
    // Closing by the frame keeps nothing that was not saved.
    showMenu();
    event->accept();
}
