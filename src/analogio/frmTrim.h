#pragma once
// The output trim dialog: trims the low or high end of one current loop live on the meter while
// the technician watches an ammeter on the loop. Each arrow click changes the converter count and
// sends it at once (function code 46); the next change waits for the meter's acknowledgement
// (36 or 46). OK tells the meter to keep the trimmed count, Cancel ends the trim; both return to
// the current-loop outputs window.

#include "platform/picturebutton.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QLabel;
class Session;
class Shape;
class frmAnalogOUT;

class frmTrim : public QWidget {
    Q_OBJECT
public:
    static constexpr std::int32_t kStartLow = 7631;
    static constexpr std::int32_t kStartHigh = 38335;
    static constexpr std::int32_t kMaxCounts = 65535;
    static constexpr double kMilliampsPerCount = 0.000521;
    // Byte 4 of the keep and end commands.
    static constexpr std::uint8_t kFinish = 99;

    explicit frmTrim(Session& session, QWidget* parent = nullptr);
    ~frmTrim() override;

    // Starts a trim of one end (1 high, anything else low) of a loop (1 loop 1, anything else
    // loop 2): hides the current-loop window, shows this dialog and sends the start count.
    void TrimInput(std::uint8_t end, std::uint8_t loop);
    // The meter acknowledged (function code 36 or 46): the next change may go.
    void RcvAck();
    // The link gave up on the acknowledgement (time-out, or the port failed): the dialog takes
    // clicks again.
    void LinkGaveUp();

    // Control handlers.
    void imgInc_Click(int index);
    void imgRdc_Click(int index);
    void imgOkay_Click();
    void imgCancel_Click();

    // Dialog state.
    std::uint8_t TrimEnd = 0;
    std::uint8_t TrimLoop = 0;
    std::int32_t TrimCounts = 0;
    std::int32_t TrimStart = 0;
    float TrimDelta = 0.0f;
    std::uint8_t AckPending = 0;
    std::int16_t PotStep = 0;

    // Controls: loop, end and change in mA; the arrows (single, double); the four knob pictures.
    std::array<QLabel*, 3> lblTitle{};
    std::array<PictureButton*, 2> imgInc{};
    std::array<PictureButton*, 2> imgRdc{};
    std::array<QLabel*, 4> imgPot{};
    PictureButton* imgOkay = nullptr;
    PictureButton* imgCancel = nullptr;
    std::array<Shape*, 2> Shape1{};

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    frmAnalogOUT& analog();
    // Sends the current count unless an acknowledgement is awaited.
    void sendAdjusting();
    // The change in mA, in the dialog and in the loop window's box of this end.
    void showDelta();
    void turnKnob(int by);
    // The hourglass while an acknowledgement is awaited.
    void setBusy(bool busy);

    Session& m_session;
};
