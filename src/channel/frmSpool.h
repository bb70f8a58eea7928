#pragma once
// The spool window ("Insertion Meter") of an insertion channel: the spool piece's inside diameter,
// acoustic path length and axial path length. Lengths are shown in the unit chosen here ("mm" on
// every opening) and stored in metres when the user goes back.

#include "meterdata/modData.h"
#include "platform/picturebutton.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QComboBox;
class QLineEdit;
class Session;

class frmSpool : public QWidget {
    Q_OBJECT
public:
    explicit frmSpool(Session& session, QWidget* parent = nullptr);
    ~frmSpool() override;

    // Handed over by the window that opens this one before Set_Form.
    std::int16_t Channel = 0;

    // Fills the window from the channel's record and shows it.
    void Set_Form();
    void SetLang(std::int16_t iLang);

    // Control handlers.
    void cmbUnit_Click();
    void cmbUnit_Change();
    void imgBack_Click();

    QLineEdit* txtID = nullptr;
    QLineEdit* txtPath = nullptr;
    QLineEdit* txtAxial = nullptr;
    QComboBox* cmbUnit = nullptr;
    PictureButton* imgBack = nullptr;
    LanguageArray imgID;
    LanguageArray imgPath;
    LanguageArray imgAxial;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    modData::ChannelRecord& channel();
    // The three boxes with their cells and field names, in window order.
    struct Box {
        QLineEdit* box;
        modData::ParameterCell* cell;
        const char* field;
    };
    std::array<Box, 3> boxes();
    // The back's store; false, storing nothing, when a box is refused.
    bool storeBoxes();

    Session& m_session;
    int m_unitKind = 1;
    float m_factor = 0.001f;
    // What the boxes showed when the window opened, and in which unit: a box still showing it
    // leaves its cell exactly as it was.
    std::array<QString, 3> m_shown;
    float m_shownFactor = 0.001f;
};
