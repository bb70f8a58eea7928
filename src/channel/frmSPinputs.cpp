#include "channel/frmSPinputs.h"

#include "channel/cellinput.h"
#include "engine/session.h"
#include "platform/dialogservice.h"
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
constexpr int kLabelLeft = 120;
constexpr int kLabelWidth = 1800;
constexpr int kBoxLeft = 2040;
constexpr int kBoxWidth = 1200;
constexpr int kRowHeight = 315;
constexpr int kFirstRow = 240;
constexpr int kRowStep = 450;

int signedWord(std::uint32_t u)
{
    return u > 32767 ? static_cast<int>(u) - 65536 : static_cast<int>(u);
}
} // namespace

frmSPinputs::frmSPinputs(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmSPinputs"));
    setWindowTitle(QStringLiteral("Custom Signal Processing"));
    buildControls();
}

frmSPinputs::~frmSPinputs() = default;

void frmSPinputs::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    auto row = [](int i) { return kFirstRow + i * kRowStep; };
    optOscope = new QCheckBox(QStringLiteral("OScope Mode"), this);
    optOscope->setObjectName(QStringLiteral("optOscope"));
    twips::place(optOscope, kBoxLeft, row(0), kBoxWidth + 600, kRowHeight);

    auto field = [this, &row](QLabel*& label, QLineEdit*& box, const char* labelName, const char* text,
                              const char* boxName, int i) {
        label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QLatin1String(labelName));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        twips::place(label, kLabelLeft, row(i), kLabelWidth, kRowHeight);
        box = new QLineEdit(this);
        box->setObjectName(QLatin1String(boxName));
        twips::place(box, kBoxLeft, row(i), kBoxWidth, kRowHeight);
    };
    field(lblThresh, txtThresh, "lblThresh", "Threshold", "txtThresh", 1);
    field(lblOver, txtOver, "lblOver", "Anti-Jitter", "txtOver", 2);
    field(lblCutoff, txtCutoff, "lblCutoff", "Cut Off", "txtCutoff", 3);
    txtCutoff->setText(QStringLiteral("0.01"));
    field(lblPulseWidth, txtPulseWidth, "lblPulseWidth", "Pulse Width", "txtPulseWidth", 4);
    field(lblPsize, txtPsize, "lblPsize", "Particle Index", "txtPsize", 5);
    field(lblPload, txtPload, "lblPload", "Loading Index", "txtPload", 6);

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", kBoxLeft, row(7) + 60, 1080, 480);
    connect(imgBack, &QAbstractButton::clicked, this, &frmSPinputs::imgBack_Click);
}

void frmSPinputs::LoadSP()
{
    if (Channel < 0 || Channel >= modData::ChannelCount)
        return;
    const modData::ChannelRecord& c = m_session.ChannelCells[static_cast<std::size_t>(Channel)];
    optOscope->setChecked(c.SigMode.u == kOscopeMode);
    txtThresh->setText(QString::number(c.Threshold.u));
    txtOver->setText(QString::number(c.AntiJitter.u));
    txtCutoff->setText(vbtext::CStrSingle(c.CutOff.f));
    txtPulseWidth->setText(QString::number(c.PulseWidth.u));
    txtPsize->setText(QString::number(signedWord(c.ParticleIndex.u)));
    txtPload->setText(QString::number(signedWord(c.LoadingIndex.u)));
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
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        values[i] = *f.cell;
        if (!cellinput::Store(values[i], f.box->text(), 1.0, f.range)) {
            m_session.dialogs().inform(cellinput::RefusedText(f.label->text(), f.box->text(), f.range), windowTitle());
            f.box->setFocus();
            return;
        }
    }
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
