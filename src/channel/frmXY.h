#pragma once
// The calibration window ("Enter Calibration Data"): a channel's fixed calibration factor and its
// multi-point table of correction factors against flow rate or Reynolds number. The table is a
// working copy, stored into the channel record only by OK; the configuration menu sends it.

#include "channel/caltable.h"
#include "platform/picturebutton.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class Session;

class frmXY : public QWidget {
    Q_OBJECT
public:
    static constexpr int Rows = caltable::Table::Points;

    explicit frmXY(Session& session, QWidget* parent = nullptr);
    ~frmXY() override;

    // Opens the window on channel A with the flow unit "lpm".
    void Setform();

    void cmbChan_Click();
    void chkMuiltPoint_Click();
    void chkReynods_Click();
    void optError_Click();
    void cmbUnit_Click();
    void imgAdd_Click();
    void imgRemove_Click(int row);
    void imgOK_Click();
    void imgCancel_Click();

    int Channel() const { return m_channel; }
    const caltable::Table& Table() const { return m_table; }

    QComboBox* cmbChan = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr; // "Fixed Calibration Factor"
    QLineEdit* txtFixCal = nullptr;
    QCheckBox* chkMuiltPoint = nullptr;
    QCheckBox* chkReynods = nullptr;
    QComboBox* cmbUnit = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtXData = nullptr;
    QLineEdit* txtYData = nullptr;
    QLabel* lblXtext = nullptr;
    QLabel* lblFact = nullptr;
    std::array<QRadioButton*, 2> optError{};
    PictureButton* imgAdd = nullptr;
    std::array<QLabel*, Rows> Label4{};
    std::array<QLabel*, Rows> Label5{};
    std::array<PictureButton*, Rows> imgRemove{};
    QLabel* lblFlowRate = nullptr;
    QLabel* lblCalFact = nullptr;
    PictureButton* imgOK = nullptr;
    PictureButton* imgCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void loadChannel(int channel);
    void setTableMode();
    void showTableControls(bool shown);
    void redraw();
    void backToMenu();

    Session& m_session;
    int m_channel = 0;
    caltable::Table m_table;
    float m_factor = 1.0f;
    // The entry boxes' texts of the last point added (at first, their design texts): what a
    // refused entry shows again.
    std::array<QString, 2> m_entered;
};
