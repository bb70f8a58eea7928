#include "channel/frmSpool.h"

#include "channel/cellinput.h"
#include "channel/frmSPXdcr.h"
#include "channel/frmXducer.h"
#include "channel/refusals.h"
#include "channel/spacing.h"
#include "engine/session.h"
#include "meterdata/unitcombo.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>
#include <optional>

namespace {
constexpr int kFormWidth = 5040;
constexpr int kFormHeight = 2520;
constexpr int kArrayStep = 6000;
// Lengths a spool piece can have, in metres.
constexpr cellinput::Range kLength{0.0, 100.0};
const QString kPicture = QStringLiteral("####.000");
} // namespace

frmSpool::frmSpool(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmSpool"));
    setWindowTitle(QStringLiteral("Insertion Meter"));
    buildControls();
    // Esc closes the window, storing nothing.
    keyboard::Install(*this, imgBack, [this] { close(); });
}

frmSpool::~frmSpool() = default;

void frmSpool::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    imgID.create(this, QStringLiteral("imgID"), "spoolid", 240, 240, 1920, 420, kArrayStep);
    imgPath.create(this, QStringLiteral("imgPath"), "spoolpath", 240, 780, 1920, 420, kArrayStep);
    imgAxial.create(this, QStringLiteral("imgAxial"), "spoolaxial", 240, 1320, 1920, 420, kArrayStep);

    const std::pair<QLineEdit**, const char*> boxes[] = {
        {&txtID, "txtID"}, {&txtPath, "txtPath"}, {&txtAxial, "txtAxial"}};
    int top = 270;
    for (const auto& [member, name] : boxes) {
        *member = new QLineEdit(this);
        (*member)->setObjectName(QString::fromLatin1(name));
        twips::place(*member, 2280, top, 1200, 360);
        top += 540;
    }

    cmbUnit = new QComboBox(this);
    cmbUnit->setObjectName(QStringLiteral("cmbUnit"));
    twips::place(cmbUnit, 3600, 270, 1200, 360);
    connect(cmbUnit, &QComboBox::activated, this, &frmSpool::cmbUnit_Click);

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", 3720, 1860, 1080, 420);
    connect(imgBack, &QAbstractButton::clicked, this, &frmSpool::imgBack_Click);
}

modData::ChannelRecord& frmSpool::channel()
{
    return m_session.ChannelCells[static_cast<std::size_t>(std::clamp<int>(Channel, 0, modData::ChannelCount - 1))];
}

std::array<frmSpool::Box, 3> frmSpool::boxes()
{
    modData::ChannelRecord& r = channel();
    return {{{txtID, &r.PipeID, "Inside diameter"},
             {txtPath, &r.PathLength, "Path length"},
             {txtAxial, &r.AxialLength, "Axial length"}}};
}

void frmSpool::SetLang(std::int16_t iLang)
{
    if (iLang < 0 || iLang > 2)
        return;
    for (LanguageArray* a : {&imgID, &imgPath, &imgAxial})
        a->showLanguage(iLang);
}

void frmSpool::Set_Form()
{
    SetLang(m_session.Language);
    m_unitKind = modLabels::KindLength;
    cmbUnit->show();
    modLabels::FillUnitCombo(*cmbUnit, m_session, m_unitKind, 0);
    m_factor = m_session.UnitFactor(m_unitKind, 0);
    m_shownFactor = m_factor;
    std::size_t i = 0;
    for (const Box& b : boxes()) {
        b.box->setText(vbtext::FormatSingle(b.cell->f / m_factor, kPicture));
        m_shown[i++] = b.box->text();
    }
    show();
    m_session.windows().get<frmXducer>().hide();
    if (frmSPXdcr* special = m_session.windows().find<frmSPXdcr>())
        special->hide();
}

void frmSpool::cmbUnit_Click() { cmbUnit_Change(); }

void frmSpool::cmbUnit_Change()
{
    const float f1 = m_session.UnitFactor(m_unitKind, cmbUnit->currentIndex());
    if (!(f1 > 0.0f))
        return;
    // A box that holds no number keeps its text, so that going back still refuses it.
    for (const Box& b : boxes()) {
        if (cellinput::HoldsNumber(b.box->text()))
            modLabels::ChangeUnitText(*b.box, m_factor, f1, kPicture);
    }
    m_factor = f1;
}

bool frmSpool::storeBoxes()
{
    const double scale = spacing::MetresPerUnit(m_factor);
    const std::array<Box, 3> all = boxes();
    std::array<std::optional<double>, 3> typed;
    cellinput::Refusals refused;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Box& b = all[i];
        const bool sameUnit = m_factor == m_shownFactor;
        if (sameUnit && b.box->text() == m_shown[i])
            continue;
        typed[i] = cellinput::Checked(b.box->text(), scale, kLength);
        if (!typed[i])
            refused.add(b.box, cellinput::RefusedLine(QString::fromLatin1(b.field), b.box->text(), kLength, scale),
                        sameUnit ? m_shown[i] : vbtext::FormatSingle(b.cell->f / m_factor, kPicture));
    }
    if (refused.tell(m_session.dialogs(), windowTitle()))
        return false;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (typed[i])
            all[i].cell->f = static_cast<float>(*typed[i]);
    }
    return true;
}

void frmSpool::imgBack_Click()
{
    // A box that cannot be stored keeps the window open for the user to correct it.
    if (!storeBoxes())
        return;
    hide();
    m_session.windows().get<frmXducer>().show();
}

void frmSpool::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the record as it was.
    m_session.windows().get<frmXducer>().show();
    event->accept();
}
