#include "monitor/frmLogdiag.h"

#include "engine/session.h"
#include "link/commands.h"
#include "monitor/diaglog.h"
#include "monitor/frmplt.h"
#include "recordings/frmRecording.h"
#include "monitor/portlostcaption.h"
#include "monitor/recordinglabel.h"
#include "monitor/windowfit.h"
#include "platform/dialogservice.h"
#include "platform/finetimer.h"
#include "platform/keyboard.h"
#include "platform/picturebutton.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

// Value grid, twips: two columns of captions and boxes. A caption column is at least this wide,
// wider where a caption needs it at the window's font.
constexpr int kGridTop = 720;
constexpr int kRowStep = 420;
constexpr int kBoxHeight = 300;
constexpr int kBoxWidth = 1200;
constexpr int kCaptionWidth = 1680;
constexpr int kGap = 60;
// The recording line, under the grid.
constexpr int kRecordingTop = 3660;

// Boxes by column and row: column 0 the times, counts, strength and saturation; column 1 the
// triggers and wave figures, ending with the lead/lag pair.
constexpr std::array<std::array<int, 7>, 2> kGrid = {{{0, 1, 6, 3, 7, 5, 8}, {2, 13, 4, 9, 11, 10, 12}}};
constexpr int kTrigUp = 2;
constexpr int kTrigDown = 13;
constexpr int kLeadLag = 12;
constexpr int kLeadLagSecond = 14;

QString indexed(const char* name, int i)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i);
}

} // namespace

frmLogdiag::frmLogdiag(Session& session, QWidget* parent)
    : QWidget(parent), m_session(session), m_flushNotice(session, this, QStringLiteral("diagnostics log"))
{
    setObjectName(QStringLiteral("frmLogdiag"));
    setWindowTitle(QStringLiteral("Log Diagnostics"));
    buildControls();
    // Shown, it takes the focus: the keys work without a window manager too.
    keyboard::Install(*this, nullptr, nullptr);
    Form_Load();
    m_session.onLink(this, [this](frmCDR& link) {
        connect(&link, &frmCDR::timedOut, this, &frmLogdiag::LinkTimedOut);
        connect(&link, &frmCDR::sendFailed, this, &frmLogdiag::LinkTimedOut);
    });
    portlostcaption::Follow(m_session, *this);
}

frmLogdiag::~frmLogdiag()
{
    // Last chance for blocks that could not be written earlier.
    if (DiagRows.UnwrittenRows() > 0)
        DiagRows.FlushLog(false);
}

void frmLogdiag::buildControls()
{
    Content = new QWidget;
    Content->setObjectName(QStringLiteral("Content"));
    View = windowfit::Wrap(*this, *Content);

    cmbChan = new QComboBox(Content);
    cmbChan->setObjectName(QStringLiteral("cmbChan"));
    cmbChan->addItems({QStringLiteral("CHAN A"), QStringLiteral("CHAN B")});
    twips::place(cmbChan, 120, 150, 1440, kBoxHeight);
    cmbUpdate = new QComboBox(Content);
    cmbUpdate->setObjectName(QStringLiteral("cmbUpdate"));
    cmbUpdate->addItem(QStringLiteral("20 Hz"), 50);
    cmbUpdate->addItem(QStringLiteral("10 Hz"), 100);
    cmbUpdate->addItem(QStringLiteral("5 Hz"), 200);
    cmbUpdate->addItem(QStringLiteral("1 Hz"), 1000);
    twips::place(cmbUpdate, 1680, 150, 1200, kBoxHeight);

    tmrUpDate = new FineTimer(this);
    tmrUpDate->setObjectName(QStringLiteral("tmrUpDate"));
    connect(tmrUpDate, &FineTimer::timeout, this, &frmLogdiag::tmrUpDate_Timer);

    cmdStart = new QPushButton(QStringLiteral("Start"), Content);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    twips::place(cmdStart, 3060, 120, 1080, 360);
    cmdClose = new QPushButton(QStringLiteral("Close"), Content);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    twips::place(cmdClose, 4260, 120, 1080, 360);
    imgSig = createPictureButton(Content, QStringLiteral("imgSig"), "signal", 5460, 90, 1020, 420);

    tmrFlush = new QTimer(this);
    tmrFlush->setObjectName(QStringLiteral("tmrFlush"));
    tmrFlush->setSingleShot(true);
    connect(tmrFlush, &QTimer::timeout, this, &frmLogdiag::tmrFlush_Timer);

    for (int i = 0; i < diaglog::kBoxes; ++i) {
        auto* t = new QLineEdit(Content);
        t->setObjectName(indexed("txtDATA", i));
        t->setReadOnly(true);
        txtDATA[static_cast<std::size_t>(i)] = t;
    }
    const auto& captions = diaglog::Captions();
    int left = 0;
    for (int column = 0; column < 2; ++column) {
        std::vector<std::pair<QLabel*, int>> placed;
        int captionWidth = kCaptionWidth;
        for (std::size_t r = 0; r < kGrid[0].size(); ++r) {
            const int box = kGrid[static_cast<std::size_t>(column)][r];
            const auto b = static_cast<std::size_t>(box);
            const bool trigger = box == kTrigUp || box == kTrigDown;
            auto* l = new QLabel(QString::fromLatin1(captions[b]), Content);
            l->setObjectName(trigger ? indexed("Tri", box == kTrigUp ? 0 : 1) : indexed("lbldata", box));
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            (trigger ? Tri[box == kTrigUp ? 0 : 1] : lbldata[b]) = l;
            placed.emplace_back(l, box);
            captionWidth = std::max(captionWidth, twips::textWidth(l, l->text()));
        }
        const int boxLeft = left + captionWidth + kGap;
        for (std::size_t r = 0; r < placed.size(); ++r) {
            const auto [l, box] = placed[r];
            const auto b = static_cast<std::size_t>(box);
            const int top = kGridTop + static_cast<int>(r) * kRowStep;
            twips::place(l, left, top, captionWidth, kBoxHeight);
            if (box == kLeadLag) {
                // Lead/lag: two boxes side by side.
                twips::place(txtDATA[b], boxLeft, top, kBoxWidth / 2 - 30, kBoxHeight);
                twips::place(txtDATA[kLeadLagSecond], boxLeft + kBoxWidth / 2 + 30, top, kBoxWidth / 2 - 30, kBoxHeight);
            } else {
                twips::place(txtDATA[b], boxLeft, top, kBoxWidth, kBoxHeight);
            }
        }
        left = boxLeft + kBoxWidth + kGap;
    }
    m_formWidth = std::max(kFormWidth, left + kGap);
    // Recordings of earlier sessions open into their chart, beside the run buttons.
    cmdOpenRecording = new QPushButton(QStringLiteral("Open Recording..."), Content);
    cmdOpenRecording->setObjectName(QStringLiteral("cmdOpenRecording"));
    const int openWidth = std::max(1560, twips::textWidth(cmdOpenRecording, cmdOpenRecording->text()) + 240);
    twips::place(cmdOpenRecording, 6600, 120, openWidth, 360);
    m_formWidth = std::max(m_formWidth, 6600 + openWidth + 120);

    lblRecording = new QLabel(Content);
    lblRecording->setObjectName(QStringLiteral("lblRecording"));
    twips::place(lblRecording, 120, kRecordingTop, m_formWidth - 240, kBoxHeight);
    lblRecording->hide();

    connect(cmbUpdate, &QComboBox::activated, this, [this] { cmbUpdate_Click(); });
    connect(cmdStart, &QPushButton::clicked, this, &frmLogdiag::cmdStart_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmLogdiag::cmdClose_Click);
    connect(cmdOpenRecording, &QPushButton::clicked, this,
            [this] { m_session.windows().get<frmRecording>().OpenWithDialog(2); });
    connect(imgSig, &QAbstractButton::clicked, this, &frmLogdiag::imgSig_Click);
}

void frmLogdiag::Form_Load()
{
    cmbChan->setCurrentIndex(0);
    cmbUpdate->setCurrentIndex(3);
    cmbUpdate_Click();
    DiagState = 0;
}

// ---------------------------------------------------------------------------------------------
// Polling and answers

void frmLogdiag::tmrUpDate_Timer()
{
    tmrUpDate->stop();
    m_session.PollBusy = 1;
    modComFun::BuildCommand(m_session.link(), modComFun::KindDiagData, m_session.NodeAddress,
                            static_cast<std::uint8_t>(cmbChan->currentIndex() == 1 ? 1 : 0), 0);
}

void frmLogdiag::LinkTimedOut()
{
    m_session.PollBusy = 0;
    if (DiagState == 1)
        tmrUpDate->start();
}

void frmLogdiag::Setformdiag()
{
    const frmCDR& link = m_session.link();
    // An answer too short for its fields shows and records nothing; the polling goes on.
    if (link.RxCount >= diaglog::kAnswerLength) {
        const diaglog::Boxes boxes = diaglog::Texts(link.RxBuffer.data());
        for (std::size_t i = 0; i < boxes.size(); ++i)
            txtDATA[i]->setText(boxes[i]);
        if (SaveAnswer == 6) {
            DiagRows.AddRow(diaglog::RowLine(boxes));
            if (DiagRowIndex() >= DataLogFile::kDiagBlockRows)
                flushRows(true);
            else if (DiagRowIndex() == 1)
                tmrFlush->start(FlushDelayMs); // the first row of a block waits no longer than this
        }
    }
    m_session.PollBusy = 0;
    if (DiagState == 1)
        tmrUpDate->start();
}

void frmLogdiag::cmbUpdate_Click()
{
    tmrUpDate->setInterval(std::chrono::milliseconds(cmbUpdate->currentData().toInt()));
}

// ---------------------------------------------------------------------------------------------
// Start, Pause, Resume, Close

void frmLogdiag::flushRows(bool tellLater)
{
    tmrFlush->stop();
    m_flushNotice.Report(DiagRows.FlushLog(SaveAnswer == 6), tellLater);
    showRecording();
}

void frmLogdiag::tmrFlush_Timer()
{
    // The rows collected so far go to the file now; the next block goes on from here.
    flushRows(false);
}

void frmLogdiag::showRecording()
{
    recordinglabel::Show(*lblRecording, DiagRows, SaveAnswer == 6 && DiagState != 0);
}

void frmLogdiag::setVisible(bool visible)
{
    // Sized for the screen it opens on.
    if (visible && !isVisible() && View)
        windowfit::Fit(*this, *View, twips::rect(0, 0, m_formWidth, kFormHeight).size(), false);
    QWidget::setVisible(visible);
}

void frmLogdiag::cmdStart_Click()
{
    if (DiagState == 1) {
        tmrUpDate->stop();
        flushRows(false);
        DiagState = 2;
        cmdStart->setText(QStringLiteral("Resume"));
        return;
    }
    if (DiagState == 0) {
        DiagRows.FlushLog(false); // rows of a stopped log are not kept; blocks still waiting are tried
        const auto answer = m_session.dialogs().message(QStringLiteral("Save to Disk?"), QStringLiteral("Storage Option"),
                                                        DialogService::Buttons::YesNo, DialogService::Icon::Question);
        SaveAnswer = answer == DialogService::Answer::Yes ? 6 : 7;
        if (SaveAnswer == 6) {
            const QString name = m_session.dialogs().saveFile(DataLogFile::TextFileRequest());
            if (name.isEmpty())
                return;
            DiagFileName = name;
            DiagRows.SetFileName(name);
            if (!DiagRows.WriteLogHeader(diaglog::HeaderLine()))
                return;
        }
    }
    tmrUpDate->start();
    DiagState = 1;
    cmdStart->setText(QStringLiteral("Pause"));
    showRecording();
}

void frmLogdiag::stopLog()
{
    DiagState = 0;
    tmrUpDate->stop();
    flushRows(false);
    cmdStart->setText(QStringLiteral("Start"));
}

void frmLogdiag::cmdClose_Click()
{
    stopLog();
    hide();
    m_session.windows().showHome();
}

void frmLogdiag::Form_Unload()
{
    stopLog();
    m_session.windows().showHome();
}

void frmLogdiag::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmLogdiag::imgSig_Click()
{
    stopLog();
    hide();
    m_session.windows().get<frmplt>().show();
}
