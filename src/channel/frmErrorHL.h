#pragma once
// The error-limit window ("Program Error Limits"): the flow range, the sound-speed range, the
// minimum acoustic strength and the alarm percentage beyond which the meter treats a channel's
// measurement as an error. The meter keeps the flow limits as velocities; the window shows and
// takes them as flow rates through the pipe's cross-section. It edits the channel record only.

#include "platform/picturebutton.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class Session;

namespace modData {
struct ChannelRecord;
}

class frmErrorHL : public QWidget {
    Q_OBJECT
public:
    explicit frmErrorHL(Session& session, QWidget* parent = nullptr);
    ~frmErrorHL() override;

    // The channel edited (0..2), set by the channel setup window before Load_existing.
    std::int16_t Channel = 0;

    // Loads the boxes from the channel record, in the flow unit chosen.
    void Load_existing();
    // The user's pick of a flow unit: both flow boxes are shown in the new unit.
    void cmbUnitFlow_Click();
    // Stores the boxes and hides the window; a box that cannot be stored is named in a message
    // and the window stays open with nothing stored.
    void imgBack_Click();

    QComboBox* cmbUnitFlow = nullptr;
    QLineEdit* txtMaxFlow = nullptr;
    QLineEdit* txtMinFlow = nullptr;
    QLineEdit* txtMinAS = nullptr;
    QLineEdit* txtMinVOS = nullptr;
    QLineEdit* txtMaxVOS = nullptr;
    QLineEdit* txtErrPct = nullptr;
    QLabel* lblMaxFlow = nullptr;
    QLabel* lblMinFlow = nullptr;
    QLabel* lblMinAS = nullptr;
    QLabel* lblMinVOS = nullptr;
    QLabel* lblMaxVOS = nullptr;
    QLabel* lblErrPct = nullptr;
    PictureButton* imgBack = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // A flow box. The velocity limit is kept as stored until the user changes the box: `shown` is
    // the text the window last put there, and `flow` (m^3/s) what a user's edit was taken as when
    // the unit changed under it. The rounded text itself is never read back.
    struct FlowBox {
        QLineEdit* box = nullptr;
        QLabel* label = nullptr;
        QString shown;
        std::optional<double> flow;
    };

    void buildControls();
    void Form_Load();
    bool validChannel() const;
    modData::ChannelRecord& record();
    // The pipe's cross-section, m^2.
    float area();
    void showFlow(FlowBox& b, double flow);
    float storedVelocity(int i);

    Session& m_session;
    float m_factor = 0.0f; // of the flow unit chosen
    std::array<FlowBox, 2> m_flowBoxes;
    // The texts Load_existing put into txtMinAS, txtMinVOS, txtMaxVOS and txtErrPct: a box still
    // showing its text keeps its cell at back.
    std::array<QString, 4> m_loaded;
};
