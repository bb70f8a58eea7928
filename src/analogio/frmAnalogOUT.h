#pragma once
// The current-loop outputs window ("Current Loop Outputs"): what each of the meter's two 4-20 mA
// loops carries (on or off, quantity and unit, channel), the values at the low and high ends, the
// action on a measurement error and the converter counts of the two ends. It edits the loop
// records (loop 1 is record 3, loop 2 record 2); the configuration menu sends them. The two trim
// pictures open the live output trim.

#include "platform/picturebutton.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class Session;

class frmAnalogOUT : public QWidget {
    Q_OBJECT
public:
    // Converter counts: the start values of a record that holds none, and those the range boxes
    // set.
    static constexpr std::uint16_t kStartHigh = 38335;
    static constexpr std::uint16_t kStartLow = 7631;
    static constexpr std::uint16_t kRangeHigh = 38368;
    static constexpr std::uint16_t kNormLow = 7655; // 4-20 mA
    static constexpr std::uint16_t kOddLow = 0;     // 0-20 mA

    explicit frmAnalogOUT(Session& session, QWidget* parent = nullptr);
    ~frmAnalogOUT() override;

    // Public operations. A slot s edits loop record s + 2: slot 1 is loop 1, slot 0 loop 2.
    // Opens the window on loop 1 and hides the configuration menu.
    void Setform();
    // Loads a slot's record into the controls; runs no list handler and marks nothing changed.
    void Fill_Boxes(int slot);
    // Copies the buffer into the slot's record.
    void UpdateSlot(int slot);
    // Reads the controls into the buffer and stores it into the current slot; a value box left as
    // loaded keeps the record's value. A value box whose text cannot be stored is named in a
    // message and nothing is stored (false).
    bool Update_Buffer();

    // Control handlers.
    void optSlot_Click(int index);
    void cmbParam_Click();
    void cmbUnit_Click();
    void cmbChan_Click();
    void cmbErrHand_Click();
    void chkNorm_Click();
    void chkOdd_Click();
    void imgTrimLo_Click();
    void imgTrimHi_Click();
    void imgBack_Click();
    void Form_Unload();

    int CurrentSlot() const { return m_slot; }
    // True while the shown slot has edits the user has not been asked about.
    bool Changed() const { return m_changed; }

    // Controls.
    std::array<QRadioButton*, 2> optSlot{};
    QComboBox* cmbParam = nullptr;
    QComboBox* cmbUnit = nullptr;
    QComboBox* cmbChan = nullptr;
    QLabel* lblChan = nullptr;
    QComboBox* cmbErrHand = nullptr;
    QLineEdit* txtLoFloat = nullptr;
    QLineEdit* txtHifloat = nullptr;
    QCheckBox* chkNorm = nullptr;
    QCheckBox* chkOdd = nullptr;
    QLineEdit* txtDacLo = nullptr;
    QLineEdit* txtDacHi = nullptr;
    PictureButton* imgTrimLo = nullptr;
    PictureButton* imgTrimHi = nullptr;
    PictureButton* imgBack = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // One loop record as the window edits it (values in base units).
    struct Buffer {
        std::uint32_t status = 0;
        std::uint32_t onError = 0;
        std::uint32_t channel = 0;
        std::uint32_t quantity = 0;
        float low = 0.0f;
        float high = 0.0f;
        std::uint16_t highCount = kStartHigh;
        std::uint16_t lowCount = kStartLow;
    };

    void buildControls();
    // The quantity's unit list and factor; with the window shown the value boxes are rewritten
    // in the new unit.
    void applyParam();
    void showCounts();
    // The output trim of one end (1 high, 0 low) of the shown loop; refused while offline.
    void openTrim(std::uint8_t end);
    // The user answered "Save Changes?" for the slot left: apply stores its edits, discard keeps
    // its record; then the move asked for goes ahead.
    void settleSlot(int left, bool apply);
    void selectSlotButton(int slot);
    int channelCount() const;

    Session& m_session;
    int m_slot = 1;
    int m_pendingSlot = -1; // the slot asked for while "Save Changes?" is open
    bool m_changed = false;
    int m_kind = 0;       // unit kind of the carried quantity
    float m_factor = 1.0f; // factor of the chosen unit
    Buffer m_buffer;
    // The low and high value texts the last load wrote, and the unit factor they were written in.
    std::array<QString, 2> m_loadedText;
    float m_loadedFactor = 0.0f;
};
