#include "channel/frmResponse.h"

#include "engine/session.h"
#include "platform/keyboard.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QRadioButton>

#include <algorithm>

namespace {
constexpr int kFormWidth = 3960;
constexpr int kFormHeight = 4320;
constexpr int kOptionLeft = 360;
constexpr int kOptionWidth = 1680;
constexpr int kRowHeight = 315;
constexpr int kFirstRow = 840;
constexpr int kRowStep = 390;

const char* const kCaptions[frmResponse::kOptions] = {"Auto",  "Feed Back", "None",  "2 Sec",
                                                      "5 Sec", "30 Sec",    "60 Sec"};
} // namespace

frmResponse::frmResponse(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmResponse"));
    setWindowTitle(QStringLiteral("Respoonse Time"));
    buildControls();
    keyboard::Install(*this, imgAccept, imgCancel);
}

frmResponse::~frmResponse() = default;

void frmResponse::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    cmbChann = new QComboBox(this);
    cmbChann->setObjectName(QStringLiteral("cmbChann"));
    cmbChann->addItems({QStringLiteral("Chan A"), QStringLiteral("Chan B")});
    twips::place(cmbChann, kOptionLeft, 240, kOptionWidth, kRowHeight);
    connect(cmbChann, &QComboBox::activated, this, &frmResponse::cmbChann_Click);

    for (int i = 0; i < kOptions; ++i) {
        auto* b = new QRadioButton(QString::fromLatin1(kCaptions[i]), this);
        b->setObjectName(QStringLiteral("optTime_%1").arg(i));
        twips::place(b, kOptionLeft, kFirstRow + i * kRowStep, kOptionWidth, kRowHeight);
        connect(b, &QRadioButton::clicked, this, [this, i] { optTime_Click(i); });
        optTime[static_cast<std::size_t>(i)] = b;
    }

    const int buttonTop = kFirstRow + kOptions * kRowStep + 120;
    imgAccept = createPictureButton(this, QStringLiteral("imgAccept"), "ok", 360, buttonTop, 1440, 480);
    imgCancel = createPictureButton(this, QStringLiteral("imgCancel"), "cancel", 2040, buttonTop, 1440, 480);
    connect(imgAccept, &QAbstractButton::clicked, this, &frmResponse::imgAccept_Click);
    connect(imgCancel, &QAbstractButton::clicked, this, &frmResponse::imgCancel_Click);
}

void frmResponse::Setform()
{
    show();
    raise();
    const bool single = m_session.GlobalCells.NumberChan.u == 1;
    cmbChann->setCurrentIndex(0);
    m_shown = 0;
    cmbChann->setVisible(!single);
    cmbChann->setEnabled(!single);
    m_pending = {kNoChoice, kNoChoice};
    showChannel(0);
}

void frmResponse::showChannel(int channel)
{
    const std::uint32_t code = m_session.ChannelCells[static_cast<std::size_t>(channel)].ResponseTime.u;
    const auto found = std::find(kCodes.begin(), kCodes.end(), code);
    const int index = found != kCodes.end() ? static_cast<int>(found - kCodes.begin()) : kUnknownCodeOption;
    optTime[static_cast<std::size_t>(index)]->setChecked(true);
    // The shown option becomes the channel's choice only while the user has made none for it: a
    // choice made before the other channel was shown is kept.
    std::uint16_t& pending = m_pending[static_cast<std::size_t>(channel & 1)];
    if (pending == kNoChoice)
        pending = kCodes[static_cast<std::size_t>(index)];
}

void frmResponse::cmbChann_Click()
{
    const int index = cmbChann->currentIndex();
    if (index < 0 || index > 1)
        return;
    m_shown = static_cast<std::uint8_t>(index);
    showChannel(index);
}

void frmResponse::optTime_Click(int index)
{
    if (index < 0 || index >= kOptions)
        return;
    m_pending[m_shown & 1] = kCodes[static_cast<std::size_t>(index)];
}

void frmResponse::imgAccept_Click()
{
    for (std::size_t c = 0; c < m_pending.size(); ++c) {
        if (m_pending[c] != kNoChoice)
            m_session.ChannelCells[c].ResponseTime.u = m_pending[c];
    }
    hide();
}

void frmResponse::imgCancel_Click()
{
    hide();
}

void frmResponse::closeEvent(QCloseEvent* event)
{
    // Closing by the frame is a cancel: the stored codes stay as they were.
    event->accept();
}
