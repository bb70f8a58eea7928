#pragma once
// The recording window ("Recording"): a data log, a diagnostics log or a signal table read back
// from its file and charted. Each chosen quantity is a trace; quantities of one kind (the flow of
// both channels) share a pane and its value axis, and every pane shares the row (or sample) axis.
// The whole recording is fitted to the window when it opens; the wheel zooms, a drag pans, a drag
// with "Zoom Box" down (or Shift held) zooms into the box drawn, "Show All" fits it again. A click
// puts the cursor on the nearest row (the arrow keys step it), and the line under the chart reads
// the chosen quantities there. "Save Picture..." writes the chart as PNG or SVG with its caption, axes and legend.
//
// Traces are drawn by QCustomPlot, which samples a dense trace down to its lowest and highest
// value per pixel column, so a recording of a million rows pans and zooms without a pause.

#include "recordings/recording.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QCPAxis;
class QCPGraph;
class QCPItemStraightLine;
class QCPRange;
class QCustomPlot;
class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPushButton;
class QVBoxLayout;
class Session;

class frmRecording : public QWidget {
    Q_OBJECT
public:
    explicit frmRecording(Session& session, QWidget* parent = nullptr);
    ~frmRecording() override;

    // Reads a file (its kind by its content) and charts what could be read. A file with lines
    // passed over, or none read, is told in a message box. False when nothing could be charted.
    bool OpenFile(const QString& fileName);
    // Asks for a file (the filter entry `filterIndex` of data files, text files, all files) and
    // opens it; the window shows when a file was opened.
    bool OpenWithDialog(int filterIndex);

    // Control handlers.
    void cmdOpen_Click();
    void cmdFit_Click();
    void cmdSavePicture_Click();
    void cmdClose_Click();
    void chkColumn_Click();

    // The cursor on row (key) `key`, clamped to the recording.
    void SetCursor(double key);
    // The picture of the chart as it shows, PNG or SVG by the name. Empty when written, else why not.
    QString WritePicture(const QString& fileName);
    // The caption over the chart: the file and what it holds.
    QString Caption() const;

    const recordings::Recording& Data() const { return m_data; }
    // The trace of column c, null when it is not charted.
    QCPGraph* GraphOf(int column) const;
    // The row axis of the panes (the lowest pane's).
    QCPAxis* KeyAxis() const;

    // Controls.
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdFit = nullptr;
    QPushButton* cmdZoomBox = nullptr;
    QPushButton* cmdSavePicture = nullptr;
    QPushButton* cmdClose = nullptr;
    std::vector<QCheckBox*> chkColumn;
    QCustomPlot* plotRecording = nullptr;
    QLabel* lblCursor = nullptr;
    QLabel* lblStatus = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Left and Right move the cursor a row, Page Up and Page Down a tenth of the rows shown.
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Pane {
        QCPAxis* x = nullptr;
        QCPAxis* y = nullptr;
        std::vector<int> columns;
    };
    void buildControls();
    void fillColumns();
    // Panes and traces for the checked columns; the rows shown stay.
    void rebuild();
    void fitAll();
    // The pane's value axis over all its values.
    void fitValues(Pane& pane);
    void followKeys(const QCPRange& range);
    void plotPress(QMouseEvent* event);
    void plotRelease(QMouseEvent* event);
    QString keyName() const;

    Session& m_session;
    recordings::Recording m_data;
    std::vector<Pane> m_panes;
    std::vector<QCPGraph*> m_graphs; // by column
    std::vector<QCPItemStraightLine*> m_cursor;
    QVBoxLayout* m_columnList = nullptr;
    QPoint m_pressAt;
    double m_cursorKey = -1;
    bool m_following = false;
};
