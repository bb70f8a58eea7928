#pragma once
// The global parameters window ("Global Properties"): the meter name, the meter's node address
// and the number of channels, edited in the cells; the configuration menu sends them.

#include "platform/picturebutton.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class Session;

class frmGlobal : public QWidget {
    Q_OBJECT
public:
    explicit frmGlobal(Session& session, QWidget* parent = nullptr);
    ~frmGlobal() override;

    void SetLang(std::int16_t iLang);
    // Meter name, node address and channel count from the controls into the cells; a list left
    // without a selection (an image value no entry stands for) keeps its cell.
    void StoreValues();

    void imgConfirm_Click();
    void imgCancel_Click();
    void Form_Unload();

    QComboBox* cmbMeterID = nullptr;
    QListWidget* lstNumChan = nullptr;
    std::array<QLineEdit*, 1> txtGval{};
    std::array<QListWidget*, 1> lstGval{};
    QLabel* lblGprop = nullptr;
    LanguageArray imgMname;
    LanguageArray imgNetID;
    LanguageArray imgChanNum;
    PictureButton* imgConfirm = nullptr;
    PictureButton* imgCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();

    Session& m_session;
    // The controls are filled when the window is first shown, and again after a close by the frame.
    bool m_loadPending = true;
};
