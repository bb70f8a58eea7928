#pragma once
// The channel setup window ("Channel Setup"): the transducer fitted to a channel, the fluid, the
// error limits and signal processing (factory defaults or custom) and the action on a measurement
// error. It is the hub of channel setup: a transducer type opens the pipe, spool or special
// transducer window, the fluid "Other" opens the fluid window, "CUSTOM" opens the error-limit or
// signal-processing window. It edits the channel records only; the configuration menu sends them.

#include "meterdata/modData.h"
#include "platform/picturebutton.h"

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QComboBox;
class Session;

class frmXducer : public QWidget {
    Q_OBJECT
public:
    explicit frmXducer(Session& session, QWidget* parent = nullptr);
    ~frmXducer() override;

    // Public operations.
    void Clear_Chan_Flag();
    // Copies the backup record over channel `channel` (0..2): the prompt's "discard".
    void ResetData(int channel);
    // Copies the current channel's record into the backup.
    void BackUpChan();
    // Opens the window on channel 0.
    void Set_Form();
    void SetLang(std::int16_t iLang);
    // Fills and positions every list from the current channel's record; selecting nothing and
    // opening nothing.
    void FillBoxes();
    // 0 when the channel's error limits (signal processing) are the defaults, else 1.
    int E_DefaultTest() const;
    int S_DefaultTest() const;
    void imgPush_Click();
    void imgCancel_Click();
    void Form_Unload();

    // User picks in the lists (the lists' activation: a programmatic selection runs none).
    void cmbChannel_Click();
    void cmbXducerType_Click();
    void cmbFluid_Click();
    void cmbErr_lim_Click();
    void cmbSig_Proc_Click();
    void cmbError_Handle_Click();

    // The channel being edited (0..2).
    int CurrentChannel() const { return m_channel; }
    // True while the channel has edits the user has not been asked about.
    bool HasUnsavedEdits() const { return m_fluidChanged || m_typeChanged || m_pipeChanged; }

    // While false, list picks neither apply anything nor open a window: set by the global
    // parameters window around its refill of this window.
    bool PicksAct = true;

    QComboBox* cmbChannel = nullptr;
    QCheckBox* chkMirror = nullptr;
    QComboBox* cmbXducerType = nullptr;
    QComboBox* cmbFluid = nullptr;
    QComboBox* cmbSig_Proc = nullptr;
    QComboBox* cmbErr_lim = nullptr;
    QComboBox* cmbError_Handle = nullptr;
    PictureButton* imgPush = nullptr;
    PictureButton* imgCancel = nullptr;
    LanguageArray imgChannel;
    LanguageArray imgFluid;
    LanguageArray imgSensor;
    PictureButton* imgSigProc = nullptr;
    PictureButton* imgErrlim = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    modData::ChannelRecord& channel();
    const modData::ChannelRecord& channel() const;
    void buildControls();
    int channelCount() const;
    void ApplyType(int type);
    void ApplyFluid(int index);
    // The fluid step of a pick: a liquid not yet applied is applied, "Other" opens the fluid window.
    void fluidStep(int index);
    void openGeometry();
    // The user answered for the channel left: discarded edits are restored, then the switch asked
    // for goes ahead.
    void settleSwitch(int left, bool discard);
    void switchChannel(int to);
    void selectChannelLists();
    int recognisedFluid() const;

    Session& m_session;
    int m_channel = 0;
    int m_appliedFluid = 0;
    int m_pendingChannel = -1; // the channel asked for while "Save Changes?" is open
    bool m_fluidChanged = false;
    bool m_typeChanged = false;
    bool m_pipeChanged = false;
    modData::ChannelRecord m_backup;
};
