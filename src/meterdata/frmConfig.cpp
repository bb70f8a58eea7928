#include "meterdata/frmConfig.h"

#include "analogio/frmAnalogOUT.h"
#include "channel/frmPLC.h"
#include "channel/frmXY.h"
#include "channel/frmXducer.h"
#include "channel/frmResponse.h"
#include "channel/frmZero.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "engine/sitework.h"
#include "link/commands.h"
#include "meterdata/auditsheet.h"
#include "meterdata/frmGlobal.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"
#include "platform/dialogservice.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kFormWidth = 6600;
constexpr int kFormHeight = 5640;
// Design-time places of the index-1 and index-2 pictures, beside the visible area.
constexpr int kArrayStep = 9000;
} // namespace

frmConfig::frmConfig(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Electronics Setup"));
    buildControls();
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

    const std::pair<QLabel**, const char*> labels[] = {
        {&lblModel, "lblModel"}, {&lblSoftVer, "lblSoftVer"}, {&lblSN, "lblSN"}, {&lblChecksum, "lblChecksum"}};
    int i = 0;
    for (const auto& [member, name] : labels) {
        *member = new QLabel(this);
        (*member)->setObjectName(QString::fromLatin1(name));
        twips::place(*member, i < 2 ? 360 : 3720, 4680 + (i % 2) * 360, 3000, 330);
        ++i;
    }
}

void frmConfig::Form_Load()
{
    // A complete image read unlocks the menu while it is shown.
    connect(&m_session, &Session::imageComplete, this, [this] {
        if (isVisible())
            Free_input();
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
    if (auditsheet::HasIdentityLabels(m_session.MeterModel)) {
        const auditsheet::IdentityLabels l =
            auditsheet::MenuLabels(m_session.MeterModel, m_session.FirmwareVersion, m_session.SerialNumber,
                                   static_cast<std::uint16_t>(m_session.ImageChecksum));
        lblModel->setText(l.model);
        lblSoftVer->setText(l.softVer);
        lblSN->setText(l.serial);
        lblChecksum->setText(l.checksum);
    }
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
    m_session.ImageValid = 0;
    showSiteButtons(false);
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

void frmConfig::imgSendSite_Click()
{
    modBinaryRW::StartImageWrite(m_session);
    m_session.windows().showHome();
    hide();
}
