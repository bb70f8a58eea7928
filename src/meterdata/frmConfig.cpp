#include "meterdata/frmConfig.h"

#include "analogio/frmAnalogOUT.h"
#include "channel/frmPLC.h"
#include "channel/frmResponse.h"
#include "channel/frmXY.h"
#include "channel/frmXducer.h"
#include "channel/frmZero.h"
#include "configtext/frmCompare.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "engine/sitework.h"
#include "link/commands.h"
#include "meterdata/auditsheet.h"
#include "meterdata/frmGlobal.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int kFormWidth = 6600;
constexpr int kFormHeight = 7800;
// The rows below the buttons sit this much lower for the row of "Compare...".
constexpr int kBelowButtons = 540;
// The state lines below the identity labels.
constexpr int kStateLeft = 360;
constexpr int kStateWidth = 5880;
// How often the shown menu looks again for edits made in the windows it opened over itself.
constexpr int kRefreshMs = 500;
// Design-time places of the index-1 and index-2 pictures, beside the visible area.
constexpr int kArrayStep = 9000;
} // namespace

frmConfig::frmConfig(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Electronics Setup"));
    buildControls();
    // Shown, it takes the focus: the keys work without a window manager too.
    keyboard::Install(*this, nullptr, nullptr);
    Form_Load();
}

frmConfig::~frmConfig() = default;

void frmConfig::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    imgGlobal.create(this, QStringLiteral("imgGlobal"), "global", 360, 360, 3000, 600, kArrayStep);
    imgChannel.create(this, QStringLiteral("imgChannel"), "channel", 360, 1080, 3000, 600, kArrayStep);
    imgSendSite.create(this, QStringLiteral("imgSendSite"), "sendsite", 360, 1800, 3000, 600, kArrayStep);
    imgStore.create(this, QStringLiteral("imgStore"), "store", 360, 2520, 3000, 600, kArrayStep);
    imgRecall.create(this, QStringLiteral("imgRecall"), "recall", 360, 3240, 3000, 600, kArrayStep);
    for (int i = 0; i < 3; ++i) {
        connect(imgGlobal[i], &QAbstractButton::clicked, this, &frmConfig::imgGlobal_Click);
        connect(imgChannel[i], &QAbstractButton::clicked, this, &frmConfig::imgChannel_Click);
        connect(imgSendSite[i], &QAbstractButton::clicked, this, &frmConfig::imgSendSite_Click);
        connect(imgStore[i], &QAbstractButton::clicked, this, &frmConfig::imgStore_Click);
        connect(imgRecall[i], &QAbstractButton::clicked, this, &frmConfig::imgRecall_Click);
    }

    struct Single {
        PictureButton** member;
        const char* name;
        const char* key;
        int left, top, width, height;
        void (frmConfig::*handler)();
    };
    const Single singles[] = {
        {&imgCal, "imgCal", "cal", 3720, 360, 2520, 480, &frmConfig::imgCal_Click},
        {&imgZero, "imgZero", "zero", 3720, 960, 2520, 480, &frmConfig::imgZero_Click},
        {&imgLogic, "imgLogic", "logic", 3720, 1560, 2520, 480, &frmConfig::imgLogic_Click},
        {&imgCurent, "imgCurent", "curent", 3720, 2160, 2520, 480, &frmConfig::imgCurent_Click},
        {&imgPLC, "imgPLC", "plc", 3720, 2760, 2520, 480, &frmConfig::imgPLC_Click},
        {&ImgRespns, "ImgRespns", "respns", 3720, 3360, 2520, 480, &frmConfig::ImgRespns_Click},
        {&imgReload, "imgReload", "reload", 360, 4020, 1440, 480, &frmConfig::imgReload_Click},
        {&imgCKreload, "imgCKreload", "ckreload", 1920, 4020, 1440, 480, &frmConfig::imgCKreload_Click},
        {&imgBack, "imgBack", "back", 5160, 4020, 1080, 480, &frmConfig::imgBack_Click},
    };
    for (const Single& s : singles) {
        *s.member = createPictureButton(this, QString::fromLatin1(s.name), s.key, s.left, s.top, s.width, s.height);
        connect(*s.member, &QAbstractButton::clicked, this, s.handler);
    }
    imgReload->setToolTip(QStringLiteral("RELOAD SITE FROM METER"));
    imgCKreload->setToolTip(QStringLiteral("RELOAD SITE FROM METER"));

    cmdPrint = new QPushButton(QStringLiteral("PRINT SITE"), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    twips::place(cmdPrint, 3720, 4020, 1320, 480);
    connect(cmdPrint, &QPushButton::clicked, this, &frmConfig::cmdPrint_Click);
    cmdCompare = new QPushButton(QStringLiteral("Compare..."), this);
    cmdCompare->setObjectName(QStringLiteral("cmdCompare"));
    cmdCompare->setToolTip(QStringLiteral("How this configuration differs from a site file"));
    twips::place(cmdCompare, 3720, 4560, 1320, 420);
    connect(cmdCompare, &QPushButton::clicked, this, &frmConfig::cmdCompare_Click);

    const std::pair<QLabel**, const char*> labels[] = {
        {&lblModel, "lblModel"}, {&lblSoftVer, "lblSoftVer"}, {&lblSN, "lblSN"}, {&lblChecksum, "lblChecksum"}};
    int i = 0;
    for (const auto& [member, name] : labels) {
        *member = new QLabel(this);
        (*member)->setObjectName(QString::fromLatin1(name));
        twips::place(*member, i < 2 ? 360 : 3720, kBelowButtons + 4680 + (i % 2) * 360, 3000, 330);
        ++i;
    }

    lblWorkState = new QLabel(this);
    lblWorkState->setObjectName(QStringLiteral("lblWorkState"));
    lblWorkState->setStyleSheet(QStringLiteral("font-weight: bold"));
    twips::place(lblWorkState, kStateLeft, kBelowButtons + 5460, 4260, 330);

    cmdStopRead = new QPushButton(QStringLiteral("Stop Reading"), this);
    cmdStopRead->setObjectName(QStringLiteral("cmdStopRead"));
    twips::place(cmdStopRead, 4800, kBelowButtons + 5400, 1440, 420);
    cmdStopRead->hide();
    connect(cmdStopRead, &QPushButton::clicked, this, &frmConfig::cmdStopRead_Click);

    lblUnsent = new QLabel(QStringLiteral("Edits not yet sent to the meter or stored"), this);
    lblUnsent->setObjectName(QStringLiteral("lblUnsent"));
    lblUnsent->setStyleSheet(QStringLiteral("color: #b00000"));
    twips::place(lblUnsent, kStateLeft, kBelowButtons + 5940, kStateWidth, 330);
    lblUnsent->hide();

    lblReadState = new QLabel(this);
    lblReadState->setObjectName(QStringLiteral("lblReadState"));
    lblReadState->setWordWrap(true);
    lblReadState->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    twips::place(lblReadState, kStateLeft, kBelowButtons + 6300, kStateWidth, 780);

    // Redraws the state lines while a transfer runs; it paces nothing on the line, so a coarse
    // timer will do.
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(kRefreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &frmConfig::refreshState);
}

void frmConfig::Form_Load()
{
    // A complete image read unlocks the menu while it is shown.
    connect(&m_session, &Session::imageComplete, this, [this] {
        if (m_read == ReadState::Reading)
            m_read = ReadState::Complete;
        m_fromFile = false;
        if (isVisible())
            Free_input();
        refreshState();
    });
    // A read ends as failed when its request goes unanswered or cannot be sent; progress shows
    // with each read request that leaves.
    m_session.onLink(this, [this](frmCDR& link) {
        const auto failed = [this] {
            if (m_read == ReadState::Identifying) {
                m_read = ReadState::Failed;
                m_failedIdentifying = true;
            }
            queueRefresh();
        };
        connect(&link, &frmCDR::timedOut, this, failed);
        connect(&link, &frmCDR::sendFailed, this, failed);
        connect(&link, &frmCDR::requestSent, this, &frmConfig::queueRefresh);
        connect(&link, &frmCDR::offlineChoice, this, &frmConfig::queueRefresh);
    });
    m_storeShown = m_sendShown = m_session.ImageValid != 0;
    SetLang(m_session.Language);
}

void frmConfig::SetLang(std::int16_t iLang)
{
    if (iLang < 0 || iLang > 2)
        return;
    for (LanguageArray* a : {&imgGlobal, &imgChannel, &imgSendSite, &imgStore, &imgRecall})
        a->showLanguage(iLang);
    // The visibility rule of store and send applies after the language switch.
    showSiteButtons(m_storeShown, m_sendShown);
}

void frmConfig::showSiteButtons(bool store, bool send)
{
    m_storeShown = store;
    m_sendShown = send;
    const int L = m_session.Language;
    imgSendSite.setVisible(L, send);
    imgStore.setVisible(L, store);
}

void frmConfig::setSetupEnabled(bool enabled)
{
    // Every picture of the arrays follows, so a later language switch cannot unlock the menu.
    imgChannel.setEnabled(enabled);
    imgGlobal.setEnabled(enabled);
    for (PictureButton* b : {imgCurent, imgLogic, imgZero, imgCal, ImgRespns})
        b->setEnabled(enabled);
}

void frmConfig::Lock_input()
{
    showSiteButtons(false);
    setSetupEnabled(false);
}

void frmConfig::Free_input()
{
    showSiteButtons(true);
    setSetupEnabled(true);
    modBinaryRW::TakeImage(m_session);
    // The cells now hold exactly the image: edits count from here.
    m_session.KeepImage();
    if (auditsheet::HasIdentityLabels(m_session.MeterModel)) {
        const auditsheet::IdentityLabels l =
            auditsheet::MenuLabels(m_session.MeterModel, m_session.FirmwareVersion, m_session.SerialNumber,
                                   static_cast<std::uint16_t>(m_session.ImageChecksum));
        lblModel->setText(l.model);
        lblSoftVer->setText(l.softVer);
        lblSN->setText(l.serial);
        lblChecksum->setText(l.checksum);
    }
    refreshState();
}

void frmConfig::IdentifyStarted()
{
    m_read = ReadState::Identifying;
    m_failedIdentifying = false;
    m_identity = {};
    refreshState();
}

void frmConfig::ReadStarted()
{
    // After an identification the identity just taken; after a reload the last one this run.
    if (m_read == ReadState::Identifying)
        m_identity = {true, m_session.MeterModel, m_session.FirmwareVersion, m_session.SerialNumber};
    m_read = ReadState::Reading;
    m_failedIdentifying = false;
    m_fromFile = false;
    queueRefresh();
}

bool frmConfig::MayReplaceEdits(const QString& action)
{
    if (!m_session.UnsentEdits())
        return true;
    const DialogService::Answer a = m_session.dialogs().message(
        QStringLiteral("The configuration has edits that were neither sent to the meter nor stored.\n%1 replaces them.\n\nGo on?")
            .arg(action),
        QStringLiteral("Unsent Edits"), DialogService::Buttons::YesNo, DialogService::Icon::Question);
    return a == DialogService::Answer::Yes;
}

void frmConfig::cmdStopRead_Click()
{
    // The answer still owed to the read arrives stale and changes nothing; the port stays open,
    // and a meter that never answers it is not asked about.
    m_session.EndTransfers();
    if (m_session.hasLink())
        m_session.link().abandonOutstanding();
    m_session.ImageValid = 0;
    showSiteButtons(false);
    m_read = ReadState::Stopped;
    refreshState();
}

void frmConfig::queueRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshQueued = false;
            refreshState();
        },
        Qt::QueuedConnection);
}

void frmConfig::refreshState()
{
    // A read whose transfer is over without completing has failed (time-out, failed send, a
    // block that does not fit, "Work Offline?").
    if (m_read == ReadState::Reading && m_session.ReadTicket == 0)
        m_read = ReadState::Failed;
    // The lines are written again whenever the menu is shown.
    if (!isVisible())
        return;
    lblReadState->setText(readText());
    cmdStopRead->setVisible(m_read == ReadState::Reading);
    lblUnsent->setVisible(m_session.UnsentEdits());
    lblWorkState->setText(workText());
    lblWorkState->setToolTip(m_fromFile ? m_sourceFile : QString());
}

QString frmConfig::readText() const
{
    if (m_read == ReadState::None)
        return {};
    QString identity;
    if (m_identity.known)
        identity = QStringLiteral("Meter model %1, version %2, serial number %3\n")
                       .arg(m_identity.model)
                       .arg(m_identity.version)
                       .arg(m_identity.serial);
    // Until the first block the image holds what it held before: nothing of this read.
    const int total = 2 * m_session.ReadAnnounced;
    const int bytes = total == 0 ? 0 : m_session.ImageLength;
    switch (m_read) {
    case ReadState::None: break;
    case ReadState::Identifying: return QStringLiteral("Identifying the meter...");
    case ReadState::Reading:
        if (total == 0)
            return identity + QStringLiteral("Reading the meter's configuration...");
        return identity + QStringLiteral("Reading the meter's configuration: %1 of %2 bytes").arg(bytes).arg(total);
    case ReadState::Complete:
        return identity + QStringLiteral("Configuration read completely: %1 bytes").arg(m_session.ImageLength);
    case ReadState::Stopped:
        return identity + QStringLiteral("Reading stopped by the user after %1 of %2 bytes: the image is not valid.")
                              .arg(bytes)
                              .arg(total == 0 ? modBinaryRW::ImageBytes : total);
    case ReadState::Failed:
        if (m_failedIdentifying)
            return QStringLiteral("The meter did not answer: nothing was read.");
        return identity + QStringLiteral("Reading failed after %1 of %2 bytes: the image is not valid.")
                              .arg(bytes)
                              .arg(total == 0 ? modBinaryRW::ImageBytes : total);
    }
    return {};
}

QString frmConfig::workText() const
{
    QString text;
    if (m_session.OfflineMode == Session::kOffline)
        text = QStringLiteral("OFFLINE");
    if (m_fromFile) {
        const QString file = QStringLiteral("Site file %1").arg(QFileInfo(m_sourceFile).fileName());
        text = text.isEmpty() ? file : text + QStringLiteral(" - ") + file;
    }
    return lblWorkState->fontMetrics().elidedText(text, Qt::ElideMiddle, lblWorkState->width());
}

void frmConfig::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshState();
    m_refreshTimer->start();
}

void frmConfig::hideEvent(QHideEvent* event)
{
    m_refreshTimer->stop();
    QWidget::hideEvent(event);
}

void frmConfig::Form_Unload()
{
    m_session.windows().showHome();
}

void frmConfig::closeEvent(QCloseEvent* event)
{
    // The window lives for the whole run: closing it hides it.
    Form_Unload();
    event->accept();
}

void frmConfig::imgBack_Click()
{
    m_session.windows().showHome();
    hide();
    Form_Unload();
}

void frmConfig::imgGlobal_Click()
{
    m_session.windows().get<frmGlobal>().show();
    hide();
}

void frmConfig::imgChannel_Click()
{
    hide();
    m_session.windows().get<frmXducer>().Set_Form();
}

void frmConfig::imgCal_Click()
{
    m_session.windows().get<frmXY>().Setform();
    hide();
}

void frmConfig::imgZero_Click()
{
    m_session.windows().get<frmZero>().Set_Form();
}

void frmConfig::imgLogic_Click()
{
    m_session.windows().get<frmPLC>().Setform();
}

// The setup windows open from here once they exist.
void frmConfig::ImgRespns_Click() { m_session.windows().get<frmResponse>().Setform(); }
void frmConfig::imgCurent_Click() { m_session.windows().get<frmAnalogOUT>().Setform(); }

void frmConfig::imgPLC_Click()
{
    // The current-loop window as it was left, not reloaded.
    m_session.windows().get<frmAnalogOUT>().show();
    hide();
}

void frmConfig::imgReload_Click()
{
    if (!MayReplaceEdits(QString::fromLatin1(kReadAction)))
        return;
    m_session.ImageValid = 0;
    showSiteButtons(false);
    ReadStarted();
    modBinaryRW::StartImageRead(m_session);
}

void frmConfig::imgCKreload_Click()
{
    m_session.ImageChecksum = static_cast<std::int16_t>(modBinaryRW::DisplayChecksum(m_session, m_session.ImageLength));
    lblChecksum->setText(auditsheet::ChecksumLabel(static_cast<std::uint16_t>(m_session.ImageChecksum)));
}

// Site files and the audit sheet.

void frmConfig::imgStore_Click()
{
    const QString name = m_session.dialogs().saveFile({QStringLiteral("Store Site File"), QString::fromLatin1(sitefile::kFilter),
                                                       sitefile::kFilterIndex, QString::fromLatin1(sitefile::kDefaultExt),
                                                       StoreFileName});
    if (name.isEmpty())
        return;
    StoreFileName = name;
    WriteSiteFile();
}

bool frmConfig::WriteSiteFile()
{
    const QString error = sitework::StoreSite(m_session, StoreFileName);
    if (error.isEmpty())
        return true;
    // Only a regular file is replaced safely; a device or FIFO was written where it is.
    const QFileInfo target(StoreFileName);
    const QString kept = !target.exists() || target.isFile() ? QStringLiteral("\nAn earlier file of that name is unchanged.")
                                                            : QString();
    m_session.dialogs().inform(QStringLiteral("The site file was not saved:\n%1\n%2").arg(StoreFileName, error) + kept,
                               QStringLiteral("Store Site File"));
    return false;
}

void frmConfig::imgRecall_Click()
{
    if (!MayReplaceEdits(QString::fromLatin1(kRecallAction)))
        return;
    const QString name = m_session.dialogs().openFile({QStringLiteral("Recall Site File"), QString::fromLatin1(sitefile::kFilter),
                                                       sitefile::kFilterIndex, QString::fromLatin1(sitefile::kDefaultExt),
                                                       RecallFileName});
    if (name.isEmpty())
        return;
    RecallFileName = name;
    ReadSiteFile();
}

bool frmConfig::ReadSiteFile()
{
    // The whole file is read before anything changes, so a file that cannot be read, or one too
    // long for the image, leaves the image, the cells and the menu as they were.
    const sitework::Recalled r = sitework::RecallSite(m_session, RecallFileName);
    switch (r.outcome) {
    case sitework::Recalled::Outcome::Unreadable:
        m_session.dialogs().inform(QStringLiteral("The site file could not be read:\n%1\n%2").arg(RecallFileName, r.error),
                                   QStringLiteral("Recall Site File"));
        return false;
    case sitework::Recalled::Outcome::TooLong:
        m_session.dialogs().inform(
            QStringLiteral("The file is too long to be a site file:\n%1\nNothing was recalled.").arg(RecallFileName),
            QStringLiteral("Recall Site File"));
        return false;
    case sitework::Recalled::Outcome::Taken:
        break;
    }
    // A read still running has ended with the recall; the image is the file's now.
    m_read = ReadState::None;
    m_fromFile = true;
    m_sourceFile = RecallFileName;
    showSiteButtons(r.valid, r.valid);
    Free_input();
    // A short, long or damaged file is shown for inspection and can be stored, but never offered
    // for sending.
    if (!r.valid)
        showSiteButtons(true, false);
    return true;
}

void frmConfig::cmdPrint_Click()
{
    const QString name = m_session.dialogs().saveFile({QStringLiteral("Print Site"), QString::fromLatin1(auditsheet::kFilter),
                                                       auditsheet::kFilterIndex, QString::fromLatin1(auditsheet::kDefaultExt),
                                                       m_printFileName});
    if (name.isEmpty())
        return;
    m_printFileName = name;
    const QByteArray sheet = auditsheet::AuditSheet(m_session, lblModel->text(), lblSoftVer->text(), lblSN->text());
    const QString error = sitefile::SaveFileBytes(name, sheet);
    if (!error.isEmpty())
        m_session.dialogs().inform(QStringLiteral("The audit sheet was not saved:\n%1\n%2").arg(name, error),
                                   QStringLiteral("Print Site"));
}

void frmConfig::cmdCompare_Click()
{
    if (m_session.ImageLength == 0) {
        m_session.dialogs().inform(QStringLiteral("There is no configuration to compare yet.\nRead it from the meter or "
                                                  "recall a site file first."),
                                   QStringLiteral("Compare"));
        return;
    }
    const QString name = m_session.dialogs().openFile({QStringLiteral("Compare With Site File"), QString::fromLatin1(sitefile::kFilter),
                                                       sitefile::kFilterIndex, QString::fromLatin1(sitefile::kDefaultExt),
                                                       m_compareFileName});
    if (name.isEmpty())
        return;
    m_compareFileName = name;
    configtext::Config file;
    QString error;
    if (!configtext::ReadSiteConfig(name, file, error)) {
        m_session.dialogs().inform(QStringLiteral("Nothing was compared: %1.\nChoose a site file stored by this program or by "
                                                  "zav-cli (1455 bytes).")
                                       .arg(error),
                                   QStringLiteral("Compare"));
        return;
    }
    // The cells as they stand, edits included, over the image's bytes outside the cells.
    const configtext::Config menu = configtext::ConfigOfCells(m_session, m_session.MeterModel, m_session.FirmwareVersion);
    m_session.windows().get<frmCompare>().Setform(menu, file, name);
}

void frmConfig::imgSendSite_Click()
{
    const bool valid = m_session.ImageValid == 1;
    QString why;
    if (modBinaryRW::StartImageWrite(m_session)) {
        // The start window follows the write from here on; a first block that could not leave
        // (no port) is the only write that never began.
        if (m_session.WriteTicket != 0)
            m_session.KeepImage();
        else
            why = QStringLiteral("Nothing was sent: the serial port could not be used.");
    } else if (!valid && m_fromFile) {
        why = QStringLiteral("Nothing was sent: the recalled site file is short or damaged, and such a file is never sent.");
    } else {
        why = QStringLiteral(
            "Nothing was sent: there is no complete configuration (read it from the meter or recall a whole site file).");
    }
    m_session.windows().showHome();
    hide();
    if (!why.isEmpty())
        emit m_session.imageNotSent(why);
}
