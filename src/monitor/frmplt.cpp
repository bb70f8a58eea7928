#include "monitor/frmplt.h"

#include "engine/session.h"
#include "link/commands.h"
#include "meterdata/sitefile.h"
#include "monitor/chartsurface.h"
#include "monitor/datalogfile.h"
#include "platform/dialogservice.h"
#include "platform/shape.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>

namespace {

// Left column: channel, buttons, lamps, figures and the boxes no operation fills; right: the two
// graphs. Twips.
constexpr int kLeft = 120;
constexpr int kColumnWidth = 3480;
constexpr int kBoxHeight = 300;
constexpr int kGraphLeft = 3720;
constexpr int kGraphTop[2] = {120, 4800};
constexpr int kGraphWidth = 8760;
constexpr int kGraphHeight = 4560;

QString indexed(const char* name, int i)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i);
}

} // namespace

frmplt::frmplt(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmplt"));
    setWindowTitle(QStringLiteral("Raw Acoustic Signals"));
    buildControls();
    m_session.onLink(this, [this](frmCDR& link) {
        connect(&link, &frmCDR::timedOut, this, &frmplt::LinkTimedOut);
        connect(&link, &frmCDR::sendFailed, this, &frmplt::LinkFailed);
    });
}

frmplt::~frmplt() = default;

void frmplt::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());
    Surface = new ChartSurface(this);
    Surface->setObjectName(QStringLiteral("Surface"));

    const auto label = [this](const QString& name, const char* text, int left, int top, int width) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(name);
        twips::place(l, left, top, width, kBoxHeight);
        return l;
    };
    const auto button = [this](const char* name, const char* text, int top) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QLatin1String(name));
        twips::place(b, kLeft, top, kColumnWidth, 420);
        return b;
    };
    const auto box = [this](const QString& name, int left, int top, int width) {
        auto* t = new QLineEdit(this);
        t->setObjectName(name);
        t->setReadOnly(true);
        twips::place(t, left, top, width, kBoxHeight);
        return t;
    };

    label(QStringLiteral("lblChan"), "Select Channel", kLeft, 90, kColumnWidth);
    lstChan = new QListWidget(this);
    lstChan->setObjectName(QStringLiteral("lstChan"));
    lstChan->addItems({QStringLiteral("CHAN 1"), QStringLiteral("CHAN 2")});
    twips::place(lstChan, kLeft, 390, kColumnWidth, 560);
    cmdLive = button("cmdLive", "DownLoad Signals", 1050);
    cmdLive->setEnabled(false);
    cmdSave = button("cmdSave", "Save To File", 1560);
    cmdClose = button("cmdClose", "Close", 2070);

    for (int i = 0; i < 5; ++i) {
        auto* lamp = new Shape(this);
        lamp->setObjectName(indexed("shpStatus", i));
        twips::place(lamp, kLeft + i * 540, 2640, 420, 240);
        shpStatus[static_cast<std::size_t>(i)] = lamp;
    }

    label(QStringLiteral("lblGain"), "GAIN", kLeft, 3060, 780);
    txtDiag[0] = box(indexed("txtDiag", 0), 960, 3060, 900);
    label(QStringLiteral("lbldB"), "dB", 1920, 3060, 600);
    label(QStringLiteral("lblTrg"), "TRG", kLeft, 3480, 780);
    txtDiag[1] = box(indexed("txtDiag", 1), 960, 3480, 900);
    label(QStringLiteral("lblUp"), "UP", 960, 3840, 900);
    label(QStringLiteral("lblDown"), "DOWN", 1920, 3840, 780);
    label(QStringLiteral("lblSat"), "SAT", kLeft, 4140, 780);
    txtDiag[2] = box(indexed("txtDiag", 2), 960, 4140, 900);
    txtDiag[3] = box(indexed("txtDiag", 3), 1920, 4140, 780);

    // Figures the meter does not send yet: captions and empty boxes.
    const char* const spare[] = {"Upstream Intensity",  "Downstream Intensity", "Intensity Convergence",
                                 "Phase Convergience", "Harmonic Distortion",  "COVAR"};
    for (int i = 0; i < 6; ++i) {
        const int top = 4560 + i * 420;
        label(indexed("lblSpare", i), spare[i], kLeft, top, 2280);
        box(indexed("txtSpare", i), kLeft + 2340, top, 1140);
    }
    label(QStringLiteral("lblNotes"), "Notes:", kLeft, 7080, kColumnWidth);
    txtNotes = new QTextEdit(this);
    txtNotes->setObjectName(QStringLiteral("txtNotes"));
    twips::place(txtNotes, kLeft, 7380, kColumnWidth, 1980);

    const char* const graphs[] = {"Upstream Signal", "Downstream Signal"};
    for (int g = 0; g < 2; ++g) {
        auto* frame = new QGroupBox(QString::fromLatin1(graphs[g]), this);
        frame->setObjectName(indexed("shpgraph", g));
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        twips::place(frame, kGraphLeft, kGraphTop[g], kGraphWidth, kGraphHeight);
        shpgraph[static_cast<std::size_t>(g)] = frame;
    }
    Surface->lower();

    // Only a line the user picks counts: the current row the list takes by itself when it gets
    // the focus is not selected and leaves "DownLoad Signals" disabled.
    connect(lstChan, &QListWidget::itemSelectionChanged, this, [this] {
        if (!lstChan->selectedItems().isEmpty())
            lstChan_Click();
    });
    connect(cmdLive, &QPushButton::clicked, this, &frmplt::cmdLive_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmplt::cmdSave_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmplt::cmdClose_Click);
}

stripchart::Frame frmplt::GraphFrame(int g) const
{
    return {kGraphLeft, kGraphTop[g & 1], kGraphWidth, kGraphHeight};
}

// ---------------------------------------------------------------------------------------------
// Download

void frmplt::lstChan_Click()
{
    const QList<QListWidgetItem*> picked = lstChan->selectedItems();
    if (picked.isEmpty())
        return;
    cmdLive->setEnabled(true);
    SignalChannel = static_cast<std::uint8_t>(lstChan->row(picked.first()) + 1);
}

void frmplt::cmdLive_Click()
{
    Surface->Clear();
    Downloading = true;
    // One poll at a time: a click while one is out leaves the running download as it is.
    if (!PollOutstanding)
        RequestSignals();
}

void frmplt::RequestSignals()
{
    PollOutstanding = true;
    modComFun::SendFrame(m_session.link(),
                         modComFun::RequestFrame(m_session.NodeAddress, modComFun::PlotPoll, {SignalChannel, 0}));
}

void frmplt::nextPoll()
{
    if (Downloading)
        RequestSignals();
}

void frmplt::LinkTimedOut()
{
    // Only a time-out of our own poll concerns the window; it ends that poll either way.
    if (!PollOutstanding)
        return;
    PollOutstanding = false;
    if (Downloading)
        RequestSignals();
}

void frmplt::LinkFailed()
{
    PollOutstanding = false;
    Downloading = false;
}

void frmplt::StepLamps()
{
    for (Shape* lamp : shpStatus)
        lamp->setFillColor(kLampGreen);
    if (LampIndex >= static_cast<int>(shpStatus.size()))
        LampIndex = 0;
    shpStatus[static_cast<std::size_t>(LampIndex)]->setFillColor(kLampYellow);
    ++LampIndex;
}

void frmplt::PlotData()
{
    const frmCDR& link = m_session.link();
    const signalplot::Capture::Taken taken = Signals.Take(link.RxBuffer.data(), link.RxCount);
    PollOutstanding = false;
    if (taken == signalplot::Capture::Taken::Refused) {
        nextPoll();
        return;
    }
    StepLamps();
    if (taken != signalplot::Capture::Taken::Figures) {
        nextPoll();
        return;
    }
    const signalplot::FigureTexts t = signalplot::Texts(Signals.FigureSamples());
    txtDiag[0]->setText(t.gain);
    txtDiag[1]->setText(t.trigger);
    txtDiag[2]->setText(t.satUp);
    txtDiag[3]->setText(t.satDown);
    MarkerIndex = t.marker;
    // The poll leaves first: the meter prepares its answer while the pair is drawn.
    nextPoll();
    for (int g = 0; g < 2; ++g) {
        const auto slot = static_cast<std::size_t>(g);
        DrawGraph(g, Signals.SlotCount[slot], Signals.SignalSlots[slot].data());
    }
}

void frmplt::PlotMark()
{
    // The mark answers the poll and asks for nothing more: the cycle waits for the next click.
    PollOutstanding = false;
    if (isVisible())
        shpStatus[0]->setFillColor(kLampBlue);
}

void frmplt::DrawGraph(int g, int n, const std::int16_t* samples)
{
    const stripchart::Frame f = GraphFrame(g);
    Surface->FillRect(f.Left, f.Top, f.Width, f.Height, Qt::white);
    // A slot without samples (the figures came first) leaves its frame empty.
    const signalplot::Trace trace = signalplot::Graph(f, n, samples, MarkerIndex);
    if (trace.points.empty())
        return;
    Surface->DrawPolyline(trace.points, Qt::black);
    Surface->DrawLine(trace.markerX, f.Top, trace.markerX, f.Top + f.Height, Qt::black);
}

// ---------------------------------------------------------------------------------------------
// Save, Close

void frmplt::cmdSave_Click()
{
    const QString name = m_session.dialogs().saveFile(DataLogFile::TextFileRequest());
    if (name.isEmpty())
        return;
    const QString error = sitefile::SaveFileBytes(name, signalplot::SignalTable(Signals));
    if (!error.isEmpty())
        m_session.dialogs().inform(QStringLiteral("The signal table was not saved:\n%1\n%2").arg(name, error),
                                   windowTitle());
}

void frmplt::cmdClose_Click()
{
    Downloading = false;
    PollOutstanding = false; // the poll in flight is given up: a later click starts afresh
    hide();
    m_session.windows().showHome();
}

void frmplt::Form_Unload()
{
    Downloading = false;
    PollOutstanding = false;
    m_session.windows().showHome();
}

void frmplt::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
