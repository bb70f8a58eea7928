#pragma once
// The live data log window ("SCADA Simulator"): polls the meter for live readings of channel A, B
// or both, shows them, draws them as a two-trace strip chart, averages the flow over the meter's
// gate, sends batch commands with the next poll, and records every reading to a data-log file.
//
// The controls stand on `Form` at their places in twips; the captions of the values stand left of
// it, in a margin as wide as the window's font needs. Both lie on `Content`, which scrolls in `View`
// when the window is smaller than its content. With the chart shown the window may be made larger,
// and the chart frame grows with it.

#include "monitor/datalogfile.h"
#include "monitor/flushnotice.h"
#include "monitor/livedata.h"
#include "monitor/stripchart.h"

#include <QTime>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class ChartSurface;
class FrameShape;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTimer;
class Session;

class frmLog : public QWidget {
    Q_OBJECT
public:
    // Window heights, twips.
    static constexpr int kHeightPlot = 16680;
    static constexpr int kHeightOne = 4605;
    static constexpr int kHeightBoth = 5000;
    static constexpr int kFormWidth = 8400;
    // The chart frame.
    static constexpr int kFrameLeft = 840;
    static constexpr int kFrameTop = 5880;
    static constexpr int kFrameWidth = 6600;
    static constexpr int kFrameHeight = 10440;
    // Colours of the averaged flow box.
    static constexpr QRgb kAvgOpen = 0xFF80FF80;   // RGB(128, 255, 128)
    static constexpr QRgb kAvgClosed = 0xFFFF8080; // RGB(255, 128, 128)
    static constexpr QRgb kLeftTrace = 0xFF0000FF;
    static constexpr QRgb kRightTrace = 0xFFFF0000;

    explicit frmLog(Session& session, QWidget* parent = nullptr);
    ~frmLog() override;

    // Answer of the live-data poll (function code 30), read from the link window's RxBuffer.
    void Setform();
    // The link gave up on the answer (3 s without one): the poll is no longer in flight, and a
    // running log polls again at its next tick.
    void LinkTimedOut();
    // The port could not be opened or written: the poll never left, and a running log polls
    // again at its next tick.
    void LinkFailed();

    // Control handlers.
    void tmrUpDate_Timer();
    void cmbChan_Click();
    void cmbUpdate_Click();
    void cmbQUnit_Click();
    void cmbCunit_Click();
    void cmbTotalUN_Click();
    void cmdStart_Click();
    void cmdClose_Click();
    void cmdStartStop_Click();
    void cmdClear_Click();
    void cmdOpenRecording_Click();
    void cmdSavePicture_Click();
    void chkPlot_Click();
    void chkLData_MouseUp(int index);
    void chkRData_MouseUp(int index);
    void chkBPolarL_Click();
    void chkBPolarR_Click();
    void cmdLscale_Click(int index);
    void cmdRscale_Click(int index);
    void tmrFlush_Timer();
    void Form_Unload();

    // One chart step with the left value L and the right value R.
    void PlotPoint(double L, double R);
    void DrawLeftScale();
    void DrawRightScale();

    // Controls.
    QComboBox* cmbChan = nullptr;
    QComboBox* cmbUpdate = nullptr;
    QTimer* tmrUpDate = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdStartStop = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdOpenRecording = nullptr;
    QPushButton* cmdSavePicture = nullptr;
    std::array<QLineEdit*, 2> txtFlow{};
    std::array<QLineEdit*, 2> txtVOS{};
    std::array<QLineEdit*, 2> txtReyn{};
    std::array<QLineEdit*, 2> txtLoad{};
    std::array<QLineEdit*, 2> txtSize{};
    std::array<QLineEdit*, 2> txtAbsorb{};
    std::array<QLineEdit*, 2> txtTotal{};
    QLineEdit* txtTotalTime = nullptr;
    QLineEdit* txtQavg = nullptr;
    std::array<QLabel*, 2> lblAlarm{};
    QLabel* lbldB = nullptr;
    QLabel* lblpercent = nullptr;
    QLabel* lblmicron = nullptr;
    QLabel* lblsec = nullptr;
    QComboBox* cmbQUnit = nullptr;
    QComboBox* cmbCunit = nullptr;
    QComboBox* cmbTotalUN = nullptr;
    QCheckBox* chkPlot = nullptr;
    std::array<QCheckBox*, 2> chkLData{};
    std::array<QCheckBox*, 2> chkRData{};
    QCheckBox* chkBPolarL = nullptr;
    QCheckBox* chkBPolarR = nullptr;
    std::array<QPushButton*, 2> cmdLscale{};
    std::array<QPushButton*, 2> cmdRscale{};
    std::array<QLabel*, 5> LblLScale{};
    std::array<QLabel*, 5> LblRScale{};
    FrameShape* shpFlow = nullptr;
    // The window's drawing surface, under the controls.
    ChartSurface* Surface = nullptr;
    // Rows waiting in memory are written at the latest this long after the first of them.
    QTimer* tmrFlush = nullptr;
    // The file being recorded and the rows in it.
    QLabel* lblRecording = nullptr;
    QScrollArea* View = nullptr;
    QWidget* Content = nullptr;
    QWidget* Form = nullptr;

    // Window state.
    std::uint8_t PollChannel = 0;
    std::uint8_t PendingCommand = 0;
    std::uint8_t BatchState = 0;
    std::uint8_t BothChannels = 0;
    std::int16_t Logging = 0;
    std::int16_t SaveAnswer = 7;
    float SoundFactor = 1;
    float FlowFactor = 1;
    float TotalFactor = 1;
    livedata::Channels Values;
    livedata::Average Avg;
    std::int32_t LeftFullScale = 30;
    std::int32_t RightFullScale = 1550;
    stripchart::Pen Pen;
    DataLogFile LogRows;

    // A poll period in milliseconds used instead of the chosen entry's; 0 in the program (tests
    // shorten the period with it).
    int PeriodOverrideMs = 0;
    // Longest wait of a recorded row for its file, milliseconds.
    int FlushDelayMs = 10000;
    int ChosenPeriod() const;

    // The clock that stamps each row (tests set their own).
    std::function<QTime()> Clock = [] { return QTime::currentTime(); };

    stripchart::Frame ChartFrame() const;
    // The strip chart with its scales as a PNG or SVG picture, captioned with the meter's identity
    // and the traces' quantities and units. Empty when written, else why not.
    QString WritePicture(const QString& fileName);

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void placeChartControls();
    void Form_Load();
    void setFormHeight(int twipsHeight);
    // Sizes the form for the content beside the caption margin: the chart takes what the window
    // gives beyond the form's own size.
    void layoutForm();
    void showRecording();
    void setBoxColour(QLineEdit* box, QRgb colour);
    void clearChart();
    // Ends the block of rows; a failure is told once (after the current answer when tellLater).
    void flushRows(bool tellLater);
    void stopLog();

    Session& m_session;
    FlushNotice m_flushNotice;
    int m_formHeight = kHeightOne; // twips
    int m_margin = 0;              // pixels left of the form, for the captions
    QSize m_chartGrowth{0, 0};     // twips the chart frame has grown by
};
