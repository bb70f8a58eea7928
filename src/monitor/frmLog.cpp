// The data log window at work: polling the meter, the answers, Start / Pause / Close, batch
// commands, units, recording to the data-log file and the strip chart's steps. The controls and
// their places: frmLogLayout.cpp.
#include "monitor/frmLog.h"

#include "engine/session.h"
#include "link/commands.h"
#include "monitor/chartsurface.h"
#include "monitor/portlostcaption.h"
#include "monitor/recordinglabel.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "recordings/frmRecording.h"
#include "recordings/picture.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>


namespace {

const char* const kDataFilter = "All Files (*.*)|*.*|Data Files (*.dat)|*.dat|";

// Unit kinds of the three unit combos.
constexpr int kVelocityKind = 4;
constexpr int kVolumeKind = 6;
constexpr int kFlowKind = 13;

} // namespace

frmLog::frmLog(Session& session, QWidget* parent)
    : QWidget(parent), m_session(session), m_flushNotice(session, this, QStringLiteral("data log"))
{
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("SCADA Simulator"));
    buildControls();
    // Shown, it takes the focus: the keys work without a window manager too.
    keyboard::Install(*this, nullptr, nullptr);
    Form_Load();
    m_session.onLink(this, [this](frmCDR& link) {
        connect(&link, &frmCDR::timedOut, this, &frmLog::LinkTimedOut);
        connect(&link, &frmCDR::sendFailed, this, &frmLog::LinkFailed);
    });
    portlostcaption::Follow(m_session, *this);
}

frmLog::~frmLog()
{
    // Last chance for blocks that could not be written earlier.
    if (LogRows.UnwrittenRows() > 0)
        LogRows.FlushLog(false);
}

void frmLog::Form_Load()
{
    cmbChan->setCurrentIndex(0);
    cmbChan_Click();
    cmbUpdate->setCurrentIndex(0);
    cmbUpdate_Click();
    BothChannels = 0;
    Pen.PlotCount = 0;
    Avg.Clear();
    setBoxColour(txtQavg, 0xFFFFFFFF);
    cmbChan_Click();
    setFormHeight(kHeightOne);
    Logging = 0;

    const auto fill = [this](QComboBox* c, int kind, int choice) {
        const QSignalBlocker quiet(c);
        c->clear();
        const int n = m_session.UnitCount(kind);
        for (int i = 0; i < n; ++i)
            c->addItem(m_session.UnitName(kind, i));
        c->setCurrentIndex(choice);
    };
    fill(cmbTotalUN, kVolumeKind, 1);
    fill(cmbQUnit, kFlowKind, 0);
    fill(cmbCunit, kVelocityKind, 0);
    cmbTotalUN_Click();
    cmbQUnit_Click();
    cmbCunit_Click();

    cmdStart->setText(QStringLiteral("Start"));
    LeftFullScale = 30;
    RightFullScale = 1550;
    DrawLeftScale();
    DrawRightScale();
}

// ---------------------------------------------------------------------------------------------
// Polling and answers

void frmLog::tmrUpDate_Timer()
{
    if (m_session.PollBusy == 1)
        return;
    const int chan = cmbChan->currentIndex();
    if (chan == 2)
        PollChannel = PollChannel == 0 ? 1 : 0;
    else
        PollChannel = static_cast<std::uint8_t>(chan == 1 ? 1 : 0);
    tmrUpDate->stop();
    tmrUpDate->setInterval(ChosenPeriod());
    m_session.PollBusy = 1;
    modComFun::BuildCommand(m_session.link(), modComFun::KindLiveData, m_session.NodeAddress, PollChannel, PendingCommand);
    // A command stays pending when its poll could not leave (the port failed).
    if (m_session.PollBusy == 1)
        PendingCommand = 0;
}

void frmLog::LinkTimedOut()
{
    m_session.PollBusy = 0;
    if (Logging == 1)
        tmrUpDate->start();
}

void frmLog::LinkFailed()
{
    // A running log keeps its period: the port is tried again at the next tick (an adapter
    // plugged back in is found then).
    m_session.PollBusy = 0;
    if (Logging == 1)
        tmrUpDate->start();
}

void frmLog::Setform()
{
    const auto& rx = m_session.link().RxBuffer;

    if (LogRows.RowCount() >= DataLogFile::kBlockRows)
        flushRows(true);

    const int c = PollChannel & 1;
    const auto k = static_cast<std::size_t>(c);
    const livedata::Answer a = livedata::Decode(rx.data());
    const livedata::Shown s = livedata::Apply(Values, c, a, {SoundFactor, FlowFactor, TotalFactor});
    txtVOS[k]->setText(s.txtVOS);
    txtFlow[k]->setText(s.txtFlow);
    txtReyn[k]->setText(s.txtReyn);
    txtTotalTime->setText(s.txtTotalTime);
    txtTotal[k]->setText(s.txtTotal);
    txtLoad[k]->setText(s.txtLoad);
    txtSize[k]->setText(s.txtSize);
    txtAbsorb[k]->setText(s.txtAbsorb);

    double L = 0;
    double R = 0;
    if (BothChannels == 1) {
        L = Values.FlowRate[0];
        R = Values.FlowRate[1];
    } else {
        if (chkLData[0]->isChecked())
            L = Values.FlowRate[k];
        else if (chkLData[1]->isChecked())
            L = Values.FlowSdvPct[k];
        if (chkRData[0]->isChecked())
            R = Values.SoundSpeed[k];
        else if (chkRData[1]->isChecked())
            R = Values.ParticleSize[k];
    }
    if (chkPlot->isChecked())
        PlotPoint(L, R);

    switch (Avg.Step(a.gate, Values.FlowRate[0])) {
    case livedata::Average::Show::Collecting:
        setBoxColour(txtQavg, kAvgOpen);
        break;
    case livedata::Average::Show::Mean:
        setBoxColour(txtQavg, kAvgClosed);
        txtQavg->setText(Avg.Text());
        break;
    case livedata::Average::Show::Unchanged:
        break;
    }

    BatchState = a.batch;
    cmdStartStop->setText(BatchState == 1 ? QStringLiteral("Stop Batch") : QStringLiteral("Start Batch"));

    const QString alarm = livedata::AlarmCaption(Values.StatusCode[k]);
    if (alarm.isEmpty()) {
        lblAlarm[k]->hide();
    } else {
        lblAlarm[k]->setText(alarm);
        lblAlarm[k]->show();
    }

    LogRows.AddRow(livedata::RowLine(Clock(), Values, txtTotalTime->text(), txtTotal[0]->text(), txtTotal[1]->text()));
    // The first row of a block waits no longer than the flush delay for its file.
    if (LogRows.RowCount() == 1 && SaveAnswer == 6 && Logging == 1)
        tmrFlush->start(FlushDelayMs);

    m_session.PollBusy = 0;
    if (Logging == 1)
        tmrUpDate->start();
}

// ---------------------------------------------------------------------------------------------
// Start, Pause, Close

void frmLog::flushRows(bool tellLater)
{
    tmrFlush->stop();
    m_flushNotice.Report(LogRows.FlushLog(SaveAnswer == 6 && Logging == 1), tellLater);
    showRecording();
}

void frmLog::tmrFlush_Timer()
{
    // The rows collected so far go to the file now; the next block goes on from here.
    if (SaveAnswer == 6 && Logging == 1)
        flushRows(false);
}

void frmLog::showRecording()
{
    recordinglabel::Show(*lblRecording, LogRows, SaveAnswer == 6 && Logging == 1);
}

void frmLog::cmdStart_Click()
{
    if (Logging == 0) {
        Pen.PlotCount = 0;
        LogRows.FlushLog(false); // rows of a stopped log are not kept; blocks still waiting are tried
        const auto answer = m_session.dialogs().message(QStringLiteral("Save to Disk?"), QStringLiteral("Storage Option"),
                                                        DialogService::Buttons::YesNo, DialogService::Icon::Question);
        SaveAnswer = answer == DialogService::Answer::Yes ? 6 : 7;
        if (SaveAnswer == 6) {
            DialogService::FileRequest request;
            request.filter = QString::fromLatin1(kDataFilter);
            request.filterIndex = 2;
            request.defaultExt = QStringLiteral("dat");
            const QString name = m_session.dialogs().saveFile(request);
            if (name.isEmpty())
                return;
            LogRows.SetFileName(name);
            if (!LogRows.WriteLogHeader(livedata::HeaderLine()))
                return;
        }
        tmrUpDate->start();
        cmdStart->setText(QStringLiteral("Pause"));
        Logging = 1;
    } else {
        Pen.PlotCount = 0;
        flushRows(false);
        tmrUpDate->stop();
        cmdStart->setText(QStringLiteral("Start"));
        Logging = 0;
    }
    showRecording();
}

void frmLog::stopLog()
{
    flushRows(false);
    Logging = 0;
    tmrUpDate->stop();
    cmdStart->setText(QStringLiteral("Start"));
    showRecording();
}

void frmLog::cmdClose_Click()
{
    stopLog();
    hide();
    m_session.windows().showHome();
}

void frmLog::Form_Unload()
{
    stopLog();
    m_session.windows().showHome();
}

void frmLog::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Batch

void frmLog::cmdStartStop_Click()
{
    PendingCommand = BatchState == 1 ? 1 : 2;
    // The command leaves with a poll about 0.1 s from now; the next tick restores the period.
    tmrUpDate->setInterval(100);
}

void frmLog::cmdClear_Click()
{
    Avg.Clear();
    txtQavg->clear();
    setBoxColour(txtQavg, 0xFFFFFFFF);
    PendingCommand = BatchState == 1 ? 3 : 4;
}

// ---------------------------------------------------------------------------------------------
// Channels, period, units

int frmLog::ChosenPeriod() const
{
    return PeriodOverrideMs > 0 ? PeriodOverrideMs : cmbUpdate->currentData().toInt();
}

void frmLog::cmbUpdate_Click()
{
    tmrUpDate->setInterval(ChosenPeriod());
}

// A factor that is not above 0 (no such unit) leaves the one in use: the values are divided by it.
void frmLog::cmbQUnit_Click()
{
    const float f = m_session.UnitFactor(kFlowKind, cmbQUnit->currentIndex());
    if (f > 0)
        FlowFactor = f;
}

void frmLog::cmbCunit_Click()
{
    const float f = m_session.UnitFactor(kVelocityKind, cmbCunit->currentIndex());
    if (f > 0)
        SoundFactor = f;
}

void frmLog::cmbTotalUN_Click()
{
    const float f = m_session.UnitFactor(kVolumeKind, cmbTotalUN->currentIndex());
    if (f > 0)
        TotalFactor = f;
}

// ---------------------------------------------------------------------------------------------
// Strip chart

void frmLog::clearChart()
{
    Surface->Clear();
    shpFlow->update();
}

void frmLog::PlotPoint(double L, double R)
{
    const bool right = chkRData[0]->isChecked() || chkRData[1]->isChecked();
    const stripchart::Step step = Pen.PlotPoint(L, R, right, {LeftFullScale, chkBPolarL->isChecked()},
                                                {RightFullScale, chkBPolarR->isChecked()}, ChartFrame());
    for (const stripchart::Line& l : step.lines)
        Surface->DrawLine(l.x0, l.y0, l.x1, l.y1, QColor::fromRgb(l.left ? kLeftTrace : kRightTrace));
    if (step.clear)
        clearChart();
}

void frmLog::chkLData_MouseUp(int index)
{
    chkLData[1]->setChecked(index == 1);
    chkLData[0]->setChecked(index != 1);
    LeftFullScale = index == 1 ? 100000 : 30;
    DrawLeftScale();
    Pen.PlotCount = 0;
    clearChart();
}

void frmLog::chkRData_MouseUp(int index)
{
    chkRData[1]->setChecked(index == 1);
    chkRData[0]->setChecked(index != 1);
    RightFullScale = index == 1 ? 300 : 1550;
    DrawRightScale();
    Pen.PlotCount = 0;
    clearChart();
}

void frmLog::chkBPolarL_Click()
{
    DrawLeftScale();
    Pen.PlotCount = 0;
}

void frmLog::chkBPolarR_Click()
{
    DrawRightScale();
    Pen.PlotCount = 0;
}

void frmLog::cmdLscale_Click(int index)
{
    LeftFullScale = index == 0 ? stripchart::Widen(LeftFullScale) : stripchart::Narrow(LeftFullScale);
    DrawLeftScale();
    Pen.PlotCount = 0;
}

void frmLog::cmdRscale_Click(int index)
{
    RightFullScale = index == 0 ? stripchart::Widen(RightFullScale) : stripchart::Narrow(RightFullScale);
    DrawRightScale();
    Pen.PlotCount = 0;
}

// ---------------------------------------------------------------------------------------------
// Recordings and pictures

void frmLog::cmdOpenRecording_Click()
{
    m_session.windows().get<frmRecording>().OpenWithDialog(1);
}

QString frmLog::WritePicture(const QString& fileName)
{
    // The frame with the scales left and right of it, in the content's coordinates.
    QRect area = shpFlow->geometry().translated(Form->pos());
    for (int k = 0; k < 5; ++k) {
        area = area.united(LblLScale[static_cast<std::size_t>(k)]->geometry());
        area = area.united(LblRScale[static_cast<std::size_t>(k)]->geometry().translated(Form->pos()));
    }
    const auto quantity = [](QCheckBox* a, QCheckBox* b, QComboBox* unit, const QString& fixed) {
        const QCheckBox* on = a->isChecked() ? a : b;
        const QString u = on == a && unit ? unit->currentText() : fixed;
        return u.isEmpty() ? on->text() : QStringLiteral("%1 (%2)").arg(on->text(), u);
    };
    QList<picture::LegendEntry> legend;
    if (BothChannels == 1) {
        legend << picture::LegendEntry{QStringLiteral("Flow Rate CH A (%1), left scale").arg(cmbQUnit->currentText()),
                                       QColor::fromRgb(kLeftTrace)}
               << picture::LegendEntry{QStringLiteral("Flow Rate CH B (%1), right scale").arg(cmbQUnit->currentText()),
                                       QColor::fromRgb(kRightTrace)};
    } else {
        legend << picture::LegendEntry{quantity(chkLData[0], chkLData[1], cmbQUnit, QString()) + QStringLiteral(", left scale"),
                                       QColor::fromRgb(kLeftTrace)}
               << picture::LegendEntry{quantity(chkRData[0], chkRData[1], cmbCunit, QStringLiteral("microns")) +
                                           QStringLiteral(", right scale"),
                                       QColor::fromRgb(kRightTrace)};
    }
    const QString caption = QStringLiteral("SCADA Simulator, %1 - %2")
                                .arg(cmbChan->currentText(), picture::MeterIdentity(m_session));
    return picture::WriteArea(fileName, *Content, area.adjusted(-4, -4, 4, 4), caption, legend);
}

void frmLog::cmdSavePicture_Click()
{
    picture::SaveWithDialog(m_session.dialogs(), QStringLiteral("datalog.png"),
                            [this](const QString& name) { return WritePicture(name); });
}
