#pragma once
// The logic I/O window ("Program Logic I/O"): what each of the three logic outputs does (nothing,
// a batch total, a volume pulse or an alarm; for which channel and quantity) and what the logic
// input does. It edits the logic-output slot records and the logic-input word; the configuration
// menu sends them. Leaving an edited slot asks "Save Changes?" through the save/discard prompt.

#include "meterdata/modData.h"
#include "platform/picturebutton.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class Session;

class frmPLC : public QWidget {
    Q_OBJECT
public:
    static constexpr int Slots = 3;

    explicit frmPLC(Session& session, QWidget* parent = nullptr);
    ~frmPLC() override;

    // Opens the window on slot 0.
    void Setform();
    // Loads the controls from the record of a slot (0..2).
    void FillBoxes(int slot);
    // Checks the current slot's button only, and loads that slot: nothing left unsaved.
    void SetSlotButton();
    // Stores EditedSlot into a slot (0..2) and the logic-input mode from its check boxes.
    void Publish(int slot);

    // User actions.
    void chkSlot_Click(int slot);
    void optDisabled_Click();
    void optTOTAL_Click();
    void OptPulse_Click();
    void optAlarm_Click();
    void cmbChan_Click();
    void cmbParam_Click();
    void cmbUnit_Click();
    void ChkLogInOpt_Click(int box);
    void imgOkay_Click();
    void imgBack_Click();

    int CurrentSlot() const { return m_slot; }
    bool SlotDirty = false;
    // The working copy built from the controls; Publish stores it.
    modData::IoRecord EditedSlot;

    std::array<QCheckBox*, Slots> chkSlot{};
    QRadioButton* optDisabled = nullptr;
    QRadioButton* optTOTAL = nullptr;
    QRadioButton* OptPulse = nullptr;
    QRadioButton* optAlarm = nullptr;
    QComboBox* cmbChan = nullptr;
    QLabel* lblChan = nullptr;
    QComboBox* cmbParam = nullptr;
    QLabel* lblOptionData = nullptr;
    QLineEdit* txtData = nullptr;
    QLabel* lblVar = nullptr;
    QComboBox* cmbUnit = nullptr;
    std::array<QCheckBox*, 2> ChkLogInOpt{};
    PictureButton* imgOkay = nullptr;
    PictureButton* imgBack = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void modeClicked(int mode);
    void modeView(int mode);
    void dataTypeStep();
    // Builds EditedSlot from the controls; false, after telling the user, when the value box
    // cannot be stored.
    bool captureEdits();
    // The user answered "Save Changes?" for the slot left: the switch asked for goes ahead.
    void settleSwitch();
    void showMenu();

    Session& m_session;
    int m_slot = 0;
    int m_pendingSlot = -1; // the slot asked for while "Save Changes?" is open
    modData::IoRecord m_loaded; // the shown slot's record as loaded
    std::uint32_t m_shownMode = 0;
    std::uint32_t m_shownChannel = 0;
    int m_unitKind = -1;
    float m_factor = 0.0f;
    // The value box as loaded: an untouched box keeps the record's values to the bit.
    QString m_loadedText;
    float m_loadedFactor = 0.0f;
};
