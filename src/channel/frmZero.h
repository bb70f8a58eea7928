#pragma once
// The zero window ("Zero Channel"): asks the meter for the zero-flow delta of one channel while
// the flow is blocked and adds it to the channel's zero trim, or resets the trims of both channels.
// The one setup window that exchanges a frame with the meter; the trim itself reaches the meter
// with the parameter image.

#include "platform/picturebutton.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class Session;

class frmZero : public QWidget {
    Q_OBJECT
public:
    // A delta is accepted when its magnitude is below this single.
    static constexpr float kDeltaLimit = 3e-9f;

    explicit frmZero(Session& session, QWidget* parent = nullptr);
    ~frmZero() override;

    // Opens the window on channel A; offline it offers to clear the trims instead.
    void Set_Form();
    // The zero answer (function code 38) in the link's receive buffer.
    void Handle_Delta();

    void imgCheck_Click();
    void imgCancel_Click();
    void cmbChan_Click();

    // True from the zero request until its answer, the time-out or a failed send.
    bool Waiting() const { return m_requestChannel >= 0; }

    QComboBox* cmbChan = nullptr;
    QLabel* lblChan = nullptr;
    std::array<QLabel*, 2> lblInst{};
    QCheckBox* chkZero = nullptr;
    PictureButton* imgCheck = nullptr;
    PictureButton* imgCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void clearTrims();
    // Back to idle: the normal cursor, the start picture shown, no request outstanding.
    void endWait();
    void backToMenu();

    Session& m_session;
    int m_channel = 0;
    int m_requestChannel = -1; // the channel of the outstanding request
};
