#pragma once
// The diagnostics log window ("Log Diagnostics"): polls one channel for its acoustic diagnostics
// as often as the chosen period allows, shows them and records them to a diagnostics-log file;
// leads on to the raw signal window. The controls lie on `Content`, which scrolls in `View` when
// the window is smaller than its content.

#include "monitor/datalogfile.h"
#include "monitor/flushnotice.h"

#include <QWidget>

#include <array>
#include <cstdint>

class PictureButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class FineTimer;
class QTimer;
class Session;

class frmLogdiag : public QWidget {
    Q_OBJECT
public:
    // The content's size, twips (wider where the captions need it).
    static constexpr int kFormWidth = 6600;
    static constexpr int kFormHeight = 4140;

    explicit frmLogdiag(Session& session, QWidget* parent = nullptr);
    ~frmLogdiag() override;

    // Answer of the diagnostics poll (function code 31), read from the link window's RxBuffer.
    void Setformdiag();
    // The link gave up on the answer, or the poll could not leave (also told here): the poll is
    // no longer in flight, and a running log polls again after its period.
    void LinkTimedOut();

    // Control handlers.
    void tmrUpDate_Timer();
    void cmbUpdate_Click();
    void cmdStart_Click();
    void cmdClose_Click();
    void imgSig_Click();
    void tmrFlush_Timer();
    void Form_Unload();

    // Controls.
    QComboBox* cmbChan = nullptr;
    QComboBox* cmbUpdate = nullptr;
    FineTimer* tmrUpDate = nullptr; // paces the polls: to the microsecond, never early
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdClose = nullptr;
    PictureButton* imgSig = nullptr;
    // Opens a recorded diagnostics log (or any recording) into the recording window.
    QPushButton* cmdOpenRecording = nullptr;
    std::array<QLineEdit*, 15> txtDATA{};
    std::array<QLabel*, 15> lbldata{}; // null for the boxes captioned by Tri and for box 14
    std::array<QLabel*, 2> Tri{};      // "Trig UP", "Trig DN"
    // Rows waiting in memory are written at the latest this long after the first of them.
    QTimer* tmrFlush = nullptr;
    // The file being recorded and the rows in it.
    QLabel* lblRecording = nullptr;
    QScrollArea* View = nullptr;
    QWidget* Content = nullptr;

    // Window state: 0 stopped, 1 running, 2 paused.
    int DiagState = 0;
    std::uint8_t SaveAnswer = 7;
    QString DiagFileName;
    // The rows collected since the last flush, and the file they go to.
    DataLogFile DiagRows;
    int DiagRowIndex() const { return DiagRows.RowCount(); }
    // Longest wait of a recorded row for its file, milliseconds.
    int FlushDelayMs = 10000;

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    // Ends the block of rows; a failure is told once (after the current answer when tellLater).
    void flushRows(bool tellLater);
    // Run state 0 with the rows flushed and the timer off.
    void stopLog();
    void showRecording();

    Session& m_session;
    FlushNotice m_flushNotice;
    int m_formWidth = kFormWidth; // twips
};
