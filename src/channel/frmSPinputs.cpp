#include "channel/frmSPinputs.h"

#include "channel/cellinput.h"
#include "channel/refusals.h"
#include "engine/session.h"
#include "platform/dialogservice.h"
#include "platform/boxrows.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>

#include <array>

namespace {
constexpr int kFormWidth = 4080;
constexpr int kFormHeight = 4200;
constexpr int kRowHeight = 315;
constexpr BoxRows kRows{120, 1800, 2040, 1200, 240, 450, kRowHeight};
constexpr int kBoxLeft = kRows.boxLeft;
constexpr int kBoxWidth = kRows.boxWidth;

// A cell as its box shows it: integers plainly (words as the meter's signed integers), the
// cut-off as the single's own text.
QString shown(const modData::ParameterCell& c)
{
    switch (c.kind) {
    case modData::CellKind::FloatCell: return vbtext::CStrSingle(c.f);
    case modData::CellKind::WordCell: return QString::number(cellinput::SignedWord(c.u));
    default: return QString::number(c.u);
    }
}
} // namespace

frmSPinputs::frmSPinputs(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmSPinputs"));
    setWindowTitle(QStringLiteral("Custom Signal Processing"));
    buildControls();
    // Esc closes the window, storing nothing.
    keyboard::Install(*this, imgBack, [this] { close(); });
}

frmSPinputs::~frmSPinputs() = default;

void frmSPinputs::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    auto row = [](int i) { return kRows.top(i); };
    optOscope = new QCheckBox(QStringLiteral("OScope Mode"), this);
    optOscope->setObjectName(QStringLiteral("optOscope"));
    twips::place(optOscope, kBoxLeft, row(0), kBoxWidth + 600, kRowHeight);

    kRows.add(this, 1, lblThresh, "lblThresh", "Threshold", txtThresh, "txtThresh");
    kRows.add(this, 2, lblOver, "lblOver", "Anti-Jitter", txtOver, "txtOver");
    kRows.add(this, 3, lblCutoff, "lblCutoff", "Cut Off", txtCutoff, "txtCutoff");
    txtCutoff->setText(QStringLiteral("0.01"));
    kRows.add(this, 4, lblPulseWidth, "lblPulseWidth", "Pulse Width", txtPulseWidth, "txtPulseWidth");
    kRows.add(this, 5, lblPsize, "lblPsize", "Particle Index", txtPsize, "txtPsize");
    kRows.add(this, 6, lblPload, "lblPload", "Loading Index", txtPload, "txtPload");

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", kBoxLeft, row(7) + 60, 1080, 480);
    connect(imgBack, &QAbstractButton::clicked, this, &frmSPinputs::imgBack_Click);
}

void frmSPinputs::LoadSP()
{
    if (Channel < 0 || Channel >= modData::ChannelCount)
        return;
    const modData::ChannelRecord& c = m_session.ChannelCells[static_cast<std::size_t>(Channel)];
    optOscope->setChecked(c.SigMode.u == kOscopeMode);
    txtThresh->setText(shown(c.Threshold));
    txtOver->setText(shown(c.AntiJitter));
    txtCutoff->setText(shown(c.CutOff));
    txtPulseWidth->setText(shown(c.PulseWidth));
    txtPsize->setText(shown(c.ParticleIndex));
    txtPload->setText(shown(c.LoadingIndex));
    show();
    raise();
}

void frmSPinputs::imgBack_Click()
{
    if (Channel < 0 || Channel >= modData::ChannelCount) {
        hide();
        return;
    }
    modData::ChannelRecord& c = m_session.ChannelCells[static_cast<std::size_t>(Channel)];
    struct Field {
        QLineEdit* box;
        QLabel* label;
        modData::ParameterCell* cell;
        cellinput::Range range;
    };
    // Bytes and integers are rounded half to even by the store.
    const std::array<Field, 6> fields = {{{txtThresh, lblThresh, &c.Threshold, cellinput::kByte},
                                          {txtOver, lblOver, &c.AntiJitter, cellinput::kByte},
                                          {txtPulseWidth, lblPulseWidth, &c.PulseWidth, cellinput::kByte},
                                          {txtCutoff, lblCutoff, &c.CutOff, cellinput::kAnySingle},
                                          {txtPsize, lblPsize, &c.ParticleIndex, cellinput::kSignedWord},
                                          {txtPload, lblPload, &c.LoadingIndex, cellinput::kSignedWord}}};
    // Every box is checked before any is stored: one bad box stores nothing.
    std::array<modData::ParameterCell, 6> values;
    cellinput::Refusals refused;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        values[i] = *f.cell;
        if (!cellinput::Store(values[i], f.box->text(), 1.0, f.range))
            refused.add(f.box, cellinput::RefusedLine(f.label->text(), f.box->text(), f.range), shown(*f.cell));
    }
    if (refused.tell(m_session.dialogs(), windowTitle()))
        return;
    c.SigMode.u = optOscope->isChecked() ? kOscopeMode : kNormalMode;
    for (std::size_t i = 0; i < fields.size(); ++i)
        modData::CopyCellValue(*fields[i].cell, values[i]);
    hide();
}

void frmSPinputs::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the record as it was; the window is only hidden.
    event->accept();
}
