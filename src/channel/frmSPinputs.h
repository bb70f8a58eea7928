#pragma once
// The custom signal-processing window ("Custom Signal Processing"): oscilloscope mode, threshold,
// anti-jitter, low-flow cut-off, pulse width and the particle and loading indexes of one channel.
// The channel setup window opens it when "CUSTOM" is chosen; it edits the channel record only.

#include "platform/picturebutton.h"

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class Session;

class frmSPinputs : public QWidget {
    Q_OBJECT
public:
    explicit frmSPinputs(Session& session, QWidget* parent = nullptr);
    ~frmSPinputs() override;

    // The channel edited (0..2), set by the channel setup window before LoadSP.
    std::int16_t Channel = 0;

    // Loads the boxes from the channel record and shows the window.
    void LoadSP();
    // Stores every box and hides the window; a box that cannot be stored is named in a message
    // and the window stays open with nothing stored.
    void imgBack_Click();

    QCheckBox* optOscope = nullptr;
    QLineEdit* txtThresh = nullptr;
    QLineEdit* txtOver = nullptr;
    QLineEdit* txtCutoff = nullptr;
    QLineEdit* txtPulseWidth = nullptr;
    QLineEdit* txtPsize = nullptr;
    QLineEdit* txtPload = nullptr;
    QLabel* lblThresh = nullptr;
    QLabel* lblOver = nullptr;
    QLabel* lblCutoff = nullptr;
    QLabel* lblPulseWidth = nullptr;
    QLabel* lblPsize = nullptr;
    QLabel* lblPload = nullptr;
    PictureButton* imgBack = nullptr;

    // Signal modes.
    static constexpr std::uint32_t kOscopeMode = 64;
    static constexpr std::uint32_t kNormalMode = 32832;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();

    Session& m_session;
};
