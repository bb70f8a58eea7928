// The data log window's controls and their places: building the form, its height for the
// channels and the chart, the caption margin, the chart frame grown with the window, and the scale
// labels beside the frame. Polling, recording and the strip chart's drawing: frmLog.cpp.
#include "monitor/frmLog.h"

#include "monitor/chartsurface.h"
#include "monitor/windowfit.h"
#include "platform/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

// Value rows, twips.
constexpr int kRowTop = 600;
constexpr int kRowStep = 360;
constexpr int kBoxHeight = 300;
constexpr int kCaptionLeft = 60;
constexpr int kCaptionWidth = 1340;
// Value columns: channel A (and the single channel), channel B beside it, and the units after them.
constexpr int kColumn1 = 1440;
constexpr int kColumn2 = 2640;
constexpr int kColumn3 = 3840;
constexpr int kBoxWidth = 1200;
constexpr int kTotalShift = 360; // the totals stand right of their column
constexpr int kTotalWidth = kBoxWidth - kTotalShift;
constexpr int kUnitWidth = 1200;
// Buttons and the update period, right of the values.
constexpr int kButtonLeft = 5400;
constexpr int kButtonWidth = 1440;
// Chart controls, above the chart frame.
constexpr int kChartRow1 = 5040;
constexpr int kChartRow2 = 5400;
constexpr int kScaleLabelHeight = 210;
// Columns of the chart controls: left quantities, left axis, right quantities, right axis.
constexpr int kChartLeftWidth = 1800;
constexpr int kChartLeftAxis = 2700;
constexpr int kChartRight = 4080;
constexpr int kChartRightWidth = 1980;
constexpr int kChartRightAxis = 6120;
constexpr int kChartAxisWidth = 1200;
constexpr int kScaleButtonWidth = 420;
constexpr int kChartGap = 60;
// The recording line, below the values.
constexpr int kRecordingTop = 4200;

constexpr int row(int r) { return kRowTop + r * kRowStep; }

enum Row { RowFlow, RowVOS, RowSdv, RowLoad, RowSize, RowAbsorb, RowTotal, RowTime, RowAvg, RowAlarm };

QString indexed(const char* name, int i)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i);
}

} // namespace

void frmLog::buildControls()
{
    Content = new QWidget;
    Content->setObjectName(QStringLiteral("Content"));
    Content->installEventFilter(this);
    Form = new QWidget(Content);
    Form->setObjectName(QStringLiteral("Form"));
    View = windowfit::Wrap(*this, *Content);

    // The drawing surface lies under every control of the form and spans its tallest size.
    Surface = new ChartSurface(Form);
    Surface->setObjectName(QStringLiteral("Surface"));
    Surface->resize(twips::rect(0, 0, kFormWidth, kHeightPlot).size());

    // Captions end where the form's caption column ends; a caption wider than the column reaches
    // into the margin left of the form, which is made as wide as the widest one needs.
    std::vector<std::pair<QLabel*, int>> captions;
    auto caption = [this, &captions](const char* name, const char* text, int top) {
        auto* l = new QLabel(QString::fromLatin1(text), Content);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        captions.emplace_back(l, top);
        return l;
    };
    auto box = [this](const QString& name) {
        auto* t = new QLineEdit(Form);
        t->setObjectName(name);
        t->setReadOnly(true);
        return t;
    };
    auto unitLabel = [this](const char* name, const char* text, int top) {
        auto* l = new QLabel(QString::fromLatin1(text), Form);
        l->setObjectName(QLatin1String(name));
        twips::place(l, kColumn2, top, std::max(kUnitWidth, twips::textWidth(l, l->text())), kBoxHeight);
        return l;
    };
    auto combo = [this](const char* name) {
        auto* c = new QComboBox(Form);
        c->setObjectName(QLatin1String(name));
        return c;
    };

    cmbChan = combo("cmbChan");
    cmbChan->addItems({QStringLiteral("Chan A"), QStringLiteral("Chan B"), QStringLiteral("Both")});
    twips::place(cmbChan, kColumn1, 120, kBoxWidth, kBoxHeight);
    cmbUpdate = combo("cmbUpdate");
    cmbUpdate->addItem(QStringLiteral("1 sec"), 1000);
    cmbUpdate->addItem(QStringLiteral("10 sec"), 10000);
    cmbUpdate->addItem(QStringLiteral("30 sec"), 30000);
    cmbUpdate->addItem(QStringLiteral("60 sec"), 60000);
    twips::place(cmbUpdate, kButtonLeft, 120, kButtonWidth, kBoxHeight);

    tmrUpDate = new QTimer(this);
    tmrUpDate->setObjectName(QStringLiteral("tmrUpDate"));
    tmrUpDate->setInterval(100);
    tmrUpDate->setTimerType(Qt::PreciseTimer);
    connect(tmrUpDate, &QTimer::timeout, this, &frmLog::tmrUpDate_Timer);
    tmrFlush = new QTimer(this);
    tmrFlush->setObjectName(QStringLiteral("tmrFlush"));
    tmrFlush->setSingleShot(true);
    connect(tmrFlush, &QTimer::timeout, this, &frmLog::tmrFlush_Timer);

    caption("lblFlowRate", "Flow Rate", row(RowFlow));
    caption("lblVelocity", "Acoustic Velocity", row(RowVOS));
    caption("lblSDV", "Flow SDV", row(RowSdv));
    caption("lblLoad", "Particle Load", row(RowLoad));
    caption("lblSize", "Particle Size", row(RowSize));
    caption("lblAbsorb", "Acoustic Absorbsion", row(RowAbsorb));
    caption("lblTotal", "Batch Total", row(RowTotal));
    caption("lblTime", "Batch Time", row(RowTime));
    caption("lblAVG", "AVG", row(RowAvg));
    int captionWidth = twips::toPixels(kCaptionWidth);
    for (const auto& [l, top] : captions)
        captionWidth = std::max(captionWidth, l->fontMetrics().horizontalAdvance(l->text()) + 2);
    m_margin = captionWidth - twips::toPixels(kCaptionWidth);
    Form->move(m_margin, 0);
    for (const auto& [l, top] : captions) {
        l->setGeometry(m_margin + twips::toPixels(kCaptionLeft + kCaptionWidth) - captionWidth, twips::toPixels(top),
                       captionWidth, twips::toPixels(kBoxHeight));
    }

    for (int i = 0; i < 2; ++i) {
        const auto k = static_cast<std::size_t>(i);
        txtFlow[k] = box(indexed("txtFlow", i));
        txtVOS[k] = box(indexed("txtVOS", i));
        txtReyn[k] = box(indexed("txtReyn", i));
        txtLoad[k] = box(indexed("txtLoad", i));
        txtSize[k] = box(indexed("txtSize", i));
        txtAbsorb[k] = box(indexed("txtAbsorb", i));
        txtTotal[k] = box(indexed("txtTotal", i));
        lblAlarm[k] = new QLabel(QStringLiteral("ALARM"), Form);
        lblAlarm[k]->setObjectName(indexed("lblAlarm", i));
        lblAlarm[k]->setAlignment(Qt::AlignCenter);
        QFont bold = lblAlarm[k]->font();
        bold.setBold(true);
        lblAlarm[k]->setFont(bold);
        lblAlarm[k]->setStyleSheet(QStringLiteral("QLabel { background: rgb(255, 0, 0); color: white; }"));
        lblAlarm[k]->hide();
    }
    txtTotalTime = box(QStringLiteral("txtTotalTime"));
    twips::place(txtTotalTime, kColumn1 + kTotalShift, row(RowTime), kTotalWidth, kBoxHeight);
    txtQavg = box(QStringLiteral("txtQavg"));
    twips::place(txtQavg, kColumn1, row(RowAvg), kBoxWidth, kBoxHeight);

    cmbQUnit = combo("cmbQUnit");
    cmbCunit = combo("cmbCunit");
    cmbTotalUN = combo("cmbTotalUN");
    lblpercent = unitLabel("lblpercent", "%", row(RowSdv));
    lblmicron = unitLabel("lblmicron", "Microns", row(RowSize));
    lbldB = unitLabel("lbldB", "dB", row(RowAbsorb));
    lblsec = unitLabel("lblsec", "sec", row(RowTime));

    auto button = [this](const QString& name, const char* text, int left, int top, int width) {
        auto* b = new QPushButton(QString::fromLatin1(text), Form);
        b->setObjectName(name);
        twips::place(b, left, top, width, kBoxHeight + 60);
        return b;
    };
    cmdStart = button(QStringLiteral("cmdStart"), "Start Log", kButtonLeft, row(RowFlow), kButtonWidth);
    cmdClose = button(QStringLiteral("cmdClose"), "Close", kButtonLeft, row(RowSdv), kButtonWidth);
    cmdStartStop = button(QStringLiteral("cmdStartStop"), "Start Batch", kButtonLeft, row(RowSize), kButtonWidth);
    cmdClear = button(QStringLiteral("cmdClear"), "Clear Total", kButtonLeft, row(RowTotal), kButtonWidth);
    // Earlier recordings open into their chart (no meter needed); the strip chart goes to a picture.
    cmdOpenRecording = button(QStringLiteral("cmdOpenRecording"), "Open Recording...", kButtonLeft, row(RowTime), kButtonWidth);
    cmdSavePicture = button(QStringLiteral("cmdSavePicture"), "Save Picture...", kButtonLeft, row(RowAvg), kButtonWidth);
    for (QPushButton* b : {cmdOpenRecording, cmdSavePicture})
        twips::place(b, kButtonLeft, twips::top(b), std::max(kButtonWidth, twips::textWidth(b, b->text()) + 240), kBoxHeight + 60);
    cmdSavePicture->setEnabled(false);

    auto check = [this](const QString& name, const char* text) {
        auto* c = new QCheckBox(QString::fromLatin1(text), Form);
        c->setObjectName(name);
        return c;
    };
    chkPlot = check(QStringLiteral("chkPlot"), "Plot Data");
    twips::place(chkPlot, kButtonLeft, row(RowAlarm), kButtonWidth, kBoxHeight);
    chkLData[0] = check(indexed("chkLData", 0), "Flow Rate");
    chkLData[1] = check(indexed("chkLData", 1), "Reynolds Number");
    chkBPolarL = check(QStringLiteral("chkBPolarL"), "Bi Polar");
    cmdLscale[0] = button(indexed("cmdLscale", 0), "+", 0, 0, kScaleButtonWidth);
    cmdLscale[1] = button(indexed("cmdLscale", 1), "-", 0, 0, kScaleButtonWidth);
    chkRData[0] = check(indexed("chkRData", 0), "Acoustic Velocity");
    chkRData[1] = check(indexed("chkRData", 1), "Particle Size");
    chkBPolarR = check(QStringLiteral("chkBPolarR"), "Bi Polar");
    cmdRscale[0] = button(indexed("cmdRscale", 0), "+", 0, 0, kScaleButtonWidth);
    cmdRscale[1] = button(indexed("cmdRscale", 1), "-", 0, 0, kScaleButtonWidth);
    placeChartControls();
    chkLData[0]->setChecked(true);
    chkRData[0]->setChecked(true);

    lblRecording = new QLabel(Form);
    lblRecording->setObjectName(QStringLiteral("lblRecording"));
    twips::place(lblRecording, kCaptionLeft, kRecordingTop, kFormWidth - 2 * kCaptionLeft, kBoxHeight);
    lblRecording->hide();

    shpFlow = new FrameShape(Form);
    shpFlow->setObjectName(QStringLiteral("shpFlow"));
    twips::place(shpFlow, kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight);
    shpFlow->hide();

    // Left of the frame the scale labels may reach into the caption margin.
    for (int k = 0; k < 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        LblLScale[i] = new QLabel(Content);
        LblLScale[i]->setObjectName(indexed("LblLScale", k));
        LblLScale[i]->setAlignment(Qt::AlignRight | Qt::AlignTop);
        LblRScale[i] = new QLabel(Form);
        LblRScale[i]->setObjectName(indexed("LblRScale", k));
        LblRScale[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    Surface->lower();

    // Handlers.
    connect(cmbChan, &QComboBox::currentIndexChanged, this, [this] { cmbChan_Click(); });
    connect(cmbUpdate, &QComboBox::currentIndexChanged, this, [this] { cmbUpdate_Click(); });
    connect(cmbQUnit, &QComboBox::currentIndexChanged, this, [this] { cmbQUnit_Click(); });
    connect(cmbCunit, &QComboBox::currentIndexChanged, this, [this] { cmbCunit_Click(); });
    connect(cmbTotalUN, &QComboBox::currentIndexChanged, this, [this] { cmbTotalUN_Click(); });
    connect(cmdStart, &QPushButton::clicked, this, &frmLog::cmdStart_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmLog::cmdClose_Click);
    connect(cmdStartStop, &QPushButton::clicked, this, &frmLog::cmdStartStop_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmLog::cmdClear_Click);
    connect(cmdOpenRecording, &QPushButton::clicked, this, &frmLog::cmdOpenRecording_Click);
    connect(cmdSavePicture, &QPushButton::clicked, this, &frmLog::cmdSavePicture_Click);
    connect(chkPlot, &QCheckBox::clicked, this, &frmLog::chkPlot_Click);
    connect(chkBPolarL, &QCheckBox::clicked, this, &frmLog::chkBPolarL_Click);
    connect(chkBPolarR, &QCheckBox::clicked, this, &frmLog::chkBPolarR_Click);
    for (int i = 0; i < 2; ++i) {
        const auto k = static_cast<std::size_t>(i);
        // "clicked" comes with the mouse release over the box.
        connect(chkLData[k], &QCheckBox::clicked, this, [this, i] { chkLData_MouseUp(i); });
        connect(chkRData[k], &QCheckBox::clicked, this, [this, i] { chkRData_MouseUp(i); });
        connect(cmdLscale[k], &QPushButton::clicked, this, [this, i] { cmdLscale_Click(i); });
        connect(cmdRscale[k], &QPushButton::clicked, this, [this, i] { cmdRscale_Click(i); });
    }
}

void frmLog::placeChartControls()
{
    // Four columns above the frame, each at its place or, where the one before needs more room at
    // the window's font, right after it: the left quantities, the left axis, the right quantities
    // (the widest of their captions), the right axis.
    const auto need = [](QCheckBox* c, const QString& text) {
        const QString was = c->text();
        c->setText(text);
        const int width = twips::fromPixels(c->sizeHint().width() + 2, twips::screenDpi());
        c->setText(was);
        return width;
    };
    // An axis column: its bipolar box over its two scale buttons; returns the column's width.
    const auto placeAxis = [&need](QCheckBox* bipolar, const std::array<QPushButton*, 2>& scale, int at) {
        const int w = std::max({kChartAxisWidth, 2 * kScaleButtonWidth + kChartGap, need(bipolar, bipolar->text())});
        twips::place(bipolar, at, kChartRow1, w, kBoxHeight);
        twips::place(scale[0], at, kChartRow2 - 30, kScaleButtonWidth, kBoxHeight + 60);
        twips::place(scale[1], at + kScaleButtonWidth + kChartGap, kChartRow2 - 30, kScaleButtonWidth, kBoxHeight + 60);
        return w;
    };
    int left = kFrameLeft;
    int width =
        std::max({kChartLeftWidth, need(chkLData[0], chkLData[0]->text()), need(chkLData[1], chkLData[1]->text())});
    twips::place(chkLData[0], left, kChartRow1, width, kBoxHeight);
    twips::place(chkLData[1], left, kChartRow2, width, kBoxHeight);
    left = std::max(kChartLeftAxis, left + width + kChartGap);
    width = placeAxis(chkBPolarL, cmdLscale, left);
    left = std::max(kChartRight, left + width + kChartGap);
    width = std::max({kChartRightWidth, need(chkRData[0], QStringLiteral("Acoustic Velocity")),
                      need(chkRData[0], QStringLiteral("Flow Rate CH B")), need(chkRData[1], chkRData[1]->text())});
    twips::place(chkRData[0], left, kChartRow1, width, kBoxHeight);
    twips::place(chkRData[1], left, kChartRow2, width, kBoxHeight);
    left = std::max(kChartRightAxis, left + width + kChartGap);
    placeAxis(chkBPolarR, cmdRscale, left);
}

stripchart::Frame frmLog::ChartFrame() const
{
    return {twips::left(shpFlow), twips::top(shpFlow), kFrameWidth + m_chartGrowth.width(),
            kFrameHeight + m_chartGrowth.height()};
}

void frmLog::setFormHeight(int twipsHeight)
{
    m_formHeight = twipsHeight;
    windowfit::Fit(*this, *View, QSize(m_margin + twips::toPixels(kFormWidth), twips::toPixels(twipsHeight)),
                   chkPlot->isChecked());
    layoutForm();
}

void frmLog::layoutForm()
{
    const QSize own(twips::toPixels(kFormWidth), twips::toPixels(m_formHeight));
    const QSize size = chkPlot->isChecked() ? own.expandedTo(Content->size() - QSize(m_margin, 0)) : own;
    Form->resize(size);
    Surface->resize(size.expandedTo(twips::rect(0, 0, kFormWidth, kHeightPlot).size()));

    const QSize chart = chkPlot->isChecked()
                            ? (size - twips::rect(0, 0, kFormWidth, kHeightPlot).size()).expandedTo(QSize(0, 0))
                            : QSize(0, 0);
    const double dpi = twips::screenDpi();
    const QSize growth(twips::fromPixels(chart.width(), dpi), twips::fromPixels(chart.height(), dpi));
    if (growth == m_chartGrowth)
        return;
    // A frame of another size starts a new chart.
    m_chartGrowth = growth;
    twips::place(shpFlow, kFrameLeft, kFrameTop, kFrameWidth + growth.width(), kFrameHeight + growth.height());
    DrawLeftScale();
    DrawRightScale();
    Pen.Restart(ChartFrame());
    clearChart();
}

void frmLog::setVisible(bool visible)
{
    // Sized for the screen it opens on.
    if (visible && !isVisible() && View)
        setFormHeight(m_formHeight);
    QWidget::setVisible(visible);
}

bool frmLog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Content && event->type() == QEvent::Resize)
        layoutForm();
    return QWidget::eventFilter(watched, event);
}

void frmLog::setBoxColour(QLineEdit* box, QRgb colour)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, QColor::fromRgb(colour));
    box->setPalette(p);
}

// ---------------------------------------------------------------------------------------------
// Channel columns and the chart frame

void frmLog::cmbChan_Click()
{
    const int chan = cmbChan->currentIndex();
    const std::array<std::array<QLineEdit*, 2>*, 6> columns = {&txtFlow, &txtVOS, &txtReyn, &txtLoad, &txtSize, &txtAbsorb};
    const std::array<int, 6> rows = {row(RowFlow), row(RowVOS), row(RowSdv), row(RowLoad), row(RowSize), row(RowAbsorb)};
    const auto placeChannel = [&](int c, int left) {
        const auto k = static_cast<std::size_t>(c);
        for (std::size_t r = 0; r < columns.size(); ++r) {
            QLineEdit* t = (*columns[r])[k];
            twips::place(t, left, rows[r], kBoxWidth, kBoxHeight);
            t->show();
        }
        twips::place(txtTotal[k], left + kTotalShift, row(RowTotal), kTotalWidth, kBoxHeight);
        txtTotal[k]->show();
        // The alarm row has no caption and nothing right of the values: an alarm as wide as its
        // longest text needs reaches right of its column, or left of it for channel A beside B.
        int width = kBoxWidth;
        for (const QString& text : {QStringLiteral("ALARM"), livedata::AlarmCaption(1), livedata::AlarmCaption(2),
                                    livedata::AlarmCaption(3)})
            width = std::max(width, twips::textWidth(lblAlarm[k], text) + 120);
        const bool besideB = chan == 2 && c == 0;
        twips::place(lblAlarm[k], besideB ? left + kBoxWidth - width : left, row(RowAlarm), width, kBoxHeight);
    };
    const auto hideChannel = [&](int c) {
        const auto k = static_cast<std::size_t>(c);
        for (auto* column : columns)
            (*column)[k]->hide();
        txtTotal[k]->hide();
        lblAlarm[k]->hide();
    };
    const auto placeUnits = [&](int left) {
        twips::place(cmbQUnit, left, row(RowFlow), kUnitWidth, kBoxHeight);
        twips::place(cmbCunit, left, row(RowVOS), kUnitWidth, kBoxHeight);
        twips::place(cmbTotalUN, left, row(RowTotal), kUnitWidth, kBoxHeight);
        for (QLabel* l : {lblpercent, lblmicron, lbldB, lblsec})
            twips::move(l, left + 60, twips::top(l));
    };

    if (chan == 2) {
        placeChannel(0, kColumn1);
        placeChannel(1, kColumn2);
        placeUnits(kColumn3);
        setFormHeight(chkPlot->isChecked() ? kHeightPlot : kHeightBoth);
        chkRData[0]->setText(QStringLiteral("Flow Rate CH B"));
        chkRData[0]->setChecked(true);
        chkLData[0]->setChecked(true);
        chkRData[0]->setEnabled(false);
        chkLData[0]->setEnabled(false);
        chkRData[1]->hide();
        chkLData[1]->hide();
        RightFullScale = LeftFullScale;
        DrawRightScale();
        BothChannels = 1;
        return;
    }

    const int c = chan == 1 ? 1 : 0;
    hideChannel(1 - c);
    placeChannel(c, kColumn1);
    placeUnits(kColumn2);
    setFormHeight(chkPlot->isChecked() ? kHeightPlot : kHeightOne);
    chkRData[0]->setText(QStringLiteral("Acoustic Velocity"));
    chkRData[0]->setChecked(true);
    chkLData[0]->setChecked(true);
    chkRData[1]->setChecked(false);
    chkLData[1]->setChecked(false);
    for (auto* b : {chkRData[0], chkRData[1], chkLData[0], chkLData[1]}) {
        b->show();
        b->setEnabled(true);
    }
    RightFullScale = 1550;
    BothChannels = 0;
    DrawRightScale();
}

void frmLog::DrawLeftScale()
{
    const stripchart::Frame f = ChartFrame();
    const stripchart::Axis axis{LeftFullScale, chkBPolarL->isChecked()};
    for (int k = 0; k < 5; ++k) {
        QLabel* l = LblLScale[static_cast<std::size_t>(k)];
        // From the content's left edge to just before the frame.
        l->setGeometry(0, twips::toPixels(stripchart::LabelTop(k, f)), m_margin + twips::toPixels(f.Left - 60),
                       twips::toPixels(kScaleLabelHeight));
        l->setText(stripchart::LabelCaption(k, axis, QString::fromLatin1(stripchart::kLeftPicture)));
    }
}

void frmLog::DrawRightScale()
{
    const stripchart::Frame f = ChartFrame();
    const stripchart::Axis axis{RightFullScale, chkBPolarR->isChecked()};
    const int formWidth = std::max(kFormWidth, twips::fromPixels(Form->width(), twips::screenDpi()));
    for (int k = 0; k < 5; ++k) {
        QLabel* l = LblRScale[static_cast<std::size_t>(k)];
        twips::place(l, f.Left + f.Width + 60, stripchart::LabelTop(k, f), formWidth - (f.Left + f.Width + 60),
                     kScaleLabelHeight);
        l->setText(stripchart::LabelCaption(k, axis, QString::fromLatin1(stripchart::kRightPicture)));
    }
}

void frmLog::chkPlot_Click()
{
    Pen.Restart(ChartFrame());
    cmdSavePicture->setEnabled(chkPlot->isChecked());
    if (chkPlot->isChecked()) {
        shpFlow->show();
        setFormHeight(kHeightPlot);
    } else {
        shpFlow->hide();
        setFormHeight(BothChannels == 1 ? kHeightBoth : kHeightOne);
    }
}
