#include "channel/frmFluid.h"

#include "channel/cellinput.h"
#include "channel/refusals.h"
#include "engine/session.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>

#include <array>

namespace {
constexpr int kFormWidth = 4320;
constexpr int kFormHeight = 2520;
constexpr int kLabelLeft = 120;
constexpr int kLabelWidth = 1560;
constexpr int kBoxLeft = 1800;
constexpr int kBoxWidth = 1200;
constexpr int kUnitLeft = 3060;
constexpr int kUnitWidth = 1200;
constexpr int kRowHeight = 315;
constexpr int kFirstRow = 240;
constexpr int kRowStep = 480;
} // namespace

frmFluid::frmFluid(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmFluid"));
    setWindowTitle(QStringLiteral("User Specified Fluid"));
    buildControls();
    // Esc closes the window, storing nothing.
    keyboard::Install(*this, imgBack, [this] { close(); });
}

frmFluid::~frmFluid() = default;

void frmFluid::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    auto label = [this](const char* name, const char* text, int left, int top, int width, Qt::Alignment align) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(align | Qt::AlignVCenter);
        twips::place(l, left, top, width, kRowHeight);
        return l;
    };
    auto box = [this](const char* name, const char* text, int top) {
        auto* t = new QLineEdit(QString::fromLatin1(text), this);
        t->setObjectName(QLatin1String(name));
        twips::place(t, kBoxLeft, top, kBoxWidth, kRowHeight);
        return t;
    };

    const int row0 = kFirstRow, row1 = kFirstRow + kRowStep, row2 = kFirstRow + 2 * kRowStep;
    lblVOS = label("lblVOS", "Sonic Velocity", kLabelLeft, row0, kLabelWidth, Qt::AlignRight);
    txtVOS = box("txtVOS", "1481", row0);
    lblDensity = label("lblDensity", "Density", kLabelLeft, row1, kLabelWidth, Qt::AlignRight);
    txtDensity = box("txtDensity", "1000", row1);
    lblDensityUnit = label("lblDensityUnit", "kg/m^3", kUnitLeft, row1, kUnitWidth, Qt::AlignLeft);
    lblDynVisc = label("lblDynVisc", "Dyn. Visc.", kLabelLeft, row2, kLabelWidth, Qt::AlignRight);
    txtDynVisc = box("txtDynVisc", "", row2);
    lblDynViscUnit = label("lblDynViscUnit", "m^2/s E-6", kUnitLeft, row2, kUnitWidth, Qt::AlignLeft);

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", kBoxLeft, row2 + kRowStep + 120, 1080, 480);
    connect(imgBack, &QAbstractButton::clicked, this, &frmFluid::imgBack_Click);
}

namespace {
// A box of the window: its cell, the factors from stored to shown and back, and its picture.
struct Field {
    QLineEdit* box;
    QLabel* label;
    modData::ParameterCell* cell;
    double shownPerStored;
    double scale; // stored per shown
    const char* picture;

    QString shown() const
    {
        return vbtext::FormatSingle(static_cast<float>(static_cast<double>(cell->f) * shownPerStored),
                                    QString::fromLatin1(picture));
    }
};

std::array<Field, 3> Fields(frmFluid& w, modData::ChannelRecord& c)
{
    return {{{w.txtDensity, w.lblDensity, &c.FluidDensity, 1.0, 1.0, "####0.00"},
             {w.txtDynVisc, w.lblDynVisc, &c.FluidViscosity, 1e6, 1e-6, "###0.00"},
             {w.txtVOS, w.lblVOS, &c.FluidVOS, 1.0, 1.0, "####.00"}}};
}
} // namespace

void frmFluid::Fill_Boxes(int channel)
{
    if (channel < 0 || channel >= modData::ChannelCount)
        return;
    m_channel = channel;
    for (const Field& f : Fields(*this, m_session.ChannelCells[static_cast<std::size_t>(channel)]))
        f.box->setText(f.shown());
    show();
    raise();
}

void frmFluid::imgBack_Click()
{
    const std::array<Field, 3> fields = Fields(*this, m_session.ChannelCells[static_cast<std::size_t>(m_channel)]);
    // Every box is checked before any is stored: one bad box stores nothing.
    std::array<modData::ParameterCell, 3> values;
    cellinput::Refusals refused;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        values[i] = *f.cell;
        if (!cellinput::Store(values[i], f.box->text(), f.scale, cellinput::kPositive))
            refused.add(f.box, cellinput::RefusedLine(f.label->text(), f.box->text(), cellinput::kPositive, f.scale),
                        f.shown());
    }
    if (refused.tell(m_session.dialogs(), windowTitle()))
        return;
    for (std::size_t i = 0; i < fields.size(); ++i)
        modData::CopyCellValue(*fields[i].cell, values[i]);
    // FluidKind stays as it was.
    hide();
}

void frmFluid::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the record as it was; the window is only hidden.
    event->accept();
}
