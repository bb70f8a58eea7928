#include "monitor/frmplt.h"

#include "engine/session.h"
#include "link/commands.h"
#include "meterdata/sitefile.h"
#include "monitor/chartsurface.h"
#include "monitor/datalogfile.h"
#include "monitor/windowfit.h"
#include "recordings/frmRecording.h"
#include "recordings/picture.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/shape.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTextEdit>

#include <algorithm>

namespace {

// Left column: channel, buttons, lamps, figures and the boxes no operation fills; right: the two
// graphs. Twips; the column is wider where its captions need it at the window's font, and the
// graphs take what the window gives beyond the content's own size.
constexpr int kLeft = 120;
constexpr int kColumnWidth = 3480;
constexpr int kBoxHeight = 300;
constexpr int kGap = 60;
constexpr int kRowCaptionWidth = 780; // "GAIN", "TRG", "SAT"
constexpr int kFigureWidth = 900;
constexpr int kSpareCaptionWidth = 2280;
constexpr int kSpareBoxWidth = 1140;
constexpr int kGraphTop[2] = {120, 4800};
constexpr int kGraphGap = kGraphTop[1] - kGraphTop[0] - frmplt::kGraphHeight;

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
    // Shown, it takes the focus: the keys work without a window manager too.
    keyboard::Install(*this, nullptr, nullptr);
    m_session.onLink(this, [this](frmCDR& link) {
        connect(&link, &frmCDR::timedOut, this, &frmplt::LinkTimedOut);
        connect(&link, &frmCDR::sendFailed, this, &frmplt::LinkFailed);
    });
}

frmplt::~frmplt() = default;

void frmplt::buildControls()
{
    Content = new QWidget;
    Content->setObjectName(QStringLiteral("Content"));
    Content->installEventFilter(this);
    View = windowfit::Wrap(*this, *Content);
    Surface = new ChartSurface(Content);
    Surface->setObjectName(QStringLiteral("Surface"));

    const auto label = [this](const QString& name, const char* text, int left, int top, int width) {
        auto* l = new QLabel(QString::fromLatin1(text), Content);
        l->setObjectName(name);
        twips::place(l, left, top, std::max(width, twips::textWidth(l, l->text())), kBoxHeight);
        return l;
    };
    const auto button = [this](const char* name, const char* text, int top) {
        auto* b = new QPushButton(QString::fromLatin1(text), Content);
        b->setObjectName(QLatin1String(name));
        twips::place(b, kLeft, top, kColumnWidth, 420);
        return b;
    };
    const auto box = [this](const QString& name, int left, int top, int width) {
        auto* t = new QLineEdit(Content);
        t->setObjectName(name);
        t->setReadOnly(true);
        twips::place(t, left, top, width, kBoxHeight);
        return t;
    };
    // Twips the widest of the texts needs.
    const auto needed = [this](int least, std::initializer_list<const char*> texts) {
        for (const char* text : texts)
            least = std::max(least, twips::textWidth(this, QString::fromLatin1(text)));
        return least;
    };

    lstChan = new QListWidget(Content);
    lstChan->setObjectName(QStringLiteral("lstChan"));
    lstChan->addItems({QStringLiteral("CHAN 1"), QStringLiteral("CHAN 2")});
    twips::place(lstChan, kLeft, 390, kColumnWidth, 560);
    cmdLive = button("cmdLive", "DownLoad Signals", 1050);
    cmdLive->setEnabled(false);
    cmdSave = button("cmdSave", "Save To File", 1560);
    cmdClose = button("cmdClose", "Close", 2070);

    for (int i = 0; i < 5; ++i) {
        auto* lamp = new Shape(Content);
        lamp->setObjectName(indexed("shpStatus", i));
        twips::place(lamp, kLeft + i * 540, 2640, 420, 240);
        shpStatus[static_cast<std::size_t>(i)] = lamp;
    }

    // The figures: a caption column, the upstream column, the downstream column.
    const int up = kLeft + needed(kRowCaptionWidth, {"GAIN", "TRG", "SAT"}) + kGap;
    const int down = up + kFigureWidth + kGap;
    label(QStringLiteral("lblGain"), "GAIN", kLeft, 3060, up - kGap - kLeft);
    txtDiag[0] = box(indexed("txtDiag", 0), up, 3060, kFigureWidth);
    label(QStringLiteral("lbldB"), "dB", down, 3060, 600);
    label(QStringLiteral("lblTrg"), "TRG", kLeft, 3480, up - kGap - kLeft);
    txtDiag[1] = box(indexed("txtDiag", 1), up, 3480, kFigureWidth);
    label(QStringLiteral("lblUp"), "UP", up, 3840, kFigureWidth);
    const QLabel* lblDown = label(QStringLiteral("lblDown"), "DOWN", down, 3840, 780);
    label(QStringLiteral("lblSat"), "SAT", kLeft, 4140, up - kGap - kLeft);
    txtDiag[2] = box(indexed("txtDiag", 2), up, 4140, kFigureWidth);
    txtDiag[3] = box(indexed("txtDiag", 3), down, 4140, 780);
    int right = std::max(down + 780, twips::left(lblDown) + twips::fromPixels(lblDown->width(), twips::screenDpi()));

    // Figures the meter does not send yet: captions and empty boxes.
    const char* const spare[] = {"Upstream Intensity",  "Downstream Intensity", "Intensity Convergence",
                                 "Phase Convergience", "Harmonic Distortion",  "COVAR"};
    const int spareBox =
        kLeft + needed(kSpareCaptionWidth, {spare[0], spare[1], spare[2], spare[3], spare[4], spare[5]}) + kGap;
    for (int i = 0; i < 6; ++i) {
        const int top = 4560 + i * 420;
        label(indexed("lblSpare", i), spare[i], kLeft, top, spareBox - kGap - kLeft);
        box(indexed("txtSpare", i), spareBox, top, kSpareBoxWidth);
    }
    right = std::max({right, spareBox + kSpareBoxWidth, kLeft + kColumnWidth});
    label(QStringLiteral("lblChan"), "Select Channel", kLeft, 90, right - kLeft);
    label(QStringLiteral("lblNotes"), "Notes:", kLeft, 7080, right - kLeft);
    txtNotes = new QTextEdit(Content);
    txtNotes->setObjectName(QStringLiteral("txtNotes"));
    twips::place(txtNotes, kLeft, 7380, right - kLeft, 1500);
    // A signal table saved earlier opens into its chart; the graphs as they show go to a picture.
    cmdOpenRecording = new QPushButton(QStringLiteral("Open Recording..."), Content);
    cmdOpenRecording->setObjectName(QStringLiteral("cmdOpenRecording"));
    twips::place(cmdOpenRecording, kLeft, 8940, (right - kLeft) / 2 - kGap / 2, 420);
    cmdSavePicture = new QPushButton(QStringLiteral("Save Picture..."), Content);
    cmdSavePicture->setObjectName(QStringLiteral("cmdSavePicture"));
    twips::place(cmdSavePicture, kLeft + (right - kLeft) / 2 + kGap / 2, 8940, (right - kLeft) / 2 - kGap / 2, 420);

    m_graphLeft = right + 2 * kGap;
    m_formWidth = m_graphLeft + kGraphWidth + kLeft;
    const char* const graphs[] = {"Upstream Signal", "Downstream Signal"};
    for (int g = 0; g < 2; ++g) {
        auto* frame = new QGroupBox(QString::fromLatin1(graphs[g]), Content);
        frame->setObjectName(indexed("shpgraph", g));
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        shpgraph[static_cast<std::size_t>(g)] = frame;
    }
    placeGraphs();
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
    connect(cmdOpenRecording, &QPushButton::clicked, this,
            [this] { m_session.windows().get<frmRecording>().OpenWithDialog(2); });
    connect(cmdSavePicture, &QPushButton::clicked, this, &frmplt::cmdSavePicture_Click);
}

stripchart::Frame frmplt::GraphFrame(int g) const
{
    const int height = kGraphHeight + m_graphGrowth.height() / 2;
    const int top = g == 0 ? kGraphTop[0] : kGraphTop[0] + height + kGraphGap;
    return {m_graphLeft, top, kGraphWidth + m_graphGrowth.width(), height};
}

QSize frmplt::ContentSize() const
{
    return twips::rect(0, 0, m_formWidth, kFormHeight).size();
}

void frmplt::placeGraphs()
{
    // The graphs take the content's size beyond its own: all of the width, half the height each.
    const QSize extra = (Content->size() - ContentSize()).expandedTo(QSize(0, 0));
    const double dpi = twips::screenDpi();
    const QSize growth(twips::fromPixels(extra.width(), dpi), 2 * (twips::fromPixels(extra.height(), dpi) / 2));
    Surface->resize(Content->size().expandedTo(ContentSize()));
    if (growth == m_graphGrowth)
        return;
    m_graphGrowth = growth;
    for (int g = 0; g < 2; ++g) {
        const stripchart::Frame f = GraphFrame(g);
        twips::place(shpgraph[static_cast<std::size_t>(g)], f.Left, f.Top, f.Width, f.Height);
    }
    // Frames of another size: the last pair is drawn again in them.
    Surface->Clear();
    if (m_drawn)
        drawPair();
}

void frmplt::drawPair()
{
    m_drawn = true;
    for (int g = 0; g < 2; ++g) {
        const auto slot = static_cast<std::size_t>(g);
        DrawGraph(g, Signals.SlotCount[slot], Signals.SignalSlots[slot].data());
    }
}

void frmplt::setVisible(bool visible)
{
    // Sized for the screen it opens on.
    if (visible && !isVisible() && View)
        windowfit::Fit(*this, *View, ContentSize(), true);
    QWidget::setVisible(visible);
}

bool frmplt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Content && event->type() == QEvent::Resize)
        placeGraphs();
    return QWidget::eventFilter(watched, event);
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
    m_drawn = false;
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
    drawPair();
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

QString frmplt::WritePicture(const QString& fileName)
{
    // Both graph frames with their captions, as they show.
    const QRect area = shpgraph[0]->geometry().united(shpgraph[1]->geometry()).adjusted(-4, -4, 4, 4);
    const QString caption = QStringLiteral("Raw Acoustic Signals, channel %1 - %2")
                                .arg(SignalChannel)
                                .arg(picture::MeterIdentity(m_session));
    return picture::WriteArea(fileName, *Content, area, caption,
                              {{QStringLiteral("Signal (counts against sample)"), Qt::black},
                               {QStringLiteral("Trigger mark: the vertical line"), Qt::black}});
}

void frmplt::cmdSavePicture_Click()
{
    picture::SaveWithDialog(m_session.dialogs(), QStringLiteral("signals.png"),
                            [this](const QString& name) { return WritePicture(name); });
}

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
