#pragma once
// The user-specified fluid window ("User Specified Fluid"): sound speed, density and viscosity of a
// fluid that is not in the liquid list, typed for one channel. The channel setup window opens it
// when the fluid "Other" is chosen; it edits the channel record only.

#include "platform/picturebutton.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class Session;

class frmFluid : public QWidget {
    Q_OBJECT
public:
    explicit frmFluid(Session& session, QWidget* parent = nullptr);
    ~frmFluid() override;

    // Loads the boxes from channel `channel` (0..2) and shows the window.
    void Fill_Boxes(int channel);
    // Stores the boxes into the channel and hides the window; a box that cannot be stored is
    // named in a message and the window stays open with nothing stored.
    void imgBack_Click();

    QLineEdit* txtVOS = nullptr;
    QLineEdit* txtDensity = nullptr;
    QLineEdit* txtDynVisc = nullptr;
    QLabel* lblVOS = nullptr;
    QLabel* lblDensity = nullptr;
    QLabel* lblDensityUnit = nullptr;
    QLabel* lblDynVisc = nullptr;
    QLabel* lblDynViscUnit = nullptr;
    PictureButton* imgBack = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();

    Session& m_session;
    int m_channel = 0;
};
