#include "channel/frmZero.h"

#include "engine/session.h"
#include "link/commands.h"
#include "meterdata/frmConfig.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "startup/frmStart.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>

#include <cmath>

namespace {
constexpr int kFormWidth = 5040;
constexpr int kFormHeight = 3000;
// Answer bytes: the delta (single) at 4..7, the status at 8, then the CRC.
constexpr int kDeltaAt = 4;
constexpr int kStatusAt = 8;
constexpr int kAnswerBytes = kStatusAt + 1 + 2;
const char* const kCaption = "Zero Channel";
} // namespace

frmZero::frmZero(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmZero"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    lblChan = new QLabel(QStringLiteral("CHAN"), this);
    lblChan->setObjectName(QStringLiteral("lblChan"));
    twips::place(lblChan, 240, 240, 960, 300);
    cmbChan = new QComboBox(this);
    cmbChan->setObjectName(QStringLiteral("cmbChan"));
    cmbChan->addItems({QStringLiteral("CHAN A"), QStringLiteral("CHANB")});
    twips::place(cmbChan, 1320, 200, 1680, 360);

    const char* const steps[] = {"1.  VERIFY METER IS ERROR FREE", "2.  CHECK FLOW IS BLOCKED (NO FLOW)"};
    for (int i = 0; i < 2; ++i) {
        QLabel* l = new QLabel(QString::fromLatin1(steps[i]), this);
        l->setObjectName(QStringLiteral("lblInst_%1").arg(i));
        twips::place(l, 240, 840 + 360 * i, 4560, 300);
        lblInst[static_cast<std::size_t>(i)] = l;
    }
    chkZero = new QCheckBox(QStringLiteral("Reset"), this);
    chkZero->setObjectName(QStringLiteral("chkZero"));
    twips::place(chkZero, 240, 1680, 1440, 300);
    imgCheck = createPictureButton(this, QStringLiteral("imgCheck"), "zstart", 1800, 2160, 1320, 480);
    imgCancel = createPictureButton(this, QStringLiteral("imgCancel"), "cancel", 3360, 2160, 1320, 480);

    connect(cmbChan, &QComboBox::activated, this, &frmZero::cmbChan_Click);
    connect(imgCheck, &QAbstractButton::clicked, this, &frmZero::imgCheck_Click);
    connect(imgCancel, &QAbstractButton::clicked, this, &frmZero::imgCancel_Click);
    // A zero measurement is started by its button only: Return does nothing here.
    keyboard::Install(*this, nullptr, imgCancel);

    // A request that gets no answer, or never leaves, ends the wait: the window can zero again.
    m_session.onLink(this, [this](frmCDR& link) {
        connect(&link, &frmCDR::timedOut, this, &frmZero::endWait);
        connect(&link, &frmCDR::sendFailed, this, &frmZero::endWait);
    });
}

frmZero::~frmZero()
{
    endWait();
}

void frmZero::Set_Form()
{
    endWait();
    m_channel = 0;
    cmbChan->setCurrentIndex(0);
    if (m_session.OfflineMode == Session::kOffline) {
        const auto answer = m_session.dialogs().message(QStringLiteral("Clear Existing Zero Trim"),
                                                        QStringLiteral("Live Input Required"),
                                                        DialogService::Buttons::YesNo, DialogService::Icon::Question);
        if (answer == DialogService::Answer::Yes)
            clearTrims();
        return;
    }
    const bool several = m_session.GlobalCells.NumberChan.u >= 2;
    cmbChan->setVisible(several);
    lblChan->setVisible(several);
    show();
    if (auto* start = m_session.windows().find<frmStart>())
        start->hide();
}

void frmZero::cmbChan_Click()
{
    if (isVisible() && cmbChan->currentIndex() >= 0)
        m_channel = cmbChan->currentIndex();
}

void frmZero::clearTrims()
{
    m_session.ChannelCells[0].ZeroTrim.f = 0.0f;
    m_session.ChannelCells[1].ZeroTrim.f = 0.0f;
}

void frmZero::imgCheck_Click()
{
    if (Waiting())
        return;
    if (chkZero->isChecked()) {
        chkZero->setChecked(false);
        clearTrims();
        backToMenu();
        return;
    }
    chkZero->setChecked(false);
    if (m_session.OfflineMode == Session::kOffline) {
        m_session.dialogs().inform(QStringLiteral("Not allowed in Offline Mode"), QStringLiteral("Live Input Required"));
        return;
    }
    // The answer goes to the channel asked for, whatever the list shows by then.
    m_requestChannel = m_channel;
    cmbChan->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    imgCheck->hide();
    modComFun::BuildCommand(m_session.link(), modComFun::KindZeroCal, m_session.NodeAddress,
                            static_cast<std::uint8_t>(m_requestChannel), 0);
}

void frmZero::Handle_Delta()
{
    // An answer nobody waits for (a late one after the time-out) changes nothing.
    if (!Waiting())
        return;
    const auto c = static_cast<std::size_t>(m_requestChannel);
    const frmCDR& link = m_session.link();
    endWait();

    // The trim starts again from the image (the value last read from the meter or recalled).
    modData::ParameterCell& trim = m_session.ChannelCells[c].ZeroTrim;
    if (trim.mapped())
        trim.f = modComFun::GetSingle(m_session.ParamImage.data() + trim.offset);

    bool accepted = false;
    if (link.RxCount >= kAnswerBytes) {
        const float delta = modComFun::GetSingle(link.RxBuffer.data() + kDeltaAt);
        const float sum = trim.f + delta;
        accepted = link.RxBuffer[kStatusAt] == 0 && std::fabs(delta) < kDeltaLimit && std::isfinite(sum);
        if (accepted)
            trim.f = sum;
    }
    if (!accepted) {
        trim.f = 0.0f;
        m_session.dialogs().message(QStringLiteral("In Error or Not Blocked"), QStringLiteral("Flow Error"),
                                    DialogService::Buttons::OKCancel, DialogService::Icon::Exclamation);
    }
    backToMenu();
}

void frmZero::endWait()
{
    if (!Waiting())
        return;
    m_requestChannel = -1;
    QApplication::restoreOverrideCursor();
    imgCheck->show();
    cmbChan->setEnabled(true);
}

void frmZero::imgCancel_Click()
{
    backToMenu();
}

void frmZero::backToMenu()
{
    hide();
    m_session.windows().get<frmConfig>().show();
}

void frmZero::closeEvent(QCloseEvent* event)
{
    backToMenu();
    event->accept();
}
