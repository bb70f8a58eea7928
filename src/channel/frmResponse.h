#pragma once
// The response-time window ("Respoonse Time"): how the meter damps each channel's flow reading,
// one code per channel. The configuration menu opens it; it edits the channel records only.

#include "platform/picturebutton.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QComboBox;
class QRadioButton;
class Session;

class frmResponse : public QWidget {
    Q_OBJECT
public:
    explicit frmResponse(Session& session, QWidget* parent = nullptr);
    ~frmResponse() override;

    // Opens the window on channel 0 with no choice made.
    void Setform();

    // User actions.
    void cmbChann_Click();
    void optTime_Click(int index);
    void imgAccept_Click();
    void imgCancel_Click();

    static constexpr int kOptions = 7;
    // The code each option stores: Auto, Feed Back, None, 2, 5, 30, 60 seconds.
    static constexpr std::array<std::uint8_t, kOptions> kCodes = {99, 66, 2, 10, 40, 50, 60};
    // A stored code that is none of these is shown as "5 Sec".
    static constexpr int kUnknownCodeOption = 4;
    // A pending code meaning no choice made.
    static constexpr std::uint16_t kNoChoice = 9999;

    std::array<QRadioButton*, kOptions> optTime{};
    QComboBox* cmbChann = nullptr;
    PictureButton* imgAccept = nullptr;
    PictureButton* imgCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // Selects the option of the channel's stored code.
    void showChannel(int channel);

    Session& m_session;
    std::uint8_t m_shown = 0;
    std::array<std::uint16_t, 2> m_pending{kNoChoice, kNoChoice};
};
