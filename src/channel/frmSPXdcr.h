#pragma once
// The special-transducer window ("Special Transducer"): the frequency, mounting (clamp-on or
// insertion), wedge angle, wedge speed and delay of a transducer that is none of the listed
// types, entered by hand. Going back stores them and opens the pipe or the spool window.

#include "meterdata/modData.h"
#include "platform/picturebutton.h"

#include <QWidget>

#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class Session;

class frmSPXdcr : public QWidget {
    Q_OBJECT
public:
    explicit frmSPXdcr(Session& session, QWidget* parent = nullptr);
    ~frmSPXdcr() override;

    // Handed over by the window that opens this one before Set_Form.
    std::int16_t Channel = 0;

    // Fills the window from the channel's record and shows it.
    void Set_Form();

    // Control handlers.
    void optclamp_Click();
    void optInsertion_Click();
    void imgBack_Click();

    QComboBox* cmbFreq = nullptr;
    QRadioButton* optclamp = nullptr;
    QRadioButton* optInsertion = nullptr;
    QLineEdit* txtWangle = nullptr;
    QLineEdit* txtWSpeed = nullptr;
    QLineEdit* txtwdelay = nullptr;
    QLabel* lblAngle = nullptr;
    QLabel* lblspeed = nullptr;
    QLabel* lblWSunit = nullptr;
    QLabel* lblWAunit = nullptr;
    PictureButton* imgBack = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    modData::ChannelRecord& channel();
    void showWedge(bool shown);
    // The back's store; false, storing nothing, when a box is refused.
    bool storeBoxes();
    // Back and frame close: store, then open the pipe or spool window. False when refused.
    bool leave();

    Session& m_session;
    // What the boxes showed when the window opened: a box still showing it leaves its cell
    // exactly as it was (an angle shown rounded to 0.01 degree does not rewrite the sine).
    QString m_shownAngle;
    QString m_shownSpeed;
    QString m_shownDelay;
};
