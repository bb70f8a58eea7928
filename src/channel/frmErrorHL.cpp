#include "channel/frmErrorHL.h"

#include "channel/cellinput.h"
#include "channel/refusals.h"
#include "engine/session.h"
#include "meterdata/unitcombo.h"
#include "platform/dialogservice.h"
#include "platform/boxrows.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace {
constexpr int kFormWidth = 5160;
constexpr int kFormHeight = 3720;
constexpr int kUnitLeft = 3840;
constexpr int kUnitWidth = 1080;
constexpr int kRowHeight = 315;
constexpr BoxRows kRows{120, 2280, 2520, 1200, 240, 450, kRowHeight};
constexpr int kBoxLeft = kRows.boxLeft;

const QString kFlowPicture = QStringLiteral("####.0");

// The minimum signal and the alarm percentage are the meter's signed integers; neither may be
// negative.
constexpr cellinput::Range kLimitWord{0.0, 32767.0};
// The typed minimum acoustic strength whose stored form (140 - typed) x 5 fits kLimitWord.
constexpr cellinput::Range kStrengthTyped{140.0 - 32767.0 / 5.0, 140.0};
} // namespace

frmErrorHL::frmErrorHL(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmErrorHL"));
    setWindowTitle(QStringLiteral("Program Error Limits"));
    buildControls();
    // Esc closes the window, storing nothing.
    keyboard::Install(*this, imgBack, [this] { close(); });
    Form_Load();
}

frmErrorHL::~frmErrorHL() = default;

void frmErrorHL::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    auto row = [](int i) { return kRows.top(i); };
    kRows.add(this, 0, lblMaxFlow, "lblMaxFlow", "Max Flow Rate", txtMaxFlow, "txtMaxFlow");
    kRows.add(this, 1, lblMinFlow, "lblMinFlow", "Min Flow Rate", txtMinFlow, "txtMinFlow");
    kRows.add(this, 2, lblMinAS, "lblMinAS", "Min Acoustic Strength", txtMinAS, "txtMinAS");
    kRows.add(this, 3, lblMinVOS, "lblMinVOS", "Minimum VOS", txtMinVOS, "txtMinVOS");
    kRows.add(this, 4, lblMaxVOS, "lblMaxVOS", "Maximun VOS", txtMaxVOS, "txtMaxVOS");
    kRows.add(this, 5, lblErrPct, "lblErrPct", "Alarm Percent", txtErrPct, "txtErrPct");

    cmbUnitFlow = new QComboBox(this);
    cmbUnitFlow->setObjectName(QStringLiteral("cmbUnitFlow"));
    twips::place(cmbUnitFlow, kUnitLeft, row(0), kUnitWidth, kRowHeight);
    connect(cmbUnitFlow, &QComboBox::activated, this, &frmErrorHL::cmbUnitFlow_Click);

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", kBoxLeft, row(6) + 60, 1080, 480);
    connect(imgBack, &QAbstractButton::clicked, this, &frmErrorHL::imgBack_Click);

    m_flowBoxes[0].box = txtMaxFlow;
    m_flowBoxes[0].label = lblMaxFlow;
    m_flowBoxes[1].box = txtMinFlow;
    m_flowBoxes[1].label = lblMinFlow;
}

void frmErrorHL::Form_Load()
{
    // The unit list is filled once; the unit chosen stays chosen while the window lives.
    modLabels::FillUnitCombo(*cmbUnitFlow, m_session, modLabels::KindVolumeFlow, 0);
    m_factor = m_session.UnitFactor(modLabels::KindVolumeFlow, 0);
    Load_existing();
}

bool frmErrorHL::validChannel() const
{
    return Channel >= 0 && Channel < modData::ChannelCount;
}

modData::ChannelRecord& frmErrorHL::record()
{
    return m_session.ChannelCells[static_cast<std::size_t>(Channel)];
}

float frmErrorHL::area()
{
    // 0.785 stands for pi/4.
    const double id = record().PipeID.f;
    return static_cast<float>(id * id * 0.785);
}

float frmErrorHL::storedVelocity(int i)
{
    return i == 0 ? record().MaxVel.f : record().MinVel.f;
}

void frmErrorHL::showFlow(FlowBox& b, double flow)
{
    b.shown = vbtext::FormatSingle(static_cast<float>(flow / static_cast<double>(m_factor)), kFlowPicture);
    b.box->setText(b.shown);
}

void frmErrorHL::Load_existing()
{
    if (!validChannel())
        return;
    const modData::ChannelRecord& c = record();
    const double a = area();
    for (int i = 0; i < 2; ++i) {
        FlowBox& b = m_flowBoxes[static_cast<std::size_t>(i)];
        b.flow.reset();
        showFlow(b, static_cast<double>(storedVelocity(i)) * a);
    }
    m_loaded = {vbtext::CStrDouble(140.0 - cellinput::SignedWord(c.MinSignal.u) / 5.0), vbtext::CStrSingle(c.MinVOS.f),
                vbtext::CStrSingle(c.MaxVOS.f), QString::number(cellinput::SignedWord(c.MaxErrPct.u))};
    txtMinAS->setText(m_loaded[0]);
    txtMinVOS->setText(m_loaded[1]);
    txtMaxVOS->setText(m_loaded[2]);
    txtErrPct->setText(m_loaded[3]);
}

void frmErrorHL::cmbUnitFlow_Click()
{
    const float newFactor = m_session.UnitFactor(modLabels::KindVolumeFlow, cmbUnitFlow->currentIndex());
    if (!(newFactor > 0.0f) || !validChannel())
        return;
    const float oldFactor = m_factor;
    m_factor = newFactor;
    const double a = area();
    for (int i = 0; i < 2; ++i) {
        FlowBox& b = m_flowBoxes[static_cast<std::size_t>(i)];
        if (b.box->text() != b.shown) {
            // The user's text, taken in the unit it was typed in. A text that is no flow stays as
            // typed (back names it).
            const std::optional<double> typed = cellinput::Checked(b.box->text(), oldFactor, cellinput::kAnySingle);
            if (!typed)
                continue;
            b.flow = *typed;
        }
        showFlow(b, b.flow ? *b.flow : static_cast<double>(storedVelocity(i)) * a);
    }
}

void frmErrorHL::imgBack_Click()
{
    if (!validChannel()) {
        hide();
        return;
    }
    modData::ChannelRecord& c = record();
    // Every box is checked before any is stored; a refused box shows the text the window put
    // there again.
    cellinput::Refusals refused;

    // The flow limits: a box the user left as shown keeps its stored velocity. A refused one shows
    // the stored limit again, whatever was typed before.
    const double a = area();
    std::array<std::optional<float>, 2> velocity;
    for (int i = 0; i < 2; ++i) {
        FlowBox& b = m_flowBoxes[static_cast<std::size_t>(i)];
        const bool edited = b.box->text() != b.shown;
        if (!edited && !b.flow)
            continue;
        const std::optional<double> flow =
            edited ? cellinput::Checked(b.box->text(), m_factor, cellinput::kAnySingle) : b.flow;
        const double v = flow && a > 0.0 ? *flow / a : 0.0;
        QString line;
        if (!(a > 0.0))
            line = QStringLiteral("%1: the pipe inside diameter is 0, so a flow rate cannot be taken as a velocity.")
                       .arg(b.label->text());
        else if (!flow || !std::isfinite(v) || std::fabs(v) > cellinput::kAnySingle.max)
            line = cellinput::RefusedLine(b.label->text(), b.box->text(), cellinput::kAnySingle, m_factor / a);
        if (line.isEmpty()) {
            velocity[static_cast<std::size_t>(i)] = static_cast<float>(v);
            continue;
        }
        b.flow.reset();
        b.shown = vbtext::FormatSingle(static_cast<float>(static_cast<double>(storedVelocity(i)) * a / m_factor),
                                       kFlowPicture);
        refused.add(b.box, line, b.shown);
    }

    // The other boxes: one still showing what the window put there keeps its cell as stored (a
    // word the meter holds above 32767 is shown negative and would not be taken back).
    const auto edited = [this](std::size_t i, const QLineEdit* box) { return box->text() != m_loaded[i]; };

    // The minimum signal is kept as (140 - shown) x 5.
    const QString strength = txtMinAS->text();
    const double minSignal = (140.0 - vbtext::Val(strength)) * 5.0;
    const long long minSignalWord = vbtext::RoundHalfEven(minSignal);
    const bool strengthEdited = edited(0, txtMinAS);
    if (strengthEdited && (!cellinput::HoldsNumber(strength) || !std::isfinite(minSignal) ||
                           minSignalWord < kLimitWord.min || minSignalWord > kLimitWord.max))
        refused.add(txtMinAS, cellinput::RefusedLine(lblMinAS->text(), strength, kStrengthTyped), m_loaded[0]);

    struct Field {
        QLineEdit* box;
        QLabel* label;
        modData::ParameterCell* cell;
        cellinput::Range range;
    };
    const std::array<Field, 3> fields = {{{txtMinVOS, lblMinVOS, &c.MinVOS, cellinput::kPositive},
                                          {txtMaxVOS, lblMaxVOS, &c.MaxVOS, cellinput::kPositive},
                                          {txtErrPct, lblErrPct, &c.MaxErrPct, kLimitWord}}};
    std::array<modData::ParameterCell, 3> values;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        values[i] = *f.cell;
        if (edited(i + 1, f.box) && !cellinput::Store(values[i], f.box->text(), 1.0, f.range))
            refused.add(f.box, cellinput::RefusedLine(f.label->text(), f.box->text(), f.range), m_loaded[i + 1]);
    }
    if (refused.tell(m_session.dialogs(), windowTitle()))
        return;

    // Every box holds a value that can be stored.
    if (velocity[0])
        c.MaxVel.f = *velocity[0];
    if (velocity[1])
        c.MinVel.f = *velocity[1];
    if (strengthEdited)
        c.MinSignal.u = static_cast<std::uint32_t>(minSignalWord);
    for (std::size_t i = 0; i < fields.size(); ++i)
        modData::CopyCellValue(*fields[i].cell, values[i]);
    hide();
}

void frmErrorHL::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the record as it was; the window is only hidden.
    event->accept();
}
