#pragma once
// "Line Monitor": the link's traffic as it happens, one line per event as the link trace writes it
// (time stamp to the millisecond, what happened, the frame in hexadecimal, the function code and
// the answer's owner or why it was refused). It takes the trace only while it is shown, so it costs
// nothing while closed, and keeps the last kMaxLines lines. Pause, clear, a filter by function code
// and a save as text in the trace's own format.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <deque>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Session;

class frmLineMonitor : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 10000;

    explicit frmLineMonitor(Session& session, QWidget* parent = nullptr);
    ~frmLineMonitor() override;

    // The function code a trace line is about: the second byte of its frame; -1 for a line
    // without a frame (time-outs, port events).
    static int LineCode(const QString& line);

    // The lines taken since the last clear (at most kMaxLines), and those shown (the filter's).
    const std::deque<QString>& Lines() const { return m_lines; }
    QStringList ShownLines() const;

    QPlainTextEdit* txtLines = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdClear = nullptr;
    QLineEdit* txtFilter = nullptr; // function codes, e.g. "32 33"; empty for all
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblCount = nullptr;

    void cmdPause_Click();
    void cmdClear_Click();
    void cmdSave_Click();
    void txtFilter_Change();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void take(const QString& line);
    bool passes(const QString& line) const;
    void showCount();
    void redraw();

    Session& m_session;
    std::deque<QString> m_lines;
    QList<int> m_codes; // the filter's codes
    int m_sink = 0;
    bool m_paused = false;
    QString m_saveName;
};
