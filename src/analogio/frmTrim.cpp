#include "analogio/frmTrim.h"

#include "analogio/frmAnalogOUT.h"
#include "engine/session.h"
#include "link/commands.h"
#include "platform/keyboard.h"
#include "platform/shape.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFormWidth = 3600;
constexpr int kFormHeight = 3840;
constexpr int kKnobLeft = 420;
constexpr int kKnobTop = 780;
constexpr int kKnobSide = 1440;

const QString kDeltaPicture = QStringLiteral("#.00 mA");

// Kind 6 carries byte 7 = 1 (the high end), kind 4 byte 7 = 0.
int endKind(std::uint8_t end)
{
    return end == 1 ? modComFun::KindTrimKeep : modComFun::KindTrimStep;
}

// The knob in position `step`: its pointer turns a quarter clockwise for each step down (the
// up arrows turn it clockwise).
QPixmap knobPicture(int step, int side)
{
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(side / 2.0, side / 2.0);
    const double radius = side * 0.44;
    QRadialGradient g(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    g.setColorAt(0, QColor(0xE8, 0xE8, 0xE8));
    g.setColorAt(1, QColor(0x60, 0x60, 0x68));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2));
    p.drawEllipse(centre, radius, radius);
    const double angle = -step * 3.14159265358979 / 2; // clockwise from 12 o'clock
    const QPointF tip(centre.x() + std::sin(angle) * radius * 0.8, centre.y() - std::cos(angle) * radius * 0.8);
    p.setPen(QPen(QColor(0xC0, 0x20, 0x20), side * 0.07, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, tip);
    return pm;
}

} // namespace

frmTrim::frmTrim(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmTrim"));
    setWindowTitle(QStringLiteral("Output Trim"));
    setWindowFlag(Qt::Dialog);
    buildControls();
    keyboard::Install(*this, imgOkay, imgCancel);
    m_session.onLink(this, [this](frmCDR& link) {
        connect(&link, &frmCDR::timedOut, this, &frmTrim::LinkGaveUp);
        connect(&link, &frmCDR::sendFailed, this, &frmTrim::LinkGaveUp);
    });
}

frmTrim::~frmTrim() = default;

void frmTrim::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    const std::array<std::array<int, 4>, 2> shapes = {{{240, 600, 1800, 1800}, {2160, 600, 1200, 1800}}};
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        auto* s = new Shape(this);
        s->setObjectName(QStringLiteral("Shape1_%1").arg(i));
        s->setFillColor(0xE0D8D0);
        twips::place(s, shapes[i][0], shapes[i][1], shapes[i][2], shapes[i][3]);
        Shape1[i] = s;
    }

    const std::array<std::array<int, 4>, 3> titles = {
        {{240, 120, 1800, 360}, {2160, 120, 1200, 360}, {240, 2520, 3120, 360}}};
    const char* const initial[3] = {"LOOP 1", "HIGH", "0 mA"};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        auto* l = new QLabel(QString::fromLatin1(initial[i]), this);
        l->setObjectName(QStringLiteral("lblTitle_%1").arg(i));
        l->setAlignment(Qt::AlignCenter);
        QFont f = l->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.2);
        l->setFont(f);
        twips::place(l, titles[i][0], titles[i][1], titles[i][2], titles[i][3]);
        lblTitle[i] = l;
    }

    for (std::size_t i = 0; i < imgPot.size(); ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("imgPot_%1").arg(i));
        twips::place(l, kKnobLeft, kKnobTop, kKnobSide, kKnobSide);
        l->setPixmap(knobPicture(static_cast<int>(i), l->width()));
        l->setVisible(i == 0);
        imgPot[i] = l;
    }

    // Double up, single up, single down, double down.
    imgInc[1] = createPictureButton(this, QStringLiteral("imgInc_1"), "up2", 2280, 660, 960, 360);
    imgInc[0] = createPictureButton(this, QStringLiteral("imgInc_0"), "up1", 2280, 1080, 960, 360);
    imgRdc[0] = createPictureButton(this, QStringLiteral("imgRdc_0"), "down1", 2280, 1500, 960, 360);
    imgRdc[1] = createPictureButton(this, QStringLiteral("imgRdc_1"), "down2", 2280, 1920, 960, 360);
    for (int i = 0; i < 2; ++i) {
        connect(imgInc[static_cast<std::size_t>(i)], &QAbstractButton::clicked, this, [this, i] { imgInc_Click(i); });
        connect(imgRdc[static_cast<std::size_t>(i)], &QAbstractButton::clicked, this, [this, i] { imgRdc_Click(i); });
    }
    imgOkay = createPictureButton(this, QStringLiteral("imgOkay"), "tick", 360, 3000, 1200, 600);
    imgCancel = createPictureButton(this, QStringLiteral("imgCancel"), "cross", 2040, 3000, 1200, 600);
    connect(imgOkay, &QAbstractButton::clicked, this, &frmTrim::imgOkay_Click);
    connect(imgCancel, &QAbstractButton::clicked, this, &frmTrim::imgCancel_Click);
}

frmAnalogOUT& frmTrim::analog()
{
    return m_session.windows().get<frmAnalogOUT>();
}

void frmTrim::TrimInput(std::uint8_t end, std::uint8_t loop)
{
    analog().hide();
    TrimEnd = end;
    TrimLoop = loop;
    // A trim starts afresh, also after an acknowledgement that never came.
    AckPending = 0;
    setBusy(false);
    lblTitle[1]->setText(TrimEnd == 1 ? QStringLiteral("HIGH") : QStringLiteral("LOW"));
    lblTitle[0]->setText(TrimLoop == 1 ? QStringLiteral("LOOP 1") : QStringLiteral("LOOP 2"));
    PotStep = 0;
    for (std::size_t i = 1; i < imgPot.size(); ++i)
        imgPot[i]->move(imgPot[0]->pos());
    turnKnob(0);
    show();
    raise();
    TrimCounts = TrimEnd == 1 ? kStartHigh : kStartLow;
    TrimStart = TrimCounts;
    TrimDelta = 0.0f;
    showDelta();
    sendAdjusting();
}

void frmTrim::RcvAck()
{
    AckPending = 0;
    setBusy(false);
}

void frmTrim::LinkGaveUp()
{
    if (AckPending == 0)
        return;
    AckPending = 0;
    setBusy(false);
}

void frmTrim::sendAdjusting()
{
    if (AckPending != 0)
        return;
    AckPending = 1;
    setBusy(true);
    modComFun::BuildCommand(m_session.link(), endKind(TrimEnd), m_session.NodeAddress, TrimLoop, TrimCounts);
}

void frmTrim::showDelta()
{
    TrimDelta = static_cast<float>((TrimCounts - TrimStart) * kMilliampsPerCount);
    const QString text = vbtext::FormatSingle(TrimDelta, kDeltaPicture);
    lblTitle[2]->setText(text);
    frmAnalogOUT& out = analog();
    (TrimEnd == 1 ? out.txtDacHi : out.txtDacLo)->setText(text);
}

void frmTrim::turnKnob(int by)
{
    PotStep = static_cast<std::int16_t>((PotStep + by + 4) % 4);
    for (std::size_t i = 0; i < imgPot.size(); ++i)
        imgPot[i]->setVisible(static_cast<int>(i) == PotStep);
}

void frmTrim::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    for (PictureButton* b : {imgInc[0], imgInc[1], imgRdc[0], imgRdc[1], imgOkay, imgCancel})
        b->setCursor(busy ? Qt::WaitCursor : Qt::PointingHandCursor);
}

// Arrows: while an acknowledgement is awaited the knob turns but the count stays and nothing goes.

void frmTrim::imgInc_Click(int index)
{
    if (AckPending == 0)
        TrimCounts = std::min(TrimCounts + (index == 0 ? 3 : 100), kMaxCounts);
    showDelta();
    turnKnob(-1);
    sendAdjusting();
}

void frmTrim::imgRdc_Click(int index)
{
    if (AckPending == 0)
        TrimCounts = std::max(TrimCounts - (index == 0 ? 3 : 25), 0);
    showDelta();
    turnKnob(1);
    sendAdjusting();
}

void frmTrim::imgOkay_Click()
{
    // While an acknowledgement is awaited OK is ignored, as the arrows are: the dialog stays up
    // and the keep command goes with the next OK.
    if (AckPending != 0)
        return;
    modComFun::BuildCommand(m_session.link(), endKind(TrimEnd), m_session.NodeAddress, kFinish, TrimCounts);
    analog().show();
    AckPending = 0;
    hide();
}

void frmTrim::imgCancel_Click()
{
    analog().show();
    if (AckPending != 0)
        return;
    // The end command always goes as kind 4, for either end.
    modComFun::BuildCommand(m_session.link(), modComFun::KindTrimStep, m_session.NodeAddress, kFinish, TrimCounts);
    hide();
}

void frmTrim::closeEvent(QCloseEvent* event)
{
    // Closing is Cancel: while an acknowledgement is awaited the dialog stays.
    imgCancel_Click();
    event->ignore();
}
