#include "recordings/frmRecording.h"

#include "engine/session.h"
#include "platform/dialogservice.h"
#include "recordings/picture.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

using recordings::Kind;

namespace {

// Trace colours: channel A as the strip chart's left trace, B as its right one; others in turn.
const QColor kChannelA(0, 0, 255);
const QColor kChannelB(255, 0, 0);
const std::array<QColor, 6> kOthers = {QColor(0, 128, 0), QColor(128, 0, 128), QColor(0, 128, 128),
                                       QColor(160, 96, 0), QColor(64, 64, 64), QColor(200, 0, 120)};

// The least picture size: a chart for a report page.
constexpr int kPictureWidth = 960;
constexpr int kPictureHeight = 600;

// Row labels of the data log's key axis: the row's time of day. The log keeps minutes only, so
// when two neighbouring ticks fall in the same minute every label also names its row.
class TimeTicker : public QCPAxisTicker {
public:
    explicit TimeTicker(const recordings::Recording& data) : m_data(data) {}

protected:
    QVector<QString> createLabelVector(const QVector<double>& ticks, const QLocale&, QChar, int) override
    {
        QVector<QString> labels;
        bool shared = false;
        for (double tick : ticks) {
            labels.append(m_data.timeText(static_cast<std::int64_t>(std::llround(tick)) - 1));
            shared = shared || (labels.size() > 1 && labels.back() == labels[labels.size() - 2]);
        }
        if (shared) {
            for (qsizetype i = 0; i < labels.size(); ++i)
                labels[i] += QStringLiteral("\nrow %1").arg(std::llround(ticks[i]));
        }
        return labels;
    }

private:
    const recordings::Recording& m_data;
};

QString number(double v) { return std::isnan(v) ? QStringLiteral("none") : QString::number(v, 'g', 10); }

} // namespace

frmRecording::frmRecording(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmRecording"));
    setWindowTitle(QStringLiteral("Recording"));
    buildControls();
    resize(1100, 680);
}

frmRecording::~frmRecording() = default;

void frmRecording::buildControls()
{
    auto* top = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    cmdOpen = button("cmdOpen", "Open Recording...");
    cmdFit = button("cmdFit", "Show All");
    cmdZoomBox = button("cmdZoomBox", "Zoom Box");
    cmdZoomBox->setCheckable(true);
    cmdZoomBox->setToolTip(QStringLiteral("Drag a box over the chart to zoom into it (or hold Shift while dragging)"));
    cmdSavePicture = button("cmdSavePicture", "Save Picture...");
    buttons->addStretch(1);
    cmdClose = button("cmdClose", "Close");
    top->addLayout(buttons);

    auto* middle = new QHBoxLayout;
    auto* list = new QScrollArea(this);
    list->setObjectName(QStringLiteral("Quantities"));
    list->setWidgetResizable(true);
    list->setFixedWidth(200);
    auto* listContent = new QWidget;
    m_columnList = new QVBoxLayout(listContent);
    m_columnList->addStretch(1);
    list->setWidget(listContent);
    middle->addWidget(list);

    plotRecording = new QCustomPlot(this);
    plotRecording->setObjectName(QStringLiteral("plotRecording"));
    plotRecording->setAutoAddPlottableToLegend(false);
    plotRecording->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plotRecording->setMinimumSize(400, 300);
    // Clicked, the chart takes the keys that step the cursor.
    plotRecording->setFocusPolicy(Qt::ClickFocus);
    // The panes are made for each recording.
    plotRecording->plotLayout()->clear();
    middle->addWidget(plotRecording, 1);
    top->addLayout(middle, 1);

    lblCursor = new QLabel(this);
    lblCursor->setObjectName(QStringLiteral("lblCursor"));
    lblCursor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(lblCursor);
    lblStatus = new QLabel(QStringLiteral("Open a data log, a diagnostics log or a signal table."), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    top->addWidget(lblStatus);

    connect(cmdOpen, &QPushButton::clicked, this, &frmRecording::cmdOpen_Click);
    connect(cmdFit, &QPushButton::clicked, this, &frmRecording::cmdFit_Click);
    connect(cmdSavePicture, &QPushButton::clicked, this, &frmRecording::cmdSavePicture_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmRecording::cmdClose_Click);
    connect(plotRecording, &QCustomPlot::mousePress, this, &frmRecording::plotPress);
    connect(plotRecording, &QCustomPlot::mouseRelease, this, &frmRecording::plotRelease);
    cmdFit->setEnabled(false);
    cmdZoomBox->setEnabled(false);
    cmdSavePicture->setEnabled(false);
}

// ---------------------------------------------------------------------------------------------
// Opening

bool frmRecording::OpenWithDialog(int filterIndex)
{
    DialogService::FileRequest request;
    request.title = QStringLiteral("Open Recording");
    request.filter = QStringLiteral("Data Files (*.dat)|*.dat|Text Files (*.txt)|*.txt|All Files (*.*)|*.*");
    request.filterIndex = filterIndex;
    const QString name = m_session.dialogs().openFile(request);
    if (name.isEmpty())
        return false;
    const bool opened = OpenFile(name);
    // A file that could not be charted leaves the window as it was.
    if (opened || m_data.rows() > 0) {
        show();
        raise();
        activateWindow();
    }
    return opened;
}

void frmRecording::cmdOpen_Click()
{
    OpenWithDialog(m_data.kind == Kind::DataLog || m_data.kind == Kind::Unknown ? 1 : 2);
}

bool frmRecording::OpenFile(const QString& fileName)
{
    const QString shortName = QFileInfo(fileName).fileName();
    QElapsedTimer clock;
    clock.start();
    // A long read shows how far it has come; the line is painted at once.
    const auto progress = [this, &shortName, &clock](int percent) {
        if (clock.elapsed() < 300)
            return;
        lblStatus->setText(QStringLiteral("Reading %1... %2 %").arg(shortName).arg(percent));
        lblStatus->repaint();
    };
    recordings::Recording read = recordings::Read(fileName, Kind::Unknown, recordings::AvailableMemory(), progress);
    const QString summary = read.summary();
    if (!read.refused.isEmpty() || read.rows() == 0) {
        lblStatus->setText(summary);
        m_session.dialogs().message(
            !read.refused.isEmpty() ? read.refused : QStringLiteral("Nothing could be charted from %1. %2").arg(shortName, summary),
            QStringLiteral("Open Recording"), DialogService::Buttons::OK, DialogService::Icon::Exclamation,
            QStringLiteral("Open a data log (.dat), a diagnostics log or a signal table (.txt) recorded by this tool."));
        return false;
    }

    // The traces of the recording shown so far go before the new ones are made.
    for (QCheckBox* c : chkColumn)
        delete c;
    chkColumn.clear();
    m_data = std::move(read);
    m_cursorKey = -1;
    lblCursor->clear();
    fillColumns();
    m_panes.clear();
    rebuild();
    fitAll();
    cmdFit->setEnabled(true);
    cmdZoomBox->setEnabled(true);
    cmdSavePicture->setEnabled(true);
    setWindowTitle(QStringLiteral("Recording - %1").arg(shortName));

    QString status = summary;
    if (m_data.kind == Kind::SignalTable && m_data.marker < 0)
        status += QStringLiteral(" The file holds no trigger figures, so no trigger mark is drawn.");
    if (m_data.kind == Kind::DataLog)
        status += QStringLiteral(" Values are in the units chosen when they were recorded.");
    lblStatus->setText(status + QStringLiteral(" (%1 s)").arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    if (m_data.skipped > 0) {
        m_session.dialogs().message(summary, QStringLiteral("Open Recording"), DialogService::Buttons::OK,
                                    DialogService::Icon::Exclamation,
                                    QStringLiteral("The rows that could be read are charted; the lines passed over are "
                                                   "left as they are in the file."));
    }
    return true;
}

void frmRecording::fillColumns()
{
    // A signal table charts its upstream and downstream waveforms, as they were downloaded.
    const int shown = m_data.kind == Kind::SignalTable ? 2 : static_cast<int>(m_data.columns.size());
    for (int c = 0; c < shown; ++c) {
        const recordings::Column& col = m_data.columns[static_cast<std::size_t>(c)];
        auto* box = new QCheckBox(col.unit.isEmpty() ? col.name : QStringLiteral("%1 (%2)").arg(col.name, col.unit));
        box->setObjectName(QStringLiteral("chkColumn_%1").arg(c));
        const bool chosen = m_data.kind == Kind::SignalTable || c == 0 ||
                            (m_data.kind == Kind::DataLog && col.group == m_data.columns[0].group) ||
                            (m_data.kind == Kind::DiagLog && c == 1);
        box->setChecked(chosen);
        m_columnList->insertWidget(m_columnList->count() - 1, box);
        connect(box, &QCheckBox::clicked, this, &frmRecording::chkColumn_Click);
        chkColumn.push_back(box);
    }
}

// ---------------------------------------------------------------------------------------------
// The chart

QString frmRecording::keyName() const
{
    switch (m_data.kind) {
    case Kind::DataLog:
        return QStringLiteral("Time of day (by row)");
    case Kind::SignalTable:
        return QStringLiteral("Sample");
    case Kind::DiagLog:
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("Row");
}

QString frmRecording::Caption() const
{
    return QStringLiteral("%1 - %2, %3 %4")
        .arg(QFileInfo(m_data.fileName).fileName(), recordings::KindName(m_data.kind), QLocale::c().toString(m_data.rows()),
             m_data.kind == Kind::SignalTable ? QStringLiteral("samples") : QStringLiteral("rows"));
}

void frmRecording::rebuild()
{
    QCustomPlot& plot = *plotRecording;
    const bool keep = !m_panes.empty();
    const QCPRange shown = keep ? m_panes.back().x->range() : QCPRange();
    plot.clearItems();
    plot.clearGraphs();
    plot.plotLayout()->clear();
    for (QCPMarginGroup* g : plot.findChildren<QCPMarginGroup*>())
        delete g;
    m_panes.clear();
    m_cursor.clear();
    m_graphs.assign(m_data.columns.size(), nullptr);

    auto* title = new QCPTextElement(&plot, Caption(), QFont(font().family(), font().pointSize() + 2, QFont::Bold));
    title->setObjectName(QStringLiteral("Caption"));
    plot.plotLayout()->addElement(0, 0, title);

    // One pane per group of the checked columns, in the columns' order.
    std::vector<QString> groups;
    for (std::size_t c = 0; c < chkColumn.size(); ++c) {
        if (!chkColumn[c]->isChecked())
            continue;
        const QString& g = m_data.columns[c].group;
        auto at = std::find(groups.begin(), groups.end(), g);
        if (at == groups.end()) {
            groups.push_back(g);
            m_panes.push_back({});
            at = groups.end() - 1;
        }
        m_panes[static_cast<std::size_t>(at - groups.begin())].columns.push_back(static_cast<int>(c));
    }
    if (m_panes.empty())
        m_panes.push_back({});

    auto* margins = new QCPMarginGroup(&plot);
    QSharedPointer<QCPAxisTicker> ticker;
    if (m_data.kind == Kind::DataLog)
        ticker = QSharedPointer<QCPAxisTicker>(new TimeTicker(m_data));
    int row = 1;
    int other = 0;
    for (Pane& pane : m_panes) {
        auto* rect = new QCPAxisRect(&plot);
        plot.plotLayout()->addElement(row++, 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        pane.x = rect->axis(QCPAxis::atBottom);
        pane.y = rect->axis(QCPAxis::atLeft);
        const bool last = &pane == &m_panes.back();
        pane.x->setTickLabels(last);
        if (last)
            pane.x->setLabel(keyName());
        if (ticker)
            pane.x->setTicker(ticker);
        if (!pane.columns.empty()) {
            const recordings::Column& first = m_data.columns[static_cast<std::size_t>(pane.columns.front())];
            const QString unit = !first.unit.isEmpty()                        ? first.unit
                                 : m_data.kind == Kind::DataLog && first.group != QStringLiteral("Particle Load")
                                     ? QStringLiteral("unit as recorded")
                                     : QString();
            pane.y->setLabel(unit.isEmpty() ? first.group : QStringLiteral("%1 (%2)").arg(first.group, unit));
        }
        connect(pane.x, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, &frmRecording::followKeys);

        for (int c : pane.columns) {
            const recordings::Column& col = m_data.columns[static_cast<std::size_t>(c)];
            QCPGraph* g = plot.addGraph(pane.x, pane.y);
            g->setName(col.name);
            g->setPen(QPen(col.channel == 0   ? kChannelA
                           : col.channel == 1 ? kChannelB
                                              : kOthers[static_cast<std::size_t>(other++) % kOthers.size()]));
            // Keys are row numbers from 1 (samples from 0); the container takes the points over
            // without a copy.
            const double first = m_data.kind == Kind::SignalTable ? 0 : 1;
            QVector<QCPGraphData> points(static_cast<qsizetype>(col.values.size()));
            for (std::size_t i = 0; i < col.values.size(); ++i)
                points[static_cast<qsizetype>(i)] = QCPGraphData(first + static_cast<double>(i), col.values[i]);
            auto container = QSharedPointer<QCPGraphDataContainer>::create();
            container->set(points, true);
            points = {};
            g->setData(container);
            m_graphs[static_cast<std::size_t>(c)] = g;
        }

        auto* cursor = new QCPItemStraightLine(&plot);
        cursor->setClipAxisRect(rect);
        cursor->setPen(QPen(QColor(0, 160, 0), 1, Qt::DashLine));
        for (QCPItemPosition* p : {cursor->point1, cursor->point2}) {
            p->setAxes(pane.x, pane.y);
            p->setAxisRect(rect);
        }
        cursor->setVisible(false);
        m_cursor.push_back(cursor);
        if (m_data.kind == Kind::SignalTable && m_data.marker >= 0) {
            auto* mark = new QCPItemStraightLine(&plot);
            mark->setClipAxisRect(rect);
            mark->setPen(QPen(Qt::black));
            for (QCPItemPosition* p : {mark->point1, mark->point2})
                p->setAxes(pane.x, pane.y);
            mark->point1->setCoords(m_data.marker, 0);
            mark->point2->setCoords(m_data.marker, 1);
        }
    }

    auto* legend = new QCPLegend;
    plot.plotLayout()->addElement(row, 0, legend);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setBorderPen(Qt::NoPen);
    for (QCPGraph* g : m_graphs) {
        if (g)
            g->addToLegend(legend);
    }
    if (m_data.kind == Kind::SignalTable && m_data.marker >= 0) {
        // The trigger mark in the legend: a trace without points drawn in its pen.
        QCPGraph* mark = plot.addGraph(m_panes.front().x, m_panes.front().y);
        mark->setName(QStringLiteral("Trigger mark"));
        mark->setPen(QPen(Qt::black));
        mark->addToLegend(legend);
    }
    plot.plotLayout()->setRowStretchFactor(0, 0.01);
    plot.plotLayout()->setRowStretchFactor(row, 0.01);

    if (keep) {
        for (Pane& pane : m_panes) {
            pane.x->setRange(shown);
            fitValues(pane);
        }
    }
    SetCursor(m_cursorKey);
    plot.replot();
}

void frmRecording::fitAll()
{
    const double first = m_data.kind == Kind::SignalTable ? 0 : 1;
    const double last = first + static_cast<double>(std::max<std::int64_t>(m_data.rows(), 2) - 1);
    m_following = true;
    for (Pane& pane : m_panes) {
        pane.x->setRange(first, last);
        fitValues(pane);
    }
    m_following = false;
    plotRecording->replot();
}

void frmRecording::fitValues(Pane& pane)
{
    pane.y->rescale();
    const QCPRange r = pane.y->range();
    if (m_data.kind == Kind::SignalTable) {
        // As the raw signal window draws it: 80 % of the height peak to peak about zero.
        const double amplitude = std::max({1.0, std::abs(r.lower), std::abs(r.upper)});
        pane.y->setRange(-amplitude / 0.8, amplitude / 0.8);
        return;
    }
    const double pad = r.size() > 0 ? r.size() * 0.05 : 1;
    pane.y->setRange(r.lower - pad, r.upper + pad);
}

void frmRecording::followKeys(const QCPRange& range)
{
    // Every pane shows the same rows.
    if (m_following)
        return;
    m_following = true;
    for (Pane& pane : m_panes) {
        if (pane.x->range() != range)
            pane.x->setRange(range);
    }
    m_following = false;
}

void frmRecording::cmdFit_Click()
{
    fitAll();
}

void frmRecording::chkColumn_Click()
{
    rebuild();
}

QCPGraph* frmRecording::GraphOf(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_graphs.size()))
        return nullptr;
    return m_graphs[static_cast<std::size_t>(column)];
}

QCPAxis* frmRecording::KeyAxis() const
{
    return m_panes.empty() ? nullptr : m_panes.back().x;
}

// ---------------------------------------------------------------------------------------------
// Cursor

void frmRecording::plotPress(QMouseEvent* event)
{
    m_pressAt = event->pos();
    // The box zoom takes the drag while its button is down or Shift is held; a plain drag pans.
    const bool box = cmdZoomBox->isChecked() || (event->modifiers() & Qt::ShiftModifier);
    plotRecording->setSelectionRectMode(box ? QCP::srmZoom : QCP::srmNone);
}

void frmRecording::plotRelease(QMouseEvent* event)
{
    // A click, not a drag: the cursor goes to the row under it.
    if ((event->pos() - m_pressAt).manhattanLength() > 3 || m_panes.empty() || m_data.rows() == 0)
        return;
    // Left of the first row (a signal table starts at sample 0) is the first row.
    SetCursor(std::max(0.0, m_panes.back().x->pixelToCoord(event->pos().x())));
    plotRecording->replot();
}

void frmRecording::SetCursor(double key)
{
    if (key < 0 || m_data.rows() == 0) {
        for (QCPItemStraightLine* l : m_cursor)
            l->setVisible(false);
        return;
    }
    const double first = m_data.kind == Kind::SignalTable ? 0 : 1;
    const std::int64_t row = std::clamp<std::int64_t>(std::llround(key - first), 0, m_data.rows() - 1);
    m_cursorKey = first + static_cast<double>(row);
    for (QCPItemStraightLine* l : m_cursor) {
        l->point1->setCoords(m_cursorKey, 0);
        l->point2->setCoords(m_cursorKey, 1);
        l->setVisible(true);
    }
    QStringList parts;
    if (m_data.kind == Kind::SignalTable)
        parts << QStringLiteral("Sample %1").arg(row);
    else
        parts << QStringLiteral("Row %1").arg(row + 1);
    if (m_data.kind == Kind::DataLog)
        parts << m_data.timeText(row);
    for (std::size_t c = 0; c < chkColumn.size(); ++c) {
        const recordings::Column& col = m_data.columns[c];
        if (!chkColumn[c]->isChecked() || row >= static_cast<std::int64_t>(col.values.size()))
            continue;
        parts << QStringLiteral("%1 = %2").arg(col.name, number(col.values[static_cast<std::size_t>(row)]));
    }
    lblCursor->setText(parts.join(QStringLiteral("   ")));
}

void frmRecording::keyPressEvent(QKeyEvent* event)
{
    if (m_cursorKey < 0 || m_panes.empty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const double page = std::max(1.0, std::floor(m_panes.back().x->range().size() / 10));
    double step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_PageUp:
        step = -page;
        break;
    case Qt::Key_PageDown:
        step = page;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    // Stepping past either end stops at it.
    SetCursor(std::max(0.0, m_cursorKey + step));
    plotRecording->replot();
}

// ---------------------------------------------------------------------------------------------
// Picture, Close

QString frmRecording::WritePicture(const QString& fileName)
{
    const QSize size = plotRecording->size().expandedTo(QSize(kPictureWidth, kPictureHeight));
    return picture::Write(fileName, size, Caption(),
                          [this, size](QCPPainter& p) { plotRecording->toPainter(&p, size.width(), size.height()); });
}

void frmRecording::cmdSavePicture_Click()
{
    const QFileInfo file(m_data.fileName);
    const QString name = picture::SaveWithDialog(m_session.dialogs(), file.dir().filePath(file.completeBaseName() + QStringLiteral(".png")),
                                                 [this](const QString& n) { return WritePicture(n); });
    if (!name.isEmpty())
        lblStatus->setText(QStringLiteral("The picture was saved to %1.").arg(name));
}

void frmRecording::cmdClose_Click()
{
    close();
}

void frmRecording::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Opened straight from the command line, it is the only window: the start window follows.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && !w->isHidden() && w->isWindow() && w->windowType() == Qt::Window)
            return;
    }
    m_session.windows().showHome();
}
