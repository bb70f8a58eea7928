#include "startup/frmStart.h"

#include "bus/frmFindMeters.h"
#include "channel/frmPipe.h"
#include "channel/frmXducer.h"
#include "engine/identification.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "linemonitor/frmLineMonitor.h"
#include "link/commands.h"
#include "link/frmProperties.h"
#include "meterdata/frmConfig.h"
#include "meterdata/frmGlobal.h"
#include "monitor/frmLog.h"
#include "monitor/frmLogdiag.h"
#include "platform/keyboard.h"
#include "platform/shape.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace {
// Geometry in twips.
constexpr int kFormWidth = 8400;
constexpr int kFormHeight = 5760;
constexpr int kAreaLeft = 480;
constexpr int kAreaWidth = 3600;
constexpr int kAreaHeight = 780;
// Design-time places of the index-1 and index-2 pictures, beside the window's visible area.
constexpr int kArrayStep = 9000;
} // namespace

frmStart::frmStart(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmStart"));
    setWindowTitle(QStringLiteral("ZAV Instrument Interface"));
    buildControls();
    // Shown, it takes the focus: the keys work without a window manager too.
    keyboard::Install(*this, nullptr, nullptr);
    Form_Load();
    // The link indicator: yellow when a request leaves, green when the meter's answer is taken.
    m_session.onLink(this, [this](frmCDR& link) {
        connect(&link, &frmCDR::requestSent, this, [this] { SetLinkColour(kColourYellow); });
        connect(&link, &frmCDR::answerAccepted, this, [this] { SetLinkColour(kColourGreen); });
    });
    // The image write goes on after the menu has returned here: its blocks and its end.
    connect(&m_session, &Session::imageBlockSent, this, [this](int block, int blocks) {
        m_blockSent = block;
        m_blocks = blocks;
        lblSendState->setText(QStringLiteral("Sending the configuration: block %1 of %2").arg(block).arg(blocks));
    });
    connect(&m_session, &Session::imageWriteEnded, this, [this](Session::WriteOutcome outcome, int code) {
        // The next write counts its blocks afresh.
        const int sent = std::exchange(m_blockSent, 0);
        if (sent == 0) {
            lblSendState->setText(QStringLiteral("Nothing was sent: the write ended before its first block left."));
            return;
        }
        switch (outcome) {
        case Session::WriteOutcome::Confirmed:
            lblSendState->setText(
                QStringLiteral("Configuration sent and confirmed by the meter (%1 blocks).").arg(m_blocks));
            return;
        case Session::WriteOutcome::Refused:
            lblSendState->setText(QStringLiteral("The meter refused the configuration (answer %1 to block %2 of %3).")
                                      .arg(code)
                                      .arg(sent)
                                      .arg(m_blocks));
            return;
        case Session::WriteOutcome::NotConfirmed:
            lblSendState->setText(
                QStringLiteral("The configuration was not confirmed: the meter did not answer block %1 of %2.")
                    .arg(sent)
                    .arg(m_blocks));
            return;
        }
    });
    connect(&m_session, &Session::imageNotSent, this, [this](const QString& why) {
        m_blockSent = m_blocks = 0;
        lblSendState->setText(why);
    });
}

frmStart::~frmStart() = default;

void frmStart::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    Imgtitle = new QLabel(this);
    Imgtitle->setObjectName(QStringLiteral("Imgtitle"));
    twips::place(Imgtitle, 240, 120, 7920, 840);
    Imgtitle->setPixmap(pictures::title(Imgtitle->size()));

    for (int i = 0; i < 3; ++i) {
        auto* b = createPictureButton(this, QStringLiteral("imgLang_%1").arg(i), "lang", 2160 + i * 1440, 1080, 1320, 420, i);
        connect(b, &QAbstractButton::clicked, this, [this, i] { imgLang_Click(i); });
        imgLang[static_cast<std::size_t>(i)] = b;
    }

    imgSetup.create(this, QStringLiteral("imgSetup"), "setup", kAreaLeft, 1740, kAreaWidth, kAreaHeight, kArrayStep);
    imgLogdata.create(this, QStringLiteral("imgLogdata"), "logdata", kAreaLeft, 2700, kAreaWidth, kAreaHeight, kArrayStep);
    imgDiagnostics.create(this, QStringLiteral("imgDiagnostics"), "diagnostics", kAreaLeft, 3660, kAreaWidth, kAreaHeight,
                          kArrayStep);
    for (int i = 0; i < 3; ++i) {
        connect(imgSetup[i], &QAbstractButton::clicked, this, &frmStart::imgSetup_Click);
        connect(imgLogdata[i], &QAbstractButton::clicked, this, &frmStart::imgLogdata_Click);
        connect(imgDiagnostics[i], &QAbstractButton::clicked, this, &frmStart::imgDiagnostics_Click);
    }

    imgSerialSetup = createPictureButton(this, QStringLiteral("imgSerialSetup"), "serialsetup", 4560, 1740, 3360, 600);
    connect(imgSerialSetup, &QAbstractButton::clicked, this, &frmStart::imgSerialSetup_Click);

    optRS232 = new QRadioButton(QStringLiteral("RS232"), this);
    optRS232->setObjectName(QStringLiteral("optRS232"));
    twips::place(optRS232, 4560, 2520, 1320, 330);
    optRS232->setChecked(true);
    connect(optRS232, &QRadioButton::clicked, this, &frmStart::optRS232_Click);

    optRs485 = new QRadioButton(QStringLiteral("RS485 "), this);
    optRs485->setObjectName(QStringLiteral("optRs485"));
    twips::place(optRs485, 5940, 2520, 1320, 330);
    connect(optRs485, &QRadioButton::clicked, this, &frmStart::optRs485_Click);

    cmbNode = new QComboBox(this);
    cmbNode->setObjectName(QStringLiteral("cmbNode"));
    twips::place(cmbNode, 4560, 2940, 1980, 360);
    for (int i = 1; i <= 16; ++i)
        cmbNode->addItem(QStringLiteral("Node %1").arg(i));
    cmbNode->addItem(QStringLiteral("Poll!"));
    // RS232 is the line type at start, and RS232 hides the node list.
    cmbNode->hide();
    connect(cmbNode, &QComboBox::activated, this, &frmStart::cmbNode_Click);
    cmdFindMeters = new QPushButton(QStringLiteral("Find Meters..."), this);
    cmdFindMeters->setObjectName(QStringLiteral("cmdFindMeters"));
    cmdFindMeters->setToolTip(QStringLiteral("Ask nodes 1 to 16 of the bus who is there"));
    twips::place(cmdFindMeters, 6600, 2940, 1560, 360);
    cmdFindMeters->hide();
    connect(cmdFindMeters, &QPushButton::clicked, this, &frmStart::cmdFindMeters_Click);

    auto* lblMeterID = new QLabel(QStringLiteral("Meter Adress"), this);
    lblMeterID->setObjectName(QStringLiteral("lblMeterID"));
    twips::place(lblMeterID, 4560, 3480, 1560, 330);
    txtMeterID = new QLineEdit(QStringLiteral("17"), this);
    txtMeterID->setObjectName(QStringLiteral("txtMeterID"));
    twips::place(txtMeterID, 6240, 3450, 1200, 360);

    auto* lblPin = new QLabel(QStringLiteral("Meter PIN"), this);
    lblPin->setObjectName(QStringLiteral("lblPin"));
    twips::place(lblPin, 4560, 3960, 1560, 330);
    txtPin = new QLineEdit(QString::fromLatin1(kDefaultPin), this);
    txtPin->setObjectName(QStringLiteral("txtPin"));
    twips::place(txtPin, 6240, 3930, 1200, 360);
    txtPin->installEventFilter(this);

    cmdLineMonitor = new QPushButton(QStringLiteral("Line Monitor"), this);
    cmdLineMonitor->setObjectName(QStringLiteral("cmdLineMonitor"));
    cmdLineMonitor->setToolTip(QStringLiteral("Every frame sent and every answer, live"));
    twips::place(cmdLineMonitor, 4560, 4380, 1980, 330);
    connect(cmdLineMonitor, &QPushButton::clicked, this, &frmStart::cmdLineMonitor_Click);

    shpXmit = new Shape(this);
    shpXmit->setObjectName(QStringLiteral("shpXmit"));
    twips::place(shpXmit, 7560, 4740, 360, 240);
    shpXmit->setToolTip(QStringLiteral("Link: yellow when a request is sent, green when the meter answered"));

    lblTerms = new QLabel(QStringLiteral("Terms and Conditions Apply"), this);
    lblTerms->setObjectName(QStringLiteral("lblTerms"));
    twips::place(lblTerms, kAreaLeft, 4740, 3600, 300);

    lblSendState = new QLabel(this);
    lblSendState->setObjectName(QStringLiteral("lblSendState"));
    lblSendState->setWordWrap(true);
    lblSendState->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    twips::place(lblSendState, kAreaLeft, 5100, kFormWidth - 2 * kAreaLeft, 540);
}

void frmStart::Form_Load()
{
    m_session.StartUp();
    m_session.Language = 1;
    LayoutLanguage(1);
}

void frmStart::LayoutLanguage(std::int16_t L)
{
    if (L < 0 || L > 2)
        return;
    for (LanguageArray* a : {&imgSetup, &imgDiagnostics, &imgLogdata}) {
        for (PictureButton* b : a->img)
            b->hide();
    }
    imgSetup.showLanguage(L);
    imgDiagnostics.showLanguage(L);
    imgLogdata.showLanguage(L);
}

void frmStart::SetLinkColour(int colourValue)
{
    shpXmit->setFillColor(colourValue);
}

void frmStart::imgLang_Click(int index)
{
    m_session.Language = static_cast<std::int16_t>(index);
    LayoutLanguage(m_session.Language);
    // The pipe window, the menu and the channel setup follow the language (each is made now if
    // it does not exist yet); the spool window follows when it next opens, and the global
    // parameters window, if it was opened already, follows at once.
    WindowRegistry& w = m_session.windows();
    w.get<frmPipe>().SetLang(m_session.Language);
    w.get<frmConfig>().SetLang(m_session.Language);
    w.get<frmXducer>().SetLang(m_session.Language);
    if (auto* global = w.find<frmGlobal>())
        global->SetLang(m_session.Language);
}

void frmStart::imgSetup_Click()
{
    frmConfig& config = m_session.windows().get<frmConfig>();
    // The meter's image replaces the cells: edits not yet sent are asked about first.
    if (!config.MayReplaceEdits(QString::fromLatin1(frmConfig::kReadAction)))
        return;
    config.show();
    hide();
    config.Lock_input();
    config.IdentifyStarted();
    // A new identification ends an image transfer still running (a write sent in the background).
    m_session.EndTransfers();
    modComFun::BuildCommand(m_session.link(), modComFun::KindIdentify, m_session.NodeAddress, 0, 0);
}

void frmStart::RcvID()
{
    frmConfig& config = m_session.windows().get<frmConfig>();
    config.show();
    hide();
    config.Lock_input();
    identification::TakeIdentity(m_session);
    // The new read replaces the image from its first block on.
    m_session.ImageValid = 0;
    config.ReadStarted();
    modBinaryRW::StartImageRead(m_session);
}

void frmStart::imgLogdata_Click()
{
    m_session.windows().get<frmLog>().show();
    hide();
}

void frmStart::imgDiagnostics_Click()
{
    m_session.windows().get<frmLogdiag>().show();
    hide();
}

void frmStart::imgSerialSetup_Click()
{
    OpenPortSettings();
}

void frmStart::OpenPortSettings()
{
    // Made for each opening, so that it always starts from the port's current state.
    frmProperties dialog(m_session.link(), m_session.settings(), m_session.dialogs(), this);
    if (m_session.runModal)
        m_session.runModal(dialog);
    else
        dialog.exec();
}

void frmStart::optRS232_Click()
{
    cmbNode->hide();
    cmdFindMeters->hide();
    // One meter on the line: every request goes to the Poll node.
    m_session.NodeAddress = modComFun::kPollNode;
    txtMeterID->setText(QString::number(m_session.NodeAddress));
}

void frmStart::optRs485_Click()
{
    cmbNode->setCurrentIndex(16);
    cmbNode->show();
    cmdFindMeters->show();
    cmbNode_Click();
}

void frmStart::cmbNode_Click()
{
    if (!optRs485->isChecked())
        return;
    const int i = cmbNode->currentIndex();
    m_session.NodeAddress = static_cast<std::uint8_t>(i >= 0 && i < 16 ? i + 1 : modComFun::kPollNode);
    txtMeterID->setText(QString::number(m_session.NodeAddress));
}

void frmStart::SelectNode(int node)
{
    if (!optRs485->isChecked()) {
        optRs485->setChecked(true);
        optRs485_Click();
    }
    cmbNode->setCurrentIndex(node >= 1 && node <= 16 ? node - 1 : 16);
    cmbNode_Click();
}

void frmStart::cmdFindMeters_Click()
{
    frmFindMeters& find = m_session.windows().get<frmFindMeters>();
    find.onPick = [this](int node) { SelectNode(node); };
    find.show();
    find.raise();
}

void frmStart::cmdLineMonitor_Click()
{
    frmLineMonitor& monitor = m_session.windows().get<frmLineMonitor>();
    monitor.show();
    monitor.raise();
}

void frmStart::txtPin_Click()
{
    txtPin->clear();
}

void frmStart::Form_Unload(std::int16_t& Cancel)
{
    m_session.link().Stop_COM(Cancel);
}

void frmStart::closeEvent(QCloseEvent* event)
{
    std::int16_t cancel = 0;
    Form_Unload(cancel);
    if (cancel != 0)
        event->ignore();
    else
        event->accept();
}

bool frmStart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtPin && event->type() == QEvent::MouseButtonPress)
        txtPin_Click();
    return QWidget::eventFilter(watched, event);
}
