#include "channel/frmPipe.h"

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
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {
constexpr int kFormWidth = 5040;
constexpr int kFormHeight = 4080;
// Design-time places of the index-1 and index-2 caption pictures, beside the visible area.
constexpr int kArrayStep = 6000;
constexpr int kMaterials = 9;
constexpr int kWallSpeedColumn = 5;
// Lengths a pipe can have, in metres.
constexpr cellinput::Range kLength{0.0, 100.0};

// The sound path through a pipe: across once between transducers on opposite walls, or down and
// back up between transducers on the same wall.
QPixmap soundPath(int traverses, QSize size)
{
    QPixmap pm(size.expandedTo(QSize(1, 1)));
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = size.width();
    const double h = size.height();
    const double wall = h * 0.09;
    const QRectF top(0, h * 0.26, w, wall);
    const QRectF bottom(0, h * 0.74 - wall, w, wall);
    p.fillRect(QRectF(0, top.bottom(), w, bottom.top() - top.bottom()), QColor(0xDC, 0xEA, 0xF8));
    p.fillRect(top, QColor(0x8C, 0x8C, 0x96));
    p.fillRect(bottom, QColor(0x8C, 0x8C, 0x96));
    const double bw = w * 0.16;
    const double bh = h * 0.16;
    const double x1 = w * 0.2;
    const double x2 = w * 0.8;
    const QColor block(0x30, 0x40, 0x58);
    p.fillRect(QRectF(x1 - bw / 2, top.top() - bh, bw, bh), block);
    QPolygonF path;
    path << QPointF(x1, top.top());
    if (traverses == 1) {
        p.fillRect(QRectF(x2 - bw / 2, bottom.bottom(), bw, bh), block);
        path << QPointF(x2, bottom.bottom());
    } else {
        p.fillRect(QRectF(x2 - bw / 2, top.top() - bh, bw, bh), block);
        path << QPointF(w / 2, bottom.top()) << QPointF(x2, top.top());
    }
    p.setPen(QPen(QColor(0xC0, 0x20, 0x20), std::max(1.5, h / 40.0)));
    p.drawPolyline(path);
    return pm;
}
} // namespace

TraversePicture::TraversePicture(QWidget* parent, int traverses, int left, int top, int width, int height)
    : PictureButton(parent), m_traverses(traverses)
{
    twips::place(this, left, top, width, height);
    setPicture(soundPath(m_traverses, size()));
}

void TraversePicture::setBorderStyle(int style)
{
    m_borderStyle = style;
    update();
}

void TraversePicture::paintEvent(QPaintEvent* event)
{
    PictureButton::paintEvent(event);
    if (m_borderStyle != 1)
        return;
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

frmPipe::frmPipe(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmPipe"));
    setWindowTitle(QStringLiteral("Pipe Properties"));
    buildControls();
    // Esc closes the window, storing nothing.
    keyboard::Install(*this, imgBack, [this] { close(); });
}

frmPipe::~frmPipe() = default;

void frmPipe::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    imgOD.create(this, QStringLiteral("imgOD"), "pipeod", 240, 240, 1920, 420, kArrayStep);
    imgWall.create(this, QStringLiteral("imgWall"), "pipewall", 240, 780, 1920, 420, kArrayStep);
    imgMaterial.create(this, QStringLiteral("imgMaterial"), "pipematerial", 240, 1320, 1920, 420, kArrayStep);

    const std::pair<QLineEdit**, const char*> boxes[] = {{&txtOD, "txtOD"}, {&txtWall, "txtWall"}};
    int top = 270;
    for (const auto& [member, name] : boxes) {
        *member = new QLineEdit(this);
        (*member)->setObjectName(QString::fromLatin1(name));
        twips::place(*member, 2280, top, 1200, 360);
        top += 540;
    }
    txtOD->setToolTip(QStringLiteral("Outside diameter"));
    txtWall->setToolTip(QStringLiteral("Wall thickness"));

    cmbUnit = new QComboBox(this);
    cmbUnit->setObjectName(QStringLiteral("cmbUnit"));
    twips::place(cmbUnit, 3600, 270, 1200, 360);
    connect(cmbUnit, &QComboBox::activated, this, &frmPipe::cmbUnit_Click);

    cmbMaterial = new QComboBox(this);
    cmbMaterial->setObjectName(QStringLiteral("cmbMaterial"));
    twips::place(cmbMaterial, 2280, 1350, 2520, 360);

    img1Trav = new TraversePicture(this, 1, 240, 1920, 2160, 1200);
    img1Trav->setObjectName(QStringLiteral("img1Trav"));
    img1Trav->setToolTip(QStringLiteral("1 traverse"));
    connect(img1Trav, &QAbstractButton::clicked, this, &frmPipe::img1Trav_Click);
    img2Trav = new TraversePicture(this, 2, 2640, 1920, 2160, 1200);
    img2Trav->setObjectName(QStringLiteral("img2Trav"));
    img2Trav->setToolTip(QStringLiteral("2 traverses"));
    connect(img2Trav, &QAbstractButton::clicked, this, &frmPipe::img2Trav_Click);

    cmdCalcSpace = new QPushButton(QStringLiteral("CALC"), this);
    cmdCalcSpace->setObjectName(QStringLiteral("cmdCalcSpace"));
    twips::place(cmdCalcSpace, 240, 3360, 1080, 420);
    connect(cmdCalcSpace, &QPushButton::clicked, this, &frmPipe::cmdCalcSpace_Click);

    txtSpace = new QLineEdit(this);
    txtSpace->setObjectName(QStringLiteral("txtSpace"));
    txtSpace->setToolTip(QStringLiteral("Transducer spacing"));
    twips::place(txtSpace, 1440, 3390, 1200, 360);

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", 3720, 3360, 1080, 420);
    connect(imgBack, &QAbstractButton::clicked, this, &frmPipe::imgBack_Click);
}

modData::ChannelRecord& frmPipe::channel()
{
    return m_session.ChannelCells[static_cast<std::size_t>(std::clamp<int>(Channel, 0, modData::ChannelCount - 1))];
}

void frmPipe::SetLang(std::int16_t iLang)
{
    if (iLang < 0 || iLang > 2)
        return;
    for (LanguageArray* a : {&imgOD, &imgWall, &imgMaterial})
        a->showLanguage(iLang);
}

void frmPipe::Set_Form()
{
    SetLang(m_session.Language);
    m_unitKind = modLabels::KindLength;
    cmbUnit->show();
    modLabels::FillUnitCombo(*cmbUnit, m_session, m_unitKind, 0);
    m_factor = m_session.UnitFactor(m_unitKind, 0);

    // Shown in single precision, as the cells hold them: 9.52, not 9.519999.
    const modData::ChannelRecord& r = channel();
    txtWall->setText(vbtext::CStrSingle(r.WallThick.f / m_factor));
    txtOD->setText(vbtext::CStrSingle((r.PipeID.f + 2.0f * r.WallThick.f) / m_factor));
    txtSpace->setText(vbtext::CStrSingle(r.Spacing.f / m_factor));
    m_shownOD = txtOD->text();
    m_shownWall = txtWall->text();
    m_shownSpace = txtSpace->text();
    m_shownFactor = m_factor;

    modLabels::FillPickCombo(*cmbMaterial, m_session, modLabels::ListPipeMaterial, kMaterials);
    cmbMaterial->setCurrentIndex(MaterialIndex >= 0 && MaterialIndex < cmbMaterial->count() ? MaterialIndex : -1);
    // A count other than 1 or 2 is taken as 2, the picture it borders.
    setTraverses(r.Traverses.u == 1 ? 1 : 2);

    show();
    if (frmSPXdcr* special = m_session.windows().find<frmSPXdcr>())
        special->hide();
    m_session.windows().get<frmXducer>().hide();
}

void frmPipe::setTraverses(int n)
{
    m_traverses = n;
    img1Trav->setBorderStyle(n == 1 ? 1 : 0);
    img2Trav->setBorderStyle(n == 1 ? 0 : 1);
}

void frmPipe::img1Trav_Click() { setTraverses(1); }
void frmPipe::img2Trav_Click() { setTraverses(2); }

void frmPipe::cmbUnit_Click() { cmbUnit_Change(); }

void frmPipe::cmbUnit_Change()
{
    const float f1 = m_session.UnitFactor(m_unitKind, cmbUnit->currentIndex());
    if (!(f1 > 0.0f))
        return;
    // A box that holds no number keeps its text, so that going back still refuses it.
    const std::pair<QLineEdit*, const char*> boxes[] = {
        {txtWall, "##0.0000"}, {txtOD, "##0.000"}, {txtSpace, "##0.000"}};
    for (const auto& [box, picture] : boxes) {
        if (cellinput::HoldsNumber(box->text()))
            modLabels::ChangeUnitText(*box, m_factor, f1, QString::fromLatin1(picture));
    }
    m_factor = f1;
}

bool frmPipe::shownUnchanged(const QLineEdit& box, const QString& shown) const
{
    return m_factor == m_shownFactor && box.text() == shown;
}

void frmPipe::refuse(cellinput::Refusals& refused, const QString& field, QLineEdit& box, double scale)
{
    refused.add(&box, cellinput::RefusedLine(field, box.text(), kLength, scale), keptText(box));
}

QString frmPipe::keptText(const QLineEdit& box)
{
    const modData::ChannelRecord& r = channel();
    struct Kept {
        const QLineEdit* box;
        const QString& shown;
        float metres;
        const char* picture; // as a change of unit shows it
    };
    const Kept all[] = {{txtOD, m_shownOD, r.PipeID.f + 2.0f * r.WallThick.f, "##0.000"},
                        {txtWall, m_shownWall, r.WallThick.f, "##0.0000"},
                        {txtSpace, m_shownSpace, r.Spacing.f, "##0.000"}};
    for (const Kept& k : all) {
        if (k.box == &box)
            return m_factor == m_shownFactor ? k.shown
                                             : vbtext::FormatSingle(k.metres / m_factor, QString::fromLatin1(k.picture));
    }
    return box.text();
}

std::optional<frmPipe::PipeBoxes> frmPipe::readPipe(bool keepShown, cellinput::Refusals& refused)
{
    const double scale = spacing::MetresPerUnit(m_factor);
    const modData::ChannelRecord& r = channel();
    PipeBoxes b{static_cast<double>(r.PipeID.f) + 2.0 * static_cast<double>(r.WallThick.f),
                static_cast<double>(r.WallThick.f), !keepShown || !shownUnchanged(*txtOD, m_shownOD),
                !keepShown || !shownUnchanged(*txtWall, m_shownWall)};
    bool read = true;
    if (b.outsideChanged) {
        const std::optional<double> v = cellinput::Checked(txtOD->text(), scale, kLength);
        if (v) {
            b.outside = *v;
        } else {
            refuse(refused, QStringLiteral("Outside diameter"), *txtOD, scale);
            read = false;
        }
    }
    if (b.wallChanged) {
        const std::optional<double> v = cellinput::Checked(txtWall->text(), scale, kLength);
        if (v) {
            b.wall = *v;
        } else {
            refuse(refused, QStringLiteral("Wall thickness"), *txtWall, scale);
            read = false;
        }
    }
    if (!read)
        return std::nullopt;
    if ((b.outsideChanged || b.wallChanged) && !(static_cast<float>(b.outside - 2.0 * b.wall) > 0.0f)) {
        // The two boxes go back together: the pair they keep has an inside diameter.
        refused.add(txtWall,
                    QStringLiteral("Wall thickness: \"%1\" leaves no inside diameter: the wall must be less than half "
                                   "the outside diameter \"%2\".")
                        .arg(txtWall->text().trimmed(), txtOD->text().trimmed()),
                    keptText(*txtWall));
        refused.add(txtOD, QString(), keptText(*txtOD));
        return std::nullopt;
    }
    return b;
}

void frmPipe::cmdCalcSpace_Click()
{
    cellinput::Refusals refused;
    const std::optional<PipeBoxes> pipe = readPipe(false, refused);
    if (refused.tell(m_session.dialogs(), windowTitle()) || !pipe)
        return;
    const modData::ChannelRecord& r = channel();
    spacing::PipeGeometry g;
    g.outsideDiameter = pipe->outside;
    g.wall = pipe->wall;
    g.wallSpeed = m_session.TransducerDefault(kWallSpeedColumn, cmbMaterial->currentIndex());
    g.sinRefract = r.SinRefract.f;
    g.wedgeSpeed = r.WedgeSpeed.f;
    g.fluidSpeed = r.MaxVOS.f;
    g.traverses = m_traverses;
    const spacing::Result s = spacing::TransducerSpacing(g);
    QString why;
    switch (s.fault) {
    case spacing::Fault::None:
        txtSpace->setText(vbtext::Format(s.metres / spacing::MetresPerUnit(m_factor), QStringLiteral("##0.00")));
        return;
    case spacing::Fault::NoWedgeSpeed:
        why = QStringLiteral("the transducer's wedge speed (%1 m/s) is not above 0").arg(vbtext::CStrSingle(g.wedgeSpeed));
        break;
    case spacing::Fault::NoFluidRefraction:
        why = QStringLiteral("at the transducer's refraction angle and wedge speed (%1 m/s) the sound does not enter a "
                             "fluid of %2 m/s, the channel's upper sound-speed limit")
                  .arg(vbtext::CStrSingle(g.wedgeSpeed), vbtext::CStrSingle(g.fluidSpeed));
        break;
    case spacing::Fault::NoLength:
        why = QStringLiteral("the transducer's refraction angle gives no spacing");
        break;
    }
    m_session.dialogs().inform(
        QStringLiteral("The spacing cannot be calculated: %1.\nThe spacing is not changed.").arg(why), windowTitle());
}

bool frmPipe::storeBoxes()
{
    cellinput::Refusals refused;
    const std::optional<PipeBoxes> pipe = readPipe(true, refused);
    const double scale = spacing::MetresPerUnit(m_factor);
    std::optional<double> space;
    if (!shownUnchanged(*txtSpace, m_shownSpace)) {
        space = cellinput::Checked(txtSpace->text(), scale, kLength);
        if (!space)
            refuse(refused, QStringLiteral("Spacing"), *txtSpace, scale);
    }
    if (refused.tell(m_session.dialogs(), windowTitle()) || !pipe)
        return false;
    modData::ChannelRecord& r = channel();
    if (pipe->outsideChanged || pipe->wallChanged)
        r.PipeID.f = static_cast<float>(pipe->outside - 2.0 * pipe->wall);
    if (pipe->wallChanged)
        r.WallThick.f = static_cast<float>(pipe->wall);
    r.WallSpeed.f = m_session.TransducerDefault(kWallSpeedColumn, cmbMaterial->currentIndex());
    if (space)
        r.Spacing.f = static_cast<float>(*space);
    r.Traverses.u = static_cast<std::uint32_t>(m_traverses);
    return true;
}

void frmPipe::imgBack_Click()
{
    // A box that cannot be stored keeps the window open for the user to correct it.
    if (!storeBoxes())
        return;
    hide();
    m_session.windows().get<frmXducer>().show();
}

void frmPipe::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the record as it was.
    m_session.windows().get<frmXducer>().show();
    event->accept();
}
