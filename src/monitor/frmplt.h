#pragma once
// The raw signal window ("Raw Acoustic Signals"): downloads the upstream and downstream waveforms
// of one channel block by block, like an oscilloscope that keeps refreshing, draws each in its
// frame with the trigger marker, shows the gain, trigger and saturation figures, and saves the
// captured waveforms as a signal table. The controls lie on `Content`, which scrolls in `View`
// when the window is smaller than its content; a larger window gives the graphs more room.

#include "monitor/signalplot.h"
#include "monitor/stripchart.h"

#include <QWidget>

#include <array>
#include <cstdint>

class ChartSurface;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QTextEdit;
class Session;
class Shape;

class frmplt : public QWidget {
    Q_OBJECT
public:
    // The content's height and each graph's own size, twips.
    static constexpr int kFormHeight = 9480;
    static constexpr int kGraphWidth = 8760;
    static constexpr int kGraphHeight = 4560;
    // Lamp colours (colour values: red in the low byte).
    static constexpr int kLampGreen = 65280;
    static constexpr int kLampYellow = 65535;
    static constexpr int kLampBlue = 16711680;

    explicit frmplt(Session& session, QWidget* parent = nullptr);
    ~frmplt() override;

    // Answer of the signal poll (function code 35): one block of samples, from the link window's
    // RxBuffer. Every answer is followed by the next poll while the download runs.
    void PlotData();
    // The meter's plot mark (function code 99): the first lamp turns blue while the window shows.
    // It answers the poll and sends nothing: the download rests until the next click.
    void PlotMark();
    // The link gave up on the answer: the download polls on. The poll could not leave: the
    // download stops until "DownLoad Signals" is clicked again.
    void LinkTimedOut();
    void LinkFailed();

    void RequestSignals();
    void StepLamps();
    // Draws n samples into graph g (0 upstream, 1 downstream) with the marker.
    void DrawGraph(int g, int n, const std::int16_t* samples);
    stripchart::Frame GraphFrame(int g) const;
    // The content's own size in pixels (the least the window scrolls over).
    QSize ContentSize() const;

    // Control handlers. lstChan_Click takes the line the user picked (a selected one).
    void lstChan_Click();
    void cmdLive_Click();
    void cmdSave_Click();
    void cmdClose_Click();
    void cmdSavePicture_Click();
    // The two graphs with their captions as a PNG or SVG picture; empty when written, else why not.
    QString WritePicture(const QString& fileName);
    void Form_Unload();

    // Controls.
    QListWidget* lstChan = nullptr;
    QPushButton* cmdLive = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdOpenRecording = nullptr;
    QPushButton* cmdSavePicture = nullptr;
    std::array<QGroupBox*, 2> shpgraph{};
    std::array<Shape*, 5> shpStatus{};
    std::array<QLineEdit*, 4> txtDiag{};
    QTextEdit* txtNotes = nullptr;
    // The window's drawing surface, under the controls.
    ChartSurface* Surface = nullptr;
    QScrollArea* View = nullptr;
    QWidget* Content = nullptr;

    // Window state.
    std::uint8_t SignalChannel = 1;
    signalplot::Capture Signals; // SignalBuffer, SamplesReceived, SignalSlots, SlotCount
    int MarkerIndex = 0;
    int LampIndex = 0;
    // The download runs from "DownLoad Signals" until Close (or a poll that cannot leave); a poll
    // of it is waiting for its answer (cleared by its answer, its time-out, a failed send or Close).
    bool Downloading = false;
    bool PollOutstanding = false;

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void nextPoll();
    // Places the graph frames for the content's size.
    void placeGraphs();
    // Draws slots 0 and 1 with the marker.
    void drawPair();

    Session& m_session;
    int m_graphLeft = 0;       // twips
    int m_formWidth = 0;       // twips
    QSize m_graphGrowth;       // twips the graphs have grown by, width and the two heights together
    bool m_drawn = false;      // a pair has been drawn since the last click
};
